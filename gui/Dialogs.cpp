#include "gui/Dialogs.h"

#include "dao/database/DbLogin.h"
#include "gui/Application.h"

#include <utility>
#include <vector>

namespace lumo {

namespace {

ConfirmService& Service() {
  static ConfirmService service;
  return service;
}

ModalResult DefaultConfirm(const std::string& text) {
  if (TApplication::Headless()) return ModalResult::kCancel;
  Application.StartToolkit();
  return Toolkit().ConfirmBox(Application.Title(), text);
}

}  // namespace

ConfirmService SetConfirmService(ConfirmService service) { return std::exchange(Service(), std::move(service)); }

ModalResult Confirm(const std::string& text) {
  ConfirmService service = Service();
  return service ? service(text) : DefaultConfirm(text);
}

void ShowMessageBox(const std::string& text, bool error) {
  Application.StartToolkit();
  Toolkit().MessageBox(Application.Title(), text, error);
}

ModalResult ShowDbLoginDialog(TDbLogin& dialog) {
  Application.StartToolkit();
  std::vector<DbLoginControl> controls = dialog.Controls();
  ModalResult result = Toolkit().LoginDialog(dialog.Caption(), TDbLogin::kClientWidth, TDbLogin::kClientHeight,
                                             controls, dialog.ActiveControl());
  if (result != ModalResult::kOk) return ModalResult::kCancel;
  for (const DbLoginControl& control : controls) {
    if (control.kind == DbLoginControlKind::kEdit) dialog.Control(control.name).text = control.text;
  }
  return ModalResult::kOk;
}

}  // namespace lumo
