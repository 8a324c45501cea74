#include "windows/window_classes.h"

#include "windows/load_symbols_dialog.h"
#include "windows/modules_window.h"
#include "windows/source_dialogs.h"
#include "windows/source_window.h"
#include "windows/watch_window.h"

namespace zentor {

void InstallWindowClasses() {
  InstallSourceWindow();
  InstallWatchWindow();
  InstallModulesWindow();
  InstallSourceDialogs();
  InstallLoadSymbolsDialog();
}

}  // namespace zentor
