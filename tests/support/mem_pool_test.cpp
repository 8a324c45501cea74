#include "support/mem_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/mem_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace zentor {
namespace {

using testing_support::RecordedMemErrors;

constexpr uint32_t kGrain = kMemBlockAlignment;
constexpr uint32_t kMinMedium = sizeof(void*) == 4 ? 12 : 16;

uint32_t RoundUp(uint32_t value, uint32_t step) { return (value + step - 1) / step * step; }

// The byte at offset i of a block filled with `fill`: position-dependent, so a block
// moved by a few bytes or overwritten by a neighbour's pattern does not pass.
uint8_t PatternByte(uint8_t fill, size_t i) { return static_cast<uint8_t>(fill ^ (i * 131u) ^ (i >> 8)); }

void FillBlock(void* block, size_t size, uint8_t fill) {
  uint8_t* bytes = static_cast<uint8_t*>(block);
  for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(fill, i);
}

// The first offset whose byte is not the pattern's, or -1.
long long FirstBadByte(const void* block, size_t size, uint8_t fill) {
  const uint8_t* bytes = static_cast<const uint8_t*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != PatternByte(fill, i)) return static_cast<long long>(i);
  }
  return -1;
}

struct ShadowBlock {
  size_t m_size;    // bytes asked for
  uint8_t m_fill;
  bool m_fixed;     // came from AllocFixed and was not moved since
};

// A pool driven by random allocations, frees and reallocations, with every live block
// mirrored in a std::map (block -> size and fill byte) that the pool is checked against.
class ShadowedPool {
 public:
  ShadowedPool(MemPool* pool, uint32_t seed) : m_pool(pool), m_random(seed) {}

  void Alloc(size_t size) {
    void* block = MemPool::Alloc(m_pool, size);
    ASSERT_NE(block, nullptr) << "size " << size;
    Add(block, size, false);
  }

  void AllocFixed() {
    void* block = MemPool::AllocFixed(m_pool);
    ASSERT_NE(block, nullptr);
    MemPoolInfo info;
    ASSERT_TRUE(MemPool::GetInfo(m_pool, &info));
    Add(block, info.m_fixedBlockSize, true);
  }

  void FreeRandom() {
    if (m_live.empty()) return;
    size_t index = m_random() % m_live.size();
    void* block = m_live[index];
    ShadowBlock shadow = m_blocks.at(block);
    ASSERT_EQ(FirstBadByte(block, shadow.m_size, shadow.m_fill), -1) << "before free, size " << shadow.m_size;
    ASSERT_EQ(shadow.m_fixed ? MemPool::FreeFixed(block) : MemPool::Free(block), 1);
    m_blocks.erase(block);
    m_live[index] = m_live.back();
    m_live.pop_back();
  }

