#pragma once
// Recordsets: the rows of a table, a query definition or a Jet SQL text, with a current row.
//
// Types (Type()): dbOpenTable (1) one base table in the order of the current Index (row-key
// order without one), Seek, exact live RecordCount; dbOpenDynaset (2) a lazily filled
// keyset of row ids over one base table, each row read by id when the cursor lands on it,
// or with the rows around it while the cursor walks row by row (others' changes are seen; a
// row they deleted answers 3167; rows they add after the open join only at Requery);
// dbOpenSnapshot (4) result rows read lazily and kept, not
// updatable; dbOpenForwardOnly (8, or the option dbForwardOnly) steps one statement and
// keeps nothing. Without a type a table name opens as table type, anything else as dynaset;
// a query a keyset cannot serve (several tables, grouping, DISTINCT, TOP, unions) opens as
// snapshot, or as a dynaset with Updatable false when a dynaset was asked for. Dynamic (16)
// belongs to ODBC and answers 3001, as do unknown types, options and lock types; table
// type on a query answers 3219. A half-read snapshot or forward-only scan reads on a
// connection of its own (write-ahead-log files), so it neither hides other processes'
// commits from the engine nor makes its writes fail.
//
// Position: after opening the first row is current (BOF = EOF = true when there are none).
// Moves follow DAO's table: MoveNext at EOF, MovePrevious at BOF, any move on an empty
// recordset answers 3021; MoveFirst/MoveLast/MovePrevious/Move(<=0) on forward-only 3251.
// Move(n) beyond an end parks at BOF or EOF without error. RecordCount counts the rows
// visited so far (exact after MoveLast) for dynasets and snapshots, exact for tables. A
// clone starts without a current record.
//
// Bookmarks are four bytes (Variant Bytes, little-endian, never 0) that name a row, shared
// by clones and valid across Index changes; Requery starts a new numbering. An unknown
// bookmark answers 3159, one of a row deleted 3167.
//
// Editing: Edit/AddNew start a buffer (EditMode 1/2), Update writes it in one short
// transaction, CancelUpdate drops it; Update/CancelUpdate without one answer 3020, a field
// that cannot be written 3113. New rows go to the end of the recordset that added them;
// LastModified is the bookmark of the row last written (Null before). Pessimistic locking
// (LockEdits true: DAO's default and dbPessimistic) holds the file's write lock from Edit to
// Update (3260/3218 when another process holds it beyond the busy timeout); optimistic
// (dbOptimistic) checks at Update that the row did not change since Edit (3197; a second
// Update writes anyway). Checks at Update: 3314 Null in a required field, 3315 empty text
// where not allowed, 3022 duplicate key; assignments: 3163, 3349, 3421. Snapshots and
// forward-only answer 3251 on Edit/AddNew/Delete, read-only recordsets 3027. Any move
// drops a pending edit.
//
// Filter and Sort take effect in the recordset OpenRecordset makes from this one (3251 on a
// table-type recordset). Find* evaluate a Jet criterion over the fields (3077 on a syntax
// error, 3070 for an unknown field) and set NoMatch, leaving the cursor where it was on a
// miss. Seek(comparison, keys) needs an Index (3019) on a table-type recordset (3251
// otherwise); keys left out count as Null.
//
// Every member of a closed recordset answers 3420.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/Collection.h"
#include "jet/DaoConstants.h"
#include "jet/DaoObject.h"
#include "jet/Field.h"
#include "jet/Property.h"
#include "runtime/DateTime.h"
#include "runtime/Variant.h"

namespace lumo::jet {

using RowPosition = int64_t;

class DatabaseFile;
class RecordSource;   // the type-specific row engine (keyset, snapshot, forward, table)
struct ExternalRows;  // rows an engine of the caller's reads (RecordsetState.h)

// What a recordset is opened on, as Database/QueryDef/TableDef hand it over.
struct RecordsetSource {
  std::string name;                                         // Name(): the table, query name or SQL text
  std::string table;                                        // the base table for table-type and single-table dynasets
  std::string sql;                                          // Jet SQL, empty for a plain table
  std::vector<std::pair<std::string, Variant>> parameters;  // query parameter values
  std::string filter;                                       // extra criterion (from a parent recordset's Filter)
  std::string sort;                                         // order (from a parent recordset's Sort)
  int maxRecords = 0;
};

class Recordset : public DaoObject, public std::enable_shared_from_this<Recordset> {
 public:
  // Opens; type 0 picks table type for a base table, else dynaset. Options are RecordsetOption
  // bits; lockEdit a LockType (dbPessimistic sets LockEdits).
  static std::shared_ptr<Recordset> Open(std::shared_ptr<DatabaseFile> file, RecordsetSource source, int type,
                                         int options, int lockEdit);
  // Opens over rows that an engine of the caller's reads (the server's SQL of an ODBC direct
  // connection, which the engine's own planning would translate).
  static std::shared_ptr<Recordset> OpenOver(std::shared_ptr<DatabaseFile> file, RecordsetSource source,
                                             ExternalRows rows);
  ~Recordset() override;

