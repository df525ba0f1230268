// Table-type recordsets: the rows of a base table in the order of the current index, walked
// live. The engine holds a window of row ids around the cursor, extended in chunks in
// either direction from the sort values of its edge rows; Seek and bookmarks re-anchor the
// window at their row without reading what lies between, so that a seek costs one indexed
// look-up however large the table. RecordCount is the table's exact row count, counted again
// only when the table may have changed: another connection committed (the catalogue reader
// counts others' commits), this connection wrote (its change count; the databases of a
// session share it), or a transaction is open.
//
// The window is what the table held when it was read. Once rows may have come or gone since
// (the file's data version moved, or this recordset added one), which rows lie at its ends is
// no longer known, and the next move starts the window afresh at the cursor's row; reaching
// an end looks once more whether anything was committed meanwhile. So the rows the count
// includes are the rows a walk reaches.

#include <algorithm>
#include <deque>
#include <set>

#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/RowCounts.h"
#include "jet/ValueCodec.h"
#include "jet/storage/CatalogueReader.h"

namespace lumo::jet {

namespace {

constexpr int64_t kFirstChunk = 64;
constexpr int64_t kLargestChunk = 8192;
// Position numbers of a freshly anchored window start here, so that extending backwards never
// reaches kNoRow.
constexpr RowPosition kAnchor = int64_t{1} << 40;

// What a table-type recordset shares with its clones: the rows deleted through them and the
// table's count.
struct TableShared {
  std::set<RowKey> removed;
  int64_t count = -1;         // -1: not counted yet
  int64_t countVersion = 0;   // others' commits when counted
  int64_t countChanges = -1;  // the connection's change count then; -1: counted in a transaction
};

class TableWindow final : public TableSource {
 public:
  TableWindow(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<TableShared> shared)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        reader_(*file_, plan_, columns_),
        key_(plan_.RowKeyExpression()),
        dialect_(*plan_.dialect),
        shared_(std::move(shared)),
        removed_(shared_->removed) {}

  RowPosition First() override {
    VersionMoved();
    if (!atStart_ || keys_.empty()) ReadFromEnd(false);
    return SkipRemoved(lo_, true);
  }

  RowPosition Last() override {
    VersionMoved();
    if (!atEnd_ || keys_.empty()) ReadFromEnd(true);
    return SkipRemoved(lo_ + static_cast<RowPosition>(keys_.size()) - 1, false);
  }

  RowPosition Next(RowPosition position) override {
    if (position == kNoRow || keys_.empty()) return First();
    return SkipRemoved(Reanchored(position) + 1, true);
  }

  RowPosition Previous(RowPosition position) override {
    if (position == kNoRow || keys_.empty()) return Last();
    return SkipRemoved(Reanchored(position) - 1, false);
  }

  int64_t IndexOf(RowPosition position) override {
    VersionMoved();
    if (atStart_) {
      int64_t index = position - lo_;
      for (RowPosition p = lo_; p < position; ++p) {
        if (IsRemoved(p)) --index;
      }
      return index;
    }
    // Count what lies before the row in index order.
    std::vector<StoredValue> values = ValuesAt(position);
    PositionConditions before = BuildPositionConditions(order_, values, Bound::kBefore, key_, 1);
    int64_t index = CountWhere(before.sameClass, &values, KeyAt(position));
    if (!before.otherClass.empty()) index += CountWhere(before.otherClass, nullptr, 0);
    return index;
  }

  RowPosition AtIndex(int64_t index) override {
    if (index < 0) return kNoRow;
    VersionMoved();
    if (atStart_ && index < static_cast<int64_t>(keys_.size()) && !HasRemovedInWindow()) {
      return lo_ + index;
    }
    std::string sql =
        KeySelect() + " ORDER BY " + OrderText(order_, false, key_, dialect_) + dialect_.LimitOffset("1", "?1");
    StatementUse statement(file_->Statement(sql));
    statement->BindInt64(1, index);
    if (!statement->Step()) return kNoRow;
    Anchor(statement->ColumnInt64(0), ReadValues(*statement, 1), kAnchor + index);
    atStart_ = index == 0;
    return lo_;
  }

