#include "runtime/DateFormat.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

const FormatSettings kGerman = FormatSettings::German();
const FormatSettings kEnglish = FormatSettings::English();

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int milliSecond = 0) {
  return ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second, milliSecond));
}

int CurrentYear() {
  int year, month, day;
  DecodeDate(Now(), year, month, day);
  return year;
}

TEST(DateFormatTest, DefaultTextsUnderGermanSettings) {
  EXPECT_EQ(DateToStr(At(2026, 12, 8), kGerman), "08.12.2026");
  EXPECT_EQ(TimeToStr(At(2026, 12, 8, 9, 5, 7), kGerman), "09:05:07");
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8, 10, 20, 30), kGerman), "08.12.2026 10:20:30");
  // Midnight shows the date alone; a time with milliseconds only counts as midnight.
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8), kGerman), "08.12.2026");
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8, 0, 0, 0, 500), kGerman), "08.12.2026");
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8, 0, 0, 1), kGerman), "08.12.2026 00:00:01");
  EXPECT_EQ(FormatDateTime("", At(2026, 12, 8, 10, 20, 30), kGerman), "08.12.2026 10:20:30");
}

TEST(DateFormatTest, DefaultTextsUnderEnglishSettings) {
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8, 10, 20, 30), kEnglish), "12/8/2026 10:20:30 AM");
  EXPECT_EQ(DateTimeToStr(At(2026, 7, 3, 13, 5, 7), kEnglish), "7/3/2026 1:05:07 PM");
  EXPECT_EQ(DateTimeToStr(At(2026, 7, 3, 0, 0, 30), kEnglish), "7/3/2026 12:00:30 AM");
  EXPECT_EQ(TimeToStr(At(2026, 7, 3, 12, 0, 0), kEnglish), "12:00:00 PM");
}

TEST(DateFormatTest, PatternTokens) {
  // Tuesday, 8 December 2026, 14:05:07.042 (German names).
  TDateTime value = At(2026, 12, 8, 14, 5, 7, 42);
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"d", "8"},
      {"dd", "08"},
      {"ddd", "Di"},
      {"dddd", "Dienstag"},
      {"ddddd", "08.12.2026"},
      {"dddddd", "Dienstag, 8. Dezember 2026"},
      {"m", "12"},
      {"mm", "12"},
      {"mmm", "Dez"},
      {"mmmm", "Dezember"},
      {"yy", "26"},
      {"yyyy", "2026"},
      {"h", "14"},
      {"hh", "14"},
      {"n", "5"},
      {"nn", "05"},
      {"s", "7"},
      {"ss", "07"},
      {"z", "42"},
      {"zzz", "042"},
      {"t", "14:05"},
      {"tt", "14:05:07"},
      {"c", "08.12.2026 14:05:07"},
      {"h:m", "14:5"},  // m after h is minutes
      {"hh:mm dd/mm", "14:05 08.12"},
      {"hh 'Uhr' mm", "14 Uhr 05"},  // quoted text keeps m as minutes
      {"h:nn am/pm", "2:05 pm"},
      {"h:nn AM/PM", "2:05 PM"},
      {"h:nn a/p", "2:05 p"},
      {"h:nn ampm", "2:05 PM"},
      {"\"am/pm\" hh", "am/pm 14"},  // a quoted marker does not switch the clock
      {"'h' \"d\" x", "h d x"},
      {"DD.MM.YYYY", "08.12.2026"},
      {"yyyy/mm/dd", "2026.12.08"},
      {"mm\"/\"dd\"/\"yyyy", "12/08/2026"},
      {"mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss", "12/08/2026 14:05:07"},
      {"'unterminated", "unterminated"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.pattern, value, kGerman), c.text) << "pattern " << c.pattern;
  }
  EXPECT_EQ(FormatDateTime("hh:nn am/pm", At(2026, 1, 1, 0, 5), kGerman), "12:05 am");
  EXPECT_EQ(FormatDateTime("hh:nn a/p", At(2026, 1, 1, 12, 5), kGerman), "12:05 p");
}

TEST(DateFormatTest, SeparatorsComeFromTheSettings) {
  FormatSettings settings = FormatSettings::Invariant();
  settings.DateSeparator = '-';
  settings.TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", At(2026, 12, 8, 10, 20), settings), "2026-12-08 10.20");
}

TEST(DateFormatTest, SelfReferringFormatsStop) {
  FormatSettings settings = FormatSettings::Invariant();
  settings.ShortDateFormat = "ddddd|c";
  settings.LongTimeFormat = "tt";
  EXPECT_NO_THROW(FormatDateTime("c", At(2026, 12, 8, 10, 0), settings));
}

