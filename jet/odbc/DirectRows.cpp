#include "jet/odbc/DirectRows.h"

#include <deque>
#include <optional>
#include <unordered_map>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/ValueCodec.h"
#include "jet/odbc/OdbcStatement.h"

namespace lumo::jet::odbc {

namespace {

// What the statement gave so far, shared by a recordset and its clones.
struct Fetched {
  std::unique_ptr<OdbcStatement> statement;  // null once every row is read
  std::vector<Variant> cells;                // kSnapshot: row after row; kForward: the last row
  std::vector<RowKey> keys;                  // kKeyed: by position
  std::unordered_map<RowKey, RowPosition> positionOf;
  std::vector<bool> removed;  // rows this recordset deleted, by position
  int64_t count = 0;
  std::deque<RowKey> joining;  // kLive: rows found by running the statement again, not yet listed
};

class DirectRows final : public RecordSource {
 public:
  DirectRows(std::shared_ptr<DatabaseFile> file, ShapePtr shape, DirectMode mode, DirectQuery query,
             std::shared_ptr<Fetched> fetched, StatementMaker again)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        mode_(mode),
        query_(std::move(query)),
        fetched_(std::move(fetched)),
        again_(std::move(again)) {
    if (Keyed()) reader_.emplace(*file_, shape_->plan, shape_->columns);
  }

  RowPosition First() override { return Forward(-1); }
  RowPosition Last() override {
    while (ReadRow()) {}
    return Backward(fetched_->count);
  }
  RowPosition Next(RowPosition position) override { return Forward(position); }
  RowPosition Previous(RowPosition position) override {
    if (position == kNoRow) return Last();
    return Backward(position);
  }
  int64_t IndexOf(RowPosition position) override {
    int64_t index = 0;
    for (RowPosition at = 0; at < position && at < fetched_->count; ++at) {
      if (!Gone(at)) ++index;
    }
    return index;
  }
  RowPosition AtIndex(int64_t index) override {
    RowPosition position = First();
    for (int64_t i = 0; i < index && position != kNoRow; ++i) position = Next(position);
    return position;
  }
  int64_t RecordCount(RowPosition highestVisited) override {
    int64_t count = 0;
    for (RowPosition at = 0; at <= highestVisited && at < fetched_->count; ++at) {
      if (!Gone(at)) ++count;
    }
    return count;
  }

  RowKey KeyAt(RowPosition position) override {
    return Keyed() ? fetched_->keys[static_cast<size_t>(position)] : position;
  }
  RowPosition Locate(RowKey key, RowPosition hint) override {
    (void)hint;
    if (!Keyed()) return key >= 0 && key < fetched_->count ? key : kNoRow;
    auto found = fetched_->positionOf.find(key);
    return found == fetched_->positionOf.end() ? kNoRow : found->second;
  }
  bool Load(RowPosition position) override {
    if (position < 0 || position >= fetched_->count) return false;
    switch (mode_) {
      case DirectMode::kForward:
        // Only the row the statement stands on is there to read.
        if (position != fetched_->count - 1) return false;
        loaded_ = position;
        return true;
      case DirectMode::kSnapshot: loaded_ = position; return true;
      case DirectMode::kKeyed:
      case DirectMode::kLive:
        // Read again from the server: what other sessions changed since shows, and a row
        // they deleted is gone.
        if (!reader_->Read(fetched_->keys[static_cast<size_t>(position)], values_)) {
          loaded_ = kNoRow;
          return false;
        }
        loaded_ = position;
        return true;
    }
    return false;
  }
  const Variant& Value(int column) override {
    if (Keyed()) return values_[static_cast<size_t>(column)];
    const size_t width = shape_->columns.size();
    const size_t row = mode_ == DirectMode::kForward ? 0 : static_cast<size_t>(loaded_);
    return fetched_->cells[row * width + static_cast<size_t>(column)];
  }
  void Forget() override { loaded_ = kNoRow; }

  RowPosition Appended(RowKey key) override {
    if (!Keyed()) return kNoRow;
    // New rows follow every row of the statement.
    while (ReadRow(false)) {}
    Fetched& f = *fetched_;
    const RowPosition position = f.count++;
    f.keys.push_back(key);
    f.removed.push_back(false);
    f.positionOf[key] = position;
    return position;
  }
  void Removed(RowPosition position) override {
    if (position >= 0 && position < fetched_->count) fetched_->removed[static_cast<size_t>(position)] = true;
    if (loaded_ == position) loaded_ = kNoRow;
  }
  bool IsRemoved(RowPosition position) const override { return Gone(position); }

