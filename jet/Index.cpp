#include "jet/Index.h"

#include "jet/DaoErrors.h"

namespace lumo::jet {

namespace {

constexpr int kInvalidOperation = 3219;
constexpr int kMaxIndexFields = 10;

// An index's fields: changeable only while the index is not part of a table.
class IndexFields : public Collection<Field> {
 public:
  explicit IndexFields(const bool& frozen) : Collection<Field>("DAO.Index"), frozen_(frozen) {}

  void Append(std::shared_ptr<Field> field) override {
    if (frozen_) RaiseDaoError(kInvalidOperation, {}, "DAO.Index");
    if (Count() >= kMaxIndexFields) RaiseDaoError(kDaoTooManyIndexFields, {}, "DAO.Index");
    if (!field) RaiseDaoError(3001, {}, "DAO.Index");
    if (Find(field->Name())) RaiseDaoError(3367, {}, "DAO.Index");
    field->AdoptAsIndexField();
    Collection<Field>::Append(std::move(field));
  }
  void Delete(std::string_view name) override {
    if (frozen_) RaiseDaoError(kInvalidOperation, {}, "DAO.Index");
    Collection<Field>::Delete(name);
  }

 private:
  const bool& frozen_;
};

}  // namespace

Index::Index(std::string name) : DaoObject("DAO.Index"), name_(std::move(name)) {}

void Index::CheckChangeable() const {
  CheckValid();
  if (frozen_) Raise(kInvalidOperation);
}

void Index::SetName(const std::string& name) {
  CheckChangeable();
  if (name.empty() || name.size() > 64) Raise(3001);
  name_ = name;
}

void Index::SetPrimary(bool primary) {
  CheckChangeable();
  primary_ = primary;
}

void Index::SetUnique(bool unique) {
  CheckChangeable();
  unique_ = unique;
}

void Index::SetRequired(bool required) {
  CheckChangeable();
  required_ = required;
}

void Index::SetIgnoreNulls(bool ignoreNulls) {
  CheckChangeable();
  ignoreNulls_ = ignoreNulls;
}

Collection<Field>& Index::Fields() {
  CheckValid();
  if (!fields_) fields_ = std::make_unique<IndexFields>(frozen_);
  return *fields_;
}

std::shared_ptr<Field> Index::CreateField(const std::string& name) {
  CheckValid();
  JetFieldType type;
  type.attributes = 0;
  auto field = std::make_shared<Field>(name, type);
  field->MarkIndexField();
  return field;
}

PropertyCollection& Index::Properties() {
  CheckValid();
  if (!properties_) {
    properties_ = std::make_unique<PropertyCollection>();
    auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
      properties_->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
    };
    add(
        "Name", dbText, [this] { return Variant(name_); }, [this](const Variant& v) { SetName(v.AsString()); });
    add(
        "Primary", dbBoolean, [this] { return Variant(Primary()); },
        [this](const Variant& v) { SetPrimary(v.AsBoolean()); });
    add(
        "Unique", dbBoolean, [this] { return Variant(Unique()); },
        [this](const Variant& v) { SetUnique(v.AsBoolean()); });
    add(
        "Required", dbBoolean, [this] { return Variant(Required()); },
        [this](const Variant& v) { SetRequired(v.AsBoolean()); });
    add(
        "IgnoreNulls", dbBoolean, [this] { return Variant(IgnoreNulls()); },
        [this](const Variant& v) { SetIgnoreNulls(v.AsBoolean()); });
    add("Foreign", dbBoolean, [this] { return Variant(foreign_); });
    add("Clustered", dbBoolean, [] { return Variant(false); });
  }
  return *properties_;
}

}  // namespace lumo::jet
