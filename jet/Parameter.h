#pragma once
// A query parameter: Name, Value (Null until set), Type (declared type, or dbText for an
// undeclared name), Direction. A parameter never given a value makes OpenRecordset and
// Execute answer 3061.
//
// Value converts what it is given to the parameter's type at once, as DAO does, so a value
// the type cannot take is refused where it is assigned: 3421 "Data type conversion error."
// (3349 for a number out of range), and the parameter keeps its previous value.
//
// Direction is dbParamInput for the file engine's parameters and cannot be changed there
// (3251 for any other direction; 3001 for a value that is no direction at all). A source
// whose procedures have output parameters makes its parameters with other directions
// allowed: the query definitions of ODBC direct connections, whose "?" markers are their
// parameters. After the definition ran, its output, input/output and return-value
// parameters hold what the server gave back, typed as the server typed it.

#include <string>

#include "jet/DaoConstants.h"
#include "jet/DaoObject.h"
#include "jet/JetTypes.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class Parameter : public DaoObject {
 public:
  // `otherDirections`: the source can run the parameter as output, input/output or return
  // value.
  Parameter(std::string name, int type, int direction = dbParamInput, bool otherDirections = false);

  const std::string& Name() const { return name_; }
  int Type() const { return type_; }
  int Direction() const { return direction_; }
  void SetDirection(int direction);
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& value);
  bool IsSet() const { return set_; }

  // Engine side: the value a parameter of the same name had before its query's text changed.
  // Converted where it can be; otherwise kept as it was, and opening the query answers 3060.
  void CarryOver(const Variant& value);
  // Engine side: what a server's procedure gave back for an output, input/output or
  // return-value parameter, with the type the server gave it.
  void TakeResult(int type, Variant value);

 private:
  std::string name_;
  int type_;
  int direction_;
  bool otherDirections_;
  Variant value_ = Variant::Null();
  bool set_ = false;
};

}  // namespace lumo::jet
