#include "dao/dataset/DaoUtils.h"

#include <array>
#include <charconv>

#include "jet/JetTypes.h"
#include "runtime/NumberText.h"
#include "runtime/StrUtils.h"
#include "runtime/Strings.h"

namespace lumo {

std::string BracketName(std::string_view name) {
  std::string result = "[";
  for (char c : name) {
    if (c == '.') {
      result += "].[";
    } else {
      result += c;
    }
  }
  result += ']';
  return result;
}

std::string NormalizeDateText(std::string_view text, const FormatSettings& settings) {
  if (text.empty()) return std::string(text);
  std::string allowed = "1234567890/";
  allowed += settings.DateSeparator;
  allowed += settings.TimeSeparator;

  std::string work(text);
  // A year abbreviation some Cyrillic locales put behind the year ("г.").
  if (auto pos = work.find("\xE3\x2E"); pos != std::string::npos) work.erase(pos, 2);

  std::string collapsed;
  collapsed.reserve(work.size());
  for (char c : work) {
    char kept = allowed.find(c) == std::string::npos ? ' ' : c;
    if (kept == ' ' && !collapsed.empty() && collapsed.back() == ' ') continue;
    collapsed += kept;
  }
  collapsed = Trim(collapsed);

  // Only the blank between date and time means something; the others were left behind by
  // month names, commas and the like.
  size_t keep = std::string::npos;
  if (auto timePos = collapsed.find(settings.TimeSeparator); timePos != std::string::npos) {
    keep = collapsed.rfind(' ', timePos);
  }
  std::string result;
  result.reserve(collapsed.size());
  for (size_t i = 0; i < collapsed.size(); ++i) {
    if (collapsed[i] == ' ' && i != keep) continue;
    result += collapsed[i];
  }
  return result;
}

std::vector<std::string> SplitFieldList(std::string_view text) {
  // The list's own line rules: a ";" is a line end like a carriage return.
  std::string lines(text);
  for (char& c : lines) {
    if (c == ';') c = '\r';
  }
  TStringList list;
  list.SetText(lines);
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) names.push_back(Trim(list[i]));
  return names;
}

std::vector<std::string> KeyValuesToText(const Variant& keyValues, const FormatSettings& settings) {
  auto textOf = [&](const Variant& value) {
    return value.IsNull() ? std::string("NULL") : VarToStr(value, settings);
  };
  std::vector<std::string> texts;
  if (keyValues.Type() == VarType::kArray) {
    for (int32_t i = keyValues.LowBound(); i <= keyValues.HighBound(); ++i) {
      texts.push_back(textOf(keyValues.Get(i)));
    }
  } else {
    texts.push_back(textOf(keyValues));
  }
  return texts;
}

std::string EscapeQuotes(std::string_view text) { return ReplaceAll(text, "\"", "\"\""); }

std::string EscapeLikeWildcards(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == '*' || c == '?' || c == '#' || c == '[' || c == ']' || c == '-') {
      result += '[';
      result += c;
      result += ']';
    } else {
      result += c;
    }
  }
  return result;
}

std::string NormalizeNumberText(std::string_view text, const FormatSettings& settings) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == settings.DecimalSeparator) {
      result += '.';
    } else if (c != settings.ThousandSeparator) {
      result += c;
    }
  }
  return result;
}

std::string FieldTypeName(TFieldType type) {
  static constexpr std::array<const char*, 17> kNames = {
      "ftUnknown", "ftString",   "ftSmallInt", "ftInteger", "ftWord", "ftBoolean",
      "ftFloat",   "ftCurrency", "ftBCD",      "ftDate",    "ftTime", "ftDateTime",
      "ftUnknown", "ftUnknown",  "ftAutoInc",  "ftBlob",    "ftMemo"};
  int ordinal = static_cast<int>(type);
  if (ordinal < 0 || ordinal >= static_cast<int>(kNames.size())) return "ftUnknown";
  return kNames[static_cast<size_t>(ordinal)];
}

TFieldType DaoTypeToFieldType(int daoType, int attributes,
                              const std::optional<std::string>& format) {
  using namespace jet;
  switch (daoType) {
    case dbBoolean: return ftBoolean;
    case dbByte:
    case dbInteger: return ftSmallint;
    case dbLong: return (attributes & dbAutoIncrField) != 0 ? ftAutoInc : ftInteger;
    case dbBigInt: return ftInteger;
    case dbCurrency: return ftCurrency;
    case dbSingle:
    case dbDouble:
    case dbNumeric:
    case dbDecimal:
    case dbFloat: return ftFloat;
    case dbDate:
      if (!format) return ftDateTime;
      if (SameText(*format, "Long Time") || SameText(*format, "Medium Time") ||
          SameText(*format, "Short Time")) {
        return ftTime;
      }
      if (SameText(*format, "General Date")) return ftDateTime;
      return ftDate;
    case dbTime: return ftTime;
    case dbTimeStamp: return ftDateTime;
    case dbText:
    case dbChar: return ftString;
    case dbBinary:
    case dbGUID: return ftBytes;
    case dbLongBinary:
    case dbVarBinary: return ftBlob;
    case dbMemo: return ftMemo;
    default: return ftUnknown;
  }
}

