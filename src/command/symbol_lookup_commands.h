#pragma once
// The symbol-lookup slots of the action table. Their routines belong to the symbol
// lookups (symbols/symbol_lookup.h); the table is the command language's, one layer
// up, so the binding sits here.

#include <cstdint>

namespace zentor {

inline constexpr uint16_t kSlotEndSymbolLookup = 4;
inline constexpr uint16_t kSlotBeginSymbolLookup = 7;
inline constexpr uint16_t kSlotSetStickyLookupFlag = 116;
inline constexpr uint16_t kSlotClearStickyLookupFlag = 147;
inline constexpr uint16_t kSlotSetModuleNoOp = 165;

// Binds the slots (start-up).
void BindSymbolLookupActions();

}  // namespace zentor
