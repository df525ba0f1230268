#include "runtime/StrUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace lumo {
namespace {

TEST(StrUtilsTest, FormatTakesStringsAndNumbersOfEveryWidth) {
  std::string user = "meier";
  EXPECT_EQ(Format("select id from logon where username= '%s' and id = %d", user, 42),
            "select id from logon where username= 'meier' and id = 42");
  EXPECT_EQ(Format("%s|%s|%s", "literal", std::string_view("view"), 'c'), "literal|view|c");
  EXPECT_EQ(Format("%d %ld %lld", int64_t{-9000000000}, short{-3}, 7u), "-9000000000 -3 7");
  EXPECT_EQ(Format("%u %x %X", -1, uint8_t{255}, int16_t{-1}), "4294967295 ff FFFF");
  EXPECT_EQ(Format("%5d|%-5d|%05d|%+d", 42, 42, 42, 42), "   42|42   |00042|+42");
  EXPECT_EQ(Format("%-6s|%6s|%.2s", "ab", "ab", "abcdef"), "ab    |    ab|ab");
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_EQ(Format("%c%c", 'A', 0xE4), "A\xC3\xA4");
  const char* nullText = nullptr;
  EXPECT_EQ(Format("[%s]", nullText), "[]");
}

TEST(StrUtilsTest, FormatFloatsUseAPointWhateverTheLocale) {
  EXPECT_EQ(Format("%.2f %g %d", 3.14159, 0.5, 1), "3.14 0.5 1");
  EXPECT_EQ(Format("%.1f", 2), "2.0");  // integers are accepted by floating conversions
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(Format("%.1f", 1.5), "1.5");
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StrUtilsTest, FormatRejectsMismatchedOrMissingArguments) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s", 12), EConvertError);
  EXPECT_THROW(Format("%f", std::string("x")), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("trailing %", 1), EConvertError);
  try {
    Format("%s and %d", "one");
    FAIL() << "missing argument accepted";
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "No argument for format '%d'");
  }
  try {
    Format("%d", 1.5);
    FAIL() << "float accepted by %d";
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Format '%d' invalid or incompatible with argument");
  }
  EXPECT_EQ(Format("%d", 1, 2, 3), "1");  // surplus arguments are ignored
}

TEST(StrUtilsTest, AsciiComparisonFoldsOnlyLettersAToZ) {
  EXPECT_TRUE(SameText("ODBC;", "odbc;"));
  EXPECT_FALSE(SameText("Ä", "ä"));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_LT(CompareText("apple", "Banana"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_EQ(CompareText("", ""), 0);
  EXPECT_EQ(LowerCaseAscii("LOGOFF Ä"), "logoff Ä");
  EXPECT_EQ(UpperCaseAscii("logoff ä"), "LOGOFF ä");
}

TEST(StrUtilsTest, AnsiCaseMappingHandlesNonAsciiLetters) {
  EXPECT_EQ(AnsiLowerCase("ÄÖÜ Straße"), "äöü straße");
  EXPECT_EQ(AnsiUpperCase("äöü abc"), "ÄÖÜ ABC");
  EXPECT_EQ(AnsiUpperCase("ΑΒΓ αβγ"), "ΑΒΓ ΑΒΓ");
  EXPECT_TRUE(AnsiSameText("Logon-Übersicht", "LOGON-üBERSICHT"));
  EXPECT_FALSE(AnsiSameText("Übersicht", "Uebersicht"));
  EXPECT_EQ(AnsiCompareText("Äpfel", "äpfel"), 0);
  EXPECT_NE(AnsiCompareText("a", "b"), 0);
  EXPECT_EQ(AnsiCompareText("a", "b"), -AnsiCompareText("b", "a"));
  EXPECT_NE(AnsiCompareStr("a", "A"), 0);
  EXPECT_EQ(AnsiCompareStr("ä", "ä"), 0);
}

TEST(StrUtilsTest, AnsiCaseMappingKeepsInvalidBytes) {
  std::string broken =
      "A\xFF"
      "B\xC3";  // a stray byte and a truncated sequence
  EXPECT_EQ(AnsiLowerCase(broken),
            "a\xFF"
            "b\xC3");
  EXPECT_EQ(AnsiLowerCase("\xC3\x84\xE2\x82"), "\xC3\xA4\xE2\x82");
}

TEST(StrUtilsTest, TrimRemovesBlanksAndControlCharactersOnly) {
  EXPECT_EQ(Trim(" \t\r\n x y \x01"), "x y");
  EXPECT_EQ(TrimLeft("  x  "), "x  ");
  EXPECT_EQ(TrimRight("  x  "), "  x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xC3\xA4"), "\xC3\xA4");  // UTF-8 bytes above 127 are text
}

TEST(StrUtilsTest, StartsTextReplaceAllAndSplit) {
  EXPECT_TRUE(StartsText("odbc;", "ODBC;DSN=x"));
  EXPECT_FALSE(StartsText("odbc;", "odb"));
  EXPECT_TRUE(StartsText("ü", "Übersicht"));
  EXPECT_TRUE(StartsText("", "x"));

  EXPECT_EQ(ReplaceAll("a\"b\"", "\"", "\"\""), "a\"\"b\"\"");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");

  EXPECT_EQ(Split("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(Split("", ','), (std::vector<std::string>{""}));
  EXPECT_EQ(Split("a,", ','), (std::vector<std::string>{"a", ""}));
}

TEST(StrUtilsTest, ValidIdentifiers) {
  EXPECT_TRUE(IsValidIdent("LumoDaoTable_123"));
  EXPECT_TRUE(IsValidIdent("_x"));
  EXPECT_FALSE(IsValidIdent(""));
  EXPECT_FALSE(IsValidIdent("1abc"));
  EXPECT_FALSE(IsValidIdent("a b"));
  EXPECT_FALSE(IsValidIdent("Übersicht"));
}

}  // namespace
}  // namespace lumo
