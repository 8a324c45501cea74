// The command scanner read through the real device stack: a text device pushed on the
// console (it echoes, so token columns count), or a command string where a test needs
// the command-string rules or a macro expansion. Integers and reals are checked
// against the host's own conversions.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "command/command_scanner.h"
#include "command/token_table.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/macro_device.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/memory_file.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "platform/user_break.h"

namespace zentor {
namespace {

namespace tc = token_code;

// -- A text device --------------------------------------------------------------------

// Feeds one text. Reading past its end delivers a few line ends and then throws, so a
// scanner that runs away fails the test instead of waiting for console input.
struct TextDevice {
  static std::string& Text() {
    static std::string text;
    return text;
  }
  static std::size_t& Index() {
    static std::size_t index = 0;
    return index;
  }
  static int& Overrun() {
    static int overrun = 0;
    return overrun;
  }
  static bool Read(uint8_t* ch) {
    if (Index() < Text().size()) {
      *ch = static_cast<uint8_t>(Text()[Index()++]);
      return true;
    }
    if (++Overrun() > 8) throw std::runtime_error("the scanner read past the end of its input");
    *ch = '\r';
    return true;
  }
  static void Echo() { SetEchoColumn(static_cast<uint16_t>(EchoColumn() + 1)); }
  static void Nothing() {}
};

CommandDevice g_textDevice{CommandDeviceId::kIncludeFile, &TextDevice::Nothing, &TextDevice::Nothing,
                           &TextDevice::Nothing, &TextDevice::Nothing, &TextDevice::Read, &TextDevice::Echo, 0};

void FeedText(const std::string& text) {
  TextDevice::Text() = text;
  TextDevice::Index() = 0;
  TextDevice::Overrun() = 0;
  SetEchoColumn(0);
  PushDevice(g_textDevice);
}

struct Token {
  uint8_t code;
  uint16_t subcode;
  std::string text;
  uint16_t tag;
  uint8_t column;
};

Token Next(bool lineContinuation = true) {
  CommandScanner::NextToken(lineContinuation);
  const TokenRecord& t = CurrentToken();
  return Token{t.code, t.subcode, std::string(t.text, t.textLength), t.tag, t.column};
}

// Tokens up to and including the end of the line.
std::vector<Token> ScanLine(bool lineContinuation = true) {
  std::vector<Token> tokens;
  for (int i = 0; i < 200; ++i) {
    tokens.push_back(Next(lineContinuation));
    if (tokens.back().code == tc::kEndOfLine) return tokens;
  }
  ADD_FAILURE() << "no end of line";
  return tokens;
}

std::vector<Token> ScanText(const std::string& text, bool lineContinuation = true) {
  FeedText(text);
  return ScanLine(lineContinuation);
}

std::vector<uint8_t> Codes(const std::vector<Token>& tokens) {
  std::vector<uint8_t> codes;
  for (const Token& t : tokens) codes.push_back(t.code);
  return codes;
}

template <typename Body>
uint32_t ErrorNumberOf(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error.Number();
  }
  return 0;
}

// The little-endian bytes of a 128-bit value given as two 64-bit halves.
std::string IntegerBytes(uint64_t low, uint64_t high, std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) {
    const uint64_t word = i < 8 ? low : high;
    bytes.push_back(static_cast<char>((word >> (8 * (i % 8))) & 0xFF));
  }
  return bytes;
}

std::size_t ExpectedLength(uint64_t low, uint64_t high) {
  if (high >> 32 != 0) return 16;
  if (high != 0) return 12;
  if (low >> 32 != 0) return 8;
  if (low >> 16 != 0) return 4;
  if (low >> 8 != 0) return 2;
  return 1;
}

long double RealOf(const std::string& bytes) {
  static_assert(std::numeric_limits<long double>::digits == 64, "the host's long double is the 10-byte format");
  long double value = 0;
  std::memcpy(&value, bytes.data(), 10);
  return value;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    }
  }
  return out;
}

class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCommandDevices();
    SetCurrentChar('\n');
    CommandScanner::InitKeywords();
    CommandScanner::SetDefinitionReleaser(nullptr);
    ASSERT_TRUE(SetNumberBase(10).IsOkay());
    ValueStack::Create();
    ValueStack::Reset();
    ExprParseFailed = 0;
    ExprOperandComplete = 0;
    ExpressionSaveToken() = TokenRecord{};
  }
  void TearDown() override {
    CommandScanner::ResetForCommand();
    ResetCommandDevices();
    ClearMacroText();
    SetCurrentChar('\n');
    (void)SetNumberBase(10);
    ValueStack::Reset();
  }
};

// -- Literals --------------------------------------------------------------------------

struct IntegerCase {
  const char* name;
  const char* input;
  uint8_t base;  // the number base while scanning
  uint64_t low;
  uint64_t high;
  uint16_t radix;
};

TEST_F(ScannerTest, IntegersInEveryRadixAndSize) {
  const IntegerCase cases[] = {
      {"hex prefix", "0x1F", 10, 0x1F, 0, 16},
      {"upper-case hex prefix", "0X1F", 10, 0x1F, 0, 16},
      {"binary prefix", "0y101", 10, 5, 0, 2},
      {"decimal prefix under base 16", "0n12", 16, 12, 0, 10},
      {"k suffix is decimal under base 16", "4k", 16, 4096, 0, 10},
      {"m suffix on hex", "0x10m", 10, 16777216, 0, 16},
      {"k suffix on binary", "0y11K", 10, 3072, 0, 2},
      {"letters in base 16", "12ab", 16, 0x12ab, 0, 16},
      {"e is a hex digit in base 16", "1e3", 16, 0x1e3, 0, 16},
      {"digits follow the base", "10", 16, 16, 0, 16},
      {"binary base", "101", 2, 5, 0, 2},
      {"zero", "0", 10, 0, 0, 10},
      {"one byte", "255", 10, 255, 0, 10},
      {"two bytes", "256", 10, 256, 0, 10},
      {"four bytes", "65536", 10, 65536, 0, 10},
      {"eight bytes", "4294967296", 10, 4294967296ull, 0, 10},
      {"twelve bytes", "18446744073709551616", 10, 0, 1, 10},
      {"sixteen bytes", "0x1000000000000000000000000", 10, 0, 1ull << 32, 16},
      {"largest value", "340282366920938463463374607431768211455", 10, ~0ull, ~0ull, 10},
      {"largest hex value", "0xffffffffffffffffffffffffffffffff", 10, ~0ull, ~0ull, 16},
      {"leading zeros", "0000017", 10, 17, 0, 10},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    const std::vector<Token> tokens = ScanText(std::string(c.input) + "\r\n");
    ASSERT_EQ(tokens.size(), 2u);
    const Token& t = tokens[0];
    EXPECT_EQ(t.code, tc::kInteger);
    EXPECT_EQ(t.tag, c.radix);
    EXPECT_EQ(Printable(t.text), Printable(IntegerBytes(c.low, c.high, ExpectedLength(c.low, c.high))));
    ResetCommandDevices();
  }
}

