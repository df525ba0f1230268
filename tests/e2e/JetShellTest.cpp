// The database shell as a user runs it: the real jetsh binary on real files, read back with
// the stock sqlite3 shell.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef JETSH_PATH
#error "JETSH_PATH names the jetsh binary under test"
#endif

namespace {

struct Result {
  std::string output;  // standard output and standard error
  int status = -1;
};

// Runs a command line with standard input from `inputFile` (or nothing).
Result RunCommand(const std::string& command, const std::string& inputFile = "/dev/null") {
  const std::string full = command + " <" + inputFile + " 2>&1";
  Result result;
  if (FILE* pipe = popen(full.c_str(), "r")) {
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe)) result.output += buffer.data();
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  return result;
}

class JetShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-jetsh-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = (folder_ / "journal.mdb").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  Result Shell(const std::string& arguments, const std::string& input = {}) {
    if (input.empty()) return RunCommand(std::string(JETSH_PATH) + " " + arguments);
    const std::string inputFile = (folder_ / "stdin.sql").string();
    std::ofstream(inputFile) << input;
    return RunCommand(std::string(JETSH_PATH) + " " + arguments, inputFile);
  }
  void MakeJournal() {
    Result made =
        Shell("--create " + path_,
              "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), "
              "logontime DATETIME, Typ TEXT(10));\n"
              "CREATE INDEX ByUser ON Logon (Username DESC);\n"
              "INSERT INTO Logon (Username, logontime, Typ) VALUES (\"anna\", #12/24/2024 8:15#, \"logon\");\n"
              "INSERT INTO Logon (Username, logontime, Typ) VALUES (\"bert\", #12/24/2024 9:00#, \"logon\");\n");
    ASSERT_EQ(made.status, 0) << made.output;
  }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(JetShellTest, CreatesADatabaseTheStockShellReads) {
  MakeJournal();
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " 'SELECT ID, Username, logontime FROM Logon ORDER BY ID'").output,
            "1|anna|2024-12-24 08:15:00.000\n2|bert|2024-12-24 09:00:00.000\n");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " 'PRAGMA journal_mode'").output, "wal\n");
  // Creating it again is refused with DAO's error.
  Result again = Shell("--create " + path_);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.output, "Error 3204: Database already exists\n");
}

TEST_F(JetShellTest, PrintsResultRowsAlignedOrAsCsv) {
  MakeJournal();
  Result text = Shell(path_ + " \"SELECT Username, logontime, Typ FROM Logon WHERE Username Like 'a*'\"");
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.output,
            "Username  logontime            Typ\n"
            "--------  -------------------  -----\n"
            "anna      2024-12-24 08:15:00  logon\n");
  Result csv = Shell("--csv " + path_ + " \"SELECT Username, Typ & ',x' AS T FROM Logon ORDER BY Username\"");
  EXPECT_EQ(csv.output, "Username,T\r\nanna,\"logon,x\"\r\nbert,\"logon,x\"\r\n");
}

TEST_F(JetShellTest, ReportsRowsTouchedByActions) {
  MakeJournal();
  Result update = Shell(path_ + " \"UPDATE Logon SET Typ = 'logoff' WHERE Username = 'ANNA'\"");
  EXPECT_EQ(update.output, "1 row affected.\n");
  EXPECT_EQ(Shell(path_ + " 'alter table logon add logofftime datetime'").output, "");
  EXPECT_EQ(
      RunCommand("sqlite3 " + path_ + " \"SELECT type FROM pragma_table_info('Logon') WHERE name = 'logofftime'\"")
          .output,
      "DATETIME\n");
}

TEST_F(JetShellTest, ListsTablesQueriesIndexesAndFields) {
  MakeJournal();
  Shell(path_, "CREATE TABLE Empty (a LONG);");
  Result tables = Shell("--tables " + path_);
  EXPECT_EQ(tables.output,
            "Table  Rows  Kind\n"
            "-----  ----  ----\n"
            "Empty  0\n"
            "Logon  2\n");
  Result fields = Shell("--fields Logon " + path_);
  EXPECT_EQ(fields.output,
            "Field      Type            DAO type  Size  Attributes  Required  Default\n"
            "---------  --------------  --------  ----  ----------  --------  -------\n"
            "ID         Long (counter)  4         4     17\n"
            "Username   Text            10        50    34\n"
            "logontime  Date/Time       8         8     33\n"
            "Typ        Text            10        10    34\n");
  Result indexes = Shell("--indexes logon " + path_);
  EXPECT_EQ(indexes.output,
            "Index       Fields         Flags\n"
            "----------  -------------  -----------------------\n"
            "PrimaryKey  ID             primary unique required\n"
            "ByUser      Username DESC\n");
  std::ofstream(folder_ / "script.sql") << "SELECT Count(*) AS N FROM Logon;\n.queries\n";
  Result script = Shell("-f " + (folder_ / "script.sql").string() + " " + path_);
  EXPECT_EQ(script.status, 0);
  EXPECT_EQ(script.output, "N\n-\n2\nQuery  Type  Parameters  SQL\n-----  ----  ----------  ---\n");
}

