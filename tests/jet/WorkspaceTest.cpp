#include "jet/Workspace.h"

#include <gtest/gtest.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Recordset.h"
#include "runtime/Variant.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;
using testing::StockShell;

class WorkspaceTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("a.mdb");
    workspace_ = engine_.CreateWorkspace("DaoWorkspace", "Admin", "");
    engine_.Workspaces().Append(workspace_);
    auto database = workspace_->CreateDatabase(path_, dbLangGeneral);
    database->Execute("CREATE TABLE t (id COUNTER, name TEXT(20))");
    database->Close();
  }
  int64_t Rows() { return std::stoll(StockShell(path_, "SELECT count(*) FROM t")); }

  DBEngine engine_{"3.6"};
  std::shared_ptr<Workspace> workspace_;
  std::string path_;
};

TEST_F(WorkspaceTest, OpenDatabasesJoinTheWorkspaceUntilClosed) {
  auto first = workspace_->OpenDatabase(path_, false, false, ";UID=Admin;PWD=;");
  auto second = workspace_->OpenDatabase(path_);
  EXPECT_EQ(workspace_->Databases().Count(), 2);
  EXPECT_EQ(workspace_->Databases().Item(0), first);
  first->Close();
  EXPECT_EQ(workspace_->Databases().Count(), 1);
  workspace_->Close();
  EXPECT_FALSE(second->IsValid());
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(path_); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->Databases(); }), 3420);
}

TEST_F(WorkspaceTest, ConnectTextCarriesTheDatabasePassword) {
  auto database = workspace_->OpenDatabase(path_);
  database->NewPassword("", "Secret");
  database->Close();
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(path_); }), 3031);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(path_, false, false, ";UID=Admin;PWD=secret;"); }), 3031);
  workspace_->OpenDatabase(path_, false, false, ";UID=Admin;PWD=Secret;")->Close();
  workspace_->OpenDatabase(path_, false, false, "MS Access;PWD=Secret")->Close();
  // A password given at creation through the locale text.
  auto created = workspace_->CreateDatabase(PathOf("b.mdb"), std::string(dbLangGeneral) + ";pwd=x");
  created->Close();
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(PathOf("b.mdb")); }), 3031);
}

TEST_F(WorkspaceTest, OtherKindsOfSourcesNeedADriverTheEngineLacks) {
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(folder_.string(), false, false, "dBASE IV;"); }), 3170);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase("Journal", 1, false, "ODBC;DSN=Journal;"); }), 3170);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenConnection("Journal", 1, false, "ODBC;DSN=Journal;"); }), 3251);
  auto direct = engine_.CreateWorkspace("Direct", "Admin", "", dbUseODBC);
  EXPECT_EQ(DaoNumberOf([&] { direct->OpenConnection("Journal", 1, false, "ODBC;DSN=Journal;"); }), 3170);
  direct->SetDefaultCursorDriver(2);
  EXPECT_EQ(direct->DefaultCursorDriver(), 2);
}

TEST_F(WorkspaceTest, ExclusiveOpenShutsOutOtherWorkspaces) {
  auto other = engine_.CreateWorkspace("Other", "Admin", "");
  auto held = workspace_->OpenDatabase(path_, true);
  EXPECT_EQ(DaoNumberOf([&] { other->OpenDatabase(path_); }), 3051);
  EXPECT_EQ(DaoNumberOf([&] { other->OpenDatabase(path_, true); }), 3045);
  held->Close();
  other->OpenDatabase(path_, true)->Close();
}

TEST_F(WorkspaceTest, RollbackUndoesEveryDatabaseOfTheWorkspace) {
  auto database = workspace_->OpenDatabase(path_);
  auto second = workspace_->CreateDatabase(PathOf("b.mdb"), dbLangGeneral);
  second->Execute("CREATE TABLE u (a LONG)");
  workspace_->BeginTrans();
  EXPECT_TRUE(workspace_->IsInTransaction());
  database->Execute("INSERT INTO t (name) VALUES ('lost')", dbFailOnError);
  second->Execute("INSERT INTO u (a) VALUES (1)", dbFailOnError);
  workspace_->Rollback();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(StockShell(PathOf("b.mdb"), "SELECT count(*) FROM u"), "0\n");
  EXPECT_EQ(DaoNumberOf([&] { workspace_->Rollback(); }), 3034);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->CommitTrans(); }), 3034);
}

