#pragma once
// The fields of a query's result (engine-internal): a column SQLite traces to a table column
// takes that column's type and rules from the catalogue; a computed one the type the
// translator derived from its expression; a column neither can type (a Null, a parameter
// nobody declared) the type of its value in the first row.

#include <string>
#include <vector>

#include "jet/RecordSource.h"
#include "jet/sql/JetSqlTranslator.h"

namespace lumo::jet {

class DatabaseFile;
namespace storage {
class Statement;
}  // namespace storage

// The columns of a prepared statement. baseTable: the table whose columns are base columns
// of an updatable recordset (empty for none). Columns left without a type have type 0.
std::vector<RecordsetColumn> DescribeResultColumns(DatabaseFile& file, const storage::Statement& statement,
                                                   const std::string& baseTable,
                                                   const std::vector<ResultColumnType>& derived);

bool HasUntypedColumns(const std::vector<RecordsetColumn>& columns);

// Gives the columns without a type the type of their value in the statement's first row
// (whole numbers Long, other numbers Double, stored dates Date, other text Text, or Memo
// beyond 255 characters, bytes Long Binary); Text when there is no row or the value is Null.
// The statement must be bound and is reset afterwards.
void TypeFromFirstRow(std::vector<RecordsetColumn>& columns, storage::Statement& statement);

}  // namespace lumo::jet
