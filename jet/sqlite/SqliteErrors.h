#pragma once
// SQLite failures as DAO errors: the SQLite back-end's error mapper. Constraint, lock,
// read-only, format and I/O failures map by SQLite's result codes (the extended code first,
// then the primary one). SQLite reports every failure to prepare a statement with the one
// code SQLITE_ERROR, and what failed (an unknown table, a duplicate column, a syntax error
// near a token) only in its message; those map through a table of the messages' fixed parts.
// The engine's own functions and triggers report DAO errors as "jet error <number>: <text>"
// (FunctionErrorMessage), which keep their number whatever the code.

#include <optional>
#include <string>
#include <string_view>

#include "jet/DaoErrors.h"
#include "jet/storage/ErrorMapper.h"

struct sqlite3;

namespace lumo::jet {

using SqliteErrorContext = storage::ErrorContext;

// Maps an SQLite extended result code and message to the DAO error, always with DAO's text;
// a failure with no DAO counterpart answers 3000 "Reserved error (<SQLite code>); ...".
// SQLite's own message is kept as the record's detail; a name SQLite could not resolve in a
// query comes back in unknownName.
DaoErrorInfo MapSqliteError(int extendedCode, std::string_view message, const SqliteErrorContext& context = {});
[[noreturn]] void RaiseSqliteError(int extendedCode, std::string_view message, const SqliteErrorContext& context = {});

// The name in SQLite's "no such column: X" message ("t.c" for a qualified name); nullopt
// for any other message.
std::optional<std::string> NoSuchColumnName(std::string_view sqliteMessage);

// Raises the DAO error that an SQLite failure stands for, with SQLite's message as detail.
// `fileName` names the file for open failures; otherwise the connection's own file name is used.
[[noreturn]] void RaiseSqliteFailure(sqlite3* db, int resultCode, const std::string& fileName = {});

class SqliteErrorMapper final : public storage::ErrorMapper {
 public:
  DaoErrorInfo Map(int code, std::string_view message, const storage::ErrorContext& context) const override {
    return MapSqliteError(code, message, context);
  }
};

}  // namespace lumo::jet
