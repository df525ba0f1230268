#pragma once
// ODBC failures as DAO errors: the ODBC back-end's error mapper. ODBC reports a failure as
// diagnostic records, each with a five-character SQLSTATE (the server's own codes pass
// through it: PostgreSQL's 23505 is a unique violation on every server language) and the
// driver's message, which names the server's. The mapping goes by the SQLSTATE of the first
// record; the messages of all records are kept as the error's detail.
//
//   open failures (any SQLSTATE while connecting)      3151 "ODBC--connection to '<dsn>' failed."
//   23505 unique violation                              3022
//   23503 foreign key violation                         3201 for the row that refers, 3200 for
//                                                       the row referred to (delete or key change)
//   23502 null in a NOT NULL column                     3314
//   22001 value too long for the column                 3163, the server's message after DAO's
//   40001 40P01 55P03 serialisation, deadlock, lock     3218 (3260 when the holder is known)
//   25006 write in a read-only session                  3027
//   42P01 unknown table                                 3078 (3376 for DDL)
//   42703 unknown column                                3070, the name as unknownName
//   57014 HYT00 HYT01 statement or connection time-out  3146 "ODBC--call failed."
//   anything else, lost connections (08xxx) included    3146
//
// The number stands for what DAO programs test; the detail carries what the server said, so
// that a person reading the error learns why.

#include <sql.h>

#include <string>
#include <string_view>

#include "jet/DaoErrors.h"
#include "jet/storage/ErrorMapper.h"

namespace lumo::jet::odbc {

inline constexpr int kDaoOdbcCallFailed = 3146;
inline constexpr int kDaoOdbcConnectFailed = 3151;

// A SQLSTATE as the int the ErrorMapper interface takes (base 36 over its five characters, plus one),
// and back; a text that is no SQLSTATE gives 0 and "" respectively.
int SqlStateCode(std::string_view state);
std::string SqlStateText(int code);

// What the failing statement did, for the failures whose DAO number depends on it.
enum class StatementVerb { Unknown, Insert, Update, Delete, Other };
StatementVerb VerbOf(std::string_view sql);

class OdbcErrorMapper final : public storage::ErrorMapper {
 public:
  DaoErrorInfo Map(int code, std::string_view message, const storage::ErrorContext& context) const override;
  DaoErrorInfo MapFailure(std::string_view state, std::string_view message, StatementVerb verb,
                          const storage::ErrorContext& context) const;
};

// The diagnostic records of a failed call on `handle`: the SQLSTATE of the first and the
// messages of all, one per line.
struct Diagnostics {
  std::string state;
  std::string message;
};
Diagnostics ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Raises the DAO error for the failure of a call on `handle`. With the `session` the call ran
// on, a session the server has ended says so, whatever the driver's own words for the call
// that found it out (an internal savepoint, a fetch).
[[noreturn]] void RaiseOdbcFailure(SQLSMALLINT handleType, SQLHANDLE handle, StatementVerb verb,
                                   const storage::ErrorContext& context, SQLHDBC session = SQL_NULL_HDBC);

}  // namespace lumo::jet::odbc
