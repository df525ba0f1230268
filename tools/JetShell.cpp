// jetsh: opening the database and running statements and commands on it.

#include "tools/JetShell.h"

#include <ostream>
#include <sstream>
#include <stdexcept>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/RowCounts.h"
#include "jet/TableDef.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "jet/sql/JetSqlTranslator.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::tools {

using namespace lumo::jet;

namespace {

// OpenDatabase's options for a connect text: the driver never asks for what it lacks.
constexpr int kDriverNoPrompt = 1;

}  // namespace

JetShell::JetShell(ShellOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err), engine_(std::make_unique<DBEngine>("3.6")) {}

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
  // A connect text names a server's database; the server makes its databases and checks the
  // login, so nothing is created and no database password applies.
  if (StartsText("ODBC;", options_.path)) {
    odbc::RegisterOdbcBackEnd();
    if (options_.create) throw std::runtime_error("a server's database is made on the server, not with --create");
    if (!options_.password.empty()) throw std::runtime_error("the password of a server's login goes in PWD=");
    database_ = engine_->OpenDatabase({}, Variant(kDriverNoPrompt), options_.readOnly, options_.path);
    return;
  }
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
    returnsRows = kind == StatementKind::kSelect || kind == StatementKind::kUnion || kind == StatementKind::kCrosstab;
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
  ResultTable table;
  Collection<Field>& fields = recordset.Fields();
  for (int i = 0; i < fields.Count(); ++i) table.header.push_back(fields.Item(i)->Name());
  while (!recordset.IsEOF()) {
    std::vector<Variant> row;
    for (int i = 0; i < fields.Count(); ++i) row.push_back(fields.Item(i)->Value());
    table.rows.push_back(std::move(row));
    recordset.MoveNext();
  }
  PrintTable(table);
}

void JetShell::PrintTable(const ResultTable& table) { WriteResult(out_, options_.mode, options_.headers, table); }

void JetShell::RunArgument(const std::string& text) {
  const std::string statement = Trim(text);
  if (statement.empty()) return;
  if (statement[0] == '.') {
    if (!Command(statement.substr(1))) throw std::invalid_argument("Unknown command: " + statement);
    return;
  }
  Run(statement);
}

void JetShell::ReportCurrentError(std::ostream& out, std::ostream& err, const std::string& place) {
  out.flush();
  try {
    throw;
  } catch (const EOleException& error) {
    err << place << "Error " << error.ErrorCode() << ": " << error.Message() << "\n";
  } catch (const std::exception& error) {
    err << (place.empty() ? "jetsh: " : place) << error.what() << "\n";
  }
  err.flush();
}

int JetShell::RunLines(LineSource& source) {
  // A person at the prompt reads the error and goes on; a script that went wrong would build
  // on a statement that did not happen.
  int failures = 0;
  auto runOne = [&](const ScriptStatement& statement) {
    try {
      if (!statement.command) {
        Run(statement.text);
      } else if (!Command(statement.text)) {
        throw std::invalid_argument("Unknown command: ." + statement.text + " (.help lists the commands)");
      }
      out_.flush();
    } catch (const std::exception&) {
      ++failures;
      std::string place;
      if (!source.Interactive()) {
        const std::string line = std::to_string(statement.line);
        place = source.Name().empty() ? "line " + line + ": " : source.Name() + ":" + line + ": ";
      }
      ReportCurrentError(out_, err_, place);
      if (bail_.value_or(!source.Interactive())) return false;
    }
    return !quit_;
  };
  StatementSplitter splitter;
  while (auto line = source.ReadLine(splitter.Pending())) {
    for (const ScriptStatement& statement : splitter.Feed(*line)) {
      if (!runOne(statement)) return failures;
    }
  }
  if (auto last = splitter.Finish()) runOne(*last);
  return failures;
}

namespace {

bool OnOff(const std::string& command, const std::string& argument) {
  if (SameText(argument, "on")) return true;
  if (SameText(argument, "off")) return false;
  throw std::invalid_argument("." + command + " takes on or off");
}

std::optional<OutputMode> ModeNamed(const std::string& name) {
  if (SameText(name, "column") || SameText(name, "text")) return OutputMode::kColumn;
  if (SameText(name, "list")) return OutputMode::kList;
  if (SameText(name, "csv")) return OutputMode::kCsv;
  if (SameText(name, "json")) return OutputMode::kJson;
  return std::nullopt;
}

}  // namespace

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
  auto needs = [&](const char* what) {
    if (argument.empty()) throw std::invalid_argument("." + command + " needs " + what);
  };
  if (SameText(command, "tables")) {
    ListTables();
  } else if (SameText(command, "queries")) {
    ListQueries();
  } else if (SameText(command, "indexes")) {
    ListIndexes(argument);
  } else if (SameText(command, "fields")) {
    needs("a table");
    ListFields(argument);
  } else if (SameText(command, "countrows")) {
    needs("a table");
    CountRows(argument);
  } else if (SameText(command, "schema")) {
    PrintSchema(argument);
  } else if (SameText(command, "savequery")) {
    if (words.size() < 3) throw std::invalid_argument(".savequery needs a name and the SQL");
    // The text is the rest of the line, ";" and all.
    const size_t nameAt = line.find(words[1], commandEnd);
    SaveQuery(words[1], Trim(line.substr(nameAt + words[1].size())));
  } else if (SameText(command, "mode")) {
    const std::optional<OutputMode> mode = ModeNamed(argument);
    if (!mode) throw std::invalid_argument(".mode takes list, csv, column or json");
    options_.mode = *mode;
  } else if (SameText(command, "headers")) {
    options_.headers = OnOff(command, argument);
  } else if (SameText(command, "bail")) {
    bail_ = OnOff(command, argument);
  } else if (SameText(command, "quit") || SameText(command, "exit")) {
    quit_ = true;
  } else if (SameText(command, "help")) {
    PrintHelp();
  } else {
    return false;
  }
  return true;
}