  int64_t RecordCount(RowPosition) override {
    // Other connections' commits move DataVersion, this connection's own writes (by any
    // database of the session) its change count. Inside a transaction what was counted may
    // still be undone, so the count is not kept there.
    const storage::Connection& connection = file_->Connection();
    const bool inTransaction = connection.InTransaction();
    const int64_t version = DataVersion();
    const int64_t changes = connection.TotalChanges();
    if (shared_->count < 0 || inTransaction || version != shared_->countVersion || changes != shared_->countChanges) {
      const TableInfo* table = plan_.baseTable.empty() ? nullptr : file_->Schema().FindTable(plan_.baseTable);
      if (table != nullptr) {
        shared_->count = TableRows(*file_, *table);
      } else {
        StatementUse statement(file_->Statement("SELECT count(*) FROM " + plan_.from));
        statement->Step();
        shared_->count = statement->ColumnInt64(0);
      }
      shared_->countVersion = version;
      shared_->countChanges = inTransaction ? -1 : changes;
    }
    return shared_->count;
  }

  RowKey KeyAt(RowPosition position) override { return keys_[static_cast<size_t>(position - lo_)]; }

  RowPosition Locate(RowKey key, RowPosition hint) override {
    if (InWindow(hint) && KeyAt(hint) == key) return hint;
    if (removed_.count(key) != 0) return kNoRow;
    std::optional<std::vector<StoredValue>> values = ValuesOf(key);
    if (!values) return kNoRow;
    Anchor(key, std::move(*values), kAnchor);
    return lo_;
  }

  bool Load(RowPosition position) override {
    const RowKey key = KeyAt(position);
    if (loaded_ && key == loadedKey_) return exists_;
    loaded_ = true;
    loadedKey_ = key;
    exists_ = !IsRemoved(position) && reader_.Read(key, values_);
    return exists_;
  }

  const Variant& Value(int column) override { return values_[static_cast<size_t>(column)]; }
  // The values go with the row: a large memo or binary value is not kept once it is stale.
  void Forget() override {
    loaded_ = false;
    for (Variant& value : values_) value = Variant();
  }

  // A new row takes its place in index order, which may lie inside the window or beyond
  // either end of it: the window is read afresh at the next move.
  RowPosition Appended(RowKey) override {
    if (shared_->count >= 0) ++shared_->count;
    MarkStale();
    return kNoRow;
  }

  void Removed(RowPosition position) override {
    const RowKey key = KeyAt(position);
    removed_.insert(key);
    if (loaded_ && key == loadedKey_) exists_ = false;
    if (shared_->count > 0) --shared_->count;
  }

  bool IsRemoved(RowPosition position) const override {
    return !removed_.empty() && removed_.count(keys_[static_cast<size_t>(position - lo_)]) != 0;
  }

  // A clone starts in row-key order: DAO does not copy the index to it. Rows deleted
  // through either are deleted for both.
  std::unique_ptr<RecordSource> Clone() override { return std::make_unique<TableWindow>(file_, shape_, shared_); }
  void Release() override {}
  RowPosition FindMatch(const FindCriteria&, RowPosition, bool, bool) override { return kNoRow; }

  RowPosition SetOrder(std::vector<SortTerm> terms, RowPosition keep) override {
    std::optional<RowKey> key;
    if (keep != kNoRow && InWindow(keep)) key = KeyAt(keep);
    order_ = std::move(terms);
    keys_.clear();
    atStart_ = atEnd_ = false;
    if (!key) return kNoRow;
    std::optional<std::vector<StoredValue>> values = ValuesOf(*key);
    if (!values) return kNoRow;
    Anchor(*key, std::move(*values), kAnchor);
    return lo_;
  }

  RowPosition Seek(Bound bound, bool equal, const std::vector<Variant>& keys,
                   const std::vector<RecordsetColumn>& keyFields) override;

 private:
  bool IsTextField(const RecordsetColumn& field) const;
  std::string TextKeyEquality(const std::string& expr, const std::string& key, const std::string& fieldName) const;

  bool InWindow(RowPosition position) const {
    return position != kNoRow && position >= lo_ && position < lo_ + static_cast<RowPosition>(keys_.size());
  }

  bool HasRemovedInWindow() const {
    if (removed_.empty()) return false;
    return std::any_of(keys_.begin(), keys_.end(), [&](RowKey key) { return removed_.count(key) != 0; });
  }