  const std::string& Name() const;
  int Type() const;
  bool Updatable() const;
  bool Bookmarkable() const;
  bool Restartable() const;

  // Position. DAO's BOF and EOF; EOF is a macro of the C library, so both carry "Is".
  bool IsBOF() const;
  bool IsEOF() const;
  void MoveFirst();
  void MoveLast(int options = 0);
  void MoveNext();
  void MovePrevious();
  void Move(int rows, const Variant& startBookmark = Variant());
  int AbsolutePosition() const;  // -1 without a current row
  void SetAbsolutePosition(int position);
  float PercentPosition() const;
  void SetPercentPosition(float percent);
  int RecordCount() const;

  // Bookmarks.
  Variant Bookmark() const;
  void SetBookmark(const Variant& bookmark);
  // The same as the bookmark's number (its four bytes read little-endian), for callers that
  // keep a bookmark per record and would otherwise build and take apart a byte array each
  // time; the same errors.
  uint32_t BookmarkNumber() const;
  void SetBookmarkNumber(uint32_t number);
  Variant LastModified() const;

  // Row sets made from this one.
  std::shared_ptr<Recordset> Clone();
  void Requery();
  const std::string& Filter() const;
  void SetFilter(const std::string& criteria);
  const std::string& Sort() const;
  void SetSort(const std::string& order);
  std::shared_ptr<Recordset> OpenRecordset(int type = 0, int options = 0);

  // Index and Seek (table type).
  const std::string& Index() const;
  void SetIndex(const std::string& indexName);
  void Seek(const std::string& comparison, const std::vector<Variant>& keys);
  bool NoMatch() const;

  // Find (dynaset and snapshot).
  void FindFirst(const std::string& criteria);
  void FindLast(const std::string& criteria);
  void FindNext(const std::string& criteria);
  void FindPrevious(const std::string& criteria);

  // Editing.
  void Edit();
  void AddNew();
  void Update(int updateType = 1, bool force = false);
  void CancelUpdate(int updateType = 1);
  void Delete();
  int EditMode() const;
  bool LockEdits() const;
  void SetLockEdits(bool lockEdits);

  // Dates of the underlying table or query (Null for SQL texts).
  Variant DateCreated() const;
  Variant LastUpdated() const;
  int MaxRecords() const;
  void SetMaxRecords(int maxRecords);

  Collection<Field>& Fields();
  PropertyCollection& Properties();
  void Close();

  // Field side: the value of column `column` in the current row or the edit buffer (3021
  // without a current row, 3167 when the row was deleted); writing needs Edit/AddNew (3020)
  // and an updatable field (3113).
  Variant ColumnValue(int column) const;
  // ColumnValue where it lies (the edit buffer or the row read), for readers that convert
  // every value of every row and need no copy of it; valid until the cursor moves or the
  // field is written.
  const Variant& ColumnValueInPlace(int column) const;
  // The text of a column where the engine holds it (for a forward-only scan: in the file's
  // own row, decoded into nothing), for a reader that copies it once: true with `text` set
  // when the value is text, false when it is anything else (read it with
  // ColumnValueInPlace). The same errors; valid as long as ColumnValueInPlace's value.
  bool ColumnTextInPlace(int column, std::string_view& text) const;
  // A date column's value as a time stamp (day number and milliseconds), for a forward-only
  // scan read straight from the stored text: false when the value is Null or no date (read
  // it with ColumnValueInPlace). The same errors.
  bool ColumnTimeStamp(int column, TTimeStamp& stamp) const;
  // By value: a caller that gives its value up (std::move) hands a large one over uncopied.
  void SetColumnValue(int column, Variant value);
  // FieldSize, GetChunk and AppendChunk of Memo and Long Binary fields.
  int ColumnFieldSize(int column) const;
  Variant ColumnChunk(int column, int offset, int bytes) const;
  void AppendColumnChunk(int column, const Variant& chunk);

  struct State;

 private:
  Recordset(std::shared_ptr<DatabaseFile> file, RecordsetSource source);

  // The state of an open recordset; 3420 once it is closed.
  State& Live() const;
  // Puts the cursor on a row (kNoRow: none) after a move, dropping a pending edit.
  void Land(RowPosition position);
  void DiscardEdit();
  // The current row, read; 3021 without one, 3167 when it was deleted.
  RowPosition CurrentRow() const;
  void RefuseForwardOnly() const;  // 3251 on forward-only recordsets
  void RunFind(const std::string& criteria, bool forward, bool fromCurrent);
  void BuildFields();
  void Reopen();
  Variant BookmarkOfPosition(RowPosition position) const;

  std::unique_ptr<State> state_;
};

}  // namespace lumo::jet
