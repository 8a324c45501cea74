#include "target/agent_events.h"

#include "target/agent_packet.h"
#include "core/collectable_record.h"
#include "platform/clock.h"

namespace zentor {
namespace {

constexpr uint32_t kRoundPauseMilliseconds = 10;

struct EventState {
  bool running = false;
  uint32_t pendingProcessorWord = 0;
  EventPumpRoutine pump = nullptr;
};

EventState& State() {
  static EventState state;
  return state;
}

// A name is a length byte and that many characters; both are bounded by the payload
// and the name by the record's array.
void ReadName(PayloadReader& reader, char* name) {
  const uint32_t length = reader.U8();
  const uint32_t wanted = length < kEventNameCapacity ? length : kEventNameCapacity;
  const uint32_t copied = reader.Bytes(name, wanted);
  name[copied] = '\0';
}

}  // namespace

void DecodeAgentEvent(const uint8_t* payload, uint32_t length, AgentEventRecord* record) {
  *record = AgentEventRecord{};
  PayloadReader reader(payload, length);
  record->m_code = reader.U16();
  record->m_flag = reader.U16() != 0 ? 1 : 0;
  record->m_threadId = reader.U32();
  auto words = [&](uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) record->m_words[i] = reader.U32();
  };
  switch (record->m_code) {
    case kAgentEventModuleLoaded:
      words(6);
      record->m_stopOnLoad = reader.U8();
      ReadName(reader, record->m_name);
      break;
    case kAgentEventModuleUnloaded: words(1); break;
    case kAgentEventLoadError:
    case kAgentEventServerError:
    case kAgentEventThreadExited: words(2); break;
    case kAgentEventThreadCreated:
      words(2);
      ReadName(reader, record->m_name);
      break;
    case kAgentEventText: ReadName(reader, record->m_name); break;
    case kAgentEventException:
      words(2);
      if (record->ExceptionNumber() == kAgentExceptionDebugRegisterTrap) {
        for (uint32_t& word : record->m_debugWords) word = reader.U32();
      }
      break;
    default: break;
  }
}

bool AgentTargetRunning() { return State().running; }
void SetAgentTargetRunning(bool running) { State().running = running; }
uint32_t PendingProcessorWord() { return State().pendingProcessorWord; }
void SetPendingProcessorWord(uint32_t word) { State().pendingProcessorWord = word; }
void InstallEventPump(EventPumpRoutine pump) { State().pump = pump; }

// Bounded: it ends when the pump cannot run (the thread is not busy, as after a
// Ctrl+C abort, or the pump is running further up) and at a Ctrl+C, and it pauses
// between rounds, so a request never spins.
void PumpEventsBeforeRequest(uint32_t threadId) {
  EventState& state = State();
  if (!state.running || state.pump == nullptr) return;
  BreakMonitor monitor;
  monitor.Register();
  while (state.running && state.pump != nullptr) {
    if (monitor.TestAndClearChanged() != 0 || !state.pump(threadId)) break;
    if (state.running) platform::SleepMilliseconds(kRoundPauseMilliseconds);
  }
  monitor.Unregister();
}

bool RunEventPumpOnce(uint32_t threadId) {
  EventPumpRoutine pump = State().pump;
  return pump != nullptr && pump(threadId);
}

void ResetAgentEvents() { State() = EventState{}; }

}  // namespace zentor
