#pragma once
// Property objects: the built-in properties every engine object reports by name, and the
// user-defined ones (Format, Caption, Description, ...) that callers create and append. The
// latter are kept in the database's MSysProperties table so that they outlive the session.
//
// Properties.Item with an unknown name answers 3270 "Property not found.".

#include <functional>
#include <memory>
#include <string>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class Property : public DaoObject {
 public:
  using Getter = std::function<Variant()>;
  using Setter = std::function<void(const Variant&)>;  // empty: read-only (3219 on write)

  // A user-defined property (Inherited false) holding its own value.
  Property(std::string name, int type, Variant value);
  // A built-in property whose value lives in its object.
  Property(std::string name, int type, Getter getter, Setter setter = {});

  const std::string& Name() const { return name_; }
  int Type() const { return type_; }
  bool Inherited() const { return false; }
  bool IsBuiltIn() const { return static_cast<bool>(getter_); }
  Variant Value() const;
  void SetValue(const Variant& value);

  // Called when a stored property's value changes, so its owner can save it.
  std::function<void(const Property&)> onChange;

 private:
  std::string name_;
  int type_;
  Variant value_;
  Getter getter_;
  Setter setter_;
};

// The Properties collection of one object. Appending stores a user-defined property through
// the owner's hook (MSysProperties); built-ins cannot be deleted.
class PropertyCollection : public Collection<Property> {
 public:
  PropertyCollection() : Collection<Property>("DAO.Properties", 3270) {}

  std::shared_ptr<Property> CreateProperty(const std::string& name, int type, const Variant& value) const;
  void AddBuiltIn(std::shared_ptr<Property> property) { Add(std::move(property)); }
  void Append(std::shared_ptr<Property> property) override;
  void Delete(std::string_view name) override;

  // Hooks of the owner: persist a user-defined property, remove it.
  std::function<void(const Property&)> onStore;
  std::function<void(const std::string&)> onRemove;
};

}  // namespace lumo::jet
