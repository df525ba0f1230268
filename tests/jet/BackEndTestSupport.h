#pragma once
// The storage back-ends the engine's back-end-neutral suites (recordsets, editing, table
// definitions) run against. A suite written as TEST_P over OnEachBackEnd<Fixture> runs once per
// entry of BackEnds(); a back-end that joins the engine joins the list and inherits every such
// test. Tests that look at what only one back-end has (the file's own schema tables, SQLite's
// functions in an outside reader's SQL, tables WITHOUT ROWID) stay plain TEST_F on that
// back-end. An executable built with LUMO_TEST_ON_SERVER (linked with the ODBC back-end) runs
// them on the throwaway PostgreSQL cluster as well.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "tests/jet/EngineTestSupport.h"
#ifdef LUMO_TEST_ON_SERVER
#include "jet/odbc/OdbcBackEnd.h"
#include "tests/odbc/OdbcTestSupport.h"
#endif

namespace lumo::jet::testing {

struct BackEndCase {
  std::string name;
  // Where a test's database lives, given the test's temporary folder and a name.
  std::function<std::string(const std::filesystem::path& folder, const std::string& name)> locate;
  // A new, empty database there.
  std::function<std::shared_ptr<Database>(DBEngine& engine, const std::string& where)> create;
  // The database opened again (by another engine: another process's session).
  std::function<std::shared_ptr<Database>(DBEngine& engine, const std::string& where)> open;
  // Runs SQL on the database outside the engine, as another program would (the back-end's own
  // client), and answers its output: a line per row, values separated by "|". The SQL used
  // through it is plain SQL every back-end's client takes.
  std::function<std::string(const std::string& where, const std::string& sql)> outside;

  // What DAO lets a back-end do differently. Jet's own databases have table-type recordsets
  // (Seek, Index, a live RecordCount) and the engine's MSys tables; an ODBC source has neither:
  // its tables open as dynasets, and the catalogue is the server's.
  bool tableRecordsets = true;
  bool systemTables = true;
  // A server folds the names of what the engine made to lower case (as its clients write them
  // without quotes); the file keeps Jet's spelling.
  bool foldsNames = false;
  // The file locks itself whole for a writer; a server locks the rows written.
  bool rowLocks = false;
  // Index flags Jet keeps beyond what an index is (IgnoreNulls) live in the file; a server has
  // its indexes only.
  bool indexFlags = true;
  // After MoveLast the file's dynaset has read its list from both ends, leaving the middle to
  // be read when reached (rows deleted there by then never show); a server's list is read
  // whole, so such rows stay in it as deleted ones, as in every dynaset whose keys were read.
  bool unreadMiddle = true;

  // `name` as the back-end lists a table the engine made under it.
  std::string Listed(std::string name) const {
    if (foldsNames) {
      for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return name;
  }
};

// The file back-end: an SQLite file in the test's folder, the stock sqlite3 shell outside.
inline BackEndCase FileBackEnd() {
  return {
      "SQLite",
      [](const std::filesystem::path& folder, const std::string& name) { return (folder / (name + ".mdb")).string(); },
      [](DBEngine& engine, const std::string& where) {
        return engine.CreateDatabase(where, dbLangGeneral, dbVersion40);
      },
      [](DBEngine& engine, const std::string& where) { return engine.OpenDatabase(where); },
      [](const std::string& where, const std::string& sql) { return StockShell(where, sql); },
  };
}

#ifdef LUMO_TEST_ON_SERVER
// The schema a server database of the running test lives in: the test's own, so that a test
// never meets what another left behind ("t_", the test's name in lower case, the database's
// name; cut to the server's 63 bytes with a hash of the whole, which the server would cut
// silently).
inline std::string ServerSchemaOf(const std::string& name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string schema = std::string("t_") + info->test_suite_name() + "_" + info->name() + "_" + name;
  for (char& c : schema) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) c = '_';
  }
  if (schema.size() > 63) {
    const std::string hash = std::to_string(std::hash<std::string>{}(schema) % 100000000);
    schema = schema.substr(0, 62 - hash.size()) + "_" + hash;
  }
  return schema;
}

