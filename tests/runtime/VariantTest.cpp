#include "runtime/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <type_traits>

#include "runtime/DateFormat.h"
#include "runtime/Exceptions.h"

namespace lumo {
namespace {

static_assert(std::is_nothrow_move_constructible_v<Variant>);
static_assert(std::is_nothrow_move_assignable_v<Variant>);

template <class Error, class Action>
std::string MessageOf(Action action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "no exception of the expected class";
}

class VariantTest : public testing::Test {
 protected:
  ScopedFormatSettings german_{FormatSettings::German()};
};

TEST_F(VariantTest, ConstructorsPickTheType) {
  EXPECT_EQ(Variant().Type(), VarType::kEmpty);
  EXPECT_EQ(Variant::Null().Type(), VarType::kNull);
  EXPECT_EQ(Variant(true).Type(), VarType::kBoolean);
  EXPECT_EQ(Variant::FromSmallint(5).Type(), VarType::kSmallint);
  EXPECT_EQ(Variant(5).Type(), VarType::kInteger);
  EXPECT_EQ(Variant(static_cast<int16_t>(5)).Type(), VarType::kInteger);
  EXPECT_EQ(Variant(static_cast<uint16_t>(5)).Type(), VarType::kInteger);
  EXPECT_EQ(Variant(5u).Type(), VarType::kInt64);
  EXPECT_EQ(Variant(int64_t{5}).Type(), VarType::kInt64);
  EXPECT_EQ(Variant(5LL).Type(), VarType::kInt64);
  EXPECT_EQ(Variant(1.5).Type(), VarType::kDouble);
  EXPECT_EQ(Variant::FromCurrency(Currency::FromScaled(1)).Type(), VarType::kCurrency);
  EXPECT_EQ(Variant::FromDate(1.5).Type(), VarType::kDate);
  EXPECT_EQ(Variant("text").Type(), VarType::kString);
  EXPECT_EQ(Variant(std::string("text")).Type(), VarType::kString);
  EXPECT_EQ(Variant(std::string_view("text")).Type(), VarType::kString);
  EXPECT_EQ(Variant(std::vector<uint8_t>{1, 2}).Type(), VarType::kBytes);
  EXPECT_EQ(VarArrayOf({1, 2}).Type(), VarType::kArray);
  EXPECT_THROW(Variant{std::numeric_limits<uint64_t>::max()}, EVariantError);
}

TEST_F(VariantTest, NullConvertsOnlyToText) {
  Variant null = Variant::Null();
  EXPECT_TRUE(VarIsNull(null));
  EXPECT_EQ(VarToStr(null), "");
  EXPECT_EQ(VarToStr(Variant()), "");
  EXPECT_EQ(MessageOf<EVariantError>([&] { null.AsString(); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(MessageOf<EVariantError>([&] { null.AsInteger(); }),
            "Could not convert variant of type (Null) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([&] { null.AsDateTime(); }),
            "Could not convert variant of type (Null) into type (Date)");
  EXPECT_THROW(null.AsBoolean(), EVariantError);
  EXPECT_THROW(null.AsDouble(), EVariantError);
  EXPECT_THROW(null.AsCurrency(), EVariantError);
  EXPECT_THROW(null.AsBytes(), EVariantError);
}

TEST_F(VariantTest, EmptyIsZeroFalseAndEmptyText) {
  Variant empty;
  EXPECT_TRUE(VarIsEmpty(empty));
  EXPECT_EQ(empty.AsInteger(), 0);
  EXPECT_EQ(empty.AsDouble(), 0);
  EXPECT_FALSE(empty.AsBoolean());
  EXPECT_EQ(empty.AsString(), "");
  EXPECT_EQ(empty.AsDateTime(), 0);
  EXPECT_TRUE(empty.AsBytes().empty());
}

TEST_F(VariantTest, BooleansAreMinusOneAndTrueFalseTexts) {
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant(true).AsDouble(), -1);
  EXPECT_TRUE(Variant("TRUE").AsBoolean());
  EXPECT_FALSE(Variant("false").AsBoolean());
  EXPECT_TRUE(Variant("-1").AsBoolean());
  EXPECT_FALSE(Variant("0,0").AsBoolean());
  EXPECT_TRUE(Variant(0.5).AsBoolean());
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("yes").AsBoolean(); }), "'yes' is not a valid Boolean value");
}

TEST_F(VariantTest, TextReadsAsNumbersUnderTheSettings) {
  EXPECT_EQ(Variant("12,7").AsInteger(), 13);  // not an integer text: read as a float, rounded
  EXPECT_EQ(Variant(" 42 ").AsInteger(), 42);
  EXPECT_EQ(Variant("1,5").AsDouble(), 1.5);
  EXPECT_EQ(Variant("1,23456").AsCurrency().Scaled(), 12346);
  EXPECT_EQ(Variant("9223372036854775807").AsInt64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Variant("1.5").AsString(), "1.5");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("abc").AsInteger(); }), "'abc' is not a valid integer value");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("1.5").AsDouble(); }), "'1.5' is not a valid floating point value");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("abc").AsCurrency(); }), "'abc' is not a valid floating point value");
  ScopedFormatSettings invariant(FormatSettings::Invariant());
  EXPECT_EQ(Variant("1.5").AsDouble(), 1.5);
}

