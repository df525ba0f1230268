// The widget toolkit on Qt Widgets: the module gui/ loads when a window, a box or the event
// loop is first needed. It exports one C function, LumoCreateWidgetToolkit.

#include "dao/database/DbLogin.h"
#include "gui/qt/Faces.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace lumo::qt {

namespace {

class QtToolkit : public WidgetToolkit {
 public:
  void Start(const std::string& programName) override {
    if (Started()) return;
    // QApplication keeps references to argc and argv for its whole life.
    static std::string name;
    static int argc = 1;
    static char* argv[] = {nullptr, nullptr};
    name = programName;
    argv[0] = name.data();
    auto* application = new QApplication(argc, argv);
    // Closing the main form ends the loop, not the last window going away (a hidden main
    // form with a box on top would otherwise end the program).
    application->setQuitOnLastWindowClosed(false);
  }
  bool Started() const override { return QCoreApplication::instance() != nullptr; }
  int RunLoop() override { return QCoreApplication::exec(); }
  void ExitLoop(int status) override { QCoreApplication::exit(status); }
  void ProcessEvents() override { QCoreApplication::processEvents(); }
  void Later(std::function<void()> task) override { QTimer::singleShot(0, std::move(task)); }

  std::unique_ptr<FormFace> CreateForm(FormEvents& events) override { return MakeFormFace(events); }
  std::unique_ptr<PanelFace> CreatePanel(ControlFace& parent) override { return MakePanelFace(parent); }
  std::unique_ptr<ButtonFace> CreateButton(ControlFace& parent, ClickEvents& events) override {
    return MakeButtonFace(parent, events);
  }
  std::unique_ptr<NavigatorFace> CreateNavigator(ControlFace& parent, NavigatorEvents& events,
                                                 int buttonCount) override {
    return MakeNavigatorFace(parent, events, buttonCount);
  }
  std::unique_ptr<GridFace> CreateGrid(ControlFace& parent, GridSource& source) override {
    return MakeGridFace(parent, source);
  }

  void MessageBox(const std::string& title, const std::string& text, bool error) override {
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, Text(title), Text(text), QMessageBox::Ok);
    box.exec();
  }
  ModalResult ConfirmBox(const std::string& title, const std::string& text) override {
    QMessageBox box(QMessageBox::Question, Text(title), Text(text), QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? ModalResult::kOk : ModalResult::kCancel;
  }
  ModalResult LoginDialog(const std::string& caption, int clientWidth, int clientHeight,
                          std::vector<DbLoginControl>& controls, const std::string& activeControl) override;
  bool SaveScreenshot(const FormFace& window, const std::string& path) override {
    auto* widget = static_cast<QWidget*>(window.Handle());
    return widget != nullptr && widget->grab().save(Text(path), "PNG");
  }
  std::string DefaultFontFamily() const override {
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdString();
  }
};

ModalResult QtToolkit::LoginDialog(const std::string& caption, int clientWidth, int clientHeight,
                                   std::vector<DbLoginControl>& controls, const std::string& activeControl) {
  QDialog window;
  window.setWindowTitle(Text(caption));
  // A dialog border with only the system menu: no minimise or maximise buttons.
  window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint);
  window.setFixedSize(clientWidth, clientHeight);

  // The controls are laid out on a grid of rows; captions and edits come from the dialog.
  std::map<std::string, QWidget*> widgets;
  std::map<std::string, QLineEdit*> edits;
  std::vector<std::pair<int, QWidget*>> tabStops;
  QGroupBox* group = nullptr;
  int row = 0;
  const int kLeft = 12;
  const int kEditLeft = 150;
  for (const DbLoginControl& control : controls) {
    QWidget* parent = group != nullptr ? static_cast<QWidget*>(group) : &window;
    QWidget* widget = nullptr;
    switch (control.kind) {
      case DbLoginControlKind::kGroupBox:
        group = new QGroupBox(Text(control.caption), &window);
        group->setGeometry(8, 4, clientWidth - 16, clientHeight - 12);
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
        rule->setGeometry(kLeft, 14 + row * 24 - 2, clientWidth - 16 - 2 * kLeft, 4);
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
  for (const DbLoginControl& control : controls) {
    if (control.kind != DbLoginControlKind::kLabel || control.focusControl.empty()) continue;
    auto* label = static_cast<QLabel*>(widgets[control.name]);
    if (widgets.count(control.focusControl) != 0) label->setBuddy(widgets[control.focusControl]);
  }
  std::sort(tabStops.begin(), tabStops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < tabStops.size(); ++i) {
    QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);
  }
  if (widgets.count(activeControl) != 0) widgets[activeControl]->setFocus();

  if (window.exec() != QDialog::Accepted) return ModalResult::kCancel;
  for (DbLoginControl& control : controls) {
    auto found = edits.find(control.name);
    if (found != edits.end()) control.text = found->second->text().toStdString();
  }
  return ModalResult::kOk;
}

}  // namespace

}  // namespace lumo::qt

extern "C" __attribute__((visibility("default"))) lumo::WidgetToolkit* LumoCreateWidgetToolkit() {
  static lumo::qt::QtToolkit* toolkit = new lumo::qt::QtToolkit();  // lives as long as the process
  return toolkit;
}
