// TLumoDaoDatabase: construction, the engine object, the workspace, and destruction.

#include "dao/database/LumoDaoDataBase.h"

#include <mutex>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/DatabaseFile.h"
#include "jet/Workspace.h"
#include "jet/odbc/DirectConnection.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "runtime/Com.h"
#include "runtime/Registry.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr const char* kUnableToInitOle = "Unable to init OLE objects!";
constexpr const char* kNoDao = "Cannot find DAO on your system!";
constexpr const char* kOldDao =
    "You does not have Microsoft DAO installed ot it is an OLD Version!";

// The engine classes of this program live in its own process: they are registered with the
// automation layer the first time a database component needs them.
void EnsureEngineClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    jet::RegisterEngineClasses();
    jet::odbc::RegisterOdbcBackEnd();
    jet::odbc::RegisterDirectConnections();
  });
}

// The engine object of a class, or nullptr when the class cannot be created.
std::shared_ptr<jet::DBEngine> TryCreateEngine(const std::string& progId) {
  try {
    return std::dynamic_pointer_cast<jet::DBEngine>(CreateOleObject(progId));
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

TLumoDaoDatabase::TLumoDaoDatabase(TComponent* owner) : TComponent(owner) {
  EnsureEngineClasses();
  try {
    InitCom();

    privateEngine_ = false;
    // The 3.6 engine counts as installed when its class is registered and can be created.
    TRegistry registry;
    if (registry.KeyExists(RegistryRoot::kClassesRoot, "DAO.DBEngine.36") &&
        TryCreateEngine("DAO.DBEngine.36")) {
      daoVersions_.Add("3.6");
    }
    if (daoVersions_.IsEmpty()) throw EDatabaseError(kNoDao);

    version_ = daoVersions_[0] == "3.5" ? "3.5" : "3.6";
    CreateEngine(version_);

    systemDatabase_ = JetSystemDatabase();
    if (!systemDatabase_.empty()) engine_->SetSystemDB(systemDatabase_);

    userName_ = "Admin";
    password_.clear();
    databasePassword_.clear();
    databaseParameters_.clear();
    saveUserName_ = true;
    smartOpen_ = true;
    engine_->SetDefaultUser("Admin");
    engine_->SetDefaultPassword("");

    engineType_ = jet::dbUseJet;
    engine_->SetDefaultType(jet::dbUseJet);
    defaultCursorDriver_ = -1;
    workspaceName_ = "DaoWorkspace";

    versionDetails_ = engine_->Version();
    versionInfo_.clear();
    SetVersionInfoFrom(versionDetails_);
    databaseVersionInfo_.clear();

    databaseType_ = "Access";
    connected_ = false;
    databaseName_.clear();
    readOnly_ = exclusive_ = loginPrompt_ = mdbVersionAutoDetect_ = showSystemObjects_ = false;
    queryTimeout_ = 60;
    trackTransactions_ = true;
    useOdbcDialog_ = true;

    // The registry lists are read when first asked for (DatabaseTypes()).
    pendingTypeVersions_.push_back(version_);
  } catch (...) {
    engine_.reset();
    UndoCom();
    throw;
  }
}

TLumoDaoDatabase::~TLumoDaoDatabase() {
  if (connected_) {
    try {
      Disconnect();
    } catch (...) {
      // A destructor must not throw; the objects are released below in any case.
    }
  }
  if (workspace_) {
    try {
      workspace_->Close();
    } catch (...) {}
  }
  database_.reset();
  workspace_.reset();
  engine_.reset();
  UndoCom();
}

void TLumoDaoDatabase::InitCom() {
  const int32_t result = CoInitialize();
  if (result != kS_OK && result != kS_FALSE) throw EDatabaseError(kUnableToInitOle);
  comInitialized_ = true;
}

void TLumoDaoDatabase::UndoCom() noexcept {
  if (!comInitialized_) return;
  CoUninitialize();
  comInitialized_ = false;
}

void TLumoDaoDatabase::SetVersionInfoFrom(const std::string& versionDetails) {
  if (versionDetails.size() < 3) return;
  if (versionDetails[2] == '5') versionInfo_ = "(In Access'97 mode)";
  if (versionDetails[2] == '6') versionInfo_ = "(In Access'2000 mode)";
}

void TLumoDaoDatabase::CreateEngine(const std::string& version) {
  const std::string progId35 = privateEngine_ ? "DAO.PrivateDBEngine.35" : "DAO.DBEngine.35";
  const std::string progId36 = privateEngine_ ? "DAO.PrivateDBEngine.36" : "DAO.DBEngine.36";
  usesDynaDao_ = true;
  if (version == "3.5") {
    if (auto engine = TryCreateEngine(progId35)) {
      engine_ = std::move(engine);
      version_ = "3.5";
    } else if (auto newer = TryCreateEngine(progId36)) {
      engine_ = std::move(newer);
      version_ = "3.6";
    } else {
      throw EDatabaseError(kOldDao);
    }
  } else if (version == "3.6") {
    auto engine = TryCreateEngine(progId36);
    if (!engine) throw EDatabaseError(kOldDao);
    engine_ = std::move(engine);
    version_ = "3.6";
  }
}

void TLumoDaoDatabase::PrepareWorkspace() {
  if (workspace_) {
    try {
      workspace_->Close();
    } catch (...) {}
    workspace_.reset();
  }
  engine_.reset();

  UndoCom();
  InitCom();

  CreateEngine(version_);
  // Versions without an engine class leave no engine to prepare a workspace in.
  if (!engine_) {
    throw EDatabaseError(
        Format("TLumoDaoDatabase.PrepareWorkspace: No DAO engine for Version \"%s\"!", version_));
  }

  engine_->SetSystemDB(systemDatabase_);
  versionDetails_ = engine_->Version();
  SetVersionInfoFrom(versionDetails_);

  engine_->SetDefaultUser(userName_);
  engine_->SetDefaultPassword(password_);

  auto workspace = engine_->CreateWorkspace(workspaceName_, userName_, password_, engineType_);
  engine_->Workspaces().Append(workspace);
  workspace_ = workspace;
  if (engineType_ == jet::dbUseODBC) workspace_->SetDefaultCursorDriver(defaultCursorDriver_);
  workspaceName_ = workspace_->Name();
}

std::string TLumoDaoDatabase::JetSystemDatabase() const {
  const char* keyVersion = version_ == "3.6" ? "4.0" : "3.5";
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine,
                                Format("SOFTWARE\\Microsoft\\JET\\%s\\Engines", keyVersion))) {
    return {};
  }
  return registry.ReadString("SystemDB");
}

