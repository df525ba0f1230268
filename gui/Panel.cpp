#include "gui/Panel.h"

namespace lumo {

namespace {

const std::vector<std::string>& BevelNames() {
  static const std::vector<std::string> names = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
  return names;
}

}  // namespace

TPanel::TPanel(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 185, 41); }

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

std::unique_ptr<ControlFace> TPanel::CreateFace(ControlFace* parent) { return Toolkit().CreatePanel(*parent); }

void TPanel::ApplyBevel() {
  auto* face = static_cast<PanelFace*>(Face());
  if (face == nullptr) return;
  TBevelCut bevel = bevelOuter_ != TBevelCut::bvNone ? bevelOuter_ : bevelInner_;
  face->SetFrame(bevel == TBevelCut::bvLowered || bevel == TBevelCut::bvRaised, bevel == TBevelCut::bvLowered);
}

void TPanel::CaptionChanged() {
  if (auto* face = static_cast<PanelFace*>(Face())) {
    face->SetCaption(Caption());
    ApplyBevel();
  }
}

}  // namespace lumo
