#include "jet/Recordset.h"

#include <gtest/gtest.h>

#include "jet/DatabaseFile.h"
#include "jet/Field.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;

class RecordsetEditTestFixture : public testing::RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    MakeLogon(3);
  }
  std::string Shell(const std::string& sql) { return Outside(sql); }
  // What a second connection reads: the first field of the first row. (Tests that open a
  // second connection in this process read back through it rather than the stock shell.)
  std::string Committed(const std::string& sql) {
    return VarToStr(Other().OpenRecordset(sql, dbOpenSnapshot)->Fields().Item(0)->Value());
  }
  static void Set(Recordset& recordset, const std::string& field, const Variant& value) {
    recordset.Fields().Item(field)->SetValue(value);
  }
};

// Runs on every storage back-end.
class RecordsetEditTest : public testing::OnEachBackEnd<RecordsetEditTestFixture> {};
// Looks at what only the file back-end has (the stock shell's own functions, the file's
// schema tables).
class RecordsetEditTestOnFile : public RecordsetEditTestFixture {};

TEST_P(RecordsetEditTest, EditAndUpdateWriteTheChangedFieldsOnly) {
  auto recordset = Open("SELECT * FROM Logon ORDER BY ID", dbOpenDynaset, 0, dbOptimistic);
  recordset->Move(1);
  recordset->Edit();
  EXPECT_EQ(recordset->EditMode(), dbEditInProgress);
  Set(*recordset, "Computer", Variant("NEWPC"));
  // The buffer shows the new value; the file does not have it yet.
  EXPECT_EQ(VarToStr(Value(*recordset, "Computer")), "NEWPC");
  EXPECT_EQ(Committed("SELECT Computer FROM Logon WHERE ID = 2"), "PC2");
  // Another process changes a field this edit does not touch.
  Other().Execute("UPDATE Logon SET IP = '10.0.0.2' WHERE ID = 2");
  recordset->Update(1, true);
  EXPECT_EQ(recordset->EditMode(), dbEditNone);
  EXPECT_EQ(Committed("SELECT Computer & '|' & IP FROM Logon WHERE ID = 2"), "NEWPC|10.0.0.2");
  // The row stays current and LastModified names it.
  EXPECT_EQ(IdOf(*recordset), 2);
  EXPECT_EQ(recordset->LastModified(), recordset->Bookmark());
}

TEST_P(RecordsetEditTest, AddNewAppendsAtTheEndAndLeavesTheCursorWhereItWas) {
  // A column with a default, as a file made elsewhere may have it.
  database_->File()->Connection().Exec("ALTER TABLE Logon ADD COLUMN Note VARCHAR(20) DEFAULT 'none'");
  auto recordset = Open("SELECT * FROM Logon ORDER BY Username DESC");
  recordset->MoveNext();
  const int before = IdOf(*recordset);
  recordset->AddNew();
  EXPECT_EQ(recordset->EditMode(), dbEditAdd);
  // The buffer starts with the defaults; the counter is numbered when the row is written.
  EXPECT_EQ(VarToStr(Value(*recordset, "Note")), "none");
  EXPECT_TRUE(Value(*recordset, "ID").IsNull());
  Set(*recordset, "Username", Variant("aaa"));
  recordset->Update();
  EXPECT_EQ(IdOf(*recordset), before);
  EXPECT_EQ(recordset->RecordCount(), 3);  // two met, one added
  recordset->SetBookmark(recordset->LastModified());
  EXPECT_EQ(IdOf(*recordset), 4);
  EXPECT_EQ(VarToStr(Value(*recordset, "Note")), "none");
  // New rows come last whatever the order says.
  recordset->MoveFirst();
  EXPECT_EQ(ReadOn(*recordset, "Username"), (std::vector<std::string>{"user2", "user1", "user0", "aaa"}));
  recordset->MovePrevious();
  EXPECT_EQ(recordset->AbsolutePosition(), 3);
  EXPECT_EQ(Shell("SELECT Username, Note FROM Logon WHERE ID = 4"), "aaa|none\n");

  // Clones see the row the original added.
  auto clone = recordset->Clone();
  clone->MoveLast();
  EXPECT_EQ(IdOf(*clone), 4);
}

TEST_P(RecordsetEditTest, AddNewOnAnEmptyRecordsetLeavesEofSet) {
  auto recordset = Open("SELECT * FROM Logon WHERE ID > 100");
  ASSERT_TRUE(recordset->IsEOF());
  recordset->AddNew();
  Set(*recordset, "Username", Variant("first"));
  recordset->Update();
  EXPECT_FALSE(recordset->IsBOF());
  EXPECT_TRUE(recordset->IsEOF());
  recordset->MovePrevious();
  EXPECT_EQ(VarToStr(Value(*recordset, "Username")), "first");
}

