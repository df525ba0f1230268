#pragma once
// The key list of a dynaset and the reading of it in pages (engine-internal; the dynaset
// engine in RecordsetKeyset.cpp walks it and reads the rows it names).

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jet/RecordSource.h"

namespace lumo::jet {

inline constexpr int64_t kFirstChunk = 100;
inline constexpr int64_t kLargestChunk = int64_t{1} << 20;
// Positions of added rows start here, beyond any list a file can hold.
inline constexpr RowPosition kAddedBase = int64_t{1} << 52;
// Positions of the tail read backwards end just below here: the row at tail[i] (i counted
// from the end of the list) is kTailEnd - 1 - i.
inline constexpr RowPosition kTailEnd = int64_t{1} << 51;

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
  storage::StatementCache statements;  // the key queries, which carry the recordset's condition
};

// Takes the rows that come along with a chunk of keys, for a cursor that will land on them
// next (the dynaset's read-ahead).
class RowSink {
 public:
  virtual ~RowSink() = default;
  // How many rows a chunk that brings its rows may hold.
  virtual int64_t Capacity() const = 0;
  // A chunk begins at list position `first` with at most `limit` rows.
  virtual void Begin(RowPosition first, int64_t limit) = 0;
  // One listed row; its values are the statement's columns from `firstColumn` on.
  virtual void Arrive(const storage::Statement& statement, int firstColumn) = 0;
  virtual void End() = 0;
};

// Reads a key list on: a cheap object over the list a dynaset shares with its clones.
class KeyListReader {
 public:
  KeyListReader(DatabaseFile& file, const QueryPlan& plan, KeyList& list);

  // Reads the next chunk of keys (with their rows into `rows`, when given); false when
  // nothing more came.
  bool ReadChunk(RowSink* rows = nullptr);
  // Reads the rest of the list.
  void ReadAll();
  // Reads the next chunk of the tail backwards, counting the gap on the first; the gap is
  // closed when fewer rows come than asked for.
  void ReadTailChunk();
  // Whether the list's order is that of the row key (a whole-table dynaset, or one sorted by
  // the column that is the row key).
  bool InRowIdOrder() const;
  // The position of a listed row (head or tail) in row-key order; kNoRow when the list does
  // not hold it. readOn: read the list on until it is known.
  RowPosition ListedPositionOf(RowKey key, bool readOn);

 private:
  // The statement that counts the members from row key `above` on (two parameter texts).
  std::string MemberCountSql(const std::string& above, const std::string& ceiling) const;
  int64_t RunKeyQuery(const std::string& condition, bool continues, int64_t limit, RowSink* rows);

  DatabaseFile* file_;
  const QueryPlan& plan_;
  KeyList* list_;
  const std::string& key_;  // the row identity's key expression
  const storage::SqlDialect& dialect_;
};

}  // namespace lumo::jet
