#include "dao/dataset/DaoValueText.h"

#include <cmath>

#include "dao/dataset/DaoUtils.h"
#include "runtime/DateTime.h"
#include "runtime/NumberText.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr std::string_view kGuidPrefix = "{guid ";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool TextToInteger(std::string_view text, int32_t& destination) {
  if (text.empty()) {
    destination = 0;
    return false;
  }
  int32_t value = 0;
  if (TryStrToInt(text, value)) {
    destination = value;
    return true;
  }
  double number = 0;
  if (TryStrToFloat(text, number) && std::isfinite(number) && number >= INT32_MIN &&
      number <= INT32_MAX) {
    destination = static_cast<int32_t>(std::nearbyint(number));
  }
  return true;
}

bool TextToFloat(std::string_view text, double& destination) {
  if (text.empty()) {
    destination = 0;
    return false;
  }
  double value = 0;
  if (TryStrToFloat(text, value)) destination = value;
  return true;
}

bool TextToBoolean(std::string_view text, int16_t& destination) {
  if (text.empty()) return false;
  if (text.front() == '=') text.remove_prefix(1);
  std::string_view normal = text;
  if (SameText(text, "false") || SameText(text, "no") || SameText(text, "off")) {
    normal = "0";
  } else if (SameText(text, "true") || SameText(text, "yes") || SameText(text, "on") ||
             text == "-1") {
    normal = "1";
  }
  int32_t value = 0;
  if (TryStrToInt(normal, value)) destination = static_cast<int16_t>(value);
  return true;
}

bool TextToDate(std::string_view text, int32_t& dayNumber) {
  auto stamp = ParseTimeStampText(text);
  if (!stamp) return false;
  dayNumber = stamp->Date;
  return true;
}

bool TextToTime(std::string_view text, int32_t& milliseconds) {
  auto stamp = ParseTimeStampText(text);
  if (!stamp) return false;
  milliseconds = stamp->Time;
  return true;
}

bool TextToDateTime(std::string_view text, double& millisecondsSinceDayOne) {
  auto stamp = ParseTimeStampText(text);
  if (!stamp) return false;
  millisecondsSinceDayOne = TimeStampToMSecs(*stamp);
  return true;
}

std::string StripGuidPrefix(std::string_view text) {
  std::string rest(text);
  if (StartsWithNoCase(rest, kGuidPrefix)) {
    rest.erase(0, kGuidPrefix.size());
    if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, "}}") == 0) rest.pop_back();
  }
  return rest;
}

GuidBytes TextToGuid(std::string_view text) {
  return GuidToBytes(StringToGuid(AnsiUpperCase(StripGuidPrefix(text))));
}

std::string IntegerToText(int32_t value) { return IntToStr(value); }

std::string BooleanToText(int16_t value) { return value == 0 ? "False" : "True"; }

std::string FloatToText(double value) { return FloatToStr(value); }

std::string DateToText(int32_t dayNumber) { return IntToStr(dayNumber) + " 0"; }

std::string TimeToText(int32_t milliseconds) {
  return IntToStr(kDateDelta) + ' ' + IntToStr(milliseconds);
}

std::string DateTimeToText(double millisecondsSinceDayOne) {
  if (!std::isfinite(millisecondsSinceDayOne)) return {};
  double rounded = std::round(millisecondsSinceDayOne);
  double day = std::floor(rounded / kMSecsPerDay);
  if (day < 1 || day > kMaxDayNumber) return {};
  auto msecs = static_cast<int32_t>(rounded - day * kMSecsPerDay);
  return TimeStampText(TTimeStamp{msecs, static_cast<int32_t>(day)});
}

std::string GuidToText(const GuidBytes& bytes) {
  TGuid guid = GuidFromBytes(bytes);
  if (IsNullGuid(guid)) return {};
  return std::string(kGuidPrefix) + GuidToString(guid) + "}";
}

std::string GuidVariantToText(const Variant& value) {
  std::vector<uint8_t> bytes;
  try {
    bytes = value.AsBytes();
  } catch (const Exception&) {
    return {};
  }
  if (bytes.size() != 16) return {};
  const TGuid guid = GuidFromBytes(bytes.data(), bytes.size());
  return IsNullGuid(guid) ? std::string() : GuidToString(guid);
}

void DateVariantToText(const Variant& value, std::string& text) {
  try {
    TTimeStamp stamp{};
    if (TryDateTimeToTimeStamp(value.AsDateTime(), stamp)) {
      AssignTimeStampText(stamp, text);
      return;
    }
  } catch (const Exception&) {
    // A value that does not convert to a date reads as no date.
  }
  text.clear();
}

std::string ArrayToText(bool memo, const Variant& value, int count) {
  if (value.IsNull() || value.IsEmpty() || count <= 0) return {};
  if (memo) return value.AsString();
  std::vector<uint8_t> bytes = value.IsArray() ? value.AsBytes() : std::vector<uint8_t>{};
  if (!value.IsArray()) {
    std::string text = value.AsString();
    bytes.assign(text.begin(), text.end());
  }
  size_t taken = std::min(bytes.size(), static_cast<size_t>(count));
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
}

Variant TextToArray(bool memo, const std::string& text) {
  if (memo) return Variant(text);
  return Variant(std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace lumo
