#pragma once
// Published properties, handler methods and the class registry: the run-time type information
// that form descriptions are read and written with.
//
// Every class with published properties has one ClassInfo, built once by a ClassBuilder and
// answered by the class's StaticClass() (and by ClassType() of its objects):
//
//   const ClassInfo& TMyTable::StaticClass() {
//     static const ClassInfo info =
//         ClassBuilder<TMyTable>("TMyTable", &TComponent::StaticClass)
//             .Boolean("ReadOnly", &TMyTable::ReadOnly, &TMyTable::SetReadOnly, false)
//             .String("TableName", &TMyTable::TableName, &TMyTable::SetTableName)
//             .Strings("SQL", &TMyTable::SQL, &TMyTable::SetSQL)
//             .Component("Database", &TMyTable::Database, &TMyTable::SetDatabase)
//             .Event("OnFilterRecord", &TMyTable::OnFilterRecord);
//     return info;
//   }
//
// Getters and setters are member functions (or data members, or callables taking the object
// first); their types are checked when the table is built. A table starts with its parent's
// properties; declaring a property of the same name again replaces the inherited one in place.
// Properties keep declaration order, which is the order they are written in.
//
// Handler methods: a form class registers the methods that events of its form description
// may name (.Method("FormCreate", &Tfmain::FormCreate)); an event binds only to a method of
// exactly the event's signature.
//
// Registry: RegisterClass makes a class creatable by name for the form reader.
// Errors: EPropertyError from the run-time property access functions.

#include "runtime/Component.h"
#include "runtime/FormText.h"
#include "runtime/StrUtils.h"
#include "runtime/Strings.h"

#include <any>
#include <bitset>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

namespace lumo {

class EPropertyError : public Exception {
 public:
  using Exception::Exception;
};

enum class PropKind {
  kBoolean,
  kInteger,
  kFloat,
  kString,
  kStrings,      // a string list; written as <Name>.Strings = ( ... )
  kEnumeration,  // an ordinal with member names
  kSet,          // a bit mask over member names (member n is bit n)
  kComponent,    // a reference to another component, written by name
  kEvent,        // written as the name of the handler method
  kPersistent,   // a nested object with its own table, written as dotted names
  kCollection,   // items with their own table, written in angle brackets
};

// Access to one collection object: its items are TObjects with a table of their own.
struct CollectionAccess {
  std::function<int()> count;
  std::function<TObject&(int index)> item;
  std::function<TObject&()> add;
  std::function<void()> clear;
};

// One published property. Only the accessors of the property's kind are set.
struct PropInfo {
  std::string name;
  PropKind kind = PropKind::kInteger;
  bool stored = true;          // false: never written
  int64_t defaultOrdinal = 0;  // kBoolean (0/1), kInteger, kEnumeration, kSet (mask)
  double defaultFloat = 0;     // kFloat
  std::string defaultString;   // kString
  int64_t minimum = std::numeric_limits<int64_t>::min();  // kInteger: the setter type's range
  int64_t maximum = std::numeric_limits<int64_t>::max();
  std::vector<std::string> members;               // kEnumeration, kSet
  std::type_index eventSignature = typeid(void);  // kEvent

  std::function<int64_t(TObject&)> getOrdinal;  // kBoolean, kInteger, kEnumeration, kSet
  std::function<void(TObject&, int64_t)> setOrdinal;
  std::function<double(TObject&)> getFloat;
  std::function<void(TObject&, double)> setFloat;
  std::function<std::string(TObject&)> getString;
  std::function<void(TObject&, const std::string&)> setString;
  std::function<const TStrings&(TObject&)> getStrings;
  std::function<void(TObject&, const TStrings&)> setStrings;
  std::function<TComponent*(TObject&)> getComponent;
  // Answers false when the component is not of the property's class.
  std::function<bool(TObject&, TComponent*)> setComponent;
  std::function<std::string(TObject&)> getHandlerName;
  // Binds a handler (a std::function of eventSignature, held in the std::any) under its name.
  std::function<void(TObject&, const std::string&, const std::any&)> bindHandler;
  std::function<TObject*(TObject&)> getObject;  // kPersistent; nullptr when absent
  std::function<CollectionAccess(TObject&)> getCollection;
};

// A handler method of a form class, bindable to events of that signature.
struct MethodInfo {
  std::string name;
  std::type_index signature = typeid(void);
  // A std::function of the signature that calls the method on the given root object.
  std::function<std::any(TObject& root)> bind;
};

class ClassInfo {
 public:
  using Factory = std::function<TComponent*(TComponent* owner)>;

