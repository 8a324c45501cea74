#include "core/address_symbol_lookup.h"

#include "core/address_descriptor.h"

namespace zentor {
namespace {

AddressSymbolLookup g_baseLookup;
AddressSymbolLookup* g_installedLookup = nullptr;

}  // namespace

AddressSymbolLookup::~AddressSymbolLookup() = default;

RWCString AddressSymbolLookup::SymbolicText(const AddressDescriptor& address) { return address.Text(); }

std::vector<AddressDescriptor> AddressSymbolLookup::SameLineAddresses(const AddressDescriptor&) { return {}; }

AddressSymbolLookup* InstallAddressSymbolLookup(AddressSymbolLookup* lookup) {
  AddressSymbolLookup* before = g_installedLookup;
  g_installedLookup = lookup;
  return before;
}

AddressSymbolLookup& InstalledAddressSymbolLookup() {
  return g_installedLookup != nullptr ? *g_installedLookup : g_baseLookup;
}

}  // namespace zentor
