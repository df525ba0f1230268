#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "jet/sql/JetDateText.h"

namespace lumo::jet::fn {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string TextOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return NumberText(sqlite3_value_double(value));
    case SQLITE_NULL: return {};
    default: {
      const unsigned char* text = sqlite3_value_text(value);
      int size = sqlite3_value_bytes(value);
      if (text == nullptr) return {};
      return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
    }
  }
}

std::optional<Number> ParseNumberText(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  std::string_view body = text.substr(begin, end - begin);
  if (body.empty()) return std::nullopt;
  size_t pos = 0;
  if (body[pos] == '+' || body[pos] == '-') ++pos;
  size_t digits = 0;
  bool fraction = false;
  while (pos < body.size() && std::isdigit(static_cast<unsigned char>(body[pos]))) ++pos, ++digits;
  if (pos < body.size() && body[pos] == '.') {
    fraction = true;
    ++pos;
    while (pos < body.size() && std::isdigit(static_cast<unsigned char>(body[pos]))) ++pos, ++digits;
  }
  if (digits == 0) return std::nullopt;
  bool exponent = false;
  if (pos < body.size() && (body[pos] == 'e' || body[pos] == 'E')) {
    exponent = true;
    ++pos;
    if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) ++pos;
    size_t expDigits = 0;
    while (pos < body.size() && std::isdigit(static_cast<unsigned char>(body[pos]))) ++pos, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (pos != body.size()) return std::nullopt;
  const std::string copy(body);
  if (!fraction && !exponent && digits <= 18)
    return Number::Of(static_cast<int64_t>(std::strtoll(copy.c_str(), nullptr, 10)));
  return Number::Of(std::strtod(copy.c_str(), nullptr));
}

bool IsDateText(sqlite3_value* value) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return false;
  const int size = sqlite3_value_bytes(value);
  if (size < 10 || size > 26) return false;
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return text != nullptr && ParseStorageDate(std::string_view(text, static_cast<size_t>(size))).has_value();
}

Number NumberOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return Number::Of(static_cast<int64_t>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT: return Number::Of(sqlite3_value_double(value));
    case SQLITE_TEXT: {
      const std::string text = TextOf(value);
      if (auto number = ParseNumberText(text)) return *number;
      if (auto parts = ParseStorageDate(text)) {
        if (auto ole = OleDateFromParts(*parts)) return Number::Of(*ole);
      }
      Fail(kTypeMismatch);
    }
    default: Fail(kTypeMismatch);
  }
}

double DoubleOf(sqlite3_value* value) { return NumberOf(value).AsDouble(); }

int64_t RoundHalfEven(double value) {
  if (!std::isfinite(value) || value >= 9.2233720368547758e18 || value < -9.2233720368547758e18) Fail(kOverflow);
  double rounded = std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
  return static_cast<int64_t>(rounded);
}

int64_t IntegerOf(sqlite3_value* value) {
  Number number = NumberOf(value);
  return number.integer ? number.i : RoundHalfEven(number.d);
}

double DateOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return sqlite3_value_double(value);
    case SQLITE_TEXT: {
      const std::string text = TextOf(value);
      std::optional<DateParts> parts = ParseStorageDate(text);
      if (!parts) parts = ParseJetDateText(text);
      if (parts) {
        if (auto ole = OleDateFromParts(*parts)) return *ole;
      }
      if (auto number = ParseNumberText(text)) return number->AsDouble();
      Fail(kTypeMismatch);
    }
    default: Fail(kTypeMismatch);
  }
}

DateParts PartsOf(double oleDate) {
  if (!std::isfinite(oleDate) || oleDate < -657434.0 || oleDate >= 2958466.0) Fail(kInvalidArgument);
  return DatePartsFromOleDate(oleDate);
}

int WeekdayOf(const DateParts& parts, int firstDayOfWeek) {
  // 30 Dec 1899 was a Saturday (weekday 7 counted from Sunday).
  auto ole = OleDateFromParts({parts.year, parts.month, parts.day, 0, 0, 0, 0});
  int64_t days = static_cast<int64_t>(std::floor(ole.value_or(0) + 1e-9));
  int sundayBased = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;  // 1 = Sunday
  if (firstDayOfWeek < 1 || firstDayOfWeek > 7) firstDayOfWeek = 1;
  return ((sundayBased - firstDayOfWeek) % 7 + 7) % 7 + 1;
}

int DayOfYear(const DateParts& parts) {
  int day = parts.day;
  for (int month = 1; month < parts.month; ++month) day += DaysInMonth(parts.year, month);
  return day;
}

void ResultNumber(sqlite3_context* context, const Number& number) {
  if (number.integer) {
    sqlite3_result_int64(context, number.i);
  } else if (!std::isfinite(number.d)) {
    Fail(kOverflow);
  } else {
    sqlite3_result_double(context, number.d);
  }
}

void ResultDate(sqlite3_context* context, double oleDate) {
  if (!std::isfinite(oleDate) || oleDate < -657434.0 || oleDate >= 2958466.0) Fail(kInvalidArgument);
  ResultText(context, FormatStorageDate(oleDate));
}

void ResultText(sqlite3_context* context, const std::string& text) {
  sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ResultTruth(sqlite3_context* context, bool value) { sqlite3_result_int(context, value ? -1 : 0); }

int RegisterEntries(sqlite3* db, const FunctionEntry* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const FunctionEntry& entry = entries[i];
    int flags = SQLITE_UTF8 | (entry.deterministic ? SQLITE_DETERMINISTIC : 0);
    int rc = sqlite3_create_function_v2(db, entry.name, entry.argumentCount, flags, nullptr, entry.body, nullptr,
                                        nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace lumo::jet::fn
