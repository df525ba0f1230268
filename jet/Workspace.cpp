#include "jet/Workspace.h"

#include <algorithm>
#include <filesystem>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/storage/BackEnd.h"
#include "jet/storage/Connection.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSource = "DAO.Workspace";
constexpr int kMaxTransactionLevels = 5;
constexpr int kNoInstallableIsam = 3170;
// The connect text's type of server databases.
constexpr const char* kOdbcType = "ODBC";

struct ConnectText {
  std::string type;  // the source type before the first ";" ("" or "MS Access" for our files)
  std::string password;
};

ConnectText ParseConnect(const std::string& connect) {
  ConnectText result;
  std::vector<std::string> parts = Split(connect, ';');
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string part = Trim(parts[i]);
    size_t equals = part.find('=');
    if (equals == std::string::npos) {
      if (i == 0) result.type = part;
      continue;
    }
    if (SameText(Trim(part.substr(0, equals)), "PWD")) result.password = part.substr(equals + 1);
  }
  return result;
}

// True, a non-zero number, or dbDenyRead asks for the file alone.
bool IsExclusive(const Variant& options) {
  if (options.IsEmpty() || options.IsNull()) return false;
  if (options.Type() == VarType::kBoolean) return options.AsBoolean();
  try {
    return options.AsInt64() != 0;
  } catch (const Exception&) {
    RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  }
}

// The connect text that opens a server's database: the connect text when it names its source
// (DSN=, DRIVER=, FILEDSN=); else the name when it is a connect text itself ("ODBC;DSN=..."),
// with the connect text's other parts; else the connect text with the name as its data
// source (OpenDatabase("logonjournal", , , "ODBC;UID=...;PWD=...")).
std::string SourceText(const std::string& name, const std::string& connect) {
  bool namesSource = false;
  for (const std::string& part : Split(connect, ';')) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(part.substr(0, equals));
    namesSource = namesSource || SameText(key, "DSN") || SameText(key, "DRIVER") || SameText(key, "FILEDSN");
  }
  const std::string trimmed = Trim(name);
  if (namesSource || trimmed.empty()) return connect;
  if (StartsText(std::string(kOdbcType) + ";", trimmed)) {
    std::string rest = Trim(connect);
    if (StartsText(kOdbcType, rest)) rest = Trim(rest.substr(std::string_view(kOdbcType).size()));
    while (!rest.empty() && rest.front() == ';') rest.erase(0, 1);
    return rest.empty() ? trimmed : trimmed + (trimmed.back() == ';' ? "" : ";") + rest;
  }
  std::string text = Trim(connect);
  if (text.empty()) text = kOdbcType;
  return text + (text.back() == ';' ? "" : ";") + "DSN=" + trimmed;
}

std::string SavepointName(int level) { return "lumo_trans_" + std::to_string(level); }

}  // namespace

Workspace::Workspace(std::string name, std::string userName, int type)
    : DaoObject(kSource),
      name_(std::move(name)),
      userName_(std::move(userName)),
      type_(type),
      databases_(std::make_unique<OwnedCollection<Database>>("DAO.Databases")),
      connections_(std::make_unique<OwnedCollection<Connection>>("DAO.Connections")),
      users_(std::make_unique<OwnedCollection<User>>("DAO.Users")),
      groups_(std::make_unique<OwnedCollection<Group>>("DAO.Groups")) {}

Workspace::~Workspace() {
  if (!IsValid()) return;
  try {
    Close();
  } catch (...) {
    // A destructor must not throw.
  }
}

void Workspace::SetName(const std::string& name) {
  CheckValid();
  if (appended_) Raise(3219);
  name_ = name;
}

void Workspace::SetDefaultCursorDriver(int driver) {
  CheckValid();
  if (driver < -1 || driver > 4) Raise(kDaoInvalidArgument);
  defaultCursorDriver_ = driver;
}

bool Workspace::IsInTransaction() const { return transactionLevel_ > 0; }

