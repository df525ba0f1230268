// The journal's server schema (app/schema/logon-postgresql.sql) on the throwaway PostgreSQL
// cluster, with psql as the only client: each test loads the shipped file into a database of
// its own and logs in as two recorded users, an administrator and a viewer, each a role with
// a password of its own. What a user may do to the journal by hand with their own login is
// what the server lets them: add and stamp rows of their own name, nothing else. Refusals are
// checked by the server's own words, and the rows read back by the superuser afterwards.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

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

constexpr const char* kRowSecurityRefusal = "new row violates row-level security policy for table \"Logon\"";
constexpr const char* kTableRefusal = "permission denied for table Logon";

class JournalServerSchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    std::ifstream env(Cluster().folder + "/cluster.env");
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(env, line);) {
      const size_t equals = line.find('=');
      if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    superuser_ = values["LUMO_PG_ADMIN"];
    std::ifstream(values["LUMO_PG_ADMIN_PASSFILE"]) >> superPassword_;
    ASSERT_FALSE(superuser_.empty() || superPassword_.empty()) << "cluster.env names no superuser and password file";

    const std::string tag = std::to_string(getpid());
    database_ = "lumo_journal_" + tag;
    alice_ = "lj_alice_" + tag;
    bob_ = "lj_bob_" + tag;
    boss_ = "lj_boss_" + tag;
    viewer_ = "lj_viewer_" + tag;
    ASSERT_EQ(Super("postgres", "CREATE DATABASE " + database_).status, 0);
    made_ = true;
    const CommandResult loaded = Run(superuser_, superPassword_, database_, "-f " + ShellQuoted(SERVER_SCHEMA_PATH));
    ASSERT_EQ(loaded.status, 0) << loaded.output;
    for (const auto& [role, group] : {std::pair{alice_, "logonjournal_recorders"},
                                      {bob_, "logonjournal_recorders"},
                                      {boss_, "logonjournal_admins"},
                                      {viewer_, "logonjournal_viewers"}}) {
      const CommandResult made =
          Super(database_, "CREATE ROLE " + role + " LOGIN PASSWORD '" + role + "-pw' IN ROLE " + group);
      ASSERT_EQ(made.status, 0) << made.output;
    }
  }
  void TearDown() override {
    if (!made_) return;
    Super("postgres", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    for (const std::string& role : {alice_, bob_, boss_, viewer_}) Super("postgres", "DROP ROLE IF EXISTS " + role);
  }

  // psql with one statement (or other arguments), standard output and error together.
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
  // `sql` run by `role` in the journal's database.
  CommandResult As(const std::string& role, const std::string& sql) const {
    return Run(role, role + "-pw", database_, "-c " + ShellQuoted(sql));
  }
  // The rows as they are, read past every policy.
  std::string Rows() const {
    return Super(database_,
                 "SELECT \"ID\", \"Username\", \"Computer\", \"logontime\", \"logofftime\", \"Typ\" FROM \"Logon\" "
                 "ORDER BY \"ID\"")
        .output;
  }
  // A logon of `user` recorded by `role`, as the journal writes one (the server gives the ID),
  // with `column` = `value` besides when given.
  CommandResult Record(const std::string& role, const std::string& user, const std::string& column = "",
                       const std::string& value = "") const {
    const std::string more = column.empty() ? "" : ", ";
    return As(role,
              "INSERT INTO \"Logon\" (\"Username\", \"Computer\", \"logontime\", \"IP\", \"Betriebssystem\", "
              "\"Typ\"" +
                  more + column + ") VALUES ('" + user +
                  "', 'PC1', '2026-12-11 08:00:00', '10.0.0.1', 'Debian 12 6.1', 'logon'" + more + value +
                  ") RETURNING \"ID\"");
  }
  // How many rows `role`'s stamp of row `id` changed.
  CommandResult Stamp(const std::string& role, const std::string& id, const std::string& condition = "") const {
    return As(role, "WITH s AS (UPDATE \"Logon\" SET \"logofftime\" = '2026-12-11 17:00:00' WHERE \"ID\" = " + id +
                        condition + " RETURNING 1) SELECT count(*) FROM s");
  }
  static std::string Id(const CommandResult& result) {
    std::string id = result.output;
    while (!id.empty() && id.back() == '\n') id.pop_back();
    return id;
  }

  std::string superuser_;
  std::string superPassword_;
  std::string database_;
  std::string alice_, bob_, boss_, viewer_;
  bool made_ = false;
};

TEST_F(JournalServerSchemaTest, RecordedUsersAddAndStampTheirOwnRowsAndSeeNoOneElses) {
  const CommandResult alices = Record(alice_, alice_);
  ASSERT_EQ(alices.status, 0) << alices.output;
  const CommandResult bobs = Record(bob_, bob_);
  ASSERT_EQ(bobs.status, 0) << bobs.output;
  EXPECT_NE(Id(alices), Id(bobs));
  const std::string alice = Id(alices), bob = Id(bobs);

  // The look-up of the open row at logoff sees one's own rows only.
  EXPECT_EQ(As(alice_, "SELECT \"Username\" FROM \"Logon\"").output, alice_ + "\n");
  EXPECT_EQ(As(alice_, "SELECT count(*) FROM \"Logon\" WHERE \"ID\" = " + bob).output, "0\n");

  // The journal's stamp: the newest open row, still open.
  EXPECT_EQ(Stamp(alice_, alice, " AND \"logofftime\" IS NULL").output, "1\n");
  EXPECT_EQ(Stamp(bob_, bob, " AND \"logofftime\" IS NULL").output, "1\n");
  EXPECT_EQ(Rows(), alice + "|" + alice_ + "|PC1|2026-12-11 08:00:00|2026-12-11 17:00:00|logon\n" + bob + "|" + bob_ +
                        "|PC1|2026-12-11 08:00:00|2026-12-11 17:00:00|logon\n");
}

