#pragma once
// The exact number of rows of a table, kept in the file so that asking for it does not read
// the table: MSysRowCounts (TableName, Rows) holds one row per counted table, and two
// triggers beside the table ("<table>.rowcount.insert", "<table>.rowcount.delete") move it
// with every row added or removed, in the same transaction as the row itself. Every writer
// of the file keeps it right that way, the stock shell included, and a writer that dies in
// the middle of a transaction takes its rows and their counting with it.
//
// The engine counts every table it creates. A table made by another tool has no such
// triggers until AddRowCount gives it them; until then its rows are counted by reading it.
// A writer that replaces rows through a conflict clause (INSERT OR REPLACE) on a connection
// without recursive triggers removes rows without the delete trigger: AddRowCount counts
// such a table afresh.

#include <cstdint>
#include <string>

namespace lumo::jet {

class DatabaseFile;
struct TableInfo;

inline constexpr const char* kRowCountsTable = "MSysRowCounts";

// Whether `table` carries both triggers exactly as the engine writes them (read by the
// catalogue into TableInfo::rowCounted).
bool ReadRowCounted(DatabaseFile& file, const std::string& table);

// Gives `table` (its exact name) its count: MSysRowCounts made when missing, the table counted
// once, the triggers written (again). A write of its own, or part of the caller's
// transaction. Raises 3027 on a read-only file.
void AddRowCount(DatabaseFile& file, const std::string& table);

// Forgets the count of a dropped table (its triggers went with it).
void ForgetRowCount(DatabaseFile& file, const std::string& table);

// An SQL expression for the number of rows of the table: the kept count where the table has
// one, else a count over the table. Either way the expression reads the file's current state
// within the statement it is part of.
std::string TableRowsExpression(const TableInfo& table);

// The number of rows of the table now.
int64_t TableRows(DatabaseFile& file, const TableInfo& table);

}  // namespace lumo::jet
