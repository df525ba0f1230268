// TLumoDaoTable: opening and closing the engine recordset, field definitions, per-field
// defaults and updatability, and the framework's open and close paths.

#include "dao/dataset/LumoDaoTable.h"

#include "dao/dataset/DaoUtils.h"
#include "db/DataSource.h"
#include "db/Field.h"
#include "db/Fields.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr int kSystemField = 8192;

bool IsEnclosed(const std::string& text, char delimiter) {
  return text.size() > 1 && text.front() == delimiter && text.back() == delimiter;
}

// A DAO default as the record text of its field.
std::string DefaultText(const jet::Field& field) {
  std::string value = field.DefaultValue();
  switch (field.Type()) {
    case jet::dbText:
    case jet::dbMemo:
      if (IsEnclosed(value, '"')) value = value.substr(1, value.size() - 2);
      break;
    case jet::dbDate:
      value = IsEnclosed(value, '#') ? DateDefaultText(value.substr(1, value.size() - 2))
                                     : std::string();
      break;
    default: break;
  }
  if (SameText(value, "Null")) value.clear();
  return value;
}

std::optional<std::string> FieldProperty(jet::Field& field, std::string_view name) {
  auto property = field.Properties().Find(name);
  if (!property) return std::nullopt;
  return VarToStr(property->Value());
}

std::string StripSingleQuotes(std::string text) {
  if (!text.empty() && text.front() == '\'') text.erase(0, 1);
  if (!text.empty() && text.back() == '\'') text.pop_back();
  return text;
}

}  // namespace

void TLumoDaoTable::OpenDaoRecordset() {
  // Opening the master and resolving the link make the link report changes that this open
  // takes care of itself.
  struct OpeningFlag {
    bool& flag;
    explicit OpeningFlag(bool& f) : flag(f) { flag = true; }
    ~OpeningFlag() { flag = false; }
  } opening{openingRecordset_};

  TLumoDaoDatabase& database = ConnectForOpen();
  PrepareForOpen(database);
  OpenSourceRecordset(database);
  TakeRecordsetTraits(database);
  ApplyIndexName();
  ReadFieldDefaultsAndUpdatability(database);
  ApplySortedBy();
  ApplyFilter();
  ResolveMasterLinkAtOpen(*database.DaoDatabase());
  CollectFieldObjects();
  ResetCursorBookkeeping();
  database.EngineIdle();
}

