// lumo-facts: prints the facts about this machine that the logon journal writes with every
// logon (user, computer, time, addresses, operating system), read through the runtime's
// platform substitutes. A quick way to see what a recording run would store here.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/DateFormat.h"
#include "runtime/DateTime.h"
#include "runtime/OsFacts.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("lumo-facts %s\n", LUMO_VERSION);
    return 0;
  }
  if (argc > 1) {
    const bool help = argc == 2 && std::strcmp(argv[1], "--help") == 0;
    std::fprintf(help ? stdout : stderr,
                 "Usage: lumo-facts\n"
                 "Prints what the logon journal writes about this machine with every logon: the user,\n"
                 "the computer, the time, its IPv4 addresses, the operating system and the kernel.\n"
                 "  --help      this text\n"
                 "  --version   the program's version\n");
    return help ? 0 : 2;
  }
  std::setlocale(LC_ALL, "");
  using namespace lumo;

  OsVersionInfo version;
  GetVersionExA(version);
  std::string addresses;
  for (const std::string& address : LocalIPv4Addresses()) {
    addresses += addresses.empty() ? address : ", " + address;
  }

  std::printf("User:             %s\n", GetUserNameA().c_str());
  std::printf("Computer:         %s\n", GetComputerNameA().c_str());
  std::printf("Time:             %s\n", DateTimeToStr(Now()).c_str());
  std::printf("Addresses:        %s\n", addresses.empty() ? "(none)" : addresses.c_str());
  std::printf("Operating system: %s %s\n", OsPrettyName().c_str(), version.CSDVersion.c_str());
  std::printf("Kernel version:   %u.%u\n", version.MajorVersion, version.MinorVersion);
  std::printf("Executable:       %s\n", ExecutablePath().c_str());
  return 0;
}
