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
    Execute("CREATE TABLE Scores (ID COUNTER PRIMARY KEY, Name TEXT(20), Score LONG, Price CURRENCY, "
            "Born DATETIME, Ok YESNO, Note MEMO, Ratio DOUBLE, Small SHORT)");
    Execute("INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
            "VALUES ('anna', 10, 1.5, #1/15/2024#, True, 'first', 0.5, 1)");
    Execute("INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
            "VALUES ('bert', 30, 2.25, #3/1/2024 10:30:00#, False, 'second', 1.5, 2)");
    Execute("INSERT INTO Scores (Name, Score, Price, Born, Ok, Note, Ratio, Small) "
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
       {"Name", "Score"}, {"carl", "anna"}, dbOpenDynaset},
      {"SELECT Name FROM Scores WHERE ID NOT IN (SELECT ScoreID FROM Games WHERE Points > 5) ORDER BY Score",
       {"Name"}, {"bert"}, dbOpenDynaset},
      // Two levels deep, with a sort inside that must not become the outer one.
      {"SELECT Name FROM Scores WHERE ID IN (SELECT ScoreID FROM Games WHERE Points = "
       "(SELECT TOP 1 Points FROM Games ORDER BY Points DESC)) ORDER BY Name",
       {"Name"}, {"carl"}, dbOpenDynaset},
      // A subquery in the select list, plain and correlated.
      {"SELECT Name, (SELECT Count(*) FROM Games) AS Total FROM Scores ORDER BY Name",
       {"Name", "Total"}, {"anna", "bert", "carl"}, dbOpenDynaset},
      {"SELECT Name, (SELECT Sum(Points) FROM Games WHERE Games.ScoreID = Scores.ID) AS Points FROM Scores "
       "ORDER BY Name",
       {"Name", "Points"}, {"anna", "bert", "carl"}, dbOpenDynaset},
      {"SELECT s.Name, (SELECT Count(*) FROM Games AS g WHERE g.ScoreID = s.ID) AS Played FROM Scores AS s "
       "WHERE EXISTS (SELECT * FROM Games AS g WHERE g.ScoreID = s.ID) ORDER BY s.Name DESC",
       {"Name", "Played"}, {"carl", "anna"}, dbOpenDynaset},
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

}  // namespace
}  // namespace lumo::jet::testing
