#include "target/breakpoint_slots.h"

#include "target/agent_requests.h"
#include "target/target_state.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kFreeSlot = 0xFFFFFFFFu;
constexpr uint32_t kMsgIndexInvalid = 21;
constexpr uint32_t kMsgTooManyBreakpoints = 22;
constexpr uint32_t kMsgDuplicateAddress = 26;
constexpr uint32_t kMsgInvalidBreakAction = 2004;
constexpr uint16_t kDebugRegisterMask = 0x10;
constexpr uint32_t kDebugRegisterGroup = 4;
constexpr uint32_t kDr6Offset = 16;
constexpr uint32_t kDr7Offset = 20;
// Length codes and access kinds of the slot request (the x86 DR7 length encodings and
// the row kinds they give).
constexpr uint32_t kLengthCodeOneByte = 0;
constexpr uint32_t kLengthCodeTwoBytes = 1;
constexpr uint32_t kLengthCodeFourBytes = 2;
constexpr uint16_t kAccessKindExecute = 0;
constexpr uint16_t kAccessKindWrite = 2;
constexpr uint16_t kAccessKindAccess = 3;

struct SlotTables {
  BreakpointSlot slots[kSlotCount];
  DebugRegisterRow rows[kDebugRegisterRowCount];
};

SlotTables& Tables() {
  static SlotTables tables;
  return tables;
}

bool IsFree(const BreakpointSlot& slot) { return slot.m_id == kFreeSlot; }

// The DR7 type of a row: 0 execute, 1 write, 3 read or write; a length of 0 (one byte)
// can only watch execution.
uint8_t RowType(const DebugRegisterRow& row) {
  if (row.m_length == 0) return 0;
  switch (row.m_kind) {
    case kRowKindWrite: return 1;
    case kRowKindAccess: return 3;
    default: return 0;
  }
}

uint32_t FailWithSeverity(TargetStatus* status, uint32_t viewpoint, uint32_t code, uint32_t severity) {
  TmiSetStatus(status, viewpoint, code);
  status->m_severity = severity;
  return code;
}

// The engine's words of a debug-register breakpoint in the slot request's coding: the
// access (execute, write, read or write) becomes the access kind, the watched size
// (1, 2 or 4 bytes) the length code; execution is always watched on one byte. False
// for what no debug register watches: input/output, or another size.
bool TranslateDebugRegisterWords(BreakpointRequest* request) {
  uint16_t accessKind = kAccessKindExecute;
  switch (request->m_lengthCode) {
    case kEngineAccessExecute:
      request->m_accessKind = kAccessKindExecute;
      request->m_lengthCode = kLengthCodeOneByte;
      return true;
    case kEngineAccessWrite: accessKind = kAccessKindWrite; break;
    case kEngineAccessReadWrite: accessKind = kAccessKindAccess; break;
    default: return false;
  }
  switch (request->m_accessKind) {
    case 1: request->m_lengthCode = kLengthCodeOneByte; break;
    case 2: request->m_lengthCode = kLengthCodeTwoBytes; break;
    case 4: request->m_lengthCode = kLengthCodeFourBytes; break;
    default: return false;
  }
  request->m_accessKind = accessKind;
  return true;
}

// Applies `change` to the user slot the request numbers; 21 when it is free or no user
// slot.
template <typename Change>
uint32_t ChangeNumberedSlot(TargetStatus* status, uint32_t viewpoint, uint32_t number, Change change) {
  if (number >= kFirstTemporarySlot || IsFree(Tables().slots[number])) {
    return TmiSetStatus(status, viewpoint, kMsgIndexInvalid);
  }
  change(number);
  return 0;
}

template <typename Change>
void ChangeThreadsUserSlots(uint32_t thread, Change change) {
  for (uint32_t slot = 0; slot < kFirstTemporarySlot; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_thread == thread) change(slot);
  }
}

}  // namespace

