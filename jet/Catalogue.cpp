#include "jet/Catalogue.h"

#include <map>

#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/RowCounts.h"
#include "jet/ValueCodec.h"
#include "jet/storage/Connection.h"
#include "jet/storage/SqlDialect.h"
#include "jet/storage/Statement.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

// Everything cached for one schema version of the file.
struct Catalogue::Cache {
  int64_t schemaVersion = -1;
  int64_t dataVersion = -1;
  uint32_t changeCounter = 0;
  bool namesRead = false;
  std::vector<std::string> tableNames;
  std::map<std::string, std::shared_ptr<const TableInfo>> tables;  // by lower-case name
  bool relationsRead = false;
  std::vector<RelationInfo> relations;
};

namespace {

std::string Key(std::string_view name) { return AnsiLowerCase(name); }

bool IsSystemName(std::string_view name) { return StartsText("MSys", name); }

// A read of one of the engine's own tables, in the order its rows were written (the order in
// which collections list what they hold).
std::string InsertionOrder(DatabaseFile& file, std::string_view select) {
  return std::string(select).append(file.Connection().Dialect().InsertionOrder());
}

}  // namespace

const ColumnInfo* TableInfo::FindColumn(std::string_view columnName) const {
  for (const auto& column : columns) {
    if (AnsiSameText(column.name, columnName)) return &column;
  }
  return nullptr;
}

const IndexInfo* TableInfo::FindIndex(std::string_view indexName) const {
  for (const auto& index : indexes) {
    if (AnsiSameText(index.name, indexName)) return &index;
  }
  return nullptr;
}

bool RelationInfo::Involves(std::string_view tableName) const {
  return AnsiSameText(table, tableName) || AnsiSameText(foreignTable, tableName);
}

const IndexInfo* TableInfo::PrimaryIndex() const {
  for (const auto& index : indexes) {
    if (index.primary) return &index;
  }
  return nullptr;
}

Catalogue::Catalogue(DatabaseFile& file) : file_(file) {}
Catalogue::~Catalogue() = default;

void Catalogue::Invalidate() { cache_.reset(); }

void Catalogue::Refresh() {
  // Idle runs after every read of a recordset that lets the engine idle, far more often than
  // anything asks the catalogue; it only marks the answers for a look at the next question.
  if (cache_) mayBeStale_ = true;
}

int64_t Catalogue::DataVersion() { return file_.Connection().Catalogue().OthersChangeCounter(); }

Catalogue::Cache& Catalogue::Current() {
  // Another process may have changed the schema since the last look-up; its version number
  // is cheap to ask and tells. Asking it begins a read, so the change counter below is as of
  // now.
  const int64_t version = file_.Connection().Catalogue().SchemaVersion();
  if (cache_ && mayBeStale_) {
    mayBeStale_ = false;
    // Properties, captions and query definitions live in rows of the MSys tables, which
    // another connection can change without touching the schema version. The change counter
    // costs nothing to ask; it moves with this connection's commits too, so only when it
    // moved is the data version (other connections' commits alone) asked.
    const uint32_t counter = file_.Connection().ChangeCounter();
    if (counter != cache_->changeCounter) {
      if (DataVersion() != cache_->dataVersion) {
        cache_.reset();
      } else {
        cache_->changeCounter = counter;
      }
    }
  }
  if (!cache_ || cache_->schemaVersion != version) {
    cache_ = std::make_unique<Cache>();
    cache_->schemaVersion = version;
    cache_->dataVersion = DataVersion();
    cache_->changeCounter = file_.Connection().ChangeCounter();
    mayBeStale_ = false;
  }
  return *cache_;
}

std::vector<std::string> Catalogue::TableNames() {
  Cache& cache = Current();
  if (!cache.namesRead) {
    cache.tableNames = file_.Connection().Catalogue().TableNames();
    cache.namesRead = true;
  }
  return cache.tableNames;
}

bool Catalogue::HasTable(std::string_view name) {
  for (const auto& table : TableNames()) {
    if (AnsiSameText(table, name)) return true;
  }
  return false;
}

bool Catalogue::HasSystemTable(const char* name) { return file_.OwnedByEngine() && HasTable(name); }

