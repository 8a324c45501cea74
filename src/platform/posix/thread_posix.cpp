#include "platform/thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace zentor::platform {

uint32_t CurrentThreadId() {
  // The kernel's thread id is unique among live threads and never 0; it is cached
  // because the memory manager asks for it on every locked operation.
  static thread_local uint32_t id = static_cast<uint32_t>(syscall(SYS_gettid));
  return id;
}

}  // namespace zentor::platform
