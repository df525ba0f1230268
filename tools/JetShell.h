#pragma once
// jetsh: a command-line shell over the engine. It creates database files, runs Jet SQL
// (statements from the command line, a file or standard input), prints result sets as
// aligned text or CSV, and lists tables, query definitions (with their types and
// parameters), indexes and a table's fields with their DAO types. It stores query
// definitions and runs a stored one with parameter values. It writes a file's bytes into a
// memo or binary field of one record and writes such a field's content out into a file. It reaches the file only through
// the engine's objects, so what it shows is what every component of the system sees.
//
// Errors print "Error <DAO number>: <DAO text>" on standard error; the shell then stops
// with exit status 1 (2 for a wrong command line).

#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Variant.h"

namespace lumo::jet {
class DBEngine;
class Database;
class Recordset;
}  // namespace lumo::jet

namespace lumo::tools {

enum class OutputMode { kText, kCsv };

struct ShellOptions {
  std::string path;
  bool create = false;
  bool readOnly = false;
  bool exclusive = false;
  std::string password;
  OutputMode mode = OutputMode::kText;
  bool systemTables = false;
};

class JetShell {
 public:
  JetShell(ShellOptions options, std::ostream& out);
  ~JetShell();

  // Opens (or creates) the database; DAO errors propagate.
  void Open();

  // One Jet SQL statement: a SELECT prints its rows, anything else is executed and reports
  // the rows it touched.
  void Run(const std::string& sql);
  // One statement as given on the command line, whole (a ";" inside it separates nothing), or
  // a "." command.
  void RunArgument(const std::string& text);
  // A script: statements separated by ";" (outside quotes, brackets and #dates#, and the ";"
  // that ends a PARAMETERS declaration), and lines that begin with "." as commands (.tables,
  // .queries, .indexes T, .fields T, .countrows T, .savequery NAME SQL, .mode text|csv, .help).
  void RunScript(const std::string& text);
  // A "." command without its dot ("tables", "fields Logon", ...); false when unknown.
  bool Command(const std::string& line);

  void ListTables();
  // Name, type ("Select", "Delete", ...), parameters ("Who Text, Since Date/Time") and SQL.
  void ListQueries();
  // Stores `sql` as the query definition `name`, replacing the text of one that exists. A
  // text the engine cannot read is refused and nothing is stored.
  void SaveQuery(const std::string& name, const std::string& sql);
  // Runs the stored query `name` with values for its parameters (name, text; the text
  // "NULL" is Null, anything else is converted to the parameter's type): a query that
  // returns rows prints them, an action reports the rows it touched. A name the query has
  // no parameter of raises std::invalid_argument; a missing value answers 3061.
  void RunQuery(const std::string& name, const std::vector<std::pair<std::string, std::string>>& parameters);
  void ListIndexes(const std::string& table);
  void ListFields(const std::string& table);
  // Gives a table made elsewhere the engine's row count (counted once now, then kept by
  // triggers) and prints the count; a table that has it is counted afresh. System tables
  // raise std::invalid_argument.
  void CountRows(const std::string& table);
  // The content of `field` (Memo, Long Binary or Binary) in the one record of `table` that
  // `where` (a Jet criterion) selects, written into `file` byte for byte (a Null field gives
  // an empty file). No matching record, several, or another field type raise
  // std::invalid_argument; a file that cannot be written std::runtime_error.
  void BlobOut(const std::string& table, const std::string& field, const std::string& where,
               const std::string& file);
  // The bytes of `file` stored into that field of that record (a memo takes them as its
  // text). The file is read before anything changes; the same errors.
  void BlobIn(const std::string& table, const std::string& field, const std::string& where,
              const std::string& file);

  void SetMode(OutputMode mode) { options_.mode = mode; }

 private:
  void PrintRecordset(jet::Recordset& recordset);
  std::shared_ptr<jet::Recordset> OpenBlobRecord(const std::string& table, const std::string& field,
                                                 const std::string& where, bool forWriting);
  void PrintTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

  ShellOptions options_;
  std::ostream& out_;
  std::unique_ptr<jet::DBEngine> engine_;
  std::shared_ptr<jet::Database> database_;
};

// The statements of a script, split at ";" outside quotes, brackets and #date# literals (a
// PARAMETERS declaration's own ";" stays with its query); blank statements left out. Lines
// beginning with "." come out as statements of their own.
std::vector<std::string> SplitScript(const std::string& text);

// A value as the shell shows it: dates "YYYY-MM-DD HH:MM:SS" (with milliseconds when there
// are any), numbers with "." whatever the locale, Booleans True/False, bytes in hex, Null
// as the empty text.
std::string ShellText(const Variant& value);

// The DAO type's name ("Text", "Long", "Date/Time", ...).
std::string DaoTypeName(int type);
// A query definition type's name ("Select", "Crosstab", "MakeTable", ...).
std::string QueryTypeName(int type);

// Text and CSV rendering of a result.
void WriteAligned(std::ostream& out, const std::vector<std::string>& header,
                  const std::vector<std::vector<std::string>>& rows);
void WriteCsv(std::ostream& out, const std::vector<std::string>& header,
              const std::vector<std::vector<std::string>>& rows);

}  // namespace lumo::tools