  void ReallocRandom(size_t newSize, uint32_t flags) {
    if (m_live.empty()) return;
    size_t index = m_random() % m_live.size();
    void* block = m_live[index];
    ShadowBlock shadow = m_blocks.at(block);
    size_t oldUsable = MemPool::BlockSize(block);
    void* moved = MemPool::Realloc(block, newSize, flags);
    if ((flags & kMemResizeInPlace) != 0 && moved == nullptr) {
      // Refused in place: the block must be untouched.
      ASSERT_EQ(FirstBadByte(block, shadow.m_size, shadow.m_fill), -1);
      return;
    }
    ASSERT_NE(moved, nullptr) << "realloc " << shadow.m_size << " -> " << newSize;
    size_t kept = std::min(shadow.m_size, newSize);
    ASSERT_EQ(FirstBadByte(moved, kept, shadow.m_fill), -1) << "realloc " << shadow.m_size << " -> " << newSize;
    // Zero-fill clears the bytes that were not usable before.
    if ((flags & kMemZeroInit) != 0 && newSize > oldUsable) {
      const uint8_t* bytes = static_cast<const uint8_t*>(moved);
      for (size_t i = oldUsable; i < newSize; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i << " not cleared";
    }
    bool fixed = shadow.m_fixed && moved == block;
    m_blocks.erase(block);
    m_live[index] = m_live.back();
    m_live.pop_back();
    Add(moved, newSize, fixed);
  }

  // Every block holds its own pattern, no two blocks' usable bytes overlap, every block
  // is as large as asked, and the pool's own check passes.
  void VerifyAll() {
    ASSERT_TRUE(MemPool::Check(m_pool));
    const char* previousEnd = nullptr;
    for (const auto& [block, shadow] : m_blocks) {
      const char* start = static_cast<const char*>(block);
      size_t usable = MemPool::BlockSize(block);
      ASSERT_NE(usable, static_cast<size_t>(-1));
      ASSERT_GE(usable, shadow.m_size);
      ASSERT_TRUE(MemPool::CheckPointer(m_pool, block));
      if (previousEnd != nullptr) {
        ASSERT_LE(previousEnd, start) << "blocks overlap";
      }
      previousEnd = start + usable;
      ASSERT_EQ(FirstBadByte(block, shadow.m_size, shadow.m_fill), -1) << "block of " << shadow.m_size << " damaged";
    }
  }

  // The pool's walk reports exactly the live blocks as in use.
  void VerifyWalk() {
    std::set<void*> inUse;
    MemWalkEntry entry;
    MemWalkStatus status;
    size_t steps = 0;
    while ((status = MemPool::Walk(m_pool, &entry)) == MemWalkStatus::Ok) {
      ASSERT_LT(++steps, 10000000u);
      if (entry.m_inUse) {
        ASSERT_TRUE(inUse.insert(entry.m_block).second) << "walk repeats a block";
        auto it = m_blocks.find(entry.m_block);
        ASSERT_NE(it, m_blocks.end()) << "walk reports a block nobody allocated";
        ASSERT_EQ(entry.m_size, MemPool::BlockSize(entry.m_block));
      } else {
        ASSERT_EQ(m_blocks.count(entry.m_block), 0u) << "walk calls a live block free";
      }
    }
    ASSERT_EQ(status, MemWalkStatus::End);
    ASSERT_EQ(inUse.size(), m_blocks.size());
  }

  void FreeAll() {
    while (!m_live.empty()) {
      FreeRandom();
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  size_t LiveCount() const { return m_live.size(); }
  std::mt19937& Random() { return m_random; }

 private:
  void Add(void* block, size_t size, bool fixed) {
    ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % kGrain, 0u) << "block not aligned";
    ASSERT_EQ(m_blocks.count(block), 0u) << "block handed out twice";
    uint8_t fill = static_cast<uint8_t>(m_random());
    FillBlock(block, size, fill);
    m_blocks[block] = ShadowBlock{size, fill, fixed};
    m_live.push_back(block);
  }

  MemPool* m_pool;
  std::mt19937 m_random;
  std::map<void*, ShadowBlock> m_blocks;
  std::vector<void*> m_live;
};

struct RandomCase {
  const char* m_name;
  size_t m_minSize;
  size_t m_maxSize;
  bool m_fixed;         // allocate with AllocFixed from a pool of 256-byte blocks
  int m_operations;
  uint32_t m_pageSize;  // 0: the default
  uint32_t m_seed;
};

TEST(MemPoolRandom, ContentsSurviveAllocFreeRealloc) {
  const RandomCase cases[] = {
      {"small", 1, 254, false, 6000, 0, 1234},
      {"medium", 255, 4096, false, 4000, 0, 2345},
      {"medium-small-pages", 255, 1024, false, 3000, 4096, 3456},
      {"medium-big-pages", 255, 16383, false, 3000, 65535, 4567},
      {"large", 4097, 150000, false, 400, 0, 5678},
      {"fixed", 1, 256, true, 6000, 0, 6789},
      {"mixed", 1, 20000, false, 5000, 0, 7890},
  };
  for (const RandomCase& c : cases) {
    SCOPED_TRACE(std::string(c.m_name) + " seed " + std::to_string(c.m_seed));
    RecordedMemErrors errors;
    MemPool* pool = c.m_fixed ? MemPool::CreateFixed(256, 0) : MemPool::Create();
    ASSERT_NE(pool, nullptr);
    if (c.m_pageSize != 0) MemPool::SetPageSize(pool, c.m_pageSize);
    ShadowedPool shadow(pool, c.m_seed);
    std::uniform_int_distribution<size_t> sizes(c.m_minSize, c.m_maxSize);
    for (int step = 0; step < c.m_operations; ++step) {
      uint32_t choice = shadow.Random()() % 100;
      // Grow the population early, then hold it steady.
      uint32_t allocShare = shadow.LiveCount() < 200 ? 60 : 45;
      if (choice < allocShare) {
        if (c.m_fixed) {
          shadow.AllocFixed();
        } else {
          shadow.Alloc(sizes(shadow.Random()));
        }
      } else if (choice < 80) {
        shadow.FreeRandom();
      } else {
        uint32_t flags = choice < 85 ? kMemResizeInPlace : choice < 90 ? kMemZeroInit : 0;
        // Fixed blocks resize within their size, and now and then beyond it.
        size_t newSize = c.m_fixed && choice % 7 == 0 ? sizes(shadow.Random()) + 300 : sizes(shadow.Random());
        shadow.ReallocRandom(newSize, flags);
      }
      if (HasFatalFailure()) break;
      if (step % 97 == 0) shadow.VerifyAll();
      if (HasFatalFailure()) break;
    }
    if (!HasFatalFailure()) shadow.VerifyAll();
    if (!HasFatalFailure()) shadow.VerifyWalk();
    if (!HasFatalFailure()) shadow.FreeAll();
    if (!HasFatalFailure()) {
      EXPECT_TRUE(MemPool::Check(pool));
      MemWalkEntry entry;
      MemWalkStatus status;
      while ((status = MemPool::Walk(pool, &entry)) == MemWalkStatus::Ok) EXPECT_FALSE(entry.m_inUse);
      EXPECT_EQ(status, MemWalkStatus::End);
    }
    // Refused in-place resizes are the only errors there may be.
    for (uint32_t code : errors.Codes()) EXPECT_EQ(code, MEM_RESIZE_FAILED);
    EXPECT_EQ(MemPool::Destroy(pool), 1);
    if (HasFatalFailure()) return;
  }
}

// The usable sizes of each block kind: small blocks by class, medium blocks by their
// boundary tag, large blocks by their committed region, fixed blocks by the pool.
TEST(MemPoolSizes, UsableSizeFollowsTheBlockRules) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  for (uint32_t size = 1; size < kMemSmallLimit; ++size) {
    SCOPED_TRACE("small " + std::to_string(size));
    void* block = MemPool::Alloc(pool, size);
    ASSERT_NE(block, nullptr);
    uint32_t sizeClass = (size < 4 ? 4 : size) / 4;
    EXPECT_EQ(MemPool::BlockSize(block), sizeClass * 4 + 3);
  }
  // Medium blocks are cut from the end of one large free block, so each has exactly the
  // size it needs.
  MemPool* mediumPool = MemPool::Create();
  ASSERT_NE(mediumPool, nullptr);
  MemPool::SetPageSize(mediumPool, 65535);
  for (uint32_t size : {255u, 256u, 257u, 258u, 259u, 600u, 601u, 602u, 603u, 1000u, 4095u, 4096u, 9999u, 16383u}) {
    SCOPED_TRACE("medium " + std::to_string(size));
    void* block = MemPool::Alloc(mediumPool, size);
    ASSERT_NE(block, nullptr);
    uint32_t needed = std::max(RoundUp(size + 2, kGrain), kMinMedium);
    EXPECT_EQ(MemPool::BlockSize(block), needed - 2);
  }
  for (uint32_t size : {4097u, 8000u, 8192u, 65536u, 300000u}) {
    SCOPED_TRACE("large " + std::to_string(size));
    void* block = MemPool::Alloc(pool, size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(MemPool::BlockSize(block), RoundUp(size + kMemPageHeaderSize, 4096) - kMemPageHeaderSize);
  }
  for (uint32_t fixedSize : {1u, 4u, 5u, 16u, 250u, 256u}) {
    SCOPED_TRACE("fixed " + std::to_string(fixedSize));
    MemPool* fixed = MemPool::CreateFixed(fixedSize, 1);
    ASSERT_NE(fixed, nullptr);
    void* block = MemPool::AllocFixed(fixed);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(MemPool::BlockSize(block), RoundUp(fixedSize, 4));
    EXPECT_EQ(MemPool::Destroy(fixed), 1);
  }
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_TRUE(MemPool::Check(mediumPool));
  EXPECT_EQ(MemPool::Destroy(mediumPool), 1);
  EXPECT_EQ(MemPool::Destroy(pool), 1);
  EXPECT_TRUE(errors.Codes().empty());
}

TEST(MemPoolSettings, PageSizeRounding) {
  struct Case {
    uint32_t m_wanted;
    uint32_t m_expected;
  };
  const Case cases[] = {
      {0, 4096},      {1, 4096},      {4095, 4096},   {4096, 4096},   {4097, 8192},  {5000, 8192},
      {8192, 8192},   {8193, 16384},  {9000, 16384},  {16384, 16384}, {16385, 32768}, {32768, 32768},
      {32769, 65535}, {40000, 65535}, {65534, 65535}, {65535, 65535}, {65536, 65535}, {70000, 65535},
      {0xFFFFFFFFu, 65535},
  };
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  uint32_t current = kMemDefaultPageSize;
  for (const Case& c : cases) {
    SCOPED_TRACE("page size " + std::to_string(c.m_wanted));
    EXPECT_EQ(MemPool::SetPageSize(pool, c.m_wanted), current);
    MemPoolInfo info;
    ASSERT_TRUE(MemPool::GetInfo(pool, &info));
    EXPECT_EQ(info.m_pageSize, c.m_expected);
    current = info.m_pageSize;
    // The large-block threshold is a quarter of the page: a block just above it is large.
    void* above = MemPool::Alloc(pool, c.m_expected / 4 + 1);
    void* at = MemPool::Alloc(pool, c.m_expected / 4);
    ASSERT_NE(above, nullptr);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(MemPool::BlockSize(above), RoundUp(c.m_expected / 4 + 1 + kMemPageHeaderSize, 4096) - kMemPageHeaderSize);
    EXPECT_LT(MemPool::BlockSize(at), c.m_expected / 4 + kGrain + kMinMedium);
    MemPool::Free(above);
    MemPool::Free(at);
  }
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// A page size is not taken when the pool's fixed blocks would not fit in it.
TEST(MemPoolSettings, PageSizeKeepsRoomForFixedBlocks) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::CreateFixed(8000, 0);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(MemPool::SetPageSize(pool, 4096), kMemDefaultPageSize);
  MemPoolInfo info;
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_pageSize, kMemDefaultPageSize);
  EXPECT_EQ(MemPool::SetPageSize(pool, 8192), kMemDefaultPageSize);
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_pageSize, 8192u);
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

TEST(MemPoolSettings, FloorAndCeiling) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize);
  MemPoolInfo info;
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_floor, kMemNoFloor);
  EXPECT_EQ(info.m_ceiling, kMemNoCeiling);
  EXPECT_EQ(info.m_fixedBlockSize, 16u);

  // A ceiling below the bytes in use, a floor above the ceiling: refused.
  EXPECT_EQ(MemPool::SetCeiling(pool, kMemHeaderRegionSize - 1), -1);
  EXPECT_EQ(MemPool::SetCeiling(pool, 100000), kMemNoCeiling);
  EXPECT_EQ(MemPool::SetFloor(pool, 100001), -1);
  EXPECT_EQ(MemPool::SetFloor(pool, 50000), kMemNoFloor);
  EXPECT_EQ(MemPool::SetCeiling(pool, 40000), -1);
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_floor, 50000u);
  EXPECT_EQ(info.m_ceiling, 100000u);

  // Under the floor an emptied page stays; the bytes in use do not go down.
  void* block = MemPool::Alloc(pool, 600);
  ASSERT_NE(block, nullptr);
  uint32_t withPage = MemPool::BytesInUse(pool);
  EXPECT_EQ(withPage, kMemHeaderRegionSize + kMemDefaultPageSize);
  EXPECT_EQ(MemPool::Free(block), 1);
  EXPECT_EQ(MemPool::BytesInUse(pool), withPage);
  EXPECT_TRUE(MemPool::Check(pool));

  // "None" for both, then the empty page goes at the next compaction.
  EXPECT_EQ(MemPool::SetFloor(pool, kMemSettingNone), 50000);
  EXPECT_EQ(MemPool::SetCeiling(pool, kMemSettingNone), 100000);
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_floor, kMemNoFloor);
  EXPECT_EQ(info.m_ceiling, kMemNoCeiling);
  EXPECT_TRUE(MemPool::Compact(pool));
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize);

  // Without a floor a page goes as soon as its last block does.
  block = MemPool::Alloc(pool, 600);
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize + kMemDefaultPageSize);
  MemPool::Free(block);
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize);
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

