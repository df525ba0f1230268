#include "jet/sql/JetSqlParser.h"

#include <algorithm>
#include <array>

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlFunctions.h"

namespace lumo::jet {

namespace {

// Words that end or shape a clause and so cannot stand for a name without brackets.
constexpr std::array kReservedWords = {
    "ALL",      "ALTER",  "AND",    "ANY",      "AS",       "ASC",        "BETWEEN", "BY",
    "CREATE",   "DELETE", "DESC",   "DISTINCT", "DISTINCTROW", "DROP",    "EQV",     "EXISTS",
    "FALSE",    "FROM",   "GROUP",  "HAVING",   "IMP",      "IN",         "INDEX",   "INNER",
    "INSERT",   "INTO",   "IS",     "JOIN",     "LEFT",     "LIKE",       "MOD",     "NO",
    "NOT",      "NULL",   "OFF",    "ON",       "OR",       "ORDER",      "OUTER",   "PARAMETERS",
    "PERCENT",  "RIGHT",  "SELECT", "SET",      "SOME",     "TABLE",      "TOP",     "TRUE",
    "UNION",    "UPDATE", "VALUES", "WHERE",    "WITH",     "XOR",        "YES",
};

// Words after which an expression's text ends, for error messages.
constexpr std::array kClauseWords = {"FROM",  "WHERE", "GROUP", "HAVING", "ORDER", "UNION", "INTO",
                                     "SET",   "VALUES", "INNER", "LEFT",  "RIGHT", "JOIN",  "WITH"};

bool IsReserved(const std::string& upper) {
  return std::find(kReservedWords.begin(), kReservedWords.end(), upper) != kReservedWords.end();
}

bool IsClauseWord(const std::string& upper) {
  return std::find(kClauseWords.begin(), kClauseWords.end(), upper) != kClauseWords.end();
}

bool IsLiteralWord(const std::string& upper) {
  return upper == "NULL" || upper == "TRUE" || upper == "FALSE" || upper == "YES" || upper == "NO" ||
         upper == "ON" || upper == "OFF" || upper == "EXISTS";
}

}  // namespace

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
  return token.kind == TokenKind::kWord && !IsReserved(token.upper);
}

bool JetSqlParser::AtOperandStart() const {
  const Token& token = Peek();
  switch (token.kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kDate:
    case TokenKind::kGuid:
    case TokenKind::kBracketName:
    case TokenKind::kError:
      return true;
    case TokenKind::kWord:
      return !IsReserved(token.upper) || IsLiteralWord(token.upper) || token.upper == "NOT";
    case TokenKind::kSymbol:
      return token.text == "(";
    case TokenKind::kEnd:
      return false;
  }
  return false;
}

void JetSqlParser::Fail(int number, std::vector<std::string> args) const {
  throw JetSqlError{number, std::move(args)};
}

