// What a query hands out: the columns of the outermost query whatever subqueries it holds,
// and the DAO type of every column, computed ones included.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet::testing {
namespace {

class QueryColumnsTest : public RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    Execute(
        "CREATE TABLE Scores (ID COUNTER PRIMARY KEY, Name TEXT(20), Score LONG, Price CURRENCY, "
        "Born DATETIME, Ok YESNO, Note MEMO, Ratio DOUBLE, Small SHORT)");
    Execute(
        "INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
        "VALUES ('anna', 10, 1.5, #1/15/2024#, True, 'first', 0.5, 1)");
    Execute(
        "INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
        "VALUES ('bert', 30, 2.25, #3/1/2024 10:30:00#, False, 'second', 1.5, 2)");
    Execute(
        "INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
        "VALUES ('carl', 20, 3, #2/10/2024#, True, 'third', 2.5, 3)");
    Execute("CREATE TABLE Games (ID COUNTER PRIMARY KEY, ScoreID LONG, Points LONG)");
    Execute("INSERT INTO Games (ScoreID, Points) VALUES (1, 4)");
    Execute("INSERT INTO Games (ScoreID, Points) VALUES (1, 6)");
    Execute("INSERT INTO Games (ScoreID, Points) VALUES (3, 7)");
  }

  // The field names of a recordset, in order.
  static std::vector<std::string> Names(Recordset& recordset) {
    std::vector<std::string> names;
    for (int i = 0; i < recordset.Fields().Count(); ++i) names.push_back(recordset.Fields().Item(i)->Name());
    return names;
  }
};

// --- the outermost query's columns -----------------------------------------------------------

struct OuterCase {
  const char* sql;
  std::vector<std::string> names;
  std::vector<std::string> firstColumn;  // the first field on every row, as text
  int type;                              // the recordset type asked for
};

TEST_F(QueryColumnsTest, SubqueriesAnywhereLeaveTheOuterQuerysColumnsAndSort) {
  const std::vector<OuterCase> cases = {
      {"SELECT Name FROM Scores WHERE Score = (SELECT Max(Score) FROM Scores)", {"Name"}, {"bert"}, dbOpenDynaset},
      {"SELECT Name FROM Scores WHERE Score = (SELECT Max(Score) FROM Scores)", {"Name"}, {"bert"}, dbOpenSnapshot},
      {"SELECT Name, Score FROM Scores WHERE ID IN (SELECT ScoreID FROM Games) ORDER BY Name DESC",
       {"Name", "Score"},
       {"carl", "anna"},
       dbOpenDynaset},
      {"SELECT Name FROM Scores WHERE ID NOT IN (SELECT ScoreID FROM Games WHERE Points > 5) ORDER BY Score",
       {"Name"},
       {"bert"},
       dbOpenDynaset},
      // Two levels deep, with a sort inside that must not become the outer one.
      {"SELECT Name FROM Scores WHERE ID IN (SELECT ScoreID FROM Games WHERE Points = "
       "(SELECT TOP 1 Points FROM Games ORDER BY Points DESC)) ORDER BY Name",
       {"Name"},
       {"carl"},
       dbOpenDynaset},
      // A subquery in the select list, plain and correlated.
      {"SELECT Name, (SELECT Count(*) FROM Games) AS Total FROM Scores ORDER BY Name",
       {"Name", "Total"},
       {"anna", "bert", "carl"},
       dbOpenDynaset},
      {"SELECT Name, (SELECT Sum(Points) FROM Games WHERE Games.ScoreID = Scores.ID) AS Points FROM Scores "
       "ORDER BY Name",
       {"Name", "Points"},
       {"anna", "bert", "carl"},
       dbOpenDynaset},
      {"SELECT s.Name, (SELECT Count(*) FROM Games AS g WHERE g.ScoreID = s.ID) AS Played FROM Scores AS s "
       "WHERE EXISTS (SELECT * FROM Games AS g WHERE g.ScoreID = s.ID) ORDER BY s.Name DESC",
       {"Name", "Played"},
       {"carl", "anna"},
       dbOpenDynaset},
  };
  for (const OuterCase& c : cases) {
    SCOPED_TRACE(c.sql);
    auto recordset = Open(c.sql, c.type);
    EXPECT_EQ(Names(*recordset), c.names);
    EXPECT_EQ(ReadOn(*recordset, c.names[0]), c.firstColumn);
  }
}

