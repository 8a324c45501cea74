#include "support/heap_runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/mem_test_support.h"

namespace zentor::heap {
namespace {

using testing_support::RecordedMemErrors;

size_t RoundUp4(size_t size) { return (size + 3) & ~size_t{3}; }

TEST(HeapRuntime, SizesOfStandardBlocks) {
  RecordedMemErrors errors;
  // malloc(0) gives a usable block of 4 bytes; malloc(5) one of 8.
  void* empty = malloc(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(_msize(empty), 4u);
  void* five = malloc(5);
  EXPECT_EQ(_msize(five), 8u);
  free(empty);
  free(five);
  // Small sizes come back exactly rounded to 4; larger ones at least as large.
  for (size_t size = 1; size < 5000; size += size < 300 ? 1 : 97) {
    SCOPED_TRACE("size " + std::to_string(size));
    void* block = malloc(size);
    ASSERT_NE(block, nullptr);
    size_t usable = _msize(block);
    EXPECT_EQ(usable % 4, 0u);
    if (RoundUp4(size) < kMemSmallLimit) {
      EXPECT_EQ(usable, RoundUp4(size));
    } else {
      EXPECT_GE(usable, size);
    }
    std::memset(block, 0x33, size);
    free(block);
  }
  void* object = OperatorNew(0);
  ASSERT_NE(object, nullptr);
  EXPECT_GE(MemPool::BlockSize(object), 1u);
  OperatorDelete(object);
  OperatorDelete(nullptr);
  free(nullptr);
  EXPECT_TRUE(errors.Codes().empty());
}

TEST(HeapRuntime, ReallocFamily) {
  RecordedMemErrors errors;
  char* block = static_cast<char*>(realloc(nullptr, 10));  // acts as malloc
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "0123456789", 10);
  block = static_cast<char*>(realloc(block, 3000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "0123456789", 10), 0);
  EXPECT_GE(_msize(block), 3000u);
  // _expand never moves: shrinking works, growing past a live neighbour does not.
  void* neighbour = malloc(3000);  // cut in front of `block` in the same page
  EXPECT_EQ(_expand(neighbour, 1000), neighbour);
  EXPECT_EQ(_expand(neighbour, 3900), nullptr);
  EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_RESIZE_FAILED});
  errors.Clear();
  EXPECT_EQ(realloc(block, 0), nullptr);  // frees
  free(neighbour);
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_EQ(_heapchk(), kHeapOk);
}

TEST(HeapRuntime, CallocClearsAndRefusesOverflow) {
  RecordedMemErrors errors;
  for (size_t count : {1u, 7u, 100u, 5000u}) {
    SCOPED_TRACE("count " + std::to_string(count));
    void* dirty = malloc(count * 3);
    std::memset(dirty, 0xEE, count * 3);
    free(dirty);
    unsigned char* block = static_cast<unsigned char*>(calloc(count, 3));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < count * 3; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
    free(block);
  }
  EXPECT_EQ(calloc(SIZE_MAX / 2, 3), nullptr);
  EXPECT_TRUE(errors.Codes().empty());
}

TEST(HeapRuntime, DefaultFlagsCanZeroFill) {
  uint16_t old = MemPool::SetDefaultFlags(kMemPoolDefaultFlags | kMemPoolZeroInitDefault);
  EXPECT_EQ(old, kMemPoolDefaultFlags);
  void* dirty = malloc(200);
  std::memset(dirty, 0xEE, 200);
  free(dirty);
  unsigned char* block = static_cast<unsigned char*>(malloc(200));
  MemPool::SetDefaultFlags(old);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
  free(block);
}

TEST(HeapRuntime, WalkCheckFillAndMin) {
  RecordedMemErrors errors;
  std::vector<std::pair<void*, size_t>> mine;
  for (size_t size : {3u, 40u, 250u, 600u, 1000u, 4000u, 20000u}) mine.emplace_back(malloc(size), size);
  void* freed = malloc(1000);  // in front of the 1000-byte block above, so its page stays
  free(freed);
  std::set<void*> seen;
  HeapInfo entry;
  int status;
  size_t steps = 0;
  while ((status = _heapwalk(&entry)) == kHeapOk) {
    ASSERT_LT(++steps, 10000000u);
    if (entry.m_useFlag == kHeapUsedEntry) seen.insert(entry.m_entry);
  }
  EXPECT_EQ(status, kHeapEnd);
  for (auto& [block, size] : mine) {
    EXPECT_EQ(seen.count(block), 1u) << "block of " << size << " missing from the walk";
  }
  EXPECT_EQ(_heapwalk(nullptr), kHeapBadPtr);
  int onStack = 0;
  HeapInfo bad;
  bad.m_entry = &onStack;
  EXPECT_EQ(_heapwalk(&bad), kHeapBadPtr);
  HeapInfo inside;
  inside.m_entry = static_cast<char*>(mine[4].first) + 8;  // not the start of a block
  EXPECT_EQ(_heapwalk(&inside), kHeapBadPtr);

  EXPECT_EQ(_heapchk(), kHeapOk);
  EXPECT_EQ(_heapset(0xAB), kHeapOk);
  // The freed block's body (past its links, before its end) now holds the fill.
  const unsigned char* body = static_cast<const unsigned char*>(freed);
  for (int i = 16; i < 900; ++i) ASSERT_EQ(body[i], 0xAB) << "byte " << i;
  EXPECT_EQ(_heapchk(), kHeapOk);
  for (auto& [block, size] : mine) free(block);
  uint32_t before = MemPool::BytesInUse(MemPool::GetDefault());
  EXPECT_EQ(_heapmin(), 0);
  EXPECT_LE(MemPool::BytesInUse(MemPool::GetDefault()), before);
  EXPECT_EQ(_heapadd(nullptr, 0), -1);
  EXPECT_TRUE(errors.Codes().empty());
}

