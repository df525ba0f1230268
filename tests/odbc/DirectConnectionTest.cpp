// ODBC direct workspaces against the test cluster: the Connection object and the Database it
// is, connect failures, the server's SQL passed through unchanged, the recordset types, the
// statement limits, transactions, and pass-through query definitions in a Jet database. psql
// writes and reads beside the engine as another session.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "jet/Connection.h"
#include "jet/DBEngine.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/Workspace.h"
#include "jet/odbc/DirectConnection.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

class DirectConnectionTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    LUMO_REQUIRE_CLUSTER();
    RegisterDirectConnections();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + " CASCADE").status, 0);
    engine_ = std::make_shared<DBEngine>("3.6");
    workspace_ = engine_->CreateWorkspace("Direct", "Admin", "", dbUseODBC);
  }

  std::shared_ptr<Connection> Open(bool readOnly = false) {
    return workspace_->OpenConnection("conn", dbDriverNoPrompt, readOnly, Cluster().Connect());
  }

  // A table of three rows with a primary key.
  void MakeTable() {
    ASSERT_EQ(Psql("CREATE TABLE " + table_ +
                   " (id integer PRIMARY KEY, name varchar(20) NOT NULL, n integer);"
                   " INSERT INTO " +
                   table_ + " VALUES (1, 'Anna', 10), (2, 'bert', 20), (3, 'Carl', 30)")
                  .status,
              0);
  }

  std::string PsqlOutput(const std::string& sql) {
    const auto result = Psql(sql);
    EXPECT_EQ(result.status, 0) << sql;
    return result.output;
  }

  std::string table_;
  std::shared_ptr<DBEngine> engine_;
  std::shared_ptr<Workspace> workspace_;
};

TEST_F(DirectConnectionTest, AConnectionIsItsOwnDatabase) {
  std::shared_ptr<Connection> connection = Open();
  EXPECT_EQ(connection->Name(), "conn");
  EXPECT_EQ(connection->Connect(), Cluster().Connect());
  EXPECT_TRUE(connection->Transactions());
  EXPECT_TRUE(connection->Updatable());
  EXPECT_FALSE(connection->StillExecuting());
  EXPECT_EQ(connection->QueryTimeout(), 60);
  EXPECT_NE(connection->Version().find("PostgreSQL"), std::string::npos) << connection->Version();
  std::shared_ptr<Database> database = connection->Database();
  EXPECT_EQ(database.get(), connection.get());
  EXPECT_EQ(database->Connection().get(), connection.get());
  EXPECT_EQ(workspace_->Connections().Count(), 1);
  EXPECT_EQ(workspace_->Databases().Count(), 1);
  // The server's tables are reached by its SQL: no table definitions, no engine catalogue.
  MakeTable();
  EXPECT_EQ(connection->TableDefs().Count(), 0);
  EXPECT_EQ(DaoNumberOf([&] { connection->Relations(); }), 3251);

  // OpenDatabase in a direct workspace gives a connection the same way; the name alone is a DSN.
  std::shared_ptr<Database> opened =
      workspace_->OpenDatabase(Cluster().dsn, false, true, "ODBC;UID=" + Cluster().user + ";PWD=" + Cluster().password);
  EXPECT_FALSE(opened->Updatable());
  EXPECT_NE(opened->Connection()->Connect().find("DSN=" + Cluster().dsn), std::string::npos);
  EXPECT_EQ(DaoNumberOf([&] { opened->Execute("DELETE FROM " + table_); }), 3027);
  EXPECT_EQ(workspace_->Connections().Count(), 2);

  connection->Close();
  EXPECT_EQ(workspace_->Connections().Count(), 1);
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("DELETE FROM " + table_); }), 3420);
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "3\n");

  // A Jet database has no connection; a Jet workspace opens none.
  auto jet = engine_->CreateWorkspace("Jet", "Admin", "", dbUseJet);
  auto file = jet->CreateDatabase(PathOf("a.mdb"), dbLangGeneral);
  EXPECT_EQ(DaoNumberOf([&] { file->Connection(); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { jet->OpenConnection("x", dbDriverNoPrompt, false, Cluster().Connect()); }), 3251);
}

