// The functions translated Jet SQL calls, run through SQLite: Jet expressions in, values out.

#include "jet/sqlite/functions/JetSqlFunctions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>

#include "jet/DaoErrors.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/sqlite/SqliteErrors.h"

namespace lumo::jet {
namespace {

class JetSqlFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterJetFunctions(db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  // The value of one SQLite text, "NULL" for Null, or "error <DAO number>" when it fails.
  std::string Sql(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return "prepare failed: " + std::string(sqlite3_errmsg(db_));
    }
    std::string value;
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      value = text ? reinterpret_cast<const char*>(text) : "NULL";
    } else if (rc != SQLITE_DONE) {
      value = "error " + std::to_string(MapSqliteError(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)).number);
    }
    sqlite3_finalize(stmt);
    return value;
  }

  // The value of a Jet expression, translated as a SELECT without FROM.
  std::string Jet(const std::string& expression) { return Sql(TranslateStatement("SELECT " + expression).sql); }

  sqlite3* db_ = nullptr;
};

struct Case {
  const char* jet;
  const char* value;
};

TEST_F(JetSqlFunctionsTest, OperatorsFollowTheExpressionService) {
  const Case cases[] = {
      {"7 \\ 2", "3"},
      {"-7 \\ 2", "-3"},
      {"19 Mod 6.7", "5"},
      {"-7 Mod 3", "-1"},
      {"2.5 \\ 1", "2"},
      {"7 / 2", "3.5"},
      {"2 ^ 10", "1024.0"},
      {"2 ^ -1", "0.5"},
      {"-2 ^ 2", "-4.0"},
      {"1 / 0", "error 11"},
      {"1 \\ 0", "error 11"},
      {"1 Mod 0", "error 11"},
      {"(-8) ^ 0.5", "error 5"},
      {"'a' + 1", "error 3464"},
      {"'a' * 2", "error 3464"},
      {"'12' + 1", "13"},
      {"'1' + '2'", "12"},
      {"'x' & Null", "x"},
      {"Null & Null", "NULL"},
      {"1 & 2.5", "12.5"},
      {"Null + 1", "NULL"},
      {"Null * 'a'", "NULL"},
      {"9223372036854775807 + 1", "9.22337203685478e+18"},
      {"#12/8/2026# + 1", "2026-12-09 00:00:00.000"},
      {"#12/8/2026 12:00# - 0.5", "2026-12-08 00:00:00.000"},
      {"#12/9/2026# - #12/8/2026#", "1.0"},
      {"True Xor False", "-1"},
      {"True Eqv False", "0"},
      {"False Imp Null", "-1"},
      {"True Imp Null", "NULL"},
      {"5 And 3", "1"},
      {"5 Or 3", "7"},
      {"Null And False", "0"},
      {"Null And True", "NULL"},
      {"Null Or True", "-1"},
      {"Null Or False", "NULL"},
      {"Not 0", "-1"},
      {"Not True", "0"},
      {"Not Null", "NULL"},
      {"-Null", "NULL"},
      {"'abc' Like 'A?C'", "-1"},
      {"Null Like 'a'", "NULL"},
      {"'a' Like '[a'", "error 93"},
  };
  for (const Case& c : cases) EXPECT_EQ(Jet(c.jet), c.value) << c.jet;
}

