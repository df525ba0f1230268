#include "jet/sql/JetSqlParser.h"

#include <algorithm>
#include <array>

#include "jet/DaoErrors.h"
#include "jet/sql/JetFunctionCatalogue.h"
#include "jet/sql/JetSqlEmitterUtil.h"

namespace lumo::jet {

namespace {

// Words that end or shape a clause and so cannot stand for a name without brackets.
constexpr std::array kReservedWords = {
    "ALL",     "ALTER",    "AND",         "ANY",   "AS",     "ASC",    "BETWEEN", "BY",    "CREATE", "DELETE",
    "DESC",    "DISTINCT", "DISTINCTROW", "DROP",  "EQV",    "EXISTS", "FALSE",   "FROM",  "GROUP",  "HAVING",
    "IMP",     "IN",       "INDEX",       "INNER", "INSERT", "INTO",   "IS",      "JOIN",  "LEFT",   "LIKE",
    "MOD",     "NO",       "NOT",         "NULL",  "OFF",    "ON",     "OR",      "ORDER", "OUTER",  "PARAMETERS",
    "PERCENT", "RIGHT",    "SELECT",      "SET",   "SOME",   "TABLE",  "TOP",     "TRUE",  "UNION",  "UPDATE",
    "VALUES",  "WHERE",    "WITH",        "XOR",   "YES",
};

// Words after which an expression's text ends, for error messages.
constexpr std::array kClauseWords = {"FROM", "WHERE",  "GROUP", "HAVING", "ORDER", "UNION", "INTO",
                                     "SET",  "VALUES", "INNER", "LEFT",   "RIGHT", "JOIN",  "WITH"};

bool IsReserved(const std::string& upper) {
  return std::find(kReservedWords.begin(), kReservedWords.end(), upper) != kReservedWords.end();
}

bool IsClauseWord(const std::string& upper) {
  return std::find(kClauseWords.begin(), kClauseWords.end(), upper) != kClauseWords.end();
}

bool IsLiteralWord(const std::string& upper) {
  return upper == "NULL" || upper == "TRUE" || upper == "FALSE" || upper == "YES" || upper == "NO" || upper == "ON" ||
         upper == "OFF" || upper == "EXISTS";
}

}  // namespace

// Inside a crosstab PIVOT ends the SELECT, as the clause words do.
bool JetSqlParser::IsReservedWord(const std::string& upper) const {
  return IsReserved(upper) || (crosstab_ && upper == "PIVOT");
}

JetSqlParser::JetSqlParser(std::string_view source, ExpressionErrorStyle style)
    : source_(source), tokens_(TokenizeJetSql(source)), style_(style) {}

// ---------------------------------------------------------------------------------------------
// Tokens and errors

const Token& JetSqlParser::Peek(size_t ahead) const {
  size_t index = std::min(pos_ + ahead, tokens_.size() - 1);
  return tokens_[index];
}

const Token& JetSqlParser::Next() {
  const Token& token = tokens_[pos_];
  if (pos_ + 1 < tokens_.size()) ++pos_;
  return token;
}

bool JetSqlParser::AtWord(std::string_view upper, size_t ahead) const { return Peek(ahead).IsWord(upper); }
bool JetSqlParser::AtSymbol(std::string_view symbol, size_t ahead) const { return Peek(ahead).IsSymbol(symbol); }

bool JetSqlParser::AcceptWord(std::string_view upper) {
  if (!AtWord(upper)) return false;
  Next();
  return true;
}

bool JetSqlParser::AcceptSymbol(std::string_view symbol) {
  if (!AtSymbol(symbol)) return false;
  Next();
  return true;
}

bool JetSqlParser::AtEnd() const { return Peek().kind == TokenKind::kEnd; }

bool JetSqlParser::AtNameToken(size_t ahead) const {
  const Token& token = Peek(ahead);
  if (token.kind == TokenKind::kBracketName) return true;
  return token.kind == TokenKind::kWord && !IsReservedWord(token.upper);
}

bool JetSqlParser::AtOperandStart() const {
  const Token& token = Peek();
  switch (token.kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kDate:
    case TokenKind::kGuid:
    case TokenKind::kBracketName:
    case TokenKind::kError: return true;
    case TokenKind::kWord:
      // Left and Right are join words and functions.
      return !IsReservedWord(token.upper) || IsLiteralWord(token.upper) || token.upper == "NOT" ||
             (AtSymbol("(", 1) && FindJetFunction(token.upper) != nullptr);
    case TokenKind::kSymbol: return token.text == "(";
    case TokenKind::kEnd: return false;
  }
  return false;
}

void JetSqlParser::Fail(int number, std::vector<std::string> args) const { throw JetSqlError{number, std::move(args)}; }

std::string JetSqlParser::ExpressionText() const {
  size_t begin = tokens_[std::min(exprStart_, tokens_.size() - 1)].begin;
  size_t end = begin;
  int depth = 0;
  for (size_t i = exprStart_; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    if (token.kind == TokenKind::kEnd) break;
    if (depth == 0 && i > exprStart_) {
      if (token.IsSymbol(";")) break;
      if (token.kind == TokenKind::kWord && (IsClauseWord(token.upper) || (crosstab_ && token.upper == "PIVOT"))) {
        break;
      }
      if (token.IsSymbol(",") && exprContext_ != ExprContext::kCondition) break;
      if (exprContext_ == ExprContext::kSelectItem && token.IsWord("AS")) break;
      if (exprContext_ == ExprContext::kList && (token.IsWord("ASC") || token.IsWord("DESC"))) break;
    }
    if (token.IsSymbol("(")) ++depth;
    if (token.IsSymbol(")")) {
      if (depth == 0 && i > exprStart_ && parenDepth_ > 0) break;
      --depth;
    }
    end = token.end;
  }
  return std::string(source_.substr(begin, end - begin));
}

void JetSqlParser::FailExpression(const char* message) const {
  if (style_ == ExpressionErrorStyle::kExpression) Fail(kDaoExpressionError, {message});
  Fail(kDaoQueryExpressionError, {message, ExpressionText()});
}

void JetSqlParser::Enter() {
  if (++depth_ > kMaxDepth) Fail(kDaoQueryTooComplex);
}

// ---------------------------------------------------------------------------------------------
// Statements

Statement JetSqlParser::ParseStatement() {
  Statement statement;
  if (AtWord("PARAMETERS")) ParseParameters(statement);
  const Token& first = Peek();
  if (first.kind == TokenKind::kError) Fail(kDaoInvalidStatement);
  if (first.IsWord("SELECT") || (first.IsSymbol("(") && Peek(1).IsWord("SELECT"))) {
    statement.select = ParseSelectStatement(true);
    if (statement.select->IsUnion()) {
      statement.kind = StatementKind::kUnion;
    } else if (!statement.select->cores[0].intoTable.empty()) {
      statement.kind = StatementKind::kSelectInto;
    } else {
      statement.kind = StatementKind::kSelect;
    }
  } else if (first.IsWord("TRANSFORM")) {
    statement.kind = StatementKind::kCrosstab;
    ParseTransform(statement);
  } else if (first.IsWord("INSERT")) {
    statement.kind = StatementKind::kInsert;
    statement.insert = ParseInsert();
  } else if (first.IsWord("UPDATE")) {
    statement.kind = StatementKind::kUpdate;
    statement.update = ParseUpdate();
  } else if (first.IsWord("DELETE")) {
    statement.kind = StatementKind::kDelete;
    statement.del = ParseDelete();
  } else if (first.IsWord("CREATE")) {
    ParseCreate(statement);
  } else if (first.IsWord("ALTER")) {
    statement.kind = StatementKind::kAlterTable;
    statement.alterTable = ParseAlterTable();
  } else if (first.IsWord("DROP")) {
    statement.drop = ParseDrop();
    statement.kind = statement.drop->index ? StatementKind::kDropIndex : StatementKind::kDropTable;
  } else {
    Fail(kDaoInvalidStatement);
  }
  ExpectStatementEnd(lastClauseError_);
  return statement;
}

void JetSqlParser::ExpectStatementEnd(int clauseError) {
  if (AcceptSymbol(";")) {
    if (!AtEnd()) Fail(kDaoCharactersAfterEnd);
    return;
  }
  if (!AtEnd()) {
    if (Peek().kind == TokenKind::kError) FailExpression(Peek().text.c_str());
    Fail(clauseError);
  }
}

void JetSqlParser::ParseParameters(Statement& statement) {
  Next();  // PARAMETERS
  lastClauseError_ = kDaoParameterSyntax;
  while (true) {
    if (!AtNameToken()) Fail(kDaoParameterSyntax);
    ParameterDeclaration declaration;
    declaration.name = Next().text;
    declaration.type = ParseTypeSpec(kDaoParameterSyntax, nullptr, nullptr);
    if ((declaration.type.attributes & dbAutoIncrField) != 0) Fail(kDaoParameterSyntax);
    statement.parameters.push_back(std::move(declaration));
    if (AcceptSymbol(",")) continue;
    if (AcceptSymbol(";")) break;
    Fail(kDaoParameterSyntax);
  }
  if (AtEnd()) Fail(kDaoInvalidStatement);
}

// TRANSFORM value [AS alias] SELECT ... [ORDER BY ...] PIVOT pivot [IN (heading, ...)]
void JetSqlParser::ParseTransform(Statement& statement) {
  Next();  // TRANSFORM
  crosstab_ = true;
  lastClauseError_ = kDaoTransformSyntax;
  auto crosstab = std::make_unique<CrosstabStatement>();
  crosstab->value = ParseTopExpression(ExprContext::kSelectItem, kDaoTransformSyntax);
  // The value's own name means nothing: its columns are named by the pivot's values.
  if (AcceptWord("AS")) ParseAlias(kDaoTransformSyntax);
  if (!AtWord("SELECT")) Fail(kDaoTransformSyntax);
  statement.select = ParseSelectStatement(true);
  const SelectStatement& select = *statement.select;
  if (select.IsUnion() || !select.cores[0].intoTable.empty()) Fail(kDaoTransformSyntax);
  const SelectCore& core = select.cores[0];
  if (core.having) Fail(kDaoTransformHaving);
  for (const SelectItem& item : core.items) {
    if (item.star) Fail(kDaoCrosstabStar);
  }
  // The columns come from the value and the pivot of each row; a subquery there would have to
  // be run once per heading.
  const auto noSubquery = [this](const Expr& expr, const auto& self) -> void {
    if (expr.subquery) Fail(kDaoTransformSyntax);
    for (const ExprPtr& child : expr.children) self(*child, self);
  };
  noSubquery(*crosstab->value, noSubquery);
  if (!AcceptWord("PIVOT")) Fail(kDaoTransformSyntax);
  pivotParenDepth_ = parenDepth_;
  crosstab->pivot = ParseTopExpression(ExprContext::kList, kDaoTransformSyntax);
  pivotParenDepth_ = -1;
  noSubquery(*crosstab->pivot, noSubquery);
  if (AcceptWord("IN")) {
    crosstab->fixedHeadings = true;
    if (!AcceptSymbol("(")) Fail(kDaoTransformSyntax);
    ++parenDepth_;
    do {
      ExprPtr heading = ParseTopExpression(ExprContext::kList, kDaoTransformSyntax);
      const Expr& literal =
          heading->kind == ExprKind::kUnary && heading->unaryOp == UnaryOp::kNegate ? *heading->children[0] : *heading;
      // Headings are constants: a name here would be a column, which has no fixed value.
      const bool constant = literal.kind == ExprKind::kString || literal.kind == ExprKind::kNumber ||
                            literal.kind == ExprKind::kDate || literal.kind == ExprKind::kBoolean;
      if (!constant || (heading.get() != &literal && literal.kind != ExprKind::kNumber)) Fail(kDaoTransformSyntax);
      crosstab->headings.push_back(std::move(heading));
    } while (AcceptSymbol(","));
    if (!AcceptSymbol(")")) Fail(kDaoTransformSyntax);
    --parenDepth_;
  }
  // The value must sum up the rows of a cell.
  if (!emit::ContainsAggregate(*crosstab->value)) {
    Fail(kDaoNotPartOfAggregate,
         {std::string(source_.substr(crosstab->value->begin, crosstab->value->end - crosstab->value->begin))});
  }
  lastClauseError_ = kDaoTransformSyntax;
  statement.crosstab = std::move(crosstab);
}

SelectPtr JetSqlParser::ParseSelectStatement(bool topLevel) {
  // The height of a query counts its expressions and the queries nested in it, so that the
  // emitter's recursion over the tree stays bounded.
  const int savedMaxDepth = maxNodeDepth_;
  maxNodeDepth_ = 0;
  auto select = std::make_unique<SelectStatement>();
  bool first = true;
  while (true) {
    select->cores.emplace_back();
    SelectCore& core = select->cores.back();
    if (!first && AcceptWord("TABLE")) {
      // "TABLE t" stands for "SELECT * FROM t".
      auto ref = std::make_unique<TableRef>();
      ref->name = ParseName(kDaoFromSyntax);
      SelectItem item;
      item.star = true;
      core.items.push_back(std::move(item));
      core.from.push_back(std::move(ref));
    } else if (AtSymbol("(") && AtWord("SELECT", 1)) {
      Enter();
      Next();
      ++parenDepth_;
      SelectPtr inner = ParseSelectStatement(false);
      if (!AcceptSymbol(")")) Fail(kDaoSelectSyntax);
      --parenDepth_;
      Leave();
      if (inner->IsUnion() || !inner->orderBy.empty()) {
        // A parenthesised query with its own order: keep it whole as a derived table.
        SelectItem item;
        item.star = true;
        core.items.push_back(std::move(item));
        auto ref = std::make_unique<TableRef>();
        ref->kind = TableRef::Kind::kSubquery;
        ref->subquery = std::move(inner);
        core.from.push_back(std::move(ref));
      } else {
        core = std::move(inner->cores[0]);
      }
    } else {
      ParseSelectCore(core, topLevel && first);
    }
    first = false;
    if (AcceptWord("UNION")) {
      select->unionAll.push_back(AcceptWord("ALL"));
      if (!AtWord("SELECT") && !AtWord("TABLE") && !AtSymbol("(")) Fail(kDaoSelectSyntax);
      continue;
    }
    break;
  }
  if (AtWord("ORDER")) {
    Next();
    if (!AcceptWord("BY")) Fail(kDaoOrderBySyntax);
    select->orderBy = ParseOrderItems(kDaoOrderBySyntax);
    lastClauseError_ = kDaoOrderBySyntax;
  }
  if (topLevel && AtWord("WITH") && AtWord("OWNERACCESS", 1)) {
    Next();
    Next();
    if (!AcceptWord("OPTION")) Fail(kDaoSelectSyntax);
  }
  lastSelectHeight_ = maxNodeDepth_ + 1;
  if (lastSelectHeight_ > kMaxDepth) Fail(kDaoQueryTooComplex);
  maxNodeDepth_ = std::max(savedMaxDepth, lastSelectHeight_);
  return select;
}

void JetSqlParser::ParseSelectCore(SelectCore& core, bool allowInto) {
  if (!AcceptWord("SELECT")) Fail(kDaoSelectSyntax);
  lastClauseError_ = kDaoSelectSyntax;
  if (AcceptWord("DISTINCTROW")) {
    core.distinct = DistinctMode::kDistinctRow;
  } else if (AcceptWord("DISTINCT")) {
    core.distinct = DistinctMode::kDistinct;
  } else {
    AcceptWord("ALL");
  }
  if (AcceptWord("TOP")) {
    const Token& count = Next();
    if (count.kind != TokenKind::kNumber || count.text.find_first_not_of("0123456789") != std::string::npos ||
        count.text.size() > 15) {
      Fail(kDaoSelectSyntax);
    }
    core.top = std::stoll(count.text);
    if (*core.top <= 0) Fail(kDaoSelectSyntax);
    core.topPercent = AcceptWord("PERCENT");
  }
  ParseSelectItems(core);
  if (AtWord("INTO")) {
    if (!allowInto) Fail(kDaoSelectSyntax);
    Next();
    core.intoTable = ParseNewObjectName(kDaoSelectSyntax);
    if (AtWord("IN")) Fail(kDaoSelectSyntax);
  }
  if (AcceptWord("FROM")) {
    core.from = ParseFromList(kDaoFromSyntax);
    lastClauseError_ = kDaoFromSyntax;
  }
  if (AcceptWord("WHERE")) {
    core.where = ParseTopExpression(ExprContext::kCondition, kDaoWhereSyntax);
    lastClauseError_ = kDaoWhereSyntax;
  }
  if (AtWord("GROUP")) {
    Next();
    if (!AcceptWord("BY")) Fail(kDaoGroupBySyntax);
    do {
      core.groupBy.push_back(ParseTopExpression(ExprContext::kList, kDaoGroupBySyntax));
    } while (AcceptSymbol(","));
    lastClauseError_ = kDaoGroupBySyntax;
  }
  if (AcceptWord("HAVING")) {
    core.having = ParseTopExpression(ExprContext::kCondition, kDaoHavingSyntax);
    lastClauseError_ = kDaoHavingSyntax;
  }
}

void JetSqlParser::ParseSelectItems(SelectCore& core) {
  do {
    SelectItem item;
    if (AcceptSymbol("*")) {
      item.star = true;
    } else if (AtNameToken() && (AtSymbol(".", 1) || AtSymbol("!", 1)) && AtSymbol("*", 2)) {
      item.star = true;
      item.starQualifier = Next().text;
      Next();
      Next();
    } else {
      item.expr = ParseTopExpression(ExprContext::kSelectItem, kDaoSelectSyntax);
      if (AcceptWord("AS")) item.alias = ParseAlias(kDaoSelectSyntax);
    }
    core.items.push_back(std::move(item));
  } while (AcceptSymbol(","));
}

std::vector<OrderItem> JetSqlParser::ParseOrderItems(int clauseError) {
  std::vector<OrderItem> items;
  do {
    OrderItem item;
    item.expr = ParseTopExpression(ExprContext::kList, clauseError);
    if (AcceptWord("DESC")) {
      item.descending = true;
    } else {
      AcceptWord("ASC");
    }
    items.push_back(std::move(item));
  } while (AcceptSymbol(","));
  return items;
}

std::vector<TableRefPtr> JetSqlParser::ParseFromList(int clauseError) {
  std::vector<TableRefPtr> list;
  do {
    list.push_back(ParseJoinedTable(clauseError));
  } while (AcceptSymbol(","));
  if (AtWord("IN")) Fail(clauseError);  // external databases are not reachable here
  return list;
}

TableRefPtr JetSqlParser::ParseJoinedTable(int clauseError) {
  TableRefPtr left = ParseTablePrimary(clauseError);
  int height = 1;
  while (true) {
    JoinKind kind;
    if (AtWord("INNER")) {
      kind = JoinKind::kInner;
    } else if (AtWord("LEFT")) {
      kind = JoinKind::kLeft;
    } else if (AtWord("RIGHT")) {
      kind = JoinKind::kRight;
    } else if (AtWord("JOIN")) {
      Fail(kDaoJoinSyntax);
    } else {
      break;
    }
    Next();
    if (kind != JoinKind::kInner) AcceptWord("OUTER");
    if (!AcceptWord("JOIN")) Fail(kDaoJoinSyntax);
    if (++height > kMaxDepth) Fail(kDaoQueryTooComplex);
    maxNodeDepth_ = std::max(maxNodeDepth_, height);
    auto join = std::make_unique<TableRef>();
    join->kind = TableRef::Kind::kJoin;
    join->join = kind;
    join->left = std::move(left);
    join->right = ParseTablePrimary(kDaoJoinSyntax);
    if (!AcceptWord("ON")) Fail(kDaoJoinSyntax);
    join->on = ParseTopExpression(ExprContext::kCondition, kDaoJoinSyntax);
    left = std::move(join);
  }
  return left;
}

TableRefPtr JetSqlParser::ParseTablePrimary(int clauseError) {
  auto ref = std::make_unique<TableRef>();
  if (AtSymbol("(")) {
    Enter();
    Next();
    ++parenDepth_;
    if (AtWord("SELECT") || (AtSymbol("(") && AtWord("SELECT", 1))) {
      ref->kind = TableRef::Kind::kSubquery;
      ref->subquery = ParseSelectStatement(false);
      if (!AcceptSymbol(")")) Fail(clauseError);
      --parenDepth_;
      Leave();
      if (AcceptWord("AS") || AtNameToken()) ref->alias = ParseAlias(clauseError);
      return ref;
    }
    ref = ParseJoinedTable(clauseError);
    if (!AcceptSymbol(")")) Fail(clauseError);
    --parenDepth_;
    Leave();
    return ref;
  }
  if (!AtNameToken()) Fail(clauseError);
  ref->name = Next().text;
  if (AtWord("IN")) Fail(clauseError);
  if (AcceptWord("AS") || AtNameToken()) ref->alias = ParseAlias(clauseError);
  return ref;
}

std::unique_ptr<InsertStatement> JetSqlParser::ParseInsert() {
  Next();  // INSERT
  lastClauseError_ = kDaoInsertSyntax;
  if (!AcceptWord("INTO")) Fail(kDaoInsertSyntax);
  auto insert = std::make_unique<InsertStatement>();
  insert->table = ParseName(kDaoInsertSyntax);
  if (AtWord("IN")) Fail(kDaoInsertSyntax);
  if (AtSymbol("(") && !AtWord("SELECT", 1)) {
    insert->columns = ParseNameList(kDaoInsertSyntax);
  }
  if (AcceptWord("VALUES")) {
    if (!AcceptSymbol("(")) Fail(kDaoInsertSyntax);
    ++parenDepth_;
    do {
      insert->values.push_back(ParseTopExpression(ExprContext::kList, kDaoInsertSyntax));
    } while (AcceptSymbol(","));
    if (!AcceptSymbol(")")) Fail(kDaoInsertSyntax);
    --parenDepth_;
    if (!insert->columns.empty() && insert->columns.size() != insert->values.size()) {
      Fail(kDaoValueCountMismatch);
    }
    lastClauseError_ = kDaoInsertSyntax;
  } else if (AtWord("SELECT") || (AtSymbol("(") && AtWord("SELECT", 1))) {
    insert->select = ParseSelectStatement(false);
    for (const SelectCore& core : insert->select->cores) {
      bool hasStar = std::any_of(core.items.begin(), core.items.end(), [](const SelectItem& i) { return i.star; });
      if (!insert->columns.empty() && !hasStar && core.items.size() != insert->columns.size()) {
        Fail(kDaoValueCountMismatch);
      }
    }
  } else {
    Fail(kDaoInsertSyntax);
  }
  return insert;
}

std::unique_ptr<UpdateStatement> JetSqlParser::ParseUpdate() {
  Next();  // UPDATE
  lastClauseError_ = kDaoUpdateSyntax;
  auto update = std::make_unique<UpdateStatement>();
  update->target = ParseJoinedTable(kDaoUpdateSyntax);
  if (!AcceptWord("SET")) Fail(kDaoUpdateSyntax);
  do {
    Assignment assignment;
    if (!AtNameToken()) Fail(kDaoUpdateSyntax);
    assignment.column.push_back(Next().text);
    while ((AtSymbol(".") || AtSymbol("!")) && AtNameToken(1)) {
      Next();
      assignment.column.push_back(Next().text);
    }
    if (assignment.column.size() > 2) Fail(kDaoUpdateSyntax);
    if (!AcceptSymbol("=")) Fail(kDaoUpdateSyntax);
    assignment.value = ParseTopExpression(ExprContext::kList, kDaoUpdateSyntax);
    update->assignments.push_back(std::move(assignment));
  } while (AcceptSymbol(","));
  if (AcceptWord("WHERE")) {
    update->where = ParseTopExpression(ExprContext::kCondition, kDaoWhereSyntax);
    lastClauseError_ = kDaoWhereSyntax;
  }
  return update;
}

std::unique_ptr<DeleteStatement> JetSqlParser::ParseDelete() {
  Next();  // DELETE
  lastClauseError_ = kDaoDeleteSyntax;
  auto del = std::make_unique<DeleteStatement>();
  AcceptWord("DISTINCTROW");
  if (AtWord("TOP")) Fail(kDaoTopInDelete);
  if (AcceptSymbol("*")) {
  } else if (AtNameToken() && (AtSymbol(".", 1) || AtSymbol("!", 1)) && AtSymbol("*", 2)) {
    del->qualifier = Next().text;
    Next();
    Next();
  }
  if (!AcceptWord("FROM")) Fail(kDaoDeleteSyntax);
  del->from = ParseFromList(kDaoDeleteSyntax);
  if (AcceptWord("WHERE")) {
    del->where = ParseTopExpression(ExprContext::kCondition, kDaoWhereSyntax);
    lastClauseError_ = kDaoWhereSyntax;
  }
  return del;
}

std::string JetSqlParser::ParseName(int clauseError) {
  if (!AtNameToken()) Fail(clauseError);
  return Next().text;
}

std::string JetSqlParser::ParseAlias(int clauseError) {
  if (!AtNameToken()) Fail(clauseError);
  return Next().text;
}

// A name for an object the statement creates: Jet's naming rules apply.
std::string JetSqlParser::ParseNewObjectName(int clauseError) {
  const Token& token = Peek();
  std::string name = ParseName(clauseError);
  bool valid = !name.empty() && name.size() <= 64 && name[0] != ' ';
  for (char c : name) {
    unsigned char uc = static_cast<unsigned char>(c);
    if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']' || uc < 32) valid = false;
  }
  if (!valid) Fail(3125, {token.kind == TokenKind::kBracketName ? name : token.text});
  return name;
}

std::vector<std::string> JetSqlParser::ParseNameList(int clauseError) {
  if (!AcceptSymbol("(")) Fail(clauseError);
  std::vector<std::string> names;
  do {
    names.push_back(ParseName(clauseError));
  } while (AcceptSymbol(","));
  if (!AcceptSymbol(")")) Fail(clauseError);
  return names;
}

}  // namespace lumo::jet
