#include "dao/database/DbLogin.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

class DbLoginTest : public ::testing::Test {
 protected:
  void TearDown() override { TDbLogin::SetDialogService(nullptr); }
};

TEST_F(DbLoginTest, FormHasTheGivenCaptionAndSize) {
  TDbLogin dialog;
  EXPECT_EQ(dialog.Caption(), "Database Login");
  EXPECT_EQ(TDbLogin::kClientWidth, 375);
  EXPECT_EQ(TDbLogin::kClientHeight, 180);
  EXPECT_EQ(dialog.ActiveControl(), "Username");
}

TEST_F(DbLoginTest, ControlsFollowTheTabOrderWithTheirCaptions) {
  TDbLogin dialog;
  std::vector<const DbLoginControl*> stops;
  for (const DbLoginControl& control : dialog.Controls()) {
    if (control.kind != DbLoginControlKind::kGroupBox) {
      EXPECT_EQ(control.parent, "GroupBox1") << control.name;
    }
    if (control.tabOrder >= 0) stops.push_back(&control);
  }
  std::sort(stops.begin(), stops.end(), [](auto* a, auto* b) { return a->tabOrder < b->tabOrder; });
  std::vector<std::string> order;
  for (const DbLoginControl* control : stops) order.push_back(control->name);
  EXPECT_EQ(order,
            (std::vector<std::string>{"Username", "Password", "DbPassword", "DatabaseName", "Button1", "Button2"}));

  EXPECT_EQ(dialog.Control("Label1").caption, "Database ................:");
  EXPECT_EQ(dialog.Control("Label2").caption, "&User Name .............:");
  EXPECT_EQ(dialog.Control("Label2").focusControl, "Username");
  EXPECT_EQ(dialog.Control("Label3").caption, "&Password ...............:");
  EXPECT_EQ(dialog.Control("Label3").focusControl, "Password");
  EXPECT_EQ(dialog.Control("Label4").caption, "&Database Password:");
  EXPECT_EQ(dialog.Control("Label4").focusControl, "DbPassword");
  EXPECT_EQ(dialog.Control("DatabaseName").kind, DbLoginControlKind::kStaticText);
  EXPECT_EQ(dialog.Control("Username").passwordChar, '\0');
  EXPECT_EQ(dialog.Control("Password").passwordChar, '*');
  EXPECT_EQ(dialog.Control("DbPassword").passwordChar, '*');

  const DbLoginControl& ok = dialog.Control("Button1");
  EXPECT_EQ(ok.caption, "Ok");
  EXPECT_TRUE(ok.isDefault);
  EXPECT_FALSE(ok.isCancel);
  EXPECT_EQ(ok.modalResult, ModalResult::kOk);
  const DbLoginControl& cancel = dialog.Control("Button2");
  EXPECT_EQ(cancel.caption, "Cancel");
  EXPECT_TRUE(cancel.isCancel);
  EXPECT_EQ(cancel.modalResult, ModalResult::kCancel);

  // The rules part the database line, the user lines and the database-password line.
  std::vector<std::string> layout;
  for (const DbLoginControl& control : dialog.Controls()) layout.push_back(control.name);
  auto at = [&](const char* name) { return std::find(layout.begin(), layout.end(), name) - layout.begin(); };
  EXPECT_LT(at("DatabaseName"), at("Bevel1"));
  EXPECT_LT(at("Bevel1"), at("Username"));
  EXPECT_LT(at("Password"), at("Bevel2"));
  EXPECT_LT(at("Bevel2"), at("DbPassword"));
  EXPECT_THROW(dialog.Control("Nothing"), EDatabaseError);
}

TEST_F(DbLoginTest, WithoutServiceShowingAnswersCancel) {
  TDbLogin dialog;
  EXPECT_FALSE(TDbLogin::HasDialogService());
  EXPECT_EQ(dialog.ShowModal(), ModalResult::kCancel);
}

TEST_F(DbLoginTest, ServiceSeesTheDialogAndWritesTheEditsBack) {
  TDbLogin::SetDialogService([](TDbLogin& dialog) {
    EXPECT_EQ(dialog.DatabaseName(), "/srv/logon.mdb");
    dialog.SetPassword("secret");
    return ModalResult::kOk;
  });
  TDbLogin dialog;
  dialog.SetDatabaseName("/srv/logon.mdb");
  EXPECT_EQ(dialog.ShowModal(), ModalResult::kOk);
  EXPECT_EQ(dialog.Password(), "secret");
}

}  // namespace
}  // namespace lumo