TEST(HeapRuntime, FreeOfAForeignPointerReportsBadPointer) {
  RecordedMemErrors errors;
  int onStack = 0;
  free(&onStack);
  EXPECT_EQ(_msize(&onStack), static_cast<size_t>(-1));
  EXPECT_EQ(errors.Codes(), (std::vector<uint32_t>{MEM_BAD_POINTER, MEM_BAD_POINTER}));
  EXPECT_EQ(_heapchk(), kHeapOk);
}

// Failed allocations ask the failure hook (malloc and calloc only while the hook mode
// word is set) or, for the operator, the new handler; they retry while it says so.
TEST(HeapRuntime, HooksRetryFailedAllocations) {
  static std::vector<size_t> asked;
  static int liftAfter;  // the hook lifts the ceiling on this call (1-based); 0 never
  static MemPool* pool;
  pool = MemPool::GetDefault();
  ASSERT_NE(pool, nullptr);
  auto hook = [](size_t size) -> int {
    asked.push_back(size);
    if (static_cast<int>(asked.size()) == liftAfter) {
      MemPool::SetCeiling(pool, kMemSettingNone);
      return 1;
    }
    return static_cast<int>(asked.size()) < liftAfter ? 1 : 0;
  };
  struct Case {
    const char* m_name;
    bool m_viaHook;        // else via the new handler
    uint32_t m_hookMode;
    int m_liftAfter;
    bool m_operator;       // OperatorNew rather than malloc
    size_t m_size;
    bool m_succeeds;
    std::vector<size_t> m_asked;
  };
  const Case cases[] = {
      {"malloc, hook off", true, 0, 1, false, 99999, false, {}},
      {"malloc, hook lifts at once", true, 1, 1, false, 99999, true, {100000}},
      {"malloc, hook retries then lifts", true, 1, 3, false, 99999, true, {100000, 100000, 100000}},
      {"malloc, hook gives up", true, 1, 0, false, 99999, false, {100000}},
      {"operator, hook lifts", true, 0, 2, true, 99999, true, {99999, 99999}},
      {"operator, hook gives up", true, 0, 0, true, 99999, false, {99999}},
      {"operator, new handler lifts", false, 0, 2, true, 70001, true, {70001, 70001}},
      {"operator, new handler gives up", false, 0, 0, true, 70001, false, {70001}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    RecordedMemErrors errors;
    asked.clear();
    liftAfter = c.m_liftAfter;
    ASSERT_GE(MemPool::SetCeiling(pool, MemPool::BytesInUse(pool)), 0);
    AllocFailureHook oldHook = SetAllocFailureHook(c.m_viaHook ? +hook : nullptr);
    uint32_t oldMode = SetAllocHookMode(c.m_hookMode);
    NewHandler oldHandler = SetNewHandler(c.m_viaHook ? nullptr : +hook);
    void* block = c.m_operator ? OperatorNew(c.m_size) : malloc(c.m_size);
    EXPECT_EQ(SetAllocFailureHook(oldHook), c.m_viaHook ? +hook : nullptr);
    EXPECT_EQ(SetAllocHookMode(oldMode), c.m_hookMode);
    EXPECT_EQ(SetNewHandler(oldHandler), c.m_viaHook ? nullptr : +hook);
    MemPool::SetCeiling(pool, kMemSettingNone);
    EXPECT_EQ(block != nullptr, c.m_succeeds);
    EXPECT_EQ(asked, c.m_asked);
    for (uint32_t code : errors.Codes()) EXPECT_EQ(code, MEM_EXCEEDED_CEILING);
    free(block);
  }
}

}  // namespace
}  // namespace zentor::heap
