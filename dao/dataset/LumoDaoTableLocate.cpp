// TLumoDaoTable: Locate and the directed searches (LocateFirst ... LocatePrior, and through
// FindNextMatch the framework's FindFirst ... FindPrior): a seek on a clone of a standard
// table, a criteria search on a clone of any other bookmarkable recordset, a scan of a
// recordset without bookmarks. The dataset moves once, to the bookmark of what the clone
// found.

#include <cstring>

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Index.h"
#include "jet/JetTypes.h"
#include "jet/Recordset.h"
#include "jet/TableDef.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr int kMaxSeekKeys = 13;
// Where a record found by a seek stands until RecNo counts its way there (below -1: not known).
constexpr int32_t kPositionNotCounted = -(1 << 28);
constexpr TResyncMode kExactCenter{true, true};

enum Direction { kFirst = 1, kLast = 2, kNext = 3, kPrior = 4 };

bool AbsolutePositionCase(int32_t tableType) {
  return tableType == jet::dbOpenDynaset || tableType == jet::dbOpenSnapshot ||
         tableType == jet::dbOpenDynamic;
}

Variant BookmarkBytes(int32_t value) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return Variant(std::move(bytes));
}

// Characters of UTF-8 text (field sizes count characters).
size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// Closes a clone on every path; a failing close must not hide what went wrong before it.
class CloneScope {
 public:
  explicit CloneScope(std::shared_ptr<jet::Recordset> clone) : clone_(std::move(clone)) {}
  ~CloneScope() {
    try {
      clone_->Close();
    } catch (const std::exception&) {
      // Released all the same when the reference goes.
    }
  }
  CloneScope(const CloneScope&) = delete;
  CloneScope& operator=(const CloneScope&) = delete;
  jet::Recordset& operator*() const { return *clone_; }
  jet::Recordset* operator->() const { return clone_.get(); }

 private:
  std::shared_ptr<jet::Recordset> clone_;
};

}  // namespace

TLumoDaoTable::LocateKeys TLumoDaoTable::PrepareKeys(const std::string& keyFields,
                                                     const Variant& keyValues) const {
  LocateKeys keys;
  keys.names = SplitFieldList(keyFields);
  keys.texts = KeyValuesToText(keyValues);
  if (keys.names.size() != keys.texts.size()) {
    throw EDatabaseError(
        "Number of elements in the KeyValues array must be equal to the number of fields.");
  }
  // Every name and every value is checked before anything moves.
  for (size_t i = 0; i < keys.names.size(); ++i) {
    TField* field = FieldByName(keys.names[i]);
    keys.fields.push_back(field);
    keys.values.push_back(KeyValueFor(*field, keys.texts[i]));
  }
  return keys;
}

// --- Locate
// ---------------------------------------------------------------------------------------

bool TLumoDaoTable::Locate(const std::string& keyFields, const Variant& keyValues,
                           TLocateOptions options) {
  if (IsEmpty() || RecordFilterInUse() || database_ == nullptr || !database_->Connected())
    return false;
  LocateKeys keys = PrepareKeys(keyFields, keyValues);
  const bool absolute = AbsolutePositionCase(tableType_);
  PositionAtBuffer(StateRecordBuffer());
  const int32_t saved = currentPosition_;
  if (!bookmarkable_) return ScanForKeys(keys, options, saved);

  std::string criteria;
  if (tableType_ != jet::dbOpenTable)
    criteria = BuildLocateCriteria(keys.names, keys.texts, options);
  const std::string indexName = ChooseLocateIndex(keyFields);
  if (tableType_ == jet::dbOpenTable && indexName.empty()) {
    throw EDatabaseError(
        "Index Property is Empty!\r\nYou must set an index before using Locate with "
        "StandardTables");
  }
  CloneScope clone(Rs().Clone());
  bool found = false;
  if (tableType_ == jet::dbOpenTable) {
    found = SeekOnClone(*clone, indexName, keys, options);
  } else {
    clone->MoveFirst();
    clone->FindFirst(criteria);
    found = !clone->NoMatch();
  }
  if (found) MoveToFound(*clone, absolute, TResyncMode{});
  return found;
}

std::string TLumoDaoTable::ChooseLocateIndex(const std::string& keyFields) const {
  std::string name;
  if (autoFindIndex_) {
    name = FindIndexForFields("!" + keyFields);
    if (name.empty()) name = FindIndexForFields(keyFields);
    if (name.empty()) name = indexName_;
  } else {
    name = indexName_;
    if (name.empty()) name = FindIndexForFields("!" + keyFields);
    if (name.empty()) name = FindIndexForFields(keyFields);
  }
  return name;
}

