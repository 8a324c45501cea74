#pragma once
// The emitters that append postfix code to the code the command parser is building,
// and the syntax-error report with its caret line. The parser, the expression code
// generator and the block capture of the command reader write code only through
// these, so every instruction lands in the parse that is running.

#include <cstdint>

#include "command/action_table.h"
#include "core/dv_error_code.h"
#include "core/memory_file.h"

namespace zentor {

// Appends one instruction (opcode byte, little-endian 32-bit operand) to the code
// being built. No parse running is an internal error; a failed write raises the
// DVError of its status.
void EmitInstruction(uint8_t opcode, uint32_t operand);
// A call of a registered routine (opcode 0, operand = routine id).
void EmitCall(RoutineId routine);
// A call of a routine emitted directly (not through a table slot): registered under
// `name` first.
void EmitCall(ActionRoutine routine, const char* name);
// A string instruction for the current token: opcode 1 with operand tag << 16 |
// length, then the text bytes. A length beyond the token record's text is bad code:
// message 72 (INTERNAL ERROR), and nothing is written.
void EmitString();
// Appends 0xFE, the block length as a u32 and `length` bytes copied from the source
// file at its position. Returns the status of the copy (also stored in *status).
DVErrorCode EmitEmbeddedBlock(DVErrorCode* status, MemoryFileHandle source, uint32_t length);
// The same with the signature the block capture hands its text to.
DVErrorCode EmitEmbeddedBlockFromCapture(MemoryFileHandle source, uint32_t length);

// The caret rule of a syntax error at input column `column`: below 64 the message is
// 103 ("%s^ syntax error ") with `column` blanks, else 104 ("%ssyntax error ^") with
// column - 14 blanks; at most 80 blanks.
inline constexpr uint32_t kMsgSyntaxCaretAfterBlanks = 103;
inline constexpr uint32_t kMsgSyntaxTextBeforeCaret = 104;
inline constexpr uint32_t kMaxCaretBlanks = 80;
void SyntaxErrorColumns(uint8_t column, uint32_t* width, uint32_t* messageNumber);

// The input does not fit the grammar at the current token.
// Command mode (0): at an end of line, with no failed C expression behind it, the
// command goes on on the next line under a doubled prompt and the parse continues.
// Otherwise the syntax error is raised: severity 1 (Syntax), shown in the command
// output, with the caret line as its argument.
// Text mode (1): the rest of the line is dropped, the clean-up routines run and the
// parse ends with failure; nothing is raised.
void SyntaxError();

}  // namespace zentor
