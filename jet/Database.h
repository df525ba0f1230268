#pragma once
// An open database: the file, its catalogue collections and the statements run on it.
//
//   Execute(sql, options)   action and DDL statements only (a SELECT answers 3065); with
//                           dbFailOnError a failing statement is rolled back whole and
//                           raises; RecordsAffected tells the rows touched
//   OpenRecordset(source, type, options, lockEdit)
//                           source: a table name, a query definition's name or Jet SQL;
//                           type 0 picks table type for a local table, else dynaset
//   CreateQueryDef(name, sql) a saved definition (appended at once) or, with an empty name,
//                           a temporary one
//   CreateRelation(name, table, foreignTable, attributes)
//                           a new relation, enforced once appended to Relations
//   TableDefs, QueryDefs, Containers, Relations, Recordsets, Properties
//                           TableDefs and QueryDefs list their objects alphabetically
//                           (without regard to case), system tables among the others
//   Close                   closes every recordset opened from it; later calls answer 3420
//   NewPassword(old, new)   the database password (3031 when `old` is wrong)
// QueryTimeout reports 60 until set; setting it makes the connection wait that many seconds
// for another process's lock (0: the engine's default wait), and on a server also ends a
// statement that runs longer (3146, naming the server's cancellation; 0: no limit).
//
// The database of an ODBC direct connection (Connection, which is one) sends its SQL to the
// server as written: Execute and OpenRecordset pass it through, CreateQueryDef makes
// definitions that live as long as the connection, TableDefs stays empty, Containers and
// Relations answer 3251; QueryTimeout is the statements' time-out on the server.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "jet/Property.h"
#include "jet/QueryDef.h"
#include "jet/Relation.h"
#include "jet/Security.h"
#include "jet/TableDef.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class Connection;
class DatabaseFile;
class Recordset;
class Workspace;

// What the database of an ODBC direct connection does where a Jet database translates Jet
// SQL: the server's back-end provides it (jet/odbc/DirectStatements).
class DirectStatements {
 public:
  virtual ~DirectStatements() = default;
  // Runs an action or DDL statement as written; the rows it touched.
  virtual int Execute(const std::string& sql, int options, int queryTimeout) = 0;
  // A recordset over a table name or the server's SQL; maxRecords 0 for no limit.
  virtual std::shared_ptr<Recordset> OpenRecordset(const std::string& source, int type, int options, int lockEdit,
                                                   int maxRecords, int queryTimeout) = 0;
  // The server's name and version ("PostgreSQL 15.8").
  virtual std::string Version() = 0;
  // Runs the server's SQL with its "?" markers bound to `parameters` in order, by each one's
  // Direction, and gives the output, input/output and return-value parameters what the
  // server gave back (a procedure call "{? = call f(?)}", "{call p(?, ?)}"); the rows the
  // statement touched.
  virtual int ExecuteWithParameters(const std::string& sql, int options, int queryTimeout,
                                    const std::vector<std::shared_ptr<Parameter>>& parameters) = 0;
};

class Database : public DaoObject {
 public:
  Database(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect);
  ~Database() override;

  const std::string& Name() const;
  const std::string& Connect() const;
  std::string Version() const;  // "4.0" for the engine's files
  int CollatingOrder() const;   // dbSortGeneral
  bool Updatable() const;
  int QueryTimeout() const;
  void SetQueryTimeout(int seconds);  // also the busy timeout of the connection

  void Execute(const std::string& sql, int options = 0);
  int RecordsAffected() const;

  std::shared_ptr<Recordset> OpenRecordset(const std::string& source, int type = 0, int options = 0, int lockEdit = 0);
  std::shared_ptr<QueryDef> CreateQueryDef(const std::string& name = {}, const std::string& sql = {});
  std::shared_ptr<TableDef> CreateTableDef(const std::string& name = {}, int32_t attributes = 0);
  std::shared_ptr<Property> CreateProperty(const std::string& name, int type, const Variant& value);
  // A new relation for Relations.Append.
  std::shared_ptr<Relation> CreateRelation(const std::string& name = {}, const std::string& table = {},
                                           const std::string& foreignTable = {}, int attributes = 0);

  Collection<TableDef>& TableDefs();
  Collection<QueryDef>& QueryDefs();
  Collection<Container>& Containers();
  Collection<Relation>& Relations();
  Collection<Recordset>& Recordsets();
  PropertyCollection& Properties();

  void NewPassword(const std::string& oldPassword, const std::string& newPassword);
  void Close();

  // Engine side.
  const std::shared_ptr<DatabaseFile>& File() const;
  // Called once when the database closes (its workspace lets go of it).
  void SetOnClose(std::function<void(Database&)> onClose);
  // The statements of a direct connection; null for a Jet database.
  const std::shared_ptr<DirectStatements>& Direct() const;
  // The ODBC direct connection this database belongs to (3251 for a Jet database).
  std::shared_ptr<jet::Connection> Connection();

 protected:
  // The database of an ODBC direct connection.
  Database(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
           std::shared_ptr<DirectStatements> direct);
  void SetConnection(std::weak_ptr<jet::Connection> connection);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lumo::jet
