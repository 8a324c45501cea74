#include "target/run_control.h"

#include "target/agent_event_handlers.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/register_model.h"
#include "target/target_gui.h"
#include "target/target_state.h"
#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "platform/clock.h"

namespace zentor {
namespace {

constexpr uint32_t kRunningTextCode = 1;
constexpr uint32_t kEventKindStop = 0;
constexpr uint32_t kEventKindRunning = 1;
constexpr uint16_t kSingleStepArgument = 1;
// The wait's pause between rounds of the event pump.
constexpr uint32_t kPumpPauseMilliseconds = 10;

// The user-break monitor of one waiting loop, released on every way out.
class UserBreakMonitor {
 public:
  UserBreakMonitor() { m_monitor.Register(); }
  ~UserBreakMonitor() { m_monitor.Unregister(); }
  UserBreakMonitor(const UserBreakMonitor&) = delete;
  UserBreakMonitor& operator=(const UserBreakMonitor&) = delete;
  bool Marked() { return m_monitor.TestAndClearChanged() != 0; }

 private:
  BreakMonitor m_monitor;
};

enum class WaitEnd { Stopped, Aborted, CannotWait };

// Ends the thread's run on this side (the agent has no halt request): its running
// flag cleared, its run state halted, its slots lifted and its temporary slots freed.
// The thread counts as halted before any slot is lifted: the requests that lift them
// must not wait for the running thread to stop.
void HaltRunningThread(uint32_t viewpoint) {
  TgtSetRunning(viewpoint, 0);
  TmiHaltThread(viewpoint);
  TgtDeleteTemporarySlots(viewpoint);
}

// 1. While the running flag is set: a Ctrl+C (when allowed) ends the wait as aborted;
//    otherwise one round of the event pump, then a short pause.
// 2. An abort says so on the command output and halts the thread.
// 3. A pump that cannot run (this wait was reached from inside the pump) would never
//    see the stop: the wait gives up.
WaitEnd WaitForStop(uint32_t viewpoint, bool ctrlCAllowed) {
  WaitEnd end = WaitEnd::Stopped;
  {
    UserBreakMonitor monitor;
    while (TgtGetRunning(viewpoint) != 0) {
      if (ctrlCAllowed && monitor.Marked()) {
        end = WaitEnd::Aborted;
        break;
      }
      if (!PumpEvents(viewpoint)) {
        end = WaitEnd::CannotWait;
        break;
      }
      if (TgtGetRunning(viewpoint) != 0) platform::SleepMilliseconds(kPumpPauseMilliseconds);
    }
  }
  if (end == WaitEnd::Aborted) {
    OutputWriter::WriteString("Ctrl+C has aborted operation.\n");
    HaltRunningThread(viewpoint);
  }
  return end;
}

bool ReadCodeByte(uint32_t viewpoint, uint32_t address, uint8_t* byte) {
  return TgtReadCodeByte(viewpoint, address, byte);
}

uint32_t CallLengthAt(uint32_t viewpoint, uint32_t pc) {
  return CallInstructionLength(pc, [viewpoint](uint32_t address, uint8_t* byte) {
    return ReadCodeByte(viewpoint, address, byte);
  });
}

// A temporary software slot of the thread at the address, inserted; false when no
// temporary slot is free or one is there already.
bool SetReturnBreak(uint32_t viewpoint, uint32_t address) {
  const int32_t slot = TgtAddSlot(viewpoint, address, nullptr, true);
  if (slot < 0) return false;
  if (TgtInsertSlot(static_cast<uint32_t>(slot))) return true;
  TgtDeleteSlot(static_cast<uint32_t>(slot));
  return false;
}

// Lifts every enabled slot and forgets the hit slot: a step starts clean.
void LiftSlots(uint32_t viewpoint) {
  TgtRemoveAllEnabled();
  TgtSetHitSlot(viewpoint, -1);
}

bool IsReturn(uint8_t byte) { return byte == 0xC3 || byte == 0xC2 || byte == 0xCB || byte == 0xCA; }

bool IsRepeatedStringOperation(uint8_t byte) {
  return (byte >= 0xA4 && byte <= 0xA7) || byte == 0xAA || byte == 0xAB || byte == 0xAE || byte == 0xAF;
}

// The status a step leaves: the thread's status word when the step failed with one,
// else 0 and the stop decoded.
uint32_t StepOutcome(uint32_t viewpoint, bool stepped, StopRecord* record) {
  if (!stepped) {
    const uint16_t word = TgtGetStatusWord(viewpoint);
    if (word != 0) return word;
  }
  TmiDecodeStopReason(viewpoint, record);
  return 0;
}

}  // namespace

// Near call E8: 5 bytes; far call 9A: 7. FF /2 (near indirect call): the ModRM byte's
// mode decides the displacement; an index byte follows for r/m 4 in a memory form
// (never in the register form, mode 3), and with mode 0 its base 5 means a 32-bit
// displacement. F3/F2 before a string move, compare, store or scan: 2.
uint32_t CallInstructionLength(uint32_t pc, const CodeByteReader& readByte) {
  uint8_t opcode = 0;
  if (!readByte(pc, &opcode)) return 0;
  if (opcode == 0xE8) return 5;
  if (opcode == 0x9A) return 7;
  uint8_t next = 0;
  if (opcode == 0xF3 || opcode == 0xF2) {
    return readByte(pc + 1, &next) && IsRepeatedStringOperation(next) ? 2 : 0;
  }
  if (opcode != 0xFF || !readByte(pc + 1, &next) || ((next >> 3) & 7u) != 2) return 0;
  const uint32_t mode = next >> 6;
  const uint32_t rm = next & 7u;
  static constexpr uint32_t kLengthByMode[4] = {2, 3, 6, 2};
  uint32_t length = mode == 0 && rm == 5 ? 6 : kLengthByMode[mode];
  if (rm == 4 && mode != 3) {
    uint8_t index = 0;
    if (mode == 0) {
      if (!readByte(pc + 2, &index)) return 0;
      length += (index & 7u) == 5 ? 5 : 1;
    } else {
      length += 1;
    }
  }
  return length;
}

const char* TmiStateText(uint32_t code) { return code == kRunningTextCode ? "RUNNING" : ""; }

bool TmiWaitWhileRunning(uint32_t viewpoint, bool ctrlCAllowed) {
  return WaitForStop(viewpoint, ctrlCAllowed) == WaitEnd::Stopped;
}

bool TmiHaltThread(uint32_t viewpoint) {
  const bool known = TgtIsKnown(viewpoint);
  if (known) {
    const uint32_t state = TgtGetRunState(viewpoint);
    const bool stoppedAlready = state == kRunStateStoppedByEvent || state == kRunStateHaltRequested;
    TgtSetRunState(viewpoint, stoppedAlready ? kRunStateHaltedWhileStopped : kRunStateHaltRequested);
    TgtRemoveAllEnabled();
    TgtSetHitSlot(viewpoint, -1);
  }
  InstalledTargetGui().ActivateMainWindow();
  return known;
}

// A thread halted here was never stopped on the server (the agent has no halt
// request), so there is no halt to wait out: it resumes like any other. Refusing it
// would refuse every go after a halt.
bool TmiResume(uint32_t viewpoint) { return TgtGo(viewpoint); }

bool TmiSingleStep(uint32_t viewpoint) {
  TgtSetRunning(viewpoint, 1);
  InvalidateRegisterCache();
  const bool sent = AgentSingleStep(kSingleStepArgument) == 0;
  TgtSetRunState(viewpoint, kRunStateStepping);
  if (!sent) {
    TgtSetRunning(viewpoint, 0);
    return false;
  }
  const WaitEnd end = WaitForStop(viewpoint, true);
  if (end == WaitEnd::Aborted) TgtSetStatusWord(viewpoint, kMsgControlCFromKeyboard);
  return end == WaitEnd::Stopped && TgtGetRunState(viewpoint) == kRunStateStepping;
}

// 1. At a call (see CallInstructionLength) the stack pointer is noted and a temporary
//    breakpoint goes to the instruction after the call; the thread then runs (run
//    state 0x44). Anything else is a single step (0x3C).
// 2. A stop in another run state than the one set means something else stopped the
//    thread: no success.
// 3. The return breakpoint can be reached by a deeper activation of the same code (a
//    recursion): the stack pointer then differs. The thread steps off the breakpoint,
//    which is set again, and runs on until the stack pointer matches.
// 4. A step over of a call that ends anywhere else (an exception in the callee, a
//    failed request) deletes the thread's temporary slots, as reaching the return
//    breakpoint does: left behind, that breakpoint would refuse every later step over
//    to the same address as a duplicate.
bool TmiStepOver(uint32_t viewpoint) {
  uint32_t pc = 0;
  if (!TgtLinearProgramCounter(viewpoint, &pc)) return false;
  const uint32_t callLength = CallLengthAt(viewpoint, pc);
  uint32_t state = kRunStateStepping;
  TargetAddressRecord before;
  const uint32_t next = pc + callLength;
  if (callLength != 0) {
    if (!TgtStackLocation(viewpoint, &before)) return false;
    state = kRunStateSteppingOver;
    if (!SetReturnBreak(viewpoint, next)) {
      // Refused (no free temporary slot, or one of a go is there already): the thread
      // did not move, and the status word says so instead of the last stop.
      TgtSetStatusWord(viewpoint, kMsgExecutionNotPermitted);
      return false;
    }
  }
  for (;;) {
    TgtSetRunning(viewpoint, 1);
    InvalidateRegisterCache();
    const bool sent = state == kRunStateStepping ? AgentSingleStep(kSingleStepArgument) == 0 : TmiResume(viewpoint);
    TgtSetRunState(viewpoint, state);
    if (!sent) {
      TgtSetRunning(viewpoint, 0);
      TgtDeleteTemporarySlots(viewpoint);
      return false;
    }
    const WaitEnd end = WaitForStop(viewpoint, true);
    if (end == WaitEnd::Aborted) TgtSetStatusWord(viewpoint, kMsgControlCFromKeyboard);
    if (end != WaitEnd::Stopped || TgtGetRunState(viewpoint) != state) break;
    if (state == kRunStateStepping) return true;
    TargetAddressRecord after;
    if (!TgtStackLocation(viewpoint, &after)) break;
    if (after.m_offset == before.m_offset) return true;
    if (!TmiSingleStep(viewpoint) || !SetReturnBreak(viewpoint, next)) break;
  }
  if (callLength != 0) TgtDeleteTemporarySlots(viewpoint);
  return false;
}

bool TmiStepInto(uint32_t viewpoint) {
  if (!TgtCanRun(viewpoint)) return false;
  LiftSlots(viewpoint);
  return TmiSingleStep(viewpoint);
}

bool TmiStepOverCall(uint32_t viewpoint) {
  if (!TgtCanRun(viewpoint)) return false;
  LiftSlots(viewpoint);
  return TmiStepOver(viewpoint);
}

// Steps over everything up to a return, then steps the return itself. A Ctrl+C seen
// between two steps ends it.
bool TmiStepOut(uint32_t viewpoint) {
  if (!TgtCanRun(viewpoint)) return false;
  UserBreakMonitor monitor;
  LiftSlots(viewpoint);
  for (;;) {
    uint32_t pc = 0;
    uint8_t opcode = 0;
    if (!TgtLinearProgramCounter(viewpoint, &pc) || !TgtReadCodeByte(viewpoint, pc, &opcode)) return false;
    if (IsReturn(opcode)) {
      if (!TmiSingleStep(viewpoint)) return false;
      const uint32_t state = TgtGetRunState(viewpoint);
      if (state != kRunStateSteppingOver && state != kRunStateStepping) return false;
      TgtSetRunState(viewpoint, kRunStateStepOutEnded);
      return true;
    }
    if (!TmiStepOver(viewpoint)) return false;
    const uint32_t state = TgtGetRunState(viewpoint);
    if (state != kRunStateSteppingOver && state != kRunStateStepping) return false;
    if (monitor.Marked()) {
      TgtSetStatusWord(viewpoint, kMsgControlCFromKeyboard);
      TgtSetRunState(viewpoint, kRunStateStepOutEnded);
      return false;
    }
  }
}

bool TmiStepRange(uint32_t viewpoint, uint32_t kind, uint32_t start, uint32_t length) {
  if (!TgtCanRun(viewpoint)) return false;
  LiftSlots(viewpoint);
  uint32_t pc = 0;
  if (!TgtLinearProgramCounter(viewpoint, &pc)) return false;
  bool stepped = false;
  // In 64 bits: a range that reaches the top of the address space does not wrap.
  while (pc >= start && uint64_t{pc} < uint64_t{start} + length) {
    stepped = kind == kStepInto ? TmiSingleStep(viewpoint) : TmiStepOver(viewpoint);
    if (!stepped || !TgtLinearProgramCounter(viewpoint, &pc)) return false;
  }
  return stepped;
}

// 1. On an enabled breakpoint of its own the thread steps off it first (run state
//    0x4B or 0x4C); the stop event of that step inserts the slots and goes on.
// 2. Otherwise the slots go in (only the temporary ones for 0x3F) and it resumes.
bool TmiGo(uint32_t viewpoint, uint32_t runState) {
  if (!TgtCanRun(viewpoint)) return false;
  TgtSetHitSlot(viewpoint, -1);
  uint32_t pc = 0;
  const bool havePc = TgtLinearProgramCounter(viewpoint, &pc);
  const bool onBreakpoint = havePc && (TgtFindEnabled(viewpoint, pc, 0) >= 0 || TgtFindEnabled(viewpoint, pc, 1) >= 0 ||
                                       TgtFindEnabled(viewpoint, pc, 2) >= 0);
  bool sent = false;
  if (!onBreakpoint) {
    if (runState == kRunStateGoWithTemporaries) {
      TgtInsertTemporarySlots(viewpoint);
    } else {
      TgtInsertUserSlots(viewpoint);
    }
    sent = TmiResume(viewpoint);
  } else {
    TgtSetRunning(viewpoint, 1);
    InvalidateRegisterCache();
    sent = AgentSingleStep(kSingleStepArgument) == 0;
    if (runState == kRunStateGo) runState = kRunStateStepOffBeforeGo;
    if (runState == kRunStateGoWithTemporaries) runState = kRunStateStepOffBeforeGoWithTemporaries;
  }
  if (!sent) {
    // Nothing runs: the thread must not look busy for ever.
    TgtSetRunning(viewpoint, 0);
    return false;
  }
  TgtSetRunState(viewpoint, runState);
  return true;
}

bool TmiGoWithTemporaries(uint32_t viewpoint, const TargetAddressRecord* temporaries) {
  uint32_t handled = 0;
  for (uint32_t i = 0; temporaries != nullptr && i < kMostTemporaryBreaks && temporaries[i].m_nullMark == 0; ++i) {
    const uint32_t address = temporaries[i].m_offset;
    ++handled;
    if (TgtFindEnabled(viewpoint, address, 2) >= 0) continue;
    if (TgtAddSlot(viewpoint, address, nullptr, true) < 0) return false;
  }
  return handled != 0 && TmiGo(viewpoint, kRunStateGoWithTemporaries);
}

uint32_t TmiExecute(TargetStatus* status, uint32_t viewpoint, uint32_t mode, const TargetAddressRecord* temporaries) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  if (viewpoint == kNoParticularThread && mode == kExecuteGo) return 0;
  bool went = false;
  switch (mode) {
    case kExecuteGo: went = TmiGo(viewpoint, kRunStateGo); break;
    case kExecuteGoWithTemporaries: went = TmiGoWithTemporaries(viewpoint, temporaries); break;
    case kExecuteGoSecondForm: went = TmiGo(viewpoint, kRunStateGoSecondForm); break;
    default: break;
  }
  if (!went) TmiSetStatus(status, viewpoint, kMsgExecutionNotPermitted);
  if (viewpoint != kNoParticularThread) {
    InstalledTargetGui().NotifyTargetEvent(viewpoint, kEventKindRunning, TmiStateText(kRunningTextCode), nullptr);
    InvalidateRegisterCache();
  }
  return status->m_number;
}

