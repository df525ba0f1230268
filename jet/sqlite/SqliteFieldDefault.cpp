#include "jet/sqlite/SqliteFieldDefault.h"

#include <iterator>
#include <optional>

#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

struct KnownExpression {
  const char* jet;
  const char* sqlite;
};

// Time-dependent and random defaults, written in the stored forms (the date text is exactly
// the engine's fixed width, random() >> 32 a Long).
constexpr KnownExpression kExpressions[] = {
    {"Now()", "(strftime('%Y-%m-%d %H:%M:%f','now','localtime'))"},
    {"Date()", "(strftime('%Y-%m-%d 00:00:00.000','now','localtime'))"},
    {"Time()", "(strftime('1899-12-30 %H:%M:%f','now','localtime'))"},
    {"GenUniqueID()", "(random() >> 32)"},
    {"GenGUID()",
     "('{' || hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-' || hex(randomblob(2)) || '-' || "
     "hex(randomblob(2)) || '-' || hex(randomblob(6)) || '}')"},
};
static_assert(std::size(kExpressions) == std::size(kFieldDefaultFunctions));

std::string QuoteSql(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

// '...' of SQLite with its doubled quotes undone; nullopt when the text is not one literal.
std::optional<std::string> SqlStringLiteral(std::string_view text) {
  if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') return std::nullopt;
  std::string value;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '\'') {
      if (i + 2 < text.size() && text[i + 1] == '\'') {
        value += '\'';
        ++i;
        continue;
      }
      return std::nullopt;
    }
    value += text[i];
  }
  return value;
}

}  // namespace

std::string SqliteDefaultExpression(const FieldDefault& value) {
  switch (value.kind) {
    case FieldDefault::Kind::kNone: return {};
    case FieldDefault::Kind::kText: return QuoteSql(value.value);
    case FieldDefault::Kind::kExpression: return value.value;
    case FieldDefault::Kind::kFunction:
      for (const auto& known : kExpressions) {
        if (value.value == known.jet) return known.sqlite;
      }
      break;
  }
  return {};
}

std::string SqliteDefaultExpression(std::string_view jetDefault, const JetFieldType& type) {
  return SqliteDefaultExpression(ParseFieldDefault(jetDefault, type));
}

FieldDefault ReadSqliteDefault(std::string_view sqliteDefault) {
  using Kind = FieldDefault::Kind;
  const std::string text = Trim(sqliteDefault);
  if (text.empty() || SameText(text, "NULL")) return {};
  for (const auto& known : kExpressions) {
    // SQLite reports a parenthesised default without its outer parentheses.
    std::string_view sqlite = known.sqlite;
    if (text == sqlite || text == sqlite.substr(1, sqlite.size() - 2)) return {Kind::kFunction, known.jet};
  }
  if (SameText(text, "CURRENT_TIMESTAMP")) return {Kind::kFunction, "Now()"};
  if (SameText(text, "CURRENT_DATE")) return {Kind::kFunction, "Date()"};
  if (SameText(text, "CURRENT_TIME")) return {Kind::kFunction, "Time()"};
  if (auto value = SqlStringLiteral(text)) return {Kind::kText, *value};
  return {Kind::kExpression, text};
}

std::string JetDefaultText(std::string_view sqliteDefault, const JetFieldType& type) {
  return FieldDefaultText(ReadSqliteDefault(sqliteDefault), type);
}

}  // namespace lumo::jet
