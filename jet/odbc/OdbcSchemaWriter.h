#pragma once
// Schema changes on a server's database (storage/SchemaWriter.h): the DDL statements of
// Database.Execute and the Append/Delete calls of TableDefs, Fields, Indexes and Relations, in
// the server's own DDL, each in one transaction of the server's (its DDL is transactional, so
// a failed change leaves nothing half-made).
//
// How Jet's schema lands on the server (the catalogue reader reads it back the same way):
//   - column types from the dialect (PostgresSqlDialect::ColumnType); a counter is a serial
//     column, its seed and increment those of the column's sequence;
//   - Required is NOT NULL, AllowZeroLength false a CHECK that the text is not "", a
//     DefaultValue the server's DEFAULT expression (ServerDefaultExpression);
//   - the primary key is the table's PRIMARY KEY constraint, other indexes are the server's
//     indexes, both named "<table>.<index>" (index names belong to the schema on the
//     server, to their table in Jet);
//   - relations are FOREIGN KEY constraints of the foreign table, named as the relation,
//     with ON UPDATE / ON DELETE CASCADE where the relation asks for it; the server keeps
//     them for every client alike.
// The server keeps none of the engine's own tables: no object dates, index flags beyond what
// its indexes say, nor row counts (AddRowCount changes nothing: counts read the table).
//
// Errors: as storage/SchemaWriter.h lists them, checked against the catalogue before the
// server is asked; what the server refuses beyond that comes with its own message.

#include <memory>
#include <string>

#include "jet/FieldDefault.h"
#include "jet/storage/SchemaWriter.h"

namespace lumo::jet {
class DatabaseFile;
}  // namespace lumo::jet

namespace lumo::jet::odbc {

std::unique_ptr<storage::SchemaWriter> MakeOdbcSchemaWriter(DatabaseFile& file, std::string source);

// The server's DEFAULT expression for a DefaultValue of a field of `type`; empty for none.
std::string ServerDefaultExpression(const FieldDefault& value, const JetFieldType& type);

}  // namespace lumo::jet::odbc
