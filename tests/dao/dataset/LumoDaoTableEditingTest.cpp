// Inserting, editing, posting and deleting through the engine, seen from the file.

#include <gtest/gtest.h>

#include <cstdlib>

#include "DatasetTestSupport.h"
#include "db/Fields.h"
#include "jet/DaoConstants.h"
#include "jet/Recordset.h"
#include "runtime/ClassInfo.h"

namespace lumo {
namespace {

using testing::MessageOf;

// An encrypter as any application may plug in: it only publishes the two string properties.
// Encoding reverses the text; a text "fail" cannot be encoded.
class TReversingEncrypter : public TComponent {
 public:
  using TComponent::TComponent;
  static const ClassInfo& StaticClass() {
    static const ClassInfo info =
        ClassBuilder<TReversingEncrypter>("TReversingEncrypter", &TComponent::StaticClass)
            .String("EncodedString", &TReversingEncrypter::Encoded, &TReversingEncrypter::SetEncoded)
            .String("DecodedString", &TReversingEncrypter::Decoded, &TReversingEncrypter::SetDecoded);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
  std::string Encoded() const { return encoded_; }
  std::string Decoded() const { return decoded_; }
  void SetEncoded(const std::string& text) {
    encoded_ = text;
    decoded_.assign(text.rbegin(), text.rend());
  }
  void SetDecoded(const std::string& text) {
    if (text == "fail") throw EConvertError("cannot encode");
    decoded_ = text;
    encoded_.assign(text.rbegin(), text.rend());
  }

 private:
  std::string encoded_;
  std::string decoded_;
};

class LumoDaoTableEditingTest : public testing::DatasetTest {
 protected:
  void OpenPeople(const std::vector<std::string>& more = {}) {
    std::vector<std::string> sql = {
        "CREATE TABLE People (ID COUNTER PRIMARY KEY, Name TEXT(20) NOT NULL, City TEXT(20), "
        "Born DATETIME, Score DOUBLE, Active YESNO)",
        "CREATE UNIQUE INDEX ByName ON People (Name)",
        "INSERT INTO People (Name, City, Score) VALUES ('Ann', 'Bonn', 1.5)",
        "INSERT INTO People (Name, City, Score) VALUES ('Bob', 'Köln', 2.5)",
        "INSERT INTO People (Name, City, Score) VALUES ('Cid', 'Jena', 3.5)"};
    sql.insert(sql.end(), more.begin(), more.end());
    path_ = MakeDatabase(sql);
    Connect(path_);
    table_->F_Set_TableName("People");
    table_->Open();
  }
  TField* F(const char* name) { return table_->FieldByName(name); }
  std::string Rows() { return ShellQuery(path_, "SELECT ID, Name, City, quote(Score) FROM People ORDER BY ID"); }
  // The names from the first record to the last.
  std::string Scan() {
    std::string names;
    for (table_->First(); !table_->Eof(); table_->Next()) {
      names += (names.empty() ? "" : ",") + F("Name")->AsString();
    }
    return names;
  }
  std::string path_;
};

TEST_F(LumoDaoTableEditingTest, EditWritesTheChangedFieldAndStartsFromFreshValues) {
  OpenPeople();
  table_->Next();  // Bob
  EXPECT_EQ(ShellQuery(path_, "UPDATE People SET City = 'Graz' WHERE Name = 'Bob'"), "");
  table_->Edit();
  EXPECT_EQ(F("City")->AsString(), "Graz");  // editing starts from the engine's values
  F("Score")->SetAsFloat(9.25);
  table_->Post();
  EXPECT_EQ(Rows(), "1|Ann|Bonn|1.5\n2|Bob|Graz|9.25\n3|Cid|Jena|3.5");
  EXPECT_EQ(F("Name")->AsString(), "Bob");
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
}

TEST_F(LumoDaoTableEditingTest, OptimisticConflictCancelsTheEngineEdit) {
  OpenPeople();
  table_->Edit();
  EXPECT_EQ(ShellQuery(path_, "UPDATE People SET City = 'Graz' WHERE Name = 'Ann'"), "");
  F("Score")->SetAsFloat(7);
  EXPECT_NE(MessageOf([&] { table_->Post(); }).find("another user"), std::string::npos);
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  table_->Cancel();
  EXPECT_EQ(ShellQuery(path_, "SELECT City, Score FROM People WHERE ID = 1"), "Graz|1.5");
}

TEST_F(LumoDaoTableEditingTest, NullAndDatesTravelAsEngineValues) {
  OpenPeople();
  table_->Edit();
  F("City")->Clear();
  F("Born")->SetAsDateTime(EncodeDate(1990, 3, 5) + EncodeTime(6, 7, 8, 0));
  F("Active")->SetAsBoolean(true);
  table_->Post();
  EXPECT_EQ(ShellQuery(path_, "SELECT quote(City), Born, Active FROM People WHERE ID = 1"),
            "NULL|1990-03-05 06:07:08.000|-1");
  EXPECT_TRUE(F("City")->IsNull());
  EXPECT_TRUE(F("Active")->AsBoolean());
}

TEST_F(LumoDaoTableEditingTest, AppendedRecordBecomesCurrentWithUntouchedFieldsLeftOut) {
  OpenPeople();
  table_->Append();
  F("Name")->SetAsString("Dora");
  F("City")->SetAsString("Wien");
  table_->Post();
  EXPECT_EQ(F("Name")->AsString(), "Dora");
  EXPECT_EQ(F("ID")->AsInteger(), 4);
  EXPECT_EQ(ShellQuery(path_, "SELECT Name, City, quote(Score), quote(Born) FROM People WHERE ID = 4"),
            "Dora|Wien|NULL|NULL");
  table_->Prior();
  EXPECT_EQ(F("Name")->AsString(), "Cid");
}

TEST_F(LumoDaoTableEditingTest, RecordInsertedInTheMiddleIsAddedAndBecomesCurrent) {
  OpenPeople();
  table_->Next();
  table_->Insert();
  F("Name")->SetAsString("Bea");
  table_->Post();
  EXPECT_EQ(F("Name")->AsString(), "Bea");
  EXPECT_EQ(F("ID")->AsInteger(), 4);
  EXPECT_EQ(table_->RecordCount(), 4);
  EXPECT_EQ(ShellQuery(path_, "SELECT Name FROM People WHERE ID = 4"), "Bea");
}

TEST_F(LumoDaoTableEditingTest, CancelledInsertNeverReachesTheEngineAndCancelledEditIsDropped) {
  OpenPeople();
  table_->Insert();
  F("Name")->SetAsString("Zed");
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  table_->Cancel();
  table_->Edit();
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditInProgress);
  F("Name")->SetAsString("Xavier");
  table_->Cancel();
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  EXPECT_EQ(F("Name")->AsString(), "Ann");
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*), min(Name) FROM People"), "3|Ann");
}

TEST_F(LumoDaoTableEditingTest, FailedPostWithoutHandlerRaisesAndLeavesNothingPending) {
  OpenPeople();
  table_->Append();
  F("Name")->SetAsString("Ann");  // the unique index refuses a second Ann
  EXPECT_NE(MessageOf([&] { table_->Post(); }), "");
  EXPECT_EQ(table_->State(), TDataSetState::dsInsert);
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  F("Name")->SetAsString("Eve");
  table_->Post();
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM People"), "4");
}

TEST_F(LumoDaoTableEditingTest, PostErrorHandlerRetriesWithTheEngineErrorText) {
  OpenPeople();
  std::vector<std::string> messages;
  table_->OnPostError = [&](TDataSet&, Exception& error, TDataAction& action) {
    messages.push_back(error.Message());
    // Make room for the new record, then try again.
    ShellQuery(path_, "UPDATE People SET Name = 'Ann (old)' WHERE Name = 'Ann'");
    action = TDataAction::daRetry;
  };
  table_->Append();
  F("Name")->SetAsString("Ann");
  table_->Post();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], database_->GetLastDaoError().Description);
  EXPECT_EQ(ShellQuery(path_, "SELECT Name FROM People WHERE ID = 4"), "Ann");
}

