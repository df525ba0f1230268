#pragma once
// What a back-end's own schema says about its tables, read without the engine's bookkeeping:
// table names, columns with their declared types, indexes, the row key, foreign keys declared
// by other tools. The Catalogue (jet/Catalogue.h) adds what only the MSys tables hold (object
// dates, index flags, Required where a column could not be declared NOT NULL), caches the
// result and drops it when SchemaVersion moves.
//
// Contract: every call reads the schema as of now, through the connection that handed the
// reader out; failures raise the DAO error of the back-end's mapping. Not thread-safe.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"
#include "runtime/Variant.h"

namespace lumo::jet {

struct ColumnInfo {
  std::string name;
  JetFieldType type;
  int ordinal = 0;              // 0-based position in the table
  bool required = false;        // NOT NULL
  bool allowZeroLength = true;  // Text and Memo only; false for other types
  std::string defaultValue;     // Jet text of the default ("0", "\"abc\"", "Now()"), or empty
  std::string sqliteDefault;    // the column's stored DEFAULT expression as declared, or empty
  bool isRowKey = false;        // the integer key that is the table's row identity
  bool noCase = true;           // text declared COLLATE NOCASE; false for text compared as stored
};

struct IndexFieldInfo {
  std::string name;
  bool descending = false;
};

struct IndexInfo {
  std::string name;        // Jet name ("PrimaryKey")
  std::string sqliteName;  // the stored name "<table>.<index>", or empty for the row key's implicit index
  std::vector<IndexFieldInfo> fields;
  bool primary = false;
  bool unique = false;
  bool required = false;
  bool ignoreNulls = false;
  bool foreign = false;  // made for a relation in which the table is the foreign side
};

// A relation between a primary table (Table) and the table whose rows refer to it
// (ForeignTable): the fields pair up in order.
struct RelationInfo {
  std::string name;
  std::string table;
  std::string foreignTable;
  int attributes = 0;                      // dbRelationDontEnforce, dbRelationUpdateCascade, ...
  std::vector<std::string> fields;         // of the primary table
  std::vector<std::string> foreignFields;  // of the foreign table
  bool declared = false;                   // a FOREIGN KEY clause of a file made by another tool:
                                           // described, not enforced by the engine

  bool Involves(std::string_view tableName) const;
};

struct TableInfo {
  std::string name;        // as created (the catalogue's spelling)
  int32_t attributes = 0;  // dbSystemObject for MSys tables
  std::vector<ColumnInfo> columns;
  std::vector<IndexInfo> indexes;
  std::string rowKey;          // the column that is the row identity, or the back-end's name for
                               // the row key when no column is it (empty for none)
  bool withoutRowId = false;   // the table has no row identity for keysets
  bool autoIncrement = false;  // the row key is a counter
  bool rowCounted = false;     // MSysRowCounts keeps its number of rows (RowCounts.h)
  Variant dateCreated;         // Date, or Null when unknown
  Variant lastUpdated;

  // Look-ups without regard to case; nullptr when absent.
  const ColumnInfo* FindColumn(std::string_view columnName) const;
  const IndexInfo* FindIndex(std::string_view indexName) const;
  // The primary index, or nullptr.
  const IndexInfo* PrimaryIndex() const;
};

namespace storage {

class CatalogueReader {
 public:
  virtual ~CatalogueReader() = default;

  // A number that moves with every schema change, made through any connection.
  virtual int64_t SchemaVersion() = 0;
  // A number that moves with every commit of another connection (the catalogue's rows in the
  // MSys tables may have changed); this connection's own commits leave it.
  virtual int64_t OthersChangeCounter() = 0;
  // Table names in creation order, the back-end's own internal tables left out.
  virtual std::vector<std::string> TableNames() = 0;
  // Fills `table` (name, columns with declared types and defaults, indexes with their fields,
  // row key) from the stored schema; false when there is no such table.
  virtual bool ReadTable(std::string_view name, TableInfo& table) = 0;
  // The foreign keys `table` declares in its own definition, as relations marked `declared`.
  virtual std::vector<RelationInfo> DeclaredRelations(std::string_view table) = 0;
  // The collation a column is declared with ("BINARY" when none); empty for an unknown column.
  virtual std::string ColumnCollation(std::string_view table, std::string_view column) = 0;
  // Readies the connection for writes to a table the catalogue has just read (not called for a
  // read-only database): what the stored schema cannot hold and the back-end keeps per
  // connection instead, such as unique text keys by Jet's comparison.
  virtual void PrepareTableForWrites(const TableInfo& table) = 0;
  // Whether the back-end keeps the number of rows of `table` for it (RowCounts.h), with the
  // bookkeeping the schema writer's AddRowCount gives a table, unchanged since.
  virtual bool RowCounted(const std::string& table) = 0;
};

}  // namespace storage
}  // namespace lumo::jet
