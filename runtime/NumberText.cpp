#include "runtime/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "runtime/Exceptions.h"

namespace lumo {

namespace {

// 2^63 as a double: the first value beyond the 64-bit range.
constexpr double kTwoPow63 = 9223372036854775808.0;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != word[i]) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of a decimal number text, as the settings write it.
struct DecimalText {
  bool negative = false;
  std::string_view integerDigits;
  std::string_view fractionDigits;
  std::string_view exponent;  // digits with their sign, empty when there is no exponent
};

bool SplitDecimal(std::string_view text, char decimalSeparator, DecimalText& parts) {
  size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    parts.negative = text[pos] == '-';
    ++pos;
  }
  size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  parts.integerDigits = text.substr(start, pos - start);
  if (pos < text.size() && text[pos] == decimalSeparator) {
    start = ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    parts.fractionDigits = text.substr(start, pos - start);
  }
  if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    start = ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    size_t digitsStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos == digitsStart) return false;
    parts.exponent = text.substr(start, pos - start);
  }
  return pos == text.size();
}

bool ParseFloat(std::string_view text, char decimalSeparator, double& value) {
  text = TrimBlanks(text);
  std::string_view unsignedText = text;
  bool negative = false;
  if (!unsignedText.empty() && (unsignedText[0] == '+' || unsignedText[0] == '-')) {
    negative = unsignedText[0] == '-';
    unsignedText.remove_prefix(1);
  }
  if (EqualsNoCase(unsignedText, "INF")) {
    value = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    return true;
  }
  if (EqualsNoCase(text, "NAN")) {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  DecimalText parts;
  if (!SplitDecimal(text, decimalSeparator, parts)) return false;
  // from_chars reads the C form whatever the process locale is.
  std::string plain;
  plain.reserve(text.size() + 2);
  plain += parts.integerDigits.empty() ? "0" : parts.integerDigits;
  if (!parts.fractionDigits.empty()) (plain += '.') += parts.fractionDigits;
  if (!parts.exponent.empty()) (plain += 'e') += parts.exponent;
  double magnitude;
  auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), magnitude);
  if (error != std::errc() || end != plain.data() + plain.size()) return false;
  value = parts.negative ? -magnitude : magnitude;
  return true;
}

bool ParseInteger(std::string_view text, int64_t minimum, int64_t maximum, int64_t& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text[0] == '+' || text[0] == '-') return false;
  uint64_t magnitude;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  // Hexadecimal text may spell the full 64-bit pattern (FFFFFFFF is -1 as a 32-bit value),
  // as the runtime has always read it.
  if (base == 16 && !negative) {
    if (maximum == std::numeric_limits<int32_t>::max() && magnitude <= 0xFFFFFFFFu) {
      value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
      return true;
    }
    if (maximum == std::numeric_limits<int64_t>::max()) {
      value = static_cast<int64_t>(magnitude);
      return true;
    }
  }
  if (negative) {
    uint64_t limit = static_cast<uint64_t>(-(minimum + 1)) + 1;  // |minimum| without overflow
    if (magnitude > limit) return false;
    value = magnitude == 0 ? 0 : -static_cast<int64_t>(magnitude - 1) - 1;
    return true;
  }
  if (magnitude > static_cast<uint64_t>(maximum)) return false;
  value = static_cast<int64_t>(magnitude);
  return true;
}

