#include "core/checked_alloc.h"

#include "core/dv_error.h"
#include "core/message_table.h"

#include "support/mem_pool.h"

namespace zentor {
namespace {

uint32_t g_pendingMemoryError = 0;

MemPool* ResolvePool(MemPool* pool) { return pool == kDefaultPoolName ? MemPool::GetDefault() : pool; }

void RefuseOversize(uint64_t size) {
  if (size > kLargestAllocationSize) throw DVError(kMsgAllocationTooLarge, kSeveritySevere, kDisplayByFocus);
}

// Installs the handler when the program starts, before any checked allocation.
struct CheckedAllocationInstaller {
  CheckedAllocationInstaller() { InstallCheckedAllocation(); }
};
const CheckedAllocationInstaller g_installer;

}  // namespace

void InstallCheckedAllocation() {
  if (MemPool::GetErrorHandler() != &MemoryErrorHandler) MemPool::SetErrorHandler(&MemoryErrorHandler);
  MemPool::GetDefault();
}

int MemoryErrorHandler(const MemErrorInfo& info) {
  g_pendingMemoryError = info.m_errorCode;
  return 0;
}

uint32_t PendingMemoryError() { return g_pendingMemoryError; }

void CheckMemoryError() {
  uint32_t code = g_pendingMemoryError;
  if (code == 0) return;
  g_pendingMemoryError = 0;
  if (code == MEM_OUT_OF_MEMORY) throw DVError(kMsgDynamicMemoryFull, kSeveritySevere, kDisplayByFocus);
  DVError error(kMsgMemoryManagerError, kSeverityInternal, kDisplayByFocus);
  error.SetArg(0, static_cast<int32_t>(code));
  throw error;
}

MemPool* CheckedCreatePool() {
  g_pendingMemoryError = 0;
  MemPool* pool = MemPool::Create(kMemPoolDefaultFlags);
  CheckMemoryError();
  return pool;
}

int CheckedCreatePool_Out(MemPool** pool) {
  MemPool* created = CheckedCreatePool();
  if (pool != nullptr) *pool = created;
  return 0;
}

void CheckedFreePool(MemPool* pool) {
  g_pendingMemoryError = 0;
  MemPool* resolved = ResolvePool(pool);
  if (resolved == MemPool::GetDefault()) ZENTOR_INTERNAL_ERROR();
  MemPool::Destroy(resolved);
  CheckMemoryError();
}

int CheckedFreePool_Status(MemPool* pool) {
  CheckedFreePool(pool);
  return 0;
}

void* CheckedAlloc(uint64_t size, MemPool* pool) {
  g_pendingMemoryError = 0;
  MemPool* resolved = ResolvePool(pool);
  RefuseOversize(size);
  void* block = MemPool::Alloc(resolved, static_cast<size_t>(size), 0);
  CheckMemoryError();
  return block;
}

int CheckedAlloc_Out(MemPool* pool, uint64_t size, uint32_t, void** block) {
  RefuseOversize(size);
  void* allocated = CheckedAlloc(size, pool);
  if (block != nullptr) *block = allocated;
  return 0;
}

void* CheckedRealloc(void* block, uint64_t size) {
  g_pendingMemoryError = 0;
  RefuseOversize(size);
  void* moved = MemPool::Realloc(block, static_cast<size_t>(size), 0);
  CheckMemoryError();
  return moved;
}

int CheckedRealloc_InPlace(uint64_t size, void** block) {
  RefuseOversize(size);
  if (block == nullptr) ZENTOR_INTERNAL_ERROR();
  *block = CheckedRealloc(*block, size);
  return 0;
}

int CheckedFree(void* block) {
  g_pendingMemoryError = 0;
  int result = MemPool::Free(block);
  CheckMemoryError();
  return result;
}

int CheckedFree_Status(void* block) {
  CheckedFree(block);
  return 0;
}

}  // namespace zentor
