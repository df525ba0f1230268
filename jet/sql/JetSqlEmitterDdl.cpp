// JetSqlEmitter: the DDL statements. Each yields the SQLite statements that carry it out and
// a structured description (columns with their Jet types, indexes with their Jet flags) from
// which the engine keeps its own catalogue of what SQLite cannot record.

#include <algorithm>

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlEmitterUtil.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

using namespace emit;

namespace {

constexpr const char* kDefaultPrimaryKeyName = "PrimaryKey";

bool IsCounter(const JetFieldType& type) { return (type.attributes & dbAutoIncrField) != 0; }

std::string QuotedList(const std::vector<std::string>& names) {
  std::string text = "(";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += Quote(names[i]);
  }
  return text + ")";
}

std::string IndexStatement(const storage::SqlDialect& dialect, const std::string& table, const DdlIndex& index) {
  std::string text = index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  text += Quote(dialect.IndexName(table, index.name)) + " ON " + Quote(table) + " (";
  for (size_t i = 0; i < index.fields.size(); ++i) {
    if (i > 0) text += ", ";
    text += Quote(index.fields[i].name);
    if (index.fields[i].descending) text += " DESC";
  }
  return text + ")";
}

std::string ConstraintName(const ConstraintDefinition& constraint) {
  if (!constraint.name.empty()) return constraint.name;
  if (constraint.kind == ConstraintDefinition::Kind::kPrimaryKey) return kDefaultPrimaryKeyName;
  std::string name;
  for (const std::string& column : constraint.columns) {
    if (!name.empty()) name += '_';
    name += column;
  }
  return name;
}

// The index a PRIMARY KEY, UNIQUE or FOREIGN KEY constraint stands for.
DdlIndex IndexFromConstraint(const ConstraintDefinition& constraint) {
  DdlIndex index;
  index.name = ConstraintName(constraint);
  for (const std::string& column : constraint.columns) index.fields.push_back({column, false});
  switch (constraint.kind) {
    case ConstraintDefinition::Kind::kPrimaryKey: index.primary = index.unique = index.required = true; break;
    case ConstraintDefinition::Kind::kUnique: index.unique = true; break;
    case ConstraintDefinition::Kind::kForeignKey:
      index.foreign = true;
      index.noIndex = constraint.noIndex;
      index.referencedTable = constraint.referencedTable;
      index.referencedFields = constraint.referencedColumns;
      break;
    case ConstraintDefinition::Kind::kNotNull: break;
  }
  return index;
}

DdlColumn ColumnEntry(const ColumnDefinition& column, const std::string& sqliteType) {
  DdlColumn entry;
  entry.name = column.name;
  entry.type = column.type;
  entry.notNull = column.notNull;
  entry.seed = column.seed;
  entry.increment = column.increment;
  entry.sqliteType = sqliteType;
  return entry;
}

std::string JoinStatements(const std::vector<std::string>& statements) {
  std::string text;
  for (size_t i = 0; i < statements.size(); ++i) {
    if (i > 0) text += ";\n";
    text += statements[i];
  }
  return text;
}

void Finish(DdlDefinition ddl, TranslatedStatement& result) {
  result.sql = JoinStatements(ddl.sqliteStatements);
  result.targetTable = ddl.table;
  result.ddl = std::move(ddl);
}

// Statements for the indexes that constraints added to an existing table need.
void AddConstraintIndexes(const storage::SqlDialect& dialect, const std::string& table,
                          const std::vector<ConstraintDefinition>& constraints, DdlDefinition& ddl) {
  for (const ConstraintDefinition& constraint : constraints) {
    if (constraint.kind == ConstraintDefinition::Kind::kNotNull) continue;
    DdlIndex index = IndexFromConstraint(constraint);
    if (!index.noIndex) ddl.sqliteStatements.push_back(IndexStatement(dialect, table, index));
    ddl.indexes.push_back(std::move(index));
  }
}

}  // namespace

