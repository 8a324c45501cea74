// The software IEEE package against the host's IEEE arithmetic: the host floats are
// only the reference here. Single results are compared in all rounding modes, double
// results in the directed modes (where rounding first to 64 bits and then to 53 is the
// same as rounding once) and, with SSE arithmetic, to nearest at a 53-bit working
// precision; 80-bit results against the x87 where the compiler's long double is it.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "core/soft_float.h"

namespace zentor {
namespace {

constexpr uint32_t kSeed = 9151;

// Restores the package settings a test changes.
class FloatSettingsGuard {
 public:
  FloatSettingsGuard()
      : m_mode(FloatRoundingMode()), m_precision(FloatPrecision()), m_digits(SignificantDigits) {}
  ~FloatSettingsGuard() {
    SetFloatRoundingMode(m_mode);
    SetFloatPrecision(m_precision);
    SignificantDigits = m_digits;
    std::fesetround(FE_TONEAREST);
  }

 private:
  uint32_t m_mode;
  uint32_t m_precision;
  uint32_t m_digits;
};

uint32_t BitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}
float FloatOf(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}
uint64_t BitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  return bits;
}
double DoubleOf(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

FloatUnpacked UnpackSingleBits(uint32_t bits) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  return UnpackSingle(bytes);
}
uint32_t PackSingleBits(const FloatUnpacked& value) {
  uint8_t bytes[4];
  PackSingle(value, bytes);
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
FloatUnpacked UnpackDoubleBits(uint64_t bits) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
  return UnpackDouble(bytes);
}
uint64_t PackDoubleBits(const FloatUnpacked& value) {
  uint8_t bytes[8];
  PackDouble(value, bytes);
  uint64_t bits = 0;
  for (int i = 8; i-- > 0;) {
    bits = (bits << 8) | bytes[i];
  }
  return bits;
}

