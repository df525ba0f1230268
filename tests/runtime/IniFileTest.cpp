#include "runtime/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/TestSupport.h"

namespace lumo {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& content, const std::string& name = "test.ini") {
    std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  lumo::testing::TemporaryFolder temporary_{"lumo-ini"};
  std::string folder_ = temporary_.Path().string();
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefault) {
  EXPECT_EQ(GetPrivateProfileString("db", "main", "logon1.mdb", folder_ + "/absent.ini"), "logon1.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "logon1.mdb", folder_), "logon1.mdb");
  std::string path = Write("[other]\nmain=x.mdb\n[db]\nbackup=y.mdb\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "logon1.mdb", path), "logon1.mdb");
  EXPECT_EQ(GetPrivateProfileString("none", "main", "logon1.mdb", path), "logon1.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "backup", "logon1.mdb", path), "y.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "", Write("")), "");
}

TEST_F(IniFileTest, DefaultLosesTrailingBlanksButFoundValueIsExact) {
  std::string path = Write("[db]\nempty=\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "  logon1.mdb  ", path), "  logon1.mdb");
  // A key that is present with an empty value is found: the default does not apply.
  EXPECT_EQ(GetPrivateProfileString("db", "empty", "logon1.mdb", path), "");
}

TEST_F(IniFileTest, NamesCompareWithoutCaseAndBlanksAreTrimmed) {
  std::string path = Write("  [ DB ]  \n   MAIN   =   \\\\server\\share\\journal.mdb   \n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", path), "\\\\server\\share\\journal.mdb");
  EXPECT_EQ(GetPrivateProfileString("Db", "Main", "d", path), "\\\\server\\share\\journal.mdb");
  EXPECT_EQ(GetPrivateProfileString(" db ", " main ", "d", path), "\\\\server\\share\\journal.mdb");
}

TEST_F(IniFileTest, MatchingQuotesAreRemovedOnce) {
  std::string path = Write(
      "[q]\n"
      "double=\"  padded path  \"\n"
      "single='x.mdb'\n"
      "mixed=\"x.mdb'\n"
      "nested=\"'x'\"\n"
      "lone=\"\n"
      "inner=a \"b\" c\n");
  EXPECT_EQ(GetPrivateProfileString("q", "double", "", path), "  padded path  ");
  EXPECT_EQ(GetPrivateProfileString("q", "single", "", path), "x.mdb");
  EXPECT_EQ(GetPrivateProfileString("q", "mixed", "", path), "\"x.mdb'");
  EXPECT_EQ(GetPrivateProfileString("q", "nested", "", path), "'x'");
  EXPECT_EQ(GetPrivateProfileString("q", "lone", "", path), "\"");
  EXPECT_EQ(GetPrivateProfileString("q", "inner", "", path), "a \"b\" c");
}

TEST_F(IniFileTest, CommentLinesAreSkippedButSemicolonsInValuesStay) {
  std::string path = Write(
      "; main=commented.mdb\n"
      "[db]\n"
      ";main=commented.mdb\n"
      "   ; main=indented-comment.mdb\n"
      "main=real.mdb ; not a comment\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", path), "real.mdb ; not a comment");
  EXPECT_EQ(TIniFile(path).ReadSection("db"), std::vector<std::string>{"main"});
}

TEST_F(IniFileTest, FirstMatchingKeyAndFirstSectionWin) {
  std::string path = Write(
      "main=before-any-section.mdb\n"
      "[db]\nmain=first.mdb\nMAIN=second.mdb\n"
      "[DB]\nmain=third.mdb\nlater=only-in-repeat\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", path), "first.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "later", "d", path), "d");
}

TEST_F(IniFileTest, CrLfLineEndsAndByteOrderMarkAreHandled) {
  std::string path = Write("\xEF\xBB\xBF[db]\r\nmain=Übersicht.mdb\r\n\r\nnext=2\r\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", path), "Übersicht.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "next", "d", path), "2");
  std::string noFinalNewline = Write("[db]\nmain=last.mdb", "last.ini");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", noFinalNewline), "last.mdb");
}

