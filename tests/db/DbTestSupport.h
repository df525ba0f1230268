#pragma once
// A small dataset over an array of rows, for the framework's tests: it records every
// record-source operation the framework calls, and can be told to fail some of them.
//
// Buffer layout: int32 row id, one flag byte, padding to 8; then per field definition one
// has-value byte and the value in its binary form; then the calculated area.

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "runtime/ClassInfo.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace lumo::test {

class TArrayDataSet : public TDataSet {
 public:
  struct Row {
    int32_t id;
    std::vector<std::optional<std::string>> values;  // binary forms
  };

  explicit TArrayDataSet(TComponent* owner = nullptr) : TDataSet(owner) {}
  ~TArrayDataSet() override { CloseForDestruction(); }

  static const ClassInfo& StaticClass() {
    static const ClassInfo info = ClassBuilder<TArrayDataSet>("TArrayDataSet", &TDataSet::StaticClass);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }

  void Define(const std::string& name, TFieldType type, int32_t size = 0) { defs_.push_back({name, type, size}); }
  // Adds a row of integer / text values for the first definitions (ftInteger or ftString).
  void AddRow(const std::vector<std::string>& texts) {
    Row row{nextId_++, {}};
    for (size_t i = 0; i < defs_.size(); ++i) {
      if (i >= texts.size()) {
        row.values.push_back(std::nullopt);
      } else if (defs_[i].type == ftInteger) {
        int32_t value = std::stoi(texts[i]);
        row.values.push_back(std::string(reinterpret_cast<char*>(&value), 4));
      } else {
        row.values.push_back(texts[i]);
      }
    }
    rows_.push_back(std::move(row));
  }
  std::string TextAt(size_t row, size_t field) const {
    const auto& value = rows_[row].values[field];
    if (!value) return "<null>";
    if (defs_[field].type == ftInteger) {
      int32_t number;
      std::memcpy(&number, value->data(), 4);
      return std::to_string(number);
    }
    return std::string(value->c_str());
  }

  std::vector<Row> rows_;
  std::vector<std::string> calls_;
  int failEdits_ = 0, failWrites_ = 0, failDeletes_ = 0;  // how many attempts fail
  bool consultsErrorEvents_ = false;
  bool readOnly_ = false;

 protected:
  struct Def {
    std::string name;
    TFieldType type;
    int32_t size;
  };

  static int32_t BinarySize(const Def& def) {
    switch (def.type) {
      case ftString: return def.size * 4 + 1;
      case ftBoolean: return 2;
      case ftFloat:
      case ftDateTime: return 8;
      default: return 4;
    }
  }
  int32_t& IdOf(TRecordBuffer buffer) { return *reinterpret_cast<int32_t*>(buffer); }
  int IndexOfId(int32_t id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }
  TRecordBuffer StateBuffer() {
    switch (State()) {
      case TDataSetState::dsCalcFields: return CalcBuffer();
      case TDataSetState::dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
      case TDataSetState::dsEdit:
      case TDataSetState::dsInsert: return ActiveBuffer();
      default: return nullptr;
    }
  }
  char* AreaOf(TRecordBuffer buffer, TField* field) {
    if (field->FieldKind() == TFieldKind::fkCalculated) return buffer + 8 + dataSize_ + field->Offset();
    return buffer + offsets_[static_cast<size_t>(field->FieldNo() - 1)];
  }
  void Fill(TRecordBuffer buffer, const Row& row) {
    std::memset(buffer, 0, static_cast<size_t>(RecordBufferSize()));
    IdOf(buffer) = row.id;
    buffer[4] = static_cast<char>(TBookmarkFlag::bfCurrent);
    for (size_t i = 0; i < defs_.size(); ++i) {
      if (!row.values[i]) continue;
      char* area = buffer + offsets_[i];
      area[0] = 1;
      std::memcpy(area + 1, row.values[i]->data(),
                  std::min<size_t>(row.values[i]->size(), static_cast<size_t>(BinarySize(defs_[i]))));
    }
  }
  Row RowOf(TRecordBuffer buffer, int32_t id) {
    Row row{id, {}};
    for (size_t i = 0; i < defs_.size(); ++i) {
      char* area = buffer + offsets_[i];
      if (area[0] == 0) {
        row.values.push_back(std::nullopt);
      } else {
        row.values.push_back(std::string(area + 1, static_cast<size_t>(BinarySize(defs_[i]))));
      }
    }
    return row;
  }
  void MaybeFail(int& counter, const char* what) {
    if (counter > 0) {
      --counter;
      throw EDatabaseError(std::string(what) + " failed");
    }
  }

