#include "jet/sqlite/SqliteBackEnd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteRowWriter.h"
#include "jet/sqlite/SqliteSchemaWriter.h"
#include "jet/sqlite/SqliteStatement.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
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

// Functions, busy timeout and synchronous on every connection; then the exclusive lock, the
// format probe and the read-only switch.
void SetUp(SqliteConnection& connection, const storage::ConnectionSettings& settings, bool created) {
  SqliteBackEnd::RegisterFunctions(connection, settings.identity);
  connection.SetBusyTimeout(kOpenProbeTimeoutMs);
  if (settings.exclusive) {
    connection.Exec("PRAGMA locking_mode=EXCLUSIVE");
    // Take the lock now and keep it: others must be refused from the start, not at their
    // first write.
    try {
      connection.Exec("BEGIN EXCLUSIVE");
      connection.Exec("COMMIT");
    } catch (const EOleException& error) {
      if (!IsLockError(error)) throw;
      RaiseDaoError(kDaoFileInUse, {settings.path}, kSource);
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
      RaiseDaoError(kDaoCannotOpenFile, {settings.path}, kSource);
    }
  }
  connection.SetBusyTimeout(settings.busyTimeoutMs);
  connection.Exec("PRAGMA synchronous=FULL");
  if (settings.readOnly) connection.Exec("PRAGMA query_only=1");
}

}  // namespace

void SqliteBackEnd::RegisterFunctions(SqliteConnection& connection, const std::shared_ptr<int64_t>& identity) {
  int rc = RegisterJetFunctions(connection.Handle());
  if (rc == 0) rc = RegisterIdentityFunction(connection.Handle(), identity ? identity : std::make_shared<int64_t>(0));
  if (rc != 0) RaiseSqliteFailure(connection.Handle(), rc);
}

std::shared_ptr<storage::Connection> SqliteBackEnd::Open(const storage::ConnectionSettings& settings) {
  CheckFileBeforeOpen(settings.path);
  // Always read-write at SQLite's level: a WAL file needs its shared-memory file even for
  // reading, and SQLite falls back to read-only by itself for a write-protected file. A
  // read-only open is enforced with query_only.
  auto connection = std::make_shared<SqliteConnection>(settings.path, OpenMode::ReadWrite);
  CheckFormat(*connection, settings.path);
  SetUp(*connection, settings, false);
  return connection;
}

std::shared_ptr<storage::Connection> SqliteBackEnd::Create(const storage::ConnectionSettings& settings) {
  auto connection = std::make_shared<SqliteConnection>(settings.path, OpenMode::Create);
  // WAL lets many journal writers and readers share the file; synchronous=FULL makes every
  // commit durable across a crash (per connection, so SetUp repeats it).
  connection->Exec("PRAGMA journal_mode=WAL");
  connection->Exec("PRAGMA synchronous=FULL");
  SetUp(*connection, settings, true);
  return connection;
}

void SqliteBackEnd::Discard(const std::string& path) noexcept {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  std::filesystem::remove(path + "-wal", ignored);
  std::filesystem::remove(path + "-shm", ignored);
}

std::unique_ptr<storage::Connection> SqliteBackEnd::OpenScan(storage::Connection& session,
                                                             const storage::ConnectionSettings& settings) {
  // Only a WAL file lets a reader of its own run beside the session's writers; in rollback
  // mode the scan's read lock would keep them out until it ends.
  if (settings.exclusive || session.InTransaction()) return nullptr;
  {
    std::unique_ptr<storage::Statement> mode = session.Prepare("PRAGMA journal_mode");
    if (!mode->Step() || !AnsiSameText(mode->ColumnTextView(0), "wal")) return nullptr;
  }
  auto connection =
      std::make_unique<SqliteConnection>(settings.path, settings.readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
  connection->SetBusyTimeout(settings.busyTimeoutMs);
  RegisterFunctions(*connection, settings.identity);
  connection->Exec("PRAGMA query_only=1");
  // A scan reads each page of what it selects once, from start to end: with the file mapped
  // SQLite reads the pages where they lie instead of copying each one into its cache with a
  // read call of its own. The journal grows without bound, so the mapping covers a large file.
  connection->Exec("PRAGMA mmap_size=4294967296");
  return connection;
}

std::unique_ptr<storage::SchemaWriter> SqliteBackEnd::MakeSchemaWriter(DatabaseFile& file, std::string source) {
  return std::make_unique<SqliteSchemaWriter>(file, std::move(source));
}

std::unique_ptr<storage::RowWriter> SqliteBackEnd::MakeRowWriter(DatabaseFile& file) {
  return std::make_unique<SqliteRowWriter>(file);
}

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

namespace storage {

std::shared_ptr<BackEnd> MakeFileBackEnd() { return std::make_shared<SqliteBackEnd>(); }

}  // namespace storage

}  // namespace lumo::jet
