// From what a recordset is opened on to what it reads: the Jet SQL translated (names SQLite
// does not know become parameters, as Jet treats them), the filter and sort of a parent
// recordset folded in, the fields described from the statement and the catalogue.

#include <algorithm>
#include <map>

#include "jet/CatalogueSchema.h"
#include "jet/DaoErrors.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/RecordsetState.h"
#include "jet/ResultColumns.h"
#include "jet/sql/JetSqlTranslator.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

UnknownNameCapture::UnknownNameCapture() {
  previous_ = SetDaoErrorHook([this](const DaoErrorInfo& info) {
    if (!info.unknownName.empty()) {
      name_ = info.unknownName;
      return;
    }
    if (previous_) previous_(info);
  });
}

UnknownNameCapture::~UnknownNameCapture() { SetDaoErrorHook(std::move(previous_)); }

namespace {

constexpr int kMaxUnknownNames = 100;
// More headings than a query has columns: the translation answers 3190 for them.
constexpr size_t kMaxPivotValues = 255;

const Variant* ParameterValue(const RecordsetSource& source, std::string_view name) {
  for (const auto& [known, value] : source.parameters) {
    if (AnsiSameText(known, name)) return &value;
  }
  return nullptr;
}

// Adds the values of translated parameters; counts those nobody supplied.
int BindParameters(const RecordsetSource& source, const std::vector<TranslatedParameter>& parameters, QueryPlan& plan) {
  int missing = 0;
  for (const TranslatedParameter& parameter : parameters) {
    if (!parameter.referenced) continue;
    plan.parameterCount = std::max(plan.parameterCount, parameter.number);
    if (const Variant* value = ParameterValue(source, parameter.name)) {
      plan.parameters.values.emplace_back(parameter.number, *value);
    } else {
      ++missing;
    }
  }
  return missing;
}

// Prepares SQL, or answers the name SQLite did not know.
std::optional<std::string> PrepareOrUnknownName(DatabaseFile& file, const std::string& sql,
                                                std::unique_ptr<storage::Statement>& prepared) {
  UnknownNameCapture capture;
  try {
    prepared = file.Connection().Prepare(sql);
    return std::nullopt;
  } catch (const EOleException&) {
    if (!capture.Name()) throw;
    return capture.Name();
  }
}

// Runs a crosstab's first query: the values of its pivot expression, in heading order.
std::vector<PivotValue> ReadPivotValues(const RecordsetSource& source, const PivotQuery& query,
                                        storage::Statement& statement) {
  QueryPlan plan;
  const int missing = BindParameters(source, query.parameters, plan);
  if (missing > 0) RaiseDaoError(kDaoTooFewParameters, {std::to_string(missing)});
  plan.parameters.BindTo(statement);
  std::vector<PivotValue> values;
  while (statement.Step()) {
    // Jet's limit on a query's columns; the translation refuses what lies beyond it.
    if (values.size() > kMaxPivotValues) break;
    PivotValue value;
    switch (statement.TypeOf(0)) {
      case ColumnType::Null: break;
      case ColumnType::Integer:
        value.kind = PivotValue::Kind::kInteger;
        value.integer = statement.ColumnInt64(0);
        break;
      case ColumnType::Float:
        value.kind = PivotValue::Kind::kReal;
        value.real = statement.ColumnDouble(0);
        break;
      case ColumnType::Text:
        value.kind = PivotValue::Kind::kText;
        value.text = statement.ColumnText(0);
        break;
      case ColumnType::Blob: continue;  // a binary value names no column
    }
    values.push_back(std::move(value));
  }
  return values;
}

// Translates the statement and prepares it, turning every name SQLite does not know into a
// parameter; raises 3061 when parameters lack values. A crosstab runs the query that finds
// its headings first.
TranslatedStatement TranslateSelect(DatabaseFile& file, const RecordsetSource& source,
                                    std::unique_ptr<storage::Statement>& prepared) {
  CatalogueSchema schema(file);
  TranslateOptions options;
  options.dialect = &file.Connection().Dialect();
  options.schema = &schema;
  for (const auto& parameter : source.parameters) options.knownParameters.push_back(parameter.first);
  std::vector<PivotValue> pivotValues;
  for (int attempt = 0;; ++attempt) {
    options.pivotValues = nullptr;
    TranslatedStatement translated = TranslateStatement(source.sql, options);
    if (translated.kind != StatementKind::kSelect && translated.kind != StatementKind::kUnion &&
        translated.kind != StatementKind::kCrosstab) {
      RaiseDaoError(3219, {}, "DAO.Database");  // an action query returns no rows
    }
    std::optional<std::string> unknown;
    if (translated.pivotQuery) {
      std::unique_ptr<storage::Statement> first;
      unknown = PrepareOrUnknownName(file, translated.pivotQuery->sql, first);
      if (!unknown) {
        pivotValues = ReadPivotValues(source, *translated.pivotQuery, *first);
        options.pivotValues = &pivotValues;
        translated = TranslateStatement(source.sql, options);
      }
    }
    if (!unknown) {
      unknown = PrepareOrUnknownName(file, translated.sql, prepared);
      if (!unknown) return translated;
    }
    const bool repeated = std::any_of(options.knownParameters.begin(), options.knownParameters.end(),
                                      [&](const std::string& name) { return AnsiSameText(name, *unknown); });
    if (repeated || attempt >= kMaxUnknownNames) {
      RaiseDaoError(kDaoTooFewParameters, {std::to_string(options.knownParameters.size() + 1)});
    }
    options.knownParameters.push_back(*unknown);
  }
}

std::string SelectListOf(const TableInfo& table) {
  std::string list;
  for (const ColumnInfo& column : table.columns) {
    if (!list.empty()) list += ", ";
    list += QuoteName(column.name);
  }
  return list;
}

// Whether every field of the index is a column that cannot be Null: a unique index over such
// fields names each row as a primary key does.
bool NamesEveryRow(const TableInfo& table, const IndexInfo& index) {
  if (index.fields.empty()) return false;
  for (const IndexFieldInfo& field : index.fields) {
    const auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                     [&](const ColumnInfo& c) { return AnsiSameText(c.name, field.name); });
    if (column == table.columns.end() || !column->required) return false;
  }
  return true;
}

