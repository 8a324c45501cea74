#pragma once
// The dialogs the frame's menu commands open. The dialogs belong to the windows above
// this folder, so each installs its launcher here at start-up; the frame's command
// handling asks this table before its own commands.

#include <cstdint>

namespace zentor {

// Opens a dialog over the frame (its layer id).
using FrameDialogLauncher = void (*)(int32_t frameId);

// The launcher of the command from now on (null: none).
void SetFrameDialogLauncher(uint32_t command, FrameDialogLauncher launcher);
// Runs the command's launcher; false when it has none.
bool RunFrameDialogLauncher(int32_t frameId, uint32_t command);

}  // namespace zentor
