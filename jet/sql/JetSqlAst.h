#pragma once
// The syntax tree of a Jet SQL statement or expression, as JetSqlParser builds it and
// JetSqlEmitter turns it into SQLite text. Nodes own their children; every expression node
// remembers the byte range of its source text for error messages.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumo::jet {

struct SelectStatement;
struct TableRef;

enum class ExprKind {
  kNull,
  kNumber,      // text: the number as written
  kString,      // text: the value
  kDate,        // text: the stored date text
  kBoolean,     // number: -1 or 0
  kGuid,        // text: the stored GUID text
  kColumn,      // names: one part per dotted/banged segment
  kIdentity,    // @@IDENTITY
  kUnary,       // unaryOp, children[0]
  kBinary,      // binaryOp, children[0], children[1]
  kLike,        // children: value, pattern; negated for Not Like
  kBetween,     // children: value, low, high; negated
  kInList,      // children: value, then the list; negated
  kInSelect,    // children: value; subquery; negated
  kIsNull,      // children: value; negated for Is Not Null
  kFunction,    // text: name as written, upper: upper case; children: arguments; star for Count(*)
  kSubquery,    // subquery: scalar subquery
  kExists,      // subquery; negated
  kQuantified,  // children: value; binaryOp: the comparison; subquery; all (true) or any/some
  kParen,       // children[0]
  // Made by the crosstab's rewriting, never parsed:
  kFiltered,   // children: an aggregate call, the condition on the rows it takes
  kPivotCell,  // children: condition, value; Null where no row of the group meets the condition
};

enum class UnaryOp { kNot, kNegate, kPlus };

enum class BinaryOp {
  kImp,
  kEqv,
  kXor,
  kOr,
  kAnd,
  kEqual,
  kNotEqual,
  kLess,
  kGreater,
  kLessEqual,
  kGreaterEqual,
  kConcat,
  kAdd,
  kSubtract,
  kMod,
  kIntDivide,
  kMultiply,
  kDivide,
  kPower,
};

inline bool IsComparison(BinaryOp op) { return op >= BinaryOp::kEqual && op <= BinaryOp::kGreaterEqual; }
inline bool IsLogical(BinaryOp op) { return op <= BinaryOp::kAnd; }

struct Expr {
  ExprKind kind = ExprKind::kNull;
  size_t begin = 0;
  size_t end = 0;
  int depth = 1;  // height of the subtree, bounded by the parser
  std::string text;
  std::string upper;
  std::vector<std::string> names;
  UnaryOp unaryOp = UnaryOp::kNot;
  BinaryOp binaryOp = BinaryOp::kEqual;
  bool negated = false;
  bool star = false;
  bool all = false;
  int64_t number = 0;
  std::vector<std::unique_ptr<Expr>> children;
  std::unique_ptr<SelectStatement> subquery;
};
using ExprPtr = std::unique_ptr<Expr>;

enum class DistinctMode { kAll, kDistinct, kDistinctRow };

