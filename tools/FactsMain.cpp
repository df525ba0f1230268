// lumo-facts: prints the facts about this machine that the logon journal writes with every
// logon (user, computer, time, addresses, operating system), read through the runtime's
// platform substitutes. A quick way to see what a recording run would store here.

#include <clocale>
#include <cstdio>
#include <string>

#include "runtime/DateFormat.h"
#include "runtime/DateTime.h"
#include "runtime/OsFacts.h"

int main() {
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
