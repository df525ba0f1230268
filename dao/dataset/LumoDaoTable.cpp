// TLumoDaoTable: construction, destruction, published properties and their setters, and the
// component duties (loading, removal notifications, error reporting).

#include "dao/dataset/LumoDaoTable.h"

#include <cstdlib>
#include <random>

#include "db/DataSource.h"
#include "jet/Database.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "runtime/Com.h"
#include "runtime/Dialogs.h"
#include "runtime/OsFacts.h"

namespace lumo {

namespace {

const char* const kOpenOptionNames[] = {"dbDenyWrite",      "dbDenyRead",     "dbReadOnly",
                                        "dbAppendOnly",     "dbInconsistent", "dbConsistent",
                                        "dbSQLPassThrough", "dbFailOnError",  "dbForwardOnly",
                                        "dbSeeChanges",     "dbRunAsync",     "dbExecDirect"};

std::mt19937& RandomGenerator() {
  // Seeded once per process, as the component seeds the runtime's generator on creation.
  static std::mt19937 generator{std::random_device{}()};
  return generator;
}

}  // namespace

TLumoDaoTable::TLumoDaoTable(TComponent* owner) : TDataSet(owner), indexDefs_(this) {
  (void)RandomGenerator();
  sql_.SetOnChange([this](TStringList&) { FollowSqlChange(); });
  masterLink_ = std::make_unique<TMasterDataLink>(this);
  ConnectMasterLink();

  int32_t result = CoInitialize(nullptr);
  if (result != kS_OK && result != kS_FALSE) throw EDatabaseError("Unable to init OLE objects!");
  comInitialized_ = true;

  nameChars_.assign(256, false);
  nameChars_['_'] = true;
  for (int code = 32; code <= 255; ++code) {
    if (IsCharAlphaNumericA(static_cast<char>(code))) nameChars_[static_cast<size_t>(code)] = true;
  }
}

TLumoDaoTable::~TLumoDaoTable() {
  if (cursorOpen_) CloseForDestruction();
  OrphanBlobStreams();
  CloseDaoRecordset();
  baseRecordset_.reset();
  masterLink_.reset();
  if (comInitialized_) CoUninitialize();
}

const ClassInfo& TLumoDaoTable::StaticClass() {
  using T = TLumoDaoTable;
  static const ClassInfo info =
      // Built on the component's table rather than the framework's, so that the component's
      // own properties come first and the framework's members follow, as they are streamed.
      ClassBuilder<T>("TLumoDaoTable", &TComponent::StaticClass)
          .Boolean("AutoFindIndex", &T::AutoFindIndex, &T::F_Set_AutoFindIndex, true)
          .String("ComponentVersion", &T::ComponentVersion, &T::F_Set_ComponentVersion,
                  kComponentVersion)
          .Boolean("CacheBlobs", &T::CacheBlobs, &T::F_Set_CacheBlobs, false)
          .Boolean("CacheMemos", &T::CacheMemos, &T::F_Set_CacheMemos, false)
          .Boolean("CacheLookups", &T::CacheLookups, &T::F_Set_CacheLookups, false)
          .Component("Database", &T::Database, &T::F_Set_Database)
          .Component("Encrypter", &T::Encrypter, &T::F_Set_Encrypter)
          .Enumeration("ExportMethod", &T::ExportMethod, &T::F_Set_ExportMethod,
                       {"VisibleFields", "AllFields"}, TExportMethod::VisibleFields)
          .Boolean("RefreshSorted", &T::RefreshSorted, &T::F_Set_RefreshSorted, false)
          .String("TableName", &T::TableName, &T::F_Set_TableName)
          .Strings(
              "SortedBy", [](T& t) -> const TStrings& { return t.SortedBy(); }, &T::F_Set_SortedBy)
          .Strings(
              "SortedByText", [](T& t) -> const TStrings& { return t.SortedBy(); },
              &T::F_Set_SortedBy)
          .NotStored()
          .String("QueryDefName", &T::QueryDefName, &T::F_Set_QueryDefName)
          .Strings(
              "QueryDefParameters", [](T& t) -> const TStrings& { return t.QueryDefParameters(); },
              &T::F_Set_QueryDefParameters)
          .Strings(
              "QueryDefParametersText",
              [](T& t) -> const TStrings& { return t.QueryDefParameters(); },
              &T::F_Set_QueryDefParameters)
          .NotStored()
          .Strings(
              "QueryDefSQLText", [](T& t) -> const TStrings& { return t.QueryDefSQLText(); },
              &T::F_Set_QueryDefSQLText)
          .Boolean("QueryDefSQLModify", &T::QueryDefSQLModify, &T::F_Set_QueryDefSQLModify, false)
          .Integer("QueryDefODBCMaxRecords", &T::QueryDefODBCMaxRecords,
                   &T::F_Set_QueryDefODBCMaxRecords, 0)
          .String("QueryDefType", &T::QueryDefType, &T::F_Set_QueryDefType)
          .NotStored()
          .Strings(
              "SQL", [](T& t) -> const TStrings& { return t.SQL(); }, &T::F_Set_SQL)
          .Boolean("ShowGUID", &T::ShowGUID, &T::F_Set_ShowGUID, false)
          .Integer("TableType", &T::TableType, &T::F_Set_TableType, 2)
          .String("TableDateCreated", &T::TableDateCreated, &T::F_Set_TableDateCreated)
          .NotStored()
          .String("TableLastUpdated", &T::TableLastUpdated, &T::F_Set_TableLastUpdated)
          .NotStored()
          .Boolean("Translation", &T::Translation, &T::F_Set_Translation, false)
          .Integer("LockType", &T::LockType, &T::F_Set_LockType, 3)
          .Set(
              "OpenOptions", [](T& t) { return t.OpenOptions().Mask(); },
              [](T& t, uint32_t mask) { t.F_Set_OpenOptions(TOOSet::FromMask(mask)); },
              std::vector<std::string>(std::begin(kOpenOptionNames), std::end(kOpenOptionNames)))
          .Integer("IndexFieldCount", &T::IndexFieldCount, &T::F_Set_IndexFieldCount, 0)
          .NotStored()
          .String("IndexName", &T::IndexName, &T::F_Set_IndexName)
          .Boolean("ReadOnly", &T::ReadOnly, &T::F_Set_ReadOnly, false)
          .Boolean("LockEdits", &T::LockEdits, &T::F_Set_LockEdits, false)
          .NotStored()
          .Component("MasterSource", &T::MasterSource, &T::F_Set_MasterSource)
          .Strings(
              "MasterFields", [](T& t) -> const TStrings& { return t.MasterFields(); },
              &T::F_Set_MasterFields)
          .Boolean("MasterAutoActivate", &T::MasterAutoActivate, &T::F_Set_MasterAutoActivate, true)
          .Boolean("DatabaseAutoActivate", &T::DatabaseAutoActivate, &T::F_Set_DatabaseAutoActivate,
                   false)
          .Boolean("UseBrackets", &T::UseBrackets, &T::F_Set_UseBrackets, true)
          .Boolean("UseCaptions", &T::UseCaptions, &T::F_Set_UseCaptions, false)
          .Boolean("UseDaoProperties", &T::UseDaoProperties, &T::F_Set_UseDaoProperties, true)
          .Boolean("UseGetRecNo", &T::UseGetRecNo, &T::F_Set_UseGetRecNo, true)
          .Boolean("UseRecordCount", &T::UseRecordCount, &T::F_Set_UseRecordCount, true)
          .Boolean("WarnOnBadDatabase", &T::WarnOnBadDatabase, &T::F_Set_WarnOnBadDatabase, false)
          .Boolean("Filtered", &T::Filtered, &T::SetFiltered, false)
          .String("Filter", &T::Filter, &T::SetFilter)
          .Event("OnExportProgress", &T::OnExportProgress)
          .Event("OnImportProgress", &T::OnImportProgress)
          .Event("OnFilterRecord", &T::OnFilterRecord)
          .Boolean("ParamCheck", &T::ParamCheck, &T::F_Set_ParamCheck, true)
          .Boolean("ProcessMessages", &T::ProcessMessages, &T::F_Set_ProcessMessages, false)
          .Event("BeforeOpen", &T::BeforeOpen)
          .Event("AfterOpen", &T::AfterOpen)
          .Event("BeforeClose", &T::BeforeClose)
          .Event("AfterClose", &T::AfterClose)
          .Event("BeforeInsert", &T::BeforeInsert)
          .Event("AfterInsert", &T::AfterInsert)
          .Event("BeforeEdit", &T::BeforeEdit)
          .Event("AfterEdit", &T::AfterEdit)
          .Event("BeforePost", &T::BeforePost)
          .Event("AfterPost", &T::AfterPost)
          .Event("BeforeCancel", &T::BeforeCancel)
          .Event("AfterCancel", &T::AfterCancel)
          .Event("BeforeDelete", &T::BeforeDelete)
          .Event("AfterDelete", &T::AfterDelete)
          .Event("BeforeScroll", &T::BeforeScroll)
          .Event("AfterScroll", &T::AfterScroll)
          .Event("OnCalcFields", &T::OnCalcFields)
          .Event("OnDeleteError", &T::OnDeleteError)
          .Event("OnEditError", &T::OnEditError)
          .Event("OnNewRecord", &T::OnNewRecord)
          .Event("OnPostError", &T::OnPostError)
          .Boolean("AutoCalcFields", &T::AutoCalcFields, &T::SetAutoCalcFields, true)
          .Boolean("Active", &T::Active, &T::SetActive, false);
  return info;
}

const ClassInfo& TLumoDaoTable::ClassType() const { return StaticClass(); }

void RegisterDaoTableClasses() {
  RegisterDaoDatabaseClasses();
  RegisterFieldClasses();
  RegisterClass(TLumoDaoTable::StaticClass());
}

// --- setters ----------------------------------------------------------------------------------

void TLumoDaoTable::F_Set_Database(TLumoDaoDatabase* database) {
  if (Active()) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
  }
  if (database_ != nullptr && database_ != database) database_->RemoveFreeNotification(this);
  database_ = database;
  if (database_ != nullptr) database_->FreeNotification(this);
}

