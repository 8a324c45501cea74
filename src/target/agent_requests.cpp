#include "target/agent_requests.h"

#include "target/agent_events.h"
#include "target/agent_link.h"
#include "target/memory_read_cache.h"

#include "console/output_writer.h"
#include "core/checked_alloc.h"
#include "core/dv_error.h"

#include <algorithm>
#include <cstring>

namespace zentor {
namespace {

struct ServerErrorRow {
  uint32_t status;
  const char* text;
};

constexpr ServerErrorRow kServerErrorTexts[] = {
    {kServerFileNotFound, "File not found\n"},
    {kServerErrorReadingFile, "Error reading file\n"},
    {kServerNotNlmFormat, "File not in NLM format\n"},
    {kServerWrongNlmVersion, "Load: wrong NLM file version\n"},
    {kServerReentrantInitFailure, "Reentrant initialize failure\n"},
    {kServerMultipleCopies, "Cannot load multiple copies\n"},
    {kServerAlreadyInProgress, "Already in progress\n"},
    {kServerNotEnoughMemory, "Not enough memory\n"},
    {kServerInitializeFailure, "Failed to intialize the server\n"},
    {kServerInconsistentFormat, "Inconsistent file format\n"},
    {kServerCannotLoadAtStartup, "Cannot load at startup\n"},
    {kServerAutoLoadNotLoaded, "Auto load modules not loaded\n"},
    {kServerUnresolvedExternal, "Unresolved external\n"},
    {kServerPublicDefined, "Public already defined\n"},
    {kServerXdcDataError, "XDC data error\n"},
    {kServerNotOsDomain, "Not OS domain\n"},
    {kServerModuleNotLoaded, "Module not loaded\n"},
    {kServerModuleNotUnloaded, "Module not unloaded\n"},
    {kServerUnknownCommand, "Unknown command\n"},
    {kServerParameterSizeError, "Parameter size error\n"},
    {kServerInvalidAddress, "Invalid address\n"},
    {kServerInvalidThread, "Invalid thread ID\n"},
    {kServerInvalidBreakpoint, "Invalid breakpoint\n"},
    {kServerInvalidType, "Invalid type\n"},
    {kServerInvalidModule, "Invalid NLM ID\n"},
    {kServerInvalidScreen, "Invalid screen ID\n"},
    {kServerNoFloatingPoint, "No floating point\n"},
    {kServerResponseTooBig, "Response too big\n"},
    {kServerCommandTooBig, "Command too big\n"},
    {kServerInternalError, "Internal error\n"},
};
constexpr const char* kUnknownServerErrorText = "Unknown error code\n";

struct RequestState {
  bool hasFloatingPoint = true;
};

RequestState& State() {
  static RequestState state;
  return state;
}

AgentPacket& Request() { return TheAgentLink().RequestBuffer(); }
AgentPacket& Answer() { return TheAgentLink().AnswerBuffer(); }
PayloadWriter Payload() { return PayloadWriter(Request().Payload()); }

// The requests that leave the target as it was: only across these may the bytes read
// since the stop be shown again.
bool LeavesTargetAsItWas(uint32_t command) {
  switch (command) {
    case kAgentCommandReadMemory:
    case kAgentCommandReadRegisters:
    case kAgentCommandListFirst:
    case kAgentCommandListNext:
    case kAgentCommandProcessInfo:
    case kAgentCommandModuleInfo:
    case kAgentCommandScreenInfo:
    case kAgentCommandQueryByte: return true;
    default: return false;
  }
}

// Runs the request now in the request buffer; the answer's status, or the link
// failure.
uint32_t Exchange(uint32_t command, uint32_t length, bool resendOnSilence = true) {
  if (!LeavesTargetAsItWas(command)) TheMemoryReadCache().Forget();
  AgentLink& link = TheAgentLink();
  AgentPacket& request = link.RequestBuffer();
  request.SetCode(command);
  request.SetLength(length);
  if (link.Transact(request, link.AnswerBuffer(), resendOnSilence) != 0) return kLinkFailureStatus;
  return link.AnswerBuffer().Code();
}

// An agent's refusal is printed; a failed link is not (its callers report it).
uint32_t Reported(uint32_t status) {
  if (status != 0 && status != kLinkFailureStatus) PrintServerError(status);
  return status;
}

// An information request for one identifier. The answer must be exactly its record
// (anything else means that agent and debugger disagree about the protocol), checked
// before anything is taken from it; then the reader stands on the record.
uint32_t RequestRecord(uint32_t command, uint32_t identifier, uint32_t size, PayloadReader* reader) {
  Payload().U32(identifier);
  const uint32_t status = Exchange(command, 4);
  if (status != 0) return Reported(status);
  if (Answer().Length() != size) ZENTOR_INTERNAL_ERROR();
  *reader = PayloadReader(Answer().Payload(), size);
  return 0;
}

// Copies a text field and makes sure it ends inside its array.
void CopyName(PayloadReader& reader, char* name, uint32_t size) {
  reader.Bytes(name, size);
  name[size - 1] = '\0';
}

uint32_t SendModuleText(uint32_t command, const char* text) {
  // The length travels in one byte.
  const size_t length = std::min<size_t>(text != nullptr ? std::strlen(text) : 0, 255);
  PayloadWriter payload = Payload();
  payload.U8(static_cast<uint8_t>(length)).Bytes(text, static_cast<uint32_t>(length));
  return Reported(Exchange(command, payload.Used()));
}

uint32_t SendListRequest(uint32_t command, uint8_t kind) {
  Payload().U8(kind);
  return Exchange(command, 1);
}

}  // namespace

const char* ServerErrorText(uint32_t status) {
  for (const ServerErrorRow& row : kServerErrorTexts) {
    if (row.status == status) return row.text;
  }
  return kUnknownServerErrorText;
}

// The texts hold no conversions: they are written as formats so that their line ends
// become the output's line ends.
void PrintServerError(uint32_t status) {
  OutputWriter::Printf("NetWare Server Error: ");
  OutputWriter::Printf(ServerErrorText(status));
}

uint32_t RegisterBlock::GroupOffset(uint32_t bit) {
  static constexpr uint32_t kBlockOrder[kRegisterGroupCount] = {0, 1, 2, 3, 4, 6, 5};
  uint32_t offset = kMaskSize;
  for (uint32_t group : kBlockOrder) {
    if (group == bit) return offset;
    offset += kRegisterGroupSizes[group];
  }
  ZENTOR_INTERNAL_ERROR();
}

void AgentList::Clear() {
  if (m_entries != nullptr) CheckedFree(m_entries);
  m_entries = nullptr;
  m_held = 0;
  m_count = 0;
}

void AgentList::Append(const uint8_t* payload, uint32_t length) {
  const uint32_t added = length / 4;
  if (added == 0) return;
  const uint64_t bytes = static_cast<uint64_t>(m_held + added) * sizeof(uint32_t);
  m_entries = static_cast<uint32_t*>(m_entries == nullptr ? CheckedAlloc(bytes) : CheckedRealloc(m_entries, bytes));
  for (uint32_t i = 0; i < added; ++i) m_entries[m_held + i] = value_bytes::LoadU32(payload + 4 * i);
  m_held += added;
}

uint32_t AgentHello() {
  Payload().U8(1).U8(0);
  const uint32_t status = Exchange(kAgentCommandHello, 2);
  // Only a successful answer that holds the three bytes says anything; otherwise a
  // floating-point unit is assumed.
  bool hasFloatingPoint = true;
  if (status == 0 && Answer().Length() >= 3) {
    const uint8_t* bytes = Answer().Payload();
    if (bytes[0] != 0 && bytes[1] >= 2) hasFloatingPoint = bytes[2] != 0;
  }
  State().hasFloatingPoint = hasFloatingPoint;
  return Reported(status);
}

bool AgentHasFloatingPoint() { return State().hasFloatingPoint; }

uint32_t AgentLoadModule(const char* text) { return SendModuleText(kAgentCommandLoadModule, text); }

uint32_t AgentUnloadModule(const char* name) { return SendModuleText(kAgentCommandUnloadModule, name); }

uint32_t AgentGo(uint32_t threadId) {
  PumpEventsBeforeRequest(threadId);
  Payload().U32(threadId);
  const uint32_t status = Exchange(kAgentCommandGo, 4);
  if (status == 0) SetAgentTargetRunning(true);
  return Reported(status);
}

uint32_t AgentReadRegisters(uint32_t threadId, RegisterBlock* block) {
  PumpEventsBeforeRequest(threadId);
  const uint16_t mask = block->Mask();
  Payload().U32(threadId).U16(mask);
  const uint32_t status = Exchange(kAgentCommandReadRegisters, 6);
  if (status != 0) return Reported(status);
  if (Answer().Length() != RegisterGroupsWireSize(mask)) ZENTOR_INTERNAL_ERROR();
  const uint8_t* from = Answer().Payload();
  for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
    if (((mask >> bit) & 1u) == 0) continue;
    std::memcpy(block->Group(bit), from, kRegisterGroupSizes[bit]);
    from += kRegisterGroupSizes[bit];
  }
  return 0;
}

