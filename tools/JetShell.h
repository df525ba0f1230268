#pragma once
// jetsh: a command-line shell over the engine. It creates database files, runs Jet SQL
// (statements from the command line, a file, standard input or typed at its prompt), prints
// result sets as aligned columns, "|"-separated lists, CSV or JSON, and lists tables, query
// definitions (with their types and parameters), indexes, a table's fields with their DAO
// types and the schema as statements that build it again. It stores query definitions and
// runs a stored one with parameter values. It writes a file's bytes into a memo or binary
// field of one record and writes such a field's content out into a file. It reaches the file
// only through the engine's objects, so what it shows is what every component of the system
// sees.
//
// Errors print "Error <DAO number>: <DAO text>" on the error stream, after the place of the
// statement in a script ("line 3: ", "FILE:3: "). A script stops at its first error unless
// bail is off; the program's exit status is then 1 (2 for a wrong command line).

#include <iosfwd>
#include <memory>
#include <optional>
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

// kColumn: aligned columns under a ruled header; kList: values separated by "|"; kCsv:
// RFC 4180 lines ending in CR LF; kJson: an array of one object per row.
enum class OutputMode { kColumn, kList, kCsv, kJson };

struct ShellOptions {
  std::string path;
  bool create = false;
  bool readOnly = false;
  bool exclusive = false;
  std::string password;
  OutputMode mode = OutputMode::kColumn;
  bool headers = true;
  bool systemTables = false;
};

// A result as the shell prints it: column names and the rows' values.
struct ResultTable {
  std::vector<std::string> header;
  std::vector<std::vector<Variant>> rows;
};

// One statement or "." command of a script, with the line it begins on (1 = the first).
struct ScriptStatement {
  std::string text;
  int line = 0;
  bool command = false;  // a "." line: the text is the line without its dot
};

// Cuts lines of Jet SQL into statements as they arrive: a statement ends at ";" outside
// quotes, brackets and #date# literals (the ";" that ends a PARAMETERS declaration stays with
// its query); "--" outside those starts a comment up to the end of the line; blank statements
// are left out; a line beginning with "." before any statement text is a command of its own.
class StatementSplitter {
 public:
  // One line without its line break; returns the statements it completes.
  std::vector<ScriptStatement> Feed(const std::string& line);
  // The end of the input: a last statement left without ";".
  std::optional<ScriptStatement> Finish();
  // Text of a statement has begun and is not yet complete.
  bool Pending() const;

 private:
  void Complete(std::vector<ScriptStatement>& done);

  std::string current_;
  int lineNumber_ = 0;
  int startLine_ = 0;
  char closing_ = 0;  // the character that ends the literal or name we are in
};

// Where a script's lines come from: a stream, or a person at the prompt.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line break; nullopt at the end. `continued` is true while a
  // statement is incomplete (the prompt says so).
  virtual std::optional<std::string> ReadLine(bool continued) = 0;
  virtual bool Interactive() const { return false; }
  // A name for error messages ("script.sql"); empty for standard input.
  virtual std::string Name() const { return {}; }
};

class StreamLineSource : public LineSource {
 public:
  StreamLineSource(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}
  std::optional<std::string> ReadLine(bool continued) override;
  std::string Name() const override { return name_; }

 private:
  std::istream& in_;
  std::string name_;
};

// The terminal: a prompt, line editing and a history kept in `historyFile` (none when empty)
// across sessions.
class PromptLineSource : public LineSource {
 public:
  explicit PromptLineSource(std::string historyFile);
  ~PromptLineSource() override;
  PromptLineSource(const PromptLineSource&) = delete;
  PromptLineSource& operator=(const PromptLineSource&) = delete;
  std::optional<std::string> ReadLine(bool continued) override;
  bool Interactive() const override { return true; }

 private:
  std::string historyFile_;
};

class JetShell {
 public:
  // Results go to `out`, error messages to `err`.
  JetShell(ShellOptions options, std::ostream& out, std::ostream& err);
  ~JetShell();

