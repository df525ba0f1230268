#include "jet/ValueCodec.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "jet/DaoErrors.h"
#include "jet/sql/JetText.h"
#include "jet/storage/Statement.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kFieldSource = "DAO.Field";
constexpr int kConversionError = 3421;
constexpr int kNumericOverflow = 3349;
constexpr int kFieldTooSmall = 3163;

// Jet's date range: years 100 to 9999.
constexpr double kMinJetDate = -657434.0;
constexpr double kMaxJetDate = 2958465.0 + 86399999.0 / 86400000.0;

[[noreturn]] void RaiseField(int number) { RaiseDaoError(number, {}, kFieldSource); }

Variant GuidVariant(const std::string& storedText) { return Variant("{guid " + storedText + "}"); }

// The runtime's conversions raise their own exceptions; a field assignment answers DAO's.
template <class Convert>
auto Converted(Convert convert) {
  try {
    return convert();
  } catch (const EOleException&) {
    throw;
  } catch (const EVariantError& error) {
    // A number that does not fit the target says "out of range"; everything else is a
    // value of the wrong kind.
    if (std::string_view(error.Message()).find("out of range") != std::string_view::npos) {
      RaiseField(kNumericOverflow);
    }
    RaiseField(kConversionError);
  } catch (const EConvertError&) {
    RaiseField(kConversionError);
  }
}

int64_t IntegerInRange(const Variant& value, int64_t minimum, int64_t maximum) {
  int64_t number = Converted([&] { return value.AsInt64(); });
  if (number < minimum || number > maximum) RaiseField(kNumericOverflow);
  return number;
}

double DateInRange(const Variant& value) {
  double date = Converted([&] { return value.AsDateTime(); });
  if (!(date >= kMinJetDate && date <= kMaxJetDate)) RaiseField(kNumericOverflow);
  return date;
}

std::vector<uint8_t> BytesOf(const Variant& value) {
  return Converted([&] { return value.AsBytes(); });
}

bool IsTextField(int type) { return type == dbText || type == dbChar || type == dbMemo; }
bool IsBinaryField(int type) { return type == dbBinary || type == dbVarBinary || type == dbLongBinary; }

// The value itself when it already has the form a field of `type` holds and fits it: a text
// for a text field, a byte array for a binary one. Sizes are checked as an assignment does.
const Variant* InFieldForm(const Variant& value, const JetFieldType& type) {
  if (IsTextField(type.type)) {
    const std::string* text = value.TextIf();
    if (text == nullptr) return nullptr;
    if (type.type != dbMemo && type.size > 0 && Utf8Length(*text) > static_cast<size_t>(type.size)) {
      RaiseField(kFieldTooSmall);
    }
    return &value;
  }
  if (IsBinaryField(type.type)) {
    const std::vector<uint8_t>* bytes = value.BytesIf();
    if (bytes == nullptr) return nullptr;
    if (type.type != dbLongBinary && type.size > 0 && bytes->size() > static_cast<size_t>(type.size)) {
      RaiseField(kFieldTooSmall);
    }
    return &value;
  }
  return nullptr;
}

// Currency the size of a double's exact integers is kept exact by the double; beyond it
// (2^53 ten-thousandths) only the digits a back-end gives for an exact number are.
constexpr double kCurrencyExactInDouble = 9007199254740992.0 / 10000.0;

// The Currency of an exact decimal text ("-922337203685477.5807"), rounded half away from zero
// at four decimals; nullopt for any other text or a value beyond Currency's range.
std::optional<Currency> ExactCurrency(std::string_view text) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  uint64_t scaled = 0;
  int decimals = -1;  // digits seen after the point, -1 before it
  bool digits = false;
  bool roundUp = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    digits = true;
    if (decimals >= 4) {
      if (decimals == 4) roundUp = c >= '5';
      ++decimals;
      continue;
    }
    if (scaled > (UINT64_MAX - 9) / 10) return std::nullopt;
    scaled = scaled * 10 + static_cast<uint64_t>(c - '0');
    if (decimals >= 0) ++decimals;
  }
  if (!digits) return std::nullopt;
  for (int d = decimals < 0 ? 0 : std::min(decimals, 4); d < 4; ++d) {
    if (scaled > UINT64_MAX / 10) return std::nullopt;
    scaled *= 10;
  }
  if (roundUp) ++scaled;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (scaled > limit) return std::nullopt;
  return Currency::FromScaled(negative ? static_cast<int64_t>(0 - scaled) : static_cast<int64_t>(scaled));
}

}  // namespace

