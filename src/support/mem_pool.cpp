#include "support/mem_pool.h"

#include <atomic>
#include <new>

#include "support/mem_pages.h"
#include "platform/lock.h"

namespace zentor {

using namespace mem_detail;

namespace {

std::atomic<MemPool*> g_defaultPool{nullptr};
std::atomic<uint32_t> g_defaultPageSize{0};             // 0: not set
std::atomic<uint32_t> g_defaultFixedBlockSize{0xFFFF};  // 0xFFFF: not set
std::atomic<uint16_t> g_defaultFlags{kMemPoolDefaultFlags};

constexpr uint32_t kDescriptorRegionSize = 4096;

// Descriptor regions start with the link to the next one, then descriptors.
constexpr uint32_t kDescriptorRegionFirst = RoundUp(sizeof(void*), alignof(PageDescriptor));

void CarveDescriptors(PoolHeader* pool, char* from, char* end) {
  uintptr_t at = reinterpret_cast<uintptr_t>(from);
  at = (at + alignof(PageDescriptor) - 1) & ~(uintptr_t{alignof(PageDescriptor)} - 1);
  for (char* cursor = reinterpret_cast<char*>(at); cursor + sizeof(PageDescriptor) <= end; cursor += sizeof(PageDescriptor)) {
    PageDescriptor* descriptor = new (cursor) PageDescriptor{};
    descriptor->m_next = pool->m_spareDescriptors;
    pool->m_spareDescriptors = descriptor;
  }
}

// Further descriptors come from regions of 4096 bytes, halved when refused.
bool AddDescriptorRegion(PoolHeader* pool) {
  for (uint32_t bytes = kDescriptorRegionSize; bytes >= kDescriptorRegionFirst + sizeof(PageDescriptor); bytes /= 2) {
    void* region = NewRegion(bytes);
    if (region == nullptr) continue;
    UnregisterRegion(region);  // it may have been a page: descriptors must not pass for one
    StorePointer(region, pool->m_descriptorRegions);
    pool->m_descriptorRegions = region;
    CarveDescriptors(pool, static_cast<char*>(region) + kDescriptorRegionFirst, static_cast<char*>(region) + bytes);
    return true;
  }
  return false;
}

PageDescriptor* TakeDescriptor(PoolHeader* pool) {
  if (pool->m_spareDescriptors == nullptr && !AddDescriptorRegion(pool)) return nullptr;
  PageDescriptor* descriptor = pool->m_spareDescriptors;
  pool->m_spareDescriptors = descriptor->m_next;
  return descriptor;
}

void GiveBackDescriptor(PoolHeader* pool, PageDescriptor* descriptor) {
  descriptor->m_page = nullptr;
  descriptor->m_prev = nullptr;
  descriptor->m_next = pool->m_spareDescriptors;
  pool->m_spareDescriptors = descriptor;
}

void LinkAtRingHead(PoolHeader* pool, PageDescriptor* descriptor, uint16_t kind) {
  PageDescriptor*& head = pool->m_rings[kind];
  if (head == nullptr) {
    descriptor->m_next = descriptor;
    descriptor->m_prev = descriptor;
  } else {
    descriptor->m_next = head;
    descriptor->m_prev = head->m_prev;
    head->m_prev->m_next = descriptor;
    head->m_prev = descriptor;
  }
  head = descriptor;
}

void UnlinkFromRing(PoolHeader* pool, PageDescriptor* descriptor, uint16_t kind) {
  PageDescriptor*& head = pool->m_rings[kind];
  if (descriptor->m_next == descriptor) {
    head = nullptr;
    return;
  }
  descriptor->m_prev->m_next = descriptor->m_next;
  descriptor->m_next->m_prev = descriptor->m_prev;
  if (head == descriptor) head = descriptor->m_next;
}

uint32_t RoundPageSize(uint32_t wanted) {
  if (wanted == kMemDefaultPageSize) return kMemDefaultPageSize;
  if (wanted >= kMaxPageLength) return kMaxPageLength;
  if (wanted <= kMinPageLength) return kMinPageLength;
  uint32_t size = kMinPageLength;
  while (size < wanted) size <<= 1;
  return size > kMaxPageLength ? kMaxPageLength : size;
}

}  // namespace

namespace mem_detail {

PoolHeader* ValidPool(MemPool* candidate) {
  if (candidate == nullptr || (reinterpret_cast<uintptr_t>(candidate) & (kPageAlignment - 1)) != 0) return nullptr;
  if (RegionKindAt(candidate) != kRegionPool) return nullptr;
  PoolHeader* pool = HeaderOf(candidate);
  return pool->m_magic == kPoolMagic ? pool : nullptr;
}

PageHeader* ValidPage(const void* block) {
  if (block == nullptr) return nullptr;
  char* base = PageBase(block);
  if (RegionKindAt(base) != kRegionPage) return nullptr;
  PageHeader* page = reinterpret_cast<PageHeader*>(base);
  uint16_t signature = page->m_signature;
  if (signature < kPageSignature || signature > kPageSignature + kMemPageSmall) return nullptr;
  return page;
}

PoolGuard::PoolGuard(PoolHeader* pool)
    : m_lock((pool->m_flags & kMemPoolSerialized) != 0 ? pool->m_lock : nullptr) {
  if (m_lock != nullptr) m_lock->Enter();
}

PoolGuard::~PoolGuard() {
  if (m_lock != nullptr) m_lock->Leave();
}

// 1. The ceiling is checked against the committed size the page will add.
// 2. A descriptor and a region are taken; the region is entered in the region table.
// 3. The page header is set up and the page becomes the head of its kind's ring.
PageHeader* MakePage(PoolHeader* pool, uint16_t kind, uint32_t length, bool* ceilingReached) {
  *ceilingReached = false;
  uint64_t commit = (uint64_t{length} + 4095) / 4096 * 4096;
  if (uint64_t{pool->m_bytesInUse} + commit > pool->m_ceiling) {
    *ceilingReached = true;
    return nullptr;
  }
  if (uint64_t{pool->m_bytesInUse} + commit > 0xFFFFFFFFu) return nullptr;
  PageDescriptor* descriptor = TakeDescriptor(pool);
  if (descriptor == nullptr) return nullptr;
  void* region = NewRegion(length);
  if (region == nullptr) {
    GiveBackDescriptor(pool, descriptor);
    return nullptr;
  }
  uint32_t committed = static_cast<uint32_t>(commit);
  if (!RegisterRegion(region, kRegionPage)) {
    FreeRegion(region, committed, static_cast<uint32_t>((commit + kPageAlignment - 1) / kPageAlignment * kPageAlignment));
    GiveBackDescriptor(pool, descriptor);
    return nullptr;
  }
  PageHeader* page = new (region) PageHeader{};
  page->m_pool = pool;
  page->m_descriptor = descriptor;
  page->m_freeRoutine = FreeRoutineOf(kind);
  page->m_useCount = 0;
  page->m_signature = static_cast<uint16_t>(kPageSignature + kind);
  descriptor->m_largestFree = 0;
  // Large regions change their committed size in place; theirs is read back from the
  // region query instead.
  uint32_t steps = kind != kMemPageLarge && committed <= kPageAlignment ? committed / 4096 : 0;
  descriptor->m_state = static_cast<uint16_t>(kind | (steps << 3));
  descriptor->m_page = page;
  LinkAtRingHead(pool, descriptor, kind);
  pool->m_bytesInUse += committed;
  return page;
}

uint32_t PageCommitted(const PageHeader* page) {
  uint32_t steps = CommittedStepsOf(page->m_descriptor);
  return steps != 0 ? steps * 4096 : RegionCommitted(page);
}

void ReleasePageRegion(PageHeader* page) {
  uint32_t committed = PageCommitted(page);
  uint32_t reserved = KindOfPage(page) == kMemPageLarge ? RegionReserved(page) : static_cast<uint32_t>(kPageAlignment);
  page->m_signature = 0;
  FreeRegion(page, committed, reserved);
}

bool ReleasePage(PoolHeader* pool, PageHeader* page, bool keepForFloor) {
  uint32_t committed = PageCommitted(page);
  if (keepForFloor && pool->m_bytesInUse - committed < pool->m_floor) return false;
  PageDescriptor* descriptor = page->m_descriptor;
  UnlinkFromRing(pool, descriptor, KindOf(descriptor));
  GiveBackDescriptor(pool, descriptor);
  if (pool->m_currentSmallPage == page) pool->m_currentSmallPage = nullptr;
  pool->m_bytesInUse -= committed;
  ReleasePageRegion(page);
  return true;
}

void MakeRingHead(PoolHeader* pool, PageDescriptor* descriptor) { pool->m_rings[KindOf(descriptor)] = descriptor; }

void CompactPool(PoolHeader* pool) {
  for (uint16_t kind = kMemPageMedium; kind <= kMemPageMediumSecond; ++kind) {
    PageDescriptor* head = pool->m_rings[kind];
    if (head == nullptr) continue;
    uint32_t count = 0;
    PageDescriptor* descriptor = head;
    do {
      ++count;
      descriptor = descriptor->m_next;
    } while (descriptor != head);
    descriptor = head;
    for (uint32_t i = 0; i < count; ++i) {
      PageDescriptor* next = descriptor->m_next;
      if (descriptor->m_page->m_useCount == 0) ReleasePage(pool, descriptor->m_page, true);
      descriptor = next;
    }
  }
  if (pool->m_extensionHooks[0] != nullptr) pool->m_extensionHooks[0](PoolOfHeader(pool));
}

}  // namespace mem_detail

// --- Pools -------------------------------------------------------------------------

// 1. A zero-filled 4096-byte region for the header (out of memory goes to the handler
//    and is retried while it asks).
// 2. The header is set up; a serialised pool gets its lock before the flag says so.
// 3. The rest of the header region becomes spare page descriptors.
// 4. The pool joins the global list, then gets its fixed block size (16).
MemPool* MemPool::Create(uint16_t flags) {
  void* region = nullptr;
  for (;;) {
    region = NewRegion(kMemHeaderRegionSize);
    if (region != nullptr) break;
    if (ReportPoolError(nullptr, MEM_OUT_OF_MEMORY) == 0) return nullptr;
  }
  std::memset(region, 0, kMemHeaderRegionSize);
  PoolHeader* pool = new (region) PoolHeader{};
  char* cursor = static_cast<char*>(region) + RoundUp(sizeof(PoolHeader), 16);
  pool->m_flags = static_cast<uint16_t>(flags & ~kMemPoolSerialized);
  if ((flags & kMemPoolSerialized) != 0) {
    pool->m_lock = new (cursor) platform::Lock;
    cursor += RoundUp(sizeof(platform::Lock), 16);
    pool->m_flags |= kMemPoolSerialized;
  }
  pool->m_magic = kPoolMagic;
  pool->m_fixedBlockSize = 0;
  pool->m_pageSize = kMemDefaultPageSize;
  pool->m_largeThreshold = kMemDefaultPageSize / 4;
  pool->m_floor = kMemNoFloor;
  pool->m_ceiling = kMemNoCeiling;
  pool->m_bytesInUse = kMemHeaderRegionSize;
  CarveDescriptors(pool, cursor, static_cast<char*>(region) + kMemHeaderRegionSize);
  pool->m_descriptorsInHeader = true;
  if (!RegisterRegion(region, kRegionPool)) {
    if (pool->m_lock != nullptr) pool->m_lock->~Lock();
    FreeRegion(region, kMemHeaderRegionSize, kPageAlignment);
    return nullptr;
  }
  LinkPool(pool);
  MemPool* created = PoolOfHeader(pool);
  if (!SetFixedBlockSize(created, 16)) {
    Destroy(created);
    return nullptr;
  }
  return created;
}

MemPool* MemPool::CreateFixed(uint32_t blockSize, uint32_t count, uint16_t flags) {
  MemPool* created = Create(flags);
  if (created == nullptr) return nullptr;
  if (!SetFixedBlockSize(created, blockSize)) {
    Destroy(created);
    return nullptr;
  }
  PoolHeader* pool = HeaderOf(created);
  if (pool->m_fixedBlockSize == 0) return created;
  uint32_t perPage = (pool->m_pageSize - kFixedFirstBlock) / pool->m_fixedStride;
  uint32_t pages = perPage == 0 ? 0 : (count + perPage - 1) / perPage;
  for (uint32_t i = 0; i < pages; ++i) {
    bool ceilingReached = false;
    PageHeader* page = MakePage(pool, kMemPageFixed, pool->m_pageSize, &ceilingReached);
    if (page == nullptr) break;  // the blocks come later, when they are asked for
    InitFixedPage(pool, page, pool->m_pageSize);
  }
  return created;
}

int MemPool::Destroy(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return 0;
  }
  if (g_defaultPool.load(std::memory_order_acquire) == candidate) g_defaultPool.store(nullptr, std::memory_order_release);
  UnlinkPool(pool);
  pool->m_magic = 0;
  for (uint16_t kind = 0; kind < 5; ++kind) {
    while (PageDescriptor* descriptor = pool->m_rings[kind]) {
      PageHeader* page = descriptor->m_page;
      UnlinkFromRing(pool, descriptor, kind);
      ReleasePageRegion(page);
    }
  }
  void* region = pool->m_descriptorRegions;
  while (region != nullptr) {
    void* next = LoadPointer(region);
    FreeRegion(region, kDescriptorRegionSize, kPageAlignment);
    region = next;
  }
  if (pool->m_lock != nullptr) pool->m_lock->~Lock();
  FreeRegion(pool, kMemHeaderRegionSize, kPageAlignment);
  return 1;
}

