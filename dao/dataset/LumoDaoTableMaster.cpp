// TLumoDaoTable: master/detail links. MasterSource names the master's data source,
// MasterFields pairs detail fields with master fields; the master record's values become a
// criterion that the engine applies when the detail opens, and every move of the master
// reopens the detail with the new values (a new SELECT for a table, a requery of the base
// recordset for a query definition).

#include <cstring>

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/DataSource.h"
#include "db/Field.h"
#include "jet/Database.h"
#include "jet/Recordset.h"
#include "runtime/DateFormat.h"
#include "runtime/Guid.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr const char* kLinkArrow = " -> ";
// The options value of the recordset a query definition's base opens for a master's values.
constexpr int kMasterRequeryOptions = 9;

}  // namespace

void TLumoDaoTable::ConnectMasterLink() {
  masterLink_->OnMasterChange = [this] { MasterRecordChanged(); };
  masterLink_->OnMasterDisable = [this] { MasterLinkDisabled(); };
}

void TLumoDaoTable::F_Set_MasterSource(TDataSource* source) {
  // A chain of masters that comes back to this dataset would reopen itself for ever.
  for (TDataSource* link = source; link != nullptr;) {
    TDataSet* master = link->DataSet();
    if (master == this) throw EDatabaseError("Circular links not allowed!");
    auto* table = dynamic_cast<TLumoDaoTable*>(master);
    link = table != nullptr ? table->MasterSource() : nullptr;
    if (link == source) break;
  }
  if (source == nullptr) masterFields_.Clear();
  if (masterSource_ != nullptr && masterSource_ != source)
    masterSource_->RemoveFreeNotification(this);
  masterSource_ = source;
  masterLink_->SetDataSource(source);
  if (source != nullptr) source->FreeNotification(this);
  if (Active()) ReopenRecordset();
}

void TLumoDaoTable::F_Set_MasterFields(const TStrings& lines) {
  masterFields_.Assign(lines);
  if (Active()) ReopenRecordset();
}

void TLumoDaoTable::ParseMasterFields() {
  detailLinkNames_.clear();
  masterLinkNames_.clear();
  if (masterFields_.Count() == 1 && masterFields_[0].find(';') != std::string::npos) {
    // "CustNo;" and "CustNo;OrderNo": each name links the same-named fields.
    const std::string& line = masterFields_[0];
    size_t start = 0;
    while (start <= line.size()) {
      size_t end = line.find(';', start);
      if (end == std::string::npos) end = line.size();
      std::string piece = line.substr(start, end - start);
      if (!piece.empty()) {
        detailLinkNames_.push_back(piece);
        masterLinkNames_.push_back(std::move(piece));
      }
      start = end + 1;
    }
  } else {
    // One pair a line, "detail -> master"; a line without the arrow defines nothing.
    for (int i = 0; i < masterFields_.Count(); ++i) {
      const std::string& line = masterFields_[i];
      const size_t arrow = line.find(kLinkArrow);
      if (arrow == std::string::npos) continue;
      detailLinkNames_.push_back(line.substr(0, arrow));
      masterLinkNames_.push_back(line.substr(arrow + std::strlen(kLinkArrow)));
    }
  }
  std::string names;
  for (size_t i = 0; i < masterLinkNames_.size(); ++i) {
    if (i > 0) names += ';';
    names += masterLinkNames_[i];
  }
  try {
    masterLink_->SetFieldNames(names);
  } catch (...) {
    // A name the master does not have: the link is dropped, so that the master's own later
    // moves and opens do not run into the same name again.
    detailLinkNames_.clear();
    masterLinkNames_.clear();
    masterLink_->SetFieldNames(std::string());
    throw;
  }
}

