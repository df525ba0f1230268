#include "runtime/DateFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "runtime/Exceptions.h"

namespace lumo {

namespace {

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view prefix) {
  if (prefix.empty() || text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (ToUpperAscii(text[pos + i]) != ToUpperAscii(prefix[i])) return false;
  }
  return true;
}

// Every date text is made of these numbers: written straight into the result, no temporary.
void AppendNumber(std::string& out, int value, int minDigits) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(end - digits);
  if (length < minDigits) out.append(static_cast<size_t>(minDigits - length), '0');
  out.append(digits, static_cast<size_t>(length));
}

// ---------------------------------------------------------------------------------------
// Formatting

class DateFormatter {
 public:
  DateFormatter(TDateTime value, const FormatSettings& settings)
      : parts_(SplitDateTime(value)), settings_(settings) {}

  std::string Format(std::string_view pattern) {
    out_.reserve(32);  // a whole date and time fits: one allocation per text
    Append(pattern.empty() ? std::string_view("c") : pattern, 0);
    return std::move(out_);
  }

 private:
  // Nested formats (c, ddddd, t, ...) may name each other; two levels are all a sensible
  // pattern needs, and the limit keeps a pattern that names itself from looping.
  static constexpr int kMaxDepth = 2;

  void Append(std::string_view pattern, int depth) {
    if (depth > kMaxDepth) return;
    char lastLetter = 0;
    size_t i = 0;
    while (i < pattern.size()) {
      char c = pattern[i];
      char token = ToUpperAscii(c);
      size_t count = 1;
      while (i + count < pattern.size() && ToUpperAscii(pattern[i + count]) == token &&
             IsLetter(c)) {
        ++count;
      }
      if (IsLetter(c)) {
        if (token == 'M' && lastLetter == 'H') token = 'N';
        lastLetter = token;
      }
      size_t consumed = count;
      switch (token) {
        case 'Y':
          if (count <= 2) {
            AppendNumber(out_, parts_.Year % 100, 2);
          } else {
            AppendNumber(out_, parts_.Year, 4);
          }
          break;
        case 'M':
          if (count <= 2) {
            AppendNumber(out_, parts_.Month, static_cast<int>(count));
          } else {
            const auto& names = count == 3 ? settings_.ShortMonthNames : settings_.LongMonthNames;
            out_ += names[parts_.Month - 1];
          }
          break;
        case 'D': AppendDay(count, depth); break;
        case 'H': AppendHour(count, pattern, i + count); break;
        case 'N': AppendNumber(out_, parts_.Minute, count >= 2 ? 2 : 1); break;
        case 'S': AppendNumber(out_, parts_.Second, count >= 2 ? 2 : 1); break;
        case 'Z': AppendNumber(out_, parts_.MilliSecond, count >= 3 ? 3 : 1); break;
        case 'T':
          Append(count == 1 ? settings_.ShortTimeFormat : settings_.LongTimeFormat, depth + 1);
          break;
        case 'C':
          Append(settings_.ShortDateFormat, depth + 1);
          if (parts_.Hour != 0 || parts_.Minute != 0 || parts_.Second != 0) {
            out_ += ' ';
            Append(settings_.LongTimeFormat, depth + 1);
          }
          break;
        case 'A': consumed = AppendAmPm(pattern, i); break;
        case '/': out_ += settings_.DateSeparator; break;
        case ':': out_ += settings_.TimeSeparator; break;
        case '"':
        case '\'': consumed = AppendQuoted(pattern, i); break;
        default: out_.append(count, c); break;
      }
      i += consumed;
    }
  }

  void AppendDay(size_t count, int depth) {
    switch (count) {
      case 1:
      case 2: AppendNumber(out_, parts_.Day, static_cast<int>(count)); break;
      case 3: out_ += settings_.ShortDayNames[parts_.DayOfWeek - 1]; break;
      case 4: out_ += settings_.LongDayNames[parts_.DayOfWeek - 1]; break;
      case 5: Append(settings_.ShortDateFormat, depth + 1); break;
      default: Append(settings_.LongDateFormat, depth + 1); break;
    }
  }

