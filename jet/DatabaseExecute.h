#pragma once
// Running Jet SQL on a file (engine-internal): Database.Execute, QueryDef.Execute and the
// look-ups that need a statement prepared the way Jet reads it.
//
// Names SQLite cannot resolve are parameters, as Jet treats them: the text is translated
// again with the name added to the known parameters. Parameters without a value answer 3061
// "Too few parameters. Expected n.".

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/Statement.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;

using ParameterValues = std::vector<std::pair<std::string, Variant>>;

struct PreparedJet {
  TranslatedStatement translated;
  std::unique_ptr<storage::Statement> statement;  // empty for DDL
};

// Translates `jetSql` and prepares the result on `file`, resolving unknown names as
// parameters. `rewrite` may change the translated text (in the file's dialect) before it is
// prepared. A crosstab whose headings come from its data is prepared with the one heading "<>".
using SqlRewrite = std::string (*)(const TranslatedStatement&, const storage::SqlDialect&);
PreparedJet PrepareJet(DatabaseFile& file, const std::string& jetSql, std::vector<std::string> knownParameters,
                       const std::string& source, SqlRewrite rewrite = nullptr);

// Binds the values of the statement's parameters by name; 3061 when any has none.
void BindParameters(PreparedJet& prepared, const ParameterValues& values, const std::string& source);

// Runs an action or DDL statement: SELECT answers 3065; options are Execute's (dbFailOnError
// rolls back the whole statement on any failure; without it rows that would break a key or
// a Required field are skipped, as Jet skips them). Returns the number of rows touched.
// `wasDdl` tells whether the schema changed.
int ExecuteJet(DatabaseFile& file, const std::string& jetSql, int options, const ParameterValues& values,
               const std::string& source, bool* wasDdl = nullptr);

}  // namespace lumo::jet
