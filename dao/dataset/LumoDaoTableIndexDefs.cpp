// TLumoDaoTable: the index definitions of a standard table (loading them from the engine,
// writing added and removed ones back), the current index (IndexName), its field count, and
// the index that serves a look-up on given fields.

#include <algorithm>
#include <memory>

#include "dao/dataset/LumoDaoTable.h"

#include "dao/dataset/DaoUtils.h"
#include "jet/Database.h"
#include "jet/Index.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"
#include "jet/TableDef.h"

namespace lumo {

namespace {

bool ListHas(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& own) { return AnsiSameText(own, name); });
}

}  // namespace

void TLumoDaoTable::LoadIndexDefinitions() {
  ForgetIndexDefinitions();
  if (tableName_.empty() || tableType_ != jet::dbOpenTable || database_ == nullptr ||
      !database_->Connected() || database_->EngineType() == jet::dbUseODBC) {
    return;
  }
  try {
    auto& indexes = database_->DaoDatabase()->TableDefs().Item(tableName_)->Indexes();
    try {
      indexes.Refresh();
    } catch (const std::exception&) {
      // The collection as it was is still a description of the table.
    }
    for (int i = 0; i < indexes.Count(); ++i) {
      std::string name;
      bool primary = false;
      bool unique = false;
      std::string fields;
      std::string descFields;
      bool anyAscending = false;
      try {
        auto index = indexes.Item(i);
        name = index->Name();
        primary = index->Primary();
        unique = index->Unique();
        auto& indexFields = index->Fields();
        for (int f = 0; f < indexFields.Count(); ++f) {
          auto field = indexFields.Item(f);
          std::string& list = (field->Attributes() & jet::dbDescending) != 0 ? descFields : fields;
          if (&list == &fields) anyAscending = true;
          if (!list.empty()) list += ';';
          list += field->Name();
        }
      } catch (const std::exception&) {
        // What could not be read stays empty or false.
      }
      TIndexOptions options;
      if (primary) options.Include(TIndexOption::ixPrimary);
      if (unique) options.Include(TIndexOption::ixUnique);
      if (!anyAscending) options.Include(TIndexOption::ixDescending);
      indexDefs_.Add(name, fields, options).SetDescFields(descFields);
    }
    indexDefsLoadedFrom_ = tableName_;
  } catch (const std::exception&) {
    // A table the engine cannot describe has no index definitions.
  }
  indexDefs_.SetUpdated(true);
}

void TLumoDaoTable::ListIndexNames(TStrings& list) {
  list.Clear();
  if (database_ == nullptr || !database_->Connected()) return;
  try {
    database_->RefreshCatalogue();
    auto& indexes = database_->DaoDatabase()->TableDefs().Item(tableName_)->Indexes();
    // Another program may have changed the table's indexes since they were last read.
    indexes.Refresh();
    for (int i = 0; i < indexes.Count(); ++i) list.Add(indexes.Item(i)->Name());
  } catch (const std::exception&) {
    // The names read so far are the answer.
  }
}

bool TLumoDaoTable::CanCreateIndexFrom(const TIndexDef& definition) const {
  if (tableName_.empty() || database_ == nullptr ||
      database_->TableNames().IndexOf(tableName_) < 0) {
    return false;
  }
  // Only fields the last open reported: a misspelt name leaves the table as it is.
  for (const std::string* list : {&definition.Fields(), &definition.DescFields()}) {
    for (const std::string& name : FieldListNames(*list)) {
      if (allFieldNames_.IndexOf(name) < 0) return false;
    }
  }
  return true;
}

