#pragma once
// The windowed program around its frame window, the same for the Windows program's
// entry and for the native tests that run its start-up over the recording layer: the
// frame registered with the window layer (the target's name as its word) and kept as
// the frame, its accelerators and controls, the GUI's window ports and services, and
// the program's GUI shell behind the service entry with console mode off.

#include "gui/layer_types.h"

namespace zentor {

// Run once the window layer, the message queue and the shell system are installed and
// the frame window exists, before the command loop starts.
void SetUpFrameWindow(NativeWindow frame);

}  // namespace zentor
