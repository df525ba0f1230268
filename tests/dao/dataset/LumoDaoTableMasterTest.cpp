// Master/detail links on a real file: the forms of MasterFields, the criteria texts and the
// SQL the detail opens, the detail following the master's moves (not while the master is
// edited), a detail on a query definition, new detail records taking the master's values,
// and links that cannot work (circular, unknown fields, a closed master).

#include "dao/dataset/LumoDaoTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/DataSource.h"
#include "db/Field.h"
#include "jet/Recordset.h"
#include "runtime/FormatSettings.h"
#include "tests/dao/dataset/DatasetTestSupport.h"

namespace lumo {
namespace {

using testing::DatasetTest;
using testing::MessageOf;

class LumoDaoTableMasterTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    path_ = MakeDatabase(
        {"CREATE TABLE Customers (ID COUNTER PRIMARY KEY, CustNo LONG, Name TEXT(30), Paid YESNO, Since DATETIME)",
         "CREATE TABLE Orders (ID COUNTER PRIMARY KEY, CustNo LONG, OrderDate DATETIME, Amount DOUBLE, "
         "Paid YESNO, Buyer TEXT(30))",
         "INSERT INTO Customers (CustNo, Name, Paid, Since) VALUES (1, 'Meier', True, #1/2/2025#)",
         "INSERT INTO Customers (CustNo, Name, Paid, Since) VALUES (2, 'O\"Brien', False, Null)",
         "INSERT INTO Customers (CustNo, Name, Paid, Since) VALUES (Null, 'Niemand', False, Null)",
         "INSERT INTO Orders (CustNo, OrderDate, Amount, Paid, Buyer) VALUES (1, #3/1/2026#, 150, True, 'Meier')",
         "INSERT INTO Orders (CustNo, OrderDate, Amount, Paid, Buyer) VALUES (2, #3/2/2026#, 20, False, 'O\"Brien')",
         "INSERT INTO Orders (CustNo, OrderDate, Amount, Paid, Buyer) VALUES (1, #3/5/2026#, 80, False, 'Meier')",
         "INSERT INTO Orders (CustNo, OrderDate, Amount, Paid, Buyer) VALUES (Null, #3/6/2026#, 300, True, Null)",
         "INSERT INTO Orders (CustNo, OrderDate, Amount, Paid, Buyer) VALUES (1, #3/3/2026#, 120, True, 'Meier')"});
    Connect(path_);
    table_->SetName("Orders");
    table_->F_Set_TableName("Orders");
    master_ = std::make_unique<TLumoDaoTable>(nullptr);
    master_->SetName("Customers");
    master_->F_Set_Database(database_.get());
    master_->F_Set_TableName("Customers");
    source_ = std::make_unique<TDataSource>(nullptr);
    source_->SetDataSet(master_.get());
  }
  void TearDown() override {
    table_.reset();
    source_.reset();
    master_.reset();
    DatasetTest::TearDown();
  }

  void Link(const std::vector<std::string>& lines) {
    TStringList fields;
    for (const std::string& line : lines) fields.Add(line);
    table_->F_Set_MasterFields(fields);
    table_->F_Set_MasterSource(source_.get());
  }
  std::vector<int> DetailIds() {
    std::vector<int> ids;
    for (table_->First(); !table_->Eof(); table_->Next()) ids.push_back(table_->FieldByName("ID")->AsInteger());
    table_->First();
    return ids;
  }

  std::string path_;
  std::unique_ptr<TLumoDaoTable> master_;
  std::unique_ptr<TDataSource> source_;
};

using Ids = std::vector<int>;

