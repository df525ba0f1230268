// The rules a table keeps beyond SQLite's declarations: zero-length text, Nulls in keys and
// Required indexes, counters with seed and increment, and relations with their cascades.
// Every rule is checked the three ways rows arrive: a recordset's Update, Database.Execute,
// and the stock sqlite3 shell writing the file behind the engine's back.

#include <gtest/gtest.h>

#include <functional>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Database.h"
#include "jet/Recordset.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::StockShell;

constexpr const char* kNullInKey = "Index or primary key cannot contain a Null value";

class SchemaWriterRulesTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("rules.mdb");
    database_ = engine_.CreateDatabase(path_, dbLangGeneral);
  }
  void Execute(const std::string& sql) { database_->Execute(sql, dbFailOnError); }
  std::shared_ptr<Database> Reopen() {
    database_->Close();
    database_ = engine_.OpenDatabase(path_);
    return database_;
  }
  // Adds a row through a dynaset: field name and value pairs.
  void AddRow(const std::string& table, const std::vector<std::pair<std::string, Variant>>& values) {
    auto recordset = database_->OpenRecordset(table, dbOpenDynaset);
    recordset->AddNew();
    for (const auto& [name, value] : values) recordset->Fields().Item(name)->SetValue(value);
    recordset->Update();
  }
  // One column of a query, top to bottom, as text.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    auto recordset = database_->OpenRecordset(sql, dbOpenSnapshot);
    for (; !recordset->IsEOF(); recordset->MoveNext()) values.push_back(VarToStr(recordset->Fields().Item(0)->Value()));
    return values;
  }
  // The stock shell's answer to a statement that the file's triggers refuse.
  std::string ShellRefusal(const std::string& sql) { return StockShell(path_, sql); }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(SchemaWriterRulesTest, AllowZeroLengthSetBeforeAppendSurvivesAndRefusesEmptyText) {
  auto table = database_->CreateTableDef("People");
  auto name = table->CreateField("Name", dbText, 30);
  name->SetAllowZeroLength(false);
  table->Fields().Append(name);
  table->Fields().Append(table->CreateField("Nick", dbText, 30));
  database_->TableDefs().Append(table);

  Collection<Field>& fields = Reopen()->TableDefs().Item("People")->Fields();
  EXPECT_FALSE(fields.Item("Name")->AllowZeroLength());
  EXPECT_TRUE(fields.Item("Nick")->AllowZeroLength());
  EXPECT_EQ(fields.Item("Name")->Properties().Item("AllowZeroLength")->Value(), Variant(false));

  const std::string refusal = "Field 'Name' cannot be a zero-length string";
  EXPECT_EQ(DaoMessageOf([&] { AddRow("People", {{"Name", Variant("")}}); }), refusal);
  EXPECT_EQ(DaoNumberOf([&] { AddRow("People", {{"Name", Variant("")}}); }), 3315);
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO People (Name) VALUES ('')"); }), 3315);
  EXPECT_EQ(DaoMessageOf([&] { Execute("INSERT INTO People (Name) VALUES ('')"); }), refusal);
  EXPECT_NE(ShellRefusal("INSERT INTO People (Name) VALUES ('')").find("jet error 3315"), std::string::npos);
  // Text, Null, and "" where it is allowed all go in.
  AddRow("People", {{"Name", Variant("Anna")}, {"Nick", Variant("")}});
  Execute("INSERT INTO People (Name, Nick) VALUES (Null, '')");
  EXPECT_EQ(DaoNumberOf([&] { Execute("UPDATE People SET Name = '' WHERE Name = 'Anna'"); }), 3315);
  EXPECT_EQ(Column("SELECT Count(*) FROM People"), std::vector<std::string>{"2"});
}