struct SelectItem {
  ExprPtr expr;               // null for * and t.*
  std::string starQualifier;  // "t" for t.*; empty for *
  bool star = false;
  std::string alias;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

enum class JoinKind { kInner, kLeft, kRight };

struct TableRef {
  enum class Kind { kTable, kSubquery, kJoin } kind = Kind::kTable;
  std::string name;   // kTable
  std::string alias;  // kTable, kSubquery
  std::unique_ptr<SelectStatement> subquery;
  JoinKind join = JoinKind::kInner;
  std::unique_ptr<TableRef> left;
  std::unique_ptr<TableRef> right;
  ExprPtr on;
};
using TableRefPtr = std::unique_ptr<TableRef>;

// One SELECT of a statement (a union has several).
struct SelectCore {
  DistinctMode distinct = DistinctMode::kAll;
  std::optional<int64_t> top;
  bool topPercent = false;
  std::vector<SelectItem> items;
  std::string intoTable;
  std::vector<TableRefPtr> from;  // comma-separated entries
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
};

struct SelectStatement {
  std::vector<SelectCore> cores;   // more than one: a union
  std::vector<bool> unionAll;      // between cores[i] and cores[i + 1]
  std::vector<OrderItem> orderBy;  // of the whole statement
  bool IsUnion() const { return cores.size() > 1; }
};
using SelectPtr = std::unique_ptr<SelectStatement>;

struct InsertStatement {
  std::string table;
  std::vector<std::string> columns;
  std::vector<ExprPtr> values;  // VALUES form
  SelectPtr select;             // SELECT form
};

struct Assignment {
  std::vector<std::string> column;  // [table.]column
  ExprPtr value;
};

struct UpdateStatement {
  TableRefPtr target;  // a table or an inner join of tables
  std::vector<Assignment> assignments;
  ExprPtr where;
};

struct DeleteStatement {
  std::string qualifier;  // t of "DELETE t.* FROM ..."
  std::vector<TableRefPtr> from;
  ExprPtr where;
};

// DDL pieces.
struct ColumnDefinition {
  std::string name;
  JetFieldType type;
  bool notNull = false;
  int64_t seed = 1;  // COUNTER(seed, increment)
  int64_t increment = 1;
};

struct ConstraintDefinition {
  enum class Kind { kPrimaryKey, kUnique, kNotNull, kForeignKey } kind = Kind::kUnique;
  std::string name;  // empty when unnamed
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
  bool noIndex = false;  // FOREIGN KEY NO INDEX
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct CreateTableStatement {
  std::string table;
  std::vector<ColumnDefinition> columns;
  std::vector<ConstraintDefinition> constraints;  // column constraints included, with their column
};

struct AlterTableStatement {
  enum class Action {
    kAddColumn,
    kAlterColumn,
    kDropColumn,
    kAddConstraint,
    kDropConstraint
  } action = Action::kAddColumn;
  std::string table;
  ColumnDefinition column;                        // add/alter column
  std::vector<ConstraintDefinition> constraints;  // add column's constraints, add constraint
  std::string name;                               // dropped column or constraint
};

struct CreateIndexStatement {
  std::string index;
  std::string table;
  std::vector<IndexColumn> columns;
  bool unique = false;
  bool primary = false;
  bool disallowNull = false;
  bool ignoreNull = false;
};

struct DropStatement {
  bool index = false;  // DROP INDEX i ON t; otherwise DROP TABLE t
  std::string name;
  std::string table;
};

// TRANSFORM value SELECT ... PIVOT pivot [IN (headings)]: the SELECT (Statement::select)
// gives the row headings; each value of the pivot expression becomes a column showing the
// value expression over the rows of the group that have that value.
struct CrosstabStatement {
  ExprPtr value;  // holds at least one aggregate
  ExprPtr pivot;
  std::vector<ExprPtr> headings;  // IN (...): the columns, fixed, in this order
  bool fixedHeadings = false;
};

struct ParameterDeclaration {
  std::string name;
  JetFieldType type;
};

enum class StatementKind {
  kSelect,
  kUnion,
  kSelectInto,
  kInsert,
  kUpdate,
  kDelete,
  kCrosstab,
  kCreateTable,
  kAlterTable,
  kCreateIndex,
  kDropIndex,
  kDropTable,
};

struct Statement {
  StatementKind kind = StatementKind::kSelect;
  std::vector<ParameterDeclaration> parameters;
  SelectPtr select;
  std::unique_ptr<CrosstabStatement> crosstab;  // with select
  std::unique_ptr<InsertStatement> insert;
  std::unique_ptr<UpdateStatement> update;
  std::unique_ptr<DeleteStatement> del;
  std::unique_ptr<CreateTableStatement> createTable;
  std::unique_ptr<AlterTableStatement> alterTable;
  std::unique_ptr<CreateIndexStatement> createIndex;
  std::unique_ptr<DropStatement> drop;
};

}  // namespace lumo::jet