  // The first row from `position` on in the direction that is not deleted, extending the
  // window as needed; kNoRow at an end. An end is taken for one only after a look at whether
  // anything was committed since the window was read.
  RowPosition SkipRemoved(RowPosition position, bool forward) {
    for (;;) {
      while (position >= lo_ + static_cast<RowPosition>(keys_.size())) {
        if (!Extend(true) && !CommittedSince()) return kNoRow;
      }
      while (position < lo_) {
        if (!Extend(false) && !CommittedSince()) return kNoRow;
      }
      if (!IsRemoved(position)) return position;
      position += forward ? 1 : -1;
    }
  }

  std::string KeySelect() const {
    std::string sql = "SELECT " + key_;
    for (const SortTerm& term : order_) sql += ", " + term.expr;
    return sql + " FROM " + plan_.from;
  }

  std::vector<StoredValue> ReadValues(const storage::Statement& statement, int first) const {
    std::vector<StoredValue> values;
    for (size_t i = 0; i < order_.size(); ++i) {
      values.push_back(StoredValue::Read(statement, first + static_cast<int>(i)));
    }
    return values;
  }

  std::optional<std::vector<StoredValue>> ValuesOf(RowKey key) {
    std::string sql = "SELECT 1";
    for (const SortTerm& term : order_) sql += ", " + term.expr;
    sql += " FROM " + plan_.from + " WHERE " + plan_.identity->Condition(1);
    StatementUse statement(file_->Statement(sql));
    statement->BindInt64(1, key);
    if (!statement->Step()) return std::nullopt;
    return ReadValues(*statement, 1);
  }

  std::vector<StoredValue> ValuesAt(RowPosition position) {
    if (position == lo_) return frontValues_;
    if (position == lo_ + static_cast<RowPosition>(keys_.size()) - 1) return backValues_;
    return ValuesOf(KeyAt(position)).value_or(std::vector<StoredValue>(order_.size()));
  }

  // Notes a change of the file since the window was read; true when there was one.
  bool VersionMoved() {
    const uint32_t version = file_->Connection().ChangeCounter();
    if (version == seenVersion_) return false;
    seenVersion_ = version;
    MarkStale();
    return true;
  }

  // The connection learns of other connections' commits when it begins a read: begin one.
  bool CommittedSince() {
    if (!file_->Connection().InTransaction()) DataVersion();
    return VersionMoved();
  }

  void MarkStale() {
    stale_ = true;
    atStart_ = atEnd_ = false;
  }

  // The cursor's row at `position` with the window read afresh around it when the window may
  // be out of date; a row that is gone keeps the old window, whose rows are read (and skipped
  // when gone) as the cursor moves on.
  RowPosition Reanchored(RowPosition position) {
    VersionMoved();
    if (!stale_ || !InWindow(position)) return position;
    stale_ = false;
    const RowKey key = KeyAt(position);
    std::optional<std::vector<StoredValue>> values = ValuesOf(key);
    if (!values) return position;
    Anchor(key, std::move(*values), kAnchor);
    return lo_;
  }

  void Anchor(RowKey key, std::vector<StoredValue> values, RowPosition number) {
    Fresh();
    keys_.assign(1, key);
    lo_ = number;
    frontValues_ = values;
    backValues_ = std::move(values);
    atStart_ = atEnd_ = false;
    forwardChunk_ = backwardChunk_ = kFirstChunk;
  }

  // The window is read from here on as the file is now.
  void Fresh() {
    seenVersion_ = file_->Connection().ChangeCounter();
    stale_ = false;
  }

  // Reads the first (or last) chunk of the table anew.
  void ReadFromEnd(bool fromLast) {
    keys_.clear();
    lo_ = kAnchor;
    forwardChunk_ = backwardChunk_ = kFirstChunk;
    std::string sql = KeySelect() + " ORDER BY " + OrderText(order_, fromLast, key_, dialect_) + dialect_.Limit("?1");
    StatementUse statement(file_->Statement(sql));
    statement->BindInt64(1, kFirstChunk);
    int64_t got = 0;
    while (statement->Step()) {
      ++got;
      if (fromLast) {
        keys_.push_front(statement->ColumnInt64(0));
        if (got == 1) backValues_ = ReadValues(*statement, 1);
        frontValues_ = ReadValues(*statement, 1);
      } else {
        keys_.push_back(statement->ColumnInt64(0));
        if (got == 1) frontValues_ = ReadValues(*statement, 1);
        backValues_ = ReadValues(*statement, 1);
      }
    }
    if (fromLast) lo_ = kAnchor - got + 1;
    Fresh();
    atStart_ = !fromLast || got < kFirstChunk;
    atEnd_ = fromLast || got < kFirstChunk;
  }

