#include "jet/QueryDef.h"

#include <gtest/gtest.h>

#include "jet/DBEngine.h"
#include "jet/DaoConstants.h"
#include "jet/Recordset.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoMessageOf;
using testing::DaoNumberOf;
using testing::StockShell;

class QueryDefTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = PathOf("a.mdb");
    database_ = engine_.CreateDatabase(path_, dbLangGeneral);
    database_->Execute("CREATE TABLE Logon (ID COUNTER, Username TEXT(50), logontime DATETIME, Typ TEXT(10))");
    database_->Execute("INSERT INTO Logon (Username, logontime, Typ) VALUES ('anna', #1/2/2024 8:00#, 'logon')");
    database_->Execute("INSERT INTO Logon (Username, logontime, Typ) VALUES ('bert', #1/3/2024 9:00#, 'logon')");
  }

  DBEngine engine_{"3.6"};
  std::string path_;
  std::shared_ptr<Database> database_;
};

TEST_F(QueryDefTest, NamedDefinitionsAreStoredAndListed) {
  auto today = database_->CreateQueryDef("Today", "SELECT * FROM Logon WHERE logontime >= Date()");
  EXPECT_TRUE(today->IsSaved());
  EXPECT_EQ(database_->QueryDefs().Count(), 1);
  EXPECT_EQ(database_->QueryDefs().Item("TODAY"), today);
  EXPECT_EQ(today->DateCreated().Type(), VarType::kDate);
  EXPECT_EQ(StockShell(path_, "SELECT Name || ': ' || SQL FROM MSysQueries"),
            "Today: SELECT * FROM Logon WHERE logontime >= Date()\n");
  // Tables and queries share their names.
  EXPECT_EQ(DaoNumberOf([&] { database_->CreateQueryDef("today", "SELECT 1 FROM Logon"); }), 3367);
  EXPECT_EQ(DaoNumberOf([&] { database_->CreateQueryDef("Logon", "SELECT 1 FROM Logon"); }), 3367);
  // A definition without a name is temporary.
  auto temporary = database_->CreateQueryDef("", "DELETE FROM Logon");
  EXPECT_FALSE(temporary->IsSaved());
  EXPECT_EQ(database_->QueryDefs().Count(), 1);
}

TEST_F(QueryDefTest, SqlCanBeReadAndReplaced) {
  auto query = database_->CreateQueryDef("Q", "SELECT * FROM Logon");
  query->SetSQL("SELECT Username FROM Logon ORDER BY Username");
  database_->Close();
  auto reopened = engine_.OpenDatabase(path_);
  auto again = reopened->QueryDefs().Item("q");
  EXPECT_EQ(again->SQL(), "SELECT Username FROM Logon ORDER BY Username");
  EXPECT_GE(again->LastUpdated().AsDateTime(), again->DateCreated().AsDateTime());
  // A text Jet cannot read is refused and the old one stays.
  EXPECT_EQ(DaoNumberOf([&] { again->SetSQL("SELECT FROM WHERE"); }), 3141);
  EXPECT_EQ(again->SQL(), "SELECT Username FROM Logon ORDER BY Username");
  reopened->QueryDefs().Delete("Q");
  EXPECT_FALSE(again->IsValid());
  EXPECT_EQ(DaoNumberOf([&] { reopened->QueryDefs().Item("Q"); }), 3265);
  EXPECT_EQ(DaoNumberOf([&] { reopened->QueryDefs().Delete("Q"); }), 3265);
}

