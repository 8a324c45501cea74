#pragma once
// The frame's commands: its menu items, accelerators and buttons by command id. The
// View menu shows a window of each kind (activating the viewpoint's own when it has
// one), the Go menu and the buttons run the Source window's commands, the Viewpoint
// Group items act on the current viewpoint's windows, Save on Exit, Break on all NLM
// loads and Clear Saved Values act on the saved settings, "E&xit" asks the debugger
// to exit and the Help menu asks the help engine. The commands that open dialogs run
// the launchers the windows installed (frame_dialog_launchers.h), the Window menu's go
// to its list, and any other command to the handler registered for it in the layer's
// menu handler table (the Colors, invocation and Custom Buttons dialogs, the custom
// buttons themselves). Two are taken and do nothing of their own: 1390, and 1475,
// whose request to the engine's kind 14 the dispatcher ignores.

#include <cstdint>

namespace zentor {

// Commands the frame names.
inline constexpr uint32_t kCommandExit = 1050;
inline constexpr uint32_t kCommandBrowseHome = 1210;
inline constexpr uint32_t kCommandViewpointDialog = 1195;
inline constexpr uint32_t kCommandAbout = 1680;
inline constexpr uint32_t kCommandHelpContents = 1650;
inline constexpr uint32_t kCommandHelpSearch = 1655;
inline constexpr uint32_t kCommandHelpLastError = 1660;
inline constexpr uint32_t kCommandHelpUsing = 1670;
// A command of the test build: it raises an error inside the window procedure, which
// must be reported there and leave the program running.
inline constexpr uint32_t kCommandTestError = 1998;

// Carries out the command; false when the frame does not handle it (the window
// procedure then leaves it to the system). A notification other than 0 for an
// unknown command is handled by doing nothing.
bool HandleFrameCommand(int32_t frameId, uint32_t command, uint32_t notification);

// The View menu's "Memory..." with no Memory window for the current viewpoint opens
// the Memory Display dialog, which lives above the frame: start-up installs its
// opener (called with owner 0, the frame). Without one the window opens at once.
using MemoryDisplayOpener = void (*)(int32_t ownerId);
void SetMemoryDisplayOpener(MemoryDisplayOpener opener);

// Whether the test build's commands are taken (off unless the program is started
// for the GUI tests).
void EnableFrameTestCommands(bool on);

}  // namespace zentor
