#pragma once
// Single-row writes on an SQLite database file (storage/RowWriter.h): INSERT taking the new
// row's rowid from the connection, or its primary-key values from RETURNING where the table
// has no rowid; UPDATE and DELETE by the row's key, the connection's change count telling
// whether the row was still there.

#include "jet/storage/RowWriter.h"

namespace lumo::jet {

class DatabaseFile;

namespace storage {
class Statement;
}  // namespace storage

class SqliteRowWriter final : public storage::RowWriter {
 public:
  explicit SqliteRowWriter(DatabaseFile& file) : file_(file) {}

  std::optional<int64_t> Insert(const storage::RowTarget& target, std::span<const storage::FieldWrite> fields) override;
  bool Update(const storage::RowTarget& target, int64_t key, std::span<const storage::FieldWrite> fields) override;
  bool Delete(const storage::RowTarget& target, int64_t key) override;

 private:
  // The condition on the row's key, its parameters numbered from `first`, and their binding.
  static std::string KeyCondition(const storage::RowTarget& target, int first);
  static void BindKey(const storage::RowTarget& target, storage::Statement& statement, int64_t key, int first);

  DatabaseFile& file_;
};

}  // namespace lumo::jet
