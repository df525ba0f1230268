// The real journal behind the session module, set up as app/README.md describes: the journal
// and its INI file in a folder of root's, the database made by the database shell from the
// shipped schema in a folder root:<group> 2770, the file root:<group> 660, and the session's
// user not a member of the group. pamtester opens and closes the sessions; the stock sqlite3
// shell reads back what was written, and tries as the user what the user could do by hand.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>
#include <vector>

#include "tests/e2e/PamSessionTest.h"

#if !defined(LOGONJOURNAL_PATH) || !defined(JETSH_PATH) || !defined(SCHEMA_PATH) || !defined(PRELOAD_PROBE_PATH)
#error "LOGONJOURNAL_PATH, JETSH_PATH, SCHEMA_PATH and PRELOAD_PROBE_PATH name what is under test"
#endif

namespace lumo::e2e {
namespace {

class PamJournalRecordingTest : public PamSessionTest {
 protected:
  void SetUp() override {
    PamSessionTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(RunCommand("command -v sqlite3").status, 0) << "the stock shell is missing; scripts/deps installs it";
    const fs::path lib = folder_.Path() / "lib";
    fs::create_directory(lib);
    chmod(lib.c_str(), 0755);
    journal_ = lib / "logonjournal";
    fs::copy_file(LOGONJOURNAL_PATH, journal_);
    chmod(journal_.c_str(), 0755);
    databaseFolder_ = folder_.Path() / "db";
    database_ = databaseFolder_ / "logon.mdb";
    std::ofstream(lib / "logonjournal.ini") << "[db]\nmain=" << database_.string() << "\n";
    fs::create_directory(databaseFolder_);
    ASSERT_EQ(chown(databaseFolder_.c_str(), 0, group_.Gid()), 0);
    ASSERT_EQ(chmod(databaseFolder_.c_str(), 02770), 0);
    const CommandResult made =
        RunCommand(std::string(JETSH_PATH) + " --create " + Quote(database_.string()) + " < " + Quote(SCHEMA_PATH));
    ASSERT_EQ(made.status, 0) << made.output;
    ASSERT_EQ(chown(database_.c_str(), 0, group_.Gid()), 0);
    ASSERT_EQ(chmod(database_.c_str(), 0660), 0);
  }

  // The stock shell as root.
  std::string Sql(const std::string& statement) const {
    return RunCommand("sqlite3 " + Quote(database_.string()) + " " + Quote(statement)).output;
  }

  // A service with the module and, before it, pam_env reading `envConf` and the user's own
  // ~/.pam_environment.
  std::string Stack(const std::string& moduleOptions = "", const fs::path& envConf = {}) const {
    std::string stack = PermitAll();
    if (!envConf.empty()) {
      stack += "session required pam_env.so readenv=0 user_readenv=1 conffile=" + envConf.string() + "\n";
    }
    return stack + ModuleLine(journal_, moduleOptions);
  }

  // Another writer holding the write lock for `seconds` (with a row of its own); answers once
  // it holds it.
  void HoldWriteLock(int seconds) {
    const std::string script =
        "BEGIN IMMEDIATE;\nINSERT INTO Logon (Username, Typ) VALUES ('holder', 'logon');\n"
        ".shell touch " +
        (records_ / "held").string() + "\n.shell sleep " + std::to_string(seconds) + "\nCOMMIT;\n";
    std::ofstream(records_ / "hold.sql") << script;
    holder_ = std::thread([this] {
      RunCommand("sqlite3 " + Quote(database_.string()) + " < " + Quote((records_ / "hold.sql").string()));
    });
    for (int i = 0; i < 500 && !fs::exists(records_ / "held"); ++i) usleep(10 * 1000);
    ASSERT_TRUE(fs::exists(records_ / "held"));
  }
  void TearDown() override {
    if (holder_.joinable()) holder_.join();
  }

