// The session module inside real PAM sessions: pamtester opens and closes sessions of a
// throwaway account through a PAM service of the test's own. A stand-in journal writes down
// how it was started (ids, groups, arguments, folder, process group, environment), so the test
// sees exactly what the real journal would get; an attacker account swaps names while
// sessions run; a probe library tells whether anything the PAM environment names is loaded.
// Every change to the machine is undone, also when a check fails.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "tests/e2e/PamSessionTest.h"

#if !defined(PRELOAD_PROBE_PATH)
#error "PRELOAD_PROBE_PATH names the probe library"
#endif

namespace lumo::e2e {
namespace {

// What one start of the stand-in journal wrote down.
struct JournalRun {
  uid_t uid = 0;
  pid_t pid = 0;
  pid_t processGroup = 0;
  std::string arguments;
  std::string folder;
  std::string gids;    // real, effective, saved, file-system
  std::string groups;  // supplementary
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
      continue;
    }
    if (runs.empty()) continue;
    if (line == "environment") {
      inEnvironment = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    JournalRun& run = runs.back();
    if (inEnvironment) {
      if (key != "PWD") run.environment[key] = value;  // the shell's own
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
    } else if (key == "Gid") {
      run.gids = value;
    } else if (key == "Groups") {
      run.groups = value;
    }
  }
  return runs;
}

// A process that still runs; a zombie no longer counts.
bool IsRunning(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

class PamLogonJournalTest : public PamSessionTest {
 protected:
  // A stand-in journal. It appends its facts to records/record.<uid>, then runs `tail`. "-p":
  // otherwise the shell sets its effective group back to the real one, as shells do in
  // set-group-id scripts, and the facts would be the shell's, not the module's.
  fs::path WriteJournal(const fs::path& path, const std::string& tail = "") {
    std::ofstream(path) << "#!/bin/sh -p\n"
                        << "{ echo run; echo \"uid=$(id -u)\"; echo \"pid=$$\";\n"
                        << "  echo \"pgid=$(cut -d' ' -f5 /proc/$$/stat)\"; echo \"args=$*\";\n"
                        << "  echo \"cwd=$(pwd)\";\n"
                        << "  sed -n 's/^\\(Gid\\|Groups\\):[[:space:]]*/\\1=/p' /proc/$$/status | tr '\\t' ' ';\n"
                        // Not /proc/$$/environ: an undumpable process may not open even its own.
                        << "  echo environment; env; } >> " << records_.string() << "/record.$(id -u)\n"
                        << tail;
    chmod(path.c_str(), 0755);
    return path;
  }

  std::vector<JournalRun> RunsOf(uid_t uid) const { return ReadRuns(records_ / ("record." + std::to_string(uid))); }
};

TEST_F(PamLogonJournalTest, JournalRunsAsTheUserWithTheJournalsGroupAsEffectiveGroupOnly) {
  ScopedAccount user(AccountName("u"), false);
  ASSERT_TRUE(user.Created());
  const fs::path journal = WriteJournal(folder_.Path() / "journal");
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal));
  ASSERT_TRUE(service.Written());

  std::string log;
  const CommandResult result = Pamtester(service, user.Name(), "open_session close_session", &log);
  EXPECT_EQ(result.status, 0) << result.output << log;

