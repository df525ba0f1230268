#include "jet/Database.h"

#include <gtest/gtest.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/DatabaseFile.h"
#include "jet/Recordset.h"
#include "runtime/StrUtils.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::StockShell;

// The journal's table as an older database has it: without logofftime.
constexpr const char* kOldLogon =
    "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), Computer TEXT(20), "
    "logontime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), Typ TEXT(10))";

class DatabaseTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("journal.mdb");
    database_ = engine_.CreateDatabase(path_, dbLangGeneral, dbVersion40);
    database_->Execute(kOldLogon);
  }
  void Insert(const std::string& user, const std::string& typ) {
    database_->Execute("INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('" + user +
                           "', 'PC1', #12/24/2024 08:15:00#, '" + typ + "')",
                       dbFailOnError);
  }
  std::string Shell(const std::string& sql) { return StockShell(path_, sql); }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(DatabaseTest, CreatedTableHasSelfDescribingTypesInTheFile) {
  EXPECT_EQ(Shell("SELECT name || ':' || type || ':' || pk FROM pragma_table_info('Logon')"),
            "ID:INTEGER:1\nUsername:VARCHAR(50):0\nComputer:VARCHAR(20):0\n"
            "logontime:DATETIME:0\nIP:VARCHAR(20):0\nBetriebssystem:VARCHAR(50):0\n"
            "Typ:VARCHAR(10):0\n");
  // The counter numbers rows itself, also for the stock shell, and text compares without
  // regard to case there too.
  EXPECT_EQ(Shell("INSERT INTO Logon (Username) VALUES ('shell'); SELECT ID FROM Logon WHERE Username = 'SHELL'"),
            "1\n");
}

TEST_F(DatabaseTest, JournalUpgradeAddsLogofftimeLast) {
  Insert("anna", "logon");
  database_->Execute("alter table logon add logofftime datetime");
  EXPECT_EQ(Shell("SELECT group_concat(name || ' ' || type, ', ') FROM pragma_table_info('Logon') WHERE cid >= 6"),
            "Typ VARCHAR(10), logofftime DATETIME\n");
  // The journal's logoff stamp: an update by Jet SQL, seen by the stock shell.
  database_->Execute(
      "update logon set logofftime = #12/24/2024 17:30:05# where username = 'ANNA' and "
      "logofftime is null",
      dbFailOnError);
  EXPECT_EQ(database_->RecordsAffected(), 1);
  EXPECT_EQ(Shell("SELECT Username, logontime, logofftime FROM Logon"),
            "anna|2024-12-24 08:15:00.000|2024-12-24 17:30:05.000\n");
  // A second upgrade finds the column there.
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("alter table logon add logofftime datetime"); }), 3380);
}

TEST_F(DatabaseTest, ExecuteCountsTheRowsItTouches) {
  Insert("anna", "logon");
  Insert("bert", "logon");
  Insert("carl", "logoff");
  database_->Execute("UPDATE Logon SET Typ = 'x' WHERE Typ = 'LOGON'");
  EXPECT_EQ(database_->RecordsAffected(), 2);
  database_->Execute("DELETE FROM Logon WHERE Username Like 'c*'");
  EXPECT_EQ(database_->RecordsAffected(), 1);
  database_->Execute("DELETE FROM Logon WHERE 1 = 0");
  EXPECT_EQ(database_->RecordsAffected(), 0);
  EXPECT_EQ(Shell("SELECT count(*) FROM Logon WHERE Typ = 'x'"), "2\n");
}

TEST_F(DatabaseTest, ExecuteRefusesSelectsAndNamesUnknownThings) {
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("SELECT * FROM Logon"); }), 3065);
  EXPECT_EQ(DaoMessageOf([&] { database_->Execute("SELECT * FROM Logon"); }), "Cannot execute a select query");
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DELETE FROM Nowhere"); }), 3078);
  // A name no table has is a parameter, and nothing gives it a value.
  EXPECT_EQ(DaoMessageOf([&] { database_->Execute("UPDATE Logon SET Typ = 'x' WHERE Kind = 1"); }),
            "Too few parameters. Expected 1");
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("UPDATE Logon SET Typ = 'x' WHERE A = 1 AND B = 2"); }), 3061);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DELETE FROM Logon WHERE"); }), 3145);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DELETE FROM Logon WHERE Typ = = 1"); }), 3075);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DROP TABLE Nowhere"); }), 3376);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DELETE FROM Logon", dbConsistent | dbInconsistent); }), 3001);
}

