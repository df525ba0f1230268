#include "jet/Catalogue.h"

#include <gtest/gtest.h>

#include "jet/DaoConstants.h"
#include "jet/DatabaseFile.h"
#include "jet/sqlite/SqliteFieldDefault.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

// The journal's table as the engine declares it.
constexpr const char* kLogonTable =
    "CREATE TABLE Logon (ID INTEGER PRIMARY KEY AUTOINCREMENT, Username VARCHAR(50) COLLATE NOCASE, "
    "Computer VARCHAR(20) COLLATE NOCASE, logontime DATETIME, logofftime DATETIME, "
    "IP VARCHAR(20) COLLATE NOCASE, Betriebssystem VARCHAR(50) COLLATE NOCASE NOT NULL, "
    "Typ VARCHAR(10) COLLATE NOCASE)";

class CatalogueTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    file_ = DatabaseFile::Create(PathOf("a.db"), dbLangGeneral, 0);
  }
  void Exec(const std::string& sql) { file_->Connection().Exec(sql); }
  Catalogue& Schema() { return file_->Schema(); }

  std::shared_ptr<DatabaseFile> file_;
};

TEST_F(CatalogueTest, JournalTableReadsWithDaoTypesAndItsCounter) {
  Exec(kLogonTable);
  const TableInfo* logon = Schema().FindTable("logon");
  ASSERT_NE(logon, nullptr);
  EXPECT_EQ(logon->name, "Logon");
  EXPECT_EQ(logon->attributes, 0);
  ASSERT_EQ(logon->columns.size(), 8u);
  const ColumnInfo& id = logon->columns[0];
  EXPECT_TRUE(id.isRowKey);
  EXPECT_EQ(id.type.type, dbLong);
  EXPECT_EQ(id.type.attributes & dbAutoIncrField, dbAutoIncrField);
  EXPECT_EQ(logon->rowKey, "ID");
  EXPECT_TRUE(logon->autoIncrement);

  const ColumnInfo* user = logon->FindColumn("USERNAME");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->type.type, dbText);
  EXPECT_EQ(user->type.size, 50);
  EXPECT_EQ(user->ordinal, 1);
  EXPECT_TRUE(user->allowZeroLength);
  EXPECT_EQ(logon->FindColumn("logontime")->type.type, dbDate);
  EXPECT_FALSE(logon->FindColumn("logontime")->allowZeroLength);
  EXPECT_TRUE(logon->FindColumn("Betriebssystem")->required);
  EXPECT_EQ(logon->FindColumn("Typ")->type.size, 10);
  EXPECT_EQ(logon->FindColumn("nothing"), nullptr);

  // The counter is the table's primary key without an SQLite index of its own.
  ASSERT_EQ(logon->indexes.size(), 1u);
  const IndexInfo& primary = logon->indexes[0];
  EXPECT_EQ(primary.name, "PrimaryKey");
  EXPECT_TRUE(primary.primary);
  EXPECT_TRUE(primary.unique);
  EXPECT_EQ(primary.sqliteName, "");
  ASSERT_EQ(primary.fields.size(), 1u);
  EXPECT_EQ(primary.fields[0].name, "ID");
}

