#pragma once
// The SQLite back-end's schema writer: every schema change the engine makes on an SQLite file
// goes through here, the DDL statements of Database.Execute (as the translator parsed them)
// and the Append/Delete calls of TableDefs, Fields, Indexes and Relations. Each change runs in one write transaction
// together with the engine's bookkeeping beside SQLite's schema (index names and flags in MSysIndexes, object dates in
// MSysObjects, the Required flag of columns SQLite could not declare NOT NULL), so a failed
// change leaves nothing half-made.
//
// How Jet's schema lands in SQLite (the catalogue reads it back the same way):
//   - declared column types from JetTypes (SqliteColumnType); DefaultValue as an SQLite
//     DEFAULT expression of SQLite's own functions;
//   - a counter counting by 1 is the table's INTEGER PRIMARY KEY AUTOINCREMENT when it is the
//     primary key alone or when no other primary key exists; any other counter is declared
//     COUNTER and numbered by a trigger (from its seed, by its increment), so that every
//     insert (the stock shell's too) gets its number;
//   - a primary key over other columns is the table's PRIMARY KEY constraint (a Long one
//     declared INT, since an INTEGER PRIMARY KEY would number a Null instead of refusing it);
//     other indexes are SQLite indexes named "<table>.<index>";
//   - relations live in MSysRelationships; the foreign side gets an index of the relation's
//     name (unless FOREIGN KEY NO INDEX);
//   - what SQLite's declarations do not check, triggers do, on every insert, update and
//     delete (the stock shell's too), with DAO's numbers and texts: a text or binary value
//     longer than its field (3163), Null in a Required field SQLite could not declare NOT
//     NULL (3314), "" in a field that does not allow zero length (3315), Null in a field of
//     the primary key or of a Required index (3058), a foreign row without its primary row
//     (3201), a primary row that foreign rows still refer to (3200); the cascades a relation
//     asks for (dbRelationUpdateCascade, dbRelationDeleteCascade) are triggers too.
//
// Errors (source given by the caller): 3010 table exists, 3264 no fields, 3191 a field twice,
// 3283 a second primary key, 3284 an index name in use, 3277 more than ten index fields,
// 3070 an index field that is no column, 3380 a column that exists, 3280 dropping an indexed
// column, 3303 dropping a column of a relation, 3281 dropping a table or index a relation
// needs, 3022 a unique index over duplicate data; relations: 3366 no fields, 3368 fields that
// do not pair up, 3173/3374 no unique index on the primary side, 3373 no primary key to refer
// to, 3379 rows that already break the rule, 3012/3378 a name in use; the "not found" number
// for each kind of object is the caller's (3265 for collections, 3376/3372/3371/3381 for SQL).

#include <string>
#include <vector>

#include "jet/Catalogue.h"
#include "jet/JetTypes.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/SchemaWriter.h"

namespace lumo::jet {

class DatabaseFile;

class SqliteSchemaWriter final : public storage::SchemaWriter {
 public:
  SqliteSchemaWriter(DatabaseFile& file, std::string source) : file_(file), source_(std::move(source)) {}

  void CreateTable(const TableDesign& design) override;
  void DropTable(const std::string& table, int notFoundNumber) override;
  void AddColumn(const std::string& table, const ColumnDesign& column) override;
  void DropColumn(const std::string& table, const std::string& column, int notFoundNumber) override;
  void CreateIndex(const std::string& table, const DdlIndex& index) override;
  void DropIndex(const std::string& table, const std::string& index, int notFoundNumber) override;
  // A relation: names and fields as the caller gives them (an empty `fields` list refers to
  // the primary table's primary key). `fromSql` picks the numbers of Jet SQL's errors over
  // those of the Relations collection.
  void CreateRelation(const RelationInfo& relation, bool fromSql) override;
  void DropRelation(const std::string& name, int notFoundNumber) override;

  // A DDL statement of Database.Execute.
  void Apply(const DdlDefinition& ddl) override;
  // MSysRowCounts and the triggers of SqliteRowCounts.h.
  void AddRowCount(const std::string& table) override;

 private:
  [[noreturn]] void Raise(int number, const std::vector<std::string>& args = {}) const;
  std::string ExactTableName(const std::string& table, int notFoundNumber);
  void CheckIndex(const std::string& table, const DdlIndex& index);
  // An index, or a FOREIGN KEY constraint: its index and its relation.
  void AddConstraint(const std::string& table, const DdlIndex& index);
  // Within an open write: the SQLite side of an index and its flags.
  void WriteIndex(const std::string& table, const DdlIndex& index);
  void WriteCounterTrigger(const std::string& table, const ColumnDesign& column);
  // Drops the table's check and cascade triggers; WriteCheckTriggers makes them anew from the
  // catalogue (the table's fields and indexes and the relations it takes part in).
  void DropCheckTriggers(const std::string& table);
  void WriteCheckTriggers(const std::string& table);
  // The other tables the relations of `table` join it to.
  std::vector<std::string> RelatedTables(const std::string& table);
  // Within an open write: checks a relation, fills in its exact names and stores it.
  void AddRelation(RelationInfo relation, bool fromSql, bool withIndex);
  void AlterColumn(const std::string& table, const ColumnDesign& column);
  // CREATE TABLE text for a design; `rowKey` is the counter that becomes the row key (or -1).
  std::string CreateTableSql(const std::string& name, const TableDesign& design, int rowKey) const;

  DatabaseFile& file_;
  std::string source_;
};

}  // namespace lumo::jet