std::string JetSqlParser::ExpressionText() const {
  size_t begin = tokens_[std::min(exprStart_, tokens_.size() - 1)].begin;
  size_t end = begin;
  int depth = 0;
  for (size_t i = exprStart_; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    if (token.kind == TokenKind::kEnd) break;
    if (depth == 0 && i > exprStart_) {
      if (token.IsSymbol(";")) break;
      if (token.kind == TokenKind::kWord && IsClauseWord(token.upper)) break;
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

// ---------------------------------------------------------------------------------------------
// DDL

void JetSqlParser::ParseCreate(Statement& statement) {
  Next();  // CREATE
  if (AcceptWord("TABLE")) {
    statement.kind = StatementKind::kCreateTable;
    statement.createTable = ParseCreateTable();
    return;
  }
  bool unique = AcceptWord("UNIQUE");
  if (AcceptWord("INDEX")) {
    statement.kind = StatementKind::kCreateIndex;
    statement.createIndex = ParseCreateIndex(unique);
    return;
  }
  Fail(unique ? kDaoCreateIndexSyntax : kDaoInvalidStatement);
}

JetFieldType JetSqlParser::ParseTypeSpec(int clauseError, int64_t* seed, int64_t* increment) {
  std::string typeName;
  while (Peek().kind == TokenKind::kWord && !AtWord("NOT") && !AtWord("NULL") && !AtWord("CONSTRAINT") &&
         !AtWord("PRIMARY") && !AtWord("UNIQUE") && !AtWord("REFERENCES")) {
    if (!typeName.empty()) typeName += ' ';
    typeName += Next().upper;
  }
  if (typeName.empty()) Fail(clauseError);
  std::vector<int64_t> numbers;
  if (AcceptSymbol("(")) {
    do {
      const Token& number = Next();
      if (number.kind != TokenKind::kNumber || number.text.find_first_not_of("0123456789") != std::string::npos ||
          number.text.size() > 9) {
        Fail(clauseError);
      }
      numbers.push_back(std::stoll(number.text));
    } while (AcceptSymbol(","));
    if (!AcceptSymbol(")") || numbers.size() > 2) Fail(clauseError);
  }
  if (typeName == "COUNTER" || typeName == "AUTOINCREMENT") {
    if (!numbers.empty()) {
      if (seed == nullptr || numbers.size() != 2) Fail(clauseError);
      *seed = numbers[0];
      *increment = numbers[1];
    }
    numbers.clear();
  }
  std::optional<int> size;
  std::optional<int> scale;
  if (!numbers.empty()) size = static_cast<int>(numbers[0]);
  if (numbers.size() > 1) scale = static_cast<int>(numbers[1]);
  auto type = JetDdlType(typeName, size, scale);
  if (!type) Fail(clauseError);
  return *type;
}

ColumnDefinition JetSqlParser::ParseColumnDefinition(int clauseError,
                                                     std::vector<ConstraintDefinition>& constraints) {
  ColumnDefinition column;
  column.name = ParseNewObjectName(clauseError);
  column.type = ParseTypeSpec(kDaoFieldDefinitionSyntax, &column.seed, &column.increment);
  while (true) {
    if (AtWord("NOT") && AtWord("NULL", 1)) {
      if (column.notNull) Fail(kDaoFieldDefinitionSyntax);
      Next();
      Next();
      column.notNull = true;
      continue;
    }
    std::string name;
    bool named = false;
    if (AcceptWord("CONSTRAINT")) {
      name = ParseNewObjectName(kDaoConstraintSyntax);
      named = true;
    }
    ConstraintDefinition constraint;
    constraint.name = name;
    constraint.columns.push_back(column.name);
    if (AtWord("PRIMARY")) {
      Next();
      if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
      constraint.kind = ConstraintDefinition::Kind::kPrimaryKey;
    } else if (AcceptWord("UNIQUE")) {
      constraint.kind = ConstraintDefinition::Kind::kUnique;
    } else if (AtWord("NOT") && named) {
      Next();
      if (!AcceptWord("NULL")) Fail(kDaoConstraintSyntax);
      column.notNull = true;
      continue;
    } else if (AcceptWord("REFERENCES")) {
      constraint.kind = ConstraintDefinition::Kind::kForeignKey;
      constraint.referencedTable = ParseName(kDaoConstraintSyntax);
      if (AtSymbol("(")) constraint.referencedColumns = ParseNameList(kDaoConstraintSyntax);
    } else if (named) {
      Fail(kDaoConstraintSyntax);
    } else {
      break;
    }
    constraints.push_back(std::move(constraint));
  }
  return column;
}

ConstraintDefinition JetSqlParser::ParseTableConstraint(std::string name) {
  ConstraintDefinition constraint;
  constraint.name = std::move(name);
  if (AtWord("PRIMARY")) {
    Next();
    if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kPrimaryKey;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AcceptWord("UNIQUE")) {
    constraint.kind = ConstraintDefinition::Kind::kUnique;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AtWord("NOT")) {
    Next();
    if (!AcceptWord("NULL")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kNotNull;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AtWord("FOREIGN")) {
    Next();
    if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kForeignKey;
    if (AtWord("NO")) {
      Next();
      if (!AcceptWord("INDEX")) Fail(kDaoConstraintSyntax);
      constraint.noIndex = true;
    }
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
    if (!AcceptWord("REFERENCES")) Fail(kDaoConstraintSyntax);
    constraint.referencedTable = ParseName(kDaoConstraintSyntax);
    if (AtSymbol("(")) constraint.referencedColumns = ParseNameList(kDaoConstraintSyntax);
  } else {
    Fail(kDaoConstraintSyntax);
  }
  if (constraint.columns.size() > 10) Fail(kDaoTooManyIndexFields);
  return constraint;
}

std::unique_ptr<CreateTableStatement> JetSqlParser::ParseCreateTable() {
  lastClauseError_ = kDaoCreateTableSyntax;
  auto create = std::make_unique<CreateTableStatement>();
  create->table = ParseNewObjectName(kDaoCreateTableSyntax);
  if (!AcceptSymbol("(")) Fail(kDaoCreateTableSyntax);
  do {
    if (AtWord("CONSTRAINT")) {
      Next();
      std::string name = ParseNewObjectName(kDaoConstraintSyntax);
      create->constraints.push_back(ParseTableConstraint(std::move(name)));
    } else if (AtWord("PRIMARY") || AtWord("UNIQUE") || AtWord("FOREIGN")) {
      create->constraints.push_back(ParseTableConstraint({}));
    } else {
      create->columns.push_back(ParseColumnDefinition(kDaoCreateTableSyntax, create->constraints));
    }
  } while (AcceptSymbol(","));
  if (!AcceptSymbol(")")) Fail(kDaoCreateTableSyntax);
  if (create->columns.empty()) Fail(kDaoCreateTableSyntax);
  return create;
}

std::unique_ptr<CreateIndexStatement> JetSqlParser::ParseCreateIndex(bool unique) {
  lastClauseError_ = kDaoCreateIndexSyntax;
  auto index = std::make_unique<CreateIndexStatement>();
  index->unique = unique;
  index->index = ParseNewObjectName(kDaoCreateIndexSyntax);
  if (!AcceptWord("ON")) Fail(kDaoCreateIndexSyntax);
  index->table = ParseName(kDaoCreateIndexSyntax);
  if (!AcceptSymbol("(")) Fail(kDaoCreateIndexSyntax);
  do {
    IndexColumn column;
    column.name = ParseName(kDaoCreateIndexSyntax);
    if (AcceptWord("DESC")) {
      column.descending = true;
    } else {
      AcceptWord("ASC");
    }
    index->columns.push_back(std::move(column));
  } while (AcceptSymbol(","));
  if (!AcceptSymbol(")")) Fail(kDaoCreateIndexSyntax);
  if (index->columns.size() > 10) Fail(kDaoTooManyIndexFields);
  if (AcceptWord("WITH")) {
    bool any = false;
    while (true) {
      if (AcceptWord("PRIMARY")) {
        index->primary = true;
        index->unique = true;
      } else if (AtWord("DISALLOW") && AtWord("NULL", 1)) {
        Next();
        Next();
        index->disallowNull = true;
      } else if (AtWord("IGNORE") && AtWord("NULL", 1)) {
        Next();
        Next();
        index->ignoreNull = true;
      } else {
        break;
      }
      any = true;
    }
    if (!any) Fail(kDaoCreateIndexSyntax);
  }
  return index;
}

std::unique_ptr<AlterTableStatement> JetSqlParser::ParseAlterTable() {
  Next();  // ALTER
  lastClauseError_ = kDaoAlterTableSyntax;
  if (!AcceptWord("TABLE")) Fail(kDaoAlterTableSyntax);
  auto alter = std::make_unique<AlterTableStatement>();
  alter->table = ParseName(kDaoAlterTableSyntax);
  if (AcceptWord("ADD")) {
    if (AcceptWord("CONSTRAINT")) {
      alter->action = AlterTableStatement::Action::kAddConstraint;
      std::string name = ParseNewObjectName(kDaoConstraintSyntax);
      alter->constraints.push_back(ParseTableConstraint(std::move(name)));
    } else {
      AcceptWord("COLUMN");
      alter->action = AlterTableStatement::Action::kAddColumn;
      alter->column = ParseColumnDefinition(kDaoAlterTableSyntax, alter->constraints);
    }
  } else if (AtWord("ALTER")) {
    Next();
    AcceptWord("COLUMN");
    alter->action = AlterTableStatement::Action::kAlterColumn;
    alter->column = ParseColumnDefinition(kDaoAlterTableSyntax, alter->constraints);
  } else if (AcceptWord("DROP")) {
    if (AcceptWord("CONSTRAINT")) {
      alter->action = AlterTableStatement::Action::kDropConstraint;
    } else {
      AcceptWord("COLUMN");
      alter->action = AlterTableStatement::Action::kDropColumn;
    }
    alter->name = ParseName(kDaoAlterTableSyntax);
  } else {
    Fail(kDaoAlterTableSyntax);
  }
  return alter;
}

std::unique_ptr<DropStatement> JetSqlParser::ParseDrop() {
  Next();  // DROP
  lastClauseError_ = kDaoDropSyntax;
  auto drop = std::make_unique<DropStatement>();
  if (AcceptWord("TABLE")) {
    drop->name = ParseName(kDaoDropSyntax);
  } else if (AcceptWord("INDEX")) {
    drop->index = true;
    drop->name = ParseName(kDaoDropSyntax);
    if (!AcceptWord("ON")) Fail(kDaoDropSyntax);
    drop->table = ParseName(kDaoDropSyntax);
  } else {
    Fail(kDaoDropSyntax);
  }
  return drop;
}

// ---------------------------------------------------------------------------------------------
// Expressions

ExprPtr JetSqlParser::ParseStandaloneExpression() {
  ExprPtr expr = ParseTopExpression(ExprContext::kCondition, 0);
  if (!AtEnd()) FailExpression(syntax::kMissingOperator);
  return expr;
}

std::vector<OrderItem> JetSqlParser::ParseStandaloneOrderBy() {
  std::vector<OrderItem> items = ParseOrderItems(kDaoOrderBySyntax);
  if (!AtEnd()) Fail(kDaoOrderBySyntax);
  return items;
}

ExprPtr JetSqlParser::ParseTopExpression(ExprContext context, int emptyError) {
  const size_t savedStart = exprStart_;
  const ExprContext savedContext = exprContext_;
  exprStart_ = pos_;
  exprContext_ = context;
  const Token& first = Peek();
  if (first.kind == TokenKind::kError) FailExpression(first.text.c_str());
  if (!AtOperandStart() && !AtSymbol("-") && !AtSymbol("+")) {
    if (emptyError == 0) FailExpression(syntax::kGeneric);
    Fail(emptyError);
  }
  ExprPtr expr = ParseExpression();
  const Token& next = Peek();
  if (next.kind == TokenKind::kError) FailExpression(next.text.c_str());
  if (AtOperandStart()) FailExpression(syntax::kMissingOperator);
  if (next.IsSymbol(")") && parenDepth_ == 0) FailExpression(syntax::kExtraParen);
  exprStart_ = savedStart;
  exprContext_ = savedContext;
  return expr;
}

ExprPtr JetSqlParser::MakeNode(ExprKind kind, size_t begin, std::vector<ExprPtr> children) {
  auto node = std::make_unique<Expr>();
  node->kind = kind;
  node->begin = begin;
  node->end = tokens_[pos_ > 0 ? pos_ - 1 : 0].end;
  int depth = 0;
  for (const ExprPtr& child : children) {
    depth = std::max(depth, child->depth);
    node->begin = std::min(node->begin, child->begin);
  }
  node->depth = depth + 1;
  if (node->depth > kMaxDepth) Fail(kDaoQueryTooComplex);
  maxNodeDepth_ = std::max(maxNodeDepth_, node->depth);
  node->children = std::move(children);
  return node;
}

void JetSqlParser::AttachSubquery(Expr& node, SelectPtr subquery) {
  node.depth = std::max(node.depth, subqueryHeight_ + 1);
  if (node.depth > kMaxDepth) Fail(kDaoQueryTooComplex);
  maxNodeDepth_ = std::max(maxNodeDepth_, node.depth);
  node.subquery = std::move(subquery);
}

ExprPtr JetSqlParser::MakeBinary(BinaryOp op, ExprPtr left, ExprPtr right) {
  size_t begin = left->begin;
  std::vector<ExprPtr> children;
  children.push_back(std::move(left));
  children.push_back(std::move(right));
  ExprPtr node = MakeNode(ExprKind::kBinary, begin, std::move(children));
  node->binaryOp = op;
  return node;
}

ExprPtr JetSqlParser::ParseExpression() {
  Enter();
  ExprPtr expr = ParseImp();
  Leave();
  return expr;
}

ExprPtr JetSqlParser::ParseImp() {
  ExprPtr left = ParseEqv();
  while (AcceptWord("IMP")) left = MakeBinary(BinaryOp::kImp, std::move(left), ParseEqv());
  return left;
}

ExprPtr JetSqlParser::ParseEqv() {
  ExprPtr left = ParseXor();
  while (AcceptWord("EQV")) left = MakeBinary(BinaryOp::kEqv, std::move(left), ParseXor());
  return left;
}

ExprPtr JetSqlParser::ParseXor() {
  ExprPtr left = ParseOr();
  while (AcceptWord("XOR")) left = MakeBinary(BinaryOp::kXor, std::move(left), ParseOr());
  return left;
}

ExprPtr JetSqlParser::ParseOr() {
  ExprPtr left = ParseAnd();
  while (AcceptWord("OR")) left = MakeBinary(BinaryOp::kOr, std::move(left), ParseAnd());
  return left;
}

ExprPtr JetSqlParser::ParseAnd() {
  ExprPtr left = ParseNot();
  while (AcceptWord("AND")) left = MakeBinary(BinaryOp::kAnd, std::move(left), ParseNot());
  return left;
}

ExprPtr JetSqlParser::ParseNot() {
  if (!AtWord("NOT")) return ParseComparison();
  const size_t begin = Peek().begin;
  Next();
  Enter();
  std::vector<ExprPtr> children;
  children.push_back(ParseNot());
  Leave();
  ExprPtr node = MakeNode(ExprKind::kUnary, begin, std::move(children));
  node->unaryOp = UnaryOp::kNot;
  return node;
}

ExprPtr JetSqlParser::ParseComparison() {
  ExprPtr left = ParseConcat();
  while (true) {
    const Token& token = Peek();
    std::optional<BinaryOp> op;
    if (token.kind == TokenKind::kSymbol) {
      if (token.text == "=") op = BinaryOp::kEqual;
      else if (token.text == "<>") op = BinaryOp::kNotEqual;
      else if (token.text == "<") op = BinaryOp::kLess;
      else if (token.text == ">") op = BinaryOp::kGreater;
      else if (token.text == "<=") op = BinaryOp::kLessEqual;
      else if (token.text == ">=") op = BinaryOp::kGreaterEqual;
    }
    if (op) {
      Next();
      if ((AtWord("ANY") || AtWord("SOME") || AtWord("ALL")) && AtSymbol("(", 1)) {
        const bool all = Next().upper == "ALL";
        SelectPtr subquery = ParseParenthesisedSubquery();
        const size_t begin = left->begin;
        std::vector<ExprPtr> children;
        children.push_back(std::move(left));
        left = MakeNode(ExprKind::kQuantified, begin, std::move(children));
        left->binaryOp = *op;
        left->all = all;
        AttachSubquery(*left, std::move(subquery));
        continue;
      }
      left = MakeBinary(*op, std::move(left), ParseConcat());
      continue;
    }
    bool negated = false;
    if (AtWord("NOT") && (AtWord("LIKE", 1) || AtWord("IN", 1) || AtWord("BETWEEN", 1))) {
      Next();
      negated = true;
    }
    const size_t begin = left->begin;
    if (AcceptWord("LIKE")) {
      std::vector<ExprPtr> children;
      children.push_back(std::move(left));
      children.push_back(ParseConcat());
      left = MakeNode(ExprKind::kLike, begin, std::move(children));
      left->negated = negated;
      continue;
    }
    if (AcceptWord("BETWEEN")) {
      std::vector<ExprPtr> children;
      children.push_back(std::move(left));
      children.push_back(ParseConcat());
      if (!AcceptWord("AND")) FailExpression(syntax::kBetweenWithoutAnd);
      children.push_back(ParseConcat());
      left = MakeNode(ExprKind::kBetween, begin, std::move(children));
      left->negated = negated;
      continue;
    }
    if (AcceptWord("IN")) {
      if (!AtSymbol("(")) FailExpression(syntax::kInWithoutParens);
      std::vector<ExprPtr> children;
      children.push_back(std::move(left));
      if (AtWord("SELECT", 1)) {
        SelectPtr subquery = ParseParenthesisedSubquery();
        left = MakeNode(ExprKind::kInSelect, begin, std::move(children));
        AttachSubquery(*left, std::move(subquery));
      } else {
        Next();
        ++parenDepth_;
        Enter();
        do {
          children.push_back(ParseExpression());
        } while (AcceptSymbol(","));
        Leave();
        if (!AcceptSymbol(")")) FailExpression(syntax::kMissingParen);
        --parenDepth_;
        left = MakeNode(ExprKind::kInList, begin, std::move(children));
      }
      left->negated = negated;
      continue;
    }
    if (AcceptWord("IS")) {
      const bool isNot = AcceptWord("NOT");
      if (!AcceptWord("NULL")) FailExpression(syntax::kIsOperator);
      std::vector<ExprPtr> children;
      children.push_back(std::move(left));
      left = MakeNode(ExprKind::kIsNull, begin, std::move(children));
      left->negated = isNot;
      continue;
    }
    break;
  }
  return left;
}

ExprPtr JetSqlParser::ParseConcat() {
  ExprPtr left = ParseAdditive();
  while (AcceptSymbol("&")) left = MakeBinary(BinaryOp::kConcat, std::move(left), ParseAdditive());
  return left;
}

ExprPtr JetSqlParser::ParseAdditive() {
  ExprPtr left = ParseMod();
  while (true) {
    if (AcceptSymbol("+")) {
      left = MakeBinary(BinaryOp::kAdd, std::move(left), ParseMod());
    } else if (AcceptSymbol("-")) {
      left = MakeBinary(BinaryOp::kSubtract, std::move(left), ParseMod());
    } else {
      return left;
    }
  }
}

ExprPtr JetSqlParser::ParseMod() {
  ExprPtr left = ParseIntDivide();
  while (AcceptWord("MOD")) left = MakeBinary(BinaryOp::kMod, std::move(left), ParseIntDivide());
  return left;
}

ExprPtr JetSqlParser::ParseIntDivide() {
  ExprPtr left = ParseMultiplicative();
  while (AcceptSymbol("\\")) left = MakeBinary(BinaryOp::kIntDivide, std::move(left), ParseMultiplicative());
  return left;
}

ExprPtr JetSqlParser::ParseMultiplicative() {
  ExprPtr left = ParseUnary();
  while (true) {
    if (AcceptSymbol("*")) {
      left = MakeBinary(BinaryOp::kMultiply, std::move(left), ParseUnary());
    } else if (AcceptSymbol("/")) {
      left = MakeBinary(BinaryOp::kDivide, std::move(left), ParseUnary());
    } else {
      return left;
    }
  }
}

ExprPtr JetSqlParser::ParseUnary() {
  if (!AtSymbol("-") && !AtSymbol("+")) return ParsePower();
  const Token& sign = Next();
  const size_t begin = sign.begin;
  const UnaryOp op = sign.text == "-" ? UnaryOp::kNegate : UnaryOp::kPlus;
  Enter();
  std::vector<ExprPtr> children;
  children.push_back(ParseUnary());
  Leave();
  ExprPtr node = MakeNode(ExprKind::kUnary, begin, std::move(children));
  node->unaryOp = op;
  return node;
}

ExprPtr JetSqlParser::ParsePower() {
  ExprPtr left = ParsePrimary();
  while (AcceptSymbol("^")) left = MakeBinary(BinaryOp::kPower, std::move(left), ParsePowerOperand());
  return left;
}

// The exponent may carry its own sign: 2 ^ -1.
ExprPtr JetSqlParser::ParsePowerOperand() {
  if (!AtSymbol("-") && !AtSymbol("+")) return ParsePrimary();
  const Token& sign = Next();
  const size_t begin = sign.begin;
  const UnaryOp op = sign.text == "-" ? UnaryOp::kNegate : UnaryOp::kPlus;
  Enter();
  std::vector<ExprPtr> children;
  children.push_back(ParsePowerOperand());
  Leave();
  ExprPtr node = MakeNode(ExprKind::kUnary, begin, std::move(children));
  node->unaryOp = op;
  return node;
}

SelectPtr JetSqlParser::ParseParenthesisedSubquery() {
  Enter();
  Next();  // (
  ++parenDepth_;
  SelectPtr subquery = ParseSelectStatement(false);
  if (!AcceptSymbol(")")) FailExpression(syntax::kMissingParen);
  --parenDepth_;
  Leave();
  subqueryHeight_ = lastSelectHeight_;
  return subquery;
}

ExprPtr JetSqlParser::ParsePrimary() {
  const Token& token = Peek();
  const size_t begin = token.begin;
  switch (token.kind) {
    case TokenKind::kNumber: {
      Next();
      ExprPtr node = MakeNode(ExprKind::kNumber, begin, {});
      node->text = token.text;
      return node;
    }
    case TokenKind::kString:
    case TokenKind::kDate:
    case TokenKind::kGuid: {
      Next();
      ExprKind kind = token.kind == TokenKind::kString ? ExprKind::kString
                      : token.kind == TokenKind::kDate ? ExprKind::kDate
                                                       : ExprKind::kGuid;
      ExprPtr node = MakeNode(kind, begin, {});
      node->text = token.text;
      return node;
    }
    case TokenKind::kError:
      FailExpression(token.text.c_str());
    case TokenKind::kBracketName:
      return ParseNameOrCall();
    case TokenKind::kWord: {
      const std::string& word = token.upper;
      if (word == "NULL") {
        Next();
        return MakeNode(ExprKind::kNull, begin, {});
      }
      if (word == "TRUE" || word == "YES" || word == "ON" || word == "FALSE" || word == "NO" || word == "OFF") {
        const bool isTrue = word == "TRUE" || word == "YES" || word == "ON";
        Next();
        ExprPtr node = MakeNode(ExprKind::kBoolean, begin, {});
        node->number = isTrue ? -1 : 0;
        return node;
      }
      if (word == "EXISTS") {
        Next();
        if (!AtSymbol("(") || !AtWord("SELECT", 1)) FailExpression(syntax::kMissingOperator);
        SelectPtr subquery = ParseParenthesisedSubquery();
        ExprPtr node = MakeNode(ExprKind::kExists, begin, {});
        AttachSubquery(*node, std::move(subquery));
        return node;
      }
      if (word == "@@IDENTITY") {
        Next();
        return MakeNode(ExprKind::kIdentity, begin, {});
      }
      if (IsReserved(word) || word[0] == '@') FailExpression(syntax::kMissingOperator);
      return ParseNameOrCall();
    }
    case TokenKind::kSymbol:
      if (token.text == "(") {
        if (AtWord("SELECT", 1)) {
          SelectPtr subquery = ParseParenthesisedSubquery();
          ExprPtr node = MakeNode(ExprKind::kSubquery, begin, {});
          AttachSubquery(*node, std::move(subquery));
          return node;
        }
        Enter();
        Next();
        ++parenDepth_;
        std::vector<ExprPtr> children;
        children.push_back(ParseExpression());
        if (AtSymbol(",")) FailExpression(syntax::kComma);
        if (!AcceptSymbol(")")) FailExpression(syntax::kMissingParen);
        --parenDepth_;
        Leave();
        return MakeNode(ExprKind::kParen, begin, std::move(children));
      }
      if (token.text == ")" && parenDepth_ == 0) FailExpression(syntax::kExtraParen);
      FailExpression(syntax::kMissingOperator);
    case TokenKind::kEnd:
      FailExpression(syntax::kMissingOperator);
  }
  FailExpression(syntax::kGeneric);
}

ExprPtr JetSqlParser::ParseNameOrCall() {
  const Token& first = Next();
  const size_t begin = first.begin;
  if (first.kind == TokenKind::kWord && AtSymbol("(")) {
    const JetFunctionInfo* info = FindJetFunction(first.text);
    if (info == nullptr) Fail(kDaoUndefinedFunction, {first.text});
    Next();  // (
    ++parenDepth_;
    Enter();
    std::vector<ExprPtr> args;
    bool star = false;
    if (AtSymbol("*") && AtSymbol(")", 1) && std::string_view(info->jetName) == "COUNT") {
      Next();
      star = true;
    } else if (!AtSymbol(")")) {
      do {
        args.push_back(ParseExpression());
      } while (AcceptSymbol(","));
    }
    Leave();
    if (!AcceptSymbol(")")) FailExpression(syntax::kMissingParen);
    --parenDepth_;
    const int count = static_cast<int>(args.size()) + (star ? 1 : 0);
    if (count < info->minArgs || count > info->maxArgs ||
        (info->role == FunctionRole::kSwitch && count % 2 != 0)) {
      FailExpression(syntax::kArgumentCount);
    }
    ExprPtr node = MakeNode(ExprKind::kFunction, begin, std::move(args));
    node->text = first.text;
    node->upper = info->jetName;
    node->star = star;
    return node;
  }
  std::vector<std::string> names{first.text};
  while (AtSymbol(".") || AtSymbol("!")) {
    if (!AtNameToken(1)) FailExpression(syntax::kInvalidDot);
    Next();
    names.push_back(Next().text);
  }
  if (AtSymbol("(")) FailExpression(syntax::kInvalidDot);
  ExprPtr node = MakeNode(ExprKind::kColumn, begin, {});
  node->names = std::move(names);
  return node;
}

}  // namespace lumo::jet
