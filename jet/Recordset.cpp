// Recordsets: opening (arguments, the choice of the row engine), fields and properties,
// clones, requery, recordsets made from this one, closing.

#include "jet/Recordset.h"

#include "jet/Catalogue.h"
#include "jet/RecordsetState.h"
#include "jet/storage/Transaction.h"

namespace lumo::jet {

namespace {

// The option bits OpenRecordset knows (dbDenyWrite 1 ... dbExecDirect 2048).
constexpr int kKnownOptions = 0xFFF;

int ReportedType(EngineKind engine, int requested) {
  switch (engine) {
    case EngineKind::kTable: return dbOpenTable;
    case EngineKind::kForward: return dbOpenForwardOnly;
    case EngineKind::kKeyset: return dbOpenDynaset;
    case EngineKind::kSnapshot: return requested == dbOpenDynaset ? dbOpenDynaset : dbOpenSnapshot;
  }
  return requested;
}

std::unique_ptr<RecordSource> MakeEngine(const std::shared_ptr<DatabaseFile>& file, EngineKind engine,
                                         const ShapePtr& shape, bool appendOnly) {
  switch (engine) {
    case EngineKind::kKeyset:
      if (shape->plan.primaryKey) return MakePrimaryKeySource(file, shape, appendOnly);
      return MakeKeysetSource(file, shape, appendOnly);
    case EngineKind::kSnapshot: return MakeSnapshotSource(file, shape);
    case EngineKind::kForward: return MakeForwardSource(file, shape);
    case EngineKind::kTable: return MakeTableSource(file, shape);
  }
  return nullptr;
}

// A read transaction around several reads, unless the connection is in a transaction already.
class ReadScope : public storage::ReadScope {
 public:
  explicit ReadScope(DatabaseFile& file) : storage::ReadScope(file.Connection()) {}
};

}  // namespace

Recordset::Recordset(std::shared_ptr<DatabaseFile> file, RecordsetSource source)
    : DaoObject("DAO.Recordset"), state_(std::make_unique<State>()) {
  state_->file = std::move(file);
  state_->source = std::move(source);
}

Recordset::~Recordset() {
  if (!state_) return;
  for (const auto& field : state_->fields) field->Detach();
}

std::shared_ptr<Recordset> Recordset::Open(std::shared_ptr<DatabaseFile> file, RecordsetSource source, int type,
                                           int options, int lockEdit) {
  if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, "DAO.Database");
  const bool forward = type == dbOpenForwardOnly || (options & dbForwardOnly) != 0;
  const bool badType =
      type != 0 && type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot && type != dbOpenForwardOnly;
  // Dynamic recordsets belong to ODBC direct connections, which a file does not have.
  if (badType || (options & ~kKnownOptions) != 0 || ((options & dbConsistent) && (options & dbInconsistent)) ||
      lockEdit < 0 || lockEdit > dbOptimisticBatch || (lockEdit == dbReadOnlyLock && (options & dbReadOnly)) ||
      (type == dbOpenTable && forward)) {
    RaiseDaoError(kDaoInvalidArgument, {}, "DAO.Database");
  }
  // The reads of opening (the catalogue, the first keys, the first row) share one read
  // transaction: each one of its own would take and release the file's locks again.
  ReadScope read(*file);
  // Without a type, a plain table opens as a table-type recordset.
  const bool tableType = type == dbOpenTable ||
                         (type == 0 && !forward && source.sql.empty() && source.filter.empty() && source.sort.empty());
  OpenedSource opened = PlanSource(*file, source, tableType);

