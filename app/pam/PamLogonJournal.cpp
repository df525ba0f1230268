// pam_logonjournal.so: the session module's entry points. Opening a session records a logon
// ("/set logon"), closing it a logoff ("/set logoff"). Whatever happens, the session goes on:
// both answer PAM_SUCCESS, and every reason why nothing was recorded goes to the system log
// (facility authpriv) with the user and the kind.

#include <security/pam_ext.h>
#include <security/pam_modules.h>
#include <syslog.h>
#include <unistd.h>

#include <exception>
#include <string>

#include "app/pam/LogonJournalModule.h"

#ifndef LUMO_DEFAULT_JOURNAL
#error "LUMO_DEFAULT_JOURNAL must name the installed journal program"
#endif

namespace {

using namespace lumo::pam;

void Log(pam_handle_t* handle, int priority, const std::string& text) {
  pam_syslog(handle, priority, "%s", text.c_str());
}

std::string ItemText(pam_handle_t* handle, int item) {
  const void* value = nullptr;
  if (pam_get_item(handle, item, &value) != PAM_SUCCESS || value == nullptr) return {};
  return static_cast<const char*>(value);
}

void Record(pam_handle_t* handle, int argc, const char** argv, const std::string& kind) {
  ModuleOptions defaults;
  defaults.journal = LUMO_DEFAULT_JOURNAL;
  std::vector<std::string> problems;
  const ModuleOptions options = ParseOptions(argc, argv, defaults, problems);
  for (const std::string& problem : problems) Log(handle, LOG_ERR, problem);

  // The item, not pam_get_user: a session module must never prompt.
  const std::string user = ItemText(handle, PAM_USER);
  if (!IsPlainAccountName(user)) {
    Log(handle, LOG_NOTICE, kind + " not recorded: the session's user is not a plain account name");
    return;
  }
  const std::string what = kind + " of " + user + " ";
  Account account;
  std::string problem;
  if (!LookUpAccount(user, account, problem)) {
    Log(handle, LOG_NOTICE, what + "not recorded: " + problem);
    return;
  }
  // Root, daemons and the display manager's greeter accounts lie below UID_MIN, "nobody" above
  // UID_MAX; their sessions are not people logging on.
  const uid_t uidMin = ReadLoginDefsId("UID_MIN", kDefaultUidMin);
  const uid_t uidMax = ReadLoginDefsId("UID_MAX", kDefaultUidMax);
  if (account.uid == 0 || account.uid < uidMin || account.uid > uidMax) {
    if (options.debug) {
      Log(handle, LOG_DEBUG,
          what + "not recorded: a system account (uid " + std::to_string(account.uid) +
              " outside " + std::to_string(uidMin) + ".." + std::to_string(uidMax) + ")");
    }
    return;
  }
  gid_t journalGroup = 0;
  if (!LookUpGroup(options.group, journalGroup, problem)) {
    Log(handle, LOG_ERR, what + "not recorded: " + problem);
    return;
  }
  const int program = OpenTrustedProgram(options.journal, problem);
  if (program < 0) {
    Log(handle, LOG_ERR, what + "not recorded: " + problem);
    return;
  }

  SessionValues session;
  session.lang = pam_getenv(handle, "LANG");
  session.lcAll = pam_getenv(handle, "LC_ALL");
  session.runtimeDir = pam_getenv(handle, "XDG_RUNTIME_DIR");
  JournalLaunch launch;
  launch.programFd = program;
  launch.programPath = options.journal;
  launch.arguments = {"/set", kind};
  launch.account = account;
  launch.journalGroup = journalGroup;
  launch.environment = CleanEnvironment(account, session, options.timeoutSeconds);
  launch.timeoutSeconds = options.timeoutSeconds;
  if (options.debug) {
    Log(handle, LOG_DEBUG,
        "running " + options.journal + " for " + user + " as uid " + std::to_string(account.uid) +
            ", gid " + std::to_string(account.gid) + ", effective gid " +
            std::to_string(journalGroup) + " (" + options.group + "), within " +
            std::to_string(options.timeoutSeconds) + " s");
  }
  const JournalOutcome outcome = RunJournal(launch);
  close(program);
  const bool recorded = outcome.end == JournalOutcome::End::Exited && outcome.code == 0;
  Log(handle, recorded ? LOG_INFO : LOG_ERR,
      what + DescribeOutcome(outcome, options.timeoutSeconds));
}

int Session(pam_handle_t* handle, int argc, const char** argv, const char* kind) noexcept {
  try {
    Record(handle, argc, argv, kind);
  } catch (const std::exception& error) {
    Log(handle, LOG_ERR, std::string(kind) + " not recorded: " + error.what());
  } catch (...) {
    Log(handle, LOG_ERR, std::string(kind) + " not recorded: unexpected failure");
  }
  return PAM_SUCCESS;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int pam_sm_open_session(pam_handle_t* handle, int flags,
                                                               int argc, const char** argv) {
  (void)flags;
  return Session(handle, argc, argv, "logon");
}

__attribute__((visibility("default"))) int pam_sm_close_session(pam_handle_t* handle, int flags,
                                                                int argc, const char** argv) {
  (void)flags;
  return Session(handle, argc, argv, "logoff");
}

}  // extern "C"
