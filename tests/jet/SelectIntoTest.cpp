// SELECT ... INTO makes a table whose fields have the types of the query's result: the source
// fields' types and sizes, computed fields' derived types, text that compares without regard
// to case, in the engine and in the stock shell alike; keys, indexes and counters stay behind.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Index.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/TableDef.h"
#include "jet/ValueCodec.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::StockShell;

// A field as the TableDef describes it.
struct FieldShape {
  std::string name;
  int type;
  int size;
};
bool operator==(const FieldShape& a, const FieldShape& b) {
  return a.name == b.name && a.type == b.type && a.size == b.size;
}
void PrintTo(const FieldShape& shape, std::ostream* out) {
  *out << shape.name << ":" << shape.type << "(" << shape.size << ")";
}

class SelectIntoTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("people.mdb");
    database_ = engine_.CreateDatabase(path_, dbLangGeneral, dbVersion40);
    Execute(
        "CREATE TABLE people (id COUNTER CONSTRAINT pk PRIMARY KEY, name TEXT(40), born DATETIME, "
        "paid CURRENCY, ok YESNO, score DOUBLE, small SHORT, big LONG, tiny BYTE, note MEMO)");
    Execute("CREATE INDEX people_name ON people (name)");
    Execute(
        "INSERT INTO people (name, born, paid, ok, score, small, big, tiny, note) VALUES "
        "('Anna', #1/15/2024 10:30:00#, 12.3456, True, 1.5, 3, 70000, 7, 'a long note')");
    Execute(
        "INSERT INTO people (name, born, paid, ok, score, small, big, tiny, note) VALUES "
        "('BERT', #3/1/2023#, 0.1, False, 2.25, -4, 5, 255, Null)");
  }
  void TearDown() override {
    database_.reset();
    TempFolderTest::TearDown();
  }
  void Execute(const std::string& sql) { database_->Execute(sql, dbFailOnError); }

  std::vector<FieldShape> Shapes(const std::string& table) {
    database_->TableDefs().Refresh();
    auto fields = database_->TableDefs().Item(table)->Fields();
    std::vector<FieldShape> shapes;
    for (int i = 0; i < fields.Count(); ++i) {
      auto field = fields.Item(i);
      shapes.push_back({field->Name(), field->Type(), field->Size()});
    }
    return shapes;
  }
  std::string Values(const std::string& sql) {
    auto recordset = database_->OpenRecordset(sql, dbOpenSnapshot);
    std::string text;
    for (; !recordset->IsEOF(); recordset->MoveNext()) {
      for (int i = 0; i < recordset->Fields().Count(); ++i) {
        text += (i > 0 ? "|" : "") + VarToStr(recordset->Fields().Item(i)->Value());
      }
      text += ";";
    }
    return text;
  }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(SelectIntoTest, TheNewTableHasTheTypesAndSizesOfItsSources) {
  Execute("SELECT * INTO copy FROM people");
  EXPECT_EQ(database_->RecordsAffected(), 2);
  const std::vector<FieldShape> expected = {
      {"id", dbLong, 4},    {"name", dbText, 40},   {"born", dbDate, 8},     {"paid", dbCurrency, 8},
      {"ok", dbBoolean, 1}, {"score", dbDouble, 8}, {"small", dbInteger, 2}, {"big", dbLong, 4},
      {"tiny", dbByte, 1},  {"note", dbMemo, 0},
  };
  EXPECT_EQ(Shapes("copy"), expected);
  // The values read back as they were: dates, amounts, Yes/No.
  EXPECT_EQ(Values("SELECT born, paid, ok, note FROM copy ORDER BY id"),
            Values("SELECT born, paid, ok, note FROM people ORDER BY id"));
  auto copy = database_->OpenRecordset("SELECT * FROM copy WHERE ok = True", dbOpenSnapshot);
  EXPECT_EQ(copy->Fields().Item("born")->Value(), Variant::FromDate(*OleDateFromParts({2024, 1, 15, 10, 30, 0, 0})));
  EXPECT_EQ(VarToStr(copy->Fields().Item("paid")->Value()), "12.3456");
  // Keys, indexes and the counter stay behind: a number may come twice.
  auto table = database_->TableDefs().Item("copy");
  EXPECT_EQ(table->Indexes().Count(), 0);
  EXPECT_EQ(table->Fields().Item("id")->Attributes() & dbAutoIncrField, 0);
  Execute("INSERT INTO copy (id, name) VALUES (1, 'again')");
  EXPECT_EQ(Values("SELECT count(*) FROM copy WHERE id = 1"), "2;");
  // The size holds as in any table.
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO copy (name) VALUES ('" + std::string(41, 'x') + "')"); }), 3163);
}

TEST_F(SelectIntoTest, TextComparesWithoutCaseInTheEngineAndTheStockShell) {
  Execute("SELECT name, note INTO copy FROM people");
  EXPECT_EQ(Values("SELECT name FROM copy WHERE name = 'anna'"), "Anna;");
  EXPECT_EQ(Values("SELECT name FROM copy WHERE note Like 'A LONG*'"), "Anna;");
  EXPECT_EQ(Values("SELECT name FROM copy ORDER BY name DESC"), "BERT;Anna;");
  EXPECT_EQ(StockShell(path_, "SELECT name FROM copy WHERE name = 'bert'"), "BERT\n");
  const std::string sql = StockShell(path_, "SELECT sql FROM sqlite_master WHERE name = 'copy'");
  EXPECT_NE(sql.find("\"name\" VARCHAR(40) COLLATE NOCASE"), std::string::npos) << sql;
  EXPECT_NE(sql.find("\"note\" TEXT COLLATE NOCASE"), std::string::npos) << sql;
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
}

