#pragma once
// The SQL of the servers the ODBC back-end works with where back-ends differ
// (storage/SqlDialect.h). PostgreSQL's today, the server the back-end is built and tested on.

#include "jet/storage/SqlDialect.h"

namespace lumo::jet::odbc {

class PostgresSqlDialect final : public storage::SqlDialect {
 public:
  // Server rows have no integer key a query could name.
  std::string_view RowIdName() const override { return {}; }
  std::string Limit(std::string_view count) const override;
  std::string LimitOffset(std::string_view count, std::string_view offset) const override;
  std::string FunctionName(std::string_view backEndName) const override;
  // A counter is a column whose default takes the next value of its sequence: the seed is
  // that sequence's next value.
  std::string CounterSeed(std::string_view tableLiteral, int64_t seed) const override;
};

const storage::SqlDialect& PostgresDialect();

}  // namespace lumo::jet::odbc
