#include "jet/DatabaseExecute.h"

#include "jet/CatalogueSchema.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/ResultColumns.h"
#include "jet/ValueCodec.h"
#include "jet/storage/Connection.h"
#include "jet/storage/SchemaWriter.h"
#include "jet/storage/SqlDialect.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

// Translation and preparing are repeated once per unknown name; a statement naming more
// unknown names than this is not a query anyone writes.
constexpr int kMaxUnknownNames = 255;

bool IsSelect(StatementKind kind) {
  return kind == StatementKind::kSelect || kind == StatementKind::kUnion || kind == StatementKind::kCrosstab;
}

bool IsDdl(StatementKind kind) {
  switch (kind) {
    case StatementKind::kCreateTable:
    case StatementKind::kAlterTable:
    case StatementKind::kCreateIndex:
    case StatementKind::kDropIndex:
    case StatementKind::kDropTable: return true;
    default: return false;
  }
}

// Without dbFailOnError Jet applies what it can and passes over rows that would break a
// unique index or a Required field; the dialect's conflict-skipping heads do the same row by
// row.
std::string IgnoreConflicts(const TranslatedStatement& translated, const storage::SqlDialect& dialect) {
  const std::string& sql = translated.sql;
  constexpr std::string_view kInsert = "INSERT INTO ";
  constexpr std::string_view kUpdate = "UPDATE ";
  if (translated.kind == StatementKind::kInsert && StartsText(kInsert, sql)) {
    return std::string(dialect.InsertSkippingConflicts()).append(sql, kInsert.size());
  }
  if (translated.kind == StatementKind::kUpdate && StartsText(kUpdate, sql)) {
    return std::string(dialect.UpdateSkippingConflicts()).append(sql, kUpdate.size());
  }
  return sql;
}

std::string QuoteName(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }

// SELECT ... INTO: the new table's fields take the types the query's result has (a source
// field's type and size, a computed one's derived type), declared as CREATE TABLE declares
// them, text case-insensitive, its rows counted as in every table the engine makes; keys,
// indexes, counters and field properties stay behind. The table and its rows are one write:
// a query that fails on any row leaves no table.
int MakeTable(DatabaseFile& file, PreparedJet& prepared, const ParameterValues& values, const std::string& source) {
  const TranslatedStatement& translated = prepared.translated;
  BindParameters(prepared, values, source);
  std::vector<RecordsetColumn> columns = DescribeResultColumns(file, *prepared.statement, "", translated.columnTypes);
  if (HasUntypedColumns(columns)) TypeFromFirstRow(columns, *prepared.statement);
  // The query ran only to learn its types: its read ends before the write begins.
  prepared.statement->Reset();
  TableDesign design;
  design.name = translated.targetTable;
  for (const RecordsetColumn& column : columns) {
    ColumnDesign field;
    field.name = column.name;
    field.type = column.type;
    field.type.attributes &= ~dbAutoIncrField;  // the numbers are copied as they are
    design.columns.push_back(std::move(field));
  }
  try {
    WriteScope scope(file);
    file.SchemaChanges(source)->CreateTable(design);
    prepared.statement = file.Prepare("INSERT INTO " + QuoteName(design.name) + " " + translated.selectSql);
    BindParameters(prepared, values, source);
    while (prepared.statement->Step()) {}
    const int affected = file.Connection().Changes();
    prepared.statement->Reset();
    scope.Commit();
    return affected;
  } catch (...) {
    // The table went with the rolled-back write; the catalogue must not remember it.
    file.Schema().Invalidate();
    throw;
  }
}

}  // namespace

