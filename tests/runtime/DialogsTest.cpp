#include "runtime/Dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumo {
namespace {

TEST(DialogsTest, MessagesGoToTheHandlerOrElseToStandardError) {
  std::vector<std::string> shown;
  MessageHandler previous = SetMessageHandler([&shown](const std::string& text) { shown.push_back(text); });
  ShowMessage("first");
  EXPECT_EQ(shown, std::vector<std::string>{"first"});

  SetMessageHandler(nullptr);
  ::testing::internal::CaptureStderr();
  ShowMessage("to the log");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to the log\n");
  EXPECT_EQ(shown.size(), 1u);
  SetMessageHandler(previous);
}

}  // namespace
}  // namespace lumo
