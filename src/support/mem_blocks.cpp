// The four block allocators of a pool: small blocks from per-class lists, medium blocks
// from boundary-tagged pages, fixed-size blocks from per-page lists and large blocks in
// regions of their own; with their free routines, in-place resizing and block checks.

#include <algorithm>

#include "support/mem_pages.h"

namespace zentor::mem_detail {

namespace {

// --- Medium page helpers. Free blocks are linked by 16-bit offsets from the page start
// (pages are at most 64 KB): the next link at the block, the previous one 2 bytes on.

char* At(PageHeader* page, uint16_t offset) { return reinterpret_cast<char*>(page) + offset; }
uint16_t OffsetIn(PageHeader* page, const char* block) {
  return static_cast<uint16_t>(block - reinterpret_cast<char*>(page));
}
// A free block repeats its size in its last two bytes, where the block after it can
// find the start of a free predecessor.
void SetTrailer(char* block, uint32_t size) { Store16(block + size - 4, static_cast<uint16_t>(size)); }

uint32_t MediumNeeded(uint32_t size) {
  uint32_t needed = RoundUp(size + 2, kGrain);
  return needed < kMinMediumBlock ? kMinMediumBlock : needed;
}

void PushFree(PageHeader* page, char* block) {
  uint16_t offset = OffsetIn(page, block);
  uint16_t head = page->m_freeHead;
  Store16(block, head);
  Store16(block + 2, 0);
  if (head != 0) Store16(At(page, head) + 2, offset);
  page->m_freeHead = offset;
  if (page->m_rover == 0) page->m_rover = offset;
}

void UnlinkFree(PageHeader* page, char* block) {
  uint16_t next = NextFree(block);
  uint16_t prev = PrevFree(block);
  if (prev != 0) {
    Store16(At(page, prev), next);
  } else {
    page->m_freeHead = next;
  }
  if (next != 0) Store16(At(page, next) + 2, prev);
  if (page->m_rover == OffsetIn(page, block)) page->m_rover = next != 0 ? next : page->m_freeHead;
}

void NoteFreeSize(PageHeader* page, uint32_t size) {
  if (size > page->m_descriptor->m_largestFree) page->m_descriptor->m_largestFree = static_cast<uint16_t>(size);
}

void InitMediumPage(PageHeader* page, uint32_t length) {
  char* block = At(page, static_cast<uint16_t>(kMediumFirstBlock));
  uint32_t size = RoundDown(length - kMediumFirstBlock, kGrain);
  // Nothing lies before the first block, so it counts as following a block in use; the
  // end tag is a block of size 0 in use, so nothing ever merges past the page end.
  SetTag(block, static_cast<uint16_t>(size | kTagPrevInUse));
  SetTrailer(block, size);
  char* end = block + size;
  SetTag(end, kTagInUse);
  page->m_bound = end;
  page->m_freeHead = 0;
  page->m_rover = 0;
  PushFree(page, block);
  page->m_descriptor->m_largestFree = static_cast<uint16_t>(size);
}

// Takes `needed` bytes from a free block: whole when the rest would be below the split
// minimum, otherwise from the block's end, so the free block stays where it is, shorter.
char* Carve(PageHeader* page, char* block, uint32_t size, uint32_t needed) {
  uint32_t remainder = size - needed;
  ++page->m_useCount;
  if (remainder < MediumSplitMinimum(page)) {
    UnlinkFree(page, block);
    SetTag(block, static_cast<uint16_t>(TagOf(block) | kTagInUse));
    char* follower = block + size;
    SetTag(follower, static_cast<uint16_t>(TagOf(follower) | kTagPrevInUse));
    return block;
  }
  SetTag(block, static_cast<uint16_t>(remainder | (TagOf(block) & kTagPrevInUse)));
  SetTrailer(block, remainder);
  char* result = block + remainder;
  SetTag(result, static_cast<uint16_t>(needed | kTagInUse));
  char* follower = result + needed;
  SetTag(follower, static_cast<uint16_t>(TagOf(follower) | kTagPrevInUse));
  page->m_rover = OffsetIn(page, block);
  return result;
}

// First fit from the rover round the page's free list; a page that cannot serve the
// request records the largest free block it saw.
char* TakeFromPage(PageHeader* page, uint32_t needed) {
  uint16_t start = page->m_rover != 0 ? page->m_rover : page->m_freeHead;
  uint32_t largest = 0;
  if (start != 0) {
    uint16_t offset = start;
    do {
      char* block = At(page, offset);
      uint32_t size = SizeOfTag(TagOf(block));
      if (size >= needed) return Carve(page, block, size, needed);
      largest = std::max(largest, size);
      offset = NextFree(block);
      if (offset == 0) offset = page->m_freeHead;
    } while (offset != start);
  }
  page->m_descriptor->m_largestFree = static_cast<uint16_t>(largest);
  return nullptr;
}

bool IsLiveMedium(const PageHeader* page, const void* block) {
  const char* p = static_cast<const char*>(block);
  const char* first = reinterpret_cast<const char*>(page) + kMediumFirstBlock;
  if (p < first || p >= page->m_bound || (reinterpret_cast<uintptr_t>(p) & (kGrain - 1)) != 0) return false;
  uint16_t tag = TagOf(p);
  uint32_t size = SizeOfTag(tag);
  if ((tag & kTagInUse) == 0 || size < kMinMediumBlock || size % kGrain != 0) return false;
  if (size > static_cast<uint32_t>(page->m_bound - p)) return false;
  return (TagOf(p + size) & kTagPrevInUse) != 0;
}

void* ResizeMedium(PoolHeader* pool, PageHeader* page, char* block, uint32_t size, uint32_t flags, uint32_t* copyBytes) {
  uint16_t tag = TagOf(block);
  uint32_t have = SizeOfTag(tag);
  uint32_t usable = have - 2;
  uint32_t needed = MediumNeeded(size);
  uint32_t splitMinimum = MediumSplitMinimum(page);
  if (size > usable) {
    *copyBytes = usable;
    if (size > pool->m_largeThreshold) return nullptr;
    char* follower = block + have;
    uint16_t followerTag = TagOf(follower);
    if ((followerTag & kTagInUse) != 0 || have + SizeOfTag(followerTag) < needed) return nullptr;
    uint32_t total = have + SizeOfTag(followerTag);
    UnlinkFree(page, follower);
    uint32_t rest = total - needed;
    if (rest < splitMinimum) {
      SetTag(block, static_cast<uint16_t>(total | (tag & ~kTagSizeMask)));
      char* after = block + total;
      SetTag(after, static_cast<uint16_t>(TagOf(after) | kTagPrevInUse));
    } else {
      SetTag(block, static_cast<uint16_t>(needed | (tag & ~kTagSizeMask)));
      char* tail = block + needed;
      SetTag(tail, static_cast<uint16_t>(rest | kTagPrevInUse));
      SetTrailer(tail, rest);
      PushFree(page, tail);  // the block after it already knows its predecessor is free
      NoteFreeSize(page, rest);
    }
    if ((flags & kMemZeroInit) != 0) std::memset(block + usable, 0, SizeOfTag(TagOf(block)) - 2 - usable);
    return block;
  }
  uint32_t tailSize = have - needed;
  if (tailSize < splitMinimum) return block;
  SetTag(block, static_cast<uint16_t>(needed | (tag & ~kTagSizeMask)));
  char* tail = block + needed;
  uint32_t total = tailSize;
  char* follower = block + have;
  uint16_t followerTag = TagOf(follower);
  if ((followerTag & kTagInUse) == 0) {
    UnlinkFree(page, follower);
    total += SizeOfTag(followerTag);
  }
  SetTag(tail, static_cast<uint16_t>(total | kTagPrevInUse));
  SetTrailer(tail, total);
  char* after = tail + total;
  SetTag(after, static_cast<uint16_t>(TagOf(after) & ~kTagPrevInUse));
  PushFree(page, tail);
  NoteFreeSize(page, total);
  return block;
}

// --- Small blocks: a class byte before each block; blocks are cut from the current
// small page in order.

uint32_t ClassOf(uint32_t size) { return (size < 4 ? 4 : size) / 4; }
uint32_t SmallUsable(uint32_t sizeClass) { return sizeClass * 4 + 3; }

void* CutSmall(PoolHeader* pool, uint32_t sizeClass) {
  PageHeader* page = pool->m_currentSmallPage;
  if (page != nullptr) {
    char* next = page->m_bound;
    char* end = reinterpret_cast<char*>(page) + kSmallPageSize;
    // The block's class byte, its usable bytes: class * 4 + 4 bytes from next - 1.
    if (static_cast<uint32_t>(end - (next - 1)) >= sizeClass * 4 + 4) {
      next[-1] = static_cast<char>(sizeClass);
      page->m_bound = next + SmallStride(sizeClass);
      ++page->m_useCount;
      return next;
    }
    // The page's tail becomes one free block of the class that fits it.
    uint32_t tail = static_cast<uint32_t>(end - (next - 1));
    if (tail >= 8) {
      uint32_t tailClass = std::min(tail / 4 - 1, kSmallClasses - 1);
      next[-1] = static_cast<char>(tailClass | kSmallFreeMark);
      StorePointer(next, pool->m_smallLists[tailClass]);
      pool->m_smallLists[tailClass] = next;
      page->m_bound = next + SmallStride(tailClass);
    }
  }
  bool ceilingReached = false;
  page = MakePage(pool, kMemPageSmall, kSmallPageSize, &ceilingReached);
  if (page == nullptr) return nullptr;
  pool->m_currentSmallPage = page;
  char* first = reinterpret_cast<char*>(page) + kSmallFirstBlock;
  first[-1] = static_cast<char>(sizeClass);
  page->m_bound = first + SmallStride(sizeClass);
  ++page->m_useCount;
  return first;
}

// --- Fixed-size blocks.

bool OnFixedFreeList(const PageHeader* page, const void* block) {
  for (void* free = page->m_freeList; free != nullptr; free = LoadPointer(free)) {
    if (free == block) return true;
  }
  return false;
}

// --- Large blocks.

uint32_t LargeCommitFor(uint32_t size) { return RoundUp(size + kHeader, 4096); }

}  // namespace

uint32_t MediumSplitMinimum(const PageHeader* page) {
  return KindOfPage(page) == kMemPageMediumSecond ? kMinMediumBlock : kSplitMinimum;
}

uint32_t SmallStride(uint32_t sizeClass) { return RoundUp(sizeClass * 4 + 4, kGrain); }

void* AllocSmall(PoolHeader* pool, uint32_t size, uint32_t flags) {
  uint32_t sizeClass = ClassOf(size);
  char* block = static_cast<char*>(PopSmall(pool, sizeClass));
  if (block == nullptr) {
    block = static_cast<char*>(CutSmall(pool, sizeClass));
    if (block == nullptr) return AllocMedium(pool, size, flags);
  }
  if ((flags & kMemZeroInit) != 0) std::memset(block, 0, SmallUsable(sizeClass));
  return block;
}

// 1. Walk the medium ring from its head, skipping pages whose largest free block is too
//    small; the page that serves becomes the head (next fit across pages).
// 2. Otherwise a new page (the ceiling permitting), or a large block when the operating
//    system refuses the page.
void* AllocMedium(PoolHeader* pool, uint32_t size, uint32_t flags) {
  uint32_t needed = MediumNeeded(size);
  for (;;) {
    if (PageDescriptor* head = pool->m_rings[kMemPageMedium]) {
      PageDescriptor* descriptor = head;
      do {
        if (descriptor->m_largestFree >= needed) {
          if (char* block = TakeFromPage(descriptor->m_page, needed)) {
            MakeRingHead(pool, descriptor);
            if ((flags & kMemZeroInit) != 0) std::memset(block, 0, SizeOfTag(TagOf(block)) - 2);
            return block;
          }
        }
        descriptor = descriptor->m_next;
      } while (descriptor != head);
    }
    bool ceilingReached = false;
    PageHeader* page = MakePage(pool, kMemPageMedium, pool->m_pageSize, &ceilingReached);
    if (page != nullptr) {
      InitMediumPage(page, pool->m_pageSize);
      continue;  // the new page is the ring head and serves at once
    }
    if (ceilingReached) {
      if (ReportPoolError(pool, MEM_EXCEEDED_CEILING) != 0) continue;
      return nullptr;
    }
    return AllocLarge(pool, size, flags);
  }
}

// 1. A region of size + header; when the operating system refuses it, the pool's empty
//    pages and the kept regions are released and the region tried once more.
// 2. Then the error handler decides (7 when the ceiling stops it, 2 when the system
//    does) and the attempt repeats while it asks.
void* AllocLarge(PoolHeader* pool, uint32_t size, uint32_t flags) {
  uint32_t length = size + kHeader;
  for (;;) {
    bool ceilingReached = false;
    PageHeader* page = MakePage(pool, kMemPageLarge, length, &ceilingReached);
    if (page == nullptr && !ceilingReached) {
      CompactPool(pool);
      TrimRegionCache();
      page = MakePage(pool, kMemPageLarge, length, &ceilingReached);
    }
    if (page != nullptr) {
      page->m_useCount = 1;
      uint64_t reserved = (uint64_t{LargeCommitFor(size)} + kPageAlignment - 1) / kPageAlignment * kPageAlignment;
      page->m_bound = reinterpret_cast<char*>(page) + reserved;
      char* block = reinterpret_cast<char*>(page) + kLargeFirstBlock;
      // A region kept for reuse is not zero; a fresh one is.
      if ((flags & kMemZeroInit) != 0) std::memset(block, 0, LargeCommitFor(size) - kLargeFirstBlock);
      return block;
    }
    if (ReportPoolError(pool, ceilingReached ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY) != 0) continue;
    return nullptr;
  }
}

void InitFixedPage(PoolHeader* pool, PageHeader* page, uint32_t length) {
  char* first = reinterpret_cast<char*>(page) + kFixedFirstBlock;
  uint32_t stride = pool->m_fixedStride;
  uint32_t count = (length - kFixedFirstBlock) / stride;
  char* block = first;
  for (uint32_t i = 1; i < count; ++i, block += stride) StorePointer(block, block + stride);
  if (count > 0) StorePointer(block, nullptr);
  page->m_freeList = count > 0 ? first : nullptr;
  page->m_bound = first + count * stride;
}

// 1. Walk the fixed ring from its head for a page with a free block; that page becomes
//    the head.
// 2. Otherwise add a page, halving its size while the system refuses and it still holds
//    a block; below that the handler decides (error 2) and the attempt repeats while it
//    asks.
void* AllocFixedBlock(PoolHeader* pool) {
  for (;;) {
    if (PageDescriptor* head = pool->m_rings[kMemPageFixed]) {
      PageDescriptor* descriptor = head;
      do {
        PageHeader* page = descriptor->m_page;
        if (void* block = page->m_freeList) {
          page->m_freeList = LoadPointer(block);
          ++page->m_useCount;
          MakeRingHead(pool, descriptor);
          return block;
        }
        descriptor = descriptor->m_next;
      } while (descriptor != head);
    }
    uint32_t length = pool->m_pageSize;
    bool ceilingReached = false;
    PageHeader* page = nullptr;
    for (;;) {
      page = MakePage(pool, kMemPageFixed, length, &ceilingReached);
      if (page != nullptr || ceilingReached) break;
      uint32_t half = length / 2;
      if (half < pool->m_fixedStride + kFixedFirstBlock) break;
      length = half;
    }
    if (page != nullptr) {
      InitFixedPage(pool, page, length);
      continue;
    }
    if (ReportPoolError(pool, ceilingReached ? MEM_EXCEEDED_CEILING : MEM_OUT_OF_MEMORY) != 0) continue;
    return nullptr;
  }
}

bool FreeSmall(PoolHeader* pool, PageHeader* page, void* block) { return PushSmall(pool, page, block); }

// Merges the block with a free follower and a free predecessor, then releases the
// page when it holds no block any more.
bool FreeMedium(PoolHeader* pool, PageHeader* page, void* block) {
  if (!IsLiveMedium(page, block)) return false;
  char* start = static_cast<char*>(block);
  uint16_t tag = TagOf(start);
  // The block's own tag is left inside the merged free block when a free predecessor
  // absorbs it: marked free, a second free of the same pointer is recognised.
  SetTag(start, static_cast<uint16_t>(tag & ~kTagInUse));
  uint32_t total = SizeOfTag(tag);
  uint16_t prevFlag = tag & kTagPrevInUse;
  char* follower = start + total;
  uint16_t followerTag = TagOf(follower);
  if ((followerTag & kTagInUse) == 0) {
    UnlinkFree(page, follower);
    total += SizeOfTag(followerTag);
  }
  if (prevFlag == 0) {
    uint32_t prevSize = Load16(start - 4);
    char* prev = start - prevSize;
    UnlinkFree(page, prev);
    start = prev;
    total += prevSize;
    prevFlag = TagOf(prev) & kTagPrevInUse;
  }
  SetTag(start, static_cast<uint16_t>(total | prevFlag));
  SetTrailer(start, total);
  char* after = start + total;
  SetTag(after, static_cast<uint16_t>(TagOf(after) & ~kTagPrevInUse));
  PushFree(page, start);
  NoteFreeSize(page, total);
  if (--page->m_useCount == 0) ReleasePage(pool, page, true);
  return true;
}

bool FreeFixedBlock(PoolHeader* pool, PageHeader* page, void* block) { return PushFixed(pool, page, block); }

bool FreeLarge(PoolHeader* pool, PageHeader* page, void* block) {
  if (block != reinterpret_cast<char*>(page) + kLargeFirstBlock || page->m_useCount != 1) return false;
  page->m_useCount = 0;
  // An empty large region is of no use to later requests: it goes whatever the floor.
  ReleasePage(pool, page, false);
  return true;
}

PageFreeRoutine FreeRoutineOf(uint16_t kind) {
  switch (kind) {
    case kMemPageMedium:
    case kMemPageMediumSecond: return &FreeMedium;
    case kMemPageFixed: return &FreeFixedBlock;
    case kMemPageLarge: return &FreeLarge;
    case kMemPageSmall: return &FreeSmall;
    default: return nullptr;
  }
}

bool IsLiveBlock(const PoolHeader* pool, const PageHeader* page, const void* block) {
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond: return IsLiveMedium(page, block);
    case kMemPageFixed: return page->m_useCount != 0 && IsFixedSlot(pool, page, block) && !OnFixedFreeList(page, block);
    case kMemPageLarge: return block == reinterpret_cast<const char*>(page) + kLargeFirstBlock && page->m_useCount == 1;
    case kMemPageSmall: return IsLiveSmall(page, block);
    default: return false;
  }
}

