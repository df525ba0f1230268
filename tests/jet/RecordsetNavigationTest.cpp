#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

class RecordsetNavigationTestFixture : public testing::RecordsetTestBase {
 protected:
  // T: 350 rows (more than one chunk of keys) whose A and B repeat and are sometimes Null,
  // B in mixed case, and an index over them with A descending.
  void MakeSortTable() {
    Execute("CREATE TABLE T (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, A LONG, B TEXT(10))");
    auto workspace = engine_.DefaultWorkspace();
    workspace->BeginTrans();
    for (int i = 1; i <= 350; ++i) {
      const std::string a = i % 11 == 0 ? "Null" : std::to_string(i * 7 % 9);
      const std::string b = i % 13 == 0 ? "Null" : (i % 2 ? "'x" : "'X") + std::to_string(i % 4) + "'";
      Execute("INSERT INTO T (A, B) VALUES (" + a + ", " + b + ")");
    }
    workspace->CommitTrans();
    Execute("CREATE INDEX ADescB ON T (A DESC, B)");
  }
  // The IDs in the order SQLite sorts them, the row id breaking ties.
  std::vector<std::string> SortedIds(const std::string& sort) {
    auto snapshot = Open("SELECT ID FROM T ORDER BY " + sort + ", ID", dbOpenSnapshot);
    return ReadOn(*snapshot, "ID");
  }
};

// Runs on every storage back-end.
class RecordsetNavigationTest : public testing::OnEachBackEnd<RecordsetNavigationTestFixture> {};
// Table-type recordsets, which only the file has (a server's tables open as dynasets).
class RecordsetNavigationTestOnFile : public RecordsetNavigationTestFixture {};

TEST_P(RecordsetNavigationTest, MovesFollowDaosTableOfBofAndEof) {
  MakeLogon(3);
  for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type);
    // Opening makes the first row current.
    EXPECT_FALSE(recordset->IsBOF());
    EXPECT_EQ(IdOf(*recordset), 1);
    // Neither flag: every move works; Move 0 stays.
    recordset->Move(0);
    EXPECT_EQ(IdOf(*recordset), 1);
    // Off the front: BOF only. MovePrevious and Move 0 fail there, the others work.
    recordset->MovePrevious();
    EXPECT_TRUE(recordset->IsBOF());
    EXPECT_FALSE(recordset->IsEOF());
    EXPECT_EQ(DaoNumberOf([&] { recordset->MovePrevious(); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Move(-1); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Move(0); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "ID"); }), 3021);
    EXPECT_TRUE(recordset->IsBOF());
    recordset->MoveNext();
    EXPECT_EQ(IdOf(*recordset), 1);
    recordset->MovePrevious();
    recordset->Move(2);
    EXPECT_EQ(IdOf(*recordset), 2);
    // Off the end: EOF only. MoveNext and Move 0 fail there, MovePrevious works.
    recordset->Move(5);
    EXPECT_TRUE(recordset->IsEOF());
    EXPECT_FALSE(recordset->IsBOF());
    EXPECT_EQ(DaoNumberOf([&] { recordset->MoveNext(); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Move(1); }), 3021);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Move(0); }), 3021);
    recordset->MovePrevious();
    EXPECT_EQ(IdOf(*recordset), 3);
    recordset->MoveNext();
    recordset->Move(-2);
    EXPECT_EQ(IdOf(*recordset), 2);
    recordset->Move(-5);
    EXPECT_TRUE(recordset->IsBOF());
    recordset->MoveLast();
    EXPECT_EQ(IdOf(*recordset), 3);
    recordset->MoveFirst();
    EXPECT_EQ(IdOf(*recordset), 1);
    // Counting from a bookmark.
    const Variant first = recordset->Bookmark();
    recordset->MoveLast();
    recordset->Move(1, first);
    EXPECT_EQ(IdOf(*recordset), 2);
    recordset->Move(-1, first);
    EXPECT_TRUE(recordset->IsBOF());
  }
}

