// Field: the description members and the Properties collection. The value members (Value,
// FieldSize, GetChunk, AppendChunk) belong to the recordset side, in FieldValue.cpp.

#include "jet/Field.h"

#include "jet/Catalogue.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/FieldDefault.h"

namespace lumo::jet {

namespace {

constexpr int kInvalidOperation = 3219;
constexpr int kInvalidFieldType = 3259;

bool IsKnownType(int type) {
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDate:
    case dbBinary:
    case dbText:
    case dbLongBinary:
    case dbMemo:
    case dbGUID:
    case dbBigInt:
    case dbVarBinary:
    case dbChar:
    case dbNumeric:
    case dbDecimal:
    case dbFloat:
    case dbTime:
    case dbTimeStamp: return true;
    default: return false;
  }
}

// Size and attribute bits a field of `type` has when nothing else is said: the declared type
// the engine would write, read back, is the one description of types there is.
JetFieldType TypeWithDefaults(int type, int size, int autoIncrement) {
  JetFieldType field;
  field.type = type;
  field.size = size;
  JetFieldType mapped = MapDeclaredType(DeclaredTypeName(field), false);
  mapped.type = type;
  if (type == dbText || type == dbBinary || type == dbChar || type == dbVarBinary) {
    mapped.size = size > 0 ? size : kMaxTextSize;
  }
  mapped.attributes |= autoIncrement;
  return mapped;
}

}  // namespace

Field::Field(std::string name, JetFieldType type) : DaoObject("DAO.Field"), name_(std::move(name)), type_(type) {
  updatable_ = (type_.attributes & dbAutoIncrField) == 0;
  allowZeroLength_ = type_.type == dbText || type_.type == dbMemo || type_.type == dbChar;
}

Field::Field(std::string name, JetFieldType type, Recordset* recordset, int column)
    : DaoObject("DAO.Field"), name_(std::move(name)), type_(type), recordset_(recordset), column_(column) {
  updatable_ = (type_.attributes & dbAutoIncrField) == 0;
  allowZeroLength_ = type_.type == dbText || type_.type == dbMemo || type_.type == dbChar;
  frozen_ = true;
}

void Field::CheckChangeable() const {
  CheckValid();
  if (frozen_ || recordset_ != nullptr) Raise(kInvalidOperation);
}

int Field::Attributes() const {
  if (indexField_) return type_.attributes & dbDescending;
  int attributes = type_.attributes;
  if (updatable_ && (type_.attributes & dbAutoIncrField) == 0) attributes |= dbUpdatableField;
  return attributes;
}

void Field::SetName(const std::string& name) {
  CheckChangeable();
  if (name.empty() || name.size() > 64) Raise(3001);
  name_ = name;
}

void Field::SetType(int type) {
  CheckChangeable();
  if (!IsKnownType(type)) Raise(kInvalidFieldType);
  const int autoIncrement = type == dbLong ? (type_.attributes & dbAutoIncrField) : 0;
  type_ = TypeWithDefaults(type, type_.type == type ? type_.size : 0, autoIncrement);
}

void Field::SetSize(int size) {
  CheckChangeable();
  // Only text and binary fields have a size of their own; the others take it from the type.
  if (type_.type == dbText || type_.type == dbBinary || type_.type == dbChar || type_.type == dbVarBinary) {
    if (size < 0 || size > kMaxTextSize) Raise(3001);
    type_.size = size == 0 ? kMaxTextSize : size;
  }
}

void Field::SetAttributes(int attributes) {
  CheckChangeable();
  descendingAsked_ = (attributes & dbDescending) != 0;
  if (indexField_) {
    // dbDescending shares its bit with dbFixedField; on an index field it is the direction.
    type_.attributes = attributes & dbDescending;
    return;
  }
  // The fixed/variable bits follow from the type, and bits that do not apply are ignored, as
  // DAO ignores them: what a caller sets is the counter bit of a Long.
  if (type_.type == dbLong) {
    type_.attributes = (type_.attributes & ~dbAutoIncrField) | (attributes & dbAutoIncrField);
    updatable_ = (type_.attributes & dbAutoIncrField) == 0;
  }
}

void Field::AdoptAsIndexField() {
  if (indexField_) return;
  indexField_ = true;
  type_.attributes = (type_.attributes & ~dbDescending) | (descendingAsked_ ? dbDescending : 0);
}

void Field::SetRequired(bool required) {
  CheckChangeable();
  required_ = required;
}

void Field::SetAllowZeroLength(bool allow) {
  CheckChangeable();
  allowZeroLength_ = allow;
}

void Field::SetDefaultValue(const std::string& text) {
  CheckChangeable();
  if (text.size() > 255) Raise(3001);
  // A text the engine cannot store as a default is refused now rather than at Append.
  ParseFieldDefault(text, type_);
  defaultValue_ = text;
}

void Field::SetForeignName(const std::string& name) {
  CheckChangeable();
  if (name.size() > 64) Raise(3001);
  foreignName_ = name;
}

void Field::Describe(int ordinal, bool required, bool allowZeroLength, std::string defaultValue,
                     std::string sourceTable, std::string sourceField, bool updatable) {
  ordinal_ = ordinal;
  required_ = required;
  allowZeroLength_ = allowZeroLength;
  defaultValue_ = std::move(defaultValue);
  sourceTable_ = std::move(sourceTable);
  sourceField_ = std::move(sourceField);
  updatable_ = updatable;
  frozen_ = true;
}

