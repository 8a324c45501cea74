#pragma once
// What the symbol-file loaders ask of the target interface: the address form the
// loaders build (a loader address) and its conversion into the target's address
// record, whether the symbols of the server's modules are being loaded into one
// program (so that a further module's load adds to that program instead of beginning
// a new one), and how much the target's "view symbols" option wants reported. The
// target sits above the symbols and installs its implementation at start-up
// (InstallTargetServices); before that no loader address converts (2003, INTERNAL
// ERROR), no server load is under way, nothing extra is reported and the unicode
// option is off.

#include "core/target_status.h"

#include <cstdint>

namespace zentor {

// Kinds of a loader address.
inline constexpr uint16_t kLoaderAddressRegister = 0;
inline constexpr uint16_t kLoaderAddressMemory = 1;

// An address as a loader builds it: a register (offset = the register's x86 number)
// or an offset in the module's flat memory. The segment word travels with the address
// into the target's record (the program counter carries cs in it); the loaders leave
// it 0. A memory address with segment word 0 and offset 0xFFFFFFFF is no address.
struct LoaderAddress {
  uint16_t m_kind = kLoaderAddressMemory;
  uint16_t m_reserved = 0;
  uint32_t m_segment = 0;
  uint32_t m_offset = 0;

  static LoaderAddress Memory(uint32_t offset) { return LoaderAddress{kLoaderAddressMemory, 0, 0, offset}; }
  static LoaderAddress Register(uint32_t number) { return LoaderAddress{kLoaderAddressRegister, 0, 0, number}; }
};

class SymbolLoadTarget {
 public:
  virtual ~SymbolLoadTarget();
  // Fills the record from the loader address; returns the status number.
  virtual uint32_t AddressFromLoader(TargetStatus* status, const LoaderAddress* address, TargetAddressRecord* out);
  virtual uint32_t ServerSymbolsLoaded();
  // The "view symbols" option's level (0: report nothing beyond the usual).
  virtual uint32_t ViewSymbolsLevel();
  // Nonzero when the "unicode" option is set: 16-bit character strings are shown as
  // text.
  virtual uint32_t UnicodeOption();
};

// Installs the target's implementation (the caller keeps it alive); null puts the
// base behaviour back. Returns the one installed before (null for the base).
SymbolLoadTarget* InstallSymbolLoadTarget(SymbolLoadTarget* target);
SymbolLoadTarget& InstalledSymbolLoadTarget();

}  // namespace zentor
