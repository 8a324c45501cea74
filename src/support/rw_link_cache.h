#pragma once
// The small-block cache that list links come from. Lists allocate and free links all
// the time; keeping a few freed blocks of each small size saves the allocator calls.
// Five size classes of 1 to 5 granules, each a stack of at most five cached blocks.
// A granule is half a pointer (2 bytes on a 32-bit host, so the classes are 2, 4, 6,
// 8 and 10 bytes there), which keeps a two-pointer list link in the cache on every
// host. Requests above five granules always go to the allocator.

#include <cstddef>
#include <cstdint>

namespace zentor {

inline constexpr size_t kRWLinkCacheGranule = sizeof(void*) / 2;
inline constexpr int kRWLinkCacheClasses = 5;
inline constexpr int kRWLinkCacheDepth = 5;

// A block of at least n bytes (n rounded up to whole granules); a cached block of its
// class when there is one.
void* RWLinkCacheAllocate(size_t n);
// Gives back a block allocated for n bytes: cached while its class holds fewer than
// kRWLinkCacheDepth blocks, otherwise freed.
void RWLinkCacheRelease(void* block, size_t n);
// Number of blocks cached now in the class that serves n bytes; 0 for sizes the
// cache does not serve.
uint16_t RWLinkCacheCount(size_t n);

}  // namespace zentor
