// Dynasets: the ordered row keys of one base table, read lazily in growing chunks
// (RecordsetKeyList.cpp pages the list), each row read by its key when the cursor lands on it.
//
// Rows added through the recordset follow the rows of the query (DAO shows new rows at the
// end), in a list of their own so that the lazy reader can skip them.
//
// Reading a row by its id is a read transaction of its own, whose locking costs more than the
// read itself; so while the cursor walks the list row by row, the rows ahead are read in
// batches (the way Jet's own dynasets cache rows): with the next chunk of keys when the walk
// reaches the end of the list read so far, else by their ids. A batch serves only for a
// moment (kReadAheadLifeMs) and never after this recordset wrote or was told to read again
// (Move 0).
//
// MoveLast in row-id order (a whole-table dynaset) does not read what lies between: it reads
// the list's last chunk backwards and counts the rows in between once, in the same statement,
// so that RecordCount stays exact. Those rows stay unread until a walk reaches them from
// either side; when both sides meet the list is whole. The tail keeps positions of its own,
// counted down from kTailEnd, so that growing it backwards never renumbers a row. In any
// other order MoveLast reads the rest of the list in one statement.
//
// Find* in row-id order lets SQLite find the row (by an index where one serves the criterion)
// and places it in the list by its id; in other orders it walks the list, checking the
// criterion on growing batches of rows, since the list's order is the only one that holds.
//
// Membership is fixed when the dynaset opens, without reading the list: the largest row id
// of the table then (the ceiling, one step down the table's tree) bounds every key query, so
// that rows another connection adds later stay out until Requery, however far the list has
// been read. A row of the list deleted elsewhere stays in it and answers 3167 when the
// cursor lands on it. Rows deleted elsewhere before the lazy reader reached their keys are
// not known to have been there and are not listed.

#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <set>
#include <unordered_set>

#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/RecordsetKeyList.h"
#include "jet/RowCounts.h"
#include "jet/ValueCodec.h"

namespace lumo::jet {

namespace {

constexpr size_t kFirstFindBatch = 64;
constexpr size_t kLargestFindBatch = 4096;
constexpr size_t kFirstReadAhead = 32;
constexpr size_t kLargestReadAhead = 1024;
constexpr int64_t kReadAheadLifeMs = 50;

// Milliseconds of the coarse monotonic clock: a few milliseconds of resolution are plenty for
// the life of a batch, and reading it costs next to nothing (the precise clock would cost as
// much as a row).
int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class KeysetSource final : public RecordSource, private RowSink {
 public:
  KeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<KeyList> list)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        list_(std::move(list)),
        key_(plan_.RowKeyExpression()),
        dialect_(*plan_.dialect),
        pager_(*file_, plan_, *list_),
        reader_(*file_, plan_, columns_) {}

  RowPosition First() override { return Next(kNoRow); }

  RowPosition Last() override {
    RowPosition position =
        list_->added.empty() ? LastListed() : kAddedBase + static_cast<RowPosition>(list_->added.size()) - 1;
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
      index = ListedCount() + (position - kAddedBase);
    } else if (IsTail(position)) {
      index = static_cast<int64_t>(list_->keys.size()) + list_->gapRemaining + (position - TailStart());
    }
    for (RowPosition removed : list_->removed) {
      if (removed >= position) break;
      --index;
    }
    return index;
  }

  RowPosition AtIndex(int64_t index) override {
    if (list_->removed.empty() && index >= 0) {
      const KeyList& list = *list_;
      const auto tailSize = static_cast<int64_t>(list.tail.size());
      // An index beyond the unread gap lies in the tail or among the added rows.
      const int64_t intoTail = index - static_cast<int64_t>(list.keys.size()) - list.gapRemaining;
      if (list.tailStarted && !list.complete && intoTail >= 0) {
        return intoTail < tailSize ? TailStart() + intoTail : AddedOrNone(static_cast<size_t>(intoTail - tailSize));
      }
      if (Reach(index)) return index;
      const int64_t rest = index - static_cast<int64_t>(list.keys.size());
      return rest < tailSize ? TailStart() + rest : AddedOrNone(static_cast<size_t>(rest - tailSize));
    }
    RowPosition position = First();
    for (int64_t i = 0; i < index && position != kNoRow; ++i) position = Next(position);
    return position;
  }

