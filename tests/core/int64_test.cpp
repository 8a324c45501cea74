// Differential tests of the two 64-bit integer classes against the host's native 64-bit
// arithmetic, plus the rules the native types do not share: shift counts, the number
// text rule and the zero-divisor error.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/big_number.h"
#include "core/dv_error.h"
#include "core/signed_int64.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {
namespace {

constexpr uint32_t kSeed = 20240611;

uint64_t Native(const UnsignedInt64& value) {
  return (static_cast<uint64_t>(value.High()) << 32) | value.Low();
}
int64_t Native(const SignedInt64& value) {
  return static_cast<int64_t>((static_cast<uint64_t>(value.High()) << 32) | value.Low());
}
UnsignedInt64 MakeUnsigned(uint64_t value) {
  return UnsignedInt64::FromWords(static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32));
}
SignedInt64 MakeSigned(int64_t value) {
  const uint64_t bits = static_cast<uint64_t>(value);
  return SignedInt64::FromWords(static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32));
}

// Operands that stress the word boundaries: full random words, values that fit 32 or
// 16 bits, single bits, and the classic edges.
class OperandSource {
 public:
  explicit OperandSource(uint32_t seed) : m_engine(seed) {}

  uint64_t Next() {
    static const uint64_t kEdges[] = {0,
                                      1,
                                      2,
                                      0x7FFFu,
                                      0x8000u,
                                      0xFFFFu,
                                      0x10000u,
                                      0x7FFFFFFFu,
                                      0x80000000u,
                                      0xFFFFFFFFu,
                                      0x100000000ull,
                                      0x100000001ull,
                                      0x7FFFFFFFFFFFFFFFull,
                                      0x8000000000000000ull,
                                      0xFFFFFFFF00000000ull,
                                      0xFFFFFFFFFFFFFFFEull,
                                      0xFFFFFFFFFFFFFFFFull};
    const uint64_t wide = m_engine();
    switch (m_engine() % 8) {
      case 0: return kEdges[m_engine() % std::size(kEdges)];
      case 1: return wide & 0xFFFFFFFFu;
      case 2: return wide & 0xFFFFu;
      case 3: return 1ull << (m_engine() % 64);
      case 4: return ~(wide & 0xFFFFFFFFu);  // near the top
      case 5: return wide >> (m_engine() % 64);
      default: return wide;
    }
  }

 private:
  std::mt19937_64 m_engine;
};