TEST_P(RecordsetNavigationTest, RecordCountCountsRowsMetUntilMoveLastButTablesExactly) {
  MakeLogon(250);
  for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    auto recordset = Open("SELECT * FROM Logon", type);
    EXPECT_EQ(recordset->RecordCount(), 1);
    recordset->Move(119);
    EXPECT_EQ(recordset->RecordCount(), 120);
    if (type != dbOpenForwardOnly) {
      recordset->MoveFirst();
      EXPECT_EQ(recordset->RecordCount(), 120);  // never shrinks
      recordset->MoveLast();
      EXPECT_EQ(recordset->RecordCount(), 250);
      EXPECT_EQ(recordset->AbsolutePosition(), 249);
    }
  }
  // A server's table opens as a dynaset, which counts as above.
  if (!BackEnd().tableRecordsets) return;
  auto table = Open("Logon");
  EXPECT_EQ(table->RecordCount(), 250);
  // The table's count is live: another process's rows count at once, own ones too.
  Other().Execute("INSERT INTO Logon (Username) VALUES ('other')");
  EXPECT_EQ(table->RecordCount(), 251);
  table->AddNew();
  table->Update();
  EXPECT_EQ(table->RecordCount(), 252);
  table->Delete();
  EXPECT_EQ(table->RecordCount(), 251);
}

TEST_P(RecordsetNavigationTest, DynasetReadsItsKeysLazily) {
  MakeLogon(250);
  auto recordset = Open("SELECT ID FROM Logon WHERE Typ = 'logon'");
  // Rows another process adds after the open stay out, though their keys were not read yet;
  // rows it changes show with their new values, as each row is read when the cursor lands on
  // it.
  Other().Execute("INSERT INTO Logon (Username, Typ) VALUES ('late', 'logon')");
  Other().Execute("UPDATE Logon SET ID = ID WHERE ID = 2");
  recordset->MoveLast();
  EXPECT_EQ(IdOf(*recordset), 250);
  EXPECT_EQ(recordset->RecordCount(), 250);
  // Rows before the end that no longer match stay: the key list keeps what it read.
  auto users = Open("SELECT Username FROM Logon ORDER BY ID");
  Other().Execute("UPDATE Logon SET Username = 'renamed' WHERE ID = 3");
  users->Move(2);
  EXPECT_EQ(VarToStr(Value(*users, "Username")), "renamed");
}

TEST_P(RecordsetNavigationTest, SortedDynasetWalksTheOrderSQLiteGivesAcrossChunks) {
  MakeSortTable();
  for (const std::string sort : {"A DESC, B", "B, A", "A", "B DESC"}) {
    SCOPED_TRACE(sort);
    auto base = Open("SELECT ID, A, B FROM T");
    base->SetSort(sort);
    auto sorted = base->OpenRecordset();
    EXPECT_EQ(ReadOn(*sorted, "ID"), SortedIds(sort));
    // The same order from the query's own ORDER BY.
    auto query = Open("SELECT ID, A, B FROM T WHERE ID > 0 ORDER BY " + sort);
    EXPECT_EQ(ReadOn(*query, "ID"), SortedIds(sort));
  }
}

TEST_F(RecordsetNavigationTestOnFile, TableWalksItsIndexBothWaysAndFromASeek) {
  MakeSortTable();
  auto table = Open("T");
  table->SetIndex("ADescB");
  std::vector<std::string> expected = SortedIds("A DESC, B");
  table->MoveFirst();
  EXPECT_EQ(ReadOn(*table, "ID"), expected);
  table->MoveLast();
  std::vector<std::string> backwards = ReadBack(*table, "ID");
  std::reverse(backwards.begin(), backwards.end());
  EXPECT_EQ(backwards, expected);

  // After a seek the window starts at the row found and grows both ways.
  table->Seek("=", {Variant(4), Variant("x1")});
  ASSERT_FALSE(table->NoMatch());
  const std::string found = VarToStr(Value(*table, "ID"));
  const auto at = std::find(expected.begin(), expected.end(), found) - expected.begin();
  auto clone = table->Clone();
  clone->SetBookmark(table->Bookmark());
  EXPECT_EQ(ReadOn(*table, "ID"), std::vector<std::string>(expected.begin() + at, expected.end()));
  clone->SetIndex("ADescB");
  std::vector<std::string> before = ReadBack(*clone, "ID");
  std::reverse(before.begin(), before.end());
  EXPECT_EQ(before, std::vector<std::string>(expected.begin(), expected.begin() + at + 1));

  // AbsolutePosition and PercentPosition count in index order.
  table->Seek("=", {Variant(4), Variant("x1")});
  EXPECT_EQ(table->AbsolutePosition(), at);
  table->SetAbsolutePosition(100);
  EXPECT_EQ(VarToStr(Value(*table, "ID")), expected[100]);
}

