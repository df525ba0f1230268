// TLumoDaoTable: stored query definitions as the record source. Choosing one by name, its
// type and SQL text (and the guarded rewrite of that text), and opening it with its input
// parameters bound and its output parameters read back.

#include "dao/dataset/DaoQueryDefParameters.h"
#include "dao/dataset/LumoDaoTable.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"

namespace lumo {

void TLumoDaoTable::F_Set_QueryDefName(const std::string& name) {
  if (cursorOpen_) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
  }
  const std::string chosen = name;  // `name` may be this component's own QueryDefName
  if (database_ != nullptr && database_->Connected()) {
    try {
      queryDefSqlText_.Clear();
      if (!chosen.empty()) queryDefSqlText_.SetText(database_->GetQueryDefSQL(chosen));
    } catch (const std::exception&) {
      // The text is shown for information; the name is what counts.
    }
  }
  queryDefName_ = chosen;
  (void)QueryDefType();
  if (chosen.empty()) return;
  indexName_.clear();
  tableName_.clear();
  sql_.Clear();
  queryDefParameters_.Clear();
  masterFields_.Clear();
  captions_.Clear();
  FieldDefs().Clear();
  ForgetIndexDefinitions();
  outputParameterValue_ = Variant::Null();
  // A stored query opens neither as a standard table nor as a dynamic cursor.
  if (tableType_ == jet::dbOpenTable || tableType_ == jet::dbOpenDynamic)
    tableType_ = jet::dbOpenDynaset;
}

std::string TLumoDaoTable::QueryDefType() const {
  queryDefTypeNumber_ = 0;
  if (database_ == nullptr || !database_->Connected() || queryDefName_.empty()) return {};
  try {
    const int type = database_->DaoDatabase()->QueryDefs().Item(queryDefName_)->Type();
    const std::string_view name = jet::QueryDefTypeName(type);
    if (!name.empty()) queryDefTypeNumber_ = type;
    return std::string(name);
  } catch (const std::exception&) {
    return {};
  }
}

void TLumoDaoTable::F_Set_QueryDefSQLText(const TStrings& lines) {
  if (database_ == nullptr || !database_->Connected() || cursorOpen_ || queryDefName_.empty() ||
      !queryDefSqlModify_ || IsLoading()) {
    return;
  }
  const std::string name = queryDefName_;
  const std::string text = SubstituteParams(lines);
  if (database_->QueryDefNames().IndexOf(name) < 0) {
    database_->AddQueryDef(name, text);
  } else {
    database_->SetQueryDefSQL(name, text);
  }
  database_->RefreshCatalogue();
  // Reloads the text as the engine keeps it, and clears what followed from the old one.
  F_Set_QueryDefName(name);
}

void TLumoDaoTable::OpenQueryDefRecordset(TLumoDaoDatabase& database) {
  auto queryDef = database.DaoDatabase()->QueryDefs().Item(queryDefName_);
  auto& parameters = queryDef->Parameters();
  BindQueryDefParameters(parameters, queryDefParameters_);
  const bool hasParameters = parameters.Count() > 0;
  queryDefSqlText_.SetText(database.GetQueryDefSQL(queryDefName_));
  queryDef->SetMaxRecords(queryDefOdbcMaxRecords_);
  if (database.QueryTimeout() != 60) queryDef->SetODBCTimeout(database.QueryTimeout());
  recordset_ = queryDef->OpenRecordset(tableType_, optionsValue_, lockType_);
  if (hasParameters && database.Connected()) {
    outputParameterValue_ = CollectOutputParameters(parameters);
  }
}

}  // namespace lumo
