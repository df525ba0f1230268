// The date and time functions of Jet SQL, registered as SQLite functions. They read dates in
// any form Jet accepts (stored text, date text, date double) and return the stored text.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <optional>
#include <string_view>

#include "jet/sql/JetDateText.h"
#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet::fn {

namespace {

#define JET_NULL_IF_NULL(index) \
  if (IsNull(argv[index])) return sqlite3_result_null(context)

DateParts Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  DateParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return parts;
}

double Ole(const DateParts& parts) {
  auto ole = OleDateFromParts(parts);
  if (!ole) Fail(kInvalidArgument);
  return *ole;
}

// Whole days of the calendar date, independent of the time of day.
int64_t DayNumber(const DateParts& parts) {
  return static_cast<int64_t>(std::llround(Ole({parts.year, parts.month, parts.day, 0, 0, 0, 0})));
}

void NowFunction(sqlite3_context* context, int, sqlite3_value**) { ResultText(context, FormatStorageDate(Now())); }

void DateFunction(sqlite3_context* context, int, sqlite3_value**) {
  DateParts parts = Now();
  parts.hour = parts.minute = parts.second = 0;
  ResultText(context, FormatStorageDate(parts));
}

void TimeFunction(sqlite3_context* context, int, sqlite3_value**) {
  DateParts now = Now();
  DateParts parts;  // 30 Dec 1899
  parts.hour = now.hour;
  parts.minute = now.minute;
  parts.second = now.second;
  ResultText(context, FormatStorageDate(parts));
}

template <int DateParts::*Field>
void Part(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  sqlite3_result_int(context, PartsOf(DateOf(argv[0])).*Field);
}

int FirstDayArgument(int argc, sqlite3_value** argv, int index) {
  if (argc <= index || IsNull(argv[index])) return 1;
  const int64_t day = IntegerOf(argv[index]);
  if (day < 0 || day > 7) Fail(kInvalidArgument);
  return day == 0 ? 1 : static_cast<int>(day);
}

void Weekday(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  sqlite3_result_int(context, WeekdayOf(PartsOf(DateOf(argv[0])), FirstDayArgument(argc, argv, 1)));
}

enum class Interval { kYear, kQuarter, kMonth, kDayOfYear, kDay, kWeekday, kWeek, kHour, kMinute, kSecond };

Interval IntervalOf(sqlite3_value* value) {
  const std::string text = Utf8ToLower(TextOf(value));
  if (text == "yyyy") return Interval::kYear;
  if (text == "q") return Interval::kQuarter;
  if (text == "m") return Interval::kMonth;
  if (text == "y") return Interval::kDayOfYear;
  if (text == "d") return Interval::kDay;
  if (text == "w") return Interval::kWeekday;
  if (text == "ww") return Interval::kWeek;
  if (text == "h") return Interval::kHour;
  if (text == "n") return Interval::kMinute;
  if (text == "s") return Interval::kSecond;
  Fail(kInvalidArgument);
}

// Adds whole months, keeping the day where the target month has it and its last day otherwise.
DateParts AddMonths(DateParts parts, int64_t months) {
  const int64_t total = static_cast<int64_t>(parts.year) * 12 + (parts.month - 1) + months;
  if (total < 100 * 12 || total > 9999 * 12 + 11) Fail(kInvalidArgument);
  parts.year = static_cast<int>(total / 12);
  parts.month = static_cast<int>(total % 12) + 1;
  parts.day = std::min(parts.day, DaysInMonth(parts.year, parts.month));
  return parts;
}

