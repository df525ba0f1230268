// JetSqlEmitter: whole statements (SELECT, INSERT, UPDATE, DELETE, SELECT ... INTO).

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlEmitterUtil.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

using namespace emit;

namespace {

// The tables of an UPDATE target, which may only be inner joins of plain tables, with the ON
// conditions that tie them.
void FlattenInnerJoins(const TableRef& ref, std::vector<const TableRef*>& tables,
                       std::vector<const Expr*>& conditions) {
  switch (ref.kind) {
    case TableRef::Kind::kTable: tables.push_back(&ref); return;
    case TableRef::Kind::kSubquery: throw JetSqlError{3073, {}};
    case TableRef::Kind::kJoin:
      if (ref.join != JoinKind::kInner) throw JetSqlError{3073, {}};
      FlattenInnerJoins(*ref.left, tables, conditions);
      FlattenInnerJoins(*ref.right, tables, conditions);
      conditions.push_back(ref.on.get());
      return;
  }
}

}  // namespace

void JetSqlEmitter::EmitStatement(const Statement& statement, TranslatedStatement& result) {
  result.kind = statement.kind;
  switch (statement.kind) {
    case StatementKind::kSelect:
    case StatementKind::kUnion:
    case StatementKind::kCrosstab:  // rewritten into a SELECT before it gets here
    case StatementKind::kSelectInto: {
      const SelectStatement& select = *statement.select;
      const SelectCore& first = select.cores[0];
      CoreCapture capture;
      capture_ = &capture;
      nameNextQuery_ = true;
      std::string sql = Select(select);
      capture_ = nullptr;
      result.top = first.top;
      result.topPercent = first.topPercent;
      result.columnTypes = std::move(capture.columnTypes);
      result.distinct = first.distinct == DistinctMode::kDistinct;
      result.distinctRow = first.distinct == DistinctMode::kDistinctRow;
      for (const SelectCore& core : select.cores) result.aggregated = result.aggregated || CoreIsAggregated(core);
      std::vector<const TableRef*> tables;
      for (const TableRefPtr& ref : first.from) CollectTables(*ref, tables, nullptr);
      for (const TableRef* table : tables) result.tables.push_back(table->name);
      if (statement.kind == StatementKind::kSelectInto) {
        result.targetTable = first.intoTable;
        result.selectSql = sql;
        result.sql = "CREATE TABLE " + Quote(first.intoTable) + " AS " + sql;
        return;
      }
      result.sql = sql;
      if (statement.kind == StatementKind::kSelect && first.from.size() == 1 &&
          first.from[0]->kind == TableRef::Kind::kTable && !result.aggregated && !first.top &&
          first.distinct != DistinctMode::kDistinct) {
        SelectParts parts;
        parts.selectList = capture.selectList;
        parts.table = first.from[0]->name;
        parts.from = TableRefText(*first.from[0]);
        if (first.where) {
          ScopeUse scope(*this, first);
          parts.where = Condition(*first.where).text;
        }
        parts.orderBy = capture.sort;
        result.parts = std::move(parts);
      }
      return;
    }
    case StatementKind::kInsert: Insert(*statement.insert, result); return;
    case StatementKind::kUpdate: Update(*statement.update, result); return;
    case StatementKind::kDelete: Delete(*statement.del, result); return;
    case StatementKind::kCreateTable: CreateTable(*statement.createTable, result); return;
    case StatementKind::kAlterTable: AlterTable(*statement.alterTable, result); return;
    case StatementKind::kCreateIndex: CreateIndex(*statement.createIndex, result); return;
    case StatementKind::kDropIndex:
    case StatementKind::kDropTable: Drop(*statement.drop, result); return;
  }
}

void JetSqlEmitter::Insert(const InsertStatement& insert, TranslatedStatement& result) {
  result.targetTable = insert.table;
  std::string text = "INSERT INTO " + Quote(TableName(insert.table));
  if (!insert.columns.empty()) {
    text += " (";
    for (size_t i = 0; i < insert.columns.size(); ++i) {
      if (i > 0) text += ", ";
      text += Quote(ColumnName(insert.table, insert.columns[i]));
    }
    text += ")";
  }
  // Values take the stored form of their column: a Currency column keeps four decimals.
  const std::vector<JetFieldType> targets = InsertTargetTypes(insert);
  if (insert.select) {
    storeTypes_ = targets.empty() ? nullptr : &targets;
    text += " " + Select(*insert.select);
    storeTypes_ = nullptr;
    std::vector<const TableRef*> tables;
    for (const TableRefPtr& ref : insert.select->cores[0].from) CollectTables(*ref, tables, nullptr);
    for (const TableRef* table : tables) result.tables.push_back(table->name);
  } else {
    text += " VALUES (";
    for (size_t i = 0; i < insert.values.size(); ++i) {
      if (i > 0) text += ", ";
      text += Stored(Value(*insert.values[i]).text, i < targets.size() ? &targets[i] : nullptr);
    }
    text += ")";
  }
  result.sql = std::move(text);
}

