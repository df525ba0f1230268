#include "jet/ValueCodec.h"

#include <gtest/gtest.h>

#include "jet/DaoErrors.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteStatement.h"
#include "runtime/DateTime.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

JetFieldType TypeOf(int type, int size = 0) {
  JetFieldType field;
  field.type = type;
  field.size = size;
  return field;
}

class ValueCodecTest : public ::testing::Test {
 protected:
  // Binds `value` as a field of `type`, then reads the stored value back: its SQLite
  // storage class, its text, and the Variant the codec makes of it.
  struct RoundTrip {
    std::string storageClass;
    std::string text;
    Variant value;
  };
  RoundTrip Store(const Variant& value, const JetFieldType& type) {
    SqliteStatement statement(connection_, "SELECT typeof(?1), CAST(?1 AS TEXT), ?1");
    BindFieldValue(statement, 1, value, type, "f");
    EXPECT_TRUE(statement.Step());
    return {statement.ColumnText(0), statement.ColumnText(1), ReadColumnValue(statement, 2, type)};
  }
  Variant ReadSql(const std::string& sqlValue, const JetFieldType& type) {
    SqliteStatement statement(connection_, "SELECT " + sqlValue);
    EXPECT_TRUE(statement.Step());
    return ReadColumnValue(statement, 0, type);
  }

  SqliteConnection connection_{":memory:", OpenMode::Create};
};

TEST_F(ValueCodecTest, DatesAreStoredAsFixedWidthTextAndReadBack) {
  const TDateTime stamp = EncodeDate(2003, 1, 15) + EncodeTime(7, 5, 9, 42);
  RoundTrip trip = Store(Variant::FromDate(stamp), TypeOf(dbDate));
  EXPECT_EQ(trip.storageClass, "text");
  EXPECT_EQ(trip.text, "2003-01-15 07:05:09.042");
  ASSERT_EQ(trip.value.Type(), VarType::kDate);
  EXPECT_DOUBLE_EQ(trip.value.AsDateTime(), stamp);
  // Midnight and a year below 1000 keep the width.
  EXPECT_EQ(Store(Variant::FromDate(EncodeDate(101, 2, 3)), TypeOf(dbDate)).text, "0101-02-03 00:00:00.000");
}

TEST_F(ValueCodecTest, DatesOutsideJetsRangeOverflow) {
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant::FromDate(EncodeDate(99, 12, 31)), TypeOf(dbDate)); }), 3349);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant("no date"), TypeOf(dbDate)); }), 3421);
}

TEST_F(ValueCodecTest, ForeignValuesComeBackAsStored) {
  // A text that is no date in a date column, a number in a text column.
  EXPECT_EQ(ReadSql("'yesterday'", TypeOf(dbDate)), Variant("yesterday"));
  EXPECT_EQ(ReadSql("42", TypeOf(dbText, 10)), Variant(42));
  // The short ISO form of other programs reads as a date.
  EXPECT_DOUBLE_EQ(ReadSql("'2020-02-29'", TypeOf(dbDate)).AsDateTime(), EncodeDate(2020, 2, 29));
  EXPECT_TRUE(ReadSql("NULL", TypeOf(dbLong)).IsNull());
}

TEST_F(ValueCodecTest, BooleansAreStoredAsMinusOneAndZero) {
  EXPECT_EQ(Store(Variant(true), TypeOf(dbBoolean)).text, "-1");
  EXPECT_EQ(Store(Variant(false), TypeOf(dbBoolean)).text, "0");
  EXPECT_EQ(Store(Variant("True"), TypeOf(dbBoolean)).value, Variant(true));
  // Any non-zero number another program stored is True.
  EXPECT_EQ(ReadSql("1", TypeOf(dbBoolean)), Variant(true));
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant("maybe"), TypeOf(dbBoolean)); }), 3421);
}

TEST_F(ValueCodecTest, IntegersAreCheckedAgainstTheFieldsRange) {
  EXPECT_EQ(Store(Variant(255), TypeOf(dbByte)).value, Variant::FromSmallint(255));
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(256), TypeOf(dbByte)); }), 3349);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(-1), TypeOf(dbByte)); }), 3349);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(40000), TypeOf(dbInteger)); }), 3349);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(int64_t{1} << 40), TypeOf(dbLong)); }), 3349);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant("abc"), TypeOf(dbLong)); }), 3421);
  // A double is rounded, halves to even, as the platform's conversions do.
  EXPECT_EQ(Store(Variant(2.5), TypeOf(dbLong)).value, Variant(2));
  EXPECT_EQ(Store(Variant(int32_t{-7}), TypeOf(dbLong)).value.Type(), VarType::kInteger);
}

