// Files made by other tools: the stock shell writes dates in shorter forms, Yes/No values as 1,
// text without NOCASE. Criteria, Find and Filter find the rows whose values read as what the
// criterion asks for, and a date criterion still searches the column's index.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet::testing {
namespace {

class ForeignFileTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("other.db");
    ASSERT_EQ(StockShell(path_,
                         "CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, born DATETIME, ok BOOLEAN);"
                         "CREATE INDEX people_born ON people (born);"
                         "INSERT INTO people VALUES (1, 'Anna', '2024-01-15 10:00:00', 1);"
                         "INSERT INTO people VALUES (2, 'ANNA', '2024-01-15', 0);"
                         "INSERT INTO people VALUES (3, 'Bert', '2024-01-15T10:00', 1);"
                         "INSERT INTO people VALUES (4, 'anna', '2024-01-16 08:30', NULL);"
                         "INSERT INTO people VALUES (5, 'Köln', '2024-01-14 23:59:59.5', 1);"
                         "INSERT INTO people VALUES (6, 'Bob', '2024-01-15 10:00:00.000', -1);"),
              "");
    database_ = engine_.OpenDatabase(path_);
  }
  void TearDown() override {
    database_.reset();
    TempFolderTest::TearDown();
  }

  std::vector<std::string> Ids(const std::string& where) {
    auto recordset = database_->OpenRecordset("SELECT id FROM people WHERE " + where + " ORDER BY id", dbOpenSnapshot);
    std::vector<std::string> ids;
    for (; !recordset->IsEOF(); recordset->MoveNext()) ids.push_back(VarToStr(recordset->Fields().Item("id")->Value()));
    return ids;
  }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(ForeignFileTest, CriteriaFindWhatTheValuesReadAs) {
  struct Case {
    const char* where;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases = {
      {"born = #1/15/2024 10:00:00#", {"1", "3", "6"}},
      {"#1/15/2024 10:00:00# = born", {"1", "3", "6"}},
      {"born = #1/15/2024#", {"2"}},
      {"born >= #1/15/2024#", {"1", "2", "3", "4", "6"}},
      {"born > #1/15/2024#", {"1", "3", "4", "6"}},
      {"born < #1/15/2024 10:00:00#", {"2", "5"}},
      {"born <= #1/15/2024 10:00:00#", {"1", "2", "3", "5", "6"}},
      {"born > #1/15/2024# AND born < #1/16/2024#", {"1", "3", "6"}},
      {"born <> #1/15/2024 10:00:00#", {"2", "4", "5"}},
      {"NOT born = #1/15/2024#", {"1", "3", "4", "5", "6"}},
      {"born BETWEEN #1/15/2024# AND #1/15/2024 10:00:00#", {"1", "2", "3", "6"}},
      {"born BETWEEN #1/16/2024 8:30# AND #1/15/2024 10:00#", {"1", "3", "4", "6"}},
      {"born IN (#1/15/2024#, #1/16/2024 8:30#)", {"2", "4"}},
      {"born = DateAdd('h', 10, #1/15/2024#)", {"1", "3", "6"}},
      {"ok = True", {"1", "3", "5", "6"}},
      {"True = ok", {"1", "3", "5", "6"}},
      {"ok = False", {"2"}},
      {"ok <> True", {"2"}},
      {"ok = -1", {"1", "3", "5", "6"}},
      {"ok IN (True)", {"1", "3", "5", "6"}},
      {"ok", {"1", "3", "5", "6"}},
      {"NOT ok", {"2"}},
      {"name = 'ANNA'", {"1", "2", "4"}},
      {"'anna' = name", {"1", "2", "4"}},
      {"name = 'KÖLN'", {"5"}},
      {"name > 'b' AND name < 'C'", {"3", "6"}},
      {"name IN ('anna', 'BOB')", {"1", "2", "4", "6"}},
      {"name BETWEEN 'a' AND 'Anna'", {"1", "2", "4"}},
      {"name Like 'AN*'", {"1", "2", "4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(Ids(c.where), c.ids);
  }
}

TEST_F(ForeignFileTest, ParametersFindAndFilterCompareAlike) {
  auto query =
      database_->CreateQueryDef("", "PARAMETERS [day] DateTime; SELECT id FROM people WHERE born = [day] ORDER BY id");
  query->Parameters().Item("day")->SetValue(Variant::FromDate(*OleDateFromParts({2024, 1, 15, 10, 0, 0, 0})));
  auto hits = query->OpenRecordset(dbOpenSnapshot);
  std::vector<std::string> ids;
  for (; !hits->IsEOF(); hits->MoveNext()) ids.push_back(VarToStr(hits->Fields().Item("id")->Value()));
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "3", "6"}));

  auto dynaset = database_->OpenRecordset("people", dbOpenDynaset);
  dynaset->FindFirst("born = #1/15/2024#");
  ASSERT_FALSE(dynaset->NoMatch());
  EXPECT_EQ(dynaset->Fields().Item("id")->Value(), Variant(2));
  dynaset->FindFirst("name = 'BERT'");
  ASSERT_FALSE(dynaset->NoMatch());
  EXPECT_EQ(dynaset->Fields().Item("id")->Value(), Variant(3));
  dynaset->FindNext("ok = False");
  EXPECT_TRUE(dynaset->NoMatch());
  dynaset->SetFilter("ok = True AND name = 'anna'");
  auto filtered = dynaset->OpenRecordset();
  EXPECT_EQ(filtered->Fields().Item("id")->Value(), Variant(1));
  filtered->MoveNext();
  EXPECT_TRUE(filtered->IsEOF());
  // A snapshot over a query finds the same way.
  auto snapshot = database_->OpenRecordset("SELECT name, born FROM people ORDER BY id", dbOpenSnapshot);
  snapshot->FindLast("name = 'ANNA' AND born < #1/16/2024#");
  ASSERT_FALSE(snapshot->NoMatch());
  EXPECT_EQ(snapshot->Fields().Item("born")->Value(), Variant::FromDate(*OleDateFromParts({2024, 1, 15, 0, 0, 0, 0})));
  // The file is left as the other tool wrote it.
  EXPECT_EQ(StockShell(path_, "SELECT born FROM people WHERE id = 3"), "2024-01-15T10:00\n");
}

