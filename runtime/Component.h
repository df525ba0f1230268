#pragma once
// The root of the object model and the component base class.
//
// TObject is the common base of everything that has published properties (components, the
// nested objects they publish, collection items), of what a string list's object slot points
// to, and of what the class registry creates. Its class table (ClassType) drives streaming.
//
// TComponent adds a name, an owner and ownership: a component owns every component created
// with it as owner and destroys them in its destructor, the last one first. A component told
// to go away first leaves its owner's list. Components that hold a pointer to another
// component ask it for a removal notification (FreeNotification); when that component is
// destroyed, each of them is told through NotifyComponentChange(component, kRemove) and must
// forget the pointer. The owner is told as well (kInsert when a component joins it, kRemove
// when one leaves while the owner itself lives on).
//
// Destruction order: derived destructors run first; the base destructor then tells the
// components that asked, destroys the owned components, and leaves the owner. A class whose
// owned components may still call into it while they go (for example through event handlers
// bound to its methods) calls DestroyComponents() in its own destructor.
//
// Errors: EComponentError for an invalid or duplicate name.

#include "runtime/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lumo {

class ClassInfo;
class StreamedData;

class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;

  // The class table of TObject itself: no properties.
  static const ClassInfo& StaticClass();
  // The table of the object's class; every class with a table of its own overrides this to
  // answer its StaticClass().
  virtual const ClassInfo& ClassType() const;
  const std::string& ClassName() const;
  bool InheritsFrom(const ClassInfo& info) const;

  // Declares stream entries beyond the published properties (a name with a reader, a writer
  // and a "has data" predicate); the form reader and writer ask for them. Default: none.
  virtual void DeclareStreamedData(StreamedData& data);
};

// Flags of TComponent::ComponentState().
enum class ComponentStateFlag : uint32_t {
  kLoading = 1u << 0,     // being read from a form description, until FinishLoading
  kReading = 1u << 1,     // its own properties are being read
  kDestroying = 1u << 2,  // its destruction (or its owner's) has begun
  kDesigning = 1u << 3,   // used in a designer rather than at run time
};

enum class Operation { kInsert, kRemove };

// An event: the handler (a function of the event's signature) and the name of the method it
// was bound to by a form description, so that the description can be written back. Calling
// an event without a handler does nothing when it returns void.
template <class Signature>
class Event;

template <class R, class... Args>
class Event<R(Args...)> {
 public:
  using Signature = R(Args...);
  using Function = std::function<R(Args...)>;

  Event() = default;
  // A handler set by code has no method name and is not written to a form description.
  Event& operator=(Function function) {
    function_ = std::move(function);
    handlerName_.clear();
    return *this;
  }
  void Bind(std::string handlerName, Function function) {
    function_ = std::move(function);
    handlerName_ = function_ ? std::move(handlerName) : std::string();
  }
  void Clear() {
    function_ = nullptr;
    handlerName_.clear();
  }
  explicit operator bool() const noexcept { return static_cast<bool>(function_); }
  const std::string& HandlerName() const noexcept { return handlerName_; }
  const Function& Target() const noexcept { return function_; }

  R operator()(Args... args) const {
    if constexpr (std::is_void_v<R>) {
      if (function_) function_(std::forward<Args>(args)...);
    } else {
      return function_(std::forward<Args>(args)...);  // raises std::bad_function_call if unset
    }
  }

 private:
  Function function_;
  std::string handlerName_;
};

class TComponent : public TObject {
 public:
  // Joins the owner's components (the owner is told kInsert before this constructor's body
  // and the derived constructors have run: it may only note the pointer).
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const std::string& Name() const noexcept { return name_; }
  // Empty, or an identifier no other component of the same owner carries (ignoring case).
  virtual void SetName(const std::string& name);
  int64_t Tag() const noexcept { return tag_; }
  void SetTag(int64_t tag) noexcept { tag_ = tag; }

  TComponent* Owner() const noexcept { return owner_; }
  int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
  // Owned components in the order they joined; raises EComponentError when out of range.
  TComponent* Components(int index) const;
  // The owned component of that name, ignoring case; nullptr when none (or name empty).
  TComponent* FindComponent(std::string_view name) const;
  // Takes over a component (from its previous owner, if any).
  void InsertComponent(TComponent* component);
  // Releases an owned component without destroying it.
  void RemoveComponent(TComponent* component);
  // Destroys every owned component, the last one first.
  void DestroyComponents();

  uint32_t ComponentState() const noexcept { return state_; }
  bool HasState(ComponentStateFlag flag) const noexcept {
    return (state_ & static_cast<uint32_t>(flag)) != 0;
  }
  // Sets or clears kLoading, kReading or kDesigning (kDesigning also on owned components).
  // kDestroying belongs to destruction and cannot be set this way.
  void SetStateFlag(ComponentStateFlag flag, bool on);

  // `component` is told NotifyComponentChange(this, kRemove) when this component is
  // destroyed (and, the link being mutual, this one when `component` is).
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called once after the component was read from a form description, with the loading
  // state already cleared. Default: nothing.
  virtual void FinishLoading();
  // A component this one asked about, or one of its owned components, joined or is leaving.
  // Default: nothing.
  virtual void NotifyComponentChange(TComponent* component, Operation operation);
  // The component's parent in the form's visual tree, for nesting in form descriptions.
  // Default: none; a visual layer overrides both.
  virtual TComponent* GetParentComponent() const;
  virtual void SetParentComponent(TComponent* parent);

 private:
  void MarkDestroying();
  void Unlink(TComponent* component);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  int64_t tag_ = 0;
  uint32_t state_ = 0;
};

}  // namespace lumo