TEST_F(JetShellTest, StoresListsAndRunsParameterQueries) {
  MakeJournal();
  const std::string byUser =
      "PARAMETERS Who Text (50), Since DateTime; SELECT ID, Username FROM Logon WHERE Username = Who AND "
      "logontime >= Since";
  Result saved = Shell(path_, ".savequery ByUser " + byUser +
                                  "\n"
                                  ".savequery Stamp UPDATE Logon SET Typ = NewTyp WHERE Username = Who\n"
                                  ".savequery Stamp UPDATE Logon SET Typ = [NewTyp] WHERE Username Like [Who]\n"
                                  ".queries\n");
  EXPECT_EQ(saved.status, 0) << saved.output;
  EXPECT_EQ(saved.output,
            "Query   Type    Parameters                 SQL\n"
            "------  ------  -------------------------  " +
                std::string(byUser.size(), '-') +
                "\n"
                "ByUser  Select  Who Text, Since Date/Time  " +
                byUser +
                "\n"
                "Stamp   Update  NewTyp Text, Who Text      UPDATE Logon SET Typ = [NewTyp] WHERE Username "
                "Like [Who]\n");
  // The definitions are in the engine's system table, as another program sees them.
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT Name FROM MSysQueries ORDER BY Name\"").output,
            "ByUser\nStamp\n");

  Result rows = Shell(path_ + " --query byuser --param Who=ANNA --param Since=12/24/2024");
  EXPECT_EQ(rows.status, 0);
  EXPECT_EQ(rows.output, "ID  Username\n--  --------\n1   anna\n");
  Result stamped = Shell(path_ + " --query Stamp --param Who=b* --param NewTyp=logoff");
  EXPECT_EQ(stamped.output, "1 row affected.\n");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT Username, Typ FROM Logon ORDER BY ID\"").output,
            "anna|logon\nbert|logoff\n");
  // NULL stands for Null: nobody matches.
  EXPECT_EQ(Shell(path_ + " --query Stamp --param Who=NULL --param NewTyp=x").output, "0 rows affected.\n");
}

TEST_F(JetShellTest, BadQueryRunsSayWhatIsWrongAndChangeNothing) {
  MakeJournal();
  Shell(path_,
        ".savequery ByUser PARAMETERS Who Text (50), Since DateTime; SELECT ID FROM Logon WHERE Username = Who "
        "AND logontime >= Since\n");
  EXPECT_EQ(Shell(path_ + " --query ByUser --param Who=anna").output, "Error 3061: Too few parameters. Expected 1\n");
  Result badDate = Shell(path_ + " --query ByUser --param Who=anna --param Since=someday");
  EXPECT_EQ(badDate.status, 1);
  EXPECT_EQ(badDate.output,
            "jetsh: parameter Since of query ByUser cannot take 'someday': Data type conversion error\n");
  EXPECT_EQ(Shell(path_ + " --query ByUser --param Whom=x").output, "jetsh: query ByUser has no parameter Whom\n");
  EXPECT_EQ(Shell(path_ + " --query Nowhere").output, "Error 3265: Item not found in this collection\n");
  EXPECT_EQ(Shell(path_ + " --param Who=x").status, 2);
  EXPECT_EQ(Shell(path_ + " --query ByUser --param Who").status, 2);
  // A text the engine cannot read is not stored.
  Result refused = Shell(path_, ".savequery Broken SELECT FROM WHERE\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT Name FROM MSysQueries\"").output, "ByUser\n");
}

