#pragma once
// The text forms in which the dataset's record buffers hold field values, and the
// conversions between them and the framework's binary value forms.
//
//   integers            decimal text                   Boolean   "True" / "False"
//   floats, currency    general text, 15 digits, the locale's decimal separator
//   dates and times     "<day number> <milliseconds>" (1 Jan 0001 = day 1)
//   GUIDs               "{guid {XXXXXXXX-...}}", the all-zero GUID as empty text
//   empty text          Null
//
// The Text... readers leave the destination untouched when the text does not read and
// answer whether a value was delivered (see each). TextToGuid raises EConvertError for a
// malformed GUID; nothing else raises.

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Guid.h"
#include "runtime/Variant.h"

namespace lumo {

// Empty text writes 0 and answers false; otherwise an integer, or a float rounded to the
// nearest integer; unreadable text leaves the destination and answers true.
bool TextToInteger(std::string_view text, int32_t& destination);
// Empty text writes 0 and answers false; unreadable text leaves the destination, answers true.
bool TextToFloat(std::string_view text, double& destination);
// Empty text answers false; "false"/"no"/"off" give 0, "true"/"yes"/"on"/"-1" give 1 (any
// case, one leading "=" ignored), other integers as they are.
bool TextToBoolean(std::string_view text, int16_t& destination);
// The "<day> <ms>" form; false (destination untouched) unless both parts read.
bool TextToDate(std::string_view text, int32_t& dayNumber);
bool TextToTime(std::string_view text, int32_t& milliseconds);
bool TextToDateTime(std::string_view text, double& millisecondsSinceDayOne);
// "{guid {...}}" or a bare braced GUID text into its 16 bytes.
GuidBytes TextToGuid(std::string_view text);

std::string IntegerToText(int32_t value);
std::string BooleanToText(int16_t value);
std::string FloatToText(double value);
std::string DateToText(int32_t dayNumber);
std::string TimeToText(int32_t milliseconds);
// Rounded to whole milliseconds; empty when the value is outside the calendar.
std::string DateTimeToText(double millisecondsSinceDayOne);
std::string GuidToText(const GuidBytes& bytes);
// A DAO date value as record text, written into `text` (its room is reused); empty when the
// value is outside the calendar.
void DateVariantToText(const Variant& value, std::string& text);
// The braced text of a GUID held as a 16-byte value; empty for anything else and for the
// zero GUID.
std::string GuidVariantToText(const Variant& value);

// "{guid {X}}" / "{X}" -> "{X}" as a GUID field shows it.
std::string StripGuidPrefix(std::string_view text);

// Array values: a memo's value as text; for other fields the first `count` bytes of the
// array (never more than it holds). Null, Empty or a count of 0 give empty text.
std::string ArrayToText(bool memo, const Variant& value, int count);
// A memo's text as a string value; for other fields a byte array with bounds 0..length-1.
Variant TextToArray(bool memo, const std::string& text);

}  // namespace lumo
