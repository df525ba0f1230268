// Fuzz target for the Jet SQL translator and the functions its output calls.
//
// Build and run (clang from Debian; libFuzzer comes with libclang-rt-14-dev):
//   cmake -S . -B build-fuzz -DLUMO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target JetSqlFuzz -j2
//   mkdir -p /tmp/jetsql-corpus && cd build-fuzz
//   tests/JetSqlFuzz /tmp/jetsql-corpus ../tests/fuzz/seeds -dict=../tests/fuzz/JetSql.dict \
//       -artifact_prefix=/tmp/ -jobs=1 -max_total_time=600
// (with -jobs the run's log goes to fuzz-0.log in the current folder)
//
// The first byte of an input chooses the entry point: a statement (a crosstab with and without
// the values of its first query), a Filter/Find criterion,
// a Sort text, a Like match, a #date# text or a declared column type. Whatever the
// translator returns is prepared and run on a small in-memory database with the functions
// registered, inside a transaction that is rolled back. Besides crashes, hangs and sanitizer
// findings, the target stops on SQL that SQLite cannot parse: translated text must always be
// valid SQLite, even where it names tables, columns or functions that do not exist.

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "jet/DaoErrors.h"
#include "jet/JetTypes.h"
#include "jet/sql/JetLike.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
#include "jet/sql/JetDateText.h"
#include "jet/sql/JetSqlTokenizer.h"
#include "jet/sql/JetSqlTranslator.h"
#include "runtime/Exceptions.h"

namespace {

using namespace lumo::jet;

sqlite3* Database() {
  static sqlite3* db = [] {
    sqlite3* handle = nullptr;
    sqlite3_open(":memory:", &handle);
    RegisterJetFunctions(handle);
    RegisterIdentityFunction(handle, std::make_shared<int64_t>(0));
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, 1000000);
    sqlite3_exec(handle,
                 "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a VARCHAR(50) COLLATE NOCASE, b DOUBLE, "
                 "c DATETIME, d BOOLEAN, e TEXT COLLATE NOCASE);"
                 "INSERT INTO t (a, b, c, d, e) VALUES ('Abc', 1.5, '2026-12-08 09:05:07.000', -1, 'x'), "
                 "('abd', NULL, NULL, 0, NULL), (NULL, -3, '1899-12-30 10:00:00.000', -1, 'Yes');"
                 "CREATE TABLE u (id INTEGER PRIMARY KEY, a VARCHAR(50) COLLATE NOCASE, t_id INTEGER);"
                 "INSERT INTO u (a, t_id) VALUES ('abc', 1), ('q', 2);",
                 nullptr, nullptr, nullptr);
    return handle;
  }();
  return db;
}

// The tables of Database() as the engine's catalogue would describe them, so that the typed
// paths of the translator (computed column types, Currency, foreign text and dates) are
// fuzzed as well; every other input runs without a schema.
class FuzzSchema : public JetSqlSchema {
 public:
  const std::vector<SchemaColumn>* Columns(std::string_view table) override {
    if (table.size() != 1) return nullptr;
    if (table[0] == 't' || table[0] == 'T') return &t_;
    if (table[0] == 'u' || table[0] == 'U') return &u_;
    return nullptr;
  }

 private:
  static JetFieldType Type(int type) { return DefaultFieldType(type); }
  std::vector<SchemaColumn> t_ = {{"id", Type(dbLong), true},    {"a", Type(dbText), true},
                                  {"b", Type(dbCurrency), true}, {"c", Type(dbDate), true},
                                  {"d", Type(dbBoolean), true},  {"e", Type(dbMemo), false}};
  std::vector<SchemaColumn> u_ = {{"id", Type(dbLong), true}, {"a", Type(dbText), false}, {"t_id", Type(dbLong), true}};
};

FuzzSchema& Schema() {
  static FuzzSchema schema;
  return schema;
}

// Stops runaway statements (cross joins of cross joins) after a bounded amount of work.
int Progress(void* counter) { return ++*static_cast<int*>(counter) > 200; }

