#include "app/program_shell.h"

#include "gui/notice_router.h"
#include "gui/shell_services.h"
#include "windows/command_window.h"

namespace zentor {

int32_t ProgramShell::Request(uint32_t code) { return HandleShellRequest(code); }
// Between commands the Command window's picture catches up with its output.
int32_t ProgramShell::CheckUserBreak() {
  CommandWindow::SettlePicture(false);
  return ShellCheckUserBreak();
}
int32_t ProgramShell::Notify(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value) {
  return RouteGuiNotice(windowKind, windowArgument, code, value);
}
void ProgramShell::RefreshStatusPane(uint32_t mask) { ShellRefreshStatusPane(mask); }

// A quit message during the wait ends the session there (the agent is told).
bool ProgramShell::WaitForInputRound() {
  CommandWindow::SettlePicture(true);
  CommandWindow::ShowPendingCaret();
  ShellWaitForInputRound();
  return true;
}

}  // namespace zentor
