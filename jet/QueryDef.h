#pragma once
// Query definitions: named Jet SQL texts stored in the database (MSysQueries), or temporary
// ones (empty name, never appended). SQL can be read and replaced; Type is derived from the
// text; Parameters lists the PARAMETERS declarations and the names the text cannot resolve,
// with values that persist until changed. OpenRecordset and Execute run the text with them.
//
// Pass-through: a definition whose Connect names an ODBC source ("ODBC;DSN=...") holds the
// server's SQL, sent as written to a connection of its own (Type dbQSQLPassThrough; no
// parameters; ReturnsRecords says whether it yields rows, True until set; ODBCTimeout is
// the statement's time-out, 0 for none). A definition of an ODBC direct connection is the
// server's SQL too (Type dbQSelect, dbQProcedure or dbQAction from its first word).

#include <memory>
#include <optional>
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

class Connection;
class DatabaseFile;
class DirectStatements;
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
  void SetReturnsRecords(bool returnsRecords);
  bool Updatable() const;
  std::string Connect() const;
  // "ODBC;..." makes the definition pass-through; "" makes it Jet SQL again (3251 on a
  // direct connection's definitions, which belong to their connection).
  void SetConnect(const std::string& connect);

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
  // A definition of an ODBC direct connection: its SQL is the server's.
  void SetDirect(std::shared_ptr<DirectStatements> direct) { direct_ = std::move(direct); }

 private:
  bool IsPassThrough() const;
  // Where a pass-through or direct definition runs: the direct connection's statements.
  DirectStatements& Server();
  void CheckFile() const;
  // The parameters the text has, keeping the values given so far.
  void RebuildParameters();
  // A direct connection's definition: one parameter per "?" marker ("Parameter1", ...).
  void RebuildMarkerParameters();
  std::vector<std::pair<std::string, Variant>> ParameterValues();

  std::shared_ptr<DatabaseFile> file_;
  std::string name_;
  std::string sql_;
  int maxRecords_ = 0;
  int recordsAffected_ = 0;
  int odbcTimeout_ = 60;
  bool saved_ = false;
  std::shared_ptr<DirectStatements> direct_;
  mutable std::optional<std::string> connect_;  // read from the catalogue on first use
  mutable std::optional<bool> returnsRecords_;
  std::shared_ptr<Connection> passThrough_;  // the connection a pass-through definition opened
  bool parametersStale_ = true;
  std::unique_ptr<OwnedCollection<Parameter>> parameters_;
  std::unique_ptr<OwnedCollection<Field>> fields_;
  std::unique_ptr<PropertyCollection> properties_;
};

}  // namespace lumo::jet
