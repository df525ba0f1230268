#include "jet/DatabaseFile.h"

#include <filesystem>

#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/storage/RowIdentity.h"
#include "jet/storage/Transaction.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSource = "DAO.Workspace";
// DAO limits database passwords to 20 characters.
constexpr size_t kMaxPasswordLength = 20;

// The value of `key` (any case) in a ";"-separated connect or locale text.
std::string ConnectValue(const std::string& text, std::string_view key) {
  for (const std::string& part : Split(text, ';')) {
    size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    if (SameText(Trim(part.substr(0, equals)), key)) return part.substr(equals + 1);
  }
  return {};
}

}  // namespace

DatabaseFile::DatabaseFile(std::string path, OpenOptions options, std::shared_ptr<storage::BackEnd> backEnd)
    : path_(std::move(path)), options_(std::move(options)), backEnd_(std::move(backEnd)), catalogue_(*this) {}

DatabaseFile::~DatabaseFile() { Close(); }

storage::ConnectionSettings DatabaseFile::Settings() const {
  storage::ConnectionSettings settings;
  settings.path = path_;
  settings.exclusive = options_.exclusive;
  settings.readOnly = options_.readOnly;
  settings.busyTimeoutMs = busyTimeoutMs_;
  settings.loginTimeoutS = options_.loginTimeoutS;
  settings.identity = identity_;
  return settings;
}

std::shared_ptr<DatabaseFile> DatabaseFile::Open(const std::string& path, const OpenOptions& options) {
  std::shared_ptr<storage::BackEnd> backEnd = storage::BackEndFor(options.type);
  std::shared_ptr<DatabaseFile> file(new DatabaseFile(path, options, backEnd));
  file->connection_ = backEnd->Open(file->Settings());
  file->CheckPassword();
  return file;
}

std::shared_ptr<DatabaseFile> DatabaseFile::OpenInSession(const std::shared_ptr<DatabaseFile>& open,
                                                          const OpenOptions& options) {
  if (!open || !open->IsOpen() || open->Exclusive() || options.exclusive || open->ReadOnly() != options.readOnly) {
    return nullptr;
  }
  std::shared_ptr<DatabaseFile> file(new DatabaseFile(open->path_, options, open->backEnd_));
  // The connection is set up already, its functions answer the session's @@IDENTITY.
  file->connection_ = open->connection_;
  file->identity_ = open->identity_;
  file->busyTimeoutMs_ = open->busyTimeoutMs_;
  file->CheckPassword();
  return file;
}

std::shared_ptr<DatabaseFile> DatabaseFile::Create(const std::string& path, const std::string& locale, int options) {
  (void)options;  // the version and encryption bits choose nothing for the engine's files
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored)) RaiseDaoError(kDaoDatabaseExists, {}, kSource);
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, ignored)) {
    RaiseDaoError(kDaoInvalidPath, {parent.string()}, kSource);
  }
  std::shared_ptr<storage::BackEnd> backEnd = storage::BackEndFor({});
  std::shared_ptr<DatabaseFile> file(new DatabaseFile(path, OpenOptions{}, backEnd));
  try {
    file->connection_ = backEnd->Create(file->Settings());
    file->catalogue_.EnsureSystemTables();
    file->catalogue_.TouchObject(kDatabaseObjectName, kObjectTypeDatabase, true);
    std::string password = ConnectValue(locale, "pwd");
    if (!password.empty()) file->NewPassword({}, password);
  } catch (...) {
    // Nothing half-made stays behind.
    file->Close();
    backEnd->Discard(path);
    throw;
  }
  file->options_.password = file->Password();
  return file;
}

std::unique_ptr<storage::SchemaWriter> DatabaseFile::SchemaChanges(std::string source) {
  return backEnd_->MakeSchemaWriter(*this, std::move(source));
}

std::unique_ptr<storage::RowWriter> DatabaseFile::RowWriter() { return backEnd_->MakeRowWriter(*this); }

std::unique_ptr<storage::Connection> DatabaseFile::OpenScanConnection() {
  return backEnd_->OpenScan(Connection(), Settings());
}

void DatabaseFile::NoteInsert(const std::string& table) {
  const TableInfo* info = catalogue_.FindTable(table);
  if (info == nullptr) return;
  const std::shared_ptr<const storage::RowIdentity> rows = Connection().RowIdentityOf(*info);
  if (!rows || !rows->HasRowKey()) return;
  const int64_t row = Connection().LastInsertRowId();
  for (const ColumnInfo& column : info->columns) {
    if ((column.type.attributes & dbAutoIncrField) == 0) continue;
    if (column.isRowKey) {
      *identity_ = row;
      return;
    }
    // A counter with a seed or step of its own: its trigger numbered the row.
    const auto quote = [](const std::string& name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; };
    storage::Statement& statement =
        Statement("SELECT " + quote(column.name) + " FROM " + quote(info->name) + " WHERE " + rows->Condition(1));
    statement.BindInt64(1, row);
    if (statement.Step() && statement.TypeOf(0) != ColumnType::Null) *identity_ = statement.ColumnInt64(0);
    statement.Reset();
    return;
  }
}

