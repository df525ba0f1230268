// Recordsets against raw SQLite on the journal's Logon table.
//
// The file is made once per run in a temporary folder with raw SQLite: Logon with 1,000,000
// rows (a unique index on Computer), LogonSmall with 1,000 and an empty LogonIns for the
// inserts, all shaped like the journal's table and stored as the engine stores them. Each
// engine benchmark has a raw baseline beside it, run in the same process on the same file:
//
//   OpenFirst       open a dynaset and read the first record       (1,000 vs 1,000,000 rows)
//   Scan            every field of every row: forward-only and dynaset vs a step loop
//   MoveLastCount   MoveLast + RecordCount on a dynaset vs reading every row id
//   Seek            Seek "=" on the indexed key vs a prepared indexed look-up
//   Insert          AddNew + six values + Update vs a prepared insert, each in its own
//                   transaction
//
// A scan of a million rows is long and a shared machine makes single runs jitter, so the
// scans run three times whatever the minimum time says.
//
// Run: RecordsetBench --benchmark_min_time=0.2

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"

namespace {

using lumo::Variant;
using namespace lumo::jet;

constexpr int kLargeRows = 1000000;
constexpr int kSmallRows = 1000;
constexpr int kColumns = 8;
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

std::string ComputerOf(int row) { return "PC" + std::to_string(row); }

void BindRow(sqlite3_stmt* insert, int row) {
  const std::string user = "user" + std::to_string(row % 500);
  const std::string computer = ComputerOf(row);
  const std::string logon = FormatStorageDate(46000.0 + row / 1440.0);
  const std::string ip = "10.0." + std::to_string(row / 256 % 256) + "." + std::to_string(row % 256);
  sqlite3_bind_text(insert, 1, user.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 2, computer.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 3, logon.c_str(), -1, SQLITE_TRANSIENT);
  if (row % 4 == 0) {
    sqlite3_bind_null(insert, 4);
  } else {
    const std::string logoff = FormatStorageDate(46000.0 + row / 1440.0 + 0.3);
    sqlite3_bind_text(insert, 4, logoff.c_str(), -1, SQLITE_TRANSIENT);
  }
  sqlite3_bind_text(insert, 5, ip.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 6, "Microsoft Windows 10 Enterprise", -1, SQLITE_STATIC);
  sqlite3_bind_text(insert, 7, "logon", -1, SQLITE_STATIC);
}

constexpr const char* kInsertColumns =
    "(Username, Computer, logontime, logofftime, IP, Betriebssystem, Typ) VALUES (?, ?, ?, ?, ?, ?, ?)";

// The file, the raw connection beside the engine's, and the engine's database.
class Fixture {
 public:
  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }
  sqlite3* Raw() const { return raw_; }
  Database& Engine() const { return *database_; }

