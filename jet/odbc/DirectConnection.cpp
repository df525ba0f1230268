#include "jet/odbc/DirectConnection.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/Parameter.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/RecordsetState.h"
#include "jet/ValueCodec.h"
#include "jet/odbc/DirectRows.h"
#include "jet/odbc/OdbcApi.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "jet/odbc/OdbcCatalogueReader.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcStatement.h"
#include "jet/storage/BackEnd.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

constexpr const char* kSource = "DAO.Connection";
constexpr int kCannotExecuteSelect = 3065;

std::string FirstWord(std::string_view sql) {
  std::string text = Trim(sql);
  while (!text.empty() && (text.front() == '(' || text.front() == '{')) text = Trim(text.substr(1));
  size_t end = 0;
  while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])) != 0) ++end;
  return UpperCaseAscii(text.substr(0, end));
}

bool IsQuery(std::string_view sql) {
  const std::string word = FirstWord(sql);
  return word == "SELECT" || word == "VALUES" || word == "TABLE" || word == "SHOW";
}

// A bare name (a table) rather than a statement: one word, or one quoted name, or schema.name.
bool IsName(std::string_view source) {
  const std::string text = Trim(source);
  if (text.empty()) return false;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (!quoted && std::isspace(static_cast<unsigned char>(c)) != 0) return false;
  }
  return !(FirstWord(text) == text && (IsQuery(text) || text == "WITH" || text == "CALL"));
}

OdbcConnection& SessionOf(DatabaseFile& file) {
  auto* connection = dynamic_cast<OdbcConnection*>(&file.Connection());
  if (connection == nullptr) RaiseDaoError(3251, {}, kSource);
  return *connection;
}

void SetAttributeOn(SQLHSTMT handle, SQLINTEGER attribute, SQLULEN value) {
  // Drivers that lack an attribute say so with a warning or an error; the statement then
  // runs without it, as the driver can.
  Odbc().setStmtAttr(handle, attribute, reinterpret_cast<SQLPOINTER>(value), 0);
}

void SetAttribute(OdbcStatement& statement, SQLINTEGER attribute, SQLULEN value) {
  SetAttributeOn(statement.Handle(), attribute, value);
}

std::string Quoted(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }

// A name of the server's SQL at `at`: a plain word (folded to lower case, as the server
// folds it) or a quoted name, possibly schema-qualified; "" when there is none. Moves `at`.
std::string ReadName(std::string_view sql, size_t& at) {
  std::string name;
  for (;;) {
    if (at < sql.size() && sql[at] == '"') {
      const size_t end = sql.find('"', at + 1);
      if (end == std::string_view::npos) return {};
      name += sql.substr(at + 1, end - at - 1);
      at = end + 1;
    } else {
      const size_t start = at;
      while (at < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[at])) != 0 || sql[at] == '_')) ++at;
      if (at == start) return {};
      name += LowerCaseAscii(sql.substr(start, at - start));
    }
    if (at >= sql.size() || sql[at] != '.') return name;
    name += '.';
    ++at;
  }
}

size_t SkipBlanks(std::string_view sql, size_t at) {
  while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at])) != 0) ++at;
  return at;
}

// The one table the top-level FROM of a query names, when it names one and nothing else
// (no join, no second table, no alias, no subquery); "" otherwise. `fromAt` gets where the
// FROM begins.
std::string SingleTableOf(std::string_view sql, size_t* fromAt = nullptr) {
  int depth = 0;
  for (size_t at = 0; at < sql.size(); ++at) {
    const char c = sql[at];
    if (c == '\'' || c == '"') {
      const size_t end = sql.find(c, at + 1);
      if (end == std::string_view::npos) return {};
      at = end;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth != 0 || UpperCaseAscii(sql.substr(at, 4)) != "FROM") continue;
    const bool startOk = at == 0 || std::isalnum(static_cast<unsigned char>(sql[at - 1])) == 0;
    const bool endOk = at + 4 >= sql.size() || std::isspace(static_cast<unsigned char>(sql[at + 4])) != 0;
    if (!startOk || !endOk) continue;
    if (fromAt != nullptr) *fromAt = at;
    size_t name = SkipBlanks(sql, at + 4);
    std::string table = ReadName(sql, name);
    if (table.empty()) return {};
    name = SkipBlanks(sql, name);
    size_t end = name;
    while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end])) != 0) ++end;
    const std::string next = UpperCaseAscii(sql.substr(name, end - name));
    const bool ends = name >= sql.size() || sql[name] == ';';
    if (!ends && next != "WHERE" && next != "ORDER" && next != "LIMIT" && next != "OFFSET" && next != "FOR" &&
        next != "FETCH") {
      return {};
    }
    return table;
  }
  return {};
}

