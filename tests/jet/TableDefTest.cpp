#include "jet/TableDef.h"

#include <gtest/gtest.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Recordset.h"
#include "runtime/DateTime.h"
#include "tests/jet/BackEndTestSupport.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;
using testing::StockShell;

class TableDefTestFixture : public testing::TempFolderTest {
 protected:
  // The back-end the test runs on: the file back-end, unless the fixture runs on each.
  virtual const testing::BackEndCase& BackEnd() const {
    static const testing::BackEndCase file = testing::FileBackEnd();
    return file;
  }

  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = BackEnd().locate(folder_, "a");
    database_ = BackEnd().create(engine_, path_);
  }
  // SQL run on the database by another program.
  std::string Outside(const std::string& sql) const { return BackEnd().outside(path_, sql); }
  // A table the way a program designs one through the object model.
  std::shared_ptr<TableDef> DesignPeople() {
    auto table = database_->CreateTableDef("People");
    auto id = table->CreateField("ID", dbLong);
    id->SetAttributes(dbAutoIncrField);
    table->Fields().Append(id);
    auto name = table->CreateField("Name", dbText, 30);
    name->SetRequired(true);
    table->Fields().Append(name);
    auto born = table->CreateField("Born", dbDate);
    born->SetDefaultValue("#1/1/2000#");
    table->Fields().Append(born);
    table->Fields().Append(table->CreateField("Notes", dbMemo));
    auto primary = table->CreateIndex("PrimaryKey");
    primary->SetPrimary(true);
    primary->Fields().Append(primary->CreateField("ID"));
    table->Indexes().Append(primary);
    auto byName = table->CreateIndex("ByName");
    byName->SetUnique(true);
    auto nameField = byName->CreateField("Name");
    nameField->SetAttributes(dbDescending);
    byName->Fields().Append(nameField);
    table->Indexes().Append(byName);
    return table;
  }
  std::shared_ptr<Database> Reopen() {
    database_->Close();
    database_ = BackEnd().open(engine_, path_);
    return database_;
  }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

// Runs on every storage back-end.
class TableDefTest : public testing::OnEachBackEnd<TableDefTestFixture> {};
// Looks at the file's own schema tables and the stock shell's functions.
class TableDefTestOnFile : public TableDefTestFixture {};
#ifdef LUMO_TEST_ON_SERVER
// What a server's database has instead.
class TableDefTestOnServer : public TableDefTestFixture {
 protected:
  const testing::BackEndCase& BackEnd() const override {
    static const testing::BackEndCase server = testing::ServerBackEnd();
    return server;
  }
};
#endif

TEST_F(TableDefTestOnFile, SystemTablesCarryTheSystemAttributes) {
  database_->Execute("CREATE TABLE Logon (ID COUNTER, Username TEXT(50))");
  std::vector<std::string> visible;
  for (const auto& table : database_->TableDefs()) {
    if ((table->Attributes() & dbSystemObject) == 0) visible.push_back(table->Name());
  }
  EXPECT_EQ(visible, std::vector<std::string>{"Logon"});
  // DAO lists tables by name, without regard to case, the system tables among them.
  database_->Execute("CREATE TABLE zeta (a LONG)");
  database_->Execute("CREATE TABLE Alpha (a LONG)");
  std::vector<std::string> names;
  for (const auto& table : database_->TableDefs()) names.push_back(table->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Logon", "MSysIndexes", "MSysObjects", "MSysProperties",
                                             "MSysQueries", "MSysRowCounts", "zeta"}));
  EXPECT_EQ(database_->TableDefs().Item("msysqueries")->Attributes(), static_cast<int32_t>(0x80000002u));
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("Nothing"); }), 3265);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item(99); }), 3265);
}

