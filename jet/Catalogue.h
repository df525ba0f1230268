#pragma once
// What the engine knows about a database's schema: tables with their columns and indexes,
// query definitions, user-defined properties and object dates. Read from the back-end's own
// schema (the connection's CatalogueReader) and the MSys tables; cached per open file and
// dropped after every schema change, the engine's own or another process's (the reader's
// SchemaVersion tells, and is asked on every look-up).
//
// System tables the engine keeps in files it writes:
//   MSysObjects     (Name, Type, DateCreated, DateUpdated)          object dates
//   MSysQueries     (Name, SQL, DateCreated, DateUpdated)           query definitions
//   MSysProperties  (ObjectName, FieldName, Name, Type, Value)      user-defined properties
//   MSysIndexes     (TableName, IndexName, IsPrimary, IgnoreNulls, Required)
//                                                                   index flags SQLite lacks
//   MSysRelationships (Name, TableName, ForeignTableName, Attributes, FieldOrder, FieldName,
//                    ForeignName)                                   relations, one row per field
//   MSysAccess      (Password)                                      the database password
//   MSysRowCounts   (TableName, Rows)                               exact row counts, kept by
//                                                                   triggers (RowCounts.h)
// They are created on first need (a file made by the engine has all but MSysRelationships,
// MSysAccess and MSysRowCounts from the start, the last with its first table) and appear in
// TableDefs with attributes dbSystemObject. A file opened read-only, or a foreign file nobody
// wrote to, simply has no query definitions, properties or dates. A server's database
// (DatabaseFile::OwnedByEngine false) never gets these tables: it has no saved query
// definitions, properties or dates, and storing any answers 3251.
//
// Errors: writes answer 3027 on a read-only file; failures of the back-end pass through its
// error mapper.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/storage/CatalogueReader.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;

// MSysObjects' Type values, as Jet numbers its objects.
inline constexpr int kObjectTypeTable = 1;
inline constexpr int kObjectTypeQuery = 5;
inline constexpr int kObjectTypeDatabase = 2;

// The name under which the database itself is recorded in MSysObjects (and owns the
// database's user-defined properties in MSysProperties).
inline constexpr const char* kDatabaseObjectName = "MSysDb";

struct StoredProperty {
  std::string name;
  int type = 0;  // DataTypeEnum of the value
  Variant value;
};

struct QueryInfo {
  std::string name;
  std::string sql;
  Variant dateCreated;
  Variant lastUpdated;
};

class Catalogue {
 public:
  explicit Catalogue(DatabaseFile& file);
  ~Catalogue();

  // Table names in creation order, system tables included, the back-end's internal ones left
  // out.
  std::vector<std::string> TableNames();
  bool HasTable(std::string_view name);
  // nullptr for an unknown table; the pointer is valid until the schema changes. Holders that
  // live longer (recordsets) keep the shared form.
  const TableInfo* FindTable(std::string_view name);
  std::shared_ptr<const TableInfo> Table(std::string_view name);
  // The attributes a listed table has (dbSystemObject for the MSys tables), known from its
  // name alone: the table collection lists every table without reading its definition.
  static int32_t TableAttributes(std::string_view name);

  std::vector<QueryInfo> Queries();
  std::optional<QueryInfo> FindQuery(std::string_view name);
  // Saves a new definition (created) or replaces the text of an existing one.
  void StoreQuery(std::string_view name, std::string_view sql, bool created);
  void RemoveQuery(std::string_view name);

  // User-defined properties of an object (table, query, kDatabaseObjectName; fieldName empty)
  // or of a field, in the order they were created.
  std::vector<StoredProperty> Properties(std::string_view objectName, std::string_view fieldName);
  std::optional<StoredProperty> FindProperty(std::string_view objectName, std::string_view fieldName,
                                             std::string_view name);
  void StoreProperty(std::string_view objectName, std::string_view fieldName, std::string_view name, int type,
                     const Variant& value);
  void RemoveProperty(std::string_view objectName, std::string_view fieldName, std::string_view name);

  // The relations of the database: the engine's own (MSysRelationships) in creation order,
  // then the FOREIGN KEY clauses of tables the engine did not make.
  std::vector<RelationInfo> Relations();
  std::optional<RelationInfo> FindRelation(std::string_view name);
  // Records a relation (3027 on a read-only file); RemoveRelation forgets one.
  void StoreRelation(const RelationInfo& relation);
  void RemoveRelation(std::string_view name);

  // Index flags SQLite cannot hold.
  void StoreIndexFlags(std::string_view table, std::string_view index, bool primary, bool ignoreNulls, bool required);
  void RemoveIndexFlags(std::string_view table, std::string_view index);

  // Records creation or change of an object in MSysObjects.
  void TouchObject(std::string_view name, int type, bool created);
  // Forgets everything recorded about an object (a dropped table or query): its dates, its
  // properties and those of its fields, its index flags.
  void ForgetObject(std::string_view name);
  // A field's properties go with the field.
  void ForgetField(std::string_view table, std::string_view field);

  // Creates MSysObjects, MSysQueries, MSysProperties and MSysIndexes when missing
  // (3027 on a read-only file).
  void EnsureSystemTables();
  // Creates MSysAccess when missing.
  void EnsureAccessTable();
  // Creates MSysRelationships when missing.
  void EnsureRelationsTable();

  // Drops every cached answer; the next question reads the schema again.
  void Invalidate();
  // The cached answers are dropped before the next question when another connection has
  // committed anything since they were read (the engine's Idle with dbRefreshCache).
  void Refresh();

 private:
  struct Cache;
  Cache& Current();
  int64_t DataVersion();
  std::shared_ptr<const TableInfo> ReadTable(const std::string& name);
  void ReadColumns(TableInfo& table);
  void ReadIndexes(TableInfo& table);
  bool HasSystemTable(const char* name);
  // Raises 3251 on a database that is not the engine's own (a server's).
  void CheckEngineTablesAllowed();

  DatabaseFile& file_;
  std::unique_ptr<Cache> cache_;
  bool mayBeStale_ = false;
};

}  // namespace lumo::jet
