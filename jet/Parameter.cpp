#include "jet/Parameter.h"

#include "jet/DaoErrors.h"
#include "jet/ValueCodec.h"
#include "runtime/Exceptions.h"

namespace lumo::jet {

Parameter::Parameter(std::string name, int type, int direction, bool otherDirections)
    : DaoObject("DAO.Parameter"),
      name_(std::move(name)),
      type_(type),
      direction_(direction),
      otherDirections_(otherDirections) {}

void Parameter::SetDirection(int direction) {
  CheckValid();
  if (direction < dbParamInput || direction > dbParamReturnValue) Raise(kDaoInvalidArgument);
  if (direction != dbParamInput && !otherDirections_) Raise(3251);
  direction_ = direction;
}

void Parameter::SetValue(const Variant& value) {
  CheckValid();
  Variant converted = value;
  if (value.IsEmpty()) {
    converted = Variant::Null();
  } else if (!value.IsNull()) {
    if (type_ == dbText || type_ == dbMemo || type_ == dbChar) {
      // Text parameters take any value's text; their length is the statement's business.
      if (!value.IsArray()) converted = Variant(VarToStr(value));
    } else {
      JetFieldType type;
      type.type = type_;
      try {
        converted = ConvertFieldValue(value, type, name_);
      } catch (const EOleException& error) {
        Raise(static_cast<int>(error.ErrorCode()));
      }
    }
  }
  value_ = std::move(converted);
  set_ = true;
}

void Parameter::TakeResult(int type, Variant value) {
  type_ = type;
  value_ = std::move(value);
  set_ = true;
}

void Parameter::CarryOver(const Variant& value) {
  try {
    SetValue(value);
  } catch (const EOleException&) {
    value_ = value;
    set_ = true;
  }
}

}  // namespace lumo::jet
