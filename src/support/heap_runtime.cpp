#include "support/heap_runtime.h"

#include <atomic>
#include <cstring>

namespace zentor::heap {

namespace {

std::atomic<AllocFailureHook> g_allocFailureHook{nullptr};
std::atomic<uint32_t> g_allocHookMode{0};
std::atomic<NewHandler> g_newHandler{nullptr};

uint32_t ZeroFlagFromDefaults() { return (MemPool::DefaultFlags() & kMemPoolZeroInitDefault) != 0 ? kMemZeroInit : 0; }

// Sizes are handed on in multiples of 4, and 0 becomes 4; 0 means "cannot be rounded".
size_t RoundRequest(size_t size) {
  if (size == 0) return 4;
  if (size > SIZE_MAX - 3) return 0;
  return (size + 3) & ~size_t{3};
}

// The hook is asked only while the hook mode word is non-zero.
void* AllocateWithHook(size_t rounded, uint32_t flags) {
  MemPool* pool = MemPool::GetDefault();
  if (pool == nullptr) return nullptr;
  for (;;) {
    void* block = MemPool::Alloc(pool, rounded, flags);
    if (block != nullptr) return block;
    AllocFailureHook hook = g_allocFailureHook.load();
    if (hook == nullptr || g_allocHookMode.load() == 0 || hook(rounded) == 0) return nullptr;
  }
}

int WalkStatusToHeapCode(MemWalkStatus status) {
  switch (status) {
    case MemWalkStatus::Ok: return kHeapOk;
    case MemWalkStatus::End: return kHeapEnd;
    case MemWalkStatus::BadPage: return kHeapBadNode;
    case MemWalkStatus::BadEntry: return kHeapBadPtr;
    case MemWalkStatus::BadPool: return kHeapEmpty;
  }
  return kHeapBadNode;
}

}  // namespace

void* malloc(size_t size) {
  size_t rounded = RoundRequest(size);
  if (rounded == 0) return nullptr;
  return AllocateWithHook(rounded, ZeroFlagFromDefaults());
}

void* calloc(size_t count, size_t size) {
  // A product that does not fit is no request anyone can satisfy.
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  size_t rounded = RoundRequest(count * size);
  if (rounded == 0) return nullptr;
  return AllocateWithHook(rounded, kMemZeroInit);
}

void* realloc(void* block, size_t size) {
  if (block == nullptr) return malloc(size);
  if (size == 0) {
    free(block);
    return nullptr;
  }
  size_t rounded = RoundRequest(size);
  if (rounded == 0) return nullptr;
  return MemPool::Realloc(block, rounded, 0);
}

void* _expand(void* block, size_t size) {
  if (block == nullptr) return nullptr;
  return MemPool::Realloc(block, size, kMemResizeInPlace);
}

void free(void* block) {
  if (block != nullptr) MemPool::Free(block);
}

size_t _msize(void* block) {
  size_t size = MemPool::BlockSize(block);
  return size == static_cast<size_t>(-1) ? size : size & ~size_t{3};
}

int _heapchk() {
  MemPool* pool = MemPool::GetDefault();
  if (pool == nullptr) return kHeapEmpty;
  return MemPool::Check(pool) ? kHeapOk : kHeapBadNode;
}

int _heapset(unsigned int fill) {
  MemPool* pool = MemPool::GetDefault();
  if (pool == nullptr) return kHeapEmpty;
  return MemPool::FillFree(pool, static_cast<uint8_t>(fill)) ? kHeapOk : kHeapBadNode;
}

int _heapwalk(HeapInfo* entry) {
  MemPool* pool = MemPool::GetDefault();
  if (pool == nullptr) return kHeapEmpty;
  if (entry == nullptr) return kHeapBadPtr;
  MemWalkEntry step;
  step.m_block = entry->m_entry;
  MemWalkStatus status = MemPool::Walk(pool, &step);
  if (status == MemWalkStatus::Ok) {
    entry->m_entry = step.m_block;
    entry->m_size = step.m_size;
    entry->m_useFlag = step.m_inUse ? kHeapUsedEntry : kHeapFreeEntry;
  }
  return WalkStatusToHeapCode(status);
}

int _heapmin() {
  MemPool* pool = MemPool::GetDefault();
  if (pool != nullptr) MemPool::Compact(pool);
  return 0;
}

int _heapadd(void*, size_t) { return -1; }

AllocFailureHook SetAllocFailureHook(AllocFailureHook hook) { return g_allocFailureHook.exchange(hook); }

uint32_t SetAllocHookMode(uint32_t mode) { return g_allocHookMode.exchange(mode); }

NewHandler SetNewHandler(NewHandler handler) { return g_newHandler.exchange(handler); }

// 1. Allocate (zero-filled when the default flags say so); success returns the block.
// 2. With a failure hook: it decides, 0 gives null.
// 3. Otherwise with a new handler: it decides, 0 gives null.
// 4. With neither: null.
void* OperatorNew(size_t size, MemPool* pool) {
  if (size == 0) size = 1;
  if (pool == nullptr) {
    pool = MemPool::GetDefault();
    if (pool == nullptr) return nullptr;
  }
  for (;;) {
    void* block = MemPool::Alloc(pool, size, ZeroFlagFromDefaults());
    if (block != nullptr) return block;
    if (AllocFailureHook hook = g_allocFailureHook.load()) {
      if (hook(size) == 0) return nullptr;
      continue;
    }
    NewHandler handler = g_newHandler.load();
    if (handler == nullptr || handler(size) == 0) return nullptr;
  }
}

void OperatorDelete(void* block) {
  if (block != nullptr) MemPool::Free(block);
}

}  // namespace zentor::heap
