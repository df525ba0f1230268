#include "runtime/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <random>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

struct CalendarCase {
  int year, month, day;
  double dateValue;   // days since 30 Dec 1899
  int32_t dayNumber;  // days since 1 Jan 0001 (= 1)
  int dayOfWeek;      // 1 = Sunday
};

// Reference values computed independently with a proleptic Gregorian calendar.
const CalendarCase kCalendar[] = {
    {1899, 12, 30, 0, 693594, 7},     {1900, 1, 1, 2, 693596, 2},         {1900, 3, 1, 61, 693655, 5},
    {2026, 12, 8, 46364, 739958, 3},  {1, 1, 1, -693593, 1, 2},           {9999, 12, 31, 2958465, 3652059, 6},
    {2000, 2, 29, 36585, 730179, 3},  {1600, 12, 31, -109206, 584388, 1}, {1700, 3, 1, -72987, 620607, 2},
    {1752, 9, 14, -53797, 639797, 5},
};

TEST(DateTimeTest, EncodesAndDecodesKnownCalendarDates) {
  for (const CalendarCase& c : kCalendar) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    TDateTime value = EncodeDate(c.year, c.month, c.day);
    EXPECT_EQ(value, c.dateValue);
    EXPECT_EQ(DateTimeToTimeStamp(value).Date, c.dayNumber);
    EXPECT_EQ(DayOfWeek(value), c.dayOfWeek);
    int year, month, day;
    DecodeDate(value, year, month, day);
    EXPECT_EQ(year, c.year);
    EXPECT_EQ(month, c.month);
    EXPECT_EQ(day, c.day);
  }
}

TEST(DateTimeTest, EveryDayNumberDecodesToTheNextCalendarDay) {
  // Walks the whole range: catches slips at month, leap-year, century and 400-year borders.
  int year = 1, month = 1, day = 1;
  for (int32_t dayNumber = 1; dayNumber <= kMaxDayNumber; ++dayNumber) {
    DateTimeParts parts = SplitDateTime(TimeStampToDateTime({0, dayNumber}));
    ASSERT_TRUE(parts.Year == year && parts.Month == month && parts.Day == day)
        << "day number " << dayNumber << " gave " << parts.Year << "-" << parts.Month << "-" << parts.Day;
    if (++day > DaysInMonth(year, month)) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
}

TEST(DateTimeTest, LeapYearsAndMonthLengths) {
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
  EXPECT_EQ(DaysInMonth(2023, 0), 0);
}

TEST(DateTimeTest, DatesBefore1899AreNegativeWithTheTimeAsAbsoluteFraction) {
  TDateTime value = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
  EXPECT_EQ(value, -1.25);
  EXPECT_EQ(DateTimeToTimeStamp(-1.25), (TTimeStamp{21600000, 693593}));
  EXPECT_EQ(TimeStampToDateTime({21600000, 693593}), -1.25);
  int year, month, day, hour, minute, second, milliSecond;
  DecodeDateTime(-1.25, year, month, day, hour, minute, second, milliSecond);
  EXPECT_EQ(year * 10000 + month * 100 + day, 18991229);
  EXPECT_EQ(hour, 6);
  EXPECT_EQ(minute, 0);
  // Between -1 and 0 the whole part is still day 0: 30 Dec 1899.
  EXPECT_EQ(DateTimeToTimeStamp(-0.25), (TTimeStamp{21600000, 693594}));
}

TEST(DateTimeTest, RangeEdgesConvertBothWays) {
  TTimeStamp first{0, 1};
  TTimeStamp last{86399999, kMaxDayNumber};
  EXPECT_EQ(TimeStampToDateTime(first), kMinDateTime);
  EXPECT_EQ(DateTimeToTimeStamp(kMinDateTime), first);
  EXPECT_EQ(TimeStampToDateTime(last), kMaxDateTime);
  EXPECT_EQ(DateTimeToTimeStamp(kMaxDateTime), last);
  EXPECT_EQ(DateTimeToTimeStamp(TimeStampToDateTime({86399999, 1})), (TTimeStamp{86399999, 1}));
  EXPECT_EQ(DateTimeToTimeStamp(0.0), (TTimeStamp{0, kDateDelta}));
}

TEST(DateTimeTest, TimeStampsSurviveTheDoubleExactly) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int32_t> days(1, kMaxDayNumber);
  std::uniform_int_distribution<int32_t> milliSeconds(0, kMSecsPerDay - 1);
  const int32_t edgeDays[] = {1, 2, kDateDelta - 1, kDateDelta, kDateDelta + 1, kMaxDayNumber};
  const int32_t edgeTimes[] = {0, 1, 999, 1000, 43200000, 86399000, 86399998, 86399999};
  for (int32_t day : edgeDays) {
    for (int32_t time : edgeTimes) {
      TTimeStamp stamp{time, day};
      ASSERT_EQ(DateTimeToTimeStamp(TimeStampToDateTime(stamp)), stamp) << "day " << day << ", " << time << " ms";
    }
  }
  for (int i = 0; i < 200000; ++i) {
    TTimeStamp stamp{milliSeconds(random), days(random)};
    ASSERT_EQ(DateTimeToTimeStamp(TimeStampToDateTime(stamp)), stamp)
        << "day " << stamp.Date << ", " << stamp.Time << " ms";
  }
}

