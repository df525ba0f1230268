#pragma once
// A field's default as an SQLite DEFAULT expression (FieldDefault.h has the engine's side).
// The expressions use SQLite's own functions only, so that a file stays usable without the
// engine and the stock shell's inserts fill the column as the engine's do.

#include <string>
#include <string_view>

#include "jet/FieldDefault.h"
#include "jet/JetTypes.h"

namespace lumo::jet {

// The DEFAULT expression of a parsed default; empty for none.
std::string SqliteDefaultExpression(const FieldDefault& value);
// The same for a DefaultValue text; raises 3075 for a text the engine cannot store.
std::string SqliteDefaultExpression(std::string_view jetDefault, const JetFieldType& type);

// What a column's stored DEFAULT expression means, written by the engine or another tool.
FieldDefault ReadSqliteDefault(std::string_view sqliteDefault);
// The Jet text of it ("\"abc\"", "0", "#1/15/2003#", "Now()", ...), as DAO's DefaultValue
// shows it; empty for none.
std::string JetDefaultText(std::string_view sqliteDefault, const JetFieldType& type);

}  // namespace lumo::jet