TEST_F(VariantTest, NumbersAndDatesWriteUnderTheSettings) {
  EXPECT_EQ(Variant(1.5).AsString(), "1,5");
  EXPECT_EQ(Variant(-7).AsString(), "-7");
  EXPECT_EQ(Variant(int64_t{1} << 40).AsString(), "1099511627776");
  EXPECT_EQ(Variant::FromSmallint(-3).AsString(), "-3");
  EXPECT_EQ(Variant::FromCurrency(Currency::FromScaled(12500)).AsString(), "1,25");
  TDateTime when = EncodeDate(2026, 12, 8) + EncodeTime(10, 20, 30, 0);
  EXPECT_EQ(Variant::FromDate(when).AsString(), "08.12.2026 10:20:30");
  EXPECT_EQ(Variant::FromDate(EncodeDate(2026, 12, 8)).AsString(), "08.12.2026");
  EXPECT_EQ(Variant::FromDate(when).AsString(FormatSettings::English()), "12/8/2026 10:20:30 AM");
  EXPECT_EQ(VarToStr(Variant(2.25), FormatSettings::Invariant()), "2.25");
}

TEST_F(VariantTest, DateTextsReadBack) {
  TDateTime when = EncodeDate(2026, 12, 8) + EncodeTime(10, 20, 30, 0);
  EXPECT_EQ(Variant("08.12.2026 10:20:30").AsDateTime(), when);
  EXPECT_EQ(Variant(Variant::FromDate(when).AsString()).AsDateTime(), when);
  EXPECT_EQ(Variant(46364).AsDateTime(), 46364);
  EXPECT_EQ(Variant::FromDate(when).AsDouble(), when);
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("12/08/2026").AsDateTime(); }),
            "'12/08/2026' is not a valid date and time");
}

TEST_F(VariantTest, IntegerConversionsCheckTheRange) {
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant(int64_t{3000000000}).AsInteger(); }),
            "Could not convert variant of type (Int64) into type (Integer): 3000000000 is out "
            "of range");
  EXPECT_THROW(Variant(40000).AsSmallint(), EVariantError);
  EXPECT_EQ(Variant(-32768).AsSmallint(), -32768);
  EXPECT_EQ(Variant(int64_t{-2147483648LL}).AsInteger(), std::numeric_limits<int32_t>::min());
  EXPECT_THROW(Variant(1e20).AsInt64(), EVariantError);
  EXPECT_THROW(Variant(std::nan("")).AsInteger(), EVariantError);
  EXPECT_THROW(Variant("99999999999").AsInteger(), EVariantError);
  EXPECT_THROW(Variant(int64_t{1} << 62).AsCurrency(), EVariantError);
  EXPECT_THROW(Variant(1e300).AsCurrency(), EVariantError);
  EXPECT_THROW(Variant("1e300").AsCurrency(), EVariantError);
}

