#include "symbols/symbol_services.h"

#include "symbols/symbol_context.h"
#include "symbols/symbol_handle.h"

#include "core/address_descriptor.h"
#include "core/address_symbol_lookup.h"
#include "support/rw_ordered.h"

namespace zentor {
namespace {

bool IsNumberName(const RWCString& name) {
  return name.length() >= 2 && name.data()[0] == '0' && name.data()[1] == 'x';
}

class SymbolTableLookup final : public AddressSymbolLookup {
 public:
  // The qualified name of the symbol at the address, else its full name, else the
  // plain text: a name that is only a "0x..." number does not count.
  RWCString SymbolicText(const AddressDescriptor& address) override {
    const SymbolHandle symbol = SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), address, kLevelSymbol);
    if (!symbol.IsValid()) return address.Text();
    RWCString name = symbol.QualifiedName();
    if (!IsNumberName(name)) return name;
    name = symbol.FullName();
    if (!IsNumberName(name)) return name;
    return address.Text();
  }

  std::vector<AddressDescriptor> SameLineAddresses(const AddressDescriptor& address) override {
    SymbolContext* context = GetCurrentSymbolContext();
    if (context == nullptr) return {};
    const RWOrdered* kept = context->CollectLineAddresses(address.Line());
    if (kept == nullptr) return {};
    std::vector<AddressDescriptor> addresses;
    for (uint32_t i = 0; i < kept->entries(); ++i) {
      if (const auto* line = dynamic_cast<const AddressDescriptor*>(kept->at(i))) addresses.push_back(*line);
    }
    return addresses;
  }
};

}  // namespace

void InstallSymbolServices() {
  static SymbolTableLookup lookup;
  InstallAddressSymbolLookup(&lookup);
}

}  // namespace zentor
