// TDataSet: construction, opening and closing, the buffer pool, fields and data events.
// Navigation is in DataSetNavigation.cpp, editing in DataSetEditing.cpp.

#include "db/DataSet.h"

#include "db/DataSource.h"
#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

#include <algorithm>
#include <cstring>

namespace lumo {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), indexDefs_(this) {}

TDataSet::~TDataSet() {
  // The dataset class has closed already (CloseForDestruction); what is left here are the
  // links from others to this object.
  for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) source->SetDataSet(nullptr);
  for (TField* field : std::vector<TField*>(fields_.begin(), fields_.end())) {
    if (field->Owner() == this) continue;  // destroyed with the owned components
    field->SetDataSet(nullptr);
  }
  DestroyComponents();
}

const ClassInfo& TDataSet::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TDataSet>("TDataSet", &TComponent::StaticClass)
          .Boolean("Active", &TDataSet::Active, &TDataSet::SetActive, false)
          .Boolean("AutoCalcFields", &TDataSet::AutoCalcFields, &TDataSet::SetAutoCalcFields, true)
          .String("Filter", &TDataSet::Filter, &TDataSet::SetFilter)
          .Boolean("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered, false)
          .Event("BeforeOpen", &TDataSet::BeforeOpen)
          .Event("AfterOpen", &TDataSet::AfterOpen)
          .Event("BeforeClose", &TDataSet::BeforeClose)
          .Event("AfterClose", &TDataSet::AfterClose)
          .Event("BeforeInsert", &TDataSet::BeforeInsert)
          .Event("AfterInsert", &TDataSet::AfterInsert)
          .Event("BeforeEdit", &TDataSet::BeforeEdit)
          .Event("AfterEdit", &TDataSet::AfterEdit)
          .Event("BeforePost", &TDataSet::BeforePost)
          .Event("AfterPost", &TDataSet::AfterPost)
          .Event("BeforeCancel", &TDataSet::BeforeCancel)
          .Event("AfterCancel", &TDataSet::AfterCancel)
          .Event("BeforeDelete", &TDataSet::BeforeDelete)
          .Event("AfterDelete", &TDataSet::AfterDelete)
          .Event("BeforeScroll", &TDataSet::BeforeScroll)
          .Event("AfterScroll", &TDataSet::AfterScroll)
          .Event("OnCalcFields", &TDataSet::OnCalcFields)
          .Event("OnDeleteError", &TDataSet::OnDeleteError)
          .Event("OnEditError", &TDataSet::OnEditError)
          .Event("OnFilterRecord", &TDataSet::OnFilterRecord)
          .Event("OnNewRecord", &TDataSet::OnNewRecord)
          .Event("OnPostError", &TDataSet::OnPostError);
  return info;
}

const ClassInfo& TDataSet::ClassType() const { return StaticClass(); }

// --- opening and closing ---------------------------------------------------------------------

void TDataSet::SetActive(bool value) {
  if (HasState(ComponentStateFlag::kLoading) || HasState(ComponentStateFlag::kReading)) {
    streamedActive_ = value;
    return;
  }
  if (value == Active()) return;
  if (value) {
    BeforeOpen(*this);
    OpenCursor();
    SetState(TDataSetState::dsBrowse);
    AfterOpen(*this);
    if (!IsEmpty()) DoAfterScroll();
  } else {
    if (!HasState(ComponentStateFlag::kDestroying)) BeforeClose(*this);
    CloseCursor();
    if (!HasState(ComponentStateFlag::kDestroying)) AfterClose(*this);
  }
}

void TDataSet::OpenCursor() {
  state_ = TDataSetState::dsOpening;
  try {
    OpenRecordSource();
    AllocateBuffers();
    bof_ = true;
    eof_ = false;
    recordCount_ = 0;
    activeRecord_ = 0;
    CursorPosChanged();
    GetNextRecords();
    bof_ = true;
    eof_ = recordCount_ == 0;
  } catch (...) {
    // Leave nothing half open: the record source and whatever was made for it go again.
    try {
      CloseRecordSource();
    } catch (...) {}
    FreeBuffers();
    if (defaultFields_) DestroyFields();
    state_ = TDataSetState::dsInactive;
    throw;
  }
}

void TDataSet::CloseCursor() {
  // The record source is closed while the old state still shows, so that a pending edit
  // can be dropped there.
  std::exception_ptr failure;
  try {
    CloseRecordSource();
  } catch (...) {
    failure = std::current_exception();
  }
  FreeBuffers();
  if (defaultFields_) DestroyFields();
  modified_ = false;
  bof_ = eof_ = true;
  SetState(TDataSetState::dsInactive);
  if (failure) std::rethrow_exception(failure);
}

