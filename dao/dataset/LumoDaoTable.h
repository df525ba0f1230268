#pragma once
// TLumoDaoTable: one engine recordset presented as a record-buffer dataset of the framework.
// Its record source is a table (TableName), an SQL text (SQL) or a stored query definition
// (QueryDefName); setting one clears the others. It reaches the engine only through the
// database component assigned to Database, and registers in that component's OpenDatasets
// while open.
//
// Record buffers hold every data-field value as text (see DaoValueText.h): the header below
// plus the framework's calculated area; the value texts live in a list each buffer owns.
// Posting sends only the values whose changed flag is set.
//
// Implemented in LumoDaoTable.cpp (construction, properties, component duties),
// LumoDaoTableOpen.cpp (opening and closing), LumoDaoTableBuffers.cpp (record buffers and
// field values), LumoDaoTableNavigation.cpp (cursor, bookmarks, counts),
// LumoDaoTableEditing.cpp (insert, edit, post, delete), LumoDaoTableSql.cpp (ExecuteSQL,
// parameters), LumoDaoTableQueryDefs.cpp (stored query definitions),
// LumoDaoTableIndexDefs.cpp (index definitions, IndexName) and LumoDaoTableBlob.cpp (blob
// streams, declared in LumoDaoTableBlob.h).
//
// Stored query definitions: QueryDefParameters holds one line per input parameter, "NULL"
// standing for Null. After a query definition with parameters was opened,
// OutputParameterValue holds what its output parameters gave (see
// DaoQueryDefParameters.h for the form: Null, one value, or an array by output order).
//
// Index definitions (standard tables, TableType 1): IndexDefs is loaded from the table with
// the field definitions. RefreshIndexDefinitions (IndexDefs().Update()) creates the indexes
// that were added to IndexDefs and deletes those that were removed, matched by name only;
// an active dataset is closed for it and opened again afterwards, also after an error.
// Deleting happens only when IndexDefs was loaded from this very table: definitions that
// were never loaded do not stand for an empty table, and writing them back must not drop
// the table's indexes.
//
// Locate, lookup and find (LumoDaoTableLocate.cpp, LumoDaoTableLookup.cpp, criteria texts in
// LumoDaoTableCriteria.cpp): every search is the engine's, never a read of the record
// buffers. A standard table (TableType 1) is sought on an index (IndexName, or with
// AutoFindIndex an index of exactly or at least the key fields, preferred to IndexName); other
// bookmarkable recordsets are searched with a criterion on a clone; a recordset without
// bookmarks (forward-only) is scanned. A search moves the dataset once, to the record found,
// and only when it finds one; a search that finds nothing leaves record, buffers and
// position as they were and fires no scroll events. Key field names are looked up before
// anything moves (the framework's field-not-found error), and each key text must read as a
// value of its field (the runtime's conversion error otherwise), so that no key becomes part
// of a criterion unless as a literal of its type; "NULL" (and a Null key value) stands for
// Null. With Filtered and an OnFilterRecord handler Locate and the directed searches answer
// false without searching (the engine does not know the handler's rule); LookupValues
// searches all the same.
//
// The seek on a standard table:
//   - the index fields that the key fields give from the first on are sought (at most 13,
//     the engine's limit), with "=" when the key gives every field of the index exactly, else
//     with ">="; the record found must hold every key value (text compares without regard to
//     case, and with loPartialKey a text key matches the start of the field), else the records
//     after it are looked at while the sought fields still hold their keys. Key fields after
//     a gap in the index (Month of an index Year, Month, Day) or not in it at all are
//     compared record by record, from the start of the index when its first field is not a
//     key field: Locate still finds the first record in index order that holds the keys,
//     only not by one seek. An index of more fields than 13 (the engine makes none: it stops
//     at 10) would be sought on its first 13 and the rest compared the same way, so that
//     Locate answers as for any other index.
//   - a text key longer than its field cannot be held by any record: no match.
//   - the record number of a record found by a seek is worked out when RecNo asks for it.
// The directed searches (LocateFirst ... LocatePrior and the framework's FindFirst ...
// FindPrior) need a criteria search, which a standard table does not offer: the engine's
// error 3251 reaches the caller and the record stays.
// The scan (recordsets without bookmarks) starts the recordset again from its first record
// (Requery, for a forward-only recordset cannot move back) and compares the text of each key
// field with the key text (loCaseInsensitive: lower-cased first; loPartialKey: the key, one
// trailing and one leading "*" taken off, anywhere in the text). A Null field value matches
// only the key "NULL", and the key "NULL" matches only Null. When nothing matches the
// recordset is started again and moved back to the saved record.
// The find request that the framework's FindFirst/FindLast/FindNext/FindPrior use is set with
// SetFindKey (or the three properties); it starts empty (fields "", values Null, no options),
// survives closing and opening, and is changed by nothing else.
//
// Filter, sort and master/detail (LumoDaoTableFilter.cpp, LumoDaoTableMaster.cpp): the
// engine narrows and orders the records when the recordset opens; the dataset never reads
// and drops records itself (only an OnFilterRecord handler, asked per fetched record, does).
// Setting Filtered, Filter (while Filtered), OnFilterRecord through SetOnFilterRecord (while
// Filtered), SortedBy, MasterSource or MasterFields on an open dataset rebuilds the
// recordset and goes to the first record; setting Filtered to the value it has does nothing.
// A setting the engine refuses (a Filter it cannot read, a SortedBy naming an unknown field)
// is taken back and the dataset opens again as it was before the error propagates.
// MasterFields: one line "A;B" links same-named fields; otherwise one "detail -> master"
// pair a line; a single name without ";" defines nothing. A table detail opens
// "Select * From [T] Where <criteria> [Order By <sort>];"; a query-definition detail is
// requeried with the master's values on every master move. A master in edit state does not
// move its details; a master chain that comes back to this dataset is refused ("Circular
// links not allowed!").
//
// Errors: EDatabaseError with the component's own texts for refusals; the engine's errors
// pass through as EOleException. Setter refusals leave every property unchanged.
// Ownership: the engine objects (recordsets, fields) are automation references held here and
// released at close; Database and Encrypter are not owned.
// Threads: one; each component initialises COM for the thread that creates it.

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoIndexDefs.h"
#include "db/DataLink.h"
#include "db/DataSet.h"
#include "db/Params.h"
#include "jet/DaoErrorNumbers.h"
#include "runtime/ClassInfo.h"
#include "runtime/Strings.h"

