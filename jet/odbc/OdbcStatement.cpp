#include "jet/odbc/OdbcStatement.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "jet/DaoErrors.h"
#include "jet/JetTypes.h"
#include "jet/odbc/OdbcApi.h"
#include "jet/odbc/OdbcConnection.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

constexpr size_t kFirstTextChunk = 1024;  // UTF-16 units per SQLGetData call at first
constexpr size_t kFirstBinaryChunk = 4096;
constexpr int kNanosecondsPerMillisecond = 1000000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string FirstWord(std::string_view sql) {
  size_t at = 0;
  while (at < sql.size() && !((sql[at] >= 'A' && sql[at] <= 'Z') || (sql[at] >= 'a' && sql[at] <= 'z'))) ++at;
  size_t end = at;
  while (end < sql.size() && ((sql[end] >= 'A' && sql[end] <= 'Z') || (sql[end] >= 'a' && sql[end] <= 'z'))) ++end;
  return std::string(sql.substr(at, end - at));
}

bool ContainsWord(std::string_view sql, std::string_view word) {
  const std::string upper = UpperCaseAscii(sql);
  size_t at = 0;
  while ((at = upper.find(word, at)) != std::string::npos) {
    const bool startOk = at == 0 || !std::isalnum(static_cast<unsigned char>(upper[at - 1]));
    const size_t end = at + word.size();
    const bool endOk = end >= upper.size() || !std::isalnum(static_cast<unsigned char>(upper[end]));
    if (startOk && endOk) return true;
    at = end;
  }
  return false;
}

}  // namespace

MarkerPlan PlanMarkers(std::string_view sql) {
  MarkerPlan plan;
  plan.sql.reserve(sql.size());
  size_t i = 0;
  const auto copyQuoted = [&](char quote) {
    plan.sql.push_back(sql[i++]);
    while (i < sql.size()) {
      const char c = sql[i++];
      plan.sql.push_back(c);
      if (c == quote) {
        if (i < sql.size() && sql[i] == quote) {  // a doubled quote stands for itself
          plan.sql.push_back(sql[i++]);
          continue;
        }
        return;
      }
    }
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      copyQuoted(c);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      const size_t stop = end == std::string_view::npos ? sql.size() : end;
      plan.sql.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '?') {
      size_t end = i + 1;
      while (end < sql.size() && IsDigit(sql[end])) ++end;
      int number = plan.parameterCount + 1;
      if (end > i + 1) std::from_chars(sql.data() + i + 1, sql.data() + end, number);
      plan.parameterOfMarker.push_back(number);
      plan.parameterCount = std::max(plan.parameterCount, number);
      plan.sql.push_back('?');
      i = end;
    } else {
      plan.sql.push_back(c);
      ++i;
    }
  }
  return plan;
}

OdbcStatement::OdbcStatement(OdbcConnection& connection, std::string_view sql)
    : connection_(connection), sql_(sql), plan_(PlanMarkers(sql)), verb_(VerbOf(sql)) {
  const OdbcApi& api = Odbc();
  if (!Succeeded(api.allocHandle(SQL_HANDLE_STMT, connection_.Handle(), &handle_))) {
    handle_ = SQL_NULL_HSTMT;
    RaiseOdbcFailure(SQL_HANDLE_DBC, connection_.Handle(), verb_, {});
  }
  std::u16string text = ToWide(plan_.sql);
  const SQLRETURN rc = api.prepare(handle_, Wide(text), static_cast<SQLINTEGER>(text.size()));
  if (!Succeeded(rc)) Fail(rc);
  parameters_.resize(static_cast<size_t>(plan_.parameterCount));
  // A statement that changes rows is run, not looked at: described before it ran, the driver
  // would have the server parse it once more. Queries are described now, so that SQL the
  // server refuses fails where it is prepared.
  if (verb_ != StatementVerb::Insert && verb_ != StatementVerb::Update && verb_ != StatementVerb::Delete) Describe();
}

OdbcStatement::~OdbcStatement() {
  if (handle_ != SQL_NULL_HSTMT) Odbc().freeHandle(SQL_HANDLE_STMT, handle_);
}

void OdbcStatement::Fail(SQLRETURN result) const {
  (void)result;
  storage::ErrorContext context;
  RaiseOdbcFailure(SQL_HANDLE_STMT, handle_, verb_, context, connection_.Handle());
}

