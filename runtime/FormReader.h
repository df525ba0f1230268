#pragma once
// Reads form descriptions (the text form of FormText.h) into components.
//
// Reading a description into a root:
//   1. the whole text is parsed first, so a syntax error changes nothing;
//   2. the root and every component read are in the loading state (kLoading, and kReading
//      while their own properties are applied);
//   3. the root's properties are applied in stream order, then its child objects in order:
//      each child is created through the class registry with the root as owner (or, when the
//      root already owns a component of that name and class, that one is used), named, given
//      its parent component (the object it is nested in, the root for the top level), and
//      then given its properties in stream order, then its own children;
//   4. component references are resolved by name after the whole description was read, so
//      they may point forward; a name may also be the root's own;
//   5. the loading state is cleared on all of them, then FinishLoading is called on each in
//      creation order: the root first, then the children in the order their objects start.
// Events name handler methods registered in the root's class table.
//
// Errors: EFilerError naming the line, e.g. "Line 12: Class TFoo not found", "Line 7:
// Property Foo does not exist", "Line 9: Invalid property value", "Line 20: Unterminated
// object", "Line 4: Component Bar not found", "Line 5: Method Foo not found". An error raised
// by a component's own setter or constructor becomes "Line n: Error reading <component>.
// <property>: <its message>". After an error the components created by this read are
// destroyed again and the root is out of the loading state; property values already applied
// to the root (and to components it already owned) stay as they are. FinishLoading is not
// called after an error.

#include "runtime/Component.h"
#include "runtime/FormText.h"

#include <memory>
#include <string_view>

namespace lumo {

// Fills an existing root; the description's class must be the root's class.
void ReadComponent(std::string_view text, TComponent& root);
void ReadComponent(const FormObject& description, TComponent& root);

// Creates the root from the class registry (without owner) and fills it.
std::unique_ptr<TComponent> ReadRootComponent(std::string_view text);

}  // namespace lumo