TEST_F(QueryColumnsTest, CorrelatedSubqueryInTheSelectListGivesItsValuePerRow) {
  auto recordset = Open(
      "SELECT Name, (SELECT Sum(Points) FROM Games WHERE Games.ScoreID = Scores.ID) AS Points FROM Scores "
      "ORDER BY Name",
      dbOpenDynaset);
  EXPECT_EQ(recordset->Type(), dbOpenDynaset);
  EXPECT_EQ(ReadOn(*recordset, "Points"), (std::vector<std::string>{"10", "", "7"}));
  // The field is computed: it cannot be written.
  recordset->MoveFirst();
  recordset->Edit();
  EXPECT_EQ(DaoNumberOf([&] { recordset->Fields().Item("Points")->SetValue(Variant(1)); }), 3113);
}

// --- computed columns have DAO types ----------------------------------------------------------

Variant DateValue(int year, int month, int day, int hour = 0, int minute = 0) {
  return Variant::FromDate(*OleDateFromParts({year, month, day, hour, minute, 0, 0}));
}
Variant Money(int64_t scaled) { return Variant::FromCurrency(Currency::FromScaled(scaled)); }
Variant Long(int32_t value) { return Variant(value); }
Variant Short(int16_t value) { return Variant::FromSmallint(value); }

struct TypeCase {
  const char* expression;  // one column, read on the first row (anna, or the only row)
  int type;                // Field.Type
  Variant value;           // Field.Value, type and value
};

TEST_F(QueryColumnsTest, ComputedColumnsTakeTheTypeOfTheirExpression) {
  const std::vector<TypeCase> cases = {
      // aggregates
      {"Count(*)", dbLong, Long(3)},
      {"Count(Note)", dbLong, Long(3)},
      {"Max(Score)", dbLong, Long(30)},
      {"Min(Born)", dbDate, DateValue(2024, 1, 15)},
      {"Max(Born)", dbDate, DateValue(2024, 3, 1, 10, 30)},
      {"Max(Name)", dbText, Variant("carl")},
      {"Sum(Score)", dbLong, Long(60)},
      {"Sum(Small)", dbLong, Long(6)},
      {"Sum(Price)", dbCurrency, Money(67500)},
      {"Avg(Score)", dbDouble, Variant(20.0)},
      {"Sum(Ratio)", dbDouble, Variant(4.5)},
      {"StDev(Score)", dbDouble, Variant(10.0)},
      {"First(Price)", dbCurrency, Money(15000)},
      {"Last(Ok)", dbBoolean, Variant(true)},
      // dates
      {"DateAdd('d', 1, Born)", dbDate, DateValue(2024, 1, 16)},
      {"Born + 2", dbDate, DateValue(2024, 1, 17)},
      {"Born - 1", dbDate, DateValue(2024, 1, 14)},
      {"#1/20/2024# - Born", dbDouble, Variant(5.0)},
      {"DateSerial(2024, 2, 29)", dbDate, DateValue(2024, 2, 29)},
      {"DateValue('2024-05-06')", dbDate, DateValue(2024, 5, 6)},
      {"CDate('1/2/2024')", dbDate, DateValue(2024, 1, 2)},
      {"Year(Born)", dbInteger, Short(2024)},
      {"DateDiff('d', Born, #1/20/2024#)", dbLong, Long(5)},
      {"#12/24/2024#", dbDate, DateValue(2024, 12, 24)},
      // text
      {"Name & '!'", dbText, Variant("anna!")},
      {"Note & ''", dbMemo, Variant("first")},
      {"UCase(Name)", dbText, Variant("ANNA")},
      {"Left(Note, 2)", dbMemo, Variant("fi")},
      {"Len(Name)", dbLong, Long(4)},
      {"CStr(Score)", dbText, Variant("10")},
      {"Format(Score, '000')", dbText, Variant("010")},
      // arithmetic
      {"Score * 2", dbLong, Long(20)},
      {"Small * Small", dbInteger, Short(1)},
      {"Score / 4", dbDouble, Variant(2.5)},
      {"Score \\ 3", dbLong, Long(3)},
      {"Score Mod 3", dbLong, Long(1)},
      {"Score ^ 2", dbDouble, Variant(100.0)},
      {"Ratio + Score", dbDouble, Variant(10.5)},
      {"-Small", dbInteger, Short(-1)},
      {"Price * 2", dbCurrency, Money(30000)},
      {"CCur(Ratio)", dbCurrency, Money(5000)},
      {"CLng(Ratio + 1)", dbLong, Long(2)},
      {"Abs(Score - 40)", dbLong, Long(30)},
      // truth values and decisions
      {"Score > 15", dbBoolean, Variant(false)},
      {"Name Like 'a*'", dbBoolean, Variant(true)},
      {"IsNull(Note)", dbBoolean, Variant(false)},
      {"IIf(Ok, Score, Null)", dbLong, Long(10)},
      {"IIf(Ok, 'yes', 'no')", dbText, Variant("yes")},
      {"IIf(Ok, Born, Null)", dbDate, DateValue(2024, 1, 15)},
      {"Switch(Score < 15, 'low', Score >= 15, 'high')", dbText, Variant("low")},
      // subqueries and what only the values tell
      {"(SELECT Max(Points) FROM Games)", dbLong, Long(7)},
      {"(SELECT Min(Born) FROM Scores AS s)", dbDate, DateValue(2024, 1, 15)},
      {"IIf(Ok, Score, 'none')", dbLong, Long(10)},
      {"IIf(Ok, Born, 'none')", dbDate, DateValue(2024, 1, 15)},
      {"Null", dbText, Variant::Null()},
  };
  for (const TypeCase& c : cases) {
    for (const int type : {dbOpenDynaset, dbOpenSnapshot}) {
      const std::string sql = std::string("SELECT ") + c.expression + " AS x FROM Scores ORDER BY ID";
      SCOPED_TRACE(sql + (type == dbOpenDynaset ? " (dynaset)" : " (snapshot)"));
      auto recordset = Open(sql, type);
      auto field = recordset->Fields().Item("x");
      EXPECT_EQ(field->Type(), c.type);
      EXPECT_EQ(field->Value(), c.value) << VarToStr(field->Value());
    }
  }
}

