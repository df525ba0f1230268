#include "jet/Database.h"

#include <algorithm>

#include "jet/Catalogue.h"
#include "jet/Connection.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseExecute.h"
#include "jet/DatabaseFile.h"
#include "jet/Recordset.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/SchemaWriter.h"
#include "jet/storage/Statement.h"
#include "jet/storage/Transaction.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSource = "DAO.Database";
constexpr int kDefaultQueryTimeout = 60;

// Names in the order DAO's catalogue collections list them: alphabetical, without regard
// to case.
std::vector<std::string> CatalogueOrder(std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  return names;
}

// The database's tables: read from the file on first use and on Refresh; Append creates a
// table from a new TableDef, Delete drops one.
class TableDefCollection : public Collection<TableDef> {
 public:
  explicit TableDefCollection(std::shared_ptr<DatabaseFile> file)
      : Collection<TableDef>("DAO.TableDefs"), file_(std::move(file)) {
    Refresh();
  }

  void Refresh() override {
    // The listing alone makes the collection: a table's definition is read when something
    // asks for its fields or indexes, not for every table each time the database opens.
    std::vector<std::string> names;
    {
      storage::ReadScope read(file_->Connection());
      names = file_->Schema().TableNames();
    }
    std::vector<std::shared_ptr<TableDef>> tables;
    for (const std::string& name : CatalogueOrder(std::move(names))) {
      // Objects callers hold stay the same objects while their table exists.
      std::shared_ptr<TableDef> existing = Find(name);
      if (existing && existing->IsValid()) {
        tables.push_back(existing);
        continue;
      }
      auto table = std::make_shared<TableDef>(name, Catalogue::TableAttributes(name));
      table->Attach(file_);
      tables.push_back(std::move(table));
    }
    for (const auto& old : items_) {
      bool kept = false;
      for (const auto& table : tables) kept = kept || table == old;
      if (!kept) old->Detach();
    }
    Reset(std::move(tables));
  }

  void Append(std::shared_ptr<TableDef> table) override {
    if (!table || !table->IsValid()) RaiseDaoError(3420, {}, "DAO.TableDefs");
    if (table->IsAppended()) RaiseDaoError(3367, {}, "DAO.TableDefs");
    file_->SchemaChanges("DAO.TableDefs")->CreateTable(table->Design());
    table->Attach(file_);
    Add(std::move(table));
    Refresh();  // into its place in the order
  }

  void Delete(std::string_view name) override {
    std::shared_ptr<TableDef> table = Find(name);
    file_->SchemaChanges("DAO.TableDefs")->DropTable(std::string(name), 3265);
    if (table) {
      table->Detach();
      Remove(table.get());
    }
  }

  void DetachAll() {
    for (const auto& table : items_) table->Detach();
  }

 private:
  std::shared_ptr<DatabaseFile> file_;
};

// The saved query definitions (MSysQueries).
class QueryDefCollection : public Collection<QueryDef> {
 public:
  explicit QueryDefCollection(std::shared_ptr<DatabaseFile> file)
      : Collection<QueryDef>("DAO.QueryDefs"), file_(std::move(file)) {
    Refresh();
  }

  void Refresh() override {
    std::vector<QueryInfo> infos = file_->Schema().Queries();
    std::stable_sort(infos.begin(), infos.end(),
                     [](const QueryInfo& a, const QueryInfo& b) { return AnsiCompareText(a.name, b.name) < 0; });
    std::vector<std::shared_ptr<QueryDef>> queries;
    for (const QueryInfo& info : infos) {
      std::shared_ptr<QueryDef> existing = Find(info.name);
      if (existing && existing->IsValid() && existing->SQL() == info.sql) {
        queries.push_back(existing);
        continue;
      }
      auto query = std::make_shared<QueryDef>(file_, info.name, info.sql);
      query->MarkSaved();
      queries.push_back(std::move(query));
    }
    Reset(std::move(queries));
  }