TEST(UnsignedInt64Test, MatchesNativeArithmetic) {
  OperandSource source(kSeed);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t a = source.Next();
    const uint64_t b = source.Next();
    const uint32_t b32 = static_cast<uint32_t>(b);
    const UnsignedInt64 ua = MakeUnsigned(a);
    const UnsignedInt64 ub = MakeUnsigned(b);
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " a=" + std::to_string(a) + " b=" + std::to_string(b));

    EXPECT_EQ(Native(ua + ub), a + b);
    EXPECT_EQ(Native(ua - ub), a - b);
    EXPECT_EQ(Native(ua * ub), a * b);
    EXPECT_EQ(Native(ua & ub), a & b);
    EXPECT_EQ(Native(ua | ub), a | b);
    EXPECT_EQ(Native(ua ^ ub), a ^ b);
    EXPECT_EQ(Native(~ua), ~a);
    EXPECT_EQ(Native(ua + b32), a + b32);
    EXPECT_EQ(Native(ua - b32), a - b32);
    EXPECT_EQ(Native(ua * b32), a * b32);
    EXPECT_EQ(Native(ua & b32), a & b32);
    EXPECT_EQ(Native(ua | b32), a | b32);
    EXPECT_EQ(Native(ua ^ b32), a ^ b32);
    if (b != 0) {
      EXPECT_EQ(Native(ua / ub), a / b);
      EXPECT_EQ(Native(ua % ub), a % b);
    }
    if (b32 != 0) {
      EXPECT_EQ(Native(ua / b32), a / b32);
      EXPECT_EQ(Native(ua % b32), a % b32);
    }

    EXPECT_EQ(ua == ub, a == b);
    EXPECT_EQ(ua != ub, a != b);
    EXPECT_EQ(ua < ub, a < b);
    EXPECT_EQ(ua > ub, a > b);
    EXPECT_EQ(ua <= ub, a <= b);
    EXPECT_EQ(ua >= ub, a >= b);
    EXPECT_EQ(ua == b32, a == b32);
    EXPECT_EQ(ua != b32, a != b32);
    EXPECT_EQ(ua < b32, a < b32);
    EXPECT_EQ(ua > b32, a > b32);
    EXPECT_EQ(ua >= b32, a >= b32);
    EXPECT_EQ(b32 < OrdinalValue(ua), b32 < a);

    UnsignedInt64 counter = ua;
    EXPECT_EQ(Native(counter++), a);
    EXPECT_EQ(Native(counter), a + 1);
    EXPECT_EQ(Native(--counter), a);
    EXPECT_EQ(Native(counter--), a);
    EXPECT_EQ(Native(counter), a - 1);
    EXPECT_EQ(Native(++counter), a);

    EXPECT_EQ(Native(UnsignedInt64::Multiply32(static_cast<uint32_t>(a), b32)),
              static_cast<uint64_t>(static_cast<uint32_t>(a)) * b32);
    EXPECT_EQ(UnsignedInt64::CarryOut(static_cast<uint32_t>(a), b32),
              ((a & 0xFFFFFFFFu) + b32) >> 32);
  }
}

TEST(UnsignedInt64Test, ShiftsGiveZeroFromSixtyFourOn) {
  OperandSource source(kSeed + 1);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t a = source.Next();
    const UnsignedInt64 ua = MakeUnsigned(a);
    for (uint32_t count = 0; count < 70; ++count) {
      SCOPED_TRACE("seed " + std::to_string(kSeed + 1) + " a=" + std::to_string(a) +
                   " count=" + std::to_string(count));
      const uint64_t left = count < 64 ? a << count : 0;
      const uint64_t right = count < 64 ? a >> count : 0;
      EXPECT_EQ(Native(ua << count), left);
      EXPECT_EQ(Native(ua >> count), right);
      EXPECT_EQ(Native(ua << UnsignedInt64(count)), left);
      EXPECT_EQ(Native(ua >> UnsignedInt64(count)), right);
    }
    // A 64-bit count is compared whole: 2^32 + 1 is not a shift by 1.
    EXPECT_EQ(Native(ua << MakeUnsigned(0x100000001ull)), 0u);
    EXPECT_EQ(Native(ua >> MakeUnsigned(0x100000001ull)), 0u);
    EXPECT_EQ(Native(ua << 0xFFFFFFFFu), 0u);
  }
}

TEST(UnsignedInt64Test, EdgeCases) {
  struct Case {
    const char* name;
    UnsignedInt64 actual;
    uint64_t expected;
  };
  const UnsignedInt64 max = OrdinalValue::AllOnes;
  const Case cases[] = {
      {"0xFFFFFFFF + 1 carries", UnsignedInt64(0xFFFFFFFFu) + 1u, 0x100000000ull},
      {"max + 1 wraps", max + 1u, 0},
      {"max * max", max * max, 1},
      {"2^32 * 2^32", MakeUnsigned(1ull << 32) * MakeUnsigned(1ull << 32), 0},
      {"0xFFFFFFFF squared", UnsignedInt64(0xFFFFFFFFu) * UnsignedInt64(0xFFFFFFFFu), 0xFFFFFFFE00000001ull},
      {"10 / 3", UnsignedInt64(10u) / UnsignedInt64(3u), 3},
      {"2^32 / 2", MakeUnsigned(1ull << 32) / 2u, 1ull << 31},
      {"10 % 3", UnsignedInt64(10u) % 3u, 1},
      {"1 << 63", UnsignedInt64(1u) << 63u, 1ull << 63},
      {"2^63 >> 63", MakeUnsigned(1ull << 63) >> 63u, 1},
      {"shift by 100", max << 100u, 0},
      {"0 - 1", --UnsignedInt64(0u), ~0ull},
      {"text -1", UnsignedInt64(RWCString("-1")), ~0ull},
      {"text 0x10", UnsignedInt64(RWCString("0x10")), 16},
      {"text 2^64 + 1 wraps", UnsignedInt64(RWCString("18446744073709551617")), 1},
      {"from signed -1", UnsignedInt64(SignedInt64(-1)), ~0ull},
      {"ordinal one", OrdinalValue::One, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Native(c.actual), c.expected);
  }

  const UnsignedInt64 highOne = UnsignedInt64::FromWords(0, 1);
  EXPECT_TRUE(highOne > 0xFFFFFFFFu);
  EXPECT_FALSE(highOne < 0xFFFFFFFFu);
  EXPECT_FALSE(highOne == 0xFFFFFFFFu);
}

