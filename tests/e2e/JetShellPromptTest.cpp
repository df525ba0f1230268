// The database shell at a terminal: the real jetsh on a pseudo-terminal, typed at line by
// line, as a person uses it.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef JETSH_PATH
#error "JETSH_PATH names the jetsh binary under test"
#endif

namespace {

class JetShellPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-jetsh-prompt-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = (folder_ / "journal.mdb").string();
    history_ = (folder_ / "history").string();
  }
  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (terminal_ >= 0) close(terminal_);
    std::filesystem::remove_all(folder_);
  }

  void Start(const std::string& option = {}) {
    child_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
      setenv("JETSH_HISTORY", history_.c_str(), 1);
      setenv("TERM", "dumb", 1);
      if (option.empty()) {
        execl(JETSH_PATH, "jetsh", path_.c_str(), static_cast<char*>(nullptr));
      } else {
        execl(JETSH_PATH, "jetsh", option.c_str(), path_.c_str(), static_cast<char*>(nullptr));
      }
      _exit(127);
    }
  }
  void Type(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(terminal_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // What the terminal shows until `expected` has appeared (all of it, so far, if it does not
  // within ten seconds, which fails the test).
  std::string ReadUntil(const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (screen_.find(expected, seen_) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{terminal_, POLLIN, 0};
      if (poll(&waiting, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t got = read(terminal_, buffer, sizeof buffer);
      if (got <= 0) break;
      screen_.append(buffer, static_cast<size_t>(got));
    }
    const size_t at = screen_.find(expected, seen_);
    EXPECT_NE(at, std::string::npos) << "waited for \"" << expected << "\", the terminal shows:\n"
                                     << screen_.substr(seen_);
    std::string shown =
        screen_.substr(seen_, at == std::string::npos ? std::string::npos : at + expected.size() - seen_);
    seen_ = at == std::string::npos ? screen_.size() : at + expected.size();
    return shown;
  }
  // Ctrl-D on an empty line. The line editor reads it as the end of input only once it has
  // the terminal in its own mode: a Ctrl-D that arrives while the terminal is still cooked
  // (the prompt can be on the screen a moment before) is taken by the terminal itself and
  // reaches the editor as a NUL. So wait until the terminal no longer reads by lines.
  void EndOfInput() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    termios mode{};
    while (tcgetattr(terminal_, &mode) == 0 && (mode.c_lflag & ICANON) != 0 &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(5000);
    }
    EXPECT_EQ(mode.c_lflag & ICANON, 0u) << "the line editor never took the terminal";
    const char endOfInput = 4;
    ASSERT_EQ(write(terminal_, &endOfInput, 1), 1);
  }
  // The shell's exit status once it has ended; a shell still running after twenty seconds is
  // killed and fails the test (with what the terminal showed) instead of hanging the suite.
  int ExitStatus() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(child_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{terminal_, POLLIN, 0};
      if (poll(&waiting, 1, 50) > 0) {
        char buffer[4096];
        const ssize_t got = read(terminal_, buffer, sizeof buffer);
        if (got > 0) screen_.append(buffer, static_cast<size_t>(got));
      }
    }
    if (ended == 0) {
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      ADD_FAILURE() << "jetsh did not end; the terminal shows:\n" << screen_.substr(seen_);
    }
    child_ = -1;
    return ended != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string StockShell(const std::string& sql) {
    std::string command = "sqlite3 " + path_ + " \"" + sql + "\"";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
      pclose(pipe);
    }
    return output;
  }

  std::filesystem::path folder_;
  std::string path_;
  std::string history_;
  pid_t child_ = -1;
  int terminal_ = -1;
  std::string screen_;
  size_t seen_ = 0;
};

TEST_F(JetShellPromptTest, RunsEachStatementAsItIsCompleteAndGoesOnAfterErrors) {
  Start("--create");
  ReadUntil("jetsh> ");
  Type("CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50));");
  ReadUntil("jetsh> ");
  // An incomplete statement asks for more and does not run yet.
  Type("INSERT INTO Logon (Username)");
  ReadUntil("...> ");
  EXPECT_EQ(StockShell("SELECT count(*) FROM Logon"), "0\n");
  Type("  VALUES ('anna'); -- done");
  EXPECT_NE(ReadUntil("jetsh> ").find("1 row affected."), std::string::npos);
  EXPECT_EQ(StockShell("SELECT Username FROM Logon"), "anna\n");
  // An error is shown and the shell waits for the next statement.
  Type("SELECT * FROM Nowhere;");
  EXPECT_NE(ReadUntil("jetsh> ").find("Error 3078: "), std::string::npos);
  Type(".mode list");
  ReadUntil("jetsh> ");
  Type("SELECT Username FROM Logon;");
  EXPECT_NE(ReadUntil("jetsh> ").find("Username\r\nanna\r\n"), std::string::npos);
  Type(".quit");
  EXPECT_EQ(ExitStatus(), 0);

  // The lines typed are kept for the next session.
  std::ifstream history(history_);
  const std::string kept((std::istreambuf_iterator<char>(history)), std::istreambuf_iterator<char>());
  EXPECT_NE(kept.find("Nowhere"), std::string::npos) << kept;
  EXPECT_NE(kept.find("INSERT"), std::string::npos) << kept;
}

TEST_F(JetShellPromptTest, EndOfInputLeavesAndBailStopsAtTheFirstError) {
  Start("--create");
  ReadUntil("jetsh> ");
  Type(".help");
  EXPECT_NE(ReadUntil("jetsh> ").find(".schema [TABLE]"), std::string::npos);
  EndOfInput();
  EXPECT_EQ(ExitStatus(), 0);

  Start("--bail");
  ReadUntil("jetsh> ");
  Type("SELECT * FROM Nowhere;");
  ReadUntil("Error 3078");
  EXPECT_EQ(ExitStatus(), 0);  // what went wrong was seen at the prompt
}

}  // namespace
