#pragma once
// The engine object, created through the ProgID registry ("DAO.DBEngine.36",
// "DAO.PrivateDBEngine.36", "DAO.DBEngine.35", "DAO.PrivateDBEngine.35"; Version "3.6" or
// "3.5" as created). RegisterEngineClasses() registers the four classes and publishes the
// registry keys the engine answers (SOFTWARE\Microsoft\JET\4.0\Engines, ISAM Formats).
//
//   CreateWorkspace(name, user, password, type)  "Admin" with an empty password works when
//       no workgroup file is configured (SystemDB empty or missing); otherwise the account
//       is checked against the workgroup file (3029 for a wrong name or password, 3028 when
//       the file cannot be read). Type dbUseODBC makes an ODBC direct workspace.
//   Errors  the errors of the last failing call: every DAO error raised on the engine's
//       thread replaces the collection, so Errors(0) is the error the caller caught (Count 1,
//       as for plain Jet errors); a successful call leaves it alone.
//   Idle(dbFreeLocks | dbRefreshCache)  on every open database.

#include <memory>
#include <string>

#include "jet/Collection.h"
#include "jet/DaoConstants.h"
#include "jet/DaoObject.h"
#include "jet/Error.h"
#include "jet/Property.h"
#include "jet/Workspace.h"

namespace lumo::jet {

class DBEngine : public DaoObject {
 public:
  explicit DBEngine(std::string version);
  ~DBEngine() override;

  const std::string& Version() const { return version_; }
  const std::string& SystemDB() const { return systemDB_; }
  void SetSystemDB(const std::string& path) { systemDB_ = path; }
  const std::string& DefaultUser() const { return defaultUser_; }
  void SetDefaultUser(const std::string& user) { defaultUser_ = user; }
  const std::string& DefaultPassword() const { return defaultPassword_; }
  void SetDefaultPassword(const std::string& password) { defaultPassword_ = password; }
  int DefaultType() const { return defaultType_; }
  void SetDefaultType(int type);
  // Seconds an open waits for a server to take the login (0: no limit); workspaces made
  // before a change follow it.
  int LoginTimeout() const { return *loginTimeout_; }
  void SetLoginTimeout(int seconds) { *loginTimeout_ = seconds; }

  std::shared_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& user,
                                             const std::string& password, int type = dbUseJet);
  // The default workspace (Workspaces(0), "#Default Workspace#"), made on first use.
  std::shared_ptr<Workspace> DefaultWorkspace();
  std::shared_ptr<Database> OpenDatabase(const std::string& name, const Variant& options = false, bool readOnly = false,
                                         const std::string& connect = {});
  std::shared_ptr<Database> CreateDatabase(const std::string& name, const std::string& locale, int options = 0);
  void Idle(int action = 0);

  Collection<Workspace>& Workspaces();
  Collection<Error>& Errors();
  PropertyCollection& Properties();

 private:
  struct State;
  std::string version_;
  std::string systemDB_;
  std::string defaultUser_ = "admin";
  std::string defaultPassword_;
  int defaultType_ = dbUseJet;
  std::shared_ptr<int> loginTimeout_ = std::make_shared<int>(20);
  std::unique_ptr<State> state_;
};

// Registers the engine classes under their ProgIDs and publishes the engine's registry keys.
// Safe to call more than once.
void RegisterEngineClasses();

}  // namespace lumo::jet
