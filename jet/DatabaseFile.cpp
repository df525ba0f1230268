#include "jet/DatabaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
#include "jet/sqlite/SqliteTransaction.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr const char* kSource = "DAO.Workspace";
constexpr char kSqliteMagic[] = "SQLite format 3";  // 16 bytes with its terminating zero
constexpr size_t kSqliteHeaderSize = 100;

// Opening waits only briefly for someone else's exclusive lock: a file held exclusively
// stays held for the whole session of its holder, so waiting long helps nobody.
constexpr int kOpenProbeTimeoutMs = 1000;

bool IsLockError(const EOleException& error) {
  return error.ErrorCode() == kDaoLocked || error.ErrorCode() == kDaoLockedByUser;
}

// Whether the process may read `path` with the ids it opens files with. A program that runs
// with an effective group other than its real one (as the logon journal does) is judged by the
// effective ids, as open() judges it, not by the real ones that plain access() uses.
bool Readable(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0; }

// The checks SQLite does not make before the first read: it would report a missing file or a
// folder as "unable to open". Only stat and access here: no descriptor is opened on the file
// (see CheckFormat).
void CheckFileBeforeOpen(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) RaiseDaoError(kDaoFileNotFound, {path}, kSource);
  if (S_ISDIR(info.st_mode)) RaiseDaoError(kDaoCannotOpenFile, {path}, kSource);
  if (!Readable(path)) RaiseDaoError(kDaoCannotOpenFile, {path}, kSource);
}

// SQLite would happily treat an empty or foreign file as a new database; the header tells.
// It is read through the connection's own handle, so that this process's locks on the file
// (held by its other connections) survive.
void CheckFormat(const SqliteConnection& connection, const std::string& path) {
  std::string header = connection.ReadFileHeader(kSqliteHeaderSize);
  if (header.size() < kSqliteHeaderSize || std::memcmp(header.data(), kSqliteMagic, sizeof kSqliteMagic) != 0) {
    RaiseDaoError(kDaoUnrecognizedFormat, {path}, kSource);
  }
}

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

std::string ReadFileHeader(const std::string& path, size_t bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  if (!Readable(path)) return {};
  try {
    SqliteConnection connection(path, OpenMode::ReadOnly);
    return connection.ReadFileHeader(bytes);
  } catch (const EOleException&) {
    return {};
  }
}

DatabaseFile::DatabaseFile(std::string path, OpenOptions options, std::shared_ptr<SqliteConnection> connection)
    : path_(std::move(path)), options_(std::move(options)), connection_(std::move(connection)), catalogue_(*this) {}

DatabaseFile::~DatabaseFile() { Close(); }

std::shared_ptr<DatabaseFile> DatabaseFile::Open(const std::string& path, const OpenOptions& options) {
  CheckFileBeforeOpen(path);
  // Always read-write at SQLite's level: a WAL file needs its shared-memory file even for
  // reading, and SQLite falls back to read-only by itself for a write-protected file. A
  // read-only open is enforced with query_only.
  SqliteConnection connection(path, OpenMode::ReadWrite);
  CheckFormat(connection, path);
  std::shared_ptr<DatabaseFile> file(
      new DatabaseFile(path, options, std::make_shared<SqliteConnection>(std::move(connection))));
  file->Prepare(false);
  return file;
}

std::shared_ptr<DatabaseFile> DatabaseFile::OpenInSession(const std::shared_ptr<DatabaseFile>& open,
                                                          const OpenOptions& options) {
  if (!open || !open->IsOpen() || open->Exclusive() || options.exclusive || open->ReadOnly() != options.readOnly) {
    return nullptr;
  }
  std::shared_ptr<DatabaseFile> file(new DatabaseFile(open->path_, options, open->connection_));
  // The connection is set up already, its functions answer the session's @@IDENTITY.
  file->identity_ = open->identity_;
  file->busyTimeoutMs_ = open->busyTimeoutMs_;
  file->CheckPassword();
  return file;
}

std::shared_ptr<DatabaseFile> DatabaseFile::Create(const std::string& path, const std::string& locale, int options) {
  (void)options;  // the version and encryption bits choose nothing for an SQLite file
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored)) RaiseDaoError(3204, {}, kSource);
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, ignored)) {
    RaiseDaoError(3044, {parent.string()}, kSource);
  }
  std::shared_ptr<DatabaseFile> file;
  try {
    SqliteConnection connection(path, OpenMode::Create);
    // WAL lets many journal writers and readers share the file; synchronous=FULL makes
    // every commit durable across a crash (per connection, so Prepare repeats it).
    connection.Exec("PRAGMA journal_mode=WAL");
    connection.Exec("PRAGMA synchronous=FULL");
    file.reset(new DatabaseFile(path, OpenOptions{}, std::make_shared<SqliteConnection>(std::move(connection))));
    file->Prepare(true);
    file->catalogue_.EnsureSystemTables();
    file->catalogue_.TouchObject(kDatabaseObjectName, kObjectTypeDatabase, true);
    std::string password = ConnectValue(locale, "pwd");
    if (!password.empty()) file->NewPassword({}, password);
  } catch (...) {
    // Nothing half-made stays behind.
    if (file) file->Close();
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(path + "-wal", ignored);
    std::filesystem::remove(path + "-shm", ignored);
    throw;
  }
  file->options_.password = file->Password();
  return file;
}

