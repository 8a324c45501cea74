#include "command/postfix_executor.h"

#include "command/action_table.h"
#include "command/postfix_code.h"
#include "command/procedure_call.h"
#include "console/console_bridge.h"
#include "console/pager.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/hi_service.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "symbols/symbol_lookup.h"
#include "platform/user_break.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zentor {
namespace {

struct ExecutorState {
  MemoryFileHandle codes[PostfixExecutor::kCodeStackSize] = {};
  int32_t top = -1;
  // Cleared by the stop routine and the procedure return; set again whenever a run
  // ends, so the run below goes on.
  bool running = true;
  // Codes whose owner let them go while they were running; destroyed when their
  // last run leaves the code stack.
  std::vector<MemoryFileHandle> released;
};

// Constant-initialised: the run loops consult it after every routine.
constinit ExecutorState g_executor;

ExecutorState& State() { return g_executor; }

void ThrowIfFailed(DVErrorCode status) {
  if (!status.IsOkay()) throw DVError(status);
}

[[noreturn]] void RaiseBadCode() { throw DVError(kMsgBadPostfixCode, kSeverityInternal, kDisplayByFocus); }

MemoryFile& RunningFile() {
  const ExecutorState& state = State();
  if (state.top < 0) ZENTOR_INTERNAL_ERROR();
  return MemoryFileOf(state.codes[state.top]);
}

// A jump's target: P is the position after the instruction, the offset counts from
// its first byte. The arithmetic wraps, so a target before the start of the code is a
// huge position that the seek refuses (183).
void JumpTo(MemoryFile& code, uint32_t positionAfter, uint32_t operand) {
  ThrowIfFailed(code.Seek(positionAfter - kPostfixInstructionSize + operand));
}

void PushRun(MemoryFileHandle code) {
  ExecutorState& state = State();
  if (state.top + 1 >= PostfixExecutor::kCodeStackSize) {
    throw DVError(kMsgRunsNestedTooDeeply, kSeverityError, kDisplayByFocus);
  }
  MemoryFile& file = MemoryFileOf(code);
  ThrowIfFailed(file.Seek(0));
  state.codes[++state.top] = code;
}

// The cheap half of the break poll, read before every instruction: the interrupt flag
// and the Command window's Ctrl+C. The full poll of the run's monitor (which also
// sees marks left by other monitors) runs when one of them is set and at a fixed
// interval.
inline bool BreakFlagsSet() { return platform::IsUserBreakPending() || KeyQueue::IsBreakPending(); }

class RunBreakMonitor {
 public:
  RunBreakMonitor() { m_monitor.Register(); }
  ~RunBreakMonitor() { m_monitor.Unregister(); }
  RunBreakMonitor(const RunBreakMonitor&) = delete;
  RunBreakMonitor& operator=(const RunBreakMonitor&) = delete;

  void Poll() {
    if (!BreakFlagsSet() && --m_countdown != 0) return;
    m_countdown = PostfixExecutor::kFullBreakPollInterval;
    if (m_monitor.TestAndClearChanged() != 0) {
      m_monitor.Unregister();
      throw DVError(kMsgUserBreakRaised, kSeverityWarning, kDisplayNone);
    }
  }

 private:
  BreakMonitor m_monitor;
  uint32_t m_countdown = PostfixExecutor::kFullBreakPollInterval;
};

// Loads a string instruction's text into the current-token record. A text that does
// not fit the record with its NUL is bad code.
void LoadStringInstruction(MemoryFile& code, uint32_t operand) {
  TokenRecord& token = CurrentToken();
  const uint16_t length = PostfixStringLength(operand);
  if (length >= sizeof(token.text)) RaiseBadCode();
  ThrowIfFailed(code.Read(length, 1, token.text));
  token.text[length] = '\0';
  token.textLength = length;
  token.tag = PostfixStringTag(operand);
}

void LoopStep(MemoryFile& code, uint32_t positionAfter, uint32_t operand) {
  const uint32_t counter = PopWord32() - 1;
  PushWord32(counter);
  if (counter == 0xFFFFFFFFu) JumpTo(code, positionAfter, operand);
}

// The next instruction of a code; one that cannot be read raises its error. The run
// loops read one before every step: the instruction is decoded where it lies in its
// page (ReadPostfixInstruction).
inline PostfixInstruction ReadNextInstruction(MemoryFile& code) {
  PostfixInstruction instruction;
  ThrowIfFailed(ReadPostfixInstruction(code, &instruction));
  return instruction;
}

// Calls a routine for a running code and answers the code's file again: the routine
// may have ended the life of the code (a procedure that redefines itself), and the
// handle check then raises instead of reading freed pages. Only a routine that
// destroyed some file can have done that.
MemoryFile& InvokeRoutine(uint32_t routine, MemoryFileHandle code, MemoryFile& file) {
  const uint32_t destroyed = MemoryFileDestroyCount();
  RoutineRegistry::Invoke(routine);
  return MemoryFileDestroyCount() == destroyed ? file : MemoryFileOf(code);
}

// Moves past the data of an instruction that was just read.
void SkipInstructionData(MemoryFile& code, const PostfixInstruction& instruction) {
  const uint32_t data = PostfixDataLength(instruction);
  if (data != 0) ThrowIfFailed(code.Seek(code.Position() + data));
}

// A new code holding `length` bytes of `source` from its position.
MemoryFileHandle CopyIntoNewCode(MemoryFile& source, uint32_t length) {
  MemoryFileHandle handle = kNullMemoryFile;
  ThrowIfFailed(CreateMemoryFile(-1, 1, &handle));
  DVErrorCode status = source.CopyTo(MemoryFileOf(handle), 1, length);
  if (!status.IsOkay()) {
    DestroyMemoryFile(handle);
    throw DVError(status);
  }
  return handle;
}

}  // namespace

