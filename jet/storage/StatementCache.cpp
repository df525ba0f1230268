#include "jet/storage/StatementCache.h"

namespace lumo::jet::storage {

Statement& StatementCache::Get(Connection& connection, const std::string& sql) {
  auto found = statements_.find(sql);
  if (found == statements_.end()) {
    found = statements_.emplace(sql, connection.Prepare(sql)).first;
  } else {
    found->second->Reset();
    found->second->ClearBindings();
  }
  return *found->second;
}

}  // namespace lumo::jet::storage