TLumoDaoDatabase& TLumoDaoTable::ConnectForOpen() {
  TLumoDaoDatabase& database = RequireDatabase("OpenDaoRecordset");
  if (tableName_.empty() && sql_.Count() == 0 && queryDefName_.empty()) {
    throw EDatabaseError(
        "TLumoDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
  }
  if (!database.Connected()) {
    if (!databaseAutoActivate_) {
      throw EDatabaseError("TLumoDaoTable.OpenDaoRecordset: Database is NOT connected");
    }
    database.Open();
  }
  if (tableType_ == jet::dbOpenDynamic && database.DatabaseType() != "ODBC") {
    throw EDatabaseError(
        "TLumoDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
  }
  return database;
}

void TLumoDaoTable::PrepareForOpen(TLumoDaoDatabase& database) {
  if (database.ReadOnly() || tableType_ == jet::dbOpenForwardOnly ||
      tableType_ == jet::dbOpenSnapshot) {
    readOnly_ = true;
  }
  optionsValue_ = static_cast<int32_t>(openOptions_.Mask());
  if (baseRecordset_) {
    try {
      baseRecordset_->Close();
    } catch (const std::exception&) {
      // Already gone with its database.
    }
    baseRecordset_.reset();
  }
  recordsAffected_ = 0;
  heldParams_.Clear();
}

void TLumoDaoTable::OpenSourceRecordset(TLumoDaoDatabase& database) {
  std::string source = tableName_;
  if (sql_.Count() > 0) {
    if (masterSource_ != nullptr) ApplyMasterValuesToParams();
    source = SubstituteParams(sql_);
  }
  if (!queryDefName_.empty()) {
    OpenQueryDefRecordset(database);
  } else {
    queryDefSqlText_.Clear();
    recordset_ =
        database.DaoDatabase()->OpenRecordset(source, tableType_, optionsValue_, lockType_);
  }
  database.EngineIdle();
}

void TLumoDaoTable::TakeRecordsetTraits(TLumoDaoDatabase& database) {
  if (!recordset_->Updatable()) readOnly_ = true;
  bookmarkable_ = recordset_->Bookmarkable();
  bookmarkPositions_.clear();
  bookmarkValues_.clear();
  goneIndexes_.clear();
  database.RefreshCatalogue();
  recordsAffected_ = database.DaoDatabase()->RecordsAffected();
}

void TLumoDaoTable::ApplyIndexName() {
  if (indexName_.empty()) return;
  try {
    recordset_->SetIndex(indexName_);
  } catch (const std::exception&) {
    // An index that does not fit leaves the table in its natural order.
  }
}

void TLumoDaoTable::ReadFieldDefaultsAndUpdatability(TLumoDaoDatabase& database) {
  auto& fields = recordset_->Fields();
  const int fieldCount = fields.Count();
  defaultValueList_.assign(static_cast<size_t>(fieldCount), std::string());
  updatableFlags_.assign(static_cast<size_t>(fieldCount), true);
  if (readOnly_ || !useDaoProperties_) return;
  const bool jetEngine = database.EngineType() == jet::dbUseJet;
  for (int i = 0; i < fieldCount; ++i) {
    auto field = fields.Item(i);
    int attributes = field->Attributes();
    updatableFlags_[static_cast<size_t>(i)] = (attributes & jet::dbUpdatableField) != 0 &&
                                              (attributes & jet::dbAutoIncrField) == 0 &&
                                              (attributes & kSystemField) == 0;
    if (!jetEngine) continue;
    try {
      defaultValueList_[static_cast<size_t>(i)] = DefaultText(*field);
    } catch (const std::exception&) {
      defaultValueList_[static_cast<size_t>(i)].clear();
    }
  }
}

void TLumoDaoTable::ReplaceRecordsetByDerived() {
  auto derived = recordset_->OpenRecordset(tableType_, optionsValue_);
  recordset_->Close();
  recordset_ = std::move(derived);
}

void TLumoDaoTable::ApplySortedBy() {
  if (sortedBy_.Count() == 0) return;
  sortText_.clear();
  for (int i = 0; i < sortedBy_.Count(); ++i) {
    sortText_ += sortedBy_[i];
    if (i + 1 < sortedBy_.Count()) sortText_ += ',';
    sortText_ += ' ';
  }
  recordset_->SetSort(sortText_);
  ReplaceRecordsetByDerived();
}

void TLumoDaoTable::ApplyFilter() {
  if (!Filtered() || Filter().empty()) return;
  recordset_->SetFilter(Filter());
  ReplaceRecordsetByDerived();
}

void TLumoDaoTable::ResolveMasterLinkAtOpen(jet::Database& dao) {
  // The link is suspended while the master is missing or inactive.
  masterLinkSuspended_ = true;
  if (masterSource_ != nullptr && masterSource_->DataSet() != nullptr) {
    TDataSet* master = masterSource_->DataSet();
    if (!master->Active() && masterAutoActivate_) master->Open();
    masterLinkSuspended_ = !masterLink_->Active();
  }
  ApplyMasterCriteriaAtOpen(dao);
}

void TLumoDaoTable::CollectFieldObjects() {
  fieldObjectArray_.clear();
  auto& fields = recordset_->Fields();
  fieldObjectArray_.reserve(static_cast<size_t>(fields.Count()));
  for (int i = 0; i < fields.Count(); ++i) fieldObjectArray_.push_back(fields.Item(i));
}

void TLumoDaoTable::ResetCursorBookkeeping() {
  currentPosition_ = -1;
  highestPosition_ = -1;
  cachedRecordCount_ = -1;
  countStale_ = true;
}

void TLumoDaoTable::CloseDaoRecordset() noexcept {
  fieldObjectArray_.clear();
  if (recordset_) {
    try {
      recordset_->Close();
    } catch (...) {
      // A recordset whose database is gone is closed already.
    }
    recordset_.reset();
  }
}

void TLumoDaoTable::LoadFieldDefinitions() {
  FieldDefs().Clear();
  captions_.Clear();
  const bool openedHere = !cursorOpen_ && !openInProgress_;
  if (openedHere) OpenDaoRecordset();
  try {
    const bool jetEngine = database_ != nullptr && database_->EngineType() == jet::dbUseJet;
    for (size_t i = 0; i < fieldObjectArray_.size(); ++i) {
      jet::Field& field = *fieldObjectArray_[i];
      const int daoType = field.Type();
      std::optional<std::string> format;
      if (daoType == jet::dbDate) format = FieldProperty(field, "Format");
      TFieldType type = DaoTypeToFieldType(daoType, field.Attributes(), format);
      int size = DaoTypeFieldSize(daoType, field.Size());

      std::string& defaultText = defaultValueList_[i];
      if (jetEngine && !defaultText.empty()) {
        std::string raw = AnsiLowerCase(field.DefaultValue());
        bool numeric =
            (daoType >= 3 && daoType <= 7) || daoType == 16 || (daoType >= 19 && daoType <= 21);
        if (type == ftAutoInc || (numeric && raw.find("genuniqueid") != std::string::npos) ||
            (daoType == jet::dbGUID && raw.find("genguid") != std::string::npos)) {
          defaultText.clear();
        }
      }
      if (type == ftBlob) defaultText.clear();

      bool required = !readOnly_ && useDaoProperties_ && field.Required();
      TFieldDef& def = FieldDefs().Add(field.Name(), type, size, required);
      std::string caption = field.Name();
      if (useCaptions_) {
        if (auto text = FieldProperty(field, "Caption")) caption = *text;
      }
      captions_.Add(caption);
      if (daoType == jet::dbGUID) def.SetPrecision(kGuidPrecision);
    }
    FieldDefs().SetUpdated(true);
    LoadIndexDefinitions();
  } catch (...) {
    if (openedHere) CloseDaoRecordset();
    throw;
  }
  if (openedHere) CloseDaoRecordset();
}

void TLumoDaoTable::OpenRecordSource() {
  try {
    OpenDaoRecordset();
    if (Name().empty()) AssignAutomaticName();
    openInProgress_ = true;
    try {
      LoadFieldDefinitions();
    } catch (...) {
      openInProgress_ = false;
      throw;
    }
    openInProgress_ = false;

    if (FieldCount() == 0) CreateFields();
    if (cacheLookups_) {
      for (TField* field : Fields()) {
        if (field->Lookup()) field->SetLookupCache(true);
      }
    }
    BindFields(true);
    if (useCaptions_) {
      for (int i = 0; i < FieldDefs().Count(); ++i) {
        if (TField* field = FindField(FieldDefs()[i].Name())) field->SetDisplayLabel(captions_[i]);
      }
    }
    SetBookmarkSize(bookmarkable_ ? 4 : 0);
    recordSize_ = static_cast<int32_t>(sizeof(TDaoRecordHeader)) + CalcFieldsSize();

    bool suspended = masterLinkSuspended_;
    masterLinkSuspended_ = true;
    PrepareFields();
    masterLinkSuspended_ = suspended;

    BindEncrypter();
    cursorOpen_ = true;
  } catch (...) {
    // The framework closes a failed open through CloseRecordSource, which only acts on an
    // open cursor: let go of the engine's objects here.
    CloseDaoRecordset();
    throw;
  }
  if (tableType_ == jet::dbOpenTable) {
    try {
      CountRecords();
    } catch (const std::exception&) {
      // The count is only a head start.
    }
  }
  PositionAtStart();
  if (database_ != nullptr) {
    database_->OpenDatasets().AddObject(Name(), this);
    database_->EngineIdle();
  }
}

void TLumoDaoTable::PrepareFields() {
  allFieldNames_.Clear();
  const int defCount = FieldDefs().Count();
  defFields_.assign(static_cast<size_t>(defCount), nullptr);
  defTypes_.assign(static_cast<size_t>(defCount), ftUnknown);
  defGuid_.assign(static_cast<size_t>(defCount), false);
  std::bitset<256> guidChars;
  for (unsigned char c : std::string("-0123456789ABCDEFabcdef{}")) guidChars.set(c);

  for (int i = 0; i < defCount; ++i) {
    TFieldDef& def = FieldDefs()[i];
    const auto index = static_cast<size_t>(i);
    defTypes_[index] = def.DataType();
    defGuid_[index] = def.DataType() == ftBytes && def.Precision() == kGuidPrecision;
    TField* field = FindField(def.Name());
    if (field == nullptr) continue;
    defFields_[index] = field;
    if (index < updatableFlags_.size() && !updatableFlags_[index]) field->SetReadOnly(true);
    if (!field->DefaultExpression().empty() && index < defaultValueList_.size()) {
      defaultValueList_[index] = StripSingleQuotes(field->DefaultExpression());
    }
    allFieldNames_.Add(def.Name());
    switch (def.DataType()) {
      case ftDateTime:
        if (DefaultFields() && field->DisplayWidth() < 20) field->SetDisplayWidth(20);
        break;
      case ftMemo:
        if (cacheMemos_) {
          if (DefaultFields() && field->DisplayWidth() < 30) field->SetDisplayWidth(30);
          field->OnGetText = [this](TField& f, std::string& text, bool display) {
            MemoGetText(f, text, display);
          };
        }
        break;
      case ftFloat:
        if (auto* floatField = dynamic_cast<TFloatField*>(field)) floatField->SetPrecision(7);
        break;
      case ftBytes:
        if (defGuid_[index]) {
          field->SetValidChars(guidChars);
          if (showGuid_) {
            if (DefaultFields() && field->DisplayWidth() < 38) field->SetDisplayWidth(38);
            field->OnGetText = [this](TField& f, std::string& text, bool display) {
              GuidGetText(f, text, display);
            };
            field->OnSetText = [this](TField& f, const std::string& text) { GuidSetText(f, text); };
          }
        }
        break;
      default: break;
    }
  }
}

void TLumoDaoTable::BindEncrypter() {
  encrypterActive_ = false;
  encodedProp_ = nullptr;
  decodedProp_ = nullptr;
  if (encrypter_ == nullptr) return;
  const PropInfo* encoded = GetPropInfo(*encrypter_, "EncodedString");
  const PropInfo* decoded = GetPropInfo(*encrypter_, "DecodedString");
  if (encoded == nullptr || decoded == nullptr || encoded->kind != PropKind::kString ||
      decoded->kind != PropKind::kString) {
    return;
  }
  encodedProp_ = encoded;
  decodedProp_ = decoded;
  encrypterActive_ = true;
}

void TLumoDaoTable::CloseRecordSource() {
  if (!cursorOpen_) return;
  if (State() == TDataSetState::dsEdit && recordset_) {
    try {
      recordset_->CancelUpdate();
    } catch (const std::exception&) {
      // Nothing pending after all.
    }
  }
  cursorOpen_ = false;
  // Streams still open keep what they hold; their records and fields are going.
  if (!blobStreams_.empty()) ForgetBlobBuffer(nullptr);
  optionsValue_ = 0;
  sortText_.clear();
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  defFields_.clear();
  CloseDaoRecordset();
  if (baseRecordset_) {
    try {
      baseRecordset_->Close();
    } catch (const std::exception&) {
      // Closed with its database.
    }
    baseRecordset_.reset();
  }
  if (database_ != nullptr) {
    if (closingByDatabase_) {
      closingByDatabase_ = false;
    } else {
      int index = database_->OpenDatasets().IndexOfObject(this);
      if (index >= 0) database_->OpenDatasets().Delete(index);
    }
  }
  closingByDatabase_ = false;
  DisposeOldValues();
}

void TLumoDaoTable::ReopenRecordset() {
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  OpenDaoRecordset();
  ActivateBuffers();
  First();
}

}  // namespace lumo
