#include "jet/DBEngine.h"

#include <algorithm>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/Security.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSource = "DAO.DBEngine";
constexpr const char* kDefaultWorkspaceName = "#Default Workspace#";

// The engines living on this thread; the thread's error hook hands every raised error to
// each of them (one thread per component graph, so this needs no lock).
thread_local std::vector<DBEngine*> tEngines;
// The hook that was there before the thread's first engine, put back after its last.
thread_local DaoErrorHook tPreviousHook;

class WorkspaceCollection : public Collection<Workspace> {
 public:
  WorkspaceCollection() : Collection<Workspace>(kSource) {}

  void Append(std::shared_ptr<Workspace> workspace) override {
    if (!workspace || !workspace->IsValid()) RaiseDaoError(3420, {}, kSource);
    if (workspace->Name().empty()) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
    Collection<Workspace>::Append(workspace);
    workspace->MarkAppended();
  }
  void Refresh() override {
    std::erase_if(items_, [](const auto& workspace) { return !workspace->IsValid(); });
  }
  void Delete(std::string_view) override { RaiseDaoError(3219, {}, kSource); }
  void PutFirst(std::shared_ptr<Workspace> workspace) { items_.insert(items_.begin(), std::move(workspace)); }
};

class ErrorCollection : public Collection<Error> {
 public:
  ErrorCollection() : Collection<Error>(kSource) {}
  void Replace(const DaoErrorInfo& info) { Reset({std::make_shared<Error>(info)}); }
  void Append(std::shared_ptr<Error>) override { RaiseDaoError(3219, {}, kSource); }
  void Delete(std::string_view) override { RaiseDaoError(3219, {}, kSource); }
};

}  // namespace

struct DBEngine::State {
  WorkspaceCollection workspaces;
  ErrorCollection errors;
  std::unique_ptr<PropertyCollection> properties;
};

DBEngine::DBEngine(std::string version)
    : DaoObject(kSource), version_(std::move(version)), state_(std::make_unique<State>()) {
  if (tEngines.empty()) {
    tPreviousHook = SetDaoErrorHook([](const DaoErrorInfo& info) {
      for (DBEngine* engine : tEngines) static_cast<ErrorCollection&>(engine->Errors()).Replace(info);
    });
  }
  tEngines.push_back(this);
}

DBEngine::~DBEngine() {
  for (const auto& workspace : state_->workspaces) {
    if (!workspace->IsValid()) continue;
    try {
      workspace->Close();
    } catch (...) {
      // A destructor must not throw.
    }
  }
  std::erase(tEngines, this);
  if (tEngines.empty()) SetDaoErrorHook(std::move(tPreviousHook));
}

void DBEngine::SetDefaultType(int type) {
  CheckValid();
  if (type != dbUseJet && type != dbUseODBC) Raise(kDaoInvalidArgument);
  defaultType_ = type;
}

std::shared_ptr<Workspace> DBEngine::CreateWorkspace(const std::string& name, const std::string& user,
                                                     const std::string& password, int type) {
  CheckValid();
  if (type != dbUseJet && type != dbUseODBC) Raise(kDaoInvalidArgument);
  if (type == dbUseJet) {
    // DAO's limits on account names and passwords.
    if (user.empty() || user.size() > 20 || password.size() > 20) RaiseDaoError(3029, {}, kSource);
    std::shared_ptr<const Workgroup> workgroup = Workgroup::Load(systemDB_);
    workgroup->CheckLogon(user, password);
    auto workspace = std::make_shared<Workspace>(name, user, type);
    workspace->SetWorkgroup(std::move(workgroup));
    workspace->SetLoginTimeout(loginTimeout_);
    return workspace;
  }
  auto workspace = std::make_shared<Workspace>(name, user, type);
  workspace->SetLoginTimeout(loginTimeout_);
  return workspace;
}

std::shared_ptr<Workspace> DBEngine::DefaultWorkspace() {
  CheckValid();
  Collection<Workspace>& workspaces = Workspaces();
  if (workspaces.Count() > 0 && workspaces.Item(0)->IsValid()) return workspaces.Item(0);
  std::string user = defaultUser_.empty() ? "admin" : defaultUser_;
  auto workspace = CreateWorkspace(kDefaultWorkspaceName, user, defaultPassword_, defaultType_);
  workspace->MarkAppended();
  state_->workspaces.PutFirst(workspace);
  return workspace;
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& name, const Variant& options, bool readOnly,
                                                 const std::string& connect) {
  return DefaultWorkspace()->OpenDatabase(name, options, readOnly, connect);
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::string& name, const std::string& locale, int options) {
  return DefaultWorkspace()->CreateDatabase(name, locale, options);
}

void DBEngine::Idle(int action) {
  CheckValid();
  for (const auto& workspace : state_->workspaces) {
    if (!workspace->IsValid()) continue;
    for (const auto& database : workspace->Databases()) {
      if (database->IsValid()) database->File()->Idle(action);
    }
  }
}

Collection<Workspace>& DBEngine::Workspaces() {
  CheckValid();
  state_->workspaces.Refresh();
  return state_->workspaces;
}

Collection<Error>& DBEngine::Errors() { return state_->errors; }

PropertyCollection& DBEngine::Properties() {
  CheckValid();
  if (state_->properties) return *state_->properties;
  state_->properties = std::make_unique<PropertyCollection>();
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    state_->properties->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add("Name", dbText, [] { return Variant("DBEngine"); });
  add("Version", dbText, [this] { return Variant(version_); });
  add(
      "DefaultType", dbLong, [this] { return Variant(defaultType_); },
      [this](const Variant& v) { SetDefaultType(v.AsInteger()); });
  add(
      "SystemDB", dbText, [this] { return Variant(systemDB_); },
      [this](const Variant& v) { SetSystemDB(VarToStr(v)); });
  add(
      "LoginTimeout", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(*loginTimeout_)); },
      [this](const Variant& v) { SetLoginTimeout(v.AsInteger()); });
  return *state_->properties;
}

}  // namespace lumo::jet
