#pragma once
// TLumoDaoDatabase: the non-visual component that stands for one open database. It creates
// the DAO engine object through the automation layer (ProgIDs "DAO.DBEngine.36",
// "DAO.PrivateDBEngine.36" and the 3.5 names), one workspace in it, and opens one database in
// that workspace: an Access file, an ODBC data source or an installable-ISAM source. Datasets
// reach DAO only through its engine, workspace and database objects, register in
// OpenDatasets while they are open, and are closed by it when it disconnects.
//
// The published properties configure it; Connected opens and closes the database. Most of
// them refuse to change while connected (EDatabaseError naming the setter); a refused
// change keeps the old value. Changing the engine's settings while disconnected rebuilds
// engine and workspace at once, and every connect rebuilds them anyway. While the component
// is read from a form description the setters only store, and FinishLoading prepares the
// engine once (swallowing its errors, so unusable settings still load); a description that
// says Connected = True connects there too, after every property has been read.
//
// Implemented in LumoDaoDataBase.cpp (construction, engine, workspace),
// LumoDaoDataBaseConnect.cpp (connect, login, disconnect), LumoDaoDataBaseProperties.cpp
// (published properties and their setters) and LumoDaoDataBaseCatalogue.cpp (catalogue
// lists, query definitions, collating order, registry look-ups).
//
// Errors: EDatabaseError for the component's own refusals and messages; DAO's errors pass
// through unchanged as EOleException. The construction raises "Unable to init OLE objects!",
// "Cannot find DAO on your system!" or "You does not have Microsoft DAO installed ot it is
// an OLD Version!".
// Ownership: the DAO objects are automation references held here and released on
// disconnect (database) and destruction (all). The datasets in OpenDatasets are not owned.
// Threads: one; the component initialises COM for the thread that creates it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/ClassInfo.h"
#include "runtime/Component.h"
#include "runtime/Strings.h"

namespace lumo::jet {
class DBEngine;
class Workspace;
class Database;
}  // namespace lumo::jet

namespace lumo {

class TLumoDaoDatabase;

// One DAO error as the engine's Errors collection reports it; Number 0 means none.
struct TDaoErrRec {
  int32_t Number = 0;
  std::string Source;
  std::string Description;
  std::string HelpFile;
  int32_t HelpContext = 0;
};

// What the database needs of a dataset that is open on it. A dataset adds itself to
// OpenDatasets (its component name, itself as the entry's object) once it has opened, and
// removes itself when it closes, except while the database closes it: then it only clears
// the mark.
class DaoDatasetClient {
 public:
  virtual ~DaoDatasetClient() = default;
  // The database is about to close the dataset and will empty OpenDatasets itself.
  virtual void MarkClosingByDatabase() = 0;
  // Closes the dataset through its ordinary close path.
  virtual void CloseForDatabase() = 0;
};

class TLumoDaoDatabase : public TComponent {
 public:
  // The handler reads and may change the lines "USER NAME=", "PASSWORD=", "DBPASSWORD=".
  using TLoginEvent = Event<void(TLumoDaoDatabase* database, TStrings& loginParams)>;
  using TConnectEvent = Event<void(TLumoDaoDatabase* database)>;

  static constexpr const char* kComponentVersion = "9.10";

  explicit TLumoDaoDatabase(TComponent* owner);
  ~TLumoDaoDatabase() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // --- connection ---------------------------------------------------------------------
  bool Connected() const noexcept { return connected_; }
  // The setter of Connected: connects when not connected, disconnects when connected.
  void F_Set_Active(bool active);
  void Open() { F_Set_Active(true); }
  void Close() { F_Set_Active(false); }

  // Transactions over the workspace's BeginTrans/CommitTrans/Rollback: everything written
  // through this database (datasets, ExecuteSQL, the engine objects) between
  // StartTransaction and Commit reaches the file at Commit, or not at all after Rollback.
  // They nest up to five levels, the engine's limit. StartTransaction, Commit and Rollback
  // need a connection ("TLumoDaoDatabase.<operation>: Database is NOT connected"); Commit and
  // Rollback without a transaction raise the engine's error 3034. Rollback lets the engine
  // idle, so that datasets read their rows again; their windows keep what they showed until
  // they are refreshed. Disconnecting rolls back what is still open.
  void StartTransaction();
  void Commit();
  void Rollback();
  bool InTransaction() const;

  // Creates the engine object for "3.5" or "3.6" (other texts create nothing).
  void CreateEngine(const std::string& version);
  // A fresh engine and workspace from the properties. Meant for a disconnected component:
  // closing the old workspace would close the open database under its datasets.
  void PrepareWorkspace();
  // Switches Version to "3.6" when the Access file's header carries an Access 2000 mark
  // (and Version was "3.5"); never reports an error.
  void DetectMdbVersion(const std::string& path);
  // The workgroup file Jet has registered for the current Version; empty when none.
  std::string JetSystemDatabase() const;
  TDaoErrRec GetLastDaoError() const;
  // Closes every dataset in OpenDatasets, swallowing each one's error, and empties it.
  void CloseDatasets();
  // Lets the engine release read locks and refresh its cache.
  void EngineIdle();

