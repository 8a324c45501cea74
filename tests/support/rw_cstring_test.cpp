#include "support/rw_cstring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

std::string Text(const RWCString& s) { return std::string(s.data(), s.length()); }
std::string Text(const RWCSubString& s) { return s.isNull() ? std::string() : Text(RWCString(s)); }

// Capacities a growing string steps through: 15, 31, 47, ...
uint32_t RoundedCapacity(uint32_t n) {
  uint32_t capacity = 15;
  while (capacity < n) capacity += 16;
  return capacity;
}

const char* NullData() {
  static RWCString empty;
  return empty.data();
}

// ---------------------------------------------------------------------------------
// Random edit sequences against std::string, with a model of which strings share a
// body and what capacity each body has. The model decides independently whether an
// edit happens in place (same data pointer, same capacity) or builds a new body.

class SharingModel {
 public:
  static constexpr int kStrings = 4;

  explicit SharingModel(uint32_t seed) : m_random(seed), m_strings(kStrings), m_texts(kStrings), m_bodyOf(kStrings, 0) {}

  void Run(int steps) {
    for (int step = 0; step < steps; ++step) {
      m_step = step;
      Step();
      Verify();
      if (::testing::Test::HasFailure()) return;
    }
  }

 private:
  struct Body {
    int owners;
    uint32_t capacity;
  };