uint32_t TmiBreakpointOperation(TargetStatus* status, uint32_t viewpoint, BreakpointRequest* request) {
  if (!TmiGuard(status, viewpoint, true)) return status->m_number;
  SlotTables& tables = Tables();
  switch (request->m_operation) {
    case kBreakpointAdd: {
      if (request->m_hardware == kEngineTypeTaskSwitch) {
        return TmiSetStatus(status, viewpoint, kMsgInvalidBreakAction);
      }
      BreakpointRequest slotRequest = *request;
      if (slotRequest.m_hardware == kEngineTypeDebugRegister && !TranslateDebugRegisterWords(&slotRequest)) {
        return TmiSetStatus(status, viewpoint, kMsgInvalidBreakAction);
      }
      if (!TgtIsKnown(viewpoint)) return TmiSetStatus(status, viewpoint, kMsgTooManyBreakpoints);
      const int32_t slot = TgtAddSlot(viewpoint, request->m_address.m_offset, &slotRequest, false);
      if (slot == -2) return TmiSetStatus(status, viewpoint, kMsgDuplicateAddress);
      if (slot < 0) return TmiSetStatus(status, viewpoint, kMsgTooManyBreakpoints);
      request->m_number = static_cast<uint32_t>(slot);
      request->m_accessKind = slotRequest.m_accessKind;
      return 0;
    }
    case kBreakpointDelete:
      return ChangeNumberedSlot(status, viewpoint, request->m_number, [](uint32_t slot) { TgtDeleteSlot(slot); });
    case kBreakpointDeleteAll:
      ChangeThreadsUserSlots(viewpoint, [](uint32_t slot) { TgtDeleteSlot(slot); });
      return 0;
    case kBreakpointEnable:
      return ChangeNumberedSlot(status, viewpoint, request->m_number,
                                [&](uint32_t slot) { tables.slots[slot].m_enabled = 1; });
    case kBreakpointEnableAll:
      ChangeThreadsUserSlots(viewpoint, [&](uint32_t slot) { tables.slots[slot].m_enabled = 1; });
      return 0;
    case kBreakpointDisable:
      return ChangeNumberedSlot(status, viewpoint, request->m_number,
                                [&](uint32_t slot) { tables.slots[slot].m_enabled = 0; });
    case kBreakpointDisableAll:
      ChangeThreadsUserSlots(viewpoint, [&](uint32_t slot) { tables.slots[slot].m_enabled = 0; });
      return 0;
    default: return FailWithSeverity(status, viewpoint, kMsgInvalidBreakAction, kSeverityInternal);
  }
}

// 1. A duplicate (same thread, address and hardware flag, enabled) answers -2.
// 2. Hardware: the first free debug-register row, slot = row + 54. Software: the first
//    free user slot, or temporary slot for run control. None: -1.
// 3. The slot takes thread, address, id, enabled (the request's; 1 without one),
//    temporary and hardware flags; it is not inserted yet.
// 4. A hardware row takes its length from the length code (another code keeps the
//    row's length) and its kind from the access kind; the request gets the row kind.
int32_t TgtAddSlot(uint32_t thread, uint32_t address, BreakpointRequest* request, bool temporary) {
  SlotTables& tables = Tables();
  const uint32_t hardware = request != nullptr ? request->m_hardware : 0;
  if (TgtHasDuplicate(thread, hardware, address, temporary)) return -2;
  int32_t slot = -1;
  uint32_t row = kFreeSlot;
  if (hardware != 0) {
    for (uint32_t candidate = 0; candidate < kDebugRegisterRowCount; ++candidate) {
      if (tables.rows[candidate].m_inUse == 0) {
        row = candidate;
        slot = static_cast<int32_t>(kFirstHardwareSlot + candidate);
        break;
      }
    }
  } else {
    const uint32_t first = temporary ? kFirstTemporarySlot : 0;
    const uint32_t end = temporary ? kSlotCount : kFirstHardwareSlot;
    for (uint32_t candidate = first; candidate < end; ++candidate) {
      if (IsFree(tables.slots[candidate])) {
        slot = static_cast<int32_t>(candidate);
        break;
      }
    }
  }
  if (slot < 0) return -1;
  BreakpointSlot& record = tables.slots[slot];
  record = BreakpointSlot{};
  record.m_inserted = 0;
  record.m_thread = thread;
  record.m_address = address;
  record.m_id = hardware != 0 ? row : static_cast<uint32_t>(slot);
  record.m_enabled = request != nullptr ? request->m_enabled : 1;
  record.m_temporary = temporary ? 1 : 0;
  record.m_hardware = hardware != 0 ? 1 : 0;
  if (hardware == 0) return slot;
  record.m_row = row;
  DebugRegisterRow& debugRow = tables.rows[row];
  switch (request->m_lengthCode) {
    case kLengthCodeOneByte: debugRow.m_length = 0; break;
    case kLengthCodeTwoBytes: debugRow.m_length = 1; break;
    case kLengthCodeFourBytes: debugRow.m_length = 3; break;
    default: break;
  }
  switch (request->m_accessKind) {
    case 0:
    case 1: debugRow.m_kind = kRowKindExecute; break;
    case 2: debugRow.m_kind = kRowKindWrite; break;
    default: debugRow.m_kind = kRowKindAccess; break;
  }
  debugRow.m_inUse = 1;
  debugRow.m_slot = static_cast<uint32_t>(slot);
  request->m_accessKind = static_cast<uint16_t>(debugRow.m_kind);
  return slot;
}

