#include "runtime/StrUtils.h"

#include <langinfo.h>
#include <locale.h>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace lumo {

namespace {

// ---------------------------------------------------------------------------------------------
// UTF-8 <-> code points. Bytes that do not form a valid sequence are carried through as
// "escaped" values in the low-surrogate range (DC80..DCFF), which no valid text decodes to and
// which every case mapping leaves alone, so that such bytes come back unchanged.

constexpr char32_t kEscapeBase = 0xDC00;

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, code = lead & 0x07, minimum = 0x10000;
    }
    bool valid = extra > 0 && i + extra < text.size();
    if (valid) {
      for (int k = 1; k <= extra; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
          valid = false;
          break;
        }
        code = (code << 6) | (next & 0x3F);
      }
    }
    if (valid && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) {
      valid = false;
    }
    if (valid) {
      out.push_back(code);
      i += extra + 1;
    } else {
      out.push_back(kEscapeBase + lead);
      ++i;
    }
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code >= kEscapeBase + 0x80 && code <= kEscapeBase + 0xFF) {
    out.push_back(static_cast<char>(code - kEscapeBase));
  } else {
    out += EncodeUtf8(code);
  }
}

std::string EncodeAll(const std::u32string& codes) {
  std::string out;
  out.reserve(codes.size());
  for (char32_t code : codes) AppendUtf8(out, code);
  return out;
}

bool IsAscii(std::string_view text) noexcept {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char AsciiLower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char AsciiUpper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The locale whose wide-character case tables map non-ASCII letters: the current one when it
// is a UTF-8 locale (answered as 0: use the thread's current tables), otherwise the neutral
// UTF-8 locale (a process that never called setlocale is in the "C" locale, whose tables know
// ASCII only).
locale_t CaseLocale() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset != nullptr &&
      (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)) {
    return static_cast<locale_t>(0);
  }
  static locale_t neutral = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return neutral;
}

std::u32string MapCase(std::u32string codes, bool upper) {
  locale_t locale = CaseLocale();
  for (char32_t& code : codes) {
    if (code < 0x80) {
      code = static_cast<char32_t>(upper ? AsciiUpper(static_cast<char>(code))
                                         : AsciiLower(static_cast<char>(code)));
    } else if (code < kEscapeBase || code > kEscapeBase + 0xFF) {
      wint_t wide = static_cast<wint_t>(code);
      wint_t mapped;
      if (locale == static_cast<locale_t>(0)) {
        mapped = upper ? towupper(wide) : towlower(wide);
      } else {
        mapped = upper ? towupper_l(wide, locale) : towlower_l(wide, locale);
      }
      code = static_cast<char32_t>(mapped);
    }
  }
  return codes;
}

// Whether the locale's collation is plain code-point order, in which case no collation call
// is needed (and ASCII texts can take the fast path without breaking the order's consistency).
bool OrdinalCollation() {
  const char* name = std::setlocale(LC_COLLATE, nullptr);
  if (name == nullptr) return true;
  return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
         std::strncmp(name, "C.", 2) == 0;
}

int Sign(int value) noexcept { return (value > 0) - (value < 0); }

int CompareCodes(const std::u32string& a, const std::u32string& b) {
  if (!OrdinalCollation()) {
    std::wstring wa(a.begin(), a.end());
    std::wstring wb(b.begin(), b.end());
    int collated = Sign(std::wcscoll(wa.c_str(), wb.c_str()));
    if (collated != 0) return collated;
  }
  return Sign(a.compare(b));
}

// ---------------------------------------------------------------------------------------------
// Format

using format_detail::FormatArg;

[[noreturn]] void InvalidFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

// The C numeric conventions, so that %f and friends write "." whatever the process locale.
locale_t NumericLocale() {
  static locale_t locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

template <class T>
std::string PrintfOne(const std::string& directive, T value) {
  locale_t previous = uselocale(NumericLocale());
  char buffer[128];
  int length = std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
  std::string out;
  if (length >= 0 && static_cast<size_t>(length) < sizeof buffer) {
    out.assign(buffer, static_cast<size_t>(length));
  } else if (length >= 0) {
    out.resize(static_cast<size_t>(length) + 1);
    std::snprintf(out.data(), out.size(), directive.c_str(), value);
    out.resize(static_cast<size_t>(length));
  }
  uselocale(previous);
  return out;
}

uint64_t AsUnsigned(const FormatArg& arg) {
  if (arg.kind == FormatArg::Kind::kUnsigned) return arg.unsignedValue;
  uint64_t bits = static_cast<uint64_t>(arg.signedValue);
  if (arg.byteSize < 8) bits &= (uint64_t{1} << (arg.byteSize * 8)) - 1;
  return bits;
}

std::string Pad(std::string text, int width, bool leftAlign) {
  if (width > 0 && text.size() < static_cast<size_t>(width)) {
    std::string padding(static_cast<size_t>(width) - text.size(), ' ');
    text = leftAlign ? text + padding : padding + text;
  }
  return text;
}

}  // namespace

