// What the hook checks before it runs anything: the account, the program, the environment.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/hook/LogonHook.h"

namespace logonhook {

namespace {

constexpr size_t kMaxAccountNameLength = 32;
constexpr size_t kMaxLocaleNameLength = 64;

bool IsLowerOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Owned by root and writable by nobody else.
bool OnlyRootCanChange(const struct stat& info) {
  return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The value of `name` in the hook's own environment when it is exactly the runtime folder
// logind made for this user; the journal's toolkit keeps its sockets and locks there.
bool IsUsersRuntimeDir(const char* value, uid_t uid) {
  if (value == nullptr) return false;
  const std::string expected = "/run/user/" + std::to_string(uid);
  if (expected != value) return false;
  struct stat info {};
  return lstat(value, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid;
}

}  // namespace

void Report(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  fprintf(stderr, "logonjournal-hook: %s\n", text);
  fflush(stderr);
  syslog(LOG_AUTHPRIV | LOG_NOTICE, "%s", text);
}

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

bool LookUpAccount(const std::string& name, Account& account) {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  int error = 0;
  while ((error = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) ==
             ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) {
    if (error != 0) {
      Report("cannot look up account %s: %s", name.c_str(), strerror(error));
    } else {
      Report("no account %s", name.c_str());
    }
    return false;
  }
  account.name = entry.pw_name;
  account.uid = entry.pw_uid;
  account.gid = entry.pw_gid;
  account.home = entry.pw_dir != nullptr ? entry.pw_dir : "";
  account.shell = entry.pw_shell != nullptr && entry.pw_shell[0] != '\0' ? entry.pw_shell : "/bin/sh";

  // The group list is read here, as root and before forking, so that the child only has to
  // install it.
  int count = 32;
  account.groups.assign(count, 0);
  while (getgrouplist(account.name.c_str(), account.gid, account.groups.data(), &count) < 0) {
    if (count <= static_cast<int>(account.groups.size())) count = 2 * account.groups.size();
    if (count > 65536) {
      Report("account %s has too many groups", name.c_str());
      return false;
    }
    account.groups.assign(count, 0);
  }
  account.groups.resize(count);
  return true;
}

bool IsTrustedProgram(const std::string& path) {
  if (path.empty() || path[0] != '/') {
    Report("the journal must be given by its absolute path, not \"%s\"", path.c_str());
    return false;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    Report("cannot use the journal %s: %s", path.c_str(), strerror(errno));
    return false;
  }
  // A program that someone else could replace would run in every user's session.
  if (!S_ISREG(info.st_mode) || !OnlyRootCanChange(info)) {
    Report("refusing the journal %s: not a regular file that only root can change", path.c_str());
    return false;
  }
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  if (stat(folder.c_str(), &info) != 0 || !OnlyRootCanChange(info)) {
    Report("refusing the journal %s: its folder can be changed by others than root",
           path.c_str());
    return false;
  }
  return true;
}

std::vector<std::string> CleanEnvironment(const Account& account) {
  std::vector<std::string> environment = {
      "HOME=" + account.home,
      "USER=" + account.name,
      "LOGNAME=" + account.name,
      "SHELL=" + account.shell,
      std::string("PATH=") + kSafePath,
      // In recording mode the journal's window is never seen, and at the moment a session opens
      // or closes there may be no display to show it on (or one the user cannot reach yet).
      "QT_QPA_PLATFORM=offscreen",
  };
  for (const char* name : {"LANG", "LC_ALL"}) {
    const char* value = getenv(name);
    if (value != nullptr && IsPlainLocaleName(value)) {
      environment.push_back(std::string(name) + "=" + value);
    }
  }
  const char* runtimeDir = getenv("XDG_RUNTIME_DIR");
  if (IsUsersRuntimeDir(runtimeDir, account.uid)) {
    environment.push_back(std::string("XDG_RUNTIME_DIR=") + runtimeDir);
  }
  return environment;
}

}  // namespace logonhook
