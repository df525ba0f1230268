#include "jet/sql/JetSqlEmitter.h"

#include <algorithm>
#include <cstdlib>

#include "jet/DaoErrors.h"
#include "jet/sql/JetFunctionCatalogue.h"
#include "jet/sql/JetSqlEmitterUtil.h"
#include "jet/sql/JetSqlParser.h"
#include "jet/sql/JetText.h"

namespace lumo::jet {

using namespace emit;

namespace {

// SQLite's operator precedence, loosest first, as far as the emitted text uses it.
constexpr int kPrecOr = 1;
constexpr int kPrecAnd = 2;
constexpr int kPrecNot = 3;
constexpr int kPrecEquality = 4;    // = <> IS IN LIKE BETWEEN
constexpr int kPrecRelational = 5;  // < > <= >=
constexpr int kPrecAdd = 7;
constexpr int kPrecMultiply = 8;
constexpr int kPrecCollate = 10;
constexpr int kPrecUnary = 11;
constexpr int kPrecPrimary = 12;

// Orders the bounds of a Between on literals, which Jet accepts in either order.
bool LiteralGreater(const Expr& a, const Expr& b, bool* comparable) {
  *comparable = false;
  if (a.kind == ExprKind::kNumber && b.kind == ExprKind::kNumber) {
    *comparable = true;
    return std::strtod(a.text.c_str(), nullptr) > std::strtod(b.text.c_str(), nullptr);
  }
  if ((a.kind == ExprKind::kString || a.kind == ExprKind::kDate) && a.kind == b.kind) {
    *comparable = true;
    return Utf8ToLower(a.text) > Utf8ToLower(b.text);
  }
  return false;
}

const char* ComparisonText(BinaryOp op) {
  switch (op) {
    case BinaryOp::kEqual: return " = ";
    case BinaryOp::kNotEqual: return " <> ";
    case BinaryOp::kLess: return " < ";
    case BinaryOp::kGreater: return " > ";
    case BinaryOp::kLessEqual: return " <= ";
    case BinaryOp::kGreaterEqual: return " >= ";
    default: return " = ";
  }
}

const char* OperatorFunction(BinaryOp op) {
  switch (op) {
    case BinaryOp::kImp: return "jet_imp";
    case BinaryOp::kEqv: return "jet_eqv";
    case BinaryOp::kXor: return "jet_xor";
    case BinaryOp::kOr: return "jet_or";
    case BinaryOp::kAnd: return "jet_and";
    case BinaryOp::kConcat: return "jet_concat";
    case BinaryOp::kAdd: return "jet_add";
    case BinaryOp::kSubtract: return "jet_sub";
    case BinaryOp::kMod: return "jet_mod";
    case BinaryOp::kIntDivide: return "jet_idiv";
    case BinaryOp::kMultiply: return "jet_mul";
    case BinaryOp::kDivide: return "jet_div";
    case BinaryOp::kPower: return "jet_pow";
    default: return "jet_add";
  }
}

}  // namespace

JetSqlEmitter::JetSqlEmitter(const TranslateOptions& options, const std::vector<ParameterDeclaration>& declared)
    : options_(options),
      dialect_(options.dialect != nullptr ? *options.dialect : storage::DefaultSqlDialect()),
      declared_(declared) {
  for (const std::string& name : options.knownParameters) knownUpper_.push_back(UpperName(name));
  for (const ParameterDeclaration& declaration : declared) knownUpper_.push_back(UpperName(declaration.name));
}

std::vector<TranslatedParameter> JetSqlEmitter::Parameters() const {
  std::vector<TranslatedParameter> result = parameters_;
  int next = options_.firstParameterNumber + static_cast<int>(parameters_.size());
  for (const ParameterDeclaration& declaration : declared_) {
    if (parameterIndex_.count(UpperName(declaration.name)) != 0) continue;
    bool listed = std::any_of(result.begin(), result.end(),
                              [&](const TranslatedParameter& p) { return SameName(p.name, declaration.name); });
    if (listed) continue;
    TranslatedParameter parameter;
    parameter.name = declaration.name;
    parameter.number = next++;
    parameter.daoType = declaration.type.type;
    parameter.declared = true;
    parameter.referenced = false;
    result.push_back(std::move(parameter));
  }
  return result;
}

std::optional<int> JetSqlEmitter::ParameterNumber(const std::vector<std::string>& names) {
  const std::string joined = JoinNames(names);
  const std::string upper = UpperName(joined);
  if (std::find(knownUpper_.begin(), knownUpper_.end(), upper) == knownUpper_.end()) return std::nullopt;
  auto found = parameterIndex_.find(upper);
  if (found != parameterIndex_.end()) return parameters_[found->second].number;
  TranslatedParameter parameter;
  parameter.name = joined;
  parameter.number = options_.firstParameterNumber + static_cast<int>(parameters_.size());
  for (const ParameterDeclaration& declaration : declared_) {
    if (UpperName(declaration.name) == upper) {
      parameter.declared = true;
      parameter.daoType = declaration.type.type;
      parameter.name = declaration.name;
    }
  }
  parameterIndex_[upper] = parameters_.size();
  parameters_.push_back(parameter);
  return parameter.number;
}

// ---------------------------------------------------------------------------------------------
// Expressions

bool JetSqlEmitter::IsPlainColumn(const Expr& expr) const {
  const Expr& e = StripParens(expr);
  if (e.kind != ExprKind::kColumn) return false;
  const std::string upper = UpperName(JoinNames(e.names));
  return std::find(knownUpper_.begin(), knownUpper_.end(), upper) == knownUpper_.end();
}

bool JetSqlEmitter::IsPlainlyNumeric(const Expr& expr) const {
  switch (expr.kind) {
    case ExprKind::kNumber:
    case ExprKind::kBoolean:
    case ExprKind::kNull: return true;
    case ExprKind::kParen: return IsPlainlyNumeric(*expr.children[0]);
    case ExprKind::kUnary: return expr.unaryOp != UnaryOp::kNot && IsPlainlyNumeric(*expr.children[0]);
    case ExprKind::kBinary:
      return (expr.binaryOp == BinaryOp::kAdd || expr.binaryOp == BinaryOp::kSubtract ||
              expr.binaryOp == BinaryOp::kMultiply) &&
             IsPlainlyNumeric(*expr.children[0]) && IsPlainlyNumeric(*expr.children[1]);
    case ExprKind::kFunction: {
      const JetFunctionInfo* info = FindJetFunction(expr.upper);
      return info != nullptr && info->numericResult;
    }
    default: return false;
  }
}

bool JetSqlEmitter::IsNumberValued(const Expr& expr) const {
  if (IsPlainlyNumeric(expr)) return true;
  switch (expr.kind) {
    case ExprKind::kParen: return IsNumberValued(*expr.children[0]);
    case ExprKind::kUnary: return true;
    case ExprKind::kBinary:
      // + may join texts and - may move a date; the others always give numbers.
      return expr.binaryOp != BinaryOp::kAdd && expr.binaryOp != BinaryOp::kSubtract &&
             expr.binaryOp != BinaryOp::kConcat;
    case ExprKind::kLike:
    case ExprKind::kBetween:
    case ExprKind::kInList:
    case ExprKind::kInSelect:
    case ExprKind::kIsNull:
    case ExprKind::kExists:
    case ExprKind::kQuantified:
    case ExprKind::kIdentity: return true;
    default: return false;
  }
}

storage::SqlOperand JetSqlEmitter::Operand(const Expr& expr) {
  return {Value(expr).text, TypeOf(expr).type, ColumnOfType(expr, dbBoolean) != nullptr};
}

std::string JetSqlEmitter::Call(const char* name, const std::vector<const Expr*>& args, std::string_view jetName) {
  std::vector<storage::SqlOperand> operands;
  for (const Expr* arg : args) operands.push_back(Operand(*arg));
  return EngineCall(name, operands, jetName);
}

std::string JetSqlEmitter::EngineCall(const char* name, const std::vector<storage::SqlOperand>& operands,
                                      std::string_view jetName) const {
  std::optional<std::string> text = dialect_.EngineCall(name, operands);
  // A function the back-end cannot run is undefined there, as Jet's missing functions are.
  if (!text) throw JetSqlError{kDaoUndefinedFunction, {std::string(jetName.empty() ? name : jetName)}};
  return *text;
}

std::string JetSqlEmitter::EngineCall(const char* name, const std::string& operand) const {
  return EngineCall(name, std::vector<storage::SqlOperand>{{operand, 0, false}}, {});
}

JetSqlEmitter::Fragment JetSqlEmitter::Column(const Expr& expr) {
  if (auto number = ParameterNumber(expr.names)) {
    int daoType = 0;
    for (const TranslatedParameter& parameter : parameters_) {
      if (parameter.number == *number) daoType = parameter.daoType;
    }
    return {dialect_.ParameterMarker(*number, daoType), kPrecPrimary};
  }
  if (stripQualifiers_) return {Quote(expr.names.back()), kPrecPrimary};
  // SQLite names have at most three parts; a longer one (Forms!F!C!x) can only be a
  // parameter, so it goes as one name and comes back as "no such column".
  if (expr.names.size() > 3) return {Quote(JoinNames(expr.names)), kPrecPrimary};
  std::vector<std::string> names = expr.names;
  if (dialect_.NamesAsStored()) {
    if (const SchemaColumn* column = FindColumn(expr)) names.back() = column->name;
    // A table named without an alias is named as the FROM list names it.
    bool named = names.size() != 2;
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend() && !named; ++scope) {
      for (const ScopeEntry& entry : *scope) {
        if (!named && SameName(entry.name, names[0])) {
          if (!entry.table.empty() && SameName(entry.name, entry.table)) names[0] = TableName(entry.table);
          named = true;
        }
      }
    }
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += '.';
    text += Quote(names[i]);
  }
  return {text, kPrecPrimary};
}

