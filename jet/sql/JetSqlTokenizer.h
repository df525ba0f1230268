#pragma once
// Splits Jet SQL text into tokens: names (bare and [bracketed]), string literals in single or
// double quotes, numbers with "." as decimal point, #date# literals (read in month/day/year
// order and turned into the stored date text), {guid {...}} literals (turned into the stored
// GUID text) and operators.
//
// The tokenizer never throws: a malformed literal becomes an error token carrying the
// expression service's sub-message, and the parser reports it where it meets it, so that the
// error names the expression it belongs to.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"

namespace lumo::jet {

enum class TokenKind {
  kEnd,
  kWord,         // bare name or keyword; upper holds the upper-case form
  kBracketName,  // [name]: text is the name without brackets
  kString,       // text is the value, doubled delimiters undone
  kNumber,       // text is the number as written, normalised ("0.5" for ".5")
  kDate,         // text is the stored date text
  kGuid,         // text is the stored GUID text
  kSymbol,       // operators and punctuation: ( ) , . ! ; = <> < > <= >= + - * / \ ^ &
  kError,        // text is the sub-message of the expression service
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  std::string upper;  // kWord only
  size_t begin = 0;   // byte offsets in the source
  size_t end = 0;

  bool IsWord(std::string_view upperWord) const { return kind == TokenKind::kWord && upper == upperWord; }
  bool IsSymbol(std::string_view symbol) const { return kind == TokenKind::kSymbol && text == symbol; }
};

// The whole text as tokens, ending with one kEnd token.
std::vector<Token> TokenizeJetSql(std::string_view source);

// Sub-messages of the expression service, embedded in 3075/3077 texts.
namespace syntax {
inline constexpr const char* kNumber = "Syntax error in number";
inline constexpr const char* kDate = "Syntax error in date";
inline constexpr const char* kString = "Syntax error in string";
inline constexpr const char* kInvalidDot = "Invalid use of '.', '!', or '()'";
inline constexpr const char* kInWithoutParens = "In operator without ()";
inline constexpr const char* kBetweenWithoutAnd = "Between operator without And";
inline constexpr const char* kMissingOperator = "Syntax error (missing operator)";
inline constexpr const char* kComma = "Syntax error (comma)";
inline constexpr const char* kGeneric = "Syntax error";
inline constexpr const char* kExtraParen = "Extra )";
inline constexpr const char* kMissingParen = "Missing ), ], or Item";
inline constexpr const char* kArgumentCount = "Wrong number of arguments used with function";
inline constexpr const char* kParentheses = "Invalid use of parentheses";
inline constexpr const char* kIsOperator = "Invalid use of Is operator";
}  // namespace syntax

}  // namespace lumo::jet