  EngineKind engine = EngineKind::kSnapshot;
  // A table without row ids opens as a dynaset over its primary key, also where a
  // table-type recordset was asked for.
  const bool byPrimaryKey = opened.shape.plan.primaryKey != nullptr;
  if (tableType && opened.keyable && !byPrimaryKey) {
    engine = EngineKind::kTable;
  } else if (forward) {
    engine = EngineKind::kForward;
  } else if (type != dbOpenSnapshot && opened.keyable) {
    engine = EngineKind::kKeyset;
  }
  const bool readOnly = (options & dbReadOnly) != 0 || lockEdit == dbReadOnlyLock || file->ReadOnly();
  const bool updatable = !readOnly && (engine == EngineKind::kKeyset || engine == EngineKind::kTable);
  for (RecordsetColumn& column : opened.shape.columns) {
    column.updatable = updatable && !column.baseColumn.empty() && (column.type.attributes & dbAutoIncrField) == 0;
  }

  std::shared_ptr<Recordset> recordset(new Recordset(file, std::move(source)));
  State& s = *recordset->state_;
  s.type = ReportedType(engine, type);
  s.options = options;
  s.engine = engine;
  s.updatable = updatable;
  s.lockEdits = lockEdit == 0 || lockEdit == dbPessimistic;
  s.appendOnly = (options & dbAppendOnly) != 0 && engine == EngineKind::kKeyset;
  s.maxRecords = s.source.maxRecords;
  s.shape = std::make_shared<const RecordShape>(std::move(opened.shape));
  s.columnCount = static_cast<int>(s.Columns().size());
  // A scan reads on a connection of its own when the file's is not in a transaction.
  if (engine == EngineKind::kSnapshot || engine == EngineKind::kForward) read.End();
  s.rows = MakeEngine(file, engine, s.shape, s.appendOnly);
  if (engine == EngineKind::kTable) s.table = static_cast<TableSource*>(s.rows.get());
  s.bookmarks = std::make_shared<BookmarkTable>();
  recordset->BuildFields();
  // Opening makes the first row current.
  const RowPosition first = s.rows->First();
  if (first == kNoRow) {
    s.bof = s.eof = true;
  } else {
    recordset->Land(first);
  }
  read.End();
  return recordset;
}

std::shared_ptr<Recordset> Recordset::OpenOver(std::shared_ptr<DatabaseFile> file, RecordsetSource source,
                                               ExternalRows rows) {
  if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, "DAO.Database");
  std::shared_ptr<Recordset> recordset(new Recordset(file, std::move(source)));
  State& s = *recordset->state_;
  s.type = rows.type;
  s.options = rows.options;
  s.engine = rows.engine;
  s.updatable = rows.updatable;
  s.lockEdits = rows.lockEdits;
  s.maxRecords = static_cast<int>(rows.shape->plan.maxRecords);
  s.shape = std::move(rows.shape);
  s.columnCount = static_cast<int>(s.Columns().size());
  s.makeRows = std::move(rows.make);
  s.rows = s.makeRows(s.shape);
  s.bookmarks = std::make_shared<BookmarkTable>();
  recordset->BuildFields();
  const RowPosition first = s.rows->First();
  if (first == kNoRow) {
    s.bof = s.eof = true;
  } else {
    recordset->Land(first);
  }
  return recordset;
}

void Recordset::BuildFields() {
  State& s = *state_;
  const auto& columns = s.Columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    const RecordsetColumn& column = columns[i];
    auto field = std::make_shared<Field>(column.name, column.type, this, static_cast<int>(i));
    field->Describe(static_cast<int>(i), column.required, column.allowZeroLength, column.defaultValue,
                    column.sourceTable, column.sourceField, column.updatable);
    field->SetCatalogue(s.file);  // Format, Caption ... of the source field
    field->Freeze();
    s.fields.Add(std::move(field));
  }
}

void Recordset::Land(RowPosition position) {
  State& s = *state_;
  if (s.editMode != dbEditNone) DiscardEdit();
  s.position = position;
  s.rowRead = false;
  if (position == kNoRow) return;
  s.bof = s.eof = false;
  // Positions grow along the list (a table renumbers and counts otherwise).
  if (s.engine != EngineKind::kTable && position > s.highestVisited) s.highestVisited = position;
}

