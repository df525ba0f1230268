// Dynasets over a table whose rows carry no row id (another tool made it so): the rows'
// primary-key values stand in for row ids, numbered by the plan's PrimaryKeyMap.
//
// In the primary key's order the keys are read in chunks that continue after the last key
// read (by its values, not an offset, so that rows others add or delete meanwhile never shift
// the list), the chunk size doubling; in an order of the recordset's own they are read all at
// once. Each row is read by its key when the cursor lands on it, so that others' changes and
// deletions show. Rows added through the recordset follow the rows of the query, as in every
// dynaset; a key the list meets again (a row whose key this recordset changed, or added) is
// not listed twice.
//
// The rows are those there at the open: rows others add later stay out until Requery. A key
// that is a counter grows with every row added, so the chunks stop at the largest value there
// was at the open; a list over any other key is read whole at the open.

#include <set>
#include <unordered_map>

#include "jet/DatabaseFile.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/RecordSource.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr int64_t kFirstChunk = 100;
constexpr int64_t kLargestChunk = int64_t{1} << 20;
// Positions of added rows start here, beyond any list a file can hold.
constexpr RowPosition kAddedBase = int64_t{1} << 52;

// The list, shared by a recordset and its clones.
struct PrimaryKeyList {
  std::vector<RowKey> keys;       // the query's rows, in its order
  std::vector<RowKey> added;      // rows added through the recordset
  std::set<RowPosition> removed;  // rows deleted through it
  std::unordered_map<RowKey, RowPosition> positionOf;
  std::vector<StoredValue> last;  // the key values the next chunk continues after
  int64_t delivered = 0;          // rows the query gave, known ones included
  int64_t chunk = kFirstChunk;
  bool complete = false;
  // The counter key's largest value at the open (read with the first chunk).
  std::optional<int64_t> ceiling;
  // The statements that read the keys: the first chunk and those continuing after a key.
  std::unique_ptr<storage::Statement> first;
  std::unique_ptr<storage::Statement> next;
};

