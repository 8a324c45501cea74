#include "platform/console_input.h"

#include <unistd.h>

namespace zentor::platform {

bool IsTerminal(int hostDescriptor) { return hostDescriptor >= 0 && ::isatty(hostDescriptor) == 1; }

}  // namespace zentor::platform
