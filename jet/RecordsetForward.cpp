// Forward-only recordsets: one statement stepped row by row, nothing kept.

#include "jet/DaoConstants.h"
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
        statement_(scan_.statement.get()),
        decoded_(columns_.size()) {}

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
  // copying it out of a decoded row would. Each column keeps the value it handed out last, so
  // that a text goes into the room the previous row's text of that column left.
  const Variant& Value(int column) override {
    const auto index = static_cast<size_t>(column);
    Variant& decoded = decoded_[index];
    const int type = columns_[index].type.type;
    std::string* held = decoded.TextIf();
    if (held != nullptr && (type == dbText || type == dbMemo || type == dbChar) &&
        statement_->TypeOf(column) == ColumnType::Text) {
      held->assign(statement_->ColumnTextView(column));
      return decoded;
    }
    decoded = ReadColumnValue(*statement_, column, columns_[index].type);
    return decoded;
  }
  // A value that leaves the engine is made from the statement's row at once, not copied out
  // of the column's last value: a text costs one copy.
  Variant ValueCopy(int column) override {
    const auto index = static_cast<size_t>(column);
    const int type = columns_[index].type.type;
    if ((type == dbText || type == dbMemo || type == dbChar) && statement_->TypeOf(column) == ColumnType::Text) {
      return Variant(statement_->ColumnTextView(column));
    }
    return ReadColumnValue(*statement_, column, columns_[index].type);
  }
  // Texts straight from the statement's row: a reader that copies them pays for one copy.
  bool TextInPlace(int column, std::string_view& text) override {
    const int type = columns_[static_cast<size_t>(column)].type.type;
    if ((type == dbText || type == dbMemo || type == dbChar) && statement_->TypeOf(column) == ColumnType::Text) {
      text = statement_->ColumnTextView(column);
      return true;
    }
    return RecordSource::TextInPlace(column, text);
  }
  // Dates straight from the stored text, without a Variant and a day count in between.
  bool TimeStampOf(int column, TTimeStamp& stamp) override {
    const int type = columns_[static_cast<size_t>(column)].type.type;
    if ((type == dbDate || type == dbTime || type == dbTimeStamp) && statement_->TypeOf(column) == ColumnType::Text &&
        StoredDateTimeStamp(statement_->ColumnTextView(column), stamp)) {
      return true;
    }
    return RecordSource::TimeStampOf(column, stamp);
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
  std::vector<Variant> decoded_;  // by column, the value Value handed out last
};

}  // namespace

std::unique_ptr<RecordSource> MakeForwardSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape) {
  ScanStatement scan = OpenScan(*file, shape->plan);
  return std::make_unique<ForwardSource>(std::move(shape), std::move(scan));
}

}  // namespace lumo::jet
