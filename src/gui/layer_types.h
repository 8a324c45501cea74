#pragma once
// The values that cross the window layer: layer ids, rectangles and points, the
// drawing attributes a layer window keeps, and the opaque tokens by which the layer's
// windowing system names its windows, menus and cursors. Only the windowing system
// (the Win32 one, or the recording one of the tests) knows what a token stands for;
// everything above the layer passes layer ids.

#include <cstdint>

namespace zentor {

// Layer ids 0..63 name the slots of the table; -1 names no window.
inline constexpr int32_t kLayerSlotCount = 64;
inline constexpr int32_t kNoLayerId = -1;

// Opaque tokens of the windowing system; 0 is "none".
using NativeWindow = uintptr_t;
using NativeMenu = uintptr_t;
using NativeCursor = uintptr_t;
// The handle answer of an id outside 0..63.
inline constexpr NativeWindow kBadNativeWindow = ~static_cast<NativeWindow>(0);

// An area as top, left, bottom, right; window bounds use the same slots as top,
// left, height, width.
struct LayerRect {
  int32_t top = 0;
  int32_t left = 0;
  int32_t bottom = 0;
  int32_t right = 0;
};

// A point, y first.
struct LayerPoint {
  int32_t y = 0;
  int32_t x = 0;
};

// Fill styles of SetFillStyle.
inline constexpr uint32_t kFillHollow = 0;
inline constexpr uint32_t kFillSolid = 1;
inline constexpr uint32_t kFillVerticalHatch = 2;
inline constexpr uint32_t kFillHorizontalHatch = 3;
inline constexpr uint32_t kFillFocusRect = 4;

// Colours are 0xRRGGBB at the layer's interface and 0x00BBGGRR (the windowing
// system's order) inside it.
struct LayerFill {
  uint32_t style = kFillHollow;
  uint32_t color = 0;
};

struct LayerLine {
  uint16_t width = 0;
  uint32_t style = 0;  // nonzero: rectangles get an outline
  uint32_t color = 0;
};

// What SaveAttributes and RestoreAttributes copy, and what every drawing call takes
// along to the windowing system (colours in the system's order there).
struct LayerAttributes {
  LayerLine pen;
  LayerFill fill;
  uint32_t drawMode = 0;  // 0..7, an index into the raster operations
  uint32_t textColor = 0;
  uint32_t backgroundColor = 0;
};

// Window types of the table.
inline constexpr uint32_t kLayerModalDialog = 0;
inline constexpr uint32_t kLayerModelessDialog = 1;
inline constexpr uint32_t kLayerChildWindow = 2;
inline constexpr uint32_t kLayerFrame = 4;
inline constexpr uint32_t kLayerPushButton = 6;
inline constexpr uint32_t kLayerEditBox = 7;
inline constexpr uint32_t kLayerCheckBox = 8;
inline constexpr uint32_t kLayerRadioButton = 9;
inline constexpr uint32_t kLayerListBox = 10;
inline constexpr uint32_t kLayerComboBox = 11;
inline constexpr uint32_t kLayerVerticalScrollBar = 12;
inline constexpr uint32_t kLayerHorizontalScrollBar = 13;
inline constexpr uint32_t kLayerStaticText = 14;
inline constexpr uint32_t kLayerWhiteRect = 15;

// One slot of the table.
struct LayerWindow {
  NativeWindow handle = 0;  // 0: the slot is free
  uint32_t type = 0;
  LayerAttributes attributes;
  uintptr_t userWord = 0;  // the caller's: a dialog's state, the frame's caption text
  LayerRect savedBounds;   // top, left, height, width
  NativeMenu popupMenu = 0;
  uint32_t popupTracking = 0;
};

// Display states of GetWindowState.
inline constexpr int32_t kWindowStateNormal = 0;
inline constexpr int32_t kWindowStateMinimized = 1;
inline constexpr int32_t kWindowStateMaximized = 2;
inline constexpr int32_t kWindowStateHidden = 3;

// Cursor kinds of the cursor stack.
inline constexpr uint32_t kCursorArrow = 0;
inline constexpr uint32_t kCursorIBeam = 1;
inline constexpr uint32_t kCursorWait = 2;
inline constexpr uint32_t kCursorCross = 3;
inline constexpr uint32_t kCursorHelp = 4;

// A scroll bar's range, position and the thumb's position while it is dragged, all in
// 32 bits (a scroll message carries only 16 of them).
struct LayerScrollInfo {
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t position = 0;
  int32_t trackPosition = 0;
};

// Scroll bars of the scroll operations.
inline constexpr uint32_t kScrollBarHorizontal = 0;
inline constexpr uint32_t kScrollBarVertical = 1;

}  // namespace zentor