void OdbcStatement::Describe() {
  const OdbcApi& api = Odbc();
  SQLSMALLINT count = 0;
  SQLRETURN rc = api.numResultCols(handle_, &count);
  if (!Succeeded(rc)) Fail(rc);
  columns_.assign(static_cast<size_t>(count), Column{});
  std::u16string name(256, u'\0');
  for (SQLUSMALLINT number = 1; number <= static_cast<SQLUSMALLINT>(count); ++number) {
    Column& column = columns_[number - 1U];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    rc = api.describeCol(handle_, number, Wide(name), static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size,
                         &digits, &nullable);
    if (!Succeeded(rc)) Fail(rc);
    column.name = ToUtf8(std::u16string_view(name).substr(0, std::min<size_t>(nameLength, name.size() - 1)));
    column.sqlType = type;
    column.size = size;
    column.digits = digits;
    const auto attribute = [&](SQLUSMALLINT field) {
      SQLSMALLINT length = 0;
      std::u16string value(256, u'\0');
      if (!Succeeded(api.colAttribute(handle_, number, field, Wide(value),
                                      static_cast<SQLSMALLINT>(value.size() * sizeof(char16_t)), &length, nullptr))) {
        return std::string();
      }
      const size_t units =
          std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(char16_t), value.size() - 1);
      return ToUtf8(std::u16string_view(value).substr(0, units));
    };
    column.typeName = attribute(SQL_DESC_TYPE_NAME);
    switch (type) {
      case SQL_BIT:
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_BIGINT: column.reading = Reading::Integer; break;
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE: column.reading = Reading::Float; break;
      case SQL_NUMERIC:
      case SQL_DECIMAL: column.reading = Reading::Exact; break;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATE:
      case SQL_TIME:
      case SQL_TIMESTAMP: column.reading = Reading::Date; break;
      case SQL_GUID: column.reading = Reading::Guid; break;
      case SQL_BINARY:
      case SQL_VARBINARY:
      case SQL_LONGVARBINARY: column.reading = Reading::Binary; break;
      default: column.reading = Reading::Text; break;
    }
    // A driver may hand Booleans over as characters; the server's type name says what they are.
    column.boolean = SameText(column.typeName, "bool") || SameText(column.typeName, "boolean");
    if (column.boolean) column.reading = Reading::Integer;
  }
  described_ = true;
  originsRead_ = false;
}

void OdbcStatement::EnsureDescribed() const {
  if (described_) return;
  try {
    const_cast<OdbcStatement*>(this)->Describe();
  } catch (...) {
    // A statement the server cannot describe fails when it runs, with the server's words.
  }
}

void OdbcStatement::EnsureOrigins() const {
  EnsureDescribed();
  if (originsRead_) return;
  originsRead_ = true;
  // The driver may look the base table up in the server's catalogue: only for callers that
  // ask (the engine's description of a recordset's fields).
  const OdbcApi& api = Odbc();
  const auto attribute = [&](SQLUSMALLINT number, SQLUSMALLINT field) {
    SQLSMALLINT length = 0;
    std::u16string value(256, u'\0');
    if (!Succeeded(api.colAttribute(handle_, number, field, Wide(value),
                                    static_cast<SQLSMALLINT>(value.size() * sizeof(char16_t)), &length, nullptr))) {
      return std::string();
    }
    const size_t units =
        std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(char16_t), value.size() - 1);
    return ToUtf8(std::u16string_view(value).substr(0, units));
  };
  try {
    for (size_t i = 0; i < columns_.size(); ++i) {
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      Column& column = columns_[i];
      column.baseTable = attribute(number, SQL_DESC_BASE_TABLE_NAME);
      column.baseColumn = attribute(number, SQL_DESC_BASE_COLUMN_NAME);
    }
  } catch (...) {
    // Without its origin a column is described by its type alone.
  }
}

OdbcStatement::Parameter& OdbcStatement::Slot(int index) {
  if (index < 1 || index > static_cast<int>(parameters_.size())) RaiseDaoError(kDaoInvalidArgument);
  Parameter& parameter = parameters_[static_cast<size_t>(index - 1)];
  parameter.data = nullptr;
  parameter.size = 0;
  return parameter;
}

void OdbcStatement::BindNull(int index) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Null;
  parameter.indicator = SQL_NULL_DATA;
}

void OdbcStatement::BindInt64(int index, int64_t value) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Integer;
  parameter.integer = value;
  parameter.indicator = 0;
}

void OdbcStatement::BindDouble(int index, double value) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Float;
  parameter.real = value;
  parameter.indicator = 0;
}

void OdbcStatement::BindText(int index, std::string_view value) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Text;
  parameter.text = ToWide(value);
  parameter.indicator = static_cast<SQLLEN>(parameter.text.size() * sizeof(char16_t));
}

