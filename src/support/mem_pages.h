#pragma once
// The memory manager's own layout: the pool header, page headers and descriptors, the
// byte accessors for block tags, the table of regions the manager owns, and the
// functions the manager's source files share. Nothing outside the manager includes it
// (except the manager's tests, for the region-refusal seam).

#include <atomic>
#include <cstdint>
#include <cstring>

#include "support/mem_pool.h"

namespace zentor::platform {
class Lock;
}

namespace zentor::mem_detail {

constexpr uint32_t RoundUp(uint32_t value, uint32_t step) { return (value + step - 1) / step * step; }
constexpr uint32_t RoundDown(uint32_t value, uint32_t step) { return value / step * step; }

constexpr uintptr_t kPageAlignment = 65536;
constexpr uintptr_t kPageMask = ~(kPageAlignment - 1);
constexpr uint16_t kPoolMagic = 0xBEAD;
constexpr uint16_t kPageSignature = 0xCAD0;  // plus the page kind
constexpr uint32_t kGrain = kMemBlockAlignment;
constexpr uint32_t kHeader = kMemPageHeaderSize;
constexpr uint32_t kSmallPageSize = 65536;
constexpr uint32_t kSmallClasses = 64;
constexpr uint8_t kSmallFreeMark = 0x80;   // set in the class byte of a free small block
constexpr uint8_t kSmallClassMask = 0x3F;
constexpr uint32_t kSplitMinimum = 64;     // medium pages of kind 0
// A free medium block holds its tag, two 16-bit links and its size again at its end.
constexpr uint32_t kMinMediumBlock = sizeof(void*) == 4 ? 12 : 16;
constexpr uint32_t kMaxPageLength = 65535;
constexpr uint32_t kMinPageLength = 4096;
constexpr uint32_t kMaxErrorThreads = 25;

// Where the first block of each page kind starts. A medium block's 16-bit tag and a
// small block's class byte sit just before the block, so blocks start on the grain.
constexpr uint32_t kMediumFirstBlock = RoundUp(kHeader + 2, kGrain);
constexpr uint32_t kSmallFirstBlock = RoundUp(kHeader + 1, kGrain);
constexpr uint32_t kFixedFirstBlock = RoundUp(kHeader, kGrain);
constexpr uint32_t kLargeFirstBlock = kHeader;

// Medium boundary tag: size in the bits above bit 1 (a multiple of 4), bit 0 in use,
// bit 1 previous block in use.
constexpr uint16_t kTagInUse = 0x0001;
constexpr uint16_t kTagPrevInUse = 0x0002;
constexpr uint16_t kTagSizeMask = 0xFFFC;

struct PoolHeader;
struct PageHeader;

// Releases one block of a page; false when the pointer is not a live block there.
using PageFreeRoutine = bool (*)(PoolHeader* pool, PageHeader* page, void* block);

// One per page, kept in the pool's ring of its kind.
struct PageDescriptor {
  uint16_t m_largestFree;  // medium pages: no free block is larger (an upper bound)
  uint16_t m_state;        // kind in bits 0-2; committed 4 KB steps in bits 3-7 (pages of at most 64 KB)
  PageHeader* m_page;
  PageDescriptor* m_next;
  PageDescriptor* m_prev;
};

// At the start of every page; the page of a block is found by masking its address.
struct PageHeader {
  PoolHeader* m_pool;
  PageDescriptor* m_descriptor;
  PageFreeRoutine m_freeRoutine;
  uint16_t m_useCount;   // live blocks
  uint16_t m_signature;  // kPageSignature + kind
  void* m_freeList;      // fixed pages: the first free block
  char* m_bound;         // small: next cut; fixed: end of the last block; medium: the end tag; large: end of the reservation
  uint16_t m_freeHead;   // medium: offset of the first free block (0: none)
  uint16_t m_rover;      // medium: offset of the free block where the next search starts
};
static_assert(sizeof(PageHeader) <= kHeader, "page header does not fit its space");
static_assert(sizeof(void*) != 4 || sizeof(PageHeader) == 28, "the 32-bit page header is 28 bytes");
static_assert(sizeof(void*) != 4 || sizeof(PageDescriptor) == 16, "the 32-bit page descriptor is 16 bytes");

struct PoolHeader {
  PageDescriptor* m_rings[5];
  PageDescriptor* m_spareDescriptors;
  PageHeader* m_currentSmallPage;
  uint16_t m_magic;
  uint16_t m_flags;
  uint16_t m_fixedBlockSize;
  uint16_t m_pageSize;
  uint16_t m_largeThreshold;
  uint32_t m_bytesInUse;
  uint32_t m_floor;
  uint32_t m_ceiling;
  int (*m_extensionHooks[2])(MemPool* pool);  // the compaction hook is the first
  PoolHeader* m_next;
  void* m_listOwner;
  platform::Lock* m_lock;  // serialised pools only; lives in the header region
  void* m_smallLists[kSmallClasses];
  void* m_descriptorRegions;
  bool m_descriptorsInHeader;
  uint32_t m_fixedStride;  // the fixed block size rounded up to the block grain
  // ceil(2^64 / stride): an offset n is a multiple of the stride exactly when
  // n * m_fixedStrideInverse (mod 2^64) < m_fixedStrideInverse, which saves a division
  // on every fixed-block free.
  uint64_t m_fixedStrideInverse;
};

inline PoolHeader* HeaderOf(MemPool* pool) { return reinterpret_cast<PoolHeader*>(pool); }
inline MemPool* PoolOfHeader(PoolHeader* pool) { return reinterpret_cast<MemPool*>(pool); }

// Tags, links and class bytes sit at byte positions inside blocks: read and write them
// through these rather than through casts.
inline uint16_t Load16(const void* at) {
  uint16_t value;
  std::memcpy(&value, at, sizeof(value));
  return value;
}
inline void Store16(void* at, uint16_t value) { std::memcpy(at, &value, sizeof(value)); }
inline void* LoadPointer(const void* at) {
  void* value;
  std::memcpy(&value, at, sizeof(value));
  return value;
}
inline void StorePointer(void* at, void* value) { std::memcpy(at, &value, sizeof(value)); }

// Medium blocks: the tag sits in the two bytes before the block; a free block holds the
// offsets of the next and previous free blocks of its page in its first four bytes.
inline uint16_t TagOf(const char* block) { return Load16(block - 2); }
inline void SetTag(char* block, uint16_t tag) { Store16(block - 2, tag); }
inline uint32_t SizeOfTag(uint16_t tag) { return tag & kTagSizeMask; }
inline uint16_t NextFree(const char* block) { return Load16(block); }
inline uint16_t PrevFree(const char* block) { return Load16(block + 2); }

inline uint16_t KindOf(const PageDescriptor* descriptor) { return descriptor->m_state & 7u; }
inline uint32_t CommittedStepsOf(const PageDescriptor* descriptor) { return (descriptor->m_state >> 3) & 0x1Fu; }
inline uint16_t KindOfPage(const PageHeader* page) { return static_cast<uint16_t>(page->m_signature - kPageSignature); }
inline char* PageBase(const void* address) { return reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(address) & kPageMask); }

