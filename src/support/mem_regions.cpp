// The memory manager's regions: where its pages, large blocks and pool headers come
// from, the table that tells which 64 KB units are the manager's, and the small store
// of released regions kept for reuse.

#include <cstdlib>

#include "support/mem_pages.h"
#include "platform/lock.h"
#include "platform/virtual_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace zentor::mem_detail {

std::atomic<uint8_t*> g_registryLeaves[kRegistryTopEntries];

namespace {

// Released regions of at most 64 KB wait here, still committed, for the next page; the
// store is bounded so that a burst of frees cannot pin much memory.
constexpr int kCachedRegionSlots = 64;
constexpr uint32_t kCachedBytesBudget = 4u * 1024 * 1024;

struct CachedRegion {
  void* m_base;
  uint32_t m_committed;
};

struct RegionState {
  platform::Lock m_lock;
  CachedRegion m_cache[kCachedRegionSlots];
  int m_cacheCount = 0;
  uint32_t m_cacheBytes = 0;
  // The lowest address of a released region of at most 64 KB: the next such
  // reservation tries it first, which keeps the manager's small regions together.
  uintptr_t m_reservationHint = 0;
  uint32_t m_refusals = 0;
};

RegionState& State() {
  static RegionState* state = new RegionState;  // lives until the process ends
  return *state;
}

platform::Lock& RegistryLock() {
  static platform::Lock* lock = new platform::Lock;
  return *lock;
}

uint32_t CommitSizeFor(uint32_t bytes) { return RoundUp(bytes, static_cast<uint32_t>(platform::kCommitGranularity)); }

// The leak checker of the sanitizer build does not look into memory it did not hand
// out; the manager's regions hold the only pointers to some system-allocated memory
// (buffers of objects that live in pool blocks), so they are shown to it as roots.
void ShowToLeakChecker(const void* base, size_t reserved) {
#if defined(__SANITIZE_ADDRESS__)
  __lsan_register_root_region(base, reserved);
#else
  (void)base;
  (void)reserved;
#endif
}

void HideFromLeakChecker(const void* base, size_t reserved) {
#if defined(__SANITIZE_ADDRESS__)
  __lsan_unregister_root_region(base, reserved);
#else
  (void)base;
  (void)reserved;
#endif
}

// Gives a region back to the operating system.
void ReleaseToSystem(void* base, size_t reserved) {
  UnregisterRegion(base);
  HideFromLeakChecker(base, reserved);
  platform::ReleaseRegion(base);
}

}  // namespace

bool RegisterRegion(const void* base, RegionKind kind) {
  uintptr_t pageNumber = reinterpret_cast<uintptr_t>(base) / kPageAlignment;
  uintptr_t top = pageNumber / kRegistryLeafEntries;
  if (top >= kRegistryTopEntries) return false;
  // A region back from the reuse store usually serves as the same kind again.
  if (RegionKindAt(base) == kind) return true;
  platform::LockGuard guard(RegistryLock());
  uint8_t* leaf = g_registryLeaves[top].load(std::memory_order_acquire);
  if (leaf == nullptr) {
    leaf = static_cast<uint8_t*>(std::calloc(kRegistryLeafEntries, 1));
    if (leaf == nullptr) return false;
    g_registryLeaves[top].store(leaf, std::memory_order_release);
  }
  std::atomic_ref<uint8_t>(leaf[pageNumber % kRegistryLeafEntries]).store(kind, std::memory_order_relaxed);
  return true;
}

void UnregisterRegion(const void* base) {
  uintptr_t pageNumber = reinterpret_cast<uintptr_t>(base) / kPageAlignment;
  uintptr_t top = pageNumber / kRegistryLeafEntries;
  if (top >= kRegistryTopEntries || RegionKindAt(base) == kRegionNone) return;
  platform::LockGuard guard(RegistryLock());
  uint8_t* leaf = g_registryLeaves[top].load(std::memory_order_acquire);
  if (leaf != nullptr) std::atomic_ref<uint8_t>(leaf[pageNumber % kRegistryLeafEntries]).store(kRegionNone, std::memory_order_relaxed);
}

void SetRegionRefusals(uint32_t count) {
  RegionState& state = State();
  platform::LockGuard guard(state.m_lock);
  state.m_refusals = count;
}

