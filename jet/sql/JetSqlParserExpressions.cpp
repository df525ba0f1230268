// JetSqlParser: expressions, by Jet's operator precedence (loosest first): Imp, Eqv, Xor, Or,
// And, Not, comparisons (= <> < > <= >= Like Is Between In), &, + -, Mod, \, * /, unary -, ^.

#include <algorithm>

#include "jet/DaoErrors.h"
#include "jet/sql/JetFunctionCatalogue.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

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
      if (token.text == "=")
        op = BinaryOp::kEqual;
      else if (token.text == "<>")
        op = BinaryOp::kNotEqual;
      else if (token.text == "<")
        op = BinaryOp::kLess;
      else if (token.text == ">")
        op = BinaryOp::kGreater;
      else if (token.text == "<=")
        op = BinaryOp::kLessEqual;
      else if (token.text == ">=")
        op = BinaryOp::kGreaterEqual;
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
    // At the top of a crosstab's pivot expression IN begins the fixed headings.
    const bool inAllowed = parenDepth_ != pivotParenDepth_;
    if (AtWord("NOT") && (AtWord("LIKE", 1) || (inAllowed && AtWord("IN", 1)) || AtWord("BETWEEN", 1))) {
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
    if (inAllowed && AcceptWord("IN")) {
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
    case TokenKind::kError: FailExpression(token.text.c_str());
    case TokenKind::kBracketName: return ParseNameOrCall();
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
      if ((IsReservedWord(word) && !(AtSymbol("(", 1) && FindJetFunction(word) != nullptr)) || word[0] == '@') {
        FailExpression(syntax::kMissingOperator);
      }
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
    case TokenKind::kEnd: FailExpression(syntax::kMissingOperator);
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
    if (count < info->minArgs || count > info->maxArgs || (info->role == FunctionRole::kSwitch && count % 2 != 0)) {
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