TEST_F(SchemaWriterRulesTest, RequiredIndexRefusesNullAndReadsBackRequired) {
  // One index from the object model, one from Jet SQL.
  auto table = database_->CreateTableDef("Machines");
  table->Fields().Append(table->CreateField("Computer", dbText, 20));
  table->Fields().Append(table->CreateField("Room", dbText, 10));
  table->Fields().Append(table->CreateField("Note", dbText, 10));
  auto byComputer = table->CreateIndex("ByComputer");
  byComputer->SetRequired(true);
  byComputer->Fields().Append(byComputer->CreateField("Computer"));
  table->Indexes().Append(byComputer);
  database_->TableDefs().Append(table);
  Execute("CREATE INDEX ByRoom ON Machines (Room) WITH DISALLOW NULL");
  Execute("CREATE INDEX ByNote ON Machines (Note) WITH IGNORE NULL");

  Collection<Index>& indexes = Reopen()->TableDefs().Item("Machines")->Indexes();
  EXPECT_TRUE(indexes.Item("ByComputer")->Required());
  EXPECT_TRUE(indexes.Item("ByRoom")->Required());
  EXPECT_FALSE(indexes.Item("ByNote")->Required());
  EXPECT_TRUE(indexes.Item("ByNote")->IgnoreNulls());
  EXPECT_EQ(indexes.Item("ByRoom")->Properties().Item("Required")->Value(), Variant(true));

  EXPECT_EQ(DaoNumberOf([&] { AddRow("Machines", {{"Room", Variant("A1")}}); }), 3058);
  EXPECT_EQ(DaoMessageOf([&] { AddRow("Machines", {{"Computer", Variant("PC1")}}); }), kNullInKey);
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO Machines (Computer) VALUES ('PC1')"); }), 3058);
  EXPECT_NE(ShellRefusal("INSERT INTO Machines (Room) VALUES ('A1')").find("jet error 3058"), std::string::npos);
  AddRow("Machines", {{"Computer", Variant("PC1")}, {"Room", Variant("A1")}});
  EXPECT_EQ(DaoNumberOf([&] { Execute("UPDATE Machines SET Room = Null"); }), 3058);
  // Without the index the Null is a value like any other.
  Execute("DROP INDEX ByRoom ON Machines");
  Execute("UPDATE Machines SET Room = Null");
  EXPECT_EQ(Column("SELECT Count(*) FROM Machines WHERE Room Is Null"), std::vector<std::string>{"1"});
}

