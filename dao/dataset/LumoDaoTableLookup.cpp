// TLumoDaoTable: LookupValues, the result fields of the first record that holds the keys,
// read from a snapshot of the recordset filtered by the keys: the dataset itself does not move.

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "jet/DaoConstants.h"
#include "jet/Field.h"
#include "jet/Recordset.h"

namespace lumo {

namespace {

// The lookup snapshot is opened with this options value.
constexpr int kLookupOptions = 2;

// Gives a recordset its filter back on every path: a key criterion left behind would filter
// every snapshot made from the recordset afterwards (counts included).
class FilterScope {
 public:
  FilterScope(jet::Recordset& recordset, const std::string& criteria)
      : recordset_(recordset), saved_(recordset.Filter()) {
    recordset_.SetFilter(criteria);
  }
  ~FilterScope() {
    try {
      recordset_.SetFilter(saved_);
    } catch (const std::exception&) {
      // A closed recordset has no filter left to give back.
    }
  }
  FilterScope(const FilterScope&) = delete;
  FilterScope& operator=(const FilterScope&) = delete;

 private:
  jet::Recordset& recordset_;
  std::string saved_;
};

void CloseQuietly(jet::Recordset& recordset) {
  try {
    recordset.Close();
  } catch (const std::exception&) {
    // Released with its last reference.
  }
}

}  // namespace

Variant TLumoDaoTable::LookupValues(const std::string& keyFields, const Variant& keyValues,
                                    const std::string& resultFields) {
  Variant result(false);
  if (IsEmpty()) return result;
  LocateKeys keys = PrepareKeys(keyFields, keyValues);
  const std::vector<std::string> results = SplitFieldList(resultFields);
  if (results.empty() || resultFields.empty()) throw EDatabaseError("ResultFields are not defined");
  std::vector<TField*> resultList;
  bool calculated = false;
  for (const std::string& name : results) {
    TField* field = FindField(name);
    if (field == nullptr) throw EDatabaseError("Invalid field name: " + name);
    if (field->FieldKind() != TFieldKind::fkData) calculated = true;
    resultList.push_back(field);
  }
  const std::string criteria = BuildKeyCriteria(keys.names, keys.texts);

  std::shared_ptr<jet::Recordset> snapshot;
  if (Rs().Type() == jet::dbOpenTable) {
    // A table takes no filter: its rows in index order, as a dynaset, do.
    auto rows = Rs().OpenRecordset(jet::dbOpenDynaset);
    try {
      rows->SetFilter(criteria);
      EngineIdle();
      snapshot = rows->OpenRecordset(jet::dbOpenSnapshot, kLookupOptions);
    } catch (...) {
      CloseQuietly(*rows);
      throw;
    }
    CloseQuietly(*rows);
  } else {
    FilterScope filter(Rs(), criteria);
    EngineIdle();
    snapshot = Rs().OpenRecordset(jet::dbOpenSnapshot, kLookupOptions);
  }

  try {
    if (!(snapshot->IsEOF() && snapshot->IsBOF())) {
      snapshot->MoveFirst();
      if (calculated) {
        // The record in the framework's own terms: its calculated and lookup fields computed.
        TRecordBuffer temp = TempBuffer();
        ReadRecordValues(*snapshot, false, temp);
        TRecordBuffer previous = SetCalcBuffer(temp);
        try {
          GetCalcFields(temp);
          TTempState calculating(*this, TDataSetState::dsCalcFields);
          if (resultList.size() == 1) {
            result = resultList.front()->Value();
          } else {
            std::vector<Variant> values;
            for (TField* field : resultList) values.push_back(field->Value());
            result = VarArrayOf(std::move(values));
          }
        } catch (...) {
          SetCalcBuffer(previous);
          throw;
        }
        SetCalcBuffer(previous);
      } else {
        auto valueOf = [&](TField* field) {
          return snapshot->Fields().Item(field->FieldNo() - 1)->Value();
        };
        if (resultList.size() == 1) {
          result = valueOf(resultList.front());
        } else {
          std::vector<Variant> values;
          for (TField* field : resultList) values.push_back(valueOf(field));
          result = VarArrayOf(std::move(values));
        }
      }
    }
  } catch (...) {
    CloseQuietly(*snapshot);
    throw;
  }
  CloseQuietly(*snapshot);
  return result;
}

}  // namespace lumo
