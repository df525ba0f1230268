// The data-aware grid bound to a real dataset over a file whose table has a memo column: the
// cells show each record's memo text (its first line), cached or not, and a memo changed in
// the dataset is written to the file and shown.
#include "gui/DBGrid.h"

#include "db/DataSource.h"
#include "gui/Application.h"
#include "tests/dao/dataset/DatasetTestSupport.h"
#include "tests/gui/WidgetOf.h"

#include <QTableView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace lumo {
namespace {

class DBGridMemoTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Application.Initialize();
  }
  void TearDown() override {
    form_.reset();
    DatasetTest::TearDown();
  }

  void Show(bool cacheMemos) {
    path_ =
        MakeDatabase({"CREATE TABLE Notes (ID COUNTER PRIMARY KEY, Title TEXT(20), Body MEMO)",
                      "INSERT INTO Notes (Title, Body) VALUES ('a', 'alpha' & Chr(13) & Chr(10) & 'more')",
                      "INSERT INTO Notes (Title, Body) VALUES ('b', 'beta')", "INSERT INTO Notes (Title) VALUES ('c')"},
                     cacheMemos ? "cached.mdb" : "uncached.mdb");
    Connect(path_);
    table_->F_Set_TableName("Notes");
    table_->F_Set_CacheMemos(cacheMemos);
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 600, 300);
    auto* source = new TDataSource(form_.get());
    source->SetDataSet(table_.get());
    grid_ = new TDBGrid(form_.get());
    grid_->SetParent(form_.get());
    grid_->SetAlign(TAlign::alClient);
    grid_->SetDataSource(source);
    table_->Open();
    form_->Show();
    Application.ProcessMessages();
  }
  std::string Cell(int row, int column) const {
    auto* view = static_cast<QTableView*>(test::WidgetOf(*grid_));
    return view->model()->index(row, column).data().toString().toStdString();
  }

  std::string path_;
  std::unique_ptr<TForm> form_;
  TDBGrid* grid_ = nullptr;
};

TEST_F(DBGridMemoTest, CellsShowTheMemoTextAndAnEditIsWritten) {
  for (bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "CacheMemos on" : "CacheMemos off");
    Show(cached);
    EXPECT_EQ(Cell(0, 2), "alpha");
    EXPECT_EQ(Cell(1, 2), "beta");
    EXPECT_EQ(Cell(2, 2), "");

    table_->Last();
    table_->Edit();
    table_->FieldByName("Body")->SetText(cached ? "gamma cached" : "gamma");
    table_->Post();
    Application.ProcessMessages();
    EXPECT_EQ(Cell(2, 2), cached ? "gamma cached" : "gamma");
    EXPECT_EQ(ShellQuery(path_, "SELECT Body FROM Notes WHERE Title = 'c'"), cached ? "gamma cached" : "gamma");
    form_.reset();
    table_.reset();
    database_.reset();
  }
}

}  // namespace
}  // namespace lumo
