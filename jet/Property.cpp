#include "jet/Property.h"

#include "jet/DaoErrors.h"

namespace lumo::jet {

namespace {
constexpr int kInvalidOperation = 3219;
}

Property::Property(std::string name, int type, Variant value)
    : DaoObject("DAO.Property"), name_(std::move(name)), type_(type), value_(std::move(value)) {}

Property::Property(std::string name, int type, Getter getter, Setter setter)
    : DaoObject("DAO.Property"),
      name_(std::move(name)),
      type_(type),
      getter_(std::move(getter)),
      setter_(std::move(setter)) {}

Variant Property::Value() const {
  CheckValid();
  return getter_ ? getter_() : value_;
}

void Property::SetValue(const Variant& value) {
  CheckValid();
  if (getter_) {
    if (!setter_) Raise(kInvalidOperation);
    setter_(value);
    return;
  }
  Variant previous = value_;
  value_ = value;
  if (onChange) {
    try {
      onChange(*this);
    } catch (...) {
      // Not stored: the object keeps what the database keeps.
      value_ = std::move(previous);
      throw;
    }
  }
}

std::shared_ptr<Property> PropertyCollection::CreateProperty(const std::string& name, int type,
                                                             const Variant& value) const {
  return std::make_shared<Property>(name, type, value);
}

void PropertyCollection::Append(std::shared_ptr<Property> property) {
  if (!property || property->Name().empty()) RaiseDaoError(3001, {}, "DAO.Properties");
  if (property->IsBuiltIn()) RaiseDaoError(kInvalidOperation, {}, "DAO.Properties");
  if (Find(property->Name())) RaiseDaoError(3367, {}, "DAO.Properties");
  if (onStore) onStore(*property);
  // Later changes of the value go to the database as well.
  if (onStore) property->onChange = onStore;
  Add(std::move(property));
}

void PropertyCollection::Delete(std::string_view name) {
  std::shared_ptr<Property> property = Find(name);
  if (!property) RaiseDaoError(3270, {}, "DAO.Properties");
  if (property->IsBuiltIn()) RaiseDaoError(kInvalidOperation, {}, "DAO.Properties");
  if (onRemove) onRemove(property->Name());
  Remove(property.get());
}

}  // namespace lumo::jet
