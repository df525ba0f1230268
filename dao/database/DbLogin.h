#pragma once
// TDbLogin: the modal dialog that asks for the user name and the two passwords before the
// database component connects. The class holds the dialog's form and controls without any
// toolkit: captions, kinds, tab order, focus links and the edits' contents. A GUI layer shows
// it by registering a dialog service that builds the widgets from Controls(), lets the user
// edit, writes the edits' texts back and answers the button's result.
//
// Form: caption "Database Login", client area 375 x 180, centred on the screen, dialog
// border with only the system-menu icon. Everything inside sits in one group box; two
// horizontal rules part the database line, the user lines and the database-password line.
//
// Without a registered service (no display) ShowModal answers kCancel at once.
// Errors: Control() raises EDatabaseError for a name the dialog does not have.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Dialogs.h"

namespace lumo {

enum class DbLoginControlKind { kGroupBox, kLabel, kStaticText, kEdit, kButton, kRule };

struct DbLoginControl {
  std::string name;
  DbLoginControlKind kind = DbLoginControlKind::kLabel;
  std::string parent;        // the control it sits in; empty for the form itself
  std::string caption;       // labels, buttons, the group box; "&" marks the accelerator
  std::string text;          // static text and edits: the content
  int tabOrder = -1;         // position in the tab order; -1 for controls without a stop
  std::string focusControl;  // labels: the control their accelerator focuses
  char passwordChar = '\0';  // edits: shown instead of each character; '\0' shows text
  bool isDefault = false;    // Enter presses it
  bool isCancel = false;     // Escape presses it
  ModalResult modalResult = ModalResult::kNone;  // buttons: closes the dialog with it
};

class TDbLogin {
 public:
  // Shows the dialog and answers how it was closed; on kOk it has written the edits back.
  using DialogService = std::function<ModalResult(TDbLogin& dialog)>;

  static constexpr const char* kCaption = "Database Login";
  static constexpr int kClientWidth = 375;
  static constexpr int kClientHeight = 180;

  // Installs the service (empty: none) process-wide; answers the previous one.
  static DialogService SetDialogService(DialogService service);
  static bool HasDialogService();

  TDbLogin();

  ModalResult ShowModal();

  const std::string& Caption() const { return caption_; }
  // Top to bottom, left to right: the group box first, then what sits in it.
  const std::vector<DbLoginControl>& Controls() const { return controls_; }
  DbLoginControl& Control(std::string_view name);
  const DbLoginControl& Control(std::string_view name) const;
  // The control that has the focus when the dialog shows.
  const std::string& ActiveControl() const { return activeControl_; }
  void SetActiveControl(std::string_view name);

  // The contents of DatabaseName, Username, Password and DbPassword.
  const std::string& DatabaseName() const { return Control("DatabaseName").text; }
  void SetDatabaseName(const std::string& text) { Control("DatabaseName").text = text; }
  const std::string& Username() const { return Control("Username").text; }
  void SetUsername(const std::string& text) { Control("Username").text = text; }
  const std::string& Password() const { return Control("Password").text; }
  void SetPassword(const std::string& text) { Control("Password").text = text; }
  const std::string& DbPassword() const { return Control("DbPassword").text; }
  void SetDbPassword(const std::string& text) { Control("DbPassword").text = text; }

 private:
  std::string caption_;
  std::vector<DbLoginControl> controls_;
  std::string activeControl_;
};

}  // namespace lumo
