#pragma once
// A small in-memory dataset for the GUI tests: rows of (ID, Name, Stamp) with bookmarks, a
// read-only-but-deletable record source, and a count of the records it has fetched so that a
// test can see how much a control read.

#include "db/DataSet.h"
#include "db/Field.h"
#include "db/FieldDefs.h"
#include "runtime/DateTime.h"
#include "runtime/Exceptions.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumo::test {

class MemoryDataSet : public TDataSet {
 public:
  struct Row {
    int32_t id = 0;
    std::string name;
    TDateTime stamp = 0;
  };

  explicit MemoryDataSet(TComponent* owner) : TDataSet(owner) {}
  ~MemoryDataSet() override { CloseForDestruction(); }

  // Rows "Name 1".."Name n", stamped 3 July 2026 from 09:00 on, one minute apart.
  void Fill(int count) {
    rows_.clear();
    for (int i = 1; i <= count; ++i) {
      rows_.push_back(
          Row{i, "Name " + std::to_string(i), EncodeDate(2026, 7, 3) + EncodeTime(9, 0, 0, 0) + (i - 1) / 1440.0});
    }
    Reindex();
  }
  const std::vector<Row>& Rows() const { return rows_; }
  // Records fetched into buffers since the last reset.
  int fetched = 0;

 protected:
  void LoadFieldDefinitions() override {
    FieldDefs().Clear();
    FieldDefs().Add("ID", ftInteger, 0, true);
    FieldDefs().Add("Name", ftString, 20, false);
    FieldDefs().Add("Stamp", ftDateTime, 0, false);
  }
  void OpenRecordSource() override {
    InitFieldDefs();
    if (FieldCount() == 0) CreateFields();
    BindFields(true);
    SetBookmarkSize(sizeof(int32_t));
    cursor_ = -1;
    open_ = true;
  }
  void CloseRecordSource() override {
    BindFields(false);
    open_ = false;
  }
  bool IsRecordSourceOpen() override { return open_; }
  void HandleOperationError() override {}

  TRecordBuffer NewRecordBuffer() override { return new char[kBufferSize]{}; }
  void DisposeRecordBuffer(TRecordBuffer& buffer) override {
    delete[] buffer;
    buffer = nullptr;
  }
  int32_t RecordBufferSize() override { return kBufferSize; }
  void ClearRecordBuffer(TRecordBuffer buffer) override { std::memset(buffer, 0, kBufferSize); }
  void ReadBookmarkData(TRecordBuffer buffer, void* destination) override {
    std::memcpy(destination, buffer, sizeof(int32_t));
  }
  void WriteBookmarkData(TRecordBuffer buffer, const void* source) override {
    std::memcpy(buffer, source, sizeof(int32_t));
  }
  TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) override {
    return static_cast<TBookmarkFlag>(buffer[sizeof(int32_t)]);
  }
  void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override {
    buffer[sizeof(int32_t)] = static_cast<char>(flag);
  }
  bool IsBookmarkValid(const TBookmark& bookmark) override {
    return bookmark.size() == sizeof(int32_t) && index_.count(IdOf(bookmark.data())) != 0;
  }
  int CompareBookmarkOrder(const TBookmark& a, const TBookmark& b) override {
    int32_t left = IdOf(a.data());
    int32_t right = IdOf(b.data());
    return left < right ? -1 : left > right ? 1 : 0;
  }

  TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool /*check*/) override {
    int count = static_cast<int>(rows_.size());
    if (mode == TGetMode::gmNext) {
      if (cursor_ >= count - 1) {
        cursor_ = count;
        return TGetResult::grEOF;
      }
      ++cursor_;
    } else if (mode == TGetMode::gmPrior) {
      if (cursor_ <= 0) {
        cursor_ = -1;
        return TGetResult::grBOF;
      }
      --cursor_;
    } else if (cursor_ < 0 || cursor_ >= count) {
      return cursor_ < 0 ? TGetResult::grBOF : TGetResult::grEOF;
    }
    std::memcpy(buffer, &rows_[static_cast<size_t>(cursor_)].id, sizeof(int32_t));
    buffer[sizeof(int32_t)] = static_cast<char>(TBookmarkFlag::bfCurrent);
    ++fetched;
    return TGetResult::grOK;
  }

  bool FetchFieldValue(TField* field, void* destination) override {
    TRecordBuffer buffer = ActiveBuffer();
    if (buffer == nullptr) return false;
    auto found = index_.find(IdOf(buffer));
    if (found == index_.end()) return false;
    const Row& row = rows_[static_cast<size_t>(found->second)];
    if (destination == nullptr) return true;
    switch (field->FieldNo()) {
      case 1: std::memcpy(destination, &row.id, sizeof(int32_t)); break;
      case 2: std::memcpy(destination, row.name.c_str(), row.name.size() + 1); break;
      default: {
        double milliSeconds = TimeStampToMSecs(DateTimeToTimeStamp(row.stamp));
        std::memcpy(destination, &milliSeconds, sizeof(double));
        break;
      }
    }
    return true;
  }

  void PositionAtStart() override { cursor_ = -1; }
  void PositionAtEnd() override { cursor_ = static_cast<int>(rows_.size()); }
  void GoToBookmarkPosition(const TBookmark& bookmark) override { cursor_ = index_.at(IdOf(bookmark.data())); }
  void PositionAtBuffer(TRecordBuffer buffer) override { cursor_ = index_.at(IdOf(buffer)); }
  void DeleteCurrentRecord() override {
    int position = index_.at(IdOf(ActiveBuffer()));
    rows_.erase(rows_.begin() + position);
    Reindex();
    cursor_ = position;
  }
  void AddRecordFromBuffer(TRecordBuffer, bool) override { throw EDatabaseError("MemoryDataSet: no inserts"); }
  void WriteRecordChanges() override { throw EDatabaseError("MemoryDataSet: no edits"); }
  void StoreFieldValue(TField*, const void*) override { throw EDatabaseError("MemoryDataSet: no edits"); }

 private:
  static constexpr int32_t kBufferSize = 8;
  static int32_t IdOf(const char* bytes) {
    int32_t id = 0;
    std::memcpy(&id, bytes, sizeof(id));
    return id;
  }
  void Reindex() {
    index_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) index_[rows_[i].id] = static_cast<int>(i);
  }

  std::vector<Row> rows_;
  std::unordered_map<int32_t, int> index_;
  int cursor_ = -1;
  bool open_ = false;
};

}  // namespace lumo::test
