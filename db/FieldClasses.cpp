// Published properties of the field classes, their registration for form descriptions, the
// type-to-class table, and TFields.

#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/Fields.h"
#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

const ClassInfo& TField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TField>("TField", &TComponent::StaticClass)
          .String("FieldName", &TField::FieldName, &TField::SetFieldName)
          .String("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel)
          .Integer(
              "DisplayWidth", [](TField& f) { return f.DisplayWidth(); }, &TField::SetDisplayWidth,
              0)
          .Enumeration("FieldKind", &TField::FieldKind, &TField::SetFieldKind,
                       {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc"}, TFieldKind::fkData)
          .Boolean("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly, false)
          .Boolean("Required", &TField::Required, &TField::SetRequired, false)
          .Boolean("Visible", &TField::Visible, &TField::SetVisible, true)
          .String("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression)
          .Boolean("LookupCache", &TField::LookupCache, &TField::SetLookupCache, false)
          .String("KeyFields", &TField::KeyFields, &TField::SetKeyFields)
          .String("LookupKeyFields", &TField::LookupKeyFields, &TField::SetLookupKeyFields)
          .String("LookupResultField", &TField::LookupResultField, &TField::SetLookupResultField)
          .Component("LookupDataSet", &TField::LookupDataSet, &TField::SetLookupDataSet)
          .Event("OnChange", &TField::OnChange)
          .Event("OnGetText", &TField::OnGetText)
          .Event("OnSetText", &TField::OnSetText)
          .Event("OnValidate", &TField::OnValidate);
  return info;
}
const ClassInfo& TField::ClassType() const { return StaticClass(); }

const ClassInfo& TStringField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TStringField>("TStringField", &TField::StaticClass)
          .Integer("Size", &TStringField::Size, &TStringField::SetSize, 20)
          .Boolean("FixedChar", &TStringField::FixedChar, &TStringField::SetFixedChar, false);
  return info;
}
const ClassInfo& TStringField::ClassType() const { return StaticClass(); }

const ClassInfo& TIntegerField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TIntegerField>("TIntegerField", &TField::StaticClass);
  return info;
}
const ClassInfo& TIntegerField::ClassType() const { return StaticClass(); }

const ClassInfo& TSmallintField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TSmallintField>("TSmallintField", &TIntegerField::StaticClass);
  return info;
}
const ClassInfo& TSmallintField::ClassType() const { return StaticClass(); }

const ClassInfo& TWordField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TWordField>("TWordField", &TIntegerField::StaticClass);
  return info;
}
const ClassInfo& TWordField::ClassType() const { return StaticClass(); }

const ClassInfo& TAutoIncField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TAutoIncField>("TAutoIncField", &TIntegerField::StaticClass);
  return info;
}
const ClassInfo& TAutoIncField::ClassType() const { return StaticClass(); }

const ClassInfo& TBooleanField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TBooleanField>("TBooleanField", &TField::StaticClass);
  return info;
}
const ClassInfo& TBooleanField::ClassType() const { return StaticClass(); }

const ClassInfo& TFloatField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TFloatField>("TFloatField", &TField::StaticClass)
          .Integer("Precision", &TFloatField::Precision, &TFloatField::SetPrecision, 15)
          .Boolean("Currency", &TFloatField::Currency, &TFloatField::SetCurrency, false);
  return info;
}
const ClassInfo& TFloatField::ClassType() const { return StaticClass(); }

const ClassInfo& TCurrencyField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TCurrencyField>("TCurrencyField", &TFloatField::StaticClass)
          .Boolean("Currency", &TCurrencyField::Currency, &TCurrencyField::SetCurrency, true);
  return info;
}
const ClassInfo& TCurrencyField::ClassType() const { return StaticClass(); }

const ClassInfo& TBCDField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TBCDField>("TBCDField", &TFloatField::StaticClass);
  return info;
}
const ClassInfo& TBCDField::ClassType() const { return StaticClass(); }

const ClassInfo& TDateTimeField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TDateTimeField>("TDateTimeField", &TField::StaticClass)
                                    .String("DisplayFormat", &TDateTimeField::DisplayFormat,
                                            &TDateTimeField::SetDisplayFormat);
  return info;
}
const ClassInfo& TDateTimeField::ClassType() const { return StaticClass(); }

const ClassInfo& TDateField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TDateField>("TDateField", &TDateTimeField::StaticClass);
  return info;
}
const ClassInfo& TDateField::ClassType() const { return StaticClass(); }

