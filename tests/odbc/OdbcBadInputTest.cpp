// What goes wrong between the engine and a server, beyond the refusals the other ODBC tests
// meet: a session the server ends in the middle of a dynaset and of a transaction, a server
// that takes the connection and never answers, a table the engine cannot write for want of a
// primary key, and a value too long for its column bound as a parameter. Each must end in
// DAO's number with the server's own words, within the time-outs, and leave nothing
// half-written; psql checks what reached the server. A session the server ended leaves only
// the driver with something to say.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "jet/Connection.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/Workspace.h"
#include "jet/odbc/DirectConnection.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "jet/odbc/OdbcErrors.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;
using Clock = std::chrono::steady_clock;


class OdbcBadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    RegisterDirectConnections();
    table_ = TestTable();
    application_ = "lumo_badinput_" + std::to_string(getpid());
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + ", " + table_ + "_nokey CASCADE; CREATE TABLE " + table_ +
                   " (id integer PRIMARY KEY, name varchar(10) NOT NULL); INSERT INTO " + table_ +
                   " VALUES (1, 'Anna'), (2, 'Bernd'), (3, 'Carla')")
                  .status,
              0);
  }

  // The cluster's connect text, with a name the server shows for the sessions it opens, so
  // that the test can end exactly those.
  std::string Connect() const { return Cluster().Connect() + "pqopt={application_name=" + application_ + "};"; }

  // Ends every session of this test on the server, as a server restart or a network drop would.
  void DropSessions() {
    const auto ended = Psql("SELECT count(pg_terminate_backend(pid)) > 0 FROM pg_stat_activity WHERE application_name = '" +
                            application_ + "'");
    ASSERT_EQ(ended.output, "t\n") << "no session of the test was found";
  }

  std::string Server(const std::string& sql) {
    const auto result = Psql(sql);
    EXPECT_EQ(result.status, 0) << sql;
    return result.output;
  }

  std::string table_;
  std::string application_;
};

TEST_F(OdbcBadInputTest, ASessionTheServerEndsFailsItsNextCallsAndKeepsNothingOfItsTransaction) {
  DBEngine engine{"3.6"};
  auto db = engine.OpenDatabase("", Variant(dbDriverNoPrompt), false, Connect());
  db->SetQueryTimeout(5);
  Workspace& workspace = *engine.Workspaces().Item(0);
  auto rs = db->OpenRecordset("SELECT * FROM " + table_ + " ORDER BY id", dbOpenDynaset);
  workspace.BeginTrans();
  rs->Edit();
  rs->Fields().Item("name")->SetValue(Variant("Changed"));
  rs->Update();
  db->Execute("INSERT INTO " + table_ + " (id, name) VALUES (4, 'Dora')", dbFailOnError);
  DropSessions();

  // The dynaset reads its next row again by its key: the server is gone, and says so.
  const auto started = Clock::now();
  const auto next = [&] {
    rs->MoveNext();
    (void)rs->Fields().Item("name")->Value();
  };
  const std::string message = DaoMessageOf(next);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5)) << "the lost session was waited for";
  EXPECT_NE(message.find("ODBC--call failed."), std::string::npos) << message;
  // The server had no words to send; whatever call found it out, the text says the session is gone.
  EXPECT_NE(message.find("has been lost"), std::string::npos) << message;
  EXPECT_EQ(DaoNumberOf([&] { db->Execute("DELETE FROM " + table_, dbFailOnError); }), kDaoOdbcCallFailed);
  // Ending the transaction cannot reach the server either; what it wrote died with the session.
  DaoNumberOf([&] { workspace.Rollback(); });
  EXPECT_EQ(Server("SELECT id, name FROM " + table_ + " ORDER BY id"), "1|Anna\n2|Bernd\n3|Carla\n");

  // Closed and opened again, the database works.
  DaoNumberOf([&] { rs->Close(); });
  DaoNumberOf([&] { db->Close(); });
  auto again = engine.OpenDatabase("", Variant(dbDriverNoPrompt), false, Connect());
  EXPECT_EQ(again->OpenRecordset("SELECT count(*) FROM " + table_, dbOpenSnapshot)->Fields().Item(0)->Value().AsInteger(),
            3);
}

TEST_F(OdbcBadInputTest, ADirectConnectionTheServerEndsFailsAtOnceAndKeepsNothing) {
  DBEngine engine{"3.6"};
  auto workspace = engine.CreateWorkspace("Direct", "Admin", "", dbUseODBC);
  std::shared_ptr<Connection> connection = workspace->OpenConnection("c", dbDriverNoPrompt, false, Connect());
  auto rows = connection->OpenRecordset("SELECT id, name FROM " + table_ + " ORDER BY id", dbOpenDynamic, 0,
                                        dbOptimistic);
  workspace->BeginTrans();
  connection->Execute("DELETE FROM " + table_ + " WHERE id = 3");
  DropSessions();
  const auto started = Clock::now();
  const std::string message = DaoMessageOf([&] {
    rows->Edit();
    rows->Fields().Item("name")->SetValue(Variant("Changed"));
    rows->Update();
  });
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5)) << "the lost session was waited for";
  EXPECT_NE(message.find("ODBC--call failed."), std::string::npos) << message;
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("DELETE FROM " + table_); }), kDaoOdbcCallFailed);
  DaoNumberOf([&] { workspace->Rollback(); });
  EXPECT_EQ(Server("SELECT id, name FROM " + table_ + " ORDER BY id"), "1|Anna\n2|Bernd\n3|Carla\n");
}