TEST_F(JetShellTest, TableNamesAreWholeWordsAndArgumentsWholeStatements) {
  // A table named like a letter of its command.
  ASSERT_EQ(Shell("--create " + path_ + " 'CREATE TABLE f (f LONG, s TEXT(5))' 'CREATE INDEX s ON f (s)'").status, 0);
  Result fields = Shell("--fields f " + path_);
  EXPECT_EQ(fields.status, 0) << fields.output;
  EXPECT_EQ(fields.output,
            "Field  Type  DAO type  Size  Attributes  Required  Default\n"
            "-----  ----  --------  ----  ----------  --------  -------\n"
            "f      Long  4         4     33\n"
            "s      Text  10        5     34\n");
  EXPECT_EQ(Shell("--indexes s " + path_).status, 1);  // no table s
  EXPECT_EQ(Shell(path_, ".indexes f\n").output, "Index  Fields  Flags\n-----  ------  -----\ns      s\n");
  EXPECT_EQ(Shell(path_ + " '.fields   f'").output, fields.output);

  // A statement given as one argument is one statement: the ";" of PARAMETERS stays in it.
  EXPECT_EQ(Shell(path_ + " 'PARAMETERS p Long; INSERT INTO f (f, s) VALUES (1, \"a;b\")'").output,
            "1 row affected.\n");
  EXPECT_EQ(Shell(path_ + " 'PARAMETERS p Long; SELECT s FROM f WHERE f = p'").output,
            "Error 3061: Too few parameters. Expected 1\n");
  EXPECT_EQ(Shell(path_ + " 'SELECT s FROM f; SELECT 1 FROM f'").output,
            "Error 3142: Characters found after end of SQL statement\n");
  // In a script the same declaration belongs to its query too.
  Result script = Shell(path_, "PARAMETERS p Long; SELECT Count(*) AS N FROM f;\nSELECT s FROM f;\n");
  EXPECT_EQ(script.output, "N\n-\n1\ns\n---\na;b\n");
  // A name alone opens that table.
  EXPECT_EQ(Shell(path_ + " f").output, "f  s\n-  ---\n1  a;b\n");
}

TEST_F(JetShellTest, ErrorsPrintDaosNumberAndTextAndStopTheScriptAtTheirLine) {
  const std::string missing = (folder_ / "missing.mdb").string();
  Result open = Shell(missing + " 'SELECT 1'");
  EXPECT_EQ(open.status, 1);
  EXPECT_EQ(open.output, "Error 3024: Could not find file '" + missing + "'\n");
  MakeJournal();
  Result script =
      Shell(path_, "DELETE FROM Logon WHERE Username = 'anna';\nDELETE FROM Nowhere;\nDELETE FROM Logon;\n");
  EXPECT_EQ(script.status, 1);
  EXPECT_EQ(script.output,
            "1 row affected.\nline 2: Error 3078: The Microsoft Jet database engine cannot find the "
            "input table or query 'Nowhere'. Make sure it exists and that its name is spelled "
            "correctly\n");
  // The statement after the error did not run.
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " 'SELECT count(*) FROM Logon'").output, "1\n");
  std::ofstream(folder_ / "notes.txt") << std::string(200, 'n');
  EXPECT_EQ(Shell((folder_ / "notes.txt").string() + " 'SELECT 1'").output,
            "Error 3343: Unrecognized database format '" + (folder_ / "notes.txt").string() + "'\n");
  EXPECT_EQ(Shell("--bogus " + path_).status, 2);
  EXPECT_EQ(Shell("").status, 2);
}

