#include "jet/DatabaseFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "jet/DaoConstants.h"
#include "jet/storage/Transaction.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::StockShell;

class DatabaseFileTest : public testing::TempFolderTest {
 protected:
  std::shared_ptr<DatabaseFile> CreateWithTable(const std::string& name, const std::string& locale = dbLangGeneral) {
    auto file = DatabaseFile::Create(PathOf(name), locale, dbVersion40);
    file->Connection().Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(20) COLLATE NOCASE)");
    file->Connection().Exec("INSERT INTO t (name) VALUES ('one')");
    return file;
  }
  int64_t Count(DatabaseFile& file, const std::string& table = "t") {
    storage::Statement& statement = file.Statement("SELECT count(*) FROM " + table);
    statement.Step();
    return statement.ColumnInt64(0);
  }
};

TEST_F(DatabaseFileTest, CreatedFileIsWalWithTheSystemTables) {
  CreateWithTable("new.db")->Close();
  const std::string path = PathOf("new.db");
  // The stock shell is the independent judge of what is in the file.
  EXPECT_EQ(StockShell(path, "PRAGMA journal_mode"), "wal\n");
  EXPECT_EQ(StockShell(path, "SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'MSys%' ORDER BY name"),
            "MSysIndexes\nMSysObjects\nMSysProperties\nMSysQueries\n");
  EXPECT_EQ(StockShell(path, "SELECT name FROM t"), "one\n");
  EXPECT_EQ(StockShell(path, "SELECT count(*) FROM MSysObjects WHERE Name='MSysDb' AND length(DateCreated)=23"), "1\n");
}

TEST_F(DatabaseFileTest, EveryConnectionWritesDurablyAndWaitsForLocks) {
  auto file = CreateWithTable("a.db");
  storage::Statement& synchronous = file->Statement("PRAGMA synchronous");
  ASSERT_TRUE(synchronous.Step());
  EXPECT_EQ(synchronous.ColumnInt64(0), 2);  // FULL
  EXPECT_EQ(file->BusyTimeoutMs(), kDefaultBusyTimeoutMs);
  file->Close();
  auto reopened = DatabaseFile::Open(PathOf("a.db"), {});
  storage::Statement& again = reopened->Statement("PRAGMA synchronous");
  ASSERT_TRUE(again.Step());
  EXPECT_EQ(again.ColumnInt64(0), 2);
}

TEST_F(DatabaseFileTest, OpeningAgainKeepsTheProcessLocksOfOpenConnections) {
  // While a connection of this process is open, the shared lock it holds on the file tells
  // every other process that the write-ahead log is in use. Opening the same file a second
  // time must not drop that lock (as closing a stray descriptor on the file would): else the
  // stock shell, closing as what it takes for the last connection, checkpoints and deletes
  // the log under our feet, and later commits of ours are lost.
  auto first = CreateWithTable("locks.db");
  first->Connection().Exec("INSERT INTO t (name) VALUES ('two')");
  auto second = DatabaseFile::Open(PathOf("locks.db"), {});
  EXPECT_EQ(StockShell(PathOf("locks.db"), "SELECT count(*) FROM t"), "2\n");
  EXPECT_TRUE(std::filesystem::exists(PathOf("locks.db") + "-wal"));
  first->Connection().Exec("INSERT INTO t (name) VALUES ('three')");
  first->Close();
  second->Close();
  EXPECT_EQ(StockShell(PathOf("locks.db"), "SELECT count(*) FROM t"), "3\n");
}

TEST_F(DatabaseFileTest, CreateRefusesExistingFilesAndMissingFolders) {
  CreateWithTable("a.db")->Close();
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Create(PathOf("a.db"), dbLangGeneral, 0); }), 3204);
  EXPECT_EQ(DaoMessageOf([&] { DatabaseFile::Create(PathOf("a.db"), dbLangGeneral, 0); }), "Database already exists");
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Create(PathOf("none/a.db"), dbLangGeneral, 0); }), 3044);
  EXPECT_FALSE(std::filesystem::exists(PathOf("none")));
}