TEST(UnsignedInt64Test, OrdinalValueAssignments) {
  OrdinalValue value(5u);
  const OrdinalValue& alias = value;
  value = alias;
  EXPECT_EQ(Native(value), 5u);
  value = SignedInt64(-1);
  EXPECT_EQ(Native(value), ~0ull);
  value = RawWordPair{0x89ABCDEFu, 0x01234567u};
  EXPECT_EQ(Native(value), 0x0123456789ABCDEFull);
  EXPECT_EQ(value.ToRaw().m_low, 0x89ABCDEFu);
  EXPECT_EQ(value.ToRaw().m_high, 0x01234567u);
  value = 7u;
  EXPECT_EQ(Native(value), 7u);
  const OrdinalValue sum = value + OrdinalValue::One;  // base operators return UnsignedInt64
  EXPECT_EQ(Native(sum), 8u);
}

TEST(SignedInt64Test, MatchesNativeArithmetic) {
  OperandSource source(kSeed + 2);
  const int64_t kMin = INT64_MIN;
  for (int i = 0; i < 20000; ++i) {
    const int64_t a = static_cast<int64_t>(source.Next());
    const int64_t b = static_cast<int64_t>(source.Next());
    const int32_t b32 = static_cast<int32_t>(b);
    const SignedInt64 sa = MakeSigned(a);
    const SignedInt64 sb = MakeSigned(b);
    const uint64_t ua = static_cast<uint64_t>(a);
    const uint64_t ub = static_cast<uint64_t>(b);
    SCOPED_TRACE("seed " + std::to_string(kSeed + 2) + " a=" + std::to_string(a) + " b=" + std::to_string(b));

    EXPECT_EQ(Native(sa + sb), static_cast<int64_t>(ua + ub));
    EXPECT_EQ(Native(sa - sb), static_cast<int64_t>(ua - ub));
    EXPECT_EQ(Native(sa * sb), static_cast<int64_t>(ua * ub));
    EXPECT_EQ(Native(sa & sb), a & b);
    EXPECT_EQ(Native(sa | sb), a | b);
    EXPECT_EQ(Native(sa ^ sb), a ^ b);
    EXPECT_EQ(Native(-sa), static_cast<int64_t>(0 - ua));
    EXPECT_EQ(Native(sa + b32), static_cast<int64_t>(ua + static_cast<uint64_t>(int64_t{b32})));
    EXPECT_EQ(Native(sa * b32), static_cast<int64_t>(ua * static_cast<uint64_t>(int64_t{b32})));
    EXPECT_EQ(Native(sa & b32), a & int64_t{b32});
    if (b != 0) {
      // The most negative value / -1 wraps to itself and leaves remainder 0.
      const bool wraps = a == kMin && b == -1;
      EXPECT_EQ(Native(sa / sb), wraps ? kMin : a / b);
      EXPECT_EQ(Native(sa % sb), wraps ? 0 : a % b);
    }
    if (b32 != 0) {
      const bool wraps = a == kMin && b32 == -1;
      EXPECT_EQ(Native(sa / b32), wraps ? kMin : a / b32);
      EXPECT_EQ(Native(sa % b32), wraps ? 0 : a % b32);
    }
    EXPECT_EQ(sa == sb, a == b);
    EXPECT_EQ(sa != sb, a != b);
    EXPECT_EQ(sa < sb, a < b);
    EXPECT_EQ(sa > sb, a > b);
    EXPECT_EQ(sa <= sb, a <= b);
    EXPECT_EQ(sa >= sb, a >= b);
    EXPECT_EQ(sa == b32, a == b32);
    EXPECT_EQ(sa < b32, a < b32);
    EXPECT_EQ(sa > b32, a > b32);

    SignedInt64 counter = sa;
    EXPECT_EQ(Native(counter++), a);
    EXPECT_EQ(Native(counter), static_cast<int64_t>(ua + 1));
    EXPECT_EQ(Native(--counter), a);
    EXPECT_EQ(Native(counter--), a);
    EXPECT_EQ(Native(counter), static_cast<int64_t>(ua - 1));
  }
}

