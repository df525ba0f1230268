#pragma once
// TDBNavigator: a row of buttons that move and change the dataset behind its DataSource.
// Only the buttons in VisibleButtons are shown, sharing the navigator's width evenly. Moving
// buttons are enabled by where the dataset stands (First/Prior not at the beginning,
// Next/Last not at the end); all are disabled while the dataset is closed. Clicks run under
// the application's default error handler; Delete asks "Datensatz löschen?" first when
// ConfirmDelete is set. The arrows are pictures of our own, drawn by the widget toolkit.

#include "gui/Control.h"

#include <memory>

namespace lumo {

class TDataSource;
class TDataSet;
class NavigatorLink;

enum class TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
constexpr int kNavigateButtonCount = 10;
// Member n of TNavigateBtn is bit n.
using TButtonSet = uint32_t;
constexpr TButtonSet NavigateButton(TNavigateBtn button) { return 1u << static_cast<unsigned>(button); }

class TDBNavigator : public TControl, private NavigatorEvents {
 public:
  static constexpr TButtonSet kAllButtons = (1u << kNavigateButtonCount) - 1;

  explicit TDBNavigator(TComponent* owner);
  ~TDBNavigator() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  TButtonSet VisibleButtons() const noexcept { return visibleButtons_; }
  void SetVisibleButtons(TButtonSet buttons);
  bool Flat() const noexcept { return flat_; }
  void SetFlat(bool flat);
  bool ConfirmDelete() const noexcept { return confirmDelete_; }
  void SetConfirmDelete(bool confirm) { confirmDelete_ = confirm; }

  // Does what a click on the button does (also for buttons that are not visible).
  void BtnClick(TNavigateBtn button);
  // Whether the button would accept a click now (also without widgets).
  bool ButtonEnabled(TNavigateBtn button) const;

  void NotifyComponentChange(TComponent* component, Operation operation) override;

 protected:
  std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) override;
  void ApplyBounds() override;

 private:
  friend class NavigatorLink;
  void ButtonClicked(int index) override { BtnClick(static_cast<TNavigateBtn>(index)); }
  NavigatorFace* Buttons() const noexcept { return static_cast<NavigatorFace*>(Face()); }
  TDataSet* ActiveDataSet() const;
  void UpdateButtons();
  void LayoutButtons();

  TButtonSet visibleButtons_ = kAllButtons;
  bool flat_ = false;
  bool confirmDelete_ = true;
  std::unique_ptr<NavigatorLink> link_;
};

}  // namespace lumo
