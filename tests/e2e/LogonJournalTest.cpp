// The journal as the logon hooks run it: the real logonjournal binary, copied into a fresh
// folder beside its own INI file, recording into a database made by the database shell from
// the shipped schema; the stock sqlite3 shell reads back what it wrote.

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#if !defined(LOGONJOURNAL_PATH) || !defined(JETSH_PATH) || !defined(SCHEMA_PATH)
#error "LOGONJOURNAL_PATH, JETSH_PATH and SCHEMA_PATH name the programs and the schema under test"
#endif

namespace {

namespace fs = std::filesystem;

struct Result {
  std::string output;  // standard output and standard error
  int status = -1;
};

Result RunCommand(const std::string& command) {
  Result result;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe)) result.output += buffer.data();
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  return result;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string LocalTimeText(std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// The user the journal records: the effective user of the process that runs it.
std::string UserName() {
  const passwd* entry = getpwuid(geteuid());
  return entry ? entry->pw_name : "";
}

// The computer name the journal records: the host name's first label, upper case, at most 15.
std::string ComputerName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string name = host;
  name = name.substr(0, name.find('.')).substr(0, 15);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

class LogonJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumo-journal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    chmod(folder_.c_str(), 0755);  // also reachable by the unprivileged user of one test
    program_ = folder_ / "logonjournal";
    fs::copy_file(LOGONJOURNAL_PATH, program_);
    // With its widget module beside it, as installed: a copy finds no other.
    fs::copy_file(fs::path(LOGONJOURNAL_PATH).parent_path() / "libguiqt.so", folder_ / "libguiqt.so");
    database_ = (folder_ / "journal.mdb").string();
    WriteIni("[db]\nmain=" + database_ + "\n");
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WriteIni(const std::string& text) { std::ofstream(folder_ / "logonjournal.ini") << text; }

  void MakeDatabase(const std::string& path, const std::string& schemaFile = SCHEMA_PATH) {
    Result made = RunCommand(std::string(JETSH_PATH) + " --create " + Quote(path) + " <" + Quote(schemaFile));
    ASSERT_EQ(made.status, 0) << made.output;
  }

  // Runs the journal without a display, the way a logon hook does, from the root folder;
  // a run that does not end by itself is stopped after `limit` (status 124).
  Result Journal(const std::string& arguments, const std::string& prefix = "", int limit = 30) {
    return RunCommand("cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout " + std::to_string(limit) +
                      " " + prefix + " " + Quote(program_.string()) + " " + arguments);
  }

  std::string Sql(const std::string& statement, const std::string& path = "") {
    return RunCommand("sqlite3 " + Quote(path.empty() ? database_ : path) + " " + Quote(statement)).output;
  }

  fs::path folder_;
  fs::path program_;
  std::string database_;
};

TEST_F(LogonJournalTest, RecordsOneLogonRowWithTheMachineFacts) {
  MakeDatabase(database_);
  const std::string before = LocalTimeText(std::time(nullptr));
  Result run = Journal("/set LogOn");
  const std::string after = LocalTimeText(std::time(nullptr) + 1);
  ASSERT_EQ(run.status, 0) << run.output;

  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "1\n");
  EXPECT_EQ(Sql("SELECT Username || '|' || Computer || '|' || Typ || '|' || (logofftime IS NULL) FROM Logon"),
            UserName() + "|" + ComputerName() + "|logon|1\n");
  std::string logontime = Sql("SELECT logontime FROM Logon");
  ASSERT_EQ(logontime.size(), 24u) << logontime;  // the engine's fixed-width date text
  EXPECT_GE(logontime.substr(0, 19), before);
  EXPECT_LE(logontime.substr(0, 19), after);

  // At most twenty characters of dotted addresses, several joined by CR LF.
  std::string ip = Sql("SELECT IP FROM Logon");
  ip.pop_back();
  EXPECT_FALSE(ip.empty());
  EXPECT_LE(ip.size(), 20u);
  EXPECT_NE(ip.find('.'), std::string::npos);

  // The operating system: the distribution's name, one blank, the kernel release; cut to 50.
  utsname uts{};
  uname(&uts);
  std::string pretty;
  std::ifstream release("/etc/os-release");
  for (std::string line; std::getline(release, line);) {
    if (line.rfind("PRETTY_NAME=", 0) == 0) pretty = line.substr(12);
  }
  if (pretty.size() >= 2 && pretty.front() == '"') pretty = pretty.substr(1, pretty.size() - 2);
  std::string expected = (pretty + " " + uts.release).substr(0, 50);
  EXPECT_EQ(Sql("SELECT Betriebssystem FROM Logon"), expected + "\n");
}

