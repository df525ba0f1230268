#include "gui/DBGrid.h"

#include "db/DataLink.h"
#include "db/DataSet.h"
#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/Dialogs.h"
#include "gui/GridRows.h"

namespace lumo {

// The grid's link to its data source; what the dataset reports reaches the grid.
class GridLink : public TDataLink {
 public:
  explicit GridLink(TDBGrid& grid) : grid_(grid) {}

 protected:
  void ActiveChanged() override { grid_.LinkReset(); }
  void DataSetChanged() override { grid_.LinkReset(); }
  void LayoutChanged() override { grid_.LinkReset(); }
  void DataSetScrolled(int /*distance*/) override { grid_.LinkScrolled(); }
  void RecordChanged(TField* /*field*/) override { grid_.LinkRecordChanged(); }

 private:
  TDBGrid& grid_;
};

// --- columns ---------------------------------------------------------------------------------

const ClassInfo& TColumnTitle::StaticClass() {
  static const ClassInfo info = ClassBuilder<TColumnTitle>("TColumnTitle", &TObject::StaticClass)
                                    .String("Caption", &TColumnTitle::Caption, &TColumnTitle::SetCaption);
  return info;
}

const ClassInfo& TColumnTitle::ClassType() const { return StaticClass(); }

const ClassInfo& TColumn::StaticClass() {
  using T = TColumn;
  static const ClassInfo info = ClassBuilder<T>("TColumn", &TObject::StaticClass)
                                    .Boolean("Expanded", &T::Expanded, &T::SetExpanded, false)
                                    .String("FieldName", &T::FieldName, &T::SetFieldName)
                                    .Persistent("Title", static_cast<TColumnTitle& (T::*)()>(&T::Title))
                                    .Integer("Width", &T::Width, &T::SetWidth, kDefaultWidth)
                                    .Boolean("Visible", &T::Visible, &T::SetVisible, true);
  return info;
}

const ClassInfo& TColumn::ClassType() const { return StaticClass(); }

TColumn* TDBGridColumns::Add() {
  items_.push_back(std::make_unique<TColumn>());
  return items_.back().get();
}

// --- TDBGrid -----------------------------------------------------------------------------

TDBGrid::TDBGrid(TComponent* owner) : TControl(owner), link_(std::make_unique<GridLink>(*this)) {
  SetBounds(0, 0, 320, 120);
}

TDBGrid::~TDBGrid() {
  // The view goes before the model it shows, the model before the link that feeds it.
  DestroyFace();
  model_.reset();
  link_.reset();
}

const ClassInfo& TDBGrid::StaticClass() {
  using T = TDBGrid;
  static const ClassInfo info =
      ClassBuilder<T>("TDBGrid", &TControl::StaticClass)
          .Integer("Width", &T::Width, &T::SetWidth, 320)
          .Integer("Height", &T::Height, &T::SetHeight, 120)
          .Component("DataSource", &T::DataSource, &T::SetDataSource)
          .Set("Options", &T::Options, &T::SetOptions,
               {"dgEditing", "dgAlwaysShowEditor", "dgTitles", "dgIndicator", "dgColumnResize", "dgColLines",
                "dgRowLines", "dgTabs", "dgRowSelect", "dgAlwaysShowSelection", "dgConfirmDelete", "dgCancelOnExit",
                "dgMultiSelect"},
               kDefaultOptions)
          .Boolean("ReadOnly", &T::ReadOnly, &T::SetReadOnly, false)
          .Collection("Columns", &T::Columns);
  return info;
}

const ClassInfo& TDBGrid::ClassType() const { return StaticClass(); }

TDataSource* TDBGrid::DataSource() const { return link_->DataSource(); }

void TDBGrid::SetDataSource(TDataSource* source) {
  if (TDataSource* old = link_->DataSource()) old->RemoveFreeNotification(this);
  link_->SetDataSource(source);
  if (source != nullptr) source->FreeNotification(this);
  LinkReset();
}

TDataSet* TDBGrid::DataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

void TDBGrid::NotifyComponentChange(TComponent* component, Operation operation) {
  TControl::NotifyComponentChange(component, operation);
  if (operation == Operation::kRemove && link_ && component == link_->DataSource()) {
    link_->SetDataSource(nullptr);
    LinkReset();
  }
}

void TDBGrid::SetOptions(TDBGridOptions options) {
  options_ = options;
  ApplyOptions();
}

std::unique_ptr<ControlFace> TDBGrid::CreateFace(ControlFace* parent) {
  model_ = std::make_unique<GridRows>(*this);
  std::unique_ptr<GridFace> view = Toolkit().CreateGrid(*parent, *model_);
  model_->SetFace(view.get());
  return view;
}

void TDBGrid::FaceReady() {
  ApplyOptions();
  LinkReset();
}

void TDBGrid::ApplyOptions() {
  if (!Realised()) return;
  GridLook look;
  look.titles = HasOption(TDBGridOption::dgTitles);
  look.indicator = HasOption(TDBGridOption::dgIndicator);
  look.lines = HasOption(TDBGridOption::dgColLines) || HasOption(TDBGridOption::dgRowLines);
  look.resizableColumns = HasOption(TDBGridOption::dgColumnResize);
  look.tabs = HasOption(TDBGridOption::dgTabs);
  look.rowSelect = HasOption(TDBGridOption::dgRowSelect);
  View()->SetLook(look);
}

void TDBGrid::LinkReset() {
  if (!model_ || !Realised() || model_->Loading()) return;
  syncing_ = true;
  model_->Reset();
  for (int column = 0; column < model_->ColumnCount(); ++column) {
    View()->SetColumnWidth(column, model_->ColumnWidth(column));
  }
  syncing_ = false;
  SelectCurrentRecord();
}

void TDBGrid::LinkScrolled() {
  if (!model_ || !Realised() || model_->Loading()) return;
  SelectCurrentRecord();
}

void TDBGrid::LinkRecordChanged() {
  if (!model_ || model_->Loading()) return;
  Application.Guard([this] { model_->RefreshCurrentRow(); });
}

void TDBGrid::SelectCurrentRecord() {
  syncing_ = true;
  int row = -1;
  Application.Guard([&] { row = model_->RowOfCurrent(); });
  View()->SelectRow(row);
  syncing_ = false;
}

void TDBGrid::RowSelected(int row) {
  if (syncing_ || !model_ || model_->Loading()) return;
  TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || row < 0 || row >= model_->RowCount()) return;
  Application.Guard([&] { dataSet->GotoBookmark(model_->Bookmark(row)); });
}

void TDBGrid::DeleteRecord() {
  Application.Guard([this] {
    TDataSet* dataSet = DataSet();
    if (dataSet == nullptr || readOnly_ || dataSet->IsEmpty()) return;
    if (HasOption(TDBGridOption::dgConfirmDelete) && Confirm(kDeleteQuestion) != ModalResult::kOk) return;
    dataSet->Delete();
  });
}

void TDBGrid::FocusLeft() {
  if (!HasOption(TDBGridOption::dgCancelOnExit)) return;
  TDataSet* dataSet = DataSet();
  // An untouched new record is dropped when the user leaves the grid.
  if (dataSet != nullptr && dataSet->State() == TDataSetState::dsInsert && !dataSet->Modified()) {
    Application.Guard([dataSet] { dataSet->Cancel(); });
  }
}

int TDBGrid::LoadedRowCount() const { return model_ ? model_->RowCount() : 0; }

int TDBGrid::SelectedRow() const { return Realised() ? View()->SelectedRow() : -1; }

}  // namespace lumo
