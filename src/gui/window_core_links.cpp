#include "gui/window_core_links.h"

#include "gui/color_settings.h"

namespace zentor {

// The viewpoint manager does not yet keep a pending selection or per-viewpoint status
// texts, nor the status line a general refresh: the framework gets their least
// behaviour (nothing pending, no status text) until they do.
void SetPendingViewpoint(ViewpointHandle) {}

std::string ViewpointStatusText(ViewpointHandle) { return {}; }

void RefreshGeneralStatusLine(uint32_t) {}

uint32_t WindowColor(ViewpointHandle viewpoint, uint32_t element, uint32_t part) {
  return ColorSettings::GetColor(viewpoint, element, part);
}

}  // namespace zentor
