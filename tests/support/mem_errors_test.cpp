#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/mem_pages.h"
#include "support/mem_pool.h"
#include "support/mem_test_support.h"
#include "platform/virtual_memory.h"

namespace zentor {
namespace {

using platform::AlertAnswer;
using platform::AlertButtons;
using testing_support::AlertCapture;
using testing_support::RecordedMemErrors;

// Each failing operation reports one error code to the handler, returns its failure
// value, and leaves the pool as it was.
TEST(MemErrors, FailingOperationsReportTheirCode) {
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  MemPool* noFixedSize = MemPool::Create();
  ASSERT_TRUE(MemPool::SetFixedBlockSize(noFixedSize, 0));
  // Made last: the next pool made would reuse its region.
  MemPool* destroyed = MemPool::Create();
  ASSERT_NE(destroyed, nullptr);
  ASSERT_EQ(MemPool::Destroy(destroyed), 1);

  void* medium = MemPool::Alloc(pool, 1000);
  void* mediumFollower = MemPool::Alloc(pool, 1000);  // cut before `medium`, so `medium` follows it
  void* small = MemPool::Alloc(pool, 20);
  void* large = MemPool::Alloc(pool, 20000);
  void* freedSmall = MemPool::Alloc(pool, 40);
  void* freedMedium = MemPool::Alloc(pool, 700);
  ASSERT_TRUE(medium && mediumFollower && small && large && freedSmall && freedMedium);
  std::memset(medium, 0, 1000);  // a pointer into it finds zeros where a tag would be
  MemPool::Free(freedSmall);
  MemPool::Free(freedMedium);
  int onStack = 0;
  std::unique_ptr<void, decltype(&std::free)> systemBlock(std::malloc(64), &std::free);
  void* fromSystem = systemBlock.get();

  struct Case {
    const char* m_name;
    std::function<bool()> m_operation;  // true when it returned its failure value
    uint32_t m_code;
    bool m_poolNamed;                    // the handler is told the pool
  };
  const std::vector<Case> cases = {
      {"free of a stack address", [&] { return MemPool::Free(&onStack) == 0; }, MEM_BAD_POINTER, false},
      {"free of a system block", [&] { return MemPool::Free(fromSystem) == 0; }, MEM_BAD_POINTER, false},
      {"free where the 64 KB unit starts unreadable", [&] {
         // Only the last 4 KB of a reservation is readable: the page address the
         // pointer masks to is not, and must not be read.
         char* region = static_cast<char*>(platform::ReserveRegion(platform::kRegionAlignment));
         bool committed = platform::CommitRegion(region + platform::kRegionAlignment - 4096, 4096);
         bool refused = MemPool::Free(region + platform::kRegionAlignment - 64) == 0;
         platform::ReleaseRegion(region);
         return committed && refused;
       }, MEM_BAD_POINTER, false},
      {"free inside a medium block", [&] { return MemPool::Free(static_cast<char*>(medium) + 64) == 0; }, MEM_BAD_POINTER, true},
      {"free inside a large block", [&] { return MemPool::Free(static_cast<char*>(large) + 16) == 0; }, MEM_BAD_POINTER, true},
      {"second free of a small block", [&] { return MemPool::Free(freedSmall) == 0; }, MEM_BAD_POINTER, true},
      {"second free of a medium block", [&] { return MemPool::Free(freedMedium) == 0; }, MEM_BAD_POINTER, true},
      {"second free of a medium block merged both ways", [&] {
         MemPool* own = MemPool::Create();
         void* keep = MemPool::Alloc(own, 500);  // keeps the page alive
         void* after = MemPool::Alloc(own, 500);
         void* middle = MemPool::Alloc(own, 500);
         void* before = MemPool::Alloc(own, 500);
         MemPool::Free(before);
         MemPool::Free(after);
         MemPool::Free(middle);  // joins the free blocks on both sides
         bool refused = MemPool::Free(middle) == 0;
         bool intact = MemPool::Check(own) && MemPool::Free(keep) == 1;
         MemPool::Destroy(own);
         return refused && intact;
       }, MEM_BAD_POINTER, true},
      {"fixed free inside a fixed block", [&] {
         MemPool* fixedPool = MemPool::CreateFixed(64, 10);
         void* a = MemPool::AllocFixed(fixedPool);
         void* b = MemPool::AllocFixed(fixedPool);
         bool refused = MemPool::FreeFixed(static_cast<char*>(a) + 8) == 0 && MemPool::Free(static_cast<char*>(b) + 4) == 0;
         // Refused twice, and still two distinct blocks afterwards.
         void* c = MemPool::AllocFixed(fixedPool);
         bool intact = c != a && c != b && MemPool::Check(fixedPool);
         MemPool::Destroy(fixedPool);
         return refused && intact;
       }, MEM_BAD_POINTER, true},
      {"fixed free of a medium block", [&] { return MemPool::FreeFixed(medium) == 0; }, MEM_BAD_POINTER, true},
      {"realloc of a stack address", [&] { return MemPool::Realloc(&onStack, 10) == nullptr; }, MEM_BAD_POINTER, false},
      {"size of a stack address", [&] { return MemPool::BlockSize(&onStack) == static_cast<size_t>(-1); }, MEM_BAD_POINTER, false},
      {"size of a freed block", [&] { return MemPool::BlockSize(freedMedium) == static_cast<size_t>(-1); }, MEM_BAD_POINTER, true},
      {"zero size", [&] { return MemPool::Alloc(pool, 0) == nullptr; }, MEM_ALLOC_ZERO, true},
      {"fixed block without a fixed size", [&] { return MemPool::AllocFixed(noFixedSize) == nullptr; }, MEM_ALLOC_ZERO, true},
      {"null pool", [&] { return MemPool::Alloc(nullptr, 10) == nullptr; }, MEM_BAD_MEM_POOL, false},
      {"stack address as pool", [&] { return MemPool::Alloc(reinterpret_cast<MemPool*>(&onStack), 10) == nullptr; }, MEM_BAD_MEM_POOL, true},
      {"destroyed pool", [&] { return MemPool::Alloc(destroyed, 10) == nullptr; }, MEM_BAD_MEM_POOL, true},
      {"fixed block from a destroyed pool", [&] { return MemPool::AllocFixed(destroyed) == nullptr; }, MEM_BAD_MEM_POOL, true},
      {"destroy twice", [&] { return MemPool::Destroy(destroyed) == 0; }, MEM_BAD_MEM_POOL, true},
      {"medium grow in place past a live block", [&] { return MemPool::Realloc(mediumFollower, 1500, kMemResizeInPlace) == nullptr; }, MEM_RESIZE_FAILED, true},
      {"small grow in place to another class", [&] { return MemPool::Realloc(small, 30, kMemResizeInPlace) == nullptr; }, MEM_RESIZE_FAILED, true},
      {"fixed block size above the page", [&] { return !MemPool::SetFixedBlockSize(noFixedSize, 20000); }, MEM_BLOCK_TOO_BIG, true},
      {"unlock of a lock not held", [&] {
         MemPool* serialized = MemPool::Create(kMemPoolSerialized);
         bool refused = !MemPool::Unlock(serialized);
         MemPool::Destroy(serialized);
         return refused;
       }, MEM_LOCK_ERROR, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    RecordedMemErrors errors;
    EXPECT_TRUE(c.m_operation());
    ASSERT_FALSE(errors.Codes().empty());
    for (uint32_t code : errors.Codes()) EXPECT_EQ(code, c.m_code);
    if (c.m_poolNamed) {
      EXPECT_NE(errors.Calls()[0].m_pool, nullptr);
    } else {
      EXPECT_EQ(errors.Calls()[0].m_pool, nullptr);
    }
    EXPECT_TRUE(MemPool::Check(pool));
  }
  // Nothing was changed by the refused operations.
  EXPECT_EQ(MemPool::BlockSize(medium), (1002u + kMemBlockAlignment - 1) / kMemBlockAlignment * kMemBlockAlignment - 2);
  EXPECT_EQ(MemPool::Free(medium), 1);
  EXPECT_EQ(MemPool::Free(mediumFollower), 1);
  EXPECT_EQ(MemPool::Free(small), 1);
  EXPECT_EQ(MemPool::Free(large), 1);
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_EQ(MemPool::Destroy(noFixedSize), 1);
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// The ceiling stops growth with error 7; the handler's retry answer gets another try,
// which succeeds once the handler has raised the ceiling.
TEST(MemErrors, CeilingReportsAndRetries) {
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  ASSERT_GE(MemPool::SetCeiling(pool, MemPool::BytesInUse(pool)), 0);
  struct Case {
    const char* m_name;
    std::function<void*()> m_allocate;
  };
  const std::vector<Case> cases = {
      {"medium page", [&] { return MemPool::Alloc(pool, 600); }},
      {"large block", [&] { return MemPool::Alloc(pool, 50000); }},
      {"fixed page", [&] { return MemPool::AllocFixed(pool); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    {
      RecordedMemErrors errors;
      EXPECT_EQ(c.m_allocate(), nullptr);
      EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_EXCEEDED_CEILING});
    }
    {
      static MemPool* raised;
      raised = pool;
      // Retry once after lifting the ceiling.
      MemErrorHandler previous = MemPool::SetErrorHandler([](const MemErrorInfo& info) {
        return info.m_errorCode == MEM_EXCEEDED_CEILING && MemPool::SetCeiling(raised, kMemSettingNone) >= 0 ? 1 : 0;
      });
      void* block = c.m_allocate();
      MemPool::SetErrorHandler(previous);
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(MemPool::Free(block), 1);
      ASSERT_GE(MemPool::SetCeiling(pool, MemPool::BytesInUse(pool)), 0);
    }
  }
  EXPECT_TRUE(MemPool::Check(pool));
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// When the operating system refuses memory: large blocks try again after releasing
// empty pages, then ask the handler (error 2); fixed pages halve their size first.
TEST(MemErrors, OutOfMemoryRetriesWhileTheHandlerAsks) {
  MemPool* pool = MemPool::Create();
  ASSERT_NE(pool, nullptr);
  struct Case {
    const char* m_name;
    uint32_t m_refusals;
    std::vector<int> m_answers;
    bool m_succeeds;
    std::vector<uint32_t> m_codes;
  };
  // A large block asks the system twice per attempt (before and after compaction).
  const Case cases[] = {
      {"one refusal: compaction retry succeeds", 1, {0}, true, {}},
      {"two refusals: handler declines", 2, {0}, false, {MEM_OUT_OF_MEMORY}},
      {"three refusals: handler retries once", 3, {1, 0}, true, {MEM_OUT_OF_MEMORY}},
      {"five refusals: handler retries twice", 5, {1, 1, 0}, true, {MEM_OUT_OF_MEMORY, MEM_OUT_OF_MEMORY}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    RecordedMemErrors errors;
    errors.SetAnswers(c.m_answers);
    mem_detail::SetRegionRefusals(c.m_refusals);
    void* block = MemPool::Alloc(pool, 100000);
    mem_detail::SetRegionRefusals(0);
    EXPECT_EQ(block != nullptr, c.m_succeeds);
    EXPECT_EQ(errors.Codes(), c.m_codes);
    if (block != nullptr) MemPool::Free(block);
  }

  // A refused 16384-byte fixed page is halved: the first page holds half the blocks.
  RecordedMemErrors errors;
  MemPool* fixed = MemPool::CreateFixed(256, 0);
  ASSERT_NE(fixed, nullptr);
  mem_detail::SetRegionRefusals(1);
  std::vector<void*> blocks;
  void* first = MemPool::AllocFixed(fixed);
  mem_detail::SetRegionRefusals(0);
  ASSERT_NE(first, nullptr);
  uintptr_t firstPage = reinterpret_cast<uintptr_t>(first) & ~uintptr_t{0xFFFF};
  uint32_t onFirstPage = 1;
  for (int i = 0; i < 100; ++i) {
    void* block = MemPool::AllocFixed(fixed);
    ASSERT_NE(block, nullptr);
    blocks.push_back(block);
    if ((reinterpret_cast<uintptr_t>(block) & ~uintptr_t{0xFFFF}) == firstPage) ++onFirstPage;
  }
  EXPECT_EQ(onFirstPage, (8192 - kMemPageHeaderSize) / 256);
  EXPECT_TRUE(errors.Codes().empty());
  EXPECT_TRUE(MemPool::Check(fixed));
  EXPECT_EQ(MemPool::Destroy(fixed), 1);
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

// The default handler's texts and buttons, and what each answer does.
TEST(MemErrors, DefaultHandlerMessages) {
  struct Case {
    uint32_t m_code;
    const char* m_text;
    AlertButtons m_buttons;
  };
  const Case cases[] = {
      {MEM_INTERNAL_ERROR, "MEM_INTERNAL_ERROR", AlertButtons::OkCancel},
      {MEM_OUT_OF_MEMORY, "Out of memory.  Please free some memory, then choose retry.", AlertButtons::AbortRetryIgnore},
      {MEM_BLOCK_TOO_BIG, "MEM_BLOCK_TOO_BIG", AlertButtons::OkCancel},
      {MEM_ALLOC_ZERO, "MEM_ALLOC_ZERO", AlertButtons::OkCancel},
      {MEM_RESIZE_FAILED, "MEM_RESIZE_FAILED", AlertButtons::OkCancel},
      {MEM_LOCK_ERROR, "MEM_LOCK_ERROR", AlertButtons::OkCancel},
      {MEM_EXCEEDED_CEILING, "MEM_EXCEEDED_CEILING", AlertButtons::OkCancel},
      {MEM_TOO_MANY_PAGES, "MEM_TOO_MANY_PAGES", AlertButtons::OkCancel},
      {MEM_TOO_MANY_TASKS, "MEM_TOO_MANY_TASKS", AlertButtons::OkCancel},
      {MEM_BAD_MEM_POOL, "MEM_BAD_MEM_POOL", AlertButtons::OkCancel},
      {MEM_BAD_BLOCK, "MEM_BAD_BLOCK", AlertButtons::OkCancel},
      {MEM_BAD_FREE_BLOCK, "MEM_BAD_FREE_BLOCK", AlertButtons::OkCancel},
      {MEM_BAD_HANDLE, "MEM_BAD_HANDLE", AlertButtons::OkCancel},
      {MEM_BAD_POINTER, "MEM_BAD_POINTER", AlertButtons::OkCancel},
      {MEM_WRONG_TASK, "MEM_INTERNAL_ERROR", AlertButtons::OkCancel},
      {0, "MEM_INTERNAL_ERROR", AlertButtons::OkCancel},
      {99, "MEM_INTERNAL_ERROR", AlertButtons::OkCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_text + std::string(" for ") + std::to_string(c.m_code));
    AlertCapture alerts(c.m_buttons == AlertButtons::OkCancel ? AlertAnswer::Ok : AlertAnswer::Ignore);
    MemErrorInfo info;
    info.m_errorCode = c.m_code;
    EXPECT_EQ(MemPool::DefaultErrorHandler(info), 0);
    alerts.SetAnswer(AlertAnswer::Retry);
    EXPECT_EQ(MemPool::DefaultErrorHandler(info), 1);
    alerts.SetAnswer(AlertAnswer::NotShown);
    EXPECT_EQ(MemPool::DefaultErrorHandler(info), 0);
    ASSERT_EQ(alerts.Shown().size(), 3u);
    const testing_support::CapturedAlert& shown = alerts.Shown()[0];
    EXPECT_EQ(shown.m_title, "SmartHeap Library");
    EXPECT_EQ(shown.m_text, c.m_text);
    EXPECT_EQ(shown.m_buttons, c.m_buttons);
    EXPECT_EQ(shown.m_defaultButton, 1);
    EXPECT_TRUE(shown.m_beep);
    EXPECT_TRUE(shown.m_stopIcon);
  }
  // The names table itself.
  EXPECT_STREQ(MemErrorName(MEM_BAD_POINTER), "MEM_BAD_POINTER");
  EXPECT_STREQ(MemErrorName(1000), "MEM_INTERNAL_ERROR");
}

// In console mode the alert answers Ok / Ignore: a failure under the default handler
// fails the operation once, prints its name and never loops.
TEST(MemErrors, DefaultHandlerInConsoleModeFailsOnce) {
  ASSERT_EQ(platform::GetAlertMode(), platform::AlertMode::Console);
  MemErrorHandler installed = MemPool::GetErrorHandler();
  MemPool::SetErrorHandler(&MemPool::DefaultErrorHandler);
  int onStack = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(MemPool::Free(&onStack), 0);
  mem_detail::SetRegionRefusals(1000);
  EXPECT_EQ(MemPool::Create(), nullptr);
  mem_detail::SetRegionRefusals(0);
  std::string printed = testing::internal::GetCapturedStderr();
  MemPool::SetErrorHandler(installed);
  EXPECT_EQ(printed,
            "SmartHeap Library: MEM_BAD_POINTER\n"
            "SmartHeap Library: Out of memory.  Please free some memory, then choose retry.\n");
}

using MemErrorsDeathTest = ::testing::Test;

TEST(MemErrorsDeathTest, CancelEndsTheProgramWithCode3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (AlertAnswer answer : {AlertAnswer::Cancel, AlertAnswer::Abort}) {
    SCOPED_TRACE(answer == AlertAnswer::Cancel ? "cancel" : "abort");
    EXPECT_EXIT(
        {
          AlertCapture alerts(answer);
          MemErrorInfo info;
          info.m_errorCode = answer == AlertAnswer::Cancel ? MEM_BAD_POINTER : MEM_OUT_OF_MEMORY;
          MemPool::DefaultErrorHandler(info);
        },
        ::testing::ExitedWithCode(3), "abnormal program termination");
  }
}

// A memory error raised while the handler runs on the same thread is not handed to the
// handler again: the re-entry message is shown and the inner operation fails.
TEST(MemErrors, ReentryIsRefusedWithAMessage) {
  AlertCapture alerts;
  static int calls;
  static int innerResult;
  calls = 0;
  innerResult = -1;
  MemErrorHandler previous = MemPool::SetErrorHandler([](const MemErrorInfo&) {
    ++calls;
    int onStack = 0;
    innerResult = MemPool::Free(&onStack);
    return 0;
  });
  int onStack = 0;
  EXPECT_EQ(MemPool::Free(&onStack), 0);
  MemPool::SetErrorHandler(previous);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(innerResult, 0);
  ASSERT_EQ(alerts.Shown().size(), 1u);
  EXPECT_EQ(alerts.Shown()[0].m_title, "SmartHeap Library");
  EXPECT_EQ(alerts.Shown()[0].m_text, "\n\rSmartHeap error handler recursively re-entered.\n\r");
  // The handler is usable again afterwards.
  RecordedMemErrors errors;
  EXPECT_EQ(MemPool::Free(&onStack), 0);
  EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_BAD_POINTER});
}

// At most 25 threads may be inside the handler at once; the 26th is refused with a
// message and its operation fails.
TEST(MemErrors, TooManyThreadsInTheHandler) {
  static std::mutex mutex;
  static std::condition_variable changed;
  static int inside;
  static bool release;
  inside = 0;
  release = false;
  MemErrorHandler previous = MemPool::SetErrorHandler([](const MemErrorInfo&) {
    std::unique_lock<std::mutex> lock(mutex);
    ++inside;
    changed.notify_all();
    changed.wait(lock, [] { return release; });
    return 0;
  });
  std::vector<std::thread> threads;
  for (int i = 0; i < 25; ++i) threads.emplace_back([] { MemPool::Alloc(nullptr, 8); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [] { return inside == 25; }));
  }
  {
    AlertCapture alerts;
    EXPECT_EQ(MemPool::Alloc(nullptr, 8), nullptr);
    ASSERT_EQ(alerts.Shown().size(), 1u);
    EXPECT_EQ(alerts.Shown()[0].m_text, "\n\rMemory errors in too many threads concurrently.\n\r");
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(inside, 25);
    release = true;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
  MemPool::SetErrorHandler(previous);
  // Every thread's record went with its handler call: a new error is handled.
  RecordedMemErrors errors;
  EXPECT_EQ(MemPool::Alloc(nullptr, 8), nullptr);
  EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_BAD_MEM_POOL});
}

// A serialised pool's lock is left while the handler runs, so another thread can use
// the pool meanwhile, and is held again as deeply afterwards.
TEST(MemErrors, SerializedPoolLockIsLeftDuringTheHandler) {
  static MemPool* pool;
  static bool otherThreadAllocated;
  pool = MemPool::Create(kMemPoolSerialized);
  ASSERT_NE(pool, nullptr);
  otherThreadAllocated = false;
  MemErrorHandler previous = MemPool::SetErrorHandler([](const MemErrorInfo&) {
    std::thread other([] {
      void* block = MemPool::Alloc(pool, 100);
      otherThreadAllocated = block != nullptr;
      MemPool::Free(block);
    });
    other.join();
    return 0;
  });
  ASSERT_TRUE(MemPool::Lock(pool));
  EXPECT_EQ(MemPool::Alloc(pool, 0), nullptr);
  EXPECT_TRUE(otherThreadAllocated);
  // Still held once by this thread: one unlock succeeds, a second is an error.
  EXPECT_TRUE(MemPool::Unlock(pool));
  MemPool::SetErrorHandler(previous);
  RecordedMemErrors errors;
  EXPECT_FALSE(MemPool::Unlock(pool));
  EXPECT_EQ(errors.Codes(), std::vector<uint32_t>{MEM_LOCK_ERROR});
  EXPECT_EQ(MemPool::Destroy(pool), 1);
}

TEST(MemErrors, HandlerInstallReturnsThePrevious) {
  MemErrorHandler original = MemPool::GetErrorHandler();
  MemErrorHandler mine = [](const MemErrorInfo&) { return 0; };
  EXPECT_EQ(MemPool::SetErrorHandler(mine), original);
  EXPECT_EQ(MemPool::GetErrorHandler(), mine);
  // Without a handler an error simply fails.
  EXPECT_EQ(MemPool::SetErrorHandler(nullptr), mine);
  EXPECT_EQ(MemPool::Alloc(nullptr, 4), nullptr);
  EXPECT_EQ(MemPool::SetErrorHandler(original), nullptr);
}

}  // namespace
}  // namespace zentor
