#pragma once
// Index objects: Name, Primary, Unique, Required, IgnoreNulls, Foreign, Fields. Read/write
// until appended; appending to an appended table's Indexes creates the index in the file
// (3283 for a second primary key, 3284 for a name in use, 3277 beyond ten fields, 3264
// without fields, 3022 when unique data is not).

#include <memory>
#include <string>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "jet/Field.h"
#include "jet/Property.h"

namespace lumo::jet {

class Index : public DaoObject {
 public:
  explicit Index(std::string name);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  bool Primary() const { return primary_; }
  void SetPrimary(bool primary);
  bool Unique() const { return unique_ || primary_; }
  void SetUnique(bool unique);
  bool Required() const { return required_; }
  void SetRequired(bool required);
  bool IgnoreNulls() const { return ignoreNulls_; }
  void SetIgnoreNulls(bool ignoreNulls);
  // True for the index the engine keeps on a relation's foreign side.
  bool Foreign() const { return foreign_; }

  Collection<Field>& Fields();
  std::shared_ptr<Field> CreateField(const std::string& name);

  PropertyCollection& Properties();

  // Engine side: the index exists in a file; its properties are fixed from now on.
  void Freeze() { frozen_ = true; }
  void MarkForeign() { foreign_ = true; }
  bool IsFrozen() const { return frozen_; }

 private:
  void CheckChangeable() const;

  std::string name_;
  bool primary_ = false;
  bool unique_ = false;
  bool required_ = false;
  bool ignoreNulls_ = false;
  bool foreign_ = false;
  bool frozen_ = false;
  std::unique_ptr<Collection<Field>> fields_;
  std::unique_ptr<PropertyCollection> properties_;
};

}  // namespace lumo::jet
