// Consistency checks, the pointer check, the heap walk and the free-block fill of a
// pool. They read every structure defensively (bounded loops, ranges checked before
// use), so a damaged pool is reported instead of followed.

#include <algorithm>
#include <bitset>

#include "support/mem_pages.h"
#include "platform/virtual_memory.h"

namespace zentor {

using namespace mem_detail;

namespace {

constexpr uint32_t kRingLimit = 1u << 20;
using SlotSet = std::bitset<kPageAlignment / 4>;

char* BaseOf(PageHeader* page) { return reinterpret_cast<char*>(page); }

bool CheckMediumPage(PageHeader* page) {
  char* base = BaseOf(page);
  char* first = base + kMediumFirstBlock;
  char* end = page->m_bound;
  if (end < first || end - base > static_cast<ptrdiff_t>(kMaxPageLength - 1)) return false;
  if ((TagOf(end) & ~kTagPrevInUse) != kTagInUse) return false;
  SlotSet freeBlocks;
  uint32_t inUse = 0;
  uint32_t freeCount = 0;
  uint32_t largest = 0;
  bool previousInUse = true;
  char* p = first;
  while (p < end) {
    uint16_t tag = TagOf(p);
    uint32_t size = SizeOfTag(tag);
    if (size < kMinMediumBlock || size % kGrain != 0 || size > static_cast<uint32_t>(end - p)) return false;
    if (((tag & kTagPrevInUse) != 0) != previousInUse) return false;
    bool used = (tag & kTagInUse) != 0;
    if (used) {
      ++inUse;
    } else {
      // Two free blocks side by side should have been merged.
      if (!previousInUse || Load16(p + size - 4) != size) return false;
      ++freeCount;
      largest = std::max(largest, size);
      freeBlocks.set(static_cast<size_t>(p - base) / 4);
    }
    previousInUse = used;
    p += size;
  }
  if (p != end || ((TagOf(end) & kTagPrevInUse) != 0) != previousInUse) return false;
  if (inUse != page->m_useCount || largest > page->m_descriptor->m_largestFree) return false;
  uint32_t listed = 0;
  uint16_t previous = 0;
  bool roverListed = page->m_rover == 0;
  for (uint16_t offset = page->m_freeHead; offset != 0; offset = NextFree(base + offset)) {
    if (++listed > freeCount || offset % 4 != 0 || !freeBlocks.test(offset / 4)) return false;
    if (PrevFree(base + offset) != previous) return false;
    previous = offset;
    if (offset == page->m_rover) roverListed = true;
  }
  return listed == freeCount && roverListed;
}

bool CheckFixedPage(const PoolHeader* pool, PageHeader* page) {
  char* base = BaseOf(page);
  char* first = base + kFixedFirstBlock;
  char* end = page->m_bound;
  uint32_t stride = pool->m_fixedStride;
  if (stride == 0 || end < first || end - base > static_cast<ptrdiff_t>(kPageAlignment)) return false;
  if (static_cast<uint32_t>(end - first) % stride != 0) return false;
  uint32_t capacity = static_cast<uint32_t>(end - first) / stride;
  SlotSet seen;
  uint32_t freeCount = 0;
  for (void* block = page->m_freeList; block != nullptr; block = LoadPointer(block)) {
    char* p = static_cast<char*>(block);
    if (++freeCount > capacity || p < first || p >= end || static_cast<uint32_t>(p - first) % stride != 0) return false;
    size_t slot = static_cast<size_t>(p - first) / stride;
    if (seen.test(slot)) return false;
    seen.set(slot);
  }
  return freeCount + page->m_useCount == capacity;
}

// Walks a small page's blocks; counts its free ones into *freeCount.
bool CheckSmallPage(PageHeader* page, uint32_t* freeCount) {
  char* base = BaseOf(page);
  char* first = base + kSmallFirstBlock;
  char* end = page->m_bound;
  if (end < first || end - base > static_cast<ptrdiff_t>(kSmallPageSize + 1)) return false;
  uint32_t inUse = 0;
  char* p = first;
  while (p < end) {
    uint8_t classByte = static_cast<uint8_t>(p[-1]);
    uint32_t sizeClass = classByte & kSmallClassMask;
    if (sizeClass == 0 || (classByte & ~(kSmallClassMask | kSmallFreeMark)) != 0) return false;
    if (p + sizeClass * 4 + 3 > base + kSmallPageSize) return false;
    if ((classByte & kSmallFreeMark) != 0) {
      ++*freeCount;
    } else {
      ++inUse;
    }
    p += SmallStride(sizeClass);
  }
  return p == end && inUse == page->m_useCount;
}

bool CheckLargePage(PageHeader* page) {
  uint32_t committed = RegionCommitted(page);
  return page->m_useCount == 1 && committed > kLargeFirstBlock &&
         static_cast<uint32_t>(page->m_bound - BaseOf(page)) >= committed;
}

bool CheckSmallLists(PoolHeader* pool, uint32_t freeSmallBlocks) {
  uint32_t listed = 0;
  for (uint32_t sizeClass = 1; sizeClass < kSmallClasses; ++sizeClass) {
    for (void* block = pool->m_smallLists[sizeClass]; block != nullptr; block = LoadPointer(block)) {
      if (++listed > freeSmallBlocks) return false;
      PageHeader* page = ValidPage(block);
      if (page == nullptr || page->m_pool != pool || KindOfPage(page) != kMemPageSmall) return false;
      char* p = static_cast<char*>(block);
      if (p < BaseOf(page) + kSmallFirstBlock || p >= page->m_bound) return false;
      if (static_cast<uint8_t>(p[-1]) != (sizeClass | kSmallFreeMark)) return false;
    }
  }
  return listed == freeSmallBlocks;
}

bool CheckPool(PoolHeader* pool) {
  uint64_t accounted = kMemHeaderRegionSize;
  uint32_t freeSmallBlocks = 0;
  bool currentSmallPageFound = pool->m_currentSmallPage == nullptr;
  for (uint16_t kind = 0; kind < 5; ++kind) {
    PageDescriptor* head = pool->m_rings[kind];
    if (head == nullptr) continue;
    PageDescriptor* descriptor = head;
    uint32_t count = 0;
    do {
      if (++count > kRingLimit || descriptor->m_next->m_prev != descriptor || KindOf(descriptor) != kind) return false;
      PageHeader* page = descriptor->m_page;
      if (page == nullptr || RegionKindAt(page) != kRegionPage || page->m_descriptor != descriptor ||
          page->m_pool != pool || page->m_signature != kPageSignature + kind || page->m_freeRoutine != FreeRoutineOf(kind)) {
        return false;
      }
      bool pageOk = false;
      switch (kind) {
        case kMemPageMedium:
        case kMemPageMediumSecond: pageOk = CheckMediumPage(page); break;
        case kMemPageFixed: pageOk = CheckFixedPage(pool, page); break;
        case kMemPageLarge: pageOk = CheckLargePage(page); break;
        case kMemPageSmall: pageOk = CheckSmallPage(page, &freeSmallBlocks); break;
      }
      if (!pageOk) return false;
      if (page == pool->m_currentSmallPage) currentSmallPageFound = true;
      accounted += PageCommitted(page);
      descriptor = descriptor->m_next;
    } while (descriptor != head);
  }
  return currentSmallPageFound && accounted == pool->m_bytesInUse && CheckSmallLists(pool, freeSmallBlocks);
}

// --- The walk: pages in ring order, kinds 0 to 4, blocks in address order.

char* FirstBlockOf(PageHeader* page) {
  char* base = BaseOf(page);
  char* first = nullptr;
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond: first = base + kMediumFirstBlock; break;
    case kMemPageFixed: first = base + kFixedFirstBlock; break;
    case kMemPageLarge: return base + kLargeFirstBlock;
    case kMemPageSmall: first = base + kSmallFirstBlock; break;
  }
  return first != nullptr && first < page->m_bound ? first : nullptr;
}

// The block after `block` in its page, null at the page's end; *damaged when the block's
// own size cannot be trusted.
char* NextBlockOf(const PoolHeader* pool, PageHeader* page, char* block, bool* damaged) {
  uint32_t step = 0;
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond: step = SizeOfTag(TagOf(block)); break;
    case kMemPageFixed: step = pool->m_fixedStride; break;
    case kMemPageLarge: return nullptr;
    case kMemPageSmall: {
      uint32_t sizeClass = static_cast<uint8_t>(block[-1]) & kSmallClassMask;
      step = sizeClass == 0 ? 0 : SmallStride(sizeClass);
      break;
    }
  }
  if (step == 0 || step % kGrain != 0) {
    *damaged = true;
    return nullptr;
  }
  if (static_cast<uint32_t>(page->m_bound - block) <= step) return nullptr;
  return block + step;
}

