// Variant construction, arrays, equality and test output; the As... conversions are in
// VariantConvert.cpp.
#include "runtime/Variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

#include "runtime/Exceptions.h"

namespace lumo {

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kBoolean: return "Boolean";
    case VarType::kSmallint: return "Smallint";
    case VarType::kInteger: return "Integer";
    case VarType::kInt64: return "Int64";
    case VarType::kDouble: return "Double";
    case VarType::kCurrency: return "Currency";
    case VarType::kDate: return "Date";
    case VarType::kString: return "String";
    case VarType::kBytes: return "Array of Byte";
    case VarType::kArray: return "Array of Variant";
  }
  return "Unknown";
}

bool VariantArray::operator==(const VariantArray& other) const {
  return lowBound == other.lowBound && items == other.items;
}

void Variant::CheckInt64Range(uint64_t value) {
  if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    throw EVariantError("Could not convert " + std::to_string(value) +
                        " into type (Int64): the value is out of range");
  }
}

void Variant::RaiseCannotConvert(VarType target) const {
  throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(Type()) +
                      ") into type (" + VarTypeName(target) + ")");
}

int32_t Variant::LowBound() const {
  if (const auto* array = std::get_if<VariantArray>(&value_)) return array->lowBound;
  if (Type() == VarType::kBytes) return 0;
  throw EVariantError("Variant is not an array");
}

int32_t Variant::HighBound() const {
  if (const auto* array = std::get_if<VariantArray>(&value_)) {
    return array->lowBound + static_cast<int32_t>(array->items.size()) - 1;
  }
  if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) {
    return static_cast<int32_t>(bytes->size()) - 1;
  }
  throw EVariantError("Variant is not an array");
}

int32_t Variant::ArrayOffset(int32_t index) const {
  int32_t low = LowBound();
  int32_t high = HighBound();
  if (index < low || index > high) {
    throw EVariantError("Variant array index " + std::to_string(index) + " is out of bounds (" +
                        std::to_string(low) + ".." + std::to_string(high) + ")");
  }
  return index - low;
}

Variant& Variant::operator[](int32_t index) {
  if (Type() != VarType::kArray) throw EVariantError("Variant is not an array of variants");
  return std::get<VariantArray>(value_).items[ArrayOffset(index)];
}

const Variant& Variant::operator[](int32_t index) const {
  if (Type() != VarType::kArray) throw EVariantError("Variant is not an array of variants");
  return std::get<VariantArray>(value_).items[ArrayOffset(index)];
}

const std::vector<Variant>& Variant::Items() const {
  if (Type() != VarType::kArray) throw EVariantError("Variant is not an array of variants");
  return std::get<VariantArray>(value_).items;
}

Variant Variant::Get(int32_t index) const {
  int32_t offset = ArrayOffset(index);
  if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) {
    return Variant(static_cast<int32_t>((*bytes)[offset]));
  }
  return std::get<VariantArray>(value_).items[offset];
}

void Variant::Put(int32_t index, const Variant& element) {
  int32_t offset = ArrayOffset(index);
  if (auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) {
    int32_t byte = element.AsInteger();
    if (byte < 0 || byte > 255) {
      throw EVariantError("Could not convert variant of type (" +
                          std::string(VarTypeName(element.Type())) +
                          ") into type (Byte): " + std::to_string(byte) + " is out of range");
    }
    (*bytes)[offset] = static_cast<uint8_t>(byte);
    return;
  }
  std::get<VariantArray>(value_).items[offset] = element;
}

namespace {

// The three integer types compare as one class.
bool IsIntegral(VarType type) {
  return type == VarType::kSmallint || type == VarType::kInteger || type == VarType::kInt64;
}

}  // namespace

bool Variant::operator==(const Variant& other) const {
  if (IsIntegral(Type()) && IsIntegral(other.Type()) && Type() != other.Type()) {
    auto widen = [](const Storage& value) -> int64_t {
      if (const auto* small = std::get_if<SmallintValue>(&value)) return small->value;
      if (const auto* integer = std::get_if<int32_t>(&value)) return *integer;
      return std::get<int64_t>(value);
    };
    return widen(value_) == widen(other.value_);
  }
  return value_ == other.value_;
}

std::string VarToStr(const Variant& value, const FormatSettings& settings) {
  if (value.IsNull() || value.IsEmpty()) return {};
  return value.AsString(settings);
}

Variant VarArrayOf(std::initializer_list<Variant> items) {
  return Variant(VariantArray{0, std::vector<Variant>(items)});
}

Variant VarArrayOf(std::vector<Variant> items) {
  return Variant(VariantArray{0, std::move(items)});
}

Variant VarArrayCreate(int32_t lowBound, int32_t highBound) {
  int64_t count = static_cast<int64_t>(highBound) - lowBound + 1;
  if (count < 0) {
    throw EVariantError("Invalid variant array bounds " + std::to_string(lowBound) + ".." +
                        std::to_string(highBound));
  }
  return Variant(VariantArray{lowBound, std::vector<Variant>(static_cast<size_t>(count))});
}

std::ostream& operator<<(std::ostream& stream, const Variant& value) {
  const FormatSettings& invariant = FormatSettings::Invariant();
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull: return stream << VarTypeName(value.Type());
    case VarType::kString: return stream << "String(\"" << value.AsString(invariant) << "\")";
    case VarType::kDate: {
      TDateTime date = value.AsDateTime(invariant);
      TTimeStamp stamp;
      stream << "Date(";
      if (TryDateTimeToTimeStamp(date, stamp)) {
        return stream << stamp.Date << ' ' << stamp.Time << ')';
      }
      return stream << date << ')';
    }
    case VarType::kBytes: {
      stream << "Array of Byte(";
      const char* separator = "";
      for (uint8_t byte : value.AsBytes()) {
        stream << separator << static_cast<int>(byte);
        separator = " ";
      }
      return stream << ')';
    }
    case VarType::kArray: {
      stream << "Array of Variant[" << value.LowBound() << "](";
      const char* separator = "";
      for (const Variant& item : value.Items()) {
        stream << separator << item;
        separator = ", ";
      }
      return stream << ')';
    }
    default: return stream << VarTypeName(value.Type()) << '(' << value.AsString(invariant) << ')';
  }
}

}  // namespace lumo
