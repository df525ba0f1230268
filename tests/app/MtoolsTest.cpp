#include "app/Mtools.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "runtime/DateFormat.h"
#include "runtime/FormatSettings.h"
#include "runtime/OsFacts.h"

namespace lumo {
namespace {

TEST(MtoolsTest, WindowsVersionsAreNamedOnlyByTheirExactRow) {
  EXPECT_EQ(VersionsInfoFor(2, 6, 2, "", "").OSName, "Windows 8 / 10");
  EXPECT_EQ(VersionsInfoFor(2, 5, 1, "", "").OSName, "Windows XP");
  EXPECT_EQ(VersionsInfoFor(2, 3, 51, "", "").OSName, "Windows NT 3.51");
  EXPECT_EQ(VersionsInfoFor(1, 4, 10, "", "").OSName, "Windows 98");
  EXPECT_EQ(VersionsInfoFor(1, 4, 90, "", "").OSName, "Windows Me");
  // Neighbours of real rows, and rows of the other family, fall back.
  EXPECT_EQ(VersionsInfoFor(2, 10, 0, "", "").OSName, "Unbekannte Version 10/0");
  EXPECT_EQ(VersionsInfoFor(2, 6, 3, "", "").OSName, "Unbekannte Version 6/3");
  EXPECT_EQ(VersionsInfoFor(1, 4, 20, "", "").OSName, "Unbekannte Version 4/20");
  EXPECT_EQ(VersionsInfoFor(2, 4, 10, "", "").OSName, "Unbekannte Version 4/10");
  EXPECT_EQ(VersionsInfoFor(1, 5, 0, "", "").OSName, "Unbekannte Version 5/0");
  EXPECT_EQ(VersionsInfoFor(0, 4, 0, "", "").OSName, "Unbekannte Version 4/0");
}

TEST(MtoolsTest, VersionNumberDividesTheMinorNumberByTen) {
  EXPECT_DOUBLE_EQ(VersionsInfoFor(2, 5, 1, "", "").VersionNumber, 5.1);
  EXPECT_DOUBLE_EQ(VersionsInfoFor(1, 4, 10, "", "").VersionNumber, 5.0);
  EXPECT_DOUBLE_EQ(VersionsInfoFor(2, 3, 51, "", "").VersionNumber, 8.1);
}

TEST(MtoolsTest, ServicePackIsTheDigitThatEndsTheText) {
  TVersionsInfo none = VersionsInfoFor(2, 5, 1, "", "");
  EXPECT_EQ(none.CSDVersion, "");
  EXPECT_EQ(none.ServicePack, 0);

  TVersionsInfo three = VersionsInfoFor(2, 5, 1, "Service Pack 3", "");
  EXPECT_EQ(three.CSDVersion, "Service Pack 3");
  EXPECT_EQ(three.ServicePack, 3);
  // Only the last character counts, not the number it ends.
  EXPECT_EQ(VersionsInfoFor(2, 5, 1, "Service Pack 12", "").ServicePack, 2);
  // Texts that end otherwise keep their text but denote no pack.
  TVersionsInfo letter = VersionsInfoFor(2, 5, 1, "Service Pack 2a", "");
  EXPECT_EQ(letter.CSDVersion, "Service Pack 2a");
  EXPECT_EQ(letter.ServicePack, 0);
  EXPECT_EQ(VersionsInfoFor(2, 5, 1, "Service Pack 1 ", "").ServicePack, 0);
}

TEST(MtoolsTest, LinuxIsNamedByItsDistributionAndReportsTheKernelRelease) {
  TVersionsInfo info = VersionsInfoFor(kVerPlatformLinux, 6, 1, "6.1.0-18-amd64", "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(info.OSName, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(info.CSDVersion, "6.1.0-18-amd64");
  EXPECT_DOUBLE_EQ(info.VersionNumber, 6.1);
  // A Windows name never leaks onto Linux with the same numbers.
  EXPECT_EQ(VersionsInfoFor(kVerPlatformLinux, 6, 2, "", "Some Linux").OSName, "Some Linux");

  TVersionsInfo live;
  GetVersionsInfo(live);
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(live.OSName, OsPrettyName());
  EXPECT_EQ(live.CSDVersion, names.release);
}

TEST(MtoolsTest, MachineFactsAreThoseOfTheRunningProcess) {
  const passwd* entry = getpwuid(geteuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(CurrentUserName(), entry->pw_name);

  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(CurrentComputerName(), NetBiosNameFromHostName(host));

  // Every address once, separated (not ended) by CR LF.
  const std::vector<std::string> addresses = LocalIPv4Addresses();
  std::string expected;
  for (const std::string& address : addresses) expected += (expected.empty() ? "" : "\r\n") + address;
  const std::string joined = LocalIPAddresses();
  EXPECT_EQ(joined, expected);
  if (!joined.empty()) {
    EXPECT_NE(joined.back(), '\n');
  }
}

TEST(MtoolsTest, DateTimeLiteralHasNoLeadingZerosAndDropsTheFraction) {
  EXPECT_EQ(AccessDateTimeLiteral(EncodeDate(2026, 1, 1)), "#1/1/2026 0:0:0#");
  EXPECT_EQ(AccessDateTimeLiteral(EncodeDate(2026, 7, 3) + EncodeTime(9, 5, 7, 0)), "#7/3/2026 9:5:7#");
  EXPECT_EQ(AccessDateTimeLiteral(EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 59, 999)), "#12/31/2026 23:59:59#");
  // Less than half a millisecond before midnight is midnight of the next day, as a whole.
  EXPECT_EQ(AccessDateTimeLiteral(EncodeDate(2026, 12, 31) + 86399.9996 / 86400.0), "#1/1/2027 0:0:0#");
}

TEST(MtoolsTest, DateLiteralIsMonthDayYearUnderEveryLocale) {
  const TDateTime lastDay = EncodeDate(2026, 12, 31) + EncodeTime(18, 30, 0, 0);
  for (const FormatSettings& settings :
       {FormatSettings::German(), FormatSettings::English(), FormatSettings::Invariant()}) {
    ScopedFormatSettings scope(settings);
    EXPECT_EQ(AccessDateLiteral(lastDay), "#12/31/2026#") << settings.ShortDateFormat;
    EXPECT_EQ(AccessDateLiteral(EncodeDate(2026, 3, 4)), "#03/04/2026#");
  }
  // Before 30 Dec 1899 the value is negative; its date is still the calendar date.
  EXPECT_EQ(AccessDateLiteral(-1.25), "#12/29/1899#");
}

TEST(MtoolsTest, ShortDateIsRebuiltByCharacterPositions) {
  EXPECT_EQ(ShortDateToAccess("08.12.2026"), "#12/08/2026#");
  {
    // Under the day.month.year format the two routes to the literal agree.
    ScopedFormatSettings german(FormatSettings::German());
    const TDateTime day = EncodeDate(2026, 12, 31);
    EXPECT_EQ(ShortDateToAccess(DateToStr(day)), AccessDateLiteral(day));
  }
  // Other forms give a wrong literal, but never a failure on a short text.
  EXPECT_EQ(ShortDateToAccess("8.12.26"), "#2./8./6#");
  EXPECT_EQ(ShortDateToAccess("1.1"), "#/1./#");
  EXPECT_EQ(ShortDateToAccess(""), "#//#");
}

TEST(MtoolsTest, DataFoldersLieBesideTheExecutable) {
  const std::string path = ExecutablePath();
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(SqlDir, folder + "sql/");
  EXPECT_EQ(TxtDir, folder + "txt/");
  EXPECT_EQ(WordDir, folder + "word/");
  EXPECT_EQ(DatenDir, folder + "daten/");
}

}  // namespace
}  // namespace lumo