MemPool* MemPool::GetDefault() {
  MemPool* pool = g_defaultPool.load(std::memory_order_acquire);
  if (pool != nullptr) return pool;
  static platform::Lock* creationLock = new platform::Lock;
  platform::LockGuard guard(*creationLock);
  pool = g_defaultPool.load(std::memory_order_acquire);
  if (pool != nullptr) return pool;
  pool = Create(g_defaultFlags.load());
  if (pool == nullptr) return nullptr;
  uint32_t pageSize = g_defaultPageSize.load();
  uint32_t fixedBlockSize = g_defaultFixedBlockSize.load();
  if (pageSize != 0) SetPageSize(pool, pageSize);
  if (fixedBlockSize != 0xFFFF) SetFixedBlockSize(pool, fixedBlockSize);
  g_defaultPool.store(pool, std::memory_order_release);
  return pool;
}

void MemPool::ConfigureDefaultPool(uint32_t pageSize, uint32_t fixedBlockSize) {
  g_defaultPageSize.store(pageSize);
  g_defaultFixedBlockSize.store(fixedBlockSize);
}

uint16_t MemPool::DefaultFlags() { return g_defaultFlags.load(); }

uint16_t MemPool::SetDefaultFlags(uint16_t flags) { return g_defaultFlags.exchange(flags); }

