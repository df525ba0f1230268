// The key list of a dynaset, read in pages: each chunk continues after the last key read by
// the sort values of that row (keyset pagination), not by an offset, so that rows others add or
// delete meanwhile never shift the list; the chunk size doubles, which bounds the total work
// when the order cannot use an index range. In row-key order the list's end can be read
// backwards with the rows in between counted, and the whole rest in one statement.

#include "jet/RecordsetKeyList.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "jet/DatabaseFile.h"
#include "jet/RowCounts.h"

namespace lumo::jet {

namespace {

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

}  // namespace

KeyListReader::KeyListReader(DatabaseFile& file, const QueryPlan& plan, KeyList& list)
    : file_(&file), plan_(plan), list_(&list), key_(plan.RowKeyExpression()), dialect_(*plan.dialect) {}

// The rest of the list in one statement. In row-id order SQLite may then scan the smallest
// index that holds the row ids (far smaller than the table) in its own order; the ids are
// sorted back afterwards.
void KeyListReader::ReadAll() {
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

bool KeyListReader::ReadChunk(RowSink* rows) {
  KeyList& list = *list_;
  if (list.complete) return false;
  int64_t limit = list.chunk;
  // Rows coming along are held in memory until the cursor gets there: a batch's worth.
  if (rows != nullptr) limit = rows->Capacity();
  if (plan_.maxRecords > 0) limit = std::min(limit, plan_.maxRecords - list.stepped);
  if (limit <= 0) {
    list.complete = true;
    return false;
  }
  const size_t before = list.keys.size();
  if (rows != nullptr) rows->Begin(static_cast<RowPosition>(before), limit);
  int64_t got = 0;
  if (list.stepped == 0) {
    got = RunKeyQuery("1", false, limit, rows);
  } else {
    PositionConditions conditions =
        BuildPositionConditions(plan_.order, list.lastValues, Bound::kAfter, key_, plan_.parameterCount + 1);
    got = RunKeyQuery(conditions.sameClass, true, limit, rows);
    if (got < limit && !conditions.otherClass.empty()) {
      got += RunKeyQuery(conditions.otherClass, false, limit - got, rows);
    }
  }
  if (rows != nullptr) rows->End();
  if (list.tailStarted) {
    list.gapRemaining = std::max<int64_t>(0, list.gapRemaining - static_cast<int64_t>(list.keys.size() - before));
  }
  if (got < limit) {
    list.complete = true;
    list.gapRemaining = 0;
  }
  if (rows == nullptr) list.chunk = std::min(list.chunk * 2, kLargestChunk);
  return list.keys.size() > before;
}

int64_t KeyListReader::RunKeyQuery(const std::string& condition, bool continues, int64_t limit, RowSink* rows) {
  KeyList& list = *list_;
  const int base = plan_.parameterCount;
  const int terms = static_cast<int>(plan_.order.size());
  std::string sql = "SELECT " + key_;
  for (const SortTerm& term : plan_.order) sql += ", " + term.expr;
  if (rows != nullptr) sql += ", " + plan_.selectList;
  sql += " FROM " + plan_.from + " WHERE ";
  if (!plan_.where.empty()) sql += "(" + plan_.where + ") AND ";
  sql += condition;
  sql += " AND " + key_ + " <= ?" + std::to_string(base + terms + 4);
  // Once the list's end was read backwards, the head stops where the tail begins.
  if (list.tailStarted) sql += " AND " + key_ + " < ?" + std::to_string(base + terms + 3);
  sql += " ORDER BY " + OrderText(plan_.order, false, key_, dialect_) +
         dialect_.Limit("?" + std::to_string(base + terms + 2));

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
      if (rows != nullptr) rows->Arrive(*statement, terms + 1);
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
std::string KeyListReader::MemberCountSql(const std::string& above, const std::string& ceiling) const {
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

void KeyListReader::ReadTailChunk() {
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

bool KeyListReader::InRowIdOrder() const {
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

RowPosition KeyListReader::ListedPositionOf(RowKey key, bool readOn) {
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

}  // namespace lumo::jet
