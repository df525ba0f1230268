#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"
#include "gui/DBNavigator.h"
#include "gui/Panel.h"
#include "gui/SpeedButton.h"
#include "runtime/ClassInfo.h"

namespace lumo {

void RegisterGuiClasses() {
  RegisterClass(TForm::StaticClass());
  RegisterClass(TPanel::StaticClass());
  RegisterClass(TSpeedButton::StaticClass());
  RegisterClass(TDBGrid::StaticClass());
  RegisterClass(TDBNavigator::StaticClass());
  RegisterClass(TDataSource::StaticClass());
}

}  // namespace lumo
