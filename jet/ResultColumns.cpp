#include "jet/ResultColumns.h"

#include <map>

#include "jet/Catalogue.h"
#include "jet/DatabaseFile.h"
#include "jet/sql/JetText.h"
#include "jet/storage/Statement.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {

// A computed column's type by its name; each derived entry serves one column, in order, so
// that two columns of the same name get their own types.
class DerivedTypes {
 public:
  explicit DerivedTypes(const std::vector<ResultColumnType>& derived) : derived_(derived), used_(derived.size()) {}

  std::optional<JetFieldType> Take(const std::string& name) {
    for (size_t i = 0; i < derived_.size(); ++i) {
      if (used_[i] || !AnsiSameText(derived_[i].name, name)) continue;
      used_[i] = true;
      if (derived_[i].type.type == 0) return std::nullopt;
      return derived_[i].type;
    }
    return std::nullopt;
  }

 private:
  const std::vector<ResultColumnType>& derived_;
  std::vector<bool> used_;
};

}  // namespace

std::vector<RecordsetColumn> DescribeResultColumns(DatabaseFile& file, const storage::Statement& statement,
                                                   const std::string& baseTable,
                                                   const std::vector<ResultColumnType>& derived) {
  std::vector<RecordsetColumn> columns;
  std::map<std::string, std::shared_ptr<const TableInfo>> tables;
  DerivedTypes types(derived);
  const int count = statement.ColumnCount();
  for (int i = 0; i < count; ++i) {
    RecordsetColumn column;
    column.name = statement.ColumnName(i);
    const std::string originTable = statement.ColumnTableName(i);
    const std::string originColumn = statement.ColumnOriginName(i);
    const ColumnInfo* info = nullptr;
    std::shared_ptr<const TableInfo> table;
    if (!originTable.empty()) {
      // Most fields come from one table: ask the catalogue once per table.
      auto known = tables.find(originTable);
      if (known == tables.end()) known = tables.emplace(originTable, file.Schema().Table(originTable)).first;
      table = known->second;
      if (table) info = table->FindColumn(originColumn);
    }
    // A column the translator typed keeps its entry used, whichever way it is described.
    std::optional<JetFieldType> computed = types.Take(column.name);
    if (info) {
      column.sourceTable = table->name;
      column.sourceField = info->name;
      column.type = info->type;
      column.required = info->required;
      column.allowZeroLength = info->allowZeroLength;
      column.defaultValue = info->defaultValue;
      column.sqliteDefault = info->sqliteDefault;
      if (!baseTable.empty() && AnsiSameText(originTable, baseTable)) column.baseColumn = info->name;
    } else if (computed) {
      column.type = *computed;
    } else {
      const std::string declared = statement.ColumnDeclaredType(i);
      column.type = declared.empty() ? JetFieldType{0, 0, 0, 0, 0} : MapDeclaredType(declared);
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

bool HasUntypedColumns(const std::vector<RecordsetColumn>& columns) {
  for (const RecordsetColumn& column : columns) {
    if (column.type.type == 0) return true;
  }
  return false;
}

void TypeFromFirstRow(std::vector<RecordsetColumn>& columns, storage::Statement& statement) {
  const bool row = statement.Step();
  for (size_t i = 0; i < columns.size(); ++i) {
    RecordsetColumn& column = columns[i];
    if (column.type.type != 0) continue;
    int type = dbText;
    if (row) {
      const int index = static_cast<int>(i);
      switch (statement.TypeOf(index)) {
        case ColumnType::Integer: type = dbLong; break;
        case ColumnType::Float: type = dbDouble; break;
        case ColumnType::Blob: type = dbLongBinary; break;
        case ColumnType::Null: type = dbText; break;
        case ColumnType::Text: {
          const std::string_view text = statement.ColumnTextView(index);
          if (text.size() == 23 && ParseStorageDate(text)) {
            type = dbDate;
          } else if (Utf8Length(text) > static_cast<size_t>(kMaxTextSize)) {
            type = dbMemo;
          }
          break;
        }
      }
    }
    column.type = DefaultFieldType(type);
  }
  statement.Reset();
}

}  // namespace lumo::jet
