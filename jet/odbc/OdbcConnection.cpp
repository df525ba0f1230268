#include "jet/odbc/OdbcConnection.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "jet/DaoErrors.h"
#include "jet/odbc/OdbcCatalogueReader.h"
#include "jet/odbc/OdbcDialect.h"
#include "jet/odbc/OdbcStatement.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

constexpr uint32_t kFnvOffset = 2166136261U;
constexpr uint32_t kFnvPrime = 16777619U;

// The parts of a connect text, split at the semicolons that are not inside braces (ODBC's
// quoting for values such as passwords: PWD={a;b}).
std::vector<std::string> ConnectParts(std::string_view connect) {
  std::vector<std::string> parts;
  std::string part;
  int depth = 0;
  for (char c : connect) {
    if (c == '{') ++depth;
    if (c == '}' && depth > 0) --depth;
    if (c == ';' && depth == 0) {
      parts.push_back(part);
      part.clear();
      continue;
    }
    part.push_back(c);
  }
  parts.push_back(part);
  return parts;
}

// A handle of the driver manager's, freed with it.
struct StatementHandle {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  explicit StatementHandle(SQLHDBC dbc) {
    if (!Succeeded(Odbc().allocHandle(SQL_HANDLE_STMT, dbc, &handle))) {
      handle = SQL_NULL_HSTMT;
      RaiseOdbcFailure(SQL_HANDLE_DBC, dbc, StatementVerb::Unknown, {});
    }
  }
  ~StatementHandle() { Odbc().freeHandle(SQL_HANDLE_STMT, handle); }
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;
};

std::string QuotedName(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }

}  // namespace

ConnectText ParseConnectText(std::string_view connect) {
  ConnectText result;
  std::vector<std::string> kept;
  const std::vector<std::string> parts = ConnectParts(connect);
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string part = Trim(parts[i]);
    if (part.empty()) continue;
    const size_t equals = part.find('=');
    if (equals == std::string::npos) {
      if (i == 0 && SameText(part, "ODBC")) continue;  // the engine's type, not the driver's
    } else if (SameText(Trim(part.substr(0, equals)), "DSN")) {
      result.dataSource = Trim(part.substr(equals + 1));
    }
    kept.push_back(part);
  }
  for (const std::string& part : kept) {
    if (!result.driverText.empty()) result.driverText += ';';
    result.driverText += part;
  }
  return result;
}

OdbcConnection::OdbcConnection(std::string connect, bool readOnly, int busyTimeoutMs, int loginTimeoutS)
    : connect_(std::move(connect)) {
  const OdbcApi& api = Odbc();
  const ConnectText text = ParseConnectText(connect_);
  dataSource_ = text.dataSource;
  storage::ErrorContext context;
  context.source = "DAO.Workspace";
  // The name the failure names: the data source, or the connect text without its password.
  context.fileName = dataSource_;
  if (context.fileName.empty()) {
    for (const std::string& part : ConnectParts(text.driverText)) {
      if (StartsText("PWD=", Trim(part))) continue;
      if (!context.fileName.empty()) context.fileName += ';';
      context.fileName += part;
    }
    if (context.fileName.empty()) context.fileName = "ODBC";
  }
  if (!Succeeded(api.allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    RaiseDaoError(OdbcErrorMapper().MapFailure("HY001", "no ODBC environment", StatementVerb::Unknown, context));
  }
  api.setEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!Succeeded(api.allocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    dbc_ = SQL_NULL_HDBC;
    api.freeHandle(SQL_HANDLE_ENV, env_);
    RaiseOdbcFailure(SQL_HANDLE_ENV, env_, StatementVerb::Unknown, context);
  }
  if (loginTimeoutS > 0) {
    api.setConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutS)), 0);
  }
  std::u16string wide = ToWide(text.driverText);
  const SQLRETURN rc = api.driverConnect(dbc_, nullptr, Wide(wide), static_cast<SQLSMALLINT>(wide.size()), nullptr, 0,
                                         nullptr, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    const Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_DBC, dbc_);
    api.freeHandle(SQL_HANDLE_DBC, dbc_);
    api.freeHandle(SQL_HANDLE_ENV, env_);
    dbc_ = SQL_NULL_HDBC;
    env_ = SQL_NULL_HENV;
    RaiseDaoError(errors_.MapFailure(diagnostics.state, diagnostics.message, StatementVerb::Unknown, context));
  }
  connected_ = true;
  if (readOnly) ExecNow("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
  SetBusyTimeout(busyTimeoutMs);
}

OdbcConnection::~OdbcConnection() {
  catalogue_.reset();
  if (dbc_ != SQL_NULL_HDBC) {
    const OdbcApi& api = Odbc();
    if (inTransaction_) api.endTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    if (connected_) api.disconnect(dbc_);
    api.freeHandle(SQL_HANDLE_DBC, dbc_);
  }
  if (env_ != SQL_NULL_HENV) Odbc().freeHandle(SQL_HANDLE_ENV, env_);
}

