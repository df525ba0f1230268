#pragma once
// Writes a component and the components it owns as a form description (the text form of
// FormText.h), the inverse of the form reader.
//
// Written per object: the stored published properties whose values differ from their
// defaults, in declaration order (string lists with items as <Name>.Strings, nested objects
// as dotted names, collections with items, component references by name when the referenced
// component has one, events by handler method name when bound from a description), then the
// declared stream entries that have data. Children are the components the root owns, in
// creation order; one whose parent component is another component of the root is written
// inside that component's object.

#include "runtime/Component.h"
#include "runtime/FormText.h"

#include <string>

namespace lumo {

std::string WriteComponent(TComponent& root);
// The same as a tree, before formatting.
FormObject DescribeComponent(TComponent& root);

}  // namespace lumo
