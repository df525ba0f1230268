#include "gui/DBGridModel.h"

#include "db/DataSet.h"
#include "db/Field.h"
#include "db/Fields.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"

#include <algorithm>

namespace lumo {

TDataSet* GridModel::OpenDataSet() const {
  TDataSet* dataSet = grid_.DataSet();
  // A dataset being edited or inserted into must not be walked: moving would post it.
  if (dataSet == nullptr || dataSet->State() != TDataSetState::dsBrowse) return nullptr;
  return dataSet;
}

void GridModel::Reset() {
  beginResetModel();
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
  endResetModel();
}

GridModel::Row GridModel::ReadCurrent() const {
  TDataSet* dataSet = grid_.DataSet();
  Row row;
  row.bookmark = dataSet->GetBookmark();
  row.texts.reserve(columns_.size());
  for (const Column& column : columns_) {
    row.texts.push_back(column.field != nullptr ? QString::fromStdString(column.field->DisplayText())
                                                : QString());
  }
  return row;
}

int GridModel::ReadChunk(int count) {
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
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
  for (Row& row : fresh) {
    rowOf_.emplace(row.bookmark, static_cast<int>(rows_.size()));
    rows_.push_back(std::move(row));
  }
  endInsertRows();
  return static_cast<int>(fresh.size());
}

int GridModel::RowOfCurrent() {
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

void GridModel::RefreshCurrentRow() {
  TDataSet* dataSet = grid_.DataSet();
  if (dataSet == nullptr || !dataSet->Active() || dataSet->IsEmpty()) return;
  auto found = rowOf_.find(dataSet->GetBookmark());
  if (found == rowOf_.end()) return;
  rows_[static_cast<size_t>(found->second)] = ReadCurrent();
  emit dataChanged(index(found->second, 0), index(found->second, columnCount() - 1));
}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const Row& row = rows_.at(static_cast<size_t>(index.row()));
  return row.texts.at(static_cast<size_t>(index.column()));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QString();
  return QString::fromStdString(columns_.at(static_cast<size_t>(section)).title);
}

bool GridModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_ && !loading_ && OpenDataSet() != nullptr;
}

void GridModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  Application.Guard([this] { ReadChunk(kChunkSize); });
}

}  // namespace lumo
