#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;

constexpr int kRows = 5000;

class RecordsetKeysetTestFixture : public testing::RecordsetTestBase {
 protected:
  // The journal's table with kRows rows, IDs 1 .. kRows; user<i % 3>.
  void MakeRows() {
    MakeLogon(0);
    auto workspace = engine_.DefaultWorkspace();
    workspace->BeginTrans();
    for (int i = 1; i <= kRows; ++i) AddLogon("user" + std::to_string(i % 3), "PC" + std::to_string(i), i % 900);
    workspace->CommitTrans();
  }
  // The IDs a snapshot of the query shows, in its order.
  std::vector<std::string> StockIds(const std::string& sql) {
    auto snapshot = Open(sql, dbOpenSnapshot);
    return ReadOn(*snapshot, "ID");
  }
  // The IDs from the current row to EOF; a row deleted by someone else counts as "gone".
  static std::vector<std::string> IdsOn(Recordset& recordset, bool forward) {
    std::vector<std::string> ids;
    while (forward ? !recordset.IsEOF() : !recordset.IsBOF()) {
      std::string id;
      if (DaoNumberOf([&] { id = VarToStr(Value(recordset, "ID")); }) == 3167) id = "gone";
      ids.push_back(id);
      forward ? recordset.MoveNext() : recordset.MovePrevious();
    }
    return ids;
  }
};

// Runs on every storage back-end.
class RecordsetKeysetTest : public testing::OnEachBackEnd<RecordsetKeysetTestFixture> {};
// Looks at the file's kept row counts (MSysRowCounts), which a server does not have.
class RecordsetKeysetTestOnFile : public RecordsetKeysetTestFixture {};

TEST_P(RecordsetKeysetTest, MoveLastCountsExactlyAndWalksBackThroughEveryRow) {
  MakeRows();
  for (const std::string sql : {"SELECT * FROM Logon", "SELECT * FROM Logon WHERE Username = 'user1'"}) {
    SCOPED_TRACE(sql);
    const std::vector<std::string> stock = StockIds(sql);
    auto dynaset = Open(sql, dbOpenDynaset);
    dynaset->MoveNext();
    dynaset->MoveLast();
    EXPECT_EQ(VarToStr(Value(*dynaset, "ID")), stock.back());
    EXPECT_EQ(dynaset->RecordCount(), static_cast<int>(stock.size()));
    EXPECT_EQ(dynaset->AbsolutePosition(), static_cast<int>(stock.size()) - 1);
    // Walking back past the part read backwards and into the rows not yet read.
    for (int i = 0; i < 300; ++i) dynaset->MovePrevious();
    EXPECT_EQ(VarToStr(Value(*dynaset, "ID")), stock[stock.size() - 301]);
    EXPECT_EQ(dynaset->AbsolutePosition(), static_cast<int>(stock.size()) - 301);
    std::vector<std::string> back = IdsOn(*dynaset, false);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, std::vector<std::string>(stock.begin(), stock.end() - 300));
    EXPECT_EQ(dynaset->RecordCount(), static_cast<int>(stock.size()));
  }
}

TEST_P(RecordsetKeysetTest, AfterMoveLastForwardWalksAndJumpsMeetEveryRowOnce) {
  MakeRows();
  const std::vector<std::string> stock = StockIds("SELECT * FROM Logon");
  auto dynaset = Open("Logon", dbOpenDynaset);
  dynaset->MoveLast();
  dynaset->MovePrevious();
  // Jumps into the unread middle land where a full list would.
  dynaset->MoveFirst();
  dynaset->Move(2500);
  EXPECT_EQ(IdOf(*dynaset), 2501);
  EXPECT_EQ(dynaset->AbsolutePosition(), 2500);
  dynaset->SetAbsolutePosition(4990);
  EXPECT_EQ(IdOf(*dynaset), 4991);
  dynaset->SetPercentPosition(50.0f);
  EXPECT_EQ(dynaset->AbsolutePosition(), 2500);
  dynaset->MoveFirst();
  EXPECT_EQ(IdsOn(*dynaset, true), stock);
  EXPECT_EQ(dynaset->RecordCount(), kRows);
  // A jump over the meeting point, both ways.
  dynaset->MoveLast();
  dynaset->Move(-kRows + 1);
  EXPECT_EQ(IdOf(*dynaset), 1);
  dynaset->Move(kRows - 2);
  EXPECT_EQ(IdOf(*dynaset), kRows - 1);
}

