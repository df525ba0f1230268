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
  EXPECT_EQ(VarToStr(database->OpenRecordset("SELECT count(*) FROM t", dbOpenSnapshot)->Fields().Item(0)->Value()), "0");
  EXPECT_EQ(DaoNumberOf([&] { elsewhere->Execute("INSERT INTO t (name) VALUES ('between')", dbFailOnError); }), 3218);
  database->Execute("INSERT INTO t (name) VALUES ('mine')", dbFailOnError);
  workspace_->CommitTrans();
  elsewhere->Execute("INSERT INTO t (name) VALUES ('after')", dbFailOnError);
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(name) FROM t"), "mine,after\n");
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
