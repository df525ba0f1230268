#include "jet/Security.h"

#include <filesystem>

#include "jet/DaoErrors.h"
#include "jet/DatabaseFile.h"
#include "jet/storage/Connection.h"
#include "jet/storage/SqlDialect.h"
#include "jet/storage/Statement.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

namespace {
constexpr const char* kSource = "DAO.DBEngine";
constexpr int kWorkgroupMissing = 3028;
constexpr int kBadLogon = 3029;
}  // namespace

std::shared_ptr<const Workgroup> Workgroup::Load(const std::string& systemDB) {
  auto workgroup = std::make_shared<Workgroup>();
  std::error_code ignored;
  if (systemDB.empty() || !std::filesystem::exists(systemDB, ignored)) {
    workgroup->accounts_ = {{"Admin", "", false}, {"Admins", "", true}, {"Users", "", true}};
    workgroup->memberships_ = {{"Admins", "Admin"}, {"Users", "Admin"}};
    return workgroup;
  }
  try {
    OpenOptions options;
    options.readOnly = true;
    std::shared_ptr<DatabaseFile> file = DatabaseFile::Open(systemDB, options);
    const std::string_view order = file->Connection().Dialect().InsertionOrder();
    storage::Statement& accounts =
        file->Statement(std::string("SELECT Name, Password, FGroup FROM MSysAccounts").append(order));
    while (accounts.Step()) {
      workgroup->accounts_.push_back({accounts.ColumnText(0), accounts.ColumnText(1), accounts.ColumnInt64(2) != 0});
    }
    accounts.Reset();
    storage::Statement& groups =
        file->Statement(std::string("SELECT GroupName, UserName FROM MSysGroups").append(order));
    while (groups.Step()) workgroup->memberships_.emplace_back(groups.ColumnText(0), groups.ColumnText(1));
    groups.Reset();
  } catch (const EOleException&) {
    // Not a workgroup file, locked, unreadable: the engine cannot start a session.
    RaiseDaoError(kWorkgroupMissing, {}, kSource);
  }
  workgroup->fromFile_ = true;
  return workgroup;
}

void Workgroup::CreateFile(const std::string& path, const std::vector<Account>& accounts,
                           const std::vector<std::pair<std::string, std::string>>& memberships) {
  std::shared_ptr<DatabaseFile> file = DatabaseFile::Create(path, {}, 0);
  storage::Connection& connection = file->Connection();
  WriteScope scope(*file);
  connection.Exec(
      "CREATE TABLE MSysAccounts (Name VARCHAR(20) COLLATE NOCASE NOT NULL PRIMARY KEY, Password VARCHAR(20), "
      "FGroup BOOLEAN NOT NULL DEFAULT 0);"
      "CREATE TABLE MSysGroups (GroupName VARCHAR(20) COLLATE NOCASE NOT NULL, "
      "UserName VARCHAR(20) COLLATE NOCASE NOT NULL, PRIMARY KEY (GroupName, UserName))");
  storage::Statement& insertAccount =
      file->Statement("INSERT INTO MSysAccounts (Name, Password, FGroup) VALUES (?1, ?2, ?3)");
  for (const Account& account : accounts) {
    insertAccount.Reset();
    insertAccount.BindText(1, account.name);
    insertAccount.BindText(2, account.password);
    insertAccount.BindInt64(3, account.group ? -1 : 0);
    insertAccount.Step();
  }
  insertAccount.Reset();
  storage::Statement& insertMember = file->Statement("INSERT INTO MSysGroups (GroupName, UserName) VALUES (?1, ?2)");
  for (const auto& [group, user] : memberships) {
    insertMember.Reset();
    insertMember.BindText(1, group);
    insertMember.BindText(2, user);
    insertMember.Step();
  }
  insertMember.Reset();
  scope.Commit();
}

void Workgroup::CheckLogon(const std::string& user, const std::string& password) const {
  for (const Account& account : accounts_) {
    if (!account.group && AnsiSameText(account.name, user)) {
      if (account.password == password) return;
      break;
    }
  }
  RaiseDaoError(kBadLogon, {}, kSource);
}

std::vector<std::string> Workgroup::UserNames() const {
  std::vector<std::string> names;
  for (const Account& account : accounts_) {
    if (!account.group) names.push_back(account.name);
  }
  return names;
}

std::vector<std::string> Workgroup::GroupNames() const {
  std::vector<std::string> names;
  for (const Account& account : accounts_) {
    if (account.group) names.push_back(account.name);
  }
  return names;
}

std::vector<std::string> Workgroup::GroupsOf(const std::string& user) const {
  std::vector<std::string> groups;
  for (const auto& [group, member] : memberships_) {
    if (AnsiSameText(member, user)) groups.push_back(group);
  }
  return groups;
}

}  // namespace lumo::jet
