#pragma once
// What the frame needs of the windowing system beyond the window layer's calls: its
// own windows made from the program's window classes (the status strip, the client
// area, the debugger's windows of each kind), the class cursor of the buttons, the
// system menu of a child window and the help engine's file. The Win32 shell holds the
// classes and the instance; the native tests record the calls.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// How a window is made.
enum class ShellWindowStyle : uint8_t {
  WhiteStrip,    // a "static" white rectangle child (the button bar's strip)
  ClientArea,    // a bordered child with both scroll bars (the frame's client area)
  StatusChild,   // a plain visible child (the General window)
  TopLevel,      // caption, system menu, sizing frame, minimise and maximise boxes, no parent
};

class ShellSystem {
 public:
  virtual ~ShellSystem() = default;
  // A window of one of the program's classes ("static" for the strip); 0 when the
  // system refuses it. Hidden top-level windows are shown by the caller.
  virtual NativeWindow CreateShellWindow(const char* className, const char* title, ShellWindowStyle style,
                                         NativeWindow parent, int32_t x, int32_t y, int32_t width, int32_t height,
                                         int32_t controlId) = 0;
  // No class cursor on the window's class: the program's cursor stack decides.
  virtual void ClearClassCursor(NativeWindow window) = 0;
  // A debugger window's system menu: the items at positions 8 and 7 go, position 6
  // becomes "&Close\tCtrl+F4" (SC_CLOSE), a separator and "Nex&t Window\tCtrl+F6"
  // (command 555) follow.
  virtual void AdjustChildSystemMenu(NativeWindow window) = 0;
  // The program's window classes go at the end of the GUI.
  virtual void UnregisterWindowClasses() = 0;
  // What the system does with a message a procedure leaves to it (DefWindowProc).
  virtual intptr_t DefaultProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) = 0;
  // The F1 hook of dialogs and menus goes with the frame.
  virtual void RemoveHelpHook() = 0;
  // A key down posted to the window, behind what already waits (the highlighted item
  // of an open popup menu is chosen by Enter).
  virtual void PostKeyDown(NativeWindow window, uint32_t virtualKey) = 0;
};

// Installs the program's shell system (the caller keeps it alive); null: none.
ShellSystem* InstallShellSystem(ShellSystem* system);
ShellSystem* InstalledShellSystem();

}  // namespace zentor