TEST_F(TableDefTestOnFile, AppendedDesignIsATableThatReadsBackTheSame) {
  database_->TableDefs().Append(DesignPeople());
  EXPECT_EQ(StockShell(path_, "SELECT sql FROM sqlite_master WHERE name = 'People'"),
            "CREATE TABLE \"People\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Name\" VARCHAR(30) COLLATE NOCASE "
            "NOT NULL, \"Born\" DATETIME DEFAULT '2000-01-01 00:00:00.000', \"Notes\" TEXT COLLATE NOCASE)\n");
  EXPECT_EQ(StockShell(path_, "INSERT INTO People (Name) VALUES ('x'); SELECT ID, Born FROM People"),
            "1|2000-01-01 00:00:00.000\n");

  auto people = Reopen()->TableDefs().Item("people");
  EXPECT_EQ(people->Name(), "People");
  EXPECT_EQ(people->Attributes(), 0);
  EXPECT_EQ(people->RecordCount(), 1);
  EXPECT_EQ(people->DateCreated().Type(), VarType::kDate);
  Collection<Field>& fields = people->Fields();
  ASSERT_EQ(fields.Count(), 4);
  EXPECT_EQ(fields.Item("ID")->Type(), dbLong);
  EXPECT_EQ(fields.Item("ID")->Attributes(), dbFixedField | dbAutoIncrField);
  EXPECT_FALSE(fields.Item("ID")->DataUpdatable());
  EXPECT_EQ(fields.Item("Name")->Type(), dbText);
  EXPECT_EQ(fields.Item("Name")->Size(), 30);
  EXPECT_EQ(fields.Item("Name")->Attributes(), dbVariableField | dbUpdatableField);
  EXPECT_TRUE(fields.Item("Name")->Required());
  EXPECT_EQ(fields.Item("Born")->DefaultValue(), "#1/1/2000#");
  EXPECT_EQ(fields.Item("Notes")->Type(), dbMemo);
  EXPECT_EQ(fields.Item("Notes")->Size(), 0);
  EXPECT_EQ(fields.Item(3)->OrdinalPosition(), 3);

  Collection<Index>& indexes = people->Indexes();
  ASSERT_EQ(indexes.Count(), 2);
  auto primary = indexes.Item("PrimaryKey");
  EXPECT_TRUE(primary->Primary());
  EXPECT_TRUE(primary->Unique());
  EXPECT_EQ(primary->Fields().Item(0)->Name(), "ID");
  auto byName = indexes.Item("ByName");
  EXPECT_FALSE(byName->Primary());
  EXPECT_TRUE(byName->Unique());
  EXPECT_EQ(byName->Fields().Item(0)->Attributes(), dbDescending);
  EXPECT_EQ(DaoNumberOf([&] { byName->SetUnique(false); }), 3219);
}

TEST_F(TableDefTestOnFile, IdleWithRefreshCacheSeesWhatAnotherProgramChangedInTheCatalogue) {
  database_->TableDefs().Append(DesignPeople());
  auto people = database_->TableDefs().Item("People");
  const double created = people->DateCreated().AsDateTime();
  const auto yearOf = [&] { return SplitDateTime(people->LastUpdated().AsDateTime()).Year; };
  const auto stampOutside = [&](int year) {
    EXPECT_EQ(Outside("UPDATE MSysObjects SET DateUpdated = '" + std::to_string(year) +
                      "-02-03 04:05:06.000' WHERE Name = 'People'"),
              "");
  };
  stampOutside(2001);
  EXPECT_NE(yearOf(), 2001);  // the catalogue answers from what it read until the engine idles
  engine_.Idle(dbRefreshCache);
  EXPECT_EQ(yearOf(), 2001);
  // This connection's own commits in between do not hide another's.
  database_->Execute("INSERT INTO People (Name) VALUES ('Anna')");
  engine_.Idle(dbRefreshCache);
  EXPECT_EQ(yearOf(), 2001);
  stampOutside(2002);
  database_->Execute("INSERT INTO People (Name) VALUES ('Bert')");
  engine_.Idle(dbRefreshCache);
  EXPECT_EQ(yearOf(), 2002);
  // Idle before the other program's commit, a question after it: the answer is current.
  engine_.Idle(dbRefreshCache);
  stampOutside(2003);
  EXPECT_EQ(yearOf(), 2003);
  EXPECT_EQ(people->DateCreated().AsDateTime(), created);
}

TEST_F(TableDefTestOnFile, AppendRefusesDesignsJetRefuses) {
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Append(database_->CreateTableDef("Empty")); }), 3264);
  database_->TableDefs().Append(DesignPeople());
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Append(DesignPeople()); }), 3010);
  auto twice = database_->CreateTableDef("Twice");
  twice->Fields().Append(twice->CreateField("a", dbLong));
  EXPECT_EQ(DaoNumberOf([&] { twice->Fields().Append(twice->CreateField("A", dbText)); }), 3367);
  auto twoKeys = database_->CreateTableDef("TwoKeys");
  twoKeys->Fields().Append(twoKeys->CreateField("a", dbLong));
  for (const char* name : {"k1", "k2"}) {
    auto index = twoKeys->CreateIndex(name);
    index->SetPrimary(true);
    index->Fields().Append(index->CreateField("a"));
    twoKeys->Indexes().Append(index);
  }
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Append(twoKeys); }), 3283);
  EXPECT_EQ(DaoNumberOf([&] { twoKeys->CreateField("t", 99); }), 3259);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("People")->SetName("Persons"); }), 3219);
  // Nothing of the refused tables reached the file.
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM sqlite_master WHERE name IN ('Empty', 'Twice', 'TwoKeys')"), "0\n");
}

