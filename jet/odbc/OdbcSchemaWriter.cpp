#include "jet/odbc/OdbcSchemaWriter.h"

#include <algorithm>

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/odbc/OdbcDialect.h"
#include "jet/storage/Statement.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::odbc {

namespace {

constexpr int kMaxIndexFields = 10;

std::string Quote(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }
std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

bool IsCounter(const JetFieldType& type) { return (type.attributes & dbAutoIncrField) != 0; }
bool IsText(const JetFieldType& type) { return type.type == dbText || type.type == dbChar || type.type == dbMemo; }

std::string QuotedList(const std::vector<std::string>& names) {
  std::string text = "(";
  for (size_t i = 0; i < names.size(); ++i) text += (i > 0 ? ", " : "") + Quote(names[i]);
  return text + ")";
}

std::string IndexFieldList(const DdlIndex& index) {
  std::string text = "(";
  for (size_t i = 0; i < index.fields.size(); ++i) {
    text += (i > 0 ? ", " : "") + Quote(index.fields[i].name) + (index.fields[i].descending ? " DESC" : "");
  }
  return text + ")";
}

std::vector<std::string> FieldNames(const DdlIndex& index) {
  std::vector<std::string> names;
  for (const auto& field : index.fields) names.push_back(field.name);
  return names;
}

std::vector<std::string> FoldedNames(std::vector<std::string> names) {
  for (std::string& name : names) name = FoldedName(name);
  return names;
}

class OdbcSchemaWriter final : public storage::SchemaWriter {
 public:
  OdbcSchemaWriter(DatabaseFile& file, std::string source) : file_(file), source_(std::move(source)) {}