TEST_F(DatabaseFileTest, OpenAnswersDaosNumbersForFilesThatAreNoDatabase) {
  const std::string missing = PathOf("missing.db");
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(missing, {}); }), 3024);
  EXPECT_EQ(DaoMessageOf([&] { DatabaseFile::Open(missing, {}); }), "Could not find file '" + missing + "'");
  // Nothing was created by the failed attempt.
  EXPECT_FALSE(std::filesystem::exists(missing));

  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(folder_.string(), {}); }), 3051);

  std::ofstream(PathOf("text.db")) << "Name;Computer\nanna;PC1\n" << std::string(200, 'x');
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(PathOf("text.db"), {}); }), 3343);
  std::ofstream(PathOf("empty.db")).flush();
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(PathOf("empty.db"), {}); }), 3343);
}

TEST_F(DatabaseFileTest, TruncatedFileIsRefusedAndLeftAlone) {
  CreateWithTable("a.db")->Close();
  const std::string path = PathOf("a.db");
  std::filesystem::resize_file(path, 60);
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(path, {}); }), 3343);
  EXPECT_EQ(std::filesystem::file_size(path), 60u);
}

TEST_F(DatabaseFileTest, ReadOnlyOpenRefusesWrites) {
  CreateWithTable("a.db")->Close();
  OpenOptions options;
  options.readOnly = true;
  auto file = DatabaseFile::Open(PathOf("a.db"), options);
  EXPECT_TRUE(file->ReadOnly());
  EXPECT_EQ(Count(*file), 1);
  EXPECT_EQ(DaoNumberOf([&] { file->CheckWritable(); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { WriteScope scope(*file); }), 3027);
  // Even a write that bypasses the engine's checks is refused by the connection.
  EXPECT_EQ(DaoNumberOf([&] { file->Connection().Exec("INSERT INTO t (name) VALUES ('two')"); }), 3027);
  EXPECT_EQ(DaoNumberOf([&] { file->Schema().StoreQuery("q", "SELECT 1", true); }), 3027);
  EXPECT_EQ(Count(*file), 1);
}

TEST_F(DatabaseFileTest, ExclusiveOpenKeepsEveryoneElseOut) {
  CreateWithTable("a.db")->Close();
  const std::string path = PathOf("a.db");
  OpenOptions exclusive;
  exclusive.exclusive = true;
  {
    auto shared = DatabaseFile::Open(path, {});
    EXPECT_EQ(Count(*shared), 1);
    // Someone has it open: no exclusive open.
    EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(path, exclusive); }), 3045);
  }
  auto holder = DatabaseFile::Open(path, exclusive);
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(path, {}); }), 3051);
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(path, exclusive); }), 3045);
  // The holder works as usual.
  holder->Connection().Exec("INSERT INTO t (name) VALUES ('two')");
  EXPECT_EQ(Count(*holder), 2);
  holder->Close();
  auto after = DatabaseFile::Open(path, {});
  EXPECT_EQ(Count(*after), 2);
}

TEST_F(DatabaseFileTest, TwoConnectionsSeeEachOthersCommits) {
  CreateWithTable("a.db")->Close();
  auto first = DatabaseFile::Open(PathOf("a.db"), {});
  auto second = DatabaseFile::Open(PathOf("a.db"), {});
  {
    WriteScope scope(*first);
    first->Connection().Exec("INSERT INTO t (name) VALUES ('two')");
    // Not committed yet: the other connection still sees the old state.
    EXPECT_EQ(Count(*second), 1);
    scope.Commit();
  }
  EXPECT_EQ(Count(*second), 2);
}

TEST_F(DatabaseFileTest, WriteHeldByAnotherConnectionAnswersLockedAfterTheBusyTimeout) {
  CreateWithTable("a.db")->Close();
  auto holder = DatabaseFile::Open(PathOf("a.db"), {});
  auto waiter = DatabaseFile::Open(PathOf("a.db"), {});
  waiter->SetBusyTimeoutMs(50);
  storage::Transaction lock(holder->Connection());
  EXPECT_EQ(DaoNumberOf([&] { WriteScope scope(*waiter); }), 3218);
  // Readers are not blocked by a writer.
  EXPECT_EQ(Count(*waiter), 1);
}

