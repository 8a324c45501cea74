#pragma once
// The end of a debugging session inside a running process: everything the session
// built is released and every subsystem goes back to its state before start-up, so
// that the next start-up begins a session exactly like the program's first. The
// program itself ends its one session by exiting; test harnesses and the fuzz drivers
// run many sessions in one process and call this between them.

namespace zentor {

// Drops, in this order: the agent link, its request and event state, the target
// state, register model, known modules and the target's options; the command
// interpreter's code, frames, values, defined names and parser state, the debug
// variables, the C expression parser's lexer and flags and the value output; every
// viewpoint with its symbol context, the loaded programs and the symbol-load state,
// the search paths; the console's devices, files and output; the start-up options and
// the last error.
void ResetDebugSession();

}  // namespace zentor
