#include "jet/sqlite/SqliteDialect.h"

#include <string>

#include "jet/sqlite/SqliteTypes.h"

namespace lumo::jet {

std::string SqliteDialect::Limit(std::string_view count) const { return " LIMIT " + std::string(count); }

std::string SqliteDialect::LimitOffset(std::string_view count, std::string_view offset) const {
  return " LIMIT " + std::string(count) + " OFFSET " + std::string(offset);
}

std::string SqliteDialect::FunctionName(std::string_view backEndName) const { return std::string(backEndName); }

std::string SqliteDialect::CounterSeed(std::string_view tableLiteral, int64_t seed) const {
  return "INSERT INTO sqlite_sequence (name, seq) VALUES (" + std::string(tableLiteral) + ", " +
         std::to_string(seed - 1) + ")";
}

std::string SqliteDialect::ColumnType(const JetFieldType& type, bool counterIsRowKey) const {
  return SqliteColumnType(type, counterIsRowKey);
}

std::string SqliteDialect::IndexName(std::string_view table, std::string_view index) const {
  return SqliteIndexName(table, index);
}

namespace storage {

const SqlDialect& DefaultSqlDialect() {
  static const SqliteDialect dialect;
  return dialect;
}

}  // namespace storage

}  // namespace lumo::jet
