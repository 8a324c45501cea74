#pragma once
// Target code as text: the "asm" command of the command language (its semantic
// actions), the listing loop that writes instructions to the command output with
// the module's name and the source line numbers between them, the listing of one
// instruction after an instruction step, and the packed instruction lines the source
// pane shows. Every instruction comes from the target interface's TmiDisassemble.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/address_range.h"
#include "support/rw_cstring.h"

namespace zentor {

// DisassemblyListForm: whether a range's length counts bytes or instructions.
inline constexpr uint32_t kListFormBytes = 0;
inline constexpr uint32_t kListFormCount = 1;
uint32_t DisassemblyListForm();
void SetDisassemblyListForm(uint32_t form);

// Slots of the semantic actions in the action table.
inline constexpr uint16_t kSlotListFormCount = 10;
inline constexpr uint16_t kSlotListFormBytes = 12;
inline constexpr uint16_t kSlotDisassemble = 22;
inline constexpr uint16_t kSlotDisassemblyRange = 197;
inline constexpr uint16_t kSlotDisassemblyStart = 199;

// The text of the instruction at `address` (address text, two blanks, the
// disassembler's line) and its length in bytes. A failing status of the target is
// raised; a warning is reported and the listing goes on.
uint32_t DisassembleOne(const AddressDescriptor& address, uint32_t addressForm, RWCString* text);

// Lists the range's instructions on the command output: its length counts bytes or
// instructions by the listing form. An instruction that crosses the end of a byte
// range is listed whole. A module's name is printed (":" and the name) where the
// module changes, a line number (" #" and the number) before an instruction that
// starts a source line.
void ListDisassembly(const AddressRange& range, uint32_t addressForm);

// The caller's buffer for packed instruction lines: records of the instruction's
// offset from the start (8 bytes, little-endian) and its text with a NUL.
struct PackedLineBuffer {
  uint8_t* m_buffer = nullptr;
  uint16_t m_capacity = 0;
};
// Disassembles `byteCount` bytes from `start` into the buffer. Returns the number of
// records, or its negative when the buffer filled up first.
int32_t DisassembleIntoBuffer(const AddressDescriptor& start, int32_t byteCount, const PackedLineBuffer& out);

// The semantic actions of the "asm" command.
void SetListFormCount();       // a length counts instructions
void SetListFormBytes();       // an end address (or nothing) counts bytes
void DisassembleCommand();     // lists the range on the stack
void BuildDisassemblyRange();  // the range from the start and its end or length
void CheckDisassemblyStart();  // the start as a location
// Binds the actions to their slots (at start-up).
void BindDisassemblyActions();

}  // namespace zentor