  const std::string& ClassName() const noexcept { return className_; }
  const ClassInfo* Parent() const noexcept { return parent_; }
  bool InheritsFrom(const ClassInfo& other) const noexcept;
  // Whether instances can be created by name (component classes that are not abstract).
  bool CanCreate() const noexcept { return static_cast<bool>(factory_); }
  // Creates an instance owned by `owner`; raises EComponentError when CanCreate() is false.
  TComponent* CreateInstance(TComponent* owner) const;

  const std::vector<PropInfo>& Properties() const noexcept { return properties_; }
  // Case-insensitive; nullptr when there is none.
  const PropInfo* FindProperty(std::string_view name) const noexcept;
  const std::vector<MethodInfo>& Methods() const noexcept { return methods_; }
  const MethodInfo* FindMethod(std::string_view name) const noexcept;

 private:
  template <class T>
  friend class ClassBuilder;

  std::string className_;
  const ClassInfo* parent_ = nullptr;
  Factory factory_;
  std::vector<PropInfo> properties_;
  std::vector<MethodInfo> methods_;
};

// Extra stream entries a TObject declares in DeclareStreamedData.
class StreamedData {
 public:
  using Reader = std::function<void(const FormValue& value)>;
  using Writer = std::function<FormValue()>;
  using HasData = std::function<bool()>;

  struct Entry {
    std::string name;
    Reader reader;
    Writer writer;
    HasData hasData;                             // written only when it answers true
    std::optional<CollectionAccess> collection;  // set for DefineCollection entries
  };

  // An entry read and written as a raw value.
  void DefineProperty(std::string name, Reader reader, Writer writer, HasData hasData);
  // An entry holding a collection (see ClassBuilder::Collection for what C must offer),
  // written when hasData answers true, by default when the collection has items.
  template <class C>
  void DefineCollection(std::string name, C& collection, HasData hasData = nullptr);

  const Entry* Find(std::string_view name) const noexcept;
  const std::vector<Entry>& Entries() const noexcept { return entries_; }

