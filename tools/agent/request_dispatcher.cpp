#include "request_dispatcher.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "target/agent_protocol.h"

namespace zentor::agent {
namespace {

Answer Status(uint32_t status) { return Answer{status, {}, {}}; }

Answer Payload(std::vector<uint8_t> payload) { return Answer{kServerSuccess, std::move(payload), {}}; }

// The text of a load or unload request: a length byte, then that many characters.
bool ModuleText(const AgentPacket& request, std::string* text) {
  const uint32_t length = request.Length();
  if (length == 0 || request.Payload()[0] != length - 1) return false;
  text->assign(reinterpret_cast<const char*>(request.Payload()) + 1, length - 1);
  return true;
}

// The module name is the first word; only plain names are looked up (no paths).
std::string FirstWord(const std::string& text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) return {};
  const std::string word = text.substr(start, text.find(' ', start) - start);
  for (char ch : word) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_' && ch != '-' && ch != '.') return {};
  }
  return word;
}

void PutText(std::vector<uint8_t>& record, uint32_t offset, uint32_t size, const std::string& text) {
  const size_t length = std::min<size_t>(text.size(), size - 1);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), record.begin() + offset);
}

Answer Noted(uint32_t status, const char* format, uint32_t index, uint32_t address) {
  char note[64];
  std::snprintf(note, sizeof note, format, index, address);
  return Answer{status, {}, note};
}

}  // namespace

bool RequestDispatcher::ShouldHold(const AgentPacket& request) const {
  return request.Code() == kAgentCommandGetEvent && request.Length() == 0 && m_server.IsRunning() &&
         m_server.PendingEvents() == 0;
}

