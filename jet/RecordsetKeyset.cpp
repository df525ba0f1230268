// Dynasets: the ordered row ids of one base table, read lazily in growing chunks, each row
// read by its id when the cursor lands on it.
//
// A chunk continues after the last key read by the sort values of that row (keyset
// pagination), not by an offset, so that rows others add or delete meanwhile never shift the
// list; the chunk size doubles, which bounds the total work when the order cannot use an
// index range. Rows added through the recordset follow the rows of the query (DAO shows new
// rows at the end), in a list of their own so that the lazy reader can skip them.

#include <algorithm>
#include <set>
#include <unordered_set>

#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"

namespace lumo::jet {

namespace {

constexpr int64_t kFirstChunk = 100;
constexpr int64_t kLargestChunk = int64_t{1} << 20;
// Positions of added rows start here, beyond any list a file can hold.
constexpr RowPosition kAddedBase = int64_t{1} << 52;
constexpr size_t kFirstFindBatch = 64;
constexpr size_t kLargestFindBatch = 4096;

// The list shared by a dynaset and its clones.
struct KeyList {
  std::vector<RowKey> keys;             // rows of the query, in its order
  std::vector<RowKey> added;            // rows added through the recordset or a clone
  std::unordered_set<RowKey> addedKeys;
  std::set<RowPosition> removed;        // rows deleted through the recordset or a clone
  std::vector<StoredValue> lastValues;  // sort values of keys.back()
  RowKey lastKey = 0;
  int64_t stepped = 0;                  // rows the query delivered, skipped ones included
  int64_t chunk = kFirstChunk;
  bool complete = false;
  std::unordered_map<RowKey, RowPosition> positionOf;  // built on demand
  size_t indexedUpTo = 0;
};

class KeysetSource final : public RecordSource {
 public:
  KeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<KeyList> list)
      : file_(std::move(file)), shape_(std::move(shape)), plan_(shape_->plan),
        columns_(shape_->columns), list_(std::move(list)), reader_(*file_, plan_, columns_) {}

  RowPosition First() override { return Next(kNoRow); }

  RowPosition Last() override {
    ReadAll();
    RowPosition position = list_->added.empty()
                               ? static_cast<RowPosition>(list_->keys.size()) - 1
                               : kAddedBase + static_cast<RowPosition>(list_->added.size()) - 1;
    while (position != kNoRow && IsRemoved(position)) position = Step(position, false);
    return position;
  }

  RowPosition Next(RowPosition position) override {
    RowPosition next = position == kNoRow ? 0 : Step(position, true);
    if (position == kNoRow && !Reach(0)) next = AddedOrNone(0);
    while (next != kNoRow && IsRemoved(next)) next = Step(next, true);
    return next;
  }

  RowPosition Previous(RowPosition position) override {
    if (position == kNoRow) return Last();
    RowPosition previous = Step(position, false);
    while (previous != kNoRow && IsRemoved(previous)) previous = Step(previous, false);
    return previous;
  }

  int64_t IndexOf(RowPosition position) override {
    int64_t index = position;
    if (position >= kAddedBase) {
      ReadAll();
      index = static_cast<int64_t>(list_->keys.size()) + (position - kAddedBase);
    }
    for (RowPosition removed : list_->removed) {
      if (removed >= position) break;
      --index;
    }
    return index;
  }

  RowPosition AtIndex(int64_t index) override {
    if (list_->removed.empty() && Reach(index)) return index;
    RowPosition position = First();
    for (int64_t i = 0; i < index && position != kNoRow; ++i) position = Next(position);
    return position;
  }

  int64_t RecordCount(RowPosition highestVisited) override {
    int64_t count = 0;
    if (highestVisited >= kAddedBase) {
      ReadAll();
      count = static_cast<int64_t>(list_->keys.size());
    } else if (highestVisited != kNoRow) {
      count = highestVisited + 1;
    }
    count += static_cast<int64_t>(list_->added.size());
    for (RowPosition removed : list_->removed) {
      if (removed < kAddedBase && highestVisited < kAddedBase && removed > highestVisited) continue;
      --count;
    }
    return count;
  }

  int Compare(RowPosition a, RowPosition b) const override { return a < b ? -1 : (a > b ? 1 : 0); }

