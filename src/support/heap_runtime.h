#pragma once
// The standard-library style allocation entries of the memory manager, all on its
// default pool: malloc, calloc, realloc, _expand, free, _msize, the heap checks and
// walk, the allocation-failure hook and new handler, and the allocation operators'
// bodies (taking an optional pool). They are the manager's own functions in this
// namespace: the C library's malloc and the global operators stay untouched.

#include <cstddef>
#include <cstdint>

#include "support/mem_pool.h"

namespace zentor::heap {

// Results of the heap checks and walk.
inline constexpr int kHeapEmpty = -1;     // there is no default pool (or the call is not supported)
inline constexpr int kHeapOk = -2;
inline constexpr int kHeapBadBegin = -3;
inline constexpr int kHeapBadNode = -4;
inline constexpr int kHeapEnd = -5;
inline constexpr int kHeapBadPtr = -6;

inline constexpr int kHeapFreeEntry = 0;
inline constexpr int kHeapUsedEntry = 1;

// One step of _heapwalk: start with m_entry null.
struct HeapInfo {
  void* m_entry = nullptr;
  size_t m_size = 0;
  int m_useFlag = kHeapFreeEntry;
};

void* malloc(size_t size);
void* calloc(size_t count, size_t size);
void* realloc(void* block, size_t size);
void* _expand(void* block, size_t size);
void free(void* block);
size_t _msize(void* block);

int _heapchk();
int _heapset(unsigned int fill);
int _heapwalk(HeapInfo* entry);
int _heapmin();
int _heapadd(void* memory, size_t size);  // not supported: -1

// Called with the size of a failed malloc or calloc (while the hook mode word is
// non-zero) or of a failed allocation operator; non-zero asks for another try.
using AllocFailureHook = int (*)(size_t size);
AllocFailureHook SetAllocFailureHook(AllocFailureHook hook);
uint32_t SetAllocHookMode(uint32_t mode);

// Called by the allocation operator when an allocation fails and no failure hook is
// set; non-zero asks for another try, 0 gives up (null).
using NewHandler = int (*)(size_t size);
NewHandler SetNewHandler(NewHandler handler);

// The bodies of operator new and operator delete: a size 0 becomes 1; the block comes
// from `pool`, or the default pool when null. Null when the allocation finally fails.
void* OperatorNew(size_t size, MemPool* pool = nullptr);
void OperatorDelete(void* block);

}  // namespace zentor::heap
