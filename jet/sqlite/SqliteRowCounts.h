#pragma once
// How an SQLite file keeps the row counts of RowCounts.h: two triggers beside the table,
// "<table>.rowcount.insert" and "<table>.rowcount.delete", move its row of MSysRowCounts by
// one with every row added or removed, in the same transaction as the row. The schema writer
// writes them (SqliteSchemaWriter::AddRowCount); the catalogue reader takes a table for
// counted only while both are stored exactly so, so that a trigger another tool changed
// counts as none.

#include <string>

namespace lumo::jet {

// The name and the stored text of the insert (or delete) trigger of `table`.
std::string RowCountTriggerName(const std::string& table, bool insert);
std::string RowCountTriggerSql(const std::string& table, bool insert);

}  // namespace lumo::jet
