#pragma once
// TField: one column of a dataset as program code and data-aware controls see it.
//
// A field reads its value from the dataset's current record through GetData (the dataset's
// FetchFieldValue) and writes it through SetData (the dataset's StoreFieldValue), in the
// binary form of its type (see DataSize() of each class in Fields.h). The As... accessors
// convert between that form and the caller's type; Value is the value as a Variant (Null
// when the field has none).
//
// Default fields are made by the dataset from its field definitions and owned by it.
// Persistent fields are made by code (SetDataSet) or read from a form description nested in
// the dataset's object; they are owned by their owner (the form) and bound to a definition
// by name when the dataset opens.
//
// Errors (EDatabaseError): writing a read-only field "Field '<name>' cannot be modified";
// writing while the dataset is not editing "<dataset>: Dataset not in edit or insert mode";
// a field without dataset "Field '<name>' has no dataset"; a value of the wrong kind
// "<value> is not a valid value for field '<name>'. The allowed range is <min> to <max>";
// "Cannot access field '<name>' as type <type>". EConvertError from text conversions.

#include "db/DbTypes.h"
#include "runtime/Component.h"
#include "runtime/DateTime.h"
#include "runtime/Variant.h"

#include <bitset>
#include <cstdint>
#include <string>

namespace lumo {

class TDataSet;

class TField : public TComponent {
 public:
  explicit TField(TComponent* owner);
  ~TField() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  // --- binding -------------------------------------------------------------------------
  TDataSet* DataSet() const noexcept { return dataSet_; }
  // Joins the dataset's field list (leaving the previous one); raises when that dataset is
  // open.
  void SetDataSet(TDataSet* dataSet);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;
  void NotifyComponentChange(TComponent* component, Operation operation) override;

  const std::string& FieldName() const noexcept { return fieldName_; }
  void SetFieldName(const std::string& name);
  // 1-based definition number of a data field, 0 for calculated and lookup fields.
  int32_t FieldNo() const noexcept { return fieldNo_; }
  void SetFieldNo(int32_t number) { fieldNo_ = number; }
  TFieldType DataType() const noexcept { return dataType_; }
  TFieldKind FieldKind() const noexcept { return fieldKind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const noexcept { return fieldKind_ == TFieldKind::fkCalculated; }
  bool Lookup() const noexcept { return fieldKind_ == TFieldKind::fkLookup; }
  int32_t Size() const noexcept { return size_; }
  virtual void SetSize(int32_t size);
  // Bytes of the field's binary form.
  virtual int32_t DataSize() const { return 0; }
  // Place of a calculated or lookup field in the calculated area (its has-value byte).
  int32_t Offset() const noexcept { return offset_; }
  void SetOffset(int32_t offset) { offset_ = offset; }
  // Place in the dataset's field list (-1 without dataset).
  int Index() const;
  void SetIndex(int index);
  virtual bool IsBlob() const { return false; }

  // --- appearance and rules --------------------------------------------------------------
  bool ReadOnly() const noexcept { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  bool Required() const noexcept { return required_; }
  void SetRequired(bool value) { required_ = value; }
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool value);
  const std::string& DisplayLabel() const noexcept { return displayLabel_; }
  void SetDisplayLabel(const std::string& label);
  // DisplayLabel, or FieldName when no label is set.
  const std::string& DisplayName() const noexcept;
  // In characters; 0 set means the type's default.
  int32_t DisplayWidth() const;
  void SetDisplayWidth(int32_t width);
  const std::string& DefaultExpression() const noexcept { return defaultExpression_; }
  void SetDefaultExpression(const std::string& text) { defaultExpression_ = text; }
  const std::bitset<256>& ValidChars() const noexcept { return validChars_; }
  void SetValidChars(const std::bitset<256>& chars) { validChars_ = chars; }
  bool IsValidChar(unsigned char c) const { return validChars_.test(c); }
  bool LookupCache() const noexcept { return lookupCache_; }
  void SetLookupCache(bool value) { lookupCache_ = value; }
  const std::string& KeyFields() const noexcept { return keyFields_; }
  void SetKeyFields(const std::string& value) { keyFields_ = value; }
  const std::string& LookupKeyFields() const noexcept { return lookupKeyFields_; }
  void SetLookupKeyFields(const std::string& value) { lookupKeyFields_ = value; }
  const std::string& LookupResultField() const noexcept { return lookupResultField_; }
  void SetLookupResultField(const std::string& value) { lookupResultField_ = value; }
  TDataSet* LookupDataSet() const noexcept { return lookupDataSet_; }
  void SetLookupDataSet(TDataSet* dataSet);
  // Whether a write would be accepted now (not read-only, dataset editing or computing).
  bool CanModify() const;

  // --- values ------------------------------------------------------------------------------
  bool IsNull() const;
  Variant Value() const { return AsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }
  Variant AsVariant() const { return ReadAsVariant(); }
  void SetAsVariant(const Variant& value);
  std::string AsString() const { return ReadAsString(); }
  void SetAsString(const std::string& value) { WriteAsString(value); }
  int32_t AsInteger() const { return ReadAsInteger(); }
  void SetAsInteger(int32_t value) { WriteAsInteger(value); }
  double AsFloat() const { return ReadAsFloat(); }
  void SetAsFloat(double value) { WriteAsFloat(value); }
  bool AsBoolean() const { return ReadAsBoolean(); }
  void SetAsBoolean(bool value) { WriteAsBoolean(value); }
  TDateTime AsDateTime() const { return ReadAsDateTime(); }
  void SetAsDateTime(TDateTime value) { WriteAsDateTime(value); }
  // The text a control shows (DisplayText) or edits (Text); OnGetText decides when set.
  std::string DisplayText() const { return GetTextOf(true); }
  std::string Text() const { return GetTextOf(false); }
  // Through OnSetText when set, else SetAsString.
  void SetText(const std::string& text);
  void Clear() { SetData(nullptr); }

  // Raw access in the binary form; GetData answers whether the field has a value (a null
  // buffer asks only that).
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);
  // The value as the dataset keeps it as text (FetchFieldText), where it does; false when
  // the value is to be read through GetData.
  bool GetDataText(std::string& text) const;
  // A date or time value as the dataset keeps it (FetchFieldTimeStamp), where it does.
  bool GetDataTimeStamp(TTimeStamp& stamp) const;
  // Runs the validation (OnValidate) for a value about to be stored; called by the dataset.
  virtual void Validate(const void* buffer);
  // The value changed: OnChange. Called through the dataset's field-change event.
  virtual void Change();