TEST_P(RecordsetEditTest, WritingWithoutAnEditAnswers3020) {
  auto recordset = Open("Logon", dbOpenDynaset);
  EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3020);
  EXPECT_EQ(DaoNumberOf([&] { recordset->CancelUpdate(); }), 3020);
  EXPECT_EQ(DaoNumberOf([&] { Set(*recordset, "Username", Variant("x")); }), 3020);
  EXPECT_EQ(DaoNumberOf([&] { recordset->Fields().Item("Username")->AppendChunk(Variant("x")); }), 3020);
  recordset->Edit();
  EXPECT_EQ(DaoMessageOf([&] { Set(*recordset, "ID", Variant(7)); }),
            "Cannot update '" + BackEnd().Listed("ID") + "'; field not updatable");
  recordset->CancelUpdate();
  EXPECT_EQ(recordset->EditMode(), dbEditNone);
  EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3020);
}

TEST_P(RecordsetEditTest, ChecksAtUpdateAnswerDaosNumbersAndKeepTheEdit) {
  Execute("CREATE TABLE Users (Login TEXT(8) NOT NULL, Mail TEXT(30))");
  Execute("CREATE UNIQUE INDEX ByLogin ON Users (Login)");
  Execute("INSERT INTO Users (Login) VALUES ('anna')");
  auto users = Open("Users", dbOpenDynaset);
  users->AddNew();
  EXPECT_EQ(DaoNumberOf([&] { Set(*users, "Login", Variant("much too long")); }), 3163);
  EXPECT_EQ(DaoNumberOf([&] { users->Update(); }), 3314);
  EXPECT_EQ(users->EditMode(), dbEditAdd);
  Set(*users, "Login", Variant("ANNA"));  // unique without regard to case
  EXPECT_EQ(DaoNumberOf([&] { users->Update(); }), 3022);
  EXPECT_EQ(users->EditMode(), dbEditAdd);
  Set(*users, "Login", Variant("bert"));
  users->Update();
  EXPECT_EQ(Shell("SELECT count(*) FROM Users"), "2\n");

  auto logon = Open("Logon", dbOpenDynaset);
  logon->Edit();
  EXPECT_EQ(DaoNumberOf([&] { Set(*logon, "logontime", Variant("not a date")); }), 3421);
  logon->CancelUpdate();
}

TEST_P(RecordsetEditTest, OptimisticUpdateFindsAnotherWritersChange) {
  auto recordset = Open("Logon", dbOpenDynaset, 0, dbOptimistic);
  EXPECT_FALSE(recordset->LockEdits());
  recordset->Edit();
  Set(*recordset, "Username", Variant("mine"));
  Other().Execute("UPDATE Logon SET Username = 'theirs' WHERE ID = 1");
  EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3197);
  EXPECT_EQ(recordset->EditMode(), dbEditInProgress);
  EXPECT_EQ(Committed("SELECT Username FROM Logon WHERE ID = 1"), "theirs");
  // Updating again writes over it.
  recordset->Update();
  EXPECT_EQ(Committed("SELECT Username FROM Logon WHERE ID = 1"), "mine");

  // Cancelling and re-reading gives the other writer's value.
  recordset->Edit();
  Other().Execute("UPDATE Logon SET Username = 'again' WHERE ID = 1");
  EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3197);
  recordset->CancelUpdate();
  recordset->Move(0);
  EXPECT_EQ(VarToStr(Value(*recordset, "Username")), "again");
}

TEST_P(RecordsetEditTest, PessimisticEditHoldsTheWriteLockUntilUpdate) {
  auto recordset = Open("Logon", dbOpenDynaset, 0, dbPessimistic);
  EXPECT_TRUE(recordset->LockEdits());
  Other().SetQueryTimeout(1);
  recordset->Edit();
  Set(*recordset, "Typ", Variant("held"));
  EXPECT_EQ(DaoNumberOf([&] { Other().Execute("UPDATE Logon SET Typ = 'other' WHERE ID = 1"); }), 3218);
  // Another row is held as well where the lock is the file's.
  EXPECT_EQ(DaoNumberOf([&] { Other().Execute("UPDATE Logon SET Typ = 'other' WHERE ID = 2"); }),
            BackEnd().rowLocks ? 0 : 3218);
  recordset->Update();
  Other().Execute("UPDATE Logon SET Typ = 'other' WHERE ID = 2");
  EXPECT_EQ(Committed("SELECT Typ FROM Logon WHERE ID = 1"), "held");
  EXPECT_EQ(Committed("SELECT Typ FROM Logon WHERE ID = 2"), "other");

  // A move gives the lock back without writing.
  recordset->Edit();
  Set(*recordset, "Typ", Variant("dropped"));
  recordset->MoveNext();
  EXPECT_EQ(recordset->EditMode(), dbEditNone);
  Other().Execute("UPDATE Logon SET Typ = 'free' WHERE ID = 1");
  EXPECT_EQ(Committed("SELECT Typ FROM Logon WHERE ID = 1"), "free");
}