TEST_F(LumoDaoTableEditingTest, PostErrorHandlerAbortsQuietly) {
  OpenPeople();
  int calls = 0;
  table_->OnPostError = [&](TDataSet&, Exception&, TDataAction& action) {
    ++calls;
    action = TDataAction::daAbort;
  };
  table_->Next();
  table_->Edit();
  F("Name")->SetAsString("Cid");
  EXPECT_EQ(MessageOf([&] { table_->Post(); }), "");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  EXPECT_EQ(ShellQuery(path_, "SELECT Name FROM People WHERE ID = 2"), "Bob");
}

TEST_F(LumoDaoTableEditingTest, RefreshSortedRequeriesAfterPostingAndGoesToTheFirst) {
  OpenPeople();
  table_->Close();
  table_->SortedBy().Add("Name");
  table_->F_Set_RefreshSorted(true);
  table_->Open();
  table_->Last();
  table_->Edit();
  F("Name")->SetAsString("Aaron");  // Cid becomes the first by name
  table_->PostRecord();
  EXPECT_EQ(F("Name")->AsString(), "Aaron");
  EXPECT_TRUE(table_->Bof());
  table_->Next();
  EXPECT_EQ(F("Name")->AsString(), "Ann");
}

TEST_F(LumoDaoTableEditingTest, EditErrorHandlerSeesTheEngineErrorAndMayAbort) {
  OpenPeople();
  ShellQuery(path_, "DELETE FROM People WHERE Name = 'Ann'");
  std::vector<std::string> messages;
  int helpContext = 0;
  table_->OnEditError = [&](TDataSet&, Exception& error, TDataAction& action) {
    messages.push_back(error.Message());
    helpContext = error.HelpContext();
    action = TDataAction::daAbort;
  };
  table_->Edit();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Record is deleted.");  // the engine's own description and help
  EXPECT_EQ(helpContext, 5003167);
  EXPECT_EQ(table_->State(), TDataSetState::dsEdit);
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  table_->Cancel();
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
}

