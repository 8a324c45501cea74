#pragma once
// What the target interface offers the symbol-file loaders: the address form the
// loaders build (a loader address) and its conversion into the target's address
// record, and the flag that says the symbols of the server's modules are being
// loaded into one program, so that a further module's load adds to that program
// instead of beginning a new one.

#include <cstdint>

#include "core/target_status.h"

namespace zentor {

// Kinds of a loader address.
inline constexpr uint16_t kLoaderAddressRegister = 0;
inline constexpr uint16_t kLoaderAddressMemory = 1;

// An address as a loader builds it: a register (offset = the register's x86 number)
// or an offset in the module's flat memory. The segment and the high word are kept
// for the record's sake; on this target they are 0.
struct LoaderAddress {
  uint16_t m_kind = kLoaderAddressMemory;
  uint16_t m_segment = 0;
  uint32_t m_high = 0;
  uint32_t m_offset = 0;

  static LoaderAddress Memory(uint32_t offset) { return LoaderAddress{kLoaderAddressMemory, 0, 0, offset}; }
  static LoaderAddress Register(uint32_t number) { return LoaderAddress{kLoaderAddressRegister, 0, 0, number}; }
};

// Converts a loader address into a target address record: a register address (class
// 27) for kind 0, a memory address (class 20) for kind 1. Any other kind, and a memory
// address with a nonzero high word (beyond the target's 32-bit space), sets status
// 2003 with severity INTERNAL ERROR and leaves the record alone. Returns the number.
uint32_t TmiAddressFromLoader(TargetStatus* status, const LoaderAddress* address, TargetAddressRecord* out);

// Set by the target interface while it loads the symbols of the server's modules one
// after another into one program; cleared when that program is replaced.
uint32_t TmiServerSymbolsLoaded();
void TmiSetServerSymbolsLoaded(uint32_t flag);

}  // namespace zentor
