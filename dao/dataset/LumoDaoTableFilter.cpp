// TLumoDaoTable: Filter, Filtered and OnFilterRecord. The engine narrows the records: a
// change on an open dataset rebuilds the recordset (the open path hands Filter to the
// recordset's Filter and opens a new recordset from it) and goes to the first record.

#include "dao/dataset/LumoDaoTable.h"

namespace lumo {

void TLumoDaoTable::ChangeFiltered(bool value) {
  const bool old = Filtered();
  if (value == old) return;
  TDataSet::ChangeFiltered(value);
  if (!cursorOpen_) return;
  ReopenKeepingOnFailure([&] { TDataSet::ChangeFiltered(old); });
}

void TLumoDaoTable::ChangeFilterText(const std::string& text) {
  const std::string old = Filter();
  TDataSet::ChangeFilterText(text);
  // While Filtered is false a new text only waits for its turn.
  if (!cursorOpen_ || !Filtered()) return;
  ReopenKeepingOnFailure([&] { TDataSet::ChangeFilterText(old); });
}

void TLumoDaoTable::SetOnFilterRecord(TFilterRecordEvent::Function handler) {
  TFilterRecordEvent old = OnFilterRecord;
  OnFilterRecord = std::move(handler);
  if (!cursorOpen_ || !Filtered()) return;
  ReopenKeepingOnFailure([&] { OnFilterRecord = old; });
}

void TLumoDaoTable::ReopenKeepingOnFailure(const std::function<void()>& restore) {
  // A pending change that cannot be posted keeps its record and the old setting.
  try {
    CheckBrowseMode();
  } catch (...) {
    restore();
    throw;
  }
  try {
    ReopenRecordset();
  } catch (...) {
    // The engine refused the new setting (a criterion it cannot read, say): the dataset
    // opens again as it was, so that no half-open dataset is left behind, and the error
    // goes to the caller. Should even that fail, the dataset closes.
    restore();
    try {
      CloseDaoRecordset();
      OpenDaoRecordset();
      ActivateBuffers();
      First();
    } catch (...) {
      Close();
    }
    throw;
  }
}

}  // namespace lumo