// A socket that takes connections and never answers: a server that hangs, or a host whose
// packets are lost. The login time-out ends the wait.
TEST_F(OdbcBadInputTest, AServerThatNeverAnswersFailsWithinTheLoginTimeout) {
  char pattern[] = "/tmp/lumo-silent-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string port = "1";
  const std::string path = folder + "/.s.PGSQL." + port;
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 8), 0);

  DBEngine engine{"3.6"};
  engine.SetLoginTimeout(2);
  const std::string connect = "ODBC;DRIVER=PostgreSQL;Servername=" + folder + ";Port=" + port +
                              ";Database=x;UID=" + Cluster().user + ";PWD=" + Cluster().password + ";";
  const auto started = Clock::now();
  const std::string message =
      DaoMessageOf([&] { engine.OpenDatabase("", Variant(dbDriverNoPrompt), false, connect); });
  const auto waited = Clock::now() - started;
  close(listener);
  unlink(path.c_str());
  rmdir(folder.c_str());
  EXPECT_NE(message.find("ODBC--connection to 'DRIVER=PostgreSQL;"), std::string::npos) << message;
  EXPECT_NE(message.find("timeout expired"), std::string::npos) << message;
  EXPECT_EQ(message.find(Cluster().password), std::string::npos) << message;
  EXPECT_LT(waited, std::chrono::seconds(6)) << "the login time-out did not end the wait";
  EXPECT_GE(waited, std::chrono::milliseconds(1500)) << "failed before the time-out: " << message;
}

TEST_F(OdbcBadInputTest, ATableWithoutAPrimaryKeyIsReadOnlyForEveryChange) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + "_nokey (a integer, b text); INSERT INTO " + table_ +
                 "_nokey VALUES (1, 'x'), (2, 'y')")
                .status,
            0);
  DBEngine engine{"3.6"};
  auto db = engine.OpenDatabase("", Variant(dbDriverNoPrompt), false, Connect());
  auto rs = db->OpenRecordset(table_ + "_nokey", dbOpenDynaset);
  EXPECT_EQ(rs->Type(), dbOpenDynaset);
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { rs->AddNew(); }), kDaoReadOnly);
  EXPECT_EQ(DaoNumberOf([&] { rs->Edit(); }), kDaoReadOnly);
  EXPECT_EQ(DaoNumberOf([&] { rs->Delete(); }), kDaoReadOnly);
  // The same in a direct workspace's dynamic recordset.
  auto workspace = engine.CreateWorkspace("Direct", "Admin", "", dbUseODBC);
  auto connection = workspace->OpenConnection("c", dbDriverNoPrompt, false, Connect());
  auto rows = connection->OpenRecordset("SELECT a, b FROM " + table_ + "_nokey", dbOpenDynamic, 0, dbOptimistic);
  EXPECT_FALSE(rows->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { rows->Edit(); }), kDaoReadOnly);
  // A snapshot stays what it is: no recordset to change at all.
  auto snapshot = db->OpenRecordset(table_ + "_nokey", dbOpenSnapshot);
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Edit(); }), 3251);
  EXPECT_EQ(Server("SELECT a, b FROM " + table_ + "_nokey ORDER BY a"), "1|x\n2|y\n");
}

TEST_F(OdbcBadInputTest, AParameterTooLongForItsColumnIsRefusedWithTheServersWordsAndRolledBack) {
  DBEngine engine{"3.6"};
  auto db = engine.OpenDatabase("", Variant(dbDriverNoPrompt), false, Connect());
  Workspace& workspace = *engine.Workspaces().Item(0);
  auto query = db->CreateQueryDef("", "PARAMETERS newName Text; UPDATE " + table_ + " SET name = newName WHERE id = 2");
  workspace.BeginTrans();
  db->Execute("DELETE FROM " + table_ + " WHERE id = 1", dbFailOnError);
  query->Parameters().Item("newName")->SetValue(Variant(std::string(11, 'x')));
  const auto tooLong = [&] { query->Execute(dbFailOnError); };
  EXPECT_EQ(DaoNumberOf(tooLong), kDaoFieldTooSmall);
  const std::string message = DaoMessageOf(tooLong);
  EXPECT_NE(message.find("value too long for type character varying(10)"), std::string::npos) << message;
  workspace.Rollback();
  EXPECT_EQ(Server("SELECT id, name FROM " + table_ + " ORDER BY id"), "1|Anna\n2|Bernd\n3|Carla\n");
}

}  // namespace
}  // namespace lumo::jet::odbc
