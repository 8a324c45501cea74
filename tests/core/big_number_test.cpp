// BigNumber: the digit forms of the constructors and of negation, and the long
// division checked against native 64-bit division and, where the compiler has it,
// 128-bit division over operands of up to seven digits.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/big_number.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

constexpr uint32_t kSeed = 77031;

std::vector<uint16_t> DigitsOf(const BigNumber& number) {
  std::vector<uint16_t> digits;
  for (uint32_t i = 0; i < number.DigitCount(); ++i) {
    digits.push_back(number.DigitAt(i));
  }
  return digits;
}

int64_t Native(const SignedInt64& value) {
  return static_cast<int64_t>((static_cast<uint64_t>(value.High()) << 32) | value.Low());
}

SignedInt64 FromNative(int64_t value) {
  const uint64_t bits = static_cast<uint64_t>(value);
  return SignedInt64::FromWords(static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32));
}

TEST(BigNumberTest, ConstructorsAndNegationGiveNormalForm) {
  struct Case {
    const char* name;
    BigNumber number;
    std::vector<uint16_t> digits;
  };
  const Case cases[] = {
      {"default is zero", BigNumber(), {0x0000}},
      {"signed -1", BigNumber(-1), {0xFFFF}},
      {"signed -32768", BigNumber(-32768), {0x8000}},
      {"signed 32768", BigNumber(32768), {0x0000, 0x8000}},
      {"signed 0", BigNumber(0), {0x0000}},
      {"unsigned 0x80000000", BigNumber(0x80000000u), {0x0000, 0x8000, 0x0000}},
      {"unsigned 0xFFFF", BigNumber(0xFFFFu), {0x0000, 0xFFFF}},
      {"UnsignedInt64 max", BigNumber(UnsignedInt64(OrdinalValue::AllOnes)),
       {0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
      {"SignedInt64 -40000", BigNumber(SignedInt64(-40000)), {0xFFFF, 0x63C0}},
      {"SignedInt64 min", BigNumber(SignedInt64::FromWords(0, 0x80000000u)), {0x8000, 0x0000, 0x0000, 0x0000}},
      {"digits with redundant signs", BigNumber(std::vector<uint16_t>{0xFFFF, 0xFFFF, 0x8001}), {0x8001}},
      {"digits of zero", BigNumber(std::vector<uint16_t>{0, 0, 0}), {0x0000}},
      {"empty digits", BigNumber(std::vector<uint16_t>{}), {0x0000}},
      {"negate -32768", BigNumber(-32768).Negate(), {0x0000, 0x8000}},
      {"negate 32768", BigNumber(32768).Negate(), {0x8000}},
      {"negate 0", BigNumber(0).Negate(), {0x0000}},
      {"negate -1", BigNumber(-1).Negate(), {0x0001}},
      {"copy", BigNumber(-40000).Copy(), {0xFFFF, 0x63C0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DigitsOf(c.number), c.digits);
  }
}

TEST(BigNumberTest, ConversionsBackTo64Bits) {
  EXPECT_EQ(BigNumber(std::vector<uint16_t>{0x0000, 0x8000, 0, 0, 0}).ToSigned(),
            SignedInt64::FromWords(0, 0x80000000u));
  EXPECT_EQ(BigNumber(-1).ToUnsigned(), UnsignedInt64(65535u));
  EXPECT_EQ(BigNumber(-1).ToSigned(), SignedInt64(-1));
  EXPECT_EQ(BigNumber(UnsignedInt64(OrdinalValue::AllOnes)).ToUnsigned(), UnsignedInt64(OrdinalValue::AllOnes));
  // Only the low 64 bits survive.
  EXPECT_EQ(BigNumber(std::vector<uint16_t>{0x1234, 0, 0, 0, 5}).ToUnsigned(), UnsignedInt64(5u));
}

TEST(BigNumberTest, DivisionTable) {
  struct Case {
    const char* name;
    BigNumber a;
    BigNumber b;
    int64_t quotient;
    int64_t remainder;
  };
  const Case cases[] = {
      {"100000 / 60000", BigNumber(100000), BigNumber(60000), 1, 40000},
      {"(2^32-1) / 65536", BigNumber(0xFFFFFFFFu), BigNumber(65536), 65535, 65535},
      {"-7 / 3", BigNumber(-7), BigNumber(3), -2, -1},
      {"7 / -3", BigNumber(7), BigNumber(-3), -2, 1},
      {"-7 / -3", BigNumber(-7), BigNumber(-3), 2, -1},
      {"equal operands", BigNumber(40000), BigNumber(40000), 1, 0},
      {"smaller dividend, same length", BigNumber(40000), BigNumber(50000), 0, 40000},
      {"longer divisor", BigNumber(5), BigNumber(0x10000000), 0, 5},
      {"divisor 32768 (one digit after stripping)", BigNumber(0x12345678), BigNumber(32768), 0x2468, 0x5678},
      {"min / -1 gives 2^63", BigNumber(SignedInt64::FromWords(0, 0x80000000u)), BigNumber(-1), INT64_MIN, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BigNumber q;
    BigNumber r;
    BigNumber::Divide(c.a, c.b, q, r);
    EXPECT_EQ(q.ToSigned(), FromNative(c.quotient));
    EXPECT_EQ(r.ToSigned(), FromNative(c.remainder));
  }
  // 2^63 is a positive five-digit quotient.
  BigNumber q;
  BigNumber r;
  BigNumber::Divide(BigNumber(SignedInt64::FromWords(0, 0x80000000u)), BigNumber(-1), q, r);
  EXPECT_EQ(DigitsOf(q), (std::vector<uint16_t>{0x0000, 0x8000, 0, 0, 0}));
}

TEST(BigNumberTest, RepeatedAndFailedDivisionsKeepResults) {
  // The second division of the same operands comes from the remembered entry.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ((BigNumber(40000) / BigNumber(40000)).ToSigned(), SignedInt64(1));
    EXPECT_EQ((BigNumber(40000) % BigNumber(40000)).ToSigned(), SignedInt64(0));
  }
  // A zero divisor raises every time and leaves the remembered entry alone.
  const BigNumber a(1234567);
  const BigNumber b(-1000);
  EXPECT_EQ((a / b).ToSigned(), SignedInt64(-1234));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    BigNumber q(99);
    BigNumber r(98);
    EXPECT_THROW(BigNumber::Divide(BigNumber(7), BigNumber(0), q, r), DVError);
    EXPECT_EQ(q.ToSigned(), SignedInt64(99));
    EXPECT_EQ(r.ToSigned(), SignedInt64(98));
  }
  EXPECT_EQ((a % b).ToSigned(), SignedInt64(567));
}

// Digit strings rich in the values that make the quotient estimate wrong (0, 0xFFFF,
// 0x8000, 0x7FFF) so that the correction and add-back steps run.
std::vector<uint16_t> RandomDigits(std::mt19937& engine, uint32_t count) {
  static const uint16_t kSpecial[] = {0x0000, 0xFFFF, 0x8000, 0x7FFF, 0x0001, 0xFFFE};
  std::vector<uint16_t> digits(count);
  for (uint16_t& digit : digits) {
    digit = engine() % 3 == 0 ? kSpecial[engine() % std::size(kSpecial)] : static_cast<uint16_t>(engine());
  }
  return digits;
}

TEST(BigNumberTest, DivisionMatchesNative64Bit) {
  std::mt19937 engine(kSeed);
  for (int i = 0; i < 20000; ++i) {
    const std::vector<uint16_t> da = RandomDigits(engine, 1 + engine() % 4);
    const std::vector<uint16_t> db = RandomDigits(engine, 1 + engine() % 4);
    const BigNumber a(da);
    const BigNumber b(db);
    const int64_t na = Native(a.ToSigned());
    const int64_t nb = Native(b.ToSigned());
    if (nb == 0) {
      continue;
    }
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " a=" + std::to_string(na) + " b=" + std::to_string(nb));
    BigNumber q;
    BigNumber r;
    BigNumber::Divide(a, b, q, r);
    if (na == INT64_MIN && nb == -1) {
      EXPECT_EQ(q.ToSigned(), SignedInt64::FromWords(0, 0x80000000u));
      EXPECT_EQ(r.ToSigned(), SignedInt64(0));
      continue;
    }
    EXPECT_EQ(q.ToSigned(), FromNative(na / nb));
    EXPECT_EQ(r.ToSigned(), FromNative(na % nb));
    // Results are in normal form: the same value built afresh has the same digits.
    EXPECT_EQ(DigitsOf(q), DigitsOf(BigNumber(q.ToSigned())));
  }
}

#if defined(__SIZEOF_INT128__)
__int128 ToInt128(const BigNumber& number) {
  // Sign-extend from the first digit; at most seven digits in this test.
  __int128 value = number.IsNegative() ? -1 : 0;
  for (uint32_t i = 0; i < number.DigitCount(); ++i) {
    value = static_cast<__int128>((static_cast<unsigned __int128>(value) << 16) | number.DigitAt(i));
  }
  return value;
}

std::string Int128Text(__int128 value) {
  const bool negative = value < 0;
  unsigned __int128 magnitude = negative ? 0 - static_cast<unsigned __int128>(value) : value;
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  return negative ? "-" + text : text;
}

TEST(BigNumberTest, LongDivisionMatchesNative128Bit) {
  std::mt19937 engine(kSeed + 1);
  for (int i = 0; i < 100000; ++i) {
    const BigNumber a(RandomDigits(engine, 1 + engine() % 7));
    const BigNumber b(RandomDigits(engine, 1 + engine() % 5));
    const __int128 na = ToInt128(a);
    const __int128 nb = ToInt128(b);
    if (nb == 0) {
      continue;
    }
    SCOPED_TRACE("seed " + std::to_string(kSeed + 1) + " a=" + Int128Text(na) + " b=" + Int128Text(nb));
    BigNumber q;
    BigNumber r;
    BigNumber::Divide(a, b, q, r);
    ASSERT_EQ(Int128Text(ToInt128(q)), Int128Text(na / nb));
    ASSERT_EQ(Int128Text(ToInt128(r)), Int128Text(na % nb));
  }
}
#endif

}  // namespace
}  // namespace zentor