  const std::vector<JournalRun> runs = RunsOf(user.Uid());
  ASSERT_EQ(runs.size(), 2u) << log;
  EXPECT_EQ(runs[0].arguments, "/set logon");
  EXPECT_EQ(runs[1].arguments, "/set logoff");
  const std::string journalGid = std::to_string(group_.Gid());
  for (const JournalRun& run : runs) {
    EXPECT_EQ(run.uid, user.Uid());
    // Real group the user's own; effective, saved and file-system group the journal's.
    EXPECT_EQ(run.gids, std::to_string(user.Gid()) + " " + journalGid + " " + journalGid + " " + journalGid);
    EXPECT_EQ(run.groups, "") << "no supplementary groups";
    EXPECT_EQ(run.folder, "/");
    EXPECT_EQ(run.processGroup, run.pid) << "the journal leads a process group of its own";
  }
  EXPECT_TRUE(RunsOf(0).empty()) << "nothing may run as root";
  // One line per session event, naming the kind, the user and the outcome.
  EXPECT_NE(log.find("logon of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_NE(log.find("logoff of " + user.Name() + " recorded after "), std::string::npos) << log;
}

TEST_F(PamLogonJournalTest, NothingThePamEnvironmentNamesIsLoadedAndTheJournalsEnvironmentIsClean) {
  ScopedAccount user(AccountName("e"), false);
  ASSERT_TRUE(user.Created());
  const fs::path journal = WriteJournal(folder_.Path() / "journal");
  // Two copies of the probe where every process may load them and write their logs: one the
  // system's environment file names, one the user's own.
  const fs::path systemProbe = records_ / "system-probe.so";
  const fs::path usersProbe = records_ / "users-probe.so";
  for (const fs::path& probe : {systemProbe, usersProbe}) {
    fs::copy_file(PRELOAD_PROBE_PATH, probe);
    chmod(probe.c_str(), 0755);
  }
  const auto logOf = [](const fs::path& probe) { return fs::path(probe.string() + ".log"); };
  // What the system's and a user's own environment files can put into the PAM environment.
  const fs::path envConf = folder_.Path() / "pam_env.conf";
  std::ofstream(envConf) << "LD_PRELOAD DEFAULT=" << systemProbe.string() << "\n"
                         << "LD_LIBRARY_PATH DEFAULT=/nonexistent/lib\n"
                         << "LANG DEFAULT=de_DE.UTF-8\n"
                         << "LC_ALL DEFAULT=../../tmp/lumo-locale\n"
                         << "DISPLAY DEFAULT=:0\n"
                         << "PATH DEFAULT=/nonexistent/bin:/usr/bin:/bin\n";
  std::ofstream(user.Home() + "/.pam_environment") << "LD_PRELOAD DEFAULT=" << usersProbe.string() << "\n"
                                                   << "GCONV_PATH DEFAULT=/nonexistent/gconv\n";

  std::string log;
  // Without and with the user's own file, which then overrides the system's value.
  for (const bool usersFile : {false, true}) {
    SCOPED_TRACE(usersFile ? "~/.pam_environment read" : "system environment file only");
    const fs::path expected = usersFile ? usersProbe : systemProbe;
    const std::string readEnv = std::string("session required pam_env.so readenv=0 user_readenv=") +
                                (usersFile ? "1" : "0") + " conffile=" + envConf.string() + "\n";
    // The control: a program pam_exec starts from the same stack loads that probe, as root.
    ScopedPamService exec(ServiceName(), PermitAll() + readEnv + "session required pam_exec.so /bin/true\n");
    ASSERT_TRUE(exec.Written());
    EXPECT_EQ(Pamtester(exec, user.Name(), "open_session").status, 0);
    const std::string loaded = ReadFile(logOf(expected));
    EXPECT_NE(loaded.find("uid=0 euid=0"), std::string::npos)
        << "the probe did not reach the PAM environment: " << loaded;
    fs::remove(logOf(systemProbe));
    fs::remove(logOf(usersProbe));

    ScopedPamService service(ServiceName(), PermitAll() + readEnv + ModuleLine(journal));
    ASSERT_TRUE(service.Written());
    const CommandResult result = Pamtester(service, user.Name(), "open_session close_session", &log);
    EXPECT_EQ(result.status, 0) << result.output << log;
    for (const fs::path& probe : {systemProbe, usersProbe}) {
      EXPECT_FALSE(fs::exists(logOf(probe))) << probe << " loaded by: " << ReadFile(logOf(probe));
    }
  }

  const std::vector<JournalRun> runs = RunsOf(user.Uid());
  ASSERT_EQ(runs.size(), 4u) << log;
  const std::set<std::string> allowed = {
      "HOME", "USER",   "LOGNAME",         "SHELL",           "PATH",
      "LANG", "LC_ALL", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "LOGONJOURNAL_TIMEOUT"};
  for (const JournalRun& run : runs) {
    for (const auto& [name, value] : run.environment) {
      EXPECT_TRUE(allowed.count(name)) << name << "=" << value << " reached the journal";
    }
    const auto value = [&](const std::string& name) {
      auto found = run.environment.find(name);
      return found == run.environment.end() ? std::string("<unset>") : found->second;
    };
    EXPECT_EQ(value("HOME"), user.Home());
    EXPECT_EQ(value("USER"), user.Name());
    EXPECT_EQ(value("LOGNAME"), user.Name());
    EXPECT_EQ(value("SHELL"), user.Shell());
    EXPECT_EQ(value("PATH"), "/usr/bin:/bin");
    EXPECT_EQ(value("LANG"), "de_DE.UTF-8");
    EXPECT_EQ(value("LC_ALL"), "<unset>") << "a locale name with a path in it";
    EXPECT_EQ(value("LOGONJOURNAL_TIMEOUT"), "10");
  }
}

TEST_F(PamLogonJournalTest, AccountsThatAreNoPeopleAreSkippedAndTheSessionStillOpens) {
  ScopedAccount daemon(AccountName("s"), true);
  ASSERT_TRUE(daemon.Created());
  const fs::path journal = WriteJournal(folder_.Path() / "journal");
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal, "debug"));
  ASSERT_TRUE(service.Written());