void TLumoDaoTable::ClearSourceDerived() {
  indexName_.clear();
  captions_.Clear();
  FieldDefs().Clear();
  ForgetIndexDefinitions();
}

void TLumoDaoTable::ForgetIndexDefinitions() {
  indexDefs_.Clear();
  indexDefsLoadedFrom_.clear();
}

void TLumoDaoTable::F_Set_TableName(const std::string& name) {
  if (Active()) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
  }
  tableName_ = name;
  if (name.empty()) return;
  sql_.Clear();
  queryDefName_.clear();
  queryDefSqlText_.Clear();
  queryDefParameters_.Clear();
  sortedBy_.Clear();
  ClearSourceDerived();
}

void TLumoDaoTable::F_Set_SQL(const TStrings& lines) {
  sql_.Assign(lines);
  if (sql_.Text().empty()) return;
  queryDefParameters_.Clear();
  queryDefSqlText_.Clear();
  queryDefName_.clear();
  tableName_.clear();
  ClearSourceDerived();
}

void TLumoDaoTable::F_Set_TableType(int32_t type) {
  if (Active()) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
  }
  tableType_ = type;
  if (type == 1) {
    sortedBy_.Clear();
    return;
  }
  indexName_.clear();
  ForgetIndexDefinitions();
  if (type == 8) sortedBy_.Clear();
}