void Describe(const PoolHeader* pool, PageHeader* page, char* block, MemWalkEntry* entry) {
  entry->m_block = block;
  entry->m_pageKind = KindOfPage(page);
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond:
      entry->m_inUse = (TagOf(block) & kTagInUse) != 0;
      entry->m_size = SizeOfTag(TagOf(block)) - 2;
      break;
    case kMemPageFixed:
      entry->m_inUse = IsLiveBlock(pool, page, block);
      entry->m_size = pool->m_fixedBlockSize;
      break;
    case kMemPageLarge:
      entry->m_inUse = page->m_useCount == 1;
      entry->m_size = PageCommitted(page) - kLargeFirstBlock;
      break;
    case kMemPageSmall:
      entry->m_inUse = (static_cast<uint8_t>(block[-1]) & kSmallFreeMark) == 0;
      entry->m_size = (static_cast<uint8_t>(block[-1]) & kSmallClassMask) * 4u + 3;
      break;
  }
}

bool PageLooksRight(const PoolHeader* pool, PageHeader* page) {
  return RegionKindAt(page) == kRegionPage && page->m_pool == pool && page->m_descriptor != nullptr &&
         page->m_descriptor->m_page == page && KindOfPage(page) <= kMemPageSmall;
}

}  // namespace

