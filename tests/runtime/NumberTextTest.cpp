#include "runtime/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

const FormatSettings kGerman = FormatSettings::German();
const FormatSettings kInvariant = FormatSettings::Invariant();

template <class Parse>
std::string ConvertErrorOf(Parse parse) {
  try {
    parse();
  } catch (const EConvertError& error) {
    return error.what();
  }
  return "no exception";
}

TEST(NumberTextTest, FloatToStrUsesTheGeneralFormat) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1.5, "1.5"},
      {-2.5, "-2.5"},
      {100, "100"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345, "123456789012345"},
      {999999999999999, "999999999999999"},
      {1e15, "1E15"},
      {1234567890123456, "1.23456789012346E15"},
      {1e20, "1E20"},
      {0.00001, "0.00001"},
      {0.000012345, "0.000012345"},
      {1.5e-7, "1.5E-7"},
      {-1e-300, "-1E-300"},
      {12.7, "12.7"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::nan(""), "NAN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToStr(c.value, kInvariant), c.text) << c.text;
  }
  EXPECT_EQ(FloatToStr(1234.5, kGerman), "1234,5");
  EXPECT_EQ(FloatToStr(1.5e-7, kGerman), "1,5E-7");
}

TEST(NumberTextTest, StrToFloatReadsTheSettingsDecimalSeparator) {
  EXPECT_EQ(StrToFloat("1,5", kGerman), 1.5);
  EXPECT_EQ(StrToFloat(" -2,5e3 ", kGerman), -2500);
  EXPECT_EQ(StrToFloat("+,5", kGerman), 0.5);
  EXPECT_EQ(StrToFloat("3,", kGerman), 3);
  EXPECT_EQ(StrToFloat("1.5E-7", kInvariant), 1.5e-7);
  EXPECT_EQ(StrToFloat("inf", kInvariant), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(StrToFloat("NAN", kInvariant)));
  const char* bad[] = {"",    " ",   "1.5", "1.234,5", "1,5,5", "abc",  "1e",
                       "1e+", "--1", ",",   "1 5",     "1E400", "0x10", "1,5x"};
  for (const char* text : bad) {
    double value = 42;
    EXPECT_FALSE(TryStrToFloat(text, value, kGerman)) << "'" << text << "'";
    EXPECT_EQ(value, 42);
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToFloat("1.234,5", kGerman); }), "'1.234,5' is not a valid floating point value");
}

TEST(NumberTextTest, FloatTextReadsBackToTheSameValue) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 5000; ++i) {
    // Values of 15 significant digits survive the text exactly.
    double value = std::stod(FloatToStr(mantissa(random) * std::pow(10.0, exponent(random)), kInvariant));
    for (const FormatSettings* settings : {&kGerman, &kInvariant}) {
      std::string text = FloatToStr(value, *settings);
      ASSERT_EQ(StrToFloat(text, *settings), value) << text;
    }
  }
}

TEST(NumberTextTest, IntegersInTheirRange) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt(" -7 "), -7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StrToInt("-0"), 0);
  EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  const char* bad[] = {"",  "2147483648", "-2147483649", "12.5", "1 2",        "abc",
                       "$", "0x",         "--1",         "+-1",  "$1FFFFFFFF", "1e3"};
  for (const char* text : bad) {
    int32_t value = 42;
    EXPECT_FALSE(TryStrToInt(text, value)) << "'" << text << "'";
    EXPECT_EQ(value, 42);
  }
  int64_t wide;
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", wide));
  EXPECT_FALSE(TryStrToInt64("-9223372036854775809", wide));
  EXPECT_EQ(ConvertErrorOf([] { StrToInt("12.5"); }), "'12.5' is not a valid integer value");
  EXPECT_EQ(ConvertErrorOf([] { StrToInt64("x"); }), "'x' is not a valid integer value");
}

TEST(NumberTextTest, CurrencyTextIsExact) {
  EXPECT_EQ(CurrToStr(Currency::FromScaled(15000), kInvariant), "1.5");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(15000), kGerman), "1,5");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(20000), kInvariant), "2");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(-1), kInvariant), "-0.0001");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(std::numeric_limits<int64_t>::min()), kInvariant), "-922337203685477.5808");
  EXPECT_EQ(StrToCurr("922337203685477,5807", kGerman).Scaled(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(StrToCurr("-922337203685477.5808", kInvariant).Scaled(), std::numeric_limits<int64_t>::min());
  // A fifth decimal rounds, halves to even.
  EXPECT_EQ(StrToCurr("1,23455", kGerman).Scaled(), 12346);
  EXPECT_EQ(StrToCurr("1,23445", kGerman).Scaled(), 12344);
  EXPECT_EQ(StrToCurr("1,234451", kGerman).Scaled(), 12345);
  EXPECT_EQ(StrToCurr("-1,23456", kGerman).Scaled(), -12346);
  EXPECT_EQ(StrToCurr("1,5E2", kGerman).Scaled(), 1500000);
  Currency value;
  EXPECT_FALSE(TryStrToCurr("922337203685477.5808", value, kInvariant));
  EXPECT_FALSE(TryStrToCurr("1.5", value, kGerman));
  EXPECT_FALSE(TryStrToCurr("1e30", value, kInvariant));
  EXPECT_EQ(ConvertErrorOf([] { StrToCurr("x", kGerman); }), "'x' is not a valid floating point value");
}

TEST(NumberTextTest, CurrencyFromDoubleRoundsToFourDecimals) {
  EXPECT_EQ(Currency::FromDouble(0.1).Scaled(), 1000);
  EXPECT_EQ(Currency::FromDouble(-1.23456).Scaled(), -12346);
  // Exact binary halves (1/32 and 3/32 give 312.5 and 937.5 ten-thousandths) go to even.
  EXPECT_EQ(Currency::FromDouble(0.03125).Scaled(), 312);
  EXPECT_EQ(Currency::FromDouble(0.09375).Scaled(), 938);
  EXPECT_DOUBLE_EQ(Currency::FromScaled(12345).ToDouble(), 1.2345);
  EXPECT_THROW(Currency::FromDouble(1e15), EConvertError);
  EXPECT_THROW(Currency::FromDouble(std::nan("")), EConvertError);
  EXPECT_LT(Currency::FromScaled(1), Currency::FromScaled(2));
}

}  // namespace
}  // namespace lumo
