#include "runtime/OsFacts.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "tests/support/TestSupport.h"

namespace lumo {
namespace {

using Addresses = std::vector<std::string>;

// The first line a shell command prints: an independent witness of the system's facts.
std::string CommandOutput(const char* command) {
  std::string text;
  if (FILE* pipe = popen(command, "r")) {
    char line[512];
    if (fgets(line, sizeof line, pipe) != nullptr) text = line;
    pclose(pipe);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

TEST(OsFactsTest, UserNameIsTheEffectiveLoginName) {
  std::string expected = CommandOutput("id -un");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(GetUserNameA(), expected);

  char buffer[128];
  uint32_t size = sizeof buffer;
  ASSERT_TRUE(GetUserNameA(buffer, &size));
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(size, expected.size() + 1);  // the user name call counts the zero
}

TEST(OsFactsTest, ComputerNameIsTheFirstHostLabelInCapitals) {
  std::string expected = NetBiosNameFromHostName(CommandOutput("uname -n"));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(GetComputerNameA(), expected);

  char buffer[128];
  uint32_t size = sizeof buffer;
  ASSERT_TRUE(GetComputerNameA(buffer, &size));
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(size, expected.size());  // the computer name call does not count the zero

  EXPECT_EQ(NetBiosNameFromHostName("ws-12.example.org"), "WS-12");
  EXPECT_EQ(NetBiosNameFromHostName("Reception-Desk-North-2"), "RECEPTION-DESK-");
  EXPECT_EQ(NetBiosNameFromHostName("pc7"), "PC7");
  EXPECT_EQ(NetBiosNameFromHostName(""), "");
}

TEST(OsFactsTest, TooSmallBufferGetsAPrefixAndTheNeededSize) {
  std::string name = GetUserNameA();
  ASSERT_GE(name.size(), 2u);
  std::string buffer(name.size() + 8, 'x');

  uint32_t size = static_cast<uint32_t>(name.size());  // one byte short for the zero
  EXPECT_FALSE(GetUserNameA(buffer.data(), &size));
  EXPECT_EQ(std::string(buffer.c_str()), name.substr(0, name.size() - 1));
  EXPECT_EQ(size, name.size() + 1);

  size = 0;
  buffer[0] = 'x';
  EXPECT_FALSE(GetUserNameA(buffer.data(), &size));
  EXPECT_EQ(buffer[0], 'x');  // nothing written into a zero-sized buffer
  EXPECT_EQ(size, name.size() + 1);

  size = 1;
  EXPECT_FALSE(GetComputerNameA(buffer.data(), &size));
  EXPECT_EQ(buffer[0], '\0');

  EXPECT_FALSE(GetUserNameA(nullptr, &size));
  EXPECT_FALSE(GetComputerNameA(buffer.data(), nullptr));
}

TEST(OsFactsTest, Utf8PrefixNeverSplitsACharacter) {
  const std::string name = "M\xC3\xBCller\xF0\x9F\x98\x80";  // Müller and a four-byte emoji
  EXPECT_EQ(Utf8PrefixLength(name, 1), 1u);
  EXPECT_EQ(Utf8PrefixLength(name, 2), 1u);  // would cut ü in half
  EXPECT_EQ(Utf8PrefixLength(name, 3), 3u);
  EXPECT_EQ(Utf8PrefixLength(name, 7), 7u);
  EXPECT_EQ(Utf8PrefixLength(name, 8), 7u);  // inside the emoji
  EXPECT_EQ(Utf8PrefixLength(name, 10), 7u);
  EXPECT_EQ(Utf8PrefixLength(name, 11), 11u);
  EXPECT_EQ(Utf8PrefixLength(name, 50), 11u);
  EXPECT_EQ(Utf8PrefixLength(name, 0), 0u);
}

TEST(OsFactsTest, VersionComesFromTheKernelRelease) {
  OsVersionInfo info = OsVersionFromKernelRelease("6.1.0-18-amd64");
  EXPECT_EQ(info.PlatformId, kVerPlatformLinux);
  EXPECT_EQ(info.MajorVersion, 6u);
  EXPECT_EQ(info.MinorVersion, 1u);
  EXPECT_EQ(info.BuildNumber, 0u);
  EXPECT_EQ(info.CSDVersion, "6.1.0-18-amd64");

  info = OsVersionFromKernelRelease("5.10");
  EXPECT_EQ(info.MajorVersion, 5u);
  EXPECT_EQ(info.MinorVersion, 10u);
  EXPECT_EQ(info.BuildNumber, 0u);
  info = OsVersionFromKernelRelease("6.18.44-fc-v1403");
  EXPECT_EQ(info.BuildNumber, 44u);
  info = OsVersionFromKernelRelease("unknown");
  EXPECT_EQ(info.MajorVersion, 0u);
  EXPECT_EQ(info.MinorVersion, 0u);
  EXPECT_EQ(info.CSDVersion, "unknown");

  // No Windows platform id, so an OS-name table keyed by them cannot mistake Linux for one.
  EXPECT_GT(kVerPlatformLinux, 3u);

  OsVersionInfo live;
  ASSERT_TRUE(GetVersionExA(live));
  std::string release = CommandOutput("uname -r");
  EXPECT_EQ(live.CSDVersion, release);
  EXPECT_EQ(std::to_string(live.MajorVersion) + "." + std::to_string(live.MinorVersion),
            release.substr(0, release.find('.', release.find('.') + 1)));
}

TEST(OsFactsTest, PrettyNameIsUnquotedWithLinuxAsFallback) {
  const lumo::testing::TemporaryFolder temporary("lumo-osfacts");
  const std::string folder = temporary.Path().string();
  auto prettyName = [&](const std::string& content) {
    std::string path = folder + "/os-release";
    std::ofstream(path) << content;
    return OsPrettyName(path);
  };
  EXPECT_EQ(prettyName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                       "ID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(prettyName("PRETTY_NAME='Alpine Linux v3.19'\n"), "Alpine Linux v3.19");
  EXPECT_EQ(prettyName("PRETTY_NAME=Plain\n"), "Plain");
  EXPECT_EQ(prettyName("PRETTY_NAME=\"Say \\\"cheese\\\" \\$5\"\r\n"), "Say \"cheese\" $5");
  EXPECT_EQ(prettyName("NAME=Nothing else\n"), "Linux");
  EXPECT_EQ(prettyName("PRETTY_NAME=\"\"\n"), "Linux");
  EXPECT_EQ(prettyName("# PRETTY_NAME=\"commented\"\n"), "Linux");
  EXPECT_EQ(OsPrettyName(folder + "/absent"), "Linux");

  EXPECT_FALSE(OsPrettyName().empty());
}

TEST(OsFactsTest, ResolvedAddressesWinUnlessAllLoopback) {
  struct Case {
    Addresses resolved;
    Addresses interfaces;
    Addresses expected;
  };
  const Case cases[] = {
      // Resolver order kept, duplicates dropped, interfaces not consulted.
      {{"192.168.1.5", "10.0.0.2", "192.168.1.5"}, {"172.16.0.9"}, {"192.168.1.5", "10.0.0.2"}},
      // A loopback address next to a real one is a real answer of the resolver.
      {{"127.0.1.1", "192.168.1.5"}, {"172.16.0.9"}, {"127.0.1.1", "192.168.1.5"}},
      // Debian's 127.0.1.1 line: the interfaces' non-loopback addresses instead.
      {{"127.0.1.1"}, {"127.0.0.1", "192.168.1.5", "10.0.0.2", "192.168.1.5"}, {"192.168.1.5", "10.0.0.2"}},
      {{}, {"10.0.0.2"}, {"10.0.0.2"}},
      // Nothing better anywhere: the loopback answer stays.
      {{"127.0.1.1", "127.0.1.1"}, {"127.0.0.1"}, {"127.0.1.1"}},
      {{}, {"127.0.0.1"}, {}},
      {{}, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseIPv4Addresses(c.resolved, c.interfaces), c.expected)
        << "resolved " << ::testing::PrintToString(c.resolved) << ", interfaces "
        << ::testing::PrintToString(c.interfaces);
  }
}

TEST(OsFactsTest, LocalAddressesAreDistinctDottedIPv4) {
  Addresses addresses = LocalIPv4Addresses();
  std::set<std::string> distinct(addresses.begin(), addresses.end());
  EXPECT_EQ(distinct.size(), addresses.size());
  for (const std::string& address : addresses) {
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
  }
}

TEST(OsFactsTest, ExecutablePathIsThisProgram) {
  std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(path, program_invocation_name));
}

TEST(OsFactsTest, TickCountFollowsTheUptimeAndAdvances) {
  double uptimeSeconds = 0;
  std::ifstream("/proc/uptime") >> uptimeSeconds;
  uint32_t ticks = GetTickCount();
  uint32_t expected = static_cast<uint32_t>(static_cast<uint64_t>(uptimeSeconds * 1000.0));
  // Unsigned difference, so that the comparison survives the 2^32 wrap.
  EXPECT_LT(static_cast<uint32_t>(ticks - expected), 2000u);

  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  uint32_t later = GetTickCount();
  EXPECT_GE(static_cast<uint32_t>(later - ticks), 55u);
  EXPECT_LT(static_cast<uint32_t>(later - ticks), 5000u);
}

TEST(OsFactsTest, AlphaNumericBytesIncludeEveryNonAsciiByte) {
  for (char c : std::string("azAZ09")) EXPECT_TRUE(IsCharAlphaNumericA(c)) << c;
  for (char c : std::string(" _-.;'\"[]\t")) EXPECT_FALSE(IsCharAlphaNumericA(c)) << c;
  EXPECT_FALSE(IsCharAlphaNumericA('\0'));
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    EXPECT_TRUE(IsCharAlphaNumericA(static_cast<char>(byte))) << byte;
  }
}

TEST(OsFactsTest, AnsiToOemUsesCodePage850) {
  EXPECT_EQ(CharToOemA("\xC3\x9C"
                       "bersicht \xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xC3\xA9"),
            "\x9A"
            "bersicht \x84\x94\x81\xE1 \x82");
  EXPECT_EQ(OemToCharA("\x9A"
                       "bersicht \x84\x94\x81\xE1 \x82"),
            "\xC3\x9C"
            "bersicht \xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xC3\xA9");
  EXPECT_EQ(CharToOemA(""), "");
  EXPECT_EQ(CharToOemA(std::string("a\0b", 3)), std::string("a\0b", 3));
  // Box drawing lives in the upper half of the OEM page.
  EXPECT_EQ(OemToCharA("\xC9\xCD\xBB"), "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97");
}

TEST(OsFactsTest, CharactersWithoutCounterpartBecomeQuestionMarks) {
  EXPECT_EQ(CharToOemA("a\xE2\x82\xAC"
                       "b"),
            "a?b");                                  // euro sign
  EXPECT_EQ(CharToOemA("\xF0\x9F\x98\x80!"), "?!");  // one emoji, one mark
  EXPECT_EQ(CharToOemA("x\xC3"), "x?");              // cut-off sequence at the end
  EXPECT_EQ(CharToOemA("\x80x\xFF"), "?x?");         // bytes that start nothing
  EXPECT_EQ(CharToOemA("\xE2\x82"
                       "b"),
            "??b");  // broken sequence, then text
}

TEST(OsFactsTest, EveryOemByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  std::string utf8 = OemToCharA(all);
  EXPECT_EQ(utf8.find('?'), all.find('?'));  // no byte was lost on the way
  EXPECT_EQ(CharToOemA(utf8), all);

  // Longer than one conversion chunk.
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "\xC3\xA4";
  EXPECT_EQ(CharToOemA(many), std::string(1000, '\x84'));
  EXPECT_EQ(OemToCharA(std::string(1000, '\x84')), many);
}

}  // namespace
}  // namespace lumo
