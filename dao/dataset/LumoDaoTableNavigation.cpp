// TLumoDaoTable: the cursor beside the engine's (positions, counts, record numbers),
// bookmarks and their map, fetching records into buffers, and recovering a lost cursor.

#include "dao/dataset/LumoDaoTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "jet/DaoConstants.h"
#include "jet/Recordset.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

int32_t BookmarkValueOf(const Variant& bookmark) {
  if (!bookmark.IsArray()) return 0;
  // Element by element: read once per fetched record, and without copying the array.
  uint32_t value = 0;
  const int32_t low = bookmark.LowBound();
  const int32_t count = std::min(bookmark.HighBound() - low + 1, 4);
  for (int32_t i = 0; i < count; ++i) {
    value |= static_cast<uint32_t>(bookmark.Get(low + i).AsInteger() & 0xFF) << (8 * i);
  }
  return static_cast<int32_t>(value);
}

int32_t BookmarkValueOf(const TBookmark& bookmark) {
  int32_t value = 0;
  std::memcpy(&value, bookmark.data(), std::min<size_t>(bookmark.size(), 4));
  return value;
}

int DaoErrorNumber(const std::exception& error) {
  if (const auto* ole = dynamic_cast<const EOleException*>(&error)) return ole->ErrorCode();
  return 0;
}

constexpr TResyncMode kExactCenter{true, true};

}  // namespace

bool TLumoDaoTable::IsEmptyRecordset() { return Rs().IsBOF() && Rs().IsEOF(); }

bool TLumoDaoTable::IsForwardOnly() const {
  return recordset_ ? recordset_->Type() == jet::dbOpenForwardOnly
                    : tableType_ == jet::dbOpenForwardOnly;
}

bool TLumoDaoTable::RecordFilterInUse() const {
  return Filtered() && static_cast<bool>(OnFilterRecord);
}

// --- positioning ---------------------------------------------------------------------------------

void TLumoDaoTable::PositionAtStart() {
  currentPosition_ = -1;
  scanCounter_ = -1;
  if (!recordset_ || IsEmptyRecordset() || IsForwardOnly()) return;
  try {
    Rs().MoveFirst();
    Rs().MovePrevious();
  } catch (const std::exception&) {
    // Standing before the first record is all that is wanted; an engine that refuses leaves
    // the cursor where the next fetch still finds the first one.
  }
}

int32_t TLumoDaoTable::TableCountCheck() {
  // The table's own count can disagree with what a scan finds in a damaged file; a snapshot
  // counts what is really there.
  auto snapshot = Rs().OpenRecordset(jet::dbOpenSnapshot);
  int32_t count = 0;
  if (!(snapshot->IsBOF() && snapshot->IsEOF())) {
    snapshot->MoveLast();
    count = snapshot->RecordCount();
  }
  snapshot->Close();
  highestPosition_ = count;
  if (count != Rs().RecordCount() && warnOnBadDatabase_) {
    throw EDatabaseError(Format("Database %s needs to be repaired and compacted!",
                                database_ != nullptr ? database_->Database() : std::string()));
  }
  return count;
}

void TLumoDaoTable::PositionAtEnd() {
  if (!recordset_) return;
  if (IsEmptyRecordset()) {
    currentPosition_ = -1;
    return;
  }
  if (IsForwardOnly()) {
    try {
      bool moved = false;
      while (!Rs().IsEOF()) {
        Rs().MoveNext();
        ++scanCounter_;
        currentPosition_ = scanCounter_;
        moved = true;
      }
      if (moved) --scanCounter_;
    } catch (const std::exception&) {
      // The scan ends where the engine stopped.
    }
    currentPosition_ = scanCounter_;
    return;
  }
  const int32_t before = currentPosition_;
  int32_t count = currentPosition_;
  try {
    Rs().MoveLast();
    Rs().MoveNext();
    count = Rs().RecordCount();
  } catch (const std::exception&) {
    currentPosition_ = count;
    return;
  }
  currentPosition_ = count;
  if (tableType_ == jet::dbOpenTable && (count > highestPosition_ || count < before)) {
    currentPosition_ = TableCountCheck();
  }
}

