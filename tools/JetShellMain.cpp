// jetsh: the command line of the database shell.

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/Exceptions.h"
#include "tools/JetShell.h"

namespace {

constexpr const char* kUsage =
    "Usage: jetsh [options] DATABASE [SQL ...]\n"
    "Runs Jet SQL on a database file, or on a server's database when DATABASE is an\n"
    "ODBC connect text (\"ODBC;DSN=name;UID=user;PWD=password;\"): each SQL argument\n"
    "(one statement, taken whole), else the statements of -f FILE, else those on\n"
    "standard input, each as soon as its \";\" is read. On a terminal it prompts, with\n"
    "line editing and a history kept in ~/.jetsh_history (or $JETSH_HISTORY). \"--\"\n"
    "begins a comment; lines beginning with \".\" are commands (.help lists them).\n"
    "\n"
    "  -c, --create          make a new, empty database file first\n"
    "  -f, --file FILE       read statements from FILE\n"
    "      --column          print result rows as aligned columns (the default)\n"
    "      --list            print result rows with \"|\" between the values\n"
    "      --csv             print result rows as CSV\n"
    "      --json            print result rows as a JSON array of objects\n"
    "      --no-headers      leave out the column names\n"
    "      --bail            stop at the first error (the default for scripts)\n"
    "      --no-bail         go on after an error (the default at the prompt)\n"
    "  -p, --password PWD    the database password (with --create: set it)\n"
    "  -r, --readonly        open read-only\n"
    "  -x, --exclusive       open exclusively\n"
    "      --tables          list the tables\n"
    "      --system          include system tables in --tables\n"
    "      --queries         list the query definitions with their types and parameters\n"
    "      --query NAME      run the stored query NAME (after the listings)\n"
    "      --param P=VALUE   a value for parameter P of --query (repeatable; NULL is Null)\n"
    "      --indexes TABLE   list a table's indexes\n"
    "      --fields TABLE    list a table's fields with their DAO types\n"
    "      --count-rows TABLE  keep TABLE's row count in the file, so that counting it does\n"
    "                        not read it (tables the engine makes have it already)\n"
    "      --blob-in TABLE FIELD WHERE FILE\n"
    "                        store FILE's bytes in FIELD (Memo or binary) of the one record\n"
    "                        of TABLE that the Jet criterion WHERE selects\n"
    "      --blob-out TABLE FIELD WHERE FILE\n"
    "                        write that field's content into FILE, byte for byte\n"
    "  -h, --help            this text\n"
    "      --version         the program's version\n"
    "\n"
    "Errors print the DAO number and text, in a script after the statement's line; the\n"
    "exit status is then 1 (2 for a wrong command line).\n";

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

// The history of the prompt: $JETSH_HISTORY (empty: none), else ~/.jetsh_history.
std::string HistoryFile() {
  if (const char* file = std::getenv("JETSH_HISTORY")) return file;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.jetsh_history";
  }
  return {};
}

