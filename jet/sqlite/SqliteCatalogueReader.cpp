#include "jet/sqlite/SqliteCatalogueReader.h"

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteFieldDefault.h"
#include "jet/sqlite/SqliteRowCounts.h"
#include "jet/sqlite/SqliteStatement.h"
#include "jet/sqlite/SqliteTextKeys.h"
#include "jet/sqlite/SqliteTypes.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSql[] = {
    "PRAGMA schema_version",
    // Moves with the commits of other connections only, unlike SQLITE_FCNTL_DATA_VERSION.
    "PRAGMA data_version",
    "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
    "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1",
    "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1)",
    "SELECT name, \"unique\", origin FROM pragma_index_list(?1) ORDER BY seq DESC",
    "SELECT name, \"desc\" FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno",
    "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq",
    "SELECT name, sql FROM sqlite_temp_master WHERE type = 'trigger' AND tbl_name = ?1",
    // The row-count triggers stored exactly as the schema writer writes them, and their table.
    "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 AND "
    "((name = ?2 AND sql = ?3) OR (name = ?4 AND sql = ?5)) AND EXISTS "
    "(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'MSysRowCounts')",
};

std::string Upper(std::string_view text) { return UpperCaseAscii(text); }

int64_t SingleNumber(SqliteStatement& statement) {
  const int64_t value = statement.Step() ? statement.ColumnInt64(0) : 0;
  statement.Reset();
  return value;
}

}  // namespace

SqliteCatalogueReader::SqliteCatalogueReader(SqliteConnection& connection) : connection_(connection) {}
SqliteCatalogueReader::~SqliteCatalogueReader() = default;

SqliteStatement& SqliteCatalogueReader::Statement(Query query) {
  std::unique_ptr<SqliteStatement>& statement = statements_[query];
  if (!statement) {
    statement = std::make_unique<SqliteStatement>(connection_, kSql[query]);
  } else {
    statement->Reset();
    statement->ClearBindings();
  }
  return *statement;
}

int64_t SqliteCatalogueReader::SchemaVersion() { return SingleNumber(Statement(kSchemaVersion)); }

int64_t SqliteCatalogueReader::OthersChangeCounter() { return SingleNumber(Statement(kDataVersion)); }

std::vector<std::string> SqliteCatalogueReader::TableNames() {
  SqliteStatement& statement = Statement(kTableNames);
  std::vector<std::string> names;
  while (statement.Step()) names.push_back(statement.ColumnText(0));
  statement.Reset();
  return names;
}

bool SqliteCatalogueReader::ReadTable(std::string_view name, TableInfo& table) {
  SqliteStatement& master = Statement(kTableSql);
  master.BindText(1, name);
  const bool found = master.Step();
  const std::string sql = found ? master.ColumnText(0) : std::string();
  master.Reset();
  if (!found) return false;
  table.name = std::string(name);
  const std::string upperSql = Upper(sql);
  table.withoutRowId = upperSql.find("WITHOUT ROWID") != std::string::npos;
  table.autoIncrement = upperSql.find("AUTOINCREMENT") != std::string::npos;
  ReadColumns(table);
  ReadIndexes(table);
  return true;
}

void SqliteCatalogueReader::ReadColumns(TableInfo& table) {
  SqliteStatement& statement = Statement(kColumns);
  statement.BindText(1, table.name);
  int primaryKeyColumns = 0;
  int rowKeyCandidate = -1;
  while (statement.Step()) {
    ColumnInfo column;
    column.name = statement.ColumnText(0);
    const std::string declared = statement.ColumnText(1);
    column.required = statement.ColumnInt64(2) != 0;
    if (statement.TypeOf(3) != ColumnType::Null) column.sqliteDefault = statement.ColumnText(3);
    const int64_t pk = statement.ColumnInt64(4);
    column.ordinal = static_cast<int>(table.columns.size());
    if (pk > 0) {
      ++primaryKeyColumns;
      // Only a column declared exactly INTEGER aliases the row id.
      if (Upper(Trim(declared)) == "INTEGER") rowKeyCandidate = column.ordinal;
    }
    column.type = MapDeclaredType(declared, false);
    table.columns.push_back(std::move(column));
  }
  statement.Reset();
  if (primaryKeyColumns == 1 && rowKeyCandidate >= 0 && !table.withoutRowId) {
    ColumnInfo& key = table.columns[static_cast<size_t>(rowKeyCandidate)];
    key.isRowKey = true;
    table.rowKey = key.name;
    if (table.autoIncrement) key.type = MapDeclaredType("INTEGER", true);
  } else {
    table.rowKey = table.withoutRowId ? std::string() : std::string("rowid");
    table.autoIncrement = false;
  }
  for (ColumnInfo& column : table.columns) {
    const int type = column.type.type;
    column.allowZeroLength = type == dbText || type == dbMemo || type == dbChar;
    if (column.allowZeroLength) column.noCase = AnsiSameText(ColumnCollation(table.name, column.name), "NOCASE");
    column.defaultValue = JetDefaultText(column.sqliteDefault, column.type);
  }
}

