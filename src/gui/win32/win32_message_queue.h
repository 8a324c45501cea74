#pragma once
// The Win32 message queue under the message loop: the thread's queue, the keyboard
// state and the program's accelerator tables.

#include <windows.h>

#include "gui/message_loop.h"

namespace zentor {

// Installs the thread's queue as the message loop's (instance: the program's module,
// whose resources hold the accelerator tables) and answers it. Later calls answer the
// same queue.
MessageQueue& InstallWin32MessageQueue(HINSTANCE instance);

}  // namespace zentor