class PrimaryKeySource final : public RecordSource {
 public:
  PrimaryKeySource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<PrimaryKeyList> list)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        map_(*plan_.primaryKey),
        list_(std::move(list)),
        reader_(*file_, plan_, columns_),
        counterKey_(CounterKeyOf(plan_, map_)) {}

  RowPosition First() override { return Next(kNoRow); }
  RowPosition Last() override {
    RowPosition position = list_->added.empty() ? LastListed() : AddedAt(list_->added.size() - 1);
    while (position != kNoRow && IsRemoved(position)) position = Step(position, false);
    return position;
  }
  RowPosition Next(RowPosition position) override {
    RowPosition next = position == kNoRow ? (Reach(0) ? 0 : AddedOrNone(0)) : Step(position, true);
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
    if (index < 0) return kNoRow;
    if (list_->removed.empty()) {
      if (Reach(index)) return index;
      return AddedOrNone(static_cast<size_t>(index - static_cast<int64_t>(list_->keys.size())));
    }
    RowPosition position = First();
    for (int64_t i = 0; i < index && position != kNoRow; ++i) position = Next(position);
    return position;
  }
  int64_t RecordCount(RowPosition highestVisited) override {
    const bool whole = highestVisited >= kAddedBase;
    if (whole) ReadAll();
    int64_t count = whole ? static_cast<int64_t>(list_->keys.size()) : highestVisited + 1;
    count += static_cast<int64_t>(list_->added.size());
    for (RowPosition removed : list_->removed) {
      if (!whole && removed < kAddedBase && removed > highestVisited) continue;
      --count;
    }
    return count;
  }

  RowKey KeyAt(RowPosition position) override {
    if (position >= kAddedBase) return list_->added[static_cast<size_t>(position - kAddedBase)];
    return list_->keys[static_cast<size_t>(position)];
  }
  RowPosition Locate(RowKey key, RowPosition hint) override {
    if (hint != kNoRow && Holds(hint) && KeyAt(hint) == key) return hint;
    auto found = list_->positionOf.find(key);
    return found == list_->positionOf.end() ? kNoRow : found->second;
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
    const RowPosition position = AddedAt(list_->added.size() - 1);
    list_->positionOf[key] = position;
    return position;
  }
  void Removed(RowPosition position) override {
    list_->removed.insert(position);
    map_.Release(KeyAt(position));
    if (position == loaded_) exists_ = false;
  }
  bool IsRemoved(RowPosition position) const override {
    return !list_->removed.empty() && list_->removed.count(position) != 0;
  }

  std::unique_ptr<RecordSource> Clone() override { return std::make_unique<PrimaryKeySource>(file_, shape_, list_); }
  void Release() override {}

  // Row by row over the rows read by key; rows deleted by others do not match.
  RowPosition FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) override {
    MemoryCriterion criterion(*file_, plan_, columns_, criteria);
    // The rows looked at pass through the one buffer: after a miss the row that was there
    // (the recordset's current one, which stays current) is read again.
    const RowPosition current = loaded_;
    RowPosition position = start;
    if (!inclusive || position == kNoRow) position = forward ? Next(start) : Previous(start);
    for (; position != kNoRow; position = forward ? Next(position) : Previous(position)) {
      if (Load(position) && criterion.Matches(values_.data())) return position;
    }
    if (current != kNoRow && current != loaded_) {
      loaded_ = kNoRow;
      Load(current);
    }
    return kNoRow;
  }

 private:
  static RowPosition AddedAt(size_t index) { return kAddedBase + static_cast<RowPosition>(index); }
  RowPosition AddedOrNone(size_t index) const { return index < list_->added.size() ? AddedAt(index) : kNoRow; }
  bool Holds(RowPosition position) const {
    if (position >= kAddedBase) return position - kAddedBase < static_cast<RowPosition>(list_->added.size());
    return position >= 0 && position < static_cast<RowPosition>(list_->keys.size());
  }
  RowPosition LastListed() {
    ReadAll();
    return static_cast<RowPosition>(list_->keys.size()) - 1;  // -1 is kNoRow
  }

  // One row on in either direction, removed rows included; kNoRow past an end.
  // The key column when the key is a single counter, else empty.
  static std::string CounterKeyOf(const QueryPlan& plan, const PrimaryKeyMap& map) {
    if (map.Columns().size() != 1 || !plan.table) return {};
    for (const ColumnInfo& column : plan.table->columns) {
      if (AnsiSameText(column.name, map.Columns().front())) {
        return (column.type.attributes & dbAutoIncrField) != 0 ? map.ColumnList() : std::string();
      }
    }
    return {};
  }

  RowPosition Step(RowPosition position, bool forward) {
    if (position >= kAddedBase) {
      const auto index = static_cast<size_t>(position - kAddedBase);
      if (forward) return AddedOrNone(index + 1);
      return index > 0 ? position - 1 : LastListed();
    }
    if (!forward) return position - 1;
    return Reach(position + 1) ? position + 1 : AddedOrNone(0);
  }

  // Reads keys until `position` is listed; false when the query ends before it.
  bool Reach(RowPosition position) {
    while (static_cast<RowPosition>(list_->keys.size()) <= position) {
      if (!ReadChunk()) return false;
    }
    return true;
  }
  void ReadAll() {
    while (ReadChunk()) {}
  }
  // Reads the next chunk of keys; false when the list is complete.
  bool ReadChunk();
  storage::Statement& KeyStatement(bool continuing);

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  PrimaryKeyMap& map_;
  std::shared_ptr<PrimaryKeyList> list_;
  RowReader reader_;
  RowPosition loaded_ = kNoRow;
  bool exists_ = false;
  std::vector<Variant> values_;
  std::string counterKey_;
};

