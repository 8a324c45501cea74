#include "command/expression_lexer.h"

#include <array>
#include <cstring>

#include "command/command_scanner.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "symbols/type_lookup.h"

namespace zentor {
namespace {

// A value that says "the first character of the token text".
constexpr uint32_t kFirstCharacter = 0xFFFFFFFFu;
// A value that says "the first four bytes of the token text" (numbers).
constexpr uint32_t kFirstFourBytes = 0xFFFFFFFEu;
// A map entry whose terminal the subcode decides.
constexpr uint16_t kBySubcode = 0xFFFF;

struct TokenRow {
  uint8_t token;
  uint16_t terminal;
  uint32_t value;
};

// Token codes of the scanner and what they are in an expression.
constexpr TokenRow kTokenRows[] = {
    {0, kExprLineNumber, kFirstFourBytes},        {170, kExprIntegerConstant, kFirstFourBytes},
    {167, kExprRealConstant, kFirstFourBytes},    {138, kExprCharacterConstant, kFirstCharacter},
    {175, kExprStringLiteral, kFirstCharacter},   {kTokenPathName, kExprPathName, kFirstCharacter},
    {kTokenPathStar, kExprPathStar, kFirstCharacter},
    {kTokenPathAmpersand, kExprPathAmpersand, kFirstCharacter},
    {2, kExprColon, kFirstCharacter},             {9, kExprSemicolon, kFirstCharacter},
    {13, kExprDot, kFirstCharacter},              {44, kExprQuestion, kFirstCharacter},
    {16, kExprLeftBracket, kFirstCharacter},      {20, kExprRightBracket, kFirstCharacter},
    {156, kExprLeftParen, kFirstCharacter},       {157, kExprRightParen, kFirstCharacter},
    {165, kExprAmpersand, kFirstCharacter},       {173, kExprComma, kFirstCharacter},
    {118, kExprAssign, kFirstCharacter},          {159, kExprLeftBrace, kFirstCharacter},
    {160, kExprRightBrace, kFirstCharacter},      {3, kExprBackslash, kFirstCharacter},
    {14, kExprArrow, kFirstCharacter},            {33, kExprIncrement, 315},
    {29, kExprDecrement, 316},                    {64, kExprShiftLeft, 317},
    {82, kExprShiftRight, 318},                   {115, kExprLogicalAnd, 323},
    {72, kExprMultiplyAssign, 329},               {63, kExprDivideAssign, 330},
    {55, kExprRemainderAssign, 331},              {152, kExprAddAssign, 332},
    {150, kExprSubtractAssign, 333},              {88, kExprShiftLeftAssign, 334},
    {90, kExprShiftRightAssign, 335},             {46, kExprAndAssign, 336},
    {42, kExprXorAssign, 337},                    {37, kExprOrAssign, 338},
    {40, kExprStruct, 286},                       {51, kExprUnion, 287},
    // "int", "long", "short", "unsigned", "float", "double", "typedef"
    {27, kExprUnusedKeyword, kFirstCharacter},    {31, kExprUnusedKeyword, kFirstCharacter},
    {35, kExprUnusedKeyword, kFirstCharacter},    {57, kExprUnusedKeyword, kFirstCharacter},
    {24, kExprUnusedKeyword, kFirstCharacter},    {22, kExprUnusedKeyword, kFirstCharacter},
    {43, kExprUnusedKeyword, kFirstCharacter},
    {5, kBySubcode, 0},                           {23, kBySubcode, 0},
    {25, kBySubcode, 0},                          {132, kBySubcode, 0},
    {111, kBySubcode, 0},
};

struct SubcodeRow {
  uint8_t token;
  uint16_t subcode;
  uint16_t terminal;
  uint32_t value;
};

// Operators that share a token code, told apart by the subcode (their operator code).
constexpr SubcodeRow kSubcodeRows[] = {
    {5, 2, kExprStar, kFirstCharacter},         {5, 3, kExprSlash, kFirstCharacter},
    {5, 4, kExprPercent, kFirstCharacter},      {23, 0, kExprPlus, kFirstCharacter},
    {23, 1, kExprMinus, kFirstCharacter},       {25, 2, kExprNot, kFirstCharacter},
    {25, 5, kExprTilde, kFirstCharacter},       {132, 5, kExprLessEqual, 319},
    {132, 6, kExprLess, kFirstCharacter},       {132, 7, kExprGreater, kFirstCharacter},
    {132, 8, kExprGreaterEqual, 320},           {132, 9, kExprNotEqual, 322},
    {132, 10, kExprEqual, 321},                 {111, 12, kExprBitOr, kFirstCharacter},
    {111, 16, kExprLogicalOr, 324},             {111, 11, kExprXor, kFirstCharacter},
};

// The variable tokens of the scalar and string type words (a debug variable whose
// value an expression can fetch by name).
constexpr uint8_t kScalarVariableTokens[] = {119, 120, 122, 123, 125, 126, 127, 128,
                                             129, 131, 134, 135, 136, 137, 142, 144};

struct IdentifierWord {
  const char* text;
  uint16_t terminal;
  uint32_t value;
};
constexpr IdentifierWord kIdentifierWords[] = {
    {"sizeof", kExprSizeof, 288},
    {"union", kExprUnion, 287},
    {"struct", kExprStruct, 286},
    {"?", kExprQuestion, 63},
};

constexpr uint32_t kTypedefNameValue = 313;

class ExpressionLexer {
 public:
  void Reset() {
    m_exprTokenMap.fill(kExprEnd);
    for (const TokenRow& row : kTokenRows) m_exprTokenMap[row.token] = row.terminal;
    for (const uint8_t token : kScalarVariableTokens) m_exprTokenMap[token] = kExprDebugVariable;
    m_exprTokenMap[token_code::kIdentifier] = kExprIdentifier;
  }