  fs::path journal_;
  fs::path databaseFolder_;
  fs::path database_;
  std::thread holder_;
};

TEST_F(PamJournalRecordingTest, UserOutsideTheGroupIsRecordedButCannotReadOrWriteTheDatabase) {
  ScopedAccount user(AccountName("o"), false);
  ASSERT_TRUE(user.Created());
  // Whatever the PAM environment names is loaded by nobody, the journal included.
  const fs::path probe = records_ / "probe.so";
  fs::copy_file(PRELOAD_PROBE_PATH, probe);
  chmod(probe.c_str(), 0755);
  const fs::path envConf = folder_.Path() / "pam_env.conf";
  std::ofstream(envConf) << "LD_PRELOAD DEFAULT=" << probe.string() << "\n";
  std::ofstream(user.Home() + "/.pam_environment") << "LD_PRELOAD DEFAULT=" << probe.string() << "\n"
                                                   << "LD_LIBRARY_PATH DEFAULT=" << records_.string() << "\n";
  ScopedPamService service(ServiceName(), Stack("", envConf));
  ASSERT_TRUE(service.Written());

  std::string log;
  CommandResult session = Pamtester(service, user.Name(), "open_session", &log);
  ASSERT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logon of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_EQ(Sql("SELECT Username, Typ, logofftime IS NULL FROM Logon"), user.Name() + "|logon|1\n");

  // By hand the user reaches neither the file nor the folder: the stock shell can neither
  // read nor change a row, and nothing can be put beside the database.
  const std::string shell = user.As() + "sqlite3 " + Quote(database_.string()) + " ";
  for (const std::string& attempt :
       {shell + Quote("SELECT count(*) FROM Logon"), shell + Quote("DELETE FROM Logon"),
        shell + Quote("UPDATE Logon SET Username = 'someone'"), user.As() + "ls " + Quote(databaseFolder_.string()),
        user.As() + "touch " + Quote((databaseFolder_ / "logon.mdb-wal").string())}) {
    const CommandResult result = RunCommand(attempt);
    EXPECT_NE(result.status, 0) << attempt << ": " << result.output;
  }
  EXPECT_NE(RunCommand(shell + Quote("SELECT count(*) FROM Logon")).output.find("unable to open database"),
            std::string::npos);
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "1\n");

  session = Pamtester(service, user.Name(), "close_session", &log);
  ASSERT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logoff of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon WHERE logofftime >= logontime"), "1\n");
  EXPECT_FALSE(fs::exists(records_ / "probe.so.log")) << "loaded by: " << ReadFile(records_ / "probe.so.log");

  // The recording runs left the set-up as it was, and nothing of theirs lying about.
  struct stat info {};
  ASSERT_EQ(stat(database_.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_gid, group_.Gid());
  EXPECT_EQ(info.st_mode & 07777, 0660u);
  ASSERT_EQ(stat(databaseFolder_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 02770u);
  EXPECT_EQ(RunCommand("ls -A " + Quote(databaseFolder_.string())).output, "logon.mdb\n");
}

TEST_F(PamJournalRecordingTest, LockHeldEightSecondsLosesNoLogonWithinTheTenSecondLimit) {
  ScopedAccount user(AccountName("l"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), Stack("timeout=10"));
  ASSERT_TRUE(service.Written());

  HoldWriteLock(8);
  const auto start = std::chrono::steady_clock::now();
  std::string log;
  const CommandResult session = Pamtester(service, user.Name(), "open_session", &log);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logon of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_GE(seconds, 6.0) << "the journal did not wait for the lock";
  EXPECT_LT(seconds, 10.5);
  holder_.join();
  EXPECT_EQ(Sql("SELECT Username FROM Logon ORDER BY ID"), "holder\n" + user.Name() + "\n");
}

TEST_F(PamJournalRecordingTest, LockHeldPastTheLimitIsReportedWithTheDatabaseAndTheWait) {
  ScopedAccount user(AccountName("w"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), Stack("timeout=2"));
  ASSERT_TRUE(service.Written());

  HoldWriteLock(4);
  std::string log;
  const CommandResult session = Pamtester(service, user.Name(), "open_session", &log);
  EXPECT_EQ(session.status, 0) << session.output << log;
  // The journal waits one second less than the module's limit, then says so; the module's line
  // names the user, the kind and the outcome with the journal's words.
  const std::string failure = "cannot write the journal database " + database_.string() + ": ";
  EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: the journal ended with status 1 after 1."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(failure), std::string::npos) << log;
  EXPECT_NE(log.find("(waited 1.0 s for another session's lock)"), std::string::npos) << log;
  EXPECT_EQ(log.find("did not end within"), std::string::npos) << log;
  // The journal's own line, under its own name, says the same.
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(logonjournal\[[0-9]+\]: cannot write the journal database )" +
                                                database_.string() + ": .*waited 1.0 s")))
      << log;
  holder_.join();
  EXPECT_EQ(Sql("SELECT Username FROM Logon"), "holder\n");
}

