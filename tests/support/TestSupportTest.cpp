// The shared fixtures themselves: the folder goes with its contents, files land where PathOf
// says, command lines report their exit status, and shell quoting survives the characters
// the shell would otherwise act on.

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lumo::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(TemporaryFolderTest, IsFreshAndGoesWithEverythingInIt) {
  std::filesystem::path kept;
  {
    TemporaryFolder folder("lumo-support");
    kept = folder.Path();
    EXPECT_TRUE(std::filesystem::is_directory(kept));
    EXPECT_EQ(kept.parent_path().string(), "/tmp");
    EXPECT_EQ(kept.filename().string().rfind("lumo-support-", 0), 0u) << kept;
    EXPECT_TRUE(std::filesystem::is_empty(kept));
    TemporaryFolder other("lumo-support");
    EXPECT_NE(other.Path().string(), kept.string());
    std::filesystem::create_directories(kept / "a" / "b");
    folder.Write("a/b/c.txt", "x");
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(TemporaryFolderTest, WritesFilesWherePathOfSays) {
  TemporaryFolder folder;
  const std::string path = folder.Write("data.bin", std::string("a\0b\n", 4));
  EXPECT_EQ(path, folder.PathOf("data.bin"));
  EXPECT_EQ(ReadFile(path), std::string("a\0b\n", 4));
  folder.Write("data.bin", "shorter");
  EXPECT_EQ(ReadFile(path), "shorter");
  // A file in a folder that does not exist cannot be written, and says so.
  EXPECT_THROW(folder.Write("missing/data.bin", "x"), std::runtime_error);
}

TEST(TemporaryFolderTest, RefusesAParentThatDoesNotExist) {
  try {
    TemporaryFolder folder("x", "/nonexistent-lumo-parent");
    FAIL() << "made " << folder.Path();
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("/nonexistent-lumo-parent/x-XXXXXX"), std::string::npos) << error.what();
  }
}

class FixtureTest : public TemporaryFolderTest {};

TEST_F(FixtureTest, GivesEachTestItsOwnFolder) {
  EXPECT_TRUE(std::filesystem::is_directory(folder_));
  EXPECT_EQ(PathOf("x.mdb"), (folder_ / "x.mdb").string());
  EXPECT_EQ(ReadFile(Write("x.txt", "y")), "y");
}

TEST(RunCommandTest, ReportsOutputAndExitStatus) {
  CommandResult done = RunCommand("printf 'one\\ntwo'; exit 3");
  EXPECT_EQ(done.output, "one\ntwo");
  EXPECT_EQ(done.status, 3);
  EXPECT_EQ(RunCommand("echo gone >&2").output, "");
  EXPECT_EQ(RunCommand("{ echo kept >&2; } 2>&1").output, "kept\n");
  EXPECT_EQ(RunCommand("kill -9 $$").status, -1);
}

TEST(RunCommandTest, QuotedWordsReachTheProgramUnchanged) {
  for (const char* text : {"plain", "it's", "$HOME `id` \"q\" \\n *", "", "'", "a\nb"}) {
    EXPECT_EQ(RunCommand("printf %s " + ShellQuoted(text)).output, text) << text;
  }
}

TEST(StockShellTest, MakesAndReadsAFileWithQuotesInTheSql) {
  TemporaryFolder folder;
  const std::string path = folder.PathOf("it's.db");
  EXPECT_EQ(StockShell(path, "CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x''y'), ('$z')"), "");
  EXPECT_EQ(StockShell(path, "SELECT a, length(a) FROM t ORDER BY a"), "$z|2\nx'y|3\n");
  EXPECT_NE(StockShell(path, "SELECT nope FROM t").find("no such column"), std::string::npos);
}

}  // namespace
}  // namespace lumo::testing
