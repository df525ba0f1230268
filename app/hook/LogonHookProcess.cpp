// Running the journal as the user: the child drops every privilege before it executes anything,
// the parent enforces the time limit on the child's whole process group.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/hook/LogonHook.h"

namespace logonhook {

namespace {

constexpr int kChildFailed = 127;
constexpr long kPollMilliseconds = 20;
constexpr long kGraceMilliseconds = 1000;

// The child reports with write(2) alone: it must not flush stdio buffers it shares with the
// parent.
[[noreturn]] void ChildFails(const char* what) {
  char text[256];
  const int length = snprintf(text, sizeof text, "logonjournal-hook: %s: %s\n", what, strerror(errno));
  if (length > 0) {
    ssize_t ignored = write(STDERR_FILENO, text, static_cast<size_t>(length));
    (void)ignored;
  }
  _exit(kChildFailed);
}

// A process started from a login manager may inherit ignored signals and a blocked mask; the
// journal starts with the defaults, so that the time limit's SIGTERM reaches it.
void ResetSignals() {
  for (int signal = 1; signal < NSIG; ++signal) ::signal(signal, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

void DropPrivileges(const Account& account) {
  if (setgroups(account.groups.size(), account.groups.data()) != 0) ChildFails("setgroups");
  if (setresgid(account.gid, account.gid, account.gid) != 0) ChildFails("setresgid");
  if (setresuid(account.uid, account.uid, account.uid) != 0) ChildFails("setresuid");

  uid_t realUid, effectiveUid, savedUid;
  gid_t realGid, effectiveGid, savedGid;
  if (getresuid(&realUid, &effectiveUid, &savedUid) != 0 ||
      getresgid(&realGid, &effectiveGid, &savedGid) != 0) {
    ChildFails("reading the process's ids");
  }
  if (realUid != account.uid || effectiveUid != account.uid || savedUid != account.uid ||
      realGid != account.gid || effectiveGid != account.gid || savedGid != account.gid) {
    errno = EPERM;
    ChildFails("the ids did not change");
  }
  // Root's ids must be out of reach for good, not merely set aside.
  if (setresuid(0, 0, 0) == 0 || setegid(0) == 0) {
    errno = EPERM;
    ChildFails("root's privileges could be regained");
  }
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) ChildFails("PR_SET_NO_NEW_PRIVS");
}

[[noreturn]] void BecomeJournal(const std::string& program, const std::vector<std::string>& arguments,
                                const Account& account, const std::vector<std::string>& environment) {
  // Everything the exec needs is built before the first change, so that nothing is allocated
  // half-way through dropping privileges.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  if (setpgid(0, 0) != 0) ChildFails("setpgid");
  ResetSignals();
  const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (devNull < 0 || dup2(devNull, STDIN_FILENO) < 0) ChildFails("/dev/null");
  // Descriptors the login manager left open are not the journal's business.
  close_range(3, ~0u, 0);

  DropPrivileges(account);
  if (chdir("/") != 0) ChildFails("chdir /");
  umask(022);
  execve(program.c_str(), argv.data(), envp.data());
  ChildFails(program.c_str());
}

long MillisecondsSince(const timespec& start) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Waits up to `limit` ms for the child to end, without reaping it: while the group leader is
// a zombie its process group id stays reserved, so the group can still be signalled safely.
bool WaitForExit(pid_t child, long limit) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    siginfo_t info{};
    if (waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      if (errno == EINTR) continue;
      return true;  // no such child any more: nothing left to wait for
    }
    if (info.si_pid == child) return true;
    if (MillisecondsSince(start) >= limit) return false;
    const timespec pause{0, kPollMilliseconds * 1000000};
    nanosleep(&pause, nullptr);
  }
}

int Reap(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

void RunAsAccount(const std::string& program, const std::vector<std::string>& arguments,
                  const Account& account, const std::vector<std::string>& environment,
                  int timeoutSeconds) {
  fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    Report("cannot start the journal: %s", strerror(errno));
    return;
  }
  if (child == 0) BecomeJournal(program, arguments, account, environment);
  // Also here, so that the group exists before the time limit could need it; fails harmlessly
  // when the child has already executed the journal.
  setpgid(child, child);

  if (!WaitForExit(child, timeoutSeconds * 1000L)) {
    Report("the journal for %s did not end within %d s; stopping it", account.name.c_str(),
           timeoutSeconds);
    kill(-child, SIGTERM);
    WaitForExit(child, kGraceMilliseconds);
    // Whatever is left of the group, the journal itself included if it ignored SIGTERM.
    kill(-child, SIGKILL);
    Reap(child);
    return;
  }
  const int status = Reap(child);
  if (status < 0) return;
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    Report("the journal for %s ended with status %d", account.name.c_str(), WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    Report("the journal for %s ended by signal %d", account.name.c_str(), WTERMSIG(status));
  }
}

}  // namespace logonhook
