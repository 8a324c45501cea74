#pragma once
// The current symbol of the lookup entry as a value on the interpreter's value
// stack: an inactive-symbol marker when its frame is not active, a typed location
// for scalars, a pointer location for pointers, procedures, labels, modules and
// lines, and for aggregates a symbol value item that carries the symbol's whole
// description. In location mode everything is a plain typed location. Reached from
// the code of compiled name paths, from symbol objects and from the frame printer.

#include <cstdint>

#include "symbols/symbol_descriptor.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "core/value_stack.h"

namespace zentor {

// Pushes the value of the current procedure or symbol (the current record decides
// when no symbol is current yet). 303 for a current record that is neither; 332 for
// a type that has no value form; `flag` goes with an aggregate's item.
void DecodeSymbolRecordLocation(DVErrorCode& status, uint32_t flag);
// Pushes the value of the current symbol for an address.
void PushSymbolValue(DVErrorCode& status, const AddressDescriptor& location, uint32_t flag);
// The same at the current symbol's resolved address.
void PushCurrentSymbolValue(DVErrorCode& status, uint32_t flag);

// A code or module range as an offset-type location: spanning `length` bytes, or
// one element in location mode.
void PushCodeSpan(const AddressDescriptor& start, const OrdinalValue& length);

// The value-stack item of a described symbol, and the description it carries.
SymbolValueItem MakeSymbolValueItem(const TypedLocation& location, const SymbolDescriptor& description,
                                    uint32_t flag);
SymbolDescriptor DescriptionOf(const SymbolValueItem& item);

}  // namespace zentor
