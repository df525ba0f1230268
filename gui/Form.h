#pragma once
// TForm: a window read from its form description, with the events of its life.
//
// A form class of a program derives from TForm, publishes its handler methods in its own
// class table, and supplies its description text by overriding FormDescription():
//
//   class Tfmain : public TForm {
//    public:
//     explicit Tfmain(TComponent* owner) : TForm(owner) {}
//     static const ClassInfo& StaticClass();      // ClassBuilder<Tfmain>("Tfmain",
//     const ClassInfo& ClassType() const override; //   &TForm::StaticClass).Method(...)
//     void FormCreate(TObject* sender);
//    protected:
//     std::string_view FormDescription() const override { return kText; }
//   };
//
// TApplication::CreateForm constructs it, reads the description (ReadDescription) and then
// runs OnCreate. Width and Height are the outer size of the window, frame included; a form
// whose width or height is 0 has no size: showing it runs OnShow but makes no window, so a
// run that never shows a sized form never starts the widget toolkit. Closing the main form
// ends TApplication::Run.
//
// Errors: EFilerError from ReadDescription; exceptions of the event handlers never leave
// Show/Close/CreateForm: the application's default handler reports them.

#include "gui/Control.h"

#include <string>
#include <string_view>

namespace lumo {

enum class TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = Event<void(TObject* sender, TCloseAction& action)>;

enum class TFontCharset { ANSI_CHARSET, DEFAULT_CHARSET, SYMBOL_CHARSET };

// A font as a form description names it. "MS Sans Serif" (the classic dialog font) stands
// for the platform's default sans-serif font; other names are used as they are.
class TFont : public TObject {
 public:
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  // Points; Height is the negative pixel height at 96 dots per inch, as descriptions write it.
  int Size() const noexcept { return size_; }
  void SetSize(int size) { size_ = size; }
  int Height() const noexcept { return -(size_ * 96 + 36) / 72; }
  void SetHeight(int height);
  TFontCharset Charset() const noexcept { return charset_; }
  void SetCharset(TFontCharset charset) { charset_ = charset; }
  // fsBold, fsItalic, fsUnderline, fsStrikeOut as bits 0..3.
  uint32_t Style() const noexcept { return style_; }
  void SetStyle(uint32_t style) { style_ = style; }

  // The family the platform uses for Name().
  std::string FamilyName() const;

 private:
  std::string name_ = "MS Sans Serif";
  int size_ = 8;
  TFontCharset charset_ = TFontCharset::DEFAULT_CHARSET;
  uint32_t style_ = 0;
};

class TForm : public TControl, private FormEvents {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // Reads FormDescription() into this form (nothing when it is empty).
  void ReadDescription();

  TPosition Position() const noexcept { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFont& Font() noexcept { return font_; }
  // The inner size: the outer size less the window frame (no frame until the window
  // manager has framed a shown window).
  int ClientWidth() const noexcept { return Width() - frameWidth_; }
  int ClientHeight() const noexcept { return Height() - frameHeight_; }
  void SetClientWidth(int width) { SetWidth(width + frameWidth_); }
  void SetClientHeight(int height) { SetHeight(height + frameHeight_); }
  TRect ClientRect() const override;
  bool HasSize() const noexcept { return Width() > 0 && Height() > 0; }

  // Shows the form: the first time runs OnShow; a form with a size gets its window.
  void Show();
  void Hide();
  // Runs OnClose, then hides the form (caNone keeps it open). Closing the main form asks
  // the application to terminate.
  void Close();
  void SetVisible(bool visible) override;
  // Whether OnShow has run.
  bool Shown() const noexcept { return shown_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

  // Runs OnCreate under the default error handler (TApplication::CreateForm calls it).
  void DoCreate();
  // Makes the window (and the widget toolkit, if needed) without showing it.
  void RealiseWindow();
  // The window's face, or nullptr while the form has none.
  FormFace* Window() const noexcept { return static_cast<FormFace*>(Face()); }

 protected:
  // The form description text of the program's form class; empty for none.
  virtual std::string_view FormDescription() const { return {}; }
  std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) override;
  void ApplyBounds() override;
  void CaptionChanged() override;

 private:
  // What the user and the window manager do to the window.
  void CloseRequested() override;
  void WindowResized(int clientWidth, int clientHeight) override;
  void WindowFramed(int frameWidth, int frameHeight) override;

  TPosition position_ = TPosition::poDesigned;
  TFont font_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  bool shown_ = false;
  bool placed_ = false;
  bool syncingWindow_ = false;
};

}  // namespace lumo
