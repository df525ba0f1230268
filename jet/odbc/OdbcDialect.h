#pragma once
// The SQL of the servers the ODBC back-end works with where back-ends differ
// (storage/SqlDialect.h). PostgreSQL's today, the server the back-end is built and tested on.

#include "jet/JetTypes.h"
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
  // Server rows have no order of insertion; the engine's own tables on a server are listed
  // in the server's order until they carry a column that numbers their rows.
  std::string_view InsertionOrder() const override { return {}; }
  // The server has no statement head that passes over rows breaking a NOT NULL column:
  // such statements run in their plain form and fail whole, leaving nothing half-written.
  std::string_view InsertSkippingConflicts() const override { return "INSERT INTO "; }
  std::string_view UpdateSkippingConflicts() const override { return "UPDATE "; }
  // Text compares without regard to case through lower() on both sides (JetTextKey), which
  // needs nothing made on the server first; no collation suffix decides it.
  std::string_view JetTextCollation() const override { return {}; }
  // boolean, smallint, integer (serial for a counter), bigint, numeric(19,4) for Currency,
  // real, double precision, timestamp(3), varchar(n), text, bytea, uuid, numeric(p,s): the
  // types the catalogue reader reads back as the same DAO types (Byte comes back as Integer).
  std::string ColumnType(const JetFieldType& type, bool counterIsRowKey) const override;
  // Index names are the schema's, not the table's, as in the engine's files: "<table>.<index>".
  std::string IndexName(std::string_view table, std::string_view index) const override;
  // OdbcFunctions.h: Jet's functions written in the server's own SQL.
  std::optional<std::string> EngineCall(std::string_view name,
                                        const std::vector<storage::SqlOperand>& operands) const override;
  // The server's conditions are of its boolean type, which converts to 1 for true.
  std::string TruthValue(std::string_view condition) const override;
  std::string ValueAsCondition(const storage::SqlOperand& operand) const override;
  // A Yes/No column is a boolean column on the server.
  std::string TruthOfColumn(std::string_view column) const override;
  std::string ColumnIsTrue(std::string_view column, bool isTrue) const override;
  std::string StoredValue(std::string_view value, const JetFieldType& type) const override;
  // lower() of the text, by the database's own locale (every letter of a UTF-8 locale; ASCII
  // letters only in the C locale).
  std::string JetTextKey(std::string_view value) const override;
  bool JetTextOnBothSides() const override { return true; }
  bool NamesAsStored() const override { return true; }
  // Text parameters travel as the server's varchar: a declared date or number parameter is read
  // as the server's type of it, whatever form the value was bound in.
  std::string ParameterMarker(int number, int daoType) const override;
  // The server puts Null last in ascending order.
  std::string_view NullsFirst(bool descending) const override { return descending ? " NULLS LAST" : " NULLS FIRST"; }
  // Every query in FROM needs a name of its own.
  std::string DerivedTableName(std::string_view name) const override;
};

const storage::SqlDialect& PostgresDialect();

// The name a table or column of Jet's gets on the server: ASCII letters in lower case, as the
// server folds names written without quotes, so that its own clients (psql) name the tables
// and columns the engine made as they name everything else, without quotes.
std::string FoldedName(std::string_view jetName);

// "<table>.<index>" and back; the Jet name of a stored name without the table's prefix
// (compared without regard to case) is the stored name itself (an index another tool made).
std::string StoredIndexName(std::string_view table, std::string_view index);
std::string JetIndexNameOf(std::string_view storedName, std::string_view table);

}  // namespace lumo::jet::odbc
