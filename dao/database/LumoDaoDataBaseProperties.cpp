// TLumoDaoDatabase: the published properties and their setters.

#include <exception>

#include "dao/database/LumoDaoDataBase.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Workspace.h"
#include "runtime/ClassInfo.h"

namespace lumo {

const ClassInfo& TLumoDaoDatabase::StaticClass() {
  using T = TLumoDaoDatabase;
  // Declaration order is the order of a written description; the derived, read-only values
  // (language, version texts) are never written, since reading could not change them.
  static const ClassInfo info =
      ClassBuilder<T>("TLumoDaoDatabase", &TComponent::StaticClass)
          .String("ComponentVersion", &T::ComponentVersion, &T::F_Set_ComponentVersion,
                  kComponentVersion)
          .Boolean("Exclusive", &T::Exclusive, &T::F_Set_Exclusive, false)
          .String("DatabaseLanguage", &T::DatabaseLanguage, &T::F_Set_DatabaseLanguage)
          .NotStored()
          .String("DatabaseType", &T::DatabaseType, &T::F_Set_DatabaseType, "Access")
          .String("Database", &T::Database, &T::F_Set_Database)
          .String("DatabaseParameters", &T::DatabaseParameters, &T::F_Set_DatabaseParameters)
          .String("DatabaseVersionInfo", &T::DatabaseVersionInfo, &T::F_Set_DatabaseVersionInfo)
          .NotStored()
          .Boolean("ReadOnly", &T::ReadOnly, &T::F_Set_ReadOnly, false)
          .Boolean("LoginPrompt", &T::LoginPrompt, &T::F_Set_LoginPrompt, false)
          .String("UserName", &T::UserName, &T::F_Set_UserName, "Admin")
          .Boolean("UseODBCDialog", &T::UseODBCDialog, &T::F_Set_UseODBCDialog, true)
          .String("Password", &T::Password, &T::F_Set_Password)
          .String("DatabasePassword", &T::DatabasePassword, &T::F_Set_DatabasePassword)
          .String("SystemDatabase", &T::SystemDatabase, &T::F_Set_SystemDatabase)
          .Boolean("SaveUserName", &T::SaveUserName, &T::F_Set_SaveUserName, true)
          .Boolean("ShowSystemObjects", &T::ShowSystemObjects, &T::F_Set_ShowSystemObjects, false)
          .Boolean("SmartOpen", &T::SmartOpen, &T::F_Set_SmartOpen, true)
          .Integer("EngineType", &T::EngineType, &T::F_Set_EngineType, jet::dbUseJet)
          .Boolean("PrivateEngine", &T::PrivateEngine, &T::F_Set_PrivateEngine, false)
          .Boolean("TrackTransactions", &T::TrackTransactions, &T::F_Set_TrackTransactions, true)
          .Boolean("UsesDynaDao", &T::UsesDynaDao, &T::F_Set_UsesDynaDao, true)
          .String("Version", &T::Version, &T::F_Set_DaoVersion, "3.6")
          .String("VersionDetails", &T::VersionDetails, &T::F_Set_VersionDetails)
          .NotStored()
          .String("VersionInfo", &T::VersionInfo, &T::F_Set_VersionInfo)
          .NotStored()
          .String("Workspace", &T::Workspace, &T::F_Set_Workspace, "DaoWorkspace")
          .Integer("DefaultCursorDriver", &T::DefaultCursorDriver, &T::F_Set_DefaultCursorDriver,
                   -1)
          .Integer("QueryTimeout", &T::QueryTimeout, &T::F_Set_QueryTimeout, 60)
          .Boolean("MdbVersionAutoDetect", &T::MdbVersionAutoDetect, &T::F_Set_MdbVersionAutoDetect,
                   false)
          .Event("OnLogin", &T::OnLogin)
          .Event("OnBeforeConnect", &T::OnBeforeConnect)
          .Event("OnAfterConnect", &T::OnAfterConnect)
          .Event("OnBeforeDisconnect", &T::OnBeforeDisconnect)
          .Event("OnAfterDisconnect", &T::OnAfterDisconnect)
          .Boolean("Connected", &T::Connected, &T::F_Set_Active, false);
  return info;
}

const ClassInfo& TLumoDaoDatabase::ClassType() const { return StaticClass(); }

void TLumoDaoDatabase::RefuseWhileConnected(const char* message) const {
  if (connected_) throw EDatabaseError(message);
}

template <class T>
void TLumoDaoDatabase::Rebuild(T& member, const T& oldValue) {
  if (HasState(ComponentStateFlag::kLoading)) return;
  try {
    PrepareWorkspace();
  } catch (...) {
    std::exception_ptr firstError = std::current_exception();
    member = oldValue;
    try {
      PrepareWorkspace();
    } catch (...) {
      // The first error is the one that tells what was wrong with the new value.
    }
    std::rethrow_exception(firstError);
  }
}

void TLumoDaoDatabase::F_Set_Database(const std::string& database) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!");
  databaseName_ = database;
}