void TLumoDaoTable::PositionAtBuffer(TRecordBuffer buffer) {
  if (!recordset_ || buffer == nullptr || IsEmptyRecordset()) return;
  TDaoRecordHeader& header = Header(buffer);
  const auto flag = static_cast<TBookmarkFlag>(header.BookmarkFlag);
  if (flag != TBookmarkFlag::bfCurrent && flag != TBookmarkFlag::bfInserted) return;
  const int32_t old = currentPosition_;
  currentPosition_ = header.RecordPosition;
  if (IsForwardOnly() || State() == TDataSetState::dsSetKey) return;

  if (!bookmarkable_) {
    if (currentPosition_ == old) return;
    try {
      if (RecordFilterInUse()) {
        Rs().MoveFirst();
        Rs().Move(currentPosition_);
      } else {
        Rs().Move(currentPosition_ - old);
      }
    } catch (const std::exception&) {
      Rs().MoveFirst();
      Rs().Move(currentPosition_);
    }
    return;
  }
  if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert) return;
  try {
    GoToBookmarkValue(header.BookmarkValue);
  } catch (const std::exception&) {
    TDaoErrRec dao;
    CollectDaoError(dao);
    PositionAtStart();
    Resynchronize(TResyncMode{false, true});
    throw EDatabaseError(dao.Description);
  }
}

// --- fetching ------------------------------------------------------------------------------------

bool TLumoDaoTable::AcceptRecord(TRecordBuffer buffer) {
  bool accepted = true;
  const bool calculate = CalcFieldsSize() > 0 || static_cast<bool>(OnCalcFields);
  if (!calculate && !RecordFilterInUse()) return true;
  TTempState filtering(*this, TDataSetState::dsFilter);
  if (calculate) {
    ClearCalculatedValues(buffer);
    GetCalcFields(buffer);
  }
  if (RecordFilterInUse()) {
    filterBuffer_ = buffer;
    OnFilterRecord(*this, accepted);
  }
  return accepted;
}

TGetResult TLumoDaoTable::FetchRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  if (!recordset_) return TGetResult::grError;
  if (State() == TDataSetState::dsInsert) {
    if (!IsEmptyRecordset()) CheckBrowseMode();
    return TGetResult::grError;
  }
  if (State() == TDataSetState::dsEdit && Rs().EditMode() == jet::dbEditInProgress) {
    CheckBrowseMode();
    return TGetResult::grError;
  }
  jet::Recordset& rs = Rs();
  const bool forwardOnly = IsForwardOnly();
  for (;;) {
    TGetResult result = TGetResult::grOK;
    switch (mode) {
      case TGetMode::gmCurrent:
        if (rs.IsEOF()) {
          result = TGetResult::grEOF;
        } else if (rs.IsBOF()) {
          result = TGetResult::grBOF;
        }
        break;
      case TGetMode::gmNext:
        if (!(forwardOnly && currentPosition_ == -1) && !rs.IsEOF()) rs.MoveNext();
        if (rs.IsEOF()) {
          result = TGetResult::grEOF;
        } else {
          ++currentPosition_;
          ++scanCounter_;
        }
        break;
      case TGetMode::gmPrior:
        if (forwardOnly) return TGetResult::grBOF;
        if (!rs.IsBOF()) rs.MovePrevious();
        if (rs.IsBOF()) {
          result = TGetResult::grBOF;
        } else {
          --currentPosition_;
          --scanCounter_;
        }
        break;
    }
    if (result == TGetResult::grEOF) {
      highestPosition_ = currentPosition_ + 1;
    } else {
      highestPosition_ = std::max(highestPosition_, currentPosition_);
    }
    if (result != TGetResult::grOK) return result;
    if (!ReadRecordValues(rs, true, buffer)) {
      if (mode == TGetMode::gmCurrent) return TGetResult::grError;
      // Another program deleted the row: scrolling passes over it to the rows behind, as a
      // rejected record is passed over. Count and record numbers are worked out again.
      countStale_ = true;
      positionStale_ = true;
      continue;
    }
    if (AcceptRecord(buffer)) return TGetResult::grOK;
    if (mode == TGetMode::gmCurrent) return TGetResult::grError;
  }
}

// --- bookmarks
// -------------------------------------------------------------------------------------

void TLumoDaoTable::GoToBookmarkValue(int32_t value) {
  try {
    Rs().SetBookmarkNumber(static_cast<uint32_t>(value));
  } catch (const std::exception& error) {
    TDaoErrRec dao;
    CollectDaoError(dao);
    // Moving to the first record posts a pending insert or edit: while one is being posted
    // that would write it again, so the caller recovers instead.
    const bool changing = State() == TDataSetState::dsInsert || State() == TDataSetState::dsEdit;
    if (!changing && (DaoErrorNumber(error) == kRecordDeleted || dao.Number == kRecordDeleted)) {
      First();
    }
    throw;
  }
}

