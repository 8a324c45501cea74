#pragma once
// What the debugger knows about the server between requests: the processor entries,
// the execution contexts (threads) of each with their run state, hit breakpoint slot,
// exception number, status word and running flag, and the modules whose symbols are
// loaded. Run control, the breakpoint slots, the event handlers and the target
// machine interface keep it; a context's id is the viewpoint value. The request
// wrappers at the end turn each agent request into true or false, and the small
// memory and register reads give run control the program counter, the stack pointer
// and one byte of code. One flow of control changes it (the command loop, the event
// pump and the poll timer never run at the same time).

#include <cstdint>
#include <vector>

#include "core/target_status.h"
#include "symbols/symbol_load_target.h"

namespace zentor {

class RegisterBlock;

// Run states of a context.
enum RunState : uint32_t {
  kRunStateExecuting = 0x3B,
  kRunStateStepping = 0x3C,
  kRunStateNone = 0x3D,
  kRunStateGo = 0x3E,
  kRunStateGoWithTemporaries = 0x3F,
  kRunStateGoSecondForm = 0x40,
  kRunStateHaltRequested = 0x42,
  kRunStateStoppedByEvent = 0x43,
  kRunStateSteppingOver = 0x44,
  kRunStateStepOutEnded = 0x45,
  kRunStateException = 0x48,
  kRunStateHaltedWhileStopped = 0x49,
  kRunStateEventHandled = 0x4A,
  kRunStateStepOffBeforeGo = 0x4B,
  kRunStateStepOffBeforeGoWithTemporaries = 0x4C,
};

// The exception number of a context the current processor does not hold.
inline constexpr uint32_t kUnknownContextException = 0x3D;

struct ContextRecord {
  uint32_t m_id = 0;  // the agent's thread identifier: the viewpoint value
  int32_t m_hitSlot = -1;
  uint32_t m_runState = 0;
  uint32_t m_exception = 0;
  uint16_t m_statusWord = 0;
  uint32_t m_running = 0;
  uint8_t m_flag = 0;
};

struct ModuleRecordEntry {
  uint32_t m_handle = 0;  // the agent's identifier of the loaded module
  uint32_t m_word = 0;
};

struct ProcessorEntry {
  int16_t m_id = 0;
  uint32_t m_creationWord = 0;
  int32_t m_currentModule = -1;
  std::vector<ModuleRecordEntry> m_modules;
  int32_t m_currentContext = -1;
  std::vector<ContextRecord> m_contexts;
};

// ---- lookups and state (on the current processor unless said otherwise)
ProcessorEntry* TgtProcessorEntry(int32_t id);
// An index outside the table is an internal error.
int32_t TgtProcessorIdAt(uint32_t index);
int32_t TgtProcessorOfModule(uint32_t handle);
int32_t TgtContextIndex(uint32_t id);
bool TgtIsKnown(uint32_t id);
uint32_t TgtGetRunState(uint32_t id);
bool TgtSetRunState(uint32_t id, uint32_t state);
uint32_t TgtGetException(uint32_t id);
bool TgtSetException(uint32_t id, uint32_t number);
// With no current processor the global status word; a context the current processor
// does not hold also reads and writes the global word.
uint16_t TgtGetStatusWord(uint32_t id);
void TgtSetStatusWord(uint32_t id, uint32_t code);
uint32_t TgtGetRunning(uint32_t id);
bool TgtSetRunning(uint32_t id, uint32_t flag);
// Searched in every processor's contexts; -1 none.
int32_t TgtGetHitSlot(uint32_t id);
// In the first matching context of any processor; -1 clears.
void TgtSetHitSlot(uint32_t id, int32_t slot);
bool TgtIsBusy(uint32_t id);
bool TgtCanRun(uint32_t id);
// A new entry (id from the counter, from 1) that becomes current; -1 when memory is
// short (the table is unchanged).
int32_t TgtAddProcessor(uint32_t creationWord);
bool TgtAddContext(int32_t processor, uint32_t id, uint8_t flag);
bool TgtAddModule(int32_t processor, uint32_t handle);
// Removes the thread's context from the current processor (a current context index
// stays on the context it named, or none).
void TgtRemoveContext(uint32_t id);
// Marks every registered change record of kind 14 changed: the lists of threads and
// their states are to be shown again (a thread stopped at a breakpoint, or ended).
void TgtSignalStateChange();
// The current processor; the register cache is marked stale.
void TgtSetCurrentProcessor(int32_t id);
int32_t TgtCurrentProcessor();
// The current context of the current processor (-1 when not found).
int32_t TgtSelectContext(uint32_t id);
// Id of the current context, -1 none (also without a current processor).
int64_t TgtCurrentContext();
uint32_t TgtProcessorCount();

// ---- memory and register reads for run control
// Reads register group mask 1: {memory, the segment word of the same read, eip};
// true on success.
bool TgtProgramCounter(uint32_t id, LoaderAddress* address);
bool TgtLinearProgramCounter(uint32_t id, uint32_t* address);
bool TgtLinearAddress(uint32_t id, uint32_t segmentWord, uint32_t offset, uint32_t* linear);
// A one-byte read for a known context; true when the byte came back.
bool TgtReadCodeByte(uint32_t id, uint32_t address, uint8_t* byte);
// Reads register group mask 5: a memory record at ss:esp; false when the read failed.
bool TgtStackLocation(uint32_t id, TargetAddressRecord* record);
// The first identifier of the agent's current-thread list; 0 when the request fails.
uint32_t TgtCurrentThreadFromAgent();

// ---- request wrappers: true when the agent request succeeded
bool TgtWriteMemory(uint32_t id, uint32_t address, const uint8_t* buffer, uint32_t length);
// *count is set to 0 first. Bytes read since the thread stopped come from the memory
// read cache (memory_read_cache.h).
bool TgtReadMemory(uint32_t id, uint32_t address, uint8_t* buffer, uint32_t length, uint32_t* count);
bool TgtGo(uint32_t id);
bool TgtReadRegisters(uint32_t id, RegisterBlock* block);
bool TgtWriteRegisters(uint32_t id, const RegisterBlock* block);
bool TgtGetEvent(uint32_t id);
// The agent has no halt request: both answer false and send nothing.
bool TgtHaltRequest(uint32_t id);
bool TgtResumeHalted(uint32_t id);

// ---- the status routine of the target interface
// number = code; severity ERROR for a nonzero code, else 0; no arguments. The code is
// also recorded as the thread's status word (TgtSetStatusWord). Returns the code.
uint32_t TmiSetStatus(TargetStatus* status, uint32_t viewpoint, uint32_t code);
// The guard of the operations that reach a thread: viewpoint -1 gives 2006; an
// operation that changes the target (`changesTarget`) on a busy thread gives 84;
// otherwise the status is set to 0. True when the operation may go on.
bool TmiGuard(TargetStatus* status, uint32_t viewpoint, bool changesTarget);

// Back to the start: no processor, the id counter at 1, the global word 0.
void ResetTargetState();

}  // namespace zentor
