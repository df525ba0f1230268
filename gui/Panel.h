#pragma once
// TPanel: a plain container with an optional bevel and a centred caption; the controls
// nested in it in a form description sit on it.

#include "gui/Control.h"

namespace lumo {

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner);

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  TBevelCut BevelOuter() const noexcept { return bevelOuter_; }
  void SetBevelOuter(TBevelCut bevel);
  TBevelCut BevelInner() const noexcept { return bevelInner_; }
  void SetBevelInner(TBevelCut bevel);

 protected:
  std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) override;
  void CaptionChanged() override;

 private:
  void ApplyBevel();

  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  TBevelCut bevelInner_ = TBevelCut::bvNone;
};

}  // namespace lumo
