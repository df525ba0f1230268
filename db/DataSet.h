#pragma once
// TDataSet: the record-buffer dataset that data-aware controls and program code work with.
//
// A dataset class derives from TDataSet and implements the record-source operations below
// (the pure virtual ones at least); the framework calls them at fixed moments:
//   Open:    OpenRecordSource (which loads field definitions and creates or binds fields
//            through CreateFields/BindFields and sets the bookmark size), then NewRecordBuffer
//            for the window, the calc buffer and the temp buffer, then FetchRecord(gmNext)
//            from the start to fill the window. A failed open calls CloseRecordSource and
//            raises the error again.
//   Close:   CloseRecordSource (still in the old state, so that an edit can be dropped), then
//            DisposeRecordBuffer for every buffer.
//   Moving:  PositionAtStart/PositionAtEnd, PositionAtBuffer to bring the record source's
//            cursor to a record of the window, FetchRecord(current/next/prior).
//   Editing: ClearRecordBuffer + RaiseNewRecordEvent (Insert/Append), BeginRecordEdit (Edit),
//            WriteRecordChanges (Post), CancelChanges (Cancel), DeleteCurrentRecord (Delete),
//            AddRecordFromBuffer (InsertRecord/AppendRecord with values). Around the first
//            three of these the framework consults OnEditError / OnPostError / OnDeleteError
//            unless the dataset class answers OperationsConsultErrorEvents() true.
//   Reading: fields read and write through FetchFieldValue / StoreFieldValue; the dataset
//            class validates (TField::Validate) before it stores and reports the change with
//            DataEvent(deFieldChange, field).
//
// States: inactive until open; browse; edit and insert while a record is changed; the other
// states are set temporarily (SetTempState) while calculated fields are computed, records
// filtered and so on.
//
// The window: BufferCount records around the active one (the largest BufferCount of the
// data links, at least 1). Resync/Resynchronize re-reads it around the record source's
// current record.
//
// A dataset class closes itself in its own destructor (CloseForDestruction): the base
// destructor can no longer reach the record source.
//
// Errors (EDatabaseError): "Cannot perform this operation on a closed dataset",
// "Cannot perform this operation on an open dataset", "Cannot modify a read-only dataset",
// "Cannot perform this operation on an empty dataset", "Dataset not in edit or insert mode",
// "Field '<name>' must have a value" (a required field left empty at post); prefixed with
// "<Name>: " when the dataset has a name; "<Name>: Field '<name>' not found" from
// FieldByName and from binding a persistent field; "Record not found" from an exact resync.

#include "db/DbTypes.h"
#include "db/FieldDefs.h"
#include "db/Fields.h"
#include "db/IndexDefs.h"
#include "db/Stream.h"
#include "runtime/Component.h"
#include "runtime/Variant.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

class TDataSource;
class TDataSet;