TEST_P(RecordsetNavigationTest, PositionsFollowTheList) {
  MakeLogon(5);
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID");
  recordset->MoveLast();
  recordset->SetPercentPosition(77.0f);  // 5 rows: row 4 of 0..4
  EXPECT_FLOAT_EQ(recordset->PercentPosition(), 80.0f);
  EXPECT_EQ(recordset->AbsolutePosition(), 4);
  recordset->SetAbsolutePosition(1);
  EXPECT_EQ(IdOf(*recordset), 2);
  EXPECT_EQ(DaoNumberOf([&] { recordset->SetAbsolutePosition(5); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { recordset->SetAbsolutePosition(-1); }), 3001);
  recordset->MoveNext();
  recordset->MoveNext();
  recordset->MoveNext();
  recordset->MoveNext();
  EXPECT_EQ(recordset->AbsolutePosition(), -1);
}

TEST_P(RecordsetNavigationTest, BookmarksNameRowsAcrossClonesAndIndexChanges) {
  MakeLogon(6);
  Execute("CREATE INDEX ByComputer ON Logon (Computer DESC)");
  for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type);
    recordset->Move(3);
    const Variant bookmark = recordset->Bookmark();
    ASSERT_EQ(bookmark.Type(), VarType::kBytes);
    EXPECT_EQ(bookmark.AsBytes().size(), 4u);
    EXPECT_NE(bookmark, Variant(std::vector<uint8_t>{0, 0, 0, 0}));

    // A clone has no current record until it moves, then shares the bookmarks.
    auto clone = recordset->Clone();
    EXPECT_FALSE(clone->IsBOF());
    EXPECT_FALSE(clone->IsEOF());
    EXPECT_EQ(DaoNumberOf([&] { Value(*clone, "ID"); }), 3021);
    clone->SetBookmark(bookmark);
    EXPECT_EQ(IdOf(*clone), 4);
    clone->MoveFirst();
    recordset->SetBookmark(clone->Bookmark());
    EXPECT_EQ(IdOf(*recordset), 1);
    clone->Close();
    recordset->MoveNext();
    EXPECT_EQ(IdOf(*recordset), 2);

    // Bookmarks of a recordset opened separately mean nothing here (this one has handed out
    // two; the other's third is unknown to it).
    auto separate = Open("Logon", type);
    for (int i = 0; i < 3; ++i, separate->MoveNext()) separate->Bookmark();
    separate->MovePrevious();
    const Variant foreign = separate->Bookmark();
    EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(foreign); }), 3159);
    EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(Variant(std::vector<uint8_t>{0, 0, 0, 0})); }), 3159);
    EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(Variant("abcd")); }), 3159);

    if (recordset->Type() == dbOpenTable) {
      // The row stays current when the index changes, and its bookmark still finds it.
      recordset->SetBookmark(bookmark);
      recordset->SetIndex("ByComputer");
      EXPECT_EQ(IdOf(*recordset), 4);
      recordset->MoveNext();
      EXPECT_EQ(IdOf(*recordset), 3);
      recordset->SetBookmark(bookmark);
      recordset->MovePrevious();
      EXPECT_EQ(IdOf(*recordset), 5);
      EXPECT_EQ(recordset->Index(), "ByComputer");
      EXPECT_EQ(DaoNumberOf([&] { recordset->SetIndex("Nothing"); }), 3015);
    }
  }
}

