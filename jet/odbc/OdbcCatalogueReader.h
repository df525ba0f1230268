#pragma once
// The schema of an ODBC data source, read through ODBC's own catalogue calls (SQLTables,
// SQLColumns, SQLStatistics, SQLPrimaryKeys, SQLForeignKeys) on the tables of the session's
// current schema. Names are found without regard to case, as DAO finds them, and then asked
// for as the server spells them.
//
// Server tables carry no integer row key for the engine's lists (withoutRowId, empty
// rowKey): dynasets name their rows by the primary key. A column whose default takes the
// next value of a sequence (serial) is a counter.
//
// SchemaVersion is a digest of the server's own catalogue rows for the tables, columns,
// indexes and constraints of the schema (their number and the transactions that last wrote
// them), which every CREATE, ALTER and DROP moves, whoever makes it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sql.h>

#include "jet/storage/CatalogueReader.h"
#include "jet/storage/Statement.h"

namespace lumo::jet::odbc {

class OdbcConnection;

// The DAO field type of a column as ODBC describes it: its SQL type (SQL_INTEGER, ...), the
// server's type name, its size (characters for text, precision for numbers) and decimal
// digits, and whether its default numbers the rows.
JetFieldType DaoTypeOfColumn(SQLSMALLINT sqlType, std::string_view typeName, int size, int digits, bool counter);

// The Jet text of a server's default expression ("0", "\"abc\"", "Now()"), or "" when Jet has
// no such default.
std::string JetDefaultOf(std::string_view serverDefault);

class OdbcCatalogueReader final : public storage::CatalogueReader {
 public:
  explicit OdbcCatalogueReader(OdbcConnection& connection) : connection_(connection) {}

  int64_t SchemaVersion() override;
  // Always 0: see the definition.
  int64_t OthersChangeCounter() override;
  std::vector<std::string> TableNames() override;
  bool ReadTable(std::string_view name, TableInfo& table) override;
  std::vector<RelationInfo> DeclaredRelations(std::string_view table) override;
  std::string ColumnCollation(std::string_view table, std::string_view column) override;
  // The server keeps its unique indexes and rules itself, for every session alike: nothing
  // is left for a connection to set up.
  void PrepareTableForWrites(const TableInfo& table) override { (void)table; }
  // No table on a server carries the engine's row-count bookkeeping (yet): every count reads
  // the table.
  bool RowCounted(const std::string& table) override {
    (void)table;
    return false;
  }

 private:
  const std::string& Schema();
  // The server's spelling of a table name, "" when the schema has no such table.
  std::string ServerName(std::string_view name);

  OdbcConnection& connection_;
  std::string schema_;
  std::unique_ptr<storage::Statement> schemaVersion_;
};

}  // namespace lumo::jet::odbc