bool IsNaNBits32(uint32_t bits) { return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x7FFFFFu) != 0; }
bool IsNaNBits64(uint64_t bits) {
  return (bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull && (bits & 0xFFFFFFFFFFFFFull) != 0;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Operand bit patterns: random words, values near each other (cancellation), and the
// special and boundary encodings.
class SingleSource {
 public:
  explicit SingleSource(uint32_t seed) : m_engine(seed) {}
  uint32_t Next() {
    static const uint32_t kEdges[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x807FFFFFu, 0x00800000u,
                                      0x7F7FFFFFu, 0xFF7FFFFFu, 0x7F800000u, 0xFF800000u, 0x7FC00000u,
                                      0x7F800001u, 0x3F800000u, 0xBF800000u, 0x3F800001u, 0x33800000u,
                                      0x00400000u, 0x7F000000u, 0x0C000000u};
    const uint32_t random = m_engine();
    switch (m_engine() % 6) {
      case 0: return kEdges[m_engine() % std::size(kEdges)];
      case 1: return m_last ^ (m_engine() % 16);                        // nearly equal
      case 2: return (random & 0x807FFFFFu) | ((m_engine() % 4) << 23);  // tiny
      case 3: return (random & 0x807FFFFFu) | ((0xFC + m_engine() % 3) << 23);  // huge
      default: return m_last = random;
    }
  }

 private:
  std::mt19937 m_engine;
  uint32_t m_last = 0x3F800000u;
};

class DoubleSource {
 public:
  explicit DoubleSource(uint32_t seed) : m_engine(seed) {}
  uint64_t Next() {
    static const uint64_t kEdges[] = {0x0000000000000000ull, 0x8000000000000000ull, 0x0000000000000001ull,
                                      0x000FFFFFFFFFFFFFull, 0x0010000000000000ull, 0x7FEFFFFFFFFFFFFFull,
                                      0x7FF0000000000000ull, 0xFFF0000000000000ull, 0x7FF8000000000000ull,
                                      0x7FF0000000000001ull, 0x3FF0000000000000ull, 0xBFF0000000000001ull,
                                      0x3CA0000000000000ull, 0x0008000000000000ull};
    const uint64_t random = m_engine();
    switch (m_engine() % 6) {
      case 0: return kEdges[m_engine() % std::size(kEdges)];
      case 1: return m_last ^ (m_engine() % 16);
      case 2: return (random & 0x800FFFFFFFFFFFFFull) | ((m_engine() % 40) << 52);
      case 3: return (random & 0x800FFFFFFFFFFFFFull) | ((0x7D0 + m_engine() % 47) << 52);
      default: return m_last = random;
    }
  }

 private:
  std::mt19937_64 m_engine;
  uint64_t m_last = 0x3FF0000000000000ull;
};

enum class Operation { Add, Subtract, Multiply, Divide };
const Operation kOperations[] = {Operation::Add, Operation::Subtract, Operation::Multiply, Operation::Divide};
const char* Name(Operation operation) {
  switch (operation) {
    case Operation::Add: return "add";
    case Operation::Subtract: return "subtract";
    case Operation::Multiply: return "multiply";
    default: return "divide";
  }
}

FloatUnpacked Soft(Operation operation, const FloatUnpacked& a, const FloatUnpacked& b) {
  switch (operation) {
    case Operation::Add: return FloatAdd(a, b);
    case Operation::Subtract: return FloatSubtract(a, b);
    case Operation::Multiply: return FloatMultiply(a, b);
    default: return FloatDivide(a, b);
  }
}

// The host operations run at run time in the current host rounding mode: the operands
// are read through volatile and the result is stored through volatile, which also
// rounds away any x87 excess precision.
float Host(Operation operation, float aValue, float bValue) {
  volatile float a = aValue;
  volatile float b = bValue;
  volatile float result;
  switch (operation) {
    case Operation::Add: result = a + b; break;
    case Operation::Subtract: result = a - b; break;
    case Operation::Multiply: result = a * b; break;
    default: result = a / b; break;
  }
  return result;
}

double Host(Operation operation, double aValue, double bValue) {
  volatile double a = aValue;
  volatile double b = bValue;
  volatile double result;
  switch (operation) {
    case Operation::Add: result = a + b; break;
    case Operation::Subtract: result = a - b; break;
    case Operation::Multiply: result = a * b; break;
    default: result = a / b; break;
  }
  return result;
}

const int kHostModes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
const uint32_t kSoftModes[] = {kRoundToNearest, kRoundDownward, kRoundUpward, kRoundTowardZero};

TEST(SoftFloatTest, SingleArithmeticMatchesHostInEveryRoundingMode) {
  FloatSettingsGuard guard;
  SetFloatPrecision(64);
  for (int m = 0; m < 4; ++m) {
    SingleSource source(kSeed + m);
    SetFloatRoundingMode(kSoftModes[m]);
    ASSERT_EQ(std::fesetround(kHostModes[m]), 0);
    for (int i = 0; i < 30000; ++i) {
      const uint32_t a = source.Next();
      const uint32_t b = source.Next();
      for (Operation operation : kOperations) {
        const uint32_t expected = BitsOf(Host(operation, FloatOf(a), FloatOf(b)));
        const uint32_t actual = PackSingleBits(Soft(operation, UnpackSingleBits(a), UnpackSingleBits(b)));
        if (IsNaNBits32(expected)) {
          ASSERT_TRUE(IsNaNBits32(actual)) << "seed " << kSeed + m << " mode " << m << ' ' << Name(operation)
                                           << ' ' << Hex(a) << ' ' << Hex(b);
          continue;
        }
        ASSERT_EQ(Hex(actual), Hex(expected))
            << "seed " << kSeed + m << " mode " << m << ' ' << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
      }
    }
  }
}

TEST(SoftFloatTest, DoubleArithmeticMatchesHostInDirectedModes) {
  FloatSettingsGuard guard;
  SetFloatPrecision(64);
  for (int m = 1; m < 4; ++m) {
    DoubleSource source(kSeed + 10 + m);
    SetFloatRoundingMode(kSoftModes[m]);
    ASSERT_EQ(std::fesetround(kHostModes[m]), 0);
    for (int i = 0; i < 30000; ++i) {
      const uint64_t a = source.Next();
      const uint64_t b = source.Next();
      for (Operation operation : kOperations) {
        const uint64_t expected = BitsOf(Host(operation, DoubleOf(a), DoubleOf(b)));
        const uint64_t actual = PackDoubleBits(Soft(operation, UnpackDoubleBits(a), UnpackDoubleBits(b)));
        if (IsNaNBits64(expected)) {
          ASSERT_TRUE(IsNaNBits64(actual)) << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
          continue;
        }
        ASSERT_EQ(Hex(actual), Hex(expected))
            << "seed " << kSeed + 10 + m << " mode " << m << ' ' << Name(operation) << ' ' << Hex(a) << ' '
            << Hex(b);
      }
    }
  }
}

#if FLT_EVAL_METHOD == 0
// With a 53-bit working precision a double result is rounded once, as SSE does, except
// in the double's denormal range, where the working form (extended exponent range)
// rounds to 53 bits before the denormal packing rounds again; products and quotients
// that land there are left to the x87 comparison below.
TEST(SoftFloatTest, DoubleArithmeticMatchesSseToNearestAt53Bits) {
  FloatSettingsGuard guard;
  SetFloatPrecision(53);
  SetFloatRoundingMode(kRoundToNearest);
  DoubleSource source(kSeed + 20);
  for (int i = 0; i < 60000; ++i) {
    const uint64_t a = source.Next();
    const uint64_t b = source.Next();
    for (Operation operation : kOperations) {
      const double host = Host(operation, DoubleOf(a), DoubleOf(b));
      const uint64_t expected = BitsOf(host);
      const uint64_t actual = PackDoubleBits(Soft(operation, UnpackDoubleBits(a), UnpackDoubleBits(b)));
      if (IsNaNBits64(expected)) {
        ASSERT_TRUE(IsNaNBits64(actual)) << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
        continue;
      }
      const bool doubleRounded = (operation == Operation::Multiply || operation == Operation::Divide) &&
                                 std::fabs(host) <= DBL_MIN;
      if (doubleRounded) {
        continue;
      }
      ASSERT_EQ(Hex(actual), Hex(expected))
          << "seed " << kSeed + 20 << ' ' << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
    }
  }
}
#endif

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
// The x87 in 64-bit precision, round to nearest, for the duration of a test.
class X87ExtendedPrecision {
 public:
  X87ExtendedPrecision() {
    __asm__ volatile("fnstcw %0" : "=m"(m_saved));
    const uint16_t control = static_cast<uint16_t>((m_saved & ~0x0F00u) | 0x0300u);
    __asm__ volatile("fldcw %0" : : "m"(control));
  }
  ~X87ExtendedPrecision() { __asm__ volatile("fldcw %0" : : "m"(m_saved)); }

 private:
  uint16_t m_saved = 0;
};

struct Extended {
  uint64_t m_significand;
  uint16_t m_top;  // sign and exponent field
};

long double LongDoubleOf(const Extended& value) {
  long double result = 0;
  uint8_t bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &value.m_significand, 8);
  std::memcpy(bytes + 8, &value.m_top, 2);
  std::memcpy(&result, bytes, sizeof(long double));
  return result;
}

Extended ExtendedOf(long double value) {
  uint8_t bytes[sizeof(long double)];
  std::memcpy(bytes, &value, sizeof(long double));
  Extended result;
  std::memcpy(&result.m_significand, bytes, 8);
  std::memcpy(&result.m_top, bytes + 8, 2);
  return result;
}

FloatUnpacked UnpackExtendedValue(const Extended& value) {
  uint8_t bytes[10];
  std::memcpy(bytes, &value.m_significand, 8);
  std::memcpy(bytes + 8, &value.m_top, 2);
  return UnpackExtended(bytes);
}

Extended PackExtendedValue(const FloatUnpacked& value) {
  uint8_t bytes[10];
  PackExtended(value, bytes);
  Extended result;
  std::memcpy(&result.m_significand, bytes, 8);
  std::memcpy(&result.m_top, bytes + 8, 2);
  return result;
}

long double HostExtended(Operation operation, long double aValue, long double bValue) {
  volatile long double a = aValue;
  volatile long double b = bValue;
  volatile long double result;
  switch (operation) {
    case Operation::Add: result = a + b; break;
    case Operation::Subtract: result = a - b; break;
    case Operation::Multiply: result = a * b; break;
    default: result = a / b; break;
  }
  return result;
}

// Valid encodings only: normals with the integer bit, denormals without it, zeros and
// infinities (the x87 chooses between two NaNs by a rule of its own, so no NaNs here).
Extended NextExtended(std::mt19937_64& engine, Extended& last) {
  const uint16_t sign = static_cast<uint16_t>((engine() & 1u) << 15);
  uint16_t field;
  switch (engine() % 8) {
    case 0: field = static_cast<uint16_t>(engine() % 70); break;
    case 1: field = static_cast<uint16_t>(0x7FFE - engine() % 70); break;
    case 2: field = static_cast<uint16_t>(0x3FFF - 40 + engine() % 80); break;
    case 3: return Extended{last.m_significand ^ (engine() % 16), last.m_top};
    case 4: {
      static const Extended kEdges[] = {{0, 0}, {0, 0x8000}, {1, 0}, {0x8000000000000000ull, 0x7FFF},
                                        {0x8000000000000000ull, 0xFFFF}, {0xFFFFFFFFFFFFFFFFull, 0x7FFE},
                                        {0x8000000000000000ull, 0x0001}, {0x7FFFFFFFFFFFFFFFull, 0x0000}};
      return kEdges[engine() % std::size(kEdges)];
    }
    default: field = static_cast<uint16_t>(1 + engine() % 0x7FFE); break;
  }
  uint64_t significand = engine();
  significand = field == 0 ? (significand & 0x7FFFFFFFFFFFFFFFull) : (significand | 0x8000000000000000ull);
  last = Extended{significand, static_cast<uint16_t>(sign | field)};
  return last;
}

TEST(SoftFloatTest, ExtendedArithmeticMatchesX87) {
  FloatSettingsGuard guard;
  X87ExtendedPrecision x87;
  SetFloatPrecision(64);
  SetFloatRoundingMode(kRoundToNearest);
  std::mt19937_64 engine(kSeed + 30);
  Extended last{0x8000000000000000ull, 0x3FFF};
  for (int i = 0; i < 60000; ++i) {
    const Extended a = NextExtended(engine, last);
    const Extended b = NextExtended(engine, last);
    for (Operation operation : kOperations) {
      const Extended expected = ExtendedOf(HostExtended(operation, LongDoubleOf(a), LongDoubleOf(b)));
      const FloatUnpacked result = Soft(operation, UnpackExtendedValue(a), UnpackExtendedValue(b));
      const Extended actual = PackExtendedValue(result);
      const std::string trace = "seed " + std::to_string(kSeed + 30) + ' ' + Name(operation) + ' ' +
                                Hex(a.m_top) + ':' + Hex(a.m_significand) + ' ' + Hex(b.m_top) + ':' +
                                Hex(b.m_significand);
      if ((expected.m_top & 0x7FFF) == 0x7FFF && expected.m_significand != 0x8000000000000000ull) {
        ASSERT_TRUE(result.IsNaN()) << trace;
        continue;
      }
      ASSERT_EQ(actual.m_top, expected.m_top) << trace;
      ASSERT_EQ(Hex(actual.m_significand), Hex(expected.m_significand)) << trace;
    }
  }
}

// Double operands computed in the working form and packed to double are the x87's
// extended result stored to a double: the same two roundings, denormals included.
TEST(SoftFloatTest, DoubleArithmeticMatchesX87DoubleRounding) {
  FloatSettingsGuard guard;
  X87ExtendedPrecision x87;
  SetFloatPrecision(64);
  SetFloatRoundingMode(kRoundToNearest);
  DoubleSource source(kSeed + 31);
  for (int i = 0; i < 60000; ++i) {
    const uint64_t a = source.Next();
    const uint64_t b = source.Next();
    for (Operation operation : kOperations) {
      volatile double stored =
          static_cast<double>(HostExtended(operation, DoubleOf(a), DoubleOf(b)));
      const uint64_t expected = BitsOf(static_cast<double>(stored));
      const uint64_t actual = PackDoubleBits(Soft(operation, UnpackDoubleBits(a), UnpackDoubleBits(b)));
      if (IsNaNBits64(expected)) {
        ASSERT_TRUE(IsNaNBits64(actual)) << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
        continue;
      }
      ASSERT_EQ(Hex(actual), Hex(expected))
          << "seed " << kSeed + 31 << ' ' << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
    }
  }
}
#endif

TEST(SoftFloatTest, UnpackAndPackRoundTripAndConvertLikeTheHost) {
  FloatSettingsGuard guard;
  SetFloatRoundingMode(kRoundToNearest);
  SingleSource singles(kSeed + 40);
  DoubleSource doubles(kSeed + 41);
  for (int i = 0; i < 50000; ++i) {
    const uint32_t s = singles.Next();
    const uint64_t d = doubles.Next();
    SCOPED_TRACE("seed " + std::to_string(kSeed + 40) + ' ' + Hex(s) + ' ' + Hex(d));
    ASSERT_EQ(Hex(PackSingleBits(UnpackSingleBits(s))), Hex(s));
    ASSERT_EQ(Hex(PackDoubleBits(UnpackDoubleBits(d))), Hex(d));
    if (IsNaNBits32(s) || IsNaNBits64(d)) {
      continue;  // the host quiets NaNs on conversion
    }
    // Widening is exact; narrowing rounds to nearest, into denormals and infinities.
    volatile float narrowed = static_cast<float>(DoubleOf(d));
    volatile double widened = static_cast<double>(FloatOf(s));
    ASSERT_EQ(Hex(PackSingleBits(UnpackDoubleBits(d))), Hex(BitsOf(static_cast<float>(narrowed))));
    ASSERT_EQ(Hex(PackDoubleBits(UnpackSingleBits(s))), Hex(BitsOf(static_cast<double>(widened))));
    // Through the 80-bit form and back.
    uint8_t extended[10];
    PackExtended(UnpackDoubleBits(d), extended);
    ASSERT_EQ(Hex(PackDoubleBits(UnpackExtended(extended))), Hex(d));
  }
}

TEST(SoftFloatTest, CompareMatchesHost) {
  DoubleSource source(kSeed + 50);
  for (int i = 0; i < 50000; ++i) {
    const uint64_t a = source.Next();
    const uint64_t b = i % 7 == 0 ? a ^ 0x8000000000000000ull : source.Next();
    const double x = DoubleOf(a);
    const double y = DoubleOf(b);
    int expected = kFloatUnordered;
    if (x < y) {
      expected = kFloatLess;
    } else if (x > y) {
      expected = kFloatGreater;
    } else if (x == y) {
      expected = kFloatEqual;
    }
    ASSERT_EQ(FloatCompare(UnpackDoubleBits(a), UnpackDoubleBits(b)), expected)
        << "seed " << kSeed + 50 << ' ' << Hex(a) << ' ' << Hex(b);
  }
}

TEST(SoftFloatTest, IntegerConversions) {
  FloatSettingsGuard guard;
  std::mt19937 engine(kSeed + 60);
  for (int i = 0; i < 20000; ++i) {
    const int32_t value = static_cast<int32_t>(engine() >> (engine() % 32));
    const int32_t signedValue = (engine() & 1u) != 0 ? value : static_cast<int32_t>(0u - static_cast<uint32_t>(value));
    ASSERT_EQ(Hex(PackDoubleBits(UnpackInteger(signedValue))), Hex(BitsOf(static_cast<double>(signedValue))))
        << signedValue;
    ASSERT_EQ(PackInteger(UnpackInteger(signedValue)), signedValue);
  }
  // Rounding to an integer in each mode against the host's floor, ceil, trunc and
  // nearest-even; out-of-range magnitudes saturate.
  DoubleSource source(kSeed + 61);
  for (int i = 0; i < 40000; ++i) {
    uint64_t bits = source.Next();
    if (i % 2 == 0) {
      // Values around the 32-bit range with fractions, halves included.
      const int64_t whole = static_cast<int64_t>(engine()) - (1ll << 31) + static_cast<int64_t>(engine() % 5) - 2;
      const double fractions[] = {0.0, 0.25, 0.5, 0.75, -0.5};
      bits = BitsOf(static_cast<double>(whole) + fractions[engine() % 5]);
    }
    const double x = DoubleOf(bits);
    for (int m = 0; m < 4; ++m) {
      SetFloatRoundingMode(kSoftModes[m]);
      double rounded;
      switch (m) {
        case 1: rounded = std::floor(x); break;
        case 2: rounded = std::ceil(x); break;
        case 3: rounded = std::trunc(x); break;
        default: {
          rounded = std::floor(x);
          const double rest = x - rounded;
          if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
            rounded += 1.0;
          }
        }
      }
      int32_t expected;
      if (std::isnan(x)) {
        expected = std::signbit(x) ? INT32_MIN : INT32_MAX;
      } else if (rounded >= 2147483648.0) {
        expected = INT32_MAX;
      } else if (rounded <= -2147483648.0) {
        expected = INT32_MIN;
      } else {
        expected = static_cast<int32_t>(rounded);
      }
      ASSERT_EQ(PackInteger(UnpackDoubleBits(bits)), expected) << "mode " << m << ' ' << Hex(bits);
    }
  }
}

