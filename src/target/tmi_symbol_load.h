#pragma once
// What the target interface offers the symbol-file loaders: the address form the
// loaders build (a loader address) and its conversion into the target's address
// record, and the flag that says the symbols of the server's modules are being
// loaded into one program, so that a further module's load adds to that program
// instead of beginning a new one.

#include <cstdint>

#include "core/target_status.h"
#include "symbols/symbol_load_target.h"

namespace zentor {

// Converts a loader address into a target address record: a register address (class
// 27) for kind 0, a memory address (class 20) for kind 1, each with the segment word
// of the loader address. No loader address (null), and a memory address with segment
// word 0 at offset 0xFFFFFFFF, give the null record (class 20). Any other kind is an
// internal error (thrown). Returns the status number, 0.
uint32_t TmiAddressFromLoader(TargetStatus* status, const LoaderAddress* address, TargetAddressRecord* out);

// The tail of a record as a loader address; a null record gives {memory, 0, 0,
// 0xFFFFFFFF}.
void TmiAddressToLoader(const TargetAddressRecord* record, LoaderAddress* address);

// Set by the target interface while it loads the symbols of the server's modules one
// after another into one program; cleared when that program is replaced.
uint32_t TmiServerSymbolsLoaded();
void TmiSetServerSymbolsLoaded(uint32_t flag);

}  // namespace zentor