void DateAdd(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  JET_NULL_IF_NULL(2);
  const Interval interval = IntervalOf(argv[0]);
  const double amount = DoubleOf(argv[1]);
  if (!std::isfinite(amount) || std::fabs(amount) > 1e10) Fail(kInvalidArgument);
  const int64_t n = static_cast<int64_t>(std::trunc(amount));
  const double date = DateOf(argv[2]);
  DateParts parts = PartsOf(date);
  switch (interval) {
    case Interval::kYear: return ResultText(context, FormatStorageDate(AddMonths(parts, n * 12)));
    case Interval::kQuarter: return ResultText(context, FormatStorageDate(AddMonths(parts, n * 3)));
    case Interval::kMonth: return ResultText(context, FormatStorageDate(AddMonths(parts, n)));
    default: break;
  }
  // Days and times move the date double; days keep the time of day.
  const int64_t dayNumber = DayNumber(parts);
  const double seconds = parts.hour * 3600.0 + parts.minute * 60.0 + parts.second + parts.millisecond / 1000.0;
  double newDays = static_cast<double>(dayNumber);
  double newSeconds = seconds;
  switch (interval) {
    case Interval::kDayOfYear:
    case Interval::kDay:
    case Interval::kWeekday: newDays += static_cast<double>(n); break;
    case Interval::kWeek: newDays += 7.0 * static_cast<double>(n); break;
    case Interval::kHour: newSeconds += 3600.0 * static_cast<double>(n); break;
    case Interval::kMinute: newSeconds += 60.0 * static_cast<double>(n); break;
    case Interval::kSecond: newSeconds += static_cast<double>(n); break;
    default: break;
  }
  const double wholeDays = std::floor(newSeconds / 86400.0);
  newDays += wholeDays;
  newSeconds -= wholeDays * 86400.0;
  if (newDays < -657434.0 || newDays > 2958465.0) Fail(kInvalidArgument);
  DateParts result = PartsOf(newDays);
  const int64_t milliseconds = std::llround(newSeconds * 1000.0);
  result.hour = static_cast<int>(milliseconds / 3600000);
  result.minute = static_cast<int>(milliseconds / 60000 % 60);
  result.second = static_cast<int>(milliseconds / 1000 % 60);
  result.millisecond = static_cast<int>(milliseconds % 1000);
  if (result.hour > 23) Fail(kInvalidArgument);
  ResultText(context, FormatStorageDate(result));
}

// The start of the week containing the day, weeks starting on firstDay.
int64_t WeekStart(const DateParts& parts, int firstDay) { return DayNumber(parts) - (WeekdayOf(parts, firstDay) - 1); }

// DateDiff counts the boundaries of the interval crossed between the two dates.
void DateDiff(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  JET_NULL_IF_NULL(2);
  const Interval interval = IntervalOf(argv[0]);
  const DateParts a = PartsOf(DateOf(argv[1]));
  const DateParts b = PartsOf(DateOf(argv[2]));
  const int firstDay = FirstDayArgument(argc, argv, 3);
  const int64_t days = DayNumber(b) - DayNumber(a);
  int64_t result = 0;
  switch (interval) {
    case Interval::kYear: result = b.year - a.year; break;
    case Interval::kQuarter: result = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3); break;
    case Interval::kMonth: result = (b.year * 12 + b.month) - (a.year * 12 + a.month); break;
    case Interval::kDayOfYear:
    case Interval::kDay: result = days; break;
    case Interval::kWeekday: result = days / 7; break;
    case Interval::kWeek: result = (WeekStart(b, firstDay) - WeekStart(a, firstDay)) / 7; break;
    case Interval::kHour: result = days * 24 + (b.hour - a.hour); break;
    case Interval::kMinute: result = (days * 24 + (b.hour - a.hour)) * 60 + (b.minute - a.minute); break;
    case Interval::kSecond:
      result = ((days * 24 + (b.hour - a.hour)) * 60 + (b.minute - a.minute)) * 60 + (b.second - a.second);
      break;
  }
  sqlite3_result_int64(context, result);
}

