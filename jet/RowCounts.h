#pragma once
// The exact number of rows of a table, kept in the file so that asking for it does not read
// the table: MSysRowCounts (TableName, Rows) holds one row per counted table, and the
// back-end moves it with every row added or removed, in the same transaction as the row
// (the SQLite back-end by two triggers beside the table, sqlite/SqliteRowCounts.h). Every
// writer of the file keeps it right that way, the stock shell included, and a writer that
// dies in the middle of a transaction takes its rows and their counting with it.
//
// The engine counts every table it creates. A table made by another tool has no such
// bookkeeping until AddRowCount gives it; until then its rows are counted by reading it. A
// writer that replaces rows through a conflict clause on a connection without recursive
// triggers removes rows unseen by the bookkeeping: AddRowCount counts such a table afresh.
//
// Whether a table is counted is the catalogue reader's to say (CatalogueReader::RowCounted,
// read by the catalogue into TableInfo::rowCounted).

#include <cstdint>
#include <string>

namespace lumo::jet {

class DatabaseFile;
struct TableInfo;

inline constexpr const char* kRowCountsTable = "MSysRowCounts";

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
