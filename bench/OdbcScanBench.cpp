// The dataset component over an ODBC database against a raw ODBC fetch loop, on a table shaped
// like the journal's Logon with 1,000,000 rows on the throwaway PostgreSQL cluster.
//
// The table is made once per run by the raw connection (generate_series on the server) and
// dropped at the end. Each dataset benchmark has its raw baseline beside it, run in the same
// process on the same driver:
//
//   RawScan        SELECT * and SQLFetch to the end, every column read as text: /0/x SQLGetData
//                  per column, /1/x columns bound to buffers, a row per SQLFetch; /x/0 as
//                  8-bit text (SQL_C_CHAR), /x/1 as UTF-16 (SQL_C_WCHAR, as the back-end reads);
//                  /x/x/0 with the driver's default settings (the whole result is read when the
//                  statement runs), /x/x/1 through a server cursor read 1,000 rows at a time
//                  (UseDeclareFetch, as the back-end's scan sessions read)
//   DatasetScan    TLumoDaoTable on the table, First ... Next to the end reading every field
//                  as text: /2 dynaset (the default), /4 snapshot, /8 forward-only
//   DatasetOpen    opening the dynaset dataset and reading its first record, and closing it
//                  again: what a recording run pays before its row goes in
//
// Each scan reports its peak resident memory (peak_rss_mb, the process's high-water mark
// reset before the scan), so that a scan that keeps every row of the result in memory shows.
//
// Needs a running cluster made by scripts/pg-cluster (LUMO_PG_CLUSTER names its folder):
//   scripts/pg-cluster run /tmp/lumo-scan -- env LUMO_PG_CLUSTER=/tmp/lumo-scan build/bench/OdbcScanBench
// under the build queue (/work/bin/buildlock ...) so that no build shares the machine.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"

namespace {

using namespace lumo;

constexpr int kRows = 1000000;
constexpr int kColumns = 8;
constexpr const char* kTable = "scan_logon";
constexpr const char* kCursorOptions = "UseDeclareFetch=1;Fetch=1000;";

// The cluster's connect text, and the driver manager's configuration in the environment.
std::string ClusterConnect() {
  const char* folder = std::getenv("LUMO_PG_CLUSTER");
  if (folder == nullptr || *folder == '\0') {
    throw std::runtime_error("LUMO_PG_CLUSTER must name a folder made by scripts/pg-cluster start");
  }
  std::ifstream in(std::string(folder) + "/cluster.env");
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (values.empty()) throw std::runtime_error(std::string(folder) + "/cluster.env cannot be read");
  setenv("ODBCSYSINI", values["ODBCSYSINI"].c_str(), 1);
  setenv("ODBCINI", values["ODBCINI"].c_str(), 1);
  return "DSN=" + values["LUMO_ODBC_DSN"] + ";UID=" + values["PGUSER"] + ";PWD=" + values["PGPASSWORD"] + ";";
}

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {};
  SQLCHAR message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
  return std::string(reinterpret_cast<char*>(state)) + ": " + reinterpret_cast<char*>(message);
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  if (!SQL_SUCCEEDED(rc)) throw std::runtime_error(std::string(what) + ": " + Diagnostic(type, handle));
}

