#include "gui/window_core_links.h"

namespace zentor {

// The viewpoint manager does not yet keep a pending selection or per-viewpoint status
// texts, nor the status line a general refresh, nor the colour model its tables: the
// framework gets their least behaviour (nothing pending, no status text, the classic
// black-on-white colours) until they do.
void SetPendingViewpoint(ViewpointHandle) {}

std::string ViewpointStatusText(ViewpointHandle) { return {}; }

void RefreshGeneralStatusLine(uint32_t) {}

uint32_t WindowColor(ViewpointHandle, uint32_t, uint32_t part) {
  return part == kColorBackground ? 0xFFFFFFu : 0x000000u;
}

}  // namespace zentor
