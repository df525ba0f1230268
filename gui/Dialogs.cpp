#include "gui/Dialogs.h"

#include "dao/database/DbLogin.h"
#include "gui/Application.h"

#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace lumo {

namespace {

ConfirmService& Service() {
  static ConfirmService service;
  return service;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

ModalResult DefaultConfirm(const std::string& text) {
  if (TApplication::Headless()) return ModalResult::kCancel;
  Application.StartToolkit();
  QMessageBox box(QMessageBox::Question, Text(Application.Title()), Text(text),
                  QMessageBox::Ok | QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? ModalResult::kOk : ModalResult::kCancel;
}

}  // namespace

ConfirmService SetConfirmService(ConfirmService service) {
  return std::exchange(Service(), std::move(service));
}

ModalResult Confirm(const std::string& text) {
  ConfirmService service = Service();
  return service ? service(text) : DefaultConfirm(text);
}

void ShowMessageBox(const std::string& text, bool error) {
  Application.StartToolkit();
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, Text(Application.Title()),
                  Text(text), QMessageBox::Ok);
  box.exec();
}

ModalResult ShowDbLoginDialog(TDbLogin& dialog) {
  Application.StartToolkit();
  QDialog window;
  window.setWindowTitle(Text(dialog.Caption()));
  // A dialog border with only the system menu: no minimise or maximise buttons.
  window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  window.setFixedSize(TDbLogin::kClientWidth, TDbLogin::kClientHeight);

  // The controls are laid out on a grid of rows; captions and edits come from the dialog.
  std::map<std::string, QWidget*> widgets;
  std::map<std::string, QLineEdit*> edits;
  std::vector<std::pair<int, QWidget*>> tabStops;
  QGroupBox* group = nullptr;
  int row = 0;
  const int kLeft = 12;
  const int kEditLeft = 150;
  for (const DbLoginControl& control : dialog.Controls()) {
    QWidget* parent = group != nullptr ? static_cast<QWidget*>(group) : &window;
    QWidget* widget = nullptr;
    switch (control.kind) {
      case DbLoginControlKind::kGroupBox:
        group = new QGroupBox(Text(control.caption), &window);
        group->setGeometry(8, 4, TDbLogin::kClientWidth - 16, TDbLogin::kClientHeight - 12);
        widget = group;
        break;
      case DbLoginControlKind::kLabel: {
        auto* label = new QLabel(Text(control.caption), parent);
        label->move(kLeft, 14 + row * 24 + 3);
        widget = label;
        break;
      }
      case DbLoginControlKind::kStaticText: {
        auto* label = new QLabel(Text(control.text), parent);
        label->setGeometry(kEditLeft, 14 + row * 24 + 3, 190, 18);
        widget = label;
        ++row;
        break;
      }
      case DbLoginControlKind::kEdit: {
        auto* edit = new QLineEdit(Text(control.text), parent);
        edit->setGeometry(kEditLeft, 14 + row * 24, 190, 21);
        if (control.passwordChar != '\0') edit->setEchoMode(QLineEdit::Password);
        edits[control.name] = edit;
        widget = edit;
        ++row;
        break;
      }
      case DbLoginControlKind::kRule: {
        auto* rule = new QFrame(parent);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        rule->setGeometry(kLeft, 14 + row * 24 - 2, TDbLogin::kClientWidth - 16 - 2 * kLeft, 4);
        widget = rule;
        break;
      }
      case DbLoginControlKind::kButton: {
        auto* button = new QPushButton(Text(control.caption), parent);
        bool ok = control.modalResult == ModalResult::kOk;
        button->setGeometry(ok ? 180 : 265, 14 + row * 24 + 4, 75, 25);
        button->setDefault(control.isDefault);
        button->setAutoDefault(control.isDefault);
        QObject::connect(button, &QPushButton::clicked, &window, ok ? &QDialog::accept : &QDialog::reject);
        widget = button;
        break;
      }
    }
    widgets[control.name] = widget;
    if (control.tabOrder >= 0) tabStops.emplace_back(control.tabOrder, widget);
  }
  // Accelerators of the labels focus their edits.
  for (const DbLoginControl& control : dialog.Controls()) {
    if (control.kind != DbLoginControlKind::kLabel || control.focusControl.empty()) continue;
    auto* label = static_cast<QLabel*>(widgets[control.name]);
    if (widgets.count(control.focusControl) != 0) label->setBuddy(widgets[control.focusControl]);
  }
  std::sort(tabStops.begin(), tabStops.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < tabStops.size(); ++i) {
    QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);
  }
  if (widgets.count(dialog.ActiveControl()) != 0) widgets[dialog.ActiveControl()]->setFocus();

  if (window.exec() != QDialog::Accepted) return ModalResult::kCancel;
  for (const auto& [name, edit] : edits) dialog.Control(name).text = edit->text().toStdString();
  return ModalResult::kOk;
}

}  // namespace lumo
