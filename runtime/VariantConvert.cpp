// The As... conversions of Variant.
#include <cmath>
#include <limits>

#include "runtime/DateFormat.h"
#include "runtime/Exceptions.h"
#include "runtime/Variant.h"

namespace lumo {

namespace {

constexpr double kTwoPow63 = 9223372036854775808.0;

[[noreturn]] void RaiseOutOfRange(VarType from, VarType to, const std::string& valueText) {
  throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(from) +
                      ") into type (" + VarTypeName(to) + "): " + valueText + " is out of range");
}

[[noreturn]] void RaiseNotValid(const std::string& text, const char* what) {
  throw EConvertError("'" + text + "' is not a valid " + what);
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != word[i]) return false;
  }
  return true;
}

// Rounds to the nearest integer, halves to even, as the platform's variant conversions do.
bool RoundToInt64(double value, int64_t& result) {
  double rounded = std::nearbyint(value);
  if (!(rounded >= -kTwoPow63 && rounded < kTwoPow63)) return false;  // also NaN
  result = static_cast<int64_t>(rounded);
  return true;
}

int64_t RoundCurrencyToInt64(Currency value) {
  int64_t scaled = value.Scaled();
  int64_t quotient = scaled / Currency::kScale;
  int64_t remainder = scaled % Currency::kScale;  // carries the sign of scaled
  int64_t magnitude = remainder < 0 ? -remainder : remainder;
  if (magnitude > Currency::kScale / 2 ||
      (magnitude == Currency::kScale / 2 && quotient % 2 != 0)) {
    quotient += remainder < 0 ? -1 : 1;
  }
  return quotient;
}

}  // namespace

int64_t Variant::AsIntegral(int64_t minimum, int64_t maximum, VarType target,
                            const FormatSettings& settings) const {
  int64_t result = 0;
  std::string valueText;
  switch (Type()) {
    case VarType::kEmpty: return 0;
    case VarType::kBoolean: return std::get<bool>(value_) ? -1 : 0;
    case VarType::kSmallint: result = std::get<SmallintValue>(value_).value; break;
    case VarType::kInteger: result = std::get<int32_t>(value_); break;
    case VarType::kInt64: result = std::get<int64_t>(value_); break;
    case VarType::kDouble:
    case VarType::kDate: {
      double number =
          Type() == VarType::kDouble ? std::get<double>(value_) : std::get<DateValue>(value_).value;
      if (!RoundToInt64(number, result))
        RaiseOutOfRange(Type(), target, FloatToStr(number, settings));
      break;
    }
    case VarType::kCurrency: result = RoundCurrencyToInt64(std::get<Currency>(value_)); break;
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      double number;
      if (TryStrToInt64(text, result)) break;
      if (!TryStrToFloat(text, number, settings)) RaiseNotValid(text, "integer value");
      if (!RoundToInt64(number, result)) RaiseOutOfRange(Type(), target, text);
      break;
    }
    default: RaiseCannotConvert(target);
  }
  if (result < minimum || result > maximum) {
    RaiseOutOfRange(Type(), target, std::to_string(result));
  }
  return result;
}

int16_t Variant::AsSmallint(const FormatSettings& settings) const {
  return static_cast<int16_t>(AsIntegral(std::numeric_limits<int16_t>::min(),
                                         std::numeric_limits<int16_t>::max(), VarType::kSmallint,
                                         settings));
}

int32_t Variant::AsInteger(const FormatSettings& settings) const {
  return static_cast<int32_t>(AsIntegral(std::numeric_limits<int32_t>::min(),
                                         std::numeric_limits<int32_t>::max(), VarType::kInteger,
                                         settings));
}

int64_t Variant::AsInt64(const FormatSettings& settings) const {
  return AsIntegral(std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                    VarType::kInt64, settings);
}

bool Variant::AsBoolean(const FormatSettings& settings) const {
  switch (Type()) {
    case VarType::kEmpty: return false;
    case VarType::kBoolean: return std::get<bool>(value_);
    case VarType::kSmallint: return std::get<SmallintValue>(value_).value != 0;
    case VarType::kInteger: return std::get<int32_t>(value_) != 0;
    case VarType::kInt64: return std::get<int64_t>(value_) != 0;
    case VarType::kDouble: return std::get<double>(value_) != 0;
    case VarType::kCurrency: return std::get<Currency>(value_).Scaled() != 0;
    case VarType::kDate: return std::get<DateValue>(value_).value != 0;
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      if (EqualsNoCase(text, "true")) return true;
      if (EqualsNoCase(text, "false")) return false;
      double number;
      if (!TryStrToFloat(text, number, settings)) RaiseNotValid(text, "Boolean value");
      return number != 0;
    }
    default: RaiseCannotConvert(VarType::kBoolean);
  }
}

