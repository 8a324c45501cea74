#pragma once
// Allocation that never returns null to its caller. The memory manager reports its
// failures to an error handler and returns null; this layer installs its own handler,
// which only records the error code, and turns the recorded code into a thrown
// DVError right after the call that failed: 181 "Dynamic memory is full." for out of
// memory, 3 "Internal memory management error code %s." for anything else. Sizes the
// manager cannot represent once it adds its overhead are refused first with 180.

#include <cstddef>
#include <cstdint>

namespace zentor {

class MemPool;
struct MemErrorInfo;

// Requests above this many bytes are refused before the memory manager is asked.
inline constexpr uint64_t kLargestAllocationSize = 0xFFFFFFBFull;

// Pool arguments accept this as a name for the default pool.
inline MemPool* const kDefaultPoolName = reinterpret_cast<MemPool*>(~static_cast<uintptr_t>(0));

MemPool* CheckedCreatePool();
int CheckedCreatePool_Out(MemPool** pool);
// Freeing the default pool is refused with the internal-consistency error.
void CheckedFreePool(MemPool* pool);
int CheckedFreePool_Status(MemPool* pool);
void* CheckedAlloc(uint64_t size, MemPool* pool = kDefaultPoolName);
int CheckedAlloc_Out(MemPool* pool, uint64_t size, uint32_t unused, void** block);
void* CheckedRealloc(void* block, uint64_t size);
int CheckedRealloc_InPlace(uint64_t size, void** block);
int CheckedFree(void* block);
int CheckedFree_Status(void* block);

// Throws the pending memory-manager error, if any, and clears it.
void CheckMemoryError();
// The handler this layer installs: records the code and declines a retry.
int MemoryErrorHandler(const MemErrorInfo& info);
// The code recorded and not yet raised (0 = none).
uint32_t PendingMemoryError();
// Installs MemoryErrorHandler and makes sure the default pool exists. Runs at program
// start; idempotent.
void InstallCheckedAllocation();

}  // namespace zentor
