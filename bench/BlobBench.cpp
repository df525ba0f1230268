// A 64 MB long binary value through the dataset's blob streams against raw SQLite, in the
// same run:
//
//   Write   Append, a write stream fed 64 KB pieces, Post (dataset), vs one INSERT with
//           sqlite3_bind_blob of the whole value (raw)
//   Read    the record read again from the file (Refresh) and a read stream drained in 64 KB
//           pieces (dataset), vs one SELECT with sqlite3_column_blob copied out (raw)
//
// Both sides write a file in write-ahead-log mode with synchronous=FULL, as the engine makes
// its files. Each iteration's row is deleted again outside the timing.
//
// The counter peak_x is the highest resident memory during the iterations above what the
// process held before them, as a multiple of the content's size (the kernel's peak counter is
// reset before each benchmark; the content and the destination buffer were allocated and
// touched beforehand, so they are not counted).
//
// Run: BlobBench

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Fields.h"
#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"

namespace {

using namespace lumo;

constexpr size_t kContentSize = 64u << 20;
constexpr size_t kPiece = 64u << 10;
constexpr int kIterations = 5;

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
}

// Resident memory in bytes: the current amount or the peak since the last reset.
size_t ResidentBytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(key);
  while (std::getline(status, line)) {
    if (line.compare(0, length, key) == 0) return std::stoull(line.substr(length + 1)) * 1024;
  }
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Measures the peak above the resident memory at construction.
class PeakMeter {
 public:
  PeakMeter() {
    ResetPeak();
    base_ = ResidentBytes("VmRSS:");
  }
  void Report(benchmark::State& state) const {
    const size_t peak = ResidentBytes("VmHWM:");
    state.counters["peak_x"] = peak > base_ ? static_cast<double>(peak - base_) / kContentSize : 0.0;
    state.counters["peak_MB"] = peak > base_ ? static_cast<double>(peak - base_) / (1 << 20) : 0.0;
  }

 private:
  size_t base_ = 0;
};

struct Fixture {
  std::filesystem::path folder;
  std::string content;      // every byte value
  std::string destination;  // where reads land
  std::string enginePath;
  std::string rawPath;

  Fixture() {
    char pattern[] = "/tmp/lumo-blobbench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
    folder = pattern;
    content.resize(kContentSize);
    for (size_t i = 0; i < kContentSize; ++i) content[i] = static_cast<char>((i * 131 + (i >> 11)) & 0xFF);
    destination.assign(kContentSize, '\0');

    enginePath = (folder / "engine.mdb").string();
    jet::DBEngine engine("3.6");
    auto database = engine.CreateDatabase(enginePath, jet::dbLangGeneral);
    database->Execute("CREATE TABLE B (ID COUNTER PRIMARY KEY, Data LONGBINARY)", jet::dbFailOnError);
    database->Close();

    rawPath = (folder / "raw.db").string();
    sqlite3* db = nullptr;
    Check(db, sqlite3_open(rawPath.c_str(), &db));
    Check(db, sqlite3_exec(db,
                           "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                           "CREATE TABLE B (ID INTEGER PRIMARY KEY AUTOINCREMENT, Data BLOB)",
                           nullptr, nullptr, nullptr));
    sqlite3_close(db);
  }
  ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

struct Dataset {
  TLumoDaoDatabase database{nullptr};
  TLumoDaoTable table{nullptr};
  explicit Dataset(const std::string& path) {
    database.F_Set_Database(path);
    database.Open();
    table.F_Set_Database(&database);
    table.F_Set_TableName("B");
    table.Open();
  }
  TField* Data() { return table.FieldByName("Data"); }
};

void AppendThroughStream(Dataset& data, const std::string& content) {
  data.table.Append();
  {
    std::unique_ptr<TStream> stream = data.table.CreateBlobStream(data.Data(), TBlobStreamMode::bmWrite);
    for (size_t at = 0; at < content.size(); at += kPiece) {
      stream->WriteBuffer(content.data() + at, static_cast<int64_t>(kPiece));
    }
  }
  data.table.Post();
}

void DatasetWrite(benchmark::State& state) {
  Fixture& f = Shared();
  Dataset data(f.enginePath);
  PeakMeter meter;
  for (auto _ : state) {
    AppendThroughStream(data, f.content);
    state.PauseTiming();
    data.table.Delete();
    state.ResumeTiming();
  }
  meter.Report(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kContentSize));
}

