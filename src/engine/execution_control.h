#pragma once
// Execution control: the go, step, target-query and wait requests of the command
// language and the source pane turned into the target's run control, and afterwards
// the debugger's idea of where the program stands brought up to date (the last stop,
// the report line, the current execution address, the windows). A go returns as soon
// as the target runs, in every mode: the stop comes later as a target event, from the
// event poll or a wait, and the stop report tells it. Steps are synchronous.

#include <cstdint>

#include "core/bool_flag.h"
#include "core/address_descriptor.h"
#include "core/target_status.h"
#include "target/stop_record.h"

namespace zentor {

// Messages of execution control.
inline constexpr uint32_t kMsgTemporaryBreaksExceeded = 28;
inline constexpr uint32_t kMsgToolExecuting = 84;
inline constexpr uint32_t kMsgIllegalStepSize = 157;
inline constexpr uint32_t kMsgNoUserProgramLoaded = 324;

// Go modes.
inline constexpr uint32_t kGoPlain = 0;
inline constexpr uint32_t kGoUntilTemporaryBreak = 1;
inline constexpr uint32_t kGoWithoutBreakpoints = 2;
// Step granularity and caller kinds.
inline constexpr uint16_t kStepSourceLine = 1;
inline constexpr uint16_t kStepInstruction = 2;
inline constexpr uint32_t kCallerOver = 1;
inline constexpr uint32_t kCallerInto = 2;
inline constexpr uint32_t kCallerOut = 3;
inline constexpr uint32_t kLargestStepCount = 0x7FFFFFFFu;
inline constexpr uint32_t kMostTemporaryBreakAddresses = 10;

// The common base of the three execution objects; it holds nothing.
class ExecutionObject {};

class GoControl : public ExecutionObject {
 public:
  static void Reset();
  // 28 when ten are held already; the list is then unchanged.
  static void AddTemporaryBreak(const AddressDescriptor& address);
  // The list (ended by a null record), or null when none was added since the reset.
  static const TargetAddressRecord* TemporaryBreaks();
  static uint32_t Count();
  static void Go(uint32_t mode);
  static void GoNoThread(uint32_t mode);
};

class StepControl : public ExecutionObject {
 public:
  static void Step(uint16_t granularity, uint32_t callerKind, uint32_t count, uint32_t report);
  // The repeat flag of a repeated window request; cleared when a step is cut short.
  static bool RepeatFlag();
  // The flag word itself, which the view dispatcher's repeat loop watches.
  static BoolFlag& RepeatFlagWord();
  static void SetRepeatFlag(bool on);

 private:
  static void RunSteps(uint16_t granularity, uint32_t stepKind, uint32_t count, uint32_t report);
  static bool StepInstructions(uint32_t stepKind, StopRecord& record, uint32_t count);
  static bool StepSourceLines(uint32_t stepKind, StopRecord& record, const AddressDescriptor& start,
                              uint32_t count);
  static void ShowInstructionAt(const AddressDescriptor& address);
};

class RunControl : public ExecutionObject {
 public:
  static void QueryTarget();
  static void QueryTargetNoThread();
};

// The line holding an address: its start and the byte length of its code; false when
// no line holds it.
bool LineOfAddress(const AddressDescriptor& address, AddressDescriptor* start, uint32_t* length);

// The wait command: while the current viewpoint runs, polls the agent at most once per
// 10 ms, until the stop is reported or Ctrl+C (which leaves the target running).
void WaitWhileRunning();

// ActionTable slots.
void GoWithoutBreaksCommand();       // 83
void GoCommand();                    // 84
void ResetTemporaryBreaksCommand();  // 86
void AddTemporaryBreakCommand();     // 87
void GoUntilCommand();               // 89
void StepCommand();                  // 123
void WaitCommand();                  // 185
void QueryTargetCommand();           // 187

void BindExecutionActions();

}  // namespace zentor
