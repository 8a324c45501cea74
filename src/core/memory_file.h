#pragma once
// The debugger's growable in-memory byte stream: bytes with a size and a current
// position, kept in 256-byte pages from the file's own fixed-block pool, so growing
// never moves data and destroying a file frees every page in one pool operation. It
// holds postfix code, the command-device stack, channel and macro buffers and
// captured output. Most users reach a file through a MemoryFileHandle (a
// 32-bit id that fits the words those users keep) and the handle functions below,
// which return a DVErrorCode; the loader library holds a MemoryFile by value.

#include "core/dv_error_code.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace zentor {

class MemPool;

class MemoryFile {
 public:
  static constexpr uint32_t kPageSize = 256;
  static constexpr uint32_t kPageShift = 8;
  static constexpr uint32_t kPageOffsetMask = 0xFF;
  // The page vector grows by this many entries at a time.
  static constexpr uint32_t kPageVectorStep = 64;

  // Message numbers of the file's own failures (both INTERNAL ERROR, returned).
  static constexpr uint32_t kReadPastEnd = 182;
  static constexpr uint32_t kSeekPastEnd = 183;

  MemoryFile();
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Reads itemSize * count bytes at the position into `buffer`. Asking for more
  // than lies between the position and the end (also when itemSize * count does not
  // fit 32 bits) returns 182 and copies nothing.
  // The n bytes at the position when all of them lie within one page, and the
  // position moves past them; null (the position kept) when they do not, so the
  // caller reads them with Read. Decoding from the page itself spares a copy.
  const uint8_t* ReadInPlace(uint32_t n) {
    const uint32_t offset = m_position & kPageOffsetMask;
    if (n == 0 || n > m_size - m_position || offset + n > kPageSize) return nullptr;
    const uint8_t* bytes = m_pages[m_position >> kPageShift] + offset;
    m_position += n;
    return bytes;
  }
  DVErrorCode Read(uint32_t itemSize, uint32_t count, void* buffer) {
    // Most reads (an instruction, a stack item) lie within one page; the product is
    // formed in 64 bits, so a count that wraps 32 bits takes the checked path.
    const uint64_t n = static_cast<uint64_t>(itemSize) * count;
    const uint32_t offset = m_position & kPageOffsetMask;
    if (n - 1 < static_cast<uint64_t>(m_size - m_position) && offset + n <= kPageSize) {
      std::memcpy(buffer, m_pages[m_position >> kPageShift] + offset, static_cast<size_t>(n));
      m_position += static_cast<uint32_t>(n);
      return DVErrorCode();
    }
    return ReadAcrossPages(n, buffer);
  }
  // Writes itemSize * count bytes at the position, overwriting in place and growing
  // the file past its end. A byte count or an end offset that does not fit 32 bits
  // returns 180 (SEVERE ERROR) and writes nothing.
  DVErrorCode Write(uint32_t itemSize, uint32_t count, const void* buffer) {
    const uint64_t n = static_cast<uint64_t>(itemSize) * count;
    const uint32_t offset = m_position & kPageOffsetMask;
    const uint32_t pageIndex = m_position >> kPageShift;
    if (n != 0 && offset + n <= kPageSize && pageIndex < m_pages.size()) {
      std::memcpy(m_pages[pageIndex] + offset, buffer, static_cast<size_t>(n));
      m_position += static_cast<uint32_t>(n);
      if (m_position > m_size) m_size = m_position;
      return DVErrorCode();
    }
    return WriteAcrossPages(n, buffer);
  }
  // Moves the position; past the size returns 183 and leaves it. Seeking to the
  // size is allowed.
  DVErrorCode Seek(uint32_t position) {
    if (position > m_size) return DVErrorCode(kSeekPastEnd, kSeverityInternal);
    m_position = position;
    return DVErrorCode();
  }
  void SizeAndPosition(uint32_t* size, uint32_t* position) const;
  // Reads the n bytes before the position and leaves the position at the first of
  // them: how stacks kept in a file pop their top entries.
  DVErrorCode ReadBack(uint32_t n, void* buffer) {
    // An n beyond the position would wrap to an offset past the end: the seek fails.
    if (n > m_position) return DVErrorCode(kSeekPastEnd, kSeverityInternal);
    const uint32_t start = m_position - n;
    m_position = start;
    const DVErrorCode status = Read(1, n, buffer);
    m_position = start;
    return status;
  }
  // Copies itemSize * count bytes from this file's position to the destination's
  // position in page-sized chunks; stops with 182 at the first chunk that is not there.
  DVErrorCode CopyTo(MemoryFile& destination, uint32_t itemSize, uint32_t count);
  // Ends the file at the position and gives back the pages past it.
  void Truncate();
  // Truncate for a file used as a stack or a buffer emptied again and again: an end at
  // 0 keeps the first page, as Clear does, so the next write needs no page from the
  // pool (the pool would otherwise give back its region and make it anew each time).
  void TruncateKeepingFirstPage() {
    if (m_position == 0) {
      Clear();
    } else {
      Truncate();
    }
  }
  // Back to a new file's state (no bytes, the position 0) with its first page kept for
  // the next bytes written: a file given back is made ready to be handed out again.
  void Clear();