  ~Fixture() {
    database_.reset();
    sqlite3_close(raw_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  Fixture() {
    char pattern[] = "/tmp/lumo-bench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    path_ = folder_ + "/journal.mdb";
    Check(raw_, sqlite3_open(path_.c_str(), &raw_));
    // As the engine makes its files.
    Exec(raw_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
    for (const char* table : {"Logon", "LogonSmall", "LogonIns"}) {
      Exec(raw_, std::string("CREATE TABLE ") + table + " (" + kColumnList + ")");
    }
    Exec(raw_, "CREATE UNIQUE INDEX \"Logon.Computer\" ON Logon (Computer)");
    Exec(raw_, "BEGIN");
    for (const auto& [table, rows] : {std::pair{"Logon", kLargeRows}, std::pair{"LogonSmall", kSmallRows}}) {
      sqlite3_stmt* insert = Prepare(raw_, std::string("INSERT INTO ") + table + " " + kInsertColumns);
      for (int row = 1; row <= rows; ++row) {
        BindRow(insert, row);
        Check(raw_, sqlite3_step(insert));
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
    }
    Exec(raw_, "COMMIT");
    database_ = engine_.OpenDatabase(path_);
  }

  std::string folder_;
  std::string path_;
  sqlite3* raw_ = nullptr;
  DBEngine engine_{"3.6"};
  std::shared_ptr<Database> database_;
};

const char* TableFor(const benchmark::State& state) { return state.range(0) == kLargeRows ? "Logon" : "LogonSmall"; }

// Reads every column of the current row the way a raw program would.
void ReadRawRow(sqlite3_stmt* statement) {
  benchmark::DoNotOptimize(sqlite3_column_int64(statement, 0));
  for (int column = 1; column < kColumns; ++column) {
    benchmark::DoNotOptimize(sqlite3_column_text(statement, column));
    benchmark::DoNotOptimize(sqlite3_column_bytes(statement, column));
  }
}

std::vector<std::shared_ptr<Field>> FieldsOf(Recordset& recordset) {
  std::vector<std::shared_ptr<Field>> fields;
  for (int i = 0; i < recordset.Fields().Count(); ++i) fields.push_back(recordset.Fields().Item(i));
  return fields;
}

void ReadFields(const std::vector<std::shared_ptr<Field>>& fields) {
  for (const auto& field : fields) {
    Variant value = field->Value();
    benchmark::DoNotOptimize(value);
  }
}

// --- Opening and reading the first record.

void BM_RawOpenFirst(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  const std::string sql = std::string("SELECT * FROM ") + TableFor(state);
  for (auto _ : state) {
    sqlite3_stmt* statement = Prepare(db, sql);
    Check(db, sqlite3_step(statement));
    ReadRawRow(statement);
    sqlite3_finalize(statement);
  }
}
BENCHMARK(BM_RawOpenFirst)->Arg(kSmallRows)->Arg(kLargeRows);

void BM_DynasetOpenFirst(benchmark::State& state) {
  Database& database = Fixture::Get().Engine();
  const std::string table = TableFor(state);
  for (auto _ : state) {
    auto recordset = database.OpenRecordset(table, dbOpenDynaset);
    ReadFields(FieldsOf(*recordset));
    recordset->Close();
  }
}
BENCHMARK(BM_DynasetOpenFirst)->Arg(kSmallRows)->Arg(kLargeRows);

// --- Scans of every field of every row.

void BM_RawScan(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* statement = Prepare(db, "SELECT * FROM Logon");
  int64_t rows = 0;
  for (auto _ : state) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      ReadRawRow(statement);
      ++rows;
    }
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_RawScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void Scan(benchmark::State& state, int type) {
  Database& database = Fixture::Get().Engine();
  int64_t rows = 0;
  for (auto _ : state) {
    auto recordset = database.OpenRecordset("Logon", type);
    const auto fields = FieldsOf(*recordset);
    for (; !recordset->IsEOF(); recordset->MoveNext()) {
      ReadFields(fields);
      ++rows;
    }
    recordset->Close();
  }
  state.SetItemsProcessed(rows);
}

void BM_ForwardOnlyScan(benchmark::State& state) { Scan(state, dbOpenForwardOnly); }
BENCHMARK(BM_ForwardOnlyScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DynasetScan(benchmark::State& state) { Scan(state, dbOpenDynaset); }
BENCHMARK(BM_DynasetScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- MoveLast and RecordCount.

void BM_RawReadRowIds(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* statement = Prepare(db, "SELECT rowid FROM Logon");
  for (auto _ : state) {
    int64_t count = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int64(statement, 0));
      ++count;
    }
    sqlite3_reset(statement);
    if (count != kLargeRows) state.SkipWithError("wrong count");
  }
  sqlite3_finalize(statement);
}
BENCHMARK(BM_RawReadRowIds)->Unit(benchmark::kMillisecond);

void BM_DynasetMoveLastCount(benchmark::State& state) {
  Database& database = Fixture::Get().Engine();
  for (auto _ : state) {
    auto recordset = database.OpenRecordset("Logon", dbOpenDynaset);
    recordset->MoveLast();
    if (recordset->RecordCount() != kLargeRows) state.SkipWithError("wrong count");
    recordset->Close();
  }
}
BENCHMARK(BM_DynasetMoveLastCount)->Unit(benchmark::kMillisecond);

// --- Indexed look-ups.

std::vector<std::string> RandomComputers() {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> row(1, kLargeRows);
  std::vector<std::string> keys;
  for (int i = 0; i < 4096; ++i) keys.push_back(ComputerOf(row(random)));
  return keys;
}

void BM_RawIndexedLookup(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  const std::vector<std::string> keys = RandomComputers();
  sqlite3_stmt* statement = Prepare(db, "SELECT * FROM Logon WHERE Computer = ?");
  size_t next = 0;
  for (auto _ : state) {
    const std::string key = keys[next++ % keys.size()];
    sqlite3_bind_text(statement, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(statement) != SQLITE_ROW) state.SkipWithError("not found");
    ReadRawRow(statement);
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
}
BENCHMARK(BM_RawIndexedLookup);

void BM_TableSeek(benchmark::State& state) {
  const std::vector<std::string> keys = RandomComputers();
  auto table = Fixture::Get().Engine().OpenRecordset("Logon", dbOpenTable);
  table->SetIndex("Computer");
  const auto fields = FieldsOf(*table);
  size_t next = 0;
  for (auto _ : state) {
    table->Seek("=", {Variant(keys[next++ % keys.size()])});
    if (table->NoMatch()) state.SkipWithError("not found");
    ReadFields(fields);
  }
  table->Close();
}
BENCHMARK(BM_TableSeek);

// --- One new row in a transaction of its own.

void BM_RawInsert(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* insert = Prepare(db, std::string("INSERT INTO LogonIns ") + kInsertColumns);
  int row = 0;
  for (auto _ : state) {
    Exec(db, "BEGIN IMMEDIATE");
    BindRow(insert, ++row);
    Check(db, sqlite3_step(insert));
    sqlite3_reset(insert);
    Exec(db, "COMMIT");
  }
  sqlite3_finalize(insert);
}
BENCHMARK(BM_RawInsert);

void BM_AddNewUpdate(benchmark::State& state) {
  auto recordset = Fixture::Get().Engine().OpenRecordset("LogonIns", dbOpenDynaset, 0, dbOptimistic);
  Collection<Field>& fields = recordset->Fields();
  int row = 0;
  for (auto _ : state) {
    ++row;
    recordset->AddNew();
    fields.Item("Username")->SetValue(Variant("user" + std::to_string(row % 500)));
    fields.Item("Computer")->SetValue(Variant(ComputerOf(row)));
    fields.Item("logontime")->SetValue(Variant::FromDate(46000.0 + row / 1440.0));
    fields.Item("IP")->SetValue(Variant("10.0." + std::to_string(row / 256 % 256) + "." + std::to_string(row % 256)));
    fields.Item("Betriebssystem")->SetValue(Variant("Microsoft Windows 10 Enterprise"));
    fields.Item("Typ")->SetValue(Variant("logon"));
    recordset->Update();
  }
  recordset->Close();
}
BENCHMARK(BM_AddNewUpdate);

}  // namespace

BENCHMARK_MAIN();