TEST_P(RecordsetNavigationTest, RowDeletedByAnotherConnectionAnswers3167WhenReached) {
  MakeLogon(4);
  for (int type : {dbOpenTable, dbOpenDynaset}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type);
    recordset->MoveNext();
    const Variant second = recordset->Bookmark();
    recordset->MoveNext();
    const Variant third = recordset->Bookmark();
    recordset->MoveFirst();
    Other().Execute("DELETE FROM Logon WHERE ID = 3");
    EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(third); }), 3167);
    recordset->SetBookmark(second);
    recordset->MoveNext();
    if (recordset->Type() == dbOpenDynaset) {
      // The keys the dynaset has read still hold the row: the cursor lands on it, its values
      // are gone.
      EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "Username"); }), 3167);
      EXPECT_EQ(DaoNumberOf([&] { recordset->Edit(); }), 3167);
      recordset->MoveNext();
    }
    // A table walks the table as it is now.
    EXPECT_EQ(IdOf(*recordset), 4);
    Other().Execute("INSERT INTO Logon (ID, Username) VALUES (3, 'back')");
  }
}

TEST_F(RecordsetNavigationTestOnFile, TableReachesEveryRowItCountsAfterAnotherConnectionAdded) {
  MakeLogon(100);
  Execute("CREATE INDEX ByComputer ON Logon (Computer)");
  auto table = Open("Logon", dbOpenTable);
  table->SetIndex("ByComputer");
  table->MoveLast();
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC99");
  table->MoveFirst();
  table->MoveNext();
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC10");
  // One row beyond the end of the index, one inside the part already read.
  EXPECT_EQ(Outside("INSERT INTO Logon (Computer) VALUES ('PC999'); "
                    "INSERT INTO Logon (Computer) VALUES ('PC100a')"),
            "");
  EXPECT_EQ(table->RecordCount(), 102);
  table->MoveNext();
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC100");
  table->MoveNext();
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC100a");
  table->MoveLast();
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC999");
  EXPECT_EQ(table->AbsolutePosition(), 101);
  table->MoveFirst();
  EXPECT_EQ(ReadOn(*table, "ID").size(), 102u);
  // Reaching the end looks for rows committed meanwhile.
  table->MoveLast();
  EXPECT_EQ(Outside("INSERT INTO Logon (Computer) VALUES ('PC9999')"), "");
  table->MoveNext();
  EXPECT_FALSE(table->IsEOF());
  EXPECT_EQ(VarToStr(Value(*table, "Computer")), "PC9999");
  EXPECT_EQ(table->RecordCount(), 103);
}

TEST_P(RecordsetNavigationTest, RowsReadAheadServeOnlyForAMoment) {
  MakeLogon(300);
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID", dbOpenDynaset, 0, dbOptimistic);
  // Walking row by row reads the rows ahead in batches.
  recordset->MoveNext();
  recordset->MoveNext();
  recordset->MoveNext();
  EXPECT_EQ(VarToStr(Value(*recordset, "Username")), "user1");
  Other().Execute("UPDATE Logon SET Username = 'later' WHERE ID IN (6, 8)");
  // Move 0 reads the row again at once; a batch read before the change is not used once it
  // is older than a moment.
  recordset->MoveNext();
  recordset->MoveNext();
  recordset->Move(0);
  EXPECT_EQ(VarToStr(Value(*recordset, "Username")), "later");
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  recordset->MoveNext();
  recordset->MoveNext();
  EXPECT_EQ(IdOf(*recordset), 8);
  EXPECT_EQ(VarToStr(Value(*recordset, "Username")), "later");
  // The walk goes on past the keys read at opening with the rows coming along.
  EXPECT_EQ(ReadOn(*recordset, "ID").size(), 293u);
}

TEST_P(RecordsetNavigationTest, HalfReadScanNeitherHidesCommitsNorBlocksWrites) {
  MakeLogon(250);
  auto snapshot = Open("SELECT * FROM Logon", dbOpenSnapshot);
  auto forward = Open("SELECT * FROM Logon", dbOpenForwardOnly);
  snapshot->Move(10);
  forward->Move(10);
  Other().Execute("INSERT INTO Logon (Username) VALUES ('other')");
  // The engine's own reads see the other process's row, and it can write after it.
  auto dynaset = Open("SELECT * FROM Logon WHERE Username = 'other'", dbOpenDynaset, 0, dbOptimistic);
  EXPECT_FALSE(dynaset->IsEOF());
  dynaset->Edit();
  dynaset->Fields().Item("Typ")->SetValue(Variant("seen"));
  dynaset->Update();
  // The snapshot still shows the rows as they were when it started reading.
  snapshot->MoveLast();
  EXPECT_EQ(snapshot->RecordCount(), 250);
}

