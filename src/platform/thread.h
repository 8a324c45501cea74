#pragma once
// The identity of the calling thread. The memory manager keys its per-thread error
// records by it and the recursive lock records its owner with it.

#include <cstdint>

namespace zentor::platform {

// A number that no other live thread of the process has; never 0.
uint32_t CurrentThreadId();

}  // namespace zentor::platform
