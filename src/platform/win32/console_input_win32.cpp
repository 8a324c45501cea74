#include "platform/console_input.h"

#include <io.h>
#include <windows.h>

#include <vector>

namespace zentor::platform {
namespace {

// A console signals for every event (focus, mouse, buffer size); only a key makes a
// read go on, so the others are taken out of the buffer and the wait goes on.
bool ConsoleKeyWaiting(HANDLE console) {
  DWORD count = 0;
  if (!GetNumberOfConsoleInputEvents(console, &count)) return true;
  if (count == 0) return false;
  std::vector<INPUT_RECORD> events(count);
  DWORD seen = 0;
  if (!PeekConsoleInputA(console, events.data(), count, &seen)) return true;
  for (DWORD i = 0; i < seen; ++i) {
    if (events[i].EventType == KEY_EVENT && events[i].Event.KeyEvent.bKeyDown) return true;
  }
  DWORD dropped = 0;
  ReadConsoleInputA(console, events.data(), seen, &dropped);
  return false;
}

bool WaitForConsoleKey(HANDLE console, uint32_t milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    const DWORD left = spent >= milliseconds ? 0 : milliseconds - spent;
    if (WaitForSingleObject(console, left) != WAIT_OBJECT_0) return false;
    if (ConsoleKeyWaiting(console)) return true;
    if (left == 0) return false;
  }
}

// An anonymous pipe cannot be waited on: it is looked at, and looked at again after
// the time; a pipe whose writer is gone is ready (the read meets its end).
bool WaitForPipe(HANDLE pipe, uint32_t milliseconds) {
  DWORD available = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available != 0) return true;
  Sleep(milliseconds);
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return true;
  return available != 0;
}

}  // namespace

// The NUL device is a character device too: only a real console answers its mode.
bool IsTerminal(int hostDescriptor) {
  if (hostDescriptor < 0) return false;
  const intptr_t handle = _get_osfhandle(hostDescriptor);
  if (handle == -1) return false;
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

bool WaitForInput(int hostDescriptor, uint32_t milliseconds) {
  if (hostDescriptor < 0) return true;
  const intptr_t raw = _get_osfhandle(hostDescriptor);
  if (raw == -1) return true;
  const HANDLE handle = reinterpret_cast<HANDLE>(raw);
  switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE: return WaitForPipe(handle, milliseconds);
    case FILE_TYPE_CHAR: {
      DWORD mode = 0;
      return GetConsoleMode(handle, &mode) ? WaitForConsoleKey(handle, milliseconds) : true;
    }
    default: return true;
  }
}

}  // namespace zentor::platform