TEST_F(LumoDaoTableEditingTest, RowDeletedElsewhereIsRecoveredFromOnRefresh) {
  OpenPeople();
  ShellQuery(path_, "DELETE FROM People WHERE Name = 'Ann'");
  int deleteCalls = 0;
  table_->OnDeleteError = [&](TDataSet&, Exception&, TDataAction& action) {
    ++deleteCalls;
    action = TDataAction::daAbort;
  };
  table_->Refresh();  // Ann is gone: the cursor is rebuilt on Bob
  EXPECT_EQ(F("Name")->AsString(), "Bob");
  table_->Delete();
  EXPECT_EQ(deleteCalls, 0);
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Cid");
}

TEST_F(LumoDaoTableEditingTest, DeletingTheLastRecordLeavesThePriorOneCurrent) {
  OpenPeople();
  table_->Last();
  table_->Delete();
  EXPECT_EQ(F("Name")->AsString(), "Bob");
  EXPECT_EQ(table_->RecordCount(), 2);
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Ann,Bob");
  table_->First();
  table_->Delete();
  table_->Delete();
  EXPECT_TRUE(table_->IsEmpty());
  EXPECT_EQ(table_->RecordCount(), 0);
}

TEST_F(LumoDaoTableEditingTest, ReadOnlyDatasetRefusesEveryChangeBeforeTheEngine) {
  OpenPeople();
  table_->Close();
  table_->SetName("People");
  table_->F_Set_ReadOnly(true);
  table_->Open();
  const std::string refused = "People: Cannot modify a read-only dataset";
  EXPECT_EQ(MessageOf([&] { table_->Delete(); }), refused);
  EXPECT_EQ(MessageOf([&] { table_->Edit(); }), refused);
  EXPECT_EQ(MessageOf([&] { table_->Append(); }), refused);
  EXPECT_EQ(MessageOf([&] { table_->AppendRecord({Variant(), Variant("Dora")}); }), refused);
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(F("Name")->AsString(), "Ann");
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Ann,Bob,Cid");
}

