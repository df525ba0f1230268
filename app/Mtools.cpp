#include "app/Mtools.h"

#include <cstddef>

#include "runtime/OsFacts.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr uint32_t kNameBufferSize = 128;

std::string WindowsVersionName(uint32_t platformId, uint32_t major, uint32_t minor) {
  if (platformId == kVerPlatformWin32Windows) {
    if (major != 4) return {};
    switch (minor) {
      case 0: return "Windows 95";
      case 10: return "Windows 98";
      case 90: return "Windows Me";
      default: return {};
    }
  }
  if (platformId != kVerPlatformWin32Nt) return {};
  switch (major) {
    case 3: return minor == 51 ? "Windows NT 3.51" : "";
    case 4: return minor == 0 ? "Windows NT 4" : "";
    case 5:
      switch (minor) {
        case 0: return "Windows 2000";
        case 1: return "Windows XP";
        case 2: return "Windows Server 2003";
        default: return {};
      }
    case 6:
      switch (minor) {
        case 0: return "Windows Vista / 2008";
        case 1: return "Windows 7 / 2008 R2";
        case 2: return "Windows 8 / 10";
        default: return {};
      }
    default: return {};
  }
}

// The platform's string copy: a start past the end, or a count reaching past it, is cut to the
// text instead of failing.
std::string CopyChars(const std::string& text, size_t start1, size_t count) {
  if (start1 == 0 || start1 > text.size()) return {};
  return text.substr(start1 - 1, count);
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

TVersionsInfo VersionsInfoFor(uint32_t platformId, uint32_t major, uint32_t minor,
                              const std::string& csdVersion, const std::string& linuxName) {
  TVersionsInfo info;
  info.OSName = Format("Unbekannte Version %u/%u", major, minor);
  info.VersionNumber = major + minor / 10.0;
  std::string name =
      platformId == kVerPlatformLinux ? linuxName : WindowsVersionName(platformId, major, minor);
  if (!name.empty()) info.OSName = std::move(name);
  if (!csdVersion.empty()) {
    info.CSDVersion = csdVersion;
    // A text that ends in a letter or a blank denotes no pack number; 0 rather than a failure
    // that would stop the recording.
    const char last = csdVersion.back();
    info.ServicePack = last >= '0' && last <= '9' ? last - '0' : 0;
  }
  return info;
}

void GetVersionsInfo(TVersionsInfo& info) {
  OsVersionInfo version;
  GetVersionExA(version);
  const std::string linuxName =
      version.PlatformId == kVerPlatformLinux ? OsPrettyName() : std::string();
  info = VersionsInfoFor(version.PlatformId, version.MajorVersion, version.MinorVersion,
                         version.CSDVersion, linuxName);
}

std::string CurrentUserName() {
  char buffer[kNameBufferSize] = {};
  uint32_t size = kNameBufferSize;
  GetUserNameA(buffer, &size);  // on failure the buffer holds the empty text
  return std::string(buffer);
}

std::string CurrentComputerName() {
  char buffer[kNameBufferSize] = {};
  uint32_t size = kNameBufferSize;
  GetComputerNameA(buffer, &size);
  return std::string(buffer);
}

std::string LocalIPAddresses() {
  std::string result;
  for (const std::string& address : LocalIPv4Addresses()) {
    if (!result.empty()) result += "\r\n";
    result += address;
  }
  return result;
}

std::string AccessDateLiteral(TDateTime value) {
  int year = 0, month = 0, day = 0;
  DecodeDate(value, year, month, day);
  return Format("#%.2d/%.2d/%.4d#", month, day, year);
}

std::string ShortDateToAccess(const std::string& shortDate) {
  return "#" + CopyChars(shortDate, 4, 2) + "/" + CopyChars(shortDate, 1, 2) + "/" +
         CopyChars(shortDate, 7, 4) + "#";
}

std::string AccessDateTimeLiteral(TDateTime value) {
  // One split of the value, so that 23:59:59.9996 becomes the next day's midnight as a whole
  // instead of pairing the old date with a rounded-up time.
  const DateTimeParts parts = SplitDateTime(value);
  return Format("#%d/%d/%d %d:%d:%d#", parts.Month, parts.Day, parts.Year, parts.Hour, parts.Minute,
                parts.Second);
}

const std::string SqlDir = ExecutableFolder() + "sql/";
const std::string TxtDir = ExecutableFolder() + "txt/";
const std::string WordDir = ExecutableFolder() + "word/";
const std::string DatenDir = ExecutableFolder() + "daten/";

}  // namespace lumo
