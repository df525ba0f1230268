// JetSqlParser: the DDL statements (CREATE TABLE, CREATE INDEX, ALTER TABLE, DROP).

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

void JetSqlParser::ParseCreate(Statement& statement) {
  Next();  // CREATE
  if (AcceptWord("TABLE")) {
    statement.kind = StatementKind::kCreateTable;
    statement.createTable = ParseCreateTable();
    return;
  }
  bool unique = AcceptWord("UNIQUE");
  if (AcceptWord("INDEX")) {
    statement.kind = StatementKind::kCreateIndex;
    statement.createIndex = ParseCreateIndex(unique);
    return;
  }
  Fail(unique ? kDaoCreateIndexSyntax : kDaoInvalidStatement);
}

JetFieldType JetSqlParser::ParseTypeSpec(int clauseError, int64_t* seed, int64_t* increment) {
  std::string typeName;
  while (Peek().kind == TokenKind::kWord && !AtWord("NOT") && !AtWord("NULL") && !AtWord("CONSTRAINT") &&
         !AtWord("PRIMARY") && !AtWord("UNIQUE") && !AtWord("REFERENCES")) {
    if (!typeName.empty()) typeName += ' ';
    typeName += Next().upper;
  }
  if (typeName.empty()) Fail(clauseError);
  std::vector<int64_t> numbers;
  bool negative = false;
  if (AcceptSymbol("(")) {
    do {
      // A counter may count down from its seed.
      const bool minus = AcceptSymbol("-");
      negative = negative || minus;
      const Token& number = Next();
      if (number.kind != TokenKind::kNumber || number.text.find_first_not_of("0123456789") != std::string::npos ||
          number.text.size() > 9) {
        Fail(clauseError);
      }
      numbers.push_back(minus ? -std::stoll(number.text) : std::stoll(number.text));
    } while (AcceptSymbol(","));
    if (!AcceptSymbol(")") || numbers.size() > 2) Fail(clauseError);
  }
  if (typeName == "COUNTER" || typeName == "AUTOINCREMENT") {
    if (!numbers.empty()) {
      if (seed == nullptr || numbers.size() != 2 || numbers[1] == 0) Fail(clauseError);
      *seed = numbers[0];
      *increment = numbers[1];
    }
    numbers.clear();
  }
  if (negative && !numbers.empty()) Fail(clauseError);
  std::optional<int> size;
  std::optional<int> scale;
  if (!numbers.empty()) size = static_cast<int>(numbers[0]);
  if (numbers.size() > 1) scale = static_cast<int>(numbers[1]);
  auto type = JetDdlType(typeName, size, scale);
  if (!type) Fail(clauseError);
  return *type;
}

ColumnDefinition JetSqlParser::ParseColumnDefinition(int clauseError, std::vector<ConstraintDefinition>& constraints) {
  ColumnDefinition column;
  column.name = ParseNewObjectName(clauseError);
  column.type = ParseTypeSpec(kDaoFieldDefinitionSyntax, &column.seed, &column.increment);
  while (true) {
    if (AtWord("NOT") && AtWord("NULL", 1)) {
      if (column.notNull) Fail(kDaoFieldDefinitionSyntax);
      Next();
      Next();
      column.notNull = true;
      continue;
    }
    std::string name;
    bool named = false;
    if (AcceptWord("CONSTRAINT")) {
      name = ParseNewObjectName(kDaoConstraintSyntax);
      named = true;
    }
    ConstraintDefinition constraint;
    constraint.name = name;
    constraint.columns.push_back(column.name);
    if (AtWord("PRIMARY")) {
      Next();
      if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
      constraint.kind = ConstraintDefinition::Kind::kPrimaryKey;
    } else if (AcceptWord("UNIQUE")) {
      constraint.kind = ConstraintDefinition::Kind::kUnique;
    } else if (AtWord("NOT") && named) {
      Next();
      if (!AcceptWord("NULL")) Fail(kDaoConstraintSyntax);
      column.notNull = true;
      continue;
    } else if (AcceptWord("REFERENCES")) {
      constraint.kind = ConstraintDefinition::Kind::kForeignKey;
      constraint.referencedTable = ParseName(kDaoConstraintSyntax);
      if (AtSymbol("(")) constraint.referencedColumns = ParseNameList(kDaoConstraintSyntax);
    } else if (named) {
      Fail(kDaoConstraintSyntax);
    } else {
      break;
    }
    constraints.push_back(std::move(constraint));
  }
  return column;
}

