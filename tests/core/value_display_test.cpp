#include "core/value_display.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>

#include "core/number_base.h"

namespace zentor {
namespace {

// A stream with no base flag, so that the display base decides.
std::ostringstream PlainStream() {
  std::ostringstream stream;
  stream.unsetf(std::ios_base::basefield);
  return stream;
}

class ValueDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNumberBase(10);
    std::ostringstream reset;
    reset << DisplayDefaultBase;
  }
  void TearDown() override { SetUp(); }
};

TEST_F(ValueDisplayTest, ExplicitBasesPrefixesWidthAndCase) {
  struct Case {
    const char* name;
    DisplayInteger value;
    std::ios_base::fmtflags flags;
    int width;
    char fill;
    const char* expected;
  };
  const auto hex = std::ios_base::hex;
  const auto dec = std::ios_base::dec;
  const auto show = std::ios_base::showbase;
  const Case cases[] = {
      {"ord2 hex with prefix", MakeDisplayInteger_UInt16(0x1f), hex | show, 0, ' ', "0x001f"},
      {"int1 -1 decimal", MakeDisplayInteger_Int8(-1), dec, 0, ' ', "-1"},
      {"int1 -1 hex keeps its size", MakeDisplayInteger_Int8(-1), hex, 0, ' ', "ff"},
      {"zero decimal", MakeDisplayInteger_UInt32(0), dec, 0, ' ', "0"},
      {"largest ord8", MakeDisplayInteger_UInt64(UnsignedInt64::FromWords(0xFFFFFFFFu, 0xFFFFFFFFu)), dec, 0, ' ',
       "18446744073709551615"},
      {"most negative int8", MakeDisplayInteger_Int64(SignedInt64::FromWords(0, 0x80000000u)), dec, 0, ' ',
       "-9223372036854775808"},
      {"negative with prefix: sign first", MakeDisplayInteger_Int32(-5), dec | show, 0, ' ', "-0n5"},
      {"decimal prefix", MakeDisplayInteger_UInt8(200), dec | show, 0, ' ', "0n200"},
      {"upper case", MakeDisplayInteger_UInt16(0x1f), hex | show | std::ios_base::uppercase, 0, ' ', "0X001F"},
      {"padding on the left", MakeDisplayInteger_UInt8(7), dec, 5, '*', "****7"},
      {"text wider than the field", MakeDisplayInteger_UInt32(123456), dec, 3, '*', "123456"},
      {"address offset", DisplayInteger::DisplayInteger_FromAddress(0x1234), hex | show, 0, ' ', "0x00001234"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream stream;
    stream.flags(c.flags);
    stream.width(c.width);
    stream.fill(c.fill);
    stream << c.value;
    EXPECT_EQ(stream.str(), c.expected);
    EXPECT_EQ(stream.width(), 0) << "the width is used once";
  }
}

TEST_F(ValueDisplayTest, BinaryShowsEveryBitOfTheSize) {
  std::ostringstream stream = PlainStream();
  stream << DisplayBinary << MakeDisplayInteger_Int8(-1);
  EXPECT_EQ(stream.str(), "11111111");
  std::ostringstream padded = PlainStream();
  padded.width(40);
  padded.fill('.');
  padded << DisplayBinary << MakeDisplayInteger_UInt32(5);
  EXPECT_EQ(padded.str(), std::string(8, '.') + std::string(29, '0') + "101");
  std::ostringstream prefixed = PlainStream();
  prefixed.setf(std::ios_base::showbase);
  prefixed << DisplayBinary << MakeDisplayInteger_UInt16(2);
  EXPECT_EQ(prefixed.str(), "0y0000000000000010");
  // Binary stays pending for every stream without base flags until the default base.
  std::ostringstream other = PlainStream();
  other << MakeDisplayInteger_UInt8(3);
  EXPECT_EQ(other.str(), "00000011");
  std::ostringstream explicitDecimal;
  explicitDecimal << std::dec << MakeDisplayInteger_UInt8(3);
  EXPECT_EQ(explicitDecimal.str(), "3") << "an explicit base flag ends the pending binary";
  std::ostringstream after = PlainStream();
  after << MakeDisplayInteger_UInt8(3);
  EXPECT_EQ(after.str(), "3");
}

TEST_F(ValueDisplayTest, StreamsWithoutABaseFollowTheDisplayBase) {
  struct Case {
    uint8_t base;
    const char* expected;
  };
  const Case cases[] = {{10, "255"}, {16, "00ff"}, {2, "0000000011111111"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base);
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    std::ostringstream stream = PlainStream();
    stream << MakeDisplayInteger_UInt16(255);
    EXPECT_EQ(stream.str(), c.expected);
    EXPECT_EQ(stream.flags() & std::ios_base::basefield, std::ios_base::fmtflags{}) << "no base flag left behind";
    std::ostringstream again = PlainStream();
    again << MakeDisplayInteger_UInt16(255);
    EXPECT_EQ(again.str(), c.expected) << "the next write follows the base too";
  }
}

TEST_F(ValueDisplayTest, DecimalAndHexMatchTheCLibrary) {
  const uint32_t seed = 424242;
  std::mt19937_64 random(seed);
  for (int i = 0; i < 2000; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i));
    const uint64_t bits = random() >> (random() % 64);
    const auto value = static_cast<int64_t>(bits);
    char expected[64];
    std::ostringstream decimal;
    decimal << std::dec << MakeDisplayInteger_Int64(SignedInt64::FromWords(static_cast<uint32_t>(bits),
                                                                             static_cast<uint32_t>(bits >> 32)));
    std::snprintf(expected, sizeof expected, "%" PRId64, value);
    EXPECT_EQ(decimal.str(), expected);
    std::ostringstream hex;
    hex << std::hex << MakeDisplayInteger_Int32(static_cast<int32_t>(bits));
    std::snprintf(expected, sizeof expected, "%08" PRIx32, static_cast<uint32_t>(bits));
    EXPECT_EQ(hex.str(), expected);
    std::ostringstream unsignedDecimal;
    unsignedDecimal << std::dec << MakeDisplayInteger_UInt16(static_cast<uint16_t>(bits));
    EXPECT_EQ(unsignedDecimal.str(), std::to_string(static_cast<uint16_t>(bits)));
  }
}

}  // namespace
}  // namespace zentor
