#pragma once
// The row engines behind a Recordset (engine-internal; nothing outside jet/ includes this).
//
// A Recordset keeps the DAO side — BOF/EOF, the move rules, bookmarks, the edit buffer — and
// asks one RecordSource for rows:
//   KeysetSource    dynasets: a lazily read list of row ids of one base table, each row read
//                   by id when the cursor lands on it (others' changes and deletions show);
//   SnapshotSource  snapshots: result rows read lazily from one statement and kept;
//   ForwardSource   forward-only: one statement stepped, nothing kept;
//   TableSource     table type: a window of row ids in the order of the current index,
//                   extended in either direction and re-anchored by Seek and bookmarks;
//   PrimaryKeySource  dynasets over a table without row ids: its primary-key values stand
//                   in for the ids (PrimaryKeyMap numbers them).
//
// Positions are the engine's own numbers for rows, growing in the order of the list; they
// stay valid for the life of the engine (the table engine renumbers when it re-anchors and
// says so by returning the new position). kNoRow means "no row". Row keys identify rows for bookmarks: the row id for
// engines over a base table, the row's ordinal for snapshots.
//
// Statements used once (a row read, a chunk of keys) come from the file's statement cache
// and are reset before the call returns, so that no read transaction outlives a call; only
// snapshots and forward-only scans keep a statement of their own open while they read.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jet/Catalogue.h"
#include "jet/JetTypes.h"
#include "jet/storage/Connection.h"
#include "jet/storage/RowIdentity.h"
#include "jet/storage/SqlDialect.h"
#include "jet/storage/Statement.h"
#include "jet/storage/StatementCache.h"
#include "runtime/DateTime.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;
class PrimaryKeyMap;

using RowPosition = int64_t;
using RowKey = int64_t;
inline constexpr RowPosition kNoRow = -1;

// One field of a recordset as the engines and editing see it.
struct RecordsetColumn {
  std::string name;  // the field name
  JetFieldType type;
  std::string baseColumn;   // the base table's column it shows; empty for an expression
  std::string sourceTable;  // the table and column the value comes from, when SQLite
  std::string sourceField;  // knows them (also for snapshots over joins)
  bool updatable = false;   // a base column of an updatable recordset, not a counter
  bool required = false;
  bool allowZeroLength = true;
  std::string defaultValue;   // Jet text
  std::string sqliteDefault;  // SQLite expression of the default, empty when none
};

// A value exactly as SQLite stores it: kept to be bound again (the sort values a key list
// continues after) or compared (an optimistic Update's check).
struct StoredValue {
  ColumnType type = ColumnType::Null;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text or blob

  static StoredValue Read(const storage::Statement& statement, int column);
  void Bind(storage::Statement& statement, int index) const;
  bool IsNull() const { return type == ColumnType::Null; }
  bool operator==(const StoredValue&) const = default;
};

// Reads a column into `cell`. A text of a Text column goes into the room the cell's previous
// text left, so that a scan that refills the same cells row after row makes no string per
// field; every other value is decoded anew. Memo texts are not kept that way: their room
// could be large.
void ReadColumnInto(const storage::Statement& statement, int column, const JetFieldType& type, Variant& cell);

// A Date value as a time stamp; false for any other value and for a date outside the calendar.
bool TimeStampOfValue(const Variant& value, TTimeStamp& stamp);
// The stored text of a date ("YYYY-MM-DD HH:MM:SS.fff" and the shorter forms the engine
// reads) as a time stamp, without a detour through a day count with a fraction; false when
// it is no such text.
bool StoredDateTimeStamp(std::string_view text, TTimeStamp& stamp);

// Parameter values of a query, by their SQLite numbers.
struct BoundParameters {
  std::vector<std::pair<int, Variant>> values;
  void BindTo(storage::Statement& statement) const;
};

// One term of a sort order (SQLite text).
struct SortTerm {
  std::string expr;
  bool descending = false;
};

