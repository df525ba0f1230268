// The dataset's index definitions on standard tables: loaded from files made by the database
// shell, written back into them, and read back with the stock sqlite3 shell.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "DatasetTestSupport.h"
#include "db/Fields.h"
#include "runtime/StrUtils.h"

namespace lumo {
namespace {

using testing::DaoNumberOf;
using testing::MessageOf;

constexpr const char* kIndexRefusal = "TLumoDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!";

constexpr const char* kPeople =
    "CREATE TABLE People (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(30), City TEXT(30), "
    "Zip TEXT(5));\n"
    "CREATE INDEX ByCityName ON People (City DESC, Name DESC);\n"
    "CREATE UNIQUE INDEX ByZip ON People (Zip DESC);\n"
    "CREATE INDEX NameThenZip ON People (Name, Zip DESC);\n"
    "INSERT INTO People (Name, City, Zip) VALUES ('Ute', 'Bonn', '53111');\n"
    "INSERT INTO People (Name, City, Zip) VALUES ('Anna', 'Köln', '50667');\n"
    "INSERT INTO People (Name, City, Zip) VALUES ('Bert', 'Bonn', '53113');\n"
    "INSERT INTO People (Name, City, Zip) VALUES ('Cora', 'Aachen', '52062');\n"
    "INSERT INTO People (Name, City, Zip) VALUES ('Dirk', 'Köln', '50668');\n";

class LumoDaoTableIndexDefsTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    path_ = MakeDatabaseWithShell(kPeople);
    Connect(path_);
    table_->F_Set_TableType(1);
    table_->F_Set_TableName("People");
  }

  // One line per definition: name, fields, descending fields, options.
  std::string Definitions() {
    std::string text;
    TIndexDefs& definitions = table_->IndexDefs();
    for (int i = 0; i < definitions.Count(); ++i) {
      const TIndexDef& definition = definitions[i];
      text += definition.Name() + " [" + definition.Fields() + "] [" + definition.DescFields() + "]";
      if (definition.Options().Contains(TIndexOption::ixPrimary)) text += " primary";
      if (definition.Options().Contains(TIndexOption::ixUnique)) text += " unique";
      if (definition.Options().Contains(TIndexOption::ixDescending)) text += " descending";
      text += "\n";
    }
    return text;
  }
  std::string Walk(const char* field) {
    std::string text;
    for (table_->First(); !table_->Eof(); table_->Next()) text += table_->FieldByName(field)->AsString() + " ";
    return text;
  }
  std::string SqliteIndexes() {
    return ShellQuery(path_,
                      "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'People' "
                      "AND name NOT LIKE 'sqlite_%' ORDER BY name");
  }
  TIndexDef& Add(const std::string& name, const std::string& fields, const std::string& descFields,
                 TIndexOptions options = {}) {
    TIndexDef& definition = table_->IndexDefs().Add(name, fields, options);
    definition.SetDescFields(descFields);
    return definition;
  }
  void Remove(const std::string& name) { table_->IndexDefs().Delete(table_->IndexDefs().IndexOf(name)); }

  std::string path_;
};

TEST_F(LumoDaoTableIndexDefsTest, IndexesLoadAsAscendingAndDescendingFieldLists) {
  table_->Open();
  EXPECT_EQ(Definitions(),
            "PrimaryKey [ID] [] primary unique\n"
            "ByCityName [] [City;Name] descending\n"
            "ByZip [] [Zip] unique descending\n"
            "NameThenZip [Name] [Zip]\n");
  TStringList names;
  table_->ListIndexNames(names);
  EXPECT_EQ(names.CommaText(), "PrimaryKey,ByCityName,ByZip,NameThenZip");
  // Other recordset types have none.
  table_->Close();
  table_->F_Set_TableType(2);
  EXPECT_EQ(table_->IndexDefs().Count(), 0);
  table_->F_Set_TableName("People");
  table_->Open();
  EXPECT_EQ(table_->IndexDefs().Count(), 0);
  EXPECT_EQ(table_->IndexFieldCount(), 0);
}

