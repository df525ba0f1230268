#include "runtime/DateTime.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"

namespace lumo {

namespace {

constexpr int kDaysPer400Years = 146097;
constexpr int kDaysPer100Years = 36524;
constexpr int kDaysPer4Years = 1461;

// Days of the year before the first of each month, for common and leap years.
constexpr int kDaysBeforeMonth[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// Day number (1 Jan 0001 = 1) of a valid calendar date.
int32_t DayNumber(int year, int month, int day) {
  int before = year - 1;
  return before * 365 + before / 4 - before / 100 + before / 400 +
         kDaysBeforeMonth[IsLeapYear(year)][month - 1] + day;
}

void CalendarDate(int32_t dayNumber, int& year, int& month, int& day) {
  int32_t days = dayNumber - 1;  // 0 = 1 Jan 0001
  year = 1 + days / kDaysPer400Years * 400;
  days %= kDaysPer400Years;
  int centuries = days / kDaysPer100Years;
  if (centuries == 4) centuries = 3;  // the last day of a 400-year cycle
  days -= centuries * kDaysPer100Years;
  year += centuries * 100 + days / kDaysPer4Years * 4;
  days %= kDaysPer4Years;
  int years = days / 365;
  if (years == 4) years = 3;  // the last day of a leap cycle
  days -= years * 365;
  year += years;
  const int* before = kDaysBeforeMonth[IsLeapYear(year)];
  month = 1;
  while (days >= before[month]) ++month;
  day = days - before[month - 1] + 1;
}

std::string DoubleText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

[[noreturn]] void RaiseOutOfRange(TDateTime value) {
  throw EConvertError("Date-time value " + DoubleText(value) +
                      " is outside the range 0001-01-01 to 9999-12-31");
}

void CheckTimeStamp(const TTimeStamp& stamp) {
  if (stamp.Date < 1 || stamp.Date > kMaxDayNumber || stamp.Time < 0 ||
      stamp.Time >= kMSecsPerDay) {
    throw EConvertError("Invalid time stamp: day " + std::to_string(stamp.Date) + ", " +
                        std::to_string(stamp.Time) + " ms");
  }
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const int* before = kDaysBeforeMonth[IsLeapYear(year)];
  return before[month] - before[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  value = DayNumber(year, month, day) - kDateDelta;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value;
  if (!TryEncodeDate(year, month, day, value)) {
    throw EConvertError("Invalid date: year " + std::to_string(year) + ", month " +
                        std::to_string(month) + ", day " + std::to_string(day));
  }
  return value;
}

bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      milliSecond < 0 || milliSecond > 999) {
    return false;
  }
  value =
      static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + milliSecond) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond) {
  TDateTime value;
  if (!TryEncodeTime(hour, minute, second, milliSecond, value)) {
    throw EConvertError("Invalid time: " + std::to_string(hour) + " h " + std::to_string(minute) +
                        " min " + std::to_string(second) + " s " + std::to_string(milliSecond) +
                        " ms");
  }
  return value;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

bool TryDateTimeToTimeStamp(TDateTime value, TTimeStamp& stamp) {
  if (!std::isfinite(value)) return false;
  double wholeDays = std::trunc(value);
  // Exact: the fraction of a double is representable on its own.
  double fraction = std::fabs(value - wholeDays);
  if (wholeDays < kMinDateTime || wholeDays > kMaxDateTime) return false;
  auto days = static_cast<int32_t>(wholeDays);
  auto milliSeconds = static_cast<int32_t>(std::nearbyint(fraction * kMSecsPerDay));
  if (milliSeconds >= kMSecsPerDay) {
    // Rounds up to midnight: the next calendar day, which is one day number on in both
    // directions of the sign convention.
    milliSeconds = 0;
    ++days;
  }
  int32_t dayNumber = days + kDateDelta;
  if (dayNumber < 1 || dayNumber > kMaxDayNumber) return false;
  stamp.Date = dayNumber;
  stamp.Time = milliSeconds;
  return true;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  TTimeStamp stamp;
  if (!TryDateTimeToTimeStamp(value, stamp)) RaiseOutOfRange(value);
  return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  CheckTimeStamp(stamp);
  return ComposeDateTime(stamp.Date - kDateDelta, static_cast<double>(stamp.Time) / kMSecsPerDay);
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  return static_cast<double>(stamp.Date) * kMSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double milliSeconds) {
  double whole = std::nearbyint(milliSeconds);
  if (!std::isfinite(whole) || whole < kMSecsPerDay ||
      whole >= (static_cast<double>(kMaxDayNumber) + 1) * kMSecsPerDay) {
    throw EConvertError("Millisecond count " + DoubleText(milliSeconds) +
                        " is outside the range 0001-01-01 to 9999-12-31");
  }
  TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(std::floor(whole / kMSecsPerDay));
  stamp.Time = static_cast<int32_t>(whole - static_cast<double>(stamp.Date) * kMSecsPerDay);
  return stamp;
}

DateTimeParts SplitDateTime(TDateTime value) { return SplitTimeStamp(DateTimeToTimeStamp(value)); }

DateTimeParts SplitTimeStamp(const TTimeStamp& stamp) {
  CheckTimeStamp(stamp);
  DateTimeParts parts;
  // Dates read one after another mostly fall on the day before: a journal's records come in
  // the order of their time stamps. The last day's calendar date is kept per thread.
  struct LastDay {
    int32_t dayNumber = 0;  // no valid stamp has day 0
    int year = 0, month = 0, day = 0;
  };
  thread_local LastDay last;
  if (stamp.Date != last.dayNumber) {
    CalendarDate(stamp.Date, last.year, last.month, last.day);
    last.dayNumber = stamp.Date;
  }
  parts.Year = last.year;
  parts.Month = last.month;
  parts.Day = last.day;
  parts.Hour = stamp.Time / 3600000;
  parts.Minute = stamp.Time / 60000 % 60;
  parts.Second = stamp.Time / 1000 % 60;
  parts.MilliSecond = stamp.Time % 1000;
  parts.DayOfWeek = stamp.Date % 7 + 1;  // day 1 (1 Jan 0001) was a Monday
  return parts;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  DateTimeParts parts = SplitDateTime(value);
  year = parts.Year;
  month = parts.Month;
  day = parts.Day;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond) {
  DateTimeParts parts = SplitDateTime(value);
  hour = parts.Hour;
  minute = parts.Minute;
  second = parts.Second;
  milliSecond = parts.MilliSecond;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& milliSecond) {
  DateTimeParts parts = SplitDateTime(value);
  year = parts.Year;
  month = parts.Month;
  day = parts.Day;
  hour = parts.Hour;
  minute = parts.Minute;
  second = parts.Second;
  milliSecond = parts.MilliSecond;
}

int DayOfWeek(TDateTime value) { return DateTimeToTimeStamp(value).Date % 7 + 1; }

TDateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return ComposeDateTime(EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                    static_cast<int>(now.tv_nsec / 1000000)));
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TDateTime now = Now();
  return now - std::trunc(now);
}

}  // namespace lumo