// --- Blocks ------------------------------------------------------------------------

void* MemPool::Alloc(MemPool* candidate, size_t size, uint32_t flags) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return nullptr;
  }
  PoolGuard guard(pool);
  if (size == 0) {
    ReportPoolError(pool, MEM_ALLOC_ZERO);
    return nullptr;
  }
  if (size > kLargestBlock) {
    ReportPoolError(pool, MEM_BLOCK_TOO_BIG);
    return nullptr;
  }
  uint32_t bytes = static_cast<uint32_t>(size);
  if (bytes < kMemSmallLimit) {
    if (flags == 0) {
      if (void* block = PopSmall(pool, (bytes < 4 ? 4 : bytes) / 4)) return block;
    }
    return AllocSmall(pool, bytes, flags);
  }
  if (bytes > pool->m_largeThreshold) return AllocLarge(pool, bytes, flags);
  return AllocMedium(pool, bytes, flags);
}

int MemPool::Free(void* block) {
  PageHeader* page = ValidPage(block);
  if (page == nullptr) {
    ReportPoolError(nullptr, MEM_BAD_POINTER);
    return 0;
  }
  PoolHeader* pool = page->m_pool;
  bool freed;
  {
    PoolGuard guard(pool);
    switch (KindOfPage(page)) {
      case kMemPageSmall: freed = PushSmall(pool, page, block); break;
      case kMemPageFixed: freed = PushFixed(pool, page, block); break;
      case kMemPageLarge: freed = FreeLarge(pool, page, block); break;
      default: freed = FreeMedium(pool, page, block); break;
    }
  }
  if (!freed) {
    ReportPoolError(pool, MEM_BAD_POINTER);
    return 0;
  }
  return 1;
}

