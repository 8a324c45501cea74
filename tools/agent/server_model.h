#pragma once
// The stand-in agent's server: the processor, thread 0 (the one thread the debugger
// works with), the module table, made-up process and screen tables, software
// breakpoint indexes 0-67, debug-register rows 0-3 and the queue of events waiting
// for get-event requests. The request dispatcher changes it; run control (go, step)
// runs its processor and queues what stopped it.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent_options.h"
#include "cpu_emulator.h"
#include "module_image.h"

namespace zentor::agent {

inline constexpr uint32_t kSoftwareBreakpointCount = 68;
inline constexpr uint32_t kDebugRegisterRows = 4;

struct ProcessEntry {
  uint32_t m_id;
  const char* m_name;
  bool m_running;  // on the run queue
  uint8_t m_waitBits;
  uint8_t m_workerListFlag;
};

struct ScreenEntry {
  uint32_t m_id;
  const char* m_name;
  uint16_t m_typeAheadCount;
  uint16_t m_videoMode;
  uint32_t m_bufferAddress;
  uint32_t m_keyboardThread;
};

struct ModuleEntry {
  uint32_t m_handle = 0;
  ModuleImage m_module;  // without its image bytes once loaded
};

// The made-up tables (server_tables.cpp).
const std::vector<ProcessEntry>& BuiltInProcesses();
const std::vector<ScreenEntry>& BuiltInScreens();
std::vector<ModuleImage> BuiltInModules();
// The name thread 0 shows in process records.
inline constexpr const char* kThreadZeroName = "Debug Thread";

class ServerModel {
 public:
  explicit ServerModel(const AgentOptions& options);

  CpuEmulator& Cpu() { return m_cpu; }
  const AgentOptions& Options() const { return m_options; }

  // Modules: maps and copies the image, enters it in the table; the first module with
  // an entry starts thread 0 there.
  bool AddModule(ModuleImage module, uint32_t* handle, std::string* error);
  const ModuleEntry* FindModule(uint32_t handle) const;
  const ModuleEntry* FindModuleByName(const std::string& name) const;
  void RemoveModule(uint32_t handle);

  const ProcessEntry* FindProcess(uint32_t id) const;
  const ScreenEntry* FindScreen(uint32_t id) const;
  bool IsKnownThread(uint32_t id) const { return id == 0 || FindProcess(id) != nullptr; }
  // The identifiers of a list kind (1-5), without the terminator; nullopt for an
  // unknown kind.
  std::optional<std::vector<uint32_t>> ListIdentifiers(uint32_t kind) const;

  // Breakpoints: statuses of the agent protocol.
  uint32_t SetBreakpoint(uint32_t index, uint32_t address);
  uint32_t ClearBreakpoint(uint32_t index);
  uint32_t SetDebugRegister(uint32_t row, uint32_t address, uint32_t lengthCode, uint32_t condition);
  uint32_t ClearDebugRegister(uint32_t row);

  // What queued an event: the server (a module load), the end of a single step, or a
  // stop of the running thread (a trap, an exception, a text, its end).
  enum class EventOrigin : uint8_t { Server, Step, Stop };
  // Events, oldest first; each is the payload of a get-event answer. A go that comes
  // while the event of a step waits drops that event; one that comes while a stop
  // waits leaves the thread where it stopped, as the debugger has not seen the stop
  // yet (the go after it resumes the thread).
  void QueueEvent(std::vector<uint8_t> payload, EventOrigin origin = EventOrigin::Server);
  bool TakeEvent(std::vector<uint8_t>* payload);
  size_t PendingEvents() const { return m_events.size(); }

  // Run control: go lets thread 0 run in slices between requests until something stops
  // it; a step runs one instruction (and ends a run still going). Either queues the
  // event of the stop. A text the module prints stops the thread with a text event
  // until the next go; texts printed during a step wait for the next go, so that a
  // step ends with its own event. While events of --go-event remain, a go that would
  // run the thread reports the next of them instead and leaves the thread where it is.
  void Go();
  bool IsRunning() const { return m_running; }
  void RunSlice();
  void SingleStep();

  uint32_t ProcessorWord() const { return m_processorWord; }
  void SetProcessorWord(uint32_t word) { m_processorWord = word; }

 private:
  void QueueStop(const Stop& stop, bool stepped);
  // Reads the service request of an int 0x40 from the registers; a print adds its
  // text to the backlog in pieces an event can carry.
  void TakeServiceCall();
  // Queues the next piece of printed text; false when none waits.
  bool DeliverText();

  struct PendingEvent {
    std::vector<uint8_t> m_payload;
    EventOrigin m_origin = EventOrigin::Server;
  };

  AgentOptions m_options;
  CpuEmulator m_cpu;
  std::vector<ModuleEntry> m_modules;
  uint32_t m_nextModuleHandle = 0x00A10000;
  bool m_threadStarted = false;
  std::optional<uint32_t> m_breakpoints[kSoftwareBreakpointCount];
  std::deque<PendingEvent> m_events;
  std::deque<std::string> m_textBacklog;
  size_t m_nextGoEvent = 0;  // into the options' go events
  bool m_running = false;
  uint32_t m_processorWord = 1;
};

// Event payloads as the agent sends them.
std::vector<uint8_t> ModuleLoadedEvent(const ModuleEntry& entry, bool stopOnLoad);
std::vector<uint8_t> ModuleUnloadedEvent(uint32_t handle);
std::vector<uint8_t> ExceptionEvent(uint32_t exception, uint32_t address);
// The six words of exception 0x12F: DR0-DR3, DR6, DR7.
std::vector<uint8_t> DebugRegisterEvent(uint32_t address, const uint32_t (&registers)[6]);
std::vector<uint8_t> ThreadExitedEvent();
std::vector<uint8_t> ThreadCreatedEvent(uint32_t startAddress, const std::string& name);
// 1002 (load error) or 1010 (server error) with its ServerErrorCode.
std::vector<uint8_t> ErrorEvent(uint16_t code, uint32_t status);
std::vector<uint8_t> TextEvent(const std::string& text);
// Bit 4 of the processor option word asks for a stop at every module load.
bool StopOnLoadRequested(uint32_t processorWord);

}  // namespace zentor::agent
