// The ring of real temporaries: wrap-around, operand order of the four operations,
// the condition words of the comparison and the integer and IEEE pushes and pops.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/dv_error.h"
#include "core/real_temp_ring.h"

namespace zentor {
namespace {

int32_t PopInt() {
  int32_t value = 0;
  RealTempRing::PopInt32(&value);
  return value;
}

void PushDouble(double value) { RealTempRing::PushReal8(&value); }

double PopDouble() {
  double value = 0;
  RealTempRing::PopReal8(&value);
  return value;
}

TEST(RealTempRingTest, SeventeenthPushOverwritesTheOldest) {
  for (int32_t i = 1; i <= 17; ++i) {
    RealTempRing::PushInt32(&i);
  }
  EXPECT_EQ(PopInt(), 17);
  for (int32_t expected = 16; expected >= 2; --expected) {
    EXPECT_EQ(PopInt(), expected);
  }
  // The first and the last pop read the same slot; the first value is lost.
  EXPECT_EQ(PopInt(), 17);
}

TEST(RealTempRingTest, OperationsTakeTheTopAsTheRightOperand) {
  struct Case {
    const char* name;
    void (*operation)();
    double a;
    double b;
    double expected;
  };
  const Case cases[] = {
      {"add", RealTempRing::Add, 7, 2, 9},
      {"subtract", RealTempRing::Subtract, 7, 2, 5},
      {"multiply", RealTempRing::Multiply, 7, 2, 14},
      {"divide", RealTempRing::Divide, 7, 2, 3.5},
      {"divide by zero", RealTempRing::Divide, -1, 0, -1.0 / 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PushDouble(c.a);
    PushDouble(c.b);
    c.operation();
    EXPECT_EQ(PopDouble(), c.expected);
  }
  PushDouble(5);
  RealTempRing::NegateTop();
  EXPECT_EQ(PopDouble(), -5.0);
  PushDouble(0.0);
  RealTempRing::NegateTop();
  const double negativeZero = PopDouble();
  EXPECT_EQ(negativeZero, 0.0);
  EXPECT_TRUE(std::signbit(negativeZero));
}

TEST(RealTempRingTest, CompareTopTwoConditionWords) {
  const uint8_t nan8[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
  struct Case {
    const char* name;
    double first;
    double second;  // the top
    bool secondIsNaN;
    uint32_t expected;
  };
  const Case cases[] = {
      {"top greater", 1, 2, false, RealTempRing::kConditionGreater},
      {"top less", 2, 1, false, RealTempRing::kConditionLess},
      {"equal", 3, 3, false, RealTempRing::kConditionEqual},
      {"zeros of both signs", 0.0, -0.0, false, RealTempRing::kConditionEqual},
      {"NaN", 1, 0, true, RealTempRing::kConditionUnordered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PushDouble(c.first);
    if (c.secondIsNaN) {
      RealTempRing::PushReal8(nan8);
    } else {
      PushDouble(c.second);
    }
    EXPECT_EQ(RealTempRing::CompareTop2(), c.expected);
  }
  EXPECT_EQ(RealTempRing::kConditionGreater, 0u);
  EXPECT_EQ(RealTempRing::kConditionLess, 1u);
  EXPECT_EQ(RealTempRing::kConditionEqual, 8u);
  EXPECT_EQ(RealTempRing::kConditionUnordered, 13u);
}

TEST(RealTempRingTest, IntegerAndIeeePushesAndPops) {
  const uint8_t minusTwo16[2] = {0xFE, 0xFF};
  RealTempRing::PushInt16(minusTwo16);
  EXPECT_EQ(PopInt(), -2);

  struct RoundCase {
    double value;
    int32_t expected;
  };
  for (const RoundCase c : {RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-3.5, -4}, RoundCase{-0.4, 0},
                            RoundCase{1e10, INT32_MAX}, RoundCase{-1e10, INT32_MIN}}) {
    SCOPED_TRACE(std::to_string(c.value));
    PushDouble(c.value);
    EXPECT_EQ(PopInt(), c.expected);
  }
  // 16-bit pops keep the low half of the 32-bit conversion.
  PushDouble(70001.0);
  uint8_t low16[2] = {};
  RealTempRing::PopInt16(low16);
  EXPECT_EQ(low16[0] | (low16[1] << 8), 70001 & 0xFFFF);

  const uint8_t single[4] = {0x00, 0x00, 0xC0, 0x3F};  // 1.5
  RealTempRing::PushReal4(single);
  uint8_t singleOut[4] = {};
  RealTempRing::PopReal4(singleOut);
  EXPECT_EQ(std::memcmp(single, singleOut, 4), 0);

  const uint8_t extendedA[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};  // 1
  const uint8_t extendedB[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0x00, 0x40};  // 3
  RealTempRing::PushReal10Pair(extendedA, extendedB);
  RealTempRing::Subtract();  // 1 - 3
  uint8_t extendedOut[10] = {};
  RealTempRing::PopReal10(extendedOut);
  const uint8_t minusTwo[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};
  EXPECT_EQ(std::memcmp(extendedOut, minusTwo, 10), 0);

  EXPECT_EQ(RealTempRing::PushZero(), 0);
  EXPECT_EQ(PopDouble(), 0.0);

  // 0.1 through an 8-byte pop is rounded once more to a 4-byte pop.
  PushDouble(0.1);
  RealTempRing::PopReal4(singleOut);
  float narrowed;
  std::memcpy(&narrowed, singleOut, 4);
  EXPECT_EQ(narrowed, 0.1f);
}

TEST(RealTempRingTest, UnsupportedFormatRaisesInvalidRealOperation) {
  try {
    RealTempRing::RaiseInvalid();
    FAIL() << "no error raised";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), 135u);
    EXPECT_EQ(error.Severity(), 3u);
  }
}

}  // namespace
}  // namespace zentor
