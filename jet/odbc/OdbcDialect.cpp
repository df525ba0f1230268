#include "jet/odbc/OdbcDialect.h"

#include <string>

#include "jet/odbc/OdbcFunctions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

// The server refuses a negative LIMIT; NULL is its "no limit".
std::string LimitCount(std::string_view count) { return "NULLIF(GREATEST(" + std::string(count) + ", -1), -1)"; }

}  // namespace

std::string PostgresSqlDialect::Limit(std::string_view count) const { return " LIMIT " + LimitCount(count); }

std::string PostgresSqlDialect::LimitOffset(std::string_view count, std::string_view offset) const {
  return " LIMIT " + LimitCount(count) + " OFFSET " + std::string(offset);
}

std::string PostgresSqlDialect::FunctionName(std::string_view backEndName) const { return std::string(backEndName); }

std::string PostgresSqlDialect::CounterSeed(std::string_view tableLiteral, int64_t seed) const {
  // The name as it stands (quote_ident keeps its case), not folded to lower case.
  const std::string table = "quote_ident(" + std::string(tableLiteral) + ")";
  // setval(..., false): the next value handed out is the seed itself.
  return "SELECT setval(pg_get_serial_sequence(" + table + ", a.attname), " + std::to_string(seed) +
         ", false) FROM pg_attribute a WHERE a.attrelid = " + table +
         "::regclass AND a.attnum > 0 AND NOT a.attisdropped AND pg_get_serial_sequence(" + table +
         ", a.attname) IS NOT NULL";
}

std::string PostgresSqlDialect::ColumnType(const JetFieldType& type, bool counterIsRowKey) const {
  (void)counterIsRowKey;  // a sequence numbers the column whether or not it is the key
  const bool counter = (type.attributes & dbAutoIncrField) != 0;
  switch (type.type) {
    case dbBoolean: return "boolean";
    case dbByte:
    case dbInteger: return "smallint";
    case dbLong: return counter ? "serial" : "integer";
    case dbBigInt: return counter ? "bigserial" : "bigint";
    case dbCurrency: return "numeric(19,4)";
    case dbSingle: return "real";
    case dbDouble:
    case dbFloat: return "double precision";
    case dbDate:
    case dbTime:
    case dbTimeStamp: return "timestamp(3)";
    case dbText:
    case dbChar: return "varchar(" + std::to_string(type.size > 0 ? type.size : kMaxTextSize) + ")";
    case dbBinary:
    case dbVarBinary:
    case dbLongBinary: return "bytea";
    case dbGUID: return "uuid";
    case dbDecimal:
    case dbNumeric:
      return "numeric(" + std::to_string(type.precision > 0 ? type.precision : 18) + "," + std::to_string(type.scale) +
             ")";
    default: return "text";
  }
}

std::string PostgresSqlDialect::IndexName(std::string_view table, std::string_view index) const {
  return StoredIndexName(table, index);
}

std::optional<std::string> PostgresSqlDialect::EngineCall(std::string_view name,
                                                          const std::vector<storage::SqlOperand>& operands) const {
  return PostgresEngineCall(name, operands);
}

std::string PostgresSqlDialect::TruthValue(std::string_view condition) const {
  return "(-CAST((" + std::string(condition) + ") AS integer))";
}

std::string PostgresSqlDialect::ValueAsCondition(const storage::SqlOperand& operand) const {
  if (operand.storedBoolean) return operand.text;
  // A value of unknown type (a parameter, a column the statement does not know) may be a
  // truth value or a number: both convert to integer.
  if (operand.daoType == 0) return "(CAST(" + operand.text + " AS integer) <> 0)";
  return "((" + operand.text + ") <> 0)";
}

std::string PostgresSqlDialect::TruthOfColumn(std::string_view column) const {
  return "(-CAST(" + std::string(column) + " AS integer))";
}

std::string PostgresSqlDialect::ColumnIsTrue(std::string_view column, bool isTrue) const {
  return isTrue ? std::string(column) : "(NOT " + std::string(column) + ")";
}

std::string PostgresSqlDialect::StoredValue(std::string_view value, const JetFieldType& type) const {
  // Jet's truth values are numbers; a boolean column takes any number but 0 as True.
  if (type.type == dbBoolean) return "(CAST(" + std::string(value) + " AS integer) <> 0)";
  return std::string(value);
}

std::string PostgresSqlDialect::JetTextKey(std::string_view value) const {
  return "lower(CAST(" + std::string(value) + " AS text))";
}

std::string PostgresSqlDialect::ParameterMarker(int number, int daoType) const {
  const std::string marker = "?" + std::to_string(number);
  switch (daoType) {
    case dbDate:
    case dbTime:
    case dbTimeStamp: return "CAST(" + marker + " AS timestamp)";
    // A number the caller gave as text ("2") compares as the declared number.
    case dbByte:
    case dbInteger: return "CAST(" + marker + " AS smallint)";
    case dbLong: return "CAST(" + marker + " AS integer)";
    case dbBigInt: return "CAST(" + marker + " AS bigint)";
    case dbSingle:
    case dbDouble:
    case dbFloat: return "CAST(" + marker + " AS double precision)";
    case dbCurrency:
    case dbDecimal:
    case dbNumeric: return "CAST(" + marker + " AS numeric)";
    default: return marker;
  }
}

std::string PostgresSqlDialect::DerivedTableName(std::string_view name) const {
  std::string quoted = " AS \"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string FoldedName(std::string_view jetName) {
  std::string name(jetName);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

std::string StoredIndexName(std::string_view table, std::string_view index) {
  return std::string(table) + "." + std::string(index);
}

std::string JetIndexNameOf(std::string_view storedName, std::string_view table) {
  if (storedName.size() > table.size() + 1 && storedName[table.size()] == '.' &&
      SameText(storedName.substr(0, table.size()), table)) {
    return std::string(storedName.substr(table.size() + 1));
  }
  return std::string(storedName);
}

const storage::SqlDialect& PostgresDialect() {
  static const PostgresSqlDialect dialect;
  return dialect;
}

}  // namespace lumo::jet::odbc
