#include "app/Recording.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jet/DaoErrorNumbers.h"

namespace lumo {

namespace {

constexpr double kMaxLockWaitSeconds = 3600;
constexpr const char* kJournalGroup = "logonjournal";

// DAO's numbers for a lock held elsewhere.
bool IsLockError(int daoNumber) {
  return daoNumber == jet::kDaoLocked || daoNumber == jet::kDaoLockedByUser ||
         daoNumber == jet::kDaoCannotLockFile;
}

bool ParseSeconds(const char* text, double& seconds) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value)) return false;
  if (value < 0 || value > kMaxLockWaitSeconds) return false;
  seconds = value;
  return true;
}

std::string OwnerName(uid_t uid) {
  const passwd* entry = getpwuid(uid);
  return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const group* entry = getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// "is alice:staff 644" of what `path` names, or why it cannot be seen.
std::string Describe(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::string("cannot be seen: ") + std::strerror(errno);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(info.st_mode & 07777));
  return "is " + OwnerName(info.st_uid) + ":" + GroupName(info.st_gid) + " " + mode;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Allowed(const std::string& path, int what) {
  return faccessat(AT_FDCWD, path.c_str(), what, AT_EACCESS) == 0;
}

std::string WaitedText(int waitedMs) {
  char waited[64];
  std::snprintf(waited, sizeof waited, " (waited %.1f s for another session's lock)",
                waitedMs / 1000.0);
  return waited;
}

}  // namespace

int LockWaitMs(const std::string& setting, const char* timeLimit) {
  double seconds = 0;
  if (ParseSeconds(setting.c_str(), seconds)) return static_cast<int>(seconds * 1000);
  if (ParseSeconds(timeLimit, seconds) && seconds > 0) {
    return static_cast<int>((seconds >= 2 ? seconds - 1 : seconds / 2) * 1000);
  }
  return kDefaultLockWaitMs;
}

TDateTime WholeSeconds(TDateTime value) {
  const DateTimeParts parts = SplitDateTime(value);
  return ComposeDateTime(EncodeDate(parts.Year, parts.Month, parts.Day),
                         EncodeTime(parts.Hour, parts.Minute, parts.Second, 0));
}

std::string RecordingFailureText(const std::string& path, const std::string& reason, int daoNumber,
                                 int waitedMs) {
  std::string text = "cannot write the journal database " + path + ": " + reason;
  if (IsLockError(daoNumber)) return text + WaitedText(waitedMs);
  // A file or folder the journal cannot use as its group: the usual set-up fault.
  const std::string folder = FolderOf(path);
  const bool access = daoNumber == jet::kDaoReadOnly || !Allowed(path, R_OK | W_OK) ||
                      !Allowed(folder, W_OK | X_OK);
  if (!access) return text;
  // Run by the session module the journal's group is its effective group; run by hand, the
  // group is the one the set-up names.
  const std::string group = getegid() != getgid() ? GroupName(getegid()) : kJournalGroup;
  return text + "; is it root:" + group + " 660 in a folder root:" + group +
         " 2770, as app/README.md describes? (the file " + Describe(path) + ", the folder " +
         Describe(folder) + ")";
}

std::string ServerRecordingFailureText(const std::string& source, const std::string& reason,
                                       int daoNumber, int waitedMs) {
  const std::string text = "cannot write the journal on " + source + ": " + reason;
  return IsLockError(daoNumber) ? text + WaitedText(waitedMs) : text;
}

}  // namespace lumo