TEST_F(DirectConnectionTest, ConnectingNeverPromptsAndFailuresName3151WithTheReason) {
  // Options beyond the prompt kinds (with dbRunAsync) and sources other than ODBC are refused.
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenConnection("c", 4, false, Cluster().Connect()); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenConnection("c", 0, false, "dBASE IV;"); }), 3170);
  // Every prompt kind connects without asking when the text is complete.
  for (int options : {dbDriverComplete, dbDriverPrompt, dbDriverCompleteRequired, dbDriverNoPrompt | dbRunAsync}) {
    EXPECT_EQ(DaoNumberOf([&] { workspace_->OpenConnection("c", options, false, Cluster().Connect())->Close(); }), 0)
        << options;
  }

  const auto failure = [&](const std::string& connect) {
    return std::make_pair(DaoNumberOf([&] { workspace_->OpenConnection("c", dbDriverNoPrompt, false, connect); }),
                          DaoMessageOf([&] { workspace_->OpenConnection("c", dbDriverNoPrompt, false, connect); }));
  };
  const auto wrongPassword = failure("ODBC;DSN=" + Cluster().dsn + ";UID=" + Cluster().user + ";PWD=not-it;");
  EXPECT_EQ(wrongPassword.first, 3151);
  EXPECT_NE(wrongPassword.second.find("password authentication failed"), std::string::npos) << wrongPassword.second;
  const auto unknownSource = failure("ODBC;DSN=no_such_source;UID=a;PWD=b;");
  EXPECT_EQ(unknownSource.first, 3151);
  EXPECT_NE(unknownSource.second.find("'no_such_source'"), std::string::npos) << unknownSource.second;
  // The data source's server is not listening on this port: down, as far as we can tell.
  const auto down = failure("ODBC;DSN=" + Cluster().dsn + ";Port=1;UID=a;PWD=b;");
  EXPECT_EQ(down.first, 3151);
  EXPECT_EQ(workspace_->Connections().Count(), 0);
}

TEST_F(DirectConnectionTest, ExecutePassesTheServersSqlThrough) {
  std::shared_ptr<Connection> connection = Open();
  // Server syntax Jet would refuse: serial, multi-row VALUES, ILIKE, the || operator.
  connection->Execute("CREATE TABLE " + table_ + " (id serial PRIMARY KEY, name text, n integer DEFAULT 0)");
  EXPECT_EQ(connection->RecordsAffected(), 0);
  connection->Execute("INSERT INTO " + table_ + " (name) VALUES ('alpha'), ('ALPS'), ('beta')");
  EXPECT_EQ(connection->RecordsAffected(), 3);
  connection->Execute("UPDATE " + table_ + " SET n = n + 1, name = name || '!' WHERE name ILIKE 'al%'", dbFailOnError);
  EXPECT_EQ(connection->RecordsAffected(), 2);
  EXPECT_EQ(PsqlOutput("SELECT name, n FROM " + table_ + " ORDER BY id"), "alpha!|1\nALPS!|1\nbeta|0\n");

  // A query is no statement to execute; what the server rejects keeps its number and words.
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("SELECT * FROM " + table_); }), 3065);
  const std::string rejected = DaoMessageOf([&] { connection->Execute("UPDATE " + table_ + " SET nope = 1"); });
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("UPDATE " + table_ + " SET n = 1 WHER id = 1"); }), 3146);
  EXPECT_NE(rejected.find("nope"), std::string::npos) << rejected;
  // Jet SQL is not translated: a Jet date literal is a syntax error to the server.
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("DELETE FROM " + table_ + " WHERE n = #1/1/2001#"); }), 3146);
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "3\n");
}