void TLumoDaoDatabase::F_Set_DatabaseParameters(const std::string& parameters) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database is "
      "connected!");
  databaseParameters_ = parameters;
}

void TLumoDaoDatabase::F_Set_SystemDatabase(const std::string& path) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is "
      "connected!");
  const std::string oldValue = systemDatabase_;
  systemDatabase_ = path.empty() ? JetSystemDatabase() : path;
  Rebuild(systemDatabase_, oldValue);
}

void TLumoDaoDatabase::F_Set_DaoVersion(const std::string& version) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!");
  const std::string oldValue = version_;
  version_ = version.substr(0, 3);
  pendingTypeVersions_.push_back(version_);
  Rebuild(version_, oldValue);
  if (!HasState(ComponentStateFlag::kLoading) && engine_) versionDetails_ = engine_->Version();
}

void TLumoDaoDatabase::F_Set_Workspace(const std::string& name) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!");
  const std::string oldValue = workspaceName_;
  workspaceName_ = name;
  Rebuild(workspaceName_, oldValue);
}

void TLumoDaoDatabase::F_Set_DatabaseType(const std::string& databaseType) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is connected!");
  databaseType_ = databaseType;
  databaseName_.clear();
}

void TLumoDaoDatabase::F_Set_EngineType(int32_t engineType) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is connected!");
  const int32_t oldValue = engineType_;
  engineType_ = engineType;
  Rebuild(engineType_, oldValue);
}

void TLumoDaoDatabase::F_Set_PrivateEngine(bool privateEngine) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is "
      "connected!");
  const bool oldValue = privateEngine_;
  privateEngine_ = privateEngine;
  Rebuild(privateEngine_, oldValue);
}

void TLumoDaoDatabase::F_Set_ReadOnly(bool readOnly) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!");
  readOnly_ = readOnly;
}

void TLumoDaoDatabase::F_Set_Exclusive(bool exclusive) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is "
      "connected!");
  exclusive_ = exclusive;
}

void TLumoDaoDatabase::F_Set_LoginPrompt(bool loginPrompt) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is connected!");
  loginPrompt_ = loginPrompt;
}

void TLumoDaoDatabase::F_Set_UserName(const std::string& userName) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!");
  userName_ = userName;
  if (HasState(ComponentStateFlag::kLoading)) return;
  try {
    PrepareWorkspace();
  } catch (...) {
    // The user may not be known yet with the old password; the connect reports it.
  }
}

void TLumoDaoDatabase::F_Set_Password(const std::string& password) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!");
  password_ = password;
  if (HasState(ComponentStateFlag::kLoading)) return;
  try {
    PrepareWorkspace();
  } catch (...) {
    // As for the user name: the pair may be incomplete until both are set.
  }
}

void TLumoDaoDatabase::F_Set_DatabasePassword(const std::string& password) {
  RefuseWhileConnected(
      "TLumoDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database is "
      "connected!");
  databasePassword_ = password;
}

void TLumoDaoDatabase::F_Set_TrackTransactions(bool track) {
  RefuseWhileConnected("Cannot set TrackTransactions property when Database is connected!");
  trackTransactions_ = track;
}

void TLumoDaoDatabase::F_Set_ShowSystemObjects(bool show) {
  showSystemObjects_ = show;
  if (connected_) RefreshCatalogue();
}

void TLumoDaoDatabase::F_Set_DefaultCursorDriver(int32_t driver) {
  defaultCursorDriver_ = driver;
  if (engineType_ == jet::dbUseODBC && workspace_) workspace_->SetDefaultCursorDriver(driver);
}

}  // namespace lumo
