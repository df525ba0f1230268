// The Format function of Jet SQL: named formats (General Number, Currency, Fixed, Standard,
// Percent, Scientific, Yes/No, True/False, On/Off, General/Long/Medium/Short Date, Long/
// Medium/Short Time) and custom formats for dates (d m y h n s q w, AM/PM ...), numbers
// (0 # . , % E+, sections for positive;negative;zero) and texts (@ & < > !). Names of months
// and days are English; separators are "/" ":" "." and ",", as in US settings.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet::fn {

namespace {

std::string Lower(const std::string& text) { return Utf8ToLower(text); }

// Splits at ";" outside quotes and escapes.
std::vector<std::string> Sections(const std::string& format) {
  std::vector<std::string> sections(1);
  bool quoted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '\\' && i + 1 < format.size()) {
      sections.back() += c;
      sections.back() += format[++i];
      continue;
    }
    if (!quoted && c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

bool StartsWithNoCase(const std::string& text, size_t pos, const char* word) {
  for (size_t k = 0; word[k] != '\0'; ++k) {
    if (pos + k >= text.size() || std::tolower(static_cast<unsigned char>(text[pos + k])) != word[k]) return false;
  }
  return true;
}

// --- dates --------------------------------------------------------------------------------------

struct DateToken {
  char letter;  // d m y h n s q w c t, 'A' for AM/PM forms, 0 for a literal
  int count = 0;
  std::string text;  // literal text, or the AM/PM form as written
};

std::vector<DateToken> DateTokens(const std::string& format) {
  std::vector<DateToken> tokens;
  for (size_t i = 0; i < format.size();) {
    const char c = format[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"') {
      size_t close = format.find('"', i + 1);
      if (close == std::string::npos) close = format.size();
      tokens.push_back({0, 0, format.substr(i + 1, close - i - 1)});
      i = close + 1;
    } else if (c == '\\' && i + 1 < format.size()) {
      tokens.push_back({0, 0, format.substr(i + 1, 1)});
      i += 2;
    } else if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "ampm")) {
      const size_t length = StartsWithNoCase(format, i, "am/pm") ? 5 : 4;
      tokens.push_back({'A', 0, format.substr(i, length)});
      i += length;
    } else if (StartsWithNoCase(format, i, "a/p")) {
      tokens.push_back({'A', 0, format.substr(i, 3)});
      i += 3;
    } else if (lower == 'd' || lower == 'm' || lower == 'y' || lower == 'h' || lower == 'n' || lower == 's' ||
               lower == 'q' || lower == 'w' || lower == 'c' || lower == 't') {
      size_t run = i;
      while (run < format.size() && std::tolower(static_cast<unsigned char>(format[run])) == lower) ++run;
      tokens.push_back({lower, static_cast<int>(run - i), {}});
      i = run;
    } else {
      tokens.push_back({0, 0, std::string(1, c)});
      ++i;
    }
  }
  return tokens;
}