std::string JetSqlEmitter::TableName(const std::string& table) const {
  if (!dialect_.NamesAsStored() || options_.schema == nullptr) return table;
  return options_.schema->StoredTableName(table);
}

std::string JetSqlEmitter::ColumnName(const std::string& table, const std::string& column) const {
  if (!dialect_.NamesAsStored() || options_.schema == nullptr) return column;
  if (const std::vector<SchemaColumn>* columns = options_.schema->Columns(table)) {
    for (const SchemaColumn& known : *columns) {
      if (SameName(known.name, column)) return known.name;
    }
  }
  return column;
}

JetSqlEmitter::Fragment JetSqlEmitter::Value(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::kNull: return {"NULL", kPrecPrimary};
    case ExprKind::kNumber: return {expr.text, kPrecPrimary};
    case ExprKind::kString:
    case ExprKind::kDate:
    case ExprKind::kGuid: return {Literal(expr.text), kPrecPrimary};
    case ExprKind::kBoolean: return {expr.number == 0 ? "0" : "-1", expr.number == 0 ? kPrecPrimary : kPrecUnary};
    case ExprKind::kColumn: return Column(expr);
    case ExprKind::kIdentity:
      return {EngineCall("jet_identity", std::vector<storage::SqlOperand>{}, "@@IDENTITY"), kPrecPrimary};
    case ExprKind::kParen: return {"(" + Value(*expr.children[0]).text + ")", kPrecPrimary};
    case ExprKind::kUnary: {
      const Expr& operand = *expr.children[0];
      if (expr.unaryOp == UnaryOp::kPlus) return Value(operand);
      if (expr.unaryOp == UnaryOp::kNot) return {Call("jet_not", {&operand}), kPrecPrimary};
      if (!IsPlainlyNumeric(operand)) return {Call("jet_neg", {&operand}), kPrecPrimary};
      Fragment inner = Value(operand);
      std::string text = Wrap(inner.text, inner.precedence, kPrecUnary);
      // "--" would start a comment.
      if (!text.empty() && text[0] == '-') text = "(" + text + ")";
      return {"-" + text, kPrecUnary};
    }
    case ExprKind::kBinary: {
      const BinaryOp op = expr.binaryOp;
      if (IsComparison(op)) return {dialect_.TruthValue(Comparison(expr).text), kPrecUnary};
      const Expr& left = *expr.children[0];
      const Expr& right = *expr.children[1];
      const bool additive = op == BinaryOp::kAdd || op == BinaryOp::kSubtract || op == BinaryOp::kMultiply;
      if (additive && TypeOf(expr).type == dbCurrency) {
        // Currency stays exact: computed on amounts scaled to integers.
        const char* name = op == BinaryOp::kAdd        ? "jet_cur_add"
                           : op == BinaryOp::kSubtract ? "jet_cur_sub"
                                                       : "jet_cur_mul";
        return {Call(name, {&left, &right}), kPrecPrimary};
      }
      if (additive && IsPlainlyNumeric(left) && IsPlainlyNumeric(right)) {
        const int precedence = op == BinaryOp::kMultiply ? kPrecMultiply : kPrecAdd;
        const char* symbol = op == BinaryOp::kAdd ? " + " : op == BinaryOp::kSubtract ? " - " : " * ";
        Fragment l = Value(left);
        Fragment r = Value(right);
        return {Wrap(l.text, l.precedence, precedence) + symbol + Wrap(r.text, r.precedence, precedence + 1),
                precedence};
      }
      return {Call(OperatorFunction(op), {&left, &right}), kPrecPrimary};
    }
    case ExprKind::kFunction: return Function(expr);
    case ExprKind::kSubquery: return {"(" + ExpressionSubquery(*expr.subquery) + ")", kPrecPrimary};
    case ExprKind::kFiltered:
      return {Value(*expr.children[0]).text + " FILTER (WHERE " + Condition(*expr.children[1]).text + ")",
              kPrecPrimary};
    case ExprKind::kPivotCell:
      return {"CASE WHEN count(*) FILTER (WHERE " + Condition(*expr.children[0]).text + ") > 0 THEN " +
                  Value(*expr.children[1]).text + " END",
              kPrecPrimary};
    case ExprKind::kLike:
    case ExprKind::kBetween:
    case ExprKind::kInList:
    case ExprKind::kInSelect:
    case ExprKind::kIsNull:
    case ExprKind::kExists:
    case ExprKind::kQuantified:
      // A truth value used as a value reads -1/0, as Jet's True and False.
      return {dialect_.TruthValue(Condition(expr).text), kPrecUnary};
  }
  return {"NULL", kPrecPrimary};
}