int DaoTypeFieldSize(int daoType, int daoSize) {
  using namespace jet;
  switch (daoType) {
    case dbText: return daoSize == 0 ? kMaxTextSize : daoSize;
    case dbChar:
    case dbBinary:
    case dbGUID:
    case dbLongBinary:
    case dbVarBinary:
    case dbMemo: return daoSize;
    default: return 0;
  }
}

void AssignTimeStampText(const TTimeStamp& stamp, std::string& text) {
  // Record buffers hold every date in this form, so it is made without the general formatter.
  std::array<char, 32> digits{};
  char* end = std::to_chars(digits.data(), digits.data() + 15, stamp.Date).ptr;
  *end = ' ';
  end = std::to_chars(end + 1, digits.data() + digits.size(), stamp.Time).ptr;
  text.assign(digits.data(), end);
}

std::string TimeStampText(const TTimeStamp& stamp) {
  std::string text;
  AssignTimeStampText(stamp, text);
  return text;
}

namespace {

bool ParseInt32(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return true;
  return TryStrToInt(text, value);  // blanks, hexadecimal and the like
}

}  // namespace

namespace {

// The digits of `text` from `pos` up to `stop` (at most nine, no sign) as a number.
bool PlainDigits(std::string_view text, size_t pos, size_t stop, int32_t& value) {
  if (stop <= pos || stop - pos > 9) return false;
  int32_t number = 0;
  for (; pos < stop; ++pos) {
    const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(text[pos])) - '0';
    if (digit > 9) return false;
    number = number * 10 + static_cast<int32_t>(digit);
  }
  value = number;
  return true;
}

}  // namespace

std::optional<TTimeStamp> ParseTimeStampText(std::string_view text) {
  // The buffers' own form (what AssignTimeStampText writes) is read in one pass; any other
  // spelling takes the general reading below.
  if (const size_t blank = text.find(' '); blank != std::string_view::npos) {
    int32_t day = 0;
    int32_t msecs = 0;
    if (PlainDigits(text, 0, blank, day) && PlainDigits(text, blank + 1, text.size(), msecs)) {
      return TTimeStamp{msecs, day};
    }
  }
  auto blank = text.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  int32_t day = 0;
  int32_t msecs = 0;
  if (!ParseInt32(text.substr(0, blank), day) || !ParseInt32(text.substr(blank + 1), msecs)) {
    return std::nullopt;
  }
  return TTimeStamp{msecs, day};
}

Variant TextToDateVariant(std::string_view text) {
  auto stamp = ParseTimeStampText(text);
  if (!stamp) return Variant::Null();
  try {
    return Variant::FromDate(TimeStampToDateTime(*stamp));
  } catch (const Exception&) {
    return Variant::Null();  // a day number or time outside the calendar
  }
}

namespace {

// The integer in front of the first `separator`, taken off `rest` together with it.
bool TakeInteger(std::string& rest, char separator, int& value) {
  auto pos = rest.find(separator);
  if (pos == std::string::npos) return false;
  int32_t number = 0;
  if (!TryStrToInt(rest.substr(0, pos), number)) return false;
  value = number;
  rest.erase(0, pos + 1);
  return true;
}

bool TakeMarker(std::string& rest, std::string_view marker) {
  auto pos = rest.find(marker);
  if (pos == std::string::npos) return false;
  rest.erase(pos, marker.size());
  return true;
}

}  // namespace

std::string DateDefaultText(std::string_view jetDate) {
  std::string rest(jetDate);
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!TakeInteger(rest, '/', month) || !TakeInteger(rest, '/', day)) return {};
  if (rest.find(' ') != std::string::npos) {
    if (!TakeInteger(rest, ' ', year) || !TakeInteger(rest, ':', hour)) return {};
    if (TakeMarker(rest, " AM")) {
      if (hour == 12) hour = 0;
    } else if (TakeMarker(rest, " PM")) {
      if (hour >= 1 && hour <= 11) hour += 12;
    }
    // "h:n" without seconds leaves the minutes as the whole rest.
    if (rest.find(':') != std::string::npos) {
      if (!TakeInteger(rest, ':', minute)) return {};
      rest = Trim(rest);
      int32_t seconds = 0;
      if (!rest.empty() && !TryStrToInt(rest, seconds)) return {};
      second = seconds;
    } else {
      int32_t minutes = 0;
      if (!TryStrToInt(rest, minutes)) return {};
      minute = minutes;
    }
  } else {
    int32_t years = 0;
    if (!TryStrToInt(rest, years)) return {};
    year = years;
  }
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time)) {
    return {};
  }
  TTimeStamp stamp{};
  if (!TryDateTimeToTimeStamp(ComposeDateTime(date, time), stamp)) return {};
  return TimeStampText(stamp);
}

}  // namespace lumo