void Catalogue::CheckEngineTablesAllowed() {
  // A server's schema is its administrators': the engine adds no tables of its own there, so
  // what only they could hold (saved query definitions, user-defined properties, index flags,
  // relations and dates of the engine's own) is not supported on a server.
  if (!file_.OwnedByEngine()) RaiseDaoError(kDaoNotSupported, {}, "DAO.Database");
}

int32_t Catalogue::TableAttributes(std::string_view name) { return IsSystemName(name) ? dbSystemObject : 0; }

const TableInfo* Catalogue::FindTable(std::string_view name) { return Table(name).get(); }

std::shared_ptr<const TableInfo> Catalogue::Table(std::string_view name) {
  Cache& cache = Current();
  const std::string key = Key(name);
  auto found = cache.tables.find(key);
  if (found != cache.tables.end()) return found->second;
  std::string exact;
  for (const auto& table : TableNames()) {
    if (AnsiSameText(table, name)) {
      exact = table;
      break;
    }
  }
  if (exact.empty()) return nullptr;
  auto table = ReadTable(exact);
  cache_->tables.emplace(key, table);
  return table;
}

std::shared_ptr<const TableInfo> Catalogue::ReadTable(const std::string& name) {
  auto table = std::make_shared<TableInfo>();
  table->name = name;
  table->attributes = TableAttributes(name);
  file_.Connection().Catalogue().ReadTable(name, *table);
  ReadColumns(*table);
  ReadIndexes(*table);
  if (!file_.ReadOnly()) file_.Connection().Catalogue().PrepareTableForWrites(*table);
  table->rowCounted = !table->withoutRowId && !IsSystemName(name) && file_.Connection().Catalogue().RowCounted(name);
  table->dateCreated = Variant::Null();
  table->lastUpdated = Variant::Null();
  if (HasSystemTable("MSysObjects")) {
    storage::Statement& dates = file_.Statement("SELECT DateCreated, DateUpdated FROM MSysObjects WHERE Name = ?1");
    dates.BindText(1, name);
    if (dates.Step()) {
      const JetFieldType dateType{dbDate, 8, dbFixedField, 0, 0};
      table->dateCreated = ReadColumnValue(dates, 0, dateType);
      table->lastUpdated = ReadColumnValue(dates, 1, dateType);
    }
    dates.Reset();
  }
  return table;
}

void Catalogue::ReadColumns(TableInfo& table) {
  // What the stored declarations cannot say is kept beside the columns: the Required flag of
  // a column added to a table that may hold rows (no NOT NULL column can be added there), and
  // AllowZeroLength.
  if (HasSystemTable("MSysProperties")) {
    storage::Statement& flags = file_.Statement(
        "SELECT FieldName, Name, Value FROM MSysProperties WHERE ObjectName = ?1 AND "
        "Name IN ('Required', 'AllowZeroLength')");
    flags.BindText(1, table.name);
    while (flags.Step()) {
      const bool set = flags.ColumnInt64(2) != 0;
      const bool required = AnsiSameText(flags.ColumnTextView(1), "Required");
      for (ColumnInfo& column : table.columns) {
        if (!AnsiSameText(column.name, flags.ColumnTextView(0))) continue;
        if (required) {
          column.required = column.required || set;
        } else if (column.allowZeroLength) {
          column.allowZeroLength = set;
        }
      }
    }
    flags.Reset();
  }
}