TEST_F(LumoDaoTableMasterTest, MasterFieldsLinesDefineLinksOnlyInTheirTwoForms) {
  // A single name without ";" defines nothing: the detail shows every order.
  Link({"CustNo"});
  table_->Open();
  EXPECT_TRUE(table_->MasterLinkNames().empty());
  EXPECT_EQ(DetailIds(), (Ids{1, 2, 3, 4, 5}));
  table_->Close();

  Link({"CustNo;"});
  table_->Open();
  EXPECT_EQ(table_->DetailLinkNames(), std::vector<std::string>{"CustNo"});
  EXPECT_EQ(table_->MasterLinkNames(), std::vector<std::string>{"CustNo"});
  EXPECT_EQ(DetailIds(), (Ids{1, 3, 5}));  // master on Meier, CustNo 1
  table_->Close();

  Link({"CustNo -> ID", "Paid -> Paid", "no arrow here"});
  table_->Open();
  EXPECT_EQ(table_->DetailLinkNames(), (std::vector<std::string>{"CustNo", "Paid"}));
  EXPECT_EQ(table_->MasterLinkNames(), (std::vector<std::string>{"ID", "Paid"}));
  EXPECT_EQ(table_->BuildMasterCriteria(), "([CustNo] = 1) AND ([Paid] = True)");
  EXPECT_EQ(DetailIds(), (Ids{1, 5}));
}

TEST_F(LumoDaoTableMasterTest, CriteriaAndTheSqlOfATableDetailFollowTheMasterFieldType) {
  Link({"CustNo -> CustNo"});
  table_->Open();
  // Numbers with "." whatever the locale; a boolean; a date; text with its quotes doubled.
  {
    ScopedFormatSettings german(FormatSettings::German());
    EXPECT_EQ(table_->BuildMasterCriteria(), "([CustNo] = 1)");
  }
  TStringList lines;
  lines.Add("Paid -> Paid");
  lines.Add("OrderDate -> Since");
  lines.Add("Buyer -> Name");
  table_->F_Set_MasterFields(lines);
  EXPECT_EQ(table_->BuildMasterCriteria(),
            "([Paid] = True) AND ([OrderDate] = #01/02/2025 00:00:00#) AND ([Buyer] = \"Meier\")");
  master_->Next();  // O"Brien: not paid, no date
  EXPECT_EQ(table_->BuildMasterCriteria(), "([Paid] = False) AND ([OrderDate] IS NULL) AND ([Buyer] = \"O\"\"Brien\")");
  table_->F_Set_UseBrackets(false);
  EXPECT_EQ(table_->BuildMasterCriteria(), "(Paid = False) AND (OrderDate IS NULL) AND (Buyer = \"O\"\"Brien\")");
  table_->F_Set_UseBrackets(true);

  // The SQL a table detail opens: the criteria with the filter, the sort, " ;".
  table_->Close();
  lines.Clear();
  lines.Add("CustNo -> CustNo");
  table_->F_Set_MasterFields(lines);
  table_->SetFilter("Amount > 100");
  table_->SetFiltered(true);
  TStringList sort;
  sort.Add("OrderDate DESC");
  table_->F_Set_SortedBy(sort);
  master_->First();
  table_->Open();
  EXPECT_EQ(table_->CombineWithFilter(table_->BuildMasterCriteria()), "(([CustNo] = 1)) AND (Amount > 100)");
  EXPECT_EQ(table_->DaoRecordset()->Name(),
            "Select * From [Orders] Where (([CustNo] = 1)) AND (Amount > 100) Order By OrderDate DESC ;");
  EXPECT_EQ(DetailIds(), (Ids{5, 1}));

  // A master whose link value is Null: the detail shows the orders without a customer.
  master_->Last();
  EXPECT_EQ(table_->BuildMasterCriteria(), "([CustNo] IS NULL)");
  EXPECT_EQ(DetailIds(), (Ids{4}));
}