TEST_P(RecordsetKeysetTest, BookmarksAndClonesWorkOnEitherSideOfTheUnreadRows) {
  MakeRows();
  auto dynaset = Open("Logon", dbOpenDynaset);
  dynaset->MoveNext();
  const Variant head = dynaset->Bookmark();
  dynaset->MoveLast();
  const Variant last = dynaset->Bookmark();
  dynaset->Move(-150);
  const Variant tail = dynaset->Bookmark();
  EXPECT_EQ(IdOf(*dynaset), kRows - 150);

  auto clone = dynaset->Clone();
  clone->SetBookmark(tail);
  clone->MovePrevious();
  EXPECT_EQ(IdOf(*clone), kRows - 151);
  clone->MoveLast();
  EXPECT_EQ(IdOf(*clone), kRows);
  EXPECT_EQ(clone->RecordCount(), kRows);

  // The rows between are read from the front; the bookmarks keep naming their rows.
  dynaset->MoveFirst();
  EXPECT_EQ(IdsOn(*dynaset, true).size(), static_cast<size_t>(kRows));
  dynaset->SetBookmark(head);
  EXPECT_EQ(IdOf(*dynaset), 2);
  dynaset->SetBookmark(tail);
  EXPECT_EQ(IdOf(*dynaset), kRows - 150);
  EXPECT_EQ(dynaset->AbsolutePosition(), kRows - 151);
  clone->SetBookmark(last);
  EXPECT_EQ(IdOf(*clone), kRows);
  clone->SetBookmark(head);
  EXPECT_EQ(IdOf(*clone), 2);
}

TEST_P(RecordsetKeysetTest, RowsAddedBeforeOrAfterMoveLastComeLastOnce) {
  MakeRows();
  for (bool addFirst : {true, false}) {
    SCOPED_TRACE(addFirst);
    auto dynaset = Open("Logon", dbOpenDynaset);
    if (!addFirst) dynaset->MoveLast();
    dynaset->AddNew();
    dynaset->Fields().Item("Username")->SetValue(Variant("added"));
    dynaset->Update();
    const int added = kRows + (addFirst ? 1 : 2);
    dynaset->MoveLast();
    EXPECT_EQ(IdOf(*dynaset), added);
    EXPECT_EQ(dynaset->RecordCount(), added);
    dynaset->MoveNext();
    EXPECT_TRUE(dynaset->IsEOF());
    dynaset->SetBookmark(dynaset->LastModified());
    EXPECT_EQ(IdOf(*dynaset), added);
    dynaset->MovePrevious();
    std::vector<std::string> back = IdsOn(*dynaset, false);
    EXPECT_EQ(back.size(), static_cast<size_t>(added - 1));
    EXPECT_EQ(back.front(), std::to_string(added - 1));
    EXPECT_EQ(std::set<std::string>(back.begin(), back.end()).size(), back.size());
    dynaset->MoveFirst();
    std::vector<std::string> ids = IdsOn(*dynaset, true);
    EXPECT_EQ(ids.back(), std::to_string(added));
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
  }
}

TEST_P(RecordsetKeysetTest, AnotherProcessChangingTheUnreadRowsLeavesAConsistentList) {
  MakeRows();
  auto forward = Open("Logon", dbOpenDynaset);
  auto backward = Open("Logon", dbOpenDynaset);
  forward->MoveLast();
  backward->MoveLast();
  // Deleted in the unread middle, deleted among the rows read backwards, and new rows.
  Other().Execute("DELETE FROM Logon WHERE ID BETWEEN 2000 AND 2099 OR ID = 4990");
  Other().Execute("INSERT INTO Logon (Username) VALUES ('late')");

  // Rows deleted in a part of the list that was read stay in it, answering 3167.
  const bool middleUnread = BackEnd().unreadMiddle;
  std::vector<std::string> expected;
  for (int id = 1; id <= kRows; ++id) {
    const bool inMiddle = id >= 2000 && id <= 2099;
    if (inMiddle && middleUnread) continue;
    expected.push_back(id == 4990 || inMiddle ? "gone" : std::to_string(id));
  }
  const int count = middleUnread ? kRows - 100 : kRows;
  forward->MoveFirst();
  EXPECT_EQ(IdsOn(*forward, true), expected);
  forward->MoveLast();
  EXPECT_EQ(forward->RecordCount(), count);

  std::vector<std::string> back = IdsOn(*backward, false);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, expected);
  backward->MoveFirst();
  backward->MoveLast();
  EXPECT_EQ(backward->RecordCount(), count);
}

