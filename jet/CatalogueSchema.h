#pragma once
// The catalogue as the translator sees it (JetSqlSchema): the columns of the tables a
// statement names, read once per translation.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "jet/sql/JetSqlSchema.h"

namespace lumo::jet {

class DatabaseFile;

class CatalogueSchema final : public JetSqlSchema {
 public:
  explicit CatalogueSchema(DatabaseFile& file) : file_(file) {}
  const std::vector<SchemaColumn>* Columns(std::string_view table) override;
  std::string StoredTableName(std::string_view table) override;

 private:
  struct Known {
    bool exists = false;
    std::vector<SchemaColumn> columns;
  };
  DatabaseFile& file_;
  std::map<std::string, Known> tables_;  // by upper-case name
};

}  // namespace lumo::jet