// 1. The block is checked and resized in place by its page's kind.
// 2. When that fails and moving is allowed, a new block of the same pool takes the
//    old one's bytes (as many as both hold) and the old block is freed.
void* MemPool::Realloc(void* block, size_t size, uint32_t flags) {
  PageHeader* page = ValidPage(block);
  if (page == nullptr) {
    ReportPoolError(nullptr, MEM_BAD_POINTER);
    return nullptr;
  }
  PoolHeader* pool = page->m_pool;
  PoolGuard guard(pool);
  if (!IsLiveBlock(pool, page, block)) {
    ReportPoolError(pool, MEM_BAD_POINTER);
    return nullptr;
  }
  if (size > kLargestBlock) {
    ReportPoolError(pool, MEM_BLOCK_TOO_BIG);
    return nullptr;
  }
  uint32_t copyBytes = 0;
  void* resized = ResizeBlock(pool, page, block, static_cast<uint32_t>(size), flags, &copyBytes);
  if (resized != nullptr) return resized;
  if ((flags & kMemResizeInPlace) != 0) {
    if (size != 0) ReportPoolError(pool, MEM_RESIZE_FAILED);
    return nullptr;
  }
  void* moved = Alloc(PoolOfHeader(pool), size, flags & kMemZeroInit);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, block, copyBytes);
  FreeRoutineOf(KindOfPage(page))(pool, page, block);
  return moved;
}

