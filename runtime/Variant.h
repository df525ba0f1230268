#pragma once
// The runtime's variant: one value of any of the types automation calls pass around, with
// the runtime's conversions between them. Stands for the platform's VARIANT as the engine's
// objects hand it over (field values, properties, parameters, bookmarks as byte arrays).
//
// Types: Empty (unassigned), Null, Boolean, Smallint/Integer/Int64, Double, Currency, Date
// (a TDateTime), String (UTF-8), Bytes (an array of bytes, bounds 0..size-1) and Array (a
// vector of variants with its own low bound). Scalars live inside the value without heap
// allocation; moving is cheap.
//
// Conversions (As...) follow the runtime's rules: text to number or date is read under the
// format settings and number or date to text is written under them; Boolean is -1/0 as a
// number and "True"/"False" as text; Empty is 0, false or empty text. Errors:
//   EVariantError "Could not convert variant of type (Null) into type (String)" when the
//     types do not convert (Null to anything but a variant, arrays to scalars, ...),
//     and, with ": <value> is out of range" added, when a number does not fit the target;
//   EConvertError "'<text>' is not a valid integer value" / "... floating point value" /
//     "... date and time" / "... Boolean value" when a text does not read as the target.

#include <compare>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "runtime/NumberText.h"

namespace lumo {

enum class VarType {
  kEmpty,
  kNull,
  kBoolean,
  kSmallint,
  kInteger,
  kInt64,
  kDouble,
  kCurrency,
  kDate,
  kString,
  kBytes,
  kArray,
};

// "Empty", "Null", "Boolean", "Smallint", "Integer", "Int64", "Double", "Currency", "Date",
// "String", "Array of Byte", "Array of Variant": the names conversion errors use.
const char* VarTypeName(VarType type);

class Variant;

// The elements of an Array variant: element i of the vector has the index lowBound + i.
struct VariantArray {
  int32_t lowBound = 0;
  std::vector<Variant> items;

