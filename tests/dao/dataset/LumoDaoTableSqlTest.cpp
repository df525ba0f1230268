// SQL statements, parameters following the SQL text, their substitution as Jet literals, and
// the streamed parameter data.

#include <gtest/gtest.h>

#include "DatasetTestSupport.h"
#include "db/Fields.h"
#include "runtime/DateTime.h"
#include "runtime/FormReader.h"
#include "runtime/FormWriter.h"

namespace lumo {
namespace {

using testing::MessageOf;

class LumoDaoTableSqlTest : public testing::DatasetTest {
 protected:
  // The text the engine would receive for one line of SQL.
  std::string Substituted(const std::string& sql) {
    table_->SQL().SetText(sql);
    std::string text = table_->SubstituteParams(table_->SQL());
    return text.substr(0, text.size() - 2);  // the line break every line ends with
  }
  void SetUp() override {
    DatasetTest::SetUp();
    table_ = std::make_unique<TLumoDaoTable>(nullptr);
  }
};

TEST_F(LumoDaoTableSqlTest, ParamsFollowTheSqlTextAndKeepTheirValues) {
  table_->SQL().Add("select * from t where a = :a and b = :B and c = ':quoted' and t = 10:20:30");
  ASSERT_EQ(table_->Params().Count(), 2);
  table_->Params().ParamByName("a").SetAsInteger(7);
  table_->SQL().SetText("select * from t where a = :a or d = :d");  // one change
  ASSERT_EQ(table_->Params().Count(), 2);
  EXPECT_EQ(table_->Params().ParamByName("a").AsInteger(), 7);
  EXPECT_TRUE(table_->Params().ParamByName("d").IsNull());
  table_->F_Set_ParamCheck(false);
  table_->SQL().Add("and e = :e");
  EXPECT_EQ(table_->Params().FindParam("e"), nullptr);
}

TEST_F(LumoDaoTableSqlTest, IntegerAndNullParameters) {
  table_->SQL().Add("x");
  TParam& id = table_->Params().CreateParam(ftInteger, "id", TParamType::ptInput);
  id.SetAsInteger(5);
  EXPECT_EQ(Substituted("select * from t where id = :id"), "select * from t where id = 5");
  table_->Params().ParamByName("id").Clear();
  EXPECT_EQ(Substituted("select * from t where id = :id"), "select * from t where id =  IS NULL");
}

TEST_F(LumoDaoTableSqlTest, OnlyWholeTokensAreReplacedWhateverTheirCase) {
  EXPECT_EQ(table_->ReplaceParamToken("where a = :idx and b = :id2 and c = :ID and d=:id", ":id", "5"),
            "where a = :idx and b = :id2 and c = 5 and d=5");
  EXPECT_EQ(table_->ReplaceParamToken(":id", ":id", "5"), "5");
  EXPECT_EQ(table_->ReplaceParamToken("x_:id or y:id", ":id", "5"), "x_:id or y:id");
  EXPECT_EQ(table_->ReplaceParamToken("", ":id", "5"), "");
}

TEST_F(LumoDaoTableSqlTest, LiteralsFollowTheParameterType) {
  table_->SQL().Add("x");
  TParams& params = table_->Params();
  params.CreateParam(ftString, "s", TParamType::ptInput).SetAsString("say \"hi\"");
  params.CreateParam(ftDate, "d", TParamType::ptInput).SetAsDateTime(EncodeDate(2004, 3, 5));
  params.CreateParam(ftDateTime, "dt", TParamType::ptInput)
      .SetAsDateTime(EncodeDate(2004, 3, 5) + EncodeTime(14, 5, 9, 0));
  params.CreateParam(ftTime, "t", TParamType::ptInput).SetAsDateTime(EncodeTime(7, 8, 9, 0));
  SetCurrentFormatSettings(FormatSettings::German());
  params.CreateParam(ftFloat, "f", TParamType::ptInput).SetAsFloat(1234.5);
  EXPECT_EQ(Substituted("a = :s and b = :d and c = :dt and e = :t and f = :f"),
            "a = \"say \"\"hi\"\"\" and b = #03/05/2004# and c = #03/05/2004 14:05:09# and "
            "e = #07:08:09# and f = 1234.5");
  SetCurrentFormatSettings(FormatSettings::Invariant());
}

TEST_F(LumoDaoTableSqlTest, ParamCheckOffLeavesTheTextAlone) {
  table_->SQL().Add("x");
  table_->Params().CreateParam(ftInteger, "id", TParamType::ptInput).SetAsInteger(5);
  table_->F_Set_ParamCheck(false);
  EXPECT_EQ(Substituted("select * from t where id = :id"), "select * from t where id = :id");
}

TEST_F(LumoDaoTableSqlTest, ExecuteSqlRunsSubstitutedStatementsAndCountsRows) {
  const std::string path = MakeDatabase({"CREATE TABLE T (ID COUNTER PRIMARY KEY, Name TEXT(10), Seen DATETIME)",
                                         "INSERT INTO T (Name) VALUES ('a')", "INSERT INTO T (Name) VALUES ('b')",
                                         "INSERT INTO T (Name) VALUES ('b')"});
  database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
  table_->F_Set_Database(database_.get());
  database_->F_Set_Database(path);
  table_->SQL().Add("update T set Seen = :when where Name = :name");
  EXPECT_EQ(MessageOf([&] { table_->ExecuteSQL(); }),
            "TLumoDaoTable.ExecuteSQL: Cannot execute SQL query while Database is not Assigned "
            "or Connected!");
  database_->Open();
  table_->Params().ParamByName("when").SetDataType(ftDateTime);
  table_->Params().ParamByName("when").SetAsDateTime(EncodeDate(2004, 3, 5));
  table_->Params().ParamByName("name").SetDataType(ftString);
  table_->Params().ParamByName("name").SetAsString("b");
  EXPECT_EQ(table_->ExecuteSQL(), 2);
  EXPECT_EQ(table_->RecordsAffected(), 2);
  EXPECT_EQ(ShellQuery(path, "SELECT count(*) FROM T WHERE Seen = '2004-03-05 00:00:00.000'"), "2");
  EXPECT_FALSE(table_->Active());
  // Opening on SQL substitutes the same way.
  table_->SQL().Clear();
  table_->SQL().Add("select * from T where Name = :name");
  table_->Params().ParamByName("name").SetDataType(ftString);
  table_->Params().ParamByName("name").SetAsString("a");
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), 1);
}

