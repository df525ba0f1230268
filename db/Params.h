#pragma once
// Parameters of an SQL text or query: name, data type, direction and value.
//
// ParseSQL finds the parameters of an SQL text: one per distinct ":name" outside '...',
// "..." and [...] quoting and #...# date literals. "::" is a literal colon, and a colon right
// after a name character or a digit (10:20:30) is no parameter.
//
// TParams streams as a collection (items with Name, DataType, ParamType and the value as
// text) under the stream entry a dataset declares for it.
//
// Errors: ParamByName raises EDatabaseError "Parameter '<name>' not found".

#include "db/DbTypes.h"
#include "runtime/Component.h"
#include "runtime/Variant.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

class TParams;

class TParam : public TObject {
 public:
  TParam() = default;
  TParam(const std::string& name, TFieldType dataType, TParamType paramType)
      : name_(name), dataType_(dataType), paramType_(paramType) {}

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const noexcept { return dataType_; }
  void SetDataType(TFieldType type) { dataType_ = type; }
  TParamType ParamType() const noexcept { return paramType_; }
  void SetParamType(TParamType type) { paramType_ = type; }
  bool Bound() const noexcept { return bound_; }
  void SetBound(bool value) { bound_ = value; }

  const Variant& Value() const noexcept { return value_; }
  // Stores the value, takes its type as the data type when none is set yet, marks bound.
  void SetValue(const Variant& value);
  bool IsNull() const { return value_.IsNull() || value_.IsEmpty(); }
  void Clear() { value_ = Variant::Null(); }
  std::string AsString() const { return VarToStr(value_); }
  void SetAsString(const std::string& value);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t value);
  double AsFloat() const;
  void SetAsFloat(double value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime value);
  // Name, types and value of another parameter.
  void Assign(const TParam& other);

  // The value as text for streaming ("" for Null), and back.
  std::string StreamedValue() const;
  void SetStreamedValue(const std::string& text);
  bool StreamedNull() const { return IsNull(); }
  void SetStreamedNull(bool value);

 private:
  std::string name_;
  TFieldType dataType_ = ftUnknown;
  TParamType paramType_ = TParamType::ptUnknown;
  Variant value_ = Variant::Null();
  bool bound_ = false;
};

class TParams {
 public:
  TParams() = default;
  TParams(const TParams&) = delete;
  TParams& operator=(const TParams&) = delete;

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TParam& Items(int index) const;
  TParam& operator[](int index) const { return Items(index); }
  TParam& Add();  // a new parameter without name (collection streaming)
  TParam& CreateParam(TFieldType type, const std::string& name, TParamType paramType);
  void Remove(int index);
  void Clear() { items_.clear(); }
  // Case-insensitive; nullptr when missing.
  TParam* FindParam(const std::string& name) const;
  TParam& ParamByName(const std::string& name) const;
  // Copies the values (and types) of the parameters of the same name in `source`.
  void AssignValues(const TParams& source);
  // Replaces the list by copies of `source`.
  void Assign(const TParams& source);
  bool IsEqual(const TParams& other) const;

  // The parameter names of `sql` in order of first occurrence; with doCreate the list is
  // replaced by those parameters (values of parameters that existed before are kept).
  // Answers the text unchanged.
  std::string ParseSQL(const std::string& sql, bool doCreate);
  static std::vector<std::string> ParameterNames(const std::string& sql);

 private:
  std::vector<std::unique_ptr<TParam>> items_;
};

}  // namespace lumo