  // A system account below UID_MIN, root, "nobody" above UID_MAX, and a name no account tool
  // makes (it must not even be looked up).
  std::string logs;
  for (const std::string& user :
       {daemon.Name(), std::string("root"), std::string("nobody"), std::string("Evil/../User")}) {
    std::string log;
    const CommandResult result = Pamtester(service, user, "open_session close_session", &log);
    EXPECT_EQ(result.status, 0) << user << ": " << result.output << log;
    logs += log;
  }
  EXPECT_TRUE(fs::is_empty(records_)) << "the journal ran for an account that is no person";
  EXPECT_NE(logs.find("logon of " + daemon.Name() + " not recorded: a system account"), std::string::npos) << logs;
  EXPECT_NE(logs.find("logon not recorded: the session's user is not a plain account name"), std::string::npos) << logs;
}

TEST_F(PamLogonJournalTest, ProgramThatOthersCouldChangeIsNeverRun) {
  ScopedAccount user(AccountName("t"), false);
  ASSERT_TRUE(user.Created());
  const fs::path folder = folder_.Path();
  fs::create_directory(folder / "bin");
  chmod((folder / "bin").c_str(), 0755);
  const fs::path good = WriteJournal(folder / "bin" / "journal");
  // root's link to root's journal is followed; the journal then runs.
  fs::create_symlink("bin/journal", folder / "root-link");
  const fs::path groupWritable = WriteJournal(folder / "group-writable");
  chmod(groupWritable.c_str(), 0775);
  const fs::path usersOwn = WriteJournal(folder / "users-own");
  chown(usersOwn.c_str(), user.Uid(), user.Gid());
  const fs::path notExecutable = WriteJournal(folder / "not-executable");
  chmod(notExecutable.c_str(), 0644);
  fs::create_symlink(good, folder / "users-link");
  lchown((folder / "users-link").c_str(), user.Uid(), user.Gid());
  fs::create_directory(folder / "open");
  chmod((folder / "open").c_str(), 0777);
  const fs::path inOpenFolder = WriteJournal(folder / "open" / "journal");
  fs::create_symlink(folder / "loop-b", folder / "loop-a");
  fs::create_symlink(folder / "loop-a", folder / "loop-b");
  char temporary[] = "/tmp/lumo-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(temporary), nullptr);
  const fs::path inTmp = WriteJournal(fs::path(temporary) / "journal");
  chmod(temporary, 0755);

  const std::vector<std::pair<fs::path, std::string>> refused = {
      {groupWritable, "is not a regular file that only root can change"},
      {usersOwn, "is not a regular file that only root can change"},
      {notExecutable, "is not executable"},
      {folder / "users-link", "is a symbolic link that does not belong to root"},
      {inOpenFolder, "the folder " + (folder / "open").string() + " can be changed by others than root"},
      {"/tmp/" + fs::path(temporary).filename().string() + "/journal",
       "the folder /tmp can be changed by others than root"},
      {folder / "missing", "cannot open " + (folder / "missing").string() + ": No such file or directory"},
      {folder / "loop-a", "too many symbolic links"},
      {folder / "bin", "is not a regular file"},
  };
  std::string stack = PermitAll();
  for (const auto& [path, reason] : refused) stack += ModuleLine(path);
  stack += ModuleLine(folder / "root-link");
  ScopedPamService service(ServiceName(), stack);
  ASSERT_TRUE(service.Written());

  std::string log;
  const CommandResult result = Pamtester(service, user.Name(), "open_session", &log);
  fs::remove_all(temporary);
  EXPECT_EQ(result.status, 0) << result.output << log;
  const std::vector<JournalRun> runs = RunsOf(user.Uid());
  EXPECT_EQ(runs.size(), 1u) << "only root's journal through root's link may run\n" << log;
  for (const auto& [path, reason] : refused) {
    EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: refusing the journal " + path.string() + ": "),
              std::string::npos)
        << path << "\n"
        << log;
    EXPECT_NE(log.find(reason), std::string::npos) << reason << "\n" << log;
  }
}