uint32_t AgentWriteRegisters(uint32_t threadId, const RegisterBlock* block) {
  PumpEventsBeforeRequest(threadId);
  const uint16_t mask = block->Mask();
  PayloadWriter payload = Payload();
  payload.U32(threadId).U16(mask);
  for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
    if ((mask >> bit) & 1u) payload.Bytes(block->Group(bit), kRegisterGroupSizes[bit]);
  }
  return Reported(Exchange(kAgentCommandWriteRegisters, payload.Used()));
}

uint32_t AgentSingleStep(uint16_t stepArgument) {
  Payload().U16(stepArgument);
  return Reported(Exchange(kAgentCommandSingleStep, 2));
}

// Pieces of at most 1024 bytes; a piece that comes back shorter than asked ends the
// read, and an answer longer than asked is cut to what was asked.
uint32_t AgentReadMemory(uint32_t threadId, uint16_t count, uint32_t address, uint16_t* outCount, uint8_t* buffer) {
  PumpEventsBeforeRequest(threadId);
  uint32_t done = 0;
  *outCount = 0;
  while (done < count) {
    const uint32_t piece = std::min<uint32_t>(count - done, kLargestMemoryRead);
    Payload().U32(threadId).U32(address + done).U16(static_cast<uint16_t>(piece));
    const uint32_t status = Exchange(kAgentCommandReadMemory, kMemoryRequestHeaderSize);
    if (status != 0) return status;
    const uint32_t delivered = std::min<uint32_t>(Answer().Length() & 0xFFFFu, piece);
    std::memcpy(buffer + done, Answer().Payload(), delivered);
    done += delivered;
    *outCount = static_cast<uint16_t>(done);
    if (delivered < piece) break;
  }
  return 0;
}