void TLumoDaoDatabase::DetectMdbVersion(const std::string& path) {
  // Read through the engine: a descriptor of our own, closed again, would drop the locks
  // that this process's open connections hold on the same file.
  constexpr size_t kHeaderSize = 160;
  const std::string header = jet::ReadFileHeader(path, kHeaderSize);
  if (header.size() < kHeaderSize) return;
  if (daoVersions_.IndexOf("3.5") >= 0) version_ = "3.5";
  // The Jet 4 file format (Access 2000) writes its version digits at offset 156.
  if (header[156] == '4' && header[157] == '.' && version_ == "3.5" && usesDynaDao_)
    version_ = "3.6";
}

TDaoErrRec TLumoDaoDatabase::GetLastDaoError() const {
  TDaoErrRec record;
  if (!engine_) return record;
  auto& errors = engine_->Errors();
  if (errors.Count() == 0) return record;
  auto error = errors.Item(0);
  record.Number = error->Number();
  record.Source = error->Source();
  record.Description = error->Description();
  record.HelpFile = error->HelpFile();
  record.HelpContext = error->HelpContext();
  return record;
}

void TLumoDaoDatabase::EngineIdle() {
  if (!engine_) return;
  // Both actions in one walk over the engine's databases: the dataset idles after every
  // record it reads.
  engine_->Idle(jet::dbFreeLocks | jet::dbRefreshCache);
}

void TLumoDaoDatabase::FinishLoading() {
  if (!connected_) {
    try {
      PrepareWorkspace();
    } catch (...) {
      // A component with unusable settings still loads; the next connect reports them.
    }
  }
  if (streamedConnected_) {
    streamedConnected_ = false;
    F_Set_Active(true);
  }
}

void RegisterDaoDatabaseClasses() { RegisterClass(TLumoDaoDatabase::StaticClass()); }

}  // namespace lumo
