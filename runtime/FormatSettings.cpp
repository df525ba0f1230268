#include "runtime/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstring>

namespace lumo {

namespace {

// What a strftime pattern became in the runtime's pattern language, plus the facts the
// settings are derived from.
struct TranslatedFormat {
  std::string pattern;
  std::string order;           // numeric date fields in order of appearance: "DMY", ...
  std::string firstSeparator;  // literal text between the first two numeric fields
  int numericFields = 0;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Literal text of a strftime pattern: letters and quote characters would be read as pattern
// letters, so such text is quoted; everything else (punctuation, blanks, non-ASCII bytes) is
// copied as it stands.
void AppendLiteral(std::string& out, std::string_view text) {
  bool needsQuotes = false;
  for (char c : text) {
    if (IsAsciiLetter(c) || c == '"' || c == '\'') needsQuotes = true;
  }
  if (!needsQuotes) {
    out += text;
    return;
  }
  char quote = text.find('"') == std::string_view::npos ? '"' : '\'';
  out += quote;
  for (char c : text) {
    if (c != quote) out += c;  // a text holding both quote kinds loses one of them
  }
  out += quote;
}

class StrftimeTranslator {
 public:
  StrftimeTranslator(const LocaleInfo& info, bool dropSeconds)
      : info_(info), dropSeconds_(dropSeconds) {}

  TranslatedFormat Translate(std::string_view format) {
    Walk(format, 0);
    FlushLiteral();
    return result_;
  }

 private:
  void Walk(std::string_view format, int depth) {
    for (size_t i = 0; i < format.size(); ++i) {
      char c = format[i];
      if (c != '%' || i + 1 >= format.size()) {
        literal_ += c;
        continue;
      }
      ++i;
      bool noPadding = false;
      // Flags, field widths and the E/O modifiers change nothing the runtime can express,
      // except '-' (no padding), which picks the one-digit form.
      while (i < format.size() && (std::strchr("-_0^#", format[i]) != nullptr ||
                                   std::isdigit(static_cast<unsigned char>(format[i])) ||
                                   format[i] == 'E' || format[i] == 'O')) {
        if (format[i] == '-') noPadding = true;
        ++i;
      }
      if (i >= format.size()) break;
      Conversion(format[i], noPadding, depth);
    }
  }

  void Conversion(char conversion, bool noPadding, int depth) {
    switch (conversion) {
      case 'd': Numeric('D', noPadding ? "d" : "dd"); break;
      case 'e': Numeric('D', "d"); break;
      case 'm': Numeric('M', noPadding ? "m" : "mm"); break;
      case 'Y':
      case 'y':
      case 'G':
      case 'g': Numeric('Y', "yyyy"); break;
      case 'C': break;  // "%C%y" is a year written in two pieces; %y already gives all of it
      case 'H': Field(noPadding ? "h" : "hh"); break;
      case 'k': Field("h"); break;
      case 'I':
      case 'l': Field("h"); break;
      case 'M': Field(noPadding ? "n" : "nn"); break;
      case 'S':
        if (dropSeconds_) {
          literal_.clear();  // the separator before the seconds goes with them
        } else {
          Field(noPadding ? "s" : "ss");
        }
        break;
      case 'p':
      case 'P': Field("AMPM"); break;
      case 'a': Field("ddd"); break;
      case 'A': Field("dddd"); break;
      case 'b':
      case 'h': Field("mmm"); break;
      case 'B': Field("mmmm"); break;
      case 'n':
      case 't': literal_ += ' '; break;
      case '%': literal_ += '%'; break;
      default:
        if (depth < 3) Expand(conversion, depth);
        break;
    }
  }

  void Expand(char conversion, int depth) {
    switch (conversion) {
      case 'D': Walk("%m/%d/%y", depth + 1); break;
      case 'F': Walk("%Y-%m-%d", depth + 1); break;
      case 'T': Walk("%H:%M:%S", depth + 1); break;
      case 'R': Walk("%H:%M", depth + 1); break;
      case 'r':
        Walk(info_.timeFormatAmPm.empty() ? "%I:%M:%S %p" : info_.timeFormatAmPm, depth + 1);
        break;
      case 'x': Walk(info_.dateFormat, depth + 1); break;
      case 'X': Walk(info_.timeFormat, depth + 1); break;
      default: break;  // time zones, week numbers, ...: nothing the runtime shows
    }
  }

