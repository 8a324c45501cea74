#pragma once
// The dialog runner of the Windows program: a body's dialog made from its resource
// template by name (DialogBoxParam for a modal one, CreateDialogParam for a modeless
// one) with one dialog procedure for every body, which finds the body through the
// window's user data and turns the messages into the body's procedure calls. No
// exception ever unwinds through Windows: the body keeps what a handler raised,
// RunModalDialog raises it again once DialogBoxParam has returned, and a modeless
// dialog hands it to the window procedures' error handling.

#include <windows.h>

#include "gui/dialog_body.h"

namespace zentor {

// The window a dialog opened over the layer window `ownerId` belongs to (kNoLayerId:
// the frame); null when there is none.
HWND DialogOwner(int32_t ownerId);

// Installs the runner over the templates of the program's module (instance) and
// answers it; later calls answer the same runner.
DialogRunner& InstallWin32DialogRunner(HINSTANCE instance);

}  // namespace zentor
