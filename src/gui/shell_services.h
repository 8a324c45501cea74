#pragma once
// The windowed GUI's side of the service entry: what the command loop, the engine and
// the target ask of the frame (start-up and shut-down of the windows, the wait for a
// command, busy cursors, the user-break check, message pumping, a Source window after
// a stop), the wait round before the console input reads a key, and the frame's
// controls the target drives (cursors, menus, the run-control commands, its timers).
// The program's GUI shell answers its requests through these.

#include <cstdint>

namespace zentor {

// A HiService request of GUI mode (every code but 24): 0, or the answer of request 59.
int32_t HandleShellRequest(uint32_t code);
// One wait round before a key is read; a quit message ends the session here.
void ShellWaitForInputRound();
// The keyboard drain of the user-break check: 1 on Ctrl+C or Ctrl+Break.
int32_t ShellCheckUserBreak();
// Repaints the General window's status line when the mask asks for it.
void ShellRefreshStatusPane(uint32_t mask);

// Installs the frame's controls for the target, the message loop's activity hook and
// the handlers of the settings' notices, tells the busy pump which window is the
// Command window's client area, and routes the engine's notice 0x4b to the current
// viewpoint's window of its kind. Run once the frame and its controls exist.
void InstallShellServices();

}  // namespace zentor