TEST_F(JetSqlFunctionsTest, TextFunctionsCountCharactersNotBytes) {
  const Case cases[] = {
      {"LCase('ÄÖÜ Straße')", "äöü straße"},
      {"UCase('ärger')", "ÄRGER"},
      {"Len('Ärger')", "5"},
      {"Left('Ärger', 2)", "Är"},
      {"Right('Ärger', 3)", "ger"},
      {"Mid('Ärger', 2, 2)", "rg"},
      {"Mid('Ärger', 4)", "er"},
      {"Mid('abc', 9)", ""},
      {"Left('abc', -1)", "error 5"},
      {"Mid('abc', 0)", "error 5"},
      {"Left(Null, 2)", "NULL"},
      {"Trim('  a b  ')", "a b"},
      {"InStr('Hallo Welt', 'WELT')", "7"},
      {"InStr(8, 'abcabcabc', 'c')", "9"},
      {"InStr(1, 'abc', 'B', 0)", "0"},
      {"InStr('abc', '')", "1"},
      {"InStr('abc', Null)", "NULL"},
      {"InStrRev('a.b.c', '.')", "4"},
      {"InStrRev('a.b.c', '.', 3)", "2"},
      {"Space(3) & '|'", "   |"},
      {"String(3, 'xy')", "xxx"},
      {"String(2, 65)", "AA"},
      {"Asc('Ä')", "196"},
      {"Chr(228)", "ä"},
      {"Asc('')", "error 5"},
      {"StrComp('a', 'A')", "0"},
      {"StrComp('a', 'A', 0)", "1"},
      {"StrComp('a', 'b')", "-1"},
      {"Str(5)", " 5"},
      {"Str(-2.5)", "-2.5"},
      {"Val(' 1 2.5abc')", "12.5"},
      {"Val('&H1F')", "31"},
      {"Val('x')", "0"},
      {"Val('2e3')", "2000"},
      {"Hex(255)", "FF"},
      {"Hex(-1)", "FFFF"},
      {"Hex(-70000)", "FFFEEE90"},
      {"Oct(8)", "10"},
      {"Replace('aXbxc', 'x', '-')", "aXb-c"},
      {"Replace('aXbxc', 'x', '-', 1, -1, 1)", "a-b-c"},
      {"Replace('abcabc', 'b', '', 3)", "cac"},
      {"StrReverse('Ärger')", "regrÄ"},
  };
  for (const Case& c : cases) EXPECT_EQ(Jet(c.jet), c.value) << c.jet;
}

TEST_F(JetSqlFunctionsTest, DateFunctionsWorkOnTheStoredText) {
  const Case cases[] = {
      {"Year(#12/8/2026 9:05:07#)", "2026"},
      {"Month('2026-12-08 09:05:07.000')", "12"},
      {"Day(46364)", "8"},
      {"Hour(#9:05:07 PM#)", "21"},
      {"Minute(#9:05:07#)", "5"},
      {"Second(#9:05:07#)", "7"},
      {"Weekday(#12/8/2026#)", "3"},
      {"Weekday(#12/8/2026#, 2)", "2"},
      {"DateAdd('m', 1, #1/31/2026#)", "2026-02-28 00:00:00.000"},
      {"DateAdd('yyyy', -1, #2/29/2024#)", "2023-02-28 00:00:00.000"},
      {"DateAdd('n', 90, #12/31/2026 23:00#)", "2027-01-01 00:30:00.000"},
      {"DateAdd('d', -1, #1/1/1900#)", "1899-12-31 00:00:00.000"},
      {"DateAdd('x', 1, #1/1/2000#)", "error 5"},
      {"DateDiff('d', #12/8/2026 23:59#, #12/9/2026 0:01#)", "1"},
      {"DateDiff('yyyy', #12/31/2025#, #1/1/2026#)", "1"},
      {"DateDiff('m', #1/31/2026#, #3/1/2026#)", "2"},
      {"DateDiff('h', #12/8/2026 10:59#, #12/8/2026 11:00#)", "1"},
      {"DateDiff('ww', #12/5/2026#, #12/6/2026#)", "1"},
      {"DateDiff('w', #12/1/2026#, #12/14/2026#)", "1"},
      {"DatePart('q', #8/15/2026#)", "3"},
      {"DatePart('y', #2/1/2026#)", "32"},
      {"DatePart('ww', #1/4/2026#)", "2"},
      {"DateSerial(2026, 14, 1)", "2027-02-01 00:00:00.000"},
      {"DateSerial(2026, 3, 0)", "2026-02-28 00:00:00.000"},
      {"DateSerial(26, 1, 1)", "2026-01-01 00:00:00.000"},
      {"TimeSerial(25, 0, 0)", "1899-12-31 01:00:00.000"},
      {"TimeSerial(0, -1, 0)", "1899-12-29 23:59:00.000"},
      {"DateValue('12/8/2026 10:20')", "2026-12-08 00:00:00.000"},
      {"TimeValue('2026-12-08 10:20:30.000')", "1899-12-30 10:20:30.000"},
      {"CDate('8-Dec-2026')", "2026-12-08 00:00:00.000"},
      {"CDate(1.5)", "1899-12-31 12:00:00.000"},
      {"CDate('soon')", "error 3464"},
      {"IsDate('12/8/2026')", "-1"},
      {"IsDate('13/13/2026')", "0"},
      {"MonthName(12)", "December"},
      {"MonthName(2, True)", "Feb"},
      {"WeekdayName(1)", "Sunday"},
      {"WeekdayName(1, False, 2)", "Monday"},
      {"Len(Now())", "23"},
      {"Right(Date(), 12)", "00:00:00.000"},
      {"Left(Time(), 11)", "1899-12-30 "},
  };
  for (const Case& c : cases) EXPECT_EQ(Jet(c.jet), c.value) << c.jet;
}

