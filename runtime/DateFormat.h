#pragma once
// Date-time text: the runtime's format-pattern formatter and its locale-dependent parser.
// They stand for the runtime's FormatDateTime/DateTimeToStr and StrToDate family: every date
// a user sees or types goes through them under the FormatSettings in force.
//
// Pattern language (letters in any case; a repeated letter is one token):
//   d dd        day, without / with leading zero      ddd dddd  short / long day name
//   ddddd       the short date format                 dddddd    the long date format
//   m mm        month (minutes right after an h/hh)   mmm mmmm  short / long month name
//   yy yyyy     two- / four-digit year
//   h hh        hour (12-hour when am/pm, a/p or ampm follows before the next h)
//   n nn  s ss  minute, second                        z zzz     milliseconds, unpadded / 3 digits
//   am/pm a/p   "am"/"pm" or "a"/"p" in the case the pattern writes them
//   ampm        TimeAMString / TimePMString
//   c           short date, then a blank and the long time unless the time is 00:00:00
//   t tt        short / long time format
//   /  :        the settings' date and time separators
//   "x" 'x'     quoted text copied literally; any other character is copied as it stands
// An empty pattern means "c".

#include <string>
#include <string_view>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace lumo {

// Raises EConvertError when the value lies outside 1 Jan 0001 .. 31 Dec 9999.
std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const FormatSettings& settings = CurrentFormatSettings());
std::string DateToStr(TDateTime value, const FormatSettings& settings = CurrentFormatSettings());
std::string TimeToStr(TDateTime value, const FormatSettings& settings = CurrentFormatSettings());
// The runtime's default date-time text: pattern "c".
std::string DateTimeToStr(TDateTime value,
                          const FormatSettings& settings = CurrentFormatSettings());
// FormatDateTime of TimeStampToDateTime(stamp), for callers that hold a time stamp: the
// default texts are then made without the round trip through a TDateTime.
std::string FormatTimeStamp(std::string_view pattern, const TTimeStamp& stamp,
                            const FormatSettings& settings = CurrentFormatSettings());

// Parsing. A date is three numbers (day, month and year in the order of ShortDateFormat) or
// two (day and month; the year is the current one) joined by DateSeparator; day and month
// have one or two digits; a year of one or two digits is placed by the century window, one
// of three or four digits is taken as written; a first number of three or four digits is a
// year, and the text is then read year, month, day. A time is h[:n[:s[.zzz]]] with
// TimeSeparator, the fraction of the second after "." or the decimal separator, and AM/PM
// (or the settings' texts) before or after it. Blanks may surround everything.
// StrToDateTime reads a date, optionally followed by a time, or a time alone.
// The Str forms raise EConvertError "'<text>' is not a valid date" / "... time" /
// "... date and time"; the Try forms answer false and leave the value unchanged.
TDateTime StrToDate(std::string_view text,
                    const FormatSettings& settings = CurrentFormatSettings());
TDateTime StrToTime(std::string_view text,
                    const FormatSettings& settings = CurrentFormatSettings());
TDateTime StrToDateTime(std::string_view text,
                        const FormatSettings& settings = CurrentFormatSettings());
bool TryStrToDate(std::string_view text, TDateTime& value,
                  const FormatSettings& settings = CurrentFormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& value,
                  const FormatSettings& settings = CurrentFormatSettings());
bool TryStrToDateTime(std::string_view text, TDateTime& value,
                      const FormatSettings& settings = CurrentFormatSettings());

// The four-digit year a two-digit year stands for in the given year under the century window
// of FormatSettings::TwoDigitYearCenturyWindow.
int ExpandTwoDigitYear(int twoDigitYear, int centuryWindow, int currentYear);

}  // namespace lumo