void TDataSet::CloseForDestruction() noexcept {
  try {
    if (Active() || state_ == TDataSetState::dsOpening) {
      SetStateFlag(ComponentStateFlag::kLoading, false);
      CloseCursor();
    }
  } catch (...) {
    try {
      HandleOperationError();
    } catch (...) {}
  }
  FreeBuffers();
}

void TDataSet::FinishLoading() {
  TComponent::FinishLoading();
  if (streamedActive_) {
    streamedActive_ = false;
    SetActive(true);
  }
}

void TDataSet::NotifyComponentChange(TComponent* component, Operation operation) {
  TComponent::NotifyComponentChange(component, operation);
  if (operation != Operation::kRemove) return;
  if (auto* source = dynamic_cast<TDataSource*>(component)) DetachDataSource(source);
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
}

void TDataSet::DatabaseError(const std::string& message) const {
  if (Name().empty()) throw EDatabaseError(message);
  throw EDatabaseError(Name() + ": " + message);
}

// --- states ----------------------------------------------------------------------------------

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  TDataSetState previous = state_;
  state_ = state;
  return previous;
}

void TDataSet::RestoreState(TDataSetState previous) { state_ = previous; }

// --- buffers ---------------------------------------------------------------------------------

void TDataSet::AllocateBuffers() {
  FreeBuffers();
  buffersAllocated_ = true;
  calcBuffer_ = NewRecordBuffer();
  buffers_.reserve(static_cast<size_t>(bufferCount_) + 1);
  for (int i = 0; i <= bufferCount_; ++i) buffers_.push_back(NewRecordBuffer());
}

void TDataSet::FreeBuffers() {
  if (!buffersAllocated_) return;
  buffersAllocated_ = false;
  for (TRecordBuffer& buffer : buffers_) {
    if (buffer != nullptr) DisposeRecordBuffer(buffer);
  }
  buffers_.clear();
  if (calcBuffer_ != nullptr) DisposeRecordBuffer(calcBuffer_);
  calcBuffer_ = nullptr;
  recordCount_ = 0;
  activeRecord_ = 0;
  CursorPosChanged();
}

TRecordBuffer TDataSet::ActiveBuffer() const {
  if (!buffersAllocated_) return nullptr;
  return buffers_[static_cast<size_t>(activeRecord_)];
}

TRecordBuffer TDataSet::TempBuffer() const {
  if (!buffersAllocated_) return nullptr;
  return buffers_.back();
}

TRecordBuffer TDataSet::Buffer(int index) const {
  if (!buffersAllocated_ || index < 0 || index >= recordCount_) return nullptr;
  return buffers_[static_cast<size_t>(index)];
}

void TDataSet::SetActiveRecordIndex(int index) {
  if (index >= 0 && index < std::max(recordCount_, 1)) activeRecord_ = index;
}

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  CursorPosChanged();
  bof_ = eof_ = true;
}

void TDataSet::ActivateBuffers() {
  // The record just fetched into the temp buffer becomes the only one of the window.
  std::swap(buffers_.front(), buffers_.back());
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  bof_ = eof_ = false;
}

void TDataSet::UpdateBufferCount() {
  int largest = 1;
  for (TDataSource* source : dataSources_) {
    for (TDataLink* link : source->DataLinks()) largest = std::max(largest, link->BufferCount());
  }
  SetBufferCount(largest);
}

void TDataSet::SetBufferCount(int count) {
  if (count == bufferCount_) return;
  if (!buffersAllocated_) {
    bufferCount_ = count;
    return;
  }
  if (count > bufferCount_) {
    for (int i = bufferCount_; i < count; ++i) {
      buffers_.insert(buffers_.end() - 1, NewRecordBuffer());
    }
    bufferCount_ = count;
    if (recordCount_ > 0) {
      GetNextRecords();
      GetPriorRecords();
    }
    return;
  }
  // Shrinking keeps the active record: rows in front of it go first, then rows behind.
  int dropFront = std::max(0, activeRecord_ - (count - 1));
  if (dropFront > 0) {
    std::rotate(buffers_.begin(), buffers_.begin() + dropFront, buffers_.end() - 1);
    recordCount_ -= dropFront;
    activeRecord_ -= dropFront;
  }
  recordCount_ = std::min(recordCount_, count);
  // Buffers at count .. bufferCount_-1 hold nothing needed now; the spare stays last.
  for (int i = count; i < bufferCount_; ++i) DisposeRecordBuffer(buffers_[static_cast<size_t>(i)]);
  buffers_.erase(buffers_.begin() + count, buffers_.end() - 1);
  bufferCount_ = count;
  CursorPosChanged();
}

