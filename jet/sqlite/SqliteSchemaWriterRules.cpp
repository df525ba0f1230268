// The rules of a table that SQLite's declarations cannot carry, written as triggers so that
// every writer of the file keeps them, the stock shell included: counters with their seed and
// increment, field checks (size, Required, zero length, Null in a key), and relations with
// their cascades. A trigger that refuses a row raises "jet error <number>: <text>", which the
// engine's error mapping turns back into the DAO error.

#include <algorithm>

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/sqlite/SqliteSchemaWriter.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

std::string Quote(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }
std::string Literal(std::string_view text) { return "'" + ReplaceAll(text, "'", "''") + "'"; }

bool IsCounter(const JetFieldType& type) { return (type.attributes & dbAutoIncrField) != 0; }

// The trigger names of a table's rules; a table has at most these five.
constexpr const char* kRuleTriggers[] = {".checks.insert", ".checks.update", ".checks.delete", ".cascade.update",
                                         ".cascade.delete"};

std::string Refusal(int number, const std::vector<std::string>& args, const std::string& condition) {
  return "SELECT RAISE(ABORT, " + Literal(FunctionErrorMessage(number, args)) + ") WHERE " + condition + "; ";
}

// "a.x = b.y AND ..." over the pairs of two field lists.
std::string Pairs(const std::string& left, const std::vector<std::string>& leftFields, const std::string& right,
                  const std::vector<std::string>& rightFields, const char* op = " = ", const char* join = " AND ") {
  std::string text;
  for (size_t i = 0; i < leftFields.size(); ++i) {
    if (i > 0) text += join;
    text += left + Quote(leftFields[i]) + op + right + Quote(rightFields[i]);
  }
  return text;
}

std::string AllPresent(const std::string& row, const std::vector<std::string>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += " AND ";
    text += row + Quote(fields[i]) + " IS NOT NULL";
  }
  return text;
}

bool Enforced(const RelationInfo& relation) {
  return !relation.declared && (relation.attributes & dbRelationDontEnforce) == 0;
}

bool SameFieldSet(const std::vector<IndexFieldInfo>& indexFields, const std::vector<std::string>& fields) {
  if (indexFields.size() != fields.size()) return false;
  for (const IndexFieldInfo& field : indexFields) {
    if (std::none_of(fields.begin(), fields.end(),
                     [&](const std::string& name) { return AnsiSameText(name, field.name); })) {
      return false;
    }
  }
  return true;
}

}  // namespace

void SqliteSchemaWriter::WriteCounterTrigger(const std::string& table, const ColumnDesign& column) {
  const std::string t = Quote(table);
  const std::string c = Quote(column.name);
  // Counting down continues below the smallest number, counting up above the largest.
  const std::string last = column.increment < 0 ? "min(" + c + ")" : "max(" + c + ")";
  file_.Connection().Exec("CREATE TRIGGER " + Quote(table + "." + column.name + ".counter") + " AFTER INSERT ON " + t +
                          " FOR EACH ROW WHEN NEW." + c + " IS NULL BEGIN UPDATE " + t + " SET " + c +
                          " = (SELECT coalesce(" + last + " + " + std::to_string(column.increment) + ", " +
                          std::to_string(column.seed) + ") FROM " + t + ") WHERE rowid = NEW.rowid; END");
}

void SqliteSchemaWriter::DropCheckTriggers(const std::string& table) {
  for (const char* kind : kRuleTriggers) {
    file_.Connection().Exec("DROP TRIGGER IF EXISTS " + Quote(table + kind));
  }
}

std::vector<std::string> SqliteSchemaWriter::RelatedTables(const std::string& table) {
  std::vector<std::string> related;
  for (const RelationInfo& relation : file_.Schema().Relations()) {
    if (relation.declared || !relation.Involves(table)) continue;
    for (const std::string& other : {relation.table, relation.foreignTable}) {
      if (AnsiSameText(other, table)) continue;
      if (std::none_of(related.begin(), related.end(),
                       [&](const std::string& name) { return AnsiSameText(name, other); })) {
        related.push_back(other);
      }
    }
  }
  return related;
}

