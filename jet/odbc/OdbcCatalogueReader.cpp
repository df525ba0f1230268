#include "jet/odbc/OdbcCatalogueReader.h"

#include <sqlext.h>

#include <algorithm>
#include <optional>

#include "jet/DaoConstants.h"
#include "jet/odbc/OdbcApi.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcDialect.h"
#include "jet/odbc/OdbcErrors.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

// Jet's Currency as a server column: exact, four decimals, the digits of a 64-bit amount.
constexpr int kCurrencyPrecision = 19;
constexpr int kCurrencyScale = 4;

using Row = std::vector<std::optional<std::string>>;

// The rows of one catalogue call, every column read as text.
class CatalogueCall {
 public:
  explicit CatalogueCall(OdbcConnection& connection) : dbc_(connection.Handle()) {
    if (!Succeeded(Odbc().allocHandle(SQL_HANDLE_STMT, dbc_, &handle_))) {
      handle_ = SQL_NULL_HSTMT;
      RaiseOdbcFailure(SQL_HANDLE_DBC, dbc_, StatementVerb::Other, {});
    }
  }
  ~CatalogueCall() { Odbc().freeHandle(SQL_HANDLE_STMT, handle_); }
  CatalogueCall(const CatalogueCall&) = delete;
  CatalogueCall& operator=(const CatalogueCall&) = delete;

  SQLHSTMT Handle() const { return handle_; }

  std::vector<Row> Rows(SQLRETURN called) {
    const OdbcApi& api = Odbc();
    if (!Succeeded(called)) RaiseOdbcFailure(SQL_HANDLE_STMT, handle_, StatementVerb::Other, {});
    SQLSMALLINT count = 0;
    api.numResultCols(handle_, &count);
    std::vector<Row> rows;
    std::u16string buffer(1024, u'\0');
    for (;;) {
      SQLRETURN rc = api.fetch(handle_);
      if (rc == SQL_NO_DATA) break;
      if (!Succeeded(rc)) RaiseOdbcFailure(SQL_HANDLE_STMT, handle_, StatementVerb::Other, {});
      Row row;
      for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        SQLLEN indicator = 0;
        rc = api.getData(handle_, column, SQL_C_WCHAR, buffer.data(), static_cast<SQLLEN>(buffer.size() * 2),
                         &indicator);
        if (!Succeeded(rc) || indicator == SQL_NULL_DATA) {
          row.emplace_back();
          continue;
        }
        row.emplace_back(ToUtf8(std::u16string_view(buffer.data())));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

 private:
  SQLHDBC dbc_;
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// A catalogue call's pattern argument that matches the name alone: "_" and "%" are wildcards
// there, escaped with the driver's escape character.
std::u16string Pattern(std::string_view name) {
  std::string escaped;
  for (char c : name) {
    if (c == '_' || c == '%' || c == '\\') escaped.push_back('\\');
    escaped.push_back(c);
  }
  return ToWide(escaped);
}

std::string Text(const Row& row, size_t column) {
  return column < row.size() && row[column] ? *row[column] : std::string();
}

int Number(const Row& row, size_t column) {
  return static_cast<int>(std::strtol(Text(row, column).c_str(), nullptr, 10));
}

SQLSMALLINT Length(const std::u16string& text) { return static_cast<SQLSMALLINT>(text.size()); }

}  // namespace

JetFieldType DaoTypeOfColumn(SQLSMALLINT sqlType, std::string_view typeName, int size, int digits, bool counter) {
  const auto of = [](int daoType) { return DefaultFieldType(daoType); };
  if (SameText(typeName, "bool") || SameText(typeName, "boolean")) return of(dbBoolean);
  if (SameText(typeName, "money")) return of(dbCurrency);
  if (SameText(typeName, "uuid")) return of(dbGUID);
  JetFieldType type;
  switch (sqlType) {
    case SQL_BIT: return of(dbBoolean);
    case SQL_TINYINT: return of(dbByte);
    case SQL_SMALLINT: return of(dbInteger);
    case SQL_INTEGER:
      type = of(dbLong);
      if (counter) type.attributes |= dbAutoIncrField;
      return type;
    case SQL_BIGINT:
      type = of(dbBigInt);
      if (counter) type.attributes |= dbAutoIncrField;
      return type;
    case SQL_REAL: return of(dbSingle);
    case SQL_FLOAT:
    case SQL_DOUBLE: return of(dbDouble);
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      if (size == kCurrencyPrecision && digits == kCurrencyScale) return of(dbCurrency);
      type = of(dbDecimal);
      type.precision = size;
      type.scale = digits;
      return type;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP: return of(dbDate);
    case SQL_GUID: return of(dbGUID);
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      if (size < 1 || size > kMaxTextSize) return of(dbMemo);
      type = of(dbText);
      type.size = size;
      return type;
    case SQL_BINARY:
    case SQL_VARBINARY:
      if (size < 1 || size > kMaxTextSize) return of(dbLongBinary);
      type = of(dbBinary);
      type.size = size;
      return type;
    case SQL_LONGVARBINARY: return of(dbLongBinary);
    default: return of(dbMemo);
  }
}

std::string JetDefaultOf(std::string_view serverDefault) {
  std::string text = Trim(serverDefault);
  if (text.empty()) return {};
  // A string, perhaps with the server's cast after it: 'abc'::character varying.
  if (text.front() == '\'') {
    std::string value;
    size_t i = 1;
    for (; i < text.size(); ++i) {
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          value.push_back('\'');
          ++i;
          continue;
        }
        break;
      }
      value.push_back(text[i]);
    }
    if (i >= text.size()) return {};
    const std::string rest = text.substr(i + 1);
    if (!rest.empty() && !StartsText("::", rest)) return {};
    // A date typed as text by the server is no Jet text default; anything else is.
    if (StartsText("::timestamp", rest) || StartsText("::date", rest)) return "#" + value + "#";
    return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
  }
  // A number, perhaps in parentheses and with a cast: (-1)::integer, 0, 2.5.
  std::string number = text.substr(0, text.find("::"));
  if (number.size() >= 2 && number.front() == '(' && number.back() == ')') number = number.substr(1, number.size() - 2);
  const bool numeric = !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
  });
  if (numeric) return number;
  const std::string upper = UpperCaseAscii(text);
  if (upper == "NOW()" || upper == "CURRENT_TIMESTAMP" || upper == "LOCALTIMESTAMP" || StartsText("NOW()::", upper)) {
    return "Now()";
  }
  if (upper == "CURRENT_DATE") return "Date()";
  if (upper == "TRUE") return "True";
  if (upper == "FALSE") return "False";
  return {};
}