TEST_F(LogonJournalTest, KindIsLowerCasedAndCutToTenCharacters) {
  MakeDatabase(database_);
  ASSERT_EQ(Journal("/set ABCDEFGHIJKLMNOP").status, 0);
  ASSERT_EQ(Journal("/set " + std::string(10000, 'X')).status, 0);
  ASSERT_EQ(Journal("/set").status, 0);
  EXPECT_EQ(Sql("SELECT ifnull(Typ, '<null>') FROM Logon ORDER BY ID"), "abcdefghij\nxxxxxxxxxx\n<null>\n");
}

TEST_F(LogonJournalTest, BytesThatAreNotUtf8AreStoredAsReplacementCharacters) {
  MakeDatabase(database_);
  Result run = Journal("/set \"$(printf '\\377\\376AB')\"");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Sql("SELECT hex(Typ) FROM Logon"), "EFBFBDEFBFBD6162\n");
}

TEST_F(LogonJournalTest, LogoffStampsOnlyTheNewestOpenRowOfThisUserAndComputer) {
  MakeDatabase(database_);
  const std::string user = UserName(), computer = ComputerName();
  auto row = [&](int id, const std::string& u, const std::string& c, const std::string& on, const std::string& off) {
    return "INSERT INTO Logon (ID, Username, Computer, logontime, logofftime, IP, Betriebssystem, Typ) VALUES (" +
           std::to_string(id) + ", '" + u + "', '" + c + "', '" + on + "', " +
           (off.empty() ? "NULL" : "'" + off + "'") + ", '10.0.0.1', 'os', 'logon');";
  };
  Sql(row(1, user, computer, "2026-12-07 08:00:00.000", "") + row(2, user, computer, "2026-12-07 09:00:00.000", "") +
      row(3, user, "ELSEWHERE", "2026-12-07 10:00:00.000", "") +
      row(4, "someone", computer, "2026-12-07 10:30:00.000", "") +
      row(5, user, computer, "2026-12-07 07:00:00.000", "2026-12-07 07:30:00.000"));
  const std::string before = LocalTimeText(std::time(nullptr));

  Result run = Journal("/set LogOff");
  ASSERT_EQ(run.status, 0) << run.output;

  EXPECT_EQ(Sql("SELECT ID FROM Logon WHERE logofftime IS NOT NULL ORDER BY ID"), "2\n5\n");
  EXPECT_GE(Sql("SELECT substr(logofftime, 1, 19) FROM Logon WHERE ID = 2"), before);
  EXPECT_EQ(Sql("SELECT logofftime FROM Logon WHERE ID = 5"), "2026-12-07 07:30:00.000\n");
  // No row added, no other column touched.
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "5\n");
  EXPECT_EQ(Sql("SELECT Username || Computer || logontime || IP || Betriebssystem || Typ FROM Logon WHERE ID = 2"),
            user + computer + "2026-12-07 09:00:00.000" + "10.0.0.1" + "os" + "logon\n");
}

TEST_F(LogonJournalTest, LogoffWithoutAnOpenRowWritesNothing) {
  MakeDatabase(database_);
  Sql("INSERT INTO Logon (Username, Computer, logontime, logofftime) VALUES ('" + UserName() + "', '" + ComputerName() +
      "', '2026-12-07 07:00:00.000', '2026-12-07 07:30:00.000');");
  const std::string dump = Sql("SELECT * FROM Logon");
  Result run = Journal("/set logoff");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Sql("SELECT * FROM Logon"), dump);
}

