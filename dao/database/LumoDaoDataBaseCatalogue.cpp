// TLumoDaoDatabase: the catalogue lists, query definitions, the collating order, and the
// registry look-ups of database types, ODBC drivers and data sources.

#include <utility>

#include "dao/database/LumoDaoDataBase.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/QueryDef.h"
#include "jet/TableDef.h"
#include "jet/Workspace.h"
#include "runtime/Registry.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

// Runs one step of a refresh that must never fail: what a source does not support simply
// stays as it was.
template <class Step>
void IgnoringErrors(Step step) {
  try {
    step();
  } catch (...) {}
}

struct CollatingOrder {
  int32_t code;
  const char* name;
};

constexpr CollatingOrder kCollatingOrders[] = {
    {1024, "Neutral"},
    {1025, "Arabic"},
    {1028, "Traditional Chinese"},
    {1029, "Czech"},
    {1030, "Norwegian or Danish"},
    {1032, "Greek"},
    {1033, "General (English, French, German, Portuguese, Italian, and Modern Spanish)"},
    {1034, "Spanish"},
    {1037, "Hebrew"},
    {1038, "Hungarian"},
    {1039, "Icelandic"},
    {1041, "Japanese"},
    {1042, "Korean"},
    {1043, "Dutch"},
    {1045, "Polish"},
    {1049, "Bulgarian or Russian"},
    {1053, "Swedish or Finnish"},
    {1054, "Thai"},
    {1055, "Turkish"},
    {1060, "Slovenian"},
    {2052, "Simplified Chinese"},
    {-1, "Undefined or unknown"},
};

void AssignNames(TStringList& list, const std::vector<std::string>& names) {
  list.BeginUpdate();
  list.Clear();
  for (const std::string& name : names) list.Add(name);
  list.EndUpdate();
}

}  // namespace

jet::Database& TLumoDaoDatabase::RequireDatabase(const char* operation) const {
  if (!database_)
    throw EDatabaseError(Format("TLumoDaoDatabase.%s: Database is NOT connected", operation));
  return *database_;
}

void TLumoDaoDatabase::RefreshCatalogue() {
  tableNames_.Clear();
  queryDefNames_.Clear();
  const bool jetWorkspace = engineType_ == jet::dbUseJet;

  if (database_) {
    jet::Database& database = *database_;
    if (jetWorkspace) IgnoringErrors([&] { database.TableDefs().Refresh(); });
    IgnoringErrors([&] { database.QueryDefs().Refresh(); });
    // Exactly "Access": other spellings open the same files but skip these two.
    if (databaseType_ == "Access") {
      IgnoringErrors([&] { database.Containers().Refresh(); });
      IgnoringErrors([&] { database.Relations().Refresh(); });
    }
    IgnoringErrors([&] { database.Recordsets().Refresh(); });
    if (jetWorkspace) IgnoringErrors([&] { database.Properties().Refresh(); });
  }
  if (engine_) {
    IgnoringErrors([&] { engine_->Errors().Refresh(); });
    IgnoringErrors([&] { engine_->Workspaces().Refresh(); });
    IgnoringErrors([&] { engine_->Properties().Refresh(); });
  }
  if (workspace_) {
    if (jetWorkspace) {
      IgnoringErrors([&] { workspace_->Users().Refresh(); });
      IgnoringErrors([&] { workspace_->Groups().Refresh(); });
    }
    IgnoringErrors([&] { workspace_->Databases().Refresh(); });
    IgnoringErrors([&] { workspace_->Properties().Refresh(); });
  }
  if (!database_) return;

  if (jetWorkspace) {
    IgnoringErrors([&] {
      auto& tableDefs = database_->TableDefs();
      for (int i = 0; i < tableDefs.Count(); ++i) {
        auto tableDef = tableDefs.Item(i);
        if (showSystemObjects_ || (tableDef->Attributes() & jet::dbSystemObject) == 0) {
          tableNames_.Add(tableDef->Name());
        }
      }
    });
  }
  IgnoringErrors([&] {
    auto& queryDefs = database_->QueryDefs();
    for (int i = 0; i < queryDefs.Count(); ++i) queryDefNames_.Add(queryDefs.Item(i)->Name());
  });
}

void TLumoDaoDatabase::DeleteIndex(const std::string& tableName, const std::string& indexName) {
  RefreshCatalogue();
  RequireDatabase("DeleteIndex").TableDefs().Item(tableName)->Indexes().Delete(indexName);
  RefreshCatalogue();
}

bool TLumoDaoDatabase::AddQueryDef(const std::string& name, const std::string& sql) {
  // The engine stores the definition as it is created; the object itself is not needed.
  RequireDatabase("AddQueryDef").CreateQueryDef(name, sql).reset();
  RefreshCatalogue();
  return true;
}

