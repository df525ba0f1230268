#include "jet/sqlite/SqliteErrors.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>
#include <vector>

namespace lumo::jet {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The part of an SQLite message after a fixed prefix, e.g. the table of "no such table: t".
std::optional<std::string> After(std::string_view message, std::string_view prefix) {
  if (!StartsWith(message, prefix)) return std::nullopt;
  return std::string(message.substr(prefix.size()));
}

// SQLite reports "main.t" for tables of the main schema in some messages.
std::string WithoutSchema(std::string name) {
  if (StartsWith(name, "main.")) name.erase(0, 5);
  return name;
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

// "jet error 3464: ..." from our registered functions and triggers.
std::optional<int> FunctionErrorNumber(std::string_view message) {
  constexpr std::string_view kPrefix = "jet error ";
  if (!StartsWith(message, kPrefix)) return std::nullopt;
  int number = 0;
  size_t i = kPrefix.size();
  size_t digits = 0;
  while (i < message.size() && std::isdigit(static_cast<unsigned char>(message[i])) && digits < 6) {
    number = number * 10 + (message[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0 || i >= message.size() || message[i] != ':') return std::nullopt;
  return number;
}

// SQLITE_ERROR's messages that decide the DAO number by a fixed part alone, the rest of the
// text not entering the DAO text. The messages that name an object are handled apart.
enum class Match { Prefix, Contains, Exact };

struct MessageRule {
  Match match;
  const char* text;
  int number;
};

constexpr MessageRule kMessageRules[] = {
    {Match::Contains, "do not have the same number of result columns", kDaoUnionColumnCount},
    {Match::Prefix, "Expression tree is too large", kDaoQueryTooComplex},
    {Match::Prefix, "too many terms in ", kDaoQueryTooComplex},
    {Match::Exact, "parser stack overflow", kDaoQueryTooComplex},
    {Match::Prefix, "too many SQL variables", kDaoQueryTooComplex},
    {Match::Prefix, "at most ", kDaoQueryTooComplex},
    {Match::Prefix, "too many levels of trigger recursion", kDaoQueryTooComplex},
    {Match::Prefix, "too many columns", kDaoTooManyFields},
    {Match::Prefix, "aggregate functions are not allowed in the GROUP BY clause", kDaoAggregateInGroupBy},
    {Match::Prefix, "sub-select returns ", kDaoSubqueryFields},
    {Match::Exact, "no tables specified", kDaoQueryWithoutTable},
    {Match::Contains, "ORDER BY", kDaoOrderBySyntax},
    {Match::Prefix, "LIMIT clause should come after", kDaoSelectSyntax},
    {Match::Prefix, "ON clause references", kDaoJoinSyntax},
    {Match::Prefix, "a JOIN clause is required", kDaoJoinSyntax},
    {Match::Prefix, "cannot join using column", kDaoJoinSyntax},
    {Match::Prefix, "cannot drop ", kDaoFieldInIndex},
    {Match::Prefix, "Cannot add a ", kDaoAlterTableSyntax},
    {Match::Prefix, "default value of column", kDaoFieldDefinitionSyntax},
    {Match::Prefix, "cannot commit", kDaoNoTransaction},
    {Match::Prefix, "cannot rollback", kDaoNoTransaction},
    {Match::Prefix, "no such savepoint", kDaoNoTransaction},
    {Match::Prefix, "cannot start a transaction within a transaction", kDaoTooManyTransactions},
    {Match::Exact, "integer overflow", kExprOverflow},
};

bool Matches(const MessageRule& rule, std::string_view message) {
  switch (rule.match) {
    case Match::Prefix: return StartsWith(message, rule.text);
    case Match::Contains: return message.find(rule.text) != std::string_view::npos;
    case Match::Exact: return message == rule.text;
  }
  return false;
}

class Mapper {
 public:
  Mapper(std::string_view message, const SqliteErrorContext& context) : detail_(message), context_(context) {}

  DaoErrorInfo Make(int number, const std::vector<std::string>& args = {}) const {
    return MakeDaoError(number, args, context_.source, detail_);
  }

  // The extended codes: constraints say exactly which rule refused the row.
  std::optional<DaoErrorInfo> ByExtendedCode(int extendedCode, std::string_view message) const {
    switch (extendedCode) {
      case SQLITE_CONSTRAINT_UNIQUE:
      case SQLITE_CONSTRAINT_PRIMARYKEY:
      case SQLITE_CONSTRAINT_ROWID: return Make(kDaoDuplicateKey);
      case SQLITE_CONSTRAINT_NOTNULL: {
        auto field = After(message, "NOT NULL constraint failed: ");
        return Make(kDaoRequiredNull, {field ? WithoutSchema(*field) : std::string()});
      }
      case SQLITE_CONSTRAINT_FOREIGNKEY: return Make(kDaoRelatedRecordRequired, {context_.table});
      case SQLITE_CONSTRAINT_CHECK: {
        // A file of another tool with a CHECK constraint: Jet's validation rule.
        auto rule = After(message, "CHECK constraint failed: ");
        return Make(kDaoValidationRule, {rule ? *rule : std::string(), context_.table});
      }
      case SQLITE_CONSTRAINT_TRIGGER: {
        // A trigger of another tool refused the row with a text of its own: the rule's text,
        // as a table's validation text is.
        DaoErrorInfo info = Make(kDaoTableValidation);
        info.description = detail_;
        return info;
      }
      case SQLITE_CONSTRAINT_DATATYPE: return Make(kDaoTypeMismatch);
      case SQLITE_ERROR_MISSING_COLLSEQ: return Make(kDaoCorruptDatabase, {context_.fileName});
      default: return std::nullopt;
    }
  }

  std::optional<DaoErrorInfo> ByPrimaryCode(int primary) const {
    switch (primary) {
      case SQLITE_BUSY:
        if (!context_.lockUser.empty() || !context_.lockMachine.empty()) {
          return Make(kDaoLockedByUser, {context_.lockUser, context_.lockMachine});
        }
        return Make(kDaoLocked);
      case SQLITE_LOCKED:
      case SQLITE_PROTOCOL: return Make(kDaoLocked);
      case SQLITE_READONLY: return Make(kDaoReadOnly);
      case SQLITE_NOTADB: return Make(kDaoUnrecognizedFormat, {context_.fileName});
      case SQLITE_CORRUPT: return Make(kDaoCorruptDatabase, {context_.fileName});
      case SQLITE_CANTOPEN: {
        std::error_code ignored;
        bool exists = !context_.fileName.empty() && std::filesystem::exists(context_.fileName, ignored);
        return Make(exists ? kDaoCannotOpenFile : kDaoFileNotFound, {context_.fileName});
      }
      case SQLITE_PERM: return Make(kDaoCannotOpenFile, {context_.fileName});
      case SQLITE_IOERR:
      case SQLITE_FULL: return Make(kDaoDiskError);
      case SQLITE_MISMATCH: return Make(kDaoTypeMismatch);
      case SQLITE_TOOBIG: return Make(kDaoRecordTooLarge);
      case SQLITE_NOMEM: return Make(kDaoResourceExceeded);
      case SQLITE_CONSTRAINT: return Make(kDaoDuplicateKey);
      default: return std::nullopt;
    }
  }

  // SQLITE_ERROR's messages that name an object: the name goes into the DAO text.
  std::optional<DaoErrorInfo> ByNamingMessage(std::string_view message) const {
    if (auto table = After(message, "no such table: ")) {
      return Make(context_.ddl ? kDaoTableNotExists : kDaoInputTableNotFound, {WithoutSchema(*table)});
    }
    if (auto column = NoSuchColumnName(message)) {
      DaoErrorInfo info = context_.ddl ? Make(kDaoUnrecognizedField, {*column}) : Make(kDaoTooFewParameters, {"1"});
      info.unknownName = *column;
      return info;
    }
    if (StartsWith(message, "table ")) {
      // "table X already exists", "table X has no column named Y"
      std::string_view rest = message.substr(6);
      constexpr std::string_view kSuffix = " already exists";
      if (rest.size() > kSuffix.size() && rest.substr(rest.size() - kSuffix.size()) == kSuffix) {
        return Make(kDaoTableExists, {WithoutSchema(std::string(rest.substr(0, rest.size() - kSuffix.size())))});
      }
      constexpr std::string_view kNoColumn = " has no column named ";
      if (size_t at = rest.find(kNoColumn); at != std::string_view::npos) {
        return Make(kDaoUnknownInsertField, {std::string(rest.substr(at + kNoColumn.size()))});
      }
    }
    for (std::string_view prefix :
         {"there is already another table or index with this name: ", "there is already a table named "}) {
      if (auto name = After(message, prefix)) return Make(kDaoTableExists, {WithoutSchema(*name)});
    }
    if (StartsWith(message, "index ") && message.find(" already exists") != std::string_view::npos) {
      return Make(kDaoIndexExists);
    }
    if (auto index = After(message, "no such index: ")) {
      // Our index names are "<table>.<index>".
      std::string name = WithoutSchema(*index);
      std::string table = context_.table;
      size_t dot = name.find('.');
      if (dot != std::string::npos) {
        table = name.substr(0, dot);
        name = name.substr(dot + 1);
      }
      return Make(kDaoNoSuchIndex, {name, table});
    }
    if (auto column = After(message, "duplicate column name: ")) {
      if (!context_.table.empty()) return Make(kDaoFieldExists, {*column, context_.table});
      return Make(kDaoFieldDefinedTwice);
    }
    if (auto function = After(message, "no such function: ")) return Make(kDaoUndefinedFunction, {*function});
    if (auto column = After(message, "ambiguous column name: ")) return Make(kDaoAmbiguousField, {*column});
    if (auto name = After(message, "object name reserved for internal use: ")) return Make(kDaoInvalidName, {*name});
    // Aggregates where no aggregate may stand: "misuse of aggregate function count()".
    for (std::string_view prefix : {"misuse of aggregate function ", "misuse of aggregate: "}) {
      if (auto function = After(message, prefix)) return Make(kDaoAggregateInExpression, {*function});
    }
    if (auto function = After(message, "wrong number of arguments to function ")) {
      return Make(kDaoQueryExpressionError, {"Wrong number of arguments used with function", *function});
    }
    for (std::string_view prefix : {"cannot INSERT into generated column ", "cannot UPDATE generated column "}) {
      if (auto column = After(message, prefix)) return Make(kDaoFieldNotUpdatable, {Unquoted(*column)});
    }
    if (StartsWith(message, "cannot modify ") && message.find(" because it is a view") != std::string_view::npos) {
      return Make(kDaoRecordsetNotUpdatable);
    }
    if (StartsWith(message, "no such collation sequence") || StartsWith(message, "malformed database schema")) {
      return Make(kDaoCorruptDatabase, {context_.fileName});
    }
    if (StartsWith(message, "unsupported file format")) return Make(kDaoUnrecognizedFormat, {context_.fileName});
    return std::nullopt;
  }

  // Text the engine sent that SQLite could not read.
  std::optional<DaoErrorInfo> BySyntaxMessage(std::string_view message) const {
    if (auto near = After(message, "near \"")) {
      size_t quote = near->find('"');
      return Make(kDaoQueryExpressionError, {"Syntax error", near->substr(0, quote)});
    }
    if (auto token = After(message, "unrecognized token: ")) {
      return Make(kDaoQueryExpressionError, {"Syntax error", Unquoted(*token)});
    }
    if (message == "incomplete input") return Make(kDaoQueryExpressionError, {"Syntax error", ""});
    return std::nullopt;
  }

 private:
  std::string detail_;
  const SqliteErrorContext& context_;
};

}  // namespace

std::optional<std::string> NoSuchColumnName(std::string_view sqliteMessage) {
  auto name = After(sqliteMessage, "no such column: ");
  if (!name || name->empty()) return std::nullopt;
  return name;
}

DaoErrorInfo MapSqliteError(int extendedCode, std::string_view message, const SqliteErrorContext& context) {
  const Mapper mapper(message, context);
  if (auto number = FunctionErrorNumber(message)) {
    DaoErrorInfo info = mapper.Make(*number);
    // The function already filled the text; keep it rather than the bare pattern.
    size_t colon = message.find(':');
    info.description = std::string(message.substr(colon + 2 <= message.size() ? colon + 2 : colon));
    return info;
  }
  // A failure inside a trigger, index or view names the object first; what failed follows.
  for (std::string_view prefix : {"error in trigger ", "error in index ", "error in view "}) {
    if (!StartsWith(message, prefix)) continue;
    size_t colon = message.find(": ", prefix.size());
    if (colon != std::string_view::npos) {
      DaoErrorInfo info = MapSqliteError(extendedCode, message.substr(colon + 2), context);
      info.detail = std::string(message);
      return info;
    }
  }
  if (auto info = mapper.ByExtendedCode(extendedCode, message)) return *info;
  const int primary = extendedCode & 0xff;
  if (auto info = mapper.ByPrimaryCode(primary)) return *info;
  if (primary == SQLITE_ERROR) {
    if (auto info = mapper.ByNamingMessage(message)) return *info;
    for (const MessageRule& rule : kMessageRules) {
      if (Matches(rule, message)) return mapper.Make(rule.number);
    }
    if (auto info = mapper.BySyntaxMessage(message)) return *info;
  }
  // What is left has no DAO counterpart: DAO's answer for an inner failure without a message
  // of its own, naming the inner code. SQLite's words stay in the record's detail.
  return mapper.Make(kDaoReservedError, {std::to_string(extendedCode)});
}

void RaiseSqliteError(int extendedCode, std::string_view message, const SqliteErrorContext& context) {
  RaiseDaoError(MapSqliteError(extendedCode, message, context));
}

void RaiseSqliteFailure(sqlite3* db, int resultCode, const std::string& fileName) {
  // The connection's extended code is more precise than the primary code a call returned,
  // as long as it still describes the same failure.
  int extended = db ? sqlite3_extended_errcode(db) : resultCode;
  if ((extended & 0xff) != (resultCode & 0xff)) extended = resultCode;
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
  SqliteErrorContext context;
  context.fileName = fileName;
  if (context.fileName.empty() && db) {
    const char* name = sqlite3_db_filename(db, "main");
    if (name) context.fileName = name;
  }
  RaiseSqliteError(extended, message, context);
}

}  // namespace lumo::jet
