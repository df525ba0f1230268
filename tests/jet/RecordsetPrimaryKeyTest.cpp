// Dynasets over tables another tool made WITHOUT ROWID: rows found, read and written by their
// primary keys, with the stock shell as the other tool and the independent reader.

#include <gtest/gtest.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Recordset.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;
using testing::StockShell;

class RecordsetPrimaryKeyTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("other.db");
    // Made by another tool: a text key and a key of two fields, write-ahead log as ours.
    Shell(
        "PRAGMA journal_mode=WAL; "
        "CREATE TABLE kv (k TEXT PRIMARY KEY, v INTEGER, note TEXT) WITHOUT ROWID; "
        "INSERT INTO kv VALUES ('c', 3, 'z'), ('a', 1, 'x'), ('b', 2, 'y'); "
        "CREATE TABLE pair (a INTEGER, b TEXT, n REAL, PRIMARY KEY (a, b)) WITHOUT ROWID; "
        "INSERT INTO pair VALUES (2, 'x', 0.5), (1, 'y', 1.5), (1, 'x', 2.5)");
    database_ = engine_.OpenDatabase(path_);
  }
  void TearDown() override {
    database_.reset();
    TempFolderTest::TearDown();
  }
  std::string Shell(const std::string& sql) { return StockShell(path_, sql); }
  static std::string Text(Recordset& recordset, const std::string& field) {
    return VarToStr(recordset.Fields().Item(field)->Value());
  }
  static void Set(Recordset& recordset, const std::string& field, const Variant& value) {
    recordset.Fields().Item(field)->SetValue(value);
  }
  // One field of every row from the current one on.
  static std::string ReadOn(Recordset& recordset, const std::string& field) {
    std::string values;
    for (; !recordset.IsEOF(); recordset.MoveNext()) values += (values.empty() ? "" : ",") + Text(recordset, field);
    return values;
  }

  DBEngine engine_{"3.6"};
  DBEngine otherEngine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(RecordsetPrimaryKeyTest, OpensAsAnUpdatableDynasetInKeyOrderOrItsOwn) {
  struct Case {
    const char* source;
    int type;
    const char* keys;
  };
  const Case cases[] = {
      {"kv", 0, "a,b,c"},
      {"kv", dbOpenTable, "a,b,c"},
      {"kv", dbOpenDynaset, "a,b,c"},
      {"SELECT k, v FROM kv WHERE v >= 2", dbOpenDynaset, "b,c"},
      {"SELECT * FROM kv ORDER BY v DESC", 0, "c,b,a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    auto recordset = database_->OpenRecordset(c.source, c.type);
    EXPECT_EQ(recordset->Type(), dbOpenDynaset);
    EXPECT_TRUE(recordset->Updatable());
    EXPECT_TRUE(recordset->Fields().Item("k")->DataUpdatable());
    EXPECT_EQ(ReadOn(*recordset, "k"), c.keys);
  }
  // A snapshot stays a snapshot.
  auto snapshot = database_->OpenRecordset("kv", dbOpenSnapshot);
  EXPECT_FALSE(snapshot->Updatable());
  EXPECT_EQ(DaoNumberOf([&] { snapshot->Edit(); }), 3251);
}

TEST_F(RecordsetPrimaryKeyTest, EditAddNewAndDeleteWriteTheRowsTheirKeysName) {
  auto kv = database_->OpenRecordset("kv", dbOpenDynaset);
  kv->Edit();
  Set(*kv, "note", Variant("first"));
  kv->Update();
  // A new key: the row keeps its place and is written by its new key afterwards.
  kv->MoveNext();
  kv->Edit();
  Set(*kv, "k", Variant("bb"));
  kv->Update();
  const Variant bookmark = kv->Bookmark();
  kv->Edit();
  Set(*kv, "v", Variant(20));
  kv->Update();
  EXPECT_EQ(Text(*kv, "k"), "bb");
  kv->AddNew();
  Set(*kv, "k", Variant("d"));
  Set(*kv, "v", Variant(4));
  kv->Update();
  kv->MoveFirst();
  kv->Delete();
  EXPECT_EQ(Shell("SELECT group_concat(k || ':' || v || ':' || ifnull(note, '-'), ' ') FROM kv"),
            "bb:20:y c:3:z d:4:-\n");
  // The list: deleted rows gone, the added one last, bookmarks still good.
  kv->MoveFirst();
  EXPECT_EQ(ReadOn(*kv, "k"), "bb,c,d");
  kv->MoveLast();
  EXPECT_EQ(kv->RecordCount(), 3);
  kv->SetBookmark(bookmark);
  EXPECT_EQ(Text(*kv, "v"), "20");
  kv->SetBookmark(kv->LastModified());
  EXPECT_EQ(Text(*kv, "k"), "d");
  // The same key twice answers the engine's number and keeps the file as it was.
  kv->AddNew();
  Set(*kv, "k", Variant("c"));
  EXPECT_EQ(DaoNumberOf([&] { kv->Update(); }), 3022);
  kv->CancelUpdate();

  // Two fields make the key.
  auto pair = database_->OpenRecordset("SELECT * FROM pair", dbOpenDynaset);
  EXPECT_EQ(Text(*pair, "a") + Text(*pair, "b"), "1x");
  pair->MoveNext();
  pair->Edit();
  Set(*pair, "n", Variant(9.25));
  pair->Update();
  pair->MoveNext();
  pair->Delete();
  EXPECT_EQ(Shell("SELECT group_concat(a || b || '=' || n, ' ') FROM pair"), "1x=2.5 1y=9.25\n");
  EXPECT_EQ(Shell("PRAGMA integrity_check"), "ok\n");
}

TEST_F(RecordsetPrimaryKeyTest, OthersChangesShowAndTheirDeletionsAnswer3167) {
  auto kv = database_->OpenRecordset("kv", dbOpenDynaset);
  auto other = otherEngine_.OpenDatabase(path_);
  other->Execute("UPDATE kv SET v = 30 WHERE k = 'c'");
  other->Execute("DELETE FROM kv WHERE k = 'b'");
  kv->MoveNext();
  EXPECT_EQ(DaoNumberOf([&] { kv->Fields().Item("v")->Value(); }), 3167);
  EXPECT_EQ(DaoNumberOf([&] { kv->Edit(); }), 3167);
  kv->MoveNext();
  EXPECT_EQ(Text(*kv, "v"), "30");
  // Optimistic locking sees the other writer as well.
  kv->SetLockEdits(false);
  kv->Edit();
  other->Execute("UPDATE kv SET note = 'theirs' WHERE k = 'c'");
  Set(*kv, "note", Variant("mine"));
  EXPECT_EQ(DaoNumberOf([&] { kv->Update(); }), 3197);
  kv->Update();
  EXPECT_EQ(Shell("SELECT note FROM kv WHERE k = 'c'"), "mine\n");
  // Find and a clone go by the same keys.
  kv->FindFirst("v = 30");
  EXPECT_FALSE(kv->NoMatch());
  EXPECT_EQ(Text(*kv, "k"), "c");
  auto clone = kv->Clone();
  clone->SetBookmark(kv->Bookmark());
  clone->Delete();
  EXPECT_EQ(DaoNumberOf([&] { kv->Fields().Item("v")->Value(); }), 3167);
  EXPECT_EQ(Shell("SELECT group_concat(k) FROM kv"), "a\n");
}

TEST_F(RecordsetPrimaryKeyTest, LongListsAreReadAsFarAsTheCursorGoes) {
  // More keys than the first chunks hold, keys given out of order.
  std::string insert = "INSERT INTO pair (a, b, n) VALUES ";
  for (int i = 0; i < 500; ++i)
    insert +=
        std::string(i ? ", " : "") + "(" + std::to_string((i * 7) % 500 + 10) + ", 'k', " + std::to_string(i) + ")";
  Shell(insert);
  database_->Close();
  database_ = engine_.OpenDatabase(path_);
  auto pair = database_->OpenRecordset("SELECT a FROM pair WHERE b = 'k'", dbOpenDynaset);
  int expected = 10;
  int count = 0;
  for (; !pair->IsEOF(); pair->MoveNext(), ++expected, ++count) {
    if (pair->Fields().Item("a")->Value().AsInteger() != expected) break;
  }
  EXPECT_EQ(count, 500);
  pair->MoveLast();
  EXPECT_EQ(pair->RecordCount(), 500);
  pair->SetAbsolutePosition(250);
  EXPECT_EQ(Text(*pair, "a"), "260");
  auto limited = database_->OpenRecordset("SELECT a FROM pair WHERE b = 'k' ORDER BY a DESC", dbOpenDynaset);
  EXPECT_EQ(Text(*limited, "a"), "509");
  limited->MoveLast();
  EXPECT_EQ(limited->RecordCount(), 500);
  EXPECT_EQ(Text(*limited, "a"), "10");
}

}  // namespace
}  // namespace lumo::jet
