#pragma once
// Stored SQLite values <-> Variants, by DAO field type. The one place that knows the stored
// forms of JetTypes.h: dates as fixed-width text, Booleans -1/0, GUIDs as braced text,
// currency as a number with four decimals.
//
// What a field hands out, by type: Boolean a Boolean; Byte and Integer a Smallint; Long an
// Integer; BigInt an Int64; Currency a Currency; Single and Double a Double; Date a Date;
// Text and Memo a String; Binary and Long Binary a byte array; GUID the text
// "{guid {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}}", the form DAO hands out and takes back.
//
// Writing checks what DAO checks when a value is assigned or saved: a text longer than the
// field (3163), a number out of the field's range (3349 "Numeric field overflow."), a value
// that does not convert to the field's type (3421 "Data type conversion error.").

#include <optional>
#include <string>

#include "jet/JetTypes.h"
#include "runtime/Variant.h"

namespace lumo::jet {

namespace storage {
class Statement;
}  // namespace storage

// The Variant of column `column` of the current row, read as a field of type `type`. A value
// that does not fit the type (a foreign file's text in a date column) comes back as stored.
Variant ReadColumnValue(const storage::Statement& statement, int column, const JetFieldType& type);

// `value` converted to what a field of type `type` holds (the forms listed above), raising
// 3163/3349/3421 as DAO does on assignment. Null and Empty give Null.
Variant ConvertFieldValue(const Variant& value, const JetFieldType& type, const std::string& fieldName);

// The same for a value the caller gives up: a text or byte array already of the field's
// kind moves into the result instead of being copied (memo texts and long binary data may be
// as large as the file allows).
Variant ConvertFieldValue(Variant&& value, const JetFieldType& type, const std::string& fieldName);

// Binds `value` as parameter `index` in the stored form of `type` (converting it first as
// ConvertFieldValue does).
void BindFieldValue(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                    const std::string& fieldName);
// The same, but a text or byte array already of the field's kind is bound where it lies, not
// copied: `value` must outlive the step, and the caller clears the bindings afterwards.
void BindFieldValueInPlace(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                           const std::string& fieldName);

// Binds a value whose field type is unknown (a query parameter, a criterion value): dates
// in the stored text form, Booleans -1/0, currency as a number, the rest as they are. An
// array of variants answers 3464.
void BindPlainValue(storage::Statement& statement, int index, const Variant& value);

// The stored text of a GUID value given as "{guid {...}}", "{...}", the bare 36 characters
// or 16 bytes; nullopt when it is none of these.
std::optional<std::string> StoredGuidText(const Variant& value);

}  // namespace lumo::jet
