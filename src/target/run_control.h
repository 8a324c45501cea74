#pragma once
// Run control: the engine's go and step requests turned into agent requests,
// temporary breakpoints and waits, one thread (viewpoint) at a time. A go inserts the
// thread's enabled breakpoint slots and resumes it; the poll timer's event pump then
// receives the stop. A step removes the slots, single-steps or sets a temporary slot
// and goes, and waits for the stop itself while watching for Ctrl+C. Afterwards the
// stop is decoded into a StopRecord. The event handlers use the go forms too.

#include <cstdint>
#include <functional>

#include "core/target_status.h"
#include "target/stop_record.h"

namespace zentor {

// Modes of TmiExecute.
inline constexpr uint32_t kExecuteGo = 0;
inline constexpr uint32_t kExecuteGoWithTemporaries = 1;
inline constexpr uint32_t kExecuteGoSecondForm = 2;
// Step kinds of TmiStep (TmiStepLine: 3 steps into calls, any other kind over them).
inline constexpr uint32_t kStepInto = 3;
inline constexpr uint32_t kStepOver = 4;
inline constexpr uint32_t kStepOut = 5;
// The viewpoint of run control's calls for no particular thread.
inline constexpr uint32_t kNoParticularThread = 0xFFFFFFFEu;
// The most addresses of one go with temporary breakpoints (the temporary slots).
inline constexpr uint32_t kMostTemporaryBreaks = 10;

inline constexpr uint32_t kMsgExecutionNotPermitted = 2001;
inline constexpr uint32_t kMsgControlCFromKeyboard = 80;

// ---- the engine's entries (status first, viewpoint second, the number returned)
// Mode 0 go, 1 go with temporary breakpoints at the listed addresses (ended by the
// first record whose null mark is set, at most 10 taken), 2 the second form of go.
// A refusal gives 2001. Afterwards the GUI hears that the thread runs.
uint32_t TmiExecute(TargetStatus* status, uint32_t viewpoint, uint32_t mode, const TargetAddressRecord* temporaries);
// The target query (the halt command; the Source window's go while the thread runs).
// The agent has no halt request, so a thread that runs is halted on this side, as a
// Ctrl+C in a wait halts it, and its stop (reason 4, halted) goes to the GUI as the
// event handlers send theirs; the agent's thread is not told. A thread that does not
// run, and the viewpoint for no particular thread, are left as they are. Always 0.
uint32_t TmiQueryTarget(TargetStatus* status, uint32_t viewpoint);
// `count` steps of kind 3, 4 or 5; *stepsDone says how many completed. The stop is
// decoded into *record after each step.
uint32_t TmiStep(TargetStatus* status, uint32_t viewpoint, uint32_t kind, uint32_t count, uint32_t* stepsDone,
                 StopRecord* record);
// Steps until the program counter leaves [start, start + length).
uint32_t TmiStepLine(TargetStatus* status, uint32_t viewpoint, uint32_t kind, const TargetAddressRecord* start,
                     uint32_t length, StopRecord* record);
uint32_t TmiGetStopReason(TargetStatus* status, uint32_t viewpoint, StopRecord* record);
// Fills the record; always 0.
uint32_t TmiDecodeStopReason(uint32_t viewpoint, StopRecord* record);
// "RUNNING" for code 1, the empty text for every other code.
const char* TmiStateText(uint32_t code);

// ---- run control's own operations (true: the thread did what was asked)
// Pumps agent events until the thread's running flag is clear. Ctrl+C (when allowed)
// aborts: the thread is halted and false comes back. A wait that cannot receive the
// event (the pump is already running further up) gives up and answers false.
bool TmiWaitWhileRunning(uint32_t viewpoint, bool ctrlCAllowed);
// The thread's slots are lifted and its run state says halted; the agent has no halt
// request. False for a thread the target does not know.
bool TmiHaltThread(uint32_t viewpoint);
bool TmiResume(uint32_t viewpoint);
bool TmiSingleStep(uint32_t viewpoint);
bool TmiStepOver(uint32_t viewpoint);
bool TmiStepInto(uint32_t viewpoint);
bool TmiStepOverCall(uint32_t viewpoint);
bool TmiStepOut(uint32_t viewpoint);
bool TmiStepRange(uint32_t viewpoint, uint32_t kind, uint32_t start, uint32_t length);
// Go in run state 0x3E, 0x3F (temporary slots only) or 0x40.
bool TmiGo(uint32_t viewpoint, uint32_t runState);
bool TmiGoWithTemporaries(uint32_t viewpoint, const TargetAddressRecord* temporaries);

// The length of the call instruction at `pc` that a step over runs as a whole (a near,
// far or indirect call, or a repeated string instruction), 0 when there is none there.
// Bytes come one at a time from `readByte`; a byte that cannot be read means no call.
using CodeByteReader = std::function<bool(uint32_t address, uint8_t* byte)>;
uint32_t CallInstructionLength(uint32_t pc, const CodeByteReader& readByte);

}  // namespace zentor
