// The console program: the command loop reading the standard input and writing the
// standard output. Message boxes become lines on the standard error, and Ctrl+C
// interrupts the running command instead of ending the program. Its settings store is
// its own path with ".ddb", as the Windows program's is, opened at the first record
// operation: a run that keeps no settings leaves no file, and a run started in
// another directory (the project's root, say) leaves none there.
#include "app/program_entry.h"
#include "core/hi_service.h"
#include "core/startup_settings_words.h"
#include "gui/dialog_description_file.h"
#include "gui/layout_block.h"
#include "platform/alert.h"
#include "platform/file_system.h"
#include "platform/user_break.h"

int main(int argc, char** argv) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::platform::InstallUserBreakHandler();
  zentor::SetConsoleMode(true);
  zentor::GetStartupSettingsWords().m_console = 1;
  const std::string program = zentor::platform::ProgramPath();
  if (!program.empty()) zentor::TheDialogDescriptionFile().SetFirstUseFileName(zentor::StripExtension(program) + ".ddb");
  zentor::CommandLoop(argc, argv);
}