struct BadNumberCase {
  const char* name;
  std::string input;
  uint8_t base;
  uint32_t thrown;  // message number, or 0 for an ERROR_TOKEN
};

TEST_F(ScannerTest, BadNumbers) {
  const BadNumberCase cases[] = {
      {"letters in base 10", "12ab", 10, 0},
      {"an exponent-looking integer in base 10", "1e3", 10, 0},
      {"hex prefix without digits", "0x", 10, 0},
      {"binary prefix with a 2", "0y2", 10, 0},
      {"binary digits with a 2", "0y12", 10, 0},
      {"decimal prefix without digits", "0n", 10, 0},
      {"point after hex digits", "0x1.5", 10, 0},
      {"exponent without digits", "1.5e", 10, 0},
      {"signed exponent without digits", "1.5e+", 10, 0},
      {"k suffix makes a hex digit bad", "1fk", 16, 0},
      {"a number of 256 digits", std::string(256, '1'), 10, 0},
      {"decimal overflow", "340282366920938463463374607431768211456", 10, 131},
      {"hex overflow", "0x100000000000000000000000000000000", 10, 141},
      {"binary overflow", "0y1" + std::string(128, '0'), 10, 141},
      {"suffix overflow", "0xffffffffffffffffffffffffffffffffk", 10, 141},
      {"decimal suffix overflow", "340282366920938463463374607431768211455m", 10, 131},
  };
  for (const BadNumberCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    FeedText(c.input + " x\r\n");
    if (c.thrown != 0) {
      EXPECT_EQ(ErrorNumberOf([] { CommandScanner::NextToken(true); }), c.thrown);
    } else {
      const std::vector<Token> tokens = ScanLine();
      ASSERT_GE(tokens.size(), 2u);
      EXPECT_EQ(tokens[0].code, tc::kError);
      EXPECT_LE(tokens[0].text.size(), TokenRecord::kMaxWordLength);
    }
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, RealsAgreeWithTheHost) {
  const char* const texts[] = {"1.5e+3", "1.", "0.25", "3.141592653589793238", "1.e5", "2.5E-3", "0n1.5",
                               "12.5e00", "1.0e4931", "1.0e-4950"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const std::vector<Token> tokens = ScanText(std::string(text) + "\r\n");
    ASSERT_EQ(tokens.size(), 2u);
    ASSERT_EQ(tokens[0].code, tc::kReal);
    ASSERT_EQ(tokens[0].text.size(), GetValueKindSize(kKindReal10));
    std::string hostText = text;
    if (hostText.rfind("0n", 0) == 0) hostText = hostText.substr(2);
    EXPECT_EQ(RealOf(tokens[0].text), std::strtold(hostText.c_str(), nullptr));
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, RandomIntegersAgreeWithNativeFormatting) {
  const uint32_t seed = 4242;
  std::mt19937_64 random(seed);
  for (int i = 0; i < 3000; ++i) {
    const int bits = static_cast<int>(random() % 129);
    uint64_t low = random();
    uint64_t high = random();
    if (bits < 128) high = bits <= 64 ? 0 : high & ((1ull << (bits - 64)) - 1);
    if (bits < 64) low &= (1ull << bits) - 1;
    const int radixChoice = static_cast<int>(random() % 3);
    std::string text;
    uint16_t radix = 10;
    if (radixChoice == 0 && high == 0) {
      char buffer[32];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, low, 10);
      text.assign(buffer, result.ptr);
    } else if (radixChoice == 1) {
      radix = 16;
      char buffer[48];
      if (high != 0) {
        std::snprintf(buffer, sizeof buffer, "0x%llx%016llx", static_cast<unsigned long long>(high),
                      static_cast<unsigned long long>(low));
      } else {
        std::snprintf(buffer, sizeof buffer, "0X%llX", static_cast<unsigned long long>(low));
      }
      text = buffer;
    } else {
      radix = 2;
      char buffer[140];
      auto end = std::to_chars(buffer, buffer + sizeof buffer, high, 2).ptr;
      std::string highBits(buffer, end);
      end = std::to_chars(buffer, buffer + sizeof buffer, low, 2).ptr;
      std::string lowBits(buffer, end);
      text = "0y" + (high != 0 ? highBits + std::string(64 - lowBits.size(), '0') + lowBits : lowBits);
    }
    SCOPED_TRACE("seed " + std::to_string(seed) + " text " + text);
    const std::vector<Token> tokens = ScanText(text + "\r\n");
    ASSERT_EQ(tokens.size(), 2u);
    ASSERT_EQ(tokens[0].code, tc::kInteger);
    EXPECT_EQ(tokens[0].tag, radix);
    ASSERT_EQ(Printable(tokens[0].text), Printable(IntegerBytes(low, high, ExpectedLength(low, high))));
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, RandomRealsAgreeWithTheHost) {
  const uint32_t seed = 99;
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-300, 300);
  for (int i = 0; i < 500; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%.19ge%d", mantissa(random), exponent(random));
    // Only texts with a point are reals in the command language.
    if (std::strchr(text, '.') == nullptr) continue;
    SCOPED_TRACE("seed " + std::to_string(seed) + " text " + text);
    const std::vector<Token> tokens = ScanText(std::string(text) + "\r\n");
    ASSERT_EQ(tokens.size(), 2u);
    ASSERT_EQ(tokens[0].code, tc::kReal);
    EXPECT_EQ(RealOf(tokens[0].text), std::strtold(text, nullptr));
    ResetCommandDevices();
  }
}

struct QuotedCase {
  const char* name;
  std::string input;
  uint8_t code;
  std::string text;  // the token text (counted string or the one character)
};

std::string Counted(const std::string& characters) {
  return std::string(1, static_cast<char>(characters.size())) + characters;
}

TEST_F(ScannerTest, StringsAndCharacters) {
  const std::string longest(254, 's');
  const QuotedCase cases[] = {
      {"plain string", "\"abc\"", tc::kString, Counted("abc")},
      {"empty string", "\"\"", tc::kString, Counted("")},
      {"control escapes", "\"\\a\\b\\f\\n\\r\\t\\v\"", tc::kString, Counted("\a\b\f\n\r\t\v")},
      {"escapes that stand for themselves", "\"\\\"\\'\\?\\\\\"", tc::kString, Counted("\"'?\\")},
      {"octal escapes", "\"\\101\\0\\7779\"", tc::kString, Counted(std::string("A\0\xff" "9", 4))},
      {"hex escapes", "\"\\x41\\x\\x4g\"", tc::kString, Counted(std::string("A\0\x04g", 4))},
      {"unknown escape is dropped", "\"a\\qb\"", tc::kString, Counted("ab")},
      {"blank and symbols inside", "\"a b;/*c*/\"", tc::kString, Counted("a b;/*c*/")},
      {"longest string", "\"" + longest + "\"", tc::kString, Counted(longest)},
      {"string one too long", "\"" + longest + "x\"", tc::kError, ""},
      {"unterminated string", "\"abc", tc::kError, ""},
      {"character", "'a'", tc::kCharacter, "a"},
      {"escaped character", "'\\n'", tc::kCharacter, "\n"},
      {"hex character", "'\\x41'", tc::kCharacter, "A"},
      {"quote character", "'\\''", tc::kCharacter, "'"},
      {"two characters", "'ab'", tc::kError, ""},
      {"empty character", "''", tc::kError, ""},
      {"unterminated character", "'a", tc::kError, ""},
      {"dropped escape leaves no character", "'\\q'", tc::kError, ""},
  };
  for (const QuotedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Token> tokens = ScanText(c.input + "\r\n");
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens[0].code, c.code);
    if (c.code != tc::kError) {
      EXPECT_EQ(Printable(tokens[0].text), Printable(c.text));
    }
    EXPECT_EQ(tokens.back().code, tc::kEndOfLine) << "the line end stays a token of its own";
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, EscapedLineEndsInLiterals) {
  // Joined when lines are continued; otherwise the literal is bad and the line end
  // still ends the line.
  std::vector<Token> tokens = ScanText("\"ab\\\r\ncd\"\r\n", true);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].code, tc::kString);
  EXPECT_EQ(tokens[0].text, Counted("abcd"));
  ResetCommandDevices();
  tokens = ScanText("\"ab\\\r\ncd\"\r\n", false);
  EXPECT_EQ(tokens[0].code, tc::kError);
  EXPECT_EQ(tokens[1].code, tc::kEndOfLine);
}