void RawWrite(benchmark::State& state) {
  Fixture& f = Shared();
  sqlite3* db = nullptr;
  Check(db, sqlite3_open(f.rawPath.c_str(), &db));
  Check(db, sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr));
  sqlite3_stmt* insert = nullptr;
  Check(db, sqlite3_prepare_v2(db, "INSERT INTO B (Data) VALUES (?1)", -1, &insert, nullptr));
  PeakMeter meter;
  for (auto _ : state) {
    Check(db, sqlite3_bind_blob64(insert, 1, f.content.data(), f.content.size(), SQLITE_STATIC));
    Check(db, sqlite3_step(insert));
    sqlite3_reset(insert);
    state.PauseTiming();
    Check(db, sqlite3_exec(db, "DELETE FROM B", nullptr, nullptr, nullptr));
    state.ResumeTiming();
  }
  meter.Report(state);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kContentSize));
}

void DatasetRead(benchmark::State& state) {
  Fixture& f = Shared();
  Dataset data(f.enginePath);
  AppendThroughStream(data, f.content);
  PeakMeter meter;
  for (auto _ : state) {
    data.table.Refresh();  // the record comes from the file again
    std::unique_ptr<TStream> stream = data.table.CreateBlobStream(data.Data(), TBlobStreamMode::bmRead);
    size_t at = 0;
    for (int64_t got; (got = stream->Read(f.destination.data() + at, static_cast<int64_t>(kPiece))) > 0;) {
      at += static_cast<size_t>(got);
    }
    if (at != kContentSize) state.SkipWithError("short read");
  }
  meter.Report(state);
  if (f.destination != f.content) state.SkipWithError("content differs");
  data.table.Delete();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kContentSize));
}

void RawRead(benchmark::State& state) {
  Fixture& f = Shared();
  sqlite3* db = nullptr;
  Check(db, sqlite3_open(f.rawPath.c_str(), &db));
  sqlite3_stmt* insert = nullptr;
  Check(db, sqlite3_prepare_v2(db, "INSERT INTO B (Data) VALUES (?1)", -1, &insert, nullptr));
  Check(db, sqlite3_bind_blob64(insert, 1, f.content.data(), f.content.size(), SQLITE_STATIC));
  Check(db, sqlite3_step(insert));
  sqlite3_finalize(insert);
  const sqlite3_int64 row = sqlite3_last_insert_rowid(db);
  sqlite3_stmt* select = nullptr;
  Check(db, sqlite3_prepare_v2(db, "SELECT Data FROM B WHERE ID = ?1", -1, &select, nullptr));
  f.destination.assign(kContentSize, '\0');
  PeakMeter meter;
  for (auto _ : state) {
    sqlite3_bind_int64(select, 1, row);
    Check(db, sqlite3_step(select));
    const void* bytes = sqlite3_column_blob(select, 0);
    const auto size = static_cast<size_t>(sqlite3_column_bytes(select, 0));
    for (size_t at = 0; at < size; at += kPiece) {
      std::memcpy(f.destination.data() + at, static_cast<const char*>(bytes) + at, std::min(kPiece, size - at));
    }
    sqlite3_reset(select);
  }
  meter.Report(state);
  if (f.destination != f.content) state.SkipWithError("content differs");
  sqlite3_finalize(select);
  Check(db, sqlite3_exec(db, "DELETE FROM B", nullptr, nullptr, nullptr));
  sqlite3_close(db);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kContentSize));
}

}  // namespace

BENCHMARK(RawWrite)->Iterations(kIterations)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DatasetWrite)->Iterations(kIterations)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RawRead)->Iterations(kIterations)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DatasetRead)->Iterations(kIterations)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