bool TLumoDaoTable::SeekOnClone(jet::Recordset& clone, const std::string& indexName,
                                const LocateKeys& keys, TLocateOptions options) {
  const bool partial = options.Contains(TLocateOption::loPartialKey);
  // No record holds a text longer than its field.
  for (size_t i = 0; i < keys.fields.size(); ++i) {
    const TField& field = *keys.fields[i];
    if (field.DataType() == ftString && field.Size() > 0 && keys.texts[i] != kNullKey &&
        CharacterCount(keys.texts[i]) > static_cast<size_t>(field.Size())) {
      return false;
    }
  }

  // Which key each field of the index gets, in index order.
  auto& indexFields =
      database_->DaoDatabase()->TableDefs().Item(tableName_)->Indexes().Item(indexName)->Fields();
  const int fieldCount = indexFields.Count();
  std::vector<int> keyOf(static_cast<size_t>(fieldCount), -1);
  for (int i = 0; i < fieldCount; ++i) {
    const std::string name = indexFields.Item(i)->Name();
    for (size_t k = 0; k < keys.names.size(); ++k) {
      if (AnsiSameText(keys.names[k], name)) {
        keyOf[static_cast<size_t>(i)] = static_cast<int>(k);
        break;
      }
    }
  }
  // The leading run: the index fields the keys give from the first on, as far as a seek takes.
  int run = 0;
  while (run < fieldCount && run < kMaxSeekKeys && keyOf[static_cast<size_t>(run)] >= 0) ++run;

  clone.SetIndex(indexName);
  clone.MoveFirst();
  std::vector<Variant> slots;
  for (int i = 0; i < run; ++i)
    slots.push_back(keys.values[static_cast<size_t>(keyOf[static_cast<size_t>(i)])]);
  const bool exact =
      !partial && run == fieldCount && keys.names.size() == static_cast<size_t>(fieldCount);
  if (exact) {
    clone.Seek("=", slots);
    return !clone.NoMatch();
  }
  if (run > 0) {
    clone.Seek(">=", slots);
    if (clone.NoMatch()) return false;
  } else if (clone.IsEOF()) {
    return false;
  }

  // From there on, while the sought fields still hold their keys: up to and including the
  // first one matched by its start only, the records that hold them follow each other.
  int bounding = run;
  for (int i = 0; i < run; ++i) {
    const TField& field = *keys.fields[static_cast<size_t>(keyOf[static_cast<size_t>(i)])];
    if (partial && field.DataType() == ftString) {
      bounding = i + 1;
      break;
    }
  }
  auto holds = [&](size_t k) {
    TField& field = *keys.fields[k];
    const Variant value = clone.Fields().Item(field.FieldNo() - 1)->Value();
    return ValueHoldsKey(field, value, keys.values[k], keys.texts[k], partial);
  };
  for (; !clone.IsEOF(); clone.MoveNext()) {
    for (int i = 0; i < bounding; ++i) {
      if (!holds(static_cast<size_t>(keyOf[static_cast<size_t>(i)]))) return false;
    }
    bool all = true;
    for (size_t k = 0; k < keys.names.size() && all; ++k) all = holds(k);
    if (all) return true;
  }
  return false;
}

void TLumoDaoTable::MoveToFound(jet::Recordset& clone, bool absolutePosition, TResyncMode mode) {
  const int32_t bookmark = CurrentBookmarkValue(clone);
  CheckBrowseMode();
  CursorPosChanged();
  DoBeforeScroll();
  // A table's record number would take a walk through the table: it is counted when asked.
  const int32_t position = absolutePosition ? clone.AbsolutePosition() : kPositionNotCounted;
  GoToBookmarkValue(bookmark);
  currentPosition_ = position;
  Resynchronize(mode);
  DoAfterScroll();
}

// --- the scan of a recordset without bookmarks
// ------------------------------------------------------

void TLumoDaoTable::RestartScan() {
  if (IsForwardOnly()) {
    Rs().Requery();
  } else {
    Rs().MoveFirst();
  }
  scanCounter_ = 0;
}