std::shared_ptr<Database> Workspace::Adopt(std::shared_ptr<Database> database) {
  Database* raw = database.get();
  database->SetOnClose([this, raw](Database&) {
    if (IsValid()) databases_->Remove(raw);
  });
  databases_->Add(database);
  return database;
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& name, const Variant& options, bool readOnly,
                                                  const std::string& connect) {
  CheckValid();
  ConnectText parsed = ParseConnect(connect);
  // A direct workspace opens its databases as connections.
  if (type_ == dbUseODBC) return OpenConnection(name, dbDriverNoPrompt, readOnly, connect);
  // "ODBC;DSN=..." may come as the name alone.
  if (parsed.type.empty() && StartsText(std::string(kOdbcType) + ";", Trim(name))) parsed.type = kOdbcType;
  // A source type the engine has no storage back-end for needs a driver it does not have.
  std::shared_ptr<storage::BackEnd> backEnd = storage::BackEndFor(parsed.type);
  OpenOptions openOptions;
  openOptions.readOnly = readOnly;
  openOptions.type = parsed.type;
  openOptions.loginTimeoutS = LoginTimeout();
  std::string path = name;
  if (backEnd->OwnsDatabases()) {
    if (Trim(name).empty()) Raise(kDaoFileNotFound, {name});
    openOptions.exclusive = IsExclusive(options);
    openOptions.password = parsed.password;
  } else {
    // A server's database: the connect text names it, the server checks the login (no
    // database password of the engine's), and it is shared by design. The options say
    // whether the driver may prompt; nothing here ever does.
    (void)options;
    path = SourceText(name, connect);
  }
  std::shared_ptr<DatabaseFile> file = DatabaseFile::OpenInSession(OpenFileAt(path), openOptions);
  if (!file) file = DatabaseFile::Open(path, openOptions);
  return Adopt(std::make_shared<Database>(std::move(file), name, connect));
}

std::shared_ptr<DatabaseFile> Workspace::OpenFileAt(const std::string& path) const {
  for (const auto& database : *databases_) {
    if (!database->IsValid() || !database->File()->IsOpen()) continue;
    const std::shared_ptr<DatabaseFile>& file = database->File();
    // A server's database by its connect text; a file under any name: a relative path, a link.
    if (!file->OwnedByEngine()) {
      if (file->Path() == path) return file;
      continue;
    }
    std::error_code error;
    if (std::filesystem::equivalent(file->Path(), path, error)) return file;
  }
  return nullptr;
}

std::shared_ptr<Connection> Workspace::OpenConnection(const std::string& name, int options, bool readOnly,
                                                      const std::string& connect) {
  CheckValid();
  if (type_ != dbUseODBC) Raise(3251);
  const int prompt = options & ~dbRunAsync;
  if (prompt < dbDriverComplete || prompt > dbDriverCompleteRequired) Raise(kDaoInvalidArgument);
  // Only ODBC sources are reached directly; without a connect text the name is the DSN.
  std::string text = Trim(connect);
  if (text.empty()) text = "ODBC;";
  if (!StartsText("ODBC;", text) && !SameText(text, "ODBC")) Raise(kNoInstallableIsam);
  if (text.back() != ';') text += ';';
  bool namesSource = false;
  for (const std::string& part : Split(text, ';')) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(part.substr(0, equals));
    namesSource = namesSource || SameText(key, "DSN") || SameText(key, "DRIVER") || SameText(key, "FILEDSN");
  }
  if (!namesSource && !Trim(name).empty()) text += "DSN=" + Trim(name) + ";";
  DirectConnectRequest request;
  request.name = name;
  request.options = options;
  request.readOnly = readOnly;
  request.connect = text;
  request.loginTimeoutS = LoginTimeout();
  std::shared_ptr<Connection> connection = ConnectDirect(request);
  Connection* raw = connection.get();
  connection->SetOnClose([this, raw](Database&) {
    if (!IsValid()) return;
    databases_->Remove(raw);
    connections_->Remove(raw);
  });
  databases_->Add(connection);
  connections_->Add(connection);
  return connection;
}

std::shared_ptr<Database> Workspace::CreateDatabase(const std::string& name, const std::string& locale, int options) {
  CheckValid();
  if (type_ == dbUseODBC) Raise(3251);
  if (Trim(name).empty()) Raise(kDaoInvalidArgument);
  std::shared_ptr<DatabaseFile> file = DatabaseFile::Create(name, locale, options);
  return Adopt(std::make_shared<Database>(std::move(file), name, std::string()));
}

