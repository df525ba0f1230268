// Forward-only recordsets: one statement stepped row by row, nothing kept.

#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/ValueCodec.h"

namespace lumo::jet {

namespace {

class ForwardSource final : public RecordSource {
 public:
  ForwardSource(ShapePtr shape, ScanStatement scan)
      : shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        scan_(std::move(scan)),
        statement_(scan_.statement.get()) {}

  // Only the row after the current one can be reached; the recordset refuses the rest.
  RowPosition First() override { return current_ == kNoRow ? Step() : current_; }
  RowPosition Last() override { return kNoRow; }
  RowPosition Next(RowPosition position) override {
    return position == current_ || position == kNoRow ? Step() : kNoRow;
  }
  RowPosition Previous(RowPosition) override { return kNoRow; }
  int64_t IndexOf(RowPosition position) override { return position; }
  RowPosition AtIndex(int64_t) override { return kNoRow; }
  int64_t RecordCount(RowPosition highestVisited) override { return highestVisited + 1; }

  RowKey KeyAt(RowPosition position) override { return position; }
  RowPosition Locate(RowKey, RowPosition) override { return kNoRow; }
  bool Load(RowPosition position) override { return position == current_ && statement_; }
  // The statement holds the row: a value is decoded from it on each read, which costs what
  // copying it out of a decoded row would.
  const Variant& Value(int column) override {
    decoded_ = ReadColumnValue(*statement_, column, columns_[static_cast<size_t>(column)].type);
    return decoded_;
  }
  void Forget() override {}

  RowPosition Appended(RowKey) override { return kNoRow; }
  void Removed(RowPosition) override {}
  bool IsRemoved(RowPosition) const override { return false; }
  std::unique_ptr<RecordSource> Clone() override { return nullptr; }
  void Release() override { End(); }
  RowPosition FindMatch(const FindCriteria&, RowPosition, bool, bool) override { return kNoRow; }

 private:
  RowPosition Step() {
    if (!statement_) return kNoRow;
    if ((plan_.maxRecords > 0 && current_ + 1 >= plan_.maxRecords) || !statement_->Step()) {
      End();
      return kNoRow;
    }
    return ++current_;
  }

  // Ends the read.
  void End() {
    statement_ = nullptr;
    scan_.statement.reset();
    scan_.connection.reset();
  }

  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  ScanStatement scan_;
  storage::Statement* statement_;  // scan_'s, null once the scan ended
  RowPosition current_ = kNoRow;
  Variant decoded_;  // the value Value handed out last
};

}  // namespace

std::unique_ptr<RecordSource> MakeForwardSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape) {
  ScanStatement scan = OpenScan(*file, shape->plan);
  return std::make_unique<ForwardSource>(std::move(shape), std::move(scan));
}

}  // namespace lumo::jet
