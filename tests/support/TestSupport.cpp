#include "tests/support/TestSupport.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace lumo::testing {

TemporaryFolder::TemporaryFolder(const std::string& prefix, const std::filesystem::path& parent) {
  const std::string pattern = (parent / (prefix + "-XXXXXX")).string();
  std::string name = pattern;  // mkdtemp fills in the X's, also when it fails
  if (mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("cannot make the temporary folder " + pattern + ": " + std::strerror(errno));
  }
  path_ = name;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TemporaryFolder::PathOf(const std::string& name) const { return (path_ / name).string(); }

std::string TemporaryFolder::Write(const std::string& name, const std::string& content) const {
  const std::string path = PathOf(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
  return path;
}

void TemporaryFolderTest::SetUp() {
  temporary_.emplace(prefix_);
  folder_ = temporary_->Path();
}

void TemporaryFolderTest::TearDown() { temporary_.reset(); }

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  size_t count = 0;
  while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), count);
  const int raw = pclose(pipe);
  result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string StockShell(const std::string& path, const std::string& sql) {
  return RunCommand("sqlite3 -batch " + ShellQuoted(path) + " " + ShellQuoted(sql) + " 2>&1").output;
}

}  // namespace lumo::testing
