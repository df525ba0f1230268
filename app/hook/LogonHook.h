#pragma once
// logonjournal-hook: runs the logon journal as the user whose session opens or closes.
//
// pam_exec starts it as root from the session stack, with the PAM environment as its own
// environment. That environment is partly the user's own (pam_env reads ~/.pam_environment),
// so nothing of it reaches the journal except a few values checked here; everything else the
// journal gets is built from the account's passwd entry. The hook never fails a login: it
// reports problems on standard error and to the system log, and always exits 0.
//
// Only libc and the C++ standard library: the hook must start fast and depend on nothing of
// the project that a broken build or update could take away from the login path.

#include <sys/types.h>

#include <string>
#include <vector>

namespace logonhook {

inline constexpr int kDefaultTimeoutSeconds = 10;
inline constexpr int kMaxTimeoutSeconds = 3600;
inline constexpr uid_t kDefaultUidMin = 1000;
inline constexpr uid_t kDefaultUidMax = 60000;
inline constexpr const char* kLoginDefsPath = "/etc/login.defs";
// The only search path the journal gets.
inline constexpr const char* kSafePath = "/usr/bin:/bin";

// The account the journal runs as, copied out of the passwd entry.
struct Account {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::string home;
  std::string shell;
  std::vector<gid_t> groups;  // supplementary groups, the primary one included
};

// Messages go to standard error (pam_exec's log file when it has one) and to the system log.
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// [a-z_][a-z0-9_.-]*, at most 32 characters: the names account tools create. Anything else
// (blanks, slashes, control characters, upper case) is not looked up at all.
bool IsPlainAccountName(const std::string& name);
// A locale name without a path in it: letters, digits and "_.@-", starting with a letter.
bool IsPlainLocaleName(const std::string& name);
// A number of a login.defs file (UID_MIN, UID_MAX); `fallback` when the file or the entry is
// missing or bad. The last entry counts, as for the account tools.
uid_t ReadLoginDefsId(const char* key, uid_t fallback, const char* path = kLoginDefsPath);
// The account of `name` with its groups; false (and a report) when it cannot be found.
bool LookUpAccount(const std::string& name, Account& account);
// Whether the journal may be run for every user: an absolute path to a regular file that only
// root can change, in a folder that only root can change. False (and a report) otherwise.
bool IsTrustedProgram(const std::string& path);
// The journal's whole environment, "NAME=value" each.
std::vector<std::string> CleanEnvironment(const Account& account);

// Runs `program` with `arguments` (argv[1..]) as `account` in a process group of its own, from
// "/", with `environment` only; waits at most `timeoutSeconds`, then ends the whole group
// (SIGTERM, a short grace, SIGKILL) and reaps it. Reports what went wrong; never raises.
void RunAsAccount(const std::string& program, const std::vector<std::string>& arguments,
                  const Account& account, const std::vector<std::string>& environment,
                  int timeoutSeconds);

}  // namespace logonhook
