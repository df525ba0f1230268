#pragma once
// The SQL a back-end speaks where back-ends differ. The translator's syntax tree and most of
// what it emits is common SQL (SELECT, joins, CASE, quoted names, numbered parameters); the
// few forms that are not go through the dialect of the connection the text will run on, so
// that one translator serves every back-end.
//
// Contract: a dialect is stateless and outlives every translation that uses it; its texts
// are complete fragments (a leading blank where they follow other text, as Limit's does).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"

namespace lumo::jet::storage {

// An operand of one of the engine's functions: its SQL text and what the translator knows of
// its type (daoType 0: not known before the values are; storedBoolean: a Yes/No column, which
// a back-end may keep in a truth type of its own rather than as -1/0).
struct SqlOperand {
  std::string text;
  int daoType = 0;
  bool storedBoolean = false;
};

class SqlDialect {
 public:
  virtual ~SqlDialect() = default;

  // The name of the integer key every row of an ordinary table carries, as a query may use
  // it after a table's name ("t".<name>); empty when the back-end has none, in which case the
  // translator groups and deletes by the tables' primary keys.
  virtual std::string_view RowIdName() const = 0;

  // " LIMIT <count>" or the back-end's form of it: the clause after ORDER BY that lets only
  // the first `count` rows through; `count` is an SQL expression, and a count below zero
  // (the engines bind -1 for "every row") lets every row through.
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

  // Expressions. The translator writes Jet's operators and functions whose meaning SQL does not
  // share as calls of the engine's functions (jet_concat, jet_left, jet_like, ...; min and max
  // of two values); the back-end writes each call in its own SQL, or answers nullopt when it
  // has no form for it, which the translator reports as the Jet function being undefined.
  // The forms given here are those of a back-end that registers every engine function on its
  // connections and keeps truth values as the numbers -1 and 0 (the file back-end's).
  virtual std::optional<std::string> EngineCall(std::string_view name, const std::vector<SqlOperand>& operands) const {
    std::string text = FunctionName(name);
    text += '(';
    for (size_t i = 0; i < operands.size(); ++i) {
      if (i > 0) text += ", ";
      text += operands[i].text;
    }
    return text + ')';
  }
  // A condition used as a value: -1 for true, 0 for false, Null for unknown, as Jet's truth
  // values are; an operand of a unary minus' precedence.
  virtual std::string TruthValue(std::string_view condition) const { return "-(" + std::string(condition) + ")"; }
  // A value used as a condition: any number but 0 is true.
  virtual std::string ValueAsCondition(const SqlOperand& operand) const { return operand.text; }
  // A Yes/No column as Jet's -1/0 (whatever number another tool stored for True), and the
  // condition that it holds True (isTrue) or False.
  virtual std::string TruthOfColumn(std::string_view column) const { return "-(" + std::string(column) + " <> 0)"; }
  virtual std::string ColumnIsTrue(std::string_view column, bool isTrue) const {
    return std::string(column) + (isTrue ? " <> 0" : " = 0");
  }
  // A value as written into a column of `type` (INSERT, UPDATE).
  virtual std::string StoredValue(std::string_view value, const JetFieldType& type) const {
    (void)type;
    return std::string(value);
  }
  // A text value in the form that compares by Jet's rule, every letter without regard to case.
  // When JetTextOnBothSides() both sides of a comparison take this form; otherwise one side
  // carries the rule for both (a collation), as here.
  virtual std::string JetTextKey(std::string_view value) const { return std::string(value).append(JetTextCollation()); }
  virtual bool JetTextOnBothSides() const { return false; }
  // Whether quoted names must be spelt as the catalogue has them: the back-end's names keep
  // their case when quoted, and Jet finds names without regard to case.
  virtual bool NamesAsStored() const { return false; }
  // A statement parameter ("?<number>") where a value of `daoType` (0: undeclared) is wanted.
  virtual std::string ParameterMarker(int number, int daoType) const {
    (void)daoType;
    return "?" + std::to_string(number);
  }
  // What follows a sort term so that Null sorts before every value, as in Jet (empty where the
  // back-end sorts so by itself).
  virtual std::string_view NullsFirst(bool descending) const {
    (void)descending;
    return {};
  }
  // What follows a query in FROM ("FROM (SELECT ...)<name>"): " AS <name>" where the
  // back-end needs one, empty where it does not.
  virtual std::string DerivedTableName(std::string_view name) const {
    (void)name;
    return {};
  }

 protected:
  SqlDialect() = default;
};

// The dialect of the engine's file back-end, for translations made without a connection (the
// translator's own callers: tests, the shell's --translate, the fuzzer).
const SqlDialect& DefaultSqlDialect();

}  // namespace lumo::jet::storage