TEST_F(TableDefTestOnFile, FieldsOfATableChangeTheFileAtOnce) {
  database_->TableDefs().Append(DesignPeople());
  auto people = database_->TableDefs().Item("People");
  auto city = people->CreateField("City", dbText, 40);
  people->Fields().Append(city);
  EXPECT_EQ(people->Fields().Count(), 5);
  EXPECT_EQ(StockShell(path_, "SELECT type FROM pragma_table_info('People') WHERE name = 'City'"), "VARCHAR(40)\n");
  EXPECT_EQ(DaoNumberOf([&] { people->Fields().Append(people->CreateField("city", dbLong)); }), 3380);
  // A field an index uses cannot go; another can.
  EXPECT_EQ(DaoNumberOf([&] { people->Fields().Delete("Name"); }), 3280);
  people->Fields().Delete("Notes");
  EXPECT_EQ(people->Fields().Count(), 4);
  EXPECT_EQ(DaoNumberOf([&] { people->Fields().Delete("Notes"); }), 3265);
  EXPECT_EQ(DaoNumberOf([&] { people->Fields().Item("City")->SetSize(10); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { people->Fields().Item("City")->Value(); }), 3219);
}

TEST_F(TableDefTestOnFile, RequiredCounterAddedToATableWithRows) {
  database_->Execute("CREATE TABLE Logon (Username TEXT(50))");
  database_->Execute("INSERT INTO Logon (Username) VALUES ('a')");
  database_->Execute("INSERT INTO Logon (Username) VALUES ('b')");
  database_->Execute("ALTER TABLE Logon ADD COLUMN Nr COUNTER");
  database_->Execute("ALTER TABLE Logon ADD COLUMN Site TEXT(10) NOT NULL");
  database_->Execute("INSERT INTO Logon (Username, Site) VALUES ('c', 'x')");
  EXPECT_EQ(StockShell(path_, "SELECT group_concat(Username || Nr) FROM Logon"), "a1,b2,c3\n");
  auto logon = database_->TableDefs().Item("Logon");
  EXPECT_EQ(logon->Fields().Item("Nr")->Attributes() & dbAutoIncrField, dbAutoIncrField);
  EXPECT_TRUE(logon->Fields().Item("Site")->Required());
}

TEST_F(TableDefTestOnFile, IndexesOfATableChangeTheFileAtOnce) {
  database_->TableDefs().Append(DesignPeople());
  database_->Execute("INSERT INTO People (Name, Notes) VALUES ('anna', 'x')");
  database_->Execute("INSERT INTO People (Name, Notes) VALUES ('bert', 'x')");
  auto people = database_->TableDefs().Item("People");
  auto byNotes = people->CreateIndex("ByNotes");
  byNotes->Fields().Append(byNotes->CreateField("Notes"));
  byNotes->SetIgnoreNulls(true);
  people->Indexes().Append(byNotes);
  EXPECT_EQ(StockShell(path_, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'People.ByNotes'"),
            "1\n");
  EXPECT_TRUE(people->Indexes().Item("ByNotes")->IgnoreNulls());
  // Unique over data that is not: refused, and nothing created.
  auto unique = people->CreateIndex("UniqueNotes");
  unique->SetUnique(true);
  unique->Fields().Append(unique->CreateField("Notes"));
  EXPECT_EQ(DaoNumberOf([&] { people->Indexes().Append(unique); }), 3022);
  auto second = people->CreateIndex("Second");
  second->SetPrimary(true);
  second->Fields().Append(second->CreateField("Name"));
  EXPECT_EQ(DaoNumberOf([&] { people->Indexes().Append(second); }), 3283);
  auto empty = people->CreateIndex("Empty");
  EXPECT_EQ(DaoNumberOf([&] { people->Indexes().Append(empty); }), 3264);
  auto tooMany = people->CreateIndex("Wide");
  for (int i = 0; i < 10; ++i) tooMany->Fields().Append(tooMany->CreateField("f" + std::to_string(i)));
  EXPECT_EQ(DaoNumberOf([&] { tooMany->Fields().Append(tooMany->CreateField("f10")); }), 3277);
  EXPECT_EQ(DaoNumberOf([&] { people->Indexes().Append(people->CreateIndex("byname")); }), 3284);

  people->Indexes().Delete("ByNotes");
  EXPECT_EQ(people->Indexes().Count(), 2);
  EXPECT_EQ(DaoNumberOf([&] { people->Indexes().Delete("ByNotes"); }), 3265);
  EXPECT_EQ(StockShell(path_, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'People'"),
            "People.ByName\n");
}

TEST_F(TableDefTestOnFile, FieldPropertiesLiveInTheFile) {
  database_->Execute("CREATE TABLE Logon (ID COUNTER, logontime DATETIME)");
  auto field = database_->TableDefs().Item("Logon")->Fields().Item("logontime");
  EXPECT_EQ(DaoNumberOf([&] { field->Properties().Item("Format"); }), 3270);
  field->Properties().Append(database_->CreateProperty("Format", dbText, Variant("Short Date")));
  field->Properties().Append(database_->CreateProperty("Caption", dbText, Variant("Anmeldung")));
  EXPECT_EQ(DaoNumberOf([&] { field->Properties().Append(database_->CreateProperty("FORMAT", dbText, Variant("x"))); }),
            3367);
  field->Properties().Item("Format")->SetValue(Variant("General Date"));

  auto reopened = Reopen()->TableDefs().Item("Logon")->Fields().Item("logontime");
  EXPECT_EQ(reopened->Properties().Item("format")->Value(), Variant("General Date"));
  EXPECT_EQ(reopened->Properties().Item("Caption")->Value(), Variant("Anmeldung"));
  // Built-ins are there too and answer for the field.
  EXPECT_EQ(reopened->Properties().Item("Type")->Value(), Variant::FromSmallint(dbDate));
  EXPECT_EQ(DaoNumberOf([&] { reopened->Properties().Delete("Type"); }), 3219);
  // Properties given before the table existed are stored with it.
  auto table = database_->CreateTableDef("Other");
  auto other = table->CreateField("When", dbDate);
  other->Properties().Append(database_->CreateProperty("Format", dbText, Variant("Long Time")));
  table->Fields().Append(other);
  database_->TableDefs().Append(table);
  EXPECT_EQ(Reopen()->TableDefs().Item("Other")->Fields().Item("When")->Properties().Item("Format")->Value(),
            Variant("Long Time"));
}

#ifdef LUMO_TEST_ON_SERVER
// The server's catalogue lists its own tables only (the engine makes none of its MSys tables
// there), by the names the server keeps, folded to lower case; DAO finds them in any case.
TEST_F(TableDefTestOnServer, TablesAreTheServersOwnInItsSpelling) {
  database_->Execute("CREATE TABLE Logon (ID COUNTER, Username TEXT(50))");
  database_->Execute("CREATE TABLE zeta (a LONG)");
  database_->Execute("CREATE TABLE Alpha (a LONG)");
  std::vector<std::string> names;
  for (const auto& table : database_->TableDefs()) {
    names.push_back(table->Name());
    EXPECT_EQ(table->Attributes() & dbSystemObject, 0) << table->Name();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "logon", "zeta"}));
  EXPECT_EQ(database_->TableDefs().Item("LOGON")->Fields().Count(), 2);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("MSysObjects"); }), 3265);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item(99); }), 3265);
}

