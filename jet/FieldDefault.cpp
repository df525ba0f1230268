#include "jet/FieldDefault.h"

#include <cstdio>

#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/sql/JetDateText.h"
#include "jet/sql/JetSqlTokenizer.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

std::string QuoteJet(std::string_view text) { return "\"" + ReplaceAll(text, "\"", "\"\"") + "\""; }

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

FieldDefault ParseFieldDefault(std::string_view jetDefault, const JetFieldType& type) {
  using Kind = FieldDefault::Kind;
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
          if (auto parts = ParseJetDateText(first.text)) return {Kind::kText, FormatStorageDate(*parts)};
        }
        if (type.type == dbGUID) {
          if (auto guid = NormalizeGuidText(first.text)) return {Kind::kText, *guid};
        }
        return {Kind::kText, first.text};
      case TokenKind::kNumber: return {Kind::kExpression, first.text};
      case TokenKind::kDate:
      case TokenKind::kGuid: return {Kind::kText, first.text};
      case TokenKind::kWord:
        if (first.upper == "TRUE" || first.upper == "YES" || first.upper == "ON") return {Kind::kExpression, "-1"};
        if (first.upper == "FALSE" || first.upper == "NO" || first.upper == "OFF") return {Kind::kExpression, "0"};
        if (first.upper == "NULL") return {};
        break;
      default: break;
    }
    RaiseBadDefault(text);
  }
  if (count == 2 && first.IsSymbol("-") && tokens[1].kind == TokenKind::kNumber) {
    return {Kind::kExpression, "-" + tokens[1].text};
  }
  if (count == 3 && first.kind == TokenKind::kWord && tokens[1].IsSymbol("(") && tokens[2].IsSymbol(")")) {
    for (std::string_view function : kFieldDefaultFunctions) {
      if (SameText(function.substr(0, function.size() - 2), first.text)) {
        return {Kind::kFunction, std::string(function)};
      }
    }
  }
  RaiseBadDefault(text);
}

std::string FieldDefaultText(const FieldDefault& value, const JetFieldType& type) {
  switch (value.kind) {
    case FieldDefault::Kind::kNone: return {};
    case FieldDefault::Kind::kFunction: return value.value;
    case FieldDefault::Kind::kText:
      if (type.type == dbDate) {
        if (auto parts = ParseStorageDate(value.value)) return JetDateLiteral(*parts);
      }
      if (type.type == dbGUID) {
        if (auto guid = NormalizeGuidText(value.value)) return "{guid " + *guid + "}";
      }
      return QuoteJet(value.value);
    case FieldDefault::Kind::kExpression: break;
  }
  const std::string& text = value.value;
  if (type.type == dbBoolean && IsNumberText(text)) {
    return (text == "0" || text == "0.0") ? "False" : "True";
  }
  if (!text.empty() && text[0] == '+') return text.substr(1);
  return text;
}

}  // namespace lumo::jet
