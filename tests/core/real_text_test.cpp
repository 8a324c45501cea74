// Decimal text to real and back: hand-checked texts, round trips at 7, 15 and 19
// significant digits on every build, and (with glibc, whose conversions are exact and
// honour the rounding mode) a differential check against strtod and printf.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/real_temp_ring.h"
#include "core/soft_float.h"

namespace zentor {
namespace {

constexpr uint32_t kSeed = 4711;

class FloatSettingsGuard {
 public:
  FloatSettingsGuard() : m_mode(FloatRoundingMode()), m_digits(SignificantDigits) {}
  ~FloatSettingsGuard() {
    SetFloatRoundingMode(m_mode);
    SignificantDigits = m_digits;
    std::fesetround(FE_TONEAREST);
  }

 private:
  uint32_t m_mode;
  uint32_t m_digits;
};

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

uint64_t DoubleBitsOfText(const char* text, int* ok = nullptr) {
  uint8_t bytes[8] = {};
  RealConversionRequest request;
  request.m_value = bytes;
  request.m_sizeKind = kRealSizeKind8;
  request.m_text = const_cast<char*>(text);
  const int result = TextToReal(request);
  if (ok != nullptr) {
    *ok = result;
  }
  uint64_t bits = 0;
  for (int i = 8; i-- > 0;) {
    bits = (bits << 8) | bytes[i];
  }
  return bits;
}

FloatUnpacked FromDoubleBits(uint64_t bits) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
  return UnpackDouble(bytes);
}

std::string TextOf(const FloatUnpacked& value) {
  char text[kFloatTextCapacity];
  ValueToText(value, text, sizeof(text));
  return text;
}

std::string RealText(const void* value, uint8_t sizeKind) {
  char text[kRealTextCapacity];
  RealConversionRequest request;
  request.m_value = const_cast<void*>(value);
  request.m_sizeKind = sizeKind;
  request.m_text = text;
  RealToText(request);
  EXPECT_EQ(request.m_textLength, std::strlen(text));
  EXPECT_EQ(request.m_firstCharacter, text[0]);
  return text;
}

TEST(RealTextTest, TextToDoubleTable) {
  constexpr uint64_t kUnchecked = ~0ull;
  struct Case {
    const char* text;
    int ok;
    uint64_t bits;
  };
  const Case cases[] = {
      {"  -1.5e3", 1, 0xC097700000000000ull},
      {"1.5x", 0, 0},
      {".5", 1, 0x3FE0000000000000ull},
      {"1e", 0, 0},
      {"1e+", 0, 0},
      {"1.5 and more", 1, 0x3FF8000000000000ull},
      {"1e5 ", 0, 0},
      {"1.2.3", 0, 0},
      {"0.000", 1, 0},
      {"-0", 1, 0x8000000000000000ull},
      {"", 0, 0},
      {"+", 0, 0},
      {"abc", 0, 0},
      {"0.1", 1, 0x3FB999999999999Aull},
      {"000012.5000", 1, 0x4029000000000000ull},
      {"1E+5000", 1, 0x7FF0000000000000ull},
      {"1e99999999999", 1, 0x7FF0000000000000ull},
      {"1e-99999", 1, 0},
      {"4.9406564584124654e-324", 1, 0x1ull},
      {"2.4703282292062328e-324", 1, 0x1ull},
      {"2.4703282292062327e-324", 1, 0},
      {"1.7976931348623158e308", 1, 0x7FEFFFFFFFFFFFFFull},
      {"1.7976931348623159e308", 1, 0x7FF0000000000000ull},
      {"123456789012345678901234567890", 1, 0x45F8EE90FF6C373Eull},
      {"0.0000000000000000000000000000001234567890123456789", 1, kUnchecked},  // below
      {"-inf", 1, 0xFFF0000000000000ull},
      {"INF", 1, 0x7FF0000000000000ull},
      {"inf x", 0, 0},
      {"infinity", 0, 0},
      {"nan(xyz)", 0, 0},
      {"nan(12", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    int ok = -1;
    const uint64_t bits = DoubleBitsOfText(c.text, &ok);
    EXPECT_EQ(ok, c.ok);
    if (c.bits != kUnchecked) {
      EXPECT_EQ(Hex(bits), Hex(c.bits));
    }
  }
  // Leading zeros after the point only move the exponent: the 19 digits still count.
  EXPECT_EQ(Hex(DoubleBitsOfText("0.0000000000000000000000000000001234567890123456789")),
            Hex(DoubleBitsOfText("1.234567890123456789e-31")));

  uint8_t single[4] = {};
  RealConversionRequest request;
  request.m_value = single;
  request.m_sizeKind = kRealSizeKind4;
  request.m_text = const_cast<char*>("1.5e3");
  EXPECT_EQ(TextToReal(request), 1);
  EXPECT_EQ(single[3], 0x44);
  EXPECT_EQ(single[2], 0xBB);
  EXPECT_EQ(single[1], 0x80);
  EXPECT_EQ(single[0], 0x00);
}

TEST(RealTextTest, SpecialFormsToWorkingForm) {
  struct Case {
    const char* text;
    uint32_t sign;
    uint64_t mantissa;
  };
  const Case cases[] = {
      {"nan(0)", 0, 0xC000000000000000ull},
      {"NAN()", 0, 0xC000000000000000ull},
      {"NAN", 0, 0xFFFFFFFFFFFFFFFFull},
      {" -nan(123)", 1, 0x9230000000000000ull},
      {"nan(12345678123456789)", 0, 0x9234567812345678ull},
      {"+Inf", 0, 0x8000000000000000ull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FloatUnpacked value;
    ASSERT_EQ(TextToValue(c.text, value), 1);
    EXPECT_EQ(value.m_exponent, kFloatSpecialExponent);
    EXPECT_EQ(value.m_sign, c.sign);
    EXPECT_EQ(Hex(value.Mantissa()), Hex(c.mantissa));
  }
  FloatUnpacked value = UnpackInteger(5);
  EXPECT_EQ(TextToValue("1.5x", value), 0);
  EXPECT_TRUE(value.IsZero());
  EXPECT_EQ(value.m_sign, 0u);
}

TEST(RealTextTest, ValueToTextTable) {
  FloatSettingsGuard guard;
  auto extended = [](uint16_t top, uint64_t significand) {
    uint8_t bytes[10];
    for (int i = 0; i < 8; ++i) {
      bytes[i] = static_cast<uint8_t>(significand >> (8 * i));
    }
    bytes[8] = static_cast<uint8_t>(top);
    bytes[9] = static_cast<uint8_t>(top >> 8);
    return UnpackExtended(bytes);
  };
  FloatUnpacked nanWithPayload;
  TextToValue("nan(123)", nanWithPayload);
  FloatUnpacked defaultNaN;
  defaultNaN.m_exponent = kFloatSpecialExponent;
  defaultNaN.SetMantissa(kDefaultNaNMantissa);

  struct Case {
    const char* name;
    uint32_t digits;
    uint32_t mode;
    FloatUnpacked value;
    const char* text;
  };
  const Case cases[] = {
      {"one", 19, kRoundToNearest, UnpackInteger(1), "+1.000000000000000000E+00000"},
      {"zero", 19, kRoundToNearest, UnpackInteger(0), "+0.000000000000000000E+00000"},
      {"minus zero", 19, kRoundToNearest, FloatNegate(UnpackInteger(0)), "-0.000000000000000000E+00000"},
      {"0.1 as double", 19, kRoundToNearest, FromDoubleBits(0x3FB999999999999Aull), "+1.000000000000000056E-00001"},
      {"largest extended", 19, kRoundToNearest, extended(0x7FFE, ~0ull), "+1.189731495357231765E+04932"},
      {"smallest extended denormal", 19, kRoundToNearest, extended(0, 1), "+3.645199531882474603E-04951"},
      {"smallest extended normal", 19, kRoundToNearest, extended(1, 0x8000000000000000ull),
       "+3.362103143112093506E-04932"},
      {"smallest double denormal", 19, kRoundToNearest, FromDoubleBits(1), "+4.940656458412465442E-00324"},
      {"largest double", 19, kRoundToNearest, FromDoubleBits(0x7FEFFFFFFFFFFFFFull), "+1.797693134862315708E+00308"},
      {"infinity", 19, kRoundToNearest, FromDoubleBits(0x7FF0000000000000ull), "+INF"},
      {"minus infinity", 19, kRoundToNearest, FromDoubleBits(0xFFF0000000000000ull), "-INF"},
      {"all-ones NaN", 19, kRoundToNearest, extended(0x7FFF, ~0ull), "+NAN"},
      {"default NaN", 19, kRoundToNearest, defaultNaN, "+NAN(6000000000000000)"},
      {"NaN payload", 19, kRoundToNearest, nanWithPayload, "+NAN(1230000000000000)"},
      {"1/3 nearest", 15, kRoundToNearest, FromDoubleBits(0x3FD5555555555555ull), "+3.33333333333333E-00001"},
      {"1/3 upward", 15, kRoundUpward, FromDoubleBits(0x3FD5555555555555ull), "+3.33333333333334E-00001"},
      {"1/3 downward", 15, kRoundDownward, FromDoubleBits(0x3FD5555555555555ull), "+3.33333333333333E-00001"},
      {"-1/3 downward", 15, kRoundDownward, FromDoubleBits(0xBFD5555555555555ull), "-3.33333333333334E-00001"},
      {"-1/3 toward zero", 15, kRoundTowardZero, FromDoubleBits(0xBFD5555555555555ull), "-3.33333333333333E-00001"},
      {"pi in 7 digits", 7, kRoundToNearest, FromDoubleBits(0x400921FB54442D18ull), "+3.141593E+00000"},
      {"9.5 ties to even and carries", 1, kRoundToNearest, FromDoubleBits(0x4023000000000000ull), "+1.E+00001"},
      {"8.5 ties to even", 1, kRoundToNearest, FromDoubleBits(0x4021000000000000ull), "+8.E+00000"},
      {"digits above 19 are 19", 40, kRoundToNearest, UnpackInteger(1), "+1.000000000000000000E+00000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SignificantDigits = c.digits;
    SetFloatRoundingMode(c.mode);
    EXPECT_EQ(TextOf(c.value), c.text);
  }
  SignificantDigits = 19;
  SetFloatRoundingMode(kRoundToNearest);
  char small[5];
  EXPECT_EQ(ValueToText(UnpackInteger(1), small, sizeof(small)), 4u);
  EXPECT_STREQ(small, "+1.0");
  EXPECT_EQ(ValueToText(UnpackInteger(1), nullptr, 0), 0u);
}

TEST(RealTextTest, RealToTextTrimsTheExponent) {
  struct Case {
    const char* name;
    const char* input;
    uint8_t sizeKind;
    const char* text;
    uint16_t exponent;
  };
  const Case cases[] = {
      {"1.5 as real8", "1.5", kRealSizeKind8, "+1.50000000000000", 0},
      {"1.5E12 as real8", "1.5E12", kRealSizeKind8, "+1.50000000000000E+12", 40},
      {"1.5E-5 as real8", "1.5E-5", kRealSizeKind8, "+1.50000000000000E-5", static_cast<uint16_t>(-17)},
      {"0.1 as real4", "0.1", kRealSizeKind4, "+1.000000E-1", static_cast<uint16_t>(-4)},
      {"1 as real10", "1", kRealSizeKind10, "+1.000000000000000000", 0},
      {"1e4000 as real10", "1e4000", kRealSizeKind10, "+1.000000000000000000E+4000", 13287},
      {"-inf as real8", "-inf", kRealSizeKind8, "-INF", static_cast<uint16_t>(kFloatSpecialExponent)},
      {"zero as real8", "0", kRealSizeKind8, "+0.00000000000000", 0},
      {"-123.456 as real4", "-123.456", kRealSizeKind4, "-1.234560E+2", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t value[10] = {};
    RealConversionRequest in;
    in.m_value = value;
    in.m_sizeKind = c.sizeKind;
    in.m_text = const_cast<char*>(c.input);
    ASSERT_EQ(TextToReal(in), 1);

    char text[kRealTextCapacity];
    RealConversionRequest out;
    out.m_value = value;
    out.m_sizeKind = c.sizeKind;
    out.m_text = text;
    RealToText(out);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(out.m_textLength, std::strlen(c.text));
    EXPECT_EQ(out.m_firstCharacter, c.text[0]);
    EXPECT_EQ(out.m_exponent, c.exponent);
    EXPECT_EQ(SignificantDigits, 19u);
  }

  // A short buffer gets the start of the text and a NUL, never more.
  const uint8_t oneAndHalf[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  char shortText[8];
  std::memset(shortText, 'x', sizeof(shortText));
  RealConversionRequest request;
  request.m_value = const_cast<uint8_t*>(oneAndHalf);
  request.m_sizeKind = kRealSizeKind8;
  request.m_text = shortText;
  request.m_textCapacity = sizeof(shortText);
  RealToText(request);
  EXPECT_STREQ(shortText, "+1.5000");
  EXPECT_EQ(request.m_textLength, 7u);
}

TEST(RealTextTest, DoublesRoundTripThroughNineteenDigits) {
  FloatSettingsGuard guard;
  std::mt19937_64 engine(kSeed);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = engine();
    if (i % 4 == 0) {
      bits &= 0x800FFFFFFFFFFFFFull;  // denormals
    }
    if ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull) {
      continue;
    }
    const std::string text = TextOf(FromDoubleBits(bits));
    ASSERT_EQ(Hex(DoubleBitsOfText(text.c_str())), Hex(bits)) << "seed " << kSeed << ' ' << text;
  }
}

// Random 15-digit decimals survive the trip through an 8-byte real and its 15-digit
// text; random 6-digit decimals survive a 4-byte real and its 7-digit text once the
// seventh digit is rounded away.
TEST(RealTextTest, DecimalsRoundTripThroughRealsAtFifteenAndSevenDigits) {
  std::mt19937_64 engine(kSeed + 1);
  struct Shape {
    uint8_t sizeKind;
    int digits;
    int exponentRange;
  };
  for (const Shape shape : {Shape{kRealSizeKind8, 15, 300}, Shape{kRealSizeKind4, 6, 36}}) {
    for (int i = 0; i < 10000; ++i) {
      std::string digits = std::to_string(1 + engine() % 9);
      for (int d = 1; d < shape.digits; ++d) {
        digits += static_cast<char>('0' + engine() % 10);
      }
      const int exponent = static_cast<int>(engine() % (2 * shape.exponentRange + 1)) - shape.exponentRange;
      const std::string input = digits.substr(0, 1) + "." + digits.substr(1) + "E" + std::to_string(exponent);
      uint8_t value[8] = {};
      RealConversionRequest in;
      in.m_value = value;
      in.m_sizeKind = shape.sizeKind;
      in.m_text = const_cast<char*>(input.c_str());
      ASSERT_EQ(TextToReal(in), 1);
      const std::string output = RealText(value, shape.sizeKind);
      // Read the output back as digits and exponent.
      std::string outDigits;
      size_t pos = 1;
      for (; pos < output.size() && output[pos] != 'E'; ++pos) {
        if (output[pos] != '.') {
          outDigits += output[pos];
        }
      }
      const int outExponent = pos < output.size() ? std::atoi(output.c_str() + pos + 1) : 0;
      if (shape.digits == 6) {
        // Round the seventh digit away (half up; the text is within one unit of it).
        uint64_t number = std::stoull(outDigits);
        number = (number + 5) / 10;
        int shifted = outExponent;
        if (number == 1000000) {
          number = 100000;
          ++shifted;
        }
        outDigits = std::to_string(number);
        ASSERT_EQ(shifted, exponent) << input << " -> " << output;
      } else {
        ASSERT_EQ(outExponent, exponent) << input << " -> " << output;
      }
      ASSERT_EQ(outDigits, digits) << "seed " << kSeed + 1 << ' ' << input << " -> " << output;
    }
  }
}

#if defined(__GLIBC__)
// The decimal text glibc prints, in this package's form: sign, d.ddd, E, sign, five
// exponent digits.
std::string GlibcText(const char* printed) {
  std::string text = printed;
  std::string result = text[0] == '-' ? "-" : "+";
  if (text[0] == '-' || text[0] == '+') {
    text.erase(0, 1);
  }
  const size_t e = text.find('e');
  result += text.substr(0, e) + "E";
  const int exponent = std::atoi(text.c_str() + e + 1);
  char tail[16];
  std::snprintf(tail, sizeof(tail), "%c%05d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
  return result + tail;
}

TEST(RealTextTest, TextToRealMatchesGlibcStrtod) {
  std::mt19937_64 engine(kSeed + 2);
  for (int i = 0; i < 20000; ++i) {
    std::string text = (engine() & 1u) != 0 ? "-" : "";
    const int digitCount = 1 + static_cast<int>(engine() % 19);
    for (int d = 0; d < digitCount; ++d) {
      text += static_cast<char>('0' + engine() % 10);
      if (d == 0 && engine() % 3 == 0) {
        text += '.';
      }
    }
    const int kind = static_cast<int>(engine() % 3);
    const int range[] = {50, 345, 4970};
    const int exponent = static_cast<int>(engine() % (2 * range[kind] + 1)) - range[kind];
    text += "e" + std::to_string(exponent);
    SCOPED_TRACE("seed " + std::to_string(kSeed + 2) + " text " + text);

    uint8_t value[10] = {};
    RealConversionRequest request;
    request.m_value = value;
    request.m_text = const_cast<char*>(text.c_str());
    if (kind == 0) {
      request.m_sizeKind = kRealSizeKind4;
      ASSERT_EQ(TextToReal(request), 1);
      const float expected = std::strtof(text.c_str(), nullptr);
      ASSERT_EQ(std::memcmp(value, &expected, 4), 0);
    } else if (kind == 1) {
      request.m_sizeKind = kRealSizeKind8;
      ASSERT_EQ(TextToReal(request), 1);
      const double expected = std::strtod(text.c_str(), nullptr);
      ASSERT_EQ(std::memcmp(value, &expected, 8), 0);
    } else {
#if LDBL_MANT_DIG == 64
      request.m_sizeKind = kRealSizeKind10;
      ASSERT_EQ(TextToReal(request), 1);
      const long double expected = std::strtold(text.c_str(), nullptr);
      ASSERT_EQ(std::memcmp(value, &expected, 10), 0);
#endif
    }
  }
}

TEST(RealTextTest, ValueToTextMatchesGlibcPrintfInEveryRoundingMode) {
  FloatSettingsGuard guard;
  const int hostModes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
  const uint32_t softModes[] = {kRoundToNearest, kRoundDownward, kRoundUpward, kRoundTowardZero};
  std::mt19937_64 engine(kSeed + 3);
  for (int i = 0; i < 8000; ++i) {
    uint64_t bits = engine();
    if (i % 5 == 0) {
      bits &= 0x800FFFFFFFFFFFFFull;
    }
    if ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull) {
      continue;
    }
    double value;
    std::memcpy(&value, &bits, 8);
    const int m = i % 4;
    const uint32_t digits = (i / 4) % 2 == 0 ? 15u : 17u;
    SetFloatRoundingMode(softModes[m]);
    SignificantDigits = digits;
    ASSERT_EQ(std::fesetround(hostModes[m]), 0);
    char printed[64];
    std::snprintf(printed, sizeof(printed), "%.*e", static_cast<int>(digits) - 1, value);
    std::fesetround(FE_TONEAREST);
    ASSERT_EQ(TextOf(FromDoubleBits(bits)), GlibcText(printed))
        << "seed " << kSeed + 3 << " mode " << m << ' ' << Hex(bits);
  }
#if LDBL_MANT_DIG == 64
  // 19 digits of 80-bit values over the whole exponent range.
  SignificantDigits = 19;
  for (int i = 0; i < 4000; ++i) {
    uint8_t bytes[16] = {};
    const uint64_t significand = engine() | 0x8000000000000000ull;
    const uint16_t top = static_cast<uint16_t>(((engine() & 1u) << 15) | (1 + engine() % 0x7FFE));
    std::memcpy(bytes, &significand, 8);
    std::memcpy(bytes + 8, &top, 2);
    long double value;
    std::memcpy(&value, bytes, sizeof(long double));
    const int m = i % 4;
    SetFloatRoundingMode(softModes[m]);
    ASSERT_EQ(std::fesetround(hostModes[m]), 0);
    char printed[64];
    std::snprintf(printed, sizeof(printed), "%.18Le", value);
    std::fesetround(FE_TONEAREST);
    ASSERT_EQ(TextOf(UnpackExtended(bytes)), GlibcText(printed))
        << "seed " << kSeed + 3 << " mode " << m << ' ' << Hex(top) << ':' << Hex(significand);
  }
#endif
}
#endif

}  // namespace
}  // namespace zentor
