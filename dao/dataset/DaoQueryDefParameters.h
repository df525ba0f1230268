#pragma once
// The parameters of a stored query definition, as a dataset hands them to the engine before
// it opens the query and reads them back afterwards.

#include "jet/Collection.h"
#include "jet/Parameter.h"
#include "runtime/Strings.h"
#include "runtime/Variant.h"

namespace lumo {

// Gives every parameter that takes input (Direction 1 or 3), in collection order, the next
// line of `lines`: the exact text "NULL" is Null, any other line is passed as text for the
// engine to convert. Output parameters take no line; lines beyond the inputs are ignored.
// Raises EDatabaseError "TLumoDaoTable.OpenDaoRecordset: Invalid number of QueryDef
// parameters or parameter is not in valid format!" when a line is missing or the engine
// refuses a value.
void BindQueryDefParameters(jet::Collection<jet::Parameter>& parameters, const TStrings& lines);

// What the parameters that give output (Direction 2, 3 or 4) hold after the query ran:
//   none          Null;
//   one           that parameter's Value;
//   k of them     an array with the bounds 0 .. k: element j is the Value of the j-th output
//                 parameter in collection order (inputs between them take no element), and
//                 element k stays Empty.
// Counting by output order rather than by collection position keeps every output value,
// wherever the procedure puts its inputs. An engine error while reading ends the
// collection; what was gathered until then is answered.
Variant CollectOutputParameters(jet::Collection<jet::Parameter>& parameters);

}  // namespace lumo
