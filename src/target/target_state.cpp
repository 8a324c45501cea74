#include "target/target_state.h"

#include <new>

#include "target/agent_requests.h"
#include "target/memory_read_cache.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kNoViewpoint = 0xFFFFFFFFu;
constexpr uint32_t kMsgNoProgramLoaded = 2006;
constexpr uint32_t kMsgToolExecuting = 84;
constexpr uint16_t kProgramCounterMask = 0x1;
constexpr uint16_t kStackMask = 0x5;

struct TargetStateTables {
  std::vector<ProcessorEntry> processors;
  uint16_t idCounter = 1;
  int16_t currentProcessor = -1;
  uint16_t globalStatusWord = 0;
};

TargetStateTables& State() {
  static TargetStateTables state;
  return state;
}

ProcessorEntry* CurrentEntry() { return TgtProcessorEntry(State().currentProcessor); }

ContextRecord* KnownContext(uint32_t id) {
  ProcessorEntry* entry = CurrentEntry();
  if (entry == nullptr) return nullptr;
  for (ContextRecord& context : entry->m_contexts) {
    if (context.m_id == id) return &context;
  }
  return nullptr;
}

ContextRecord* AnyProcessorsContext(uint32_t id) {
  for (ProcessorEntry& entry : State().processors) {
    for (ContextRecord& context : entry.m_contexts) {
      if (context.m_id == id) return &context;
    }
  }
  return nullptr;
}

uint32_t FieldWord(const RegisterBlock& block, const RegisterField& field) {
  const uint32_t word = value_bytes::LoadU32(block.Group(field.m_group) + field.m_offset);
  return field.m_kind == kKindOrd2 ? (word & 0xFFFFu) : word;
}

}  // namespace

ProcessorEntry* TgtProcessorEntry(int32_t id) {
  for (ProcessorEntry& entry : State().processors) {
    if (entry.m_id == id) return &entry;
  }
  return nullptr;
}

int32_t TgtProcessorIdAt(uint32_t index) {
  if (index >= State().processors.size()) ZENTOR_INTERNAL_ERROR();
  return State().processors[index].m_id;
}

int32_t TgtProcessorOfModule(uint32_t handle) {
  for (const ProcessorEntry& entry : State().processors) {
    for (const ModuleRecordEntry& module : entry.m_modules) {
      if (module.m_handle == handle) return entry.m_id;
    }
  }
  return -1;
}

int32_t TgtContextIndex(uint32_t id) {
  ProcessorEntry* entry = CurrentEntry();
  if (entry == nullptr) return -1;
  for (size_t i = 0; i < entry->m_contexts.size(); ++i) {
    if (entry->m_contexts[i].m_id == id) return static_cast<int32_t>(i);
  }
  return -1;
}

bool TgtIsKnown(uint32_t id) { return TgtContextIndex(id) >= 0; }

uint32_t TgtGetRunState(uint32_t id) {
  const ContextRecord* context = KnownContext(id);
  return context != nullptr ? context->m_runState : kRunStateNone;
}

bool TgtSetRunState(uint32_t id, uint32_t state) {
  ContextRecord* context = KnownContext(id);
  if (context == nullptr) return false;
  context->m_runState = state;
  return true;
}

uint32_t TgtGetException(uint32_t id) {
  const ContextRecord* context = KnownContext(id);
  return context != nullptr ? context->m_exception : kUnknownContextException;
}

bool TgtSetException(uint32_t id, uint32_t number) {
  ContextRecord* context = KnownContext(id);
  if (context == nullptr) return false;
  context->m_exception = number;
  return true;
}

uint16_t TgtGetStatusWord(uint32_t id) {
  const ContextRecord* context = KnownContext(id);
  return context != nullptr ? context->m_statusWord : State().globalStatusWord;
}

void TgtSetStatusWord(uint32_t id, uint32_t code) {
  ContextRecord* context = KnownContext(id);
  if (context != nullptr) {
    context->m_statusWord = static_cast<uint16_t>(code);
  } else {
    State().globalStatusWord = static_cast<uint16_t>(code);
  }
}

uint32_t TgtGetRunning(uint32_t id) {
  const ContextRecord* context = KnownContext(id);
  return context != nullptr ? context->m_running : 0;
}

bool TgtSetRunning(uint32_t id, uint32_t flag) {
  ContextRecord* context = KnownContext(id);
  if (context == nullptr) return false;
  context->m_running = flag;
  return true;
}