// -- Words, operators and the keyword table -------------------------------------------

struct WordCase {
  const char* name;
  std::string input;
  std::vector<uint8_t> codes;  // up to, not including, the line end
  std::vector<std::string> texts;  // of the first tokens, where it matters
};

TEST_F(ScannerTest, WordsOperatorsAndPunctuation) {
  const std::string longest(255, 'n');
  const WordCase cases[] = {
      {"a qualified name", "a::b", {tc::kIdentifier}, {"a::b"}},
      {"a single colon in a name", "a:b", {tc::kError}, {}},
      {"three colons in a name", "a:::b", {tc::kError}, {}},
      {"a colon after a blank", "a :b", {tc::kIdentifier, tc::kColon, tc::kIdentifier}, {"a", ":", "b"}},
      {"name characters", "_x?@$1", {tc::kIdentifier}, {"_x?@$1"}},
      {"a dollar name", "$x", {tc::kIdentifier}, {"$x"}},
      {"a lone dollar", "$ 1", {tc::kDollar, tc::kInteger}, {"$"}},
      {"a question mark", "?x", {tc::kQuestion, tc::kIdentifier}, {"?", "x"}},
      {"a name of 255 characters", longest, {tc::kIdentifier}, {longest}},
      {"a name of 256 characters", longest + "n", {tc::kError}, {}},
      {"#define is one word", "#define", {tc::kDefine}, {"#define"}},
      {"a line number", "#12", {tc::kHashNumber}, {std::string("\x0c\0", 2)}},
      {"the largest line number", "#65535", {tc::kHashNumber}, {"\xff\xff"}},
      {"a hash name", "#x1", {tc::kIdentifier}, {"#x1"}},
      {"a hash alone", "#+", {tc::kError, 23}, {}},
      {"shift assignments", "<<= >>=", {88, 90}, {"<<=", ">>="}},
      {"shifts", "<< >>", {64, 82}, {"<<", ">>"}},
      {"not-equal spellings", "<> !=", {132, 132}, {}},
      {"relational operators", "< <= > >= ==", {132, 132, 132, 132, 132}, {}},
      {"arrow and decrement", "->--", {14, 29}, {"->", "--"}},
      {"compound assignments", "+= -= *= /= %= &= ^= |=", {152, 150, 72, 63, 55, 46, 42, 37}, {}},
      {"logical operators", "&& || !", {115, 111, 25}, {}},
      {"xor spellings", "^ ^^", {111, 111, 111}, {}},
      {"single-character tokens", "(){}[];,.~:", {156, 157, 159, 160, 16, 20, 9, 173, 13, 25, 2}, {}},
      {"an at sign is no keyword", "@", {tc::kUnknown}, {"@"}},
      {"a bad character", "a ` b", {tc::kIdentifier, tc::kError, tc::kIdentifier}, {}},
      {"a character above 0x7f", "\xe9", {tc::kError}, {}},
      {"keywords", "step istep go", {151, 151, 56}, {}},
      {"grammar entry words", "_PE_ _DC_", {168, 177}, {}},
      {"a backslash token", "\\ x", {tc::kBackslash, tc::kIdentifier}, {"\\"}},
      {"a comment between tokens", "a /* c ** / */ b", {tc::kIdentifier, tc::kIdentifier}, {"a", "b"}},
      {"a comment in an operator position", "a/*x*//b", {tc::kIdentifier, 5, tc::kIdentifier}, {"a", "/", "b"}},
      {"divide-assign", "a/=b", {tc::kIdentifier, 63, tc::kIdentifier}, {}},
      {"blanks, tabs and Ctrl+Z", " \t\x1a" "a", {tc::kIdentifier}, {"a"}},
  };
  for (const WordCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Token> tokens = ScanText(c.input + "\r\n");
    std::vector<uint8_t> codes = Codes(tokens);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), tc::kEndOfLine);
    codes.pop_back();
    EXPECT_EQ(codes, c.codes);
    for (std::size_t i = 0; i < c.texts.size() && i < tokens.size(); ++i) {
      EXPECT_EQ(Printable(tokens[i].text), Printable(c.texts[i])) << "token " << i;
    }
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, LineNumberBeyondSixteenBitsIsTooLarge) {
  FeedText("#65536\r\n");
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::NextToken(true); }), 131u);
}