// A join in UPDATE becomes SQLite's UPDATE ... FROM: the updated table stays the target, the
// others move to FROM and the join conditions to WHERE.
void JetSqlEmitter::Update(const UpdateStatement& update, TranslatedStatement& result) {
  std::vector<const TableRef*> tables;
  std::vector<const Expr*> conditions;
  FlattenInnerJoins(*update.target, tables, conditions);
  const TableRef* target = tables[0];
  if (tables.size() > 1) {
    const TableRef* chosen = nullptr;
    for (const Assignment& assignment : update.assignments) {
      if (assignment.column.size() < 2) continue;
      const TableRef* owner = nullptr;
      for (const TableRef* table : tables) {
        if (RefMatches(*table, assignment.column[0])) owner = table;
      }
      if (owner == nullptr || (chosen != nullptr && chosen != owner)) throw JetSqlError{3073, {}};
      chosen = owner;
    }
    if (chosen != nullptr) target = chosen;
  }
  result.targetTable = target->name;
  for (const TableRef* table : tables) result.tables.push_back(table->name);

  ScopeUse scope(*this, tables);
  const std::vector<SchemaColumn>* targetColumns =
      options_.schema != nullptr ? options_.schema->Columns(target->name) : nullptr;
  std::string text = "UPDATE " + Quote(TableName(target->name));
  if (!target->alias.empty()) text += " AS " + Quote(target->alias);
  text += " SET ";
  for (size_t i = 0; i < update.assignments.size(); ++i) {
    const Assignment& assignment = update.assignments[i];
    if (assignment.column.size() == 2 && !RefMatches(*target, assignment.column[0])) {
      throw JetSqlError{tables.size() > 1 ? 3073 : kDaoUpdateSyntax, {}};
    }
    if (i > 0) text += ", ";
    const JetFieldType* stored = nullptr;
    if (targetColumns != nullptr) {
      for (const SchemaColumn& column : *targetColumns) {
        if (SameName(column.name, assignment.column.back())) stored = &column.type;
      }
    }
    text += Quote(ColumnName(target->name, assignment.column.back())) + " = " +
            Stored(Value(*assignment.value).text, stored);
  }
  if (tables.size() > 1) {
    text += " FROM ";
    bool firstOther = true;
    for (const TableRef* table : tables) {
      if (table == target) continue;
      if (!firstOther) text += ", ";
      firstOther = false;
      text += TableRefText(*table);
    }
  }
  std::vector<std::string> where;
  for (const Expr* condition : conditions) where.push_back(Condition(*condition).text);
  if (update.where) where.push_back(Condition(*update.where).text);
  for (size_t i = 0; i < where.size(); ++i) {
    text += i == 0 ? " WHERE " : " AND ";
    text += where.size() > 1 ? "(" + where[i] + ")" : where[i];
  }
  result.sql = std::move(text);
}

// DELETE t.* FROM a join b ... deletes the rows of t that the join selects.
void JetSqlEmitter::Delete(const DeleteStatement& del, TranslatedStatement& result) {
  std::vector<const TableRef*> tables;
  bool hasSubquery = false;
  for (const TableRefPtr& ref : del.from) CollectTables(*ref, tables, &hasSubquery);
  if (hasSubquery || tables.empty()) throw JetSqlError{3086, {}};
  const TableRef* target = nullptr;
  if (!del.qualifier.empty()) {
    for (const TableRef* table : tables) {
      if (RefMatches(*table, del.qualifier)) target = table;
    }
  } else if (tables.size() == 1) {
    target = tables[0];
  }
  if (target == nullptr) throw JetSqlError{3086, {}};
  result.targetTable = target->name;
  for (const TableRef* table : tables) result.tables.push_back(table->name);
  ScopeUse scope(*this, tables);

  if (del.from.size() == 1 && del.from[0]->kind == TableRef::Kind::kTable) {
    std::string text = "DELETE FROM " + TableRefText(*del.from[0]);
    if (del.where) text += " WHERE " + Condition(*del.where).text;
    result.sql = std::move(text);
    return;
  }
  const std::string rowId(dialect_.RowIdName());
  std::string text = "DELETE FROM " + Quote(TableName(target->name)) + " WHERE " + rowId + " IN (SELECT " +
                     Quote(RefName(*target)) + "." + rowId + " FROM ";
  for (size_t i = 0; i < del.from.size(); ++i) {
    if (i > 0) text += ", ";
    text += TableRefText(*del.from[i]);
  }
  if (del.where) text += " WHERE " + Condition(*del.where).text;
  text += ")";
  result.sql = std::move(text);
}

}  // namespace lumo::jet