  uint32_t Below(uint32_t n) { return n == 0 ? 0 : std::uniform_int_distribution<uint32_t>(0, n - 1)(m_random); }
  uint32_t UpTo(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n)(m_random); }

  // Texts for the counted forms may hold NULs and high bytes.
  std::string RandomBytes(uint32_t maxLength, bool allowNul) {
    static const char kAlphabet[] = {'a', 'b', 'C', 'z', ' ', '\xE9', '\x80', '\0'};
    uint32_t length = UpTo(maxLength);
    std::string text;
    for (uint32_t i = 0; i < length; ++i) {
      char c = kAlphabet[Below(allowNul ? 8 : 7)];
      text.push_back(c);
    }
    return text;
  }

  uint32_t Length(int i) const { return static_cast<uint32_t>(m_texts[i].size()); }
  bool Sole(int i) const { return m_bodyOf[i] != 0 && m_bodies.at(m_bodyOf[i]).owners == 1; }
  uint32_t Capacity(int i) const { return m_bodyOf[i] == 0 ? 0 : m_bodies.at(m_bodyOf[i]).capacity; }

  void Release(int i) {
    int body = m_bodyOf[i];
    if (body != 0 && --m_bodies[body].owners == 0) m_bodies.erase(body);
    m_bodyOf[i] = 0;
  }

  void NewBody(int i, uint32_t capacity) {
    Release(i);
    if (capacity == 0) return;  // the shared null body
    m_bodyOf[i] = m_nextBody;
    m_bodies[m_nextBody++] = Body{1, capacity};
  }

  void Share(int i, int j) {
    if (i == j) return;
    int body = m_bodyOf[j];
    if (body != 0) ++m_bodies[body].owners;
    Release(i);
    m_bodyOf[i] = body;
  }

  // A general edit of string i: replace oldCount characters at pos by newCount.
  // `bufferInside` tells whether the new characters come from i's own body.
  void ExpectReplace(int i, uint32_t pos, uint32_t oldCount, uint32_t newCount, bool bufferInside) {
    uint32_t total = Length(i) - oldCount + newCount;
    bool inPlace = Sole(i) && Capacity(i) >= total && Capacity(i) - total <= 15 && !bufferInside;
    m_expectInPlace = inPlace;
    if (!inPlace) NewBody(i, RoundedCapacity(total));
  }

  void ExpectCow(int i) {
    if (Sole(i)) {
      m_expectInPlace = true;
    } else {
      m_expectInPlace = false;
      NewBody(i, Length(i));
    }
  }

  void Step() {
    int i = static_cast<int>(Below(kStrings));
    int j = static_cast<int>(Below(kStrings));
    m_operation = Below(17);
    m_target = i;
    m_before = m_strings[i].data();
    m_expectInPlace = false;
    m_checkPointer = true;
    RWCString& s = m_strings[i];
    std::string& t = m_texts[i];
    uint32_t len = Length(i);
    switch (m_operation) {
      case 0: {  // copy
        s = m_strings[j];
        t = m_texts[j];
        Share(i, j);
        m_checkPointer = false;
        break;
      }
      case 1: {  // append a counted buffer
        std::string add = RandomBytes(20, true);
        ExpectReplace(i, len, 0, static_cast<uint32_t>(add.size()), false);
        s.append(add.data(), static_cast<uint32_t>(add.size()));
        t += add;
        break;
      }
      case 2: {  // prepend a NUL-terminated text
        std::string add = RandomBytes(20, false);
        ExpectReplace(i, 0, 0, static_cast<uint32_t>(add.size()), false);
        s.prepend(add.c_str());
        t.insert(0, add);
        break;
      }
      case 3: {  // insert a string
        RWCString add(RandomBytes(20, true).c_str());
        uint32_t pos = UpTo(len);
        ExpectReplace(i, pos, 0, add.length(), false);
        s.insert(pos, add);
        t.insert(pos, Text(add));
        break;
      }
      case 4: {  // remove a stretch
        uint32_t pos = UpTo(len);
        uint32_t count = UpTo(len - pos + 3);  // may reach past the end: clamped
        uint32_t removed = std::min(count, len - pos);
        ExpectReplace(i, pos, removed, 0, false);
        s.remove(pos, count);
        t.erase(pos, removed);
        break;
      }
      case 5: {  // replace a stretch with a counted buffer
        std::string add = RandomBytes(24, true);
        uint32_t pos = UpTo(len);
        uint32_t count = UpTo(len - pos);
        ExpectReplace(i, pos, count, static_cast<uint32_t>(add.size()), false);
        s.replace(pos, count, add.data(), static_cast<uint32_t>(add.size()));
        t.replace(pos, count, add);
        break;
      }
      case 6: {  // assign a NUL-terminated text
        std::string add = RandomBytes(30, false);
        if (add.empty()) {
          m_expectInPlace = Sole(i);  // a sole owner keeps its body and capacity
          if (!Sole(i)) NewBody(i, 0);
        } else {
          ExpectReplace(i, 0, len, static_cast<uint32_t>(add.size()), false);
        }
        s = add.c_str();
        t = add;
        break;
      }
      case 7: {  // append from a string that may share the body, or from itself
        const RWCString& source = m_strings[j];
        std::string sourceText = m_texts[j];
        uint32_t from = UpTo(Length(j));
        uint32_t count = UpTo(Length(j) - from);
        bool inside = m_bodyOf[j] == m_bodyOf[i] && m_bodyOf[i] != 0 && from < len;
        ExpectReplace(i, len, 0, count, inside);
        s.append(source.data() + from, count);
        t += sourceText.substr(from, count);
        break;
      }
      case 8: {  // append the string to itself
        bool inside = len > 0;
        ExpectReplace(i, len, 0, len, inside);
        s.append(s);
        t += std::string(t);
        break;
      }
      case 9: {  // append copies of a character
        uint32_t count = UpTo(20);
        uint32_t total = len + count;
        if (!Sole(i) || Capacity(i) < total) {
          m_expectInPlace = false;
          NewBody(i, total);
        } else {
          m_expectInPlace = true;
        }
        s.append('x', count);
        t.append(count, 'x');
        break;
      }
      case 10: {  // prepend copies of a character
        uint32_t count = UpTo(5);
        uint32_t total = len + count;
        if (count == 0 || (Sole(i) && Capacity(i) >= total)) {
          m_expectInPlace = true;
          if (count == 0) m_checkPointer = true;
        } else {
          m_expectInPlace = false;
          NewBody(i, RoundedCapacity(total));
        }
        s.prepend('p', count);
        t.insert(0, count, 'p');
        break;
      }
      case 11: {  // resize
        uint32_t n = UpTo(len + 20);
        if (len > n) {
          ExpectReplace(i, n, len - n, 0, false);
        } else if (!Sole(i) || Capacity(i) < n) {
          m_expectInPlace = false;
          NewBody(i, n);
        } else {
          m_expectInPlace = true;
        }
        s.resize(n);
        t.resize(n, ' ');
        break;
      }
      case 12: {  // write through checked and unchecked access
        if (len == 0) {
          m_checkPointer = false;
          break;
        }
        uint32_t k = Below(len);
        ExpectCow(i);
        if (Below(2)) {
          s[k] = 'W';
        } else {
          s(k) = 'W';
        }
        t[k] = 'W';
        break;
      }
      case 13: {  // set the capacity
        uint32_t n = UpTo(len + 40);
        if (n > len && n != Capacity(i)) {
          m_expectInPlace = false;
          NewBody(i, n);
        } else {
          m_expectInPlace = true;
        }
        EXPECT_EQ(s.capacity(n), Capacity(i));
        break;
      }
      case 14: {  // case conversion
        ExpectCow(i);
        if (Below(2)) {
          s.toUpper();
          for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else {
          s.toLower();
          for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        break;
      }
      case 16: {  // append one character with +=, which grows like replace
        ExpectReplace(i, len, 0, 1, false);
        s += '+';
        t += '+';
        break;
      }
      case 15: {  // assign through a substring
        std::string add = RandomBytes(10, false);
        uint32_t pos = UpTo(len);
        uint32_t count = UpTo(len - pos);
        ExpectReplace(i, pos, count, static_cast<uint32_t>(add.size()), false);
        s(pos, count) = add.c_str();
        t.replace(pos, count, add);
        break;
      }
    }
  }

  void Verify() {
    SCOPED_TRACE("seed " + std::to_string(m_seed) + " step " + std::to_string(m_step) + " operation " +
                 std::to_string(m_operation) + " on string " + std::to_string(m_target));
    for (int v = 0; v < kStrings; ++v) {
      const RWCString& s = m_strings[v];
      ASSERT_EQ(Text(s), m_texts[v]) << "string " << v;
      ASSERT_EQ(s.data()[s.length()], '\0') << "string " << v;
      ASSERT_EQ(s.capacity(), Capacity(v)) << "string " << v;
      ASSERT_EQ(s.isNull(), m_texts[v].empty());
      if (m_bodyOf[v] == 0) {
        ASSERT_EQ(s.data(), NullData()) << "string " << v << " should share the null body";
      }
      for (int w = v + 1; w < kStrings; ++w) {
        ASSERT_EQ(m_bodyOf[v] == m_bodyOf[w], s.data() == m_strings[w].data()) << "strings " << v << " and " << w;
      }
    }
    if (m_checkPointer) {
      if (m_expectInPlace) {
        ASSERT_EQ(m_strings[m_target].data(), m_before) << "edit should have been made in place";
      } else if (m_bodyOf[m_target] != 0) {
        ASSERT_NE(m_strings[m_target].data(), m_before) << "edit should have built a new body";
      }
    }
  }

  std::mt19937 m_random;
  uint32_t m_seed = 0;
  std::vector<RWCString> m_strings;
  std::vector<std::string> m_texts;
  std::vector<int> m_bodyOf;
  std::map<int, Body> m_bodies;
  int m_nextBody = 1;
  int m_step = 0;
  uint32_t m_operation = 0;
  int m_target = 0;
  const char* m_before = nullptr;
  bool m_expectInPlace = false;
  bool m_checkPointer = false;

 public:
  void SetSeed(uint32_t seed) { m_seed = seed; }
};

TEST(RWCStringEdits, RandomEditSequencesMatchStdStringAndCopyOnWrite) {
  for (uint32_t seed : {20240601u, 7u, 99991u}) {
    SharingModel model(seed);
    model.SetSeed(seed);
    model.Run(4000);
    if (HasFailure()) return;
  }
}

// ---------------------------------------------------------------------------------
// Construction

TEST(RWCStringConstruction, CapacityAndContentOfEachConstructor) {
  struct Case {
    const char* name;
    std::function<RWCString()> make;
    std::string text;
    uint32_t capacity;
  };
  RWCString source("0123456789");
  const std::vector<Case> cases = {
      {"default", [] { return RWCString(); }, "", 0},
      {"capacity 0", [] { return RWCString(RWSize_T(0)); }, "", 0},
      {"capacity 40", [] { return RWCString(RWSize_T(40)); }, "", 40},
      {"empty text", [] { return RWCString(""); }, "", 0},
      {"null text", [] { return RWCString(static_cast<const char*>(nullptr)); }, "", 0},
      {"text of 20", [] { return RWCString("abcdefghijklmnopqrst"); }, "abcdefghijklmnopqrst", 20},
      {"buffer with NULs", [] { return RWCString("a\0b\0", 4); }, std::string("a\0b\0", 4), 4},
      {"zero count", [] { return RWCString("abc", 0); }, "", 0},
      {"one character", [] { return RWCString('q'); }, "q", 15},
      {"character count", [] { return RWCString('z', 3); }, "zzz", 3},
      {"character count 0", [] { return RWCString('z', 0); }, "", 0},
      {"substring", [&] { return RWCString(source(2, 5)); }, "23456", 15},
      {"long substring", [] { return RWCString(RWCString(std::string(40, 'k').c_str())(1, 33)); },
       std::string(33, 'k'), 47},
      {"null substring", [&] { return RWCString(source.subString("x")); }, "", 15},
      {"concatenation", [] { return RWCString("abc") + "defg"; }, "abcdefg", 15},
      {"text plus string", [] { return "0123456789" + RWCString("0123456789"); }, "01234567890123456789", 31},
      {"string plus string", [] { return RWCString("ab") + RWCString(""); }, "ab", 15},
      {"string plus null text", [] { return RWCString("ab") + static_cast<const char*>(nullptr); }, "ab", 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCString s = c.make();
    EXPECT_EQ(Text(s), c.text);
    EXPECT_EQ(s.capacity(), c.capacity);
    EXPECT_EQ(s.data()[s.length()], '\0');
    if (c.capacity == 0) {
      EXPECT_EQ(s.data(), NullData());
    }
  }
}

TEST(RWCStringConstruction, GrowthAndAssignmentRules) {
  RWCString twenty("abcdefghijklmnopqrst");
  twenty.append("u");
  EXPECT_EQ(twenty.capacity(), 31u);
  EXPECT_EQ(Text(twenty), "abcdefghijklmnopqrstu");

  // Appending one character at a time re-allocates once per 16 characters.
  RWCString grown;
  std::vector<uint32_t> capacities;
  for (int k = 0; k < 80; ++k) {
    grown.append("x");
    if (capacities.empty() || capacities.back() != grown.capacity()) capacities.push_back(grown.capacity());
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{15, 31, 47, 63, 79, 95}));

  // Assigning "" to a sole owner keeps the body; to a shared one gives the null body.
  RWCString sole("some text here, long enough");
  uint32_t capacity = sole.capacity();
  const char* before = sole.data();
  sole = "";
  EXPECT_EQ(sole.capacity(), capacity);
  EXPECT_EQ(sole.data(), before);
  EXPECT_STREQ(sole.data(), "");
  RWCString shared("shared");
  RWCString other(shared);
  shared = "";
  EXPECT_EQ(shared.data(), NullData());
  EXPECT_EQ(Text(other), "shared");

  // Self-assignment and assignment of a copy keep the text.
  RWCString self("self");
  const RWCString& alias = self;
  self = alias;
  EXPECT_EQ(Text(self), "self");
  self = self.data() + 1;  // a text inside the string itself
  EXPECT_EQ(Text(self), "elf");

  // A moved-from string is empty and usable.
  RWCString moved(std::move(self));
  EXPECT_EQ(Text(moved), "elf");
  EXPECT_TRUE(self.isNull());  // NOLINT(bugprone-use-after-move)
  self = moved;
  EXPECT_EQ(Text(self), "elf");

  // Class-wide settings report the old value.
  EXPECT_EQ(RWCString::initialCapacity(15), 15u);
  EXPECT_EQ(RWCString::resizeIncrement(16), 16u);
  EXPECT_EQ(RWCString::maxWaste(15), 15u);

  StringValue value("abc");
  StringValue assigned;
  assigned = RWCString("def");
  EXPECT_EQ(Text(value) + Text(assigned), "abcdef");
  StringValue fromSub(RWCString("xyz")(1, 2));
  EXPECT_EQ(Text(fromSub), "yz");
}

// ---------------------------------------------------------------------------------
// Comparison and hashing

int Sign(int v) { return (v > 0) - (v < 0); }

// Reference orders: std::string compares as unsigned bytes; the NUL-terminated form
// compares as signed characters.
int SignedCompare(const std::string& a, const std::string& b, bool foldCase) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int x = static_cast<signed char>(foldCase ? std::tolower(static_cast<unsigned char>(a[i])) : a[i]);
    int y = static_cast<signed char>(foldCase ? std::tolower(static_cast<unsigned char>(b[i])) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

TEST(RWCStringCompare, TableOfSignednessAndCaseCases) {
  struct Case {
    const char* name;
    std::string a, b;
    int textExact, stringExact, textIgnoreCase, stringIgnoreCase;
  };
  const std::vector<Case> cases = {
      {"prefix is less", "ab", "abc", -1, -1, -1, -1},
      {"longer is greater", "abc", "ab", 1, 1, 1, 1},
      {"equal", "abc", "abc", 0, 0, 0, 0},
      {"high byte: signed vs unsigned", "a\xE9", "aA", -1, 1, -1, -1},
      {"case differs", "ABC", "abc", -1, -1, 0, 0},
      {"case and order", "abD", "ABc", 1, 1, 1, 1},
      {"both empty", "", "", 0, 0, 0, 0},
      {"empty vs text", "", "a", -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCString a(c.a.c_str()), b(c.b.c_str());
    EXPECT_EQ(a.compareTo(c.b.c_str()), c.textExact);
    EXPECT_EQ(a.compareTo(b), c.stringExact);
    EXPECT_EQ(a.compareTo(c.b.c_str(), RWCString::ignoreCase), c.textIgnoreCase);
    EXPECT_EQ(a.compareTo(b, RWCString::ignoreCase), c.stringIgnoreCase);
    EXPECT_EQ(a == b, c.a == c.b);
    EXPECT_EQ(a == c.b.c_str(), c.a == c.b);
    EXPECT_EQ(a < b, c.stringExact < 0);
  }
}

TEST(RWCStringCompare, RandomTextsAgainstReferenceOrders) {
  const uint32_t seed = 4242;
  std::mt19937 random(seed);
  const char alphabet[] = {'a', 'B', 'b', 'A', '\xE9', '\x7F', '\x80', '\0'};
  auto randomText = [&](bool allowNul) {
    std::string text(random() % 6, ' ');
    for (char& c : text) c = alphabet[random() % (allowNul ? 8 : 7)];
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    std::string x = randomText(true), y = randomText(true);
    RWCString a(x.data(), static_cast<uint32_t>(x.size())), b(y.data(), static_cast<uint32_t>(y.size()));
    ASSERT_EQ(a.compareTo(b), Sign(x.compare(y)));
    ASSERT_EQ(a.compareTo(b, RWCString::ignoreCase), SignedCompare(x, y, true));
    ASSERT_EQ(a == b, x == y);
    std::string z = randomText(false);
    ASSERT_EQ(a.compareTo(z.c_str()), SignedCompare(x, z, false));
    ASSERT_EQ(a.compareTo(z.c_str(), RWCString::ignoreCase), SignedCompare(x, z, true));
    ASSERT_EQ(a == z.c_str(), x == z);
    ASSERT_EQ(z.c_str() != a, x != z);
  }
}

TEST(RWCStringHash, ExactAndCaseFoldedValues) {
  struct Case {
    const char* name;
    std::string text;
    uint32_t exact;
  };
  const std::vector<Case> cases = {
      {"empty", "", 0x0},
      {"abc", "abc", 0x00616203},
      {"abcd", "abcd", 0x646362E1},
      {"five", "abcde", 0x8C6C5849},
      {"high byte alone sign-extends", "\x80", 0xFFFFFFA0},
      {"high byte swallows the tail", "ab\xE9", 0xFFFFFF89},
      {"two words and a tail", "abcdefgh\xFF\x01", 0x7E9FB63D},
      {"embedded NUL", std::string("a\0b", 3), 0x00610002},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCString s(c.text.data(), static_cast<uint32_t>(c.text.size()));
    EXPECT_EQ(s.hash(), c.exact);
  }
  EXPECT_EQ(RWCString("abc").hash(RWCString::ignoreCase), 0x8C03u);
  EXPECT_EQ(RWCString("Hello, World").hash(RWCString::ignoreCase), 0xA04B0FB7u);
  EXPECT_EQ(RWCString("hELLO, wORLD").hash(RWCString::ignoreCase), 0xA04B0FB7u);
  EXPECT_EQ(RWCString("x\xE9y").hash(RWCString::ignoreCase), 0xFD79u);
}

// ---------------------------------------------------------------------------------
// Searching and substrings

TEST(RWCStringSearch, IndexAgainstStdStringFind) {
  const uint32_t seed = 777;
  std::mt19937 random(seed);
  const char alphabet[] = "abAB";
  auto randomText = [&](uint32_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text) c = alphabet[random() % 4];
    return text;
  };
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    std::string text = randomText(12), pattern = randomText(3);
    uint32_t start = random() % 15;
    RWCString s(text.c_str());
    auto expect = [](size_t found) { return found == std::string::npos ? RW_NPOS : static_cast<uint32_t>(found); };
    ASSERT_EQ(s.index(pattern.c_str(), start), expect(text.find(pattern, start)));
    ASSERT_EQ(s.index(RWCString(pattern.c_str()), start), expect(text.find(pattern, start)));
    ASSERT_EQ(s.index(pattern.c_str(), start, RWCString::ignoreCase),
              expect(lower(text).find(lower(pattern), start)));
    ASSERT_EQ(s.contains(pattern.c_str()), text.find(pattern) != std::string::npos);
    RWCSubString found = s.subString(pattern.c_str(), start);
    size_t at = text.find(pattern, start);
    ASSERT_EQ(found.isNull(), at == std::string::npos);
    if (!found.isNull()) {
      ASSERT_EQ(found.start(), at);
      ASSERT_EQ(found.length(), pattern.size());
    }
  }
}

TEST(RWCStringSearch, EdgeCasesOfIndexFirstLastAndStrip) {
  RWCString s("hello world");
  EXPECT_EQ(s.index("world", 7), RW_NPOS);      // longer than the rest
  EXPECT_EQ(s.index("", 4), 4u);                // empty pattern gives the start
  EXPECT_EQ(s.index("", 11), 11u);
  EXPECT_EQ(s.index("", 12), RW_NPOS);
  EXPECT_EQ(s.index("o", RW_NPOS), RW_NPOS);    // no wrap-around
  EXPECT_EQ(s.index("lo w", 4, 0, RWCString::exact), 3u);
  EXPECT_EQ(s.index("LO W", 4, 0, RWCString::ignoreCase), 3u);

  RWCString withNul(std::string("ab\0ab", 5).data(), 5);
  EXPECT_EQ(withNul.first('b'), 1u);
  EXPECT_EQ(withNul.last('b'), 1u);  // stops at the first NUL
  EXPECT_EQ(withNul.first('z'), RW_NPOS);
  EXPECT_EQ(withNul.index("ab", 1), 3u);  // index looks past NULs

  struct StripCase {
    const char* name;
    const char* text;
    RWCString::stripType where;
    char c;
    const char* expected;
    bool null;
  };
  const std::vector<StripCase> strips = {
      {"leading", "  ab  ", RWCString::leading, ' ', "ab  ", false},
      {"trailing", "  ab  ", RWCString::trailing, ' ', "  ab", false},
      {"both", "  ab  ", RWCString::both, ' ', "ab", false},
      {"other char", "xxabx", RWCString::both, 'x', "ab", false},
      {"only stripped char", "    ", RWCString::both, ' ', "", true},
      {"only stripped char trailing", "xxx", RWCString::trailing, 'x', "", true},
      {"empty", "", RWCString::both, ' ', "", true},
      {"nothing to strip", "ab", RWCString::both, ' ', "ab", false},
  };
  for (const StripCase& c : strips) {
    SCOPED_TRACE(c.name);
    RWCString text(c.text);
    RWCSubString stripped = text.strip(c.where, c.c);
    EXPECT_EQ(stripped.isNull(), c.null);
    EXPECT_EQ(Text(stripped), c.expected);
  }
}

TEST(RWCStringSearch, SubstringAssignmentEqualityAndCase) {
  RWCString s("The quick brown fox");
  RWCSubString quick = s(4, 5);
  EXPECT_TRUE(quick == "quick");
  EXPECT_TRUE(quick == RWCString("quick"));
  EXPECT_TRUE(quick != "quic");
  EXPECT_TRUE(quick != "quickk");
  quick.toUpper();
  EXPECT_EQ(Text(s), "The QUICK brown fox");
  s.subString("brown") = "red";
  EXPECT_EQ(Text(s), "The QUICK red fox");
  s.subString("absent") = "never";
  EXPECT_EQ(Text(s), "The QUICK red fox");

  RWCString copy(s);
  RWCSubString fox = copy(14, 3);
  fox[0] = 'b';
  fox(1) = 'O';
  EXPECT_EQ(Text(copy), "The QUICK red bOx");
  EXPECT_EQ(Text(s), "The QUICK red fox");  // the copy was made private first

  // Null substrings compare as the empty text.
  RWCSubString none = s.subString("zzz");
  EXPECT_TRUE(none == "");
  EXPECT_FALSE(none == "a");
  EXPECT_TRUE(none == RWCString());
  EXPECT_TRUE(none == s.subString("yyy"));
  EXPECT_FALSE(none == s(0, 1));
  EXPECT_TRUE(s(0, 3) == copy(0, 3));

  // Stretches beyond the string are kept inside it.
  EXPECT_EQ(Text(s(14, 100)), "fox");
  EXPECT_EQ(s(100, 5).length(), 0u);
  EXPECT_TRUE(s(RW_NPOS, 5).isNull());

  EXPECT_EQ(Text(toUpper(RWCString("mIxEd"))), "MIXED");
  EXPECT_EQ(Text(toLower(RWCString("mIxEd"))), "mixed");
}

TEST(RWCStringAccess, BoundsErrorsCarryTheIndexAndLargestValid) {
  RWCString five("abcde");
  const RWCString& constFive = five;
  RWCString empty;
  RWCSubString stretch = five(1, 3);
  struct Case {
    const char* name;
    std::function<void()> body;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"write at length", [&] { five[5] = 'x'; }, "[INDEX] Index (5) out of range [0->4]"},
      {"read at length", [&] { (void)constFive[5]; }, "[INDEX] Index (5) out of range [0->4]"},
      {"no position", [&] { (void)constFive[RW_NPOS]; }, "[INDEX] Index (4294967295) out of range [0->4]"},
      {"empty string", [&] { (void)empty[0]; }, "[INDEX] Index (0) out of range [0->4294967295]"},
      {"substring", [&] { stretch[3] = 'x'; }, "[INDEX] Index (3) out of range [0->2]"},
      {"in range", [&] { (void)constFive[4]; }, ""},
      {"substring in range", [&] { (void)stretch[2]; }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RWErrorTextOf(c.body), c.text);
  }
  EXPECT_EQ(Text(five), "abcde");
}

