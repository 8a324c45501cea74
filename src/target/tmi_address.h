#pragma once
// The target interface's operations on its own address records: creation, offset
// arithmetic, difference, comparison, class tests, text and the address space. The
// layout of a target address belongs here; the debugger side keeps records whole (in
// AddressDescriptor) and asks these operations for everything but the null mark.
// Memory is flat: a memory address is its 32-bit offset; a register address holds
// the register's x86 number. None of them needs the agent.
//
// Like every target-interface operation they take the status first and the viewpoint
// value second, fill their out-parameters and return the status number. A record of
// the wrong class where the operation requires one is an internal error (thrown).

#include <cstdint>

#include "core/target_interface.h"

namespace zentor {

// Form 1 (one 64-bit component): a memory address at the low 32 bits of the first
// component, whatever the address specification's kind and base. Other forms: status
// 2003 with severity 5 and the record untouched.
uint32_t TmiCreateAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                          const AddressSpecification* specification);
// A memory address at *offset (0 when offset is null); the type id must be 20.
uint32_t TmiCreatePointerAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                 uint32_t targetTypeId, const uint32_t* offset);
// out = source moved by the low word of the byte count, wrapping at 32 bits; the
// source must be a memory address. `out` may be the source.
uint32_t TmiAddOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                      const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh);
uint32_t TmiSubtractOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                           const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh);
// *difference = a's offset minus b's offset modulo 2^32, high word 0; a must be a
// memory address (b's class is not looked at).
uint32_t TmiAddressDifference(TargetStatus* status, uint32_t viewpoint, uint64_t* difference,
                              const TargetAddressRecord* a, const TargetAddressRecord* b);
// *flag = 1 when the record's class is `addressClass`; otherwise status 2003 with
// severity 5 (flag 0).
uint32_t TmiCheckAddressClass(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                              uint32_t addressClass, uint32_t* flag);
// Same address kind: *notComparable 0 and *relation 1 equal, 2 a less, 3 a greater
// (offsets unsigned). Different kinds: *notComparable 1 and *relation 0.
uint32_t TmiCompareAddresses(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* a,
                             const TargetAddressRecord* b, uint32_t* relation, uint32_t* notComparable);
// *text points at a static buffer (overwritten by the next call): "0x%08lx" of the
// offset for a memory offset, the register's name for a register number.
uint32_t TmiAddressToText(TargetStatus* status, uint32_t viewpoint, const char** text,
                          const TargetAddressRecord* record);
// *flag = 1 when the record is not null and its offset is 0.
uint32_t TmiIsZeroAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                          uint32_t* flag);
// *offset = the offset word; the class must be 20 or 27.
uint32_t TmiAddressOffset(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                          uint32_t* offset);
// Space kind 1, the record with offset 0xFFFFFFFF and with offset 0.
uint32_t TmiAddressSpace(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                         TargetAddressSpace* space);
// *flag = 1 when the record is not null and of class 27.
uint32_t TmiIsRegisterAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                              uint32_t* flag);

}  // namespace zentor
