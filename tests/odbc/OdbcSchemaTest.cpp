// Schema changes on a server's database through the engine: Jet DDL and the TableDefs,
// Fields and Indexes collections land as the server's own tables, columns, keys and indexes,
// which psql then sees (and names without quotes), and whose rules the server keeps for every
// client. A refused change leaves nothing behind.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Index.h"
#include "jet/Recordset.h"
#include "jet/TableDef.h"
#include "jet/odbc/OdbcBackEnd.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

class OdbcSchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    RegisterOdbcBackEnd();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + "_child, " + table_ + " CASCADE").status, 0);
    db_ = engine_.OpenDatabase("", Variant(1), false, Cluster().Connect());
  }

  std::string Server(const std::string& sql) {
    const auto result = Psql(sql);
    EXPECT_EQ(result.status, 0) << sql << "\n" << result.output;
    return result.output;
  }
  void Execute(const std::string& sql) { db_->Execute(sql, dbFailOnError); }

  DBEngine engine_{"3.6"};
  std::shared_ptr<Database> db_;
  std::string table_;
};

TEST_F(OdbcSchemaTest, JetDdlMakesTheServersTablesAndIndexes) {
  // Mixed case as Jet SQL writes it; the server has the names as it folds them.
  const std::string jetName = "ODBC" + table_.substr(4);
  Execute("CREATE TABLE " + jetName +
          " (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50) NOT NULL, logontime DATETIME, "
          "Typ TEXT(10), Active YESNO, Amount CURRENCY, Note MEMO)");
  EXPECT_EQ(Server("SELECT column_name || ' ' || data_type || coalesce('(' || character_maximum_length || ')', '') || "
                   "' ' || is_nullable FROM information_schema.columns WHERE table_name = '" +
                   table_ + "' ORDER BY ordinal_position"),
            "id integer NO\nusername character varying(50) NO\nlogontime timestamp without time zone YES\n"
            "typ character varying(10) YES\nactive boolean YES\namount numeric YES\nnote text YES\n");
  Execute("CREATE INDEX ByUser ON " + jetName + " (Username, logontime DESC)");
  Execute("ALTER TABLE " + jetName + " ADD COLUMN logofftime DATETIME");
  EXPECT_EQ(Server("SELECT indexname FROM pg_indexes WHERE tablename = '" + table_ + "' ORDER BY indexname"),
            table_ + ".ByUser\n" + table_ + ".PrimaryKey\n");

  // The engine reads back what it made: DAO names compare without regard to case.
  auto table = db_->TableDefs().Item(jetName);
  EXPECT_EQ(table->Fields().Count(), 8);
  EXPECT_NE(table->Fields().Item("ID")->Attributes() & dbAutoIncrField, 0);
  EXPECT_EQ(table->Fields().Item("Amount")->Type(), dbCurrency);
  EXPECT_EQ(table->Fields().Item("Active")->Type(), dbBoolean);
  EXPECT_EQ(table->Fields().Item("Note")->Type(), dbMemo);
  EXPECT_TRUE(table->Indexes().Item("PrimaryKey")->Primary());
  EXPECT_EQ(table->Indexes().Item("ByUser")->Fields().Count(), 2);

  // Rows go in through the engine; the server numbers them.
  auto rs = db_->OpenRecordset(jetName, dbOpenDynaset);
  rs->AddNew();
  rs->Fields().Item("Username")->SetValue(Variant("anna"));
  rs->Update();
  EXPECT_EQ(Server("SELECT id, username FROM " + table_), "1|anna\n");
  rs->Close();

  Execute("DROP INDEX ByUser ON " + jetName);
  EXPECT_EQ(Server("SELECT count(*) FROM pg_indexes WHERE tablename = '" + table_ + "'"), "1\n");
  Execute("DROP TABLE " + jetName);
  EXPECT_EQ(Server("SELECT count(*) FROM pg_tables WHERE tablename = '" + table_ + "'"), "0\n");
}

