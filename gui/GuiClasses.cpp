#include "gui/Application.h"
#include "gui/Panel.h"
#include "gui/SpeedButton.h"
#include "runtime/ClassInfo.h"

namespace lumo {

void RegisterGuiClasses() {
  RegisterClass(TForm::StaticClass());
  RegisterClass(TPanel::StaticClass());
  RegisterClass(TSpeedButton::StaticClass());
}

}  // namespace lumo
