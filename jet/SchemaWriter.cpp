#include "jet/SchemaWriter.h"

#include "runtime/StrUtils.h"
#include "jet/Catalogue.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"

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
// counter, else the first counter when there is no primary key; -1 for none.
int RowKeyColumn(const TableDesign& design) {
  const DdlIndex* primary = nullptr;
  for (const auto& index : design.indexes) {
    if (index.primary) primary = &index;
  }
  for (size_t i = 0; i < design.columns.size(); ++i) {
    const ColumnDesign& column = design.columns[i];
    if (!IsCounter(column.type)) continue;
    if (primary == nullptr) return static_cast<int>(i);
    if (primary->fields.size() == 1 && AnsiSameText(primary->fields[0].name, column.name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

void SchemaWriter::Raise(int number, const std::vector<std::string>& args) const {
  // Numbers the error table may not carry yet keep DAO's own text here.
  if (DaoErrorPattern(number) == nullptr) {
    DaoErrorInfo info = MakeDaoError(number, args, source_);
    if (number == 3280) {
      info.description = "Cannot delete a field that is part of an index or is needed by the system.";
    }
    RaiseDaoError(info);
  }
  RaiseDaoError(number, args, source_);
}

std::string SchemaWriter::ExactTableName(const std::string& table, int notFoundNumber) {
  const TableInfo* info = file_.Schema().FindTable(table);
  if (info == nullptr) Raise(notFoundNumber, {table});
  return info->name;
}

std::string SchemaWriter::CreateTableSql(const std::string& name, const TableDesign& design, int rowKey) const {
  std::string text = "CREATE TABLE " + Quote(name) + " (";
  for (size_t i = 0; i < design.columns.size(); ++i) {
    const ColumnDesign& column = design.columns[i];
    const bool isRowKey = static_cast<int>(i) == rowKey;
    if (i > 0) text += ", ";
    text += Quote(column.name) + " " + SqliteColumnType(column.type, isRowKey);
    if (isRowKey) {
      text += " PRIMARY KEY AUTOINCREMENT";
      continue;
    }
    if (column.required) text += " NOT NULL";
    std::string defaultSql = !column.sqliteDefault.empty() ? column.sqliteDefault
                                                           : SqliteDefaultExpression(column.defaultValue, column.type);
    if (!defaultSql.empty()) text += " DEFAULT " + defaultSql;
  }
  for (const DdlIndex& index : design.indexes) {
    if (index.primary && rowKey < 0) {
      text += ", CONSTRAINT " + Quote(index.name) + " PRIMARY KEY " + QuotedList(FieldNames(index));
    }
    if (index.foreign) {
      text += ", CONSTRAINT " + Quote(index.name) + " FOREIGN KEY " + QuotedList(FieldNames(index)) +
              " REFERENCES " + Quote(index.referencedTable);
      if (!index.referencedFields.empty()) text += " " + QuotedList(index.referencedFields);
    }
  }
  return text + ")";
}

void SchemaWriter::CreateTable(const TableDesign& design) {
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
    if (!IsCounter(column.type)) continue;
    if (static_cast<int>(i) == rowKey) {
      if (column.seed != 1) {
        // AUTOINCREMENT continues after the highest number recorded for the table.
        file_.Connection().Exec("INSERT INTO sqlite_sequence (name, seq) VALUES (" + Literal(design.name) + ", " +
                                std::to_string(column.seed - 1) + ")");
      }
    } else {
      WriteCounterTrigger(design.name, column.name);
    }
  }
  for (DdlIndex index : effective.indexes) {
    // The primary key is the row key or the table's PRIMARY KEY constraint: no index of its own.
    if (index.primary) index.rowKey = true;
    WriteIndex(design.name, index);
  }
  WriteCheckTriggers(design.name);
  schema.TouchObject(design.name, kObjectTypeTable, true);
  scope.Commit();
  schema.Invalidate();
}

void SchemaWriter::DropTable(const std::string& table, int notFoundNumber) {
  const std::string name = ExactTableName(table, notFoundNumber);
  WriteScope scope(file_);
  file_.Connection().Exec("DROP TABLE " + Quote(name));
  file_.Schema().ForgetObject(name);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SchemaWriter::AddColumn(const std::string& table, const ColumnDesign& column) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  Catalogue& schema = file_.Schema();
  if (column.name.empty()) Raise(3001);
  if (schema.FindTable(name)->FindColumn(column.name) != nullptr) Raise(kDaoFieldExists, {column.name, name});
  // SQLite adds no row key to a table and no NOT NULL column to one that may hold rows: a
  // counter is declared COUNTER and numbered, Required is kept beside the column.
  std::string text = "ALTER TABLE " + Quote(name) + " ADD COLUMN " + Quote(column.name) + " " +
                     SqliteColumnType(column.type, false);
  std::string defaultSql = !column.sqliteDefault.empty() ? column.sqliteDefault
                                                         : SqliteDefaultExpression(column.defaultValue, column.type);
  if (!defaultSql.empty()) text += " DEFAULT " + defaultSql;
  WriteScope scope(file_);
  schema.EnsureSystemTables();
  file_.Connection().Exec(text);
  if (IsCounter(column.type)) {
    // The rows there are get their numbers in row order, new ones from the trigger.
    file_.Connection().Exec("UPDATE " + Quote(name) + " SET " + Quote(column.name) + " = (SELECT count(*) FROM " +
                            Quote(name) + " AS older WHERE older.rowid <= " + Quote(name) + ".rowid)");
    WriteCounterTrigger(name, column.name);
  }
  if (column.required) schema.StoreProperty(name, column.name, "Required", dbBoolean, Variant(true));
  WriteCheckTriggers(name);
  schema.TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  schema.Invalidate();
}

void SchemaWriter::DropColumn(const std::string& table, const std::string& column, int notFoundNumber) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  Catalogue& schema = file_.Schema();
  const TableInfo* info = schema.FindTable(name);
  const ColumnInfo* found = info->FindColumn(column);
  if (found == nullptr) Raise(notFoundNumber, {column, name});
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

void SchemaWriter::CheckIndex(const std::string& table, const DdlIndex& index) {
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

void SchemaWriter::CreateIndex(const std::string& table, const DdlIndex& index) {
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
  file_.Schema().TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SchemaWriter::WriteIndex(const std::string& table, const DdlIndex& index) {
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

void SchemaWriter::WriteCounterTrigger(const std::string& table, const std::string& column) {
  const std::string t = Quote(table);
  const std::string c = Quote(column);
  file_.Connection().Exec("CREATE TRIGGER " + Quote(table + "." + column + ".counter") + " AFTER INSERT ON " + t +
                          " FOR EACH ROW WHEN NEW." + c + " IS NULL BEGIN UPDATE " + t + " SET " + c +
                          " = (SELECT ifnull(max(" + c + "), 0) + 1 FROM " + t + ") WHERE rowid = NEW.rowid; END");
}

void SchemaWriter::DropCheckTriggers(const std::string& table) {
  for (const char* event : {"insert", "update"}) {
    file_.Connection().Exec("DROP TRIGGER IF EXISTS " + Quote(table + ".checks." + event));
  }
}

void SchemaWriter::WriteCheckTriggers(const std::string& table) {
  DropCheckTriggers(table);
  Catalogue& schema = file_.Schema();
  schema.Invalidate();
  std::shared_ptr<const TableInfo> info = schema.Table(table);
  std::vector<std::string> tooLong;
  std::string checks;
  for (const ColumnInfo& column : info->columns) {
    const int type = column.type.type;
    const bool sized = type == dbText || type == dbChar || type == dbBinary || type == dbVarBinary;
    if (sized && column.type.size > 0) {
      // length() counts characters of a text, as field sizes do, and bytes of a blob.
      tooLong.push_back("length(NEW." + Quote(column.name) + ") > " + std::to_string(column.type.size));
    }
    if (column.required && !column.isRowKey) {
      checks += "SELECT RAISE(ABORT, " + Literal(FunctionErrorMessage(kDaoRequiredNull, {column.name})) +
                ") WHERE NEW." + Quote(column.name) + " IS NULL; ";
    }
  }
  if (!tooLong.empty()) {
    std::string condition;
    for (const std::string& test : tooLong) condition += (condition.empty() ? "" : " OR ") + test;
    checks += "SELECT RAISE(ABORT, " + Literal(FunctionErrorMessage(3163)) + ") WHERE " + condition + "; ";
  }
  if (checks.empty()) return;
  for (const char* event : {"insert", "update"}) {
    file_.Connection().Exec("CREATE TRIGGER " + Quote(table + ".checks." + event) + " BEFORE " +
                            (std::string(event) == "insert" ? "INSERT" : "UPDATE") + " ON " + Quote(table) +
                            " FOR EACH ROW BEGIN " + checks + "END");
  }
}

void SchemaWriter::DropIndex(const std::string& table, const std::string& index, int notFoundNumber) {
  const std::string name = ExactTableName(table, kDaoTableNotExists);
  const TableInfo* info = file_.Schema().FindTable(name);
  const IndexInfo* found = info->FindIndex(index);
  if (found == nullptr) Raise(notFoundNumber, {index, name});
  // The row key and a primary key declared with the table are part of the table itself.
  if (found->sqliteName.empty() || StartsText("sqlite_autoindex", found->sqliteName)) Raise(3219);
  const std::string jetName = found->name;
  WriteScope scope(file_);
  file_.Connection().Exec("DROP INDEX " + Quote(found->sqliteName));
  file_.Schema().RemoveIndexFlags(name, jetName);
  file_.Schema().TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SchemaWriter::AlterColumn(const std::string& table, const ColumnDesign& changed) {
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
  if (const IndexInfo* primary = info->PrimaryIndex(); primary && rowKey < 0 && primary->sqliteName.find("sqlite_autoindex") == 0) {
    DdlIndex index;
    index.name = primary->name;
    index.primary = true;
    for (const auto& field : primary->fields) index.fields.push_back({field.name, field.descending});
    design.indexes.push_back(std::move(index));
  }
  std::vector<std::string> recreate;
  {
    SqliteStatement& statement = file_.Statement(
        "SELECT sql FROM sqlite_master WHERE tbl_name = ?1 AND type IN ('index', 'trigger') AND sql IS NOT NULL");
    statement.BindText(1, name);
    while (statement.Step()) recreate.push_back(statement.ColumnText(0));
    statement.Reset();
  }
  std::string columns;
  for (size_t i = 0; i < columnNames.size(); ++i) columns += (i > 0 ? ", " : "") + columnNames[i];
  const std::string temporary = name + ".rebuild";
  // Row ids survive, so that bookmarks and keys of open recordsets still name their rows.
  const std::string copied = (info->rowKey == "rowid" ? "rowid, " : "") + columns;

  WriteScope scope(file_);
  file_.Connection().Exec(CreateTableSql(temporary, design, rowKey));
  file_.Connection().Exec("INSERT INTO " + Quote(temporary) + " (" + copied + ") SELECT " + copied + " FROM " +
                          Quote(name));
  file_.Connection().Exec("DROP TABLE " + Quote(name));
  file_.Connection().Exec("ALTER TABLE " + Quote(temporary) + " RENAME TO " + Quote(name));
  for (const std::string& sql : recreate) file_.Connection().Exec(sql);
  if (changed.required) schema.StoreProperty(name, changed.name, "Required", dbBoolean, Variant(true));
  WriteCheckTriggers(name);
  schema.TouchObject(name, kObjectTypeTable, false);
  scope.Commit();
  schema.Invalidate();
}

void SchemaWriter::Apply(const DdlDefinition& ddl) {
  auto columnOf = [](const DdlColumn& column) {
    ColumnDesign design;
    design.name = column.name;
    design.type = column.type;
    design.required = column.notNull;
    design.seed = column.seed;
    return design;
  };
  switch (ddl.action) {
    case DdlDefinition::Action::kCreateTable: {
      TableDesign design;
      design.name = ddl.table;
      for (const DdlColumn& column : ddl.columns) design.columns.push_back(columnOf(column));
      design.indexes = ddl.indexes;
      CreateTable(design);
      return;
    }
    case DdlDefinition::Action::kAddColumn:
      for (const DdlColumn& column : ddl.columns) AddColumn(ddl.table, columnOf(column));
      for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
      return;
    case DdlDefinition::Action::kAlterColumn:
      for (const DdlColumn& column : ddl.columns) AlterColumn(ddl.table, columnOf(column));
      for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropColumn:
      DropColumn(ddl.table, ddl.droppedName, 3381);
      return;
    case DdlDefinition::Action::kAddConstraint:
      for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropConstraint:
      DropIndex(ddl.table, ddl.droppedName, 3371);
      return;
    case DdlDefinition::Action::kCreateIndex:
      for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
      return;
    case DdlDefinition::Action::kDropIndex:
      DropIndex(ddl.table, ddl.droppedName, kDaoNoSuchIndex);
      return;
    case DdlDefinition::Action::kDropTable:
      DropTable(ddl.table, kDaoTableNotExists);
      return;
  }
}

}  // namespace lumo::jet