TEST_F(OdbcSchemaTest, TableDefsAppendKeepsJetsRulesOnTheServer) {
  auto definition = db_->CreateTableDef(table_);
  auto id = definition->CreateField("ID", dbLong);
  id->SetAttributes(dbAutoIncrField);
  definition->Fields().Append(id);
  auto name = definition->CreateField("Name", dbText, 10);
  name->SetRequired(true);
  name->SetAllowZeroLength(false);
  definition->Fields().Append(name);
  auto kind = definition->CreateField("Kind", dbText, 5);
  kind->SetDefaultValue("\"std\"");
  definition->Fields().Append(kind);
  auto primary = definition->CreateIndex("PrimaryKey");
  primary->SetPrimary(true);
  primary->Fields().Append(primary->CreateField("ID"));
  definition->Indexes().Append(primary);
  auto unique = definition->CreateIndex("ByName");
  unique->SetUnique(true);
  unique->Fields().Append(unique->CreateField("Name"));
  definition->Indexes().Append(unique);
  db_->TableDefs().Append(definition);

  // The server keeps the rules for every client, psql's inserts included.
  Server("INSERT INTO " + table_ + " (name) VALUES ('a')");
  EXPECT_EQ(Server("SELECT id, name, kind FROM " + table_), "1|a|std\n");
  EXPECT_NE(Psql("INSERT INTO " + table_ + " (name) VALUES ('')").status, 0) << "a zero-length name got in";
  EXPECT_NE(Psql("INSERT INTO " + table_ + " (name) VALUES ('a')").status, 0) << "a duplicate got in";
  EXPECT_NE(Psql("INSERT INTO " + table_ + " (kind) VALUES ('x')").status, 0) << "a Null name got in";

  auto table = db_->TableDefs().Item(table_);
  EXPECT_EQ(table->Fields().Item("Kind")->DefaultValue(), "\"std\"");
  EXPECT_TRUE(table->Fields().Item("Name")->Required());
  EXPECT_TRUE(table->Indexes().Item("ByName")->Unique());
  // A field appended to the table is a new column at once.
  table->Fields().Append(table->CreateField("Extra", dbInteger));
  EXPECT_EQ(Server("SELECT data_type FROM information_schema.columns WHERE table_name = '" + table_ +
                   "' AND column_name = 'extra'"),
            "smallint\n");
  table->Fields().Delete("Extra");
  EXPECT_EQ(db_->TableDefs().Item(table_)->Fields().Count(), 3);
}

TEST_F(OdbcSchemaTest, RelationsAreTheServersForeignKeys) {
  Execute("CREATE TABLE " + table_ + " (ID LONG CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20))");
  Execute("CREATE TABLE " + table_ + "_child (ID COUNTER PRIMARY KEY, Parent LONG CONSTRAINT ToParent REFERENCES " +
          table_ + " (ID))");
  // Names in the case the server made them (Jet SQL's own case is the translator's).
  Server("INSERT INTO " + table_ + " VALUES (1, 'one')");
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO " + table_ + "_child (parent) VALUES (9)"); }),
            kDaoRelatedRecordRequired);
  Execute("INSERT INTO " + table_ + "_child (parent) VALUES (1)");
  EXPECT_EQ(DaoNumberOf([&] { Execute("DELETE FROM " + table_ + " WHERE id = 1"); }), kDaoRelatedRecordsExist);
  // A relation needs both of its tables.
  EXPECT_EQ(DaoNumberOf([&] { Execute("DROP TABLE " + table_); }), kDaoIndexInUse);
  Execute("ALTER TABLE " + table_ + "_child DROP CONSTRAINT ToParent");
  Execute("DROP TABLE " + table_);
}

TEST_F(OdbcSchemaTest, RefusedChangesLeaveNothingBehind) {
  Execute("CREATE TABLE " + table_ + " (ID COUNTER(100, 5) PRIMARY KEY, Name TEXT(20))");
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE TABLE " + table_ + " (A LONG)"); }), kDaoTableExists);
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE INDEX Bad ON " + table_ + " (Missing)"); }), kDaoUnrecognizedField);
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE INDEX P2 ON " + table_ + " (Name) WITH PRIMARY"); }),
            kDaoPrimaryKeyExists);
  // A table whose foreign key refers to no table is not made at all.
  EXPECT_NE(DaoNumberOf([&] {
              Execute("CREATE TABLE " + table_ + "_child (ID LONG, P LONG CONSTRAINT Fk REFERENCES NoSuchTable (ID))");
            }),
            0);
  EXPECT_EQ(Server("SELECT count(*) FROM pg_tables WHERE tablename = '" + table_ + "_child'"), "0\n");
  // The counter's seed and step are the sequence's.
  Execute("INSERT INTO " + table_ + " (name) VALUES ('a')");
  Execute("INSERT INTO " + table_ + " (name) VALUES ('b')");
  EXPECT_EQ(Server("SELECT id FROM " + table_ + " ORDER BY id"), "100\n105\n");
}

}  // namespace
}  // namespace lumo::jet::odbc