void Catalogue::ReadIndexes(TableInfo& table) {
  // The reader lists the stored indexes; a primary key held without an index name of ours
  // (origin in the table's declaration) comes without a Jet name.
  std::vector<IndexInfo> listed = std::move(table.indexes);
  table.indexes.clear();
  // The flags SQLite cannot hold, by Jet index name.
  struct Flags {
    std::string name;
    bool primary = false;
    bool ignoreNulls = false;
    bool required = false;
    bool used = false;
  };
  std::vector<Flags> flags;
  if (HasSystemTable("MSysIndexes")) {
    storage::Statement& statement = file_.Statement(InsertionOrder(
        file_, "SELECT IndexName, IsPrimary, IgnoreNulls, Required FROM MSysIndexes WHERE TableName = ?1"));
    statement.BindText(1, table.name);
    while (statement.Step()) {
      flags.push_back({statement.ColumnText(0), statement.ColumnInt64(1) != 0, statement.ColumnInt64(2) != 0,
                       statement.ColumnInt64(3) != 0, false});
    }
    statement.Reset();
  }
  auto findFlags = [&](std::string_view name) -> Flags* {
    for (auto& entry : flags) {
      if (AnsiSameText(entry.name, name)) return &entry;
    }
    return nullptr;
  };
  // The stored indexes of our own naming scheme, by Jet name.
  auto findIndexNamed = [&](std::string_view name) -> const IndexInfo* {
    for (const IndexInfo& entry : listed) {
      if (!entry.name.empty() && AnsiSameText(entry.name, name)) return &entry;
    }
    return nullptr;
  };

  // A primary key held without an index name of ours (the row key, or a key over
  // several columns declared in the table) takes its Jet name from the primary entry of
  // MSysIndexes that names no real index, else "PrimaryKey".
  auto primaryName = [&]() -> std::string {
    for (auto& entry : flags) {
      if (!entry.used && entry.primary && findIndexNamed(entry.name) == nullptr) return entry.name;
    }
    return "PrimaryKey";
  };

  std::vector<RelationInfo> relations;
  bool relationsRead = false;
  for (const IndexInfo& entry : listed) {
    IndexInfo index = entry;
    if (entry.name.empty()) index.name = primaryName();
    if (Flags* flag = findFlags(index.name)) {
      flag->used = true;
      index.primary = index.primary || flag->primary;
      index.ignoreNulls = flag->ignoreNulls;
      index.required = index.required || flag->required || flag->primary;
    }
    // The index Jet keeps for a relation's foreign side carries the relation's name.
    if (!index.primary) {
      if (!relationsRead) {
        relations = Relations();
        relationsRead = true;
      }
      for (const RelationInfo& relation : relations) {
        if (!relation.declared && AnsiSameText(relation.name, index.name) &&
            AnsiSameText(relation.foreignTable, table.name)) {
          index.foreign = true;
        }
      }
    }
    table.indexes.push_back(std::move(index));
  }

  // The row key is an index without a stored index of its own.
  const ColumnInfo* rowKey = table.FindColumn(table.rowKey);
  if (rowKey != nullptr && rowKey->isRowKey && table.PrimaryIndex() == nullptr) {
    IndexInfo index;
    index.name = primaryName();
    if (Flags* flag = findFlags(index.name)) flag->used = true;
    index.fields.push_back({table.rowKey, false});
    index.primary = true;
    index.unique = true;
    index.required = true;
    table.indexes.insert(table.indexes.begin(), std::move(index));
  }
}

std::vector<RelationInfo> Catalogue::Relations() {
  Cache& cache = Current();
  if (cache.relationsRead) return cache.relations;
  std::vector<RelationInfo> relations;
  if (HasSystemTable("MSysRelationships")) {
    storage::Statement& statement = file_.Statement(InsertionOrder(
        file_, "SELECT Name, TableName, ForeignTableName, Attributes, FieldName, ForeignName FROM MSysRelationships"));
    while (statement.Step()) {
      const std::string name = statement.ColumnText(0);
      if (relations.empty() || !AnsiSameText(relations.back().name, name)) {
        RelationInfo relation;
        relation.name = name;
        relation.table = statement.ColumnText(1);
        relation.foreignTable = statement.ColumnText(2);
        relation.attributes = static_cast<int>(statement.ColumnInt64(3));
        relations.push_back(std::move(relation));
      }
      relations.back().fields.push_back(statement.ColumnText(4));
      relations.back().foreignFields.push_back(statement.ColumnText(5));
    }
    statement.Reset();
  }
  // FOREIGN KEY clauses: files of other tools, and older files of the engine.
  for (const std::string& table : TableNames()) {
    for (RelationInfo& relation : file_.Connection().Catalogue().DeclaredRelations(table)) {
      relations.push_back(std::move(relation));
    }
  }
  Cache& refreshed = Current();
  refreshed.relations = relations;
  refreshed.relationsRead = true;
  return relations;
}

std::optional<RelationInfo> Catalogue::FindRelation(std::string_view name) {
  for (RelationInfo& relation : Relations()) {
    if (AnsiSameText(relation.name, name)) return std::move(relation);
  }
  return std::nullopt;
}