TEST_F(SelectIntoTest, ComputedFieldsTakeTheirDerivedTypes) {
  Execute(
      "SELECT name & '!' AS shout, DateAdd('d', 1, born) AS nextDay, paid * 2 AS twice, score / 2 AS half, "
      "Len(name) AS letters INTO derived FROM people");
  const std::vector<FieldShape> derived = {
      {"shout", dbText, 255}, {"nextDay", dbDate, 8}, {"twice", dbCurrency, 8},
      {"half", dbDouble, 8},  {"letters", dbLong, 4},
  };
  EXPECT_EQ(Shapes("derived"), derived);
  EXPECT_EQ(Values("SELECT shout, nextDay, twice FROM derived WHERE shout = 'ANNA!'"),
            "Anna!|01/16/2024 10:30:00|24.6912;");

  Execute(
      "SELECT ok, Count(*) AS n, Max(born) AS latest, Sum(paid) AS total, Avg(small) AS mean INTO summary "
      "FROM people GROUP BY ok");
  const std::vector<FieldShape> summary = {
      {"ok", dbBoolean, 1}, {"n", dbLong, 4}, {"latest", dbDate, 8}, {"total", dbCurrency, 8}, {"mean", dbDouble, 8},
  };
  EXPECT_EQ(Shapes("summary"), summary);
  EXPECT_EQ(Values("SELECT n, total FROM summary WHERE ok = False"), "1|0.1;");
}

TEST_F(SelectIntoTest, StoredMakeTableQueriesAndRefusals) {
  auto query = database_->CreateQueryDef(
      "mine", "PARAMETERS who Text(40); SELECT * INTO mine_rows FROM people WHERE name = who");
  EXPECT_EQ(query->Type(), dbQMakeTable);
  // Without its parameter the query makes nothing.
  EXPECT_EQ(DaoNumberOf([&] { query->Execute(dbFailOnError); }), 3061);
  database_->TableDefs().Refresh();
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("mine_rows"); }), 3265);
  query->Parameters().Item("who")->SetValue(Variant("bert"));
  query->Execute(dbFailOnError);
  EXPECT_EQ(query->RecordsAffected(), 1);
  EXPECT_EQ(Shapes("mine_rows")[1], (FieldShape{"name", dbText, 40}));
  EXPECT_EQ(Values("SELECT name, tiny FROM mine_rows"), "BERT|255;");
  // A table of that name exists now: 3010 with its name, and the rows stay as they were.
  EXPECT_EQ(query->Parameters().Item("who")->Type(), dbText);
  EXPECT_EQ(DaoMessageOf([&] { query->Execute(dbFailOnError); }), "Table 'mine_rows' already exists");
  EXPECT_EQ(DaoNumberOf([&] { Execute("SELECT name INTO MINE_ROWS FROM people"); }), 3010);
  EXPECT_EQ(Values("SELECT count(*) FROM mine_rows"), "1;");
}

// The new table counts its rows as every table the engine makes does, whoever writes them
// (the stock shell included); a query that fails on a later row leaves neither the table nor
// its bookkeeping behind, and the same statement can then run again.
TEST_F(SelectIntoTest, TheNewTableKeepsItsRowCountAndAFailedQueryLeavesNothing) {
  Execute("SELECT name, big INTO copy FROM people");
  EXPECT_EQ(StockShell(path_,
                       "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'copy' "
                       "AND name LIKE '%rowcount%' ORDER BY name"),
            "copy.rowcount.delete\ncopy.rowcount.insert\n");
  EXPECT_EQ(StockShell(path_, "SELECT Rows FROM MSysRowCounts WHERE TableName = 'copy'"), "2\n");
  EXPECT_EQ(StockShell(path_,
                       "INSERT INTO copy (name) VALUES ('Cleo'), ('Dora'); "
                       "DELETE FROM copy WHERE name = 'BERT'; "
                       "SELECT Rows FROM MSysRowCounts WHERE TableName = 'copy'"),
            "3\n");
  database_->TableDefs().Refresh();
  EXPECT_EQ(database_->TableDefs().Item("copy")->RecordCount(), 3);
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");

  // Integer division by zero on the second row (small = -4).
  const std::string failing = "SELECT name, 100 \\ (small + 4) AS share INTO shares FROM people ORDER BY id";
  EXPECT_EQ(DaoNumberOf([&] { Execute(failing); }), 11);
  database_->TableDefs().Refresh();
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("shares"); }), 3265);
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM sqlite_master WHERE tbl_name = 'shares' OR name LIKE 'shares%'"),
            "0\n");
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM MSysRowCounts WHERE TableName = 'shares'"), "0\n");
  Execute("SELECT name, 100 \\ (small + 5) AS share INTO shares FROM people ORDER BY id");
  EXPECT_EQ(database_->RecordsAffected(), 2);
  EXPECT_EQ(Values("SELECT name, share FROM shares ORDER BY name"), "Anna|12;BERT|100;");
  EXPECT_EQ(Shapes("shares")[1], (FieldShape{"share", dbLong, 4}));
  EXPECT_EQ(StockShell(path_, "SELECT Rows FROM MSysRowCounts WHERE TableName = 'shares'"), "2\n");
}

}  // namespace
}  // namespace lumo::jet
