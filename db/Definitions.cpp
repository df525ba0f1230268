// Field and index definitions, and the names of the field types.

#include "db/DataSet.h"
#include "db/FieldDefs.h"
#include "db/IndexDefs.h"
#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

namespace lumo {

const char* FieldTypeText(TFieldType type) {
  static const char* const kNames[] = {
      "Unknown",    "String",     "Smallint", "Integer",     "Word",      "Boolean",
      "Float",      "Currency",   "BCD",      "Date",        "Time",      "DateTime",
      "Bytes",      "VarBytes",   "AutoInc",  "Blob",        "Memo",      "Graphic",
      "FmtMemo",    "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor",    "FixedChar",
      "WideString", "Largeint",   "ADT",      "Array",       "Reference", "DataSet",
      "OraBlob",    "OraClob",    "Variant",  "Interface",   "IDispatch", "Guid"};
  int index = static_cast<int>(type);
  if (index < 0 || index >= static_cast<int>(std::size(kNames))) return "Unknown";
  return kNames[index];
}

// --- field definitions -----------------------------------------------------------------------

const ClassInfo& TFieldDef::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TFieldDef>("TFieldDef", &TObject::StaticClass)
          .String("Name", &TFieldDef::Name, &TFieldDef::SetName)
          .Integer(
              "DataType", [](TFieldDef& d) { return static_cast<int32_t>(d.DataType()); },
              [](TFieldDef& d, int32_t v) { d.SetDataType(static_cast<TFieldType>(v)); }, 0)
          .Integer("Size", &TFieldDef::Size, &TFieldDef::SetSize, 0)
          .Boolean("Required", &TFieldDef::Required, &TFieldDef::SetRequired, false)
          .Integer("Precision", &TFieldDef::Precision, &TFieldDef::SetPrecision, 0);
  return info;
}
const ClassInfo& TFieldDef::ClassType() const { return StaticClass(); }

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataSet) const {
  const ClassInfo* info = FieldClassOf(dataType_);
  if (info == nullptr) {
    throw EDatabaseError("Cannot create field '" + name_ + "' of type " + FieldTypeText(dataType_));
  }
  auto* field = static_cast<TField*>(info->CreateInstance(owner));
  try {
    field->SetFieldName(name_);
    if (field->DataType() == ftString || field->DataType() == ftBytes ||
        field->DataType() == ftVarBytes || field->IsBlob()) {
      field->SetSize(size_);
    }
    field->SetRequired(required_);
    field->SetReadOnly(readOnly_);
    if (internalCalc_) field->SetFieldKind(TFieldKind::fkInternalCalc);
    if (auto* floatField = dynamic_cast<TFloatField*>(field); floatField && precision_ > 0) {
      floatField->SetPrecision(precision_);
    }
    field->SetDataSet(dataSet);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int32_t size, bool required) {
  TFieldDef& def = AddFieldDef();
  def.SetName(name);
  def.SetDataType(type);
  def.SetSize(size);
  def.SetRequired(required);
  return def;
}

TFieldDef& TFieldDefs::AddFieldDef() {
  items_.push_back(std::make_unique<TFieldDef>());
  items_.back()->SetFieldNo(Count());
  return *items_.back();
}

void TFieldDefs::Clear() {
  items_.clear();
  updated_ = false;
}

TFieldDef& TFieldDefs::Items(int index) const {
  if (index < 0 || index >= Count()) {
    throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[static_cast<size_t>(i)]->Name(), name)) return i;
  }
  return -1;
}

TFieldDef* TFieldDefs::FindDef(const std::string& name) const {
  int index = IndexOf(name);
  return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

TFieldDef& TFieldDefs::Find(const std::string& name) const {
  TFieldDef* def = FindDef(name);
  if (def == nullptr) throw EDatabaseError("Field '" + name + "' not found");
  return *def;
}

// --- index definitions -----------------------------------------------------------------------

const ClassInfo& TIndexDef::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TIndexDef>("TIndexDef", &TObject::StaticClass)
          .String("Name", &TIndexDef::Name, &TIndexDef::SetName)
          .String("Fields", &TIndexDef::Fields, &TIndexDef::SetFields)
          .String("Expression", &TIndexDef::Expression, &TIndexDef::SetExpression)
          .String("DescFields", &TIndexDef::DescFields, &TIndexDef::SetDescFields)
          .String("CaseInsFields", &TIndexDef::CaseInsFields, &TIndexDef::SetCaseInsFields)
          .String("Source", &TIndexDef::Source, &TIndexDef::SetSource)
          .Set(
              "Options", [](TIndexDef& d) { return d.Options().Mask(); },
              [](TIndexDef& d, uint32_t mask) { d.SetOptions(TIndexOptions::FromMask(mask)); },
              {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive", "ixExpression",
               "ixNonMaintained"});
  return info;
}
const ClassInfo& TIndexDef::ClassType() const { return StaticClass(); }

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields,
                           TIndexOptions options) {
  TIndexDef& def = AddIndexDef();
  def.SetName(name);
  def.SetFields(fields);
  def.SetOptions(options);
  return def;
}

TIndexDef& TIndexDefs::AddIndexDef() {
  items_.push_back(std::make_unique<TIndexDef>());
  return *items_.back();
}

void TIndexDefs::Delete(int index) {
  (void)Items(index);
  items_.erase(items_.begin() + index);
}

void TIndexDefs::Clear() {
  items_.clear();
  updated_ = false;
}

TIndexDef& TIndexDefs::Items(int index) const {
  if (index < 0 || index >= Count()) {
    throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

int TIndexDefs::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[static_cast<size_t>(i)]->Name(), name)) return i;
  }
  return -1;
}

TIndexDef* TIndexDefs::FindDef(const std::string& name) const {
  int index = IndexOf(name);
  return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

TIndexDef& TIndexDefs::Find(const std::string& name) const {
  TIndexDef* def = FindDef(name);
  if (def == nullptr) throw EDatabaseError("Index '" + name + "' not found");
  return *def;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) const {
  for (const auto& def : items_) {
    const std::string& own = def->Fields();
    if (own.size() >= fields.size() && SameText(own.substr(0, fields.size()), fields) &&
        (own.size() == fields.size() || own[fields.size()] == ';')) {
      return def.get();
    }
  }
  return nullptr;
}

void TIndexDefs::Update() {
  if (dataSet_ != nullptr) dataSet_->RefreshIndexDefinitions();
  updated_ = true;
}

}  // namespace lumo
