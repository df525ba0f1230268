// Running the journal as the user with the journal's group: the child drops every privilege
// before it executes the checked file; the parent reads what the journal says, enforces the
// time limit on the child's whole process group and reaps it.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/pam/LogonJournalModule.h"

namespace lumo::pam {

namespace {

constexpr int kChildFailed = 127;
constexpr long kGraceMilliseconds = 1000;
constexpr long kReapStepMicros = 1000;
constexpr size_t kMaxMessage = 2048;
constexpr long kMessageStepMilliseconds = 50;
// The descriptor the program is executed from in the child.
constexpr int kProgramFd = 3;

long MillisecondsSince(const timespec& start) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// --- the child: system calls only, nothing allocated --------------------------------------

void WriteAll(int fd, const char* text) {
  size_t left = strlen(text);
  while (left > 0) {
    const ssize_t written = write(fd, text, left);
    if (written <= 0) return;
    text += written;
    left -= static_cast<size_t>(written);
  }
}

// What went wrong, on standard error (the parent's pipe). strerrordesc_np reads a fixed
// table: no locale, no allocation, so it is safe after fork in a process with threads.
[[noreturn]] void ChildFails(const char* what) {
  const char* reason = strerrordesc_np(errno);
  WriteAll(STDERR_FILENO, what);
  WriteAll(STDERR_FILENO, ": ");
  WriteAll(STDERR_FILENO, reason != nullptr ? reason : "unknown error");
  WriteAll(STDERR_FILENO, "\n");
  _exit(kChildFailed);
}

// A login manager may hand on ignored signals and a blocked mask; the journal starts with the
// defaults, so that the time limit's SIGTERM reaches it.
void ResetSignals() {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (int number = 1; number < NSIG; ++number) sigaction(number, &standard, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

void DropPrivileges(const JournalLaunch& launch) {
  const Account& account = launch.account;
  const gid_t journalGroup = launch.journalGroup;
  // No supplementary groups: the journal reaches the database through its effective group
  // alone, and nothing else of root's or the user's groups.
  if (setgroups(0, nullptr) != 0) ChildFails("setgroups");
  // Real group the user's own, effective and saved the journal's: as a set-group-id program
  // runs. The kernel then keeps the process undumpable, so that the user can neither trace
  // it nor reach its open files.
  if (setresgid(account.gid, journalGroup, journalGroup) != 0) ChildFails("setresgid");
  if (setresuid(account.uid, account.uid, account.uid) != 0) ChildFails("setresuid");

  uid_t realUid, effectiveUid, savedUid;
  gid_t realGid, effectiveGid, savedGid;
  if (getresuid(&realUid, &effectiveUid, &savedUid) != 0 ||
      getresgid(&realGid, &effectiveGid, &savedGid) != 0) {
    ChildFails("reading the process's ids");
  }
  if (realUid != account.uid || effectiveUid != account.uid || savedUid != account.uid ||
      realGid != account.gid || effectiveGid != journalGroup || savedGid != journalGroup ||
      getgroups(0, nullptr) != 0) {
    errno = EPERM;
    ChildFails("the ids did not change");
  }
  // Root's ids must be out of reach for good, not merely set aside.
  if (setresuid(0, 0, 0) == 0 || setegid(0) == 0) {
    errno = EPERM;
    ChildFails("root's privileges could be regained");
  }
  // The effective group survives this: the process is a member of it (as its file-system
  // group), so the exec gains nothing the flag would have to take away.
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) ChildFails("PR_SET_NO_NEW_PRIVS");
}

[[noreturn]] void BecomeJournal(const JournalLaunch& launch, char* const* argv, char* const* envp,
                                int devNull, int errorPipe) {
  // Until the exec this process holds a copy of the login program's memory: nobody may trace
  // it, also not in the moment after the uid changed.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  if (setpgid(0, 0) != 0) ChildFails("setpgid");
  ResetSignals();
  // Every descriptor was placed at 3 or above by the parent, so these moves overwrite none.
  if (dup2(devNull, STDIN_FILENO) < 0 || dup2(devNull, STDOUT_FILENO) < 0 ||
      dup2(errorPipe, STDERR_FILENO) < 0) {
    _exit(kChildFailed);
  }
  if (launch.programFd != kProgramFd && dup3(launch.programFd, kProgramFd, O_CLOEXEC) < 0) {
    ChildFails("placing the journal's descriptor");
  }
  // Descriptors the login program holds are not the journal's business.
  close_range(kProgramFd + 1, ~0u, 0);

  DropPrivileges(launch);
  if (chdir("/") != 0) ChildFails("chdir /");
  umask(027);
  // Exactly the file that was checked, never a name.
  execveat(kProgramFd, "", argv, envp, AT_EMPTY_PATH);
  // A script is read by its interpreter through /dev/fd/3, which a close-on-exec descriptor
  // would not outlive (the kernel answers ENOENT); a compiled journal never needs the
  // descriptor after the exec, so it keeps it only in that case.
  if (errno == ENOENT && fcntl(kProgramFd, F_SETFD, 0) == 0) {
    execveat(kProgramFd, "", argv, envp, AT_EMPTY_PATH);
  }
  ChildFails(launch.programPath.c_str());
}

// --- the parent ------------------------------------------------------------------------------

// A descriptor at 3 or above, close-on-exec: a daemon may run with 0, 1 or 2 closed, and
// then a new descriptor could take the place the child puts standard input or error at.
int Above2(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

// Whether the child has ended, without reaping it: while the group leader is a zombie its
// process group id stays reserved, so the group can still be signalled safely.
bool Ended(pid_t child) {
  siginfo_t info{};
  if (waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno != EINTR;
  return info.si_pid == child;
}

bool WaitForEnd(pid_t child, const timespec& start, long limit) {
  for (;;) {
    if (Ended(child)) return true;
    if (MillisecondsSince(start) >= limit) return false;
    const timespec pause{0, kReapStepMicros * 1000};
    nanosleep(&pause, nullptr);
  }
}

// Reads the journal's standard error until it closes, the journal ends or the time is up.
// Only the beginning is kept; the rest is read and dropped, so that the journal never blocks
// on a full pipe. A helper the journal left behind may hold the pipe open after the journal
// ended, hence the look at the child between reads.
void ReadMessages(int fd, pid_t child, const timespec& start, long limit, std::string& text) {
  for (;;) {
    const long left = limit - MillisecondsSince(start);
    if (left <= 0) return;
    pollfd entry{fd, POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(std::min(left, kMessageStepMilliseconds)));
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0) {
      char chunk[512];
      const ssize_t length = read(fd, chunk, sizeof chunk);
      if (length < 0 && errno == EINTR) continue;
      if (length <= 0) return;
      if (text.size() < kMaxMessage) {
        text.append(chunk, std::min(static_cast<size_t>(length), kMaxMessage - text.size()));
      }
      continue;
    }
    if (Ended(child)) return;
  }
}

int Reap(pid_t child, int& status) {
  for (;;) {
    if (waitpid(child, &status, 0) == child) return 0;
    if (errno != EINTR) return -1;
  }
}

std::string FirstLine(const std::string& text) {
  const size_t end = text.find('\n');
  return end == std::string::npos ? text : text.substr(0, end);
}

// With SIGCHLD ignored the kernel reaps the journal behind the module's back, and its end
// could not be told from its vanishing; the host's own handler, if any, is left alone.
class ChildSignalDefault {
 public:
  ChildSignalDefault() {
    struct sigaction current {};
    if (sigaction(SIGCHLD, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
      struct sigaction standard {};
      standard.sa_handler = SIG_DFL;
      changed_ = sigaction(SIGCHLD, &standard, &previous_) == 0;
    }
  }
  ~ChildSignalDefault() {
    if (changed_) sigaction(SIGCHLD, &previous_, nullptr);
  }
  ChildSignalDefault(const ChildSignalDefault&) = delete;
  ChildSignalDefault& operator=(const ChildSignalDefault&) = delete;

 private:
  struct sigaction previous_ {};
  bool changed_ = false;
};

}  // namespace

JournalOutcome RunJournal(const JournalLaunch& launch) {
  JournalOutcome outcome;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);

  // Everything the child needs, made before the fork.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(launch.programPath.c_str()));
  for (const std::string& argument : launch.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : launch.environment)
    envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  const int devNull = Above2(open("/dev/null", O_RDWR | O_CLOEXEC));
  if (devNull < 0 || pipe2(pipeFds, O_CLOEXEC) != 0) {
    outcome.message = std::string("cannot prepare the journal's start: ") + strerror(errno);
    if (devNull >= 0) close(devNull);
    return outcome;
  }
  const int readEnd = Above2(pipeFds[0]);
  const int writeEnd = Above2(pipeFds[1]);
  JournalLaunch placed = launch;
  placed.programFd = Above2(fcntl(launch.programFd, F_DUPFD_CLOEXEC, 3));

  ChildSignalDefault childSignal;
  const pid_t child = placed.programFd >= 0 && readEnd >= 0 && writeEnd >= 0 ? fork() : -1;
  if (child == 0) BecomeJournal(placed, argv.data(), envp.data(), devNull, writeEnd);
  const int forkError = errno;
  close(devNull);
  if (writeEnd >= 0) close(writeEnd);
  if (placed.programFd >= 0) close(placed.programFd);
  if (child < 0) {
    outcome.message = std::string("cannot start the journal: ") + strerror(forkError);
    if (readEnd >= 0) close(readEnd);
    return outcome;
  }
  // Also here, so that the group exists before the time limit could need it; fails harmlessly
  // once the child has executed the journal.
  setpgid(child, child);

  const long limit = launch.timeoutSeconds * 1000L;
  std::string messages;
  ReadMessages(readEnd, child, start, limit, messages);
  close(readEnd);
  const bool ended = WaitForEnd(child, start, limit);
  if (!ended) {
    kill(-child, SIGTERM);
    timespec grace{};
    clock_gettime(CLOCK_MONOTONIC, &grace);
    WaitForEnd(child, grace, kGraceMilliseconds);
    // Whatever is left of the group, the journal itself included if it ignored SIGTERM.
    kill(-child, SIGKILL);
  }
  int status = 0;
  const bool reaped = Reap(child, status) == 0;
  outcome.milliseconds = MillisecondsSince(start);
  outcome.message = FirstLine(messages);
  if (!ended) {
    outcome.end = JournalOutcome::End::TimedOut;
  } else if (!reaped) {
    outcome.end = JournalOutcome::End::Vanished;  // someone else reaped it
  } else if (WIFEXITED(status)) {
    outcome.end = JournalOutcome::End::Exited;
    outcome.code = WEXITSTATUS(status);
  } else {
    outcome.end = JournalOutcome::End::Signalled;
    outcome.code = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return outcome;
}

std::string DescribeOutcome(const JournalOutcome& outcome, int timeoutSeconds) {
  const std::string seconds = " after " + std::to_string(outcome.milliseconds / 1000) + "." +
                              std::to_string(outcome.milliseconds % 1000 / 100) + " s";
  const std::string said = outcome.message.empty() ? std::string() : ": " + outcome.message;
  switch (outcome.end) {
    case JournalOutcome::End::Exited:
      if (outcome.code == 0) return "recorded" + seconds;
      return "not recorded: the journal ended with status " + std::to_string(outcome.code) +
             seconds + said;
    case JournalOutcome::End::Signalled:
      return "not recorded: the journal ended by signal " + std::to_string(outcome.code) + seconds +
             said;
    case JournalOutcome::End::TimedOut:
      return "not recorded: the journal did not end within " + std::to_string(timeoutSeconds) +
             " s and was stopped" + said;
    case JournalOutcome::End::Vanished:
      return "outcome unknown: the journal was reaped by someone else" + seconds + said;
    case JournalOutcome::End::NotStarted: break;
  }
  return "not recorded: " + outcome.message;
}

}  // namespace lumo::pam