// The terms of an SQLite ORDER BY text, split at top-level commas ("a", "b DESC").
std::vector<SortTerm> SplitSortTerms(std::string_view orderBy);
// "e1 DESC" — a term in the direction asked for (reversed turns it round), Null first as in
// Jet: where the back-end does not sort Null so itself, the dialect's words for it follow.
std::string SortTermText(const SortTerm& term, bool reversed, const storage::SqlDialect& dialect);
// "e1, e2 DESC, <key>" — the order a key list follows, the row key (rowKey: its expression)
// breaking ties; reversed turns every direction round.
std::string OrderText(const std::vector<SortTerm>& terms, bool reversed, std::string_view rowKey,
                      const storage::SqlDialect& dialect);

// Where rows lie relative to a position in an order (the sort values plus, for key lists,
// the row id that breaks ties).
enum class Bound { kAfter, kAtOrAfter, kBefore, kAtOrBefore };

// The conditions that select the rows beyond a position, in the order they come: the rows
// whose first sort value lies in the same null class as the position's (first), then, when
// that class ends before the order does, the rows of the other class. Two conditions rather
// than one OR so that each can use an index range on the first term. Parameters: the sort
// values take ?firstParameter ..., the row key (rowKey: its expression; empty for none) the
// next number.
struct PositionConditions {
  std::string sameClass;
  std::string otherClass;  // empty when no rows of the other class lie beyond
};
PositionConditions BuildPositionConditions(const std::vector<SortTerm>& terms, const std::vector<StoredValue>& values,
                                           Bound bound, std::string_view rowKey, int firstParameter);

// SQL quoting of a name: "name" with inner quotes doubled.
std::string QuoteName(std::string_view name);

// What a recordset reads, with the pieces the engines compose their statements from. All
// texts are the SQL of the connection's dialect; parameters of the query carry the numbers
// 1 .. parameterCount.
struct QueryPlan {
  std::string fullSql;                     // the whole query (snapshots, forward-only)
  std::string baseTable;                   // the one base table keyed engines work on; empty for none
  std::shared_ptr<const TableInfo> table;  // its description
  std::string selectList;                  // keyed engines: what a row read selects
  std::string from;                        // the table as the query names it (with its alias)
  std::string where;                       // the query's condition combined with the filter, or empty
  std::vector<SortTerm> order;             // sort terms (the recordset's Sort or the query's ORDER BY)
  BoundParameters parameters;
  int parameterCount = 0;
  bool selectUsesParameters = false;
  int64_t maxRecords = 0;  // 0: no limit
  // A base table without row ids: the numbers of its rows' primary-key values are the row
  // keys. Null where SQLite's row id is the key.
  std::shared_ptr<PrimaryKeyMap> primaryKey;
  // Where the back-end's row key is the key: how a row is named (KeyExpression ...).
  std::shared_ptr<const storage::RowIdentity> identity;
  const storage::SqlDialect* dialect = nullptr;  // the connection's SQL

  // The row key's expression ("" for a plan keyed by its primary key).
  const std::string& RowKeyExpression() const;
};

// The condition that picks one row of the plan's base table by its key, the key's
// parameters numbered from `firstParameter`: the row identity's condition, or each
// primary-key field equal to its value.
std::string RowCondition(const QueryPlan& plan, int firstParameter);
void BindRowKey(const QueryPlan& plan, storage::Statement& statement, RowKey key, int firstParameter);

// What a recordset reads and shows, shared by its engine and the engines of its clones.
struct RecordShape {
  QueryPlan plan;
  std::vector<RecordsetColumn> columns;
};
using ShapePtr = std::shared_ptr<const RecordShape>;

// Reads one row of a keyed engine by its key, every column decoded with its field type.
class RowReader {
 public:
  RowReader(DatabaseFile& file, const QueryPlan& plan, const std::vector<RecordsetColumn>& columns);
  // Reads the row into `values`; false when there is no such row (deleted).
  bool Read(RowKey key, std::vector<Variant>& values);
  // The stored values of the row's base columns (an optimistic Update's comparison);
  // nullopt when the row is gone.
  std::optional<std::vector<StoredValue>> ReadStored(RowKey key);