  void LoadFieldDefinitions() override {
    calls_.push_back("LoadFieldDefinitions");
    FieldDefs().Clear();
    for (const Def& def : defs_) FieldDefs().Add(def.name, def.type, def.size);
  }
  void OpenRecordSource() override {
    calls_.push_back("OpenRecordSource");
    FieldDefs().SetUpdated(false);
    InitFieldDefs();
    if (FieldCount() == 0) CreateFields();
    BindFields(true);
    SetBookmarkSize(4);
    offsets_.clear();
    dataSize_ = 0;
    for (const Def& def : defs_) {
      offsets_.push_back(8 + dataSize_);
      dataSize_ += BinarySize(def) + 1;
    }
    open_ = true;
    cursor_ = -1;
  }
  void CloseRecordSource() override {
    calls_.push_back("CloseRecordSource");
    open_ = false;
    BindFields(false);
    if (DefaultFields()) DestroyFields();
  }
  bool IsRecordSourceOpen() override { return open_; }
  void HandleOperationError() override { calls_.push_back("HandleOperationError"); }
  int32_t RecordBufferSize() override { return 8 + dataSize_ + CalcFieldsSize(); }
  TRecordBuffer NewRecordBuffer() override {
    ++liveBuffers_;
    return new char[static_cast<size_t>(RecordBufferSize())]();
  }
  void DisposeRecordBuffer(TRecordBuffer& buffer) override {
    --liveBuffers_;
    delete[] buffer;
    buffer = nullptr;
  }
  TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
    const int size = static_cast<int>(rows_.size());
    if (mode == TGetMode::gmNext) cursor_ = std::min(cursor_ + 1, size);
    if (mode == TGetMode::gmPrior) cursor_ = std::max(cursor_ - 1, -1);
    if (cursor_ < 0) return TGetResult::grBOF;
    if (cursor_ >= size) return TGetResult::grEOF;
    Fill(buffer, rows_[static_cast<size_t>(cursor_)]);
    GetCalcFields(buffer);
    return TGetResult::grOK;
  }
  void PositionAtStart() override {
    calls_.push_back("PositionAtStart");
    cursor_ = -1;
  }
  void PositionAtEnd() override {
    calls_.push_back("PositionAtEnd");
    cursor_ = static_cast<int>(rows_.size());
  }
  void PositionAtBuffer(TRecordBuffer buffer) override {
    if (ReadBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return;
    int index = IndexOfId(IdOf(buffer));
    if (index >= 0) cursor_ = index;
  }
  void GoToBookmarkPosition(const TBookmark& bookmark) override {
    int32_t id;
    std::memcpy(&id, bookmark.data(), 4);
    int index = IndexOfId(id);
    if (index < 0) throw EDatabaseError("Record not found");
    cursor_ = index;
  }
  void ReadBookmarkData(TRecordBuffer buffer, void* destination) override { std::memcpy(destination, buffer, 4); }
  void WriteBookmarkData(TRecordBuffer buffer, const void* source) override { std::memcpy(buffer, source, 4); }
  TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) override { return static_cast<TBookmarkFlag>(buffer[4]); }
  void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override { buffer[4] = static_cast<char>(flag); }
  void ClearRecordBuffer(TRecordBuffer buffer) override {
    calls_.push_back("ClearRecordBuffer");
    std::memset(buffer, 0, static_cast<size_t>(RecordBufferSize()));
  }
  void RaiseNewRecordEvent() override {
    calls_.push_back("RaiseNewRecordEvent");
    TDataSet::RaiseNewRecordEvent();
  }
  bool FetchFieldValue(TField* field, void* destination) override {
    TRecordBuffer buffer = StateBuffer();
    if (buffer == nullptr) return false;
    char* area = AreaOf(buffer, field);
    if (area[0] == 0) return false;
    if (destination != nullptr) std::memcpy(destination, area + 1, static_cast<size_t>(field->DataSize()));
    return true;
  }
  void StoreFieldValue(TField* field, const void* source) override {
    TRecordBuffer buffer = StateBuffer();
    if (buffer == nullptr) return;
    if (field->FieldKind() == TFieldKind::fkData) field->Validate(source);
    char* area = AreaOf(buffer, field);
    area[0] = source != nullptr ? 1 : 0;
    if (source != nullptr) std::memcpy(area + 1, source, static_cast<size_t>(field->DataSize()));
    if (State() != TDataSetState::dsCalcFields) DataEvent(TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field));
  }
  void BeginRecordEdit() override {
    calls_.push_back("BeginRecordEdit");
    MaybeFail(failEdits_, "Edit");
  }
  void CancelChanges() override { calls_.push_back("CancelChanges"); }
  void InsertRow(TRecordBuffer buffer, bool append) {
    Row row = RowOf(buffer, nextId_++);
    int at = append || ReadBookmarkFlag(buffer) == TBookmarkFlag::bfEOF
                 ? static_cast<int>(rows_.size())
                 : std::clamp(cursor_, 0, static_cast<int>(rows_.size()));
    rows_.insert(rows_.begin() + at, std::move(row));
    cursor_ = at;
  }
  void WriteRecordChanges() override {
    calls_.push_back("WriteRecordChanges");
    MaybeFail(failWrites_, "Post");
    if (State() == TDataSetState::dsEdit) {
      int index = IndexOfId(IdOf(ActiveBuffer()));
      rows_[static_cast<size_t>(index)] = RowOf(ActiveBuffer(), IdOf(ActiveBuffer()));
      cursor_ = index;
    } else {
      InsertRow(ActiveBuffer(), false);
    }
  }
  void AddRecordFromBuffer(TRecordBuffer buffer, bool append) override {
    calls_.push_back(append ? "AddRecordFromBuffer(append)" : "AddRecordFromBuffer(insert)");
    InsertRow(buffer, append);
  }
  void DeleteCurrentRecord() override {
    calls_.push_back("DeleteCurrentRecord");
    MaybeFail(failDeletes_, "Delete");
    rows_.erase(rows_.begin() + cursor_);
  }
  int32_t CountRecords() override { return static_cast<int32_t>(rows_.size()); }
  int32_t ReadRecordNumber() override {
    TRecordBuffer buffer = StateBuffer();
    return buffer == nullptr ? -1 : IndexOfId(IdOf(buffer)) + 1;
  }
  bool IsBookmarkValid(const TBookmark& bookmark) override {
    int32_t id;
    std::memcpy(&id, bookmark.data(), 4);
    return IndexOfId(id) >= 0;
  }
  int CompareBookmarkOrder(const TBookmark& a, const TBookmark& b) override {
    int32_t x, y;
    std::memcpy(&x, a.data(), 4);
    std::memcpy(&y, b.data(), 4);
    return (IndexOfId(x) > IndexOfId(y)) - (IndexOfId(x) < IndexOfId(y));
  }
  bool QueryCanModify() override { return !readOnly_; }
  bool OperationsConsultErrorEvents() const override { return consultsErrorEvents_; }

 public:
  int liveBuffers_ = 0;

 private:
  std::vector<Def> defs_;
  std::vector<int32_t> offsets_;
  int32_t dataSize_ = 0;
  int32_t nextId_ = 100;
  int cursor_ = -1;
  bool open_ = false;
};

// A data link that writes down what it was told.
class TRecordingLink : public TDataLink {
 public:
  std::vector<std::string> events_;

 protected:
  void ActiveChanged() override { events_.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { events_.push_back("changed"); }
  void DataSetScrolled(int distance) override { events_.push_back("scrolled " + std::to_string(distance)); }
  void EditingChanged() override { events_.push_back(Editing() ? "editing" : "not editing"); }
  void RecordChanged(TField* field) override {
    events_.push_back(field == nullptr ? "record" : "record " + field->FieldName());
  }
  void LayoutChanged() override { events_.push_back("layout"); }
};

}  // namespace lumo::test
