#pragma once
// A field's DefaultValue as the engine understands it, apart from how a back-end stores it.
// DAO shows and takes the Jet text ("\"abc\"", "0", "#1/15/2003#", "Now()", "GenUniqueID()");
// a back-end turns the parsed form into a default of its own that fills the column on every
// insert, its other clients' included, and reads its stored defaults back into the parsed
// form (sqlite/SqliteFieldDefault.h for SQLite).

#include <string>
#include <string_view>

#include "jet/JetTypes.h"

namespace lumo::jet {

struct FieldDefault {
  enum class Kind {
    kNone,
    kText,        // a value in its stored form: dates fixed-width text, GUIDs braced
    kExpression,  // a number ("-12", "-1" for True), or any other expression a file holds
    kFunction,    // one of kFieldDefaultFunctions
  };
  Kind kind = Kind::kNone;
  std::string value;  // kFunction: the function as DAO shows it ("Now()")
};

// The functions a DefaultValue may call, each as DAO shows it: a back-end has an expression
// for each.
inline constexpr const char* kFieldDefaultFunctions[] = {"Now()", "Date()", "Time()", "GenUniqueID()", "GenGUID()"};

// The DefaultValue text parsed for a field of `type`: one literal, a signed number, a truth
// word or a call of one of the functions. Raises 3075 for any other text.
FieldDefault ParseFieldDefault(std::string_view jetDefault, const JetFieldType& type);

// The Jet text DAO shows for a default of a field of `type` (dates as #m/d/yyyy#, texts in
// double quotes, truth values of Yes/No fields as True/False); empty for none.
std::string FieldDefaultText(const FieldDefault& value, const JetFieldType& type);

}  // namespace lumo::jet