 private:
  std::vector<Entry> entries_;
};

namespace class_detail {

template <class S>
struct SetterArg : SetterArg<decltype(&S::operator())> {};  // callables: (T&, value)
template <class L, class R, class O, class A>
struct SetterArg<R (L::*)(O, A) const> {
  using type = std::decay_t<A>;
};
template <class L, class R, class O, class A>
struct SetterArg<R (L::*)(O, A)> {
  using type = std::decay_t<A>;
};
template <class C, class R, class A>
struct SetterArg<R (C::*)(A)> {
  using type = std::decay_t<A>;
};
template <class C, class R, class A>
struct SetterArg<R (C::*)(A) noexcept> {
  using type = std::decay_t<A>;
};
template <class C, class M>
requires(!std::is_function_v<M>) struct SetterArg<M C::*> {
  using type = M;
};

template <class M>
struct MethodTraits;
template <class C, class R, class... Args>
struct MethodTraits<R (C::*)(Args...)> {
  using Class = C;
  using Signature = R(Args...);
};
template <class C, class R, class... Args>
struct MethodTraits<R (C::*)(Args...) const> {
  using Class = C;
  using Signature = R(Args...);
};
template <class C, class R, class... Args>
struct MethodTraits<R (C::*)(Args...) noexcept> {
  using Class = C;
  using Signature = R(Args...);
};

template <class V>
decltype(auto) Deref(V&& value) {
  if constexpr (std::is_pointer_v<std::remove_reference_t<V>>) {
    return *value;
  } else {
    return std::forward<V>(value);
  }
}

template <class V>
auto* AddressOf(V&& value) {
  if constexpr (std::is_pointer_v<std::remove_cvref_t<V>>) {
    return value;
  } else {
    return &value;
  }
}

template <class S, class T, class V>
void InvokeSetter(const S& setter, T& object, V&& value) {
  if constexpr (std::is_member_object_pointer_v<S>) {
    object.*setter = std::forward<V>(value);
  } else {
    std::invoke(setter, object, std::forward<V>(value));
  }
}

template <class V>
struct IsBitset : std::false_type {};
template <size_t N>
struct IsBitset<std::bitset<N>> : std::true_type {};

template <class V>
uint64_t ToMask(const V& value) {
  if constexpr (IsBitset<V>::value) {
    return static_cast<uint64_t>(value.to_ullong());
  } else {
    static_assert(std::is_integral_v<V>, "a set property holds an integer mask or a std::bitset");
    return static_cast<uint64_t>(value);
  }
}

template <class V>
V FromMask(uint64_t mask) {
  if constexpr (IsBitset<V>::value) {
    return V(static_cast<unsigned long long>(mask));
  } else {
    return static_cast<V>(mask);
  }
}

template <class C>
CollectionAccess MakeCollectionAccess(C& collection) {
  C* target = &collection;
  CollectionAccess access;
  access.count = [target] { return static_cast<int>(target->Count()); };
  access.item = [target](int index) -> TObject& { return Deref(target->Items(index)); };
  access.add = [target]() -> TObject& { return Deref(target->Add()); };
  access.clear = [target] { target->Clear(); };
  return access;
}

}  // namespace class_detail

template <class C>
void StreamedData::DefineCollection(std::string name, C& collection, HasData hasData) {
  Entry entry;
  entry.name = std::move(name);
  entry.collection = class_detail::MakeCollectionAccess(collection);
  C* target = &collection;
  entry.hasData = hasData ? std::move(hasData) : HasData([target] { return target->Count() > 0; });
  entries_.push_back(std::move(entry));
}

template <class T>
class ClassBuilder {
 public:
  // `parent` answers the parent class's table (nullptr only for the root of the hierarchy).
  ClassBuilder(std::string className, const ClassInfo& (*parent)()) {
    info_.className_ = std::move(className);
    if (parent != nullptr) {
      info_.parent_ = &parent();
      info_.properties_ = info_.parent_->properties_;
      info_.methods_ = info_.parent_->methods_;
    }
    if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                  std::is_constructible_v<T, TComponent*>) {
      info_.factory_ = [](TComponent* owner) -> TComponent* { return new T(owner); };
    }
  }

  template <class G, class S>
  ClassBuilder& Boolean(std::string name, G getter, S setter, bool defaultValue) {
    static_assert(std::is_convertible_v<std::invoke_result_t<const G&, T&>, bool>);
    PropInfo& property = Add(std::move(name), PropKind::kBoolean);
    property.defaultOrdinal = defaultValue ? 1 : 0;
    property.getOrdinal = [getter](TObject& object) -> int64_t {
      return std::invoke(getter, Self(object)) ? 1 : 0;
    };
    property.setOrdinal = [setter](TObject& object, int64_t value) {
      class_detail::InvokeSetter(setter, Self(object), value != 0);
    };
    return *this;
  }