TEST_F(ForeignFileTest, DateCriteriaSearchTheColumnsIndex) {
  class Schema : public JetSqlSchema {
   public:
    const std::vector<SchemaColumn>* Columns(std::string_view table) override {
      return table == "people" ? &columns_ : nullptr;
    }
    std::vector<SchemaColumn> columns_ = {{"id", DefaultFieldType(dbLong), true},
                                          {"born", DefaultFieldType(dbDate), true}};
  } schema;
  TranslateOptions options;
  options.schema = &schema;
  options.knownParameters = {"p"};
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  ASSERT_EQ(RegisterJetFunctions(db), SQLITE_OK);
  for (const char* where : {"born = #1/15/2024 10:00#", "born >= #1/15/2024#", "born < #1/15/2024#", "born = p",
                            "born BETWEEN #1/1/2024# AND #2/1/2024#"}) {
    SCOPED_TRACE(where);
    TranslatedStatement translated =
        TranslateStatement(std::string("PARAMETERS p DateTime; SELECT id FROM people WHERE ") + where, options);
    const std::string sql = "EXPLAIN QUERY PLAN " + translated.sql;
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    std::string plan;
    while (sqlite3_step(statement) == SQLITE_ROW)
      plan += reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
    sqlite3_finalize(statement);
    EXPECT_NE(plan.find("USING COVERING INDEX people_born (born"), std::string::npos) << plan;
  }
  sqlite3_close(db);
}

}  // namespace
}  // namespace lumo::jet::testing
