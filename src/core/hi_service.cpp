#include "core/hi_service.h"

#include "core/key_queue.h"
#include "core/view_kind.h"
#include "platform/user_break.h"

namespace zentor {
namespace {

// The notice that applies the window layout settings read meanwhile.
constexpr uint32_t kNoticeApplyLayout = 0x3e;

GuiShell* g_shell = nullptr;

#if defined(_WIN32)
// The Windows program runs its windows unless the invocation settings ask for console mode.
bool g_consoleMode = false;
#else
// There is no window system in the native build.
bool g_consoleMode = true;
#endif

uint32_t g_guiStateWord = 0;
bool g_guiReadyFlag = false;
bool g_windowCommandRunning = false;

// The user-break check: the interrupt flag, and in GUI mode the shell's look at the
// keyboard and a Ctrl+C typed into the Command window. A break found flushes the keys
// typed ahead of it.
int32_t CheckUserBreak() {
  bool found = platform::TakeUserBreak();
  if (g_consoleMode) return found ? 1 : 0;
  const bool typed = (g_shell != nullptr && g_shell->CheckUserBreak() != 0) || KeyQueue::IsBreakPending();
  if (typed) KeyQueue::Clear();
  return found || typed ? 1 : 0;
}

}  // namespace

void InstallGuiShell(GuiShell* shell) { g_shell = shell; }
GuiShell* InstalledGuiShell() { return g_shell; }

void SetConsoleMode(bool on) { g_consoleMode = on; }
bool IsConsoleMode() { return g_consoleMode; }

void ResetGuiServiceEntry(bool consoleMode) {
  g_shell = nullptr;
  g_consoleMode = consoleMode;
  g_guiStateWord = 0;
  g_guiReadyFlag = false;
  g_windowCommandRunning = false;
  KeyQueue::Clear();
}

void SetGuiStateWord(uint32_t word) { g_guiStateWord = word; }
uint32_t GuiStateWord() { return g_guiStateWord; }

void SetWindowCommandFlag(uint32_t running) { g_windowCommandRunning = running != 0; }
bool IsWindowCommandRunning() { return g_windowCommandRunning; }

int32_t HiService(uint32_t request) {
  if (request == kGuiCheckUserBreak) return CheckUserBreak();
  if (g_consoleMode) return 0;
  if (request == kGuiEnterRunState) {
    g_guiStateWord = 12;
    return 0;
  }
  return g_shell != nullptr ? g_shell->Request(request) : 0;
}

void StartGui() { HiService(kGuiStartUp); }

void SignalGuiReady() {
  HiService(kGuiWaitForCommand);
  g_guiReadyFlag = true;
}

bool GuiReadyFlag() { return g_guiReadyFlag; }

int32_t NotifyGui(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value) {
  if (g_consoleMode || g_shell == nullptr) return 0;
  return g_shell->Notify(windowKind, windowArgument, code, value);
}

void RequestLayoutApply() { NotifyGui(kViewGuiState, 0, kNoticeApplyLayout, nullptr); }

void RefreshStatusPane(uint32_t mask) {
  if (!g_consoleMode && g_shell != nullptr) g_shell->RefreshStatusPane(mask);
}

}  // namespace zentor