  template <class G, class S>
  ClassBuilder& Integer(std::string name, G getter, S setter, int64_t defaultValue = 0) {
    using Value = typename class_detail::SetterArg<S>::type;
    static_assert(std::is_integral_v<Value>, "an integer property's setter takes an integer");
    static_assert(std::is_convertible_v<std::invoke_result_t<const G&, T&>, int64_t>);
    PropInfo& property = Add(std::move(name), PropKind::kInteger);
    property.defaultOrdinal = defaultValue;
    if constexpr (std::is_signed_v<Value>) {
      property.minimum = std::numeric_limits<Value>::min();
    } else {
      property.minimum = 0;
    }
    if constexpr (sizeof(Value) < sizeof(int64_t) || std::is_signed_v<Value>) {
      property.maximum = static_cast<int64_t>(std::numeric_limits<Value>::max());
    }
    property.getOrdinal = [getter](TObject& object) -> int64_t {
      return static_cast<int64_t>(std::invoke(getter, Self(object)));
    };
    property.setOrdinal = [setter](TObject& object, int64_t value) {
      class_detail::InvokeSetter(setter, Self(object), static_cast<Value>(value));
    };
    return *this;
  }

  template <class G, class S>
  ClassBuilder& Float(std::string name, G getter, S setter, double defaultValue = 0) {
    static_assert(std::is_convertible_v<std::invoke_result_t<const G&, T&>, double>);
    PropInfo& property = Add(std::move(name), PropKind::kFloat);
    property.defaultFloat = defaultValue;
    property.getFloat = [getter](TObject& object) -> double {
      return static_cast<double>(std::invoke(getter, Self(object)));
    };
    property.setFloat = [setter](TObject& object, double value) {
      using Value = typename class_detail::SetterArg<S>::type;
      class_detail::InvokeSetter(setter, Self(object), static_cast<Value>(value));
    };
    return *this;
  }

  template <class G, class S>
  ClassBuilder& String(std::string name, G getter, S setter, std::string defaultValue = {}) {
    static_assert(std::is_convertible_v<std::invoke_result_t<const G&, T&>, std::string>);
    PropInfo& property = Add(std::move(name), PropKind::kString);
    property.defaultString = std::move(defaultValue);
    property.getString = [getter](TObject& object) -> std::string {
      return std::invoke(getter, Self(object));
    };
    property.setString = [setter](TObject& object, const std::string& value) {
      class_detail::InvokeSetter(setter, Self(object), value);
    };
    return *this;
  }

  // A string list; the getter answers a TStrings (reference or pointer), the setter takes
  // const TStrings&. Without a setter, reading assigns into the list the getter answers.
  template <class G, class S>
  ClassBuilder& Strings(std::string name, G getter, S setter) {
    PropInfo& property = Add(std::move(name), PropKind::kStrings);
    property.getStrings = StringsGetter(getter);
    property.setStrings = [setter](TObject& object, const TStrings& value) {
      class_detail::InvokeSetter(setter, Self(object), value);
    };
    return *this;
  }
  template <class G>
  ClassBuilder& Strings(std::string name, G getter) {
    PropInfo& property = Add(std::move(name), PropKind::kStrings);
    property.getStrings = StringsGetter(getter);
    property.setStrings = [getter](TObject& object, const TStrings& value) {
      TStrings& target = class_detail::Deref(std::invoke(getter, Self(object)));
      target.Assign(value);
    };
    return *this;
  }

  // An enumeration: the value is an enum (or integer) whose ordinals index `members`.
  template <class G, class S, class E>
  ClassBuilder& Enumeration(std::string name, G getter, S setter, std::vector<std::string> members,
                            E defaultValue) {
    using Value = typename class_detail::SetterArg<S>::type;
    PropInfo& property = Add(std::move(name), PropKind::kEnumeration);
    property.members = std::move(members);
    property.defaultOrdinal = static_cast<int64_t>(defaultValue);
    property.getOrdinal = [getter](TObject& object) -> int64_t {
      return static_cast<int64_t>(std::invoke(getter, Self(object)));
    };
    property.setOrdinal = [setter](TObject& object, int64_t value) {
      class_detail::InvokeSetter(setter, Self(object), static_cast<Value>(value));
    };
    return *this;
  }