TEST_F(LumoDaoTableIndexDefsTest, JournalLogonTableShowsItsPrimaryKeyAndTwoIndexes) {
  std::ifstream schema(SCHEMA_PATH);
  std::stringstream text;
  text << schema.rdbuf();
  const std::string journal = MakeDatabaseWithShell(text.str(), "logon1.mdb");
  Connect(journal);
  table_->F_Set_TableType(1);
  table_->F_Set_TableName("Logon");
  table_->InitFieldDefs();  // definitions only: the dataset stays closed
  EXPECT_FALSE(table_->Active());
  EXPECT_EQ(Definitions(),
            "PrimaryKey [ID] [] primary unique\n"
            "logontime [logontime] []\n"
            "UserComputerLogon [Username;Computer;logontime] []\n");
}

TEST_F(LumoDaoTableIndexDefsTest, StandardTableWalksInTheOrderOfItsIndex) {
  table_->SortedBy().Add("Name");
  table_->F_Set_IndexName("ByCityName");
  EXPECT_EQ(table_->SortedBy().Count(), 0);
  table_->Open();
  EXPECT_EQ(Walk("Name"), "Dirk Anna Ute Bert Cora ");
  EXPECT_EQ(table_->IndexFieldCount(), 2);
  // Another index while open: the records follow it from the first one.
  table_->Next();
  table_->F_Set_IndexName("NameThenZip");
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "Anna");
  EXPECT_EQ(table_->RecNo(), 1);
  EXPECT_EQ(Walk("Name"), "Anna Bert Cora Dirk Ute ");
  table_->Last();
  EXPECT_EQ(table_->RecNo(), 5);
  // A pending edit is posted before the order changes.
  table_->First();
  table_->Edit();
  table_->FieldByName("Name")->SetAsString("Zora");
  table_->F_Set_IndexName("PrimaryKey");
  EXPECT_EQ(ShellQuery(path_, "SELECT Name FROM People WHERE ID = 2"), "Zora");
  EXPECT_EQ(Walk("ID"), "1 2 3 4 5 ");
  EXPECT_EQ(table_->IndexFieldCount(), 1);
  // An index the table does not have is refused by the engine; the old one stays.
  EXPECT_EQ(DaoNumberOf([&] { table_->F_Set_IndexName("Nowhere"); }), 3015);
  EXPECT_EQ(table_->IndexName(), "PrimaryKey");
}

TEST_F(LumoDaoTableIndexDefsTest, IndexNameBelongsToStandardTablesOnly) {
  table_->F_Set_IndexName("ByZip");
  table_->F_Set_TableType(2);
  EXPECT_EQ(table_->IndexName(), "");
  EXPECT_EQ(MessageOf([&] { table_->F_Set_IndexName("ByZip"); }), kIndexRefusal);
  table_->Open();
  EXPECT_EQ(MessageOf([&] { table_->F_Set_IndexName("ByZip"); }), kIndexRefusal);
  EXPECT_EQ(table_->IndexName(), "");
  table_->F_Set_IndexName("");  // an empty name is always taken
  EXPECT_EQ(table_->IndexFieldCount(), 0);
  EXPECT_EQ(table_->FindIndexForFields("Zip"), "");
}