TEST_F(LogonJournalTest, RecordingWritesNothingIntoTheUsersHomeOrTheOdbcFolders) {
  MakeDatabase(database_);
  // The user's ODBC file is named outright: the installer would take the home folder from the
  // password database, not from HOME. Both folders exist, their files do not.
  const fs::path home = folder_ / "home", system = folder_ / "odbc";
  fs::create_directories(home);
  fs::create_directories(system);
  const std::string environment = "env HOME=" + Quote(home.string()) +
                                  " ODBCINI=" + Quote((home / ".odbc.ini").string()) +
                                  " ODBCSYSINI=" + Quote(system.string());
  Result logon = Journal("/set logon", environment);
  ASSERT_EQ(logon.status, 0) << logon.output;
  Result logoff = Journal("/set logoff", environment);
  ASSERT_EQ(logoff.status, 0) << logoff.output;

  EXPECT_EQ(Sql("SELECT count(*), count(logofftime) FROM Logon"), "1|1\n");
  EXPECT_TRUE(fs::is_empty(home)) << "a recording run wrote into the home folder";
  EXPECT_TRUE(fs::is_empty(system)) << "a recording run wrote into the ODBC system folder";
}

TEST_F(LogonJournalTest, SwitchInCapitalsRecordsNothingAndKeepsRunning) {
  MakeDatabase(database_);
  // Nothing is recorded and the zero-sized window stays until someone closes it.
  Result run = Journal("/SET logon", "", 3);
  EXPECT_EQ(run.status, 124) << run.output;
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "0\n");
}

TEST_F(LogonJournalTest, HelpAndVersionAnswerWithoutAWindowOrTheDatabase) {
  MakeDatabase(database_);
  const std::string before = Sql("SELECT count(*) FROM Logon");
  const auto written = fs::last_write_time(database_);
  Result help = Journal("--help", "", 5);
  EXPECT_EQ(help.status, 0) << help.output;
  EXPECT_EQ(help.output.rfind("Usage: logonjournal [/set logon|logoff]\n", 0), 0u) << help.output;
  Result version = Journal("--version", "", 5);
  EXPECT_EQ(version.status, 0) << version.output;
  EXPECT_EQ(version.output.rfind("logonjournal ", 0), 0u) << version.output;
  EXPECT_NE(version.output.find_first_of("0123456789"), std::string::npos);
  // The database was not opened: no write-ahead files beside it, nothing changed.
  EXPECT_FALSE(fs::exists(database_ + "-wal"));
  EXPECT_TRUE(fs::last_write_time(database_) == written);
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), before);
  // Only the two options themselves: anything else keeps its zero-sized window.
  EXPECT_EQ(Journal("--help me", "", 2).status, 124);
}

TEST_F(LogonJournalTest, MissingDatabaseIsReportedAndNotCreated) {
  const std::string missing = (folder_ / "nowhere" / "journal.mdb").string();
  WriteIni("[db]\nmain=" + missing + "\n");
  Result run = Journal("/set logon");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("Cannot find Database:"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("TLumoDaoTable.OpenDaoRecordset: Database is NOT connected"), std::string::npos)
      << run.output;
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(LogonJournalTest, WithoutIniFileTheDefaultDatabaseBesideTheProgramIsUsed) {
  fs::remove(folder_ / "logonjournal.ini");
  MakeDatabase((folder_ / "logon1.mdb").string());
  Result run = Journal("/set logon");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Sql("SELECT Typ FROM Logon", (folder_ / "logon1.mdb").string()), "logon\n");
}

TEST_F(LogonJournalTest, DatabaseWithoutLogofftimeRefusesTheLogonAndWritesNothing) {
  const std::string schema = (folder_ / "old.sql").string();
  std::ofstream(schema)
      << "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), "
         "Computer TEXT(20), logontime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), Typ TEXT(10));\n";
  MakeDatabase(database_, schema);
  Result run = Journal("/set logon");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("logofftime"), std::string::npos) << run.output;
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "0\n");
}