TEST(RWCStringAccess, HandlerThatReturnsLeavesTheStringIntact) {
  static int raised = 0;
  RWErrHandler previous = rwSetErrHandler([](const RWxmsg&) { ++raised; });
  RWCString s("abc");
  s[7] = 'x';
  char c = static_cast<const RWCString&>(s)[9];
  s(0, 2)[5] = 'y';
  rwSetErrHandler(previous);
  EXPECT_EQ(raised, 3);
  EXPECT_EQ(c, '\0');
  EXPECT_EQ(Text(s), "abc");
}

// ---------------------------------------------------------------------------------
// Streams

TEST(RWCStringStreams, ReadersAgainstStandardLibraryReaders) {
  const uint32_t seed = 31337;
  std::mt19937 random(seed);
  const char alphabet[] = {'a', 'b', ' ', '\t', '\n', ';', 'Z', '\xE9'};
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    std::string input(random() % 120, ' ');
    for (char& c : input) c = alphabet[random() % 8];
    if (random() % 4 == 0) input += std::string(random() % 70, 'L');  // a long run to grow through

    {  // tokens
      std::istringstream ours(input), theirs(input);
      RWCString token;
      std::string reference;
      for (;;) {
        bool gotOurs = static_cast<bool>(ours >> token);
        bool gotTheirs = static_cast<bool>(theirs >> reference);
        ASSERT_EQ(gotOurs, gotTheirs);
        if (!gotTheirs) break;
        ASSERT_EQ(Text(token), reference);
        ASSERT_LE(token.capacity() - token.length(), 15u);
      }
    }
    {  // lines without skipping white space
      std::istringstream ours(input), theirs(input);
      RWCString line;
      std::string reference;
      for (;;) {
        bool gotOurs = static_cast<bool>(line.readLine(ours, false));
        bool gotTheirs = static_cast<bool>(std::getline(theirs, reference));
        ASSERT_EQ(gotOurs, gotTheirs);
        if (!gotTheirs) break;
        ASSERT_EQ(Text(line), reference);
        ASSERT_LE(line.capacity() - line.length(), 15u);
        ASSERT_GE(line.capacity(), line.length());
      }
    }
    {  // another delimiter
      std::istringstream ours(input), theirs(input);
      RWCString part;
      std::string reference;
      for (;;) {
        bool gotOurs = static_cast<bool>(part.readToDelim(ours, ';'));
        bool gotTheirs = static_cast<bool>(std::getline(theirs, reference, ';'));
        ASSERT_EQ(gotOurs, gotTheirs);
        if (!gotTheirs) break;
        ASSERT_EQ(Text(part), reference);
      }
    }
    {  // whole file
      std::istringstream ours(input);
      RWCString all;
      all.readFile(ours);
      ASSERT_EQ(Text(all), input);
      ASSERT_LE(all.capacity() - all.length(), 15u);
    }
  }
}

