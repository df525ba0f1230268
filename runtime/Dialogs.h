#pragma once
// Message boxes and the result of modal dialogs, for code below the GUI layer.
//
// ShowMessage replaces the platform's message box call: it hands the text to the handler the
// GUI runtime registers (a modal box with an OK button). Without a handler, as in a program
// started without a display or in a test, the text goes to standard error, one line per
// message. The handler is process-wide and meant to be set once at start-up.

#include <functional>
#include <string>

namespace lumo {

// How a modal dialog was closed.
enum class ModalResult { kNone, kOk, kCancel };

using MessageHandler = std::function<void(const std::string& text)>;

// Installs the handler (an empty one restores standard error) and answers the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);

// Shows the text to the user and returns when the message has been acknowledged.
void ShowMessage(const std::string& text);

}  // namespace lumo