TEST_F(CatalogueTest, IndexesKeepJetNamesDirectionsAndFlags) {
  Exec(kLogonTable);
  Exec("CREATE UNIQUE INDEX \"Logon.ByUser\" ON Logon (Username DESC, logontime)");
  Exec("CREATE INDEX \"Logon.ByTyp\" ON Logon (Typ)");
  Schema().StoreIndexFlags("Logon", "ByTyp", false, true, true);
  const TableInfo* logon = Schema().FindTable("Logon");
  ASSERT_NE(logon, nullptr);
  const IndexInfo* byUser = logon->FindIndex("byuser");
  ASSERT_NE(byUser, nullptr);
  EXPECT_EQ(byUser->sqliteName, "Logon.ByUser");
  EXPECT_TRUE(byUser->unique);
  EXPECT_FALSE(byUser->primary);
  ASSERT_EQ(byUser->fields.size(), 2u);
  EXPECT_EQ(byUser->fields[0].name, "Username");
  EXPECT_TRUE(byUser->fields[0].descending);
  EXPECT_FALSE(byUser->fields[1].descending);
  const IndexInfo* byTyp = logon->FindIndex("ByTyp");
  ASSERT_NE(byTyp, nullptr);
  EXPECT_TRUE(byTyp->ignoreNulls);
  EXPECT_TRUE(byTyp->required);
  EXPECT_FALSE(byTyp->unique);
  // Indexes in creation order, the row key first.
  ASSERT_EQ(logon->indexes.size(), 3u);
  EXPECT_EQ(logon->indexes[1].name, "ByUser");
}

TEST_F(CatalogueTest, PrimaryKeyOverOtherColumnsIsAnIndexMarkedPrimary) {
  Exec("CREATE TABLE orders (customer VARCHAR(10) COLLATE NOCASE, number INTEGER, ID COUNTER)");
  Exec("CREATE UNIQUE INDEX \"orders.pk\" ON orders (customer, number)");
  Schema().StoreIndexFlags("orders", "pk", true, false, true);
  const TableInfo* orders = Schema().FindTable("orders");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->rowKey, "rowid");
  const IndexInfo* primary = orders->PrimaryIndex();
  ASSERT_NE(primary, nullptr);
  EXPECT_EQ(primary->name, "pk");
  EXPECT_EQ(primary->fields.size(), 2u);
  // A counter that is not the row key still reads as one.
  EXPECT_EQ(orders->FindColumn("ID")->type.attributes & dbAutoIncrField, dbAutoIncrField);
}

TEST_F(CatalogueTest, ForeignTablesGetSensibleTypes) {
  Exec("CREATE TABLE foreign_t (a INT, b REAL, c BLOB, d, e TEXT, f NUMERIC, PRIMARY KEY (a, b))");
  Exec("CREATE TABLE keyed (k TEXT PRIMARY KEY, v) WITHOUT ROWID");
  const TableInfo* table = Schema().FindTable("foreign_t");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->columns[0].type.type, dbLong);
  EXPECT_EQ(table->columns[1].type.type, dbDouble);
  EXPECT_EQ(table->columns[2].type.type, dbLongBinary);
  EXPECT_EQ(table->columns[3].type.type, dbMemo);
  EXPECT_EQ(table->columns[4].type.type, dbMemo);
  EXPECT_EQ(table->rowKey, "rowid");
  ASSERT_NE(table->PrimaryIndex(), nullptr);
  EXPECT_EQ(table->PrimaryIndex()->name, "PrimaryKey");
  const TableInfo* keyed = Schema().FindTable("keyed");
  ASSERT_NE(keyed, nullptr);
  EXPECT_TRUE(keyed->withoutRowId);
  EXPECT_EQ(keyed->rowKey, "");
}

