// The data-aware grid bound to a real dataset over a file: a record found by Locate, by the
// directed searches or by the framework's find becomes the grid's selected row, also far
// beyond the rows the grid has read so far, and a search that finds nothing leaves the row.
#include "gui/DBGrid.h"

#include "db/DataSource.h"
#include "gui/Application.h"
#include "tests/dao/dataset/DatasetTestSupport.h"
#include "tests/gui/WidgetOf.h"

#include <QTableView>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace lumo {
namespace {

constexpr int kRows = 400;

std::string PersonName(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "Person %03d", number);
  return text;
}

class DBGridLocateTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Application.Initialize();
    std::vector<std::string> statements = {
        "CREATE TABLE Leute (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), Gruppe LONG)",
        "CREATE INDEX ByName ON Leute (Name)"};
    for (int i = 1; i <= kRows; ++i) {
      statements.push_back("INSERT INTO Leute (Name, Gruppe) VALUES ('" + PersonName(i) + "', " +
                           std::to_string(i % 50) + ")");
    }
    path_ = MakeDatabase(statements);
    Connect(path_);
    table_->F_Set_TableName("Leute");
  }
  void TearDown() override {
    form_.reset();
    DatasetTest::TearDown();
  }

  void Show(int32_t tableType) {
    form_.reset();
    table_->Close();
    table_->F_Set_TableType(tableType);
    if (tableType == jet::dbOpenTable) table_->F_Set_IndexName("ByName");
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 600, 300);
    auto* source = new TDataSource(form_.get());
    source->SetDataSet(table_.get());
    grid_ = new TDBGrid(form_.get());
    grid_->SetParent(form_.get());
    grid_->SetAlign(TAlign::alClient);
    // Whole rows selected, as the journal's overview shows them.
    grid_->SetOptions(GridOption(TDBGridOption::dgTitles) | GridOption(TDBGridOption::dgColLines) |
                      GridOption(TDBGridOption::dgRowLines) | GridOption(TDBGridOption::dgRowSelect));
    grid_->SetDataSource(source);
    table_->Open();
    form_->Show();
    Application.ProcessMessages();
  }
  QTableView* View() const { return static_cast<QTableView*>(test::WidgetOf(*grid_)); }
  // The name shown in the grid's selected row, as the user sees it.
  std::string SelectedName() const {
    const int row = grid_->SelectedRow();
    if (row < 0) return "";
    return View()->model()->index(row, 1).data().toString().toStdString();
  }

  std::string path_;
  std::unique_ptr<TForm> form_;
  TDBGrid* grid_ = nullptr;
};

TEST_F(DBGridLocateTest, TheLocatedRecordIsTheGridsSelectedRow) {
  for (int32_t type : {jet::dbOpenTable, jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    Show(type);
    ASSERT_EQ(grid_->SelectedRow(), 0);
    ASSERT_LT(grid_->LoadedRowCount(), kRows);  // the grid has not read the far rows yet

    ASSERT_TRUE(table_->Locate("Name", Variant(PersonName(350)), {}));
    Application.ProcessMessages();
    EXPECT_EQ(grid_->SelectedRow(), 349);
    EXPECT_EQ(SelectedName(), PersonName(350));
    EXPECT_EQ(View()->currentIndex().row(), 349);

    // A miss leaves the row where it was.
    EXPECT_FALSE(table_->Locate("Name", Variant("Niemand"), {}));
    Application.ProcessMessages();
    EXPECT_EQ(grid_->SelectedRow(), 349);

    ASSERT_TRUE(table_->Locate("Name", Variant("person 01"), TLocateOptions{TLocateOption::loPartialKey}));
    Application.ProcessMessages();
    EXPECT_EQ(SelectedName(), PersonName(10));
    EXPECT_EQ(grid_->SelectedRow(), 9);
  }
}

TEST_F(DBGridLocateTest, DirectedSearchesAndFindMoveTheSelectedRow) {
  for (int32_t type : {jet::dbOpenDynaset, jet::dbOpenSnapshot}) {
    SCOPED_TRACE(type);
    Show(type);
    // Group 7: records 7, 57, 107, ... 357.
    ASSERT_TRUE(table_->LocateLast("Gruppe", Variant(7), {}));
    Application.ProcessMessages();
    EXPECT_EQ(SelectedName(), PersonName(357));
    ASSERT_TRUE(table_->LocatePrior("Gruppe", Variant(7), {}));
    Application.ProcessMessages();
    EXPECT_EQ(SelectedName(), PersonName(307));

    table_->SetFindKey("Gruppe", Variant(7), {});
    ASSERT_TRUE(table_->FindFirst());
    ASSERT_TRUE(table_->FindNext());
    Application.ProcessMessages();
    EXPECT_EQ(grid_->SelectedRow(), 56);
    EXPECT_EQ(SelectedName(), PersonName(57));
    table_->SetFindKey("", Variant(), {});
  }
}

}  // namespace
}  // namespace lumo
