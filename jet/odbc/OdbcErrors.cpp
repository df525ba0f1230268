#include "jet/odbc/OdbcErrors.h"

#include <algorithm>
#include <array>

#include "jet/odbc/OdbcApi.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

constexpr int kStateLength = 5;
constexpr int kRadix = 36;

int DigitOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return -1;
}

// The names the server quotes in its message, in order ("..." around identifiers).
std::vector<std::string> QuotedNames(std::string_view message) {
  std::vector<std::string> names;
  size_t at = 0;
  while ((at = message.find('"', at)) != std::string_view::npos) {
    const size_t end = message.find('"', at + 1);
    if (end == std::string_view::npos) break;
    names.emplace_back(message.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return names;
}

std::string NameAt(const std::vector<std::string>& names, size_t index, const std::string& fallback) {
  return index < names.size() ? names[index] : fallback;
}

// The DAO texts of the two ODBC failures, which say nothing of the cause; the server's
// message follows them, so that the error says why.
DaoErrorInfo OdbcFailure(int number, const std::string& daoText, std::string_view message,
                         const storage::ErrorContext& context) {
  DaoErrorInfo info = MakeDaoError(number, {}, context.source, std::string(message));
  info.description = daoText;
  if (!message.empty()) info.description += " " + std::string(message);
  return info;
}

}  // namespace

int SqlStateCode(std::string_view state) {
  if (state.size() != kStateLength) return 0;
  int code = 0;
  for (char c : state) {
    const int digit = DigitOf(c);
    if (digit < 0) return 0;
    code = code * kRadix + digit;
  }
  return code + 1;  // 0 stays free for "no state"
}

std::string SqlStateText(int code) {
  if (code <= 0) return {};
  --code;
  std::string state(kStateLength, '0');
  for (int i = kStateLength - 1; i >= 0; --i) {
    const int digit = code % kRadix;
    state[static_cast<size_t>(i)] = static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10);
    code /= kRadix;
  }
  return code == 0 ? state : std::string();
}

StatementVerb VerbOf(std::string_view sql) {
  size_t at = 0;
  while (at < sql.size() &&
         (sql[at] == ' ' || sql[at] == '\t' || sql[at] == '\n' || sql[at] == '\r' || sql[at] == '(')) {
    ++at;
  }
  size_t end = at;
  while (end < sql.size() && ((sql[end] >= 'A' && sql[end] <= 'Z') || (sql[end] >= 'a' && sql[end] <= 'z'))) ++end;
  const std::string_view word = sql.substr(at, end - at);
  if (SameText(word, "INSERT")) return StatementVerb::Insert;
  if (SameText(word, "UPDATE")) return StatementVerb::Update;
  if (SameText(word, "DELETE")) return StatementVerb::Delete;
  return word.empty() ? StatementVerb::Unknown : StatementVerb::Other;
}

DaoErrorInfo OdbcErrorMapper::Map(int code, std::string_view message, const storage::ErrorContext& context) const {
  return MapFailure(SqlStateText(code), message, StatementVerb::Unknown, context);
}