TEST_F(DirectConnectionTest, TransactionsRollBackWholeAndSurviveAFailedStatement) {
  MakeTable();
  std::shared_ptr<Connection> connection = Open();
  workspace_->BeginTrans();
  connection->Execute("INSERT INTO " + table_ + " VALUES (4, 'Dora', 40)");
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "3\n") << "seen outside before the commit";
  workspace_->Rollback();
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_), "3\n");

  // A statement the server refuses inside a transaction is undone alone; the rest commits.
  workspace_->BeginTrans();
  connection->Execute("INSERT INTO " + table_ + " VALUES (4, 'Dora', 40)");
  EXPECT_EQ(DaoNumberOf([&] { connection->Execute("INSERT INTO " + table_ + " VALUES (1, 'again', 0)"); }), 3022);
  connection->Execute("INSERT INTO " + table_ + " VALUES (5, 'Emil', 50)");
  workspace_->CommitTrans();
  EXPECT_EQ(PsqlOutput("SELECT id FROM " + table_ + " ORDER BY id"), "1\n2\n3\n4\n5\n");
}

TEST_F(DirectConnectionTest, RecordsetTypesReadTheServersRows) {
  MakeTable();
  std::shared_ptr<Connection> connection = Open();
  const std::string query = "SELECT id, name, n * 2 AS twice FROM " + table_ + " WHERE name ILIKE '%r%' ORDER BY id";

  // Without a type: forward-only, which cannot go back.
  auto forward = connection->OpenRecordset(query);
  EXPECT_EQ(forward->Type(), dbOpenForwardOnly);
  EXPECT_FALSE(forward->Updatable());
  EXPECT_EQ(forward->Fields().Item("name")->Value().AsString(), "bert");
  EXPECT_EQ(forward->Fields().Item("twice")->Value().AsInteger(), 40);
  forward->MoveNext();
  EXPECT_EQ(forward->Fields().Item("name")->Value().AsString(), "Carl");
  EXPECT_EQ(DaoNumberOf([&] { forward->MovePrevious(); }), 3251);
  forward->MoveNext();
  EXPECT_TRUE(forward->IsEOF());
  EXPECT_EQ(connection->Recordsets().Count(), 1);

  // A snapshot keeps the rows as it read them.
  auto snapshot = connection->OpenRecordset(query, dbOpenSnapshot);
  snapshot->MoveLast();
  EXPECT_EQ(snapshot->RecordCount(), 2);
  ASSERT_EQ(Psql("UPDATE " + table_ + " SET name = 'Bert' WHERE id = 2").status, 0);
  snapshot->MoveFirst();
  EXPECT_EQ(snapshot->Fields().Item("name")->Value().AsString(), "bert");
  EXPECT_FALSE(snapshot->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Edit(); }), 3251);
  snapshot->Requery();
  EXPECT_EQ(snapshot->Fields().Item("name")->Value().AsString(), "Bert");
  // A table name opens the whole table.
  auto whole = connection->OpenRecordset(table_, dbOpenSnapshot);
  whole->MoveLast();
  EXPECT_EQ(whole->RecordCount(), 3);

  // Jet's recordset kinds a direct connection has not: table type.
  EXPECT_EQ(DaoNumberOf([&] { connection->OpenRecordset(table_, dbOpenTable); }), 3001);
  // SQL the server refuses: its number and words.
  const std::string message = DaoMessageOf([&] { connection->OpenRecordset("SELECT nope FROM " + table_, 4); });
  EXPECT_NE(message.find("nope"), std::string::npos) << message;
}

