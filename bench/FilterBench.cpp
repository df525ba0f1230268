// Filter and master/detail of the dataset component against raw SQLite on the journal's
// Logon table with its indexes.
//
// The file is made once per run with raw SQLite: Logon with 1,000,000 rows (Username
// "user<n % 1000>", so 1,000 rows per user; logontime one a minute), its indexes on
// logontime and on Username, and LogonSmall with 1,000 rows. Users holds 1,000 names.
//
//   OpenSmallTable      open a dynaset dataset on LogonSmall and read its 1,000 rows
//   OpenFiltered        open a dynaset dataset on Logon with Filter Username = "user7" and
//                       read its 1,000 rows: the filter must reach the engine's index
//   RawSmallTable       the baselines of the two opens, each statement prepared and stepped
//   RawFiltered         to its end with every column read as text: SELECT * FROM LogonSmall
//                       and SELECT * FROM Logon WHERE Username = 'user7' (1,000 rows one
//                       page apart in a table of 1,000,000, against 1,000 rows in a few
//                       pages)
//   EngineSmallTable    the same two opens one layer down, on the engine's recordsets (a
//   EngineFiltered      dynaset, then Filter and OpenRecordset from it, as the dataset does),
//                       every column's value looked at: what the dataset adds shows beside
//                       what the engine costs
//   RawDetailRows       the baseline of a master move: SELECT ... WHERE Username = ? AND
//                       ID <= 100000 prepared once, its 100 rows read
//   MasterMove          a master dataset on Users and a detail on Logon filtered to its first
//                       100,000 rows (ID <= 100000) and linked by Username, 100 rows a user:
//                       one master move and the detail's 100 rows read, against
//                       RawDetailRows
//
// Run: FilterBench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/DataSource.h"
#include "db/Field.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"

namespace {

using namespace lumo;

constexpr int kLargeRows = 1000000;
constexpr int kSmallRows = 1000;
constexpr int kUsers = 1000;
constexpr int kDetailRows = 100;
constexpr const char* kColumnList =
    "ID INTEGER PRIMARY KEY AUTOINCREMENT, Username VARCHAR(50) COLLATE NOCASE, "
    "Computer VARCHAR(20) COLLATE NOCASE, logontime DATETIME, logofftime DATETIME, "
    "IP VARCHAR(20) COLLATE NOCASE, Betriebssystem VARCHAR(50) COLLATE NOCASE, "
    "Typ VARCHAR(10) COLLATE NOCASE";

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
}
void Exec(sqlite3* db, const std::string& sql) { Check(db, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr)); }
sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  Check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr));
  return statement;
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
    char pattern[] = "/tmp/lumo-filterbench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    const std::string path = folder_ + "/journal.mdb";
    Check(raw_, sqlite3_open(path.c_str(), &raw_));
    Exec(raw_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
    Exec(raw_, "BEGIN");
    for (const auto& [table, rows] : {std::pair{"Logon", kLargeRows}, std::pair{"LogonSmall", kSmallRows}}) {
      Exec(raw_, std::string("CREATE TABLE ") + table + " (" + kColumnList + ")");
      sqlite3_stmt* insert = Prepare(raw_, std::string("INSERT INTO ") + table +
                                               " (Username, Computer, logontime, IP, Betriebssystem, Typ) "
                                               "VALUES (?, ?, ?, '10.0.0.1', 'Microsoft Windows 10', 'logon')");
      for (int row = 1; row <= rows; ++row) {
        const std::string user = "user" + std::to_string(row % kUsers);
        const std::string computer = "PC" + std::to_string(row);
        const std::string logon = jet::FormatStorageDate(46000.0 + row / 1440.0);
        sqlite3_bind_text(insert, 1, user.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, computer.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, logon.c_str(), -1, SQLITE_TRANSIENT);
        Check(raw_, sqlite3_step(insert));
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
      Exec(raw_, std::string("CREATE INDEX \"") + table + ".logontime\" ON " + table + " (logontime)");
      Exec(raw_, std::string("CREATE INDEX \"") + table + ".Username\" ON " + table + " (Username)");
    }
    Exec(raw_, "CREATE TABLE Users (ID INTEGER PRIMARY KEY AUTOINCREMENT, Username VARCHAR(50) COLLATE NOCASE)");
    for (int user = 0; user < kUsers; ++user) {
      Exec(raw_, "INSERT INTO Users (Username) VALUES ('user" + std::to_string(user) + "')");
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

std::unique_ptr<TLumoDaoTable> MakeDataset(const std::string& table) {
  auto dataset = std::make_unique<TLumoDaoTable>(nullptr);
  dataset->SetName(table);
  dataset->F_Set_Database(&Fixture::Get().Database());
  dataset->F_Set_TableName(table);
  return dataset;
}

int64_t ReadAll(TLumoDaoTable& dataset) {
  int64_t rows = 0;
  TField* computer = dataset.FieldByName("Computer");
  for (dataset.First(); !dataset.Eof(); dataset.Next()) {
    benchmark::DoNotOptimize(computer->AsString());
    ++rows;
  }
  return rows;
}

void BM_OpenSmallTable(benchmark::State& state) {
  auto dataset = MakeDataset("LogonSmall");
  for (auto _ : state) {
    dataset->Open();
    if (ReadAll(*dataset) != kSmallRows) state.SkipWithError("wrong count");
    dataset->Close();
  }
}
BENCHMARK(BM_OpenSmallTable)->Unit(benchmark::kMillisecond);

void BM_OpenFiltered(benchmark::State& state) {
  auto dataset = MakeDataset("Logon");
  dataset->SetFilter("Username = \"user7\"");
  dataset->SetFiltered(true);
  for (auto _ : state) {
    dataset->Open();
    if (ReadAll(*dataset) != kLargeRows / kUsers) state.SkipWithError("wrong count");
    dataset->Close();
  }
}
BENCHMARK(BM_OpenFiltered)->Unit(benchmark::kMillisecond);

void BM_RawDetailRows(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* statement = Prepare(db, "SELECT * FROM Logon WHERE Username = ?1 AND ID <= 100000");
  int user = 0;
  for (auto _ : state) {
    const std::string name = "user" + std::to_string(user++ % kUsers);
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(statement, 2));
      ++rows;
    }
    if (rows != kDetailRows) state.SkipWithError("wrong count");
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
}
BENCHMARK(BM_RawDetailRows)->Unit(benchmark::kMicrosecond);

// The raw counterparts of OpenSmallTable and OpenFiltered: prepared each time, as an open
// prepares its statements, and every column read as text, as the dataset's buffer holds it.
int64_t RawOpenAndRead(const std::string& sql) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* statement = Prepare(db, sql);
  const int columns = sqlite3_column_count(statement);
  int64_t rows = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    for (int column = 0; column < columns; ++column) {
      benchmark::DoNotOptimize(sqlite3_column_text(statement, column));
    }
    ++rows;
  }
  sqlite3_finalize(statement);
  return rows;
}