std::optional<std::string> StoredGuidText(const Variant& value) {
  if (value.Type() == VarType::kBytes || value.Type() == VarType::kArray) {
    std::vector<uint8_t> bytes = value.AsBytes();
    if (bytes.size() != 16) return std::nullopt;
    std::array<uint8_t, 16> raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    return FormatStorageGuid(raw);
  }
  if (value.Type() != VarType::kString) return std::nullopt;
  std::string text = value.AsString();
  // "{guid {...}}" is the form fields hand out and criteria use.
  constexpr std::string_view kPrefix = "{guid ";
  if (text.size() > kPrefix.size() && AnsiSameText(std::string_view(text).substr(0, kPrefix.size()), kPrefix) &&
      text.back() == '}') {
    text = text.substr(kPrefix.size(), text.size() - kPrefix.size() - 1);
  }
  return NormalizeGuidText(text);
}

Variant ReadColumnValue(const storage::Statement& statement, int column, const JetFieldType& type) {
  const ColumnType stored = statement.TypeOf(column);
  switch (stored) {
    case ColumnType::Null: return Variant::Null();
    case ColumnType::Integer: {
      const int64_t number = statement.ColumnInt64(column);
      switch (type.type) {
        case dbBoolean: return Variant(number != 0);
        case dbByte:
        case dbInteger:
          if (number >= INT16_MIN && number <= INT16_MAX) {
            return Variant::FromSmallint(static_cast<int16_t>(number));
          }
          return Variant(number);
        case dbLong:
          if (number >= INT32_MIN && number <= INT32_MAX) return Variant(static_cast<int32_t>(number));
          return Variant(number);
        case dbCurrency: {
          Currency value;
          if (Currency::TryFromDouble(static_cast<double>(number), value)) return Variant::FromCurrency(value);
          return Variant(number);
        }
        case dbSingle:
        case dbDouble:
        case dbFloat:
        case dbDecimal:
        case dbNumeric: return Variant(static_cast<double>(number));
        case dbDate:
        case dbTime:
        case dbTimeStamp:
        case dbText:
        case dbMemo:
        case dbChar:
        case dbGUID:
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary:
          // A foreign file's number where text is expected comes back as stored.
          return Variant(number);
        default: return Variant(number);
      }
    }
    case ColumnType::Float: {
      const double number = statement.ColumnDouble(column);
      switch (type.type) {
        case dbBoolean: return Variant(number != 0.0);
        case dbCurrency: {
          // A large amount from an exact number of a server: its digits, not the double.
          if (std::abs(number) >= kCurrencyExactInDouble) {
            if (auto exact = ExactCurrency(statement.ColumnTextView(column))) return Variant::FromCurrency(*exact);
          }
          Currency value;
          if (Currency::TryFromDouble(number, value)) return Variant::FromCurrency(value);
          return Variant(number);
        }
        case dbSingle: return Variant(static_cast<double>(static_cast<float>(number)));
        default: return Variant(number);
      }
    }
    case ColumnType::Text: {
      std::string_view text = statement.ColumnTextView(column);
      switch (type.type) {
        case dbDate:
        case dbTime:
        case dbTimeStamp:
          if (auto parts = ParseStorageDate(text)) {
            if (auto date = OleDateFromParts(*parts)) return Variant::FromDate(*date);
          }
          return Variant(text);
        case dbGUID:
          if (auto normal = NormalizeGuidText(text)) return GuidVariant(*normal);
          return Variant(text);
        case dbBinary:
        case dbLongBinary:
        case dbVarBinary: return Variant(std::vector<uint8_t>(text.begin(), text.end()));
        default: return Variant(text);
      }
    }
    case ColumnType::Blob: {
      std::vector<uint8_t> bytes = statement.ColumnBlob(column);
      if (type.type == dbText || type.type == dbMemo || type.type == dbChar) {
        return Variant(std::string(bytes.begin(), bytes.end()));
      }
      if (type.type == dbGUID && bytes.size() == 16) {
        std::array<uint8_t, 16> raw{};
        std::copy(bytes.begin(), bytes.end(), raw.begin());
        return GuidVariant(FormatStorageGuid(raw));
      }
      return Variant(std::move(bytes));
    }
  }
  return Variant::Null();
}

