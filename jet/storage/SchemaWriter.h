#pragma once
// The seam through which every schema change reaches a back-end: the DDL statements of
// Database.Execute (as the translator parsed them) and the Append/Delete calls of TableDefs,
// Fields, Indexes and Relations. A back-end's writer makes each change in one write
// transaction together with the engine's bookkeeping (MSys tables), so that a failed change
// leaves nothing half-made, and keeps Jet's rules (field sizes, Required, relations,
// counters) in the database itself, so that every writer of it keeps them.
//
// Errors (source given when the writer is made): 3010 table exists, 3264 no fields, 3191 a
// field twice, 3283 a second primary key, 3284 an index name in use, 3277 more than ten index
// fields, 3070 an index field that is no column, 3380 a column that exists, 3280 dropping an
// indexed column, 3303 dropping a column of a relation, 3281 dropping a table or index a
// relation needs, 3022 a unique index over duplicate data; relations: 3366 no fields, 3368
// fields that do not pair up, 3173/3374 no unique index on the primary side, 3373 no primary
// key to refer to, 3379 rows that already break the rule, 3012/3378 a name in use. The "not
// found" number for each kind of object is the caller's (3265 for collections,
// 3376/3372/3371/3381 for SQL).

#include <cstdint>
#include <string>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/CatalogueReader.h"

namespace lumo::jet {

struct ColumnDesign {
  std::string name;
  JetFieldType type;
  bool required = false;
  bool allowZeroLength = true;  // text fields: "" is a value
  std::string defaultValue;     // Jet text, empty for none
  std::string sqliteDefault;    // or the stored DEFAULT expression as it stands (a table being rebuilt)
  int64_t seed = 1;             // counters: the first number
  int64_t increment = 1;        // counters: the step from one number to the next
};

struct TableDesign {
  std::string name;
  std::vector<ColumnDesign> columns;
  std::vector<DdlIndex> indexes;
};

namespace storage {

class SchemaWriter {
 public:
  virtual ~SchemaWriter() = default;

  virtual void CreateTable(const TableDesign& design) = 0;
  virtual void DropTable(const std::string& table, int notFoundNumber) = 0;
  virtual void AddColumn(const std::string& table, const ColumnDesign& column) = 0;
  virtual void DropColumn(const std::string& table, const std::string& column, int notFoundNumber) = 0;
  virtual void CreateIndex(const std::string& table, const DdlIndex& index) = 0;
  virtual void DropIndex(const std::string& table, const std::string& index, int notFoundNumber) = 0;
  // A relation: names and fields as the caller gives them (an empty `fields` list refers to
  // the primary table's primary key). `fromSql` picks the numbers of Jet SQL's errors over
  // those of the Relations collection.
  virtual void CreateRelation(const RelationInfo& relation, bool fromSql) = 0;
  virtual void DropRelation(const std::string& name, int notFoundNumber) = 0;
  // A DDL statement of Database.Execute.
  virtual void Apply(const DdlDefinition& ddl) = 0;
  // Gives `table` (its exact name) the count of its rows that RowCounts.h describes: the
  // bookkeeping made where missing, the table counted once, in a write of its own or as part
  // of the caller's transaction. Raises 3027 on a read-only database.
  virtual void AddRowCount(const std::string& table) = 0;
};

// What a DDL statement's column and CREATE TABLE say, as the designs the writers take.
ColumnDesign ColumnDesignOf(const DdlColumn& column);
TableDesign TableDesignOf(const DdlDefinition& ddl);

}  // namespace storage
}  // namespace lumo::jet
