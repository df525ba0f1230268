#include "jet/sqlite/SqliteRowIdentity.h"

#include <string>

namespace lumo::jet {

std::string SqliteRowIdentity::Condition(int parameter) const { return "rowid = ?" + std::to_string(parameter); }

std::string SqliteRowIdentity::InKeyList(int parameter) const {
  return "rowid IN (SELECT value FROM json_each(?" + std::to_string(parameter) + "))";
}

std::string SqliteRowIdentity::KeyListValue(std::span<const int64_t> keys) const {
  std::string json = "[";
  for (const int64_t key : keys) {
    if (json.size() > 1) json += ',';
    json += std::to_string(key);
  }
  json += ']';
  return json;
}

namespace storage {

std::shared_ptr<const RowIdentity> FileRowIdentity() {
  static const std::shared_ptr<const RowIdentity> identity = std::make_shared<SqliteRowIdentity>();
  return identity;
}

}  // namespace storage

}  // namespace lumo::jet
