#pragma once
// UTF-8 text as Jet compares it: code points, and upper/lower case for the scripts the
// journal's users write (Latin with its extensions, Greek, Cyrillic, Armenian, full-width).
// Used by the Like matcher and by the text functions of queries, which must treat "Ä" and
// "ä" alike the way Jet's text comparison does.
//
// Bytes that do not form valid UTF-8 are kept: each becomes a code point above U+10FFFF that
// encodes back to the same byte, so nothing is lost or altered by a round trip.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::jet {

// Decodes the code point at text[pos] and advances pos past it. pos < text.size().
char32_t DecodeUtf8(std::string_view text, size_t& pos);
void AppendUtf8(std::string& out, char32_t codePoint);
std::vector<char32_t> DecodeUtf8All(std::string_view text);
std::string EncodeUtf8All(const std::vector<char32_t>& codePoints);
// Number of code points.
size_t Utf8Length(std::string_view text);

char32_t ToLowerCodePoint(char32_t c);
char32_t ToUpperCodePoint(char32_t c);
// The form used for case-insensitive comparison.
inline char32_t FoldCase(char32_t c) { return ToLowerCodePoint(c); }

std::string Utf8ToLower(std::string_view text);
std::string Utf8ToUpper(std::string_view text);

}  // namespace lumo::jet
