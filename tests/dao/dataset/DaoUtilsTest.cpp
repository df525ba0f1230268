#include "dao/dataset/DaoUtils.h"
#include "dao/dataset/DaoValueText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/JetTypes.h"
#include "runtime/DateTime.h"
#include "runtime/Exceptions.h"

namespace lumo {
namespace {

TEST(DaoUtilsTest, BracketNameQuotesEveryDottedPart) {
  EXPECT_EQ(BracketName("Name"), "[Name]");
  EXPECT_EQ(BracketName("Orders.Date"), "[Orders].[Date]");
  EXPECT_EQ(BracketName("a.b.c"), "[a].[b].[c]");
  EXPECT_EQ(BracketName(""), "[]");
  EXPECT_EQ(BracketName("x."), "[x].[]");
  EXPECT_EQ(BracketName("[Name]"), "[[Name]]");
}

TEST(DaoUtilsTest, NormalizeDateTextKeepsOnlyTheBlankBeforeTheTime) {
  FormatSettings german = FormatSettings::German();
  EXPECT_EQ(NormalizeDateText("", german), "");
  EXPECT_EQ(NormalizeDateText("08. 12. 2026 10:20", german), "08.12.2026 10:20");
  EXPECT_EQ(NormalizeDateText("08.12.2026 10:20:30", german), "08.12.2026 10:20:30");
  EXPECT_EQ(NormalizeDateText("8. Dezember 2026, 10:20:30 Uhr", german), "8.2026 10:20:30");
  EXPECT_EQ(NormalizeDateText("12/8/2026 10:20:30 AM", german), "12/8/2026 10:20:30");
  // Without a time every blank goes.
  EXPECT_EQ(NormalizeDateText(" 1. 2. 2003 ", german), "1.2.2003");
  // The Cyrillic year mark is taken out before the rest is cleaned.
  EXPECT_EQ(NormalizeDateText("01.02.2003\xE3\x2E", german), "01.02.2003");
}

TEST(DaoUtilsTest, FieldTypeNameSpellsSmallIntWithCapitalAndHidesByteTypes) {
  EXPECT_EQ(FieldTypeName(ftString), "ftString");
  EXPECT_EQ(FieldTypeName(ftSmallint), "ftSmallInt");
  EXPECT_EQ(FieldTypeName(ftAutoInc), "ftAutoInc");
  EXPECT_EQ(FieldTypeName(ftMemo), "ftMemo");
  EXPECT_EQ(FieldTypeName(ftBytes), "ftUnknown");
  EXPECT_EQ(FieldTypeName(ftVarBytes), "ftUnknown");
  EXPECT_EQ(FieldTypeName(ftGraphic), "ftUnknown");
  EXPECT_EQ(FieldTypeName(static_cast<TFieldType>(-3)), "ftUnknown");
}

TEST(DaoUtilsTest, DaoTypesMapOntoDatasetTypesAndSizes) {
  using namespace jet;
  EXPECT_EQ(DaoTypeToFieldType(dbBoolean, 0), ftBoolean);
  EXPECT_EQ(DaoTypeToFieldType(dbByte, 0), ftSmallint);
  EXPECT_EQ(DaoTypeToFieldType(dbLong, dbFixedField), ftInteger);
  EXPECT_EQ(DaoTypeToFieldType(dbLong, dbFixedField | dbAutoIncrField), ftAutoInc);
  EXPECT_EQ(DaoTypeToFieldType(dbBigInt, 0), ftInteger);
  EXPECT_EQ(DaoTypeToFieldType(dbCurrency, 0), ftCurrency);
  EXPECT_EQ(DaoTypeToFieldType(dbDecimal, 0), ftFloat);
  EXPECT_EQ(DaoTypeToFieldType(dbTime, 0), ftTime);
  EXPECT_EQ(DaoTypeToFieldType(dbTimeStamp, 0), ftDateTime);
  EXPECT_EQ(DaoTypeToFieldType(dbGUID, 0), ftBytes);
  EXPECT_EQ(DaoTypeToFieldType(dbVarBinary, 0), ftBlob);
  EXPECT_EQ(DaoTypeToFieldType(dbMemo, 0), ftMemo);
  EXPECT_EQ(DaoTypeToFieldType(99, 0), ftUnknown);

  EXPECT_EQ(DaoTypeFieldSize(dbText, 0), 255);
  EXPECT_EQ(DaoTypeFieldSize(dbText, 50), 50);
  EXPECT_EQ(DaoTypeFieldSize(dbGUID, 16), 16);
  EXPECT_EQ(DaoTypeFieldSize(dbLong, 4), 0);
}

TEST(DaoUtilsTest, DateFieldTypeFollowsItsFormatProperty) {
  using jet::dbDate;
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::nullopt), ftDateTime);
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::string("medium time")), ftTime);
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::string("Long Time")), ftTime);
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::string("General Date")), ftDateTime);
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::string("Short Date")), ftDate);
  EXPECT_EQ(DaoTypeToFieldType(dbDate, 0, std::string("dd.mm.yyyy")), ftDate);
}

