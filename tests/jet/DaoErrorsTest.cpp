// DAO's error texts, the raising of EOleException with the hook, and the mapping of SQLite's
// failures, checked with failures a real SQLite produces where one can be made.

#include "jet/DaoErrors.h"
#include "jet/sqlite/SqliteErrors.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "runtime/Exceptions.h"

namespace lumo::jet {
namespace {

class DaoErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-daoerrors-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_EQ(sqlite3_open((folder_ / "a.db").c_str(), &db_), SQLITE_OK);
    sqlite3_extended_result_codes(db_, 1);
    ASSERT_EQ(Exec("CREATE TABLE Logon (ID INTEGER PRIMARY KEY, Username TEXT NOT NULL UNIQUE)"), SQLITE_OK);
    ASSERT_EQ(Exec("INSERT INTO Logon VALUES (1, 'a')"), SQLITE_OK);
  }
  void TearDown() override {
    sqlite3_close(db_);
    std::filesystem::remove_all(folder_);
  }

  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }

  // The DAO error the failure of a statement maps to.
  DaoErrorInfo Mapped(const std::string& sql, const SqliteErrorContext& context = {}) {
    EXPECT_NE(Exec(sql), SQLITE_OK) << sql;
    return MapSqliteError(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_), context);
  }

  std::filesystem::path folder_;
  sqlite3* db_ = nullptr;
};

TEST_F(DaoErrorsTest, TextsFillTheirPlaceholdersInQuotes) {
  EXPECT_EQ(DaoErrorText(3010, {"Orders"}), "Table 'Orders' already exists.");
  EXPECT_EQ(DaoErrorText(3024, {"/x/y.mdb"}), "Could not find file '/x/y.mdb'.");
  EXPECT_EQ(DaoErrorText(3061, {"2"}), "Too few parameters. Expected 2.");
  EXPECT_EQ(DaoErrorText(3075, {"Syntax error (missing operator)", "a b"}),
            "Syntax error (missing operator) in query expression 'a b'.");
  EXPECT_EQ(DaoErrorText(3260, {"Admin", "PC1"}),
            "Could not update; currently locked by user 'Admin' on machine 'PC1'.");
  EXPECT_EQ(DaoErrorText(3372, {"ix"}), "No such index 'ix' on table ''.");
  EXPECT_EQ(DaoErrorText(3021), "No current record.");
  EXPECT_EQ(DaoErrorText(3420), "Object is invalid or no longer set.");
  EXPECT_EQ(DaoErrorText(1), "Reserved error (1); there is no message for this error.");
  EXPECT_EQ(DaoErrorText(3010, {"100% '%s'"}), "Table '100% '%s'' already exists.");
  EXPECT_EQ(DaoErrorPattern(424242), nullptr);
}

TEST_F(DaoErrorsTest, RaisedErrorsCarryDaoFieldsAndPassTheHook) {
  std::vector<DaoErrorInfo> seen;
  DaoErrorHook previous = SetDaoErrorHook([&](const DaoErrorInfo& info) { seen.push_back(info); });
  try {
    RaiseDaoError(3078, {"Logn"}, "DAO.Database");
    ADD_FAILURE() << "nothing raised";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3078);
    EXPECT_EQ(error.Source(), "DAO.Database");
    EXPECT_EQ(error.HelpFile(), "jeterr40.chm");
    EXPECT_EQ(error.HelpContext(), 5003078);
    // The automation layer shows descriptions without the final full stop.
    EXPECT_EQ(error.Message(),
              "The Microsoft Jet database engine cannot find the input table or query 'Logn'. Make sure it exists "
              "and that its name is spelled correctly");
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].description.back(), '.');
  EXPECT_EQ(seen[0].helpContext, 5003078);

  // The hook belongs to its thread.
  std::thread other([] {
    try {
      RaiseDaoError(3021);
    } catch (const EOleException&) {}
  });
  other.join();
  EXPECT_EQ(seen.size(), 1u);

  DaoErrorHook mine = SetDaoErrorHook(std::move(previous));
  EXPECT_TRUE(static_cast<bool>(mine));
}

