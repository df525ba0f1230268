// Sessions with the test cluster through the ODBC back-end: connecting (and failing to, with
// the server's reason), the server's failures as DAO numbers, transactions and savepoints,
// locks and time-outs between two sessions. psql checks what reached the server.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "jet/odbc/OdbcApi.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcErrors.h"
#include "jet/storage/Statement.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

// The server's message the DAO error an action raises keeps as its detail ("" for none).
template <class Action>
std::string DetailOf(Action action) {
  std::string detail;
  DaoErrorHook previous = SetDaoErrorHook([&detail](const DaoErrorInfo& error) { detail = error.detail; });
  try {
    action();
  } catch (const EOleException&) {}
  SetDaoErrorHook(previous);
  return detail;
}

class OdbcConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + " CASCADE").status, 0);
  }

  std::unique_ptr<OdbcConnection> Connect(int busyTimeoutMs = 0) {
    return std::make_unique<OdbcConnection>(Cluster().Connect(), false, busyTimeoutMs);
  }

  std::string PsqlOutput(const std::string& sql) {
    const auto result = Psql(sql);
    EXPECT_EQ(result.status, 0) << sql;
    return result.output;
  }

  std::string table_;
};

TEST_F(OdbcConnectionTest, DriverManagerIsLoadedOnlyByTheFirstConnection) {
  EXPECT_FALSE(OdbcLoaded()) << "mapped before any ODBC source was opened";
  auto connection = Connect();
  EXPECT_TRUE(OdbcLoaded());
}

TEST_F(OdbcConnectionTest, ConnectsWithAndWithoutTheEngineType) {
  const std::string bare = "DSN=" + Cluster().dsn + ";UID=" + Cluster().user + ";PWD=" + Cluster().password;
  for (const std::string& text : {Cluster().Connect(), bare}) {
    OdbcConnection connection(text, false, 0);
    EXPECT_EQ(connection.Path(), text);
    EXPECT_EQ(connection.DataSource(), Cluster().dsn);
    auto statement = connection.Prepare("SELECT current_user");
    ASSERT_TRUE(statement->Step());
    EXPECT_EQ(statement->ColumnText(0), Cluster().user);
  }
}

TEST_F(OdbcConnectionTest, FailedConnectionsAnswer3151WithTheReason) {
  // A wrong password: the server's refusal is in the text.
  const std::string wrongPassword = "ODBC;DSN=" + Cluster().dsn + ";UID=" + Cluster().user + ";PWD=not-it;";
  EXPECT_EQ(DaoNumberOf([&] { OdbcConnection(wrongPassword, false, 0); }), kDaoOdbcConnectFailed);
  const std::string refused = DaoMessageOf([&] { OdbcConnection(wrongPassword, false, 0); });
  EXPECT_NE(refused.find("ODBC--connection to '" + Cluster().dsn + "' failed."), std::string::npos) << refused;
  EXPECT_NE(refused.find("password authentication failed"), std::string::npos) << refused;

  // An unknown role fails the same way.
  const std::string unknownRole = "ODBC;DSN=" + Cluster().dsn + ";UID=nobody_here;PWD=x;";
  EXPECT_EQ(DaoNumberOf([&] { OdbcConnection(unknownRole, false, 0); }), kDaoOdbcConnectFailed);

  // A data source nobody configured: the driver manager's own message.
  const std::string unknownDsn = DaoMessageOf([] { OdbcConnection("ODBC;DSN=no_such_source;UID=a;PWD=b;", false, 0); });
  EXPECT_NE(unknownDsn.find("ODBC--connection to 'no_such_source' failed."), std::string::npos) << unknownDsn;
  EXPECT_NE(unknownDsn.find("not found"), std::string::npos) << unknownDsn;

  // A server that is not there (no socket on that port): the name without its password.
  const std::string down =
      "ODBC;DRIVER=PostgreSQL;Servername=" + Cluster().folder + ";Port=1;Database=x;UID=a;PWD=secret;";
  const std::string message = DaoMessageOf([&] { OdbcConnection(down, false, 0); });
  EXPECT_EQ(DaoNumberOf([&] { OdbcConnection(down, false, 0); }), kDaoOdbcConnectFailed);
  EXPECT_EQ(message.find("secret"), std::string::npos) << message;
  EXPECT_NE(message.find("DRIVER=PostgreSQL"), std::string::npos) << message;
}

