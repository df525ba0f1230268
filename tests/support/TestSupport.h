#pragma once
// What many tests set up for themselves, in one place: a fresh temporary folder that goes away
// with everything in it, files written into it, command lines run with their output and exit
// status, and the stock sqlite3 shell, which makes and reads database files as a program
// independent of the engine would.
//
// Layer-neutral: the library links nothing of ours (only GoogleTest), so any layer's tests may
// use it without reaching above their layer.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace lumo::testing {

// A folder made with mkdtemp as <parent>/<prefix>-XXXXXX, removed with its contents when the
// object goes (errors while removing are ignored: a destructor must not throw). Creating it
// throws std::runtime_error naming the folder and the system's reason.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& prefix = "lumo-test", const std::filesystem::path& parent = "/tmp");
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the folder (nothing is created).
  std::string PathOf(const std::string& name) const;
  // Writes `content` to `name` inside the folder (binary, replacing a file there) and returns
  // its path; throws std::runtime_error when the file cannot be written.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

// A fixture with a fresh temporary folder per test in `folder_`, made in SetUp and removed in
// TearDown. Derived fixtures that override them call these first (SetUp) and last (TearDown).
class TemporaryFolderTest : public ::testing::Test {
 protected:
  explicit TemporaryFolderTest(std::string prefix = "lumo-test") : prefix_(std::move(prefix)) {}
  void SetUp() override;
  void TearDown() override;

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
  std::string Write(const std::string& name, const std::string& content) const {
    return temporary_->Write(name, content);
  }

  std::filesystem::path folder_;

 private:
  std::string prefix_;
  std::optional<TemporaryFolder> temporary_;
};

struct CommandResult {
  std::string output;  // standard output (and standard error, where the command line sends it there)
  int status = -1;     // the exit status; -1 when the command could not run or was killed
};

// Runs `command` through /bin/sh and collects its standard output; add " 2>&1" for both.
CommandResult RunCommand(const std::string& command);

// `text` as one word of a shell command line (in single quotes).
std::string ShellQuoted(const std::string& text);

// Runs the stock sqlite3 shell on the file `path` with one SQL text; its standard output and
// error, lines ending in "\n", values separated by "|".
std::string StockShell(const std::string& path, const std::string& sql);

}  // namespace lumo::testing
