#include "jet/sql/JetSqlTranslator.h"

#include <cctype>
#include <optional>

#include "runtime/StrUtils.h"

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlCrosstab.h"
#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

namespace {

[[noreturn]] void Raise(const JetSqlError& error, const TranslateOptions& options) {
  RaiseDaoError(MakeDaoError(error.number, error.args, options.errorSource));
}

bool IsNumberType(int type) {
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbBigInt:
    case dbNumeric:
    case dbDecimal:
    case dbFloat: return true;
    default: return false;
  }
}

// Whether an expression is a field of a number type among the criterion's fields.
bool IsNumberField(const Expr& expr, const TranslateOptions& options) {
  if (expr.kind == ExprKind::kParen) return IsNumberField(*expr.children[0], options);
  if (expr.kind != ExprKind::kColumn || expr.names.empty()) return false;
  for (const std::string& parameter : options.knownParameters) {
    if (AnsiSameText(parameter, expr.names.back())) return false;
  }
  auto numberIn = [&](const std::vector<SchemaColumn>& columns) -> std::optional<bool> {
    for (const SchemaColumn& column : columns) {
      if (AnsiSameText(column.name, expr.names.back())) return IsNumberType(column.type.type);
    }
    return std::nullopt;
  };
  if (auto found = numberIn(options.criteriaColumns)) return *found;
  if (options.schema != nullptr && !options.criteriaTable.empty()) {
    if (const std::vector<SchemaColumn>* columns = options.schema->Columns(options.criteriaTable)) {
      if (auto found = numberIn(*columns)) return *found;
    }
  }
  return false;
}

bool IsText(const Expr& expr) {
  if (expr.kind == ExprKind::kParen) return IsText(*expr.children[0]);
  return expr.kind == ExprKind::kString;
}

// A number field compared with a text literal (=, <, Between, In, ...): Jet converts neither
// side and refuses the criterion (3464) instead of matching nothing.
void CheckTypeClashes(const Expr& expr, const TranslateOptions& options) {
  auto clash = [&](const Expr& a, const Expr& b) {
    return (IsNumberField(a, options) && IsText(b)) || (IsText(a) && IsNumberField(b, options));
  };
  bool refused = false;
  if (expr.kind == ExprKind::kBinary && IsComparison(expr.binaryOp)) {
    refused = clash(*expr.children[0], *expr.children[1]);
  } else if (expr.kind == ExprKind::kBetween || expr.kind == ExprKind::kInList) {
    for (size_t i = 1; i < expr.children.size(); ++i) refused = refused || clash(*expr.children[0], *expr.children[i]);
  }
  if (refused) RaiseDaoError(MakeDaoError(kDaoTypeMismatch, {}, options.errorSource));
  for (const ExprPtr& child : expr.children) CheckTypeClashes(*child, options);
}

}  // namespace

TranslatedStatement TranslateStatement(std::string_view jetSql, const TranslateOptions& options) {
  try {
    JetSqlParser parser(jetSql);
    Statement statement = parser.ParseStatement();
    TranslatedStatement result;
    if (statement.kind == StatementKind::kCrosstab) {
      const CrosstabStatement& crosstab = *statement.crosstab;
      if (!crosstab.fixedHeadings && options.pivotValues == nullptr) {
        // The headings come from the data: the first query finds them.
        Statement values = PivotValuesStatement(statement);
        JetSqlEmitter emitter(options, values.parameters);
        TranslatedStatement first;
        emitter.EmitStatement(values, first);
        result.kind = StatementKind::kCrosstab;
        result.aggregated = true;
        result.tables = std::move(first.tables);
        result.pivotQuery = PivotQuery{std::move(first.sql), emitter.Parameters()};
        return result;
      }
      RewriteCrosstab(statement, crosstab.fixedHeadings ? FixedHeadings(crosstab) : HeadingsOf(*options.pivotValues));
    }
    JetSqlEmitter emitter(options, statement.parameters);
    emitter.EmitStatement(statement, result);
    result.parameters = emitter.Parameters();
    if (statement.crosstab) result.kind = StatementKind::kCrosstab;
    return result;
  } catch (const JetSqlError& error) {
    Raise(error, options);
  }
}

TranslatedStatement TranslateStatement(std::string_view jetSql, const std::vector<std::string>& knownParameters) {
  TranslateOptions options;
  options.knownParameters = knownParameters;
  return TranslateStatement(jetSql, options);
}

TranslatedExpression TranslateExpression(std::string_view criteria, const TranslateOptions& options) {
  try {
    JetSqlParser parser(
        criteria, options.criteriaErrors ? ExpressionErrorStyle::kExpression : ExpressionErrorStyle::kQueryExpression);
    ExprPtr expr = parser.ParseStandaloneExpression();
    CheckTypeClashes(*expr, options);
    JetSqlEmitter emitter(options, {});
    emitter.UseCriteriaScope();
    TranslatedExpression result;
    result.sql = emitter.EmitCriteria(*expr);
    result.parameters = emitter.Parameters();
    return result;
  } catch (const JetSqlError& error) {
    Raise(error, options);
  }
}

TranslatedExpression TranslateOrderBy(std::string_view sortText, const TranslateOptions& options) {
  try {
    JetSqlParser parser(sortText);
    std::vector<OrderItem> items = parser.ParseStandaloneOrderBy();
    JetSqlEmitter emitter(options, {});
    emitter.UseCriteriaScope();
    TranslatedExpression result;
    result.sql = emitter.EmitSortList(items);
    result.parameters = emitter.Parameters();
    return result;
  } catch (const JetSqlError& error) {
    Raise(error, options);
  }
}

bool BeginsAsStatement(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == '(')) ++i;
  size_t end = i;
  while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))) ++end;
  // "Selections" is a name, not SELECT.
  if (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) return false;
  const std::string word = UpperCaseAscii(text.substr(i, end - i));
  for (const char* keyword :
       {"SELECT", "TRANSFORM", "PARAMETERS", "INSERT", "UPDATE", "DELETE", "CREATE", "ALTER", "DROP"}) {
    if (word == keyword) return true;
  }
  return false;
}

int QueryDefType(StatementKind kind) {
  switch (kind) {
    case StatementKind::kSelect: return 0;
    case StatementKind::kUnion: return 128;
    case StatementKind::kCrosstab: return 16;
    case StatementKind::kSelectInto: return 80;
    case StatementKind::kInsert: return 64;
    case StatementKind::kUpdate: return 48;
    case StatementKind::kDelete: return 32;
    case StatementKind::kCreateTable:
    case StatementKind::kAlterTable:
    case StatementKind::kCreateIndex:
    case StatementKind::kDropIndex:
    case StatementKind::kDropTable: return 96;
  }
  return 0;
}

}  // namespace lumo::jet
