// The application object and forms: reading a form, the order of its events, the default
// error handler, the lazy start of the widget toolkit, layout and screenshots.
#include "gui/Application.h"
#include "gui/Panel.h"
#include "gui/SpeedButton.h"
#include "runtime/FormText.h"
#include "tests/gui/WidgetOf.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace lumo {
namespace {

using test::WidgetOf;

// What the handlers of the test form did, in order.
std::string Trace;

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {}

  static const ClassInfo& StaticClass() {
    using T = TTestForm;
    static const ClassInfo info = ClassBuilder<T>("TTestForm", &TForm::StaticClass)
                                      .Method("FormCreate", &T::FormCreate)
                                      .Method("FormShow", &T::FormShow)
                                      .Method("FormClose", &T::FormClose)
                                      .Method("ButtonClick", &T::ButtonClick);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  void FormCreate(TObject*) {
    Trace += "create;";
    if (failCreate) throw EDatabaseError("create failed");
    if (sizeless) {
      SetWidth(0);
      SetHeight(0);
    }
  }
  void FormShow(TObject*) {
    Trace += "show;";
    if (failShow) throw EDatabaseError("Database is NOT connected");
    if (closeInShow) Close();
  }
  void FormClose(TObject*, TCloseAction& action) {
    Trace += "close;";
    if (refuseClose) action = TCloseAction::caNone;
  }
  void ButtonClick(TObject*) {
    Trace += "click;";
    throw EDatabaseError("click failed");
  }

  static inline bool failCreate = false;
  static inline bool failShow = false;
  static inline bool closeInShow = false;
  static inline bool sizeless = false;
  static inline bool refuseClose = false;

 protected:
  std::string_view FormDescription() const override {
    return "object TestForm: TTestForm\n"
           "  Width = 400\n"
           "  Height = 300\n"
           "  Caption = 'Logon-\xC3\x9C"
           "bersicht'\n"
           "  Position = poScreenCenter\n"
           "  Font.Name = 'MS Sans Serif'\n"
           "  Font.Size = 8\n"
           "  OnCreate = FormCreate\n"
           "  OnShow = FormShow\n"
           "  OnClose = FormClose\n"
           "  object Panel1: TPanel\n"
           "    Align = alBottom\n"
           "    Height = 34\n"
           "    BevelOuter = bvNone\n"
           "    Caption = ' '\n"
           "    object SpeedButton1: TSpeedButton\n"
           "      Left = 105\n"
           "      Top = 5\n"
           "      Width = 23\n"
           "      Height = 22\n"
           "      Flat = True\n"
           "      Glyph.Rows.Strings = (\n"
           "        '0F'\n"
           "        'F.')\n"
           "      OnClick = ButtonClick\n"
           "    end\n"
           "  end\n"
           "  object Panel2: TPanel\n"
           "    Align = alClient\n"
           "  end\n"
           "end\n";
  }
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("LUMO_SCREENSHOT");
    Trace.clear();
    TTestForm::failCreate = TTestForm::failShow = TTestForm::closeInShow = false;
    TTestForm::sizeless = TTestForm::refuseClose = false;
  }
};

// A recording run: the form is made sizeless in OnCreate and closes itself in OnShow.
int RecordingRun() {
  TTestForm::sizeless = true;
  TTestForm::closeInShow = true;
  TTestForm* form = nullptr;
  Application.CreateForm(form);
  int status = Application.Run();
  if (Trace != "create;show;close;") return 10;
  if (TApplication::ToolkitStarted()) return 11;
  if (ToolkitLoaded()) return 12;  // not even mapped
  return status;
}

TEST_F(ApplicationTest, SizelessRunClosedInShowEndsWithoutStartingTheToolkit) {
  // In a child process: the toolkit must not have been started by an earlier test.
  EXPECT_EXIT(std::exit(RecordingRun()), ::testing::ExitedWithCode(0), "");
}

int FailingRecordingRun() {
  TTestForm::sizeless = true;
  TTestForm::failShow = true;
  TTestForm* form = nullptr;
  Application.CreateForm(form);
  int status = Application.Run();
  if (TApplication::ToolkitStarted()) return 11;
  return status;
}

TEST_F(ApplicationTest, HeadlessErrorInSizelessRunGoesToStandardErrorAndEndsWithFailure) {
  EXPECT_EXIT(std::exit(FailingRecordingRun()), ::testing::ExitedWithCode(1), "Database is NOT connected");
}

TEST_F(ApplicationTest, ReadsItsDescriptionAndRunsCreateBeforeShow) {
  TTestForm::closeInShow = true;
  TTestForm* form = nullptr;
  Application.CreateForm(form);
  ASSERT_EQ(Application.MainForm(), form);
  EXPECT_EQ(form->Caption(),
            "Logon-\xC3\x9C"
            "bersicht");
  EXPECT_EQ(form->Position(), TPosition::poScreenCenter);
  EXPECT_EQ(form->Font().Size(), 8);
  EXPECT_EQ(Trace, "create;");
  EXPECT_FALSE(form->Shown());
  EXPECT_EQ(Application.Run(), 0);
  EXPECT_EQ(Trace, "create;show;close;");
  EXPECT_EQ(Application.MainForm(), nullptr);  // the run took its forms with it
}