int32_t TLumoDaoTable::CurrentBookmarkValue(jet::Recordset& recordset) {
  if (!bookmarkable_ || recordset.IsBOF() || recordset.IsEOF()) return 0;
  try {
    return static_cast<int32_t>(recordset.BookmarkNumber());
  } catch (const std::exception&) {
    PositionAtStart();
    return 0;
  }
}

int32_t TLumoDaoTable::LastModifiedBookmarkValue(jet::Recordset& recordset) {
  if (!bookmarkable_ || (recordset.IsBOF() && recordset.IsEOF())) return 0;
  Variant lastModified = recordset.LastModified();
  if (lastModified.IsArray()) return BookmarkValueOf(lastModified);
  return CurrentBookmarkValue(recordset);
}

void TLumoDaoTable::RememberBookmark(int32_t position, int32_t value) {
  if (position < -1) {
    // Positions not known yet are not unique: such a record is remembered by its bookmark.
    auto it = std::find(bookmarkValues_.begin(), bookmarkValues_.end(), value);
    if (it != bookmarkValues_.end()) {
      bookmarkPositions_[static_cast<size_t>(it - bookmarkValues_.begin())] = position;
    } else {
      bookmarkPositions_.push_back(position);
      bookmarkValues_.push_back(value);
    }
    return;
  }
  auto it = std::find(bookmarkPositions_.begin(), bookmarkPositions_.end(), position);
  if (it != bookmarkPositions_.end()) {
    bookmarkValues_[static_cast<size_t>(it - bookmarkPositions_.begin())] = value;
  } else {
    bookmarkPositions_.push_back(position);
    bookmarkValues_.push_back(value);
  }
}

void TLumoDaoTable::ForgetBookmark(int32_t position) {
  auto it = std::find(bookmarkPositions_.begin(), bookmarkPositions_.end(), position);
  if (it == bookmarkPositions_.end()) return;
  auto index = it - bookmarkPositions_.begin();
  bookmarkPositions_.erase(it);
  bookmarkValues_.erase(bookmarkValues_.begin() + index);
  for (int32_t& other : bookmarkPositions_) {
    if (other > position) --other;
  }
}

void TLumoDaoTable::NoteRecordGone() {
  // A table counts and walks the live table; snapshots and forward-only scans lose nothing.
  if (!recordset_ || !bookmarkable_ || Rs().Type() == jet::dbOpenTable ||
      Rs().Type() == jet::dbOpenSnapshot) {
    return;
  }
  try {
    const int32_t index = Rs().AbsolutePosition();
    if (index < 0) return;
    auto it = std::lower_bound(goneIndexes_.begin(), goneIndexes_.end(), index);
    if (it == goneIndexes_.end() || *it != index) goneIndexes_.insert(it, index);
  } catch (const std::exception&) {
    // Without a position the record is only passed over.
  }
}

int32_t TLumoDaoTable::GoneBefore(int32_t daoIndex) const {
  return static_cast<int32_t>(std::lower_bound(goneIndexes_.begin(), goneIndexes_.end(), daoIndex) -
                              goneIndexes_.begin());
}

int32_t TLumoDaoTable::DaoIndexOfNumber(int32_t index) const {
  for (int32_t gone : goneIndexes_) {
    if (gone > index) break;
    ++index;
  }
  return index;
}

void TLumoDaoTable::ReadBookmarkData(TRecordBuffer buffer, void* destination) {
  if (destination == nullptr) return;
  if (bookmarkable_ && buffer != nullptr) {
    const TDaoRecordHeader& header = Header(buffer);
    std::memcpy(destination, &header.BookmarkValue, 4);
    RememberBookmark(header.RecordPosition, header.BookmarkValue);
  } else if (BookmarkSize() > 0) {
    std::memset(destination, 0, static_cast<size_t>(BookmarkSize()));
  }
}

void TLumoDaoTable::WriteBookmarkData(TRecordBuffer buffer, const void* source) {
  if (buffer == nullptr || source == nullptr) return;
  std::memcpy(&Header(buffer).BookmarkValue, source, 4);
}

TBookmarkFlag TLumoDaoTable::ReadBookmarkFlag(TRecordBuffer buffer) {
  return static_cast<TBookmarkFlag>(Header(buffer).BookmarkFlag);
}

