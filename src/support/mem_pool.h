#pragma once
// The memory manager: pools of memory taken from the operating system in 64 KB-aligned
// regions and sub-allocated by block size (small blocks from size-class lists, medium
// blocks from boundary-tagged pages, large blocks in regions of their own, fixed-size
// blocks from per-page free lists). Every failure goes through one replaceable error
// handler. The checked allocation layer creates its pools here and installs its own
// handler; the C-runtime style entries (heap_runtime.h) work on the default pool.

#include <cstddef>
#include <cstdint>

namespace zentor {

// Error codes handed to the error handler.
enum MemErrorCode : uint32_t {
  MEM_NO_ERROR = 0,
  MEM_INTERNAL_ERROR = 1,
  MEM_OUT_OF_MEMORY = 2,
  MEM_BLOCK_TOO_BIG = 3,
  MEM_ALLOC_ZERO = 4,
  MEM_RESIZE_FAILED = 5,
  MEM_LOCK_ERROR = 6,
  MEM_EXCEEDED_CEILING = 7,
  MEM_TOO_MANY_PAGES = 8,
  MEM_TOO_MANY_TASKS = 9,
  MEM_BAD_MEM_POOL = 10,
  MEM_BAD_BLOCK = 11,
  MEM_BAD_FREE_BLOCK = 12,
  MEM_BAD_HANDLE = 13,
  MEM_BAD_POINTER = 14,
  MEM_WRONG_TASK = 15,
};

// The name of an error code as the default handler shows it ("MEM_BAD_POINTER");
// "MEM_INTERNAL_ERROR" for a code outside the table.
const char* MemErrorName(uint32_t code);

class MemPool;

// What the error handler is told.
struct MemErrorInfo {
  uint32_t m_errorCode = MEM_NO_ERROR;
  MemPool* m_pool = nullptr;  // the pool concerned, or null
};

// An error handler returns non-zero to have the failed operation tried again.
using MemErrorHandler = int (*)(const MemErrorInfo& info);

// Pool flags.
inline constexpr uint16_t kMemPoolSerialized = 0x0002;  // the pool has its own lock
inline constexpr uint16_t kMemPoolDefaultFlags = 0x8000;
// Bit value 8 in the default flags makes the standard allocation calls zero-fill.
inline constexpr uint16_t kMemPoolZeroInitDefault = 0x0008;

// Allocation and resize flags.
inline constexpr uint32_t kMemZeroInit = 0x0001;         // clear the (newly usable) bytes
inline constexpr uint32_t kMemResizeInPlace = 0x0008;    // Realloc: never move the block

// Limits observable through the interface.
inline constexpr uint32_t kMemSmallLimit = 255;          // sizes below this are small blocks
inline constexpr uint32_t kMemHeaderRegionSize = 4096;   // the pool header's region
inline constexpr uint32_t kMemNoFloor = 0;
inline constexpr uint32_t kMemNoCeiling = 0xFFFFFFFEu;
inline constexpr uint32_t kMemSettingNone = 0xFFFFFFFFu;  // "none" when setting floor or ceiling
inline constexpr uint16_t kMemDefaultPageSize = 16384;
// The page header before the blocks of a page: 28 bytes with 32-bit pointers; with
// 64-bit pointers its pointer fields are twice as wide.
inline constexpr uint32_t kMemPageHeaderSize = sizeof(void*) == 4 ? 28 : 64;
// Blocks start on this boundary (with 64-bit pointers, the system allocator's 16 bytes,
// so that any object may live in a block).
inline constexpr uint32_t kMemBlockAlignment = sizeof(void*) == 4 ? 4 : 16;

// Page kinds, reported by MemPool::GetInfo as bit (1 << kind).
enum MemPageKind : uint16_t {
  kMemPageMedium = 0,
  kMemPageFixed = 1,
  kMemPageMediumSecond = 2,
  kMemPageLarge = 3,
  kMemPageSmall = 4,
};

struct MemPoolInfo {
  uint32_t m_pageKinds = 0;        // bit (1 << kind) for each kind the pool has pages of
  uint32_t m_fixedBlockSize = 0;
  uint32_t m_pageSize = 0;
  uint32_t m_floor = 0;
  uint32_t m_ceiling = 0;
  uint32_t m_flags = 0;
  uint32_t m_registrationCount = 0;  // live pools
};

// One step of a heap walk: set m_block to null to start; each successful step fills
// the entry with the next block.
struct MemWalkEntry {
  void* m_block = nullptr;
  size_t m_size = 0;      // usable bytes
  bool m_inUse = false;
  uint16_t m_pageKind = 0;
};

enum class MemWalkStatus { Ok, End, BadPage, BadEntry, BadPool };

// The pool header. It occupies the first 4 KB of a region of its own; objects are made
// only by Create/CreateFixed and ended by Destroy. Every operation takes the pool (or
// the block) as an argument and checks it, so a bad pool or pointer is reported to the
// error handler instead of being used.
class MemPool {
 public:
  // Pools.
  static MemPool* Create(uint16_t flags = 0);
  static MemPool* CreateFixed(uint32_t blockSize, uint32_t count, uint16_t flags = 0);
  static int Destroy(MemPool* pool);
  // The default pool of the standard allocation calls, made on first use (null when it
  // cannot be made).
  static MemPool* GetDefault();
  // Page size and fixed block size applied to the default pool when it is made
  // (0 and 0xFFFF mean "not set").
  static void ConfigureDefaultPool(uint32_t pageSize, uint32_t fixedBlockSize);
  // The flags the default pool is made with (kMemPoolDefaultFlags); bit value 8 makes the
  // standard allocation calls zero-fill. The setter returns the old flags.
  static uint16_t DefaultFlags();
  static uint16_t SetDefaultFlags(uint16_t flags);

