#pragma once
// The rows behind TDBGrid's face (internal to the GUI layer): a cache of the rows read so far
// (the texts of the grid's columns and each record's bookmark), extended in chunks when the
// face asks for more (the user scrolls near the end of what was read).
//
// Reading walks the dataset with its controls disabled and puts the cursor back on the
// record it was on; the owner ignores the link's notifications while Loading() is true.
// Errors of the dataset while reading propagate to the caller; what the face calls runs
// under the application's default error handler.

#include "db/DbTypes.h"
#include "gui/WidgetToolkit.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace lumo {

class TDataSet;
class TDBGrid;
class TField;

class GridRows : public GridSource {
 public:
  static constexpr int kChunkSize = 50;

  explicit GridRows(TDBGrid& grid) : grid_(grid) {}

  // The face told of every change (nullptr: none yet).
  void SetFace(GridFace* face) noexcept { face_ = face; }
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

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  int ColumnCount() const override { return static_cast<int>(columns_.size()); }
  const std::string& Text(int row, int column) const override;
  const std::string& Title(int column) const override;
  bool CanFetchMore() const override;
  void FetchMore() override;
  void RowSelected(int row) override;
  void DeletePressed() override;
  void FocusLeft() override;

 private:
  struct Column {
    std::string title;
    int width = 0;
    TField* field = nullptr;  // nullptr: the column names no field of the dataset
  };
  struct Row {
    TBookmark bookmark;
    std::vector<std::string> texts;
  };

  TDataSet* OpenDataSet() const;
  // Reads up to `count` more rows; answers how many were read.
  int ReadChunk(int count);
  Row ReadCurrent() const;

  TDBGrid& grid_;
  GridFace* face_ = nullptr;
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::unordered_map<TBookmark, int> rowOf_;
  bool atEnd_ = false;
  bool loading_ = false;
};

}  // namespace lumo