 private:
  DatabaseFile& file_;
  const QueryPlan& plan_;
  const std::vector<RecordsetColumn>& columns_;
  std::string sql_;
};

// Bookmarks: four-byte numbers 1, 2, 3 ... given to rows in the order a recordset first
// hands one out. Shared by a recordset and its clones; replaced by Requery.
class BookmarkTable {
 public:
  uint32_t BookmarkOf(RowKey key, RowPosition positionHint);
  // The row of a bookmark and where it last was; nullopt for an unknown number.
  std::optional<std::pair<RowKey, RowPosition>> RowOf(uint32_t bookmark) const;
  void NoteHint(uint32_t bookmark, RowPosition position);

 private:
  struct Entry {
    RowKey key;
    RowPosition hint;
  };
  static constexpr uint64_t kDenseMinimum = 4096;

  // Bookmark n is entries_[n - 1]. A deque: a scan of a large table adds one entry per row,
  // and growing in blocks never moves the entries already made.
  std::deque<Entry> entries_;
  std::vector<uint32_t> denseBookmarkOf_;            // by row id; 0 = none
  std::unordered_map<RowKey, uint32_t> bookmarkOf_;  // the row ids the array does not cover
};

// A criterion of Find*, translated, with its parameter values.
struct FindCriteria {
  std::string sql;             // SQLite condition over the recordset's field names
  BoundParameters parameters;  // numbered 1 ..
  int parameterCount = 0;
};

class RecordSource {
 public:
  virtual ~RecordSource() = default;

  // --- The row list. Every call reads as far as it needs; own deletions are skipped.
  virtual RowPosition First() = 0;
  virtual RowPosition Last() = 0;
  // The row after `position`; kNoRow at the end. Next(kNoRow) is First().
  virtual RowPosition Next(RowPosition position) = 0;
  virtual RowPosition Previous(RowPosition position) = 0;
  // 0-based index of a row among the rows of the list (AbsolutePosition).
  virtual int64_t IndexOf(RowPosition position) = 0;
  // The row at a 0-based index; kNoRow beyond the end.
  virtual RowPosition AtIndex(int64_t index) = 0;
  // DAO's RecordCount: rows met so far for lists (given the highest position the cursor
  // visited), the exact total for tables.
  virtual int64_t RecordCount(RowPosition highestVisited) = 0;

  // --- Rows.
  virtual RowKey KeyAt(RowPosition position) = 0;
  // The position of a row of this list, kNoRow when it is not in it; hint: where it was.
  virtual RowPosition Locate(RowKey key, RowPosition hint) = 0;
  // Reads the row at `position` unless it is the one already read; false when it no longer
  // exists (deleted by someone else).
  virtual bool Load(RowPosition position) = 0;
  // A column of the row last loaded, in place (a memo or long binary value is measured and
  // sliced without being copied); valid until the next Load, Forget or Value call.
  virtual const Variant& Value(int column) = 0;
  // A column of the row last loaded as a value of the caller's own.
  virtual Variant ValueCopy(int column) { return Value(column); }
  // The column's value when it is a date, as a time stamp; false for anything else.
  virtual bool TimeStampOf(int column, TTimeStamp& stamp) { return TimeStampOfValue(Value(column), stamp); }
  // The column's value when it is text, where it lies (Value's text, or the engine's own
  // copy of the row); false when it is not text.
  virtual bool TextInPlace(int column, std::string_view& text) {
    const std::string* held = Value(column).TextIf();
    if (held == nullptr) return false;
    text = *held;
    return true;
  }
  // Forgets the row read, so that the next Load reads it again.
  virtual void Forget() = 0;

  // --- Changes made through this recordset (keyed engines).
  virtual RowPosition Appended(RowKey key) = 0;    // a row it added; its position
  virtual void Removed(RowPosition position) = 0;  // a row it deleted
  virtual bool IsRemoved(RowPosition position) const = 0;