const ClassInfo& TTimeField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TTimeField>("TTimeField", &TDateTimeField::StaticClass);
  return info;
}
const ClassInfo& TTimeField::ClassType() const { return StaticClass(); }

const ClassInfo& TBytesField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TBytesField>("TBytesField", &TField::StaticClass)
                                    .Integer("Size", &TBytesField::Size, &TBytesField::SetSize, 16);
  return info;
}
const ClassInfo& TBytesField::ClassType() const { return StaticClass(); }

const ClassInfo& TVarBytesField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TVarBytesField>("TVarBytesField", &TBytesField::StaticClass);
  return info;
}
const ClassInfo& TVarBytesField::ClassType() const { return StaticClass(); }

const ClassInfo& TBlobField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TBlobField>("TBlobField", &TField::StaticClass)
                                    .Integer("Size", &TBlobField::Size, &TBlobField::SetSize, 0);
  return info;
}
const ClassInfo& TBlobField::ClassType() const { return StaticClass(); }

const ClassInfo& TMemoField::StaticClass() {
  static const ClassInfo info = ClassBuilder<TMemoField>("TMemoField", &TBlobField::StaticClass);
  return info;
}
const ClassInfo& TMemoField::ClassType() const { return StaticClass(); }

const ClassInfo& TGraphicField::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TGraphicField>("TGraphicField", &TBlobField::StaticClass);
  return info;
}
const ClassInfo& TGraphicField::ClassType() const { return StaticClass(); }

const ClassInfo* FieldClassOf(TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return &TStringField::StaticClass();
    case ftSmallint: return &TSmallintField::StaticClass();
    case ftInteger:
    case ftLargeint: return &TIntegerField::StaticClass();
    case ftWord: return &TWordField::StaticClass();
    case ftAutoInc: return &TAutoIncField::StaticClass();
    case ftBoolean: return &TBooleanField::StaticClass();
    case ftFloat: return &TFloatField::StaticClass();
    case ftCurrency: return &TCurrencyField::StaticClass();
    case ftBCD: return &TBCDField::StaticClass();
    case ftDate: return &TDateField::StaticClass();
    case ftTime: return &TTimeField::StaticClass();
    case ftDateTime: return &TDateTimeField::StaticClass();
    case ftBytes: return &TBytesField::StaticClass();
    case ftVarBytes: return &TVarBytesField::StaticClass();
    case ftBlob:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle: return &TBlobField::StaticClass();
    case ftMemo:
    case ftFmtMemo: return &TMemoField::StaticClass();
    case ftGraphic: return &TGraphicField::StaticClass();
    default: return nullptr;
  }
}

void RegisterFieldClasses() {
  static const bool registered = [] {
    for (const ClassInfo* info :
         {&TStringField::StaticClass(), &TSmallintField::StaticClass(),
          &TIntegerField::StaticClass(), &TWordField::StaticClass(), &TAutoIncField::StaticClass(),
          &TBooleanField::StaticClass(), &TFloatField::StaticClass(),
          &TCurrencyField::StaticClass(), &TBCDField::StaticClass(), &TDateField::StaticClass(),
          &TTimeField::StaticClass(), &TDateTimeField::StaticClass(), &TBytesField::StaticClass(),
          &TVarBytesField::StaticClass(), &TBlobField::StaticClass(), &TMemoField::StaticClass(),
          &TGraphicField::StaticClass(), &TDataSource::StaticClass()}) {
      RegisterClass(*info);
    }
    return true;
  }();
  (void)registered;
}

// --- TFields ---------------------------------------------------------------------------------

TField* TFields::Fields(int index) const {
  if (index < 0 || index >= Count()) {
    throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)];
}

TField* TFields::FindField(const std::string& name) const {
  for (TField* field : items_) {
    if (SameText(field->FieldName(), name)) return field;
  }
  return nullptr;
}

int TFields::IndexOf(const TField* field) const {
  auto found = std::find(items_.begin(), items_.end(), field);
  return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void TFields::Add(TField* field) { items_.push_back(field); }

void TFields::Remove(TField* field) {
  auto found = std::find(items_.begin(), items_.end(), field);
  if (found != items_.end()) items_.erase(found);
}

void TFields::Move(int from, int to) {
  if (from < 0 || from >= Count()) return;
  to = std::clamp(to, 0, Count() - 1);
  TField* field = items_[static_cast<size_t>(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, field);
}

}  // namespace lumo