  ExprTerminal Next() {
    CommandScanner::NameOnceOn();
    CommandScanner::NextToken(true);
    TokenRecord& token = CurrentToken();
    m_value = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(token.text[0])));
    ExprTerminal terminal = Translate(token);
    CommandScanner::PushBackRecord() = token;
    return terminal;
  }

  uint32_t Value() const { return m_value; }

 private:
  ExprTerminal Translate(const TokenRecord& token) {
    const uint16_t mapped = m_exprTokenMap[token.code];
    if (token.code == token_code::kIdentifier) return Identifier(token);
    if (mapped == kBySubcode) {
      for (const SubcodeRow& row : kSubcodeRows) {
        if (row.token == token.code && row.subcode == token.subcode) {
          SetValue(token, row.value);
          return static_cast<ExprTerminal>(row.terminal);
        }
      }
      return kExprEnd;
    }
    for (const TokenRow& row : kTokenRows) {
      if (row.token == token.code) {
        SetValue(token, row.value);
        break;
      }
    }
    return static_cast<ExprTerminal>(mapped);
  }

  // A name is a typedef name when the symbol tables know a type of that name in the
  // current scope; a few words are recognised by their exact text; every other word
  // is an identifier.
  ExprTerminal Identifier(const TokenRecord& token) {
    BeginTypeNameLookup();
    struct ResetState {
      ~ResetState() { ResetExpressionLexState(); }
    } reset;
    if (IsCurrentTokenTypedef()) {
      m_value = kTypedefNameValue;
      return kExprTypedefName;
    }
    for (const IdentifierWord& word : kIdentifierWords) {
      if (token.textLength == std::strlen(word.text) && std::memcmp(token.text, word.text, token.textLength) == 0) {
        m_value = word.value;
        return static_cast<ExprTerminal>(word.terminal);
      }
    }
    return kExprIdentifier;
  }

  void SetValue(const TokenRecord& token, uint32_t value) {
    if (value == kFirstCharacter) return;
    if (value == kFirstFourBytes) {
      m_value = value_bytes::LoadU32(reinterpret_cast<const uint8_t*>(token.text));
      return;
    }
    m_value = value;
  }

  std::array<uint16_t, 256> m_exprTokenMap{};
  uint32_t m_value = 0;
};

ExpressionLexer g_lexer;

}  // namespace

void ResetExpressionLexer() { g_lexer.Reset(); }
ExprTerminal NextExpressionToken() { return g_lexer.Next(); }
uint32_t ExprTokenValue() { return g_lexer.Value(); }
void ReportExpressionSyntaxError(const char*) {}

}  // namespace zentor