TEST_F(VariantTest, FractionsRoundHalfToEven) {
  EXPECT_EQ(Variant(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant(2.6).AsInteger(), 3);
  EXPECT_EQ(Variant::FromCurrency(Currency::FromScaled(25000)).AsInteger(), 2);
  EXPECT_EQ(Variant::FromCurrency(Currency::FromScaled(-35000)).AsInteger(), -4);
  EXPECT_EQ(Variant::FromCurrency(Currency::FromScaled(-25001)).AsInteger(), -3);
  EXPECT_EQ(Variant(7).AsCurrency().Scaled(), 70000);
}

TEST_F(VariantTest, ArraysKeepTheirBounds) {
  Variant list = VarArrayOf({1, "a", Variant::Null()});
  EXPECT_TRUE(VarIsArray(list));
  EXPECT_EQ(VarArrayLowBound(list), 0);
  EXPECT_EQ(VarArrayHighBound(list), 2);
  EXPECT_EQ(list[1], Variant("a"));
  EXPECT_TRUE(list[2].IsNull());

  Variant created = VarArrayCreate(1, 3);
  EXPECT_EQ(created.LowBound(), 1);
  EXPECT_EQ(created.HighBound(), 3);
  EXPECT_TRUE(created[1].IsEmpty());
  created[3] = 2.5;
  created.Put(2, "x");
  EXPECT_EQ(created.Get(3), Variant(2.5));
  EXPECT_EQ(created[2], Variant("x"));
  EXPECT_EQ(MessageOf<EVariantError>([&] { created[0]; }), "Variant array index 0 is out of bounds (1..3)");
  EXPECT_THROW(created.Get(4), EVariantError);

  Variant none = VarArrayCreate(1, 0);
  EXPECT_EQ(none.HighBound(), 0);
  EXPECT_TRUE(none.Items().empty());
  EXPECT_THROW(VarArrayCreate(5, 3), EVariantError);
  EXPECT_THROW(Variant(5).LowBound(), EVariantError);
  EXPECT_FALSE(VarIsArray(Variant("abc")));
  EXPECT_THROW(list.AsString(), EVariantError);
  EXPECT_THROW(list.AsInteger(), EVariantError);
}

TEST_F(VariantTest, ByteArraysAreArraysFromZero) {
  Variant bytes(std::vector<uint8_t>{0x41, 0x00, 0xFF});
  EXPECT_TRUE(VarIsArray(bytes));
  EXPECT_EQ(bytes.LowBound(), 0);
  EXPECT_EQ(bytes.HighBound(), 2);
  EXPECT_EQ(bytes.Get(2), Variant(255));
  bytes.Put(1, 66);
  EXPECT_EQ(bytes.AsString(), std::string("AB\xFF"));
  EXPECT_THROW(bytes.Put(0, 256), EVariantError);
  EXPECT_THROW(bytes[0], EVariantError);  // no element references into a byte array
  EXPECT_EQ(MessageOf<EVariantError>([&] { bytes.AsInteger(); }),
            "Could not convert variant of type (Array of Byte) into type (Integer)");
  EXPECT_EQ(Variant("AB").AsBytes(), (std::vector<uint8_t>{0x41, 0x42}));
  EXPECT_EQ(VarArrayOf({1, 2, 255}).AsBytes(), (std::vector<uint8_t>{1, 2, 255}));
  EXPECT_THROW(VarArrayOf({1, 256}).AsBytes(), EVariantError);
  EXPECT_THROW(Variant(1.5).AsBytes(), EVariantError);
}

TEST_F(VariantTest, EqualityComparesTypeClassAndValue) {
  EXPECT_EQ(Variant(5), Variant(int64_t{5}));
  EXPECT_EQ(Variant::FromSmallint(5), Variant(5));
  EXPECT_NE(Variant(5), Variant(6));
  EXPECT_NE(Variant(5), Variant(5.0));
  EXPECT_NE(Variant(5.0), Variant::FromDate(5.0));
  EXPECT_NE(Variant(1), Variant(true));
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant::Null(), Variant());
  EXPECT_NE(Variant("a"), Variant("A"));
  EXPECT_NE(Variant("AB"), Variant(std::vector<uint8_t>{0x41, 0x42}));
  EXPECT_EQ(VarArrayOf({1, "a"}), VarArrayOf({int64_t{1}, "a"}));
  Variant shifted = VarArrayCreate(1, 2);
  shifted[1] = 1;
  shifted[2] = "a";
  EXPECT_NE(shifted, VarArrayOf({1, "a"}));
}

TEST_F(VariantTest, PrintsTypeAndValueForTestMessages) {
  std::ostringstream out;
  out << Variant(5) << ' ' << Variant::Null() << ' ' << Variant("x") << ' ' << VarArrayOf({1.5, Variant()}) << ' '
      << Variant::FromDate(-1.25);
  EXPECT_EQ(out.str(),
            "Integer(5) Null String(\"x\") Array of Variant[0](Double(1.5), Empty) "
            "Date(693593 21600000)");
}

}  // namespace
}  // namespace lumo