void JetSqlEmitter::CreateTable(const CreateTableStatement& create, TranslatedStatement& result) {
  DdlDefinition ddl;
  ddl.action = DdlDefinition::Action::kCreateTable;
  ddl.table = create.table;

  std::vector<ColumnDefinition> columns = create.columns;
  auto findColumn = [&](const std::string& name) -> ColumnDefinition* {
    for (ColumnDefinition& column : columns) {
      if (SameName(column.name, name)) return &column;
    }
    return nullptr;
  };
  for (size_t i = 0; i < columns.size(); ++i) {
    for (size_t k = 0; k < i; ++k) {
      if (SameName(columns[i].name, columns[k].name)) throw JetSqlError{kDaoFieldDefinedTwice, {}};
    }
  }
  const ConstraintDefinition* primaryKey = nullptr;
  for (const ConstraintDefinition& constraint : create.constraints) {
    for (const std::string& name : constraint.columns) {
      if (findColumn(name) == nullptr) throw JetSqlError{kDaoUnrecognizedField, {name}};
    }
    if (constraint.kind == ConstraintDefinition::Kind::kPrimaryKey) {
      if (primaryKey != nullptr) throw JetSqlError{kDaoPrimaryKeyExists, {}};
      primaryKey = &constraint;
    }
    if (constraint.kind == ConstraintDefinition::Kind::kNotNull ||
        constraint.kind == ConstraintDefinition::Kind::kPrimaryKey) {
      for (const std::string& name : constraint.columns) findColumn(name)->notNull = true;
    }
  }

  // SQLite numbers rows itself only for an INTEGER PRIMARY KEY AUTOINCREMENT: the counter
  // becomes the row key when it is the primary key or no other primary key exists.
  const ColumnDefinition* rowKey = nullptr;
  if (primaryKey != nullptr) {
    const ColumnDefinition* key = findColumn(primaryKey->columns[0]);
    if (primaryKey->columns.size() == 1 && IsCounter(key->type)) rowKey = key;
  } else {
    for (const ColumnDefinition& column : columns) {
      if (IsCounter(column.type)) {
        rowKey = &column;
        break;
      }
    }
  }

  std::string text = "CREATE TABLE " + Quote(create.table) + " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDefinition& column = columns[i];
    const bool isRowKey = &column == rowKey;
    const std::string sqliteType = dialect_.ColumnType(column.type, isRowKey);
    if (i > 0) text += ", ";
    text += Quote(column.name) + " " + sqliteType;
    if (isRowKey) {
      text += " PRIMARY KEY AUTOINCREMENT";
    } else if (column.notNull) {
      text += " NOT NULL";
    }
    ddl.columns.push_back(ColumnEntry(column, sqliteType));
  }
  std::vector<std::string> indexStatements;
  for (const ConstraintDefinition& constraint : create.constraints) {
    if (constraint.kind == ConstraintDefinition::Kind::kNotNull) continue;
    DdlIndex index = IndexFromConstraint(constraint);
    for (const DdlIndex& existing : ddl.indexes) {
      if (SameName(existing.name, index.name)) throw JetSqlError{kDaoIndexExists, {}};
    }
    switch (constraint.kind) {
      case ConstraintDefinition::Kind::kPrimaryKey:
        if (rowKey != nullptr) {
          index.rowKey = true;
        } else {
          text += ", CONSTRAINT " + Quote(index.name) + " PRIMARY KEY " + QuotedList(constraint.columns);
        }
        break;
      case ConstraintDefinition::Kind::kUnique:
        indexStatements.push_back(IndexStatement(dialect_, create.table, index));
        break;
      case ConstraintDefinition::Kind::kForeignKey:
        text += ", CONSTRAINT " + Quote(index.name) + " FOREIGN KEY " + QuotedList(constraint.columns) +
                " REFERENCES " + Quote(constraint.referencedTable);
        if (!constraint.referencedColumns.empty()) text += " " + QuotedList(constraint.referencedColumns);
        if (!constraint.noIndex) indexStatements.push_back(IndexStatement(dialect_, create.table, index));
        break;
      case ConstraintDefinition::Kind::kNotNull: break;
    }
    ddl.indexes.push_back(std::move(index));
  }
  text += ")";
  ddl.sqliteStatements.push_back(std::move(text));
  for (std::string& statement : indexStatements) ddl.sqliteStatements.push_back(std::move(statement));
  if (rowKey != nullptr && rowKey->seed != 1) {
    // AUTOINCREMENT continues after the highest number recorded for the table.
    ddl.sqliteStatements.push_back(dialect_.CounterSeed(Literal(create.table), rowKey->seed));
  }
  Finish(std::move(ddl), result);
}

