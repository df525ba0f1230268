// Dynasets: the ordered row ids of one base table, read lazily in growing chunks, each row
// read by its id when the cursor lands on it.
//
// A chunk continues after the last key read by the sort values of that row (keyset
// pagination), not by an offset, so that rows others add or delete meanwhile never shift the
// list; the chunk size doubles, which bounds the total work when the order cannot use an
// index range. Rows added through the recordset follow the rows of the query (DAO shows new
// rows at the end), in a list of their own so that the lazy reader can skip them.
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
#include "jet/RowCounts.h"
#include "jet/ValueCodec.h"

namespace lumo::jet {

namespace {

constexpr int64_t kFirstChunk = 100;
constexpr int64_t kLargestChunk = int64_t{1} << 20;
// Positions of added rows start here, beyond any list a file can hold.
constexpr RowPosition kAddedBase = int64_t{1} << 52;
// Positions of the tail read backwards end just below here: the row at tail[i] (i counted
// from the end of the list) is kTailEnd - 1 - i.
constexpr RowPosition kTailEnd = int64_t{1} << 51;
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

// Sorts row ids: a radix sort in passes of at most 11 bits, whose counters stay in the
// processor's fastest cache; a million ids take a few milliseconds.
void SortKeys(RowKey* begin, RowKey* end) {
  const size_t count = static_cast<size_t>(end - begin);
  if (count < 2 || std::is_sorted(begin, end)) return;
  if (count < 4096) {
    std::sort(begin, end);
    return;
  }
  const auto [low, high] = std::minmax_element(begin, end);
  const uint64_t base = static_cast<uint64_t>(*low);
  const uint64_t range = static_cast<uint64_t>(*high) - base;
  int bits = 0;
  while (bits < 64 && (range >> bits) != 0) ++bits;
  const int passes = (bits + 10) / 11;
  const int width = (bits + passes - 1) / passes;
  const uint64_t mask = (uint64_t{1} << width) - 1;
  std::vector<RowKey> scratch(count);
  RowKey* from = begin;
  RowKey* to = scratch.data();
  std::vector<size_t> counts(static_cast<size_t>(mask) + 2);
  for (int pass = 0; pass < passes; ++pass) {
    const int shift = pass * width;
    std::fill(counts.begin(), counts.end(), 0);
    for (size_t i = 0; i < count; ++i) ++counts[((static_cast<uint64_t>(from[i]) - base) >> shift & mask) + 1];
    for (size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
    for (size_t i = 0; i < count; ++i) to[counts[(static_cast<uint64_t>(from[i]) - base) >> shift & mask]++] = from[i];
    std::swap(from, to);
  }
  if (from != begin) std::copy(from, from + count, begin);
}

// The list shared by a dynaset and its clones.
struct KeyList {
  // The largest row id the table had when the recordset opened: no row above it belongs.
  RowKey ceiling = 0;
  std::vector<RowKey> keys;   // rows of the query, in its order
  std::vector<RowKey> added;  // rows added through the recordset or a clone
  std::unordered_set<RowKey> addedKeys;
  std::set<RowPosition> removed;        // rows deleted through the recordset or a clone
  std::vector<StoredValue> lastValues;  // sort values of keys.back()
  RowKey lastKey = 0;
  int64_t stepped = 0;  // rows the query delivered, skipped ones included
  int64_t chunk = kFirstChunk;
  bool complete = false;  // the whole list is known (head and tail met)
  // The list's end, read backwards (row-id order only): tail[0] is the last row.
  bool tailStarted = false;
  std::vector<RowKey> tail;
  RowKey tailKey = 0;  // the smallest row id the tail read, skipped ones included
  int64_t tailChunk = kFirstChunk;
  int64_t gapRemaining = 0;                            // rows counted between head and tail, not yet read
  std::unordered_map<RowKey, RowPosition> positionOf;  // built on demand
  size_t indexedUpTo = 0;
  size_t tailIndexedUpTo = 0;
  SqliteStatementCache statements;  // the key queries, which carry the recordset's condition
};

class KeysetSource final : public RecordSource {
 public:
  KeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, std::shared_ptr<KeyList> list)
      : file_(std::move(file)),
        shape_(std::move(shape)),
        plan_(shape_->plan),
        columns_(shape_->columns),
        list_(std::move(list)),
        key_(plan_.RowKeyExpression()),
        dialect_(*plan_.dialect),
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

  void ReadAll();

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

  // Reads the next chunk of the tail backwards, counting the gap on the first; the gap is
  // closed when fewer rows come than asked for.
  void ReadTailChunk();
  // The statement that counts the members from row id `above` on (two parameter texts).
  std::string MemberCountSql(const std::string& above, const std::string& ceiling) const;

  // Reads the next chunk of keys (with their rows into the batch); false when nothing more
  // came.
  bool ReadChunk(bool withRows = false);
  // Reads the rows at positions [first, first + count) into the read-ahead batch.
  void ReadAhead(RowPosition first, size_t count);
  bool TakeAhead(RowPosition position);
  // Copies the current row out of the batch before the batch is read again.
  void KeepCurrentRow();
  int64_t RunKeyQuery(const std::string& condition, bool continues, int64_t limit, bool withRows);

  // Find* in row-id order: the criterion is evaluated by SQLite over the whole table in the
  // list's order, with whatever index serves it, and the row found is then placed in the list
  // by its id (the list is in id order, so a binary search does it). Only the keys up to that
  // row are read, once for the recordset and its clones. Rows added through the recordset
  // are looked at apart, after the listed ones.
  bool InRowIdOrder() const;
  RowPosition FindListed(const FindCriteria& criteria, RowKey from, bool forward, bool inclusive);
  RowPosition FindAdded(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive);
  // The position of a listed row (head or tail) in row-id order; kNoRow when the list does not
  // hold it. readOn: read the list on until it is known.
  RowPosition ListedPositionOf(RowKey key, bool readOn);
  // Any other order: the list walked from `start`.
  RowPosition WalkFind(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive);
  // The keys among `candidates` whose rows satisfy the criterion; `check` is the statement
  // that tests them, prepared on first use for this one search.
  std::unordered_set<RowKey> MatchingKeys(const FindCriteria& criteria,
                                          const std::vector<std::pair<RowPosition, RowKey>>& candidates,
                                          std::unique_ptr<SqliteStatement>& check);

  std::shared_ptr<DatabaseFile> file_;
  ShapePtr shape_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  std::shared_ptr<KeyList> list_;
  const std::string& key_;  // the row identity's key expression
  const storage::SqlDialect& dialect_;
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
    // batch would reach past it, into keys that may not have been read yet.
    RowPosition end = forward ? first + count : position + 1;
    if (forward && inTail) {
      end = std::min(end, kTailEnd);
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
      row[i] = ReadColumnValue(*statement, static_cast<int>(i) + 1, columns_[i].type);
    }
    ahead_.exists[slot] = true;
  }
  ahead_.readAt = NowMs();
}

// The rest of the list in one statement. In row-id order SQLite may then scan the smallest
// index that holds the row ids (far smaller than the table) in its own order; the ids are
// sorted back afterwards.
void KeysetSource::ReadAll() {
  KeyList& list = *list_;
  if (list.complete) return;
  if (!plan_.order.empty() || list.stepped == 0 || list.tailStarted) {
    while (ReadChunk()) {}
    return;
  }
  // The ids land behind the list, are sorted there and then kept or dropped in place. The
  // largest row id bounds how many can come, so the list grows once.
  const size_t start = list.keys.size();
  {
    const int64_t bound = list.ceiling - list.lastKey;
    if (bound > 0 && bound < (int64_t{1} << 27)) list.keys.reserve(start + static_cast<size_t>(bound));
  }
  {
    // Without a condition this is the cheapest read of every row id SQLite has; the ids
    // already read are dropped here rather than by a condition it would test on each row.
    std::string sql = "SELECT " + key_ + " FROM " + plan_.from;
    if (!plan_.where.empty()) sql += " WHERE " + plan_.where;
    StatementUse statement(list.statements.Get(file_->Connection(), sql));
    plan_.parameters.BindTo(*statement);
    const RowKey after = list.lastKey;
    const RowKey ceiling = list.ceiling;
    while (statement->Step()) {
      const RowKey key = statement->ColumnInt64(0);
      if (key > after && key <= ceiling) list.keys.push_back(key);
    }
  }
  SortKeys(list.keys.data() + start, list.keys.data() + list.keys.size());
  size_t rest = list.keys.size() - start;
  if (plan_.maxRecords > 0) {
    rest = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(rest), std::max<int64_t>(0, plan_.maxRecords - list.stepped)));
    list.keys.resize(start + rest);
  }
  list.stepped += static_cast<int64_t>(rest);
  if (rest > 0) list.lastKey = list.keys.back();
  if (!list.addedKeys.empty()) {
    list.keys.erase(std::remove_if(list.keys.begin() + static_cast<std::ptrdiff_t>(start), list.keys.end(),
                                   [&](RowKey key) { return list.addedKeys.count(key) != 0; }),
                    list.keys.end());
  }
  list.complete = true;
}