bool HasDateTokens(const std::string& format) {
  for (const DateToken& token : DateTokens(format)) {
    if (token.letter != 0) return true;
  }
  return false;
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string FormatDate(const DateParts& parts, const std::string& format);

std::string ShortDate(const DateParts& p) { return FormatDate(p, "m/d/yyyy"); }
std::string LongTime(const DateParts& p) { return FormatDate(p, "h:nn:ss AM/PM"); }

std::string GeneralDate(const DateParts& p) {
  const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  if (dayZero && !midnight) return LongTime(p);
  if (midnight) return ShortDate(p);
  return ShortDate(p) + " " + LongTime(p);
}

std::string FormatDate(const DateParts& p, const std::string& format) {
  const std::vector<DateToken> tokens = DateTokens(format);
  bool twelveHour = false;
  for (const DateToken& token : tokens) twelveHour = twelveHour || token.letter == 'A';
  std::string out;
  char lastLetter = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const DateToken& token = tokens[i];
    const int n = token.count;
    switch (token.letter) {
      case 0: out += token.text; continue;
      case 'd':
        if (n == 1)
          out += std::to_string(p.day);
        else if (n == 2)
          out += TwoDigits(p.day);
        else if (n == 3)
          out += std::string(kDayNames[WeekdayOf(p, 1) - 1]).substr(0, 3);
        else if (n == 4)
          out += kDayNames[WeekdayOf(p, 1) - 1];
        else if (n == 5)
          out += ShortDate(p);
        else
          out += FormatDate(p, "dddd, mmmm d, yyyy");
        break;
      case 'm': {
        // m after an hour, or before seconds, means minutes.
        bool minute = lastLetter == 'h';
        for (size_t k = i + 1; k < tokens.size() && !minute; ++k) {
          if (tokens[k].letter == 0) continue;
          minute = tokens[k].letter == 's';
          break;
        }
        if (minute && n <= 2) {
          out += n == 1 ? std::to_string(p.minute) : TwoDigits(p.minute);
        } else if (n == 1) {
          out += std::to_string(p.month);
        } else if (n == 2) {
          out += TwoDigits(p.month);
        } else if (n == 3) {
          out += std::string(kMonthNames[p.month - 1]).substr(0, 3);
        } else {
          out += kMonthNames[p.month - 1];
        }
        break;
      }
      case 'y':
        if (n == 1)
          out += std::to_string(DayOfYear(p));
        else if (n == 2)
          out += TwoDigits(p.year % 100);
        else
          out += std::to_string(p.year);
        break;
      case 'h': {
        int hour = p.hour;
        if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += n == 1 ? std::to_string(hour) : TwoDigits(hour);
        break;
      }
      case 'n': out += n == 1 ? std::to_string(p.minute) : TwoDigits(p.minute); break;
      case 's': out += n == 1 ? std::to_string(p.second) : TwoDigits(p.second); break;
      case 'q': out += std::to_string((p.month - 1) / 3 + 1); break;
      case 'w':
        if (n == 1) {
          out += std::to_string(WeekdayOf(p, 1));
        } else {
          const DateParts january{p.year, 1, 1, 0, 0, 0, 0};
          out += std::to_string((DayOfYear(p) - 1 + WeekdayOf(january, 1) - 1) / 7 + 1);
        }
        break;
      case 'c': out += GeneralDate(p); break;
      case 't': out += n >= 5 ? LongTime(p) : std::string(static_cast<size_t>(n), 't'); break;
      case 'A': {
        const bool pm = p.hour >= 12;
        const std::string& form = token.text;
        if (form.size() == 3) {  // A/P or a/p
          out += pm ? form[2] : form[0];
        } else {
          const bool upper = std::isupper(static_cast<unsigned char>(form[0]));
          out += pm ? (upper ? "PM" : "pm") : (upper ? "AM" : "am");
        }
        break;
      }
      default: break;
    }
    lastLetter = token.letter;
  }
  return out;
}

// --- numbers ------------------------------------------------------------------------------------

struct NumberToken {
  enum class Kind { kLiteral, kDigit, kDecimal, kExponent } kind;
  std::string text;  // literal text; "0" or "#" for digits; "E+" etc. for the exponent
  bool fraction = false;
  int exponentDigits = 0;
};

std::string GroupThousands(const std::string& digits) {
  std::string out;
  const size_t length = digits.size();
  for (size_t i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The digits of |value| rounded to `decimals` places, half away from zero.
std::string RoundedDigits(double value, int decimals) {
  char buffer[400];
  // Enough precision to round correctly in decimal before cutting.
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals + 3, std::fabs(value));
  std::string text = buffer;
  size_t point = text.find('.');
  std::string digits = text.substr(0, point) + text.substr(point + 1);
  const size_t keep = digits.size() - 3;
  const bool roundUp = digits[keep] >= '5';
  digits.resize(keep);
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i < 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i];
  }
  return digits;
}

