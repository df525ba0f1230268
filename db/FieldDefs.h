#pragma once
// Field definitions: what the record source says each of its columns is (name, type, size,
// required, precision, 1-based number). A dataset fills them when it opens (or when only its
// definitions are asked for) and makes its default fields from them.
//
// Errors: Find raises EDatabaseError "Field '<name>' not found".

#include "db/DbTypes.h"
#include "runtime/Component.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

class TDataSet;
class TField;

class TFieldDef : public TObject {
 public:
  TFieldDef() = default;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const noexcept { return dataType_; }
  void SetDataType(TFieldType type) { dataType_ = type; }
  int32_t Size() const noexcept { return size_; }
  void SetSize(int32_t size) { size_ = size; }
  bool Required() const noexcept { return required_; }
  void SetRequired(bool required) { required_ = required; }
  int32_t Precision() const noexcept { return precision_; }
  void SetPrecision(int32_t precision) { precision_ = precision; }
  // 1-based number of the definition (its place in the record source).
  int32_t FieldNo() const noexcept { return fieldNo_; }
  void SetFieldNo(int32_t number) { fieldNo_ = number; }
  bool InternalCalcField() const noexcept { return internalCalc_; }
  void SetInternalCalcField(bool value) { internalCalc_ = value; }
  bool ReadOnly() const noexcept { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

  // The field class a default field of this definition gets (TStringField for ftString...);
  // creates it owned by `owner` and bound to `dataSet`.
  TField* CreateField(TComponent* owner, TDataSet* dataSet) const;

 private:
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  int32_t size_ = 0;
  bool required_ = false;
  int32_t precision_ = 0;
  int32_t fieldNo_ = 0;
  bool internalCalc_ = false;
  bool readOnly_ = false;
};

class TFieldDefs {
 public:
  TFieldDefs() = default;
  TFieldDefs(const TFieldDefs&) = delete;
  TFieldDefs& operator=(const TFieldDefs&) = delete;
  virtual ~TFieldDefs() = default;

  // Appends a definition; its FieldNo is its 1-based place.
  TFieldDef& Add(const std::string& name, TFieldType type, int32_t size = 0, bool required = false);
  TFieldDef& AddFieldDef();
  void Clear();
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TFieldDef& Items(int index) const;
  TFieldDef& operator[](int index) const { return Items(index); }
  // Case-insensitive; -1 / nullptr when missing.
  int IndexOf(const std::string& name) const;
  TFieldDef* FindDef(const std::string& name) const;
  TFieldDef& Find(const std::string& name) const;

  // Set by whoever filled the definitions; cleared by Clear.
  bool Updated() const noexcept { return updated_; }
  void SetUpdated(bool value) { updated_ = value; }

 private:
  std::vector<std::unique_ptr<TFieldDef>> items_;
  bool updated_ = false;
};

}  // namespace lumo
