#include "jet/sqlite/SqliteRowCounts.h"

#include "jet/RecordSource.h"
#include "jet/RowCounts.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

}  // namespace

std::string RowCountTriggerName(const std::string& table, bool insert) {
  return table + (insert ? ".rowcount.insert" : ".rowcount.delete");
}

std::string RowCountTriggerSql(const std::string& table, bool insert) {
  return "CREATE TRIGGER " + QuoteName(RowCountTriggerName(table, insert)) +
         (insert ? " AFTER INSERT ON " : " AFTER DELETE ON ") + QuoteName(table) + " FOR EACH ROW BEGIN UPDATE " +
         kRowCountsTable + " SET Rows = Rows " + (insert ? "+" : "-") + " 1 WHERE TableName = " + Literal(table) +
         "; END";
}

}  // namespace lumo::jet
