#include "jet/JetTypes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace lumo::jet {

namespace {

// Upper case with runs of blanks collapsed and the ends trimmed.
std::string NormalizeTypeName(std::string_view text) {
  std::string result;
  bool pendingBlank = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingBlank = !result.empty();
      continue;
    }
    if (pendingBlank) result += ' ';
    pendingBlank = false;
    result += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return result;
}

JetFieldType Fixed(int type, int size) { return {type, size, dbFixedField, 0, 0}; }
JetFieldType Variable(int type, int size) { return {type, size, dbVariableField, 0, 0}; }

struct NamedType {
  const char* name;
  int type;
};

// Jet's DDL names and their synonyms.
constexpr NamedType kJetDdlNames[] = {
    {"BIT", dbBoolean},
    {"YESNO", dbBoolean},
    {"BOOLEAN", dbBoolean},
    {"LOGICAL", dbBoolean},
    {"LOGICAL1", dbBoolean},
    {"BYTE", dbByte},
    {"TINYINT", dbByte},
    {"INTEGER1", dbByte},
    {"SHORT", dbInteger},
    {"SMALLINT", dbInteger},
    {"INTEGER2", dbInteger},
    {"LONG", dbLong},
    {"INTEGER", dbLong},
    {"INT", dbLong},
    {"INTEGER4", dbLong},
    {"CURRENCY", dbCurrency},
    {"MONEY", dbCurrency},
    {"SINGLE", dbSingle},
    {"REAL", dbSingle},
    {"FLOAT4", dbSingle},
    {"IEEESINGLE", dbSingle},
    {"DOUBLE", dbDouble},
    {"FLOAT", dbDouble},
    {"FLOAT8", dbDouble},
    {"IEEEDOUBLE", dbDouble},
    {"NUMBER", dbDouble},
    {"DATETIME", dbDate},
    {"DATE", dbDate},
    {"TIME", dbDate},
    {"TEXT", dbText},
    {"CHAR", dbText},
    {"CHARACTER", dbText},
    {"VARCHAR", dbText},
    {"STRING", dbText},
    {"ALPHANUMERIC", dbText},
    {"NCHAR", dbText},
    {"NVARCHAR", dbText},
    {"NATIONAL CHAR", dbText},
    {"NATIONAL CHARACTER", dbText},
    {"NATIONAL CHAR VARYING", dbText},
    {"NATIONAL CHARACTER VARYING", dbText},
    {"CHARACTER VARYING", dbText},
    {"CHAR VARYING", dbText},
    {"LONGTEXT", dbMemo},
    {"MEMO", dbMemo},
    {"NOTE", dbMemo},
    {"LONGCHAR", dbMemo},
    {"NTEXT", dbMemo},
    {"BINARY", dbBinary},
    {"VARBINARY", dbBinary},
    {"LONGBINARY", dbLongBinary},
    {"IMAGE", dbLongBinary},
    {"OLEOBJECT", dbLongBinary},
    {"GENERAL", dbLongBinary},
    {"GUID", dbGUID},
    {"UNIQUEIDENTIFIER", dbGUID},
    {"DECIMAL", dbDecimal},
    {"NUMERIC", dbDecimal},
    {"DEC", dbDecimal},
};

