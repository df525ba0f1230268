#pragma once
// The SQL a back-end speaks where back-ends differ. The translator's syntax tree and most of
// what it emits is common SQL (SELECT, joins, CASE, quoted names, numbered parameters); the
// few forms that are not go through the dialect of the connection the text will run on, so
// that one translator serves every back-end.
//
// Contract: a dialect is stateless and outlives every translation that uses it; its texts
// are complete fragments (a leading blank where they follow other text, as Limit's does).

#include <cstdint>
#include <string>
#include <string_view>

#include "jet/JetTypes.h"

namespace lumo::jet::storage {

class SqlDialect {
 public:
  virtual ~SqlDialect() = default;

  // The name of the integer key every row of an ordinary table carries, as a query may use
  // it after a table's name ("t".<name>); empty when the back-end has none, in which case the
  // translator groups and deletes by the tables' primary keys.
  virtual std::string_view RowIdName() const = 0;

  // " LIMIT <count>" or the back-end's form of it: the clause after ORDER BY that lets only
  // the first `count` rows through; `count` is an SQL expression.
  virtual std::string Limit(std::string_view count) const = 0;
  // The same with rows skipped first.
  virtual std::string LimitOffset(std::string_view count, std::string_view offset) const = 0;

  // The name the back-end's function of a catalogue entry carries (the engine's own
  // functions are registered under their jet_... names on every back-end).
  virtual std::string FunctionName(std::string_view backEndName) const = 0;

  // The statement that makes a table's next counter value `seed` (CREATE TABLE with
  // COUNTER(seed, ...)); `tableLiteral` is the table's name as an SQL string literal.
  virtual std::string CounterSeed(std::string_view tableLiteral, int64_t seed) const = 0;

  // " ORDER BY ...": the clause that lists a table's rows in the order they were added, for
  // the engine's own tables (MSys...), whose rows keep the order in which they were written.
  virtual std::string_view InsertionOrder() const = 0;

  // The heads of INSERT and UPDATE statements that pass over the rows that would break a
  // unique index or a NOT NULL column instead of failing the statement ("INSERT INTO "
  // and "UPDATE " being the plain forms they replace).
  virtual std::string_view InsertSkippingConflicts() const = 0;
  virtual std::string_view UpdateSkippingConflicts() const = 0;

  // The suffix (" COLLATE ...") that makes a text value compare by Jet's rule, every letter
  // without regard to case, where the column's own collation would decide otherwise.
  virtual std::string_view JetTextCollation() const = 0;

  // The declared type of a column that holds a field of `type` (a counter that is the table's
  // row key when counterIsRowKey), as CREATE TABLE and ALTER TABLE write it.
  virtual std::string ColumnType(const JetFieldType& type, bool counterIsRowKey) const = 0;
  // The stored name of a table's index: Jet's index names belong to their table.
  virtual std::string IndexName(std::string_view table, std::string_view index) const = 0;

 protected:
  SqlDialect() = default;
};

// The dialect of the engine's file back-end, for translations made without a connection (the
// translator's own callers: tests, the shell's --translate, the fuzzer).
const SqlDialect& DefaultSqlDialect();

}  // namespace lumo::jet::storage
