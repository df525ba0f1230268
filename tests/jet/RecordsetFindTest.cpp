#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;

class RecordsetFindTestFixture : public testing::RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    MakeLogon(200);  // more rows than one batch of a find
  }
};

// Runs on every storage back-end.
class RecordsetFindTest : public testing::OnEachBackEnd<RecordsetFindTestFixture> {};
// Seek, which needs a table-type recordset: the file's (a server's tables open as dynasets,
// which answer 3251 to Seek).
class RecordsetFindTestOnFile : public RecordsetFindTestFixture {};

TEST_P(RecordsetFindTest, FindWalksFromTheRightPlaceInDynasetsAndSnapshots) {
  for (int type : {dbOpenDynaset, dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    auto recordset = Open("SELECT * FROM Logon WHERE ID <= 150 ORDER BY ID DESC", type);
    EXPECT_FALSE(recordset->NoMatch());
    // Text compares without regard to case; dates are written month first.
    recordset->FindFirst("Username = 'USER1' AND logontime < #12/8/2026 9:00#");
    ASSERT_FALSE(recordset->NoMatch());
    EXPECT_EQ(IdOf(*recordset), 58);
    recordset->FindNext("Username = 'USER1' AND logontime < #12/8/2026 9:00#");
    EXPECT_EQ(IdOf(*recordset), 55);
    recordset->FindPrevious("Username = 'USER1' AND logontime < #12/8/2026 9:00#");
    EXPECT_EQ(IdOf(*recordset), 58);
    recordset->FindLast("Computer Like 'PC1?'");
    EXPECT_EQ(IdOf(*recordset), 10);
    recordset->FindPrevious("Computer Like 'PC1?'");
    EXPECT_EQ(IdOf(*recordset), 11);

    // A miss sets NoMatch and leaves the cursor where it was; moves do not clear NoMatch.
    recordset->FindNext("ID = 150");
    EXPECT_TRUE(recordset->NoMatch());
    EXPECT_EQ(IdOf(*recordset), 11);
    recordset->MoveNext();
    EXPECT_TRUE(recordset->NoMatch());
    // From BOF a find forward searches everything; from EOF nothing lies ahead.
    recordset->MoveFirst();
    recordset->MovePrevious();
    recordset->FindNext("ID = 150");
    EXPECT_FALSE(recordset->NoMatch());
    EXPECT_EQ(IdOf(*recordset), 150);
    recordset->MoveLast();
    recordset->MoveNext();
    recordset->FindNext("ID = 1");
    EXPECT_TRUE(recordset->NoMatch());
  }
}

TEST_P(RecordsetFindTest, NumberFieldComparedWithTextAnswers3464) {
  Execute("ALTER TABLE Logon ADD COLUMN Score DOUBLE");
  Execute("UPDATE Logon SET Score = ID / 2");
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID", dbOpenDynaset);
  for (const char* criteria : {"Score = 'abc'", "ID = '5'", "'5' < [ID]", "ID Between 1 And '9'", "ID In (1, 'x')",
                               "Username = 'user1' And (Score > 'a')"}) {
    SCOPED_TRACE(criteria);
    EXPECT_EQ(DaoNumberOf([&] { recordset->FindFirst(criteria); }), 3464);
    EXPECT_EQ(DaoMessageOf([&] { recordset->FindNext(criteria); }), "Data type mismatch in criteria expression");
  }
  // Numbers with numbers and text with text are what a criterion compares.
  recordset->FindFirst("Score = 2.5 AND Computer = 'PC5'");
  ASSERT_FALSE(recordset->NoMatch());
  EXPECT_EQ(IdOf(*recordset), 5);
  recordset->FindFirst("Computer = '7' OR Computer Like 'PC7'");
  EXPECT_EQ(IdOf(*recordset), 7);
}

TEST_P(RecordsetFindTest, FindSeesRowsAddedThroughTheRecordsetAndSkipsDeletedOnes) {
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID", dbOpenDynaset, 0, dbOptimistic);
  recordset->AddNew();
  recordset->Fields().Item("Username")->SetValue(Variant("zoe"));
  recordset->Update();
  recordset->FindFirst("Username = 'Zoe'");
  EXPECT_EQ(IdOf(*recordset), 201);
  recordset->FindFirst("ID = 2");
  recordset->Delete();
  recordset->FindFirst("ID <= 3");
  EXPECT_EQ(IdOf(*recordset), 1);
  recordset->FindNext("ID <= 3");
  EXPECT_EQ(IdOf(*recordset), 3);
  // The criterion names the fields of the recordset, aliases included.
  auto aliased = Open("SELECT ID AS Nr, Username AS Who FROM Logon");
  aliased->FindFirst("Who = 'user2' AND Nr > 100");
  EXPECT_EQ(VarToStr(aliased->Fields().Item("Nr")->Value()), "101");
}

TEST_P(RecordsetFindTest, BadCriteriaAnswerDaosErrors) {
  auto recordset = Open("Logon", dbOpenDynaset);
  EXPECT_EQ(DaoMessageOf([&] { recordset->FindFirst("Nobody = 1"); }),
            "The Microsoft Jet database engine does not recognize 'Nobody' as a valid field name or expression");
  EXPECT_EQ(DaoNumberOf([&] { recordset->FindFirst("ID = = 1"); }), 3077);
  EXPECT_EQ(IdOf(*recordset), 1);
}

TEST_F(RecordsetFindTestOnFile, SeekComparesOnTheCurrentIndex) {
  Execute("CREATE INDEX ByUserTime ON Logon (Username, logontime DESC)");
  Execute("CREATE INDEX ByUserComputer ON Logon (Username, Computer)");
  auto table = Open("Logon");
  EXPECT_EQ(DaoNumberOf([&] { table->Seek("=", {Variant(5)}); }), 3019);
  table->SetIndex("PrimaryKey");
  table->Seek("=", {Variant(42)});
  EXPECT_FALSE(table->NoMatch());
  EXPECT_EQ(IdOf(*table), 42);
  table->Seek(">", {Variant(42)});
  EXPECT_EQ(IdOf(*table), 43);
  table->Seek("<", {Variant(42)});
  EXPECT_EQ(IdOf(*table), 41);
  table->Seek("<=", {Variant(1000)});
  EXPECT_EQ(IdOf(*table), 200);
  table->Seek(">=", {Variant(1000)});
  EXPECT_TRUE(table->NoMatch());
  table->Seek("=", {Variant("42")});  // converted to the field's type
  EXPECT_EQ(IdOf(*table), 42);
  EXPECT_EQ(DaoNumberOf([&] { table->Seek("=", {Variant("forty-two")}); }), 3464);

  table->SetIndex("ByUserComputer");
  // Keys left out count as Null, which sorts first: a partial key needs >=.
  table->Seek("=", {Variant("user2")});
  EXPECT_TRUE(table->NoMatch());
  table->Seek(">=", {Variant("USER2")});
  ASSERT_FALSE(table->NoMatch());
  EXPECT_EQ(IdOf(*table), 101);  // "PC101" is user2's first computer as text
  table->MoveNext();
  EXPECT_EQ(IdOf(*table), 104);

  table->SetIndex("ByUserTime");
  const double at = EncodeDate(2026, 12, 8) + EncodeTime(9, 0, 0, 0);  // minute 60
  table->Seek("=", {Variant("user0"), Variant::FromDate(at)});
  EXPECT_EQ(IdOf(*table), 60);
  table->Seek(">", {Variant("user0"), Variant::FromDate(at)});
  EXPECT_EQ(IdOf(*table), 57);
  table->Seek("<", {Variant("user0"), Variant::FromDate(at)});
  EXPECT_EQ(IdOf(*table), 63);
  // In a descending field Null sorts last: (user1, Null) lies after all of user1's rows.
  table->Seek("<=", {Variant("user1")});
  EXPECT_EQ(IdOf(*table), 1);
  table->MovePrevious();
  EXPECT_EQ(IdOf(*table), 4);
  table->Seek("<", {Variant("user1"), Variant::FromDate(at)});
  EXPECT_EQ(IdOf(*table), 61);  // the user1 row logged on just after 9:00 (descending time)

  EXPECT_EQ(DaoNumberOf([&] { table->Seek("==", {Variant("user0")}); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { table->Seek("=", {}); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { table->Seek("=", {Variant(1), Variant(2), Variant(3)}); }), 3001);
}

TEST_F(RecordsetFindTestOnFile, SeekOnAClonePositionsTheClone) {
  Execute("CREATE UNIQUE INDEX ByComputer ON Logon (Computer)");
  auto table = Open("Logon");
  auto clone = table->Clone();
  EXPECT_EQ(clone->Index(), "");
  clone->SetIndex("ByComputer");
  clone->MoveFirst();
  clone->Seek("=", {Variant("pc77")});
  ASSERT_FALSE(clone->NoMatch());
  table->SetBookmark(clone->Bookmark());
  EXPECT_EQ(IdOf(*table), 77);
  EXPECT_EQ(table->Index(), "");
}

// What Find* must answer, worked out from the list itself: the IDs of the recordset's rows in
// its order (a walk from the first row; a row deleted by another program, still in the list,
// as minus its ID), and a predicate standing for the criterion.
struct FindCase {
  const char* criteria;
  std::function<bool(int id)> matches;
};

// Checks the four searches from every row of `ids` (and from BOF and EOF) against the list.
void ExpectFindsAgreeWithTheList(Recordset& recordset, const std::vector<int>& ids, const FindCase& find) {
  SCOPED_TRACE(find.criteria);
  auto firstFrom = [&](int from, int step) {
    for (int i = from; i >= 0 && i < static_cast<int>(ids.size()); i += step) {
      const int id = ids[static_cast<size_t>(i)];
      if (id > 0 && find.matches(id)) return id;
    }
    return 0;
  };
  auto idAfter = [&](void (Recordset::*search)(const std::string&)) {
    (recordset.*search)(find.criteria);
    return recordset.NoMatch() ? 0 : recordset.Fields().Item("ID")->Value().AsInteger();
  };
  EXPECT_EQ(idAfter(&Recordset::FindFirst), firstFrom(0, 1));
  EXPECT_EQ(idAfter(&Recordset::FindLast), firstFrom(static_cast<int>(ids.size()) - 1, -1));
  for (size_t i = 0; i < ids.size(); i += 7) {
    if (ids[i] < 0) continue;
    recordset.MoveFirst();
    recordset.Move(static_cast<int>(i));
    ASSERT_EQ(recordset.Fields().Item("ID")->Value().AsInteger(), ids[i]);
    const int next = idAfter(&Recordset::FindNext);
    EXPECT_EQ(next, firstFrom(static_cast<int>(i) + 1, 1)) << "FindNext from " << ids[i];
    recordset.MoveFirst();
    recordset.Move(static_cast<int>(i));
    EXPECT_EQ(idAfter(&Recordset::FindPrevious), firstFrom(static_cast<int>(i) - 1, -1))
        << "FindPrevious from " << ids[i];
  }
  recordset.MoveFirst();
  recordset.MovePrevious();
  EXPECT_EQ(idAfter(&Recordset::FindNext), firstFrom(0, 1)) << "FindNext from BOF";
  recordset.MoveLast();
  recordset.MoveNext();
  EXPECT_EQ(idAfter(&Recordset::FindPrevious), firstFrom(static_cast<int>(ids.size()) - 1, -1))
      << "FindPrevious from EOF";
}

TEST_P(RecordsetFindTest, FindInRowIdOrderAgreesWithTheListAfterAddsDeletesAndAReadTail) {
  const std::vector<FindCase> cases = {
      {"ID = 57", [](int id) { return id == 57; }},
      {"ID Mod 7 = 3", [](int id) { return id % 7 == 3; }},
      // The rows added below are user2's, on computers PC19..
      {"Username = 'USER2' AND ID > 150", [](int id) { return id > 200 || (id % 3 == 2 && id > 150); }},
      {"Computer Like 'PC1*'", [](int id) { return id > 200 || std::to_string(id).front() == '1'; }},
      {"ID > 195", [](int id) { return id > 195; }},
      {"ID = 0", [](int) { return false; }},
  };
  for (const char* source : {"Logon", "SELECT * FROM Logon WHERE ID > 20", "SELECT * FROM Logon ORDER BY ID"}) {
    SCOPED_TRACE(source);
    auto recordset = Open(source, dbOpenDynaset, 0, dbOptimistic);
    // Rows added through the recordset come last, whatever their ID; own deletions and
    // another program's deletions leave the list.
    for (int i = 0; i < 3; ++i) {
      recordset->AddNew();
      recordset->Fields().Item("Username")->SetValue(Variant("user2"));
      recordset->Fields().Item("Computer")->SetValue(Variant("PC1" + std::to_string(900 + i)));
      recordset->Update();
    }
    recordset->FindFirst("ID = 100");
    recordset->Delete();
    Other().Execute("DELETE FROM Logon WHERE ID = 120", dbFailOnError);
    if (std::string(source) == "Logon") {
      // The end of the list read backwards, the middle left unread.
      recordset->MoveLast();
    }
    auto walker = recordset->Clone();
    std::vector<int> ids;
    for (walker->MoveFirst(); !walker->IsEOF(); walker->MoveNext()) {
      const bool deleted = DaoNumberOf([&] { walker->Fields().Item("ID")->Value(); }) == 3167;
      ids.push_back(deleted ? -120 : IdOf(*walker));
    }
    ASSERT_GT(ids.back(), 200);
    auto searcher = recordset->Clone();
    for (const FindCase& find : cases) ExpectFindsAgreeWithTheList(*searcher, ids, find);
    Other().Execute("INSERT INTO Logon (ID, Username, Computer) VALUES (120, 'user0', 'PC120')", dbFailOnError);
  }
}

TEST_P(RecordsetFindTest, FindFarIntoAFreshDynasetReadsOnlyTheKeysUpToTheRow) {
  auto workspace = engine_.DefaultWorkspace();
  workspace->BeginTrans();
  for (int i = 201; i <= 5000; ++i) AddLogon("user" + std::to_string(i % 3), "PC" + std::to_string(i), i % 900);
  workspace->CommitTrans();
  auto recordset = Open("Logon", dbOpenDynaset);
  auto clone = recordset->Clone();
  clone->MoveFirst();
  clone->FindFirst("Computer = 'PC4321'");
  ASSERT_FALSE(clone->NoMatch());
  EXPECT_EQ(clone->AbsolutePosition(), 4320);
  // The found row's bookmark brings the original there (the clones share the list).
  recordset->SetBookmark(clone->Bookmark());
  EXPECT_EQ(IdOf(*recordset), 4321);
  EXPECT_EQ(recordset->AbsolutePosition(), 4320);
  recordset->MoveNext();
  EXPECT_EQ(IdOf(*recordset), 4322);
  clone->FindPrevious("Computer = 'PC12'");
  EXPECT_EQ(clone->AbsolutePosition(), 11);
}

LUMO_ON_EACH_BACK_END(RecordsetFindTest);

}  // namespace
}  // namespace lumo::jet