std::unique_ptr<storage::Statement> OdbcConnection::Prepare(std::string_view sql) {
  return std::make_unique<OdbcStatement>(*this, sql);
}

void OdbcConnection::Exec(const std::string& sql) {
  ApplyPendingSettings();
  ExecNow(sql);
}

void OdbcConnection::ExecNow(const std::string& sql) {
  StatementHandle statement(dbc_);
  std::u16string wide = ToWide(sql);
  const StatementVerb verb = VerbOf(sql);
  const SQLRETURN rc = Odbc().execDirect(statement.handle, Wide(wide), static_cast<SQLINTEGER>(wide.size()));
  if (!Succeeded(rc) && rc != SQL_NO_DATA) RaiseOdbcFailure(SQL_HANDLE_STMT, statement.handle, verb, {});
  if (verb == StatementVerb::Insert || verb == StatementVerb::Update || verb == StatementVerb::Delete) {
    SQLLEN rows = 0;
    if (rc == SQL_NO_DATA || !Succeeded(Odbc().rowCount(statement.handle, &rows)) || rows < 0) rows = 0;
    NoteChanges(rows);
  }
}

std::string OdbcConnection::QueryText(const std::string& sql) const {
  const_cast<OdbcConnection*>(this)->ApplyPendingSettings();
  const OdbcApi& api = Odbc();
  StatementHandle statement(dbc_);
  std::u16string wide = ToWide(sql);
  SQLRETURN rc = api.execDirect(statement.handle, Wide(wide), static_cast<SQLINTEGER>(wide.size()));
  if (!Succeeded(rc)) RaiseOdbcFailure(SQL_HANDLE_STMT, statement.handle, StatementVerb::Other, {});
  rc = api.fetch(statement.handle);
  if (rc == SQL_NO_DATA) return {};
  if (!Succeeded(rc)) RaiseOdbcFailure(SQL_HANDLE_STMT, statement.handle, StatementVerb::Other, {});
  std::u16string value(256, u'\0');
  SQLLEN indicator = 0;
  rc = api.getData(statement.handle, 1, SQL_C_WCHAR, value.data(), static_cast<SQLLEN>(value.size() * 2), &indicator);
  if (!Succeeded(rc)) RaiseOdbcFailure(SQL_HANDLE_STMT, statement.handle, StatementVerb::Other, {});
  if (indicator == SQL_NULL_DATA) return {};
  std::string result = ToUtf8(std::u16string_view(value.data()));
  // A longer value comes in further pieces.
  while (rc == SQL_SUCCESS_WITH_INFO) {
    rc = api.getData(statement.handle, 1, SQL_C_WCHAR, value.data(), static_cast<SQLLEN>(value.size() * 2), &indicator);
    if (!Succeeded(rc)) break;
    AppendUtf8(std::u16string_view(value.data()), result);
  }
  return result;
}

int64_t OdbcConnection::LastInsertRowId() const noexcept {
  // The server answers the value a sequence (a counter column) handed out last in this
  // session, and fails when none has; inside a transaction a failure would spoil the
  // transaction, so the question is asked under a savepoint of its own there.
  auto* self = const_cast<OdbcConnection*>(this);
  try {
    if (inTransaction_) self->Exec("SAVEPOINT lumo_last_insert");
    std::string value;
    try {
      value = QueryText("SELECT lastval()");
    } catch (...) {
      if (inTransaction_) self->Exec("ROLLBACK TO SAVEPOINT lumo_last_insert");
    }
    if (inTransaction_) self->Exec("RELEASE SAVEPOINT lumo_last_insert");
    return std::strtoll(value.c_str(), nullptr, 10);
  } catch (...) {
    return 0;
  }
}

void OdbcConnection::NoteChanges(int64_t rows) noexcept {
  changes_ = static_cast<int>(rows);
  totalChanges_ += rows;
}

void OdbcConnection::SetAutocommit(bool on) {
  const SQLRETURN rc = Odbc().setConnectAttr(
      dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
  if (!Succeeded(rc)) RaiseOdbcFailure(SQL_HANDLE_DBC, dbc_, StatementVerb::Unknown, {});
}

void OdbcConnection::Begin(storage::TransactionKind kind) {
  if (inTransaction_) RaiseDaoError(kDaoTooManyTransactions);
  // Outside the transaction, so that a rollback does not take the setting back.
  ApplyPendingSettings();
  SetAutocommit(false);
  inTransaction_ = true;
  try {
    switch (kind) {
      case storage::TransactionKind::Read: Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"); break;
      case storage::TransactionKind::Write: break;
      case storage::TransactionKind::Exclusive: Exec("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE"); break;
    }
  } catch (...) {
    EndTransaction(SQL_ROLLBACK);
    throw;
  }
}

void OdbcConnection::EndTransaction(SQLSMALLINT completion) {
  const OdbcApi& api = Odbc();
  const SQLRETURN rc = api.endTran(SQL_HANDLE_DBC, dbc_, completion);
  // Whatever the outcome, the server's transaction is over: a commit it refused was rolled back.
  inTransaction_ = false;
  // A setting made inside the transaction went with it unless it was committed.
  if (settingsInTransaction_ && (completion != SQL_COMMIT || !Succeeded(rc))) ForgetAppliedSettings();
  settingsInTransaction_ = false;
  if (!Succeeded(rc)) {
    const Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_DBC, dbc_);
    api.endTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SetAutocommit(true);
    RaiseDaoError(errors_.MapFailure(diagnostics.state, diagnostics.message, StatementVerb::Unknown, {}));
  }
  SetAutocommit(true);
}

