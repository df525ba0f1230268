#include "jet/sql/JetSqlTokenizer.h"

#include <cctype>
#include <ctime>

namespace lumo::jet {

namespace {

bool IsNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view source) : source_(source) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    while (true) {
      SkipBlanks();
      if (pos_ >= source_.size()) break;
      tokens.push_back(Next());
    }
    Token end;
    end.begin = end.end = source_.size();
    tokens.push_back(end);
    return tokens;
  }

 private:
  void SkipBlanks() {
    while (pos_ < source_.size()) {
      unsigned char c = static_cast<unsigned char>(source_[pos_]);
      if (c == 0 || c > ' ') break;
      ++pos_;
    }
  }

  Token Make(TokenKind kind, size_t begin, std::string text) {
    Token token;
    token.kind = kind;
    token.begin = begin;
    token.end = pos_;
    token.text = std::move(text);
    return token;
  }

  Token Error(size_t begin, const char* message) {
    // An error swallows the rest of the text: nothing after it can be read reliably.
    pos_ = source_.size();
    return Make(TokenKind::kError, begin, message);
  }

  Token Next() {
    const size_t begin = pos_;
    const char c = source_[pos_];
    const unsigned char uc = static_cast<unsigned char>(c);
    if (IsNameStart(uc)) {
      while (pos_ < source_.size() && IsNameChar(static_cast<unsigned char>(source_[pos_]))) ++pos_;
      // The text functions have "$" forms (Left$, Mid$): the sign ends the name.
      if (pos_ < source_.size() && source_[pos_] == '$') ++pos_;
      Token token = Make(TokenKind::kWord, begin, std::string(source_.substr(begin, pos_ - begin)));
      token.upper = Upper(token.text);
      return token;
    }
    if (IsDigit(c) || (c == '.' && pos_ + 1 < source_.size() && IsDigit(source_[pos_ + 1]))) {
      return Number(begin);
    }
    switch (c) {
      case '\'':
      case '"': return String(begin, c);
      case '[': {
        size_t close = source_.find(']', pos_ + 1);
        if (close == std::string_view::npos) return Error(begin, syntax::kMissingParen);
        // Jet names hold no control characters (and SQLite's text ends at a zero byte).
        for (size_t i = begin + 1; i < close; ++i) {
          if (static_cast<unsigned char>(source_[i]) < ' ') return Error(begin, syntax::kGeneric);
        }
        pos_ = close + 1;
        return Make(TokenKind::kBracketName, begin, std::string(source_.substr(begin + 1, close - begin - 1)));
      }
      case '#': return Date(begin);
      case '{': return Guid(begin);
      case '@':
        if (source_.substr(pos_, 2) == "@@" && pos_ + 2 < source_.size() &&
            IsNameStart(static_cast<unsigned char>(source_[pos_ + 2]))) {
          pos_ += 2;
          while (pos_ < source_.size() && IsNameChar(static_cast<unsigned char>(source_[pos_]))) ++pos_;
          Token token = Make(TokenKind::kWord, begin, std::string(source_.substr(begin, pos_ - begin)));
          token.upper = Upper(token.text);
          return token;
        }
        return Error(begin, syntax::kGeneric);
      case '<':
        if (pos_ + 1 < source_.size() && (source_[pos_ + 1] == '>' || source_[pos_ + 1] == '=')) {
          pos_ += 2;
          return Make(TokenKind::kSymbol, begin, std::string(source_.substr(begin, 2)));
        }
        ++pos_;
        return Make(TokenKind::kSymbol, begin, "<");
      case '>':
        if (pos_ + 1 < source_.size() && source_[pos_ + 1] == '=') {
          pos_ += 2;
          return Make(TokenKind::kSymbol, begin, ">=");
        }
        ++pos_;
        return Make(TokenKind::kSymbol, begin, ">");
      case '(':
      case ')':
      case ',':
      case '.':
      case '!':
      case ';':
      case '=':
      case '+':
      case '-':
      case '*':
      case '/':
      case '\\':
      case '^':
      case '&': ++pos_; return Make(TokenKind::kSymbol, begin, std::string(1, c));
      default: return Error(begin, syntax::kGeneric);
    }
  }

  Token Number(size_t begin) {
    size_t end = pos_;
    while (end < source_.size() && IsDigit(source_[end])) ++end;
    std::string_view integer = source_.substr(pos_, end - pos_);
    std::string text(integer.empty() ? std::string_view("0") : integer);
    pos_ = end;
    if (pos_ < source_.size() && source_[pos_] == '.') {
      size_t fractionEnd = pos_ + 1;
      while (fractionEnd < source_.size() && IsDigit(source_[fractionEnd])) ++fractionEnd;
      std::string_view fraction = source_.substr(pos_ + 1, fractionEnd - pos_ - 1);
      text += '.';
      text += fraction.empty() ? std::string_view("0") : fraction;
      pos_ = fractionEnd;
    }
    if (pos_ < source_.size() && (source_[pos_] == 'e' || source_[pos_] == 'E')) {
      size_t look = pos_ + 1;
      std::string exponent = "e";
      if (look < source_.size() && (source_[look] == '+' || source_[look] == '-')) exponent += source_[look++];
      if (look >= source_.size() || !IsDigit(source_[look])) return Error(begin, syntax::kNumber);
      while (look < source_.size() && IsDigit(source_[look])) exponent += source_[look++];
      pos_ = look;
      text += exponent;
    }
    return Make(TokenKind::kNumber, begin, text);
  }

  Token String(size_t begin, char delimiter) {
    std::string value;
    ++pos_;
    while (true) {
      if (pos_ >= source_.size()) return Error(begin, syntax::kString);
      char c = source_[pos_++];
      if (c == delimiter) {
        if (pos_ < source_.size() && source_[pos_] == delimiter) {
          value += delimiter;
          ++pos_;
          continue;
        }
        break;
      }
      value += c;
    }
    return Make(TokenKind::kString, begin, std::move(value));
  }

  Token Date(size_t begin) {
    size_t close = source_.find('#', pos_ + 1);
    if (close == std::string_view::npos) return Error(begin, syntax::kDate);
    auto parts = ParseJetDateText(source_.substr(pos_ + 1, close - pos_ - 1));
    if (!parts) return Error(begin, syntax::kDate);
    pos_ = close + 1;
    return Make(TokenKind::kDate, begin, FormatStorageDate(*parts));
  }

  // {guid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}}
  Token Guid(size_t begin) {
    size_t p = pos_ + 1;
    auto skip = [&] {
      while (p < source_.size() && static_cast<unsigned char>(source_[p]) <= ' ' && source_[p] != 0) ++p;
    };
    skip();
    if (Upper(source_.substr(p, 4)) != "GUID") return Error(begin, syntax::kGeneric);
    p += 4;
    skip();
    if (p >= source_.size() || source_[p] != '{') return Error(begin, syntax::kGeneric);
    size_t inner = source_.find('}', p);
    if (inner == std::string_view::npos) return Error(begin, syntax::kMissingParen);
    auto text = NormalizeGuidText(source_.substr(p, inner - p + 1));
    p = inner + 1;
    skip();
    if (p >= source_.size() || source_[p] != '}' || !text) return Error(begin, syntax::kGeneric);
    pos_ = p + 1;
    return Make(TokenKind::kGuid, begin, *text);
  }

  std::string_view source_;
  size_t pos_ = 0;
};