// 1. Push the code (refused when the code stack is full) and set the running flag.
// 2. Before every instruction poll for a user break; read the instruction and act on
//    it until the running flag is cleared or the nesting level returns to 0.
// 3. The code is popped only when the run ends normally: a failing run leaves it for
//    the caller that catches the error (PopCodesTo) or the next command's reset.
void PostfixExecutor::Run(MemoryFileHandle code) {
  PushRun(code);
  ExecutorState& state = State();
  state.running = true;
  MemoryFile* file = &MemoryFileOf(code);
  int32_t level = 0;
  bool done = false;
  RunBreakMonitor monitor;
  while (state.running && !done) {
    monitor.Poll();
    const PostfixInstruction instruction = ReadNextInstruction(*file);
    const uint32_t positionAfter = file->Position();
    switch (instruction.opcode) {
      case kPostfixCall:
        file = &InvokeRoutine(instruction.operand, code, *file);
        break;
      case kPostfixString:
        LoadStringInstruction(*file, instruction.operand);
        break;
      case kPostfixJump:
        JumpTo(*file, positionAfter, instruction.operand);
        break;
      case kPostfixJumpIfTrue:
        if (ValueStack::PopBool() != 0) JumpTo(*file, positionAfter, instruction.operand);
        break;
      case kPostfixJumpIfFalse:
        if (ValueStack::PopBool() == 0) JumpTo(*file, positionAfter, instruction.operand);
        break;
      case kPostfixLoopStep:
        LoopStep(*file, positionAfter, instruction.operand);
        break;
      case kPostfixNestIn:
        ++level;
        break;
      case kPostfixNestOut:
        if (--level <= 0) done = true;
        break;
      case kPostfixNoOp:
      case kPostfixBlockStart:
      case kPostfixBlockEnd:
        break;
      default:
        RaiseBadCode();
    }
  }
  PopCode();
}

void PostfixExecutor::RunMarkedBlock(MemoryFileHandle code) {
  PushRun(code);
  MemoryFile* file = &MemoryFileOf(code);
  RunBreakMonitor monitor;
  for (bool done = false; !done;) {
    monitor.Poll();
    const PostfixInstruction instruction = ReadNextInstruction(*file);
    switch (instruction.opcode) {
      case kPostfixCall:
        file = &InvokeRoutine(instruction.operand, code, *file);
        break;
      case kPostfixString:
        LoadStringInstruction(*file, instruction.operand);
        break;
      case kPostfixNestIn:
      case kPostfixNestOut:
      case kPostfixNoOp:
      case kPostfixBlockStart:
        break;
      case kPostfixBlockEnd:
        done = true;
        break;
      default:
        RaiseBadCode();
    }
  }
  PopCode();
}

namespace {

// The stack holds top + 1 codes; with none (top -1) the range is empty. The count is
// formed first: codes + top would point before the array.
bool IsOnCodeStack(const ExecutorState& state, MemoryFileHandle code) {
  const MemoryFileHandle* end = state.codes + (state.top + 1);
  return std::find(state.codes, end, code) != end;
}

void DestroyReleasedCodes(ExecutorState& state) {
  auto stillRunning = [&state](MemoryFileHandle code) { return IsOnCodeStack(state, code); };
  auto done = std::stable_partition(state.released.begin(), state.released.end(), stillRunning);
  for (auto it = done; it != state.released.end(); ++it) DestroyMemoryFile(*it);
  state.released.erase(done, state.released.end());
}

}  // namespace