// Declared types as SQLite files carry them (ours and foreign ones), by exact name.
constexpr NamedType kDeclaredNames[] = {
    {"BOOLEAN", dbBoolean},
    {"BOOL", dbBoolean},
    {"BIT", dbBoolean},
    {"YESNO", dbBoolean},
    {"LOGICAL", dbBoolean},
    {"TINYINT", dbByte},
    {"BYTE", dbByte},
    {"INTEGER1", dbByte},
    {"SMALLINT", dbInteger},
    {"SHORT", dbInteger},
    {"INTEGER2", dbInteger},
    {"INT2", dbInteger},
    {"INTEGER", dbLong},
    {"INT", dbLong},
    {"LONG", dbLong},
    {"INTEGER4", dbLong},
    {"INT4", dbLong},
    {"MEDIUMINT", dbLong},
    {"BIGINT", dbBigInt},
    {"INT8", dbBigInt},
    {"UNSIGNED BIG INT", dbBigInt},
    {"CURRENCY", dbCurrency},
    {"MONEY", dbCurrency},
    {"FLOAT4", dbSingle},
    {"SINGLE", dbSingle},
    {"IEEESINGLE", dbSingle},
    {"REAL", dbDouble},
    {"DOUBLE", dbDouble},
    {"DOUBLE PRECISION", dbDouble},
    {"FLOAT", dbDouble},
    {"FLOAT8", dbDouble},
    {"IEEEDOUBLE", dbDouble},
    {"NUMBER", dbDouble},
    {"NUM", dbDouble},
    {"DATETIME", dbDate},
    {"DATE", dbDate},
    {"TIME", dbDate},
    {"TIMESTAMP", dbDate},
    {"SMALLDATETIME", dbDate},
    {"GUID", dbGUID},
    {"UNIQUEIDENTIFIER", dbGUID},
    {"UUID", dbGUID},
    {"BLOB", dbLongBinary},
    {"LONGBINARY", dbLongBinary},
    {"IMAGE", dbLongBinary},
    {"OLEOBJECT", dbLongBinary},
    {"GENERAL", dbLongBinary},
    {"BINARY", dbBinary},
    {"VARBINARY", dbBinary},
    {"TEXT", dbMemo},
    {"CLOB", dbMemo},
    {"MEMO", dbMemo},
    {"LONGTEXT", dbMemo},
    {"NOTE", dbMemo},
    {"LONGCHAR", dbMemo},
    {"NTEXT", dbMemo},
    {"MEDIUMTEXT", dbMemo},
    {"LONG VARCHAR", dbMemo},
    {"VARCHAR", dbText},
    {"CHAR", dbText},
    {"CHARACTER", dbText},
    {"NCHAR", dbText},
    {"NVARCHAR", dbText},
    {"VARYING CHARACTER", dbText},
    {"NATIVE CHARACTER", dbText},
    {"CHARACTER VARYING", dbText},
    {"STRING", dbText},
    {"ALPHANUMERIC", dbText},
    {"DECIMAL", dbDecimal},
    {"NUMERIC", dbDecimal},
    {"DEC", dbDecimal},
};

template <size_t N>
std::optional<int> Lookup(const NamedType (&table)[N], const std::string& name) {
  for (const auto& entry : table) {
    if (name == entry.name) return entry.type;
  }
  return std::nullopt;
}

// Splits "VARCHAR(50)" into the name and the numbers in parentheses. Anything after the
// closing parenthesis (a COLLATE clause) is ignored.
struct TypeText {
  std::string name;
  std::vector<int> numbers;
  bool malformed = false;
};

