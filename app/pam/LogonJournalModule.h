#pragma once
// The pieces of pam_logonjournal.so, the session module that records logons and logoffs: it
// runs the journal as "/set logon" when a session opens and "/set logoff" when it closes, as
// the user whose session it is, with the journal's group as effective group.
//
// The module lives inside whatever program runs the session stack (a login manager, sshd,
// su), as root, and often in a process with threads. So: nothing here raises, nothing here
// keeps state between calls, and everything the child process needs is prepared before the
// fork, so that the child only makes system calls until it executes the journal.
//
// Only libc, the C++ standard library and (in PamLogonJournal.cpp alone) libpam: the module
// must depend on nothing of the project that an update could take away from the login path.

#include <sys/types.h>

#include <string>
#include <vector>

namespace lumo::pam {

inline constexpr int kDefaultTimeoutSeconds = 10;
inline constexpr int kMaxTimeoutSeconds = 3600;
inline constexpr const char* kDefaultGroup = "logonjournal";
inline constexpr uid_t kDefaultUidMin = 1000;
inline constexpr uid_t kDefaultUidMax = 60000;
inline constexpr const char* kLoginDefsPath = "/etc/login.defs";
// The only search path the journal gets.
inline constexpr const char* kSafePath = "/usr/bin:/bin";
// The variable that tells the journal its time limit in seconds; the journal waits for a
// lock a little less than that.
inline constexpr const char* kTimeoutVariable = "LOGONJOURNAL_TIMEOUT";

// --- module arguments (ModuleOptions.cpp) ---------------------------------------------------

struct ModuleOptions {
  std::string journal;  // absolute path of the journal program
  int timeoutSeconds = kDefaultTimeoutSeconds;
  std::string group = kDefaultGroup;
  bool debug = false;
};

// Reads "journal=PATH", "timeout=SECONDS", "group=NAME" and "debug" over `defaults`. A bad or
// unknown argument keeps the default and is described in `problems`.
ModuleOptions ParseOptions(int argc, const char** argv, const ModuleOptions& defaults,
                           std::vector<std::string>& problems);

// --- the account (JournalAccount.cpp) -------------------------------------------------------

// The account the journal runs as, copied out of its passwd entry.
struct Account {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::string home;
  std::string shell;
};

// [a-z_][a-z0-9_.-]*, at most 32 characters: the names account tools create. Anything else
// (blanks, slashes, control characters, upper case) is not looked up at all.
bool IsPlainAccountName(const std::string& name);
// A locale name without a path in it: letters, digits and "_.@-", starting with a letter.
bool IsPlainLocaleName(const std::string& name);
// A number of a login.defs file (UID_MIN, UID_MAX); `fallback` when the file or the entry is
// missing or bad. The last entry counts, as for the account tools.
uid_t ReadLoginDefsId(const char* key, uid_t fallback, const char* path = kLoginDefsPath);
// The account of `name`; false with `problem` set when there is none.
bool LookUpAccount(const std::string& name, Account& account, std::string& problem);
// The id of the group `name`; false with `problem` set when there is none.
bool LookUpGroup(const std::string& name, gid_t& gid, std::string& problem);

// What the session's own environment may hand on: the plain locale names and the runtime
// folder logind made for this very user. The values come from the PAM environment, which
// the user can fill (~/.pam_environment), so each is checked; nullptr when unset.
struct SessionValues {
  const char* lang = nullptr;
  const char* lcAll = nullptr;
  const char* runtimeDir = nullptr;
};
// The journal's whole environment, "NAME=value" each, built from scratch.
std::vector<std::string> CleanEnvironment(const Account& account, const SessionValues& session,
                                          int timeoutSeconds);

// --- the program (JournalProgram.cpp) -------------------------------------------------------

// Opens the program at `path` without trusting any name twice: every component is opened
// with O_PATH|O_NOFOLLOW relative to the folder before it, starting at "/"; every folder must
// belong to root and be writable by nobody else, a symbolic link must belong to root (its
// target is then walked the same way), and the file must be root's, a regular executable
// file writable by nobody else. Answers a close-on-exec O_PATH descriptor of exactly the file
// that passed, or -1 with `problem` set. Executing that descriptor (execveat) runs what was
// checked, whatever happens to the names afterwards.
int OpenTrustedProgram(const std::string& path, std::string& problem);

// --- the run (JournalRun.cpp) ---------------------------------------------------------------

struct JournalLaunch {
  int programFd = -1;  // from OpenTrustedProgram
  std::string programPath;
  std::vector<std::string> arguments;  // argv[1..]
  Account account;
  gid_t journalGroup = 0;
  std::vector<std::string> environment;
  int timeoutSeconds = kDefaultTimeoutSeconds;
};

struct JournalOutcome {
  enum class End { NotStarted, Exited, Signalled, TimedOut, Vanished };
  End end = End::NotStarted;
  int code = 0;  // exit status or signal
  std::string
      message;  // the first line the journal wrote to standard error, or why it did not start
  long milliseconds = 0;
};

// Runs the journal in a child process: a process group of its own, from "/", stdin and stdout
// on /dev/null, standard error read back by the module; uid, real gid the account's, effective
// and saved gid `journalGroup`, no supplementary groups, no way back to root, no new
// privileges; then exactly the checked file with `environment` only. Waits at most the time
// limit, then ends the whole group (SIGTERM, a second's grace, SIGKILL) and reaps it.
JournalOutcome RunJournal(const JournalLaunch& launch);

// One line for the system log: "recorded", "not recorded: the journal ended with status 1: ...".
std::string DescribeOutcome(const JournalOutcome& outcome, int timeoutSeconds);

}  // namespace lumo::pam
