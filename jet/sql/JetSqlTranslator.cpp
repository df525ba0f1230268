#include "jet/sql/JetSqlTranslator.h"

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

namespace {

[[noreturn]] void Raise(const JetSqlError& error, const TranslateOptions& options) {
  RaiseDaoError(MakeDaoError(error.number, error.args, options.errorSource));
}

}  // namespace

TranslatedStatement TranslateStatement(std::string_view jetSql, const TranslateOptions& options) {
  try {
    JetSqlParser parser(jetSql);
    Statement statement = parser.ParseStatement();
    JetSqlEmitter emitter(options, statement.parameters);
    TranslatedStatement result;
    emitter.EmitStatement(statement, result);
    result.parameters = emitter.Parameters();
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
    JetSqlParser parser(criteria, options.criteriaErrors ? ExpressionErrorStyle::kExpression
                                                         : ExpressionErrorStyle::kQueryExpression);
    ExprPtr expr = parser.ParseStandaloneExpression();
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

int QueryDefType(StatementKind kind) {
  switch (kind) {
    case StatementKind::kSelect: return 0;
    case StatementKind::kUnion: return 128;
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