std::string TLumoDaoTable::MasterClause(const TField& field) const {
  if (field.IsNull()) return "IS NULL";
  const std::string text = field.AsString();
  const TFieldType type = field.DataType();
  switch (type) {
    case ftString:
    case ftBlob:
    case ftMemo: return "= \"" + EscapeQuotes(text) + "\"";
    default: break;
  }
  if (text.empty()) return "IS NULL";
  switch (type) {
    case ftBoolean: return field.AsBoolean() ? "= True" : "= False";
    case ftDate: return "= #" + FormatDateTime("mm\"/\"dd\"/\"yyyy", field.AsDateTime()) + "#";
    case ftTime: return "= #" + FormatDateTime("hh\":\"nn\":\"ss", field.AsDateTime()) + "#";
    case ftDateTime:
      return "= #" + FormatDateTime("mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss", field.AsDateTime()) +
             "#";
    case ftBytes: {
      const auto* master = dynamic_cast<const TLumoDaoTable*>(field.DataSet());
      if (master != nullptr && master->IsGuidField(&field))
        return "= {guid " + GuidVariantToText(field.Value()) + "}";
      // Between quotes, its own quotes doubled, so that a value never ends the literal early.
      return "= \"" + EscapeQuotes(text) + "\"";
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc: return "= " + NormalizeNumberText(text);
    default: throw EDatabaseError("Unable to build Master/Detail SQL Relationship!");
  }
}

std::string TLumoDaoTable::BuildMasterCriteria() const {
  if (detailLinkNames_.size() != masterLinkNames_.size()) {
    throw EDatabaseError("The number of Master and Detail fields must be equal!");
  }
  TDataSet* master = masterSource_ != nullptr ? masterSource_->DataSet() : nullptr;
  if (master == nullptr) return {};
  std::string criteria;
  for (size_t i = 0; i < masterLinkNames_.size(); ++i) {
    if (i > 0) criteria += " AND ";
    criteria += '(';
    criteria += useBrackets_ ? BracketName(detailLinkNames_[i]) : detailLinkNames_[i];
    criteria += ' ';
    criteria += MasterClause(*master->FieldByName(masterLinkNames_[i]));
    criteria += ')';
  }
  return criteria;
}

std::string TLumoDaoTable::CombineWithFilter(const std::string& criteria) const {
  const std::string filter = Filtered() ? Filter() : std::string();
  if (criteria.empty()) return filter;
  if (filter.empty()) return criteria;
  return "(" + criteria + ") AND (" + filter + ")";
}

std::string TLumoDaoTable::MasterSelect(const std::string& criteria) const {
  std::string sql = "Select * From [" + tableName_ + "] Where " + criteria;
  if (!sortText_.empty()) sql += " Order By " + sortText_;
  return sql + ";";
}

void TLumoDaoTable::ApplyMasterCriteriaAtOpen(jet::Database& dao) {
  if (masterSource_ == nullptr) return;
  // The link learns its field names at every open, also while it does not apply: a master
  // opened later then brings this dataset the link it has now, not that of an earlier open.
  ParseMasterFields();
  if (masterLinkSuspended_ || !masterSource_->Enabled() || masterLinkNames_.empty()) return;
  const std::string criteria = CombineWithFilter(BuildMasterCriteria());
  recordset_->SetFilter(criteria);
  if (!tableName_.empty()) {
    auto opened = dao.OpenRecordset(MasterSelect(criteria), tableType_, optionsValue_, lockType_);
    recordset_->Close();
    recordset_ = std::move(opened);
  } else {
    baseRecordset_ = recordset_;
    recordset_ = baseRecordset_->OpenRecordset(tableType_, optionsValue_);
  }
}

void TLumoDaoTable::MasterRecordChanged() {
  // A detail that is not open, or is opening right now, takes the master's values at its open.
  if (!Active() || openingRecordset_) return;
  CheckBrowseMode();
  if (!masterLink_->Active() || masterLink_->Fields().empty()) return;
  if (sql_.Count() > 0) ApplyMasterValuesToParams();
  ReopenForMaster();
}

void TLumoDaoTable::ReopenForMaster() {
  if (HasState(ComponentStateFlag::kDestroying)) return;
  masterLinkSuspended_ = !masterLink_->Active();
  if (masterSource_ == nullptr || masterSource_->DataSet() == nullptr) return;
  TDataSet& master = *masterSource_->DataSet();
  // While the master's record is being edited its values are not settled yet.
  if (master.ControlsDisabled() || ControlsDisabled() || masterLinkSuspended_ ||
      !masterSource_->Enabled() || master.State() == TDataSetState::dsEdit) {
    return;
  }
  if (masterLinkNames_.empty()) return;
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  if (sql_.Count() == 0) {
    try {
      QuickMasterRefresh();
    } catch (const std::exception&) {
      // The quick way failed (a source the engine would not reopen so): the full open
      // reports what is really wrong, if anything.
      CloseDaoRecordset();
      OpenDaoRecordset();
    }
  } else {
    OpenDaoRecordset();
  }
  ActivateBuffers();
  First();
}

void TLumoDaoTable::QuickMasterRefresh() {
  bookmarkPositions_.clear();
  bookmarkValues_.clear();
  goneIndexes_.clear();
  const std::string criteria = BuildMasterCriteria();
  if (!tableName_.empty()) {
    recordset_ = database_->DaoDatabase()->OpenRecordset(MasterSelect(CombineWithFilter(criteria)),
                                                         tableType_, optionsValue_, lockType_);
  } else {
    if (!baseRecordset_)
      throw EDatabaseError("TLumoDaoTable.QuickMasterRefresh: no base recordset");
    // The master's values alone: the user's filter returns with the next full open.
    baseRecordset_->Requery();
    baseRecordset_->SetFilter(criteria);
    recordset_ = baseRecordset_->OpenRecordset(0, kMasterRequeryOptions);
  }
  fieldObjectArray_.clear();
  auto& fields = recordset_->Fields();
  for (int i = 0; i < fields.Count(); ++i) fieldObjectArray_.push_back(fields.Item(i));
  currentPosition_ = -1;
  highestPosition_ = -1;
  cachedRecordCount_ = -1;
  countStale_ = true;
  CountRecords();
  EngineIdle();
}

void TLumoDaoTable::MasterLinkDisabled() {
  // The open decides on the link itself; a closed detail has nothing to leave edit mode for.
  if (!Active() || openingRecordset_) return;
  CheckBrowseMode();
  masterLinkSuspended_ = !masterLink_->Active();
}

void TLumoDaoTable::InheritMasterValues() {
  if (!masterLink_->Active() || masterLink_->Fields().empty()) return;
  const auto& masterFields = masterLink_->Fields();
  for (size_t j = 0; j < masterFields.size() && j < detailLinkNames_.size(); ++j) {
    FieldByName(detailLinkNames_[j])->SetValue(masterFields[j]->Value());
  }
}

}  // namespace lumo
