#include "support/rw_regex.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

constexpr const char* kBadRe = "[BADRE] Attempt to use invalid regular expression";

RWCString Bytes(const std::string& text) { return RWCString(text.data(), static_cast<uint32_t>(text.size())); }

TEST(RWCRegexpMatch, TableOfPatternsAndTexts) {
  struct Case {
    const char* name;
    std::string pattern;
    std::string text;
    uint32_t start;
    uint32_t position;  // RW_NPOS: no match
    uint32_t length;
  };
  const std::vector<Case> cases = {
      {"star then literal", "a*b", "xaab", 0, 1, 3},
      {"star at the end", "ab*", "a", 0, 0, 1},
      {"anchored at the start position", "^ab", "xxab", 2, 2, 2},
      {"anchored misses", "^ab", "xxab", 0, RW_NPOS, 0},
      {"anchor is only the search start", "^b", "ab", 0, RW_NPOS, 0},
      {"end of text", "x$", "xax", 0, 2, 1},
      {"end alone", "$", "abc", 0, 3, 0},
      {"dollar inside is literal", "a$b", "xa$b", 0, 1, 3},
      {"caret later is literal", "a^", "ba^", 0, 1, 2},
      {"negated range", "[^a-c]", "abd", 0, 2, 1},
      {"negated range matches NUL", "[^a-c]", std::string("ab\0", 3), 0, 2, 1},
      {"reversed range", "[c-a]", "xxb", 0, 2, 1},
      {"dot needs a character", "a.", "a", 0, RW_NPOS, 0},
      {"dot skips newline", "a.", "a\nab", 0, 2, 2},
      {"optional keeps what it took", "a?a", "a", 0, RW_NPOS, 0},
      {"optional then literal", "a?a", "aa", 0, 0, 2},
      {"optional absent", "xa?y", "xy", 0, 0, 2},
      {"plus needs one", "ab+", "a ac", 0, RW_NPOS, 0},
      {"plus takes all", "ab+", "abbbc", 0, 0, 4},
      {"star backtracks", "a.*b", "a1b2b3", 0, 0, 5},
      {"star backtracks to zero", "a.*b", "ab", 0, 0, 2},
      {"plus backtracks not below one", "a.+b", "ab", 0, RW_NPOS, 0},
      {"class with escape", "[\\]]+", "x]]y", 0, 1, 2},
      {"class dash at the end is literal", "[a-]+", "x-a-", 0, 1, 3},
      {"escaped dot", "a\\.b", "axb a.b", 0, 4, 3},
      {"escaped newline", "a\\nb", "a\nb", 0, 0, 3},
      {"hex escape", "\\x41+", "zAAz", 0, 1, 2},
      {"octal escape", "\\101", "xA", 0, 1, 1},
      {"control escape", "\\^A", "x\x01", 0, 1, 1},
      {"blank escape", "a\\sb", "a b", 0, 0, 3},
      {"trailing backslash", "a\\", "xa\\", 0, 1, 2},
      {"start past the first match", "ab", "abab", 1, 2, 2},
      {"start beyond the text", "a*", "abc", 4, RW_NPOS, 0},
      {"start at the end", "a*", "abc", 3, 3, 0},
      {"empty match at the start", "z*", "abc", 0, 0, 0},
      {"literal high byte", "\xE9+", "a\xE9\xE9", 0, 1, 2},
      {"embedded NUL in text", "b", std::string("a\0b", 3), 0, 2, 1},
      {"star on class", "[0-9]*x", "12345y12x", 0, 6, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCRegexp re(c.pattern.c_str());
    ASSERT_EQ(re.status(), RWCRegexp::kOk);
    RWCString text = Bytes(c.text);
    uint32_t length = 99;
    EXPECT_EQ(re.index(text, &length, c.start), c.position);
    EXPECT_EQ(length, c.length);
    // The string's own operations give the same answer.
    EXPECT_EQ(text.index(re, c.start), c.position);
    uint32_t viaString = 99;
    EXPECT_EQ(text.index(re, &viaString, c.start), c.position);
    EXPECT_EQ(viaString, c.length);
    RWCSubString found = text(re, c.start);
    EXPECT_EQ(found.isNull(), c.position == RW_NPOS);
    if (!found.isNull()) {
      EXPECT_EQ(found.start(), c.position);
      EXPECT_EQ(found.length(), c.length);
    }
  }
}

TEST(RWCRegexpCompile, StatusOfInvalidPatternsAndUseRaisesBadRe) {
  struct Case {
    const char* name;
    std::string pattern;
    RWCRegexp::statVal status;
  };
  const std::vector<Case> cases = {
      {"empty", "", RWCRegexp::kIllegal},
      {"leading star", "*a", RWCRegexp::kIllegal},
      {"leading plus", "+a", RWCRegexp::kIllegal},
      {"leading question", "?a", RWCRegexp::kIllegal},
      {"double closure", "a**", RWCRegexp::kTooLong},
      {"closure on beginning", "^*", RWCRegexp::kTooLong},
      {"closure after optional", "a?+", RWCRegexp::kTooLong},
      {"unclosed class", "[abc", RWCRegexp::kTooLong},
      {"class ending in backslash", "[a\\", RWCRegexp::kTooLong},
      {"127 codes fit", std::string(127, 'a'), RWCRegexp::kOk},
      {"128 codes do not", std::string(128, 'a'), RWCRegexp::kTooLong},
      {"class as codes 110 to 126", std::string(110, 'a') + "[x]", RWCRegexp::kOk},
      {"class one code later", std::string(111, 'a') + "[x]", RWCRegexp::kTooLong},
      {"closure as the 127th code", std::string(126, 'a') + "*", RWCRegexp::kOk},
      {"closure as the 128th code", std::string(127, 'a') + "*", RWCRegexp::kTooLong},
  };
  RWCString text("aaa");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCRegexp re(c.pattern.c_str());
    RWCRegexp copy(re);
    EXPECT_EQ(re.status(), c.status);
    EXPECT_EQ(re.status(), RWCRegexp::kOk);  // reading the status resets it
    std::string expected = c.status == RWCRegexp::kOk ? "" : kBadRe;
    EXPECT_EQ(RWErrorTextOf([&] { re.index(text); }), expected);
    EXPECT_EQ(RWErrorTextOf([&] { copy.index(text); }), expected);
    EXPECT_EQ(RWErrorTextOf([&] { text.index(copy); }), expected);
  }
}

