// Filter, Filtered, OnFilterRecord and SortedBy on an open dataset over a real file: what
// rebuilds the recordset and what only stores, the first record afterwards, and a setting the
// engine refuses, which leaves the dataset open as it was.

#include "dao/dataset/LumoDaoTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/Field.h"
#include "jet/Recordset.h"
#include "tests/dao/dataset/DatasetTestSupport.h"

namespace lumo {
namespace {

using testing::DaoNumberOf;
using testing::DatasetTest;

class LumoDaoTableFilterTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    path_ = MakeDatabase({"CREATE TABLE Orders (ID COUNTER PRIMARY KEY, CustNo LONG, Amount DOUBLE, Item TEXT(20))",
                          "CREATE INDEX ByCust ON Orders (CustNo)",
                          "INSERT INTO Orders (CustNo, Amount, Item) VALUES (5, 150, 'Tisch')",
                          "INSERT INTO Orders (CustNo, Amount, Item) VALUES (7, 20, 'Lampe')",
                          "INSERT INTO Orders (CustNo, Amount, Item) VALUES (5, 80, 'Stuhl')",
                          "INSERT INTO Orders (CustNo, Amount, Item) VALUES (Null, 300, 'Schrank')",
                          "INSERT INTO Orders (CustNo, Amount, Item) VALUES (7, 120, 'Bett')"});
    Connect(path_);
    table_->F_Set_TableName("Orders");
    table_->F_Set_TableType(jet::dbOpenDynaset);
  }

  std::vector<int> Ids() {
    std::vector<int> ids;
    for (table_->First(); !table_->Eof(); table_->Next()) ids.push_back(table_->FieldByName("ID")->AsInteger());
    table_->First();
    return ids;
  }
  int Id() const { return table_->FieldByName("ID")->AsInteger(); }

  std::string path_;
};

using IdList = std::vector<int>;

TEST_F(LumoDaoTableFilterTest, FilterWaitsForFilteredAndFilteredRebuildsOnlyOnAChange) {
  table_->Open();
  table_->MoveBy(2);
  table_->SetFilter("Amount > 100");
  // Not filtered yet: the text is only kept; a rebuild would have gone to the first record.
  EXPECT_EQ(Id(), 3);
  EXPECT_EQ(table_->RecordCount(), 5);

  table_->SetFiltered(true);
  EXPECT_EQ(Id(), 1);  // on the first record
  EXPECT_EQ(Ids(), (IdList{1, 4, 5}));
  // The engine's recordset holds the filtered rows: nothing is read and thrown away here.
  table_->DaoRecordset()->MoveLast();
  EXPECT_EQ(table_->DaoRecordset()->RecordCount(), 3);
  table_->First();

  // The value it has already: nothing happens, the record stays.
  table_->Next();
  table_->SetFiltered(true);
  EXPECT_EQ(Id(), 4);

  // A new text while filtered rebuilds at once; one that matches nothing leaves it empty.
  table_->SetFilter("Item LIKE \"S*\"");
  EXPECT_EQ(Ids(), (IdList{3, 4}));
  table_->SetFilter("Amount > 1000");
  EXPECT_TRUE(table_->IsEmpty());
  EXPECT_TRUE(table_->Eof());
  table_->SetFiltered(false);
  EXPECT_EQ(Ids(), (IdList{1, 2, 3, 4, 5}));
  EXPECT_EQ(table_->Filter(), "Amount > 1000");
}

