#include "runtime/Dialogs.h"

#include <iostream>
#include <utility>

namespace lumo {

namespace {

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

void ShowMessage(const std::string& text) {
  if (const MessageHandler& handler = Handler()) {
    handler(text);
    return;
  }
  // No one can click a box here: the text must still reach whoever reads the program's log.
  std::cerr << text << std::endl;
}

}  // namespace lumo
