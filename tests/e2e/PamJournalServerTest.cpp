// The real journal behind the session module, writing to the throwaway PostgreSQL cluster as
// app/README.md sets a server up: the journal and its INI file (type=ODBC) in a folder of
// root's, the schema loaded from the shipped file, a role per recorded account named as the
// account, and the account's password in its own ~/.pgpass. pamtester opens and closes the
// sessions; psql, as the superuser, reads back what was written.

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "tests/e2e/PamSessionTest.h"

#if !defined(LOGONJOURNAL_PATH) || !defined(SERVER_SCHEMA_PATH)
#error "LOGONJOURNAL_PATH and SERVER_SCHEMA_PATH name what is under test"
#endif

namespace lumo::e2e {
namespace {

class PamJournalServerTest : public PamSessionTest {
 protected:
  void SetUp() override {
    PamSessionTest::SetUp();
    if (HasFatalFailure()) return;
    const char* folder = std::getenv("LUMO_PG_CLUSTER");
    ASSERT_TRUE(folder != nullptr && *folder != '\0') << "no PostgreSQL test cluster (LUMO_PG_CLUSTER)";
    cluster_ = folder;
    std::map<std::string, std::string> values;
    for (const std::string& file : {cluster_ + "/cluster.env", cluster_ + "/odbcinst.ini"}) {
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
    port_ = values["PGPORT"];
    driver_ = values["Driver"];
    superuser_ = values["LUMO_PG_ADMIN"];
    std::ifstream(values["LUMO_PG_ADMIN_PASSFILE"]) >> superPassword_;
    ASSERT_FALSE(port_.empty() || driver_.empty() || superuser_.empty() || superPassword_.empty())
        << "the cluster's folder names no port, driver or superuser";

    database_ = "lumo_pamjournal_" + std::to_string(getpid());
    ASSERT_EQ(Super("postgres", "-c " + Quote("CREATE DATABASE " + database_)).status, 0);
    made_ = true;
    const CommandResult loaded = Super(database_, "-f " + Quote(SERVER_SCHEMA_PATH));
    ASSERT_EQ(loaded.status, 0) << loaded.output;

    const fs::path lib = folder_.Path() / "lib";
    fs::create_directory(lib);
    chmod(lib.c_str(), 0755);
    journal_ = lib / "logonjournal";
    fs::copy_file(LOGONJOURNAL_PATH, journal_);
    chmod(journal_.c_str(), 0755);
    // The driver by its path: the journal runs with a clean environment, so a data source of
    // the test's own odbc.ini would not be found, and /etc/odbc.ini is the machine's.
    std::ofstream(lib / "logonjournal.ini") << "[db]\ntype=ODBC\nmain=DRIVER=" << driver_ << ";Servername=" << cluster_
                                            << ";Port=" << port_ << ";Database=" << database_ << "\nlocktimeout=3\n";
  }
  void TearDown() override {
    if (!made_) return;
    Super("postgres", "-c " + Quote("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)"));
    for (const std::string& role : roles_) Super("postgres", "-c " + Quote("DROP ROLE IF EXISTS " + role));
  }

  CommandResult Super(const std::string& database, const std::string& arguments) const {
    return RunCommand("PGPASSWORD=" + Quote(superPassword_) + " psql -X -q -A -t -F '|' -v ON_ERROR_STOP=1 -h " +
                      Quote(cluster_) + " -p " + port_ + " -U " + superuser_ + " -d " + database + " " + arguments);
  }
  std::string Sql(const std::string& sql) const { return Super(database_, "-c " + Quote(sql)).output; }

  // The account's role, recording, with its password in the account's own ~/.pgpass.
  void MakeRecorder(const ScopedAccount& account) {
    const std::string password = account.Name() + "-pw";
    roles_.push_back(account.Name());
    ASSERT_EQ(
        Sql("CREATE ROLE " + account.Name() + " LOGIN PASSWORD '" + password + "' IN ROLE logonjournal_recorders"), "");
    const std::string pgpass = account.Home() + "/.pgpass";
    std::ofstream(pgpass) << cluster_ << ":" << port_ << ":" << database_ << ":" << account.Name() << ":" << password
                          << "\n";
    ASSERT_EQ(chown(pgpass.c_str(), account.Uid(), account.Gid()), 0);
    ASSERT_EQ(chmod(pgpass.c_str(), 0600), 0);
  }

  std::string cluster_, port_, driver_, superuser_, superPassword_, database_;
  std::vector<std::string> roles_;
  fs::path journal_;
  bool made_ = false;
};

TEST_F(PamJournalServerTest, SessionsAreRecordedAndStampedOnTheServerUnderTheUsersOwnLogin) {
  ScopedAccount user(AccountName("s"), false);
  ASSERT_TRUE(user.Created());
  MakeRecorder(user);
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal_));
  ASSERT_TRUE(service.Written());

  std::string log;
  CommandResult session = Pamtester(service, user.Name(), "open_session", &log);
  ASSERT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logon of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_EQ(Sql("SELECT \"Username\", \"Typ\", \"logofftime\" IS NULL FROM \"Logon\""), user.Name() + "|logon|t\n");

  session = Pamtester(service, user.Name(), "close_session", &log);
  ASSERT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logoff of " + user.Name() + " recorded after "), std::string::npos) << log;
  EXPECT_EQ(Sql("SELECT count(*) FROM \"Logon\" WHERE \"logofftime\" >= \"logontime\""), "1\n");
}

TEST_F(PamJournalServerTest, AUserWithoutALoginOnTheServerIsReportedAndNothingIsWritten) {
  ScopedAccount user(AccountName("n"), false);
  ASSERT_TRUE(user.Created());
  ScopedPamService service(ServiceName(), PermitAll() + ModuleLine(journal_));
  ASSERT_TRUE(service.Written());

  std::string log;
  const CommandResult session = Pamtester(service, user.Name(), "open_session", &log);
  EXPECT_EQ(session.status, 0) << session.output << log;
  EXPECT_NE(log.find("logon of " + user.Name() + " not recorded: the journal ended with status 1"), std::string::npos)
      << log;
  EXPECT_NE(log.find("cannot write the journal on ODBC;DRIVER="), std::string::npos) << log;
  EXPECT_EQ(Sql("SELECT count(*) FROM \"Logon\""), "0\n");
}

}  // namespace
}  // namespace lumo::e2e
