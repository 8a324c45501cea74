#pragma once
// Where the frame and the debugger's windows go: the frame's bounds when no layout is
// saved, and one placement per window kind (a screen rectangle) that a new window of
// the kind takes. New windows of a kind cascade instead of covering each other; the
// placements follow the user's moves and sizes, and the layout restore sets them.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// A placement whose left is this leaves the position to the system; its right then
// holds the width.
inline constexpr int32_t kPlaceByDefault = static_cast<int32_t>(0x80000000u);

// How far each new window of a kind moves from one it would cover.
inline constexpr int32_t kCascadeDown = 39;
inline constexpr int32_t kCascadeRight = 24;

// The frame's bounds (top, left, height, width) without a saved layout: a small frame
// in the corner of a screen of 480 pixels or less.
LayerRect DefaultFrameBounds(int32_t screenHeight);

// The placements at start-up, from the frame's screen rectangle: the status strip at
// its bottom, the Source window below it as wide as the frame, the others left to the
// system (the Registers window 544 by 312, the rest 480 by 312), the Command window the
// frame until the frame's first size event gives it the client area. The custom
// buttons' slots start empty with them.
void InitDefaultPlacements(const LayerRect& frameWindow);
LayerRect GetKindPlacement(int32_t kind);
void SetKindPlacement(int32_t kind, const LayerRect& placement);
// Keeps the window's screen rectangle as its kind's placement (the debugger's own
// top-level windows only).
void RecordWindowPlacement(int32_t id, int32_t kind);
// The placement for a new window of the kind: moved down and right past every open
// window of the kind that sits exactly on it, and kept so.
LayerRect GetDefaultPlacement(int32_t kind);

// The Command window's geometry: the rectangle (when given) and the mode its next
// window is made with. The frame's View > Command stores none with mode 0; a restored
// layout stores the saved window's rectangle with its show state, and a window made
// hidden (mode kCommandPlacementUnlisted) is kept off the Window menu.
inline constexpr int32_t kCommandPlacementUnlisted = 3;
void SetCommandWindowGeometry(int32_t windowId, const LayerRect* area, int32_t mode);
int32_t CommandWindowPlacementMode();
const LayerRect& CommandWindowPlacement();

}  // namespace zentor
