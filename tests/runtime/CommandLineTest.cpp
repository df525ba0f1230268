#include "runtime/CommandLine.h"

#include <gtest/gtest.h>

#include "runtime/OsFacts.h"

namespace lumo {
namespace {

// Runs first (cases run in the order written): before main hands its arguments over, the
// process's own arguments are seen.
TEST(CommandLineTest, WithoutSetCommandLineTheProcessArgumentsAreSeen) {
  std::vector<std::string> argv = ::testing::internal::GetArgvs();
  ASSERT_FALSE(argv.empty());
  ASSERT_EQ(ParamCount(), static_cast<int>(argv.size()) - 1);
  for (int i = 1; i < ParamCount() + 1; ++i) EXPECT_EQ(ParamStr(i), argv[static_cast<size_t>(i)]);
}

TEST(CommandLineTest, ArgumentsAreNumberedFromOneAndZeroIsTheFullPath) {
  const char* argv[] = {"logonjournal", "/set", "Logoff", "", nullptr};
  SetCommandLine(4, argv);
  EXPECT_EQ(ParamCount(), 3);
  EXPECT_EQ(ParamStr(1), "/set");
  EXPECT_EQ(ParamStr(2), "Logoff");
  EXPECT_EQ(ParamStr(3), "");
  EXPECT_EQ(ParamStr(4), "");
  EXPECT_EQ(ParamStr(-1), "");
  EXPECT_EQ(ParamStr(0), ExecutablePath());
  EXPECT_NE(ParamStr(0), "logonjournal");
}

TEST(CommandLineTest, ProgramNameAloneMeansNoArguments) {
  const char* argv[] = {"logonjournal", nullptr};
  SetCommandLine(1, argv);
  EXPECT_EQ(ParamCount(), 0);
  EXPECT_EQ(ParamStr(1), "");
  SetCommandLine(0, nullptr);
  EXPECT_EQ(ParamCount(), 0);
}

}  // namespace
}  // namespace lumo