// The table of regions the manager owns, one byte per 64 KB of address space, so that
// an arbitrary pointer can be checked before anything at its page address is read.
enum RegionKind : uint8_t { kRegionNone = 0, kRegionPage = 1, kRegionPool = 2 };
constexpr uintptr_t kRegistryLeafEntries = 65536;
constexpr uintptr_t kRegistryTopEntries = sizeof(void*) == 4 ? 1 : 65536;
extern std::atomic<uint8_t*> g_registryLeaves[kRegistryTopEntries];

inline RegionKind RegionKindAt(const void* base) {
  uintptr_t pageNumber = reinterpret_cast<uintptr_t>(base) / kPageAlignment;
  uintptr_t top = pageNumber / kRegistryLeafEntries;
  if (top >= kRegistryTopEntries) return kRegionNone;
  uint8_t* leaf = g_registryLeaves[top].load(std::memory_order_acquire);
  if (leaf == nullptr) return kRegionNone;
  return static_cast<RegionKind>(std::atomic_ref<uint8_t>(leaf[pageNumber % kRegistryLeafEntries]).load(std::memory_order_relaxed));
}
// A region keeps its entry while it waits in the reuse store (its page signature or
// pool magic is cleared first, so nothing in it passes for a page or a pool); the entry
// goes when the region goes back to the operating system.
bool RegisterRegion(const void* base, RegionKind kind);
void UnregisterRegion(const void* base);

// Regions: committed memory on a 64 KB boundary. Regions of at most 64 KB are kept for
// reuse after release (up to a budget) so that pages emptied and filled again in turn
// cost no system calls.
void* NewRegion(uint32_t bytes);                 // committed bytes rounded up to 4 KB; null when refused
// `committed` and `reserved` as the caller knows them (every region of at most 64 KB is
// a 64 KB reservation).
void FreeRegion(void* base, uint32_t committed, uint32_t reserved);
uint32_t RegionCommitted(const void* base);
uint32_t RegionReserved(const void* base);
bool ResizeRegionInPlace(void* base, uint32_t oldCommitted, uint32_t newCommitted);
void TrimRegionCache();
// Testing seam: the next `count` requests for memory from the operating system are
// refused as if it had none left.
void SetRegionRefusals(uint32_t count);

// Pools and pages.
PoolHeader* ValidPool(MemPool* pool);             // the header when `pool` is a live pool, else null
PageHeader* ValidPage(const void* block);         // the page of a block when it is a page of ours, else null
PageHeader* MakePage(PoolHeader* pool, uint16_t kind, uint32_t length, bool* ceilingReached);
bool ReleasePage(PoolHeader* pool, PageHeader* page, bool keepForFloor);
void ReleasePageRegion(PageHeader* page);  // gives the page's memory back without touching pool accounting
uint32_t PageCommitted(const PageHeader* page);
void MakeRingHead(PoolHeader* pool, PageDescriptor* descriptor);
int ReportPoolError(PoolHeader* pool, uint32_t code);
// Releases the empty pages of kinds 0 to 2 that the floor lets go, then calls the
// pool's compaction hook.
void CompactPool(PoolHeader* pool);

