#pragma once
// The translation of a window message into the program's own WindowEvent, which both
// window procedures call first: keys become internal key codes (F1..F10, the cursor
// keys, Shift+Tab 315, Alt+A 1089), mouse and scroll messages carry their position and
// code in 32 bits, focus and activation follow the layer's active window, and a few
// keys act at once (F4 zooms, F6 and Ctrl+F6 move to the next window, Ctrl+F4 closes
// the active one, but never the frame's client area, where the Command window lives).
// The frame's layer id stands for its client area wherever the focus is concerned.

#include <cstdint>

#include "gui/layer_messages.h"
#include "gui/window_event.h"

namespace zentor {

// The command of the child windows' system-menu item "Nex&t Window\tCtrl+F6".
inline constexpr uintptr_t kNextWindowSystemCommand = 555;

// Results of TranslateLayerMessage.
inline constexpr int32_t kTranslateNotHandled = -1;  // DefWindowProc only
inline constexpr int32_t kTranslateDispatch = 1;     // dispatch; DefWindowProc only when no object takes it
inline constexpr int32_t kTranslateDispatchAndDefault = 2;  // dispatch, then DefWindowProc as well

// Fills `event` (type -1: none) from the message; the result says what the window
// procedure does next. While context-help mode is on every message is left to the
// procedure (-1).
int32_t TranslateLayerMessage(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2, WindowEvent* event);

}  // namespace zentor