void Catalogue::StoreRelation(const RelationInfo& relation) {
  EnsureRelationsTable();
  storage::Statement& statement = file_.Statement(
      "INSERT INTO MSysRelationships (Name, TableName, ForeignTableName, Attributes, FieldOrder, FieldName, "
      "ForeignName) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  for (size_t i = 0; i < relation.fields.size(); ++i) {
    statement.BindText(1, relation.name);
    statement.BindText(2, relation.table);
    statement.BindText(3, relation.foreignTable);
    statement.BindInt64(4, relation.attributes);
    statement.BindInt64(5, static_cast<int64_t>(i));
    statement.BindText(6, relation.fields[i]);
    statement.BindText(7, relation.foreignFields[i]);
    statement.Step();
    statement.Reset();
  }
  Invalidate();
}

void Catalogue::RemoveRelation(std::string_view name) {
  if (!HasSystemTable("MSysRelationships")) return;
  file_.CheckWritable();
  storage::Statement& statement = file_.Statement("DELETE FROM MSysRelationships WHERE Name = ?1");
  statement.BindText(1, name);
  statement.Step();
  statement.Reset();
  Invalidate();
}

std::vector<QueryInfo> Catalogue::Queries() {
  std::vector<QueryInfo> queries;
  if (!HasSystemTable("MSysQueries")) return queries;
  storage::Statement& statement =
      file_.Statement(InsertionOrder(file_, "SELECT Name, SQL, DateCreated, DateUpdated FROM MSysQueries"));
  const JetFieldType dateType{dbDate, 8, dbFixedField, 0, 0};
  while (statement.Step()) {
    QueryInfo query;
    query.name = statement.ColumnText(0);
    query.sql = statement.ColumnText(1);
    query.dateCreated = ReadColumnValue(statement, 2, dateType);
    query.lastUpdated = ReadColumnValue(statement, 3, dateType);
    queries.push_back(std::move(query));
  }
  statement.Reset();
  return queries;
}

std::optional<QueryInfo> Catalogue::FindQuery(std::string_view name) {
  for (auto& query : Queries()) {
    if (AnsiSameText(query.name, name)) return query;
  }
  return std::nullopt;
}

void Catalogue::StoreQuery(std::string_view name, std::string_view sql, bool created) {
  EnsureSystemTables();
  const std::string now = FormatStorageDate(lumo::Now());
  storage::Statement& statement =
      file_.Statement(created ? "INSERT INTO MSysQueries (Name, SQL, DateCreated, DateUpdated) VALUES (?1, ?2, ?3, ?3)"
                              : "UPDATE MSysQueries SET SQL = ?2, DateUpdated = ?3 WHERE Name = ?1");
  statement.BindText(1, name);
  statement.BindText(2, sql);
  statement.BindText(3, now);
  statement.Step();
  statement.Reset();
}

void Catalogue::RemoveQuery(std::string_view name) {
  if (!HasSystemTable("MSysQueries")) return;
  file_.CheckWritable();
  storage::Statement& statement = file_.Statement("DELETE FROM MSysQueries WHERE Name = ?1");
  statement.BindText(1, name);
  statement.Step();
  statement.Reset();
  ForgetObject(name);
}

std::vector<StoredProperty> Catalogue::Properties(std::string_view objectName, std::string_view fieldName) {
  std::vector<StoredProperty> properties;
  if (!HasSystemTable("MSysProperties")) return properties;
  storage::Statement& statement = file_.Statement(
      InsertionOrder(file_, "SELECT Name, Type, Value FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ?2"));
  statement.BindText(1, objectName);
  statement.BindText(2, fieldName);
  while (statement.Step()) {
    JetFieldType type;
    type.type = static_cast<int>(statement.ColumnInt64(1));
    properties.push_back({statement.ColumnText(0), type.type, ReadColumnValue(statement, 2, type)});
  }
  statement.Reset();
  return properties;
}