TEST(DateFormatTest, RangeEdgesAndNegativeDates) {
  const char* pattern = "yyyy-mm-dd hh:nn:ss.zzz";
  EXPECT_EQ(FormatDateTime(pattern, kMinDateTime), "0001-01-01 00:00:00.000");
  EXPECT_EQ(FormatDateTime(pattern, kMaxDateTime), "9999-12-31 23:59:59.999");
  EXPECT_EQ(FormatDateTime(pattern, -1.25), "1899-12-29 06:00:00.000");
  EXPECT_EQ(FormatDateTime(pattern, 0), "1899-12-30 00:00:00.000");
  EXPECT_THROW(FormatDateTime(pattern, kMaxDateTime + 1), EConvertError);
}

TEST(DateFormatTest, ParsesDatesInTheOrderOfTheShortDateFormat) {
  EXPECT_EQ(StrToDate("08.12.2026", kGerman), At(2026, 12, 8));
  EXPECT_EQ(StrToDate("8.1.2026", kGerman), At(2026, 1, 8));
  EXPECT_EQ(StrToDate("  08.12.2026 ", kGerman), At(2026, 12, 8));
  EXPECT_EQ(StrToDate("12/8/2026", kEnglish), At(2026, 12, 8));
  FormatSettings yearFirst = FormatSettings::Invariant();
  yearFirst.ShortDateFormat = "yyyy-mm-dd";
  yearFirst.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2026-12-08", yearFirst), At(2026, 12, 8));
  // A leading four-digit number is a year whatever the order.
  EXPECT_EQ(StrToDate("2026.12.08", kGerman), At(2026, 12, 8));
  EXPECT_EQ(StrToDate("1.1.0001", kGerman), kMinDateTime);
  EXPECT_EQ(StrToDate("31.12.9999", kGerman), 2958465);
  // Day and month alone: the current year.
  EXPECT_EQ(StrToDate("8.12", kGerman), At(CurrentYear(), 12, 8));
}

TEST(DateFormatTest, TwoDigitYearsFollowTheCenturyWindow) {
  EXPECT_EQ(ExpandTwoDigitYear(26, 50, 2026), 2026);
  EXPECT_EQ(ExpandTwoDigitYear(75, 50, 2026), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(76, 50, 2026), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(0, 50, 2026), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(99, 0, 2026), 2099);
  EXPECT_EQ(ExpandTwoDigitYear(10, 20, 2095), 2110);
  int year, month, day;
  DecodeDate(StrToDate("08.12.26", kGerman), year, month, day);
  EXPECT_EQ(year, ExpandTwoDigitYear(26, 50, CurrentYear()));
}

TEST(DateFormatTest, ParsesTimesWithFractionsAndAmPm) {
  EXPECT_EQ(StrToTime("10:20:30", kGerman), EncodeTime(10, 20, 30, 0));
  EXPECT_EQ(StrToTime("10:20", kGerman), EncodeTime(10, 20, 0, 0));
  EXPECT_EQ(StrToTime("7", kGerman), EncodeTime(7, 0, 0, 0));
  EXPECT_EQ(StrToTime("10:20:30.5", kGerman), EncodeTime(10, 20, 30, 500));
  EXPECT_EQ(StrToTime("10:20:30,005", kGerman), EncodeTime(10, 20, 30, 5));
  EXPECT_EQ(StrToTime("1:05:07 PM", kEnglish), EncodeTime(13, 5, 7, 0));
  EXPECT_EQ(StrToTime("12:00 am", kEnglish), 0);
  EXPECT_EQ(StrToTime("12:30 PM", kEnglish), EncodeTime(12, 30, 0, 0));
  EXPECT_EQ(StrToTime("PM 3:15", kEnglish), EncodeTime(15, 15, 0, 0));
  FormatSettings own = kGerman;
  own.TimeAMString = "vorm.";
  own.TimePMString = "nachm.";
  EXPECT_EQ(StrToTime("3:15 nachm.", own), EncodeTime(15, 15, 0, 0));
}

TEST(DateFormatTest, ParsesDateAndTimeTogetherOrTimeAlone) {
  EXPECT_EQ(StrToDateTime("08.12.2026 10:20:30", kGerman), At(2026, 12, 8, 10, 20, 30));
  EXPECT_EQ(StrToDateTime("08.12.2026", kGerman), At(2026, 12, 8));
  EXPECT_EQ(StrToDateTime("12/8/2026 10:20:30 AM", kEnglish), At(2026, 12, 8, 10, 20, 30));
  EXPECT_EQ(StrToDateTime("10:20", kGerman), EncodeTime(10, 20, 0, 0));
  EXPECT_EQ(StrToDateTime("29.12.1899 06:00", kGerman), -1.25);
  EXPECT_EQ(StrToDateTime("31.12.9999 23:59:59.999", kGerman), kMaxDateTime);
}