namespace {

// The comparison as the other side would write it: a < b is b > a.
BinaryOp Mirrored(BinaryOp op) {
  switch (op) {
    case BinaryOp::kLess: return BinaryOp::kGreater;
    case BinaryOp::kGreater: return BinaryOp::kLess;
    case BinaryOp::kLessEqual: return BinaryOp::kGreaterEqual;
    case BinaryOp::kGreaterEqual: return BinaryOp::kLessEqual;
    default: return op;
  }
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsTextType(const JetFieldType& type) { return type.type == dbText || type.type == dbMemo || type.type == dbChar; }

}  // namespace

bool JetSqlEmitter::IsTextValued(const Expr& expr) { return IsTextType(TypeOf(expr)); }

const SchemaColumn* JetSqlEmitter::TextColumn(const Expr& expr) {
  const SchemaColumn* column = FindColumn(StripParens(expr));
  return column != nullptr && IsTextType(column->type) ? column : nullptr;
}

bool JetSqlEmitter::IsNotText(const Expr& expr) {
  if (IsNumberValued(expr)) return true;
  const Expr& e = StripParens(expr);
  if (e.kind == ExprKind::kDate || e.kind == ExprKind::kGuid) return true;
  const int type = TypeOf(e).type;
  return type != 0 && !IsTextType(TypeOf(e));
}

// A text column compared with a value. NOCASE, the column's collation, ignores the case of
// ASCII letters only, so a value whose letters it would treat differently from Jet is compared
// by the collation jet_text, and the bounds of the candidates, in the column's own order, keep
// the comparison on the column's index. The whole is true exactly when the jet_text
// comparison is.
std::string JetSqlEmitter::TextColumnComparison(const Fragment& column, const SchemaColumn& info, BinaryOp op,
                                                const Expr& valueExpr, const Fragment& value) {
  const int precedence = (op == BinaryOp::kEqual || op == BinaryOp::kNotEqual) ? kPrecEquality : kPrecRelational;
  const std::string c = Wrap(column.text, column.precedence, precedence);
  const std::string plain = c + ComparisonText(op) + Wrap(value.text, value.precedence, precedence + 1);
  const std::string exact =
      (dialect_.JetTextOnBothSides() ? JetTextValue(column) : c) + ComparisonText(op) + JetTextValue(value);
  // A column compared as stored (a foreign file's TEXT) has no index order to help.
  if (!info.noCase) return exact;
  const Expr& v = StripParens(valueExpr);
  const bool ordering = op != BinaryOp::kEqual && op != BinaryOp::kNotEqual;
  const bool below = op == BinaryOp::kLess || op == BinaryOp::kLessEqual;
  if (v.kind == ExprKind::kString) {
    // NOCASE already decides an equality without other-case letters, and any order against
    // ASCII text.
    if (ordering ? IsAscii(v.text) : !HasFoldVariants(v.text)) return plain;
    if (op == BinaryOp::kNotEqual) return exact;
    if (op == BinaryOp::kEqual) {
      return c + " BETWEEN " + Literal(FirstFoldVariant(v.text)) + " AND " + Literal(LastFoldVariant(v.text)) +
             " AND " + exact;
    }
    if (below) {
      auto ceiling = FoldCeiling(v.text);
      return ceiling ? c + " < " + Literal(*ceiling) + " AND " + exact : exact;
    }
    const std::string floor = FoldFloor(v.text);
    return floor.empty() ? exact : c + " >= " + Literal(floor) + " AND " + exact;
  }
  // A parameter or another column: the bounds are computed from its value.
  const bool bounded = v.kind == ExprKind::kColumn && op != BinaryOp::kNotEqual;
  if (!bounded) return exact;
  const std::string x = value.text;
  if (op == BinaryOp::kEqual) {
    return c + " BETWEEN " + EngineCall("jet_text_first", x) + " AND " + EngineCall("jet_text_last", x) + " AND " +
           exact;
  }
  if (below) return c + " <= " + EngineCall("jet_text_ceiling", x) + " AND " + exact;
  return c + " >= " + EngineCall("jet_text_floor", x) + " AND " + exact;
}

const SchemaColumn* JetSqlEmitter::ColumnOfType(const Expr& expr, int daoType) {
  const SchemaColumn* column = FindColumn(StripParens(expr));
  return column != nullptr && column->type.type == daoType ? column : nullptr;
}

// A date column compared with a date. The engine stores dates in one form, but a file made by
// another tool may hold '2024-01-15' or '2024-01-15 10:00:00', which compare as text otherwise
// than as dates. Every form begins with its day, so the column's index finds the candidates by
// the day, and only the rows of the day the value lies in are compared in the stored form
// (jet_datekey); the engine's own dates come out the same either way.
JetSqlEmitter::Fragment JetSqlEmitter::DateColumnComparison(const Fragment& column, BinaryOp op, const Expr& valueExpr,
                                                            const Fragment& value) {
  const std::string c = Wrap(column.text, column.precedence, kPrecRelational + 1);
  const std::string v = Wrap(value.text, value.precedence, kPrecRelational + 1);
  const Expr& literal = StripParens(valueExpr);
  std::string day;
  std::string nextDay;
  if (literal.kind == ExprKind::kDate && literal.text.size() >= 10) {
    std::string next = literal.text.substr(0, 10);
    ++next.back();
    day = Literal(literal.text.substr(0, 10));
    nextDay = Literal(next);
  } else {
    day = EngineCall("jet_date_day", value.text);
    nextDay = EngineCall("jet_date_nextday", value.text);
  }
  const std::string key = EngineCall("jet_datekey", column.text) + ComparisonText(op) + v;
  switch (op) {
    case BinaryOp::kEqual: return {c + " >= " + day + " AND " + c + " < " + nextDay + " AND " + key, kPrecAnd};
    case BinaryOp::kNotEqual:
      return {"(" + c + " < " + day + " OR " + c + " >= " + nextDay + " OR " + key + ")", kPrecPrimary};
    case BinaryOp::kLess:
    case BinaryOp::kLessEqual: return {c + " < " + nextDay + " AND (" + c + " < " + day + " OR " + key + ")", kPrecAnd};
    default: return {c + " >= " + day + " AND (" + c + " >= " + nextDay + " OR " + key + ")", kPrecAnd};
  }
}

// A Yes/No column holds -1 for True in the engine's files, 1 or any other number in files of
// other tools; compared, it counts by what it reads as.
std::string JetSqlEmitter::TruthOfColumn(const Fragment& column) {
  return dialect_.TruthOfColumn(Wrap(column.text, column.precedence, kPrecEquality + 1));
}

JetSqlEmitter::Fragment JetSqlEmitter::BooleanColumnComparison(const Fragment& column, BinaryOp op,
                                                               const Expr& valueExpr, const Fragment& value) {
  const Expr& literal = StripParens(valueExpr);
  const std::string c = Wrap(column.text, column.precedence, kPrecEquality + 1);
  if (literal.kind == ExprKind::kBoolean && (op == BinaryOp::kEqual || op == BinaryOp::kNotEqual)) {
    const bool isTrue = (literal.number != 0) == (op == BinaryOp::kEqual);
    return {dialect_.ColumnIsTrue(c, isTrue), kPrecEquality};
  }
  const int precedence = (op == BinaryOp::kEqual || op == BinaryOp::kNotEqual) ? kPrecEquality : kPrecRelational;
  return {TruthOfColumn(column) + ComparisonText(op) + Wrap(value.text, value.precedence, precedence + 1), precedence};
}

JetSqlEmitter::Fragment JetSqlEmitter::Comparison(const Expr& expr) {
  const Expr& left = *expr.children[0];
  const Expr& right = *expr.children[1];
  const BinaryOp op = expr.binaryOp;
  const int precedence = (op == BinaryOp::kEqual || op == BinaryOp::kNotEqual) ? kPrecEquality : kPrecRelational;
  Fragment l = Value(left);
  Fragment r = Value(right);
  // Dates and Yes/No values of files made by other tools compare by what they read as.
  auto isDateValue = [&](const Expr& e) { return !IsPlainColumn(e) && TypeOf(e).type == dbDate; };
  if (ColumnOfType(left, dbDate) != nullptr && isDateValue(right)) return DateColumnComparison(l, op, right, r);
  if (ColumnOfType(right, dbDate) != nullptr && isDateValue(left)) {
    return DateColumnComparison(r, Mirrored(op), left, l);
  }
  if (ColumnOfType(left, dbBoolean) != nullptr && !IsPlainColumn(right)) {
    return BooleanColumnComparison(l, op, right, r);
  }
  if (ColumnOfType(right, dbBoolean) != nullptr && !IsPlainColumn(left)) {
    return BooleanColumnComparison(r, Mirrored(op), left, l);
  }
  // A text column: Jet's comparison, kept on the column's index.
  if (const SchemaColumn* column = TextColumn(left); column != nullptr && !IsNotText(right)) {
    const std::string text = TextColumnComparison(l, *column, op, right, r);
    return {text, text.find(" AND ") != std::string::npos ? kPrecAnd : precedence};
  }
  if (const SchemaColumn* column = TextColumn(right); column != nullptr && !IsNotText(left)) {
    const std::string text = TextColumnComparison(r, *column, Mirrored(op), left, l);
    return {text, text.find(" AND ") != std::string::npos ? kPrecAnd : precedence};
  }
  std::string rightText = Wrap(r.text, r.precedence, precedence + 1);
  // A column of unknown type brings its own collation (NOCASE for the engine's text); elsewhere
  // Jet's case-insensitive comparison must be asked for, unless a side is a number and the
  // collation cannot matter.
  std::string leftText = Wrap(l.text, l.precedence, precedence);
  if (!IsPlainColumn(left) && !IsPlainColumn(right) && !IsNotText(left) && !IsNotText(right)) {
    rightText = JetTextValue(r);
    if (dialect_.JetTextOnBothSides()) leftText = JetTextValue(l);
  }
  return {leftText + ComparisonText(op) + rightText, precedence};
}

JetSqlEmitter::Fragment JetSqlEmitter::Condition(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::kParen: return {"(" + Condition(*expr.children[0]).text + ")", kPrecPrimary};
    case ExprKind::kUnary:
      if (expr.unaryOp == UnaryOp::kNot) {
        Fragment inner = Condition(*expr.children[0]);
        return {"NOT " + Wrap(inner.text, inner.precedence, kPrecNot), kPrecNot};
      }
      return TruthOf(expr);
    case ExprKind::kBinary: {
      const BinaryOp op = expr.binaryOp;
      if (IsComparison(op)) return Comparison(expr);
      if (op == BinaryOp::kAnd || op == BinaryOp::kOr) {
        const int precedence = op == BinaryOp::kAnd ? kPrecAnd : kPrecOr;
        Fragment l = Condition(*expr.children[0]);
        Fragment r = Condition(*expr.children[1]);
        return {Wrap(l.text, l.precedence, precedence) + (op == BinaryOp::kAnd ? " AND " : " OR ") +
                    Wrap(r.text, r.precedence, precedence + 1),
                precedence};
      }
      return TruthOf(expr);
    }
    case ExprKind::kLike: {
      std::string call = Call("jet_like", {expr.children[0].get(), expr.children[1].get()}, "Like");
      if (expr.negated) return {"NOT " + call, kPrecNot};
      return {call, kPrecPrimary};
    }
    case ExprKind::kBetween: {
      const Expr& value = *expr.children[0];
      const Expr* low = expr.children[1].get();
      const Expr* high = expr.children[2].get();
      bool comparable = false;
      if (LiteralGreater(*low, *high, &comparable)) std::swap(low, high);
      Fragment v = Value(value);
      if (comparable && ColumnOfType(value, dbDate) != nullptr && TypeOf(*low).type == dbDate &&
          TypeOf(*high).type == dbDate) {
        // Dates as other tools store them: the two ends compared as dates.
        const Fragment from = DateColumnComparison(v, BinaryOp::kGreaterEqual, *low, Value(*low));
        const Fragment to = DateColumnComparison(v, BinaryOp::kLessEqual, *high, Value(*high));
        const std::string both = from.text + " AND " + to.text;
        if (expr.negated) return {"NOT (" + both + ")", kPrecNot};
        return {both, kPrecAnd};
      }
      std::string valueText = Wrap(v.text, v.precedence, kPrecEquality + 1);
      bool boundsAsText = false;  // the bounds take Jet's text form too (JetTextOnBothSides)
      // Jet's text order: the collation jet_text, unless the column's NOCASE decides the same
      // (bounds of ASCII text), with the column's index narrowing the candidates.
      std::string candidates;
      const SchemaColumn* column = TextColumn(value);
      if (column != nullptr && !IsNotText(*low) && !IsNotText(*high)) {
        const Expr& a = StripParens(*low);
        const Expr& b = StripParens(*high);
        const bool literals = comparable && a.kind == ExprKind::kString && b.kind == ExprKind::kString;
        if (!literals || !IsAscii(a.text) || !IsAscii(b.text) || !column->noCase) {
          if (literals && column->noCase) {
            const std::string floor = FoldFloor(a.text);
            auto ceiling = FoldCeiling(b.text);
            if (!floor.empty()) candidates += valueText + " >= " + Literal(floor) + " AND ";
            if (ceiling) candidates += valueText + " < " + Literal(*ceiling) + " AND ";
          }
          valueText = JetTextValue(v);
          boundsAsText = true;
        }
      } else if (column == nullptr && !IsPlainColumn(value) && !IsNotText(value)) {
        valueText = JetTextValue(v);
        boundsAsText = true;
      }
      boundsAsText = boundsAsText && dialect_.JetTextOnBothSides();
      std::string lowText;
      std::string highText;
      if (comparable) {
        Fragment l = Value(*low);
        Fragment h = Value(*high);
        lowText = boundsAsText ? JetTextValue(l) : Wrap(l.text, l.precedence, kPrecEquality + 1);
        highText = boundsAsText ? JetTextValue(h) : Wrap(h.text, h.precedence, kPrecEquality + 1);
      } else {
        // Bounds only known at run time may come in either order as well.
        std::string l = Value(*low).text;
        std::string h = Value(*high).text;
        if (boundsAsText) {
          l = JetTextValue({l, kPrecPrimary});
          h = JetTextValue({h, kPrecPrimary});
        }
        const std::vector<storage::SqlOperand> bounds{{l, TypeOf(*low).type, false}, {h, TypeOf(*high).type, false}};
        lowText = EngineCall("min", bounds, {});
        highText = EngineCall("max", bounds, {});
      }
      std::string text = valueText + (expr.negated ? " NOT BETWEEN " : " BETWEEN ") + lowText + " AND " + highText;
      if (!candidates.empty() && !expr.negated) return {candidates + text, kPrecAnd};
      return {text, kPrecEquality};
    }
    case ExprKind::kInList: {
      const Expr& value = *expr.children[0];
      Fragment v = Value(value);
      std::string text = Wrap(v.text, v.precedence, kPrecEquality + 1);
      bool jetText = false;
      if (const SchemaColumn* column = TextColumn(value)) {
        // The column's NOCASE decides for numbers and texts without other-case letters.
        for (size_t i = 1; i < expr.children.size() && !jetText; ++i) {
          const Expr& item = StripParens(*expr.children[i]);
          jetText =
              !IsNotText(item) && (!column->noCase || item.kind != ExprKind::kString || HasFoldVariants(item.text));
        }
      } else {
        jetText = !IsPlainColumn(value) && !IsNotText(value);
      }
      if (jetText) text = JetTextValue(v);
      // Dates and Yes/No values of other tools' files by what they read as.
      if (ColumnOfType(value, dbDate) != nullptr) text = EngineCall("jet_datekey", v.text);
      if (ColumnOfType(value, dbBoolean) != nullptr) text = TruthOfColumn(v);
      text += expr.negated ? " NOT IN (" : " IN (";
      for (size_t i = 1; i < expr.children.size(); ++i) {
        if (i > 1) text += ", ";
        Fragment item = Value(*expr.children[i]);
        text +=
            jetText && dialect_.JetTextOnBothSides() && !IsNotText(*expr.children[i]) ? JetTextValue(item) : item.text;
      }
      text += ')';
      return {text, kPrecEquality};
    }
    case ExprKind::kInSelect: {
      Fragment v = Value(*expr.children[0]);
      if (IsTextValued(*expr.children[0]) && dialect_.JetTextOnBothSides()) {
        // Both sides in Jet's text form: the subquery's values through a query of their own.
        const std::string rows = "SELECT " + JetTextValue({"\"jet_q\".\"jet_v\"", kPrecPrimary}) + " FROM (" +
                                 ExpressionSubquery(*expr.subquery, "jet_v") + ") AS \"jet_q\"";
        return {JetTextValue(v) + (expr.negated ? " NOT IN (" : " IN (") + rows + ")", kPrecEquality};
      }
      const std::string valueText =
          IsTextValued(*expr.children[0]) ? JetTextValue(v) : Wrap(v.text, v.precedence, kPrecEquality + 1);
      return {valueText + (expr.negated ? " NOT IN (" : " IN (") + ExpressionSubquery(*expr.subquery) + ")",
              kPrecEquality};
    }
    case ExprKind::kIsNull: {
      Fragment v = Value(*expr.children[0]);
      return {Wrap(v.text, v.precedence, kPrecEquality + 1) + (expr.negated ? " IS NOT NULL" : " IS NULL"),
              kPrecEquality};
    }
    case ExprKind::kExists: {
      std::string text = "EXISTS (" + ExpressionSubquery(*expr.subquery) + ")";
      if (expr.negated) return {"NOT " + text, kPrecNot};
      return {text, kPrecPrimary};
    }
    case ExprKind::kQuantified: {
      // SQLite has no ANY/ALL: compare with each row of the subquery, its column named.
      Fragment v = Value(*expr.children[0]);
      std::string comparison =
          Wrap(v.text, v.precedence, kPrecRelational + 1) + ComparisonText(expr.binaryOp) + "\"jet_q\".\"jet_v\"";
      if (IsTextValued(*expr.children[0])) {
        if (dialect_.JetTextOnBothSides()) {
          comparison =
              JetTextValue(v) + ComparisonText(expr.binaryOp) + JetTextValue({"\"jet_q\".\"jet_v\"", kPrecPrimary});
        } else {
          comparison += dialect_.JetTextCollation();
        }
      }
      std::string rows = "SELECT 1 FROM (" + ExpressionSubquery(*expr.subquery, "jet_v") + ") AS \"jet_q\" WHERE ";
      if (expr.all) return {"NOT EXISTS (" + rows + "NOT (" + comparison + "))", kPrecNot};
      return {"EXISTS (" + rows + comparison + ")", kPrecPrimary};
    }
    default: return TruthOf(expr);
  }
}

