// The formatter of command output: its own conversions, the 32-bit meaning of 'l',
// printf agreement for the integer conversions, and bounded output.
#include <gtest/gtest.h>

#include <bitset>
#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "core/number_base.h"

namespace zentor {
namespace {

std::string Format(const char* format, std::vector<FormatArg> args = {}) {
  char buffer[512];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  const std::size_t length = Formatter::Format(buffer, sizeof buffer, format, args);
  EXPECT_EQ(buffer[length], '\0');
  return std::string(buffer, length);
}

struct FormatCase {
  const char* name;
  const char* format;
  std::vector<FormatArg> args;
  const char* expected;
};

TEST(FormatterTest, ConversionsOfTheDebugger) {
  // Arguments refer to their text; it must outlive the table.
  static const std::string kText = "text";
  const FormatCase cases[] = {
      {"b of 0", "%b", {0}, "false"},
      {"b of 7", "%b", {7}, "true"},
      {"B of 0", "%B", {0}, "FALSE"},
      {"B of 7", "%B", {7}, "TRUE"},
      {"b ignores width and flags", "%-08.3b", {1}, "true"},
      {"y of 5", "%y", {5}, "101"},
      {"y zero padded", "%08y", {5}, "00000101"},
      {"y with prefix", "%#y", {5}, "0y101"},
      {"y prefix inside zero padding", "%#010y", {5}, "0y00000101"},
      {"y blank padded", "%8y", {5}, "     101"},
      {"y blank padded with prefix", "%#10y", {5}, "     0y101"},
      {"y prefix without room", "%#04y", {5}, "0y101"},
      {"Y prefix", "%#Y", {5}, "0Y101"},
      {"y plus", "%+y", {5}, "+101"},
      {"y of 0", "%y", {0}, "0"},
      {"y of all ones", "%y", {0xFFFFFFFFu}, "11111111111111111111111111111111"},
      {"y with h takes 16 bits", "%hy", {0x10005}, "101"},
      {"y width from star", "%*y", {6, 5}, "   101"},
      {"star width 0 is dropped", "%*d", {0, 42}, "42"},
      {"star width negative is dropped", "%*d|%d", {-3, 42, 7}, "42|7"},
      {"star width", "%*d", {5, 42}, "   42"},
      {"unknown letter copied", "%q", {}, "%q"},
      {"unknown letter consumes nothing", "%5q %d", {7}, "%5q 7"},
      {"percent", "100%%", {}, "100%"},
      {"line feed becomes CR LF", "a\nb\n", {}, "a\r\nb\r\n"},
      {"line feed inside an argument stays", "%s", {"x\ny"}, "x\ny"},
      {"l is 32 bits (signed)", "%ld", {0xFFFFFFFFu}, "-1"},
      {"l is 32 bits (wide argument)", "%lu", {uint64_t{0x100000005}}, "5"},
      {"l is 32 bits (hex)", "%08lx", {-1}, "ffffffff"},
      {"h takes the low 16 bits signed", "%hd", {0x18000}, "-32768"},
      {"h takes the low 16 bits unsigned", "%hu", {0x18000}, "32768"},
      {"h hex", "%hx", {0x12345}, "2345"},
      {"p prints the value", "%p", {reinterpret_cast<const int*>(0x1234)}, "1234"},
      {"P in capitals", "%P", {reinterpret_cast<const int*>(0xABC)}, "ABC"},
      {"p of null", "%p", {nullptr}, "0"},
      {"p of an unmapped address is not read", "%08p", {reinterpret_cast<const int*>(0x10)}, "00000010"},
      {"s", "[%s]", {"abc"}, "[abc]"},
      {"s precision", "[%.2s]", {"abc"}, "[ab]"},
      {"s left", "[%-5s]", {"abc"}, "[abc  ]"},
      {"s right", "[%5s]", {"abc"}, "[  abc]"},
      {"s of null", "[%s]", {static_cast<const char*>(nullptr)}, "[(null)]"},
      {"s of a std::string", "[%s]", {kText}, "[text]"},
      {"c", "[%c]", {'A'}, "[A]"},
      {"c padded", "[%3c]", {'A'}, "[  A]"},
      {"c of NUL is left out", "[%c]", {0}, "[]"},
      {"f", "%5.2f", {3.14159}, " 3.14"},
      {"e", "%e", {1.5e12}, "1.500000e+12"},
      {"L f", "%Lf", {2.5}, "2.500000"},
      {"g", "%g", {0.0001}, "0.0001"},
      {"f of an integer", "%.1f", {3}, "3.0"},
      {"missing arguments", "%d %s %y", {}, "0 (null) 0"},
      {"percent at the end", "abc%", {}, "abc%"},
      {"width at the end", "abc%5", {}, "abc%5"},
      {"size at the end", "abc%l", {}, "abc%l"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Format(c.format, c.args), c.expected);
  }
}

TEST(FormatterTest, DirectiveDPrintsInTheCurrentNumberBase) {
  struct Case {
    uint8_t base;
    const char* format;
    const char* expected;
  };
  const Case cases[] = {
      {16, "%D", "ff"},       {2, "%D", "11111111"},          {10, "%D", "255"},
      {16, "%08lD", "000000ff"}, {2, "%#012D", "0y0011111111"}, {10, "%-5D|", "255  |"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " base " + std::to_string(c.base));
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    EXPECT_EQ(Format(c.format, {255}), c.expected);
  }
  SetNumberBase(10);
}

TEST(FormatterTest, RealValueText) {
  const float single = 1.5f;
  const double wide = 1.5;
  const double big = 1.5e12;
  char buffer[64];
  struct Case {
    const char* name;
    const void* value;
    uint32_t typeCode;
    const char* expected;
  };
  const Case cases[] = {
      {"4-byte real", &single, 19, "+1.500000"},
      {"8-byte real", &wide, 20, "+1.50000000000000"},
      {"high bits of the type code are ignored", &single, 19 | 0x40, "+1.500000"},
      {"exponent part", &big, 20, "+1.50000000000000E+12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t length = RealValueToText(c.value, c.typeCode, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, length), c.expected);
    EXPECT_EQ(buffer[length], '\0');
  }
  char small[5];
  EXPECT_EQ(RealValueToText(&wide, 20, small, sizeof small), 4u);
  EXPECT_STREQ(small, "+1.5") << "cut to the buffer";
}

// The integer conversions agree with the host's printf for 32-bit values.
TEST(FormatterTest, IntegerConversionsAgreeWithTheHostPrintf) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  const char conversions[] = {'d', 'i', 'u', 'o', 'x', 'X'};
  const char flags[] = {'-', '+', ' ', '#', '0'};
  for (int round = 0; round < 20000; ++round) {
    std::string directive = "%";
    for (char flag : flags) {
      if (random() % 4 == 0) directive += flag;
    }
    if (random() % 2 == 0) directive += std::to_string(1 + random() % 50);
    if (random() % 3 == 0) directive += "." + std::to_string(random() % 40);
    const char conversion = conversions[random() % 6];
    const uint32_t value = random() % 5 == 0 ? static_cast<uint32_t>(random() % 20) : static_cast<uint32_t>(random());
    const bool useLong = random() % 2 == 0;
    const bool isSigned = conversion == 'd' || conversion == 'i';
#if defined(_WIN32)
    // The Windows C library gives ' ' and '+' a meaning for unsigned conversions too,
    // which the standard does not: it is no reference for those.
    if (!isSigned && directive.find_first_of(" +") != std::string::npos) continue;
#endif
    const std::string ours = directive + (useLong ? "l" : "") + conversion;
    const std::string host = directive + conversion;
    char expected[128];
    if (isSigned) {
      std::snprintf(expected, sizeof expected, host.c_str(), static_cast<int>(static_cast<int32_t>(value)));
    } else {
      std::snprintf(expected, sizeof expected, host.c_str(), static_cast<unsigned>(value));
    }
    ASSERT_EQ(Format(ours.c_str(), {value}), expected) << "format " << ours << " value " << value << " seed " << seed;
  }
}

TEST(FormatterTest, OutputNeverPassesTheBuffer) {
  const std::string longText(600, 'x');
  const char* formats[] = {"%s", "abc%sdef", "%600d", "%#0300y", "%.500s|%s", "\n\n\n%s"};
  for (const char* format : formats) {
    for (std::size_t size = 1; size <= 300; size += 7) {
      SCOPED_TRACE(std::string(format) + " into " + std::to_string(size) + " bytes");
      std::vector<char> buffer(size + 16, '#');
      const FormatArg args[] = {longText, longText};
      const std::size_t length = Formatter::Format(buffer.data(), size, format, args);
      ASSERT_LT(length, size);
      ASSERT_EQ(buffer[length], '\0');
      for (std::size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '#') << "byte " << i << " written";
    }
  }
  char untouched[4] = {'a', 'b', 'c', '\0'};
  EXPECT_EQ(Formatter::Format(untouched, sizeof untouched, nullptr, {}), 0u);
  EXPECT_STREQ(untouched, "abc") << "a null format leaves the buffer alone";
}

TEST(FormatterTest, PrintfWritesAtMost255Characters) {
  std::string captured;
  OutputWriter::Reset();
  OutputWriter::InstallHook([&](char ch) { captured += ch; });
  const std::string longText(400, 'z');
  OutputWriter::Printf("<%s>", longText);
  OutputWriter::PrintValue(0x2a, " %d");
  OutputWriter::PrintHex8(0xbeef);
  OutputWriter::RemoveHook();
  EXPECT_EQ(captured, "<" + std::string(254, 'z') + " 42" + "0000beef");
}

TEST(FormatterTest, BinaryToText) {
  struct Case {
    const char* name;
    uint32_t value;
    int width;
    BinaryPad pad;
    char prefix;
    const char* expected;
  };
  const Case cases[] = {
      {"digits alone", 5, 0, BinaryPad::None, '\0', "101"},
      {"zero", 0, 0, BinaryPad::None, '\0', "0"},
      {"prefix alone", 5, 0, BinaryPad::None, 'y', "0y101"},
      {"zeros", 5, 8, BinaryPad::Zeros, '\0', "00000101"},
      {"zeros with prefix", 5, 10, BinaryPad::Zeros, 'y', "0y00000101"},
      {"zeros with prefix, exact room", 5, 5, BinaryPad::Zeros, 'y', "0y101"},
      {"zeros with prefix, no room", 5, 4, BinaryPad::Zeros, 'y', "0y101"},
      {"blanks", 5, 8, BinaryPad::Blanks, '\0', "     101"},
      {"blanks with prefix", 5, 10, BinaryPad::Blanks, 'Y', "     0Y101"},
      {"digits longer than the width", 255, 4, BinaryPad::Zeros, '\0', "11111111"},
      {"width above the field", 1, 400, BinaryPad::Blanks, '\0', nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[300];
    const std::size_t length = Formatter::BinaryToText(c.value, c.width, c.pad, c.prefix, buffer, sizeof buffer);
    if (c.expected == nullptr) {
      EXPECT_EQ(std::string(buffer, length), std::string(253, ' ') + "1") << "the field holds 254 positions";
    } else {
      EXPECT_EQ(std::string(buffer, length), c.expected);
    }
  }
  const uint32_t seed = 77;
  std::mt19937 random(seed);
  for (int round = 0; round < 2000; ++round) {
    const uint32_t value = static_cast<uint32_t>(random()) >> (random() % 32);
    std::string expected = std::bitset<32>(value).to_string();
    expected.erase(0, std::min(expected.find('1'), expected.size() - 1));
    char buffer[64];
    const std::size_t length = Formatter::BinaryToText(value, 0, BinaryPad::None, '\0', buffer, sizeof buffer);
    ASSERT_EQ(std::string(buffer, length), expected) << "value " << value << " seed " << seed;
  }
  char small[4];
  EXPECT_EQ(Formatter::BinaryToText(0xFF, 0, BinaryPad::None, '\0', small, sizeof small), 3u);
  EXPECT_STREQ(small, "111");
}

// The digits the views put down without a format agree with the format they stand for,
// across widths (none, short of the digits, beyond them) and buffers that cut them.
TEST(FormatterTest, UnsignedToTextIsTheFormatsText) {
  const uint32_t seed = 99;
  std::mt19937 random(seed);
  struct Radix {
    unsigned radix;
    const char* format;
  };
  const Radix radixes[] = {{16, "%0*lx"}, {8, "%0*lo"}, {10, "%*lu"}};
  for (int round = 0; round < 6000; ++round) {
    const uint32_t value = static_cast<uint32_t>(random()) >> (random() % 33 % 32);
    const Radix& r = radixes[round % 3];
    const int width = static_cast<int>(random() % 42) - 2;
    const std::size_t size = round % 7 == 0 ? 1 + random() % 12 : 80;
    char expected[80];
    char shown[80];
    const std::size_t expectedLength = Formatter::FormatToBuffer(expected, size, r.format, width < 0 ? 0 : width, value);
    const std::size_t length = Formatter::UnsignedToText(value, r.radix, width, shown, size);
    ASSERT_EQ(std::string(shown, length), std::string(expected, expectedLength))
        << r.format << " width " << width << " value " << value << " size " << size << " seed " << seed;
    ASSERT_EQ(shown[length], '\0');
  }
}

TEST(FormatterTest, NumberToTextAgreesWithNativeConversion) {
  const uint32_t seed = 4242;
  std::mt19937_64 random(seed);
  struct Radix {
    uint16_t radix;
    std::size_t fullWidth;
  };
  const Radix radixes[] = {{2, 64}, {8, 22}, {10, 20}, {16, 16}};
  for (int round = 0; round < 4000; ++round) {
    const uint64_t value = random() >> (random() % 64);
    const uint32_t words[2] = {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
    const Radix& r = radixes[round % 4];
    char digits[80];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, r.radix).ptr;
    std::string expected(digits, end);
    ASSERT_EQ(NumberToText(words, r.radix, false, 8), expected) << value << " radix " << r.radix << " seed " << seed;
    expected.insert(0, r.fullWidth - expected.size(), '0');
    ASSERT_EQ(NumberToText(words, r.radix, true, 4), expected) << value << " radix " << r.radix << " seed " << seed;
  }
  const uint32_t wide[4] = {0x33333333, 0x22222222, 0x11111111, 0xAABBCCDD};
  EXPECT_EQ(NumberToText(wide, 10, false, 12), "111111112222222233333333");
  EXPECT_EQ(NumberToText(wide, 10, false, 16), "aabbccdd111111112222222233333333");
  const uint32_t one[1] = {0xff};
  EXPECT_EQ(NumberToText(one, 7, false, 4), "ff") << "an unknown radix is hexadecimal";
  EXPECT_EQ(NumberToText(one, 0, false, 4), "ff");
  EXPECT_EQ(NumberToText(one, 16, false, 16), "000000000000000000000000000000ff") << "missing words read as 0";
}

}  // namespace
}  // namespace zentor
