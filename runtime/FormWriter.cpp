#include "runtime/FormWriter.h"

#include "runtime/ClassInfo.h"

#include <algorithm>
#include <map>

namespace lumo {

namespace {

void DescribeProperties(TObject& object, const std::string& prefix, std::vector<FormProperty>& out);

FormValue DescribeCollection(const CollectionAccess& access) {
  std::vector<FormItem> items;
  int count = access.count();
  for (int i = 0; i < count; ++i) {
    FormItem item;
    DescribeProperties(access.item(i), "", item.properties);
    items.push_back(std::move(item));
  }
  return FormValue::Collection(std::move(items));
}

void Emit(std::vector<FormProperty>& out, std::string name, FormValue value) {
  FormProperty property;
  property.name = std::move(name);
  property.value = std::move(value);
  out.push_back(std::move(property));
}

void DescribeProperties(TObject& object, const std::string& prefix,
                        std::vector<FormProperty>& out) {
  for (const PropInfo& property : object.ClassType().Properties()) {
    if (!property.stored) continue;
    std::string name = prefix + property.name;
    switch (property.kind) {
      case PropKind::kBoolean: {
        int64_t value = property.getOrdinal(object);
        if (value != property.defaultOrdinal)
          Emit(out, name, FormValue::Identifier(value ? "True" : "False"));
        break;
      }
      case PropKind::kInteger: {
        int64_t value = property.getOrdinal(object);
        if (value != property.defaultOrdinal) Emit(out, name, FormValue::Integer(value));
        break;
      }
      case PropKind::kFloat: {
        double value = property.getFloat(object);
        if (value != property.defaultFloat) Emit(out, name, FormValue::Float(value));
        break;
      }
      case PropKind::kString: {
        std::string value = property.getString(object);
        if (value != property.defaultString) Emit(out, name, FormValue::String(std::move(value)));
        break;
      }
      case PropKind::kStrings: {
        const TStrings& lines = property.getStrings(object);
        if (lines.Count() == 0) break;
        std::vector<FormValue> values;
        for (int i = 0; i < lines.Count(); ++i) values.push_back(FormValue::String(lines.Get(i)));
        Emit(out, name + ".Strings", FormValue::List(std::move(values)));
        break;
      }
      case PropKind::kEnumeration: {
        int64_t value = property.getOrdinal(object);
        if (value == property.defaultOrdinal) break;
        if (value >= 0 && value < static_cast<int64_t>(property.members.size())) {
          Emit(out, name, FormValue::Identifier(property.members[static_cast<size_t>(value)]));
        } else {
          Emit(out, name, FormValue::Integer(value));  // not a member: the reader will refuse it
        }
        break;
      }
      case PropKind::kSet: {
        uint64_t mask = static_cast<uint64_t>(property.getOrdinal(object));
        if (mask == static_cast<uint64_t>(property.defaultOrdinal)) break;
        std::vector<std::string> members;
        for (size_t i = 0; i < property.members.size() && i < 64; ++i) {
          if (mask & (uint64_t{1} << i)) members.push_back(property.members[i]);
        }
        Emit(out, name, FormValue::Set(std::move(members)));
        break;
      }
      case PropKind::kComponent: {
        TComponent* component = property.getComponent(object);
        if (component != nullptr && !component->Name().empty()) {
          Emit(out, name, FormValue::Identifier(component->Name()));
        }
        break;
      }
      case PropKind::kEvent: {
        std::string handler = property.getHandlerName(object);
        if (!handler.empty()) Emit(out, name, FormValue::Identifier(std::move(handler)));
        break;
      }
      case PropKind::kPersistent: {
        TObject* nested = property.getObject(object);
        if (nested != nullptr) DescribeProperties(*nested, name + ".", out);
        break;
      }
      case PropKind::kCollection: {
        CollectionAccess access = property.getCollection(object);
        if (access.count() > 0) Emit(out, name, DescribeCollection(access));
        break;
      }
    }
  }
  StreamedData data;
  object.DeclareStreamedData(data);
  for (const StreamedData::Entry& entry : data.Entries()) {
    if (!entry.hasData || !entry.hasData()) continue;
    if (entry.collection) {
      Emit(out, prefix + entry.name, DescribeCollection(*entry.collection));
    } else if (entry.writer) {
      Emit(out, prefix + entry.name, entry.writer());
    }
  }
}

class TreeBuilder {
 public:
  explicit TreeBuilder(TComponent& root) : root_(root) {
    // Nest a component in the object of its parent component when that parent is another
    // component of the root; everything else sits at the top level.
    for (int i = 0; i < root.ComponentCount(); ++i) {
      TComponent* component = root.Components(i);
      TComponent* parent = component->GetParentComponent();
      if (parent == nullptr || parent == &root || parent == component || parent->Owner() != &root) {
        parent = &root;
      }
      children_[parent].push_back(component);
    }
  }

  FormObject Build() {
    FormObject object = Describe(root_);
    // Components whose parents form a cycle were never reached: keep them at the top level.
    for (int i = 0; i < root_.ComponentCount(); ++i) {
      TComponent* component = root_.Components(i);
      if (std::find(written_.begin(), written_.end(), component) == written_.end()) {
        object.children.push_back(Describe(*component));
      }
    }
    return object;
  }

 private:
  FormObject Describe(TComponent& component) {
    written_.push_back(&component);
    FormObject object;
    object.name = component.Name();
    object.className = component.ClassName();
    DescribeProperties(component, "", object.properties);
    auto found = children_.find(&component);
    if (found != children_.end()) {
      for (TComponent* child : found->second) {
        if (std::find(written_.begin(), written_.end(), child) != written_.end()) continue;
        object.children.push_back(Describe(*child));
      }
    }
    return object;
  }

  TComponent& root_;
  std::map<TComponent*, std::vector<TComponent*>> children_;
  std::vector<TComponent*> written_;
};

}  // namespace

FormObject DescribeComponent(TComponent& root) { return TreeBuilder(root).Build(); }

std::string WriteComponent(TComponent& root) { return FormatFormText(DescribeComponent(root)); }

}  // namespace lumo
