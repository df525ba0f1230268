// Fields: binary forms and conversions, cuts, read-only refusal, texts, persistent fields
// read from a form description.

#include "db/Fields.h"

#include "runtime/DateFormat.h"
#include "runtime/FormReader.h"
#include "runtime/NumberText.h"
#include "tests/db/DbTestSupport.h"

#include <gtest/gtest.h>

namespace lumo {
namespace {

using test::TArrayDataSet;

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.SetName("Logon");
    data_.Define("Name", ftString, 3);
    data_.Define("Count", ftSmallint);
    data_.Define("Flag", ftBoolean);
    data_.Define("Ratio", ftFloat);
    data_.Define("When", ftDateTime);
    data_.Open();
    data_.Append();
  }
  TField* Field(const char* name) { return data_.FieldByName(name); }

  ScopedFormatSettings settings_{FormatSettings::German()};
  TArrayDataSet data_;
};

TEST_F(FieldTest, StringIsCutToSizeInCharactersNeverSplittingOne) {
  Field("Name")->SetAsString("Grüße");
  EXPECT_EQ(Field("Name")->AsString(), "Grü");
  Field("Name")->SetAsString("ab");
  EXPECT_EQ(Field("Name")->AsString(), "ab");
  EXPECT_EQ(Field("Name")->DataSize(), 13);
  Field("Name")->SetAsInteger(12345);
  EXPECT_EQ(Field("Name")->AsString(), "123");
}

TEST_F(FieldTest, NumbersConvertAndSmallintRefusesOutOfRange) {
  TField* count = Field("Count");
  count->SetAsString("12");
  EXPECT_EQ(count->AsInteger(), 12);
  EXPECT_EQ(count->Value(), Variant(12));
  count->SetAsFloat(2.6);
  EXPECT_EQ(count->AsInteger(), 3);
  try {
    count->SetAsInteger(40000);
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "40000 is not a valid value for field 'Count'. The allowed range is -32768 to 32767");
  }
  EXPECT_THROW(count->SetAsString("zwölf"), EConvertError);
  count->SetAsString("");
  EXPECT_TRUE(count->IsNull());
  EXPECT_TRUE(count->Value().IsNull());

  Field("Ratio")->SetAsString("1,5");  // German decimal separator
  EXPECT_DOUBLE_EQ(Field("Ratio")->AsFloat(), 1.5);
  EXPECT_EQ(Field("Ratio")->DisplayText(), FloatToStr(1.5));
}

TEST_F(FieldTest, BooleanTextsAndBinaryForm) {
  TField* flag = Field("Flag");
  flag->SetAsBoolean(true);
  EXPECT_EQ(flag->DisplayText(), "True");
  int16_t raw = 0;
  ASSERT_TRUE(flag->GetData(&raw));
  EXPECT_NE(raw, 0);
  flag->SetAsString("false");
  EXPECT_EQ(flag->AsString(), "False");
  EXPECT_THROW(flag->SetAsString("vielleicht"), EDatabaseError);
}

TEST_F(FieldTest, DateTimeTravelsAsMillisecondsSinceDayOne) {
  TField* when = Field("When");
  TDateTime moment = EncodeDate(2026, 12, 8) + EncodeTime(10, 5, 7, 0);
  when->SetAsDateTime(moment);
  double milliSeconds = 0;
  ASSERT_TRUE(when->GetData(&milliSeconds));
  EXPECT_DOUBLE_EQ(milliSeconds, TimeStampToMSecs(DateTimeToTimeStamp(moment)));
  EXPECT_DOUBLE_EQ(when->AsDateTime(), moment);
  EXPECT_EQ(when->DisplayText(), DateTimeToStr(moment));
  when->SetAsString(DateTimeToStr(moment));
  EXPECT_DOUBLE_EQ(when->AsDateTime(), moment);
  EXPECT_EQ(when->Value().Type(), VarType::kDate);
  // A null date reads as empty text, and the next value as itself again.
  when->Clear();
  EXPECT_TRUE(when->IsNull());
  EXPECT_EQ(when->AsString(), "");
  when->SetAsDateTime(moment + 1);
  EXPECT_EQ(when->AsString(), DateTimeToStr(moment + 1));
}