  void AppendHour(size_t count, std::string_view pattern, size_t rest) {
    int hour = parts_.Hour;
    if (UsesTwelveHourClock(pattern, rest)) {
      hour %= 12;
      if (hour == 0) hour = 12;
    }
    AppendNumber(out_, hour, count >= 2 ? 2 : 1);
  }

  // An hour is on the 12-hour clock when an AM/PM marker follows it before the next hour
  // field; quoted text does not count.
  static bool UsesTwelveHourClock(std::string_view pattern, size_t pos) {
    char quote = 0;
    for (; pos < pattern.size(); ++pos) {
      char c = pattern[pos];
      if (quote != 0) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == 'h' || c == 'H') {
        return false;
      } else if (c == 'a' || c == 'A') {
        return StartsWithNoCase(pattern, pos, "am/pm") || StartsWithNoCase(pattern, pos, "a/p") ||
               StartsWithNoCase(pattern, pos, "ampm");
      }
    }
    return false;
  }

  size_t AppendAmPm(std::string_view pattern, size_t pos) {
    bool afternoon = parts_.Hour >= 12;
    if (StartsWithNoCase(pattern, pos, "am/pm")) {
      // The marker is copied from the pattern itself, so its case is the pattern's.
      out_ += pattern.substr(pos + (afternoon ? 3 : 0), 2);
      return 5;
    }
    if (StartsWithNoCase(pattern, pos, "a/p")) {
      out_ += pattern[pos + (afternoon ? 2 : 0)];
      return 3;
    }
    if (StartsWithNoCase(pattern, pos, "ampm")) {
      out_ += afternoon ? settings_.TimePMString : settings_.TimeAMString;
      return 4;
    }
    out_ += pattern[pos];
    return 1;
  }

  size_t AppendQuoted(std::string_view pattern, size_t pos) {
    size_t close = pattern.find(pattern[pos], pos + 1);
    if (close == std::string_view::npos) close = pattern.size();
    out_ += pattern.substr(pos + 1, close - pos - 1);
    return std::min(close + 1, pattern.size()) - pos;
  }

  DateTimeParts parts_;
  const FormatSettings& settings_;
  std::string out_;
};

// ---------------------------------------------------------------------------------------
// The direct path for the default texts (c, ddddd, tt). Record after record the same short
// date and long time formats are written, so they are read once into a list of steps and
// kept per thread; each value then costs one pass over the steps. Only formats of plain
// numbers and separators take this path: names, AM/PM markers, quotes and nested formats
// are left to the general formatter, which gives the same text for the rest.

struct DirectStep {
  char field;  // Y M D H N S Z, '/' or ':' for the separators, 0 for a literal character
  int width;   // the count of letters (Y: 2 or 4) or the literal character
};

struct DirectPattern {
  std::string source;
  bool compiled = false;
  bool direct = false;
  std::vector<DirectStep> steps;
  uint32_t generation = 0;  // moves on with every pattern read

  // Reads `pattern` unless it is the one read last time. Answers whether it is direct.
  bool Use(const std::string& pattern) {
    if (compiled && source == pattern) return direct;
    source = pattern;
    compiled = true;
    ++generation;
    direct = Compile(pattern, steps);
    return direct;
  }

  static bool Compile(std::string_view pattern, std::vector<DirectStep>& steps) {
    steps.clear();
    char lastLetter = 0;
    size_t i = 0;
    while (i < pattern.size()) {
      const char c = pattern[i];
      if (!IsLetter(c)) {
        if (c == '"' || c == '\'') return false;
        steps.push_back({c == '/' || c == ':' ? c : '\0', c});
        ++i;
        continue;
      }
      char token = ToUpperAscii(c);
      size_t count = 1;
      while (i + count < pattern.size() && ToUpperAscii(pattern[i + count]) == token) ++count;
      if (token == 'M' && lastLetter == 'H') token = 'N';
      lastLetter = token;
      switch (token) {
        case 'Y': steps.push_back({'Y', count <= 2 ? 2 : 4}); break;
        case 'M':
        case 'D':
          if (count > 2) return false;  // names and nested formats
          steps.push_back({token, static_cast<int>(count)});
          break;
        case 'H':
        case 'N':
        case 'S': steps.push_back({token, count >= 2 ? 2 : 1}); break;
        case 'Z': steps.push_back({'Z', count >= 3 ? 3 : 1}); break;
        default: return false;  // A (AM/PM), C, T and letters copied as they stand
      }
      i += count;
    }
    return true;
  }

