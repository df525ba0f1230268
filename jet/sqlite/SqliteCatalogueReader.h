#pragma once
// The catalogue reader of an SQLite connection: sqlite_master and the pragma table functions
// (table_info, index_list, index_xinfo, foreign_key_list), read through statements of its own
// that it prepares once. What the declarations say maps to DAO by JetTypes; a column declared
// exactly INTEGER that is the table's only primary key column is the row key (it aliases the
// row id); other tables have "rowid" as their row key, WITHOUT ROWID ones none.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/storage/CatalogueReader.h"

namespace lumo::jet {

class SqliteConnection;
class SqliteStatement;

class SqliteCatalogueReader final : public storage::CatalogueReader {
 public:
  explicit SqliteCatalogueReader(SqliteConnection& connection);
  ~SqliteCatalogueReader() override;
  SqliteCatalogueReader(const SqliteCatalogueReader&) = delete;
  SqliteCatalogueReader& operator=(const SqliteCatalogueReader&) = delete;

  int64_t SchemaVersion() override;
  int64_t OthersChangeCounter() override;
  std::vector<std::string> TableNames() override;
  bool ReadTable(std::string_view name, TableInfo& table) override;
  std::vector<RelationInfo> DeclaredRelations(std::string_view table) override;
  std::string ColumnCollation(std::string_view table, std::string_view column) override;
  // The TEMP triggers of SqliteTextKeys.h.
  void PrepareTableForWrites(const TableInfo& table) override;
  // Both triggers of SqliteRowCounts.h, stored exactly as written.
  bool RowCounted(const std::string& table) override;

 private:
  enum Query {
    kSchemaVersion,
    kDataVersion,
    kTableNames,
    kTableSql,
    kColumns,
    kIndexes,
    kIndexColumns,
    kForeignKeys,
    kTemporaryTriggers,
    kRowCountTriggers,
    kQueryCount
  };
  SqliteStatement& Statement(Query query);
  void ReadColumns(TableInfo& table);
  void ReadIndexes(TableInfo& table);

  SqliteConnection& connection_;
  std::unique_ptr<SqliteStatement> statements_[kQueryCount];
};

}  // namespace lumo::jet
