// TLumoDaoTable: running SQL as a statement, the parameters that follow the SQL text, and
// their substitution into the text as Jet SQL literals.

#include "dao/dataset/LumoDaoTable.h"

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"

#include <algorithm>

#include "db/DataSource.h"
#include "db/Field.h"
#include "jet/Database.h"
#include "runtime/DateFormat.h"
#include "runtime/Guid.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

// The Jet SQL literal of a parameter's value.
std::string ParamLiteral(const TParam& param) {
  if (param.IsNull()) return " IS NULL";
  const Variant& value = param.Value();
  switch (param.DataType()) {
    case ftString:
    case ftBlob:
    case ftMemo: return "\"" + EscapeQuotes(VarToStr(value)) + "\"";
    case ftFloat:
    case ftCurrency:
    case ftBCD: return NormalizeNumberText(VarToStr(value));
    case ftDate: return "#" + FormatDateTime("mm\"/\"dd\"/\"yyyy", value.AsDateTime()) + "#";
    case ftTime: return "#" + FormatDateTime("hh\":\"nn\":\"ss", value.AsDateTime()) + "#";
    case ftDateTime:
      return "#" + FormatDateTime("mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss", value.AsDateTime()) + "#";
    case ftBytes: return "{guid " + GuidVariantToText(value) + "}";
    default: return VarToStr(value);
  }
}

}  // namespace

int32_t TLumoDaoTable::ExecuteSQL() {
  recordsAffected_ = 0;
  if (database_ == nullptr || !database_->Connected() || !database_->DaoDatabase()) {
    throw EDatabaseError(
        "TLumoDaoTable.ExecuteSQL: Cannot execute SQL query while Database is not Assigned or "
        "Connected!");
  }
  heldParams_.Clear();
  const std::string text = SubstituteParams(sql_);
  jet::Database& dao = *database_->DaoDatabase();
  dao.Execute(text, kStatementOptions);
  recordsAffected_ = dao.RecordsAffected();
  return recordsAffected_;
}

std::string TLumoDaoTable::SubstituteParams(const TStrings& lines) const {
  std::string text = lines.Text();
  if (!paramCheck_) return text;
  for (int i = 0; i < params_.Count(); ++i) {
    const TParam& param = params_[i];
    text = ReplaceParamToken(text, ":" + param.Name(), ParamLiteral(param));
  }
  return text;
}

std::string TLumoDaoTable::ReplaceParamToken(const std::string& text, const std::string& token,
                                             const std::string& literal) const {
  if (text.empty() || token.empty()) return text;
  // The search copy has a blank on either side, so every occurrence has a neighbour to look
  // at; ASCII case folding keeps it aligned byte for byte with the source.
  std::string search = " " + LowerCaseAscii(text) + " ";
  const std::string key = LowerCaseAscii(token);
  const size_t length = key.size();
  std::string rest = text;
  std::string result;
  auto isNameChar = [this](char c) { return nameChars_[static_cast<unsigned char>(c)]; };
  for (;;) {
    const size_t found = search.find(key);
    if (found == std::string::npos) break;
    const char before = search[found - 1];
    const char after = found + length < search.size() ? search[found + length] : ' ';
    const size_t inRest = found - 1;
    if (isNameChar(before) || isNameChar(after)) {
      result.append(rest, 0, inRest + length);
    } else {
      result.append(rest, 0, inRest);
      result += literal;
    }
    rest.erase(0, std::min(rest.size(), inRest + length));
    search.erase(0, found + length);
    search.insert(0, " ");
  }
  result += rest;
  return result;
}

void TLumoDaoTable::FollowSqlChange() {
  if (IsLoading()) return;
  if (!paramCheck_ && !HasState(ComponentStateFlag::kDesigning)) return;
  const std::string text = sql_.Text();
  const std::vector<std::string> names = TParams::ParameterNames(text);
  auto named = [&names](const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& other) { return SameText(other, name); });
  };
  // A text is usually changed by clearing it and adding its lines one by one, and each step
  // is a change: the values of parameters that leave the text are set aside until it is next
  // used, and come back with their names.
  std::vector<std::string> kept;
  for (int i = 0; i < params_.Count(); ++i) {
    const TParam& param = params_[i];
    if (named(param.Name())) {
      kept.push_back(param.Name());
      continue;
    }
    if (TParam* held = heldParams_.FindParam(param.Name())) {
      held->Assign(param);
    } else {
      heldParams_.CreateParam(param.DataType(), param.Name(), param.ParamType()).Assign(param);
    }
  }
  params_.ParseSQL(text, true);
  for (int i = 0; i < params_.Count(); ++i) {
    TParam& param = params_[i];
    if (std::any_of(kept.begin(), kept.end(),
                    [&](const std::string& name) { return SameText(name, param.Name()); })) {
      continue;
    }
    for (int h = 0; h < heldParams_.Count(); ++h) {
      if (!SameText(heldParams_[h].Name(), param.Name())) continue;
      const std::string name = param.Name();
      param.Assign(heldParams_[h]);
      param.SetName(name);
      heldParams_.Remove(h);
      break;
    }
  }
}

void TLumoDaoTable::ApplyMasterValuesToParams() {
  if (masterSource_ == nullptr || masterSource_->DataSet() == nullptr) return;
  TDataSet& master = *masterSource_->DataSet();
  if (!master.Active() || master.State() == TDataSetState::dsSetKey) return;
  if (!paramCheck_ || params_.Count() == 0) return;
  for (TField* field : master.Fields()) {
    TParam* param = params_.FindParam(field->FieldName());
    if (param == nullptr) continue;
    if (param->DataType() == ftUnknown) param->SetDataType(field->DataType());
    param->SetValue(field->Value());
  }
}

void TLumoDaoTable::DeclareStreamedData(StreamedData& data) {
  TDataSet::DeclareStreamedData(data);
  data.DefineCollection("ParamData", params_, [this] { return params_.Count() > 0; });
}

}  // namespace lumo
