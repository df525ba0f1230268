#include "jet/Relation.h"

#include "jet/Catalogue.h"
#include "jet/DaoErrors.h"

namespace lumo::jet {

namespace {

constexpr int kInvalidOperation = 3219;
constexpr const char* kSource = "DAO.Relation";

// A relation's fields: changeable only until the relation is appended.
class RelationFields : public Collection<Field> {
 public:
  explicit RelationFields(const bool& appended) : Collection<Field>(kSource), appended_(appended) {}

  void Append(std::shared_ptr<Field> field) override {
    if (appended_) RaiseDaoError(kInvalidOperation, {}, kSource);
    if (!field || field->Name().empty()) RaiseDaoError(kDaoInvalidArgument, {}, kSource);
    Collection<Field>::Append(std::move(field));
  }
  void Delete(std::string_view name) override {
    if (appended_) RaiseDaoError(kInvalidOperation, {}, kSource);
    Collection<Field>::Delete(name);
  }
  using Collection<Field>::Add;

 private:
  const bool& appended_;
};

}  // namespace

Relation::Relation(std::string name, std::string table, std::string foreignTable, int attributes)
    : DaoObject(kSource),
      name_(std::move(name)),
      table_(std::move(table)),
      foreignTable_(std::move(foreignTable)),
      attributes_(attributes) {}

Relation::~Relation() = default;

void Relation::CheckChangeable() const {
  CheckValid();
  if (appended_) Raise(kInvalidOperation);
}

void Relation::SetName(const std::string& name) {
  CheckChangeable();
  if (name.empty() || name.size() > 64) Raise(kDaoInvalidArgument);
  name_ = name;
}

void Relation::SetTable(const std::string& table) {
  CheckChangeable();
  table_ = table;
}

void Relation::SetForeignTable(const std::string& table) {
  CheckChangeable();
  foreignTable_ = table;
}

void Relation::SetAttributes(int attributes) {
  CheckChangeable();
  attributes_ = attributes;
}

Collection<Field>& Relation::Fields() {
  CheckValid();
  if (!fields_) fields_ = std::make_unique<RelationFields>(appended_);
  return *fields_;
}

std::shared_ptr<Field> Relation::CreateField(const std::string& name) {
  CheckValid();
  return std::make_shared<Field>(name, JetFieldType{});
}

std::shared_ptr<Relation> Relation::FromInfo(const RelationInfo& info) {
  auto relation = std::make_shared<Relation>(info.name, info.table, info.foreignTable, info.attributes);
  auto& fields = static_cast<RelationFields&>(relation->Fields());
  for (size_t i = 0; i < info.fields.size(); ++i) {
    auto field = std::make_shared<Field>(info.fields[i], JetFieldType{});
    field->SetForeignName(i < info.foreignFields.size() ? info.foreignFields[i] : std::string());
    field->Freeze();
    fields.Add(std::move(field));
  }
  relation->MarkAppended();
  return relation;
}

RelationInfo Relation::Design() {
  CheckValid();
  RelationInfo info;
  info.name = name_;
  info.table = table_;
  info.foreignTable = foreignTable_;
  info.attributes = attributes_;
  for (const auto& field : Fields()) {
    info.fields.push_back(field->Name());
    info.foreignFields.push_back(field->ForeignName());
  }
  return info;
}

void Relation::MarkAppended() {
  appended_ = true;
  if (fields_) {
    for (const auto& field : *fields_) field->Freeze();
  }
}

}  // namespace lumo::jet
