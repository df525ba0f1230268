#include "runtime/FormReader.h"

#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"
#include "runtime/Strings.h"

#include <algorithm>

namespace lumo {

namespace {

// Runs a call into component code and turns its errors into reading errors that name the
// line and what was being read.
template <class F>
decltype(auto) Guarded(int line, const std::string& what, F&& call) {
  try {
    return call();
  } catch (const EFilerError& error) {
    if (error.Line() != 0) throw;
    throw EFilerError(line, error.Message());
  } catch (const Exception& error) {
    throw EFilerError(line, "Error reading " + what + ": " + error.Message());
  }
}

class FormApplier {
 public:
  explicit FormApplier(TComponent& root) : root_(root) {}

  void Read(const FormObject& description) {
    StartLoading(root_);
    try {
      if (!description.name.empty() && description.name != root_.Name()) {
        Guarded(description.line, description.name, [&] { root_.SetName(description.name); });
      }
      ApplyProperties(root_, description.properties, ContextName(root_, description));
      root_.SetStateFlag(ComponentStateFlag::kReading, false);
      for (const FormObject& child : description.children) ReadChild(child, &root_);
      ResolveReferences();
    } catch (...) {
      for (TComponent* component : loaded_) EndLoading(*component);
      for (auto it = created_.rbegin(); it != created_.rend(); ++it) delete *it;
      throw;
    }
    for (TComponent* component : loaded_) EndLoading(*component);
    for (TComponent* component : loaded_) component->FinishLoading();
  }

 private:
  struct Reference {
    TObject* target;
    const PropInfo* property;
    std::string componentName;
    int line;
    std::string what;
  };

  static std::string ContextName(const TComponent& component, const FormObject& description) {
    if (!component.Name().empty()) return component.Name();
    return description.className;
  }

  void StartLoading(TComponent& component) {
    component.SetStateFlag(ComponentStateFlag::kLoading, true);
    component.SetStateFlag(ComponentStateFlag::kReading, true);
    loaded_.push_back(&component);
  }

  static void EndLoading(TComponent& component) {
    component.SetStateFlag(ComponentStateFlag::kReading, false);
    component.SetStateFlag(ComponentStateFlag::kLoading, false);
  }

  void ReadChild(const FormObject& description, TComponent* parent) {
    const ClassInfo* info = FindClass(description.className);
    if (info == nullptr) {
      throw EFilerError(description.line, "Class " + description.className + " not found");
    }
    TComponent* component = root_.FindComponent(description.name);
    if (component != nullptr) {
      bool readAlready = std::find(loaded_.begin(), loaded_.end(), component) != loaded_.end();
      if (readAlready || !SameText(component->ClassName(), description.className)) {
        throw EFilerError(description.line,
                          "A component named " + description.name + " already exists");
      }
      StartLoading(*component);
    } else {
      if (!info->CanCreate()) {
        throw EFilerError(description.line,
                          "Class " + description.className + " cannot be created");
      }
      std::string what = description.name.empty() ? description.className : description.name;
      component = Guarded(description.line, what, [&] { return info->CreateInstance(&root_); });
      created_.push_back(component);
      StartLoading(*component);
      Guarded(description.line, what, [&] { component->SetName(description.name); });
    }
    std::string context = ContextName(*component, description);
    Guarded(description.line, context, [&] { component->SetParentComponent(parent); });
    ApplyProperties(*component, description.properties, context);
    component->SetStateFlag(ComponentStateFlag::kReading, false);
    for (const FormObject& child : description.children) ReadChild(child, component);
  }

  void ApplyProperties(TObject& target, const std::vector<FormProperty>& properties,
                       const std::string& context) {
    for (const FormProperty& property : properties) ApplyProperty(target, property, context);
  }

  // Walks a dotted name through nested objects; the last part is a published property or a
  // declared stream entry of the object reached. "<list>.Strings" names a string list.
  void ApplyProperty(TObject& target, const FormProperty& property, const std::string& context) {
    std::vector<std::string> parts = Split(property.name, '.');
    TObject* object = &target;
    std::string what = context + "." + property.name;
    for (size_t i = 0; i < parts.size(); ++i) {
      bool last = i + 1 == parts.size();
      const PropInfo* info = object->ClassType().FindProperty(parts[i]);
      if (info == nullptr) {
        if (last && ReadStreamedEntry(*object, parts[i], property.value, property.line, what))
          return;
        break;
      }
      if (last) {
        AssignValue(*object, *info, property.value, property.line, what);
        return;
      }
      if (info->kind == PropKind::kStrings && i + 2 == parts.size() &&
          SameText(parts[i + 1], "Strings")) {
        AssignValue(*object, *info, property.value, property.line, what);
        return;
      }
      if (info->kind != PropKind::kPersistent) break;
      object = Guarded(property.line, what, [&] { return info->getObject(*object); });
      if (object == nullptr) throw EFilerError(property.line, "Invalid property value");
    }
    throw EFilerError(property.line, "Property " + property.name + " does not exist");
  }

  bool ReadStreamedEntry(TObject& object, const std::string& name, const FormValue& value, int line,
                         const std::string& what) {
    StreamedData data;
    Guarded(line, what, [&] { object.DeclareStreamedData(data); });
    const StreamedData::Entry* entry = data.Find(name);
    if (entry == nullptr) return false;
    if (entry->collection) {
      ReadCollection(*entry->collection, value, line, what);
    } else if (entry->reader) {
      Guarded(line, what, [&] { entry->reader(value); });
    }
    return true;
  }

  [[noreturn]] static void Invalid(int line) { throw EFilerError(line, "Invalid property value"); }

  static int MemberIndex(const PropInfo& property, const std::string& name) {
    for (size_t i = 0; i < property.members.size(); ++i) {
      if (SameText(property.members[i], name)) return static_cast<int>(i);
    }
    return -1;
  }

