// TLumoDaoDatabase: connecting (login, engine step, opening the database) and disconnecting.

#include <exception>
#include <filesystem>

#include "dao/database/DbLogin.h"
#include "dao/database/LumoDaoDataBase.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Workspace.h"
#include "runtime/Dialogs.h"
#include "runtime/OsFacts.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr const char* kCancelledLogin =
    "If You not enter Username and Password You may not gain access to your data!";
constexpr int kDefaultQueryTimeout = 60;

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The folder part of a path with its trailing separator ("" when there is none).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void TLumoDaoDatabase::F_Set_Active(bool active) {
  // Read from a description: the connect waits until every property has been read.
  if (HasState(ComponentStateFlag::kLoading)) {
    streamedConnected_ = active;
    return;
  }
  if (active && !connected_) Connect();
  if (!active && connected_) Disconnect();
}

void TLumoDaoDatabase::Connect() {
  if (databaseName_.empty()) {
    throw EDatabaseError("TLumoDaoDatabase.F_Set_Active: Database property is not defined!");
  }
  if (databaseType_.empty()) {
    throw EDatabaseError("TLumoDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
  }
  OnBeforeConnect(this);

  // Login and engine step, repeated while a prompted login fails.
  for (;;) {
    const LoginOutcome outcome = RunLogin();
    try {
      if (mdbVersionAutoDetect_ && databaseType_ == "Access") DetectMdbVersion(databaseName_);
      PrepareWorkspace();
      break;
    } catch (const std::exception& error) {
      if (!loginPrompt_) throw;
      if (outcome == LoginOutcome::kCancelled) return;
      // Values from OnLogin or LoginParamList would only fail the same way again, without
      // anyone to break the loop: only a user at the dialog gets another try.
      if (outcome == LoginOutcome::kNoDialog) throw;
      ShowMessage(error.what());
    }
  }

  OpenDatabaseObject();
  try {
    if (queryTimeout_ != kDefaultQueryTimeout) database_->SetQueryTimeout(queryTimeout_);
    if (databaseType_ != "ODBC") databaseVersionInfo_ = database_->Version();
  } catch (...) {
    // The database object exists only while connected.
    try {
      database_->Close();
    } catch (...) {}
    database_.reset();
    throw;
  }
  RefreshCatalogue();

  connected_ = true;
  EngineIdle();
  OnAfterConnect(this);
}

TLumoDaoDatabase::LoginOutcome TLumoDaoDatabase::RunLogin() {
  LoginOutcome outcome = LoginOutcome::kNoDialog;
  if (loginPrompt_) {
    TDbLogin dialog;
    dialog.SetUsername(saveUserName_ ? userName_ : std::string());
    dialog.SetPassword("");
    dialog.SetDbPassword("");
    dialog.SetDatabaseName(databaseName_);
    dialog.SetActiveControl("Username");
    if (OnLogin) {
      ExchangeLoginValues();
    } else if (loginParamList_.IsEmpty()) {
      if (dialog.ShowModal() == ModalResult::kOk) {
        outcome = LoginOutcome::kConfirmed;
        userName_ = dialog.Username();
        password_ = dialog.Password();
        databasePassword_ = dialog.DbPassword();
      } else {
        ShowMessage(kCancelledLogin);
        userName_.clear();
        password_.clear();
        databasePassword_.clear();
        outcome = LoginOutcome::kCancelled;
      }
    } else {
      TakeLoginParamList();
    }
  } else if (OnLogin) {
    ExchangeLoginValues();
  } else {
    TakeLoginParamList();
  }
  return outcome;
}

void TLumoDaoDatabase::ExchangeLoginValues() {
  TStringList params;
  params.Add("USER NAME=" + userName_);
  params.Add("PASSWORD=" + password_);
  params.Add("DBPASSWORD=" + databasePassword_);
  OnLogin(this, params);
  userName_ = params.Values("USER NAME");
  password_ = params.Values("PASSWORD");
  databasePassword_ = params.Values("DBPASSWORD");
}

void TLumoDaoDatabase::TakeLoginParamList() {
  if (loginParamList_.IndexOfName("USER NAME") >= 0)
    userName_ = loginParamList_.Values("USER NAME");
  if (loginParamList_.IndexOfName("PASSWORD") >= 0) password_ = loginParamList_.Values("PASSWORD");
  if (loginParamList_.IndexOfName("DBPASSWORD") >= 0) {
    databasePassword_ = loginParamList_.Values("DBPASSWORD");
  }
}

void TLumoDaoDatabase::OpenDatabaseObject() {
  const bool useJet = engineType_ == jet::dbUseJet;
  if (SameText(databaseType_, "Access")) {
    if (smartOpen_ && !FileExists(databaseName_)) {
      // A bare file name is looked for beside the program as well.
      databaseName_ = FolderOf(ExecutablePath()) + FileNameOf(databaseName_);
    }
    if (!FileExists(databaseName_))
      throw EDatabaseError("Cannot find Database:\r\n" + databaseName_);
    if (!useJet) {
      throw EDatabaseError(
          "TLumoDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for MS "
          "Access Databases!");
    }
    const std::string connect =
        Format(";UID=%s;PWD=%s;%s", userName_, databasePassword_, databaseParameters_);
    database_ = workspace_->OpenDatabase(databaseName_, Variant(exclusive_), readOnly_, connect);
  } else if (SameText(databaseType_, "ODBC")) {
    const std::string connect = StartsText("odbc;", databaseName_)
                                    ? Format("%s;%s", databaseName_, databaseParameters_)
                                    : Format("%s;UID=%s;PWD=%s;DSN=%s;%s", databaseType_, userName_,
                                             password_, databaseName_, databaseParameters_);
    // 1: never let the driver prompt.
    if (useJet) {
      database_ = workspace_->OpenDatabase(databaseName_, Variant(1), readOnly_, connect);
    } else {
      database_ = workspace_->OpenConnection(databaseName_, 1, readOnly_, connect);
    }
  } else {
    if (!useJet)
      throw EDatabaseError("TLumoDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
    const std::string connect = !password_.empty() && !userName_.empty()
                                    ? Format("%s;UID=%s;PWD=%s;%s", databaseType_, userName_,
                                             password_, databaseParameters_)
                                    : Format("%s;%s", databaseType_, databaseParameters_);
    database_ = workspace_->OpenDatabase(databaseName_, Variant(exclusive_), readOnly_, connect);
  }
}

void TLumoDaoDatabase::Disconnect() {
  OnBeforeDisconnect(this);
  tableNames_.Clear();
  queryDefNames_.Clear();
  CloseDatasets();
  // What a transaction left open is not kept: a database closes as if it was rolled back.
  while (workspace_ && workspace_->IsValid() && workspace_->IsInTransaction()) {
    try {
      workspace_->Rollback();
    } catch (const std::exception&) {
      break;  // the connection ends it when it closes
    }
  }

  std::exception_ptr closeError;
  if (database_) {
    try {
      database_->Close();
    } catch (...) {
      closeError = std::current_exception();
    }
  }
  database_.reset();
  connected_ = false;
  if (closeError) std::rethrow_exception(closeError);
  OnAfterDisconnect(this);
}

// --- transactions
// ---------------------------------------------------------------------------------

void TLumoDaoDatabase::StartTransaction() {
  RequireDatabase("StartTransaction");
  workspace_->BeginTrans();
}

void TLumoDaoDatabase::Commit() {
  RequireDatabase("Commit");
  workspace_->CommitTrans();
}

void TLumoDaoDatabase::Rollback() {
  RequireDatabase("Rollback");
  workspace_->Rollback();
  // Rows the datasets read inside the transaction may be gone: they are read again.
  EngineIdle();
}

bool TLumoDaoDatabase::InTransaction() const {
  return connected_ && workspace_ && workspace_->IsValid() && workspace_->IsInTransaction();
}

void TLumoDaoDatabase::CloseDatasets() {
  for (int i = 0; i < openDatasets_.Count(); ++i) {
    auto* dataset = dynamic_cast<DaoDatasetClient*>(openDatasets_.Objects(i));
    if (dataset == nullptr) continue;
    try {
      dataset->MarkClosingByDatabase();
      dataset->CloseForDatabase();
    } catch (...) {
      // One dataset that cannot close must not keep the others open.
    }
  }
  openDatasets_.Clear();
}

}  // namespace lumo
