#include "windows/settings_dialogs.h"

#include "gui/color_dialog.h"
#include "gui/invocation_dialog.h"
#include "windows/custom_buttons.h"

namespace zentor {

void InstallSettingsDialogs() {
  InstallColorDialog();
  InstallInvocationDialog();
  InstallCustomButtons();
}

}  // namespace zentor
