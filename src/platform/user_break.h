#pragma once
// The user-break flag: Ctrl+C (SIGINT on POSIX, the console control handler on
// Windows, the Command window's Ctrl+C key) sets it; the GUI service's break check
// and every break monitor read and clear it. Polling happens before every postfix
// instruction, so a poll is one atomic load; the exchange runs only when it is set.

#include <atomic>

namespace zentor::platform {

namespace user_break_detail {
// Lock-free, so the signal handler (or the console control thread) may store into it.
extern std::atomic<bool> g_breakPending;
}  // namespace user_break_detail

// Installs the process's interrupt handler, which only sets the flag. Idempotent.
void InstallUserBreakHandler();

// Sets the flag, as the interrupt handler does.
void RaiseUserBreak();

// True when a break is pending; the flag is left set. Inline: the command loop asks
// before every postfix instruction.
inline bool IsUserBreakPending() { return user_break_detail::g_breakPending.load(std::memory_order_relaxed); }

// True when a break was pending; the flag is cleared.
bool TakeUserBreak();

}  // namespace zentor::platform
