#pragma once
// TControl: the base of every visual component (form, panel, button, navigator, grid).
//
// A control is a plain component first: its published bounds, alignment and visibility are
// stored values, and no widget exists. Only when its form is shown with a size does the form
// realise the tree: each control makes its face (CreateFace: the widget the user sees, made
// by the widget toolkit, see WidgetToolkit.h) inside its parent's face, and from then on
// property changes reach the face at once. A program that never
// shows a sized form (a recording run) therefore never starts the widget toolkit.
//
// Parent and children: the parent is the control a form description nests it in
// (SetParentComponent); ownership stays with the form. A parent lays out its aligned children
// itself (alTop/alBottom/alLeft/alRight take the edge strips in creation order, alClient the
// rest; alNone keeps Left/Top/Width/Height), so the layout is the same with or without Qt.
// Ownership: a control owns its face; the widget inside it belongs to the parent's widget
// as well, and a control destroyed first takes its widget along.

#include "gui/WidgetToolkit.h"
#include "runtime/ClassInfo.h"
#include "runtime/Component.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

// The handler type of plain notifications (clicks, create, show): the sender is the control.
using TNotifyEvent = Event<void(TObject* sender)>;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  int Left() const noexcept { return left_; }
  int Top() const noexcept { return top_; }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  void SetLeft(int left);
  void SetTop(int top);
  virtual void SetWidth(int width);
  virtual void SetHeight(int height);
  void SetBounds(int left, int top, int width, int height);
  TAlign Align() const noexcept { return align_; }
  void SetAlign(TAlign align);
  bool Visible() const noexcept { return visible_; }
  virtual void SetVisible(bool visible);
  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(const std::string& caption);

  TControl* Parent() const noexcept { return parent_; }
  void SetParent(TControl* parent);
  const std::vector<TControl*>& Controls() const noexcept { return controls_; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  // The area children are laid out in, in this control's own coordinates.
  virtual TRect ClientRect() const;
  // Places the aligned children in ClientRect(), then each child's own children.
  void AlignControls();

  // The face, or nullptr while the control is not realised.
  ControlFace* Face() const noexcept { return face_.get(); }
  bool Realised() const noexcept { return face_ != nullptr; }

 protected:
  // Makes the face for this control inside `parent` (nullptr for a top-level window).
  virtual std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) = 0;
  // The face exists and shows the stored bounds and caption: a control sets up the rest.
  virtual void FaceReady() {}
  // The caption changed (the face exists or not).
  virtual void CaptionChanged() {}
  // Creates this control's face and its children's, then lays them out.
  void Realise(ControlFace* parent);
  // Destroys the face (and with it the widgets inside).
  void DestroyFace();
  // Copies the stored bounds and visibility to the face.
  virtual void ApplyBounds();
  // A change of size that the children's layout depends on.
  void BoundsChanged();

  friend class TForm;

 private:
  void RemoveChild(TControl* child);

  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  std::string caption_;
  TControl* parent_ = nullptr;
  std::vector<TControl*> controls_;
  std::unique_ptr<ControlFace> face_;
};

// The names of TAlign's members, for published properties.
const std::vector<std::string>& AlignNames();

}  // namespace lumo