void TLumoDaoTable::F_Set_LockType(int32_t type) {
  if (Active()) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
  }
  lockType_ = type;
}

void TLumoDaoTable::F_Set_OpenOptions(TOOSet options) {
  openOptions_ = options;
  if (cursorOpen_) ReopenRecordset();
}

void TLumoDaoTable::F_Set_ReadOnly(bool value) {
  if (!value && database_ != nullptr && database_->Connected() && database_->ReadOnly()) {
    value = true;
  }
  readOnly_ = value;
}

void TLumoDaoTable::F_Set_SortedBy(const TStrings& lines) {
  TStringList oldSort;
  oldSort.Assign(sortedBy_);
  const std::string oldIndex = indexName_;
  sortedBy_.Assign(lines);
  indexName_.clear();
  if (!cursorOpen_) return;
  // A sort the engine refuses (a field it does not know) leaves the old order in place.
  ReopenKeepingOnFailure([&] {
    sortedBy_.Assign(oldSort);
    indexName_ = oldIndex;
  });
}

void TLumoDaoTable::ReopenForSetter() {
  if (IsLoading() || !cursorOpen_) return;
  Close();
  Open();
  First();
}

void TLumoDaoTable::F_Set_CacheBlobs(bool value) {
  cacheBlobs_ = value;
  ReopenForSetter();
}

void TLumoDaoTable::F_Set_CacheMemos(bool value) {
  cacheMemos_ = value;
  ReopenForSetter();
}

void TLumoDaoTable::F_Set_CacheLookups(bool value) {
  cacheLookups_ = value;
  ReopenForSetter();
}