JetSqlEmitter::Fragment JetSqlEmitter::TruthOf(const Expr& expr) {
  Fragment value = Value(expr);
  const storage::SqlOperand operand{value.text, TypeOf(expr).type, ColumnOfType(expr, dbBoolean) != nullptr};
  std::string text = dialect_.ValueAsCondition(operand);
  if (text == value.text) return value;
  return {std::move(text), kPrecEquality};
}

JetSqlEmitter::Fragment JetSqlEmitter::Function(const Expr& expr) {
  const JetFunctionInfo* info = FindJetFunction(expr.upper);
  if (info == nullptr) throw JetSqlError{kDaoUndefinedFunction, {expr.text}};
  std::vector<const Expr*> args;
  for (const ExprPtr& child : expr.children) args.push_back(child.get());
  switch (info->role) {
    case FunctionRole::kAggregate:
      if (expr.star) return {dialect_.FunctionName(info->backEndName) + "(*)", kPrecPrimary};
      // Sums of Currency add exact amounts.
      if ((expr.upper == "SUM" || expr.upper == "AVG") && TypeOf(*args[0]).type == dbCurrency) {
        return {Call(expr.upper == "SUM" ? "jet_cur_sum" : "jet_cur_avg", args, expr.text), kPrecPrimary};
      }
      return {Call(info->backEndName, args, expr.text), kPrecPrimary};
    case FunctionRole::kScalar:
      if (expr.star) return {dialect_.FunctionName(info->backEndName) + "(*)", kPrecPrimary};
      return {Call(info->backEndName, args, expr.text), kPrecPrimary};
    case FunctionRole::kIIf:
      return {"CASE WHEN " + Condition(*args[0]).text + " THEN " + Value(*args[1]).text + " ELSE " +
                  Value(*args[2]).text + " END",
              kPrecPrimary};
    case FunctionRole::kSwitch: {
      std::string text = "CASE";
      for (size_t i = 0; i + 1 < args.size(); i += 2) {
        text += " WHEN " + Condition(*args[i]).text + " THEN " + Value(*args[i + 1]).text;
      }
      return {text + " END", kPrecPrimary};
    }
    case FunctionRole::kChoose: {
      std::string text = "CASE CAST(" + Value(*args[0]).text + " AS INTEGER)";
      for (size_t i = 1; i < args.size(); ++i) {
        text += " WHEN " + std::to_string(i) + " THEN " + Value(*args[i]).text;
      }
      return {text + " END", kPrecPrimary};
    }
    case FunctionRole::kIsNull: {
      Fragment v = Value(*args[0]);
      return {dialect_.TruthValue(Wrap(v.text, v.precedence, kPrecEquality + 1) + " IS NULL"), kPrecUnary};
    }
    case FunctionRole::kIdentity: return Value(*args[0]);
  }
  return {"NULL", kPrecPrimary};
}

