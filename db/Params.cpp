// Parameters: values, the parameter list, finding parameters in SQL, and streaming.

#include "db/Params.h"

#include "runtime/ClassInfo.h"
#include "runtime/StrUtils.h"

#include <algorithm>

namespace lumo {

namespace {

const std::vector<std::string>& FieldTypeMembers() {
  static const std::vector<std::string> members = [] {
    std::vector<std::string> names;
    for (int type = ftUnknown; type <= ftGuid; ++type) {
      names.push_back(std::string("ft") + FieldTypeText(static_cast<TFieldType>(type)));
    }
    return names;
  }();
  return members;
}

// The type a value brings along when the parameter has none yet.
TFieldType TypeOfValue(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean: return ftBoolean;
    case VarType::kSmallint: return ftSmallint;
    case VarType::kInteger: return ftInteger;
    case VarType::kInt64: return ftLargeint;
    case VarType::kDouble: return ftFloat;
    case VarType::kCurrency: return ftCurrency;
    case VarType::kDate: return ftDateTime;
    case VarType::kString: return ftString;
    case VarType::kBytes: return ftBlob;
    default: return ftUnknown;
  }
}

bool IsNameChar(unsigned char c) {
  return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c >= 0x80;
}

// Index just behind the literal opened at `start` by `close`; npos when it is never closed.
size_t SkipLiteral(const std::string& sql, size_t start, char close) {
  for (size_t i = start + 1; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
    // A doubled quote stands for the quote itself inside the literal.
    if ((close == '\'' || close == '"') && i + 1 < sql.size() && sql[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string::npos;
}

}  // namespace

// --- TParam ----------------------------------------------------------------------------------

const ClassInfo& TParam::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TParam>("TParam", &TObject::StaticClass)
          .Enumeration("DataType", &TParam::DataType, &TParam::SetDataType, FieldTypeMembers(),
                       ftUnknown)
          .String("Name", &TParam::Name, &TParam::SetName)
          .Enumeration("ParamType", &TParam::ParamType, &TParam::SetParamType,
                       {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"},
                       TParamType::ptUnknown)
          .String("Value", &TParam::StreamedValue, &TParam::SetStreamedValue);
  return info;
}
const ClassInfo& TParam::ClassType() const { return StaticClass(); }

void TParam::SetValue(const Variant& value) {
  value_ = value;
  if (dataType_ == ftUnknown) dataType_ = TypeOfValue(value);
  bound_ = true;
}

void TParam::SetAsString(const std::string& value) {
  value_ = Variant(value);
  if (dataType_ == ftUnknown) dataType_ = ftString;
  bound_ = true;
}

int32_t TParam::AsInteger() const { return IsNull() ? 0 : value_.AsInteger(); }

void TParam::SetAsInteger(int32_t value) {
  value_ = Variant(value);
  if (dataType_ == ftUnknown) dataType_ = ftInteger;
  bound_ = true;
}

double TParam::AsFloat() const { return IsNull() ? 0.0 : value_.AsDouble(); }

void TParam::SetAsFloat(double value) {
  value_ = Variant(value);
  if (dataType_ == ftUnknown) dataType_ = ftFloat;
  bound_ = true;
}

bool TParam::AsBoolean() const { return IsNull() ? false : value_.AsBoolean(); }

void TParam::SetAsBoolean(bool value) {
  value_ = Variant(value);
  if (dataType_ == ftUnknown) dataType_ = ftBoolean;
  bound_ = true;
}

TDateTime TParam::AsDateTime() const { return IsNull() ? 0.0 : value_.AsDateTime(); }

void TParam::SetAsDateTime(TDateTime value) {
  value_ = Variant::FromDate(value);
  if (dataType_ == ftUnknown) dataType_ = ftDateTime;
  bound_ = true;
}

void TParam::Assign(const TParam& other) {
  name_ = other.name_;
  dataType_ = other.dataType_;
  paramType_ = other.paramType_;
  value_ = other.value_;
  bound_ = other.bound_;
}

// Streamed values are written in the invariant settings so that a description reads back
// the same on every machine; an empty text reads back as Null.
std::string TParam::StreamedValue() const {
  if (IsNull()) return {};
  return value_.AsString(FormatSettings::Invariant());
}

void TParam::SetStreamedValue(const std::string& text) {
  if (text.empty()) {
    value_ = Variant::Null();
    return;
  }
  const FormatSettings settings = FormatSettings::Invariant();
  Variant raw(text);
  switch (dataType_) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: value_ = Variant(raw.AsInteger(settings)); break;
    case ftLargeint: value_ = Variant(raw.AsInt64(settings)); break;
    case ftFloat:
    case ftCurrency:
    case ftBCD: value_ = Variant(raw.AsDouble(settings)); break;
    case ftBoolean: value_ = Variant(raw.AsBoolean(settings)); break;
    case ftDate:
    case ftTime:
    case ftDateTime: value_ = Variant::FromDate(raw.AsDateTime(settings)); break;
    default: value_ = raw; break;
  }
  bound_ = true;
}

void TParam::SetStreamedNull(bool value) {
  if (value) value_ = Variant::Null();
}

// --- TParams ---------------------------------------------------------------------------------

TParam& TParams::Items(int index) const {
  if (index < 0 || index >= Count()) {
    throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

TParam& TParams::Add() {
  items_.push_back(std::make_unique<TParam>());
  return *items_.back();
}

TParam& TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
  items_.push_back(std::make_unique<TParam>(name, type, paramType));
  return *items_.back();
}

void TParams::Remove(int index) {
  Items(index);  // range check
  items_.erase(items_.begin() + index);
}

TParam* TParams::FindParam(const std::string& name) const {
  for (const auto& param : items_) {
    if (SameText(param->Name(), name)) return param.get();
  }
  return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) const {
  TParam* param = FindParam(name);
  if (param == nullptr) throw EDatabaseError("Parameter '" + name + "' not found");
  return *param;
}

void TParams::AssignValues(const TParams& source) {
  for (const auto& from : source.items_) {
    if (TParam* to = FindParam(from->Name())) {
      const std::string name = to->Name();
      to->Assign(*from);
      to->SetName(name);
    }
  }
}

void TParams::Assign(const TParams& source) {
  if (&source == this) return;
  items_.clear();
  for (const auto& from : source.items_) Add().Assign(*from);
}

bool TParams::IsEqual(const TParams& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    const TParam& a = Items(i);
    const TParam& b = other.Items(i);
    if (a.Name() != b.Name() || a.DataType() != b.DataType() || a.ParamType() != b.ParamType() ||
        !(a.Value() == b.Value())) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> TParams::ParameterNames(const std::string& sql) {
  std::vector<std::string> names;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[' || c == '#') {
      const size_t end = SkipLiteral(sql, i, c == '[' ? ']' : c);
      if (end != std::string::npos) {
        i = end;
        continue;
      }
      if (c != '#') break;  // an open quote hides the rest of the text
      ++i;                  // a lone '#' is an ordinary character
      continue;
    }
    if (c != ':') {
      ++i;
      continue;
    }
    if (i + 1 < sql.size() && sql[i + 1] == ':') {
      i += 2;  // "::" is a colon of the text itself
      continue;
    }
    // 10:20:30 or name:value: a colon right after a name character is part of the text.
    if (i > 0 && IsNameChar(static_cast<unsigned char>(sql[i - 1]))) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < sql.size() && IsNameChar(static_cast<unsigned char>(sql[end]))) ++end;
    if (end > i + 1) {
      std::string name = sql.substr(i + 1, end - i - 1);
      const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& other) {
        return SameText(other, name);
      });
      if (!known) names.push_back(std::move(name));
    }
    i = end;
  }
  return names;
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate) {
  if (doCreate) {
    std::vector<std::unique_ptr<TParam>> previous = std::move(items_);
    items_.clear();
    for (const std::string& name : ParameterNames(sql)) {
      auto old = std::find_if(previous.begin(), previous.end(), [&](const auto& param) {
        return param && SameText(param->Name(), name);
      });
      if (old != previous.end()) {
        items_.push_back(std::move(*old));
        items_.back()->SetName(name);
      } else {
        CreateParam(ftUnknown, name, TParamType::ptInput);
      }
    }
  }
  return sql;
}

}  // namespace lumo
