#pragma once
// One session with a database through a storage back-end. The object model (DatabaseFile,
// Workspace, the recordsets) holds connections only through this interface; which back-end
// serves them is decided once, when Workspace::OpenDatabase picks a back-end from the connect
// text (BackEnd.h).
//
// Contract:
//   - Prepare hands out a statement the caller owns; it must not outlive the connection.
//     Failures raise the DAO error of the back-end's mapping (Errors()).
//   - Transactions: Begin(TransactionKind::Write) takes the write lock up front, waiting for
//     it up to the busy timeout, so that a busy database is waited for at the start of a
//     write and not refused halfway through it. Savepoints nest inside an open transaction.
//   - ChangeCounter() moves whenever the database's content changed, through this connection
//     or another one, as of the last read this connection began; readers compare two values
//     to know whether what they hold is stale.
//   - Shared (std::shared_ptr) by the databases of one workspace session on the same file.
//     Not thread-safe: one thread per component graph.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/storage/Statement.h"

namespace lumo::jet {

enum class OpenMode { ReadWrite, ReadOnly, Create };

struct TableInfo;

namespace storage {

class CatalogueReader;
class ErrorMapper;
class RowIdentity;
class SqlDialect;

enum class TransactionKind {
  Read,       // deferred: takes locks as it reads
  Write,      // takes the write lock at the start
  Exclusive,  // keeps readers out too
};

class Connection {
 public:
  virtual ~Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The database this connection works on (a file path for file back-ends).
  virtual const std::string& Path() const noexcept = 0;

  // Statements.
  virtual std::unique_ptr<Statement> Prepare(std::string_view sql) = 0;
  // Runs one or more statements without results.
  virtual void Exec(const std::string& sql) = 0;
  // The row identity of the row this connection inserted last.
  virtual int64_t LastInsertRowId() const noexcept = 0;
  // Rows the last statement changed, and every row changed since the connection opened
  // (triggered changes included; a change rolled back still counts).
  virtual int Changes() const noexcept = 0;
  virtual int64_t TotalChanges() const noexcept = 0;

  // Transactions and savepoints.
  virtual bool InTransaction() const noexcept = 0;
  virtual void Begin(TransactionKind kind) = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual void Savepoint(std::string_view name) = 0;
  virtual void ReleaseSavepoint(std::string_view name) = 0;
  virtual void RollbackToSavepoint(std::string_view name) = 0;

  virtual uint32_t ChangeCounter() const noexcept = 0;
  // How long a call waits for a lock held elsewhere before it answers 3218/3260 (0: not at all).
  virtual void SetBusyTimeout(int milliseconds) = 0;
  virtual int BusyTimeout() const noexcept = 0;
  // How long one statement may run before it fails (0: as long as it takes), where the
  // back-end can end a running statement; a file's statements only ever wait for locks,
  // which the busy timeout bounds.
  virtual void SetQueryTimeout(int seconds) { (void)seconds; }

  // The reader of the back-end's own schema, owned by the connection.
  virtual CatalogueReader& Catalogue() = 0;
  // The mapping of the back-end's failures to DAO errors.
  virtual const ErrorMapper& Errors() const noexcept = 0;

  // The back-end's SQL where back-ends differ, for the translator's emitter and the engines'
  // own statements.
  virtual const SqlDialect& Dialect() const noexcept = 0;
  // How the engines that keep lists of a table's rows name one row: the back-end's row key,
  // or null where the table has none (its primary key then names the rows).
  virtual std::shared_ptr<const RowIdentity> RowIdentityOf(const TableInfo& table) const = 0;

 protected:
  Connection() = default;
  Connection(Connection&&) noexcept = default;
  Connection& operator=(Connection&&) noexcept = default;
};

}  // namespace storage
}  // namespace lumo::jet
