#pragma once
// One entry of DBEngine.Errors, as DaoErrors raised it.

#include <string>

#include "jet/DaoErrors.h"

namespace lumo::jet {

class Error {
 public:
  explicit Error(DaoErrorInfo info) : info_(std::move(info)) {}

  int Number() const { return info_.number; }
  const std::string& Source() const { return info_.source; }
  const std::string& Description() const { return info_.description; }
  const std::string& HelpFile() const { return info_.helpFile; }
  int HelpContext() const { return info_.helpContext; }
  // The collection looks items up by name; errors have none.
  std::string Name() const { return {}; }

 private:
  DaoErrorInfo info_;
};

}  // namespace lumo::jet
