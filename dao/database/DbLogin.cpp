#include "dao/database/DbLogin.h"

#include <utility>

#include "runtime/Exceptions.h"

namespace lumo {

namespace {

TDbLogin::DialogService& Service() {
  static TDbLogin::DialogService service;
  return service;
}

constexpr const char* kGroup = "GroupBox1";

DbLoginControl Label(const char* name, const char* caption, const char* focusControl = "") {
  DbLoginControl control;
  control.name = name;
  control.kind = DbLoginControlKind::kLabel;
  control.parent = kGroup;
  control.caption = caption;
  control.focusControl = focusControl;
  return control;
}

DbLoginControl Edit(const char* name, int tabOrder, char passwordChar) {
  DbLoginControl control;
  control.name = name;
  control.kind = DbLoginControlKind::kEdit;
  control.parent = kGroup;
  control.tabOrder = tabOrder;
  control.passwordChar = passwordChar;
  return control;
}

DbLoginControl Rule(const char* name) {
  DbLoginControl control;
  control.name = name;
  control.kind = DbLoginControlKind::kRule;
  control.parent = kGroup;
  return control;
}

DbLoginControl Button(const char* name, const char* caption, int tabOrder, ModalResult result) {
  DbLoginControl control;
  control.name = name;
  control.kind = DbLoginControlKind::kButton;
  control.parent = kGroup;
  control.caption = caption;
  control.tabOrder = tabOrder;
  control.modalResult = result;
  control.isDefault = result == ModalResult::kOk;
  control.isCancel = result == ModalResult::kCancel;
  return control;
}

}  // namespace

TDbLogin::DialogService TDbLogin::SetDialogService(DialogService service) {
  return std::exchange(Service(), std::move(service));
}

bool TDbLogin::HasDialogService() { return static_cast<bool>(Service()); }

TDbLogin::TDbLogin() : caption_(kCaption) {
  DbLoginControl group;
  group.name = kGroup;
  group.kind = DbLoginControlKind::kGroupBox;
  controls_.push_back(group);

  controls_.push_back(Label("Label1", "Database ................:"));
  DbLoginControl databaseName;
  databaseName.name = "DatabaseName";
  databaseName.kind = DbLoginControlKind::kStaticText;
  databaseName.parent = kGroup;
  databaseName.tabOrder = 3;
  controls_.push_back(databaseName);
  controls_.push_back(Rule("Bevel1"));

  controls_.push_back(Label("Label2", "&User Name .............:", "Username"));
  controls_.push_back(Edit("Username", 0, '\0'));
  controls_.push_back(Label("Label3", "&Password ...............:", "Password"));
  controls_.push_back(Edit("Password", 1, '*'));
  controls_.push_back(Rule("Bevel2"));

  controls_.push_back(Label("Label4", "&Database Password:", "DbPassword"));
  controls_.push_back(Edit("DbPassword", 2, '*'));

  controls_.push_back(Button("Button1", "Ok", 4, ModalResult::kOk));
  controls_.push_back(Button("Button2", "Cancel", 5, ModalResult::kCancel));

  activeControl_ = "Username";
}

ModalResult TDbLogin::ShowModal() {
  // Copied so that a service replacing itself while it runs cannot pull the code away.
  DialogService service = Service();
  if (!service) return ModalResult::kCancel;
  return service(*this);
}

DbLoginControl& TDbLogin::Control(std::string_view name) {
  for (DbLoginControl& control : controls_) {
    if (control.name == name) return control;
  }
  throw EDatabaseError("TDbLogin: no control named " + std::string(name));
}

const DbLoginControl& TDbLogin::Control(std::string_view name) const {
  return const_cast<TDbLogin*>(this)->Control(name);
}

void TDbLogin::SetActiveControl(std::string_view name) { activeControl_ = Control(name).name; }

}  // namespace lumo
