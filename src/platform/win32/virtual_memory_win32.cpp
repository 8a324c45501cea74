#include "platform/virtual_memory.h"

#include <windows.h>

namespace zentor::platform {

namespace {

constexpr uintptr_t RoundUp(uintptr_t value, uintptr_t step) { return (value + step - 1) & ~(step - 1); }

// True when `base` is the first address of a reservation (VirtualQuery answers for any
// address; only reservation starts are regions of ours).
bool IsReservationStart(const void* base, MEMORY_BASIC_INFORMATION* info) {
  if (VirtualQuery(base, info, sizeof(*info)) != sizeof(*info)) return false;
  return info->State != MEM_FREE && info->AllocationBase == base;
}

}  // namespace

void* ReserveRegion(size_t size, void* hint) {
  if (size == 0) size = 1;
  if (size > SIZE_MAX - kRegionAlignment) return nullptr;
  size_t rounded = RoundUp(size, kRegionAlignment);
  // Reservations start on the allocation granularity, which is 64 KB.
  if (hint != nullptr) {
    void* at = VirtualAlloc(hint, rounded, MEM_RESERVE, PAGE_NOACCESS);
    if (at != nullptr) return at;
  }
  return VirtualAlloc(nullptr, rounded, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitRegion(void* address, size_t size) {
  if (size == 0) return true;
  return VirtualAlloc(address, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool DecommitRegion(void* address, size_t size) {
  if (size == 0) return true;
  return VirtualFree(address, size, MEM_DECOMMIT) != 0;
}

bool ReleaseRegion(void* base) {
  MEMORY_BASIC_INFORMATION info;
  if (!IsReservationStart(base, &info)) return false;
  return VirtualFree(base, 0, MEM_RELEASE) != 0;
}

size_t CommittedSize(const void* base) {
  MEMORY_BASIC_INFORMATION info;
  if (!IsReservationStart(base, &info)) return 0;
  return info.State == MEM_COMMIT ? info.RegionSize : 0;
}

size_t ReservedSize(const void* base) {
  MEMORY_BASIC_INFORMATION info;
  if (!IsReservationStart(base, &info)) return 0;
  size_t total = 0;
  const char* at = static_cast<const char*>(base);
  while (VirtualQuery(at, &info, sizeof(info)) == sizeof(info) && info.AllocationBase == base && info.State != MEM_FREE) {
    total += info.RegionSize;
    at += info.RegionSize;
  }
  return total;
}

}  // namespace zentor::platform
