#pragma once
// The target's own table of breakpoint slots, apart from the engine's breakpoint
// table: 54 user software slots, 4 user hardware slots (one per debug register
// DR0-DR3) and 10 temporary software slots of run control. The engine adds, deletes,
// enables and disables breakpoints through TmiBreakpointOperation; run control
// inserts the enabled slots of a thread before it resumes it and removes them when it
// stops, and takes temporary slots for step-over and go-to. A slot's index (0-57) is
// the breakpoint number the engine and the stop record use; temporary slots have none.

#include <cstdint>

#include "core/target_status.h"

namespace zentor {

class RegisterBlock;

inline constexpr uint32_t kSlotCount = 68;
inline constexpr uint32_t kFirstHardwareSlot = 54;
inline constexpr uint32_t kFirstTemporarySlot = 58;
inline constexpr uint32_t kDebugRegisterRowCount = 4;

// Operations of TmiBreakpointOperation.
enum BreakpointOperationCode : uint32_t {
  kBreakpointAdd = 0,
  kBreakpointDelete = 1,
  kBreakpointDeleteAll = 2,
  kBreakpointEnable = 3,
  kBreakpointEnableAll = 4,
  kBreakpointDisable = 5,
  kBreakpointDisableAll = 6,
};

// The engine's words of a debug-register breakpoint: what the access is (in the
// length-code word) and how many bytes it watches (in the access-kind word).
inline constexpr uint32_t kEngineAccessExecute = 0;
inline constexpr uint32_t kEngineAccessWrite = 1;
inline constexpr uint32_t kEngineAccessReadWrite = 2;
inline constexpr uint32_t kEngineAccessInputOutput = 3;
// The engine's breakpoint types (the hardware word).
inline constexpr uint32_t kEngineTypeSoftware = 0;
inline constexpr uint32_t kEngineTypeDebugRegister = 1;
inline constexpr uint32_t kEngineTypeTaskSwitch = 2;

// The engine's record of one operation.
struct BreakpointRequest {
  uint32_t m_operation = 0;
  uint32_t m_number = 0;  // in for delete, enable, disable; out for add
  TargetAddressRecord m_address;
  uint32_t m_hardware = 0;    // the engine's breakpoint type
  uint32_t m_lengthCode = 0;  // a debug-register breakpoint's access
  uint16_t m_accessKind = 0;  // its size in bytes; on add, the row's kind comes back
  uint32_t m_enabled = 0;
  uint32_t m_viewpointOnly = 0;
};

struct BreakpointSlot {
  uint32_t m_id = 0xFFFFFFFFu;  // free; else the slot (software) or the row (hardware)
  uint32_t m_thread = 0;
  uint32_t m_address = 0;
  uint32_t m_enabled = 0;
  uint32_t m_temporary = 0;
  uint32_t m_hardware = 0;
  uint32_t m_row = 0xFFFFFFFFu;
  uint8_t m_spare = 0;
  uint32_t m_inserted = 0;
};

// Row kinds of a debug register.
inline constexpr uint32_t kRowKindExecute = 1;
inline constexpr uint32_t kRowKindWrite = 2;
inline constexpr uint32_t kRowKindAccess = 4;

struct DebugRegisterRow {
  uint32_t m_slot = 0;
  uint32_t m_length = 0;  // the DR7 length encoding: 0, 1 or 3 for 1, 2 or 4 bytes
  uint32_t m_kind = 0;
  uint32_t m_inUse = 0;
};

// Which debug register fired: its number, the kind (1 execute, 3 data access) and
// the address it watched.
struct DebugStatusHit {
  uint32_t m_register = 0;
  uint32_t m_kind = 0;
  uint32_t m_address = 0;
};

// The breakpoint types the target description names (kBreakpointTypeRowCount rows):
// software breakpoints (access 7), debug registers (execute "hw", write "wr",
// read/write "acc", I/O) and task switches (4, 5).
const BreakpointTypeRow* TmiBreakpointTypeTable();

// The engine's entry: after the guards (viewpoint -1: 2006; a busy thread: 84), the
// operation on the slots; 22 no free slot or unknown thread, 26 a duplicate, 21 a
// free slot or bad number, 2004 an unknown operation (and a debug-register access or
// size a debug register cannot watch, or a task-switch breakpoint).
uint32_t TmiBreakpointOperation(TargetStatus* status, uint32_t viewpoint, BreakpointRequest* request);

// The operations of run control and the event handlers.
// The slot, -1 none free, -2 a duplicate.
int32_t TgtAddSlot(uint32_t thread, uint32_t address, BreakpointRequest* request, bool temporary);
bool TgtInsertSlot(uint32_t slot);
bool TgtRemoveSlot(uint32_t slot);
bool TgtDeleteSlot(uint32_t slot);
void TgtRemoveAllEnabled();
void TgtInsertUserSlots(uint32_t thread);
void TgtInsertTemporarySlots(uint32_t thread);
void TgtDeleteTemporarySlots(uint32_t thread);
void TgtDeleteThreadSlots(uint32_t thread);
void TgtFreeAllSlots();
// Range 0: the user software slots; 1: the slots of the rows in use; 2: the temporary
// slots. The first non-free enabled slot of the thread at the address, else -1.
int32_t TgtFindEnabled(uint32_t thread, uint32_t address, uint32_t range);
bool TgtHasDuplicate(uint32_t thread, uint32_t hardware, uint32_t address, bool temporary);
int32_t TgtBreakpointNumber(uint32_t slot);
bool TgtSlotEnabled(uint32_t slot);
bool TgtSlotInserted(uint32_t slot);
bool TgtSlotTemporary(uint32_t slot);
// From DR0-DR3, DR6 and DR7 (register group 4): false when nothing fired.
bool TgtDecodeDebugStatus(const RegisterBlock& block, DebugStatusHit* hit);
// Reads the thread's debug registers and decodes them.
bool TgtReadDebugStatus(uint32_t thread, DebugStatusHit* hit);

// Views for the engine and the tests.
const BreakpointSlot& TgtSlotAt(uint32_t slot);
const DebugRegisterRow& TgtDebugRowAt(uint32_t row);

}  // namespace zentor