void OdbcConnection::Commit() {
  if (!inTransaction_) RaiseDaoError(kDaoNoTransaction);
  EndTransaction(SQL_COMMIT);
}

void OdbcConnection::Rollback() {
  if (!inTransaction_) RaiseDaoError(kDaoNoTransaction);
  EndTransaction(SQL_ROLLBACK);
}

void OdbcConnection::Savepoint(std::string_view name) { Exec("SAVEPOINT " + QuotedName(name)); }

void OdbcConnection::ReleaseSavepoint(std::string_view name) { Exec("RELEASE SAVEPOINT " + QuotedName(name)); }

void OdbcConnection::RollbackToSavepoint(std::string_view name) {
  Exec("ROLLBACK TO SAVEPOINT " + QuotedName(name));
  // The savepoint may be older than a setting made since: the server took that back too.
  if (settingsInTransaction_) ForgetAppliedSettings();
}

uint32_t OdbcConnection::ChangeCounter() const noexcept {
  try {
    const std::string snapshot = QueryText("SELECT pg_current_snapshot()::text");
    uint32_t hash = kFnvOffset;
    for (char c : snapshot) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    return hash;
  } catch (...) {
    return 0;
  }
}

void OdbcConnection::SetBusyTimeout(int milliseconds) {
  busyTimeoutMs_ = milliseconds < 0 ? 0 : milliseconds;
  ApplyLockTimeout();
}

void OdbcConnection::SetQueryTimeout(int seconds) {
  queryTimeout_ = seconds < 0 ? 0 : seconds;
  ApplyLockTimeout();
}

void OdbcConnection::ApplyLockTimeout() {
  // A statement that spends its time waiting for another session's lock answers the
  // locking error (3218), not the time-out: the wait ends a little before the statement's
  // time is up.
  constexpr int kLockBeforeTimeoutMs = 250;
  int wait = busyTimeoutMs_;
  const int limit = queryTimeout_ * 1000;
  if (queryTimeout_ > 0 && (wait == 0 || wait > limit - kLockBeforeTimeoutMs)) {
    wait = std::max(limit - kLockBeforeTimeoutMs, limit / 2);
  }
  wantedLockTimeoutMs_ = wait;
}

void OdbcConnection::ApplyPendingSettings(int statementTimeoutSeconds) {
  // Sent with the next statement rather than at once: a caller that sets both time-outs, or
  // sets one again before anything runs (a recording run trims its wait after connecting),
  // costs the server one SET, not one per change. The statement time-out is the session's
  // statement_timeout rather than each statement's SQL_ATTR_QUERY_TIMEOUT, for which the
  // driver would send a SET before and another after every statement.
  const int statementMs = (statementTimeoutSeconds < 0 ? queryTimeout_ : statementTimeoutSeconds) * 1000;
  std::string sql;
  if (statementMs != appliedStatementTimeoutMs_) sql = "SET statement_timeout = " + std::to_string(statementMs);
  if (wantedLockTimeoutMs_ != appliedLockTimeoutMs_) {
    if (!sql.empty()) sql += "; ";
    sql += "SET lock_timeout = " + std::to_string(wantedLockTimeoutMs_);
  }
  if (sql.empty()) return;
  ExecNow(sql);
  appliedStatementTimeoutMs_ = statementMs;
  appliedLockTimeoutMs_ = wantedLockTimeoutMs_;
  if (inTransaction_) settingsInTransaction_ = true;
}

void OdbcConnection::ForgetAppliedSettings() noexcept {
  appliedStatementTimeoutMs_ = -1;
  appliedLockTimeoutMs_ = -1;
}

storage::CatalogueReader& OdbcConnection::Catalogue() {
  if (!catalogue_) catalogue_ = std::make_unique<OdbcCatalogueReader>(*this);
  return *catalogue_;
}

const storage::SqlDialect& OdbcConnection::Dialect() const noexcept { return PostgresDialect(); }

std::shared_ptr<const storage::RowIdentity> OdbcConnection::RowIdentityOf(const TableInfo& table) const {
  // Server rows carry no integer key the engine could keep in its lists; the engines name
  // them by their primary keys.
  (void)table;
  return nullptr;
}

}  // namespace lumo::jet::odbc