  void Append(std::shared_ptr<QueryDef> query) override {
    if (!query || !query->IsValid()) RaiseDaoError(3420, {}, "DAO.QueryDefs");
    if (query->Name().empty()) RaiseDaoError(kDaoInvalidArgument, {}, "DAO.QueryDefs");
    // Tables and queries share one name space.
    if (query->IsSaved() || Find(query->Name()) || file_->Schema().HasTable(query->Name()) ||
        file_->Schema().FindQuery(query->Name())) {
      RaiseDaoError(3367, {}, "DAO.QueryDefs");
    }
    file_->Schema().StoreQuery(query->Name(), query->SQL(), true);
    query->MarkSaved();
    Add(std::move(query));
    Refresh();  // into its place in the order
  }

  void Delete(std::string_view name) override {
    std::shared_ptr<QueryDef> query = Find(name);
    if (!query && !file_->Schema().FindQuery(name)) RaiseDaoError(3265, {}, "DAO.QueryDefs");
    file_->Schema().RemoveQuery(name);
    if (query) {
      query->Detach();
      Remove(query.get());
    }
  }

  void DetachAll() {
    for (const auto& query : items_) query->Detach();
  }

 private:
  std::shared_ptr<DatabaseFile> file_;
};

// Containers and relations are descriptions the engine makes from the catalogue.
class ContainerCollection : public Collection<Container> {
 public:
  explicit ContainerCollection(std::shared_ptr<DatabaseFile> file)
      : Collection<Container>("DAO.Containers"), file_(std::move(file)) {
    Refresh();
  }
  void Refresh() override {
    std::vector<std::string> tables = file_->Schema().TableNames();
    for (const QueryInfo& query : file_->Schema().Queries()) tables.push_back(query.name);
    std::vector<std::shared_ptr<Container>> containers;
    containers.push_back(std::make_shared<Container>("Databases", std::vector<std::string>{kDatabaseObjectName}));
    containers.push_back(std::make_shared<Container>("Tables", std::move(tables)));
    containers.push_back(std::make_shared<Container>("Relationships", std::vector<std::string>{}));
    Reset(std::move(containers));
  }
  void Append(std::shared_ptr<Container>) override { RaiseDaoError(3219, {}, "DAO.Containers"); }
  void Delete(std::string_view) override { RaiseDaoError(3219, {}, "DAO.Containers"); }

 private:
  std::shared_ptr<DatabaseFile> file_;
};

// The relations of the database. Append stores a new relation (the engine enforces it from
// then on), Delete removes one; both answer 3219 for relations the engine only describes
// (the FOREIGN KEY clauses of tables made by other tools).
class RelationCollection : public Collection<Relation> {
 public:
  explicit RelationCollection(std::shared_ptr<DatabaseFile> file)
      : Collection<Relation>("DAO.Relations"), file_(std::move(file)) {
    Refresh();
  }
  void Refresh() override {
    std::vector<std::shared_ptr<Relation>> relations;
    for (const RelationInfo& info : file_->Schema().Relations()) {
      std::shared_ptr<Relation> existing = Find(info.name);
      if (existing && existing->IsValid()) {
        relations.push_back(existing);
      } else {
        relations.push_back(Relation::FromInfo(info));
      }
    }
    for (const auto& old : items_) {
      if (std::find(relations.begin(), relations.end(), old) == relations.end()) old->Detach();
    }
    Reset(std::move(relations));
  }
  void Append(std::shared_ptr<Relation> relation) override {
    if (!relation || !relation->IsValid()) RaiseDaoError(3420, {}, "DAO.Relations");
    if (relation->IsAppended()) RaiseDaoError(3367, {}, "DAO.Relations");
    file_->SchemaChanges("DAO.Relations")->CreateRelation(relation->Design(), false);
    relation->MarkAppended();
    Refresh();
  }
  void Delete(std::string_view name) override {
    auto info = file_->Schema().FindRelation(name);
    if (info && info->declared) RaiseDaoError(3219, {}, "DAO.Relations");
    file_->SchemaChanges("DAO.Relations")->DropRelation(std::string(name), 3265);
    Refresh();
  }

 private:
  std::shared_ptr<DatabaseFile> file_;
};

