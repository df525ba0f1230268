#include "jet/sqlite/SqliteTypes.h"

#include "runtime/StrUtils.h"

namespace lumo::jet {

std::string SqliteColumnType(const JetFieldType& type, bool counterIsRowKey) {
  std::string declared = DeclaredTypeName(type, counterIsRowKey);
  // Text, Memo and what has no declared type of its own are stored as text.
  if (declared == "TEXT" || declared.starts_with("VARCHAR(")) declared += " COLLATE NOCASE";
  return declared;
}

std::string SqliteIndexName(std::string_view table, std::string_view index) {
  std::string name(table);
  name += '.';
  name += index;
  return name;
}

std::string JetIndexName(std::string_view sqliteIndexName, std::string_view table) {
  if (sqliteIndexName.size() > table.size() && sqliteIndexName[table.size()] == '.' &&
      UpperCaseAscii(sqliteIndexName.substr(0, table.size())) == UpperCaseAscii(table)) {
    return std::string(sqliteIndexName.substr(table.size() + 1));
  }
  return std::string(sqliteIndexName);
}

}  // namespace lumo::jet
