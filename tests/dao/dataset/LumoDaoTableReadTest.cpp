// Reading records: the texts a scan hands out are the texts of the field's binary form
// (GetData), cut to the field's size, on dynasets, snapshots and forward-only datasets alike;
// bookmarks taken during a scan lead back to their records.

#include <gtest/gtest.h>

#include <cstring>

#include "DatasetTestSupport.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "runtime/DateFormat.h"
#include "runtime/DateTime.h"

namespace lumo {
namespace {

class LumoDaoTableReadTest : public testing::DatasetTest {
 protected:
  // Texts of every kind a field of five characters meets, written by the stock shell so that
  // the engine's own size checks do not stand in the way.
  void MakeTexts() {
    path_ = MakeDatabase({"CREATE TABLE Texts (ID COUNTER PRIMARY KEY, Short TEXT(5), Other TEXT(50))"});
    ShellQuery(path_,
               "DROP TRIGGER IF EXISTS [Texts.checks.insert]; DROP TRIGGER IF EXISTS [Texts.checks.update]; "
               "INSERT INTO Texts (Short, Other) VALUES ('abc', 'x'), ('abcde', NULL), ('abcdefgh', ''), "
               "(NULL, 'y'), ('', 'z'), ('äöüßé', 'umlauts'), ('äöüßéx', 'longer'), ('a' || char(0) || 'b', 'zero'), "
               "(12345, 'number')");
  }
  // Every record's texts, as AsString gives them, and the same read through GetData.
  void Scan(int tableType, std::vector<std::string>& asString, std::vector<std::string>& asData) {
    Connect(path_);
    table_->F_Set_TableName("Texts");
    table_->F_Set_TableType(tableType);
    table_->Open();
    TField* shortField = table_->FieldByName("Short");
    std::vector<char> data(static_cast<size_t>(shortField->DataSize()) + 1);
    for (table_->First(); !table_->Eof(); table_->Next()) {
      asString.push_back(shortField->AsString() + "|" + table_->FieldByName("Other")->AsString());
      std::fill(data.begin(), data.end(), '\0');
      const bool present = shortField->GetData(data.data());
      asData.push_back((present ? std::string(data.data()) : std::string()) + "|" +
                       table_->FieldByName("Other")->AsString());
    }
    table_->Close();
  }