// The query definitions of a direct connection: made with CreateQueryDef or appended, they
// live as long as the connection; the server keeps no definitions of the engine's.
class DirectQueryDefCollection : public Collection<QueryDef> {
 public:
  DirectQueryDefCollection() : Collection<QueryDef>("DAO.QueryDefs") {}
  void Append(std::shared_ptr<QueryDef> query) override {
    if (!query || !query->IsValid()) RaiseDaoError(3420, {}, "DAO.QueryDefs");
    if (query->Name().empty()) RaiseDaoError(kDaoInvalidArgument, {}, "DAO.QueryDefs");
    Collection<QueryDef>::Append(std::move(query));
  }
  void Delete(std::string_view name) override {
    std::shared_ptr<QueryDef> query = Find(name);
    Collection<QueryDef>::Delete(name);
    if (query) query->Detach();
  }
  void DetachAll() {
    for (const auto& query : items_) query->Detach();
  }
};

// A direct connection lists no table definitions: its tables are the server's, reached by
// the server's SQL.
class EmptyTableDefCollection : public Collection<TableDef> {
 public:
  EmptyTableDefCollection() : Collection<TableDef>("DAO.TableDefs") {}
  void Append(std::shared_ptr<TableDef>) override { RaiseDaoError(3251, {}, "DAO.TableDefs"); }
  void Delete(std::string_view) override { RaiseDaoError(3251, {}, "DAO.TableDefs"); }
};

}  // namespace

struct Database::State {
  std::shared_ptr<DatabaseFile> file;
  std::string name;
  std::string connect;
  int recordsAffected = 0;
  int queryTimeout = kDefaultQueryTimeout;
  std::unique_ptr<TableDefCollection> tableDefs;
  std::unique_ptr<QueryDefCollection> queryDefs;
  std::unique_ptr<ContainerCollection> containers;
  std::unique_ptr<RelationCollection> relations;
  OwnedCollection<Recordset> recordsets{"DAO.Recordsets"};
  std::unique_ptr<PropertyCollection> properties;
  std::function<void(Database&)> onClose;
  // Direct connections.
  std::shared_ptr<DirectStatements> direct;
  std::weak_ptr<jet::Connection> connection;
  std::unique_ptr<DirectQueryDefCollection> directQueryDefs;
  std::unique_ptr<EmptyTableDefCollection> noTableDefs;
};

Database::Database(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect)
    : DaoObject(kSource), state_(std::make_unique<State>()) {
  state_->file = std::move(file);
  state_->name = std::move(name);
  state_->connect = std::move(connect);
}

Database::Database(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
                   std::shared_ptr<DirectStatements> direct)
    : Database(std::move(file), std::move(name), std::move(connect)) {
  state_->direct = std::move(direct);
}

Database::~Database() {
  if (!IsValid()) return;
  try {
    Close();
  } catch (...) {
    // A destructor must not throw; the file closes with its last owner anyway.
  }
}

const std::string& Database::Name() const {
  CheckValid();
  return state_->name;
}

const std::string& Database::Connect() const {
  CheckValid();
  return state_->connect;
}

std::string Database::Version() const {
  CheckValid();
  if (state_->direct) return state_->direct->Version();
  return "4.0";
}

int Database::CollatingOrder() const {
  CheckValid();
  return dbSortGeneral;
}

bool Database::Updatable() const {
  CheckValid();
  return !state_->file->ReadOnly();
}

int Database::QueryTimeout() const {
  CheckValid();
  return state_->queryTimeout;
}

void Database::SetQueryTimeout(int seconds) {
  CheckValid();
  if (seconds < 0) Raise(kDaoInvalidArgument);
  state_->queryTimeout = seconds;
  state_->file->SetQueryTimeout(seconds);
}

void Database::Execute(const std::string& sql, int options) {
  CheckValid();
  state_->recordsAffected = 0;
  if (state_->direct) {
    state_->recordsAffected = state_->direct->Execute(sql, options, state_->queryTimeout);
    return;
  }
  bool schemaChanged = false;
  state_->recordsAffected = ExecuteJet(*state_->file, sql, options, {}, kSource, &schemaChanged);
  if (schemaChanged && state_->tableDefs) state_->tableDefs->Refresh();
  if (schemaChanged && state_->relations) state_->relations->Refresh();
}