const std::string& OdbcCatalogueReader::Schema() {
  if (schema_.empty()) {
    auto statement = connection_.Prepare("SELECT current_schema()");
    if (statement->Step()) schema_ = statement->ColumnText(0);
  }
  return schema_;
}

int64_t OdbcCatalogueReader::SchemaVersion() {
  // Asked before nearly every look-up in the catalogue: prepared once per session, so that each
  // question is one exchange with the server instead of a parse, a run and a release.
  if (schemaVersion_) {
    schemaVersion_->Reset();
  } else {
    schemaVersion_ = connection_.Prepare(
      "SELECT count(*) + (SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
      "WHERE c.relnamespace = current_schema()::regnamespace), "
      "sum(c.xmin::text::bigint) + "
      "coalesce((SELECT sum(a.xmin::text::bigint) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
      "WHERE c.relnamespace = current_schema()::regnamespace), 0) + "
      "coalesce((SELECT sum(k.xmin::text::bigint) FROM pg_constraint k "
      "WHERE k.connamespace = current_schema()::regnamespace), 0) "
      "FROM pg_class c WHERE c.relnamespace = current_schema()::regnamespace");
  }
  storage::Statement& statement = *schemaVersion_;
  if (!statement.Step()) return 0;
  // Both parts move with a change; folding them keeps the number one value.
  const int64_t version = statement.ColumnInt64(0) * 1000003 + statement.ColumnInt64(1);
  statement.Reset();
  return version;
}

int64_t OdbcCatalogueReader::OthersChangeCounter() {
  // Others' commits matter to the catalogue for the engine's own rows of a database (its MSys
  // tables), which a server's database never holds: everything the catalogue keeps of it is
  // schema, which SchemaVersion follows. A moving number here would only make every commit,
  // this session's own included, throw away the tables read so far and read them again.
  return 0;
}

std::vector<std::string> OdbcCatalogueReader::TableNames() {
  CatalogueCall call(connection_);
  std::u16string schema = Pattern(Schema());
  std::u16string all = u"%";
  std::u16string type = u"TABLE";
  std::u16string empty;
  const SQLRETURN rc = Odbc().tables(call.Handle(), Wide(empty), 0, Wide(schema), Length(schema), Wide(all),
                                     Length(all), Wide(type), Length(type));
  std::vector<std::string> names;
  for (const Row& row : call.Rows(rc)) names.push_back(Text(row, 2));
  return names;
}

std::string OdbcCatalogueReader::ServerName(std::string_view name) {
  const std::vector<std::string> names = TableNames();
  // The exact spelling first: the server may hold "Logon" and "logon" side by side.
  for (const std::string& candidate : names) {
    if (candidate == name) return candidate;
  }
  for (const std::string& candidate : names) {
    if (SameText(candidate, name)) return candidate;
  }
  return {};
}

