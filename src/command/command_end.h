#pragma once
// The routines that undo the half-done work of a command when it fails: a command
// registers one while it has something to undo (an open capture, redirected output)
// and drops it when it finished normally; the command loop runs the ones still
// registered after an error, newest first.

#include <cstdint>

namespace zentor {

using CommandEndRoutine = void (*)();

// Empties the list (start of every command).
void ClearCommandEndRoutines();
void RegisterCommandEndRoutine(CommandEndRoutine routine);
// Removes the newest routine without running it; nothing when the list is empty.
void DropCommandEndRoutine();
// The GUI's busy cursor is taken back and the console line emptied; then every
// registered routine runs, newest first (an error one raises is caught and the next
// runs), and the list is left empty.
void RunCommandEndRoutines();
uint32_t CommandEndRoutineCount();

}  // namespace zentor