TEST_F(LumoDaoTableSqlTest, ComputedColumnsBecomeFieldsOfTheirType) {
  // A count, a date and a text computed by the query read with the record like table fields.
  Connect(MakeDatabase({"CREATE TABLE T (ID COUNTER PRIMARY KEY, Name TEXT(10), Seen DATETIME)",
                        "INSERT INTO T (Name, Seen) VALUES ('a', #3/5/2004#)",
                        "INSERT INTO T (Name, Seen) VALUES ('b', #3/7/2004 12:00#)"}));
  SetSql(*table_, "select Count(*) as n, Max(Seen) as latest, Min(Name) & '!' as first from T");
  table_->Open();
  EXPECT_EQ(table_->FieldByName("n")->DataType(), ftInteger);
  EXPECT_EQ(table_->FieldByName("n")->AsInteger(), 2);
  EXPECT_EQ(table_->FieldByName("latest")->DataType(), ftDateTime);
  EXPECT_EQ(table_->FieldByName("latest")->AsDateTime(), EncodeDate(2004, 3, 7) + EncodeTime(12, 0, 0, 0));
  EXPECT_EQ(table_->FieldByName("first")->DataType(), ftString);
  EXPECT_EQ(table_->FieldByName("first")->AsString(), "a!");
}

TEST_F(LumoDaoTableSqlTest, ParamValuesSurviveClearingAndRefillingTheText) {
  const std::string path =
      MakeDatabase({"CREATE TABLE T (ID COUNTER PRIMARY KEY, Name TEXT(10))", "INSERT INTO T (Name) VALUES ('a')",
                    "INSERT INTO T (Name) VALUES ('b')", "INSERT INTO T (Name) VALUES ('c')"});
  database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
  database_->F_Set_Database(path);
  database_->Open();
  table_->F_Set_Database(database_.get());
  table_->SQL().Add("select Name from T where Name >= :low");
  table_->Params().ParamByName("low").SetDataType(ftString);
  table_->Params().ParamByName("low").SetAsString("b");
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), 2);
  table_->Close();
  // The usual way to change the text: clear it, then add its lines one by one.
  table_->SQL().Clear();
  EXPECT_EQ(table_->Params().Count(), 0);
  table_->SQL().Add("select Name from T");
  table_->SQL().Add("where Name >= :low and Name <> :other");
  ASSERT_EQ(table_->Params().Count(), 2);
  EXPECT_EQ(table_->Params().ParamByName("low").AsString(), "b");
  EXPECT_EQ(table_->Params().ParamByName("low").DataType(), ftString);
  EXPECT_TRUE(table_->Params().ParamByName("other").IsNull());
  table_->Params().ParamByName("other").SetDataType(ftString);
  table_->Params().ParamByName("other").SetAsString("c");
  table_->Open();
  EXPECT_EQ(table_->RecordCount(), 1);
  EXPECT_EQ(table_->FieldByName("Name")->AsString(), "b");
  table_->Close();
  // Once a text was used, parameters that left it before are forgotten.
  table_->SQL().SetText("select Name from T");
  table_->Open();
  table_->Close();
  table_->SQL().SetText("select Name from T where Name >= :low");
  EXPECT_TRUE(table_->Params().ParamByName("low").IsNull());
}

TEST_F(LumoDaoTableSqlTest, ParamDataIsStreamedWithTheComponent) {
  RegisterDaoTableClasses();
  TComponent form(nullptr);
  form.SetName("Form1");
  auto* table = new TLumoDaoTable(&form);
  table->SetName("query");
  table->SQL().Add("select * from t where id = :id");
  table->Params().ParamByName("id").SetDataType(ftInteger);
  table->Params().ParamByName("id").SetAsInteger(42);
  const std::string text = WriteComponent(form);
  EXPECT_NE(text.find("ParamData"), std::string::npos) << text;
  EXPECT_EQ(text.find("ComponentVersion"), std::string::npos) << text;  // its default

  TComponent copy(nullptr);
  ReadComponent(text, copy);
  auto* read = dynamic_cast<TLumoDaoTable*>(copy.FindComponent("query"));
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Params().Count(), 1);
  EXPECT_EQ(read->Params()[0].Name(), "id");
  EXPECT_EQ(read->Params()[0].AsInteger(), 42);
}

TEST_F(LumoDaoTableSqlTest, ActivationErrorWhileLoadingIsShownAndSwallowed) {
  RegisterDaoTableClasses();
  TComponent form(nullptr);
  ReadComponent(
      "object Form1: TComponent\n"
      "  object query: TLumoDaoTable\n"
      "    TableName = 'Nowhere'\n"
      "    Active = True\n"
      "  end\n"
      "end\n",
      form);
  auto* read = dynamic_cast<TLumoDaoTable*>(form.FindComponent("query"));
  ASSERT_NE(read, nullptr);
  EXPECT_FALSE(read->Active());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "TLumoDaoTable.OpenDaoRecordset: Missing Database Property");
}

}  // namespace
}  // namespace lumo
