#include "platform/thread.h"

#include <windows.h>

namespace zentor::platform {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }

}  // namespace zentor::platform
