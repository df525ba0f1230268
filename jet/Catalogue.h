#pragma once
// What the engine knows about a database's schema: tables with their columns and indexes,
// query definitions, user-defined properties and object dates. Read from SQLite's own schema
// (PRAGMA table_info / index_list / index_xinfo) and the MSys tables; cached per open file and
// dropped after every DDL change the engine makes (and when another process changed the
// schema, which SQLite's schema_version tells).
//
// System tables the engine keeps in files it writes:
//   MSysObjects     (Name, Type, DateCreated, DateUpdated)     object dates
//   MSysQueries     (Name, SQL, DateCreated, DateUpdated)      query definitions
//   MSysProperties  (ObjectName, FieldName, Name, Type, Value) user-defined properties
//   MSysIndexes     (TableName, IndexName, IsPrimary, IgnoreNulls) index flags SQLite lacks
//   MSysAccess      (Password)                                 the database password
// They are created on first need, and appear in TableDefs with attributes dbSystemObject.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/Variant.h"
#include "jet/JetTypes.h"

namespace lumo::jet {

class DatabaseFile;

struct ColumnInfo {
  std::string name;
  JetFieldType type;
  int ordinal = 0;             // 0-based position in the table
  bool required = false;       // NOT NULL
  bool allowZeroLength = true;
  std::string defaultValue;    // Jet text of the default ("0", "\"abc\"", "Now()"), or empty
  bool isRowKey = false;       // the INTEGER PRIMARY KEY that aliases SQLite's rowid
};

struct IndexFieldInfo {
  std::string name;
  bool descending = false;
};

struct IndexInfo {
  std::string name;            // Jet name ("PrimaryKey")
  std::string sqliteName;      // "<table>.<index>", or empty for the row key's implicit index
  std::vector<IndexFieldInfo> fields;
  bool primary = false;
  bool unique = false;
  bool required = false;
  bool ignoreNulls = false;
};

struct TableInfo {
  std::string name;
  int32_t attributes = 0;      // dbSystemObject for MSys tables
  std::vector<ColumnInfo> columns;
  std::vector<IndexInfo> indexes;
  std::string rowKey;          // the column aliasing rowid, or "rowid" when there is none
  bool withoutRowId = false;   // WITHOUT ROWID tables have no row ids for keysets
  Variant dateCreated;         // Date, or Null when unknown
  Variant lastUpdated;

  const ColumnInfo* FindColumn(std::string_view columnName) const;
  const IndexInfo* FindIndex(std::string_view indexName) const;
};

struct QueryInfo {
  std::string name;
  std::string sql;
  Variant dateCreated;
  Variant lastUpdated;
};

class Catalogue {
 public:
  explicit Catalogue(DatabaseFile& file) : file_(file) {}

  // Table names in creation order (sqlite_master order), system tables included.
  std::vector<std::string> TableNames();
  // nullptr for an unknown table; the pointer is valid until the next Invalidate().
  const TableInfo* FindTable(std::string_view name);
  std::vector<QueryInfo> Queries();
  std::optional<QueryInfo> FindQuery(std::string_view name);

  // User-defined properties of an object (table or query; fieldName empty) or of a field.
  std::vector<std::pair<std::string, Variant>> Properties(std::string_view objectName,
                                                          std::string_view fieldName);
  void StoreProperty(std::string_view objectName, std::string_view fieldName,
                     std::string_view name, int type, const Variant& value);
  void RemoveProperty(std::string_view objectName, std::string_view fieldName,
                      std::string_view name);

  // Records creation or change of an object in MSysObjects.
  void TouchObject(std::string_view name, bool created);

  // Drops every cached answer; the next question reads the schema again.
  void Invalidate();

 private:
  DatabaseFile& file_;
  // caches: see Catalogue.cpp
  struct Cache;
  std::shared_ptr<Cache> cache_;
};

}  // namespace lumo::jet
