#pragma once
// TLumoDaoIndexDefs: the index definitions of a standard table, owned by its dataset. One
// engine index is one definition:
//   Name        the index's name;
//   Fields      the names of its ascending fields, in index order, joined with ";";
//   DescFields  the names of its descending fields, in index order, joined with ";";
//   Options     ixPrimary for the primary key, ixUnique for a unique index, ixDescending
//               when no field is ascending (an index without fields included).
// The dataset loads them whenever it loads its field definitions; Update writes added and
// removed definitions back to the table (TLumoDaoTable::RefreshIndexDefinitions).

#include <string>
#include <vector>

#include "db/IndexDefs.h"

namespace lumo {

class TLumoDaoTable;

class TLumoDaoIndexDefs : public TIndexDefs {
 public:
  // `table` is not owned; it owns this collection.
  explicit TLumoDaoIndexDefs(TLumoDaoTable* table);

  TLumoDaoTable* Table() const noexcept { return table_; }
  // Writes the definitions back to the table and loads them again from it.
  void Update() override;

 private:
  TLumoDaoTable* table_;
};

// The names of a field list with its empty parts left out (SplitFieldList keeps them).
std::vector<std::string> FieldListNames(const std::string& text);

// The name of the definition that serves a look-up on `wanted` (field names compared
// without regard to case or order; an empty name is served by none), or the empty text. `exact`:
// the first definition with exactly these fields. Otherwise any definition whose fields include
// them all serves; the first one that begins with one of them wins, else the last one that serves.
std::string MatchIndexForFields(const TIndexDefs& definitions,
                                const std::vector<std::string>& wanted, bool exact);

}  // namespace lumo