TypeText SplitTypeText(std::string_view declared) {
  TypeText parts;
  size_t open = declared.find('(');
  std::string_view head = declared.substr(0, open);
  std::string upper = NormalizeTypeName(head);
  size_t collate = upper.find(" COLLATE");
  if (collate != std::string::npos) upper.erase(collate);
  if (upper.rfind("COLLATE ", 0) == 0) upper.clear();
  parts.name = upper;
  if (open == std::string_view::npos) return parts;
  size_t close = declared.find(')', open);
  if (close == std::string_view::npos) {
    parts.malformed = true;
    return parts;
  }
  std::string_view inner = declared.substr(open + 1, close - open - 1);
  long value = 0;
  bool haveDigits = false;
  for (size_t i = 0; i <= inner.size(); ++i) {
    char c = i < inner.size() ? inner[i] : ',';
    if (std::isdigit(static_cast<unsigned char>(c))) {
      if (value < 1000000) value = value * 10 + (c - '0');
      haveDigits = true;
    } else if (c == ',') {
      if (!haveDigits) parts.malformed = true;
      parts.numbers.push_back(static_cast<int>(value));
      value = 0;
      haveDigits = false;
    } else if (!std::isspace(static_cast<unsigned char>(c)) && c != '+') {
      parts.malformed = true;
    }
  }
  return parts;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// 2-digit and 3-digit helpers for the fixed-width date text.
bool ReadDigits(std::string_view text, size_t pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Days from 1 Jan 1970 to a civil date (proleptic Gregorian), and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

// 30 Dec 1899, day 0 of the Date double, counted from 1 Jan 1970.
constexpr int64_t kOleEpochDays = -25569;
constexpr double kMinOleDate = -657434.0;         // 1 Jan 100
constexpr double kMaxOleDate = 2958465.99999999;  // 31 Dec 9999, end of day
constexpr int64_t kMillisecondsPerDay = 86400000;

}  // namespace

JetFieldType DefaultFieldType(int type) {
  switch (type) {
    case dbBoolean: return Fixed(dbBoolean, 1);
    case dbByte: return Fixed(dbByte, 1);
    case dbInteger: return Fixed(dbInteger, 2);
    case dbLong: return Fixed(dbLong, 4);
    case dbBigInt: return Fixed(dbBigInt, 8);
    case dbCurrency: return Fixed(dbCurrency, 8);
    case dbSingle: return Fixed(dbSingle, 4);
    case dbDouble: return Fixed(dbDouble, 8);
    case dbDate: return Fixed(dbDate, 8);
    case dbGUID: return Fixed(dbGUID, 16);
    case dbDecimal: return {dbDecimal, 16, dbFixedField, 18, 0};
    case dbBinary: return Variable(dbBinary, kMaxTextSize);
    case dbText: return Variable(dbText, kMaxTextSize);
    case dbMemo: return Variable(dbMemo, 0);
    case dbLongBinary: return Variable(dbLongBinary, 0);
    default: return Variable(dbMemo, 0);
  }
}

std::optional<JetFieldType> JetDdlType(std::string_view typeName, std::optional<int> size, std::optional<int> scale) {
  const std::string name = NormalizeTypeName(typeName);
  if (name == "COUNTER" || name == "AUTOINCREMENT") {
    if (size || scale) return std::nullopt;
    JetFieldType type = Fixed(dbLong, 4);
    type.attributes |= dbAutoIncrField;
    return type;
  }
  auto found = Lookup(kJetDdlNames, name);
  if (!found) return std::nullopt;
  JetFieldType type = DefaultFieldType(*found);
  switch (*found) {
    case dbText:
    case dbBinary:
      if (scale) return std::nullopt;
      if (size) {
        if (*size < 1 || *size > kMaxTextSize) return std::nullopt;
        type.size = *size;
      }
      return type;
    case dbDecimal:
      if (size) {
        if (*size < 1 || *size > 28) return std::nullopt;
        type.precision = *size;
      }
      if (scale) {
        if (!size || *scale < 0 || *scale > type.precision) return std::nullopt;
        type.scale = *scale;
      }
      return type;
    default:
      if (size || scale) return std::nullopt;
      return type;
  }
}

std::string DeclaredTypeName(const JetFieldType& type, bool counterIsRowKey) {
  switch (type.type) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: return "TINYINT";
    case dbInteger: return "SMALLINT";
    case dbLong:
      if ((type.attributes & dbAutoIncrField) != 0 && !counterIsRowKey) return "COUNTER";
      return "INTEGER";
    case dbBigInt: return "BIGINT";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "FLOAT4";
    case dbDouble:
    case dbFloat: return "DOUBLE";
    case dbDate:
    case dbTime:
    case dbTimeStamp: return "DATETIME";
    case dbBinary:
    case dbVarBinary: return "BINARY(" + std::to_string(type.size > 0 ? type.size : kMaxTextSize) + ")";
    case dbText:
    case dbChar: return "VARCHAR(" + std::to_string(type.size > 0 ? type.size : kMaxTextSize) + ")";
    case dbLongBinary: return "BLOB";
    case dbMemo: return "TEXT";
    case dbGUID: return "GUID";
    case dbDecimal:
    case dbNumeric:
      return "DECIMAL(" + std::to_string(type.precision > 0 ? type.precision : 18) + "," + std::to_string(type.scale) +
             ")";
    default: return "TEXT";
  }
}