TEST_F(QueryColumnsTest, UnnamedExpressionsAreNamedAndTypedLikeNamedOnes) {
  auto recordset = Open("SELECT Name, Count(*), Max(Born) FROM Scores GROUP BY Name ORDER BY Name");
  EXPECT_EQ(Names(*recordset), (std::vector<std::string>{"Name", "Expr1000", "Expr1001"}));
  EXPECT_EQ(recordset->Fields().Item("Name")->Type(), dbText);
  EXPECT_EQ(recordset->Fields().Item("Name")->Size(), 20);
  EXPECT_EQ(recordset->Fields().Item("Expr1000")->Type(), dbLong);
  EXPECT_EQ(recordset->Fields().Item("Expr1001")->Type(), dbDate);
  EXPECT_EQ(Value(*recordset, "Expr1001"), DateValue(2024, 1, 15));
}

TEST_F(QueryColumnsTest, TypesComeFromTheTablesOfEachQueryLevel) {
  // Aliases, joins, a derived table and a union: each name is looked up where it is visible.
  struct Case {
    const char* sql;
    std::vector<int> types;
  };
  const std::vector<Case> cases = {
      {"SELECT Max(s.Born) AS b, Sum(g.Points) AS p FROM Scores AS s INNER JOIN Games AS g ON g.ScoreID = s.ID",
       {dbDate, dbLong}},
      {"SELECT q.Latest, q.Latest + 1 AS Later FROM (SELECT Max(Born) AS Latest FROM Scores) AS q", {dbDate, dbDate}},
      {"SELECT Max(Price) AS m FROM Scores UNION SELECT Min(Price) FROM Scores", {dbCurrency}},
      {"SELECT *, Score * 1.5 AS Weighted FROM Scores WHERE ID = 1",
       {dbLong, dbText, dbLong, dbCurrency, dbDate, dbBoolean, dbMemo, dbDouble, dbInteger, dbDouble}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    auto recordset = Open(c.sql);
    std::vector<int> types;
    for (int i = 0; i < recordset->Fields().Count(); ++i) types.push_back(recordset->Fields().Item(i)->Type());
    EXPECT_EQ(types, c.types);
  }
}

TEST_F(QueryColumnsTest, DeclaredParametersTypeTheColumnsThatShowThem) {
  auto query = database_->CreateQueryDef("",
                                         "PARAMETERS [When] DateTime, [Plain] Text; SELECT [When] AS w, [Plain] AS p "
                                         "FROM Scores WHERE ID = 1");
  query->Parameters().Item("When")->SetValue(DateValue(2024, 6, 1));
  query->Parameters().Item("Plain")->SetValue(Variant("x"));
  auto recordset = query->OpenRecordset(dbOpenSnapshot);
  EXPECT_EQ(recordset->Fields().Item("w")->Type(), dbDate);
  EXPECT_EQ(Value(*recordset, "w"), DateValue(2024, 6, 1));
  EXPECT_EQ(recordset->Fields().Item("p")->Type(), dbText);
  EXPECT_EQ(Value(*recordset, "p"), Variant("x"));
}

}  // namespace
}  // namespace lumo::jet::testing