TEST_F(ValueCodecTest, TextSizeCountsCharactersNotBytes) {
  // Three two-byte characters fit a field of three.
  EXPECT_EQ(Store(Variant("ÄÖÜ"), TypeOf(dbText, 3)).value, Variant("ÄÖÜ"));
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant("ÄÖÜß"), TypeOf(dbText, 3)); }), 3163);
  // Memo has no limit.
  EXPECT_EQ(Store(Variant(std::string(100000, 'x')), TypeOf(dbMemo)).text.size(), 100000u);
}

TEST_F(ValueCodecTest, CurrencyAndSingleKeepTheirPrecision) {
  RoundTrip money = Store(Variant(1.23456), TypeOf(dbCurrency));
  EXPECT_EQ(money.storageClass, "real");
  ASSERT_EQ(money.value.Type(), VarType::kCurrency);
  EXPECT_EQ(money.value.AsCurrency().Scaled(), 12346);
  // A whole amount read back from the stock shell's integer is still currency.
  EXPECT_EQ(ReadSql("7", TypeOf(dbCurrency)).AsCurrency().Scaled(), 70000);
  EXPECT_DOUBLE_EQ(Store(Variant(0.1), TypeOf(dbSingle)).value.AsDouble(), static_cast<double>(0.1f));
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(1e300), TypeOf(dbSingle)); }), 3349);
}

TEST_F(ValueCodecTest, GuidsAcceptEveryFormAndReadInDaosForm) {
  const std::string stored = "{0011AABB-CCDD-EEFF-0011-223344556677}";
  const Variant expected("{guid " + stored + "}");
  for (const Variant& input : {Variant("{guid {0011aabb-ccdd-eeff-0011-223344556677}}"), Variant(stored),
                               Variant("0011aabb-ccdd-eeff-0011-223344556677")}) {
    RoundTrip trip = Store(input, TypeOf(dbGUID));
    EXPECT_EQ(trip.text, stored) << input;
    EXPECT_EQ(trip.value, expected) << input;
  }
  // Sixteen bytes in the platform's memory order: the first three groups little-endian.
  std::vector<uint8_t> bytes = {0xBB, 0xAA, 0x11, 0x00, 0xDD, 0xCC, 0xFF, 0xEE,
                                0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
  EXPECT_EQ(Store(Variant(bytes), TypeOf(dbGUID)).text, stored);
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant("{not-a-guid}"), TypeOf(dbGUID)); }), 3421);
}

TEST_F(ValueCodecTest, BinaryValuesAreBlobsWithTheirSizeChecked) {
  RoundTrip trip = Store(Variant(std::vector<uint8_t>{1, 0, 2}), TypeOf(dbLongBinary));
  EXPECT_EQ(trip.storageClass, "blob");
  EXPECT_EQ(trip.value, Variant(std::vector<uint8_t>{1, 0, 2}));
  EXPECT_EQ(DaoNumberOf([&] { Store(Variant(std::vector<uint8_t>(5, 1)), TypeOf(dbBinary, 4)); }), 3163);
  // A Memo field given bytes by another program reads as text.
  EXPECT_EQ(ReadSql("x'414243'", TypeOf(dbMemo)), Variant("ABC"));
}

TEST_F(ValueCodecTest, NullAndEmptyBindAsNull) {
  EXPECT_EQ(Store(Variant::Null(), TypeOf(dbText, 5)).storageClass, "null");
  EXPECT_EQ(Store(Variant(), TypeOf(dbLong)).storageClass, "null");
}

TEST_F(ValueCodecTest, PlainValuesUseTheStoredForms) {
  SqliteStatement statement(connection_, "SELECT ?1, ?2, ?3, typeof(?4)");
  BindPlainValue(statement, 1, Variant::FromDate(EncodeDate(2024, 12, 24)));
  BindPlainValue(statement, 2, Variant(true));
  BindPlainValue(statement, 3, Variant::FromCurrency(Currency::FromScaled(15000)));
  BindPlainValue(statement, 4, Variant::Null());
  ASSERT_TRUE(statement.Step());
  EXPECT_EQ(statement.ColumnText(0), "2024-12-24 00:00:00.000");
  EXPECT_EQ(statement.ColumnInt64(1), -1);
  EXPECT_DOUBLE_EQ(statement.ColumnDouble(2), 1.5);
  EXPECT_EQ(statement.ColumnText(3), "null");
  SqliteStatement other(connection_, "SELECT ?1");
  EXPECT_EQ(DaoNumberOf([&] { BindPlainValue(other, 1, VarArrayOf({Variant(1)})); }), 3464);
}

}  // namespace
}  // namespace lumo::jet