TEST_F(PamJournalRecordingTest, DatabaseTheGroupCannotWriteIsNamedWithTheSetUpToCheck) {
  ScopedAccount user(AccountName("p"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), Stack());
  ASSERT_TRUE(service.Written());
  const std::string group = group_.Name();
  const std::string failure = "cannot write the journal database " + database_.string() + ": ";
  const std::string setUp =
      "; is it root:" + group + " 660 in a folder root:" + group + " 2770, as app/README.md describes? (the file is ";

  // A folder the group may not write into (where the engine keeps its files beside the database).
  chmod(databaseFolder_.c_str(), 02750);
  std::string log;
  EXPECT_EQ(Pamtester(service, user.Name(), "open_session", &log).status, 0);
  EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: the journal ended with status 1"), std::string::npos)
      << log;
  EXPECT_NE(log.find(failure), std::string::npos) << log;
  EXPECT_NE(log.find(setUp + "root:" + group + " 660, the folder is root:" + group + " 2750)"), std::string::npos)
      << log;

  // A file the group may only read.
  chmod(databaseFolder_.c_str(), 02770);
  chmod(database_.c_str(), 0640);
  EXPECT_EQ(Pamtester(service, user.Name(), "open_session", &log).status, 0);
  EXPECT_NE(log.find(failure), std::string::npos) << log;
  EXPECT_NE(log.find(setUp + "root:" + group + " 640, the folder is root:" + group + " 2770)"), std::string::npos)
      << log;
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "0\n");

  // Without the group the module says what is missing and runs nothing.
  ScopedPamService noGroup(ServiceName(), PermitAll() + "session required " PAM_MODULE_PATH " journal=" +
                                              journal_.string() + " group=lumo-no-such-group\n");
  ASSERT_TRUE(noGroup.Written());
  EXPECT_EQ(Pamtester(noGroup, user.Name(), "open_session", &log).status, 0);
  EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: there is no group lumo-no-such-group"),
            std::string::npos)
      << log;
}

// Many sessions of one user at once, as many terminals of one person or a shift starting on
// shared machines: every session's logon is a row and every logoff stamps a row of its own.
// LUMO_PAM_LOAD=PxN sets the load, P pamtester processes of N events each (8x20 when unset;
// bench/pam-stress.sh runs 16x100); the figures go to standard output.
class PamJournalLoadTest : public PamJournalRecordingTest {
 protected:
  struct Load {
    int processes = 8;
    int events = 20;
  };
  static Load LoadToRun() {
    Load load;
    const char* text = std::getenv("LUMO_PAM_LOAD");
    if (text == nullptr) return load;
    int processes = 0, events = 0;
    char rest = 0;
    if (std::sscanf(text, "%dx%d%c", &processes, &events, &rest) == 2 && processes > 0 && events > 0) {
      load.processes = processes;
      load.events = events;
    } else {
      ADD_FAILURE() << "LUMO_PAM_LOAD=" << text << " is not PROCESSESxEVENTS";
    }
    return load;
  }

