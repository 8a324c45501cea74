#pragma once
// Installs the console's side of the services the core calls: errors shown on the
// command output go through the output writer, and the input line they end is
// dropped by the command reader. Start-up calls it; tests of the layers below call it
// in their set-up.

namespace zentor {

void InstallConsoleServices();

// Every module of the console runtime back to its start state: the console bridge's
// escape state, the log, the input channels, temporary files, output writer, pager,
// line editor and history, file-channel flags, undo stack, command reader and input,
// macro text and character channel. For a second session in the same process (tests
// run one after another).
void ResetConsoleRuntime();

}  // namespace zentor
