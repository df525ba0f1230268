// The dataset component against raw SQLite on the journal's Logon table.
//
// The file is made once per run in a temporary folder with raw SQLite: Logon with 1,000,000
// rows and LogonSmall with 1,000, shaped like the journal's table and stored as the engine
// stores them. Each dataset benchmark has a raw baseline beside it, run in the same process:
//
//   OpenFirst           open a dynaset dataset on the table and read the first record
//                       (1,000 vs 1,000,000 rows; the raw baseline prepares and steps once)
//   Scan                First ... Next to the end reading every field as text, on a dynaset
//                       (/2) and a forward-only dataset (/8), vs a step loop reading the
//                       same columns as text
//   EngineScan          the same scan one layer down, on the engine's recordset (/2 dynaset,
//                       /8 forward-only), every value taken as text: /x/1 the way the
//                       dataset's buffer takes it (texts and dates where the engine holds
//                       them, dates in the buffer's day-and-milliseconds form), so that what
//                       the dataset adds shows beside what the engine costs; /x/0 every value
//                       through its Variant, VarToStr for all that are not text
//   EngineIdle          the engine's idle (DAO Idle 1, then 8) that the dataset calls after
//                       every record it reads, alone
//   QtSqlScan           the peer a C++ program would otherwise use on the same file: Qt SQL's
//                       QSqlQuery, forward-only (/1) and cached (/0), every column toString()
//   SecondRecordCount   RecordCount of an open dataset that already counted: the counter
//                       engine_calls shows how many times it went to the engine
//
// A scan of a million rows is long and a shared machine makes single runs jitter, so the
// scans run three times whatever the minimum time says.
//
// Run: DatasetBench --benchmark_min_time=0.2

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"
#include "runtime/Variant.h"

namespace {

using namespace lumo;

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

void BindRow(sqlite3_stmt* insert, int row) {
  const std::string user = "user" + std::to_string(row % 500);
  const std::string computer = "PC" + std::to_string(row);
  const std::string logon = jet::FormatStorageDate(46000.0 + row / 1440.0);
  const std::string ip = "10.0." + std::to_string(row / 256 % 256) + "." + std::to_string(row % 256);
  sqlite3_bind_text(insert, 1, user.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 2, computer.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 3, logon.c_str(), -1, SQLITE_TRANSIENT);
  if (row % 4 == 0) {
    sqlite3_bind_null(insert, 4);
  } else {
    const std::string logoff = jet::FormatStorageDate(46000.0 + row / 1440.0 + 0.3);
    sqlite3_bind_text(insert, 4, logoff.c_str(), -1, SQLITE_TRANSIENT);
  }
  sqlite3_bind_text(insert, 5, ip.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert, 6, "Microsoft Windows 10 Enterprise", -1, SQLITE_STATIC);
  sqlite3_bind_text(insert, 7, "logon", -1, SQLITE_STATIC);
}

// The file, the raw connection, and a connected database component.
class Fixture {
 public:
  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }
  sqlite3* Raw() const { return raw_; }
  TLumoDaoDatabase& Database() const { return *database_; }
  const std::string& Path() const { return path_; }

