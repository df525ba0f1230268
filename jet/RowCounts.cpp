#include "jet/RowCounts.h"

#include "jet/Catalogue.h"
#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

std::string TriggerName(const std::string& table, bool insert) {
  return table + (insert ? ".rowcount.insert" : ".rowcount.delete");
}

// The trigger as the engine writes it; the catalogue takes a table for counted only when
// both are stored exactly so.
std::string TriggerSql(const std::string& table, bool insert) {
  return "CREATE TRIGGER " + QuoteName(TriggerName(table, insert)) +
         (insert ? " AFTER INSERT ON " : " AFTER DELETE ON ") + QuoteName(table) + " FOR EACH ROW BEGIN UPDATE " +
         kRowCountsTable + " SET Rows = Rows " + (insert ? "+" : "-") + " 1 WHERE TableName = " + Literal(table) +
         "; END";
}

}  // namespace

bool ReadRowCounted(DatabaseFile& file, const std::string& table) {
  storage::Statement& statement = file.Statement(
      "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 AND "
      "((name = ?2 AND sql = ?3) OR (name = ?4 AND sql = ?5)) AND EXISTS "
      "(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'MSysRowCounts')");
  statement.BindText(1, table);
  statement.BindText(2, TriggerName(table, true));
  statement.BindText(3, TriggerSql(table, true));
  statement.BindText(4, TriggerName(table, false));
  statement.BindText(5, TriggerSql(table, false));
  const bool counted = statement.Step() && statement.ColumnInt64(0) == 2;
  statement.Reset();
  return counted;
}

void AddRowCount(DatabaseFile& file, const std::string& table) {
  file.CheckWritable();
  WriteScope scope(file);
  storage::Connection& connection = file.Connection();
  connection.Exec(std::string("CREATE TABLE IF NOT EXISTS ") + kRowCountsTable +
                  " (TableName VARCHAR(255) COLLATE NOCASE NOT NULL PRIMARY KEY, Rows INTEGER NOT NULL DEFAULT 0)");
  for (bool insert : {true, false}) {
    connection.Exec("DROP TRIGGER IF EXISTS " + QuoteName(TriggerName(table, insert)));
  }
  // Counted and written in one transaction: no other writer comes in between.
  connection.Exec(std::string("INSERT INTO ") + kRowCountsTable + " (TableName, Rows) SELECT " + Literal(table) +
                  ", count(*) FROM " + QuoteName(table) +
                  " WHERE 1 ON CONFLICT (TableName) DO UPDATE SET Rows = excluded.Rows");
  for (bool insert : {true, false}) connection.Exec(TriggerSql(table, insert));
  scope.Commit();
  file.Schema().Invalidate();
}

void ForgetRowCount(DatabaseFile& file, const std::string& table) {
  if (!file.Schema().HasTable(kRowCountsTable)) return;
  storage::Statement& statement =
      file.Statement(std::string("DELETE FROM ") + kRowCountsTable + " WHERE TableName = ?1");
  statement.BindText(1, table);
  statement.Step();
  statement.Reset();
}

std::string TableRowsExpression(const TableInfo& table) {
  const std::string counted = "(SELECT count(*) FROM " + QuoteName(table.name) + ")";
  if (!table.rowCounted) return counted;
  // Should the table's row in MSysRowCounts be gone, the table is counted after all.
  return std::string("coalesce((SELECT Rows FROM ") + kRowCountsTable + " WHERE TableName = " + Literal(table.name) +
         "), " + counted + ")";
}

int64_t TableRows(DatabaseFile& file, const TableInfo& table) {
  storage::Statement& statement = file.Statement("SELECT " + TableRowsExpression(table));
  const int64_t rows = statement.Step() ? statement.ColumnInt64(0) : 0;
  statement.Reset();
  return rows;
}

}  // namespace lumo::jet