TEST_F(SchemaWriterRulesTest, NullInAnyPrimaryKeyAnswers3058) {
  struct Case {
    const char* create;
    const char* insert;  // leaves a key field Null
    const char* field;   // set for the recordset's attempt
  };
  const Case cases[] = {
      {"CREATE TABLE t (k TEXT(10) CONSTRAINT pk PRIMARY KEY, v LONG)", "INSERT INTO t (v) VALUES (1)", "v"},
      {"CREATE TABLE t (k LONG CONSTRAINT pk PRIMARY KEY, v LONG)", "INSERT INTO t (k, v) VALUES (Null, 1)", "v"},
      {"CREATE TABLE t (a TEXT(5), b LONG, v LONG, CONSTRAINT pk PRIMARY KEY (a, b))",
       "INSERT INTO t (a, v) VALUES ('x', 1)", "a"},
      {"CREATE TABLE t (k DATETIME, v LONG, CONSTRAINT pk PRIMARY KEY (k))", "INSERT INTO t (v) VALUES (1)", "v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.create);
    Execute(c.create);
    EXPECT_EQ(DaoNumberOf([&] { Execute(c.insert); }), 3058);
    EXPECT_EQ(DaoMessageOf([&] { Execute(c.insert); }), kNullInKey);
    EXPECT_EQ(DaoNumberOf([&] { AddRow("t", {{c.field, Variant("1")}}); }), 3058);
    EXPECT_NE(ShellRefusal(c.insert).find("jet error 3058"), std::string::npos);
    EXPECT_EQ(Column("SELECT Count(*) FROM t"), std::vector<std::string>{"0"});
    Execute("DROP TABLE t");
  }
  // A counter key is numbered, not refused.
  Execute("CREATE TABLE n (ID COUNTER CONSTRAINT pk PRIMARY KEY, v LONG)");
  Execute("INSERT INTO n (ID, v) VALUES (Null, 1)");
  EXPECT_EQ(Column("SELECT ID FROM n"), std::vector<std::string>{"1"});
}

TEST_F(SchemaWriterRulesTest, CounterHonoursSeedAndIncrement) {
  struct Case {
    const char* type;
    std::vector<std::string> numbers;  // of three rows
  };
  const Case cases[] = {
      {"COUNTER", {"1", "2", "3"}},
      {"COUNTER(100, 1)", {"100", "101", "102"}},
      {"COUNTER(10, 5)", {"10", "15", "20"}},
      {"AUTOINCREMENT(1, 10)", {"1", "11", "21"}},
      {"COUNTER(100, -10)", {"100", "90", "80"}},
      {"COUNTER(0, 2) CONSTRAINT pk PRIMARY KEY", {"0", "2", "4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Execute(std::string("CREATE TABLE t (ID ") + c.type + ", v TEXT(5))");
    Execute("INSERT INTO t (v) VALUES ('a')");
    AddRow("t", {{"v", Variant("b")}});
    // Another writer of the file gets the next number too.
    EXPECT_EQ(StockShell(path_, "INSERT INTO t (v) VALUES ('c')"), "");
    EXPECT_EQ(Column("SELECT ID FROM t ORDER BY v"), c.numbers);
    auto id = database_->TableDefs().Item("t")->Fields().Item("ID");
    EXPECT_EQ(id->Type(), dbLong);
    EXPECT_NE(id->Attributes() & dbAutoIncrField, 0);
    Execute("DROP TABLE t");
  }
  // A counter added to a table with rows numbers them in row order.
  Execute("CREATE TABLE a (v TEXT(5))");
  Execute("INSERT INTO a (v) VALUES ('x')");
  Execute("INSERT INTO a (v) VALUES ('y')");
  Execute("ALTER TABLE a ADD COLUMN n COUNTER(50, 25)");
  Execute("INSERT INTO a (v) VALUES ('z')");
  EXPECT_EQ(Column("SELECT n FROM a ORDER BY v"), (std::vector<std::string>{"50", "75", "100"}));
}

class RelationRulesTest : public SchemaWriterRulesTest {
 protected:
  void SetUp() override {
    SchemaWriterRulesTest::SetUp();
    Execute("CREATE TABLE Machines (Computer TEXT(20) CONSTRAINT pk PRIMARY KEY, Room TEXT(10))");
    Execute("INSERT INTO Machines (Computer, Room) VALUES ('PC1', 'A1')");
    Execute("INSERT INTO Machines (Computer, Room) VALUES ('PC2', 'B2')");
  }
  std::shared_ptr<Relation> Relate(const std::string& name, int attributes) {
    auto relation = database_->CreateRelation(name, "Machines", "Logon", attributes);
    auto field = relation->CreateField("Computer");
    field->SetForeignName("Computer");
    relation->Fields().Append(field);
    return relation;
  }
};

TEST_F(RelationRulesTest, ReferencesClauseIsEnforcedOnEveryWriter) {
  Execute(
      "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
      "Computer TEXT(20) CONSTRAINT ByMachine REFERENCES Machines (Computer))");
  const std::string orphan =
      "You cannot add or change a record because a related record is required in table 'Machines'";
  const std::string referenced =
      "The record cannot be deleted or changed because table 'Logon' includes related records";
  Execute("INSERT INTO Logon (Computer) VALUES ('pc1')");  // keys compare without regard to case
  Execute("INSERT INTO Logon (Computer) VALUES (Null)");   // a Null refers to nothing
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO Logon (Computer) VALUES ('PC9')"); }), 3201);
  EXPECT_EQ(DaoMessageOf([&] { Execute("INSERT INTO Logon (Computer) VALUES ('PC9')"); }), orphan);
  EXPECT_EQ(DaoMessageOf([&] { AddRow("Logon", {{"Computer", Variant("PC9")}}); }), orphan);
  EXPECT_EQ(DaoNumberOf([&] { Execute("UPDATE Logon SET Computer = 'PC9'"); }), 3201);
  EXPECT_EQ(DaoNumberOf([&] { Execute("DELETE FROM Machines WHERE Computer = 'PC1'"); }), 3200);
  EXPECT_EQ(DaoMessageOf([&] { Execute("UPDATE Machines SET Computer = 'PC7' WHERE Computer = 'PC1'"); }), referenced);
  {
    auto machines = database_->OpenRecordset("SELECT * FROM Machines WHERE Computer = 'PC1'", dbOpenDynaset);
    EXPECT_EQ(DaoMessageOf([&] { machines->Delete(); }), referenced);
  }
  EXPECT_NE(ShellRefusal("DELETE FROM Machines").find("jet error 3200"), std::string::npos);
  EXPECT_NE(ShellRefusal("INSERT INTO Logon (Computer) VALUES ('PC9')").find("jet error 3201"), std::string::npos);
  // A row nobody refers to goes; one that is referred to stays.
  Execute("DELETE FROM Machines WHERE Computer = 'PC2'");
  EXPECT_EQ(Column("SELECT Computer FROM Machines"), std::vector<std::string>{"PC1"});

  // The relation is described: its name, tables, fields, and the foreign index.
  ASSERT_EQ(database_->Relations().Count(), 1);
  auto relation = database_->Relations().Item("ByMachine");
  EXPECT_EQ(relation->Table(), "Machines");
  EXPECT_EQ(relation->ForeignTable(), "Logon");
  EXPECT_EQ(relation->Attributes(), 0);
  ASSERT_EQ(relation->Fields().Count(), 1);
  EXPECT_EQ(relation->Fields().Item(0)->Name(), "Computer");
  EXPECT_EQ(relation->Fields().Item(0)->ForeignName(), "Computer");
  EXPECT_TRUE(database_->TableDefs().Item("Logon")->Indexes().Item("ByMachine")->Foreign());
  // Tables and fields of a relation stay until the relation goes.
  EXPECT_EQ(DaoNumberOf([&] { Execute("DROP TABLE Machines"); }), 3281);
  EXPECT_EQ(DaoNumberOf([&] { Execute("DROP TABLE Logon"); }), 3281);
  EXPECT_EQ(DaoNumberOf([&] { Execute("DROP INDEX ByMachine ON Logon"); }), 3281);
  EXPECT_EQ(DaoMessageOf([&] { Execute("ALTER TABLE Logon DROP COLUMN Computer"); }),
            "Cannot delete this field. It is part of one or more relationships");
  Execute("ALTER TABLE Logon DROP CONSTRAINT ByMachine");
  EXPECT_EQ(database_->Relations().Count(), 0);
  Execute("INSERT INTO Logon (Computer) VALUES ('PC9')");
  Execute("DROP TABLE Machines");
}

TEST_F(RelationRulesTest, RelationsSurviveTheRebuildOfEitherTable) {
  Execute("CREATE TABLE Logon (Computer TEXT(20), CONSTRAINT ByMachine FOREIGN KEY (Computer) REFERENCES Machines)");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC1')");
  Execute("ALTER TABLE Machines ALTER COLUMN Room TEXT(30)");
  Execute("ALTER TABLE Logon ALTER COLUMN Computer TEXT(20)");
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO Logon (Computer) VALUES ('PC9')"); }), 3201);
  EXPECT_EQ(DaoNumberOf([&] { Execute("DELETE FROM Machines"); }), 3200);
  EXPECT_EQ(Column("SELECT Computer FROM Logon"), std::vector<std::string>{"PC1"});
}

TEST_F(RelationRulesTest, ConstraintAddedLaterChecksTheRowsThere) {
  Execute("CREATE TABLE Logon (Computer TEXT(20))");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC9')");
  EXPECT_EQ(
      DaoMessageOf([&] {
        Execute("ALTER TABLE Logon ADD CONSTRAINT ByMachine FOREIGN KEY (Computer) REFERENCES Machines (Computer)");
      }),
      "Cannot create relationships to enforce referential integrity. Existing data in table 'Logon' violates "
      "referential integrity rules with related table 'Machines'");
  EXPECT_EQ(database_->Relations().Count(), 0);
  Execute("DELETE FROM Logon");
  Execute("ALTER TABLE Logon ADD CONSTRAINT ByMachine FOREIGN KEY (Computer) REFERENCES Machines (Computer)");
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO Logon (Computer) VALUES ('PC9')"); }), 3201);
  // References need a key on the primary side.
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE TABLE r (Room TEXT(10) REFERENCES Machines (Room))"); }), 3374);
  Execute("CREATE TABLE NoKey (a LONG)");
  EXPECT_EQ(DaoMessageOf([&] { Execute("CREATE TABLE r (a LONG REFERENCES NoKey)"); }),
            "Cannot create relationship. Referenced table 'NoKey' does not have a primary key");
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE TABLE r (a LONG REFERENCES Machines (Computer))"); }), 3368);
  EXPECT_EQ(DaoNumberOf([&] { Execute("CREATE TABLE r (a TEXT(20) REFERENCES Nowhere (x))"); }), 3376);
  EXPECT_FALSE(database_->TableDefs().Find("r"));
}

TEST_F(RelationRulesTest, AppendedRelationCascadesWhereItAsks) {
  Execute("CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Computer TEXT(20))");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC1')");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC1')");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC2')");
  database_->Relations().Append(Relate("MachinesLogon", dbRelationUpdateCascade | dbRelationDeleteCascade));
  EXPECT_EQ(database_->Relations().Item("machineslogon")->Attributes(),
            dbRelationUpdateCascade | dbRelationDeleteCascade);
  EXPECT_EQ(DaoNumberOf([&] { Execute("INSERT INTO Logon (Computer) VALUES ('PC9')"); }), 3201);
  // A new key reaches the rows that refer to the old one; deleting takes them along.
  Execute("UPDATE Machines SET Computer = 'PC7' WHERE Computer = 'PC1'");
  EXPECT_EQ(Column("SELECT Computer FROM Logon ORDER BY ID"), (std::vector<std::string>{"PC7", "PC7", "PC2"}));
  auto machines = database_->OpenRecordset("SELECT * FROM Machines WHERE Computer = 'PC7'", dbOpenDynaset);
  machines->Delete();
  EXPECT_EQ(Column("SELECT Computer FROM Logon"), std::vector<std::string>{"PC2"});
  EXPECT_EQ(StockShell(path_, "DELETE FROM Machines; SELECT count(*) FROM Logon"), "0\n");

  database_->Relations().Delete("MachinesLogon");
  EXPECT_EQ(database_->Relations().Count(), 0);
  Execute("INSERT INTO Logon (Computer) VALUES ('PC9')");
}

TEST_F(RelationRulesTest, AppendRefusesWhatCannotBeEnforced) {
  Execute("CREATE TABLE Logon (Computer TEXT(20), Room TEXT(10), Count LONG)");
  Execute("INSERT INTO Logon (Computer) VALUES ('PC9')");
  struct Case {
    std::function<std::shared_ptr<Relation>()> make;
    int number;
  };
  auto pair = [&](const std::string& field, const std::string& foreign) {
    auto relation = database_->CreateRelation("r", "Machines", "Logon", 0);
    auto entry = relation->CreateField(field);
    entry->SetForeignName(foreign);
    relation->Fields().Append(entry);
    return relation;
  };
  const Case cases[] = {
      {[&] { return database_->CreateRelation("r", "Machines", "Logon", 0); }, 3366},  // no fields
      {[&] { return pair("Room", "Room"); }, 3173},                                    // no unique index on Room
      {[&] { return pair("Computer", "Count"); }, 3368},                               // Text against Long
      {[&] { return pair("Computer", "Computer"); }, 3379},                            // PC9 has no machine
      {[&] { return pair("Computer", "Nothing"); }, 3070},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DaoNumberOf([&] { database_->Relations().Append(c.make()); }), c.number);
  }
  EXPECT_EQ(database_->Relations().Count(), 0);
  // A relation that is not enforced takes the rows as they are.
  database_->Relations().Append(Relate("Loose", dbRelationDontEnforce));
  Execute("INSERT INTO Logon (Computer) VALUES ('PC8')");
  EXPECT_EQ(DaoNumberOf([&] { database_->Relations().Append(Relate("Loose", 0)); }), 3012);
  // An appended relation is fixed.
  auto loose = database_->Relations().Item("Loose");
  EXPECT_EQ(DaoNumberOf([&] { loose->SetAttributes(0); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { loose->Fields().Append(loose->CreateField("Room")); }), 3219);
}

}  // namespace
}  // namespace lumo::jet
