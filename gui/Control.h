#pragma once
// TControl: the base of every visual component (form, panel, button, navigator, grid).
//
// A control is a plain component first: its published bounds, alignment and visibility are
// stored values, and no widget exists. Only when its form is shown with a size does the form
// realise the tree: each control makes its Qt widget (CreateWidget) inside its parent's
// widget, and from then on property changes reach the widget at once. A program that never
// shows a sized form (a recording run) therefore never starts the widget toolkit.
//
// Parent and children: the parent is the control a form description nests it in
// (SetParentComponent); ownership stays with the form. A parent lays out its aligned children
// itself (alTop/alBottom/alLeft/alRight take the edge strips in creation order, alClient the
// rest; alNone keeps Left/Top/Width/Height), so the layout is the same with or without Qt.
// Ownership: the widget belongs to the parent's widget (Qt's tree); a control destroyed
// first deletes its widget.

#include "runtime/ClassInfo.h"
#include "runtime/Component.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

namespace lumo {

// The handler type of plain notifications (clicks, create, show): the sender is the control.
using TNotifyEvent = Event<void(TObject* sender)>;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

struct TRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

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

  // The widget, or nullptr while the control is not realised.
  QWidget* Widget() const noexcept { return widget_.data(); }
  bool Realised() const noexcept { return !widget_.isNull(); }

 protected:
  // Makes the widget for this control inside `parent` (nullptr for a top-level window).
  virtual QWidget* CreateWidget(QWidget* parent) = 0;
  // The widget children are placed in; by default the control's own widget.
  virtual QWidget* ChildHost() const { return Widget(); }
  // The caption changed (the widget exists or not).
  virtual void CaptionChanged() {}
  // Creates this control's widget and its children's, then lays them out.
  void Realise(QWidget* parent);
  // Copies the stored bounds and visibility to the widget.
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
  QPointer<QWidget> widget_;
};

// The names of TAlign's members, for published properties.
const std::vector<std::string>& AlignNames();

}  // namespace lumo
