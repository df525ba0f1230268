#pragma once
// The runtime's date-time arithmetic. A date-time is a double: whole days since 30 Dec 1899,
// the fraction the time of day. Before 30 Dec 1899 the value is negative, and its fraction,
// taken as an absolute value, is still the time of day: -1.25 is 29 Dec 1899 06:00. The
// record buffers hold the same instant as a time stamp: a day number counted from 1 Jan 0001
// (= 1, so 30 Dec 1899 = 693594) and milliseconds since midnight.
//
// Valid range: 1 Jan 0001 00:00 to 31 Dec 9999 23:59:59.999. Conversions of values outside
// it, and encodings of impossible dates and times, raise EConvertError; the Try forms answer
// false instead. Going from a double to milliseconds rounds to the nearest millisecond, so a
// time stamp survives the trip through the double unchanged.

#include <cstdint>

namespace lumo {

using TDateTime = double;

constexpr int32_t kMSecsPerDay = 86400000;
constexpr int32_t kDateDelta = 693594;         // day number of 30 Dec 1899
constexpr int32_t kMaxDayNumber = 3652059;     // 31 Dec 9999
constexpr TDateTime kMinDateTime = -693593.0;  // 1 Jan 0001 00:00
constexpr TDateTime kMaxDateTime = 2958465.0 + 86399999.0 / kMSecsPerDay;

struct TTimeStamp {
  int32_t Time;  // milliseconds since midnight, 0 .. 86399999
  int32_t Date;  // days since 1 Jan 0001, that day being 1

  bool operator==(const TTimeStamp&) const = default;
};

struct DateTimeParts {
  int Year, Month, Day, Hour, Minute, Second, MilliSecond;
  int DayOfWeek;  // 1 = Sunday .. 7 = Saturday
};

bool IsLeapYear(int year);
// Days of the month in that year; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

bool TryEncodeDate(int year, int month, int day, TDateTime& value);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);
// Joins a date (whole days) and a time of day (0 <= time < 1) into one value, subtracting the
// time for dates before 30 Dec 1899.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& milliSecond);
// All parts at once, taken from one rounding of the value (23:59:59.9996 is the next day).
DateTimeParts SplitDateTime(TDateTime value);
// The same parts from a time stamp, without going through a TDateTime; a stamp outside the
// calendar raises EConvertError as TimeStampToDateTime does.
DateTimeParts SplitTimeStamp(const TTimeStamp& stamp);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
bool TryDateTimeToTimeStamp(TDateTime value, TTimeStamp& stamp);
// Date * 86400000 + Time: the millisecond count the dataset framework keeps date-time field
// values in (1 Jan 0001 00:00 is 86400000).
double TimeStampToMSecs(const TTimeStamp& stamp);
TTimeStamp MSecsToTimeStamp(double milliSeconds);

// The local clock.
TDateTime Now();
TDateTime Date();  // today at 00:00
TDateTime Time();  // the time of day alone (30 Dec 1899)

}  // namespace lumo