ConstraintDefinition JetSqlParser::ParseTableConstraint(std::string name) {
  ConstraintDefinition constraint;
  constraint.name = std::move(name);
  if (AtWord("PRIMARY")) {
    Next();
    if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kPrimaryKey;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AcceptWord("UNIQUE")) {
    constraint.kind = ConstraintDefinition::Kind::kUnique;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AtWord("NOT")) {
    Next();
    if (!AcceptWord("NULL")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kNotNull;
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
  } else if (AtWord("FOREIGN")) {
    Next();
    if (!AcceptWord("KEY")) Fail(kDaoConstraintSyntax);
    constraint.kind = ConstraintDefinition::Kind::kForeignKey;
    if (AtWord("NO")) {
      Next();
      if (!AcceptWord("INDEX")) Fail(kDaoConstraintSyntax);
      constraint.noIndex = true;
    }
    constraint.columns = ParseNameList(kDaoConstraintSyntax);
    if (!AcceptWord("REFERENCES")) Fail(kDaoConstraintSyntax);
    constraint.referencedTable = ParseName(kDaoConstraintSyntax);
    if (AtSymbol("(")) constraint.referencedColumns = ParseNameList(kDaoConstraintSyntax);
  } else {
    Fail(kDaoConstraintSyntax);
  }
  if (constraint.columns.size() > 10) Fail(kDaoTooManyIndexFields);
  return constraint;
}

std::unique_ptr<CreateTableStatement> JetSqlParser::ParseCreateTable() {
  lastClauseError_ = kDaoCreateTableSyntax;
  auto create = std::make_unique<CreateTableStatement>();
  create->table = ParseNewObjectName(kDaoCreateTableSyntax);
  if (!AcceptSymbol("(")) Fail(kDaoCreateTableSyntax);
  do {
    if (AtWord("CONSTRAINT")) {
      Next();
      std::string name = ParseNewObjectName(kDaoConstraintSyntax);
      create->constraints.push_back(ParseTableConstraint(std::move(name)));
    } else if (AtWord("PRIMARY") || AtWord("UNIQUE") || AtWord("FOREIGN")) {
      create->constraints.push_back(ParseTableConstraint({}));
    } else {
      create->columns.push_back(ParseColumnDefinition(kDaoCreateTableSyntax, create->constraints));
    }
  } while (AcceptSymbol(","));
  if (!AcceptSymbol(")")) Fail(kDaoCreateTableSyntax);
  if (create->columns.empty()) Fail(kDaoCreateTableSyntax);
  return create;
}

std::unique_ptr<CreateIndexStatement> JetSqlParser::ParseCreateIndex(bool unique) {
  lastClauseError_ = kDaoCreateIndexSyntax;
  auto index = std::make_unique<CreateIndexStatement>();
  index->unique = unique;
  index->index = ParseNewObjectName(kDaoCreateIndexSyntax);
  if (!AcceptWord("ON")) Fail(kDaoCreateIndexSyntax);
  index->table = ParseName(kDaoCreateIndexSyntax);
  if (!AcceptSymbol("(")) Fail(kDaoCreateIndexSyntax);
  do {
    IndexColumn column;
    column.name = ParseName(kDaoCreateIndexSyntax);
    if (AcceptWord("DESC")) {
      column.descending = true;
    } else {
      AcceptWord("ASC");
    }
    index->columns.push_back(std::move(column));
  } while (AcceptSymbol(","));
  if (!AcceptSymbol(")")) Fail(kDaoCreateIndexSyntax);
  if (index->columns.size() > 10) Fail(kDaoTooManyIndexFields);
  if (AcceptWord("WITH")) {
    bool any = false;
    while (true) {
      if (AcceptWord("PRIMARY")) {
        index->primary = true;
        index->unique = true;
      } else if (AtWord("DISALLOW") && AtWord("NULL", 1)) {
        Next();
        Next();
        index->disallowNull = true;
      } else if (AtWord("IGNORE") && AtWord("NULL", 1)) {
        Next();
        Next();
        index->ignoreNull = true;
      } else {
        break;
      }
      any = true;
    }
    if (!any) Fail(kDaoCreateIndexSyntax);
  }
  return index;
}

std::unique_ptr<AlterTableStatement> JetSqlParser::ParseAlterTable() {
  Next();  // ALTER
  lastClauseError_ = kDaoAlterTableSyntax;
  if (!AcceptWord("TABLE")) Fail(kDaoAlterTableSyntax);
  auto alter = std::make_unique<AlterTableStatement>();
  alter->table = ParseName(kDaoAlterTableSyntax);
  if (AcceptWord("ADD")) {
    if (AcceptWord("CONSTRAINT")) {
      alter->action = AlterTableStatement::Action::kAddConstraint;
      std::string name = ParseNewObjectName(kDaoConstraintSyntax);
      alter->constraints.push_back(ParseTableConstraint(std::move(name)));
    } else {
      AcceptWord("COLUMN");
      alter->action = AlterTableStatement::Action::kAddColumn;
      alter->column = ParseColumnDefinition(kDaoAlterTableSyntax, alter->constraints);
    }
  } else if (AtWord("ALTER")) {
    Next();
    AcceptWord("COLUMN");
    alter->action = AlterTableStatement::Action::kAlterColumn;
    alter->column = ParseColumnDefinition(kDaoAlterTableSyntax, alter->constraints);
  } else if (AcceptWord("DROP")) {
    if (AcceptWord("CONSTRAINT")) {
      alter->action = AlterTableStatement::Action::kDropConstraint;
    } else {
      AcceptWord("COLUMN");
      alter->action = AlterTableStatement::Action::kDropColumn;
    }
    alter->name = ParseName(kDaoAlterTableSyntax);
  } else {
    Fail(kDaoAlterTableSyntax);
  }
  return alter;
}

std::unique_ptr<DropStatement> JetSqlParser::ParseDrop() {
  Next();  // DROP
  lastClauseError_ = kDaoDropSyntax;
  auto drop = std::make_unique<DropStatement>();
  if (AcceptWord("TABLE")) {
    drop->name = ParseName(kDaoDropSyntax);
  } else if (AcceptWord("INDEX")) {
    drop->index = true;
    drop->name = ParseName(kDaoDropSyntax);
    if (!AcceptWord("ON")) Fail(kDaoDropSyntax);
    drop->table = ParseName(kDaoDropSyntax);
  } else {
    Fail(kDaoDropSyntax);
  }
  return drop;
}

}  // namespace lumo::jet