  // Opens (or creates) the database; DAO errors propagate.
  void Open();

  // One Jet SQL statement: a SELECT prints its rows, anything else is executed and reports
  // the rows it touched.
  void Run(const std::string& sql);
  // One statement as given on the command line, whole (a ";" inside it separates nothing), or
  // a "." command.
  void RunArgument(const std::string& text);
  // Reads statements and commands from `source` and runs each as soon as it is complete.
  // An error is printed with the statement's line and, with bail on, ends the input. Returns
  // the number of statements that failed.
  int RunLines(LineSource& source);
  // A "." command without its dot ("tables", "fields Logon", ...); false when unknown.
  // Errors of the command itself propagate.
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
  // The indexes of `table`, or of every table when it is empty.
  void ListIndexes(const std::string& table);
  void ListFields(const std::string& table);
  // Gives a table made elsewhere the engine's row count (counted once now, then kept by
  // triggers) and prints the count; a table that has it is counted afresh. System tables
  // raise std::invalid_argument.
  void CountRows(const std::string& table);
  // Statements that build `table` (every table when empty) again: CREATE TABLE, CREATE
  // INDEX, the relations as ALTER TABLE ... ADD CONSTRAINT and, for every table, the query
  // definitions as .savequery lines.
  void PrintSchema(const std::string& table);
  // The content of `field` (Memo, Long Binary or Binary) in the one record of `table` that
  // `where` (a Jet criterion) selects, written into `file` byte for byte (a Null field gives
  // an empty file). No matching record, several, or another field type raise
  // std::invalid_argument; a file that cannot be written std::runtime_error.
  void BlobOut(const std::string& table, const std::string& field, const std::string& where, const std::string& file);
  // The bytes of `file` stored into that field of that record (a memo takes them as its
  // text). The file is read before anything changes; the same errors.
  void BlobIn(const std::string& table, const std::string& field, const std::string& where, const std::string& file);

  // Whether a script stops at its first error (the default for scripts; a person at the
  // prompt goes on).
  void SetBail(bool bail) { bail_ = bail; }
  // Prints the message of the exception being handled on `err`, after `place` ("line 3: "),
  // once what `out` holds is written. Only inside a catch block.
  static void ReportCurrentError(std::ostream& out, std::ostream& err, const std::string& place = {});
  // Set by .quit and .exit.
  bool QuitRequested() const { return quit_; }

 private:
  void PrintRecordset(jet::Recordset& recordset);
  std::shared_ptr<jet::Recordset> OpenBlobRecord(const std::string& table, const std::string& field,
                                                 const std::string& where, bool forWriting);
  void PrintTable(const ResultTable& table);
  void PrintHelp();

  ShellOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  std::optional<bool> bail_;
  bool quit_ = false;
  std::unique_ptr<jet::DBEngine> engine_;
  std::shared_ptr<jet::Database> database_;
};

// A value as the shell shows it: dates "YYYY-MM-DD HH:MM:SS" (with milliseconds when there
// are any), numbers with "." whatever the locale, Booleans True/False, bytes in hex, Null
// as the empty text.
std::string ShellText(const Variant& value);

// The DAO type's name ("Text", "Long", "Date/Time", ...).
std::string DaoTypeName(int type);
// A query definition type's name ("Select", "Crosstab", "MakeTable", ...).
std::string QueryTypeName(int type);

// A result in one of the output modes. A value that would break the layout is quoted: in
// columns a value holding a line break, a tab or another control character (or beginning
// with '"') is shown in double quotes with \n, \r, \t, \" and \\ escapes; list and CSV
// values are put in double quotes (with "" for a quote) when they hold a line break, a quote
// or the separator; JSON strings carry JSON's escapes. `headers` off leaves out the header
// line of columns, lists and CSV.
void WriteResult(std::ostream& out, OutputMode mode, bool headers, const ResultTable& table);

}  // namespace lumo::tools