void SqliteSchemaWriter::WriteCheckTriggers(const std::string& table) {
  DropCheckTriggers(table);
  Catalogue& schema = file_.Schema();
  schema.Invalidate();
  std::shared_ptr<const TableInfo> info = schema.Table(table);
  const std::string name = info->name;

  // Fields of the primary key and of Required indexes refuse Null as the index does (3058).
  auto inRequiredIndex = [&](const ColumnInfo& column) {
    for (const IndexInfo& index : info->indexes) {
      if (!index.primary && !index.required) continue;
      for (const auto& field : index.fields) {
        if (AnsiSameText(field.name, column.name)) return true;
      }
    }
    return false;
  };

  // What every new or changed row must satisfy, in the order DAO checks it: the fields, then
  // the relations in which the table is the foreign side.
  std::string rowChecks;
  std::vector<std::string> tooLong;
  for (const ColumnInfo& column : info->columns) {
    const int type = column.type.type;
    const std::string value = "NEW." + Quote(column.name);
    const bool sized = type == dbText || type == dbChar || type == dbBinary || type == dbVarBinary;
    if (sized && column.type.size > 0) {
      // length() counts characters of a text, as field sizes do, and bytes of a blob.
      tooLong.push_back("length(" + value + ") > " + std::to_string(column.type.size));
    }
    if (column.isRowKey || IsCounter(column.type)) continue;
    if (inRequiredIndex(column)) {
      rowChecks += Refusal(3058, {}, value + " IS NULL");
    } else if (column.required) {
      rowChecks += Refusal(kDaoRequiredNull, {column.name}, value + " IS NULL");
    }
    if (!column.allowZeroLength && (type == dbText || type == dbMemo || type == dbChar)) {
      rowChecks += Refusal(3315, {column.name}, value + " = ''");
    }
  }
  if (!tooLong.empty()) {
    std::string condition;
    for (const std::string& test : tooLong) condition += (condition.empty() ? "" : " OR ") + test;
    rowChecks += Refusal(3163, {}, condition);
  }

  std::string insertChecks = rowChecks;
  std::string updateChecks = rowChecks;
  std::string deleteChecks;
  std::string cascadeUpdates;
  std::string cascadeDeletes;
  for (const RelationInfo& relation : schema.Relations()) {
    if (!Enforced(relation)) continue;
    const std::string primary = Quote(relation.table) + ".";
    const std::string foreign = Quote(relation.foreignTable) + ".";
    if (AnsiSameText(relation.foreignTable, name)) {
      // A row that refers to the primary table needs its partner there; a Null in any field
      // of the reference refers to nothing.
      const std::string orphan = AllPresent("NEW.", relation.foreignFields) + " AND NOT EXISTS (SELECT 1 FROM " +
                                 Quote(relation.table) + " WHERE " +
                                 Pairs(primary, relation.fields, "NEW.", relation.foreignFields) + ")";
      insertChecks += Refusal(3201, {relation.table}, orphan);
      updateChecks +=
          Refusal(3201, {relation.table},
                  "(" + Pairs("NEW.", relation.foreignFields, "OLD.", relation.foreignFields, " IS NOT ", " OR ") +
                      ") AND " + orphan);
    }
    if (AnsiSameText(relation.table, name)) {
      const std::string referring = "EXISTS (SELECT 1 FROM " + Quote(relation.foreignTable) + " WHERE " +
                                    Pairs(foreign, relation.foreignFields, "OLD.", relation.fields) + ")";
      const std::string keyChanged =
          "(" + Pairs("NEW.", relation.fields, "OLD.", relation.fields, " IS NOT ", " OR ") + ")";
      if ((relation.attributes & dbRelationDeleteCascade) != 0) {
        cascadeDeletes += "DELETE FROM " + Quote(relation.foreignTable) + " WHERE " +
                          Pairs(foreign, relation.foreignFields, "OLD.", relation.fields) + "; ";
      } else {
        deleteChecks += Refusal(3200, {relation.foreignTable}, referring);
      }
      if ((relation.attributes & dbRelationUpdateCascade) != 0) {
        std::string assignments;
        for (size_t i = 0; i < relation.fields.size(); ++i) {
          assignments += (i > 0 ? ", " : "") + Quote(relation.foreignFields[i]) + " = NEW." + Quote(relation.fields[i]);
        }
        cascadeUpdates += "UPDATE " + Quote(relation.foreignTable) + " SET " + assignments + " WHERE " + keyChanged +
                          " AND " + Pairs(foreign, relation.foreignFields, "OLD.", relation.fields) + "; ";
      } else {
        updateChecks += Refusal(3200, {relation.foreignTable}, keyChanged + " AND " + referring);
      }
    }
  }

  auto create = [&](const char* kind, const char* timing, const std::string& body) {
    if (body.empty()) return;
    file_.Connection().Exec("CREATE TRIGGER " + Quote(name + kind) + " " + timing + " ON " + Quote(name) +
                            " FOR EACH ROW BEGIN " + body + "END");
  };
  create(".checks.insert", "BEFORE INSERT", insertChecks);
  create(".checks.update", "BEFORE UPDATE", updateChecks);
  create(".checks.delete", "BEFORE DELETE", deleteChecks);
  create(".cascade.update", "AFTER UPDATE", cascadeUpdates);
  create(".cascade.delete", "AFTER DELETE", cascadeDeletes);
}

