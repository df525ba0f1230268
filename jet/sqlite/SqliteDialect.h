#pragma once
// The SQL of SQLite where back-ends differ (storage/SqlDialect.h).

#include "jet/storage/SqlDialect.h"

namespace lumo::jet {

class SqliteDialect final : public storage::SqlDialect {
 public:
  std::string_view RowIdName() const override { return "rowid"; }
  std::string Limit(std::string_view count) const override;
  std::string LimitOffset(std::string_view count, std::string_view offset) const override;
  std::string FunctionName(std::string_view backEndName) const override;
  // sqlite_sequence holds the last value AUTOINCREMENT gave out, so the seed goes in one lower.
  std::string CounterSeed(std::string_view tableLiteral, int64_t seed) const override;
  // A new row's row id is one above the table's largest, and the engine's own tables never
  // choose one.
  std::string_view InsertionOrder() const override { return " ORDER BY rowid"; }
  std::string_view InsertSkippingConflicts() const override { return "INSERT OR IGNORE INTO "; }
  std::string_view UpdateSkippingConflicts() const override { return "UPDATE OR IGNORE "; }
  // jet_text is registered on every connection of the engine (functions/).
  std::string_view JetTextCollation() const override { return " COLLATE jet_text"; }
  // SqliteTypes.h: text declared COLLATE NOCASE, indexes named "<table>.<index>".
  std::string ColumnType(const JetFieldType& type, bool counterIsRowKey) const override;
  std::string IndexName(std::string_view table, std::string_view index) const override;
};

}  // namespace lumo::jet
