// The data-aware grid over an in-memory dataset: rows and columns, chunked reading, following
// the current record both ways, Ctrl+Delete with its confirmation, closing, and reading a
// grid from a form description.
#include "gui/DBGrid.h"

#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/Dialogs.h"
#include "runtime/FormReader.h"
#include "tests/gui/MemoryDataSet.h"
#include "tests/gui/WidgetOf.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace lumo {
namespace {

using test::MemoryDataSet;

class DBGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Application.Initialize();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 600, 300);
    data_ = new MemoryDataSet(form_.get());
    source_ = new TDataSource(form_.get());
    source_->SetDataSet(data_);
    grid_ = new TDBGrid(form_.get());
    grid_->SetParent(form_.get());
    grid_->SetAlign(TAlign::alClient);
    grid_->SetOptions(GridOption(TDBGridOption::dgTitles) | GridOption(TDBGridOption::dgColumnResize) |
                      GridOption(TDBGridOption::dgColLines) | GridOption(TDBGridOption::dgRowLines) |
                      GridOption(TDBGridOption::dgTabs) | GridOption(TDBGridOption::dgRowSelect) |
                      GridOption(TDBGridOption::dgConfirmDelete) | GridOption(TDBGridOption::dgCancelOnExit));
    grid_->SetDataSource(source_);
  }
  void TearDown() override {
    SetConfirmService(nullptr);
    form_.reset();
  }

  void OpenAndShow(int rows) {
    data_->Fill(rows);
    data_->Open();
    form_->Show();
    Application.ProcessMessages();
  }
  QTableView* View() const { return static_cast<QTableView*>(test::WidgetOf(*grid_)); }
  std::string Cell(int row, int column) const {
    return View()->model()->index(row, column).data().toString().toStdString();
  }
  std::string Title(int column) const {
    return View()->model()->headerData(column, Qt::Horizontal).toString().toStdString();
  }
  void PressCtrlDelete() {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
    QApplication::sendEvent(View(), &press);
  }

  std::unique_ptr<TForm> form_;
  MemoryDataSet* data_ = nullptr;
  TDataSource* source_ = nullptr;
  TDBGrid* grid_ = nullptr;
};