TEST_F(OdbcConnectionTest, ServerFailuresMapToDaoNumbers) {
  const std::string parent = table_ + "_p";
  ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + parent + " CASCADE; CREATE TABLE " + parent +
                 " (id integer PRIMARY KEY); CREATE TABLE " + table_ +
                 " (id integer PRIMARY KEY, name varchar(5) "
                 "NOT NULL, parent integer REFERENCES " +
                 parent + "); INSERT INTO " + parent + " VALUES (1); INSERT INTO " + table_ + " VALUES (1, 'a', 1)")
                .status,
            0);
  auto connection = Connect();
  const auto run = [&](const std::string& sql) { return DaoNumberOf([&] { connection->Exec(sql); }); };
  EXPECT_EQ(run("INSERT INTO " + table_ + " VALUES (1, 'b', NULL)"), kDaoDuplicateKey);
  EXPECT_EQ(run("INSERT INTO " + table_ + " VALUES (2, NULL, NULL)"), kDaoRequiredNull);
  EXPECT_EQ(run("INSERT INTO " + table_ + " VALUES (2, 'toolong', NULL)"), kDaoFieldTooSmall);
  EXPECT_EQ(run("SELECT * FROM " + table_ + "_missing"), kDaoInputTableNotFound);
  EXPECT_EQ(run("SELEKT 1"), kDaoOdbcCallFailed);

  // A row that refers to a missing row names the table it needs; a row still referred to
  // names the table that refers to it.
  const auto insertOrphan = [&] { connection->Exec("INSERT INTO " + table_ + " VALUES (3, 'c', 9)"); };
  EXPECT_EQ(DaoNumberOf(insertOrphan), kDaoRelatedRecordRequired);
  EXPECT_NE(DaoMessageOf(insertOrphan).find("'" + parent + "'"), std::string::npos) << DaoMessageOf(insertOrphan);
  const auto deleteReferred = [&] { connection->Exec("DELETE FROM " + parent + " WHERE id = 1"); };
  EXPECT_EQ(DaoNumberOf(deleteReferred), kDaoRelatedRecordsExist);
  EXPECT_NE(DaoMessageOf(deleteReferred).find("'" + table_ + "'"), std::string::npos) << DaoMessageOf(deleteReferred);
  const auto updateOrphan = [&] { connection->Exec("UPDATE " + table_ + " SET parent = 7"); };
  EXPECT_EQ(DaoNumberOf(updateOrphan), kDaoRelatedRecordRequired) << DetailOf(updateOrphan);
  const auto updateReferred = [&] { connection->Exec("UPDATE " + parent + " SET id = 7"); };
  EXPECT_EQ(DaoNumberOf(updateReferred), kDaoRelatedRecordsExist) << DetailOf(updateReferred);
  EXPECT_NE(DetailOf(deleteReferred).find("violates foreign key constraint"), std::string::npos)
      << "the server's message is kept: " << DetailOf(deleteReferred);

  // The server's own words stay in the text of what DAO has no number for.
  const std::string syntax = DaoMessageOf([&] { connection->Exec("SELEKT 1"); });
  EXPECT_NE(syntax.find("ODBC--call failed."), std::string::npos) << syntax;
  EXPECT_NE(syntax.find("SELEKT"), std::string::npos) << syntax;
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "1\n");
}

TEST_F(OdbcConnectionTest, ReadOnlySessionsRefuseWrites) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer)").status, 0);
  OdbcConnection connection(Cluster().Connect(), true, 0);
  EXPECT_EQ(DaoNumberOf([&] { connection.Exec("INSERT INTO " + table_ + " VALUES (1)"); }), kDaoReadOnly);
  auto statement = connection.Prepare("SELECT count(*) FROM " + table_);
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->ColumnInt64(0), 0);
}

