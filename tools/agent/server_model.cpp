#include "server_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "target/agent_packet.h"
#include "target/agent_protocol.h"
#include "support/little_endian.h"

namespace zentor::agent {
namespace {

// Instructions one slice of a running thread may take before the agent looks at its
// lines again.
constexpr uint64_t kSliceInstructions = 20000;
// A watched run goes one instruction at a time: its slices are shorter.
constexpr uint64_t kWatchedSliceInstructions = 2000;
// The longest text one event carries (a length byte counts it).
constexpr size_t kTextPiece = 255;
// A printed text is read up to its NUL, at most this far.
constexpr uint32_t kLongestPrintedText = 4096;

// What a thread of --go-event is called.
constexpr const char* kNewThreadName = "Worker Thread";

// Bit 4 of the processor word asks for a stop whenever a module is loaded.
constexpr uint32_t kStopOnLoadBit = 0x10;

bool SameModuleName(const std::string& a, const std::string& b) {
  auto stem = [](const std::string& name) {
    std::string text = name.substr(0, name.find('.'));
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
  };
  return stem(a) == stem(b);
}

std::vector<uint8_t> EventHeader(uint16_t code, uint32_t size) {
  std::vector<uint8_t> payload(size);
  PayloadWriter(payload.data()).U16(code).U16(0).U32(0);
  return payload;
}

}  // namespace

ServerModel::ServerModel(const AgentOptions& options) : m_options(options), m_cpu(options.m_hasFloatingPoint) {
  for (ModuleImage& module : BuiltInModules()) {
    uint32_t handle = 0;
    std::string error;
    AddModule(std::move(module), &handle, &error);
  }
}

bool ServerModel::AddModule(ModuleImage module, uint32_t* handle, std::string* error) {
  if (!module.m_image.empty()) {
    const auto size = static_cast<uint32_t>(module.m_image.size());
    if (!m_cpu.MapMemory(module.m_loadAddress, size) ||
        !m_cpu.WriteMemory(module.m_loadAddress, module.m_image.data(), size)) {
      *error = module.m_name + ": its image cannot be placed at its load address";
      return false;
    }
    // Data beyond the image (zero-filled variables) must be there as well.
    if (module.m_dataLength != 0) m_cpu.MapMemory(module.m_dataBase, module.m_dataLength);
    if (!m_threadStarted && module.m_entry != 0) {
      m_cpu.StartThread(module.m_entry);
      m_threadStarted = true;
    }
  }
  module.m_image.clear();
  module.m_image.shrink_to_fit();
  *handle = m_nextModuleHandle;
  m_nextModuleHandle += 0x100;
  m_modules.push_back(ModuleEntry{*handle, std::move(module)});
  return true;
}

const ModuleEntry* ServerModel::FindModule(uint32_t handle) const {
  for (const ModuleEntry& entry : m_modules) {
    if (entry.m_handle == handle) return &entry;
  }
  return nullptr;
}

const ModuleEntry* ServerModel::FindModuleByName(const std::string& name) const {
  for (const ModuleEntry& entry : m_modules) {
    if (SameModuleName(entry.m_module.m_name, name)) return &entry;
  }
  return nullptr;
}

void ServerModel::RemoveModule(uint32_t handle) {
  m_modules.erase(std::remove_if(m_modules.begin(), m_modules.end(),
                                 [handle](const ModuleEntry& entry) { return entry.m_handle == handle; }),
                  m_modules.end());
}

const ProcessEntry* ServerModel::FindProcess(uint32_t id) const {
  for (const ProcessEntry& process : BuiltInProcesses()) {
    if (process.m_id == id) return &process;
  }
  return nullptr;
}

const ScreenEntry* ServerModel::FindScreen(uint32_t id) const {
  for (const ScreenEntry& screen : BuiltInScreens()) {
    if (screen.m_id == id) return &screen;
  }
  return nullptr;
}

std::optional<std::vector<uint32_t>> ServerModel::ListIdentifiers(uint32_t kind) const {
  std::vector<uint32_t> ids;
  switch (kind) {
    case kAgentListWaitingProcesses:
    case kAgentListRunningProcesses:
      for (const ProcessEntry& process : BuiltInProcesses()) {
        if (process.m_running == (kind == kAgentListRunningProcesses)) ids.push_back(process.m_id);
      }
      return ids;
    case kAgentListModules:
      for (const ModuleEntry& entry : m_modules) ids.push_back(entry.m_handle);
      return ids;
    case kAgentListScreens:
      for (const ScreenEntry& screen : BuiltInScreens()) ids.push_back(screen.m_id);
      return ids;
    case kAgentListCurrentThread: return std::vector<uint32_t>{0};
    default: return std::nullopt;
  }
}

// Two indexes may share an address; the int3 goes only when neither is left there.
uint32_t ServerModel::SetBreakpoint(uint32_t index, uint32_t address) {
  if (index >= kSoftwareBreakpointCount) return kServerInvalidBreakpoint;
  if (m_breakpoints[index].has_value()) ClearBreakpoint(index);
  if (!m_cpu.InsertBreakpoint(address)) return kServerInvalidAddress;
  m_breakpoints[index] = address;
  return kServerSuccess;
}

uint32_t ServerModel::ClearBreakpoint(uint32_t index) {
  if (index >= kSoftwareBreakpointCount) return kServerInvalidBreakpoint;
  if (!m_breakpoints[index].has_value()) return kServerSuccess;
  const uint32_t address = *m_breakpoints[index];
  m_breakpoints[index].reset();
  for (const auto& other : m_breakpoints) {
    if (other == address) return kServerSuccess;
  }
  m_cpu.RemoveBreakpoint(address);
  return kServerSuccess;
}

// Debug registers are bookkeeping in DR0-DR3 and DR7: local enable bit 2n, condition
// at bit 16 + 4n, length code at bit 18 + 4n.
uint32_t ServerModel::SetDebugRegister(uint32_t row, uint32_t address, uint32_t lengthCode, uint32_t condition) {
  if (row >= kDebugRegisterRows) return kServerInvalidBreakpoint;
  if ((lengthCode != 0 && lengthCode != 1 && lengthCode != 3) || (condition != 0 && condition != 1 && condition != 3)) {
    return kServerInvalidType;
  }
  uint8_t group[24];
  m_cpu.ReadGroup(4, group);
  value_bytes::StoreU32(group + 4 * row, address);
  uint32_t dr7 = value_bytes::LoadU32(group + 20);
  dr7 &= ~((3u << (2 * row)) | (0xFu << (16 + 4 * row)));
  dr7 |= (1u << (2 * row)) | (condition << (16 + 4 * row)) | (lengthCode << (18 + 4 * row));
  value_bytes::StoreU32(group + 20, dr7);
  m_cpu.WriteGroup(4, group);
  return kServerSuccess;
}

uint32_t ServerModel::ClearDebugRegister(uint32_t row) {
  if (row >= kDebugRegisterRows) return kServerInvalidBreakpoint;
  uint8_t group[24];
  m_cpu.ReadGroup(4, group);
  value_bytes::StoreU32(group + 4 * row, 0);
  uint32_t dr7 = value_bytes::LoadU32(group + 20);
  dr7 &= ~((3u << (2 * row)) | (0xFu << (16 + 4 * row)));
  value_bytes::StoreU32(group + 20, dr7);
  m_cpu.WriteGroup(4, group);
  return kServerSuccess;
}

void ServerModel::QueueEvent(std::vector<uint8_t> payload, EventOrigin origin) {
  m_events.push_back(PendingEvent{std::move(payload), origin});
}

bool ServerModel::TakeEvent(std::vector<uint8_t>* payload) {
  if (m_events.empty()) return false;
  *payload = std::move(m_events.front().m_payload);
  m_events.pop_front();
  return true;
}

void ServerModel::Go() {
  m_events.erase(std::remove_if(m_events.begin(), m_events.end(),
                                [](const PendingEvent& event) { return event.m_origin == EventOrigin::Step; }),
                 m_events.end());
  for (const PendingEvent& event : m_events) {
    if (event.m_origin == EventOrigin::Stop) return;
  }
  if (DeliverText()) return;
  if (m_nextGoEvent < m_options.m_goEvents.size()) {
    const ScriptedEvent& event = m_options.m_goEvents[m_nextGoEvent++];
    if (event.m_code == kAgentEventThreadCreated) {
      QueueEvent(ThreadCreatedEvent(event.m_address, kNewThreadName), EventOrigin::Stop);
    } else if (event.m_code == kAgentEventThreadExited) {
      QueueEvent(ThreadExitedEvent(), EventOrigin::Stop);
    } else {
      QueueEvent(ErrorEvent(event.m_code, event.m_status), EventOrigin::Stop);
    }
    return;
  }
  m_running = true;
}

void ServerModel::RunSlice() {
  if (!m_running) return;
  const Stop stop = m_cpu.Run(m_cpu.WatchesArmed() ? kWatchedSliceInstructions : kSliceInstructions);
  if (stop.m_kind == StopKind::None) return;
  m_running = false;
  QueueStop(stop, false);
}

void ServerModel::SingleStep() {
  m_running = false;
  const Stop stop = m_cpu.Step();
  QueueStop(stop, true);
}

void ServerModel::TakeServiceCall() {
  uint32_t service = 0;
  uint32_t address = 0;
  m_cpu.ServiceRequest(&service, &address);
  if (service != kServicePrint) return;
  std::string text;
  for (uint32_t i = 0; i < kLongestPrintedText; ++i) {
    uint8_t ch = 0;
    if (!m_cpu.ReadMemory(address + i, &ch, 1) || ch == 0) break;
    text.push_back(static_cast<char>(ch));
  }
  for (size_t at = 0; at < text.size(); at += kTextPiece) m_textBacklog.push_back(text.substr(at, kTextPiece));
}

bool ServerModel::DeliverText() {
  if (m_textBacklog.empty()) return false;
  QueueEvent(TextEvent(m_textBacklog.front()), EventOrigin::Stop);
  m_textBacklog.pop_front();
  return true;
}

// A step that completes is the processor's debug trap at the next instruction; so is
// a debug register that fires, unless the agent reports those with the registers
// (0x12F).
void ServerModel::QueueStop(const Stop& stop, bool stepped) {
  const EventOrigin origin = stepped ? EventOrigin::Step : EventOrigin::Stop;
  switch (stop.m_kind) {
    case StopKind::None:
      if (stepped) QueueEvent(ExceptionEvent(kAgentExceptionDebugTrap, stop.m_address), origin);
      break;
    case StopKind::Service:
      TakeServiceCall();
      if (stepped) {
        QueueEvent(ExceptionEvent(kAgentExceptionDebugTrap, stop.m_address), origin);
      } else if (!DeliverText()) {
        m_running = true;  // nothing to show: the thread goes on
      }
      break;
    case StopKind::Watch: {
      if (!m_options.m_debugRegisterEvents) {
        QueueEvent(ExceptionEvent(kAgentExceptionDebugTrap, stop.m_address), origin);
        break;
      }
      uint8_t group[24];
      m_cpu.ReadGroup(4, group);
      uint32_t registers[6];
      for (int i = 0; i < 6; ++i) registers[i] = value_bytes::LoadU32(group + 4 * i);
      QueueEvent(DebugRegisterEvent(stop.m_address, registers), origin);
      break;
    }
    case StopKind::Breakpoint:
    case StopKind::Exception: QueueEvent(ExceptionEvent(stop.m_exception, stop.m_address), origin); break;
    case StopKind::ThreadExit: QueueEvent(ThreadExitedEvent(), origin); break;
  }
}

std::vector<uint8_t> ModuleLoadedEvent(const ModuleEntry& entry, bool stopOnLoad) {
  const std::string& name = entry.m_module.m_name;
  const auto length = static_cast<uint32_t>(std::min<size_t>(name.size(), 255));
  std::vector<uint8_t> payload = EventHeader(kAgentEventModuleLoaded, kEventModuleNameOffset + 1 + length);
  PayloadWriter writer(payload.data() + kEventFieldsOffset);
  writer.U32(entry.m_handle).U32(entry.m_module.m_codeBase).U32(entry.m_module.m_codeLength);
  writer.U32(entry.m_module.m_dataBase).U32(entry.m_module.m_dataLength).U32(entry.m_module.m_entry);
  writer.U8(stopOnLoad ? 1 : 0).U8(static_cast<uint8_t>(length)).Bytes(name.data(), length);
  return payload;
}

std::vector<uint8_t> ModuleUnloadedEvent(uint32_t handle) {
  std::vector<uint8_t> payload = EventHeader(kAgentEventModuleUnloaded, kEventFieldsOffset + 4);
  PayloadWriter(payload.data() + kEventFieldsOffset).U32(handle);
  return payload;
}

std::vector<uint8_t> ExceptionEvent(uint32_t exception, uint32_t address) {
  std::vector<uint8_t> payload = EventHeader(kAgentEventException, kEventFieldsOffset + 8);
  PayloadWriter(payload.data() + kEventFieldsOffset).U32(exception).U32(address);
  return payload;
}

std::vector<uint8_t> DebugRegisterEvent(uint32_t address, const uint32_t (&registers)[6]) {
  std::vector<uint8_t> payload = EventHeader(kAgentEventException, kEventDebugWordsOffset + 24);
  PayloadWriter writer(payload.data() + kEventFieldsOffset);
  writer.U32(kAgentExceptionDebugRegisterTrap).U32(address);
  for (uint32_t word : registers) writer.U32(word);
  return payload;
}

std::vector<uint8_t> TextEvent(const std::string& text) {
  const auto length = static_cast<uint32_t>(std::min<size_t>(text.size(), kTextPiece));
  std::vector<uint8_t> payload = EventHeader(kAgentEventText, kEventTextOffset + 1 + length);
  PayloadWriter(payload.data() + kEventTextOffset).U8(static_cast<uint8_t>(length)).Bytes(text.data(), length);
  return payload;
}

std::vector<uint8_t> ThreadExitedEvent() {
  std::vector<uint8_t> payload = EventHeader(kAgentEventThreadExited, kEventFieldsOffset + 8);
  return payload;
}

std::vector<uint8_t> ThreadCreatedEvent(uint32_t startAddress, const std::string& name) {
  const auto length = static_cast<uint32_t>(std::min<size_t>(name.size(), 255));
  std::vector<uint8_t> payload = EventHeader(kAgentEventThreadCreated, kEventThreadNameOffset + 1 + length);
  PayloadWriter(payload.data() + kEventFieldsOffset)
      .U32(0)
      .U32(startAddress)
      .U8(static_cast<uint8_t>(length))
      .Bytes(name.data(), length);
  return payload;
}

std::vector<uint8_t> ErrorEvent(uint16_t code, uint32_t status) {
  std::vector<uint8_t> payload = EventHeader(code, kEventFieldsOffset + 8);
  PayloadWriter(payload.data() + kEventFieldsOffset).U32(0).U32(status);
  return payload;
}

bool StopOnLoadRequested(uint32_t processorWord) { return (processorWord & kStopOnLoadBit) != 0; }

}  // namespace zentor::agent