// The rows a dynaset shows are fixed when it opens: another process's new rows stay out,
// however the list is read (walked, jumped to its end, searched, cloned), until Requery.
TEST_P(RecordsetKeysetTest, RowsAddedElsewhereAfterTheOpenWaitForRequery) {
  MakeRows();
  struct Case {
    const char* sql;
    bool moveLastFirst;  // the list's end read before the new rows come
    // The snapshot that gives the dynaset's order: a dynaset's rows that sort alike follow
    // their key, a snapshot's in whatever order the back-end finds them.
    const char* stock;
  };
  const std::vector<Case> cases = {
      {"Logon", false, "Logon"},
      {"Logon", true, "Logon"},
      {"SELECT * FROM Logon WHERE Username = 'user1'", false, "SELECT * FROM Logon WHERE Username = 'user1'"},
      {"SELECT * FROM Logon WHERE Username = 'user1'", true, "SELECT * FROM Logon WHERE Username = 'user1'"},
      {"SELECT * FROM Logon ORDER BY Computer DESC", false, "SELECT * FROM Logon ORDER BY Computer DESC, ID"},
  };
  constexpr int kLate = 3;
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sql) + (c.moveLastFirst ? " after MoveLast" : ""));
    const std::vector<std::string> before = StockIds(c.stock);
    auto dynaset = Open(c.sql, dbOpenDynaset);
    if (c.moveLastFirst) dynaset->MoveLast();
    // The new rows match the condition; 'PC0 ...' sorts last in descending order.
    const std::string computer = "PC0 " + std::to_string(++round);
    for (int i = 0; i < kLate; ++i) {
      Other().Execute("INSERT INTO Logon (Username, Computer) VALUES ('user1', '" + computer + "')", dbFailOnError);
    }
    auto clone = dynaset->Clone();
    dynaset->MoveFirst();
    EXPECT_EQ(IdsOn(*dynaset, true), before);
    dynaset->MoveLast();
    EXPECT_EQ(VarToStr(Value(*dynaset, "ID")), before.back());
    EXPECT_EQ(dynaset->RecordCount(), static_cast<int>(before.size()));
    dynaset->FindFirst("Computer = '" + computer + "'");
    EXPECT_TRUE(dynaset->NoMatch());
    clone->MoveLast();
    EXPECT_EQ(VarToStr(Value(*clone, "ID")), before.back());
    clone->MoveFirst();
    EXPECT_EQ(IdsOn(*clone, true).size(), before.size());

    dynaset->Requery();
    const std::vector<std::string> after = StockIds(c.stock);
    ASSERT_EQ(after.size(), before.size() + kLate);
    EXPECT_EQ(IdsOn(*dynaset, true), after);
    dynaset->MoveLast();
    EXPECT_EQ(dynaset->RecordCount(), static_cast<int>(after.size()));
    dynaset->FindFirst("Computer = '" + computer + "'");
    EXPECT_FALSE(dynaset->NoMatch());
  }
}

// Rows of the list that another process deletes stay in it and answer 3167 when the cursor
// lands on them; reading on, editing and counting go on around them.
TEST_P(RecordsetKeysetTest, RowsDeletedElsewhereAnswerRecordIsDeleted) {
  MakeLogon(300);
  auto dynaset = Open("Logon", dbOpenDynaset);
  dynaset->MoveLast();  // every key known: the first chunk and the tail
  EXPECT_EQ(dynaset->RecordCount(), 300);
  Other().Execute("DELETE FROM Logon WHERE ID IN (2, 299)", dbFailOnError);
  dynaset->MoveFirst();
  dynaset->MoveNext();
  EXPECT_EQ(DaoNumberOf([&] { Value(*dynaset, "ID"); }), 3167);
  EXPECT_EQ(DaoMessageOf([&] { Value(*dynaset, "Username"); }), "Record is deleted");
  EXPECT_EQ(DaoNumberOf([&] { dynaset->Edit(); }), 3167);
  dynaset->MoveNext();
  EXPECT_EQ(IdOf(*dynaset), 3);
  dynaset->MoveLast();
  EXPECT_EQ(IdOf(*dynaset), 300);
  dynaset->MovePrevious();
  EXPECT_EQ(DaoNumberOf([&] { Value(*dynaset, "ID"); }), 3167);
  // The rows stay counted, as the list still holds them.
  EXPECT_EQ(dynaset->RecordCount(), 300);
  dynaset->Requery();
  dynaset->MoveLast();
  EXPECT_EQ(dynaset->RecordCount(), 298);
}

