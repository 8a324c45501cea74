#include "core/busy_pump.h"

#include "core/hi_service.h"

namespace zentor {

void PumpWhileBusy() { HiService(kGuiPumpWhileBusy); }

void GuiBeginWait() { HiService(kGuiBusyCursor); }

void GuiEndWait() { HiService(kGuiPopCursor); }

}  // namespace zentor