JetFieldType MapDeclaredType(std::string_view declaredType, bool autoIncrementKey) {
  TypeText parts = SplitTypeText(declaredType);
  const std::string& name = parts.name;
  if (name.empty()) return DefaultFieldType(dbMemo);
  if (name == "COUNTER" || name == "AUTOINCREMENT" || (autoIncrementKey && Contains(name, "INT"))) {
    JetFieldType type = Fixed(dbLong, 4);
    type.attributes |= dbAutoIncrField;
    return type;
  }
  std::optional<int> known = Lookup(kDeclaredNames, name);
  int daoType;
  if (known) {
    daoType = *known;
  } else if (Contains(name, "INT")) {
    daoType = dbLong;
  } else if (Contains(name, "CHAR") || Contains(name, "CLOB") || Contains(name, "TEXT")) {
    daoType = parts.numbers.empty() ? dbMemo : dbText;
  } else if (Contains(name, "BLOB")) {
    daoType = dbLongBinary;
  } else {
    // REAL/FLOA/DOUB affinity and names SQLite gives numeric affinity.
    daoType = dbDouble;
  }
  JetFieldType type = DefaultFieldType(daoType);
  const bool hasSize = !parts.malformed && !parts.numbers.empty();
  switch (daoType) {
    case dbMemo:
      // "TEXT(50)" of a foreign file means a bounded text.
      if (hasSize && parts.numbers[0] >= 1 && parts.numbers[0] <= kMaxTextSize) {
        type = Variable(dbText, parts.numbers[0]);
      }
      break;
    case dbText:
      if (hasSize) {
        if (parts.numbers[0] >= 1 && parts.numbers[0] <= kMaxTextSize) {
          type.size = parts.numbers[0];
        } else {
          type = DefaultFieldType(dbMemo);
        }
      }
      break;
    case dbBinary:
      if (hasSize) {
        if (parts.numbers[0] >= 1 && parts.numbers[0] <= kMaxTextSize) {
          type.size = parts.numbers[0];
        } else {
          type = DefaultFieldType(dbLongBinary);
        }
      }
      break;
    case dbDecimal:
      if (hasSize) {
        type.precision = std::min(std::max(parts.numbers[0], 1), 28);
        if (parts.numbers.size() > 1) type.scale = std::min(parts.numbers[1], type.precision);
      }
      break;
    default: break;
  }
  return type;
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

DateParts DatePartsFromOleDate(double oleDate) {
  if (!std::isfinite(oleDate)) oleDate = 0;
  if (oleDate < kMinOleDate) oleDate = kMinOleDate;
  if (oleDate > kMaxOleDate) oleDate = kMaxOleDate;
  // Before day 0 the fraction still counts forward from midnight: -1.25 is 29 Dec 1899 06:00.
  double dayPart = std::trunc(oleDate);
  double fraction = std::fabs(oleDate - dayPart);
  int64_t milliseconds = std::llround(fraction * kMillisecondsPerDay);
  int64_t days = static_cast<int64_t>(dayPart);
  if (milliseconds >= kMillisecondsPerDay) {
    // Rounding reached the next midnight.
    milliseconds -= kMillisecondsPerDay;
    days += oleDate < 0 ? -1 : 1;
  }
  DateParts parts;
  CivilFromDays(days + kOleEpochDays, parts.year, parts.month, parts.day);
  parts.hour = static_cast<int>(milliseconds / 3600000);
  parts.minute = static_cast<int>(milliseconds / 60000 % 60);
  parts.second = static_cast<int>(milliseconds / 1000 % 60);
  parts.millisecond = static_cast<int>(milliseconds % 1000);
  return parts;
}

std::optional<double> OleDateFromParts(const DateParts& parts) {
  // A scan reads date after date of mostly the same day; the last valid day's count is kept
  // per thread.
  struct LastDay {
    int year = 0, month = 0, day = 0;  // no valid date has day 0
    int64_t days = 0;
  };
  thread_local LastDay last;
  const bool sameDay = parts.day == last.day && parts.month == last.month && parts.year == last.year;
  if (!sameDay && !IsValidDate(parts.year, parts.month, parts.day)) return std::nullopt;
  if (parts.hour < 0 || parts.hour > 23 || parts.minute < 0 || parts.minute > 59 || parts.second < 0 ||
      parts.second > 59 || parts.millisecond < 0 || parts.millisecond > 999) {
    return std::nullopt;
  }
  if (!sameDay) last = {parts.year, parts.month, parts.day, DaysFromCivil(parts.year, parts.month, parts.day)};
  double days = static_cast<double>(last.days - kOleEpochDays);
  double fraction = ((parts.hour * 60.0 + parts.minute) * 60.0 + parts.second + parts.millisecond / 1000.0) / 86400.0;
  return days < 0 ? days - fraction : days + fraction;
}

std::string FormatStorageDate(const DateParts& p) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                p.second, p.millisecond);
  return buffer;
}