void Recordset::DiscardEdit() {
  State& s = *state_;
  if (s.editMode == dbEditNone) return;
  s.editMode = dbEditNone;
  s.buffer.clear();
  s.changed.clear();
  s.chunkStarted.clear();
  s.originals.clear();
  s.ReleaseLock();
}

RowPosition Recordset::CurrentRow() const {
  State& s = *state_;
  if (!s.OnRow()) RaiseRecordsetError(3021);
  if (!s.LoadRow(s.position)) RaiseRecordsetError(3167);
  s.rowRead = true;
  return s.position;
}

void Recordset::RefuseForwardOnly() const {
  if (state_->engine == EngineKind::kForward) RaiseRecordsetError(3251);
}

const std::string& Recordset::Name() const { return Live().source.name; }
int Recordset::Type() const { return Live().type; }
bool Recordset::Updatable() const { return Live().updatable; }
bool Recordset::Bookmarkable() const { return Live().engine != EngineKind::kForward; }
bool Recordset::Restartable() const { return Live().engine != EngineKind::kTable; }

Collection<Field>& Recordset::Fields() { return Live().fields; }

PropertyCollection& Recordset::Properties() {
  State& s = Live();
  if (!s.properties) {
    s.properties = std::make_unique<PropertyCollection>();
    auto add = [&](const char* name, int type, Property::Getter getter) {
      s.properties->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter)));
    };
    add("Name", dbText, [this] { return Variant(Name()); });
    add("Type", dbInteger, [this] { return Variant(Type()); });
    add("Updatable", dbBoolean, [this] { return Variant(Updatable()); });
    add("Bookmarkable", dbBoolean, [this] { return Variant(Bookmarkable()); });
    add("Restartable", dbBoolean, [this] { return Variant(Restartable()); });
    add("RecordCount", dbLong, [this] { return Variant(RecordCount()); });
    add("EditMode", dbInteger, [this] { return Variant(EditMode()); });
    add("LockEdits", dbBoolean, [this] { return Variant(LockEdits()); });
    add("NoMatch", dbBoolean, [this] { return Variant(NoMatch()); });
    add("Filter", dbText, [this] { return Variant(Filter()); });
    add("Sort", dbText, [this] { return Variant(Sort()); });
    add("DateCreated", dbDate, [this] { return DateCreated(); });
    add("LastUpdated", dbDate, [this] { return LastUpdated(); });
  }
  return *s.properties;
}

void Recordset::Close() {
  State& s = Live();
  DiscardEdit();
  s.rows->Release();
  for (const auto& field : s.fields) field->Detach();
  Invalidate();
  s.rows.reset();
  s.table = nullptr;
  s.file.reset();
}

std::shared_ptr<Recordset> Recordset::Clone() {
  State& s = Live();
  RefuseForwardOnly();
  std::shared_ptr<Recordset> clone(new Recordset(s.file, s.source));
  State& c = *clone->state_;
  c.type = s.type;
  c.options = s.options;
  c.engine = s.engine;
  c.updatable = s.updatable;
  c.lockEdits = s.lockEdits;
  c.appendOnly = s.appendOnly;
  c.shape = s.shape;
  c.columnCount = s.columnCount;
  c.makeRows = s.makeRows;
  c.rows = s.rows->Clone();
  if (c.engine == EngineKind::kTable) c.table = static_cast<TableSource*>(c.rows.get());
  c.bookmarks = s.bookmarks;  // bookmarks work across clones
  c.filter = s.filter;
  c.sort = s.sort;
  c.maxRecords = s.maxRecords;
  // A clone has no current record until it is moved.
  c.bof = c.eof = false;
  c.position = kNoRow;
  clone->BuildFields();
  return clone;
}