  // Blocks.
  static void* Alloc(MemPool* pool, size_t size, uint32_t flags = 0);
  static int Free(void* block);
  static void* Realloc(void* block, size_t size, uint32_t flags = 0);
  static void* AllocFixed(MemPool* pool);
  static int FreeFixed(void* block);
  // The usable size of a block; (size_t)-1 (after error 14) for a bad pointer.
  static size_t BlockSize(const void* block);
  // The pool that owns a block, or null when it is none of the manager's blocks.
  static MemPool* PoolOf(const void* block);

  // Settings; each checks the pool first (error 10).
  static uint32_t SetPageSize(MemPool* pool, uint32_t pageSize);       // returns the old page size
  static bool SetFixedBlockSize(MemPool* pool, uint32_t blockSize);
  static int64_t SetFloor(MemPool* pool, uint32_t floor);              // old floor, or -1 when refused
  static int64_t SetCeiling(MemPool* pool, uint32_t ceiling);          // old ceiling, or -1 when refused
  static uint32_t BytesInUse(MemPool* pool);
  static bool GetInfo(MemPool* pool, MemPoolInfo* info);
  static bool Lock(MemPool* pool);
  static bool Unlock(MemPool* pool);
  // Releases the empty pages of kinds 0 to 2 (respecting the floor) and the memory the
  // manager keeps for reuse.
  static bool Compact(MemPool* pool);

  // Checks.
  static bool Check(MemPool* pool);                       // the whole pool is consistent
  static bool CheckPointer(MemPool* pool, const void* block);  // a live block of this pool
  static MemWalkStatus Walk(MemPool* pool, MemWalkEntry* entry);
  // Fills the unused bytes of every free block with `fill` (the debugging aid behind
  // _heapset); returns the result of Check.
  static bool FillFree(MemPool* pool, uint8_t fill);

  // The error handler.
  static MemErrorHandler SetErrorHandler(MemErrorHandler handler);
  static MemErrorHandler GetErrorHandler();
  static int DefaultErrorHandler(const MemErrorInfo& info);
  // Reports an error for `pool` (or null) to the installed handler; non-zero asks for
  // the failed operation to be tried again.
  static int ReportError(MemPool* pool, uint32_t code);

  MemPool(const MemPool&) = delete;
  MemPool& operator=(const MemPool&) = delete;

 private:
  // A pool is only ever made in its own region by Create; its header layout is private
  // to the manager.
  MemPool() = delete;
  ~MemPool() = delete;
};

}  // namespace zentor