TEST_F(LumoDaoTableFilterTest, ARecordFilterHandlerSeesOnlyWhatTheEngineLetThrough) {
  table_->SetFilter("Amount > 50");
  table_->SetFiltered(true);
  table_->Open();
  EXPECT_EQ(Ids(), (IdList{1, 3, 4, 5}));
  table_->Last();
  std::vector<int> seen;
  table_->SetOnFilterRecord([&seen](TDataSet& data, bool& accept) {
    const int id = data.FieldByName("ID")->AsInteger();
    seen.push_back(id);
    accept = id % 2 == 1;
  });
  EXPECT_EQ(Id(), 1);  // read again from the first record
  EXPECT_EQ(Ids(), (IdList{1, 3, 5}));
  for (int id : seen) EXPECT_NE(id, 2) << "the engine's filter keeps record 2 away from the handler";

  // Unfiltered, the handler is not asked.
  table_->SetFiltered(false);
  seen.clear();
  EXPECT_EQ(Ids(), (IdList{1, 2, 3, 4, 5}));
  EXPECT_TRUE(seen.empty());
}

TEST_F(LumoDaoTableFilterTest, AFilterTheEngineRefusesLeavesTheDatasetAsItWas) {
  table_->SetFilter("CustNo = 7");
  table_->SetFiltered(true);
  table_->Open();
  ASSERT_EQ(Ids(), (IdList{2, 5}));

  EXPECT_EQ(DaoNumberOf([&] { table_->SetFilter("CustNo = = 5"); }), 3075);
  EXPECT_EQ(table_->Filter(), "CustNo = 7");
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(Ids(), (IdList{2, 5}));

  table_->SetFiltered(false);
  table_->SetFilter("Nonsense >");
  EXPECT_NE(DaoNumberOf([&] { table_->SetFiltered(true); }), 0);
  EXPECT_FALSE(table_->Filtered());
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(Ids(), (IdList{1, 2, 3, 4, 5}));

  // A pending change is posted before the rebuild.
  table_->SetFilter("CustNo = 5");
  table_->Edit();
  table_->FieldByName("Item")->SetAsString("Sofa");
  table_->SetFiltered(true);
  EXPECT_EQ(ShellQuery(path_, "SELECT Item FROM Orders WHERE ID = 1"), "Sofa");
  EXPECT_EQ(Ids(), (IdList{1, 3}));
}

TEST_F(LumoDaoTableFilterTest, SortedByOnAnOpenDatasetReordersFromTheFirstRecord) {
  table_->Open();
  table_->Last();
  TStringList sort;
  sort.Add("Amount DESC");
  table_->F_Set_SortedBy(sort);
  EXPECT_EQ(Id(), 4);  // the first record in the new order: 300
  EXPECT_EQ(Ids(), (IdList{4, 1, 5, 3, 2}));
  sort.Clear();
  sort.Add("CustNo");
  sort.Add("Amount");
  table_->F_Set_SortedBy(sort);
  EXPECT_EQ(Ids(), (IdList{4, 3, 1, 2, 5}));  // Null first, then by amount within a customer

  // Sort and filter together.
  table_->SetFilter("CustNo IS NOT NULL");
  table_->SetFiltered(true);
  EXPECT_EQ(Ids(), (IdList{3, 1, 2, 5}));

  // A field the engine does not know: its error, the old order stays.
  sort.Clear();
  sort.Add("Price");
  EXPECT_NE(DaoNumberOf([&] { table_->F_Set_SortedBy(sort); }), 0);
  ASSERT_EQ(table_->SortedBy().Count(), 2);
  EXPECT_EQ(table_->SortedBy()[1], "Amount");
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(Ids(), (IdList{3, 1, 2, 5}));
}

TEST_F(LumoDaoTableFilterTest, SortedByClearsTheIndexOfAStandardTable) {
  table_->F_Set_TableType(jet::dbOpenTable);
  table_->Open();
  table_->F_Set_IndexName("ByCust");
  TStringList sort;
  sort.Add("Amount");
  table_->Close();
  table_->F_Set_SortedBy(sort);
  EXPECT_EQ(table_->IndexName(), "");
  table_->F_Set_IndexName("ByCust");
  EXPECT_EQ(table_->SortedBy().Count(), 0);  // and the other way round
}

}  // namespace
}  // namespace lumo
