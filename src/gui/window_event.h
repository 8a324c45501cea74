#pragma once
// The program's own record of a window message: the message loop makes one of each
// Win32 message a window procedure receives and the window router (window_table.h)
// hands it to the window object. Its words after the type depend on the type (the
// accessors below name them); the layer window id is set only for focus and command
// events.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

enum WindowEventType : int32_t {
  kEventNone = -1,
  kEventMouseDown = 0,
  kEventMouseUp = 1,
  kEventMouseMove = 2,
  kEventDoubleClick = 3,
  kEventKey = 4,
  kEventPaint = 5,
  kEventFocus = 6,
  kEventDestroyed = 7,
  kEventHScroll = 8,
  kEventVScroll = 9,
  kEventClose = 11,
  kEventSize = 12,
  kEventFontChanged = 13,
  kEventQuit = 14,
  kEventCommand = 16,
};

// Scroll codes of the scroll events.
inline constexpr int32_t kScrollLineUp = 0;
inline constexpr int32_t kScrollLineDown = 1;
inline constexpr int32_t kScrollPageUp = 2;
inline constexpr int32_t kScrollPageDown = 3;
inline constexpr int32_t kScrollThumbTrack = 4;
inline constexpr int32_t kScrollThumbPosition = 5;

// Size kinds of the size event.
inline constexpr int32_t kSizeMinimized = 0;
inline constexpr int32_t kSizeMaximized = 1;
inline constexpr int32_t kSizeOther = 2;

struct WindowEvent {
  int32_t type = kEventNone;
  int32_t windowId = kNoLayerId;
  // Mouse: y, x, Shift, Ctrl, button (0 left, 1 middle, 2 right). Key: code, Shift,
  // Ctrl. Focus: gained (1) or lost (0). Scroll: code, thumb position. Size: height,
  // width, size kind. Command: command id. Paint: the update rectangle as top, left,
  // bottom, right (filled by the router's begin-paint).
  int32_t words[5] = {};

  int32_t KeyCode() const { return words[0]; }
  int32_t FocusGained() const { return words[0]; }
  int32_t ScrollCode() const { return words[0]; }
  int32_t ScrollPosition() const { return words[1]; }
  int32_t Height() const { return words[0]; }
  int32_t Width() const { return words[1]; }
  int32_t SizeKind() const { return words[2]; }
  int32_t CommandId() const { return words[0]; }
  LayerRect PaintArea() const { return LayerRect{words[0], words[1], words[2], words[3]}; }
  void SetPaintArea(const LayerRect& area) {
    words[0] = area.top;
    words[1] = area.left;
    words[2] = area.bottom;
    words[3] = area.right;
  }
};

}  // namespace zentor