TEST(SignedInt64Test, ShiftsByCount) {
  OperandSource source(kSeed + 3);
  for (int i = 0; i < 2000; ++i) {
    const int64_t a = static_cast<int64_t>(source.Next());
    const SignedInt64 sa = MakeSigned(a);
    for (int32_t count = -3; count < 70; ++count) {
      SCOPED_TRACE("seed " + std::to_string(kSeed + 3) + " a=" + std::to_string(a) +
                   " count=" + std::to_string(count));
      // Counts outside 0..63 give 0, for negative values too.
      const bool inRange = count >= 0 && count < 64;
      const int64_t left = inRange ? static_cast<int64_t>(static_cast<uint64_t>(a) << count) : 0;
      const int64_t right = inRange ? (a >> count) : 0;
      EXPECT_EQ(Native(sa << count), left);
      EXPECT_EQ(Native(sa >> count), right);
      EXPECT_EQ(Native(sa << SignedInt64(count)), left);
      EXPECT_EQ(Native(sa >> SignedInt64(count)), right);
    }
    // A 64-bit count uses its low word as a signed number.
    EXPECT_EQ(Native(sa << MakeSigned(0x100000001ll)), static_cast<int64_t>(static_cast<uint64_t>(a) << 1));
    EXPECT_EQ(Native(sa >> MakeSigned(0x80000000ll)), 0);
  }
}

TEST(SignedInt64Test, EdgeCases) {
  struct Case {
    const char* name;
    SignedInt64 actual;
    int64_t expected;
  };
  const SignedInt64 kMin = MakeSigned(INT64_MIN);
  const Case cases[] = {
      {"-7 / 2", SignedInt64(-7) / 2, -3},
      {"-7 % 2", SignedInt64(-7) % 2, -1},
      {"7 / -2", SignedInt64(7) / -2, -3},
      {"7 % -2", SignedInt64(7) % -2, 1},
      {"-7 % 3", SignedInt64(-7) % 3, -1},
      {"-40000 / 3", SignedInt64(-40000) / 3, -13333},
      {"100000 % 60000", SignedInt64(100000) % 60000, 40000},
      {"-100000 / 60000", SignedInt64(-100000) / 60000, -1},
      {"-100000 % 60000", SignedInt64(-100000) % 60000, -40000},
      {"min / -1", kMin / -1, INT64_MIN},
      {"min % -1", kMin % -1, 0},
      {"-min", -kMin, INT64_MIN},
      {"min * -1", kMin * -1, INT64_MIN},
      {"-1 >> 63", SignedInt64(-1) >> 63, -1},
      {"-1 >> 64", SignedInt64(-1) >> 64, 0},
      {"-8 >> 1", SignedInt64(-8) >> 1, -4},
      {"-8 >> 40", SignedInt64(-8) >> 40, -1},
      {"1 << 63", SignedInt64(1) << 63, INT64_MIN},
      {"shift by -1", SignedInt64(-8) << -1, 0},
      {"from unsigned max", SignedInt64(OrdinalValue::AllOnes), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Native(c.actual), c.expected);
  }
  EXPECT_TRUE(SignedInt64(-2) < SignedInt64(-1));
  EXPECT_FALSE(SignedInt64(-1) < SignedInt64(-2));
  EXPECT_TRUE(SignedInt64(-1) < 0);
  EXPECT_FALSE(SignedInt64(0) < -1);
  EXPECT_TRUE(SignedInt64(OrdinalValue::AllOnes) == -1);
}