TEST_F(LumoDaoTableEditingTest, StandardTableEmptiedByItsOwnDeletesTakesOneNewRecordPerPost) {
  OpenPeople();
  table_->Close();
  table_->F_Set_TableType(jet::dbOpenTable);
  table_->Open();
  while (!table_->IsEmpty()) table_->Delete();
  table_->Append();
  F("Name")->SetAsString("Dora");
  EXPECT_EQ(MessageOf([&] { table_->Post(); }), "");
  EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(F("Name")->AsString(), "Dora");
  EXPECT_EQ(table_->RecordCount(), 1);
  table_->CheckBrowseMode();  // nothing pending: nothing is written again
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Dora");
  table_->Append();
  F("Name")->SetAsString("Eve");
  table_->Post();
  EXPECT_EQ(F("Name")->AsString(), "Eve");
  EXPECT_EQ(Scan(), "Dora,Eve");
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Dora,Eve");
}

TEST_F(LumoDaoTableEditingTest, RecordThatVanishesRightAfterItsUpdateIsWrittenOnce) {
  // A trigger takes every new row away as soon as it is written, so that finding the posted
  // record again fails after the engine has committed it.
  OpenPeople({"CREATE TABLE Writes (Name TEXT(20))"});
  table_->Close();
  ASSERT_EQ(ShellQuery(path_,
                       "CREATE TRIGGER Vanish AFTER INSERT ON People BEGIN "
                       "INSERT INTO Writes VALUES (new.Name); "
                       "DELETE FROM People WHERE ID = new.ID; END"),
            "");
  for (int type : {jet::dbOpenDynaset, jet::dbOpenTable}) {
    table_->F_Set_TableType(type);
    table_->Open();
    table_->Append();
    const std::string name = "Ghost" + std::to_string(type);
    F("Name")->SetAsString(name);
    table_->Post();
    EXPECT_EQ(table_->State(), TDataSetState::dsBrowse);
    table_->CheckBrowseMode();
    EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM Writes WHERE Name = '" + name + "'"), "1");
    EXPECT_EQ(Scan(), "Ann,Bob,Cid");
    // A dynaset keeps the key of its own new row, as it keeps those of rows others deleted.
    if (type == jet::dbOpenTable) {
      EXPECT_EQ(table_->RecordCount(), 3);
    }
    table_->Close();
  }
}

TEST_F(LumoDaoTableEditingTest, PostsInsideATransactionReachTheFileOnlyWithItsCommit) {
  OpenPeople();
  database_->StartTransaction();
  table_->Append();
  F("Name")->SetAsString("Dora");
  table_->Post();
  table_->First();
  table_->Edit();
  F("City")->SetAsString("Graz");
  table_->Post();
  EXPECT_EQ(Rows(), "1|Ann|Bonn|1.5\n2|Bob|Köln|2.5\n3|Cid|Jena|3.5");  // others see nothing yet
  database_->Rollback();
  EXPECT_FALSE(database_->InTransaction());
  table_->Refresh();
  EXPECT_EQ(F("City")->AsString(), "Bonn");
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Ann,Bob,Cid");
  database_->StartTransaction();
  table_->AppendRecord({Variant(), Variant("Eve")});
  database_->Commit();
  EXPECT_EQ(ShellQuery(path_, "SELECT group_concat(Name) FROM People"), "Ann,Bob,Cid,Eve");
}