TEST_F(JetShellTest, WritesAFileIntoABlobFieldAndReadsItOut) {
  ASSERT_EQ(Shell("--create " + path_,
                  "CREATE TABLE Files (ID COUNTER PRIMARY KEY, Name TEXT(20), Body MEMO, Data LONGBINARY);\n"
                  "INSERT INTO Files (Name) VALUES ('one');\nINSERT INTO Files (Name) VALUES ('two');\n")
                .status,
            0);
  std::string bytes(1 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + (i >> 11)) & 0xFF);
  const std::string in = (folder_ / "in.bin").string();
  const std::string out = (folder_ / "out.bin").string();
  std::ofstream(in, std::ios::binary) << bytes;

  Result stored = Shell(path_ + " --blob-in Files Data \"Name = 'two'\" " + in);
  EXPECT_EQ(stored.status, 0) << stored.output;
  EXPECT_EQ(stored.output, "1048576 bytes of " + in + " stored in Files.Data.\n");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ +
                       " \"SELECT Name, typeof(Data), length(Data), hex(substr(Data, 1, 4)) FROM Files\"")
                .output,
            "one|null||\ntwo|blob|1048576|00830689\n");
  Result written = Shell(path_ + " --blob-out Files Data \"ID = 2\" " + out);
  EXPECT_EQ(written.output, "1048576 bytes of Files.Data written to " + out + ".\n");
  std::ifstream back(out, std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(back), std::istreambuf_iterator<char>()) == bytes);

  // A memo takes the file as its text.
  std::ofstream(in) << "Zeile 1\r\nZeile 2 \xC3\xA4";
  EXPECT_EQ(Shell(path_ + " --blob-in Files Body \"ID = 1\" " + in).status, 0);
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT typeof(Body), hex(Body) FROM Files WHERE ID = 1\"").output,
            "text|5A65696C6520310D0A5A65696C65203220C3A4\n");
  EXPECT_EQ(Shell(path_ + " --blob-out Files Data \"ID = 1\" " + out).output,
            "0 bytes of Files.Data written to " + out + " (the field is Null).\n");

  // What cannot be done says so and changes nothing.
  const std::string before = RunCommand("sqlite3 " + path_ + " \"SELECT hex(Body), hex(Data) FROM Files\"").output;
  Result several = Shell(path_ + " --blob-in Files Data \"ID > 0\" " + in);
  EXPECT_EQ(several.status, 1);
  EXPECT_EQ(several.output, "jetsh: 2 records of Files match ID > 0; the criterion must name one\n");
  EXPECT_EQ(Shell(path_ + " --blob-out Files Data \"ID = 9\" " + out).output,
            "jetsh: no record of Files matches ID = 9\n");
  EXPECT_EQ(Shell(path_ + " --blob-in Files Name \"ID = 1\" " + in).output,
            "jetsh: Files.Name is a Text field, not a Memo or binary one\n");
  const std::string missing = (folder_ / "missing.bin").string();
  EXPECT_EQ(Shell(path_ + " --blob-in Files Data \"ID = 1\" " + missing).output,
            "jetsh: cannot read " + missing + ": No such file or directory\n");
  EXPECT_EQ(Shell(path_ + " --blob-out Files Data \"ID = 2\" " + (folder_ / "no" / "x").string()).status, 1);
  EXPECT_EQ(Shell(path_ + " --blob-out Files Data \"ID = 2\"").status, 2);
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT hex(Body), hex(Data) FROM Files\"").output, before);
}

TEST_F(JetShellTest, GivesATableMadeElsewhereItsRowCount) {
  // A journal table made by another tool, with rows: no bookkeeping yet.
  ASSERT_EQ(RunCommand("sqlite3 " + path_ +
                       " \"CREATE TABLE Logon (ID INTEGER PRIMARY KEY, Username TEXT); WITH RECURSIVE n(i) AS "
                       "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) INSERT INTO Logon (Username) "
                       "SELECT 'user' || i FROM n\"")
                .status,
            0);
  Result added = Shell(path_ + " --count-rows logon");
  EXPECT_EQ(added.status, 0) << added.output;
  EXPECT_EQ(added.output, "Logon: 250 rows, counted from now on\n");
  // The stock shell's writes keep it right from then on.
  RunCommand("sqlite3 " + path_ +
             " \"INSERT INTO Logon (Username) VALUES ('anna'); DELETE FROM Logon WHERE ID <= 10\"");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT Rows FROM MSysRowCounts WHERE TableName = 'Logon'\"").output,
            "241\n");
  EXPECT_NE(Shell(path_ + " --tables").output.find("241"), std::string::npos);

  Result system = Shell(path_ + " --count-rows MSysRowCounts");
  EXPECT_EQ(system.status, 1);
  EXPECT_EQ(system.output, "jetsh: System tables are not counted: MSysRowCounts\n");
  EXPECT_EQ(Shell(path_ + " --count-rows Nowhere").status, 1);
  EXPECT_EQ(Shell(path_ + " --count-rows").status, 2);
}

