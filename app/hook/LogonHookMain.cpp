// logonjournal-hook [--timeout SECONDS] /path/to/logonjournal
//
// Run by pam_exec in the session stack. PAM_TYPE open_session records a logon ("/set logon"),
// close_session a logoff ("/set logoff"); other types do nothing. Always exits 0, so that the
// journal can never keep anyone from logging on or off.

#include <signal.h>
#include <syslog.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "app/hook/LogonHook.h"

namespace logonhook {
namespace {

constexpr const char* kUsage = "usage: logonjournal-hook [--timeout SECONDS] /path/to/logonjournal";

bool ParseSeconds(const char* text, int& seconds) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kMaxTimeoutSeconds) return false;
  seconds = static_cast<int>(value);
  return true;
}

void Run(int argc, char** argv) {
  int timeoutSeconds = kDefaultTimeoutSeconds;
  int next = 1;
  if (next < argc && strcmp(argv[next], "--timeout") == 0) {
    if (next + 1 >= argc || !ParseSeconds(argv[next + 1], timeoutSeconds)) {
      Report("--timeout needs a whole number of seconds from 1 to %d; %s", kMaxTimeoutSeconds,
             kUsage);
      return;
    }
    next += 2;
  }
  if (argc - next != 1) {
    Report("%s", kUsage);
    return;
  }
  const std::string program = argv[next];

  const char* type = getenv("PAM_TYPE");
  std::string kind;
  if (type != nullptr && strcmp(type, "open_session") == 0) {
    kind = "logon";
  } else if (type != nullptr && strcmp(type, "close_session") == 0) {
    kind = "logoff";
  } else {
    return;  // authentication, account and password stacks have nothing to record
  }

  const char* userText = getenv("PAM_USER");
  const std::string user = userText != nullptr ? userText : "";
  if (!IsPlainAccountName(user)) {
    Report("PAM_USER is not a plain account name; %s not recorded", kind.c_str());
    return;
  }
  Account account;
  if (!LookUpAccount(user, account)) return;
  // Root, daemons and the display manager's greeter accounts lie below UID_MIN, "nobody" above
  // UID_MAX; their sessions are not people logging on.
  const uid_t uidMin = ReadLoginDefsId("UID_MIN", kDefaultUidMin);
  const uid_t uidMax = ReadLoginDefsId("UID_MAX", kDefaultUidMax);
  if (account.uid == 0 || account.uid < uidMin || account.uid > uidMax) {
    Report("%s is a system account (uid %u outside %u..%u); %s not recorded", user.c_str(),
           static_cast<unsigned>(account.uid), static_cast<unsigned>(uidMin),
           static_cast<unsigned>(uidMax), kind.c_str());
    return;
  }
  if (!IsTrustedProgram(program)) return;

  RunAsAccount(program, {"/set", kind}, account, CleanEnvironment(account), timeoutSeconds);
}

}  // namespace
}  // namespace logonhook

int main(int argc, char** argv) {
  // With SIGCHLD ignored (a caller may have set it so) the journal would be reaped behind the
  // hook's back and could not be waited for.
  signal(SIGCHLD, SIG_DFL);
  openlog("logonjournal-hook", LOG_PID, LOG_AUTHPRIV);
  try {
    logonhook::Run(argc, argv);
  } catch (const std::exception& error) {
    logonhook::Report("%s", error.what());
  } catch (...) {
    logonhook::Report("unexpected failure");
  }
  closelog();
  return 0;
}