// A slot that is free, disabled or already set answers true at once. A software slot
// counts as inserted only when the agent set it, so that the next insertion tries
// again; a hardware slot is never marked and goes to the agent at every insertion.
bool TgtInsertSlot(uint32_t slot) {
  if (slot >= kSlotCount) return true;
  BreakpointSlot& record = Tables().slots[slot];
  if (IsFree(record) || record.m_enabled == 0 || record.m_inserted != 0) return true;
  if (record.m_hardware == 0) {
    const bool set = AgentSetBreakpoint(static_cast<uint8_t>(slot), 0, record.m_address) == 0;
    if (set) record.m_inserted = 1;
    return set;
  }
  const DebugRegisterRow& row = Tables().rows[record.m_row];
  return AgentSetDebugBreakpoint(static_cast<uint8_t>(record.m_row), record.m_thread, record.m_address,
                                 static_cast<uint8_t>(row.m_length), RowType(row)) == 0;
}

bool TgtRemoveSlot(uint32_t slot) {
  if (slot >= kSlotCount) return false;
  BreakpointSlot& record = Tables().slots[slot];
  if (IsFree(record)) return false;
  const uint32_t answer = record.m_hardware == 0 ? AgentRemoveBreakpoint(static_cast<uint8_t>(slot))
                                                 : AgentRemoveDebugBreakpoint(static_cast<uint8_t>(record.m_row));
  record.m_inserted = 0;
  return answer == 0;
}

bool TgtDeleteSlot(uint32_t slot) {
  if (slot >= kSlotCount) return false;
  BreakpointSlot& record = Tables().slots[slot];
  if (IsFree(record)) return false;
  TgtRemoveSlot(slot);
  if (record.m_hardware != 0 && record.m_row < kDebugRegisterRowCount) Tables().rows[record.m_row].m_inUse = 0;
  record.m_id = kFreeSlot;
  return true;
}

void TgtRemoveAllEnabled() {
  for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_enabled != 0) TgtRemoveSlot(slot);
  }
}

void TgtInsertUserSlots(uint32_t thread) {
  for (uint32_t slot = 0; slot < kFirstTemporarySlot; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_thread == thread) TgtInsertSlot(slot);
  }
}

void TgtInsertTemporarySlots(uint32_t thread) {
  for (uint32_t slot = kFirstTemporarySlot; slot < kSlotCount; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_thread == thread) TgtInsertSlot(slot);
  }
}

void TgtDeleteTemporarySlots(uint32_t thread) {
  for (uint32_t slot = kFirstTemporarySlot; slot < kSlotCount; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_thread == thread && record.m_temporary == 1) TgtDeleteSlot(slot);
  }
}

void TgtDeleteThreadSlots(uint32_t thread) {
  for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_thread == thread) TgtDeleteSlot(slot);
  }
}

void TgtFreeAllSlots() { Tables() = SlotTables{}; }

