#include "jet/TableDef.h"

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/Recordset.h"
#include "jet/RowCounts.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr int kInvalidOperation = 3219;
constexpr const char* kSource = "DAO.TableDef";

std::shared_ptr<Field> FieldFromColumn(const ColumnInfo& column, const TableInfo& table,
                                       const std::shared_ptr<DatabaseFile>& file) {
  auto field = std::make_shared<Field>(column.name, column.type);
  const bool updatable = (column.type.attributes & dbAutoIncrField) == 0 && table.attributes == 0 && !file->ReadOnly();
  field->Describe(column.ordinal, column.required, column.allowZeroLength, column.defaultValue, table.name, column.name,
                  updatable);
  field->SetCatalogue(file);
  return field;
}

std::shared_ptr<Index> IndexFromInfo(const IndexInfo& info, const TableInfo& table) {
  auto index = std::make_shared<Index>(info.name);
  index->SetPrimary(info.primary);
  index->SetUnique(info.unique);
  index->SetRequired(info.required);
  index->SetIgnoreNulls(info.ignoreNulls);
  if (info.foreign) index->MarkForeign();
  for (const IndexFieldInfo& fieldInfo : info.fields) {
    const ColumnInfo* column = table.FindColumn(fieldInfo.name);
    JetFieldType type = column ? column->type : JetFieldType{};
    type.attributes = (type.attributes & ~dbDescending) | (fieldInfo.descending ? dbDescending : 0);
    auto field = std::make_shared<Field>(fieldInfo.name, type);
    field->MarkIndexField();
    field->Describe(column ? column->ordinal : 0, false, false, {}, table.name, fieldInfo.name, false);
    index->Fields().Append(field);
  }
  index->Freeze();
  return index;
}

}  // namespace

// The fields of a table definition: in memory until the table exists, then columns.
class TableDef::FieldList : public Collection<Field> {
 public:
  explicit FieldList(TableDef& owner) : Collection<Field>(kSource), owner_(owner) {}

  void Refresh() override {
    if (owner_.IsAppended()) owner_.BuildFields();
  }
  void Append(std::shared_ptr<Field> field) override {
    owner_.CheckValid();
    if (!field || field->Name().empty()) RaiseDaoError(3001, {}, kSource);
    if (!owner_.IsAppended()) {
      Collection<Field>::Append(std::move(field));
      return;
    }
    if (field->IsFrozen()) RaiseDaoError(kInvalidOperation, {}, kSource);
    owner_.file_->SchemaChanges(kSource)->AddColumn(owner_.name_, TableDef::DesignOf(*field));
    field->PersistProperties(owner_.file_, owner_.name_);
    owner_.BuildFields();
  }
  void Delete(std::string_view name) override {
    owner_.CheckValid();
    if (!owner_.IsAppended()) {
      Collection<Field>::Delete(name);
      return;
    }
    std::shared_ptr<Field> field = Find(name);
    owner_.file_->SchemaChanges(kSource)->DropColumn(owner_.name_, std::string(name), 3265);
    if (field) field->Detach();
    owner_.BuildFields();
  }
  using Collection<Field>::Reset;

 private:
  TableDef& owner_;
};

// The indexes of a table definition: in memory until the table exists, then in the file.
class TableDef::IndexList : public Collection<Index> {
 public:
  explicit IndexList(TableDef& owner) : Collection<Index>(kSource), owner_(owner) {}

  void Refresh() override {
    if (owner_.IsAppended()) owner_.BuildIndexes();
  }
  void Append(std::shared_ptr<Index> index) override {
    owner_.CheckValid();
    if (!index || index->Name().empty()) RaiseDaoError(3001, {}, kSource);
    if (!owner_.IsAppended()) {
      Collection<Index>::Append(std::move(index));
      return;
    }
    if (index->IsFrozen()) RaiseDaoError(kInvalidOperation, {}, kSource);
    owner_.file_->SchemaChanges(kSource)->CreateIndex(owner_.name_, TableDef::DesignOf(*index));
    index->Freeze();
    owner_.BuildIndexes();
  }
  void Delete(std::string_view name) override {
    owner_.CheckValid();
    if (!owner_.IsAppended()) {
      Collection<Index>::Delete(name);
      return;
    }
    std::shared_ptr<Index> index = Find(name);
    owner_.file_->SchemaChanges(kSource)->DropIndex(owner_.name_, std::string(name), 3265);
    owner_.BuildIndexes();
  }
  using Collection<Index>::Reset;

