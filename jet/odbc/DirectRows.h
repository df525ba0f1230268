#pragma once
// The row engine of a direct connection's recordsets (engine-internal): the rows of one
// statement of the server's SQL, read as the cursor needs them.
//
//   kForward   steps the statement; only the current row is held
//   kSnapshot  keeps every row read, as read
//   kKeyed     keeps the primary key of every row read and reads the row again by it each
//              time the cursor lands on it (false from Load, 3167 for the caller, when another
//              session deleted it); rows this recordset adds join at the end
//   kLive      kKeyed, and when the cursor reaches the end the statement runs again: rows
//              other sessions added since join at the end (dynamic recordsets)
//
// Row keys: the primary key's number in the plan's PrimaryKeyMap for kKeyed and kLive (what the row
// writer and the row reader take), the row's position otherwise.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/RecordSource.h"

namespace lumo::jet::odbc {

class OdbcStatement;

enum class DirectMode { kForward, kSnapshot, kKeyed, kLive };

// What a recordset runs: the server's SQL and the statement's limits.
struct DirectQuery {
  std::string sql;
  int maxRows = 0;              // 0: all
  int timeout = 0;              // seconds; 0: none
  std::vector<int> keyColumns;  // kKeyed: the result columns of the primary key, in key order
};

// Runs the query's statement again (kLive), ready to step.
using StatementMaker = std::function<std::unique_ptr<OdbcStatement>()>;

std::unique_ptr<RecordSource> MakeDirectRows(std::shared_ptr<DatabaseFile> file, ShapePtr shape, DirectMode mode,
                                             std::unique_ptr<OdbcStatement> statement, const DirectQuery& query,
                                             StatementMaker again = {});

}  // namespace lumo::jet::odbc
