// The session module's pieces without PAM: its arguments, the account checks, the journal's
// environment, and the race-free opening of the journal program over real folders, files and
// links (under /run, whose path only root can change; ownership is given with chown, so the
// tests run as root).

#include "app/pam/LogonJournalModule.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lumo::pam {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kSomeoneElse = 54321;

TEST(LogonJournalModuleTest, ArgumentsOverTheDefaultsAndEveryBadOneNamed) {
  ModuleOptions defaults;
  defaults.journal = "/usr/lib/logonjournal/logonjournal";
  std::vector<std::string> problems;
  const char* good[] = {"journal=/opt/j/logonjournal", "timeout=25", "group=journal", "debug"};
  ModuleOptions options = ParseOptions(4, good, defaults, problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(options.journal, "/opt/j/logonjournal");
  EXPECT_EQ(options.timeoutSeconds, 25);
  EXPECT_EQ(options.group, "journal");
  EXPECT_TRUE(options.debug);

  const char* bad[] = {
      "journal=relative/path", "timeout=0", "timeout=3601", "timeout=5s", "group=", "quiet", "journal"};
  options = ParseOptions(7, bad, defaults, problems);
  EXPECT_EQ(options.journal, defaults.journal);
  EXPECT_EQ(options.timeoutSeconds, kDefaultTimeoutSeconds);
  EXPECT_EQ(options.group, kDefaultGroup);
  EXPECT_FALSE(options.debug);
  ASSERT_EQ(problems.size(), 7u);
  EXPECT_EQ(problems[0], "journal= needs an absolute path, not \"relative/path\"");
  EXPECT_EQ(problems[1], "timeout= needs whole seconds from 1 to 3600, not \"0\"");
  EXPECT_EQ(problems[3], "timeout= needs whole seconds from 1 to 3600, not \"5s\"");
  EXPECT_EQ(problems[4], "group= needs a group name");
  EXPECT_EQ(problems[5], "unknown argument \"quiet\"");
  EXPECT_EQ(problems[6], "unknown argument \"journal\"");
}

TEST(LogonJournalModuleTest, OnlyPlainNamesAreLookedUp) {
  for (const char* name : {"alice", "_svc", "a.b-c_1", "x"}) EXPECT_TRUE(IsPlainAccountName(name)) << name;
  for (const char* name :
       {"", "Alice", "1abc", "-x", "a b", "a/b", "../x", "a\nb", "abcdefghijabcdefghijabcdefghijabc"})
    EXPECT_FALSE(IsPlainAccountName(name)) << name;
  for (const char* name : {"de_DE.UTF-8", "C", "sr_RS@latin"}) EXPECT_TRUE(IsPlainLocaleName(name)) << name;
  for (const char* name : {"", "../../tmp/x", "/usr/lib/locale", "de DE", "_x"})
    EXPECT_FALSE(IsPlainLocaleName(name)) << name;
}

TEST(LogonJournalModuleTest, LoginDefsGiveTheLastGoodEntryOrTheFallback) {
  char pattern[] = "/tmp/lumo-logindefs-XXXXXX";
  const int fd = mkstemp(pattern);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(pattern) << "# UID_MIN 5\nUID_MIN\t\t 500\nUID_MAX 0x1000\nUID_MIN 700 \nGID_MIN 9\nUID_MAXIMUM 3\n";
  EXPECT_EQ(ReadLoginDefsId("UID_MIN", 1000, pattern), 700u);
  EXPECT_EQ(ReadLoginDefsId("UID_MAX", 60000, pattern), 4096u);
  std::ofstream(pattern) << "UID_MIN -5\nUID_MAX 12abc\n";
  EXPECT_EQ(ReadLoginDefsId("UID_MIN", 1000, pattern), 1000u);
  EXPECT_EQ(ReadLoginDefsId("UID_MAX", 60000, pattern), 60000u);
  unlink(pattern);
  EXPECT_EQ(ReadLoginDefsId("UID_MIN", 1000, "/nonexistent/login.defs"), 1000u);
}

TEST(LogonJournalModuleTest, AccountsAndGroupsAreFoundOrNamedAsMissing) {
  Account account;
  std::string problem;
  ASSERT_TRUE(LookUpAccount("root", account, problem));
  EXPECT_EQ(account.uid, 0u);
  EXPECT_EQ(account.home, "/root");
  EXPECT_FALSE(LookUpAccount("lumo-no-such-account", account, problem));
  EXPECT_EQ(problem, "there is no account lumo-no-such-account");
  gid_t gid = 1;
  ASSERT_TRUE(LookUpGroup("root", gid, problem));
  EXPECT_EQ(gid, 0u);
  EXPECT_FALSE(LookUpGroup("lumo-no-such-group", gid, problem));
  EXPECT_EQ(problem, "there is no group lumo-no-such-group (app/README.md tells how to set the journal up)");
}

TEST(LogonJournalModuleTest, EnvironmentIsBuiltFromTheAccountAndCheckedSessionValues) {
  Account account{"alice", 1000, 1000, "/home/alice", "/bin/bash"};
  SessionValues session;
  session.lang = "de_DE.UTF-8";
  session.lcAll = "../evil";
  session.runtimeDir = "/run/user/1000/../0";
  EXPECT_EQ(CleanEnvironment(account, session, 12),
            (std::vector<std::string>{"HOME=/home/alice", "USER=alice", "LOGNAME=alice", "SHELL=/bin/bash",
                                      "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen", "LOGONJOURNAL_TIMEOUT=12",
                                      "LANG=de_DE.UTF-8"}));
}

// A folder under /run for the walks; only root can change the path to it.
class TrustedProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "runs as root: it gives files and links to other owners";
    // The process's id in the name, so that what a killed run leaves is found afterwards.
    std::string pattern = "/run/lumo-walk-" + std::to_string(getpid()) + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    chmod(pattern.c_str(), 0755);
    MakeFolder("bin");
    program_ = MakeProgram("bin/journal");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path MakeFolder(const std::string& name, mode_t mode = 0755) {
    const fs::path path = root_ / name;
    fs::create_directory(path);
    chmod(path.c_str(), mode);
    return path;
  }
  fs::path MakeProgram(const std::string& name, mode_t mode = 0755) {
    const fs::path path = root_ / name;
    std::ofstream(path) << "#!/bin/sh\n";
    chmod(path.c_str(), mode);
    return path;
  }
  // The problem OpenTrustedProgram names for `path`, or "" when it opens it.
  static std::string Refusal(const std::string& path) {
    std::string problem;
    const int fd = OpenTrustedProgram(path, problem);
    if (fd >= 0) close(fd);
    return fd >= 0 ? std::string() : problem;
  }
  static ino_t InodeOf(const fs::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
  }

  fs::path root_;
  fs::path program_;
};

