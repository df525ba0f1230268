// The dataset on stored query definitions: files and queries made by the database shell,
// read back with the stock sqlite3 shell.

#include <gtest/gtest.h>

#include "DatasetTestSupport.h"
#include "dao/dataset/DaoQueryDefParameters.h"
#include "db/Fields.h"
#include "jet/QueryDef.h"
#include "jet/Recordset.h"
#include "runtime/DateFormat.h"
#include "runtime/DateTime.h"

namespace lumo {
namespace {

using jet::dbParamInput;
using jet::dbParamInputOutput;
using jet::dbParamOutput;
using jet::dbParamReturnValue;
using testing::DaoNumberOf;
using testing::MessageOf;

constexpr const char* kBadParameters =
    "TLumoDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter is not in valid format!";

// The journal's table with five rows, and stored queries of every kind the shell can make.
constexpr const char* kScript =
    "CREATE TABLE Logon (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Username TEXT(50), "
    "Computer TEXT(20), logontime DATETIME, Typ TEXT(10));\n"
    "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('anna', 'PC1', #12/1/2024 8:00#, 'logon');\n"
    "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('bert', 'PC2', #12/1/2024 9:00#, 'logon');\n"
    "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('anna', 'PC1', #12/2/2024 8:30#, 'null');\n"
    "INSERT INTO Logon (Username, Computer, logontime) VALUES ('anna', 'PC3', #12/3/2024 7:45#);\n"
    "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('anna', 'PC1', #12/4/2024 8:10#, 'logon');\n"
    ".savequery ByUser PARAMETERS Who Text (50), Since DateTime; SELECT ID, Username, Computer, logontime "
    "FROM Logon WHERE Username = Who AND logontime >= Since ORDER BY logontime\n"
    ".savequery Three PARAMETERS FromId Long, Kind Text (10), Since DateTime; SELECT ID FROM Logon "
    "WHERE ID >= FromId AND ((Kind Is Null AND Typ Is Null) OR Typ = Kind) AND logontime >= Since\n"
    ".savequery AllRows SELECT * FROM Logon ORDER BY ID\n"
    ".savequery PerSeat PARAMETERS Since DateTime; SELECT Username & '@' & Computer AS Seat, Count(*) AS Logons, "
    "Max(logontime) AS Latest, Avg(ID) AS MeanId FROM Logon WHERE logontime >= Since GROUP BY Username, Computer "
    "ORDER BY Username, Computer\n"
    ".savequery Cleanup DELETE FROM Logon WHERE Typ = 'x'\n"
    ".savequery Stamp UPDATE Logon SET Typ = 'x'\n"
    ".savequery AddOne INSERT INTO Logon (Username) VALUES ('new')\n"
    ".savequery Copy SELECT * INTO LogonCopy FROM Logon\n"
    ".savequery Names SELECT Username FROM Logon UNION SELECT Computer FROM Logon\n"
    ".savequery MakeTable CREATE TABLE Extra (a LONG)\n"
    ".savequery Seats PARAMETERS Since DateTime; TRANSFORM Count(*) SELECT Username FROM Logon "
    "WHERE logontime >= Since GROUP BY Username PIVOT Computer\n";

class LumoDaoTableQueryDefsTest : public testing::DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    path_ = MakeDatabaseWithShell(kScript);
    ASSERT_EQ(shellOutput_, "1 row affected.\n1 row affected.\n1 row affected.\n1 row affected.\n1 row affected.\n");
    Connect(path_);
  }

  void Parameters(std::initializer_list<const char*> lines) {
    table_->QueryDefParameters().Clear();
    for (const char* line : lines) table_->QueryDefParameters().Add(line);
  }
  // The IDs of the dataset's rows, in its order.
  std::string Ids() {
    std::string ids;
    for (table_->First(); !table_->Eof(); table_->Next()) ids += table_->FieldByName("ID")->AsString() + " ";
    return ids;
  }
  std::string StoredSql(const std::string& name) {
    return ShellQuery(path_, "SELECT SQL FROM MSysQueries WHERE Name = '" + name + "'");
  }