TEST_F(IniFileTest, LinesWithoutEqualsSignAreIgnored) {
  std::string path = Write("[db]\njust some words\nmain\n=orphan value\nmain=x.mdb\n");
  EXPECT_EQ(GetPrivateProfileString("db", "main", "d", path), "x.mdb");
  EXPECT_EQ(GetPrivateProfileString("db", "", "d", path), "orphan value");
}

TEST_F(IniFileTest, IniFileReadsIntegersAndBooleans) {
  TIniFile ini(
      Write("[n]\ndec=42\nneg=-17\nplus=+5\nhex=$1F\nhex0x=0x10\nallbits=$FFFFFFFF\n"
            "big=2147483648\nsmallest=-2147483648\nwords=12abc\nempty=\nblank= 7 \n"
            "yes=1\nno=0\ntwo=2\ntext=true\n"));
  EXPECT_EQ(ini.ReadInteger("n", "dec", 0), 42);
  EXPECT_EQ(ini.ReadInteger("n", "neg", 0), -17);
  EXPECT_EQ(ini.ReadInteger("n", "plus", 0), 5);
  EXPECT_EQ(ini.ReadInteger("n", "hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("n", "hex0x", 0), 16);
  EXPECT_EQ(ini.ReadInteger("n", "allbits", 0), -1);
  EXPECT_EQ(ini.ReadInteger("n", "big", 9), 9);
  EXPECT_EQ(ini.ReadInteger("n", "smallest", 0), INT32_MIN);
  EXPECT_EQ(ini.ReadInteger("n", "words", 9), 9);
  EXPECT_EQ(ini.ReadInteger("n", "empty", 9), 9);
  EXPECT_EQ(ini.ReadInteger("n", "blank", 9), 7);
  EXPECT_EQ(ini.ReadInteger("n", "missing", 9), 9);

  EXPECT_TRUE(ini.ReadBool("n", "yes", false));
  EXPECT_FALSE(ini.ReadBool("n", "no", true));
  EXPECT_TRUE(ini.ReadBool("n", "two", false));
  EXPECT_TRUE(ini.ReadBool("n", "text", true));
  EXPECT_FALSE(ini.ReadBool("n", "text", false));
  EXPECT_TRUE(ini.ReadBool("n", "missing", true));
}

TEST_F(IniFileTest, IniFileListsSectionsAndKeysInFileOrder) {
  TIniFile ini(Write("[db]\nmain=a\nBackup=b\nMAIN=c\n[Paths]\nsql=s\n[DB]\nx=1\n[empty]\n"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"db", "Paths", "empty"}));
  EXPECT_EQ(ini.ReadSection("DB"), (std::vector<std::string>{"main", "Backup"}));
  EXPECT_TRUE(ini.ReadSection("empty").empty());
  EXPECT_TRUE(ini.ReadSection("absent").empty());
  EXPECT_TRUE(ini.SectionExists("paths"));
  EXPECT_TRUE(ini.SectionExists("empty"));
  EXPECT_FALSE(ini.SectionExists("absent"));
  EXPECT_TRUE(ini.ValueExists("db", "backup"));
  EXPECT_FALSE(ini.ValueExists("db", "x"));
}

TEST_F(IniFileTest, IniFileKeepsWhatItReadAtConstruction) {
  std::string path = Write("[db]\nmain=old.mdb\n");
  TIniFile ini(path);
  Write("[db]\nmain=new.mdb\n");
  EXPECT_EQ(ini.ReadString("db", "main", "d"), "old.mdb");
  EXPECT_EQ(TIniFile(path).ReadString("db", "main", "d"), "new.mdb");
  EXPECT_EQ(ini.FileName(), path);
  // The default is handed back as given by the class.
  EXPECT_EQ(ini.ReadString("db", "absent", " d "), " d ");
}

}  // namespace
}  // namespace lumo
