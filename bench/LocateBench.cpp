// Locate and LookupValues of the dataset component against raw SQLite on the journal's Logon
// table, with its index on logontime.
//
// The file is made once per run in a temporary folder with raw SQLite: Logon with 1,000,000
// rows and LogonSmall with 1,000, shaped like the journal's table, stored as the engine stores
// them, each with the index on logontime. Every benchmark looks up the same cycle of 64 rows
// spread over the table (a different row each iteration, so no answer comes from the last one):
//
//   RawIndexedSelect     the baseline: SELECT * ... WHERE logontime = ? prepared once, bound,
//                        stepped, every column read; /0 prepares the statement every time
//   TableLocate          Locate on logontime of a standard table (TableType 1, IndexName
//                        logontime): a seek on a clone, the dataset moved to the bookmark
//   DynasetLocate        Locate on logontime of a dynaset: a criteria search on a clone, the
//                        dataset moved to the bookmark and numbered
//   DynasetLookup        LookupValues on logontime of a dynaset, reading Computer
//   DynasetLocateCold    open a dynaset, Locate a row in the last quarter of the table, close:
//                        what the first search after an open costs, key list included
//
// Each runs at 1,000 and 1,000,000 rows; the ratio of the two says how a search grows with
// the table. The located record is checked every iteration (its Computer names its row).
//
// Run: LocateBench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "jet/DaoConstants.h"
#include "jet/JetTypes.h"
#include "runtime/Variant.h"

namespace {

using namespace lumo;

constexpr int kLargeRows = 1000000;
constexpr int kSmallRows = 1000;
constexpr int kColumns = 8;
constexpr int kTargets = 64;
constexpr const char* kColumnList =
    "ID INTEGER PRIMARY KEY AUTOINCREMENT, Username VARCHAR(50) COLLATE NOCASE, "
    "Computer VARCHAR(20) COLLATE NOCASE, logontime DATETIME, logofftime DATETIME, "
    "IP VARCHAR(20) COLLATE NOCASE, Betriebssystem VARCHAR(50) COLLATE NOCASE, "
    "Typ VARCHAR(10) COLLATE NOCASE";

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(sqlite3_errmsg(db));
  }
}

void Exec(sqlite3* db, const std::string& sql) { Check(db, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr)); }

sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  Check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr));
  return statement;
}

// One logon a minute: every row has a logontime of its own.
double LogonTime(int row) { return 46000.0 + row / 1440.0; }

void BindRow(sqlite3_stmt* insert, int row) {
  const std::string user = "user" + std::to_string(row % 500);
  const std::string computer = "PC" + std::to_string(row);
  const std::string logon = jet::FormatStorageDate(LogonTime(row));
  const std::string ip = "10.0." + std::to_string(row / 256 % 256) + "." + std::to_string(row % 256);
  sqlite3_bind_text(insert, 1, user.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 2, computer.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 3, logon.c_str(), -1, SQLITE_TRANSIENT);
  if (row % 4 == 0) {
    sqlite3_bind_null(insert, 4);
  } else {
    const std::string logoff = jet::FormatStorageDate(LogonTime(row) + 0.3);
    sqlite3_bind_text(insert, 4, logoff.c_str(), -1, SQLITE_TRANSIENT);
  }
  sqlite3_bind_text(insert, 5, ip.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 6, "Microsoft Windows 10 Enterprise", -1, SQLITE_STATIC);
  sqlite3_bind_text(insert, 7, "logon", -1, SQLITE_STATIC);
}

