#include "core/address_symbol_lookup.h"

#include "core/address_descriptor.h"
#include "core/installed_service.h"

namespace zentor {
namespace {

InstalledService<AddressSymbolLookup> g_lookup;

}  // namespace

AddressSymbolLookup::~AddressSymbolLookup() = default;

RWCString AddressSymbolLookup::SymbolicText(const AddressDescriptor& address) { return address.Text(); }

std::vector<AddressDescriptor> AddressSymbolLookup::SameLineAddresses(const AddressDescriptor&) { return {}; }

AddressSymbolLookup* InstallAddressSymbolLookup(AddressSymbolLookup* lookup) { return g_lookup.Install(lookup); }

AddressSymbolLookup& InstalledAddressSymbolLookup() { return g_lookup.Get(); }

}  // namespace zentor
