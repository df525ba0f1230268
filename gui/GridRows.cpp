#include "gui/GridRows.h"

#include "db/DataSet.h"
#include "db/Field.h"
#include "db/Fields.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"

#include <algorithm>

namespace lumo {

TDataSet* GridRows::OpenDataSet() const {
  TDataSet* dataSet = grid_.DataSet();
  // A dataset being edited or inserted into must not be walked: moving would post it.
  if (dataSet == nullptr || dataSet->State() != TDataSetState::dsBrowse) return nullptr;
  return dataSet;
}

void GridRows::Reset() {
  if (face_ != nullptr) face_->BeginReset();
  columns_.clear();
  rows_.clear();
  rowOf_.clear();
  atEnd_ = false;
  TDataSet* dataSet = grid_.DataSet();
  bool active = dataSet != nullptr && dataSet->Active();
  TDBGridColumns& declared = grid_.Columns();
  if (declared.Count() > 0) {
    for (int i = 0; i < declared.Count(); ++i) {
      const TColumn& column = *declared.Items(i);
      if (!column.Visible()) continue;
      Column entry;
      entry.title = column.Title().Caption().empty() ? column.FieldName() : column.Title().Caption();
      entry.width = column.Width() >= 0 ? column.Width() : TDBGrid::kDefaultColumnWidth;
      entry.field = active ? dataSet->FindField(column.FieldName()) : nullptr;
      columns_.push_back(std::move(entry));
    }
  } else if (active) {
    for (int i = 0; i < dataSet->Fields().Count(); ++i) {
      TField* field = dataSet->Fields()[i];
      if (!field->Visible()) continue;
      columns_.push_back(Column{field->FieldName(), TDBGrid::kDefaultColumnWidth, field});
    }
  }
  if (face_ != nullptr) face_->EndReset();
}

GridRows::Row GridRows::ReadCurrent() const {
  TDataSet* dataSet = grid_.DataSet();
  Row row;
  row.bookmark = dataSet->GetBookmark();
  row.texts.reserve(columns_.size());
  for (const Column& column : columns_) {
    row.texts.push_back(column.field != nullptr ? column.field->DisplayText() : std::string());
  }
  return row;
}

int GridRows::ReadChunk(int count) {
  TDataSet* dataSet = OpenDataSet();
  if (dataSet == nullptr || atEnd_ || count <= 0) return 0;
  std::vector<Row> fresh;
  loading_ = true;
  dataSet->DisableControls();
  try {
    TBookmark home = dataSet->GetBookmark();
    if (rows_.empty()) {
      dataSet->First();
    } else {
      dataSet->GotoBookmark(rows_.back().bookmark);
      dataSet->Next();
    }
    while (static_cast<int>(fresh.size()) < count && !dataSet->Eof()) {
      fresh.push_back(ReadCurrent());
      dataSet->Next();
    }
    atEnd_ = dataSet->Eof();
    if (!home.empty()) dataSet->GotoBookmark(home);
  } catch (...) {
    // A dataset that cannot be read now will not be read by asking again.
    atEnd_ = true;
    dataSet->EnableControls();
    loading_ = false;
    throw;
  }
  dataSet->EnableControls();
  loading_ = false;
  if (fresh.empty()) return 0;
  int first = static_cast<int>(rows_.size());
  if (face_ != nullptr) face_->BeginInsertRows(first, first + static_cast<int>(fresh.size()) - 1);
  for (Row& row : fresh) {
    rowOf_.emplace(row.bookmark, static_cast<int>(rows_.size()));
    rows_.push_back(std::move(row));
  }
  if (face_ != nullptr) face_->EndInsertRows();
  return static_cast<int>(fresh.size());
}

int GridRows::RowOfCurrent() {
  TDataSet* dataSet = OpenDataSet();
  if (dataSet == nullptr || dataSet->IsEmpty()) return -1;
  TBookmark current = dataSet->GetBookmark();
  if (current.empty()) return -1;
  for (;;) {
    auto found = rowOf_.find(current);
    if (found != rowOf_.end()) return found->second;
    // Jumps far ahead (Last) read in growing chunks, so the walk stays linear.
    if (ReadChunk(std::max<int>(kChunkSize, static_cast<int>(rows_.size()))) == 0) return -1;
  }
}

void GridRows::RefreshCurrentRow() {
  TDataSet* dataSet = grid_.DataSet();
  if (dataSet == nullptr || !dataSet->Active() || dataSet->IsEmpty()) return;
  auto found = rowOf_.find(dataSet->GetBookmark());
  if (found == rowOf_.end()) return;
  rows_[static_cast<size_t>(found->second)] = ReadCurrent();
  if (face_ != nullptr) face_->RowChanged(found->second);
}

const std::string& GridRows::Text(int row, int column) const {
  return rows_.at(static_cast<size_t>(row)).texts.at(static_cast<size_t>(column));
}

const std::string& GridRows::Title(int column) const { return columns_.at(static_cast<size_t>(column)).title; }

bool GridRows::CanFetchMore() const { return !atEnd_ && !loading_ && OpenDataSet() != nullptr; }

void GridRows::FetchMore() {
  Application.Guard([this] { ReadChunk(kChunkSize); });
}

void GridRows::RowSelected(int row) { grid_.RowSelected(row); }

void GridRows::DeletePressed() { grid_.DeleteRecord(); }

void GridRows::FocusLeft() { grid_.FocusLeft(); }

}  // namespace lumo
