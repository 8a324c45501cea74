#pragma once
// The Windows side of the frame: the program's window classes, the windows made from
// them, the frame's and the child windows' procedures and the F1 hook of dialogs and
// menus. Each procedure turns its message into a window event (message_translation.h)
// and hands it on; nothing raised inside a procedure leaves it (window_table.h).

#include <windows.h>

#include "gui/shell_system.h"

namespace zentor {

inline constexpr char kFrameClassName[] = "VRK_MAIN";

// Registers the frame class and the eleven child classes in order: -1 at the first
// failure (the ones before stay registered), else 0.
int32_t RegisterWindowClasses(HINSTANCE instance);
// Unregisters them, deleting the frame class's background brush.
void UnregisterWindowClasses(HINSTANCE instance);

// Installs the Win32 shell system of the program's instance and answers it.
ShellSystem& InstallWin32ShellSystem(HINSTANCE instance);

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2);
LRESULT CALLBACK ChildWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2);
// The WH_MSGFILTER hook: F1 in a dialog posts the registered help message to the
// dialog (and is eaten), F1 in an open menu posts it to the frame.
LRESULT CALLBACK HelpMsgFilterHook(int code, WPARAM p1, LPARAM p2);
// Registers the help message and installs the hook for the frame's thread; the
// frame's destruction removes it.
void InstallHelpHook(HWND frame);

}  // namespace zentor
