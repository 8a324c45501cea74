#pragma once
// The agent's events as the debugger receives them: nothing comes unasked, so events
// are fetched with get-event requests. This holds the get-event request and the
// decoding of its answer into an event record, the running flag (set by an accepted
// go, cleared by every answered get-event), the processor selection held while the
// target runs, and the wait before a request made while the target runs. The event
// pump that runs the handlers is installed by run control.

#include <cstdint>

#include "target/agent_protocol.h"

namespace zentor {

// Names of events are cut to this many characters.
inline constexpr uint32_t kEventNameCapacity = 255;

// An event as decoded from a get-event answer. Fields that a short answer does not
// hold read as 0 and names as empty or cut at the answer's end.
struct AgentEventRecord {
  uint16_t m_code = 0;
  uint16_t m_flag = 0;  // 1 or 0
  uint32_t m_threadId = 0;
  // The u32 fields from offset 8 on, in order. 1000: module handle, code base, a third
  // word, data base, a fifth word, start address; 1001: module handle; 1002 and 1010:
  // a word and the ServerErrorCode; 1011: a word and the thread's start address; 1012:
  // two words; 1099: exception number and address.
  uint32_t m_words[6] = {};
  // 1099 with exception 0x12F: the six words behind the address.
  uint32_t m_debugWords[6] = {};
  uint8_t m_stopOnLoad = 0;  // 1000
  // 1000 module name, 1011 thread name, 1098 text; NUL-terminated.
  char m_name[kEventNameCapacity + 1] = {};

  uint32_t ModuleHandle() const { return m_words[0]; }
  uint32_t CodeBase() const { return m_words[1]; }
  uint32_t DataBase() const { return m_words[3]; }
  uint32_t StartAddress() const { return m_words[5]; }
  uint32_t ServerStatus() const { return m_words[1]; }
  uint32_t ThreadStartAddress() const { return m_words[1]; }
  uint32_t ExceptionNumber() const { return m_words[0]; }
  uint32_t ExceptionAddress() const { return m_words[1]; }
};

// Decodes a get-event payload; every field is bounded by `length`.
void DecodeAgentEvent(const uint8_t* payload, uint32_t length, AgentEventRecord* record);

// AgentGetEvent (agent_requests.h) sends a get-event request, which the agent leaves
// unanswered when no event is pending: then 0x834, quietly. On status 0 the running
// flag is cleared, the record and the flag byte (the event flag as 1 or 0) filled, and
// a held processor selection sent.

// The running flag.
bool AgentTargetRunning();
void SetAgentTargetRunning(bool running);
// The processor option word held while the target runs (0 = none).
uint32_t PendingProcessorWord();
void SetPendingProcessorWord(uint32_t word);

// The event pump of run control: one pass, which asks for an event once and handles
// it. It returns false when it cannot run now (the context is not busy, or the pump
// is running already), so a waiting request never spins. agent_event_handlers.h has
// the program's pump.
using EventPumpRoutine = bool (*)(uint32_t threadId);
void InstallEventPump(EventPumpRoutine pump);
// Before a request made while the target runs: pumps until an answered get-event has
// cleared the running flag. Without a pump, or when it cannot run, it returns at once;
// a Ctrl+C ends it too.
void PumpEventsBeforeRequest(uint32_t threadId);
// One pass of the installed pump (the poll timer's); false without a pump.
bool RunEventPumpOnce(uint32_t threadId);

// Back to the start state: not running, nothing held, no pump.
void ResetAgentEvents();

}  // namespace zentor
