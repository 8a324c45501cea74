#pragma once
// What the value model asks the symbol tables about an address: the name of the
// symbol there and the addresses that carry the same source line. The symbol tables
// sit above the core and install their lookup at start-up (InstallSymbolServices);
// before that an address has no name but its text and no line shares it.

#include <vector>

#include "support/rw_cstring.h"

namespace zentor {

class AddressDescriptor;

class AddressSymbolLookup {
 public:
  virtual ~AddressSymbolLookup();
  // The address as a symbol name (AddressDescriptor::SymbolicText).
  virtual RWCString SymbolicText(const AddressDescriptor& address);
  // The addresses of the current module's line records that carry the address's
  // line, which is present (AddressDescriptor::SameLineAddresses).
  virtual std::vector<AddressDescriptor> SameLineAddresses(const AddressDescriptor& address);
};

// Installs the symbol tables' lookup (the caller keeps it alive); null puts the base
// behaviour back. Returns the one installed before (null for the base).
AddressSymbolLookup* InstallAddressSymbolLookup(AddressSymbolLookup* lookup);
AddressSymbolLookup& InstalledAddressSymbolLookup();

}  // namespace zentor
