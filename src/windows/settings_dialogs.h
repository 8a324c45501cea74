#pragma once
// The frame's commands of the settings dialogs: "&Colors..." (1440), the invocation
// settings (1450), "Custom &Buttons..." (1491) and the custom buttons of the bar.
// Start-up calls this once the window layer is there (nothing without one).

namespace zentor {

void InstallSettingsDialogs();

}  // namespace zentor