TEST_F(PamLogonJournalTest, HangingJournalIsStoppedWithItsWholeProcessGroupWithinTheLimit) {
  ScopedAccount user(AccountName("h"), false);
  ASSERT_TRUE(user.Created());
  // Ignores SIGTERM, so only the hard stop ends it; leaves a helper of its own behind.
  const fs::path journal = WriteJournal(folder_.Path() / "journal", "trap '' TERM\nsleep 60 &\necho \"helper=$!\" >> " +
                                                                        records_.string() + "/helper\nsleep 60\n");
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal, "timeout=2"));
  ASSERT_TRUE(service.Written());

  const auto start = std::chrono::steady_clock::now();
  std::string log;
  const CommandResult result = Pamtester(service, user.Name(), "open_session", &log);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(result.status, 0) << result.output << log;
  EXPECT_GE(seconds, 1.5) << "the journal was stopped before its time";
  EXPECT_LT(seconds, 6.0);
  EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: the journal did not end within 2 s and was stopped"),
            std::string::npos)
      << log;

  const std::vector<JournalRun> runs = RunsOf(user.Uid());
  ASSERT_EQ(runs.size(), 1u) << log;
  const std::string helper = ReadFile(records_ / "helper");
  ASSERT_EQ(helper.rfind("helper=", 0), 0u) << helper;
  for (const pid_t pid : {runs[0].pid, static_cast<pid_t>(std::stoi(helper.substr(7)))}) {
    EXPECT_FALSE(IsRunning(pid)) << "process " << pid << " of the journal survived";
  }
  kill(-runs[0].processGroup, SIGKILL);  // leave nothing behind when a check failed
}

TEST_F(PamLogonJournalTest, UserCanNeitherTraceTheJournalNorReachItsFiles) {
  ScopedAccount user(AccountName("d"), false);
  ASSERT_TRUE(user.Created());
  const fs::path journal =
      WriteJournal(folder_.Path() / "journal", "echo $$ > " + records_.string() + "/pid\nsleep 3\n");
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal));
  ASSERT_TRUE(service.Written());

  CommandResult session;
  std::thread running([&] { session = Pamtester(service, user.Name(), "open_session"); });
  const fs::path pidFile = records_ / "pid";
  for (int i = 0; i < 200 && ReadFile(pidFile).empty(); ++i) usleep(10 * 1000);
  const std::string pid = ReadFile(pidFile).substr(0, ReadFile(pidFile).find('\n'));
  ASSERT_FALSE(pid.empty());
  const std::string proc = "/proc/" + pid;
  // The control: a process the user started plainly is open to the user.
  const CommandResult own =
      RunCommand(user.As() + "sh -c 'sleep 5 & p=$!; cat /proc/$p/environ >/dev/null && ls /proc/$p/fd; kill $p'");
  EXPECT_EQ(own.status, 0) << own.output;
  for (const std::string& attempt :
       {"cat " + proc + "/environ", "ls " + proc + "/fd", "cat " + proc + "/mem", "cat " + proc + "/maps"}) {
    const CommandResult result = RunCommand(user.As() + attempt);
    EXPECT_NE(result.status, 0) << attempt << ": " << result.output;
    EXPECT_NE(result.output.find("Permission denied"), std::string::npos) << attempt << ": " << result.output;
  }
  running.join();
  EXPECT_EQ(session.status, 0) << session.output;
}

