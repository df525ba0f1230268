// The journal form in process, over real database files made by the shell from the shipped
// schema: the overview's choice of rows, the upgrade button, the statements as sent, and the
// logoff look-up with names that carry apostrophes.

#include "app/Main.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "gui/DBGrid.h"
#include "runtime/CommandLine.h"
#include "runtime/DateTime.h"
#include "runtime/Exceptions.h"

#if !defined(JETSH_PATH) || !defined(SCHEMA_PATH)
#error "JETSH_PATH and SCHEMA_PATH name the database shell and the journal's schema"
#endif

namespace lumo {
namespace {

namespace fs = std::filesystem;

std::string RunShell(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe)) output += buffer.data();
    pclose(pipe);
  }
  return output;
}

// The form reads the INI file beside the test program; test processes that run at the same
// time take turns through a lock on it.
class MainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterJournalClasses();
    lock_ = open((JournalIniPath() + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(lock_, 0);
    ASSERT_EQ(flock(lock_, LOCK_EX), 0);
    char pattern[] = "/tmp/lumo-main-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    database_ = (folder_ / "journal.mdb").string();
    std::ofstream(JournalIniPath()) << "[db]\nmain=" << database_ << "\n";
    const char* arguments[] = {"logonjournal"};
    SetCommandLine(1, arguments);
  }
  void TearDown() override {
    form_.reset();
    fs::remove(JournalIniPath());
    fs::remove_all(folder_);
    flock(lock_, LOCK_UN);
    close(lock_);
  }

  void MakeDatabase(const std::string& schema = SCHEMA_PATH) {
    ASSERT_EQ(RunShell(std::string(JETSH_PATH) + " --create " + database_ + " <" + schema), "");
  }
  void Sql(const std::string& statement) { ASSERT_EQ(RunShell("sqlite3 " + database_ + " \"" + statement + "\""), ""); }
  std::string Query(const std::string& statement) {
    return RunShell("sqlite3 " + database_ + " \"" + statement + "\"");
  }

  Tfmain& CreateForm() {
    form_ = std::make_unique<Tfmain>(nullptr);
    form_->ReadDescription();
    form_->FormCreate(form_.get());
    return *form_;
  }

  int lock_ = -1;
  fs::path folder_;
  std::string database_;
  std::unique_ptr<Tfmain> form_;
};

std::string DayText(TDateTime day, const char* time) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %s", year, month, dayOfMonth, time);
  return text;
}

TEST_F(MainTest, StatementsAreSentAsTheJournalWritesThem) {
  EXPECT_EQ(OpenRowStatement("anna", "PC1"),
            "select id from logon where username= 'anna' and computer='PC1' and (logofftime is Null) order by "
            "logontime desc");
  EXPECT_EQ(OpenRowStatement("o'brien", "PC'1"),
            "select id from logon where username= 'o''brien' and computer='PC''1' and (logofftime is Null) order by "
            "logontime desc");
  EXPECT_EQ(StampStatement(ComposeDateTime(EncodeDate(2026, 7, 3), EncodeTime(9, 5, 7, 400)), 12),
            "update logon set logofftime = #7/3/2026 9:5:7# where id = 12");
  EXPECT_EQ(OverviewStatement(EncodeDate(2026, 12, 31)),
            "select * from logon where logontime > #12/31/2026# order by logontime desc");
  TVersionsInfo info;
  info.OSName = "Windows XP";
  EXPECT_EQ(SystemText(info), "Windows XP ");
  info.CSDVersion = "Service Pack 3";
  EXPECT_EQ(SystemText(info), "Windows XP Service Pack 3");
}

TEST_F(MainTest, OverviewShowsTheRowsAfterMidnightNewestFirstWithoutTheId) {
  MakeDatabase();
  const TDateTime today = Date();
  Sql("INSERT INTO Logon (Username, logontime) VALUES ('yesterday', '" + DayText(today - 1, "23:59:59.999") +
      "');"
      "INSERT INTO Logon (Username, logontime) VALUES ('midnight', '" +
      DayText(today, "00:00:00.000") +
      "');"
      "INSERT INTO Logon (Username, logontime) VALUES ('early', '" +
      DayText(today, "00:00:00.001") +
      "');"
      "INSERT INTO Logon (Username, logontime) VALUES ('noon', '" +
      DayText(today, "12:00:00.000") +
      "');"
      "INSERT INTO Logon (Username, logontime) VALUES ('tomorrow', '" +
      DayText(today + 1, "08:00:00.000") + "');");
  Tfmain& form = CreateForm();
  form.FormShow(&form);

  TLumoDaoTable& logon = form.Logon();
  ASSERT_TRUE(logon.Active());
  std::vector<std::string> users;
  for (logon.First(); !logon.Eof(); logon.Next()) users.push_back(logon.FieldByName("Username")->AsString());
  EXPECT_EQ(users, (std::vector<std::string>{"tomorrow", "noon", "early"}));

  auto* grid = dynamic_cast<TDBGrid*>(form.FindComponent("DBGrid1"));
  ASSERT_NE(grid, nullptr);
  std::vector<std::string> columns;
  for (int i = 0; i < grid->Columns().Count(); ++i) columns.push_back(grid->Columns().Items(i)->FieldName());
  EXPECT_EQ(columns, (std::vector<std::string>{"Username", "Computer", "logontime", "logofftime", "IP",
                                               "Betriebssystem", "Typ"}));
}

