// Editing: the buffer of Edit/AddNew, Update in one short transaction, CancelUpdate, Delete,
// and the value side of fields (assignment, FieldSize, GetChunk, AppendChunk).
//
// Update runs DAO's checks, then, inside one write transaction, the optimistic comparison
// (LockEdits false: the row as stored against the row as Edit read it; another writer in
// between answers 3197, and the next Update writes anyway, DAO's "update again to force") and
// the write itself through the connection's row writer. Pessimistic locking takes the
// file's write lock at Edit and holds it to Update or CancelUpdate.

#include <algorithm>

#include "jet/PrimaryKeyMap.h"
#include "jet/Recordset.h"
#include "jet/RecordsetState.h"
#include "jet/ValueCodec.h"
#include "jet/storage/RowWriter.h"

namespace lumo::jet {

namespace {

bool IsTextType(int type) { return type == dbText || type == dbMemo || type == dbChar; }
bool IsBinaryType(int type) { return type == dbBinary || type == dbLongBinary || type == dbVarBinary; }

// A field of the primary key or of an index that refuses Nulls.
bool InRequiredIndex(const TableInfo* table, const std::string& column) {
  if (table == nullptr) return false;
  for (const IndexInfo& index : table->indexes) {
    if (!index.primary && !index.required) continue;
    for (const auto& field : index.fields) {
      if (AnsiSameText(field.name, column)) return true;
    }
  }
  return false;
}

void CheckEditable(const Recordset::State& s) {
  // A dynaset that could only be read as a snapshot (a server's table without a primary key, a
  // query no row can be traced back from) is a read-only dynaset, not a snapshot.
  const bool readOnlyDynaset = s.type == dbOpenDynaset || s.type == dbOpenDynamic;
  if ((s.engine == EngineKind::kSnapshot || s.engine == EngineKind::kForward) && !readOnlyDynaset)
    RaiseRecordsetError(3251);
  if (!s.updatable) RaiseRecordsetError(kDaoReadOnly);
}

const RecordsetColumn& ColumnAt(const Recordset::State& s, int column) {
  if (column < 0 || static_cast<size_t>(column) >= s.Columns().size()) RaiseRecordsetError(3265);
  return s.Columns()[static_cast<size_t>(column)];
}

// The values a new row starts with: each field's default, evaluated now (Now(), GenUniqueID()
// give fresh values), else Null.
std::vector<Variant> DefaultValues(Recordset::State& s) {
  const auto& columns = s.Columns();
  std::vector<Variant> values(columns.size(), Variant::Null());
  std::string sql;
  for (const RecordsetColumn& column : columns) {
    sql += sql.empty() ? "SELECT " : ", ";
    const bool counter = (column.type.attributes & dbAutoIncrField) != 0;
    sql += column.baseColumn.empty() || counter || column.sqliteDefault.empty() ? "NULL" : column.sqliteDefault;
  }
  if (sql.empty()) return values;
  StatementUse statement(s.file->Statement(sql));
  if (statement->Step()) {
    for (size_t i = 0; i < columns.size(); ++i) {
      values[i] = ReadColumnValue(*statement, static_cast<int>(i), columns[i].type);
    }
  }
  return values;
}

// What DAO checks before it writes a row: Null in the primary key or a required index
// (3058), in a required field (3314), a zero-length text where none is allowed (3315). A new
// row is checked in every field, an edited one in the fields assigned.
void CheckBeforeWrite(const Recordset::State& s, bool adding) {
  const auto& columns = s.Columns();
  const TableInfo* baseInfo = s.Plan().table.get();
  for (size_t i = 0; i < columns.size(); ++i) {
    const RecordsetColumn& column = columns[i];
    if (column.baseColumn.empty() || (!adding && !s.changed[i])) continue;
    const Variant& value = s.buffer[i];
    const bool counter = (column.type.attributes & dbAutoIncrField) != 0;
    const ColumnInfo* base = baseInfo ? baseInfo->FindColumn(column.baseColumn) : nullptr;
    const bool rowKey = base && base->isRowKey;
    if (value.IsNull() && !counter && !rowKey) {
      if (InRequiredIndex(baseInfo, column.baseColumn)) RaiseRecordsetError(3058);
      if (column.required) RaiseRecordsetError(kDaoRequiredNull, {column.name});
    }
    if (!column.allowZeroLength && IsTextType(column.type.type) && value.Type() == VarType::kString &&
        value.AsString().empty()) {
      RaiseRecordsetError(3315, {column.name});
    }
  }
}

// Optimistic locking: the row as stored now against the row as Edit read it. Another writer
// in between answers 3197 and leaves the row as it is now for the next Update, which then
// writes over it (DAO's "update again to force").
void CheckUnchangedSinceEdit(Recordset::State& s) {
  RowReader reader(*s.file, s.Plan(), s.Columns());
  std::optional<std::vector<StoredValue>> current = reader.ReadStored(s.editKey);
  if (!current) {
    s.ForgetRow();
    RaiseRecordsetError(3167);
  }
  if (*current != s.originals) {
    s.originals = std::move(*current);
    RaiseRecordsetError(3197);
  }
}

storage::RowTarget TargetOf(const Recordset::State& s) {
  return storage::RowTarget{s.Plan().baseTable, s.Plan().primaryKey.get()};
}

storage::RowWriter& WriterOf(Recordset::State& s) {
  if (!s.writer) s.writer = s.file->RowWriter();
  return *s.writer;
}

// The fields a write hands over: a new row's assigned and non-Null fields, an edited row's
// assigned ones.
std::vector<storage::FieldWrite> FieldsToWrite(const Recordset::State& s, bool adding) {
  const auto& columns = s.Columns();
  std::vector<storage::FieldWrite> fields;
  for (size_t i = 0; i < columns.size(); ++i) {
    const RecordsetColumn& column = columns[i];
    if (column.baseColumn.empty()) continue;
    if (adding ? !column.updatable || (!s.changed[i] && s.buffer[i].IsNull()) : !s.changed[i]) continue;
    fields.push_back({&column.baseColumn, &s.buffer[i], &column.type, &column.name});
  }
  return fields;
}

}  // namespace

void Recordset::Edit() {
  State& s = Live();
  CheckEditable(s);
  const RowPosition position = CurrentRow();
  DiscardEdit();  // a second Edit starts over
  const RowKey key = s.rows->KeyAt(position);
  if (s.lockEdits) {
    s.lock = std::make_unique<WriteScope>(*s.file);
    try {
      WriterOf(s).LockRow(TargetOf(s), key);
    } catch (...) {
      s.ReleaseLock();
      throw;
    }
  }
  RowReader reader(*s.file, s.Plan(), s.Columns());
  std::optional<std::vector<StoredValue>> stored = reader.ReadStored(key);
  s.ForgetRow();
  if (!stored || !s.LoadRow(position)) {
    s.ReleaseLock();
    RaiseRecordsetError(3167);
  }
  const size_t count = s.Columns().size();
  s.buffer.resize(count);
  for (size_t i = 0; i < count; ++i) s.buffer[i] = s.rows->Value(static_cast<int>(i));
  s.changed.assign(count, false);
  s.chunkStarted.assign(count, false);
  s.originals = std::move(*stored);
  s.editPosition = position;
  s.editKey = key;
  s.editMode = dbEditInProgress;
}

void Recordset::AddNew() {
  State& s = Live();
  CheckEditable(s);
  DiscardEdit();
  s.buffer = DefaultValues(s);
  s.changed.assign(s.buffer.size(), false);
  s.chunkStarted.assign(s.buffer.size(), false);
  s.editMode = dbEditAdd;
}

void Recordset::Update(int updateType, bool force) {
  State& s = Live();
  if (s.editMode == dbEditNone) RaiseRecordsetError(3020);
  if (updateType != 1) RaiseRecordsetError(kDaoInvalidArgument);  // batch updates are ODBC's
  const bool adding = s.editMode == dbEditAdd;
  CheckBeforeWrite(s, adding);

  std::unique_ptr<WriteScope> scope = std::move(s.lock);
  if (!scope) scope = std::make_unique<WriteScope>(*s.file);
  try {
    const storage::RowTarget target = TargetOf(s);
    if (adding) {
      const std::optional<RowKey> key = WriterOf(s).Insert(target, FieldsToWrite(s, true));
      if (!key) RaiseRecordsetError(3167);
      scope->Commit();
      const RowPosition position = s.rows->Appended(*key);
      s.lastModified = s.bookmarks->BookmarkOf(*key, position);
      // A recordset that was empty now has a row behind its cursor.
      if (s.bof && s.eof) s.bof = false;
    } else {
      if (!s.lockEdits && !force) {
        // No other session may change the row between the check and the write.
        WriterOf(s).LockRow(target, s.editKey);
        CheckUnchangedSinceEdit(s);
      }
      const std::vector<storage::FieldWrite> fields = FieldsToWrite(s, false);
      if (!fields.empty() && !WriterOf(s).Update(target, s.editKey, fields)) {
        s.ForgetRow();
        RaiseRecordsetError(3167);
      }
      scope->Commit();
      s.rows->Forget();
      s.rowRead = false;
      s.lastModified = s.bookmarks->BookmarkOf(s.editKey, s.editPosition);
    }
  } catch (...) {
    // The edit stays pending (DAO keeps it for another Update or CancelUpdate); a
    // pessimistic lock stays held with it.
    if (s.lockEdits && !adding) s.lock = std::move(scope);
    throw;
  }
  s.editMode = dbEditNone;
  s.buffer.clear();
  s.changed.clear();
  s.chunkStarted.clear();
  s.originals.clear();
}

void Recordset::CancelUpdate(int /*updateType*/) {
  State& s = Live();
  if (s.editMode == dbEditNone) RaiseRecordsetError(3020);
  DiscardEdit();
}

void Recordset::Delete() {
  State& s = Live();
  CheckEditable(s);
  if (!s.OnRow()) RaiseRecordsetError(3021);
  if (s.rows->IsRemoved(s.position)) RaiseRecordsetError(3167);
  DiscardEdit();
  const RowKey key = s.rows->KeyAt(s.position);
  WriteScope scope(*s.file);
  if (!WriterOf(s).Delete(TargetOf(s), key)) {
    // Someone else deleted it: what the engine still holds of the row must not be served.
    s.ForgetRow();
    RaiseRecordsetError(3167);
  }
  scope.Commit();
  // The row stays current, unusable, until the cursor moves; its values are dropped.
  s.rows->Removed(s.position);
  s.rows->Forget();
  s.rowRead = false;
}

int Recordset::EditMode() const { return Live().editMode; }
bool Recordset::LockEdits() const { return Live().lockEdits; }

void Recordset::SetLockEdits(bool lockEdits) {
  State& s = Live();
  if (s.engine == EngineKind::kSnapshot || s.engine == EngineKind::kForward) RaiseRecordsetError(3251);
  s.lockEdits = lockEdits;
}

const Variant& Recordset::ColumnValueInPlace(int column) const {
  State& s = Live();
  if (column < 0 || column >= s.columnCount) RaiseRecordsetError(3265);
  if (s.editMode != dbEditNone) return s.buffer[static_cast<size_t>(column)];
  // Once the current row is read, a field goes straight to it; a clone may still delete it.
  const bool keyed = s.engine == EngineKind::kKeyset || s.engine == EngineKind::kTable;
  if (!s.RowFresh() || !s.OnRow() || (keyed && s.rows->IsRemoved(s.position))) CurrentRow();
  return s.rows->Value(column);
}

bool Recordset::ColumnTextInPlace(int column, std::string_view& text) const {
  State& s = Live();
  if (column < 0 || column >= s.columnCount) RaiseRecordsetError(3265);
  const std::string* held = nullptr;
  if (s.editMode != dbEditNone) {
    held = s.buffer[static_cast<size_t>(column)].TextIf();
  } else {
    const bool keyed = s.engine == EngineKind::kKeyset || s.engine == EngineKind::kTable;
    if (!s.RowFresh() || !s.OnRow() || (keyed && s.rows->IsRemoved(s.position))) CurrentRow();
    return s.rows->TextInPlace(column, text);
  }
  if (held == nullptr) return false;
  text = *held;
  return true;
}

bool Recordset::ColumnTimeStamp(int column, TTimeStamp& stamp) const {
  State& s = Live();
  if (column < 0 || column >= s.columnCount) RaiseRecordsetError(3265);
  if (s.editMode != dbEditNone) return TimeStampOfValue(s.buffer[static_cast<size_t>(column)], stamp);
  const bool keyed = s.engine == EngineKind::kKeyset || s.engine == EngineKind::kTable;
  if (!s.RowFresh() || !s.OnRow() || (keyed && s.rows->IsRemoved(s.position))) CurrentRow();
  return s.rows->TimeStampOf(column, stamp);
}

Variant Recordset::ColumnValue(int column) const {
  State& s = Live();
  if (column < 0 || column >= s.columnCount || s.editMode != dbEditNone) return ColumnValueInPlace(column);
  const bool keyed = s.engine == EngineKind::kKeyset || s.engine == EngineKind::kTable;
  if (!s.RowFresh() || !s.OnRow() || (keyed && s.rows->IsRemoved(s.position))) CurrentRow();
  return s.rows->ValueCopy(column);
}

void Recordset::SetColumnValue(int column, Variant value) {
  State& s = Live();
  const RecordsetColumn& info = ColumnAt(s, column);
  if (s.editMode == dbEditNone) RaiseRecordsetError(3020);
  if (!info.updatable) RaiseRecordsetError(3113, {info.name});
  s.buffer[static_cast<size_t>(column)] = ConvertFieldValue(std::move(value), info.type, info.name);
  s.changed[static_cast<size_t>(column)] = true;
}

// Memo and Long Binary values are measured, sliced and extended where they lie: a value read
// or written in many chunks then costs time in proportion to its size, not to the number of
// chunks times its size.

int Recordset::ColumnFieldSize(int column) const {
  const Variant& value = ColumnValueInPlace(column);
  if (const std::string* text = value.TextIf()) return static_cast<int>(text->size());
  if (const std::vector<uint8_t>* bytes = value.BytesIf()) return static_cast<int>(bytes->size());
  if (value.IsNull() || value.IsEmpty()) return 0;
  return state_->Columns()[static_cast<size_t>(column)].type.size;
}

Variant Recordset::ColumnChunk(int column, int offset, int bytes) const {
  if (offset < 0 || bytes < 0) RaiseRecordsetError(kDaoInvalidArgument);
  const Variant& value = ColumnValueInPlace(column);
  if (value.IsNull()) return value;
  const auto start = static_cast<size_t>(offset);
  const auto length = static_cast<size_t>(bytes);
  if (const std::string* text = value.TextIf()) {
    return Variant(start >= text->size() ? std::string() : text->substr(start, length));
  }
  if (const std::vector<uint8_t>* data = value.BytesIf()) {
    if (start >= data->size()) return Variant(std::vector<uint8_t>());
    const size_t end = std::min(data->size(), start + std::min(length, data->size() - start));
    return Variant(std::vector<uint8_t>(data->begin() + static_cast<std::ptrdiff_t>(start),
                                        data->begin() + static_cast<std::ptrdiff_t>(end)));
  }
  RaiseRecordsetError(3259);
}

void Recordset::AppendColumnChunk(int column, const Variant& chunk) {
  State& s = Live();
  const RecordsetColumn& info = ColumnAt(s, column);
  if (s.editMode == dbEditNone) RaiseRecordsetError(3020);
  if (!info.updatable) RaiseRecordsetError(3113, {info.name});
  const auto index = static_cast<size_t>(column);
  Variant& current = s.buffer[index];
  // The first chunk after Edit/AddNew replaces the value.
  const bool append = s.chunkStarted[index] && !current.IsNull();
  if (IsTextType(info.type.type)) {
    const std::string more = VarToStr(chunk);
    if (!append || current.TextIf() == nullptr) current = Variant(std::string());
    std::string& text = *current.TextIf();
    const size_t before = text.size();
    text += more;
    try {
      current = ConvertFieldValue(std::move(current), info.type, info.name);
    } catch (...) {
      // A text too long for its field keeps what it had.
      if (current.TextIf() != nullptr) current.TextIf()->resize(before);
      throw;
    }
  } else if (IsBinaryType(info.type.type)) {
    std::vector<uint8_t> more;
    if (!chunk.IsNull() && !chunk.IsEmpty()) {
      if (const std::vector<uint8_t>* bytes = chunk.BytesIf()) {
        more = *bytes;
      } else {
        more = ConvertFieldValue(chunk, JetFieldType{dbLongBinary, 0, 0}, info.name).AsBytes();
      }
    }
    if (!append || current.BytesIf() == nullptr) current = Variant(std::vector<uint8_t>());
    std::vector<uint8_t>& bytes = *current.BytesIf();
    const size_t before = bytes.size();
    bytes.insert(bytes.end(), more.begin(), more.end());
    try {
      current = ConvertFieldValue(std::move(current), info.type, info.name);
    } catch (...) {
      if (current.BytesIf() != nullptr) current.BytesIf()->resize(before);
      throw;
    }
  } else {
    RaiseRecordsetError(3259);
  }
  s.changed[index] = true;
  s.chunkStarted[index] = true;
}

}  // namespace lumo::jet
