#pragma once
// One prepared statement of a storage connection: bind, step, read typed columns. The object
// model reads and writes every row through this interface; the back-end behind it (jet/sqlite/
// today) decides how the statement runs.
//
// Contract:
//   - Indexes of parameters are 1-based, of result columns 0-based.
//   - Step() answers true while a row is available and false when the statement is done; a
//     failure raises the DAO error the back-end's error mapper gives (EOleException).
//   - Reset() readies the statement for another run and keeps the bindings; ClearBindings()
//     drops them. Prepared statements are made once and reused (DatabaseFile keeps a cache),
//     so every hot path binds and steps without preparing.
//   - Column reads allocate nothing where the value can be viewed in place: ColumnTextView
//     and the numeric reads return into the back-end's own row buffer, valid until the next
//     Step, Reset or destruction.
//   - A statement is owned by one holder (std::unique_ptr) and must not outlive the
//     connection that prepared it. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo::jet {

// The storage class of one column value of the current row.
enum class ColumnType { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

namespace storage {

class Statement {
 public:
  virtual ~Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  virtual void BindNull(int index) = 0;
  virtual void BindInt64(int index, int64_t value) = 0;
  virtual void BindDouble(int index, double value) = 0;
  virtual void BindText(int index, std::string_view value) = 0;
  virtual void BindBlob(int index, const void* data, size_t size) = 0;
  // Binds without copying, for large values: the bytes must stay alive and unchanged until the
  // statement has been stepped and its bindings cleared.
  virtual void BindTextInPlace(int index, std::string_view value) = 0;
  virtual void BindBlobInPlace(int index, const void* data, size_t size) = 0;
  virtual int ParameterCount() const noexcept = 0;
  virtual void ClearBindings() noexcept = 0;

  virtual bool Step() = 0;
  virtual void Reset() noexcept = 0;

  virtual int ColumnCount() const noexcept = 0;
  virtual std::string ColumnName(int column) const = 0;
  // The type the column was declared with in its table ("" for a computed column).
  virtual std::string ColumnDeclaredType(int column) const = 0;
  // The table and column a result column comes from ("" for a computed column).
  virtual std::string ColumnTableName(int column) const = 0;
  virtual std::string ColumnOriginName(int column) const = 0;
  virtual ColumnType TypeOf(int column) const noexcept = 0;
  virtual int64_t ColumnInt64(int column) const noexcept = 0;
  virtual double ColumnDouble(int column) const noexcept = 0;
  virtual std::string ColumnText(int column) const = 0;
  virtual std::string_view ColumnTextView(int column) const noexcept = 0;
  virtual std::vector<uint8_t> ColumnBlob(int column) const = 0;
  // The statement writes nothing (a query).
  virtual bool IsReadOnly() const noexcept = 0;
  virtual std::string Sql() const = 0;

 protected:
  Statement() = default;
  Statement(Statement&&) noexcept = default;
  Statement& operator=(Statement&&) noexcept = default;
};

}  // namespace storage
}  // namespace lumo::jet