TEST_F(WorkspaceTest, NestedTransactionsResolveInnerFirst) {
  auto database = workspace_->OpenDatabase(path_);
  workspace_->BeginTrans();
  database->Execute("INSERT INTO t (name) VALUES ('outer')", dbFailOnError);
  workspace_->BeginTrans();
  database->Execute("INSERT INTO t (name) VALUES ('inner')", dbFailOnError);
  workspace_->Rollback();
  workspace_->BeginTrans();
  database->Execute("INSERT INTO t (name) VALUES ('kept')", dbFailOnError);
  workspace_->CommitTrans();
  // Nothing is visible to others before the outer commit.
  EXPECT_EQ(Rows(), 0);
  workspace_->CommitTrans();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "outer,kept\n");
  for (int level = 0; level < 5; ++level) workspace_->BeginTrans();
  EXPECT_EQ(DaoNumberOf([&] { workspace_->BeginTrans(); }), 3003);
  for (int level = 0; level < 5; ++level) workspace_->Rollback();
  EXPECT_FALSE(workspace_->IsInTransaction());
}

TEST_F(WorkspaceTest, TransactionHoldsTheWriteLockFromItsBeginning) {
  auto database = workspace_->OpenDatabase(path_);
  auto other = engine_.CreateWorkspace("Other", "Admin", "");
  auto elsewhere = other->OpenDatabase(path_);
  elsewhere->SetQueryTimeout(1);
  workspace_->BeginTrans();
  // Only read so far, yet nobody else may write in between: what the transaction read is
  // still true when it writes.
  EXPECT_EQ(VarToStr(database->OpenRecordset("SELECT count(*) FROM t", dbOpenSnapshot)->Fields().Item(0)->Value()),
            "0");
  EXPECT_EQ(DaoNumberOf([&] { elsewhere->Execute("INSERT INTO t (name) VALUES ('between')", dbFailOnError); }), 3218);
  database->Execute("INSERT INTO t (name) VALUES ('mine')", dbFailOnError);
  workspace_->CommitTrans();
  elsewhere->Execute("INSERT INTO t (name) VALUES ('after')", dbFailOnError);
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "mine,after\n");
}

// Counts the rows of t as a database of the workspace sees them.
int64_t RowsSeenBy(Database& database) {
  return database.OpenRecordset("SELECT count(*) FROM t", dbOpenSnapshot)->Fields().Item(0)->Value().AsInt64();
}

TEST_F(WorkspaceTest, DatabasesOfOneWorkspaceOnOneFileWriteInOneTransaction) {
  auto first = workspace_->OpenDatabase(path_);
  // The same file under another name.
  auto second = workspace_->OpenDatabase(folder_.string() + "/./a.mdb");
  first->SetQueryTimeout(1);
  second->SetQueryTimeout(1);
  workspace_->BeginTrans();
  first->Execute("INSERT INTO t (name) VALUES ('first')", dbFailOnError);
  second->Execute("INSERT INTO t (name) VALUES ('second')", dbFailOnError);
  auto recordset = second->OpenRecordset("t", dbOpenDynaset);
  recordset->AddNew();
  recordset->Fields().Item("name")->SetValue(Variant("added"));
  recordset->Update();
  // One session: each sees the other's rows before the commit, nobody else does.
  EXPECT_EQ(RowsSeenBy(*first), 3);
  EXPECT_EQ(RowsSeenBy(*second), 3);
  EXPECT_EQ(Rows(), 0);
  auto last = first->OpenRecordset("SELECT @@IDENTITY", dbOpenSnapshot);
  EXPECT_EQ(last->Fields().Item(0)->Value(), Variant(3));
  workspace_->CommitTrans();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "first,second,added\n");

  // Rolled back together, nested levels included.
  workspace_->BeginTrans();
  second->Execute("DELETE FROM t WHERE name = 'first'", dbFailOnError);
  workspace_->BeginTrans();
  first->Execute("UPDATE t SET name = 'inner' WHERE name = 'added'", dbFailOnError);
  workspace_->Rollback();
  std::string names;
  for (auto rows = second->OpenRecordset("SELECT name FROM t ORDER BY id", dbOpenSnapshot); !rows->IsEOF();
       rows->MoveNext()) {
    names += (names.empty() ? "" : ",") + VarToStr(rows->Fields().Item(0)->Value());
  }
  EXPECT_EQ(names, "second,added");
  workspace_->Rollback();
  EXPECT_EQ(Rows(), 3);

  // Another workspace is another session: it waits for the transaction and gives up.
  auto other = engine_.CreateWorkspace("Other", "Admin", "");
  auto elsewhere = other->OpenDatabase(path_);
  elsewhere->SetQueryTimeout(1);
  workspace_->BeginTrans();
  second->Execute("INSERT INTO t (name) VALUES ('mine')", dbFailOnError);
  EXPECT_EQ(DaoNumberOf([&] { elsewhere->Execute("INSERT INTO t (name) VALUES ('theirs')", dbFailOnError); }), 3218);
  // A database that closes leaves the session's transaction to the others.
  second->Close();
  first->Execute("INSERT INTO t (name) VALUES ('kept')", dbFailOnError);
  workspace_->CommitTrans();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "first,second,added,mine,kept\n");
  first->Close();
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
}