uint32_t TmiQueryTarget(TargetStatus*, uint32_t viewpoint) {
  if (viewpoint == kNoParticularThread || !TgtIsBusy(viewpoint)) return 0;
  HaltRunningThread(viewpoint);
  StopRecord record;
  TmiDecodeStopReason(viewpoint, &record);
  InstalledTargetGui().NotifyTargetEvent(viewpoint, kEventKindStop, TmiStateText(0), &record);
  return 0;
}

uint32_t TmiStep(TargetStatus* status, uint32_t viewpoint, uint32_t kind, uint32_t count, uint32_t* stepsDone,
                 StopRecord* record) {
  *stepsDone = 0;
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  if (kind != kStepInto && kind != kStepOver && kind != kStepOut) {
    return TmiSetStatus(status, viewpoint, kMsgExecutionNotPermitted);
  }
  uint32_t result = 0;
  uint32_t done = 0;
  // Set while the register record holds what decoding the last completed step read:
  // the thread has not moved since, so the views that refresh after the stop share
  // that one read instead of asking the agent again.
  bool decodedAfterStop = false;
  {
    UserBreakMonitor monitor;
    for (; done < count; ++done) {
      if (monitor.Marked()) {
        result = kMsgControlCFromKeyboard;
        break;
      }
      const bool stepped = kind == kStepInto   ? TmiStepInto(viewpoint)
                           : kind == kStepOver ? TmiStepOverCall(viewpoint)
                                               : TmiStepOut(viewpoint);
      InstalledTargetGui().SelectViewpoint(viewpoint);
      result = StepOutcome(viewpoint, stepped, record);
      decodedAfterStop = stepped;
      if (!stepped) break;
    }
  }
  *stepsDone = done;
  // A step that did not complete (cut short, refused, the wait failed) may have left
  // the thread anywhere: the record goes stale.
  if (!decodedAfterStop) InvalidateRegisterCache();
  return TmiSetStatus(status, viewpoint, result);
}