bool TLumoDaoTable::ScanForKeys(const LocateKeys& keys, TLocateOptions options, int32_t saved) {
  const bool caseInsensitive = options.Contains(TLocateOption::loCaseInsensitive);
  const bool partial = options.Contains(TLocateOption::loPartialKey);
  std::vector<std::string> wanted;
  for (const std::string& text : keys.texts) {
    std::string key = caseInsensitive && text != kNullKey ? AnsiLowerCase(text) : text;
    if (partial) {
      if (!key.empty() && key.back() == '*') key.pop_back();
      if (!key.empty() && key.front() == '*') key.erase(0, 1);
    }
    wanted.push_back(std::move(key));
  }
  auto matches = [&](size_t i) {
    const Variant value = Rs().Fields().Item(keys.fields[i]->FieldNo() - 1)->Value();
    if (keys.texts[i] == kNullKey || value.IsNull())
      return keys.texts[i] == kNullKey && value.IsNull();
    const std::string text = caseInsensitive ? AnsiLowerCase(VarToStr(value)) : VarToStr(value);
    return partial ? text.find(wanted[i]) != std::string::npos : text == wanted[i];
  };

  CheckBrowseMode();
  CursorPosChanged();
  DoBeforeScroll();
  RestartScan();
  for (int32_t counter = 0; !Rs().IsEOF(); ++counter) {
    bool matched = true;
    for (size_t i = 0; i < keys.fields.size() && matched; ++i) matched = matches(i);
    if (matched) {
      DoBeforeScroll();
      currentPosition_ = counter;
      scanCounter_ = counter;
      Resynchronize(TResyncMode{});
      DoAfterScroll();
      DoAfterScroll();
      return true;
    }
    Rs().MoveNext();
  }
  RestartScan();
  if (saved > 0) Rs().Move(saved);
  currentPosition_ = saved;
  scanCounter_ = saved;
  Resynchronize(kExactCenter);
  DoAfterScroll();
  return false;
}

// --- the directed searches
// --------------------------------------------------------------------------

bool TLumoDaoTable::LocateFirst(const std::string& keyFields, const Variant& keyValues,
                                TLocateOptions options) {
  return LocateInDirection(kFirst, keyFields, keyValues, options);
}

bool TLumoDaoTable::LocateLast(const std::string& keyFields, const Variant& keyValues,
                               TLocateOptions options) {
  return LocateInDirection(kLast, keyFields, keyValues, options);
}

bool TLumoDaoTable::LocateNext(const std::string& keyFields, const Variant& keyValues,
                               TLocateOptions options) {
  return LocateInDirection(kNext, keyFields, keyValues, options);
}

bool TLumoDaoTable::LocatePrior(const std::string& keyFields, const Variant& keyValues,
                                TLocateOptions options) {
  return LocateInDirection(kPrior, keyFields, keyValues, options);
}

bool TLumoDaoTable::LocateInDirection(int direction, const std::string& keyFields,
                                      const Variant& keyValues, TLocateOptions options) {
  if (IsEmpty() || RecordFilterInUse()) return false;
  LocateKeys keys = PrepareKeys(keyFields, keyValues);
  const bool absolute = AbsolutePositionCase(tableType_);
  TRecordBuffer buffer = StateRecordBuffer();
  PositionAtBuffer(buffer);
  const int32_t saved = currentPosition_;
  if (!bookmarkable_) return false;

  const std::string criteria = BuildLocateCriteria(keys.names, keys.texts, options);
  CloneScope clone(Rs().Clone());
  clone->MoveFirst();
  // On the current record: by its bookmark, which holds also where a count of positions was
  // made stale by a post; by position only where the buffer has none.
  const int32_t current = buffer != nullptr ? Header(buffer).BookmarkValue : 0;
  if (current != 0) {
    clone->SetBookmark(BookmarkBytes(current));
  } else {
    clone->Move(saved);
  }
  switch (direction) {
    case kFirst: clone->FindFirst(criteria); break;
    case kLast: clone->FindLast(criteria); break;
    case kNext: clone->FindNext(criteria); break;
    default: clone->FindPrevious(criteria); break;
  }
  if (clone->NoMatch()) return false;
  MoveToFound(*clone, absolute, kExactCenter);
  return true;
}

bool TLumoDaoTable::FindNextMatch(bool restart, bool goForward) {
  if (findKeyFields_.empty() || findKeyValues_.IsNull()) return false;
  const int direction = restart ? (goForward ? kFirst : kLast) : (goForward ? kNext : kPrior);
  return LocateInDirection(direction, findKeyFields_, findKeyValues_, findOptions_);
}

void TLumoDaoTable::SetFindKey(const std::string& keyFields, const Variant& keyValues,
                               TLocateOptions options) {
  findKeyFields_ = keyFields;
  findKeyValues_ = keyValues;
  findOptions_ = options;
}

}  // namespace lumo