void TLumoDaoTable::WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  Header(buffer).BookmarkFlag = static_cast<uint8_t>(flag);
}

TBookmark TLumoDaoTable::ReadBookmarkText() {
  TBookmark text(static_cast<size_t>(BookmarkSize()), '\0');
  try {
    TRecordBuffer buffer = StateRecordBuffer();
    if (bookmarkable_ && buffer != nullptr && text.size() >= 4) {
      const TDaoRecordHeader& header = Header(buffer);
      std::memcpy(text.data(), &header.BookmarkValue, 4);
      RememberBookmark(header.RecordPosition, header.BookmarkValue);
    }
  } catch (const std::exception&) {
    return TBookmark(static_cast<size_t>(BookmarkSize()), '\0');
  }
  return text;
}

void TLumoDaoTable::WriteBookmarkText(const TBookmark& bookmark) {
  if (IsEmpty() || !bookmarkable_ || bookmark.empty()) return;
  GoToBookmarkPosition(bookmark);
  Resynchronize(kExactCenter);
}

void TLumoDaoTable::GoToBookmarkPosition(const TBookmark& bookmark) {
  if (!cursorOpen_) {
    throw EDatabaseError(
        "TLumoDaoTable.InternalGotoBookmark: Cannot goto Bookmark - Table is not Active");
  }
  if (bookmark.empty()) throw EDatabaseError("Invalid Bookmark!");
  if (IsEmptyRecordset()) return;
  const int32_t value = BookmarkValueOf(bookmark);
  if (!bookmarkable_ || value == 0) throw EDatabaseError("Bookmarks are not supported!");
  auto it = std::find(bookmarkValues_.begin(), bookmarkValues_.end(), value);
  if (it == bookmarkValues_.end()) throw EDatabaseError("Invalid Bookmark!");
  const int32_t position = bookmarkPositions_[static_cast<size_t>(it - bookmarkValues_.begin())];
  try {
    Rs().SetBookmarkNumber(static_cast<uint32_t>(value));
    currentPosition_ = position;
  } catch (const std::exception& error) {
    TDaoErrRec dao;
    CollectDaoError(dao);
    if (DaoErrorNumber(error) == kRecordDeleted || dao.Number == kRecordDeleted) {
      RecoverCursor();
      PositionAtStart();
      throw;
    }
    // Any other refusal leaves the cursor where it was.
  }
}

bool TLumoDaoTable::IsBookmarkValid(const TBookmark& bookmark) {
  if (IsEmpty() || !cursorOpen_ || !bookmarkable_ || bookmark.empty()) return false;
  const int32_t value = BookmarkValueOf(bookmark);
  if (value != 0 &&
      std::find(bookmarkValues_.begin(), bookmarkValues_.end(), value) == bookmarkValues_.end()) {
    return false;
  }
  Variant saved;
  try {
    if (!Rs().IsBOF() && !Rs().IsEOF()) saved = Rs().Bookmark();
  } catch (const std::exception&) {
    saved = Variant();
  }
  try {
    GoToBookmarkPosition(bookmark);
    CursorPosChanged();
    return true;
  } catch (const std::exception&) {
    if (saved.IsArray()) {
      try {
        Rs().SetBookmark(saved);
      } catch (const std::exception&) {
        // The saved record went as well; the next move finds a new place.
      }
      CursorPosChanged();
    }
    return false;
  }
}

int TLumoDaoTable::CompareBookmarkOrder(const TBookmark& a, const TBookmark& b) {
  if (a.empty() && b.empty()) return 0;
  if (a.empty()) return 1;
  if (b.empty()) return -1;
  const int32_t first = BookmarkValueOf(a);
  const int32_t second = BookmarkValueOf(b);
  return first < second ? -1 : (first > second ? 1 : 0);
}

// --- counting and numbering ---------------------------------------------------------------------