// SELECT k1, k2 FROM ... WHERE <query> [AND (k1, k2) > (?a, ?b)] ORDER BY k1, k2 LIMIT ?n;
// in an order of the recordset's own the whole list at once, the key breaking ties.
storage::Statement& PrimaryKeySource::KeyStatement(bool continuing) {
  PrimaryKeyList& list = *list_;
  std::unique_ptr<storage::Statement>& statement = continuing ? list.next : list.first;
  if (statement) return *statement;
  const int keyParameter = plan_.parameterCount + 1;
  std::string condition = plan_.where;
  if (continuing) {
    std::string values;
    for (size_t i = 0; i < map_.Columns().size(); ++i) {
      values += (i ? ", ?" : "?") + std::to_string(keyParameter + static_cast<int>(i));
    }
    const std::string after = "(" + map_.ColumnList() + ") > (" + values + ")";
    condition = condition.empty() ? after : "(" + condition + ") AND " + after;
  }
  if (plan_.order.empty() && !counterKey_.empty()) {
    const std::string below =
        counterKey_ + " <= ?" + std::to_string(keyParameter + static_cast<int>(map_.Columns().size()) + 1);
    condition = condition.empty() ? below : "(" + condition + ") AND " + below;
  }
  std::string sql = "SELECT " + map_.ColumnList() + " FROM " + plan_.from;
  if (!condition.empty()) sql += " WHERE " + condition;
  sql += " ORDER BY ";
  for (const SortTerm& term : plan_.order) sql += SortTermText(term, false, *plan_.dialect) + ", ";
  sql += map_.ColumnList() +
         plan_.dialect->Limit("?" + std::to_string(keyParameter + static_cast<int>(map_.Columns().size())));
  statement = file_->Connection().Prepare(sql);
  return *statement;
}

bool PrimaryKeySource::ReadChunk() {
  PrimaryKeyList& list = *list_;
  if (list.complete) return false;
  const bool whole = !plan_.order.empty() || counterKey_.empty();
  const bool continuing = !whole && list.delivered > 0;
  if (!whole && !list.ceiling) {
    StatementUse highest(file_->Statement("SELECT max(" + counterKey_ + ") FROM " + plan_.from));
    if (!highest->Step() || highest->TypeOf(0) == ColumnType::Null) {
      // An empty table: the rows there at the open are none.
      list.complete = true;
      return false;
    }
    list.ceiling = highest->ColumnInt64(0);
  }
  int64_t limit = whole ? -1 : list.chunk;
  if (plan_.maxRecords > 0) {
    const int64_t left = plan_.maxRecords - list.delivered;
    limit = limit < 0 ? left : std::min(limit, left);
  }
  storage::Statement& statement = KeyStatement(continuing);
  StatementUse use(statement);
  statement.ClearBindings();
  plan_.parameters.BindTo(statement);
  const int keyParameter = plan_.parameterCount + 1;
  const auto keyCount = static_cast<int>(map_.Columns().size());
  if (continuing) {
    for (int i = 0; i < keyCount; ++i) list.last[static_cast<size_t>(i)].Bind(statement, keyParameter + i);
  }
  statement.BindInt64(keyParameter + keyCount, limit);
  if (!whole) statement.BindInt64(keyParameter + keyCount + 1, *list.ceiling);
  int64_t got = 0;
  while (statement.Step()) {
    std::vector<StoredValue> values;
    for (int i = 0; i < keyCount; ++i) values.push_back(StoredValue::Read(statement, i));
    list.last = values;
    ++got;
    // The map is shared with earlier requeries, which met these rows too: what this list
    // holds already (a row added through the recordset, met again) is what stays out.
    const RowKey key = map_.KeyOf(std::move(values));
    if (list.positionOf.count(key) != 0) continue;
    list.positionOf.emplace(key, static_cast<RowPosition>(list.keys.size()));
    list.keys.push_back(key);
  }
  list.delivered += got;
  list.chunk = std::min(list.chunk * 2, kLargestChunk);
  if (whole || got < limit || (plan_.maxRecords > 0 && list.delivered >= plan_.maxRecords)) list.complete = true;
  return got > 0;
}

}  // namespace

std::unique_ptr<RecordSource> MakePrimaryKeySource(std::shared_ptr<DatabaseFile> file, ShapePtr shape,
                                                   bool appendOnly) {
  auto list = std::make_shared<PrimaryKeyList>();
  // Append-only: only the rows added through the recordset show.
  list->complete = appendOnly;
  return std::make_unique<PrimaryKeySource>(std::move(file), std::move(shape), std::move(list));
}

}  // namespace lumo::jet
