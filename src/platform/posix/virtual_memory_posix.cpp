#include "platform/virtual_memory.h"

#include <sys/mman.h>

#include <map>
#include <mutex>
#include <vector>

namespace zentor::platform {

namespace {

// mmap keeps no record of which parts of a mapping were made accessible, so every
// reservation is recorded here with one committed flag per 4 KB step; the committed
// size query reads it back the way the Windows region query would.
struct Reservation {
  size_t size = 0;
  std::vector<bool> committed;
};

struct ReservationTable {
  std::mutex mutex;
  std::map<uintptr_t, Reservation> reservations;
};

ReservationTable& Table() {
  static ReservationTable* table = new ReservationTable;  // lives until the process ends
  return *table;
}

constexpr uintptr_t RoundUp(uintptr_t value, uintptr_t step) { return (value + step - 1) & ~(step - 1); }
constexpr uintptr_t RoundDown(uintptr_t value, uintptr_t step) { return value & ~(step - 1); }

void* MapAligned(size_t size, void* hint) {
  const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
  if (hint != nullptr && (reinterpret_cast<uintptr_t>(hint) & (kRegionAlignment - 1)) == 0) {
    void* at = mmap(hint, size, PROT_NONE, flags, -1, 0);
    if (at == hint) return at;
    if (at != MAP_FAILED) munmap(at, size);
  }
  // Over-reserve by one alignment step and trim both ends to land on a boundary.
  size_t span = size + kRegionAlignment;
  if (span < size) return nullptr;
  void* raw = mmap(nullptr, span, PROT_NONE, flags, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = RoundUp(start, kRegionAlignment);
  if (aligned > start) munmap(raw, aligned - start);
  uintptr_t tail = aligned + size;
  uintptr_t end = start + span;
  if (end > tail) munmap(reinterpret_cast<void*>(tail), end - tail);
  return reinterpret_cast<void*>(aligned);
}

// Finds the reservation holding [address, address + size); the table lock is held.
Reservation* Find(ReservationTable& table, uintptr_t address, size_t size, uintptr_t* base) {
  auto it = table.reservations.upper_bound(address);
  if (it == table.reservations.begin()) return nullptr;
  --it;
  if (address - it->first >= it->second.size || size > it->second.size - (address - it->first)) return nullptr;
  *base = it->first;
  return &it->second;
}

// Commits or decommits the whole pages that cover [address, address + size), which must
// lie inside one reservation, and records their new state.
bool SetCommitted(void* address, size_t size, bool commit) {
  if (size == 0) return true;
  uintptr_t first = RoundDown(reinterpret_cast<uintptr_t>(address), kCommitGranularity);
  uintptr_t last = RoundUp(reinterpret_cast<uintptr_t>(address) + size, kCommitGranularity);
  if (last <= first) return false;
  ReservationTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  uintptr_t base = 0;
  Reservation* record = Find(table, first, last - first, &base);
  if (record == nullptr) return false;
  void* at = reinterpret_cast<void*>(first);
  if (commit) {
    if (mprotect(at, last - first, PROT_READ | PROT_WRITE) != 0) return false;
  } else {
    // Dropping the pages first makes a later commit read zeros, as on Windows.
    if (madvise(at, last - first, MADV_DONTNEED) != 0) return false;
    if (mprotect(at, last - first, PROT_NONE) != 0) return false;
  }
  for (uintptr_t page = first; page < last; page += kCommitGranularity) record->committed[(page - base) / kCommitGranularity] = commit;
  return true;
}

}  // namespace

void* ReserveRegion(size_t size, void* hint) {
  if (size == 0) size = 1;
  if (size > SIZE_MAX - kRegionAlignment) return nullptr;
  size_t rounded = RoundUp(size, kRegionAlignment);
  void* base = MapAligned(rounded, hint);
  if (base == nullptr) return nullptr;
  ReservationTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  Reservation& record = table.reservations[reinterpret_cast<uintptr_t>(base)];
  record.size = rounded;
  record.committed.assign(rounded / kCommitGranularity, false);
  return base;
}

bool CommitRegion(void* address, size_t size) { return SetCommitted(address, size, true); }

bool DecommitRegion(void* address, size_t size) { return SetCommitted(address, size, false); }

bool ReleaseRegion(void* base) {
  ReservationTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.reservations.find(reinterpret_cast<uintptr_t>(base));
  if (it == table.reservations.end()) return false;
  if (munmap(base, it->second.size) != 0) return false;
  table.reservations.erase(it);
  return true;
}

size_t CommittedSize(const void* base) {
  ReservationTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.reservations.find(reinterpret_cast<uintptr_t>(base));
  if (it == table.reservations.end()) return 0;
  size_t pages = 0;
  while (pages < it->second.committed.size() && it->second.committed[pages]) ++pages;
  return pages * kCommitGranularity;
}

size_t ReservedSize(const void* base) {
  ReservationTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.reservations.find(reinterpret_cast<uintptr_t>(base));
  return it == table.reservations.end() ? 0 : it->second.size;
}

}  // namespace zentor::platform
