#pragma once
// The SQLite statement behind storage::Statement: the RAII owner of one sqlite3_stmt, with
// binding and stepping. Statements are prepared once and reused (Reset + new bindings) on
// every hot path: reading a row by id, inserting, stepping a scan. The class is final, so
// that code holding a SqliteStatement itself calls without virtual dispatch.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/storage/Statement.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::jet {

class SqliteConnection;

class SqliteStatement final : public storage::Statement {
 public:
  SqliteStatement(const SqliteConnection& connection, std::string_view sql);
  SqliteStatement(SqliteStatement&&) noexcept = default;
  SqliteStatement& operator=(SqliteStatement&&) noexcept = default;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Binding; indexes are 1-based as in SQLite.
  void BindNull(int index) override;
  void BindInt64(int index, int64_t value) override;
  void BindDouble(int index, double value) override;
  void BindText(int index, std::string_view value) override;
  void BindBlob(int index, const void* data, size_t size) override;
  // Bind without copying, for large values: the bytes must stay alive and unchanged until the
  // statement has been stepped and its bindings cleared.
  void BindTextInPlace(int index, std::string_view value) override;
  void BindBlobInPlace(int index, const void* data, size_t size) override;
  int ParameterCount() const noexcept override;
  void ClearBindings() noexcept override;

  // Steps once: true while a row is available, false when done. Failures raise.
  bool Step() override;
  // Resets for another run; bindings stay unless cleared.
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
  std::string_view ColumnTextView(int column) const noexcept override;  // valid until the next step
  std::vector<uint8_t> ColumnBlob(int column) const override;
  bool IsReadOnly() const noexcept override;  // statement does not write (sqlite3_stmt_readonly)
  std::string Sql() const override;

  sqlite3_stmt* Handle() const noexcept { return stmt_.get(); }

 private:
  void Check(int resultCode) const;

  struct Finalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept;
  };
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

}  // namespace lumo::jet