TEST_F(CatalogueTest, TableNamesInCreationOrderWithSystemTablesMarked) {
  Exec("CREATE TABLE zeta (a INTEGER PRIMARY KEY AUTOINCREMENT)");
  Exec("CREATE TABLE alpha (a INTEGER)");
  std::vector<std::string> names = Schema().TableNames();
  // sqlite_sequence (made by AUTOINCREMENT) is SQLite's own and stays out.
  std::vector<std::string> expected = {"MSysObjects", "MSysQueries", "MSysProperties", "MSysIndexes", "zeta", "alpha"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(Schema().FindTable("msysobjects")->attributes, dbSystemObject);
  EXPECT_EQ(Schema().FindTable("sqlite_sequence"), nullptr);
  EXPECT_TRUE(Schema().HasTable("ALPHA"));
}

TEST_F(CatalogueTest, SchemaChangeByAnotherConnectionIsSeen) {
  Exec(kLogonTable);
  ASSERT_EQ(Schema().FindTable("Logon")->columns.size(), 8u);
  std::shared_ptr<const TableInfo> held = Schema().Table("Logon");
  auto other = DatabaseFile::Open(PathOf("a.db"), {});
  other->Connection().Exec("ALTER TABLE Logon ADD COLUMN extra DATETIME");
  other->Connection().Exec("CREATE TABLE later (x INTEGER)");
  EXPECT_EQ(Schema().FindTable("Logon")->columns.size(), 9u);
  EXPECT_TRUE(Schema().HasTable("later"));
  // What a holder kept stays as it was.
  EXPECT_EQ(held->columns.size(), 8u);
}

TEST_F(CatalogueTest, TablesRecordTheirDates) {
  Exec(kLogonTable);
  EXPECT_TRUE(Schema().FindTable("Logon")->dateCreated.IsNull());
  Schema().TouchObject("Logon", kObjectTypeTable, true);
  const Variant created = Schema().FindTable("Logon")->dateCreated;
  ASSERT_EQ(created.Type(), VarType::kDate);
  EXPECT_NEAR(created.AsDateTime(), lumo::Now(), 1.0 / 24);
  Schema().TouchObject("Logon", kObjectTypeTable, false);
  EXPECT_EQ(Schema().FindTable("Logon")->dateCreated, created);
  EXPECT_GE(Schema().FindTable("Logon")->lastUpdated.AsDateTime(), created.AsDateTime());
  Schema().ForgetObject("Logon");
  EXPECT_TRUE(Schema().FindTable("Logon")->dateCreated.IsNull());
}

TEST_F(CatalogueTest, QueriesAreStoredReplacedAndRemoved) {
  EXPECT_TRUE(Schema().Queries().empty());
  Schema().StoreQuery("Today", "SELECT * FROM Logon", true);
  Schema().StoreQuery("All", "SELECT * FROM Logon WHERE Typ = 'x'", true);
  EXPECT_EQ(DaoNumberOf([&] { Schema().StoreQuery("today", "SELECT 1", true); }), 3022);
  Schema().StoreQuery("TODAY", "SELECT Username FROM Logon", false);
  std::vector<QueryInfo> queries = Schema().Queries();
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[0].name, "Today");
  EXPECT_EQ(queries[0].sql, "SELECT Username FROM Logon");
  EXPECT_EQ(queries[0].dateCreated.Type(), VarType::kDate);
  ASSERT_TRUE(Schema().FindQuery("all").has_value());
  Schema().RemoveQuery("All");
  EXPECT_FALSE(Schema().FindQuery("all").has_value());
}

TEST_F(CatalogueTest, PropertiesKeepTypeValueAndCreationOrder) {
  Schema().StoreProperty("Logon", "logontime", "Format", dbText, Variant("Short Date"));
  Schema().StoreProperty("Logon", "logontime", "Caption", dbText, Variant("Anmeldung"));
  Schema().StoreProperty("Logon", "", "RowHeight", dbLong, Variant(300));
  Schema().StoreProperty("Logon", "logontime", "Format", dbText, Variant("General Date"));
  auto fieldProperties = Schema().Properties("logon", "LOGONTIME");
  ASSERT_EQ(fieldProperties.size(), 2u);
  EXPECT_EQ(fieldProperties[0].name, "Format");
  EXPECT_EQ(fieldProperties[0].value, Variant("General Date"));
  EXPECT_EQ(fieldProperties[1].name, "Caption");
  auto height = Schema().FindProperty("Logon", "", "rowheight");
  ASSERT_TRUE(height.has_value());
  EXPECT_EQ(height->type, dbLong);
  EXPECT_EQ(height->value, Variant(300));
  Schema().RemoveProperty("Logon", "logontime", "Caption");
  EXPECT_EQ(Schema().Properties("Logon", "logontime").size(), 1u);
  Schema().ForgetField("Logon", "logontime");
  EXPECT_TRUE(Schema().Properties("Logon", "logontime").empty());
  EXPECT_EQ(Schema().Properties("Logon", "").size(), 1u);
}