TEST_F(JetShellTest, ScriptsTakeCommentsBlankLinesAndStatementsOverSeveralLines) {
  MakeJournal();
  const std::string script =
      "-- who logged on\n"
      "\n"
      "SELECT Username -- the name\n"
      "  FROM Logon\n"
      "  WHERE Typ = 'logon' AND Username <> 'x--y'; -- not a comment inside quotes\n"
      "   -- indented comment\n"
      "SELECT Count(*) AS N FROM Logon\n";  // the last statement needs no ";"
  Result result = Shell("--list " + path_, script);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output, "Username\nanna\nbert\nN\n2\n");
  // A string literal keeps what looks like a comment, line breaks and all.
  Result literal = Shell("--list " + path_, "UPDATE Logon SET Typ = 'a--b\nc' WHERE ID = 1;\n");
  EXPECT_EQ(literal.output, "1 row affected.\n");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " \"SELECT hex(Typ) FROM Logon WHERE ID = 1\"").output, "612D2D620A63\n");
}

TEST_F(JetShellTest, AnErrorNamesTheStatementsFirstLineAndBailDecidesWhetherTheScriptGoesOn) {
  MakeJournal();
  const std::string script =
      "DELETE FROM Logon WHERE Username = 'anna';\n"
      "\n"
      "SELECT *\n"
      "  FROM Nowhere;\n"
      ".nonsense\n"
      "DELETE FROM Logon;\n";
  const std::string missing =
      "Error 3078: The Microsoft Jet database engine cannot find the input table or query 'Nowhere'. Make sure it "
      "exists and that its name is spelled correctly\n";
  std::ofstream(folder_ / "clean.sql") << script;
  const std::string file = (folder_ / "clean.sql").string();
  Result bailed = Shell("-f " + file + " " + path_);
  EXPECT_EQ(bailed.status, 1);
  EXPECT_EQ(bailed.output, "1 row affected.\n" + file + ":3: " + missing);
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " 'SELECT count(*) FROM Logon'").output, "1\n");

  // Without bail every statement runs, each error is named, and the status still says so.
  Result onward = Shell("--no-bail " + path_, script);
  EXPECT_EQ(onward.status, 1);
  EXPECT_EQ(onward.output, "0 rows affected.\nline 3: " + missing +
                               "line 5: Unknown command: .nonsense (.help lists the commands)\n1 row affected.\n");
  EXPECT_EQ(RunCommand("sqlite3 " + path_ + " 'SELECT count(*) FROM Logon'").output, "0\n");
  // A script may turn bail off for itself; a bad argument to a command is an error of its own.
  Result own = Shell(path_, ".bail off\n.mode wide\nSELECT 1 AS One FROM Logon;\n.headers maybe\n");
  EXPECT_EQ(own.status, 1);
  EXPECT_EQ(own.output, "line 2: .mode takes list, csv, column or json\nOne\n---\nline 4: .headers takes on or off\n");
  EXPECT_EQ(Shell(path_, "SELECT 1 FROM Logon;\n").status, 0);
}

TEST_F(JetShellTest, EveryOutputModeKeepsOneRowPerLineOrQuotesTheBreaks) {
  ASSERT_EQ(Shell("--create " + path_,
                  "CREATE TABLE t (ID LONG, Note MEMO, Flag YESNO, Amount CURRENCY, Ratio DOUBLE);\n"
                  "INSERT INTO t VALUES (1, 'two' & Chr(13) & Chr(10) & 'lines|\"q\"', True, 12.5, 0.25);\n"
                  "INSERT INTO t (ID, Note) VALUES (2, '\"quoted\\');\n"
                  "INSERT INTO t (ID) VALUES (3);\n")
                .status,
            0);
  const std::string query = " 'SELECT * FROM t ORDER BY ID'";
  EXPECT_EQ(Shell(path_ + query).output,
            "ID  Note                  Flag  Amount   Ratio\n"
            "--  --------------------  ----  -------  -----\n"
            "1   \"two\\r\\nlines|\\\"q\\\"\"  True  12.5000  0.25\n"
            "2   \"\\\"quoted\\\\\"\n"
            "3\n");
  EXPECT_EQ(Shell("--list " + path_ + query).output,
            "ID|Note|Flag|Amount|Ratio\n"
            "1|\"two\r\nlines|\"\"q\"\"\"|True|12.5000|0.25\n"
            "2|\"\"\"quoted\\\"|||\n"
            "3||||\n");
  EXPECT_EQ(Shell("--csv --no-headers " + path_ + query).output,
            "1,\"two\r\nlines|\"\"q\"\"\",True,12.5000,0.25\r\n"
            "2,\"\"\"quoted\\\",,,\r\n"
            "3,,,,\r\n");
  EXPECT_EQ(Shell("--json " + path_ + query).output,
            "[{\"ID\":1,\"Note\":\"two\\r\\nlines|\\\"q\\\"\",\"Flag\":true,\"Amount\":12.5000,\"Ratio\":0.25},\n"
            "{\"ID\":2,\"Note\":\"\\\"quoted\\\\\",\"Flag\":null,\"Amount\":null,\"Ratio\":null},\n"
            "{\"ID\":3,\"Note\":null,\"Flag\":null,\"Amount\":null,\"Ratio\":null}]\n");
  EXPECT_EQ(Shell("--json " + path_ + " 'SELECT * FROM t WHERE ID > 9'").output, "[]\n");
  // The dot commands switch within a script.
  EXPECT_EQ(Shell(path_,
                  ".mode list\n.headers off\nSELECT ID FROM t WHERE ID < 3;\n.mode column\n.headers on\n"
                  "SELECT ID FROM t WHERE ID = 3;\n")
                .output,
            "1\n2\nID\n--\n3\n");
}

