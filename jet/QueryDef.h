#pragma once
// Query definitions: named Jet SQL texts stored in the database (MSysQueries), or temporary
// ones (empty name, never appended). SQL can be read and replaced; Type is derived from the
// text; Parameters lists the PARAMETERS declarations and the names the text cannot resolve,
// with values that persist until changed. OpenRecordset and Execute run the text with them.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/Property.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;
class Recordset;

class QueryDef : public DaoObject {
 public:
  QueryDef(std::shared_ptr<DatabaseFile> file, std::string name, std::string sql);

  const std::string& Name() const { return name_; }
  const std::string& SQL() const { return sql_; }
  void SetSQL(const std::string& sql);  // stored at once for a saved definition
  int Type() const;                     // dbQSelect, dbQUpdate, ...
  Variant DateCreated() const;
  Variant LastUpdated() const;
  int MaxRecords() const { return maxRecords_; }
  void SetMaxRecords(int maxRecords);
  int RecordsAffected() const { return recordsAffected_; }
  int ODBCTimeout() const { return odbcTimeout_; }
  void SetODBCTimeout(int seconds);
  bool ReturnsRecords() const;
  bool Updatable() const;
  std::string Connect() const { return {}; }

  Collection<Parameter>& Parameters();
  Collection<Field>& Fields();
  PropertyCollection& Properties();

  std::shared_ptr<Recordset> OpenRecordset(int type = 0, int options = 0, int lockEdit = 0);
  void Execute(int options = 0);
  void Close();

  // Engine side: the definition is stored in the file under its name (QueryDefs.Append,
  // CreateQueryDef with a name); Detach: deleted, or its database closed.
  void MarkSaved() { saved_ = true; }
  bool IsSaved() const { return saved_; }
  void Detach() noexcept { Invalidate(); }

 private:
  void CheckFile() const;
  // The parameters the text has, keeping the values given so far.
  void RebuildParameters();
  std::vector<std::pair<std::string, Variant>> ParameterValues();

  std::shared_ptr<DatabaseFile> file_;
  std::string name_;
  std::string sql_;
  int maxRecords_ = 0;
  int recordsAffected_ = 0;
  int odbcTimeout_ = 60;
  bool saved_ = false;
  bool parametersStale_ = true;
  std::unique_ptr<OwnedCollection<Parameter>> parameters_;
  std::unique_ptr<OwnedCollection<Field>> fields_;
  std::unique_ptr<PropertyCollection> properties_;
};

}  // namespace lumo::jet