  // Reads the next chunk beyond the window's edge; false when nothing lies beyond it.
  bool Extend(bool forward) {
    if (keys_.empty() || (forward ? atEnd_ : atStart_)) return false;
    int64_t& chunk = forward ? forwardChunk_ : backwardChunk_;
    const RowKey edgeKey = forward ? keys_.back() : keys_.front();
    std::vector<StoredValue>& edge = forward ? backValues_ : frontValues_;
    PositionConditions conditions =
        BuildPositionConditions(order_, edge, forward ? Bound::kAfter : Bound::kBefore, key_, 1);
    int64_t got = RunChunk(conditions.sameClass, true, edgeKey, forward, chunk);
    if (got < chunk && !conditions.otherClass.empty()) {
      got += RunChunk(conditions.otherClass, false, edgeKey, forward, chunk - got);
    }
    if (got < chunk) (forward ? atEnd_ : atStart_) = true;
    chunk = std::min(chunk * 2, kLargestChunk);
    return got > 0;
  }

  int64_t RunChunk(const std::string& condition, bool continues, RowKey edgeKey, bool forward, int64_t limit) {
    const int terms = static_cast<int>(order_.size());
    std::vector<StoredValue>& edge = forward ? backValues_ : frontValues_;
    std::string sql = KeySelect() + " WHERE " + condition + " ORDER BY " + OrderText(order_, !forward, key_, dialect_) +
                      dialect_.Limit("?" + std::to_string(terms + 2));
    StatementUse statement(file_->Statement(sql));
    if (continues) {
      for (int i = 0; i < terms; ++i) {
        if (!edge[static_cast<size_t>(i)].IsNull()) edge[static_cast<size_t>(i)].Bind(*statement, 1 + i);
      }
      statement->BindInt64(terms + 1, edgeKey);
    }
    statement->BindInt64(terms + 2, limit);
    int64_t got = 0;
    while (statement->Step()) {
      ++got;
      if (forward) {
        keys_.push_back(statement->ColumnInt64(0));
      } else {
        keys_.push_front(statement->ColumnInt64(0));
        --lo_;
      }
      edge = ReadValues(*statement, 1);
    }
    return got;
  }

  // Rows satisfying a condition; `values` (and the row key after them) are its parameters
  // when it continues from a row.
  int64_t CountWhere(const std::string& condition, const std::vector<StoredValue>* values, RowKey key) {
    StatementUse statement(file_->Statement("SELECT count(*) FROM " + plan_.from + " WHERE " + condition));
    if (values) {
      for (size_t i = 0; i < values->size(); ++i) {
        if (!(*values)[i].IsNull()) (*values)[i].Bind(*statement, 1 + static_cast<int>(i));
      }
      statement->BindInt64(static_cast<int>(order_.size()) + 1, key);
    }
    statement->Step();
    return statement->ColumnInt64(0);
  }