void PostfixExecutor::PopCode() {
  ExecutorState& state = State();
  if (state.top >= 0) --state.top;
  state.running = true;
  if (!state.released.empty()) DestroyReleasedCodes(state);
}

void PostfixExecutor::DestroyCode(MemoryFileHandle code) {
  if (code == kNullMemoryFile) return;
  ExecutorState& state = State();
  if (IsOnCodeStack(state, code)) {
    state.released.push_back(code);
  } else {
    DestroyMemoryFile(code);
  }
}

int32_t PostfixExecutor::CodeStackDepth() { return State().top + 1; }

void PostfixExecutor::PopCodesTo(int32_t depth) {
  if (depth < 0) depth = 0;
  while (CodeStackDepth() > depth) PopCode();
}

MemoryFileHandle PostfixExecutor::RunningCode() {
  const ExecutorState& state = State();
  return state.top >= 0 ? state.codes[state.top] : kNullMemoryFile;
}

MemoryFileHandle PostfixExecutor::TakeNestedBlock() {
  MemoryFile& code = RunningFile();
  const uint32_t start = code.Position();
  int32_t level = 0;
  for (;;) {
    const PostfixInstruction instruction = ReadNextInstruction(code);
    SkipInstructionData(code, instruction);
    if (instruction.opcode == kPostfixNestIn) {
      ++level;
    } else if (instruction.opcode == kPostfixNestOut) {
      --level;
      if (level == 0) break;
    }
    // Level 0 or below after an instruction that did not close the block: the block
    // did not start with a nesting-in.
    if (level <= 0) RaiseBadCode();
  }
  const uint32_t end = code.Position();
  ThrowIfFailed(code.Seek(start));
  return CopyIntoNewCode(code, end - start);
}

MemoryFileHandle PostfixExecutor::TakeEmbeddedBlock() {
  MemoryFile& code = RunningFile();
  const PostfixInstruction instruction = ReadNextInstruction(code);
  if (instruction.opcode != kPostfixEmbeddedBlock) RaiseBadCode();
  return CopyIntoNewCode(code, instruction.operand);
}

MemoryFileHandle PostfixExecutor::TakeMarkedBlock() {
  MemoryFile& code = RunningFile();
  const uint32_t resume = code.Position();
  // The running code is put back where it was whatever happens here.
  struct Restore {
    MemoryFile& code;
    uint32_t position;
    ~Restore() { code.Seek(position); }
  } restore{code, resume};
  bool started = false;
  uint32_t blockStart = 0;
  for (;;) {
    const PostfixInstruction instruction = ReadNextInstruction(code);
    SkipInstructionData(code, instruction);
    if (instruction.opcode == kPostfixBlockStart) {
      started = true;
      blockStart = code.Position();
    } else if (instruction.opcode == kPostfixBlockEnd) {
      break;
    }
  }
  if (!started) RaiseBadCode();
  const uint32_t end = code.Position();
  ThrowIfFailed(code.Seek(blockStart));
  return CopyIntoNewCode(code, end - blockStart);
}

void PostfixExecutor::Stop() { State().running = false; }

bool PostfixExecutor::IsRunning() { return State().running; }

namespace {

// Forgets the code stack; codes released while they ran are destroyed now.
void EmptyCodeStack() {
  ExecutorState& state = State();
  state.top = -1;
  state.running = true;
  DestroyReleasedCodes(state);
}

}  // namespace

void InitPostfixExecutor() {
  CreateProcedureFrameFile();
  EmptyCodeStack();
}

void ResetPostfixExecutor() {
  ResetProcedureFrames();
  EmptyCodeStack();
  ResetSymbolStackDepth();
}

void StopRunningCode() { PostfixExecutor::Stop(); }

void EndPagingRoutine() { Pager::EndPaging(); }

void NestingCountRoutine() {}

void PushCount16(uint16_t count) {
  uint8_t bytes[2];
  value_bytes::StoreU16(bytes, count);
  ValueStack::Push(kKindOrd2, bytes);
}

void PushWord32(uint32_t value) {
  uint8_t bytes[4];
  value_bytes::StoreU32(bytes, value);
  ValueStack::Push(kKindOrd4, bytes);
}

uint32_t PopWord32() {
  uint8_t buffer[ValueStack::kMaxItemSize];
  ValueStack::PopAs(kKindOrd4, buffer);
  return value_bytes::LoadU32(buffer);
}

uint32_t PeekWord32() {
  uint8_t buffer[ValueStack::kMaxItemSize];
  ValueStack::PeekAs(kKindOrd4, buffer);
  return value_bytes::LoadU32(buffer);
}

}  // namespace zentor
