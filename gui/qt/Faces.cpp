#include "gui/qt/Faces.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>

#include <vector>

namespace lumo::qt {

namespace {

// --- form ------------------------------------------------------------------------------------

// The top-level window of a form; it reports what the user and the window manager do.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(FormEvents& events) : events_(events) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The form decides (it may refuse) and hides the window itself when it closes.
    event->ignore();
    events_.CloseRequested();
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    NoteFrame();
    events_.WindowResized(width(), height());
  }
  void moveEvent(QMoveEvent* event) override {
    QWidget::moveEvent(event);
    NoteFrame();
  }

 private:
  void NoteFrame() {
    QSize frame = frameGeometry().size() - size();
    events_.WindowFramed(frame.width(), frame.height());
  }

  FormEvents& events_;
};

class QtFormFace : public WidgetFace<FormFace, FormWindow> {
 public:
  explicit QtFormFace(FormEvents& events) : WidgetFace(new FormWindow(events)) {}
  void SetCaption(const std::string& caption) override {
    if (widget_) widget_->setWindowTitle(Text(caption));
  }
  void SetFont(const std::string& family, int pointSize) override {
    if (widget_) widget_->setFont(QFont(Text(family), pointSize));
  }
  void ResizeClient(int width, int height) override {
    if (widget_) widget_->resize(width, height);
  }
  void Move(int left, int top) override {
    if (widget_) widget_->move(left, top);
  }
  void Show() override {
    if (widget_) widget_->show();
  }
  void Raise() override {
    if (widget_) widget_->raise();
  }
  TRect ScreenArea() const override {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    QRect area = screen->availableGeometry();
    return TRect{area.x(), area.y(), area.width(), area.height()};
  }
};

// --- panel -----------------------------------------------------------------------------------

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

class QtPanelFace : public WidgetFace<PanelFace, PanelWidget> {
 public:
  explicit QtPanelFace(QWidget* parent) : WidgetFace(new PanelWidget(parent)) { widget_->setAutoFillBackground(true); }
  void SetCaption(const std::string& caption) override {
    if (widget_) widget_->SetCaption(Text(caption));
  }
  void SetFrame(bool framed, bool sunken) override {
    if (!widget_) return;
    widget_->setFrameShape(framed ? QFrame::Panel : QFrame::NoFrame);
    widget_->setFrameShadow(sunken ? QFrame::Sunken : QFrame::Raised);
  }
};

// --- speed button ----------------------------------------------------------------------------

class QtButtonFace : public WidgetFace<ButtonFace, QToolButton> {
 public:
  QtButtonFace(QWidget* parent, ClickEvents& events) : WidgetFace(new QToolButton(parent)) {
    widget_->setFocusPolicy(Qt::NoFocus);  // a speed button never takes the focus
    QObject::connect(widget_.data(), &QToolButton::clicked, widget_.data(), [&events] { events.Clicked(); });
  }
  void SetFlat(bool flat) override {
    if (widget_) widget_->setAutoRaise(flat);
  }
  void SetPicture(const Picture& picture) override {
    if (!widget_) return;
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) image.setPixel(x, y, picture.Pixel(x, y));
    }
    hasPicture_ = !image.isNull();
    widget_->setIcon(QIcon(QPixmap::fromImage(image)));
    widget_->setIconSize(image.size());
    ApplyStyle();
  }
  void SetCaption(const std::string& caption) override {
    if (!widget_) return;
    widget_->setText(Text(caption));
    ApplyStyle();
  }

 private:
  void ApplyStyle() {
    widget_->setToolButtonStyle(widget_->text().isEmpty() ? Qt::ToolButtonIconOnly
                                : !hasPicture_            ? Qt::ToolButtonTextOnly
                                                          : Qt::ToolButtonTextBesideIcon);
  }

  bool hasPicture_ = false;
};

// --- navigator -------------------------------------------------------------------------------

constexpr int kButtonKinds = 10;

const char* const kHints[kButtonKinds] = {"First",  "Prior", "Next", "Last",   "Insert",
                                          "Delete", "Edit",  "Post", "Cancel", "Refresh"};