 private:
  TableDef& owner_;
};

TableDef::TableDef(std::string name, int32_t attributes)
    : DaoObject(kSource), name_(std::move(name)), attributes_(attributes) {}

TableDef::~TableDef() = default;

ColumnDesign TableDef::DesignOf(const Field& field) {
  ColumnDesign design;
  design.name = field.Name();
  design.type = field.FieldType();
  design.required = field.Required();
  design.allowZeroLength = field.AllowZeroLength();
  design.defaultValue = field.DefaultValue();
  return design;
}

DdlIndex TableDef::DesignOf(Index& index) {
  DdlIndex design;
  design.name = index.Name();
  design.primary = index.Primary();
  design.unique = index.Unique();
  design.required = index.Required();
  design.ignoreNulls = index.IgnoreNulls();
  for (const auto& field : index.Fields()) {
    design.fields.push_back({field->Name(), (field->FieldType().attributes & dbDescending) != 0});
  }
  return design;
}

void TableDef::SetName(const std::string& name) {
  CheckValid();
  if (IsAppended()) Raise(kInvalidOperation);
  if (name.empty() || name.size() > 64) Raise(3001);
  name_ = name;
}

void TableDef::SetAttributes(int32_t attributes) {
  CheckValid();
  if (IsAppended()) Raise(kInvalidOperation);
  attributes_ = attributes;
}

std::shared_ptr<const TableInfo> TableDef::Info() const {
  CheckValid();
  if (!file_) return nullptr;
  if (!file_->IsOpen()) Raise(3420);
  auto info = file_->Schema().Table(name_);
  // Dropped behind this object's back (by SQL or another process).
  if (!info) Raise(3420);
  return info;
}

Variant TableDef::DateCreated() const {
  auto info = Info();
  return info ? info->dateCreated : Variant::Null();
}

Variant TableDef::LastUpdated() const {
  auto info = Info();
  return info ? info->lastUpdated : Variant::Null();
}

int TableDef::RecordCount() const {
  auto info = Info();
  if (!info) return 0;
  return static_cast<int>(TableRows(*file_, *info));
}

bool TableDef::Updatable() const {
  auto info = Info();
  if (!info) return true;
  return !file_->ReadOnly() && (attributes_ & dbSystemObject) == 0;
}

Collection<Field>& TableDef::Fields() {
  CheckValid();
  if (!fields_) {
    fields_ = std::make_unique<FieldList>(*this);
    if (IsAppended()) BuildFields();
  }
  return *fields_;
}

Collection<Index>& TableDef::Indexes() {
  CheckValid();
  if (!indexes_) {
    indexes_ = std::make_unique<IndexList>(*this);
    if (IsAppended()) BuildIndexes();
  }
  return *indexes_;
}

void TableDef::BuildFields() {
  auto info = Info();
  if (!fields_) fields_ = std::make_unique<FieldList>(*this);
  auto& list = static_cast<FieldList&>(*fields_);
  std::vector<std::shared_ptr<Field>> fields;
  for (const ColumnInfo& column : info->columns) {
    // Keep the objects callers already hold when they still describe a column.
    std::shared_ptr<Field> existing = list.Find(column.name);
    if (existing && existing->IsValid() && existing->FieldType() == column.type) {
      existing->Describe(column.ordinal, column.required, column.allowZeroLength, column.defaultValue, info->name,
                         column.name, existing->DataUpdatable());
      fields.push_back(existing);
    } else {
      fields.push_back(FieldFromColumn(column, *info, file_));
    }
  }
  list.Reset(std::move(fields));
}

void TableDef::BuildIndexes() {
  auto info = Info();
  if (!indexes_) indexes_ = std::make_unique<IndexList>(*this);
  std::vector<std::shared_ptr<Index>> indexes;
  for (const IndexInfo& index : info->indexes) indexes.push_back(IndexFromInfo(index, *info));
  static_cast<IndexList&>(*indexes_).Reset(std::move(indexes));
}

