#pragma once
// A query parameter: Name, Value (Null until set), Type (declared type, or dbText for an
// undeclared name), Direction (always input for the file engine). A parameter never given a
// value makes OpenRecordset and Execute answer 3061.

#include <string>

#include "runtime/Variant.h"
#include "jet/DaoConstants.h"
#include "jet/DaoObject.h"
#include "jet/JetTypes.h"

namespace lumo::jet {

class Parameter : public DaoObject {
 public:
  Parameter(std::string name, int type)
      : DaoObject("DAO.Parameter"), name_(std::move(name)), type_(type) {}

  const std::string& Name() const { return name_; }
  int Type() const { return type_; }
  int Direction() const { return dbParamInput; }
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& value) {
    CheckValid();
    value_ = value;
    set_ = true;
  }
  bool IsSet() const { return set_; }

 private:
  std::string name_;
  int type_;
  Variant value_ = Variant::Null();
  bool set_ = false;
};

}  // namespace lumo::jet
