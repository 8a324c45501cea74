#include "symbols/symbol_handle.h"

namespace zentor {

SymbolHandle SymbolHandle::AtAddressInline(SymbolContext* /*context*/, const AddressDescriptor& /*address*/,
                                           int /*lookupMode*/) {
  // No symbol objects exist yet: every address is unnamed.
  return SymbolHandle();
}

}  // namespace zentor