// The texts a scan shows for each kind of date field, at the calendar's ends, on both sides
// of day zero (negative values count the time from midnight backwards), at midnight and with
// milliseconds that the default text does not show.
TEST_F(FieldTest, DateFieldTextsAtTheEdgesOfTheCalendar) {
  TArrayDataSet dates;
  dates.Define("When", ftDateTime);
  dates.Define("Day", ftDate);
  dates.Define("Hour", ftTime);
  dates.Open();
  dates.Append();
  struct Case {
    TDateTime value;
    const char* dateTime;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {-1.25, "29.12.1899 06:00:00", "29.12.1899", "06:00:00"},
      {-2.75, "28.12.1899 18:00:00", "28.12.1899", "18:00:00"},
      {0.0, "30.12.1899", "30.12.1899", "00:00:00"},
      {0.5, "30.12.1899 12:00:00", "30.12.1899", "12:00:00"},
      {kMinDateTime, "01.01.0001", "01.01.0001", "00:00:00"},
      {EncodeDate(100, 1, 1), "01.01.0100", "01.01.0100", "00:00:00"},
      {EncodeDate(100, 1, 1) - EncodeTime(23, 59, 59, 0), "01.01.0100 23:59:59", "01.01.0100", "23:59:59"},
      {kMaxDateTime, "31.12.9999 23:59:59", "31.12.9999", "23:59:59"},
      {EncodeDate(2026, 12, 8) + EncodeTime(0, 0, 0, 500), "08.12.2026", "08.12.2026", "00:00:00"},
      {EncodeDate(2026, 12, 8) + EncodeTime(10, 20, 30, 999), "08.12.2026 10:20:30", "08.12.2026", "10:20:30"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"When", "Day", "Hour"}) dates.FieldByName(name)->SetAsDateTime(c.value);
    EXPECT_EQ(dates.FieldByName("When")->AsString(), c.dateTime) << c.value;
    EXPECT_EQ(dates.FieldByName("Day")->AsString(), c.date) << c.value;
    EXPECT_EQ(dates.FieldByName("Hour")->AsString(), c.time) << c.value;
    EXPECT_DOUBLE_EQ(dates.FieldByName("When")->AsDateTime(), c.value) << c.value;
  }
  // A date field keeps the day alone, a time field the time of day zero.
  EXPECT_DOUBLE_EQ(dates.FieldByName("Day")->AsDateTime(), EncodeDate(2026, 12, 8));
  EXPECT_DOUBLE_EQ(dates.FieldByName("Hour")->AsDateTime(), EncodeTime(10, 20, 30, 999));
  // A display format goes through the general formatter and sees the milliseconds.
  auto* when = static_cast<TDateTimeField*>(dates.FieldByName("When"));
  when->SetDisplayFormat("yyyy-mm-dd hh:nn:ss.zzz");
  EXPECT_EQ(when->DisplayText(), "2026-12-08 10:20:30.999");
  when->SetAsDateTime(-1.25);
  EXPECT_EQ(when->DisplayText(), "1899-12-29 06:00:00.000");
}

TEST_F(FieldTest, ReadOnlyFieldRefusesEditsWithItsName) {
  Field("Count")->SetReadOnly(true);
  try {
    Field("Count")->SetAsInteger(1);
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Field 'Count' cannot be modified");
  }
  EXPECT_TRUE(Field("Count")->IsNull());
}

TEST_F(FieldTest, TextEventsReplaceTheDefaultTexts) {
  TField* name = Field("Name");
  name->OnGetText = [](TField& field, std::string& text, bool display) {
    text = (display ? "[" : "(") + field.AsString() + (display ? "]" : ")");
  };
  name->OnSetText = [](TField& field, const std::string& text) { field.SetAsString("x" + text); };
  name->SetText("y");
  EXPECT_EQ(name->AsString(), "xy");
  EXPECT_EQ(name->DisplayText(), "[xy]");
  EXPECT_EQ(name->Text(), "(xy)");
}

TEST_F(FieldTest, ValidationSeesTheNewValueAndMayRefuseIt) {
  TField* count = Field("Count");
  std::vector<int> seen;
  count->OnValidate = [&](TField& field) {
    seen.push_back(field.AsInteger());
    if (field.AsInteger() < 0) throw EDatabaseError("negative");
  };
  count->SetAsInteger(5);
  EXPECT_THROW(count->SetAsInteger(-1), EDatabaseError);
  EXPECT_EQ(seen, (std::vector<int>{5, -1}));
  EXPECT_EQ(count->AsInteger(), 5);
}

// A form that owns datasets, for reading descriptions.
class TFieldTestForm : public TComponent {
 public:
  using TComponent::TComponent;
  static const ClassInfo& StaticClass() {
    static const ClassInfo info = ClassBuilder<TFieldTestForm>("TFieldTestForm", &TComponent::StaticClass);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
};

TEST(FieldFormTest, PersistentFieldsFromADescriptionBindByName) {
  RegisterFieldClasses();
  RegisterClass(TFieldTestForm::StaticClass());
  RegisterClass(TArrayDataSet::StaticClass());
  TFieldTestForm form(nullptr);
  ReadComponent(R"(object Form1: TFieldTestForm
  object Logon: TArrayDataSet
    object LogonId: TAutoIncField
      FieldName = 'ID'
      ReadOnly = True
    end
    object LogonUsername: TStringField
      FieldName = 'Username'
      Size = 5
    end
  end
end)",
                form);
  auto* data = dynamic_cast<TArrayDataSet*>(form.FindComponent("Logon"));
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->FieldCount(), 2);
  EXPECT_EQ(data->Fields()[1]->Owner(), &form);
  data->Define("Username", ftString, 50);
  data->Define("id", ftAutoInc);
  data->AddRow({"someone"});
  data->Open();
  EXPECT_FALSE(data->DefaultFields());
  EXPECT_EQ(data->FieldByName("id")->FieldNo(), 2);
  data->Edit();
  data->FieldByName("USERNAME")->SetAsString("abcdefgh");  // the persistent size counts
  EXPECT_EQ(data->FieldByName("Username")->AsString(), "abcde");
  EXPECT_THROW(data->FieldByName("ID")->SetAsInteger(3), EDatabaseError);
  data->Cancel();
  data->Close();
  EXPECT_EQ(data->FieldCount(), 2);
  TArrayDataSet other;
  other.Define("Username", ftString, 50);
  TStringField missing(nullptr);
  missing.SetFieldName("logofftime");
  missing.SetDataSet(&other);
  other.SetName("Logon");
  try {
    other.Open();
    FAIL();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Logon: Field 'logofftime' not found");
  }
}

}  // namespace
}  // namespace lumo
