#pragma once
// The Qt widget behind a realised control, for tests that look at what the user sees.

#include "gui/Control.h"

#include <QWidget>

namespace lumo::test {

inline QWidget* WidgetOf(const TControl& control) {
  return control.Face() != nullptr ? static_cast<QWidget*>(control.Face()->Handle()) : nullptr;
}

}  // namespace lumo::test
