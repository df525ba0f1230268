#include "runtime/ClassInfo.h"

#include <mutex>

namespace lumo {

// ---------------------------------------------------------------------------------------------
// ClassInfo

bool ClassInfo::InheritsFrom(const ClassInfo& other) const noexcept {
  for (const ClassInfo* info = this; info != nullptr; info = info->parent_) {
    if (info == &other) return true;
  }
  return false;
}

TComponent* ClassInfo::CreateInstance(TComponent* owner) const {
  if (!factory_) throw EComponentError("Cannot create an instance of " + className_);
  return factory_(owner);
}

const PropInfo* ClassInfo::FindProperty(std::string_view name) const noexcept {
  for (const PropInfo& property : properties_) {
    if (SameText(property.name, name)) return &property;
  }
  return nullptr;
}

const MethodInfo* ClassInfo::FindMethod(std::string_view name) const noexcept {
  for (const MethodInfo& method : methods_) {
    if (SameText(method.name, name)) return &method;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// StreamedData

void StreamedData::DefineProperty(std::string name, Reader reader, Writer writer, HasData hasData) {
  Entry entry;
  entry.name = std::move(name);
  entry.reader = std::move(reader);
  entry.writer = std::move(writer);
  entry.hasData = std::move(hasData);
  entries_.push_back(std::move(entry));
}

const StreamedData::Entry* StreamedData::Find(std::string_view name) const noexcept {
  for (const Entry& entry : entries_) {
    if (SameText(entry.name, name)) return &entry;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Registry. Registration normally happens at start-up, but the registry is process-wide, so
// it is guarded.

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const ClassInfo*> classes;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterClass(const ClassInfo& info) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (const ClassInfo* known : registry.classes) {
    if (!SameText(known->ClassName(), info.ClassName())) continue;
    if (known == &info) return;
    throw EComponentError("A class named " + info.ClassName() + " already exists");
  }
  registry.classes.push_back(&info);
}

const ClassInfo* FindClass(std::string_view className) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (const ClassInfo* known : registry.classes) {
    if (SameText(known->ClassName(), className)) return known;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Run-time property access

namespace {

const PropInfo& RequireProperty(const TObject& object, std::string_view name) {
  const PropInfo* property = GetPropInfo(object, name);
  if (property == nullptr) {
    throw EPropertyError("Property " + std::string(name) + " does not exist");
  }
  return *property;
}

void RequireKind(const PropInfo& property, bool matches) {
  if (!matches) throw EPropertyError("Invalid property type: " + property.name);
}

bool IsOrdinal(PropKind kind) {
  return kind == PropKind::kBoolean || kind == PropKind::kInteger ||
         kind == PropKind::kEnumeration || kind == PropKind::kSet;
}

}  // namespace

const PropInfo* GetPropInfo(const TObject& object, std::string_view name) {
  return object.ClassType().FindProperty(name);
}

std::string GetStrProp(TObject& object, std::string_view name) {
  return GetStrProp(object, RequireProperty(object, name));
}

void SetStrProp(TObject& object, std::string_view name, const std::string& value) {
  SetStrProp(object, RequireProperty(object, name), value);
}

std::string GetStrProp(TObject& object, const PropInfo& property) {
  RequireKind(property, property.kind == PropKind::kString);
  return property.getString(object);
}

void SetStrProp(TObject& object, const PropInfo& property, const std::string& value) {
  RequireKind(property, property.kind == PropKind::kString);
  property.setString(object, value);
}

int64_t GetOrdProp(TObject& object, std::string_view name) {
  const PropInfo& property = RequireProperty(object, name);
  RequireKind(property, IsOrdinal(property.kind));
  return property.getOrdinal(object);
}

void SetOrdProp(TObject& object, std::string_view name, int64_t value) {
  const PropInfo& property = RequireProperty(object, name);
  RequireKind(property, IsOrdinal(property.kind));
  property.setOrdinal(object, value);
}

double GetFloatProp(TObject& object, std::string_view name) {
  const PropInfo& property = RequireProperty(object, name);
  RequireKind(property, property.kind == PropKind::kFloat);
  return property.getFloat(object);
}

void SetFloatProp(TObject& object, std::string_view name, double value) {
  const PropInfo& property = RequireProperty(object, name);
  RequireKind(property, property.kind == PropKind::kFloat);
  property.setFloat(object, value);
}

}  // namespace lumo