  uint32_t Size() const { return m_size; }
  uint32_t Position() const { return m_position; }
  uint32_t PageCount() const { return static_cast<uint32_t>(m_pages.size()); }

 private:
  // Gives back the pages past the first `count`.
  void KeepPages(uint64_t count);
  DVErrorCode ReadAcrossPages(uint64_t n, void* buffer);
  DVErrorCode WriteAcrossPages(uint64_t n, const void* buffer);
  uint8_t* AppendPage();

  MemPool* m_pool = nullptr;
  std::vector<uint8_t*> m_pages;
  uint32_t m_size = 0;
  uint32_t m_position = 0;
};

// Id of a heap MemoryFile in the handle table; 0 is the null handle. Ids of destroyed
// files are not handed out again soon (each slot carries a use count), so a stale
// handle is caught instead of reaching another file.
using MemoryFileHandle = uint32_t;
inline constexpr MemoryFileHandle kNullMemoryFile = 0;

// Every function taking a handle raises the internal-consistency error (message 1)
// for the null handle or one that names no live file.
DVErrorCode CreateMemoryFile(int32_t unused1, int32_t unused2, MemoryFileHandle* handle);
DVErrorCode DestroyMemoryFile(MemoryFileHandle handle);
DVErrorCode ReadMemoryFile(MemoryFileHandle handle, uint32_t itemSize, uint32_t count, void* buffer);
DVErrorCode WriteMemoryFile(MemoryFileHandle handle, uint32_t itemSize, uint32_t count, const void* buffer);
DVErrorCode SeekMemoryFile(MemoryFileHandle handle, uint32_t position);
DVErrorCode ReadBackMemoryFile(MemoryFileHandle handle, uint32_t n, void* buffer);
// Both handles must name live files (the source is checked first).
DVErrorCode CopyMemoryFile(MemoryFileHandle source, uint32_t itemSize, uint32_t count,
                           MemoryFileHandle destination);
// Nothing to do: kept for writers that end a block of code.
DVErrorCode FlushMemoryFile(MemoryFileHandle handle);
DVErrorCode GetMemoryFileSizeAndPosition(MemoryFileHandle handle, uint32_t* size, uint32_t* position);
DVErrorCode TruncateMemoryFile(MemoryFileHandle handle);

// The file a handle names (internal-consistency error for a null or dead handle),
// for callers that work on the file directly for a while.
MemoryFile& MemoryFileOf(MemoryFileHandle handle);
namespace memory_file_detail {
extern uint32_t g_destroyedFiles;
}  // namespace memory_file_detail

// Counts the files destroyed so far: a caller that keeps a file it found by handle
// across code that might destroy it needs to look it up again only when this moved.
inline uint32_t MemoryFileDestroyCount() { return memory_file_detail::g_destroyedFiles; }
// Number of live files in the handle table (leak checks in tests).
uint32_t LiveMemoryFileCount();

}  // namespace zentor
