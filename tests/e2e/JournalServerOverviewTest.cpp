// The journal's window on the throwaway PostgreSQL cluster, in process under the offscreen
// platform: the INI file beside the test program names the server (type=ODBC) and a login of
// the test's own, the schema is the shipped file, and psql writes the rows as the recorded
// users themselves would. What the overview shows is what the server lets its login read; the
// upgrade button alters an old table for the journal's administrators and brings the server's
// refusal to everyone else.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "gui/DBGrid.h"
#include "runtime/CommandLine.h"
#include "runtime/DateFormat.h"
#include "runtime/DateTime.h"
#include "runtime/Exceptions.h"
#include "tests/odbc/OdbcTestSupport.h"
#include "tests/support/TestSupport.h"

#if !defined(SERVER_SCHEMA_PATH)
#error "SERVER_SCHEMA_PATH names the journal's server schema"
#endif

namespace lumo {
namespace {

using jet::testing::Cluster;
using lumo::testing::CommandResult;
using lumo::testing::ShellQuoted;

// The journal's table as it was before logoff times were kept, owned as the shipped schema
// owns the table, readable by viewers.
constexpr const char* kOldTable =
    "CREATE TABLE \"Logon\" (\"ID\" serial PRIMARY KEY, \"Username\" varchar(50), \"Computer\" varchar(20), "
    "\"logontime\" timestamp(3), \"IP\" varchar(20), \"Betriebssystem\" varchar(50), \"Typ\" varchar(10)); "
    "ALTER TABLE \"Logon\" OWNER TO logonjournal_admins; GRANT SELECT ON \"Logon\" TO logonjournal_viewers";

std::string DayText(TDateTime day, const char* time) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %s", year, month, dayOfMonth, time);
  return text;
}

class JournalServerOverviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window is made, never shown on a screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    LUMO_REQUIRE_CLUSTER();
    RegisterJournalClasses();
    lock_ = open((JournalIniPath() + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(lock_, 0);
    ASSERT_EQ(flock(lock_, LOCK_EX), 0);
    std::map<std::string, std::string> values;
    for (const std::string& file : {Cluster().folder + "/cluster.env", Cluster().folder + "/odbcinst.ini"}) {
      std::ifstream in(file);
      for (std::string line; std::getline(in, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        values[key] = value;
      }
    }
    superuser_ = values["LUMO_PG_ADMIN"];
    driver_ = values["Driver"];
    std::ifstream(values["LUMO_PG_ADMIN_PASSFILE"]) >> superPassword_;
    ASSERT_FALSE(superuser_.empty() || superPassword_.empty() || driver_.empty())
        << "the cluster's folder names no superuser, password file or driver";

    const std::string tag = std::to_string(getpid());
    database_ = "lumo_overview_" + tag;
    alice_ = "lo_alice_" + tag;
    bob_ = "lo_bob_" + tag;
    boss_ = "lo_boss_" + tag;
    viewer_ = "lo_viewer_" + tag;
    ASSERT_EQ(Super("postgres", "CREATE DATABASE " + database_).status, 0);
    made_ = true;
    for (const auto& [role, group] : {std::pair{alice_, "logonjournal_recorders"},
                                      {bob_, "logonjournal_recorders"},
                                      {boss_, "logonjournal_admins"},
                                      {viewer_, "logonjournal_viewers"}}) {
      // The group roles are the cluster's; the shipped file makes them when missing.
      Super(database_, std::string("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '") + group +
                           "') THEN CREATE ROLE " + group + " NOLOGIN; END IF; END $$");
      const CommandResult role_made =
          Super(database_, "CREATE ROLE " + role + " LOGIN PASSWORD '" + role + "-pw' IN ROLE " + group);
      ASSERT_EQ(role_made.status, 0) << role_made.output;
    }
    const char* arguments[] = {"logonjournal"};
    SetCommandLine(1, arguments);
  }
  void TearDown() override {
    form_.reset();
    if (lock_ >= 0) {
      std::remove(JournalIniPath().c_str());
      flock(lock_, LOCK_UN);
      close(lock_);
    }
    if (!made_) return;
    Super("postgres", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    for (const std::string& role : {alice_, bob_, boss_, viewer_}) Super("postgres", "DROP ROLE IF EXISTS " + role);
  }

  CommandResult Run(const std::string& role, const std::string& password, const std::string& database,
                    const std::string& arguments) const {
    const jet::testing::PgCluster& cluster = Cluster();
    return lumo::testing::RunCommand("PGPASSWORD=" + ShellQuoted(password) +
                                     " psql -X -q -A -t -F '|' -v ON_ERROR_STOP=1 -h " + ShellQuoted(cluster.folder) +
                                     " -p " + cluster.port + " -U " + role + " -d " + database + " " + arguments +
                                     " 2>&1");
  }
  CommandResult Super(const std::string& database, const std::string& sql) const {
    return Run(superuser_, superPassword_, database, "-c " + ShellQuoted(sql));
  }
  void LoadSchema() {
    const CommandResult loaded = Run(superuser_, superPassword_, database_, "-f " + ShellQuoted(SERVER_SCHEMA_PATH));
    ASSERT_EQ(loaded.status, 0) << loaded.output;
  }
  // A logon of `role` at `when`, written with the role's own login as the journal writes it.
  void Record(const std::string& role, const std::string& when) {
    const CommandResult recorded =
        Run(role, role + "-pw", database_,
            "-c " + ShellQuoted("INSERT INTO \"Logon\" (\"Username\", \"Computer\", \"logontime\", \"IP\", "
                                "\"Betriebssystem\", \"Typ\") VALUES ('" +
                                role + "', 'PC1', '" + when + "', '10.0.0.1', 'Debian 12', 'logon')"));
    ASSERT_EQ(recorded.status, 0) << recorded.output;
  }

  // The form as the journal starts it without arguments, logged in to the server as `role`.
  Tfmain& CreateForm(const std::string& role) {
    const jet::testing::PgCluster& cluster = Cluster();
    std::ofstream(JournalIniPath()) << "[db]\ntype=ODBC\nmain=DRIVER=" << driver_ << ";Servername=" << cluster.folder
                                    << ";Port=" << cluster.port << ";Database=" << database_ << ";UID=" << role
                                    << ";PWD=" << role << "-pw\n";
    form_ = std::make_unique<Tfmain>(nullptr);
    form_->ReadDescription();
    form_->FormCreate(form_.get());
    return *form_;
  }
  // The users of the rows the overview of `role` shows, in the grid's order.
  std::vector<std::string> OverviewOf(const std::string& role) {
    Tfmain& form = CreateForm(role);
    form.FormShow(&form);
    TLumoDaoTable& logon = form.Logon();
    std::vector<std::string> users;
    if (!logon.Active()) return users;
    for (logon.First(); !logon.Eof(); logon.Next()) users.push_back(logon.FieldByName("Username")->AsString());
    return users;
  }

  std::string superuser_, superPassword_, driver_, database_;
  std::string alice_, bob_, boss_, viewer_;
  bool made_ = false;
  int lock_ = -1;
  std::unique_ptr<Tfmain> form_;
};

TEST_F(JournalServerOverviewTest, TheOverviewShowsTodaysRowsThatTheLoginMayRead) {
  LoadSchema();
  const TDateTime today = Date();
  Record(alice_, DayText(today - 1, "23:59:59.999"));
  Record(alice_, DayText(today, "00:00:00.001"));
  Record(bob_, DayText(today, "09:30:00.000"));
  Record(alice_, DayText(today, "12:00:00.000"));
  Record(bob_, DayText(today - 2, "08:00:00.000"));

  // Viewers and administrators see every user's rows of today, newest first.
  const std::vector<std::string> everyone{alice_, bob_, alice_};
  EXPECT_EQ(OverviewOf(viewer_), everyone);
  EXPECT_EQ(OverviewOf(boss_), everyone);
  // A recorded user sees their own rows only.
  EXPECT_EQ(OverviewOf(alice_), (std::vector<std::string>{alice_, alice_}));
  EXPECT_EQ(OverviewOf(bob_), (std::vector<std::string>{bob_}));

  // The grid shows the server's columns as it shows a file's.
  auto* grid = dynamic_cast<TDBGrid*>(form_->FindComponent("DBGrid1"));
  ASSERT_NE(grid, nullptr);
  ASSERT_EQ(grid->Columns().Count(), 7);
  EXPECT_EQ(grid->Columns().Items(3)->FieldName(), "logofftime");
  TLumoDaoTable& logon = form_->Logon();
  logon.First();
  EXPECT_EQ(logon.FieldByName("Computer")->AsString(), "PC1");
  EXPECT_TRUE(logon.FieldByName("logofftime")->IsNull());
  EXPECT_EQ(FormatDateTime("hh:nn:ss", logon.FieldByName("logontime")->AsDateTime()), "09:30:00");
}

TEST_F(JournalServerOverviewTest, TheUpgradeAltersAnOldTableForAdministratorsOnly) {
  ASSERT_EQ(Super(database_, kOldTable).status, 0);
  ASSERT_EQ(Super(database_, "INSERT INTO \"Logon\" (\"Username\", \"logontime\") VALUES ('kept', '" +
                                 DayText(Date(), "00:00:01.000") + "')")
                .status,
            0);
  const std::string columnQuery =
      "SELECT data_type FROM information_schema.columns WHERE table_name = 'Logon' AND column_name = 'logofftime'";

  // A viewer's window cannot show the old table (the grid's logofftime is missing), and the
  // button brings the server's refusal with DAO's number; the table stays as it was.
  {
    Tfmain& form = CreateForm(viewer_);
    try {
      form.FormShow(&form);
      FAIL() << "the overview opened without logofftime";
    } catch (const EDatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("logofftime"), std::string::npos) << error.what();
    }
    try {
      form.SpeedButton1Click(&form);
      FAIL() << "a viewer altered the table";
    } catch (const EOleException& error) {
      EXPECT_EQ(error.ErrorCode(), 3146) << error.what();
      EXPECT_NE(std::string(error.what()).find("ODBC--call failed"), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("must be owner of table Logon"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(form.Database().Connected());
    EXPECT_EQ(Super(database_, columnQuery).output, "");
  }

  // An administrator's button adds the column as the server's time stamp; the rows stay, and
  // the window then shows the table.
  {
    Tfmain& form = CreateForm(boss_);
    form.SpeedButton1Click(&form);
    EXPECT_FALSE(form.Logon().Active());
    EXPECT_EQ(Super(database_, columnQuery).output, "timestamp without time zone\n");
    EXPECT_EQ(Super(database_, "SELECT \"Username\", \"logofftime\" IS NULL FROM \"Logon\"").output, "kept|t\n");
    // A second upgrade meets the column: the server says so, the database stays open.
    try {
      form.SpeedButton1Click(&form);
      FAIL() << "the column was added twice";
    } catch (const EOleException& error) {
      EXPECT_NE(std::string(error.what()).find("already exists"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(form.Database().Connected());
  }
  EXPECT_EQ(OverviewOf(viewer_), (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace lumo
