#pragma once
// The locale settings every number and date conversion of the runtime reads: separators,
// short and long date and time formats, AM/PM texts and month and day names. On the original
// platform these were process-wide variables filled from the user's regional settings; here
// they are one FormatSettings value filled from the POSIX locale (nl_langinfo_l), and tests
// set German() or English() with a ScopedFormatSettings guard.
//
// Formats are written in the runtime's date-time pattern language (see DateFormat.h):
// "dd.mm.yyyy", "h:nn:ss AMPM". A "/" in a pattern prints DateSeparator and a ":" prints
// TimeSeparator; separators are single bytes.

#include <array>
#include <string>
#include <string_view>

namespace lumo {

// The raw texts a locale answers through nl_langinfo, kept apart so that the derivation of the
// settings can be checked with any locale's data, installed or not.
struct LocaleInfo {
  std::string radixChar;                                          // RADIXCHAR
  std::string thousandsSep;                                       // THOUSEP
  std::string dateFormat;                                         // D_FMT, strftime form
  std::string timeFormat;                                         // T_FMT
  std::string timeFormatAmPm;                                     // T_FMT_AMPM, what %r stands for
  std::string amString;                                           // AM_STR
  std::string pmString;                                           // PM_STR
  std::array<std::string, 12> monthNames, abbreviatedMonthNames;  // MON_1.., ABMON_1..
  std::array<std::string, 7> dayNames, abbreviatedDayNames;       // DAY_1.. (Sunday first)

  // Reads the named locale ("" = the process's global locale as setlocale left it). Returns
  // false, leaving the record untouched, when the locale is not installed.
  static bool Read(const std::string& localeName, LocaleInfo& info);
};

struct FormatSettings {
  // The settings of the C locale, whatever the environment says: "." decimals, "mm/dd/yyyy",
  // 24-hour "hh:nn:ss", English names. A default-constructed value is the same.
  static FormatSettings Invariant();
  // The settings of a locale ("" = the process locale). A locale that is not installed gives
  // Invariant(). Two-digit years of the locale's date format become four-digit years.
  static FormatSettings FromLocale(const std::string& localeName = "");
  // Derivation used by FromLocale: strftime patterns are translated to the runtime's
  // patterns (%d -> dd, %e -> d, %m -> mm, %Y/%y -> yyyy, %H -> hh, %I -> h with AMPM, %M ->
  // nn, %S -> ss, ...). A date format without day, month and year or without a one-byte
  // separator between them is replaced by the same order written with "/"; a time format
  // without a one-byte separator by "hh:nn:ss". Empty AM/PM texts become "AM" and "PM".
  static FormatSettings FromLocaleInfo(const LocaleInfo& info);
  // German settings: ',' decimals, '.' thousands, "dd.mm.yyyy", "hh:nn:ss", German names.
  static FormatSettings German();
  // US English settings: '.' decimals, ',' thousands, "m/d/yyyy", 12-hour "h:nn:ss AMPM".
  static FormatSettings English();

  bool operator==(const FormatSettings&) const = default;

  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "mm/dd/yyyy";
  std::string LongDateFormat = "dddd, mmmm d, yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames = {"January",   "February", "March",    "April",
                                                "May",       "June",     "July",     "August",
                                                "September", "October",  "November", "December"};
  // Index 0 is Sunday, as DayOfWeek counts.
  std::array<std::string, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
  // A two-digit year lands in the hundred years that begin this many years before the
  // current year (50 in 2026: 1976 .. 2075); 0 puts it in the current century.
  int TwoDigitYearCenturyWindow = 50;
};

// The process-wide settings every conversion uses when it is not given settings of its own.
// Read from the process locale on first use, so a program calls setlocale(LC_ALL, "") first.
// One thread per process changes them (tests); readers hold no reference across a change.
const FormatSettings& CurrentFormatSettings();
void SetCurrentFormatSettings(const FormatSettings& settings);

// Sets the current settings for the lifetime of the guard and restores the previous ones.
class ScopedFormatSettings {
 public:
  explicit ScopedFormatSettings(const FormatSettings& settings);
  ~ScopedFormatSettings();
  ScopedFormatSettings(const ScopedFormatSettings&) = delete;
  ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

 private:
  FormatSettings saved_;
};

}  // namespace lumo