int32_t TLumoDaoTable::CountRecords() {
  if (!recordset_ || IsForwardOnly()) return -1;
  if (useRecordCount_ && !countStale_) {
    highestPosition_ = cachedRecordCount_;
    return cachedRecordCount_;
  }
  countStale_ = false;
  EngineCall("BOF/EOF");
  if (IsEmptyRecordset()) {
    cachedRecordCount_ = 0;
    highestPosition_ = 0;
    currentPosition_ = -1;
    return 0;
  }
  int32_t count = -1;
  if (RecordFilterInUse()) {
    TTempState browsing(*this, TDataSetState::dsBrowse);
    const int32_t saved = currentPosition_;
    TRecordBuffer scratch = NewRecordBuffer();
    try {
      PositionAtStart();
      count = 0;
      while (FetchRecord(scratch, TGetMode::gmNext, false) == TGetResult::grOK) ++count;
    } catch (...) {
      currentPosition_ = saved;
      DisposeRecordBuffer(scratch);
      throw;
    }
    currentPosition_ = saved;
    DisposeRecordBuffer(scratch);
  } else {
    if (tableType_ == jet::dbOpenTable) {
      try {
        EngineCall("RecordCount");
        count = Rs().RecordCount();
        if (highestPosition_ < count) count = TableCountCheck();
      } catch (const EDatabaseError&) {
        throw;
      } catch (const std::exception&) {
        // The count keeps the last figure obtained.
      }
    } else {
      try {
        EngineCall("MoveLast");
        Rs().MoveFirst();
        Rs().MoveLast();
        count = Rs().RecordCount() - static_cast<int32_t>(goneIndexes_.size());
        if (count < 0) count = 0;
      } catch (const std::exception&) {
        count = -1;
      }
    }
    // Put the engine's cursor back on the dataset's record.
    try {
      if (bookmarkable_) {
        TRecordBuffer buffer = StateRecordBuffer();
        if (buffer != nullptr && Header(buffer).BookmarkValue != 0) {
          GoToBookmarkValue(Header(buffer).BookmarkValue);
        }
      } else {
        Rs().MoveFirst();
        if (currentPosition_ == -1) {
          Rs().MovePrevious();
        } else if (currentPosition_ < count) {
          Rs().Move(currentPosition_);
        }
      }
    } catch (const std::exception&) {
      // The next fetch or positioning puts it right.
    }
  }
  cachedRecordCount_ = count;
  highestPosition_ = count;
  return count;
}

int32_t TLumoDaoTable::PositionFromBookmark(jet::Recordset& recordset, int32_t target) {
  if (!useGetRecNo_) return -1;
  float percent = recordset.PercentPosition() - 2.0f;
  if (percent < 0) percent = 0;
  const int32_t count = CountRecords();
  auto row = static_cast<int32_t>(std::lround(count * percent / 100.0));
  recordset.MoveFirst();
  recordset.Move(row);
  while (!recordset.IsEOF() && CurrentBookmarkValue(recordset) != target) {
    recordset.MoveNext();
    ++row;
  }
  if (recordset.IsEOF()) {
    row = 0;
    recordset.MoveFirst();
    while (!recordset.IsEOF() && CurrentBookmarkValue(recordset) != target) {
      recordset.MoveNext();
      ++row;
    }
  }
  if (recordset.IsBOF() || recordset.IsEOF()) {
    row = count;
    recordset.MoveLast();
    while (!recordset.IsBOF() && CurrentBookmarkValue(recordset) != target) {
      recordset.MovePrevious();
      --row;
    }
  }
  return row;
}

