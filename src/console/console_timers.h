#pragma once
// The timers of console mode. A windowed GUI runs a timer's routine from its message
// loop, that is while it waits for the user; the console has no message loop, so the
// command reader runs the routines that are due while it waits for input and a
// viewpoint runs (char_channel.h). The target's 10 ms event poll is the one user: with
// it a stop is reported while the console waits at the running prompt. Like a GUI's
// timer message, a tick never comes in the middle of a command.

#include <cstdint>

namespace zentor {

using ConsoleTimerRoutine = void (*)();

// A timer that calls `routine` every `milliseconds` (at least 1); its id, or -1 without
// a routine.
int32_t SetConsoleTimer(uint32_t milliseconds, ConsoleTimerRoutine routine);
// Forgets the timer; an unknown id does nothing.
void KillConsoleTimer(int32_t id);
bool AnyConsoleTimer();
// How long until the first timer is due (0 when one is due now); 0 without timers.
uint32_t MillisecondsToNextConsoleTimer();
// Calls the routine of every timer that is due and sets its next tick one interval
// from now (ticks missed while nobody waited are not made up). A routine's error is
// reported, as a GUI reports what its timer's handler raised.
void RunDueConsoleTimers();

}  // namespace zentor
