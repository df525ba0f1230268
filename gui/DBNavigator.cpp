#include "gui/DBNavigator.h"

#include "db/DataLink.h"
#include "db/DataSet.h"
#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"
#include "gui/Dialogs.h"

namespace lumo {

class NavigatorLink : public TDataLink {
 public:
  explicit NavigatorLink(TDBNavigator& navigator) : navigator_(navigator) {}

 protected:
  void ActiveChanged() override { navigator_.UpdateButtons(); }
  void DataSetChanged() override { navigator_.UpdateButtons(); }
  void DataSetScrolled(int /*distance*/) override { navigator_.UpdateButtons(); }
  void EditingChanged() override { navigator_.UpdateButtons(); }

 private:
  TDBNavigator& navigator_;
};

TDBNavigator::TDBNavigator(TComponent* owner) : TControl(owner), link_(std::make_unique<NavigatorLink>(*this)) {
  SetBounds(0, 0, 240, 25);
}

TDBNavigator::~TDBNavigator() {
  DestroyFace();
  link_.reset();
}

const ClassInfo& TDBNavigator::StaticClass() {
  using T = TDBNavigator;
  static const ClassInfo info = ClassBuilder<T>("TDBNavigator", &TControl::StaticClass)
                                    .Integer("Width", &T::Width, &T::SetWidth, 240)
                                    .Integer("Height", &T::Height, &T::SetHeight, 25)
                                    .Component("DataSource", &T::DataSource, &T::SetDataSource)
                                    .Set("VisibleButtons", &T::VisibleButtons, &T::SetVisibleButtons,
                                         {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete", "nbEdit",
                                          "nbPost", "nbCancel", "nbRefresh"},
                                         kAllButtons)
                                    .Boolean("Flat", &T::Flat, &T::SetFlat, false)
                                    .Boolean("ConfirmDelete", &T::ConfirmDelete, &T::SetConfirmDelete, true);
  return info;
}

const ClassInfo& TDBNavigator::ClassType() const { return StaticClass(); }

TDataSource* TDBNavigator::DataSource() const { return link_->DataSource(); }

void TDBNavigator::SetDataSource(TDataSource* source) {
  if (TDataSource* old = link_->DataSource()) old->RemoveFreeNotification(this);
  link_->SetDataSource(source);
  if (source != nullptr) source->FreeNotification(this);
  UpdateButtons();
}

void TDBNavigator::NotifyComponentChange(TComponent* component, Operation operation) {
  TControl::NotifyComponentChange(component, operation);
  if (operation == Operation::kRemove && link_ && component == link_->DataSource()) {
    link_->SetDataSource(nullptr);
    UpdateButtons();
  }
}

void TDBNavigator::SetVisibleButtons(TButtonSet buttons) {
  visibleButtons_ = buttons & kAllButtons;
  LayoutButtons();
}

void TDBNavigator::SetFlat(bool flat) {
  flat_ = flat;
  if (Realised()) Buttons()->SetFlat(flat);
}

TDataSet* TDBNavigator::ActiveDataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const {
  TDataSet* dataSet = ActiveDataSet();
  if (dataSet == nullptr) return false;
  bool browsing = dataSet->State() == TDataSetState::dsBrowse;
  bool editing = dataSet->State() == TDataSetState::dsEdit || dataSet->State() == TDataSetState::dsInsert;
  bool canModify = !link_->ReadOnly() && dataSet->CanModify();
  switch (button) {
    case TNavigateBtn::nbFirst:
    case TNavigateBtn::nbPrior: return !dataSet->Bof();
    case TNavigateBtn::nbNext:
    case TNavigateBtn::nbLast: return !dataSet->Eof();
    case TNavigateBtn::nbInsert: return canModify;
    case TNavigateBtn::nbDelete:
    case TNavigateBtn::nbEdit: return canModify && browsing && !dataSet->IsEmpty();
    case TNavigateBtn::nbPost:
    case TNavigateBtn::nbCancel: return editing;
    case TNavigateBtn::nbRefresh: return browsing;
  }
  return false;
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
  Application.Guard([this, button] {
    TDataSet* dataSet = ActiveDataSet();
    if (dataSet == nullptr) return;
    switch (button) {
      case TNavigateBtn::nbFirst: dataSet->First(); break;
      case TNavigateBtn::nbPrior: dataSet->Prior(); break;
      case TNavigateBtn::nbNext: dataSet->Next(); break;
      case TNavigateBtn::nbLast: dataSet->Last(); break;
      case TNavigateBtn::nbInsert: dataSet->Insert(); break;
      case TNavigateBtn::nbDelete:
        if (confirmDelete_ && Confirm(TDBGrid::kDeleteQuestion) != ModalResult::kOk) return;
        dataSet->Delete();
        break;
      case TNavigateBtn::nbEdit: dataSet->Edit(); break;
      case TNavigateBtn::nbPost: dataSet->Post(); break;
      case TNavigateBtn::nbCancel: dataSet->Cancel(); break;
      case TNavigateBtn::nbRefresh: dataSet->Refresh(); break;
    }
  });
}

std::unique_ptr<ControlFace> TDBNavigator::CreateFace(ControlFace* parent) {
  std::unique_ptr<NavigatorFace> row = Toolkit().CreateNavigator(*parent, *this, kNavigateButtonCount);
  row->SetFlat(flat_);
  return row;
}

void TDBNavigator::ApplyBounds() {
  TControl::ApplyBounds();
  LayoutButtons();
  UpdateButtons();
}

void TDBNavigator::LayoutButtons() {
  if (!Realised()) return;
  int count = 0;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    if (visibleButtons_ & (1u << i)) ++count;
  }
  int left = 0;
  int shown = 0;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    bool visible = (visibleButtons_ & (1u << i)) != 0;
    if (!visible) {
      Buttons()->SetButton(i, false, TRect{});
      continue;
    }
    // The width is shared evenly; the remainder goes to the last buttons.
    ++shown;
    int right = Width() * shown / count;
    Buttons()->SetButton(i, true, TRect{left, 0, right - left, Height()});
    left = right;
  }
}

void TDBNavigator::UpdateButtons() {
  if (!Realised()) return;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    Buttons()->SetButtonEnabled(i, ButtonEnabled(static_cast<TNavigateBtn>(i)));
  }
}

}  // namespace lumo
