// TDataSet: inserting, editing, posting, cancelling and deleting records.

#include "db/DataSet.h"

#include "db/DataSource.h"

#include <algorithm>

namespace lumo {

namespace {

bool IsEditing(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

void TDataSet::CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& errorEvent) {
  if (OperationsConsultErrorEvents() || !errorEvent) {
    (this->*operation)();
    return;
  }
  for (;;) {
    try {
      (this->*operation)();
      return;
    } catch (EAbort&) {
      throw;
    } catch (Exception& error) {
      TDataAction action = TDataAction::daFail;
      errorEvent(*this, error, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
      // daRetry: run the operation again.
    }
  }
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  if (IsEditing(state_) || state_ == TDataSetState::dsSetKey) {
    UpdateRecord();
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

void TDataSet::UpdateRecord() {
  if (!IsEditing(state_) && state_ != TDataSetState::dsSetKey) {
    DatabaseError("Dataset not in edit or insert mode");
  }
  DataEvent(TDataEvent::deUpdateRecord, 0);
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  ClearRecordBuffer(buffer);
  ClearCalculatedValues(buffer);
  WriteBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  if (!QueryCanModify()) DatabaseError("Cannot modify a read-only dataset");
  BeforeInsert(*this);
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(TDataSetState::dsInsert);
  try {
    RaiseNewRecordEvent();
  } catch (...) {
    // The new record never existed: take it out of the window again.
    Cancel();
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange, 0);
  AfterInsert(*this);
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  UpdateCursorPos();
  // Open a row at the active record: the spare buffer moves in, the rows below move down;
  // with a full window the last row becomes the spare.
  std::rotate(buffers_.begin() + activeRecord_, buffers_.end() - 1, buffers_.end());
  if (recordCount_ < bufferCount_) ++recordCount_;
  CursorPosChanged();
  InitRecord(ActiveBuffer());
  if (recordCount_ == 1) bof_ = eof_ = false;
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  // The new record stands after the last one: the window is refilled from the end.
  ClearBuffers();
  TRecordBuffer buffer = buffers_.back();
  InitRecord(buffer);
  WriteBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
  ActivateBuffers();  // the record source's cursor counts as standing on the new row
  PositionAtEnd();
  GetPriorRecords();
  activeRecord_ = recordCount_ - 1;
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (IsEditing(state_)) return;
  CheckActive();
  if (recordCount_ == 0) {
    Insert();
    return;
  }
  if (!QueryCanModify()) DatabaseError("Cannot modify a read-only dataset");
  BeforeEdit(*this);
  UpdateCursorPos();
  CheckOperation(&TDataSet::BeginRecordEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange, 0);
  AfterEdit(*this);
}

void TDataSet::CheckRequiredFields() {
  for (TField* field : fields_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == TFieldKind::fkData &&
        field->IsNull()) {
      DatabaseError("Field '" + field->DisplayName() + "' must have a value");
    }
  }
}

void TDataSet::Post() {
  UpdateRecord();
  if (!IsEditing(state_)) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  BeforePost(*this);
  CheckRequiredFields();
  UpdateCursorPos();
  CheckOperation(&TDataSet::WriteRecordChanges, OnPostError);
  SetState(TDataSetState::dsBrowse);
  Resynchronize(TResyncMode{});
  AfterPost(*this);
}

void TDataSet::Cancel() {
  if (!IsEditing(state_) && state_ != TDataSetState::dsSetKey) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  BeforeCancel(*this);
  UpdateCursorPos();
  CancelChanges();
  SetState(TDataSetState::dsBrowse);
  // Re-reading the window drops a new record that was never written.
  Resynchronize(TResyncMode{});
  AfterCancel(*this);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
    Cancel();
    return;
  }
  // A read-only dataset refuses a delete as it refuses every other change, before anything
  // reaches the record source.
  if (!QueryCanModify()) DatabaseError("Cannot modify a read-only dataset");
  if (recordCount_ == 0) DatabaseError("Cannot perform this operation on an empty dataset");
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  BeforeDelete(*this);
  DoBeforeScroll();
  UpdateCursorPos();
  CheckOperation(&TDataSet::DeleteCurrentRecord, OnDeleteError);
  SetState(TDataSetState::dsBrowse);
  Resynchronize(TResyncMode{});
  AfterDelete(*this);
  DoAfterScroll();
}

void TDataSet::AddWithValues(const std::vector<Variant>& values, bool append) {
  BeginInsertAppend();
  if (!append) UpdateCursorPos();
  DisableControls();
  try {
    if (append) {
      ClearBuffers();
    } else {
      std::rotate(buffers_.begin() + activeRecord_, buffers_.end() - 1, buffers_.end());
      if (recordCount_ < bufferCount_) ++recordCount_;
    }
    if (recordCount_ == 0) {
      ActivateBuffers();  // the spare was made ready as the only row
    }
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (append) WriteBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
    CursorPosChanged();
    state_ = TDataSetState::dsInsert;
    try {
      RaiseNewRecordEvent();
      AfterInsert(*this);
      const size_t count = std::min(values.size(), static_cast<size_t>(fields_.Count()));
      for (size_t i = 0; i < count; ++i) {
        if (values[i].IsNull() || values[i].IsEmpty()) continue;
        fields_.Fields(static_cast<int>(i))->SetValue(values[i]);
      }
      BeforePost(*this);
      CheckRequiredFields();
      AddRecordFromBuffer(buffer, append);
    } catch (...) {
      state_ = TDataSetState::dsBrowse;
      modified_ = false;
      throw;
    }
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    Resynchronize(TResyncMode{});
  } catch (...) {
    try {
      Resynchronize(TResyncMode{});
    } catch (...) {
      ClearBuffers();
    }
    EnableControls();
    throw;
  }
  EnableControls();
  AfterPost(*this);
}

}  // namespace lumo
