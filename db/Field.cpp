// TField: binding to a dataset, appearance, and the value paths shared by every field class.

#include "db/Field.h"

#include "db/DataSet.h"

#include <cstring>
#include <vector>

namespace lumo {

TField::TField(TComponent* owner) : TComponent(owner) { validChars_.set(); }

TField::~TField() {
  if (dataSet_ != nullptr) dataSet_->DetachField(this);
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) dataSet_->CheckInactive();
  if (dataSet != nullptr) dataSet->CheckInactive();
  if (dataSet_ != nullptr) dataSet_->DetachField(this);
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) dataSet_->AttachField(this);
}

TComponent* TField::GetParentComponent() const { return dataSet_; }

void TField::SetParentComponent(TComponent* parent) {
  // A field nested in a dataset's object of a form description belongs to that dataset.
  if (auto* dataSet = dynamic_cast<TDataSet*>(parent)) SetDataSet(dataSet);
}

void TField::NotifyComponentChange(TComponent* component, Operation operation) {
  TComponent::NotifyComponentChange(component, operation);
  if (operation == Operation::kRemove && component == lookupDataSet_) lookupDataSet_ = nullptr;
}

void TField::SetFieldName(const std::string& name) {
  if (dataSet_ != nullptr) dataSet_->CheckInactive();
  fieldName_ = name;
}

void TField::SetFieldKind(TFieldKind kind) {
  if (dataSet_ != nullptr) dataSet_->CheckInactive();
  fieldKind_ = kind;
}

void TField::SetSize(int32_t size) {
  if (dataSet_ != nullptr) dataSet_->CheckInactive();
  size_ = size;
}

int TField::Index() const { return dataSet_ == nullptr ? -1 : dataSet_->Fields().IndexOf(this); }

void TField::SetIndex(int index) {
  if (dataSet_ == nullptr) return;
  dataSet_->Fields().Move(Index(), index);
  dataSet_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  if (dataSet_ != nullptr) dataSet_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::SetDisplayLabel(const std::string& label) {
  displayLabel_ = label;
  if (dataSet_ != nullptr) dataSet_->DataEvent(TDataEvent::deLayoutChange, 0);
}

const std::string& TField::DisplayName() const noexcept {
  return displayLabel_.empty() ? fieldName_ : displayLabel_;
}

int32_t TField::DisplayWidth() const {
  return displayWidth_ > 0 ? displayWidth_ : DefaultDisplayWidth();
}

void TField::SetDisplayWidth(int32_t width) {
  displayWidth_ = width;
  if (dataSet_ != nullptr) dataSet_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
  if (lookupDataSet_ != nullptr) lookupDataSet_->RemoveFreeNotification(this);
  lookupDataSet_ = dataSet;
  if (dataSet != nullptr) dataSet->FreeNotification(this);
}

namespace {

bool IsWriteState(TDataSetState state) {
  switch (state) {
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
    case TDataSetState::dsSetKey:
    case TDataSetState::dsCalcFields:
    case TDataSetState::dsFilter:
    case TDataSetState::dsNewValue:
    case TDataSetState::dsInternalCalc: return true;
    default: return false;
  }
}

}  // namespace

bool TField::CanModify() const {
  if (dataSet_ == nullptr) return false;
  if (readOnly_ && dataSet_->State() != TDataSetState::dsSetKey) return false;
  return IsWriteState(dataSet_->State()) || dataSet_->State() == TDataSetState::dsBrowse;
}

void TField::CheckDataSet() const {
  if (dataSet_ == nullptr) throw EDatabaseError("Field '" + fieldName_ + "' has no dataset");
}

void TField::CheckCanModify() const {
  CheckDataSet();
  if (readOnly_ && dataSet_->State() != TDataSetState::dsSetKey) {
    throw EDatabaseError("Field '" + fieldName_ + "' cannot be modified");
  }
  if (!IsWriteState(dataSet_->State()))
    dataSet_->DatabaseError("Dataset not in edit or insert mode");
}

// --- value paths ---------------------------------------------------------------------------

bool TField::GetData(void* buffer) const {
  CheckDataSet();
  if (validating_ != nullptr) {
    // OnValidate reads the value about to be stored.
    if (buffer != nullptr) std::memcpy(buffer, validating_, static_cast<size_t>(DataSize()));
    return true;
  }
  if (!dataSet_->Active() && dataSet_->State() != TDataSetState::dsOpening) return false;
  if (dataSet_->State() == TDataSetState::dsBrowse && dataSet_->IsEmpty()) return false;
  return dataSet_->FetchFieldValue(const_cast<TField*>(this), buffer);
}

bool TField::GetDataText(std::string& text) const {
  CheckDataSet();
  // A value being validated, a closed or an empty dataset: GetData knows what to answer.
  if (validating_ != nullptr || !dataSet_->Active()) return false;
  if (dataSet_->State() == TDataSetState::dsBrowse && dataSet_->IsEmpty()) return false;
  return dataSet_->FetchFieldText(const_cast<TField*>(this), text);
}

bool TField::GetDataTimeStamp(TTimeStamp& stamp) const {
  CheckDataSet();
  if (validating_ != nullptr || !dataSet_->Active()) return false;
  if (dataSet_->State() == TDataSetState::dsBrowse && dataSet_->IsEmpty()) return false;
  return dataSet_->FetchFieldTimeStamp(const_cast<TField*>(this), stamp);
}

void TField::SetData(const void* buffer) {
  CheckCanModify();
  dataSet_->StoreFieldValue(this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  if (buffer == nullptr || DataSize() == 0) {
    OnValidate(*this);
    return;
  }
  validating_ = buffer;
  try {
    OnValidate(*this);
  } catch (...) {
    validating_ = nullptr;
    throw;
  }
  validating_ = nullptr;
}

void TField::Change() { OnChange(*this); }

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::SetAsVariant(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    Clear();
  } else {
    WriteAsVariant(value);
  }
}

std::string TField::GetTextOf(bool displayText) const {
  if (OnGetText) {
    std::string text;
    OnGetText(const_cast<TField&>(*this), text, displayText);
    return text;
  }
  return GetTextValue(displayText);
}

void TField::SetText(const std::string& text) {
  if (OnSetText) {
    OnSetText(*this, text);
  } else {
    SetAsString(text);
  }
}

std::string TField::GetTextValue(bool) const { return AsString(); }

void TField::RaiseAccessError(const char* typeName) const {
  throw EDatabaseError("Cannot access field '" + fieldName_ + "' as type " + typeName);
}

Variant TField::ReadAsVariant() const { RaiseAccessError("Variant"); }
void TField::WriteAsVariant(const Variant&) { RaiseAccessError("Variant"); }
std::string TField::ReadAsString() const { RaiseAccessError("String"); }
void TField::WriteAsString(const std::string&) { RaiseAccessError("String"); }
int32_t TField::ReadAsInteger() const { RaiseAccessError("Integer"); }
void TField::WriteAsInteger(int32_t) { RaiseAccessError("Integer"); }
double TField::ReadAsFloat() const { RaiseAccessError("Float"); }
void TField::WriteAsFloat(double) { RaiseAccessError("Float"); }
bool TField::ReadAsBoolean() const { RaiseAccessError("Boolean"); }
void TField::WriteAsBoolean(bool) { RaiseAccessError("Boolean"); }
TDateTime TField::ReadAsDateTime() const { RaiseAccessError("DateTime"); }
void TField::WriteAsDateTime(TDateTime) { RaiseAccessError("DateTime"); }

}  // namespace lumo