std::optional<StoredProperty> Catalogue::FindProperty(std::string_view objectName, std::string_view fieldName,
                                                      std::string_view name) {
  if (!HasSystemTable("MSysProperties")) return std::nullopt;
  storage::Statement& statement =
      file_.Statement("SELECT Type, Value FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ?2 AND Name = ?3");
  statement.BindText(1, objectName);
  statement.BindText(2, fieldName);
  statement.BindText(3, name);
  std::optional<StoredProperty> result;
  if (statement.Step()) {
    JetFieldType type;
    type.type = static_cast<int>(statement.ColumnInt64(0));
    result = StoredProperty{std::string(name), type.type, ReadColumnValue(statement, 1, type)};
  }
  statement.Reset();
  return result;
}

void Catalogue::StoreProperty(std::string_view objectName, std::string_view fieldName, std::string_view name, int type,
                              const Variant& value) {
  EnsureSystemTables();
  // An upsert keeps the row, so properties keep the order in which they were created.
  storage::Statement& statement = file_.Statement(
      "INSERT INTO MSysProperties (ObjectName, FieldName, Name, Type, Value) VALUES (?1, ?2, ?3, ?4, ?5) "
      "ON CONFLICT (ObjectName, FieldName, Name) DO UPDATE SET Type = excluded.Type, Value = excluded.Value");
  statement.BindText(1, objectName);
  statement.BindText(2, fieldName);
  statement.BindText(3, name);
  statement.BindInt64(4, type);
  JetFieldType fieldType;
  fieldType.type = type;
  fieldType.size = 0;  // property texts are not bounded like a Text field
  BindFieldValue(statement, 5, value, fieldType, std::string(name));
  statement.Step();
  statement.Reset();
}

void Catalogue::RemoveProperty(std::string_view objectName, std::string_view fieldName, std::string_view name) {
  if (!HasSystemTable("MSysProperties")) return;
  file_.CheckWritable();
  storage::Statement& statement =
      file_.Statement("DELETE FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ?2 AND Name = ?3");
  statement.BindText(1, objectName);
  statement.BindText(2, fieldName);
  statement.BindText(3, name);
  statement.Step();
  statement.Reset();
}

void Catalogue::StoreIndexFlags(std::string_view table, std::string_view index, bool primary, bool ignoreNulls,
                                bool required) {
  EnsureSystemTables();
  storage::Statement& statement = file_.Statement(
      "INSERT INTO MSysIndexes (TableName, IndexName, IsPrimary, IgnoreNulls, Required) "
      "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (TableName, IndexName) DO UPDATE SET "
      "IsPrimary = excluded.IsPrimary, IgnoreNulls = excluded.IgnoreNulls, Required = excluded.Required");
  statement.BindText(1, table);
  statement.BindText(2, index);
  statement.BindInt64(3, primary ? kStorageTrue : kStorageFalse);
  statement.BindInt64(4, ignoreNulls ? kStorageTrue : kStorageFalse);
  statement.BindInt64(5, required ? kStorageTrue : kStorageFalse);
  statement.Step();
  statement.Reset();
  Invalidate();
}

void Catalogue::RemoveIndexFlags(std::string_view table, std::string_view index) {
  if (!HasSystemTable("MSysIndexes")) return;
  file_.CheckWritable();
  storage::Statement& statement = file_.Statement("DELETE FROM MSysIndexes WHERE TableName = ?1 AND IndexName = ?2");
  statement.BindText(1, table);
  statement.BindText(2, index);
  statement.Step();
  statement.Reset();
  Invalidate();
}

void Catalogue::TouchObject(std::string_view name, int type, bool created) {
  EnsureSystemTables();
  const std::string now = FormatStorageDate(lumo::Now());
  storage::Statement& statement = file_.Statement(
      created ? "INSERT INTO MSysObjects (Name, Type, DateCreated, DateUpdated) VALUES (?1, ?2, ?3, ?3) "
                "ON CONFLICT (Name) DO UPDATE SET Type = excluded.Type, DateCreated = excluded.DateCreated, "
                "DateUpdated = excluded.DateUpdated"
              : "INSERT INTO MSysObjects (Name, Type, DateCreated, DateUpdated) VALUES (?1, ?2, NULL, ?3) "
                "ON CONFLICT (Name) DO UPDATE SET DateUpdated = excluded.DateUpdated");
  statement.BindText(1, name);
  statement.BindInt64(2, type);
  statement.BindText(3, now);
  statement.Step();
  statement.Reset();
  Invalidate();
}