Variant ConvertFieldValue(const Variant& value, const JetFieldType& type, const std::string& fieldName) {
  (void)fieldName;
  if (value.IsNull() || value.IsEmpty()) return Variant::Null();
  switch (type.type) {
    case dbBoolean: return Variant(Converted([&] { return value.AsBoolean(); }));
    case dbByte: return Variant::FromSmallint(static_cast<int16_t>(IntegerInRange(value, 0, 255)));
    case dbInteger: return Variant::FromSmallint(static_cast<int16_t>(IntegerInRange(value, INT16_MIN, INT16_MAX)));
    case dbLong: return Variant(static_cast<int32_t>(IntegerInRange(value, INT32_MIN, INT32_MAX)));
    case dbBigInt: return Variant(Converted([&] { return value.AsInt64(); }));
    case dbCurrency: return Variant::FromCurrency(Converted([&] { return value.AsCurrency(); }));
    case dbSingle: {
      double number = Converted([&] { return value.AsDouble(); });
      if (std::isfinite(number) && std::fabs(number) > FLT_MAX) RaiseField(kNumericOverflow);
      return Variant(static_cast<double>(static_cast<float>(number)));
    }
    case dbDouble:
    case dbFloat:
    case dbDecimal:
    case dbNumeric: return Variant(Converted([&] { return value.AsDouble(); }));
    case dbDate:
    case dbTime:
    case dbTimeStamp: return Variant::FromDate(DateInRange(value));
    case dbText:
    case dbChar:
    case dbMemo: {
      std::string text = Converted([&] { return value.AsString(); });
      // Sizes count characters, not bytes.
      if ((type.type != dbMemo) && type.size > 0 && Utf8Length(text) > static_cast<size_t>(type.size)) {
        RaiseField(kFieldTooSmall);
      }
      return Variant(std::move(text));
    }
    case dbBinary:
    case dbVarBinary: {
      std::vector<uint8_t> bytes = BytesOf(value);
      if (type.size > 0 && bytes.size() > static_cast<size_t>(type.size)) RaiseField(kFieldTooSmall);
      return Variant(std::move(bytes));
    }
    case dbLongBinary: return Variant(BytesOf(value));
    case dbGUID: {
      auto text = StoredGuidText(value);
      if (!text) RaiseField(kConversionError);
      return GuidVariant(*text);
    }
    default: return value;
  }
}

Variant ConvertFieldValue(Variant&& value, const JetFieldType& type, const std::string& fieldName) {
  if (InFieldForm(value, type) != nullptr) return std::move(value);
  return ConvertFieldValue(static_cast<const Variant&>(value), type, fieldName);
}

void BindFieldValueInPlace(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                           const std::string& fieldName) {
  if (InFieldForm(value, type) != nullptr) {
    if (const std::string* text = value.TextIf()) {
      statement.BindTextInPlace(index, *text);
    } else {
      const std::vector<uint8_t>& bytes = *value.BytesIf();
      statement.BindBlobInPlace(index, bytes.data(), bytes.size());
    }
    return;
  }
  BindFieldValue(statement, index, value, type, fieldName);
}

void BindFieldValue(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                    const std::string& fieldName) {
  const Variant converted = ConvertFieldValue(value, type, fieldName);
  if (converted.IsNull()) {
    statement.BindNull(index);
    return;
  }
  switch (type.type) {
    case dbBoolean: statement.BindInt64(index, converted.AsBoolean() ? kStorageTrue : kStorageFalse); return;
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbBigInt: statement.BindInt64(index, converted.AsInt64()); return;
    case dbCurrency: statement.BindDouble(index, converted.AsCurrency().ToDouble()); return;
    case dbDate:
    case dbTime:
    case dbTimeStamp: statement.BindText(index, FormatStorageDate(converted.AsDateTime())); return;
    case dbGUID: statement.BindText(index, *StoredGuidText(converted)); return;
    case dbBinary:
    case dbVarBinary:
    case dbLongBinary: {
      std::vector<uint8_t> bytes = converted.AsBytes();
      statement.BindBlob(index, bytes.data(), bytes.size());
      return;
    }
    case dbText:
    case dbChar:
    case dbMemo: statement.BindText(index, converted.AsString()); return;
    default: statement.BindDouble(index, converted.AsDouble()); return;
  }
}

void BindPlainValue(storage::Statement& statement, int index, const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull: statement.BindNull(index); return;
    case VarType::kBoolean: statement.BindInt64(index, value.AsBoolean() ? kStorageTrue : kStorageFalse); return;
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64: statement.BindInt64(index, value.AsInt64()); return;
    case VarType::kDouble: statement.BindDouble(index, value.AsDouble()); return;
    case VarType::kCurrency: statement.BindDouble(index, value.AsCurrency().ToDouble()); return;
    case VarType::kDate: {
      const double date = value.AsDateTime();
      if (!(date >= kMinJetDate && date <= kMaxJetDate)) RaiseDaoError(kNumericOverflow);
      statement.BindText(index, FormatStorageDate(date));
      return;
    }
    case VarType::kString: statement.BindText(index, value.AsString()); return;
    case VarType::kBytes: {
      std::vector<uint8_t> bytes = value.AsBytes();
      statement.BindBlob(index, bytes.data(), bytes.size());
      return;
    }
    case VarType::kArray: RaiseDaoError(kDaoTypeMismatch);
  }
}

}  // namespace lumo::jet
