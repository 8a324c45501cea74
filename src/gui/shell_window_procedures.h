#pragma once
// The window procedures of the frame and of the debugger's windows, written over the
// window layer so that they run the same in both trees: the Win32 procedures of the
// program's classes call these with each message, and the native tests hand them the
// messages Windows would send. Menu commands, accelerators, buttons, keys and clicks
// reach the program through here and nowhere else. Nothing raised while a message is
// handled leaves the procedure (window_table.h).

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// The frame (class "VRK_MAIN"): its menu, accelerator and button commands, its keys
// (its client area's), help mode, closing and the system's notices.
intptr_t FrameWindowProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2);
// Every other window of the program's classes: the message becomes a window event for
// the window object, with help mode and the frame's menus reached by Alt+letter.
intptr_t ChildWindowProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2);

// The answer of WM_MOUSEACTIVATE that activates the window.
inline constexpr intptr_t kMouseActivateAndKeep = 1;

}  // namespace zentor
