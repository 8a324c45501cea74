#include "gui/general_status.h"

#include "core/program_load.h"
#include "core/status_line.h"
#include "symbols/symbol_context.h"

namespace zentor {

// The caption goes into the status line without marking a change record, so the
// General window's own change bits stay as they were.
int32_t RefreshGeneralStatus(uint32_t mask) {
  if ((mask & kStatusPaneLine) != 0 && !StatusLineTransient() && EngineProgramLoaded()) {
    GetCurrentSymbolContext()->RefreshBrowseCaption();
  }
  return 0;
}

}  // namespace zentor