TEST_P(RecordsetNavigationTest, SnapshotKeepsTheRowsAsTheyWereRead) {
  MakeLogon(3);
  auto snapshot = Open("SELECT * FROM Logon", dbOpenSnapshot);
  auto dynaset = Open("SELECT * FROM Logon", dbOpenDynaset);
  snapshot->MoveLast();
  Other().Execute("UPDATE Logon SET Username = 'changed' WHERE ID = 1");
  snapshot->MoveFirst();
  dynaset->Move(0);
  EXPECT_EQ(VarToStr(Value(*snapshot, "Username")), "user1");
  EXPECT_EQ(VarToStr(Value(*dynaset, "Username")), "changed");
}

TEST_P(RecordsetNavigationTest, ScansHandEachRowItsOwnValuesWhateverCameBefore) {
  // Texts of every length up to beyond the short-string room, Nulls between them, so that a
  // value left over from an earlier row of the same column would show.
  Execute("CREATE TABLE T (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, B TEXT(50), M MEMO)");
  auto expected = [](int i) {
    return i % 5 == 0 ? std::string()
                      : std::string(static_cast<size_t>(1 + i * 7 % 41), static_cast<char>('a' + i % 26));
  };
  auto workspace = engine_.DefaultWorkspace();
  workspace->BeginTrans();
  for (int i = 1; i <= 2500; ++i) {
    const std::string b = expected(i);
    Execute("INSERT INTO T (B, M) VALUES (" + (i % 5 == 0 ? std::string("Null") : "'" + b + "'") + ", 'm" + b + b +
            "')");
  }
  workspace->CommitTrans();
  for (int type : {dbOpenDynaset, dbOpenForwardOnly}) {
    SCOPED_TRACE(type);
    auto recordset = Open("T", type);
    int i = 0;
    for (; !recordset->IsEOF(); recordset->MoveNext()) {
      ++i;
      ASSERT_EQ(IdOf(*recordset), i);
      ASSERT_EQ(VarToStr(Value(*recordset, "B")), expected(i)) << i;
      ASSERT_EQ(Value(*recordset, "B").IsNull(), i % 5 == 0) << i;
      ASSERT_EQ(VarToStr(Value(*recordset, "M")), "m" + expected(i) + expected(i)) << i;
    }
    EXPECT_EQ(i, 2500);
  }
  // A walk that jumps, changes a row and deletes one through another connection goes on with
  // the right values.
  auto dynaset = Open("T", dbOpenDynaset, 0, dbOptimistic);
  for (int step = 0; step < 40; ++step) dynaset->MoveNext();
  dynaset->Move(900);
  EXPECT_EQ(IdOf(*dynaset), 941);
  dynaset->Edit();
  dynaset->Fields().Item("B")->SetValue(Variant("changed here"));
  dynaset->Update();
  Other().Execute("DELETE FROM T WHERE ID = 945");
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(VarToStr(Value(*dynaset, "B")), "changed here");
  for (int id = 942; id <= 1100; ++id) {
    dynaset->MoveNext();
    if (id == 945) {
      EXPECT_EQ(DaoNumberOf([&] { Value(*dynaset, "B"); }), 3167);
      continue;
    }
    ASSERT_EQ(IdOf(*dynaset), id);
    ASSERT_EQ(VarToStr(Value(*dynaset, "B")), expected(id)) << id;
  }
  dynaset->MovePrevious();
  EXPECT_EQ(VarToStr(Value(*dynaset, "B")), expected(1099));
}

LUMO_ON_EACH_BACK_END(RecordsetNavigationTest);

}  // namespace
}  // namespace lumo::jet
