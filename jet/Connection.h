#pragma once
// A connection of an ODBC direct workspace (Workspace.OpenConnection): one session with an
// ODBC data source whose SQL goes to the server as written, nothing translated. It is its
// own database too: Database() answers the connection itself, seen as the Database that
// Workspace.OpenDatabase gives in a direct workspace, whose Connection() answers it back.
//
//   Name, Connect       as OpenConnection was given them (Connect with its "ODBC;")
//   Database            the connection as a Database
//   Transactions        True: BeginTrans/CommitTrans/Rollback of the workspace reach it
//   Updatable           False when opened read-only
//   QueryTimeout        seconds a statement may run on the server (0: no limit); default 60
//   RecordsAffected     rows the last Execute touched
//   StillExecuting      False: every call returns when the server has answered, also with
//                       dbRunAsync
//   Execute, OpenRecordset, CreateQueryDef, QueryDefs, Recordsets, Close  as on a Database
//
// OpenRecordset types: dbOpenForwardOnly (the default), dbOpenSnapshot, dbOpenDynaset and
// dbOpenDynamic; the last two re-read each row from the server when the cursor lands on it,
// so they show what other sessions changed since (3167 for a row they deleted), and can be
// edited where the rows come from one table with a primary key. A table name opens the
// whole table.
//
// Connecting never prompts (the driver's dialogue does not exist here): a data source that
// is not there, a server that does not answer or a refused login answer 3151 with the
// driver's and the server's messages.

#include <functional>
#include <memory>
#include <string>

#include "jet/Database.h"

namespace lumo::jet {

class Connection : public Database {
 public:
  // Made by the back-end that serves direct connections (ConnectDirect below).
  static std::shared_ptr<Connection> Make(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
                                          bool readOnly, std::shared_ptr<DirectStatements> direct);

  std::shared_ptr<jet::Database> Database();
  bool Transactions() const;
  bool StillExecuting() const;
  // Nothing runs in the background to stop.
  void Cancel();

 private:
  struct Tag {};

 public:
  Connection(Tag, std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
             std::shared_ptr<DirectStatements> direct);

 private:
  std::weak_ptr<Connection> self_;
};

// What OpenConnection was asked.
struct DirectConnectRequest {
  std::string name;
  int options = 0;  // dbDriverNoPrompt ... plus dbRunAsync; nothing prompts in any case
  bool readOnly = false;
  std::string connect;
  int loginTimeoutS = 20;  // the engine's LoginTimeout
};
using DirectConnector = std::function<std::shared_ptr<Connection>(const DirectConnectRequest&)>;

// Registers the back-end that makes direct connections (the ODBC back-end does, once).
void RegisterDirectConnector(DirectConnector connector);
// A new direct connection; 3170 when no back-end serves them.
std::shared_ptr<Connection> ConnectDirect(const DirectConnectRequest& request);

}  // namespace lumo::jet
