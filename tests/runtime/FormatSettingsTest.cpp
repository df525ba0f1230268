#include "runtime/FormatSettings.h"

#include <gtest/gtest.h>

#include "runtime/DateFormat.h"

namespace lumo {
namespace {

// What glibc's de_DE locale answers.
LocaleInfo GermanLocaleInfo() {
  LocaleInfo info;
  info.radixChar = ",";
  info.thousandsSep = ".";
  info.dateFormat = "%d.%m.%Y";
  info.timeFormat = "%T";
  info.monthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                     "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  info.abbreviatedMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  info.dayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  info.abbreviatedDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  return info;
}

// What glibc's en_US locale answers (names as in the C locale).
LocaleInfo UsLocaleInfo() {
  LocaleInfo info;
  info.radixChar = ".";
  info.thousandsSep = ",";
  info.dateFormat = "%m/%d/%Y";
  info.timeFormat = "%r";
  info.timeFormatAmPm = "%I:%M:%S %p";
  info.amString = "AM";
  info.pmString = "PM";
  return info;
}

TEST(FormatSettingsTest, CLocaleAndMissingLocalesGiveTheInvariantSettings) {
  FormatSettings invariant = FormatSettings::Invariant();
  EXPECT_EQ(invariant.DecimalSeparator, '.');
  EXPECT_EQ(invariant.ShortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(invariant.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(FormatSettings::FromLocale("C"), invariant);
  // The test program never calls setlocale, so the process locale is still "C".
  EXPECT_EQ(FormatSettings::FromLocale(""), invariant);
  EXPECT_EQ(FormatSettings::FromLocale("xx_NOWHERE.UTF-8"), invariant);
}

TEST(FormatSettingsTest, GermanLocaleDataGivesTheGermanSettings) {
  FormatSettings german = FormatSettings::FromLocaleInfo(GermanLocaleInfo());
  EXPECT_EQ(german.DecimalSeparator, ',');
  EXPECT_EQ(german.ThousandSeparator, '.');
  EXPECT_EQ(german.DateSeparator, '.');
  EXPECT_EQ(german.TimeSeparator, ':');
  EXPECT_EQ(german.ShortDateFormat, "dd.mm.yyyy");
  EXPECT_EQ(german.LongDateFormat, "dddd, d. mmmm yyyy");
  EXPECT_EQ(german.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(german.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(german.TimeAMString, "AM");  // the locale has none
  EXPECT_EQ(german, FormatSettings::German());
}

TEST(FormatSettingsTest, UsLocaleDataGivesTwelveHourTimes) {
  FormatSettings us = FormatSettings::FromLocaleInfo(UsLocaleInfo());
  EXPECT_EQ(us.ShortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(us.DateSeparator, '/');
  EXPECT_EQ(us.LongTimeFormat, "h:nn:ss AMPM");
  EXPECT_EQ(us.ShortTimeFormat, "h:nn AMPM");
  EXPECT_EQ(us.LongDateFormat, "dddd, mmmm d, yyyy");
  EXPECT_EQ(us.LongMonthNames[11], "December");
}

TEST(FormatSettingsTest, StrftimePatternsTranslateToRuntimePatterns) {
  struct Case {
    const char* dateFormat;
    const char* shortDateFormat;
    char separator;
  };
  const Case cases[] = {
      {"%d/%m/%y", "dd/mm/yyyy", '/'},  // two-digit years become four-digit ones
      {"%Y-%m-%d", "yyyy-mm-dd", '-'},    {"%e.%m.%Y", "d.mm.yyyy", '.'},      {"%-d.%-m.%Y", "d.m.yyyy", '.'},
      {"%D", "mm/dd/yyyy", '/'},          {"%Y年%m月%d日", "yyyy/mm/dd", '/'},  // multi-byte separators: same order
                                                                                // with "/"
      {"%Y. %m. %d.", "yyyy/mm/dd", '/'}, {"%d %B", "mm/dd/yyyy", '/'},  // no numeric month and year: the invariant
                                                                         // form
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dateFormat);
    LocaleInfo info = UsLocaleInfo();
    info.dateFormat = c.dateFormat;
    FormatSettings settings = FormatSettings::FromLocaleInfo(info);
    EXPECT_EQ(settings.ShortDateFormat, c.shortDateFormat);
    EXPECT_EQ(settings.DateSeparator, c.separator);
  }

  LocaleInfo info = GermanLocaleInfo();
  info.timeFormat = "%H時%M分%S秒";
  EXPECT_EQ(FormatSettings::FromLocaleInfo(info).LongTimeFormat, "hh:nn:ss");
  info.timeFormat = "%H.%M.%S";
  FormatSettings dotted = FormatSettings::FromLocaleInfo(info);
  EXPECT_EQ(dotted.LongTimeFormat, "hh.nn.ss");
  EXPECT_EQ(dotted.ShortTimeFormat, "hh.nn");
  EXPECT_EQ(dotted.TimeSeparator, '.');
}

TEST(FormatSettingsTest, LiteralLettersOfTheLocaleAreQuoted) {
  LocaleInfo info = GermanLocaleInfo();
  info.dateFormat = "%d.%m.%Y r.";
  FormatSettings settings = FormatSettings::FromLocaleInfo(info);
  EXPECT_EQ(settings.ShortDateFormat, "dd.mm.yyyy\" r.\"");
  EXPECT_EQ(DateToStr(EncodeDate(2026, 12, 8), settings), "08.12.2026 r.");
}

TEST(FormatSettingsTest, SeparatorsStayDistinctAndSingleByte) {
  LocaleInfo info = GermanLocaleInfo();
  info.thousandsSep = "\u202f";  // narrow no-break space, as French locales have it
  EXPECT_EQ(FormatSettings::FromLocaleInfo(info).ThousandSeparator, ' ');
  info.thousandsSep = "";
  EXPECT_EQ(FormatSettings::FromLocaleInfo(info).ThousandSeparator, '.');
  info.radixChar = ".";
  EXPECT_EQ(FormatSettings::FromLocaleInfo(info).ThousandSeparator, ',');
}

TEST(FormatSettingsTest, GuardSetsTheCurrentSettingsAndRestoresThem) {
  FormatSettings before = CurrentFormatSettings();
  {
    ScopedFormatSettings german(FormatSettings::German());
    EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, ',');
    {
      ScopedFormatSettings english(FormatSettings::English());
      EXPECT_EQ(CurrentFormatSettings().ShortDateFormat, "m/d/yyyy");
      EXPECT_EQ(DateToStr(EncodeDate(2026, 12, 8)), "12/8/2026");
    }
    EXPECT_EQ(CurrentFormatSettings(), FormatSettings::German());
  }
  EXPECT_EQ(CurrentFormatSettings(), before);
}

}  // namespace
}  // namespace lumo