void TLumoDaoDatabase::SetQueryDefSQL(const std::string& name, const std::string& sql) {
  RefreshCatalogue();
  RequireDatabase("SetQueryDefSQL").QueryDefs().Item(name)->SetSQL(sql);
  RefreshCatalogue();
}

std::string TLumoDaoDatabase::GetQueryDefSQL(const std::string& name) {
  try {
    return RequireDatabase("GetQueryDefSQL").QueryDefs().Item(name)->SQL();
  } catch (...) {
    return {};
  }
}

std::string TLumoDaoDatabase::CollatingOrderName(int32_t code) {
  for (const CollatingOrder& order : kCollatingOrders) {
    if (order.code == code) return order.name;
  }
  return {};
}

std::string TLumoDaoDatabase::DatabaseLanguage() {
  collatingOrderCode_ = 0;
  if (!connected_ || !database_) return {};
  int32_t code = jet::dbSortUndefined;
  try {
    code = database_->CollatingOrder();
  } catch (...) {
    code = jet::dbSortUndefined;
  }
  collatingOrderCode_ = code;
  return CollatingOrderName(code);
}

// --- registry look-ups ---------------------------------------------------------------------

void TLumoDaoDatabase::FillDatabaseTypes(const std::string& version) const {
  TRegistry registry;
  if (version == "3.5" && registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine,
                                                   "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats")) {
    AssignNames(databaseTypes_, registry.GetKeyNames());
  }
  if (version == "3.6" && registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine,
                                                   "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats")) {
    AssignNames(databaseTypes_, registry.GetKeyNames());
  }
  // Not cleared when no key opens: the two built-in types go in front of what was there.
  databaseTypes_.Insert(0, "ODBC");
  databaseTypes_.Insert(0, "Access");
}

void TLumoDaoDatabase::FillPendingDatabaseTypes() const {
  // Taken out first, so that a registry that cannot be read is not asked twice for one Version.
  std::vector<std::string> versions = std::move(pendingTypeVersions_);
  pendingTypeVersions_.clear();
  for (const std::string& version : versions) FillDatabaseTypes(version);
}

void TLumoDaoDatabase::FillOdbcLists() const {
  odbcListsRead_ = true;
  TRegistry registry;
  if (registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine,
                               "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers")) {
    AssignNames(odbcDrivers_, registry.GetValueNames());
  }

  systemDataSources_.Clear();
  if (registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine,
                               "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources")) {
    AssignNames(systemDataSources_, registry.GetValueNames());
  }
  userDataSources_.Clear();
  if (registry.OpenKeyReadOnly(RegistryRoot::kCurrentUser,
                               "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources")) {
    AssignNames(userDataSources_, registry.GetValueNames());
  }
  registry.CloseKey();

  dataSourceFiles_.Clear();
  for (const auto& [sources, system] :
       {std::pair{&userDataSources_, false}, std::pair{&systemDataSources_, true}}) {
    for (int i = 0; i < sources->Count(); ++i) {
      const std::string name = sources->Get(i);
      const std::string path = DataSourceFile(name, system);
      if (!path.empty()) dataSourceFiles_.Add(name + "=" + path);
    }
  }
}

const TStringList& TLumoDaoDatabase::DatabaseTypes() const {
  if (!pendingTypeVersions_.empty()) FillPendingDatabaseTypes();
  return databaseTypes_;
}

const TStringList& TLumoDaoDatabase::ODBCDrivers() const {
  if (!odbcListsRead_) FillOdbcLists();
  return odbcDrivers_;
}

const TStringList& TLumoDaoDatabase::SystemDataSources() const {
  if (!odbcListsRead_) FillOdbcLists();
  return systemDataSources_;
}

const TStringList& TLumoDaoDatabase::UserDataSources() const {
  if (!odbcListsRead_) FillOdbcLists();
  return userDataSources_;
}

const TStringList& TLumoDaoDatabase::DataSourceFiles() const {
  if (!odbcListsRead_) FillOdbcLists();
  return dataSourceFiles_;
}

std::string TLumoDaoDatabase::DataSourceFile(const std::string& name, bool system) const {
  TRegistry registry;
  const RegistryRoot root = system ? RegistryRoot::kLocalMachine : RegistryRoot::kCurrentUser;
  if (!registry.OpenKeyReadOnly(root, "SOFTWARE\\ODBC\\ODBC.INI\\" + name)) return {};
  return registry.ReadString("DBQ");
}

}  // namespace lumo
