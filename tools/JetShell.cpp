// jetsh: opening the database and running statements and commands on it.

#include "tools/JetShell.h"

#include <ostream>
#include <sstream>

#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/RowCounts.h"
#include "jet/sql/JetSqlTranslator.h"

namespace lumo::tools {

using namespace lumo::jet;

JetShell::JetShell(ShellOptions options, std::ostream& out)
    : options_(std::move(options)), out_(out), engine_(std::make_unique<DBEngine>("3.6")) {}

JetShell::~JetShell() {
  if (database_ && database_->IsValid()) {
    try {
      database_->Close();
    } catch (...) {
      // Leaving anyway.
    }
  }
}

void JetShell::Open() {
  if (options_.create) {
    std::string locale = dbLangGeneral;
    if (!options_.password.empty()) locale += ";pwd=" + options_.password;
    database_ = engine_->CreateDatabase(options_.path, locale, dbVersion40);
    return;
  }
  std::string connect;
  if (!options_.password.empty()) connect = ";PWD=" + options_.password;
  database_ = engine_->OpenDatabase(options_.path, Variant(options_.exclusive), options_.readOnly, connect);
}

void JetShell::Run(const std::string& sql) {
  // The translator tells a query from an action without running anything; a name alone
  // opens that table or saved query.
  bool returnsRows = !BeginsAsStatement(sql);
  if (!returnsRows) {
    const StatementKind kind = TranslateStatement(sql).kind;
    returnsRows = kind == StatementKind::kSelect || kind == StatementKind::kUnion;
  }
  if (returnsRows) {
    auto recordset = database_->OpenRecordset(sql, dbOpenForwardOnly, dbReadOnly);
    PrintRecordset(*recordset);
    recordset->Close();
    return;
  }
  database_->Execute(sql, dbFailOnError);
  const int affected = database_->RecordsAffected();
  const StatementKind kind = TranslateStatement(sql).kind;
  if (kind == StatementKind::kInsert || kind == StatementKind::kUpdate || kind == StatementKind::kDelete ||
      kind == StatementKind::kSelectInto) {
    out_ << affected << (affected == 1 ? " row" : " rows") << " affected.\n";
  }
}

void JetShell::PrintRecordset(Recordset& recordset) {
  std::vector<std::string> header;
  Collection<Field>& fields = recordset.Fields();
  for (int i = 0; i < fields.Count(); ++i) header.push_back(fields.Item(i)->Name());
  std::vector<std::vector<std::string>> rows;
  while (!recordset.IsEOF()) {
    std::vector<std::string> row;
    for (int i = 0; i < fields.Count(); ++i) row.push_back(ShellText(fields.Item(i)->Value()));
    rows.push_back(std::move(row));
    recordset.MoveNext();
  }
  PrintTable(header, rows);
}

void JetShell::PrintTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
  if (options_.mode == OutputMode::kCsv) {
    WriteCsv(out_, header, rows);
  } else {
    WriteAligned(out_, header, rows);
  }
}

void JetShell::RunArgument(const std::string& text) {
  const std::string statement = Trim(text);
  if (statement.empty()) return;
  if (statement[0] == '.') {
    if (!Command(statement.substr(1))) throw std::invalid_argument("Unknown command: " + statement);
    return;
  }
  Run(statement);
}

void JetShell::RunScript(const std::string& text) {
  for (const std::string& statement : SplitScript(text)) {
    if (statement[0] == '.') {
      if (!Command(statement.substr(1))) {
        throw std::invalid_argument("Unknown command: " + statement);
      }
      continue;
    }
    Run(statement);
  }
}

bool JetShell::Command(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream stream(line);
  for (std::string word; stream >> word;) words.push_back(word);
  if (words.empty()) return false;
  const std::string& command = words[0];
  // The argument is the rest of the line after the command word, blanks in a table name
  // included.
  const size_t commandEnd = line.find(command) + command.size();
  std::string argument = Trim(line.substr(commandEnd));
  if (SameText(command, "tables")) {
    ListTables();
  } else if (SameText(command, "queries")) {
    ListQueries();
  } else if (SameText(command, "indexes") && !argument.empty()) {
    ListIndexes(argument);
  } else if (SameText(command, "fields") && !argument.empty()) {
    ListFields(argument);
  } else if (SameText(command, "countrows") && !argument.empty()) {
    CountRows(argument);
  } else if (SameText(command, "savequery") && words.size() > 2) {
    // The text is the rest of the line, ";" and all.
    const size_t nameAt = line.find(words[1]);
    SaveQuery(words[1], Trim(line.substr(nameAt + words[1].size())));
  } else if (SameText(command, "mode") && (SameText(argument, "csv") || SameText(argument, "text"))) {
    options_.mode = SameText(argument, "csv") ? OutputMode::kCsv : OutputMode::kText;
  } else if (SameText(command, "help")) {
    out_ << ".tables            the tables (system tables with --system)\n"
            ".queries           the query definitions: type, parameters and SQL\n"
            ".savequery NAME SQL  store SQL (the rest of the line) as query NAME\n"
            ".indexes TABLE     the indexes of a table\n"
            ".fields TABLE      the fields of a table with their DAO types\n"
            ".countrows TABLE   keep the table's row count in the file (made by another tool)\n"
            ".mode text|csv     how result rows are printed\n";
  } else {
    return false;
  }
  return true;
}