TEST(SoftFloatTest, SpecialCasesAndFlags) {
  FloatSettingsGuard guard;
  SetFloatRoundingMode(kRoundToNearest);
  const FloatUnpacked zero = UnpackInteger(0);
  const FloatUnpacked one = UnpackInteger(1);
  const FloatUnpacked minusOne = UnpackInteger(-1);
  const FloatUnpacked infinity = UnpackSingleBits(0x7F800000u);
  const FloatUnpacked signalling = UnpackSingleBits(0x7F800123u);
  const FloatUnpacked quiet = UnpackSingleBits(0xFFC00456u);

  struct Case {
    const char* name;
    FloatUnpacked result;
    uint32_t expectedSingle;
    uint32_t expectedFlags;  // flags that must be set
  };
  auto run = [](FloatUnpacked (*op)(const FloatUnpacked&, const FloatUnpacked&), const FloatUnpacked& a,
                const FloatUnpacked& b) {
    ClearFloatStatusFlags();
    return op(a, b);
  };
  const FloatUnpacked zeroByZero = run(FloatDivide, zero, zero);
  const uint32_t zeroByZeroFlags = FloatStatusFlags();
  const FloatUnpacked oneByZero = run(FloatDivide, one, zero);
  const uint32_t oneByZeroFlags = FloatStatusFlags();
  const FloatUnpacked infMinusInf = run(FloatSubtract, infinity, infinity);
  const uint32_t infMinusInfFlags = FloatStatusFlags();
  const FloatUnpacked infTimesZero = run(FloatMultiply, infinity, zero);
  const FloatUnpacked signallingPlusOne = run(FloatAdd, signalling, one);
  const uint32_t signallingFlags = FloatStatusFlags();
  const FloatUnpacked twoNaNs = run(FloatAdd, quiet, signalling);
  const FloatUnpacked quietFirst = run(FloatAdd, signalling, quiet);

  const Case cases[] = {
      {"0/0 is the default NaN", zeroByZero, 0x7FE00000u, kFloatInvalid},
      {"1/0 is +infinity", oneByZero, 0x7F800000u, kFloatDivisionByZero},
      {"-1/0 is -infinity", FloatDivide(minusOne, zero), 0xFF800000u, 0},
      {"inf - inf is invalid", infMinusInf, 0x7FE00000u, kFloatInvalid},
      {"inf * 0 is invalid", infTimesZero, 0x7FE00000u, 0},
      {"signalling NaN + 1 is made quiet", signallingPlusOne, 0x7FC00123u, kFloatInvalid | kFloatNaNProduced},
      {"second NaN wins when it signals", twoNaNs, 0x7FC00123u, 0},
      {"otherwise the first NaN", quietFirst, 0x7FC00123u, 0},
      {"1 - 1 is +0", FloatSubtract(one, one), 0x00000000u, 0},
      {"-0 + -0 is -0", FloatAdd(FloatNegate(zero), FloatNegate(zero)), 0x80000000u, 0},
      {"+0 + -0 is +0", FloatAdd(zero, FloatNegate(zero)), 0x00000000u, 0},
      {"x / inf is zero with the sign", FloatDivide(minusOne, infinity), 0x80000000u, 0},
      {"inf / x is infinity with the sign", FloatDivide(infinity, minusOne), 0xFF800000u, 0},
      {"negate keeps NaN payload", FloatNegate(quiet), 0x7FC00456u, 0},
  };
  const uint32_t flags[] = {zeroByZeroFlags, oneByZeroFlags, 0, infMinusInfFlags, 0, signallingFlags};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(Hex(PackSingleBits(cases[i].result)), Hex(cases[i].expectedSingle));
    if (i < std::size(flags)) {
      EXPECT_EQ(flags[i] & cases[i].expectedFlags, cases[i].expectedFlags);
    }
  }
  // The default NaN in the working form.
  EXPECT_EQ(zeroByZero.m_sign, 0u);
  EXPECT_EQ(zeroByZero.m_exponent, kFloatSpecialExponent);
  EXPECT_EQ(zeroByZero.m_words[0], 0xE000u);

  SetFloatRoundingMode(kRoundDownward);
  EXPECT_EQ(Hex(PackSingleBits(FloatSubtract(one, one))), Hex(0x80000000u));

  EXPECT_EQ(FloatCompare(zero, FloatNegate(zero)), kFloatEqual);
  EXPECT_EQ(FloatCompare(quiet, quiet), kFloatUnordered);
  EXPECT_EQ(FloatCompare(one, signalling), kFloatUnordered);
  EXPECT_EQ(FloatCompare(infinity, one), kFloatGreater);
  EXPECT_EQ(FloatCompare(FloatNegate(infinity), minusOne), kFloatLess);
}

