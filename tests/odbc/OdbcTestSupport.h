#pragma once
// The throwaway PostgreSQL cluster the ODBC tests run against, as scripts/pg-cluster made it
// (CTest starts it before the first ODBC test and stops it after the last): its connect text,
// and the real psql client as a reader and writer independent of the engine.
//
// LUMO_PG_CLUSTER names the cluster's folder; its cluster.env holds the socket folder, port,
// role, password and the ODBC configuration, which Cluster() exports (ODBCSYSINI, ODBCINI) so
// that the driver manager finds the test's data source and driver. A missing cluster fails
// the test: these tests never skip.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "tests/support/TestSupport.h"

namespace lumo::jet::testing {

struct PgCluster {
  std::string folder;
  std::string dsn;
  std::string user;
  std::string password;
  std::string port;
  std::string database;

  // "ODBC;DSN=...;UID=...;PWD=...;" as a DAO program writes it.
  std::string Connect() const { return "ODBC;DSN=" + dsn + ";UID=" + user + ";PWD=" + password + ";"; }
};

// The cluster, or a fatal test failure naming what is missing.
inline const PgCluster& Cluster() {
  static const PgCluster cluster = [] {
    PgCluster result;
    const char* folder = std::getenv("LUMO_PG_CLUSTER");
    if (folder == nullptr || *folder == '\0') return result;
    std::ifstream in(std::string(folder) + "/cluster.env");
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
      const size_t equals = line.find('=');
      if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (values.empty()) return result;
    result.folder = folder;
    result.dsn = values["LUMO_ODBC_DSN"];
    result.user = values["PGUSER"];
    result.password = values["PGPASSWORD"];
    result.port = values["PGPORT"];
    result.database = values["PGDATABASE"];
    setenv("ODBCSYSINI", values["ODBCSYSINI"].c_str(), 1);
    setenv("ODBCINI", values["ODBCINI"].c_str(), 1);
    return result;
  }();
  return cluster;
}

// Fails the calling test when there is no cluster (run the tests through ctest, or inside
// `scripts/pg-cluster run DIR -- ...` with LUMO_PG_CLUSTER=DIR).
#define LUMO_REQUIRE_CLUSTER()                                 \
  ASSERT_FALSE(::lumo::jet::testing::Cluster().folder.empty()) \
      << "no PostgreSQL test cluster: LUMO_PG_CLUSTER must name a folder made by scripts/pg-cluster start"

// Runs SQL through psql as the test role: a line per row, values separated by "|", errors
// on standard error (left out) and a failing statement making status non-zero.
inline ::lumo::testing::CommandResult Psql(const std::string& sql) {
  const PgCluster& cluster = Cluster();
  const std::string command = "PGPASSWORD=" + ::lumo::testing::ShellQuoted(cluster.password) +
                              " psql -X -q -A -t -F '|' -v ON_ERROR_STOP=1 -h " +
                              ::lumo::testing::ShellQuoted(cluster.folder) + " -p " + cluster.port + " -U " +
                              cluster.user + " -d " + cluster.database + " -c " + ::lumo::testing::ShellQuoted(sql);
  return ::lumo::testing::RunCommand(command);
}

// A table name of the running test's own, so that tests running side by side on the one
// cluster never meet ("odbc_" and the test's name in lower case), short enough that a suffix
// and an index name after it stay within the server's 63 bytes (which it would cut silently).
inline std::string TestTable(const std::string& suffix = {}) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "odbc_" + std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) c = '_';
  }
  return name.substr(0, 40) + suffix;
}

}  // namespace lumo::jet::testing