TEST_F(DirectConnectionTest, DynamicRecordsetsSeeOtherSessionsChangesToTheirRows) {
  MakeTable();
  std::shared_ptr<Connection> connection = Open();
  for (int type : {dbOpenDynamic, dbOpenDynaset}) {
    SCOPED_TRACE(type);
    ASSERT_EQ(Psql("UPDATE " + table_ + " SET n = id * 10").status, 0);
    auto rows = connection->OpenRecordset("SELECT id, name, n FROM " + table_ + " ORDER BY id", type, 0, dbOptimistic);
    EXPECT_EQ(rows->Type(), type);
    EXPECT_TRUE(rows->Updatable());
    EXPECT_FALSE(rows->LockEdits()) << "ODBC data is changed optimistically";
    EXPECT_EQ(rows->Fields().Item("n")->Value().AsInteger(), 10);
    const Variant second = [&] {
      rows->MoveNext();
      return rows->Bookmark();
    }();
    // Another session changes the first row and deletes the third.
    ASSERT_EQ(
        Psql("UPDATE " + table_ + " SET n = 11 WHERE id = 1; UPDATE " + table_ + " SET n = 99 WHERE id = 3").status, 0);
    rows->MoveFirst();
    EXPECT_EQ(rows->Fields().Item("n")->Value().AsInteger(), 11);
    rows->MoveLast();
    EXPECT_EQ(rows->Fields().Item("n")->Value().AsInteger(), 99);
    rows->SetBookmark(second);
    EXPECT_EQ(rows->Fields().Item("id")->Value().AsInteger(), 2);
    ASSERT_EQ(Psql("DELETE FROM " + table_ + " WHERE id = 3; INSERT INTO " + table_ + " VALUES (3, 'Carl', 30)").status,
              0);
    rows->MoveLast();
    EXPECT_EQ(rows->Fields().Item("n")->Value().AsInteger(), 30) << "the same key is the same row";
    ASSERT_EQ(Psql("DELETE FROM " + table_ + " WHERE id = 2").status, 0);
    rows->MovePrevious();
    EXPECT_EQ(DaoNumberOf([&] { rows->Fields().Item("n")->Value(); }), 3167);
    ASSERT_EQ(Psql("INSERT INTO " + table_ + " VALUES (2, 'bert', 20)").status, 0);
  }

  // Rows another session adds join a dynamic recordset when it reaches its end; a dynaset
  // keeps the rows it had until Requery.
  auto dynamic = connection->OpenRecordset("SELECT id FROM " + table_ + " ORDER BY id", dbOpenDynamic, 0, 3);
  auto dynaset = connection->OpenRecordset("SELECT id FROM " + table_ + " ORDER BY id", dbOpenDynaset, 0, 3);
  ASSERT_EQ(Psql("INSERT INTO " + table_ + " VALUES (9, 'Ida', 90)").status, 0);
  dynamic->MoveLast();
  EXPECT_EQ(dynamic->Fields().Item("id")->Value().AsInteger(), 9);
  EXPECT_EQ(dynamic->RecordCount(), 4);
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->Fields().Item("id")->Value().AsInteger(), 3);
  dynaset->Requery();
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->Fields().Item("id")->Value().AsInteger(), 9);

  // Without the key among the columns, or without one table, the rows cannot be read again:
  // read-only, as read.
  auto noKey = connection->OpenRecordset("SELECT name FROM " + table_, dbOpenDynamic, 0, dbOptimistic);
  EXPECT_FALSE(noKey->Updatable());
  auto joined = connection->OpenRecordset(
      "SELECT a.id, b.name FROM " + table_ + " a JOIN " + table_ + " b ON a.id = b.id", dbOpenDynaset, 0, dbOptimistic);
  EXPECT_FALSE(joined->Updatable());
  // The default lock type of a direct connection reads only.
  EXPECT_FALSE(connection->OpenRecordset(table_, dbOpenDynamic)->Updatable());
}

