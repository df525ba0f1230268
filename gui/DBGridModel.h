#pragma once
// The Qt table model behind TDBGrid (internal to the GUI layer): a cache of the rows read so
// far (the texts of the grid's columns and each record's bookmark), extended in chunks
// through Qt's canFetchMore/fetchMore.
//
// Reading walks the dataset with its controls disabled and puts the cursor back on the
// record it was on; the owner ignores the link's notifications while Loading() is true.
// Errors of the dataset while reading propagate to the caller (Qt's calls are guarded).

#include "db/DbTypes.h"

#include <QAbstractTableModel>

#include <string>
#include <unordered_map>
#include <vector>

namespace lumo {

class TDataSet;
class TDBGrid;
class TField;

class GridModel : public QAbstractTableModel {
 public:
  static constexpr int kChunkSize = 50;

  explicit GridModel(TDBGrid& grid) : grid_(grid) {}

  // Drops the rows and rebuilds the columns from the grid and its dataset.
  void Reset();
  // The row of the dataset's current record, reading further chunks until it is found;
  // -1 when the dataset is closed or empty.
  int RowOfCurrent();
  // Re-reads the texts of the current record's row.
  void RefreshCurrentRow();
  const TBookmark& Bookmark(int row) const { return rows_.at(static_cast<size_t>(row)).bookmark; }
  bool Loading() const noexcept { return loading_; }
  int ColumnWidth(int column) const { return columns_.at(static_cast<size_t>(column)).width; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  struct Column {
    std::string title;
    int width = 0;
    TField* field = nullptr;  // nullptr: the column names no field of the dataset
  };
  struct Row {
    TBookmark bookmark;
    std::vector<QString> texts;
  };

  TDataSet* OpenDataSet() const;
  // Reads up to `count` more rows; answers how many were read.
  int ReadChunk(int count);
  Row ReadCurrent() const;

  TDBGrid& grid_;
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::unordered_map<TBookmark, int> rowOf_;
  bool atEnd_ = false;
  bool loading_ = false;
};

}  // namespace lumo
