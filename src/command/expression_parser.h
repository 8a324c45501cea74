#pragma once
// The C expression parser. An expression hand-over of the command parser pushes back
// the token that begins the expression (under a code of its own for the symbol-path
// forms), resets the expression lexer and runs ExpressionParser, which reads tokens
// through the lexer until a token ends the expression, builds the syntax tree and
// hands the accepted statement to the code generator, which appends its postfix code
// to the command being parsed. What it leaves behind is that code, its result and the
// flags the scanner and the hand-over consult; it prints nothing.
//
// The parser is written by hand as the shift/reduce parser of its grammar would run:
// a token is read only where the parse depends on it (so the name nodes of members,
// types and modules are made from their own tokens, and the flag that tells the
// scanner whether a line break may end the expression is set before the next token
// is scanned), a reduction that could be made by default is made before an error is
// noticed, and the depth of the parse stack is counted, so a deeply nested text ends
// in the parser's own failure, never in a stack overflow.

#include <cstdint>

namespace zentor {

// Flags shared with the code generator (the scanner's two are in command_scanner.h).
// ExprInDesignator: 1 from the start of a designator until the end of the statement.
// ExprQualifyPending: 1 initially and after a path name, an accepted designator, an
// error and a rejected operand; the code generator clears it. While both are 1 the
// operands of a designator are marked as its qualifying operands.
extern uint16_t ExprInDesignator;
extern uint16_t ExprQualifyPending;

// States the parse stack holds; one more abandons the run.
inline constexpr uint32_t kExpressionStackStates = 150;
// Nodes one statement may have. A chain of operators takes no stack room in the
// parse, but its tree is walked recursively by the code generator; a longer
// expression abandons the run like a stack overflow.
inline constexpr uint32_t kExpressionNodeLimit = 2000;

// Runs the parser on the tokens the lexer delivers. 0: a statement was accepted
// (also after a syntax error, see ExprParseFailed); 1: the run was abandoned (stack
// overflow, or an operand that cannot be dereferenced or addressed).
int32_t ExpressionParser();

// The flags back to their state at start-up (ExprQualifyPending 1, the others 0).
void ResetExpressionParserFlags();

}  // namespace zentor