TEST_F(DirectConnectionTest, DynamicRecordsetsWriteTheirRowsOptimistically) {
  MakeTable();
  std::shared_ptr<Connection> connection = Open();
  auto rows =
      connection->OpenRecordset("SELECT id, name, n FROM " + table_ + " ORDER BY id", dbOpenDynamic, 0, dbOptimistic);
  rows->Edit();
  rows->Fields().Item("n")->SetValue(Variant(11));
  rows->Update();
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " WHERE id = 1"), "11\n");

  rows->AddNew();
  rows->Fields().Item("id")->SetValue(Variant(4));
  rows->Fields().Item("name")->SetValue(Variant(std::string("Dora")));
  rows->Update();
  rows->SetBookmark(rows->LastModified());
  EXPECT_EQ(rows->Fields().Item("name")->Value().AsString(), "Dora");
  EXPECT_EQ(PsqlOutput("SELECT name, n IS NULL FROM " + table_ + " WHERE id = 4"), "Dora|t\n");

  // A value longer than the server's column is refused at assignment.
  rows->MoveFirst();
  rows->Edit();
  EXPECT_EQ(DaoNumberOf([&] { rows->Fields().Item("name")->SetValue(Variant(std::string(30, 'x'))); }), 3163);
  rows->CancelUpdate();

  // Another session changed the row since Edit read it: 3197, and nothing written.
  rows->MoveNext();
  rows->Edit();
  ASSERT_EQ(Psql("UPDATE " + table_ + " SET n = 21 WHERE id = 2").status, 0);
  rows->Fields().Item("n")->SetValue(Variant(22));
  EXPECT_EQ(DaoNumberOf([&] { rows->Update(); }), 3197);
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " WHERE id = 2"), "21\n");

  // Deleting: the row is gone for the server and for the recordset.
  rows->MoveLast();
  rows->Delete();
  EXPECT_EQ(DaoNumberOf([&] { rows->Fields().Item("id")->Value(); }), 3167);
  EXPECT_EQ(PsqlOutput("SELECT count(*) FROM " + table_ + " WHERE id = 4"), "0\n");

  // A statement inside a workspace transaction that rolls back leaves nothing behind.
  workspace_->BeginTrans();
  rows->MoveFirst();
  rows->Edit();
  rows->Fields().Item("n")->SetValue(Variant(99));
  rows->Update();
  workspace_->Rollback();
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " WHERE id = 1"), "11\n");
}

TEST_F(DirectConnectionTest, MaxRecordsAndTheQueryTimeoutLimitTheStatement) {
  MakeTable();
  std::shared_ptr<Connection> connection = Open();
  auto query = connection->CreateQueryDef("limited", "SELECT id FROM " + table_ + " ORDER BY id");
  EXPECT_EQ(connection->QueryDefs().Count(), 1);
  EXPECT_EQ(query->Type(), dbQSelect);
  query->SetMaxRecords(2);
  for (int type : {dbOpenSnapshot, dbOpenDynaset, dbOpenForwardOnly}) {
    auto rows = query->OpenRecordset(type, 0, dbOptimistic);
    int count = 0;
    for (; !rows->IsEOF(); rows->MoveNext()) ++count;
    EXPECT_EQ(count, 2) << type;
  }

  // A statement that runs past the time-out is stopped, with the server's reason.
  connection->SetQueryTimeout(1);
  const auto started = std::chrono::steady_clock::now();
  const std::string message = DaoMessageOf([&] { connection->Execute("DO $$ BEGIN PERFORM pg_sleep(20); END $$"); });
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_NE(message.find("ODBC--call failed."), std::string::npos) << message;
  EXPECT_NE(message.find("cancel"), std::string::npos) << message;
  EXPECT_LT(waited, std::chrono::seconds(15)) << "the statement ran on past its time-out";
  EXPECT_EQ(DaoNumberOf([&] { connection->OpenRecordset("SELECT pg_sleep(20)", dbOpenSnapshot); }), 3146);
  // A query definition has a time-out of its own; 0 waits as long as it takes.
  auto action = connection->CreateQueryDef("", "DO $$ BEGIN PERFORM pg_sleep(2); END $$");
  EXPECT_EQ(action->Type(), dbQAction);
  action->SetODBCTimeout(0);
  EXPECT_EQ(DaoNumberOf([&] { action->Execute(); }), 0);
}