TEST(SignedInt64Test, NumberTextRule) {
  struct Case {
    const char* text;
    int64_t expected;
  };
  const Case cases[] = {
      {"-0x10", -16},
      {"0y101", 5},
      {"017", 15},
      {"0n17", 17},
      {"0x1f", 31},
      {"0X1F", 31},
      {"09", 0},  // base 8: '9' ends the number
      {"12abc", 12},
      {"0x", 0},
      {"", 0},
      {" 12", 0},
      {"+42", 42},
      {"-", 0},
      {"0", 0},
      {"0y102", 2},
      {"0xFFFFFFFFFFFFFFFF", -1},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"18446744073709551617", 1},
      {"0xabcdefg", 0xabcdef},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    EXPECT_EQ(Native(SignedInt64::FromText(c.text)), c.expected);
    EXPECT_EQ(Native(SignedInt64(RWCString(c.text))), c.expected);
    EXPECT_EQ(Native(UnsignedInt64(RWCString(c.text))), static_cast<uint64_t>(c.expected));
  }
  // A counted text stops at its length even without a NUL in view.
  const RWCString counted("123456", 3);
  EXPECT_EQ(Native(SignedInt64::FromText(counted)), 123);
  EXPECT_EQ(Native(SignedInt64::FromText(static_cast<const char*>(nullptr))), 0);
}

// Every division path raises the same internal-consistency error for a zero divisor;
// none of them traps.
TEST(Int64DivisionTest, ZeroDivisorRaisesOnEveryPath) {
  struct Case {
    const char* name;
    void (*operation)();
  };
  const Case cases[] = {
      {"unsigned 32-bit path", [] { (void)(UnsignedInt64(7u) / UnsignedInt64(0u)); }},
      {"unsigned u32 divisor", [] { (void)(UnsignedInt64(7u) / 0u); }},
      {"unsigned wide dividend", [] { (void)(MakeUnsigned(1ull << 40) / UnsignedInt64(0u)); }},
      {"unsigned wide, u32 divisor", [] { (void)(MakeUnsigned(1ull << 40) / 0u); }},
      {"unsigned remainder", [] { (void)(UnsignedInt64(7u) % UnsignedInt64(0u)); }},
      {"unsigned remainder u32", [] { (void)(UnsignedInt64(7u) % 0u); }},
      {"signed quotient", [] { (void)(SignedInt64(-7) / SignedInt64(0)); }},
      {"signed quotient int32", [] { (void)(SignedInt64(-7) / 0); }},
      {"signed remainder", [] { (void)(SignedInt64(-7) % 0); }},
      {"big number", [] { (void)(BigNumber(7) / BigNumber(0)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool raised = false;
    try {
      c.operation();
    } catch (const DVError& error) {
      raised = true;
      EXPECT_EQ(error.Number(), 1u);
      EXPECT_EQ(error.Severity(), 5u);
      ASSERT_EQ(error.ArgumentCount(), 2u);
      EXPECT_STREQ(error.Argument(0).data(), "DV/bignum");
      EXPECT_STREQ(error.Argument(1).data(), "274");
    }
    EXPECT_TRUE(raised);
  }
}

}  // namespace
}  // namespace zentor
