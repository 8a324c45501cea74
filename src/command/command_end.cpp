#include "command/command_end.h"

#include "command/cleanup_stack.h"

namespace zentor {

// The command-end routines are the CleanupStack's entries: one list of undo routines
// for the command loop, the block capture and the parse of stored texts alike.

void ClearCommandEndRoutines() { CleanupStack::Clear(); }

void RegisterCommandEndRoutine(CommandEndRoutine routine) {
  if (routine != nullptr) CleanupStack::Push(routine);
}

void DropCommandEndRoutine() { CleanupStack::Drop(); }

void RunCommandEndRoutines() { CleanupStack::RunAll(); }

uint32_t CommandEndRoutineCount() { return CleanupStack::Count(); }

}  // namespace zentor