TEST_F(JetSqlFunctionsTest, ConversionsRoundHalfToEvenAndCheckRanges) {
  const Case cases[] = {
      {"CInt(2.5)", "2"},
      {"CInt(3.5)", "4"},
      {"CInt(-2.5)", "-2"},
      {"CInt(32768)", "error 6"},
      {"CLng('12')", "12"},
      {"CLng(2147483648)", "error 6"},
      {"CByte(255)", "255"},
      {"CByte(256)", "error 6"},
      {"CByte(-1)", "error 6"},
      {"CCur(1.23456)", "1.2346"},
      {"CDbl('1.5')", "1.5"},
      {"CSng(0.1)", "0.1"},
      {"CStr(1.5)", "1.5"},
      {"CStr(1E+20)", "1E+20"},
      {"CBool('True')", "-1"},
      {"CBool(0)", "0"},
      {"CBool('x')", "error 3464"},
      {"CVar(Null)", "NULL"},
      {"CInt(Null)", "NULL"},
      {"Abs(-3)", "3"},
      {"Int(-2.5)", "-3.0"},
      {"Fix(-2.5)", "-2.0"},
      {"Int(7)", "7"},
      {"Sgn(-0.1)", "-1"},
      {"Sqr(4)", "2.0"},
      {"Sqr(-1)", "error 5"},
      {"Log(0)", "error 5"},
      {"Exp(1000)", "error 6"},
      {"Round(2.5)", "2"},
      {"Round(3.5)", "4"},
      {"Round(1.25, 1)", "1.2"},
      {"Round(1, 2)", "1"},
      {"IsNumeric('1.5e3')", "-1"},
      {"IsNumeric('1,5')", "0"},
      {"IsNumeric(Null)", "0"},
      {"IsNull(Null)", "-1"},
      {"IIf(Null, 1, 2)", "2"},
      {"IIf(1 < 2, 'a', 'b')", "a"},
      {"Switch(False, 1, True, 2)", "2"},
      {"Switch(False, 1)", "NULL"},
      {"Choose(2.7, 'a', 'b', 'c')", "b"},
      {"Choose(4, 'a', 'b')", "NULL"},
  };
  for (const Case& c : cases) EXPECT_EQ(Jet(c.jet), c.value) << c.jet;
  EXPECT_NE(Jet("Rnd()"), Jet("Rnd()"));
}