void JetShell::PrintHelp() {
  out_ << ".tables              the tables (system tables with --system)\n"
          ".queries             the query definitions: type, parameters and SQL\n"
          ".savequery NAME SQL  store SQL (the rest of the line) as query NAME\n"
          ".indexes [TABLE]     the indexes of a table, or of every table\n"
          ".fields TABLE        the fields of a table with their DAO types\n"
          ".schema [TABLE]      statements that build the tables, indexes, relations and queries\n"
          ".countrows TABLE     keep the row count of a table made by another tool in the file\n"
          ".mode MODE           how rows are printed: column (aligned), list (\"|\" between\n"
          "                     values), csv or json\n"
          ".headers on|off      the column names above the rows\n"
          ".bail on|off         stop a script at its first error (on in scripts, off here)\n"
          ".quit, .exit         leave the shell\n"
          "Statements end with \";\"; \"--\" begins a comment up to the end of the line.\n";
}

void JetShell::ListTables() {
  Collection<TableDef>& tables = database_->TableDefs();
  tables.Refresh();
  ResultTable result{{"Table", "Rows", "Kind"}, {}};
  for (const auto& table : tables) {
    const bool system = (table->Attributes() & dbSystemObject) != 0;
    if (system && !options_.systemTables) continue;
    result.rows.push_back({table->Name(), Variant(table->RecordCount()), system ? "system" : ""});
  }
  PrintTable(result);
}

void JetShell::ListQueries() {
  Collection<QueryDef>& queries = database_->QueryDefs();
  queries.Refresh();
  ResultTable result{{"Query", "Type", "Parameters", "SQL"}, {}};
  for (const auto& query : queries) {
    std::string parameters;
    for (const auto& parameter : query->Parameters()) {
      if (!parameters.empty()) parameters += ", ";
      parameters += parameter->Name() + " " + DaoTypeName(parameter->Type());
    }
    result.rows.push_back({query->Name(), QueryTypeName(query->Type()), parameters, query->SQL()});
  }
  PrintTable(result);
}

void JetShell::SaveQuery(const std::string& name, const std::string& sql) {
  if (auto existing = database_->QueryDefs().Find(name)) {
    existing->SetSQL(sql);
  } else {
    database_->CreateQueryDef(name, sql);
  }
}

void JetShell::RunQuery(const std::string& name, const std::vector<std::pair<std::string, std::string>>& parameters) {
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
  // Every table's indexes come with the table's name in front.
  const bool all = table.empty();
  ResultTable result;
  if (all) result.header.push_back("Table");
  result.header.insert(result.header.end(), {"Index", "Fields", "Flags"});
  std::vector<std::shared_ptr<TableDef>> tables;
  if (all) {
    database_->TableDefs().Refresh();
    for (const auto& each : database_->TableDefs()) {
      if ((each->Attributes() & dbSystemObject) == 0 || options_.systemTables) tables.push_back(each);
    }
  } else {
    tables.push_back(database_->TableDefs().Item(table));
  }
  for (const auto& each : tables) {
    for (const auto& index : each->Indexes()) {
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
      if (index->Foreign()) flags += "foreign ";
      std::vector<Variant> row;
      if (all) row.emplace_back(each->Name());
      row.insert(row.end(), {index->Name(), fields, Trim(flags)});
      result.rows.push_back(std::move(row));
    }
  }
  PrintTable(result);
}

void JetShell::ListFields(const std::string& table) {
  ResultTable result{{"Field", "Type", "DAO type", "Size", "Attributes", "Required", "Default"}, {}};
  for (const auto& field : database_->TableDefs().Item(table)->Fields()) {
    std::string type = DaoTypeName(field->Type());
    if ((field->Attributes() & dbAutoIncrField) != 0) type += " (counter)";
    result.rows.push_back({field->Name(), type, Variant(field->Type()), Variant(field->Size()),
                           Variant(field->Attributes()), field->Required() ? "yes" : "", field->DefaultValue()});
  }
  PrintTable(result);
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
