// The memory manager's error entry, its replaceable handler with per-thread depth
// records, the default handler's messages, and the global list of pools that the
// error-handler record keeps.

#include <cstdio>
#include <cstdlib>

#include "support/mem_pages.h"
#include "platform/alert.h"
#include "platform/held_output.h"
#include "platform/lock.h"
#include "platform/thread.h"

namespace zentor {

using namespace mem_detail;

namespace {

// The names, in 25-character slots indexed by code.
constexpr char kErrorNames[16][25] = {
    "MEM_NO_ERROR",         "MEM_INTERNAL_ERROR", "MEM_OUT_OF_MEMORY",  "MEM_BLOCK_TOO_BIG",
    "MEM_ALLOC_ZERO",       "MEM_RESIZE_FAILED",  "MEM_LOCK_ERROR",     "MEM_EXCEEDED_CEILING",
    "MEM_TOO_MANY_PAGES",   "MEM_TOO_MANY_TASKS", "MEM_BAD_MEM_POOL",   "MEM_BAD_BLOCK",
    "MEM_BAD_FREE_BLOCK",   "MEM_BAD_HANDLE",     "MEM_BAD_POINTER",    "MEM_WRONG_TASK",
};

constexpr const char* kOutOfMemoryText = "Out of memory.  Please free some memory, then choose retry.";
constexpr const char* kTooManyThreadsText = "\n\rMemory errors in too many threads concurrently.\n\r";
constexpr const char* kReenteredText = "\n\rSmartHeap error handler recursively re-entered.\n\r";
constexpr const char* kAlertTitle = "SmartHeap Library";

struct ThreadErrorRecord {
  uint32_t m_threadId;
  uint32_t m_depth;  // handler calls active on the thread
};

struct ErrorHandlerRecord {
  MemErrorHandler m_handler = &MemPool::DefaultErrorHandler;
  PoolHeader* m_firstPool = nullptr;
  uint32_t m_registrationCount = 0;
  ThreadErrorRecord m_threads[kMaxErrorThreads] = {};
  uint32_t m_threadCount = 0;
};

// Made on first use and never destroyed: pools may be reported on during the
// program's exit.
ErrorHandlerRecord& Record() {
  static ErrorHandlerRecord* record = new ErrorHandlerRecord;
  return *record;
}

platform::Lock& HandlerLock() {  // the pool list and the handler
  static platform::Lock* lock = new platform::Lock;
  return *lock;
}

platform::Lock& DepthLock() {  // the per-thread records
  static platform::Lock* lock = new platform::Lock;
  return *lock;
}

[[noreturn]] void AbortProgram() {
  platform::WriteHeldOutput();
  std::fputs("abnormal program termination\n", stderr);
  std::fflush(stderr);
  std::_Exit(3);
}

// Every message of the manager: a beep and a stop box with the second button as the
// default. Ok and Ignore fail the operation, Retry asks for another try, Cancel and
// Abort end the program.
int ShowMemoryMessage(const char* text, platform::AlertButtons buttons) {
  platform::AlertRequest request;
  request.title = kAlertTitle;
  request.text = text;
  request.buttons = buttons;
  request.defaultButton = 1;
  request.stopIcon = true;
  request.beep = true;
  switch (platform::ShowAlert(request)) {
    case platform::AlertAnswer::Retry: return 1;
    case platform::AlertAnswer::Cancel:
    case platform::AlertAnswer::Abort: AbortProgram();
    case platform::AlertAnswer::Ok:
    case platform::AlertAnswer::Ignore:
    case platform::AlertAnswer::NotShown: return 0;
  }
  return 0;
}

int FindThread(const ErrorHandlerRecord& record, uint32_t threadId) {
  for (uint32_t i = 0; i < record.m_threadCount; ++i) {
    if (record.m_threads[i].m_threadId == threadId) return static_cast<int>(i);
  }
  return -1;
}

// Lowers the thread's depth after a handler call (also when the handler throws) and
// enters the pool's lock again as deeply as it was held.
class HandlerCallScope {
 public:
  HandlerCallScope(uint32_t threadId, platform::Lock* poolLock, uint32_t poolLockEntries)
      : m_threadId(threadId), m_poolLock(poolLock), m_poolLockEntries(poolLockEntries) {}
  ~HandlerCallScope() {
    {
      platform::LockGuard guard(DepthLock());
      ErrorHandlerRecord& record = Record();
      int index = FindThread(record, m_threadId);
      if (index >= 0 && --record.m_threads[index].m_depth == 0) {
        record.m_threads[index] = record.m_threads[--record.m_threadCount];
      }
    }
    if (m_poolLock != nullptr) m_poolLock->EnterTimes(m_poolLockEntries);
  }
  HandlerCallScope(const HandlerCallScope&) = delete;
  HandlerCallScope& operator=(const HandlerCallScope&) = delete;