int32_t TLumoDaoTable::ReadRecordNumber() {
  if (!cursorOpen_ || !recordset_) return -1;
  TRecordBuffer buffer = StateRecordBuffer();
  if (buffer != nullptr) PositionAtBuffer(buffer);
  if (!useGetRecNo_) return -1;
  // A position below -1 is not known yet (a Locate on a table does not count its way there):
  // the record to number is then the buffer's own, not the one last written.
  const bool unknown = currentPosition_ < -1;
  if (unknown) positionStale_ = true;
  if (IsForwardOnly()) return currentPosition_ + 1;
  if (Rs().IsBOF()) return -1;

  const bool keyed = tableType_ == jet::dbOpenDynaset || tableType_ == jet::dbOpenSnapshot ||
                     tableType_ == jet::dbOpenDynamic;
  if (RecordFilterInUse()) {
    if (buffer == nullptr) return -1;
    TTempState browsing(*this, TDataSetState::dsBrowse);
    const int32_t target = Header(buffer).BookmarkValue;
    TRecordBuffer scratch = NewRecordBuffer();
    int32_t number = 0;
    bool found = false;
    try {
      PositionAtStart();
      while (FetchRecord(scratch, TGetMode::gmNext, false) == TGetResult::grOK) {
        if (Header(scratch).BookmarkValue == target) {
          found = true;
          break;
        }
        ++number;
      }
      if (!found) PositionAtBuffer(buffer);
    } catch (...) {
      DisposeRecordBuffer(scratch);
      throw;
    }
    DisposeRecordBuffer(scratch);
    return number + 1;
  }

  if (positionStale_ && buffer != nullptr) {
    currentPosition_ = -1;
    if (keyed) {
      currentPosition_ = Rs().AbsolutePosition();
    } else {
      try {
        Rs().MoveNext();
        if (Rs().IsEOF()) currentPosition_ = Rs().RecordCount() - 1;
      } catch (const std::exception&) {
        // Standing on the last record already.
      }
      Rs().MovePrevious();
      if (currentPosition_ == -1) {
        if (bookmarkable_) {
          currentPosition_ = PositionFromBookmark(
              Rs(), unknown ? Header(buffer).BookmarkValue : LastModifiedBookmarkValue(Rs()));
        } else {
          while (!Rs().IsBOF()) {
            ++currentPosition_;
            Rs().MovePrevious();
          }
        }
      }
      Header(buffer).RecordPosition = currentPosition_;
      if (bookmarkable_) {
        GoToBookmarkValue(Header(buffer).BookmarkValue);
      } else {
        Rs().MoveFirst();
        Rs().Move(currentPosition_);
      }
    }
    positionStale_ = false;
  } else if (!positionStale_ && keyed) {
    currentPosition_ = Rs().AbsolutePosition();
  }
  return currentPosition_ + 1 - (keyed ? GoneBefore(currentPosition_) : 0);
}

void TLumoDaoTable::MoveToRecordNumber(int32_t number) {
  CheckBrowseMode();
  CursorPosChanged();
  DoBeforeScroll();
  if (RecordFilterInUse()) {
    TTempState browsing(*this, TDataSetState::dsBrowse);
    const int32_t saved = currentPosition_;
    TRecordBuffer active = IsEmpty() ? nullptr : ActiveBuffer();
    TRecordBuffer scratch = NewRecordBuffer();
    try {
      PositionAtStart();
      for (;;) {
        if (FetchRecord(scratch, TGetMode::gmNext, false) != TGetResult::grOK) {
          // No such record (0 or less scans to the end): back to the record that was
          // current, rather than leaving the engine past the end.
          currentPosition_ = saved;
          if (active != nullptr) {
            try {
              if (bookmarkable_) {
                Rs().SetBookmarkNumber(static_cast<uint32_t>(Header(active).BookmarkValue));
              } else {
                Rs().MoveFirst();
                Rs().Move(saved);
              }
            } catch (const std::exception&) {
              // The record went meanwhile; the resynchronisation below reports it.
            }
          }
          break;
        }
        if (--number == 0) break;
      }
    } catch (...) {
      DisposeRecordBuffer(scratch);
      throw;
    }
    DisposeRecordBuffer(scratch);
  } else {
    currentPosition_ = number >= 1 ? DaoIndexOfNumber(number - 1) : number - 1;
    Rs().MoveFirst();
    Rs().Move(currentPosition_);
  }
  Resynchronize(kExactCenter);
  DoAfterScroll();
}

// --- refreshing and recovering -------------------------------------------------------------------

void TLumoDaoTable::RefreshCursor() {
  countStale_ = true;
  if (ControlsDisabled()) return;
  try {
    // Move 0 makes the engine read the current row again instead of serving it from its
    // cache, so that a row another program deleted is noticed here.
    if (recordset_ && !Rs().IsBOF() && !Rs().IsEOF()) Rs().Move(0);
    Resynchronize(kExactCenter);
  } catch (const std::exception&) {
    RebuildCursor();
  }
}

void TLumoDaoTable::RecoverCursor() {
  countStale_ = true;
  try {
    // Around the active record: the engine's cursor may stand on another row of the window.
    UpdateCursorPos();
    Resynchronize(kExactCenter);
    return;
  } catch (const std::exception&) {
    // The record under the cursor is gone.
  }
  RebuildCursor();
}

void TLumoDaoTable::RebuildCursor() {
  // Opens the recordset again and returns to about the same place.
  countStale_ = true;
  // Records found deleted are not in the recordset opened again.
  const int32_t distance = currentPosition_ - GoneBefore(currentPosition_);
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  OpenDaoRecordset();
  ActivateBuffers();
  First();
  if (distance < CountRecords()) {
    MoveBy(distance);
  } else {
    Last();
  }
}

}  // namespace lumo