  Event<void(TField&, std::string&, bool)> OnGetText;
  Event<void(TField&, const std::string&)> OnSetText;
  Event<void(TField&)> OnValidate;
  Event<void(TField&)> OnChange;

 protected:
  void SetDataType(TFieldType type) { dataType_ = type; }
  virtual int32_t DefaultDisplayWidth() const { return 10; }
  // The type-specific conversions; the base raises "Cannot access field '<name>' as type X".
  virtual Variant ReadAsVariant() const;
  virtual void WriteAsVariant(const Variant& value);
  virtual std::string ReadAsString() const;
  virtual void WriteAsString(const std::string& value);
  virtual int32_t ReadAsInteger() const;
  virtual void WriteAsInteger(int32_t value);
  virtual double ReadAsFloat() const;
  virtual void WriteAsFloat(double value);
  virtual bool ReadAsBoolean() const;
  virtual void WriteAsBoolean(bool value);
  virtual TDateTime ReadAsDateTime() const;
  virtual void WriteAsDateTime(TDateTime value);
  // The text shown (displayText) or edited; default: AsString.
  virtual std::string GetTextValue(bool displayText) const;
  [[noreturn]] void RaiseAccessError(const char* typeName) const;
  void CheckDataSet() const;
  // Raises the read-only or not-editing error when a write would be refused.
  void CheckCanModify() const;

 private:
  std::string GetTextOf(bool displayText) const;

  TDataSet* dataSet_ = nullptr;
  const void* validating_ = nullptr;  // the value being validated, read back by GetData
  TDataSet* lookupDataSet_ = nullptr;
  std::string fieldName_;
  std::string displayLabel_;
  std::string defaultExpression_;
  std::string keyFields_;
  std::string lookupKeyFields_;
  std::string lookupResultField_;
  std::bitset<256> validChars_;
  int32_t fieldNo_ = 0;
  int32_t size_ = 0;
  int32_t offset_ = 0;
  int32_t displayWidth_ = 0;
  TFieldType dataType_ = ftUnknown;
  TFieldKind fieldKind_ = TFieldKind::fkData;
  bool readOnly_ = false;
  bool required_ = false;
  bool visible_ = true;
  bool lookupCache_ = false;
};

}  // namespace lumo
