#pragma once
// The register model: one cached copy of the register set of the thread the current
// viewpoint names, read from the agent with one read-registers request and written
// back with one write-registers request per change. The target machine interface,
// the Registers window and the engine's register objects read and write registers
// through it by row (register_tables.h); the "regs", "fregs" and "stack" commands
// print from it. The cache goes stale whenever the target runs, stops or the
// processor changes, and a change of viewpoint forces a reload.

#include <cstdint>

#include "target/agent_requests.h"
#include "core/dv_error_code.h"
#include "core/target_status.h"

namespace zentor {

// One row of the target's register description: its name and target type id.
struct RegisterTableRow {
  const char* m_name = "";
  uint32_t m_targetTypeId = 0;
};

// The register description the target description points at: 55 rows, general,
// flag and floating-point rows in that order.
struct RegisterTable {
  uint32_t m_rowCount = 0;
  const RegisterTableRow* m_rows = nullptr;
};

// Zeroes the whole record (at connect).
void ClearRegisterRecord();
// The record itself (the Registers window shows and edits it).
RegisterBlock& RegisterRecord();
// Whether the server has a floating-point unit, as the agent's hello said.
bool IsFpuPresent();
// Built on the first call and then kept.
const RegisterTable* GetRegisterTable();
// Every row's name becomes a command keyword with the token code and its row as
// subcode.
void AddRegisterKeywords(uint8_t tokenCode);
// The record is stale from here on: called whenever the thread may run (a go, a single
// step) or has stopped.
void InvalidateRegisterCache();
// Reads the record for the current viewpoint unless it holds it already: 324 without
// a viewpoint or when the agent refuses (the record stays stale).
DVErrorCode LoadRegisterCache();
// Writes the record back: 324 without a viewpoint or when the agent refuses, 84 while
// the target runs. Register views are told of the change (but not after an 84).
DVErrorCode StoreRegisterCache();
// Loads (its status goes to *status; the lookup goes on regardless) and copies the
// name of the first general row with the x86 number, or "<Unknown>".
void GetRegisterNameByNumber(DVErrorCode* status, uint32_t number, char* buffer, uint32_t size);

// The program counter as a memory address {kind 1, cs, eip}; the caller sets the null
// mark and the class.
uint32_t ReadProgramCounterRecord(TargetStatus* status, TargetAddressRecord* record);
// eip = the record's offset, written back; on success the views browse there.
uint32_t WriteProgramCounterRecord(TargetStatus* status, const TargetAddressRecord* record);
// The frame pointer as a memory address {kind 1, ss, ebp}, from the record; the answer
// is the failed load (okay when the record was read).
DVErrorCode ReadFramePointerRecord(TargetAddressRecord* record);
// The program counter of thread `id` from the record, loaded when stale; false when
// the thread is not the current viewpoint's or the record cannot be read (the caller
// asks the agent itself).
bool CachedProgramCounter(uint32_t id, uint32_t* eip, uint32_t* cs);

// Reads register row `row` into `out` (1, 2, 4 or 10 bytes by the row's type; a flag
// row one byte 0 or 1). 200 for a floating-point row without a unit or a row beyond
// the table. Returns the number, which also goes to *status with its severity.
uint32_t GetRegisterValueByRow(TargetStatus* status, uint32_t viewpoint, uint32_t row, uint8_t* out);
// Writes the row from `in` and stores the record (a flag row takes bit 0 of the byte).
uint32_t SetRegisterValueByRow(TargetStatus* status, uint32_t viewpoint, uint32_t row, const uint8_t* in);
// The byte width of a row's value (1 for a flag row), 0 for a row beyond the table.
uint32_t RegisterRowSize(uint32_t row);

// Command actions: "regs" (selector 1) and "fregs" (selector 2) from the value stack;
// "stack" with an optional count.
void ListRegistersAction();
void DumpStackAction();

// Back to the start: record zero, stale, no viewpoint held, the table kept.
void ResetRegisterModel();

}  // namespace zentor
