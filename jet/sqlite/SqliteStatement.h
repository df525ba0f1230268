#pragma once
// RAII owner of one prepared statement, with binding and stepping. Statements are prepared
// once and reused (Reset + new bindings) on every hot path: reading a row by id, inserting,
// stepping a scan.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::jet {

class SqliteConnection;

enum class ColumnType { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

class SqliteStatement {
 public:
  SqliteStatement(const SqliteConnection& connection, std::string_view sql);
  SqliteStatement(SqliteStatement&&) noexcept = default;
  SqliteStatement& operator=(SqliteStatement&&) noexcept = default;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Binding; indexes are 1-based as in SQLite.
  void BindNull(int index);
  void BindInt64(int index, int64_t value);
  void BindDouble(int index, double value);
  void BindText(int index, std::string_view value);
  void BindBlob(int index, const void* data, size_t size);
  // Bind without copying, for large values: the bytes must stay alive and unchanged until the
  // statement has been stepped and its bindings cleared.
  void BindTextInPlace(int index, std::string_view value);
  void BindBlobInPlace(int index, const void* data, size_t size);
  int ParameterCount() const noexcept;
  void ClearBindings() noexcept;

  // Steps once: true while a row is available, false when done. Failures raise.
  bool Step();
  // Resets for another run; bindings stay unless cleared.
  void Reset() noexcept;

  int ColumnCount() const noexcept;
  std::string ColumnName(int column) const;
  std::string ColumnDeclaredType(int column) const;
  std::string ColumnTableName(int column) const;
  std::string ColumnOriginName(int column) const;
  ColumnType TypeOf(int column) const noexcept;
  int64_t ColumnInt64(int column) const noexcept;
  double ColumnDouble(int column) const noexcept;
  std::string ColumnText(int column) const;
  std::string_view ColumnTextView(int column) const noexcept;  // valid until the next step
  std::vector<uint8_t> ColumnBlob(int column) const;
  bool IsReadOnly() const noexcept;  // statement does not write (sqlite3_stmt_readonly)
  std::string Sql() const;

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
