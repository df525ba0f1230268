// The ODBC keys of the live registry, read from unixODBC's configuration files through its
// installer API on every key opened, so that a data source added while the program runs is seen.
//
// Reading must never write: the installer opens the file a question is about for appending
// before it reads it, which creates a missing ~/.odbc.ini (or, for root, /etc/odbc.ini) as a
// side effect. So every question first checks that its file exists; a missing file is a key
// with nothing in it, and the installer is not asked at all.
//
// The installer library is loaded when the first ODBC key is opened, not at start-up: a
// recording run never asks for one, and loading it (with the library it needs in turn) would
// cost every such run. Without the library there is no ODBC configuration to read, and the
// keys have nothing in them.

#include <dlfcn.h>
#include <odbcinst.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "runtime/RegistryOdbc.h"

#ifndef LUMO_ODBCINST_LIBRARY
#define LUMO_ODBCINST_LIBRARY "libodbcinst.so.2"
#endif

// The installer's own helpers that name the files it reads. libodbcinst exports them but
// declares them only for its own build (odbcinstext.h under UNIXODBC_SOURCE). With the second
// argument 0 (false) the first two only write the file's path into the buffer; they never
// touch the file. The buffers must hold the installer's longest path (FILENAME_MAX).
extern "C" {
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
BOOL _odbcinst_UserINI(char* fileName, BOOL verify);
BOOL _odbcinst_SystemINI(char* fileName, BOOL verify);
char* odbcinst_system_file_path(char* buffer);
char* odbcinst_system_file_name(char* buffer);
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
}

