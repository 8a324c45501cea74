#include "support/rw_tokenizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace zentor {
namespace {

std::vector<std::string> AllTokens(RWCTokenizer& next, const char* delimiters) {
  std::vector<std::string> tokens;
  for (;;) {
    RWCSubString token = delimiters ? next(delimiters) : next();
    if (token.isNull()) break;
    tokens.push_back(std::string(RWCString(token).data(), token.length()));
    if (tokens.size() > 1000) break;  // a tokenizer that never ends
  }
  return tokens;
}

// Reference split: runs of characters that are neither delimiters nor NUL.
std::vector<std::string> Split(const std::string& text, const std::string& delimiters) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (c == '\0' || delimiters.find(c) != std::string::npos) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

TEST(RWCTokenizer, TableOfTextsAndDelimiters) {
  struct Case {
    const char* name;
    std::string text;
    const char* delimiters;  // null: the default blank, tab, newline
    std::vector<std::string> tokens;
  };
  const std::vector<Case> cases = {
      {"default delimiters", "  one two\tthree\n", nullptr, {"one", "two", "three"}},
      {"no tokens", " \t\n ", nullptr, {}},
      {"empty text", "", nullptr, {}},
      {"no delimiters in text", "single", nullptr, {"single"}},
      {"own delimiters", "a;b;;c;", ";", {"a", "b", "c"}},
      {"several delimiters", "path/to\\file.ext", "/\\.", {"path", "to", "file", "ext"}},
      {"blank is not a delimiter here", "a b,c", ",", {"a b", "c"}},
      {"embedded NUL separates", std::string("ab\0cd", 5), nullptr, {"ab", "cd"}},
      {"leading NUL", std::string("\0\0x", 3), nullptr, {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCTokenizer next(RWCString(c.text.data(), static_cast<uint32_t>(c.text.size())));
    EXPECT_EQ(AllTokens(next, c.delimiters), c.tokens);
    // Once used up it keeps returning the null substring.
    EXPECT_TRUE(next().isNull());
    EXPECT_EQ(next().start(), RW_NPOS);
  }
}

TEST(RWCTokenizer, RandomTextsAgainstReferenceSplit) {
  const uint32_t seed = 5150;
  std::mt19937 random(seed);
  const char alphabet[] = {'a', 'b', ' ', ',', '\t', '\n', '\0', 'z'};
  for (int round = 0; round < 1000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    std::string text(random() % 30, ' ');
    for (char& c : text) c = alphabet[random() % 8];
    bool commas = random() % 2 != 0;
    RWCTokenizer next(RWCString(text.data(), static_cast<uint32_t>(text.size())));
    ASSERT_EQ(AllTokens(next, commas ? ", " : nullptr), Split(text, commas ? ", " : " \t\n"));
  }
}

TEST(RWCTokenizer, TokensOutliveChangesToTheSourceString) {
  RWCString source("alpha beta");
  RWCTokenizer next(source);
  RWCSubString first = next();
  source = "changed completely";
  EXPECT_TRUE(first == "alpha");
  first = "ALPHA";  // writes into the tokenizer's own copy
  EXPECT_TRUE(next() == "beta");
  EXPECT_TRUE(next().isNull());
  EXPECT_EQ(std::string(source.data()), "changed completely");
}

}  // namespace
}  // namespace zentor