void OdbcStatement::BindTextInPlace(int index, std::string_view value) { BindText(index, value); }

void OdbcStatement::BindBlob(int index, const void* data, size_t size) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Blob;
  const auto* bytes = static_cast<const uint8_t*>(data);
  parameter.bytes.assign(bytes, bytes + size);
  parameter.indicator = static_cast<SQLLEN>(size);
}

void OdbcStatement::BindBlobInPlace(int index, const void* data, size_t size) {
  Parameter& parameter = Slot(index);
  parameter.type = ColumnType::Blob;
  parameter.bytes.clear();
  parameter.data = data;
  parameter.size = size;
  parameter.indicator = static_cast<SQLLEN>(size);
}

int OdbcStatement::ParameterCount() const noexcept { return plan_.parameterCount; }

void OdbcStatement::ClearBindings() noexcept {
  for (Parameter& parameter : parameters_) {
    parameter.type = ColumnType::Null;
    parameter.indicator = SQL_NULL_DATA;
    parameter.data = nullptr;
  }
}

void OdbcStatement::BindMarkers() {
  const OdbcApi& api = Odbc();
  static char nullBuffer = 0;
  for (size_t marker = 0; marker < plan_.parameterOfMarker.size(); ++marker) {
    Parameter& p = parameters_[static_cast<size_t>(plan_.parameterOfMarker[marker] - 1)];
    const auto number = static_cast<SQLUSMALLINT>(marker + 1);
    SQLRETURN rc = SQL_SUCCESS;
    switch (p.type) {
      case ColumnType::Null:
        // Untyped, so that the server takes it for whatever the column or comparison needs.
        rc = api.bindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, &nullBuffer, 0,
                               &p.indicator);
        break;
      case ColumnType::Integer:
        rc = api.bindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &p.integer, 0,
                               &p.indicator);
        break;
      case ColumnType::Float:
        rc = api.bindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.real, 0,
                               &p.indicator);
        break;
      case ColumnType::Text:
        rc = api.bindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                               std::max<SQLULEN>(p.text.size(), 1), 0, p.text.data(),
                               static_cast<SQLLEN>(p.text.size() * sizeof(char16_t)), &p.indicator);
        break;
      case ColumnType::Blob: {
        void* data = p.data != nullptr ? const_cast<void*>(p.data) : static_cast<void*>(p.bytes.data());
        const size_t size = p.data != nullptr ? p.size : p.bytes.size();
        rc = api.bindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                               std::max<SQLULEN>(size, 1), 0, data, static_cast<SQLLEN>(size), &p.indicator);
        break;
      }
    }
    if (!Succeeded(rc)) Fail(rc);
  }
}

bool OdbcStatement::Step() {
  const OdbcApi& api = Odbc();
  if (done_) return false;
  if (!executed_) {
    connection_.ApplyPendingSettings(ownTimeout_);
    BindMarkers();
    const SQLRETURN rc = api.execute(handle_);
    // An UPDATE or DELETE that found no rows answers "no data", which is no failure.
    if (!Succeeded(rc) && rc != SQL_NO_DATA) Fail(rc);
    executed_ = true;
    if (verb_ == StatementVerb::Insert || verb_ == StatementVerb::Update || verb_ == StatementVerb::Delete) {
      SQLLEN rows = 0;
      if (rc == SQL_NO_DATA) {
        connection_.NoteChanges(0);
      } else if (Succeeded(api.rowCount(handle_, &rows))) {
        connection_.NoteChanges(rows < 0 ? 0 : rows);
      }
    }
    SQLSMALLINT count = 0;
    if (!Succeeded(api.numResultCols(handle_, &count)) || count == 0) {
      done_ = true;
      return false;
    }
    if (!described_ || static_cast<size_t>(count) != columns_.size()) Describe();
  }
  const SQLRETURN rc = api.fetch(handle_);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    api.closeCursor(handle_);
    return false;
  }
  if (!Succeeded(rc)) Fail(rc);
  ReadRow();
  return true;
}

void OdbcStatement::Reset() noexcept {
  if (executed_) Odbc().freeStmt(handle_, SQL_CLOSE);
  executed_ = false;
  done_ = false;
  for (Column& column : columns_) column.type = ColumnType::Null;
}

void OdbcStatement::ReadRow() {
  for (size_t i = 0; i < columns_.size(); ++i) ReadColumn(static_cast<int>(i), columns_[i]);
}

