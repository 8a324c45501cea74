#pragma once
// The debugger's windows by kind: the Win32 window of a kind is made here (the General
// window as the frame's status strip, the Command window on the frame's client area,
// every other kind as a top-level window of its own, placed where its kind's
// placement says) and handed to the window factory, which builds its window object.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

class WinSuper;

inline constexpr uint32_t kMsgCannotCreateWindow = 1011;  // "Error creating window"

// Show states of CreateChildWindow.
inline constexpr int32_t kShowNormal = 0;
inline constexpr int32_t kShowMinimized = 1;
inline constexpr int32_t kShowMaximized = 2;
inline constexpr int32_t kShowHidden = 3;

struct WindowKindInfo {
  int32_t kind;
  const char* className;
  const char* title;
};
// The class and title of a kind's windows; null for a kind that has none.
const WindowKindInfo* GetWindowKindInfo(int32_t kind);

// Makes the window of the kind for the viewpoint (0: the current one) at the given
// rectangle (null: the kind's default placement) in the show state, and its window
// object. Null for a kind without windows, without a viewpoint (a beep), for a hidden
// debugger window (nothing is made) and when the window cannot be made (message 1011
// in a box over the frame).
WinSuper* CreateChildWindow(int32_t frameId, int32_t kind, int32_t showState = kShowNormal,
                            const LayerRect* rect = nullptr, uint32_t viewpointValue = 0);

// The View menu's "show": the current viewpoint's window of the kind is activated, or
// made when there is none.
void ShowWindowOfKind(int32_t frameId, int32_t kind);

}  // namespace zentor
