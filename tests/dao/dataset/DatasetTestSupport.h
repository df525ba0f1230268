#pragma once
// Shared by the dataset component's tests: a fresh temporary folder per test with a database
// file made by the engine, a connected database component on it, and a reader that looks at
// the file with the stock sqlite3 shell, as another program would.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "runtime/Dialogs.h"

namespace lumo::testing {

class DatasetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-dataset-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previousHandler_ = SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
  }
  void TearDown() override {
    table_.reset();
    database_.reset();
    SetMessageHandler(previousHandler_);
    std::filesystem::remove_all(folder_);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  // A database file made by the engine, with the statements run on it.
  std::string MakeDatabase(const std::vector<std::string>& statements, const std::string& name = "data.mdb") {
    const std::string path = PathOf(name);
    jet::DBEngine engine("3.6");
    auto database = engine.CreateDatabase(path, jet::dbLangGeneral);
    for (const std::string& sql : statements) database->Execute(sql, jet::dbFailOnError);
    database->Close();
    return path;
  }

#ifdef JETSH_PATH
  // A database file made by the database shell from a script, as a person would make it;
  // the shell's output ends up in `shellOutput_`.
  std::string MakeDatabaseWithShell(const std::string& script, const std::string& name = "shell.mdb") {
    const std::string path = PathOf(name);
    const std::string scriptPath = PathOf(name + ".sql");
    std::ofstream(scriptPath) << script;
    shellOutput_ = RunShell("--create '" + path + "' -f '" + scriptPath + "'");
    return path;
  }
  // Runs the database shell with `arguments`; its standard output and error.
  std::string RunShell(const std::string& arguments) {
    return Capture(std::string(JETSH_PATH) + " " + arguments + " 2>&1");
  }
  std::string shellOutput_;
#endif

  // A connected database component on `path` and a dataset bound to it.
  void Connect(const std::string& path) {
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_Database(path);
    database_->Open();
    table_ = std::make_unique<TLumoDaoTable>(nullptr);
    table_->F_Set_Database(database_.get());
  }

  void SetSql(TLumoDaoTable& table, const std::string& sql) {
    table.SQL().Clear();
    table.SQL().Add(sql);
  }

  // What the stock shell prints for a query ("-separator |"), lines joined by "\n".
  std::string ShellQuery(const std::string& path, const std::string& sql) {
    std::string output = Capture("sqlite3 -separator '|' '" + path + "' \"" + sql + "\" 2>&1");
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
  }

  // What a command line prints.
  static std::string Capture(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "popen failed";
    std::array<char, 512> chunk{};
    while (fgets(chunk.data(), chunk.size(), pipe) != nullptr) output += chunk.data();
    pclose(pipe);
    return output;
  }

  std::filesystem::path folder_;
  std::vector<std::string> messages_;
  std::unique_ptr<TLumoDaoDatabase> database_;
  std::unique_ptr<TLumoDaoTable> table_;

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

// The engine's error number an action raises: 0 when it raises nothing, -1 when it raises
// something that is no engine error.
template <class Action>
int DaoNumberOf(Action action) {
  try {
    action();
  } catch (const EOleException& error) {
    return error.ErrorCode();
  } catch (const std::exception&) {
    return -1;
  }
  return 0;
}

}  // namespace lumo::testing
