// Two grids over a master and its detail on a real file, drawn offscreen: moving the master
// grid's dataset puts the master's orders, and only those, into the detail grid, and a new
// detail record shows its master's link value.
#include "gui/DBGrid.h"

#include "db/DataSource.h"
#include "db/Field.h"
#include "gui/Application.h"
#include "tests/dao/dataset/DatasetTestSupport.h"
#include "tests/gui/WidgetOf.h"

#include <QTableView>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace lumo {
namespace {

class DBGridMasterDetailTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Application.Initialize();
    Connect(MakeDatabase(
        {"CREATE TABLE Customers (ID COUNTER PRIMARY KEY, Name TEXT(20))",
         "CREATE TABLE Orders (ID COUNTER PRIMARY KEY, CustNo LONG, Item TEXT(20))",
         "INSERT INTO Customers (Name) VALUES ('Meier')", "INSERT INTO Customers (Name) VALUES ('Schmitt')",
         "INSERT INTO Customers (Name) VALUES ('Zander')", "INSERT INTO Orders (CustNo, Item) VALUES (1, 'Tisch')",
         "INSERT INTO Orders (CustNo, Item) VALUES (2, 'Lampe')",
         "INSERT INTO Orders (CustNo, Item) VALUES (1, 'Stuhl')",
         "INSERT INTO Orders (CustNo, Item) VALUES (2, 'Regal')",
         "INSERT INTO Orders (CustNo, Item) VALUES (2, 'Bett')"}));
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 500, 400);
    master_ = new TLumoDaoTable(form_.get());
    master_->SetName("Customers");
    master_->F_Set_Database(database_.get());
    master_->F_Set_TableName("Customers");
    auto* masterSource = new TDataSource(form_.get());
    masterSource->SetDataSet(master_);
    table_->SetName("Orders");
    table_->F_Set_TableName("Orders");
    TStringList link;
    link.Add("CustNo -> ID");
    table_->F_Set_MasterFields(link);
    table_->F_Set_MasterSource(masterSource);
    auto* detailSource = new TDataSource(form_.get());
    detailSource->SetDataSet(table_.get());
    masterGrid_ = MakeGrid(masterSource, TAlign::alTop);
    detailGrid_ = MakeGrid(detailSource, TAlign::alClient);
    table_->Open();
    form_->Show();
    Application.ProcessMessages();
  }
  void TearDown() override {
    form_.reset();
    DatasetTest::TearDown();
  }

  TDBGrid* MakeGrid(TDataSource* source, TAlign align) {
    auto* grid = new TDBGrid(form_.get());
    grid->SetParent(form_.get());
    grid->SetAlign(align);
    if (align == TAlign::alTop) grid->SetHeight(150);
    // Whole rows selected, so that the selected row is the current record.
    grid->SetOptions(GridOption(TDBGridOption::dgTitles) | GridOption(TDBGridOption::dgColLines) |
                     GridOption(TDBGridOption::dgRowLines) | GridOption(TDBGridOption::dgRowSelect));
    grid->SetDataSource(source);
    return grid;
  }
  // The items the detail grid shows, top to bottom, as the user reads them.
  std::vector<std::string> DetailItems() const {
    auto* view = static_cast<QTableView*>(test::WidgetOf(*detailGrid_));
    std::vector<std::string> items;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
      items.push_back(view->model()->index(row, 2).data().toString().toStdString());
    }
    return items;
  }

  std::unique_ptr<TForm> form_;
  TLumoDaoTable* master_ = nullptr;
  TDBGrid* masterGrid_ = nullptr;
  TDBGrid* detailGrid_ = nullptr;
};

using Items = std::vector<std::string>;

TEST_F(DBGridMasterDetailTest, TheDetailGridFollowsTheMasterGrid) {
  EXPECT_EQ(DetailItems(), (Items{"Tisch", "Stuhl"}));
  master_->Next();
  Application.ProcessMessages();
  EXPECT_EQ(masterGrid_->SelectedRow(), 1);
  EXPECT_EQ(DetailItems(), (Items{"Lampe", "Regal", "Bett"}));
  EXPECT_EQ(detailGrid_->SelectedRow(), 0);
  master_->Last();
  Application.ProcessMessages();
  EXPECT_TRUE(DetailItems().empty());

  // A new order for Zander carries his ID and appears under him.
  table_->Append();
  table_->FieldByName("Item")->SetAsString("Sofa");
  table_->Post();
  Application.ProcessMessages();
  EXPECT_EQ(DetailItems(), (Items{"Sofa"}));
  EXPECT_EQ(ShellQuery(PathOf("data.mdb"), "SELECT CustNo FROM Orders WHERE Item = 'Sofa'"), "3");
  master_->First();
  Application.ProcessMessages();
  EXPECT_EQ(DetailItems(), (Items{"Tisch", "Stuhl"}));
}

}  // namespace
}  // namespace lumo