bool KeysetSource::ReadChunk(bool withRows) {
  KeyList& list = *list_;
  if (list.complete) return false;
  int64_t limit = list.chunk;
  // Rows coming along are held in memory until the cursor gets there: a batch's worth.
  if (withRows) limit = static_cast<int64_t>(kLargestReadAhead);
  if (plan_.maxRecords > 0) limit = std::min(limit, plan_.maxRecords - list.stepped);
  if (limit <= 0) {
    list.complete = true;
    return false;
  }
  const size_t before = list.keys.size();
  if (withRows) {
    KeepCurrentRow();
    ahead_.first = static_cast<RowPosition>(before);
    ahead_.count = 0;
    ahead_.cells.resize(static_cast<size_t>(limit) * columns_.size());
    ahead_.exists.clear();
    ahead_.taken.clear();
  }
  int64_t got = 0;
  if (list.stepped == 0) {
    got = RunKeyQuery("1", false, limit, withRows);
  } else {
    PositionConditions conditions =
        BuildPositionConditions(plan_.order, list.lastValues, Bound::kAfter, key_, plan_.parameterCount + 1);
    got = RunKeyQuery(conditions.sameClass, true, limit, withRows);
    if (got < limit && !conditions.otherClass.empty()) {
      got += RunKeyQuery(conditions.otherClass, false, limit - got, withRows);
    }
  }
  if (withRows) ahead_.readAt = NowMs();
  if (list.tailStarted) {
    list.gapRemaining = std::max<int64_t>(0, list.gapRemaining - static_cast<int64_t>(list.keys.size() - before));
  }
  if (got < limit) {
    list.complete = true;
    list.gapRemaining = 0;
  }
  if (!withRows) list.chunk = std::min(list.chunk * 2, kLargestChunk);
  return list.keys.size() > before;
}

