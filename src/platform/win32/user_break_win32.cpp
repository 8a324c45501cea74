// Ctrl+C and Ctrl+Break in the console set the user-break flag instead of ending the
// process. The control handler runs on a thread of its own, hence the atomic flag.
#include "platform/user_break.h"

#include <atomic>

#include <windows.h>

namespace zentor::platform {

std::atomic<bool> user_break_detail::g_breakPending{false};

namespace {

using user_break_detail::g_breakPending;

std::atomic<bool> g_handlerInstalled{false};

BOOL WINAPI OnConsoleControl(DWORD controlType) {
  if (controlType == CTRL_C_EVENT || controlType == CTRL_BREAK_EVENT) {
    g_breakPending.store(true, std::memory_order_relaxed);
    return TRUE;
  }
  return FALSE;  // close, log-off and shut-down keep their default handling
}

}  // namespace

void InstallUserBreakHandler() {
  if (g_handlerInstalled.exchange(true)) return;
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

void RaiseUserBreak() { g_breakPending.store(true, std::memory_order_relaxed); }

bool TakeUserBreak() {
  if (!g_breakPending.load(std::memory_order_relaxed)) return false;
  return g_breakPending.exchange(false, std::memory_order_relaxed);
}

}  // namespace zentor::platform