TEST_P(RecordsetEditTest, DeletedRowStaysCurrentButUnusableUntilTheCursorMoves) {
  for (int type : {dbOpenDynaset, dbOpenTable}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type);
    recordset->MoveLast();
    const int count = recordset->RecordCount();
    recordset->MovePrevious();
    const int deleted = IdOf(*recordset);
    auto clone = recordset->Clone();
    clone->SetBookmark(recordset->Bookmark());
    recordset->Delete();
    EXPECT_FALSE(recordset->IsBOF());
    EXPECT_FALSE(recordset->IsEOF());
    EXPECT_EQ(recordset->RecordCount(), count - 1);
    EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "Username"); }), 3167);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Delete(); }), 3167);
    EXPECT_EQ(DaoNumberOf([&] { recordset->Edit(); }), 3167);
    recordset->MovePrevious();
    recordset->MoveNext();
    EXPECT_NE(IdOf(*recordset), deleted);
    EXPECT_EQ(Shell("SELECT count(*) FROM Logon WHERE ID = " + std::to_string(deleted)), "0\n");
    // The clone's row is gone too.
    EXPECT_EQ(DaoNumberOf([&] { Value(*clone, "Username"); }), 3167);
    AddLogon("refill", "PC9", 50);
  }
}

TEST_P(RecordsetEditTest, DeletingARowAnotherProcessDeletedAnswers3167) {
  auto recordset = Open("Logon", dbOpenDynaset, 0, dbOptimistic);
  Other().Execute("DELETE FROM Logon WHERE ID = 1");
  EXPECT_EQ(DaoNumberOf([&] { recordset->Delete(); }), 3167);
  recordset->MoveNext();
  recordset->Edit();
  Other().Execute("DELETE FROM Logon WHERE ID = 2");
  EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3167);
}

TEST_P(RecordsetEditTest, RowFoundDeletedIsNotServedAgainFromMemory) {
  for (int type : {dbOpenDynaset, dbOpenTable}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type, 0, dbOptimistic);
    recordset->MoveFirst();
    const std::string id = std::to_string(IdOf(*recordset));
    EXPECT_EQ(Shell("DELETE FROM Logon WHERE ID = " + id), "");
    EXPECT_EQ(DaoNumberOf([&] { recordset->Delete(); }), 3167);
    // Its own 3167 tells the engine the row is gone: a field no longer shows it.
    EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "Username"); }), 3167);
    recordset->MoveNext();
    const std::string next = std::to_string(IdOf(*recordset));
    recordset->Edit();
    EXPECT_EQ(Shell("DELETE FROM Logon WHERE ID = " + next), "");
    EXPECT_EQ(DaoNumberOf([&] { recordset->Update(); }), 3167);
    recordset->CancelUpdate();
    EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "Username"); }), 3167);
    AddLogon("refill", "PC8", 40);
    AddLogon("refill", "PC9", 50);
  }
}

TEST_P(RecordsetEditTest, IdleWithRefreshCacheReadsTheCurrentRowAgain) {
  for (int type : {dbOpenDynaset, dbOpenTable}) {
    SCOPED_TRACE(type);
    auto recordset = Open("Logon", type);
    recordset->MoveFirst();
    const std::string id = std::to_string(IdOf(*recordset));
    EXPECT_EQ(VarToStr(Value(*recordset, "Typ")), "logon");
    EXPECT_EQ(Shell("UPDATE Logon SET Typ = 'stamped' WHERE ID = " + id), "");
    EXPECT_EQ(VarToStr(Value(*recordset, "Typ")), "logon");  // the row as it was read
    engine_.Idle(dbFreeLocks);
    engine_.Idle(dbRefreshCache);
    EXPECT_EQ(VarToStr(Value(*recordset, "Typ")), "stamped");
    EXPECT_EQ(Shell("DELETE FROM Logon WHERE ID = " + id), "");
    engine_.Idle(dbRefreshCache);
    EXPECT_EQ(DaoNumberOf([&] { Value(*recordset, "Typ"); }), 3167);
    EXPECT_EQ(DaoNumberOf([&] { recordset->SetBookmark(recordset->Bookmark()); }), 3167);
    AddLogon("refill", "PC9", 50);
  }
}