int32_t TgtFindEnabled(uint32_t thread, uint32_t address, uint32_t range) {
  const SlotTables& tables = Tables();
  auto matches = [&](uint32_t slot) {
    const BreakpointSlot& record = tables.slots[slot];
    return !IsFree(record) && record.m_enabled != 0 && record.m_thread == thread && record.m_address == address;
  };
  if (range == 1) {
    for (const DebugRegisterRow& row : tables.rows) {
      if (row.m_inUse != 0 && row.m_slot < kSlotCount && matches(row.m_slot)) return static_cast<int32_t>(row.m_slot);
    }
    return -1;
  }
  const uint32_t first = range == 2 ? kFirstTemporarySlot : 0;
  const uint32_t end = range == 2 ? kSlotCount : kFirstHardwareSlot;
  for (uint32_t slot = first; slot < end; ++slot) {
    if (matches(slot)) return static_cast<int32_t>(slot);
  }
  return -1;
}

bool TgtHasDuplicate(uint32_t thread, uint32_t hardware, uint32_t address, bool temporary) {
  const uint32_t first = temporary ? kFirstTemporarySlot : 0;
  const uint32_t end = temporary ? kSlotCount : kFirstTemporarySlot;
  const uint32_t hardwareFlag = hardware != 0 ? 1 : 0;
  for (uint32_t slot = first; slot < end; ++slot) {
    const BreakpointSlot& record = Tables().slots[slot];
    if (!IsFree(record) && record.m_enabled != 0 && record.m_thread == thread && record.m_address == address &&
        record.m_hardware == hardwareFlag) {
      return true;
    }
  }
  return false;
}

int32_t TgtBreakpointNumber(uint32_t slot) { return slot < kFirstTemporarySlot ? static_cast<int32_t>(slot) : -1; }

bool TgtSlotEnabled(uint32_t slot) { return slot < kSlotCount && Tables().slots[slot].m_enabled != 0; }
bool TgtSlotInserted(uint32_t slot) { return slot < kSlotCount && Tables().slots[slot].m_inserted != 0; }
bool TgtSlotTemporary(uint32_t slot) { return slot < kSlotCount && Tables().slots[slot].m_temporary != 0; }

bool TgtDecodeDebugStatus(const RegisterBlock& block, DebugStatusHit* hit) {
  const uint8_t* group = block.Group(kDebugRegisterGroup);
  const uint32_t dr6 = value_bytes::LoadU32(group + kDr6Offset);
  const uint32_t dr7 = value_bytes::LoadU32(group + kDr7Offset);
  if ((dr6 & 0xFu) == 0) return false;
  for (uint32_t i = 0; i < kDebugRegisterRowCount; ++i) {
    const bool fired = (dr6 & (1u << i)) != 0;
    const bool enabled = (dr7 & (3u << (2 * i))) != 0;
    if (!fired || !enabled) continue;
    hit->m_register = i;
    hit->m_kind = (dr7 & (0x30000u << (4 * i))) != 0 ? 3 : 1;
    hit->m_address = value_bytes::LoadU32(group + 4 * i);
    return true;
  }
  return false;
}

bool TgtReadDebugStatus(uint32_t thread, DebugStatusHit* hit) {
  RegisterBlock block;
  block.SetMask(kDebugRegisterMask);
  if (!TgtReadRegisters(thread, &block)) return false;
  return TgtDecodeDebugStatus(block, hit);
}

const BreakpointSlot& TgtSlotAt(uint32_t slot) {
  if (slot >= kSlotCount) ZENTOR_INTERNAL_ERROR();
  return Tables().slots[slot];
}

const DebugRegisterRow& TgtDebugRowAt(uint32_t row) {
  if (row >= kDebugRegisterRowCount) ZENTOR_INTERNAL_ERROR();
  return Tables().rows[row];
}

const BreakpointTypeRow* TmiBreakpointTypeTable() {
  static const BreakpointTypeRow rows[kBreakpointTypeRowCount] = {
      {kEngineTypeSoftware, 1, 0, {7, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {}},
      {kEngineTypeDebugRegister,
       4,
       0,
       {kEngineAccessExecute, kEngineAccessWrite, kEngineAccessReadWrite, kEngineAccessInputOutput, 0xFFFFFFFFu,
        0xFFFFFFFFu},
       {"hw", "wr", "acc", nullptr, nullptr, nullptr}},
      {kEngineTypeTaskSwitch, 2, 0, {4, 5, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {}},
  };
  return rows;
}

}  // namespace zentor