TEST_F(LumoDaoTableMasterTest, TheDetailFollowsTheMasterButNotWhileTheMasterIsEdited) {
  Link({"CustNo;"});
  table_->Open();  // opens the master too (MasterAutoActivate)
  ASSERT_TRUE(master_->Active());
  EXPECT_EQ(DetailIds(), (Ids{1, 3, 5}));
  master_->Next();
  EXPECT_EQ(DetailIds(), (Ids{2}));
  EXPECT_EQ(table_->FieldByName("Buyer")->AsString(), "O\"Brien");

  // Changing the link field of the master in edit state leaves the detail alone; the post
  // brings it along.
  master_->Edit();
  master_->FieldByName("CustNo")->SetAsInteger(1);
  EXPECT_EQ(DetailIds(), (Ids{2}));
  master_->Post();
  EXPECT_EQ(DetailIds(), (Ids{1, 3, 5}));

  // A new detail record takes the master's link values.
  table_->Append();
  EXPECT_EQ(table_->FieldByName("CustNo")->AsInteger(), 1);
  table_->FieldByName("Amount")->SetAsFloat(9);
  table_->Post();
  EXPECT_EQ(ShellQuery(path_, "SELECT CustNo FROM Orders WHERE Amount = 9"), "1");
}

TEST_F(LumoDaoTableMasterTest, ADetailOnAQueryDefinitionIsRequeriedWithTheMasterCriteriaAlone) {
  database_->AddQueryDef("BigOrders", "SELECT * FROM Orders WHERE Amount >= 50");
  table_->F_Set_TableName("");
  table_->F_Set_QueryDefName("BigOrders");
  table_->SetFilter("Paid = True");
  table_->SetFiltered(true);
  Link({"CustNo;"});
  table_->Open();
  // The full open: the master's values and the user's filter.
  EXPECT_EQ(DetailIds(), (Ids{1, 5}));
  // A master move requeries the definition's recordset with the new master values; the
  // user's filter stays, for the recordset requeried was opened through it.
  master_->Next();
  EXPECT_TRUE(table_->IsEmpty());  // O"Brien's one order is below 50
  master_->Prior();
  EXPECT_EQ(DetailIds(), (Ids{1, 5}));
  table_->Close();
  table_->Open();
  EXPECT_EQ(DetailIds(), (Ids{1, 5}));
}

TEST_F(LumoDaoTableMasterTest, LinksThatCannotWorkAreRefusedClearly) {
  // A dataset is not its own master, not even through another one.
  TDataSource own(nullptr);
  own.SetDataSet(table_.get());
  EXPECT_EQ(MessageOf([&] { table_->F_Set_MasterSource(&own); }), "Circular links not allowed!");
  EXPECT_EQ(table_->MasterSource(), nullptr);
  table_->F_Set_MasterSource(source_.get());
  EXPECT_EQ(MessageOf([&] { master_->F_Set_MasterSource(&own); }), "Circular links not allowed!");
  EXPECT_EQ(master_->MasterSource(), nullptr);

  // A master field that does not exist: the framework's error, the detail stays closed.
  TStringList lines;
  lines.Add("CustNo -> Kundennummer");
  table_->F_Set_MasterFields(lines);
  EXPECT_EQ(MessageOf([&] { table_->Open(); }), "Customers: Field 'Kundennummer' not found");
  EXPECT_FALSE(table_->Active());
  // The refused link is not kept: the master opens again without meeting the name.
  master_->Close();
  EXPECT_NO_THROW(master_->Open());
  // A detail field that does not exist: the engine's error, closed as well.
  lines.Clear();
  lines.Add("Kunde -> ID");
  table_->F_Set_MasterFields(lines);
  EXPECT_NE(MessageOf([&] { table_->Open(); }), "");
  EXPECT_FALSE(table_->Active());

  // A closed master that is not opened for the detail: no link, every order.
  master_->Close();
  table_->F_Set_MasterAutoActivate(false);
  lines.Clear();
  lines.Add("CustNo;");
  table_->F_Set_MasterFields(lines);
  table_->Open();
  EXPECT_TRUE(table_->MasterLinkSuspended());
  EXPECT_EQ(DetailIds(), (Ids{1, 2, 3, 4, 5}));
  // Opening the master afterwards brings the link in.
  master_->Open();
  EXPECT_FALSE(table_->MasterLinkSuspended());
  EXPECT_EQ(DetailIds(), (Ids{1, 3, 5}));
  // Taking the source away drops the link definition.
  table_->F_Set_MasterSource(nullptr);
  EXPECT_EQ(table_->MasterFields().Count(), 0);
  EXPECT_EQ(DetailIds(), (Ids{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace lumo