// 1. A region of at most 64 KB is taken from the store when one is there, preferring
//    one committed to exactly the size asked for; another is committed up or down.
// 2. Otherwise a reservation is made (at the hint first for small regions) and its
//    first part committed.
void* NewRegion(uint32_t bytes) {
  if (bytes == 0 || bytes > 0xFFFFFFFFu - platform::kRegionAlignment) return nullptr;
  uint32_t commit = CommitSizeFor(bytes);
  RegionState& state = State();
  void* hint = nullptr;
  {
    platform::LockGuard guard(state.m_lock);
    if (state.m_refusals > 0) {
      --state.m_refusals;
      return nullptr;
    }
    if (commit <= kPageAlignment && state.m_cacheCount > 0) {
      int pick = state.m_cacheCount - 1;
      for (int i = state.m_cacheCount - 1; i >= 0; --i) {
        if (state.m_cache[i].m_committed == commit) {
          pick = i;
          break;
        }
      }
      CachedRegion region = state.m_cache[pick];
      state.m_cache[pick] = state.m_cache[--state.m_cacheCount];
      state.m_cacheBytes -= region.m_committed;
      bool ok = true;
      if (region.m_committed < commit) {
        ok = platform::CommitRegion(static_cast<char*>(region.m_base) + region.m_committed, commit - region.m_committed);
      } else if (region.m_committed > commit) {
        ok = platform::DecommitRegion(static_cast<char*>(region.m_base) + commit, region.m_committed - commit);
      }
      if (ok) return region.m_base;
      ReleaseToSystem(region.m_base, kPageAlignment);
    }
    if (commit <= kPageAlignment && state.m_reservationHint != 0) {
      hint = reinterpret_cast<void*>(state.m_reservationHint);
      state.m_reservationHint = 0;
    }
  }
  void* base = platform::ReserveRegion(commit, hint);
  if (base == nullptr) return nullptr;
  if (!platform::CommitRegion(base, commit)) {
    platform::ReleaseRegion(base);
    return nullptr;
  }
  ShowToLeakChecker(base, (size_t{commit} + kPageAlignment - 1) / kPageAlignment * kPageAlignment);
  return base;
}

void FreeRegion(void* base, uint32_t committed, uint32_t reserved) {
  if (base == nullptr) return;
  RegionState& state = State();
  {
    platform::LockGuard guard(state.m_lock);
    if (committed != 0 && committed <= kPageAlignment && state.m_cacheCount < kCachedRegionSlots &&
        state.m_cacheBytes + committed <= kCachedBytesBudget && reserved == kPageAlignment) {
      state.m_cache[state.m_cacheCount++] = CachedRegion{base, committed};
      state.m_cacheBytes += committed;
      return;
    }
    uintptr_t address = reinterpret_cast<uintptr_t>(base);
    if (reserved <= kPageAlignment && (state.m_reservationHint == 0 || address < state.m_reservationHint)) {
      state.m_reservationHint = address;
    }
  }
  ReleaseToSystem(base, reserved);
}

void TrimRegionCache() {
  RegionState& state = State();
  CachedRegion released[kCachedRegionSlots];
  int count = 0;
  {
    platform::LockGuard guard(state.m_lock);
    count = state.m_cacheCount;
    for (int i = 0; i < count; ++i) released[i] = state.m_cache[i];
    state.m_cacheCount = 0;
    state.m_cacheBytes = 0;
    for (int i = 0; i < count; ++i) {
      uintptr_t address = reinterpret_cast<uintptr_t>(released[i].m_base);
      if (state.m_reservationHint == 0 || address < state.m_reservationHint) state.m_reservationHint = address;
    }
  }
  for (int i = 0; i < count; ++i) ReleaseToSystem(released[i].m_base, kPageAlignment);
}

uint32_t RegionCommitted(const void* base) { return static_cast<uint32_t>(platform::CommittedSize(base)); }

uint32_t RegionReserved(const void* base) { return static_cast<uint32_t>(platform::ReservedSize(base)); }

bool ResizeRegionInPlace(void* base, uint32_t oldCommitted, uint32_t newCommitted) {
  char* start = static_cast<char*>(base);
  if (newCommitted > oldCommitted) {
    if (newCommitted > RegionReserved(base)) return false;
    {
      RegionState& state = State();
      platform::LockGuard guard(state.m_lock);
      if (state.m_refusals > 0) {
        --state.m_refusals;
        return false;
      }
    }
    return platform::CommitRegion(start + oldCommitted, newCommitted - oldCommitted);
  }
  if (newCommitted < oldCommitted) return platform::DecommitRegion(start + newCommitted, oldCommitted - newCommitted);
  return true;
}

}  // namespace zentor::mem_detail
