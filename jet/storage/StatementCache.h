#pragma once
// Prepared statements kept by their SQL text, so that every hot path prepares its statement
// once and reuses it. A statement comes back reset, with its bindings cleared.

#include <memory>
#include <string>
#include <unordered_map>

#include "jet/storage/Connection.h"
#include "jet/storage/Statement.h"

namespace lumo::jet::storage {

class StatementCache {
 public:
  Statement& Get(Connection& connection, const std::string& sql);
  void Clear() noexcept { statements_.clear(); }

 private:
  std::unordered_map<std::string, std::unique_ptr<Statement>> statements_;
};

}  // namespace lumo::jet::storage