void Workspace::BeginTrans() {
  CheckValid();
  if (transactionLevel_ >= kMaxTransactionLevels) Raise(3003);
  const int level = transactionLevel_ + 1;
  // A transaction spans every database of the workspace: the outer level is a plain
  // transaction of each connection, inner levels are savepoints. Databases of the session
  // on one file share a connection, which begins each level once.
  std::vector<Joined> started;
  const auto begun = [&started](const storage::Connection* connection) {
    return std::any_of(started.begin(), started.end(),
                       [connection](const Joined& entry) { return entry.connection.lock().get() == connection; });
  };
  try {
    for (const auto& database : *databases_) {
      if (!database->IsValid()) continue;
      std::shared_ptr<storage::Connection> connection = database->File()->SessionConnection();
      if (!connection || begun(connection.get())) continue;
      if (level > 1) {
        connection->Savepoint(SavepointName(level));
      } else if (database->File()->ReadOnly()) {
        // A read-only file never writes; it must not take the write lock from those who do.
        connection->Begin(storage::TransactionKind::Read);
      } else {
        // As a write from the start: a transaction that read first could not wait for
        // another writer later, and would fail at its first write instead.
        connection->Begin(storage::TransactionKind::Write);
      }
      started.push_back({connection, level});
    }
  } catch (...) {
    for (const Joined& entry : started) {
      if (auto connection = entry.connection.lock()) {
        try {
          if (level == 1) {
            connection->Rollback();
          } else {
            connection->ReleaseSavepoint(SavepointName(level));
          }
        } catch (...) {}
      }
    }
    throw;
  }
  for (Joined& entry : started) joined_.push_back(std::move(entry));
  transactionLevel_ = level;
}

void Workspace::EndTransaction(bool commit) {
  CheckValid();
  if (transactionLevel_ == 0) Raise(3034);
  const int level = transactionLevel_;
  // Each connection joined every level begun while it was open; this level's entry ends it.
  // A connection whose databases all closed is gone, and its transaction rolled back with it.
  for (const Joined& entry : joined_) {
    if (entry.level != level) continue;
    std::shared_ptr<storage::Connection> connection = entry.connection.lock();
    if (!connection) continue;
    if (level == 1) {
      if (connection->InTransaction()) {
        if (commit) {
          connection->Commit();
        } else {
          connection->Rollback();
        }
      }
    } else if (commit) {
      connection->ReleaseSavepoint(SavepointName(level));
    } else {
      connection->RollbackToSavepoint(SavepointName(level));
      connection->ReleaseSavepoint(SavepointName(level));
    }
  }
  std::erase_if(joined_, [level](const Joined& entry) { return entry.level >= level; });
  transactionLevel_ = level - 1;
}

void Workspace::CommitTrans(int options) {
  (void)options;  // dbForceOSFlush: every commit is flushed already (synchronous=FULL)
  EndTransaction(true);
}

void Workspace::Rollback() { EndTransaction(false); }

void Workspace::Close() {
  CheckValid();
  // Closing a workspace rolls back what it left open.
  while (transactionLevel_ > 0) {
    try {
      EndTransaction(false);
    } catch (...) {
      transactionLevel_ = 0;
    }
  }
  std::vector<std::shared_ptr<Database>> databases(databases_->begin(), databases_->end());
  for (const auto& database : databases) {
    if (!database->IsValid()) continue;
    try {
      database->Close();
    } catch (...) {
      // Every database closes with its workspace.
    }
  }
  databases_->Reset({});
  connections_->Reset({});
  Invalidate();
}

Collection<Database>& Workspace::Databases() {
  CheckValid();
  return *databases_;
}

Collection<Connection>& Workspace::Connections() {
  CheckValid();
  if (type_ != dbUseODBC) Raise(3251);
  return *connections_;
}

Collection<User>& Workspace::Users() {
  CheckValid();
  if (users_->Count() == 0 && workgroup_) {
    for (const std::string& name : workgroup_->UserNames()) {
      auto user = std::make_shared<User>(name);
      user->SetGroupNames(workgroup_->GroupsOf(name));
      users_->Add(std::move(user));
    }
  }
  return *users_;
}

Collection<Group>& Workspace::Groups() {
  CheckValid();
  if (groups_->Count() == 0 && workgroup_) {
    for (const std::string& name : workgroup_->GroupNames()) groups_->Add(std::make_shared<Group>(name));
  }
  return *groups_;
}

PropertyCollection& Workspace::Properties() {
  CheckValid();
  if (properties_) return *properties_;
  properties_ = std::make_unique<PropertyCollection>();
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    properties_->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add(
      "Name", dbText, [this] { return Variant(name_); }, [this](const Variant& v) { SetName(v.AsString()); });
  add("UserName", dbText, [this] { return Variant(userName_); });
  add("Type", dbLong, [this] { return Variant(type_); });
  add("IsolateODBCTrans", dbInteger, [] { return Variant::FromSmallint(0); });
  add(
      "DefaultCursorDriver", dbLong, [this] { return Variant(defaultCursorDriver_); },
      [this](const Variant& v) { SetDefaultCursorDriver(v.AsInteger()); });
  add("LoginTimeout", dbLong, [] { return Variant(20); });
  return *properties_;
}

}  // namespace lumo::jet
