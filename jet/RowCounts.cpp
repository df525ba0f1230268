#include "jet/RowCounts.h"

#include "jet/Catalogue.h"
#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/storage/SchemaWriter.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

}  // namespace

void AddRowCount(DatabaseFile& file, const std::string& table) {
  file.CheckWritable();
  file.SchemaChanges("DAO.Database")->AddRowCount(table);
}

void ForgetRowCount(DatabaseFile& file, const std::string& table) {
  if (!file.OwnedByEngine() || !file.Schema().HasTable(kRowCountsTable)) return;
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
