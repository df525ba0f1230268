#pragma once
// Jet's functions and operators in PostgreSQL's own SQL, written inline into the statement
// (the server needs no functions of ours): the forms behind PostgresSqlDialect::EngineCall.
//
// The translator names each call by the engine's function (jet_left, jet_concat, jet_like,
// ...; SQL's count, sum, length, trim ...; min and max of two values) and hands over the
// operands' SQL texts with what it knows of their types. The server's types are strict where
// the engine's file back-end has none, so the forms cast where Jet would convert: text for
// text functions and &, timestamp for date functions, numbers for arithmetic; a Yes/No column
// (the server's boolean) reads as -1/0 wherever a number is wanted.
//
// Text compares without regard to case as Jet's does: Like becomes a case-insensitive
// regular expression match, InStr and StrComp compare lowered texts unless asked for a binary
// comparison. Functions without a form here (IsDate, Oct, WeekdayName, Format with a named or
// computed format, DateAdd with an interval that is not a literal ...) answer nullopt.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/storage/SqlDialect.h"

namespace lumo::jet::odbc {

std::optional<std::string> PostgresEngineCall(std::string_view name, const std::vector<storage::SqlOperand>& operands);

// A Jet Like pattern as a regular expression of the server ("^(?:...)$"); nullopt for a
// pattern Jet refuses (an unclosed "[", a descending range).
std::optional<std::string> PostgresLikeRegex(std::string_view pattern);

// A Format text for dates ("yyyy-mm-dd hh:nn", "dd.mm.yy", "mmmm d") or numbers ("0.00",
// "#,##0") as a to_char pattern of the server; nullopt for anything else.
std::optional<std::string> PostgresDateFormat(std::string_view format);
std::optional<std::string> PostgresNumberFormat(std::string_view format);

}  // namespace lumo::jet::odbc