  int64_t RecordCount(RowPosition highestVisited) override {
    int64_t count = 0;
    const bool whole = highestVisited >= kAddedBase || IsTail(highestVisited);
    if (whole) {
      count = ListedCount();
    } else if (highestVisited != kNoRow) {
      count = highestVisited + 1;
    }
    count += static_cast<int64_t>(list_->added.size());
    for (RowPosition removed : list_->removed) {
      if (!whole && removed < kAddedBase && removed > highestVisited) continue;
      --count;
    }
    return count;
  }

  RowKey KeyAt(RowPosition position) override {
    if (position >= kAddedBase) return list_->added[static_cast<size_t>(position - kAddedBase)];
    if (position >= kTailEnd - static_cast<RowPosition>(list_->tail.size())) {
      return list_->tail[static_cast<size_t>(kTailEnd - 1 - position)];
    }
    return list_->keys[static_cast<size_t>(position)];
  }

  RowPosition Locate(RowKey key, RowPosition hint) override {
    if (hint != kNoRow && Holds(hint) && KeyAt(hint) == key) return hint;
    for (size_t i = 0; i < list_->added.size(); ++i) {
      if (list_->added[i] == key) return kAddedBase + static_cast<RowPosition>(i);
    }
    // In row-id order the list is sorted by the key itself.
    if (InRowIdOrder()) return ListedPositionOf(key, false);
    KeyList& list = *list_;
    for (; list.indexedUpTo < list.keys.size(); ++list.indexedUpTo) {
      list.positionOf.emplace(list.keys[list.indexedUpTo], static_cast<RowPosition>(list.indexedUpTo));
    }
    for (; list.tailIndexedUpTo < list.tail.size(); ++list.tailIndexedUpTo) {
      list.positionOf.emplace(list.tail[list.tailIndexedUpTo],
                              kTailEnd - 1 - static_cast<RowPosition>(list.tailIndexedUpTo));
    }
    auto found = list.positionOf.find(key);
    return found == list.positionOf.end() ? kNoRow : found->second;
  }

  bool Load(RowPosition position) override;

  const Variant& Value(int column) override { return current_[column]; }
  // The values go with the row: a large memo or binary value is not kept once it is stale.
  void Forget() override {
    loaded_ = kNoRow;
    ahead_.first = kNoRow;
    ahead_.cells.clear();
    values_.assign(columns_.size(), Variant());
    current_ = values_.data();
    currentInBatch_ = false;
  }

  RowPosition Appended(RowKey key) override {
    list_->added.push_back(key);
    list_->addedKeys.insert(key);
    return kAddedBase + static_cast<RowPosition>(list_->added.size()) - 1;
  }

  void Removed(RowPosition position) override {
    list_->removed.insert(position);
    if (position == loaded_) exists_ = false;
    ahead_.first = kNoRow;
  }
  bool IsRemoved(RowPosition position) const override {
    return !list_->removed.empty() && list_->removed.count(position) != 0;
  }

  std::unique_ptr<RecordSource> Clone() override { return std::make_unique<KeysetSource>(file_, shape_, list_); }
  void Release() override {}