// --- fields ----------------------------------------------------------------------------------

void TDataSet::AttachField(TField* field) {
  if (fields_.IndexOf(field) < 0) fields_.Add(field);
  DataEvent(TDataEvent::deFieldListChange, 0);
}

void TDataSet::DetachField(TField* field) {
  fields_.Remove(field);
  DataEvent(TDataEvent::deFieldListChange, 0);
}

TField* TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) DatabaseError("Field '" + name + "' not found");
  return field;
}

Variant TDataSet::FieldValues(const std::string& fieldNames) const {
  std::vector<std::string> names = Split(fieldNames, ';');
  if (names.size() == 1) return FieldByName(Trim(names[0]))->Value();
  std::vector<Variant> values;
  for (const std::string& name : names) values.push_back(FieldByName(Trim(name))->Value());
  return VarArrayOf(std::move(values));
}

void TDataSet::SetFieldValues(const std::string& fieldNames, const Variant& values) {
  std::vector<std::string> names = Split(fieldNames, ';');
  if (names.size() == 1 && !values.IsArray()) {
    FieldByName(Trim(names[0]))->SetValue(values);
    return;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    FieldByName(Trim(names[i]))->SetValue(values.Get(values.LowBound() + static_cast<int32_t>(i)));
  }
}

void TDataSet::InitFieldDefs() {
  if (fieldDefs_.Updated()) return;
  LoadFieldDefinitions();
  fieldDefs_.SetUpdated(true);
}

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_.Count(); ++i) {
    const TFieldDef& def = fieldDefs_.Items(i);
    if (def.DataType() == ftUnknown || FindField(def.Name()) != nullptr) continue;
    def.CreateField(this, this);
  }
  defaultFields_ = true;
}

void TDataSet::DestroyFields() {
  for (TField* field : std::vector<TField*>(fields_.begin(), fields_.end())) {
    if (field->Owner() == this) delete field;  // leaves the list itself
  }
  defaultFields_ = false;
}

namespace {

// Types a field may bind to: the same, or one of the same family.
int TypeFamily(TFieldType type) {
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: return 1;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return 2;
    case ftDate:
    case ftTime:
    case ftDateTime: return 3;
    case ftString:
    case ftFixedChar:
    case ftWideString: return 4;
    case ftBytes:
    case ftVarBytes: return 5;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftTypedBinary: return 6;
    default: return 100 + static_cast<int>(type);
  }
}

}  // namespace

void TDataSet::BindFields(bool binding) {
  calcFieldsSize_ = 0;
  for (TField* field : fields_) {
    if (field->FieldKind() == TFieldKind::fkCalculated ||
        field->FieldKind() == TFieldKind::fkLookup) {
      field->SetFieldNo(0);
      field->SetOffset(calcFieldsSize_);
      calcFieldsSize_ += field->DataSize() + 1;  // has-value byte, then the value
      continue;
    }
    if (!binding) continue;
    TFieldDef* def = fieldDefs_.FindDef(field->FieldName());
    if (def == nullptr) DatabaseError("Field '" + field->FieldName() + "' not found");
    if (TypeFamily(def->DataType()) != TypeFamily(field->DataType())) {
      DatabaseError("Type mismatch for field '" + field->FieldName() +
                    "', expecting: " + FieldTypeText(field->DataType()) +
                    " actual: " + FieldTypeText(def->DataType()));
    }
    field->SetFieldNo(def->FieldNo());
    if (field->Size() == 0 && def->Size() != 0) field->SetSize(def->Size());
  }
}

// --- calculated fields -----------------------------------------------------------------------

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (calcFieldsSize_ <= 0 && !OnCalcFields) return;
  TRecordBuffer previous = calcBuffer_;
  TTempState temp(*this, TDataSetState::dsCalcFields);
  calcBuffer_ = buffer;
  try {
    ClearCalculatedValues(buffer);
    if (autoCalcFields_ || previous == buffer) OnCalcFields(*this);
  } catch (...) {
    calcBuffer_ = previous;
    throw;
  }
  calcBuffer_ = previous;
}

// --- data events -----------------------------------------------------------------------------

void TDataSet::AttachDataSource(TDataSource* source) {
  if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end()) {
    dataSources_.push_back(source);
    FreeNotification(source);
  }
  UpdateBufferCount();
}

