#include "jet/sqlite/SqliteSchemaWriter.h"

#include <algorithm>

#include "jet/Catalogue.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/RowCounts.h"
#include "jet/sqlite/SqliteFieldDefault.h"
#include "jet/sqlite/SqliteRowCounts.h"
#include "jet/sqlite/SqliteTypes.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr int kMaxIndexFields = 10;

std::string Quote(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }
std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

bool IsCounter(const JetFieldType& type) { return (type.attributes & dbAutoIncrField) != 0; }

std::string QuotedList(const std::vector<std::string>& names) {
  std::string text = "(";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += Quote(names[i]);
  }
  return text + ")";
}

std::vector<std::string> FieldNames(const DdlIndex& index) {
  std::vector<std::string> names;
  for (const auto& field : index.fields) names.push_back(field.name);
  return names;
}

// The counter that becomes the row key: the primary key's only field when that is a
// counter, else the first counter when there is no primary key; -1 for none. SQLite's row
// key counts by one, so a counter with another increment is numbered by a trigger instead.
int RowKeyColumn(const TableDesign& design) {
  const DdlIndex* primary = nullptr;
  for (const auto& index : design.indexes) {
    if (index.primary) primary = &index;
  }
  for (size_t i = 0; i < design.columns.size(); ++i) {
    const ColumnDesign& column = design.columns[i];
    if (!IsCounter(column.type) || column.increment != 1) continue;
    if (primary == nullptr) return static_cast<int>(i);
    if (primary->fields.size() == 1 && AnsiSameText(primary->fields[0].name, column.name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// The primary key's field when it is one Long column that is not the row key: declared
// INT rather than INTEGER, because an INTEGER PRIMARY KEY would give a Null a new number
// where Jet refuses it (3058).
bool IsLongKeyColumn(const TableDesign& design, const ColumnDesign& column, bool isRowKey) {
  if (isRowKey || column.type.type != dbLong || IsCounter(column.type)) return false;
  for (const DdlIndex& index : design.indexes) {
    if (index.primary && index.fields.size() == 1 && AnsiSameText(index.fields[0].name, column.name)) return true;
  }
  return false;
}

}  // namespace

void SqliteSchemaWriter::Raise(int number, const std::vector<std::string>& args) const {
  RaiseDaoError(number, args, source_);
}

std::string SqliteSchemaWriter::ExactTableName(const std::string& table, int notFoundNumber) {
  const TableInfo* info = file_.Schema().FindTable(table);
  if (info == nullptr) Raise(notFoundNumber, {table});
  return info->name;
}

std::string SqliteSchemaWriter::CreateTableSql(const std::string& name, const TableDesign& design, int rowKey) const {
  std::string text = "CREATE TABLE " + Quote(name) + " (";
  for (size_t i = 0; i < design.columns.size(); ++i) {
    const ColumnDesign& column = design.columns[i];
    const bool isRowKey = static_cast<int>(i) == rowKey;
    if (i > 0) text += ", ";
    text += Quote(column.name) + " " +
            (IsLongKeyColumn(design, column, isRowKey) ? std::string("INT") : SqliteColumnType(column.type, isRowKey));
    if (isRowKey) {
      text += " PRIMARY KEY AUTOINCREMENT";
      continue;
    }
    // A counter's trigger numbers it after the row is in, so SQLite must take it Null first.
    if (column.required && !IsCounter(column.type)) text += " NOT NULL";
    std::string defaultSql = !column.sqliteDefault.empty() ? column.sqliteDefault
                                                           : SqliteDefaultExpression(column.defaultValue, column.type);
    if (!defaultSql.empty()) text += " DEFAULT " + defaultSql;
  }
  for (const DdlIndex& index : design.indexes) {
    if (index.primary && rowKey < 0) {
      text += ", CONSTRAINT " + Quote(index.name) + " PRIMARY KEY " + QuotedList(FieldNames(index));
    }
  }
  return text + ")";
}

void SqliteSchemaWriter::CreateTable(const TableDesign& design) {
  Catalogue& schema = file_.Schema();
  if (design.name.empty()) Raise(3001);
  if (schema.HasTable(design.name)) Raise(kDaoTableExists, {design.name});
  if (design.columns.empty()) Raise(3264);
  for (size_t i = 0; i < design.columns.size(); ++i) {
    for (size_t k = 0; k < i; ++k) {
      if (AnsiSameText(design.columns[i].name, design.columns[k].name)) Raise(kDaoFieldDefinedTwice);
    }
  }
  int primaries = 0;
  for (size_t i = 0; i < design.indexes.size(); ++i) {
    const DdlIndex& index = design.indexes[i];
    if (index.primary && ++primaries > 1) Raise(kDaoPrimaryKeyExists);
    if (index.fields.empty()) Raise(3264);
    if (index.fields.size() > kMaxIndexFields) Raise(kDaoTooManyIndexFields);
    for (size_t k = 0; k < i; ++k) {
      if (AnsiSameText(index.name, design.indexes[k].name)) Raise(kDaoIndexExists);
    }
    for (const auto& field : index.fields) {
      bool found = false;
      for (const auto& column : design.columns) found = found || AnsiSameText(column.name, field.name);
      if (!found) Raise(kDaoUnrecognizedField, {field.name});
    }
  }
  const int rowKey = RowKeyColumn(design);

  // A primary key's fields refuse Nulls.
  TableDesign effective = design;
  for (const DdlIndex& index : design.indexes) {
    if (!index.primary) continue;
    for (const auto& field : index.fields) {
      for (ColumnDesign& column : effective.columns) {
        if (AnsiSameText(column.name, field.name)) column.required = true;
      }
    }
  }

  WriteScope scope(file_);
  schema.EnsureSystemTables();
  file_.Connection().Exec(CreateTableSql(design.name, effective, rowKey));
  for (size_t i = 0; i < effective.columns.size(); ++i) {
    const ColumnDesign& column = effective.columns[i];
    if (!column.allowZeroLength) {
      schema.StoreProperty(design.name, column.name, "AllowZeroLength", dbBoolean, Variant(false));
    }
    if (!IsCounter(column.type)) continue;
    if (static_cast<int>(i) == rowKey) {
      if (column.seed != 1) {
        // AUTOINCREMENT continues after the highest number recorded for the table.
        file_.Connection().Exec("INSERT INTO sqlite_sequence (name, seq) VALUES (" + Literal(design.name) + ", " +
                                std::to_string(column.seed - 1) + ")");
      }
    } else {
      WriteCounterTrigger(design.name, column);
    }
  }
  for (DdlIndex index : effective.indexes) {
    // The primary key is the row key or the table's PRIMARY KEY constraint: no index of its own.
    if (index.primary) index.rowKey = true;
    WriteIndex(design.name, index);
  }
  std::vector<std::string> related;
  for (const DdlIndex& index : effective.indexes) {
    if (!index.foreign) continue;
    RelationInfo relation;
    relation.name = index.name;
    relation.table = index.referencedTable;
    relation.foreignTable = design.name;
    relation.fields = index.referencedFields;
    relation.foreignFields = FieldNames(index);
    AddRelation(std::move(relation), true, false);
    related.push_back(index.referencedTable);
  }
  WriteCheckTriggers(design.name);
  // Counted from the start, so that the number of its rows never needs reading the table.
  AddRowCount(design.name);
  for (const std::string& table : related) {
    if (!AnsiSameText(table, design.name)) WriteCheckTriggers(ExactTableName(table, kDaoTableNotExists));
  }
  schema.TouchObject(design.name, kObjectTypeTable, true);
  scope.Commit();
  schema.Invalidate();
}

void SqliteSchemaWriter::AddRowCount(const std::string& table) {
  file_.CheckWritable();
  WriteScope scope(file_);
  storage::Connection& connection = file_.Connection();
  connection.Exec(std::string("CREATE TABLE IF NOT EXISTS ") + kRowCountsTable +
                  " (TableName VARCHAR(255) COLLATE NOCASE NOT NULL PRIMARY KEY, Rows INTEGER NOT NULL DEFAULT 0)");
  for (bool insert : {true, false}) {
    connection.Exec("DROP TRIGGER IF EXISTS " + Quote(RowCountTriggerName(table, insert)));
  }
  // Counted and written in one transaction: no other writer comes in between.
  connection.Exec(std::string("INSERT INTO ") + kRowCountsTable + " (TableName, Rows) SELECT " + Literal(table) +
                  ", count(*) FROM " + Quote(table) +
                  " WHERE 1 ON CONFLICT (TableName) DO UPDATE SET Rows = excluded.Rows");
  for (bool insert : {true, false}) connection.Exec(RowCountTriggerSql(table, insert));
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::DropTable(const std::string& table, int notFoundNumber) {
  const std::string name = ExactTableName(table, notFoundNumber);
  // A relation needs both of its tables: it goes first.
  for (const RelationInfo& relation : file_.Schema().Relations()) {
    if (!relation.declared && relation.Involves(name)) Raise(3281);
  }
  WriteScope scope(file_);
  file_.Connection().Exec("DROP TABLE " + Quote(name));
  file_.Schema().ForgetObject(name);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::AddColumn(const std::string& table, const ColumnDesign& column) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  Catalogue& schema = file_.Schema();
  if (column.name.empty()) Raise(3001);
  if (schema.FindTable(name)->FindColumn(column.name) != nullptr) Raise(kDaoFieldExists, {column.name, name});
  // SQLite adds no row key to a table and no NOT NULL column to one that may hold rows: a
  // counter is declared COUNTER and numbered, Required is kept beside the column.
  std::string text =
      "ALTER TABLE " + Quote(name) + " ADD COLUMN " + Quote(column.name) + " " + SqliteColumnType(column.type, false);
  std::string defaultSql =
      !column.sqliteDefault.empty() ? column.sqliteDefault : SqliteDefaultExpression(column.defaultValue, column.type);
  if (!defaultSql.empty()) text += " DEFAULT " + defaultSql;
  WriteScope scope(file_);
  schema.EnsureSystemTables();
  file_.Connection().Exec(text);
  if (IsCounter(column.type)) {
    // The rows there are get their numbers in row order, new ones from the trigger.
    file_.Connection().Exec("UPDATE " + Quote(name) + " SET " + Quote(column.name) + " = " +
                            std::to_string(column.seed - column.increment) + " + " + std::to_string(column.increment) +
                            " * (SELECT count(*) FROM " + Quote(name) +
                            " AS older WHERE older.rowid <= " + Quote(name) + ".rowid)");
    WriteCounterTrigger(name, column);
  }
  if (column.required) schema.StoreProperty(name, column.name, "Required", dbBoolean, Variant(true));
  if (!column.allowZeroLength) {
    schema.StoreProperty(name, column.name, "AllowZeroLength", dbBoolean, Variant(false));
  }
  WriteCheckTriggers(name);
  schema.TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  schema.Invalidate();
}

void SqliteSchemaWriter::DropColumn(const std::string& table, const std::string& column, int notFoundNumber) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  Catalogue& schema = file_.Schema();
  const TableInfo* info = schema.FindTable(name);
  const ColumnInfo* found = info->FindColumn(column);
  if (found == nullptr) Raise(notFoundNumber, {column, name});
  for (const RelationInfo& relation : schema.Relations()) {
    if (relation.declared) continue;
    const bool primarySide = AnsiSameText(relation.table, name) &&
                             std::any_of(relation.fields.begin(), relation.fields.end(),
                                         [&](const std::string& field) { return AnsiSameText(field, column); });
    const bool foreignSide = AnsiSameText(relation.foreignTable, name) &&
                             std::any_of(relation.foreignFields.begin(), relation.foreignFields.end(),
                                         [&](const std::string& field) { return AnsiSameText(field, column); });
    if (primarySide || foreignSide) Raise(3303);
  }
  for (const IndexInfo& index : info->indexes) {
    for (const auto& field : index.fields) {
      if (AnsiSameText(field.name, column)) Raise(3280);
    }
  }
  if (info->columns.size() == 1) Raise(3280);
  const std::string exact = found->name;
  WriteScope scope(file_);
  // A counter's trigger names the column; it goes with it.
  file_.Connection().Exec("DROP TRIGGER IF EXISTS " + Quote(name + "." + exact + ".counter"));
  DropCheckTriggers(name);
  file_.Connection().Exec("ALTER TABLE " + Quote(name) + " DROP COLUMN " + Quote(exact));
  schema.ForgetField(name, exact);
  WriteCheckTriggers(name);
  schema.TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  schema.Invalidate();
}

void SqliteSchemaWriter::CheckIndex(const std::string& table, const DdlIndex& index) {
  const TableInfo* info = file_.Schema().FindTable(table);
  if (index.name.empty()) Raise(3001);
  if (info->FindIndex(index.name) != nullptr) Raise(kDaoIndexExists);
  if (index.primary && info->PrimaryIndex() != nullptr) Raise(kDaoPrimaryKeyExists);
  if (index.fields.empty()) Raise(3264);
  if (index.fields.size() > kMaxIndexFields) Raise(kDaoTooManyIndexFields);
  for (const auto& field : index.fields) {
    if (info->FindColumn(field.name) == nullptr) Raise(kDaoUnrecognizedField, {field.name});
  }
}

void SqliteSchemaWriter::CreateIndex(const std::string& table, const DdlIndex& index) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  CheckIndex(name, index);
  const TableInfo* info = file_.Schema().FindTable(name);
  DdlIndex effective = index;
  if (effective.primary) effective.unique = effective.required = true;
  // A primary key on the row key is the row key itself.
  effective.rowKey = effective.primary && effective.fields.size() == 1 && !info->rowKey.empty() &&
                     info->rowKey != "rowid" && AnsiSameText(effective.fields[0].name, info->rowKey);
  WriteScope scope(file_);
  file_.Schema().EnsureSystemTables();
  WriteIndex(name, effective);
  // A primary key or Required index refuses Nulls from now on.
  if (effective.primary || effective.required) WriteCheckTriggers(name);
  file_.Schema().TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::AddConstraint(const std::string& table, const DdlIndex& index) {
  if (!index.foreign) {
    CreateIndex(table, index);
    return;
  }
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  CheckIndex(name, index);
  RelationInfo relation;
  relation.name = index.name;
  relation.table = index.referencedTable;
  relation.foreignTable = name;
  relation.fields = index.referencedFields;
  relation.foreignFields = FieldNames(index);
  WriteScope scope(file_);
  file_.Schema().EnsureSystemTables();
  WriteIndex(name, index);
  const std::string primary = relation.table;
  AddRelation(std::move(relation), true, false);
  WriteCheckTriggers(name);
  if (!AnsiSameText(primary, name)) WriteCheckTriggers(ExactTableName(primary, kDaoTableNotExists));
  file_.Schema().TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::WriteIndex(const std::string& table, const DdlIndex& index) {
  if (!index.rowKey && !(index.foreign && index.noIndex)) {
    std::string text = index.unique || index.primary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    text += Quote(SqliteIndexName(table, index.name)) + " ON " + Quote(table) + " (";
    for (size_t i = 0; i < index.fields.size(); ++i) {
      if (i > 0) text += ", ";
      text += Quote(index.fields[i].name);
      if (index.fields[i].descending) text += " DESC";
    }
    file_.Connection().Exec(text + ")");
  }
  file_.Schema().StoreIndexFlags(table, index.name, index.primary, index.ignoreNulls, index.required || index.primary);
}

void SqliteSchemaWriter::DropIndex(const std::string& table, const std::string& index, int notFoundNumber) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  const TableInfo* info = file_.Schema().FindTable(name);
  const IndexInfo* found = info->FindIndex(index);
  if (found == nullptr) Raise(notFoundNumber, {index, name});
  if (found->foreign) Raise(3281);
  for (const RelationInfo& relation : file_.Schema().Relations()) {
    if (relation.declared || !AnsiSameText(relation.table, name) || !found->unique) continue;
    if (relation.fields.size() != found->fields.size()) continue;
    bool same = true;
    for (const auto& field : found->fields) {
      same = same && std::any_of(relation.fields.begin(), relation.fields.end(),
                                 [&](const std::string& name) { return AnsiSameText(name, field.name); });
    }
    // The primary side's unique index is what makes a row's partner one row.
    if (same) Raise(3281);
  }
  // The row key and a primary key declared with the table are part of the table itself.
  if (found->sqliteName.empty() || StartsText("sqlite_autoindex", found->sqliteName)) Raise(3219);
  const std::string jetName = found->name;
  WriteScope scope(file_);
  const bool refusedNulls = found->primary || found->required;
  file_.Connection().Exec("DROP INDEX " + Quote(found->sqliteName));
  file_.Schema().RemoveIndexFlags(name, jetName);
  if (refusedNulls) WriteCheckTriggers(name);
  file_.Schema().TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::AlterColumn(const std::string& table, const ColumnDesign& changed) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  Catalogue& schema = file_.Schema();
  std::shared_ptr<const TableInfo> info = schema.Table(name);
  if (info->FindColumn(changed.name) == nullptr) Raise(3381, {changed.name, name});
  if (info->withoutRowId) Raise(3219);

  // SQLite cannot change a column's type: the table is made again with the new type and
  // the rows copied over, keeping row ids, indexes and triggers.
  TableDesign design;
  design.name = name;
  int rowKey = -1;
  std::vector<std::string> columnNames;
  for (const ColumnInfo& column : info->columns) {
    ColumnDesign entry;
    entry.name = column.name;
    entry.type = column.type;
    entry.required = column.required && !column.isRowKey;
    entry.sqliteDefault = column.sqliteDefault;
    if (AnsiSameText(column.name, changed.name)) {
      entry.type = changed.type;
      entry.required = entry.required || changed.required;
      entry.sqliteDefault.clear();
      entry.defaultValue.clear();
    }
    if (column.isRowKey && info->autoIncrement) rowKey = column.ordinal;
    columnNames.push_back(Quote(column.name));
    design.columns.push_back(std::move(entry));
  }
  // A primary key that is not the row key is the new table's PRIMARY KEY constraint (an old
  // INTEGER one, which numbered Nulls, becomes an INT one).
  if (const IndexInfo* primary = info->PrimaryIndex();
      primary && rowKey < 0 && (primary->sqliteName.empty() || primary->sqliteName.find("sqlite_autoindex") == 0)) {
    DdlIndex index;
    index.name = primary->name;
    index.primary = true;
    for (const auto& field : primary->fields) index.fields.push_back({field.name, field.descending});
    design.indexes.push_back(std::move(index));
  }
  std::vector<std::string> recreate;
  {
    // The check triggers are made anew below; the others (counters) come back as they were.
    storage::Statement& statement = file_.Statement(
        "SELECT sql FROM sqlite_master WHERE tbl_name = ?1 AND type IN ('index', 'trigger') AND sql IS NOT NULL "
        "AND name NOT IN (?2, ?3, ?4, ?5, ?6)");
    statement.BindText(1, name);
    int parameter = 2;
    for (const char* kind :
         {".checks.insert", ".checks.update", ".checks.delete", ".cascade.update", ".cascade.delete"}) {
      statement.BindText(parameter++, name + kind);
    }
    while (statement.Step()) recreate.push_back(statement.ColumnText(0));
    statement.Reset();
  }
  std::string columns;
  for (size_t i = 0; i < columnNames.size(); ++i) columns += (i > 0 ? ", " : "") + columnNames[i];
  const std::string temporary = name + ".rebuild";
  // Row ids survive, so that bookmarks and keys of open recordsets still name their rows.
  const std::string copied = (rowKey < 0 ? "rowid, " : "") + columns;
  const std::vector<std::string> related = RelatedTables(name);

  WriteScope scope(file_);
  // Triggers of related tables name this table, which is briefly gone: SQLite would refuse
  // the rename while they point nowhere.
  for (const std::string& other : related) DropCheckTriggers(other);
  file_.Connection().Exec(CreateTableSql(temporary, design, rowKey));
  file_.Connection().Exec("INSERT INTO " + Quote(temporary) + " (" + copied + ") SELECT " + copied + " FROM " +
                          Quote(name));
  file_.Connection().Exec("DROP TABLE " + Quote(name));
  file_.Connection().Exec("ALTER TABLE " + Quote(temporary) + " RENAME TO " + Quote(name));
  for (const std::string& sql : recreate) file_.Connection().Exec(sql);
  if (changed.required) schema.StoreProperty(name, changed.name, "Required", dbBoolean, Variant(true));
  WriteCheckTriggers(name);
  for (const std::string& other : related) WriteCheckTriggers(other);
  schema.TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  schema.Invalidate();
}

void SqliteSchemaWriter::Apply(const DdlDefinition& ddl) {
  switch (ddl.action) {
    case DdlDefinition::Action::kCreateTable: CreateTable(storage::TableDesignOf(ddl)); return;
    case DdlDefinition::Action::kAddColumn:
      for (const DdlColumn& column : ddl.columns) AddColumn(ddl.table, storage::ColumnDesignOf(column));
      for (const DdlIndex& index : ddl.indexes) AddConstraint(ddl.table, index);
      return;
    case DdlDefinition::Action::kAlterColumn:
      for (const DdlColumn& column : ddl.columns) AlterColumn(ddl.table, storage::ColumnDesignOf(column));
      for (const DdlIndex& index : ddl.indexes) AddConstraint(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropColumn: DropColumn(ddl.table, ddl.droppedName, 3381); return;
    case DdlDefinition::Action::kAddConstraint:
      for (const DdlIndex& index : ddl.indexes) AddConstraint(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropConstraint: {
      // A FOREIGN KEY constraint is a relation of this table, with the index of its name.
      const std::string name = ExactTableName(ddl.table, kDaoTableNotExists);
      auto relation = file_.Schema().FindRelation(ddl.droppedName);
      if (relation && !relation->declared && AnsiSameText(relation->foreignTable, name)) {
        DropRelation(relation->name, 3371);
        return;
      }
      DropIndex(ddl.table, ddl.droppedName, 3371);
      return;
    }
    case DdlDefinition::Action::kCreateIndex:
      for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropIndex: DropIndex(ddl.table, ddl.droppedName, kDaoNoSuchIndex); return;
    case DdlDefinition::Action::kDropTable: DropTable(ddl.table, kDaoTableNotExists); return;
  }
}

}  // namespace lumo::jet
