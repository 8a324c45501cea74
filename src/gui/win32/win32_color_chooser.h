#pragma once
// The Colors dialog's chooser on Windows: the common colour dialog (ChooseColorA)
// with its hook, which places the chooser beside the Colors dialog, preselects the
// colour through the registered message "commdlg_SetRGBColor" and registers the
// chooser with the window layer while it is up (its help context).

#include <windows.h>

#include "gui/color_dialog.h"

namespace zentor {

// Where the chooser goes beside its owner (screen pixels): to the right of the owner
// when it fits on the screen, else to its left when it is narrower than the space
// there, else at the left screen edge when the left space is larger, else against the
// right screen edge. The answer is the chooser's left edge.
int32_t PlaceColorChooser(const RECT& owner, int32_t chooserWidth, int32_t screenWidth);

void InstallWin32ColorChooser();

}  // namespace zentor
