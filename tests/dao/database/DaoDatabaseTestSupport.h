#pragma once
// Shared by the database component's tests: a fresh temporary folder per test, database
// files made with the engine, and stand-ins for the login dialog's and the message box's
// GUI faces.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dao/database/DbLogin.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "runtime/Dialogs.h"
#include "runtime/Strings.h"
#include "tests/support/TestSupport.h"

namespace lumo::testing {

class TempFolderTest : public TemporaryFolderTest {
 protected:
  TempFolderTest() : TemporaryFolderTest("lumo-daodb") {}
  void SetUp() override {
    TemporaryFolderTest::SetUp();
    previousHandler_ = SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
  }
  void TearDown() override {
    SetMessageHandler(previousHandler_);
    TDbLogin::SetDialogService(nullptr);
    TemporaryFolderTest::TearDown();
  }

  // A database file made by the engine, with the statements run on it.
  std::string MakeDatabase(const std::string& name, const std::vector<std::string>& statements) {
    const std::string path = PathOf(name);
    jet::DBEngine engine("3.6");
    auto database = engine.CreateDatabase(path, jet::dbLangGeneral);
    for (const std::string& sql : statements) database->Execute(sql, jet::dbFailOnError);
    database->Close();
    return path;
  }

  // The login dialog answers through `answer`; every dialog shown is counted.
  void AnswerLogin(std::function<ModalResult(TDbLogin&)> answer) {
    TDbLogin::SetDialogService([this, answer](TDbLogin& dialog) {
      ++dialogsShown_;
      shownUserNames_.push_back(dialog.Username());
      shownDatabaseNames_.push_back(dialog.DatabaseName());
      return answer(dialog);
    });
  }

  std::vector<std::string> messages_;  // texts given to ShowMessage
  int dialogsShown_ = 0;
  std::vector<std::string> shownUserNames_;
  std::vector<std::string> shownDatabaseNames_;

 private:
  MessageHandler previousHandler_;
};

// The message of the exception an action raises, or "" when it raises nothing.
template <class Action>
std::string MessageOf(Action action) {
  try {
    action();
  } catch (const Exception& error) {
    return error.Message();
  }
  return {};
}

// The lines in sorted order, as comma text: the engine's collection order is its own.
inline std::string SortedText(const TStringList& list) {
  TStringList copy(list);
  copy.Sort();
  return copy.CommaText();
}

}  // namespace lumo::testing
