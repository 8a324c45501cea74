#pragma once
// The debugger's main routine. The program entry calls CommandLoop once with its
// arguments: it runs the start-up sequence, then reads, parses and executes one
// command after another. It is the one place where every DVError a command lets
// escape is caught, the interpreter put right again by the error's number or
// severity, and the error reported. The program ends only in ExitDebugger (the exit
// command, the end of the standard input, a fatal error or a failed start-up).

#include <cstdint>

namespace zentor {

// Stores the arguments, runs Startup and then the command cycles. Never returns; a
// test that installed a program-exit handler sees the end through that handler.
[[noreturn]] void CommandLoop(int32_t argumentCount, char** argumentVector);

// The command cycles alone (after start-up): prompt, parse, execute, release the code,
// and recovery after every error.
[[noreturn]] void RunCommandCycles();

// Recovery after an error that ended a command, by its number, else its severity
// (see command_loop.cpp). Exposed for the recovery table's tests.
void RecoverFromCommandError(uint32_t number, uint32_t severity);

// The ready signal goes to the GUI in the first cycle only; tests start over here.
void ResetCommandLoopState();

}  // namespace zentor