std::optional<Answer> RequestDispatcher::Handle(const AgentPacket& request) {
  const uint32_t length = request.Length();
  PayloadReader in(request.Payload(), length);
  CpuEmulator& cpu = m_server.Cpu();
  auto wrongSize = [length](uint32_t expected) { return length != expected; };

  switch (request.Code()) {
    case kAgentCommandHello:
      if (wrongSize(2)) return Status(kServerParameterSizeError);
      return Payload({1, 2, static_cast<uint8_t>(cpu.HasFloatingPoint() ? 1 : 0)});

    case kAgentCommandLoadModule:
    case kAgentCommandUnloadModule: {
      std::string text;
      if (!ModuleText(request, &text)) return Status(kServerParameterSizeError);
      return request.Code() == kAgentCommandLoadModule ? LoadModule(text) : UnloadModule(text);
    }

    case kAgentCommandGo:
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      if (in.U32() != 0) return Status(kServerInvalidThread);
      m_server.Go();
      return Status(kServerSuccess);

    case kAgentCommandGetEvent: {
      if (wrongSize(0)) return Status(kServerParameterSizeError);
      std::vector<uint8_t> event;
      if (!m_server.TakeEvent(&event)) return std::nullopt;
      return Payload(std::move(event));
    }

    case kAgentCommandReadRegisters: {
      if (wrongSize(6)) return Status(kServerParameterSizeError);
      const uint32_t thread = in.U32();
      const uint16_t mask = in.U16();
      if (thread != 0) return Status(kServerInvalidThread);
      if ((mask & ~kRegisterGroupMaskAll) != 0) return Status(kServerInvalidType);
      std::vector<uint8_t> groups(RegisterGroupsWireSize(mask));
      uint32_t at = 0;
      for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
        if (((mask >> bit) & 1u) == 0) continue;
        if (!cpu.ReadGroup(bit, groups.data() + at)) return Status(kServerNoFloatingPoint);
        at += kRegisterGroupSizes[bit];
      }
      return Payload(std::move(groups));
    }

    case kAgentCommandWriteRegisters: {
      if (length < 6) return Status(kServerParameterSizeError);
      const uint32_t thread = in.U32();
      const uint16_t mask = in.U16();
      if ((mask & ~kRegisterGroupMaskAll) != 0) return Status(kServerInvalidType);
      if (wrongSize(6 + RegisterGroupsWireSize(mask))) return Status(kServerParameterSizeError);
      if (thread != 0) return Status(kServerInvalidThread);
      if ((mask & 0x08) != 0 && !cpu.HasFloatingPoint()) return Status(kServerNoFloatingPoint);
      const uint8_t* from = request.Payload() + 6;
      for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
        if (((mask >> bit) & 1u) == 0) continue;
        cpu.WriteGroup(bit, from);
        from += kRegisterGroupSizes[bit];
      }
      return Status(kServerSuccess);
    }

    case kAgentCommandSingleStep:
      if (wrongSize(2)) return Status(kServerParameterSizeError);
      m_server.SingleStep();
      return Status(kServerSuccess);

    case kAgentCommandReadMemory: {
      if (wrongSize(kMemoryRequestHeaderSize)) return Status(kServerParameterSizeError);
      const uint32_t thread = in.U32();
      const uint32_t address = in.U32();
      const uint16_t count = in.U16();
      if (!m_server.IsKnownThread(thread)) return Status(kServerInvalidThread);
      if (count > kMaxPayloadLength) return Status(kServerResponseTooBig);
      std::vector<uint8_t> bytes(count);
      if (!cpu.ReadMemory(address, bytes.data(), count)) return Status(kServerInvalidAddress);
      return Payload(std::move(bytes));
    }

    case kAgentCommandWriteMemory: {
      if (length < kMemoryRequestHeaderSize) return Status(kServerParameterSizeError);
      const uint32_t thread = in.U32();
      const uint32_t address = in.U32();
      const uint16_t count = in.U16();
      if (wrongSize(kMemoryRequestHeaderSize + count)) return Status(kServerParameterSizeError);
      if (!m_server.IsKnownThread(thread)) return Status(kServerInvalidThread);
      if (!cpu.WriteMemory(address, request.Payload() + kMemoryRequestHeaderSize, count)) {
        return Status(kServerInvalidAddress);
      }
      return Status(kServerSuccess);
    }

    case kAgentCommandSetBreakpoint: {
      if (wrongSize(9)) return Status(kServerParameterSizeError);
      const uint8_t index = in.U8();
      const uint32_t thread = in.U32();
      const uint32_t address = in.U32();
      if (thread != 0) return Status(kServerInvalidThread);
      return Noted(m_server.SetBreakpoint(index, address), "bp %u 0x%08x", index, address);
    }

    case kAgentCommandClearBreakpoint: {
      if (wrongSize(1)) return Status(kServerParameterSizeError);
      const uint8_t index = in.U8();
      return Noted(m_server.ClearBreakpoint(index), "bp %u", index, 0);
    }

    case kAgentCommandSetDebugBreakpoint: {
      if (wrongSize(11)) return Status(kServerParameterSizeError);
      const uint8_t row = in.U8();
      const uint32_t thread = in.U32();
      const uint32_t address = in.U32();
      const uint8_t lengthCode = in.U8();
      const uint8_t condition = in.U8();
      if (!m_server.IsKnownThread(thread)) return Status(kServerInvalidThread);
      return Noted(m_server.SetDebugRegister(row, address, lengthCode, condition), "dr %u 0x%08x", row, address);
    }

    case kAgentCommandClearDebugBreakpoint: {
      if (wrongSize(1)) return Status(kServerParameterSizeError);
      const uint8_t row = in.U8();
      return Noted(m_server.ClearDebugRegister(row), "dr %u", row, 0);
    }

    case kAgentCommandListFirst:
    case kAgentCommandListNext:
      if (wrongSize(1)) return Status(kServerParameterSizeError);
      return ListPart(in.U8(), request.Code() == kAgentCommandListFirst);

    case kAgentCommandProcessInfo: {
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      const uint32_t id = in.U32();
      std::vector<uint8_t> record(kProcessRecordSize);
      if (id == 0) {
        PutText(record, 0, kProcessNameSize, kThreadZeroName);
      } else if (const ProcessEntry* process = m_server.FindProcess(id)) {
        PutText(record, 0, kProcessNameSize, process->m_name);
        record[kProcessWaitBitsOffset] = process->m_waitBits;
        record[kProcessWorkerFlagOffset] = process->m_workerListFlag;
      } else {
        return Status(kServerInvalidThread);
      }
      return Payload(std::move(record));
    }

    case kAgentCommandModuleInfo: {
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      const ModuleEntry* entry = m_server.FindModule(in.U32());
      if (entry == nullptr) return Status(kServerInvalidModule);
      const ModuleImage& module = entry->m_module;
      std::vector<uint8_t> record(kModuleRecordSize);
      PutText(record, 0, kModuleNameSize, module.m_name);
      PutText(record, kModuleDescriptionOffset, kModuleDescriptionSize, module.m_description);
      PayloadWriter(record.data() + kModuleWordsOffset)
          .U32(module.m_majorVersion)
          .U32(module.m_minorVersion)
          .U32(module.m_revision)
          .U32(module.m_year)
          .U32(module.m_month)
          .U32(module.m_day)
          .U32(module.m_codeBase)
          .U32(module.m_codeLength)
          .U32(module.m_dataBase)
          .U32(module.m_dataLength)
          .U32(entry->m_handle)
          .U32(module.m_entry)
          .U32(0)
          .U32(0);
      return Payload(std::move(record));
    }

    case kAgentCommandScreenInfo: {
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      const ScreenEntry* screen = m_server.FindScreen(in.U32());
      if (screen == nullptr) return Status(kServerInvalidScreen);
      std::vector<uint8_t> record(kScreenRecordSize);
      PutText(record, 0, kScreenNameSize, screen->m_name);
      PayloadWriter(record.data() + kScreenTypeAheadOffset)
          .U16(screen->m_typeAheadCount)
          .U16(screen->m_videoMode)
          .U32(screen->m_bufferAddress)
          .U32(screen->m_keyboardThread);
      return Payload(std::move(record));
    }

    case kAgentCommandQueryByte:
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      return Payload({0});

    case kAgentCommandEnd:
      if (wrongSize(0)) return Status(kServerParameterSizeError);
      return Status(kServerSuccess);

    case kAgentCommandSelectProcessor:
      if (wrongSize(4)) return Status(kServerParameterSizeError);
      m_server.SetProcessorWord(in.U32());
      return Status(kServerSuccess);

    default: return Status(kServerUnknownCommand);
  }
}