void DatePart(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const Interval interval = IntervalOf(argv[0]);
  const DateParts parts = PartsOf(DateOf(argv[1]));
  const int firstDay = FirstDayArgument(argc, argv, 2);
  int result = 0;
  switch (interval) {
    case Interval::kYear: result = parts.year; break;
    case Interval::kQuarter: result = (parts.month - 1) / 3 + 1; break;
    case Interval::kMonth: result = parts.month; break;
    case Interval::kDayOfYear: result = DayOfYear(parts); break;
    case Interval::kDay: result = parts.day; break;
    case Interval::kWeekday: result = WeekdayOf(parts, firstDay); break;
    case Interval::kWeek: {
      // Week 1 is the week of 1 January.
      const DateParts january{parts.year, 1, 1, 0, 0, 0, 0};
      result = static_cast<int>((WeekStart(parts, firstDay) - WeekStart(january, firstDay)) / 7) + 1;
      break;
    }
    case Interval::kHour: result = parts.hour; break;
    case Interval::kMinute: result = parts.minute; break;
    case Interval::kSecond: result = parts.second; break;
  }
  sqlite3_result_int(context, result);
}

// DateSerial carries months and days beyond their range into the next unit; two-digit years
// are read as 1930-2029.
void DateSerial(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  JET_NULL_IF_NULL(2);
  int64_t year = IntegerOf(argv[0]);
  const int64_t month = IntegerOf(argv[1]);
  const int64_t day = IntegerOf(argv[2]);
  if (year >= 0 && year < 30)
    year += 2000;
  else if (year >= 30 && year < 100)
    year += 1900;
  if (std::llabs(month) > 200000 || std::llabs(day) > 5000000 || year < 0 || year > 20000) Fail(kInvalidArgument);
  const int64_t totalMonths = year * 12 + (month - 1);
  if (totalMonths < 100 * 12 - 12 || totalMonths > 9999 * 12 + 12) Fail(kInvalidArgument);
  const int firstYear = static_cast<int>(totalMonths / 12);
  const int firstMonth = static_cast<int>(totalMonths % 12) + 1;
  const double first = Ole({firstYear, firstMonth, 1, 0, 0, 0, 0});
  ResultDate(context, first + static_cast<double>(day - 1));
}

void TimeSerial(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  JET_NULL_IF_NULL(2);
  const int64_t hour = IntegerOf(argv[0]);
  const int64_t minute = IntegerOf(argv[1]);
  const int64_t second = IntegerOf(argv[2]);
  if (std::llabs(hour) > 1000000 || std::llabs(minute) > 60000000 || std::llabs(second) > 3600000000LL) {
    Fail(kInvalidArgument);
  }
  const int64_t total = hour * 3600 + minute * 60 + second;
  const int64_t days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
  const int64_t rest = total - days * 86400;
  DateParts parts = PartsOf(static_cast<double>(days));
  parts.hour = static_cast<int>(rest / 3600);
  parts.minute = static_cast<int>(rest / 60 % 60);
  parts.second = static_cast<int>(rest % 60);
  ResultText(context, FormatStorageDate(parts));
}

void DateValue(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  DateParts parts = PartsOf(DateOf(argv[0]));
  parts.hour = parts.minute = parts.second = parts.millisecond = 0;
  ResultText(context, FormatStorageDate(parts));
}

void TimeValue(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const DateParts date = PartsOf(DateOf(argv[0]));
  DateParts parts;
  parts.hour = date.hour;
  parts.minute = date.minute;
  parts.second = date.second;
  parts.millisecond = date.millisecond;
  ResultText(context, FormatStorageDate(parts));
}

void CDate(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultDate(context, DateOf(argv[0]));
}

void IsDate(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return ResultTruth(context, false);
  const std::string text = TextOf(argv[0]);
  ResultTruth(context, ParseStorageDate(text).has_value() || ParseJetDateText(text).has_value());
}

bool Abbreviated(int argc, sqlite3_value** argv, int index) {
  return argc > index && !IsNull(argv[index]) && DoubleOf(argv[index]) != 0;
}

void MonthName(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const int64_t month = IntegerOf(argv[0]);
  if (month < 1 || month > 12) Fail(kInvalidArgument);
  std::string name = kMonthNames[month - 1];
  if (Abbreviated(argc, argv, 1)) name.resize(3);
  ResultText(context, name);
}

