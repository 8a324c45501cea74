#pragma once
// What the byte image stands in for in a whole-program session, once start-up has
// installed the program's own services: the stopped thread's program counter (read
// and written) and frame pointer, and the register names by the numbers the image's register set
// uses. Bound to the help slot once start-up has bound its own routines, it runs as
// the session script's first command.

#include <cstdint>

#include "app/startup.h"
#include "command/action_table.h"
#include "command/command_scanner.h"
#include "core/program_counter.h"
#include "core/target_memory.h"
#include "symbols/symbol_query_test_support.h"

namespace zentor::testing_support {

inline constexpr uint16_t kHelpSlot = 183;

// The byte image that start-up's own target memory replaced.
inline TargetMemoryService*& StandInMemory() {
  static TargetMemoryService* memory = nullptr;
  return memory;
}

inline void StandInForTheTarget() {
  TargetMemory::InstallService(StandInMemory());
  ProgramCounterRegister::InstallReader(&QueryRegisters::ReadProgramCounter);
  ProgramCounterRegister::InstallWriter(&QueryRegisters::WriteProgramCounter);
  FramePointerRegister::InstallReader(&QueryRegisters::ReadFramePointer);
  CommandScanner::AddKeyword(18, kTargetEbx, "ebx");
  CommandScanner::AddKeyword(18, kTargetEsi, "esi");
}

inline void BindStandInToHelp(TargetMemoryService* memory) {
  StandInMemory() = memory;
  SetStartupTestHook([] { ActionTable::Bind(kHelpSlot, &StandInForTheTarget, "StandInForTheTarget"); });
}

}  // namespace zentor::testing_support
