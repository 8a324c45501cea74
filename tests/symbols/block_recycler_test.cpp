#include "symbols/block_recycler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace zentor {
namespace {

// Blocks handed out at once never overlap, are aligned for any object and hold what
// was written to them; blocks given back are handed out again before a new chunk is
// made.
TEST(BlockRecyclerTest, BlocksAreDistinctAlignedAndReused) {
  for (const size_t size : {size_t{1}, size_t{24}, size_t{56}, size_t{100}}) {
    SCOPED_TRACE("block size " + std::to_string(size));
    BlockRecycler recycler(size);
    ASSERT_GE(recycler.BlockSize(), size);
    const uint32_t count = 3 * BlockRecycler::kBlocksPerChunk + 5;
    std::vector<uint8_t*> blocks;
    for (uint32_t i = 0; i < count; ++i) {
      auto* block = static_cast<uint8_t*>(recycler.Take());
      ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
      std::fill(block, block + size, static_cast<uint8_t>(i));
      blocks.push_back(block);
    }
    EXPECT_EQ(recycler.ChunkCount(), 4u);
    std::set<uint8_t*> starts(blocks.begin(), blocks.end());
    ASSERT_EQ(starts.size(), blocks.size());
    for (auto it = starts.begin(); std::next(it) != starts.end(); ++it) {
      ASSERT_GE(static_cast<size_t>(*std::next(it) - *it), size) << "two blocks overlap";
    }
    for (uint32_t i = 0; i < count; ++i) {
      for (size_t b = 0; b < size; ++b) ASSERT_EQ(blocks[i][b], static_cast<uint8_t>(i)) << "block " << i;
    }
    // Half of them back, then as many again: no new chunk, and the same blocks.
    std::set<uint8_t*> given;
    for (uint32_t i = 0; i < count; i += 2) {
      recycler.Give(blocks[i]);
      given.insert(blocks[i]);
    }
    EXPECT_EQ(recycler.FreeCount() - (4 * BlockRecycler::kBlocksPerChunk - count), given.size());
    for (size_t i = 0; i < given.size(); ++i) EXPECT_EQ(given.count(static_cast<uint8_t*>(recycler.Take())), 1u);
    EXPECT_EQ(recycler.ChunkCount(), 4u);
  }
}

struct Small {
  uint64_t m_words[3];
};
struct Larger : Small {
  uint64_t m_more[4];
};

// A class's own blocks come from its recycler; a request of another size (a derived
// class's) goes to the allocator and back to it.
TEST(BlockRecyclerTest, OnlyTheClassSizeIsRecycled) {
  void* own = NewRecycled<Small>(sizeof(Small));
  void* other = NewRecycled<Small>(sizeof(Larger));
  ASSERT_NE(own, nullptr);
  ASSERT_NE(other, nullptr);
  static_cast<Larger*>(other)->m_more[3] = 7;
  const uint32_t freeBefore = RecyclerFor<Small>().FreeCount();
  DeleteRecycled<Small>(other, sizeof(Larger));
  EXPECT_EQ(RecyclerFor<Small>().FreeCount(), freeBefore);
  DeleteRecycled<Small>(own, sizeof(Small));
  EXPECT_EQ(RecyclerFor<Small>().FreeCount(), freeBefore + (ZENTOR_RECYCLE_BLOCKS != 0 ? 1u : 0u));
  DeleteRecycled<Small>(nullptr, sizeof(Small));
}

}  // namespace
}  // namespace zentor