TEST_F(WorkspaceTest, SessionTransactionEndsAlikeForEveryDatabaseOnTheFile) {
  auto first = workspace_->OpenDatabase(path_);
  auto second = workspace_->OpenDatabase(path_);
  first->SetQueryTimeout(1);
  // Both write at the outer level; Rollback takes back both.
  workspace_->BeginTrans();
  first->Execute("INSERT INTO t (name) VALUES ('a')", dbFailOnError);
  second->Execute("INSERT INTO t (name) VALUES ('b')", dbFailOnError);
  // A database opened while the transaction runs is part of it.
  auto late = workspace_->OpenDatabase(path_);
  late->Execute("INSERT INTO t (name) VALUES ('late')", dbFailOnError);
  EXPECT_EQ(RowsSeenBy(*first), 3);
  workspace_->Rollback();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(RowsSeenBy(*late), 0);
  // Nothing is left open: each writes on its own again, and others see it at once.
  late->Execute("INSERT INTO t (name) VALUES ('alone')", dbFailOnError);
  EXPECT_EQ(Rows(), 1);

  // A table-type recordset of one database counts what another of the session adds.
  auto table = first->OpenRecordset("t", dbOpenTable);
  EXPECT_EQ(table->RecordCount(), 1);
  second->Execute("INSERT INTO t (name) VALUES ('c')", dbFailOnError);
  EXPECT_EQ(table->RecordCount(), 2);
  workspace_->BeginTrans();
  second->Execute("DELETE FROM t", dbFailOnError);
  EXPECT_EQ(table->RecordCount(), 0);
  workspace_->Rollback();
  EXPECT_EQ(table->RecordCount(), 2);
  table->Close();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "alone,c\n");
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
}

TEST_F(WorkspaceTest, WritesOfTheSessionDuringAPessimisticEditStayWhenItIsCancelled) {
  auto first = workspace_->OpenDatabase(path_);
  auto second = workspace_->OpenDatabase(path_);
  first->Execute("INSERT INTO t (name) VALUES ('locked')", dbFailOnError);
  auto recordset = first->OpenRecordset("t", dbOpenDynaset, 0, dbPessimistic);
  // The lock is the connection's write transaction, which the others of the session use.
  recordset->Edit();
  second->Execute("INSERT INTO t (name) VALUES ('beside')", dbFailOnError);
  first->Execute("INSERT INTO t (name) VALUES ('same')", dbFailOnError);
  recordset->CancelUpdate();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "locked,beside,same\n");
  // And after an Update through the lock.
  recordset->Edit();
  second->Execute("INSERT INTO t (name) VALUES ('again')", dbFailOnError);
  recordset->Fields().Item("name")->SetValue(Variant("edited"));
  recordset->Update();
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "edited,beside,same,again\n");
}

TEST_F(WorkspaceTest, ReadOnlyAndExclusiveOpensKeepTheirOwnConnections) {
  auto writer = workspace_->OpenDatabase(path_);
  auto reader = workspace_->OpenDatabase(path_, false, true);
  writer->SetQueryTimeout(1);
  // The read-only database joins the transaction without the write lock.
  workspace_->BeginTrans();
  writer->Execute("INSERT INTO t (name) VALUES ('written')", dbFailOnError);
  EXPECT_EQ(DaoNumberOf([&] { reader->Execute("INSERT INTO t (name) VALUES ('refused')", dbFailOnError); }), 3027);
  workspace_->CommitTrans();
  EXPECT_EQ(RowsSeenBy(*reader), 1);
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "written\n");
  writer->Close();
  reader->Close();
  // A file held exclusively is not opened again beside it, not even by its own session.
  auto held = workspace_->OpenDatabase(path_, true);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(path_); }), 3051);
  held->Close();
  // A wrong password is refused however the file is reached.
  auto open = workspace_->OpenDatabase(path_);
  open->NewPassword("", "pw");
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(path_); }), 3031);
  EXPECT_EQ(workspace_->OpenDatabase(path_, false, false, ";PWD=pw")->Name(), path_);
}

TEST_F(WorkspaceTest, ClosingAWorkspaceRollsBackWhatItLeftOpen) {
  auto database = workspace_->OpenDatabase(path_);
  workspace_->BeginTrans();
  database->Execute("INSERT INTO t (name) VALUES ('lost')", dbFailOnError);
  workspace_->Close();
  EXPECT_EQ(Rows(), 0);
  EXPECT_FALSE(database->IsValid());
}

TEST_F(WorkspaceTest, CreateDatabaseRefusesExistingFiles) {
  EXPECT_EQ(DaoNumberOf([&] { workspace_->CreateDatabase(path_, dbLangGeneral); }), 3204);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenDatabase(PathOf("none.mdb")); }), 3024);
  EXPECT_EQ(workspace_->Properties().Item("UserName")->Value(), Variant("Admin"));
}

}  // namespace
}  // namespace lumo::jet