// A dynaset opened on an empty table stays empty while others fill it; what it adds itself it
// shows.
TEST_P(RecordsetKeysetTest, AnEmptyTableAtTheOpenGivesAnEmptyMembership) {
  MakeLogon(0);
  auto dynaset = Open("SELECT * FROM Logon ORDER BY Username", dbOpenDynaset);
  EXPECT_TRUE(dynaset->IsEOF());
  Other().Execute("INSERT INTO Logon (Username) VALUES ('elsewhere')", dbFailOnError);
  EXPECT_EQ(DaoNumberOf([&] { dynaset->MoveLast(); }), 3021);  // no current record: still empty
  EXPECT_TRUE(dynaset->IsEOF());
  EXPECT_EQ(dynaset->RecordCount(), 0);
  dynaset->AddNew();
  dynaset->Fields().Item("Username")->SetValue(Variant("here"));
  dynaset->Update();
  dynaset->MoveFirst();
  EXPECT_EQ(ReadOn(*dynaset, "Username"), (std::vector<std::string>{"here"}));
  EXPECT_EQ(dynaset->RecordCount(), 1);
  dynaset->Requery();
  EXPECT_EQ(ReadOn(*dynaset, "Username"), (std::vector<std::string>{"elsewhere", "here"}));
}

// RecordCount after MoveLast on a whole table takes the table's kept row count where it has
// one: the rows others added since the open are in that count and must not be in the
// dynaset's. Rows others delete count out whether the list had read them or not, but a row
// it had read stays in it and answers 3167. The same holds for a table another tool made,
// which is counted by reading it.
TEST_F(RecordsetKeysetTestOnFile, TheKeptRowCountLeavesOutRowsAddedAfterTheOpen) {
  MakeRows();
  EXPECT_EQ(Outside("CREATE TABLE Plain (ID INTEGER PRIMARY KEY, Username TEXT); "
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                    "INSERT INTO Plain SELECT i, 'user' || (i % 3) FROM n"),
            "");
  for (const std::string table : {"Logon", "Plain"}) {
    SCOPED_TRACE(table);
    auto dynaset = Open(table, dbOpenDynaset);
    EXPECT_EQ(IdOf(*dynaset), 1);  // the list's first chunk is read
    for (int i = 0; i < 4; ++i) Other().Execute("INSERT INTO " + table + " (Username) VALUES ('late')", dbFailOnError);
    Other().Execute("DELETE FROM " + table + " WHERE ID IN (1, 3000)", dbFailOnError);
    const std::string kept = Outside("SELECT Rows FROM MSysRowCounts WHERE TableName = '" + table + "'");
    EXPECT_EQ(kept, table == "Logon" ? std::to_string(kRows + 4 - 2) + "\n" : "");

    dynaset->MoveLast();
    EXPECT_EQ(IdOf(*dynaset), kRows);
    EXPECT_EQ(dynaset->RecordCount(), kRows - 1);
    EXPECT_EQ(dynaset->AbsolutePosition(), kRows - 2);
    dynaset->MoveFirst();
    EXPECT_EQ(DaoNumberOf([&] { Value(*dynaset, "Username"); }), 3167);
    std::vector<std::string> expected = {"gone"};
    for (int id = 2; id <= kRows; ++id) {
      if (id != 3000) expected.push_back(std::to_string(id));
    }
    EXPECT_EQ(IdsOn(*dynaset, true), expected);

    dynaset->Requery();
    dynaset->MoveLast();
    EXPECT_EQ(dynaset->RecordCount(), kRows + 4 - 2);
    EXPECT_EQ(IdOf(*dynaset), kRows + 4);
  }
}

LUMO_ON_EACH_BACK_END(RecordsetKeysetTest);

}  // namespace
}  // namespace lumo::jet