// "SELECT a, b FROM t ..." or "SELECT * FROM t ...": the table and the columns in order (empty
// for "*"), for drivers that do not tell where a result column comes from. Anything else
// (expressions, joins, aliases, subqueries) gives nullopt: such rows are not read again by key.
struct PlainSelect {
  std::string table;
  std::vector<std::string> columns;
};
std::optional<PlainSelect> ReadPlainSelect(std::string_view sql) {
  size_t fromAt = 0;
  PlainSelect select;
  select.table = SingleTableOf(sql, &fromAt);
  if (select.table.empty()) return std::nullopt;
  size_t at = SkipBlanks(sql, 0);
  if (UpperCaseAscii(sql.substr(at, 6)) != "SELECT") return std::nullopt;
  at = SkipBlanks(sql, at + 6);
  if (at < sql.size() && sql[at] == '*') {
    at = SkipBlanks(sql, at + 1);
  } else {
    for (;;) {
      std::string column = ReadName(sql, at);
      if (column.empty()) return std::nullopt;
      const size_t dot = column.rfind('.');
      select.columns.push_back(dot == std::string::npos ? column : column.substr(dot + 1));
      at = SkipBlanks(sql, at);
      if (at >= sql.size() || sql[at] != ',') break;
      at = SkipBlanks(sql, at + 1);
    }
  }
  if (at != fromAt) return std::nullopt;
  return select;
}

// The table name without its schema.
std::string_view BareName(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

// The server's SQL of a direct connection.
class OdbcDirectStatements final : public DirectStatements {
 public:
  explicit OdbcDirectStatements(std::weak_ptr<DatabaseFile> file) : file_(std::move(file)) {}

  int Execute(const std::string& sql, int options, int queryTimeout) override;
  std::shared_ptr<Recordset> OpenRecordset(const std::string& source, int type, int options, int lockEdit,
                                           int maxRecords, int queryTimeout) override;
  std::string Version() override;
  int ExecuteWithParameters(const std::string& sql, int options, int queryTimeout,
                            const std::vector<std::shared_ptr<Parameter>>& parameters) override;

 private:
  DatabaseFile& File() const {
    std::shared_ptr<DatabaseFile> file = file_.lock();
    if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, kSource);
    return *file;
  }

  std::weak_ptr<DatabaseFile> file_;
  int savepoints_ = 0;
};

int OdbcDirectStatements::Execute(const std::string& sql, int options, int queryTimeout) {
  (void)options;  // the server runs each statement whole or not at all: dbFailOnError adds nothing
  if (Trim(sql).empty()) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  if (IsQuery(sql)) RaiseDaoError(kCannotExecuteSelect, {}, kSource);
  DatabaseFile& file = File();
  file.CheckWritable();
  OdbcConnection& session = SessionOf(file);
  // Inside a transaction a failed statement would leave the server's transaction unusable
  // for every later one; a savepoint undoes the statement alone.
  const bool inTransaction = session.InTransaction();
  const std::string savepoint = "lumo_direct_" + std::to_string(++savepoints_);
  if (inTransaction) session.Savepoint(savepoint);
  try {
    OdbcStatement statement(session, sql);
    statement.SetQueryTimeout(queryTimeout);
    while (statement.Step()) {}
    const StatementVerb verb = VerbOf(sql);
    const bool changesRows =
        verb == StatementVerb::Insert || verb == StatementVerb::Update || verb == StatementVerb::Delete;
    const int affected = changesRows ? session.Changes() : 0;
    if (inTransaction) session.ReleaseSavepoint(savepoint);
    // Another statement may have changed the schema: the catalogue reads it again.
    file.Idle(dbRefreshCache);
    return affected;
  } catch (...) {
    if (inTransaction) {
      try {
        session.RollbackToSavepoint(savepoint);
        session.ReleaseSavepoint(savepoint);
      } catch (...) {
        // The failure is what the caller learns about.
      }
    }
    throw;
  }
}