namespace lumo::registry_detail {
namespace {

// The installer's entries this file calls, looked up once in the library loaded on first need.
struct Installer {
  decltype(&_odbcinst_UserINI) userIni = nullptr;
  decltype(&_odbcinst_SystemINI) systemIni = nullptr;
  decltype(&odbcinst_system_file_path) systemFilePath = nullptr;
  decltype(&odbcinst_system_file_name) systemFileName = nullptr;
  decltype(&SQLGetConfigMode) getConfigMode = nullptr;
  decltype(&SQLSetConfigMode) setConfigMode = nullptr;
  decltype(&SQLGetPrivateProfileString) getProfileString = nullptr;
  decltype(&SQLGetInstalledDrivers) getInstalledDrivers = nullptr;
};

template <class F>
bool Find(void* library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(dlsym(library, name));
  return entry != nullptr;
}

// Null when the library or one of its entries is missing. Loaded once and never unloaded; the
// callers hold OdbcMutex, which also guards the installer's process-wide state.
const Installer* TheInstaller() {
  static const Installer* const loaded = []() -> const Installer* {
    void* library = dlopen(LUMO_ODBCINST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static Installer installer;
    const bool complete = Find(library, "_odbcinst_UserINI", installer.userIni) &&
                          Find(library, "_odbcinst_SystemINI", installer.systemIni) &&
                          Find(library, "odbcinst_system_file_path", installer.systemFilePath) &&
                          Find(library, "odbcinst_system_file_name", installer.systemFileName) &&
                          Find(library, "SQLGetConfigMode", installer.getConfigMode) &&
                          Find(library, "SQLSetConfigMode", installer.setConfigMode) &&
                          Find(library, "SQLGetPrivateProfileString", installer.getProfileString) &&
                          Find(library, "SQLGetInstalledDrivers", installer.getInstalledDrivers);
    return complete ? &installer : nullptr;
  }();
  return loaded;
}

enum class OdbcFile { kDrivers, kSystemSources, kUserSources };

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Where the installer looks for the file, as it works the path out itself (ODBCINI, ODBCSYSINI,
// the user's home folder, the built-in system folder).
std::string OdbcFilePath(OdbcFile file) {
  const Installer* installer = TheInstaller();
  if (installer == nullptr) return {};
  std::string buffer(FILENAME_MAX + 1, '\0');
  switch (file) {
    case OdbcFile::kUserSources:
      if (!installer->userIni(buffer.data(), 0)) return {};
      break;
    case OdbcFile::kSystemSources:
      if (!installer->systemIni(buffer.data(), 0)) return {};
      break;
    case OdbcFile::kDrivers: {
      // These two answer through their result, which need not be the buffer.
      std::string name(FILENAME_MAX + 1, '\0');
      const char* folder = installer->systemFilePath(buffer.data());
      const char* fileName = installer->systemFileName(name.data());
      if (folder == nullptr || fileName == nullptr) return {};
      return std::string(folder) + "/" + fileName;
    }
  }
  return buffer.substr(0, buffer.find('\0'));
}

// Whether the installer may be asked about the file: only when it is there to be read.
bool OdbcFileExists(OdbcFile file) { return FileExists(OdbcFilePath(file)); }

// unixODBC caps names and values at 1000 bytes each; a list read into a buffer with at least
// this much room left over cannot have been cut.
constexpr int kListSlack = 1024;
constexpr int kFirstBufferSize = 4 * 1024;
constexpr int kLargestBufferSize = 16 * 1024 * 1024;

// The installer's configuration mode is process-wide state; every read sets it and puts the
// caller's mode back under this lock.
std::mutex& OdbcMutex() {
  static std::mutex mutex;
  return mutex;
}

class ConfigModeScope {
 public:
  explicit ConfigModeScope(UWORD mode) {
    if (installer_ == nullptr) return;
    if (!installer_->getConfigMode(&saved_)) saved_ = ODBC_BOTH_DSN;
    installer_->setConfigMode(mode);
  }
  ~ConfigModeScope() {
    if (installer_ != nullptr) installer_->setConfigMode(saved_);
  }
  ConfigModeScope(const ConfigModeScope&) = delete;
  ConfigModeScope& operator=(const ConfigModeScope&) = delete;

 private:
  const Installer* installer_ = TheInstaller();
  UWORD saved_ = ODBC_BOTH_DSN;
};

// Splits the installer's "a\0b\0\0" lists.
std::vector<std::string> SplitList(const std::string& buffer, size_t length) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < length && buffer[start] != '\0') {
    size_t end = buffer.find('\0', start);
    if (end == std::string::npos || end > length) end = length;
    items.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

// SQLGetPrivateProfileString with a buffer that grows until the answer fits: when the buffer is
// too small the installer silently drops or cuts entries.
std::string ProfileString(const char* section, const char* key, const char* file, size_t& length) {
  std::string buffer;
  length = 0;
  const Installer* installer = TheInstaller();
  if (installer == nullptr) return buffer;
  for (int size = kFirstBufferSize; size <= kLargestBufferSize; size *= 2) {
    buffer.assign(static_cast<size_t>(size), '\0');
    int got = installer->getProfileString(section, key, "", buffer.data(), size, file);
    if (got < 0) got = 0;
    length = static_cast<size_t>(got);
    if (got + kListSlack < size) break;
  }
  return buffer;
}

std::vector<std::string> ProfileList(const char* section, const char* file) {
  size_t length = 0;
  std::string buffer = ProfileString(section, nullptr, file, length);
  return SplitList(buffer, length);
}

std::string ProfileValue(const std::string& section, const std::string& key, const char* file) {
  size_t length = 0;
  std::string buffer = ProfileString(section.c_str(), key.c_str(), file, length);
  return buffer.substr(0, std::min(length, buffer.find('\0')));
}

std::vector<std::string> InstalledDrivers() {
  if (!OdbcFileExists(OdbcFile::kDrivers)) return {};
  std::string buffer;
  WORD length = 0;
  // The installer reports the length in a 16-bit word, so this list cannot grow past 64 KiB.
  constexpr int kDriverBufferSize = 65535;
  buffer.assign(kDriverBufferSize, '\0');
  if (!TheInstaller()->getInstalledDrivers(buffer.data(), kDriverBufferSize, &length)) return {};
  return SplitList(buffer, length);
}

// Sections of odbc.ini that configure the driver manager or list data sources Windows-style
// are not data sources themselves.
bool IsDataSourceName(const std::string& name) {
  return !SameRegistryName(name, "ODBC") && !SameRegistryName(name, "ODBC Data Sources");
}

std::vector<std::string> DataSources(UWORD mode) {
  if (!OdbcFileExists(mode == ODBC_USER_DSN ? OdbcFile::kUserSources : OdbcFile::kSystemSources)) {
    return {};
  }
  ConfigModeScope scope(mode);
  std::vector<std::string> names;
  for (std::string& name : ProfileList(nullptr, "odbc.ini")) {
    if (IsDataSourceName(name)) names.push_back(std::move(name));
  }
  return names;
}

void ReadSectionValues(const std::string& section, const char* file, RegistryKeyData& data) {
  for (const std::string& key : ProfileList(section.c_str(), file)) {
    data.values.emplace_back(key, ProfileValue(section, key, file));
  }
}

// The spelling under which `name` is listed, or empty when it is not listed.
std::string FindListed(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& listed : names) {
    if (SameRegistryName(listed, name)) return listed;
  }
  return std::string();
}

bool ReadDriverKeys(const std::vector<std::string>& parts, RegistryKeyData& data) {
  std::vector<std::string> drivers = InstalledDrivers();
  if (parts.size() == 3) {
    data.keyNames.push_back("ODBC Drivers");
    data.keyNames.insert(data.keyNames.end(), drivers.begin(), drivers.end());
    return true;
  }
  if (parts.size() != 4) return false;
  if (SameRegistryName(parts[3], "ODBC Drivers")) {
    for (const std::string& driver : drivers) data.values.emplace_back(driver, "Installed");
    return true;
  }
  std::string driver = FindListed(drivers, parts[3]);
  if (driver.empty()) return false;
  ConfigModeScope scope(ODBC_SYSTEM_DSN);
  ReadSectionValues(driver, "odbcinst.ini", data);
  return true;
}

bool ReadDataSourceKeys(UWORD mode, const std::vector<std::string>& parts, RegistryKeyData& data) {
  std::vector<std::string> sources = DataSources(mode);
  if (parts.size() == 3) {
    data.keyNames.push_back("ODBC Data Sources");
    data.keyNames.insert(data.keyNames.end(), sources.begin(), sources.end());
    return true;
  }
  if (parts.size() != 4) return false;
  ConfigModeScope scope(mode);
  if (SameRegistryName(parts[3], "ODBC Data Sources")) {
    for (const std::string& source : sources) {
      data.values.emplace_back(source, ProfileValue(source, "Driver", "odbc.ini"));
    }
    return true;
  }
  std::string source = FindListed(sources, parts[3]);
  if (source.empty()) return false;
  ReadSectionValues(source, "odbc.ini", data);
  return true;
}

}  // namespace

bool ReadOdbcKey(RegistryRoot root, const std::vector<std::string>& parts, RegistryKeyData& data) {
  if (root == RegistryRoot::kClassesRoot) return false;
  const bool machine = root == RegistryRoot::kLocalMachine;
  switch (parts.size()) {
    case 0: data.keyNames.push_back("SOFTWARE"); return true;
    case 1:
      if (!SameRegistryName(parts[0], "SOFTWARE")) return false;
      data.keyNames.push_back("ODBC");
      return true;
    default: break;
  }
  if (!SameRegistryName(parts[0], "SOFTWARE") || !SameRegistryName(parts[1], "ODBC")) {
    return false;
  }
  if (parts.size() == 2) {
    data.keyNames.push_back("ODBC.INI");
    if (machine) data.keyNames.push_back("ODBCINST.INI");
    return true;
  }
  std::lock_guard lock(OdbcMutex());
  if (SameRegistryName(parts[2], "ODBC.INI")) {
    return ReadDataSourceKeys(machine ? ODBC_SYSTEM_DSN : ODBC_USER_DSN, parts, data);
  }
  if (machine && SameRegistryName(parts[2], "ODBCINST.INI")) return ReadDriverKeys(parts, data);
  return false;
}

}  // namespace lumo::registry_detail
