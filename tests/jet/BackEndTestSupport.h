#pragma once
// The storage back-ends the engine's back-end-neutral suites (recordsets, editing, table
// definitions) run against. A suite written as TEST_P over OnEachBackEnd<Fixture> runs once per
// entry of BackEnds(); a back-end that joins the engine joins the list and inherits every such
// test. Tests that look at what only one back-end has (the file's own schema tables, SQLite's
// functions in an outside reader's SQL, tables WITHOUT ROWID) stay plain TEST_F on that
// back-end.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "tests/jet/EngineTestSupport.h"

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

inline std::vector<BackEndCase> BackEnds() { return {FileBackEnd()}; }

inline std::string BackEndName(const ::testing::TestParamInfo<BackEndCase>& info) { return info.param.name; }

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
