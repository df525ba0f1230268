#include "gui/Control.h"

#include <algorithm>

namespace lumo {

const std::vector<std::string>& AlignNames() {
  static const std::vector<std::string> names = {"alNone",  "alTop",    "alBottom", "alLeft",
                                                 "alRight", "alClient", "alCustom"};
  return names;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  SetParent(nullptr);
  for (TControl* child : controls_) child->parent_ = nullptr;
  controls_.clear();
  DestroyFace();
}

const ClassInfo& TControl::StaticClass() {
  using T = TControl;
  static const ClassInfo info = ClassBuilder<T>("TControl", &TComponent::StaticClass)
                                    .Integer("Left", &T::Left, &T::SetLeft)
                                    .Integer("Top", &T::Top, &T::SetTop)
                                    .Integer("Width", &T::Width, &T::SetWidth)
                                    .Integer("Height", &T::Height, &T::SetHeight)
                                    .Enumeration("Align", &T::Align, &T::SetAlign, AlignNames(), TAlign::alNone)
                                    .Boolean("Visible", &T::Visible, &T::SetVisible, true);
  return info;
}

const ClassInfo& TControl::ClassType() const { return StaticClass(); }

void TControl::SetLeft(int left) { SetBounds(left, top_, width_, height_); }
void TControl::SetTop(int top) { SetBounds(left_, top, width_, height_); }
void TControl::SetWidth(int width) { SetBounds(left_, top_, width, height_); }
void TControl::SetHeight(int height) { SetBounds(left_, top_, width_, height); }

void TControl::SetBounds(int left, int top, int width, int height) {
  bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (Realised()) ApplyBounds();
  if (resized) BoundsChanged();
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_ != nullptr) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  if (Realised()) face_->SetVisible(visible);
  if (parent_ != nullptr) parent_->AlignControls();
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  CaptionChanged();
}

void TControl::SetParent(TControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_ == nullptr) return;
  parent_->controls_.push_back(this);
  if (parent_->Realised() && !Realised()) Realise(parent_->Face());
  parent_->AlignControls();
}

void TControl::RemoveChild(TControl* child) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), child), controls_.end());
  AlignControls();
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent) {
  // A control nested in a non-visual component (or in nothing) has no visual parent.
  SetParent(dynamic_cast<TControl*>(parent));
}

TRect TControl::ClientRect() const { return TRect{0, 0, width_, height_}; }

void TControl::AlignControls() {
  TRect area = ClientRect();
  int left = area.left;
  int top = area.top;
  int right = area.left + area.width;
  int bottom = area.top + area.height;
  // Edge strips first, in creation order, then the client fill: the order a form designer
  // stacks them in.
  for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight}) {
    for (TControl* child : controls_) {
      if (child->align_ != pass || !child->visible_) continue;
      switch (pass) {
        case TAlign::alTop:
          child->SetBounds(left, top, right - left, child->height_);
          top += child->height_;
          break;
        case TAlign::alBottom:
          child->SetBounds(left, bottom - child->height_, right - left, child->height_);
          bottom -= child->height_;
          break;
        case TAlign::alLeft:
          child->SetBounds(left, top, child->width_, bottom - top);
          left += child->width_;
          break;
        default:
          child->SetBounds(right - child->width_, top, child->width_, bottom - top);
          right -= child->width_;
          break;
      }
    }
  }
  for (TControl* child : controls_) {
    if (child->align_ == TAlign::alClient && child->visible_) {
      child->SetBounds(left, top, std::max(0, right - left), std::max(0, bottom - top));
    }
  }
}

void TControl::Realise(ControlFace* parent) {
  if (Realised()) return;
  face_ = CreateFace(parent);
  ApplyBounds();
  CaptionChanged();
  FaceReady();
  for (TControl* child : controls_) child->Realise(face_.get());
  AlignControls();
}

void TControl::DestroyFace() { face_.reset(); }

void TControl::ApplyBounds() {
  face_->SetBounds(TRect{left_, top_, std::max(0, width_), std::max(0, height_)});
  face_->SetVisible(visible_);
}

void TControl::BoundsChanged() { AlignControls(); }

}  // namespace lumo
