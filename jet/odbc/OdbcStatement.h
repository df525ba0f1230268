#pragma once
// The ODBC statement behind storage::Statement: one prepared statement handle with its
// parameter buffers and the current row.
//
// Parameters: the engine numbers them ("?1", "?2", a number used twice stands for one value),
// ODBC only counts plain "?" markers. Prepare rewrites each "?n" into "?" and remembers which
// value each marker takes, so that one statement text serves both; markers inside string
// literals and quoted names are left alone.
//
// Rows: Step fetches a row and reads every column of it at once into buffers of the
// statement, which keep their capacity from row to row, so that a scan reads text without
// allocating once the first rows have sized the buffers. Text travels as UTF-16 and is kept
// as UTF-8; dates, times and timestamps read as the engine's stored date text
// ('YYYY-MM-DD HH:MM:SS.fff'), GUIDs as braced upper-case text, binary columns as blobs,
// integer and Boolean columns as integers, floating-point columns as doubles, exact numbers
// (NUMERIC) as text that ColumnDouble reads.

#include <sql.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/odbc/OdbcErrors.h"
#include "jet/storage/Statement.h"

namespace lumo::jet::odbc {

class OdbcConnection;

// The SQL text with every "?n" turned into "?", and the engine's parameter number of each
// marker in order (plain "?" markers count on from the largest number seen, as SQLite does).
struct MarkerPlan {
  std::string sql;
  std::vector<int> parameterOfMarker;
  int parameterCount = 0;
};
MarkerPlan PlanMarkers(std::string_view sql);

class OdbcStatement final : public storage::Statement {
 public:
  OdbcStatement(OdbcConnection& connection, std::string_view sql);
  ~OdbcStatement() override;
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  void BindNull(int index) override;
  void BindInt64(int index, int64_t value) override;
  void BindDouble(int index, double value) override;
  void BindText(int index, std::string_view value) override;
  void BindBlob(int index, const void* data, size_t size) override;
  // ODBC takes text as UTF-16, so text is converted (and copied) either way; blobs are bound
  // where they lie.
  void BindTextInPlace(int index, std::string_view value) override;
  void BindBlobInPlace(int index, const void* data, size_t size) override;
  int ParameterCount() const noexcept override;
  void ClearBindings() noexcept override;

  bool Step() override;
  void Reset() noexcept override;

  int ColumnCount() const noexcept override;
  std::string ColumnName(int column) const override;
  std::string ColumnDeclaredType(int column) const override;
  std::string ColumnTableName(int column) const override;
  std::string ColumnOriginName(int column) const override;
  ColumnType TypeOf(int column) const noexcept override;
  int64_t ColumnInt64(int column) const noexcept override;
  double ColumnDouble(int column) const noexcept override;
  std::string ColumnText(int column) const override;
  std::string_view ColumnTextView(int column) const noexcept override;
  std::vector<uint8_t> ColumnBlob(int column) const override;
  bool IsReadOnly() const noexcept override;
  std::string Sql() const override;

  // The ODBC SQL type of a result column (SQL_INTEGER, SQL_WVARCHAR, ...).
  SQLSMALLINT ColumnSqlType(int column) const noexcept;
  // Its size (characters, or a number's precision) and decimal digits as the driver
  // describes them, for the direct connections' field types.
  SQLULEN ColumnSize(int column) const noexcept;
  SQLSMALLINT ColumnDigits(int column) const noexcept;
  // The handle, for statement attributes set before the statement runs (the direct
  // connections' row limit).
  SQLHSTMT Handle() const noexcept { return handle_; }
  // A time-out of the statement's own instead of the connection's (seconds, 0 for none),
  // the session's statement_timeout while it runs.
  void SetQueryTimeout(int seconds) noexcept { ownTimeout_ = seconds < 0 ? 0 : seconds; }

 private:
  // How a column's values are read and kept.
  enum class Reading { Integer, Float, Text, Exact, Date, Guid, Binary };

  struct Column {
    std::string name;
    std::string typeName;
    std::string baseTable;
    std::string baseColumn;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    Reading reading = Reading::Text;
    bool boolean = false;  // the server's boolean, read as an integer
    // The current row's value.
    ColumnType type = ColumnType::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;  // Text, Exact, Date, Guid; and numbers rendered on request
    std::vector<uint8_t> bytes;
  };

  struct Parameter {
    ColumnType type = ColumnType::Null;
    int64_t integer = 0;
    double real = 0;
    std::u16string text;
    std::vector<uint8_t> bytes;  // blobs copied
    const void* data = nullptr;  // blobs in place
    size_t size = 0;
    SQLLEN indicator = SQL_NULL_DATA;
  };

  Parameter& Slot(int index);
  void Describe();
  // The result's columns of a statement that changes rows, described on first need (after it
  // ran, the result describes itself without a word to the server).
  void EnsureDescribed() const;
  // The base table and column of each result column, read on first need.
  void EnsureOrigins() const;
  void BindMarkers();
  void ReadRow();
  void ReadColumn(int index, Column& column);
  // Reads a text value whole into `out`; false when it is null.
  bool ReadWide(SQLUSMALLINT number, std::string& out);
  [[noreturn]] void Fail(SQLRETURN result) const;

  OdbcConnection& connection_;
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  std::string sql_;  // as the caller wrote it
  MarkerPlan plan_;
  StatementVerb verb_ = StatementVerb::Unknown;
  std::vector<Parameter> parameters_;
  mutable std::vector<Column> columns_;
  bool described_ = false;
  mutable bool originsRead_ = false;
  bool executed_ = false;
  bool done_ = false;
  int ownTimeout_ = -1;  // -1: the connection's
  std::u16string wideBuffer_;  // reused for every text read
};

}  // namespace lumo::jet::odbc
