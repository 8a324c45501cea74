#pragma once
// The debugger's command cycles, run after start-up: they read, parse and execute one
// command after another. They are the one place where every DVError a command lets
// escape is caught, the interpreter put right again by the error's number or
// severity, and the error reported. The program ends only in ExitDebugger (the exit
// command, the end of the standard input, a fatal error or a failed start-up).

#include <cstdint>

namespace zentor {

class DVError;

// The command cycles alone (after start-up): prompt, parse, execute, release the code,
// and recovery after every error.
[[noreturn]] void RunCommandCycles();

// Everything after an error that ended a command: cursors off, the base viewpoint
// current, the recovery by the error's number or severity, the report (a fatal error
// is reported before its recovery ends the program), the error reset and the
// command's code released. Test harnesses that run commands their own way call it
// too.
void HandleCommandError(DVError& error);

// Recovery after an error that ended a command, by its number, else its severity
// (see command_loop.cpp). Exposed for the recovery table's tests.
void RecoverFromCommandError(uint32_t number, uint32_t severity);

// The ready signal goes to the GUI in the first cycle only; tests start over here.
void ResetCommandLoopState();

}  // namespace zentor
