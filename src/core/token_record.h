#pragma once
// The current-token record: the command scanner writes every token it produces into
// the one global record, and the command parser, the semantic actions and the postfix
// executor's string instruction all read it. A second record holds a pushed-back
// token (the scanner's), and the expression hand-over keeps a third one as its save
// record while a C expression is parsed.
//
// What `text` holds, by token code:
//   words, operators, raw words: the characters (at most 255), NUL-terminated;
//   INTEGER: the value as a little-endian unsigned integer of 1, 2, 4, 8, 12 or 16
//            bytes (the smallest that holds it); `tag` is the radix (2, 10 or 16);
//   REAL: the value in the 10-byte extended IEEE format;
//   STRING: a counted string, the character count (0..254) first, then the characters;
//   CHARACTER: the one character;
//   HASH_NUMBER: a 16-bit value, length 2.

#include <cstddef>
#include <cstdint>

namespace zentor {

// Token codes the scanner produces that no keyword text carries, and the codes of
// the few keywords the scanner itself needs to know.
namespace token_code {
inline constexpr uint8_t kHashNumber = 0;
inline constexpr uint8_t kColon = 2;
inline constexpr uint8_t kBackslash = 3;
inline constexpr uint8_t kEndOfLine = 4;
inline constexpr uint8_t kMultiplicative = 5;
inline constexpr uint8_t kRegister = 18;
inline constexpr uint8_t kQuestion = 44;
inline constexpr uint8_t kProcedureName = 84;
inline constexpr uint8_t kIdentifier = 121;
inline constexpr uint8_t kDefine = 124;
inline constexpr uint8_t kCharacter = 138;
inline constexpr uint8_t kDollar = 143;
inline constexpr uint8_t kRawWord = 153;
inline constexpr uint8_t kEndExpression = 164;
inline constexpr uint8_t kAmpersand = 165;
inline constexpr uint8_t kReal = 167;
inline constexpr uint8_t kInteger = 170;
inline constexpr uint8_t kString = 175;
inline constexpr uint8_t kMacroName = 252;
inline constexpr uint8_t kError = 253;
// An operator or punctuation text before the keyword look-up; it stays so when the
// text is no keyword.
inline constexpr uint8_t kUnknown = 255;
}  // namespace token_code

// The flag of a keyword entry: who made the name.
inline constexpr uint8_t kKeywordBuiltIn = 0;
inline constexpr uint8_t kKeywordDefined = 1;
inline constexpr uint8_t kKeywordLocal = 2;

struct TokenRecord {
  static constexpr uint32_t kTextCapacity = 510;
  // Words, operators and raw words longer than this become the error token.
  static constexpr uint32_t kMaxWordLength = 255;
  // A counted string holds its count byte and at most this many characters.
  static constexpr uint32_t kMaxStringLength = 254;

  // The token code (terminal symbol of the command grammar).
  uint8_t code = 0;
  // Tells apart the words that share a token code.
  uint16_t subcode = 0;
  // The flag of the keyword entry found (kKeywordBuiltIn, kKeywordDefined,
  // kKeywordLocal).
  uint8_t flag = 0;
  // The value word of the keyword entry found: the id of the defined object (for a
  // macro name, the MemoryFileHandle of the macro's body); 0 for built-in words.
  uint32_t value = 0;
  // Input column at which the token began (for the syntax-error caret).
  uint8_t column = 0;
  // Number of bytes in `text`.
  uint16_t textLength = 0;
  char text[kTextCapacity] = {};
  // Number of characters the scanner has appended so far.
  uint16_t scanned = 0;
  // For integers the radix; for string instructions the value kind.
  uint16_t tag = 0;
};

// The one current-token record.
TokenRecord& CurrentToken();
// The save record of the expression hand-over: the token that was current when the
// C expression parser took over. The scanner reads its token code when it delivers a
// pushed-back name again.
TokenRecord& ExpressionSaveToken();

// Copies `text` (cut to fit, NUL-terminated) into the record and sets its length.
void SetTokenText(TokenRecord& token, const char* text);
// Copies `length` bytes (cut to fit) into the record, NUL-terminates them and sets
// the length.
void SetTokenBytes(TokenRecord& token, const void* bytes, std::size_t length);

}  // namespace zentor