 private:
  uint32_t m_threadId;
  platform::Lock* m_poolLock;
  uint32_t m_poolLockEntries;
};

}  // namespace

const char* MemErrorName(uint32_t code) {
  return code < sizeof(kErrorNames) / sizeof(kErrorNames[0]) ? kErrorNames[code] : kErrorNames[MEM_INTERNAL_ERROR];
}

namespace mem_detail {

void LinkPool(PoolHeader* pool) {
  platform::LockGuard guard(HandlerLock());
  ErrorHandlerRecord& record = Record();
  pool->m_next = record.m_firstPool;
  pool->m_listOwner = &record;
  record.m_firstPool = pool;
  ++record.m_registrationCount;
}

void UnlinkPool(PoolHeader* pool) {
  platform::LockGuard guard(HandlerLock());
  ErrorHandlerRecord& record = Record();
  for (PoolHeader** link = &record.m_firstPool; *link != nullptr; link = &(*link)->m_next) {
    if (*link == pool) {
      *link = pool->m_next;
      --record.m_registrationCount;
      break;
    }
  }
  pool->m_next = nullptr;
  pool->m_listOwner = nullptr;
}

uint32_t LivePoolCount() {
  platform::LockGuard guard(HandlerLock());
  return Record().m_registrationCount;
}

// 1. No handler: the operation fails.
// 2. A valid serialised pool's lock is left completely while the handler runs (the
//    handler may free memory in the pool from another thread) and entered again after.
// 3. The calling thread's record is found or made; with 25 threads already in the table
//    the handler is not called.
// 4. A handler already active on this thread is not called again (it would recurse).
// 5. The handler's answer is returned; the thread's record goes when its depth is 0.
int ReportPoolError(PoolHeader* pool, uint32_t code) {
  MemErrorHandler handler;
  {
    platform::LockGuard guard(HandlerLock());
    handler = Record().m_handler;
  }
  if (handler == nullptr) return 0;
  platform::Lock* poolLock = nullptr;
  uint32_t poolLockEntries = 0;
  if (pool != nullptr) {
    PoolHeader* valid = ValidPool(PoolOfHeader(pool));
    if (valid != nullptr && (valid->m_flags & kMemPoolSerialized) != 0 && valid->m_lock != nullptr) {
      poolLock = valid->m_lock;
      poolLockEntries = poolLock->LeaveAll();
    }
  }
  uint32_t threadId = platform::CurrentThreadId();
  const char* refusal = nullptr;
  {
    platform::LockGuard guard(DepthLock());
    ErrorHandlerRecord& record = Record();
    int index = FindThread(record, threadId);
    if (index < 0 && record.m_threadCount >= kMaxErrorThreads) {
      refusal = kTooManyThreadsText;
    } else {
      if (index < 0) {
        index = static_cast<int>(record.m_threadCount++);
        record.m_threads[index] = ThreadErrorRecord{threadId, 0};
      }
      if (record.m_threads[index].m_depth > 0) {
        refusal = kReenteredText;
      } else {
        record.m_threads[index].m_depth = 1;
      }
    }
  }
  if (refusal != nullptr) {
    ShowMemoryMessage(refusal, platform::AlertButtons::Ok);
    if (poolLock != nullptr) poolLock->EnterTimes(poolLockEntries);
    return 0;
  }
  HandlerCallScope scope(threadId, poolLock, poolLockEntries);
  MemErrorInfo info;
  info.m_errorCode = code;
  info.m_pool = PoolOfHeader(pool);
  return handler(info);
}

}  // namespace mem_detail

int MemPool::ReportError(MemPool* pool, uint32_t code) { return ReportPoolError(HeaderOf(pool), code); }

MemErrorHandler MemPool::SetErrorHandler(MemErrorHandler handler) {
  platform::LockGuard guard(HandlerLock());
  MemErrorHandler previous = Record().m_handler;
  Record().m_handler = handler;
  return previous;
}

MemErrorHandler MemPool::GetErrorHandler() {
  platform::LockGuard guard(HandlerLock());
  return Record().m_handler;
}

int MemPool::DefaultErrorHandler(const MemErrorInfo& info) {
  if (info.m_errorCode == MEM_OUT_OF_MEMORY) {
    return ShowMemoryMessage(kOutOfMemoryText, platform::AlertButtons::AbortRetryIgnore);
  }
  const char* text = info.m_errorCode >= MEM_BLOCK_TOO_BIG && info.m_errorCode <= MEM_BAD_POINTER
                         ? kErrorNames[info.m_errorCode]
                         : kErrorNames[MEM_INTERNAL_ERROR];
  return ShowMemoryMessage(text, platform::AlertButtons::OkCancel);
}

}  // namespace zentor
