// A field's DefaultValue in its two forms: the Jet text DAO shows ("\"abc\"", "0",
// "#1/15/2003#", "Now()", "GenUniqueID()") and the SQLite DEFAULT expression that makes
// every insert, the stock shell's included, fill the column the same way. The expressions
// use SQLite's own functions only, so that a file stays usable without the engine.

#include <cstdio>

#include "jet/Catalogue.h"
#include "jet/DaoErrors.h"
#include "jet/sql/JetDateText.h"
#include "jet/sql/JetSqlTokenizer.h"
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

std::string QuoteSql(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

std::string QuoteJet(std::string_view text) { return "\"" + ReplaceAll(text, "\"", "\"\"") + "\""; }

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

bool IsNumberText(std::string_view text) {
  if (text.empty()) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool digits = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c != '.' && c != 'e' && c != 'E' && c != '-' && c != '+') {
      return false;
    }
  }
  return digits;
}

// #m/d/yyyy# with the time when there is one.
std::string JetDateLiteral(const DateParts& parts) {
  char buffer[64];
  if (parts.hour == 0 && parts.minute == 0 && parts.second == 0) {
    std::snprintf(buffer, sizeof buffer, "#%d/%d/%d#", parts.month, parts.day, parts.year);
  } else if (parts.year == 1899 && parts.month == 12 && parts.day == 30) {
    std::snprintf(buffer, sizeof buffer, "#%d:%02d:%02d#", parts.hour, parts.minute, parts.second);
  } else {
    std::snprintf(buffer, sizeof buffer, "#%d/%d/%d %d:%02d:%02d#", parts.month, parts.day, parts.year, parts.hour,
                  parts.minute, parts.second);
  }
  return buffer;
}

[[noreturn]] void RaiseBadDefault(std::string_view text) {
  RaiseDaoError(kDaoQueryExpressionError, {syntax::kMissingOperator, std::string(text)}, "DAO.Field");
}

}  // namespace

std::string JetDefaultText(std::string_view sqliteDefault, const JetFieldType& type) {
  const std::string text = Trim(sqliteDefault);
  if (text.empty() || SameText(text, "NULL")) return {};
  for (const auto& known : kExpressions) {
    // SQLite reports a parenthesised default without its outer parentheses.
    std::string_view sqlite = known.sqlite;
    if (text == sqlite || text == sqlite.substr(1, sqlite.size() - 2)) return known.jet;
  }
  if (SameText(text, "CURRENT_TIMESTAMP")) return "Now()";
  if (SameText(text, "CURRENT_DATE")) return "Date()";
  if (SameText(text, "CURRENT_TIME")) return "Time()";
  if (auto value = SqlStringLiteral(text)) {
    if (type.type == dbDate) {
      if (auto parts = ParseStorageDate(*value)) return JetDateLiteral(*parts);
    }
    if (type.type == dbGUID) {
      if (auto guid = NormalizeGuidText(*value)) return "{guid " + *guid + "}";
    }
    return QuoteJet(*value);
  }
  if (type.type == dbBoolean && IsNumberText(text)) {
    return (text == "0" || text == "0.0") ? "False" : "True";
  }
  if (!text.empty() && text[0] == '+') return text.substr(1);
  return text;
}

std::string SqliteDefaultExpression(std::string_view jetDefault, const JetFieldType& type) {
  const std::string text = Trim(jetDefault);
  if (text.empty()) return {};
  std::vector<Token> tokens = TokenizeJetSql(text);
  // One literal, a signed number, or a call of one of the known functions.
  size_t count = tokens.size() - 1;  // without the end token
  if (count == 0) return {};
  const Token& first = tokens[0];
  if (count == 1) {
    switch (first.kind) {
      case TokenKind::kString:
        if (type.type == dbDate) {
          if (auto parts = ParseJetDateText(first.text)) return QuoteSql(FormatStorageDate(*parts));
        }
        if (type.type == dbGUID) {
          if (auto guid = NormalizeGuidText(first.text)) return QuoteSql(*guid);
        }
        return QuoteSql(first.text);
      case TokenKind::kNumber: return first.text;
      case TokenKind::kDate:
      case TokenKind::kGuid: return QuoteSql(first.text);
      case TokenKind::kWord:
        if (first.upper == "TRUE" || first.upper == "YES" || first.upper == "ON") return "-1";
        if (first.upper == "FALSE" || first.upper == "NO" || first.upper == "OFF") return "0";
        if (first.upper == "NULL") return {};
        break;
      default: break;
    }
    RaiseBadDefault(text);
  }
  if (count == 2 && first.IsSymbol("-") && tokens[1].kind == TokenKind::kNumber) {
    return "-" + tokens[1].text;
  }
  if (count == 3 && first.kind == TokenKind::kWord && tokens[1].IsSymbol("(") && tokens[2].IsSymbol(")")) {
    for (const auto& known : kExpressions) {
      std::string_view jet = known.jet;
      if (SameText(jet.substr(0, jet.size() - 2), first.text)) return known.sqlite;
    }
  }
  RaiseBadDefault(text);
}

}  // namespace lumo::jet