TEST_F(ScannerTest, EveryTableRowIsFoundAndScanned) {
  ASSERT_EQ(TokenTable().size(), kTokenTableRowCount);
  std::set<std::string> texts;
  for (const TokenTableRow& row : TokenTable()) {
    SCOPED_TRACE(row.text);
    EXPECT_TRUE(texts.insert(row.text).second) << "texts are unique";
    // Found by the keyword look-up.
    SetTokenText(CurrentToken(), row.text);
    ASSERT_TRUE(CommandScanner::LookupKeyword());
    EXPECT_EQ(CurrentToken().code, row.token);
    EXPECT_EQ(CurrentToken().subcode, row.subcode);
    EXPECT_EQ(CurrentToken().flag, kKeywordBuiltIn);
    EXPECT_EQ(CurrentToken().value, 0u);
    // Scanned as one token with that code, except "^^", which the operator rule
    // reads as two "^" (both the same operator).
    const std::vector<Token> tokens = ScanText(std::string(row.text) + " \r\n");
    if (std::string(row.text) == "^^") {
      EXPECT_EQ(Codes(tokens), (std::vector<uint8_t>{111, 111, tc::kEndOfLine}));
    } else {
      ASSERT_EQ(tokens.size(), 2u);
      EXPECT_EQ(tokens[0].code, row.token);
      EXPECT_EQ(tokens[0].subcode, row.subcode);
      EXPECT_EQ(tokens[0].text, row.text);
    }
    ResetCommandDevices();
  }
  EXPECT_EQ(CommandScanner::Keywords().Count(), kTokenTableRowCount);
}

TEST_F(ScannerTest, TokenColumnsAreWhereTokensBegin) {
  const std::vector<Token> tokens = ScanText("ab  0x1f \"s\" 'c' /*x*/ #3\r\n");
  const std::vector<uint8_t> columns = {1, 5, 10, 14, 24, 26};
  ASSERT_EQ(tokens.size(), columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(tokens[i].column, columns[i]) << "token " << i;
}

TEST_F(ScannerTest, ModeSwitchesTurnKeywordsIntoNames) {
  CommandScanner::AddKeywordEntry(136, 11, kKeywordDefined, 9, "counter");
  struct Case {
    const char* name;
    void (*set)();
    std::string input;
    std::vector<uint8_t> codes;
  };
  const Case cases[] = {
      {"nothing set", [] {}, "step counter", {151, 136}},
      {"NameOnce for one token", &CommandScanner::NameOnceOn, "step step", {tc::kIdentifier, 151}},
      {"NameOnce kept by NameSticky",
       [] {
         CommandScanner::NameOnceOn();
         CommandScanner::NameStickyOn();
       },
       "step step", {tc::kIdentifier, tc::kIdentifier}},
      {"NameAlways", &CommandScanner::NameAlwaysOn, "go counter", {tc::kIdentifier, tc::kIdentifier}},
      {"DefinedAsName only for defined names", &CommandScanner::DefinedAsNameOn, "counter counter",
       {tc::kIdentifier, 136}},
      {"DefinedAsName leaves built-in words", &CommandScanner::DefinedAsNameOn, "step", {151}},
      {"NameOnce leaves operators", &CommandScanner::NameOnceOn, "<= step", {132, 151}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.set();
    const std::vector<Token> tokens = ScanText(c.input + "\r\n");
    std::vector<uint8_t> codes = Codes(tokens);
    codes.pop_back();
    EXPECT_EQ(codes, c.codes);
    CommandScanner::ResetForCommand();
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, DecimalDefaultOverridesTheNumberBase) {
  ASSERT_TRUE(SetNumberBase(16).IsOkay());
  CommandScanner::DecimalDefaultOn();
  std::vector<Token> tokens = ScanText("10 0x10\r\n");
  EXPECT_EQ(tokens[0].text, IntegerBytes(10, 0, 1));
  EXPECT_EQ(tokens[0].tag, 10);
  EXPECT_EQ(tokens[1].text, IntegerBytes(16, 0, 1));
  ResetCommandDevices();
  CommandScanner::DecimalDefaultOff();
  tokens = ScanText("10\r\n");
  EXPECT_EQ(tokens[0].text, IntegerBytes(16, 0, 1));
}

TEST_F(ScannerTest, ModeSwitchesAreSavedAndRestored) {
  CommandScanner::NameAlwaysOn();
  CommandScanner::DecimalDefaultOn();
  CommandScanner::SaveModeFlags();
  FeedText("x");
  CommandScanner::ResetModeFlags();
  EXPECT_EQ(CurrentChar(), 'x') << "the reset moves the input on by one character";
  EXPECT_EQ(CommandScanner::ModeFlags().nameAlways, 0);
  EXPECT_EQ(CommandScanner::ModeFlags().lineContinuation, 1);
  CommandScanner::NameOnceOn();
  CommandScanner::SaveModeFlags();
  CommandScanner::NameSwitchesOff();
  CommandScanner::RestoreModeFlags();
  EXPECT_EQ(CommandScanner::ModeFlags().nameOnce, 1);
  EXPECT_EQ(CommandScanner::ModeFlags().nameAlways, 0);
  CommandScanner::RestoreModeFlags();
  EXPECT_EQ(CommandScanner::ModeFlags().nameAlways, 1);
  EXPECT_EQ(CommandScanner::ModeFlags().decimalDefault, 1);
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::RestoreModeFlags(); }), 1u) << "a pop with nothing saved";
}

// -- Line ends, comments and continued lines -------------------------------------------