std::string FormatNumber(double value, const std::string& section, bool withSign) {
  std::vector<NumberToken> tokens;
  bool fraction = false;
  bool thousands = false;
  bool percent = false;
  int exponentDigits = -1;
  for (size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (c == '"') {
      size_t close = section.find('"', i + 1);
      if (close == std::string::npos) close = section.size();
      tokens.push_back({NumberToken::Kind::kLiteral, section.substr(i + 1, close - i - 1)});
      i = close;
    } else if (c == '\\' && i + 1 < section.size()) {
      tokens.push_back({NumberToken::Kind::kLiteral, section.substr(++i, 1)});
    } else if (c == '0' || c == '#') {
      NumberToken token{NumberToken::Kind::kDigit, std::string(1, c)};
      token.fraction = fraction;
      tokens.push_back(token);
    } else if (c == '.' && !fraction && exponentDigits < 0) {
      fraction = true;
      tokens.push_back({NumberToken::Kind::kDecimal, "."});
    } else if (c == ',' && !fraction) {
      thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-') &&
               exponentDigits < 0) {
      NumberToken token{NumberToken::Kind::kExponent, section.substr(i, 2)};
      i += 2;
      exponentDigits = 0;
      while (i < section.size() && (section[i] == '0' || section[i] == '#')) ++exponentDigits, ++i;
      --i;
      token.exponentDigits = exponentDigits;
      tokens.push_back(token);
      fraction = true;  // digits after the exponent belong to no part
    } else {
      if (c == '%') percent = true;
      tokens.push_back({NumberToken::Kind::kLiteral, std::string(1, c)});
    }
  }
  if (percent) value *= 100;
  int intPlaces = 0, fracPlaces = 0, fracZeros = 0, intZeros = 0;
  bool hasDecimal = false;
  for (const NumberToken& token : tokens) {
    if (token.kind == NumberToken::Kind::kDecimal) hasDecimal = true;
    if (token.kind != NumberToken::Kind::kDigit) continue;
    if (token.fraction) {
      ++fracPlaces;
      if (token.text == "0") fracZeros = fracPlaces;
    } else {
      ++intPlaces;
      if (token.text == "0") ++intZeros;
    }
  }
  if (!std::isfinite(value)) return NumberText(value);
  int exponent = 0;
  if (exponentDigits >= 0 && value != 0) {
    exponent = static_cast<int>(std::floor(std::log10(std::fabs(value)))) - (intPlaces > 0 ? intPlaces - 1 : 0);
    value /= std::pow(10.0, exponent);
    if (RoundedDigits(value, fracPlaces).size() > static_cast<size_t>(std::max(intPlaces, 1) + fracPlaces)) {
      value /= 10;
      ++exponent;
    }
  }
  if (std::fabs(value) >= 1e300) return NumberText(value);
  const std::string digits = RoundedDigits(value, fracPlaces);
  std::string intDigits = digits.substr(0, digits.size() - fracPlaces);
  std::string fracDigits = digits.substr(digits.size() - fracPlaces);
  while (!intDigits.empty() && intDigits[0] == '0') intDigits.erase(0, 1);
  while (static_cast<int>(fracDigits.size()) > fracZeros && !fracDigits.empty() && fracDigits.back() == '0') {
    fracDigits.pop_back();
  }
  if (static_cast<int>(intDigits.size()) < intZeros) intDigits.insert(0, intZeros - intDigits.size(), '0');

  std::string out;
  if (withSign && value < 0 && (digits.find_first_not_of('0') != std::string::npos)) out += '-';
  // Integer part: the digits fill the placeholders from the right; extra digits go to the first.
  int intSeen = 0;
  int fracSeen = 0;
  const std::string integerText = thousands ? GroupThousands(intDigits) : intDigits;
  if (thousands || intPlaces == 0) {
    bool written = false;
    for (const NumberToken& token : tokens) {
      if (token.kind == NumberToken::Kind::kDigit && !token.fraction) {
        if (!written) out += integerText;
        written = true;
      } else if (token.kind == NumberToken::Kind::kDigit) {
        if (fracSeen < static_cast<int>(fracDigits.size()))
          out += fracDigits[fracSeen];
        else if (token.text == "0")
          out += '0';
        ++fracSeen;
      } else if (token.kind == NumberToken::Kind::kDecimal) {
        if (!written && intPlaces == 0 && !integerText.empty()) out += integerText;
        written = true;
        out += '.';
      } else if (token.kind == NumberToken::Kind::kExponent) {
        out += token.text[0];
        std::string e = std::to_string(std::abs(exponent));
        if (static_cast<int>(e.size()) < token.exponentDigits) e.insert(0, token.exponentDigits - e.size(), '0');
        if (exponent < 0)
          out += '-';
        else if (token.text[1] == '+')
          out += '+';
        out += e;
      } else {
        out += token.text;
      }
    }
    if (!written && !integerText.empty() && intPlaces == 0 && !hasDecimal) out = integerText + out;
    return out;
  }
  const int extra = std::max(0, static_cast<int>(intDigits.size()) - intPlaces);
  for (const NumberToken& token : tokens) {
    switch (token.kind) {
      case NumberToken::Kind::kLiteral: out += token.text; break;
      case NumberToken::Kind::kDecimal: out += '.'; break;
      case NumberToken::Kind::kExponent: {
        out += token.text[0];
        std::string e = std::to_string(std::abs(exponent));
        if (static_cast<int>(e.size()) < token.exponentDigits) e.insert(0, token.exponentDigits - e.size(), '0');
        if (exponent < 0)
          out += '-';
        else if (token.text[1] == '+')
          out += '+';
        out += e;
        break;
      }
      case NumberToken::Kind::kDigit:
        if (token.fraction) {
          if (fracSeen < static_cast<int>(fracDigits.size()))
            out += fracDigits[fracSeen];
          else if (token.text == "0")
            out += '0';
          ++fracSeen;
        } else {
          // Placeholder k of intPlaces (from the left) shows digit k - (intPlaces - len).
          const int index = intSeen - (intPlaces - static_cast<int>(intDigits.size()));
          if (intSeen == 0 && extra > 0)
            out += intDigits.substr(0, extra + 1);
          else if (index >= 0 && index < static_cast<int>(intDigits.size()))
            out += intDigits[index];
          else if (token.text == "0")
            out += '0';
          ++intSeen;
        }
        break;
    }
  }
  return out;
}

