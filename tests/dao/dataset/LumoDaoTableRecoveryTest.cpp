// Keeping the dataset true to the file while another program (the stock shell) changes it:
// recovering from a record deleted elsewhere, counts that match the records that can be
// reached, scrolling past deleted rows, and refreshing.

#include <gtest/gtest.h>

#include "DatasetTestSupport.h"
#include "db/Fields.h"
#include "jet/Recordset.h"

namespace lumo {
namespace {

using testing::MessageOf;

class LumoDaoTableRecoveryTest : public testing::DatasetTest {
 protected:
  // Items item1 .. item<rows>, ID = the number.
  void OpenItems(int tableType, int rows = 10) {
    std::vector<std::string> sql = {
        "CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name TEXT(20), Amount DOUBLE, Flag YESNO)"};
    for (int i = 1; i <= rows; ++i) {
      sql.push_back("INSERT INTO Items (Name, Amount, Flag) VALUES ('item" + std::to_string(i) + "', " +
                    std::to_string(i) + ", " + (i % 2 == 0 ? "True" : "False") + ")");
    }
    path_ = MakeDatabase(sql);
    Connect(path_);
    table_->F_Set_TableName("Items");
    table_->F_Set_TableType(tableType);
    table_->Open();
  }
  std::string Name() { return table_->FieldByName("Name")->AsString(); }
  void Shell(const std::string& sql) { ASSERT_EQ(ShellQuery(path_, sql), ""); }
  // The names from the first record to the last, as a user scrolling with Next sees them.
  std::string Scan() {
    std::string names;
    table_->First();
    while (!table_->Eof()) {
      names += (names.empty() ? "" : ",") + Name();
      table_->Next();
    }
    return names;
  }
  std::string path_;
};

// Both table-type and dynaset datasets.
class LumoDaoTableRecoveryTypesTest : public LumoDaoTableRecoveryTest, public ::testing::WithParamInterface<int> {};

TEST_P(LumoDaoTableRecoveryTypesTest, DeletingARecordDeletedElsewhereEndsOnALiveRecord) {
  OpenItems(GetParam(), 5);
  table_->SetRecNo(3);
  Shell("DELETE FROM Items WHERE ID = 3");
  table_->Delete();  // the engine answers 3167; without a handler that is recovered from
  EXPECT_NE(Name(), "item3");
  EXPECT_FALSE(Name().empty());
  EXPECT_EQ(table_->RecordCount(), 4);
  EXPECT_EQ(Scan(), "item1,item2,item4,item5");
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM Items"), "4");
}

TEST_P(LumoDaoTableRecoveryTypesTest, DeleteErrorHandlerSeesTheErrorAndTheCursorIsRecovered) {
  OpenItems(GetParam(), 5);
  std::vector<std::string> messages;
  TDataAction answer = TDataAction::daFail;
  table_->OnDeleteError = [&](TDataSet&, Exception& error, TDataAction& action) {
    messages.push_back(error.Message());
    action = answer;
  };
  table_->SetRecNo(2);
  Shell("DELETE FROM Items WHERE ID = 2");
  EXPECT_EQ(MessageOf([&] { table_->Delete(); }), "Record is deleted.");
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_NE(Name(), "item2");
  EXPECT_EQ(table_->RecordCount(), 4);
  EXPECT_EQ(Scan(), "item1,item3,item4,item5");

  answer = TDataAction::daAbort;
  table_->SetRecNo(4);
  EXPECT_EQ(Name(), "item5");
  Shell("DELETE FROM Items WHERE ID = 5");
  EXPECT_EQ(MessageOf([&] { table_->Delete(); }), "");
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(Name(), "item4");
  EXPECT_EQ(table_->RecordCount(), 3);
  EXPECT_EQ(Scan(), "item1,item3,item4");
}

TEST_P(LumoDaoTableRecoveryTypesTest, EditingARecordDeletedElsewhereEndsOnALiveRecord) {
  OpenItems(GetParam(), 4);
  table_->SetRecNo(2);
  Shell("DELETE FROM Items WHERE ID = 2");
  EXPECT_NE(MessageOf([&] { table_->Edit(); }), "");
  table_->Cancel();
  EXPECT_NE(Name(), "item2");
  EXPECT_EQ(table_->RecordCount(), 3);
  EXPECT_EQ(Scan(), "item1,item3,item4");
}

TEST_P(LumoDaoTableRecoveryTypesTest, ScrollingSkipsARowDeletedElsewhere) {
  OpenItems(GetParam(), 6);
  table_->SetRecNo(2);
  Shell("DELETE FROM Items WHERE ID IN (3, 4)");
  table_->Next();
  EXPECT_FALSE(table_->Eof());
  EXPECT_EQ(Name(), "item5");
  // Count and numbers follow the records that are there.
  EXPECT_EQ(table_->RecNo(), 3);
  EXPECT_EQ(table_->RecordCount(), 4);
  table_->Next();
  EXPECT_EQ(Name(), "item6");
  EXPECT_EQ(table_->RecNo(), 4);
  table_->Prior();
  table_->Prior();
  EXPECT_EQ(Name(), "item2");
  table_->Next();
  table_->Next();
  table_->Next();
  EXPECT_TRUE(table_->Eof());
  EXPECT_EQ(Name(), "item6");
  table_->SetRecNo(3);
  EXPECT_EQ(Name(), "item5");
  EXPECT_EQ(table_->RecNo(), 3);
}

TEST_P(LumoDaoTableRecoveryTypesTest, RefreshReadsTheCurrentRecordAgain) {
  OpenItems(GetParam(), 3);
  table_->Next();
  EXPECT_EQ(Name(), "item2");
  Shell("UPDATE Items SET Name = 'changed' WHERE ID = 2");
  Shell("UPDATE Items SET Name = 'also' WHERE ID = 3");
  table_->Refresh();
  EXPECT_EQ(Name(), "changed");
  table_->Next();
  EXPECT_EQ(Name(), "also");
}

INSTANTIATE_TEST_SUITE_P(TableAndDynaset, LumoDaoTableRecoveryTypesTest,
                         ::testing::Values(jet::dbOpenTable, jet::dbOpenDynaset),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == jet::dbOpenTable ? std::string("Table") : std::string("Dynaset");
                         });

TEST_F(LumoDaoTableRecoveryTest, StandardTableReachesRowsAnotherProgramAdded) {
  OpenItems(jet::dbOpenTable, 10);
  EXPECT_EQ(table_->RecordCount(), 10);
  table_->Last();
  Shell("INSERT INTO Items (Name) VALUES ('item11')");
  Shell("INSERT INTO Items (Name) VALUES ('item12')");
  table_->Refresh();
  EXPECT_EQ(table_->RecordCount(), 12);
  table_->Last();
  EXPECT_EQ(Name(), "item12");
  EXPECT_EQ(table_->RecNo(), 12);
  table_->SetRecNo(11);
  EXPECT_EQ(Name(), "item11");
  EXPECT_EQ(table_->RecNo(), 11);
}

TEST_F(LumoDaoTableRecoveryTest, RecordNumberZeroWithAFilterHandlerReturnsToTheOldRecord) {
  OpenItems(jet::dbOpenDynaset, 10);
  table_->OnFilterRecord = [this](TDataSet&, bool& accept) { accept = table_->FieldByName("Flag")->AsBoolean(); };
  table_->SetFiltered(true);
  table_->SetRecNo(2);
  EXPECT_EQ(Name(), "item4");
  EXPECT_EQ(MessageOf([&] { table_->SetRecNo(0); }), "");
  EXPECT_EQ(Name(), "item4");
  EXPECT_EQ(table_->RecNo(), 2);
  table_->Next();
  EXPECT_EQ(Name(), "item6");
}

}  // namespace
}  // namespace lumo
