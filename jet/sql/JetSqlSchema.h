#pragma once
// What the translator may ask about the tables a statement names: their columns with their
// DAO types and the way their text compares. The engine answers from its catalogue; the
// translator works without it too (TranslateOptions::schema null), it then knows no column
// types and emits what it would for columns of unknown type.
//
// Column types let the translator give computed columns their DAO type (Count Long, Max of a
// date Date, & Text ...), keep Currency exact in arithmetic and in what is stored, and choose
// comparisons that find what Jet finds in files made by other tools.

#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"

namespace lumo::jet {

struct SchemaColumn {
  std::string name;
  JetFieldType type;
  // Text declared COLLATE NOCASE (the engine's own text columns); false for text compared as
  // stored (a foreign file's TEXT), where case must be ignored by the comparison itself.
  bool noCase = true;
};

class JetSqlSchema {
 public:
  virtual ~JetSqlSchema() = default;
  // The columns of a base table in their order; nullptr when there is no such table. The
  // vector stays valid for the life of the translation.
  virtual const std::vector<SchemaColumn>* Columns(std::string_view table) = 0;
  // The table's name as the back-end spells it (the name as given when unknown): a back-end
  // whose quoted names keep their case (SqlDialect::NamesAsStored) is sent this spelling,
  // and its columns' as Columns() lists them.
  virtual std::string StoredTableName(std::string_view table) { return std::string(table); }
};

}  // namespace lumo::jet
