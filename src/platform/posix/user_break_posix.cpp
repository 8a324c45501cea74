// SIGINT sets the user-break flag instead of ending the process.
#include "platform/user_break.h"

#include <atomic>
#include <csignal>

namespace zentor::platform {

std::atomic<bool> user_break_detail::g_breakPending{false};

namespace {

using user_break_detail::g_breakPending;

static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<bool> g_handlerInstalled{false};

extern "C" void OnInterruptSignal(int) { g_breakPending.store(true, std::memory_order_relaxed); }

}  // namespace

void InstallUserBreakHandler() {
  if (g_handlerInstalled.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = &OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  // A read of the terminal interrupted by Ctrl+C resumes; the flag is seen at the
  // next poll.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void RaiseUserBreak() { g_breakPending.store(true, std::memory_order_relaxed); }

bool TakeUserBreak() {
  if (!g_breakPending.load(std::memory_order_relaxed)) return false;
  return g_breakPending.exchange(false, std::memory_order_relaxed);
}

}  // namespace zentor::platform