  std::string path_;
};

TEST_F(LumoDaoTableQueryDefsTest, StoredParameterQueryIsScrolled) {
  table_->F_Set_QueryDefName("ByUser");
  Parameters({"anna", "12/2/2024"});
  table_->Open();
  EXPECT_EQ(table_->QueryDefSQLText().Count(), 1);
  EXPECT_EQ(table_->QueryDefSQLText()[0], StoredSql("ByUser"));
  EXPECT_EQ(table_->RecordCount(), 3);
  EXPECT_EQ(table_->FieldByName("Computer")->AsString(), "PC1");
  EXPECT_EQ(table_->FieldByName("logontime")->AsDateTime(), EncodeDate(2024, 12, 2) + EncodeTime(8, 30, 0, 0));
  table_->Next();
  EXPECT_EQ(table_->FieldByName("Computer")->AsString(), "PC3");
  table_->Last();
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 5);
  EXPECT_EQ(table_->RecNo(), 3);
  table_->Prior();
  EXPECT_EQ(table_->FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(Ids(), "3 4 5 ");
  // Query definitions without output parameters give none.
  EXPECT_TRUE(table_->OutputParameterValue().IsNull());
  // New values take effect at the next open.
  table_->Close();
  Parameters({"BERT", "1/1/2024"});
  table_->Open();
  EXPECT_EQ(Ids(), "2 ");
}

TEST_F(LumoDaoTableQueryDefsTest, ComputedColumnsOfAStoredQueryHaveTheirTypes) {
  table_->F_Set_QueryDefName("PerSeat");
  Parameters({"12/1/2024"});
  table_->Open();
  EXPECT_EQ(table_->FieldDefs().Find("Seat").DataType(), ftString);
  EXPECT_EQ(table_->FieldDefs().Find("Logons").DataType(), ftInteger);
  EXPECT_EQ(table_->FieldDefs().Find("Latest").DataType(), ftDateTime);
  EXPECT_EQ(table_->FieldDefs().Find("MeanId").DataType(), ftFloat);
  EXPECT_TRUE(table_->ReadOnly());  // grouped rows are no table's rows
  std::string rows;
  for (table_->First(); !table_->Eof(); table_->Next()) {
    rows += table_->FieldByName("Seat")->AsString() + " " + table_->FieldByName("Logons")->AsString() + " " +
            FormatDateTime("yyyy-mm-dd hh:nn", table_->FieldByName("Latest")->AsDateTime()) + " " +
            table_->FieldByName("MeanId")->AsString() + "\n";
  }
  EXPECT_EQ(rows,
            "anna@PC1 3 2024-12-04 08:10 3\n"
            "anna@PC3 1 2024-12-03 07:45 4\n"
            "bert@PC2 1 2024-12-01 09:00 2\n");
}

TEST_F(LumoDaoTableQueryDefsTest, StoredCrosstabOpensWithAFieldPerHeading) {
  table_->F_Set_QueryDefName("Seats");
  Parameters({"12/2/2024"});
  table_->Open();
  // The headings are the computers of the rows the parameter lets through.
  ASSERT_EQ(table_->FieldDefs().Count(), 3);
  EXPECT_EQ(table_->FieldDefs()[1].Name(), "PC1");
  EXPECT_EQ(table_->FieldDefs()[2].Name(), "PC3");
  EXPECT_EQ(table_->FieldDefs().Find("PC1").DataType(), ftInteger);
  EXPECT_TRUE(table_->ReadOnly());
  table_->First();
  EXPECT_EQ(table_->FieldByName("Username")->AsString(), "anna");
  EXPECT_EQ(table_->FieldByName("PC1")->AsInteger(), 2);
  EXPECT_EQ(table_->FieldByName("PC3")->AsInteger(), 1);
  table_->Next();
  EXPECT_TRUE(table_->Eof());
}

