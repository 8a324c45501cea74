#include "platform/console_input.h"

#include <io.h>
#include <windows.h>

namespace zentor::platform {

// The NUL device is a character device too: only a real console answers its mode.
bool IsTerminal(int hostDescriptor) {
  if (hostDescriptor < 0) return false;
  const intptr_t handle = _get_osfhandle(hostDescriptor);
  if (handle == -1) return false;
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

}  // namespace zentor::platform