// The global list of pools (kept in the error-handler record).
void LinkPool(PoolHeader* pool);
void UnlinkPool(PoolHeader* pool);
uint32_t LivePoolCount();

// Sizes above this cannot be blocks: a region must fit in 32 bits with its page header
// and the 64 KB rounding of its reservation.
constexpr size_t kLargestBlock = 0xFFFFFFFFu - 2 * kPageAlignment - kHeader;

class PoolGuard {
 public:
  explicit PoolGuard(PoolHeader* pool);
  ~PoolGuard();
  PoolGuard(const PoolGuard&) = delete;
  PoolGuard& operator=(const PoolGuard&) = delete;

 private:
  platform::Lock* m_lock;
};

// Block allocators (the pool lock is held by the caller).
void* AllocSmall(PoolHeader* pool, uint32_t size, uint32_t flags);
void* AllocMedium(PoolHeader* pool, uint32_t size, uint32_t flags);
void* AllocLarge(PoolHeader* pool, uint32_t size, uint32_t flags);
void* AllocFixedBlock(PoolHeader* pool);
void InitFixedPage(PoolHeader* pool, PageHeader* page, uint32_t length);
bool FreeSmall(PoolHeader* pool, PageHeader* page, void* block);
bool FreeMedium(PoolHeader* pool, PageHeader* page, void* block);
bool FreeFixedBlock(PoolHeader* pool, PageHeader* page, void* block);
bool FreeLarge(PoolHeader* pool, PageHeader* page, void* block);
PageFreeRoutine FreeRoutineOf(uint16_t kind);

// The small-block fast paths, one list operation each; the callers hold the pool lock.
inline void* PopSmall(PoolHeader* pool, uint32_t sizeClass) {
  char* block = static_cast<char*>(pool->m_smallLists[sizeClass]);
  if (block == nullptr) return nullptr;
  pool->m_smallLists[sizeClass] = LoadPointer(block);
  ++reinterpret_cast<PageHeader*>(PageBase(block))->m_useCount;
  block[-1] = static_cast<char>(sizeClass);
  return block;
}

inline bool IsLiveSmall(const PageHeader* page, const void* block) {
  const char* p = static_cast<const char*>(block);
  const char* first = reinterpret_cast<const char*>(page) + kSmallFirstBlock;
  if (p < first || p >= page->m_bound || (reinterpret_cast<uintptr_t>(p) & (kGrain - 1)) != 0) return false;
  uint8_t classByte = static_cast<uint8_t>(p[-1]);
  return (classByte & kSmallFreeMark) == 0 && classByte != 0 && classByte < kSmallClasses;
}

inline bool PushSmall(PoolHeader* pool, PageHeader* page, void* block) {
  if (!IsLiveSmall(page, block)) return false;
  char* p = static_cast<char*>(block);
  uint8_t sizeClass = static_cast<uint8_t>(p[-1]);
  StorePointer(p, pool->m_smallLists[sizeClass]);
  pool->m_smallLists[sizeClass] = p;
  p[-1] = static_cast<char>(sizeClass | kSmallFreeMark);
  --page->m_useCount;
  return true;
}

inline bool IsFixedSlot(const PoolHeader* pool, const PageHeader* page, const void* block) {
  const char* p = static_cast<const char*>(block);
  const char* first = reinterpret_cast<const char*>(page) + kFixedFirstBlock;
  if (p < first || p >= page->m_bound) return false;
  return static_cast<uint64_t>(p - first) * pool->m_fixedStrideInverse < pool->m_fixedStrideInverse;
}

// The fixed-block free path: one push; the page goes when its last block does.
inline bool PushFixed(PoolHeader* pool, PageHeader* page, void* block) {
  if (page->m_useCount == 0 || !IsFixedSlot(pool, page, block)) return false;
  StorePointer(block, page->m_freeList);
  page->m_freeList = block;
  if (--page->m_useCount == 0) ReleasePage(pool, page, true);
  return true;
}

// A live block of the page (not a free one, not a pointer into a block).
bool IsLiveBlock(const PoolHeader* pool, const PageHeader* page, const void* block);
uint32_t UsableSize(const PoolHeader* pool, const PageHeader* page, const void* block);
// Resizes in place (large blocks may move when `flags` allows). Returns the block, or
// null with *copyBytes set to the bytes a move must copy.
void* ResizeBlock(PoolHeader* pool, PageHeader* page, void* block, uint32_t size, uint32_t flags, uint32_t* copyBytes);

// Medium page geometry, shared with the checks.
uint32_t MediumSplitMinimum(const PageHeader* page);
uint32_t SmallStride(uint32_t sizeClass);

}  // namespace zentor::mem_detail