TEST_F(DatabaseTest, FailOnErrorRollsTheWholeStatementBack) {
  database_->Execute("CREATE TABLE Names (Name TEXT(10) NOT NULL, CONSTRAINT ByName UNIQUE (Name))");
  database_->Execute("INSERT INTO Names (Name) VALUES ('bert')");
  Insert("anna", "a");
  Insert("bert", "b");
  Insert("carl", "c");
  // bert is there already: with dbFailOnError nothing of the statement stays.
  EXPECT_EQ(
      DaoNumberOf([&] { database_->Execute("INSERT INTO Names (Name) SELECT Username FROM Logon", dbFailOnError); }),
      3022);
  EXPECT_EQ(Shell("SELECT count(*) FROM Names"), "1\n");
  // Without it the rows that fit go in and the count says how many.
  database_->Execute("INSERT INTO Names (Name) SELECT Username FROM Logon");
  EXPECT_EQ(database_->RecordsAffected(), 2);
  EXPECT_EQ(Shell("SELECT group_concat(Name) FROM (SELECT Name FROM Names ORDER BY Name)"), "anna,bert,carl\n");
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("INSERT INTO Names (Name) VALUES (Null)", dbFailOnError); }), 3314);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("INSERT INTO Names (Name) VALUES ('ANNA')", dbFailOnError); }), 3022);
}

TEST_F(DatabaseTest, TextLongerThanItsFieldIsRefusedEverywhere) {
  EXPECT_EQ(DaoMessageOf([&] { database_->Execute("INSERT INTO Logon (Typ) VALUES ('elevenchars')"); }),
            "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting "
            "less data");
  Insert("anna", "logon");
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("UPDATE Logon SET Typ = Typ & 'logon!'", dbFailOnError); }), 3163);
  // Sizes count characters: ten umlauts fit a field of ten.
  database_->Execute("UPDATE Logon SET Typ = 'ÄÖÜäöüÄÖÜß'", dbFailOnError);
  // The file itself refuses, whoever writes.
  EXPECT_NE(Shell("UPDATE Logon SET Computer = '" + std::string(21, 'c') + "'").find("jet error 3163"),
            std::string::npos);
  EXPECT_EQ(Shell("SELECT Computer FROM Logon"), "PC1\n");
  // A Required column added to a table with rows is checked the same way.
  database_->Execute("ALTER TABLE Logon ADD COLUMN Site TEXT(5) NOT NULL");
  EXPECT_EQ(DaoMessageOf([&] { Insert("bert", "logon"); }),
            "The field 'Site' cannot contain a Null value because the Required property for this field is set to "
            "True. Enter a value in this field");
}