  RowPosition FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) override;

  // Reads keys until `position` exists; false when the query ends before it. withRows: the
  // rows come along into the read-ahead batch (a cursor walking the list needs them next).
  bool Reach(RowPosition position, bool withRows = false) {
    while (static_cast<RowPosition>(list_->keys.size()) <= position) {
      // A chunk can bring only rows added through the recordset, which the list skips.
      if (!ReadChunk(withRows) && list_->complete) return false;
    }
    return true;
  }

  void ReadAll() { pager_.ReadAll(); }

 private:
  // Whether the position names a row of the list read so far.
  bool Holds(RowPosition position) const {
    if (position >= kAddedBase) return position - kAddedBase < static_cast<RowPosition>(list_->added.size());
    if (IsTail(position)) return true;
    return position >= 0 && position < static_cast<RowPosition>(list_->keys.size());
  }

  bool IsTail(RowPosition position) const { return position >= TailStart() && position < kTailEnd; }
  // The position of the tail's first row (kTailEnd when the tail is empty).
  RowPosition TailStart() const { return kTailEnd - static_cast<RowPosition>(list_->tail.size()); }

  // The rows of the query, read or counted: the exact total.
  int64_t ListedCount() {
    KnowEnd();
    const KeyList& list = *list_;
    return static_cast<int64_t>(list.keys.size()) + list.gapRemaining + static_cast<int64_t>(list.tail.size());
  }

  // Learns where the list ends: its last chunk read backwards with the rows before it
  // counted (row-id order), else the whole list.
  void KnowEnd() {
    const KeyList& list = *list_;
    if (list.complete || list.tailStarted) return;
    if (plan_.order.empty() && plan_.maxRecords == 0) {
      ReadTailChunk();
    } else {
      ReadAll();
    }
  }

  // The last row of the query's list (removed ones included); kNoRow when it is empty.
  RowPosition LastListed() {
    KnowEnd();
    while (list_->tail.empty() && !list_->complete) ReadTailChunk();
    if (!list_->tail.empty()) return kTailEnd - 1;
    return static_cast<RowPosition>(list_->keys.size()) - 1;  // -1 is kNoRow
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
      return LastListed();
    }
    if (IsTail(position)) {
      if (forward) return position + 1 < kTailEnd ? position + 1 : AddedOrNone(0);
      // Walking back from the tail's first row reads the gap from this side.
      while (position == TailStart() && !list_->complete) ReadTailChunk();
      if (position > TailStart()) return position - 1;
      return static_cast<RowPosition>(list_->keys.size()) - 1;
    }
    if (!forward) return position - 1;
    if (Reach(position + 1, streak_ >= 2)) return position + 1;
    if (!list_->tail.empty()) return TailStart();
    return AddedOrNone(0);
  }

  void ReadTailChunk() { pager_.ReadTailChunk(); }

  // Reads the next chunk of keys (with their rows into the batch); false when nothing more
  // came.
  bool ReadChunk(bool withRows = false) { return pager_.ReadChunk(withRows ? this : nullptr); }
  // The batch as the sink of the rows a chunk of keys brings along.
  int64_t Capacity() const override { return static_cast<int64_t>(kLargestReadAhead); }
  void Begin(RowPosition first, int64_t limit) override;
  void Arrive(const storage::Statement& statement, int firstColumn) override;
  void End() override { ahead_.readAt = NowMs(); }
  // Reads the rows at positions [first, first + count) into the read-ahead batch.
  void ReadAhead(RowPosition first, size_t count);
  bool TakeAhead(RowPosition position);
  // Copies the current row out of the batch before the batch is read again.
  void KeepCurrentRow();

  // Find* in row-id order: the criterion is evaluated by SQLite over the whole table in the
  // list's order, with whatever index serves it, and the row found is then placed in the list
  // by its id (the list is in id order, so a binary search does it). Only the keys up to that
  // row are read, once for the recordset and its clones. Rows added through the recordset
  // are looked at apart, after the listed ones.
  bool InRowIdOrder() const { return pager_.InRowIdOrder(); }
  RowPosition FindListed(const FindCriteria& criteria, RowKey from, bool forward, bool inclusive);
  RowPosition FindAdded(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive);
  RowPosition ListedPositionOf(RowKey key, bool readOn) { return pager_.ListedPositionOf(key, readOn); }
  // Any other order: the list walked from `start`.
  RowPosition WalkFind(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive);
  // The keys among `candidates` whose rows satisfy the criterion; `check` is the statement
  // that tests them, prepared on first use for this one search.
  std::unordered_set<RowKey> MatchingKeys(const FindCriteria& criteria,
                                          const std::vector<std::pair<RowPosition, RowKey>>& candidates,
                                          std::unique_ptr<storage::Statement>& check);

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  std::shared_ptr<KeyList> list_;
  const std::string& key_;  // the row identity's key expression
  const storage::SqlDialect& dialect_;
  KeyListReader pager_;
  RowReader reader_;
  RowPosition loaded_ = kNoRow;
  bool exists_ = false;
  std::vector<Variant> values_;
  // The current row's values: values_ or its row in the batch.
  const Variant* current_ = nullptr;
  bool currentInBatch_ = false;

  // Rows read ahead of a cursor that walks the list, one row after the other in `cells`.
  struct Batch {
    RowPosition first = kNoRow;
    size_t count = 0;
    std::vector<Variant> cells;
    std::vector<bool> exists;
    std::vector<bool> taken;
    int64_t readAt = 0;  // NowMs()
  } ahead_;
  int streak_ = 0;  // landings in a row on the neighbour of the row before
  size_t aheadSize_ = kFirstReadAhead;
};