TEST(DaoUtilsTest, DateDefaultsBecomeDayNumberAndMilliseconds) {
  int32_t day15Jan2003 = DateTimeToTimeStamp(EncodeDate(2003, 1, 15)).Date;
  EXPECT_EQ(DateDefaultText("1/15/2003"), std::to_string(day15Jan2003) + " 0");
  EXPECT_EQ(DateDefaultText("1/15/2003 1:02:03 PM"),
            std::to_string(day15Jan2003) + " " + std::to_string((13 * 3600 + 2 * 60 + 3) * 1000));
  EXPECT_EQ(DateDefaultText("1/15/2003 12:30:00 AM"),
            std::to_string(day15Jan2003) + " " + std::to_string(30 * 60 * 1000));
  EXPECT_EQ(DateDefaultText("Date()"), "");
  EXPECT_EQ(DateDefaultText("2/30/2003"), "");
}

TEST(DaoUtilsTest, TimeStampTextReadsBackAsDateVariant) {
  EXPECT_EQ(TimeStampText(TTimeStamp{1000, kDateDelta}), "693594 1000");
  Variant date = TextToDateVariant("693596 43200000");
  ASSERT_EQ(date.Type(), VarType::kDate);
  EXPECT_DOUBLE_EQ(date.AsDateTime(), 2.5);
  EXPECT_TRUE(TextToDateVariant("693596").IsNull());
  EXPECT_TRUE(TextToDateVariant("x 1").IsNull());
  EXPECT_TRUE(TextToDateVariant("0 0").IsNull());
}

TEST(DaoUtilsTest, IntegerAndFloatTextsReadLeniently) {
  SetCurrentFormatSettings(FormatSettings::German());
  int32_t integer = 77;
  EXPECT_TRUE(TextToInteger("12,7", integer));
  EXPECT_EQ(integer, 13);
  integer = 77;
  EXPECT_TRUE(TextToInteger("abc", integer));
  EXPECT_EQ(integer, 77);
  EXPECT_FALSE(TextToInteger("", integer));
  EXPECT_EQ(integer, 0);
  double number = 1;
  EXPECT_TRUE(TextToFloat("2,5", number));
  EXPECT_DOUBLE_EQ(number, 2.5);
  EXPECT_EQ(FloatToText(2.5), "2,5");
  SetCurrentFormatSettings(FormatSettings::Invariant());
}

TEST(DaoUtilsTest, BooleanTextsAcceptWordsAndMinusOne) {
  for (const char* yes : {"Yes", "ON", "-1", "True", "=true"}) {
    int16_t value = 7;
    EXPECT_TRUE(TextToBoolean(yes, value)) << yes;
    EXPECT_EQ(value, 1) << yes;
  }
  for (const char* no : {"No", "off", "False"}) {
    int16_t value = 7;
    EXPECT_TRUE(TextToBoolean(no, value)) << no;
    EXPECT_EQ(value, 0) << no;
  }
  int16_t value = 7;
  EXPECT_FALSE(TextToBoolean("", value));
  EXPECT_EQ(value, 7);
}

TEST(DaoUtilsTest, DateAndTimeTextsSplitIntoTheirHalves) {
  EXPECT_EQ(DateToText(731000), "731000 0");
  EXPECT_EQ(TimeToText(5000), "693594 5000");
  int32_t day = 0, msecs = 0;
  EXPECT_TRUE(TextToDate("731000 5000", day));
  EXPECT_TRUE(TextToTime("731000 5000", msecs));
  EXPECT_EQ(day, 731000);
  EXPECT_EQ(msecs, 5000);
  day = 1;
  EXPECT_FALSE(TextToDate("731000", day));
  EXPECT_EQ(day, 1);
  double total = 0;
  EXPECT_TRUE(TextToDateTime("2 5", total));
  EXPECT_DOUBLE_EQ(total, 2.0 * kMSecsPerDay + 5);
  EXPECT_EQ(DateTimeToText(2.0 * kMSecsPerDay + 5.4), "2 5");
}

