#include "jet/sqlite/SqliteTextKeys.h"

#include <map>
#include <string>

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteStatement.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSuffix = ".jet_text";

std::string Quote(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }
std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsText(const ColumnInfo& column) {
  const int type = column.type.type;
  return type == dbText || type == dbMemo || type == dbChar;
}

// The triggers one unique index needs, by name, or none when no field of it is text.
void AddTriggers(const TableInfo& table, const IndexInfo& index, std::map<std::string, std::string>& wanted) {
  std::string cased;  // a new key could escape the NOCASE index
  std::string same;   // another row's key folds like the new one
  std::string equal;  // ... and the index itself takes it for the new key
  std::string columns;
  for (const IndexFieldInfo& field : index.fields) {
    const ColumnInfo* column = table.FindColumn(field.name);
    if (column == nullptr) return;
    const std::string c = Quote(column->name);
    if (!columns.empty()) columns += ", ";
    columns += c;
    if (!same.empty()) same += " AND ";
    if (!equal.empty()) equal += " AND ";
    // The column on the left: the comparison is the column's declared one, as in its index.
    equal += c + " = NEW." + c;
    if (!IsText(*column)) {
      same += c + " = NEW." + c;
      continue;
    }
    if (!cased.empty()) cased += " OR ";
    cased += "jet_text_cased(NEW." + c + ")";
    same += column->noCase ? c + " BETWEEN jet_text_first(NEW." + c + ") AND jet_text_last(NEW." + c + ") AND " : "";
    same += c + " = NEW." + c + " COLLATE jet_text";
  }
  if (cased.empty()) return;
  const std::string t = Quote(table.name);
  // A row the index itself finds equal is left to the index: it refuses the key, or the
  // statement's conflict clause takes that row (an upsert of the catalogue updates its own row;
  // the trigger fires before the conflict is resolved and would otherwise refuse it).
  const std::string refusal = "SELECT RAISE(ABORT, " + Literal(FunctionErrorMessage(3022)) +
                              ") WHERE EXISTS (SELECT 1 FROM main." + t + " WHERE " + same + " AND NOT (" + equal + ")";
  const std::string base = table.name + "." + index.name;
  wanted[base + ".insert" + kSuffix] =
      "BEFORE INSERT ON " + t + " FOR EACH ROW WHEN " + cased + " BEGIN " + refusal + "); END";
  wanted[base + ".update" + kSuffix] = "BEFORE UPDATE OF " + columns + " ON " + t + " FOR EACH ROW WHEN " + cased +
                                       " BEGIN " + refusal + " AND rowid <> OLD.rowid); END";
}

}  // namespace

void KeepTextKeysUnique(SqliteConnection& connection, SqliteStatement& temporaryTriggers, const TableInfo& table) {
  if (table.withoutRowId) return;
  std::map<std::string, std::string> wanted;  // trigger name -> its text after CREATE TEMP TRIGGER name
  for (const IndexInfo& index : table.indexes) {
    if (index.unique || index.primary) AddTriggers(table, index, wanted);
  }
  std::map<std::string, std::string> present;
  {
    SqliteStatement& statement = temporaryTriggers;
    statement.BindText(1, table.name);
    while (statement.Step()) {
      std::string name = statement.ColumnText(0);
      if (EndsWith(name, kSuffix)) present.emplace(std::move(name), statement.ColumnText(1));
    }
    statement.Reset();
  }
  for (const auto& [name, sql] : present) {
    auto found = wanted.find(name);
    // SQLite keeps the statement as written, less the word TEMP.
    if (found != wanted.end() && EndsWith(sql, Quote(name) + " " + found->second)) {
      wanted.erase(found);
      continue;
    }
    connection.Exec("DROP TRIGGER temp." + Quote(name));
  }
  for (const auto& [name, body] : wanted) connection.Exec("CREATE TEMP TRIGGER " + Quote(name) + " " + body);
}

}  // namespace lumo::jet