TEST_F(ScannerTest, ContinuedLinesAndComments) {
  struct Case {
    const char* name;
    std::string input;
    bool lineContinuation;
    std::vector<uint8_t> codes;  // all tokens read up to the first line end
  };
  const Case cases[] = {
      {"backslash joins lines", "a \\\r\n b\r\n", true, {tc::kIdentifier, tc::kIdentifier, tc::kEndOfLine}},
      {"backslash without continuation", "a \\\r\n", false, {tc::kIdentifier, tc::kBackslash, tc::kEndOfLine}},
      {"comment across lines", "a /* x\r\n y */ b\r\n", true, {tc::kIdentifier, tc::kIdentifier, tc::kEndOfLine}},
      {"comment stops at the line end", "a /* x\r\n", false, {tc::kIdentifier, tc::kEndOfLine}},
      {"comment ended by a star run", "a /* x ***/ b\r\n", false, {tc::kIdentifier, tc::kIdentifier, tc::kEndOfLine}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Codes(ScanText(c.input, c.lineContinuation)), c.codes);
    EXPECT_LE(TextDevice::Overrun(), 0) << "nothing read past the text";
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, CommandStringsEndAtTheirLineEnd) {
  // A grammar object's text never runs on into the input underneath: not through
  // a continued comment nor through an unfinished C expression.
  PushCommandString("outer\r\n");
  PushCommandString("a /* open\r\n");
  EXPECT_EQ(Codes(ScanLine(true)), (std::vector<uint8_t>{tc::kIdentifier, tc::kEndOfLine}));
  PushCommandString("a +\r\n");
  CommandScanner::SetCExpressionWord(1);
  ExprOperandComplete = 0;
  EXPECT_EQ(Codes(ScanLine(true)), (std::vector<uint8_t>{tc::kIdentifier, 23, tc::kEndOfLine}));
  CommandScanner::SetCExpressionWord(0);
  // The outer text is still there, from its start.
  const std::vector<Token> outer = ScanLine(true);
  ASSERT_EQ(outer.size(), 2u);
  EXPECT_EQ(outer[0].text, "outer");
}

TEST_F(ScannerTest, CarriageReturnInsideACExpression) {
  FeedText("a +\r\n b\r\nc\r\n");
  CommandScanner::SetCExpressionWord(1);
  EXPECT_EQ(Next().code, tc::kIdentifier);
  EXPECT_EQ(Next().code, 23);
  ExprOperandComplete = 0;  // the expression ends in an operator: the line goes on
  EXPECT_EQ(Next().text, "b");
  ExprOperandComplete = 1;  // complete: the line end ends it
  EXPECT_EQ(Next().code, tc::kEndOfLine);
  EXPECT_EQ(ExprOperandComplete, 0u);
  CommandScanner::SetCExpressionWord(0);
  EXPECT_EQ(Next().text, "c");
}

// -- Raw words and reading actions ------------------------------------------------------

TEST_F(ScannerTest, RawWords) {
  struct Case {
    const char* name;
    std::string input;
    std::string text;
    uint8_t next;  // the token after the raw word
  };
  const Case cases[] = {
      {"a path list", "  c:\\dir1  c:\\dir2 ; x", "c:\\dir1  c:\\dir2", 9},
      {"stops at a comma", "a/b,c", "a/b", 173},
      {"a comment before the word", " /* c */ word\t", "word", tc::kEndOfLine},
      {"a comment in the path text", "a /* c */ b", "a  b", tc::kEndOfLine},
      {"a slash begins a path", "/usr/src", "/usr/src", tc::kEndOfLine},
      {"across lines", "\r\n\r\n  later", "later", tc::kEndOfLine},
      {"a joined path text", "a b\\\r\n c", "a b c", tc::kEndOfLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FeedText(c.input + "\r\n");
    CommandScanner::RawWordOn();
    const Token word = Next();
    EXPECT_EQ(word.code, tc::kRawWord);
    EXPECT_EQ(word.text, c.text);
    EXPECT_EQ(CommandScanner::ModeFlags().rawWord, 0) << "for one token";
    EXPECT_EQ(Next().code, c.next);
    ResetCommandDevices();
  }
  FeedText(std::string(256, 'w') + "\r\n");
  CommandScanner::RawWordOn();
  EXPECT_EQ(Next().code, tc::kError);
}

TEST_F(ScannerTest, ReadingActions) {
  // A raw word on the current line, and one looked for on the following lines; the
  // INCLUDE command opens the file named in the file-name buffer.
  FeedText("include  first.cmd next\r\n");
  EXPECT_EQ(Next().code, 60);
  CommandScanner::ReadRawWordOnLine();
  EXPECT_EQ(std::string(CurrentToken().text), "first.cmd");
  EXPECT_EQ(CurrentToken().code, 60) << "the token code stays";
  EXPECT_EQ(std::string(CommandScanner::FileNameBuffer()), "first.cmd");
  EXPECT_EQ(Next().text, "next");
  ResetCommandDevices();

  FeedText("unload\r\n   mod.nlm\r\n");
  EXPECT_EQ(Next().code, tc::kIdentifier) << "target words are not built in";
  CommandScanner::ReadRawWordAcrossLines();
  EXPECT_EQ(std::string(CurrentToken().text), "mod.nlm");
  ResetCommandDevices();

  FeedText("unload\r\nx\r\n");
  Next();
  CommandScanner::ReadRawWordOnLine();
  EXPECT_EQ(CurrentToken().textLength, 0u) << "nothing on the line";
  ResetCommandDevices();

  FeedText("include " + std::string(256, 'f') + "\r\n");
  Next();
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::ReadRawWordOnLine(); }), 103u);
  ResetCommandDevices();

  // The rest of a line and a bracketed name, as counted strings.
  FeedText("#define m  a + b\r\n");
  EXPECT_EQ(Next().code, tc::kDefine);
  CommandScanner::DefinedAsNameOn();
  EXPECT_EQ(Next().text, "m");
  CommandScanner::ReadRestOfLine();
  EXPECT_EQ(std::string(CurrentToken().text, CurrentToken().textLength), Counted("  a + b"));
  EXPECT_EQ(Next().code, tc::kEndOfLine);
  ResetCommandDevices();

  FeedText("= [vp 1] rest\r\n");
  Next();
  CommandScanner::ReadBracketedName();
  EXPECT_EQ(std::string(CurrentToken().text, CurrentToken().textLength), Counted("vp 1"));
  EXPECT_EQ(Next().text, "rest");
  ResetCommandDevices();

  // Counted strings hold at most 254 characters.
  FeedText("m " + std::string(254, 'z') + "\r\n");
  Next();
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::ReadRestOfLine(); }), 205u);
  ResetCommandDevices();
  FeedText("= [" + std::string(255, 'z') + "]\r\n");
  Next();
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::ReadBracketedName(); }), 205u);
  ResetCommandDevices();
  FeedText("= [" + std::string(254, 'z') + "]\r\n");
  Next();
  CommandScanner::ReadBracketedName();
  EXPECT_EQ(CurrentToken().textLength, 255u);
}

// -- Look-ahead ---------------------------------------------------------------------------

TEST_F(ScannerTest, PushBackAndEndExpression) {
  FeedText("alpha beta\r\n");
  const Token alpha = Next();
  CommandScanner::PushBackToken();
  EXPECT_EQ(Next().text, alpha.text);
  CommandScanner::RequestEndExpression();
  CommandScanner::NextToken(true);
  EXPECT_EQ(CurrentToken().code, tc::kEndExpression);
  EXPECT_EQ(CurrentToken().subcode, 0u);
  EXPECT_EQ(std::string(CurrentToken().text), "alpha") << "the record keeps the restored token's text";
  EXPECT_EQ(Next().text, "beta");
  CommandScanner::PushBackToken();
  CommandScanner::ClearLookAheadFlags();
  EXPECT_EQ(Next().code, tc::kEndOfLine) << "the pending token is forgotten";
}

