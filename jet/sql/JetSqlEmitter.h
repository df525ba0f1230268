#pragma once
// Turns the Jet syntax tree into SQLite text.
//
// What changes on the way:
// - names are quoted ("t"."c"); names the caller knows as parameters become ?1, ?2, ... in
//   order of first appearance;
// - literals take their stored forms: dates as 'YYYY-MM-DD HH:MM:SS.fff', True/False as
//   -1/0, GUIDs as the braced text;
// - comparisons stay plain SQLite comparisons so that SQLite can use indexes; where neither
//   side is a column, COLLATE NOCASE keeps them case-insensitive as Jet's are (columns carry
//   NOCASE in their declaration);
// - operators whose Jet meaning differs from SQLite's (&, + on texts, /, \, Mod, ^, Xor, Eqv,
//   Imp, And/Or/Not on numbers, Like) call registered functions; + - * stay plain where both
//   sides are plainly numbers;
// - a truth value used as a value reads -1/0 as in Jet;
// - TOP n becomes a LIMIT that includes ties of the last row (a subquery inside an expression,
//   which may be correlated, takes its first n rows), DISTINCTROW over joins groups by
//   the row ids of the tables that deliver columns, multi-table UPDATE and DELETE become
//   SQLite's UPDATE ... FROM and DELETE ... WHERE rowid IN (...).
//
// Errors are thrown as JetSqlError (see JetSqlParser.h).

#include <map>
#include <string>
#include <vector>

#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetSqlTranslator.h"

namespace lumo::jet {

class JetSqlEmitter {
 public:
  JetSqlEmitter(const TranslateOptions& options, const std::vector<ParameterDeclaration>& declared);

  void EmitStatement(const Statement& statement, TranslatedStatement& result);
  std::string EmitCriteria(const Expr& expr);
  std::string EmitSortList(const std::vector<OrderItem>& items);

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
  Fragment Function(const Expr& expr);
  Fragment Column(const Expr& expr);
  std::string Call(const char* name, const std::vector<const Expr*>& args);
  std::string SortTerm(const OrderItem& item);
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

  // Statements.
  void Insert(const InsertStatement& insert, TranslatedStatement& result);
  void Update(const UpdateStatement& update, TranslatedStatement& result);
  void Delete(const DeleteStatement& del, TranslatedStatement& result);
  void CreateTable(const CreateTableStatement& create, TranslatedStatement& result);
  void AlterTable(const AlterTableStatement& alter, TranslatedStatement& result);
  void CreateIndex(const CreateIndexStatement& create, TranslatedStatement& result);
  void Drop(const DropStatement& drop, TranslatedStatement& result);

  // What the first query core of a statement hands over besides its text.
  struct CoreCapture {
    std::string selectList;
    std::string sort;
  };

  const TranslateOptions& options_;
  std::vector<std::string> knownUpper_;          // upper-case names treated as parameters
  std::vector<ParameterDeclaration> declared_;
  std::vector<TranslatedParameter> parameters_;
  std::map<std::string, size_t> parameterIndex_;  // upper-case name -> index in parameters_
  int expressionNames_ = 1000;                    // next ExprNNNN name
  bool stripQualifiers_ = false;                  // ORDER BY of a union names result columns
  bool nameNextQuery_ = false;                    // give unnamed expressions ExprNNNN names
  int expressionSubqueries_ = 0;                  // depth of subqueries inside expressions
  CoreCapture* capture_ = nullptr;
};

}  // namespace lumo::jet