uint32_t AgentWriteMemory(uint32_t threadId, uint16_t count, uint32_t address, const uint8_t* bytes) {
  PumpEventsBeforeRequest(threadId);
  uint32_t done = 0;
  do {
    const uint32_t piece = std::min<uint32_t>(count - done, kLargestMemoryWrite);
    PayloadWriter payload = Payload();
    payload.U32(threadId).U32(address + done).U16(static_cast<uint16_t>(piece)).Bytes(bytes + done, piece);
    const uint32_t status = Exchange(kAgentCommandWriteMemory, payload.Used());
    if (status != 0) return Reported(status);
    done += piece;
  } while (done < count);
  return 0;
}

uint32_t AgentSetBreakpoint(uint8_t index, uint32_t threadId, uint32_t address) {
  PumpEventsBeforeRequest(0);
  Payload().U8(index).U32(threadId).U32(address);
  return Reported(Exchange(kAgentCommandSetBreakpoint, 9));
}

uint32_t AgentRemoveBreakpoint(uint8_t index) {
  Payload().U8(index);
  return Reported(Exchange(kAgentCommandClearBreakpoint, 1));
}

uint32_t AgentSetDebugBreakpoint(uint8_t slot, uint32_t threadId, uint32_t address, uint8_t length,
                                 uint8_t condition) {
  PumpEventsBeforeRequest(threadId);
  Payload().U8(slot).U32(threadId).U32(address).U8(length).U8(condition);
  return Reported(Exchange(kAgentCommandSetDebugBreakpoint, 11));
}

uint32_t AgentRemoveDebugBreakpoint(uint8_t slot) {
  Payload().U8(slot);
  return Reported(Exchange(kAgentCommandClearDebugBreakpoint, 1));
}