DaoErrorInfo OdbcErrorMapper::MapFailure(std::string_view state, std::string_view message, StatementVerb verb,
                                         const storage::ErrorContext& context) const {
  const std::string detail(message);
  // Whatever fails while connecting is a connection that failed, for DAO: a wrong password
  // (28P01), an unknown source (IM002), a server that is down (08001).
  if (!context.fileName.empty()) {
    return OdbcFailure(kDaoOdbcConnectFailed, "ODBC--connection to '" + context.fileName + "' failed.", message,
                       context);
  }
  const std::vector<std::string> names = QuotedNames(message);
  const auto dao = [&](int number, std::vector<std::string> args = {}) {
    return MakeDaoError(number, args, context.source, detail);
  };
  if (state == "23505") return dao(kDaoDuplicateKey);
  if (state == "23503") {
    // The server words both directions alike on its first line: "insert or update on table
    // "child" violates foreign key constraint "fk"" against "update or delete on table
    // "parent" violates foreign key constraint "fk" on table "child"", and its detail line
    // names the primary table for the first. A delete can only break the rule from the
    // primary side, an insert only from the referring side; for an update the number of
    // names on the first line tells.
    const std::vector<std::string> first = QuotedNames(message.substr(0, message.find('\n')));
    bool primarySide = verb == StatementVerb::Delete;
    if (verb == StatementVerb::Update || verb == StatementVerb::Unknown) primarySide = first.size() >= 3;
    if (primarySide) return dao(kDaoRelatedRecordsExist, {NameAt(first, 2, context.table)});
    const std::string primaryTable = names.size() > first.size() ? names.back() : context.table;
    return dao(kDaoRelatedRecordRequired, {primaryTable});
  }
  if (state == "23502") return dao(kDaoRequiredNull, {NameAt(names, 0, {})});
  if (state == "22001") {
    // DAO's text names no column; the server's says which column and how long it may be.
    DaoErrorInfo info = dao(kDaoFieldTooSmall);
    if (!message.empty()) info.description += " " + std::string(message);
    return info;
  }
  if (state == "40001" || state == "40P01" || state == "55P03") {
    if (!context.lockUser.empty()) return dao(kDaoLockedByUser, {context.lockUser, context.lockMachine});
    return dao(kDaoLocked);
  }
  if (state == "25006") return dao(kDaoReadOnly);
  if (state == "42P01") {
    const std::string table = NameAt(names, 0, context.table);
    return dao(context.ddl ? kDaoTableNotExists : kDaoInputTableNotFound, {table});
  }
  if (state == "42703") {
    DaoErrorInfo info = dao(kDaoUnrecognizedField, {NameAt(names, 0, {})});
    info.unknownName = NameAt(names, 0, {});
    return info;
  }
  return OdbcFailure(kDaoOdbcCallFailed, "ODBC--call failed.", message, context);
}

Diagnostics ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  Diagnostics result;
  if (handle == SQL_NULL_HANDLE) return result;
  const OdbcApi& api = Odbc();
  std::array<SQLWCHAR, SQL_SQLSTATE_SIZE + 1> state{};
  std::u16string text(SQL_MAX_MESSAGE_LENGTH, u'\0');
  for (SQLSMALLINT record = 1;; ++record) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = api.getDiagRec(handleType, handle, record, state.data(), &native, Wide(text),
                                  static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      text.assign(static_cast<size_t>(length) + 1, u'\0');
      rc = api.getDiagRec(handleType, handle, record, state.data(), &native, Wide(text),
                          static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!Succeeded(rc)) break;
    if (record == 1) {
      for (int i = 0; i < SQL_SQLSTATE_SIZE; ++i)
        result.state.push_back(static_cast<char>(state[static_cast<size_t>(i)]));
    }
    const size_t size = std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size());
    std::string message = ToUtf8(std::u16string_view(text).substr(0, size));
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    if (!result.message.empty()) result.message += "\n";
    result.message += message;
  }
  return result;
}

void RaiseOdbcFailure(SQLSMALLINT handleType, SQLHANDLE handle, StatementVerb verb,
                      const storage::ErrorContext& context, SQLHDBC session) {
  Diagnostics diagnostics = ReadDiagnostics(handleType, handle);
  if (session != SQL_NULL_HDBC) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (Succeeded(Odbc().getConnectAttr(session, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE && diagnostics.message.find("been lost") == std::string::npos) {
      if (!diagnostics.message.empty()) diagnostics.message += "\n";
      diagnostics.message += "The connection to the server has been lost.";
    }
  }
  RaiseDaoError(OdbcErrorMapper().MapFailure(diagnostics.state, diagnostics.message, verb, context));
}

}  // namespace lumo::jet::odbc