  std::string path_;
};

TEST_F(LumoDaoTableReadTest, TextsAreTheFieldsBinaryFormOnEveryKindOfDataset) {
  MakeTexts();
  for (int tableType : {2, 4, 8}) {
    SCOPED_TRACE(tableType);
    std::vector<std::string> asString, asData;
    Scan(tableType, asString, asData);
    ASSERT_EQ(asString.size(), 9u);
    EXPECT_EQ(asString, asData);
    EXPECT_EQ(asString[0], "abc|x");
    EXPECT_EQ(asString[1], "abcde|");
    EXPECT_EQ(asString[2], "abcde|");  // cut to the field's five characters
    EXPECT_EQ(asString[3], "|y");
    EXPECT_EQ(asString[4], "|z");
    EXPECT_EQ(asString[7], "a|zero");  // the field's text ends at a zero byte
    EXPECT_EQ(asString[8], "12345|number");
  }
}

TEST_F(LumoDaoTableReadTest, BookmarksTakenWhileScanningLeadBack) {
  path_ = MakeDatabase({"CREATE TABLE Items (ID COUNTER PRIMARY KEY, Name TEXT(20))"});
  ShellQuery(path_,
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
             "INSERT INTO Items (Name) SELECT 'item' || i FROM n");
  Connect(path_);
  table_->F_Set_TableName("Items");
  table_->Open();
  std::vector<std::pair<TBookmark, std::string>> marks;
  int row = 0;
  for (table_->First(); !table_->Eof(); table_->Next(), ++row) {
    if (row % 997 == 0) marks.emplace_back(table_->GetBookmark(), table_->FieldByName("Name")->AsString());
  }
  ASSERT_EQ(marks.size(), 4u);
  EXPECT_EQ(table_->RecordCount(), 3000);
  for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
    table_->GotoBookmark(it->first);
    EXPECT_EQ(table_->FieldByName("Name")->AsString(), it->second);
  }
  EXPECT_EQ(marks.back().second, "item2992");
  // A record deleted elsewhere: its bookmark no longer leads anywhere.
  ShellQuery(path_, "DELETE FROM Items WHERE Name = 'item998'");
  EXPECT_NE(testing::DaoNumberOf([&] { table_->GotoBookmark(marks[1].first); }), 0);
}

TEST_F(LumoDaoTableReadTest, DatesReadAlikeOnEveryKindOfDataset) {
  // Stored by another program: the engine's own form, the shorter forms, dates before 1899
  // and at the calendar's ends, and texts that are no dates.
  path_ = MakeDatabase({"CREATE TABLE Stamps (ID COUNTER PRIMARY KEY, D DATETIME)"});
  ShellQuery(path_,
             "DROP TRIGGER IF EXISTS [Stamps.checks.insert]; DROP TRIGGER IF EXISTS [Stamps.checks.update]; "
             "INSERT INTO Stamps (D) VALUES ('2026-12-08 08:01:02.345'), (NULL), ('1850-03-01 12:00:00.000'), "
             "('1899-12-30 13:45:00.250'), ('2026-12-08'), ('2026-12-08T08:01:02'), ('not a date'), "
             "('9999-12-31 23:59:59.999'), ('0001-01-01 00:00:00.000'), ('2026-02-30 00:00:00.000'), "
             "('2026-12-08 24:00:00.000')");
  std::vector<std::vector<std::string>> scans;
  for (int tableType : {2, 4, 8}) {
    SCOPED_TRACE(tableType);
    Connect(path_);
    table_->F_Set_TableName("Stamps");
    table_->F_Set_TableType(tableType);
    table_->Open();
    TField* field = table_->FieldByName("D");
    std::vector<std::string> seen;
    for (table_->First(); !table_->Eof(); table_->Next()) {
      double msecs = -1;
      const bool present = field->GetData(&msecs);
      seen.push_back(field->AsString() + "|" + (present ? std::to_string(static_cast<int64_t>(msecs)) : "null"));
    }
    table_->Close();
    ASSERT_EQ(seen.size(), 11u);
    const TTimeStamp first{((8 * 60 + 1) * 60 + 2) * 1000 + 345,
                           static_cast<int32_t>(EncodeDate(2026, 12, 8)) + kDateDelta};
    EXPECT_NE(seen[0].find("|" + std::to_string(static_cast<int64_t>(TimeStampToMSecs(first)))), std::string::npos)
        << seen[0];
    EXPECT_EQ(seen[1], "|null");
    EXPECT_EQ(seen[8].substr(seen[8].rfind('|')), "|86400000");  // 1 January of the year 1
    scans.push_back(std::move(seen));
  }
  EXPECT_EQ(scans[0], scans[1]);
  EXPECT_EQ(scans[0], scans[2]);
}

// A date field read while a new value is validated, while it is edited, after a cancel and
// after the post: the value at each moment, as its text and as a date, alike whether the
// field reads the kept time stamp or the binary value.
TEST_F(LumoDaoTableReadTest, DateFieldsReadTheValueOfTheMoment) {
  path_ = MakeDatabase({"CREATE TABLE Stamps (ID COUNTER PRIMARY KEY, D DATETIME)"});
  ShellQuery(path_, "INSERT INTO Stamps (D) VALUES ('1850-03-01 12:00:00.000'), (NULL)");
  Connect(path_);
  table_->F_Set_TableName("Stamps");
  table_->Open();
  TField* field = table_->FieldByName("D");
  const TDateTime old = ComposeDateTime(EncodeDate(1850, 3, 1), EncodeTime(12, 0, 0, 0));
  const TDateTime fresh = ComposeDateTime(EncodeDate(2026, 12, 11), EncodeTime(4, 30, 15, 250));
  EXPECT_EQ(field->AsDateTime(), old);
  EXPECT_EQ(field->AsString(), DateTimeToStr(old));
  std::string whileValidating;
  field->OnValidate = [&](TField& f) { whileValidating = f.AsString() + "|" + std::to_string(f.AsDateTime()); };
  table_->Edit();
  field->SetAsDateTime(fresh);
  EXPECT_EQ(whileValidating, DateTimeToStr(fresh) + "|" + std::to_string(fresh));
  EXPECT_EQ(field->AsString(), DateTimeToStr(fresh));
  table_->Cancel();
  EXPECT_EQ(field->AsDateTime(), old);
  table_->Edit();
  field->SetAsDateTime(fresh);
  table_->Post();
  EXPECT_EQ(field->AsDateTime(), fresh);
  table_->Next();
  EXPECT_TRUE(field->IsNull());
  EXPECT_EQ(field->AsString(), "");
  EXPECT_EQ(field->AsDateTime(), 0.0);
  table_->Close();
  EXPECT_EQ(ShellQuery(path_, "SELECT D FROM Stamps ORDER BY ID"), "2026-12-11 04:30:15.250");
}

}  // namespace
}  // namespace lumo