using TDataSetNotifyEvent = Event<void(TDataSet&)>;
using TDataSetErrorEvent = Event<void(TDataSet&, Exception&, TDataAction&)>;
using TFilterRecordEvent = Event<void(TDataSet&, bool&)>;

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // --- opening and state -------------------------------------------------------------------
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const noexcept {
    return state_ != TDataSetState::dsInactive && state_ != TDataSetState::dsOpening;
  }
  // While loading from a form description the value is kept and applied in FinishLoading.
  void SetActive(bool value);
  TDataSetState State() const noexcept { return state_; }
  bool Modified() const noexcept { return modified_; }
  bool CanModify() { return QueryCanModify(); }
  bool AutoCalcFields() const noexcept { return autoCalcFields_; }
  void SetAutoCalcFields(bool value) { autoCalcFields_ = value; }

  // --- navigation ------------------------------------------------------------------------------
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Answers the number of records actually moved (negative backwards).
  int MoveBy(int distance);
  bool Bof() const noexcept { return bof_; }
  bool Eof() const noexcept { return eof_; }
  int32_t RecNo();                // ReadRecordNumber; -1 when closed
  void SetRecNo(int32_t number);  // MoveToRecordNumber
  int32_t RecordCount();          // CountRecords
  bool IsEmpty() const noexcept;
  void Refresh();  // CheckBrowseMode, then RefreshCursor (re-reads the records)
  void Resync(TResyncMode mode) { Resynchronize(mode); }

  // --- editing ---------------------------------------------------------------------------------
  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void InsertRecord(const std::vector<Variant>& values) { AddWithValues(values, false); }
  void AppendRecord(const std::vector<Variant>& values) { AddWithValues(values, true); }
  // Posts a changed edit or insert, cancels an unchanged one.
  void CheckBrowseMode();
  // Asks the data links to write their pending values into the fields.
  void UpdateRecord();

  // --- fields ----------------------------------------------------------------------------------
  TFields& Fields() noexcept { return fields_; }
  int FieldCount() const noexcept { return fields_.Count(); }
  TField* FindField(const std::string& name) const { return fields_.FindField(name); }
  TField* FieldByName(const std::string& name) const;
  // One name: that field's value; several (";"-separated): an array of their values.
  Variant FieldValues(const std::string& fieldNames) const;
  void SetFieldValues(const std::string& fieldNames, const Variant& values);
  TFieldDefs& FieldDefs() noexcept { return fieldDefs_; }
  virtual TIndexDefs& IndexDefs() { return indexDefs_; }
  // True when the fields were created from the field definitions (not persistent ones).
  bool DefaultFields() const noexcept { return defaultFields_; }
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) {
    return OpenBlobStream(field, mode);
  }

  // --- bookmarks -------------------------------------------------------------------------------
  // The active record's bookmark (BookmarkSize bytes); empty when there is none.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark) {
    return !bookmark.empty() && IsBookmarkValid(bookmark);
  }
  int CompareBookmarks(const TBookmark& a, const TBookmark& b);
  // The bookmark as text (ReadBookmarkText / WriteBookmarkText).
  TBookmark Bookmark() { return ReadBookmarkText(); }
  void SetBookmark(const TBookmark& bookmark) { WriteBookmarkText(bookmark); }

  // --- searching -------------------------------------------------------------------------------
  Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                 const std::string& resultFields) {
    return LookupValues(keyFields, keyValues, resultFields);
  }
  bool FindFirst() { return found_ = FindNextMatch(true, true); }
  bool FindLast() { return found_ = FindNextMatch(true, false); }
  bool FindNext() { return found_ = FindNextMatch(false, true); }
  bool FindPrior() { return found_ = FindNextMatch(false, false); }
  bool Found() const noexcept { return found_; }

  // --- filter ----------------------------------------------------------------------------------
  const std::string& Filter() const noexcept { return filterText_; }
  void SetFilter(const std::string& text) { ChangeFilterText(text); }
  bool Filtered() const noexcept { return filtered_; }
  void SetFiltered(bool value) { ChangeFiltered(value); }

  // --- controls --------------------------------------------------------------------------------
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const noexcept { return disableCount_ > 0; }
  const std::vector<TDataSource*>& DataSources() const noexcept { return dataSources_; }

  // --- the window, for data links ----------------------------------------------------------------
  int BufferCount() const noexcept { return bufferCount_; }
  // Records held in the window (0..BufferCount).
  int WindowRecordCount() const noexcept { return recordCount_; }
  int ActiveRecordIndex() const noexcept { return activeRecord_; }
  // Points the active buffer at another row of the window (for reading); no events.
  void SetActiveRecordIndex(int index);
  TRecordBuffer Buffer(int index) const;

  // --- events ----------------------------------------------------------------------------------
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
  TFilterRecordEvent OnFilterRecord;

  // --- record-source operations (the dataset class implements them)
  // -------------------------------
  virtual void ClearCalculatedValues(TRecordBuffer buffer);   // default: zero the calc area
  virtual void RaiseNewRecordEvent();                         // default: OnNewRecord
  virtual bool FindNextMatch(bool restart, bool goForward);   // default: false
  virtual TBookmark ReadBookmarkText();                       // default: GetBookmark
  virtual bool QueryCanModify();                              // default: true
  virtual int32_t CountRecords();                             // default: -1
  virtual int32_t ReadRecordNumber();                         // default: -1
  virtual void CancelChanges();                               // default: nothing
  virtual void BeginRecordEdit();                             // default: nothing
  virtual void RefreshCursor();                               // default: Resync exact+center
  virtual void WriteBookmarkText(const TBookmark& bookmark);  // default: GotoBookmark
  virtual void ChangeFiltered(bool value);                    // default: store
  virtual void ChangeFilterText(const std::string& value);    // default: store
  virtual void MoveToRecordNumber(int32_t number);            // default: nothing
  virtual void RefreshIndexDefinitions();                     // default: nothing
  virtual TRecordBuffer NewRecordBuffer() = 0;
  virtual void DisposeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual void ReadBookmarkData(TRecordBuffer buffer, void* destination) = 0;
  virtual TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual int32_t RecordBufferSize() = 0;
  virtual void AddRecordFromBuffer(TRecordBuffer buffer, bool append) = 0;
  virtual void DeleteCurrentRecord() = 0;
  virtual void PositionAtStart() = 0;
  virtual void GoToBookmarkPosition(const TBookmark& bookmark) = 0;
  virtual void ClearRecordBuffer(TRecordBuffer buffer) = 0;
  virtual void PositionAtEnd() = 0;
  virtual void WriteRecordChanges() = 0;
  virtual void PositionAtBuffer(TRecordBuffer buffer) = 0;
  virtual void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual void WriteBookmarkData(TRecordBuffer buffer, const void* source) = 0;
  virtual void StoreFieldValue(TField* field, const void* source) = 0;  // source null = Null
  virtual TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) = 0;
  virtual void CloseRecordSource() = 0;
  // Called inside a catch block when an error cannot reach a caller (closing while the
  // dataset is destroyed); the dataset class reports the current exception.
  virtual void HandleOperationError() = 0;
  virtual void LoadFieldDefinitions();  // default: nothing
  virtual void OpenRecordSource() = 0;
  virtual bool IsRecordSourceOpen() = 0;
  virtual bool IsBookmarkValid(const TBookmark& bookmark);                   // default: false
  virtual int CompareBookmarkOrder(const TBookmark& a, const TBookmark& b);  // default: 0
  virtual std::unique_ptr<TStream> OpenBlobStream(TField* field,
                                                  TBlobStreamMode mode);  // default: nullptr
  virtual bool CopyCurrentRecord(TRecordBuffer destination);              // default: false
  virtual bool FetchFieldValue(TField* field,
                               void* destination) = 0;  // null destination: has-value only
  // A string field's text straight from a dataset that keeps its records as text, for
  // AsString: true when the dataset answered (`text` then holds the value, empty for Null),
  // false when the field is to read its binary form through FetchFieldValue instead.
  virtual bool FetchFieldText(TField* field, std::string& text);  // default: false
  // A date or time field's stored value as a time stamp, for AsString and AsDateTime: true
  // when the dataset answered with a value, false when the field is to read its binary
  // form through FetchFieldValue (Null included).
  virtual bool FetchFieldTimeStamp(TField* field, TTimeStamp& stamp);  // default: false
  virtual bool Locate(const std::string& keyFields, const Variant& keyValues,
                      TLocateOptions options);  // default: false
  virtual Variant LookupValues(const std::string& keyFields, const Variant& keyValues,
                               const std::string& resultFields);  // default: Null
  virtual void PostRecord();                                      // default: Post()
  virtual void Resynchronize(TResyncMode mode);
  // Default: copies when source != destination; answers the destination's length.
  virtual int TranslateText(const std::string* source, std::string* destination, bool toOem);

  // --- component ---------------------------------------------------------------------------------
  void FinishLoading() override;
  void NotifyComponentChange(TComponent* component, Operation operation) override;

  // --- framework services for dataset classes ----------------------------------------------------
  TRecordBuffer ActiveBuffer() const;
  TRecordBuffer CalcBuffer() const noexcept { return calcBuffer_; }
  // Points the calculated-fields state at another buffer (a record read for a look-up, whose
  // fields are then read in that state) and answers the buffer it pointed at before.
  TRecordBuffer SetCalcBuffer(TRecordBuffer buffer) noexcept {
    TRecordBuffer previous = calcBuffer_;
    calcBuffer_ = buffer;
    return previous;
  }
  TRecordBuffer TempBuffer() const;
  int32_t CalcFieldsSize() const noexcept { return calcFieldsSize_; }
  int32_t BookmarkSize() const noexcept { return bookmarkSize_; }
  void SetBookmarkSize(int32_t size) { bookmarkSize_ = size; }
  void SetState(TDataSetState state);
  // Sets a state without telling anyone and answers the previous one for RestoreState.
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState previous);
  // Makes the fields of the field definitions not yet having one (default fields).
  void CreateFields();
  // Binds the fields to their definitions (FieldNo, calculated-area offsets); raises the
  // field-not-found error for a data field without definition.
  void BindFields(bool binding);
  // Destroys the default fields.
  void DestroyFields();
  // Loads the field definitions unless they are up to date.
  void InitFieldDefs();
  void ClearBuffers();
  void ActivateBuffers();
  void CheckActive() const;
  void CheckInactive() const;
  // The record source's cursor is no longer known to stand on a window record.
  void CursorPosChanged() noexcept { currentRecord_ = -1; }
  // Brings the record source's cursor to the active record (PositionAtBuffer).
  void UpdateCursorPos();
  void DataEvent(TDataEvent event, intptr_t info);
  void DoBeforeScroll() { BeforeScroll(*this); }
  void DoAfterScroll() { AfterScroll(*this); }
  // Computes the calculated fields of a buffer (state dsCalcFields, OnCalcFields).
  void GetCalcFields(TRecordBuffer buffer);
  bool IsLoading() const noexcept { return HasState(ComponentStateFlag::kLoading); }
  // Raises EDatabaseError with the dataset's name in front.
  [[noreturn]] void DatabaseError(const std::string& message) const;
  // Closes, reporting errors through HandleOperationError; for dataset destructors.
  void CloseForDestruction() noexcept;
  // Whether the dataset class consults OnEditError/OnPostError/OnDeleteError itself.
  virtual bool OperationsConsultErrorEvents() const { return false; }

  // Used by TField, TDataSource and TDataLink.
  void AttachField(TField* field);
  void DetachField(TField* field);
  void AttachDataSource(TDataSource* source);
  void DetachDataSource(TDataSource* source);
  void UpdateBufferCount();

 private:
  void OpenCursor();
  void CloseCursor();
  void AllocateBuffers();
  void FreeBuffers();
  void SetBufferCount(int count);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void InitRecord(TRecordBuffer buffer);
  void BeginInsertAppend();
  void EndInsertAppend();
  void AddWithValues(const std::vector<Variant>& values, bool append);
  void CheckRequiredFields();
  // Runs one of the editing operations through its error event.
  void CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& errorEvent);
  void NotifySources(TDataEvent event, intptr_t info);

  TFields fields_;
  TFieldDefs fieldDefs_;
  TIndexDefs indexDefs_;
  std::vector<TDataSource*> dataSources_;
  std::vector<TRecordBuffer> buffers_;  // window + one spare (the temp buffer) at the end
  TRecordBuffer calcBuffer_ = nullptr;
  std::string filterText_;
  TDataSetState state_ = TDataSetState::dsInactive;
  TDataSetState disabledState_ = TDataSetState::dsInactive;
  TDataEvent pendingEvent_ = TDataEvent::deDataSetChange;
  int bufferCount_ = 1;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  int disableCount_ = 0;
  int32_t calcFieldsSize_ = 0;
  int32_t bookmarkSize_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool defaultFields_ = false;
  bool autoCalcFields_ = true;
  bool filtered_ = false;
  bool found_ = false;
  bool streamedActive_ = false;
  bool eventPending_ = false;
  bool buffersAllocated_ = false;
};

// Sets a temporary state for a scope.
class TTempState {
 public:
  TTempState(TDataSet& dataSet, TDataSetState state)
      : dataSet_(dataSet), previous_(dataSet.SetTempState(state)) {}
  ~TTempState() { dataSet_.RestoreState(previous_); }
  TTempState(const TTempState&) = delete;
  TTempState& operator=(const TTempState&) = delete;

 private:
  TDataSet& dataSet_;
  TDataSetState previous_;
};

}  // namespace lumo