TEST_F(LumoDaoTableIndexDefsTest, AddedAndRemovedDefinitionsAreWrittenBackByName) {
  table_->Open();
  table_->Next();
  Add("ByName", "Name", "", TIndexOptions{TIndexOption::ixUnique});
  Add("CityZip", "City", "Zip");
  Remove("ByZip");
  // A changed definition whose name the table has stays as the table has it.
  table_->IndexDefs().Find("NameThenZip").SetFields("City");
  table_->IndexDefs().Update();
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.ByName\nPeople.CityZip\nPeople.NameThenZip");
  EXPECT_EQ(ShellQuery(path_, "SELECT sql FROM sqlite_master WHERE name = 'People.CityZip'"),
            "CREATE INDEX \"People.CityZip\" ON \"People\" (\"City\", \"Zip\" DESC)");
  EXPECT_EQ(ShellQuery(path_, "SELECT sql FROM sqlite_master WHERE name = 'People.ByName'"),
            "CREATE UNIQUE INDEX \"People.ByName\" ON \"People\" (\"Name\")");
  EXPECT_EQ(Definitions(),
            "PrimaryKey [ID] [] primary unique\n"
            "ByCityName [] [City;Name] descending\n"
            "NameThenZip [Name] [Zip]\n"
            "ByName [Name] [] unique\n"
            "CityZip [City] [Zip]\n");
  // The dataset was opened again on the new indexes.
  table_->F_Set_IndexName("CityZip");
  EXPECT_EQ(Walk("Zip"), "52062 53113 53111 50668 50667 ");
}

TEST_F(LumoDaoTableIndexDefsTest, DefinitionsNamingUnknownFieldsCreateNothing) {
  table_->Open();
  Add("Ghost", "Name;Street", "");
  Add("GhostDown", "", "Country");
  table_->IndexDefs().Update();
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.ByZip\nPeople.NameThenZip");
  EXPECT_EQ(table_->IndexDefs().IndexOf("Ghost"), -1);
  // Field names are matched without regard to case and blanks around them.
  Add("Lower", " name ; city", "");
  table_->IndexDefs().Update();
  EXPECT_EQ(ShellQuery(path_, "SELECT sql FROM sqlite_master WHERE name = 'People.Lower'"),
            "CREATE INDEX \"People.Lower\" ON \"People\" (\"name\", \"city\")");
}

TEST_F(LumoDaoTableIndexDefsTest, FailedWriteBackReopensTheDatasetAndLeavesNoHalfMadeIndex) {
  table_->Open();
  // Two new definitions of one name: the first is made, the second is refused whole.
  Add("Twice", "Name", "");
  Add("Twice", "City", "Zip");
  Add("Later", "Zip", "");
  const int number = DaoNumberOf([&] { table_->IndexDefs().Update(); });
  EXPECT_TRUE(number == 3284 || number == 3375) << number;
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(ShellQuery(path_, "SELECT sql FROM sqlite_master WHERE name = 'People.Twice'"),
            "CREATE INDEX \"People.Twice\" ON \"People\" (\"Name\")");
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM sqlite_master WHERE name = 'People.Later'"), "0");
  EXPECT_EQ(table_->IndexDefs().IndexOf("Later"), -1);  // loaded again from the table
  // The primary key of the table itself cannot be dropped; the engine says so.
  Remove("PrimaryKey");
  EXPECT_EQ(DaoNumberOf([&] { table_->IndexDefs().Update(); }), 3219);
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(table_->IndexDefs().IndexOf("PrimaryKey"), 0);
  // Rules of the table: a unique index over duplicates, a second primary key.
  Add("UniqueCity", "City", "", TIndexOptions{TIndexOption::ixUnique});
  EXPECT_EQ(DaoNumberOf([&] { table_->IndexDefs().Update(); }), 3022);
  Add("SecondKey", "Name", "", TIndexOptions{TIndexOption::ixPrimary});
  EXPECT_EQ(DaoNumberOf([&] { table_->IndexDefs().Update(); }), 3283);
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.ByZip\nPeople.NameThenZip\nPeople.Twice");
}

