#pragma once
// Whether a host file descriptor is an interactive terminal (a Windows console). A
// terminal echoes what the user types by itself, so the console input must not write
// those characters again.

namespace zentor::platform {

bool IsTerminal(int hostDescriptor);

}  // namespace zentor::platform