TEST_F(QueryDefTest, TypeFollowsTheStatement) {
  struct Case {
    const char* sql;
    int type;
  } cases[] = {
      {"SELECT * FROM Logon", dbQSelect},
      {"SELECT Username FROM Logon UNION SELECT Typ FROM Logon", dbQSetOperation},
      {"DELETE FROM Logon WHERE Typ = 'x'", dbQDelete},
      {"UPDATE Logon SET Typ = 'x'", dbQUpdate},
      {"INSERT INTO Logon (Username) VALUES ('c')", dbQAppend},
      {"SELECT * INTO Copy FROM Logon", dbQMakeTable},
      {"CREATE TABLE t (a LONG)", dbQDDL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(database_->CreateQueryDef("", c.sql)->Type(), c.type) << c.sql;
  }
}

TEST_F(QueryDefTest, ParametersAreDeclaredOrUnresolvedNames) {
  auto query = database_->CreateQueryDef(
      "ByUser",
      "PARAMETERS [Who] Text (255), Since DateTime; SELECT * FROM Logon WHERE Username = [Who] AND "
      "logontime >= Since AND Typ = Kind");
  Collection<Parameter>& parameters = query->Parameters();
  ASSERT_EQ(parameters.Count(), 3);
  EXPECT_EQ(parameters.Item("who")->Type(), dbText);
  EXPECT_EQ(parameters.Item("Since")->Type(), dbDate);
  EXPECT_EQ(parameters.Item("Kind")->Type(), dbText);
  EXPECT_EQ(parameters.Item(0)->Direction(), dbParamInput);
  EXPECT_TRUE(parameters.Item(0)->Value().IsNull());
  // Values persist across a change of the text.
  parameters.Item("Who")->SetValue(Variant("anna"));
  query->SetSQL("PARAMETERS Who Text (255); SELECT * FROM Logon WHERE Username = Who");
  ASSERT_EQ(query->Parameters().Count(), 1);
  EXPECT_EQ(query->Parameters().Item("Who")->Value(), Variant("anna"));
}

TEST_F(QueryDefTest, ExecuteBindsParameterValues) {
  auto stamp = database_->CreateQueryDef("", "UPDATE Logon SET Typ = [NewTyp] WHERE Username = [Who]");
  EXPECT_EQ(DaoMessageOf([&] { stamp->Execute(); }), "Too few parameters. Expected 2");
  stamp->Parameters().Item("NewTyp")->SetValue(Variant("logoff"));
  EXPECT_EQ(DaoNumberOf([&] { stamp->Execute(); }), 3061);
  stamp->Parameters().Item("Who")->SetValue(Variant("BERT"));
  stamp->Execute(dbFailOnError);
  EXPECT_EQ(stamp->RecordsAffected(), 1);
  EXPECT_EQ(StockShell(path_, "SELECT Typ FROM Logon WHERE Username = 'bert'"), "logoff\n");
  // A declared type converts the value where it is assigned; one that does not convert is
  // refused there, and the parameter keeps what it had.
  auto typed = database_->CreateQueryDef("", "PARAMETERS Since DateTime; DELETE FROM Logon WHERE logontime < Since");
  Parameter& since = *typed->Parameters().Item("Since");
  EXPECT_EQ(DaoNumberOf([&] { since.SetValue(Variant("no date")); }), 3421);
  EXPECT_FALSE(since.IsSet());
  since.SetValue(Variant("1/3/2024"));
  EXPECT_EQ(since.Value().Type(), VarType::kDate);
  // A text that a new declaration cannot take is kept, and opening refuses it.
  typed->SetSQL("PARAMETERS Since Text (20); DELETE FROM Logon WHERE logontime < Since");
  typed->Parameters().Item("Since")->SetValue(Variant("no date"));
  typed->SetSQL("PARAMETERS Since DateTime; DELETE FROM Logon WHERE logontime < Since");
  EXPECT_EQ(DaoNumberOf([&] { typed->Execute(); }), 3060);
  typed->Parameters().Item("Since")->SetValue(Variant::FromDate(45294.0));  // 3 Jan 2024
  typed->Execute();
  EXPECT_EQ(typed->RecordsAffected(), 1);
  auto select = database_->CreateQueryDef("", "SELECT * FROM Logon");
  EXPECT_EQ(DaoNumberOf([&] { select->Execute(); }), 3065);
}

TEST_F(QueryDefTest, FieldsDescribeTheResultColumns) {
  auto query = database_->CreateQueryDef("", "SELECT ID, Username AS Who, Len(Typ) AS Length FROM Logon");
  Collection<Field>& fields = query->Fields();
  ASSERT_EQ(fields.Count(), 3);
  EXPECT_EQ(fields.Item(0)->Attributes() & dbAutoIncrField, dbAutoIncrField);
  EXPECT_EQ(fields.Item("Who")->Type(), dbText);
  EXPECT_EQ(fields.Item("Who")->Size(), 50);
  EXPECT_EQ(fields.Item("Who")->SourceField(), "Username");
  EXPECT_EQ(fields.Item("Who")->SourceTable(), "Logon");
  EXPECT_EQ(DaoNumberOf([&] { fields.Item("Who")->SetName("x"); }), 3219);
}

TEST_F(QueryDefTest, SettingsAndUserPropertiesOfADefinition) {
  auto query = database_->CreateQueryDef("Q", "SELECT * FROM Logon");
  query->SetMaxRecords(10);
  query->SetODBCTimeout(5);
  EXPECT_EQ(query->MaxRecords(), 10);
  EXPECT_EQ(query->Properties().Item("ODBCTimeout")->Value(), Variant::FromSmallint(5));
  EXPECT_EQ(DaoNumberOf([&] { query->SetMaxRecords(-1); }), 3001);
  query->Properties().Append(database_->CreateProperty("Description", dbText, Variant("all rows")));
  database_->Close();
  auto reopened = engine_.OpenDatabase(path_);
  EXPECT_EQ(reopened->QueryDefs().Item("Q")->Properties().Item("Description")->Value(), Variant("all rows"));
  EXPECT_EQ(DaoNumberOf([&] {
              query->SQL();
              query->Parameters();
            }),
            3420);
}

TEST_F(QueryDefTest, OpenRecordsetRunsTheTextWithItsParameters) {
  auto query =
      database_->CreateQueryDef("ByUser", "PARAMETERS Who Text (50); SELECT * FROM Logon WHERE Username = Who");
  EXPECT_EQ(DaoNumberOf([&] { query->OpenRecordset(); }), 3061);
  query->Parameters().Item("Who")->SetValue(Variant("BERT"));
  auto recordset = query->OpenRecordset(dbOpenSnapshot);
  ASSERT_FALSE(recordset->IsEOF());
  EXPECT_EQ(recordset->Fields().Item("Username")->Value(), Variant("bert"));
  recordset->MoveNext();
  EXPECT_TRUE(recordset->IsEOF());
  auto action = database_->CreateQueryDef("", "DELETE FROM Logon");
  EXPECT_EQ(DaoNumberOf([&] { action->OpenRecordset(); }), 3219);
}

TEST_F(QueryDefTest, ParametersOfTheFileEngineAreInputOnly) {
  auto query = database_->CreateQueryDef("", "SELECT * FROM Logon WHERE Username = Who");
  Parameter& who = *query->Parameters().Item(0);
  EXPECT_EQ(who.Direction(), dbParamInput);
  EXPECT_EQ(DaoNumberOf([&] { who.SetDirection(dbParamOutput); }), 3251);
  EXPECT_EQ(DaoNumberOf([&] { who.SetDirection(7); }), 3001);
  who.SetDirection(dbParamInput);
  EXPECT_EQ(who.Direction(), dbParamInput);
  // A source with procedures makes parameters that run in other directions.
  Parameter result("Result", dbLong, dbParamReturnValue, true);
  result.SetDirection(dbParamInputOutput);
  EXPECT_EQ(result.Direction(), dbParamInputOutput);
}

}  // namespace
}  // namespace lumo::jet
