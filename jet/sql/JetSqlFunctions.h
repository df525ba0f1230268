#pragma once
// The functions of Jet SQL and the SQLite functions that carry them out.
//
// The catalogue says, for every function a Jet statement may call, how the translator emits
// it: as a built-in SQLite function where that behaves as Jet's does, as one of our
// functions ("jet_...") where it does not, or as a CASE form (IIf, Switch, Choose, IsNull).
// Names outside the catalogue answer DAO error 3085 (Undefined function), as the
// Access-only functions (Nz, DLookup, ...) do through plain DAO.
//
// RegisterJetFunctions installs our functions, operators (&, +, Mod, \, Like, ...) and
// aggregates (First, Last, StDev, Var ...) on a connection; the engine calls it on every
// connection it opens, before preparing translated text. They work on the stored forms:
// dates as the fixed-width text, Booleans as -1/0. A function that fails reports
// "jet error <number>: <text>", which MapSqliteError turns back into the DAO error
// (3464 type mismatch, 5 invalid argument, 6 overflow, 11 division by zero, 93 bad Like
// pattern).

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "jet/JetTypes.h"

struct sqlite3;

namespace lumo::jet {

enum class FunctionRole {
  kScalar,     // sqliteName(args)
  kAggregate,  // sqliteName(args), or count(*) for Count(*)
  kIIf,        // CASE WHEN a THEN b ELSE c END
  kSwitch,     // CASE WHEN c1 THEN v1 ... END
  kChoose,     // CASE i WHEN 1 THEN a ... END
  kIsNull,     // -(x IS NULL)
  kIdentity,   // the argument itself (CVar)
};

// JetFunctionInfo::resultType: a DAO type, or one of these.
inline constexpr int kResultDecided = 0;            // by the translator's own rule (IIf, Sum ...)
inline constexpr int kResultOfArgument = -1;        // the first argument's type (Min, Max, CVar)
inline constexpr int kResultNumberOfArgument = -2;  // that type when it is a number, else Double
inline constexpr int kResultTextOfArgument = -3;    // Text, or Memo for a Memo argument

struct JetFunctionInfo {
  const char* jetName;  // upper case
  const char* sqliteName;
  int minArgs;
  int maxArgs;
  FunctionRole role;
  bool numericResult;  // always a number (lets + stay a plain SQLite +)
  int resultType;      // the DAO type of the result (see above)
};

// The catalogue entry for a function name (any case; a trailing "$" is ignored); nullptr
// when Jet SQL has no such function.
const JetFunctionInfo* FindJetFunction(std::string_view name);

// The whole catalogue, in no particular order.
std::span<const JetFunctionInfo> JetFunctionCatalogue();

// Registers every "jet_..." function of the catalogue and the operators on the connection,
// and turns off SQLite's reading of unknown "names" as string literals, so that an unknown
// name reaches the engine as "no such column" (a parameter, for Jet). Returns an SQLite
// result code.
int RegisterJetFunctions(sqlite3* db);

// Registers jet_identity(), which @@IDENTITY becomes: the value behind `identity`, the
// counter of the last row a database added, whichever of its connections asks. Returns an
// SQLite result code.
int RegisterIdentityFunction(sqlite3* db, std::shared_ptr<const int64_t> identity);

}  // namespace lumo::jet
