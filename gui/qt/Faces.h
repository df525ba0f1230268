#pragma once
// The Qt Widgets faces of the components (internal to the module): each face owns its
// widget through a guarded pointer, since the parent's widget may take it along first.

#include "gui/WidgetToolkit.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

namespace lumo::qt {

template <class Interface, class Widget>
class WidgetFace : public Interface {
 public:
  explicit WidgetFace(Widget* widget) : widget_(widget) {}
  ~WidgetFace() override { delete widget_.data(); }
  WidgetFace(const WidgetFace&) = delete;
  WidgetFace& operator=(const WidgetFace&) = delete;

  void SetBounds(const TRect& bounds) override {
    if (widget_) widget_->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  }
  void SetVisible(bool visible) override {
    if (widget_) widget_->setVisible(visible);
  }
  bool Showing() const override { return widget_ && widget_->isVisible(); }
  void SetCaption(const std::string& /*caption*/) override {}
  void* Handle() const override { return static_cast<QWidget*>(widget_.data()); }

 protected:
  QPointer<Widget> widget_;
};

inline QWidget* WidgetOf(ControlFace& face) { return static_cast<QWidget*>(face.Handle()); }
inline QString Text(const std::string& text) { return QString::fromStdString(text); }

std::unique_ptr<FormFace> MakeFormFace(FormEvents& events);
std::unique_ptr<PanelFace> MakePanelFace(ControlFace& parent);
std::unique_ptr<ButtonFace> MakeButtonFace(ControlFace& parent, ClickEvents& events);
std::unique_ptr<NavigatorFace> MakeNavigatorFace(ControlFace& parent, NavigatorEvents& events, int buttonCount);
std::unique_ptr<GridFace> MakeGridFace(ControlFace& parent, GridSource& source);

}  // namespace lumo::qt