TEST_F(OdbcConnectionTest, TransactionsAndSavepoints) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer PRIMARY KEY)").status, 0);
  auto connection = Connect();

  // Rolled back: nothing reached the server.
  connection->Begin(storage::TransactionKind::Write);
  EXPECT_TRUE(connection->InTransaction());
  connection->Exec("INSERT INTO " + table_ + " VALUES (1)");
  connection->Exec("INSERT INTO " + table_ + " VALUES (2)");
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "0\n") << "another session saw uncommitted rows";
  connection->Rollback();
  EXPECT_FALSE(connection->InTransaction());
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "0\n");

  // A savepoint undoes its part only; the commit keeps the rest.
  connection->Begin(storage::TransactionKind::Write);
  connection->Exec("INSERT INTO " + table_ + " VALUES (1)");
  connection->Savepoint("inner level");
  connection->Exec("INSERT INTO " + table_ + " VALUES (2)");
  connection->RollbackToSavepoint("inner level");
  connection->ReleaseSavepoint("inner level");
  connection->Savepoint("second");
  connection->Exec("INSERT INTO " + table_ + " VALUES (3)");
  connection->ReleaseSavepoint("second");
  connection->Commit();
  EXPECT_EQ(PsqlOutput("SELECT id FROM " + table_ + " ORDER BY id"), "1\n3\n");

  // Outside a transaction every statement commits at once.
  connection->Exec("DELETE FROM " + table_);
  EXPECT_EQ(connection->Changes(), 2);
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "0\n");
  EXPECT_EQ(DaoNumberOf([&] { connection->Commit(); }), kDaoNoTransaction);

  // A transaction that failed on the server rolls back whole, and the session goes on.
  connection->Begin(storage::TransactionKind::Write);
  connection->Exec("INSERT INTO " + table_ + " VALUES (5)");
  EXPECT_EQ(DaoNumberOf([&] { connection->Exec("INSERT INTO " + table_ + " VALUES (5)"); }), kDaoDuplicateKey);
  connection->Rollback();
  connection->Exec("INSERT INTO " + table_ + " VALUES (6)");
  EXPECT_EQ(PsqlOutput("SELECT id FROM " + table_), "6\n");

  // A connection closed in a transaction leaves nothing behind.
  connection->Begin(storage::TransactionKind::Write);
  connection->Exec("INSERT INTO " + table_ + " VALUES (7)");
  connection.reset();
  EXPECT_EQ(PsqlOutput("SELECT id FROM " + table_), "6\n");
}

TEST_F(OdbcConnectionTest, ReadTransactionsSeeOneStateAndTheCounterMoves) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer)").status, 0);
  auto connection = Connect();
  const uint32_t before = connection->ChangeCounter();
  EXPECT_EQ(connection->ChangeCounter(), before) << "moved with nothing changed";
  ASSERT_EQ(Psql("INSERT INTO " + table_ + " VALUES (1)").status, 0);
  const uint32_t afterInsert = connection->ChangeCounter();
  EXPECT_NE(afterInsert, before) << "another session's commit went unseen";

  connection->Begin(storage::TransactionKind::Read);
  auto count = connection->Prepare("SELECT count(*) FROM " + table_);
  ASSERT_TRUE(count->Step());
  EXPECT_EQ(count->ColumnInt64(0), 1);
  const uint32_t inside = connection->ChangeCounter();
  ASSERT_EQ(Psql("INSERT INTO " + table_ + " VALUES (2)").status, 0);
  count->Reset();
  ASSERT_TRUE(count->Step());
  EXPECT_EQ(count->ColumnInt64(0), 1) << "a read transaction saw another session's later commit";
  EXPECT_EQ(connection->ChangeCounter(), inside);
  connection->Commit();
  count->Reset();
  ASSERT_TRUE(count->Step());
  EXPECT_EQ(count->ColumnInt64(0), 2);
  EXPECT_NE(connection->ChangeCounter(), inside);
}

