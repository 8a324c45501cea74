#include "support/rw_link_cache.h"

#include <new>

namespace zentor {

namespace {

// Constant-initialised, so lists built during static initialisation can use it.
struct LinkCache {
  void* blocks[kRWLinkCacheClasses][kRWLinkCacheDepth];
  uint16_t counts[kRWLinkCacheClasses];
};
LinkCache s_cache;

size_t GranulesFor(size_t n) { return (n + kRWLinkCacheGranule - 1) / kRWLinkCacheGranule; }

// The class serving n bytes, or -1 when n is not served by the cache.
int ClassOf(size_t n) {
  size_t granules = GranulesFor(n);
  if (granules == 0 || granules > static_cast<size_t>(kRWLinkCacheClasses)) return -1;
  return static_cast<int>(granules) - 1;
}

}  // namespace

void* RWLinkCacheAllocate(size_t n) {
  int sizeClass = ClassOf(n);
  if (sizeClass >= 0 && s_cache.counts[sizeClass] != 0) {
    return s_cache.blocks[sizeClass][--s_cache.counts[sizeClass]];
  }
  size_t granules = GranulesFor(n);
  return ::operator new((granules == 0 ? 1 : granules) * kRWLinkCacheGranule);
}

void RWLinkCacheRelease(void* block, size_t n) {
  if (block == nullptr) return;
  int sizeClass = ClassOf(n);
  if (sizeClass >= 0 && s_cache.counts[sizeClass] < kRWLinkCacheDepth) {
    s_cache.blocks[sizeClass][s_cache.counts[sizeClass]++] = block;
    return;
  }
  ::operator delete(block);
}

uint16_t RWLinkCacheCount(size_t n) {
  int sizeClass = ClassOf(n);
  return sizeClass < 0 ? 0 : s_cache.counts[sizeClass];
}

}  // namespace zentor