void SqliteSchemaWriter::AddRelation(RelationInfo relation, bool fromSql, bool withIndex) {
  Catalogue& schema = file_.Schema();
  if (relation.name.empty()) Raise(kDaoInvalidArgument);
  if (schema.FindRelation(relation.name)) {
    if (fromSql) Raise(3378, {relation.name});
    Raise(3012, {relation.name});
  }
  const int missingTable = fromSql ? kDaoTableNotExists : kDaoObjectNotFound;
  std::shared_ptr<const TableInfo> primary = schema.Table(relation.table);
  if (!primary) Raise(missingTable, {relation.table});
  std::shared_ptr<const TableInfo> foreign = schema.Table(relation.foreignTable);
  if (!foreign) Raise(missingTable, {relation.foreignTable});
  relation.table = primary->name;
  relation.foreignTable = foreign->name;
  if (relation.foreignFields.empty()) Raise(3366);
  if (relation.fields.empty()) {
    // REFERENCES without fields: the primary table's primary key.
    const IndexInfo* key = primary->PrimaryIndex();
    if (key == nullptr) Raise(3373, {primary->name});
    for (const auto& field : key->fields) relation.fields.push_back(field.name);
  }
  if (relation.fields.size() != relation.foreignFields.size()) Raise(3368);
  for (size_t i = 0; i < relation.fields.size(); ++i) {
    const ColumnInfo* field = primary->FindColumn(relation.fields[i]);
    if (field == nullptr) Raise(kDaoUnrecognizedField, {relation.fields[i]});
    const ColumnInfo* foreignField = foreign->FindColumn(relation.foreignFields[i]);
    if (foreignField == nullptr) Raise(kDaoUnrecognizedField, {relation.foreignFields[i]});
    // A counter is a Long like any other.
    if (field->type.type != foreignField->type.type) Raise(3368);
    relation.fields[i] = field->name;
    relation.foreignFields[i] = foreignField->name;
  }
  // Each foreign row must find one partner: the primary side needs a unique index.
  const bool uniquelyIndexed =
      std::any_of(primary->indexes.begin(), primary->indexes.end(), [&](const IndexInfo& index) {
        return (index.unique || index.primary) && SameFieldSet(index.fields, relation.fields);
      });
  if (!uniquelyIndexed) {
    if (fromSql) Raise(3374, {primary->name});
    Raise(3173);
  }
  if (Enforced(relation)) {
    // Rows that already break the rule would stay broken.
    storage::Statement& orphans = file_.Statement(
        "SELECT 1 FROM " + Quote(foreign->name) + " AS f WHERE " + AllPresent("f.", relation.foreignFields) +
        " AND NOT EXISTS (SELECT 1 FROM " + Quote(primary->name) + " AS p WHERE " +
        Pairs("p.", relation.fields, "f.", relation.foreignFields) + ") LIMIT 1");
    const bool broken = orphans.Step();
    orphans.Reset();
    if (broken) Raise(3379, {foreign->name, primary->name});
  }
  if (withIndex && foreign->FindIndex(relation.name) == nullptr &&
      std::none_of(foreign->indexes.begin(), foreign->indexes.end(),
                   [&](const IndexInfo& index) { return SameFieldSet(index.fields, relation.foreignFields); })) {
    // Finding the rows that refer to a primary row wants an index on the foreign side.
    DdlIndex index;
    index.name = relation.name;
    index.foreign = true;
    for (const std::string& field : relation.foreignFields) index.fields.push_back({field, false});
    WriteIndex(foreign->name, index);
  }
  schema.StoreRelation(relation);
}

void SqliteSchemaWriter::CreateRelation(const RelationInfo& relation, bool fromSql) {
  WriteScope scope(file_);
  file_.Schema().EnsureSystemTables();
  AddRelation(relation, fromSql, true);
  auto stored = file_.Schema().FindRelation(relation.name);
  WriteCheckTriggers(stored->table);
  if (!AnsiSameText(stored->table, stored->foreignTable)) WriteCheckTriggers(stored->foreignTable);
  file_.Schema().TouchObject(stored->foreignTable, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

void SqliteSchemaWriter::DropRelation(const std::string& name, int notFoundNumber) {
  auto relation = file_.Schema().FindRelation(name);
  if (!relation || relation->declared) Raise(notFoundNumber, {name});
  WriteScope scope(file_);
  file_.Schema().RemoveRelation(relation->name);
  // The foreign side's index of the relation's name was made for it.
  if (const TableInfo* foreign = file_.Schema().FindTable(relation->foreignTable)) {
    if (const IndexInfo* index = foreign->FindIndex(relation->name);
        index && !index->primary && !index->sqliteName.empty()) {
      // Dropping the index renews the catalogue's descriptions: keep the names first.
      const std::string table = foreign->name;
      const std::string jetName = index->name;
      file_.Connection().Exec("DROP INDEX " + Quote(index->sqliteName));
      file_.Schema().RemoveIndexFlags(table, jetName);
    }
  }
  WriteCheckTriggers(relation->table);
  if (!AnsiSameText(relation->table, relation->foreignTable)) WriteCheckTriggers(relation->foreignTable);
  file_.Schema().TouchObject(relation->foreignTable, kObjectTypeTable, false);
  scope.Commit();
  file_.Schema().Invalidate();
}

}  // namespace lumo::jet
