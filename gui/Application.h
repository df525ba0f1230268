#pragma once
// TApplication: the program's application object (the global `Application`): it creates the
// forms, runs the event loop until the main form closes, and owns the default error handler.
//
// A program's entry:
//
//   int main(int argc, char** argv) {
//     lumo::SetCommandLine(argc, argv);
//     lumo::Application.Initialize();
//     lumo::Application.CreateForm(fmain);   // Tfmain* fmain: reads the description, OnCreate
//     return lumo::Application.Run();        // OnShow, then the loop until fmain closes
//   }
//
// Default error handler: an exception that leaves an event handler (OnCreate, OnShow, a
// click, a grid key) is caught (Guard/HandleException) and its text is shown in a message
// box; the program goes on. EAbort is silent.
//
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set, or the toolkit told to draw
// offscreen by QT_QPA_PLATFORM) nobody can see a window or click a box: the offscreen
// platform is chosen unless QT_QPA_PLATFORM says otherwise, error texts go to standard
// error and to the system log,
// modal dialogs answer Cancel, and an error ends Run with exit status 1 once the failing
// handler has returned (an error in OnCreate still lets the main form show, so that OnShow
// reports what follows from it), instead of waiting forever for a window no one can close.
//
// The widget toolkit (see WidgetToolkit.h) is loaded and started lazily: when a form with a
// size is shown or a message box must appear. A run whose main form has no size and closes
// in OnShow ends without loading it. When it cannot be loaded, Run reports why through the
// default error handler (standard error and the system log when no box can be shown) and
// answers 1.
//
// LUMO_SCREENSHOT=<file.png>: once the main form's window is shown and painted, it is saved
// as PNG and the application terminates normally.
//
// Run destroys the forms when it ends (the main form and everything it owns). Threads: the
// application, its forms and every handler run on the main thread.

#include "gui/Form.h"
#include "runtime/Component.h"

#include <exception>
#include <string>
#include <type_traits>

namespace lumo {

class TApplication : public TComponent {
 public:
  using TExceptionEvent = Event<void(TObject* sender, const std::exception& error)>;

  TApplication();
  ~TApplication() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // Registers the GUI's component classes, and with a display the message-box and login
  // dialog services. Called again it does nothing.
  void Initialize();

  // Constructs a form of class T owned by the application, stores it in `reference`, reads
  // its description and runs its OnCreate. The first form created is the main form. Errors
  // in the description propagate; errors in OnCreate go to the default handler.
  template <class T>
  void CreateForm(T*& reference) {
    static_assert(std::is_base_of_v<TForm, T>, "CreateForm makes forms");
    Initialize();
    T* form = new T(this);
    reference = form;
    AdoptForm(*form);
  }
  TForm* MainForm() const noexcept { return mainForm_; }

  // Shows the main form and runs the event loop until it closes or Terminate is called.
  // Answers the exit status: 0, or 1 after an error in a headless run (which then ends as
  // soon as the main form has been shown, instead of waiting for a window no one can close).
  int Run();
  void Terminate();
  bool Terminated() const noexcept { return terminated_; }
  // Handles the events waiting in the toolkit's queue (nothing while it is not started).
  void ProcessMessages();

  // The default error handler for `error` (the exception being handled when omitted).
  void HandleException(std::exception_ptr error = std::current_exception());
  // Runs `handler`; an exception leaving it goes to HandleException. Answers false then.
  template <class F>
  bool Guard(F&& handler) noexcept {
    try {
      handler();
      return true;
    } catch (...) {
      HandleException(std::current_exception());
      return false;
    }
  }
  // When assigned, it is called instead of showing the error (the headless exit status is
  // still decided).
  TExceptionEvent OnException;

  // No display: nobody can see windows or answer dialogs.
  static bool Headless();
  // Starts the widget toolkit if it is not running yet.
  void StartToolkit();
  static bool ToolkitStarted();
  // The program's name: the title of message boxes and the system log's ident.
  std::string Title() const;

 private:
  void AdoptForm(TForm& form);
  void ShowError(const std::string& text);
  void RunLoop();
  void ScheduleScreenshot();
  void Reset();

  TForm* mainForm_ = nullptr;
  bool initialized_ = false;
  bool terminated_ = false;
  bool loopRunning_ = false;
  bool headlessError_ = false;
  int exitCode_ = 0;
};

// The one application object of the program.
extern TApplication& Application;

// Registers the classes forms are read with (form parts, data source); Initialize calls it.
void RegisterGuiClasses();

}  // namespace lumo