// A server keeps no properties of the engine's: a user-defined one cannot be stored, the
// built-in ones still answer for the field.
TEST_F(TableDefTestOnServer, FieldPropertiesAreTheBuiltInOnes) {
  database_->Execute("CREATE TABLE Logon (ID COUNTER, logontime DATETIME)");
  auto field = database_->TableDefs().Item("Logon")->Fields().Item("logontime");
  EXPECT_EQ(DaoNumberOf([&] { field->Properties().Item("Format"); }), 3270);
  EXPECT_EQ(DaoNumberOf([&] { field->Properties().Append(database_->CreateProperty("Format", dbText, Variant("x"))); }),
            3251);
  auto reopened = Reopen()->TableDefs().Item("Logon")->Fields().Item("logontime");
  EXPECT_EQ(reopened->Properties().Item("Type")->Value(), Variant::FromSmallint(dbDate));
  EXPECT_EQ(DaoNumberOf([&] { reopened->Properties().Item("Format"); }), 3270);
}
#endif

TEST_P(TableDefTest, DroppedTableAnswers3420) {
  database_->TableDefs().Append(DesignPeople());
  auto people = database_->TableDefs().Item("People");
  database_->TableDefs().Delete("people");
  EXPECT_FALSE(people->IsValid());
  EXPECT_EQ(DaoNumberOf([&] { people->Fields(); }), 3420);
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Delete("People"); }), 3265);
  // Dropped by SQL: gone after Refresh.
  database_->TableDefs().Append(DesignPeople());
  auto again = database_->TableDefs().Item("People");
  database_->Execute("DROP TABLE People");
  EXPECT_EQ(DaoNumberOf([&] { database_->TableDefs().Item("People"); }), 3265);
  EXPECT_EQ(DaoNumberOf([&] { again->RecordCount(); }), 3420);
}

