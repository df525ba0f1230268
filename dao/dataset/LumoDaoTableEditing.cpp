// TLumoDaoTable: inserting, editing, posting, cancelling and deleting through the engine.
// An insert reaches the engine only when it is posted (AddNew, the changed values, Update);
// an edit starts the engine's Edit at once. Only values whose changed flag is set are sent.

#include "dao/dataset/LumoDaoTable.h"

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"
#include "db/Field.h"
#include "jet/DaoConstants.h"
#include "jet/Field.h"
#include "jet/Recordset.h"

namespace lumo {

namespace {

int DaoErrorNumber(const std::exception& error) {
  if (const auto* ole = dynamic_cast<const EOleException*>(&error)) return ole->ErrorCode();
  return 0;
}

}  // namespace

void TLumoDaoTable::RaiseNewRecordEvent() {
  // A new detail record starts with its master's link values; the framework's own handling
  // (OnNewRecord) follows.
  InheritMasterValues();
  TDataSet::RaiseNewRecordEvent();
}

void TLumoDaoTable::BeginRecordEdit() {
  TRecordBuffer buffer = StateRecordBuffer();
  DisposeOldValues();
  if (buffer != nullptr) oldValuesBuffer_ = CopyOfBuffer(buffer);

  TDataAction action = TDataAction::daFail;
  for (;;) {
    try {
      if (Rs().EditMode() != jet::dbEditInProgress) Rs().Edit();
      break;
    } catch (Exception& error) {
      TDaoErrRec dao;
      CollectDaoError(dao);
      if (OnEditError) PutDaoErrorText(error);
      if (DaoErrorNumber(error) == kRecordDeleted || dao.Number == kRecordDeleted) {
        // Another program deleted the record: the cursor goes to a record that is there, and
        // the count no longer includes the one that went.
        countStale_ = true;
        RecoverCursor();
        buffer = StateRecordBuffer();
        DisposeOldValues();
        if (buffer != nullptr) oldValuesBuffer_ = CopyOfBuffer(buffer);
      } else if (Rs().EditMode() != jet::dbEditInProgress) {
        try {
          Rs().Move(0);
        } catch (const std::exception&) {
          // No current record to re-read.
        }
        Resynchronize(TResyncMode{});
      }
      if (!OnEditError) throw;
      OnEditError(*this, error, action);
      if (action == TDataAction::daRetry) continue;
      if (action == TDataAction::daAbort) return;
      throw;
    }
  }
  if (buffer != nullptr) ReadRecordValues(Rs(), true, buffer);
}

void TLumoDaoTable::CancelChanges() {
  if (recordset_ && Rs().EditMode() == jet::dbEditInProgress) {
    try {
      Rs().CancelUpdate();
    } catch (const std::exception&) {
      // Nothing was pending after all.
    }
  }
  if (!blobStreams_.empty() && StateRecordBuffer() != nullptr) LeaveBlobRecord(StateRecordBuffer());
  DisposeOldValues();
  EngineIdle();
}

void TLumoDaoTable::WriteChangedValues(TRecordBuffer buffer) {
  TDaoValueList& values = *Header(buffer).ValueList;
  for (size_t i = 0; i < values.text.size(); ++i) {
    if (values.changed[i] == 0) continue;
    if (i >= defFields_.size() || defFields_[i] == nullptr) continue;
    if (i >= updatableFlags_.size() || !updatableFlags_[i]) continue;
    if (i >= fieldObjectArray_.size()) continue;
    jet::Field& daoField = *fieldObjectArray_[i];
    const std::string& text = values.text[i];
    const TFieldType type = defTypes_[i];
    if (text.empty()) {
      daoField.SetValue(Variant::Null());
    } else if (type == ftBytes && !defGuid_[i]) {
      daoField.SetValue(TextToArray(false, text));
    } else if (type == ftDate || type == ftTime || type == ftDateTime) {
      Variant date = TextToDateVariant(text);
      if (!date.IsNull()) daoField.SetValue(date);
    } else if (HandOverBlob(buffer, i)) {
      // Moved, not copied: see HandOverBlob.
    } else if (type == ftBlob || type == ftMemo || type == ftGraphic || type == ftFmtMemo) {
      std::string sent = encrypterActive_ ? EncryptText(text) : text;
      daoField.SetValue(TextToArray(type == ftMemo, sent));
    } else if (type == ftString && encrypterActive_) {
      daoField.SetValue(Variant(EncryptText(text)));
    } else {
      daoField.SetValue(Variant(text));
    }
  }
}

void TLumoDaoTable::WriteRecordChanges() {
  positionStale_ = false;
  CheckActive();
  TRecordBuffer buffer = TakeWriteBuffer();
  if (buffer == nullptr || !recordset_) return;
  const bool editing = State() == TDataSetState::dsEdit;
  if (editing) ResumeEngineEdit();
  if (!PostBufferToEngine(buffer, editing)) return;  // OnPostError answered daAbort
  SettleOnPostedRecord(buffer, editing);
  DisposeOldValues();
  EngineIdle();
  positionStale_ = true;
}

TRecordBuffer TLumoDaoTable::TakeWriteBuffer() {
  TRecordBuffer buffer = writeBuffer_ != nullptr ? writeBuffer_ : StateRecordBuffer();
  writeBuffer_ = nullptr;
  return buffer;
}

void TLumoDaoTable::RereadEngineRecord() {
  if (Rs().EditMode() == jet::dbEditInProgress) return;
  try {
    Rs().Move(0);
  } catch (const std::exception&) {
    // No current record to re-read.
  }
}

void TLumoDaoTable::CancelEngineEdit() {
  if (!Rs().LockEdits() && Rs().EditMode() == jet::dbEditInProgress) Rs().CancelUpdate();
  RereadEngineRecord();
}

void TLumoDaoTable::CancelEngineAdd() {
  if (Rs().EditMode() == jet::dbEditAdd) Rs().CancelUpdate();
}

void TLumoDaoTable::ResumeEngineEdit() {
  // The engine's edit began with the framework's; a move in between (a resynchronisation)
  // ended it.
  if (Rs().EditMode() == jet::dbEditInProgress) return;
  try {
    Rs().Edit();
  } catch (const std::exception&) {
    RereadEngineRecord();
    RecoverCursor();
    throw;
  }
}

void TLumoDaoTable::SendChangedValues(TRecordBuffer buffer, bool editing) {
  try {
    WriteChangedValues(buffer);
  } catch (...) {
    // A value that could not be converted or encrypted: the half-filled record must not
    // stay pending in the engine, whatever happens next.
    TakeBackBlobs(buffer);
    if (editing) {
      if (Rs().EditMode() == jet::dbEditInProgress) Rs().CancelUpdate();
      RereadEngineRecord();
    } else {
      CancelEngineAdd();
    }
    throw;
  }
}

bool TLumoDaoTable::PostBufferToEngine(TRecordBuffer buffer, bool editing) {
  // Whatever leaves this function, contents handed over to the engine are back in the buffer
  // unless they reached the file.
  struct TakeBack {
    TLumoDaoTable& table;
    TRecordBuffer buffer;
    ~TakeBack() { table.TakeBackBlobs(buffer); }
  } takeBack{*this, buffer};
  TDataAction action = TDataAction::daFail;
  for (;;) {
    bool updating = false;
    try {
      if (!editing) Rs().AddNew();
      SendChangedValues(buffer, editing);
      updating = true;
      Rs().Update();
      if (!blobStreams_.empty()) LeaveBlobRecord(buffer);
      ReleasePostedBlobs(buffer);
      return true;
    } catch (Exception& error) {
      TakeBackBlobs(buffer);
      if (!OnPostError) {
        if (updating) editing ? CancelEngineEdit() : CancelEngineAdd();
        throw;
      }
      PutDaoErrorText(error);
      OnPostError(*this, error, action);
      if (action == TDataAction::daRetry) {
        if (editing) RereadEngineRecord();
        continue;
      }
      if (editing) {
        CancelEngineEdit();
      } else {
        CancelEngineAdd();
      }
      if (action == TDataAction::daAbort) return false;
      throw;
    }
  }
}

void TLumoDaoTable::SettleOnPostedRecord(TRecordBuffer buffer, bool editing) {
  // The record is in the file now. Finding it again may still fail (another program took it
  // away at once, or the engine refuses); such a failure must not reach the framework, which
  // would stay in insert or edit state and write the record a second time at the next post.
  if (!editing) {
    countStale_ = true;
    ++highestPosition_;
    ++currentPosition_;
  }
  try {
    FindPostedRecord(buffer, editing);
  } catch (const std::exception&) {
    // The framework's resynchronisation settles on a record that is there.
    countStale_ = true;
  }
}

void TLumoDaoTable::FindPostedRecord(TRecordBuffer buffer, bool editing) {
  jet::Recordset& rs = Rs();
  TDaoRecordHeader& header = Header(buffer);
  if (!editing) {
    if (!bookmarkable_) {
      try {
        PositionAtEnd();
        header.RecordPosition = currentPosition_ - 1;
      } catch (const std::exception&) {
        // The new record is found again by the framework's resynchronisation.
      }
    }
    PositionAtEnd();
  }
  if (bookmarkable_) {
    int32_t value = 0;
    if (database_ != nullptr && database_->EngineType() == jet::dbUseJet) {
      value = LastModifiedBookmarkValue(rs);
    } else {
      value = editing ? LastModifiedBookmarkValue(rs) : CurrentBookmarkValue(rs);
    }
    header.BookmarkValue = value;
    GoToBookmarkValue(value);
  }
}

void TLumoDaoTable::AddRecordFromBuffer(TRecordBuffer buffer, bool append) {
  if (append) {
    PositionAtEnd();
    Header(buffer).BookmarkFlag = static_cast<uint8_t>(TBookmarkFlag::bfEOF);
  }
  writeBuffer_ = buffer;
  try {
    WriteRecordChanges();
  } catch (...) {
    writeBuffer_ = nullptr;
    throw;
  }
}

void TLumoDaoTable::DeleteCurrentRecord() {
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer == nullptr || !recordset_) return;
  ForgetBookmark(Header(buffer).RecordPosition);