uint32_t UsableSize(const PoolHeader* pool, const PageHeader* page, const void* block) {
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond: return SizeOfTag(TagOf(static_cast<const char*>(block))) - 2;
    case kMemPageFixed: return pool->m_fixedBlockSize;
    case kMemPageLarge: return PageCommitted(page) - kLargeFirstBlock;
    case kMemPageSmall: return SmallUsable(static_cast<uint8_t>(static_cast<const char*>(block)[-1]) & kSmallClassMask);
    default: return 0;
  }
}

void* ResizeBlock(PoolHeader* pool, PageHeader* page, void* block, uint32_t size, uint32_t flags, uint32_t* copyBytes) {
  uint32_t usable = UsableSize(pool, page, block);
  *copyBytes = std::min(usable, size);
  switch (KindOfPage(page)) {
    case kMemPageMedium:
    case kMemPageMediumSecond:
      return ResizeMedium(pool, page, static_cast<char*>(block), size, flags, copyBytes);
    case kMemPageFixed:
      return size <= pool->m_fixedBlockSize ? block : nullptr;
    case kMemPageSmall: {
      uint32_t sizeClass = static_cast<uint8_t>(static_cast<char*>(block)[-1]) & kSmallClassMask;
      return size < kMemSmallLimit && ClassOf(size) == sizeClass ? block : nullptr;
    }
    case kMemPageLarge: {
      bool mayMove = (flags & kMemResizeInPlace) == 0;
      // A block that has become medium-sized moves to a medium page when it may.
      if (size <= pool->m_largeThreshold && mayMove) return nullptr;
      uint32_t committed = usable + kLargeFirstBlock;
      uint32_t wanted = LargeCommitFor(size);
      if (wanted == committed) return block;
      if (wanted < committed) {
        if (ResizeRegionInPlace(page, committed, wanted)) pool->m_bytesInUse -= committed - wanted;
        return block;
      }
      uint32_t growth = wanted - committed;
      uint32_t reserved = static_cast<uint32_t>(page->m_bound - reinterpret_cast<char*>(page));
      if (uint64_t{pool->m_bytesInUse} + growth > pool->m_ceiling || wanted > reserved) return nullptr;
      if (!ResizeRegionInPlace(page, committed, wanted)) return nullptr;
      pool->m_bytesInUse += growth;
      return block;  // freshly committed memory reads as zeros
    }
    default:
      return nullptr;
  }
}

}  // namespace zentor::mem_detail