TEST_F(DBGridTest, ShowsTheRecordsInTheDeclaredColumns) {
  TColumn* name = grid_->Columns().Add();
  name->SetFieldName("Name");
  name->SetWidth(75);
  TColumn* stamp = grid_->Columns().Add();
  stamp->SetFieldName("Stamp");
  stamp->SetWidth(120);
  TColumn* id = grid_->Columns().Add();
  id->SetFieldName("ID");
  id->Title().SetCaption("Nummer");
  OpenAndShow(3);

  ASSERT_EQ(View()->model()->rowCount(), 3);
  ASSERT_EQ(View()->model()->columnCount(), 3);
  EXPECT_EQ(Title(0), "Name");
  EXPECT_EQ(Title(1), "Stamp");
  EXPECT_EQ(Title(2), "Nummer");
  EXPECT_EQ(View()->columnWidth(0), 75);
  EXPECT_EQ(View()->columnWidth(1), 120);
  EXPECT_EQ(View()->columnWidth(2), TDBGrid::kDefaultColumnWidth);
  EXPECT_EQ(Cell(0, 0), "Name 1");
  EXPECT_EQ(Cell(2, 2), "3");
  EXPECT_NE(Cell(1, 1).find("2026"), std::string::npos) << Cell(1, 1);
  // No editing, no indicator, whole rows.
  EXPECT_EQ(View()->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(View()->verticalHeader()->isVisible());
  EXPECT_EQ(View()->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(grid_->SelectedRow(), 0);
}

TEST_F(DBGridTest, WithoutColumnsEveryVisibleFieldIsAColumn) {
  OpenAndShow(2);
  ASSERT_EQ(View()->model()->columnCount(), 3);
  EXPECT_EQ(Title(0), "ID");
  EXPECT_EQ(Title(1), "Name");
  EXPECT_EQ(Cell(1, 1), "Name 2");
}

TEST_F(DBGridTest, ReadsNothingUntilShownAndThenInChunks) {
  data_->Fill(10000);
  data_->Open();
  data_->fetched = 0;
  data_->Next();
  data_->First();
  int movingCost = data_->fetched;
  EXPECT_EQ(grid_->LoadedRowCount(), 0);

  data_->fetched = 0;
  form_->Show();
  Application.ProcessMessages();
  int shown = grid_->LoadedRowCount();
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, 500);
  EXPECT_LT(data_->fetched, 1000 + movingCost);

  View()->scrollToBottom();
  Application.ProcessMessages();
  EXPECT_GT(grid_->LoadedRowCount(), shown);
  EXPECT_LT(grid_->LoadedRowCount(), 10000);
  EXPECT_EQ(data_->FieldByName("Name")->AsString(), "Name 1");  // reading moved nothing
}

TEST_F(DBGridTest, FollowsTheCurrentRecordAndMovesItWhenARowIsSelected) {
  OpenAndShow(300);
  data_->MoveBy(10);
  EXPECT_EQ(grid_->SelectedRow(), 10);
  data_->Last();  // beyond the rows read so far
  EXPECT_EQ(grid_->LoadedRowCount(), 300);
  EXPECT_EQ(grid_->SelectedRow(), 299);

  View()->selectRow(5);
  EXPECT_EQ(data_->FieldByName("Name")->AsString(), "Name 6");
  EXPECT_EQ(grid_->SelectedRow(), 5);
}

TEST_F(DBGridTest, CtrlDeleteAsksAndDeletesOnlyOnOk) {
  OpenAndShow(5);
  data_->MoveBy(2);
  std::string asked;
  ModalResult answer = ModalResult::kCancel;
  SetConfirmService([&](const std::string& text) {
    asked = text;
    return answer;
  });
  PressCtrlDelete();
  EXPECT_EQ(asked, "Datensatz löschen?");
  EXPECT_EQ(data_->Rows().size(), 5u);
  EXPECT_EQ(View()->model()->rowCount(), 5);

  answer = ModalResult::kOk;
  PressCtrlDelete();
  ASSERT_EQ(data_->Rows().size(), 4u);
  EXPECT_EQ(data_->Rows()[2].name, "Name 4");
  ASSERT_EQ(View()->model()->rowCount(), 4);
  EXPECT_EQ(Cell(2, 1), "Name 4");
  EXPECT_EQ(grid_->SelectedRow(), 2);
}

TEST_F(DBGridTest, DeleteWithoutDisplayIsCancelledByTheDefaultConfirmation) {
  OpenAndShow(2);
  PressCtrlDelete();
  EXPECT_EQ(data_->Rows().size(), 2u);
}

TEST_F(DBGridTest, ClosingTheDatasetEmptiesTheGrid) {
  OpenAndShow(4);
  data_->Close();
  EXPECT_EQ(View()->model()->rowCount(), 0);
  data_->Open();
  EXPECT_EQ(View()->model()->rowCount(), 4);
}

TEST_F(DBGridTest, ReadsColumnsAndOptionsFromADescription) {
  TForm form(nullptr);
  ReadComponent(
      "object Form1: TForm\n"
      "  object logon1: TDataSource\n"
      "  end\n"
      "  object DBGrid1: TDBGrid\n"
      "    Align = alClient\n"
      "    DataSource = logon1\n"
      "    Options = [dgTitles, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect, "
      "dgConfirmDelete, dgCancelOnExit]\n"
      "    Columns = <\n"
      "      item\n"
      "        Expanded = False\n"
      "        FieldName = 'Username'\n"
      "        Title.Caption = 'Username'\n"
      "        Width = 75\n"
      "        Visible = True\n"
      "      end\n"
      "      item\n"
      "        FieldName = 'Typ'\n"
      "      end>\n"
      "  end\n"
      "end\n",
      form);
  auto* grid = static_cast<TDBGrid*>(form.FindComponent("DBGrid1"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->DataSource(), form.FindComponent("logon1"));
  EXPECT_EQ(grid->Align(), TAlign::alClient);
  EXPECT_FALSE(grid->HasOption(TDBGridOption::dgEditing));
  EXPECT_FALSE(grid->HasOption(TDBGridOption::dgIndicator));
  EXPECT_TRUE(grid->HasOption(TDBGridOption::dgRowSelect));
  ASSERT_EQ(grid->Columns().Count(), 2);
  EXPECT_EQ(grid->Columns().Items(0)->Width(), 75);
  EXPECT_EQ(grid->Columns().Items(1)->FieldName(), "Typ");
  EXPECT_EQ(grid->Columns().Items(1)->Width(), TColumn::kDefaultWidth);
}

}  // namespace
}  // namespace lumo