TEST_F(LumoDaoTableQueryDefsTest, ParameterLinesBindTheInputsInOrder) {
  table_->F_Set_QueryDefName("Three");
  // Three inputs and two lines.
  Parameters({"1", "logon"});
  EXPECT_EQ(MessageOf([&] { table_->Open(); }), kBadParameters);
  EXPECT_FALSE(table_->Active());
  // A value the parameter's type cannot take.
  Parameters({"one", "logon", "12/1/2024"});
  EXPECT_EQ(MessageOf([&] { table_->Open(); }), kBadParameters);
  EXPECT_FALSE(table_->Active());
  // "null" in lower case is the four letters; lines beyond the inputs are ignored.
  Parameters({"1", "null", "12/1/2024", "surplus"});
  table_->Open();
  EXPECT_EQ(Ids(), "3 ");
  table_->Close();
  // "NULL" is Null.
  Parameters({"1", "NULL", "12/1/2024"});
  table_->Open();
  EXPECT_EQ(Ids(), "4 ");
  table_->Close();
  // A query definition that does not exist answers the engine's error.
  table_->F_Set_QueryDefName("Nowhere");
  EXPECT_EQ(DaoNumberOf([&] { table_->Open(); }), 3265);
  EXPECT_FALSE(table_->Active());
}

TEST_F(LumoDaoTableQueryDefsTest, ChoosingAQueryDefinitionMakesItTheOnlySource) {
  table_->F_Set_TableType(1);
  table_->F_Set_TableName("Logon");
  table_->F_Set_IndexName("PrimaryKey");
  table_->MasterFields().Add("ID");
  table_->QueryDefParameters().Add("stale");
  table_->F_Set_QueryDefName("AllRows");
  EXPECT_EQ(table_->TableType(), 2);
  EXPECT_EQ(table_->TableName(), "");
  EXPECT_EQ(table_->IndexName(), "");
  EXPECT_EQ(table_->MasterFields().Count(), 0);
  EXPECT_EQ(table_->QueryDefParameters().Count(), 0);
  EXPECT_EQ(table_->QueryDefSQLText().CommaText(), "\"SELECT * FROM Logon ORDER BY ID\"");
  table_->F_Set_TableType(16);
  table_->F_Set_QueryDefName("AllRows");
  EXPECT_EQ(table_->TableType(), 2);
  table_->F_Set_TableType(4);
  table_->F_Set_QueryDefName("AllRows");
  EXPECT_EQ(table_->TableType(), 4);
  // An empty name changes no other source, but drops the text.
  table_->F_Set_QueryDefName("");
  EXPECT_EQ(table_->QueryDefSQLText().Count(), 0);
  // Without a connection the name is taken and the text stays empty.
  database_->Close();
  table_->F_Set_QueryDefName("AllRows");
  EXPECT_EQ(table_->QueryDefName(), "AllRows");
  EXPECT_EQ(table_->QueryDefSQLText().Count(), 0);
}

TEST_F(LumoDaoTableQueryDefsTest, QueryDefTypeNamesTheStoredKind) {
  struct Case {
    const char* query;
    const char* type;
    int number;
  } cases[] = {
      {"ByUser", "dbQSelect", 0},        {"Cleanup", "dbQDelete", 32}, {"Stamp", "dbQUpdate", 48},
      {"AddOne", "dbQAppend", 64},       {"Copy", "dbQMakeTable", 80}, {"MakeTable", "dbQDDL", 96},
      {"Names", "dbQSetOperation", 128}, {"Seats", "dbQCrosstab", 16},
  };
  for (const Case& c : cases) {
    table_->F_Set_QueryDefName(c.query);
    EXPECT_EQ(table_->QueryDefType(), c.type) << c.query;
    EXPECT_EQ(table_->QueryDefTypeNumber(), c.number) << c.query;
  }
  table_->F_Set_QueryDefName("Nowhere");
  EXPECT_EQ(table_->QueryDefType(), "");
  table_->F_Set_QueryDefName("Stamp");
  database_->Close();
  EXPECT_EQ(table_->QueryDefType(), "");
  EXPECT_EQ(table_->QueryDefTypeNumber(), 0);
}

