#pragma once
// The state behind a Recordset, shared by the files that implement its members
// (engine-internal).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/RecordSource.h"
#include "jet/Recordset.h"
#include "jet/storage/RowWriter.h"
#include "runtime/Exceptions.h"

namespace lumo::jet {

enum class EngineKind { kKeyset, kSnapshot, kForward, kTable };

// Makes the row engine of a recordset for its shape (at open, and again at Requery).
using EngineMaker = std::function<std::unique_ptr<RecordSource>(const ShapePtr& shape)>;

// What Recordset::OpenOver is given: the rows, what they are, and how they may be changed.
struct ExternalRows {
  int type = dbOpenSnapshot;                  // what Type() reports
  EngineKind engine = EngineKind::kSnapshot;  // the rules the recordset follows (moves, edits)
  int options = 0;
  bool updatable = false;
  bool lockEdits = false;
  ShapePtr shape;
  EngineMaker make;
};

struct Recordset::State {
  std::shared_ptr<DatabaseFile> file;
  RecordsetSource source;
  int type = dbOpenDynaset;  // what Type() reports
  int options = 0;
  EngineKind engine = EngineKind::kKeyset;
  bool updatable = false;
  bool lockEdits = true;  // pessimistic unless the lock type says otherwise
  bool appendOnly = false;
  ShapePtr shape;
  int columnCount = 0;  // shape's, at hand for a field's value
  std::unique_ptr<RecordSource> rows;
  EngineMaker makeRows;          // an engine of the caller's (OpenOver); empty for the engine's own
  TableSource* table = nullptr;  // rows, for table type
  std::shared_ptr<BookmarkTable> bookmarks;

  // The cursor. Neither flag set and no position: a clone not yet moved.
  RowPosition position = kNoRow;
  bool bof = true;
  bool eof = true;
  RowPosition highestVisited = kNoRow;
  bool rowRead = false;  // the current row was read and exists (a field's fast path)
  // The row last read for the cursor and the file's cache epoch then: a row read before an
  // Idle(dbRefreshCache) is read again rather than served from the engine's memory.
  std::optional<RowKey> readKey;
  uint64_t readEpoch = 0;
  bool noMatch = false;

  std::string filter;
  std::string sort;
  std::string index;
  int maxRecords = 0;
  std::optional<uint32_t> lastModified;

  // The edit buffer of Edit/AddNew.
  int editMode = dbEditNone;
  std::vector<Variant> buffer;
  std::vector<bool> changed;
  std::vector<bool> chunkStarted;  // AppendChunk's first call replaces, later ones append
  RowPosition editPosition = kNoRow;
  RowKey editKey = 0;
  std::vector<StoredValue> originals;          // the row as Edit read it (optimistic check)
  std::unique_ptr<WriteScope> lock;            // a pessimistic Edit's write lock
  std::unique_ptr<storage::RowWriter> writer;  // made at the first write

  OwnedCollection<Field> fields{"DAO.Recordset"};
  std::unique_ptr<PropertyCollection> properties;

  // Ends a pessimistic lock that was not used for an Update. The lock wrote nothing itself,
  // but the other writers of the connection (this database's Execute, other recordsets,
  // the other databases of the session) wrote inside its transaction meanwhile: that stays.
  void ReleaseLock() {
    if (!lock) return;
    try {
      lock->Commit();
    } catch (const EOleException&) {
      // Ended already (a failed statement may end it); the scope's destructor tidies up.
    }
    lock.reset();
  }

  const std::vector<RecordsetColumn>& Columns() const { return shape->columns; }
  const QueryPlan& Plan() const { return shape->plan; }
  bool OnRow() const { return !bof && !eof && position != kNoRow; }
  // Whether the current row's values may still be taken as read.
  bool RowFresh() const { return rowRead && readEpoch == file->CacheEpoch(); }
  // Reads the row at `position` (again, when what the engine holds of it dates from before
  // the last Idle(dbRefreshCache)); false when it no longer exists.
  bool LoadRow(RowPosition at) {
    const RowKey key = rows->KeyAt(at);
    const uint64_t epoch = file->CacheEpoch();
    if (readKey == key && readEpoch != epoch) rows->Forget();
    if (rows->IsRemoved(at) || !rows->Load(at)) {
      ForgetRow();
      return false;
    }
    readKey = key;
    readEpoch = epoch;
    return true;
  }
  // The current row is to be read afresh: after the engine found it deleted, its values
  // must not be served again.
  void ForgetRow() {
    rows->Forget();
    rowRead = false;
    readKey.reset();
  }
};

// Every member starts here (a field's value many times per row, so it stays inline).
inline Recordset::State& Recordset::Live() const {
  if (!IsValid()) CheckValid();
  return *state_;
}

// Builds what a recordset reads for a source: the plan and its fields. tableType: the plain
// table for a table-type recordset (3219 for anything else). Raises the translator's and
// SQLite's errors (3078 unknown table, 3061 missing parameters, 3075 ...).
struct OpenedSource {
  RecordShape shape;
  bool keyable = false;  // one base table with row ids
};
OpenedSource PlanSource(DatabaseFile& file, const RecordsetSource& source, bool tableType);

// Catches the name SQLite reports as unknown while a statement is prepared or run (Jet
// treats such a name as a parameter, Find as an unknown field); every other error goes on
// to the engine's hook as usual.
class UnknownNameCapture {
 public:
  UnknownNameCapture();
  ~UnknownNameCapture();
  UnknownNameCapture(const UnknownNameCapture&) = delete;
  UnknownNameCapture& operator=(const UnknownNameCapture&) = delete;

  const std::optional<std::string>& Name() const { return name_; }

 private:
  DaoErrorHook previous_;
  std::optional<std::string> name_;
};

[[noreturn]] inline void RaiseRecordsetError(int number, const std::vector<std::string>& args = {}) {
  RaiseDaoError(number, args, "DAO.Recordset");
}

}  // namespace lumo::jet
