#include "jet/storage/SchemaWriter.h"

namespace lumo::jet::storage {

ColumnDesign ColumnDesignOf(const DdlColumn& column) {
  ColumnDesign design;
  design.name = column.name;
  design.type = column.type;
  design.required = column.notNull;
  design.seed = column.seed;
  design.increment = column.increment;
  return design;
}

TableDesign TableDesignOf(const DdlDefinition& ddl) {
  TableDesign design;
  design.name = ddl.table;
  for (const DdlColumn& column : ddl.columns) design.columns.push_back(ColumnDesignOf(column));
  design.indexes = ddl.indexes;
  return design;
}

}  // namespace lumo::jet::storage
