#pragma once
// The bytes of a stopped thread's memory that the debugger has read since the thread
// last stopped. A stop refreshes every open view, and the views read overlapping bytes
// (the watches and the Memory window the same data, the call stack and the locals the
// same stack); each byte is asked of the agent once per stop and then answered from
// here. Over UDP a missing range is read as whole 1 KB blocks around it (one request
// carries at most 1 KB), so that neighbouring reads that come later cost nothing; over
// a serial line bytes cost more than requests, and exactly what was asked is read.
// TgtReadMemory reads through it; the request builders empty it before every request
// that is not a read (a go, a step, a write, a breakpoint, an event, a load ...).

#include <cstdint>
#include <map>
#include <vector>

#include "target/agent_packet.h"

namespace zentor {

class MemoryReadCache {
 public:
  // Reads `length` bytes at `address` from the agent exactly: *count receives the
  // bytes that came (set first to 0); false when the agent refused or the link failed.
  using AgentReader = bool (*)(uint32_t thread, uint32_t address, uint8_t* buffer, uint32_t length,
                               uint32_t* count);

  // The unit of read-ahead: the largest answer of one read request. Aligned, a block
  // never leaves the 4 KB page of the bytes asked for, so it is readable wherever
  // they are.
  static constexpr uint32_t kBlockSize = kMaxPayloadLength;
  static_assert((kBlockSize & (kBlockSize - 1)) == 0, "blocks are aligned by masking");
  // The most bytes held; a read that would pass it starts the cache afresh, and a
  // longer one goes to the agent alone.
  static constexpr uint32_t kMostHeldBytes = 256 * 1024;

  // Reads through the cache with the result `reader` would give for the same read:
  // the bytes held are copied, the rest read (widened to blocks where allowed). A
  // widened read that fails or comes back short is given up for the exact read of the
  // whole range. While the target runs nothing is held or answered from here.
  bool Read(AgentReader reader, uint32_t thread, uint32_t address, uint8_t* buffer, uint32_t length,
            uint32_t* count);
  // Everything held goes: the target may have changed.
  void Forget();
  // Off: every read goes to the agent as asked (what the views show must not differ).
  void SetEnabled(bool enabled);
  bool Enabled() const { return m_enabled; }
  uint32_t HeldBytes() const { return m_heldBytes; }

 private:
  // Bytes no span holds, [start, end), between the span that ends at `floor` (0: none)
  // and the one that begins at `ceiling` (the end of the address space: none).
  struct Hole {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t floor = 0;
    uint64_t ceiling = 0;
  };

  // The first hole in [at, end); false when the spans hold all of it.
  bool FirstHole(uint64_t at, uint64_t end, Hole* hole) const;
  // Reads the holes of [start, end); false when a read failed or came back short.
  bool FillHoles(AgentReader reader, uint32_t thread, uint64_t start, uint64_t end);
  // The range one request reads for a hole.
  void Widen(const Hole& hole, uint64_t* from, uint64_t* to) const;
  void Keep(uint32_t address, const uint8_t* bytes, uint32_t length);
  void CopyHeld(uint64_t start, uint64_t end, uint8_t* buffer) const;

  bool m_enabled = true;
  uint32_t m_thread = 0;
  uint32_t m_heldBytes = 0;
  // Spans of bytes by their first address; they never overlap.
  std::map<uint64_t, std::vector<uint8_t>> m_spans;
};

// The program's cache.
MemoryReadCache& TheMemoryReadCache();

}  // namespace zentor
