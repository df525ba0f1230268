#include "jet/odbc/OdbcDialect.h"

#include <string>

namespace lumo::jet::odbc {

std::string PostgresSqlDialect::Limit(std::string_view count) const { return " LIMIT " + std::string(count); }

std::string PostgresSqlDialect::LimitOffset(std::string_view count, std::string_view offset) const {
  return " LIMIT " + std::string(count) + " OFFSET " + std::string(offset);
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

const storage::SqlDialect& PostgresDialect() {
  static const PostgresSqlDialect dialect;
  return dialect;
}

}  // namespace lumo::jet::odbc
