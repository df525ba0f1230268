#pragma once
// A session of one user: opens and creates databases, holds transactions across them.
//
//   OpenDatabase(name, options, readOnly, connect)
//       options: a Boolean (True = exclusive) or a number (dbDenyWrite...). connect: empty,
//       "MS Access;PWD=x", ";PWD=x". Missing file 3024, not a database 3343, wrong database
//       password 3031, locked exclusively by another process 3045/3356.
//   OpenConnection(name, options, readOnly, connect)  ODBC direct workspaces (3251 on a Jet
//       workspace): a Connection to the source "ODBC;DSN=...;UID=...;PWD=..." names (a name
//       without a DSN in the connect text is the DSN); options dbDriverNoPrompt ... with
//       dbRunAsync added, nothing ever prompts (3001 for other values). Another type than
//       ODBC answers 3170, as does a program without the ODBC back-end. The connection
//       joins Connections and Databases. OpenDatabase in a direct workspace opens a
//       connection the same way and answers it as the Database.
//       A connect text naming another kind of source ("dBASE IV;", "Text;", ...) answers
//       3170 in a Jet workspace.
//   CreateDatabase(name, locale, options)  a new empty file (3204 when it exists).
//   BeginTrans / CommitTrans / Rollback  across every database of the workspace (3034
//       without BeginTrans).
//
// The workspace is one session: databases it opens on the same file share one connection
// (DatabaseFile::OpenInSession), so that they see each other's writes at once and write in
// one transaction instead of waiting for each other's lock.
//   Close  closes every database of the workspace, rolling back an open transaction.

#include <memory>
#include <string>
#include <vector>

#include "jet/Collection.h"
#include "jet/Connection.h"
#include "jet/DaoConstants.h"
#include "jet/DaoObject.h"
#include "jet/Database.h"
#include "jet/Property.h"
#include "jet/Security.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DBEngine;
class DatabaseFile;
namespace storage {
class Connection;
}

class Workspace : public DaoObject {
 public:
  Workspace(std::string name, std::string userName, int type);
  ~Workspace() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);  // 3219 once appended
  const std::string& UserName() const { return userName_; }
  int Type() const { return type_; }
  int DefaultCursorDriver() const { return defaultCursorDriver_; }
  void SetDefaultCursorDriver(int driver);
  bool IsInTransaction() const;

  std::shared_ptr<Database> OpenDatabase(const std::string& name, const Variant& options = false, bool readOnly = false,
                                         const std::string& connect = {});
  std::shared_ptr<Connection> OpenConnection(const std::string& name, int options = 0, bool readOnly = false,
                                             const std::string& connect = {});
  std::shared_ptr<Database> CreateDatabase(const std::string& name, const std::string& locale, int options = 0);
  void BeginTrans();
  void CommitTrans(int options = 0);
  void Rollback();
  void Close();

  Collection<Database>& Databases();
  Collection<Connection>& Connections();
  Collection<User>& Users();
  Collection<Group>& Groups();
  PropertyCollection& Properties();

  // Engine side: appended to the engine's Workspaces (the name is fixed from then on).
  void MarkAppended() { appended_ = true; }
  // The accounts Users and Groups list.
  void SetWorkgroup(std::shared_ptr<const Workgroup> workgroup) { workgroup_ = std::move(workgroup); }
  // The engine's LoginTimeout, as it is when a server's database or a connection opens.
  void SetLoginTimeout(std::shared_ptr<const int> seconds) { loginTimeout_ = std::move(seconds); }
  int LoginTimeout() const { return loginTimeout_ ? *loginTimeout_ : 20; }

 private:
  std::string name_;
  std::string userName_;
  int type_;
  int defaultCursorDriver_ = -1;
  bool appended_ = false;
  int transactionLevel_ = 0;
  struct Joined {
    // The connection the level began on: it ends there even when the database that began
    // it closed while another of the session stays open on the file.
    std::weak_ptr<storage::Connection> connection;
    int level;  // the transaction level the connection joined at
  };
  std::vector<Joined> joined_;  // connections taking part in the open transaction
  std::shared_ptr<const Workgroup> workgroup_;
  std::shared_ptr<const int> loginTimeout_;
  std::unique_ptr<OwnedCollection<Database>> databases_;
  std::unique_ptr<OwnedCollection<Connection>> connections_;
  std::unique_ptr<OwnedCollection<User>> users_;
  std::unique_ptr<OwnedCollection<Group>> groups_;
  std::unique_ptr<PropertyCollection> properties_;

  std::shared_ptr<Database> Adopt(std::shared_ptr<Database> database);
  // The file an open database of this workspace has open at `path`, if any.
  std::shared_ptr<DatabaseFile> OpenFileAt(const std::string& path) const;
  void EndTransaction(bool commit);
};

}  // namespace lumo::jet
