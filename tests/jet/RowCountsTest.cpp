// The row count a table keeps in the file: exact whoever writes (the engine, the stock shell
// behind its back, a writer killed in the middle of a transaction), taken by a whole-table
// dynaset after MoveLast, by a table-type recordset and by TableDef.RecordCount, and counted
// the slow way on tables that lack the bookkeeping until it is added.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/DatabaseFile.h"
#include "jet/Recordset.h"
#include "jet/RowCounts.h"
#include "jet/TableDef.h"
#include "jet/Workspace.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::StockShell;

class RowCountsTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("counts.mdb");
    database_ = engine_.CreateDatabase(path_, dbLangGeneral);
    database_->Execute("CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50))",
                       dbFailOnError);
  }
  void Reopen() {
    database_->Close();
    database_ = engine_.OpenDatabase(path_);
  }
  // What a whole-table dynaset counts after MoveLast, and the same for a table-type
  // recordset and the table definition: all three must agree.
  int64_t EngineCount(const std::string& table = "Logon") {
    auto dynaset = database_->OpenRecordset(table, dbOpenDynaset);
    int64_t count = 0;
    if (!dynaset->IsEOF()) {
      dynaset->MoveLast();
      count = dynaset->RecordCount();
    }
    auto tableType = database_->OpenRecordset(table, dbOpenTable);
    EXPECT_EQ(tableType->RecordCount(), count);
    database_->TableDefs().Refresh();
    EXPECT_EQ(database_->TableDefs().Item(table)->RecordCount(), count);
    return count;
  }
  int64_t ShellCount(const std::string& table = "Logon") {
    return std::stoll(StockShell(path_, "SELECT count(*) FROM " + table));
  }
  std::string KeptCount(const std::string& table = "Logon") {
    std::string kept = StockShell(path_, "SELECT Rows FROM MSysRowCounts WHERE TableName = '" + table + "'");
    while (!kept.empty() && kept.back() == '\n') kept.pop_back();
    return kept;
  }
  void InsertByShell(int rows, const std::string& table = "Logon") {
    StockShell(path_, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(rows) + ") INSERT INTO " + table + " (Username) SELECT 'user' || i FROM n");
  }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(RowCountsTest, StaysExactUnderTheEngineAndTheStockShell) {
  EXPECT_EQ(EngineCount(), 0);
  EXPECT_EQ(KeptCount(), "0");
  for (int i = 0; i < 3; ++i) database_->Execute("INSERT INTO Logon (Username) VALUES ('anna')", dbFailOnError);
  auto recordset = database_->OpenRecordset("Logon", dbOpenDynaset);
  recordset->AddNew();
  recordset->Fields().Item("Username")->SetValue(Variant("bert"));
  recordset->Update();
  recordset->MoveFirst();
  recordset->Delete();
  recordset->Close();
  EXPECT_EQ(EngineCount(), 3);

  // Behind the engine's back: rows in, some out, every row out (which SQLite would do
  // without visiting the rows, were it not for the triggers).
  InsertByShell(500);
  StockShell(path_, "DELETE FROM Logon WHERE ID % 7 = 0");
  EXPECT_EQ(EngineCount(), ShellCount());
  EXPECT_EQ(KeptCount(), std::to_string(ShellCount()));
  StockShell(path_, "DELETE FROM Logon");
  EXPECT_EQ(EngineCount(), 0);
  InsertByShell(20);
  database_->Execute("DELETE FROM Logon WHERE ID Mod 2 = 0", dbFailOnError);
  EXPECT_EQ(EngineCount(), ShellCount());
  EXPECT_GT(ShellCount(), 0);
}

TEST_F(RowCountsTest, MoveLastTakesTheKeptCountAndSeesRowsDeletedInTheHead) {
  InsertByShell(300);
  // The dynaset has walked part of the list when it goes to the end: the rows it read are
  // subtracted from the count, the ones between are never read.
  auto dynaset = database_->OpenRecordset("Logon", dbOpenDynaset);
  for (int i = 0; i < 10; ++i) dynaset->MoveNext();
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->RecordCount(), 300);
  dynaset->MoveFirst();
  int walked = 0;
  for (; !dynaset->IsEOF(); dynaset->MoveNext()) ++walked;
  EXPECT_EQ(walked, 300);

  // The count comes from the bookkeeping, not from reading the table: a count put wrong on
  // purpose shows through, and the engine trusts it only while the triggers are its own.
  StockShell(path_, "UPDATE MSysRowCounts SET Rows = 1234 WHERE TableName = 'Logon'");
  auto trusting = database_->OpenRecordset("Logon", dbOpenDynaset);
  trusting->MoveLast();
  EXPECT_EQ(trusting->RecordCount(), 1234);
  StockShell(path_, "DROP TRIGGER [Logon.rowcount.delete]");
  auto counting = database_->OpenRecordset("Logon", dbOpenDynaset);
  counting->MoveLast();
  EXPECT_EQ(counting->RecordCount(), 300);
}

