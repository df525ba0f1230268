// The Jet SQL translator: Jet text in, SQLite text out (and DAO errors for bad text), then the
// translated text run on a real SQLite file with the functions registered.

#include "jet/sql/JetSqlTranslator.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jet/DaoErrors.h"
#include "jet/sqlite/SqliteErrors.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
#include "runtime/Exceptions.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {
namespace {

struct Case {
  const char* jet;
  const char* sqlite;
};

std::string Statement(const std::string& jet, std::vector<std::string> known = {}) {
  return TranslateStatement(jet, known).sql;
}

std::string Criteria(const std::string& jet) { return TranslateExpression(jet).sql; }

struct Failure {
  int number = 0;
  std::string message;
};

template <class Action>
Failure FailureOf(Action action) {
  try {
    action();
  } catch (const EOleException& error) {
    return {error.ErrorCode(), error.Message()};
  }
  return {};
}

// --- text in, text out --------------------------------------------------------------------------

class JetSqlTranslatorTest : public ::testing::Test {
 protected:
  // The Logon table of the journal with its indexes and four rows, in a file of a fresh
  // temporary folder; made on first use so that the pure translation cases need no file.
  sqlite3* Database() {
    if (db_ != nullptr) return db_;
    char pattern[] = "/tmp/lumo-jetsql-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    EXPECT_EQ(sqlite3_open((folder_ / "test.db").c_str(), &db_), SQLITE_OK);
    EXPECT_EQ(RegisterJetFunctions(db_), SQLITE_OK);
    sqlite3_exec(db_, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    Execute(
        "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), Computer TEXT(20), "
        "logontime DATETIME, logofftime DATETIME, IP TEXT(20), Betriebssystem TEXT(50), Typ TEXT(10))");
    Execute("CREATE INDEX logontime ON Logon (logontime)");
    Execute("CREATE INDEX usercomputer ON Logon (Username, Computer, logontime)");
    Execute(
        "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('admin', 'PC1', #12/7/2026 8:00#, 'logon')");
    Execute(
        "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('O''Brien', 'PC1', #12/8/2026 9:00#, 'logon')");
    Execute(
        "INSERT INTO Logon (Username, Computer, logontime, logofftime, Typ) VALUES ('Ärger', 'pc2', #12/8/2026 10:00#, "
        "#12/8/2026 11:00#, 'logon')");
    Execute("INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('anna', 'PC3', #12/9/2026 7:30#, Null)");
    return db_;
  }

  void TearDown() override {
    if (db_ == nullptr) return;
    sqlite3_close(db_);
    std::filesystem::remove_all(folder_);
  }

  void Execute(const std::string& jet) {
    TranslatedStatement statement = TranslateStatement(jet);
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(Database(), statement.sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << jet << "\n"
        << statement.sql << "\n"
        << (error ? error : "");
  }

  // The rows of a translated query, values joined by "|", rows by ";"; parameters bound in
  // number order from the given texts.
  std::string Rows(const std::string& jet, const std::vector<std::string>& values = {},
                   const std::vector<std::string>& known = {}) {
    TranslatedStatement statement = TranslateStatement(jet, known);
    return RowsOfSql(statement.sql, values);
  }

  std::string RowsOfSql(const std::string& sql, const std::vector<std::string>& values = {}) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(Database(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return std::string("prepare failed: ") + sqlite3_errmsg(db_);
    }
    for (size_t i = 0; i < values.size(); ++i) {
      sqlite3_bind_text(stmt, static_cast<int>(i + 1), values[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    std::string rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      if (!rows.empty()) rows += ";";
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        if (c > 0) rows += "|";
        const unsigned char* text = sqlite3_column_text(stmt, c);
        rows += text ? reinterpret_cast<const char*>(text) : "NULL";
      }
    }
    if (rc != SQLITE_DONE) rows = std::string("step failed: ") + sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
    return rows;
  }

  std::filesystem::path folder_;
  sqlite3* db_ = nullptr;
};

TEST_F(JetSqlTranslatorTest, JournalStatementsTranslateToPlainIndexableSql) {
  const Case cases[] = {
      {"select id from logon where username= 'o''brien' and computer='PC1' and (logofftime is Null) order by "
       "logontime desc",
       "SELECT \"id\" FROM \"logon\" WHERE \"username\" = 'o''brien' AND \"computer\" = 'PC1' AND "
       "(\"logofftime\" IS NULL) ORDER BY \"logontime\" DESC"},
      {"update logon set logofftime = #12/8/2026 9:5:7# where id = 17",
       "UPDATE \"logon\" SET \"logofftime\" = '2026-12-08 09:05:07.000' WHERE \"id\" = 17"},
      {"select * from logon where logontime >= #12/08/2026# order by logontime desc",
       "SELECT * FROM \"logon\" WHERE \"logontime\" >= '2026-12-08 00:00:00.000' ORDER BY \"logontime\" DESC"},
      {"select * from logon where logontime > #12/08/2026# order by logontime desc",
       "SELECT * FROM \"logon\" WHERE \"logontime\" > '2026-12-08 00:00:00.000' ORDER BY \"logontime\" DESC"},
      {"alter table logon add logofftime datetime", "ALTER TABLE \"logon\" ADD COLUMN \"logofftime\" DATETIME"},
      // The dataset's SQL lists end every line with CR LF; master/detail texts end with " ;".
      {"alter table logon add logofftime datetime\r\n", "ALTER TABLE \"logon\" ADD COLUMN \"logofftime\" DATETIME"},
      {"Select * From [Orders] Where ([CustNo] = 5) Order By OrderDate DESC ;\r\n",
       "SELECT * FROM \"Orders\" WHERE (\"CustNo\" = 5) ORDER BY \"OrderDate\" DESC"},
  };
  for (const Case& c : cases) EXPECT_EQ(Statement(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, LiteralsTakeTheirStoredForms) {
  const Case cases[] = {
      {"d = #12/8/2026 9:5:7#", "\"d\" = '2026-12-08 09:05:07.000'"},
      {"d = #1/2/03 3:04 PM#", "\"d\" = '2003-01-02 15:04:00.000'"},
      {"d = #12:30 AM#", "\"d\" = '1899-12-30 00:30:00.000'"},
      {"d = #13/5/2020#", "\"d\" = '2020-05-13 00:00:00.000'"},
      {"d = #2026-12-08 10:20#", "\"d\" = '2026-12-08 10:20:00.000'"},
      {"d = #10-May-1996#", "\"d\" = '1996-05-10 00:00:00.000'"},
      {"d = #May 10, 96#", "\"d\" = '1996-05-10 00:00:00.000'"},
      {"s = 'O''Neil'", "\"s\" = 'O''Neil'"},
      {"s = \"a\"\"b'c\"", "\"s\" = 'a\"b''c'"},
      {"n = .5", "\"n\" = 0.5"},
      {"n = 1.5E3", "\"n\" = 1.5e3"},
      {"f = True or f = No or f = On", "\"f\" = -1 OR \"f\" = 0 OR \"f\" = -1"},
      {"g = {guid {12345678-90ab-cdef-1234-567890abcdef}}", "\"g\" = '{12345678-90AB-CDEF-1234-567890ABCDEF}'"},
      {"[Order Date] = Null", "\"Order Date\" = NULL"},
      {"[Orders].[Date] > 1 and Orders!Amount > 2", "\"Orders\".\"Date\" > 1 AND \"Orders\".\"Amount\" > 2"},
      {"x = 'a' & chr(0) ", "\"x\" = jet_concat('a', jet_chr(0))"},
  };
  for (const Case& c : cases) EXPECT_EQ(Criteria(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, ComparisonsWithoutAColumnAskForCaseInsensitivity) {
  const Case cases[] = {
      {"username = 'x'", "\"username\" = 'x'"},
      {"'x' = username", "'x' = \"username\""},
      {"LCase(a) = 'x'", "jet_lcase(\"a\") = 'x' COLLATE jet_text"},
      {"'A' < 'b'", "'A' < 'b' COLLATE jet_text"},
      {"1 < 2", "1 < 2"},
      {"a & b in ('x', 'y')", "jet_concat(\"a\", \"b\") COLLATE jet_text IN ('x', 'y')"},
      {"a in ('x', 'y')", "\"a\" IN ('x', 'y')"},
  };
  for (const Case& c : cases) EXPECT_EQ(Criteria(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, OperatorsFollowJetPrecedenceAndMeaning) {
  const Case cases[] = {
      {"a = 1 or b = 2 and c = 3", "\"a\" = 1 OR \"b\" = 2 AND \"c\" = 3"},
      {"(a = 1 or b = 2) and c = 3", "(\"a\" = 1 OR \"b\" = 2) AND \"c\" = 3"},
      {"not a = b", "NOT \"a\" = \"b\""},
      {"a & b = 'x'", "jet_concat(\"a\", \"b\") = 'x' COLLATE jet_text"},
      {"1 + 2 & 3 = '33'", "jet_concat(1 + 2, 3) = '33' COLLATE jet_text"},
      {"a + 1 > 2", "jet_add(\"a\", 1) > 2"},
      {"a - b * c > 0", "jet_sub(\"a\", jet_mul(\"b\", \"c\")) > 0"},
      {"1 - 2 * 3 > 0", "1 - 2 * 3 > 0"},
      {"(1 - 2) * 3 > 0", "(1 - 2) * 3 > 0"},
      {"a / 2 = a \\ 2", "jet_div(\"a\", 2) = jet_idiv(\"a\", 2)"},
      {"a mod 3 = 1", "jet_mod(\"a\", 3) = 1"},
      {"-2 ^ 2 = x", "jet_neg(jet_pow(2, 2)) = \"x\""},
      {"2 ^ -1 = x", "jet_pow(2, -1) = \"x\""},
      {"x = - -5", "\"x\" = -(-5)"},
      {"a xor b", "jet_xor(\"a\", \"b\")"},
      {"a eqv b imp c", "jet_imp(jet_eqv(\"a\", \"b\"), \"c\")"},
      {"(a = b) = True", "(-(\"a\" = \"b\")) = -1"},
      {"Left(a, 1) = Right(b, 1)", "jet_left(\"a\", 1) = jet_right(\"b\", 1) COLLATE jet_text"},
      {"x = (a and b)", "\"x\" = (jet_and(\"a\", \"b\"))"},
  };
  for (const Case& c : cases) EXPECT_EQ(Criteria(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, PredicatesTranslateToSqliteForms) {
  const Case cases[] = {
      {"a like 'x*'", "jet_like(\"a\", 'x*')"},
      {"a not like '[!a-c]#'", "NOT jet_like(\"a\", '[!a-c]#')"},
      {"a between 5 and 1", "\"a\" BETWEEN 1 AND 5"},
      {"a not between #1/2/2000# and #1/1/2000#",
       "\"a\" NOT BETWEEN '2000-01-01 00:00:00.000' AND '2000-01-02 00:00:00.000'"},
      {"a between b and c", "\"a\" BETWEEN min(\"b\", \"c\") AND max(\"b\", \"c\")"},
      {"a not in (1, 2)", "\"a\" NOT IN (1, 2)"},
      {"a in (select b from u)", "\"a\" IN (SELECT \"b\" FROM \"u\")"},
      {"a is not null", "\"a\" IS NOT NULL"},
      {"exists (select * from u where u.a = t.a)", "EXISTS (SELECT * FROM \"u\" WHERE \"u\".\"a\" = \"t\".\"a\")"},
      {"a > all (select b from u)",
       "NOT EXISTS (SELECT 1 FROM (SELECT \"b\" AS \"jet_v\" FROM \"u\") AS \"jet_q\" WHERE NOT (\"a\" > "
       "\"jet_q\".\"jet_v\"))"},
      {"a = any (select b from u)",
       "EXISTS (SELECT 1 FROM (SELECT \"b\" AS \"jet_v\" FROM \"u\") AS \"jet_q\" WHERE \"a\" = \"jet_q\".\"jet_v\")"},
  };
  for (const Case& c : cases) EXPECT_EQ(Criteria(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, FunctionsComeFromTheCatalogue) {
  const Case cases[] = {
      {"LCase(a) = Left$(b, 2)", "jet_lcase(\"a\") = jet_left(\"b\", 2) COLLATE jet_text"},
      {"Len(a) + 1 > 3", "length(\"a\") + 1 > 3"},
      {"IIf(a > 1, 'x', Null) = 'x'", "CASE WHEN \"a\" > 1 THEN 'x' ELSE NULL END = 'x' COLLATE jet_text"},
      {"Switch(a = 1, 'one', True, 'other') = 'one'",
       "CASE WHEN \"a\" = 1 THEN 'one' WHEN -1 THEN 'other' END = 'one' COLLATE jet_text"},
      {"Choose(a, 'x', 'y') = 'y'",
       "CASE CAST(\"a\" AS INTEGER) WHEN 1 THEN 'x' WHEN 2 THEN 'y' END = 'y' COLLATE jet_text"},
      {"IsNull(a)", "-(\"a\" IS NULL)"},
      {"Year(d) = 2026", "jet_year(\"d\") = 2026"},
      {"Now() > d", "jet_now() > \"d\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Criteria(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, QueriesKeepTheirShape) {
  const Case cases[] = {
      {"SELECT a, b & c FROM t", "SELECT \"a\", jet_concat(\"b\", \"c\") AS \"Expr1000\" FROM \"t\""},
      {"SELECT Count(*), Sum(x) AS Total FROM t GROUP BY k HAVING Count(*) > 1",
       "SELECT count(*) AS \"Expr1000\", sum(\"x\") AS \"Total\" FROM \"t\" GROUP BY \"k\" HAVING count(*) > 1"},
      {"SELECT First(a), StDev(b) FROM t GROUP BY LCase(k)",
       "SELECT jet_first(\"a\") AS \"Expr1000\", jet_stdev(\"b\") AS \"Expr1001\" FROM \"t\" GROUP BY "
       "jet_lcase(\"k\") COLLATE jet_text"},
      {"SELECT * FROM t ORDER BY a & b DESC, c",
       "SELECT * FROM \"t\" ORDER BY jet_concat(\"a\", \"b\") COLLATE jet_text DESC, \"c\""},
      {"SELECT DISTINCT a FROM t AS x", "SELECT DISTINCT \"a\" FROM \"t\" AS \"x\""},
      {"SELECT * FROM a RIGHT JOIN b ON a.x = b.x",
       "SELECT * FROM \"a\" RIGHT JOIN \"b\" ON \"a\".\"x\" = \"b\".\"x\""},
      {"SELECT * FROM (a INNER JOIN b ON a.x = b.x) LEFT OUTER JOIN c ON b.y = c.y",
       "SELECT * FROM \"a\" INNER JOIN \"b\" ON \"a\".\"x\" = \"b\".\"x\" LEFT JOIN \"c\" ON \"b\".\"y\" = "
       "\"c\".\"y\""},
      {"SELECT * FROM a LEFT JOIN (b INNER JOIN c ON b.x = c.x) ON a.y = b.y",
       "SELECT * FROM \"a\" LEFT JOIN (\"b\" INNER JOIN \"c\" ON \"b\".\"x\" = \"c\".\"x\") ON \"a\".\"y\" = "
       "\"b\".\"y\""},
      {"SELECT * FROM t, u WHERE t.a = u.a", "SELECT * FROM \"t\", \"u\" WHERE \"t\".\"a\" = \"u\".\"a\""},
      {"SELECT x.* FROM (SELECT a FROM t) AS x", "SELECT \"x\".* FROM (SELECT \"a\" FROM \"t\") AS \"x\""},
      {"SELECT a FROM t UNION ALL TABLE u ORDER BY t.a",
       "SELECT * FROM (SELECT \"a\" FROM \"t\" UNION ALL SELECT * FROM \"u\") ORDER BY \"a\""},
      {"SELECT @@IDENTITY", "SELECT jet_identity() AS \"Expr1000\""},
      {"SELECT * FROM t WITH OWNERACCESS OPTION;", "SELECT * FROM \"t\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Statement(c.jet), c.sqlite) << c.jet;
}

TEST_F(JetSqlTranslatorTest, TopKeepsTheRowsThatTieWithTheLast) {
  EXPECT_EQ(Statement("SELECT TOP 5 * FROM t"), "SELECT * FROM \"t\" LIMIT 5");
  EXPECT_EQ(Statement("SELECT TOP 2 a FROM t ORDER BY a DESC"),
            "SELECT \"a\" FROM \"t\" ORDER BY \"a\" DESC LIMIT (SELECT count(*) FROM (SELECT rank() OVER (ORDER BY "
            "\"a\" DESC) AS \"jet_rank\" FROM \"t\") WHERE \"jet_rank\" <= 2)");
  EXPECT_EQ(Statement("SELECT TOP 10 PERCENT * FROM t"),
            "SELECT * FROM \"t\" LIMIT (SELECT (count(*) * 10 + 99) / 100 FROM (SELECT 1 FROM \"t\"))");
  TranslatedStatement top = TranslateStatement("SELECT TOP 3 PERCENT * FROM t ORDER BY a");
  EXPECT_EQ(top.top, 3);
  EXPECT_TRUE(top.topPercent);
  // Members of a union with their own TOP are kept whole.
  EXPECT_EQ(Statement("SELECT TOP 1 a FROM t UNION SELECT b FROM u"),
            "SELECT * FROM (SELECT \"a\" FROM \"t\" LIMIT 1) UNION SELECT \"b\" FROM \"u\"");
}

TEST_F(JetSqlTranslatorTest, DistinctRowGroupsByTheRecordsOfTablesThatDeliverColumns) {
  EXPECT_EQ(Statement("SELECT DISTINCTROW c.name FROM c INNER JOIN o ON c.id = o.cid"),
            "SELECT \"c\".\"name\" FROM \"c\" INNER JOIN \"o\" ON \"c\".\"id\" = \"o\".\"cid\" GROUP BY \"c\".rowid");
  // Every table delivers columns, or the query reads one table: nothing to drop.
  EXPECT_EQ(Statement("SELECT DISTINCTROW c.*, o.x FROM c INNER JOIN o ON c.id = o.cid"),
            "SELECT \"c\".*, \"o\".\"x\" FROM \"c\" INNER JOIN \"o\" ON \"c\".\"id\" = \"o\".\"cid\"");
  TranslatedStatement single = TranslateStatement("SELECT DISTINCTROW * FROM t");
  EXPECT_EQ(single.sql, "SELECT * FROM \"t\"");
  EXPECT_TRUE(single.distinctRow);
}

TEST_F(JetSqlTranslatorTest, UpdateAndDeleteOverJoinsTargetOneTable) {
  const Case cases[] = {
      {"UPDATE t INNER JOIN u ON t.a = u.a SET t.b = u.b WHERE u.c = 1",
       "UPDATE \"t\" SET \"b\" = \"u\".\"b\" FROM \"u\" WHERE (\"t\".\"a\" = \"u\".\"a\") AND (\"u\".\"c\" = 1)"},
      {"UPDATE logon AS l SET l.typ = 'x'", "UPDATE \"logon\" AS \"l\" SET \"typ\" = 'x'"},
      {"DELETE * FROM t WHERE a = 1", "DELETE FROM \"t\" WHERE \"a\" = 1"},
      {"DELETE FROM t", "DELETE FROM \"t\""},
      {"DELETE t.* FROM t INNER JOIN u ON t.a = u.a WHERE u.b = 2",
       "DELETE FROM \"t\" WHERE rowid IN (SELECT \"t\".rowid FROM \"t\" INNER JOIN \"u\" ON \"t\".\"a\" = \"u\".\"a\" "
       "WHERE \"u\".\"b\" = 2)"},
      {"INSERT INTO t (a, b) VALUES (1, #1/1/2000#)",
       "INSERT INTO \"t\" (\"a\", \"b\") VALUES (1, '2000-01-01 00:00:00.000')"},
      {"INSERT INTO t SELECT * FROM u WHERE x = 1", "INSERT INTO \"t\" SELECT * FROM \"u\" WHERE \"x\" = 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Statement(c.jet), c.sqlite) << c.jet;
  TranslatedStatement update = TranslateStatement("UPDATE t INNER JOIN u ON t.a = u.a SET u.b = 1");
  EXPECT_EQ(update.targetTable, "u");
  EXPECT_EQ(update.tables, (std::vector<std::string>{"t", "u"}));
}

TEST_F(JetSqlTranslatorTest, ParametersAreNumberedInOrderOfFirstUse) {
  TranslatedStatement result = TranslateStatement(
      "PARAMETERS [Which user] Text (50), since DateTime, unused Long; "
      "SELECT * FROM logon WHERE logontime > since AND username = [which USER] AND typ = kind AND id <> [Which User]",
      std::vector<std::string>{"kind"});
  EXPECT_EQ(result.sql,
            "SELECT * FROM \"logon\" WHERE \"logontime\" > ?1 AND \"username\" = ?2 AND \"typ\" = ?3 AND \"id\" <> ?2");
  ASSERT_EQ(result.parameters.size(), 4u);
  EXPECT_EQ(result.parameters[0].name, "since");
  EXPECT_EQ(result.parameters[0].daoType, dbDate);
  EXPECT_TRUE(result.parameters[0].declared);
  EXPECT_EQ(result.parameters[1].name, "Which user");
  EXPECT_EQ(result.parameters[1].daoType, dbText);
  EXPECT_EQ(result.parameters[2].name, "kind");
  EXPECT_FALSE(result.parameters[2].declared);
  EXPECT_EQ(result.parameters[2].daoType, 0);
  EXPECT_EQ(result.parameters[3].name, "unused");
  EXPECT_FALSE(result.parameters[3].referenced);
  EXPECT_EQ(result.parameters[3].number, 4);

  TranslateOptions options;
  options.knownParameters = {"Forms.F.x"};
  options.firstParameterNumber = 3;
  TranslatedExpression filter = TranslateExpression("a = Forms!F!x or b = forms.f.X", options);
  EXPECT_EQ(filter.sql, "\"a\" = ?3 OR \"b\" = ?3");
  ASSERT_EQ(filter.parameters.size(), 1u);
  EXPECT_EQ(filter.parameters[0].number, 3);
}

// A schema of one table for the translator to look names up in.
class OneTableSchema : public JetSqlSchema {
 public:
  const std::vector<SchemaColumn>* Columns(std::string_view table) override {
    if (!SameText(table, "logon")) return nullptr;
    return &columns_;
  }

 private:
  std::vector<SchemaColumn> columns_ = {{"ID", JetFieldType{dbLong, 4, dbFixedField | dbAutoIncrField, 0, 0}},
                                        {"Username", JetFieldType{dbText, 50, dbVariableField, 0, 0}},
                                        {"logontime", JetFieldType{dbDate, 8, dbFixedField, 0, 0}}};
};

// Text columns compare as Jet compares: NOCASE where it decides alike, jet_text with bounds
// on the column's own order where letters beyond ASCII may come, jet_text alone for text a
// foreign file compares as stored.
TEST_F(JetSqlTranslatorTest, TextColumnsCompareAsJetDoesAndKeepTheirIndex) {
  class Schema : public JetSqlSchema {
   public:
    const std::vector<SchemaColumn>* Columns(std::string_view table) override {
      return SameText(table, "t") ? &columns_ : nullptr;
    }
    std::vector<SchemaColumn> columns_ = {{"name", DefaultFieldType(dbText), true},
                                          {"other", DefaultFieldType(dbText), true},
                                          {"foreign", DefaultFieldType(dbText), false},
                                          {"n", DefaultFieldType(dbLong), true}};
  } schema;
  TranslateOptions options;
  options.schema = &schema;
  options.criteriaTable = "t";
  options.knownParameters = {"p"};
  const Case cases[] = {
      {"name = 'Anna'", "\"name\" = 'Anna'"},
      {"name < 'Anna'", "\"name\" < 'Anna'"},
      {"name = '€'", "\"name\" = '€'"},
      {"name = 'Köln'", "\"name\" BETWEEN 'kÖln' AND 'köln' AND \"name\" = 'Köln' COLLATE jet_text"},
      {"'Köln' = name", "\"name\" BETWEEN 'kÖln' AND 'köln' AND \"name\" = 'Köln' COLLATE jet_text"},
      {"name <> 'Köln'", "\"name\" <> 'Köln' COLLATE jet_text"},
      {"name < 'Köln'", "\"name\" < 'l' AND \"name\" < 'Köln' COLLATE jet_text"},
      {"'Köln' < name", "\"name\" >= 'k' AND \"name\" > 'Köln' COLLATE jet_text"},
      {"name >= 'Émile'", "\"name\" >= 'Émile' COLLATE jet_text"},
      {"name = p", "\"name\" BETWEEN jet_text_first(?1) AND jet_text_last(?1) AND \"name\" = ?1 COLLATE jet_text"},
      {"name > p", "\"name\" >= jet_text_floor(?1) AND \"name\" > ?1 COLLATE jet_text"},
      {"name <= other", "\"name\" <= jet_text_ceiling(\"other\") AND \"name\" <= \"other\" COLLATE jet_text"},
      {"name = 'a' & 'b'", "\"name\" = jet_concat('a', 'b') COLLATE jet_text"},
      {"name = 5", "\"name\" = 5"},
      {"foreign = 'Anna'", "\"foreign\" = 'Anna' COLLATE jet_text"},
      {"n = 5 OR name = 'Köln'",
       "\"n\" = 5 OR \"name\" BETWEEN 'kÖln' AND 'köln' AND \"name\" = 'Köln' COLLATE jet_text"},
      {"NOT name = 'Köln'", "NOT (\"name\" BETWEEN 'kÖln' AND 'köln' AND \"name\" = 'Köln' COLLATE jet_text)"},
      {"name IN ('a', 'B')", "\"name\" IN ('a', 'B')"},
      {"name IN ('a', 'Ä')", "\"name\" COLLATE jet_text IN ('a', 'Ä')"},
      {"name BETWEEN 'a' AND 'b'", "\"name\" BETWEEN 'a' AND 'b'"},
      // Ä comes after b: the bounds change places.
      {"name BETWEEN 'Äa' AND 'b'", "\"name\" >= 'b' AND \"name\" COLLATE jet_text BETWEEN 'b' AND 'Äa'"},
      {"name BETWEEN 'Aä' AND 'b'",
       "\"name\" >= 'a' AND \"name\" < 'c' AND \"name\" COLLATE jet_text BETWEEN 'Aä' AND 'b'"},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateExpression(c.jet, options).sql, c.sqlite) << c.jet;
  EXPECT_EQ(TranslateOrderBy("name, n DESC, foreign", options).sql,
            "\"name\" COLLATE jet_text, \"n\" DESC, \"foreign\" COLLATE jet_text");
}

TEST_F(JetSqlTranslatorTest, ResultColumnsCarryTheTypesOfTheirExpressions) {
  OneTableSchema schema;
  TranslateOptions options;
  options.schema = &schema;
  TranslatedStatement typed = TranslateStatement(
      "SELECT *, Count(*), Max(l.logontime) AS latest, Max(ID), Username & '!', 1.5, 7, Null, [p] "
      "FROM logon AS l GROUP BY Username",
      options);
  std::vector<std::pair<std::string, int>> types;
  for (const ResultColumnType& column : typed.columnTypes) types.emplace_back(column.name, column.type.type);
  EXPECT_EQ(types, (std::vector<std::pair<std::string, int>>{{"Expr1000", dbLong},
                                                             {"latest", dbDate},
                                                             {"Expr1001", dbLong},
                                                             {"Expr1002", dbText},
                                                             {"Expr1003", dbDouble},
                                                             {"Expr1004", dbLong},
                                                             {"Expr1005", 0},
                                                             {"p", 0}}));
  // A counter's maximum is a plain Long; a column keeps its size.
  EXPECT_EQ(typed.columnTypes[2].type.attributes & dbAutoIncrField, 0);
  EXPECT_EQ(TranslateStatement("SELECT Max(Username) AS m FROM logon", options).columnTypes[0].type.size, 50);
  // Without a schema columns are unknown, literals and functions still known.
  TranslatedStatement plain = TranslateStatement("SELECT Max(logontime), Date(), Count(x) FROM logon");
  EXPECT_EQ(plain.columnTypes[0].type.type, 0);
  EXPECT_EQ(plain.columnTypes[1].type.type, dbDate);
  EXPECT_EQ(plain.columnTypes[2].type.type, dbLong);
}

TEST_F(JetSqlTranslatorTest, ResultDescribesTheStatement) {
  TranslatedStatement select = TranslateStatement("SELECT a, b FROM logon AS l WHERE a = 1 ORDER BY b");
  EXPECT_EQ(select.kind, StatementKind::kSelect);
  EXPECT_EQ(select.tables, std::vector<std::string>{"logon"});
  ASSERT_TRUE(select.parts.has_value());
  EXPECT_EQ(select.parts->selectList, "\"a\", \"b\"");
  EXPECT_EQ(select.parts->table, "logon");
  EXPECT_EQ(select.parts->from, "\"logon\" AS \"l\"");
  EXPECT_EQ(select.parts->where, "\"a\" = 1");
  EXPECT_EQ(select.parts->orderBy, "\"b\"");
  EXPECT_FALSE(select.aggregated);

  EXPECT_FALSE(TranslateStatement("SELECT Count(*) FROM t").parts.has_value());
  EXPECT_TRUE(TranslateStatement("SELECT Count(*) FROM t").aggregated);
  EXPECT_FALSE(TranslateStatement("SELECT * FROM t, u").parts.has_value());

  // The pieces are the outermost query's, whatever subqueries stand in its select list,
  // condition or sort.
  TranslatedStatement nested = TranslateStatement(
      "SELECT a, (SELECT Max(c) FROM u WHERE u.k = t.k) AS m FROM t WHERE b IN (SELECT TOP 1 b FROM u ORDER BY c) "
      "AND a = (SELECT Min(a) FROM t WHERE a IN (SELECT d FROM v ORDER BY e)) ORDER BY a DESC");
  ASSERT_TRUE(nested.parts.has_value());
  EXPECT_EQ(nested.parts->selectList, "\"a\", (SELECT max(\"c\") FROM \"u\" WHERE \"u\".\"k\" = \"t\".\"k\") AS \"m\"");
  EXPECT_EQ(nested.parts->orderBy, "\"a\" DESC");

  TranslatedStatement into = TranslateStatement("SELECT a INTO copy FROM t");
  EXPECT_EQ(into.kind, StatementKind::kSelectInto);
  EXPECT_EQ(into.targetTable, "copy");
  EXPECT_EQ(into.selectSql, "SELECT \"a\" FROM \"t\"");
  EXPECT_EQ(into.sql, "CREATE TABLE \"copy\" AS SELECT \"a\" FROM \"t\"");

  const std::pair<const char*, int> kinds[] = {
      {"SELECT * FROM t", 0},         {"SELECT a FROM t UNION SELECT b FROM u", 128},
      {"SELECT * INTO x FROM t", 80}, {"INSERT INTO t VALUES (1)", 64},
      {"UPDATE t SET a = 1", 48},     {"DELETE FROM t", 32},
      {"DROP TABLE t", 96},           {"CREATE INDEX i ON t (a)", 96},
  };
  for (const auto& [jet, type] : kinds) EXPECT_EQ(QueryDefType(TranslateStatement(jet).kind), type) << jet;
}

TEST_F(JetSqlTranslatorTest, SortAndCriteriaTextsTranslateAlone) {
  EXPECT_EQ(TranslateOrderBy("Name, [Date] DESC ").sql, "\"Name\", \"Date\" DESC");
  EXPECT_EQ(TranslateOrderBy("LCase(Name) ASC").sql, "jet_lcase(\"Name\") COLLATE jet_text");
  EXPECT_EQ(Criteria("(([CustNo] = 5)) AND (Amount > 100)"), "((\"CustNo\" = 5)) AND (\"Amount\" > 100)");
  EXPECT_EQ(Criteria("([Name] LIKE LCASE(\"ab[*]*\"))"), "(jet_like(\"Name\", jet_lcase('ab[*]*')))");
  EXPECT_EQ(Criteria("([x]  IS NULL)"), "(\"x\" IS NULL)");
}

// --- DDL ----------------------------------------------------------------------------------------

TEST_F(JetSqlTranslatorTest, CreateTableMapsJetTypesAndMakesTheCounterTheRowKey) {
  TranslatedStatement result = TranslateStatement(
      "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50) NOT NULL, "
      "logontime DATETIME, Flag YESNO, Note MEMO, Amount CURRENCY, Ratio SINGLE, Total FLOAT, Small SHORT, "
      "Tiny BYTE, Id2 GUID, Raw LONGBINARY, Bare TEXT, Price DECIMAL(10, 2))");
  EXPECT_EQ(result.sql,
            "CREATE TABLE \"Logon\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Username\" VARCHAR(50) COLLATE NOCASE "
            "NOT NULL, \"logontime\" DATETIME, \"Flag\" BOOLEAN, \"Note\" TEXT COLLATE NOCASE, \"Amount\" CURRENCY, "
            "\"Ratio\" FLOAT4, \"Total\" DOUBLE, \"Small\" SMALLINT, \"Tiny\" TINYINT, \"Id2\" GUID, \"Raw\" BLOB, "
            "\"Bare\" VARCHAR(255) COLLATE NOCASE, \"Price\" DECIMAL(10,2))");
  ASSERT_TRUE(result.ddl.has_value());
  const DdlDefinition& ddl = *result.ddl;
  EXPECT_EQ(ddl.action, DdlDefinition::Action::kCreateTable);
  ASSERT_EQ(ddl.columns.size(), 14u);
  EXPECT_EQ(ddl.columns[0].type.type, dbLong);
  EXPECT_EQ(ddl.columns[0].type.attributes & dbAutoIncrField, dbAutoIncrField);
  EXPECT_TRUE(ddl.columns[1].notNull);
  EXPECT_EQ(ddl.columns[1].type.size, 50);
  ASSERT_EQ(ddl.indexes.size(), 1u);
  EXPECT_EQ(ddl.indexes[0].name, "PrimaryKey");
  EXPECT_TRUE(ddl.indexes[0].primary);
  EXPECT_TRUE(ddl.indexes[0].rowKey);
}

TEST_F(JetSqlTranslatorTest, ConstraintsBecomeIndexesNamedAfterTheirTable) {
  TranslatedStatement result = TranslateStatement(
      "CREATE TABLE o (ID COUNTER(100, 1), Code TEXT(10), Cust LONG CONSTRAINT fk REFERENCES c (ID), "
      "CONSTRAINT pk PRIMARY KEY (Code), CONSTRAINT uq UNIQUE (Cust, Code))");
  const DdlDefinition& ddl = *result.ddl;
  ASSERT_EQ(ddl.sqliteStatements.size(), 3u);
  // Another primary key exists: the counter is numbered by the engine.
  EXPECT_EQ(ddl.sqliteStatements[0],
            "CREATE TABLE \"o\" (\"ID\" COUNTER, \"Code\" VARCHAR(10) COLLATE NOCASE NOT NULL, \"Cust\" INTEGER, "
            "CONSTRAINT \"fk\" FOREIGN KEY (\"Cust\") REFERENCES \"c\" (\"ID\"), CONSTRAINT \"pk\" PRIMARY KEY "
            "(\"Code\"))");
  EXPECT_EQ(ddl.sqliteStatements[1], "CREATE INDEX \"o.fk\" ON \"o\" (\"Cust\")");
  EXPECT_EQ(ddl.sqliteStatements[2], "CREATE UNIQUE INDEX \"o.uq\" ON \"o\" (\"Cust\", \"Code\")");
  EXPECT_EQ(ddl.columns[0].seed, 100);
  ASSERT_EQ(ddl.indexes.size(), 3u);
  EXPECT_TRUE(ddl.indexes[0].foreign);
  EXPECT_EQ(ddl.indexes[0].referencedTable, "c");
  EXPECT_TRUE(ddl.indexes[1].primary);
  EXPECT_FALSE(ddl.indexes[1].rowKey);

  TranslatedStatement seeded = TranslateStatement("CREATE TABLE s (ID AUTOINCREMENT(10, 5), x LONG)");
  EXPECT_EQ(seeded.ddl->sqliteStatements.back(), "INSERT INTO sqlite_sequence (name, seq) VALUES ('s', 9)");
  EXPECT_EQ(seeded.ddl->columns[0].increment, 5);
}

TEST_F(JetSqlTranslatorTest, AlterIndexAndDropStatements) {
  const Case cases[] = {
      {"ALTER TABLE t ADD COLUMN c TEXT(20) NOT NULL", "ALTER TABLE \"t\" ADD COLUMN \"c\" VARCHAR(20) COLLATE NOCASE"},
      {"ALTER TABLE t ADD n COUNTER", "ALTER TABLE \"t\" ADD COLUMN \"n\" COUNTER;\nUPDATE \"t\" SET \"n\" = rowid"},
      {"ALTER TABLE t ADD c LONG CONSTRAINT u1 UNIQUE",
       "ALTER TABLE \"t\" ADD COLUMN \"c\" INTEGER;\nCREATE UNIQUE INDEX \"t.u1\" ON \"t\" (\"c\")"},
      {"ALTER TABLE t DROP COLUMN c", "ALTER TABLE \"t\" DROP COLUMN \"c\""},
      {"ALTER TABLE t ADD CONSTRAINT pk PRIMARY KEY (a, b)", "CREATE UNIQUE INDEX \"t.pk\" ON \"t\" (\"a\", \"b\")"},
      {"ALTER TABLE t DROP CONSTRAINT pk", "DROP INDEX \"t.pk\""},
      {"CREATE UNIQUE INDEX ix ON logon (Username, logontime DESC) WITH IGNORE NULL",
       "CREATE UNIQUE INDEX \"logon.ix\" ON \"logon\" (\"Username\", \"logontime\" DESC)"},
      {"CREATE INDEX PrimaryKey ON t (a) WITH PRIMARY", "CREATE UNIQUE INDEX \"t.PrimaryKey\" ON \"t\" (\"a\")"},
      {"DROP INDEX ix ON logon", "DROP INDEX \"logon.ix\""},
      {"DROP TABLE [My Table];", "DROP TABLE \"My Table\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Statement(c.jet), c.sqlite) << c.jet;

  TranslatedStatement added = TranslateStatement("ALTER TABLE t ADD COLUMN c TEXT(20) NOT NULL");
  EXPECT_TRUE(added.ddl->columns[0].notNull);  // kept for the catalogue, SQLite cannot add it
  TranslatedStatement altered = TranslateStatement("ALTER TABLE t ALTER COLUMN c TEXT(80)");
  EXPECT_EQ(altered.ddl->action, DdlDefinition::Action::kAlterColumn);
  EXPECT_TRUE(altered.ddl->sqliteStatements.empty());
  EXPECT_EQ(altered.ddl->columns[0].type.size, 80);
  TranslatedStatement index = TranslateStatement("CREATE INDEX i ON t (a) WITH DISALLOW NULL IGNORE NULL");
  EXPECT_TRUE(index.ddl->indexes[0].required);
  EXPECT_TRUE(index.ddl->indexes[0].ignoreNulls);
  EXPECT_FALSE(index.ddl->indexes[0].unique);
}

// --- errors -------------------------------------------------------------------------------------

TEST_F(JetSqlTranslatorTest, BadStatementsAnswerDaoNumbersAndTexts) {
  const struct {
    const char* jet;
    int number;
    const char* message;  // as EOleException shows it: without the final full stop
  } cases[] = {
      {"select * from t where a b", 3075, "Syntax error (missing operator) in query expression 'a b'"},
      {"select * from t where x = 'abc", 3075, "Syntax error in string in query expression 'x = 'abc'"},
      {"select * from t where d = #2/30/2000# order by d", 3075,
       "Syntax error in date in query expression 'd = #2/30/2000# order by d'"},
      {"select a b c, d from t", 3075, "Syntax error (missing operator) in query expression 'a b c'"},
      {"select * from t where x in 1", 3075, "In operator without () in query expression 'x in 1'"},
      {"select * from t where x between 1 or 2", 3075,
       "Between operator without And in query expression 'x between 1 or 2'"},
      {"select * from t where x is 5", 3075, "Invalid use of Is operator in query expression 'x is 5'"},
      {"select * from t where (a = 1", 3075, "Missing ), ], or Item in query expression '(a = 1'"},
      {"select * from t where a = 1)", 3075, "Extra ) in query expression 'a = 1)'"},
      {"select * from t where [a = 1", 3075, "Missing ), ], or Item in query expression '[a = 1'"},
      {"select Left(a) from t", 3075, "Wrong number of arguments used with function in query expression 'Left(a)'"},
      {"select * from t where (a, b) = 1", 3075, "Syntax error (comma) in query expression '(a, b) = 1'"},
      {"select * from t where t.a.(b) = 1", 3075, "Invalid use of '.', '!', or '()' in query expression 't.a.(b) = 1'"},
      {"select * from t where Nz(a, 0) = 1", 3085, "Undefined function 'Nz' in expression"},
      {"select * from t; x", 3142, "Characters found after end of SQL statement"},
      {"selec * from t", 3129,
       "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'"},
      {"", 3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'"},
      {"select * from", 3131, "Syntax error in FROM clause"},
      {"select * from t u v", 3131, "Syntax error in FROM clause"},
      {"select * from t in 'other.mdb'", 3131, "Syntax error in FROM clause"},
      {"select * from t where", 3145, "Syntax error in WHERE clause"},
      {"select * from t group a", 3132, "Syntax error in GROUP BY clause"},
      {"select * from t order a", 3138, "Syntax error in ORDER BY clause"},
      {"select a, from t", 3141,
       "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
       "punctuation is incorrect"},
      {"select top 1.5 * from t", 3141,
       "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the "
       "punctuation is incorrect"},
      {"select * from a join b on a.x = b.x", 3135, "Syntax error in JOIN operation"},
      {"select * from a inner join b", 3135, "Syntax error in JOIN operation"},
      {"insert t values (1)", 3134, "Syntax error in INSERT INTO statement"},
      {"insert into t (a, b) values (1)", 3346, "Number of query values and destination fields are not the same"},
      {"update t set", 3144, "Syntax error in UPDATE statement"},
      {"update t left join u on t.a = u.a set t.b = 1", 3073, "Operation must use an updatable query"},
      {"delete from", 3130, "Syntax error in DELETE statement"},
      {"delete top 5 from t", 3318, "Values specified in a TOP clause are not allowed in delete queries or reports"},
      {"delete from t inner join u on t.a = u.a", 3086, "Could not delete from specified tables"},
      {"parameters x; select 1", 3139, "Syntax error in PARAMETER clause"},
      {"create table t (a text(300))", 3292, "Syntax error in field definition"},
      {"create table t (a long default 1)", 3292, "Syntax error in field definition"},
      {"create table t (a long,)", 3290, "Syntax error in CREATE TABLE statement"},
      {"create table t (a long, A text)", 3191, "Cannot define field more than once"},
      {"create table t (a long constraint p primary key, b long constraint q primary key)", 3283,
       "Primary key already exists"},
      {"create table t (a long, constraint c check (a > 1))", 3289, "Syntax error in CONSTRAINT clause"},
      {"create table [a.b] (x long)", 3125,
       "'a.b' is not a valid name. Make sure that it does not include invalid characters or punctuation and that "
       "it is not too long"},
      {"create index i on t", 3291, "Syntax error in CREATE INDEX statement"},
      {"create index i on t (a,b,c,d,e,f,g,h,i,j,k)", 3277, "Cannot have more than 10 fields in an index"},
      {"alter table t frobnicate", 3293, "Syntax error in ALTER TABLE statement"},
      {"drop view v", 3295, "Syntax error in DROP TABLE or DROP INDEX"},
      {"drop index i", 3295, "Syntax error in DROP TABLE or DROP INDEX"},
  };
  for (const auto& c : cases) {
    Failure failure = FailureOf([&] { TranslateStatement(c.jet); });
    EXPECT_EQ(failure.number, c.number) << c.jet;
    EXPECT_EQ(failure.message, c.message) << c.jet;
  }
}

TEST_F(JetSqlTranslatorTest, CriteriaErrorsNameNoExpressionUnlessAsked) {
  Failure find = FailureOf([] { TranslateExpression("a b"); });
  EXPECT_EQ(find.number, 3077);
  EXPECT_EQ(find.message, "Syntax error (missing operator) in expression");
  EXPECT_EQ(FailureOf([] { TranslateExpression(""); }).message, "Syntax error in expression");
  TranslateOptions filter;
  filter.criteriaErrors = false;
  Failure filterFailure = FailureOf([&] { TranslateExpression("a = 'x", filter); });
  EXPECT_EQ(filterFailure.number, 3075);
  EXPECT_EQ(filterFailure.message, "Syntax error in string in query expression 'a = 'x'");
  EXPECT_EQ(FailureOf([] { TranslateOrderBy("a,"); }).number, 3138);
  EXPECT_EQ(FailureOf([] { TranslateOrderBy("a b"); }).number, 3075);
}

TEST_F(JetSqlTranslatorTest, ErrorsCarryTheSourceAndPassTheHook) {
  std::vector<DaoErrorInfo> recorded;
  DaoErrorHook previous = SetDaoErrorHook([&](const DaoErrorInfo& info) { recorded.push_back(info); });
  TranslateOptions options;
  options.errorSource = "DAO.Recordset";
  try {
    TranslateExpression("x = ", options);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.Source(), "DAO.Recordset");
    EXPECT_EQ(error.HelpFile(), "jeterr40.chm");
    EXPECT_EQ(error.HelpContext(), 5003077);
  }
  SetDaoErrorHook(std::move(previous));
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].number, 3077);
  EXPECT_EQ(recorded[0].description, "Syntax error (missing operator) in expression.");
}

TEST_F(JetSqlTranslatorTest, DeepNestingIsRefusedNotOverflowed) {
  const std::string parentheses = "x = " + std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(FailureOf([&] { TranslateExpression(parentheses); }).number, 3360);
  std::string chain = "x = 1";
  for (int i = 0; i < 3000; ++i) chain += " + 1";
  EXPECT_EQ(FailureOf([&] { TranslateExpression(chain); }).number, 3360);
  std::string nots;
  for (int i = 0; i < 3000; ++i) nots += "not ";
  EXPECT_EQ(FailureOf([&] { TranslateExpression(nots + "x"); }).number, 3360);
  std::string subqueries = "SELECT * FROM t WHERE a IN (";
  for (int i = 0; i < 150; ++i) subqueries += "SELECT a FROM t WHERE a IN (";
  subqueries += "1" + std::string(151, ')');
  EXPECT_EQ(FailureOf([&] { TranslateStatement(subqueries); }).number, 3360);
  std::string joins = "SELECT * FROM t0";
  for (int i = 1; i < 400; ++i) joins += " INNER JOIN t" + std::to_string(i) + " ON a = b";
  EXPECT_EQ(FailureOf([&] { TranslateStatement(joins); }).number, 3360);
  // Within the limits the same shapes translate.
  EXPECT_NO_THROW(TranslateExpression("x = ((((((((1))))))))"));
}

// Inputs the fuzzer found that once produced text SQLite could not read.
TEST_F(JetSqlTranslatorTest, FuzzFindingsStayFixed) {
  // A zero byte inside a bracketed name.
  EXPECT_EQ(FailureOf([] { TranslateExpression(std::string("[a\0b] = 1", 9)); }).number, 3077);
  // Names of more than three parts can only be parameters; they go to SQLite as one name.
  EXPECT_EQ(TranslateOrderBy("a.b.c.d").sql, "\"a.b.c.d\"");
  // A zero byte in a string literal is spliced in.
  EXPECT_EQ(Criteria(std::string("x = 'a\0b'", 9)), "\"x\" = ('a' || char(0) || 'b')");
}

// --- run on SQLite ------------------------------------------------------------------------------

TEST_F(JetSqlTranslatorTest, JournalStatementsFindStampAndList) {
  EXPECT_EQ(Rows("select id from logon where username= 'o''brien' and computer='PC1' and (logofftime is Null) "
                 "order by logontime desc"),
            "2");
  Execute("update logon set logofftime = #12/8/2026 9:5:7# where id = 2");
  EXPECT_EQ(Rows("select logofftime from logon where id = 2"), "2026-12-08 09:05:07.000");
  EXPECT_EQ(Rows("select username from logon where logontime >= #12/08/2026# order by logontime desc"),
            "anna;Ärger;O'Brien");
  EXPECT_EQ(Rows("select username from logon where logontime > #12/08/2026# order by logontime desc"),
            "anna;Ärger;O'Brien");
}

TEST_F(JetSqlTranslatorTest, JournalQueriesUseTheJournalIndexes) {
  const std::string overview =
      TranslateStatement("select * from logon where logontime >= #12/08/2026# order by logontime desc").sql;
  EXPECT_NE(RowsOfSql("EXPLAIN QUERY PLAN " + overview).find("USING INDEX Logon.logontime"), std::string::npos)
      << RowsOfSql("EXPLAIN QUERY PLAN " + overview);
  const std::string open = TranslateStatement(
                               "select id from logon where username= 'x' and computer='PC1' and (logofftime is Null) "
                               "order by logontime desc")
                               .sql;
  EXPECT_NE(RowsOfSql("EXPLAIN QUERY PLAN " + open).find("USING INDEX Logon.usercomputer"), std::string::npos)
      << RowsOfSql("EXPLAIN QUERY PLAN " + open);
}

TEST_F(JetSqlTranslatorTest, UpgradeAddsTheLogoffColumnLast) {
  Execute("CREATE TABLE old (ID COUNTER, Username TEXT(50))");
  Execute("alter table old add logofftime datetime");
  EXPECT_EQ(RowsOfSql("SELECT name, type FROM pragma_table_info('old') ORDER BY cid"),
            "ID|INTEGER;Username|VARCHAR(50);logofftime|DATETIME");
}

TEST_F(JetSqlTranslatorTest, TextComparesWithoutRegardToCase) {
  const struct {
    const char* criteria;
    const char* users;
  } cases[] = {
      {"username = 'ADMIN'", "admin"},
      {"username like 'A*'", "admin;anna"},
      {"username like '[!a]*'", "O'Brien;Ärger"},
      {"username like 'ä*'", "Ärger"},
      {"username like '?nna'", "anna"},
      {"computer like 'pc#'", "admin;O'Brien;Ärger;anna"},
      {"LCase(computer) = 'PC2'", "Ärger"},
      {"username in ('ANNA', 'ADMIN')", "admin;anna"},
      {"username between 'B' and 'z'", "O'Brien"},
      {"username > 'Admin'", "O'Brien;Ärger;anna"},
      {"typ is null", "anna"},
      {"not typ = 'LOGON'", ""},
      {"typ & '' = ''", "anna"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rows(std::string("SELECT username FROM logon WHERE ") + c.criteria + " ORDER BY id"), c.users)
        << c.criteria;
  }
  EXPECT_EQ(Rows("SELECT username FROM logon ORDER BY LCase(username) & ''"), "admin;anna;O'Brien;Ärger");
}

TEST_F(JetSqlTranslatorTest, DatesCompareAndComputeOnTheStoredText) {
  EXPECT_EQ(Rows("SELECT id FROM logon WHERE logontime BETWEEN #12/9/2026# AND #12/8/2026# ORDER BY id"), "2;3");
  EXPECT_EQ(Rows("SELECT Year(logontime), Month(logontime), Day(logontime), Hour(logontime) FROM logon WHERE id = 4"),
            "2026|12|9|7");
  EXPECT_EQ(Rows("SELECT DateAdd('h', 30, logontime) FROM logon WHERE id = 1"), "2026-12-08 14:00:00.000");
  EXPECT_EQ(Rows("SELECT DateDiff('n', logontime, logofftime) FROM logon WHERE id = 3"), "60");
  EXPECT_EQ(Rows("SELECT logontime + 1 FROM logon WHERE id = 1"), "2026-12-08 08:00:00.000");
  EXPECT_EQ(Rows("SELECT Format(logontime, 'dd.mm.yyyy hh:nn') FROM logon WHERE id = 4"), "09.12.2026 07:30");
}

TEST_F(JetSqlTranslatorTest, NullRulesOfConcatenationAndAddition) {
  EXPECT_EQ(Rows("SELECT username & typ, typ & typ, username + typ, 1 + Null FROM logon WHERE id = 4"),
            "anna|NULL|NULL|NULL");
  EXPECT_EQ(Rows("SELECT 'x' + 1 FROM logon"),
            "step failed: jet error 3464: Data type mismatch in criteria expression.");
  EXPECT_EQ(Rows("SELECT username & typ, username + typ, '12' + 1, '1' + '2', 2 + 3 FROM logon WHERE id = 1"),
            "adminlogon|adminlogon|13|12|5");
}

TEST_F(JetSqlTranslatorTest, TruthValuesReadMinusOneAndZero) {
  EXPECT_EQ(
      Rows("SELECT id = 1, id > 1 AND id < 3, Not (id = 1), IsNull(typ), username like 'a*' FROM logon ORDER BY id"),
      "-1|0|0|0|-1;0|-1|-1|0|0;0|0|-1|0|0;0|0|-1|-1|-1");
}

TEST_F(JetSqlTranslatorTest, TopIncludesTiesAndPercentRoundsUp) {
  Execute("CREATE TABLE s (id COUNTER, score LONG)");
  for (int score : {5, 3, 5, 1, 4, 5, 2}) Execute("INSERT INTO s (score) VALUES (" + std::to_string(score) + ")");
  EXPECT_EQ(Rows("SELECT TOP 2 score FROM s ORDER BY score DESC"), "5;5;5");
  EXPECT_EQ(Rows("SELECT TOP 4 score FROM s ORDER BY score DESC"), "5;5;5;4");
  EXPECT_EQ(Rows("SELECT TOP 3 score FROM s ORDER BY score"), "1;2;3");
  EXPECT_EQ(Rows("SELECT TOP 30 PERCENT score FROM s ORDER BY score"), "1;2;3");
  EXPECT_EQ(Rows("SELECT TOP 15 PERCENT score FROM s ORDER BY score DESC"), "5;5;5");
  EXPECT_EQ(Rows("SELECT count(*) FROM (SELECT TOP 3 * FROM s)"), "3");
  EXPECT_EQ(Rows("SELECT TOP 100 score FROM s WHERE score > 4"), "5;5;5");
  // A correlated subquery takes its first rows: SQLite's LIMIT cannot see the outer query.
  EXPECT_EQ(Rows("SELECT id, (SELECT TOP 1 t.score FROM s AS t WHERE t.score < s.score ORDER BY t.score DESC) "
                 "FROM s WHERE id < 4 ORDER BY id"),
            "1|4;2|2;3|4");
}

TEST_F(JetSqlTranslatorTest, DistinctRowDropsRowsOfTheSameRecord) {
  Execute("CREATE TABLE c (id LONG, name TEXT(10))");
  Execute("CREATE TABLE o (cid LONG, item TEXT(10))");
  Execute("INSERT INTO c VALUES (1, 'Ann')");
  Execute("INSERT INTO c VALUES (2, 'Ann')");
  Execute("INSERT INTO c VALUES (3, 'Bob')");
  for (const char* order : {"(1, 'x')", "(1, 'y')", "(2, 'z')", "(3, 'w')", "(3, 'v')"}) {
    Execute(std::string("INSERT INTO o VALUES ") + order);
  }
  EXPECT_EQ(Rows("SELECT c.name FROM c INNER JOIN o ON c.id = o.cid ORDER BY c.id"), "Ann;Ann;Ann;Bob;Bob");
  // One row per customer record: both Ann records stay, unlike DISTINCT.
  EXPECT_EQ(Rows("SELECT DISTINCTROW c.name FROM c INNER JOIN o ON c.id = o.cid ORDER BY c.id"), "Ann;Ann;Bob");
  EXPECT_EQ(Rows("SELECT DISTINCT c.name FROM c INNER JOIN o ON c.id = o.cid ORDER BY c.name"), "Ann;Bob");
  EXPECT_EQ(Rows("SELECT c.name, o.item FROM o RIGHT JOIN c ON c.id = o.cid WHERE o.item = 'z'"), "Ann|z");
}

TEST_F(JetSqlTranslatorTest, UnknownNamesBecomeParametersOnTheSecondTranslation) {
  const std::string jet = "SELECT username FROM logon WHERE computer = [Which PC?] AND typ = kind ORDER BY id";
  std::vector<std::string> known;
  std::string sql = TranslateStatement(jet, known).sql;
  // The engine's loop: prepare, read the unknown name from SQLite's message, translate again.
  for (int round = 0; round < 5; ++round) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(Database(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      sqlite3_finalize(stmt);
      break;
    }
    std::optional<std::string> name = NoSuchColumnName(sqlite3_errmsg(db_));
    ASSERT_TRUE(name.has_value()) << sqlite3_errmsg(db_);
    known.push_back(*name);
    sql = TranslateStatement(jet, known).sql;
  }
  EXPECT_EQ(known, (std::vector<std::string>{"Which PC?", "kind"}));
  EXPECT_EQ(Rows(jet, {"pc1", "logon"}, known), "admin;O'Brien");
}

TEST_F(JetSqlTranslatorTest, InsertSelectIntoAndDeleteChangeRows) {
  Execute("SELECT username, logontime INTO archive FROM logon WHERE typ = 'logon'");
  EXPECT_EQ(Rows("SELECT count(*) FROM archive"), "3");
  Execute("INSERT INTO archive (username) SELECT username FROM logon WHERE typ IS NULL");
  EXPECT_EQ(Rows("SELECT username FROM archive WHERE logontime IS NULL"), "anna");
  Execute(
      "DELETE logon.* FROM logon INNER JOIN archive ON logon.username = archive.username WHERE archive.logontime IS "
      "NULL");
  EXPECT_EQ(Rows("SELECT count(*) FROM logon"), "3");
  Execute("UPDATE logon INNER JOIN archive ON logon.username = archive.username SET logon.ip = 'seen'");
  EXPECT_EQ(Rows("SELECT count(*) FROM logon WHERE ip = 'SEEN'"), "3");
}

}  // namespace
}  // namespace lumo::jet