[[noreturn]] void RaiseInvalid(std::string_view text, const char* what) {
  throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

// Exact reading of "[sign]digits[.digits]" into ten-thousandths.
bool ParseCurrencyExact(const DecimalText& parts, int64_t& scaled) {
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1;
  uint64_t magnitude = 0;
  auto addDigit = [&magnitude](char digit) {
    if (magnitude > (kLimit - (digit - '0')) / 10) return false;
    magnitude = magnitude * 10 + (digit - '0');
    return true;
  };
  for (char digit : parts.integerDigits) {
    if (!addDigit(digit)) return false;
  }
  for (size_t i = 0; i < 4; ++i) {
    if (!addDigit(i < parts.fractionDigits.size() ? parts.fractionDigits[i] : '0')) {
      return false;
    }
  }
  if (parts.fractionDigits.size() > 4) {
    std::string_view rest = parts.fractionDigits.substr(4);
    bool aboveHalf = rest[0] > '5' ||
                     (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string_view::npos);
    bool half = rest[0] == '5' && !aboveHalf;
    if (aboveHalf || (half && magnitude % 2 == 1)) {
      if (magnitude == kLimit) return false;
      ++magnitude;
    }
  }
  if (magnitude == kLimit && !parts.negative) return false;
  scaled = parts.negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

}  // namespace

bool Currency::TryFromDouble(double value, Currency& result) {
  double scaled = std::nearbyint(value * kScale);
  if (!(scaled >= -kTwoPow63 && scaled < kTwoPow63)) return false;  // NaN fails here as well
  result.scaled_ = static_cast<int64_t>(scaled);
  return true;
}

Currency Currency::FromDouble(double value) {
  Currency result;
  if (!TryFromDouble(value, result)) {
    throw EConvertError("Value " + FloatToStr(value, FormatSettings::Invariant()) +
                        " is outside the range of Currency");
  }
  return result;
}

std::string FloatToStr(double value, const FormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  constexpr int kPrecision = 15;
  char buffer[40];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                              kPrecision - 1);
  std::string_view scientific(buffer, result.ptr - buffer);  // "-d.dddde+XX"
  std::string text;
  if (scientific[0] == '-') {
    text += '-';
    scientific.remove_prefix(1);
  }
  size_t exponentPos = scientific.find('e');
  int exponent = std::atoi(std::string(scientific.substr(exponentPos + 1)).c_str());
  std::string digits;
  for (char c : scientific.substr(0, exponentPos)) {
    if (c != '.') digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (exponent >= kPrecision || exponent < -5) {
    text += digits[0];
    if (digits.size() > 1) (text += settings.DecimalSeparator) += digits.substr(1);
    (text += 'E') += std::to_string(exponent);
  } else if (exponent < 0) {
    text += '0';
    text += settings.DecimalSeparator;
    text.append(-exponent - 1, '0');
    text += digits;
  } else {
    size_t integerDigits = exponent + 1;
    if (digits.size() <= integerDigits) {
      text += digits;
      text.append(integerDigits - digits.size(), '0');
    } else {
      text += digits.substr(0, integerDigits);
      text += settings.DecimalSeparator;
      text += digits.substr(integerDigits);
    }
  }
  return text;
}

bool TryStrToFloat(std::string_view text, double& value, const FormatSettings& settings) {
  return ParseFloat(text, settings.DecimalSeparator, value);
}

double StrToFloat(std::string_view text, const FormatSettings& settings) {
  double value;
  if (!TryStrToFloat(text, value, settings)) RaiseInvalid(text, "floating point value");
  return value;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view text, int32_t& value) {
  int64_t wide;
  if (!ParseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                    wide)) {
    return false;
  }
  value = static_cast<int32_t>(wide);
  return true;
}

int32_t StrToInt(std::string_view text) {
  int32_t value;
  if (!TryStrToInt(text, value)) RaiseInvalid(text, "integer value");
  return value;
}

bool TryStrToInt64(std::string_view text, int64_t& value) {
  return ParseInteger(text, std::numeric_limits<int64_t>::min(),
                      std::numeric_limits<int64_t>::max(), value);
}

int64_t StrToInt64(std::string_view text) {
  int64_t value;
  if (!TryStrToInt64(text, value)) RaiseInvalid(text, "integer value");
  return value;
}

std::string CurrToStr(Currency value, const FormatSettings& settings) {
  int64_t scaled = value.Scaled();
  uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : scaled;
  std::string text = scaled < 0 ? "-" : "";
  text += std::to_string(magnitude / Currency::kScale);
  auto fraction = static_cast<int>(magnitude % Currency::kScale);
  if (fraction != 0) {
    std::string digits = std::to_string(fraction + Currency::kScale).substr(1);  // 4 digits
    while (digits.back() == '0') digits.pop_back();
    (text += settings.DecimalSeparator) += digits;
  }
  return text;
}

bool TryStrToCurr(std::string_view text, Currency& value, const FormatSettings& settings) {
  DecimalText parts;
  if (!SplitDecimal(TrimBlanks(text), settings.DecimalSeparator, parts)) return false;
  if (!parts.exponent.empty()) {
    double number;
    return ParseFloat(text, settings.DecimalSeparator, number) &&
           Currency::TryFromDouble(number, value);
  }
  int64_t scaled;
  if (!ParseCurrencyExact(parts, scaled)) return false;
  value = Currency::FromScaled(scaled);
  return true;
}

Currency StrToCurr(std::string_view text, const FormatSettings& settings) {
  Currency value;
  if (!TryStrToCurr(text, value, settings)) RaiseInvalid(text, "floating point value");
  return value;
}

}  // namespace lumo
