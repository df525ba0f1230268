// User, computer, version, executable and clock facts (see OsFacts.h).

#include <limits.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <fstream>
#include <string_view>

#include "runtime/OsFacts.h"

namespace lumo {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The platform calls' buffer contract; see OsFacts.h. `countZero` tells whether the size
// reported after success includes the terminating zero.
bool CopyToBuffer(const std::string& text, bool found, char* buffer, uint32_t* size,
                  bool countZero) {
  if (buffer == nullptr || size == nullptr) return false;
  const uint64_t needed = text.size() + 1;
  if (*size == 0) {
    *size = static_cast<uint32_t>(needed);
    return false;
  }
  if (needed <= *size) {
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    *size = static_cast<uint32_t>(countZero ? needed : text.size());
    return found;
  }
  size_t cut = Utf8PrefixLength(text, *size - 1);
  std::memcpy(buffer, text.data(), cut);
  buffer[cut] = '\0';
  *size = static_cast<uint32_t>(needed);
  return false;
}

bool LookUpUserName(std::string& name) {
  long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string scratch(bufferSize > 0 ? static_cast<size_t>(bufferSize) : 16384, '\0');
  passwd entry{};
  passwd* result = nullptr;
  while (getpwuid_r(geteuid(), &entry, scratch.data(), scratch.size(), &result) == ERANGE) {
    scratch.resize(scratch.size() * 2);
  }
  if (result == nullptr || result->pw_name == nullptr) return false;
  name = result->pw_name;
  return true;
}

bool LookUpComputerName(std::string& name) {
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host) != 0) return false;
  host[HOST_NAME_MAX] = '\0';
  name = NetBiosNameFromHostName(host);
  return true;
}

uint32_t TakeNumber(std::string_view& text) {
  uint32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return 0;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return value;
}

// An os-release value: shell-style quotes removed, backslash escapes resolved inside "...".
std::string UnquoteOsReleaseValue(std::string_view value) {
  if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
    return std::string(value.substr(1, value.size() - 2));
  }
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
  value = value.substr(1, value.size() - 2);
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    text.push_back(value[i]);
  }
  return text;
}

std::string ReadPrettyName(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::string name;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("PRETTY_NAME=")) name = UnquoteOsReleaseValue(line.substr(12));
  }
  return name.empty() ? std::string("Linux") : name;
}

}  // namespace

size_t Utf8PrefixLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  size_t length = maxBytes;
  // text[length] is the first byte left out: while it continues a character, that character
  // would be split, so leave it out whole.
  while (length > 0 && IsUtf8Continuation(text[length])) --length;
  return length;
}

std::string NetBiosNameFromHostName(const std::string& hostName) {
  std::string name = hostName.substr(0, hostName.find('.'));
  if (name.size() > kMaxComputerNameLength) name.resize(kMaxComputerNameLength);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

bool GetUserNameA(char* buffer, uint32_t* size) {
  std::string name;
  bool found = LookUpUserName(name);
  return CopyToBuffer(name, found, buffer, size, true);
}

bool GetComputerNameA(char* buffer, uint32_t* size) {
  std::string name;
  bool found = LookUpComputerName(name);
  return CopyToBuffer(name, found, buffer, size, false);
}

std::string GetUserNameA() {
  std::string name;
  LookUpUserName(name);
  return name;
}

std::string GetComputerNameA() {
  std::string name;
  LookUpComputerName(name);
  return name;
}

OsVersionInfo OsVersionFromKernelRelease(const std::string& release) {
  OsVersionInfo info;
  info.PlatformId = kVerPlatformLinux;
  info.CSDVersion = release;
  std::string_view rest(release);
  uint32_t* numbers[] = {&info.MajorVersion, &info.MinorVersion, &info.BuildNumber};
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (!rest.starts_with('.')) break;
      rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') break;
    *numbers[i] = TakeNumber(rest);
  }
  return info;
}

bool GetVersionExA(OsVersionInfo& info) {
  static const OsVersionInfo cached = [] {
    utsname names{};
    return OsVersionFromKernelRelease(uname(&names) == 0 ? names.release : "");
  }();
  info = cached;
  return true;
}

std::string OsPrettyName(const std::string& path) {
  if (path == kOsReleasePath) {
    static const std::string cached = ReadPrettyName(kOsReleasePath);
    return cached;
  }
  return ReadPrettyName(path);
}

std::string ExecutablePath() {
  static const std::string cached = [] {
    std::string path(PATH_MAX, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return path;
  }();
  return cached;
}

uint32_t GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);  // wraps at 2^32 as the platform's count does
}

}  // namespace lumo