  bool operator==(const VariantArray& other) const;
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool value) : value_(value) {}
  // Signed integers of up to 32 bits and unsigned ones of up to 16 become Integer, wider
  // ones Int64 (an unsigned 64-bit value beyond the Int64 range raises EVariantError).
  template <std::integral T>
  requires(!std::same_as<T, bool> && !std::same_as<T, char>) Variant(T value) {
    if constexpr (std::is_signed_v<T> ? sizeof(T) <= 4 : sizeof(T) < 4) {
      value_ = static_cast<int32_t>(value);
    } else {
      if constexpr (std::is_unsigned_v<T> && sizeof(T) >= 8) CheckInt64Range(value);
      value_ = static_cast<int64_t>(value);
    }
  }
  Variant(double value) : value_(value) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string_view text) : value_(std::string(text)) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(std::vector<uint8_t> bytes) : value_(std::move(bytes)) {}
  Variant(VariantArray array) : value_(std::move(array)) {}

  static Variant Null() { return Variant(Raw{}, NullValue{}); }
  static Variant FromDate(TDateTime value) { return Variant(Raw{}, DateValue{value}); }
  static Variant FromCurrency(Currency value) { return Variant(Raw{}, value); }
  static Variant FromSmallint(int16_t value) { return Variant(Raw{}, SmallintValue{value}); }

  VarType Type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return Type() == VarType::kEmpty; }
  bool IsNull() const { return Type() == VarType::kNull; }
  // Bytes and Array are both arrays, as the platform's byte arrays are variant arrays.
  bool IsArray() const { return Type() == VarType::kBytes || Type() == VarType::kArray; }

  bool AsBoolean(const FormatSettings& settings = CurrentFormatSettings()) const;
  int16_t AsSmallint(const FormatSettings& settings = CurrentFormatSettings()) const;
  int32_t AsInteger(const FormatSettings& settings = CurrentFormatSettings()) const;
  int64_t AsInt64(const FormatSettings& settings = CurrentFormatSettings()) const;
  double AsDouble(const FormatSettings& settings = CurrentFormatSettings()) const;
  Currency AsCurrency(const FormatSettings& settings = CurrentFormatSettings()) const;
  TDateTime AsDateTime(const FormatSettings& settings = CurrentFormatSettings()) const;
  // Bytes give their bytes as they are; Date gives DateTimeToStr.
  std::string AsString(const FormatSettings& settings = CurrentFormatSettings()) const;
  // Text gives its bytes; an Array its elements as bytes 0..255.
  std::vector<uint8_t> AsBytes() const;

  // The text or the bytes held, in place: for large values (memo texts, long binary data)
  // that are measured, sliced or extended without being copied. nullptr for other types.
  const std::string* TextIf() const noexcept { return std::get_if<std::string>(&value_); }
  std::string* TextIf() noexcept { return std::get_if<std::string>(&value_); }
  const std::vector<uint8_t>* BytesIf() const noexcept {
    return std::get_if<std::vector<uint8_t>>(&value_);
  }
  std::vector<uint8_t>* BytesIf() noexcept { return std::get_if<std::vector<uint8_t>>(&value_); }

  // Arrays (Bytes or Array); EVariantError "Variant is not an array" otherwise.
  int32_t LowBound() const;
  int32_t HighBound() const;  // LowBound() + element count - 1
  // Element access by index for Array variants; an index outside the bounds raises
  // EVariantError. References stay valid until the array is changed as a whole.
  Variant& operator[](int32_t index);
  const Variant& operator[](int32_t index) const;
  const std::vector<Variant>& Items() const;
  // Element access for both kinds of array; Put into Bytes needs an integer 0..255.
  Variant Get(int32_t index) const;
  void Put(int32_t index, const Variant& element);

  // Same type class (the three integer types form one) and the same value; for tests and
  // look-ups, not the engine's comparison rules.
  bool operator==(const Variant& other) const;

 private:
  struct NullValue {
    bool operator==(const NullValue&) const = default;
  };
  struct SmallintValue {
    int16_t value;
    bool operator==(const SmallintValue&) const = default;
  };
  struct DateValue {
    TDateTime value;
    bool operator==(const DateValue&) const = default;
  };
  // Alternatives in the order of VarType.
  using Storage =
      std::variant<std::monostate, NullValue, bool, SmallintValue, int32_t, int64_t, double,
                   Currency, DateValue, std::string, std::vector<uint8_t>, VariantArray>;

  struct Raw {};
  template <class T>
  Variant(Raw, T value) : value_(std::move(value)) {}

  static void CheckInt64Range(uint64_t value);
  int64_t AsIntegral(int64_t minimum, int64_t maximum, VarType target,
                     const FormatSettings& settings) const;
  [[noreturn]] void RaiseCannotConvert(VarType target) const;
  int32_t ArrayOffset(int32_t index) const;

  Storage value_;
};

inline bool VarIsEmpty(const Variant& value) { return value.IsEmpty(); }
inline bool VarIsNull(const Variant& value) { return value.IsNull(); }
inline bool VarIsArray(const Variant& value) { return value.IsArray(); }

// Null and Empty give the empty text, everything else AsString().
std::string VarToStr(const Variant& value,
                     const FormatSettings& settings = CurrentFormatSettings());

// An Array variant with bounds 0 .. size-1.
Variant VarArrayOf(std::initializer_list<Variant> items);
Variant VarArrayOf(std::vector<Variant> items);
// An Array variant of Empty elements with the given bounds (high = low - 1 makes it empty);
// EVariantError for a smaller high bound.
Variant VarArrayCreate(int32_t lowBound, int32_t highBound);
inline int32_t VarArrayLowBound(const Variant& array) { return array.LowBound(); }
inline int32_t VarArrayHighBound(const Variant& array) { return array.HighBound(); }

// Test output: the type and the value, e.g. Integer(5), String("abc"), Null.
std::ostream& operator<<(std::ostream& stream, const Variant& value);

}  // namespace lumo