void TDataSet::DetachDataSource(TDataSource* source) {
  auto found = std::find(dataSources_.begin(), dataSources_.end(), source);
  if (found == dataSources_.end()) return;
  dataSources_.erase(found);
  if (!HasState(ComponentStateFlag::kDestroying)) UpdateBufferCount();
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == TDataEvent::deFieldChange) {
    auto* field = reinterpret_cast<TField*>(info);
    if (field != nullptr && (field->FieldKind() == TFieldKind::fkData ||
                             field->FieldKind() == TFieldKind::fkInternalCalc)) {
      modified_ = true;
    }
    if (state_ != TDataSetState::dsSetKey && autoCalcFields_ && calcFieldsSize_ > 0 &&
        state_ != TDataSetState::dsCalcFields && ActiveBuffer() != nullptr) {
      GetCalcFields(ActiveBuffer());
    }
    if (field != nullptr) field->Change();
  }
  if (disableCount_ > 0) {
    // Controls catch up in EnableControls: a layout change covers a data change.
    if (event == TDataEvent::deLayoutChange || event == TDataEvent::deFieldListChange) {
      pendingEvent_ = TDataEvent::deLayoutChange;
      eventPending_ = true;
    } else if (event != TDataEvent::deUpdateState && event != TDataEvent::deCheckBrowseMode &&
               event != TDataEvent::deUpdateRecord) {
      if (!eventPending_) pendingEvent_ = TDataEvent::deDataSetChange;
      eventPending_ = true;
    }
    if (event != TDataEvent::deCheckBrowseMode && event != TDataEvent::deUpdateRecord) return;
  }
  NotifySources(event, info);
}

void TDataSet::NotifySources(TDataEvent event, intptr_t info) {
  for (TDataSource* source : std::vector<TDataSource*>(dataSources_))
    source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disableCount_++ == 0) {
    disabledState_ = state_;
    eventPending_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0 || --disableCount_ > 0) return;
  if (state_ != disabledState_) NotifySources(TDataEvent::deUpdateState, 0);
  if (eventPending_ && state_ != TDataSetState::dsInactive) NotifySources(pendingEvent_, 0);
  eventPending_ = false;
}

// --- defaults of the record-source operations ------------------------------------------------

void TDataSet::ClearCalculatedValues(TRecordBuffer buffer) {
  if (buffer != nullptr && calcFieldsSize_ > 0) {
    std::memset(buffer + RecordBufferSize() - calcFieldsSize_, 0,
                static_cast<size_t>(calcFieldsSize_));
  }
}

void TDataSet::RaiseNewRecordEvent() { OnNewRecord(*this); }
bool TDataSet::FindNextMatch(bool, bool) { return false; }
TBookmark TDataSet::ReadBookmarkText() { return GetBookmark(); }
bool TDataSet::QueryCanModify() { return true; }
int32_t TDataSet::CountRecords() { return -1; }
int32_t TDataSet::ReadRecordNumber() { return -1; }
void TDataSet::CancelChanges() {}
void TDataSet::BeginRecordEdit() {}
void TDataSet::RefreshCursor() { Resynchronize(TResyncMode{true, true}); }
void TDataSet::WriteBookmarkText(const TBookmark& bookmark) { GotoBookmark(bookmark); }
void TDataSet::ChangeFiltered(bool value) { filtered_ = value; }
void TDataSet::ChangeFilterText(const std::string& value) { filterText_ = value; }
void TDataSet::MoveToRecordNumber(int32_t) {}
void TDataSet::RefreshIndexDefinitions() {}
void TDataSet::LoadFieldDefinitions() {}
bool TDataSet::IsBookmarkValid(const TBookmark&) { return false; }
int TDataSet::CompareBookmarkOrder(const TBookmark&, const TBookmark&) { return 0; }
std::unique_ptr<TStream> TDataSet::OpenBlobStream(TField*, TBlobStreamMode) { return nullptr; }
bool TDataSet::CopyCurrentRecord(TRecordBuffer) { return false; }
bool TDataSet::FetchFieldText(TField*, std::string&) { return false; }
bool TDataSet::FetchFieldTimeStamp(TField*, TTimeStamp&) { return false; }
bool TDataSet::Locate(const std::string&, const Variant&, TLocateOptions) { return false; }
Variant TDataSet::LookupValues(const std::string&, const Variant&, const std::string&) {
  return Variant::Null();
}
void TDataSet::PostRecord() { Post(); }

int TDataSet::TranslateText(const std::string* source, std::string* destination, bool) {
  if (destination == nullptr) return 0;
  if (source != nullptr && source != destination) *destination = *source;
  return static_cast<int>(destination->size());
}

}  // namespace lumo