// The schema named in a connect text that ServerBackEnd's locate made.
inline std::string SchemaInConnect(const std::string& where) {
  const std::string marker = "search_path TO ";
  const size_t at = where.find(marker);
  if (at == std::string::npos) return {};
  const size_t start = at + marker.size();
  return where.substr(start, where.find_first_of(";}", start) - start);
}

// psql on the test's schema: a line per row, values separated by "|", messages included.
inline std::string ServerClient(const std::string& schema, const std::string& sql) {
  const PgCluster& cluster = Cluster();
  const std::string command = "printf '%s\\n' " + ::lumo::testing::ShellQuoted(sql) +
                              " | PGOPTIONS='-c client_min_messages=warning -c search_path=" + schema +
                              "' PGPASSWORD=" + ::lumo::testing::ShellQuoted(cluster.password) +
                              " psql -X -q -A -t -F '|' -h " + ::lumo::testing::ShellQuoted(cluster.folder) + " -p " +
                              cluster.port + " -U " + cluster.user + " -d " + cluster.database + " 2>&1";
  return ::lumo::testing::RunCommand(command).output;
}

// The ODBC back-end: a schema of the test's own on the throwaway PostgreSQL cluster, reached
// through the test data source with the schema as the session's search path; psql outside.
inline BackEndCase ServerBackEnd() {
  BackEndCase server{
      "ODBC",
      [](const std::filesystem::path&, const std::string& name) {
        return Cluster().Connect() + "ConnSettings=SET search_path TO " + ServerSchemaOf(name) + ";";
      },
      [](DBEngine& engine, const std::string& where) {
        if (Cluster().folder.empty()) {
          ADD_FAILURE() << "no PostgreSQL test cluster: LUMO_PG_CLUSTER must name a folder made by scripts/pg-cluster";
        }
        odbc::RegisterOdbcBackEnd();
        const std::string schema = SchemaInConnect(where);
        const std::string made =
            ServerClient("public", "DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema + ";");
        if (!made.empty()) ADD_FAILURE() << "the test's schema " << schema << " could not be made: " << made;
        return engine.OpenDatabase("", Variant(1), false, where);
      },
      [](DBEngine& engine, const std::string& where) {
        odbc::RegisterOdbcBackEnd();
        return engine.OpenDatabase("", Variant(1), false, where);
      },
      [](const std::string& where, const std::string& sql) { return ServerClient(SchemaInConnect(where), sql); },
  };
  server.tableRecordsets = false;
  server.systemTables = false;
  server.foldsNames = true;
  server.rowLocks = true;
  server.indexFlags = false;
  server.unreadMiddle = false;
  return server;
}
#endif

inline std::vector<BackEndCase> BackEnds() {
#ifdef LUMO_TEST_ON_SERVER
  return {FileBackEnd(), ServerBackEnd()};
#else
  return {FileBackEnd()};
#endif
}

inline std::string BackEndName(const ::testing::TestParamInfo<BackEndCase>& info) { return info.param.name; }
// A failing test names its back-end, not the bytes of the case.
inline void PrintTo(const BackEndCase& backEnd, std::ostream* out) { *out << backEnd.name; }

// A fixture whose virtual BackEnd() says which back-end it runs on, made into a value-
// parameterised one.
template <class Fixture>
class OnEachBackEnd : public Fixture, public ::testing::WithParamInterface<BackEndCase> {
 protected:
  const BackEndCase& BackEnd() const override { return GetParam(); }
};

}  // namespace lumo::jet::testing

// Runs a suite written with TEST_P on every back-end of BackEnds().
#define LUMO_ON_EACH_BACK_END(Suite)                                                               \
  INSTANTIATE_TEST_SUITE_P(BackEnds, Suite, ::testing::ValuesIn(::lumo::jet::testing::BackEnds()), \
                           ::lumo::jet::testing::BackEndName)