// The attacker owns a folder on the journal's path and swaps, as fast as she can, root's
// journal folder and her own in and out under the configured name, both as renamed folders
// and as links. The control checks the program by name (root's file in root's folder, as a
// check of the file and its folder would) and then starts it by name: now and then it runs
// her program. The module, over thousands of sessions, never does.
TEST_F(PamLogonJournalTest, SwappingNamesOnThePathNeverRunsTheUsersProgram) {
  ScopedAccount attacker(AccountName("a"), false);
  ASSERT_TRUE(attacker.Created());
  const fs::path own = folder_.Path() / "attacker";
  fs::create_directory(own);
  chmod(own.c_str(), 0755);
  chown(own.c_str(), attacker.Uid(), attacker.Gid());
  // Root's folder inside hers, with root's journal in it.
  fs::create_directory(own / "root");
  chmod((own / "root").c_str(), 0755);
  std::ofstream(own / "root" / "journal")
      << "#!/bin/sh\necho \"legit uid=$(id -u)\" >> " << records_.string() << "/runs\n";
  chmod((own / "root" / "journal").c_str(), 0755);
  const std::string evil = "#!/bin/sh\necho \"evil uid=$(id -u)\" >> " + records_.string() + "/runs\n";
  const std::string setUp = "mkdir -p " + Quote(own.string()) + "/mine && cd " + Quote(own.string()) +
                            " && printf '%s' " + Quote(evil) +
                            " > mine/journal && chmod 755 mine/journal && ln -sfn root bin";
  ASSERT_EQ(RunCommand(attacker.As() + "sh -c " + Quote(setUp)).status, 0);
  // Root's link to the configured name, from root's folder: the walk must see through it.
  fs::create_symlink(own / "bin" / "journal", folder_.Path() / "journal-link");

  const std::string swapper =
      "cd " + Quote(own.string()) +
      " && while :; do ln -sfn mine bin.new && mv -T bin.new bin; ln -sfn root bin.new && mv -T bin.new bin;"
      " mv -T root held && mv -T mine root && mv -T root mine && mv -T held root; done";
  const std::string attackerPid =
      RunCommand(attacker.As() + "sh -c " + Quote(swapper) + " >/dev/null 2>&1 & echo $!").output;
  ASSERT_FALSE(attackerPid.empty());

  const fs::path configured = own / "bin" / "journal";
  std::atomic<bool> done{false};
  std::atomic<int> controlStarts{0};
  std::thread control([&] {
    const std::string checkThenStart = "f=" + Quote(configured.string()) +
                                       "; [ \"$(stat -Lc %u:%a \"$f\")\" = 0:755 ] && "
                                       "[ \"$(stat -Lc %u:%a \"${f%/*}\")\" = 0:755 ] && \"$f\"";
    // Until the module's sessions are over, and at least until her program ran once (or a
    // minute passed, which fails the test below).
    const auto start = std::chrono::steady_clock::now();
    while ((!done || ReadFile(records_ / "runs").find("evil uid=0") == std::string::npos) &&
           std::chrono::steady_clock::now() - start < std::chrono::minutes(1)) {
      RunCommand("sh -c " + Quote(checkThenStart) + " 2>/dev/null");
      ++controlStarts;
    }
  });

  const int kSessions = 2000;
  const int kPerRun = 100;
  std::string operations;
  for (int i = 0; i < kPerRun; ++i) operations += " open_session close_session";
  ScopedPamService byName(ServiceName(), PermitAll() + ModuleLine(configured) + ModuleLine(own / "root" / "journal") +
                                             ModuleLine(folder_.Path() / "journal-link"));
  ASSERT_TRUE(byName.Written());
  int failed = 0;
  for (int run = 0; run < kSessions / kPerRun; ++run) {
    if (RunCommand("pamtester " + byName.Name() + " " + attacker.Name() + operations + " >/dev/null").status != 0)
      ++failed;
  }
  done = true;
  control.join();
  RunCommand("kill " + attackerPid);

  EXPECT_EQ(failed, 0);
  const std::string runs = ReadFile(records_ / "runs");
  std::cerr << controlStarts << " checked starts by name; what ran:\n"
            << RunCommand("sort " + (records_ / "runs").string() + " | uniq -c").output;
  EXPECT_NE(runs.find("evil uid=0"), std::string::npos) << "the swaps never won against a check by name";
  const std::string asAttacker = "uid=" + std::to_string(attacker.Uid());
  EXPECT_EQ(runs.find("evil " + asAttacker), std::string::npos) << "the attacker's program ran in a session";
  // Her folder is on every path, so root's journal there is refused as well.
  EXPECT_EQ(runs.find("legit " + asAttacker), std::string::npos);
}

}  // namespace
}  // namespace lumo::e2e