TEST_F(JetSqlFunctionsTest, FormatKnowsNamedAndCustomFormats) {
  const Case cases[] = {
      {"Format(1234.5)", "1234.5"},
      {"Format(1234.5, 'Standard')", "1,234.50"},
      {"Format(-1234.5, 'Currency')", "($1,234.50)"},
      {"Format(0.256, 'Percent')", "25.60%"},
      {"Format(1234.5, 'Scientific')", "1.23E+03"},
      {"Format(0, 'Yes/No')", "No"},
      {"Format(#12/8/2026#, 'Fixed')", "46364.00"},
      {"Format(5, '0000')", "0005"},
      {"Format(2.5, '0')", "3"},
      {"Format(5, '#.##')", "5."},
      {"Format(1234567, '#,##0')", "1,234,567"},
      {"Format(-5, '0;(0);zero')", "(5)"},
      {"Format(0, '0;(0);\"zero\"')", "zero"},
      {"Format(123456, '00-00-00')", "12-34-56"},
      {"Format(#12/8/2026 21:05:07#, 'dd.mm.yyyy hh:nn:ss')", "08.12.2026 21:05:07"},
      {"Format(#12/8/2026 21:05:07#, 'dddd, mmmm d, yyyy h:m AM/PM')", "Tuesday, December 8, 2026 9:5 PM"},
      {"Format(#12/8/2026#, 'ddd d-mmm-yy q')", "Tue 8-Dec-26 4"},
      {"Format(#12/8/2026 21:05:07#, 'General Date')", "12/8/2026 9:05:07 PM"},
      {"Format(#12/8/2026#, 'Long Date')", "Tuesday, December 8, 2026"},
      {"Format(#21:05#, 'Short Time')", "21:05"},
      {"Format(#12/8/2026#)", "12/8/2026"},
      {"Format('abc', '>')", "ABC"},
      {"Format('abc', '@@@@@')", "  abc"},
      {"Format('abcdef', '@@-@@')", "abcd-ef"},
      {"Format('abc', '0.00')", "abc"},
      {"Format(Null, '0')", "NULL"},
  };
  for (const Case& c : cases) EXPECT_EQ(Jet(c.jet), c.value) << c.jet;
}

TEST_F(JetSqlFunctionsTest, AggregatesOfJetSkipNullsWhereJetDoes) {
  ASSERT_EQ(
      sqlite3_exec(db_, "CREATE TABLE v (n INTEGER, x DOUBLE); INSERT INTO v VALUES (1, 2), (2, NULL), (3, 4), (4, 9);",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  const Case cases[] = {
      {"SELECT First(x) FROM (SELECT * FROM v ORDER BY n)", "2.0"},
      {"SELECT Last(x) FROM (SELECT * FROM v ORDER BY n)", "9.0"},
      {"SELECT Last(x) FROM (SELECT * FROM v WHERE n < 3 ORDER BY n)", "NULL"},
      {"SELECT Var(x) FROM v", "13.0"},
      {"SELECT VarP(x) FROM v", "8.66666666666667"},
      {"SELECT StDev(x) FROM v WHERE n = 1", "NULL"},
      {"SELECT StDevP(x) FROM v WHERE n = 1", "0.0"},
      {"SELECT Round(StDev(x), 4) FROM v", "3.6056"},
      {"SELECT Count(x) & '/' & Count(*) FROM v", "3/4"},
      {"SELECT StDev(x) FROM v WHERE n > 9", "NULL"},
  };
  for (const Case& c : cases) EXPECT_EQ(Sql(TranslateStatement(c.jet).sql), c.value) << c.jet;
}

TEST_F(JetSqlFunctionsTest, EveryCatalogueFunctionIsRegistered) {
  std::set<std::string> registered;
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db_, "SELECT name FROM pragma_function_list", -1, &stmt, nullptr), SQLITE_OK);
  while (sqlite3_step(stmt) == SQLITE_ROW)
    registered.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  sqlite3_finalize(stmt);
  for (const JetFunctionInfo& info : JetFunctionCatalogue()) {
    if (info.role != FunctionRole::kScalar && info.role != FunctionRole::kAggregate) continue;
    EXPECT_EQ(registered.count(info.backEndName), 1u) << info.jetName << " -> " << info.backEndName;
  }
  for (const char* op : {"jet_add", "jet_concat", "jet_like", "jet_not", "jet_imp", "jet_neg", "jet_pow"}) {
    EXPECT_EQ(registered.count(op), 1u) << op;
  }
  EXPECT_NE(FindJetFunction("mid$"), nullptr);
  EXPECT_EQ(FindJetFunction("Nz"), nullptr);
  EXPECT_EQ(FindJetFunction("DLookup"), nullptr);
}

TEST_F(JetSqlFunctionsTest, UnknownNamesStayUnknownInsteadOfBecomingText) {
  ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE t (a INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Sql("SELECT \"nosuch\" FROM t"), "prepare failed: no such column: nosuch");
}

}  // namespace
}  // namespace lumo::jet