  struct Figures {
    double seconds = 0;
    double longestRun = 0;  // the longest recording run the module reported, in seconds
    int recorded = 0;       // runs the module reported as recorded
    std::string log;
    std::vector<CommandResult> results;
  };
  // `load.processes` pamtester processes at once, each going through `operations`.
  Figures Run(const ScopedPamService& service, const std::string& user, const Load& load,
              const std::string& operations) {
    Figures figures;
    figures.results.resize(load.processes);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> sessions;
    for (int p = 0; p < load.processes; ++p) {
      sessions.emplace_back(
          [&, p] { figures.results[p] = RunCommand(log_.Wrap(PamtesterCommand(service, user, operations))); });
    }
    for (std::thread& session : sessions) session.join();
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.log = log_.Take();
    static const std::regex recorded(R"(of \S+ recorded after ([0-9]+\.[0-9]) s)");
    for (auto it = std::sregex_iterator(figures.log.begin(), figures.log.end(), recorded); it != std::sregex_iterator();
         ++it) {
      ++figures.recorded;
      figures.longestRun = std::max(figures.longestRun, std::stod((*it)[1].str()));
    }
    return figures;
  }
  static void Report(const std::string& what, const Figures& figures, int rows) {
    std::printf("%s: %d rows in %.2f s, %.1f rows/s; %d runs recorded, %.1f runs/s, longest run %.1f s\n", what.c_str(),
                rows, figures.seconds, rows / figures.seconds, figures.recorded, figures.recorded / figures.seconds,
                figures.longestRun);
  }
};

TEST_F(PamJournalLoadTest, ManyRecordingProcessesAtOnceLoseNoLogon) {
  const Load load = LoadToRun();
  ScopedAccount user(AccountName("m"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), Stack());
  ASSERT_TRUE(service.Written());
  std::string operations;
  for (int i = 0; i < load.events; ++i) operations += " open_session";

  const Figures figures = Run(service, user.Name(), load, operations);
  const int events = load.processes * load.events;
  Report(std::to_string(load.processes) + " processes x " + std::to_string(load.events) + " logons", figures, events);
  for (const CommandResult& result : figures.results) EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(figures.recorded, events);
  EXPECT_EQ(figures.log.find("not recorded"), std::string::npos) << figures.log;
  EXPECT_EQ(
      Sql("SELECT count(*), count(logofftime) FROM Logon WHERE Username = '" + user.Name() + "' AND Typ = 'logon'"),
      std::to_string(events) + "|0\n");
}

TEST_F(PamJournalLoadTest, SessionsOfOneUserOpeningAndClosingAtOnceStampEveryRow) {
  const Load load = LoadToRun();
  ScopedAccount user(AccountName("c"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), Stack());
  ASSERT_TRUE(service.Written());
  std::string operations;
  for (int i = 0; i < load.events / 2; ++i) operations += " open_session close_session";

  const Figures figures = Run(service, user.Name(), load, operations);
  const int rows = load.processes * (load.events / 2);
  Report(std::to_string(load.processes) + " processes x " + std::to_string(load.events) +
             " events, logon and logoff in turn",
         figures, rows);
  for (const CommandResult& result : figures.results) EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(figures.recorded, 2 * rows);
  EXPECT_EQ(figures.log.find("not recorded"), std::string::npos) << figures.log;
  // Every row stamped once: as many stamps as rows, none before its own logon.
  EXPECT_EQ(Sql("SELECT count(*), count(logofftime), sum(logofftime < logontime) FROM Logon"),
            std::to_string(rows) + "|" + std::to_string(rows) + "|0\n");
}

}  // namespace
}  // namespace lumo::e2e