namespace format_detail {

std::string FormatArgs(std::string_view format, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16 * args.size());
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    std::string flags;
    while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr)
      flags.push_back(format[i++]);
    int width = -1;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      width = (width < 0 ? 0 : width) * 10 + (format[i++] - '0');
      if (width > 4096) InvalidFormat(format);
    }
    int precision = -1;
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = 0;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        precision = precision * 10 + (format[i++] - '0');
        if (precision > 4096) InvalidFormat(format);
      }
    }
    while (i < format.size() && std::strchr("hlLqjzt", format[i]) != nullptr) ++i;
    if (i >= format.size()) InvalidFormat(format);
    char conversion = format[i++];
    if (next >= args.size()) {
      throw EConvertError("No argument for format '" +
                          std::string(format.substr(start, i - start)) + "'");
    }
    const FormatArg& arg = args[next++];

    std::string directive = "%" + flags;
    if (width >= 0) directive += std::to_string(width);
    if (precision >= 0) directive += "." + std::to_string(precision);
    bool leftAlign = flags.find('-') != std::string::npos;
    bool integral = arg.kind == FormatArg::Kind::kSigned ||
                    arg.kind == FormatArg::Kind::kUnsigned || arg.kind == FormatArg::Kind::kChar;

    switch (conversion) {
      case 'd':
      case 'i':
        if (!integral) InvalidFormat(format);
        if (arg.kind == FormatArg::Kind::kUnsigned) {
          out += PrintfOne(directive + "llu", static_cast<unsigned long long>(arg.unsignedValue));
        } else {
          out += PrintfOne(directive + "lld", static_cast<long long>(arg.signedValue));
        }
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        if (!integral) InvalidFormat(format);
        out += PrintfOne(directive + "ll" + conversion,
                         static_cast<unsigned long long>(AsUnsigned(arg)));
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        double value = 0;
        if (arg.kind == FormatArg::Kind::kFloat) {
          value = arg.floatValue;
        } else if (arg.kind == FormatArg::Kind::kSigned) {
          value = static_cast<double>(arg.signedValue);
        } else if (arg.kind == FormatArg::Kind::kUnsigned) {
          value = static_cast<double>(arg.unsignedValue);
        } else {
          InvalidFormat(format);
        }
        out += PrintfOne(directive + conversion, value);
        break;
      }
      case 's': {
        std::string text;
        if (arg.kind == FormatArg::Kind::kString) {
          text = std::string(arg.text);
        } else if (arg.kind == FormatArg::Kind::kChar) {
          text = std::string(1, static_cast<char>(arg.signedValue));
        } else {
          InvalidFormat(format);
        }
        if (precision >= 0 && text.size() > static_cast<size_t>(precision)) text.resize(precision);
        out += Pad(std::move(text), width, leftAlign);
        break;
      }
      case 'c': {
        if (!integral) InvalidFormat(format);
        char32_t code = arg.kind == FormatArg::Kind::kUnsigned
                            ? static_cast<char32_t>(arg.unsignedValue)
                            : static_cast<char32_t>(arg.signedValue);
        out += Pad(arg.kind == FormatArg::Kind::kChar ? std::string(1, static_cast<char>(code))
                                                      : EncodeUtf8(code),
                   width, leftAlign);
        break;
      }
      case 'p':
        if (arg.kind != FormatArg::Kind::kPointer) InvalidFormat(format);
        out += PrintfOne(directive + "p", arg.pointer);
        break;
      default: InvalidFormat(format);
    }
  }
  return out;
}

}  // namespace format_detail

bool SameText(std::string_view a, std::string_view b) noexcept { return CompareText(a, b) == 0; }

int CompareText(std::string_view a, std::string_view b) noexcept {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    unsigned char x = static_cast<unsigned char>(AsciiLower(a[i]));
    unsigned char y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string AnsiLowerCase(std::string_view text) {
  if (IsAscii(text)) return LowerCaseAscii(text);
  return EncodeAll(MapCase(DecodeUtf8(text), false));
}

std::string AnsiUpperCase(std::string_view text) {
  if (IsAscii(text)) return UpperCaseAscii(text);
  return EncodeAll(MapCase(DecodeUtf8(text), true));
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (IsAscii(a) && IsAscii(b)) return SameText(a, b);
  return MapCase(DecodeUtf8(a), false) == MapCase(DecodeUtf8(b), false);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  if (OrdinalCollation() && IsAscii(a) && IsAscii(b)) return CompareText(a, b);
  return CompareCodes(MapCase(DecodeUtf8(a), false), MapCase(DecodeUtf8(b), false));
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
  if (OrdinalCollation() && IsAscii(a) && IsAscii(b)) return Sign(a.compare(b));
  return CompareCodes(DecodeUtf8(a), DecodeUtf8(b));
}

std::string LowerCaseAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::string TrimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(0, end));
}

bool StartsText(std::string_view subText, std::string_view text) {
  if (IsAscii(subText) && IsAscii(text)) {
    return subText.size() <= text.size() && SameText(subText, text.substr(0, subText.size()));
  }
  std::u32string sub = MapCase(DecodeUtf8(subText), false);
  std::u32string whole = MapCase(DecodeUtf8(text), false);
  return sub.size() <= whole.size() && whole.compare(0, sub.size(), sub) == 0;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t position = 0;
  while (true) {
    size_t found = text.find(from, position);
    if (found == std::string_view::npos) break;
    out.append(text.substr(position, found - position));
    out.append(to);
    position = found + from.size();
  }
  out.append(text.substr(position));
  return out;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t found = text.find(separator, start);
    if (found == std::string_view::npos) break;
    parts.emplace_back(text.substr(start, found - start));
    start = found + 1;
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

bool IsValidIdent(std::string_view name) noexcept {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name.substr(1)) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

std::string EncodeUtf8(char32_t codePoint) {
  std::string out;
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = 0xFFFD;
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
  return out;
}

}  // namespace lumo
