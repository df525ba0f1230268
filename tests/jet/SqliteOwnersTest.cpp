#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteStatement.h"
#include "jet/storage/Transaction.h"
#include "runtime/Exceptions.h"

namespace lumo::jet {
namespace {

class SqliteOwnersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-sqlite-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  // The DAO number an action raises, or 0 when it raises nothing.
  template <class Action>
  static int32_t DaoNumberOf(Action action) {
    try {
      action();
    } catch (const EOleException& error) {
      return error.ErrorCode();
    }
    return 0;
  }

  std::filesystem::path folder_;
};

TEST_F(SqliteOwnersTest, PreparedStatementIsReusedWithNewBindings) {
  SqliteConnection connection(PathOf("a.db"), OpenMode::Create);
  connection.Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, data BLOB)");
  SqliteStatement insert(connection, "INSERT INTO t (name, data) VALUES (?1, ?2)");
  for (const char* name : {"first", "second"}) {
    insert.Reset();
    insert.BindText(1, name);
    insert.BindBlob(2, "", 0);
    EXPECT_FALSE(insert.Step());
  }
  EXPECT_EQ(connection.LastInsertRowId(), 2);

  SqliteStatement select(connection, "SELECT name, data, typeof(data) FROM t ORDER BY id");
  ASSERT_TRUE(select.Step());
  EXPECT_EQ(select.ColumnText(0), "first");
  // An empty blob stays a blob, not Null.
  EXPECT_EQ(select.TypeOf(1), ColumnType::Blob);
  EXPECT_EQ(select.ColumnText(2), "blob");
  ASSERT_TRUE(select.Step());
  EXPECT_EQ(select.ColumnText(0), "second");
  EXPECT_FALSE(select.Step());
}

TEST_F(SqliteOwnersTest, TransactionRollsBackUnlessCommitted) {
  SqliteConnection connection(PathOf("b.db"), OpenMode::Create);
  connection.Exec("CREATE TABLE t (x INTEGER)");
  {
    storage::Transaction transaction(connection);
    connection.Exec("INSERT INTO t VALUES (1)");
    EXPECT_TRUE(connection.InTransaction());
  }
  {
    storage::Transaction transaction(connection);
    connection.Exec("INSERT INTO t VALUES (2)");
    transaction.Commit();
  }
  EXPECT_FALSE(connection.InTransaction());
  SqliteStatement sum(connection, "SELECT group_concat(x) FROM t");
  ASSERT_TRUE(sum.Step());
  EXPECT_EQ(sum.ColumnText(0), "2");
}

TEST_F(SqliteOwnersTest, FailuresAnswerDaoNumbers) {
  EXPECT_EQ(DaoNumberOf([&] { SqliteConnection(PathOf("missing.db"), OpenMode::ReadWrite); }), 3024);

  std::ofstream(PathOf("text.db")) << "this is not a database file, just some text";
  EXPECT_EQ(DaoNumberOf([&] {
              SqliteConnection connection(PathOf("text.db"), OpenMode::ReadWrite);
              connection.Exec("SELECT * FROM sqlite_master");
            }),
            3343);

  SqliteConnection connection(PathOf("c.db"), OpenMode::Create);
  connection.Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT NOT NULL)");
  connection.Exec("INSERT INTO t VALUES (1, 'a')");
  EXPECT_EQ(DaoNumberOf([&] { connection.Exec("INSERT INTO t VALUES (1, 'b')"); }), 3022);
  SqliteStatement insert(connection, "INSERT INTO t VALUES (?1, ?2)");
  insert.BindInt64(1, 1);
  insert.BindText(2, "b");
  EXPECT_EQ(DaoNumberOf([&] { insert.Step(); }), 3022);
  // The statement is usable again after a failure.
  insert.Reset();
  insert.BindInt64(1, 2);
  EXPECT_FALSE(insert.Step());

  EXPECT_EQ(DaoNumberOf([&] { SqliteStatement(connection, "SELECT * FROM nowhere"); }), 3078);
}

