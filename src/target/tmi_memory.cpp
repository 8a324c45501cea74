#include "target/tmi_memory.h"

#include <new>
#include <vector>

#include "target/agent_events.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "target/target_state.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgUndefinedRegister = 200;
constexpr uint32_t kMsgInvalidAddressOperation = 2003;
constexpr uint32_t kMsgNoProgramLoaded = 2006;
constexpr uint32_t kMsgMemoryReadFailed = 2007;
constexpr uint32_t kMsgMemoryWriteFailed = 2008;
constexpr uint32_t kPointerSize = 4;

bool IsRegisterAddress(const TargetAddressRecord& address) {
  return address.m_addressKind == kAddressKindRegisterNumber;
}

// size x count in bytes; false when it does not fit the 32 bits a request can name.
bool AccessBytes(const TargetAccessRecord& access, uint32_t* bytes) {
  const uint64_t product = (access.m_elementSize & 0xFFFFFFFFu) * (access.m_elementCount & 0xFFFFFFFFu);
  if (product > 0xFFFFFFFFu) return false;
  *bytes = static_cast<uint32_t>(product);
  return true;
}

// The register row of a register address; -1 when no general row has its number.
int32_t RegisterRowOf(const TargetAddressRecord& address) { return FindRegisterRowByNumber(address.m_offset); }

uint32_t FailWithSeverity(TargetStatus* status, uint32_t viewpoint, uint32_t code, uint32_t severity) {
  TmiSetStatus(status, viewpoint, code);
  status->m_severity = severity;
  return code;
}

// A register's value as the 32-bit offset of an address: its bytes, zero-extended.
bool ReadRegisterWord(TargetStatus* status, uint32_t viewpoint, uint32_t number, uint32_t* value) {
  const int32_t row = FindRegisterRowByNumber(number);
  if (row < 0) {
    TmiSetStatus(status, viewpoint, kMsgUndefinedRegister);
    return false;
  }
  uint8_t bytes[4] = {};
  if (GetRegisterValueByRow(status, viewpoint, static_cast<uint32_t>(row), bytes) != 0) return false;
  *value = value_bytes::LoadU32(bytes);
  return true;
}

// One 4-byte pointer at `address`; 2007 (severity 3) when fewer bytes came back.
bool ReadPointer(TargetStatus* status, uint32_t viewpoint, uint32_t address, uint32_t* value) {
  uint8_t bytes[kPointerSize] = {};
  uint32_t count = 0;
  if (!TgtReadMemory(viewpoint, address, bytes, kPointerSize, &count) || count < kPointerSize) {
    TmiSetStatus(status, viewpoint, kMsgMemoryReadFailed);
    return false;
  }
  *value = value_bytes::LoadU32(bytes);
  return true;
}

TargetAddressRecord MemoryAddress(uint32_t offset) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_offset = offset;
  return record;
}

bool g_polling = false;

}  // namespace

uint32_t TmiReadMemory(TargetStatus* status, uint32_t viewpoint, void* buffer, const TargetAccessRecord* access,
                       uint64_t* count) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  if (IsRegisterAddress(access->m_address)) {
    const int32_t row = RegisterRowOf(access->m_address);
    if (row < 0) return TmiSetStatus(status, viewpoint, kMsgUndefinedRegister);
    if (GetRegisterValueByRow(status, viewpoint, static_cast<uint32_t>(row), static_cast<uint8_t*>(buffer)) != 0) {
      return status->m_number;
    }
    *count = 1;
    return 0;
  }
  if (!TgtIsKnown(viewpoint)) return TmiSetStatus(status, viewpoint, kMsgNoProgramLoaded);
  uint32_t bytes = 0;
  if (!AccessBytes(*access, &bytes)) return TmiSetStatus(status, viewpoint, kMsgMemoryReadFailed);
  uint32_t received = 0;
  if (!TgtReadMemory(viewpoint, access->m_address.m_offset, static_cast<uint8_t*>(buffer), bytes, &received)) {
    return TmiSetStatus(status, viewpoint, kMsgMemoryReadFailed);
  }
  const uint32_t elementSize = static_cast<uint32_t>(access->m_elementSize);
  *count = elementSize != 0 ? received / elementSize : 0;
  return 0;
}

uint32_t TmiWriteMemory(TargetStatus* status, uint32_t viewpoint, const void* buffer,
                        const TargetAccessRecord* access, uint32_t repeat) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  if (IsRegisterAddress(access->m_address)) {
    const int32_t row = RegisterRowOf(access->m_address);
    if (row < 0) return TmiSetStatus(status, viewpoint, kMsgUndefinedRegister);
    return SetRegisterValueByRow(status, viewpoint, static_cast<uint32_t>(row), static_cast<const uint8_t*>(buffer));
  }
  if (!TgtIsKnown(viewpoint)) return TmiSetStatus(status, viewpoint, kMsgNoProgramLoaded);
  uint32_t bytes = 0;
  if (!AccessBytes(*access, &bytes)) return TmiSetStatus(status, viewpoint, kMsgMemoryWriteFailed);
  uint32_t address = access->m_address.m_offset;
  for (uint32_t pass = 0; pass < repeat; ++pass) {
    if (!TgtWriteMemory(viewpoint, address, static_cast<const uint8_t*>(buffer), bytes)) {
      return TmiSetStatus(status, viewpoint, kMsgMemoryWriteFailed);
    }
    address += bytes;
  }
  return 0;
}