TEST_F(DirectConnectionTest, ARowAnotherSessionHoldsAnswersAfterTheTimeOut) {
  MakeTable();
  std::shared_ptr<Connection> holder = Open();
  auto other = engine_->CreateWorkspace("Other", "Admin", "", dbUseODBC);
  std::shared_ptr<Connection> waiter = other->OpenConnection("waiter", dbDriverNoPrompt, false, Cluster().Connect());
  waiter->SetQueryTimeout(1);
  workspace_->BeginTrans();
  holder->Execute("UPDATE " + table_ + " SET n = 1 WHERE id = 1");
  const int number = DaoNumberOf([&] { waiter->Execute("UPDATE " + table_ + " SET n = 2 WHERE id = 1"); });
  EXPECT_TRUE(number == 3218 || number == 3146) << number;
  workspace_->Rollback();
  // The waiter's statement wrote nothing; the holder's rolled back.
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " WHERE id = 1"), "10\n");
  waiter->Execute("UPDATE " + table_ + " SET n = 2 WHERE id = 1");
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " WHERE id = 1"), "2\n");
}

TEST_F(DirectConnectionTest, PassThroughQueryDefinitionsRunOnTheServer) {
  MakeTable();
  auto jet = engine_->CreateWorkspace("Jet", "Admin", "", dbUseJet);
  const std::string path = PathOf("local.mdb");
  {
    auto local = jet->CreateDatabase(path, dbLangGeneral);
    auto query = local->CreateQueryDef("server_names");
    query->SetConnect(Cluster().Connect());
    // Server SQL that Jet could not read.
    query->SetSQL("SELECT name FROM " + table_ + " WHERE name ILIKE '%a%' ORDER BY id");
    EXPECT_EQ(query->Type(), dbQSQLPassThrough);
    EXPECT_TRUE(query->ReturnsRecords());
    EXPECT_EQ(query->Parameters().Count(), 0);
    auto rows = query->OpenRecordset(dbOpenSnapshot);
    EXPECT_EQ(rows->Fields().Item(0)->Value().AsString(), "Anna");
    rows->MoveNext();
    EXPECT_EQ(rows->Fields().Item(0)->Value().AsString(), "Carl");

    auto action = local->CreateQueryDef("server_update");
    action->SetConnect(Cluster().Connect());
    action->SetReturnsRecords(false);
    action->SetSQL("UPDATE " + table_ + " SET n = n + 1 WHERE name ~ '^[AC]'");
    action->Execute();
    EXPECT_EQ(action->RecordsAffected(), 2);
    EXPECT_EQ(DaoNumberOf([&] { action->OpenRecordset(); }), 3219);
    EXPECT_EQ(DaoNumberOf([&] { query->SetConnect("dBASE IV;"); }), 3170);
  }
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " ORDER BY id"), "11\n20\n31\n");
  // The definitions keep their connect text and kind in the file.
  auto local = jet->OpenDatabase(path);
  auto again = local->QueryDefs().Item("server_update");
  EXPECT_EQ(again->Connect(), Cluster().Connect());
  EXPECT_FALSE(again->ReturnsRecords());
  again->Execute();
  EXPECT_EQ(PsqlOutput("SELECT n FROM " + table_ + " ORDER BY id"), "12\n20\n32\n");
}

