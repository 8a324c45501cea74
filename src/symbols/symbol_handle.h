#pragma once
// The handle through which the engine, the views and the value model ask about the
// symbol at an address. Symbol objects and their queries arrive with the symbol
// lookup; until then a handle made at an address names no symbol, so its callers
// take their plain forms (an address shows as its hexadecimal text).

#include "core/address_descriptor.h"
#include "support/rw_cstring.h"

namespace zentor {

class SymbolContext;

class SymbolHandle {
 public:
  // The symbol at `address` in `context` found with `lookupMode` (3: the address
  // itself or the nearest symbol inline).
  static SymbolHandle AtAddressInline(SymbolContext* context, const AddressDescriptor& address, int lookupMode);

  // True when the handle holds a symbol object whose status is okay.
  bool IsValid() const { return m_valid; }
  // The symbol's name with its module and qualifiers.
  RWCString QualifiedName() const { return m_qualifiedName; }
  RWCString FullName() const { return m_fullName; }

 private:
  bool m_valid = false;
  RWCString m_qualifiedName;
  RWCString m_fullName;
};

}  // namespace zentor