// Packing rules at the edges of the single format, in each rounding mode.
TEST(SoftFloatTest, PackingAtTheEdgesOfTheRange) {
  FloatSettingsGuard guard;
  FloatUnpacked huge;  // about 1e39, above the largest single
  huge.m_exponent = 129;
  huge.SetMantissa(0xBC00000000000000ull);
  FloatUnpacked half;  // exactly half the smallest denormal
  half.m_exponent = -150;
  half.SetMantissa(0x8000000000000000ull);
  FloatUnpacked aboveHalf = half;
  aboveHalf.SetMantissa(0x8000000000000001ull);
  FloatUnpacked tiny;
  tiny.m_exponent = -200;
  tiny.SetMantissa(0x8000000000000000ull);
  FloatUnpacked roundsToNormal;  // largest denormal plus a bit more than half an ulp
  roundsToNormal.m_exponent = -127;
  roundsToNormal.SetMantissa(0xFFFFFF8000000000ull);
  FloatUnpacked nanLowPayload;
  nanLowPayload.m_exponent = kFloatSpecialExponent;
  nanLowPayload.SetMantissa(0x8000000000000001ull);

  struct Case {
    const char* name;
    uint32_t mode;
    FloatUnpacked value;
    uint32_t expected;
    uint32_t flags;
  };
  const Case cases[] = {
      {"1e39 to nearest", kRoundToNearest, huge, 0x7F800000u, kFloatOverflow | kFloatInexact},
      {"1e39 toward zero", kRoundTowardZero, huge, 0x7F7FFFFFu, kFloatOverflow},
      {"1e39 downward", kRoundDownward, huge, 0x7F7FFFFFu, kFloatOverflow},
      {"1e39 upward", kRoundUpward, huge, 0x7F800000u, kFloatOverflow},
      {"-1e39 downward", kRoundDownward, FloatNegate(huge), 0xFF800000u, kFloatOverflow},
      {"-1e39 upward", kRoundUpward, FloatNegate(huge), 0xFF7FFFFFu, kFloatOverflow},
      {"half the smallest denormal ties to zero", kRoundToNearest, half, 0x00000000u, kFloatUnderflow},
      {"above half rounds to the smallest denormal", kRoundToNearest, aboveHalf, 0x00000001u, kFloatUnderflow},
      {"tiny upward", kRoundUpward, tiny, 0x00000001u, kFloatInexact},
      {"tiny downward", kRoundDownward, tiny, 0x00000000u, kFloatInexact},
      {"-tiny downward", kRoundDownward, FloatNegate(tiny), 0x80000001u, kFloatInexact},
      {"-tiny toward zero", kRoundTowardZero, FloatNegate(tiny), 0x80000000u, kFloatInexact},
      {"denormal carries into the smallest normal", kRoundToNearest, roundsToNormal, 0x00800000u, kFloatInexact},
      {"NaN keeps a fraction bit", kRoundToNearest, nanLowPayload, 0x7F800001u, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFloatRoundingMode(c.mode);
    ClearFloatStatusFlags();
    EXPECT_EQ(Hex(PackSingleBits(c.value)), Hex(c.expected));
    EXPECT_EQ(FloatStatusFlags() & c.flags, c.flags);
  }

  const FloatUnpacked smallest = UnpackSingleBits(0x00000001u);
  EXPECT_EQ(smallest.m_exponent, -149);
  EXPECT_EQ(smallest.m_words[0], 0x8000u);
  EXPECT_EQ(smallest.m_words[3], 0u);
}

TEST(SoftFloatTest, SettingsAndWorkingPrecision) {
  FloatSettingsGuard guard;
  SetFloatRoundingMode(7);
  EXPECT_EQ(FloatRoundingMode(), kRoundToNearest);
  SetFloatRoundingMode(kRoundUpward);
  EXPECT_EQ(FloatRoundingMode(), kRoundUpward);
  SetFloatRoundingMode(kRoundToNearest);
  SetFloatPrecision(24);
  SetFloatPrecision(0);
  SetFloatPrecision(65);
  EXPECT_EQ(FloatPrecision(), 24u);

  // At 24 bits, single operands give single results (away from the denormal range).
  SingleSource source(kSeed + 70);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t a = source.Next();
    const uint32_t b = source.Next();
    for (Operation operation : kOperations) {
      const float host = Host(operation, FloatOf(a), FloatOf(b));
      if (std::isnan(host) || std::fabs(host) <= FLT_MIN) {
        continue;
      }
      const FloatUnpacked result = Soft(operation, UnpackSingleBits(a), UnpackSingleBits(b));
      EXPECT_EQ(result.m_words[1] & 0xFFu, 0u);
      EXPECT_EQ(result.m_words[2] | result.m_words[3], 0u);
      ASSERT_EQ(Hex(PackSingleBits(result)), Hex(BitsOf(host)))
          << "seed " << kSeed + 70 << ' ' << Name(operation) << ' ' << Hex(a) << ' ' << Hex(b);
    }
  }
}