TEST_F(DirectConnectionTest, ProcedureCallsGiveBackTheirOutputParameters) {
  const std::string add = table_ + "_add", twice = table_ + "_twice", count = table_ + "_count";
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer PRIMARY KEY, name varchar(20) NOT NULL, n integer); "
                 "INSERT INTO " + table_ + " VALUES (1, 'Anna', 10), (2, 'bert', 20), (3, 'Carl', 30); "
                 "CREATE OR REPLACE FUNCTION " + add +
                 "(a integer, b integer, OUT total integer, OUT label text) AS $$ SELECT a + b, 'sum of ' || a || "
                 "' and ' || b $$ LANGUAGE sql; "
                 "CREATE OR REPLACE FUNCTION " + twice + "(INOUT x integer) AS $$ SELECT x * 2 $$ LANGUAGE sql; "
                 "CREATE OR REPLACE FUNCTION " + count + "(prefix text) RETURNS bigint AS $$ SELECT count(*) FROM " +
                 table_ + " WHERE name LIKE prefix || '%' $$ LANGUAGE sql")
                .status,
            0);
  std::shared_ptr<Connection> connection = Open();

  // A return value: the first marker of "{? = call ...}" takes it without being told.
  auto counted = connection->CreateQueryDef("", "{? = call " + count + "(?)}");
  EXPECT_EQ(counted->Type(), dbQProcedure);
  ASSERT_EQ(counted->Parameters().Count(), 2);
  EXPECT_EQ(counted->Parameters().Item(0)->Direction(), dbParamReturnValue);
  EXPECT_EQ(counted->Parameters().Item(1)->Direction(), dbParamInput);
  EXPECT_EQ(counted->Parameters().Item(1)->Name(), "Parameter2");
  // An input without a value is missing, as for a Jet parameter.
  EXPECT_EQ(DaoNumberOf([&] { counted->Execute(); }), 3061);
  counted->Parameters().Item(1)->SetValue(Variant("C"));
  counted->Execute();
  EXPECT_EQ(counted->Parameters().Item(0)->Value().AsInteger(), 1);
  EXPECT_NE(counted->Parameters().Item(0)->Type(), dbText) << "the server's number came back as text";
  // The values persist: a second run with a new input gives a new result.
  counted->Parameters().Item(1)->SetValue(Variant(""));
  counted->Execute();
  EXPECT_EQ(counted->Parameters().Item(0)->Value().AsInteger(), 3);

  // OUT arguments are output parameters, in their order; inputs given as numbers reach a
  // procedure declared with integers.
  auto summed = connection->CreateQueryDef("", "{call " + add + "(?, ?, ?, ?)}");
  ASSERT_EQ(summed->Parameters().Count(), 4);
  summed->Parameters().Item(0)->SetValue(Variant(3));
  summed->Parameters().Item(1)->SetValue(Variant(4));
  summed->Parameters().Item(2)->SetDirection(dbParamOutput);
  summed->Parameters().Item(3)->SetDirection(dbParamOutput);
  summed->Execute();
  EXPECT_EQ(summed->Parameters().Item(2)->Value().AsInteger(), 7);
  EXPECT_EQ(summed->Parameters().Item(3)->Value().AsString(), "sum of 3 and 4");
  EXPECT_EQ(summed->Parameters().Item(0)->Value().AsInteger(), 3) << "an input was changed";

  // An INOUT argument: the value goes in and the result comes back in the same parameter.
  auto doubled = connection->CreateQueryDef("", "{call " + twice + "(?)}");
  doubled->Parameters().Item(0)->SetDirection(dbParamInputOutput);
  doubled->Parameters().Item(0)->SetValue(Variant(21));
  doubled->Execute();
  EXPECT_EQ(doubled->Parameters().Item(0)->Value().AsInteger(), 42);

  // A procedure the server does not know: its words, and the parameters keep their values.
  auto unknown = connection->CreateQueryDef("", "{call " + table_ + "_missing(?)}");
  unknown->Parameters().Item(0)->SetValue(Variant(1));
  const std::string refused = DaoMessageOf([&] { unknown->Execute(); });
  EXPECT_NE(refused.find("ODBC--call failed."), std::string::npos) << refused;
  EXPECT_NE(refused.find("does not exist"), std::string::npos) << refused;
  // A Jet query definition has no other directions.
  auto jet = engine_->CreateWorkspace("Jet", "Admin", "", dbUseJet);
  auto file = jet->CreateDatabase(PathOf("p.mdb"), dbLangGeneral);
  auto local = file->CreateQueryDef("", "PARAMETERS x Long; SELECT x");
  EXPECT_EQ(DaoNumberOf([&] { local->Parameters().Item(0)->SetDirection(dbParamOutput); }), 3251);
  Psql("DROP FUNCTION IF EXISTS " + add + ", " + twice + ", " + count);
}

}  // namespace
}  // namespace lumo::jet::odbc