void SqliteCatalogueReader::ReadIndexes(TableInfo& table) {
  struct Listed {
    std::string sqliteName;
    bool unique;
    bool primary;
  };
  std::vector<Listed> listed;
  {
    SqliteStatement& statement = Statement(kIndexes);
    statement.BindText(1, table.name);
    while (statement.Step()) {
      listed.push_back({statement.ColumnText(0), statement.ColumnInt64(1) != 0, statement.ColumnTextView(2) == "pk"});
    }
    statement.Reset();
  }
  for (const Listed& entry : listed) {
    IndexInfo index;
    index.sqliteName = entry.sqliteName;
    index.unique = entry.unique;
    // A primary key SQLite holds without an index name of ours gets its Jet name from the
    // catalogue's bookkeeping.
    index.primary = entry.primary;
    index.required = entry.primary;
    if (!entry.primary) index.name = JetIndexName(entry.sqliteName, table.name);
    SqliteStatement& statement = Statement(kIndexColumns);
    statement.BindText(1, entry.sqliteName);
    while (statement.Step()) {
      // An expression column has no name; it cannot be a Jet index field.
      if (statement.TypeOf(0) == ColumnType::Null) continue;
      index.fields.push_back({statement.ColumnText(0), statement.ColumnInt64(1) != 0});
    }
    statement.Reset();
    table.indexes.push_back(std::move(index));
  }
}

std::vector<RelationInfo> SqliteCatalogueReader::DeclaredRelations(std::string_view table) {
  std::vector<RelationInfo> relations;
  SqliteStatement& statement = Statement(kForeignKeys);
  statement.BindText(1, table);
  int64_t current = -1;
  while (statement.Step()) {
    const int64_t id = statement.ColumnInt64(0);
    if (id != current) {
      current = id;
      RelationInfo relation;
      relation.table = statement.ColumnText(1);
      relation.foreignTable = std::string(table);
      // Named as Jet names relations it did not name: the primary table's name, then the
      // foreign table's.
      relation.name = relation.table + relation.foreignTable;
      relation.declared = true;
      relations.push_back(std::move(relation));
    }
    relations.back().foreignFields.push_back(statement.ColumnText(2));
    relations.back().fields.push_back(statement.TypeOf(3) == ColumnType::Null ? std::string()
                                                                              : statement.ColumnText(3));
  }
  statement.Reset();
  return relations;
}

void SqliteCatalogueReader::PrepareTableForWrites(const TableInfo& table) {
  KeepTextKeysUnique(connection_, Statement(kTemporaryTriggers), table);
}

bool SqliteCatalogueReader::RowCounted(const std::string& table) {
  SqliteStatement& statement = Statement(kRowCountTriggers);
  statement.BindText(1, table);
  statement.BindText(2, RowCountTriggerName(table, true));
  statement.BindText(3, RowCountTriggerSql(table, true));
  statement.BindText(4, RowCountTriggerName(table, false));
  statement.BindText(5, RowCountTriggerSql(table, false));
  const bool counted = statement.Step() && statement.ColumnInt64(0) == 2;
  statement.Reset();
  return counted;
}

std::string SqliteCatalogueReader::ColumnCollation(std::string_view table, std::string_view column) {
  return connection_.ColumnCollation(std::string(table), std::string(column));
}

}  // namespace lumo::jet
