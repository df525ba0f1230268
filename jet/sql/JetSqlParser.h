#pragma once
// Parses Jet SQL into the syntax tree of JetSqlAst.h: statements (SELECT with unions, joins
// and subqueries, INSERT, UPDATE, DELETE, SELECT ... INTO, PARAMETERS declarations, the DDL
// statements, TRANSFORM ... PIVOT crosstabs), stand-alone expressions (Filter and Find criteria) and sort lists.
//
// Errors are thrown as JetSqlError carrying DAO's number and the texts for its placeholders:
// clause errors (3131 FROM, 3138 ORDER BY, 3290 CREATE TABLE, ...), expression errors as
// 3075 "<message> in query expression '<expression>'." or, for criteria, 3077
// "<message> in expression.", unknown functions 3085, nesting beyond kMaxDepth 3360.
// The translator turns them into EOleException; nothing here touches SQLite.

#include <string>
#include <string_view>
#include <vector>

#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetSqlTokenizer.h"

namespace lumo::jet {

struct JetSqlError {
  int number;
  std::vector<std::string> args;
};

// How expression errors are reported.
enum class ExpressionErrorStyle {
  kQueryExpression,  // 3075, naming the expression (statements, Filter)
  kExpression,       // 3077 (Find criteria)
};

class JetSqlParser {
 public:
  // Deepest nesting of expressions, parentheses and subqueries accepted.
  static constexpr int kMaxDepth = 200;

  explicit JetSqlParser(std::string_view source, ExpressionErrorStyle style = ExpressionErrorStyle::kQueryExpression);

  // The whole text as one statement, an optional ";" at the end.
  Statement ParseStatement();
  // The whole text as one expression (a WHERE text without WHERE).
  ExprPtr ParseStandaloneExpression();
  // The whole text as a sort list (an ORDER BY text without ORDER BY).
  std::vector<OrderItem> ParseStandaloneOrderBy();

 private:
  enum class ExprContext { kCondition, kList, kSelectItem };

  // Words that cannot stand for a name without brackets.
  bool IsReservedWord(const std::string& upper) const;

  // Tokens.
  const Token& Peek(size_t ahead = 0) const;
  const Token& Next();
  bool AtWord(std::string_view upper, size_t ahead = 0) const;
  bool AtSymbol(std::string_view symbol, size_t ahead = 0) const;
  bool AcceptWord(std::string_view upper);
  bool AcceptSymbol(std::string_view symbol);
  bool AtEnd() const;
  bool AtNameToken(size_t ahead = 0) const;
  bool AtOperandStart() const;

  [[noreturn]] void Fail(int number, std::vector<std::string> args = {}) const;
  [[noreturn]] void FailExpression(const char* message) const;
  std::string ExpressionText() const;

  // Statements.
  void ParseParameters(Statement& statement);
  void ParseTransform(Statement& statement);
  SelectPtr ParseSelectStatement(bool topLevel);
  void ParseSelectCore(SelectCore& core, bool allowInto);
  void ParseSelectItems(SelectCore& core);
  std::vector<OrderItem> ParseOrderItems(int clauseError);
  std::vector<TableRefPtr> ParseFromList(int clauseError);
  TableRefPtr ParseJoinedTable(int clauseError);
  TableRefPtr ParseTablePrimary(int clauseError);
  std::unique_ptr<InsertStatement> ParseInsert();
  std::unique_ptr<UpdateStatement> ParseUpdate();
  std::unique_ptr<DeleteStatement> ParseDelete();
  void ParseCreate(Statement& statement);
  std::unique_ptr<CreateTableStatement> ParseCreateTable();
  std::unique_ptr<CreateIndexStatement> ParseCreateIndex(bool unique);
  std::unique_ptr<AlterTableStatement> ParseAlterTable();
  std::unique_ptr<DropStatement> ParseDrop();
  ColumnDefinition ParseColumnDefinition(int clauseError, std::vector<ConstraintDefinition>& constraints);
  ConstraintDefinition ParseTableConstraint(std::string name);
  std::vector<std::string> ParseNameList(int clauseError);
  JetFieldType ParseTypeSpec(int clauseError, int64_t* seed, int64_t* increment);
  std::string ParseName(int clauseError);
  std::string ParseNewObjectName(int clauseError);
  std::string ParseAlias(int clauseError);
  void ExpectStatementEnd(int clauseError);

  // Expressions.
  ExprPtr ParseTopExpression(ExprContext context, int emptyError);
  ExprPtr ParseExpression();
  ExprPtr ParseImp();
  ExprPtr ParseEqv();
  ExprPtr ParseXor();
  ExprPtr ParseOr();
  ExprPtr ParseAnd();
  ExprPtr ParseNot();
  ExprPtr ParseComparison();
  ExprPtr ParseConcat();
  ExprPtr ParseAdditive();
  ExprPtr ParseMod();
  ExprPtr ParseIntDivide();
  ExprPtr ParseMultiplicative();
  ExprPtr ParseUnary();
  ExprPtr ParsePower();
  ExprPtr ParsePowerOperand();
  ExprPtr ParsePrimary();
  ExprPtr ParseNameOrCall();
  SelectPtr ParseParenthesisedSubquery();

  ExprPtr MakeNode(ExprKind kind, size_t begin, std::vector<ExprPtr> children);
  ExprPtr MakeBinary(BinaryOp op, ExprPtr left, ExprPtr right);
  void AttachSubquery(Expr& node, SelectPtr subquery);
  void Enter();
  void Leave() { --depth_; }

  std::string_view source_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  ExpressionErrorStyle style_;
  int depth_ = 0;
  int parenDepth_ = 0;
  int maxNodeDepth_ = 0;      // deepest node of the query being parsed
  int lastSelectHeight_ = 0;  // height of the query parsed last
  int subqueryHeight_ = 0;    // height of the parenthesised subquery parsed last
  size_t exprStart_ = 0;      // token index of the current top-level expression
  ExprContext exprContext_ = ExprContext::kCondition;
  int lastClauseError_ = 3129;  // what leftover text after a clause answers
  bool crosstab_ = false;       // in a TRANSFORM statement: PIVOT is a clause word
  int pivotParenDepth_ = -1;    // parenDepth_ of the pivot expression being parsed
};

}  // namespace lumo::jet
