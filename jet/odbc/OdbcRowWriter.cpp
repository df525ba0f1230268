#include "jet/odbc/OdbcRowWriter.h"

#include <charconv>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/PrimaryKeyMap.h"
#include "jet/RecordSource.h"
#include "jet/ValueCodec.h"
#include "jet/storage/Statement.h"

namespace lumo::jet::odbc {

namespace {

// The server type a value travelling as text is cast to; empty for values bound as they are.
const char* CastOf(int type) {
  switch (type) {
    case dbBoolean: return "boolean";
    case dbCurrency:
    case dbDecimal:
    case dbNumeric: return "numeric";
    case dbDate:
    case dbTime:
    case dbTimeStamp: return "timestamp";
    case dbGUID: return "uuid";
    default: return "";
  }
}

std::string CurrencyText(Currency value) {
  const int64_t scaled = value.Scaled();
  // The magnitude as unsigned, so that the most negative value has one.
  uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string fraction = std::to_string(magnitude % Currency::kScale);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (scaled < 0 ? "-" : "") + std::to_string(magnitude / Currency::kScale) + "." + fraction;
}

// The digits of a number, exact for integers and Currency, the shortest text that reads back
// as the same double otherwise.
std::string NumberText(const Variant& value) {
  switch (value.Type()) {
    case VarType::kCurrency: return CurrencyText(value.AsCurrency());
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64: return std::to_string(value.AsInt64());
    default: {
      char digits[32];
      const auto result = std::to_chars(digits, digits + sizeof digits, value.AsDouble());
      return std::string(digits, result.ptr);
    }
  }
}

void BindFields(storage::Statement& statement, std::span<const storage::FieldWrite> fields) {
  for (size_t n = 0; n < fields.size(); ++n) {
    const storage::FieldWrite& field = fields[n];
    BindServerValue(statement, static_cast<int>(n + 1), *field.value, *field.type, *field.fieldName);
  }
}

class OdbcRowWriter final : public storage::RowWriter {
 public:
  explicit OdbcRowWriter(DatabaseFile& file) : file_(file) {}

  std::optional<int64_t> Insert(const storage::RowTarget& target,
                                std::span<const storage::FieldWrite> fields) override {
    PrimaryKeyMap& key = KeyOf(target);
    std::string sql = "INSERT INTO " + QuoteName(target.table);
    if (fields.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names;
      std::string values;
      for (size_t n = 0; n < fields.size(); ++n) {
        names += (n ? ", " : "") + QuoteName(*fields[n].column);
        values += (n ? ", " : "") + ServerValueSql(fields[n].type->type, static_cast<int>(n + 1));
      }
      sql += " (" + names + ") VALUES (" + values + ")";
    }
    // The counter's new value too, for @@IDENTITY.
    const std::string counter = CounterOf(target.table);
    sql += " RETURNING " + key.ColumnList();
    if (!counter.empty()) sql += ", " + QuoteName(counter);
    StatementUse statement(file_.Statement(sql));
    std::optional<std::vector<StoredValue>> values = StepReturning(*statement, fields, key.Columns().size());
    if (!values) return std::nullopt;  // a rule of the server's dropped the row
    if (!counter.empty() && statement->TypeOf(static_cast<int>(key.Columns().size())) == ColumnType::Integer) {
      file_.NoteIdentity(statement->ColumnInt64(static_cast<int>(key.Columns().size())));
    }
    return key.KeyOf(std::move(*values));
  }

  bool Update(const storage::RowTarget& target, int64_t rowKey, std::span<const storage::FieldWrite> fields) override {
    PrimaryKeyMap& key = KeyOf(target);
    std::string assignments;
    for (size_t n = 0; n < fields.size(); ++n) {
      assignments += (n ? ", " : "") + QuoteName(*fields[n].column) + " = " +
                     ServerValueSql(fields[n].type->type, static_cast<int>(n + 1));
    }
    const int keyParameter = static_cast<int>(fields.size()) + 1;
    // The row's key values may be among those written: RETURNING gives the new ones.
    StatementUse statement(file_.Statement("UPDATE " + QuoteName(target.table) + " SET " + assignments + " WHERE " +
                                           key.Condition(keyParameter) + " RETURNING " + key.ColumnList()));
    key.Bind(*statement, rowKey, keyParameter);
    std::optional<std::vector<StoredValue>> values = StepReturning(*statement, fields, key.Columns().size());
    if (!values) return false;
    key.Renew(rowKey, std::move(*values));
    return true;
  }