// SQLite's parser complaints, told apart from messages that merely quote such words in a name.
bool IsSyntaxComplaint(const char* message) {
  const std::string_view text(message);
  const std::string_view syntax = ": syntax error";
  return (text.substr(0, 6) == "near \"" && text.size() > syntax.size() &&
          text.substr(text.size() - syntax.size()) == syntax) ||
         text.substr(0, 20) == "unrecognized token: " || text == "incomplete input";
}

void Run(const std::string& sql) {
  sqlite3* db = Database();
  sqlite3_exec(db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
  int counter = 0;
  sqlite3_progress_handler(db, 1000, Progress, &counter);
  const char* tail = sql.c_str();
  while (tail != nullptr && *tail != '\0') {
    sqlite3_stmt* statement = nullptr;
    const char* next = nullptr;
    int rc = sqlite3_prepare_v2(db, tail, -1, &statement, &next);
    if (rc != SQLITE_OK) {
      const char* message = sqlite3_errmsg(db);
      if (IsSyntaxComplaint(message)) {
        std::fprintf(stderr, "translated SQL does not parse: %s\n%s\n", message, sql.c_str());
        std::abort();
      }
      break;
    }
    if (statement == nullptr) break;
    for (int i = 1; i <= sqlite3_bind_parameter_count(statement); ++i) sqlite3_bind_int(statement, i, i);
    int steps = 0;
    while (sqlite3_step(statement) == SQLITE_ROW && ++steps < 50) {
      for (int column = 0; column < sqlite3_column_count(statement); ++column) sqlite3_column_text(statement, column);
    }
    sqlite3_finalize(statement);
    tail = next;
  }
  sqlite3_progress_handler(db, 0, nullptr, nullptr);
  sqlite3_exec(db, "ROLLBACK TO fuzz; RELEASE fuzz", nullptr, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 6;
  JetSqlSchema* schema = (data[0] / 6) % 2 == 1 ? &Schema() : nullptr;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    switch (mode) {
      case 0: {
        TranslateOptions options;
        options.knownParameters = {"p", "Which user"};
        options.schema = schema;
        TranslatedStatement result = TranslateStatement(text, options);
        Run(result.sql);
        if (result.pivotQuery) {
          // A crosstab: its first query, then the crosstab over headings of every kind.
          Run(result.pivotQuery->sql);
          std::vector<PivotValue> values(5);
          values[1].kind = PivotValue::Kind::kInteger;
          values[1].integer = -7;
          values[2].kind = PivotValue::Kind::kReal;
          values[2].real = 2.5;
          values[3].kind = PivotValue::Kind::kText;
          values[3].text = "a'b\"c";
          values[4].kind = PivotValue::Kind::kText;
          values[4].text = "2026-12-08 09:05:07.000";
          options.pivotValues = &values;
          Run(TranslateStatement(text, options).sql);
        }
        break;
      }
      case 1: {
        TranslateOptions options;
        options.schema = schema;
        options.criteriaTable = "t";
        TranslatedExpression result = TranslateExpression(text, options);
        Run("SELECT * FROM t WHERE " + result.sql);
        Run("SELECT " + result.sql + " FROM t");
        break;
      }
      case 2: {
        TranslateOptions options;
        options.schema = schema;
        options.criteriaTable = "t";
        TranslatedExpression result = TranslateOrderBy(text, options);
        Run("SELECT * FROM t ORDER BY " + result.sql);
        break;
      }
      case 3: {
        const size_t split = text.find('\n');
        if (split != std::string::npos) JetLike(text.substr(0, split), text.substr(split + 1));
        break;
      }
      case 4:
        ParseJetDateText(text);
        ParseStorageDate(text);
        NormalizeGuidText(text);
        break;
      case 5:
        MapDeclaredType(text, false);
        JetDdlType(text, {}, {});
        break;
    }
  } catch (const lumo::EOleException&) {
    // DAO errors are the expected answer to bad input.
  }
  return 0;
}