  void Numeric(char kind, const char* token) {
    if (result_.numericFields == 1) result_.firstSeparator = literal_;
    ++result_.numericFields;
    result_.order += kind;
    Field(token);
  }

  void Field(const char* token) {
    FlushLiteral();
    result_.pattern += token;
  }

  void FlushLiteral() {
    AppendLiteral(result_.pattern, literal_);
    literal_.clear();
  }

  const LocaleInfo& info_;
  bool dropSeconds_;
  std::string literal_;
  TranslatedFormat result_;
};

bool IsUsableSeparator(const std::string& text) {
  if (text.size() != 1) return false;
  unsigned char c = static_cast<unsigned char>(text[0]);
  return c > ' ' && c < 0x80 && !std::isalnum(c) && c != '"' && c != '\'';
}

// One byte that stands for a separator text of the locale: a multi-byte separator (a
// no-break space, say) cannot be a single char, so the nearest plain one is used.
char SeparatorChar(const std::string& text, char fallback) {
  if (text.size() == 1) return text[0];
  return fallback;
}

std::string LongDateFormatFor(const std::string& order, char dateSeparator) {
  if (order == "DMY") return dateSeparator == '.' ? "dddd, d. mmmm yyyy" : "dddd, d mmmm yyyy";
  if (order == "YMD") return "yyyy mmmm d, dddd";
  return "dddd, mmmm d, yyyy";
}

void DeriveDateFormats(const LocaleInfo& info, FormatSettings& settings) {
  TranslatedFormat date = StrftimeTranslator(info, false).Translate(info.dateFormat);
  bool hasAllFields = date.order.size() == 3 && date.order.find('D') != std::string::npos &&
                      date.order.find('M') != std::string::npos &&
                      date.order.find('Y') != std::string::npos;
  if (!hasAllFields) return;  // keep the invariant "mm/dd/yyyy"
  if (IsUsableSeparator(date.firstSeparator)) {
    settings.ShortDateFormat = date.pattern;
    settings.DateSeparator = date.firstSeparator[0];
  } else {
    // The parser reads dates by the separator, so the order is kept and "/" put between.
    settings.ShortDateFormat.clear();
    for (char kind : date.order) {
      if (!settings.ShortDateFormat.empty()) settings.ShortDateFormat += '/';
      settings.ShortDateFormat += kind == 'D' ? "dd" : kind == 'M' ? "mm" : "yyyy";
    }
    settings.DateSeparator = '/';
  }
  settings.LongDateFormat = LongDateFormatFor(date.order, settings.DateSeparator);
}

// The separator of a translated time pattern: the byte after the first hour field.
std::string TimeSeparatorOf(const std::string& pattern) {
  size_t hour = pattern.find('h');
  if (hour == std::string::npos) return {};
  size_t after = pattern.find_first_not_of('h', hour);
  if (after == std::string::npos || pattern.compare(after, 1, "n") == 0) return {};
  size_t next = pattern.find('n', after);
  if (next == std::string::npos) return {};
  return pattern.substr(after, next - after);
}

void DeriveTimeFormats(const LocaleInfo& info, FormatSettings& settings) {
  std::string longTime = StrftimeTranslator(info, false).Translate(info.timeFormat).pattern;
  std::string separator = TimeSeparatorOf(longTime);
  if (!IsUsableSeparator(separator)) return;  // keep "hh:nn:ss" and "hh:nn"
  settings.LongTimeFormat = longTime;
  settings.ShortTimeFormat = StrftimeTranslator(info, true).Translate(info.timeFormat).pattern;
  settings.TimeSeparator = separator[0];
}

template <size_t N>
void CopyNames(const std::array<std::string, N>& from, std::array<std::string, N>& to) {
  for (size_t i = 0; i < N; ++i) {
    if (!from[i].empty()) to[i] = from[i];
  }
}

}  // namespace

bool LocaleInfo::Read(const std::string& localeName, LocaleInfo& info) {
  locale_t locale = localeName.empty() ? duplocale(LC_GLOBAL_LOCALE)
                                       : newlocale(LC_ALL_MASK, localeName.c_str(), nullptr);
  if (locale == nullptr) return false;
  auto item = [locale](nl_item what) { return std::string(nl_langinfo_l(what, locale)); };
  info.radixChar = item(RADIXCHAR);
  info.thousandsSep = item(THOUSEP);
  info.dateFormat = item(D_FMT);
  info.timeFormat = item(T_FMT);
  info.timeFormatAmPm = item(T_FMT_AMPM);
  info.amString = item(AM_STR);
  info.pmString = item(PM_STR);
  for (int i = 0; i < 12; ++i) {
    info.monthNames[i] = item(MON_1 + i);
    info.abbreviatedMonthNames[i] = item(ABMON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    info.dayNames[i] = item(DAY_1 + i);
    info.abbreviatedDayNames[i] = item(ABDAY_1 + i);
  }
  freelocale(locale);
  return true;
}

FormatSettings FormatSettings::Invariant() { return FormatSettings(); }

FormatSettings FormatSettings::FromLocale(const std::string& localeName) {
  LocaleInfo info;
  if (!LocaleInfo::Read(localeName, info)) return Invariant();
  return FromLocaleInfo(info);
}

FormatSettings FormatSettings::FromLocaleInfo(const LocaleInfo& info) {
  FormatSettings settings;
  settings.DecimalSeparator = SeparatorChar(info.radixChar, '.');
  char otherGroupSeparator = settings.DecimalSeparator == ',' ? '.' : ',';
  // No grouping at all (the C locale) still needs a separator distinct from the decimal one;
  // a multi-byte one is a kind of blank.
  settings.ThousandSeparator =
      info.thousandsSep.empty() ? otherGroupSeparator : SeparatorChar(info.thousandsSep, ' ');
  if (settings.ThousandSeparator == settings.DecimalSeparator) {
    settings.ThousandSeparator = otherGroupSeparator;
  }
  DeriveDateFormats(info, settings);
  DeriveTimeFormats(info, settings);
  if (!info.amString.empty() && !info.pmString.empty()) {
    settings.TimeAMString = info.amString;
    settings.TimePMString = info.pmString;
  }
  CopyNames(info.abbreviatedMonthNames, settings.ShortMonthNames);
  CopyNames(info.monthNames, settings.LongMonthNames);
  CopyNames(info.abbreviatedDayNames, settings.ShortDayNames);
  CopyNames(info.dayNames, settings.LongDayNames);
  return settings;
}

FormatSettings FormatSettings::German() {
  FormatSettings settings;
  settings.DecimalSeparator = ',';
  settings.ThousandSeparator = '.';
  settings.DateSeparator = '.';
  settings.TimeSeparator = ':';
  settings.ShortDateFormat = "dd.mm.yyyy";
  settings.LongDateFormat = "dddd, d. mmmm yyyy";
  settings.ShortTimeFormat = "hh:nn";
  settings.LongTimeFormat = "hh:nn:ss";
  settings.ShortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                              "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  settings.LongMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                             "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  settings.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  settings.LongDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                           "Donnerstag", "Freitag", "Samstag"};
  return settings;
}

FormatSettings FormatSettings::English() {
  FormatSettings settings;
  settings.ShortDateFormat = "m/d/yyyy";
  settings.LongDateFormat = "dddd, mmmm d, yyyy";
  settings.ShortTimeFormat = "h:nn AMPM";
  settings.LongTimeFormat = "h:nn:ss AMPM";
  return settings;
}

namespace {

FormatSettings& CurrentSettingsStorage() {
  static FormatSettings current = FormatSettings::FromLocale("");
  return current;
}

}  // namespace

const FormatSettings& CurrentFormatSettings() { return CurrentSettingsStorage(); }

void SetCurrentFormatSettings(const FormatSettings& settings) {
  CurrentSettingsStorage() = settings;
}

ScopedFormatSettings::ScopedFormatSettings(const FormatSettings& settings)
    : saved_(CurrentFormatSettings()) {
  SetCurrentFormatSettings(settings);
}

ScopedFormatSettings::~ScopedFormatSettings() { SetCurrentFormatSettings(saved_); }

}  // namespace lumo