void TLumoDaoTable::F_Set_ShowGUID(bool value) {
  showGuid_ = value;
  ReopenForSetter();
}

void TLumoDaoTable::F_Set_Encrypter(TComponent* encrypter) {
  if (encrypter_ != nullptr && encrypter_ != encrypter) encrypter_->RemoveFreeNotification(this);
  encrypter_ = encrypter;
  if (encrypter_ != nullptr) encrypter_->FreeNotification(this);
  ReopenForSetter();
}

// --- computed properties -----------------------------------------------------------------------

bool TLumoDaoTable::LockEdits() const {
  try {
    if (!Active() || database_ == nullptr || !recordset_) return false;
    if (database_->DatabaseType() == "ODBC") return false;
    if (database_->ReadOnly() || readOnly_) return false;
    if (tableType_ != 1 && tableType_ != 2) return false;
    return recordset_->LockEdits();
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

std::string DateMember(const Variant& value) {
  try {
    return VarToStr(value);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

std::string TLumoDaoTable::TableDateCreated() const {
  try {
    if (!cursorOpen_ || !recordset_) return {};
    if (tableType_ == 1) return DateMember(recordset_->DateCreated());
    if (!queryDefName_.empty() && database_ != nullptr && database_->DaoDatabase()) {
      return DateMember(database_->DaoDatabase()->QueryDefs().Item(queryDefName_)->DateCreated());
    }
  } catch (const std::exception&) {
    // Creation dates are optional facts: any engine error reads as empty.
  }
  return {};
}

std::string TLumoDaoTable::TableLastUpdated() const {
  try {
    if (!cursorOpen_ || !recordset_) return {};
    if (tableType_ == 1) return DateMember(recordset_->LastUpdated());
    if (!queryDefName_.empty() && database_ != nullptr && database_->DaoDatabase()) {
      return DateMember(database_->DaoDatabase()->QueryDefs().Item(queryDefName_)->LastUpdated());
    }
  } catch (const std::exception&) {
    // As for the creation date.
  }
  return {};
}

// --- component duties ----------------------------------------------------------------------------

void TLumoDaoTable::AssignAutomaticName() {
  std::uniform_int_distribution<int64_t> draw(0, 9999);
  int64_t number = draw(RandomGenerator()) + static_cast<int64_t>(GetTickCount());
  std::string name = "LumoDaoTable_" + std::to_string(std::llabs(number));
  try {
    SetName(name);
  } catch (const EComponentError&) {
    SetName(name + "_" + std::to_string(draw(RandomGenerator())));
  }
}

void TLumoDaoTable::FinishLoading() {
  try {
    TDataSet::FinishLoading();
  } catch (...) {
    // The form goes on loading; the user sees what went wrong.
    HandleOperationError();
  }
}

void TLumoDaoTable::HandleOperationError() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowMessage(error.what());
  } catch (...) {
    ShowMessage("Unknown error");
  }
}

void TLumoDaoTable::NotifyComponentChange(TComponent* component, Operation operation) {
  if (operation == Operation::kRemove) {
    if (component == database_) {
      database_ = nullptr;
    }
    if (component == encrypter_ && component != nullptr) {
      if (cursorOpen_) Close();
      encrypterActive_ = false;
      encodedProp_ = nullptr;
      decodedProp_ = nullptr;
      encrypter_ = nullptr;
    }
    if (component == masterSource_ && component != nullptr) {
      masterSource_ = nullptr;
      masterLink_->SetDataSource(nullptr);
    }
  }
  TDataSet::NotifyComponentChange(component, operation);
}

TLumoDaoDatabase& TLumoDaoTable::RequireDatabase(const char* operation) const {
  if (database_ == nullptr) {
    throw EDatabaseError(std::string("TLumoDaoTable.") + operation + ": Missing Database Property");
  }
  return *database_;
}

void TLumoDaoTable::EngineIdle() {
  if (database_ != nullptr) database_->EngineIdle();
}

void TLumoDaoTable::CollectDaoError(TDaoErrRec& error) const {
  error = database_ != nullptr ? database_->GetLastDaoError() : TDaoErrRec{};
}

void TLumoDaoTable::PutDaoErrorText(Exception& error) const {
  TDaoErrRec dao;
  CollectDaoError(dao);
  if (dao.Number == 0) return;
  error.SetMessage(dao.Description);
  error.SetHelpContext(dao.HelpContext);
}

}  // namespace lumo
