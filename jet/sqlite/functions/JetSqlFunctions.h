#pragma once
// The engine's own SQL functions on an SQLite connection.
//
// RegisterJetFunctions installs our functions, operators (&, +, Mod, \, Like, ...) and
// aggregates (First, Last, StDev, Var ...) on a connection; the engine calls it on every
// connection it opens, before preparing translated text. The translator knows them from its
// catalogue (jet/sql/JetFunctionCatalogue.h). They work on the stored forms: dates as the
// fixed-width text, Booleans as -1/0. A function that fails reports "jet error <number>:
// <text>", which the error mapping turns back into the DAO error (3464 type mismatch, 5
// invalid argument, 6 overflow, 11 division by zero, 93 bad Like pattern).

#include <cstdint>
#include <memory>

#include "jet/sql/JetFunctionCatalogue.h"

struct sqlite3;

namespace lumo::jet {

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
