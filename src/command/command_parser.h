#pragma once
// The table-driven LL(1) command parser. It reads one command (mode 0, from the
// command loop) or one stored expression text (mode 1, for a grammar object) from the
// command scanner and turns it into postfix code in a new MemoryFile. The grammar's
// action symbols are recorded as calls of ActionTable routines, run at once after the
// run-at-once marker (slot 210), or turned into instructions of their own (strings,
// nesting, block marks, keyword subcodes). Control structures are written as linked
// placeholder instructions and patched into relative jumps when they close.
//
// C expressions inside commands are handed to the C expression parser by the
// hand-over routines (slots 2, 3, 5, 19, 93), which run at parse time: the expression
// parser reads its tokens from the scanner and appends its code to the same file, and
// the command parser goes on with the token that ended the expression.
//
// Parses nest (a grammar object may be parsed while a command is parsed or runs): the
// whole parser state and the scanner's mode switches are saved on entry and restored
// on every way out, also when an error leaves the parse.

#include <cstdint>

#include "command/action_table.h"
#include "core/dv_error_code.h"
#include "core/memory_file.h"

namespace zentor {

// Parse modes.
inline constexpr uint8_t kParseCommand = 0;           // the command loop: errors are raised
inline constexpr uint8_t kParseForGrammarObject = 1;  // a stored text: failure is returned

// "Parse stack overflow, command too complex." (Syntax, command output).
inline constexpr uint32_t kMsgParseStackOverflow = 101;

// The C expression parser: `parse` runs the expression grammar from the pending token
// on, appends its code to the parse's code and returns 0 on success; `resetLexer`
// resets its lexer. The parser of expression_parser.h is in place from the start;
// tests may put another in (null for none: a C expression in a command then raises
// the internal-consistency error) and restore it with
// RestoreExpressionParser.
using ExpressionParserRoutine = int32_t (*)();
void SetExpressionParser(ExpressionParserRoutine parse, ActionRoutine resetLexer);
void RestoreExpressionParser();
bool IsExpressionParserAvailable();

class CommandParserLL {
 public:
  // Frames of the parse stack; the start symbol's continuation takes one of them.
  static constexpr int16_t kStackFrames = 100;
  // The end of the placeholder chain.
  static constexpr uint32_t kNoPlaceholder = 0xFFFFFFFFu;

  // Parses one command into a new MemoryFile whose handle is stored in *code as soon
  // as the file exists (the caller destroys it, parsed or not). Returns true when the
  // command parsed without a syntax error. In command mode syntax errors (103, 104),
  // the parse stack overflow (101) and the errors of the scanner and of the actions
  // run at parse time leave by DVError.
  static bool ParseCommand(uint8_t mode, MemoryFileHandle* code);

  // Slot 208: ends the parse.
  static void Stop();

  // The saved states of the parses that are running, kept in a MemoryFile. The
  // command loop empties it before each command; after an error left a parse it may
  // put back the state saved last (the parse itself already did so on its way out,
  // in which case there is nothing left to put back).
  static void ResetSaveStack();
  static void RestoreSavedState();
  static uint32_t SavedStateCount();

  // Used by the hand-over: the rest of the right-hand side being worked through
  // becomes the single terminal "endexpr", and the next token is fetched.
  static void ReplaceRestWithEndExpression();

  // The state that the emitters and the syntax-error routine act on.
  static bool IsParsing();
  static uint8_t Mode();
  static MemoryFileHandle CodeHandle();
  static bool HasFailed();
  static void SetFailed(bool failed);
  static void EndParse();
  static void RequestToken();

  // Appends a placeholder instruction linked into the chain of open control
  // structures (its operand is the previous head) and returns its position.
  static uint32_t EmitLinked(uint8_t opcode);
  static uint32_t ChainHead();

  // Placeholder slots (they run at parse time).
  static void OpenIfCondition();       // 74: if-condition (0xFF)
  static void OpenElseJump();          // 94: jump over the else part (2)
  static void OpenConditionJump();     // 96: loop condition false-jump (4)
  static void OpenDoWhileCondition();  // 99: start of a do-while condition (11)
  static void OpenForCondition();      // 102: for condition false-jump (4), then jump over the step (2)
  static void OpenForJumpBack();       // 103: for jump back to the loop start (2)
  static void OpenBreakJump();         // 112: break (10); outside a loop a syntax error
  static void OpenContinueJump();      // 114: continue (9); outside a loop a syntax error
  static void OpenLoopStart();         // 195: loop start (8, stays as a no-op)
  // Fix-up slots: the placeholders of the closing structure become jumps.
  static void FixIf();     // 95
  static void FixWhile();  // 98: while and do-while
  static void FixFor();    // 104

  // Called with the number of every production a parse expands (coverage of the
  // grammar by a set of commands); null: none.
  using ProductionObserver = void (*)(uint32_t production);
  static void SetProductionObserver(ProductionObserver observer);

  // The embedded-block emitter under its parser name.
  static DVErrorCode EmbedBlock(DVErrorCode* status, MemoryFileHandle source, uint32_t length);
};

// Expression hand-over slots (parse time).
void HandOverScopeDesignator();   // 2: «:module.member», «:module#line», «:module»
void HandOverSymbolPath();        // 3: «a.b[i]->c»
void HandOverDereferencedPath();  // 5: «*p», «*(expression)»; "/" and "%" are syntax errors
void HandOverExpression();        // 19: a whole C expression, its first token as read
void HandOverAddressOfPath();     // 93: «&v»

}  // namespace zentor
