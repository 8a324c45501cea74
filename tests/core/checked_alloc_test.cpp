#include "core/checked_alloc.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/core_test_support.h"
#include "support/mem_pool.h"

namespace zentor {
namespace {

using testing_support::ErrorThrownBy;

TEST(CheckedAllocTest, SizeLimitIsCheckedBeforeTheMemoryManager) {
  struct Case {
    const char* name;
    uint64_t size;
  };
  const Case cases[] = {{"one above the limit", 0xFFFFFFC0ull}, {"4 GB", 0x100000000ull}, {"huge", ~0ull}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (DVError error : {ErrorThrownBy([&] { CheckedAlloc(c.size); }),
                          ErrorThrownBy([&] { void* b = nullptr; CheckedAlloc_Out(kDefaultPoolName, c.size, 0, &b); }),
                          ErrorThrownBy([&] { CheckedRealloc(nullptr, c.size); }),
                          ErrorThrownBy([&] { void* b = nullptr; CheckedRealloc_InPlace(c.size, &b); })}) {
      EXPECT_EQ(error.Number(), 180u);
      EXPECT_EQ(error.Severity(), 4u);
      EXPECT_EQ(error.DisplayMode(), 4u);
      EXPECT_EQ(std::string(error.Text().data()), "Memory allocation request is too large or zero.");
    }
    EXPECT_EQ(PendingMemoryError(), 0u);
  }
}

TEST(CheckedAllocTest, MemoryManagerErrorsBecomeDVErrors) {
  InstallCheckedAllocation();
  struct Case {
    const char* name;
    uint32_t code;
    uint32_t number, severity;
    const char* text;
  };
  const Case cases[] = {
      {"out of memory", MEM_OUT_OF_MEMORY, 181, 4, "Dynamic memory is full."},
      {"bad pointer", MEM_BAD_POINTER, 3, 5, "Internal memory management error code 14."},
      {"bad pool", MEM_BAD_MEM_POOL, 3, 5, "Internal memory management error code 10."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The manager reports to the installed handler, which only records the code.
    EXPECT_EQ(MemPool::ReportError(nullptr, c.code), 0);
    EXPECT_EQ(PendingMemoryError(), c.code);
    DVError error = ErrorThrownBy([] { CheckMemoryError(); });
    EXPECT_EQ(error.Number(), c.number);
    EXPECT_EQ(error.Severity(), c.severity);
    EXPECT_EQ(std::string(error.Text().data()), c.text);
    EXPECT_EQ(PendingMemoryError(), 0u);
  }

  // A zero-size request goes to the manager, which refuses it with code 4.
  DVError zero = ErrorThrownBy([] { CheckedAlloc(0); });
  EXPECT_EQ(zero.Number(), 3u);
  EXPECT_EQ(std::string(zero.Argument(0).data()), "4");
  EXPECT_EQ(PendingMemoryError(), 0u);

  // A failure pending from outside the layer is cleared by the next checked call,
  // not blamed on it.
  MemPool::ReportError(nullptr, MEM_BAD_POINTER);
  void* block = CheckedAlloc(16);
  EXPECT_NE(block, nullptr);
  CheckedFree(block);
}

TEST(CheckedAllocTest, BlocksAndPoolsRoundTrip) {
  MemPool* pool = CheckedCreatePool();
  ASSERT_NE(pool, nullptr);
  void* block = nullptr;
  EXPECT_EQ(CheckedAlloc_Out(pool, 40, 0, &block), 0);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0x3C, 40);
  EXPECT_EQ(CheckedRealloc_InPlace(5000, &block), 0);
  ASSERT_NE(block, nullptr);
  const auto* bytes = static_cast<const uint8_t*>(block);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(bytes[i], 0x3C) << i;
  EXPECT_EQ(CheckedFree_Status(block), 0);
  EXPECT_EQ(CheckedFreePool_Status(pool), 0);

  MemPool* second = nullptr;
  EXPECT_EQ(CheckedCreatePool_Out(&second), 0);
  ASSERT_NE(second, nullptr);
  CheckedFreePool(second);

  DVError refused = ErrorThrownBy([] { CheckedFreePool(kDefaultPoolName); });
  EXPECT_EQ(refused.Number(), 1u);
  EXPECT_NE(std::string(refused.Argument(0).data()).find("checked_alloc.cpp"), std::string::npos);
  // The default pool still serves.
  void* still = CheckedAlloc(8);
  CheckedFree(still);
}

}  // namespace
}  // namespace zentor