TEST_F(LogonJournalTest, ReadOnlyDatabaseIsReportedAndLeftUnchanged) {
  ASSERT_EQ(geteuid(), 0u) << "runs as root: the journal runs as an unprivileged user";
  MakeDatabase(database_);
  Sql("INSERT INTO Logon (Username, Typ) VALUES ('kept', 'logon');");
  const std::string dump = Sql("SELECT * FROM Logon");
  // Root ignores file modes, so the journal runs as nobody, who may read but not write.
  Result run = Journal("/set logon", "setpriv --reuid=nobody --regid=nogroup --clear-groups");
  EXPECT_NE(run.status, 0);
  // The database, the reason, and what to look at.
  EXPECT_EQ(run.output.rfind("cannot write the journal database " + database_ + ": ", 0), 0u) << run.output;
  EXPECT_NE(run.output.find(" as app/README.md describes? (the file is root:root 644, the folder is root:root 755)"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(Sql("SELECT * FROM Logon"), dump);
}

TEST_F(LogonJournalTest, LockedDatabaseIsWaitedForAndNothingIsLost) {
  MakeDatabase(database_);
  // Another writer holds the write lock for two seconds; the journal waits for it.
  const std::string holder =
      "printf '%s\\n' 'BEGIN IMMEDIATE;' \"INSERT INTO Logon (Username, Typ) VALUES ('other', 'logon');\" "
      "'.shell sleep 2' 'COMMIT;' | sqlite3 " +
      Quote(database_) + " >/dev/null 2>&1 &";
  ASSERT_EQ(RunCommand(holder).status, 0);
  usleep(300 * 1000);
  Result run = Journal("/set logon");
  EXPECT_EQ(run.status, 0) << run.output;
  sleep(2);  // the holder has committed by now
  EXPECT_EQ(Sql("SELECT Username FROM Logon ORDER BY ID").find("other"), 0u);
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon"), "2\n");
}

// Two shells inserting and two updating, every statement a transaction of its own, all at
// once: under steady contention each waiter still gets its turn, and none gives up.
TEST_F(LogonJournalTest, ShellsWritingAtOnceNeverGiveUp) {
  MakeDatabase(database_);
  constexpr int kStatements = 1000;
  std::string seed;
  for (int i = 0; i < kStatements; ++i) seed += "INSERT INTO Logon (Username, Typ) VALUES ('seed', 'seed');\n";
  std::ofstream(folder_ / "seed.sql") << seed;
  ASSERT_EQ(
      RunCommand(std::string(JETSH_PATH) + " -f " + Quote((folder_ / "seed.sql").string()) + " " + Quote(database_))
          .status,
      0);
  std::string commands;
  for (int shell = 1; shell <= 2; ++shell) {
    std::ofstream insert(folder_ / ("insert" + std::to_string(shell) + ".sql"));
    std::ofstream update(folder_ / ("update" + std::to_string(shell) + ".sql"));
    for (int i = 1; i <= kStatements; ++i) {
      insert << "INSERT INTO Logon (Username, logontime, Typ) VALUES ('insert" << shell << "', Now(), 'logon');\n";
      update << "UPDATE Logon SET Typ = 'update" << shell << "', logofftime = Now() WHERE ID = " << i << ";\n";
    }
  }
  for (const char* file : {"insert1", "insert2", "update1", "update2"}) {
    commands += std::string(JETSH_PATH) + " -f " + Quote((folder_ / (std::string(file) + ".sql")).string()) + " " +
                Quote(database_) + " >/dev/null 2>" + Quote((folder_ / file).string()) + " & pids=\"$pids $!\"; ";
  }
  // Each shell's status, in the order started.
  Result run = RunCommand("pids=''; " + commands + "s=''; for p in $pids; do wait $p; s=\"$s$?\"; done; echo $s");
  EXPECT_EQ(run.output, "0000\n")
      << RunCommand("cat " + Quote(folder_.string()) + "/insert? " + Quote(folder_.string()) + "/update?").output;
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon WHERE Username LIKE 'insert%'"), std::to_string(2 * kStatements) + "\n");
  EXPECT_EQ(Sql("SELECT count(*) FROM Logon WHERE Typ LIKE 'update%'"), std::to_string(kStatements) + "\n");
}

}  // namespace
