// Text compares as Jet compares it: every letter without regard to case, not only ASCII ones
// (KÖLN = Köln, éMILE = Émile, МОСКВА = Москва), in criteria, sorts, unique indexes and Seek;
// comparisons on an indexed column still use the index, and the file stays an ordinary one
// for the stock shell.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "jet/Field.h"
#include "jet/Parameter.h"
#include "jet/QueryDef.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctions.h"
#include "tests/jet/RecordsetTestSupport.h"

namespace lumo::jet::testing {
namespace {

class TextComparisonTest : public RecordsetTestBase {
 protected:
  void SetUp() override {
    RecordsetTestBase::SetUp();
    Execute("CREATE TABLE Cities (ID LONG CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(50))");
    Execute("CREATE INDEX ByName ON Cities (Name)");
    const std::vector<std::string> names = {"Köln", "KÖLN",   "Kobe",   "Kø",     "Émile", "émile",
                                            "Anna", "Москва", "МОСКВА", "Zürich", "zz",    "Ωmega"};
    for (size_t i = 0; i < names.size(); ++i) {
      Execute("INSERT INTO Cities VALUES (" + std::to_string(i + 1) + ", '" + names[i] + "')");
    }
  }

  std::vector<std::string> Names(const std::string& sql) {
    auto recordset = Open(sql, dbOpenSnapshot);
    return ReadOn(*recordset, "Name");
  }
};

TEST_F(TextComparisonTest, CriteriaIgnoreTheCaseOfEveryLetter) {
  struct Case {
    const char* where;
    std::vector<std::string> names;  // in ID order
  };
  const std::vector<Case> cases = {
      {"Name = 'köln'", {"Köln", "KÖLN"}},
      {"Name = 'KÖLN'", {"Köln", "KÖLN"}},
      {"'KÖLN' = Name", {"Köln", "KÖLN"}},
      {"Name = 'éMILE'", {"Émile", "émile"}},
      {"Name = 'москва'", {"Москва", "МОСКВА"}},
      {"Name = 'ANNA'", {"Anna"}},
      {"Name = 'ΩMEGA'", {"Ωmega"}},
      {"Name <> 'köln' AND Name < 'L'", {"Kobe", "Kø", "Anna"}},
      // Jet's order: ö (U+00F6) before ø (U+00F8), whatever the case.
      {"Name > 'KÖLN' AND Name < 'Kz'", {}},
      {"Name >= 'KÖLN' AND Name < 'L'", {"Köln", "KÖLN", "Kø"}},
      {"Name < 'KØ' AND Name > 'KOBE'", {"Köln", "KÖLN"}},
      {"Name <= 'köln' AND Name >= 'kÖln'", {"Köln", "KÖLN"}},
      {"Name BETWEEN 'émile' AND 'ÉMILE'", {"Émile", "émile"}},
      {"Name BETWEEN 'ZÜRICH' AND 'Zz'", {"Zürich", "zz"}},
      {"Name IN ('KÖLN', 'anna')", {"Köln", "KÖLN", "Anna"}},
      {"Name NOT IN ('KÖLN', 'anna', 'Ωmega') AND Name < 'L'", {"Kobe", "Kø"}},
      {"UCase(Name) = 'köln'", {"Köln", "KÖLN"}},
      {"Name & '' = 'KÖLN'", {"Köln", "KÖLN"}},
      {"Name Like 'kö*'", {"Köln", "KÖLN"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    EXPECT_EQ(Names(std::string("SELECT Name FROM Cities WHERE ") + c.where + " ORDER BY ID"), c.names);
  }
}

TEST_F(TextComparisonTest, ParametersJoinsAndSubqueriesCompareAlike) {
  auto query =
      database_->CreateQueryDef("", "PARAMETERS [city] Text; SELECT Name FROM Cities WHERE Name = [city] ORDER BY ID");
  query->Parameters().Item("city")->SetValue(Variant("KÖLN"));
  EXPECT_EQ(ReadOn(*query->OpenRecordset(dbOpenSnapshot), "Name"), (std::vector<std::string>{"Köln", "KÖLN"}));
  query->Parameters().Item("city")->SetValue(Variant("anna"));
  EXPECT_EQ(ReadOn(*query->OpenRecordset(dbOpenSnapshot), "Name"), (std::vector<std::string>{"Anna"}));
  auto range = database_->CreateQueryDef(
      "", "PARAMETERS [from] Text; SELECT Name FROM Cities WHERE Name >= [from] AND Name < 'L' ORDER BY ID");
  range->Parameters().Item("from")->SetValue(Variant("KÖLN"));
  EXPECT_EQ(ReadOn(*range->OpenRecordset(dbOpenSnapshot), "Name"), (std::vector<std::string>{"Köln", "KÖLN", "Kø"}));

  Execute("CREATE TABLE Visits (City TEXT(50))");
  Execute("INSERT INTO Visits VALUES ('KÖLN')");
  Execute("INSERT INTO Visits VALUES ('ÉMILE')");
  EXPECT_EQ(Names("SELECT Name FROM Cities INNER JOIN Visits ON Cities.Name = Visits.City ORDER BY ID"),
            (std::vector<std::string>{"Köln", "KÖLN", "Émile", "émile"}));
  EXPECT_EQ(Names("SELECT Name FROM Cities WHERE Name IN (SELECT City FROM Visits) ORDER BY ID"),
            (std::vector<std::string>{"Köln", "KÖLN", "Émile", "émile"}));
  EXPECT_EQ(Names("SELECT Name FROM Cities WHERE Name = ANY (SELECT City FROM Visits) ORDER BY ID"),
            (std::vector<std::string>{"Köln", "KÖLN", "Émile", "émile"}));
}

TEST_F(TextComparisonTest, SortsAndGroupsTreatBothCasesAsOne) {
  // Köln and KÖLN are one value, sorted by ID between them; ø comes after ö.
  EXPECT_EQ(Names("SELECT Name FROM Cities WHERE Name Like 'k*' ORDER BY Name, ID DESC"),
            (std::vector<std::string>{"Kobe", "KÖLN", "Köln", "Kø"}));
  // Jet's order is the letters' order: é (U+00E9) after z.
  EXPECT_EQ(Names("SELECT Name FROM Cities WHERE Name > 'Z' ORDER BY Name DESC, ID"),
            (std::vector<std::string>{"Москва", "МОСКВА", "Ωmega", "Émile", "émile", "Zürich", "zz"}));
  auto grouped =
      Open("SELECT LCase(Name) AS L, Count(*) AS N FROM Cities WHERE Name Like 'k*' GROUP BY Name ORDER BY Name",
           dbOpenSnapshot);
  std::vector<std::string> groups;
  for (; !grouped->IsEOF(); grouped->MoveNext()) {
    groups.push_back(VarToStr(Value(*grouped, "L")) + ":" + VarToStr(Value(*grouped, "N")));
  }
  EXPECT_EQ(groups, (std::vector<std::string>{"kobe:1", "köln:2", "kø:1"}));
  // A dynaset in that order reads its keys in chunks, continuing by the same comparison.
  auto sorted = Open("SELECT * FROM Cities ORDER BY Name, ID", dbOpenDynaset);
  EXPECT_EQ(ReadOn(*sorted, "Name"), (std::vector<std::string>{"Anna", "Kobe", "Köln", "KÖLN", "Kø", "zz", "Zürich",
                                                               "Émile", "émile", "Ωmega", "Москва", "МОСКВА"}));
}

TEST_F(TextComparisonTest, FindFilterAndSeekFindEveryCase) {
  auto dynaset = Open("Cities", dbOpenDynaset);
  dynaset->FindFirst("Name = 'KÖLN'");
  ASSERT_FALSE(dynaset->NoMatch());
  EXPECT_EQ(IdOf(*dynaset), 1);
  dynaset->FindNext("Name = 'köln'");
  ASSERT_FALSE(dynaset->NoMatch());
  EXPECT_EQ(IdOf(*dynaset), 2);
  auto snapshot = Open("SELECT * FROM Cities ORDER BY ID", dbOpenSnapshot);
  snapshot->FindLast("Name = 'ÉMILE'");
  ASSERT_FALSE(snapshot->NoMatch());
  EXPECT_EQ(IdOf(*snapshot), 6);
  dynaset->SetFilter("Name = 'МОСКВА'");
  EXPECT_EQ(ReadOn(*dynaset->OpenRecordset(), "ID"), (std::vector<std::string>{"8", "9"}));

  auto table = Open("Cities", dbOpenTable);
  table->SetIndex("ByName");
  table->Seek("=", {Variant("ZÜRICH")});
  ASSERT_FALSE(table->NoMatch());
  EXPECT_EQ(IdOf(*table), 10);
  // The first of both in the index's order.
  table->Seek("=", {Variant("éMILE")});
  ASSERT_FALSE(table->NoMatch());
  EXPECT_EQ(IdOf(*table), 5);
  table->Seek("=", {Variant("Kö")});
  EXPECT_TRUE(table->NoMatch());
}

TEST_F(TextComparisonTest, UniqueIndexesRefuseTheOtherCase) {
  Execute("CREATE TABLE People (Name TEXT(50) CONSTRAINT PrimaryKey PRIMARY KEY, Town TEXT(20))");
  Execute("CREATE UNIQUE INDEX Person ON People (Town)");
  Execute("INSERT INTO People VALUES ('Émile', 'Köln')");
  const std::string duplicate =
      "The changes you requested to the table were not successful because they would create duplicate values in "
      "the index, primary key, or relationship. Change the data in the field or fields that contain duplicate "
      "data, remove the index, or redefine the index to permit duplicate values and try again";
  struct Case {
    const char* sql;
    int number;
  };
  const std::vector<Case> cases = {
      {"INSERT INTO People VALUES ('éMILE', 'Bonn')", 3022},
      {"INSERT INTO People VALUES ('EMILE', 'Bonn')", 0},
      {"INSERT INTO People VALUES ('Anna', 'KÖLN')", 3022},
      {"INSERT INTO People VALUES ('Anna', 'köln')", 3022},
      {"INSERT INTO People VALUES ('Anna', 'KOELN')", 0},
      {"UPDATE People SET Town = 'KÖLN' WHERE Name = 'Anna'", 3022},
      {"UPDATE People SET Town = 'KÖLN' WHERE Name = 'émile'", 0},  // the row's own key
      {"UPDATE People SET Name = 'ÉMILE' WHERE Name = 'Anna'", 3022},
      {"INSERT INTO People SELECT 'ANNA', 'Paris' FROM Cities WHERE ID = 1", 3022},  // NOCASE's own rule
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(DaoNumberOf([&] { Execute(c.sql); }), c.number);
    if (c.number == 3022) {
      EXPECT_EQ(DaoMessageOf([&] { Execute(c.sql); }), duplicate);
    }
  }
  // The recordset's write-back is refused alike.
  auto people = Open("People", dbOpenDynaset);
  people->AddNew();
  people->Fields().Item("Name")->SetValue(Variant("Zoë"));
  people->Fields().Item("Town")->SetValue(Variant("KöLN"));
  EXPECT_EQ(DaoNumberOf([&] { people->Update(); }), 3022);
  people->CancelUpdate();
  // The file holds an ordinary NOCASE index that the stock shell finds consistent.
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(StockShell(path_, "SELECT Name, Town FROM People ORDER BY Name"), "Anna|KOELN\nEMILE|Bonn\nÉmile|KÖLN\n");
  EXPECT_EQ(DaoNumberOf([&] { Execute("DROP INDEX Person ON People"); }), 0);
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO People VALUES ('Bea', 'köln')"); }), 0);
}

TEST_F(TextComparisonTest, SystemTablesRefuseTheOtherCaseOnceTheTableListIsRead) {
  // Listing the tables reads no table's definition; a write to a system table still meets the
  // refusal of a key that folds like another row's.
  database_->Close();
  database_ = BackEnd().open(engine_, path_);
  ASSERT_GE(database_->TableDefs().Count(), 5);
  Execute("INSERT INTO MSysObjects (Name, Type) VALUES ('Köln', 1)");
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO MSysObjects (Name, Type) VALUES ('KÖLN', 1)"); }), 3022);
  auto objects = Open("MSysObjects", dbOpenDynaset);
  objects->AddNew();
  objects->Fields().Item("Name")->SetValue(Variant("KöLN"));
  EXPECT_EQ(DaoNumberOf([&] { objects->Update(); }), 3022);
  objects->CancelUpdate();
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM MSysObjects WHERE Name LIKE 'K_ln'"), "1\n");
}

TEST_F(TextComparisonTest, TheCatalogueKeepsItsOwnRowsOfATableNamedBeyondAscii) {
  Execute("CREATE TABLE Größe (a LONG)");
  // A new connection whose reads of the system tables give them their triggers before the
  // catalogue upserts its rows of Größe (the object, an index's flags, a field's property).
  database_->Close();
  database_ = BackEnd().open(engine_, path_);
  for (const char* table : {"MSysObjects", "MSysIndexes", "MSysProperties"}) {
    Open(std::string("SELECT * FROM ") + table + " WHERE 1 = 0", dbOpenSnapshot);
  }
  const auto ok = [&](const std::string& sql) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(DaoNumberOf([&] { Execute(sql); }), 0);
  };
  ok("ALTER TABLE Größe ADD COLUMN b LONG");
  ok("CREATE UNIQUE INDEX Maß ON Größe (b)");
  ok("ALTER TABLE Größe DROP COLUMN a");
  auto field = database_->TableDefs().Item("Größe")->Fields().Item("b");
  field->Properties().Append(database_->CreateProperty("Caption", dbText, Variant("Höhe")));
  field->Properties().Item("Caption")->SetValue(Variant("Breite"));
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM MSysObjects WHERE Name = 'Größe'"), "1\n");
  EXPECT_EQ(StockShell(path_, "SELECT Value FROM MSysProperties WHERE ObjectName = 'Größe' AND Name = 'Caption'"),
            "Breite\n");

  // The triggers still refuse a key that only the case of a letter beyond ASCII sets apart,
  // and the index its own duplicates, whatever letters they hold; ß has no capital of one letter.
  struct Case {
    const char* sql;
    int number;
  };
  const std::vector<Case> cases = {
      {"INSERT INTO MSysObjects (Name, Type) VALUES ('GRÖßE', 1)", 3022},
      {"INSERT INTO MSysObjects (Name, Type) VALUES ('grÖße', 1)", 3022},
      {"INSERT INTO MSysObjects (Name, Type) VALUES ('GRÖSSE', 1)", 0},
      {"INSERT INTO MSysObjects (Name, Type) VALUES ('GRößE', 1)", 3022},  // the index's own
      {"UPDATE MSysObjects SET Name = 'gröSSe' WHERE Name = 'Größe'", 3022},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(DaoNumberOf([&] { Execute(c.sql); }), c.number);
  }
  Execute("CREATE TABLE Names (Name TEXT(20) CONSTRAINT PrimaryKey PRIMARY KEY)");
  Execute("INSERT INTO Names VALUES ('Ärzte')");
  for (const char* name : {"äRZTE", "ÄRZTE", "ärzte"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DaoNumberOf([&] { Execute(std::string("INSERT INTO Names VALUES ('") + name + "')"); }), 3022);
  }
  auto names = Open("Names", dbOpenDynaset);
  names->AddNew();
  names->Fields().Item("Name")->SetValue(Variant("äRzte"));
  EXPECT_EQ(DaoNumberOf([&] { names->Update(); }), 3022);
  names->CancelUpdate();
  EXPECT_EQ(StockShell(path_, "SELECT Name FROM Names"), "Ärzte\n");
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
}

TEST_F(TextComparisonTest, TheStockShellReadsTheIndexAsTheEngineWrites) {
  EXPECT_EQ(StockShell(path_, "PRAGMA integrity_check"), "ok\n");
  // The shell's look-ups through the index find what its scans find.
  for (const char* where : {"Name = 'KÖLN'", "Name = 'Köln'", "Name >= 'K' AND Name < 'L'", "Name = 'anna'"}) {
    SCOPED_TRACE(where);
    const std::string indexed = StockShell(
        path_, std::string("SELECT ID FROM Cities INDEXED BY 'Cities.ByName' WHERE ") + where + " ORDER BY ID");
    const std::string scanned =
        StockShell(path_, std::string("SELECT ID FROM Cities NOT INDEXED WHERE ") + where + " ORDER BY ID");
    EXPECT_EQ(indexed, scanned);
    EXPECT_FALSE(indexed.empty());
  }
}

// The translator's comparisons of an indexed text column, run on a connection of the engine's
// kind: SQLite's plan searches the index, whatever the case of the letters.
class TextComparisonPlanTest : public TextComparisonTest {
 protected:
  class Schema : public JetSqlSchema {
   public:
    const std::vector<SchemaColumn>* Columns(std::string_view table) override {
      return table == "Cities" ? &columns_ : nullptr;
    }
    std::vector<SchemaColumn> columns_ = {{"ID", DefaultFieldType(dbLong), true},
                                          {"Name", DefaultFieldType(dbText), true}};
  };

  std::string Plan(const std::string& jetSql) {
    TranslateOptions options;
    options.schema = &schema_;
    options.knownParameters = {"p"};
    const std::string sql = "EXPLAIN QUERY PLAN " + TranslateStatement(jetSql, options).sql;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(RegisterJetFunctions(db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    std::string plan;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql << sqlite3_errmsg(db);
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
      plan += reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
      plan += "\n";
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return plan;
  }

  Schema schema_;
};

TEST_F(TextComparisonPlanTest, ComparisonsOnAnIndexedColumnSearchTheIndex) {
  for (const char* where : {"Name = 'KÖLN'", "Name = 'anna'", "Name = p", "Name > 'KÖLN'", "Name <= 'Köln'",
                            "Name BETWEEN 'Émile' AND 'Köln'", "'köln' = Name"}) {
    SCOPED_TRACE(where);
    const std::string plan = Plan(std::string("SELECT Name FROM Cities WHERE ") + where);
    EXPECT_NE(plan.find("SEARCH Cities USING COVERING INDEX Cities.ByName (Name"), std::string::npos) << plan;
  }
}

// The bounds by which the index finds the candidates of Jet's comparison hold for every letter
// the engine folds: a letter and its other case are the only ones that fold alike, and only
// ASCII letters fold to ASCII.
TEST(TextFoldingTest, FoldingKeepsTheBoundsOfTheIndex) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const char32_t folded = FoldCase(c);
    if (c >= 0x80) {
      ASSERT_GE(folded, 0x80u) << std::hex << static_cast<uint32_t>(c);
    }
    if (folded != c) {
      ASSERT_EQ(FoldCase(folded), folded) << std::hex << static_cast<uint32_t>(c);
      ASSERT_EQ(ToUpperCodePoint(folded), c) << std::hex << static_cast<uint32_t>(c);
    }
  }
  EXPECT_EQ(CompareTextFolded("KÖLN", "Köln"), 0);
  EXPECT_LT(CompareTextFolded("Köln", "KØ"), 0);
  EXPECT_GT(CompareTextFolded("Köln", "KOLN"), 0);
  EXPECT_LT(CompareTextFolded("abc", "ABCD"), 0);
  EXPECT_EQ(FirstFoldVariant("Köln"), "kÖln");
  EXPECT_EQ(LastFoldVariant("KÖLN"), "köln");
  EXPECT_EQ(FoldFloor("KÖLN"), "k");
  EXPECT_EQ(FoldCeiling("KÖLN"), std::optional<std::string>("l"));
  EXPECT_EQ(FoldCeiling("Émile"), std::nullopt);
  EXPECT_TRUE(HasFoldVariants("Ωmega"));
  EXPECT_FALSE(HasFoldVariants("€ 5, ASCII"));
}

}  // namespace
}  // namespace lumo::jet::testing