void Recordset::Reopen() {
  State& s = *state_;
  DiscardEdit();
  if (s.maxRecords != s.Plan().maxRecords) {
    auto shape = std::make_shared<RecordShape>(*s.shape);
    shape->plan.maxRecords = s.maxRecords;
    s.shape = std::move(shape);
  }
  s.rows->Release();
  s.rows = s.makeRows ? s.makeRows(s.shape) : MakeEngine(s.file, s.engine, s.shape, s.appendOnly);
  s.bookmarks = std::make_shared<BookmarkTable>();  // bookmarks do not survive a requery
  s.lastModified.reset();
  s.highestVisited = kNoRow;
  s.position = kNoRow;
  const RowPosition first = s.rows->First();
  if (first == kNoRow) {
    s.bof = s.eof = true;
  } else {
    Land(first);
  }
}

void Recordset::Requery() {
  State& s = Live();
  if (s.engine == EngineKind::kTable) RaiseRecordsetError(3251);
  Reopen();
}

const std::string& Recordset::Filter() const { return Live().filter; }

void Recordset::SetFilter(const std::string& criteria) {
  State& s = Live();
  if (s.engine == EngineKind::kTable) RaiseRecordsetError(3251);
  s.filter = criteria;
}

const std::string& Recordset::Sort() const { return Live().sort; }

void Recordset::SetSort(const std::string& order) {
  State& s = Live();
  if (s.engine == EngineKind::kTable || s.engine == EngineKind::kForward) RaiseRecordsetError(3251);
  s.sort = order;
}

std::shared_ptr<Recordset> Recordset::OpenRecordset(int type, int options) {
  State& s = Live();
  // The engine's planning would read the server's SQL as Jet SQL.
  if (s.makeRows) RaiseRecordsetError(3251);
  RecordsetSource source = s.source;
  if (s.engine == EngineKind::kTable) {
    // The rows of the table in the order of the current index.
    source.sort.clear();
    if (!s.index.empty()) {
      if (const IndexInfo* index = s.Plan().table->FindIndex(s.index)) {
        for (const IndexFieldInfo& field : index->fields) {
          if (!source.sort.empty()) source.sort += ", ";
          source.sort += "[" + field.name + "]" + (field.descending ? " DESC" : "");
        }
      }
    }
  } else {
    if (!s.filter.empty()) {
      source.filter = source.filter.empty() ? s.filter : "(" + source.filter + ") AND (" + s.filter + ")";
    }
    if (!s.sort.empty()) source.sort = s.sort;
  }
  source.maxRecords = s.maxRecords;
  if (type == 0) {
    type = s.engine == EngineKind::kTable ? dbOpenDynaset : s.type;
  }
  if (type == dbOpenTable) RaiseRecordsetError(3219);
  // The new recordset shows the rows of this one: append-only applies to opening a source.
  options &= ~dbAppendOnly;
  options |= s.options & dbReadOnly;
  return Open(s.file, std::move(source), type, options, s.lockEdits ? dbPessimistic : dbOptimistic);
}

Variant Recordset::DateCreated() const {
  State& s = Live();
  if (s.source.sql.empty()) {
    if (auto table = s.file->Schema().Table(s.source.table)) return table->dateCreated;
  } else if (auto query = s.file->Schema().FindQuery(s.source.name)) {
    return query->dateCreated;
  }
  return Variant::Null();
}

Variant Recordset::LastUpdated() const {
  State& s = Live();
  if (s.source.sql.empty()) {
    if (auto table = s.file->Schema().Table(s.source.table)) return table->lastUpdated;
  } else if (auto query = s.file->Schema().FindQuery(s.source.name)) {
    return query->lastUpdated;
  }
  return Variant::Null();
}

int Recordset::MaxRecords() const { return Live().maxRecords; }

void Recordset::SetMaxRecords(int maxRecords) {
  State& s = Live();
  if (maxRecords < 0) RaiseRecordsetError(kDaoInvalidArgument);
  s.maxRecords = maxRecords;
}

}  // namespace lumo::jet
