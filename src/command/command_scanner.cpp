#include "command/command_scanner.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "command/token_table.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/macro_device.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/real_temp_ring.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"

namespace zentor {

uint16_t ExprOperandComplete = 0;
uint16_t ExprParseFailed = 0;

namespace {

constexpr uint32_t kMsgSyntaxCaretAfter = 103;
constexpr uint32_t kMsgSyntaxCaretBefore = 104;
constexpr uint32_t kMsgIntegerTooLarge = 131;
constexpr uint32_t kMsgUnsignedTooLarge = 141;
constexpr uint32_t kMsgBadPostfixCode = 72;
constexpr uint32_t kMsgStringTooLong = 205;
constexpr uint32_t kMsgUserBreak = 401;

constexpr uint8_t kCarriageReturn = '\r';
constexpr uint8_t kLineFeed = '\n';
constexpr uint8_t kEndOfFileMark = 0x1A;

// Items of the local-name log, read from its end: a marker byte, or a name item
// (the name's bytes, its u16 length, then kLogName).
constexpr uint8_t kLogBlockMarker = 1;
constexpr uint8_t kLogScopeMarker = 2;
constexpr uint8_t kLogName = 3;

struct ScannerState {
  std::unique_ptr<NameHashTable> table;
  KeywordEntryPool entries;
  // Pushed and popped around every block a loop runs: a plain byte vector.
  std::vector<uint8_t> localNameLog;
  MemoryFileHandle flagStack = kNullMemoryFile;
  uint16_t blockDepth = 0;
  // Block-local entries in the table: every command's start removes them all, and
  // mostly there are none, so the table need not be walked for them.
  uint32_t localEntries = 0;
  // Entries that define an object (value not 0): the end of a session walks the
  // table for them only when there are some.
  uint32_t definingEntries = 0;
  uint8_t localTokenCode = 0;
  ScannerModeFlags modes;
  TokenRecord pushBack;
  bool pushBackPending = false;
  bool endExpressionRequested = false;
  // Set by anything that makes the token being scanned bad; the token then becomes
  // ERROR_TOKEN.
  bool errorMark = false;
  bool lastLookupFound = false;
  KeywordEntry lastFoundEntry;
  uint32_t cExpressionWord = 0;
  char fileName[TokenRecord::kMaxWordLength + 1] = {};
  CommandScanner::DefinitionReleaser releaser = nullptr;
};

ScannerState g_scanner;

// -- Characters ------------------------------------------------------------------------

uint8_t Current() { return CurrentChar(); }
void Advance() { ReadNextChar(); }

bool IsLetter(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsOctalDigit(uint8_t c) { return c >= '0' && c <= '7'; }
bool IsHexDigit(uint8_t c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
uint8_t HexValue(uint8_t c) {
  if (IsDigit(c)) return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  return static_cast<uint8_t>(c - 'A' + 10);
}
uint8_t Lower(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + ('a' - 'A')) : c; }
bool IsNameExtra(uint8_t c) { return c == '?' || c == '_' || c == '@' || c == '$'; }
bool IsNameChar(uint8_t c) { return IsLetter(c) || IsDigit(c) || IsNameExtra(c); }
bool IsBlank(uint8_t c) { return c == ' ' || c == kLineFeed || c == '\t' || c == kEndOfFileMark; }
bool IsLineEnd(uint8_t c) { return c == kCarriageReturn || c == kLineFeed; }

bool IsSingleCharacterToken(uint8_t c) {
  switch (c) {
    case '(': case '@': case '{': case '}': case ':': case '~':
    case ')': case '[': case ']': case ';': case ',': case '.':
      return true;
    default:
      return false;
  }
}

// A command string is a whole text (a grammar object, a command from the GUI):
// nothing that follows its end belongs to it, so no construct may go on past its
// line end into the input underneath.
bool InputMayGoOnPastLineEnd() { return &CurrentDevice() != &CommandStringDevice(); }

bool JoinsLines() { return g_scanner.modes.lineContinuation != 0 && InputMayGoOnPastLineEnd(); }

// Steps over a line end (CR, LF or CR LF).
void SkipLineEnd() {
  if (Current() == kCarriageReturn) Advance();
  if (Current() == kLineFeed) Advance();
}

// -- Token text ------------------------------------------------------------------------

// The token record keeps its column in a byte: a column past 255 stays at 255.
uint8_t ColumnByte(uint16_t column) { return static_cast<uint8_t>(column > 0xFF ? 0xFF : column); }

void StartToken(TokenRecord& token) {
  token.code = token_code::kUnknown;
  token.subcode = 0;
  token.flag = 0;
  token.value = 0;
  token.tag = 0;
  token.scanned = 0;
  token.textLength = 0;
  token.text[0] = '\0';
  token.column = ColumnByte(EchoColumn());
  g_scanner.errorMark = false;
  NoteTokenStart();
}

// Puts a byte into the text, or sets the error mark when the text already holds the
// longest word.
void AppendByte(TokenRecord& token, uint8_t byte) {
  if (token.scanned >= TokenRecord::kMaxWordLength) {
    g_scanner.errorMark = true;
    return;
  }
  token.text[token.scanned++] = static_cast<char>(byte);
}

void AppendCurrent(TokenRecord& token) {
  AppendByte(token, Current());
  Advance();
}

void FinishWordText(TokenRecord& token) {
  token.textLength = token.scanned;
  token.text[token.textLength] = '\0';
}

void SetCode(TokenRecord& token, uint8_t code) {
  token.code = code;
  token.subcode = code;
}

// The caret message the parser shows for a bad token, for the reading actions that
// meet an over-long word after the parser has moved on.
[[noreturn]] void ThrowSyntaxErrorAt(uint8_t column) {
  uint32_t number = kMsgSyntaxCaretAfter;
  uint32_t blanks = column;
  if (column >= 64) {
    number = kMsgSyntaxCaretBefore;
    blanks = column - 14u;
  }
  if (blanks > 80) blanks = 80;
  DVError error(number, kSeveritySyntax, kDisplayCommandOutput);
  error.SetArg(0, std::string(blanks, ' ').c_str());
  throw error;
}

[[noreturn]] void ThrowIntegerTooLarge(uint32_t radix) {
  throw DVError(radix == 10 ? kMsgIntegerTooLarge : kMsgUnsignedTooLarge, kSeverityError, kDisplayByFocus);
}

// -- Comments --------------------------------------------------------------------------

// After "/*": up to and past "*/". At a line end the comment stops there (the line
// end stays for the next token) unless lines are joined.
void SkipComment() {
  for (;;) {
    const uint8_t c = Current();
    if (c == '*') {
      Advance();
      if (Current() == '/') {
        Advance();
        return;
      }
      continue;
    }
    if (c == kCarriageReturn) {
      if (!JoinsLines()) return;
      Advance();
      continue;
    }
    Advance();
  }
}

// At a "/": steps over it, and over the comment when "/*" opens one. Answers whether a
// comment was skipped; otherwise the "/" stands alone and is the caller's to keep.
bool SkipSlashOrComment() {
  Advance();
  if (Current() != '*') return false;
  Advance();
  SkipComment();
  return true;
}

// At a backslash: steps over it, and over the line end after it when lines are joined
// there. Answers whether the lines were joined; otherwise the backslash stands alone
// and is the caller's to keep.
bool SkipBackslashOrJoinLines() {
  Advance();
  if (!IsLineEnd(Current()) || !JoinsLines()) return false;
  SkipLineEnd();
  return true;
}

// -- Names and operators ---------------------------------------------------------------

// Letters, digits, "?_@$" and "::" go on the name; a lone colon or three colons make
// it bad (a colon inside a name comes exactly in pairs).
void ScanNameRest(TokenRecord& token) {
  for (;;) {
    const uint8_t c = Current();
    if (IsNameChar(c)) {
      AppendCurrent(token);
      continue;
    }
    if (c != ':') break;
    AppendCurrent(token);
    if (Current() != ':') {
      g_scanner.errorMark = true;
      continue;
    }
    AppendCurrent(token);
    if (Current() == ':') {
      g_scanner.errorMark = true;
      while (Current() == ':') AppendCurrent(token);
    }
  }
  SetCode(token, token_code::kIdentifier);
}

bool AppendIfCurrentIs(TokenRecord& token, const char* followers) {
  for (const char* f = followers; *f != '\0'; ++f) {
    if (Current() == static_cast<uint8_t>(*f)) {
      AppendCurrent(token);
      return true;
    }
  }
  return false;
}

// Operators taken greedily; their codes come from the keyword look-up.
bool ScanOperator(TokenRecord& token) {
  switch (Current()) {
    case '!': case '=': case '%': case '*': case '^':
      AppendCurrent(token);
      AppendIfCurrentIs(token, "=");
      return true;
    case '&':
      AppendCurrent(token);
      AppendIfCurrentIs(token, "&=");
      return true;
    case '+':
      AppendCurrent(token);
      AppendIfCurrentIs(token, "+=");
      return true;
    case '-':
      AppendCurrent(token);
      AppendIfCurrentIs(token, ">=-");
      return true;
    case '|':
      AppendCurrent(token);
      AppendIfCurrentIs(token, "|=");
      return true;
    case '<':
      AppendCurrent(token);
      if (AppendIfCurrentIs(token, "<")) {
        AppendIfCurrentIs(token, "=");
      } else {
        AppendIfCurrentIs(token, ">=");
      }
      return true;
    case '>':
      AppendCurrent(token);
      AppendIfCurrentIs(token, ">");  // ">>", then ">>=" or ">="
      AppendIfCurrentIs(token, "=");
      return true;
    default:
      return false;
  }
}

// -- Numbers ---------------------------------------------------------------------------

enum class NumberState {
  kZero, kDigits, kHexDigits, kBinPrefix, kBinDigits, kDecPrefix, kDecDigits, kHexPrefix,
  kPoint, kFraction, kExponent, kExpSign, kExpDigits, kSuffix,
};
enum class NumberEnd { kNone, kInteger, kReal, kError };

// A 128-bit unsigned value as eight 16-bit words, least significant first.
struct WideValue {
  uint16_t words[8] = {};

  // value = value * factor + addend; false when the result does not fit.
  bool MultiplyAdd(uint32_t factor, uint32_t addend) {
    uint32_t carry = addend;
    for (uint16_t& word : words) {
      const uint32_t product = static_cast<uint32_t>(word) * factor + carry;
      word = static_cast<uint16_t>(product & 0xFFFF);
      carry = product >> 16;
    }
    return carry == 0;
  }
};

struct NumberScan {
  NumberState state = NumberState::kZero;
  uint32_t prefixRadix = 0;
  // Times the value is multiplied by 1024 ("k" once, "m" twice).
  uint32_t suffixSteps = 0;
};

// One step of the number state machine on the (lowered) current character: takes
// it and answers kNone, or ends the number without taking it.
NumberEnd NumberStep(TokenRecord& token, NumberScan& scan) {
  const uint8_t c = Lower(Current());
  const bool digit = IsDigit(c);
  const bool hexLetter = c >= 'a' && c <= 'f';
  const bool sizeLetter = c == 'k' || c == 'm';
  auto take = [&](NumberState next) {
    AppendByte(token, c);
    Advance();
    scan.state = next;
    return NumberEnd::kNone;
  };
  auto skip = [&](NumberState next) {
    Advance();
    scan.state = next;
    return NumberEnd::kNone;
  };
  auto suffix = [&]() {
    scan.suffixSteps = c == 'k' ? 1 : 2;
    return skip(NumberState::kSuffix);
  };
  switch (scan.state) {
    case NumberState::kZero:
      if (digit) return take(NumberState::kDigits);
      if (hexLetter) return take(NumberState::kHexDigits);
      if (sizeLetter) return suffix();
      if (c == 'n') {
        scan.prefixRadix = 10;
        return skip(NumberState::kDecPrefix);
      }
      if (c == 'x') {
        scan.prefixRadix = 16;
        return skip(NumberState::kHexPrefix);
      }
      if (c == 'y') {
        scan.prefixRadix = 2;
        return skip(NumberState::kBinPrefix);
      }
      if (c == '.') return take(NumberState::kPoint);
      return NumberEnd::kInteger;
    case NumberState::kDigits:
      if (digit) return take(NumberState::kDigits);
      if (hexLetter) return take(NumberState::kHexDigits);
      if (sizeLetter) return suffix();
      if (c == '.') return take(NumberState::kPoint);
      return NumberEnd::kInteger;
    case NumberState::kHexDigits:
      if (digit || hexLetter) return take(NumberState::kHexDigits);
      if (sizeLetter) return suffix();
      if (c == '.') return NumberEnd::kError;
      return NumberEnd::kInteger;
    case NumberState::kBinPrefix:
      if (c == '0' || c == '1') return take(NumberState::kBinDigits);
      return NumberEnd::kError;
    case NumberState::kBinDigits:
      if (c == '0' || c == '1') return take(NumberState::kBinDigits);
      if (sizeLetter) return suffix();
      if (digit || c == '.') return NumberEnd::kError;
      return NumberEnd::kInteger;
    case NumberState::kDecPrefix:
      if (digit) return take(NumberState::kDecDigits);
      return NumberEnd::kError;
    case NumberState::kDecDigits:
      if (digit) return take(NumberState::kDecDigits);
      if (sizeLetter) return suffix();
      if (c == '.') return take(NumberState::kPoint);
      return NumberEnd::kInteger;
    case NumberState::kHexPrefix:
      if (digit || hexLetter) return take(NumberState::kHexDigits);
      return NumberEnd::kError;
    case NumberState::kPoint:
    case NumberState::kFraction:
      if (digit) return take(NumberState::kFraction);
      if (c == 'e') return take(NumberState::kExponent);
      return NumberEnd::kReal;
    case NumberState::kExponent:
      if (digit) return take(NumberState::kExpDigits);
      if (c == '+' || c == '-') return take(NumberState::kExpSign);
      return NumberEnd::kError;
    case NumberState::kExpSign:
      if (digit) return take(NumberState::kExpDigits);
      return NumberEnd::kError;
    case NumberState::kExpDigits:
      if (digit) return take(NumberState::kExpDigits);
      return NumberEnd::kReal;
    case NumberState::kSuffix:
      return NumberEnd::kInteger;
  }
  return NumberEnd::kError;
}

void ConvertInteger(TokenRecord& token, const NumberScan& scan) {
  uint32_t radix = scan.prefixRadix;
  if (radix == 0) radix = g_scanner.modes.decimalDefault != 0 || scan.suffixSteps != 0 ? 10 : GetNumberBase();
  WideValue value;
  for (uint16_t i = 0; i < token.scanned; ++i) {
    const auto c = static_cast<uint8_t>(token.text[i]);
    const uint32_t digit = IsDigit(c) ? c - '0' : c - 'a' + 10u;
    if (digit >= radix) {
      g_scanner.errorMark = true;
      return;
    }
    if (!value.MultiplyAdd(radix, digit)) ThrowIntegerTooLarge(radix);
  }
  for (uint32_t step = 0; step < scan.suffixSteps; ++step) {
    if (!value.MultiplyAdd(1024, 0)) ThrowIntegerTooLarge(radix);
  }
  uint8_t bytes[16];
  int highest = -1;
  for (int i = 0; i < 8; ++i) value_bytes::StoreU16(bytes + 2 * i, value.words[i]);
  for (int i = 0; i < 16; ++i) {
    if (bytes[i] != 0) highest = i;
  }
  uint16_t length = 16;
  for (uint16_t size : {1, 2, 4, 8, 12}) {
    if (highest < size) {
      length = size;
      break;
    }
  }
  std::memcpy(token.text, bytes, sizeof bytes);
  token.text[sizeof bytes] = '\0';
  token.textLength = length;
  token.tag = static_cast<uint16_t>(radix);
  SetCode(token, token_code::kInteger);
}

void ConvertReal(TokenRecord& token) {
  char digits[TokenRecord::kMaxWordLength + 1];
  std::memcpy(digits, token.text, token.scanned);
  digits[token.scanned] = '\0';
  uint8_t value[16] = {};
  RealConversionRequest request;
  request.m_value = value;
  request.m_sizeKind = kRealSizeKind10;
  request.m_text = digits;
  if (TextToReal(request) == 0) {
    g_scanner.errorMark = true;
    return;
  }
  uint16_t length = GetValueKindSize(kKindReal10);
  if (length > sizeof value) length = sizeof value;
  std::memcpy(token.text, value, length);
  token.text[length] = '\0';
  token.textLength = length;
  token.tag = 10;
  SetCode(token, token_code::kReal);
}

// Reads a number from its first digit. The character that ends it is not taken.
void ScanNumber(TokenRecord& token) {
  NumberScan scan;
  scan.state = Current() == '0' ? NumberState::kZero : NumberState::kDigits;
  AppendCurrent(token);
  NumberEnd end = NumberEnd::kNone;
  while (end == NumberEnd::kNone) end = NumberStep(token, scan);
  if (end == NumberEnd::kError) g_scanner.errorMark = true;
  if (g_scanner.errorMark) {
    FinishWordText(token);
    return;
  }
  if (end == NumberEnd::kReal) {
    ConvertReal(token);
  } else {
    ConvertInteger(token, scan);
  }
  if (g_scanner.errorMark) FinishWordText(token);
}

// "#" and decimal digits: a 16-bit line number. A number that does not fit 16 bits
// raises 131 once all its digits are read.
void ScanHashNumber(TokenRecord& token) {
  uint32_t value = 0;
  bool tooLarge = false;
  while (IsDigit(Current())) {
    if (!tooLarge) {
      value = value * 10 + (Current() - '0');
      if (value > 0xFFFF) tooLarge = true;
    }
    Advance();
  }
  if (tooLarge) ThrowIntegerTooLarge(10);
  value_bytes::StoreU16(reinterpret_cast<uint8_t*>(token.text), static_cast<uint16_t>(value));
  token.text[2] = '\0';
  token.textLength = 2;
  token.scanned = 2;
  token.tag = 10;
  SetCode(token, token_code::kHashNumber);
}

// -- Quoted literals -------------------------------------------------------------------

// After a backslash inside a literal. Answers whether a byte was produced; line
// joins and dropped escapes produce none. A line end that may not be joined marks the
// literal bad and stays in the input.
bool ReadEscape(uint8_t* out) {
  Advance();
  const uint8_t c = Current();
  if (IsLineEnd(c)) {
    if (JoinsLines()) {
      SkipLineEnd();
    } else {
      g_scanner.errorMark = true;
    }
    return false;
  }
  switch (c) {
    case '"': case '\'': case '?': case '\\':
      *out = c;
      Advance();
      return true;
    case 'a': *out = 7; Advance(); return true;
    case 'b': *out = 8; Advance(); return true;
    case 'f': *out = 12; Advance(); return true;
    case 'n': *out = 10; Advance(); return true;
    case 'r': *out = 13; Advance(); return true;
    case 't': *out = 9; Advance(); return true;
    case 'v': *out = 11; Advance(); return true;
    case 'x': {
      Advance();
      uint32_t value = 0;
      for (int n = 0; n < 2 && IsHexDigit(Current()); ++n) {
        value = value * 16 + HexValue(Current());
        Advance();
      }
      *out = static_cast<uint8_t>(value);
      return true;
    }
    default:
      break;
  }
  if (IsOctalDigit(c)) {
    uint32_t value = 0;
    for (int n = 0; n < 3 && IsOctalDigit(Current()); ++n) {
      value = value * 8 + (Current() - '0');
      Advance();
    }
    *out = static_cast<uint8_t>(value & 0xFF);
    return true;
  }
  Advance();
  return false;
}

// At the opening quote of a literal: hands each byte of the literal to `takeByte`, up
// to and past the closing `quote`. A line end before it marks the literal bad and
// stays in the input.
template <typename TakeByte>
void ReadQuotedBytes(uint8_t quote, TakeByte takeByte) {
  Advance();
  for (;;) {
    const uint8_t c = Current();
    if (c == quote) {
      Advance();
      return;
    }
    if (c == kCarriageReturn) {
      g_scanner.errorMark = true;
      return;
    }
    uint8_t byte = c;
    if (c == '\\') {
      if (!ReadEscape(&byte)) continue;
    } else {
      Advance();
    }
    takeByte(byte);
  }
}

void ScanString(TokenRecord& token) {
  uint32_t count = 0;
  ReadQuotedBytes('"', [&token, &count](uint8_t byte) {
    if (count >= TokenRecord::kMaxStringLength) {
      g_scanner.errorMark = true;
    } else {
      token.text[1 + count++] = static_cast<char>(byte);
    }
  });
  token.text[0] = static_cast<char>(count);
  token.text[count + 1] = '\0';
  token.textLength = static_cast<uint16_t>(count + 1);
  token.scanned = token.textLength;
  SetCode(token, token_code::kString);
}

void ScanCharacter(TokenRecord& token) {
  bool have = false;
  uint8_t value = 0;
  ReadQuotedBytes('\'', [&have, &value](uint8_t byte) {
    if (have) {
      g_scanner.errorMark = true;  // a second character
    } else {
      value = byte;
      have = true;
    }
  });
  if (!have) g_scanner.errorMark = true;
  token.text[0] = static_cast<char>(value);
  token.text[1] = '\0';
  token.textLength = 1;
  token.scanned = 1;
  SetCode(token, token_code::kCharacter);
}

// -- Raw words -------------------------------------------------------------------------

bool EndsRawWord(uint8_t c) {
  return c == kCarriageReturn || c == kLineFeed || c == '\t' || c == ',' || c == ';' || c == ' ';
}

// Skips tabs, blanks and comments, then takes characters up to a line end, tab, ",",
// ";" or blank. With `acrossLines` an empty line is passed over while lines may be
// joined. Sets the token's column at the word.
void ReadRawWord(TokenRecord& token, bool acrossLines) {
  for (;;) {
    bool slashTaken = false;
    for (;;) {
      const uint8_t c = Current();
      if (c == ' ' || c == '\t') {
        Advance();
        continue;
      }
      if (c == '/') {
        const uint16_t column = EchoColumn();
        if (SkipSlashOrComment()) continue;
        token.column = ColumnByte(column);
        AppendByte(token, '/');
        slashTaken = true;
      }
      break;
    }
    if (!slashTaken) token.column = ColumnByte(EchoColumn());
    while (!EndsRawWord(Current())) AppendCurrent(token);
    if (token.scanned > 0) return;
    if (acrossLines && IsLineEnd(Current()) && JoinsLines()) {
      SkipLineEnd();
      continue;
    }
    return;
  }
}

// The path text after a raw word: up to a line end, "," or ";", comments skipped and
// a backslash before a line end joining the lines.
void ReadPathText(TokenRecord& token) {
  for (;;) {
    const uint8_t c = Current();
    if (c == kCarriageReturn || c == kLineFeed || c == ',' || c == ';') return;
    if (c == '/') {
      if (!SkipSlashOrComment()) AppendByte(token, '/');
      continue;
    }
    if (c == '\\') {
      if (!SkipBackslashOrJoinLines()) AppendByte(token, '\\');
      continue;
    }
    AppendCurrent(token);
  }
}

void ScanRawWordToken(TokenRecord& token) {
  StartToken(token);
  ReadRawWord(token, g_scanner.modes.rawWordAcrossLines != 0);
  ReadPathText(token);
  while (token.scanned > 0 && (token.text[token.scanned - 1] == ' ' || token.text[token.scanned - 1] == '\t')) {
    --token.scanned;
  }
  FinishWordText(token);
  SetCode(token, g_scanner.errorMark ? token_code::kError : token_code::kRawWord);
}

void CopyToFileNameBuffer(const TokenRecord& token) {
  const std::size_t length =
      token.textLength < sizeof g_scanner.fileName ? token.textLength : sizeof g_scanner.fileName - 1;
  std::memcpy(g_scanner.fileName, token.text, length);
  g_scanner.fileName[length] = '\0';
}

// The reading actions work on the current token in place.
void ReadRawWordAction(bool acrossLines) {
  TokenRecord& token = CurrentToken();
  token.scanned = 0;
  g_scanner.errorMark = false;
  ReadRawWord(token, acrossLines);
  FinishWordText(token);
  if (g_scanner.errorMark) {
    g_scanner.errorMark = false;
    ThrowSyntaxErrorAt(token.column);
  }
  CopyToFileNameBuffer(token);
}

// Stores a counted string into the current token.
void StoreCountedString(const std::vector<uint8_t>& characters) {
  if (characters.size() > TokenRecord::kMaxStringLength) {
    throw DVError(kMsgStringTooLong, kSeverityError, kDisplayByFocus);
  }
  TokenRecord& token = CurrentToken();
  token.text[0] = static_cast<char>(characters.size());
  if (!characters.empty()) std::memcpy(token.text + 1, characters.data(), characters.size());
  token.text[characters.size() + 1] = '\0';
  token.textLength = static_cast<uint16_t>(characters.size() + 1);
  token.scanned = token.textLength;
  token.tag = 0;
}

// -- The scanner proper ----------------------------------------------------------------

// Scans one token into the current record (the token code of words and operators is
// settled by the keyword look-up afterwards).
void ScanToken() {
  TokenRecord& token = CurrentToken();
  if (g_scanner.modes.rawWord != 0) {
    ScanRawWordToken(token);
    return;
  }
  for (;;) {  // comments and joined lines start over here
    while (IsBlank(Current())) Advance();
    StartToken(token);
    if (ExprParseFailed != 0) {
      // A failed C expression reaches the command parser as a bad token.
      ExprParseFailed = 0;
      g_scanner.errorMark = true;
      break;
    }
    const uint8_t c = Current();
    if (c == kCarriageReturn) {
      if (g_scanner.cExpressionWord != 0) {
        if (ExprOperandComplete == 0 && InputMayGoOnPastLineEnd()) {
          // The expression so far ends in an operator or an opening bracket: it goes
          // on on the next line.
          SkipLineEnd();
          continue;
        }
        ExprOperandComplete = 0;
      }
      AppendCurrent(token);
      SetCode(token, token_code::kEndOfLine);
      break;
    }
    if (IsSingleCharacterToken(c)) {
      AppendCurrent(token);
      break;
    }
    if (IsDigit(c)) {
      ScanNumber(token);
      if (g_scanner.errorMark) break;
      return;  // the literal's text is complete
    }
    if (c == '?') {
      AppendCurrent(token);
      SetCode(token, token_code::kQuestion);
      break;
    }
    if (c == '$') {
      AppendCurrent(token);
      if (IsNameChar(Current())) {
        ScanNameRest(token);
      } else {
        SetCode(token, token_code::kDollar);
      }
      break;
    }
    if (IsLetter(c) || IsNameExtra(c)) {
      ScanNameRest(token);
      break;
    }
    if (c == '#') {
      AppendCurrent(token);
      if (IsDigit(Current())) {
        ScanHashNumber(token);
        return;
      }
      if (IsLetter(Current()) || IsNameExtra(Current())) {
        ScanNameRest(token);
      } else {
        g_scanner.errorMark = true;
      }
      break;
    }
    if (c == '/') {
      if (SkipSlashOrComment()) continue;
      AppendByte(token, '/');
      AppendIfCurrentIs(token, "=");
      break;
    }
    if (c == '\\') {
      if (SkipBackslashOrJoinLines()) continue;
      AppendByte(token, '\\');
      break;
    }
    if (c == '"') {
      ScanString(token);
      if (g_scanner.errorMark) SetCode(token, token_code::kError);
      return;
    }
    if (c == '\'') {
      ScanCharacter(token);
      if (g_scanner.errorMark) SetCode(token, token_code::kError);
      return;
    }
    if (ScanOperator(token)) break;
    AppendCurrent(token);
    g_scanner.errorMark = true;
    break;
  }
  FinishWordText(token);
  if (g_scanner.errorMark) SetCode(token, token_code::kError);
}

bool FollowsAsNameInExpression(uint8_t savedCode) {
  return savedCode == token_code::kIdentifier || savedCode == token_code::kAmpersand ||
         savedCode == token_code::kColon || savedCode == token_code::kMultiplicative;
}

// The keyword look-up of a scanned word or operator, and the mode switches that turn
// a keyword read as a word back into a name.
void ApplyKeywordRules(TokenRecord& token) {
  const bool scannedAsName = token.code == token_code::kIdentifier;
  if (token.code == token_code::kIdentifier || token.code == token_code::kUnknown) {
    const bool found = CommandScanner::LookupKeyword();
    const ScannerModeFlags& modes = g_scanner.modes;
    if (scannedAsName && found &&
        (modes.nameAlways != 0 || modes.nameOnce != 0 || modes.rawWord != 0 ||
         (modes.definedAsName != 0 && g_scanner.lastFoundEntry.flag != kKeywordBuiltIn))) {
      token.code = token_code::kIdentifier;
    }
  }
}

// A delivered token uses up the switches that hold for one token.
void UseUpOneTokenSwitches() {
  ScannerModeFlags& modes = g_scanner.modes;
  if (modes.nameSticky == 0) modes.nameOnce = 0;
  modes.rawWord = 0;
  modes.rawWordAcrossLines = 0;
  modes.definedAsName = 0;
}

// The fetch watches for breaks for as long as it runs, so a break taken elsewhere
// before it began cannot stop it; the watch's check also asks the GUI for a break
// typed while it waits.
void PollUserBreak(BreakWatch& monitor) {
  if (monitor.TestAndClearChanged() != 0) throw DVError(kMsgUserBreak, kSeverityWarning, kDisplayNone);
}

// -- Keyword table ---------------------------------------------------------------------

NameHashTable& Table() {
  if (g_scanner.table == nullptr) CommandScanner::InitKeywords();
  return *g_scanner.table;
}

MemoryFile& FileOf(MemoryFileHandle& handle) {
  if (handle == kNullMemoryFile) ThrowIfMemoryFileError(CreateMemoryFile(-1, 1, &handle));
  return MemoryFileOf(handle);
}

void EmptyFile(MemoryFileHandle& handle) {
  FileOf(handle).Clear();
}

void AddEntry(uint8_t token, uint16_t subcode, uint8_t flag, uint32_t value, const void* name, std::size_t length) {
  if (length > NameHashTable::kMaxNameLength) ZENTOR_INTERNAL_ERROR();
  NameHashTable& table = Table();
  const uint32_t id = g_scanner.entries.Add(KeywordEntry{token, subcode, flag, value});
  try {
    table.Insert(static_cast<uint16_t>(length), name, id);
  } catch (...) {
    g_scanner.entries.Release(id);
    throw;
  }
  if (flag == kKeywordLocal) ++g_scanner.localEntries;
  if (value != 0) ++g_scanner.definingEntries;
}

// Releases the defined object of an entry and removes the entry. The releaser may
// look names up (moving the table's current entry), so the entry is found again by
// its id afterwards.
void ReleaseAndRemove(const void* name, uint16_t length, uint32_t id) {
  const KeywordEntry entry = g_scanner.entries.Get(id);
  if (entry.value != 0 && g_scanner.releaser != nullptr) {
    char text[NameHashTable::kMaxNameLength + 1];
    const uint16_t copied = length <= NameHashTable::kMaxNameLength ? length : NameHashTable::kMaxNameLength;
    std::memcpy(text, name, copied);
    text[copied] = '\0';
    g_scanner.releaser(entry.token, entry.value, text);
  }
  NameHashTable& table = Table();
  if (table.FindWhere(length, name, [id](uint32_t value) { return value == id; }) != 0) {
    table.RemoveCurrent();
    g_scanner.entries.Release(id);
    if (entry.flag == kKeywordLocal && g_scanner.localEntries != 0) --g_scanner.localEntries;
    if (entry.value != 0 && g_scanner.definingEntries != 0) --g_scanner.definingEntries;
  }
}

// Removes the newest block-local entry of a name.
void RemoveLocalName(const uint8_t* name, uint16_t length) {
  KeywordEntryPool& entries = g_scanner.entries;
  const uint32_t id = Table().FindWhere(length, name, [&entries](uint32_t value) {
    return entries.IsLive(value) && entries.Get(value).flag == kKeywordLocal;
  });
  if (id != 0) ReleaseAndRemove(name, length, id);
}

// -- Local-name log --------------------------------------------------------------------

void LogPush(const void* bytes, uint32_t count) {
  const auto* first = static_cast<const uint8_t*>(bytes);
  g_scanner.localNameLog.insert(g_scanner.localNameLog.end(), first, first + count);
}

// Enters a block-local name and logs it, so that the end of its block removes it.
void EnterLogged(uint8_t token, uint16_t subcode, uint32_t value, const char* text, uint16_t length) {
  AddEntry(token, subcode, kKeywordLocal, value, text, length);
  uint8_t trailer[3] = {0, 0, kLogName};
  value_bytes::StoreU16(trailer, length);
  if (length > 0) LogPush(text, length);
  LogPush(trailer, sizeof trailer);
}

void LogPop(uint32_t count, void* bytes) {
  std::vector<uint8_t>& log = g_scanner.localNameLog;
  if (log.size() < count) ZENTOR_INTERNAL_ERROR();
  const std::size_t kept = log.size() - count;
  std::memcpy(bytes, log.data() + kept, count);
  log.erase(log.begin() + static_cast<std::ptrdiff_t>(kept), log.end());
}

bool LogIsEmpty() { return g_scanner.localNameLog.empty(); }

uint8_t LogTop() {
  if (g_scanner.localNameLog.empty()) ZENTOR_INTERNAL_ERROR();
  return g_scanner.localNameLog.back();
}

// Pops the newest item: a marker (its byte) or a name item (kLogName; the name is
// removed from the table).
uint8_t PopLogItem() {
  uint8_t kind = 0;
  LogPop(1, &kind);
  if (kind == kLogBlockMarker || kind == kLogScopeMarker) return kind;
  if (kind != kLogName) ZENTOR_INTERNAL_ERROR();
  uint8_t lengthBytes[2];
  LogPop(2, lengthBytes);
  const uint16_t length = value_bytes::LoadU16(lengthBytes);
  if (length > NameHashTable::kMaxNameLength) ZENTOR_INTERNAL_ERROR();
  uint8_t name[NameHashTable::kMaxNameLength];
  if (length > 0) LogPop(length, name);
  RemoveLocalName(name, length);
  return kind;
}

void ClearLookAhead() {
  g_scanner.pushBackPending = false;
  g_scanner.endExpressionRequested = false;
  g_scanner.errorMark = false;
}

}  // namespace

// -- Set-up ----------------------------------------------------------------------------

// The built-in words are the same at every start: they are entered once per process,
// and each start takes a copy of that table and of its entries. A start after one
// whose session removed none of the built-in words keeps the table and entries it had
// and only drops what was added to them since.
void CommandScanner::InitKeywords() {
  struct BuiltIn {
    std::unique_ptr<NameHashTable> table;
    KeywordEntryPool entries;
  };
  static BuiltIn* builtIn = nullptr;
  g_scanner.localEntries = 0;
  g_scanner.definingEntries = 0;
  const bool kept = builtIn != nullptr && g_scanner.table != nullptr && g_scanner.entries.RollBackToMark() &&
                    g_scanner.table->RollBackToClone();
  if (!kept) {
    g_scanner.table.reset();
    g_scanner.entries.Clear();
  }
  if (builtIn == nullptr) {
    g_scanner.table = NameHashTable::Create();
    for (const TokenTableRow& row : TokenTable()) AddKeyword(row.token, row.subcode, row.text);
    // Kept for the life of the process, as the table of a started program is.
    builtIn = new BuiltIn{g_scanner.table->Clone(), g_scanner.entries};
  } else if (!kept) {
    g_scanner.table = builtIn->table->Clone();
    g_scanner.entries = builtIn->entries;
    g_scanner.entries.Mark();
  }
  g_scanner.localNameLog.clear();
  EmptyFile(g_scanner.flagStack);
  g_scanner.blockDepth = 0;
  g_scanner.localTokenCode = 0;
  g_scanner.modes = ScannerModeFlags{};
  g_scanner.lastLookupFound = false;
  g_scanner.cExpressionWord = 0;
  ClearLookAhead();
}

void CommandScanner::Shutdown() {
  g_scanner.table.reset();
  g_scanner.entries.Clear();
  g_scanner.localEntries = 0;
  g_scanner.definingEntries = 0;
  std::vector<uint8_t>().swap(g_scanner.localNameLog);
  if (g_scanner.flagStack != kNullMemoryFile) {
    (void)DestroyMemoryFile(g_scanner.flagStack);
    g_scanner.flagStack = kNullMemoryFile;
  }
  g_scanner.blockDepth = 0;
  g_scanner.modes = ScannerModeFlags{};
  ClearLookAhead();
}

bool CommandScanner::IsInitialized() { return g_scanner.table != nullptr; }

void CommandScanner::SetDefinitionReleaser(DefinitionReleaser releaser) { g_scanner.releaser = releaser; }

void CommandScanner::AddKeyword(uint8_t token, uint16_t subcode, const char* text) {
  AddKeywordEntry(token, subcode, kKeywordBuiltIn, 0, text);
}

void CommandScanner::InsertName(const char* text, uint8_t token, uint16_t subcode) { AddKeyword(token, subcode, text); }

void CommandScanner::AddKeywordEntry(uint8_t token, uint16_t subcode, uint8_t flag, uint32_t value, const char* text) {
  if (text == nullptr) ZENTOR_INTERNAL_ERROR();
  AddEntry(token, subcode, flag, value, text, strnlen(text, NameHashTable::kMaxNameLength + 1));
}

bool CommandScanner::LookupKeyword() {
  TokenRecord& token = CurrentToken();
  const uint32_t id = Table().Find(token.textLength, token.text);
  if (id == 0) {
    g_scanner.lastLookupFound = false;
    return false;
  }
  const KeywordEntry& entry = g_scanner.entries.Get(id);
  token.code = entry.token;
  token.subcode = entry.subcode;
  token.flag = entry.flag;
  token.value = entry.value;
  g_scanner.lastLookupFound = true;
  g_scanner.lastFoundEntry = entry;
  return true;
}

bool CommandScanner::LastLookupFound() { return g_scanner.lastLookupFound; }
KeywordEntry CommandScanner::LastFoundEntry() { return g_scanner.lastFoundEntry; }

bool CommandScanner::RemoveKeyword() {
  const TokenRecord& token = CurrentToken();
  const uint32_t id = Table().Find(token.textLength, token.text);
  if (id == 0) return false;
  ReleaseAndRemove(token.text, token.textLength, id);
  return true;
}

NameHashTable& CommandScanner::Keywords() { return Table(); }
KeywordEntryPool& CommandScanner::KeywordEntries() {
  Table();
  return g_scanner.entries;
}

// -- Tokens ----------------------------------------------------------------------------

// 1. A pending "endexpr" request is answered without reading input; the record keeps
//    the text of the token the expression hand-over restored.
// 2. A pushed-back token is delivered again; a name the C expression parser ended on
//    is looked up again, so that a keyword after the expression is a keyword. After a
//    failed expression that ended in an operator, the pending token is dropped and a
//    bad token takes its place.
// 3. Otherwise tokens are scanned and looked up until one is not a macro name: a macro
//    name pushes the macro device, whose text is scanned next.
void CommandScanner::NextToken(bool lineContinuation) {
  Table();
  TokenRecord& token = CurrentToken();
  if (g_scanner.endExpressionRequested) {
    g_scanner.endExpressionRequested = false;
    token.code = token_code::kEndExpression;
    token.subcode = 0;
    return;
  }
  if (g_scanner.pushBackPending) {
    g_scanner.pushBackPending = false;
    if (ExprParseFailed == 1 && ExprOperandComplete == 0) {
      while (IsBlank(Current())) Advance();
      StartToken(token);
      ExprParseFailed = 0;
      FinishWordText(token);
      SetCode(token, token_code::kError);
      UseUpOneTokenSwitches();
      return;
    }
    token = g_scanner.pushBack;
    bool expandMacro = false;
    if (token.code == token_code::kIdentifier && FollowsAsNameInExpression(ExpressionSaveToken().code)) {
      token.subcode = token_code::kIdentifier;
      ApplyKeywordRules(token);
      expandMacro = token.code == token_code::kMacroName;
    }
    UseUpOneTokenSwitches();
    if (!expandMacro) return;
    PushMacroDevice();
  }
  g_scanner.modes.lineContinuation = lineContinuation ? 1 : 0;
  BreakWatch monitor;
  for (;;) {
    PollUserBreak(monitor);
    ScanToken();
    ApplyKeywordRules(token);
    UseUpOneTokenSwitches();
    if (token.code != token_code::kMacroName) return;
    PushMacroDevice();
  }
}

void CommandScanner::PushBackToken() {
  g_scanner.pushBack = CurrentToken();
  g_scanner.pushBackPending = true;
}

TokenRecord& CommandScanner::PushBackRecord() { return g_scanner.pushBack; }
bool CommandScanner::IsPushBackPending() { return g_scanner.pushBackPending; }
void CommandScanner::RequestEndExpression() { g_scanner.endExpressionRequested = true; }

void CommandScanner::ClearLookAheadFlags() {
  ClearLookAhead();
  g_scanner.cExpressionWord = 0;
}

void CommandScanner::SetCExpressionWord(uint32_t word) { g_scanner.cExpressionWord = word; }
uint32_t CommandScanner::CExpressionWord() { return g_scanner.cExpressionWord; }

// -- Mode switches ---------------------------------------------------------------------

void CommandScanner::SaveModeFlags() {
  const ScannerModeFlags& m = g_scanner.modes;
  const uint8_t image[ScannerModeFlags::kImageSize] = {
      m.nameOnce,   m.definedAsName, m.rawWord,        m.rawWordAcrossLines,
      m.nameSticky, m.nameAlways,    m.decimalDefault, m.lineContinuation,
  };
  MemoryFile& stack = FileOf(g_scanner.flagStack);
  ThrowIfMemoryFileError(stack.Seek(stack.Size()));
  ThrowIfMemoryFileError(stack.Write(1, sizeof image, image));
}

void CommandScanner::RestoreModeFlags() {
  MemoryFile& stack = FileOf(g_scanner.flagStack);
  if (stack.Size() < ScannerModeFlags::kImageSize) ZENTOR_INTERNAL_ERROR();
  ThrowIfMemoryFileError(stack.Seek(stack.Size()));
  uint8_t image[ScannerModeFlags::kImageSize];
  ThrowIfMemoryFileError(stack.ReadBack(sizeof image, image));
  stack.TruncateKeepingFirstPage();
  ScannerModeFlags& m = g_scanner.modes;
  m.nameOnce = image[0];
  m.definedAsName = image[1];
  m.rawWord = image[2];
  m.rawWordAcrossLines = image[3];
  m.nameSticky = image[4];
  m.nameAlways = image[5];
  m.decimalDefault = image[6];
  m.lineContinuation = image[7];
}

void CommandScanner::ResetModeFlags() {
  g_scanner.modes = ScannerModeFlags{};
  Advance();
}

const ScannerModeFlags& CommandScanner::ModeFlags() { return g_scanner.modes; }
void CommandScanner::NameOnceOn() { g_scanner.modes.nameOnce = 1; }
void CommandScanner::DefinedAsNameOn() { g_scanner.modes.definedAsName = 1; }
void CommandScanner::NameAlwaysOn() { g_scanner.modes.nameAlways = 1; }
void CommandScanner::NameStickyOn() { g_scanner.modes.nameSticky = 1; }
void CommandScanner::NameStickyOff() { g_scanner.modes.nameSticky = 0; }

void CommandScanner::RawWordOn() {
  g_scanner.modes.rawWord = 1;
  g_scanner.modes.rawWordAcrossLines = 1;
}

void CommandScanner::DecimalDefaultOn() { g_scanner.modes.decimalDefault = 1; }
void CommandScanner::DecimalDefaultOff() { g_scanner.modes.decimalDefault = 0; }

void CommandScanner::NameSwitchesOff() {
  g_scanner.modes.nameAlways = 0;
  g_scanner.modes.definedAsName = 0;
  g_scanner.modes.nameOnce = 0;
}

// -- Reading actions -------------------------------------------------------------------

void CommandScanner::ReadRawWordOnLine() { ReadRawWordAction(false); }
void CommandScanner::ReadRawWordAcrossLines() { ReadRawWordAction(true); }

void CommandScanner::ReadRestOfLine() {
  std::vector<uint8_t> characters;
  while (!IsLineEnd(Current())) {
    characters.push_back(Current());
    Advance();
  }
  StoreCountedString(characters);
}

void CommandScanner::ReadBracketedName() {
  while (Current() == ' ' || Current() == '\t') Advance();
  if (Current() == '[') Advance();
  std::vector<uint8_t> characters;
  while (Current() != ']' && !IsLineEnd(Current())) {
    characters.push_back(Current());
    Advance();
  }
  if (Current() == ']') Advance();
  StoreCountedString(characters);
}

const char* CommandScanner::FileNameBuffer() { return g_scanner.fileName; }

// -- Block-local names -----------------------------------------------------------------

void CommandScanner::OpenBlock() {
  LogPush(&kLogBlockMarker, 1);
  if (g_scanner.blockDepth < 0xFFFF) ++g_scanner.blockDepth;
}

void CommandScanner::SaveLocalTokenCode() {
  g_scanner.localTokenCode = static_cast<uint8_t>(CurrentToken().subcode & 0xFF);
}

void CommandScanner::EnterLocalName() {
  const TokenRecord& token = CurrentToken();
  const uint16_t length = token.textLength;
  if (length > NameHashTable::kMaxNameLength) ZENTOR_INTERNAL_ERROR();
  EnterLogged(g_scanner.localTokenCode, token.subcode, 0, token.text, length);
}

void CommandScanner::EnterLocalDefinition(uint8_t token, uint16_t subcode, uint32_t value, const char* text) {
  if (text == nullptr) ZENTOR_INTERNAL_ERROR();
  const std::size_t length = strnlen(text, NameHashTable::kMaxNameLength + 1);
  if (length > NameHashTable::kMaxNameLength) ZENTOR_INTERNAL_ERROR();
  EnterLogged(token, subcode, value, text, static_cast<uint16_t>(length));
}

void CommandScanner::CloseBlock() {
  while (!LogIsEmpty()) {
    // A procedure scope opened inside the block is not the block's to close.
    if (LogTop() == kLogScopeMarker) return;
    if (PopLogItem() == kLogBlockMarker) {
      if (g_scanner.blockDepth > 0) --g_scanner.blockDepth;
      return;
    }
  }
}

void CommandScanner::OpenScope() { LogPush(&kLogScopeMarker, 1); }

void CommandScanner::CloseScope() {
  while (!LogIsEmpty()) {
    const uint8_t item = PopLogItem();
    if (item == kLogScopeMarker) return;
    if (item == kLogBlockMarker && g_scanner.blockDepth > 0) --g_scanner.blockDepth;
  }
}

namespace {

// Releases and removes every entry `select` picks. The names are collected first: the
// releasers may look names up while the entries go.
void RemoveEntriesWhere(const std::function<bool(const KeywordEntry&)>& select) {
  struct Picked {
    std::string name;
    uint32_t id;
  };
  std::vector<Picked> picked;
  NameHashTable& table = Table();
  KeywordEntryPool& entries = g_scanner.entries;
  table.ForEach([&](uint32_t id, bool& /*stop*/) {
    if (!entries.IsLive(id) || !select(entries.Get(id))) return;
    char name[NameHashTable::kMaxNameLength + 1];
    uint16_t length = 0;
    table.CurrentName(&length, name, sizeof name);
    picked.push_back(Picked{std::string(name, length), id});
  });
  for (const Picked& entry : picked) {
    ReleaseAndRemove(entry.name.data(), static_cast<uint16_t>(entry.name.size()), entry.id);
  }
}

}  // namespace

void CommandScanner::RemoveAllLocalNames() {
  g_scanner.localNameLog.clear();
  g_scanner.blockDepth = 0;
  if (g_scanner.localEntries == 0) return;
  RemoveEntriesWhere([](const KeywordEntry& entry) { return entry.flag == kKeywordLocal; });
  g_scanner.localEntries = 0;
}

void CommandScanner::ReleaseDefinitions() {
  if (!IsInitialized() || g_scanner.definingEntries == 0) return;
  RemoveEntriesWhere([](const KeywordEntry& entry) { return entry.value != 0; });
}

uint16_t CommandScanner::BlockDepth() { return g_scanner.blockDepth; }

void CommandScanner::ResetForCommand() {
  Table();
  RemoveAllLocalNames();
  EmptyFile(g_scanner.flagStack);
  g_scanner.modes = ScannerModeFlags{};
  g_scanner.cExpressionWord = 0;
  ClearLookAhead();
}

void CommandScanner::ResetAfterBreak() {
  ResetForCommand();
  ExprParseFailed = 0;
  SetRestartFlag();
}

// -- Literal actions -------------------------------------------------------------------

namespace {

// Pushes a literal's bytes of `kind` converted to `as`: what pushing them and
// converting the top gives, without the round trip through the stack.
void PushIntegerAs(uint16_t kind, const uint8_t* bytes, uint16_t as) {
  uint8_t converted[kValueBufferSize];
  ConvertValue(bytes, kind, converted, as);
  ValueStack::PushSized(as, static_cast<uint16_t>(GetValueKindSize(as)), converted);
}

}  // namespace

void CommandScanner::PushName() {
  const TokenRecord& token = CurrentToken();
  ValueStack::PushSized(kKindUnresolvedName, token.textLength, token.text);
}

void CommandScanner::PushCharacter() { ValueStack::Push(kKindChar, CurrentToken().text); }

void CommandScanner::PushString() { ValueStack::Push(kKindLString, CurrentToken().text); }

// 1. Decimal integers become signed where their top bit allows: 1 and 2 bytes int4;
//    4 bytes int4, or int8 when the top bit is set; 8 bytes int8 when the top bit is
//    clear. Anything longer is too large (131).
// 2. Other radixes stay unsigned: 1, 2 and 4 bytes ord4; 8, 12 and 16 bytes their own
//    size. Any other length is too large (141).
void CommandScanner::PushInteger() {
  const TokenRecord& token = CurrentToken();
  const auto* bytes = reinterpret_cast<const uint8_t*>(token.text);
  if (token.tag == 10) {
    switch (token.textLength) {
      case 1:
        PushIntegerAs(kKindOrd1, bytes, kKindInt4);
        return;
      case 2:
        PushIntegerAs(kKindOrd2, bytes, kKindInt4);
        return;
      case 4:
        PushIntegerAs(kKindOrd4, bytes, (bytes[3] & 0x80) == 0 ? kKindInt4 : kKindInt8);
        return;
      case 8:
        if ((bytes[7] & 0x80) == 0) {
          ValueStack::PushSized(kKindInt8, 8, bytes);
          return;
        }
        break;
      default:
        break;
    }
    throw DVError(kMsgIntegerTooLarge, kSeverityError, kDisplayByFocus);
  }
  switch (token.textLength) {
    case 1:
      PushIntegerAs(kKindOrd1, bytes, kKindOrd4);
      return;
    case 2:
      PushIntegerAs(kKindOrd2, bytes, kKindOrd4);
      return;
    case 4:
      ValueStack::PushSized(kKindOrd4, 4, bytes);
      return;
    case 8:
      ValueStack::PushSized(kKindOrd8, 8, bytes);
      return;
    case 12:
      ValueStack::PushSized(kKindOrd12, 12, bytes);
      return;
    case 16:
      ValueStack::PushSized(kKindOrd16, 16, bytes);
      return;
    default:
      break;
  }
  throw DVError(kMsgUnsignedTooLarge, kSeverityError, kDisplayByFocus);
}

void CommandScanner::PushReal() {
  const TokenRecord& token = CurrentToken();
  uint16_t kind = kKindReal4;
  if (token.textLength == 8) {
    kind = kKindReal8;
  } else if (token.textLength == GetValueKindSize(kKindReal10)) {
    kind = kKindReal10;
  }
  ValueStack::PushSized(kind, GetValueKindSize(kind), token.text);
}

void CommandScanner::PushTokenInteger() {
  const TokenRecord& token = CurrentToken();
  const auto* bytes = reinterpret_cast<const uint8_t*>(token.text);
  switch (token.textLength) {
    case 2:
      PushIntegerAs(kKindOrd2, bytes, kKindOrd2);
      break;
    case 4:
      PushIntegerAs(kKindOrd4, bytes, kKindOrd2);
      break;
    default:
      PushIntegerAs(kKindOrd1, bytes, kKindOrd2);
      break;
  }
}

void CommandScanner::PopName() {
  if (ValueStack::TopKind() != kKindUnresolvedName || ValueStack::TopSize() >= TokenRecord::kTextCapacity) {
    throw DVError(kMsgBadPostfixCode, kSeverityInternal, kDisplayByFocus);
  }
  const uint16_t size = ValueStack::TopSize();
  uint8_t buffer[ValueStack::kMaxItemSize];
  ValueStack::Pop(buffer);
  SetTokenBytes(CurrentToken(), buffer, size);
}

}  // namespace zentor
