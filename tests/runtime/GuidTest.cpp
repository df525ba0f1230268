#include "runtime/Guid.h"

#include <gtest/gtest.h>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

const TGuid kSample = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};

TEST(GuidTest, TextIsBracedUpperCaseHex) {
  EXPECT_EQ(GuidToString(kSample), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(StringToGuid("{00112233-4455-6677-8899-aabbccddeeff}"), kSample);
  EXPECT_EQ(StringToGuid(GuidToString(kSample)), kSample);
  TGuid zero{};
  EXPECT_EQ(GuidToString(zero), "{00000000-0000-0000-0000-000000000000}");
}

TEST(GuidTest, MalformedTextIsRejected) {
  const char* bad[] = {
      "",
      "{00112233-4455-6677-8899-AABBCCDDEEF}",    // 37 characters
      "{00112233-4455-6677-8899-AABBCCDDEEFF0}",  // 39
      "00112233-4455-6677-8899-AABBCCDDEEFF",     // no braces
      "(00112233-4455-6677-8899-AABBCCDDEEFF)",
      "{00112233-4455-6677-8899-AABBCCDDEEFG}",  // not hex
      "{0011223-34455-6677-8899-AABBCCDDEEFF}",  // dash moved
      "{00112233-4455-6677-88990AABBCCDDEEFF}",
      "{ 0112233-4455-6677-8899-AABBCCDDEEFF}",
  };
  for (const char* text : bad) {
    TGuid guid = kSample;
    EXPECT_FALSE(TryStringToGuid(text, guid)) << text;
    EXPECT_EQ(guid, kSample);
  }
  try {
    StringToGuid("{xyz}");
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'{xyz}' is not a valid GUID value");
  }
}

TEST(GuidTest, BinaryLayoutIsLittleEndianForTheFirstThreeParts) {
  GuidBytes expected = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(GuidToBytes(kSample), expected);
  EXPECT_EQ(GuidFromBytes(expected), kSample);
  EXPECT_EQ(GuidFromBytes(expected.data(), expected.size()), kSample);
  EXPECT_THROW(GuidFromBytes(expected.data(), 15), EConvertError);
}

TEST(GuidTest, NullGuidAndNewGuids) {
  EXPECT_TRUE(IsNullGuid(TGuid{}));
  EXPECT_FALSE(IsNullGuid(kSample));
  TGuid single{};
  single.D4[7] = 1;
  EXPECT_FALSE(IsNullGuid(single));

  TGuid first = CreateGuid();
  TGuid second = CreateGuid();
  EXPECT_NE(first, second);
  for (const TGuid& guid : {first, second}) {
    EXPECT_EQ(guid.D3 >> 12, 4) << GuidToString(guid);    // version 4
    EXPECT_EQ(guid.D4[0] >> 6, 2) << GuidToString(guid);  // RFC 4122 variant
    EXPECT_EQ(StringToGuid(GuidToString(guid)), guid);
  }
}

}  // namespace
}  // namespace lumo