bool OdbcStatement::ReadWide(SQLUSMALLINT number, std::string& out) {
  const OdbcApi& api = Odbc();
  out.clear();
  if (wideBuffer_.size() < kFirstTextChunk) wideBuffer_.resize(kFirstTextChunk);
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = api.getData(handle_, number, SQL_C_WCHAR, wideBuffer_.data(),
                                     static_cast<SQLLEN>(wideBuffer_.size() * sizeof(char16_t)), &indicator);
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) Fail(rc);
    if (indicator == SQL_NULL_DATA) {
      out.clear();
      return false;
    }
    const size_t room = wideBuffer_.size() - 1;  // the driver ends each piece with a null
    const bool more = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(char16_t) > room;
    const size_t units = more ? room : static_cast<size_t>(indicator) / sizeof(char16_t);
    AppendUtf8(std::u16string_view(wideBuffer_.data(), units), out);
    if (!more) return true;
    // Take the rest in one piece when the driver says how much there is.
    if (indicator != SQL_NO_TOTAL) wideBuffer_.resize(static_cast<size_t>(indicator) / sizeof(char16_t) - room + 1);
  }
}

void OdbcStatement::ReadColumn(int index, Column& column) {
  const OdbcApi& api = Odbc();
  const auto number = static_cast<SQLUSMALLINT>(index + 1);
  SQLLEN indicator = 0;
  SQLRETURN rc = SQL_SUCCESS;
  switch (column.reading) {
    case Reading::Integer: {
      SQLBIGINT value = 0;
      rc = api.getData(handle_, number, SQL_C_SBIGINT, &value, 0, &indicator);
      if (!Succeeded(rc)) Fail(rc);
      column.integer = value;
      if (column.boolean && value != 0) column.integer = kStorageTrue;
      column.type = ColumnType::Integer;
      break;
    }
    case Reading::Float: {
      double value = 0;
      rc = api.getData(handle_, number, SQL_C_DOUBLE, &value, 0, &indicator);
      if (!Succeeded(rc)) Fail(rc);
      column.real = value;
      column.type = ColumnType::Float;
      break;
    }
    case Reading::Date: {
      DateParts parts;
      if (column.sqlType == SQL_TYPE_TIME || column.sqlType == SQL_TIME) {
        SQL_TIME_STRUCT time{};
        rc = api.getData(handle_, number, SQL_C_TYPE_TIME, &time, sizeof time, &indicator);
        if (!Succeeded(rc)) Fail(rc);
        parts.hour = time.hour;
        parts.minute = time.minute;
        parts.second = time.second;
      } else {
        SQL_TIMESTAMP_STRUCT stamp{};
        rc = api.getData(handle_, number, SQL_C_TYPE_TIMESTAMP, &stamp, sizeof stamp, &indicator);
        if (!Succeeded(rc)) Fail(rc);
        parts = {stamp.year,
                 stamp.month,
                 stamp.day,
                 stamp.hour,
                 stamp.minute,
                 stamp.second,
                 static_cast<int>(stamp.fraction / kNanosecondsPerMillisecond)};
      }
      if (indicator != SQL_NULL_DATA) column.text = FormatStorageDate(parts);
      column.type = ColumnType::Text;
      break;
    }
    case Reading::Binary: {
      column.bytes.clear();
      size_t chunk = kFirstBinaryChunk;
      for (;;) {
        const size_t at = column.bytes.size();
        column.bytes.resize(at + chunk);
        rc = api.getData(handle_, number, SQL_C_BINARY, column.bytes.data() + at, static_cast<SQLLEN>(chunk),
                         &indicator);
        if (rc == SQL_NO_DATA) {
          column.bytes.resize(at);
          break;
        }
        if (!Succeeded(rc)) Fail(rc);
        if (indicator == SQL_NULL_DATA) {
          column.bytes.clear();
          break;
        }
        const bool more = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > chunk;
        if (!more) {
          column.bytes.resize(at + static_cast<size_t>(indicator));
          break;
        }
        if (indicator != SQL_NO_TOTAL) chunk = static_cast<size_t>(indicator) - chunk;
      }
      column.type = ColumnType::Blob;
      break;
    }
    case Reading::Text:
    case Reading::Exact:
    case Reading::Guid: {
      // The first piece tells null from text: one call per value, not a probe before it.
      if (!ReadWide(number, column.text)) {
        indicator = SQL_NULL_DATA;
        break;
      }
      column.type = ColumnType::Text;
      if (column.reading == Reading::Exact) {
        column.real = std::strtod(column.text.c_str(), nullptr);
        column.type = ColumnType::Float;
      } else if (column.reading == Reading::Guid) {
        if (auto braced = NormalizeGuidText(column.text)) column.text = *braced;
      }
      break;
    }
  }
  if (indicator == SQL_NULL_DATA) column.type = ColumnType::Null;
}