double Variant::AsDouble(const FormatSettings& settings) const {
  switch (Type()) {
    case VarType::kEmpty: return 0;
    case VarType::kBoolean: return std::get<bool>(value_) ? -1 : 0;
    case VarType::kSmallint: return std::get<SmallintValue>(value_).value;
    case VarType::kInteger: return std::get<int32_t>(value_);
    case VarType::kInt64: return static_cast<double>(std::get<int64_t>(value_));
    case VarType::kDouble: return std::get<double>(value_);
    case VarType::kCurrency: return std::get<Currency>(value_).ToDouble();
    case VarType::kDate: return std::get<DateValue>(value_).value;
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      double number;
      if (!TryStrToFloat(text, number, settings)) RaiseNotValid(text, "floating point value");
      return number;
    }
    default: RaiseCannotConvert(VarType::kDouble);
  }
}

Currency Variant::AsCurrency(const FormatSettings& settings) const {
  switch (Type()) {
    case VarType::kCurrency: return std::get<Currency>(value_);
    case VarType::kDouble:
    case VarType::kDate: {
      double number = AsDouble(settings);
      Currency result;
      if (!Currency::TryFromDouble(number, result)) {
        RaiseOutOfRange(Type(), VarType::kCurrency, FloatToStr(number, settings));
      }
      return result;
    }
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      Currency result;
      if (!TryStrToCurr(text, result, settings)) {
        double number;
        if (TryStrToFloat(text, number, settings))
          RaiseOutOfRange(Type(), VarType::kCurrency, text);
        RaiseNotValid(text, "floating point value");
      }
      return result;
    }
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64: {
      int64_t whole = AsInt64(settings);
      constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / Currency::kScale;
      if (whole > kLimit || whole < -kLimit) {
        RaiseOutOfRange(Type(), VarType::kCurrency, std::to_string(whole));
      }
      return Currency::FromScaled(whole * Currency::kScale);
    }
    default: RaiseCannotConvert(VarType::kCurrency);
  }
}

TDateTime Variant::AsDateTime(const FormatSettings& settings) const {
  switch (Type()) {
    case VarType::kDate: return std::get<DateValue>(value_).value;
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      TDateTime value;
      if (!TryStrToDateTime(text, value, settings)) RaiseNotValid(text, "date and time");
      return value;
    }
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64:
    case VarType::kDouble:
    case VarType::kCurrency: return AsDouble(settings);
    default: RaiseCannotConvert(VarType::kDate);
  }
}

std::string Variant::AsString(const FormatSettings& settings) const {
  switch (Type()) {
    case VarType::kEmpty: return {};
    case VarType::kBoolean: return std::get<bool>(value_) ? "True" : "False";
    case VarType::kSmallint: return IntToStr(std::get<SmallintValue>(value_).value);
    case VarType::kInteger: return IntToStr(std::get<int32_t>(value_));
    case VarType::kInt64: return IntToStr(std::get<int64_t>(value_));
    case VarType::kDouble: return FloatToStr(std::get<double>(value_), settings);
    case VarType::kCurrency: return CurrToStr(std::get<Currency>(value_), settings);
    case VarType::kDate: return DateTimeToStr(std::get<DateValue>(value_).value, settings);
    case VarType::kString: return std::get<std::string>(value_);
    case VarType::kBytes: {
      const auto& bytes = std::get<std::vector<uint8_t>>(value_);
      return std::string(bytes.begin(), bytes.end());
    }
    default: RaiseCannotConvert(VarType::kString);
  }
}

std::vector<uint8_t> Variant::AsBytes() const {
  switch (Type()) {
    case VarType::kEmpty: return {};
    case VarType::kBytes: return std::get<std::vector<uint8_t>>(value_);
    case VarType::kString: {
      const std::string& text = std::get<std::string>(value_);
      return std::vector<uint8_t>(text.begin(), text.end());
    }
    case VarType::kArray: {
      const VariantArray& array = std::get<VariantArray>(value_);
      const FormatSettings& settings = CurrentFormatSettings();
      std::vector<uint8_t> bytes;
      bytes.reserve(array.items.size());
      for (const Variant& item : array.items) {
        int64_t byte = item.AsIntegral(0, 255, VarType::kBytes, settings);
        bytes.push_back(static_cast<uint8_t>(byte));
      }
      return bytes;
    }
    default: RaiseCannotConvert(VarType::kBytes);
  }
}

}  // namespace lumo
