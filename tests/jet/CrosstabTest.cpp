// Crosstab queries (TRANSFORM ... PIVOT) on a real file: their columns, values, order and types,
// with and without fixed headings, as ad-hoc SQL and as stored query definitions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet::testing {
namespace {

class CrosstabTest : public RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    Execute(
        "CREATE TABLE Sales (ID COUNTER PRIMARY KEY, Product TEXT(20), Region TEXT(20), SaleDate DATETIME, "
        "Amount CURRENCY, Qty LONG, Rating DOUBLE)");
    const char* rows[] = {
        "'Apples', 'North', #1/15/2024#, 10, 1, 0.5",         "'Apples', 'South', #2/20/2024#, 20, 2, 2.5",
        "'Apples', 'North', #4/5/2024 14:30:00#, 30, 3, 0.5", "'Pears', 'North', #7/1/2024#, 5, 1, 2.5",
        "'Pears', 'south', #10/30/2024#, 7.5, 2, 0.5",        "'Pears', Null, #11/2/2024#, 1, 1, 2.5",
        "'Figs', 'North', #12/31/2024#, 2.25, 10, 0.5",
    };
    for (const char* row : rows) {
      Execute(std::string("INSERT INTO Sales (Product, Region, SaleDate, Amount, Qty, Rating) VALUES (") + row + ")");
    }
  }

  static std::vector<std::string> Names(Recordset& recordset) {
    std::vector<std::string> names;
    for (int i = 0; i < recordset.Fields().Count(); ++i) names.push_back(recordset.Fields().Item(i)->Name());
    return names;
  }
  // Every row as "v1|v2|...", Null as "-".
  static std::vector<std::string> Rows(Recordset& recordset) {
    std::vector<std::string> rows;
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
      std::string row;
      for (int i = 0; i < recordset.Fields().Count(); ++i) {
        const Variant value = recordset.Fields().Item(i)->Value();
        row += (i > 0 ? "|" : "") + (value.IsNull() ? std::string("-") : VarToStr(value));
      }
      rows.push_back(row);
    }
    return rows;
  }
};

using Strings = std::vector<std::string>;

constexpr const char* kByQuarter =
    "TRANSFORM Sum(Amount) AS SumOfAmount SELECT Product, Sum(Amount) AS [Total Of Amount] FROM Sales "
    "GROUP BY Product PIVOT \"Qtr \" & DatePart(\"q\", SaleDate)";

TEST_F(CrosstabTest, SalesByQuarterHaveAColumnPerQuarterAndEmptyCellsWhereNothingSold) {
  for (int type : {dbOpenSnapshot, dbOpenDynaset, dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    auto recordset = Open(kByQuarter, type);
    EXPECT_EQ(Names(*recordset), (Strings{"Product", "Total Of Amount", "Qtr 1", "Qtr 2", "Qtr 3", "Qtr 4"}));
    // A sum of Currency stays Currency in every cell.
    EXPECT_EQ(recordset->Fields().Item("Qtr 1")->Type(), dbCurrency);
    EXPECT_EQ(recordset->Fields().Item("Total Of Amount")->Type(), dbCurrency);
    EXPECT_FALSE(recordset->Updatable());
    EXPECT_EQ(Rows(*recordset), (Strings{"Apples|60|30|30|-|-", "Figs|2.25|-|-|-|2.25", "Pears|13.5|-|-|5|8.5"}));
  }
  // Execute runs no query that returns rows.
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute(kByQuarter, dbFailOnError); }), 3065);
}

TEST_F(CrosstabTest, FixedHeadingsGiveTheColumnsInTheirOrderEvenWithoutRows) {
  auto recordset = Open(
      "TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product "
      "PIVOT DatePart('q', SaleDate) IN (4, 1, 9)");
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "4", "1", "9"}));
  EXPECT_EQ(recordset->Fields().Item("4")->Type(), dbLong);
  EXPECT_EQ(Rows(*recordset), (Strings{"Apples|-|3|-", "Figs|10|-|-", "Pears|3|-|-"}));
  // Texts match their heading without regard to case; values without a heading count nowhere.
  recordset =
      Open("TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT Region IN ('South', 'Nowhere')");
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "South", "Nowhere"}));
  EXPECT_EQ(Rows(*recordset), (Strings{"Apples|1|-", "Figs|-|-", "Pears|1|-"}));
  // A heading given twice.
  EXPECT_EQ(DaoMessageOf([&] {
              Open("TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT Region IN ('North', 'NORTH')");
            }),
            "Cannot specify fixed column heading 'NORTH' in a crosstab query more than once");
}