TEST_F(DatabaseTest, ReadOnlyDatabaseRefusesChanges) {
  Insert("anna", "logon");
  database_->Close();
  auto readOnly = engine_.OpenDatabase(path_, false, true);
  EXPECT_FALSE(readOnly->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { readOnly->Execute("DELETE FROM Logon", dbFailOnError); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { readOnly->Execute("CREATE TABLE t (a LONG)"); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { readOnly->CreateQueryDef("q", "SELECT * FROM Logon"); }), 3027);
  EXPECT_EQ(Shell("SELECT count(*) FROM Logon"), "1\n");
}

TEST_F(DatabaseTest, TwoDatabasesOnOneFileSeeEachOthersRows) {
  auto other = engine_.OpenDatabase(path_);
  Insert("anna", "logon");
  other->Execute("UPDATE Logon SET Typ = 'seen' WHERE Username = 'anna'");
  EXPECT_EQ(other->RecordsAffected(), 1);
  // Schema changes of one show in the other's catalogue.
  database_->Execute("alter table logon add logofftime datetime");
  other->TableDefs().Refresh();
  EXPECT_EQ(other->TableDefs().Item("Logon")->Fields().Count(), 8);
}

TEST_F(DatabaseTest, IdentityIsTheLastCounterThisDatabaseAdded) {
  // Counters by SQLite's row key (Logon) and by trigger, with their own seed and step.
  database_->Execute("CREATE TABLE Steps (N COUNTER(100, 10), Name TEXT(10))");
  database_->Execute("CREATE TABLE Plain (Name TEXT(10))");
  // Another session (the databases of one workspace share their connection and its value).
  auto otherSession = engine_.CreateWorkspace("Other", "Admin", "");
  auto other = otherSession->OpenDatabase(path_);
  // The value as each kind of recordset reads it, whichever connection it runs on.
  const auto identity = [](Database& database) {
    std::vector<Variant> values;
    for (int type : {dbOpenSnapshot, dbOpenDynaset, dbOpenForwardOnly}) {
      auto recordset = database.OpenRecordset("SELECT @@IDENTITY", type);
      EXPECT_EQ(recordset->Fields().Item(0)->Type(), dbLong);
      values.push_back(recordset->Fields().Item(0)->Value());
    }
    return values;
  };
  const auto all = [](int value) { return std::vector<Variant>(3, Variant(value)); };
  EXPECT_EQ(identity(*database_), all(0));

  Insert("anna", "logon");
  Insert("bert", "logon");
  EXPECT_EQ(identity(*database_), all(2));
  database_->Execute("INSERT INTO Steps (Name) VALUES ('a')");
  EXPECT_EQ(identity(*database_), all(100));
  // Several rows at once: the last one's.
  database_->Execute("INSERT INTO Steps (Name) SELECT Username FROM Logon");
  EXPECT_EQ(identity(*database_), all(120));
  // AddNew/Update counts as well.
  auto steps = database_->OpenRecordset("Steps", dbOpenDynaset);
  steps->AddNew();
  steps->Fields().Item("Name")->SetValue(Variant("d"));
  steps->Update();
  EXPECT_EQ(identity(*database_), all(130));
  auto logon = database_->OpenRecordset("Logon");
  logon->AddNew();
  logon->Update();
  EXPECT_EQ(identity(*database_), all(3));
  // A table without a counter, a statement that adds nothing, and other connections'
  // inserts leave it alone.
  database_->Execute("INSERT INTO Plain (Name) VALUES ('p')");
  database_->Execute("INSERT INTO Steps (Name) SELECT Name FROM Steps WHERE 1 = 0");
  other->Execute("INSERT INTO Steps (Name) VALUES ('o')");
  Shell("INSERT INTO Logon (Username) VALUES ('shell')");
  EXPECT_EQ(identity(*database_), all(3));
  EXPECT_EQ(identity(*other), all(140));
  other->Close();
  // Inside a transaction every read runs on the database's own connection.
  engine_.DefaultWorkspace()->BeginTrans();
  database_->Execute("INSERT INTO Steps (Name) VALUES ('t')");
  EXPECT_EQ(identity(*database_), all(150));
  engine_.DefaultWorkspace()->Rollback();
  EXPECT_EQ(Shell("SELECT group_concat(N) FROM Steps"), "100,110,120,130,140\n");
}

TEST_F(DatabaseTest, ClosedDatabaseAnswers3420) {
  auto table = database_->TableDefs().Item("Logon");
  database_->Close();
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DELETE FROM Logon"); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { database_->Close(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { table->Fields(); }), 3420);
  EXPECT_EQ(DaoMessageOf([&] { database_->Version(); }), "Object is invalid or no longer set");
}

TEST_F(DatabaseTest, DescribesItselfAsAJetFourFileInTheGeneralOrder) {
  EXPECT_EQ(database_->Version(), "4.0");
  EXPECT_EQ(database_->CollatingOrder(), 1033);
  EXPECT_EQ(database_->QueryTimeout(), 60);
  database_->SetQueryTimeout(2);
  EXPECT_EQ(database_->File()->BusyTimeoutMs(), 2000);
  EXPECT_EQ(database_->Properties().Item("CollatingOrder")->Value(), Variant(1033));
  EXPECT_EQ(database_->Name(), path_);
}

TEST_F(DatabaseTest, UserDefinedDatabasePropertiesAreKeptInTheFile) {
  auto properties = &database_->Properties();
  properties->Append(database_->CreateProperty("AppTitle", dbText, Variant("Journal")));
  EXPECT_EQ(DaoNumberOf([&] { properties->Append(database_->CreateProperty("apptitle", dbText, Variant("x"))); }),
            3367);
  properties->Item("AppTitle")->SetValue(Variant("Logon journal"));
  EXPECT_EQ(DaoNumberOf([&] { properties->Delete("Version"); }), 3219);
  database_->Close();
  auto reopened = engine_.OpenDatabase(path_);
  EXPECT_EQ(reopened->Properties().Item("apptitle")->Value(), Variant("Logon journal"));
  reopened->Properties().Delete("AppTitle");
  EXPECT_EQ(DaoNumberOf([&] { reopened->Properties().Item("AppTitle"); }), 3270);
}

TEST_F(DatabaseTest, ContainersAndRelationsDescribeTheCatalogue) {
  database_->Execute("CREATE TABLE Machines (Computer TEXT(20) CONSTRAINT pk PRIMARY KEY)");
  database_->Execute("CREATE TABLE Visits (Computer TEXT(20) CONSTRAINT fk REFERENCES Machines (Computer))");
  database_->CreateQueryDef("Today", "SELECT * FROM Logon");
  auto tables = database_->Containers().Item("Tables");
  const auto& documents = tables->DocumentNames();
  EXPECT_NE(std::find(documents.begin(), documents.end(), "Visits"), documents.end());
  EXPECT_NE(std::find(documents.begin(), documents.end(), "Today"), documents.end());
  ASSERT_EQ(database_->Relations().Count(), 1);
  EXPECT_EQ(database_->Relations().Item(0)->Table(), "Machines");
  EXPECT_EQ(database_->Relations().Item(0)->ForeignTable(), "Visits");
}

TEST_F(DatabaseTest, OpenRecordsetTakesTablesQueriesAndSql) {
  Insert("anna", "logon");
  Insert("bert", "logoff");
  database_->CreateQueryDef("Logons", "SELECT * FROM Logon WHERE Typ = 'logon'");
  auto table = database_->OpenRecordset("logon");
  EXPECT_EQ(table->Type(), dbOpenTable);
  EXPECT_EQ(table->RecordCount(), 2);
  auto query = database_->OpenRecordset("Logons");
  EXPECT_EQ(query->Type(), dbOpenDynaset);
  EXPECT_EQ(query->Fields().Item("Username")->Value(), Variant("anna"));
  auto sql = database_->OpenRecordset("SELECT Count(*) AS N FROM Logon", dbOpenSnapshot);
  EXPECT_EQ(sql->Fields().Item("N")->Value().AsInteger(), 2);
  EXPECT_EQ(database_->Recordsets().Count(), 3);
  query->Close();
  EXPECT_EQ(database_->Recordsets().Count(), 2);
  // Closing the database closes what was opened from it.
  database_->Close();
  EXPECT_FALSE(table->IsValid());
  EXPECT_EQ(DaoNumberOf([&] { sql->MoveNext(); }), 3420);
}

TEST_F(DatabaseTest, UnknownNamesAndFieldsAnswerDaosErrors) {
  const std::string missing =
      "The Microsoft Jet database engine cannot find the input table or query '%'. Make sure it exists and that "
      "its name is spelled correctly";
  // A name that is neither a table, nor a query, nor SQL.
  for (const char* name : {"Nope", "[My Table]", " Selections "}) {
    SCOPED_TRACE(name);
    std::string bare = Trim(name);
    if (bare.front() == '[') bare = bare.substr(1, bare.size() - 2);
    EXPECT_EQ(DaoNumberOf([&] { database_->OpenRecordset(name); }), 3078);
    EXPECT_EQ(DaoMessageOf([&] { database_->OpenRecordset(name, dbOpenDynaset); }), ReplaceAll(missing, "%", bare));
  }
  // Text that begins as SQL is SQL, and its faults are the statement's.
  EXPECT_EQ(DaoNumberOf([&] { database_->OpenRecordset("SELECT FROM"); }), 3141);
  EXPECT_EQ(DaoNumberOf([&] { database_->OpenRecordset("SELECT * FROM Nope"); }), 3078);
  // A field the table does not have, in an INSERT's field list.
  EXPECT_EQ(DaoMessageOf([&] { database_->Execute("INSERT INTO Logon (Nope) VALUES (1)", dbFailOnError); }),
            "The INSERT INTO statement contains the following unknown field name: 'Nope'. Make sure you have typed "
            "the name correctly, and try the operation again");
  EXPECT_EQ(
      DaoNumberOf([&] { database_->Execute("INSERT INTO Logon (Username, Nope) SELECT Username, Typ FROM Logon"); }),
      3127);
  EXPECT_EQ(engine_.Errors().Item(0)->Number(), 3127);
}

TEST_F(DatabaseTest, FieldsOfARecordsetCarryTheirTablesProperties) {
  Insert("anna", "logon");
  auto logontime = database_->TableDefs().Item("Logon")->Fields().Item("logontime");
  logontime->Properties().Append(database_->CreateProperty("Format", dbText, Variant("Short Date")));
  auto recordset = database_->OpenRecordset("SELECT Username, logontime FROM Logon", dbOpenDynaset);
  EXPECT_EQ(recordset->Fields().Item("logontime")->Properties().Item("Format")->Value(), Variant("Short Date"));
  EXPECT_EQ(DaoNumberOf([&] { recordset->Fields().Item("Username")->Properties().Item("Format"); }), 3270);
}

}  // namespace
}  // namespace lumo::jet
