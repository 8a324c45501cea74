#pragma once
// The debugger's main routine. The program entry calls CommandLoop once with its
// arguments: it runs the start-up sequence, then the command cycles of the command
// loop. The program ends only in ExitDebugger (the exit command, the end of the
// standard input, a fatal error or a failed start-up).

#include <cstdint>

namespace zentor {

// Stores the arguments, runs Startup and then the command cycles. Never returns; a
// test that installed a program-exit handler sees the end through that handler.
[[noreturn]] void CommandLoop(int32_t argumentCount, char** argumentVector);

}  // namespace zentor