void JetShell::ListTables() {
  Collection<TableDef>& tables = database_->TableDefs();
  tables.Refresh();
  std::vector<std::vector<std::string>> rows;
  for (const auto& table : tables) {
    const bool system = (table->Attributes() & dbSystemObject) != 0;
    if (system && !options_.systemTables) continue;
    rows.push_back({table->Name(), std::to_string(table->RecordCount()), system ? "system" : ""});
  }
  PrintTable({"Table", "Rows", "Kind"}, rows);
}

void JetShell::ListQueries() {
  Collection<QueryDef>& queries = database_->QueryDefs();
  queries.Refresh();
  std::vector<std::vector<std::string>> rows;
  for (const auto& query : queries) {
    std::string parameters;
    for (const auto& parameter : query->Parameters()) {
      if (!parameters.empty()) parameters += ", ";
      parameters += parameter->Name() + " " + DaoTypeName(parameter->Type());
    }
    rows.push_back({query->Name(), QueryTypeName(query->Type()), parameters, query->SQL()});
  }
  PrintTable({"Query", "Type", "Parameters", "SQL"}, rows);
}

void JetShell::SaveQuery(const std::string& name, const std::string& sql) {
  if (auto existing = database_->QueryDefs().Find(name)) {
    existing->SetSQL(sql);
  } else {
    database_->CreateQueryDef(name, sql);
  }
}

void JetShell::RunQuery(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& parameters) {
  auto query = database_->QueryDefs().Item(name);
  for (const auto& [parameterName, text] : parameters) {
    auto parameter = query->Parameters().Find(parameterName);
    if (!parameter) throw std::invalid_argument("query " + query->Name() + " has no parameter " + parameterName);
    try {
      parameter->SetValue(text == "NULL" ? Variant::Null() : Variant(text));
    } catch (const EOleException& error) {
      throw std::invalid_argument("parameter " + parameter->Name() + " of query " + query->Name() + " cannot take '" +
                                  text + "': " + error.Message());
    }
  }
  if (query->ReturnsRecords()) {
    auto recordset = query->OpenRecordset(dbOpenForwardOnly, dbReadOnly);
    PrintRecordset(*recordset);
    recordset->Close();
    return;
  }
  query->Execute(dbFailOnError);
  const int affected = query->RecordsAffected();
  out_ << affected << (affected == 1 ? " row" : " rows") << " affected.\n";
}

void JetShell::ListIndexes(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& index : database_->TableDefs().Item(table)->Indexes()) {
    std::string fields;
    for (const auto& field : index->Fields()) {
      if (!fields.empty()) fields += ", ";
      fields += field->Name();
      if ((field->Attributes() & dbDescending) != 0) fields += " DESC";
    }
    std::string flags;
    if (index->Primary()) flags += "primary ";
    if (index->Unique()) flags += "unique ";
    if (index->Required()) flags += "required ";
    if (index->IgnoreNulls()) flags += "ignore-nulls ";
    rows.push_back({index->Name(), fields, Trim(flags)});
  }
  PrintTable({"Index", "Fields", "Flags"}, rows);
}

void JetShell::ListFields(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& field : database_->TableDefs().Item(table)->Fields()) {
    std::string type = DaoTypeName(field->Type());
    if ((field->Attributes() & dbAutoIncrField) != 0) type += " (counter)";
    rows.push_back({field->Name(), type, std::to_string(field->Type()), std::to_string(field->Size()),
                    std::to_string(field->Attributes()), field->Required() ? "yes" : "", field->DefaultValue()});
  }
  PrintTable({"Field", "Type", "DAO type", "Size", "Attributes", "Required", "Default"}, rows);
}

void JetShell::CountRows(const std::string& table) {
  const std::shared_ptr<TableDef> definition = database_->TableDefs().Item(table);
  if ((definition->Attributes() & dbSystemObject) != 0) {
    throw std::invalid_argument("System tables are not counted: " + definition->Name());
  }
  jet::AddRowCount(*database_->File(), definition->Name());
  out_ << definition->Name() << ": " << definition->RecordCount() << " rows, counted from now on\n";
}

}  // namespace lumo::tools
