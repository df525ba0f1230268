#pragma once
// The SQLite connection behind storage::Connection: the RAII owner of one sqlite3 handle.
// This header and its companions in jet/sqlite/ are the only place that sees SQLite's C
// interface; the object model above talks to the storage interface (jet/storage/).
//
// A failed SQLite call raises the engine's DAO error (EOleException with the DAO number and
// text) through RaiseSqliteFailure (SqliteErrors.h); SQLite's own message travels along as
// detail.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/sqlite/SqliteErrors.h"
#include "jet/storage/Connection.h"

struct sqlite3;

namespace lumo::jet {

class SqliteCatalogueReader;

class SqliteConnection final : public storage::Connection {
 public:
  // Opens an existing file (ReadWrite/ReadOnly) or makes a new one (Create). The handle is
  // owned before the result is checked, so a failed open never leaks it.
  SqliteConnection(const std::string& path, OpenMode mode);
  SqliteConnection(SqliteConnection&&) noexcept;
  SqliteConnection& operator=(SqliteConnection&&) noexcept;
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  sqlite3* Handle() const noexcept { return db_.get(); }
  const std::string& Path() const noexcept override { return path_; }

  std::unique_ptr<storage::Statement> Prepare(std::string_view sql) override;
  // Runs one or more statements without results (pragmas, DDL, BEGIN/COMMIT).
  void Exec(const std::string& sql) override;
  int64_t LastInsertRowId() const noexcept override;
  int Changes() const noexcept override;
  // Rows inserted, updated or deleted through this connection since it opened (triggers
  // included); it moves with every write of the connection, also one later rolled back.
  int64_t TotalChanges() const noexcept override;
  bool InTransaction() const noexcept override;
  void Begin(storage::TransactionKind kind) override;
  void Commit() override;
  void Rollback() override;
  void Savepoint(std::string_view name) override;
  void ReleaseSavepoint(std::string_view name) override;
  void RollbackToSavepoint(std::string_view name) override;
  // A number that changes whenever the main database's content changed, through this
  // connection or another one, as of the last read this connection began
  // (SQLITE_FCNTL_DATA_VERSION).
  uint32_t DataVersion() const noexcept;
  uint32_t ChangeCounter() const noexcept override { return DataVersion(); }
  storage::CatalogueReader& Catalogue() override;
  const storage::ErrorMapper& Errors() const noexcept override;
  const storage::SqlDialect& Dialect() const noexcept override;
  std::shared_ptr<const storage::RowIdentity> RowIdentityOf(const TableInfo& table) const override;
  // How long a call waits for a lock held by another connection before it answers SQLITE_BUSY
  // (0: not at all). The wait is the engine's own: short sleeps of random length up to a
  // deadline measured from the first refusal, so that a waiting writer keeps trying often and
  // back-to-back writers elsewhere cannot starve it, as they do with SQLite's own handler
  // once that one has backed off to long sleeps.
  void SetBusyTimeout(int milliseconds) override;
  int BusyTimeout() const noexcept override;
  // Begins a transaction that takes the write lock at once (BEGIN IMMEDIATE), waiting for it
  // through the busy handler. A transaction that begins as a read and writes later cannot
  // wait: SQLite refuses its upgrade at once while another connection writes, and for good
  // when another connection has committed since its first read.
  void BeginWrite();
  // The first `bytes` bytes of the main database file (fewer when the file is shorter), read
  // through SQLite's own file handle. Opening a second descriptor on the file instead would
  // be unsafe: closing it drops every POSIX lock this process holds on the file, and with
  // them the locks of the process's other connections.
  std::string ReadFileHeader(size_t bytes) const;
  // The collation a column of a main-database table is declared with ("BINARY" when none);
  // empty when SQLite knows no such column.
  std::string ColumnCollation(const std::string& table, const std::string& column) const;

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept;
  };
  struct BusyWait;
  // Declared before the handle, so that the handler's state outlives the connection; on the
  // heap, so that it keeps its address when the connection is moved.
  std::unique_ptr<BusyWait> busyWait_;
  std::unique_ptr<sqlite3, Closer> db_;
  std::string path_;
  // Made on first use; declared after the handle, so that its statements go first. Dropped
  // when the connection moves, since it refers to the connection object.
  std::unique_ptr<SqliteCatalogueReader> catalogue_;
};

}  // namespace lumo::jet