  // A set: the value is an unsigned integer mask or a std::bitset; member n is bit n.
  template <class G, class S>
  ClassBuilder& Set(std::string name, G getter, S setter, std::vector<std::string> members,
                    uint64_t defaultMask = 0) {
    using Value = typename class_detail::SetterArg<S>::type;
    PropInfo& property = Add(std::move(name), PropKind::kSet);
    property.members = std::move(members);
    property.defaultOrdinal = static_cast<int64_t>(defaultMask);
    property.getOrdinal = [getter](TObject& object) -> int64_t {
      using Got = std::remove_cvref_t<std::invoke_result_t<const G&, T&>>;
      return static_cast<int64_t>(class_detail::ToMask<Got>(std::invoke(getter, Self(object))));
    };
    property.setOrdinal = [setter](TObject& object, int64_t mask) {
      class_detail::InvokeSetter(setter, Self(object),
                                 class_detail::FromMask<Value>(static_cast<uint64_t>(mask)));
    };
    return *this;
  }

  // A component reference: the setter takes a pointer to the referenced class; a component
  // of another class is refused when the reference is read.
  template <class G, class S>
  ClassBuilder& Component(std::string name, G getter, S setter) {
    using Pointer = typename class_detail::SetterArg<S>::type;
    static_assert(
        std::is_pointer_v<Pointer> && std::is_base_of_v<TComponent, std::remove_pointer_t<Pointer>>,
        "a component property's setter takes a pointer to a component class");
    PropInfo& property = Add(std::move(name), PropKind::kComponent);
    property.getComponent = [getter](TObject& object) -> TComponent* {
      return std::invoke(getter, Self(object));
    };
    property.setComponent = [setter](TObject& object, TComponent* component) {
      Pointer target = nullptr;
      if (component != nullptr) {
        target = dynamic_cast<Pointer>(component);
        if (target == nullptr) return false;
      }
      class_detail::InvokeSetter(setter, Self(object), target);
      return true;
    };
    return *this;
  }

  // An event member of type E (an Event<Signature>).
  template <class E, class C>
  ClassBuilder& Event(std::string name, E C::*member) {
    static_assert(std::is_base_of_v<C, T>);
    using Function = typename E::Function;
    PropInfo& property = Add(std::move(name), PropKind::kEvent);
    property.eventSignature = typeid(typename E::Signature);
    property.getHandlerName = [member](TObject& object) -> std::string {
      return (Self(object).*member).HandlerName();
    };
    property.bindHandler = [member](TObject& object, const std::string& handlerName,
                                    const std::any& function) {
      (Self(object).*member).Bind(handlerName, std::any_cast<const Function&>(function));
    };
    return *this;
  }

  // A nested object with its own table; the getter answers it (reference or pointer).
  template <class G>
  ClassBuilder& Persistent(std::string name, G getter) {
    using Result = std::invoke_result_t<const G&, T&>;
    static_assert(std::is_reference_v<Result> || std::is_pointer_v<Result>,
                  "a nested object is answered by reference or pointer");
    PropInfo& property = Add(std::move(name), PropKind::kPersistent);
    property.getObject = [getter](TObject& object) -> TObject* {
      return class_detail::AddressOf(std::invoke(getter, Self(object)));
    };
    return *this;
  }

  // A collection; the getter answers an object (reference or pointer) offering Count(),
  // Items(index) and Add() (each item a TObject, by reference or pointer) and Clear(). Items
  // must keep their addresses while the collection grows: references inside items are
  // resolved after the whole description was read.
  template <class G>
  ClassBuilder& Collection(std::string name, G getter) {
    PropInfo& property = Add(std::move(name), PropKind::kCollection);
    property.getCollection = [getter](TObject& object) -> CollectionAccess {
      return class_detail::MakeCollectionAccess(
          class_detail::Deref(std::invoke(getter, Self(object))));
    };
    return *this;
  }

