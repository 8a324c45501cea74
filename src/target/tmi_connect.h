#pragma once
// The connection to the debug agent at start-up (notification 3): the link the options
// chose, the greeting (a question while the server does not answer), the target state
// set up afresh with its 10 ms event-poll timer, the processor word, and the first
// processor with the thread the agent names current, seen as the viewpoint
// "Processor 0". A link that cannot be opened, or a greeting the user gives up on,
// ends the program with exit code 0.
//
// A session may also run without an agent: with the environment variable
// ZENTOR_OFFLINE set (to anything but "0" or nothing) nothing is connected; the
// console works as before and every target operation answers that no program is
// loaded. scripts/run --offline and the tests of the command language use it.

#include <cstdint>

namespace zentor {

// The connect sequence; see the steps above its definition.
void TmiConnect();
// Frees every breakpoint slot, makes no processor current and starts the poll timer.
void TmiStartTarget();
// Creates the first processor entry with the agent's current thread and its viewpoint.
void TmiStartFirstProcessor();
// True when this session runs without an agent (ZENTOR_OFFLINE).
bool TmiOfflineSession();

// The 10 ms timer whose callback polls the agent's events (in console mode the command
// reader runs it while it waits for input).
void StartPollTimer();
void StopPollTimer();
bool PollTimerRunning();

}  // namespace zentor