TEST(DateTimeTest, MillisecondsRoundToTheNearestInsteadOfTruncating) {
  TDateTime oneMs = EncodeTime(10, 0, 0, 1);
  EXPECT_EQ(DateTimeToTimeStamp(oneMs - 1e-13).Time, 36000001);
  EXPECT_EQ(DateTimeToTimeStamp(oneMs + 1e-13).Time, 36000001);
  // 23:59:59.9996 rounds to midnight of the next day, on both sides of 1899.
  TDateTime almostMidnight = 86399999.6 / kMSecsPerDay;
  EXPECT_EQ(DateTimeToTimeStamp(10 + almostMidnight), (TTimeStamp{0, kDateDelta + 11}));
  EXPECT_EQ(DateTimeToTimeStamp(-10 - almostMidnight), (TTimeStamp{0, kDateDelta - 9}));
  int hour, minute, second, milliSecond;
  DecodeTime(10 + almostMidnight, hour, minute, second, milliSecond);
  EXPECT_EQ(hour + minute + second + milliSecond, 0);
}

TEST(DateTimeTest, EncodeTimeGivesTheFractionOfTheDay) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_EQ(DateTimeToTimeStamp(EncodeTime(23, 59, 59, 999)).Time, 86399999);
  int hour, minute, second, milliSecond;
  DecodeTime(EncodeDate(2026, 7, 3) + EncodeTime(9, 5, 7, 123), hour, minute, second, milliSecond);
  EXPECT_EQ(hour, 9);
  EXPECT_EQ(minute, 5);
  EXPECT_EQ(second, 7);
  EXPECT_EQ(milliSecond, 123);
}

TEST(DateTimeTest, ImpossibleDatesTimesAndValuesRaiseConvertError) {
  TDateTime value = 42;
  EXPECT_FALSE(TryEncodeDate(2026, 2, 29, value));
  EXPECT_FALSE(TryEncodeDate(0, 12, 31, value));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, value));
  EXPECT_FALSE(TryEncodeDate(2026, 13, 1, value));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, value));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
  EXPECT_EQ(value, 42);
  EXPECT_THROW(EncodeDate(2026, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, -1, 0), EConvertError);

  EXPECT_THROW(DateTimeToTimeStamp(2958466.0), EConvertError);
  EXPECT_THROW(DateTimeToTimeStamp(-693594.0), EConvertError);
  EXPECT_THROW(DateTimeToTimeStamp(std::nan("")), EConvertError);
  EXPECT_THROW(DateTimeToTimeStamp(kMaxDateTime + 0.9 / kMSecsPerDay), EConvertError);
  EXPECT_THROW(TimeStampToDateTime({0, 0}), EConvertError);
  EXPECT_THROW(TimeStampToDateTime({kMSecsPerDay, 1}), EConvertError);
  EXPECT_THROW(TimeStampToDateTime({-1, 1}), EConvertError);
  try {
    DateTimeToTimeStamp(3000000);
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "Date-time value 3000000 is outside the range 0001-01-01 to 9999-12-31");
  }
}

TEST(DateTimeTest, MillisecondCountsFromDayOne) {
  EXPECT_EQ(TimeStampToMSecs({0, 1}), 86400000.0);
  EXPECT_EQ(TimeStampToMSecs({500, kDateDelta}), 693594.0 * 86400000 + 500);
  EXPECT_EQ(MSecsToTimeStamp(693594.0 * 86400000 + 500), (TTimeStamp{500, kDateDelta}));
  EXPECT_EQ(MSecsToTimeStamp(TimeStampToMSecs({86399999, kMaxDayNumber})), (TTimeStamp{86399999, kMaxDayNumber}));
  EXPECT_THROW(MSecsToTimeStamp(0), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp((kMaxDayNumber + 1.0) * kMSecsPerDay), EConvertError);
}

TEST(DateTimeTest, ClockFollowsTheLocalTime) {
  std::time_t before = std::time(nullptr);
  TDateTime now = Now();
  std::tm local{};
  localtime_r(&before, &local);
  TDateTime expected = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
                       EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0);
  EXPECT_NEAR(now, expected, 5.0 / 86400);  // a few seconds of slack for a busy machine
  TDateTime today = Date();
  EXPECT_EQ(today, std::trunc(today));
  EXPECT_NEAR(today, std::trunc(now), 1);
  EXPECT_GE(Time(), 0);
  EXPECT_LT(Time(), 1);
}

}  // namespace
}  // namespace lumo
