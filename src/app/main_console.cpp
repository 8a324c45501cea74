// The console program: the command loop reading the standard input and writing the
// standard output. Message boxes become lines on the standard error, and Ctrl+C
// interrupts the running command instead of ending the program.
#include "app/program_entry.h"
#include "core/hi_service.h"
#include "core/startup_settings_words.h"
#include "platform/alert.h"
#include "platform/user_break.h"

int main(int argc, char** argv) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::platform::InstallUserBreakHandler();
  zentor::SetConsoleMode(true);
  zentor::GetStartupSettingsWords().m_console = 1;
  zentor::CommandLoop(argc, argv);
}
