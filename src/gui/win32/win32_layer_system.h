#pragma once
// The Win32 windowing system under the window layer, and the one call that puts the
// layer in place for a Windows program. Window procedures hand the layer what Windows
// gives them through NativeOf; nothing else above the layer ever holds a handle.

#include <windows.h>

#include "gui/gui_window_layer.h"

namespace zentor {

inline NativeWindow NativeOf(HWND window) { return reinterpret_cast<NativeWindow>(window); }
inline HWND HwndOf(NativeWindow window) { return reinterpret_cast<HWND>(window); }

// Makes the program's one window layer over the Win32 system (instance: the program's
// module, whose resources hold "HelpCursor"), installs it as the GUI's layer and
// behind the core's window-layer port, and answers it. Later calls answer the same
// layer.
GuiWindowLayer& InstallWin32WindowLayer(HINSTANCE instance);

}  // namespace zentor