namespace lumo::jet {
class Recordset;
class Database;
class Field;
}  // namespace lumo::jet

namespace lumo {

class TDataSource;

// Recordset options, ordinal n standing for the engine's option value 2^n.
enum class TOO {
  dbDenyWrite,
  dbDenyRead,
  dbReadOnly,
  dbAppendOnly,
  dbInconsistent,
  dbConsistent,
  dbSQLPassThrough,
  dbFailOnError,
  dbForwardOnly,
  dbSeeChanges,
  dbRunAsync,
  dbExecDirect
};
using TOOSet = TSmallSet<TOO>;

enum class TExportMethod { VisibleFields, AllFields };

// Progress of an export or import: dataset, records done, abort flag. Stored only.
using TExportProgressEvent = Event<void(TDataSet&, int32_t, bool&)>;
using TImportProgressEvent = Event<void(TDataSet&, int32_t, bool&)>;

// The per-buffer value texts: one entry per field definition, empty text = Null, with the
// flag that the value was stored since it was read from the engine.
struct TDaoValueList {
  std::vector<std::string> text;
  std::vector<uint8_t> changed;
};

// The head of every record buffer; the framework's calculated area follows it directly.
struct TDaoRecordHeader {
  int32_t RecordPosition;    // 0-based cursor position when read; -1 for a new record
  TDaoValueList* ValueList;  // owned by the buffer
  uint8_t BookmarkFlag;      // TBookmarkFlag
  int32_t BookmarkValue;     // the engine's four bookmark bytes; 0 = none
};

class TLumoBlobStream;

class TLumoDaoTable : public TDataSet, public DaoDatasetClient {
 public:
  static constexpr const char* kComponentVersion = "9.10";
  // The engine's error for a record deleted by another user.
  static constexpr int32_t kRecordDeleted = jet::kDaoRecordDeleted;

  explicit TLumoDaoTable(TComponent* owner);
  ~TLumoDaoTable() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // Opens the engine recordset for the current source (used by the open path; public for
  // callers that want the recordset without the framework).
  void OpenDaoRecordset();
  // Runs SQL (after parameter substitution) as a statement; answers the records affected.
  int32_t ExecuteSQL();
  // Closes and reopens the engine recordset without passing through the framework.
  void ReopenRecordset();
  // Master/detail criteria: "(detail clause) AND ...", the clause by the master field's type:
  // "([Name] IS NULL)" for Null, "([Paid] = True)", "= #mm/dd/yyyy#", "= \"text\"", numbers
  // with "."; one blank between the name and its clause.
  // Raises "The number of Master and Detail fields must be equal!", "Unable to build
  // Master/Detail SQL Relationship!" (a type without a literal), or the master's
  // field-not-found error.
  std::string BuildMasterCriteria() const;
  // criteria and, while Filtered, Filter: "(criteria) AND (filter)".
  std::string CombineWithFilter(const std::string& criteria) const;
  // The pairs of the last open that applied the link: detail name i goes with master name i.
  const std::vector<std::string>& DetailLinkNames() const noexcept { return detailLinkNames_; }
  const std::vector<std::string>& MasterLinkNames() const noexcept { return masterLinkNames_; }
  bool MasterLinkSuspended() const noexcept { return masterLinkSuspended_; }
  // OnFilterRecord through a setter: on an open, filtered dataset the records are read again
  // through the new handler, from the first.
  void SetOnFilterRecord(TFilterRecordEvent::Function handler);
  // The SQL text after parameter substitution.
  std::string SubstituteParams(const TStrings& lines) const;
  // Replaces whole-word occurrences of `token` (ignoring case) by `literal`.
  std::string ReplaceParamToken(const std::string& text, const std::string& token,
                                const std::string& literal) const;