TEST_F(ScannerTest, NameEndingAnExpressionIsLookedUpAgain) {
  struct Case {
    const char* name;
    uint8_t savedCode;  // the token the hand-over saved
    uint8_t expected;
  };
  const Case cases[] = {
      {"after a name", tc::kIdentifier, 95},
      {"after an ampersand", tc::kAmpersand, 95},
      {"after a colon", tc::kColon, 95},
      {"after a multiplicative operator", tc::kMultiplicative, 95},
      {"after anything else", 23, tc::kIdentifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpressionSaveToken().code = c.savedCode;
    FeedText("to\r\n");
    CommandScanner::NameOnceOn();  // as the expression lexer reads it
    EXPECT_EQ(Next().code, tc::kIdentifier);
    CommandScanner::PushBackToken();
    EXPECT_EQ(Next().code, c.expected);
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, FailedExpressionBecomesAnErrorToken) {
  FeedText("a b\r\n");
  ExprParseFailed = 1;
  EXPECT_EQ(Next().code, tc::kError);
  EXPECT_EQ(ExprParseFailed, 0u);
  EXPECT_EQ(Next().text, "a") << "no input was taken";
  // A pending token is dropped when the failed expression ended in an operator.
  CommandScanner::PushBackToken();
  ExprParseFailed = 1;
  ExprOperandComplete = 0;
  EXPECT_EQ(Next().code, tc::kError);
  EXPECT_EQ(ExprParseFailed, 0u);
  EXPECT_EQ(Next().text, "b");
}

TEST_F(ScannerTest, UserBreakStopsTheTokenFetch) {
  FeedText("a b c\r\n");
  EXPECT_EQ(Next().text, "a");
  platform::RaiseUserBreak();
  DVError caught;
  try {
    CommandScanner::NextToken(true);
  } catch (const DVError& error) {
    caught = error;
  }
  EXPECT_EQ(caught.Number(), 401u);
  EXPECT_EQ(caught.Severity(), kSeverityWarning);
  EXPECT_EQ(caught.DisplayMode(), kDisplayNone);
  EXPECT_FALSE(platform::IsUserBreakPending()) << "the break is taken";
  // A break marked before a fetch begins is not the fetch's.
  MarkAllRecordsOfKindChanged(kRecordUserBreak);
  EXPECT_EQ(Next().text, "b");
}

// -- Macros --------------------------------------------------------------------------------

MemoryFileHandle MacroBody(const std::string& text) {
  MemoryFileHandle handle = kNullMemoryFile;
  EXPECT_TRUE(CreateMemoryFile(-1, 1, &handle).IsOkay());
  EXPECT_TRUE(WriteMemoryFile(handle, 1, static_cast<uint32_t>(text.size()), text.data()).IsOkay());
  return handle;
}

struct Released {
  uint8_t token;
  uint32_t value;
  std::string name;
};
std::vector<Released>& ReleasedDefinitions() {
  static std::vector<Released> released;
  return released;
}
void RecordRelease(uint8_t token, uint32_t value, const char* name) {
  ReleasedDefinitions().push_back(Released{token, value, name});
  if (token == tc::kMacroName) (void)DestroyMemoryFile(value);
}

TEST_F(ScannerTest, MacroNamesAreExpanded) {
  ReleasedDefinitions().clear();
  CommandScanner::SetDefinitionReleaser(&RecordRelease);
  const MemoryFileHandle sum = MacroBody("1 + two");
  const MemoryFileHandle two = MacroBody("2");
  CommandScanner::AddKeywordEntry(tc::kMacroName, 0, kKeywordDefined, sum, "sum");
  CommandScanner::AddKeywordEntry(tc::kMacroName, 0, kKeywordDefined, two, "two");
  PushCommandString("x = sum*3\r\n");
  std::vector<Token> tokens = ScanLine();
  std::vector<std::string> texts;
  for (const Token& t : tokens) texts.push_back(t.code == tc::kInteger ? std::to_string(t.text[0]) : t.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"x", "=", "1", "+", "2", "*", "3", "\r"}));
  ResetCommandDevices();
  ClearMacroText();

  // A name read as a name is not expanded.
  PushCommandString("sum\r\n");
  CommandScanner::NameOnceOn();
  tokens = ScanLine();
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].code, tc::kIdentifier);
  EXPECT_EQ(CurrentToken().code, tc::kEndOfLine);
  ResetCommandDevices();

  // Removing a macro releases its body through the define commands' releaser.
  SetTokenText(CurrentToken(), "sum");
  EXPECT_TRUE(CommandScanner::RemoveKeyword());
  ASSERT_EQ(ReleasedDefinitions().size(), 1u);
  EXPECT_EQ(ReleasedDefinitions()[0].token, tc::kMacroName);
  EXPECT_EQ(ReleasedDefinitions()[0].value, sum);
  EXPECT_EQ(ReleasedDefinitions()[0].name, "sum");
  EXPECT_FALSE(CommandScanner::LookupKeyword());
  SetTokenText(CurrentToken(), "two");
  EXPECT_TRUE(CommandScanner::RemoveKeyword());
  EXPECT_FALSE(CommandScanner::RemoveKeyword()) << "gone";
}

// -- Block-local names -----------------------------------------------------------------------

// Enters a local name as the define actions do: the type word's subcode gives the
// token code, then the name.
void EnterLocal(const char* name, uint8_t tokenCode) {
  CurrentToken().subcode = tokenCode;
  CommandScanner::SaveLocalTokenCode();
  SetTokenText(CurrentToken(), name);
  CurrentToken().subcode = 7;
  CommandScanner::EnterLocalName();
}

struct Lookup {
  bool found;
  uint8_t code;
  uint8_t flag;
};
Lookup LookUp(const char* name) {
  SetTokenText(CurrentToken(), name);
  CurrentToken().code = tc::kIdentifier;
  const bool found = CommandScanner::LookupKeyword();
  return Lookup{found, CurrentToken().code, CurrentToken().flag};
}

