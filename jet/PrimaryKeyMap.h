#pragma once
// Row keys for a table without row ids (engine-internal). Other tools may make tables whose
// rows carry no row id and are known only by their primary-key values; a dynaset over one
// numbers those values 0, 1, 2 ... in the order it first meets them and uses the numbers as
// the rows' keys (for positions, bookmarks and its reads and writes). Shared by a recordset's
// engines, its clones' and its requeries' through the plan.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/RecordSource.h"

namespace lumo::jet {

class PrimaryKeyMap {
 public:
  explicit PrimaryKeyMap(std::vector<std::string> columns);

  // The primary key's fields, in key order.
  const std::vector<std::string>& Columns() const { return columns_; }
  // "k1", "k2" ... quoted, for select lists and orders.
  const std::string& ColumnList() const { return columnList_; }

  // The number of the row with these key values: the one it has, else a new one (`isNew`
  // says which).
  RowKey KeyOf(std::vector<StoredValue> values, bool* isNew = nullptr);
  // A row's key values changed (an update through the recordset wrote them).
  void Renew(RowKey key, std::vector<StoredValue> values);
  // The row was deleted: a new row with the same values is another row, with a number of
  // its own.
  void Release(RowKey key);

  // "k1" = ?n AND "k2" = ?n+1 ...: the condition that picks the row.
  std::string Condition(int firstParameter) const;
  void Bind(storage::Statement& statement, RowKey key, int firstParameter) const;

 private:
  struct ValuesHash {
    size_t operator()(const std::vector<StoredValue>& values) const noexcept;
  };

  std::vector<std::string> columns_;
  std::string columnList_;
  std::vector<std::vector<StoredValue>> values_;  // by key
  std::unordered_map<std::vector<StoredValue>, RowKey, ValuesHash> keyOf_;
};

}  // namespace lumo::jet