TEST_F(LumoDaoTableIndexDefsTest, WriteBackWhileAnotherProgramHoldsTheFileChangesNothing) {
  table_->Open();
  Add("ByName", "Name", "");
  // Another program holds the write lock longer than the engine waits for it, until this
  // test releases it (at the latest after 30 seconds).
  const std::string lock = PathOf("locked");
  const std::string release = PathOf("release");
  const std::string holder =
      "(echo 'BEGIN IMMEDIATE;'; echo '.print locked'; for i in $(seq 300); do "
      "[ -e '" +
      release + "' ] && break; sleep 0.1; done) 2>/dev/null | sqlite3 '" + path_ + "' > '" + lock + "' 2>&1 & echo $!";
  const std::string holderPid = Trim(Capture(holder));
  ASSERT_FALSE(holderPid.empty());
  for (int i = 0; i < 100 && Capture("cat '" + lock + "'") != "locked\n"; ++i) usleep(50000);
  ASSERT_EQ(Capture("cat '" + lock + "'"), "locked\n");
  EXPECT_EQ(DaoNumberOf([&] { table_->IndexDefs().Update(); }), 3218);  // currently locked
  EXPECT_TRUE(table_->Active());
  EXPECT_EQ(Walk("ID"), "1 2 3 4 5 ");
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM sqlite_master WHERE name = 'People.ByName'"), "0");
  EXPECT_EQ(table_->IndexDefs().IndexOf("ByName"), -1);
  std::ofstream(release) << "";
  for (int i = 0; i < 100 && std::system(("kill -0 " + holderPid + " 2>/dev/null").c_str()) == 0; ++i) usleep(50000);
}

TEST_F(LumoDaoTableIndexDefsTest, DefinitionsNeverLoadedDoNotDropTheTablesIndexes) {
  // Closed and never opened: IndexDefs is empty because nothing was read, not because the
  // table has no indexes.
  table_->IndexDefs().Update();
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.ByZip\nPeople.NameThenZip");
  EXPECT_EQ(table_->IndexDefs().Count(), 4);
  // Now they were loaded from the table: removing one drops it.
  Remove("ByZip");
  table_->IndexDefs().Update();
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.NameThenZip");
  // A dynaset holds no index definitions and drops nothing either.
  table_->F_Set_TableType(2);
  table_->F_Set_TableName("People");
  table_->Open();
  table_->IndexDefs().Update();
  EXPECT_EQ(SqliteIndexes(), "People.ByCityName\nPeople.NameThenZip");
  EXPECT_TRUE(table_->Active());
}

TEST_F(LumoDaoTableIndexDefsTest, FindIndexForFieldsPrefersExactOrLeadingMatches) {
  table_->Open();
  table_->IndexDefs().Clear();  // definitions of our own, in an order of our choosing
  Add("CityNameZip", "City;Name;Zip", "");
  Add("ZipNameCity", "Zip;Name;City", "");
  Add("NameCity", "Name;City", "");
  Add("Down", "", "Name");
  EXPECT_EQ(table_->FindIndexForFields("!Name;City"), "NameCity");
  EXPECT_EQ(table_->FindIndexForFields("!city ; name"), "NameCity");
  EXPECT_EQ(table_->FindIndexForFields("!Name"), "");
  // Without "!": the first covering index that begins with a wanted field.
  EXPECT_EQ(table_->FindIndexForFields("Name;City"), "CityNameZip");
  EXPECT_EQ(table_->FindIndexForFields("Zip"), "ZipNameCity");
  // None begins with Name alone: the last covering one stays the answer.
  EXPECT_EQ(table_->FindIndexForFields("Name"), "NameCity");
  table_->IndexDefs().Delete(2);
  EXPECT_EQ(table_->FindIndexForFields("Name"), "ZipNameCity");
  // Descending fields are no fields to look up by; unknown fields and empty text find none.
  EXPECT_EQ(table_->FindIndexForFields("Street"), "");
  EXPECT_EQ(table_->FindIndexForFields(""), "");
  EXPECT_EQ(table_->FindIndexForFields("!"), "");
  EXPECT_TRUE(table_->AutoFindIndex());
}

}  // namespace
}  // namespace lumo
