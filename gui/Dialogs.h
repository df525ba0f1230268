#pragma once
// Modal boxes of the GUI runtime: the OK/Cancel confirmation a control asks before a
// destructive step, the error and message boxes, and the login dialog shown by the widget toolkit.
//
// The confirmation goes through a replaceable service so that a test (or an embedding
// program) can answer it; the default service shows a box, or answers Cancel at once when
// there is no display. Every box starts the widget toolkit if it is not running yet.

#include "runtime/Dialogs.h"

#include <functional>
#include <string>

namespace lumo {

class TDbLogin;

using ConfirmService = std::function<ModalResult(const std::string& text)>;

// Installs the service (an empty one restores the default) and answers the previous one.
ConfirmService SetConfirmService(ConfirmService service);
// Asks the question with OK and Cancel; answers kOk or kCancel.
ModalResult Confirm(const std::string& text);

// A modal box with the text and an OK button; `error` chooses the error icon.
void ShowMessageBox(const std::string& text, bool error);

// Shows the login dialog modally, built from the dialog's controls; on OK writes the edits'
// texts back. The application registers it with TDbLogin::SetDialogService.
ModalResult ShowDbLoginDialog(TDbLogin& dialog);

}  // namespace lumo