bool KeysetSource::Load(RowPosition position) {
  if (position == loaded_) return exists_;
  const bool neighbour = loaded_ != kNoRow && (position == loaded_ + 1 || position == loaded_ - 1);
  const bool forward = position == loaded_ + 1;
  streak_ = neighbour ? streak_ + 1 : 0;
  if (!neighbour) aheadSize_ = kFirstReadAhead;
  loaded_ = position;
  const auto size = static_cast<RowPosition>(ahead_.count);
  if (ahead_.first != kNoRow && position >= ahead_.first && position < ahead_.first + size &&
      !ahead_.taken[static_cast<size_t>(position - ahead_.first)] && NowMs() - ahead_.readAt < kReadAheadLifeMs) {
    return TakeAhead(position);
  }
  if (streak_ >= 2 && position < kAddedBase) {
    const auto count = static_cast<RowPosition>(aheadSize_);
    const bool inTail = IsTail(position);
    RowPosition first = forward ? position : std::max<RowPosition>(inTail ? TailStart() : 0, position - count + 1);
    // Walking backward the batch ends at the current row: near the start of the list a full
    // batch would reach past it, into keys that may not have been read yet. Walking forward in
    // row-id order it ends where the keys read so far end: beyond them the walk reads the next
    // chunk of keys with their rows (Step), each chunk a range of the table's tree, so that
    // the table is read once rather than once for the keys and again for the rows. In other
    // orders a chunk may cost a sort of the rest of the table, so the keys are read ahead in
    // chunks that grow.
    RowPosition end = forward ? first + count : position + 1;
    if (forward && inTail) {
      end = std::min(end, kTailEnd);
    } else if (forward && InRowIdOrder()) {
      end = std::min(end, static_cast<RowPosition>(list_->keys.size()));
    } else if (forward) {
      while (end > position + 1 && !Reach(end - 1)) --end;
    }
    ReadAhead(first, static_cast<size_t>(end - first));
    aheadSize_ = std::min(aheadSize_ * 2, kLargestReadAhead);
    return TakeAhead(position);
  }
  exists_ = reader_.Read(KeyAt(position), values_);
  current_ = values_.data();
  currentInBatch_ = false;
  return exists_;
}

// Moves a row of the batch into the current row (a batch row serves once).
bool KeysetSource::TakeAhead(RowPosition position) {
  const auto slot = static_cast<size_t>(position - ahead_.first);
  current_ = &ahead_.cells[slot * columns_.size()];
  currentInBatch_ = true;
  exists_ = ahead_.exists[slot];
  ahead_.taken[slot] = true;
  return exists_;
}

void KeysetSource::KeepCurrentRow() {
  if (!currentInBatch_) return;
  values_.assign(current_, current_ + columns_.size());
  current_ = values_.data();
  currentInBatch_ = false;
}

void KeysetSource::Begin(RowPosition first, int64_t limit) {
  KeepCurrentRow();
  ahead_.first = first;
  ahead_.count = 0;
  ahead_.cells.resize(static_cast<size_t>(limit) * columns_.size());
  ahead_.exists.clear();
  ahead_.taken.clear();
}

void KeysetSource::Arrive(const storage::Statement& statement, int firstColumn) {
  Variant* row = &ahead_.cells[ahead_.count++ * columns_.size()];
  for (size_t i = 0; i < columns_.size(); ++i) {
    ReadColumnInto(statement, firstColumn + static_cast<int>(i), columns_[i].type, row[i]);
  }
  ahead_.exists.push_back(true);
  ahead_.taken.push_back(false);
}