  // The longest text the steps can make: no number of a date or time has more than four
  // digits, and a literal step is one character.
  size_t MaxLength() const { return steps.size() * 4; }

  char* Write(const DateTimeParts& parts, const FormatSettings& settings, char* out) const {
    for (const DirectStep& step : steps) {
      switch (step.field) {
        case 'Y':
          out = PutNumber(out, step.width == 2 ? parts.Year % 100 : parts.Year, step.width);
          break;
        case 'M': out = PutNumber(out, parts.Month, step.width); break;
        case 'D': out = PutNumber(out, parts.Day, step.width); break;
        case 'H': out = PutNumber(out, parts.Hour, step.width); break;
        case 'N': out = PutNumber(out, parts.Minute, step.width); break;
        case 'S': out = PutNumber(out, parts.Second, step.width); break;
        case 'Z': out = PutNumber(out, parts.MilliSecond, step.width); break;
        case '/': *out++ = settings.DateSeparator; break;
        case ':': *out++ = settings.TimeSeparator; break;
        default: *out++ = static_cast<char>(step.width); break;
      }
    }
    return out;
  }

  // `value` is one of a date's or time's numbers: 0 .. 9999.
  static char* PutNumber(char* out, int value, int minDigits) {
    if (value < 100 && minDigits <= 2) {
      // Months, days, hours, minutes and seconds: most numbers a date text holds.
      if (value >= 10 || minDigits == 2) {
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
        return out + 2;
      }
      out[0] = static_cast<char>('0' + value);
      return out + 1;
    }
    const int digits = value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
    const int width = digits > minDigits ? digits : minDigits;
    for (int i = width - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    return out + width;
  }
};

enum class DirectKind { kNone, kDateTime, kDate, kTime };

DirectKind DirectKindOf(std::string_view pattern) {
  if (pattern.empty() || pattern == "c" || pattern == "C") return DirectKind::kDateTime;
  if (pattern == "ddddd") return DirectKind::kDate;
  if (pattern == "tt") return DirectKind::kTime;
  return DirectKind::kNone;
}

// False when the settings' formats need the general formatter.
bool TryFormatDirect(DirectKind kind, const DateTimeParts& parts, const FormatSettings& settings,
                     std::string& out) {
  thread_local DirectPattern datePattern;
  thread_local DirectPattern timePattern;
  const bool withDate = kind != DirectKind::kTime;
  const bool withTime =
      kind == DirectKind::kTime || (kind == DirectKind::kDateTime &&
                                    (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0));
  if (withDate && !datePattern.Use(settings.ShortDateFormat)) return false;
  if (withTime && !timePattern.Use(settings.LongTimeFormat)) return false;
  // The text is made in place and becomes the result in one piece.
  char text[256];
  const size_t most =
      (withDate ? datePattern.MaxLength() : 0) + 1 + (withTime ? timePattern.MaxLength() : 0);
  if (most > sizeof text) return false;
  char* end = text;
  if (withDate) {
    // Records read in a row mostly share their day: its text is written once and copied
    // while the day, the pattern and the separator stay the same.
    struct LastDate {
      int year = 0, month = 0, day = 0;  // no valid date has day 0
      char separator = 0;
      uint32_t generation = 0;
      size_t length = 0;
      char text[128];
    };
    thread_local LastDate last;
    if (last.day != parts.Day || last.month != parts.Month || last.year != parts.Year ||
        last.separator != settings.DateSeparator || last.generation != datePattern.generation ||
        datePattern.MaxLength() > sizeof last.text) {
      end = datePattern.Write(parts, settings, end);
      last.length = static_cast<size_t>(end - text);
      if (last.length <= sizeof last.text) {
        std::memcpy(last.text, text, last.length);
        last.year = parts.Year;
        last.month = parts.Month;
        last.day = parts.Day;
        last.separator = settings.DateSeparator;
        last.generation = datePattern.generation;
      } else {
        last.day = 0;
      }
    } else {
      std::memcpy(end, last.text, last.length);
      end += last.length;
    }
  }
  if (withDate && withTime) *end++ = ' ';
  if (withTime) end = timePattern.Write(parts, settings, end);
  out.assign(text, static_cast<size_t>(end - text));
  return true;
}

// ---------------------------------------------------------------------------------------
// Parsing

enum class DateOrder { kDayMonthYear, kMonthDayYear, kYearMonthDay };

DateOrder DateOrderOf(std::string_view shortDateFormat) {
  char quote = 0;
  for (char c : shortDateFormat) {
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    switch (ToUpperAscii(c)) {
      case '"':
      case '\'': quote = c; break;
      case 'D': return DateOrder::kDayMonthYear;
      case 'M': return DateOrder::kMonthDayYear;
      case 'Y': return DateOrder::kYearMonthDay;
      default: break;
    }
  }
  return DateOrder::kMonthDayYear;
}

int CurrentYear() {
  int year, month, day;
  DecodeDate(Now(), year, month, day);
  return year;
}

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  size_t Position() const { return pos_; }
  void Rewind(size_t pos) { pos_ = pos; }
  bool AtEnd() const { return pos_ == text_.size(); }

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }

  // Reads a run of decimal digits; fails without moving on an empty run or one longer
  // than maxDigits.
  bool Number(int& value, int& digits, int maxDigits) {
    size_t end = pos_;
    while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
    digits = static_cast<int>(end - pos_);
    if (digits == 0 || digits > maxDigits) return false;
    value = 0;
    for (; pos_ < end; ++pos_) value = value * 10 + (text_[pos_] - '0');
    return true;
  }

  bool Char(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Word(std::string_view word) {
    if (!StartsWithNoCase(text_, pos_, word)) return false;
    pos_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool ScanDate(TextScanner& scanner, const FormatSettings& settings, TDateTime& date) {
  int numbers[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    if (count > 0 && !scanner.Char(settings.DateSeparator)) break;
    if (!scanner.Number(numbers[count], digits[count], 4)) return false;
    ++count;
  }
  if (count < 2) return false;

  DateOrder order = DateOrderOf(settings.ShortDateFormat);
  if (count == 3 && digits[0] > 2) order = DateOrder::kYearMonthDay;
  int day, month, year, yearDigits;
  if (count == 2) {
    if (order == DateOrder::kDayMonthYear) {
      day = numbers[0], month = numbers[1];
    } else {
      month = numbers[0], day = numbers[1];
    }
    year = CurrentYear();
    yearDigits = 4;
    if (digits[0] > 2 || digits[1] > 2) return false;
  } else {
    int dayIndex, monthIndex, yearIndex;
    switch (order) {
      case DateOrder::kDayMonthYear: dayIndex = 0, monthIndex = 1, yearIndex = 2; break;
      case DateOrder::kMonthDayYear: monthIndex = 0, dayIndex = 1, yearIndex = 2; break;
      default: yearIndex = 0, monthIndex = 1, dayIndex = 2; break;
    }
    if (digits[dayIndex] > 2 || digits[monthIndex] > 2) return false;
    day = numbers[dayIndex];
    month = numbers[monthIndex];
    year = numbers[yearIndex];
    yearDigits = digits[yearIndex];
  }
  if (yearDigits <= 2) {
    year = ExpandTwoDigitYear(year, settings.TwoDigitYearCenturyWindow, CurrentYear());
  }
  return TryEncodeDate(year, month, day, date);
}

// AM moves the hour by 0, PM by 12; the settings' texts and the plain English ones both count.
bool ScanAmPm(TextScanner& scanner, const FormatSettings& settings, int& baseHour) {
  if (scanner.Word(settings.TimeAMString) || scanner.Word("AM")) {
    baseHour = 0;
    return true;
  }
  if (scanner.Word(settings.TimePMString) || scanner.Word("PM")) {
    baseHour = 12;
    return true;
  }
  return false;
}

bool ScanTime(TextScanner& scanner, const FormatSettings& settings, TDateTime& time) {
  int baseHour = -1;
  if (ScanAmPm(scanner, settings, baseHour)) scanner.SkipBlanks();
  int hour, minute = 0, second = 0, milliSecond = 0, digits;
  if (!scanner.Number(hour, digits, 2)) return false;
  if (scanner.Char(settings.TimeSeparator)) {
    if (!scanner.Number(minute, digits, 2)) return false;
    if (scanner.Char(settings.TimeSeparator)) {
      if (!scanner.Number(second, digits, 2)) return false;
      if (scanner.Char('.') || scanner.Char(settings.DecimalSeparator)) {
        // A fraction of the second: ".5" is half a second, ".005" five milliseconds.
        if (!scanner.Number(milliSecond, digits, 3)) return false;
        for (; digits < 3; ++digits) milliSecond *= 10;
      }
    }
  }
  scanner.SkipBlanks();
  if (baseHour < 0) ScanAmPm(scanner, settings, baseHour);
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    hour = hour % 12 + baseHour;
  }
  return TryEncodeTime(hour, minute, second, milliSecond, time);
}

bool ScanToEnd(TextScanner& scanner) {
  scanner.SkipBlanks();
  return scanner.AtEnd();
}

[[noreturn]] void RaiseInvalid(std::string_view text, const char* what) {
  throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const FormatSettings& settings) {
  if (const DirectKind kind = DirectKindOf(pattern); kind != DirectKind::kNone) {
    const DateTimeParts parts = SplitDateTime(value);
    std::string out;
    if (TryFormatDirect(kind, parts, settings, out)) return out;
  }
  return DateFormatter(value, settings).Format(pattern);
}

std::string FormatTimeStamp(std::string_view pattern, const TTimeStamp& stamp,
                            const FormatSettings& settings) {
  if (const DirectKind kind = DirectKindOf(pattern); kind != DirectKind::kNone) {
    const DateTimeParts parts = SplitTimeStamp(stamp);
    std::string out;
    if (TryFormatDirect(kind, parts, settings, out)) return out;
  }
  return DateFormatter(TimeStampToDateTime(stamp), settings).Format(pattern);
}

std::string DateToStr(TDateTime value, const FormatSettings& settings) {
  return FormatDateTime("ddddd", value, settings);
}

std::string TimeToStr(TDateTime value, const FormatSettings& settings) {
  return FormatDateTime("tt", value, settings);
}

std::string DateTimeToStr(TDateTime value, const FormatSettings& settings) {
  return FormatDateTime("c", value, settings);
}

int ExpandTwoDigitYear(int twoDigitYear, int centuryWindow, int currentYear) {
  if (centuryWindow <= 0) return currentYear / 100 * 100 + twoDigitYear;
  int earliest = currentYear - centuryWindow;
  int year = earliest / 100 * 100 + twoDigitYear;
  if (year < earliest) year += 100;
  return year;
}

bool TryStrToDate(std::string_view text, TDateTime& value, const FormatSettings& settings) {
  TextScanner scanner(text);
  scanner.SkipBlanks();
  TDateTime date;
  if (!ScanDate(scanner, settings, date) || !ScanToEnd(scanner)) return false;
  value = date;
  return true;
}

bool TryStrToTime(std::string_view text, TDateTime& value, const FormatSettings& settings) {
  TextScanner scanner(text);
  scanner.SkipBlanks();
  TDateTime time;
  if (!ScanTime(scanner, settings, time) || !ScanToEnd(scanner)) return false;
  value = time;
  return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const FormatSettings& settings) {
  TextScanner scanner(text);
  scanner.SkipBlanks();
  size_t start = scanner.Position();
  TDateTime date, time;
  if (ScanDate(scanner, settings, date)) {
    if (ScanToEnd(scanner)) {
      value = date;
      return true;
    }
    if (!ScanTime(scanner, settings, time) || !ScanToEnd(scanner)) return false;
    value = ComposeDateTime(date, time);
    return true;
  }
  scanner.Rewind(start);
  if (!ScanTime(scanner, settings, time) || !ScanToEnd(scanner)) return false;
  value = time;
  return true;
}

TDateTime StrToDate(std::string_view text, const FormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDate(text, value, settings)) RaiseInvalid(text, "date");
  return value;
}

TDateTime StrToTime(std::string_view text, const FormatSettings& settings) {
  TDateTime value;
  if (!TryStrToTime(text, value, settings)) RaiseInvalid(text, "time");
  return value;
}

TDateTime StrToDateTime(std::string_view text, const FormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDateTime(text, value, settings)) RaiseInvalid(text, "date and time");
  return value;
}

}  // namespace lumo