TEST_F(TrustedProgramTest, RootsProgramOnRootsPathOpensAsExactlyThatFile) {
  std::string problem;
  const int fd = OpenTrustedProgram(program_.string(), problem);
  ASSERT_GE(fd, 0) << problem;
  struct stat opened {};
  ASSERT_EQ(fstat(fd, &opened), 0);
  EXPECT_EQ(opened.st_ino, InodeOf(program_));
  EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC) << "the login program's other children must not inherit it";
  // Swapping the name afterwards changes nothing about what is started.
  MakeProgram("bin/other");
  fs::rename(root_ / "bin/other", program_);
  struct stat still {};
  ASSERT_EQ(fstat(fd, &still), 0);
  EXPECT_EQ(still.st_ino, opened.st_ino);
  EXPECT_NE(InodeOf(program_), opened.st_ino);
  close(fd);
  // "." and doubled slashes are no components; root's links are followed, relative or not.
  EXPECT_EQ(Refusal(root_.string() + "//bin/./journal"), "");
  fs::create_symlink("bin/journal", root_ / "relative");
  fs::create_symlink(program_, root_ / "absolute");
  fs::create_symlink(root_ / "bin", root_ / "folder-link");
  EXPECT_EQ(Refusal((root_ / "relative").string()), "");
  EXPECT_EQ(Refusal((root_ / "absolute").string()), "");
  EXPECT_EQ(Refusal((root_ / "folder-link" / "journal").string()), "");
}

// The checked descriptor is what runs: a program put under the name afterwards, and another
// folder put under the folder's name, are never started.
TEST_F(TrustedProgramTest, WhatRunsIsTheFileThatWasCheckedWhateverTheNamesSayLater) {
  std::ofstream(program_) << "#!/bin/sh\necho \"checked $*\" >&2\n";
  std::string problem;
  const int fd = OpenTrustedProgram(program_.string(), problem);
  ASSERT_GE(fd, 0) << problem;
  const auto writeSwapped = [](const fs::path& path) {
    std::ofstream(path) << "#!/bin/sh\necho swapped >&2\n";
    chmod(path.c_str(), 0755);
  };
  writeSwapped(root_ / "bin" / "other");
  fs::rename(root_ / "bin" / "other", program_);
  fs::rename(root_ / "bin", root_ / "old-bin");
  MakeFolder("bin");
  writeSwapped(program_);

  JournalLaunch launch;
  launch.programFd = fd;
  launch.programPath = program_.string();
  launch.arguments = {"/set", "logon"};
  launch.account = Account{"someone", kSomeoneElse, kSomeoneElse, "/", "/bin/sh"};
  launch.journalGroup = kSomeoneElse + 1;
  launch.environment = {"PATH=/usr/bin:/bin"};
  launch.timeoutSeconds = 5;
  const JournalOutcome outcome = RunJournal(launch);
  close(fd);
  EXPECT_EQ(outcome.end, JournalOutcome::End::Exited) << outcome.message;
  EXPECT_EQ(outcome.code, 0) << outcome.message;
  EXPECT_EQ(outcome.message, "checked /set logon");
}