TEST_F(JournalServerSchemaTest, RecordedUsersAreRefusedOthersRowsAndHistory) {
  const std::string alice = Id(Record(alice_, alice_));
  const std::string bob = Id(Record(bob_, bob_));
  ASSERT_EQ(Stamp(alice_, alice).output, "1\n");
  const std::string before = Rows();
  ASSERT_NE(before.find(bob + "|" + bob_ + "|PC1|2026-12-11 08:00:00||logon"), std::string::npos) << before;

  // A row under another name, a row closed from the start, a row with an ID of one's choice
  // (which could take a number the sequence hands out later).
  EXPECT_NE(Record(alice_, bob_).output.find(kRowSecurityRefusal), std::string::npos);
  EXPECT_NE(Record(alice_, alice_, "\"logofftime\"", "'2026-12-11 09:00:00'").output.find(kRowSecurityRefusal),
            std::string::npos);
  EXPECT_NE(Record(alice_, alice_, "\"ID\"", "1000").output.find(kTableRefusal), std::string::npos);
  EXPECT_NE(
      As(alice_, "SELECT setval('\"Logon_ID_seq\"', 1000)").output.find("permission denied for sequence Logon_ID_seq"),
      std::string::npos);

  // Another's open row is out of reach: the stamp finds no row to change.
  EXPECT_EQ(Stamp(alice_, bob).output, "0\n");
  // One's own row once stamped is history: it is stamped once.
  EXPECT_EQ(Stamp(alice_, alice).output, "0\n");
  // Nothing but the stamp may change, not even on one's own open row.
  const std::string bobsOwn = Id(Record(bob_, bob_));
  for (const std::string& change :
       std::vector<std::string>{"\"logontime\" = '2026-12-01 08:00:00'", "\"Username\" = '" + bob_ + "'",
                                "\"Computer\" = 'PC2'", "\"Typ\" = 'logoff'", "\"ID\" = 5000"}) {
    const CommandResult changed = As(bob_, "UPDATE \"Logon\" SET " + change + " WHERE \"ID\" = " + bobsOwn);
    EXPECT_NE(changed.output.find(kTableRefusal), std::string::npos) << change << ": " << changed.output;
  }
  for (const std::string& removal : {"DELETE FROM \"Logon\" WHERE \"ID\" = " + bobsOwn,
                                     std::string("DELETE FROM \"Logon\""), std::string("TRUNCATE \"Logon\"")}) {
    const CommandResult removed = As(bob_, removal);
    EXPECT_NE(removed.output.find(kTableRefusal), std::string::npos) << removal << ": " << removed.output;
  }
  EXPECT_NE(As(bob_, "ALTER TABLE \"Logon\" DROP COLUMN \"IP\"").output.find("must be owner of table Logon"),
            std::string::npos);
  EXPECT_NE(As(bob_, "ALTER TABLE \"Logon\" DISABLE ROW LEVEL SECURITY").output.find("must be owner of table Logon"),
            std::string::npos);

  const std::string after = Rows();
  EXPECT_EQ(after.substr(0, before.size()), before);
  EXPECT_EQ(after.size(), before.size() + (bobsOwn + "|" + bob_ + "|PC1|2026-12-11 08:00:00||logon\n").size());
}

TEST_F(JournalServerSchemaTest, AdministratorsChangeAndDeleteAndViewersOnlyRead) {
  const std::string alice = Id(Record(alice_, alice_));
  const std::string bob = Id(Record(bob_, bob_));

  EXPECT_EQ(As(viewer_, "SELECT count(*) FROM \"Logon\"").output, "2\n");
  EXPECT_NE(Record(viewer_, viewer_).output.find(kTableRefusal), std::string::npos);
  EXPECT_NE(Stamp(viewer_, alice).output.find(kTableRefusal), std::string::npos);
  EXPECT_NE(As(viewer_, "DELETE FROM \"Logon\"").output.find(kTableRefusal), std::string::npos);

  EXPECT_EQ(As(boss_, "SELECT count(*) FROM \"Logon\"").output, "2\n");
  EXPECT_EQ(As(boss_,
               "UPDATE \"Logon\" SET \"logontime\" = '2026-12-10 08:00:00', \"Username\" = 'someone' WHERE "
               "\"ID\" = " +
                   alice)
                .status,
            0);
  EXPECT_EQ(As(boss_, "DELETE FROM \"Logon\" WHERE \"ID\" = " + bob).status, 0);
  // The journal's upgrade button alters the table: the administrators own it.
  const CommandResult upgraded = As(boss_, "ALTER TABLE \"Logon\" ADD \"spare\" timestamp");
  EXPECT_EQ(upgraded.status, 0) << upgraded.output;
  EXPECT_EQ(Rows(), alice + "|someone|PC1|2026-12-10 08:00:00||logon\n");
}

// The refusals above are the row security's: without it the same attempts of a recorded user
// pass, with the column rights alone.
TEST_F(JournalServerSchemaTest, WithoutRowSecurityTheSameAttemptsWouldPass) {
  const std::string bob = Id(Record(bob_, bob_));
  ASSERT_EQ(Super(database_, "ALTER TABLE \"Logon\" DISABLE ROW LEVEL SECURITY").status, 0);
  EXPECT_EQ(Record(alice_, bob_).status, 0);
  EXPECT_EQ(As(alice_, "SELECT count(*) FROM \"Logon\"").output, "2\n");
  EXPECT_EQ(Stamp(alice_, bob).output, "1\n");
  EXPECT_EQ(Stamp(alice_, bob).output, "1\n");
}

}  // namespace
}  // namespace lumo
