#include "jet/PrimaryKeyMap.h"

#include <bit>
#include <functional>
#include <string_view>

namespace lumo::jet {

PrimaryKeyMap::PrimaryKeyMap(std::vector<std::string> columns) : columns_(std::move(columns)) {
  for (const std::string& column : columns_) {
    if (!columnList_.empty()) columnList_ += ", ";
    columnList_ += QuoteName(column);
  }
}

size_t PrimaryKeyMap::ValuesHash::operator()(const std::vector<StoredValue>& values) const noexcept {
  size_t hash = values.size();
  for (const StoredValue& value : values) {
    size_t part = static_cast<size_t>(value.type);
    switch (value.type) {
      case ColumnType::Integer: part ^= std::hash<int64_t>()(value.integer); break;
      case ColumnType::Float: part ^= std::hash<uint64_t>()(std::bit_cast<uint64_t>(value.real)); break;
      case ColumnType::Text:
      case ColumnType::Blob: part ^= std::hash<std::string_view>()(value.bytes); break;
      case ColumnType::Null: break;
    }
    hash = hash * 31 + part;
  }
  return hash;
}

RowKey PrimaryKeyMap::KeyOf(std::vector<StoredValue> values, bool* isNew) {
  auto found = keyOf_.find(values);
  if (isNew) *isNew = found == keyOf_.end();
  if (found != keyOf_.end()) return found->second;
  const auto key = static_cast<RowKey>(values_.size());
  keyOf_.emplace(values, key);
  values_.push_back(std::move(values));
  return key;
}

void PrimaryKeyMap::Renew(RowKey key, std::vector<StoredValue> values) {
  std::vector<StoredValue>& held = values_[static_cast<size_t>(key)];
  if (held == values) return;
  Release(key);
  keyOf_[values] = key;
  held = std::move(values);
}

void PrimaryKeyMap::Release(RowKey key) {
  auto found = keyOf_.find(values_[static_cast<size_t>(key)]);
  if (found != keyOf_.end() && found->second == key) keyOf_.erase(found);
}

std::string PrimaryKeyMap::Condition(int firstParameter) const {
  std::string condition;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (i > 0) condition += " AND ";
    condition += QuoteName(columns_[i]) + " = ?" + std::to_string(firstParameter + static_cast<int>(i));
  }
  return condition;
}

void PrimaryKeyMap::Bind(storage::Statement& statement, RowKey key, int firstParameter) const {
  const std::vector<StoredValue>& values = values_[static_cast<size_t>(key)];
  for (size_t i = 0; i < values.size(); ++i) values[i].Bind(statement, firstParameter + static_cast<int>(i));
}

std::string RowCondition(const QueryPlan& plan, int firstParameter) {
  if (plan.primaryKey) return plan.primaryKey->Condition(firstParameter);
  return plan.identity->Condition(firstParameter);
}

const std::string& QueryPlan::RowKeyExpression() const {
  static const std::string kNone;
  return identity ? identity->KeyExpression() : kNone;
}

void BindRowKey(const QueryPlan& plan, storage::Statement& statement, RowKey key, int firstParameter) {
  if (plan.primaryKey) {
    plan.primaryKey->Bind(statement, key, firstParameter);
  } else {
    statement.BindInt64(firstParameter, key);
  }
}

}  // namespace lumo::jet
