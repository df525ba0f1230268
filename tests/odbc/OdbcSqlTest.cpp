// Jet SQL on the server: each statement is translated for PostgreSQL, run on the test cluster
// over the same rows an SQLite file holds, and its rows compared with what the engine gives
// for the same text on the file. psql writes the server's rows and reads back what the
// translated statements wrote.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "jet/odbc/OdbcCatalogueReader.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcDialect.h"
#include "jet/odbc/OdbcFunctions.h"
#include "jet/odbc/OdbcStatement.h"
#include "jet/sql/JetSqlTranslator.h"
#include "runtime/DateTime.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

using Rows = std::vector<std::vector<std::string>>;

std::string NumberText(double value) {
  if (std::fabs(value) < 1e-9) value = 0;  // -0 and rounding dust
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9g", value);
  return buffer;
}

// Dates to the second whichever back-end gave them (the server's text carries milliseconds).
std::string Canonical(const std::string& text) {
  if (text.size() == 23 && text[4] == '-' && text[10] == ' ' && text[19] == '.') return text.substr(0, 19);
  return text;
}

std::string VariantText(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull: return "Null";
    case VarType::kBoolean: return value.AsBoolean() ? "-1" : "0";
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64: return std::to_string(value.AsInt64());
    case VarType::kDouble:
    case VarType::kCurrency: return NumberText(value.AsDouble());
    case VarType::kDate: {
      int y, m, d, h, n, s, ms;
      DecodeDateTime(value.AsDateTime(), y, m, d, h, n, s, ms);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
      return buffer;
    }
    default: return Canonical(value.AsString());
  }
}

// The server's tables as the translator sees them, read through ODBC's catalogue calls.
class ServerSchema final : public JetSqlSchema {
 public:
  explicit ServerSchema(OdbcConnection& connection) : reader_(connection) {}
  const std::vector<SchemaColumn>* Columns(std::string_view table) override {
    TableInfo info;
    if (!reader_.ReadTable(table, info)) return nullptr;
    auto& columns = tables_.emplace_back();
    names_[std::string(table)] = info.name;
    for (const ColumnInfo& column : info.columns) columns.push_back({column.name, column.type, column.noCase});
    return &columns;
  }
  std::string StoredTableName(std::string_view table) override {
    Columns(table);
    auto found = names_.find(std::string(table));
    return found != names_.end() ? found->second : std::string(table);
  }

 private:
  OdbcCatalogueReader reader_;
  std::deque<std::vector<SchemaColumn>> tables_;  // stays where it is as it grows
  std::map<std::string, std::string> names_;
};

// The journal's kind of rows: names in several cases, letters beyond ASCII, Nulls, ties.
constexpr const char* kServerColumns =
    " (id integer PRIMARY KEY, name varchar(50), city varchar(50), born timestamp(3), amount numeric(19,4), "
    "active boolean, score double precision, n integer)";
constexpr const char* kFileColumns =
    " (id LONG CONSTRAINT pk PRIMARY KEY, name TEXT(50), city TEXT(50), born DATETIME, amount CURRENCY, "
    "active YESNO, score DOUBLE, n LONG)";
constexpr const char* kRows[] = {
    "(1, 'Anna', 'Berlin', #3/15/1990 08:30:00#, 12.5, True, 1.5, 3)",
    "(2, 'anna', 'Köln', #12/31/1999 23:59:59#, 0.125, False, -2.25, 1)",
    "(3, 'Bert 7', 'Berlin', #2/29/2000#, 100, True, 10, 3)",
    "(4, 'Ärger', Null, #7/4/1985 12:00:00#, Null, False, 0, 7)",
    "(5, 'B*rt', 'Hamburg', Null, 3.3333, Null, Null, Null)",
    "(6, 'carla', 'köln', #1/1/2024 00:00:01#, -7.75, True, 2.5, 2)",
};
constexpr const char* kServerRows[] = {
    "(1, 'Anna', 'Berlin', '1990-03-15 08:30:00', 12.5, true, 1.5, 3)",
    "(2, 'anna', 'Köln', '1999-12-31 23:59:59', 0.125, false, -2.25, 1)",
    "(3, 'Bert 7', 'Berlin', '2000-02-29 00:00:00', 100, true, 10, 3)",
    "(4, 'Ärger', NULL, '1985-07-04 12:00:00', NULL, false, 0, 7)",
    "(5, 'B*rt', 'Hamburg', NULL, 3.3333, NULL, NULL, NULL)",
    "(6, 'carla', 'köln', '2024-01-01 00:00:01', -7.75, true, 2.5, 2)",
};

class OdbcSqlTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    LUMO_REQUIRE_CLUSTER();
    table_ = TestTable();
    std::string create = "DROP TABLE IF EXISTS " + table_ + "; CREATE TABLE " + table_ + kServerColumns + ";";
    for (const char* row : kServerRows) create += "INSERT INTO " + table_ + " VALUES " + row + ";";
    ASSERT_EQ(Psql(create).status, 0);
    connection_ = std::make_unique<OdbcConnection>(Cluster().Connect(), false, 0);
    schema_ = std::make_unique<ServerSchema>(*connection_);

    engine_ = std::make_shared<DBEngine>("3.6");
    file_ = engine_->CreateDatabase(PathOf("rows.mdb"), dbLangGeneral, dbVersion40);
    file_->Execute("CREATE TABLE " + table_ + kFileColumns);
    for (const char* row : kRows) file_->Execute("INSERT INTO " + table_ + " VALUES " + row);
  }
  void TearDown() override {
    schema_.reset();
    connection_.reset();
    file_.reset();
    TempFolderTest::TearDown();
  }

  // The Jet text with T standing for the test's table.
  std::string Jet(const std::string& text) const {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == 'T' && (i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1]))) &&
          (i + 1 == text.size() || !std::isalnum(static_cast<unsigned char>(text[i + 1])))) {
        out += table_;
      } else {
        out += text[i];
      }
    }
    return out;
  }

  TranslatedStatement Translate(const std::string& jet) {
    TranslateOptions options;
    options.dialect = &PostgresDialect();
    options.schema = schema_.get();
    return TranslateStatement(Jet(jet), options);
  }

  // The rows the translated statement gives on the server, with values bound in order.
  Rows OnServer(const std::string& jet, const std::vector<Variant>& values = {}) {
    const TranslatedStatement translated = Translate(jet);
    lastSql_ = translated.sql;
    std::unique_ptr<storage::Statement> prepared = connection_->Prepare(translated.sql);
    auto* statement = static_cast<OdbcStatement*>(prepared.get());
    for (size_t i = 0; i < values.size(); ++i) {
      const Variant& v = values[i];
      const int index = static_cast<int>(i) + 1;
      if (v.IsNull()) {
        statement->BindNull(index);
      } else if (v.Type() == VarType::kDate) {
        statement->BindText(index, VariantText(v));  // the engine's stored form of a date
      } else if (v.Type() == VarType::kInteger || v.Type() == VarType::kInt64) {
        statement->BindInt64(index, v.AsInt64());
      } else {
        statement->BindText(index, v.AsString());
      }
    }
    Rows rows;
    while (statement->Step()) {
      std::vector<std::string> row;
      for (int c = 0; c < statement->ColumnCount(); ++c) {
        switch (statement->TypeOf(c)) {
          case ColumnType::Null: row.push_back("Null"); break;
          case ColumnType::Integer: row.push_back(std::to_string(statement->ColumnInt64(c))); break;
          case ColumnType::Float: row.push_back(NumberText(statement->ColumnDouble(c))); break;
          default: {
            const SQLSMALLINT type = statement->ColumnSqlType(c);
            // Exact numbers come as their digits ("12.5000").
            if (type == SQL_NUMERIC || type == SQL_DECIMAL) {
              row.push_back(NumberText(std::strtod(statement->ColumnText(c).c_str(), nullptr)));
            } else {
              row.push_back(Canonical(statement->ColumnText(c)));
            }
          }
        }
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  static Rows Read(Recordset& recordset) {
    Rows rows;
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
      std::vector<std::string> row;
      for (int c = 0; c < recordset.Fields().Count(); ++c)
        row.push_back(VariantText(recordset.Fields().Item(c)->Value()));
      rows.push_back(std::move(row));
    }
    return rows;
  }

  // The rows the engine gives for the same text on the file.
  Rows OnFile(const std::string& jet, const std::vector<Variant>& values = {}) {
    if (values.empty()) return Read(*file_->OpenRecordset(Jet(jet), dbOpenSnapshot));
    auto query = file_->CreateQueryDef("", Jet(jet));
    for (size_t i = 0; i < values.size(); ++i) query->Parameters().Item(static_cast<int>(i))->SetValue(values[i]);
    return Read(*query->OpenRecordset(dbOpenSnapshot));
  }

  // Both back-ends give the same rows (at least one unless mayBeEmpty).
  void ExpectSame(const std::string& jet, const std::vector<Variant>& values = {}, bool mayBeEmpty = false) {
    SCOPED_TRACE(jet);
    Rows file;
    Rows server;
    ASSERT_NO_THROW(file = OnFile(jet, values));
    try {
      server = OnServer(jet, values);
    } catch (const EOleException& error) {
      ADD_FAILURE() << error.Message() << "\nserver SQL: " << lastSql_;
      return;
    }
    if (!mayBeEmpty) {
      EXPECT_FALSE(file.empty());
    }
    EXPECT_EQ(server, file) << "server SQL: " << lastSql_;
  }

  std::string table_;
  std::unique_ptr<OdbcConnection> connection_;
  std::unique_ptr<ServerSchema> schema_;
  std::shared_ptr<DBEngine> engine_;
  std::shared_ptr<Database> file_;
  std::string lastSql_;
};

TEST_F(OdbcSqlTest, TextComparesWithoutRegardToCaseAsOnTheFile) {
  ExpectSame("SELECT id FROM T WHERE name = 'ANNA' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE 'anna' = name ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name = 'äRGER'");
  ExpectSame("SELECT id FROM T WHERE city = 'KÖLN' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE city <> 'berlin' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name < 'b' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name >= 'BERT' AND name < 'C' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name IN ('ANNA', 'carla') ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name NOT IN ('ANNA', 'carla') ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name BETWEEN 'AN' AND 'bz' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE UCase(name) = LCase(name) & 'x' OR LCase(city) = 'BERLIN' ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE city IN (SELECT UCase(city) FROM T WHERE id = 3) ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE name = ANY (SELECT UCase(name) FROM T WHERE id = 1) ORDER BY id");
  ExpectSame("SELECT id, name FROM T ORDER BY name, id");
  ExpectSame("SELECT DISTINCT city FROM T WHERE city = 'berlin' ORDER BY city");
}

// Jet finds names without regard to case; the server's quoted names keep theirs.
TEST_F(OdbcSqlTest, NamesAreSentAsTheServerSpellsThem) {
  ExpectSame("SELECT ID, Name FROM T WHERE CITY = 'berlin' ORDER BY T.Id");
  const std::string mixed = table_ + "_Mixed";
  ASSERT_EQ(Psql("DROP TABLE IF EXISTS \"" + mixed + "\"; CREATE TABLE \"" + mixed +
                 "\" (\"Id\" integer PRIMARY KEY, \"UserName\" varchar(20)); INSERT INTO \"" + mixed +
                 "\" VALUES (1, 'Ute'), (2, 'Uwe');")
                .status,
            0);
  EXPECT_EQ(OnServer("SELECT m.username FROM " + mixed + " AS m WHERE USERNAME Like 'u?e' AND m.ID = 2"),
            (Rows{{"Uwe"}}))
      << lastSql_;
  EXPECT_EQ(OnServer("SELECT " + mixed + ".username, ID FROM " + mixed + " WHERE USERNAME = 'UWE' OR id = 1 ORDER BY " +
                     "Username DESC"),
            (Rows{{"Uwe", "2"}, {"Ute", "1"}}))
      << lastSql_;
  ASSERT_NO_THROW(OnServer("UPDATE " + mixed + " SET username = 'Udo' WHERE ID = 1")) << lastSql_;
  ASSERT_NO_THROW(OnServer("INSERT INTO " + mixed + " (id, USERNAME) VALUES (3, 'Ulf')")) << lastSql_;
  EXPECT_EQ(Psql("SELECT \"Id\", \"UserName\" FROM \"" + mixed + "\" ORDER BY 1").output, "1|Udo\n2|Uwe\n3|Ulf\n");
  Psql("DROP TABLE \"" + mixed + "\"");
}

TEST_F(OdbcSqlTest, LikeTakesJetWildcardsWithoutRegardToCase) {
  for (const char* pattern :
       {"a*", "?NNA", "*#", "[a-b]*", "[!a]*", "B[*]rt", "*r?", "*[ä]*", "carla", "C*A", "*.*", "[]anna", "(*"}) {
    ExpectSame(std::string("SELECT id FROM T WHERE name Like '") + pattern + "' ORDER BY id", {}, true);
  }
  ExpectSame("SELECT id FROM T WHERE name Not Like '*a*' ORDER BY id");
  ExpectSame("SELECT id, name Like 'a*' FROM T ORDER BY id");
  // A pattern the statement only gets when it runs.
  ExpectSame("PARAMETERS [p] Text(50); SELECT id FROM T WHERE name Like [p] ORDER BY id", {Variant(std::string("b*"))});
  ExpectSame("PARAMETERS [p] Text(50); SELECT id FROM T WHERE name Like [p] ORDER BY id",
             {Variant(std::string("?nna"))});
}

TEST_F(OdbcSqlTest, OperatorsKeepJetsMeaning) {
  // & takes Null as "", + on texts joins them and passes Null on.
  ExpectSame("SELECT id, name & ' in ' & city, name + city, city & Null FROM T ORDER BY id");
  ExpectSame("SELECT id, n + 1, n - score, n * 2, n / 4, n \\ 2, n Mod 3, -n, 2 ^ n FROM T ORDER BY id");
  ExpectSame("SELECT id, amount + 1, amount * 3 FROM T ORDER BY id");
  ExpectSame("SELECT id, n & '' FROM T WHERE n > 2 ORDER BY id");
  ExpectSame("SELECT id, born + 1, born - 1.5 FROM T ORDER BY id");
  ExpectSame("SELECT id, Not n, n And 6, n Or 8, n Xor 1 FROM T WHERE n Is Not Null ORDER BY id");
}

TEST_F(OdbcSqlTest, TruthValuesAndDecisions) {
  ExpectSame("SELECT id FROM T WHERE active = True ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE active = False ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE active ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE Not active ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE active <> 0 ORDER BY id");
  ExpectSame("SELECT id, active, True, False, n > 2, IsNull(city), Not active FROM T ORDER BY id");
  ExpectSame("SELECT id, IIf(n > 2, 'big', 'small'), IIf(IsNull(city), '-', city) FROM T ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE IsNull(born) OR IIf(active, n, 0) ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE active IN (True) ORDER BY id");
}

TEST_F(OdbcSqlTest, TopKeepsTiesAndTakesAShare) {
  ExpectSame("SELECT TOP 2 id, n FROM T ORDER BY n DESC");  // ties with the second row
  ExpectSame("SELECT TOP 1 id FROM T ORDER BY id");
  ExpectSame("SELECT TOP 50 PERCENT id FROM T ORDER BY id");
  ExpectSame("SELECT name FROM T WHERE id IN (1, 3) UNION ALL SELECT city FROM T WHERE id = 2 ORDER BY 1");
  // Null sorts first, as on the file, in either direction.
  ExpectSame("SELECT id, born FROM T ORDER BY born, id");
  ExpectSame("SELECT id, city FROM T ORDER BY city DESC, id");
}

TEST_F(OdbcSqlTest, DatesAndTheirFunctions) {
  ExpectSame("SELECT id FROM T WHERE born = #3/15/1990 8:30:00# ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE born > #1/1/1990# AND born < #1/1/2001# ORDER BY id");
  ExpectSame("SELECT id FROM T WHERE born BETWEEN #1/1/2001# AND #1/1/1990# ORDER BY id");
  ExpectSame(
      "SELECT id, Year(born), Month(born), Day(born), Hour(born), Minute(born), Second(born), Weekday(born) "
      "FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, DateAdd('m', 1, born), DateAdd('d', -1, born), DateAdd('yyyy', 1, born), "
      "DateAdd('h', 36, born) FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, DateDiff('d', born, #1/1/2000#), DateDiff('m', born, #1/1/2000#), "
      "DateDiff('yyyy', born, #1/1/2000#), DateDiff('h', born, #1/1/2000#), DateDiff('ww', born, "
      "#1/1/2000#) FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, DatePart('q', born), DatePart('y', born), DatePart('ww', born), DatePart('w', born) FROM T "
      "ORDER BY id");
  ExpectSame(
      "SELECT id, Format(born, 'yyyy-mm-dd hh:nn'), Format(born, 'dd.mm.yy'), Format(score, '0.00') FROM T "
      "ORDER BY id");
  ExpectSame(
      "SELECT DateSerial(2024, 2, 30), DateSerial(2023, 14, 1), TimeSerial(25, 0, 0), DateValue(born) FROM T "
      "WHERE id = 1");
  // The clock: today's rows are none of these, and Now() lies after the last of them.
  ExpectSame("SELECT id FROM T WHERE born < Now() AND born < Date() AND Year(Now()) >= 2024 ORDER BY id");
}

TEST_F(OdbcSqlTest, TextFunctions) {
  ExpectSame(
      "SELECT id, Left(name, 2), Right(name, 3), Mid(name, 2), Mid(name, 2, 2), Len(name), UCase(name), "
      "LCase(name) FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, InStr(name, 'N'), InStr(2, name, 'n'), InStr(1, name, 'N', 0), Trim('  ' & name & ' ') "
      "FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, StrComp(name, 'ANNA'), Space(2) & name, String(3, 'x'), Replace(name, 'n', '_'), "
      "StrReverse(name) FROM T ORDER BY id");
  ExpectSame(
      "SELECT id, InStrRev(name, 'N'), InStrRev(name, ''), Val(name), Val(' 1 2.5e1x'), Val(n) FROM T "
      "ORDER BY id");
  ExpectSame(
      "SELECT MonthName(2), MonthName(12, True), WeekdayName(1), WeekdayName(2, True), WeekdayName(1, False, 2) "
      "FROM T WHERE id = 1");
  ExpectSame(
      "SELECT id, CInt(score), CLng(n * 1.5), CDbl(amount), CStr(n), Int(score), Fix(score), Abs(score), "
      "Sgn(score), Round(score) FROM T ORDER BY id");
}

TEST_F(OdbcSqlTest, AggregatesAndGroups) {
  ExpectSame("SELECT Count(*), Count(city), Sum(n), Avg(score), Min(name), Max(born), Sum(amount) FROM T");
  ExpectSame("SELECT city, Count(*) AS c, Sum(n) FROM T WHERE city <> 'köln' GROUP BY city ORDER BY city");
  ExpectSame("SELECT n, Count(*) FROM T GROUP BY n HAVING Count(*) > 1");
  ExpectSame("SELECT StDev(score), StDevP(score), Var(score), VarP(score) FROM T");
}

TEST_F(OdbcSqlTest, ParametersAreBoundAsTheStatementsParameters) {
  const std::string jet =
      "PARAMETERS [who] Text(50), [least] Long; SELECT id FROM T WHERE name = [who] AND n >= [least] ORDER BY id";
  const TranslatedStatement translated = Translate(jet);
  ASSERT_EQ(translated.parameters.size(), 2u);
  EXPECT_EQ(translated.parameters[0].name, "who");
  ExpectSame(jet, {Variant(std::string("ANNA")), Variant(int32_t{2})});
  EXPECT_EQ(OnServer(jet, {Variant(std::string("ANNA")), Variant(int32_t{2})}), (Rows{{"1"}}));
  EXPECT_EQ(OnServer(jet, {Variant(std::string("nobody")), Variant(int32_t{0})}), Rows{});
  // A number given as text is the declared number.
  EXPECT_EQ(OnServer(jet, {Variant(std::string("anna")), Variant(std::string("1"))}), (Rows{{"1"}, {"2"}}));
  // Bounds that come in either order.
  ExpectSame("PARAMETERS [a] DateTime, [b] DateTime; SELECT id FROM T WHERE born BETWEEN [a] AND [b] ORDER BY id",
             {Variant::FromDate(EncodeDate(2000, 1, 1)), Variant::FromDate(EncodeDate(1990, 1, 1))});
}

TEST_F(OdbcSqlTest, FunctionsWithoutAServerFormAreUndefined) {
  // Nz is not Jet's (plain DAO has no such function), on either back-end.
  EXPECT_EQ(DaoNumberOf([&] { OnFile("SELECT Nz(city, '-') FROM T"); }), 3085);
  EXPECT_EQ(DaoNumberOf([&] { OnServer("SELECT Nz(city, '-') FROM T"); }), 3085);
  // Jet has these, the server form does not: a DAO error naming the function, not the server's.
  for (const char* jet : {"SELECT IsDate(name) FROM T", "SELECT Format(born, 'Long Date') FROM T",
                          "SELECT Oct(n) FROM T", "SELECT DateAdd(city, 1, born) FROM T"}) {
    SCOPED_TRACE(jet);
    std::string message;
    EXPECT_EQ(DaoNumberOf([&] { OnServer(jet); }), 3085);
    try {
      Translate(jet);
    } catch (const EOleException& error) {
      message = error.Message();
    }
    EXPECT_NE(message.find("Undefined function '"), std::string::npos) << message;
  }
}

TEST_F(OdbcSqlTest, TruthValuesAreWrittenIntoTheServersBooleans) {
  auto run = [&](const std::string& jet) {
    const TranslatedStatement translated = Translate(jet);
    auto statement = connection_->Prepare(translated.sql);
    EXPECT_FALSE(statement->Step()) << translated.sql;
  };
  run("INSERT INTO T (id, name, active) VALUES (10, 'Dora', True)");
  run("INSERT INTO T (id, name, active) VALUES (11, 'Emil', 0)");
  run("UPDATE T SET active = Not active, city = name & '!' WHERE name = 'ANNA'");
  auto read = Psql("SELECT id, active, city FROM " + table_ + " WHERE id IN (1, 2, 10, 11) ORDER BY id");
  EXPECT_EQ(read.output, "1|f|Anna!\n2|t|anna!\n10|t|\n11|f|\n");
}

// The regular expression a literal pattern becomes: what the server's expression language
// would read as its own is escaped.
TEST(PostgresLikeRegex, EscapesTheServersOwnSyntax) {
  EXPECT_EQ(PostgresLikeRegex("a*b?c#"), "^(?:a.*b.c[0-9])$");
  EXPECT_EQ(PostgresLikeRegex("1.5+(x)|$^\\{}"), "^(?:1\\.5\\+\\(x\\)\\|\\$\\^\\\\\\{\\})$");
  EXPECT_EQ(PostgresLikeRegex("[!a-c][*][]x[!]"), "^(?:[^a-c][*]x.)$");
  EXPECT_EQ(PostgresLikeRegex("[\\^-]"), "^(?:[\\\\\\^\\-])$");
  EXPECT_EQ(PostgresLikeRegex("[a"), std::nullopt);
  EXPECT_EQ(PostgresLikeRegex("[z-a]"), std::nullopt);
}

}  // namespace
}  // namespace lumo::jet::odbc