int Database::RecordsAffected() const {
  CheckValid();
  return state_->recordsAffected;
}

std::shared_ptr<Recordset> Database::OpenRecordset(const std::string& source, int type, int options, int lockEdit) {
  CheckValid();
  if (state_->direct) {
    auto recordset = state_->direct->OpenRecordset(source, type, options, lockEdit, 0, state_->queryTimeout);
    Recordsets();
    state_->recordsets.Add(recordset);
    return recordset;
  }
  RecordsetSource recordsetSource;
  recordsetSource.name = source;
  Catalogue& schema = state_->file->Schema();
  const std::string name = Trim(source);
  if (const TableInfo* table = schema.FindTable(name)) {
    recordsetSource.table = table->name;
  } else if (auto query = schema.FindQuery(name)) {
    recordsetSource.name = query->name;
    recordsetSource.sql = query->sql;
  } else if (BeginsAsStatement(name)) {
    recordsetSource.sql = source;
  } else {
    // Neither a table nor a query, and no SQL either: the name of something that is not there.
    const bool bracketed = name.size() >= 2 && name.front() == '[' && name.back() == ']';
    Raise(kDaoInputTableNotFound, {bracketed ? name.substr(1, name.size() - 2) : name});
  }
  auto recordset = Recordset::Open(state_->file, std::move(recordsetSource), type, options, lockEdit);
  Recordsets();  // drops the closed ones first
  state_->recordsets.Add(recordset);
  return recordset;
}

std::shared_ptr<QueryDef> Database::CreateQueryDef(const std::string& name, const std::string& sql) {
  CheckValid();
  if (state_->direct) {
    auto query = std::make_shared<QueryDef>(state_->file, name, std::string());
    query->SetDirect(state_->direct);
    if (!sql.empty()) query->SetSQL(sql);
    if (!name.empty()) QueryDefs().Append(query);
    return query;
  }
  auto query = std::make_shared<QueryDef>(state_->file, name, std::string());
  if (!sql.empty()) query->SetSQL(sql);
  if (!name.empty()) QueryDefs().Append(query);
  return query;
}

std::shared_ptr<TableDef> Database::CreateTableDef(const std::string& name, int32_t attributes) {
  CheckValid();
  return std::make_shared<TableDef>(name, attributes);
}

std::shared_ptr<Relation> Database::CreateRelation(const std::string& name, const std::string& table,
                                                   const std::string& foreignTable, int attributes) {
  CheckValid();
  return std::make_shared<Relation>(name, table, foreignTable, attributes);
}

std::shared_ptr<Property> Database::CreateProperty(const std::string& name, int type, const Variant& value) {
  CheckValid();
  return std::make_shared<Property>(name, type, value);
}

Collection<TableDef>& Database::TableDefs() {
  CheckValid();
  if (state_->direct) {
    if (!state_->noTableDefs) state_->noTableDefs = std::make_unique<EmptyTableDefCollection>();
    return *state_->noTableDefs;
  }
  if (!state_->tableDefs) state_->tableDefs = std::make_unique<TableDefCollection>(state_->file);
  return *state_->tableDefs;
}

Collection<QueryDef>& Database::QueryDefs() {
  CheckValid();
  if (state_->direct) {
    if (!state_->directQueryDefs) state_->directQueryDefs = std::make_unique<DirectQueryDefCollection>();
    return *state_->directQueryDefs;
  }
  if (!state_->queryDefs) state_->queryDefs = std::make_unique<QueryDefCollection>(state_->file);
  return *state_->queryDefs;
}

Collection<Container>& Database::Containers() {
  CheckValid();
  if (state_->direct) Raise(3251);
  if (!state_->containers) state_->containers = std::make_unique<ContainerCollection>(state_->file);
  return *state_->containers;
}

Collection<Relation>& Database::Relations() {
  CheckValid();
  if (state_->direct) Raise(3251);
  if (!state_->relations) state_->relations = std::make_unique<RelationCollection>(state_->file);
  return *state_->relations;
}

