#pragma once
// The journal's facts about the machine it runs on, and the builders of the Access date
// literals its SQL statements use. Plain functions without state; nothing here raises (the
// literal builders do not check their input).
//
// On this platform the facts come from runtime/OsFacts.h: the user is the effective user, the
// computer name the host name's first label in upper case, the version numbers those of the
// kernel release under a platform id of their own, whose name is the distribution's
// PRETTY_NAME and whose service-pack text is the kernel release.

#include <cstdint>
#include <string>

#include "runtime/DateTime.h"

namespace lumo {

struct TVersionsInfo {
  std::string OSName;
  std::string CSDVersion;
  double VersionNumber = 0;  // major + minor / 10
  int32_t ServicePack = 0;   // the digit that ends CSDVersion; 0 when it ends otherwise
};

// Fills `info` from the version information the runtime reads at start.
void GetVersionsInfo(TVersionsInfo& info);
// The same from given values: the Windows platform ids 1 and 2 name their versions from the
// fixed table, the Linux id names the system `linuxName`, anything else gets the fallback name
// "Unbekannte Version <major>/<minor>".
TVersionsInfo VersionsInfoFor(uint32_t platformId, uint32_t major, uint32_t minor,
                              const std::string& csdVersion, const std::string& linuxName);

// The name of the user the program runs as; empty when it cannot be found.
std::string CurrentUserName();
// The computer's NetBIOS-style name; empty when it cannot be found.
std::string CurrentComputerName();
// The host's IPv4 addresses in dotted form joined by CR LF; empty when there are none.
std::string LocalIPAddresses();

// #mm/dd/yyyy# of the value's date, from its own day, month and year, so the literal is right
// whatever the locale's short date format.
std::string AccessDateLiteral(TDateTime value);
// Rebuilds a short date text of the form dd?mm?yyyy by character positions into #mm/dd/yyyy#;
// any other form gives a wrong literal (positions past the end of the text give nothing).
std::string ShortDateToAccess(const std::string& shortDate);
// #m/d/yyyy h:n:s# without leading zeros; the fraction of the second is dropped.
std::string AccessDateTimeLiteral(TDateTime value);

// The executable's folder with a trailing "/" followed by "sql/", "txt/", "word/" and
// "daten/"; set when the program starts. The journal itself reads none of them. The unit's
// given names, hence not kSqlDir.
// NOLINTBEGIN(readability-identifier-naming)
extern const std::string SqlDir;
extern const std::string TxtDir;
extern const std::string WordDir;
extern const std::string DatenDir;
// NOLINTEND(readability-identifier-naming)

}  // namespace lumo