class Fixture {
 public:
  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }
  sqlite3* Raw() const { return raw_; }
  TLumoDaoDatabase& Database() const { return *database_; }

  ~Fixture() {
    database_.reset();
    sqlite3_close(raw_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  Fixture() {
    char pattern[] = "/tmp/lumo-locatebench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    const std::string path = folder_ + "/journal.mdb";
    Check(raw_, sqlite3_open(path.c_str(), &raw_));
    Exec(raw_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
    Exec(raw_, "BEGIN");
    for (const auto& [table, rows] : {std::pair{"Logon", kLargeRows}, std::pair{"LogonSmall", kSmallRows}}) {
      Exec(raw_, std::string("CREATE TABLE ") + table + " (" + kColumnList + ")");
      sqlite3_stmt* insert = Prepare(raw_, std::string("INSERT INTO ") + table +
                                               " (Username, Computer, logontime, logofftime, IP, "
                                               "Betriebssystem, Typ) VALUES (?, ?, ?, ?, ?, ?, ?)");
      for (int row = 1; row <= rows; ++row) {
        BindRow(insert, row);
        Check(raw_, sqlite3_step(insert));
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
      // The engine's naming of an index: table, ".", the index's own name.
      Exec(raw_, std::string("CREATE INDEX \"") + table + ".logontime\" ON " + table + " (logontime)");
    }
    Exec(raw_, "COMMIT");
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_Database(path);
    database_->Open();
  }

  std::string folder_;
  sqlite3* raw_ = nullptr;
  std::unique_ptr<TLumoDaoDatabase> database_;
};

int RowsOf(const benchmark::State& state) { return static_cast<int>(state.range(0)); }
const char* TableFor(const benchmark::State& state) { return RowsOf(state) == kLargeRows ? "Logon" : "LogonSmall"; }

// The rows looked up, spread over the table, in an order that jumps back and forth.
std::vector<int> Targets(int rows) {
  std::vector<int> targets;
  for (int i = 0; i < kTargets; ++i) {
    const int slot = (i * 37) % kTargets;  // 37 is prime to 64: every slot once
    targets.push_back(1 + static_cast<int>(static_cast<int64_t>(slot) * (rows - 1) / (kTargets - 1)));
  }
  return targets;
}

std::unique_ptr<TLumoDaoTable> MakeDataset(const benchmark::State& state, int32_t tableType) {
  auto dataset = std::make_unique<TLumoDaoTable>(nullptr);
  dataset->SetName("Logon");
  dataset->F_Set_Database(&Fixture::Get().Database());
  dataset->F_Set_TableName(TableFor(state));
  dataset->F_Set_TableType(tableType);
  return dataset;
}

void ExpectComputer(benchmark::State& state, const std::string& computer, int row) {
  if (computer != "PC" + std::to_string(row)) state.SkipWithError(("wrong record " + computer).c_str());
}

// --- the baseline

void BM_RawIndexedSelect(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  const bool preparedOnce = state.range(1) == 1;
  const std::string sql = std::string("SELECT * FROM ") + TableFor(state) + " WHERE logontime = ?";
  const std::vector<int> targets = Targets(RowsOf(state));
  sqlite3_stmt* statement = preparedOnce ? Prepare(db, sql) : nullptr;
  size_t next = 0;
  for (auto _ : state) {
    const int row = targets[next++ % targets.size()];
    if (!preparedOnce) statement = Prepare(db, sql);
    const std::string key = jet::FormatStorageDate(LogonTime(row));
    sqlite3_bind_text(statement, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(statement) != SQLITE_ROW) state.SkipWithError("row not found");
    std::string computer;
    for (int column = 0; column < kColumns; ++column) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      if (column == 2 && text != nullptr) computer = text;
      benchmark::DoNotOptimize(text);
    }
    ExpectComputer(state, computer, row);
    if (preparedOnce) {
      sqlite3_reset(statement);
    } else {
      sqlite3_finalize(statement);
    }
  }
  if (preparedOnce) sqlite3_finalize(statement);
}
BENCHMARK(BM_RawIndexedSelect)->ArgsProduct({{kSmallRows, kLargeRows}, {1, 0}})->Unit(benchmark::kMicrosecond);

// --- Locate

// state.range(1): the TableType, 1 standard table (seek) or 2 dynaset (criteria on a clone).
void BM_Locate(benchmark::State& state) {
  const int32_t tableType = static_cast<int32_t>(state.range(1));
  auto dataset = MakeDataset(state, tableType);
  dataset->Open();
  if (tableType == jet::dbOpenTable) dataset->F_Set_IndexName("logontime");
  TField* computer = dataset->FieldByName("Computer");
  const std::vector<int> targets = Targets(RowsOf(state));
  size_t next = 0;
  for (auto _ : state) {
    const int row = targets[next++ % targets.size()];
    if (!dataset->Locate("logontime", Variant::FromDate(LogonTime(row)), {})) {
      state.SkipWithError("not located");
      break;
    }
    ExpectComputer(state, computer->AsString(), row);
  }
  dataset->Close();
}
BENCHMARK(BM_Locate)->ArgsProduct({{kSmallRows, kLargeRows}, {1, 2}})->Unit(benchmark::kMicrosecond);

// --- LookupValues on a dynaset

void BM_DynasetLookup(benchmark::State& state) {
  auto dataset = MakeDataset(state, jet::dbOpenDynaset);
  dataset->Open();
  const std::vector<int> targets = Targets(RowsOf(state));
  size_t next = 0;
  for (auto _ : state) {
    const int row = targets[next++ % targets.size()];
    const Variant value = dataset->LookupValues("logontime", Variant::FromDate(LogonTime(row)), "Computer");
    if (value.Type() != VarType::kString) {
      state.SkipWithError("not found");
      break;
    }
    ExpectComputer(state, value.AsString(), row);
  }
  dataset->Close();
}
BENCHMARK(BM_DynasetLookup)->Arg(kSmallRows)->Arg(kLargeRows)->Unit(benchmark::kMicrosecond);

// --- the first search after an open

void BM_DynasetLocateCold(benchmark::State& state) {
  auto dataset = MakeDataset(state, jet::dbOpenDynaset);
  const int rows = RowsOf(state);
  const int row = rows - rows / 5;
  for (auto _ : state) {
    dataset->Open();
    if (!dataset->Locate("logontime", Variant::FromDate(LogonTime(row)), {})) {
      state.SkipWithError("not located");
      break;
    }
    ExpectComputer(state, dataset->FieldByName("Computer")->AsString(), row);
    dataset->Close();
  }
}
BENCHMARK(BM_DynasetLocateCold)->Arg(kSmallRows)->Arg(kLargeRows)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