void KeysetSource::ReadAhead(RowPosition first, size_t count) {
  KeepCurrentRow();
  ahead_.first = first;
  ahead_.count = count;
  ahead_.cells.resize(count * columns_.size());
  ahead_.exists.assign(count, false);
  ahead_.taken.assign(count, false);
  std::vector<RowKey> keys(count);
  for (size_t i = 0; i < count; ++i) keys[i] = KeyAt(first + static_cast<RowPosition>(i));
  const auto [low, high] = std::minmax_element(keys.begin(), keys.end());
  const RowKey lowest = *low;
  const uint64_t span = static_cast<uint64_t>(*high) - static_cast<uint64_t>(lowest) + 1;
  // Keys close together (a list in row-id order) are read as one range of the table, which
  // SQLite walks leaf by leaf; scattered keys are looked up one by one.
  const bool dense = span <= 4 * static_cast<uint64_t>(count);
  std::vector<int> slotByOffset;
  std::unordered_map<RowKey, size_t> slotOf;
  if (dense) {
    slotByOffset.assign(static_cast<size_t>(span), -1);
    for (size_t i = 0; i < count; ++i) slotByOffset[static_cast<size_t>(keys[i] - lowest)] = static_cast<int>(i);
  } else {
    for (size_t i = 0; i < count; ++i) slotOf.emplace(keys[i], i);
  }
  const int parameter = plan_.parameterCount + 1;
  std::string sql = "SELECT " + key_ + ", " + plan_.selectList + " FROM " + plan_.from + " WHERE ";
  sql += dense ? key_ + " BETWEEN ?" + std::to_string(parameter) + " AND ?" + std::to_string(parameter + 1)
               : plan_.identity->InKeyList(parameter);
  StatementUse statement(file_->Statement(sql));
  if (plan_.selectUsesParameters) plan_.parameters.BindTo(*statement);
  if (dense) {
    statement->BindInt64(parameter, lowest);
    statement->BindInt64(parameter + 1, *high);
  } else {
    statement->BindText(parameter, plan_.identity->KeyListValue(keys));
  }
  while (statement->Step()) {
    const RowKey key = statement->ColumnInt64(0);
    size_t slot = 0;
    if (dense) {
      const int found = slotByOffset[static_cast<size_t>(key - lowest)];
      if (found < 0) continue;
      slot = static_cast<size_t>(found);
    } else {
      auto found = slotOf.find(key);
      if (found == slotOf.end()) continue;
      slot = found->second;
    }
    Variant* row = &ahead_.cells[slot * columns_.size()];
    for (size_t i = 0; i < columns_.size(); ++i) {
      ReadColumnInto(*statement, static_cast<int>(i) + 1, columns_[i].type, row[i]);
    }
    ahead_.exists[slot] = true;
  }
  ahead_.readAt = NowMs();
}

RowPosition KeysetSource::FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) {
  if (!InRowIdOrder() || plan_.maxRecords > 0) return WalkFind(criteria, start, forward, inclusive);
  const bool fromAdded = start != kNoRow && start >= kAddedBase;
  if (forward) {
    if (fromAdded) return FindAdded(criteria, start, true, inclusive);
    if (start == kNoRow) {
      const RowPosition found = FindListed(criteria, kNoRow, true, true);
      return found != kNoRow ? found : FindAdded(criteria, kNoRow, true, true);
    }
    const RowPosition found = FindListed(criteria, KeyAt(start), true, inclusive);
    return found != kNoRow ? found : FindAdded(criteria, kNoRow, true, true);
  }
  if (start == kNoRow || fromAdded) {
    const RowPosition found = FindAdded(criteria, start, false, inclusive);
    return found != kNoRow ? found : FindListed(criteria, kNoRow, false, true);
  }
  return FindListed(criteria, KeyAt(start), false, inclusive);
}

RowPosition KeysetSource::FindListed(const FindCriteria& criteria, RowKey from, bool forward, bool inclusive) {
  const int keyParameter = plan_.parameterCount + criteria.parameterCount + 1;
  std::string sql =
      "SELECT \"lumo_key\" FROM (SELECT " + key_ + " AS \"lumo_key\", " + plan_.selectList + " FROM " + plan_.from;
  if (!plan_.where.empty()) sql += " WHERE " + plan_.where;
  // From an end the bound on the row id excludes nothing; written as a plain row-id range it
  // would make SQLite walk the table in row-id order instead of reaching the few rows the
  // criterion asks for through an index of its column. The unary + leaves it out of the plan.
  sql += ") WHERE (" + criteria.sql + (from == kNoRow ? ") AND +\"lumo_key\" " : ") AND \"lumo_key\" ");
  sql += forward ? (inclusive ? ">=" : ">") : (inclusive ? "<=" : "<");
  sql += " ?" + std::to_string(keyParameter);
  // The ceiling only filters (rows others added after the open); as a plan it would be the
  // same row-id walk.
  sql += " AND +\"lumo_key\" <= ?" + std::to_string(keyParameter + 1);
  sql += forward ? " ORDER BY \"lumo_key\"" : " ORDER BY \"lumo_key\" DESC";
  // Prepared for this search alone: criteria carry the values searched for.
  std::unique_ptr<storage::Statement> search = file_->Connection().Prepare(sql);
  storage::Statement& statement = *search;
  plan_.parameters.BindTo(statement);
  criteria.parameters.BindTo(statement);
  // Always bound, so that the statement knows every parameter number of the query.
  statement.BindInt64(keyParameter, from != kNoRow ? from : (forward ? INT64_MIN : INT64_MAX));
  statement.BindInt64(keyParameter + 1, list_->ceiling);
  const KeyList& list = *list_;
  while (statement.Step()) {
    const RowKey key = statement.ColumnInt64(0);
    // Rows added through the recordset come after the listed ones, whatever their id.
    if (list.addedKeys.count(key) != 0) continue;
    const RowPosition position = ListedPositionOf(key, true);
    if (position == kNoRow || IsRemoved(position)) continue;
    return position;
  }
  return kNoRow;
}

