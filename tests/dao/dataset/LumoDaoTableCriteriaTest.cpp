// The criteria texts a dataset builds from key fields and values, on a real file with a
// field of every kind a criterion has a literal for, under German format settings: what the
// engine is asked, and that no key text can become more than a literal of its field.

#include "dao/dataset/LumoDaoTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Database.h"
#include "jet/Field.h"
#include "jet/Property.h"
#include "jet/TableDef.h"
#include "runtime/FormatSettings.h"
#include "tests/dao/dataset/DatasetTestSupport.h"

namespace lumo {
namespace {

using testing::DatasetTest;
using testing::MessageOf;
using Texts = std::vector<std::string>;

class LumoDaoTableCriteriaTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    const std::string path =
        MakeDatabase({"CREATE TABLE Kunden (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20), "
                      "Betrag DOUBLE, Preis CURRENCY, Anzahl LONG, Tag DATETIME, Uhrzeit DATETIME, "
                      "Seit DATETIME, Aktiv YESNO, Kennung GUID, Notiz MEMO, Roh BINARY(4))"});
    {
      jet::DBEngine engine("3.6");
      auto database = engine.OpenDatabase(path);
      for (const auto& [field, format] : {std::pair{"Tag", "Short Date"}, std::pair{"Uhrzeit", "Long Time"}}) {
        auto daoField = database->TableDefs().Item("Kunden")->Fields().Item(field);
        daoField->Properties().Append(daoField->Properties().CreateProperty("Format", jet::dbText, Variant(format)));
      }
      database->Close();
    }
    Connect(path);
    table_->SetName("Kunden");
    table_->F_Set_TableName("Kunden");
    table_->Open();
  }

  std::string Locate(const Texts& names, Texts texts, TLocateOptions options = {}) {
    return table_->BuildLocateCriteria(names, texts, options);
  }

  ScopedFormatSettings german_{FormatSettings::German()};
};

TEST_F(LumoDaoTableCriteriaTest, EveryFieldTypeGetsItsLiteralUnderGermanSettings) {
  ASSERT_EQ(table_->FieldByName("Tag")->DataType(), ftDate);
  ASSERT_EQ(table_->FieldByName("Uhrzeit")->DataType(), ftTime);
  EXPECT_EQ(Locate({"Name"}, {"Meier"}), R"(([Name] = "Meier"))");
  EXPECT_EQ(Locate({"Betrag"}, {"1.234,5"}), "([Betrag] = 1234.5)");
  EXPECT_EQ(Locate({"Preis"}, {"-0,25"}), "([Preis] = -0.25)");
  EXPECT_EQ(Locate({"Anzahl"}, {"7"}), "([Anzahl] = 7)");
  EXPECT_EQ(Locate({"Tag"}, {"08.12.2026"}), "([Tag] = #12/08/2026#)");
  EXPECT_EQ(Locate({"Uhrzeit"}, {"10:20:30"}), "([Uhrzeit] = #10:20:30#)");
  EXPECT_EQ(Locate({"Seit"}, {"8. 12. 2026 10:20:30"}), "([Seit] = #12/08/2026 10:20:30#)");
  EXPECT_EQ(Locate({"Aktiv"}, {"True"}), "([Aktiv] = True)");
  EXPECT_EQ(Locate({"Aktiv"}, {"0"}), "([Aktiv] = False)");
  EXPECT_EQ(Locate({"Kennung"}, {"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"}),
            "([Kennung] = {guid {6F9619FF-8B86-D011-B42D-00C04FC964FF}})");
  EXPECT_EQ(Locate({"Notiz"}, {"lang"}), R"(([Notiz] = "lang"))");
  // Null, written as such or as the text NULL; an empty number is Null too (two blanks).
  EXPECT_EQ(Locate({"Name"}, {"NULL"}), "([Name] IS NULL)");
  EXPECT_EQ(Locate({"Anzahl"}, {""}), "([Anzahl]  IS NULL)");
  EXPECT_EQ(Locate({"Tag"}, {""}), "([Tag]  IS NULL)");
  // Two fields: two clauses and AND, without outer parentheses.
  EXPECT_EQ(Locate({"Name", "Anzahl"}, {"Meier", "3"}), R"(([Name] = "Meier") AND ([Anzahl] = 3))");
  table_->F_Set_UseBrackets(false);
  EXPECT_EQ(Locate({"Name"}, {"x"}), R"((Name = "x"))");
}

TEST_F(LumoDaoTableCriteriaTest, TextOptionsLowerTheLiteralOnlyAndEscapeQuotesAndWildcards) {
  Texts texts = {"Mei\"ER*"};
  const TLocateOptions both{TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey};
  EXPECT_EQ(table_->BuildLocateCriteria({"Name"}, texts, both), R"(([Name] LIKE LCASE("mei""er[*]*")))");
  EXPECT_EQ(texts[0], "mei\"er*");  // the caller's list holds the lowered text
  EXPECT_EQ(Locate({"Name"}, {"Ä#[1]?"}, {TLocateOption::loPartialKey}), R"(([Name] LIKE "Ä[#][[]1[]][?]*"))");
  EXPECT_EQ(Locate({"Name"}, {"ÄRGER"}, {TLocateOption::loCaseInsensitive}), R"(([Name] = LCASE("ärger")))");
  // The key criteria of a look-up compare text with "=" whatever is asked.
  Texts keys = {"Sch*midt\""};
  EXPECT_EQ(table_->BuildKeyCriteria({"Name"}, keys), R"(([Name] = "Sch*midt"""))");
  // Dates are cleaned in the caller's list.
  Texts dates = {"08. 12. 2026"};
  table_->BuildKeyCriteria({"Tag"}, dates);
  EXPECT_EQ(dates[0], "08.12.2026");
  // A binary field that is no GUID: the text between quotes, its quotes doubled.
  EXPECT_EQ(Locate({"Roh"}, {"ab\"c"}), R"(([Roh] = "ab""c"))");
}

TEST_F(LumoDaoTableCriteriaTest, KeysThatAreNoValueOfTheirFieldAreRefused) {
  EXPECT_EQ(MessageOf([&] { Locate({"Anzahl"}, {"1 OR 1=1"}); }), "'1 OR 1=1' is not a valid floating point value");
  EXPECT_EQ(MessageOf([&] { Locate({"Betrag"}, {"Anzahl"}); }), "'Anzahl' is not a valid floating point value");
  EXPECT_EQ(MessageOf([&] { Locate({"Aktiv"}, {"vielleicht"}); }), "'vielleicht' is not a valid Boolean value");
  EXPECT_EQ(MessageOf([&] { Locate({"Kennung"}, {"{x}} OR {guid {y}"}); }),
            "'{x}} OR {guid {y}' is not a valid GUID value");
  EXPECT_NE(MessageOf([&] { Locate({"Tag"}, {"32.13.2026"}); }), "");
  EXPECT_EQ(MessageOf([&] { Locate({"Nope"}, {"1"}); }), "Kunden: Field 'Nope' not found");
  EXPECT_EQ(Locate({}, {}), "");
}

}  // namespace
}  // namespace lumo