// The rows of a table without row ids go by its primary key, or, without one, by a unique
// index over fields that cannot be Null (as DAO keys an ODBC table); null for other tables
// (and for such a table without either, whose rows nothing identifies).
std::shared_ptr<PrimaryKeyMap> PrimaryKeyOf(const TableInfo& table) {
  if (!table.withoutRowId) return nullptr;
  const IndexInfo* key = nullptr;
  for (const IndexInfo& index : table.indexes) {
    if (index.primary && !index.fields.empty()) {
      key = &index;
      break;
    }
    if (key == nullptr && index.unique && NamesEveryRow(table, index)) key = &index;
  }
  if (key == nullptr) return nullptr;
  std::vector<std::string> columns;
  for (const IndexFieldInfo& field : key->fields) columns.push_back(field.name);
  return std::make_shared<PrimaryKeyMap>(std::move(columns));
}

std::string ComposeSelect(const QueryPlan& plan) {
  std::string sql = "SELECT " + plan.selectList + " FROM " + plan.from;
  if (!plan.where.empty()) sql += " WHERE " + plan.where;
  if (!plan.order.empty()) {
    sql += " ORDER BY ";
    for (size_t i = 0; i < plan.order.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += SortTermText(plan.order[i], false, *plan.dialect);
    }
  }
  return sql;
}

// A table read without an order of its own is read in its primary key's order where its rows
// go by that key: a server hands out a table's rows in whatever order it finds them.
std::string KeyOrder(const QueryPlan& plan) {
  return plan.primaryKey ? " ORDER BY " + plan.primaryKey->ColumnList() : std::string();
}

// Whether SQLite text holds a parameter outside its literals and quoted names.
bool HasParameter(std::string_view sql) {
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '?') {
      return true;
    }
  }
  return false;
}

}  // namespace

