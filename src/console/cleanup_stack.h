#pragma once
// The undo routines of half-done commands. A routine that opens a state that a later
// routine of the same command closes (a nested symbol lookup, a captured block, an
// open PUT or APPEND file, the keep-locations mode) pushes the routine that undoes it;
// the matching closer drops it again. When a command fails (an error reaches the
// command loop, or the parse of a stored expression text fails) the routines still
// pushed run, newest first, so that nothing stays open. The command loop empties the
// stack before each command.
//
// Entries are routine ids of the RoutineRegistry (routine_registry.h), kept as 32-bit
// words in a MemoryFile, so the stack holds the same bytes on every platform.

#include <cstdint>

#include "console/routine_registry.h"

namespace zentor {

class CleanupStack {
 public:
  // Creates the stack's file (start-up); later calls do nothing. Every other
  // operation creates it when it is missing.
  static void Create();
  // Empties the stack without running anything (before each command).
  static void Clear();
  // Pushes a routine; a failed write raises the DVError of the file's status.
  static void Push(RoutineId routine);
  // Registers the routine (under `name`, or under a name of its own when it is not
  // registered yet) and pushes it.
  static void Push(ActionRoutine routine, const char* name = nullptr);
  // Forgets the newest routine without running it; nothing on an empty stack.
  static void Drop();
  // Runs the pushed routines newest first and leaves the stack empty. Before them the
  // prelude routine runs (the symbol listing clears its running word that way), the
  // GUI's busy cursor is popped and the console character channel emptied. A DVError
  // raised by one routine is caught and the next one still runs (each undoes a
  // state of its own); the first such error is reported after the last routine ran.
  // Routines pushed or dropped while the walk runs do not change which routines it
  // runs.
  static void RunAll();
  static uint32_t Count();

  // The routine RunAll calls first (null: none).
  static void SetRunAllPrelude(ActionRoutine prelude);
};

}  // namespace zentor
