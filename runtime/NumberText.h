#pragma once
// Numbers as text under the format settings, and the Currency type. They stand for the
// runtime's FloatToStr/StrToFloat/IntToStr/StrToInt/CurrToStr family: a number a user sees or
// types is written with the locale's decimal separator, and read back with it.
//
// Failures of the Str... forms raise EConvertError "'<text>' is not a valid integer value" or
// "'<text>' is not a valid floating point value"; the Try forms answer false and leave the
// result unchanged. Blanks around the number are allowed; thousand separators are not.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/FormatSettings.h"

namespace lumo {

// A fixed-point amount with four decimals, held as a 64-bit integer scaled by 10000
// (-922337203685477.5808 .. 922337203685477.5807): sums of money add up without the drift
// of binary fractions.
class Currency {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;
  static constexpr Currency FromScaled(int64_t scaled) {
    Currency value;
    value.scaled_ = scaled;
    return value;
  }
  // Rounds to the nearest 1/10000, halves to even. Raises EConvertError out of range.
  static Currency FromDouble(double value);
  static bool TryFromDouble(double value, Currency& result);

  constexpr int64_t Scaled() const { return scaled_; }
  double ToDouble() const { return static_cast<double>(scaled_) / kScale; }

  auto operator<=>(const Currency&) const = default;

 private:
  int64_t scaled_ = 0;
};

// General format: up to 15 significant digits, no trailing zeros, the settings' decimal
// separator; exponent form ("1E20", "1.5E-7") from 1E15 up and below 0.00001. Infinities and
// NaN give "INF", "-INF" and "NAN".
std::string FloatToStr(double value, const FormatSettings& settings = CurrentFormatSettings());
// [sign] digits [separator digits] [E [sign] digits], or INF/NAN in any case.
double StrToFloat(std::string_view text, const FormatSettings& settings = CurrentFormatSettings());
bool TryStrToFloat(std::string_view text, double& value,
                   const FormatSettings& settings = CurrentFormatSettings());

std::string IntToStr(int64_t value);
// [sign] decimal digits, or hexadecimal after "$" or "0x". Values outside the type's range
// are not valid.
int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int32_t& value);
int64_t StrToInt64(std::string_view text);
bool TryStrToInt64(std::string_view text, int64_t& value);

// Up to four decimals, trailing zeros dropped, the settings' decimal separator.
std::string CurrToStr(Currency value, const FormatSettings& settings = CurrentFormatSettings());
// Exact for plain decimal text; digits beyond the fourth decimal round halves to even.
Currency StrToCurr(std::string_view text, const FormatSettings& settings = CurrentFormatSettings());
bool TryStrToCurr(std::string_view text, Currency& value,
                  const FormatSettings& settings = CurrentFormatSettings());

}  // namespace lumo
