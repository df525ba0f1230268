// Snapshots: the result rows of one statement, read as the cursor needs them and kept, so
// that the recordset shows the rows as they were when it read them. The statement stays open
// (its read with it) until the last row is read or the recordset and its clones close.

#include <algorithm>

#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/ValueCodec.h"

namespace lumo::jet {

namespace {

// The rows read so far, shared by a snapshot and its clones.
struct SnapshotRows {
  ScanStatement scan;          // its statement is null once every row is read
  std::vector<Variant> cells;  // row after row
  int64_t count = 0;
};

class SnapshotSource final : public RecordSource {
 public:
  SnapshotSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<SnapshotRows> rows)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        rows_(std::move(rows)) {}

  RowPosition First() override { return Reach(0) ? 0 : kNoRow; }
  RowPosition Last() override {
    while (ReadRow()) {}
    return rows_->count - 1;
  }
  RowPosition Next(RowPosition position) override { return Reach(position + 1) ? position + 1 : kNoRow; }
  RowPosition Previous(RowPosition position) override { return position == kNoRow ? Last() : position - 1; }
  int64_t IndexOf(RowPosition position) override { return position; }
  RowPosition AtIndex(int64_t index) override { return Reach(index) ? index : kNoRow; }
  int64_t RecordCount(RowPosition highestVisited) override { return highestVisited + 1; }

  RowKey KeyAt(RowPosition position) override { return position; }
  RowPosition Locate(RowKey key, RowPosition) override { return key >= 0 && key < rows_->count ? key : kNoRow; }
  bool Load(RowPosition position) override {
    loaded_ = position;
    return true;
  }
  const Variant& Value(int column) override {
    return rows_->cells[static_cast<size_t>(loaded_) * columns_.size() + static_cast<size_t>(column)];
  }
  void Forget() override {}

  RowPosition Appended(RowKey) override { return kNoRow; }
  void Removed(RowPosition) override {}
  bool IsRemoved(RowPosition) const override { return false; }

  std::unique_ptr<RecordSource> Clone() override { return std::make_unique<SnapshotSource>(file_, shape_, rows_); }
  void Release() override {}

  RowPosition FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) override;

 private:
  bool Reach(RowPosition position) {
    while (rows_->count <= position) {
      if (!ReadRow()) return false;
    }
    return true;
  }

  bool ReadRow() {
    SnapshotRows& rows = *rows_;
    storage::Statement* statement = rows.scan.statement.get();
    if (!statement) return false;
    if ((plan_.maxRecords > 0 && rows.count >= plan_.maxRecords) || !statement->Step()) {
      rows.scan.statement.reset();  // ends the read
      rows.scan.connection.reset();
      return false;
    }
    for (size_t i = 0; i < columns_.size(); ++i) {
      rows.cells.push_back(ReadColumnValue(*statement, static_cast<int>(i), columns_[i].type));
    }
    ++rows.count;
    return true;
  }

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  std::shared_ptr<SnapshotRows> rows_;
  RowPosition loaded_ = kNoRow;
};

// The rows are in memory, so the criterion is evaluated row by row over the row's values.
RowPosition SnapshotSource::FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) {
  MemoryCriterion criterion(*file_, plan_, columns_, criteria);
  RowPosition position = start;
  if (!inclusive || position == kNoRow) position = forward ? Next(start) : Previous(start);
  for (; position != kNoRow; position = forward ? Next(position) : Previous(position)) {
    if (criterion.Matches(&rows_->cells[static_cast<size_t>(position) * columns_.size()])) return position;
  }
  return kNoRow;
}

}  // namespace

std::unique_ptr<RecordSource> MakeSnapshotSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape) {
  auto rows = std::make_shared<SnapshotRows>();
  rows->scan = OpenScan(*file, shape->plan);
  return std::make_unique<SnapshotSource>(std::move(file), std::move(shape), std::move(rows));
}

}  // namespace lumo::jet