void DatabaseFile::Prepare(bool created) {
  SqliteConnection& connection = *connection_;
  RegisterFunctions(connection);
  connection.SetBusyTimeout(kOpenProbeTimeoutMs);
  if (options_.exclusive) {
    connection.Exec("PRAGMA locking_mode=EXCLUSIVE");
    // Take the lock now and keep it: others must be refused from the start, not at their
    // first write.
    try {
      connection.Exec("BEGIN EXCLUSIVE");
      connection.Exec("COMMIT");
    } catch (const EOleException& error) {
      if (!IsLockError(error)) throw;
      RaiseDaoError(3045, {path_}, kSource);
    }
  }
  if (!created) {
    // The first read checks the format (3343, 3049) and whether someone holds the file
    // exclusively.
    try {
      SqliteStatement probe(connection, "SELECT count(*) FROM sqlite_master");
      probe.Step();
    } catch (const EOleException& error) {
      if (!IsLockError(error)) throw;
      RaiseDaoError(kDaoCannotOpenFile, {path_}, kSource);
    }
  }
  connection.SetBusyTimeout(busyTimeoutMs_);
  connection.Exec("PRAGMA synchronous=FULL");
  if (options_.readOnly) connection.Exec("PRAGMA query_only=1");
  if (!created) CheckPassword();
}

void DatabaseFile::RegisterFunctions(SqliteConnection& connection) {
  int rc = RegisterJetFunctions(connection.Handle());
  if (rc == 0) rc = RegisterIdentityFunction(connection.Handle(), identity_);
  if (rc != 0) RaiseSqliteFailure(connection.Handle(), rc);
}

void DatabaseFile::NoteInsert(const std::string& table) {
  const TableInfo* info = catalogue_.FindTable(table);
  if (info == nullptr || info->withoutRowId) return;
  const int64_t row = Connection().LastInsertRowId();
  for (const ColumnInfo& column : info->columns) {
    if ((column.type.attributes & dbAutoIncrField) == 0) continue;
    if (column.isRowKey) {
      *identity_ = row;
      return;
    }
    // A counter with a seed or step of its own: its trigger numbered the row.
    const auto quote = [](const std::string& name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; };
    SqliteStatement& statement =
        Statement("SELECT " + quote(column.name) + " FROM " + quote(info->name) + " WHERE rowid = ?1");
    statement.BindInt64(1, row);
    if (statement.Step() && statement.TypeOf(0) != ColumnType::Null) *identity_ = statement.ColumnInt64(0);
    statement.Reset();
    return;
  }
}

void DatabaseFile::CheckPassword() {
  const std::string stored = Password();
  if (!stored.empty() && stored != options_.password) RaiseDaoError(3031, {}, kSource);
}

void DatabaseFile::CheckWritable() const {
  if (!connection_) RaiseDaoError(3420, {}, "DAO.Database");
  if (options_.readOnly) RaiseDaoError(kDaoReadOnly, {}, "DAO.Database");
}

SqliteConnection& DatabaseFile::Connection() {
  if (!connection_) RaiseDaoError(3420, {}, "DAO.Database");
  return *connection_;
}

SqliteStatement& DatabaseFile::Statement(const std::string& sql) { return statements_.Get(Connection(), sql); }

std::unique_ptr<SqliteStatement> DatabaseFile::Prepare(const std::string& sql, std::string* unknownName) {
  SqliteConnection& connection = Connection();
  if (unknownName == nullptr) return std::make_unique<SqliteStatement>(connection, sql);
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
    auto statement = std::make_unique<SqliteStatement>(connection, sql);
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

std::string DatabaseFile::Password() {
  if (!catalogue_.HasTable("MSysAccess")) return {};
  SqliteStatement& statement = Statement("SELECT Password FROM MSysAccess LIMIT 1");
  std::string password;
  if (statement.Step() && statement.TypeOf(0) != ColumnType::Null) password = statement.ColumnText(0);
  statement.Reset();
  return password;
}

void DatabaseFile::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
  CheckWritable();
  // DAO limits database passwords to 20 characters.
  if (newPassword.size() > 20) RaiseDaoError(kDaoInvalidArgument, {}, "DAO.Database");
  if (Password() != oldPassword) RaiseDaoError(3031, {}, "DAO.Database");
  catalogue_.EnsureAccessTable();
  WriteScope scope(*this);
  Statement("DELETE FROM MSysAccess").Step();
  if (!newPassword.empty()) {
    SqliteStatement& insert = Statement("INSERT INTO MSysAccess (Password) VALUES (?1)");
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

WriteScope::WriteScope(DatabaseFile& file) : connection_(file.Connection()) {
  file.CheckWritable();
  if (connection_.InTransaction()) {
    // Inside the workspace's transaction: a savepoint undoes this write alone.
    connection_.Exec("SAVEPOINT lumo_write");
    savepoint_ = true;
  } else {
    // The write lock up front, so a busy file is waited for (or answers) before any work.
    connection_.BeginWrite();
  }
}

WriteScope::~WriteScope() {
  if (!open_) return;
  try {
    if (savepoint_) {
      connection_.Exec("ROLLBACK TO lumo_write");
      connection_.Exec("RELEASE lumo_write");
    } else if (connection_.InTransaction()) {
      connection_.Exec("ROLLBACK");
    }
  } catch (...) {
    // A failed statement may have ended the transaction already; a destructor must not throw.
  }
}

void WriteScope::Commit() {
  connection_.Exec(savepoint_ ? "RELEASE lumo_write" : "COMMIT");
  open_ = false;
}

}  // namespace lumo::jet
