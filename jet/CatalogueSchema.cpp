#include "jet/CatalogueSchema.h"

#include "jet/Catalogue.h"
#include "jet/DatabaseFile.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

const std::vector<SchemaColumn>* CatalogueSchema::Columns(std::string_view table) {
  const std::string key = AnsiUpperCase(std::string(table));
  auto found = tables_.find(key);
  if (found == tables_.end()) {
    Known known;
    if (const TableInfo* info = file_.Schema().FindTable(table)) {
      known.exists = true;
      for (const ColumnInfo& column : info->columns) {
        known.columns.push_back({column.name, column.type, column.noCase});
      }
    }
    found = tables_.emplace(key, std::move(known)).first;
  }
  return found->second.exists ? &found->second.columns : nullptr;
}

std::string CatalogueSchema::StoredTableName(std::string_view table) {
  if (const TableInfo* info = file_.Schema().FindTable(table)) return info->name;
  return std::string(table);
}

}  // namespace lumo::jet
