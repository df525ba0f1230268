// jetsh: the schema as Jet SQL that builds it again (and .savequery lines for the stored
// queries), so that a database's design can be read, kept in a file and replayed.

#include <ostream>
#include <stdexcept>

#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Index.h"
#include "jet/QueryDef.h"
#include "jet/Relation.h"
#include "jet/TableDef.h"
#include "runtime/StrUtils.h"
#include "tools/JetShell.h"

namespace lumo::tools {

using namespace lumo::jet;

namespace {

std::string Name(const std::string& name) { return "[" + name + "]"; }

std::string DdlType(const Field& field) {
  const JetFieldType& type = field.FieldType();
  if ((type.attributes & dbAutoIncrField) != 0) return "COUNTER";
  switch (type.type) {
    case dbBoolean: return "YESNO";
    case dbByte: return "BYTE";
    case dbInteger: return "SHORT";
    case dbLong: return "LONG";
    case dbBigInt: return "BIGINT";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "SINGLE";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbText: return "TEXT(" + std::to_string(type.size) + ")";
    case dbMemo: return "MEMO";
    case dbBinary: return "BINARY(" + std::to_string(type.size) + ")";
    case dbLongBinary: return "LONGBINARY";
    case dbGUID: return "GUID";
    case dbDecimal: return "DECIMAL(" + std::to_string(type.precision) + ", " + std::to_string(type.scale) + ")";
    default: return DaoTypeName(type.type);
  }
}

// A primary index that a PRIMARY KEY constraint makes again: ascending fields, Nulls kept.
bool AsConstraint(Index& index) {
  if (index.IgnoreNulls()) return false;
  for (const auto& field : index.Fields()) {
    if ((field->Attributes() & dbDescending) != 0) return false;
  }
  return true;
}

bool IsSystem(const TableDef& table) { return (table.Attributes() & dbSystemObject) != 0; }

// SQL of a stored query on one line, as .savequery reads it.
std::string OneLine(std::string sql) {
  for (char& c : sql) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return sql;
}

}  // namespace

void JetShell::PrintSchema(const std::string& tableName) {
  std::vector<std::shared_ptr<TableDef>> tables;
  database_->TableDefs().Refresh();
  if (tableName.empty()) {
    for (const auto& table : database_->TableDefs()) {
      if (!IsSystem(*table)) tables.push_back(table);
    }
  } else {
    tables.push_back(database_->TableDefs().Item(tableName));
  }
  for (const auto& table : tables) {
    out_ << "CREATE TABLE " << Name(table->Name()) << " (";
    bool first = true;
    std::vector<std::string> defaults;
    for (const auto& field : table->Fields()) {
      out_ << (first ? "" : ", ") << Name(field->Name()) << ' ' << DdlType(*field);
      if (field->Required()) out_ << " NOT NULL";
      // Jet SQL has no clause for a default value; the field's property keeps it.
      if (!field->DefaultValue().empty()) {
        defaults.push_back("-- " + field->Name() + " defaults to " + OneLine(field->DefaultValue()));
      }
      first = false;
    }
    // The primary key goes into the table's definition, as a counter's key must: a counter
    // without one is given a primary key of its own.
    std::shared_ptr<Index> inlinePrimary;
    for (const auto& index : table->Indexes()) {
      if (index->Primary() && AsConstraint(*index)) inlinePrimary = index;
    }
    if (inlinePrimary) {
      out_ << ", CONSTRAINT " << Name(inlinePrimary->Name()) << " PRIMARY KEY (";
      first = true;
      for (const auto& field : inlinePrimary->Fields()) {
        out_ << (first ? "" : ", ") << Name(field->Name());
        first = false;
      }
      out_ << ')';
    }
    out_ << ");\n";
    for (const std::string& note : defaults) out_ << note << '\n';
    for (const auto& index : table->Indexes()) {
      if (index->Foreign() || index == inlinePrimary) continue;  // made by its relation, or above
      out_ << "CREATE " << (index->Unique() && !index->Primary() ? "UNIQUE " : "") << "INDEX " << Name(index->Name())
           << " ON " << Name(table->Name()) << " (";
      first = true;
      for (const auto& field : index->Fields()) {
        out_ << (first ? "" : ", ") << Name(field->Name());
        if ((field->Attributes() & dbDescending) != 0) out_ << " DESC";
        first = false;
      }
      out_ << ')';
      std::string with;
      if (index->Primary()) with += " PRIMARY";
      if (index->Required() && !index->Primary()) with += " DISALLOW NULL";
      if (index->IgnoreNulls()) with += " IGNORE NULL";
      if (!with.empty()) out_ << " WITH" << with;
      out_ << ";\n";
    }
  }
  if (!tableName.empty()) return;

  Collection<Relation>& relations = database_->Relations();
  relations.Refresh();
  for (const auto& relation : relations) {
    std::string foreign;
    std::string primary;
    for (const auto& field : relation->Fields()) {
      foreign += (foreign.empty() ? "" : ", ") + Name(field->ForeignName());
      primary += (primary.empty() ? "" : ", ") + Name(field->Name());
    }
    out_ << "ALTER TABLE " << Name(relation->ForeignTable()) << " ADD CONSTRAINT " << Name(relation->Name())
         << " FOREIGN KEY (" << foreign << ") REFERENCES " << Name(relation->Table()) << " (" << primary << ");\n";
    if ((relation->Attributes() & (dbRelationUpdateCascade | dbRelationDeleteCascade | dbRelationDontEnforce)) != 0) {
      out_ << "-- " << relation->Name() << " also has attributes " << relation->Attributes()
           << " (cascades, not enforced), which Jet SQL does not express\n";
    }
  }
  Collection<QueryDef>& queries = database_->QueryDefs();
  queries.Refresh();
  for (const auto& query : queries) out_ << ".savequery " << query->Name() << ' ' << OneLine(query->SQL()) << '\n';
}

}  // namespace lumo::tools