OpenedSource PlanSource(DatabaseFile& file, const RecordsetSource& source, bool tableType) {
  OpenedSource opened;
  QueryPlan& plan = opened.shape.plan;
  std::unique_ptr<storage::Statement> described;  // the query, prepared
  std::vector<ResultColumnType> derived;          // types of its computed columns
  plan.maxRecords = source.maxRecords;
  plan.dialect = &file.Connection().Dialect();
  TranslateOptions filterOptions;
  filterOptions.dialect = plan.dialect;
  for (const auto& parameter : source.parameters) filterOptions.knownParameters.push_back(parameter.first);
  filterOptions.criteriaErrors = false;

  if (source.sql.empty()) {
    std::shared_ptr<const TableInfo> table = file.Schema().Table(source.table);
    if (!table) RaiseDaoError(kDaoInputTableNotFound, {source.table});
    plan.table = table;
    plan.baseTable = table->name;
    plan.selectList = SelectListOf(*table);
    plan.from = QuoteName(table->name);
    plan.primaryKey = PrimaryKeyOf(*table);
    plan.fullSql = ComposeSelect(plan) + KeyOrder(plan);
    opened.keyable = !table->withoutRowId || plan.primaryKey;
  } else {
    std::unique_ptr<storage::Statement> prepared;
    TranslatedStatement translated = TranslateSelect(file, source, prepared);
    described = std::move(prepared);
    derived = std::move(translated.columnTypes);
    plan.fullSql = translated.sql;
    const int missing = BindParameters(source, translated.parameters, plan);
    if (missing > 0) RaiseDaoError(kDaoTooFewParameters, {std::to_string(missing)});
    if (translated.parts && translated.tables.size() == 1) {
      plan.table = file.Schema().Table(translated.tables.front());
      if (plan.table) plan.primaryKey = PrimaryKeyOf(*plan.table);
      if (plan.table && (!plan.table->withoutRowId || plan.primaryKey)) {
        opened.keyable = true;
        plan.baseTable = plan.table->name;
        plan.selectList = translated.parts->selectList;
        plan.from = translated.parts->from;
        plan.where = translated.parts->where;
        plan.order = SplitSortTerms(translated.parts->orderBy);
      }
    }
  }
  // The names of a Filter and a Sort are the recordset's fields: a base table's columns, or
  // the query's result columns with the types the statement gives them.
  CatalogueSchema filterSchema(file);
  filterOptions.schema = &filterSchema;
  if (opened.keyable || source.sql.empty()) {
    filterOptions.criteriaTable = plan.baseTable;
  } else {
    for (const ResultColumnType& column : derived) {
      if (column.type.type != 0) filterOptions.criteriaColumns.push_back({column.name, column.type, column.noCase});
    }
  }
  if (tableType) {
    // A table-type recordset reads the table itself, in index order.
    if (!source.sql.empty()) RaiseDaoError(3219, {}, "DAO.Database");
  } else {
    // A parent recordset's Filter and Sort.
    std::string filter;
    std::string sort;
    if (!source.filter.empty()) {
      filterOptions.firstParameterNumber = plan.parameterCount + 1;
      TranslatedExpression translated = TranslateExpression(source.filter, filterOptions);
      if (BindParameters(source, translated.parameters, plan) > 0) {
        RaiseDaoError(kDaoTooFewParameters, {"1"});
      }
      filter = translated.sql;
    }
    if (!source.sort.empty()) {
      filterOptions.firstParameterNumber = plan.parameterCount + 1;
      TranslatedExpression translated = TranslateOrderBy(source.sort, filterOptions);
      if (BindParameters(source, translated.parameters, plan) > 0) {
        RaiseDaoError(kDaoTooFewParameters, {"1"});
      }
      sort = translated.sql;
    }
    if (opened.keyable) {
      if (!filter.empty()) plan.where = plan.where.empty() ? filter : "(" + plan.where + ") AND (" + filter + ")";
      if (!sort.empty()) plan.order = SplitSortTerms(sort);
      plan.fullSql = ComposeSelect(plan);
      if (source.sql.empty() && sort.empty()) plan.fullSql += KeyOrder(plan);
    } else if (!filter.empty() || !sort.empty()) {
      plan.fullSql = "SELECT * FROM (" + plan.fullSql + ")" + plan.dialect->DerivedTableName("lumo_filtered");
      if (!filter.empty()) plan.fullSql += " WHERE " + filter;
      if (!sort.empty()) plan.fullSql += " ORDER BY " + sort;
      described.reset();
    }
  }
  plan.selectUsesParameters = HasParameter(plan.selectList);
  // Rows of a table without a primary-key map are named by the back-end's row key.
  if (!plan.primaryKey && plan.table) plan.identity = file.Connection().RowIdentityOf(*plan.table);

  if (opened.keyable) {
    // The statement that reads a row by its key describes the fields.
    storage::Statement& rowStatement = file.Statement("SELECT " + plan.selectList + " FROM " + plan.from + " WHERE " +
                                                      RowCondition(plan, plan.parameterCount + 1));
    opened.shape.columns = DescribeResultColumns(file, rowStatement, plan.baseTable, derived);
  } else {
    // The statement itself describes them (the scan prepares its own).
    if (!described) described = file.Connection().Prepare(plan.fullSql);
    opened.shape.columns = DescribeResultColumns(file, *described, {}, derived);
  }
  if (HasUntypedColumns(opened.shape.columns)) {
    // Neither the schema nor the expression says: the first row's values do.
    std::unique_ptr<storage::Statement> first = file.Connection().Prepare(plan.fullSql);
    plan.parameters.BindTo(*first);
    TypeFromFirstRow(opened.shape.columns, *first);
  }
  return opened;
}

}  // namespace lumo::jet
