#pragma once
// The expression lexer feeds the C expression parser. It reads no characters itself:
// it takes each token from the command scanner (with every word forced to a name, so
// a command keyword never ends an expression), turns the scanner's token code into a
// terminal of the expression grammar with a 32-bit value, and asks the symbol tables
// whether a name is a type name. Every token it delivers is also copied into the
// scanner's push-back record, so the token that ends an expression can be delivered
// again to the command parser. Tokens it does not know are the end of the expression.

#include <cstdint>

namespace zentor {

// Terminals of the expression grammar. kEnd (0) is every token that ends an
// expression; kUnusedKeyword is a C keyword that no production uses.
enum ExprTerminal : uint16_t {
  kExprEnd = 0,
  kExprIdentifier,
  kExprTypedefName,
  kExprDebugVariable,
  kExprIntegerConstant,
  kExprRealConstant,
  kExprCharacterConstant,
  kExprStringLiteral,
  kExprLineNumber,
  kExprSizeof,
  kExprStruct,
  kExprUnion,
  kExprPathName,
  kExprPathStar,
  kExprPathAmpersand,
  kExprUnusedKeyword,
  kExprColon,
  kExprSemicolon,
  kExprDot,
  kExprQuestion,
  kExprLeftBracket,
  kExprRightBracket,
  kExprLeftParen,
  kExprRightParen,
  kExprAmpersand,
  kExprComma,
  kExprAssign,
  kExprLeftBrace,
  kExprRightBrace,
  kExprBackslash,
  kExprArrow,
  kExprIncrement,
  kExprDecrement,
  kExprShiftLeft,
  kExprShiftRight,
  kExprStar,
  kExprSlash,
  kExprPercent,
  kExprPlus,
  kExprMinus,
  kExprNot,
  kExprTilde,
  kExprLessEqual,
  kExprLess,
  kExprGreater,
  kExprGreaterEqual,
  kExprNotEqual,
  kExprEqual,
  kExprLogicalAnd,
  kExprBitOr,
  kExprLogicalOr,
  kExprXor,
  kExprMultiplyAssign,
  kExprDivideAssign,
  kExprRemainderAssign,
  kExprAddAssign,
  kExprSubtractAssign,
  kExprShiftLeftAssign,
  kExprShiftRightAssign,
  kExprAndAssign,
  kExprXorAssign,
  kExprOrAssign,
  kExprTerminalCount,
};

// Token codes that only the expression hand-over gives the re-delivered first token
// of a symbol path.
inline constexpr uint8_t kTokenPathName = 94;
inline constexpr uint8_t kTokenPathStar = 100;
inline constexpr uint8_t kTokenPathAmpersand = 101;

// Rebuilds the token map; called before each parse.
void ResetExpressionLexer();
// The next terminal (kExprEnd at the end of the expression); its value is
// ExprTokenValue afterwards.
ExprTerminal NextExpressionToken();
// The value of the last terminal delivered: the node kind of an operator, the first
// character of the text, or the first four bytes of a number's value.
uint32_t ExprTokenValue();
// The parser's error report: the parser's failures reach the command language only
// through its result and flags, so the text is dropped.
void ReportExpressionSyntaxError(const char* text);

}  // namespace zentor