  void FinishLoading() override;

  // The automation objects; empty when absent. The database exists exactly while connected.
  const std::shared_ptr<jet::DBEngine>& DaoEngine() const noexcept { return engine_; }
  const std::shared_ptr<jet::Workspace>& DaoWorkspace() const noexcept { return workspace_; }
  const std::shared_ptr<jet::Database>& DaoDatabase() const noexcept { return database_; }

  // --- lists ------------------------------------------------------------------------------
  // Installed DAO versions found at construction: "3.6" or nothing.
  const TStringList& DaoVersions() const noexcept { return daoVersions_; }
  TStringList& OpenDatasets() noexcept { return openDatasets_; }
  // Lines "USER NAME=...", "PASSWORD=...", "DBPASSWORD=..." the application may give; the
  // component only reads them.
  TStringList& LoginParamList() noexcept { return loginParamList_; }

  // --- catalogue and registry look-ups (LumoDaoDataBaseCatalogue.cpp) ------------------
  // Rebuilds TableNames and QueryDefNames from the open database; never fails.
  void RefreshCatalogue();
  const TStringList& TableNames() const noexcept { return tableNames_; }
  const TStringList& QueryDefNames() const noexcept { return queryDefNames_; }
  // The registry lists are read when one of them is first asked for, not when the component
  // is made, so that a program that never looks at them (a recording run) reads no ODBC
  // configuration at all. Once read they are not read again; DatabaseTypes follows every
  // change of Version made until then and after. A registry description file that cannot be
  // read raises here.
  const TStringList& DatabaseTypes() const;
  const TStringList& ODBCDrivers() const;
  const TStringList& SystemDataSources() const;
  const TStringList& UserDataSources() const;
  // "name=path" for every data source that names a database file (DBQ).
  const TStringList& DataSourceFiles() const;
  // The DBQ value of a user (system false) or system data source; empty when absent.
  std::string DataSourceFile(const std::string& name, bool system) const;
  // DAO's errors propagate (unknown table, index or query name).
  void DeleteIndex(const std::string& tableName, const std::string& indexName);
  bool AddQueryDef(const std::string& name, const std::string& sql);
  void SetQueryDefSQL(const std::string& name, const std::string& sql);
  // Empty on any error.
  std::string GetQueryDefSQL(const std::string& name);
  // The collating-order code read by the last DatabaseLanguage: 0 while not connected, -1
  // when the engine gave none.
  int32_t CollatingOrderCode() const noexcept { return collatingOrderCode_; }
  // The name of a collating-order code; empty for codes without one.
  static std::string CollatingOrderName(int32_t code);

  // --- published properties (LumoDaoDataBaseProperties.cpp) -----------------------------
  std::string ComponentVersion() const { return kComponentVersion; }
  void F_Set_ComponentVersion(const std::string&) {}  // fixed
  bool Exclusive() const noexcept { return exclusive_; }
  void F_Set_Exclusive(bool exclusive);
  // The open database's collating order by name; empty while not connected.
  std::string DatabaseLanguage();
  void F_Set_DatabaseLanguage(const std::string&) {}  // computed
  const std::string& DatabaseType() const noexcept { return databaseType_; }
  void F_Set_DatabaseType(const std::string& databaseType);
  const std::string& Database() const noexcept { return databaseName_; }
  void F_Set_Database(const std::string& database);
  const std::string& DatabaseParameters() const noexcept { return databaseParameters_; }
  void F_Set_DatabaseParameters(const std::string& parameters);
  const std::string& DatabaseVersionInfo() const noexcept { return databaseVersionInfo_; }
  void F_Set_DatabaseVersionInfo(const std::string&) {}  // read at connect
  bool ReadOnly() const noexcept { return readOnly_; }
  void F_Set_ReadOnly(bool readOnly);
  bool LoginPrompt() const noexcept { return loginPrompt_; }
  void F_Set_LoginPrompt(bool loginPrompt);
  const std::string& UserName() const noexcept { return userName_; }
  void F_Set_UserName(const std::string& userName);
  bool UseODBCDialog() const noexcept { return useOdbcDialog_; }
  void F_Set_UseODBCDialog(bool use) noexcept { useOdbcDialog_ = use; }
  const std::string& Password() const noexcept { return password_; }
  void F_Set_Password(const std::string& password);
  const std::string& DatabasePassword() const noexcept { return databasePassword_; }
  void F_Set_DatabasePassword(const std::string& password);
  const std::string& SystemDatabase() const noexcept { return systemDatabase_; }
  void F_Set_SystemDatabase(const std::string& path);
  bool SaveUserName() const noexcept { return saveUserName_; }
  void F_Set_SaveUserName(bool save) noexcept { saveUserName_ = save; }
  bool ShowSystemObjects() const noexcept { return showSystemObjects_; }
  void F_Set_ShowSystemObjects(bool show);
  bool SmartOpen() const noexcept { return smartOpen_; }
  void F_Set_SmartOpen(bool smartOpen) noexcept { smartOpen_ = smartOpen; }
  int32_t EngineType() const noexcept { return engineType_; }
  void F_Set_EngineType(int32_t engineType);
  bool PrivateEngine() const noexcept { return privateEngine_; }
  void F_Set_PrivateEngine(bool privateEngine);
  bool TrackTransactions() const noexcept { return trackTransactions_; }
  void F_Set_TrackTransactions(bool track);
  bool UsesDynaDao() const noexcept { return usesDynaDao_; }
  void F_Set_UsesDynaDao(bool) {}  // set by engine creation
  const std::string& Version() const noexcept { return version_; }
  void F_Set_DaoVersion(const std::string& version);
  const std::string& VersionDetails() const noexcept { return versionDetails_; }
  void F_Set_VersionDetails(const std::string&) {}  // the engine's own text
  const std::string& VersionInfo() const noexcept { return versionInfo_; }
  void F_Set_VersionInfo(const std::string&) {}  // derived from VersionDetails
  const std::string& Workspace() const noexcept { return workspaceName_; }
  void F_Set_Workspace(const std::string& name);
  int32_t DefaultCursorDriver() const noexcept { return defaultCursorDriver_; }
  void F_Set_DefaultCursorDriver(int32_t driver);
  int32_t QueryTimeout() const noexcept { return queryTimeout_; }
  void F_Set_QueryTimeout(int32_t seconds) noexcept { queryTimeout_ = seconds; }
  bool MdbVersionAutoDetect() const noexcept { return mdbVersionAutoDetect_; }
  void F_Set_MdbVersionAutoDetect(bool detect) noexcept { mdbVersionAutoDetect_ = detect; }