uint32_t TmiCopyMemory(TargetStatus* status, uint32_t viewpoint, const TargetAccessRecord* source,
                       const TargetAccessRecord* destination) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  if (!TgtIsKnown(viewpoint)) return TmiSetStatus(status, viewpoint, kMsgNoProgramLoaded);
  uint32_t bytes = 0;
  if (!AccessBytes(*source, &bytes)) return TmiSetStatus(status, viewpoint, kMsgMemoryWriteFailed);
  std::vector<uint8_t> host;
  try {
    host.resize(bytes);
  } catch (const std::bad_alloc&) {
    return TmiSetStatus(status, viewpoint, kMsgMemoryWriteFailed);
  }
  uint32_t received = 0;
  if (!TgtReadMemory(viewpoint, source->m_address.m_offset, host.data(), bytes, &received) || received < bytes) {
    return TmiSetStatus(status, viewpoint, kMsgMemoryReadFailed);
  }
  if (!TgtWriteMemory(viewpoint, destination->m_address.m_offset, host.data(), bytes)) {
    return TmiSetStatus(status, viewpoint, kMsgMemoryWriteFailed);
  }
  return 0;
}

// 1. A register start: the register's value is the address, of the first level's type.
// 2. A memory start: levels + 1 pointers, each level's type the pointer type (20), each
//    read as one 4-byte element; a failed read ends the chain with its status. A level
//    of another type ends it with 2003 at INTERNAL ERROR: a chain through a
//    non-pointer must not look like success.
// 3. *out is the last address reached.
uint32_t TmiFollowPointers(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* start,
                           uint32_t levels, const uint32_t* levelTypeIds, TargetAddressRecord* out) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  if (IsRegisterAddress(*start)) {
    uint32_t value = 0;
    if (!ReadRegisterWord(status, viewpoint, start->m_offset, &value)) return status->m_number;
    *out = MemoryAddress(value);
    out->m_addressClass = levelTypeIds[0];
    return 0;
  }
  if (!TgtIsKnown(viewpoint)) return TmiSetStatus(status, viewpoint, kMsgNoProgramLoaded);
  TargetAddressRecord current = *start;
  for (uint32_t level = 0; level <= levels; ++level) {
    if (levelTypeIds[level] != kAddressClassMemory) {
      return FailWithSeverity(status, viewpoint, kMsgInvalidAddressOperation, kSeverityInternal);
    }
    uint32_t value = 0;
    if (!ReadPointer(status, viewpoint, current.m_offset, &value)) return status->m_number;
    current = MemoryAddress(value);
  }
  *out = current;
  return 0;
}

uint32_t TmiReadRegister(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* programCounter) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  programCounter->m_addressClass = kAddressClassMemory;
  programCounter->m_nullMark = 0;
  return ReadProgramCounterRecord(status, programCounter);
}

uint32_t TmiWriteRegister(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* programCounter) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  return WriteProgramCounterRecord(status, programCounter);
}

uint32_t TmiGetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, uint8_t* value) {
  return GetRegisterValueByRow(status, viewpoint, row, value);
}

uint32_t TmiSetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, const uint8_t* value) {
  return SetRegisterValueByRow(status, viewpoint, row, value);
}

uint32_t TmiReadAddressValue(TargetStatus* status, uint32_t viewpoint, uint32_t flag, TargetAddressRecord* record) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  record->m_addressClass = kAddressClassMemory;
  record->m_nullMark = 0;
  if (flag == 0) {
    const auto failed = [&](const DVError& error) {
      TmiSetStatus(status, viewpoint, error.Number());
      status->m_severity = error.Severity();
      return status->m_number;
    };
    try {
      const DVErrorCode loaded = ReadFramePointerRecord(record);
      if (!loaded.IsOkay()) return failed(DVError(loaded));
    } catch (const DVError& error) {
      return failed(error);
    }
    return 0;
  }
  if (record->m_offset != 0) {
    uint32_t value = 0;
    if (!ReadPointer(status, viewpoint, record->m_offset, &value)) return status->m_number;
    record->m_offset = value;
  }
  if (record->m_offset == 0) record->m_nullMark = 1;
  return 0;
}

uint32_t TmiReadAddressAtOffset4(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* source,
                                 TargetAddressRecord* out) {
  if (!TmiGuard(status, viewpoint, false)) return status->m_number;
  TargetAddressRecord result = *source;
  result.m_addressClass = kAddressClassMemory;
  result.m_nullMark = 0;
  uint32_t value = 0;
  if (!ReadPointer(status, viewpoint, source->m_offset + 4, &value)) return status->m_number;
  result.m_offset = value;
  *out = result;
  return 0;
}

uint32_t TmiPollEvents(uint32_t viewpoint) {
  if (g_polling) return 0;
  g_polling = true;
  struct ClearGuard {
    ~ClearGuard() { g_polling = false; }
  } clearGuard;
  RunEventPumpOnce(viewpoint);
  TgtSetStatusWord(viewpoint, 0);
  return 0;
}

uint32_t TmiGetStackInfo(TargetStatus* status, uint32_t viewpoint) { return TmiSetStatus(status, viewpoint, 0); }

void ReadTargetWord(const TargetAddressRecord& address, uint8_t* bytes) {
  TargetStatus status;
  TargetAccessRecord access;
  access.m_address = address;
  access.m_typeCode = DVPTypeInfo::FromCode(kKindOrd4).TargetTypeId();
  access.m_elementSize = 4;
  access.m_elementCount = 1;
  uint64_t count = 0;
  if (TmiReadMemory(&status, GetCurrentViewpointValue(), bytes, &access, &count) == 0 && count < 1) {
    TmiSetStatus(&status, GetCurrentViewpointValue(), kMsgMemoryReadFailed);
  }
  if (status.m_number != 0) throw DVError(status);
}

}  // namespace zentor
