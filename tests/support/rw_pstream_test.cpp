#include "support/rw_pstream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

namespace zentor {
namespace {

TEST(RWpstream, EveryCharacterRoundTripsAndPrintableOnesStayReadable) {
  std::ostringstream text;
  RWpostream out(text);
  for (int c = 0; c < 256; ++c) out << static_cast<unsigned char>(c);
  out << 'A' << static_cast<char>(' ') << static_cast<char>('\\') << static_cast<signed char>(-1);
  ASSERT_TRUE(out.good());
  const std::string written = text.str();
  EXPECT_NE(written.find("A \\040 \\134 \\377 "), std::string::npos);
  EXPECT_NE(written.find("\\012 "), std::string::npos);  // a newline

  std::istringstream in(written);
  RWpistream stream(in);
  for (int c = 0; c < 256; ++c) {
    unsigned char value = 0;
    stream >> value;
    ASSERT_TRUE(stream.good()) << c;
    ASSERT_EQ(value, c);
  }
  char a = 0, space = 0, backslash = 0;
  signed char minusOne = 0;
  stream >> a >> space >> backslash >> minusOne;
  EXPECT_EQ(a, 'A');
  EXPECT_EQ(space, ' ');
  EXPECT_EQ(backslash, '\\');
  EXPECT_EQ(minusOne, -1);
  EXPECT_TRUE(stream.good());
  stream >> a;
  EXPECT_TRUE(stream.eof());
  EXPECT_TRUE(stream.fail());
}

TEST(RWpstream, IntegersRoundTripAgainstNativeValues) {
  const uint32_t seed = 5150;
  std::mt19937_64 random(seed);
  std::stringstream text;
  RWpostream out(text);
  struct Values {
    short s;
    unsigned short us;
    int i;
    unsigned int ui;
    long l;
    unsigned long ul;
  };
  std::vector<Values> written;
  written.push_back({SHRT_MIN, 0, INT_MIN, 0, LONG_MIN, 0});
  written.push_back({SHRT_MAX, USHRT_MAX, INT_MAX, UINT_MAX, LONG_MAX, ULONG_MAX});
  written.push_back({0, 1, -1, 1, -1, 1});
  for (int k = 0; k < 500; ++k) {
    uint64_t r = random();
    written.push_back({static_cast<short>(r), static_cast<unsigned short>(r >> 7), static_cast<int>(r >> 3),
                       static_cast<unsigned int>(r >> 11), static_cast<long>(r), static_cast<unsigned long>(r >> 1)});
  }
  for (const Values& v : written) out << v.s << v.us << v.i << v.ui << v.l << v.ul;
  RWpistream in(text);
  for (size_t k = 0; k < written.size(); ++k) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " value " + std::to_string(k));
    Values v{};
    in >> v.s >> v.us >> v.i >> v.ui >> v.l >> v.ul;
    ASSERT_TRUE(in.good());
    EXPECT_EQ(v.s, written[k].s);
    EXPECT_EQ(v.us, written[k].us);
    EXPECT_EQ(v.i, written[k].i);
    EXPECT_EQ(v.ui, written[k].ui);
    EXPECT_EQ(v.l, written[k].l);
    EXPECT_EQ(v.ul, written[k].ul);
  }
}

TEST(RWpstream, MalformedInputFailsAndLeavesTheTargetAlone) {
  struct Case {
    const char* name;
    const char* text;
    bool (*read)(RWpistream&);
  };
  const Case cases[] = {
      {"unsigned short too big", "65536", [](RWpistream& s) { unsigned short v = 7; s >> v; return v == 7; }},
      {"short too small", "-32769", [](RWpistream& s) { short v = 7; s >> v; return v == 7; }},
      {"int too big", "2147483648", [](RWpistream& s) { int v = 7; s >> v; return v == 7; }},
      {"unsigned int too big", "4294967296", [](RWpistream& s) { unsigned v = 7; s >> v; return v == 7; }},
      {"negative unsigned", "-1", [](RWpistream& s) { unsigned v = 7; s >> v; return v == 7; }},
      {"lone minus", "- 1", [](RWpistream& s) { int v = 7; s >> v; return v == 7; }},
      {"not a number", "abc", [](RWpistream& s) { long v = 7; s >> v; return v == 7; }},
      {"escape not octal", "\\08", [](RWpistream& s) { char v = 7; s >> v; return v == 7; }},
      {"escape beyond a byte", "\\400", [](RWpistream& s) { char v = 7; s >> v; return v == 7; }},
      {"escape cut short", "\\01", [](RWpistream& s) { char v = 7; s >> v; return v == 7; }},
      {"only spaces", "  \n ", [](RWpistream& s) { int v = 7; s >> v; return v == 7; }},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    std::istringstream text(testCase.text);
    RWpistream stream(text);
    EXPECT_TRUE(testCase.read(stream));
    EXPECT_TRUE(stream.fail());
  }
  std::istringstream text("-2147483648 32767");
  RWpistream stream(text);
  int smallest = 0;
  short largest = 0;
  stream >> smallest >> largest;
  EXPECT_EQ(smallest, INT_MIN);
  EXPECT_EQ(largest, SHRT_MAX);
  EXPECT_FALSE(stream.fail());
}

}  // namespace
}  // namespace zentor
