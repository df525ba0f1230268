// The dataset as the logon journal uses it: a table with persistent fields and one inserted
// record, a look-up statement with its count and one field, and an update statement.

#include <gtest/gtest.h>

#include "DatasetTestSupport.h"
#include "db/Fields.h"
#include "runtime/DateTime.h"
#include "runtime/FormReader.h"

namespace lumo {
namespace {

constexpr const char* kLogonTable =
    "CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50), Computer TEXT(20), "
    "logontime DATETIME, logofftime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), "
    "Typ TEXT(10))";

class LumoDaoTableJournalTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    path_ = MakeDatabase({kLogonTable});
    form_ = std::make_unique<TComponent>(nullptr);
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_Database(path_);
    database_->Open();
    logon_ = new TLumoDaoTable(form_.get());
    logon_->SetName("Logon");
    logon_->F_Set_Database(database_.get());
    logon_->F_Set_TableName("Logon");
    AddString("LogonUsername", "Username", 50);
    AddString("LogonComputer", "Computer", 20);
    AddDate("Logonlogontime", "logontime");
    AddString("LogonIP", "IP", 20);
    AddString("LogonBetriebssystem", "Betriebssystem", 50);
    AddString("LogonTyp", "Typ", 10);
    auto* id = new TAutoIncField(form_.get());
    id->SetName("LogonID");
    id->SetFieldName("ID");
    id->SetReadOnly(true);
    id->SetDataSet(logon_);
    AddDate("Logonlogofftime", "logofftime");
    query_ = new TLumoDaoTable(form_.get());
    query_->SetName("query");
    query_->F_Set_Database(database_.get());
  }
  void TearDown() override {
    form_.reset();  // fields first, then the datasets
    DatasetTest::TearDown();
  }

  void AddString(const char* name, const char* fieldName, int size) {
    auto* field = new TStringField(form_.get());
    field->SetName(name);
    field->SetFieldName(fieldName);
    field->SetSize(size);
    field->SetDataSet(logon_);
  }
  void AddDate(const char* name, const char* fieldName) {
    auto* field = new TDateTimeField(form_.get());
    field->SetName(name);
    field->SetFieldName(fieldName);
    field->SetDataSet(logon_);
  }

  void RecordLogon(const std::string& user, const std::string& kind, TDateTime when) {
    logon_->Open();
    logon_->InsertRecord({Variant(user), Variant("PC1"), Variant::FromDate(when), Variant("10.0.0.1\r\n10.0.0.2"),
                          Variant("Debian 12 "), Variant(kind)});
    logon_->Close();
  }

  std::string path_;
  std::unique_ptr<TComponent> form_;
  TLumoDaoTable* logon_ = nullptr;
  TLumoDaoTable* query_ = nullptr;
};

TEST_F(LumoDaoTableJournalTest, InsertRecordWritesSixValuesAndCutsLongTexts) {
  TDateTime when = EncodeDate(2026, 12, 8) + EncodeTime(10, 20, 30, 0);
  RecordLogon("alice", "logonwithalongkind", when);
  EXPECT_EQ(ShellQuery(path_,
                       "SELECT ID, Username, Computer, logontime, quote(logofftime), IP, "
                       "Betriebssystem, Typ FROM Logon"),
            "1|alice|PC1|2026-12-08 10:20:30.000|NULL|10.0.0.1\r\n10.0.0.2|Debian 12 |logonwitha");
  EXPECT_EQ(database_->OpenDatasets().Count(), 0);
}

TEST_F(LumoDaoTableJournalTest, LookupCountsAndReadsTheNewestOpenRow) {
  RecordLogon("bob", "logon", EncodeDate(2026, 12, 7));
  RecordLogon("bob", "logon", EncodeDate(2026, 12, 8));
  SetSql(*query_,
         "select id from logon where username= 'bob' and computer='PC1' and "
         "(logofftime is Null) order by logontime desc");
  query_->Open();
  EXPECT_NE(query_->RecordCount(), 0);
  EXPECT_EQ(query_->FieldByName("id")->AsInteger(), 2);
  query_->Close();

  SetSql(*query_, "update logon set logofftime = #12/08/2026 11:00:00# where id = 2");
  EXPECT_EQ(query_->ExecuteSQL(), 1);
  EXPECT_EQ(ShellQuery(path_, "SELECT ID, quote(logofftime) FROM Logon ORDER BY ID"),
            "1|NULL\n2|'2026-12-08 11:00:00.000'");
}

TEST_F(LumoDaoTableJournalTest, LookupWithoutRowsCountsZero) {
  SetSql(*query_, "select id from logon where username= 'nobody'");
  query_->Open();
  EXPECT_EQ(query_->RecordCount(), 0);
  query_->Close();
}

TEST_F(LumoDaoTableJournalTest, DisconnectClosesEveryOpenDataset) {
  logon_->Open();
  SetSql(*query_, "select * from logon");
  query_->Open();
  EXPECT_EQ(database_->OpenDatasets().Count(), 2);
  database_->Close();
  EXPECT_FALSE(logon_->Active());
  EXPECT_FALSE(query_->Active());
  EXPECT_EQ(database_->OpenDatasets().Count(), 0);
}

TEST_F(LumoDaoTableJournalTest, MissingPersistentFieldRefusesToOpen) {
  MakeDatabase({"CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50), Computer TEXT(20), "
                "logontime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), Typ TEXT(10))"},
               "old.mdb");
  database_->Close();
  database_->F_Set_Database(PathOf("old.mdb"));
  database_->Open();
  EXPECT_EQ(testing::MessageOf([&] { logon_->Open(); }), "Logon: Field 'logofftime' not found");
  EXPECT_FALSE(logon_->Active());
  EXPECT_EQ(database_->OpenDatasets().Count(), 0);
}

TEST_F(LumoDaoTableJournalTest, FormDescriptionWiresDatabaseTableAndPersistentFields) {
  RegisterDaoTableClasses();
  TComponent form(nullptr);
  ReadComponent(
      "object Form1: TComponent\n"
      "  object Database: TLumoDaoDatabase\n"
      "    Database = '" +
          path_ +
          "'\n"
          "    Connected = True\n"
          "  end\n"
          "  object Logon: TLumoDaoTable\n"
          "    Database = Database\n"
          "    TableName = 'Logon'\n"
          "    object LogonUsername: TStringField\n"
          "      FieldName = 'Username'\n"
          "      Size = 50\n"
          "    end\n"
          "    object LogonTyp: TStringField\n"
          "      FieldName = 'Typ'\n"
          "      Size = 10\n"
          "    end\n"
          "  end\n"
          "end\n",
      form);
  auto* logon = dynamic_cast<TLumoDaoTable*>(form.FindComponent("Logon"));
  ASSERT_NE(logon, nullptr);
  ASSERT_NE(logon->Database(), nullptr);
  EXPECT_TRUE(logon->Database()->Connected());
  logon->Open();
  logon->InsertRecord({Variant("carol"), Variant("logoff-typed")});
  logon->Close();
  EXPECT_EQ(ShellQuery(path_, "SELECT Username, Typ FROM Logon"), "carol|logoff-typ");
}

}  // namespace
}  // namespace lumo