TEST_F(DatabaseFileTest, WriteScopeRollsBackUnlessCommitted) {
  auto file = CreateWithTable("a.db");
  {
    WriteScope scope(*file);
    file->Connection().Exec("INSERT INTO t (name) VALUES ('lost')");
  }
  EXPECT_EQ(Count(*file), 1);
  // Inside an outer transaction the scope is a savepoint: its own work goes, the outer stays.
  file->Connection().Exec("BEGIN");
  file->Connection().Exec("INSERT INTO t (name) VALUES ('outer')");
  {
    WriteScope scope(*file);
    file->Connection().Exec("INSERT INTO t (name) VALUES ('inner')");
  }
  EXPECT_TRUE(file->Connection().InTransaction());
  {
    WriteScope scope(*file);
    file->Connection().Exec("INSERT INTO t (name) VALUES ('kept')");
    scope.Commit();
  }
  file->Connection().Exec("COMMIT");
  EXPECT_EQ(Count(*file), 3);
}

TEST_F(DatabaseFileTest, DatabasePasswordIsCheckedAtOpen) {
  CreateWithTable("a.db", std::string(dbLangGeneral) + ";pwd=Secret")->Close();
  const std::string path = PathOf("a.db");
  EXPECT_EQ(DaoNumberOf([&] { DatabaseFile::Open(path, {}); }), 3031);
  OpenOptions wrongCase;
  wrongCase.password = "secret";
  EXPECT_EQ(DaoMessageOf([&] { DatabaseFile::Open(path, wrongCase); }), "Not a valid password");
  OpenOptions right;
  right.password = "Secret";
  auto file = DatabaseFile::Open(path, right);
  EXPECT_EQ(file->Password(), "Secret");
  EXPECT_EQ(DaoNumberOf([&] { file->NewPassword("wrong", "x"); }), 3031);
  file->NewPassword("Secret", "");
  file->Close();
  EXPECT_EQ(DatabaseFile::Open(path, {})->Password(), "");
}

TEST_F(DatabaseFileTest, StatementsArePreparedOnceAndComeBackReset) {
  auto file = CreateWithTable("a.db");
  storage::Statement& first = file->Statement("SELECT name FROM t WHERE id = ?1");
  first.BindInt64(1, 1);
  ASSERT_TRUE(first.Step());
  storage::Statement& second = file->Statement("SELECT name FROM t WHERE id = ?1");
  EXPECT_EQ(&first, &second);
  // Reset with bindings cleared: no row for a Null id.
  EXPECT_FALSE(second.Step());
}

TEST_F(DatabaseFileTest, ClosedFileAnswers3420) {
  auto file = CreateWithTable("a.db");
  file->Close();
  EXPECT_FALSE(file->IsOpen());
  EXPECT_EQ(DaoNumberOf([&] { file->Connection(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { file->Statement("SELECT 1"); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { file->CheckWritable(); }), 3420);
}

// A long scan reads on a connection of its own where that cannot hold the session up: beside
// a WAL file's session, never inside its transaction or for a file held exclusively.
TEST_F(DatabaseFileTest, ScanConnectionsStandBesideTheSessionWhereTheyCannotHoldItUp) {
  auto file = CreateWithTable("a.db");
  std::unique_ptr<storage::Connection> scan = file->OpenScanConnection();
  ASSERT_NE(scan, nullptr);
  {
    std::unique_ptr<storage::Statement> names = scan->Prepare("SELECT name FROM t");
    ASSERT_TRUE(names->Step());
    EXPECT_EQ(names->ColumnText(0), "one");
    // The engine's functions are there, and the connection only reads.
    std::unique_ptr<storage::Statement> function = scan->Prepare("SELECT jet_identity()");
    EXPECT_TRUE(function->Step());
  }
  EXPECT_EQ(DaoNumberOf([&] { scan->Exec("INSERT INTO t (name) VALUES ('two')"); }), 3027);
  scan.reset();
  file->Connection().Begin(storage::TransactionKind::Write);
  EXPECT_EQ(file->OpenScanConnection(), nullptr);
  file->Connection().Rollback();
  file->Close();
  OpenOptions exclusive;
  exclusive.exclusive = true;
  auto held = DatabaseFile::Open(PathOf("a.db"), exclusive);
  EXPECT_EQ(held->OpenScanConnection(), nullptr);
}

}  // namespace
}  // namespace lumo::jet
