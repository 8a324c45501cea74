#include "platform/virtual_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zentor::platform {
namespace {

size_t RoundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

TEST(VirtualMemory, ReservationsAreAlignedAndUncommitted) {
  for (size_t size : {1u, 4096u, 65535u, 65536u, 65537u, 1000000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    void* base = ReserveRegion(size);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % kRegionAlignment, 0u);
    EXPECT_EQ(ReservedSize(base), RoundUp(size, kRegionAlignment));
    EXPECT_EQ(CommittedSize(base), 0u);
    EXPECT_TRUE(ReleaseRegion(base));
  }
}

// The committed size is the committed run from the start of the region, as the
// system's region query reports it.
TEST(VirtualMemory, CommitDecommitAndCommittedSize) {
  void* base = ReserveRegion(4 * kRegionAlignment);
  ASSERT_NE(base, nullptr);
  char* bytes = static_cast<char*>(base);
  struct Step {
    const char* m_name;
    bool m_commit;  // else decommit
    size_t m_offset;
    size_t m_size;
    size_t m_committedAfter;
  };
  const Step steps[] = {
      {"first page", true, 0, 1, 4096},
      {"a later run does not join", true, 3 * 4096, 8192, 4096},
      {"the gap joins them", true, 4096, 2 * 4096, 5 * 4096},
      {"partial steps widen", true, 5 * 4096 + 100, 10, 6 * 4096},
      {"decommit the tail", false, 4 * 4096, 2 * 4096, 4 * 4096},
      {"decommit the middle", false, 4096, 4096, 4096},
      {"commit across the first reservation unit", true, 0, kRegionAlignment + 4096, kRegionAlignment + 4096},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    bool ok = step.m_commit ? CommitRegion(bytes + step.m_offset, step.m_size) : DecommitRegion(bytes + step.m_offset, step.m_size);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CommittedSize(base), step.m_committedAfter);
  }
  // Committed memory holds what is written; after a decommit and commit it is zero.
  for (size_t i = 0; i < kRegionAlignment + 4096; ++i) bytes[i] = static_cast<char>(i * 7);
  for (size_t i = 0; i < kRegionAlignment + 4096; ++i) ASSERT_EQ(bytes[i], static_cast<char>(i * 7)) << i;
  ASSERT_TRUE(CommitRegion(bytes, 4096));  // committing again keeps the contents
  EXPECT_EQ(bytes[100], static_cast<char>(700));
  ASSERT_TRUE(DecommitRegion(bytes + 8192, 4096));
  ASSERT_TRUE(CommitRegion(bytes + 8192, 4096));
  for (size_t i = 8192; i < 12288; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(bytes[8191], static_cast<char>(8191 * 7));
  EXPECT_TRUE(ReleaseRegion(base));
}

TEST(VirtualMemory, RefusesWhatIsNotAReservation) {
  void* base = ReserveRegion(kRegionAlignment);
  ASSERT_NE(base, nullptr);
  char* bytes = static_cast<char*>(base);
  int onStack = 0;
  EXPECT_FALSE(ReleaseRegion(bytes + 4096));
  EXPECT_EQ(CommittedSize(&onStack), 0u);
  EXPECT_EQ(ReservedSize(bytes + 4096), 0u);
  EXPECT_TRUE(ReleaseRegion(base));
  EXPECT_FALSE(ReleaseRegion(base));
  EXPECT_EQ(ReservedSize(base), 0u);
}

// A released address given as the hint is reserved again.
TEST(VirtualMemory, HintIsTriedFirst) {
  void* first = ReserveRegion(kRegionAlignment);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(ReleaseRegion(first));
  void* again = ReserveRegion(kRegionAlignment, first);
  EXPECT_EQ(again, first);
  // A hint that is taken is not an error: another address is used.
  void* other = ReserveRegion(kRegionAlignment, again);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, again);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(other) % kRegionAlignment, 0u);
  EXPECT_TRUE(ReleaseRegion(again));
  EXPECT_TRUE(ReleaseRegion(other));
}

}  // namespace
}  // namespace zentor::platform
