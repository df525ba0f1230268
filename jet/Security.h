#pragma once
// Users, groups and containers: the catalogue objects a workspace and a database list. A
// workgroup file holds the accounts (users with passwords, groups); without one the
// workspace knows the user "Admin" and the groups "Admins" and "Users". Containers list the
// object kinds of a database ("Databases", "Tables", "Relationships").

#include <memory>
#include <string>
#include <vector>

#include "jet/Collection.h"
#include "jet/DaoObject.h"

namespace lumo::jet {

class Group;

class User : public DaoObject {
 public:
  explicit User(std::string name) : DaoObject("DAO.User"), name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  const std::vector<std::string>& GroupNames() const { return groups_; }
  void SetGroupNames(std::vector<std::string> groups) { groups_ = std::move(groups); }

 private:
  std::string name_;
  std::vector<std::string> groups_;
};

class Group : public DaoObject {
 public:
  explicit Group(std::string name) : DaoObject("DAO.Group"), name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

class Container : public DaoObject {
 public:
  Container(std::string name, std::vector<std::string> documents)
      : DaoObject("DAO.Container"), name_(std::move(name)), documents_(std::move(documents)) {}
  const std::string& Name() const { return name_; }
  const std::vector<std::string>& DocumentNames() const { return documents_; }

 private:
  std::string name_;
  std::vector<std::string> documents_;
};

// The accounts a workspace logs on with. A workgroup file (DBEngine.SystemDB) is an SQLite
// file with the tables MSysAccounts (Name, Password, FGroup) and MSysGroups (GroupName,
// UserName); without one (SystemDB empty or naming no file) the workgroup knows the user
// "Admin" with an empty password, in the groups "Admins" and "Users". User and group names
// compare without regard to case, passwords with it.
class Workgroup {
 public:
  struct Account {
    std::string name;
    std::string password;
    bool group = false;
  };

  // 3028 when the file exists but cannot be read as a workgroup file.
  static std::shared_ptr<const Workgroup> Load(const std::string& systemDB);
  // Writes a new workgroup file with these accounts and memberships (group, user); for the
  // shell and tests. 3204 when the file exists.
  static void CreateFile(const std::string& path, const std::vector<Account>& accounts,
                         const std::vector<std::pair<std::string, std::string>>& memberships);

  // 3029 "Not a valid account name or password." unless the user exists with this password.
  void CheckLogon(const std::string& user, const std::string& password) const;
  std::vector<std::string> UserNames() const;
  std::vector<std::string> GroupNames() const;
  std::vector<std::string> GroupsOf(const std::string& user) const;
  bool FromFile() const { return fromFile_; }

 private:
  std::vector<Account> accounts_;
  std::vector<std::pair<std::string, std::string>> memberships_;  // (group, user)
  bool fromFile_ = false;
};

}  // namespace lumo::jet