void JetSqlEmitter::AlterTable(const AlterTableStatement& alter, TranslatedStatement& result) {
  DdlDefinition ddl;
  ddl.table = alter.table;
  const std::string table = Quote(alter.table);
  switch (alter.action) {
    case AlterTableStatement::Action::kAddColumn: {
      ddl.action = DdlDefinition::Action::kAddColumn;
      const ColumnDefinition& column = alter.column;
      // SQLite cannot add a row key or a NOT NULL column without a default to a table that
      // may hold rows: a counter is numbered once here and by the engine afterwards, and the
      // engine enforces Required from its catalogue.
      const std::string sqliteType = dialect_.ColumnType(column.type, false);
      ddl.columns.push_back(ColumnEntry(column, sqliteType));
      ddl.sqliteStatements.push_back("ALTER TABLE " + table + " ADD COLUMN " + Quote(column.name) + " " + sqliteType);
      if (IsCounter(column.type)) {
        ddl.sqliteStatements.push_back("UPDATE " + table + " SET " + Quote(column.name) + " = " +
                                       std::string(dialect_.RowIdName()));
      }
      AddConstraintIndexes(dialect_, alter.table, alter.constraints, ddl);
      for (DdlIndex& index : ddl.indexes) {
        if (index.primary) ddl.columns.back().notNull = true;
      }
      break;
    }
    case AlterTableStatement::Action::kAlterColumn:
      ddl.action = DdlDefinition::Action::kAlterColumn;
      ddl.columns.push_back(ColumnEntry(alter.column, dialect_.ColumnType(alter.column.type, false)));
      for (const ConstraintDefinition& constraint : alter.constraints) {
        if (constraint.kind != ConstraintDefinition::Kind::kNotNull)
          ddl.indexes.push_back(IndexFromConstraint(constraint));
      }
      break;
    case AlterTableStatement::Action::kDropColumn:
      ddl.action = DdlDefinition::Action::kDropColumn;
      ddl.droppedName = alter.name;
      ddl.sqliteStatements.push_back("ALTER TABLE " + table + " DROP COLUMN " + Quote(alter.name));
      break;
    case AlterTableStatement::Action::kAddConstraint:
      ddl.action = DdlDefinition::Action::kAddConstraint;
      AddConstraintIndexes(dialect_, alter.table, alter.constraints, ddl);
      break;
    case AlterTableStatement::Action::kDropConstraint:
      ddl.action = DdlDefinition::Action::kDropConstraint;
      ddl.droppedName = alter.name;
      ddl.sqliteStatements.push_back("DROP INDEX " + Quote(dialect_.IndexName(alter.table, alter.name)));
      break;
  }
  Finish(std::move(ddl), result);
}

void JetSqlEmitter::CreateIndex(const CreateIndexStatement& create, TranslatedStatement& result) {
  DdlDefinition ddl;
  ddl.action = DdlDefinition::Action::kCreateIndex;
  ddl.table = create.table;
  DdlIndex index;
  index.name = create.index;
  for (const IndexColumn& column : create.columns) index.fields.push_back({column.name, column.descending});
  index.primary = create.primary;
  index.unique = create.unique || create.primary;
  index.required = create.disallowNull || create.primary;
  index.ignoreNulls = create.ignoreNull;
  ddl.sqliteStatements.push_back(IndexStatement(dialect_, create.table, index));
  ddl.indexes.push_back(std::move(index));
  Finish(std::move(ddl), result);
}

void JetSqlEmitter::Drop(const DropStatement& drop, TranslatedStatement& result) {
  DdlDefinition ddl;
  if (drop.index) {
    ddl.action = DdlDefinition::Action::kDropIndex;
    ddl.table = drop.table;
    ddl.droppedName = drop.name;
    ddl.sqliteStatements.push_back("DROP INDEX " + Quote(dialect_.IndexName(drop.table, drop.name)));
  } else {
    ddl.action = DdlDefinition::Action::kDropTable;
    ddl.table = drop.name;
    ddl.droppedName = drop.name;
    ddl.sqliteStatements.push_back("DROP TABLE " + Quote(drop.name));
  }
  Finish(std::move(ddl), result);
}

}  // namespace lumo::jet
