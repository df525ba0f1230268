#pragma once
// The widget toolkit behind the components, seen from gui/: an abstract factory of "faces"
// (the window, panel, button, navigator and grid a user sees), the event loop, the modal
// boxes and the screenshot.
//
// The implementation lives in a separately loaded module (gui/qt/, built on Qt Widgets), so
// that a program which never shows a window (a recording run of a logon hook) does not map
// the toolkit's libraries at all. Toolkit() loads the module on first need: from the file
// named by LUMO_GUI_MODULE when that is set, else from beside the file holding the GUI
// runtime (the program, or liblumo) or from the folder lumo/ there. It raises
// Exception("Cannot load the widget toolkit <path>: <reason>[; <path>: <reason>]") when none
// loads, naming every place it tried.
//
// Faces call back into their components through the small *Events interfaces below; no
// exception ever crosses them (the components run their handlers under the application's
// default error handler). Ownership: a component owns its face; destroying a face destroys
// its widget unless the parent's widget already took it along. The module is never
// unloaded. Threads: main thread only.

#include "runtime/Dialogs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumo {

struct DbLoginControl;

struct TRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A picture as 0xAARRGGBB pixels, row by row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t Pixel(int x, int y) const { return pixels.at(static_cast<size_t>(y * width + x)); }
};

class ControlFace {
 public:
  virtual ~ControlFace() = default;
  // Position and size inside the parent's face.
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual void SetVisible(bool visible) = 0;
  // Whether the widget is shown (its own flag, as the toolkit has it).
  virtual bool Showing() const = 0;
  // A window's title, a panel's or button's text.
  virtual void SetCaption(const std::string& caption) = 0;
  // The toolkit's own object (a QWidget*), for programs and tests that look deeper.
  virtual void* Handle() const = 0;
};

class FormEvents {
 public:
  // The user or the window manager asks the window to close.
  virtual void CloseRequested() = 0;
  virtual void WindowResized(int clientWidth, int clientHeight) = 0;
  // The frame's extra size around the client area (0 until the window is framed).
  virtual void WindowFramed(int frameWidth, int frameHeight) = 0;

 protected:
  ~FormEvents() = default;
};

class FormFace : public ControlFace {
 public:
  virtual void SetFont(const std::string& family, int pointSize) = 0;
  virtual void ResizeClient(int width, int height) = 0;
  // The outer position on the screen.
  virtual void Move(int left, int top) = 0;
  virtual void Show() = 0;
  virtual void Raise() = 0;
  // The available area of the primary screen; empty when there is none.
  virtual TRect ScreenArea() const = 0;
};

class PanelFace : public ControlFace {
 public:
  virtual void SetFrame(bool framed, bool sunken) = 0;
};

class ClickEvents {
 public:
  virtual void Clicked() = 0;

 protected:
  ~ClickEvents() = default;
};

// A speed button: icon only, text only or both, depending on what it has.
class ButtonFace : public ControlFace {
 public:
  virtual void SetFlat(bool flat) = 0;
  virtual void SetPicture(const Picture& picture) = 0;
};

class NavigatorEvents {
 public:
  virtual void ButtonClicked(int index) = 0;

 protected:
  ~NavigatorEvents() = default;
};

// A row of buttons, index n drawing the picture of the navigator's n-th button kind.
class NavigatorFace : public ControlFace {
 public:
  virtual void SetFlat(bool flat) = 0;
  virtual void SetButton(int index, bool visible, const TRect& bounds) = 0;
  virtual void SetButtonEnabled(int index, bool enabled) = 0;
};

// What a grid's face shows and what the user does to it.
class GridSource {
 public:
  virtual int RowCount() const = 0;
  virtual int ColumnCount() const = 0;
  virtual const std::string& Text(int row, int column) const = 0;
  virtual const std::string& Title(int column) const = 0;
  // More rows can be read (the user scrolled near the end of those read).
  virtual bool CanFetchMore() const = 0;
  virtual void FetchMore() = 0;
  virtual void RowSelected(int row) = 0;
  virtual void DeletePressed() = 0;  // Ctrl+Delete
  virtual void FocusLeft() = 0;

 protected:
  ~GridSource() = default;
};

struct GridLook {
  bool titles = true;
  bool indicator = true;
  bool lines = true;
  bool resizableColumns = true;
  bool tabs = true;
  bool rowSelect = false;
};

// A read-only table over a GridSource; the source announces its changes through the
// Begin/End pairs so that the view keeps its place.
class GridFace : public ControlFace {
 public:
  virtual void SetLook(const GridLook& look) = 0;
  virtual void BeginReset() = 0;
  virtual void EndReset() = 0;
  virtual void BeginInsertRows(int first, int last) = 0;
  virtual void EndInsertRows() = 0;
  virtual void RowChanged(int row) = 0;
  virtual void SetColumnWidth(int column, int width) = 0;
  // Selects the row and scrolls to it; -1 clears the selection.
  virtual void SelectRow(int row) = 0;
  virtual int SelectedRow() const = 0;
};

class WidgetToolkit {
 public:
  virtual ~WidgetToolkit() = default;

  // Starts the toolkit (its application object) once; later calls do nothing.
  virtual void Start(const std::string& programName) = 0;
  virtual bool Started() const = 0;
  // Runs the event loop until ExitLoop; answers the status given there.
  virtual int RunLoop() = 0;
  virtual void ExitLoop(int status) = 0;
  virtual void ProcessEvents() = 0;
  // Runs `task` from the loop, after the events already waiting.
  virtual void Later(std::function<void()> task) = 0;

  virtual std::unique_ptr<FormFace> CreateForm(FormEvents& events) = 0;
  virtual std::unique_ptr<PanelFace> CreatePanel(ControlFace& parent) = 0;
  virtual std::unique_ptr<ButtonFace> CreateButton(ControlFace& parent, ClickEvents& events) = 0;
  virtual std::unique_ptr<NavigatorFace> CreateNavigator(ControlFace& parent, NavigatorEvents& events,
                                                         int buttonCount) = 0;
  virtual std::unique_ptr<GridFace> CreateGrid(ControlFace& parent, GridSource& source) = 0;

  virtual void MessageBox(const std::string& title, const std::string& text, bool error) = 0;
  // OK and Cancel, OK the default.
  virtual ModalResult ConfirmBox(const std::string& title, const std::string& text) = 0;
  // The login dialog built from `controls`; on OK the edits' texts are written back into it.
  virtual ModalResult LoginDialog(const std::string& caption, int clientWidth, int clientHeight,
                                  std::vector<DbLoginControl>& controls, const std::string& activeControl) = 0;
  // Saves the inside of the window as PNG; false when the file cannot be written.
  virtual bool SaveScreenshot(const FormFace& window, const std::string& path) = 0;
  // The family of the platform's general-purpose font.
  virtual std::string DefaultFontFamily() const = 0;
};

// The name of the module's one exported function: extern "C" WidgetToolkit* <name>().
inline constexpr const char* kWidgetToolkitEntry = "LumoCreateWidgetToolkit";
using WidgetToolkitEntry = WidgetToolkit* (*)();

// The toolkit, loaded on the first call (see above for where it is looked for).
WidgetToolkit& Toolkit();
// Whether Toolkit() has loaded the module in this process.
bool ToolkitLoaded() noexcept;

}  // namespace lumo