  void CreateTable(const TableDesign& design) override {
    Catalogue& schema = file_.Schema();
    if (design.name.empty()) Raise(kDaoInvalidArgument);
    if (schema.HasTable(design.name)) Raise(kDaoTableExists, {design.name});
    if (design.columns.empty()) Raise(kDaoNoFieldsDefined);
    for (size_t i = 0; i < design.columns.size(); ++i) {
      for (size_t k = 0; k < i; ++k) {
        if (AnsiSameText(design.columns[i].name, design.columns[k].name)) Raise(kDaoFieldDefinedTwice);
      }
    }
    int primaries = 0;
    for (size_t i = 0; i < design.indexes.size(); ++i) {
      const DdlIndex& index = design.indexes[i];
      if (index.primary && ++primaries > 1) Raise(kDaoPrimaryKeyExists);
      CheckIndexShape(index);
      for (size_t k = 0; k < i; ++k) {
        if (AnsiSameText(index.name, design.indexes[k].name)) Raise(kDaoIndexExists);
      }
      for (const auto& field : index.fields) {
        const bool found = std::any_of(design.columns.begin(), design.columns.end(), [&](const ColumnDesign& column) {
          return AnsiSameText(column.name, field.name);
        });
        if (!found) Raise(kDaoUnrecognizedField, {field.name});
      }
    }
    const std::string table = FoldedName(design.name);
    std::string text = "CREATE TABLE " + Quote(table) + " (";
    for (size_t i = 0; i < design.columns.size(); ++i) {
      const ColumnDesign& column = design.columns[i];
      // A primary key's fields refuse Nulls.
      bool required = column.required;
      for (const DdlIndex& index : design.indexes) {
        if (!index.primary) continue;
        for (const auto& field : index.fields) required = required || AnsiSameText(field.name, column.name);
      }
      text += (i > 0 ? ", " : "") + ColumnSql(column, required);
    }
    for (const DdlIndex& index : design.indexes) {
      if (index.primary) {
        text += ", CONSTRAINT " + Quote(StoredIndexName(table, index.name)) + " PRIMARY KEY " +
                QuotedList(FoldedNames(FieldNames(index)));
      }
    }
    text += ")";
    WriteScope scope(file_);
    Exec(text);
    for (const ColumnDesign& column : design.columns) NumberCounter(table, column);
    for (DdlIndex index : design.indexes) {
      if (index.primary) continue;
      for (auto& field : index.fields) field.name = FoldedName(field.name);
      WriteIndex(table, index);
    }
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void DropTable(const std::string& table, int notFoundNumber) override {
    const std::string name = ExactTableName(table, notFoundNumber);
    // A relation needs both of its tables: it goes first.
    for (const RelationInfo& relation : file_.Schema().Relations()) {
      if (relation.Involves(name) &&
          !(AnsiSameText(relation.table, name) && AnsiSameText(relation.foreignTable, name))) {
        Raise(kDaoIndexInUse);
      }
    }
    WriteScope scope(file_);
    Exec("DROP TABLE " + Quote(name));
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void AddColumn(const std::string& table, const ColumnDesign& column) override {
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    if (column.name.empty()) Raise(kDaoInvalidArgument);
    if (file_.Schema().FindTable(name)->FindColumn(column.name) != nullptr) Raise(kDaoFieldExists, {column.name, name});
    WriteScope scope(file_);
    // The server numbers a new counter's existing rows itself, and refuses a Required
    // column without a default on a table that holds rows (3314, with its message).
    Exec("ALTER TABLE " + Quote(name) + " ADD COLUMN " + ColumnSql(column, column.required));
    NumberCounter(name, column);
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void DropColumn(const std::string& table, const std::string& column, int notFoundNumber) override {
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    Catalogue& schema = file_.Schema();
    const TableInfo* info = schema.FindTable(name);
    const ColumnInfo* found = info->FindColumn(column);
    if (found == nullptr) Raise(notFoundNumber, {column, name});
    const auto names = [&](const std::vector<std::string>& fields) {
      return std::any_of(fields.begin(), fields.end(),
                         [&](const std::string& field) { return AnsiSameText(field, column); });
    };
    for (const RelationInfo& relation : schema.Relations()) {
      if ((AnsiSameText(relation.table, name) && names(relation.fields)) ||
          (AnsiSameText(relation.foreignTable, name) && names(relation.foreignFields))) {
        Raise(kDaoFieldInRelation);
      }
    }
    for (const IndexInfo& index : info->indexes) {
      for (const auto& field : index.fields) {
        if (AnsiSameText(field.name, column)) Raise(kDaoFieldInIndex);
      }
    }
    if (info->columns.size() == 1) Raise(kDaoFieldInIndex);
    const std::string exact = found->name;
    WriteScope scope(file_);
    Exec("ALTER TABLE " + Quote(name) + " DROP COLUMN " + Quote(exact));
    scope.Commit();
    schema.Invalidate();
  }

  void CreateIndex(const std::string& table, const DdlIndex& index) override {
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    CheckIndex(name, index);
    const DdlIndex resolved = ResolvedIndex(name, index);
    WriteScope scope(file_);
    if (resolved.primary) {
      Exec("ALTER TABLE " + Quote(name) + " ADD CONSTRAINT " + Quote(StoredIndexName(name, resolved.name)) +
           " PRIMARY KEY " + QuotedList(FieldNames(resolved)));
    } else {
      WriteIndex(name, resolved);
    }
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void DropIndex(const std::string& table, const std::string& index, int notFoundNumber) override {
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    const TableInfo* info = file_.Schema().FindTable(name);
    const IndexInfo* found = info->FindIndex(index);
    if (found == nullptr) Raise(notFoundNumber, {index, name});
    if (found->foreign) Raise(kDaoIndexInUse);
    const std::string stored = found->sqliteName.empty() ? StoredIndexName(name, found->name) : found->sqliteName;
    WriteScope scope(file_);
    // The primary key and unique constraints are the table's; their indexes go with them.
    if (found->primary || ConstraintExists(name, stored)) {
      Exec("ALTER TABLE " + Quote(name) + " DROP CONSTRAINT " + Quote(stored));
    } else {
      Exec("DROP INDEX " + Quote(stored));
    }
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void CreateRelation(const RelationInfo& relation, bool fromSql) override {
    (void)fromSql;
    if (relation.name.empty()) Raise(kDaoInvalidArgument);
    if (relation.foreignFields.empty()) Raise(kDaoRelationWithoutFields);
    if (!relation.fields.empty() && relation.fields.size() != relation.foreignFields.size()) {
      Raise(kDaoRelationFieldsMismatch);
    }
    const std::string primary = ExactTableName(relation.table, kDaoItemNotFound);
    const std::string foreign = ExactTableName(relation.foreignTable, kDaoItemNotFound);
    if (file_.Schema().FindRelation(relation.name)) Raise(3012, {relation.name});
    // A relation the server would not enforce is no constraint of its: it cannot keep one.
    if ((relation.attributes & dbRelationDontEnforce) != 0) Raise(kDaoNotSupported);
    WriteScope scope(file_);
    Exec(ForeignKeySql(foreign, relation.name, ColumnsOf(foreign, relation.foreignFields), primary,
                       ColumnsOf(primary, relation.fields), relation.attributes));
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void DropRelation(const std::string& name, int notFoundNumber) override {
    std::optional<RelationInfo> relation = file_.Schema().FindRelation(name);
    if (!relation) Raise(notFoundNumber, {name});
    WriteScope scope(file_);
    Exec("ALTER TABLE " + Quote(relation->foreignTable) + " DROP CONSTRAINT " + Quote(relation->name));
    scope.Commit();
    file_.Schema().Invalidate();
  }

  void Apply(const DdlDefinition& ddl) override {
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
      case DdlDefinition::Action::kDropColumn: DropColumn(ddl.table, ddl.droppedName, kDaoNoSuchField); return;
      case DdlDefinition::Action::kAddConstraint:
        for (const DdlIndex& index : ddl.indexes) AddConstraint(ddl.table, index);
        return;
      case DdlDefinition::Action::kDropConstraint: {
        const std::string name = ExactTableName(ddl.table, kDaoTableNotExists);
        auto relation = file_.Schema().FindRelation(ddl.droppedName);
        if (relation && AnsiSameText(relation->foreignTable, name)) {
          DropRelation(relation->name, kDaoTableOrConstraintNotFound);
          return;
        }
        DropIndex(ddl.table, ddl.droppedName, kDaoTableOrConstraintNotFound);
        return;
      }
      case DdlDefinition::Action::kCreateIndex:
        for (const DdlIndex& index : ddl.indexes) CreateIndex(ddl.table, index);
        return;
      case DdlDefinition::Action::kDropIndex: DropIndex(ddl.table, ddl.droppedName, kDaoNoSuchIndex); return;
      case DdlDefinition::Action::kDropTable: DropTable(ddl.table, kDaoTableNotExists); return;
    }
  }

  // The server counts a table's rows when asked; there is no bookkeeping to make.
  void AddRowCount(const std::string& table) override {
    (void)table;
    file_.CheckWritable();
  }

 private:
  [[noreturn]] void Raise(int number, const std::vector<std::string>& args = {}) const {
    RaiseDaoError(number, args, source_);
  }

  void Exec(const std::string& sql) { file_.Connection().Exec(sql); }

  // A column by its Jet name as the server spells it: the catalogue's spelling of a column of
  // a table the server has, else the name as the schema writer makes it.
  std::string ColumnOf(const std::string& table, const std::string& column) {
    const TableInfo* info = file_.Schema().FindTable(table);
    const ColumnInfo* found = info == nullptr ? nullptr : info->FindColumn(column);
    return found == nullptr ? FoldedName(column) : found->name;
  }
  std::vector<std::string> ColumnsOf(const std::string& table, std::vector<std::string> columns) {
    for (std::string& column : columns) column = ColumnOf(table, column);
    return columns;
  }
  DdlIndex ResolvedIndex(const std::string& table, DdlIndex index) {
    for (auto& field : index.fields) field.name = ColumnOf(table, field.name);
    return index;
  }

  std::string ExactTableName(const std::string& table, int notFoundNumber) {
    const TableInfo* info = file_.Schema().FindTable(table);
    if (info == nullptr) Raise(notFoundNumber, {table});
    return info->name;
  }

  void CheckIndexShape(const DdlIndex& index) const {
    if (index.name.empty()) Raise(kDaoInvalidArgument);
    if (index.fields.empty()) Raise(kDaoNoFieldsDefined);
    if (index.fields.size() > kMaxIndexFields) Raise(kDaoTooManyIndexFields);
  }

  void CheckIndex(const std::string& table, const DdlIndex& index) {
    const TableInfo* info = file_.Schema().FindTable(table);
    CheckIndexShape(index);
    if (info->FindIndex(index.name) != nullptr) Raise(kDaoIndexExists);
    if (index.primary && info->PrimaryIndex() != nullptr) Raise(kDaoPrimaryKeyExists);
    for (const auto& field : index.fields) {
      if (info->FindColumn(field.name) == nullptr) Raise(kDaoUnrecognizedField, {field.name});
    }
  }

  std::string ColumnSql(const ColumnDesign& column, bool required) const {
    const std::string name = FoldedName(column.name);
    std::string text = Quote(name) + " " + PostgresDialect().ColumnType(column.type, false);
    if (required) text += " NOT NULL";
    if (!IsCounter(column.type)) {
      std::string defaultSql = column.sqliteDefault;
      if (defaultSql.empty() && !column.defaultValue.empty()) {
        defaultSql = ServerDefaultExpression(ParseFieldDefault(column.defaultValue, column.type), column.type);
      }
      if (!defaultSql.empty()) text += " DEFAULT " + defaultSql;
    }
    if (!column.allowZeroLength && IsText(column.type)) text += " CHECK (" + Quote(name) + " <> '')";
    return text;
  }

  // A counter's sequence starts at its seed and steps by its increment.
  void NumberCounter(const std::string& table, const ColumnDesign& column) {
    if (!IsCounter(column.type) || (column.seed == 1 && column.increment == 1)) return;
    if (column.increment != 1) {
      std::string sequence;
      {
        auto statement = file_.Connection().Prepare("SELECT pg_get_serial_sequence(" + Literal(Quote(table)) + ", " +
                                                    Literal(FoldedName(column.name)) + ")");
        if (statement->Step()) sequence = statement->ColumnText(0);
      }
      if (!sequence.empty()) Exec("ALTER SEQUENCE " + sequence + " INCREMENT BY " + std::to_string(column.increment));
    }
    auto statement = file_.Connection().Prepare(PostgresDialect().CounterSeed(Literal(table), column.seed));
    while (statement->Step()) {}
  }

  void WriteIndex(const std::string& table, const DdlIndex& index) {
    if (index.foreign) {
      AddForeignKey(table, index);
      return;
    }
    Exec(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
         Quote(StoredIndexName(table, index.name)) + " ON " + Quote(table) + " " + IndexFieldList(index));
  }

  void AddConstraint(const std::string& table, const DdlIndex& index) {
    if (!index.foreign) {
      CreateIndex(table, index);
      return;
    }
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    CheckIndex(name, index);
    const DdlIndex resolved = ResolvedIndex(name, index);
    WriteScope scope(file_);
    AddForeignKey(name, resolved);
    scope.Commit();
    file_.Schema().Invalidate();
  }

  // A FOREIGN KEY constraint of Jet SQL: the relation, and the index Jet keeps on the foreign
  // side unless NO INDEX.
  void AddForeignKey(const std::string& table, const DdlIndex& index) {
    const std::string primary = ExactTableName(index.referencedTable, kDaoTableNotExists);
    Exec(ForeignKeySql(table, index.name, FieldNames(index), primary, ColumnsOf(primary, index.referencedFields), 0));
    if (!index.noIndex) {
      Exec("CREATE INDEX " + Quote(StoredIndexName(table, index.name)) + " ON " + Quote(table) + " " +
           IndexFieldList(index));
    }
  }

  std::string ForeignKeySql(const std::string& foreign, const std::string& name,
                            const std::vector<std::string>& foreignFields, const std::string& primary,
                            const std::vector<std::string>& fields, int attributes) const {
    std::string text = "ALTER TABLE " + Quote(foreign) + " ADD CONSTRAINT " + Quote(name) + " FOREIGN KEY " +
                       QuotedList(foreignFields) + " REFERENCES " + Quote(primary);
    if (!fields.empty()) text += " " + QuotedList(fields);
    if ((attributes & dbRelationUpdateCascade) != 0) text += " ON UPDATE CASCADE";
    if ((attributes & dbRelationDeleteCascade) != 0) text += " ON DELETE CASCADE";
    return text;
  }

  bool ConstraintExists(const std::string& table, const std::string& name) {
    auto statement =
        file_.Connection().Prepare("SELECT 1 FROM pg_constraint WHERE conrelid = to_regclass(?1) AND conname = ?2");
    statement->BindText(1, Quote(table));
    statement->BindText(2, name);
    return statement->Step();
  }

  void AlterColumn(const std::string& table, const ColumnDesign& column) {
    const std::string name = ExactTableName(table, kDaoTableNotExists);
    const ColumnInfo* found = file_.Schema().FindTable(name)->FindColumn(column.name);
    if (found == nullptr) Raise(kDaoNoSuchField, {column.name, name});
    const std::string type = PostgresDialect().ColumnType(column.type, false);
    WriteScope scope(file_);
    Exec("ALTER TABLE " + Quote(name) + " ALTER COLUMN " + Quote(found->name) + " TYPE " + type + " USING " +
         Quote(found->name) + "::" + type);
    if (column.required) Exec("ALTER TABLE " + Quote(name) + " ALTER COLUMN " + Quote(found->name) + " SET NOT NULL");
    scope.Commit();
    file_.Schema().Invalidate();
  }

  DatabaseFile& file_;
  std::string source_;
};

}  // namespace

std::string ServerDefaultExpression(const FieldDefault& value, const JetFieldType& type) {
  switch (value.kind) {
    case FieldDefault::Kind::kNone: return {};
    case FieldDefault::Kind::kText: return Literal(value.value);
    case FieldDefault::Kind::kExpression:
      // Yes/No fields hold the server's Booleans, not Jet's -1 and 0.
      if (type.type == dbBoolean) return value.value == "0" ? "false" : "true";
      return value.value;
    case FieldDefault::Kind::kFunction:
      if (value.value == "Now()") return "LOCALTIMESTAMP";
      if (value.value == "Date()") return "CURRENT_DATE";
      if (value.value == "Time()") return "(DATE '1899-12-30' + LOCALTIME)";
      if (value.value == "GenUniqueID()") return "(floor(random() * 4294967296) - 2147483648)::integer";
      if (value.value == "GenGUID()") return "gen_random_uuid()";
      return {};
  }
  return {};
}

std::unique_ptr<storage::SchemaWriter> MakeOdbcSchemaWriter(DatabaseFile& file, std::string source) {
  return std::make_unique<OdbcSchemaWriter>(file, std::move(source));
}

}  // namespace lumo::jet::odbc