uint32_t TmiStepLine(TargetStatus* status, uint32_t viewpoint, uint32_t kind, const TargetAddressRecord* start,
                     uint32_t length, StopRecord* record) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  const bool stepped = TmiStepRange(viewpoint, kind, start->m_offset, length);
  InstalledTargetGui().SelectViewpoint(viewpoint);
  InvalidateRegisterCache();
  return TmiSetStatus(status, viewpoint, StepOutcome(viewpoint, stepped, record));
}

uint32_t TmiGetStopReason(TargetStatus* status, uint32_t viewpoint, StopRecord* record) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  TmiDecodeStopReason(viewpoint, record);
  return status->m_number;
}

uint32_t TmiDecodeStopReason(uint32_t viewpoint, StopRecord* record) {
  record->m_viewpoint = viewpoint;
  record->m_location = TargetAddressRecord{};
  record->m_location.m_nullMark = 1;
  if (!TgtIsKnown(viewpoint)) {
    record->m_reason = kBreakReasonUnknownThread;
    return 0;
  }
  const int32_t hitSlot = TgtGetHitSlot(viewpoint);
  if (hitSlot >= 0) {
    record->m_reason = kBreakReasonBreakpoint;
    record->m_breakpointNumber = static_cast<uint32_t>(TgtBreakpointNumber(static_cast<uint32_t>(hitSlot)));
  } else {
    switch (TgtGetRunState(viewpoint)) {
      case kRunStateStepping:
      case kRunStateSteppingOver:
        WaitForStop(viewpoint, false);
        record->m_reason = kBreakReasonStepsDone;
        break;
      case kRunStateStepOutEnded: record->m_reason = kBreakReasonStepsDone; break;
      case kRunStateGoWithTemporaries: record->m_reason = kBreakReasonTemporaryBreak; break;
      case kRunStateHaltRequested:
      case kRunStateHaltedWhileStopped: record->m_reason = kBreakReasonHalted; break;
      case kRunStateStoppedByEvent: record->m_reason = kBreakReasonEvent; break;
      case kRunStateException:
        record->m_reason = kBreakReasonEvent;
        record->m_text = ExceptionName(TgtGetException(viewpoint));
        record->m_classText = "EXCEPT";
        break;
      default: record->m_reason = kBreakReasonUnknownThread; break;
    }
  }
  LoaderAddress pc;
  if (TgtProgramCounter(viewpoint, &pc)) {
    record->m_location = TargetAddressRecord{};
    record->m_location.m_addressClass = kAddressClassMemory;
    record->m_location.m_addressKind = kAddressKindMemoryOffset;
    record->m_location.m_reserved2 = pc.m_segment;
    record->m_location.m_offset = pc.m_offset;
  }
  return 0;
}

}  // namespace zentor