  std::unique_ptr<RecordSource> Clone() override {
    return std::make_unique<DirectRows>(file_, shape_, mode_, query_, fetched_, again_);
  }
  void Release() override {
    // The last of the recordset and its clones ends the statement's read.
    if (fetched_.use_count() == 1) fetched_->statement.reset();
  }

  RowPosition FindMatch(const FindCriteria&, RowPosition, bool, bool) override {
    // Criteria are Jet SQL; the server's rows are not searched with them.
    RaiseDaoError(3251, {}, "DAO.Recordset");
  }

 private:
  bool Keyed() const { return mode_ == DirectMode::kKeyed || mode_ == DirectMode::kLive; }
  bool Gone(RowPosition position) const {
    return position >= 0 && position < fetched_->count && fetched_->removed[static_cast<size_t>(position)];
  }

  RowPosition Forward(RowPosition from) {
    for (RowPosition at = from + 1;; ++at) {
      while (fetched_->count <= at) {
        if (!ReadRow()) return kNoRow;
      }
      if (!Gone(at)) return at;
    }
  }
  RowPosition Backward(RowPosition from) {
    for (RowPosition at = std::min<RowPosition>(from, fetched_->count) - 1; at >= 0; --at) {
      if (!Gone(at)) return at;
    }
    return kNoRow;
  }

  // A row key for the list, from a statement standing on a row.
  RowKey KeyOfRow(const OdbcStatement& statement) {
    std::vector<StoredValue> key;
    key.reserve(query_.keyColumns.size());
    for (int column : query_.keyColumns) key.push_back(StoredValue::Read(statement, column));
    return shape_->plan.primaryKey->KeyOf(std::move(key));
  }

  void List(RowKey key) {
    Fetched& f = *fetched_;
    f.keys.push_back(key);
    f.positionOf.emplace(key, f.count);
    f.removed.push_back(false);
    ++f.count;
  }

  // kLive at the end of the list: the statement once more, for rows added since.
  bool JoinNewRows() {
    Fetched& f = *fetched_;
    if (f.joining.empty() && again_ && (query_.maxRows == 0 || f.count < query_.maxRows)) {
      std::unique_ptr<OdbcStatement> statement = again_();
      while (statement->Step()) {
        const RowKey key = KeyOfRow(*statement);
        if (f.positionOf.find(key) == f.positionOf.end()) f.joining.push_back(key);
      }
    }
    if (f.joining.empty()) return false;
    List(f.joining.front());
    f.joining.pop_front();
    return true;
  }

  // The next row of the statement; at its end, with `join`, the rows others added (kLive).
  bool ReadRow(bool join = true) {
    Fetched& f = *fetched_;
    OdbcStatement* statement = f.statement.get();
    if (statement == nullptr) return join && mode_ == DirectMode::kLive && JoinNewRows();
    if ((query_.maxRows > 0 && f.count >= query_.maxRows) || !statement->Step()) {
      f.statement.reset();
      return join && mode_ == DirectMode::kLive && JoinNewRows();
    }
    const std::vector<RecordsetColumn>& columns = shape_->columns;
    switch (mode_) {
      case DirectMode::kForward:
        f.cells.resize(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
          f.cells[i] = ReadColumnValue(*statement, static_cast<int>(i), columns[i].type);
        }
        break;
      case DirectMode::kSnapshot:
        for (size_t i = 0; i < columns.size(); ++i) {
          f.cells.push_back(ReadColumnValue(*statement, static_cast<int>(i), columns[i].type));
        }
        break;
      case DirectMode::kKeyed:
      case DirectMode::kLive: List(KeyOfRow(*statement)); return true;
    }
    f.removed.push_back(false);
    ++f.count;
    if (mode_ == DirectMode::kForward) loaded_ = kNoRow;
    return true;
  }

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  DirectMode mode_;
  DirectQuery query_;
  std::shared_ptr<Fetched> fetched_;
  StatementMaker again_;
  std::optional<RowReader> reader_;  // kKeyed
  RowPosition loaded_ = kNoRow;
  std::vector<Variant> values_;  // kKeyed: the row last read
};

}  // namespace

std::unique_ptr<RecordSource> MakeDirectRows(std::shared_ptr<DatabaseFile> file, ShapePtr shape, DirectMode mode,
                                             std::unique_ptr<OdbcStatement> statement, const DirectQuery& query,
                                             StatementMaker again) {
  auto fetched = std::make_shared<Fetched>();
  fetched->statement = std::move(statement);
  return std::make_unique<DirectRows>(std::move(file), std::move(shape), mode, query, std::move(fetched),
                                      std::move(again));
}

}  // namespace lumo::jet::odbc
