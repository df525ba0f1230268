// Finding the widget toolkit's module: an explicit path wins and a missing module is a clear
// error that still reaches the user through standard error; a recording run never maps it.
#include "gui/WidgetToolkit.h"

#include "gui/Application.h"
#include "runtime/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace lumo {
namespace {

// Each case runs in a child process: the module, once loaded, stays for the process.
class WidgetToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("LUMO_SCREENSHOT");
    unsetenv("LUMO_GUI_MODULE");
  }
};

int LoadFrom(const char* path) {
  setenv("LUMO_GUI_MODULE", path, 1);
  try {
    Toolkit();
  } catch (const Exception& error) {
    std::cerr << error.what() << std::endl;
    return ToolkitLoaded() ? 3 : 2;
  }
  return 0;
}

TEST_F(WidgetToolkitTest, ModuleNamedInTheEnvironmentIsTheOnlyOneTried) {
  EXPECT_EXIT(std::exit(LoadFrom("/nonexistent/libnothing.so")), ::testing::ExitedWithCode(2),
              "Cannot load the widget toolkit /nonexistent/libnothing.so: .*libnothing.so");
}

TEST_F(WidgetToolkitTest, FileWithoutTheEntryIsRefused) {
  // A shared object that exists but is no toolkit.
  EXPECT_EXIT(std::exit(LoadFrom("libm.so.6")), ::testing::ExitedWithCode(2),
              "Cannot load the widget toolkit libm.so.6: no LumoCreateWidgetToolkit in it");
}

int LoadAndStart() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  WidgetToolkit& toolkit = Toolkit();
  if (toolkit.Started()) return 10;
  Application.StartToolkit();
  if (!TApplication::ToolkitStarted()) return 11;
  // The loop runs what was queued and ends with the status given.
  int ran = 0;
  toolkit.Later([&] {
    ++ran;
    toolkit.ExitLoop(7);
  });
  int status = toolkit.RunLoop();
  return ran == 1 && status == 7 ? 0 : 12;
}

TEST_F(WidgetToolkitTest, BuiltModuleIsFoundWithoutHelpAndRunsItsLoop) {
  EXPECT_EXIT(std::exit(LoadAndStart()), ::testing::ExitedWithCode(0), "");
}

class TSizedForm : public TForm {
 public:
  explicit TSizedForm(TComponent* owner) : TForm(owner) { SetBounds(0, 0, 200, 100); }
};

int RunWithDisplayButNoModule() {
  setenv("DISPLAY", ":97", 1);
  setenv("LUMO_GUI_MODULE", "/nonexistent/libguiqt.so", 1);
  TSizedForm* form = nullptr;
  Application.CreateForm(form);
  return Application.Run();
}

TEST_F(WidgetToolkitTest, WindowThatCannotBeMadeIsReportedOnStandardErrorAndFailsTheRun) {
  EXPECT_EXIT(std::exit(RunWithDisplayButNoModule()), ::testing::ExitedWithCode(1),
              "Cannot load the widget toolkit /nonexistent/libguiqt.so");
}

}  // namespace
}  // namespace lumo