void BM_RawSmallTable(benchmark::State& state) {
  for (auto _ : state) {
    if (RawOpenAndRead("SELECT * FROM LogonSmall") != kSmallRows) state.SkipWithError("wrong count");
  }
}
BENCHMARK(BM_RawSmallTable)->Unit(benchmark::kMillisecond);

void BM_RawFiltered(benchmark::State& state) {
  for (auto _ : state) {
    if (RawOpenAndRead("SELECT * FROM Logon WHERE Username = 'user7'") != kLargeRows / kUsers) {
      state.SkipWithError("wrong count");
    }
  }
}
BENCHMARK(BM_RawFiltered)->Unit(benchmark::kMillisecond);

// Walks an engine recordset to its end, looking at every column's value.
int64_t EngineReadAll(jet::Recordset& recordset) {
  const int columns = recordset.Fields().Count();
  int64_t rows = 0;
  for (; !recordset.IsEOF(); recordset.MoveNext()) {
    for (int column = 0; column < columns; ++column) {
      benchmark::DoNotOptimize(recordset.ColumnValueInPlace(column).IsNull());
    }
    ++rows;
  }
  return rows;
}

void BM_EngineSmallTable(benchmark::State& state) {
  jet::Database& database = *Fixture::Get().Database().DaoDatabase();
  for (auto _ : state) {
    auto recordset = database.OpenRecordset("LogonSmall", jet::dbOpenDynaset);
    if (EngineReadAll(*recordset) != kSmallRows) state.SkipWithError("wrong count");
    recordset->Close();
  }
}
BENCHMARK(BM_EngineSmallTable)->Unit(benchmark::kMillisecond);

void BM_EngineFiltered(benchmark::State& state) {
  jet::Database& database = *Fixture::Get().Database().DaoDatabase();
  for (auto _ : state) {
    auto table = database.OpenRecordset("Logon", jet::dbOpenDynaset);
    table->SetFilter("Username = \"user7\"");
    auto recordset = table->OpenRecordset(jet::dbOpenDynaset);
    table->Close();
    if (EngineReadAll(*recordset) != kLargeRows / kUsers) state.SkipWithError("wrong count");
    recordset->Close();
  }
}
BENCHMARK(BM_EngineFiltered)->Unit(benchmark::kMillisecond);

// The detail holds the first 100,000 logons (a filter on ID), so that each user has 100.
void BM_MasterMove(benchmark::State& state) {
  auto master = MakeDataset("Users");
  TDataSource source(nullptr);
  source.SetDataSet(master.get());
  auto detail = MakeDataset("Logon");
  detail->SetFilter("ID <= 100000");
  detail->SetFiltered(true);
  TStringList link;
  link.Add("Username;");
  detail->F_Set_MasterFields(link);
  detail->F_Set_MasterSource(&source);
  detail->Open();
  for (auto _ : state) {
    if (master->Eof())
      master->First();
    else
      master->Next();
    if (ReadAll(*detail) != kDetailRows) state.SkipWithError("wrong count");
  }
  detail->Close();
  master->Close();
}
BENCHMARK(BM_MasterMove)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