TEST_F(LumoDaoTableQueryDefsTest, SqlTextIsWrittenBackOnlyWhenAskedFor) {
  const std::string before = StoredSql("AllRows");
  table_->F_Set_QueryDefName("AllRows");
  TStringList text;
  text.Add("SELECT ID, Username FROM Logon");
  text.Add("WHERE Typ = :Kind");
  // Not asked for: nothing changes, not even the list.
  table_->F_Set_QueryDefSQLText(text);
  EXPECT_EQ(table_->QueryDefSQLText().CommaText(), "\"SELECT * FROM Logon ORDER BY ID\"");
  EXPECT_EQ(StoredSql("AllRows"), before);

  table_->F_Set_QueryDefSQLModify(true);
  table_->Params().CreateParam(ftString, "Kind", TParamType::ptInput).SetAsString("logon");
  table_->QueryDefParameters().Add("stale");
  table_->F_Set_QueryDefSQLText(text);
  // The lines as one text, the parameter replaced by its literal.
  const std::string written = "SELECT ID, Username FROM Logon\r\nWHERE Typ = \"logon\"\r";
  EXPECT_EQ(StoredSql("AllRows"), written);
  ASSERT_EQ(table_->QueryDefSQLText().Count(), 2);
  EXPECT_EQ(table_->QueryDefSQLText()[1], "WHERE Typ = \"logon\"");
  EXPECT_EQ(table_->QueryDefParameters().Count(), 0);
  table_->Open();
  EXPECT_EQ(Ids(), "1 2 5 ");

  // While open the value is dropped.
  TStringList other;
  other.Add("SELECT 1 AS ID FROM Logon");
  table_->F_Set_QueryDefSQLText(other);
  table_->Close();
  EXPECT_EQ(StoredSql("AllRows"), written);

  // A name the database does not know yet becomes a new query definition.
  table_->F_Set_QueryDefName("Fresh");
  table_->F_Set_QueryDefSQLText(other);
  EXPECT_EQ(StoredSql("Fresh"), "SELECT 1 AS ID FROM Logon\r");
  EXPECT_GE(database_->QueryDefNames().IndexOf("Fresh"), 0);

  // A text the engine rejects raises its error and stores nothing, not even a new name.
  TStringList broken;
  broken.Add("SELECT FROM WHERE");
  for (const char* name : {"Fresh", "Unborn"}) {
    table_->F_Set_QueryDefName(name);
    EXPECT_EQ(DaoNumberOf([&] { table_->F_Set_QueryDefSQLText(broken); }), 3141);
  }
  EXPECT_EQ(StoredSql("Fresh"), "SELECT 1 AS ID FROM Logon\r");
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM MSysQueries WHERE Name = 'Unborn'"), "0");

  // Not connected: dropped.
  database_->Close();
  table_->F_Set_QueryDefName("Fresh");
  table_->F_Set_QueryDefSQLText(text);
  EXPECT_EQ(StoredSql("Fresh"), "SELECT 1 AS ID FROM Logon\r");
}

TEST_F(LumoDaoTableQueryDefsTest, LimitsTypeOptionsAndLockTypeReachTheQuery) {
  table_->F_Set_QueryDefName("AllRows");
  table_->F_Set_QueryDefODBCMaxRecords(2);
  database_->F_Set_QueryTimeout(17);
  table_->Open();
  EXPECT_EQ(Ids(), "1 2 ");
  auto stored = database_->DaoDatabase()->QueryDefs().Item("AllRows");
  EXPECT_EQ(stored->MaxRecords(), 2);
  EXPECT_EQ(stored->ODBCTimeout(), 17);
  EXPECT_EQ(table_->DaoRecordset()->Type(), jet::dbOpenDynaset);
  EXPECT_FALSE(table_->ReadOnly());
  table_->Close();

  table_->F_Set_QueryDefODBCMaxRecords(0);
  table_->F_Set_TableType(jet::dbOpenSnapshot);
  table_->F_Set_LockType(2);
  table_->F_Set_OpenOptions(TOOSet{TOO::dbReadOnly});
  table_->Open();
  EXPECT_EQ(table_->DaoRecordset()->Type(), jet::dbOpenSnapshot);
  EXPECT_EQ(table_->OptionsValue(), 4);
  EXPECT_TRUE(table_->ReadOnly());
  EXPECT_EQ(Ids(), "1 2 3 4 5 ");
  table_->Close();

  // An action query opens no recordset.
  table_->F_Set_QueryDefName("Stamp");
  EXPECT_EQ(DaoNumberOf([&] { table_->Open(); }), 3219);
  EXPECT_EQ(ShellQuery(path_, "SELECT count(*) FROM Logon WHERE Typ = 'x'"), "0");
}