PreparedJet PrepareJet(DatabaseFile& file, const std::string& jetSql, std::vector<std::string> knownParameters,
                       const std::string& source, SqlRewrite rewrite) {
  CatalogueSchema schema(file);
  TranslateOptions options;
  // Action queries are written for the back-end the database lives on, as queries are.
  options.dialect = &file.Connection().Dialect();
  options.errorSource = source;
  options.knownParameters = std::move(knownParameters);
  options.schema = &schema;
  for (int attempt = 0;; ++attempt) {
    PreparedJet prepared;
    prepared.translated = TranslateStatement(jetSql, options);
    if (prepared.translated.pivotQuery) {
      // A crosstab's columns depend on its data; with one heading the statement still uses
      // every field and parameter it names.
      static const std::vector<PivotValue> kOneHeading(1);
      TranslateOptions withHeading = options;
      withHeading.pivotValues = &kOneHeading;
      prepared.translated = TranslateStatement(jetSql, withHeading);
    }
    if (prepared.translated.ddl) return prepared;
    // SELECT ... INTO prepares its query alone: the table is made from the query's columns.
    const std::string sql = prepared.translated.kind == StatementKind::kSelectInto ? prepared.translated.selectSql
                            : rewrite ? rewrite(prepared.translated, file.Connection().Dialect())
                                      : prepared.translated.sql;
    std::string unknown;
    prepared.statement = file.Prepare(sql, &unknown);
    if (prepared.statement) return prepared;
    bool known = false;
    for (const auto& name : options.knownParameters) known = known || AnsiSameText(name, unknown);
    if (known || attempt >= kMaxUnknownNames) {
      // The name is a parameter already and still unknown to SQLite: it stands where no
      // parameter may (a table's column list, say).
      RaiseDaoError(kDaoUnrecognizedField, {unknown}, source);
    }
    options.knownParameters.push_back(unknown);
  }
}

void BindParameters(PreparedJet& prepared, const ParameterValues& values, const std::string& source) {
  int missing = 0;
  for (const TranslatedParameter& parameter : prepared.translated.parameters) {
    if (!parameter.referenced) continue;
    const Variant* value = nullptr;
    for (const auto& [name, given] : values) {
      if (AnsiSameText(name, parameter.name)) value = &given;
    }
    if (value == nullptr) {
      ++missing;
      continue;
    }
    if (parameter.declared && parameter.daoType != 0 && !value->IsNull() && !value->IsEmpty()) {
      JetFieldType type;
      type.type = parameter.daoType;
      try {
        BindFieldValue(*prepared.statement, parameter.number, *value, type, parameter.name);
      } catch (const EOleException&) {
        RaiseDaoError(3060, {parameter.name}, source);
      }
    } else {
      BindPlainValue(*prepared.statement, parameter.number, *value);
    }
  }
  if (missing > 0) RaiseDaoError(kDaoTooFewParameters, {std::to_string(missing)}, source);
}

int ExecuteJet(DatabaseFile& file, const std::string& jetSql, int options, const ParameterValues& values,
               const std::string& source, bool* wasDdl) {
  if (wasDdl) *wasDdl = false;
  if ((options & dbConsistent) != 0 && (options & dbInconsistent) != 0) RaiseDaoError(kDaoInvalidArgument, {}, source);
  std::vector<std::string> known;
  for (const auto& [name, value] : values) known.push_back(name);
  const bool failOnError = (options & dbFailOnError) != 0;
  PreparedJet prepared = PrepareJet(file, jetSql, known, source, failOnError ? nullptr : IgnoreConflicts);
  const TranslatedStatement& translated = prepared.translated;
  if (IsSelect(translated.kind)) RaiseDaoError(3065, {}, source);
  if (translated.ddl || IsDdl(translated.kind)) {
    if (!translated.ddl) RaiseDaoError(kDaoInvalidStatement, {}, source);
    file.SchemaChanges(source)->Apply(*translated.ddl);
    if (wasDdl) *wasDdl = true;
    return 0;
  }
  if (translated.kind == StatementKind::kSelectInto) {
    if (wasDdl) *wasDdl = true;
    return MakeTable(file, prepared, values, source);
  }
  BindParameters(prepared, values, source);

  WriteScope scope(file);
  while (prepared.statement->Step()) {}
  const int affected = file.Connection().Changes();
  if (translated.kind == StatementKind::kInsert && affected > 0) file.NoteInsert(translated.targetTable);
  prepared.statement->Reset();
  scope.Commit();
  return affected;
}

}  // namespace lumo::jet