  RowKey KeyAt(RowPosition position) override {
    if (position >= kAddedBase) return list_->added[static_cast<size_t>(position - kAddedBase)];
    return list_->keys[static_cast<size_t>(position)];
  }

  RowPosition Locate(RowKey key, RowPosition hint) override {
    if (hint != kNoRow && Holds(hint) && KeyAt(hint) == key) return hint;
    for (size_t i = 0; i < list_->added.size(); ++i) {
      if (list_->added[i] == key) return kAddedBase + static_cast<RowPosition>(i);
    }
    KeyList& list = *list_;
    for (; list.indexedUpTo < list.keys.size(); ++list.indexedUpTo) {
      list.positionOf.emplace(list.keys[list.indexedUpTo], static_cast<RowPosition>(list.indexedUpTo));
    }
    auto found = list.positionOf.find(key);
    return found == list.positionOf.end() ? kNoRow : found->second;
  }

  bool Load(RowPosition position) override {
    if (position == loaded_) return exists_;
    loaded_ = position;
    exists_ = reader_.Read(KeyAt(position), values_);
    return exists_;
  }

  const Variant& Value(int column) override { return values_[static_cast<size_t>(column)]; }
  void Forget() override { loaded_ = kNoRow; }

  RowPosition Appended(RowKey key) override {
    list_->added.push_back(key);
    list_->addedKeys.insert(key);
    return kAddedBase + static_cast<RowPosition>(list_->added.size()) - 1;
  }

  void Removed(RowPosition position) override {
    list_->removed.insert(position);
    if (position == loaded_) exists_ = false;
  }
  bool IsRemoved(RowPosition position) const override {
    return !list_->removed.empty() && list_->removed.count(position) != 0;
  }

  std::unique_ptr<RecordSource> Clone() override {
    return std::make_unique<KeysetSource>(file_, shape_, list_);
  }
  void Release() override {}

  RowPosition FindMatch(const FindCriteria& criteria, RowPosition start, bool forward,
                        bool inclusive) override;

  // Reads keys until `position` exists; false when the query ends before it.
  bool Reach(RowPosition position) {
    while (static_cast<RowPosition>(list_->keys.size()) <= position) {
      if (!ReadChunk()) return false;
    }
    return true;
  }

  void ReadAll() {
    while (ReadChunk()) {
    }
  }

 private:
  // Whether the position names a row of the list read so far.
  bool Holds(RowPosition position) const {
    if (position >= kAddedBase) return position - kAddedBase < static_cast<RowPosition>(list_->added.size());
    return position >= 0 && position < static_cast<RowPosition>(list_->keys.size());
  }

  RowPosition AddedOrNone(size_t index) const {
    return index < list_->added.size() ? kAddedBase + static_cast<RowPosition>(index) : kNoRow;
  }

  // One row on in either direction, removed rows included; kNoRow past an end.
  RowPosition Step(RowPosition position, bool forward) {
    if (position >= kAddedBase) {
      const size_t index = static_cast<size_t>(position - kAddedBase);
      if (forward) return AddedOrNone(index + 1);
      if (index > 0) return position - 1;
      ReadAll();
      return static_cast<RowPosition>(list_->keys.size()) - 1;  // -1 is kNoRow
    }
    if (!forward) return position - 1;
    if (Reach(position + 1)) return position + 1;
    return AddedOrNone(0);
  }