namespace {

// A statement handle of the session's, freed on every way out.
class CallHandle {
 public:
  explicit CallHandle(OdbcConnection& session) {
    if (!Succeeded(Odbc().allocHandle(SQL_HANDLE_STMT, session.Handle(), &handle_))) {
      handle_ = SQL_NULL_HSTMT;
      RaiseOdbcFailure(SQL_HANDLE_DBC, session.Handle(), StatementVerb::Unknown, {});
    }
  }
  ~CallHandle() {
    if (handle_ != SQL_NULL_HSTMT) Odbc().freeHandle(SQL_HANDLE_STMT, handle_);
  }
  CallHandle(const CallHandle&) = delete;
  CallHandle& operator=(const CallHandle&) = delete;
  SQLHSTMT Get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// Room for what a procedure gives back in one parameter, in characters.
constexpr size_t kOutputCharacters = 8000;

// A parameter's buffer: its text as UTF-16, and the length or SQL_NULL_DATA.
struct BoundParameter {
  std::u16string buffer;
  SQLLEN indicator = SQL_NULL_DATA;
  SQLSMALLINT serverType = 0;  // the ODBC SQL type the server gives the value, 0 when unknown
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
};

SQLSMALLINT ParameterKind(int direction) {
  switch (direction) {
    case dbParamInputOutput: return SQL_PARAM_INPUT_OUTPUT;
    case dbParamOutput:
    case dbParamReturnValue: return SQL_PARAM_OUTPUT;
    default: return SQL_PARAM_INPUT;
  }
}

// What came back, in the type the server gave it; text when the driver does not say.
void GiveBack(Parameter& parameter, const BoundParameter& bound) {
  if (bound.indicator == SQL_NULL_DATA) {
    parameter.TakeResult(parameter.Type(), Variant::Null());
    return;
  }
  const size_t length =
      std::min(static_cast<size_t>(std::max<SQLLEN>(bound.indicator, 0)) / sizeof(char16_t), bound.buffer.size());
  const std::string text = ToUtf8(std::u16string_view(bound.buffer).substr(0, length));
  if (bound.serverType == 0) {
    parameter.TakeResult(dbText, Variant(text));
    return;
  }
  const JetFieldType type = DaoTypeOfColumn(bound.serverType, {}, static_cast<int>(bound.size), bound.digits, false);
  try {
    parameter.TakeResult(type.type, ConvertFieldValue(Variant(text), type, parameter.Name()));
  } catch (const EOleException&) {
    // A value the engine's type cannot take in its server form (a date the engine reads
    // otherwise): the server's text is what it gave.
    parameter.TakeResult(dbText, Variant(text));
  }
}

}  // namespace

int OdbcDirectStatements::ExecuteWithParameters(const std::string& sql, int options, int queryTimeout,
                                                const std::vector<std::shared_ptr<Parameter>>& parameters) {
  (void)options;  // as for Execute: the server runs the statement whole or not at all
  if (Trim(sql).empty()) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  DatabaseFile& file = File();
  OdbcConnection& session = SessionOf(file);
  const OdbcApi& api = Odbc();
  const StatementVerb verb = VerbOf(sql);
  const bool inTransaction = session.InTransaction();
  const std::string savepoint = "lumo_direct_" + std::to_string(++savepoints_);
  if (inTransaction) session.Savepoint(savepoint);
  try {
    CallHandle call(session);
    const SQLHSTMT handle = call.Get();
    const auto fail = [&] {
      storage::ErrorContext context;
      context.source = kSource;
      RaiseOdbcFailure(SQL_HANDLE_STMT, handle, verb, context);
    };
    // The time-out goes as the session's setting, like every other statement's.
    session.ApplyPendingSettings(std::max(queryTimeout, 0));
    std::u16string text = ToWide(sql);
    if (!Succeeded(api.prepare(handle, Wide(text), static_cast<SQLINTEGER>(text.size())))) fail();

    // Every value travels as text, which the server reads as the type the procedure
    // declares (a number bound as a number would pick a procedure of that exact type).
    std::vector<BoundParameter> bound(parameters.size());
    for (size_t i = 0; i < parameters.size(); ++i) {
      const Parameter& parameter = *parameters[i];
      BoundParameter& b = bound[i];
      const SQLSMALLINT kind = ParameterKind(parameter.Direction());
      std::u16string value;
      const bool hasValue = kind != SQL_PARAM_OUTPUT && !parameter.Value().IsNull();
      if (hasValue) value = ToWide(VarToStr(parameter.Value()));
      b.buffer.assign(std::max(value.size() + 1, kind == SQL_PARAM_INPUT ? size_t{1} : kOutputCharacters), u'\0');
      std::copy(value.begin(), value.end(), b.buffer.begin());
      b.indicator = hasValue ? static_cast<SQLLEN>(value.size() * sizeof(char16_t)) : SQL_NULL_DATA;
      const auto marker = static_cast<SQLUSMALLINT>(i + 1);
      if (kind != SQL_PARAM_INPUT) {
        SQLSMALLINT nullable = 0;
        if (!Succeeded(api.describeParam(handle, marker, &b.serverType, &b.size, &b.digits, &nullable))) {
          b.serverType = 0;
        }
      }
      const SQLULEN columnSize = std::max<SQLULEN>(kind == SQL_PARAM_INPUT ? value.size() : b.buffer.size() - 1, 1);
      if (!Succeeded(api.bindParameter(handle, marker, kind, SQL_C_WCHAR, SQL_WVARCHAR, columnSize, 0, b.buffer.data(),
                                       static_cast<SQLLEN>(b.buffer.size() * sizeof(char16_t)), &b.indicator))) {
        fail();
      }
    }
    SQLRETURN rc = api.execute(handle);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) fail();
    SQLLEN affected = 0;
    const bool changesRows =
        verb == StatementVerb::Insert || verb == StatementVerb::Update || verb == StatementVerb::Delete;
    if (changesRows && rc != SQL_NO_DATA && !Succeeded(api.rowCount(handle, &affected))) affected = 0;
    // A procedure's OUT arguments come as a row as well; their types are the row's columns,
    // where the driver cannot describe a marker.
    std::vector<SQLSMALLINT> columnTypes;
    SQLSMALLINT columns = 0;
    if (Succeeded(api.numResultCols(handle, &columns))) {
      for (SQLSMALLINT column = 1; column <= columns; ++column) {
        SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
        SQLULEN size = 0;
        std::u16string name(128, u'\0');
        if (!Succeeded(api.describeCol(handle, static_cast<SQLUSMALLINT>(column), Wide(name),
                                       static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size, &digits,
                                       &nullable))) {
          type = 0;
        }
        columnTypes.push_back(type);
      }
    }
    // The output values are only final once every result has been read.
    for (;;) {
      if (columns > 0) {
        while ((rc = api.fetch(handle)) != SQL_NO_DATA) {
          if (!Succeeded(rc)) fail();
        }
      }
      rc = api.moreResults(handle);
      if (rc == SQL_NO_DATA) break;
      if (!Succeeded(rc)) fail();
      if (!Succeeded(api.numResultCols(handle, &columns))) columns = 0;
    }
    size_t outArgument = 0;
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (parameters[i]->Direction() == dbParamInput) continue;
      BoundParameter& b = bound[i];
      if (parameters[i]->Direction() != dbParamReturnValue) {
        if (b.serverType == 0 && outArgument < columnTypes.size()) b.serverType = columnTypes[outArgument];
        ++outArgument;
      }
      GiveBack(*parameters[i], b);
    }
    if (inTransaction) session.ReleaseSavepoint(savepoint);
    file.Idle(dbRefreshCache);
    return static_cast<int>(std::max<SQLLEN>(affected, 0));
  } catch (...) {
    if (inTransaction) {
      try {
        session.RollbackToSavepoint(savepoint);
        session.ReleaseSavepoint(savepoint);
      } catch (...) {
        // The failure is what the caller learns about.
      }
    }
    throw;
  }
}