int OdbcStatement::ColumnCount() const noexcept {
  EnsureDescribed();
  return static_cast<int>(columns_.size());
}

std::string OdbcStatement::ColumnName(int column) const {
  EnsureDescribed();
  return columns_.at(static_cast<size_t>(column)).name;
}

std::string OdbcStatement::ColumnDeclaredType(int column) const {
  EnsureDescribed();
  return columns_.at(static_cast<size_t>(column)).typeName;
}

std::string OdbcStatement::ColumnTableName(int column) const {
  EnsureOrigins();
  return columns_.at(static_cast<size_t>(column)).baseTable;
}

std::string OdbcStatement::ColumnOriginName(int column) const {
  EnsureOrigins();
  return columns_.at(static_cast<size_t>(column)).baseColumn;
}

SQLSMALLINT OdbcStatement::ColumnSqlType(int column) const noexcept {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<size_t>(column)].sqlType : SQLSMALLINT{0};
}

SQLULEN OdbcStatement::ColumnSize(int column) const noexcept {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<size_t>(column)].size : SQLULEN{0};
}

SQLSMALLINT OdbcStatement::ColumnDigits(int column) const noexcept {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<size_t>(column)].digits : SQLSMALLINT{0};
}

ColumnType OdbcStatement::TypeOf(int column) const noexcept {
  if (column < 0 || column >= ColumnCount()) return ColumnType::Null;
  return columns_[static_cast<size_t>(column)].type;
}

int64_t OdbcStatement::ColumnInt64(int column) const noexcept {
  if (column < 0 || column >= ColumnCount()) return 0;
  const Column& c = columns_[static_cast<size_t>(column)];
  switch (c.type) {
    case ColumnType::Integer: return c.integer;
    case ColumnType::Float: return static_cast<int64_t>(c.real);
    case ColumnType::Text: return std::strtoll(c.text.c_str(), nullptr, 10);
    default: return 0;
  }
}

double OdbcStatement::ColumnDouble(int column) const noexcept {
  if (column < 0 || column >= ColumnCount()) return 0;
  const Column& c = columns_[static_cast<size_t>(column)];
  switch (c.type) {
    case ColumnType::Integer: return static_cast<double>(c.integer);
    case ColumnType::Float: return c.real;
    case ColumnType::Text: return std::strtod(c.text.c_str(), nullptr);
    default: return 0;
  }
}

std::string OdbcStatement::ColumnText(int column) const { return std::string(ColumnTextView(column)); }

std::string_view OdbcStatement::ColumnTextView(int column) const noexcept {
  if (column < 0 || column >= ColumnCount()) return {};
  const Column& c = columns_[static_cast<size_t>(column)];
  switch (c.type) {
    case ColumnType::Text: return c.text;
    case ColumnType::Float:
      if (c.reading == Reading::Exact) return c.text;
      [[fallthrough]];
    case ColumnType::Integer: {
      // Numbers are rendered on request only, into the column's own text buffer, whose
      // capacity (the short-string buffer at least) already holds any number's digits.
      auto& text = const_cast<std::string&>(c.text);
      char digits[32];
      const auto result = c.type == ColumnType::Integer ? std::to_chars(digits, digits + sizeof digits, c.integer)
                                                        : std::to_chars(digits, digits + sizeof digits, c.real);
      try {
        text.assign(digits, result.ptr);
      } catch (...) {
        return {};
      }
      return text;
    }
    case ColumnType::Blob: return {reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size()};
    case ColumnType::Null: return {};
  }
  return {};
}

std::vector<uint8_t> OdbcStatement::ColumnBlob(int column) const {
  if (column < 0 || column >= ColumnCount()) return {};
  const Column& c = columns_[static_cast<size_t>(column)];
  if (c.type == ColumnType::Blob) return c.bytes;
  const std::string_view text = ColumnTextView(column);
  return {text.begin(), text.end()};
}

bool OdbcStatement::IsReadOnly() const noexcept {
  try {
    const std::string word = UpperCaseAscii(FirstWord(sql_));
    if (word == "SELECT" || word == "VALUES" || word == "SHOW" || word == "TABLE" || word == "EXPLAIN") return true;
    if (word == "WITH") {
      return !ContainsWord(sql_, "INSERT") && !ContainsWord(sql_, "UPDATE") && !ContainsWord(sql_, "DELETE");
    }
  } catch (...) {
    // Not knowing, say it writes: callers then treat it with care.
  }
  return false;
}

std::string OdbcStatement::Sql() const { return sql_; }

}  // namespace lumo::jet::odbc