TEST(RWCStringStreams, TableOfReaderEdgeCases) {
  {
    std::istringstream in(std::string("first\0second\0", 13));
    RWCString s;
    s.readString(in);
    EXPECT_EQ(Text(s), "first");
    s.readString(in);
    EXPECT_EQ(Text(s), "second");
  }
  {
    std::istringstream in("   \n  indented line\nnext");
    RWCString s;
    s.readLine(in);  // skips the blank line and the indentation
    EXPECT_EQ(Text(s), "indented line");
    s.readLine(in);
    EXPECT_EQ(Text(s), "next");
    EXPECT_TRUE(in.eof());
  }
  {
    std::istringstream in("abcdefgh ijk");
    RWCString s;
    in.width(3);
    in >> s;
    EXPECT_EQ(Text(s), "abc");
    EXPECT_EQ(in.width(), 0);
    in >> s;
    EXPECT_EQ(Text(s), "defgh");
  }
  {
    // Reading into a shared string leaves the other owner alone.
    std::istringstream in("new text\n");
    RWCString original("kept");
    RWCString reader(original);
    reader.readLine(in);
    EXPECT_EQ(Text(reader), "new text");
    EXPECT_EQ(Text(original), "kept");
  }
  {
    // A large reused body gives back its unused tail.
    RWCString s(RWSize_T(200));
    std::istringstream in("short\n");
    s.readLine(in);
    EXPECT_EQ(Text(s), "short");
    EXPECT_EQ(s.capacity(), 15u);
  }
}

TEST(RWCStringStreams, OutputPaddingMatchesStdString) {
  struct Case {
    const char* name;
    std::string text;
    int width;
    bool left;
    char fill;
  };
  const std::vector<Case> cases = {
      {"right padded", "ab", 5, false, ' '},
      {"left padded", "ab", 5, true, ' '},
      {"fill character", "ab", 4, false, '*'},
      {"narrower than text", "abcdef", 3, false, ' '},
      {"no width", "abc", 0, true, ' '},
      {"embedded NUL", std::string("a\0b", 3), 6, false, '.'},
      {"empty", "", 3, true, '-'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream ours, theirs;
    for (std::ostringstream* os : {&ours, &theirs}) {
      os->fill(c.fill);
      if (c.left) *os << std::left;
      os->width(c.width);
    }
    ours << RWCString(c.text.data(), static_cast<uint32_t>(c.text.size())) << "|";
    theirs << c.text << "|";
    EXPECT_EQ(ours.str(), theirs.str());
  }
  std::ostringstream exact;
  exact.width(5);
  exact << RWCString("ab");
  EXPECT_EQ(exact.str(), "   ab");
}

}  // namespace
}  // namespace zentor
