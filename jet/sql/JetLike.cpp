#include "jet/sql/JetLike.h"

#include "jet/sql/JetText.h"

namespace lumo::jet {

std::optional<JetLikePattern> JetLikePattern::Compile(std::string_view pattern) {
  JetLikePattern compiled;
  const std::vector<char32_t> cps = DecodeUtf8All(pattern);
  for (size_t i = 0; i < cps.size(); ++i) {
    const char32_t c = cps[i];
    Element element;
    if (c == '*') {
      if (!compiled.elements_.empty() && compiled.elements_.back().kind == Kind::kStar) continue;
      element.kind = Kind::kStar;
    } else if (c == '?') {
      element.kind = Kind::kAnyChar;
    } else if (c == '#') {
      element.kind = Kind::kDigit;
    } else if (c == '[') {
      size_t close = i + 1;
      while (close < cps.size() && cps[close] != ']') ++close;
      if (close >= cps.size()) return std::nullopt;
      size_t first = i + 1;
      i = close;
      if (first == close) continue;  // "[]" matches the empty text
      element.kind = Kind::kClass;
      if (cps[first] == '!') {
        element.negated = true;
        ++first;
      }
      for (size_t k = first; k < close; ++k) {
        // "-" is a range only between two characters of the list.
        if (k + 2 < close && cps[k + 1] == '-') {
          if (cps[k] > cps[k + 2]) return std::nullopt;
          element.ranges.push_back({cps[k], cps[k + 2]});
          k += 2;
        } else {
          element.ranges.push_back({cps[k], cps[k]});
        }
      }
    } else {
      element.kind = Kind::kLiteral;
      element.literal = FoldCase(c);
    }
    compiled.elements_.push_back(std::move(element));
  }
  return compiled;
}

bool JetLikePattern::ElementMatches(const Element& element, char32_t c) const {
  switch (element.kind) {
    case Kind::kLiteral: return FoldCase(c) == element.literal;
    case Kind::kAnyChar: return true;
    case Kind::kDigit: return c >= '0' && c <= '9';
    case Kind::kClass: {
      const char32_t lower = ToLowerCodePoint(c);
      const char32_t upper = ToUpperCodePoint(c);
      bool inList = false;
      for (const Range& range : element.ranges) {
        if ((c >= range.low && c <= range.high) || (lower >= range.low && lower <= range.high) ||
            (upper >= range.low && upper <= range.high)) {
          inList = true;
          break;
        }
      }
      // "[!]" lists nothing and so accepts any character.
      return inList != element.negated;
    }
    case Kind::kStar: return false;
  }
  return false;
}

bool JetLikePattern::Matches(std::string_view textUtf8) const {
  const std::vector<char32_t> text = DecodeUtf8All(textUtf8);
  // Greedy matching with one remembered star: every element other than "*" takes exactly one
  // character, so going back to the last star and letting it take one more is enough.
  size_t t = 0;
  size_t p = 0;
  size_t starElement = SIZE_MAX;
  size_t starText = 0;
  while (t < text.size()) {
    if (p < elements_.size() && elements_[p].kind == Kind::kStar) {
      starElement = p++;
      starText = t;
    } else if (p < elements_.size() && ElementMatches(elements_[p], text[t])) {
      ++p;
      ++t;
    } else if (starElement != SIZE_MAX) {
      p = starElement + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < elements_.size() && elements_[p].kind == Kind::kStar) ++p;
  return p == elements_.size();
}

std::optional<bool> JetLike(std::string_view text, std::string_view pattern) {
  auto compiled = JetLikePattern::Compile(pattern);
  if (!compiled) return std::nullopt;
  return compiled->Matches(text);
}

}  // namespace lumo::jet
