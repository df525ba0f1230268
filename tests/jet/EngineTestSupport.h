#pragma once
// Shared by the engine's tests: a fresh temporary folder per test, the DAO number an action
// raises, and the stock sqlite3 shell as an independent reader of the files the engine
// writes.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/Exceptions.h"

namespace lumo::jet::testing {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-jet-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

// The DAO number an action raises, or 0 when it raises nothing.
template <class Action>
int32_t DaoNumberOf(Action action) {
  try {
    action();
  } catch (const EOleException& error) {
    return error.ErrorCode();
  }
  return 0;
}

// The message of the DAO error an action raises, or "" when it raises nothing.
template <class Action>
std::string DaoMessageOf(Action action) {
  try {
    action();
  } catch (const EOleException& error) {
    return error.Message();
  }
  return {};
}

// Runs the stock sqlite3 shell on a file with one SQL text; its standard output, lines
// separated by "\n", values by "|".
inline std::string StockShell(const std::string& path, const std::string& sql) {
  std::string command = "sqlite3 -batch '" + path + "' \"" + sql + "\" 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe)) output += buffer.data();
    pclose(pipe);
  }
  return output;
}

}  // namespace lumo::jet::testing