int64_t KeysetSource::RunKeyQuery(const std::string& condition, bool continues, int64_t limit, bool withRows) {
  KeyList& list = *list_;
  const int base = plan_.parameterCount;
  const int terms = static_cast<int>(plan_.order.size());
  std::string sql = "SELECT " + key_;
  for (const SortTerm& term : plan_.order) sql += ", " + term.expr;
  if (withRows) sql += ", " + plan_.selectList;
  sql += " FROM " + plan_.from + " WHERE ";
  if (!plan_.where.empty()) sql += "(" + plan_.where + ") AND ";
  sql += condition;
  sql += " AND " + key_ + " <= ?" + std::to_string(base + terms + 4);
  // Once the list's end was read backwards, the head stops where the tail begins.
  if (list.tailStarted) sql += " AND " + key_ + " < ?" + std::to_string(base + terms + 3);
  sql += " ORDER BY " + OrderText(plan_.order, false, key_) + dialect_.Limit("?" + std::to_string(base + terms + 2));

  StatementUse statement(list.statements.Get(file_->Connection(), sql));
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
  if (list.tailStarted) statement->BindInt64(base + terms + 3, list.tailKey);
  statement->BindInt64(base + terms + 4, list.ceiling);

  int64_t got = 0;
  const bool skipAdded = !list.addedKeys.empty();
  while (statement->Step()) {
    ++got;
    const RowKey key = statement->ColumnInt64(0);
    list.lastKey = key;
    if (!skipAdded || list.addedKeys.count(key) == 0) {
      list.keys.push_back(key);
      if (withRows) {
        Variant* row = &ahead_.cells[ahead_.count++ * columns_.size()];
        for (size_t i = 0; i < columns_.size(); ++i) {
          row[i] = ReadColumnValue(*statement, terms + 1 + static_cast<int>(i), columns_[i].type);
        }
        ahead_.exists.push_back(true);
        ahead_.taken.push_back(false);
      }
    }
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

// RecordCount after MoveLast in row-id order rests on this count: the members of the dynaset
// from row id `above` on that the file still holds (every row up to the ceiling that satisfies
// the condition), counted in the statement that reads the tail so that both see the same
// state of the file. Without a condition it is the table's row count (kept in the file where
// the table has one, so that the table is not read), less the rows below `above` and the rows
// added elsewhere since the open (above the ceiling: a short range of the table's tree).
std::string KeysetSource::MemberCountSql(const std::string& above, const std::string& ceiling) const {
  if (plan_.where.empty()) {
    // The catalogue as it is now: the count's triggers may have come or gone since the open.
    const TableInfo* table = plan_.baseTable.empty() ? nullptr : file_->Schema().FindTable(plan_.baseTable);
    const std::string rows =
        table != nullptr ? TableRowsExpression(*table) : "(SELECT count(*) FROM " + plan_.from + ")";
    return "SELECT " + rows + " - (SELECT count(*) FROM " + plan_.from + " WHERE " + key_ + " < " + above +
           ") - (SELECT count(*) FROM " + plan_.from + " WHERE " + key_ + " > " + ceiling + ")";
  }
  return "SELECT count(*) FROM " + plan_.from + " WHERE (" + plan_.where + ") AND " + key_ + " >= " + above + " AND " +
         key_ + " <= " + ceiling;
}

void KeysetSource::ReadTailChunk() {
  KeyList& list = *list_;
  if (list.complete) return;
  const bool first = !list.tailStarted;
  const int base = plan_.parameterCount;
  const std::string above = "?" + std::to_string(base + 1);
  const std::string below = "?" + std::to_string(base + 2);
  std::string sql = "SELECT " + key_;
  if (first) sql += ", (" + MemberCountSql(above, "?" + std::to_string(base + 4)) + ")";
  std::string condition = plan_.where.empty() ? "" : "(" + plan_.where + ") AND ";
  sql += " FROM " + plan_.from + " WHERE " + condition + key_ + " >= " + above + " AND " + key_ + " <= " + below +
         " ORDER BY " + key_ + " DESC" + dialect_.Limit("?" + std::to_string(base + 3));
  StatementUse statement(list.statements.Get(file_->Connection(), sql));
  plan_.parameters.BindTo(*statement);
  statement->BindInt64(base + 1, list.stepped == 0 ? INT64_MIN : list.lastKey + 1);
  // The first chunk starts at the ceiling: rows added elsewhere since the open stay out.
  statement->BindInt64(base + 2, first ? list.ceiling : list.tailKey - 1);
  const int64_t limit = list.tailChunk;
  statement->BindInt64(base + 3, limit);
  if (first) statement->BindInt64(base + 4, list.ceiling);
  int64_t got = 0;
  int64_t after = 0;  // rows after the head, when counted
  const size_t before = list.tail.size();
  while (statement->Step()) {
    const RowKey key = statement->ColumnInt64(0);
    if (got++ == 0 && first) after = statement->ColumnInt64(1);
    list.tailKey = key;
    if (list.addedKeys.count(key) == 0) list.tail.push_back(key);
  }
  list.tailChunk = std::min(list.tailChunk * 2, kLargestChunk);
  list.tailStarted = true;
  if (first) {
    // Added rows are in the count but never in the list.
    int64_t addedInGap = 0;
    for (RowKey key : list.addedKeys) {
      if ((list.stepped == 0 || key > list.lastKey) && key < list.tailKey) ++addedInGap;
    }
    list.gapRemaining = std::max<int64_t>(0, after - got - addedInGap);
  } else {
    list.gapRemaining = std::max<int64_t>(0, list.gapRemaining - static_cast<int64_t>(list.tail.size() - before));
  }
  if (got < limit) {
    list.complete = true;
    list.gapRemaining = 0;
  }
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

bool KeysetSource::InRowIdOrder() const {
  if (plan_.order.empty()) return true;
  if (plan_.order.size() != 1 || plan_.order.front().descending || !plan_.table) return false;
  // An order by the column that aliases the row id is row-id order.
  const std::string& rowKey = plan_.table->rowKey;
  if (rowKey.empty() || rowKey == key_) return false;
  std::string_view expr = plan_.order.front().expr;
  const std::string quoted = QuoteName(rowKey);
  if (expr.size() > quoted.size() && expr[expr.size() - quoted.size() - 1] == '.') {
    expr.remove_prefix(expr.size() - quoted.size());
  }
  return expr.size() == quoted.size() && std::equal(expr.begin(), expr.end(), quoted.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
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
  SqliteStatement statement(file_->Connection(), sql);
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
  std::unique_ptr<SqliteStatement> check;
  const std::unordered_set<RowKey> matched = MatchingKeys(criteria, candidates, check);
  for (const auto& [position, key] : candidates) {
    if (matched.count(key) != 0) return position;
  }
  return kNoRow;
}

RowPosition KeysetSource::ListedPositionOf(RowKey key, bool readOn) {
  KeyList& list = *list_;
  for (;;) {
    if (list.stepped > 0 && key <= list.lastKey) {
      const auto found = std::lower_bound(list.keys.begin(), list.keys.end(), key);
      return found != list.keys.end() && *found == key ? static_cast<RowPosition>(found - list.keys.begin()) : kNoRow;
    }
    if (list.tailStarted && !list.tail.empty() && key >= list.tailKey) {
      // The tail runs from the last row backwards.
      const auto found = std::lower_bound(list.tail.begin(), list.tail.end(), key, std::greater<>());
      return found != list.tail.end() && *found == key
                 ? kTailEnd - 1 - static_cast<RowPosition>(found - list.tail.begin())
                 : kNoRow;
    }
    if (list.complete || !readOn) return kNoRow;
    // The row lies in the part of the list not read yet: its keys are read up to it, once
    // for the recordset and its clones.
    ReadChunk();
  }
}

std::unordered_set<RowKey> KeysetSource::MatchingKeys(const FindCriteria& criteria,
                                                      const std::vector<std::pair<RowPosition, RowKey>>& candidates,
                                                      std::unique_ptr<SqliteStatement>& check) {
  std::unordered_set<RowKey> matched;
  if (candidates.empty()) return matched;
  const int listParameter = plan_.parameterCount + criteria.parameterCount + 1;
  if (!check) {
    // Prepared for this search alone: criteria carry the values searched for.
    check = std::make_unique<SqliteStatement>(
        file_->Connection(), "SELECT \"lumo_key\" FROM (SELECT " + key_ + " AS \"lumo_key\", " + plan_.selectList +
                                 " FROM " + plan_.from + " WHERE " + plan_.identity->InKeyList(listParameter) +
                                 ") WHERE " + criteria.sql);
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
  std::unique_ptr<SqliteStatement> check;
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