  // Positions after the deleted record move up by one; the records found gone keep theirs.
  int32_t deletedIndex = -1;
  if (!goneIndexes_.empty()) {
    try {
      deletedIndex = Rs().AbsolutePosition();
    } catch (const std::exception&) {
      deletedIndex = -1;
    }
  }
  TDataAction action = TDataAction::daFail;
  for (;;) {
    try {
      Rs().Delete();
      break;
    } catch (Exception& error) {
      TDaoErrRec dao;
      CollectDaoError(dao);
      const bool goneAlready =
          DaoErrorNumber(error) == kRecordDeleted || dao.Number == kRecordDeleted;
      if (OnDeleteError) {
        PutDaoErrorText(error);
        OnDeleteError(*this, error, action);
        if (action == TDataAction::daRetry) continue;
        if (action == TDataAction::daAbort) {
          countStale_ = true;
          RecoverCursor();
          return;
        }
        if (goneAlready) {
          countStale_ = true;
          RecoverCursor();
        }
        throw;
      }
      if (!goneAlready) throw;
      countStale_ = true;
      RecoverCursor();
      return;
    }
  }
  if (deletedIndex >= 0) {
    for (int32_t& gone : goneIndexes_) {
      if (gone > deletedIndex) --gone;
    }
  }
  EngineIdle();
  countStale_ = true;
  if (Rs().IsEOF()) {
    Rs().MoveLast();
  } else {
    Rs().MoveNext();
  }
}

void TLumoDaoTable::PostRecord() {
  TDataSet::PostRecord();
  if (sortedBy_.Count() == 0 || !refreshSorted_) return;
  CheckBrowseMode();
  bookmarkPositions_.clear();
  bookmarkValues_.clear();
  goneIndexes_.clear();
  ClearBuffers();
  Rs().Requery();
  countStale_ = true;
  ActivateBuffers();
  First();
}

}  // namespace lumo