int UsageError(const std::string& message) {
  std::cerr << "jetsh: " << message << "\n" << kUsage;
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  using namespace lumo::tools;

  ShellOptions options;
  std::vector<std::string> statements;
  std::vector<std::string> commands;  // "." commands from the options, in order
  std::string scriptFile;
  std::string queryName;
  std::vector<std::pair<std::string, std::string>> queryParameters;
  struct BlobJob {
    bool in;
    std::string table, field, where, file;
  };
  std::vector<BlobJob> blobJobs;  // after the listings and the stored query, before SQL
  std::optional<bool> bail;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "jetsh " << LUMO_VERSION << "\n";
      return 0;
    } else if (arg == "-c" || arg == "--create") {
      options.create = true;
    } else if (arg == "--column") {
      options.mode = OutputMode::kColumn;
    } else if (arg == "--list") {
      options.mode = OutputMode::kList;
    } else if (arg == "--csv") {
      options.mode = OutputMode::kCsv;
    } else if (arg == "--json") {
      options.mode = OutputMode::kJson;
    } else if (arg == "--no-headers") {
      options.headers = false;
    } else if (arg == "--bail" || arg == "-bail" || arg == "--no-bail") {
      bail = arg != "--no-bail";
    } else if (arg == "-r" || arg == "--readonly") {
      options.readOnly = true;
    } else if (arg == "-x" || arg == "--exclusive") {
      options.exclusive = true;
    } else if (arg == "--system") {
      options.systemTables = true;
    } else if (arg == "--tables") {
      commands.push_back("tables");
    } else if (arg == "--queries") {
      commands.push_back("queries");
    } else if (arg == "--blob-in" || arg == "--blob-out") {
      if (i + 4 >= argc) return UsageError(arg + " needs TABLE FIELD WHERE FILE");
      blobJobs.push_back({arg == "--blob-in", argv[i + 1], argv[i + 2], argv[i + 3], argv[i + 4]});
      i += 4;
    } else if (arg == "--query" || arg == "--param") {
      const char* text = value();
      if (text == nullptr) return UsageError(arg + " needs a value");
      if (arg == "--query") {
        queryName = text;
        continue;
      }
      const std::string assignment = text;
      const size_t equals = assignment.find('=');
      if (equals == std::string::npos || equals == 0) return UsageError("--param needs NAME=VALUE, not " + assignment);
      queryParameters.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
    } else if (arg == "-p" || arg == "--password" || arg == "-f" || arg == "--file" || arg == "--indexes" ||
               arg == "--fields" || arg == "--count-rows") {
      const char* text = value();
      if (text == nullptr) return UsageError(arg + " needs a value");
      if (arg == "-p" || arg == "--password") {
        options.password = text;
      } else if (arg == "-f" || arg == "--file") {
        scriptFile = text;
      } else if (arg == "--count-rows") {
        commands.push_back(std::string("countrows ") + text);
      } else {
        commands.push_back(arg.substr(2) + " " + text);
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (options.path.empty()) {
      options.path = arg;
    } else {
      statements.push_back(arg);
    }
  }
  if (options.path.empty()) return UsageError("no database file given");
  if (!queryParameters.empty() && queryName.empty()) return UsageError("--param belongs to a --query");

  int failures = 0;
  try {
    JetShell shell(options, std::cout, std::cerr);
    if (bail) shell.SetBail(*bail);
    shell.Open();
    for (const std::string& command : commands) shell.Command(command);
    if (!queryName.empty()) shell.RunQuery(queryName, queryParameters);
    for (const BlobJob& job : blobJobs) {
      if (job.in) {
        shell.BlobIn(job.table, job.field, job.where, job.file);
      } else {
        shell.BlobOut(job.table, job.field, job.where, job.file);
      }
    }
    if (!statements.empty()) {
      for (const std::string& statement : statements) shell.RunArgument(statement);
    } else if (!scriptFile.empty()) {
      std::ifstream file(scriptFile);
      if (!file) {
        std::cerr << "jetsh: cannot read " << scriptFile << "\n";
        return kExitError;
      }
      StreamLineSource source(file, scriptFile);
      failures = shell.RunLines(source);
    } else if (commands.empty() && queryName.empty() && blobJobs.empty()) {
      if (isatty(STDIN_FILENO)) {
        std::cout << "jetsh " << LUMO_VERSION << " on " << options.path
                  << ". Statements end with \";\"; .help lists the commands, .quit leaves.\n";
        PromptLineSource source(HistoryFile());
        shell.RunLines(source);
        // What went wrong at the prompt was seen there; leaving is not a failure.
      } else {
        StreamLineSource source(std::cin, {});
        failures = shell.RunLines(source);
      }
    }
  } catch (const std::exception&) {
    // Opening the file, the listings and the statements given as arguments stop at once.
    JetShell::ReportCurrentError(std::cout, std::cerr);
    return kExitError;
  }
  return failures > 0 ? kExitError : 0;
}