TEST_F(DaoErrorsTest, SqliteFailuresBecomeTheDaoErrorsProgramsTestFor) {
  EXPECT_EQ(Mapped("INSERT INTO Logon VALUES (1, 'b')").number, 3022);
  EXPECT_EQ(Mapped("INSERT INTO Logon VALUES (2, 'a')").number, 3022);
  DaoErrorInfo required = Mapped("INSERT INTO Logon (ID) VALUES (3)");
  EXPECT_EQ(required.number, 3314);
  EXPECT_EQ(required.description,
            "The field 'Logon.Username' cannot contain a Null value because the Required property for this field "
            "is set to True. Enter a value in this field.");
  EXPECT_EQ(required.detail, "NOT NULL constraint failed: Logon.Username");

  DaoErrorInfo table = Mapped("SELECT * FROM Logn");
  EXPECT_EQ(table.number, 3078);
  EXPECT_NE(table.description.find("'Logn'"), std::string::npos);
  SqliteErrorContext ddl;
  ddl.ddl = true;
  EXPECT_EQ(Mapped("DROP TABLE Logn", ddl).description, "Table 'Logn' does not exist.");
  EXPECT_EQ(Mapped("CREATE TABLE Logon (x)").description, "Table 'Logon' already exists.");
  EXPECT_EQ(Mapped("SELECT nosuch FROM Logon").description, "Too few parameters. Expected 1.");
  EXPECT_EQ(Mapped("CREATE INDEX i ON Logon (nosuch)", ddl).number, 3070);
  EXPECT_EQ(Mapped("SELECT nz(1)").description, "Undefined function 'nz' in expression.");
  ASSERT_EQ(Exec("CREATE TABLE Other (ID INTEGER)"), SQLITE_OK);
  EXPECT_EQ(Mapped("SELECT ID FROM Logon, Other").number, 3079);
  EXPECT_EQ(Mapped("SELECT 1 UNION SELECT 1, 2").number, 3307);
  EXPECT_EQ(Mapped("DROP INDEX \"Logon.ix\"").description, "No such index 'ix' on table 'Logon'.");
  SqliteErrorContext alter;
  alter.table = "Logon";
  EXPECT_EQ(Mapped("ALTER TABLE Logon ADD COLUMN Username TEXT", alter).description,
            "Field 'Username' already exists in table 'Logon'.");
  std::string deep = "SELECT 1";
  for (int i = 0; i < 1200; ++i) deep += " + 1";
  EXPECT_EQ(Mapped(deep).number, 3360);
}

