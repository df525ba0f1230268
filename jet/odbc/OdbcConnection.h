#pragma once
// One session with an ODBC data source, behind storage::Connection: an environment and a
// connection handle of the driver manager, connected with SQLDriverConnect and a connect text
// ("DSN=...;UID=...;PWD=..."; a leading "ODBC;" is the engine's type and is dropped) without
// ever prompting.
//
// Transactions: outside one the connection commits every statement (ODBC's autocommit).
// Begin turns autocommit off, and the driver opens the server's transaction with the next
// statement; Commit and Rollback end it with SQLEndTran and turn autocommit on again.
//   Read       REPEATABLE READ, so that the reads of a scope see one state of the database
//   Write      READ COMMITTED: a write waits for the rows it changes, not for the database;
//              the server has no lock on the whole database to take up front
//   Exclusive  SERIALIZABLE: what another session changes meanwhile fails this one's commit
// Savepoints are the server's (SAVEPOINT, RELEASE, ROLLBACK TO).
//
// The busy timeout is the server's lock_timeout: a statement that waits longer for a row or
// table another session holds fails with 3218. The query time-out (SQL_ATTR_QUERY_TIMEOUT of
// every statement) bounds every statement; the lock wait ends a little before it, so that a
// statement that only waited for a lock answers the locking error.
//
// The change counter is taken from the server's snapshot (the transactions running and the
// next to start): it moves when any session commits a change, and stays within a Read
// transaction. It moves for changes to other databases of the same server too, which only
// makes a reader look again.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/odbc/OdbcApi.h"
#include "jet/odbc/OdbcErrors.h"
#include "jet/storage/Connection.h"

namespace lumo::jet::odbc {

class OdbcCatalogueReader;

// The connect text as the driver manager takes it: without the engine's "ODBC;" type, and the
// data source's name ("" when it names none) for the messages.
struct ConnectText {
  std::string driverText;
  std::string dataSource;
};
ConnectText ParseConnectText(std::string_view connect);

class OdbcConnection final : public storage::Connection {
 public:
  // Connects; raises 3151 naming the data source, with the driver's and server's messages,
  // when the connection fails. `readOnly` makes the session refuse writes (3027).
  // `loginTimeoutS` bounds the wait for the server to take the login (0: the driver's own
  // wait, which for a server that takes the connection and never answers is for ever).
  OdbcConnection(std::string connect, bool readOnly, int busyTimeoutMs, int loginTimeoutS = 20);
  ~OdbcConnection() override;

  const std::string& Path() const noexcept override { return connect_; }

  std::unique_ptr<storage::Statement> Prepare(std::string_view sql) override;
  void Exec(const std::string& sql) override;
  int64_t LastInsertRowId() const noexcept override;
  int Changes() const noexcept override { return changes_; }
  int64_t TotalChanges() const noexcept override { return totalChanges_; }

  bool InTransaction() const noexcept override { return inTransaction_; }
  void Begin(storage::TransactionKind kind) override;
  void Commit() override;
  void Rollback() override;
  void Savepoint(std::string_view name) override;
  void ReleaseSavepoint(std::string_view name) override;
  void RollbackToSavepoint(std::string_view name) override;

  uint32_t ChangeCounter() const noexcept override;
  void SetBusyTimeout(int milliseconds) override;
  int BusyTimeout() const noexcept override { return busyTimeoutMs_; }
  // The time-out of every statement of the connection (60 seconds until set, as DAO's
  // default), the server's statement_timeout.
  void SetQueryTimeout(int seconds) override;
  int QueryTimeout() const noexcept { return queryTimeout_; }

  storage::CatalogueReader& Catalogue() override;
  const storage::ErrorMapper& Errors() const noexcept override { return errors_; }
  const storage::SqlDialect& Dialect() const noexcept override;
  std::shared_ptr<const storage::RowIdentity> RowIdentityOf(const TableInfo& table) const override;

  // For the statements and the catalogue reader of this connection.
  SQLHDBC Handle() const noexcept { return dbc_; }
  const OdbcErrorMapper& Mapper() const noexcept { return errors_; }
  void NoteChanges(int64_t rows) noexcept;
  // Sends what the session's settings still owe the server (the lock wait, the statement
  // time-out: the connection's, or `statementTimeoutSeconds` when a statement has one of its
  // own, 0 for none); every statement of the connection calls it before it runs.
  void ApplyPendingSettings(int statementTimeoutSeconds = -1);
  const std::string& DataSource() const noexcept { return dataSource_; }

 private:
  void EndTransaction(SQLSMALLINT completion);
  void SetAutocommit(bool on);
  // The server's lock_timeout from the busy timeout, within the statement time-out; sent
  // with the next statement.
  void ApplyLockTimeout();
  void ExecNow(const std::string& sql);
  // After a rollback that may have taken settings back: the next statement sends them again.
  void ForgetAppliedSettings() noexcept;
  // Runs a statement of the connection's own whose result is one text value ("" for none).
  std::string QueryText(const std::string& sql) const;

  std::string connect_;
  std::string dataSource_;
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  OdbcErrorMapper errors_;
  bool inTransaction_ = false;
  int busyTimeoutMs_ = 0;
  int queryTimeout_ = 60;
  int appliedLockTimeoutMs_ = -1;  // what the server has, -1 unknown
  int wantedLockTimeoutMs_ = -1;
  int appliedStatementTimeoutMs_ = -1;
  bool settingsInTransaction_ = false;  // a setting was sent inside the open transaction
  int changes_ = 0;
  int64_t totalChanges_ = 0;
  std::unique_ptr<OdbcCatalogueReader> catalogue_;
};

}  // namespace lumo::jet::odbc
