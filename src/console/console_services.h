#pragma once
// Installs the console's side of the services the core calls: errors shown on the
// command output go through the output writer, and the input line they end is
// dropped by the command reader. Start-up calls it; tests of the layers below call it
// in their set-up.

namespace zentor {

void InstallConsoleServices();

}  // namespace zentor
