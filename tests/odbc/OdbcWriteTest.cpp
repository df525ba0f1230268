// Writing a server's rows through recordsets and Execute in a Jet workspace: values of every
// server type, keys and counters read back from the server, the optimistic check against
// other sessions (3197 changed, 3167 deleted), row locks, the server's refusals with its own
// message, transactions that leave nothing half-written, and statement time-outs. psql reads
// what reached the server.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Recordset.h"
#include "jet/Workspace.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "jet/odbc/OdbcErrors.h"
#include "runtime/DateTime.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

class OdbcWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    RegisterOdbcBackEnd();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + ", " + table_ + "_kv CASCADE; DROP VIEW IF EXISTS " + table_ +
                   "_slow; CREATE TABLE " + table_ +
                   " (id serial PRIMARY KEY, name varchar(20) NOT NULL, born timestamp(3), flag boolean, "
                   "amount numeric(19,4), big bigint, data bytea, guid uuid); CREATE UNIQUE INDEX ON " +
                   table_ + " (name); INSERT INTO " + table_ + " (name) VALUES ('Anna'), ('Bernd')")
                  .status,
              0);
    db_ = Open(engine_);
  }

  static std::shared_ptr<Database> Open(DBEngine& engine) {
    return engine.OpenDatabase("", Variant(1), false, Cluster().Connect());
  }

  std::string Server(const std::string& sql) {
    const auto result = Psql(sql);
    EXPECT_EQ(result.status, 0) << sql;
    return result.output;
  }

  std::shared_ptr<Recordset> Dynaset(std::shared_ptr<Database> db, int lockType = dbOptimistic) {
    return db->OpenRecordset("SELECT * FROM " + table_ + " ORDER BY id", dbOpenDynaset, 0, lockType);
  }

  static void Set(const std::shared_ptr<Recordset>& rs, const char* field, Variant value) {
    rs->Fields().Item(field)->SetValue(std::move(value));
  }

  DBEngine engine_{"3.6"};
  std::shared_ptr<Database> db_;
  std::string table_;
};

TEST_F(OdbcWriteTest, AddNewWritesEveryServerTypeExactlyAndTheKeyComesBack) {
  auto rs = Dynaset(db_);
  rs->AddNew();
  Set(rs, "name", Variant("Köln"));
  Set(rs, "born", Variant::FromDate(ComposeDateTime(EncodeDate(2024, 2, 29), EncodeTime(13, 45, 10, 250))));
  Set(rs, "flag", Variant(true));
  Set(rs, "amount", Variant::FromCurrency(Currency::FromScaled(9223372036854775807LL)));
  Set(rs, "big", Variant(int64_t{9007199254740993}));
  Set(rs, "data", Variant(std::vector<uint8_t>{0, 255, 7}));
  Set(rs, "guid", Variant("{guid {0011AABB-CCDD-EEFF-0011-223344556677}}"));
  rs->Update();
  EXPECT_EQ(
      Server("SELECT id, name, born, flag, amount, big, encode(data, 'hex'), guid FROM " + table_ + " WHERE id = 3"),
      "3|Köln|2024-02-29 13:45:10.25|t|922337203685477.5807|9007199254740993|00ff07|"
      "0011aabb-ccdd-eeff-0011-223344556677\n");
  // The new row is the recordset's, at its end, by the key the server gave it.
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Fields().Item("id")->Value().AsInt64(), 3);
  EXPECT_EQ(rs->Fields().Item("amount")->Value().AsCurrency().Scaled(), 9223372036854775807LL);
  EXPECT_EQ(rs->Fields().Item("guid")->Value().AsString(), "{guid {0011AABB-CCDD-EEFF-0011-223344556677}}");
  // A row with Nulls and a false Boolean.
  rs->AddNew();
  Set(rs, "name", Variant("Null"));
  Set(rs, "flag", Variant(false));
  rs->Update();
  EXPECT_EQ(Server("SELECT flag, born IS NULL, amount IS NULL FROM " + table_ + " WHERE id = 4"), "f|t|t\n");
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 4);
}