int32_t TgtGetHitSlot(uint32_t id) {
  const ContextRecord* context = AnyProcessorsContext(id);
  return context != nullptr ? context->m_hitSlot : -1;
}

void TgtSetHitSlot(uint32_t id, int32_t slot) {
  ContextRecord* context = AnyProcessorsContext(id);
  if (context != nullptr) context->m_hitSlot = slot;
}

bool TgtIsBusy(uint32_t id) {
  if (TgtGetRunning(id) != 0) return true;
  switch (TgtGetRunState(id)) {
    case kRunStateExecuting:
    case kRunStateGo:
    case kRunStateGoWithTemporaries:
    case kRunStateGoSecondForm: return true;
    default: return false;
  }
}

bool TgtCanRun(uint32_t id) { return TgtIsKnown(id) && !TgtIsBusy(id); }

int32_t TgtAddProcessor(uint32_t creationWord) {
  TargetStateTables& state = State();
  ProcessorEntry entry;
  entry.m_id = static_cast<int16_t>(state.idCounter);
  entry.m_creationWord = creationWord;
  try {
    state.processors.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  ++state.idCounter;
  state.currentProcessor = state.processors.back().m_id;
  return state.currentProcessor;
}

bool TgtAddContext(int32_t processor, uint32_t id, uint8_t flag) {
  ProcessorEntry* entry = TgtProcessorEntry(processor);
  if (entry == nullptr) return false;
  ContextRecord context;
  context.m_id = id;
  context.m_flag = flag;
  try {
    entry->m_contexts.push_back(context);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool TgtAddModule(int32_t processor, uint32_t handle) {
  ProcessorEntry* entry = TgtProcessorEntry(processor);
  if (entry == nullptr) return false;
  try {
    entry->m_modules.push_back(ModuleRecordEntry{handle, 0});
  } catch (const std::bad_alloc&) {
    return false;
  }
  entry->m_currentModule = static_cast<int32_t>(entry->m_modules.size()) - 1;
  return true;
}

void TgtRemoveContext(uint32_t id) {
  ProcessorEntry* entry = CurrentEntry();
  const int32_t index = TgtContextIndex(id);
  if (entry == nullptr || index < 0) return;
  entry->m_contexts.erase(entry->m_contexts.begin() + index);
  if (entry->m_currentContext == index) {
    entry->m_currentContext = -1;
  } else if (entry->m_currentContext > index) {
    --entry->m_currentContext;
  }
}

void TgtSignalStateChange() { MarkChangedRecords(kRecordThreadList, nullptr); }

void TgtSetCurrentProcessor(int32_t id) {
  State().currentProcessor = static_cast<int16_t>(id);
  InvalidateRegisterCache();
}

int32_t TgtCurrentProcessor() { return State().currentProcessor; }

int32_t TgtSelectContext(uint32_t id) {
  ProcessorEntry* entry = CurrentEntry();
  if (entry == nullptr) return -1;
  entry->m_currentContext = TgtContextIndex(id);
  return entry->m_currentContext;
}

int64_t TgtCurrentContext() {
  const ProcessorEntry* entry = CurrentEntry();
  if (entry == nullptr || entry->m_currentContext < 0 ||
      static_cast<size_t>(entry->m_currentContext) >= entry->m_contexts.size()) {
    return -1;
  }
  return entry->m_contexts[static_cast<size_t>(entry->m_currentContext)].m_id;
}

uint32_t TgtProcessorCount() { return static_cast<uint32_t>(State().processors.size()); }

bool TgtProgramCounter(uint32_t id, LoaderAddress* address) {
  uint32_t eip = 0;
  uint32_t cs = 0;
  if (CachedProgramCounter(id, &eip, &cs)) {
    *address = LoaderAddress::Memory(eip);
    address->m_segment = cs;
    return true;
  }
  RegisterBlock block;
  block.SetMask(kProgramCounterMask);
  if (!TgtReadRegisters(id, &block)) return false;
  *address = LoaderAddress::Memory(FieldWord(block, kFieldEip));
  address->m_segment = FieldWord(block, kFieldCs);
  return true;
}

bool TgtLinearProgramCounter(uint32_t id, uint32_t* address) {
  LoaderAddress programCounter;
  if (!TgtProgramCounter(id, &programCounter)) return false;
  return TgtLinearAddress(id, programCounter.m_segment, programCounter.m_offset, address);
}

// Memory is flat: the segment word never moves an address.
bool TgtLinearAddress(uint32_t, uint32_t, uint32_t offset, uint32_t* linear) {
  *linear = offset;
  return true;
}

bool TgtReadCodeByte(uint32_t id, uint32_t address, uint8_t* byte) {
  if (!TgtIsKnown(id)) return false;
  uint32_t count = 0;
  return TgtReadMemory(id, address, byte, 1, &count) && count == 1;
}

bool TgtStackLocation(uint32_t id, TargetAddressRecord* record) {
  RegisterBlock block;
  block.SetMask(kStackMask);
  if (!TgtReadRegisters(id, &block)) return false;
  *record = TargetAddressRecord{};
  record->m_addressClass = kAddressClassMemory;
  record->m_addressKind = kAddressKindMemoryOffset;
  record->m_reserved2 = FieldWord(block, kFieldSs);
  record->m_offset = FieldWord(block, kFieldEsp);
  return true;
}

uint32_t TgtCurrentThreadFromAgent() {
  AgentList list;
  uint32_t count = 0;
  if (AgentGetList(kAgentListCurrentThread, &count, &list) != 0 || list.Count() == 0) return 0;
  return list[0];
}

bool TgtWriteMemory(uint32_t id, uint32_t address, const uint8_t* buffer, uint32_t length) {
  // One request carries a 16-bit count; a longer write goes in pieces of 64K - 1.
  while (length > 0) {
    const uint16_t piece = static_cast<uint16_t>(length > 0xFFFFu ? 0xFFFFu : length);
    if (AgentWriteMemory(id, piece, address, buffer) != 0) return false;
    address += piece;
    buffer += piece;
    length -= piece;
  }
  return true;
}

namespace {

// The read as asked, in requests of at most 64K - 1 bytes (a 16-bit count).
bool ReadMemoryFromAgent(uint32_t id, uint32_t address, uint8_t* buffer, uint32_t length, uint32_t* count) {
  *count = 0;
  while (length > 0) {
    const uint16_t piece = static_cast<uint16_t>(length > 0xFFFFu ? 0xFFFFu : length);
    uint16_t got = 0;
    if (AgentReadMemory(id, piece, address, &got, buffer) != 0) return false;
    *count += got;
    if (got < piece) return true;
    address += piece;
    buffer += piece;
    length -= piece;
  }
  return true;
}

}  // namespace

bool TgtReadMemory(uint32_t id, uint32_t address, uint8_t* buffer, uint32_t length, uint32_t* count) {
  *count = 0;
  return TheMemoryReadCache().Read(&ReadMemoryFromAgent, id, address, buffer, length, count);
}

bool TgtGo(uint32_t id) {
  InvalidateRegisterCache();
  return AgentGo(id) == 0;
}

bool TgtReadRegisters(uint32_t id, RegisterBlock* block) { return AgentReadRegisters(id, block) == 0; }

bool TgtWriteRegisters(uint32_t id, const RegisterBlock* block) { return AgentWriteRegisters(id, block) == 0; }

bool TgtGetEvent(uint32_t) {
  uint8_t flag = 0;
  AgentEventRecord record;
  return AgentGetEvent(&flag, &record) == 0;
}

bool TgtHaltRequest(uint32_t) { return false; }

bool TgtResumeHalted(uint32_t) { return false; }

uint32_t TmiSetStatus(TargetStatus* status, uint32_t viewpoint, uint32_t code) {
  status->m_number = code;
  status->m_severity = code != 0 ? kSeverityError : kSeverityUninitialized;
  status->m_argumentCount = 0;
  status->m_arguments = nullptr;
  TgtSetStatusWord(viewpoint, code);
  return code;
}

bool TmiGuard(TargetStatus* status, uint32_t viewpoint, bool changesTarget) {
  if (viewpoint == kNoViewpoint) {
    TmiSetStatus(status, viewpoint, kMsgNoProgramLoaded);
    return false;
  }
  if (changesTarget && TgtIsBusy(viewpoint)) {
    TmiSetStatus(status, viewpoint, kMsgToolExecuting);
    return false;
  }
  TmiSetStatus(status, viewpoint, 0);
  return true;
}

void ResetTargetState() { State() = TargetStateTables{}; }

}  // namespace zentor
