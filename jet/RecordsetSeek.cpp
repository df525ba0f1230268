// Index and Seek of table-type recordsets. Seek takes one to thirteen key values for the
// fields of the current index, converted to the fields' types; keys left out count as Null,
// so a partial key finds with ">=".

#include "jet/Recordset.h"
#include "jet/RecordsetState.h"
#include "jet/ValueCodec.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

constexpr size_t kMaxSeekKeys = 13;

const IndexInfo* FindIndexInfo(Recordset::State& s, const std::string& name) {
  const TableInfo* table = s.file->Schema().FindTable(s.Plan().baseTable);
  return table ? table->FindIndex(name) : nullptr;
}

}  // namespace

const std::string& Recordset::Index() const { return Live().index; }

void Recordset::SetIndex(const std::string& indexName) {
  State& s = Live();
  if (s.engine != EngineKind::kTable) RaiseRecordsetError(3251);
  std::vector<SortTerm> terms;
  std::string name;
  if (!indexName.empty()) {
    const IndexInfo* index = FindIndexInfo(s, indexName);
    if (!index) RaiseRecordsetError(3015);
    name = index->name;
    for (const IndexFieldInfo& field : index->fields) terms.push_back({QuoteName(field.name), field.descending});
  }
  DiscardEdit();
  // The current row stays current, now in the order of the new index.
  const RowPosition keep = s.OnRow() ? s.position : kNoRow;
  const RowPosition moved = s.table->SetOrder(std::move(terms), keep);
  s.index = std::move(name);
  if (keep == kNoRow) {
    s.position = kNoRow;
    return;
  }
  s.rowRead = false;
  if (moved != kNoRow) {
    s.position = moved;
    return;
  }
  // The row went away meanwhile: start at the first row.
  const RowPosition first = s.rows->First();
  s.position = first;
  s.bof = s.eof = first == kNoRow;
}

void Recordset::Seek(const std::string& comparison, const std::vector<Variant>& keys) {
  State& s = Live();
  if (s.engine != EngineKind::kTable) RaiseRecordsetError(3251);
  if (s.index.empty()) RaiseRecordsetError(3019);
  const IndexInfo* index = FindIndexInfo(s, s.index);
  if (!index) RaiseRecordsetError(3015);
  if (keys.empty() || keys.size() > kMaxSeekKeys || keys.size() > index->fields.size()) {
    RaiseRecordsetError(kDaoInvalidArgument);
  }
  const std::string op = Trim(comparison);
  Bound bound = Bound::kAtOrAfter;
  bool equal = false;
  if (op == "=") {
    equal = true;
  } else if (op == ">=") {
    bound = Bound::kAtOrAfter;
  } else if (op == ">") {
    bound = Bound::kAfter;
  } else if (op == "<=") {
    bound = Bound::kAtOrBefore;
  } else if (op == "<") {
    bound = Bound::kBefore;
  } else {
    RaiseRecordsetError(kDaoInvalidArgument);
  }

  // Each key in the form of its field; a key that does not convert is a type clash.
  const TableInfo& table = *s.Plan().table;
  std::vector<RecordsetColumn> keyFields;
  std::vector<Variant> converted;
  for (size_t i = 0; i < keys.size(); ++i) {
    RecordsetColumn field;
    field.name = index->fields[i].name;
    if (const ColumnInfo* column = table.FindColumn(field.name)) field.type = column->type;
    try {
      converted.push_back(ConvertFieldValue(keys[i], field.type, field.name));
    } catch (const EOleException&) {
      RaiseRecordsetError(kDaoTypeMismatch);
    }
    keyFields.push_back(std::move(field));
  }
  DiscardEdit();
  const RowPosition found = s.table->Seek(bound, equal, converted, keyFields);
  if (found == kNoRow) {
    s.noMatch = true;
    return;
  }
  s.noMatch = false;
  Land(found);
}

}  // namespace lumo::jet