TEST_F(ScannerTest, BlockLocalNames) {
  CommandScanner::AddKeywordEntry(136, 11, kKeywordDefined, 5, "shared");
  const std::size_t builtIn = CommandScanner::Keywords().Count();

  CommandScanner::OpenBlock();
  EnterLocal("i", 125);
  EnterLocal("shared", 134);  // shadows the defined name
  EXPECT_EQ(LookUp("i").code, 125);
  EXPECT_EQ(LookUp("i").flag, kKeywordLocal);
  EXPECT_EQ(LookUp("shared").code, 134);
  EXPECT_EQ(CommandScanner::BlockDepth(), 1u);

  CommandScanner::OpenBlock();
  EnterLocal("j", 125);
  EXPECT_EQ(CommandScanner::BlockDepth(), 2u);
  SetTokenText(CurrentToken(), "keep");
  CommandScanner::CloseBlock();
  EXPECT_EQ(std::string(CurrentToken().text), "keep") << "the token record is left alone";
  EXPECT_FALSE(LookUp("j").found);
  EXPECT_TRUE(LookUp("i").found);
  EXPECT_EQ(CommandScanner::BlockDepth(), 1u);

  // A procedure scope inside the block: its names go at its end, the block's stay.
  CommandScanner::OpenScope();
  EnterLocal("p", 125);
  CommandScanner::CloseScope();
  EXPECT_FALSE(LookUp("p").found);
  EXPECT_TRUE(LookUp("i").found);
  EXPECT_EQ(CommandScanner::BlockDepth(), 1u);

  // A block inside a scope goes with the scope.
  CommandScanner::OpenScope();
  CommandScanner::OpenBlock();
  EnterLocal("q", 125);
  EXPECT_EQ(CommandScanner::BlockDepth(), 2u);
  CommandScanner::CloseScope();
  EXPECT_FALSE(LookUp("q").found);
  EXPECT_EQ(CommandScanner::BlockDepth(), 1u);

  CommandScanner::CloseBlock();
  EXPECT_FALSE(LookUp("i").found);
  const Lookup shared = LookUp("shared");
  EXPECT_EQ(shared.code, 136) << "the defined name shows again";
  EXPECT_EQ(shared.flag, kKeywordDefined);
  EXPECT_EQ(CommandScanner::BlockDepth(), 0u);
  EXPECT_EQ(CommandScanner::Keywords().Count(), builtIn);
}

TEST_F(ScannerTest, EndOfCommandRemovesEveryLocalName) {
  CommandScanner::AddKeywordEntry(136, 11, kKeywordDefined, 5, "global1");
  const std::size_t before = CommandScanner::Keywords().Count();
  const std::size_t entriesBefore = CommandScanner::KeywordEntries().LiveCount();
  for (const char* reset : {"end of command", "reset for command"}) {
    SCOPED_TRACE(reset);
    CommandScanner::OpenBlock();
    EnterLocal("a", 125);
    CommandScanner::OpenBlock();
    EnterLocal("b", 125);
    EnterLocal("global1", 125);
    CommandScanner::OpenScope();
    EnterLocal("c", 125);
    if (std::string(reset) == "end of command") {
      CommandScanner::RemoveAllLocalNames();
    } else {
      CommandScanner::ResetForCommand();
    }
    for (const char* name : {"a", "b", "c"}) EXPECT_FALSE(LookUp(name).found) << name;
    EXPECT_EQ(LookUp("global1").flag, kKeywordDefined);
    EXPECT_EQ(CommandScanner::BlockDepth(), 0u);
    EXPECT_EQ(CommandScanner::Keywords().Count(), before);
    EXPECT_EQ(CommandScanner::KeywordEntries().LiveCount(), entriesBefore);
    // The log is empty: closing a block now removes nothing.
    CommandScanner::CloseBlock();
    EXPECT_EQ(CommandScanner::Keywords().Count(), before);
  }
}

TEST_F(ScannerTest, ResetForCommandClearsLookAheadAndSwitches) {
  FeedText("a b\r\n");
  Next();
  CommandScanner::PushBackToken();
  CommandScanner::RequestEndExpression();
  CommandScanner::SetCExpressionWord(1);
  CommandScanner::NameAlwaysOn();
  CommandScanner::SaveModeFlags();
  CommandScanner::ResetForCommand();
  EXPECT_EQ(CommandScanner::CExpressionWord(), 0u);
  EXPECT_EQ(CommandScanner::ModeFlags().nameAlways, 0);
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::RestoreModeFlags(); }), 1u) << "the switch stack is empty";
  EXPECT_EQ(Next().text, "b");
}

// -- Literal actions ---------------------------------------------------------------------------

struct PushCase {
  const char* name;
  const char* input;
  uint8_t base;
  uint16_t kind;      // of the pushed value
  uint32_t thrown;    // message number, or 0
};

TEST_F(ScannerTest, IntegerLiteralsArePushedByRadixAndLength) {
  const PushCase cases[] = {
      {"decimal byte", "300", 10, kKindInt4, 0},
      {"decimal word", "65535", 10, kKindInt4, 0},
      {"decimal four bytes, top bit clear", "2147483647", 10, kKindInt4, 0},
      {"decimal four bytes, top bit set", "2147483648", 10, kKindInt8, 0},
      {"decimal eight bytes", "9223372036854775807", 10, kKindInt8, 0},
      {"decimal eight bytes, top bit set", "9223372036854775808", 10, 0, 131},
      {"decimal twelve bytes", "18446744073709551616", 10, 0, 131},
      {"hex byte", "0xff", 10, kKindOrd4, 0},
      {"hex four bytes", "0x80000000", 10, kKindOrd4, 0},
      {"hex eight bytes", "0x8000000000000000", 10, kKindOrd8, 0},
      {"hex twelve bytes", "0x10000000000000000", 10, kKindOrd12, 0},
      {"hex sixteen bytes", "0x1000000000000000000000000", 10, kKindOrd16, 0},
      {"binary", "0y1", 10, kKindOrd4, 0},
  };
  for (const PushCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    FeedText(std::string(c.input) + "\r\n");
    const Token literal = Next();
    ASSERT_EQ(literal.code, tc::kInteger);
    ValueStack::Reset();
    if (c.thrown != 0) {
      EXPECT_EQ(ErrorNumberOf([] { CommandScanner::PushInteger(); }), c.thrown);
      ResetCommandDevices();
      continue;
    }
    CommandScanner::PushInteger();
    ASSERT_EQ(ValueStack::TopKind(), c.kind);
    uint8_t value[ValueStack::kMaxItemSize] = {};
    ValueStack::Pop(value);
    const std::string expected = literal.text + std::string(16 - literal.text.size(), '\0');
    EXPECT_EQ(Printable(std::string(reinterpret_cast<char*>(value), GetValueKindSize(c.kind))),
              Printable(expected.substr(0, GetValueKindSize(c.kind))));
    ResetCommandDevices();
  }
}