TEST(DateFormatTest, RejectsMalformedTextWithTheRuntimeMessages) {
  const char* badDates[] = {"",       "abc",      "08.12.2026x", "08/12/2026", "31.02.2026",      "123.12.2026",
                            "08.12.", "08..2026", "8",           "1.1.10000",  "08.12.2026 10:20"};
  for (const char* text : badDates) {
    TDateTime value = 42;
    EXPECT_FALSE(TryStrToDate(text, value, kGerman)) << text;
    EXPECT_EQ(value, 42);
  }
  const char* badTimes[] = {"", "24:00", "10:60", "10:20:60", "10:", "13 PM", "0 AM", "10:20:30.1234", "10.20"};
  for (const char* text : badTimes) {
    TDateTime value = 42;
    EXPECT_FALSE(TryStrToTime(text, value, kGerman)) << text;
  }
  TDateTime value;
  EXPECT_FALSE(TryStrToDateTime("08.12.2026 25:00", value, kGerman));
  EXPECT_FALSE(TryStrToDateTime("08.12.2026 10:20 x", value, kGerman));

  auto message = [](auto parse) {
    try {
      parse();
    } catch (const EConvertError& error) {
      return std::string(error.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([] { StrToDate("31.02.2026", kGerman); }), "'31.02.2026' is not a valid date");
  EXPECT_EQ(message([] { StrToTime("25:00", kGerman); }), "'25:00' is not a valid time");
  EXPECT_EQ(message([] { StrToDateTime("x", kGerman); }), "'x' is not a valid date and time");
}

TEST(DateFormatTest, DefaultTextReadsBackToTheSameSecond) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> days(1, kMaxDayNumber);
  std::uniform_int_distribution<int32_t> seconds(0, 86399);
  for (const FormatSettings& settings : {kGerman, kEnglish, FormatSettings::Invariant()}) {
    for (int i = 0; i < 2000; ++i) {
      TDateTime value = TimeStampToDateTime({seconds(random) * 1000, days(random)});
      std::string text = DateTimeToStr(value, settings);
      TDateTime back;
      ASSERT_TRUE(TryStrToDateTime(text, back, settings)) << text;
      ASSERT_EQ(back, value) << text;
    }
  }
}

// The default texts (c, ddddd, tt) have a direct path; the same tokens written in another
// case (C, DDDDD, TT) go through the general formatter and must give the same text, for
// settings the direct path takes and for those it hands on (names, AM/PM, quotes, letters
// copied as they stand), switching between them, over dates before and after 1899 and at
// midnight, and with a value's milliseconds rounding it into the next day.
TEST(DateFormatTest, DefaultTextsMatchTheGeneralFormatter) {
  std::vector<FormatSettings> all = {kGerman, kEnglish, FormatSettings::Invariant()};
  auto with = [](std::string shortDate, std::string longTime, char dateSep, char timeSep) {
    FormatSettings settings = FormatSettings::Invariant();
    settings.ShortDateFormat = std::move(shortDate);
    settings.LongTimeFormat = std::move(longTime);
    settings.DateSeparator = dateSep;
    settings.TimeSeparator = timeSep;
    return settings;
  };
  all.push_back(with("yyyy-mm-dd", "hh:nn:ss.zzz", '/', ':'));
  all.push_back(with("d/m/yy", "h:n:s z", '-', '.'));
  all.push_back(with("yy/mm/dd", "hh:mm:ss", '.', ':'));  // mm after hh: minutes
  all.push_back(with("mm/yyyy/dd", "hhmm", '/', ':'));
  all.push_back(with("dd. mmm yyyy", "hh 'Uhr' nn", '.', ':'));
  all.push_back(with("ddd dd/mm", "hh:nn ampm", '/', ':'));
  all.push_back(with("dd/mm/yyyy x", "hh:nn:ss", '/', ':'));

  std::mt19937 random(11);
  std::uniform_int_distribution<int32_t> days(1, kMaxDayNumber);
  std::uniform_int_distribution<int32_t> msecs(0, 86399999);
  std::vector<TDateTime> values = {0.0,
                                   -1.0,
                                   -1.25,
                                   -657434.0,
                                   1.5,
                                   kMinDateTime,
                                   kMaxDateTime,
                                   At(1899, 12, 29, 23, 59, 59),
                                   At(1066, 10, 14, 12),
                                   At(2026, 12, 8),
                                   At(2026, 12, 8, 0, 0, 0, 999),
                                   46000.0 - 0.4 / 86400000.0,
                                   -2.0 - 0.99999999999};
  for (int i = 0; i < 3000; ++i) {
    values.push_back(TimeStampToDateTime({i % 5 == 0 ? 0 : msecs(random), days(random)}));
  }
  for (int round = 0; round < 2; ++round) {
    for (const FormatSettings& settings : all) {
      for (TDateTime value : values) {
        ASSERT_EQ(DateTimeToStr(value, settings), FormatDateTime("C", value, settings))
            << settings.ShortDateFormat << " | " << settings.LongTimeFormat << " " << value;
        ASSERT_EQ(FormatDateTime("", value, settings), FormatDateTime("C", value, settings));
        ASSERT_EQ(DateToStr(value, settings), FormatDateTime("DDDDD", value, settings));
        ASSERT_EQ(TimeToStr(value, settings), FormatDateTime("TT", value, settings));
      }
    }
  }
  EXPECT_EQ(DateTimeToStr(At(1850, 3, 4, 5, 6, 7), all[3]), "1850-03-04 05:06:07.000");
  EXPECT_EQ(DateTimeToStr(At(1850, 3, 4, 5, 6, 7, 80), all[4]), "4-3-50 5.6.7 80");
  EXPECT_EQ(DateTimeToStr(At(2026, 12, 8, 13, 45, 0), all[5]), "26.12.08 13:45:00");
  EXPECT_THROW(DateTimeToStr(kMaxDateTime + 1, all[3]), EConvertError);
}

// The default texts against the general formatter given the settings' own formats as the
// pattern, so that the direct path's "c" (date, and the long time unless it is midnight) is
// checked piece by piece, for formats of every number width, for one whose text is longer
// than the direct path writes in place, and over midnight, whole seconds and the calendar's
// ends.
TEST(DateFormatTest, DefaultTextsAreTheSettingsFormatsJoined) {
  auto with = [](std::string shortDate, std::string longTime) {
    FormatSettings settings = FormatSettings::Invariant();
    settings.ShortDateFormat = std::move(shortDate);
    settings.LongTimeFormat = std::move(longTime);
    return settings;
  };
  const std::vector<FormatSettings> all = {
      kGerman,
      kEnglish,
      FormatSettings::Invariant(),
      with("y/m/d", "h:n:s.z"),
      with("yyyy-mm-dd", "hh:nn:ss.zzz"),
      with("d.m.yyyy " + std::string(90, '-'), "hh" + std::string(90, '.') + "nn")};
  std::mt19937 random(17);
  std::uniform_int_distribution<int32_t> days(1, kMaxDayNumber);
  std::uniform_int_distribution<int32_t> msecs(0, 86399999);
  std::vector<TTimeStamp> stamps = {{0, 1},
                                    {999, 1},
                                    {1000, kDateDelta - 1},
                                    {59999, kDateDelta},
                                    {86399999, kMaxDayNumber},
                                    {0, kMaxDayNumber},
                                    {3600000, 36524}};
  for (int i = 0; i < 2000; ++i) {
    const int32_t time = i % 3 == 0 ? 0 : i % 3 == 1 ? msecs(random) / 1000 * 1000 : msecs(random);
    stamps.push_back({time, days(random)});
  }
  for (const FormatSettings& settings : all) {
    for (const TTimeStamp& stamp : stamps) {
      const TDateTime value = TimeStampToDateTime(stamp);
      const std::string date = FormatDateTime(settings.ShortDateFormat, value, settings);
      const std::string time = FormatDateTime(settings.LongTimeFormat, value, settings);
      ASSERT_EQ(FormatTimeStamp("ddddd", stamp, settings), date) << stamp.Date;
      ASSERT_EQ(FormatTimeStamp("tt", stamp, settings), time) << stamp.Time;
      ASSERT_EQ(FormatTimeStamp("c", stamp, settings), stamp.Time < 1000 ? date : date + " " + time)
          << stamp.Date << " " << stamp.Time;
    }
  }
  EXPECT_EQ(FormatTimeStamp("c", {3723004, 1}, all[3]), "01/1/1 1:2:3.4");  // yy: two digits
  EXPECT_EQ(FormatTimeStamp("c", {999, 1}, all[4]), "0001-01-01");
}

// Texts of the same day one after another, under settings that change between them: a date
// text written for one separator or pattern must not be served for another.
TEST(DateFormatTest, SameDayUnderChangingSettingsGivesEachSettingsText) {
  FormatSettings dashes = FormatSettings::Invariant();
  dashes.ShortDateFormat = "yyyy/mm/dd";
  dashes.DateSeparator = '-';
  FormatSettings dots = dashes;
  dots.DateSeparator = '.';
  FormatSettings dayFirst = dots;
  dayFirst.ShortDateFormat = "dd/mm/yyyy";
  const std::vector<const FormatSettings*> order = {&dashes, &dashes, &dots, &dayFirst, &kGerman, &kEnglish, &dashes};
  const int32_t day = 739000;
  for (int round = 0; round < 3; ++round) {
    for (const FormatSettings* settings : order) {
      for (int32_t time : {0, 1000, 43200000, 86399000}) {
        const TTimeStamp stamp{time, day + round};
        // The patterns spelled out take the general formatter, which keeps nothing.
        const std::string date = FormatDateTime(settings->ShortDateFormat, TimeStampToDateTime(stamp), *settings);
        const std::string clock = FormatDateTime(settings->LongTimeFormat, TimeStampToDateTime(stamp), *settings);
        ASSERT_EQ(FormatTimeStamp("c", stamp, *settings), time == 0 ? date : date + " " + clock)
            << settings->ShortDateFormat << " " << settings->DateSeparator << " " << time;
        ASSERT_EQ(FormatTimeStamp("ddddd", stamp, *settings), date);
      }
    }
  }
  EXPECT_EQ(FormatTimeStamp("ddddd", {0, day}, dashes), FormatTimeStamp("ddddd", {5, day}, dashes));
  EXPECT_NE(FormatTimeStamp("ddddd", {0, day}, dashes), FormatTimeStamp("ddddd", {0, day}, dots));
  EXPECT_NE(FormatTimeStamp("ddddd", {0, day}, dashes), FormatTimeStamp("ddddd", {0, day + 1}, dashes));
}

// A time stamp's texts are those of the value it stands for, for the default texts (direct
// or handed on to the general formatter by the settings) and for any other pattern; a stamp
// outside the calendar is refused as TimeStampToDateTime refuses it.
TEST(DateFormatTest, TimeStampTextsAreThoseOfTheValue) {
  FormatSettings named = FormatSettings::Invariant();
  named.ShortDateFormat = "ddd dd/mmm/yyyy";
  named.LongTimeFormat = "hh:nn:ss ampm";
  const FormatSettings all[] = {kGerman, kEnglish, FormatSettings::Invariant(), named};
  std::vector<TTimeStamp> stamps = {{0, 1},
                                    {86399999, 1},
                                    {0, kDateDelta},
                                    {1, kDateDelta},
                                    {21600000, kDateDelta - 1},
                                    {86399999, kDateDelta - 1},
                                    {0, kDateDelta - 657434},
                                    {500, kDateDelta + 46000},
                                    {0, kMaxDayNumber},
                                    {86399999, kMaxDayNumber}};
  std::mt19937 random(13);
  std::uniform_int_distribution<int32_t> days(1, kMaxDayNumber);
  std::uniform_int_distribution<int32_t> msecs(0, 86399999);
  for (int i = 0; i < 3000; ++i) stamps.push_back({i % 4 == 0 ? 0 : msecs(random), days(random)});
  for (const FormatSettings& settings : all) {
    for (const TTimeStamp& stamp : stamps) {
      const TDateTime value = TimeStampToDateTime(stamp);
      for (const char* pattern : {"c", "ddddd", "tt", "", "yyyy-mm-dd hh:nn:ss.zzz"}) {
        ASSERT_EQ(FormatTimeStamp(pattern, stamp, settings), FormatDateTime(pattern, value, settings))
            << pattern << " day " << stamp.Date << " ms " << stamp.Time;
      }
    }
  }
  EXPECT_EQ(FormatTimeStamp("c", {21600000, kDateDelta - 1}, kGerman), "29.12.1899 06:00:00");
  EXPECT_EQ(FormatTimeStamp("c", {0, kDateDelta - 657434}, kGerman), "01.01.0100");
  for (const TTimeStamp& bad :
       std::vector<TTimeStamp>{{0, 0}, {0, kMaxDayNumber + 1}, {-1, kDateDelta}, {86400000, kDateDelta}}) {
    EXPECT_THROW(FormatTimeStamp("c", bad, kGerman), EConvertError) << bad.Date << " " << bad.Time;
    EXPECT_THROW(FormatTimeStamp("dddd", bad, kGerman), EConvertError);
  }
}

}  // namespace
}  // namespace lumo