TEST(DaoUtilsTest, GuidTextsRoundTripAndZeroIsNull) {
  GuidBytes zero{};
  EXPECT_EQ(GuidToText(zero), "");
  GuidBytes bytes{};
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 17);
  std::string text = GuidToText(bytes);
  EXPECT_EQ(text.rfind("{guid {", 0), 0u);
  EXPECT_EQ(text.size(), 6u + 38u + 1u);
  EXPECT_EQ(TextToGuid(text), bytes);
  EXPECT_EQ(StripGuidPrefix(text), text.substr(6, 38));
  EXPECT_THROW(TextToGuid("{guid {1234}}"), EConvertError);
}

TEST(DaoUtilsTest, ArrayTextsStayWithinTheArray) {
  Variant bytes(std::vector<uint8_t>{'a', 'b', 'c'});
  EXPECT_EQ(ArrayToText(false, bytes, 2), "ab");
  EXPECT_EQ(ArrayToText(false, bytes, 10), "abc");
  EXPECT_EQ(ArrayToText(false, Variant::Null(), 3), "");
  EXPECT_EQ(ArrayToText(true, Variant("memo text"), 9), "memo text");
  Variant back = TextToArray(false, "xy");
  EXPECT_EQ(back.Type(), VarType::kBytes);
  EXPECT_EQ(back.HighBound(), 1);
  EXPECT_EQ(TextToArray(true, "xy").Type(), VarType::kString);
}

TEST(DaoUtilsTest, SplitFieldListKeepsEmptyPartsButNoTrailingOne) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(SplitFieldList(""), Names{});
  EXPECT_EQ(SplitFieldList(" Name ; Vorname\t"), (Names{"Name", "Vorname"}));
  EXPECT_EQ(SplitFieldList("A;;B"), (Names{"A", "", "B"}));
  EXPECT_EQ(SplitFieldList("A;"), Names{"A"});
  EXPECT_EQ(SplitFieldList("A\r\nB\nC;D"), (Names{"A", "B", "C", "D"}));
  EXPECT_EQ(SplitFieldList(";A"), (Names{"", "A"}));
}

TEST(DaoUtilsTest, KeyValuesToTextWritesNullAsNullAndNumbersInTheUsersFormat) {
  FormatSettings german = FormatSettings::German();
  using Texts = std::vector<std::string>;
  EXPECT_EQ(KeyValuesToText(Variant::Null(), german), Texts{"NULL"});
  EXPECT_EQ(KeyValuesToText(Variant(), german), Texts{""});
  EXPECT_EQ(KeyValuesToText(Variant(1234.5), german), Texts{"1234,5"});
  EXPECT_EQ(KeyValuesToText(VarArrayOf({Variant("Meier"), Variant::Null(), Variant(7), Variant(true)}), german),
            (Texts{"Meier", "NULL", "7", "True"}));
  EXPECT_EQ(KeyValuesToText(Variant::FromDate(46364.5), german), Texts{"08.12.2026 12:00:00"});
  // An array with other bounds gives its elements from the low bound on.
  Variant shifted = VarArrayCreate(3, 4);
  shifted.Put(3, Variant("x"));
  shifted.Put(4, Variant("y"));
  EXPECT_EQ(KeyValuesToText(shifted, german), (Texts{"x", "y"}));
  // A byte array is one value, not a list of numbers.
  EXPECT_EQ(KeyValuesToText(Variant(std::vector<uint8_t>{65, 66}), german).size(), 1u);
}

TEST(DaoUtilsTest, CriteriaLiteralsEscapeQuotesWildcardsAndSeparators) {
  EXPECT_EQ(EscapeQuotes(R"(Say "hi")"), R"(Say ""hi"")");
  EXPECT_EQ(EscapeQuotes(""), "");
  EXPECT_EQ(EscapeLikeWildcards("a*b?c#d[e]f-g!h"), "a[*]b[?]c[#]d[[]e[]]f[-]g!h");
  FormatSettings german = FormatSettings::German();
  EXPECT_EQ(NormalizeNumberText("1.234,5", german), "1234.5");
  EXPECT_EQ(NormalizeNumberText("-0,25", german), "-0.25");
  EXPECT_EQ(NormalizeNumberText("1,234.5", FormatSettings::English()), "1234.5");
}

}  // namespace
}  // namespace lumo
