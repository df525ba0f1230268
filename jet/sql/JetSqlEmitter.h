#pragma once
// Turns the Jet syntax tree into the SQL of a back-end: common SQL, with the forms back-ends
// differ in taken from the dialect (TranslateOptions::dialect). The notes below describe the
// file back-end's text.
//
// What changes on the way:
// - names are quoted ("t"."c"); names the caller knows as parameters become ?1, ?2, ... in
//   order of first appearance;
// - literals take their stored forms: dates as 'YYYY-MM-DD HH:MM:SS.fff', True/False as
//   -1/0, GUIDs as the braced text;
// - comparisons stay plain SQLite comparisons where the column's own collation (NOCASE)
//   decides as Jet does, so that SQLite uses indexes; text that NOCASE would compare
//   otherwise than Jet (letters beyond ASCII of either case, texts without a column, a
//   foreign file's text compared as stored) is compared by the collation jet_text, with
//   bounds in NOCASE order that keep an indexed column's comparison on its index; text sorts
//   and groups by jet_text;
// - operators whose Jet meaning differs from SQLite's (&, + on texts, /, \, Mod, ^, Xor, Eqv,
//   Imp, And/Or/Not on numbers, Like) call registered functions; + - * stay plain where both
//   sides are plainly numbers;
// - a truth value used as a value reads -1/0 as in Jet;
// - TOP n becomes a LIMIT that includes ties of the last row (a subquery inside an expression,
//   which may be correlated, takes its first n rows), DISTINCTROW over joins groups by
//   the row ids of the tables that deliver columns, multi-table UPDATE and DELETE become
//   UPDATE ... FROM and DELETE ... WHERE <row id> IN (...).
//
// Errors are thrown as JetSqlError (see JetSqlParser.h).

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetSqlSchema.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/SqlDialect.h"

namespace lumo::jet {

class JetSqlEmitter {
 public:
  JetSqlEmitter(const TranslateOptions& options, const std::vector<ParameterDeclaration>& declared);

  void EmitStatement(const Statement& statement, TranslatedStatement& result);
  std::string EmitCriteria(const Expr& expr);
  std::string EmitSortList(const std::vector<OrderItem>& items);
  // Criteria and sort texts: the names stand for the columns TranslateOptions names
  // (criteriaTable, criteriaColumns).
  void UseCriteriaScope();

  // The parameters in number order; declared but unused ones last, marked unreferenced.
  std::vector<TranslatedParameter> Parameters() const;

 private:
  struct Fragment {
    std::string text;
    int precedence;
  };

  // Expressions.
  Fragment Value(const Expr& expr);
  Fragment Condition(const Expr& expr);
  Fragment Comparison(const Expr& expr);
  std::string TextColumnComparison(const Fragment& column, const SchemaColumn& info, BinaryOp op, const Expr& valueExpr,
                                   const Fragment& value);
  // Text comparison (JetSqlEmitter.cpp): the schema's text column an expression names
  // (nullptr for anything else); whether an expression is known to give text, or known to
  // give something else (a number, date, truth value or GUID), so that case cannot matter.
  const SchemaColumn* TextColumn(const Expr& expr);
  bool IsTextValued(const Expr& expr);
  bool IsNotText(const Expr& expr);
  std::string TextOrder(const Expr& expr, const Fragment& fragment);
  // A text value that compares by Jet's rule whatever its column's collation.
  std::string JetTextValue(const Fragment& fragment) const;
  // Dates and Yes/No values as other tools store them (JetSqlEmitter.cpp).
  const SchemaColumn* ColumnOfType(const Expr& expr, int daoType);
  Fragment DateColumnComparison(const Fragment& column, BinaryOp op, const Expr& valueExpr, const Fragment& value);
  Fragment BooleanColumnComparison(const Fragment& column, BinaryOp op, const Expr& valueExpr, const Fragment& value);
  std::string TruthOfColumn(const Fragment& column);
  Fragment Function(const Expr& expr);
  Fragment Column(const Expr& expr);
  // A call of one of the engine's functions in the back-end's SQL (SqlDialect::EngineCall);
  // a function the back-end has no form for answers 3085 naming jetName (else name).
  std::string Call(const char* name, const std::vector<const Expr*>& args, std::string_view jetName = {});
  std::string EngineCall(const char* name, const std::vector<storage::SqlOperand>& operands,
                         std::string_view jetName) const;
  std::string EngineCall(const char* name, const std::string& operand) const;
  storage::SqlOperand Operand(const Expr& expr);
  // A value used as a condition.
  Fragment TruthOf(const Expr& expr);
  std::string SortTerm(const OrderItem& item);
  // A table's and a column's name quoted as the back-end must be sent them (NamesAsStored).
  std::string TableName(const std::string& table) const;
  std::string ColumnName(const std::string& table, const std::string& column) const;
  std::string GroupTerm(const Expr& expr);
  bool IsPlainColumn(const Expr& expr) const;
  bool IsPlainlyNumeric(const Expr& expr) const;
  bool IsNumberValued(const Expr& expr) const;
  std::optional<int> ParameterNumber(const std::vector<std::string>& names);