TEST_F(ScannerTest, OtherLiteralsArePushed) {
  FeedText("'q' \"str\" 2.5 name\r\n");
  ValueStack::Reset();
  Next();
  CommandScanner::PushCharacter();
  EXPECT_EQ(ValueStack::TopKind(), kKindChar);
  uint8_t buffer[ValueStack::kMaxItemSize] = {};
  ValueStack::Pop(buffer);
  EXPECT_EQ(buffer[0], 'q');

  Next();
  CommandScanner::PushString();
  EXPECT_EQ(ValueStack::TopKind(), kKindLString);
  EXPECT_EQ(ValueStack::TopSize(), 4u);
  ValueStack::Pop(buffer);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), Counted("str"));

  Next();
  CommandScanner::PushReal();
  EXPECT_EQ(ValueStack::TopKind(), kKindReal10);
  ValueStack::Pop(buffer);
  EXPECT_EQ(RealOf(std::string(reinterpret_cast<char*>(buffer), 10)), 2.5L);

  Next();
  CommandScanner::PushName();
  EXPECT_EQ(ValueStack::TopKind(), kKindUnresolvedName);
  EXPECT_EQ(ValueStack::TopSize(), 4u);
  SetTokenText(CurrentToken(), "something else");
  CommandScanner::PopName();
  EXPECT_EQ(std::string(CurrentToken().text), "name");
  EXPECT_EQ(CurrentToken().textLength, 4u);
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);

  // The name routine refuses anything but a name.
  ValueStack::PushSized(kKindOrd2, 2, "\x01\x00");
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::PopName(); }), 72u);

  // The subcode as a constant: 1, 2 or 4 bytes, converted to ord2.
  for (uint16_t length : {1, 2, 4}) {
    SCOPED_TRACE(length);
    ValueStack::Reset();
    SetTokenBytes(CurrentToken(), "\x2a\x01\x00\x00", length);
    CommandScanner::PushTokenInteger();
    EXPECT_EQ(ValueStack::TopKind(), kKindOrd2);
    EXPECT_EQ(ValueStack::PopOrd2(), length == 1 ? 0x2a : 0x12a);
  }
}

// -- The keyword table ---------------------------------------------------------------------------

TEST_F(ScannerTest, DefinedNamesAndTargetWords) {
  CommandScanner::AddKeyword(18, 3, "eax");
  CommandScanner::InsertName("loadsym", 53, 0);
  FeedText("eax loadsym\r\n");
  const Token reg = Next();
  EXPECT_EQ(reg.code, tc::kRegister);
  EXPECT_EQ(reg.subcode, 3u);
  EXPECT_EQ(Next().code, 53);
  ResetCommandDevices();

  // A newer entry of a name hides the older one until it is removed.
  CommandScanner::AddKeywordEntry(tc::kProcedureName, 0, kKeywordDefined, 12, "eax");
  EXPECT_EQ(LookUp("eax").code, tc::kProcedureName);
  EXPECT_EQ(CurrentToken().value, 12u);
  EXPECT_TRUE(CommandScanner::LastLookupFound());
  EXPECT_EQ(CommandScanner::LastFoundEntry().value, 12u);
  EXPECT_TRUE(CommandScanner::RemoveKeyword());
  EXPECT_EQ(LookUp("eax").code, tc::kRegister);
  EXPECT_FALSE(LookUp("nothing").found);
  EXPECT_FALSE(CommandScanner::LastLookupFound());

  // A name longer than a token is refused.
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::AddKeyword(121, 0, std::string(256, 'l').c_str()); }), 1u);
}

// The keyword table as a caller sees it: the current entry's name, then every entry
// in walk order with what it keeps.
std::string KeywordTableSeen() {
  NameHashTable& table = CommandScanner::Keywords();
  char name[NameHashTable::kMaxNameLength + 1];
  uint16_t length = 0;
  table.CurrentName(&length, name, sizeof name);
  std::string seen = "current '" + std::string(name, length) + "'\n";
  table.ForEach([&](uint32_t id, bool&) {
    const KeywordEntry& entry = CommandScanner::KeywordEntries().Get(id);
    table.CurrentName(&length, name, sizeof name);
    seen += std::string(name, length) + " " + std::to_string(entry.token) + "." + std::to_string(entry.subcode) +
            " " + std::to_string(entry.flag) + " " + std::to_string(entry.value) + "\n";
  });
  return seen + std::to_string(CommandScanner::KeywordEntries().LiveCount()) + " live\n";
}

// Each start has the table of the first start, whatever the session before it entered,
// defined and removed; a session that removed a built-in word too.
TEST_F(ScannerTest, EachStartHasTheTableOfTheFirst) {
  const std::string first = KeywordTableSeen();
  for (int session = 0; session < 4; ++session) {
    SCOPED_TRACE("session " + std::to_string(session));
    CommandScanner::AddKeyword(18, 3, "eax");
    CommandScanner::AddKeywordEntry(tc::kProcedureName, 0, kKeywordDefined, 12, "eax");
    CommandScanner::AddKeywordEntry(tc::kMacroName, 0, kKeywordDefined, 13, "sum");
    EnterLocal("i", 125);
    SetTokenText(CurrentToken(), "eax");
    EXPECT_TRUE(CommandScanner::RemoveKeyword());
    LookUp(TokenTable()[5].text);
    if (session == 2) {
      SetTokenText(CurrentToken(), TokenTable()[7].text);
      EXPECT_TRUE(CommandScanner::RemoveKeyword());
    }
    CommandScanner::InitKeywords();
    EXPECT_EQ(KeywordTableSeen(), first);
  }
}

TEST_F(ScannerTest, ReleaserErrorsKeepTheEntry) {
  CommandScanner::SetDefinitionReleaser([](uint8_t, uint32_t, const char* name) {
    DVError error(35, kSeverityError, kDisplayByFocus);
    error.SetArg(0, name);
    throw error;
  });
  CommandScanner::AddKeywordEntry(200, 0, kKeywordDefined, 3, "v");
  SetTokenText(CurrentToken(), "v");
  EXPECT_EQ(ErrorNumberOf([] { CommandScanner::RemoveKeyword(); }), 35u);
  EXPECT_TRUE(LookUp("v").found);
  CommandScanner::SetDefinitionReleaser(nullptr);
  SetTokenText(CurrentToken(), "v");
  EXPECT_TRUE(CommandScanner::RemoveKeyword());
}

}  // namespace
}  // namespace zentor