  bool Delete(const storage::RowTarget& target, int64_t rowKey) override {
    PrimaryKeyMap& key = KeyOf(target);
    StatementUse statement(file_.Statement("DELETE FROM " + QuoteName(target.table) + " WHERE " + key.Condition(1)));
    key.Bind(*statement, rowKey, 1);
    statement->Step();
    return file_.Connection().Changes() != 0;
  }

  void LockRow(const storage::RowTarget& target, int64_t rowKey) override {
    PrimaryKeyMap& key = KeyOf(target);
    StatementUse statement(
        file_.Statement("SELECT 1 FROM " + QuoteName(target.table) + " WHERE " + key.Condition(1) + " FOR UPDATE"));
    key.Bind(*statement, rowKey, 1);
    while (statement->Step()) {}
  }

 private:
  // A table that carries no primary key opens read-only: nothing writes to it.
  static PrimaryKeyMap& KeyOf(const storage::RowTarget& target) {
    if (target.primaryKey == nullptr) RaiseDaoError(kDaoReadOnly, {}, "DAO.Recordset");
    return *target.primaryKey;
  }

  std::string CounterOf(const std::string& table) {
    const TableInfo* info = file_.Schema().FindTable(table);
    if (info == nullptr) return {};
    for (const ColumnInfo& column : info->columns) {
      if ((column.type.attributes & dbAutoIncrField) != 0) return column.name;
    }
    return {};
  }

  // Binds the fields, steps the statement and reads back the key values of the row it wrote
  // (nullopt when it wrote none); the row stays current for further columns of RETURNING.
  static std::optional<std::vector<StoredValue>> StepReturning(storage::Statement& statement,
                                                               std::span<const storage::FieldWrite> fields,
                                                               size_t keyColumns) {
    BindFields(statement, fields);
    std::optional<std::vector<StoredValue>> values;
    try {
      if (statement.Step()) {
        values.emplace();
        for (size_t i = 0; i < keyColumns; ++i) values->push_back(StoredValue::Read(statement, static_cast<int>(i)));
      }
    } catch (...) {
      statement.ClearBindings();
      throw;
    }
    statement.ClearBindings();
    return values;
  }

  DatabaseFile& file_;
};

}  // namespace

std::string ServerValueSql(int type, int parameter) {
  const std::string marker = "?" + std::to_string(parameter);
  const char* cast = CastOf(type);
  return *cast == '\0' ? marker : "CAST(" + marker + " AS " + cast + ")";
}

void BindServerValue(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type,
                     const std::string& fieldName) {
  if (*CastOf(type.type) == '\0') {
    // Numbers, text and binary data bind as the engine binds them everywhere.
    BindFieldValueInPlace(statement, index, value, type, fieldName);
    return;
  }
  const Variant converted = ConvertFieldValue(value, type, fieldName);
  if (converted.IsNull()) {
    statement.BindNull(index);
    return;
  }
  switch (type.type) {
    case dbBoolean: statement.BindText(index, converted.AsBoolean() ? "true" : "false"); return;
    case dbDate:
    case dbTime:
    case dbTimeStamp: statement.BindText(index, FormatStorageDate(converted.AsDateTime())); return;
    case dbGUID: statement.BindText(index, *StoredGuidText(converted)); return;
    default: statement.BindText(index, NumberText(converted)); return;
  }
}

std::unique_ptr<storage::RowWriter> MakeOdbcRowWriter(DatabaseFile& file) {
  return std::make_unique<OdbcRowWriter>(file);
}

}  // namespace lumo::jet::odbc
