#include "gui/Form.h"

#include "gui/Application.h"
#include "runtime/FormReader.h"
#include "runtime/StrUtils.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace lumo {

// The top-level window of a form; it reports what the user and the window manager do.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(TForm& form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The form decides (OnClose may refuse); it hides the window itself when it closes.
    event->ignore();
    Application.Guard([this] { form_.Close(); });
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    NoteFrame();
    form_.WindowResized();
  }
  void moveEvent(QMoveEvent* event) override {
    QWidget::moveEvent(event);
    NoteFrame();
  }

 private:
  void NoteFrame() {
    QSize frame = frameGeometry().size() - size();
    form_.WindowFramed(frame.width(), frame.height());
  }

  TForm& form_;
};

// --- TFont ---------------------------------------------------------------------------------

const ClassInfo& TFont::StaticClass() {
  using T = TFont;
  static const ClassInfo info =
      ClassBuilder<T>("TFont", &TObject::StaticClass)
          .Enumeration("Charset", &T::Charset, &T::SetCharset,
                       {"ANSI_CHARSET", "DEFAULT_CHARSET", "SYMBOL_CHARSET"},
                       TFontCharset::DEFAULT_CHARSET)
          .Integer("Height", &T::Height, &T::SetHeight, -11)
          .String("Name", &T::Name, &T::SetName, "MS Sans Serif")
          .Integer("Size", &T::Size, &T::SetSize, 8)
          .NotStored()
          .Set("Style", &T::Style, &T::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
  return info;
}

const ClassInfo& TFont::ClassType() const { return StaticClass(); }

void TFont::SetHeight(int height) {
  // A negative height is the character height in pixels at 96 dpi; a positive one includes
  // the internal leading, which the point size cannot express: take it as the same.
  int pixels = height < 0 ? -height : height;
  size_ = std::max(1, (pixels * 72 + 48) / 96);
}

std::string TFont::FamilyName() const {
  if (SameText(name_, "MS Sans Serif") || name_.empty()) {
    if (TApplication::ToolkitStarted()) {
      return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdString();
    }
    return "Sans Serif";
  }
  return name_;
}

// --- TForm ---------------------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TControl(owner) { TControl::SetVisible(false); }

TForm::~TForm() {
  Application.Guard([this] { OnDestroy(this); });
  // The owned controls go while this form (their handlers' target) still exists.
  DestroyComponents();
}

const ClassInfo& TForm::StaticClass() {
  using T = TForm;
  static const ClassInfo info =
      ClassBuilder<T>("TForm", &TControl::StaticClass)
          .Boolean("Visible", &T::Visible, &T::SetVisible, false)
          .String("Caption", &T::Caption, &T::SetCaption)
          .Integer("ClientWidth", &T::ClientWidth, &T::SetClientWidth)
          .NotStored()
          .Integer("ClientHeight", &T::ClientHeight, &T::SetClientHeight)
          .NotStored()
          .Persistent("Font", &T::Font)
          .Enumeration("Position", &T::Position, &T::SetPosition,
                       {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                        "poScreenCenter", "poDesktopCenter", "poMainFormCenter",
                        "poOwnerFormCenter"},
                       TPosition::poDesigned)
          .Event("OnCreate", &T::OnCreate)
          .Event("OnShow", &T::OnShow)
          .Event("OnClose", &T::OnClose)
          .Event("OnDestroy", &T::OnDestroy);
  return info;
}

const ClassInfo& TForm::ClassType() const { return StaticClass(); }

void TForm::ReadDescription() {
  std::string_view text = FormDescription();
  if (text.empty()) return;
  RegisterGuiClasses();  // a form may be read before the application was initialised
  ReadComponent(text, *this);
}

void TForm::DoCreate() {
  Application.Guard([this] { OnCreate(this); });
}

TRect TForm::ClientRect() const {
  return TRect{0, 0, std::max(0, ClientWidth()), std::max(0, ClientHeight())};
}

void TForm::Show() {
  if (!Visible()) {
    TControl::SetVisible(true);
    shown_ = true;
    Application.Guard([this] { OnShow(this); });
    if (!Visible()) return;  // the handler closed it
  }
  if (!HasSize()) return;  // nothing to draw: the toolkit stays asleep
  RealiseWindow();
  Widget()->show();
  if (!TApplication::Headless()) Widget()->raise();
}

void TForm::Hide() {
  TControl::SetVisible(false);
}

void TForm::SetVisible(bool visible) {
  if (visible) {
    Show();
  } else {
    Hide();
  }
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (!Application.Guard([&] { OnClose(this, action); })) return;
  if (action == TCloseAction::caNone) return;
  Hide();
  if (Application.MainForm() == this) Application.Terminate();
}

void TForm::RealiseWindow() {
  if (Realised()) return;
  Application.StartToolkit();
  Realise(nullptr);
}

QWidget* TForm::CreateWidget(QWidget* /*parent*/) {
  auto* window = new FormWindow(*this);
  window->setFont(QFont(QString::fromStdString(font_.FamilyName()), font_.Size()));
  return window;
}

void TForm::CaptionChanged() {
  if (Realised()) Widget()->setWindowTitle(QString::fromStdString(Caption()));
}

void TForm::ApplyBounds() {
  if (syncingWindow_) return;
  QWidget* window = Widget();
  syncingWindow_ = true;
  window->resize(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
  if (!placed_) {
    placed_ = true;
    QScreen* screen = QGuiApplication::primaryScreen();
    bool centre = position_ == TPosition::poScreenCenter || position_ == TPosition::poDesktopCenter ||
                  position_ == TPosition::poMainFormCenter || position_ == TPosition::poOwnerFormCenter;
    if (centre && screen != nullptr) {
      QRect area = screen->availableGeometry();
      window->move(area.x() + (area.width() - Width()) / 2, area.y() + (area.height() - Height()) / 2);
    } else if (position_ == TPosition::poDesigned || position_ == TPosition::poDefaultSizeOnly) {
      window->move(Left(), Top());
    }
  }
  syncingWindow_ = false;
}

void TForm::WindowResized() {
  if (syncingWindow_) return;
  QWidget* window = Widget();
  syncingWindow_ = true;
  SetBounds(Left(), Top(), window->width() + frameWidth_, window->height() + frameHeight_);
  syncingWindow_ = false;
}

void TForm::WindowFramed(int frameWidth, int frameHeight) {
  if (frameWidth == frameWidth_ && frameHeight == frameHeight_) return;
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  // The outer size is the form's: the inner one gives way to the frame.
  ApplyBounds();
  AlignControls();
}

}  // namespace lumo
