#include "jet/sqlite/SqliteStatement.h"

#include <sqlite3.h>

#include "jet/sqlite/SqliteConnection.h"

namespace lumo::jet {

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }

SqliteStatement::SqliteStatement(const SqliteConnection& connection, std::string_view sql) : db_(connection.Handle()) {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
  stmt_.reset(raw);
  if (rc != SQLITE_OK) RaiseSqliteFailure(db_, rc);
}

void SqliteStatement::Check(int resultCode) const {
  if (resultCode != SQLITE_OK) RaiseSqliteFailure(db_, resultCode);
}

void SqliteStatement::BindNull(int index) { Check(sqlite3_bind_null(stmt_.get(), index)); }

void SqliteStatement::BindInt64(int index, int64_t value) { Check(sqlite3_bind_int64(stmt_.get(), index, value)); }

void SqliteStatement::BindDouble(int index, double value) { Check(sqlite3_bind_double(stmt_.get(), index, value)); }

void SqliteStatement::BindText(int index, std::string_view value) {
  Check(sqlite3_bind_text64(stmt_.get(), index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void SqliteStatement::BindBlob(int index, const void* data, size_t size) {
  // A zero-length blob must stay a blob, not become Null: give SQLite a valid pointer.
  static const char kEmpty = 0;
  Check(sqlite3_bind_blob64(stmt_.get(), index, size ? data : &kEmpty, size, SQLITE_TRANSIENT));
}

void SqliteStatement::BindTextInPlace(int index, std::string_view value) {
  Check(sqlite3_bind_text64(stmt_.get(), index, value.data(), value.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void SqliteStatement::BindBlobInPlace(int index, const void* data, size_t size) {
  static const char kEmpty = 0;
  Check(sqlite3_bind_blob64(stmt_.get(), index, size ? data : &kEmpty, size, SQLITE_STATIC));
}

int SqliteStatement::ParameterCount() const noexcept { return sqlite3_bind_parameter_count(stmt_.get()); }

void SqliteStatement::ClearBindings() noexcept { sqlite3_clear_bindings(stmt_.get()); }

bool SqliteStatement::Step() {
  int rc = sqlite3_step(stmt_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement must be reset before the connection's message describes this failure
  // reliably; the reset returns the same code.
  sqlite3_reset(stmt_.get());
  RaiseSqliteFailure(db_, rc);
}

void SqliteStatement::Reset() noexcept { sqlite3_reset(stmt_.get()); }

int SqliteStatement::ColumnCount() const noexcept { return sqlite3_column_count(stmt_.get()); }

static std::string OrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

std::string SqliteStatement::ColumnName(int column) const { return OrEmpty(sqlite3_column_name(stmt_.get(), column)); }

std::string SqliteStatement::ColumnDeclaredType(int column) const {
  return OrEmpty(sqlite3_column_decltype(stmt_.get(), column));
}

std::string SqliteStatement::ColumnTableName(int column) const {
  return OrEmpty(sqlite3_column_table_name(stmt_.get(), column));
}

std::string SqliteStatement::ColumnOriginName(int column) const {
  return OrEmpty(sqlite3_column_origin_name(stmt_.get(), column));
}

ColumnType SqliteStatement::TypeOf(int column) const noexcept {
  return static_cast<ColumnType>(sqlite3_column_type(stmt_.get(), column));
}

int64_t SqliteStatement::ColumnInt64(int column) const noexcept { return sqlite3_column_int64(stmt_.get(), column); }

double SqliteStatement::ColumnDouble(int column) const noexcept { return sqlite3_column_double(stmt_.get(), column); }

std::string_view SqliteStatement::ColumnTextView(int column) const noexcept {
  auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
  if (!text) return {};
  return std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), column)));
}

std::string SqliteStatement::ColumnText(int column) const { return std::string(ColumnTextView(column)); }

std::vector<uint8_t> SqliteStatement::ColumnBlob(int column) const {
  auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_.get(), column));
  int size = sqlite3_column_bytes(stmt_.get(), column);
  if (!data || size <= 0) return {};
  return std::vector<uint8_t>(data, data + size);
}

bool SqliteStatement::IsReadOnly() const noexcept { return sqlite3_stmt_readonly(stmt_.get()) != 0; }

std::string SqliteStatement::Sql() const { return OrEmpty(sqlite3_sql(stmt_.get())); }

}  // namespace lumo::jet