TEST_F(SqliteOwnersTest, ReadOnlyConnectionRefusesWrites) {
  {
    SqliteConnection connection(PathOf("d.db"), OpenMode::Create);
    connection.Exec("CREATE TABLE t (x INTEGER)");
  }
  SqliteConnection connection(PathOf("d.db"), OpenMode::ReadOnly);
  EXPECT_EQ(DaoNumberOf([&] { connection.Exec("INSERT INTO t VALUES (1)"); }), 3027);
}

// A connection of its own in WAL mode, as the engine makes its files.
SqliteConnection WalConnection(const std::string& path, int busyTimeoutMs) {
  SqliteConnection connection(path, OpenMode::Create);
  connection.Exec("PRAGMA journal_mode=WAL");
  connection.SetBusyTimeout(busyTimeoutMs);
  return connection;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(SqliteOwnersTest, WriterWaitsForALockUntilItsDeadlineAndNotBeyond) {
  SqliteConnection holder = WalConnection(PathOf("e.db"), 0);
  holder.Exec("CREATE TABLE t (x INTEGER)");
  SqliteConnection waiter = WalConnection(PathOf("e.db"), 300);
  EXPECT_EQ(waiter.BusyTimeout(), 300);

  holder.BeginWrite();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DaoNumberOf([&] { waiter.BeginWrite(); }), 3218);
  EXPECT_GE(SecondsSince(start), 0.3) << "gave up before its deadline";
  EXPECT_FALSE(waiter.InTransaction());
  // A second wait gets a deadline of its own.
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(DaoNumberOf([&] { waiter.Exec("INSERT INTO t VALUES (1)"); }), 3218);
  EXPECT_GE(SecondsSince(start), 0.3);
  // Without a timeout a lock held elsewhere answers at once.
  waiter.SetBusyTimeout(0);
  EXPECT_EQ(waiter.BusyTimeout(), 0);
  EXPECT_EQ(DaoNumberOf([&] { waiter.BeginWrite(); }), 3218);
  holder.Exec("COMMIT");
  waiter.BeginWrite();
  waiter.Exec("INSERT INTO t VALUES (2)");
  waiter.Exec("COMMIT");
}

TEST_F(SqliteOwnersTest, WriterGetsTheLockOnceItsHolderCommits) {
  SqliteConnection waiter = WalConnection(PathOf("f.db"), 5000);
  waiter.Exec("CREATE TABLE t (x INTEGER)");
  SqliteConnection holder = WalConnection(PathOf("f.db"), 0);
  holder.BeginWrite();
  holder.Exec("INSERT INTO t VALUES (1)");
  std::thread commitLater([&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    holder.Exec("COMMIT");
  });
  const auto start = std::chrono::steady_clock::now();
  waiter.BeginWrite();
  const double waited = SecondsSince(start);
  commitLater.join();
  EXPECT_GE(waited, 0.15);
  waiter.Exec("INSERT INTO t VALUES (2)");
  waiter.Exec("COMMIT");
  SqliteStatement sum(waiter, "SELECT group_concat(x) FROM t");
  ASSERT_TRUE(sum.Step());
  EXPECT_EQ(sum.ColumnText(0), "1,2");
}

TEST_F(SqliteOwnersTest, BusyWaitSurvivesMovingTheConnection) {
  SqliteConnection holder = WalConnection(PathOf("g.db"), 0);
  holder.Exec("CREATE TABLE t (x INTEGER)");
  SqliteConnection first = WalConnection(PathOf("g.db"), 200);
  SqliteConnection moved(std::move(first));
  holder.BeginWrite();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DaoNumberOf([&] { moved.BeginWrite(); }), 3218);
  EXPECT_GE(SecondsSince(start), 0.2);
  holder.Exec("COMMIT");
}

}  // namespace
}  // namespace lumo::jet