// A raw connection of the driver manager's, with the driver's default settings.
class RawConnection {
 public:
  explicit RawConnection(const std::string& connect) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    Check(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect.c_str())), SQL_NTS,
                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc_, "connect");
  }
  ~RawConnection() {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  SQLHDBC Handle() const { return dbc_; }
  void Exec(const std::string& sql) const {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
    const SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    const std::string failure = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? "" : Diagnostic(SQL_HANDLE_STMT, statement);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    if (!failure.empty()) throw std::runtime_error(sql.substr(0, 60) + ": " + failure);
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// The table with its rows, the raw connection and a connected database component.
class Fixture {
 public:
  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }
  const RawConnection& Raw() const { return *raw_; }
  const RawConnection& RawCursor() {
    if (!rawCursor_) rawCursor_ = std::make_unique<RawConnection>(connect_ + kCursorOptions);
    return *rawCursor_;
  }
  TLumoDaoDatabase& Database() const { return *database_; }

  ~Fixture() {
    database_.reset();
    try {
      raw_->Exec(std::string("DROP TABLE IF EXISTS ") + kTable);
    } catch (...) {
      // The cluster is thrown away anyway.
    }
  }

 private:
  Fixture() : connect_(ClusterConnect()), raw_(std::make_unique<RawConnection>(connect_)) {
    raw_->Exec(std::string("DROP TABLE IF EXISTS ") + kTable);
    raw_->Exec(std::string("CREATE TABLE ") + kTable +
               " (id serial PRIMARY KEY, username varchar(50), computer varchar(20), logontime timestamp(3), "
               "logofftime timestamp(3), ip varchar(20), betriebssystem varchar(50), typ varchar(10))");
    // A quarter of the logoff times are empty, as for sessions still open.
    raw_->Exec(std::string("INSERT INTO ") + kTable +
               " (username, computer, logontime, logofftime, ip, betriebssystem, typ) "
               "SELECT 'user' || (i % 500), 'PC' || i, timestamp '2025-12-10' + i * interval '1 minute', "
               "CASE WHEN i % 4 = 0 THEN NULL ELSE timestamp '2025-12-10 07:12' + i * interval '1 minute' END, "
               "'10.0.' || (i / 256 % 256) || '.' || (i % 256), 'Microsoft Windows 10 Enterprise', 'logon' "
               "FROM generate_series(1, " +
               std::to_string(kRows) + ") AS i");
    raw_->Exec(std::string("VACUUM ANALYZE ") + kTable);
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_DatabaseType("ODBC");
    database_->F_Set_Database("ODBC;" + connect_);
    database_->Open();
  }

  std::string connect_;
  std::unique_ptr<RawConnection> raw_;
  std::unique_ptr<RawConnection> rawCursor_;
  std::unique_ptr<TLumoDaoDatabase> database_;
};

// The process's peak resident memory since the last reset, in megabytes.
double PeakRssMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::unique_ptr<TLumoDaoTable> MakeDataset() {
  auto dataset = std::make_unique<TLumoDaoTable>(nullptr);
  dataset->SetName("Logon");
  dataset->F_Set_Database(&Fixture::Get().Database());
  dataset->F_Set_TableName(kTable);
  return dataset;
}

// state.range(0): 0 SQLGetData per column, 1 bound columns; state.range(1): 0 SQL_C_CHAR,
// 1 SQL_C_WCHAR; state.range(2): 0 the driver's defaults, 1 a server cursor.
void BM_RawScan(benchmark::State& state) {
  const RawConnection& raw = state.range(2) == 1 ? Fixture::Get().RawCursor() : Fixture::Get().Raw();
  const bool bound = state.range(0) == 1;
  const bool wide = state.range(1) == 1;
  const SQLSMALLINT type = wide ? SQL_C_WCHAR : SQL_C_CHAR;
  const std::string sql = std::string("SELECT * FROM ") + kTable;
  constexpr SQLLEN kWidth = 256;
  std::vector<char> buffers(kColumns * kWidth);
  std::vector<SQLLEN> indicators(kColumns);
  int64_t rows = 0;
  ResetPeakRss();
  for (auto _ : state) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &statement);
    Check(SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS),
          SQL_HANDLE_STMT, statement, "scan");
    if (bound) {
      for (SQLUSMALLINT column = 1; column <= kColumns; ++column) {
        SQLBindCol(statement, column, type, &buffers[(column - 1) * kWidth], kWidth, &indicators[column - 1]);
      }
    }
    while (SQL_SUCCEEDED(SQLFetch(statement))) {
      for (SQLUSMALLINT column = 1; column <= kColumns; ++column) {
        char* buffer = &buffers[(column - 1) * kWidth];
        SQLLEN& indicator = indicators[column - 1];
        if (!bound) SQLGetData(statement, column, type, buffer, kWidth, &indicator);
        if (wide) {
          std::u16string text = indicator == SQL_NULL_DATA
                                    ? std::u16string()
                                    : std::u16string(reinterpret_cast<const char16_t*>(buffer),
                                                     static_cast<size_t>(indicator) / sizeof(char16_t));
          benchmark::DoNotOptimize(text);
        } else {
          std::string text = indicator == SQL_NULL_DATA ? std::string() : std::string(buffer, indicator);
          benchmark::DoNotOptimize(text);
        }
      }
      ++rows;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
  }
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.SetItemsProcessed(rows);
  if (rows != kRows * static_cast<int64_t>(state.iterations())) state.SkipWithError("rows missing");
}
BENCHMARK(BM_RawScan)
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(3);

// state.range(0) is the TableType: 2 dynaset (the default), 4 snapshot, 8 forward-only.
void BM_DatasetScan(benchmark::State& state) {
  auto dataset = MakeDataset();
  dataset->F_Set_TableType(static_cast<int32_t>(state.range(0)));
  int64_t rows = 0;
  ResetPeakRss();
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
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.SetItemsProcessed(rows);
  if (rows != kRows * static_cast<int64_t>(state.iterations())) state.SkipWithError("rows missing");
}
BENCHMARK(BM_DatasetScan)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DatasetOpen(benchmark::State& state) {
  auto dataset = MakeDataset();
  for (auto _ : state) {
    dataset->Open();
    for (TField* field : dataset->Fields()) benchmark::DoNotOptimize(field->AsString());
    dataset->Close();
  }
}
BENCHMARK(BM_DatasetOpen)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