TEST(RWCRegexpCompile, ProgramCodes) {
  struct Case {
    const char* name;
    const char* pattern;
    std::vector<uint16_t> codes;
  };
  const std::vector<Case> cases = {
      {"hex escape", "\\x41", {0x41, RWCRegexp::kEnd}},
      {"octal escape", "\\101", {0x41, RWCRegexp::kEnd}},
      {"control escape", "\\^A", {0x01, RWCRegexp::kEnd}},
      {"lower-case control escape", "\\^a", {0x01, RWCRegexp::kEnd}},
      {"hex without digits", "\\xg", {0x00, 'g', RWCRegexp::kEnd}},
      {"octal wraps", "\\777", {0xFF, RWCRegexp::kEnd}},
      {"named escapes", "\\b\\E\\f\\N\\r\\S\\t", {8, 0x1B, 0x0C, 0x0A, 0x0D, 0x20, 9, RWCRegexp::kEnd}},
      {"other escapes stand for themselves", "\\.\\[\\q", {'.', '[', 'q', RWCRegexp::kEnd}},
      {"anchors and any", "^.$", {RWCRegexp::kBeginning, RWCRegexp::kAny, RWCRegexp::kEndOfText, RWCRegexp::kEnd}},
      {"closures in front", "a*b+c?",
       {RWCRegexp::kStar, 'a', RWCRegexp::kPlus, 'b', RWCRegexp::kOptional, 'c', RWCRegexp::kEnd}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCRegexp re(c.pattern);
    ASSERT_EQ(re.status(), RWCRegexp::kOk);
    std::vector<uint16_t> codes(re.program(), re.program() + c.codes.size());
    EXPECT_EQ(codes, c.codes);
  }

  // A class is its code and a 256-bit set: character c is bit (c & 15) of word c >> 4.
  RWCRegexp range("[c-a]*");
  const uint16_t* program = range.program();
  EXPECT_EQ(program[0], RWCRegexp::kStar);
  EXPECT_EQ(program[1], RWCRegexp::kClass);
  for (int word = 0; word < 16; ++word) {
    uint16_t expected = word == 6 ? 0x000E : 0;  // 'a'..'c' are 0x61..0x63
    EXPECT_EQ(program[2 + word], expected) << "word " << word;
  }
  EXPECT_EQ(program[18], RWCRegexp::kEnd);
  RWCRegexp negated("[^\\x00-\\xfe]");
  for (int word = 0; word < 16; ++word) {
    EXPECT_EQ(negated.program()[1 + word], word == 15 ? 0x8000 : 0) << "word " << word;
  }
}

TEST(RWCRegexpCompile, AssignmentRecompiles) {
  RWCRegexp re("a+");
  RWCString text("xxbbaa");
  re = "b+";
  EXPECT_EQ(text.index(re), 2u);
  re = RWCString("*bad");
  EXPECT_EQ(re.status(), RWCRegexp::kIllegal);
  EXPECT_EQ(RWErrorTextOf([&] { text.index(re); }), kBadRe);
  RWCRegexp good("a+");
  re = good;
  EXPECT_EQ(text.index(re), 4u);
  re = re;
  EXPECT_EQ(text.index(re), 4u);
}

// Random patterns without "?" (the one place where this matcher differs from a
// backtracking ECMAScript matcher) against std::regex: the first position and the
// length of the first successful match must agree.
TEST(RWCRegexpMatch, RandomPatternsAgainstStdRegex) {
  const uint32_t seed = 1234567;
  std::mt19937 random(seed);
  const char* elements[] = {"a", "b", ".", "[ab]", "[^a]", "[a-c]", "c"};
  const char textAlphabet[] = {'a', 'b', 'c', 'd', '\n'};
  for (int round = 0; round < 1500; ++round) {
    std::string pattern;
    if (random() % 5 == 0) pattern += "^";
    int count = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < count; ++e) {
      pattern += elements[random() % 7];
      int closure = static_cast<int>(random() % 4);
      if (closure == 1) pattern += "*";
      if (closure == 2) pattern += "+";
    }
    if (random() % 5 == 0) pattern += "$";
    std::string text(random() % 10, ' ');
    for (char& c : text) c = textAlphabet[random() % 5];
    uint32_t start = static_cast<uint32_t>(random() % (text.size() + 1));
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + " pattern " + pattern +
                 " start " + std::to_string(start));

    RWCRegexp re(pattern.c_str());
    ASSERT_EQ(re.status(), RWCRegexp::kOk);
    uint32_t length = 0;
    uint32_t position = re.index(RWCString(text.c_str()), &length, start);

    std::regex reference(pattern, std::regex::ECMAScript);
    std::smatch match;
    std::string rest = text.substr(start);
    if (std::regex_search(rest, match, reference)) {
      ASSERT_EQ(position, start + static_cast<uint32_t>(match.position(0)));
      ASSERT_EQ(length, static_cast<uint32_t>(match.length(0)));
    } else {
      ASSERT_EQ(position, RW_NPOS);
    }
  }
}

}  // namespace
}  // namespace zentor