TEST_F(CrosstabTest, HeadingsComeInValueOrderWithNullFirstAsTheAngleBrackets) {
  struct Case {
    const char* pivot;
    Strings names;
  } cases[] = {
      // Numbers by value, not as text (10 after 3).
      {"Qty", {"Product", "1", "2", "3", "10"}},
      {"Rating", {"Product", "0.5", "2.5"}},
      // Dates by time, named as Jet writes them.
      {"SaleDate",
       {"Product", "1/15/2024", "2/20/2024", "4/5/2024 2:30:00 PM", "7/1/2024", "10/30/2024", "11/2/2024",
        "12/31/2024"}},
      // One column for North, one for South and south; Null pivot values under "<>".
      {"UCase(Region)", {"Product", "<>", "NORTH", "SOUTH"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pivot);
    auto recordset =
        Open(std::string("TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT ") + c.pivot);
    EXPECT_EQ(Names(*recordset), c.names);
  }
  auto byRegion = Open("TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT Region");
  ASSERT_EQ(byRegion->Fields().Count(), 4);
  EXPECT_EQ(byRegion->Fields().Item(1)->Name(), "<>");
  // Count is Null, not 0, where the group has no row of the heading.
  EXPECT_EQ(Rows(*byRegion), (Strings{"Apples|-|2|1", "Figs|-|1|-", "Pears|1|1|1"}));
}

TEST_F(CrosstabTest, RowHeadingsOfSeveralFieldsAndAWhereThatNarrowsTheHeadings) {
  auto recordset = Open(
      "TRANSFORM Sum(Qty) SELECT Product, Region, Count(*) AS Sold FROM Sales "
      "WHERE Region Is Not Null AND Amount > 2 GROUP BY Product, Region PIVOT Year(SaleDate)");
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "Region", "Sold", "2024"}));
  EXPECT_EQ(Rows(*recordset),
            (Strings{"Apples|North|2|4", "Apples|South|1|2", "Figs|North|1|10", "Pears|North|1|1", "Pears|south|1|2"}));
  // An ORDER BY of the query decides the order of the rows.
  recordset = Open(
      "TRANSFORM Sum(Qty) SELECT Product FROM Sales WHERE Amount >= 5 GROUP BY Product "
      "ORDER BY Product DESC PIVOT UCase(Region)");
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "NORTH", "SOUTH"}));
  EXPECT_EQ(Rows(*recordset), (Strings{"Pears|1|2", "Apples|4|2"}));
}

TEST_F(CrosstabTest, StoredCrosstabIsTypeSixteenAndTakesItsParameters) {
  auto query = database_->CreateQueryDef(
      "ByRegion",
      "PARAMETERS Least Currency; TRANSFORM Sum(Qty) SELECT Product FROM Sales WHERE Amount > Least "
      "GROUP BY Product PIVOT UCase(Region)");
  EXPECT_EQ(query->Type(), dbQCrosstab);
  EXPECT_TRUE(query->ReturnsRecords());
  EXPECT_EQ(query->Parameters().Count(), 1);
  query->Parameters().Item("Least")->SetValue(Variant(6));
  auto recordset = query->OpenRecordset(dbOpenSnapshot);
  // The headings come from the rows the parameter lets through.
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "NORTH", "SOUTH"}));
  EXPECT_EQ(Rows(*recordset), (Strings{"Apples|4|2", "Pears|-|2"}));
  query->Parameters().Item("Least")->SetValue(Variant(100));
  recordset = query->OpenRecordset(dbOpenSnapshot);
  EXPECT_EQ(Names(*recordset), (Strings{"Product"}));
  EXPECT_TRUE(recordset->IsEOF());
  // Reopened from the file, by another engine.
  auto stored = Other().QueryDefs().Item("ByRegion");
  EXPECT_EQ(stored->Type(), dbQCrosstab);
  // A parameter nobody declared is asked for all the same.
  EXPECT_EQ(DaoMessageOf([&] {
              Open("TRANSFORM Sum(Qty) SELECT Product FROM Sales WHERE Amount > Least GROUP BY Product PIVOT Region");
            }),
            "Too few parameters. Expected 1");
}