TEST_P(RecordsetEditTest, TableEmptiedByItsOwnDeletesReachesTheRowsItAddsNext) {
  auto table = Open("Logon", dbOpenTable);
  while (!table->IsEOF()) {
    table->Delete();
    table->MoveNext();
  }
  table->MoveLast();
  EXPECT_TRUE(table->IsBOF() && table->IsEOF());
  EXPECT_EQ(table->RecordCount(), 0);
  table->AddNew();
  Set(*table, "Username", Variant("first"));
  table->Update();
  EXPECT_EQ(table->RecordCount(), 1);
  table->MoveLast();
  EXPECT_FALSE(table->IsBOF() || table->IsEOF());
  EXPECT_EQ(VarToStr(Value(*table, "Username")), "first");
  table->SetBookmark(table->LastModified());
  table->AddNew();
  Set(*table, "Username", Variant("second"));
  table->Update();
  table->MoveFirst();
  EXPECT_EQ(ReadOn(*table, "Username"), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(table->RecordCount(), 2);
  EXPECT_EQ(Shell("SELECT Username FROM Logon ORDER BY ID"), "first\nsecond\n");
}

TEST_F(RecordsetEditTestOnFile, ChunksOfMemoAndBinaryFields) {
  Execute("CREATE TABLE Blobs (ID COUNTER, Body MEMO, Data LONGBINARY)");
  auto recordset = Open("Blobs", dbOpenDynaset);
  recordset->AddNew();
  Field& body = *recordset->Fields().Item("Body");
  Field& data = *recordset->Fields().Item("Data");
  body.AppendChunk(Variant("first"));  // the first chunk replaces
  body.AppendChunk(Variant(" second"));
  data.AppendChunk(Variant(std::vector<uint8_t>{1, 2}));
  data.AppendChunk(Variant(std::vector<uint8_t>{3}));
  recordset->Update();
  recordset->SetBookmark(recordset->LastModified());
  EXPECT_EQ(body.FieldSize(), 12);
  EXPECT_EQ(VarToStr(body.GetChunk(6, 100)), "second");
  EXPECT_EQ(VarToStr(body.GetChunk(50, 2)), "");
  EXPECT_EQ(data.GetChunk(1, 1), Variant(std::vector<uint8_t>{2}));
  EXPECT_EQ(data.FieldSize(), 3);
  // After Edit the first chunk replaces again.
  recordset->Edit();
  body.AppendChunk(Variant("new"));
  recordset->Update();
  EXPECT_EQ(Shell("SELECT Body, hex(Data) FROM Blobs"), "new|010203\n");
  EXPECT_EQ(DaoNumberOf([&] { recordset->Fields().Item("ID")->GetChunk(0, 1); }), 3259);
}

TEST_F(RecordsetEditTestOnFile, TableTypeEditsAndShowsNewRowsInIndexOrder) {
  Execute("CREATE INDEX ByUser ON Logon (Username)");
  auto table = Open("Logon");
  table->SetIndex("ByUser");
  table->AddNew();
  Set(*table, "Username", Variant("user15"));
  table->Update();
  table->Seek(">", {Variant("user1")});
  EXPECT_EQ(VarToStr(Value(*table, "Username")), "user15");
  table->Edit();
  Set(*table, "Computer", Variant("seeked"));
  table->Update();
  EXPECT_EQ(Shell("SELECT Computer FROM Logon WHERE Username = 'user15'"), "seeked\n");
  table->MoveFirst();
  EXPECT_EQ(ReadOn(*table, "Username"), (std::vector<std::string>{"user0", "user1", "user15", "user2"}));
}

TEST_P(RecordsetEditTest, UpdateInsideAWorkspaceTransactionIsRolledBackWithIt) {
  auto workspace = engine_.DefaultWorkspace();
  auto recordset = Open("Logon", dbOpenDynaset);
  workspace->BeginTrans();
  recordset->AddNew();
  Set(*recordset, "Username", Variant("temporary"));
  recordset->Update();
  recordset->Edit();
  Set(*recordset, "Username", Variant("changed"));
  recordset->Update();
  workspace->Rollback();
  EXPECT_EQ(Shell("SELECT Username FROM Logon ORDER BY ID"), "user1\nuser2\nuser0\n");
}

LUMO_ON_EACH_BACK_END(RecordsetEditTest);

}  // namespace
}  // namespace lumo::jet
