// The logon hook inside real PAM sessions: pamtester opens and closes sessions of a throwaway
// account through a PAM service of the test's own, whose session stack runs the hook through
// pam_exec. A stand-in journal writes down how it was started (uid, arguments, folder, process
// group, environment), so the test sees exactly what the real journal would get.
//
// Needs root (it adds accounts and a file in /etc/pam.d) and pamtester; skipped otherwise.
// Every account and file it adds is removed again, also when a check fails.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef LOGON_HOOK_PATH
#error "LOGON_HOOK_PATH must name the built logonjournal-hook"
#endif

namespace {

namespace fs = std::filesystem;

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t length = 0;
  while ((length = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, length);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ProgramOnPath(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null").status == 0;
}

// A process that still runs; a zombie no longer counts.
bool IsRunning(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// A folder under /tmp that the throwaway account can enter but not change (the hook refuses a
// journal in a folder others can change).
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/logonhook-XXXXXX";
    if (mkdtemp(pattern) != nullptr) {
      path_ = pattern;
      chmod(pattern, 0755);
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

class ScopedAccount {
 public:
  // `system` makes an account from the system range, below UID_MIN.
  ScopedAccount(std::string name, bool system) : name_(std::move(name)) {
    const std::string options = system ? "-r -M -s /usr/sbin/nologin" : "-m -s /bin/sh";
    created_ = RunCommand("useradd " + options + " " + name_).status == 0;
    if (const passwd* entry = created_ ? getpwnam(name_.c_str()) : nullptr) {
      uid_ = entry->pw_uid;
      home_ = entry->pw_dir;
      shell_ = entry->pw_shell;
    }
  }
  ~ScopedAccount() {
    // -f: a process of the account that a failed check left running must not keep it alive.
    if (created_) RunCommand("userdel -r -f " + name_);
  }
  ScopedAccount(const ScopedAccount&) = delete;
  ScopedAccount& operator=(const ScopedAccount&) = delete;

  bool created() const { return created_; }
  const std::string& name() const { return name_; }
  uid_t uid() const { return uid_; }
  const std::string& home() const { return home_; }
  const std::string& shell() const { return shell_; }

 private:
  std::string name_;
  bool created_ = false;
  uid_t uid_ = 0;
  std::string home_;
  std::string shell_;
};

class ScopedPamService {
 public:
  ScopedPamService(const std::string& name, const std::string& text)
      : name_(name), path_("/etc/pam.d/" + name) {
    if (fs::exists(path_)) return;  // never overwrite a service of the system
    std::ofstream(path_) << text;
    written_ = true;
  }
  ~ScopedPamService() {
    if (written_) unlink(path_.c_str());
  }
  ScopedPamService(const ScopedPamService&) = delete;
  ScopedPamService& operator=(const ScopedPamService&) = delete;
  bool written() const { return written_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::string path_;
  bool written_ = false;
};

// What one start of the stand-in journal wrote down.
struct JournalRun {
  uid_t uid = 0;
  pid_t pid = 0;
  pid_t processGroup = 0;
  std::string arguments;
  std::string folder;
  std::map<std::string, std::string> environment;
};

std::vector<JournalRun> ReadRuns(const fs::path& record) {
  std::vector<JournalRun> runs;
  std::ifstream in(record);
  std::string line;
  bool inEnvironment = false;
  while (std::getline(in, line)) {
    if (line == "run") {
      runs.emplace_back();
      inEnvironment = false;
    } else if (runs.empty()) {
      continue;
    } else if (line == "environment") {
      inEnvironment = true;
    } else if (const size_t equals = line.find('='); equals != std::string::npos) {
      const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
      JournalRun& run = runs.back();
      if (inEnvironment) {
        run.environment[key] = value;
      } else if (key == "uid") {
        run.uid = static_cast<uid_t>(std::stoul(value));
      } else if (key == "pid") {
        run.pid = std::stoi(value);
      } else if (key == "pgid") {
        run.processGroup = std::stoi(value);
      } else if (key == "args") {
        run.arguments = value;
      } else if (key == "cwd") {
        run.folder = value;
      }
    }
  }
  return runs;
}

class LogonHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: it adds accounts and a PAM service";
    if (!ProgramOnPath("pamtester")) GTEST_SKIP() << "pamtester is not installed";
    ASSERT_FALSE(folder_.path().empty());
    records_ = folder_.path() / "records";
    fs::create_directory(records_);
    chmod(records_.c_str(), 0777);  // the account writes here; the folder goes with the test
  }

  // A stand-in journal in the test folder. It appends its facts to records/record.<uid>, then
  // runs `tail` (shell commands).
  fs::path WriteJournal(const std::string& name, const std::string& tail = "") {
    const fs::path path = folder_.path() / name;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "{ echo run; echo \"uid=$(id -u)\"; echo \"pid=$$\";\n"
                        << "  echo \"pgid=$(cut -d' ' -f5 /proc/$$/stat)\"; echo \"args=$*\";\n"
                        << "  echo \"cwd=$(pwd)\"; echo environment;\n"
                        << "  tr '\\0' '\\n' < /proc/$$/environ; } >> " << records_.string()
                        << "/record.$(id -u)\n"
                        << tail;
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string HookLine(const fs::path& journal, const std::string& options = "") const {
    // "required", so that a hook exiting with anything but 0 would fail the session.
    return "session required pam_exec.so log=" + (folder_.path() / "hook.log").string() + " " +
           LOGON_HOOK_PATH + " " + options + journal.string() + "\n";
  }

  std::string ServiceName() const {
    static int serial = 0;
    return "lumo-logonhook-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  }

  std::string AccountName(const std::string& suffix) const {
    return "lumohook" + std::to_string(getpid()) + suffix;
  }

  static std::string PermitAll() {
    return "auth required pam_permit.so\naccount required pam_permit.so\n";
  }

  CommandResult Pamtester(const ScopedPamService& service, const std::string& user,
                          const std::string& operations, const std::string& prefix = "") const {
    return RunCommand(prefix + "pamtester " + service.name() + " '" + user + "' " + operations);
  }

  std::string HookLog() const { return ReadFile(folder_.path() / "hook.log"); }
  std::vector<JournalRun> RunsOf(uid_t uid) const {
    return ReadRuns(records_ / ("record." + std::to_string(uid)));
  }

  TempFolder folder_;
  fs::path records_;
};

TEST_F(LogonHookTest, JournalRunsAsTheUserWithSetLogonThenSetLogoffFromTheRoot) {
  ScopedAccount user(AccountName("u"), false);
  ASSERT_TRUE(user.created());
  const fs::path journal = WriteJournal("journal");
  ScopedPamService service(ServiceName(), PermitAll() + HookLine(journal));
  ASSERT_TRUE(service.written());

  const CommandResult result = Pamtester(service, user.name(), "open_session close_session");
  EXPECT_EQ(result.status, 0) << result.output << HookLog();

  const std::vector<JournalRun> runs = RunsOf(user.uid());
  ASSERT_EQ(runs.size(), 2u) << HookLog();
  EXPECT_EQ(runs[0].arguments, "/set logon");
  EXPECT_EQ(runs[1].arguments, "/set logoff");
  for (const JournalRun& run : runs) {
    EXPECT_EQ(run.uid, user.uid());
    EXPECT_EQ(run.folder, "/");
    EXPECT_EQ(run.processGroup, run.pid) << "the journal leads a process group of its own";
  }
  EXPECT_TRUE(RunsOf(0).empty()) << "nothing may run as root";
}

TEST_F(LogonHookTest, JournalGetsACleanEnvironmentWhateverThePamEnvironmentCarries) {
  ScopedAccount user(AccountName("e"), false);
  ASSERT_TRUE(user.created());
  const fs::path journal = WriteJournal("journal");
  // What a user's own environment file can put into the PAM environment.
  const fs::path envConf = folder_.path() / "pam_env.conf";
  std::ofstream(envConf) << "LD_PRELOAD DEFAULT=/nonexistent/lumo-preload.so\n"
                         << "LD_LIBRARY_PATH DEFAULT=/nonexistent/lib\n"
                         << "LANG DEFAULT=de_DE.UTF-8\n"
                         << "LC_ALL DEFAULT=../../tmp/lumo-locale\n"
                         << "DISPLAY DEFAULT=:0\n"
                         << "PATH DEFAULT=/nonexistent/bin:/usr/bin:/bin\n";
  // The same stand-in run straight from pam_exec (as root) shows what the hook was handed.
  ScopedPamService service(
      ServiceName(),
      PermitAll() + "session required pam_env.so readenv=0 conffile=" + envConf.string() + "\n" +
          "session required pam_exec.so " + journal.string() + "\n" + HookLine(journal));
  ASSERT_TRUE(service.written());

  const CommandResult result = Pamtester(service, user.name(), "open_session close_session",
                                         "LD_PRELOAD=/nonexistent/lumo-outer.so ");
  EXPECT_EQ(result.status, 0) << result.output << HookLog();

  const std::vector<JournalRun> handed = RunsOf(0);
  ASSERT_FALSE(handed.empty());
  ASSERT_EQ(handed[0].environment.count("LD_PRELOAD"), 1u) << "the PAM environment was not set up";

  const std::vector<JournalRun> runs = RunsOf(user.uid());
  ASSERT_EQ(runs.size(), 2u) << HookLog();
  const std::set<std::string> allowed = {"HOME", "USER", "LOGNAME", "SHELL", "PATH", "LANG",
                                         "LC_ALL", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"};
  for (const JournalRun& run : runs) {
    for (const auto& [name, value] : run.environment) {
      EXPECT_TRUE(allowed.count(name)) << name << "=" << value << " reached the journal";
    }
    const auto value = [&](const std::string& name) {
      auto found = run.environment.find(name);
      return found == run.environment.end() ? std::string("<unset>") : found->second;
    };
    EXPECT_EQ(value("HOME"), user.home());
    EXPECT_EQ(value("USER"), user.name());
    EXPECT_EQ(value("LOGNAME"), user.name());
    EXPECT_EQ(value("SHELL"), user.shell());
    EXPECT_EQ(value("PATH"), "/usr/bin:/bin");
    EXPECT_EQ(value("LANG"), "de_DE.UTF-8");
    EXPECT_EQ(value("LC_ALL"), "<unset>") << "a locale name with a path in it";
  }
}

TEST_F(LogonHookTest, AccountsThatAreNoPeopleAreSkippedAndTheSessionStillOpens) {
  ScopedAccount daemon(AccountName("s"), true);
  ASSERT_TRUE(daemon.created());
  const fs::path journal = WriteJournal("journal");
  ScopedPamService service(ServiceName(), PermitAll() + HookLine(journal));
  ASSERT_TRUE(service.written());

  // A system account below UID_MIN, root, "nobody" above UID_MAX, and a name no account tool
  // makes (it must not even be looked up).
  for (const std::string& user : {daemon.name(), std::string("root"), std::string("nobody"),
                                 std::string("Evil/../User")}) {
    const CommandResult result = Pamtester(service, user, "open_session close_session");
    EXPECT_EQ(result.status, 0) << user << ": " << result.output << HookLog();
  }
  EXPECT_TRUE(fs::is_empty(records_)) << "the journal ran for an account that is no person";
  EXPECT_NE(HookLog().find(daemon.name()), std::string::npos) << HookLog();
}

TEST_F(LogonHookTest, JournalThatOthersCouldChangeOrThatIsMissingIsNotRun) {
  ScopedAccount user(AccountName("t"), false);
  ASSERT_TRUE(user.created());
  const fs::path writable = WriteJournal("writable-journal");
  chmod(writable.c_str(), 0775);
  ScopedPamService service(ServiceName(), PermitAll() + HookLine(writable) +
                                              HookLine(folder_.path() / "no-such-journal"));
  ASSERT_TRUE(service.written());

  const CommandResult result = Pamtester(service, user.name(), "open_session close_session");
  EXPECT_EQ(result.status, 0) << result.output << HookLog();
  EXPECT_TRUE(RunsOf(user.uid()).empty());
}

TEST_F(LogonHookTest, HangingJournalIsStoppedWithItsWholeProcessGroupWithinTheLimit) {
  ScopedAccount user(AccountName("h"), false);
  ASSERT_TRUE(user.created());
  // Ignores SIGTERM, so only the hard stop ends it; leaves a helper of its own behind.
  const fs::path journal = WriteJournal(
      "journal", "trap '' TERM\nsleep 60 &\necho \"helper=$!\" >> " + records_.string() +
                     "/helper\nsleep 60\n");
  ScopedPamService service(ServiceName(), PermitAll() + HookLine(journal, "--timeout 2 "));
  ASSERT_TRUE(service.written());

  const auto start = std::chrono::steady_clock::now();
  const CommandResult result = Pamtester(service, user.name(), "open_session");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(result.status, 0) << result.output << HookLog();
  EXPECT_GE(seconds, 1.5) << "the journal was stopped before its time";
  EXPECT_LT(seconds, 5.0);

  const std::vector<JournalRun> runs = RunsOf(user.uid());
  ASSERT_EQ(runs.size(), 1u) << HookLog();
  const std::string helper = ReadFile(records_ / "helper");
  ASSERT_EQ(helper.rfind("helper=", 0), 0u) << helper;
  for (const pid_t pid : {runs[0].pid, static_cast<pid_t>(std::stoi(helper.substr(7)))}) {
    EXPECT_FALSE(IsRunning(pid)) << "process " << pid << " of the journal survived";
  }
  kill(-runs[0].processGroup, SIGKILL);  // leave nothing behind when a check failed
}

#if defined(LOGONJOURNAL_PATH) && defined(JETSH_PATH) && defined(SCHEMA_PATH)
// The whole road: a session opened and closed through PAM runs the real journal as the
// session's user, which records one row and stamps it at the close.
TEST_F(LogonHookTest, RealJournalRecordsAndStampsTheSessionsRowAsTheUser) {
  ScopedAccount user(AccountName("j"), false);
  ASSERT_TRUE(user.created());
  // The program beside its INI file, both root's; the data folder belongs to the user.
  const fs::path journal = folder_.path() / "logonjournal";
  fs::copy_file(LOGONJOURNAL_PATH, journal);
  const fs::path data = folder_.path() / "data";
  fs::create_directory(data);
  const std::string database = (data / "journal.mdb").string();
  ASSERT_EQ(RunCommand(std::string(JETSH_PATH) + " --create " + database + " <" + SCHEMA_PATH).status, 0);
  ASSERT_EQ(RunCommand("chown -R " + user.name() + " " + data.string()).status, 0);
  std::ofstream(folder_.path() / "logonjournal.ini") << "[db]\nmain=" << database << "\n";
  ScopedPamService service(ServiceName(), PermitAll() + HookLine(journal));
  ASSERT_TRUE(service.written());

  const CommandResult opened = Pamtester(service, user.name(), "open_session");
  EXPECT_EQ(opened.status, 0) << opened.output << HookLog();
  const std::string query = "sqlite3 " + database +
                            " \"SELECT Username || '|' || Typ || '|' || (logofftime IS NULL) FROM Logon\"";
  EXPECT_EQ(RunCommand(query).output, user.name() + "|logon|1\n") << HookLog();

  const CommandResult closed = Pamtester(service, user.name(), "close_session");
  EXPECT_EQ(closed.status, 0) << closed.output << HookLog();
  EXPECT_EQ(RunCommand(query).output, user.name() + "|logon|0\n") << HookLog();
}
#endif

}  // namespace