TEST_F(CrosstabTest, EmptyTableGivesTheRowHeadingsAlone) {
  Execute("CREATE TABLE Nothing (Product TEXT(20), Region TEXT(20), Qty LONG)");
  auto recordset = Open("TRANSFORM Sum(Qty) SELECT Product FROM Nothing GROUP BY Product PIVOT Region");
  EXPECT_EQ(Names(*recordset), (Strings{"Product"}));
  EXPECT_TRUE(recordset->IsEOF());
  recordset = Open("TRANSFORM Sum(Qty) SELECT Product FROM Nothing GROUP BY Product PIVOT Region IN ('a', 'b')");
  EXPECT_EQ(Names(*recordset), (Strings{"Product", "a", "b"}));
  EXPECT_EQ(recordset->Fields().Item("a")->Type(), dbLong);
  EXPECT_TRUE(recordset->IsEOF());
}

TEST_F(CrosstabTest, MalformedTransformAnswersDaosErrors) {
  struct Case {
    const char* sql;
    int number;
  } cases[] = {
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product", 3143},
      {"TRANSFORM SELECT Product FROM Sales GROUP BY Product PIVOT Region", 3143},
      {"TRANSFORM Sum(Qty) FROM Sales PIVOT Region", 3143},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT", 3143},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region IN (Product)", 3143},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region IN ('a'", 3143},
      {"TRANSFORM Sum(Qty) SELECT Product INTO Copy FROM Sales GROUP BY Product PIVOT Region", 3143},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product UNION SELECT Region FROM Sales PIVOT Region",
       3143},
      {"TRANSFORM Sum((SELECT Max(Qty) FROM Sales)) SELECT Product FROM Sales GROUP BY Product PIVOT Region", 3143},
      {"TRANSFORM Qty SELECT Product FROM Sales GROUP BY Product PIVOT Region", 3122},
      {"TRANSFORM Sum(Qty) SELECT * FROM Sales PIVOT Region", 3123},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product HAVING Count(*) > 1 PIVOT Region", 3092},
      {"TRANSFORM Sum(Qty) SELECT Product FROM Nowhere GROUP BY Product PIVOT Region", 3078},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(DaoNumberOf([&] { Open(c.sql); }), c.number);
    EXPECT_EQ(DaoNumberOf([&] { database_->CreateQueryDef("", c.sql); }), c.number == 3078 ? 0 : c.number);
  }
  EXPECT_EQ(DaoMessageOf([&] { Open("TRANSFORM Qty SELECT Product FROM Sales GROUP BY Product PIVOT Region"); }),
            "You tried to execute a query that does not include the specified expression 'Qty' as part of an "
            "aggregate function");
}

TEST_F(CrosstabTest, PivotStaysANameOutsideACrosstab) {
  Execute("CREATE TABLE Pivot (Product TEXT(20), Pivot LONG)");
  Execute("INSERT INTO Pivot (Product, Pivot) VALUES ('Figs', 7)");
  auto plain = Open("SELECT Product, Pivot FROM Pivot WHERE Pivot = 7");
  EXPECT_EQ(Rows(*plain), (Strings{"Figs|7"}));
  auto crosstab = Open("TRANSFORM Sum([Pivot]) SELECT Product FROM [Pivot] GROUP BY Product PIVOT [Pivot]");
  EXPECT_EQ(Names(*crosstab), (Strings{"Product", "7"}));
  EXPECT_EQ(Rows(*crosstab), (Strings{"Figs|7"}));
}

}  // namespace
}  // namespace lumo::jet::testing