// The parts are appended until the last identifier held is the terminator. A part
// that is not whole identifiers, adds nothing, or takes the list past what 16-bit byte
// totals can hold is the agent's error: the list is freed and the status printed.
uint32_t AgentGetList(uint8_t kind, uint32_t* count, AgentList* list) {
  list->Clear();
  *count = 0;
  uint32_t status = SendListRequest(kAgentCommandListFirst, kind);
  if (status != 0) return Reported(status);
  for (;;) {
    const uint32_t length = Answer().Length();
    uint32_t refusal = 0;
    if (length % 4 != 0) {
      refusal = kServerParameterSizeError;
    } else if (length == 0 || list->Held() + length / 4 > kMostListEntries + 1) {
      refusal = kServerResponseTooBig;
    }
    if (refusal != 0) {
      list->Clear();
      return Reported(refusal);
    }
    list->Append(Answer().Payload(), length);
    if (list->Last() == kAgentListEnd) break;
    status = SendListRequest(kAgentCommandListNext, kind);
    if (status != 0) {
      list->Clear();
      return status;
    }
  }
  list->Complete();
  *count = list->Count();
  return 0;
}

uint32_t AgentGetProcessInfo(uint32_t threadId, ProcessRecord* record) {
  PumpEventsBeforeRequest(threadId);
  PayloadReader reader(nullptr, 0);
  if (const uint32_t status = RequestRecord(kAgentCommandProcessInfo, threadId, kProcessRecordSize, &reader)) {
    return status;
  }
  CopyName(reader, record->m_name, kProcessNameSize);
  record->m_waitBits = reader.U8();
  record->m_workerListFlag = reader.U8();
  return 0;
}

uint32_t AgentGetModuleInfo(uint32_t moduleHandle, ModuleRecord* record) {
  PayloadReader reader(nullptr, 0);
  if (const uint32_t status = RequestRecord(kAgentCommandModuleInfo, moduleHandle, kModuleRecordSize, &reader)) {
    return status;
  }
  CopyName(reader, record->m_name, kModuleNameSize);
  CopyName(reader, record->m_description, kModuleDescriptionSize);
  uint32_t* words[kModuleWordCount] = {
      &record->m_majorVersion, &record->m_minorVersion, &record->m_revision,    &record->m_year,
      &record->m_month,        &record->m_day,          &record->m_codeAddress, &record->m_codeLength,
      &record->m_dataAddress,  &record->m_dataLength,   &record->m_reserved[0], &record->m_reserved[1],
      &record->m_reserved[2],  &record->m_reserved[3]};
  for (uint32_t* word : words) *word = reader.U32();
  return 0;
}

uint32_t AgentGetScreenInfo(uint32_t screenId, ScreenRecord* record) {
  PayloadReader reader(nullptr, 0);
  if (const uint32_t status = RequestRecord(kAgentCommandScreenInfo, screenId, kScreenRecordSize, &reader)) {
    return status;
  }
  CopyName(reader, record->m_name, kScreenNameSize);
  record->m_typeAheadCount = reader.U16();
  record->m_videoMode = reader.U16();
  record->m_bufferAddress = reader.U32();
  record->m_keyboardThread = reader.U32();
  return 0;
}

uint32_t AgentQueryByte(uint32_t identifier, uint8_t* byte) {
  PumpEventsBeforeRequest(identifier);
  PayloadReader reader(nullptr, 0);
  if (const uint32_t status = RequestRecord(kAgentCommandQueryByte, identifier, 1, &reader)) return status;
  *byte = reader.U8();
  return 0;
}

uint32_t AgentEnd() { return Reported(Exchange(kAgentCommandEnd, 0)); }

uint32_t AgentSelectProcessor(uint32_t optionWord) {
  if (AgentTargetRunning()) {
    SetPendingProcessorWord(optionWord);
    return 0xFFFFFFFFu;
  }
  SetPendingProcessorWord(0);
  Payload().U32(optionWord);
  return Reported(Exchange(kAgentCommandSelectProcessor, 4));
}

// Silence is the agent's "no event": the request is not resent.
uint32_t AgentGetEvent(uint8_t* flag, AgentEventRecord* record) {
  const uint32_t status = Exchange(kAgentCommandGetEvent, 0, false);
  if (status != 0) return Reported(status);
  SetAgentTargetRunning(false);
  DecodeAgentEvent(Answer().Payload(), Answer().Length(), record);
  *flag = record->m_flag != 0 ? 1 : 0;
  if (const uint32_t held = PendingProcessorWord(); held != 0) {
    if (AgentSelectProcessor(held) == 0) SetPendingProcessorWord(0);
  }
  return 0;
}

void ResetAgentRequests() {
  State() = RequestState{};
  TheMemoryReadCache().SetEnabled(true);
}

}  // namespace zentor