Collection<Recordset>& Database::Recordsets() {
  CheckValid();
  // A closed recordset leaves the collection, as in DAO.
  std::vector<std::shared_ptr<Recordset>> open;
  for (const auto& recordset : state_->recordsets) {
    if (recordset->IsValid()) open.push_back(recordset);
  }
  state_->recordsets.Reset(std::move(open));
  return state_->recordsets;
}

PropertyCollection& Database::Properties() {
  CheckValid();
  if (state_->properties) return *state_->properties;
  state_->properties = std::make_unique<PropertyCollection>();
  PropertyCollection& properties = *state_->properties;
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    properties.AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add("Name", dbText, [this] { return Variant(state_->name); });
  add("Connect", dbText, [this] { return Variant(state_->connect); });
  add("Transactions", dbBoolean, [] { return Variant(true); });
  add("Updatable", dbBoolean, [this] { return Variant(Updatable()); });
  add("CollatingOrder", dbLong, [this] { return Variant(CollatingOrder()); });
  add(
      "QueryTimeout", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(QueryTimeout())); },
      [this](const Variant& v) { SetQueryTimeout(v.AsInteger()); });
  add("Version", dbText, [this] { return Variant(Version()); });
  add("RecordsAffected", dbLong, [this] { return Variant(RecordsAffected()); });
  // The server keeps no properties of the engine's.
  if (state_->direct) return properties;

  std::shared_ptr<DatabaseFile> file = state_->file;
  for (auto& stored : file->Schema().Properties(kDatabaseObjectName, "")) {
    if (properties.Find(stored.name)) continue;
    properties.AddBuiltIn(std::make_shared<Property>(stored.name, stored.type, stored.value));
  }
  std::weak_ptr<DatabaseFile> weak = file;
  auto store = [weak](const Property& property) {
    auto target = weak.lock();
    if (!target || !target->IsOpen()) RaiseDaoError(3420, {}, kSource);
    target->Schema().StoreProperty(kDatabaseObjectName, "", property.Name(),
                                   property.Type() != 0 ? property.Type() : dbText, property.Value());
  };
  for (const auto& property : properties) {
    if (!property->IsBuiltIn()) property->onChange = store;
  }
  properties.onStore = store;
  properties.onRemove = [weak](const std::string& name) {
    auto target = weak.lock();
    if (!target || !target->IsOpen()) RaiseDaoError(3420, {}, kSource);
    target->Schema().RemoveProperty(kDatabaseObjectName, "", name);
  };
  return properties;
}

void Database::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
  CheckValid();
  if (state_->direct) Raise(3251);
  state_->file->NewPassword(oldPassword, newPassword);
}

void Database::Close() {
  CheckValid();
  for (const auto& recordset : state_->recordsets) {
    if (!recordset->IsValid()) continue;
    try {
      recordset->Close();
    } catch (...) {
      // Closing goes on: every recordset of the database closes with it.
    }
  }
  state_->recordsets.Reset({});
  if (state_->tableDefs) state_->tableDefs->DetachAll();
  if (state_->queryDefs) state_->queryDefs->DetachAll();
  if (state_->directQueryDefs) state_->directQueryDefs->DetachAll();
  state_->file->Close();
  Invalidate();
  if (auto onClose = std::move(state_->onClose)) onClose(*this);
}

const std::shared_ptr<DatabaseFile>& Database::File() const {
  CheckValid();
  return state_->file;
}

void Database::SetOnClose(std::function<void(Database&)> onClose) { state_->onClose = std::move(onClose); }

const std::shared_ptr<DirectStatements>& Database::Direct() const { return state_->direct; }

std::shared_ptr<jet::Connection> Database::Connection() {
  CheckValid();
  std::shared_ptr<jet::Connection> connection = state_->connection.lock();
  if (!connection) Raise(3251);
  return connection;
}

void Database::SetConnection(std::weak_ptr<jet::Connection> connection) { state_->connection = std::move(connection); }

}  // namespace lumo::jet
