#pragma once
// Free functions the dataset component shares between its concerns: name quoting for DAO
// criteria, cleaning of date texts typed by people, field-type names, the mapping of DAO
// field types onto the dataset's field types, and the "day number + milliseconds" text form
// in which record buffers and default values hold dates. Nothing here keeps state or talks to
// the engine; texts are UTF-8.
//
// Errors: none of these raise; a text that does not read gives an empty text or Null.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/DbTypes.h"
#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "runtime/Variant.h"

namespace lumo {

// The precision a field definition carries to mark a GUID column (an ftBytes field).
inline constexpr int32_t kGuidPrecision = 47554944;

// Every dot-separated part in square brackets: "Orders.Date" -> "[Orders].[Date]". Brackets
// already present are not looked at, so "[Name]" gives "[[Name]]".
std::string BracketName(std::string_view name);

// Keeps digits, "/", the date and the time separator of `settings`; everything else becomes a
// blank, runs of blanks shrink to one, and only the blank in front of the time survives:
// "08. 12. 2026 10:20" -> "08.12.2026 10:20" under German separators.
std::string NormalizeDateText(std::string_view text,
                              const FormatSettings& settings = CurrentFormatSettings());

// --- field lists, key values and literals of DAO criteria ------------------------------------

// The names of a field list: ";" and line breaks separate, each entry trimmed of blanks and
// control characters. An empty part stays an empty entry ("A;;B" gives three), a trailing
// ";" adds none, an empty text gives none.
std::vector<std::string> SplitFieldList(std::string_view text);

// One text per key value: the elements of an array (its first dimension, low to high bound),
// else the single value; Null is "NULL", everything else the variant's text under `settings`
// (numbers and dates in the user's format, Empty as ""). A byte array is one value.
std::vector<std::string> KeyValuesToText(const Variant& keyValues,
                                         const FormatSettings& settings = CurrentFormatSettings());

// Every double quote doubled, for a text between double quotes in a criterion.
std::string EscapeQuotes(std::string_view text);
// The characters Like reads as wildcards or lists ("*", "?", "#", "[", "]", "-") each put in a
// list of its own ("[*]"), so that a key is matched as written. "!" means something only at
// the start of a list and is left as it is ("[!]" would be a list that takes any character).
std::string EscapeLikeWildcards(std::string_view text);
// A number as criteria read it: the decimal separator of `settings` becomes ".", its
// thousand separator goes (German "1.234,5" -> "1234.5"); everything else is copied.
std::string NormalizeNumberText(std::string_view text,
                                const FormatSettings& settings = CurrentFormatSettings());

// "ftString", "ftSmallInt" (capital I), ...; "ftUnknown" for ftBytes, ftVarBytes and every
// type after ftMemo.
std::string FieldTypeName(TFieldType type);

// The dataset type of a DAO field. `format` is the field's "Format" property when it has one;
// it only matters for dbDate (time formats give ftTime, "General Date" or no format
// ftDateTime, any other format ftDate).
TFieldType DaoTypeToFieldType(int daoType, int attributes,
                              const std::optional<std::string>& format = std::nullopt);
// The size a field definition of that DAO type gets: the DAO size for text, binary, GUID and
// blob kinds (a Text size of 0 meaning 255), 0 for everything else.
int DaoTypeFieldSize(int daoType, int daoSize);

// The record-buffer form of a date: day number (1 Jan 0001 = 1), one blank, milliseconds
// since midnight.
std::string TimeStampText(const TTimeStamp& stamp);
// The same text written into `text`, reusing its room (a record's value is replaced this way
// on every read).
void AssignTimeStampText(const TTimeStamp& stamp, std::string& text);
// Reads that form back; nullopt unless there is a blank and both parts are integers.
std::optional<TTimeStamp> ParseTimeStampText(std::string_view text);
// The same as a Date variant; Null when the text does not read.
Variant TextToDateVariant(std::string_view text);

// A Jet date default without its "#" delimiters, month/day/year with an optional
// "h:n[:s] [AM|PM]" time ("1/15/2003", "12/31/1999 11:30:00 PM"), as the record-buffer date
// text; empty when it does not read.
std::string DateDefaultText(std::string_view jetDate);

}  // namespace lumo
