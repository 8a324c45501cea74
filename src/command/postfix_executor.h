#pragma once
// The PostfixExecutor runs postfix code: a command's code from the command loop, a
// procedure body from a procedure call, a stored watch or breakpoint expression from
// its grammar object. Most instructions call a routine of the action registry, which
// works on the value stack and the current-token record; the others load strings
// into the token record, jump, count loops and track block nesting. Runs nest (a
// routine may start another run), so the executor keeps a bounded stack of the codes
// being run. It also cuts blocks out of the running code for later use (procedure
// bodies and texts, breakpoint and watch bodies) and runs such marked blocks.

#include <cstdint>

#include "core/memory_file.h"

namespace zentor {

// Message of a run nested deeper than the code stack holds ("Parse stack overflow,
// command too complex."), raised as an ERROR before anything of the run happens.
inline constexpr uint32_t kMsgRunsNestedTooDeeply = 101;
// The user break, raised before the next instruction (WARNING, not shown).
inline constexpr uint32_t kMsgUserBreakRaised = 401;

class PostfixExecutor {
 public:
  // Codes that can run at once, one inside the other (the command, and procedures or
  // grammar objects it runs).
  static constexpr int32_t kCodeStackSize = 10;
  // Instructions between two full polls of the run's break monitor; between them a
  // break is seen through the break flags, which are read before every instruction.
  static constexpr uint32_t kFullBreakPollInterval = 64;

  // Runs `code` from its start until its final nesting-out brings the level back to
  // 0 or the stop routine ends it. Raises a DVError on any failure; a failing run
  // leaves its code on the code stack (see PopCodesTo).
  static void Run(MemoryFileHandle code);

  // Drops the top of the code stack and lets the run below go on.
  static void PopCode();
  // Number of codes on the code stack (0 between commands).
  static int32_t CodeStackDepth();
  // Pops codes until `depth` remain: what a caller that catches the error of a run it
  // started does, since the failed run may have left inner runs' codes behind too.
  static void PopCodesTo(int32_t depth);
  // The code now running (the top of the code stack); null when none runs.
  static MemoryFileHandle RunningCode();
  // Destroys a code, or, while it is on the code stack (a procedure that redefines
  // itself in its own body), as soon as its last run has ended.
  static void DestroyCode(MemoryFileHandle code);

  // The nesting-in ... nesting-out block at the running code's position, cut out into
  // a new code; the running code goes on after it. 72 when no such block is there.
  static MemoryFileHandle TakeNestedBlock();
  // The embedded block (opcode 0xFE) at the running code's position, as a new code;
  // the running code goes on after it. 72 when the instruction is another one.
  static MemoryFileHandle TakeEmbeddedBlock();
  // A copy of the next marked block ahead (from after its start mark up to and
  // including its end mark); the running code's position is left as it was, also
  // when this fails. 72 when no start mark comes before the end mark.
  static MemoryFileHandle TakeMarkedBlock();
  // Runs a code taken by TakeMarkedBlock: calls, strings, nesting and no-op
  // instructions, ended by the block's end mark.
  static void RunMarkedBlock(MemoryFileHandle code);

  // Slot 178: the innermost run ends after the current instruction.
  static void Stop();
  // True while the innermost run may go on.
  static bool IsRunning();
};

// Start-up: creates the procedure frame file; the code stack is empty.
void InitPostfixExecutor();
// Before every command: the procedure frame file emptied, the code stack empty.
void ResetPostfixExecutor();

// Action routines of this module.
void StopRunningCode();       // slot 178
void EndPagingRoutine();      // slot 207
void NestingCountRoutine();   // slots 119 and 121: no observable effect

// Small value-stack operations of the loop step and the procedure calls.
void PushCount16(uint16_t count);   // kind 9, "ord2"
void PushWord32(uint32_t value);    // kind 10, "ord4"
uint32_t PopWord32();               // the top converted to kind 10 and popped
uint32_t PeekWord32();              // the top converted to kind 10, left on the stack

}  // namespace zentor