  // --- published properties --------------------------------------------------------------
  bool AutoFindIndex() const noexcept { return autoFindIndex_; }
  void F_Set_AutoFindIndex(bool value) { autoFindIndex_ = value; }
  std::string ComponentVersion() const { return kComponentVersion; }
  void F_Set_ComponentVersion(const std::string&) {}
  bool CacheBlobs() const noexcept { return cacheBlobs_; }
  void F_Set_CacheBlobs(bool value);
  bool CacheMemos() const noexcept { return cacheMemos_; }
  void F_Set_CacheMemos(bool value);
  bool CacheLookups() const noexcept { return cacheLookups_; }
  void F_Set_CacheLookups(bool value);
  TLumoDaoDatabase* Database() const noexcept { return database_; }
  void F_Set_Database(TLumoDaoDatabase* database);
  TComponent* Encrypter() const noexcept { return encrypter_; }
  void F_Set_Encrypter(TComponent* encrypter);
  TExportMethod ExportMethod() const noexcept { return exportMethod_; }
  void F_Set_ExportMethod(TExportMethod value) { exportMethod_ = value; }
  bool RefreshSorted() const noexcept { return refreshSorted_; }
  void F_Set_RefreshSorted(bool value) { refreshSorted_ = value; }
  const std::string& TableName() const noexcept { return tableName_; }
  void F_Set_TableName(const std::string& name);
  TStrings& SortedBy() noexcept { return sortedBy_; }
  void F_Set_SortedBy(const TStrings& lines);
  TStrings& QueryDefParameters() noexcept { return queryDefParameters_; }
  void F_Set_QueryDefParameters(const TStrings& lines) { queryDefParameters_.Assign(lines); }
  const std::string& QueryDefName() const noexcept { return queryDefName_; }
  void F_Set_QueryDefName(const std::string& name);
  TStrings& QueryDefSQLText() noexcept { return queryDefSqlText_; }
  // Stores the text in the database only while connected and closed, with QueryDefName set,
  // QueryDefSQLModify true and not while loading; otherwise the value is dropped.
  void F_Set_QueryDefSQLText(const TStrings& lines);
  bool QueryDefSQLModify() const noexcept { return queryDefSqlModify_; }
  void F_Set_QueryDefSQLModify(bool value) { queryDefSqlModify_ = value; }
  int32_t QueryDefODBCMaxRecords() const noexcept { return queryDefOdbcMaxRecords_; }
  void F_Set_QueryDefODBCMaxRecords(int32_t value) { queryDefOdbcMaxRecords_ = value; }
  // "dbQSelect", "dbQCrosstab", ...; empty while not connected, without QueryDefName or
  // on any engine error.
  std::string QueryDefType() const;
  void F_Set_QueryDefType(const std::string&) {}
  // The engine's type value behind the last QueryDefType read (0 when it had no name).
  int32_t QueryDefTypeNumber() const noexcept { return queryDefTypeNumber_; }
  TStrings& SQL() noexcept { return sql_; }
  void F_Set_SQL(const TStrings& lines);
  bool ShowGUID() const noexcept { return showGuid_; }
  void F_Set_ShowGUID(bool value);
  TParams& Params() noexcept { return params_; }
  void F_Set_Params(const TParams& params) { params_.AssignValues(params); }
  int32_t TableType() const noexcept { return tableType_; }
  void F_Set_TableType(int32_t type);
  std::string TableDateCreated() const;
  void F_Set_TableDateCreated(const std::string&) {}
  std::string TableLastUpdated() const;
  void F_Set_TableLastUpdated(const std::string&) {}
  bool Translation() const noexcept { return translation_; }
  void F_Set_Translation(bool value) { translation_ = value; }
  int32_t LockType() const noexcept { return lockType_; }
  void F_Set_LockType(int32_t type);
  TOOSet OpenOptions() const noexcept { return openOptions_; }
  void F_Set_OpenOptions(TOOSet options);
  TIndexDefs& IndexDefs() override { return indexDefs_; }
  // The field count of the index IndexName of a standard table; 0 otherwise.
  int32_t IndexFieldCount() const;
  void F_Set_IndexFieldCount(int32_t) {}
  const std::string& IndexName() const noexcept { return indexName_; }
  void F_Set_IndexName(const std::string& name);
  bool ReadOnly() const noexcept { return readOnly_; }
  void F_Set_ReadOnly(bool value);
  bool LockEdits() const;
  void F_Set_LockEdits(bool) {}
  TDataSource* MasterSource() const noexcept { return masterSource_; }
  void F_Set_MasterSource(TDataSource* source);
  TStrings& MasterFields() noexcept { return masterFields_; }
  // On an active dataset a new link reopens it, from the first record.
  void F_Set_MasterFields(const TStrings& lines);
  bool MasterAutoActivate() const noexcept { return masterAutoActivate_; }
  void F_Set_MasterAutoActivate(bool value) { masterAutoActivate_ = value; }
  bool DatabaseAutoActivate() const noexcept { return databaseAutoActivate_; }
  void F_Set_DatabaseAutoActivate(bool value) { databaseAutoActivate_ = value; }
  bool UseBrackets() const noexcept { return useBrackets_; }
  void F_Set_UseBrackets(bool value) { useBrackets_ = value; }
  bool UseCaptions() const noexcept { return useCaptions_; }
  void F_Set_UseCaptions(bool value) { useCaptions_ = value; }
  bool UseDaoProperties() const noexcept { return useDaoProperties_; }
  void F_Set_UseDaoProperties(bool value) { useDaoProperties_ = value; }
  bool UseGetRecNo() const noexcept { return useGetRecNo_; }
  void F_Set_UseGetRecNo(bool value) { useGetRecNo_ = value; }
  bool UseRecordCount() const noexcept { return useRecordCount_; }
  void F_Set_UseRecordCount(bool value) { useRecordCount_ = value; }
  bool WarnOnBadDatabase() const noexcept { return warnOnBadDatabase_; }
  void F_Set_WarnOnBadDatabase(bool value) { warnOnBadDatabase_ = value; }
  bool ParamCheck() const noexcept { return paramCheck_; }
  void F_Set_ParamCheck(bool value) { paramCheck_ = value; }
  bool ProcessMessages() const noexcept { return processMessages_; }
  void F_Set_ProcessMessages(bool value) { processMessages_ = value; }

