#include "runtime/Component.h"

#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

// ---------------------------------------------------------------------------------------------
// TObject

const ClassInfo& TObject::StaticClass() {
  static const ClassInfo info = ClassBuilder<TObject>("TObject", nullptr);
  return info;
}

const ClassInfo& TObject::ClassType() const { return StaticClass(); }

const std::string& TObject::ClassName() const { return ClassType().ClassName(); }

bool TObject::InheritsFrom(const ClassInfo& info) const { return ClassType().InheritsFrom(info); }

void TObject::DeclareStreamedData(StreamedData& /*data*/) {}

// ---------------------------------------------------------------------------------------------
// TComponent

const ClassInfo& TComponent::StaticClass() {
  // The name is written in the object's header line, never as a property.
  static const ClassInfo info = ClassBuilder<TComponent>("TComponent", &TObject::StaticClass)
                                    .String("Name", &TComponent::Name, &TComponent::SetName)
                                    .NotStored()
                                    .Integer("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
  return info;
}

const ClassInfo& TComponent::ClassType() const { return StaticClass(); }

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  MarkDestroying();
  // Tell everyone who holds a pointer to this component; each link is removed on both sides
  // first, so that a component told here cannot be told twice.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& back = other->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->NotifyComponentChange(this, Operation::kRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) {
    throw EComponentError("'" + name + "' is not a valid component name");
  }
  if (owner_ != nullptr && !name.empty()) {
    TComponent* existing = owner_->FindComponent(name);
    if (existing != nullptr && existing != this) {
      throw EComponentError("A component named " + name + " already exists");
    }
  }
  name_ = name;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) {
    throw EComponentError(Format("Component index out of bounds (%d)", index));
  }
  return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* component : components_) {
    if (SameText(component->name_, name)) return component;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr || component->owner_ == this) return;
  if (!component->name_.empty() && FindComponent(component->name_) != nullptr) {
    throw EComponentError("A component named " + component->name_ + " already exists");
  }
  if (component->owner_ != nullptr) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  if (HasState(ComponentStateFlag::kDesigning)) {
    component->SetStateFlag(ComponentStateFlag::kDesigning, true);
  }
  NotifyComponentChange(component, Operation::kInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->owner_ != this) return;
  Unlink(component);
  if (!HasState(ComponentStateFlag::kDestroying)) {
    NotifyComponentChange(component, Operation::kRemove);
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    Unlink(last);
    delete last;
  }
}

void TComponent::SetStateFlag(ComponentStateFlag flag, bool on) {
  if (flag == ComponentStateFlag::kDestroying) return;
  uint32_t bit = static_cast<uint32_t>(flag);
  state_ = on ? (state_ | bit) : (state_ & ~bit);
  if (flag == ComponentStateFlag::kDesigning) {
    for (TComponent* component : components_) component->SetStateFlag(flag, on);
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
    freeNotifies_.push_back(component);
  }
  auto& back = component->freeNotifies_;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                      freeNotifies_.end());
  auto& back = component->freeNotifies_;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::FinishLoading() {}

void TComponent::NotifyComponentChange(TComponent* /*component*/, Operation /*operation*/) {}

TComponent* TComponent::GetParentComponent() const { return nullptr; }

void TComponent::SetParentComponent(TComponent* /*parent*/) {}

void TComponent::MarkDestroying() {
  state_ |= static_cast<uint32_t>(ComponentStateFlag::kDestroying);
  for (TComponent* component : components_) component->MarkDestroying();
}

void TComponent::Unlink(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  component->owner_ = nullptr;
}

}  // namespace lumo