TEST_F(MainTest, UpgradeAddsLogofftimeAndLeavesTheGridEmpty) {
  const std::string schema = (folder_ / "old.sql").string();
  std::ofstream(schema)
      << "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), "
         "Computer TEXT(20), logontime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), Typ TEXT(10));\n";
  MakeDatabase(schema);
  Sql("INSERT INTO Logon (Username, logontime) VALUES ('kept', '2026-12-07 10:00:00.000');");
  Tfmain& form = CreateForm();
  // The persistent field logofftime is missing from the old table.
  try {
    form.FormShow(&form);
    FAIL() << "the overview opened without logofftime";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("logofftime"), std::string::npos) << error.what();
  }

  form.SpeedButton1Click(&form);
  EXPECT_FALSE(form.Logon().Active());
  EXPECT_TRUE(form.Database().Connected());
  EXPECT_NE(Query("PRAGMA table_info(Logon)").find("|logofftime|"), std::string::npos);
  EXPECT_EQ(Query("SELECT Username FROM Logon"), "kept\n");

  // A second upgrade meets the column and reports the engine's error; the database stays.
  EXPECT_THROW(form.SpeedButton1Click(&form), Exception);
  EXPECT_TRUE(form.Database().Connected());
}

TEST_F(MainTest, NamesWithApostrophesStampOnlyTheirOwnRow) {
  MakeDatabase();
  Sql("INSERT INTO Logon (ID, Username, Computer, logontime) VALUES (1, 'anna', 'PC1', '2026-12-07 08:00:00.000');"
      "INSERT INTO Logon (ID, Username, Computer, logontime) VALUES (2, 'o''brien', 'PC1', '2026-12-07 08:00:00.000');"
      "INSERT INTO Logon (ID, Username, Computer, logontime) VALUES (3, 'x'' or ''a''=''a', 'PC1', '2026-12-07 "
      "08:00:00.000');");
  Tfmain& form = CreateForm();
  TJournalEvent event;
  event.computer = "PC1";

  // The clock of a logoff at `hour` on 7 December.
  const auto at = [](int hour) {
    return [hour] { return ComposeDateTime(EncodeDate(2026, 12, 7), EncodeTime(hour, 0, 0, 0)); };
  };
  event.user = "o'brien";
  EXPECT_EQ(StampLogoff(form.Database(), form.Query(), event, at(17)), 2);
  event.user = "x' or 'a'='a";
  EXPECT_EQ(StampLogoff(form.Database(), form.Query(), event, at(18)), 3);
  event.user = "nobody'";
  EXPECT_EQ(StampLogoff(form.Database(), form.Query(), event, at(19)), -1);

  EXPECT_EQ(Query("SELECT ID, ifnull(logofftime, '-') FROM Logon ORDER BY ID"),
            "1|-\n2|2026-12-07 17:00:00.000\n3|2026-12-07 18:00:00.000\n");
}

// A logoff that waits for another session's lock, while that session records a logon of the
// same user: the stamp is the time the logoff got the lock, never one before that logon.
TEST_F(MainTest, LogoffThatWaitsForALockStampsTheTimeItGotIt) {
  MakeDatabase();
  Sql("INSERT INTO Logon (ID, Username, Computer, logontime) VALUES (1, 'anna', 'PC1', '2026-12-07 08:00:00.000');");
  Tfmain& form = CreateForm();
  const std::string held = (folder_ / "held").string();
  std::ofstream(folder_ / "hold.sql")
      << "BEGIN IMMEDIATE;\n.shell touch " << held << "\n.shell sleep 1.5\n"
      << "INSERT INTO Logon (ID, Username, Computer, logontime) VALUES (2, 'anna', 'PC1', "
         "strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime'));\nCOMMIT;\n";
  RunShell("sqlite3 " + database_ + " < " + (folder_ / "hold.sql").string() + " >/dev/null 2>&1 &");
  for (int i = 0; i < 500 && !fs::exists(held); ++i) usleep(10 * 1000);
  ASSERT_TRUE(fs::exists(held));
  TJournalEvent event;
  event.user = "anna";
  event.computer = "PC1";

  EXPECT_EQ(StampLogoff(form.Database(), form.Query(), event, Now), 2);
  EXPECT_EQ(Query("SELECT ID, logofftime >= logontime FROM Logon ORDER BY ID"), "1|\n2|1\n");
}

TEST_F(MainTest, RecordedRowCutsTextsToTheirFields) {
  MakeDatabase();
  Tfmain& form = CreateForm();
  TJournalEvent event;
  event.kind = "logon";
  event.user = std::string(60, 'u');
  event.computer = "PC1";
  event.addresses = "192.168.100.200\r\n10.0.0.1";
  event.system = "Windows XP ";
  RecordLogon(form.Logon(), event, ComposeDateTime(EncodeDate(2026, 12, 8), EncodeTime(7, 30, 15, 250)));
  EXPECT_EQ(
      Query("SELECT length(Username), logontime, hex(IP), Betriebssystem || '|', Typ, logofftime IS NULL FROM Logon"),
      "50|2026-12-08 07:30:15.000|3139322E3136382E3130302E3230300D0A31302E|Windows XP ||logon|1\n");
  EXPECT_FALSE(form.Logon().Active());
}

}  // namespace
}  // namespace lumo