TEST_F(ApplicationTest, ErrorInAHandlerIsReportedAndTheProgramGoesOn) {
  TTestForm::failCreate = true;
  TTestForm::closeInShow = true;
  TTestForm* form = nullptr;
  ::testing::internal::CaptureStderr();
  Application.CreateForm(form);
  int status = Application.Run();
  std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Trace, "create;show;close;");
  EXPECT_NE(errors.find("create failed"), std::string::npos);
  // Without a display nobody saw the error: the run reports it in its status.
  EXPECT_EQ(status, 1);
}

TEST_F(ApplicationTest, AbortIsSilentAndOnExceptionReplacesTheReport) {
  ::testing::internal::CaptureStderr();
  Application.HandleException(std::make_exception_ptr(EAbort()));
  std::string seen;
  Application.OnException = [&](TObject*, const std::exception& error) { seen = error.what(); };
  Application.HandleException(std::make_exception_ptr(EDatabaseError("replaced")));
  Application.OnException.Clear();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(seen, "replaced");
}

TEST_F(ApplicationTest, AlignedControlsShareTheClientAreaWithoutAWindow) {
  TTestForm form(nullptr);
  form.ReadDescription();
  auto* bottom = static_cast<TPanel*>(form.FindComponent("Panel1"));
  auto* client = static_cast<TPanel*>(form.FindComponent("Panel2"));
  ASSERT_TRUE(bottom && client);
  EXPECT_FALSE(form.Realised());
  EXPECT_EQ(bottom->Top(), 300 - 34);
  EXPECT_EQ(bottom->Width(), 400);
  EXPECT_EQ(client->Height(), 300 - 34);
  form.SetHeight(200);
  EXPECT_EQ(bottom->Top(), 200 - 34);
  EXPECT_EQ(client->Height(), 200 - 34);
  EXPECT_EQ(bottom->Parent(), &form);
  auto* button = static_cast<TSpeedButton*>(form.FindComponent("SpeedButton1"));
  EXPECT_EQ(button->GetParentComponent(), bottom);
  EXPECT_TRUE(button->Flat());
  EXPECT_EQ(button->Glyph().ToImage().Pixel(1, 0), 0xFFFFFFFFu);
}

TEST_F(ApplicationTest, ShownFormGetsWidgetsAndClicksGoThroughTheDefaultHandler) {
  TTestForm form(nullptr);
  form.ReadDescription();
  form.Show();
  ASSERT_TRUE(form.Realised());
  EXPECT_TRUE(WidgetOf(form)->isVisible());
  EXPECT_EQ(WidgetOf(form)->windowTitle().toStdString(),
            "Logon-\xC3\x9C"
            "bersicht");
  auto* button = static_cast<TSpeedButton*>(form.FindComponent("SpeedButton1"));
  auto* widget = qobject_cast<QToolButton*>(WidgetOf(*button));
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->geometry(), QRect(105, 5, 23, 22));
  EXPECT_EQ(widget->parentWidget(), WidgetOf(*static_cast<TPanel*>(form.FindComponent("Panel1"))));
  ::testing::internal::CaptureStderr();
  widget->click();
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("click failed"), std::string::npos);
  EXPECT_EQ(Trace, "show;click;");

  // Closing the window asks the form; a refusal keeps it open.
  TTestForm::refuseClose = true;
  QCloseEvent refused;
  QApplication::sendEvent(WidgetOf(form), &refused);
  EXPECT_TRUE(form.Visible());
  TTestForm::refuseClose = false;
  QCloseEvent accepted;
  QApplication::sendEvent(WidgetOf(form), &accepted);
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(WidgetOf(form)->isVisible());
}

TEST_F(ApplicationTest, ScreenshotIsWrittenAndEndsTheRun) {
  const lumo::testing::TemporaryFolder folder("lumo-guitest");
  std::string file = folder.PathOf("form.png");
  setenv("LUMO_SCREENSHOT", file.c_str(), 1);
  TTestForm* form = nullptr;
  Application.CreateForm(form);
  EXPECT_EQ(Application.Run(), 0);
  unsetenv("LUMO_SCREENSHOT");
  QImage image(QString::fromStdString(file));
  ASSERT_FALSE(image.isNull());
  // The picture is the inside of the window: the outer 400 x 300 less the frame.
  EXPECT_GT(image.width(), 380);
  EXPECT_LE(image.width(), 400);
  EXPECT_GT(image.height(), 260);
  EXPECT_LE(image.height(), 300);
}

TEST_F(ApplicationTest, GlyphRowsMapToPaletteColoursAndTransparency) {
  TGlyph glyph;
  glyph.SetRows(DatabasePlusGlyphRows());
  Picture image = glyph.ToImage();
  ASSERT_EQ(image.width, 16);
  ASSERT_EQ(image.height, 16);
  EXPECT_EQ(image.Pixel(0, 0) >> 24, 0u);
  EXPECT_EQ(image.Pixel(3, 0), 0xFF000000u);
  EXPECT_EQ(image.Pixel(12, 12), 0xFF00FF00u);  // the plus
  // Short rows are transparent to the width of the longest.
  TStringList ragged;
  ragged.Add("F");
  ragged.Add("0F0");
  glyph.SetRows(ragged);
  image = glyph.ToImage();
  ASSERT_EQ(image.width, 3);
  EXPECT_EQ(image.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(image.Pixel(2, 0), 0u);
  EXPECT_EQ(TGlyph::PixelColour('e'), 0xFF00FFFFu);
}

}  // namespace
}  // namespace lumo