  // Reads the next chunk of keys; false when nothing more came.
  bool ReadChunk();
  int64_t RunKeyQuery(const std::string& condition, bool continues, int64_t limit);

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  std::shared_ptr<KeyList> list_;
  RowReader reader_;
  RowPosition loaded_ = kNoRow;
  bool exists_ = false;
  std::vector<Variant> values_;
};

bool KeysetSource::ReadChunk() {
  KeyList& list = *list_;
  if (list.complete) return false;
  int64_t limit = list.chunk;
  if (plan_.maxRecords > 0) limit = std::min(limit, plan_.maxRecords - list.stepped);
  if (limit <= 0) {
    list.complete = true;
    return false;
  }
  const size_t before = list.keys.size();
  int64_t got = 0;
  if (list.stepped == 0) {
    got = RunKeyQuery("1", false, limit);
  } else {
    PositionConditions conditions = BuildPositionConditions(
        plan_.order, list.lastValues, Bound::kAfter, true, plan_.parameterCount + 1);
    got = RunKeyQuery(conditions.sameClass, true, limit);
    if (got < limit && !conditions.otherClass.empty()) {
      got += RunKeyQuery(conditions.otherClass, false, limit - got);
    }
  }
  if (got < limit) list.complete = true;
  list.chunk = std::min(list.chunk * 2, kLargestChunk);
  return list.keys.size() > before;
}

int64_t KeysetSource::RunKeyQuery(const std::string& condition, bool continues, int64_t limit) {
  KeyList& list = *list_;
  const int base = plan_.parameterCount;
  const int terms = static_cast<int>(plan_.order.size());
  std::string sql = "SELECT rowid";
  for (const SortTerm& term : plan_.order) sql += ", " + term.expr;
  sql += " FROM " + plan_.from + " WHERE ";
  if (!plan_.where.empty()) sql += "(" + plan_.where + ") AND ";
  sql += condition + " ORDER BY " + OrderText(plan_.order, false) + " LIMIT ?" +
         std::to_string(base + terms + 2);

  StatementUse statement(file_->Statement(sql));
  plan_.parameters.BindTo(*statement);
  if (continues) {
    for (int i = 0; i < terms; ++i) {
      if (!list.lastValues[static_cast<size_t>(i)].IsNull()) {
        list.lastValues[static_cast<size_t>(i)].Bind(*statement, base + 1 + i);
      }
    }
    statement->BindInt64(base + terms + 1, list.lastKey);
  }
  statement->BindInt64(base + terms + 2, limit);

  int64_t got = 0;
  const bool skipAdded = !list.addedKeys.empty();
  while (statement->Step()) {
    ++got;
    const RowKey key = statement->ColumnInt64(0);
    list.lastKey = key;
    if (!skipAdded || list.addedKeys.count(key) == 0) list.keys.push_back(key);
    if (terms > 0) {
      list.lastValues.resize(static_cast<size_t>(terms));
      for (int i = 0; i < terms; ++i) {
        list.lastValues[static_cast<size_t>(i)] = StoredValue::Read(*statement, i + 1);
      }
    }
  }
  list.stepped += got;
  return got;
}

RowPosition KeysetSource::FindMatch(const FindCriteria& criteria, RowPosition start, bool forward,
                                    bool inclusive) {
  const int jsonParameter = plan_.parameterCount + criteria.parameterCount + 1;
  const std::string sql = "SELECT \"lumo_key\" FROM (SELECT rowid AS \"lumo_key\", " +
                          plan_.selectList + " FROM " + plan_.from +
                          " WHERE rowid IN (SELECT value FROM json_each(?" +
                          std::to_string(jsonParameter) + "))) WHERE " + criteria.sql;
  RowPosition position = start;
  if (!inclusive || position == kNoRow) position = forward ? Next(start) : Previous(start);
  size_t batchSize = kFirstFindBatch;
  std::vector<std::pair<RowPosition, RowKey>> batch;
  std::unordered_set<RowKey> matched;
  while (position != kNoRow) {
    batch.clear();
    std::string json = "[";
    for (; position != kNoRow && batch.size() < batchSize;
         position = forward ? Next(position) : Previous(position)) {
      const RowKey key = KeyAt(position);
      batch.emplace_back(position, key);
      if (json.size() > 1) json += ',';
      json += std::to_string(key);
    }
    json += ']';
    matched.clear();
    {
      StatementUse statement(file_->Statement(sql));
      if (plan_.selectUsesParameters) plan_.parameters.BindTo(*statement);
      criteria.parameters.BindTo(*statement);
      statement->BindText(jsonParameter, json);
      while (statement->Step()) matched.insert(statement->ColumnInt64(0));
    }
    for (const auto& [candidate, key] : batch) {
      if (matched.count(key) != 0) return candidate;
    }
    batchSize = std::min(batchSize * 2, kLargestFindBatch);
  }
  return kNoRow;
}

}  // namespace

std::unique_ptr<RecordSource> MakeKeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape,
                                               bool appendOnly) {
  auto list = std::make_shared<KeyList>();
  // An append-only dynaset shows only the rows added through it.
  list->complete = appendOnly;
  return std::make_unique<KeysetSource>(std::move(file), std::move(shape), std::move(list));
}

}  // namespace lumo::jet
