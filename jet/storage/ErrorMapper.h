#pragma once
// Turns a back-end failure into the DAO error a DAO program tests for. Each back-end maps by its
// own result codes (and, where a back-end gives one code to many failures, by what it names in
// the failure); the object model sees only the DaoErrorInfo that comes out, with the back-end's
// own message kept as the record's detail.

#include <string>
#include <string_view>

#include "jet/DaoErrors.h"

namespace lumo::jet::storage {

// What the engine knows about the failed call, so that the mapping can fill in names.
struct ErrorContext {
  bool ddl = false;      // the statement changed the schema (an unknown table answers 3376, not 3078)
  std::string table;     // the table the statement works on, when known
  std::string fileName;  // the database, for open failures
  std::string lockUser;  // who holds a lock, when known (3260 instead of 3218)
  std::string lockMachine;
  std::string source = "DAO.Database";
};

class ErrorMapper {
 public:
  virtual ~ErrorMapper() = default;

  // The DAO error for the back-end's result `code` (its most precise form) and `message`.
  // Never fails: a failure without a DAO counterpart answers 3000, naming the code. When the
  // back-end reports a name it cannot resolve in a query, the result's unknownName holds it
  // (Jet takes such a name for a parameter).
  virtual DaoErrorInfo Map(int code, std::string_view message, const ErrorContext& context) const = 0;
};

}  // namespace lumo::jet::storage