// Values built by hand rather than unpacked: a clear integer bit, stray bits above the
// 16-bit words and exponents far outside every format still give sound results.
TEST(SoftFloatTest, HandBuiltValuesAreNormalisedAndBounded) {
  FloatSettingsGuard guard;
  SetFloatRoundingMode(kRoundToNearest);
  FloatUnpacked unnormal;  // 1.5 written as 0.75 * 2^1 with stray high bits
  unnormal.m_exponent = 1;
  unnormal.m_words[0] = 0xABCD6000u;
  EXPECT_EQ(Hex(PackSingleBits(unnormal)), Hex(0x3FC00000u));
  EXPECT_EQ(FloatCompare(unnormal, UnpackSingleBits(0x3FC00000u)), kFloatEqual);
  EXPECT_EQ(Hex(PackSingleBits(FloatAdd(unnormal, unnormal))), Hex(0x40400000u));

  FloatUnpacked huge;
  huge.m_exponent = 0x7FFFFFF0;
  huge.SetMantissa(0x8000000000000000ull);
  FloatUnpacked tiny = huge;
  tiny.m_exponent = -0x7FFFFFF0;
  EXPECT_TRUE(FloatMultiply(huge, huge).IsInfinity());
  EXPECT_TRUE(FloatMultiply(tiny, tiny).IsZero());
  EXPECT_TRUE(FloatDivide(huge, tiny).IsInfinity());
  EXPECT_EQ(FloatCompare(huge, tiny), kFloatGreater);
  char text[kFloatTextCapacity];
  ValueToText(huge, text, sizeof(text));
  EXPECT_STREQ(text, "+INF");
  ValueToText(tiny, text, sizeof(text));
  EXPECT_STREQ(text, "+0.000000000000000000E+00000");
}

}  // namespace
}  // namespace zentor
