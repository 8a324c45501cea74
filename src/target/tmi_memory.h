#pragma once
// The target machine interface's operations on a thread's memory and registers: read,
// write and fill, copy, pointer chains, the program counter and frame pointer as
// addresses, registers by row, and the event poll. Like every target-interface
// operation they take the status first and the viewpoint value second, fill their
// out-parameters and return the status number; the engine turns a failure into a
// DVError. An address of kind 1 is a linear memory offset, one of kind 0 a register
// by its x86 number (read and written through the register model).

#include <cstdint>

#include "core/target_status.h"

namespace zentor {

// What the memory operations receive: the address, the type, and the element size
// and count (the low 32 bits of each are used; an access is size x count bytes).
struct TargetAccessRecord {
  TargetAddressRecord m_address;
  uint32_t m_typeCode = 0;
  uint64_t m_elementSize = 0;
  uint64_t m_elementCount = 0;
};

// Memory: size x count bytes with the read-memory request; *count = whole elements
// received. A register address reads the register into the buffer (count 1). 2007
// when the request fails, 2006 for a thread the target does not know.
uint32_t TmiReadMemory(TargetStatus* status, uint32_t viewpoint, void* buffer, const TargetAccessRecord* access,
                       uint64_t* count);
// Memory: `repeat` passes, each writing the same size x count bytes from the buffer's
// start and moving on by that many, so a repeat above 1 fills a range; repeat 0 writes
// nothing. The first failing pass ends it with 2008. A register address writes the
// register.
uint32_t TmiWriteMemory(TargetStatus* status, uint32_t viewpoint, const void* buffer,
                        const TargetAccessRecord* access, uint32_t repeat);
// Copies the source's size x count bytes to the destination's address.
uint32_t TmiCopyMemory(TargetStatus* status, uint32_t viewpoint, const TargetAccessRecord* source,
                       const TargetAccessRecord* destination);
// From a register start: {class = levelTypeIds[0], kind 1, offset = the register's
// value}. From a memory start: levels + 1 pointers read one after another, each level's
// type id must be 20 (else severity 5); *out is the last address reached.
uint32_t TmiFollowPointers(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* start,
                           uint32_t levels, const uint32_t* levelTypeIds, TargetAddressRecord* out);
// The program counter as a memory address (class 20, not null).
uint32_t TmiReadRegister(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* programCounter);
// Moves the program counter to the record's offset.
uint32_t TmiWriteRegister(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* programCounter);
// A register by its row of the register table (register_tables.h).
uint32_t TmiGetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, uint8_t* value);
uint32_t TmiSetRegisterValue(TargetStatus* status, uint32_t viewpoint, uint32_t row, const uint8_t* value);
// Flag 0: the frame pointer. Flag 1: the 32-bit value stored at the record's offset
// becomes its offset (an offset of 0 stays and afterwards marks the record null).
uint32_t TmiReadAddressValue(TargetStatus* status, uint32_t viewpoint, uint32_t flag, TargetAddressRecord* record);
// *out = the 32-bit value stored at source offset + 4, as a memory address.
uint32_t TmiReadAddressAtOffset4(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* source,
                                 TargetAddressRecord* out);
// One pass of the event pump, unless one is under way already (the poll timer and
// the busy pump both call it); the thread's status word is cleared.
uint32_t TmiPollEvents(uint32_t viewpoint);
// The stack walk gets no help from the target: always 0.
uint32_t TmiGetStackInfo(TargetStatus* status, uint32_t viewpoint);

// Reads the 32-bit word at a memory record for the current viewpoint; a failure is
// thrown as its DVError. The stack listing reads its items through it.
void ReadTargetWord(const TargetAddressRecord& address, uint8_t* bytes);

}  // namespace zentor
