#pragma once
// Text helpers of the runtime: printf-style formatting that takes std::string arguments,
// case-insensitive comparison (ASCII-only and locale-aware variants), trimming, splitting and
// replacing. Text is UTF-8 everywhere; the "Ansi" functions decode it, map case through the
// C library's wide-character functions and encode it again.
//
// Errors: Format raises EConvertError when a conversion does not suit its argument or an
// argument is missing. Nothing else here raises.

#include "runtime/Exceptions.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lumo {

namespace format_detail {

// One argument of Format, reduced to what the conversions need.
struct FormatArg {
  enum class Kind { kSigned, kUnsigned, kFloat, kString, kChar, kPointer };
  Kind kind = Kind::kSigned;
  int64_t signedValue = 0;
  uint64_t unsignedValue = 0;
  double floatValue = 0;
  std::string_view text;
  const void* pointer = nullptr;
  int byteSize = 8;  // size of the original integer, for %u/%x of negative values
};

template <class T>
FormatArg MakeArg(const T& value) {
  FormatArg arg;
  using V = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<V, char>) {
    arg.kind = FormatArg::Kind::kChar;
    arg.signedValue = static_cast<unsigned char>(value);
  } else if constexpr (std::is_same_v<V, bool>) {
    arg.kind = FormatArg::Kind::kSigned;
    arg.signedValue = value ? 1 : 0;
  } else if constexpr (std::is_integral_v<V> && std::is_signed_v<V>) {
    arg.kind = FormatArg::Kind::kSigned;
    arg.signedValue = value;
    arg.byteSize = sizeof(V);
  } else if constexpr (std::is_integral_v<V>) {
    arg.kind = FormatArg::Kind::kUnsigned;
    arg.unsignedValue = value;
    arg.byteSize = sizeof(V);
  } else if constexpr (std::is_floating_point_v<V>) {
    arg.kind = FormatArg::Kind::kFloat;
    arg.floatValue = static_cast<double>(value);
  } else if constexpr (std::is_null_pointer_v<V>) {
    arg.kind = FormatArg::Kind::kPointer;
  } else if constexpr (std::is_convertible_v<const V&, std::string_view>) {
    arg.kind = FormatArg::Kind::kString;
    if constexpr (std::is_pointer_v<V>) {
      if (value != nullptr) arg.text = value;
    } else {
      arg.text = value;
    }
  } else if constexpr (std::is_pointer_v<V>) {
    arg.kind = FormatArg::Kind::kPointer;
    arg.pointer = static_cast<const void*>(value);
  } else {
    static_assert(sizeof(V) == 0, "Format: unsupported argument type");
  }
  return arg;
}

std::string FormatArgs(std::string_view format, std::span<const FormatArg> args);

}  // namespace format_detail

// printf-style formatting: flags "-+ #0", width, precision and the conversions d i u x X o
// e E f F g G a A s c p and %%. Length modifiers (l, ll, h, z, ...) are accepted and ignored,
// since the argument's own type is known. Floating conversions always use "." as decimal
// point, whatever the process locale: texts for people come from the format settings, and
// texts built here often end up in SQL. Surplus arguments are ignored.
template <class... Args>
std::string Format(std::string_view format, const Args&... args) {
  std::array<format_detail::FormatArg, sizeof...(Args)> packed{format_detail::MakeArg(args)...};
  return format_detail::FormatArgs(format, packed);
}

// ASCII case-insensitive comparison (letters A-Z only); CompareText answers <0, 0 or >0.
bool SameText(std::string_view a, std::string_view b) noexcept;
int CompareText(std::string_view a, std::string_view b) noexcept;

// Locale-aware case mapping of UTF-8 text. The mapping is the current locale's when its
// character set is UTF-8, otherwise the neutral UTF-8 locale's, so that non-ASCII letters map
// even in a process that never set its locale. Invalid byte sequences pass unchanged.
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
// Case-insensitive equality and order of UTF-8 text; the order follows the locale's
// collation of the lower-cased texts and is 0 only for texts that are AnsiSameText.
bool AnsiSameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
// Case-sensitive locale order (collation of the texts as they are; 0 only for equal texts).
int AnsiCompareStr(std::string_view a, std::string_view b);

// Case mapping of the letters A-Z / a-z only; every other byte is kept.
std::string LowerCaseAscii(std::string_view text);
std::string UpperCaseAscii(std::string_view text);

// Remove blanks and control characters (bytes up to 32) from both ends / the start / the end.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Whether text begins with subText, compared without regard to case (locale-aware).
bool StartsText(std::string_view subText, std::string_view text);

// Every occurrence of `from` replaced by `to`, scanning left to right; an empty `from`
// leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The parts between separators: n separators give n + 1 parts, empty ones included (so the
// empty text gives one empty part).
std::vector<std::string> Split(std::string_view text, char separator);

// Whether name is an identifier: an ASCII letter or "_" followed by letters, digits and "_".
bool IsValidIdent(std::string_view name) noexcept;

// UTF-8 encoding of one code point (code points above 10FFFF give U+FFFD).
std::string EncodeUtf8(char32_t codePoint);

}  // namespace lumo