void Catalogue::ForgetObject(std::string_view name) {
  const char* const statements[] = {
      "DELETE FROM MSysObjects WHERE Name = ?1",
      "DELETE FROM MSysProperties WHERE ObjectName = ?1",
      "DELETE FROM MSysIndexes WHERE TableName = ?1",
  };
  const char* const tables[] = {"MSysObjects", "MSysProperties", "MSysIndexes"};
  for (size_t i = 0; i < 3; ++i) {
    if (!HasSystemTable(tables[i])) continue;
    file_.CheckWritable();
    storage::Statement& statement = file_.Statement(statements[i]);
    statement.BindText(1, name);
    statement.Step();
    statement.Reset();
  }
  ForgetRowCount(file_, std::string(name));
  Invalidate();
}

void Catalogue::ForgetField(std::string_view table, std::string_view field) {
  if (!HasSystemTable("MSysProperties")) return;
  file_.CheckWritable();
  storage::Statement& statement =
      file_.Statement("DELETE FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ?2");
  statement.BindText(1, table);
  statement.BindText(2, field);
  statement.Step();
  statement.Reset();
}

void Catalogue::EnsureSystemTables() {
  CheckEngineTablesAllowed();
  if (HasSystemTable("MSysObjects") && HasSystemTable("MSysQueries") && HasSystemTable("MSysProperties") &&
      HasSystemTable("MSysIndexes")) {
    return;
  }
  file_.CheckWritable();
  // Declared types that describe themselves, like every table the engine makes.
  file_.Connection().Exec(
      "CREATE TABLE IF NOT EXISTS MSysObjects (Name VARCHAR(255) COLLATE NOCASE NOT NULL PRIMARY KEY, "
      "Type SMALLINT, DateCreated DATETIME, DateUpdated DATETIME);"
      "CREATE TABLE IF NOT EXISTS MSysQueries (Name VARCHAR(64) COLLATE NOCASE NOT NULL PRIMARY KEY, "
      "SQL TEXT COLLATE NOCASE, DateCreated DATETIME, DateUpdated DATETIME);"
      "CREATE TABLE IF NOT EXISTS MSysProperties (ObjectName VARCHAR(255) COLLATE NOCASE NOT NULL, "
      "FieldName VARCHAR(64) COLLATE NOCASE NOT NULL DEFAULT '', Name VARCHAR(64) COLLATE NOCASE NOT NULL, "
      "Type SMALLINT, Value, PRIMARY KEY (ObjectName, FieldName, Name));"
      "CREATE TABLE IF NOT EXISTS MSysIndexes (TableName VARCHAR(255) COLLATE NOCASE NOT NULL, "
      "IndexName VARCHAR(64) COLLATE NOCASE NOT NULL, IsPrimary BOOLEAN NOT NULL DEFAULT 0, "
      "IgnoreNulls BOOLEAN NOT NULL DEFAULT 0, Required BOOLEAN NOT NULL DEFAULT 0, "
      "PRIMARY KEY (TableName, IndexName));");
  Invalidate();
}

void Catalogue::EnsureRelationsTable() {
  CheckEngineTablesAllowed();
  if (HasSystemTable("MSysRelationships")) return;
  file_.CheckWritable();
  file_.Connection().Exec(
      "CREATE TABLE IF NOT EXISTS MSysRelationships (Name VARCHAR(64) COLLATE NOCASE NOT NULL, "
      "TableName VARCHAR(255) COLLATE NOCASE NOT NULL, ForeignTableName VARCHAR(255) COLLATE NOCASE NOT NULL, "
      "Attributes INTEGER NOT NULL DEFAULT 0, FieldOrder SMALLINT NOT NULL, "
      "FieldName VARCHAR(64) COLLATE NOCASE NOT NULL, ForeignName VARCHAR(64) COLLATE NOCASE NOT NULL, "
      "PRIMARY KEY (Name, FieldOrder))");
  Invalidate();
}

void Catalogue::EnsureAccessTable() {
  CheckEngineTablesAllowed();
  if (HasSystemTable("MSysAccess")) return;
  file_.CheckWritable();
  file_.Connection().Exec("CREATE TABLE IF NOT EXISTS MSysAccess (Password VARCHAR(20))");
  Invalidate();
}

}  // namespace lumo::jet
