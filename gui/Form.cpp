#include "gui/Form.h"

#include "gui/Application.h"
#include "runtime/FormReader.h"
#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

// --- TFont ---------------------------------------------------------------------------------

const ClassInfo& TFont::StaticClass() {
  using T = TFont;
  static const ClassInfo info =
      ClassBuilder<T>("TFont", &TObject::StaticClass)
          .Enumeration("Charset", &T::Charset, &T::SetCharset, {"ANSI_CHARSET", "DEFAULT_CHARSET", "SYMBOL_CHARSET"},
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
    if (TApplication::ToolkitStarted()) return Toolkit().DefaultFontFamily();
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
                       {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                        "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
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

TRect TForm::ClientRect() const { return TRect{0, 0, std::max(0, ClientWidth()), std::max(0, ClientHeight())}; }

void TForm::Show() {
  if (!Visible()) {
    TControl::SetVisible(true);
    shown_ = true;
    Application.Guard([this] { OnShow(this); });
    if (!Visible()) return;  // the handler closed it
  }
  if (!HasSize()) return;  // nothing to draw: the toolkit stays asleep
  RealiseWindow();
  Window()->Show();
  if (!TApplication::Headless()) Window()->Raise();
}

void TForm::Hide() { TControl::SetVisible(false); }

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

std::unique_ptr<ControlFace> TForm::CreateFace(ControlFace* /*parent*/) {
  std::unique_ptr<FormFace> window = Toolkit().CreateForm(*this);
  window->SetFont(font_.FamilyName(), font_.Size());
  return window;
}

void TForm::CaptionChanged() {
  if (Realised()) Window()->SetCaption(Caption());
}

void TForm::ApplyBounds() {
  if (syncingWindow_) return;
  FormFace* window = Window();
  syncingWindow_ = true;
  window->ResizeClient(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
  if (!placed_) {
    placed_ = true;
    TRect area = window->ScreenArea();
    bool centre = position_ == TPosition::poScreenCenter || position_ == TPosition::poDesktopCenter ||
                  position_ == TPosition::poMainFormCenter || position_ == TPosition::poOwnerFormCenter;
    if (centre && area.width > 0 && area.height > 0) {
      window->Move(area.left + (area.width - Width()) / 2, area.top + (area.height - Height()) / 2);
    } else if (position_ == TPosition::poDesigned || position_ == TPosition::poDefaultSizeOnly) {
      window->Move(Left(), Top());
    }
  }
  syncingWindow_ = false;
}

void TForm::CloseRequested() {
  // The form decides (OnClose may refuse); it hides the window itself when it closes.
  Application.Guard([this] { Close(); });
}

void TForm::WindowResized(int clientWidth, int clientHeight) {
  if (syncingWindow_) return;
  syncingWindow_ = true;
  SetBounds(Left(), Top(), clientWidth + frameWidth_, clientHeight + frameHeight_);
  syncingWindow_ = false;
}

void TForm::WindowFramed(int frameWidth, int frameHeight) {
  if (frameWidth == frameWidth_ && frameHeight == frameHeight_) return;
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  // The outer size is the form's: the inner one gives way to the frame.
  if (Realised()) ApplyBounds();
  AlignControls();
}

}  // namespace lumo
