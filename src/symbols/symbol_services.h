#pragma once
// Installs the symbol tables behind the services the core calls: an address's symbol
// name and the addresses of its source line (core/address_symbol_lookup.h). Start-up
// calls it; tests of the layers below call it in their set-up.

namespace zentor {

void InstallSymbolServices();

}  // namespace zentor