  ~Fixture() {
    database_.reset();
    sqlite3_close(raw_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  Fixture() {
    char pattern[] = "/tmp/lumo-dsbench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    path_ = folder_ + "/journal.mdb";
    const std::string& path = path_;
    Check(raw_, sqlite3_open(path.c_str(), &raw_));
    Exec(raw_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
    for (const char* table : {"Logon", "LogonSmall"}) {
      Exec(raw_, std::string("CREATE TABLE ") + table + " (" + kColumnList + ")");
    }
    Exec(raw_, "BEGIN");
    for (const auto& [table, rows] : {std::pair{"Logon", kLargeRows}, std::pair{"LogonSmall", kSmallRows}}) {
      sqlite3_stmt* insert = Prepare(raw_, std::string("INSERT INTO ") + table +
                                               " (Username, Computer, logontime, logofftime, IP, Betriebssystem, Typ) "
                                               "VALUES (?, ?, ?, ?, ?, ?, ?)");
      for (int row = 1; row <= rows; ++row) {
        BindRow(insert, row);
        Check(raw_, sqlite3_step(insert));
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
    }
    Exec(raw_, "COMMIT");
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_Database(path);
    database_->Open();
  }

  std::string folder_;
  std::string path_;
  sqlite3* raw_ = nullptr;
  std::unique_ptr<TLumoDaoDatabase> database_;
};

const char* TableFor(const benchmark::State& state) { return state.range(0) == kLargeRows ? "Logon" : "LogonSmall"; }

std::unique_ptr<TLumoDaoTable> MakeDataset(const std::string& table) {
  auto dataset = std::make_unique<TLumoDaoTable>(nullptr);
  dataset->SetName("Logon");
  dataset->F_Set_Database(&Fixture::Get().Database());
  dataset->F_Set_TableName(table);
  return dataset;
}

// --- Opening and reading the first record.

void BM_RawOpenFirst(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  const std::string sql = std::string("SELECT * FROM ") + TableFor(state);
  for (auto _ : state) {
    sqlite3_stmt* statement = Prepare(db, sql);
    Check(db, sqlite3_step(statement));
    for (int column = 0; column < kColumns; ++column) {
      benchmark::DoNotOptimize(sqlite3_column_text(statement, column));
    }
    sqlite3_finalize(statement);
  }
}
BENCHMARK(BM_RawOpenFirst)->Arg(kSmallRows)->Arg(kLargeRows);

void BM_DatasetOpenFirst(benchmark::State& state) {
  auto dataset = MakeDataset(TableFor(state));
  for (auto _ : state) {
    dataset->Open();
    for (TField* field : dataset->Fields()) benchmark::DoNotOptimize(field->AsString());
    dataset->Close();
  }
}
BENCHMARK(BM_DatasetOpenFirst)->Arg(kSmallRows)->Arg(kLargeRows);

// --- Every field of every row as text.

void BM_RawScan(benchmark::State& state) {
  sqlite3* db = Fixture::Get().Raw();
  sqlite3_stmt* statement = Prepare(db, "SELECT * FROM Logon");
  int64_t rows = 0;
  for (auto _ : state) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int column = 0; column < kColumns; ++column) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        std::string copy = text != nullptr ? std::string(text) : std::string();
        benchmark::DoNotOptimize(copy);
      }
      ++rows;
    }
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_RawScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// state.range(0) is the TableType: 2 dynaset (the default), 8 forward-only.
void BM_DatasetScan(benchmark::State& state) {
  auto dataset = MakeDataset("Logon");
  dataset->F_Set_TableType(static_cast<int32_t>(state.range(0)));
  int64_t rows = 0;
  for (auto _ : state) {
    dataset->Open();
    std::vector<TField*> fields(dataset->Fields().begin(), dataset->Fields().end());
    for (dataset->First(); !dataset->Eof(); dataset->Next()) {
      for (TField* field : fields) {
        std::string text = field->AsString();
        benchmark::DoNotOptimize(text);
      }
      ++rows;
    }
    dataset->Close();
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_DatasetScan)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);

// state.range(0) is the recordset type: 2 dynaset, 8 forward-only; state.range(1) 1 takes
// dates as the dataset's buffer does, 0 through VarToStr.
void BM_EngineScan(benchmark::State& state) {
  jet::Database& database = *Fixture::Get().Database().DaoDatabase();
  const bool bufferForm = state.range(1) == 1;
  int64_t rows = 0;
  for (auto _ : state) {
    auto recordset = database.OpenRecordset("Logon", static_cast<int>(state.range(0)));
    const int columns = recordset->Fields().Count();
    std::vector<bool> isDate;
    for (int column = 0; column < columns; ++column) {
      isDate.push_back(recordset->Fields().Item(column)->Type() == jet::dbDate);
    }
    for (; !recordset->IsEOF(); recordset->MoveNext()) {
      for (int column = 0; column < columns; ++column) {
        std::string text;
        // As ReadRecordValues takes them: texts and dates where the engine holds them, other
        // values through their Variant.
        std::string_view view;
        TTimeStamp stamp{};
        if (bufferForm && !isDate[static_cast<size_t>(column)] && recordset->ColumnTextInPlace(column, view)) {
          text.assign(view);
        } else if (bufferForm && isDate[static_cast<size_t>(column)] && recordset->ColumnTimeStamp(column, stamp)) {
          AssignTimeStampText(stamp, text);
        } else {
          const Variant& value = recordset->ColumnValueInPlace(column);
          if (const std::string* stored = value.TextIf()) {
            text.assign(*stored);
          } else if (bufferForm && value.Type() == VarType::kDate) {
            DateVariantToText(value, text);
          } else if (!value.IsNull()) {
            text = VarToStr(value);
          }
        }
        benchmark::DoNotOptimize(text);
      }
      ++rows;
    }
    recordset->Close();
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_EngineScan)
    ->Args({2, 1})
    ->Args({8, 1})
    ->Args({2, 0})
    ->Args({8, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_EngineIdle(benchmark::State& state) {
  auto dataset = MakeDataset("Logon");
  dataset->Open();
  for (auto _ : state) Fixture::Get().Database().EngineIdle();
  dataset->Close();
}
BENCHMARK(BM_EngineIdle);

// state.range(0): 1 forward-only, 0 cached (the query keeps the rows it read).
void BM_QtSqlScan(benchmark::State& state) {
  const QString connection = "bench";
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
    db.setDatabaseName(QString::fromStdString(Fixture::Get().Path()));
    if (!db.open()) {
      state.SkipWithError("Qt SQL cannot open the file (is the QSQLITE driver installed?)");
      return;
    }
    int64_t rows = 0;
    for (auto _ : state) {
      QSqlQuery query(db);
      query.setForwardOnly(state.range(0) == 1);
      if (!query.exec("SELECT * FROM Logon")) state.SkipWithError("query failed");
      while (query.next()) {
        for (int column = 0; column < kColumns; ++column) {
          QString text = query.value(column).toString();
          benchmark::DoNotOptimize(text);
        }
        ++rows;
      }
    }
    state.SetItemsProcessed(rows);
    db.close();
  }
  QSqlDatabase::removeDatabase(connection);
}
BENCHMARK(BM_QtSqlScan)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- A second record count without changes in between.

void BM_DatasetSecondRecordCount(benchmark::State& state) {
  auto dataset = MakeDataset("Logon");
  dataset->Open();
  if (dataset->RecordCount() != kLargeRows) state.SkipWithError("wrong count");
  int64_t engineCalls = 0;
  dataset->OnEngineCall = [&engineCalls](const char*) { ++engineCalls; };
  for (auto _ : state) {
    benchmark::DoNotOptimize(dataset->RecordCount());
  }
  state.counters["engine_calls"] = static_cast<double>(engineCalls);
  dataset->Close();
}
BENCHMARK(BM_DatasetSecondRecordCount);

void BM_DatasetFirstRecordCount(benchmark::State& state) {
  auto dataset = MakeDataset("Logon");
  int64_t engineCalls = 0;
  dataset->OnEngineCall = [&engineCalls](const char*) { ++engineCalls; };
  for (auto _ : state) {
    dataset->Open();
    if (dataset->RecordCount() != kLargeRows) state.SkipWithError("wrong count");
    dataset->Close();
  }
  state.counters["engine_calls_per_open"] = static_cast<double>(engineCalls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DatasetFirstRecordCount)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
