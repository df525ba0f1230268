// The navigator over an in-memory dataset: its buttons move the dataset, and they are
// enabled by where the dataset stands, with and without widgets.
#include "gui/DBNavigator.h"

#include "db/DataSource.h"
#include "gui/Application.h"
#include "tests/gui/MemoryDataSet.h"
#include "tests/gui/WidgetOf.h"

#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace lumo {
namespace {

using test::MemoryDataSet;

class DBNavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Application.Initialize();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 100);
    data_ = new MemoryDataSet(form_.get());
    source_ = new TDataSource(form_.get());
    source_->SetDataSet(data_);
    navigator_ = new TDBNavigator(form_.get());
    navigator_->SetParent(form_.get());
    navigator_->SetBounds(5, 5, 88, 25);
    navigator_->SetVisibleButtons(NavigateButton(TNavigateBtn::nbFirst) | NavigateButton(TNavigateBtn::nbPrior) |
                                  NavigateButton(TNavigateBtn::nbNext) | NavigateButton(TNavigateBtn::nbLast));
    navigator_->SetDataSource(source_);
  }

  std::string Name() const { return data_->FieldByName("Name")->AsString(); }
  bool Enabled(TNavigateBtn button) const { return navigator_->ButtonEnabled(button); }

  std::unique_ptr<TForm> form_;
  MemoryDataSet* data_ = nullptr;
  TDataSource* source_ = nullptr;
  TDBNavigator* navigator_ = nullptr;
};

TEST_F(DBNavigatorTest, ButtonsMoveTheDatasetAndFollowItsEnds) {
  EXPECT_FALSE(Enabled(TNavigateBtn::nbNext));  // closed: nothing to move
  data_->Fill(3);
  data_->Open();
  data_->First();
  EXPECT_FALSE(Enabled(TNavigateBtn::nbFirst));
  EXPECT_FALSE(Enabled(TNavigateBtn::nbPrior));
  EXPECT_TRUE(Enabled(TNavigateBtn::nbNext));

  navigator_->BtnClick(TNavigateBtn::nbNext);
  EXPECT_EQ(Name(), "Name 2");
  EXPECT_TRUE(Enabled(TNavigateBtn::nbPrior));
  navigator_->BtnClick(TNavigateBtn::nbLast);
  EXPECT_EQ(Name(), "Name 3");
  EXPECT_FALSE(Enabled(TNavigateBtn::nbNext));
  EXPECT_FALSE(Enabled(TNavigateBtn::nbLast));
  navigator_->BtnClick(TNavigateBtn::nbPrior);
  EXPECT_EQ(Name(), "Name 2");
  navigator_->BtnClick(TNavigateBtn::nbFirst);
  EXPECT_EQ(Name(), "Name 1");
  EXPECT_FALSE(Enabled(TNavigateBtn::nbFirst));
}

TEST_F(DBNavigatorTest, ShownNavigatorSharesItsWidthAmongVisibleButtons) {
  data_->Fill(3);
  data_->Open();
  data_->First();
  form_->Show();
  QList<QToolButton*> buttons = test::WidgetOf(*navigator_)->findChildren<QToolButton*>();
  ASSERT_EQ(buttons.size(), kNavigateButtonCount);
  int visible = 0;
  for (QToolButton* button : buttons) visible += button->isVisibleTo(test::WidgetOf(*navigator_)) ? 1 : 0;
  EXPECT_EQ(visible, 4);
  EXPECT_EQ(buttons[0]->geometry(), QRect(0, 0, 22, 25));
  EXPECT_EQ(buttons[3]->geometry(), QRect(66, 0, 22, 25));
  EXPECT_FALSE(buttons[0]->isEnabled());

  buttons[3]->click();  // Last
  EXPECT_EQ(Name(), "Name 3");
  EXPECT_FALSE(buttons[2]->isEnabled());
  EXPECT_TRUE(buttons[0]->isEnabled());

  data_->Close();
  EXPECT_FALSE(buttons[0]->isEnabled());
  EXPECT_FALSE(buttons[2]->isEnabled());
}

}  // namespace
}  // namespace lumo
