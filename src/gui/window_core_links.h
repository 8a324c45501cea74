#pragma once
// What the window framework takes from the viewpoint manager, the status line and the
// colour model, named once here so the windows do not depend on where each lives: the
// pending viewpoint selection a window's focus makes, a viewpoint's status text, the
// general status refresh and the colours of a screen element.

#include <cstdint>
#include <string>

#include "core/viewpoint_handle.h"

namespace zentor {

// Screen elements of the colour settings the framework draws with.
inline constexpr uint32_t kColorClientArea = 4;
inline constexpr uint32_t kColorStatusLine = 8;
// The two colour words of an element (ColorSettings::GetColor's selector).
inline constexpr uint32_t kColorBackground = 0;
inline constexpr uint32_t kColorText = 1;

// The viewpoint to make current at the next command read.
void SetPendingViewpoint(ViewpointHandle viewpoint);
// The viewpoint's own status-line text; empty for a viewpoint the manager does not know.
std::string ViewpointStatusText(ViewpointHandle viewpoint);
// Re-sends the status line's persistent parts (mask 2: the browse caption).
void RefreshGeneralStatusLine(uint32_t mask);
// The colour word of an element for the viewpoint (the colour model's working table).
uint32_t WindowColor(ViewpointHandle viewpoint, uint32_t element, uint32_t part);

}  // namespace zentor
