#pragma once
// Stored SQLite values <-> Variants, by DAO field type. The one place that knows the stored
// forms of JetTypes.h: dates as fixed-width text, Booleans -1/0, GUIDs as braced text,
// currency as a number with four decimals.
//
// Writing checks what DAO checks at Update: a text longer than the field (3163), a number
// out of the field's range (3349), a value of the wrong kind (3464 "Data type mismatch").

#include <string>

#include "runtime/Variant.h"
#include "jet/JetTypes.h"

namespace lumo::jet {

class SqliteStatement;

// The Variant of column `column` of the current row, read as a field of type `type`. A value
// that does not fit the type (a foreign file's text in a date column) comes back as stored.
Variant ReadColumnValue(const SqliteStatement& statement, int column, const JetFieldType& type);

// Binds `value` as parameter `index` in the stored form of `type`.
void BindFieldValue(SqliteStatement& statement, int index, const Variant& value,
                    const JetFieldType& type, const std::string& fieldName);

// Binds a value whose field type is unknown (a query parameter, a criterion value): dates
// in the stored text form, Booleans -1/0, the rest as they are.
void BindPlainValue(SqliteStatement& statement, int index, const Variant& value);

}  // namespace lumo::jet
