#pragma once
// Rows of an SQLite table named by their rowid (storage/RowIdentity.h). Lists of keys travel
// as one JSON array text, which json_each opens as a table: one prepared statement then
// reads any number of rows.

#include "jet/storage/RowIdentity.h"

namespace lumo::jet {

class SqliteRowIdentity final : public storage::RowIdentity {
 public:
  bool HasRowKey() const override { return true; }
  const std::string& KeyExpression() const override { return key_; }
  std::string Condition(int parameter) const override;
  std::string InKeyList(int parameter) const override;
  std::string KeyListValue(std::span<const int64_t> keys) const override;

 private:
  std::string key_ = "rowid";
};

}  // namespace lumo::jet