TEST_F(OdbcWriteTest, EditAndDeleteGoByThePrimaryKey) {
  auto rs = Dynaset(db_);
  rs->MoveNext();
  rs->Edit();
  Set(rs, "name", Variant("Berta"));
  Set(rs, "amount", Variant(1.25));
  rs->Update();
  EXPECT_EQ(Server("SELECT id, name, amount FROM " + table_ + " ORDER BY id"), "1|Anna|\n2|Berta|1.2500\n");
  // A key written through the recordset: the row is still the recordset's.
  Server("CREATE TABLE " + table_ + "_kv (k integer PRIMARY KEY, v text); INSERT INTO " + table_ +
         "_kv VALUES (1, 'one'), (2, 'two')");
  auto kv = db_->OpenRecordset("SELECT * FROM " + table_ + "_kv ORDER BY k", dbOpenDynaset);
  kv->Edit();
  Set(kv, "k", Variant(20));
  kv->Update();
  kv->Move(0);
  EXPECT_EQ(kv->Fields().Item("k")->Value().AsInteger(), 20);
  kv->Edit();
  Set(kv, "v", Variant("twenty"));
  kv->Update();
  EXPECT_EQ(Server("SELECT k, v FROM " + table_ + "_kv ORDER BY k"), "2|two\n20|twenty\n");
  kv->Close();
  rs->MoveFirst();
  rs->Delete();
  EXPECT_EQ(Server("SELECT id FROM " + table_ + " ORDER BY id"), "2\n");
  EXPECT_EQ(DaoNumberOf([&] { (void)rs->Fields().Item("name")->Value(); }), kDaoRecordDeleted);
}

TEST_F(OdbcWriteTest, OptimisticUpdatesNoticeOtherSessions) {
  auto rs = Dynaset(db_);
  rs->Edit();
  Set(rs, "name", Variant("Mine"));
  Server("UPDATE " + table_ + " SET name = 'Theirs' WHERE id = 1");
  EXPECT_EQ(DaoNumberOf([&] { rs->Update(); }), kDaoWriteConflict);
  EXPECT_EQ(Server("SELECT name FROM " + table_ + " WHERE id = 1"), "Theirs\n");
  // DAO's "update again" writes over the other session's change.
  rs->Update();
  EXPECT_EQ(Server("SELECT name FROM " + table_ + " WHERE id = 1"), "Mine\n");

  // A row another session deleted meanwhile.
  rs->MoveNext();
  rs->Edit();
  Set(rs, "name", Variant("Gone"));
  Server("DELETE FROM " + table_ + " WHERE id = 2");
  EXPECT_EQ(DaoNumberOf([&] { rs->Update(); }), kDaoRecordDeleted);
  rs->CancelUpdate();
  EXPECT_EQ(DaoNumberOf([&] { rs->Delete(); }), kDaoRecordDeleted);
  EXPECT_EQ(Server("SELECT count(*) FROM " + table_), "1\n");
}

TEST_F(OdbcWriteTest, ARowLockedByAnotherSessionAnswersALockingErrorAfterTheWait) {
  DBEngine other{"3.6"};
  auto theirs = Open(other);
  auto holder = Dynaset(theirs, dbPessimistic);
  holder->Edit();  // holds the row until Update or CancelUpdate
  db_->SetQueryTimeout(1);
  auto rs = Dynaset(db_, dbPessimistic);
  const int number = DaoNumberOf([&] { rs->Edit(); });
  EXPECT_TRUE(number == kDaoLocked || number == kDaoLockedByUser) << number;
  EXPECT_EQ(rs->EditMode(), dbEditNone);
  // An optimistic Update waits for the row the same way.
  auto optimistic = Dynaset(db_);
  optimistic->Edit();
  Set(optimistic, "name", Variant("Waited"));
  EXPECT_NE(DaoNumberOf([&] { optimistic->Update(); }), 0);
  holder->CancelUpdate();
  optimistic->Update();
  EXPECT_EQ(Server("SELECT name FROM " + table_ + " WHERE id = 1"), "Waited\n");
}

