#include "core/busy_pump.h"

#include "core/hi_service.h"

namespace zentor {

namespace {

bool g_pumpingEnabled = true;

}  // namespace

void PumpWhileBusy() {
  if (g_pumpingEnabled) HiService(kGuiPumpWhileBusy);
}

void SetPumpingEnabled(uint32_t flag) { g_pumpingEnabled = flag != 0; }

bool IsPumpingEnabled() { return g_pumpingEnabled; }

void BeginBusyCursor() { HiService(kGuiBusyCursor); }

void EndBusyCursor() { HiService(kGuiPopCursor); }

}  // namespace zentor