TEST_F(CatalogueTest, DefaultValuesReadAsJetText) {
  Exec(
      "CREATE TABLE d (t VARCHAR(10) COLLATE NOCASE DEFAULT 'it''s', n INTEGER DEFAULT -5, "
      "b BOOLEAN DEFAULT -1, dt DATETIME DEFAULT '2003-01-15 00:00:00.000', "
      "now DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%f','now','localtime')), "
      "stamp DATETIME DEFAULT CURRENT_TIMESTAMP, none INTEGER)");
  const TableInfo* table = Schema().FindTable("d");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->FindColumn("t")->defaultValue, "\"it's\"");
  EXPECT_EQ(table->FindColumn("n")->defaultValue, "-5");
  EXPECT_EQ(table->FindColumn("b")->defaultValue, "True");
  EXPECT_EQ(table->FindColumn("dt")->defaultValue, "#1/15/2003#");
  EXPECT_EQ(table->FindColumn("now")->defaultValue, "Now()");
  EXPECT_EQ(table->FindColumn("stamp")->defaultValue, "Now()");
  EXPECT_EQ(table->FindColumn("none")->defaultValue, "");
}

TEST_F(CatalogueTest, JetDefaultsBecomeSqliteDefaultsThatSurviveTheRoundTrip) {
  const JetFieldType text{dbText, 20, dbVariableField, 0, 0};
  const JetFieldType date{dbDate, 8, dbFixedField, 0, 0};
  const JetFieldType flag{dbBoolean, 1, dbFixedField, 0, 0};
  const JetFieldType number{dbLong, 4, dbFixedField, 0, 0};
  struct Case {
    const char* jet;
    JetFieldType type;
    const char* sqlite;
    const char* readBack;
  } cases[] = {
      {"\"abc\"", text, "'abc'", "\"abc\""},
      {"'O''Neil'", text, "'O''Neil'", "\"O'Neil\""},
      {"#1/15/2003 18:15:42#", date, "'2003-01-15 18:15:42.000'", "#1/15/2003 18:15:42#"},
      {"Now()", date, "(strftime('%Y-%m-%d %H:%M:%f','now','localtime'))", "Now()"},
      {"date()", date, "(strftime('%Y-%m-%d 00:00:00.000','now','localtime'))", "Date()"},
      {"Yes", flag, "-1", "True"},
      {"False", flag, "0", "False"},
      {"-12", number, "-12", "-12"},
      {"GenUniqueID()", number, "(random() >> 32)", "GenUniqueID()"},
      {"", number, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SqliteDefaultExpression(c.jet, c.type), c.sqlite) << c.jet;
    EXPECT_EQ(JetDefaultText(c.sqlite, c.type), c.readBack) << c.jet;
  }
  EXPECT_EQ(DaoNumberOf([&] { SqliteDefaultExpression("[Other] + 1", number); }), 3075);
  EXPECT_EQ(DaoNumberOf([&] { SqliteDefaultExpression("Nz(1)", number); }), 3075);
}

TEST_F(CatalogueTest, SqliteDefaultsFillRowsTheStockShellInserts) {
  const JetFieldType date{dbDate, 8, dbFixedField, 0, 0};
  Exec("CREATE TABLE d (id INTEGER PRIMARY KEY, at DATETIME DEFAULT " + SqliteDefaultExpression("Now()", date) +
       ", g GUID DEFAULT " + SqliteDefaultExpression("GenGUID()", {dbGUID, 16, dbFixedField, 0, 0}) + ")");
  file_->Close();
  EXPECT_EQ(testing::StockShell(PathOf("a.db"),
                                "INSERT INTO d (id) VALUES (1); SELECT length(at), "
                                "substr(at, 11, 1), length(g), substr(g, 1, 1) FROM d"),
            "23| |38|{\n");
}

}  // namespace
}  // namespace lumo::jet