TEST_F(OdbcWriteTest, TheServersRefusalsKeepItsMessageAndLeaveNothingHalfWritten) {
  // Too long for the server's column: the server says so, DAO's number names it.
  const auto tooLong = [&] {
    db_->Execute("INSERT INTO " + table_ + " (name) VALUES ('" + std::string(30, 'x') + "')", dbFailOnError);
  };
  EXPECT_EQ(DaoNumberOf(tooLong), kDaoFieldTooSmall);
  EXPECT_NE(DaoMessageOf(tooLong).find("too long"), std::string::npos) << DaoMessageOf(tooLong);
  // A duplicate key of a unique index through a recordset.
  auto rs = Dynaset(db_);
  rs->AddNew();
  Set(rs, "name", Variant("Anna"));
  EXPECT_EQ(DaoNumberOf([&] { rs->Update(); }), kDaoDuplicateKey);
  rs->CancelUpdate();

  // A transaction that met a refusal rolls back whole; what it wrote before stays unseen.
  Workspace& workspace = *engine_.Workspaces().Item(0);
  workspace.BeginTrans();
  rs->AddNew();
  Set(rs, "name", Variant("InTransaction"));
  rs->Update();
  db_->Execute("UPDATE " + table_ + " SET name = 'Changed' WHERE id = 1", dbFailOnError);
  EXPECT_EQ(DaoNumberOf([&] { db_->Execute("INSERT INTO " + table_ + " (id, name) VALUES (2, 'x')", dbFailOnError); }),
            kDaoDuplicateKey);
  // The session goes on after the refusal: the failed statement alone was undone.
  EXPECT_EQ(db_->OpenRecordset("SELECT name FROM " + table_ + " WHERE id = 1", dbOpenSnapshot)
                ->Fields()
                .Item(0)
                ->Value()
                .AsString(),
            "Changed");
  EXPECT_EQ(Server("SELECT count(*) FROM " + table_ + " WHERE name IN ('InTransaction', 'Changed')"), "0\n");
  workspace.Rollback();
  EXPECT_EQ(Server("SELECT id, name FROM " + table_ + " ORDER BY id"), "1|Anna\n2|Bernd\n");
}

TEST_F(OdbcWriteTest, QueryTimeoutEndsALongStatement) {
  Server("CREATE OR REPLACE VIEW " + table_ + "_slow AS SELECT 1 AS pause FROM pg_sleep(5)");
  db_->SetQueryTimeout(1);
  const auto slow = [&] { db_->OpenRecordset("SELECT * FROM " + table_ + "_slow", dbOpenSnapshot)->MoveLast(); };
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(DaoNumberOf(slow), kDaoOdbcCallFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4)) << "the statement was not ended";
  EXPECT_NE(DaoMessageOf(slow).find("cancel"), std::string::npos) << DaoMessageOf(slow);
  // No limit at all.
  db_->SetQueryTimeout(0);
  Server("CREATE OR REPLACE VIEW " + table_ + "_slow AS SELECT 1 AS pause FROM pg_sleep(1.5)");
  EXPECT_EQ(DaoNumberOf(slow), 0);
  Server("DROP VIEW " + table_ + "_slow");
}

// A table its owners made with quoted mixed-case names, changed by action queries that name it
// and its fields in any case, as Jet SQL does, with and without dbFailOnError.
TEST_F(OdbcWriteTest, ActionQueriesNameTablesAndFieldsInAnyCase) {
  const std::string mixed = table_ + "M";
  const std::string quoted = "\"" + table_ + "M\"";
  Server("DROP TABLE IF EXISTS " + quoted + "; CREATE TABLE " + quoted +
         " (\"ID\" serial PRIMARY KEY, \"Username\" varchar(20), \"logofftime\" timestamp(3)); INSERT INTO " + quoted +
         " (\"Username\") VALUES ('anna'), ('bernd')");
  db_->Execute("update " + mixed + " set logofftime = #2026-12-11 05:00:00# where id = 1");
  db_->Execute("UPDATE " + mixed + " SET USERNAME = 'Berta' WHERE ID = 2", dbFailOnError);
  db_->Execute("insert into " + mixed + " (username) values ('carl')", dbFailOnError);
  db_->Execute("delete from " + mixed + " where username = 'Carl'");
  EXPECT_EQ(Server("SELECT \"ID\", \"Username\", \"logofftime\" FROM " + quoted + " ORDER BY 1"),
            "1|anna|2026-12-11 05:00:00\n2|Berta|\n");
  Server("DROP TABLE " + quoted);
}

}  // namespace
}  // namespace lumo::jet::odbc