// The first request takes the list as it is now; each answer carries at most the
// configured number of identifiers, the terminator counted among them.
Answer RequestDispatcher::ListPart(uint32_t kind, bool first) {
  if (kind >= std::size(m_lists)) return Status(kServerInvalidType);
  if (first) {
    auto ids = m_server.ListIdentifiers(kind);
    if (!ids.has_value()) return Status(kServerInvalidType);
    ids->push_back(kAgentListEnd);
    m_lists[kind] = ListCursor{std::move(*ids), 0};
  }
  if (!m_lists[kind].has_value()) return Status(kServerInvalidType);
  ListCursor& cursor = *m_lists[kind];
  const size_t part = std::min<size_t>(cursor.m_ids.size() - cursor.m_next, m_server.Options().m_listPartEntries);
  std::vector<uint8_t> payload(part * 4);
  PayloadWriter writer(payload.data());
  for (size_t i = 0; i < part; ++i) writer.U32(cursor.m_ids[cursor.m_next + i]);
  cursor.m_next += part;
  if (cursor.m_next >= cursor.m_ids.size()) m_lists[kind].reset();
  return Payload(std::move(payload));
}

Answer RequestDispatcher::LoadModule(const std::string& text) {
  const std::string name = FirstWord(text);
  if (name.empty()) return Status(kServerFileNotFound);
  if (m_server.FindModuleByName(name) != nullptr) return Status(kServerMultipleCopies);
  ModuleImage module;
  std::string error;
  if (!LoadModuleImage(ManifestPathFor(m_server.Options().m_moduleDirectory, name), &module, &error)) {
    return Status(kServerFileNotFound);
  }
  uint32_t handle = 0;
  if (!m_server.AddModule(std::move(module), &handle, &error)) return Status(kServerNotEnoughMemory);
  m_server.QueueEvent(ModuleLoadedEvent(*m_server.FindModule(handle), StopOnLoadRequested(m_server.ProcessorWord())));
  return Status(kServerSuccess);
}

Answer RequestDispatcher::UnloadModule(const std::string& text) {
  const ModuleEntry* entry = m_server.FindModuleByName(FirstWord(text));
  if (entry == nullptr) return Status(kServerModuleNotLoaded);
  const uint32_t handle = entry->m_handle;
  m_server.RemoveModule(handle);
  m_server.QueueEvent(ModuleUnloadedEvent(handle));
  return Status(kServerSuccess);
}

}  // namespace zentor::agent
