// The database shell on a server's database, as an administrator runs it: the real jetsh
// binary with a connect text, psql reading back what it wrote.

#include <gtest/gtest.h>

#include <string>

#include "tests/odbc/OdbcTestSupport.h"
#include "tests/support/TestSupport.h"

#ifndef JETSH_PATH
#error "JETSH_PATH names the jetsh binary under test"
#endif

namespace lumo::jet::odbc {
namespace {

using ::lumo::testing::CommandResult;
using ::lumo::testing::RunCommand;
using ::lumo::testing::ShellQuoted;
using testing::Cluster;
using testing::PgCluster;
using testing::Psql;
using testing::TestTable;

class OdbcShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + "; CREATE TABLE " + table_ +
                   " (id serial PRIMARY KEY, username varchar(50) NOT NULL, logontime timestamp(3))")
                  .status,
              0);
  }

  // The shell's environment names the cluster's ODBC configuration, as Cluster() set it.
  CommandResult Shell(const std::string& arguments) {
    return RunCommand("env ODBCSYSINI=" + ShellQuoted(getenv("ODBCSYSINI")) +
                      " ODBCINI=" + ShellQuoted(getenv("ODBCINI")) + " " + JETSH_PATH + " " + arguments + " 2>&1");
  }

  std::string table_;
};

TEST_F(OdbcShellTest, RunsJetSqlOnAServersDatabase) {
  const std::string connect = ShellQuoted(Cluster().Connect());
  CommandResult inserted =
      Shell("--list " + connect + " " +
            ShellQuoted("INSERT INTO " + table_ + " (username, logontime) VALUES ('anna', #12/8/2026 08:15:00#)") +
            " " + ShellQuoted("SELECT id, username FROM " + table_));
  EXPECT_EQ(inserted.status, 0) << inserted.output;
  EXPECT_NE(inserted.output.find("1 row affected."), std::string::npos) << inserted.output;
  EXPECT_NE(inserted.output.find("1|anna"), std::string::npos) << inserted.output;
  EXPECT_EQ(Psql("SELECT username, logontime FROM " + table_).output, "anna|2026-12-08 08:15:00\n");

  CommandResult listed = Shell("--tables --fields " + table_ + " " + connect);
  EXPECT_EQ(listed.status, 0) << listed.output;
  EXPECT_NE(listed.output.find(table_), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("username"), std::string::npos) << listed.output;
}

TEST_F(OdbcShellTest, AWrongLoginFailsWithTheServersReasonAndNothingIsCreated) {
  const PgCluster& c = Cluster();
  CommandResult refused =
      Shell(ShellQuoted("ODBC;DSN=" + c.dsn + ";UID=" + c.user + ";PWD=wrong;") + " " + ShellQuoted("SELECT 1"));
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("3151"), std::string::npos) << refused.output;
  EXPECT_NE(refused.output.find("password authentication failed"), std::string::npos) << refused.output;
  // The server's administrators make its databases.
  CommandResult create = Shell("--create " + ShellQuoted(c.Connect()) + " " + ShellQuoted("SELECT 1"));
  EXPECT_NE(create.status, 0) << create.output;
}

}  // namespace
}  // namespace lumo::jet::odbc