void WeekdayName(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const int64_t weekday = IntegerOf(argv[0]);
  if (weekday < 1 || weekday > 7) Fail(kInvalidArgument);
  const int firstDay = FirstDayArgument(argc, argv, 2);
  std::string name = kDayNames[(weekday - 1 + firstDay - 1) % 7];
  if (Abbreviated(argc, argv, 1)) name.resize(3);
  ResultText(context, name);
}

#undef JET_NULL_IF_NULL

// A date column of a file made by another tool may hold its dates in shorter forms
// ('2024-01-15', '2024-01-15 10:00:00', '2024-01-15T10:00'); comparisons compare them in
// the stored form (jet_datekey), and find the candidates by their day, with which every form
// begins: jet_date_day gives it, jet_date_nextday the text just above that day's.
std::optional<std::string> StoredDateText(sqlite3_value* value) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return std::nullopt;
  const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                              static_cast<size_t>(sqlite3_value_bytes(value)));
  if (text.size() == 23 && text[10] == ' ') return std::string(text);  // the stored form, the usual case
  auto parts = ParseStorageDate(text);
  if (!parts || !OleDateFromParts(*parts)) return std::nullopt;
  return FormatStorageDate(*parts);
}

void DateKey(sqlite3_context* context, int, sqlite3_value** argv) {
  auto text = StoredDateText(argv[0]);
  if (!text) return sqlite3_result_value(context, argv[0]);
  ResultText(context, *text);
}

void DateDay(sqlite3_context* context, int, sqlite3_value** argv) {
  auto text = StoredDateText(argv[0]);
  if (!text) return sqlite3_result_value(context, argv[0]);
  ResultText(context, text->substr(0, 10));
}

void DateNextDay(sqlite3_context* context, int, sqlite3_value** argv) {
  auto text = StoredDateText(argv[0]);
  if (!text) return sqlite3_result_value(context, argv[0]);
  std::string day = text->substr(0, 10);
  ++day.back();
  ResultText(context, day);
}

constexpr FunctionEntry kEntries[] = {
    {"jet_now", 0, false, Guarded<NowFunction>},
    {"jet_date", 0, false, Guarded<DateFunction>},
    {"jet_time", 0, false, Guarded<TimeFunction>},
    {"jet_year", 1, true, Guarded<Part<&DateParts::year>>},
    {"jet_month", 1, true, Guarded<Part<&DateParts::month>>},
    {"jet_day", 1, true, Guarded<Part<&DateParts::day>>},
    {"jet_hour", 1, true, Guarded<Part<&DateParts::hour>>},
    {"jet_minute", 1, true, Guarded<Part<&DateParts::minute>>},
    {"jet_second", 1, true, Guarded<Part<&DateParts::second>>},
    {"jet_weekday", -1, true, Guarded<Weekday>},
    {"jet_dateadd", 3, true, Guarded<DateAdd>},
    {"jet_datediff", -1, true, Guarded<DateDiff>},
    {"jet_datepart", -1, true, Guarded<DatePart>},
    {"jet_dateserial", 3, true, Guarded<DateSerial>},
    {"jet_timeserial", 3, true, Guarded<TimeSerial>},
    {"jet_datevalue", 1, true, Guarded<DateValue>},
    {"jet_datekey", 1, true, Guarded<DateKey>},
    {"jet_date_day", 1, true, Guarded<DateDay>},
    {"jet_date_nextday", 1, true, Guarded<DateNextDay>},
    {"jet_timevalue", 1, true, Guarded<TimeValue>},
    {"jet_cdate", 1, true, Guarded<CDate>},
    {"jet_isdate", 1, true, Guarded<IsDate>},
    {"jet_monthname", -1, true, Guarded<MonthName>},
    {"jet_weekdayname", -1, true, Guarded<WeekdayName>},
};

}  // namespace

int RegisterDateFunctions(sqlite3* db) { return RegisterEntries(db, kEntries, std::size(kEntries)); }

}  // namespace lumo::jet::fn
