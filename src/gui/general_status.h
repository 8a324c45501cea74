#pragma once
// The General window's refresh of its status part: the browse caption is brought up
// to date in the status line unless a transient text stands there.

#include <cstdint>

namespace zentor {

// With the status-line bit (kStatusPaneLine) in the mask and no transient text
// showing, the current location's caption is sent again. Answers 0.
int32_t RefreshGeneralStatus(uint32_t mask);

}  // namespace zentor
