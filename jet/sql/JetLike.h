#pragma once
// Jet's Like operator: the pattern language of ANSI-89 mode, case-insensitive.
//
//   *        any run of characters (also none)     ?      exactly one character
//   #        one digit 0-9                         [abc]  one of the listed characters
//   [a-z]    one character in the range            [!a-z] one character not in the list
//   [*] [?] [#] [[]   the character itself        []     nothing (matches the empty text)
//   ! and ]  outside brackets: the character itself; - first or last in a list: itself
//
// A pattern with an unclosed "[" or a descending range is invalid (the expression service's
// error 93, "Invalid pattern string."). Matching works on code points, so "?" takes one
// character whatever its UTF-8 length, and runs in time proportional to text times pattern
// length without recursion.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lumo::jet {

class JetLikePattern {
 public:
  // nullopt for an invalid pattern.
  static std::optional<JetLikePattern> Compile(std::string_view pattern);

  bool Matches(std::string_view text) const;

 private:
  enum class Kind { kLiteral, kAnyChar, kDigit, kClass, kStar };
  struct Range {
    char32_t low;
    char32_t high;
  };
  struct Element {
    Kind kind;
    char32_t literal = 0;       // folded
    bool negated = false;       // kClass
    std::vector<Range> ranges;  // kClass; single characters are ranges of one
  };

  bool ElementMatches(const Element& element, char32_t c) const;

  std::vector<Element> elements_;
};

// Compiles and matches in one step; nullopt when the pattern is invalid.
std::optional<bool> JetLike(std::string_view text, std::string_view pattern);

}  // namespace lumo::jet
