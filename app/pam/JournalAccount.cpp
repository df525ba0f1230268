// Whose session it is, which group the journal writes as, and what the journal's environment
// holds.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/pam/LogonJournalModule.h"

namespace lumo::pam {

namespace {

constexpr size_t kMaxAccountNameLength = 32;
constexpr size_t kMaxLocaleNameLength = 64;
constexpr size_t kMaxEntryBuffer = 1u << 20;

bool IsLowerOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The runtime folder logind made for this user: exactly /run/user/<uid>, a folder of the user.
bool IsUsersRuntimeDir(const char* value, uid_t uid) {
  if (value == nullptr) return false;
  const std::string expected = "/run/user/" + std::to_string(uid);
  if (expected != value) return false;
  struct stat info {};
  return lstat(value, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid;
}

size_t FirstBufferSize(int name) {
  const long suggested = sysconf(name);
  return suggested > 0 ? static_cast<size_t>(suggested) : 16384;
}

}  // namespace

bool IsPlainAccountName(const std::string& name) {
  if (name.empty() || name.size() > kMaxAccountNameLength) return false;
  if (!(name[0] == '_' || (name[0] >= 'a' && name[0] <= 'z'))) return false;
  for (char c : name) {
    if (!(IsLowerOrDigit(c) || c == '_' || c == '.' || c == '-')) return false;
  }
  return true;
}

bool IsPlainLocaleName(const std::string& name) {
  if (name.empty() || name.size() > kMaxLocaleNameLength || !IsLetter(name[0])) return false;
  for (char c : name) {
    if (!(IsLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '@' || c == '-'))
      return false;
  }
  return true;
}

uid_t ReadLoginDefsId(const char* key, uid_t fallback, const char* path) {
  FILE* file = fopen(path, "re");
  if (file == nullptr) return fallback;
  const size_t keyLength = strlen(key);
  uid_t result = fallback;
  char* line = nullptr;
  size_t capacity = 0;
  while (getline(&line, &capacity, file) >= 0) {
    const char* p = line + strspn(line, " \t");
    if (strncmp(p, key, keyLength) != 0 || (p[keyLength] != ' ' && p[keyLength] != '\t')) continue;
    p += keyLength + strspn(p + keyLength, " \t");
    // Base 0 as the account tools read it: decimal, 0x hexadecimal or 0 octal.
    char* end = nullptr;
    errno = 0;
    const unsigned long value = strtoul(p, &end, 0);
    if (errno == 0 && end != p && *p != '-' && end[strspn(end, " \t\r\n")] == '\0' &&
        value <= static_cast<uid_t>(-2)) {
      result = static_cast<uid_t>(value);
    }
  }
  free(line);
  fclose(file);
  return result;
}

bool LookUpAccount(const std::string& name, Account& account, std::string& problem) {
  std::vector<char> buffer(FirstBufferSize(_SC_GETPW_R_SIZE_MAX));
  passwd entry{};
  passwd* found = nullptr;
  int error = 0;
  while ((error = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) ==
             ERANGE &&
         buffer.size() < kMaxEntryBuffer) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) {
    problem = error != 0 ? "cannot look up the account " + name + ": " + strerror(error)
                         : "there is no account " + name;
    return false;
  }
  account.name = entry.pw_name;
  account.uid = entry.pw_uid;
  account.gid = entry.pw_gid;
  account.home = entry.pw_dir != nullptr ? entry.pw_dir : "";
  account.shell =
      entry.pw_shell != nullptr && entry.pw_shell[0] != '\0' ? entry.pw_shell : "/bin/sh";
  return true;
}

bool LookUpGroup(const std::string& name, gid_t& gid, std::string& problem) {
  std::vector<char> buffer(FirstBufferSize(_SC_GETGR_R_SIZE_MAX));
  group entry{};
  group* found = nullptr;
  int error = 0;
  while ((error = getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) ==
             ERANGE &&
         buffer.size() < kMaxEntryBuffer) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) {
    problem = error != 0 ? "cannot look up the group " + name + ": " + strerror(error)
                         : "there is no group " + name +
                               " (app/README.md tells how to set the journal up)";
    return false;
  }
  gid = entry.gr_gid;
  return true;
}

std::vector<std::string> CleanEnvironment(const Account& account, const SessionValues& session,
                                          int timeoutSeconds) {
  std::vector<std::string> environment = {
      "HOME=" + account.home,
      "USER=" + account.name,
      "LOGNAME=" + account.name,
      "SHELL=" + account.shell,
      std::string("PATH=") + kSafePath,
      // In recording mode the journal's window is never seen, and at the moment a session opens
      // or closes there may be no display to show it on (or one the user cannot reach yet).
      "QT_QPA_PLATFORM=offscreen",
      std::string(kTimeoutVariable) + "=" + std::to_string(timeoutSeconds),
  };
  if (session.lang != nullptr && IsPlainLocaleName(session.lang)) {
    environment.push_back(std::string("LANG=") + session.lang);
  }
  if (session.lcAll != nullptr && IsPlainLocaleName(session.lcAll)) {
    environment.push_back(std::string("LC_ALL=") + session.lcAll);
  }
  if (IsUsersRuntimeDir(session.runtimeDir, account.uid)) {
    environment.push_back(std::string("XDG_RUNTIME_DIR=") + session.runtimeDir);
  }
  return environment;
}

}  // namespace lumo::pam