  TLoginEvent OnLogin;
  TConnectEvent OnBeforeConnect;
  TConnectEvent OnAfterConnect;
  TConnectEvent OnBeforeDisconnect;
  TConnectEvent OnAfterDisconnect;

 private:
  void InitCom();
  void UndoCom() noexcept;
  void SetVersionInfoFrom(const std::string& versionDetails);
  void Connect();
  void Disconnect();
  enum class LoginOutcome { kNoDialog, kConfirmed, kCancelled };
  // The login step: whether the dialog was shown and how the user closed it.
  LoginOutcome RunLogin();
  void ExchangeLoginValues();
  void TakeLoginParamList();
  void OpenDatabaseObject();
  // Raises the refusal when connected.
  void RefuseWhileConnected(const char* message) const;
  // PrepareWorkspace; on failure the old value is put back, the workspace prepared again
  // and the first error raised. Skipped while loading.
  template <class T>
  void Rebuild(T& member, const T& oldValue);
  // Registry lists (LumoDaoDataBaseCatalogue.cpp): the ODBC lists all at once, the database
  // types once for every Version they were asked for while nobody looked.
  void FillOdbcLists() const;
  void FillDatabaseTypes(const std::string& version) const;
  void FillPendingDatabaseTypes() const;
  jet::Database& RequireDatabase(const char* operation) const;

  std::shared_ptr<jet::DBEngine> engine_;
  std::shared_ptr<jet::Workspace> workspace_;
  std::shared_ptr<jet::Database> database_;
  bool comInitialized_ = false;
  bool connected_ = false;
  bool streamedConnected_ = false;  // Connected read from a description, applied when loaded

  bool exclusive_ = false;
  std::string databaseType_ = "Access";
  std::string databaseName_;
  std::string databaseParameters_;
  std::string databaseVersionInfo_;
  bool readOnly_ = false;
  bool loginPrompt_ = false;
  std::string userName_ = "Admin";
  bool useOdbcDialog_ = true;
  std::string password_;
  std::string databasePassword_;
  std::string systemDatabase_;
  bool saveUserName_ = true;
  bool showSystemObjects_ = false;
  bool smartOpen_ = true;
  int32_t engineType_ = 2;
  bool privateEngine_ = false;
  bool trackTransactions_ = true;
  bool usesDynaDao_ = false;
  std::string version_ = "3.6";
  std::string versionDetails_;
  std::string versionInfo_;
  std::string workspaceName_ = "DaoWorkspace";
  int32_t defaultCursorDriver_ = -1;
  int32_t queryTimeout_ = 60;
  bool mdbVersionAutoDetect_ = false;
  int32_t collatingOrderCode_ = 0;

  TStringList daoVersions_;
  TStringList openDatasets_;
  TStringList loginParamList_;
  TStringList tableNames_;
  TStringList queryDefNames_;
  // Filled on first read (see DatabaseTypes), hence mutable.
  mutable std::vector<std::string> pendingTypeVersions_;
  mutable bool odbcListsRead_ = false;
  mutable TStringList databaseTypes_;
  mutable TStringList odbcDrivers_;
  mutable TStringList systemDataSources_;
  mutable TStringList userDataSources_;
  mutable TStringList dataSourceFiles_;
};

// Makes TLumoDaoDatabase creatable by name for form descriptions. Safe to call again.
void RegisterDaoDatabaseClasses();

}  // namespace lumo
