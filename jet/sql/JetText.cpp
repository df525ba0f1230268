#include "jet/sql/JetText.h"

namespace lumo::jet {

namespace {

// Marks a byte that is not part of valid UTF-8.
constexpr char32_t kRawByteBase = 0x110000;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Blocks where upper and lower case alternate: even code point upper, odd lower.
bool InEvenOddBlock(char32_t c) {
  return (c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177) ||
         (c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x04FF) ||
         (c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF);
}

// Blocks where odd code points are upper case and even ones lower case.
bool InOddEvenBlock(char32_t c) {
  return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) || (c >= 0x04C1 && c <= 0x04CE);
}

}  // namespace

char32_t DecodeUtf8(std::string_view text, size_t& pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length;
  char32_t value;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kRawByteBase + lead;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kRawByteBase + lead;
  }
  for (int i = 1; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) {
      ++pos;
      return kRawByteBase + lead;
    }
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kRawByteBase + lead;
  }
  pos += length;
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c >= kRawByteBase) {
    out += static_cast<char>(c - kRawByteBase);
  } else if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::vector<char32_t> DecodeUtf8All(std::string_view text) {
  std::vector<char32_t> result;
  result.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) result.push_back(DecodeUtf8(text, pos));
  return result;
}

std::string EncodeUtf8All(const std::vector<char32_t>& codePoints) {
  std::string result;
  result.reserve(codePoints.size());
  for (char32_t c : codePoints) AppendUtf8(result, c);
  return result;
}

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); ++count) DecodeUtf8(text, pos);
  return count;
}

char32_t ToLowerCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x0130) return 'i';
  if (c == 0x0178) return 0xFF;
  if (InEvenOddBlock(c)) return (c % 2 == 0) ? c + 1 : c;
  if (InOddEvenBlock(c)) return (c % 2 == 1) ? c + 1 : c;
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;
  if (c == 0x0386) return 0x03AC;
  if (c >= 0x0388 && c <= 0x038A) return c + 0x25;
  if (c == 0x038C) return 0x03CC;
  if (c == 0x038E || c == 0x038F) return c + 0x3F;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
  if (c >= 0x0531 && c <= 0x0556) return c + 0x30;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
  return c;
}

char32_t ToUpperCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x0178;
  if (c == 0x0131) return 'I';
  if (InEvenOddBlock(c)) return (c % 2 == 1) ? c - 1 : c;
  if (InOddEvenBlock(c)) return (c % 2 == 0) ? c - 1 : c;
  if (c >= 0x03B1 && c <= 0x03C9) return c == 0x03C2 ? 0x03A3 : c - 0x20;
  if (c == 0x03AC) return 0x0386;
  if (c >= 0x03AD && c <= 0x03AF) return c - 0x25;
  if (c == 0x03CC) return 0x038C;
  if (c == 0x03CD || c == 0x03CE) return c - 0x3F;
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
  if (c >= 0x0561 && c <= 0x0586) return c - 0x30;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
  return c;
}

std::string Utf8ToLower(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) AppendUtf8(result, ToLowerCodePoint(DecodeUtf8(text, pos)));
  return result;
}

std::string Utf8ToUpper(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) AppendUtf8(result, ToUpperCodePoint(DecodeUtf8(text, pos)));
  return result;
}

int CompareTextFolded(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[j]);
    if (x < 0x80 && y < 0x80) {
      // ASCII on both sides, the usual case: no decoding.
      const int lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
      const int ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
      if (lx != ly) return lx < ly ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    const char32_t fx = FoldCase(DecodeUtf8(a, i));
    const char32_t fy = FoldCase(DecodeUtf8(b, j));
    if (fx != fy) return fx < fy ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

namespace {

// The other case of a letter that folds with it, or the character itself.
char32_t OtherCase(char32_t c) {
  const char32_t lower = FoldCase(c);
  if (lower != c) return lower;
  const char32_t upper = ToUpperCodePoint(c);
  return upper != c && FoldCase(upper) == c ? upper : c;
}

// The text with each letter in the case that comes first (or last) in NOCASE order, which
// compares ASCII letters in lower case and every other character by its UTF-8 bytes.
std::string FoldVariant(std::string_view text, bool last) {
  std::string result;
  result.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const char32_t c = DecodeUtf8(text, pos);
    if (c < 0x80) {
      result += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
      continue;
    }
    const char32_t other = OtherCase(c);
    std::string a;
    std::string b;
    AppendUtf8(a, c);
    AppendUtf8(b, other);
    result += ((a < b) != last) ? a : b;
  }
  return result;
}

}  // namespace

bool HasFoldVariants(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const char32_t c = DecodeUtf8(text, pos);
    if (OtherCase(c) != c) return true;
  }
  return false;
}

std::string FirstFoldVariant(std::string_view text) { return FoldVariant(text, false); }
std::string LastFoldVariant(std::string_view text) { return FoldVariant(text, true); }

std::string FoldFloor(std::string_view text) {
  std::string head;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) break;
    head += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  return head;
}

std::optional<std::string> FoldCeiling(std::string_view text) {
  std::string head = FoldFloor(text);
  while (!head.empty() && head.back() == 0x7F) head.pop_back();
  if (head.empty()) return std::nullopt;
  ++head.back();
  return head;
}

}  // namespace lumo::jet
