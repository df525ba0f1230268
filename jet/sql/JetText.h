#pragma once
// UTF-8 text as Jet compares it: code points, and upper/lower case for the scripts the
// journal's users write (Latin with its extensions, Greek, Cyrillic, Armenian, full-width).
// Used by the Like matcher and by the text functions of queries, which must treat "Ä" and
// "ä" alike the way Jet's text comparison does.
//
// Bytes that do not form valid UTF-8 are kept: each becomes a code point above U+10FFFF that
// encodes back to the same byte, so nothing is lost or altered by a round trip.

#include <cstdint>
#include <optional>
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
// The form used for case-insensitive comparison: the lower case letter. A letter and its
// other case are the only letters that fold alike, and only ASCII letters fold to ASCII (the
// dotted capital I, whose lower case is "i", compares as a letter of its own), which is what
// lets the index of a NOCASE column narrow down every comparison (below).
inline char32_t FoldCase(char32_t c) { return c == 0x0130 ? c : ToLowerCodePoint(c); }

std::string Utf8ToLower(std::string_view text);
std::string Utf8ToUpper(std::string_view text);

// Jet's text comparison: code point by code point after FoldCase; <0, 0 or >0.
int CompareTextFolded(std::string_view a, std::string_view b);

// Text columns are declared COLLATE NOCASE, which ignores the case of ASCII letters only and
// orders the other bytes as they are; Jet ignores the case of every letter. The comparisons
// the translator writes therefore test Jet's equality and order exactly and let the NOCASE
// index find the candidates with these bounds (each in NOCASE order):
//
//   HasFoldVariants   whether the text has a non-ASCII letter with another case: only then do
//                     NOCASE equality and Jet's differ
//   FirstFoldVariant  the smallest and largest of the texts that fold alike (each letter in
//   LastFoldVariant   its smaller or larger case); everything equal to the text lies between
//   FoldFloor         the ASCII head of the text (up to its first other character), lower
//                     case; everything Jet finds greater than the text is at least this
//   FoldCeiling       the ASCII head with its last character raised by one; everything Jet
//                     finds smaller than the text is below this. nullopt when the text starts
//                     with a character outside ASCII (there is no bound).
bool HasFoldVariants(std::string_view text);
std::string FirstFoldVariant(std::string_view text);
std::string LastFoldVariant(std::string_view text);
std::string FoldFloor(std::string_view text);
std::optional<std::string> FoldCeiling(std::string_view text);

}  // namespace lumo::jet
