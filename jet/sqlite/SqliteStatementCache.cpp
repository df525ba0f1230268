#include "jet/sqlite/SqliteStatementCache.h"

namespace lumo::jet {

SqliteStatement& SqliteStatementCache::Get(const SqliteConnection& connection, const std::string& sql) {
  auto found = statements_.find(sql);
  if (found == statements_.end()) {
    found = statements_.emplace(sql, std::make_unique<SqliteStatement>(connection, sql)).first;
  } else {
    found->second->Reset();
    found->second->ClearBindings();
  }
  return *found->second;
}

}  // namespace lumo::jet
