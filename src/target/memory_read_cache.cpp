#include "target/memory_read_cache.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "target/agent_events.h"
#include "target/agent_link.h"

namespace zentor {
namespace {

constexpr uint64_t kAddressSpaceEnd = uint64_t{1} << 32;

uint64_t AlignDown(uint64_t address) { return address & ~uint64_t{MemoryReadCache::kBlockSize - 1}; }
uint64_t AlignUp(uint64_t address) { return AlignDown(address + MemoryReadCache::kBlockSize - 1); }

// Read-ahead pays where a request costs more than its bytes.
bool ReadsAhead() { return TheAgentLink().Kind() == kLinkKindUdp; }

}  // namespace

MemoryReadCache& TheMemoryReadCache() {
  static MemoryReadCache cache;
  return cache;
}

void MemoryReadCache::Forget() {
  m_spans.clear();
  m_heldBytes = 0;
}

void MemoryReadCache::SetEnabled(bool enabled) {
  m_enabled = enabled;
  Forget();
}

bool MemoryReadCache::Read(AgentReader reader, uint32_t thread, uint32_t address, uint8_t* buffer, uint32_t length,
                           uint32_t* count) {
  const uint64_t start = address;
  const uint64_t end = start + length;
  // A running thread changes its memory under the reads; the read as asked also pumps
  // the events until it stops.
  const bool running = AgentTargetRunning();
  if (running) Forget();
  if (!m_enabled || running || length == 0 || end > kAddressSpaceEnd || length > kMostHeldBytes - 2 * kBlockSize) {
    return reader(thread, address, buffer, length, count);
  }
  if (thread != m_thread) {
    Forget();
    m_thread = thread;
  }
  // What one read adds lies within the blocks of its range.
  if (m_heldBytes + length + 2 * kBlockSize > kMostHeldBytes) Forget();
  if (FillHoles(reader, thread, start, end)) {
    CopyHeld(start, end, buffer);
    *count = length;
    return true;
  }
  if (!reader(thread, address, buffer, length, count)) return false;
  Keep(address, buffer, *count);
  return true;
}

bool MemoryReadCache::FirstHole(uint64_t at, uint64_t end, Hole* hole) const {
  while (at < end) {
    const auto next = m_spans.upper_bound(at);
    hole->floor = 0;
    if (next != m_spans.begin()) {
      const auto held = std::prev(next);
      const uint64_t heldEnd = held->first + held->second.size();
      if (heldEnd > at) {
        at = heldEnd;
        continue;
      }
      hole->floor = heldEnd;
    }
    hole->ceiling = next != m_spans.end() ? next->first : kAddressSpaceEnd;
    hole->start = at;
    hole->end = std::min(end, hole->ceiling);
    return true;
  }
  return false;
}

// Each hole is read by itself, widened between its neighbours: the spans never
// overlap, and a hole costs no more requests than its exact read would.
bool MemoryReadCache::FillHoles(AgentReader reader, uint32_t thread, uint64_t start, uint64_t end) {
  Hole hole;
  for (uint64_t at = start; FirstHole(at, end, &hole); at = hole.end) {
    uint64_t from = hole.start;
    uint64_t to = hole.end;
    Widen(hole, &from, &to);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(to - from));
    uint32_t got = 0;
    if (!reader(thread, static_cast<uint32_t>(from), bytes.data(), static_cast<uint32_t>(to - from), &got) ||
        from + got < hole.end) {
      return false;
    }
    bytes.resize(got);
    m_heldBytes += got;
    m_spans.emplace(from, std::move(bytes));
  }
  return true;
}

// The requests of the exact read, each of a whole block, placed over the hole inside
// its first and last blocks (the page the hole lies in) and between the neighbours.
void MemoryReadCache::Widen(const Hole& hole, uint64_t* from, uint64_t* to) const {
  *from = hole.start;
  *to = hole.end;
  if (!ReadsAhead()) return;
  const uint64_t capacity = AlignUp(hole.end - hole.start);
  *to = std::min({AlignUp(hole.end), hole.start + capacity, hole.ceiling});
  *from = std::max({AlignDown(hole.start), *to > capacity ? *to - capacity : 0, hole.floor});
}

// Bytes of an exact read, kept where no span holds them yet (the target has not run
// since, so held bytes are the same).
void MemoryReadCache::Keep(uint32_t address, const uint8_t* bytes, uint32_t length) {
  Hole hole;
  for (uint64_t at = address; FirstHole(at, uint64_t{address} + length, &hole); at = hole.end) {
    const uint8_t* piece = bytes + (hole.start - address);
    m_spans.emplace(hole.start, std::vector<uint8_t>(piece, piece + (hole.end - hole.start)));
    m_heldBytes += static_cast<uint32_t>(hole.end - hole.start);
  }
}

void MemoryReadCache::CopyHeld(uint64_t start, uint64_t end, uint8_t* buffer) const {
  auto held = std::prev(m_spans.upper_bound(start));
  for (uint64_t at = start; at < end; ++held) {
    const uint64_t heldEnd = held->first + held->second.size();
    const uint64_t pieceEnd = std::min(end, heldEnd);
    std::memcpy(buffer + (at - start), held->second.data() + (at - held->first), static_cast<std::size_t>(pieceEnd - at));
    at = pieceEnd;
  }
}

}  // namespace zentor