TEST_F(OdbcConnectionTest, LockedRowsAndTimeOuts) {
  ASSERT_EQ(
      Psql("CREATE TABLE " + table_ + " (id integer PRIMARY KEY, n integer); INSERT INTO " + table_ + " VALUES (1, 0)")
          .status,
      0);
  auto holder = Connect();
  holder->Begin(storage::TransactionKind::Write);
  holder->Exec("UPDATE " + table_ + " SET n = 1 WHERE id = 1");

  // The other session waits its busy timeout for the row, then gives up with 3218 and its
  // own transaction rolled back whole.
  auto waiter = Connect(200);
  EXPECT_EQ(waiter->BusyTimeout(), 200);
  waiter->Begin(storage::TransactionKind::Write);
  const std::string message = DaoMessageOf([&] { waiter->Exec("UPDATE " + table_ + " SET n = 2 WHERE id = 1"); });
  EXPECT_NE(message.find("Could not update; currently locked"), std::string::npos) << message;
  waiter->Rollback();
  holder->Commit();
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_), "1\n");

  // A statement that runs past the server's time-out: 3146 with the server's words.
  waiter->Exec("SET statement_timeout = 100");
  const std::string timeout = DaoMessageOf([&] { waiter->Exec("SELECT pg_sleep(5)"); });
  EXPECT_EQ(DaoNumberOf([&] { waiter->Exec("SELECT pg_sleep(5)"); }), kDaoOdbcCallFailed);
  EXPECT_NE(timeout.find("statement timeout"), std::string::npos) << timeout;
}

TEST_F(OdbcConnectionTest, TheBackEndOpensBySettings) {
  std::shared_ptr<storage::BackEnd> backEnd = MakeOdbcBackEnd();
  storage::ConnectionSettings settings;
  settings.path = Cluster().Connect();
  settings.busyTimeoutMs = 300;
  std::shared_ptr<storage::Connection> connection = backEnd->Open(settings);
  EXPECT_EQ(connection->BusyTimeout(), 300);
  auto timeout = connection->Prepare("SHOW lock_timeout");
  ASSERT_TRUE(timeout->Step());
  EXPECT_EQ(timeout->ColumnText(0), "300ms");
  EXPECT_EQ(DaoNumberOf([&] { backEnd->Create(settings); }), kDaoNotSupported);

  std::unique_ptr<storage::Connection> scan = backEnd->OpenScan(*connection, settings);
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(DaoNumberOf([&] { scan->Exec("CREATE TABLE " + table_ + " (id integer)"); }), kDaoReadOnly);
}

TEST(OdbcErrorCodes, SqlStatesTravelAsNumbersAndBack) {
  for (const char* state : {"23505", "HYT00", "08001", "28P01", "40P01", "00000", "ZZZZZ"}) {
    EXPECT_EQ(SqlStateText(SqlStateCode(state)), state);
  }
  EXPECT_NE(SqlStateCode("23505"), SqlStateCode("23503"));
  EXPECT_EQ(SqlStateCode("2350"), 0);
  EXPECT_EQ(SqlStateCode("2350!"), 0);
  // Through the interface's Map the number alone decides, as for every back-end.
  OdbcErrorMapper mapper;
  EXPECT_EQ(mapper.Map(SqlStateCode("23505"), "duplicate", {}).number, kDaoDuplicateKey);
  EXPECT_EQ(mapper.Map(SqlStateCode("55P03"), "lock", {}).number, kDaoLocked);
  storage::ErrorContext known;
  known.lockUser = "anna";
  known.lockMachine = "ws7";
  const DaoErrorInfo named = mapper.Map(SqlStateCode("55P03"), "lock", known);
  EXPECT_EQ(named.number, kDaoLockedByUser);
  EXPECT_NE(named.description.find("'anna'"), std::string::npos);
  EXPECT_EQ(mapper.Map(SqlStateCode("HYT00"), "Timeout expired", {}).number, kDaoOdbcCallFailed);
  EXPECT_EQ(mapper.Map(SqlStateCode("42703"), "column \"nme\" does not exist", {}).unknownName, "nme");
}

TEST(OdbcConnectText, TheEngineTypeIsDroppedAndTheSourceNamed) {
  ConnectText text = ParseConnectText("ODBC;DSN=journal;UID=anna;PWD={a;b};");
  EXPECT_EQ(text.driverText, "DSN=journal;UID=anna;PWD={a;b}");
  EXPECT_EQ(text.dataSource, "journal");
  text = ParseConnectText("DRIVER=PostgreSQL;Servername=db");
  EXPECT_EQ(text.driverText, "DRIVER=PostgreSQL;Servername=db");
  EXPECT_EQ(text.dataSource, "");
}

}  // namespace
}  // namespace lumo::jet::odbc