void TLumoDaoTable::CreateIndexFrom(const TIndexDef& definition) {
  // Tables and fields as the engine knows them now, also after another program's changes.
  database_->RefreshCatalogue();
  auto tableDef = database_->DaoDatabase()->TableDefs().Item(tableName_);
  auto index = tableDef->CreateIndex(definition.Name());
  if (definition.Options().Contains(TIndexOption::ixPrimary)) index->SetPrimary(true);
  if (definition.Options().Contains(TIndexOption::ixUnique)) index->SetUnique(true);
  for (const std::string& name : FieldListNames(definition.Fields())) {
    index->Fields().Append(tableDef->CreateField(name));
  }
  for (const std::string& name : FieldListNames(definition.DescFields())) {
    auto field = tableDef->CreateField(name);
    field->SetAttributes(field->Attributes() | jet::dbDescending);
    index->Fields().Append(field);
  }
  // The engine makes the whole index in one step, or nothing of it.
  tableDef->Indexes().Append(index);
  database_->RefreshCatalogue();
}

void TLumoDaoTable::RefreshIndexDefinitions() {
  TStringList names;
  ListIndexNames(names);
  std::vector<std::string> existing;
  for (int i = 0; i < names.Count(); ++i) existing.push_back(names[i]);

  // What the caller asked for, copied: reopening the dataset reloads IndexDefs.
  std::vector<std::unique_ptr<TIndexDef>> added;
  std::vector<std::string> carried;
  for (int i = 0; i < indexDefs_.Count(); ++i) {
    const TIndexDef& definition = indexDefs_[i];
    carried.push_back(definition.Name());
    if (ListHas(existing, definition.Name()) || !CanCreateIndexFrom(definition)) continue;
    auto copy = std::make_unique<TIndexDef>();
    copy->SetName(definition.Name());
    copy->SetFields(definition.Fields());
    copy->SetDescFields(definition.DescFields());
    copy->SetOptions(definition.Options());
    added.push_back(std::move(copy));
  }
  std::vector<std::string> removed;
  if (tableType_ == jet::dbOpenTable && !indexDefsLoadedFrom_.empty() &&
      AnsiSameText(indexDefsLoadedFrom_, tableName_)) {
    for (const std::string& name : existing) {
      if (!ListHas(carried, name)) removed.push_back(name);
    }
  }

  const bool reopen = Active() && (!added.empty() || !removed.empty());
  try {
    if (reopen) Close();
    for (const auto& definition : added) CreateIndexFrom(*definition);
    for (const std::string& name : removed) database_->DeleteIndex(tableName_, name);
  } catch (...) {
    if (reopen) {
      try {
        Open();
      } catch (const std::exception&) {
        // The error that stopped the write-back is the one to report.
      }
    }
    LoadIndexDefinitions();
    throw;
  }
  if (reopen) Open();
  LoadIndexDefinitions();
}

void TLumoDaoTable::F_Set_IndexName(const std::string& name) {
  const bool standardTable = tableType_ == jet::dbOpenTable;
  if (!name.empty() && !standardTable) {
    throw EDatabaseError(
        "TLumoDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!");
  }
  if (Active() && standardTable) {
    sortedBy_.Clear();
    // Post a pending change first: the engine drops an edit when the order changes.
    CheckBrowseMode();
    if (recordset_) Rs().SetIndex(name);
    ClearBuffers();
    currentPosition_ = -1;
    highestPosition_ = -1;
    cachedRecordCount_ = -1;
    countStale_ = true;
    bookmarkPositions_.clear();
    bookmarkValues_.clear();
    ActivateBuffers();
    First();
  } else if (standardTable && !name.empty()) {
    sortedBy_.Clear();
  }
  indexName_ = name;
}

int32_t TLumoDaoTable::IndexFieldCount() const {
  if (tableType_ != jet::dbOpenTable || database_ == nullptr || !database_->Connected() ||
      tableName_.empty() || indexName_.empty()) {
    return 0;
  }
  try {
    auto tableDef = database_->DaoDatabase()->TableDefs().Item(tableName_);
    return tableDef->Indexes().Item(indexName_)->Fields().Count();
  } catch (const std::exception&) {
    return 0;
  }
}

std::string TLumoDaoTable::FindIndexForFields(const std::string& fields) const {
  if (indexDefs_.Count() == 0 || tableType_ != jet::dbOpenTable || fields.empty()) return {};
  const bool exact = fields.front() == '!';
  return MatchIndexForFields(indexDefs_, SplitFieldList(exact ? fields.substr(1) : fields), exact);
}

}  // namespace lumo