TEST_P(TableDefTest, SqlDdlKeepsJetNamesAndFlags) {
  database_->Execute(
      "CREATE TABLE Orders (Customer TEXT(10), Nr LONG, Stamp DATETIME, "
      "CONSTRAINT OrderKey PRIMARY KEY (Customer, Nr))");
  database_->Execute("CREATE UNIQUE INDEX ByStamp ON Orders (Stamp DESC) WITH IGNORE NULL");
  auto orders = database_->TableDefs().Item("Orders");
  auto key = orders->Indexes().Item("OrderKey");
  EXPECT_TRUE(key->Primary());
  EXPECT_EQ(key->Fields().Count(), 2);
  EXPECT_TRUE(orders->Fields().Item("Customer")->Required());
  auto byStamp = orders->Indexes().Item("ByStamp");
  EXPECT_EQ(byStamp->IgnoreNulls(), BackEnd().indexFlags);
  EXPECT_EQ(byStamp->Fields().Item(0)->Attributes(), dbDescending);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("CREATE INDEX Other ON Orders (Nr) WITH PRIMARY"); }), 3283);
  EXPECT_EQ(DaoNumberOf([&] { database_->Execute("DROP INDEX Nothing ON Orders"); }), 3372);
  database_->Execute("DROP INDEX ByStamp ON Orders");
  orders->Indexes().Refresh();
  EXPECT_EQ(orders->Indexes().Count(), 1);
  // A column's type changes with its table rebuilt; rows and indexes stay.
  database_->Execute("INSERT INTO Orders (Customer, Nr) VALUES ('a', 1)");
  database_->Execute("ALTER TABLE Orders ALTER COLUMN Customer TEXT(40)");
  orders->Fields().Refresh();
  EXPECT_EQ(orders->Fields().Item("Customer")->Size(), 40);
  EXPECT_EQ(Outside("SELECT Customer || Nr FROM Orders"), "a1\n");
  EXPECT_TRUE(database_->TableDefs().Item("Orders")->Indexes().Item("OrderKey")->Primary());
}

TEST_F(TableDefTestOnFile, TableFieldsAppendedToAnIndexTakeTheirDirectionFromTheAskedBit) {
  database_->Execute("CREATE TABLE Orders (Customer TEXT(10), Nr LONG, Stamp DATETIME)");
  auto orders = database_->TableDefs().Item("Orders");
  auto index = orders->CreateIndex("Newest");
  // A Long column is fixed-size without being asked: ascending in an index.
  index->Fields().Append(orders->CreateField("Nr", dbLong));
  auto stamp = orders->CreateField("Stamp");
  stamp->SetAttributes(stamp->Attributes() | dbDescending);
  index->Fields().Append(stamp);
  EXPECT_EQ(DaoNumberOf([&] { index->Fields().Append(orders->CreateField("nr")); }), 3367);
  orders->Indexes().Append(index);
  EXPECT_EQ(StockShell(path_, "SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Orders'"),
            "CREATE INDEX \"Orders.Newest\" ON \"Orders\" (\"Nr\", \"Stamp\" DESC)\n");
  auto again = Reopen()->TableDefs().Item("Orders")->Indexes().Item("Newest");
  EXPECT_EQ(again->Fields().Item(0)->Attributes(), 0);
  EXPECT_EQ(again->Fields().Item(1)->Attributes(), dbDescending);
}

TEST_P(TableDefTest, OpenRecordsetOpensTheTable) {
  auto design = DesignPeople();
  EXPECT_EQ(DaoNumberOf([&] { design->OpenRecordset(); }), 3219);
  database_->TableDefs().Append(design);
  database_->Execute("INSERT INTO People (Name) VALUES ('anna')");
  auto recordset = design->OpenRecordset();
  EXPECT_EQ(recordset->Type(), BackEnd().tableRecordsets ? dbOpenTable : dbOpenDynaset);
  EXPECT_EQ(recordset->RecordCount(), 1);
  EXPECT_EQ(recordset->Fields().Item("Born")->Value().AsDateTime(), 36526.0);  // the default, 1 Jan 2000
}

LUMO_ON_EACH_BACK_END(TableDefTest);

}  // namespace
}  // namespace lumo::jet