bool OdbcCatalogueReader::ReadTable(std::string_view name, TableInfo& table) {
  const std::string serverName = ServerName(name);
  if (serverName.empty()) return false;
  const OdbcApi& api = Odbc();
  std::u16string schema = Pattern(Schema());
  std::u16string tableName = Pattern(serverName);
  std::u16string all = u"%";
  std::u16string plainSchema = ToWide(Schema());
  std::u16string plainTable = ToWide(serverName);
  std::u16string empty;

  table = TableInfo{};
  table.name = serverName;
  table.withoutRowId = true;

  std::vector<Row> columns;
  {
    CatalogueCall call(connection_);
    columns = call.Rows(api.columns(call.Handle(), Wide(empty), 0, Wide(schema), Length(schema), Wide(tableName),
                                    Length(tableName), Wide(all), Length(all)));
  }
  for (const Row& row : columns) {
    ColumnInfo column;
    column.name = Text(row, 3);
    const std::string serverDefault = Text(row, 12);
    const std::string typeName = Text(row, 5);
    const bool counter =
        StartsText("nextval(", serverDefault) || StartsText("serial", typeName) || StartsText("bigserial", typeName);
    column.type =
        DaoTypeOfColumn(static_cast<SQLSMALLINT>(Number(row, 4)), typeName, Number(row, 6), Number(row, 8), counter);
    column.ordinal = Number(row, 16) - 1;
    column.required = Number(row, 10) == SQL_NO_NULLS;
    column.allowZeroLength = column.type.type == dbText || column.type.type == dbMemo;
    if (!counter) column.defaultValue = JetDefaultOf(serverDefault);
    column.sqliteDefault = serverDefault;
    // The server compares text as it is stored, letter case included.
    column.noCase = false;
    table.columns.push_back(std::move(column));
  }
  std::sort(table.columns.begin(), table.columns.end(),
            [](const ColumnInfo& a, const ColumnInfo& b) { return a.ordinal < b.ordinal; });

  std::string primaryName;
  std::vector<std::pair<int, std::string>> primaryColumns;
  {
    CatalogueCall call(connection_);
    for (const Row& row : call.Rows(api.primaryKeys(call.Handle(), Wide(empty), 0, Wide(plainSchema),
                                                    Length(plainSchema), Wide(plainTable), Length(plainTable)))) {
      primaryColumns.emplace_back(Number(row, 4), Text(row, 3));
      primaryName = Text(row, 5);
    }
  }
  std::sort(primaryColumns.begin(), primaryColumns.end());

  CatalogueCall call(connection_);
  const std::vector<Row> statistics =
      call.Rows(api.statistics(call.Handle(), Wide(empty), 0, Wide(plainSchema), Length(plainSchema), Wide(plainTable),
                               Length(plainTable), SQL_INDEX_ALL, SQL_QUICK));
  for (const Row& row : statistics) {
    if (Number(row, 6) == SQL_TABLE_STAT) continue;
    const std::string indexName = Text(row, 5);
    auto found = std::find_if(table.indexes.begin(), table.indexes.end(),
                              [&](const IndexInfo& index) { return index.sqliteName == indexName; });
    if (found == table.indexes.end()) {
      IndexInfo index;
      index.name = JetIndexNameOf(indexName, table.name);
      index.sqliteName = indexName;
      index.unique = Number(row, 3) == SQL_FALSE;
      index.primary = !primaryName.empty() && indexName == primaryName;
      index.required = index.primary;
      table.indexes.push_back(std::move(index));
      found = table.indexes.end() - 1;
    }
    found->fields.push_back({Text(row, 8), Text(row, 9) == "D"});
  }
  // A primary key the driver lists without its index still names the rows.
  if (!primaryColumns.empty() && table.PrimaryIndex() == nullptr) {
    IndexInfo index;
    index.name = primaryName.empty() ? "PrimaryKey" : primaryName;
    index.sqliteName = index.name;
    index.primary = index.unique = index.required = true;
    for (const auto& [sequence, column] : primaryColumns) index.fields.push_back({column, false});
    table.indexes.push_back(std::move(index));
  }
  return true;
}

std::vector<RelationInfo> OdbcCatalogueReader::DeclaredRelations(std::string_view tableName) {
  const std::string serverName = ServerName(tableName);
  if (serverName.empty()) return {};
  std::u16string schema = ToWide(Schema());
  std::u16string table = ToWide(serverName);
  CatalogueCall call(connection_);
  const std::vector<Row> rows =
      // No primary table named (null, not ""): every key the table declares, whatever it refers to.
      call.Rows(Odbc().foreignKeys(call.Handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, Wide(schema),
                                   Length(schema), Wide(table), Length(table)));
  std::vector<RelationInfo> relations;
  for (const Row& row : rows) {
    const std::string name = Text(row, 11);
    auto found = std::find_if(relations.begin(), relations.end(),
                              [&](const RelationInfo& relation) { return relation.name == name; });
    if (found == relations.end()) {
      RelationInfo relation;
      relation.name = name;
      relation.table = Text(row, 2);
      relation.foreignTable = Text(row, 6);
      relation.declared = true;
      if (Number(row, 9) == SQL_CASCADE) relation.attributes |= dbRelationUpdateCascade;
      if (Number(row, 10) == SQL_CASCADE) relation.attributes |= dbRelationDeleteCascade;
      relations.push_back(std::move(relation));
      found = relations.end() - 1;
    }
    found->fields.push_back(Text(row, 3));
    found->foreignFields.push_back(Text(row, 7));
  }
  return relations;
}

std::string OdbcCatalogueReader::ColumnCollation(std::string_view tableName, std::string_view column) {
  TableInfo table;
  if (!ReadTable(tableName, table) || table.FindColumn(column) == nullptr) return {};
  // The server compares as stored, under the database's collation; no column asks for more.
  return "BINARY";
}

}  // namespace lumo::jet::odbc
