#include "jet/sqlite/SqliteRowWriter.h"

#include <string>
#include <vector>

#include "jet/DatabaseFile.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/RecordSource.h"
#include "jet/ValueCodec.h"
#include "jet/storage/Statement.h"

namespace lumo::jet {

namespace {

// Binds the fields in place from ?1 on.
void BindFields(storage::Statement& statement, std::span<const storage::FieldWrite> fields) {
  for (size_t n = 0; n < fields.size(); ++n) {
    const storage::FieldWrite& field = fields[n];
    BindFieldValueInPlace(statement, static_cast<int>(n + 1), *field.value, *field.type, *field.fieldName);
  }
}

// Steps a write whose large values are bound in place, then drops those bindings, failed or
// not: the statement stays in the file's cache, the values do not.
void StepAndUnbind(storage::Statement& statement) {
  try {
    statement.Step();
  } catch (...) {
    statement.ClearBindings();
    throw;
  }
  statement.ClearBindings();
}

// Steps a write that returns the primary-key values of the row it wrote (... RETURNING k1,
// k2), dropping its bindings as StepAndUnbind does; nullopt when it wrote no row.
std::optional<std::vector<StoredValue>> StepReturningKey(storage::Statement& statement, const PrimaryKeyMap& key) {
  std::optional<std::vector<StoredValue>> values;
  try {
    if (statement.Step()) {
      values.emplace();
      for (size_t i = 0; i < key.Columns().size(); ++i)
        values->push_back(StoredValue::Read(statement, static_cast<int>(i)));
      while (statement.Step()) {}
    }
  } catch (...) {
    statement.ClearBindings();
    throw;
  }
  statement.ClearBindings();
  return values;
}

}  // namespace

std::string SqliteRowWriter::KeyCondition(const storage::RowTarget& target, int first) {
  if (target.primaryKey != nullptr) return target.primaryKey->Condition(first);
  return "rowid = ?" + std::to_string(first);
}

void SqliteRowWriter::BindKey(const storage::RowTarget& target, storage::Statement& statement, int64_t key, int first) {
  if (target.primaryKey != nullptr) {
    target.primaryKey->Bind(statement, key, first);
  } else {
    statement.BindInt64(first, key);
  }
}

std::optional<int64_t> SqliteRowWriter::Insert(const storage::RowTarget& target,
                                               std::span<const storage::FieldWrite> fields) {
  std::string sql = "INSERT INTO " + QuoteName(target.table);
  if (fields.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string names;
    std::string values;
    for (size_t n = 0; n < fields.size(); ++n) {
      names += (n ? ", " : "") + QuoteName(*fields[n].column);
      values += (n ? ", ?" : "?") + std::to_string(n + 1);
    }
    sql += " (" + names + ") VALUES (" + values + ")";
  }
  if (target.primaryKey != nullptr) sql += " RETURNING " + target.primaryKey->ColumnList();
  StatementUse statement(file_.Statement(sql));
  BindFields(*statement, fields);
  if (target.primaryKey != nullptr) {
    // A trigger of another tool's may have dropped the row.
    std::optional<std::vector<StoredValue>> values = StepReturningKey(*statement, *target.primaryKey);
    if (!values) return std::nullopt;
    return target.primaryKey->KeyOf(std::move(*values));
  }
  StepAndUnbind(*statement);
  const int64_t key = file_.Connection().LastInsertRowId();
  file_.NoteInsert(target.table);
  return key;
}

bool SqliteRowWriter::Update(const storage::RowTarget& target, int64_t key,
                             std::span<const storage::FieldWrite> fields) {
  std::string assignments;
  for (size_t n = 0; n < fields.size(); ++n) {
    assignments += (n ? ", " : "") + QuoteName(*fields[n].column) + " = ?" + std::to_string(n + 1);
  }
  const int keyParameter = static_cast<int>(fields.size()) + 1;
  std::string sql =
      "UPDATE " + QuoteName(target.table) + " SET " + assignments + " WHERE " + KeyCondition(target, keyParameter);
  // The row's key values may be among those written.
  if (target.primaryKey != nullptr) sql += " RETURNING " + target.primaryKey->ColumnList();
  StatementUse statement(file_.Statement(sql));
  BindFields(*statement, fields);
  BindKey(target, *statement, key, keyParameter);
  if (target.primaryKey != nullptr) {
    std::optional<std::vector<StoredValue>> values = StepReturningKey(*statement, *target.primaryKey);
    if (!values) return false;
    target.primaryKey->Renew(key, std::move(*values));
    return true;
  }
  StepAndUnbind(*statement);
  return file_.Connection().Changes() != 0;
}

bool SqliteRowWriter::Delete(const storage::RowTarget& target, int64_t key) {
  StatementUse statement(
      file_.Statement("DELETE FROM " + QuoteName(target.table) + " WHERE " + KeyCondition(target, 1)));
  BindKey(target, *statement, key, 1);
  statement->Step();
  return file_.Connection().Changes() != 0;
}

}  // namespace lumo::jet