void DatabaseFile::CheckPassword() {
  if (!OwnedByEngine()) return;  // the server checked the login
  const std::string stored = Password();
  if (!stored.empty() && stored != options_.password) RaiseDaoError(kDaoBadPassword, {}, kSource);
}

void DatabaseFile::CheckWritable() const {
  if (!connection_) RaiseDaoError(kDaoObjectInvalid, {}, "DAO.Database");
  if (options_.readOnly) RaiseDaoError(kDaoReadOnly, {}, "DAO.Database");
}

storage::Connection& DatabaseFile::Connection() {
  if (!connection_) RaiseDaoError(kDaoObjectInvalid, {}, "DAO.Database");
  return *connection_;
}

storage::Statement& DatabaseFile::Statement(const std::string& sql) { return statements_.Get(Connection(), sql); }

std::unique_ptr<storage::Statement> DatabaseFile::Prepare(const std::string& sql, std::string* unknownName) {
  storage::Connection& connection = Connection();
  if (unknownName == nullptr) return connection.Prepare(sql);
  // The mapping turns an unknown name into 3061; the hook still sees the name.
  std::optional<std::string> unknown;
  DaoErrorHook previous;
  previous = SetDaoErrorHook([&unknown, &previous](const DaoErrorInfo& error) {
    if (!error.unknownName.empty()) {
      unknown = error.unknownName;
    } else if (previous) {
      previous(error);
    }
  });
  try {
    std::unique_ptr<storage::Statement> statement = connection.Prepare(sql);
    SetDaoErrorHook(std::move(previous));
    return statement;
  } catch (const EOleException&) {
    SetDaoErrorHook(std::move(previous));
    if (!unknown) throw;
    *unknownName = *unknown;
    return nullptr;
  } catch (...) {
    SetDaoErrorHook(std::move(previous));
    throw;
  }
}

void DatabaseFile::SetBusyTimeoutMs(int milliseconds) {
  busyTimeoutMs_ = milliseconds < 0 ? 0 : milliseconds;
  if (connection_) connection_->SetBusyTimeout(busyTimeoutMs_);
}

void DatabaseFile::SetQueryTimeout(int seconds) {
  SetBusyTimeoutMs(seconds == 0 ? kDefaultBusyTimeoutMs : seconds * 1000);
  if (!connection_) return;
  connection_->SetQueryTimeout(seconds);
  // Statements take the time-out when they are prepared: the cached ones are made anew.
  statements_.Clear();
}

std::string DatabaseFile::Password() {
  if (!OwnedByEngine() || !catalogue_.HasTable("MSysAccess")) return {};
  storage::Statement& statement = Statement("SELECT Password FROM MSysAccess LIMIT 1");
  std::string password;
  if (statement.Step() && statement.TypeOf(0) != ColumnType::Null) password = statement.ColumnText(0);
  statement.Reset();
  return password;
}

void DatabaseFile::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
  CheckWritable();
  if (!OwnedByEngine()) RaiseDaoError(kDaoNotSupported, {}, "DAO.Database");
  if (newPassword.size() > kMaxPasswordLength) RaiseDaoError(kDaoInvalidArgument, {}, "DAO.Database");
  if (Password() != oldPassword) RaiseDaoError(kDaoBadPassword, {}, "DAO.Database");
  catalogue_.EnsureAccessTable();
  WriteScope scope(*this);
  Statement("DELETE FROM MSysAccess").Step();
  if (!newPassword.empty()) {
    storage::Statement& insert = Statement("INSERT INTO MSysAccess (Password) VALUES (?1)");
    insert.BindText(1, newPassword);
    insert.Step();
    insert.Reset();
  }
  scope.Commit();
  options_.password = newPassword;
}

void DatabaseFile::Idle(int action) {
  if ((action & dbRefreshCache) != 0) {
    catalogue_.Refresh();
    ++cacheEpoch_;
  }
}

void DatabaseFile::Close() {
  statements_.Clear();
  catalogue_.Invalidate();
  connection_.reset();
}

namespace {

constexpr const char* kWriteSavepoint = "lumo_write";

}  // namespace

WriteScope::WriteScope(DatabaseFile& file) : connection_(file.Connection()) {
  file.CheckWritable();
  if (connection_.InTransaction()) {
    // Inside the workspace's transaction: a savepoint undoes this write alone.
    connection_.Savepoint(kWriteSavepoint);
    savepoint_ = true;
  } else {
    // The write lock up front, so a busy file is waited for (or answers) before any work.
    connection_.Begin(storage::TransactionKind::Write);
  }
}

WriteScope::~WriteScope() {
  if (!open_) return;
  try {
    if (savepoint_) {
      connection_.RollbackToSavepoint(kWriteSavepoint);
      connection_.ReleaseSavepoint(kWriteSavepoint);
    } else if (connection_.InTransaction()) {
      connection_.Rollback();
    }
  } catch (...) {
    // A failed statement may have ended the transaction already; a destructor must not throw.
  }
}

void WriteScope::Commit() {
  if (savepoint_) {
    connection_.ReleaseSavepoint(kWriteSavepoint);
  } else {
    connection_.Commit();
  }
  open_ = false;
}

}  // namespace lumo::jet