std::string FormatNumberBySections(double value, const std::string& format) {
  const std::vector<std::string> sections = Sections(format);
  if (value < 0 && sections.size() > 1 && !sections[1].empty()) return FormatNumber(-value, sections[1], false);
  if (value == 0 && sections.size() > 2 && !sections[2].empty()) return FormatNumber(value, sections[2], false);
  return FormatNumber(value, sections[0], true);
}

// --- texts --------------------------------------------------------------------------------------

std::string FormatText(const std::string& value, const std::string& format) {
  std::vector<char32_t> text = DecodeUtf8All(value);
  std::string pattern = format;
  bool leftToRight = false;
  if (!pattern.empty() && pattern[0] == '!') {
    leftToRight = true;
    pattern.erase(0, 1);
  }
  for (char c : pattern) {
    if (c == '<') text = DecodeUtf8All(Utf8ToLower(EncodeUtf8All(text)));
    if (c == '>') text = DecodeUtf8All(Utf8ToUpper(EncodeUtf8All(text)));
  }
  int places = 0;
  for (char c : pattern) places += (c == '@' || c == '&') ? 1 : 0;
  if (places == 0) return EncodeUtf8All(text);
  // Characters for each placeholder, filled from the right unless "!" asked otherwise.
  std::vector<std::vector<char32_t>> slots(static_cast<size_t>(places));
  if (leftToRight) {
    for (size_t i = 0; i < text.size(); ++i) slots[std::min(i, slots.size() - 1)].push_back(text[i]);
  } else {
    const int length = static_cast<int>(text.size());
    for (int k = 0; k < places; ++k) {
      const int index = k - (places - length);
      if (k == 0 && length > places) {
        slots[0].assign(text.begin(), text.begin() + (length - places + 1));
      } else if (index >= 0 && index < length) {
        slots[static_cast<size_t>(k)].push_back(text[static_cast<size_t>(index)]);
      }
    }
  }
  std::string out;
  int slot = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '<' || c == '>') continue;
    if (c == '@' || c == '&') {
      const auto& chars = slots[static_cast<size_t>(slot++)];
      if (chars.empty()) {
        if (c == '@') out += ' ';
      } else {
        out += EncodeUtf8All(chars);
      }
    } else if (c == '\\' && i + 1 < pattern.size()) {
      out += pattern[++i];
    } else if (c == '"') {
      size_t close = pattern.find('"', i + 1);
      if (close == std::string::npos) close = pattern.size();
      out += pattern.substr(i + 1, close - i - 1);
      i = close;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string FormatValue(sqlite3_value* value, const std::string& format) {
  const bool isDate = IsDateText(value);
  const int type = sqlite3_value_type(value);
  std::optional<Number> number;
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
    number = NumberOf(value);
  else if (type == SQLITE_TEXT && !isDate)
    number = ParseNumberText(TextOf(value));
  if (isDate) number = Number::Of(DateOf(value));
  const std::string name = Lower(format);

  // Named number formats first: "Yes/No" would otherwise read as date letters.
  if (number && !format.empty()) {
    const double x = number->AsDouble();
    if (name == "general number") return number->integer ? std::to_string(number->i) : NumberText(x);
    if (name == "currency") return FormatNumberBySections(x, "$#,##0.00;($#,##0.00)");
    if (name == "fixed") return FormatNumberBySections(x, "0.00");
    if (name == "standard") return FormatNumberBySections(x, "#,##0.00");
    if (name == "percent") return FormatNumberBySections(x, "0.00%");
    if (name == "scientific") return FormatNumberBySections(x, "0.00E+00");
    if (name == "yes/no") return x != 0 ? "Yes" : "No";
    if (name == "true/false") return x != 0 ? "True" : "False";
    if (name == "on/off") return x != 0 ? "On" : "Off";
  }
  const bool namedDate = name == "general date" || name == "long date" || name == "medium date" ||
                         name == "short date" || name == "long time" || name == "medium time" || name == "short time";
  if (number && (namedDate || HasDateTokens(format) || (isDate && format.empty()))) {
    const DateParts parts = PartsOf(number->AsDouble());
    if (format.empty() || name == "general date") return GeneralDate(parts);
    if (name == "long date") return FormatDate(parts, "dddd, mmmm d, yyyy");
    if (name == "medium date") return FormatDate(parts, "d-mmm-yy");
    if (name == "short date") return ShortDate(parts);
    if (name == "long time") return LongTime(parts);
    if (name == "medium time") return FormatDate(parts, "hh:nn AM/PM");
    if (name == "short time") return FormatDate(parts, "hh:nn");
    return FormatDate(parts, Sections(format)[0]);
  }
  if (!number) return FormatText(TextOf(value), format);
  if (format.empty()) return number->integer ? std::to_string(number->i) : NumberText(number->d);
  return FormatNumberBySections(number->AsDouble(), format);
}

}  // namespace lumo::jet::fn
