#pragma once
// The functions of Jet SQL as the translator sees them.
//
// The catalogue says, for every function a Jet statement may call, how the translator emits
// it: as a built-in SQL function where that behaves as Jet's does, as one of the engine's own
// functions ("jet_...", which each back-end registers on its connections) where it does not,
// or as a CASE form (IIf, Switch, Choose, IsNull). Names outside the catalogue answer DAO
// error 3085 (Undefined function), as the Access-only functions (Nz, DLookup, ...) do through
// plain DAO.

#include <span>
#include <string_view>

#include "jet/JetTypes.h"

namespace lumo::jet {

enum class FunctionRole {
  kScalar,     // backEndName(args)
  kAggregate,  // backEndName(args), or count(*) for Count(*)
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
  const char* jetName;      // upper case
  const char* backEndName;  // jet_... (ours) or the SQL built-in; empty for CASE forms
  int minArgs;
  int maxArgs;
  FunctionRole role;
  bool numericResult;  // always a number (lets + stay the plain SQL +)
  int resultType;      // the DAO type of the result (see above)
};

// The catalogue entry for a function name (any case; a trailing "$" is ignored); nullptr
// when Jet SQL has no such function.
const JetFunctionInfo* FindJetFunction(std::string_view name);

// The whole catalogue, in no particular order.
std::span<const JetFunctionInfo> JetFunctionCatalogue();

}  // namespace lumo::jet
