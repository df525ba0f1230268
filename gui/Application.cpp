#include "gui/Application.h"

#include "dao/database/DbLogin.h"
#include "gui/Dialogs.h"
#include "gui/WidgetToolkit.h"
#include "runtime/Dialogs.h"

#include <syslog.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace lumo {

namespace {

const char* ProgramName() {
  const char* name = program_invocation_short_name;
  return name != nullptr && *name != '\0' ? name : "logonjournal";
}

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

void LogError(const std::string& text) {
  static bool opened = false;
  if (!opened) {
    openlog(ProgramName(), LOG_PID, LOG_USER);
    opened = true;
  }
  syslog(LOG_ERR, "%s", text.c_str());
}

}  // namespace

TApplication& Application = *new TApplication();  // never destroyed: see Run

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { DestroyComponents(); }

const ClassInfo& TApplication::StaticClass() {
  static const ClassInfo info = ClassBuilder<TApplication>("TApplication", &TComponent::StaticClass);
  return info;
}

const ClassInfo& TApplication::ClassType() const { return StaticClass(); }

bool TApplication::Headless() {
  if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) return true;
  // A display exists, but Qt was told to draw where nobody looks.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr) return false;
  std::string name(platform);
  return name.rfind("offscreen", 0) == 0 || name.rfind("minimal", 0) == 0;
}

bool TApplication::ToolkitStarted() { return ToolkitLoaded() && Toolkit().Started(); }

void TApplication::StartToolkit() {
  if (ToolkitStarted()) return;
  if (Headless() && !EnvSet("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  Toolkit().Start(ProgramName());
}

std::string TApplication::Title() const { return ProgramName(); }

void TApplication::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  RegisterGuiClasses();
  if (Headless()) return;  // ShowMessage keeps writing to standard error; logins answer Cancel
  SetMessageHandler([](const std::string& text) { ShowMessageBox(text, false); });
  TDbLogin::SetDialogService([](TDbLogin& dialog) { return ShowDbLoginDialog(dialog); });
}

void TApplication::AdoptForm(TForm& form) {
  if (mainForm_ == nullptr) mainForm_ = &form;
  form.ReadDescription();
  form.DoCreate();
}

void TApplication::HandleException(std::exception_ptr error) {
  if (!error) return;
  std::string text;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& caught) {
    text = caught.what();
    if (OnException) {
      Guard([&] { OnException(this, caught); });
      text.clear();
    }
  } catch (...) {
    text = "Unknown error";
  }
  if (Headless()) {
    // Nobody can see the error or close a window nobody sees: the run ends with a failure
    // status once this handler has returned (a failing start-up still shows its form first,
    // so that the form's own handlers report what follows from the error).
    headlessError_ = true;
    if (loopRunning_) Toolkit().ExitLoop(1);
  }
  if (!text.empty()) ShowError(text);
}

void TApplication::ShowError(const std::string& text) {
  if (!Headless()) {
    try {
      ShowMessageBox(text, true);
      return;
    } catch (const std::exception& missing) {
      // No toolkit, no box: the error still reaches someone.
      std::cerr << missing.what() << std::endl;
      LogError(missing.what());
    }
  }
  std::cerr << text << std::endl;
  LogError(text);
}

void TApplication::Terminate() {
  terminated_ = true;
  if (loopRunning_) Toolkit().ExitLoop(0);
}

void TApplication::ProcessMessages() {
  if (ToolkitStarted()) Toolkit().ProcessEvents();
}

int TApplication::Run() {
  Initialize();
  if (mainForm_ != nullptr && !terminated_) {
    try {
      mainForm_->Show();
      RunLoop();
    } catch (...) {
      // The window could not be made (no toolkit): nothing is left to wait for.
      loopRunning_ = false;
      exitCode_ = 1;
      HandleException(std::current_exception());
    }
  }
  int status = headlessError_ ? 1 : exitCode_;
  Reset();
  return status;
}

void TApplication::RunLoop() {
  while (!terminated_ && !headlessError_) {
    // The main form is still open, so the program waits for it: it needs its window (a
    // form without size gets one too, so that a user can close it) and the loop.
    if (!mainForm_->Realised()) mainForm_->RealiseWindow();
    FormFace* window = mainForm_->Window();
    if (mainForm_->Visible() && !window->Showing()) window->Show();
    ScheduleScreenshot();
    loopRunning_ = true;
    Toolkit().RunLoop();
    loopRunning_ = false;
  }
}

void TApplication::ScheduleScreenshot() {
  const char* path = std::getenv("LUMO_SCREENSHOT");
  if (path == nullptr || *path == '\0' || !mainForm_->HasSize()) return;
  std::string file(path);
  // Queued behind the show and the first paint events of the window.
  Toolkit().Later([this, file] {
    ProcessMessages();
    FormFace* window = mainForm_ != nullptr ? mainForm_->Window() : nullptr;
    if (window == nullptr) return;
    if (!Toolkit().SaveScreenshot(*window, file)) {
      HandleException(std::make_exception_ptr(Exception("Cannot write the screenshot " + file)));
    }
    Terminate();
  });
}

void TApplication::Reset() {
  // The forms go with the run, as at the end of a program; the toolkit stays for the
  // process, since the toolkit does not promise a clean restart.
  mainForm_ = nullptr;
  DestroyComponents();
  terminated_ = false;
  headlessError_ = false;
  exitCode_ = 0;
}

}  // namespace lumo