TEST_F(RowCountsTest, AWriterKilledInTheMiddleOfATransactionLeavesTheCountRight) {
  InsertByShell(100);
  database_->Close();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Enough rows that SQLite writes pages into the file before the commit that never comes
    // (the rows double each time: some 100,000 of them).
    DBEngine engine("3.6");
    auto database = engine.OpenDatabase(path_);
    engine.Workspaces().Item(0)->BeginTrans();
    for (int i = 0; i < 10; ++i)
      database->Execute("INSERT INTO Logon (Username) SELECT Username FROM Logon", dbFailOnError);
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  database_ = engine_.OpenDatabase(path_);
  EXPECT_EQ(ShellCount(), 100);
  EXPECT_EQ(EngineCount(), 100);
  EXPECT_EQ(KeptCount(), "100");
  // Committed work afterwards counts on from there.
  InsertByShell(5);
  EXPECT_EQ(EngineCount(), 105);
}

TEST_F(RowCountsTest, ATableMadeElsewhereIsCountedUntilItGetsTheBookkeeping) {
  StockShell(path_, "CREATE TABLE Foreign1 (Username TEXT); CREATE TABLE Foreign2 (Username TEXT)");
  InsertByShell(40, "Foreign1");
  Reopen();
  EXPECT_FALSE(database_->File()->Schema().FindTable("Foreign1")->rowCounted);
  EXPECT_EQ(EngineCount("Foreign1"), 40);
  StockShell(path_, "DELETE FROM Foreign1 WHERE rowid <= 10");
  EXPECT_EQ(EngineCount("Foreign1"), 30);

  AddRowCount(*database_->File(), "Foreign1");
  EXPECT_TRUE(database_->File()->Schema().FindTable("Foreign1")->rowCounted);
  EXPECT_FALSE(database_->File()->Schema().FindTable("Foreign2")->rowCounted);
  EXPECT_EQ(KeptCount("Foreign1"), "30");
  InsertByShell(7, "Foreign1");
  StockShell(path_, "DELETE FROM Foreign1 WHERE rowid = 20");
  EXPECT_EQ(EngineCount("Foreign1"), 36);
  EXPECT_EQ(KeptCount("Foreign1"), "36");
  EXPECT_EQ(EngineCount("Foreign2"), 0);
  // Adding it again counts afresh (a count that drifted through a writer's REPLACE).
  StockShell(path_, "UPDATE MSysRowCounts SET Rows = 0 WHERE TableName = 'Foreign1'");
  AddRowCount(*database_->File(), "Foreign1");
  EXPECT_EQ(KeptCount("Foreign1"), "36");
}

TEST_F(RowCountsTest, SchemaChangesKeepTheCountAndADroppedTableForgetsIt) {
  InsertByShell(25);
  database_->Execute("ALTER TABLE Logon ALTER COLUMN Username TEXT(80)", dbFailOnError);
  database_->Execute("ALTER TABLE Logon ADD COLUMN Extra LONG", dbFailOnError);
  database_->Execute("ALTER TABLE Logon DROP COLUMN Extra", dbFailOnError);
  EXPECT_TRUE(database_->File()->Schema().FindTable("Logon")->rowCounted);
  InsertByShell(5);
  EXPECT_EQ(EngineCount(), 30);
  EXPECT_EQ(KeptCount(), "30");

  database_->Execute("DROP TABLE Logon", dbFailOnError);
  EXPECT_EQ(KeptCount(), "");
  database_->Execute("CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50))",
                     dbFailOnError);
  EXPECT_EQ(KeptCount(), "0");
  EXPECT_EQ(EngineCount(), 0);
}

}  // namespace
}  // namespace lumo::jet