std::string OdbcDirectStatements::Version() {
  OdbcConnection& session = SessionOf(File());
  const auto info = [&](SQLUSMALLINT what) {
    std::u16string buffer(128, u'\0');
    SQLSMALLINT length = 0;
    if (!Succeeded(Odbc().getInfo(session.Handle(), what, Wide(buffer),
                                  static_cast<SQLSMALLINT>(buffer.size() * sizeof(char16_t)), &length))) {
      return std::string();
    }
    buffer.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / 2, buffer.size()));
    return ToUtf8(buffer);
  };
  return Trim(info(SQL_DBMS_NAME) + " " + info(SQL_DBMS_VER));
}

std::shared_ptr<Recordset> OdbcDirectStatements::OpenRecordset(const std::string& source, int type, int options,
                                                               int lockEdit, int maxRecords, int queryTimeout) {
  // Without a type a direct connection reads forward only, the cheapest cursor.
  if (type == 0) type = dbOpenForwardOnly;
  if (type != dbOpenDynaset && type != dbOpenSnapshot && type != dbOpenForwardOnly && type != dbOpenDynamic) {
    RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  }
  if ((options & dbForwardOnly) != 0) type = dbOpenForwardOnly;
  if (lockEdit < 0 || lockEdit > dbOptimisticBatch || maxRecords < 0) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  if (Trim(source).empty()) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
  DatabaseFile& file = File();
  std::shared_ptr<DatabaseFile> held = file.shared_from_this();
  OdbcConnection& session = SessionOf(file);

  DirectQuery query;
  query.sql = IsName(source) ? "SELECT * FROM " + Trim(source) : source;
  query.maxRows = maxRecords;
  query.timeout = std::max(queryTimeout, 0);

  // The first statement tells the columns; the engine runs it (again at Requery).
  auto statement = std::make_unique<OdbcStatement>(session, query.sql);
  RecordShape shape;
  shape.plan.fullSql = query.sql;
  shape.plan.maxRecords = maxRecords;
  shape.plan.dialect = &session.Dialect();
  std::string baseTable;
  bool oneTable = true;
  for (int column = 0; column < statement->ColumnCount(); ++column) {
    RecordsetColumn described;
    described.name = statement->ColumnName(column);
    described.type =
        DaoTypeOfColumn(statement->ColumnSqlType(column), statement->ColumnDeclaredType(column),
                        static_cast<int>(statement->ColumnSize(column)), statement->ColumnDigits(column), false);
    described.sourceTable = statement->ColumnTableName(column);
    described.sourceField = statement->ColumnOriginName(column);
    described.allowZeroLength = described.type.type == dbText || described.type.type == dbMemo;
    if (described.sourceTable.empty() || described.sourceField.empty()) {
      oneTable = false;
    } else if (baseTable.empty()) {
      baseTable = described.sourceTable;
    } else if (!SameText(baseTable, described.sourceTable)) {
      oneTable = false;
    }
    shape.columns.push_back(std::move(described));
  }

  const bool keyedType = type == dbOpenDynaset || type == dbOpenDynamic;
  // Drivers that do not say where result columns come from: a plain select of table columns
  // says it itself.
  bool described = oneTable && !baseTable.empty();
  for (const RecordsetColumn& column : shape.columns) described = described && !column.sourceTable.empty();
  // The driver names the table of each column, but a second use of the same table (a
  // self-join) looks the same: the query itself must name that one table alone.
  if (keyedType && described && !SameText(BareName(SingleTableOf(query.sql)), BareName(baseTable))) oneTable = false;
  if (keyedType && !described) {
    oneTable = false;
    baseTable.clear();
    if (std::optional<PlainSelect> plain = ReadPlainSelect(query.sql)) {
      const bool counted = plain->columns.empty() || plain->columns.size() == shape.columns.size();
      if (counted) {
        oneTable = true;
        baseTable = plain->table;
        for (size_t i = 0; i < shape.columns.size(); ++i) {
          shape.columns[i].sourceTable = baseTable;
          shape.columns[i].sourceField = plain->columns.empty() ? shape.columns[i].name : plain->columns[i];
        }
      }
    }
  }
  std::shared_ptr<const TableInfo> table;
  std::vector<std::string> keyColumns;
  if (keyedType && oneTable && !baseTable.empty()) {
    table = file.Schema().Table(baseTable);
    const IndexInfo* primary = table ? table->PrimaryIndex() : nullptr;
    if (primary != nullptr) {
      for (const IndexFieldInfo& field : primary->fields) {
        bool shown = false;
        for (const RecordsetColumn& column : shape.columns) shown = shown || SameText(column.sourceField, field.name);
        if (!shown) {
          keyColumns.clear();
          break;
        }
        keyColumns.push_back(field.name);
      }
    }
    // Every column must be one of the table's, to be read again by the key.
    for (const RecordsetColumn& column : shape.columns) {
      if (table && table->FindColumn(column.sourceField) == nullptr) keyColumns.clear();
    }
  }
  const bool keyed = !keyColumns.empty();
  const bool readOnly = file.ReadOnly() || (options & dbReadOnly) != 0 || lockEdit == 0 || lockEdit == dbReadOnlyLock;
  const bool updatable = keyed && !readOnly;
  if (keyed) {
    QueryPlan& plan = shape.plan;
    plan.baseTable = table->name;
    plan.table = table;
    plan.from = Quoted(table->name);
    plan.primaryKey = std::make_shared<PrimaryKeyMap>(keyColumns);
    for (RecordsetColumn& column : shape.columns) {
      if (!plan.selectList.empty()) plan.selectList += ", ";
      plan.selectList += Quoted(column.sourceField);
      column.baseColumn = column.sourceField;
      if (const ColumnInfo* info = table->FindColumn(column.sourceField)) {
        column.type = info->type;
        column.required = info->required;
        column.allowZeroLength = info->allowZeroLength;
        column.defaultValue = info->defaultValue;
        column.sqliteDefault = info->sqliteDefault;
      }
      column.updatable = updatable && (column.type.attributes & dbAutoIncrField) == 0;
    }
    for (const std::string& key : keyColumns) {
      for (size_t i = 0; i < shape.columns.size(); ++i) {
        if (SameText(shape.columns[i].sourceField, key)) query.keyColumns.push_back(static_cast<int>(i));
      }
    }
  }

  ExternalRows rows;
  rows.type = type;
  rows.engine = type == dbOpenForwardOnly ? EngineKind::kForward : keyed ? EngineKind::kKeyset : EngineKind::kSnapshot;
  rows.options = options;
  rows.updatable = updatable;
  // ODBC data is always changed optimistically.
  rows.lockEdits = false;
  rows.shape = std::make_shared<const RecordShape>(std::move(shape));
  DirectMode mode = DirectMode::kSnapshot;
  if (type == dbOpenForwardOnly) {
    mode = DirectMode::kForward;
  } else if (keyed) {
    // A dynamic recordset's members are the query's rows as of each time it reaches its end.
    mode = type == dbOpenDynamic ? DirectMode::kLive : DirectMode::kKeyed;
  }
  auto first = std::make_shared<std::unique_ptr<OdbcStatement>>(std::move(statement));
  std::weak_ptr<DatabaseFile> weak = held;
  rows.make = [weak, query, mode, first](const ShapePtr& madeShape) {
    std::shared_ptr<DatabaseFile> target = weak.lock();
    if (!target || !target->IsOpen()) RaiseDaoError(3420, {}, "DAO.Recordset");
    DirectQuery run = query;
    run.maxRows = static_cast<int>(madeShape->plan.maxRecords);
    // The statement that described the columns serves the first run.
    std::unique_ptr<OdbcStatement> statement = std::move(*first);
    if (!statement) statement = std::make_unique<OdbcStatement>(SessionOf(*target), run.sql);
    statement->SetQueryTimeout(run.timeout);
    SetAttribute(*statement, SQL_ATTR_MAX_ROWS, static_cast<SQLULEN>(run.maxRows));
    StatementMaker again;
    if (mode == DirectMode::kLive) {
      std::weak_ptr<DatabaseFile> file = target;
      again = [file, run] {
        std::shared_ptr<DatabaseFile> open = file.lock();
        if (!open || !open->IsOpen()) RaiseDaoError(3420, {}, "DAO.Recordset");
        auto next = std::make_unique<OdbcStatement>(SessionOf(*open), run.sql);
        next->SetQueryTimeout(run.timeout);
        return next;
      };
    }
    return MakeDirectRows(target, madeShape, mode, std::move(statement), run, std::move(again));
  };
  RecordsetSource recordsetSource;
  recordsetSource.name = source;
  recordsetSource.sql = query.sql;
  recordsetSource.table = keyed ? baseTable : std::string();
  recordsetSource.maxRecords = maxRecords;
  return Recordset::OpenOver(held, std::move(recordsetSource), std::move(rows));
}

}  // namespace

std::shared_ptr<Connection> OpenDirectConnection(const DirectConnectRequest& request) {
  OpenOptions options;
  options.type = "ODBC";
  options.readOnly = request.readOnly;
  options.loginTimeoutS = request.loginTimeoutS;
  std::shared_ptr<DatabaseFile> file = DatabaseFile::Open(request.connect, options);
  auto statements = std::make_shared<OdbcDirectStatements>(file);
  return Connection::Make(file, request.name, request.connect, request.readOnly, std::move(statements));
}

void RegisterDirectConnections() {
  RegisterOdbcBackEnd();
  RegisterDirectConnector(OpenDirectConnection);
}

}  // namespace lumo::jet::odbc