  // A second cursor on the same rows (Clone), sharing what is shared between clones.
  virtual std::unique_ptr<RecordSource> Clone() = 0;
  // Ends any read in progress (Close).
  virtual void Release() = 0;

  // Find*: the first row from `start` (excluded unless inclusive) in the given direction
  // whose values satisfy the criterion; kNoRow when none does.
  virtual RowPosition FindMatch(const FindCriteria& criteria, RowPosition start, bool forward, bool inclusive) = 0;
};

// Engines.
std::unique_ptr<RecordSource> MakeKeysetSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, bool appendOnly);
// For a plan with a primaryKey map.
std::unique_ptr<RecordSource> MakePrimaryKeySource(std::shared_ptr<DatabaseFile> file, ShapePtr shape, bool appendOnly);
// Snapshots and forward-only scans run plan.fullSql on a statement of their own (OpenScan).
std::unique_ptr<RecordSource> MakeSnapshotSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape);
std::unique_ptr<RecordSource> MakeForwardSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape);

// A statement that stays open while a scan reads, with its parameters bound. It runs on a
// connection of its own where the file allows it (write-ahead log, not opened exclusively, no
// transaction pending on the file's connection): a half-read scan then holds its read
// snapshot apart, so that the engine's other reads still see what other processes commit
// and its writes are not refused for reading an old state. Elsewhere it runs on the file's
// connection.
struct ScanStatement {
  std::unique_ptr<storage::Connection> connection;  // declared before the statement it serves
  std::unique_ptr<storage::Statement> statement;
};
ScanStatement OpenScan(DatabaseFile& file, const QueryPlan& plan);
// Binds a decoded field value in the form the column stores it (for criteria over values
// held in memory).
void BindStoredForm(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type);

// A Find criterion checked against a row held in memory: the row's values are bound in their
// stored forms under the field names (text compared without regard to case, as the columns
// do). Prepared once for a search.
class MemoryCriterion {
 public:
  MemoryCriterion(DatabaseFile& file, const QueryPlan& plan, const std::vector<RecordsetColumn>& columns,
                  const FindCriteria& criteria);
  // `values`: one per column.
  bool Matches(const Variant* values);

 private:
  const std::vector<RecordsetColumn>& columns_;
  const FindCriteria& criteria_;
  int firstValue_ = 0;
  std::unique_ptr<storage::Statement> check_;
};

// Table type: in addition to the list, the order of an index and Seek.
class TableSource : public RecordSource {
 public:
  // Sort terms of the index (empty: row-key order). The row at `keep` stays where the
  // cursor is; returns its position in the new order (kNoRow when keep is kNoRow).
  virtual RowPosition SetOrder(std::vector<SortTerm> terms, RowPosition keep) = 0;
  // The first row in index order (the last, for the backward bounds) that equals the key
  // values or lies at `bound` from them, compared on the first keys.size() terms with the
  // others counting as Null; kNoRow when none does. Keys are bound in the stored form of
  // their field's type. The row is loaded.
  virtual RowPosition Seek(Bound bound, bool equal, const std::vector<Variant>& keys,
                           const std::vector<RecordsetColumn>& keyFields) = 0;
};
std::unique_ptr<TableSource> MakeTableSource(std::shared_ptr<DatabaseFile> file, ShapePtr shape);

// Prepared statements a recordset keeps for itself: texts that carry its own condition (a
// filter's values, a master record's key) would otherwise pile up in the file's cache for
// as long as the file is open. Hands them out reset, with their bindings cleared.

// Resets a statement of the file's cache when the scope ends, so no read stays open.
class StatementUse {
 public:
  explicit StatementUse(storage::Statement& statement) : statement_(statement) {}
  ~StatementUse() { statement_.Reset(); }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  storage::Statement* operator->() { return &statement_; }
  storage::Statement& operator*() { return statement_; }

 private:
  storage::Statement& statement_;
};

}  // namespace lumo::jet
