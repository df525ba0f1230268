// Moves, positions, bookmarks and RecordCount, following DAO's rules for BOF and EOF: a move
// from a state that has no row in that direction answers 3021, running off an end parks at
// BOF or EOF without an error, and any move drops a pending Edit or AddNew.

#include <cmath>

#include "jet/Recordset.h"
#include "jet/RecordsetState.h"

namespace lumo::jet {

namespace {

Variant BookmarkBytes(uint32_t bookmark) {
  return Variant(std::vector<uint8_t>{static_cast<uint8_t>(bookmark), static_cast<uint8_t>(bookmark >> 8),
                                      static_cast<uint8_t>(bookmark >> 16), static_cast<uint8_t>(bookmark >> 24)});
}

// The number a bookmark variant carries; 0 when it is no bookmark.
uint32_t NumberOfBookmark(const Variant& bookmark) {
  if (!bookmark.IsArray()) return 0;
  std::vector<uint8_t> bytes;
  try {
    bytes = bookmark.AsBytes();
  } catch (const Exception&) {
    return 0;
  }
  if (bytes.size() != 4) return 0;
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool Recordset::IsBOF() const { return Live().bof; }
bool Recordset::IsEOF() const { return Live().eof; }

void Recordset::MoveFirst() {
  State& s = Live();
  RefuseForwardOnly();
  if (s.bof && s.eof) RaiseRecordsetError(3021);
  const RowPosition first = s.rows->First();
  if (first == kNoRow) {
    DiscardEdit();
    s.position = kNoRow;
    s.bof = s.eof = true;
    return;
  }
  Land(first);
}

void Recordset::MoveLast(int /*options: dbRunAsync has nothing to wait for*/) {
  State& s = Live();
  RefuseForwardOnly();
  if (s.bof && s.eof) RaiseRecordsetError(3021);
  const RowPosition last = s.rows->Last();
  if (last == kNoRow) {
    DiscardEdit();
    s.position = kNoRow;
    s.bof = s.eof = true;
    return;
  }
  Land(last);
}

void Recordset::MoveNext() {
  State& s = Live();
  if (s.eof) RaiseRecordsetError(3021);
  const RowPosition next = s.rows->Next(s.bof ? kNoRow : s.position);
  if (next == kNoRow) {
    DiscardEdit();
    s.position = kNoRow;
    s.eof = true;
    return;
  }
  Land(next);
}

void Recordset::MovePrevious() {
  RefuseForwardOnly();
  Move(-1);
}

void Recordset::Move(int rows, const Variant& startBookmark) {
  State& s = Live();
  const bool fromBookmark = !startBookmark.IsEmpty() && !startBookmark.IsNull();
  if (s.engine == EngineKind::kForward && (rows <= 0 || fromBookmark)) RaiseRecordsetError(3251);
  RowPosition start = s.position;
  if (fromBookmark) {
    SetBookmark(startBookmark);
    start = s.position;
  } else if (rows == 0) {
    // Move 0 reads the current row again.
    if (!s.OnRow()) RaiseRecordsetError(3021);
    DiscardEdit();
    s.ForgetRow();
    return;
  } else if (rows > 0) {
    if (s.eof) RaiseRecordsetError(3021);
    if (s.bof) start = kNoRow;
  } else {
    if (s.bof) RaiseRecordsetError(3021);
    if (s.eof) start = kNoRow;
  }
  if (rows == 0) return;

  RowPosition target = kNoRow;
  const bool byIndex =
      (s.engine == EngineKind::kKeyset || s.engine == EngineKind::kSnapshot) && (rows > 1 || rows < -1);
  if (byIndex) {
    // Lists know their rows by index: no need to step through them one by one.
    int64_t index = 0;
    if (start != kNoRow) {
      index = s.rows->IndexOf(start) + rows;
    } else if (rows > 0) {
      index = rows - 1;
    } else {
      const RowPosition last = s.rows->Last();
      index = last == kNoRow ? -1 : s.rows->IndexOf(last) + 1 + rows;
    }
    target = index < 0 ? kNoRow : s.rows->AtIndex(index);
  } else {
    target = start;
    for (int i = 0; i < std::abs(rows); ++i) {
      target = rows > 0 ? s.rows->Next(target) : s.rows->Previous(target);
      if (target == kNoRow) break;
    }
  }
  if (target == kNoRow) {
    DiscardEdit();
    s.position = kNoRow;
    (rows > 0 ? s.eof : s.bof) = true;
    return;
  }
  Land(target);
}

int Recordset::AbsolutePosition() const {
  State& s = Live();
  RefuseForwardOnly();
  if (!s.OnRow()) return -1;
  return static_cast<int>(s.rows->IndexOf(s.position));
}

void Recordset::SetAbsolutePosition(int position) {
  State& s = Live();
  RefuseForwardOnly();
  const RowPosition target = position < 0 ? kNoRow : s.rows->AtIndex(position);
  if (target == kNoRow) RaiseRecordsetError(kDaoInvalidArgument);
  Land(target);
}

float Recordset::PercentPosition() const {
  State& s = Live();
  RefuseForwardOnly();
  if (!s.OnRow()) return 0.0f;
  const int count = RecordCount();
  if (count <= 0) return 0.0f;
  return static_cast<float>(s.rows->IndexOf(s.position)) * 100.0f / static_cast<float>(count);
}

void Recordset::SetPercentPosition(float percent) {
  State& s = Live();
  RefuseForwardOnly();
  if (!(percent >= 0.0f && percent <= 100.0f)) RaiseRecordsetError(kDaoInvalidArgument);
  const int count = RecordCount();
  if (count <= 0) return;
  int64_t index = std::lround(static_cast<double>(percent) / 100.0 * count);
  if (index >= count) index = count - 1;
  const RowPosition target = s.rows->AtIndex(index);
  if (target != kNoRow) Land(target);
}

int Recordset::RecordCount() const {
  State& s = Live();
  return static_cast<int>(s.rows->RecordCount(s.highestVisited));
}

Variant Recordset::BookmarkOfPosition(RowPosition position) const {
  State& s = *state_;
  return BookmarkBytes(s.bookmarks->BookmarkOf(s.rows->KeyAt(position), position));
}

Variant Recordset::Bookmark() const {
  State& s = Live();
  RefuseForwardOnly();
  if (!s.OnRow()) RaiseRecordsetError(3021);
  return BookmarkOfPosition(s.position);
}

void Recordset::SetBookmark(const Variant& bookmark) { SetBookmarkNumber(NumberOfBookmark(bookmark)); }

uint32_t Recordset::BookmarkNumber() const {
  State& s = Live();
  RefuseForwardOnly();
  if (!s.OnRow()) RaiseRecordsetError(3021);
  return s.bookmarks->BookmarkOf(s.rows->KeyAt(s.position), s.position);
}

void Recordset::SetBookmarkNumber(uint32_t number) {
  State& s = Live();
  RefuseForwardOnly();
  auto row = s.bookmarks->RowOf(number);
  if (!row) RaiseRecordsetError(3159);
  const RowPosition position = s.rows->Locate(row->first, row->second);
  // A table finds a bookmarked row by its key; a row it cannot find was deleted.
  if (position == kNoRow) RaiseRecordsetError(s.engine == EngineKind::kTable ? 3167 : 3159);
  if (!s.LoadRow(position)) RaiseRecordsetError(3167);
  s.bookmarks->NoteHint(number, position);
  Land(position);
}

Variant Recordset::LastModified() const {
  State& s = Live();
  RefuseForwardOnly();
  if (!s.lastModified) return Variant::Null();
  return BookmarkBytes(*s.lastModified);
}

}  // namespace lumo::jet