RowPosition KeysetSource::FindAdded(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) {
  const std::vector<RowKey>& added = list_->added;
  if (added.empty()) return kNoRow;
  // The added rows to look at, in the order of the search.
  std::vector<std::pair<RowPosition, RowKey>> candidates;
  const auto count = static_cast<RowPosition>(added.size());
  RowPosition first = 0;
  RowPosition last = count - 1;
  if (start != kNoRow) {
    const RowPosition at = start - kAddedBase;
    if (forward) {
      first = inclusive ? at : at + 1;
    } else {
      last = inclusive ? at : at - 1;
    }
  }
  for (RowPosition i = first; i <= last; ++i) {
    const RowPosition position = kAddedBase + (forward ? i : first + last - i);
    if (!IsRemoved(position)) candidates.emplace_back(position, added[static_cast<size_t>(position - kAddedBase)]);
  }
  std::unique_ptr<storage::Statement> check;
  const std::unordered_set<RowKey> matched = MatchingKeys(criteria, candidates, check);
  for (const auto& [position, key] : candidates) {
    if (matched.count(key) != 0) return position;
  }
  return kNoRow;
}

std::unordered_set<RowKey> KeysetSource::MatchingKeys(const FindCriteria& criteria,
                                                      const std::vector<std::pair<RowPosition, RowKey>>& candidates,
                                                      std::unique_ptr<storage::Statement>& check) {
  std::unordered_set<RowKey> matched;
  if (candidates.empty()) return matched;
  const int listParameter = plan_.parameterCount + criteria.parameterCount + 1;
  if (!check) {
    // Prepared for this search alone: criteria carry the values searched for.
    check = file_->Connection().Prepare("SELECT \"lumo_key\" FROM (SELECT " + key_ + " AS \"lumo_key\", " +
                                        plan_.selectList + " FROM " + plan_.from + " WHERE " +
                                        plan_.identity->InKeyList(listParameter) + ") WHERE " + criteria.sql);
  }
  std::vector<RowKey> keys;
  keys.reserve(candidates.size());
  for (const auto& candidate : candidates) keys.push_back(candidate.second);
  StatementUse statement(*check);
  if (plan_.selectUsesParameters) plan_.parameters.BindTo(*statement);
  criteria.parameters.BindTo(*statement);
  statement->BindText(listParameter, plan_.identity->KeyListValue(keys));
  while (statement->Step()) matched.insert(statement->ColumnInt64(0));
  return matched;
}

// The rows one after the other from `start`, their criterion checked in growing batches: for
// orders in which a row's place can change (sort values others may edit), the list's own
// order is the only one that holds.
RowPosition KeysetSource::WalkFind(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) {
  RowPosition position = start;
  if (!inclusive || position == kNoRow) position = forward ? Next(start) : Previous(start);
  size_t batchSize = kFirstFindBatch;
  std::vector<std::pair<RowPosition, RowKey>> batch;
  std::unique_ptr<storage::Statement> check;
  while (position != kNoRow) {
    batch.clear();
    for (; position != kNoRow && batch.size() < batchSize; position = forward ? Next(position) : Previous(position)) {
      batch.emplace_back(position, KeyAt(position));
    }
    const std::unordered_set<RowKey> matched = MatchingKeys(criteria, batch, check);
    for (const auto& [candidate, key] : batch) {
      if (matched.count(key) != 0) return candidate;
    }
    batchSize = std::min(batchSize * 2, kLargestFindBatch);
  }
  return kNoRow;
}

}  // namespace

std::unique_ptr<RecordSource> MakeKeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, bool appendOnly) {
  auto list = std::make_shared<KeyList>();
  // An append-only dynaset shows only the rows added through it.
  list->complete = appendOnly;
  if (!appendOnly) {
    // The membership: the rows up to the table's largest row id now. An empty table has
    // none, and the rows others add later do not join.
    StatementUse largest(
        file->Statement("SELECT max(" + shape->plan.RowKeyExpression() + ") FROM " + shape->plan.from));
    if (largest->Step() && largest->TypeOf(0) != ColumnType::Null) {
      list->ceiling = largest->ColumnInt64(0);
    } else {
      list->complete = true;
    }
  }
  return std::make_unique<KeysetSource>(std::move(file), std::move(shape), std::move(list));
}

}  // namespace lumo::jet