bool MemPool::Check(MemPool* candidate) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  PoolGuard guard(pool);
  return CheckPool(pool);
}

bool MemPool::CheckPointer(MemPool* candidate, const void* block) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  PageHeader* page = ValidPage(block);
  if (page == nullptr || page->m_pool != pool) return false;
  PoolGuard guard(pool);
  return IsLiveBlock(pool, page, block);
}

// 1. With no block in the entry the walk starts at the first page of kind 0.
// 2. Otherwise the entry's block must be a block of one of the pool's pages (found by
//    walking that page); the walk goes on after it.
// 3. Pages follow their kind's ring from its head; kinds follow each other 0 to 4.
MemWalkStatus MemPool::Walk(MemPool* candidate, MemWalkEntry* entry) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) return MemWalkStatus::BadPool;
  if (entry == nullptr) return MemWalkStatus::BadEntry;
  PoolGuard guard(pool);
  uint16_t kind = 0;
  PageDescriptor* descriptor = nullptr;
  if (entry->m_block != nullptr) {
    PageHeader* page = ValidPage(entry->m_block);
    if (page == nullptr || page->m_pool != pool) return MemWalkStatus::BadEntry;
    if (!PageLooksRight(pool, page)) return MemWalkStatus::BadPage;
    char* wanted = static_cast<char*>(entry->m_block);
    bool damaged = false;
    char* block = FirstBlockOf(page);
    uint32_t steps = 0;
    while (block != nullptr && block < wanted && ++steps < kPageAlignment) block = NextBlockOf(pool, page, block, &damaged);
    if (damaged) return MemWalkStatus::BadPage;
    if (block != wanted) return MemWalkStatus::BadEntry;
    char* next = NextBlockOf(pool, page, block, &damaged);
    if (damaged) return MemWalkStatus::BadPage;
    if (next != nullptr) {
      Describe(pool, page, next, entry);
      return MemWalkStatus::Ok;
    }
    descriptor = page->m_descriptor;
    kind = KindOf(descriptor);
    descriptor = descriptor->m_next == pool->m_rings[kind] ? nullptr : descriptor->m_next;
    if (descriptor == nullptr) ++kind;
  }
  for (; kind < 5; ++kind) {
    if (descriptor == nullptr) descriptor = pool->m_rings[kind];
    PageDescriptor* head = pool->m_rings[kind];
    uint32_t count = 0;
    while (descriptor != nullptr) {
      PageHeader* page = descriptor->m_page;
      if (++count > kRingLimit || !PageLooksRight(pool, page)) return MemWalkStatus::BadPage;
      if (char* block = FirstBlockOf(page)) {
        Describe(pool, page, block, entry);
        return MemWalkStatus::Ok;
      }
      descriptor = descriptor->m_next == head ? nullptr : descriptor->m_next;
    }
  }
  entry->m_block = nullptr;
  return MemWalkStatus::End;
}

bool MemPool::FillFree(MemPool* candidate, uint8_t fill) {
  PoolHeader* pool = ValidPool(candidate);
  if (pool == nullptr) {
    ReportPoolError(HeaderOf(candidate), MEM_BAD_MEM_POOL);
    return false;
  }
  PoolGuard guard(pool);
  // Only a consistent pool is written to: the fill must not follow damaged links.
  if (!CheckPool(pool)) return false;
  for (uint16_t kind = 0; kind < 5; ++kind) {
    PageDescriptor* head = pool->m_rings[kind];
    if (head == nullptr) continue;
    PageDescriptor* descriptor = head;
    do {
      PageHeader* page = descriptor->m_page;
      char* base = BaseOf(page);
      switch (kind) {
        case kMemPageMedium:
        case kMemPageMediumSecond:
          for (uint16_t offset = page->m_freeHead; offset != 0; offset = NextFree(base + offset)) {
            char* block = base + offset;
            uint32_t size = SizeOfTag(TagOf(block));
            std::memset(block + 4, fill, size - 8);  // keeps the links and the size at the end
          }
          break;
        case kMemPageFixed:
          if (pool->m_fixedBlockSize > sizeof(void*)) {
            for (void* block = page->m_freeList; block != nullptr; block = LoadPointer(block)) {
              std::memset(static_cast<char*>(block) + sizeof(void*), fill, pool->m_fixedBlockSize - sizeof(void*));
            }
          }
          break;
        default:
          break;
      }
      descriptor = descriptor->m_next;
    } while (descriptor != head);
  }
  for (uint32_t sizeClass = 1; sizeClass < kSmallClasses; ++sizeClass) {
    uint32_t usable = sizeClass * 4 + 3;
    if (usable <= sizeof(void*)) continue;
    for (void* block = pool->m_smallLists[sizeClass]; block != nullptr; block = LoadPointer(block)) {
      std::memset(static_cast<char*>(block) + sizeof(void*), fill, usable - sizeof(void*));
    }
  }
  return true;
}

}  // namespace zentor
