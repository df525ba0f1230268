// TDataSet: moving through the records, the window of record buffers, bookmarks.
//
// The window holds recordCount_ records in buffers_[0 .. recordCount_-1]; buffers_.back() is
// the spare buffer every fetch goes into first. currentRecord_ is the window row the record
// source's cursor stands on (-1: unknown); fetching next or prior always starts from the last
// or first row of the window.

#include "db/DataSet.h"

#include <algorithm>

namespace lumo {

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0 && currentRecord_ != activeRecord_) {
    PositionAtBuffer(ActiveBuffer());
    currentRecord_ = activeRecord_;
  }
}

bool TDataSet::GetNextRecord() {
  if (recordCount_ > 0 && currentRecord_ != recordCount_ - 1) {
    PositionAtBuffer(buffers_[static_cast<size_t>(recordCount_ - 1)]);
    currentRecord_ = recordCount_ - 1;
  }
  if (FetchRecord(buffers_.back(), TGetMode::gmNext, true) != TGetResult::grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateBuffers();
  } else if (recordCount_ < bufferCount_) {
    std::swap(buffers_[static_cast<size_t>(recordCount_)], buffers_.back());
    ++recordCount_;
  } else {
    // Full window: the first row leaves (it becomes the spare), the new one comes last.
    std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.end());
    if (activeRecord_ > 0) --activeRecord_;
  }
  currentRecord_ = recordCount_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0 && currentRecord_ != 0) {
    PositionAtBuffer(buffers_.front());
    currentRecord_ = 0;
  }
  if (FetchRecord(buffers_.back(), TGetMode::gmPrior, true) != TGetResult::grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateBuffers();
  } else {
    // The fetched record goes in front; with a full window the last row becomes the spare.
    std::rotate(buffers_.begin(), buffers_.end() - 1, buffers_.end());
    if (recordCount_ < bufferCount_) {
      ++recordCount_;
      ++activeRecord_;
    } else if (activeRecord_ < recordCount_ - 1) {
      ++activeRecord_;
    }
  }
  currentRecord_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int count = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++count;
  return count;
}

int TDataSet::GetPriorRecords() {
  int count = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++count;
  return count;
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    PositionAtStart();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    eof_ = recordCount_ == 0;
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  bof_ = true;
  eof_ = recordCount_ == 0;
  DataEvent(TDataEvent::deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    PositionAtEnd();
    GetPriorRecords();
  } catch (...) {
    eof_ = true;
    bof_ = recordCount_ == 0;
    activeRecord_ = std::max(recordCount_ - 1, 0);
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  eof_ = true;
  bof_ = recordCount_ == 0;
  activeRecord_ = std::max(recordCount_ - 1, 0);
  DataEvent(TDataEvent::deDataSetChange, 0);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = eof_ = false;
    const int oldCount = recordCount_;
    int shift = 0;  // how far the window's first row moved forward
    try {
      while (distance > 0) {
        if (activeRecord_ < recordCount_ - 1) {
          ++activeRecord_;
        } else {
          const bool full = recordCount_ == bufferCount_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          if (full) {
            ++shift;
            activeRecord_ = recordCount_ - 1;
          } else {
            ++activeRecord_;
          }
        }
        --distance;
        ++moved;
      }
      while (distance < 0) {
        if (activeRecord_ > 0) {
          --activeRecord_;
        } else {
          const bool full = recordCount_ == bufferCount_;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          activeRecord_ = 0;
          if (full) --shift;
        }
        ++distance;
        --moved;
      }
    } catch (...) {
      DataEvent(TDataEvent::deDataSetChange, 0);
      throw;
    }
    if (recordCount_ != oldCount) {
      DataEvent(TDataEvent::deDataSetChange, 0);
    } else {
      DataEvent(TDataEvent::deDataSetScroll, shift);
    }
  }
  DoAfterScroll();
  return moved;
}

void TDataSet::Resynchronize(TResyncMode mode) {
  CheckActive();
  TRecordBuffer spare = buffers_.back();
  if (mode.exact) {
    CursorPosChanged();
    if (FetchRecord(spare, TGetMode::gmCurrent, true) != TGetResult::grOK) {
      DatabaseError("Record not found");
    }
  } else if (FetchRecord(spare, TGetMode::gmCurrent, false) != TGetResult::grOK &&
             FetchRecord(spare, TGetMode::gmNext, false) != TGetResult::grOK &&
             FetchRecord(spare, TGetMode::gmPrior, false) != TGetResult::grOK) {
    ClearBuffers();
    DataEvent(TDataEvent::deDataSetChange, 0);
    return;
  }
  // Keep the current record on its row, or put it in the middle of the window.
  int before = mode.center ? (bufferCount_ - 1) / 2 : std::min(activeRecord_, bufferCount_ - 1);
  ActivateBuffers();
  try {
    while (before > 0 && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  DataEvent(TDataEvent::deDataSetChange, 0);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  RefreshCursor();
}

bool TDataSet::IsEmpty() const noexcept { return !Active() || recordCount_ == 0; }

int32_t TDataSet::RecNo() {
  if (!Active()) return -1;
  return ReadRecordNumber();
}

void TDataSet::SetRecNo(int32_t number) {
  CheckActive();
  MoveToRecordNumber(number);
}

int32_t TDataSet::RecordCount() {
  CheckActive();
  return CountRecords();
}

// --- bookmarks -------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
  if (!Active() || bookmarkSize_ <= 0 || recordCount_ == 0) return {};
  TRecordBuffer buffer = ActiveBuffer();
  if (state_ != TDataSetState::dsBrowse && state_ != TDataSetState::dsEdit &&
      state_ != TDataSetState::dsInsert) {
    return {};
  }
  if (ReadBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return {};
  TBookmark bookmark(static_cast<size_t>(bookmarkSize_), '\0');
  ReadBookmarkData(buffer, bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  GoToBookmarkPosition(bookmark);
  Resynchronize(TResyncMode{true, true});
  DoAfterScroll();
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() && b.empty()) return 0;
  if (a.empty()) return -1;
  if (b.empty()) return 1;
  return CompareBookmarkOrder(a, b);
}

}  // namespace lumo