TEST(MemPoolFixed, PreallocatesAndMarksItsPages) {
  RecordedMemErrors errors;
  // 256-byte blocks after the page header: this many fit in a 16384-byte page.
  const uint32_t perPage = (kMemDefaultPageSize - kMemPageHeaderSize) / 256;
  MemPool* pool = MemPool::CreateFixed(256, perPage + 1);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize + 2 * kMemDefaultPageSize);
  MemPoolInfo info;
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_EQ(info.m_pageKinds, 1u << kMemPageFixed);
  EXPECT_EQ(info.m_fixedBlockSize, 256u);
  std::vector<void*> blocks;
  for (uint32_t i = 0; i < 2 * perPage; ++i) {
    void* block = MemPool::AllocFixed(pool);
    ASSERT_NE(block, nullptr);
    blocks.push_back(block);
    // The page of a block is found by masking its address; its header names the kind.
    uintptr_t page = reinterpret_cast<uintptr_t>(block) & ~uintptr_t{0xFFFF};
    uint16_t signature;
    std::memcpy(&signature, reinterpret_cast<const char*>(page) + 3 * sizeof(void*) + 2, sizeof(signature));
    EXPECT_EQ(signature, 0xCAD1);
  }
  // Two preallocated pages hold exactly the blocks asked for: no third page yet.
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize + 2 * kMemDefaultPageSize);
  std::set<uintptr_t> pages;
  for (void* block : blocks) pages.insert(reinterpret_cast<uintptr_t>(block) & ~uintptr_t{0xFFFF});
  EXPECT_EQ(pages.size(), 2u);
  for (void* block : blocks) EXPECT_EQ(MemPool::FreeFixed(block), 1);
  EXPECT_EQ(MemPool::BytesInUse(pool), kMemHeaderRegionSize);
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// Resizing in place by block kind, and the moves when in place is not possible.
TEST(MemPoolRealloc, InPlaceOutcomes) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  struct Case {
    const char* m_name;
    size_t m_first;       // allocated first
    size_t m_second;      // allocated next, and then the block resized (0: resize the first)
    bool m_freeFirst;     // free the first block before resizing the second
    size_t m_newSize;
    uint32_t m_flags;
    bool m_samePointer;   // the block stays where it is
    bool m_refused;       // in place only, and refused
  };
  const Case cases[] = {
      {"small same class", 9, 0, false, 11, kMemResizeInPlace, true, false},
      {"small other class refused", 9, 0, false, 12, kMemResizeInPlace, false, true},
      {"small other class moves", 9, 0, false, 100, 0, false, false},
      {"small to medium moves", 200, 0, false, 1000, 0, false, false},
      // Medium blocks are cut from the end of the free space of a fresh page, so the
      // second block's follower is the first.
      {"medium shrink keeps place", 2000, 0, false, 1000, kMemResizeInPlace, true, false},
      {"medium shrink by less than the split minimum", 2000, 0, false, 1950, kMemResizeInPlace, true, false},
      {"medium grow into a free follower", 1000, 1000, true, 1800, kMemResizeInPlace, true, false},
      {"medium grow past a live follower refused", 1000, 1000, false, 1800, kMemResizeInPlace, false, true},
      {"medium grow past a live follower moves", 1000, 1000, false, 1800, 0, false, false},
      {"medium grow beyond the threshold refused", 1000, 0, false, 5000, kMemResizeInPlace, false, true},
      {"large grows in its reservation", 5000, 0, false, 30000, kMemResizeInPlace, true, false},
      {"large shrinks in place", 30000, 0, false, 8000, kMemResizeInPlace, true, false},
      {"large to medium moves", 30000, 0, false, 1000, 0, false, false},
      {"large to medium in place", 30000, 0, false, 1000, kMemResizeInPlace, true, false},
      {"large beyond its reservation moves", 5000, 0, false, 100000, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    void* first = MemPool::Alloc(pool, c.m_first);
    ASSERT_NE(first, nullptr);
    void* block = first;
    size_t oldSize = c.m_first;
    void* neighbour = nullptr;
    if (c.m_second != 0) {
      block = MemPool::Alloc(pool, c.m_second);
      ASSERT_NE(block, nullptr);
      oldSize = c.m_second;
      neighbour = first;
      if (c.m_freeFirst) {
        MemPool::Free(first);
        neighbour = nullptr;
      }
    }
    FillBlock(block, oldSize, 0x5A);
    errors.Clear();
    void* resized = MemPool::Realloc(block, c.m_newSize, c.m_flags);
    if (c.m_refused) {
      EXPECT_EQ(resized, nullptr);
      EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_RESIZE_FAILED});
      EXPECT_EQ(FirstBadByte(block, oldSize, 0x5A), -1);
      resized = block;
    } else {
      ASSERT_NE(resized, nullptr);
      EXPECT_EQ(resized == block, c.m_samePointer);
      EXPECT_GE(MemPool::BlockSize(resized), c.m_newSize);
      EXPECT_EQ(FirstBadByte(resized, std::min(oldSize, c.m_newSize), 0x5A), -1);
      EXPECT_TRUE(errors.Codes().empty());
    }
    EXPECT_TRUE(MemPool::Check(pool));
    MemPool::Free(resized);
    if (neighbour != nullptr) MemPool::Free(neighbour);
    EXPECT_TRUE(MemPool::Check(pool));
  }
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