std::string JetSqlEmitter::JetTextValue(const Fragment& fragment) const {
  if (dialect_.JetTextOnBothSides()) return dialect_.JetTextKey(fragment.text);
  return dialect_.JetTextKey(Wrap(fragment.text, fragment.precedence, kPrecCollate + 1));
}

// Text sorts and groups in Jet's order: every letter without regard to case. A column whose
// type is unknown keeps its own collation.
std::string JetSqlEmitter::TextOrder(const Expr& expr, const Fragment& fragment) {
  const bool text = IsPlainColumn(expr) ? TextColumn(expr) != nullptr : !IsPlainlyNumeric(expr) && !IsNotText(expr);
  if (!text) return fragment.text;
  return JetTextValue(fragment);
}

std::string JetSqlEmitter::SortTerm(const OrderItem& item) {
  std::string text = plainTextOrder_ ? Value(*item.expr).text : TextOrder(*item.expr, Value(*item.expr));
  if (item.descending) text += " DESC";
  if (!bareSort_) text.append(dialect_.NullsFirst(item.descending));
  return text;
}

// A back-end that folds both sides of a comparison groups text as stored: a grouped value in
// its folded form would no longer be the column the select list names.
std::string JetSqlEmitter::GroupTerm(const Expr& expr) {
  if (dialect_.JetTextOnBothSides()) return Value(expr).text;
  return TextOrder(expr, Value(expr));
}

std::string JetSqlEmitter::EmitCriteria(const Expr& expr) { return Condition(expr).text; }

std::string JetSqlEmitter::EmitSortList(const std::vector<OrderItem>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ", ";
    text += SortTerm(items[i]);
  }
  return text;
}

}  // namespace lumo::jet
