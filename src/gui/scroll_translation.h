#pragma once
// The scroll codes of the windows' scroll events, made from a scroll bar's message:
// the Win32 code (SB_LINEUP .. SB_ENDSCROLL) and the bar's range and thumb as the
// window layer reads them in 32 bits. The message itself carries only 16 bits of the
// thumb and nothing for the bar's ends, so a released or dragged thumb takes the
// bar's 32-bit thumb and SB_TOP and SB_BOTTOM the range's ends: a document of more
// than 65,535 lines reaches every line, and the bottom of the bar reaches its end.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// The event's code and position; false for a code that makes no event.
bool TranslateScrollCode(uint32_t win32Code, const LayerScrollInfo& bar, int32_t* code, int32_t* position);

}  // namespace zentor