void* MemPool::AllocFixed(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return nullptr;
  }
  // The common case, one list pop: an unserialised pool whose ring head has a free block.
  if ((pool->m_flags & kMemPoolSerialized) == 0) {
    if (PageDescriptor* head = pool->m_rings[kMemPageFixed]) {
      PageHeader* page = head->m_page;
      if (void* block = page->m_freeList) {
        page->m_freeList = LoadPointer(block);
        ++page->m_useCount;
        return block;
      }
    }
  }
  PoolGuard guard(pool);
  if (pool->m_fixedBlockSize == 0) {
    ReportPoolError(pool, MEM_ALLOC_ZERO);
    return nullptr;
  }
  return AllocFixedBlock(pool);
}

int MemPool::FreeFixed(void* block) {
  PageHeader* page = ValidPage(block);
  if (page == nullptr || page->m_signature != kPageSignature + kMemPageFixed) {
    ReportPoolError(page != nullptr ? page->m_pool : nullptr, MEM_BAD_POINTER);
    return 0;
  }
  PoolHeader* pool = page->m_pool;
  bool freed;
  {
    PoolGuard guard(pool);
    freed = PushFixed(pool, page, block);
  }
  if (!freed) {
    ReportPoolError(pool, MEM_BAD_POINTER);
    return 0;
  }
  return 1;
}

size_t MemPool::BlockSize(const void* block) {
  PageHeader* page = ValidPage(block);
  if (page == nullptr) {
    ReportPoolError(nullptr, MEM_BAD_POINTER);
    return static_cast<size_t>(-1);
  }
  PoolHeader* pool = page->m_pool;
  {
    PoolGuard guard(pool);
    if (IsLiveBlock(pool, page, block)) return UsableSize(pool, page, block);
  }
  ReportPoolError(pool, MEM_BAD_POINTER);
  return static_cast<size_t>(-1);
}

