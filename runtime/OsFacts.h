#pragma once
// Facts about the machine and the process, shaped as the platform calls the system was written
// against, each answered from the Linux source that carries the same fact:
//   GetUserNameA        the effective user's login name (getpwuid on geteuid)
//   GetComputerNameA    the host name (gethostname) as a NetBIOS-style name: first label, upper
//                       case, at most 15 characters
//   GetVersionExA       the kernel release (uname): major, minor and patch numbers, a platform
//                       id of its own for Linux, and the release text as service-pack text
//   OsPrettyName        PRETTY_NAME of /etc/os-release, the name the system gives itself
//   LocalIPv4Addresses  the host's IPv4 addresses (getaddrinfo on the host name, falling back
//                       to the interfaces' addresses from getifaddrs)
//   ExecutablePath      /proc/self/exe
//   GetTickCount        milliseconds since boot (CLOCK_BOOTTIME, which keeps counting during
//                       suspend like the platform's tick count), wrapping at 2^32
//   IsCharAlphaNumericA the C locale's classification of single bytes (setlocale decides)
//   CharToOemA/OemToCharA  iconv between UTF-8 (this platform's ANSI text) and code page 850
// Implemented in OsFactsSystemInfo.cpp, OsFactsNetwork.cpp and OsFactsCharset.cpp. Nothing
// here raises; the values that cannot change while the program runs are read once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

// --- User and computer -----------------------------------------------------------------------
// `*size` is the buffer's size in bytes on entry. When the name fits, the buffer receives it with
// a terminating zero and `*size` the number of bytes written (GetUserNameA counts the zero,
// GetComputerNameA does not), and the result is true. When it does not fit, the buffer receives
// the longest prefix of at most `*size` - 1 bytes that ends on a whole UTF-8 character, plus the
// zero; `*size` receives the size needed (zero included) and the result is false. A null buffer
// or size, or a name that cannot be found (the buffer then holds the empty text), gives false.
bool GetUserNameA(char* buffer, uint32_t* size);
bool GetComputerNameA(char* buffer, uint32_t* size);
// The whole names; empty when they cannot be found.
std::string GetUserNameA();
std::string GetComputerNameA();

inline constexpr size_t kMaxComputerNameLength = 15;
// "ws-12.example.org" -> "WS-12": first label, ASCII upper case, cut to 15 characters.
std::string NetBiosNameFromHostName(const std::string& hostName);
// The length of the longest prefix of `text` of at most `maxBytes` bytes that does not split a
// UTF-8 character.
size_t Utf8PrefixLength(std::string_view text, size_t maxBytes);

// --- Operating-system version ----------------------------------------------------------------
// Platform ids the version information can carry: Windows' own (0 = Win32s, 1 = 9x family,
// 2 = NT family, 3 = CE) and the one this runtime reports on Linux, chosen far away from them so
// that no Windows row of an OS-name table can ever match it.
inline constexpr uint32_t kVerPlatformWin32s = 0;
inline constexpr uint32_t kVerPlatformWin32Windows = 1;
inline constexpr uint32_t kVerPlatformWin32Nt = 2;
inline constexpr uint32_t kVerPlatformLinux = 0x100;

struct OsVersionInfo {
  uint32_t PlatformId = 0;
  uint32_t MajorVersion = 0;
  uint32_t MinorVersion = 0;
  uint32_t BuildNumber = 0;
  std::string CSDVersion;
};

// Fills `info` from the kernel release (read once per process); always true on Linux.
bool GetVersionExA(OsVersionInfo& info);
// "6.1.0-18-amd64" -> platform kVerPlatformLinux, 6, 1, build 0, CSDVersion "6.1.0-18-amd64".
// Numbers that are missing are 0.
OsVersionInfo OsVersionFromKernelRelease(const std::string& release);
// PRETTY_NAME of an os-release file, unquoted; "Linux" when the file or the entry is missing or
// empty. The default file is read once per process.
inline constexpr const char* kOsReleasePath = "/etc/os-release";
std::string OsPrettyName(const std::string& path = kOsReleasePath);

// --- Network ---------------------------------------------------------------------------------
// The machine's IPv4 addresses in dotted form, in resolver order, without duplicates; empty when
// none can be found. Read anew on every call.
std::vector<std::string> LocalIPv4Addresses();
// The rule LocalIPv4Addresses applies to its two sources: the addresses the host name resolves
// to, unless they are all loopback addresses (127.0.0.0/8; Debian's hosts file maps the host
// name to 127.0.1.1), in which case the interfaces' non-loopback addresses are used instead;
// when the interfaces have none either, the resolver's loopback addresses are kept. Duplicates
// are dropped, first occurrence kept.
std::vector<std::string> ChooseIPv4Addresses(const std::vector<std::string>& resolved,
                                             const std::vector<std::string>& interfaces);

// --- Process ---------------------------------------------------------------------------------
// The running executable's absolute path; empty if /proc is not mounted.
std::string ExecutablePath();
uint32_t GetTickCount();

// --- Characters ------------------------------------------------------------------------------
// True for the letters and digits of the current C locale among bytes below 0x80, and for every
// byte from 0x80 on (UTF-8 lead and continuation bytes are parts of name characters).
bool IsCharAlphaNumericA(char c);
// UTF-8 to code page 850 and back. A character without a counterpart, and every byte of
// malformed input, becomes '?'; the result has the input's characters in order.
std::string CharToOemA(const std::string& utf8);
std::string OemToCharA(const std::string& oem);

}  // namespace lumo
