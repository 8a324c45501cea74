#include "support/rw_bitvec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

std::vector<bool> Bits(const RWBitVec& v) {
  std::vector<bool> bits(v.length());
  for (uint32_t i = 0; i < v.length(); ++i) bits[i] = v.testBit(i);
  return bits;
}

// The hash computed from the logical bits alone: the length, then each byte of eight
// bits (the last one holding only the used bits).
uint32_t ReferenceHash(const std::vector<bool>& bits) {
  uint32_t h = static_cast<uint32_t>(bits.size());
  for (size_t base = 0; base < bits.size(); base += 8) {
    uint32_t byte = 0;
    for (size_t k = 0; k < 8 && base + k < bits.size(); ++k) byte |= uint32_t{bits[base + k]} << k;
    h = ((h << 5) | (h >> 27)) ^ byte;
  }
  return h;
}

uint32_t ReferenceFirst(const std::vector<bool>& bits, bool value) {
  auto it = std::find(bits.begin(), bits.end(), value);
  return it == bits.end() ? RW_NPOS : static_cast<uint32_t>(it - bits.begin());
}

TEST(RWBitVec, RandomOperationsAgainstVectorOfBool) {
  const uint32_t seed = 8675309;
  std::mt19937 random(seed);
  RWBitVec a(13), b(13);
  std::vector<bool> ra(13), rb(13);
  for (int step = 0; step < 5000; ++step) {
    int op = static_cast<int>(random() % 11);
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + " op " + std::to_string(op));
    uint32_t n = a.length();
    switch (op) {
      case 0:
      case 1:
        if (n) {
          uint32_t i = random() % n;
          a.setBit(i);
          ra[i] = true;
        }
        break;
      case 2:
        if (n) {
          uint32_t i = random() % n;
          a.clearBit(i);
          ra[i] = false;
        }
        break;
      case 3: {  // resize both, keeping the lengths equal
        uint32_t m = random() % 40;
        a.resize(m);
        b.resize(m);
        ra.resize(m, false);
        rb.resize(m, false);
        break;
      }
      case 4:
        std::swap(a, b);
        std::swap(ra, rb);
        break;
      case 5:
        a = a & b;
        for (uint32_t i = 0; i < n; ++i) ra[i] = ra[i] && rb[i];
        break;
      case 6:
        a = a | b;
        for (uint32_t i = 0; i < n; ++i) ra[i] = ra[i] || rb[i];
        break;
      case 7:
        a ^= b;
        for (uint32_t i = 0; i < n; ++i) ra[i] = ra[i] != rb[i];
        break;
      case 8:  // the complement sets the unused bits too; they must stay invisible
        a = !a;
        ra.flip();
        break;
      case 9: {
        bool value = random() % 2 != 0;
        b = value;
        std::fill(rb.begin(), rb.end(), value);
        break;
      }
      case 10: {  // a copy is independent
        RWBitVec copy(a);
        if (n) copy.setBit(0), copy.clearBit(n - 1);
        break;
      }
    }
    ASSERT_EQ(Bits(a), ra);
    ASSERT_EQ(Bits(b), rb);
    ASSERT_EQ(a.sum(), static_cast<uint32_t>(std::count(ra.begin(), ra.end(), true)));
    ASSERT_EQ(a.hash(), ReferenceHash(ra));
    ASSERT_EQ(a == b, ra == rb);
    ASSERT_EQ(a == true, std::all_of(ra.begin(), ra.end(), [](bool x) { return x; }));
    ASSERT_EQ(a == false, std::none_of(ra.begin(), ra.end(), [](bool x) { return x; }));
    ASSERT_EQ(a.firstTrue(), ReferenceFirst(ra, true));
    ASSERT_EQ(a.firstFalse(), ReferenceFirst(ra, false));
    ASSERT_EQ(a == RWBitVec(a), true);
  }
}

TEST(RWBitVec, EdgeCasesOfLengthsAndUnusedBits) {
  RWBitVec empty;
  EXPECT_EQ(empty.data(), nullptr);
  EXPECT_EQ(RWBitVec(0).data(), nullptr);
  empty.resize(10);
  ASSERT_NE(empty.data(), nullptr);
  EXPECT_EQ(empty.data()[0], 0);
  EXPECT_EQ(empty.data()[1], 0);
  EXPECT_EQ(empty.sum(), 0u);

  RWBitVec full(10, true);
  full.resize(12);
  EXPECT_TRUE(full.testBit(9));
  EXPECT_FALSE(full.testBit(10));
  EXPECT_FALSE(full.testBit(11));
  EXPECT_EQ(full.sum(), 10u);

  const uint8_t x[] = {0xAB, 0x01};
  const uint8_t y[] = {0xAB, 0xFD};  // differs only above bit 9
  RWBitVec vx(x, 10), vy(y, 10);
  EXPECT_TRUE(vx == vy);
  EXPECT_EQ(vx.hash(), vy.hash());
  EXPECT_FALSE(RWBitVec(x, 11) == RWBitVec(y, 11));

  RWBitVec complement = !RWBitVec(10);
  EXPECT_TRUE(complement == true);
  EXPECT_EQ(complement.sum(), 10u);
  EXPECT_EQ(complement.firstFalse(), RW_NPOS);

  RWBitVec self(9, true);
  self = self;
  EXPECT_EQ(self.sum(), 9u);
}

TEST(RWBitVec, ErrorsOfUnequalLengthsAndBadIndices) {
  RWBitVec eight(8), nine(9);
  struct Case {
    const char* name;
    std::function<void()> body;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"and", [&] { (void)(eight & nine); }, "[NEVECL] Unequal vector lengths: 8 versus 9"},
      {"or", [&] { (void)(nine | eight); }, "[NEVECL] Unequal vector lengths: 9 versus 8"},
      {"xor in place", [&] { eight ^= nine; }, "[NEVECL] Unequal vector lengths: 8 versus 9"},
      {"read past the end", [&] { (void)nine[9]; }, "[INDEX] Index (9) out of range [0->8]"},
      {"write past the end", [&] { eight.assignBit(100, true); }, "[INDEX] Index (100) out of range [0->7]"},
      {"empty vector", [&] { (void)RWBitVec()[0]; }, "[INDEX] Index (0) out of range [0->4294967295]"},
      {"in range", [&] { nine.assignBit(8, true); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RWErrorTextOf(c.body), c.text);
  }
  EXPECT_TRUE(nine[8]);
  EXPECT_EQ(eight.sum(), 0u);
}

}  // namespace
}  // namespace zentor