std::string FormatStorageDate(double oleDate) { return FormatStorageDate(DatePartsFromOleDate(oleDate)); }

std::optional<DateParts> ParseStorageDate(std::string_view text) {
  DateParts p;
  // The form the engine writes, read at its fixed places in one pass: a scan reads one such
  // text for every date of every row.
  if (text.size() == 23 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' && text[16] == ':' &&
      text[19] == '.') {
    static constexpr size_t kDigitAt[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20, 21, 22};
    int d[std::size(kDigitAt)];
    for (size_t i = 0; i < std::size(kDigitAt); ++i) {
      const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(text[kDigitAt[i]])) - '0';
      if (digit > 9) return std::nullopt;
      d[i] = static_cast<int>(digit);
    }
    p.year = ((d[0] * 10 + d[1]) * 10 + d[2]) * 10 + d[3];
    p.month = d[4] * 10 + d[5];
    p.day = d[6] * 10 + d[7];
    p.hour = d[8] * 10 + d[9];
    p.minute = d[10] * 10 + d[11];
    p.second = d[12] * 10 + d[13];
    p.millisecond = (d[14] * 10 + d[15]) * 10 + d[16];
    if (!IsValidDate(p.year, p.month, p.day) || p.hour > 23 || p.minute > 59 || p.second > 59) return std::nullopt;
    return p;
  }
  if (text.size() < 10 || !ReadDigits(text, 0, 4, p.year) || text[4] != '-' || !ReadDigits(text, 5, 2, p.month) ||
      text[7] != '-' || !ReadDigits(text, 8, 2, p.day)) {
    return std::nullopt;
  }
  if (!IsValidDate(p.year, p.month, p.day)) return std::nullopt;
  p.hour = p.minute = p.second = p.millisecond = 0;
  if (text.size() == 10) return p;
  if ((text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, p.hour) || text.size() < 16 || text[13] != ':' ||
      !ReadDigits(text, 14, 2, p.minute)) {
    return std::nullopt;
  }
  size_t pos = 16;
  if (pos < text.size()) {
    if (text[pos] != ':' || !ReadDigits(text, pos + 1, 2, p.second)) return std::nullopt;
    pos += 3;
    if (pos < text.size()) {
      if (text[pos] != '.' || pos + 1 >= text.size()) return std::nullopt;
      ++pos;
      int scale = 100;
      for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c < '0' || c > '9') return std::nullopt;
        p.millisecond += (c - '0') * scale;
        scale /= 10;
      }
    }
  }
  if (p.hour > 23 || p.minute > 59 || p.second > 59) return std::nullopt;
  return p;
}

std::string FormatStorageGuid(const std::array<uint8_t, 16>& b) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return buffer;
}

std::optional<std::array<uint8_t, 16>> ParseGuidText(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  std::array<uint8_t, 16> digits{};
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return std::nullopt;
      continue;
    }
    int value;
    if (c >= '0' && c <= '9')
      value = c - '0';
    else if (c >= 'a' && c <= 'f')
      value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      value = c - 'A' + 10;
    else
      return std::nullopt;
    if (count % 2 == 0)
      digits[count / 2] = static_cast<uint8_t>(value << 4);
    else
      digits[count / 2] |= static_cast<uint8_t>(value);
    ++count;
  }
  // Text order to memory order: the first three groups are little-endian numbers.
  std::array<uint8_t, 16> bytes = digits;
  bytes[0] = digits[3];
  bytes[1] = digits[2];
  bytes[2] = digits[1];
  bytes[3] = digits[0];
  bytes[4] = digits[5];
  bytes[5] = digits[4];
  bytes[6] = digits[7];
  bytes[7] = digits[6];
  return bytes;
}

std::optional<std::string> NormalizeGuidText(std::string_view text) {
  auto bytes = ParseGuidText(text);
  if (!bytes) return std::nullopt;
  return FormatStorageGuid(*bytes);
}

}  // namespace lumo::jet
