#include "engine/watch_table.h"

#include "core/dv_error.h"

namespace zentor {
namespace {

struct WatchSlot {
  bool inUse = false;
  GrammarObject* object = nullptr;
};

WatchSlot g_watchSlots[kWatchSlotCount];

}  // namespace

void InitWatchTable() {
  for (WatchSlot& slot : g_watchSlots) slot = WatchSlot();
}

bool IsWatchSlotFree(uint32_t slot) {
  if (slot >= kWatchSlotCount) ZENTOR_INTERNAL_ERROR();
  return !g_watchSlots[slot].inUse;
}

uint32_t FreeWatchSlotCount() {
  uint32_t count = 0;
  for (const WatchSlot& slot : g_watchSlots) count += slot.inUse ? 0 : 1;
  return count;
}

}  // namespace zentor