TEST(MemPoolRealloc, FixedBlocksResizeWithinTheirSize) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::CreateFixed(256, 8);
  ASSERT_NE(pool, nullptr);
  struct Case {
    size_t m_newSize;
    bool m_inPlace;  // fits the fixed block
  };
  const Case cases[] = {{1, true}, {100, true}, {255, true}, {256, true}, {257, false}, {260, false}, {264, false}, {5000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("resize to " + std::to_string(c.m_newSize));
    void* block = MemPool::AllocFixed(pool);
    void* neighbour = MemPool::AllocFixed(pool);
    ASSERT_NE(block, nullptr);
    FillBlock(block, 256, 0x21);
    FillBlock(neighbour, 256, 0x42);
    errors.Clear();
    EXPECT_EQ(MemPool::Realloc(block, c.m_newSize, kMemResizeInPlace) == block, c.m_inPlace);
    EXPECT_EQ(errors.Codes().size(), c.m_inPlace ? 0u : 1u);
    void* moved = MemPool::Realloc(block, c.m_newSize);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved == block, c.m_inPlace);
    EXPECT_EQ(FirstBadByte(moved, std::min<size_t>(256, c.m_newSize), 0x21), -1);
    EXPECT_EQ(FirstBadByte(neighbour, 256, 0x42), -1);
    EXPECT_EQ(MemPool::Free(moved), 1);
    EXPECT_EQ(MemPool::FreeFixed(neighbour), 1);
    EXPECT_TRUE(MemPool::Check(pool));
  }
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// Freed bytes are reused: after freeing everything of one size the same number of
// blocks fits again without the pool growing.
TEST(MemPoolReuse, FreedBlocksServeAgain) {
  RecordedMemErrors errors;
  for (uint32_t size : {8u, 100u, 254u, 300u, 2000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    MemPool* pool = MemPool::Create();
    ASSERT_NE(pool, nullptr);
    std::vector<void*> blocks;
    for (int i = 0; i < 500; ++i) blocks.push_back(MemPool::Alloc(pool, size));
    uint32_t grown = MemPool::BytesInUse(pool);
    for (size_t i = 0; i < blocks.size(); i += 2) MemPool::Free(blocks[i]);
    for (size_t i = 0; i < blocks.size(); i += 2) blocks[i] = MemPool::Alloc(pool, size);
    EXPECT_EQ(MemPool::BytesInUse(pool), grown);
    for (void* block : blocks) EXPECT_EQ(MemPool::Free(block), 1);
    EXPECT_TRUE(MemPool::Check(pool));
    EXPECT_EQ(MemPool::Destroy(pool), 1);
  }
  EXPECT_TRUE(errors.Codes().empty());
}

TEST(MemPoolZeroFill, ZeroInitClearsEveryKind) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  for (size_t size : {3u, 100u, 254u, 600u, 4000u, 9000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    // Dirty memory first, so that a clean block cannot be an accident.
    void* dirty = MemPool::Alloc(pool, size);
    std::memset(dirty, 0xEE, size);
    MemPool::Free(dirty);
    void* block = MemPool::Alloc(pool, size, kMemZeroInit);
    ASSERT_NE(block, nullptr);
    std::vector<char> zeros(MemPool::BlockSize(block), 0);
    EXPECT_EQ(std::memcmp(block, zeros.data(), zeros.size()), 0);
    MemPool::Free(block);
  }
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

#if defined(__SANITIZE_ADDRESS__)
// Stores a system block's address only inside a pool block.
__attribute__((noinline)) void KeepSystemBlockIn(void** slot) {
  *slot = std::malloc(48);
  std::memset(*slot, 0x11, 48);
}
#endif

// System memory whose only reference lives in a pool block is not a leak.
TEST(MemPoolLeakCheck, PoolBlocksAreSearchedForPointers) {
#if defined(__SANITIZE_ADDRESS__)
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  std::vector<void**> slots;
  for (size_t size : {16u, 600u, 30000u}) {
    void** slot = static_cast<void**>(MemPool::Alloc(pool, size));
    KeepSystemBlockIn(slot);
    slots.push_back(slot);
  }
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
  for (void** slot : slots) {
    std::free(*slot);
    MemPool::Free(slot);
  }
  EXPECT_EQ(MemPool::Destroy(pool), 1);
#else
  GTEST_SKIP() << "only the sanitizer build has a leak checker";
#endif
}

TEST(MemPoolSerialized, ThreadsShareALockedPool) {
  RecordedMemErrors errors;
  MemPool* pool = MemPool::Create(kMemPoolSerialized);
  ASSERT_NE(pool, nullptr);
  MemPoolInfo info;
  ASSERT_TRUE(MemPool::GetInfo(pool, &info));
  EXPECT_NE(info.m_flags & kMemPoolSerialized, 0u);
  std::vector<std::thread> threads;
  std::atomic<int> damaged{0};
  for (uint32_t t = 0; t < 4; ++t) {
    threads.emplace_back([pool, t, &damaged] {
      std::mt19937 random(100 + t);
      std::vector<std::pair<void*, uint8_t>> mine;
      for (int i = 0; i < 3000; ++i) {
        if (mine.size() < 50 || random() % 2 == 0) {
          size_t size = 1 + random() % 3000;
          void* block = MemPool::Alloc(pool, size);
          if (block == nullptr) {
            ++damaged;
            continue;
          }
          uint8_t fill = static_cast<uint8_t>(t * 50 + i);
          std::memset(block, fill, 1);
          mine.emplace_back(block, fill);
        } else {
          size_t index = random() % mine.size();
          if (*static_cast<uint8_t*>(mine[index].first) != mine[index].second) ++damaged;
          MemPool::Free(mine[index].first);
          mine[index] = mine.back();
          mine.pop_back();
        }
      }
      for (auto& [block, fill] : mine) MemPool::Free(block);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(damaged.load(), 0);
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_TRUE(MemPool::Lock(pool));
  EXPECT_TRUE(MemPool::Lock(pool));
  EXPECT_TRUE(MemPool::Unlock(pool));
  EXPECT_TRUE(MemPool::Unlock(pool));
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

}  // namespace
}  // namespace zentor