// No SQLite message reaches a caller as the description: every failure a statement can meet
// answers a DAO number and DAO's text, SQLite's words staying behind as the detail.
TEST_F(DaoErrorsTest, EveryStatementFailureAnswersWithDaosText) {
  ASSERT_EQ(Exec("CREATE TABLE Checked (n INTEGER CHECK (n > 0))"), SQLITE_OK);
  ASSERT_EQ(Exec("CREATE TABLE Guarded (n INTEGER)"), SQLITE_OK);
  ASSERT_EQ(Exec("CREATE TRIGGER g BEFORE INSERT ON Guarded BEGIN SELECT RAISE(ABORT, 'No rows today.'); END"),
            SQLITE_OK);
  ASSERT_EQ(Exec("CREATE TRIGGER broken AFTER DELETE ON Logon BEGIN DELETE FROM Gone; END"), SQLITE_OK);
  struct Case {
    const char* sql;
    int number;
    const char* description;
  };
  const Case cases[] = {
      {"INSERT INTO Logon (Nope) VALUES (1)", 3127,
       "The INSERT INTO statement contains the following unknown field name: 'Nope'. Make sure you have typed "
       "the name correctly, and try the operation again."},
      {"SELECT * FROM Logon WHERE count(*) > 1", 3095, "Cannot have aggregate function in expression (count())."},
      {"SELECT ID FROM Logon GROUP BY count(*)", 3098, "Cannot have aggregate function in GROUP BY clause ()."},
      {"SELECT (SELECT ID, Username FROM Logon)", 3306,
       "You have written a subquery that can return more than one field without using the EXISTS reserved word "
       "in the main query's FROM clause. Revise the SELECT statement of the subquery to request only one field."},
      {"SELECT *", 3067, "Query input must contain at least one table or query."},
      {"SELECT substr()", 3075, "Wrong number of arguments used with function in query expression 'substr()'."},
      {"SELECT ID FROM Logon UNION SELECT ID FROM Logon ORDER BY Username", 3138, "Syntax error in ORDER BY clause."},
      {"SELECT 1 FROM Logon AS a LEFT JOIN Logon AS b ON c.ID = 1, Logon AS c", 3135,
       "Syntax error in JOIN operation."},
      {"CREATE TABLE sqlite_x (a)", 3125,
       "'sqlite_x' is not a valid name. Make sure that it does not include invalid characters or punctuation and "
       "that it is not too long."},
      {"CREATE INDEX Logon ON Logon (ID)", 3010, "Table 'Logon' already exists."},
      {"INSERT INTO Checked VALUES (0)", 3317,
       "One or more values are prohibited by the validation rule 'n > 0' set for ''. Enter a value that the "
       "expression for this field can accept."},
      {"INSERT INTO Guarded VALUES (1)", 3316, "No rows today."},
      {"DELETE FROM Logon", 3078,
       "The Microsoft Jet database engine cannot find the input table or query 'Gone'. Make sure it exists and "
       "that its name is spelled correctly."},
      {"COMMIT", 3034, "You tried to commit or roll back a transaction without first using BeginTrans."},
      {"SELECT 9223372036854775807 + 1 FROM Logon WHERE abs(-9223372036854775807 - 1)", 6, "Overflow."},
      {"SELECT * FROM Logon WHERE", 3075, "Syntax error in query expression ''."},
      {"SELECT ID FROM Logon Logon Logon", 3075, "Syntax error in query expression 'Logon'."},
      {"SELECT ID FROM Logon ORDER BY 9", 3138, "Syntax error in ORDER BY clause."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    DaoErrorInfo info = Mapped(c.sql);
    EXPECT_EQ(info.number, c.number);
    EXPECT_EQ(info.description, c.description);
    EXPECT_FALSE(info.detail.empty());
  }
  // Failures by result code alone.
  EXPECT_EQ(MapSqliteError(SQLITE_TOOBIG, "string or blob too big").description, "Record is too large.");
  EXPECT_EQ(MapSqliteError(SQLITE_NOMEM, "out of memory").description, "System resource exceeded.");
  EXPECT_EQ(MapSqliteError(SQLITE_PROTOCOL, "locking protocol").number, 3218);
  // What has no DAO counterpart is DAO's reserved error, naming SQLite's code.
  DaoErrorInfo reserved = MapSqliteError(SQLITE_INTERRUPT, "interrupted");
  EXPECT_EQ(reserved.number, 3000);
  EXPECT_EQ(reserved.description, "Reserved error (9); there is no message for this error.");
  EXPECT_EQ(reserved.detail, "interrupted");
}

TEST_F(DaoErrorsTest, FilesLocksAndReadOnlyOpensMapByResultCode) {
  SqliteErrorContext context;
  context.fileName = (folder_ / "missing.mdb").string();
  EXPECT_EQ(MapSqliteError(SQLITE_CANTOPEN, "unable to open database file", context).description,
            "Could not find file '" + context.fileName + "'.");
  context.fileName = folder_.string();
  EXPECT_EQ(MapSqliteError(SQLITE_CANTOPEN, "unable to open database file", context).number, 3051);

  const std::string notDatabase = (folder_ / "text.mdb").string();
  std::ofstream(notDatabase) << "Standard Jet DB but not really, and long enough to be read as a header by SQLite";
  sqlite3* other = nullptr;
  sqlite3_open(notDatabase.c_str(), &other);
  sqlite3_extended_result_codes(other, 1);
  EXPECT_NE(sqlite3_exec(other, "SELECT * FROM sqlite_master", nullptr, nullptr, nullptr), SQLITE_OK);
  context.fileName = notDatabase;
  DaoErrorInfo format = MapSqliteError(sqlite3_extended_errcode(other), sqlite3_errmsg(other), context);
  EXPECT_EQ(format.number, 3343);
  EXPECT_EQ(format.description, "Unrecognized database format '" + notDatabase + "'.");
  sqlite3_close(other);

  EXPECT_EQ(MapSqliteError(SQLITE_BUSY, "database is locked").number, 3218);
  SqliteErrorContext locked;
  locked.lockUser = "Admin";
  locked.lockMachine = "PC7";
  EXPECT_EQ(MapSqliteError(SQLITE_BUSY_SNAPSHOT, "database is locked", locked).number, 3260);
  EXPECT_EQ(MapSqliteError(SQLITE_LOCKED, "database table is locked").number, 3218);
  EXPECT_EQ(MapSqliteError(SQLITE_READONLY, "attempt to write a readonly database").number, 3027);
  EXPECT_EQ(MapSqliteError(SQLITE_IOERR_WRITE, "disk I/O error").number, 3043);
}

TEST_F(DaoErrorsTest, FunctionErrorsKeepTheirNumberThroughSqlite) {
  const std::string message = FunctionErrorMessage(3464);
  EXPECT_EQ(message, "jet error 3464: Data type mismatch in criteria expression.");
  DaoErrorInfo mapped = MapSqliteError(SQLITE_ERROR, message);
  EXPECT_EQ(mapped.number, 3464);
  EXPECT_EQ(mapped.description, "Data type mismatch in criteria expression.");
  EXPECT_EQ(MapSqliteError(SQLITE_ERROR, FunctionErrorMessage(11)).description, "Division by zero.");
  EXPECT_EQ(MapSqliteError(SQLITE_ERROR, "jet error : x").number, 3000);
  // A trigger's refusal keeps its number when it comes wrapped in the trigger's name.
  EXPECT_EQ(MapSqliteError(SQLITE_CONSTRAINT_TRIGGER, "error in trigger t.checks.insert: " + message).number, 3464);
}

// SQLite's codes decide wherever they tell the failures apart; its words are read only under
// SQLITE_ERROR, the one code it gives every failure to prepare a statement.
TEST_F(DaoErrorsTest, MessagesDecideOnlyUnderTheCodeSqliteSharesAmongFailures) {
  DaoErrorInfo collation = Mapped("SELECT * FROM Logon ORDER BY Username COLLATE nosuch");
  EXPECT_EQ(sqlite3_extended_errcode(db_), SQLITE_ERROR_MISSING_COLLSEQ);
  EXPECT_EQ(collation.number, 3049);
  EXPECT_EQ(MapSqliteError(SQLITE_ERROR_MISSING_COLLSEQ, "").number, 3049);
  EXPECT_EQ(MapSqliteError(SQLITE_ERROR, "no such table: x").number, 3078);
  EXPECT_EQ(MapSqliteError(SQLITE_INTERRUPT, "no such table: x").number, 3000);
  EXPECT_EQ(MapSqliteError(SQLITE_RANGE, "too many columns").number, 3000);
  EXPECT_EQ(MapSqliteError(SQLITE_CONSTRAINT, "constraint failed").number, 3022);
  // An unknown name travels as a name, not as words to parse again.
  DaoErrorInfo unknown = Mapped("SELECT [Which user?] FROM Logon");
  EXPECT_EQ(unknown.number, 3061);
  EXPECT_EQ(unknown.unknownName, "Which user?");
  EXPECT_EQ(Mapped("SELECT * FROM Logn").unknownName, "");
}

TEST_F(DaoErrorsTest, NoSuchColumnNamesTheUnknownName) {
  EXPECT_EQ(NoSuchColumnName("no such column: Which user?"), "Which user?");
  EXPECT_EQ(NoSuchColumnName("no such column: t.c"), "t.c");
  EXPECT_EQ(NoSuchColumnName("no such table: t"), std::nullopt);
  EXPECT_EQ(NoSuchColumnName("no such column: "), std::nullopt);
}

}  // namespace
}  // namespace lumo::jet
