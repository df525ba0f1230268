#pragma once
// Single-row writes to a server's tables (storage/RowWriter.h). Server rows are known by
// their primary keys (the target's PrimaryKeyMap): INSERT ... RETURNING the new row's key
// values (and the counter's, for @@IDENTITY), UPDATE ... RETURNING the key by its old values,
// DELETE by key, the row count telling whether the row was still there.
//
// Values reach the server in forms it converts exactly into the column's type: integers and
// doubles as numbers, text and binary data as they are, and the rest as text that the
// statement casts (Boolean true/false, Currency and decimals as their digits, dates as
// 'YYYY-MM-DD HH:MM:SS.fff', GUIDs braced), so that no value passes through a double on the
// way, and a text too long for its column is refused by the server (3163 with its message)
// instead of being cut.
//
// LockRow takes the row's lock for the rest of the caller's write transaction (SELECT ... FOR
// UPDATE): the optimistic check that follows it then compares against a row no other session
// can change before the write, and a pessimistic Edit holds the row as DAO's lock does. A row
// another session holds longer than the busy timeout answers 3218.

#include <memory>
#include <string>

#include "jet/JetTypes.h"
#include "jet/storage/RowWriter.h"
#include "runtime/Variant.h"

namespace lumo::jet {
class DatabaseFile;
namespace storage {
class Statement;
}  // namespace storage
}  // namespace lumo::jet

namespace lumo::jet::odbc {

std::unique_ptr<storage::RowWriter> MakeOdbcRowWriter(DatabaseFile& file);

// The SQL that takes parameter ?n as a value of DAO type `type` in the form BindServerValue
// binds it ("?3", "CAST(?3 AS timestamp)").
std::string ServerValueSql(int type, int parameter);
// Binds `value` (converted to the field's type first, raising 3163/3349/3421 as DAO does) as
// parameter `index` in that form.
void BindServerValue(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                     const std::string& fieldName);

}  // namespace lumo::jet::odbc
