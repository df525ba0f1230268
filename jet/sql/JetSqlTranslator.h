#pragma once
// The Jet SQL translator: Jet text in, SQLite text out, with the list of parameters.
//
// Every SQL text, filter, sort and find criterion that reaches the engine is Jet SQL; the
// engine prepares only what comes out of here. The translator is pure (no connection, no
// schema): it cannot know which names are columns, so it treats as parameters exactly the
// names it is told about (those declared by PARAMETERS plus options.knownParameters). The
// engine prepares the text; when SQLite answers "no such column: X" (NoSuchColumnName in
// DaoErrors.h) it adds X to the known names and translates again, which is how Jet treats a
// name it cannot resolve.
//
// Errors raise EOleException through RaiseDaoError with DAO's numbers and texts: 3075 and
// the other syntax errors of the statement's clauses, 3077 for criteria, 3085 for unknown
// functions, 3142 for text after the ";", 3346, 3318, 3360 ... The translator never crashes
// or hangs on any input (it is fuzzed).
//
// The emitted text relies on the functions of JetSqlFunctions.h being registered on the
// connection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetSqlSchema.h"

namespace lumo::jet {

struct TranslatedParameter {
  std::string name;        // as written, brackets removed
  int number = 0;          // the n of ?n in the SQLite text
  int daoType = 0;         // declared DataTypeEnum value, 0 when not declared
  bool declared = false;   // named in a PARAMETERS clause
  bool referenced = true;  // false: declared but never used (its number is not in the text)
};

// A value the pivot expression of a crosstab takes, as the crosstab's first query read it.
struct PivotValue {
  enum class Kind { kNull, kInteger, kReal, kText } kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;
};

namespace storage {
class SqlDialect;
}  // namespace storage

struct TranslateOptions {
  // The SQL of the back-end the text will run on; null: storage::DefaultSqlDialect().
  const storage::SqlDialect* dialect = nullptr;
  std::vector<std::string> knownParameters;  // names to treat as parameters (any case)
  int firstParameterNumber = 1;              // lets a filter's parameters follow a query's
  std::string errorSource = "DAO.Database";  // Source of raised errors
  bool criteriaErrors = true;                // TranslateExpression: 3077 (Find); false: 3075 (Filter)
  JetSqlSchema* schema = nullptr;            // the tables' columns, when the caller knows them
  // TranslateExpression and TranslateOrderBy: the table whose columns the names of the text
  // stand for (looked up in the schema), or the columns themselves (a recordset's fields).
  // A criterion comparing a number column with a text literal answers 3464, as Jet refuses it.
  std::string criteriaTable;
  std::vector<SchemaColumn> criteriaColumns;
  // A crosstab without an IN list: the values its first query (TranslatedStatement::
  // pivotQuery) found, in its order. Without them the crosstab translates to that query alone.
  const std::vector<PivotValue>* pivotValues = nullptr;
};

// The query that finds a crosstab's column headings: the distinct values of the pivot
// expression over the rows the WHERE lets through, in the order of the columns (Null first).
struct PivotQuery {
  std::string sql;
  std::vector<TranslatedParameter> parameters;
};

// The DAO type of a column of a query's result, as far as the statement tells it.
struct ResultColumnType {
  std::string name;    // the column's name in the result (alias, ExprNNNN or the column's own)
  JetFieldType type;   // type 0: not known before the values are read
  bool noCase = true;  // text of a column declared COLLATE NOCASE, or computed (see SchemaColumn)
};

// The pieces of a plain SELECT over one table (no join, union, grouping, aggregate, TOP or
// DISTINCT), from which the engine builds its key-list statements. Texts are SQLite text.
struct SelectParts {
  std::string selectList;
  std::string table;    // the table's name as written
  std::string from;     // quoted name with alias
  std::string where;    // condition, empty when none
  std::string orderBy;  // sort terms, empty when none
};

struct DdlColumn {
  std::string name;
  JetFieldType type;
  bool notNull = false;
  int64_t seed = 1;  // counters
  int64_t increment = 1;
  std::string sqliteType;  // declared type as written to SQLite
};

struct DdlIndexField {
  std::string name;
  bool descending = false;
};

struct DdlIndex {
  std::string name;  // Jet name (stored in SQLite as "<table>.<name>")
  std::vector<DdlIndexField> fields;
  bool primary = false;
  bool unique = false;
  bool required = false;  // DISALLOW NULL / primary key
  bool ignoreNulls = false;
  bool foreign = false;  // a FOREIGN KEY / REFERENCES constraint
  bool noIndex = false;  // FOREIGN KEY NO INDEX: relation only
  std::string referencedTable;
  std::vector<std::string> referencedFields;
  bool rowKey = false;  // carried by the table's INTEGER PRIMARY KEY, no SQLite index
};

struct DdlDefinition {
  enum class Action {
    kCreateTable,
    kAddColumn,
    kAlterColumn,
    kDropColumn,
    kAddConstraint,
    kDropConstraint,
    kCreateIndex,
    kDropIndex,
    kDropTable,
  };
  Action action = Action::kCreateTable;
  std::string table;
  std::vector<DdlColumn> columns;  // created, added or altered
  std::vector<DdlIndex> indexes;   // created
  std::string droppedName;         // dropped column, constraint or index
  // What SQLite can do directly, in order. Empty for ALTER COLUMN, which needs the table to be
  // rebuilt by the engine.
  std::vector<std::string> sqliteStatements;
};

struct TranslatedStatement {
  StatementKind kind = StatementKind::kSelect;
  std::string sql;  // SQLite text (DDL: the statements joined by ";\n")
  std::vector<TranslatedParameter> parameters;
  std::optional<int64_t> top;  // TOP n of the (first) SELECT
  bool topPercent = false;
  bool distinct = false;
  bool distinctRow = false;
  bool aggregated = false;          // GROUP BY, HAVING or an aggregate function
  std::vector<std::string> tables;  // base tables read by the top-level FROM, in order
  std::string targetTable;          // INSERT, UPDATE, DELETE, SELECT ... INTO
  std::string selectSql;            // SELECT ... INTO: the query alone
  std::optional<SelectParts> parts;
  // The items of the outermost query's (first) select list that are not "*" or "t.*", in order.
  std::vector<ResultColumnType> columnTypes;
  std::optional<DdlDefinition> ddl;
  // A crosstab whose headings are not known yet: sql is empty; run this, then translate again
  // with TranslateOptions::pivotValues. A crosstab with headings is a grouped SELECT with
  // one column per heading after the row headings.
  std::optional<PivotQuery> pivotQuery;
};

struct TranslatedExpression {
  std::string sql;
  std::vector<TranslatedParameter> parameters;
};

TranslatedStatement TranslateStatement(std::string_view jetSql, const TranslateOptions& options = {});
TranslatedStatement TranslateStatement(std::string_view jetSql, const std::vector<std::string>& knownParameters);

// A Filter or Find criterion: a WHERE text without WHERE, as an SQLite condition.
TranslatedExpression TranslateExpression(std::string_view criteria, const TranslateOptions& options = {});

// A Sort text: an ORDER BY text without ORDER BY, as SQLite sort terms.
TranslatedExpression TranslateOrderBy(std::string_view sortText, const TranslateOptions& options = {});

// Whether a text begins as a Jet SQL statement does (SELECT, TRANSFORM, PARAMETERS, an action
// or DDL keyword, or a parenthesised query); OpenRecordset takes any other text for the name
// of a table or query.
bool BeginsAsStatement(std::string_view text);

// DAO's QueryDefTypeEnum value for a statement kind (dbQSelect 0, dbQCrosstab 16, dbQDelete 32,
// dbQUpdate 48, dbQAppend 64, dbQMakeTable 80, dbQDDL 96, dbQSetOperation 128).
int QueryDefType(StatementKind kind);

}  // namespace lumo::jet
