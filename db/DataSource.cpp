// TDataSource and the data links: how a dataset's events reach its controls.

#include "db/DataSource.h"

#include "db/DataSet.h"
#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

// --- TDataSource -----------------------------------------------------------------------------

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
}

const ClassInfo& TDataSource::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TDataSource>("TDataSource", &TComponent::StaticClass)
          .Boolean("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit, true)
          .Component("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
          .Boolean("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled, true)
          .Event("OnDataChange", &TDataSource::OnDataChange)
          .Event("OnStateChange", &TDataSource::OnStateChange)
          .Event("OnUpdateData", &TDataSource::OnUpdateData);
  return info;
}
const ClassInfo& TDataSource::ClassType() const { return StaticClass(); }

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) {
    dataSet_->DetachDataSource(this);
    dataSet_->RemoveFreeNotification(this);
  }
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) dataSet_->AttachDataSource(this);
  UpdateState();
}

void TDataSource::SetEnabled(bool value) {
  enabled_ = value;
  UpdateState();
}

void TDataSource::NotifyComponentChange(TComponent* component, Operation operation) {
  TComponent::NotifyComponentChange(component, operation);
  if (operation == Operation::kRemove && component == dataSet_) {
    dataSet_ = nullptr;
    UpdateState();
  }
}

void TDataSource::Edit() {
  if (autoEdit_ && dataSet_ != nullptr && dataSet_->State() == TDataSetState::dsBrowse)
    dataSet_->Edit();
}

bool TDataSource::IsLinkedTo(const TDataSet* dataSet) const {
  for (TDataLink* link : links_) {
    if (auto* master = dynamic_cast<TMasterDataLink*>(link);
        master && master->Detail() == dataSet) {
      return true;
    }
  }
  return false;
}

void TDataSource::AddDataLink(TDataLink* link) {
  links_.push_back(link);
  if (dataSet_ != nullptr) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
  auto found = std::find(links_.begin(), links_.end(), link);
  if (found != links_.end()) links_.erase(found);
  if (dataSet_ != nullptr && !dataSet_->HasState(ComponentStateFlag::kDestroying)) {
    dataSet_->UpdateBufferCount();
  }
}

void TDataSource::UpdateState() {
  TDataSetState state =
      (enabled_ && dataSet_ != nullptr) ? dataSet_->State() : TDataSetState::dsInactive;
  // A dataset in the middle of opening counts as inactive for its controls.
  if (state == TDataSetState::dsOpening) state = TDataSetState::dsInactive;
  const bool changed = state != state_;
  state_ = state;
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->UpdateState();
  if (changed) OnStateChange(*this);
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == TDataEvent::deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == TDataSetState::dsInactive) return;
  NotifyLinks(event, info);
  switch (event) {
    case TDataEvent::deFieldChange: OnDataChange(*this, reinterpret_cast<TField*>(info)); break;
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange: OnDataChange(*this, nullptr); break;
    case TDataEvent::deUpdateRecord: OnUpdateData(*this); break;
    default: break;
  }
}

// --- TDataLink -------------------------------------------------------------------------------