TEST_F(JetShellTest, SchemaBuildsTheSameDatabaseAgain) {
  ASSERT_EQ(Shell("--create " + path_,
                  "CREATE TABLE Person (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(40) NOT NULL, "
                  "Born DATETIME, Photo LONGBINARY, Paid CURRENCY, Active YESNO, Share DECIMAL(12, 3));\n"
                  "CREATE UNIQUE INDEX ByName ON Person (Name DESC, Born) WITH IGNORE NULL;\n"
                  "CREATE TABLE [Logon Entry] (ID LONG, Person LONG, Memo MEMO, Code BINARY(8));\n"
                  "CREATE INDEX Required ON [Logon Entry] (Code) WITH DISALLOW NULL;\n"
                  "ALTER TABLE [Logon Entry] ADD CONSTRAINT PersonEntry FOREIGN KEY (Person) REFERENCES Person (ID);\n"
                  ".savequery Named PARAMETERS Who Text (40); SELECT * FROM Person WHERE Name = Who\n")
                .status,
            0);
  Result schema = Shell(path_ + " .schema");
  ASSERT_EQ(schema.status, 0) << schema.output;
  EXPECT_EQ(schema.output,
            "CREATE TABLE [Logon Entry] ([ID] LONG, [Person] LONG, [Memo] MEMO, [Code] BINARY(8));\n"
            "CREATE INDEX [Required] ON [Logon Entry] ([Code]) WITH DISALLOW NULL;\n"
            "CREATE TABLE [Person] ([ID] COUNTER, [Name] TEXT(40) NOT NULL, [Born] DATETIME, [Photo] LONGBINARY, "
            "[Paid] CURRENCY, [Active] YESNO, [Share] DECIMAL(12, 3), CONSTRAINT [PrimaryKey] PRIMARY KEY ([ID]));\n"
            "CREATE UNIQUE INDEX [ByName] ON [Person] ([Name] DESC, [Born]) WITH IGNORE NULL;\n"
            "ALTER TABLE [Logon Entry] ADD CONSTRAINT [PersonEntry] FOREIGN KEY ([Person]) REFERENCES [Person] "
            "([ID]);\n"
            ".savequery Named PARAMETERS Who Text (40); SELECT * FROM Person WHERE Name = Who\n");
  const std::string copy = (folder_ / "copy.mdb").string();
  Result replayed = Shell("--create " + copy, schema.output);
  ASSERT_EQ(replayed.status, 0) << replayed.output;
  EXPECT_EQ(Shell(copy + " .schema").output, schema.output);
  for (const char* table : {"Person", "'Logon Entry'"}) {
    EXPECT_EQ(Shell("--fields " + std::string(table) + " " + copy).output,
              Shell("--fields " + std::string(table) + " " + path_).output);
  }
  EXPECT_EQ(Shell(copy + " .indexes").output, Shell(path_ + " .indexes").output);
  EXPECT_EQ(Shell(path_ + " '.schema person'").output.substr(0, 25), "CREATE TABLE [Person] ([I");
  EXPECT_EQ(Shell(path_ + " '.schema nobody'").output, "Error 3265: Item not found in this collection\n");
}

TEST_F(JetShellTest, AnswersHelpAndVersionWithoutADatabase) {
  Result version = Shell("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.output.starts_with("jetsh ")) << version.output;
  EXPECT_NE(version.output.find_first_of("0123456789"), std::string::npos);
  Result help = Shell("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Usage: jetsh"), std::string::npos);
  EXPECT_NE(help.output.find("--json"), std::string::npos);
}

}  // namespace