TEST_F(LumoDaoTableEditingTest, EncrypterStoresEncodedTextAndShowsDecodedText) {
  OpenPeople();
  table_->Close();
  TReversingEncrypter encrypter(nullptr);
  table_->F_Set_Encrypter(&encrypter);
  table_->Open();
  EXPECT_EQ(F("Name")->AsString(), "nnA");  // the plain files hold no encoded text yet
  table_->Append();
  F("Name")->SetAsString("Secret");
  table_->Post();
  EXPECT_EQ(ShellQuery(path_, "SELECT Name FROM People WHERE ID = 4"), "terceS");
  EXPECT_EQ(F("Name")->AsString(), "Secret");
  // A value the encrypter refuses leaves no half-written record in the engine.
  table_->Append();
  F("Name")->SetAsString("fail");
  EXPECT_EQ(MessageOf([&] { table_->Post(); }), "cannot encode");
  EXPECT_EQ(table_->DaoRecordset()->EditMode(), jet::dbEditNone);
  table_->Cancel();
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM People"), "4");
  table_->F_Set_Encrypter(nullptr);
}

TEST_F(LumoDaoTableEditingTest, RemovingTheEncrypterClosesTheDataset) {
  OpenPeople();
  auto encrypter = std::make_unique<TReversingEncrypter>(nullptr);
  table_->F_Set_Encrypter(encrypter.get());
  EXPECT_TRUE(table_->Active());  // reopened with the encrypter
  EXPECT_EQ(F("Name")->AsString(), "nnA");
  encrypter.reset();
  EXPECT_FALSE(table_->Active());
  EXPECT_EQ(table_->Encrypter(), nullptr);
}

TEST_F(LumoDaoTableEditingTest, CopiedRecordOwnsItsValues) {
  OpenPeople();
  TRecordBuffer copy = table_->NewRecordBuffer();
  ASSERT_TRUE(table_->CopyCurrentRecord(copy));
  auto* copied = reinterpret_cast<TDaoRecordHeader*>(copy)->ValueList;
  auto* original = reinterpret_cast<TDaoRecordHeader*>(table_->ActiveBuffer())->ValueList;
  EXPECT_NE(copied, original);
  EXPECT_EQ(copied->text[1], "Ann");
  table_->DisposeRecordBuffer(copy);
  table_->Next();
  EXPECT_EQ(F("Name")->AsString(), "Bob");
}

TEST_F(LumoDaoTableEditingTest, FileMadeByTheShellIsScrolledEditedAppendedAndDeleted) {
  path_ = PathOf("shell.mdb");
  const std::string create = std::string(JETSH_PATH) + " -c '" + path_ +
                             "' \"CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50), logontime DATETIME)\""
                             " \"INSERT INTO Logon (Username, logontime) VALUES ('u1', #12/01/2026 08:00:00#)\""
                             " \"INSERT INTO Logon (Username, logontime) VALUES ('u2', #12/02/2026 09:30:00#)\""
                             " \"INSERT INTO Logon (Username, logontime) VALUES ('u3', #12/03/2026 10:45:00#)\" "
                             "> /dev/null";
  ASSERT_EQ(std::system(create.c_str()), 0);
  Connect(path_);
  table_->F_Set_TableName("Logon");
  table_->Open();
  table_->Last();
  EXPECT_EQ(F("Username")->AsString(), "u3");
  EXPECT_EQ(F("logontime")->AsDateTime(), EncodeDate(2026, 12, 3) + EncodeTime(10, 45, 0, 0));
  table_->Prior();
  table_->Edit();
  F("Username")->SetAsString("u2-edited");
  table_->Post();
  table_->AppendRecord({Variant(), Variant("u4"), Variant::FromDate(EncodeDate(2026, 12, 4))});
  table_->First();
  table_->Delete();
  EXPECT_EQ(ShellQuery(path_, "SELECT ID, Username, logontime FROM Logon ORDER BY ID"),
            "2|u2-edited|2026-12-02 09:30:00.000\n"
            "3|u3|2026-12-03 10:45:00.000\n"
            "4|u4|2026-12-04 00:00:00.000");
}

}  // namespace
}  // namespace lumo