  void AssignValue(TObject& object, const PropInfo& property, const FormValue& value, int line,
                   const std::string& what) {
    switch (property.kind) {
      case PropKind::kBoolean: {
        if (value.kind != FormValueKind::kIdentifier) Invalid(line);
        bool flag = SameText(value.text, "True");
        if (!flag && !SameText(value.text, "False")) Invalid(line);
        Guarded(line, what, [&] { property.setOrdinal(object, flag ? 1 : 0); });
        return;
      }
      case PropKind::kInteger:
        if (value.kind != FormValueKind::kInteger || value.integer < property.minimum ||
            value.integer > property.maximum) {
          Invalid(line);
        }
        Guarded(line, what, [&] { property.setOrdinal(object, value.integer); });
        return;
      case PropKind::kFloat: {
        double number = 0;
        if (value.kind == FormValueKind::kFloat) {
          number = value.number;
        } else if (value.kind == FormValueKind::kInteger) {
          number = static_cast<double>(value.integer);
        } else {
          Invalid(line);
        }
        Guarded(line, what, [&] { property.setFloat(object, number); });
        return;
      }
      case PropKind::kString:
        if (value.kind != FormValueKind::kString) Invalid(line);
        Guarded(line, what, [&] { property.setString(object, value.text); });
        return;
      case PropKind::kStrings: {
        if (value.kind != FormValueKind::kList) Invalid(line);
        TStringList lines;
        for (const FormValue& element : value.list) {
          if (element.kind != FormValueKind::kString) Invalid(element.line);
          lines.Add(element.text);
        }
        Guarded(line, what, [&] { property.setStrings(object, lines); });
        return;
      }
      case PropKind::kEnumeration: {
        int index =
            value.kind == FormValueKind::kIdentifier ? MemberIndex(property, value.text) : -1;
        if (index < 0) Invalid(line);
        Guarded(line, what, [&] { property.setOrdinal(object, index); });
        return;
      }
      case PropKind::kSet: {
        if (value.kind != FormValueKind::kSet) Invalid(line);
        uint64_t mask = 0;
        for (const std::string& member : value.set) {
          int index = MemberIndex(property, member);
          if (index < 0 || index >= 64) Invalid(line);
          mask |= uint64_t{1} << index;
        }
        Guarded(line, what, [&] { property.setOrdinal(object, static_cast<int64_t>(mask)); });
        return;
      }
      case PropKind::kComponent:
        if (value.kind != FormValueKind::kIdentifier) Invalid(line);
        references_.push_back(Reference{&object, &property, value.text, line, what});
        return;
      case PropKind::kEvent: {
        if (value.kind != FormValueKind::kIdentifier) Invalid(line);
        const MethodInfo* method = root_.ClassType().FindMethod(value.text);
        if (method == nullptr) throw EFilerError(line, "Method " + value.text + " not found");
        if (method->signature != property.eventSignature) {
          throw EFilerError(line,
                            "Method " + value.text + " does not match the event " + property.name);
        }
        Guarded(line, what,
                [&] { property.bindHandler(object, method->name, method->bind(root_)); });
        return;
      }
      case PropKind::kPersistent: Invalid(line);
      case PropKind::kCollection: {
        CollectionAccess access =
            Guarded(line, what, [&] { return property.getCollection(object); });
        ReadCollection(access, value, line, what);
        return;
      }
    }
  }

  void ReadCollection(const CollectionAccess& access, const FormValue& value, int line,
                      const std::string& what) {
    if (value.kind != FormValueKind::kCollection) Invalid(line);
    Guarded(line, what, [&] { access.clear(); });
    for (const FormItem& item : value.items) {
      TObject& element = Guarded(item.line, what, [&]() -> TObject& { return access.add(); });
      ApplyProperties(element, item.properties, what);
    }
  }

  void ResolveReferences() {
    for (const Reference& reference : references_) {
      TComponent* found = nullptr;
      if (!root_.Name().empty() && SameText(root_.Name(), reference.componentName)) {
        found = &root_;
      } else {
        found = root_.FindComponent(reference.componentName);
      }
      if (found == nullptr) {
        throw EFilerError(reference.line, "Component " + reference.componentName + " not found");
      }
      bool accepted = Guarded(reference.line, reference.what, [&] {
        return reference.property->setComponent(*reference.target, found);
      });
      if (!accepted) Invalid(reference.line);
    }
  }

  TComponent& root_;
  std::vector<TComponent*> loaded_;   // the root and every component read, in creation order
  std::vector<TComponent*> created_;  // the components this read created
  std::vector<Reference> references_;
};

}  // namespace

void ReadComponent(std::string_view text, TComponent& root) {
  ReadComponent(ParseFormText(text), root);
}

void ReadComponent(const FormObject& description, TComponent& root) {
  if (!SameText(description.className, root.ClassName())) {
    throw EFilerError(description.line, "Class " + description.className +
                                            " does not match the root class " + root.ClassName());
  }
  FormApplier(root).Read(description);
}

std::unique_ptr<TComponent> ReadRootComponent(std::string_view text) {
  FormObject description = ParseFormText(text);
  const ClassInfo* info = FindClass(description.className);
  if (info == nullptr) {
    throw EFilerError(description.line, "Class " + description.className + " not found");
  }
  if (!info->CanCreate()) {
    throw EFilerError(description.line, "Class " + description.className + " cannot be created");
  }
  std::string what = description.name.empty() ? description.className : description.name;
  std::unique_ptr<TComponent> root(
      Guarded(description.line, what, [&] { return info->CreateInstance(nullptr); }));
  ReadComponent(description, *root);
  return root;
}

}  // namespace lumo