TEST_F(TrustedProgramTest, AnythingSomeoneElseCouldChangeIsRefusedWithTheReason) {
  const std::string refused = "refusing the journal ";
  const auto expect = [&](const fs::path& path, const std::string& reason) {
    EXPECT_EQ(Refusal(path.string()), refused + path.string() + ": " + reason) << path;
  };
  const fs::path groupWritable = MakeProgram("bin/group-writable", 0775);
  expect(groupWritable, groupWritable.string() + " is not a regular file that only root can change");
  const fs::path othersProgram = MakeProgram("bin/others");
  chown(othersProgram.c_str(), kSomeoneElse, kSomeoneElse);
  expect(othersProgram, othersProgram.string() + " is not a regular file that only root can change");
  const fs::path plain = MakeProgram("bin/plain", 0644);
  expect(plain, plain.string() + " is not executable");

  const fs::path open = MakeFolder("open", 0777);
  MakeProgram("open/journal");
  expect(open / "journal", "the folder " + open.string() + " can be changed by others than root");
  const fs::path groupFolder = MakeFolder("group", 0775);
  MakeProgram("group/journal");
  expect(groupFolder / "journal", "the folder " + groupFolder.string() + " can be changed by others than root");
  // Root's folder inside someone else's: whoever owns the outer one can swap the inner one.
  const fs::path theirs = MakeFolder("theirs");
  chown(theirs.c_str(), kSomeoneElse, kSomeoneElse);
  fs::create_directory(theirs / "roots");
  chmod((theirs / "roots").c_str(), 0755);
  MakeProgram("theirs/roots/journal");
  expect(theirs / "roots" / "journal", "the folder " + theirs.string() + " can be changed by others than root");

  // A link of someone else's, also one that points at root's program.
  fs::create_symlink(program_, root_ / "their-link");
  lchown((root_ / "their-link").c_str(), kSomeoneElse, kSomeoneElse);
  expect(root_ / "their-link", (root_ / "their-link").string() + " is a symbolic link that does not belong to root");
  // Root's link into someone else's folder, and ".." out of root's folder into theirs.
  fs::create_symlink(theirs / "roots" / "journal", root_ / "into-theirs");
  expect(root_ / "into-theirs", "the folder " + theirs.string() + " can be changed by others than root");
  expect(theirs / "roots" / ".." / "roots" / "journal",
         "the folder " + theirs.string() + " can be changed by others than root");
  fs::create_symlink("loop-b", root_ / "loop-a");
  fs::create_symlink("loop-a", root_ / "loop-b");
  expect(root_ / "loop-a", "too many symbolic links");
  fs::create_symlink("bin", root_ / "to-folder");
  expect(root_ / "to-folder", (root_ / "bin").string() + " is not a regular file that only root can change");
  expect(root_ / "bin" / "journal" / "x", (root_ / "bin" / "journal").string() + " is not a folder");
  expect(root_ / "missing", "cannot open " + (root_ / "missing").string() + ": No such file or directory");
  // A sticky folder that everyone may write (/tmp) counts as one others can change.
  char temporary[] = "/tmp/lumo-walk-XXXXXX";
  ASSERT_NE(mkdtemp(temporary), nullptr);
  chmod(temporary, 0755);
  std::ofstream(fs::path(temporary) / "journal") << "#!/bin/sh\n";
  chmod((fs::path(temporary) / "journal").c_str(), 0755);
  expect(fs::path(temporary) / "journal", "the folder /tmp can be changed by others than root");
  fs::remove_all(temporary);

  EXPECT_EQ(Refusal("relative/journal"), "the journal must be given by its absolute path, not \"relative/journal\"");
  EXPECT_EQ(Refusal("/"), "refusing the journal /: it names a folder, not a program");
}

TEST(LogonJournalModuleTest, OutcomesReadAsOneLogLine) {
  JournalOutcome outcome;
  outcome.end = JournalOutcome::End::Exited;
  outcome.milliseconds = 1234;
  EXPECT_EQ(DescribeOutcome(outcome, 10), "recorded after 1.2 s");
  outcome.code = 1;
  outcome.message = "cannot write the journal database /x: locked";
  EXPECT_EQ(DescribeOutcome(outcome, 10),
            "not recorded: the journal ended with status 1 after 1.2 s: cannot write the journal database /x: locked");
  outcome.end = JournalOutcome::End::TimedOut;
  outcome.message.clear();
  EXPECT_EQ(DescribeOutcome(outcome, 10), "not recorded: the journal did not end within 10 s and was stopped");
  outcome.end = JournalOutcome::End::Signalled;
  outcome.code = 9;
  EXPECT_EQ(DescribeOutcome(outcome, 10), "not recorded: the journal ended by signal 9 after 1.2 s");
}

}  // namespace
}  // namespace lumo::pam
