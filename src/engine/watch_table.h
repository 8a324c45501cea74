#pragma once
// The table of watches: 30 slots, each free or holding the grammar object of one
// watched expression. The engine's watch commands fill it; start-up only clears it.

#include <cstdint>

namespace zentor {

class GrammarObject;

inline constexpr uint32_t kWatchSlotCount = 30;

// Marks every slot free and forgets its object.
void InitWatchTable();
bool IsWatchSlotFree(uint32_t slot);
uint32_t FreeWatchSlotCount();

}  // namespace zentor