MemPool* MemPool::PoolOf(const void* block) {
  PageHeader* page = ValidPage(block);
  return page == nullptr ? nullptr : PoolOfHeader(page->m_pool);
}

// --- Settings ----------------------------------------------------------------------

uint32_t MemPool::SetPageSize(MemPool* candidate, uint32_t pageSize) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return 0;
  }
  PoolGuard guard(pool);
  uint32_t size = RoundPageSize(pageSize);
  uint32_t old = pool->m_pageSize;
  if (pool->m_fixedStride + kFixedFirstBlock <= size) {
    pool->m_pageSize = static_cast<uint16_t>(size);
    pool->m_largeThreshold = static_cast<uint16_t>(size / 4);
  }
  return old;
}

bool MemPool::SetFixedBlockSize(MemPool* candidate, uint32_t blockSize) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  bool tooBig = false;
  {
    PoolGuard guard(pool);
    // Existing fixed pages are carved for the old size.
    if (pool->m_rings[kMemPageFixed] != nullptr) return false;
    uint64_t rounded = (uint64_t{blockSize} + 3) / 4 * 4;
    uint64_t stride = (rounded + kGrain - 1) / kGrain * kGrain;
    if (rounded > uint64_t{pool->m_pageSize} - kHeader || stride + kFixedFirstBlock > pool->m_pageSize) {
      tooBig = true;
    } else {
      pool->m_fixedBlockSize = static_cast<uint16_t>(rounded);
      pool->m_fixedStride = static_cast<uint32_t>(stride);
      pool->m_fixedStrideInverse = stride == 0 ? 0 : UINT64_MAX / stride + 1;
    }
  }
  if (tooBig) {
    ReportPoolError(pool, MEM_BLOCK_TOO_BIG);
    return false;
  }
  return true;
}

int64_t MemPool::SetFloor(MemPool* candidate, uint32_t floor) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return -1;
  }
  PoolGuard guard(pool);
  if (floor == kMemSettingNone) floor = kMemNoFloor;
  if (floor > pool->m_ceiling) return -1;
  uint32_t old = pool->m_floor;
  pool->m_floor = floor;
  return old;
}

int64_t MemPool::SetCeiling(MemPool* candidate, uint32_t ceiling) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return -1;
  }
  PoolGuard guard(pool);
  if (ceiling == kMemSettingNone) ceiling = kMemNoCeiling;
  if (ceiling < pool->m_floor || ceiling < pool->m_bytesInUse) return -1;
  uint32_t old = pool->m_ceiling;
  pool->m_ceiling = ceiling;
  return old;
}

uint32_t MemPool::BytesInUse(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return 0;
  }
  PoolGuard guard(pool);
  return pool->m_bytesInUse;
}

bool MemPool::GetInfo(MemPool* candidate, MemPoolInfo* info) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  if (info == nullptr) return false;
  PoolGuard guard(pool);
  info->m_pageKinds = 0;
  for (uint32_t kind = 0; kind < 5; ++kind) {
    if (pool->m_rings[kind] != nullptr) info->m_pageKinds |= 1u << kind;
  }
  info->m_fixedBlockSize = pool->m_fixedBlockSize;
  info->m_pageSize = pool->m_pageSize;
  info->m_floor = pool->m_floor;
  info->m_ceiling = pool->m_ceiling;
  info->m_flags = pool->m_flags;
  info->m_registrationCount = LivePoolCount();
  return true;
}

bool MemPool::Lock(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  if ((pool->m_flags & kMemPoolSerialized) == 0) return false;
  pool->m_lock->Enter();
  return true;
}

bool MemPool::Unlock(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  if ((pool->m_flags & kMemPoolSerialized) == 0) return false;
  // Unlocking a lock this thread does not hold would release another thread's.
  if (!pool->m_lock->IsHeldByCurrentThread()) {
    ReportPoolError(pool, MEM_LOCK_ERROR);
    return false;
  }
  pool->m_lock->Leave();
  return true;
}

bool MemPool::Compact(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  {
    PoolGuard guard(pool);
    CompactPool(pool);
  }
  TrimRegionCache();
  return true;
}

}  // namespace zentor
