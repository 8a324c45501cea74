#pragma once
// The text store of a source pane: the NUL-terminated texts of its display lines, one
// after the other in blocks of 1024 bytes from the pane's pool. A build fills it from
// the first block on; blocks stay allocated between builds and the ones a build did
// not reach are given back at its end. The SourceBase owns one.

#include <array>
#include <cstdint>

namespace zentor {

class MemPool;

// The NUL-terminated texts of display lines, one after the other.
struct TextBlock {
  char text[1024];
};

class SourceTextStore {
 public:
  static constexpr int32_t kBlockSize = static_cast<int32_t>(sizeof(TextBlock));
  // 64 entries, of which 0..62 are filled.
  static constexpr int32_t kBlockEntries = 64;
  static constexpr int32_t kLastBlock = 62;
  // The longest text one display line stores: a 10-character number field, an
  // instruction line's 8 blanks and 159 characters, or a source line's 156 and the
  // NUL; a new block starts when less than this is left.
  static constexpr int32_t kLongestLine = 168;

  // The first block is allocated from `pool` (the pool outlives the store and frees
  // every block with itself).
  explicit SourceTextStore(MemPool* pool);
  SourceTextStore(const SourceTextStore&) = delete;
  SourceTextStore& operator=(const SourceTextStore&) = delete;

  // Back to the start of block 0 (a new build).
  void Rewind();
  // Makes sure the next line fits in the current block, starting the next one when
  // the room left is below the longest line. False when the store is full.
  bool EnsureRoomForLine();
  // Where the next text goes.
  char* Cursor() const;
  // The text just written at Cursor() took `length` bytes and its NUL.
  void Commit(int32_t length);

  // The next block: 0, or -1 when block 62 is already in use.
  int32_t NextTextBlock();
  // Frees every block above `block` and clears its entry.
  void FreeTextBlocksAbove(int32_t block);

  int32_t BlockIndex() const { return m_textBlockIndex; }
  int32_t Fill() const { return m_textFill; }
  // Blocks now allocated.
  int32_t AllocatedBlocks() const;

 private:
  MemPool* m_pool;
  std::array<TextBlock*, kBlockEntries> m_textBlocks{};
  int32_t m_textBlockIndex = 0;
  int32_t m_textFill = 0;
};

}  // namespace zentor