void Field::Detach() noexcept {
  recordset_ = nullptr;
  Invalidate();
}

PropertyCollection& Field::Properties() {
  CheckValid();
  if (!properties_) BuildProperties();
  return *properties_;
}

void Field::BuildProperties() {
  properties_ = std::make_unique<PropertyCollection>();
  PropertyCollection& properties = *properties_;
  auto add = [&](const char* name, int type, Property::Getter getter, Property::Setter setter = {}) {
    properties.AddBuiltIn(std::make_shared<Property>(name, type, std::move(getter), std::move(setter)));
  };
  add(
      "Name", dbText, [this] { return Variant(name_); }, [this](const Variant& v) { SetName(v.AsString()); });
  add(
      "Type", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(Type())); },
      [this](const Variant& v) { SetType(v.AsInteger()); });
  add(
      "Size", dbLong, [this] { return Variant(Size()); }, [this](const Variant& v) { SetSize(v.AsInteger()); });
  add(
      "Attributes", dbLong, [this] { return Variant(Attributes()); },
      [this](const Variant& v) { SetAttributes(v.AsInteger()); });
  add("OrdinalPosition", dbInteger, [this] { return Variant::FromSmallint(static_cast<int16_t>(ordinal_)); });
  add(
      "Required", dbBoolean, [this] { return Variant(required_); },
      [this](const Variant& v) { SetRequired(v.AsBoolean()); });
  add(
      "AllowZeroLength", dbBoolean, [this] { return Variant(allowZeroLength_); },
      [this](const Variant& v) { SetAllowZeroLength(v.AsBoolean()); });
  add(
      "DefaultValue", dbText, [this] { return Variant(defaultValue_); },
      [this](const Variant& v) { SetDefaultValue(VarToStr(v)); });
  add("SourceTable", dbText, [this] { return Variant(sourceTable_); });
  add("SourceField", dbText, [this] { return Variant(sourceField_); });
  add("DataUpdatable", dbBoolean, [this] { return Variant(updatable_ && (type_.attributes & dbAutoIncrField) == 0); });
  add("CollatingOrder", dbLong, [] { return Variant(1033); });
  add(
      "ForeignName", dbText, [this] { return Variant(foreignName_); },
      [this](const Variant& v) { SetForeignName(v.AsString()); });
  add("ValidationRule", dbText, [] { return Variant(""); });
  add("ValidationText", dbText, [] { return Variant(""); });
  if (recordset_ != nullptr) {
    add(
        "Value", 0, [this] { return Value(); }, [this](const Variant& v) { SetValue(v); });
  }

  // The user-defined ones, from the database when the field has a table there.
  std::shared_ptr<DatabaseFile> file = file_.lock();
  if (file && file->IsOpen() && !sourceTable_.empty()) {
    const std::string field = sourceField_.empty() ? name_ : sourceField_;
    for (auto& stored : file->Schema().Properties(sourceTable_, field)) {
      if (properties.Find(stored.name)) continue;  // flags the engine keeps for itself
      auto property = std::make_shared<Property>(stored.name, stored.type, stored.value);
      properties.AddBuiltIn(property);  // no store on load: it is stored already
    }
    HookProperties(file);
  }
}

void Field::HookProperties(const std::shared_ptr<DatabaseFile>& file) {
  if (recordset_ != nullptr) {
    // The properties of a recordset's field are those of its table's field, read-only here.
    properties_->onStore = [this](const Property&) { Raise(kInvalidOperation); };
    return;
  }
  std::weak_ptr<DatabaseFile> weak = file;
  const std::string table = sourceTable_;
  const std::string field = name_;
  properties_->onStore = [weak, table, field](const Property& property) {
    std::shared_ptr<DatabaseFile> target = weak.lock();
    if (!target || !target->IsOpen()) RaiseDaoError(3420, {}, "DAO.Field");
    Variant value = property.Value();
    int type = property.Type() != 0 ? property.Type() : (value.Type() == VarType::kString ? dbText : dbMemo);
    target->Schema().StoreProperty(table, field, property.Name(), type, value);
  };
  properties_->onRemove = [weak, table, field](const std::string& name) {
    std::shared_ptr<DatabaseFile> target = weak.lock();
    if (!target || !target->IsOpen()) RaiseDaoError(3420, {}, "DAO.Field");
    target->Schema().RemoveProperty(table, field, name);
  };
  for (const auto& property : *properties_) {
    if (!property->IsBuiltIn()) property->onChange = properties_->onStore;
  }
}

void Field::PersistProperties(const std::shared_ptr<DatabaseFile>& file, const std::string& table) {
  file_ = file;
  sourceTable_ = table;
  sourceField_ = name_;
  if (!properties_) return;
  for (const auto& property : *properties_) {
    if (property->IsBuiltIn()) continue;
    Variant value = property->Value();
    int type = property->Type() != 0 ? property->Type() : dbText;
    file->Schema().StoreProperty(table, name_, property->Name(), type, value);
  }
  HookProperties(file);
}

}  // namespace lumo::jet