  TExportProgressEvent OnExportProgress;
  TImportProgressEvent OnImportProgress;

  // --- stored query definitions and index definitions --------------------------------------
  // What the output parameters of the query definition last opened gave.
  const Variant& OutputParameterValue() const noexcept { return outputParameterValue_; }
  // The names of the table's engine indexes, in the engine's order; empty while not
  // connected or on any engine error.
  void ListIndexNames(TStrings& list);
  // Rebuilds IndexDefs from the engine (standard tables only; emptied otherwise).
  void LoadIndexDefinitions();
  // The index of IndexDefs that serves a look-up on the fields of `fields` (";"-separated;
  // a leading "!" asks for an index of exactly these fields); empty text when none does or
  // the dataset is no standard table.
  std::string FindIndexForFields(const std::string& fields) const;

  // --- locate, lookup and find ---------------------------------------------------------------
  // KeyFields: field names separated by ";" or line breaks; KeyValues: one value, or an array
  // of as many values as names.
  bool Locate(const std::string& keyFields, const Variant& keyValues,
              TLocateOptions options) override;
  // The Boolean false when no record holds the keys; else the value of the one result field,
  // or an array (bounds 0 .. n-1) of the values of several. Position, buffers and state stay.
  Variant LookupValues(const std::string& keyFields, const Variant& keyValues,
                       const std::string& resultFields) override;
  // The first, last, next or prior record (next and prior counted from the current one)
  // holding the keys; true when one was found and made current.
  bool LocateFirst(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  bool LocateLast(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  bool LocateNext(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  bool LocatePrior(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  bool FindNextMatch(bool restart, bool goForward) override;
  // The find request.
  void SetFindKey(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
  const std::string& FindKeyFields() const noexcept { return findKeyFields_; }
  void F_Set_FindKeyFields(const std::string& fields) { findKeyFields_ = fields; }
  const Variant& FindKeyValues() const noexcept { return findKeyValues_; }
  void F_Set_FindKeyValues(const Variant& values) { findKeyValues_ = values; }
  TLocateOptions FindOptions() const noexcept { return findOptions_; }
  void F_Set_FindOptions(TLocateOptions options) { findOptions_ = options; }
  // Criteria texts: "(name clause) AND (name clause) ...", names bracketed with UseBrackets.
  // The key texts are changed in place (dates cleaned, texts lower-cased for
  // loCaseInsensitive). BuildKeyCriteria compares text with "="; BuildLocateCriteria follows
  // the options (Like for loPartialKey, LCase for loCaseInsensitive). A field type without a
  // literal raises "Unable to build Key SQL!" / "Unable to build Lookup Key SQL!".
  std::string BuildKeyCriteria(const std::vector<std::string>& names,
                               std::vector<std::string>& texts) const;
  std::string BuildLocateCriteria(const std::vector<std::string>& names,
                                  std::vector<std::string>& texts, TLocateOptions options) const;

  // --- state for callers and tests ---------------------------------------------------------
  // The open engine recordset (empty while closed).
  const std::shared_ptr<jet::Recordset>& DaoRecordset() const noexcept { return recordset_; }
  int32_t RecordsAffected() const noexcept { return recordsAffected_; }
  int32_t OptionsValue() const noexcept { return optionsValue_; }
  const std::string& SortText() const noexcept { return sortText_; }
  int32_t CurrentPosition() const noexcept { return currentPosition_; }
  int32_t HighestPosition() const noexcept { return highestPosition_; }
  // Per field definition, filled at open.
  const std::vector<std::string>& DefaultValueList() const noexcept { return defaultValueList_; }
  const std::vector<bool>& UpdatableFlags() const noexcept { return updatableFlags_; }
  const TStringList& Captions() const noexcept { return captions_; }
  const TStringList& AllFieldNames() const noexcept { return allFieldNames_; }
  // For tests and benchmarks only: called before each group of engine calls CountRecords
  // makes, so that a count served from its cache can be shown to stay off the engine.
  std::function<void(const char* member)> OnEngineCall;

  // --- framework contract -----------------------------------------------------------------
  void DeclareStreamedData(StreamedData& data) override;
  void FinishLoading() override;
  void NotifyComponentChange(TComponent* component, Operation operation) override;
  void ClearCalculatedValues(TRecordBuffer buffer) override;
  void RaiseNewRecordEvent() override;
  TBookmark ReadBookmarkText() override;
  bool QueryCanModify() override;
  int32_t CountRecords() override;
  int32_t ReadRecordNumber() override;
  void CancelChanges() override;
  void BeginRecordEdit() override;
  // Refresh: the engine reads the current record again (not from its memory), the window is
  // read again around it and the count is taken anew at the next RecordCount; values another
  // program changed show, and a record it deleted is recovered from (RecoverCursor).
  void RefreshCursor() override;
  void WriteBookmarkText(const TBookmark& bookmark) override;
  void MoveToRecordNumber(int32_t number) override;
  void RefreshIndexDefinitions() override;
  TRecordBuffer NewRecordBuffer() override;
  void DisposeRecordBuffer(TRecordBuffer& buffer) override;
  void ReadBookmarkData(TRecordBuffer buffer, void* destination) override;
  TBookmarkFlag ReadBookmarkFlag(TRecordBuffer buffer) override;
  int32_t RecordBufferSize() override;
  void AddRecordFromBuffer(TRecordBuffer buffer, bool append) override;
  void DeleteCurrentRecord() override;
  void PositionAtStart() override;
  void GoToBookmarkPosition(const TBookmark& bookmark) override;
  void ClearRecordBuffer(TRecordBuffer buffer) override;
  void PositionAtEnd() override;
  void WriteRecordChanges() override;
  void PositionAtBuffer(TRecordBuffer buffer) override;
  void WriteBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void WriteBookmarkData(TRecordBuffer buffer, const void* source) override;
  void StoreFieldValue(TField* field, const void* source) override;
  TGetResult FetchRecord(TRecordBuffer buffer, TGetMode mode, bool check) override;
  void CloseRecordSource() override;
  void HandleOperationError() override;
  void LoadFieldDefinitions() override;
  void OpenRecordSource() override;
  bool IsRecordSourceOpen() override { return cursorOpen_; }
  bool IsBookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarkOrder(const TBookmark& a, const TBookmark& b) override;
  // A TLumoBlobStream over a memo or blob field (LumoDaoTableBlob.h); the caller owns it.
  std::unique_ptr<TStream> OpenBlobStream(TField* field, TBlobStreamMode mode) override;
  bool CopyCurrentRecord(TRecordBuffer destination) override;
  bool FetchFieldValue(TField* field, void* destination) override;
  // The text the record buffer holds for a string field, whenever it fits the field whole.
  bool FetchFieldText(TField* field, std::string& text) override;
  bool FetchFieldTimeStamp(TField* field, TTimeStamp& stamp) override;
  void PostRecord() override;
  int TranslateText(const std::string* source, std::string* destination, bool toOem) override;
  bool OperationsConsultErrorEvents() const override { return true; }

  // DaoDatasetClient.
  void MarkClosingByDatabase() override { closingByDatabase_ = true; }
  void CloseForDatabase() override { Close(); }

 protected:
  // The record buffer of the current state (none when there is nothing to read or write).
  TRecordBuffer StateRecordBuffer();
  // Fills a buffer from the recordset's current row; false when the row was deleted.
  bool ReadRecordValues(jet::Recordset& recordset, bool useFieldObjects, TRecordBuffer buffer);
  // Cursor helpers (LumoDaoTableNavigation.cpp).
  void GoToBookmarkValue(int32_t value);
  int32_t CurrentBookmarkValue(jet::Recordset& recordset);
  int32_t LastModifiedBookmarkValue(jet::Recordset& recordset);
  int32_t PositionFromBookmark(jet::Recordset& recordset, int32_t target);
  void RecoverCursor();
  bool AcceptRecord(TRecordBuffer buffer);
  void CloseDaoRecordset() noexcept;

 private:
  friend class TLumoBlobStream;

  static TDaoRecordHeader& Header(TRecordBuffer buffer) {
    return *reinterpret_cast<TDaoRecordHeader*>(buffer);
  }
  char* CalculatedArea(TRecordBuffer buffer) const { return buffer + sizeof(TDaoRecordHeader); }
  TLumoDaoDatabase& RequireDatabase(const char* operation) const;
  jet::Recordset& Rs() const { return *recordset_; }
  void EngineCall(const char* member) const {
    if (OnEngineCall) OnEngineCall(member);
  }
  void EngineIdle();
  void ReopenForSetter();
  void AssignAutomaticName();
  void ClearSourceDerived();
  void ForgetIndexDefinitions();
  // Opens the recordset of the stored query definition QueryDefName (its parameters bound).
  void OpenQueryDefRecordset(TLumoDaoDatabase& database);
  // Writing back index definitions (LumoDaoTableIndexDefs.cpp).
  bool CanCreateIndexFrom(const TIndexDef& definition) const;
  void CreateIndexFrom(const TIndexDef& definition);
  bool RecordFilterInUse() const;
  // The steps of OpenDaoRecordset, in its order (LumoDaoTableOpen.cpp).
  TLumoDaoDatabase& ConnectForOpen();
  void PrepareForOpen(TLumoDaoDatabase& database);
  void OpenSourceRecordset(TLumoDaoDatabase& database);
  void TakeRecordsetTraits(TLumoDaoDatabase& database);
  void ApplyIndexName();
  void ReadFieldDefaultsAndUpdatability(TLumoDaoDatabase& database);
  void ApplySortedBy();
  void ApplyFilter();
  // Sort and Filter take effect in the recordset opened from the current one.
  void ReplaceRecordsetByDerived();
  void ResolveMasterLinkAtOpen(jet::Database& dao);
  void CollectFieldObjects();
  void ResetCursorBookkeeping();
  // Master/detail (LumoDaoTableMaster.cpp).
  void ConnectMasterLink();
  void ParseMasterFields();
  // The part of a criterion after the detail name: "IS NULL", "= 5", "= \"text\"", ...
  std::string MasterClause(const TField& field) const;
  void ApplyMasterCriteriaAtOpen(jet::Database& dao);
  std::string MasterSelect(const std::string& criteria) const;
  void MasterRecordChanged();
  void ReopenForMaster();
  void QuickMasterRefresh();
  void MasterLinkDisabled();
  void InheritMasterValues();
  // Filtering (LumoDaoTableFilter.cpp).
  void ChangeFiltered(bool value) override;
  void ChangeFilterText(const std::string& text) override;
  // ReopenRecordset; when it fails, `restore` puts the old setting back, the dataset opens
  // again with it (or closes when that fails too) and the error propagates.
  void ReopenKeepingOnFailure(const std::function<void()>& restore);
  // Locate, lookup and find.
  static constexpr const char* kNullKey = "NULL";
  // The keys of one search: names, their texts, their fields and the texts as field values.
  struct LocateKeys {
    std::vector<std::string> names;
    std::vector<std::string> texts;
    std::vector<TField*> fields;
    std::vector<Variant> values;
  };
  LocateKeys PrepareKeys(const std::string& keyFields, const Variant& keyValues) const;
  bool LocateInDirection(int direction, const std::string& keyFields, const Variant& keyValues,
                         TLocateOptions options);
  std::string ChooseLocateIndex(const std::string& keyFields) const;
  bool SeekOnClone(jet::Recordset& clone, const std::string& indexName, const LocateKeys& keys,
                   TLocateOptions options);
  bool ScanForKeys(const LocateKeys& keys, TLocateOptions options, int32_t saved);
  void RestartScan();
  void MoveToFound(jet::Recordset& clone, bool absolutePosition, TResyncMode mode);
  std::string BuildCriteria(const std::vector<std::string>& names, std::vector<std::string>& texts,
                            TLocateOptions options, bool keyCriteria) const;
  std::string ValueClause(TField& field, std::string& text, TLocateOptions options,
                          bool keyCriteria) const;
  // A key text as a value of its field's type (Null for "NULL", and for "" unless text);
  // the runtime's conversion error when it does not read as one.
  Variant KeyValueFor(TField& field, const std::string& text) const;
  // Whether a field's engine value holds a key (as the engine compares: text without regard
  // to case, with `partial` its start only).
  bool ValueHoldsKey(TField& field, const Variant& value, const Variant& key,
                     const std::string& keyText, bool partial) const;
  bool IsForwardOnly() const;
  void RebuildCursor();
  bool IsEmptyRecordset();
  int32_t TableCountCheck();
  int32_t MoveToEndCount();
  void ForgetBookmark(int32_t position);
  // Records another program deleted, as a dynaset meets them (it keeps their keys).
  void NoteRecordGone();
  int32_t GoneBefore(int32_t daoIndex) const;
  int32_t DaoIndexOfNumber(int32_t index) const;
  void RememberBookmark(int32_t position, int32_t value);
  void CollectDaoError(TDaoErrRec& error) const;
  // Replaces the message and help context of an exception by the engine's last error.
  void PutDaoErrorText(Exception& error) const;
  void DisposeOldValues();
  TRecordBuffer CopyOfBuffer(TRecordBuffer source);
  // The steps of WriteRecordChanges, in its order (LumoDaoTableEditing.cpp). The buffer to
  // post: the one AddRecordFromBuffer handed over, else the state's.
  TRecordBuffer TakeWriteBuffer();
  void ResumeEngineEdit();
  // AddNew (for an insert), the changed values and Update, with OnPostError's answers; false
  // when it answered daAbort.
  bool PostBufferToEngine(TRecordBuffer buffer, bool editing);
  void SettleOnPostedRecord(TRecordBuffer buffer, bool editing);
  // WriteChangedValues, with the engine's pending record dropped when a value fails.
  void SendChangedValues(TRecordBuffer buffer, bool editing);
  // The engine's current record read again unless an edit is pending.
  void RereadEngineRecord();
  // After a failed post: an optimistic edit is dropped, a pending insert always.
  void CancelEngineEdit();
  void CancelEngineAdd();
  void WriteChangedValues(TRecordBuffer buffer);
  // After a successful Update: puts the engine's cursor on the record just written.
  void FindPostedRecord(TRecordBuffer buffer, bool editing);
  // Posting large contents (LumoDaoTableBlob.cpp): an uncached memo or blob value moves to
  // the engine instead of being copied; TakeBackBlobs returns it to the buffer when the post
  // fails, ReleasePostedBlobs leaves the buffer holding the sizes when it succeeded.
  bool HandOverBlob(TRecordBuffer buffer, size_t index);
  void TakeBackBlobs(TRecordBuffer buffer) noexcept;
  void ReleasePostedBlobs(TRecordBuffer buffer);
  std::string EncryptText(const std::string& text);
  std::string DecryptText(const std::string& text);
  bool IsGuidField(const TField* field) const;
  void PrepareFields();
  void BindEncrypter();
  void FollowSqlChange();
  void ApplyMasterValuesToParams();
  void MemoGetText(TField& field, std::string& text, bool displayText);
  void GuidGetText(TField& field, std::string& text, bool displayText);
  void GuidSetText(TField& field, const std::string& text);
  // Blob streams on a buffer about to be refilled or freed let go of it (nullptr: all).
  void ForgetBlobBuffer(TRecordBuffer buffer);
  // The record of a buffer was posted or its edit cancelled: its streams write no more.
  void LeaveBlobRecord(TRecordBuffer buffer);
  void OrphanBlobStreams() noexcept;

  // Engine objects.
  std::shared_ptr<jet::Recordset> recordset_;
  std::shared_ptr<jet::Recordset> baseRecordset_;
  std::vector<std::shared_ptr<jet::Field>> fieldObjectArray_;

  // Published state.
  bool autoFindIndex_ = true;
  bool cacheBlobs_ = false;
  bool cacheMemos_ = false;
  bool cacheLookups_ = false;
  TLumoDaoDatabase* database_ = nullptr;
  TComponent* encrypter_ = nullptr;
  TExportMethod exportMethod_ = TExportMethod::VisibleFields;
  bool refreshSorted_ = false;
  std::string tableName_;
  TStringList sortedBy_;
  std::string queryDefName_;
  TStringList queryDefParameters_;
  TStringList queryDefSqlText_;
  bool queryDefSqlModify_ = false;
  int32_t queryDefOdbcMaxRecords_ = 0;
  TStringList sql_;
  bool showGuid_ = false;
  TParams params_;
  // Parameters that left SQL with their values, until the text is next used (opened or
  // executed): a text cleared and filled again gets them back by name.
  TParams heldParams_;
  int32_t tableType_ = 2;
  bool translation_ = false;
  int32_t lockType_ = 3;
  TOOSet openOptions_;
  TLumoDaoIndexDefs indexDefs_;
  std::string indexName_;
  bool readOnly_ = false;
  TDataSource* masterSource_ = nullptr;
  TStringList masterFields_;
  bool masterAutoActivate_ = true;
  bool databaseAutoActivate_ = false;
  bool useBrackets_ = true;
  bool useCaptions_ = false;
  bool useDaoProperties_ = true;
  bool useGetRecNo_ = true;
  bool useRecordCount_ = true;
  bool warnOnBadDatabase_ = false;
  bool paramCheck_ = true;
  bool processMessages_ = false;

  // Open state.
  bool cursorOpen_ = false;
  bool openInProgress_ = false;
  bool bookmarkable_ = false;
  bool closingByDatabase_ = false;
  bool comInitialized_ = false;
  bool masterLinkSuspended_ = true;
  std::vector<std::string> detailLinkNames_;
  std::vector<std::string> masterLinkNames_;
  // True while OpenDaoRecordset runs: opening the master and resolving the link make the
  // link report changes that this open takes care of itself.
  bool openingRecordset_ = false;
  int32_t optionsValue_ = 0;
  std::string sortText_;
  int32_t recordsAffected_ = 0;
  static constexpr int32_t kStatementOptions = 128;
  int32_t recordSize_ = 0;
  std::vector<std::string> defaultValueList_;
  std::vector<bool> updatableFlags_;
  TStringList captions_;
  TStringList allFieldNames_;
  // Per field definition, fixed at open: its field (nullptr when it has none), its type, and
  // whether it is a GUID field.
  std::vector<TField*> defFields_;
  std::vector<TFieldType> defTypes_;
  std::vector<bool> defGuid_;
  TRecordBuffer writeBuffer_ = nullptr;  // the buffer AddRecordFromBuffer posts
  std::vector<bool> nameChars_;          // 256 entries: the characters a parameter name may hold
  Variant outputParameterValue_ = Variant::Null();
  mutable int32_t queryDefTypeNumber_ = 0;
  // The table IndexDefs was last loaded from; empty while it holds no table's indexes.
  std::string indexDefsLoadedFrom_;
  std::unique_ptr<TMasterDataLink> masterLink_;

  // Encrypter binding.
  bool encrypterActive_ = false;
  const PropInfo* encodedProp_ = nullptr;
  const PropInfo* decodedProp_ = nullptr;

  // Buffers, and the blob streams open on them (not owned).
  std::vector<TLumoBlobStream*> blobStreams_;
  // Contents handed over to the engine by the post in progress: field index and size.
  std::vector<std::pair<size_t, size_t>> handedOver_;
  TRecordBuffer oldValuesBuffer_ = nullptr;
  TRecordBuffer filterBuffer_ = nullptr;

  // Cursor bookkeeping.
  int32_t currentPosition_ = -1;
  int32_t scanCounter_ = -1;
  int32_t highestPosition_ = -1;
  int32_t cachedRecordCount_ = -1;
  bool countStale_ = true;
  bool positionStale_ = false;
  std::vector<int32_t> bookmarkPositions_;
  std::vector<int32_t> bookmarkValues_;
  // The engine's positions (ascending) of records found deleted by another program in a
  // recordset that keeps their keys: counts and record numbers leave them out, so that they
  // match the records that can be reached, until the recordset is opened again.
  std::vector<int32_t> goneIndexes_;
  // The find request.
  std::string findKeyFields_;
  Variant findKeyValues_ = Variant::Null();
  TLocateOptions findOptions_;
};

// Makes TLumoDaoTable creatable by name for form descriptions. Safe to call again.
void RegisterDaoTableClasses();

}  // namespace lumo