PropertyCollection& TableDef::Properties() {
  CheckValid();
  if (properties_) return *properties_;
  properties_ = std::make_unique<PropertyCollection>();
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    properties_->AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add(
      "Name", dbText, [this] { return Variant(name_); }, [this](const Variant& v) { SetName(v.AsString()); });
  add("Updatable", dbBoolean, [this] { return Variant(Updatable()); });
  add("DateCreated", dbDate, [this] { return DateCreated(); });
  add("LastUpdated", dbDate, [this] { return LastUpdated(); });
  add("Connect", dbText, [] { return Variant(""); });
  add(
      "Attributes", dbLong, [this] { return Variant(attributes_); },
      [this](const Variant& v) { SetAttributes(v.AsInteger()); });
  add("SourceTableName", dbText, [] { return Variant(""); });
  add("RecordCount", dbLong, [this] { return Variant(RecordCount()); });
  add("ValidationRule", dbText, [] { return Variant(""); });
  add("ValidationText", dbText, [] { return Variant(""); });
  add("ConflictTable", dbText, [] { return Variant(""); });
  if (IsAppended()) {
    for (auto& stored : file_->Schema().Properties(name_, "")) {
      if (properties_->Find(stored.name)) continue;
      properties_->AddBuiltIn(std::make_shared<Property>(stored.name, stored.type, stored.value));
    }
    HookProperties();
  }
  return *properties_;
}

void TableDef::PersistProperties() {
  if (!file_) return;
  if (fields_) {
    for (const auto& field : *fields_) field->PersistProperties(file_, name_);
  }
  if (!properties_) return;
  for (const auto& property : *properties_) {
    if (property->IsBuiltIn()) continue;
    file_->Schema().StoreProperty(name_, "", property->Name(), property->Type() != 0 ? property->Type() : dbText,
                                  property->Value());
  }
  HookProperties();
}

void TableDef::HookProperties() {
  std::weak_ptr<DatabaseFile> weak = file_;
  const std::string table = name_;
  auto store = [weak, table](const Property& property) {
    auto file = weak.lock();
    if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, kSource);
    file->Schema().StoreProperty(table, "", property.Name(), property.Type() != 0 ? property.Type() : dbText,
                                 property.Value());
  };
  for (const auto& property : *properties_) {
    if (!property->IsBuiltIn()) property->onChange = store;
  }
  properties_->onStore = store;
  properties_->onRemove = [weak, table](const std::string& name) {
    auto file = weak.lock();
    if (!file || !file->IsOpen()) RaiseDaoError(3420, {}, kSource);
    file->Schema().RemoveProperty(table, "", name);
  };
}

std::shared_ptr<Field> TableDef::CreateField(const std::string& name, int type, int size) {
  CheckValid();
  auto field = std::make_shared<Field>(name, JetFieldType{});
  field->SetType(type);
  if (size > 0) field->SetSize(size);
  return field;
}

std::shared_ptr<Index> TableDef::CreateIndex(const std::string& name) {
  CheckValid();
  return std::make_shared<Index>(name);
}

std::shared_ptr<Recordset> TableDef::OpenRecordset(int type, int options) {
  auto info = Info();
  if (!info) Raise(kInvalidOperation);
  RecordsetSource source;
  source.name = info->name;
  source.table = info->name;
  return Recordset::Open(file_, std::move(source), type, options, 0);
}

void TableDef::Attach(std::shared_ptr<DatabaseFile> file) {
  const bool created = !file_;
  file_ = std::move(file);
  // What a new table's design carried goes to the file before the fields are read back.
  if (created) PersistProperties();
  if (fields_) BuildFields();
  if (indexes_) BuildIndexes();
}

TableDesign TableDef::Design() {
  CheckValid();
  TableDesign design;
  design.name = name_;
  for (const auto& field : Fields()) design.columns.push_back(DesignOf(*field));
  if (design.columns.empty()) Raise(3264);
  for (const auto& index : Indexes()) design.indexes.push_back(DesignOf(*index));
  return design;
}

void TableDef::Detach() noexcept {
  if (fields_) {
    for (const auto& field : *fields_) field->Detach();
  }
  Invalidate();
}

}  // namespace lumo::jet