// Pieces of a date text.
struct DateItem {
  enum class Kind { kNumber, kWord, kSeparator } kind;
  std::string text;
};

int MonthFromName(const std::string& upper) {
  static constexpr const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                            "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
  if (upper.size() < 3) return 0;
  if (upper == "SEPT") return 9;
  for (int i = 0; i < 12; ++i) {
    std::string_view name = kMonths[i];
    if (upper.size() <= name.size() && name.substr(0, upper.size()) == upper) return i + 1;
  }
  return 0;
}

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

int WidenYear(const std::string& digits, int value) {
  if (digits.size() <= 2) return value < 30 ? 2000 + value : 1900 + value;
  return value;
}

}  // namespace

std::vector<Token> TokenizeJetSql(std::string_view source) { return Tokenizer(source).Run(); }

std::optional<DateParts> ParseJetDateText(std::string_view text) {
  std::vector<DateItem> items;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (IsDigit(c)) {
      size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i - start > 4) return std::nullopt;
      items.push_back({DateItem::Kind::kNumber, std::string(text.substr(start, i - start))});
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t start = i;
      while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
      items.push_back({DateItem::Kind::kWord, Upper(text.substr(start, i - start))});
    } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ':') {
      items.push_back({DateItem::Kind::kSeparator, std::string(1, c)});
      ++i;
    } else if (c == ' ' || c == '\t') {
      ++i;
    } else {
      return std::nullopt;
    }
  }

  DateParts parts;
  // Time: the first number followed by ":", or a number followed by AM/PM.
  size_t timeStart = items.size();
  for (size_t i = 0; i + 1 < items.size(); ++i) {
    if (items[i].kind == DateItem::Kind::kNumber &&
        ((items[i + 1].kind == DateItem::Kind::kSeparator && items[i + 1].text == ":") ||
         (items[i + 1].kind == DateItem::Kind::kWord && (items[i + 1].text == "AM" || items[i + 1].text == "PM" ||
                                                         items[i + 1].text == "A" || items[i + 1].text == "P")))) {
      timeStart = i;
      break;
    }
  }
  bool haveTime = timeStart < items.size();
  if (haveTime) {
    int values[3] = {0, 0, 0};
    int count = 0;
    size_t i = timeStart;
    std::string meridian;
    while (i < items.size()) {
      const DateItem& item = items[i];
      if (item.kind == DateItem::Kind::kNumber && count < 3) {
        if (item.text.size() > 2) return std::nullopt;
        values[count++] = std::stoi(item.text);
        ++i;
        if (i < items.size() && items[i].kind == DateItem::Kind::kSeparator && items[i].text == ":") {
          ++i;
          if (i >= items.size() || items[i].kind != DateItem::Kind::kNumber) return std::nullopt;
        }
        continue;
      }
      if (item.kind == DateItem::Kind::kWord && meridian.empty() &&
          (item.text == "AM" || item.text == "PM" || item.text == "A" || item.text == "P")) {
        meridian = item.text;
        ++i;
        continue;
      }
      return std::nullopt;
    }
    int hour = values[0];
    if (!meridian.empty()) {
      if (hour < 0 || hour > 12) return std::nullopt;
      bool pm = meridian[0] == 'P';
      if (hour == 12) hour = 0;
      if (pm) hour += 12;
    }
    if (hour > 23 || values[1] > 59 || values[2] > 59) return std::nullopt;
    parts.hour = hour;
    parts.minute = values[1];
    parts.second = values[2];
    items.resize(timeStart);
  }

  // Date: numbers and at most one month name; separators only between them.
  std::vector<std::string> numbers;
  int namedMonth = 0;
  for (const DateItem& item : items) {
    if (item.kind == DateItem::Kind::kNumber) {
      numbers.push_back(item.text);
    } else if (item.kind == DateItem::Kind::kWord) {
      int month = MonthFromName(item.text);
      if (month == 0 || namedMonth != 0) return std::nullopt;
      namedMonth = month;
    }
  }
  if (numbers.empty() && namedMonth == 0) {
    if (!haveTime) return std::nullopt;
    return parts;  // a time alone lies on day 0
  }
  int year = 0, month = 0, day = 0;
  auto value = [&](size_t i) { return std::stoi(numbers[i]); };
  if (namedMonth != 0) {
    month = namedMonth;
    if (numbers.size() == 2) {
      day = value(0);
      year = WidenYear(numbers[1], value(1));
      if (numbers[0].size() > 2) {  // "1996 May 10"
        year = value(0);
        day = value(1);
      }
    } else if (numbers.size() == 1) {
      if (numbers[0].size() > 2 || value(0) > 31) {
        year = WidenYear(numbers[0], value(0));
        day = 1;
      } else {
        day = value(0);
        year = CurrentYear();
      }
    } else {
      return std::nullopt;
    }
  } else if (numbers.size() == 3) {
    if (numbers[0].size() > 2) {
      year = value(0), month = value(1), day = value(2);
    } else {
      month = value(0), day = value(1);
      year = WidenYear(numbers[2], value(2));
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else if (numbers.size() == 2) {
    month = value(0);
    if (numbers[1].size() > 2 || value(1) > 31) {
      year = WidenYear(numbers[1], value(1));
      day = 1;
    } else {
      day = value(1);
      year = CurrentYear();
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else {
    return std::nullopt;
  }
  if (year < 100 || year > 9999 || !IsValidDate(year, month, day)) return std::nullopt;
  parts.year = year;
  parts.month = month;
  parts.day = day;
  return parts;
}

}  // namespace lumo::jet