TDataLink::~TDataLink() {
  if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
  dataSource_ = nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
  dataSource_ = source;
  if (dataSource_ != nullptr) dataSource_->AddDataLink(this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const {
  return dataSource_ == nullptr ? nullptr : dataSource_->DataSet();
}

int TDataLink::ActiveRecord() const {
  TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || !active_) return 0;
  return dataSet->ActiveRecordIndex() - firstRecord_;
}

void TDataLink::SetActiveRecord(int value) {
  if (TDataSet* dataSet = DataSet(); dataSet != nullptr && active_) {
    dataSet->SetActiveRecordIndex(value + firstRecord_);
  }
}

void TDataLink::SetBufferCount(int value) {
  if (value < 1) value = 1;
  if (value == bufferCount_) return;
  bufferCount_ = value;
  if (TDataSet* dataSet = DataSet()) {
    dataSet->UpdateBufferCount();
    if (active_) {
      // Keep the active record inside this link's rows.
      int active = dataSet->ActiveRecordIndex();
      firstRecord_ = std::clamp(firstRecord_, std::max(0, active - bufferCount_ + 1), active);
    }
  }
}

int TDataLink::RecordCount() const {
  TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || !active_) return 0;
  return std::clamp(dataSet->WindowRecordCount() - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
  if (!readOnly_ && !editing_ && dataSource_ != nullptr) dataSource_->Edit();
  return editing_;
}

void TDataLink::SetReadOnly(bool value) {
  readOnly_ = value;
  UpdateState();
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::UpdateState() {
  TDataSetState state = dataSource_ == nullptr ? TDataSetState::dsInactive : dataSource_->State();
  SetActive(state != TDataSetState::dsInactive);
  SetEditing(!readOnly_ && (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert ||
                            state == TDataSetState::dsSetKey));
}

void TDataLink::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value) {
    TDataSet* dataSet = DataSet();
    int active = dataSet == nullptr ? 0 : dataSet->ActiveRecordIndex();
    firstRecord_ = std::max(0, active - bufferCount_ + 1);
  } else {
    firstRecord_ = 0;
  }
  ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
  if (value == editing_) return;
  editing_ = value;
  EditingChanged();
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange: {
      TDataSet* dataSet = DataSet();
      if (dataSet == nullptr) break;
      const int shift = event == TDataEvent::deDataSetScroll ? static_cast<int>(info) : 0;
      const int oldFirst = firstRecord_ - shift;  // the same record, counted in the new window
      int first = oldFirst;
      const int active = dataSet->ActiveRecordIndex();
      if (active < first) first = active;
      if (active >= first + bufferCount_) first = active - bufferCount_ + 1;
      // Use free rows of the window in front when the link's rows run past its end.
      first = std::max(0, std::min(first, dataSet->WindowRecordCount() - bufferCount_));
      if (first > active) first = active;
      firstRecord_ = std::max(first, 0);
      if (event == TDataEvent::deDataSetChange) {
        DataSetChanged();
      } else if (event == TDataEvent::deDataSetScroll) {
        DataSetScrolled(firstRecord_ - oldFirst);
      } else {
        LayoutChanged();
      }
      break;
    }
    case TDataEvent::deUpdateRecord: UpdateRecord(); break;
    case TDataEvent::deCheckBrowseMode: CheckBrowseMode(); break;
    case TDataEvent::deFocusControl: FocusControl(reinterpret_cast<TField*>(info)); break;
    default: break;
  }
}

// --- TMasterDataLink -------------------------------------------------------------------------

void TMasterDataLink::SetFieldNames(const std::string& names) {
  fieldNames_ = names;
  ActiveChanged();
}

void TMasterDataLink::BuildFields() {
  fields_.clear();
  TDataSet* master = DataSet();
  if (master == nullptr || !Active()) return;
  if (master == detail_) throw EDatabaseError("Circular datalinks are not allowed");
  for (const std::string& name : Split(fieldNames_, ';')) {
    std::string trimmed = Trim(name);
    if (!trimmed.empty()) fields_.push_back(master->FieldByName(trimmed));
  }
}

void TMasterDataLink::ActiveChanged() {
  try {
    BuildFields();
  } catch (...) {
    fields_.clear();
    throw;
  }
  if (Active() && !fields_.empty()) {
    OnMasterChange();
  } else {
    OnMasterDisable();
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ != nullptr && detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() { ActiveChanged(); }

void TMasterDataLink::RecordChanged(TField* field) {
  if (fields_.empty() || !Active()) return;
  if (field == nullptr || std::find(fields_.begin(), fields_.end(), field) != fields_.end()) {
    OnMasterChange();
  }
}

}  // namespace lumo
