#include "jet/sqlite/SqliteConnection.h"

#include <sqlite3.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "jet/sqlite/SqliteCatalogueReader.h"
#include "jet/sqlite/SqliteStatement.h"
#include "jet/storage/CatalogueReader.h"
#include "jet/storage/RowIdentity.h"
#include "jet/storage/SqlDialect.h"

namespace lumo::jet {

namespace {

// The sleeps between two tries for a lock. Short, so that a waiter is back before the next
// writer elsewhere takes the lock again; random, so that several waiters do not try in step.
constexpr long kShortestStepMicros = 500;
constexpr long kLongestStepMicros = 4000;

}  // namespace

// The state of the busy handler: the deadline of the lock being waited for.
struct SqliteConnection::BusyWait {
  int timeoutMs = 0;
  std::chrono::steady_clock::time_point deadline;
  std::minstd_rand random{std::random_device{}()};

  // SQLite's busy handler: `attempt` counts the calls for the same lock, 0 for the first.
  // Answers nonzero to try again.
  static int Handle(void* data, int attempt) noexcept {
    BusyWait& wait = *static_cast<BusyWait*>(data);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) wait.deadline = now + std::chrono::milliseconds(wait.timeoutMs);
    if (now >= wait.deadline) return 0;
    std::uniform_int_distribution<long> step(kShortestStepMicros, kLongestStepMicros);
    const long left = std::chrono::duration_cast<std::chrono::microseconds>(wait.deadline - now).count();
    const long micros = std::min(step(wait.random), left);
    const timespec pause{micros / 1000000, (micros % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    return 1;
  }
};

void SqliteConnection::Closer::operator()(sqlite3* db) const noexcept {
  // The handler's state may go before a deferred close completes.
  sqlite3_busy_handler(db, nullptr, nullptr);
  // Statements are owned by objects declared after their connection, so they are gone by
  // now; close_v2 still defers the close safely if one slipped through.
  sqlite3_close_v2(db);
}

// The catalogue reader refers to the connection object, not to the handle: it goes, and the
// moved-to connection makes a new one when asked.
SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : busyWait_(std::move(other.busyWait_)), db_(std::move(other.db_)), path_(std::move(other.path_)) {
  other.catalogue_.reset();
}

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& other) noexcept {
  if (this != &other) {
    catalogue_.reset();
    db_.reset();
    busyWait_ = std::move(other.busyWait_);
    db_ = std::move(other.db_);
    path_ = std::move(other.path_);
    other.catalogue_.reset();
  }
  return *this;
}

SqliteConnection::~SqliteConnection() = default;

SqliteConnection::SqliteConnection(const std::string& path, OpenMode mode)
    : busyWait_(std::make_unique<BusyWait>()), path_(path) {
  int flags = SQLITE_OPEN_NOMUTEX;  // one thread per component graph
  switch (mode) {
    case OpenMode::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
    case OpenMode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case OpenMode::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
  }
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) RaiseSqliteFailure(raw, rc, path);
  sqlite3_extended_result_codes(raw, 1);
}

void SqliteConnection::Exec(const std::string& sql) {
  int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseSqliteFailure(db_.get(), rc);
}

int64_t SqliteConnection::LastInsertRowId() const noexcept { return sqlite3_last_insert_rowid(db_.get()); }

int SqliteConnection::Changes() const noexcept { return sqlite3_changes(db_.get()); }

int64_t SqliteConnection::TotalChanges() const noexcept { return sqlite3_total_changes64(db_.get()); }

bool SqliteConnection::InTransaction() const noexcept { return sqlite3_get_autocommit(db_.get()) == 0; }

uint32_t SqliteConnection::DataVersion() const noexcept {
  unsigned int version = 0;
  sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_DATA_VERSION, &version);
  return version;
}

void SqliteConnection::SetBusyTimeout(int milliseconds) {
  busyWait_->timeoutMs = std::max(milliseconds, 0);
  if (busyWait_->timeoutMs > 0) {
    sqlite3_busy_handler(db_.get(), &BusyWait::Handle, busyWait_.get());
  } else {
    sqlite3_busy_handler(db_.get(), nullptr, nullptr);
  }
}

int SqliteConnection::BusyTimeout() const noexcept { return busyWait_->timeoutMs; }

void SqliteConnection::BeginWrite() { Exec("BEGIN IMMEDIATE"); }

std::unique_ptr<storage::Statement> SqliteConnection::Prepare(std::string_view sql) {
  return std::make_unique<SqliteStatement>(*this, sql);
}

void SqliteConnection::Begin(storage::TransactionKind kind) {
  switch (kind) {
    case storage::TransactionKind::Read: Exec("BEGIN"); break;
    case storage::TransactionKind::Write: BeginWrite(); break;
    case storage::TransactionKind::Exclusive: Exec("BEGIN EXCLUSIVE"); break;
  }
}

void SqliteConnection::Commit() { Exec("COMMIT"); }

void SqliteConnection::Rollback() { Exec("ROLLBACK"); }

namespace {

std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

}  // namespace

void SqliteConnection::Savepoint(std::string_view name) { Exec("SAVEPOINT " + QuotedName(name)); }

void SqliteConnection::ReleaseSavepoint(std::string_view name) { Exec("RELEASE " + QuotedName(name)); }

void SqliteConnection::RollbackToSavepoint(std::string_view name) { Exec("ROLLBACK TO " + QuotedName(name)); }

storage::CatalogueReader& SqliteConnection::Catalogue() {
  if (!catalogue_) catalogue_ = std::make_unique<SqliteCatalogueReader>(*this);
  return *catalogue_;
}

const storage::ErrorMapper& SqliteConnection::Errors() const noexcept {
  static const SqliteErrorMapper kMapper;
  return kMapper;
}

const storage::SqlDialect& SqliteConnection::Dialect() const noexcept { return storage::DefaultSqlDialect(); }

std::shared_ptr<const storage::RowIdentity> SqliteConnection::RowIdentityOf(const TableInfo& table) const {
  // A table made WITHOUT ROWID by another tool is known by its primary key alone.
  if (table.withoutRowId) return nullptr;
  return storage::FileRowIdentity();
}

std::string SqliteConnection::ReadFileHeader(size_t bytes) const {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods) {
    return {};
  }
  sqlite3_int64 size = 0;
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size <= 0) return {};
  std::string header(std::min(bytes, static_cast<size_t>(size)), '\0');
  if (file->pMethods->xRead(file, header.data(), static_cast<int>(header.size()), 0) != SQLITE_OK) {
    return {};
  }
  return header;
}

}  // namespace lumo::jet

namespace lumo::jet {

std::string SqliteConnection::ColumnCollation(const std::string& table, const std::string& column) const {
  const char* collation = nullptr;
  if (sqlite3_table_column_metadata(db_.get(), "main", table.c_str(), column.c_str(), nullptr, &collation, nullptr,
                                    nullptr, nullptr) != SQLITE_OK ||
      collation == nullptr) {
    return {};
  }
  return collation;
}

}  // namespace lumo::jet