// Parameters whose directions only a source with procedures has: the rules of which ones
// take a line and which ones give a value.
class QueryDefParametersTest : public ::testing::Test {
 protected:
  void Add(const char* name, int direction, int type = jet::dbText) {
    parameters_.Add(std::make_shared<jet::Parameter>(name, type, direction, true));
  }
  jet::OwnedCollection<jet::Parameter> parameters_{"DAO.Parameters"};
};

TEST_F(QueryDefParametersTest, OutputParametersTakeNoLineAndInputOutputOnesDo) {
  Add("In1", dbParamInput);
  Add("Out", dbParamOutput);
  Add("Both", dbParamInputOutput, jet::dbLong);
  Add("Result", dbParamReturnValue);
  Add("In2", dbParamInput);
  TStringList lines;
  lines.Add("a");
  lines.Add("42");
  lines.Add("NULL");
  BindQueryDefParameters(parameters_, lines);
  EXPECT_EQ(parameters_.Item("In1")->Value(), Variant("a"));
  EXPECT_FALSE(parameters_.Item("Out")->IsSet());
  EXPECT_EQ(parameters_.Item("Both")->Value(), Variant(42));
  EXPECT_FALSE(parameters_.Item("Result")->IsSet());
  EXPECT_TRUE(parameters_.Item("In2")->IsSet());
  EXPECT_TRUE(parameters_.Item("In2")->Value().IsNull());
  lines.Delete(2);
  EXPECT_EQ(MessageOf([&] { BindQueryDefParameters(parameters_, lines); }), kBadParameters);
}

TEST_F(QueryDefParametersTest, OutputValuesAreNullOneValueOrAnArrayByOutputOrder) {
  Add("In", dbParamInput);
  EXPECT_TRUE(CollectOutputParameters(parameters_).IsNull());
  Add("Result", dbParamReturnValue, jet::dbLong);
  parameters_.Item("Result")->SetValue(Variant(7));
  EXPECT_EQ(CollectOutputParameters(parameters_), Variant(7));
  // Three outputs with inputs between them: every value has its place, by output order.
  Add("Middle", dbParamInput);
  Add("Both", dbParamInputOutput);
  Add("Out", dbParamOutput);
  parameters_.Item("Both")->SetValue(Variant("b"));
  parameters_.Item("Out")->SetValue(Variant("o"));
  Variant value = CollectOutputParameters(parameters_);
  ASSERT_TRUE(value.IsArray());
  EXPECT_EQ(value.LowBound(), 0);
  EXPECT_EQ(value.HighBound(), 3);
  EXPECT_EQ(value[0], Variant(7));
  EXPECT_EQ(value[1], Variant("b"));
  EXPECT_EQ(value[2], Variant("o"));
  EXPECT_TRUE(value[3].IsEmpty());
}

TEST_F(LumoDaoTableQueryDefsTest, ParametersOfTheFileEngineAreInputsAndGiveNoOutput) {
  table_->F_Set_QueryDefName("ByUser");
  Parameters({"anna", "1/1/2024"});
  table_->Open();
  auto stored = database_->DaoDatabase()->QueryDefs().Item("ByUser");
  for (const auto& parameter : stored->Parameters()) EXPECT_EQ(parameter->Direction(), dbParamInput);
  // The definition reached again by its name keeps the values the dataset bound.
  EXPECT_EQ(stored->Parameters().Item("Who")->Value(), Variant("anna"));
  EXPECT_TRUE(table_->OutputParameterValue().IsNull());
}

}  // namespace
}  // namespace lumo
