#include "jet/sql/JetDateText.h"

#include <cctype>
#include <ctime>
#include <string>
#include <vector>

namespace lumo::jet {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

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

// A year written with one or two digits lies in 1930-2029: 00-29 are 2000-2029, 30-99 are
// 1930-1999. That is the window the platform's date conversion applies by default (its
// "two-digit year cutoff" of 2029), so #1/1/29# and CDate("1/1/30") land in the same century
// here as they do for every DAO program reading the same text; a window sliding with the
// current year would make a stored criterion mean another date next year.
int WidenYear(const std::string& digits, int value) {
  if (digits.size() <= 2) return value < 30 ? 2000 + value : 1900 + value;
  return value;
}

}  // namespace

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
