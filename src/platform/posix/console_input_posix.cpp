#include "platform/console_input.h"

#include <poll.h>
#include <unistd.h>

namespace zentor::platform {

bool IsTerminal(int hostDescriptor) { return hostDescriptor >= 0 && ::isatty(hostDescriptor) == 1; }

// Hang-up and error count as ready: the read that follows meets the end or the error.
bool WaitForInput(int hostDescriptor, uint32_t milliseconds) {
  if (hostDescriptor < 0) return true;
  pollfd entry{};
  entry.fd = hostDescriptor;
  entry.events = POLLIN;
  const int timeout = milliseconds > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(milliseconds);
  const int result = ::poll(&entry, 1, timeout);
  if (result < 0) return false;
  return result > 0;
}

}  // namespace zentor::platform