// Our own small pictures: triangles with a bar for the moving buttons, simple signs for the rest.
QPixmap ButtonPicture(int kind) {
  QPixmap picture(16, 16);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x20, 0x20, 0x20));
  auto triangle = [&](double tipX, double baseX) {
    QPainterPath path;
    path.moveTo(tipX, 8);
    path.lineTo(baseX, 3);
    path.lineTo(baseX, 13);
    path.closeSubpath();
    painter.drawPath(path);
  };
  switch (kind) {
    case 0:  // First
      painter.drawRect(QRectF(3, 3, 2, 10));
      triangle(6, 12);
      break;
    case 1:  // Prior
      triangle(4.5, 10.5);
      break;
    case 2:  // Next
      triangle(11.5, 5.5);
      break;
    case 3:  // Last
      triangle(10, 4);
      painter.drawRect(QRectF(11, 3, 2, 10));
      break;
    case 4:  // Insert
      painter.drawRect(QRectF(7, 3, 2, 10));
      painter.drawRect(QRectF(3, 7, 10, 2));
      break;
    case 5:  // Delete
      painter.drawRect(QRectF(3, 7, 10, 2));
      break;
    case 6:  // Edit
      painter.drawRect(QRectF(3, 12, 10, 1.5));
      painter.drawPolygon(QPolygonF({QPointF(5, 11), QPointF(12, 4), QPointF(13, 5), QPointF(6, 12)}));
      break;
    case 7:  // Post
      painter.setPen(QPen(QColor(0x00, 0x80, 0x00), 2));
      painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 4)}));
      break;
    case 8:  // Cancel
      painter.setPen(QPen(QColor(0x80, 0x00, 0x00), 2));
      painter.drawLine(QPointF(4, 4), QPointF(12, 12));
      painter.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case 9:  // Refresh
      painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 300 * 16);
      break;
  }
  return picture;
}

class QtNavigatorFace : public WidgetFace<NavigatorFace, QWidget> {
 public:
  QtNavigatorFace(QWidget* parent, NavigatorEvents& events, int buttonCount) : WidgetFace(new QWidget(parent)) {
    for (int i = 0; i < buttonCount; ++i) {
      auto* button = new QToolButton(widget_.data());
      if (i < kButtonKinds) {
        button->setIcon(QIcon(ButtonPicture(i)));
        button->setToolTip(kHints[i]);
      }
      button->setFocusPolicy(Qt::NoFocus);
      QObject::connect(button, &QToolButton::clicked, button, [&events, i] { events.ButtonClicked(i); });
      buttons_.push_back(button);
    }
  }
  void SetFlat(bool flat) override {
    for (QToolButton* button : Buttons()) button->setAutoRaise(flat);
  }
  void SetButton(int index, bool visible, const TRect& bounds) override {
    if (QToolButton* button = Button(index)) {
      button->setVisible(visible);
      if (visible) button->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
    }
  }
  void SetButtonEnabled(int index, bool enabled) override {
    if (QToolButton* button = Button(index)) button->setEnabled(enabled);
  }

 private:
  // The buttons die with the row's widget.
  std::vector<QToolButton*> Buttons() const { return widget_ ? buttons_ : std::vector<QToolButton*>(); }
  QToolButton* Button(int index) const {
    if (!widget_ || index < 0 || index >= static_cast<int>(buttons_.size())) return nullptr;
    return buttons_[static_cast<size_t>(index)];
  }

  std::vector<QToolButton*> buttons_;
};

}  // namespace

std::unique_ptr<FormFace> MakeFormFace(FormEvents& events) { return std::make_unique<QtFormFace>(events); }

std::unique_ptr<PanelFace> MakePanelFace(ControlFace& parent) {
  return std::make_unique<QtPanelFace>(WidgetOf(parent));
}

std::unique_ptr<ButtonFace> MakeButtonFace(ControlFace& parent, ClickEvents& events) {
  return std::make_unique<QtButtonFace>(WidgetOf(parent), events);
}

std::unique_ptr<NavigatorFace> MakeNavigatorFace(ControlFace& parent, NavigatorEvents& events, int buttonCount) {
  return std::make_unique<QtNavigatorFace>(WidgetOf(parent), events, buttonCount);
}

}  // namespace lumo::qt
