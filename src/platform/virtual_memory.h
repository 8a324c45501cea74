#pragma once
// Address-space regions from the operating system: the memory manager's only source
// of memory. A region is reserved on a 64 KB boundary (so the region of any address in
// it is found by masking), committed and decommitted in 4 KB steps, and released whole.

#include <cstddef>
#include <cstdint>

namespace zentor::platform {

inline constexpr size_t kRegionAlignment = 65536;
inline constexpr size_t kCommitGranularity = 4096;

// Reserves at least `size` bytes (rounded up to 64 KB) of address space on a 64 KB
// boundary; nothing is committed. A non-null `hint` (64 KB aligned) is tried first;
// when that address is taken any other is used. Returns null when refused.
void* ReserveRegion(size_t size, void* hint = nullptr);

// Makes [address, address + size) readable and writable; `address` must lie in a
// reservation made here and is rounded down, the end rounded up, to 4 KB. Newly
// committed memory reads as zeros; already committed memory keeps its contents.
bool CommitRegion(void* address, size_t size);

// Returns [address, address + size) to the reserved state; its contents are lost and
// read as zeros when committed again. Partial 4 KB steps are widened to whole ones.
bool DecommitRegion(void* address, size_t size);

// Releases the whole reservation that starts at `base`.
bool ReleaseRegion(void* base);

// The number of committed bytes from `base` on up to the first uncommitted 4 KB step
// (0 when `base` is not committed or not the start of a reservation made here).
size_t CommittedSize(const void* base);

// The reserved size of the reservation that starts at `base` (0 when there is none).
size_t ReservedSize(const void* base);

}  // namespace zentor::platform
