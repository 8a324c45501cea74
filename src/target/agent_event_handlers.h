#pragma once
// What the debugger does with each event the agent reports: the event pump that asks
// for events and resumes the target after the ones that do not stop it, and the
// handlers that turn module loads and unloads, thread starts and ends, texts,
// exceptions and the breakpoint, single-step and debug-register traps into changes of
// the target state and the breakpoint slots, stop reports to the GUI and, for a
// module load, the loading of its symbols. Start-up installs the pump
// (InstallAgentEventPump); run control's waits and the poll timer run it.

#include <cstdint>

#include "target/agent_events.h"

namespace zentor {

// One pass of the pump for the thread: nothing (false) when the thread is not busy or
// the pump is running already; otherwise events are asked for and handled while a
// handler asks for more, and true comes back.
bool PumpEvents(uint32_t viewpoint);
// Runs the handler of the event. *resume: 1 when the target is to run on (the pump
// then sends a go), 0 when it stopped. *more: 1 when the next event is to be asked for
// at once. Every handler works on the thread with id 0 (the record's id is set to 0).
void DispatchAgentEvent(AgentEventRecord* record, uint32_t* resume, uint32_t* more);
// Events dispatched since the program started (a waiting loop tells a poll that
// brought an event from one that found none).
uint64_t AgentEventsHandled();
// Called after the trap handlers have recorded a stop; it does nothing.
void AgentEventHook(uint32_t viewpoint);

// Makes PumpEvents the pump that requests made while the target runs wait on.
void InstallAgentEventPump();

// Results of the trap handlers: the thread stopped (0), runs on (1), or the trap is
// not theirs and is reported as an exception (-2).
inline constexpr int32_t kTrapStopped = 0;
inline constexpr int32_t kTrapResume = 1;
inline constexpr int32_t kTrapNotClaimed = -2;

}  // namespace zentor