  int64_t DataVersion() { return file_->Connection().Catalogue().OthersChangeCounter(); }

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  RowReader reader_;
  const std::string& key_;  // the row identity's key expression
  const storage::SqlDialect& dialect_;
  std::vector<SortTerm> order_;
  std::deque<RowKey> keys_;
  RowPosition lo_ = kAnchor;  // position of keys_.front()
  bool atStart_ = false;      // keys_.front() is the first row of the table
  bool atEnd_ = false;        // keys_.back() is the last
  uint32_t seenVersion_ = 0;  // the file's data version when the window was read
  bool stale_ = false;        // rows may have come or gone since
  std::vector<StoredValue> frontValues_;
  std::vector<StoredValue> backValues_;
  int64_t forwardChunk_ = kFirstChunk;
  int64_t backwardChunk_ = kFirstChunk;
  std::shared_ptr<TableShared> shared_;
  std::set<RowKey>& removed_;  // shared_'s
  bool loaded_ = false;
  RowKey loadedKey_ = 0;
  bool exists_ = false;
  std::vector<Variant> values_;
};

bool TableWindow::IsTextField(const RecordsetColumn& field) const {
  const int type = field.type.type;
  return type == dbText || type == dbMemo || type == dbChar;
}

// Jet finds every letter without regard to case; the index (NOCASE) finds the candidates.
std::string TableWindow::TextKeyEquality(const std::string& expr, const std::string& key,
                                         const std::string& fieldName) const {
  const ColumnInfo* column = plan_.table ? plan_.table->FindColumn(fieldName) : nullptr;
  const std::string exact = expr + " = " + key + std::string(dialect_.JetTextCollation());
  if (column != nullptr && !column->noCase) return exact;
  return expr + " BETWEEN jet_text_first(" + key + ") AND jet_text_last(" + key + ") AND " + exact;
}

RowPosition TableWindow::Seek(Bound bound, bool equal, const std::vector<Variant>& keys,
                              const std::vector<RecordsetColumn>& keyFields) {
  const int terms = static_cast<int>(order_.size());
  // Keys left out compare as Null; the conditions only need to know which keys are Null.
  std::vector<StoredValue> values(order_.size());
  for (size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    if (!keys[i].IsNull() && !keys[i].IsEmpty()) values[i].type = ColumnType::Integer;
  }
  auto bindKeys = [&](storage::Statement& statement) {
    for (size_t i = 0; i < keys.size() && i < values.size(); ++i) {
      if (!values[i].IsNull()) {
        BindFieldValue(statement, 1 + static_cast<int>(i), keys[i], keyFields[i].type, keyFields[i].name);
      }
    }
  };
  std::vector<std::string> conditions;
  const bool backward = bound == Bound::kBefore || bound == Bound::kAtOrBefore;
  if (equal) {
    std::string condition;
    for (int i = 0; i < terms; ++i) {
      if (!condition.empty()) condition += " AND ";
      const std::string& e = order_[static_cast<size_t>(i)].expr;
      const std::string key = "?" + std::to_string(1 + i);
      if (values[static_cast<size_t>(i)].IsNull()) {
        condition += "(" + e + ") IS NULL";
      } else if (static_cast<size_t>(i) < keyFields.size() && IsTextField(keyFields[static_cast<size_t>(i)])) {
        condition += TextKeyEquality("(" + e + ")", key, keyFields[static_cast<size_t>(i)].name);
      } else {
        condition += "(" + e + ") = " + key;
      }
    }
    conditions.push_back(condition.empty() ? "1" : condition);
  } else {
    PositionConditions built = BuildPositionConditions(order_, values, bound, {}, 1);
    conditions.push_back(built.sameClass);
    if (!built.otherClass.empty()) conditions.push_back(built.otherClass);
  }
  for (const std::string& condition : conditions) {
    std::string sql = "SELECT " + key_;
    for (const SortTerm& term : order_) sql += ", " + term.expr;
    sql += ", " + plan_.selectList + " FROM " + plan_.from + " WHERE " + condition + " ORDER BY " +
           OrderText(order_, backward, key_, dialect_) + dialect_.LimitOffset("1", "?" + std::to_string(terms + 1));
    StatementUse statement(file_->Statement(sql));
    bindKeys(*statement);
    statement->BindInt64(terms + 1, 0);
    if (!statement->Step()) continue;
    const RowKey key = statement->ColumnInt64(0);
    Anchor(key, ReadValues(*statement, 1), kAnchor);
    // The row is read with the seek: the cursor lands on it at once.
    values_.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
      values_[i] = ReadColumnValue(*statement, terms + 1 + static_cast<int>(i), columns_[i].type);
    }
    loaded_ = true;
    loadedKey_ = key;
    exists_ = true;
    return lo_;
  }
  return kNoRow;
}

}  // namespace

std::unique_ptr<TableSource> MakeTableSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape) {
  return std::make_unique<TableWindow>(std::move(file), std::move(shape), std::make_shared<TableShared>());
}

}  // namespace lumo::jet
