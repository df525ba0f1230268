#include "gui/Panel.h"

#include <QFrame>
#include <QPainter>

namespace lumo {

namespace {

// A frame that draws its caption in the middle, under the controls placed on it.
class PanelWidget : public QFrame {
 public:
  using QFrame::QFrame;
  void SetCaption(const QString& caption) {
    caption_ = caption;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    if (caption_.trimmed().isEmpty()) return;
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
  }

 private:
  QString caption_;
};

const std::vector<std::string>& BevelNames() {
  static const std::vector<std::string> names = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
  return names;
}

}  // namespace

TPanel::TPanel(TComponent* owner) : TControl(owner) {
  SetBounds(0, 0, 185, 41);
}

const ClassInfo& TPanel::StaticClass() {
  using T = TPanel;
  static const ClassInfo info =
      ClassBuilder<T>("TPanel", &TControl::StaticClass)
          .Integer("Width", &T::Width, &T::SetWidth, 185)
          .Integer("Height", &T::Height, &T::SetHeight, 41)
          .String("Caption", &T::Caption, &T::SetCaption)
          .Enumeration("BevelOuter", &T::BevelOuter, &T::SetBevelOuter, BevelNames(), TBevelCut::bvRaised)
          .Enumeration("BevelInner", &T::BevelInner, &T::SetBevelInner, BevelNames(), TBevelCut::bvNone);
  return info;
}

const ClassInfo& TPanel::ClassType() const { return StaticClass(); }

void TPanel::SetBevelOuter(TBevelCut bevel) {
  bevelOuter_ = bevel;
  ApplyBevel();
}

void TPanel::SetBevelInner(TBevelCut bevel) {
  bevelInner_ = bevel;
  ApplyBevel();
}

QWidget* TPanel::CreateWidget(QWidget* parent) {
  auto* widget = new PanelWidget(parent);
  widget->setAutoFillBackground(true);
  return widget;
}

void TPanel::ApplyBevel() {
  auto* frame = static_cast<QFrame*>(Widget());
  if (frame == nullptr) return;
  TBevelCut bevel = bevelOuter_ != TBevelCut::bvNone ? bevelOuter_ : bevelInner_;
  frame->setFrameShape(bevel == TBevelCut::bvNone || bevel == TBevelCut::bvSpace ? QFrame::NoFrame
                                                                                   : QFrame::Panel);
  frame->setFrameShadow(bevel == TBevelCut::bvLowered ? QFrame::Sunken : QFrame::Raised);
}

void TPanel::CaptionChanged() {
  if (auto* widget = static_cast<PanelWidget*>(Widget())) {
    widget->SetCaption(QString::fromStdString(Caption()));
    ApplyBevel();
  }
}

}  // namespace lumo
