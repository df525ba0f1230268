// TLumoDaoIndexDefs and the field-list rules that index look-ups share.

#include "dao/dataset/LumoDaoIndexDefs.h"

#include <algorithm>

#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/LumoDaoTable.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& own) { return AnsiSameText(own, name); });
}

bool Covers(const std::vector<std::string>& fields, const std::vector<std::string>& wanted) {
  return std::all_of(wanted.begin(), wanted.end(),
                     [&](const std::string& name) { return Contains(fields, name); });
}

}  // namespace

TLumoDaoIndexDefs::TLumoDaoIndexDefs(TLumoDaoTable* table) : TIndexDefs(table), table_(table) {}

void TLumoDaoIndexDefs::Update() {
  if (table_ != nullptr) table_->RefreshIndexDefinitions();
  SetUpdated(true);
}

std::vector<std::string> FieldListNames(const std::string& text) {
  std::vector<std::string> names = SplitFieldList(text);
  names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
  return names;
}

std::string MatchIndexForFields(const TIndexDefs& definitions,
                                const std::vector<std::string>& wanted, bool exact) {
  if (wanted.empty()) return {};
  std::string answer;
  for (int i = 0; i < definitions.Count(); ++i) {
    const TIndexDef& definition = definitions[i];
    const std::vector<std::string> fields = FieldListNames(definition.Fields());
    if (fields.size() < wanted.size() || !Covers(fields, wanted)) continue;
    if (exact) {
      if (fields.size() == wanted.size()) return definition.Name();
      continue;
    }
    answer = definition.Name();
    // An index that begins with a wanted field leads straight to the records.
    if (Contains(wanted, fields.front())) break;
  }
  return answer;
}

}  // namespace lumo