  // Queries.
  std::string Select(const SelectStatement& select, const std::string& firstItemAlias = {});
  std::string ExpressionSubquery(const SelectStatement& select, const std::string& firstItemAlias = {});
  std::string Core(const SelectCore& core, const std::vector<OrderItem>* orderBy, bool nameExpressions,
                   const std::string& firstItemAlias);
  std::string FromTail(const SelectCore& core, const std::string& distinctRowGroup);
  std::string DistinctRowGroup(const SelectCore& core);
  std::string Top(const SelectCore& core, const std::vector<OrderItem>* orderBy, const std::string& items,
                  const std::string& tail);
  std::string TableRefText(const TableRef& ref);
  std::string StarForStoring(const SelectItem& item, const std::vector<JetFieldType>& store, size_t& position);

  // Statements.
  void Insert(const InsertStatement& insert, TranslatedStatement& result);
  void Update(const UpdateStatement& update, TranslatedStatement& result);
  void Delete(const DeleteStatement& del, TranslatedStatement& result);
  void CreateTable(const CreateTableStatement& create, TranslatedStatement& result);
  void AlterTable(const AlterTableStatement& alter, TranslatedStatement& result);
  void CreateIndex(const CreateIndexStatement& create, TranslatedStatement& result);
  void Drop(const DropStatement& drop, TranslatedStatement& result);

  // Types (JetSqlEmitterTypes.cpp). The tables a query core reads, by the names its
  // expressions use for them; the cores an expression lies in, innermost last.
  struct ScopeEntry {
    std::string name;                                    // alias, or the table's name
    std::string table;                                   // the base table; empty for a subquery
    const std::vector<SchemaColumn>* columns = nullptr;  // a base table's, from the schema
    std::vector<SchemaColumn> derived;                   // a subquery's result columns
  };
  using Scope = std::vector<ScopeEntry>;
  // Makes a core's tables visible to the names of its expressions while it lives.
  class ScopeUse {
   public:
    ScopeUse(JetSqlEmitter& emitter, const SelectCore& core);
    ScopeUse(JetSqlEmitter& emitter, const std::vector<const TableRef*>& tables);
    ~ScopeUse();
    ScopeUse(const ScopeUse&) = delete;
    ScopeUse& operator=(const ScopeUse&) = delete;

   private:
    JetSqlEmitter& emitter_;
  };
  Scope BuildScope(const SelectCore& core);
  void AddScopeEntries(const TableRef& ref, Scope& scope);
  std::vector<SchemaColumn> ResultColumns(const SelectCore& core);
  std::string ResultName(const SelectItem& item) const;
  // The schema column a plain column reference names in the scopes; nullptr when unknown.
  const SchemaColumn* FindColumn(const Expr& expr) const;
  // The DAO type of an expression; type 0 when it is not known before the values are.
  JetFieldType TypeOf(const Expr& expr);
  JetFieldType DeriveType(const Expr& expr);
  JetFieldType FunctionType(const Expr& expr);
  // The types of the columns an INSERT writes, in the order of its values; empty when unknown.
  std::vector<JetFieldType> InsertTargetTypes(const InsertStatement& insert);
  // A select item in what a column of `type` stores (Currency rounded to four decimals).
  std::string Stored(const std::string& valueText, const JetFieldType* type);

  // What the first query core of a statement hands over besides its text.
  struct CoreCapture {
    std::string selectList;
    std::string sort;
    std::vector<ResultColumnType> columnTypes;
  };

  const TranslateOptions& options_;
  const storage::SqlDialect& dialect_;
  std::vector<std::string> knownUpper_;  // upper-case names treated as parameters
  std::vector<ParameterDeclaration> declared_;
  std::vector<TranslatedParameter> parameters_;
  std::map<std::string, size_t> parameterIndex_;  // upper-case name -> index in parameters_
  int expressionNames_ = 1000;                    // next ExprNNNN name
  bool stripQualifiers_ = false;                  // ORDER BY of a union names result columns
  bool nameNextQuery_ = false;                    // give unnamed expressions ExprNNNN names
  // Sort text as stored: a DISTINCT query on a back-end whose Jet text form is a function of
  // the value (JetTextOnBothSides) may sort only by what it selects.
  bool plainTextOrder_ = false;
  // Sort terms without the dialect's Null placement: the terms the engine's key lists take
  // apart and reverse (CoreCapture::sort).
  bool bareSort_ = false;
  int expressionSubqueries_ = 0;  // depth of subqueries inside expressions
  CoreCapture* capture_ = nullptr;
  std::vector<Scope> scopes_;
  // INSERT ... SELECT: the types of the columns written, for the cores of the next query.
  const std::vector<JetFieldType>* storeTypes_ = nullptr;
  const std::vector<JetFieldType>* coreStoreTypes_ = nullptr;
  std::unordered_map<const Expr*, JetFieldType> types_;
};

}  // namespace lumo::jet
