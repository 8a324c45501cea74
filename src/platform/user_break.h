#pragma once
// The user-break flag: Ctrl+C (SIGINT on POSIX, the console control handler on
// Windows, the Command window's Ctrl+C key) sets it; the GUI service's break check
// and every break monitor read and clear it. Polling happens before every postfix
// instruction, so a poll is one atomic load; the exchange runs only when it is set.

namespace zentor::platform {

// Installs the process's interrupt handler, which only sets the flag. Idempotent.
void InstallUserBreakHandler();

// Sets the flag, as the interrupt handler does.
void RaiseUserBreak();

// True when a break is pending; the flag is left set.
bool IsUserBreakPending();

// True when a break was pending; the flag is cleared.
bool TakeUserBreak();

}  // namespace zentor::platform
