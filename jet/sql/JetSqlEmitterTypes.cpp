// JetSqlEmitter: the DAO type of an expression, as Jet gives it to a computed column.
//
// Columns take their type from the schema (when the engine gave one), literals and functions
// their own; operators follow the expression service's rules: the result of + - * is the
// wider operand (Byte < Integer < Long < Single < Double < Currency < Decimal, Single with
// Long gives Double), & gives Text, / Double, \ and Mod an integer, comparisons a Boolean; a
// date plus or minus a number stays a date. Where the rules leave the type open (a Null, a
// parameter nobody declared, IIf over a text and a number) the type is unknown (type 0) and
// the engine decides from the values.

#include <algorithm>

#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlEmitterUtil.h"

namespace lumo::jet {

using namespace emit;

namespace {

JetFieldType Unknown() { return JetFieldType{0, 0, 0, 0, 0}; }

JetFieldType Of(int daoType) {
  JetFieldType type = DefaultFieldType(daoType);
  return type;
}

// A column's type as a computed value carries it: a counter's values are plain Longs.
JetFieldType AsValue(JetFieldType type) {
  type.attributes &= ~dbAutoIncrField;
  return type;
}

bool IsText(const JetFieldType& t) { return t.type == dbText || t.type == dbMemo || t.type == dbChar; }
bool IsDate(const JetFieldType& t) { return t.type == dbDate || t.type == dbTime || t.type == dbTimeStamp; }

// Rank in the widening order; 0 for a type that is not a number.
int NumberRank(int type) {
  switch (type) {
    case dbBoolean: return 2;  // counts as an Integer
    case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: return 3;
    case dbBigInt: return 4;
    case dbSingle: return 5;
    case dbDouble:
    case dbFloat: return 6;
    case dbCurrency: return 7;
    case dbDecimal:
    case dbNumeric: return 8;
    default: return 0;
  }
}

int TypeOfRank(int rank) {
  static constexpr int kTypes[] = {0, dbByte, dbInteger, dbLong, dbBigInt, dbSingle, dbDouble, dbCurrency, dbDecimal};
  return kTypes[rank];
}

bool IsNumber(const JetFieldType& t) { return NumberRank(t.type) != 0; }

// The result of + - * on two numbers.
JetFieldType Widen(const JetFieldType& a, const JetFieldType& b) {
  const int ra = NumberRank(a.type);
  const int rb = NumberRank(b.type);
  if (ra == 0 || rb == 0) return Unknown();
  const int low = std::min(ra, rb);
  const int high = std::max(ra, rb);
  // Single has too few digits for a Long.
  if (high == NumberRank(dbSingle) && (low == NumberRank(dbLong) || low == NumberRank(dbBigInt))) return Of(dbDouble);
  return Of(TypeOfRank(high));
}

// Two branches of IIf, Switch or Choose.
JetFieldType Combine(const JetFieldType& a, const JetFieldType& b, bool aIsNull, bool bIsNull) {
  if (aIsNull) return b;
  if (bIsNull) return a;
  if (a.type == 0 || b.type == 0) return Unknown();
  if (a.type == b.type) {
    JetFieldType type = a;
    type.size = std::max(a.size, b.size);
    return type;
  }
  if (IsText(a) && IsText(b)) return Of(a.type == dbMemo || b.type == dbMemo ? dbMemo : dbText);
  if (IsNumber(a) && IsNumber(b)) return Widen(a, b);
  return Unknown();
}

bool IsNullLiteral(const Expr& expr) { return StripParens(expr).kind == ExprKind::kNull; }

}  // namespace

void JetSqlEmitter::AddScopeEntries(const TableRef& ref, Scope& scope) {
  switch (ref.kind) {
    case TableRef::Kind::kTable: {
      ScopeEntry entry;
      entry.name = RefName(ref);
      entry.table = ref.name;
      if (options_.schema != nullptr) entry.columns = options_.schema->Columns(ref.name);
      scope.push_back(std::move(entry));
      return;
    }
    case TableRef::Kind::kSubquery: {
      ScopeEntry entry;
      entry.name = ref.alias;
      entry.derived = ResultColumns(ref.subquery->cores[0]);
      scope.push_back(std::move(entry));
      return;
    }
    case TableRef::Kind::kJoin:
      AddScopeEntries(*ref.left, scope);
      AddScopeEntries(*ref.right, scope);
      return;
  }
}

void JetSqlEmitter::UseCriteriaScope() {
  Scope scope;
  if (!options_.criteriaTable.empty()) {
    ScopeEntry entry;
    entry.name = entry.table = options_.criteriaTable;
    if (options_.schema != nullptr) entry.columns = options_.schema->Columns(options_.criteriaTable);
    scope.push_back(std::move(entry));
  }
  if (!options_.criteriaColumns.empty()) {
    ScopeEntry entry;
    entry.derived = options_.criteriaColumns;
    scope.push_back(std::move(entry));
  }
  scopes_.push_back(std::move(scope));
}

JetSqlEmitter::Scope JetSqlEmitter::BuildScope(const SelectCore& core) {
  Scope scope;
  for (const TableRefPtr& ref : core.from) AddScopeEntries(*ref, scope);
  return scope;
}

std::vector<SchemaColumn> JetSqlEmitter::ResultColumns(const SelectCore& core) {
  ScopeUse use(*this, core);
  std::vector<SchemaColumn> columns;
  for (const SelectItem& item : core.items) {
    if (item.star) {
      for (const ScopeEntry& entry : scopes_.back()) {
        if (!item.starQualifier.empty() && !SameName(entry.name, item.starQualifier)) continue;
        const std::vector<SchemaColumn>& listed = entry.columns != nullptr ? *entry.columns : entry.derived;
        columns.insert(columns.end(), listed.begin(), listed.end());
      }
      continue;
    }
    SchemaColumn column;
    column.name = ResultName(item);
    column.type = TypeOf(*item.expr);
    if (const SchemaColumn* source = FindColumn(StripParens(*item.expr))) {
      column.noCase = source->noCase;
      // The server names an unnamed column of the result as it stores it.
      if (item.alias.empty() && dialect_.NamesAsStored()) column.name = source->name;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

std::string JetSqlEmitter::ResultName(const SelectItem& item) const {
  if (!item.alias.empty()) return item.alias;
  const Expr& expr = StripParens(*item.expr);
  if (expr.kind == ExprKind::kColumn) return expr.names.back();
  return {};
}

JetSqlEmitter::ScopeUse::ScopeUse(JetSqlEmitter& emitter, const SelectCore& core) : emitter_(emitter) {
  Scope scope = emitter.BuildScope(core);
  emitter.scopes_.push_back(std::move(scope));
}

JetSqlEmitter::ScopeUse::ScopeUse(JetSqlEmitter& emitter, const std::vector<const TableRef*>& tables)
    : emitter_(emitter) {
  Scope scope;
  for (const TableRef* ref : tables) emitter.AddScopeEntries(*ref, scope);
  emitter.scopes_.push_back(std::move(scope));
}

JetSqlEmitter::ScopeUse::~ScopeUse() { emitter_.scopes_.pop_back(); }

const SchemaColumn* JetSqlEmitter::FindColumn(const Expr& expr) const {
  if (expr.kind != ExprKind::kColumn || !IsPlainColumn(expr)) return nullptr;
  const std::string& name = expr.names.back();
  auto inEntry = [&](const ScopeEntry& entry) -> const SchemaColumn* {
    const std::vector<SchemaColumn>& columns = entry.columns != nullptr ? *entry.columns : entry.derived;
    for (const SchemaColumn& column : columns) {
      if (SameName(column.name, name)) return &column;
    }
    return nullptr;
  };
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    if (expr.names.size() >= 2) {
      const std::string& qualifier = expr.names[expr.names.size() - 2];
      for (const ScopeEntry& entry : *scope) {
        if (SameName(entry.name, qualifier) || SameName(entry.table, qualifier)) return inEntry(entry);
      }
      continue;
    }
    const SchemaColumn* found = nullptr;
    for (const ScopeEntry& entry : *scope) {
      if (const SchemaColumn* column = inEntry(entry)) {
        if (found != nullptr) return nullptr;  // ambiguous: SQLite will say so
        found = column;
      }
    }
    if (found != nullptr) return found;
  }
  return nullptr;
}

JetFieldType JetSqlEmitter::TypeOf(const Expr& expr) {
  auto known = types_.find(&expr);
  if (known != types_.end()) return known->second;
  JetFieldType type = DeriveType(expr);
  types_.emplace(&expr, type);
  return type;
}

JetFieldType JetSqlEmitter::DeriveType(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::kNull: return Unknown();
    case ExprKind::kNumber: {
      const bool whole = expr.text.find_first_of(".eE") == std::string::npos;
      if (whole && expr.text.size() <= 10) {
        const long long value = std::stoll(expr.text);
        if (value <= 2147483647LL) return Of(dbLong);
      }
      return Of(dbDouble);
    }
    case ExprKind::kString: return Of(dbText);
    case ExprKind::kDate: return Of(dbDate);
    case ExprKind::kBoolean: return Of(dbBoolean);
    case ExprKind::kGuid: return Of(dbGUID);
    case ExprKind::kIdentity: return Of(dbLong);
    case ExprKind::kParen: return TypeOf(*expr.children[0]);
    case ExprKind::kColumn: {
      if (!IsPlainColumn(expr)) {
        // A parameter: its declared type, when it has one.
        const std::string upper = UpperName(JoinNames(expr.names));
        for (const ParameterDeclaration& declaration : declared_) {
          if (UpperName(declaration.name) == upper) return declaration.type;
        }
        return Unknown();
      }
      if (const SchemaColumn* column = FindColumn(expr)) return AsValue(column->type);
      return Unknown();
    }
    case ExprKind::kUnary: {
      const JetFieldType operand = TypeOf(*expr.children[0]);
      if (expr.unaryOp == UnaryOp::kPlus) return operand;
      if (expr.unaryOp == UnaryOp::kNot) {
        if (operand.type == dbBoolean || operand.type == 0) return Of(dbBoolean);
        if (IsNumber(operand) && NumberRank(operand.type) <= NumberRank(dbLong)) return Of(operand.type);
        return Of(dbLong);
      }
      if (operand.type == dbBoolean || operand.type == dbByte) return Of(dbInteger);
      if (IsNumber(operand) || IsDate(operand)) return operand;
      return operand.type == 0 ? Unknown() : Of(dbDouble);
    }
    case ExprKind::kBinary: {
      const BinaryOp op = expr.binaryOp;
      if (IsComparison(op)) return Of(dbBoolean);
      const Expr& leftExpr = *expr.children[0];
      const Expr& rightExpr = *expr.children[1];
      const JetFieldType left = TypeOf(leftExpr);
      const JetFieldType right = TypeOf(rightExpr);
      const bool leftNull = IsNullLiteral(leftExpr);
      const bool rightNull = IsNullLiteral(rightExpr);
      switch (op) {
        case BinaryOp::kConcat: return Of(left.type == dbMemo || right.type == dbMemo ? dbMemo : dbText);
        case BinaryOp::kAdd:
        case BinaryOp::kSubtract:
        case BinaryOp::kMultiply: {
          if (leftNull || rightNull) return leftNull ? right : left;
          if (op != BinaryOp::kMultiply && (IsDate(left) || IsDate(right))) {
            // A date moves by days; the distance of two dates is a number of days.
            if (IsDate(left) && IsDate(right)) return Of(op == BinaryOp::kAdd ? dbDate : dbDouble);
            const JetFieldType& other = IsDate(left) ? right : left;
            return IsNumber(other) ? Of(dbDate) : Unknown();
          }
          if (op == BinaryOp::kAdd && IsText(left) && IsText(right)) {
            return Of(left.type == dbMemo || right.type == dbMemo ? dbMemo : dbText);
          }
          if (IsDate(left) || IsDate(right)) return Of(dbDouble);
          return Widen(left, right);
        }
        case BinaryOp::kDivide: {
          auto small = [](int t) { return t == dbByte || t == dbInteger || t == dbBoolean || t == dbSingle; };
          if (left.type == dbDecimal || right.type == dbDecimal) return Of(dbDecimal);
          if (small(left.type) && small(right.type)) return Of(dbSingle);
          return Of(dbDouble);
        }
        case BinaryOp::kIntDivide:
        case BinaryOp::kMod: {
          auto small = [](int t) { return t == dbByte || t == dbInteger || t == dbBoolean; };
          if (left.type == dbByte && right.type == dbByte) return Of(dbByte);
          if (small(left.type) && small(right.type)) return Of(dbInteger);
          return Of(dbLong);
        }
        case BinaryOp::kPower: return Of(dbDouble);
        default: {
          // And, Or, Xor, Eqv, Imp: on truth values a truth value, on numbers bit by bit.
          const bool truth = (left.type == dbBoolean || left.type == 0) && (right.type == dbBoolean || right.type == 0);
          if (truth) return Of(dbBoolean);
          const int rank = std::max(NumberRank(left.type), NumberRank(right.type));
          return Of(rank != 0 && rank <= NumberRank(dbInteger) ? dbInteger : dbLong);
        }
      }
    }
    case ExprKind::kLike:
    case ExprKind::kBetween:
    case ExprKind::kInList:
    case ExprKind::kInSelect:
    case ExprKind::kIsNull:
    case ExprKind::kExists:
    case ExprKind::kQuantified: return Of(dbBoolean);
    case ExprKind::kSubquery: {
      const SelectCore& core = expr.subquery->cores[0];
      if (core.items.empty() || core.items[0].star) return Unknown();
      ScopeUse use(*this, core);
      return TypeOf(*core.items[0].expr);
    }
    case ExprKind::kFunction: return FunctionType(expr);
    case ExprKind::kFiltered: return TypeOf(*expr.children[0]);
    case ExprKind::kPivotCell: return TypeOf(*expr.children[1]);
  }
  return Unknown();
}

JetFieldType JetSqlEmitter::FunctionType(const Expr& expr) {
  const JetFunctionInfo* info = FindJetFunction(expr.upper);
  if (info == nullptr) return Unknown();
  auto argument = [&](size_t i) { return i < expr.children.size() ? TypeOf(*expr.children[i]) : Unknown(); };
  switch (info->role) {
    case FunctionRole::kIIf:
      return Combine(argument(1), argument(2), IsNullLiteral(*expr.children[1]), IsNullLiteral(*expr.children[2]));
    case FunctionRole::kSwitch:
    case FunctionRole::kChoose: {
      const size_t first = 1;  // Switch: the values after each condition; Choose: after the index
      const size_t step = info->role == FunctionRole::kSwitch ? 2 : 1;
      JetFieldType type = Unknown();
      bool typeIsNull = true;
      for (size_t i = first; i < expr.children.size(); i += step) {
        const bool isNull = IsNullLiteral(*expr.children[i]);
        type = Combine(type, argument(i), typeIsNull, isNull);
        typeIsNull = typeIsNull && isNull;
        if (!typeIsNull && type.type == 0) return Unknown();
      }
      return type;
    }
    default: break;
  }
  switch (info->resultType) {
    case kResultOfArgument: return argument(0);
    case kResultNumberOfArgument: {
      const JetFieldType type = argument(0);
      if (type.type == dbBoolean) return Of(dbInteger);
      if (IsNumber(type) || IsDate(type)) return type;
      return Of(dbDouble);
    }
    case kResultTextOfArgument: return Of(argument(0).type == dbMemo ? dbMemo : dbText);
    case kResultDecided: {
      // Sum: a Currency stays exact, integers add up as Long, the rest as Double.
      if (expr.star) return Of(dbLong);
      const JetFieldType type = argument(0);
      if (type.type == dbCurrency || type.type == dbDecimal) return Of(type.type);
      if (IsNumber(type) && NumberRank(type.type) <= NumberRank(dbLong)) return Of(dbLong);
      if (type.type == dbBigInt) return Of(dbBigInt);
      return Of(dbDouble);
    }
    default: return Of(info->resultType);
  }
}

std::vector<JetFieldType> JetSqlEmitter::InsertTargetTypes(const InsertStatement& insert) {
  if (options_.schema == nullptr) return {};
  const std::vector<SchemaColumn>* columns = options_.schema->Columns(insert.table);
  if (columns == nullptr) return {};
  std::vector<JetFieldType> types;
  if (insert.columns.empty()) {
    for (const SchemaColumn& column : *columns) types.push_back(column.type);
    return types;
  }
  for (const std::string& name : insert.columns) {
    JetFieldType type = Unknown();
    for (const SchemaColumn& column : *columns) {
      if (SameName(column.name, name)) type = column.type;
    }
    types.push_back(type);
  }
  return types;
}

std::string JetSqlEmitter::Stored(const std::string& valueText, const JetFieldType* type) {
  if (type == nullptr) return valueText;
  if (type->type == dbCurrency) return EngineCall("jet_cur", valueText);
  return dialect_.StoredValue(valueText, *type);
}

}  // namespace lumo::jet