  // A handler method that events in this class's form descriptions may name.
  template <class M>
  ClassBuilder& Method(std::string name, M method) {
    using Traits = class_detail::MethodTraits<M>;
    static_assert(std::is_base_of_v<typename Traits::Class, T>);
    MethodInfo info;
    info.name = std::move(name);
    info.signature = typeid(typename Traits::Signature);
    info.bind = [method](TObject& root) -> std::any {
      return BindMethod(method, &Self(root), static_cast<typename Traits::Signature*>(nullptr));
    };
    for (MethodInfo& existing : info_.methods_) {
      if (SameText(existing.name, info.name)) {
        existing = std::move(info);
        return *this;
      }
    }
    info_.methods_.push_back(std::move(info));
    return *this;
  }

  // The property declared last is never written.
  ClassBuilder& NotStored() {
    if (last_ < info_.properties_.size()) info_.properties_[last_].stored = false;
    return *this;
  }

  ClassInfo Build() const { return info_; }
  // Lets a table be written as one expression ending in the builder, which it empties: the
  // table moves into place instead of being copied with every property's accessors.
  operator ClassInfo() { return std::move(info_); }  // NOLINT(google-explicit-constructor)

 private:
  static T& Self(TObject& object) { return static_cast<T&>(object); }

  template <class M, class R, class... Args>
  static std::any BindMethod(M method, T* self, R (*)(Args...)) {
    return std::function<R(Args...)>(
        [method, self](Args... args) -> R { return (self->*method)(std::forward<Args>(args)...); });
  }

  template <class G>
  static std::function<const TStrings&(TObject&)> StringsGetter(G getter) {
    using Answer = std::invoke_result_t<const G&, T&>;
    static_assert(std::is_reference_v<Answer> || std::is_pointer_v<Answer>,
                  "a string list is answered by reference or pointer");
    using Result =
        std::remove_cvref_t<decltype(class_detail::Deref(std::invoke(getter, std::declval<T&>())))>;
    static_assert(std::is_base_of_v<TStrings, Result>, "a string list property answers TStrings");
    return [getter](TObject& object) -> const TStrings& {
      return class_detail::Deref(std::invoke(getter, Self(object)));
    };
  }

  PropInfo& Add(std::string name, PropKind kind) {
    PropInfo property;
    property.name = std::move(name);
    property.kind = kind;
    for (size_t i = 0; i < info_.properties_.size(); ++i) {
      if (SameText(info_.properties_[i].name, property.name)) {
        info_.properties_[i] = std::move(property);
        last_ = i;
        return info_.properties_[i];
      }
    }
    info_.properties_.push_back(std::move(property));
    last_ = info_.properties_.size() - 1;
    return info_.properties_.back();
  }

  ClassInfo info_;
  size_t last_ = static_cast<size_t>(-1);
};

// --- class registry -----------------------------------------------------------------------

// Makes a class creatable by name. Registering the same table again does nothing; another
// table under a registered name raises EComponentError. The table must outlive every use
// (StaticClass() tables do).
void RegisterClass(const ClassInfo& info);
// Case-insensitive; nullptr when no class of that name is registered.
const ClassInfo* FindClass(std::string_view className);

// --- run-time property access ---------------------------------------------------------------

// The published property of that name of the object's class; nullptr when there is none.
const PropInfo* GetPropInfo(const TObject& object, std::string_view name);
// Read and write string, ordinal (Boolean, integer, enumeration, set) and float properties.
// Raise EPropertyError when the property does not exist or is of another kind.
std::string GetStrProp(TObject& object, std::string_view name);
void SetStrProp(TObject& object, std::string_view name, const std::string& value);
std::string GetStrProp(TObject& object, const PropInfo& property);
void SetStrProp(TObject& object, const PropInfo& property, const std::string& value);
int64_t GetOrdProp(TObject& object, std::string_view name);
void SetOrdProp(TObject& object, std::string_view name, int64_t value);
double GetFloatProp(TObject& object, std::string_view name);
void SetFloatProp(TObject& object, std::string_view name, double value);

}  // namespace lumo
