#include "engine/source_text_store.h"

#include "core/checked_alloc.h"

namespace zentor {

SourceTextStore::SourceTextStore(MemPool* pool) : m_pool(pool) {
  m_blocks[0] = static_cast<char*>(CheckedAlloc(kBlockSize, m_pool));
}

void SourceTextStore::Rewind() {
  m_blockIndex = 0;
  m_fill = 0;
}

// A line starts in a new block when the room left cannot hold the longest line, so
// no text ever crosses the end of its block.
bool SourceTextStore::EnsureRoomForLine() {
  if (kBlockSize - m_fill >= kLongestLine) return true;
  return NextTextBlock() == 0;
}

char* SourceTextStore::Cursor() const { return m_blocks[static_cast<size_t>(m_blockIndex)] + m_fill; }

void SourceTextStore::Commit(int32_t length) { m_fill += length + 1; }

int32_t SourceTextStore::NextTextBlock() {
  if (m_blockIndex >= kLastBlock) return -1;
  const size_t next = static_cast<size_t>(m_blockIndex) + 1;
  if (m_blocks[next] == nullptr) m_blocks[next] = static_cast<char*>(CheckedAlloc(kBlockSize, m_pool));
  m_fill = 0;
  ++m_blockIndex;
  return 0;
}

void SourceTextStore::FreeTextBlocksAbove(int32_t block) {
  for (int32_t i = block + 1; i <= kLastBlock; ++i) {
    if (i < 0) continue;
    char*& entry = m_blocks[static_cast<size_t>(i)];
    if (entry != nullptr) {
      CheckedFree(entry);
      entry = nullptr;
    }
  }
}

int32_t SourceTextStore::AllocatedBlocks() const {
  int32_t count = 0;
  for (char* block : m_blocks) count += block != nullptr ? 1 : 0;
  return count;
}

}  // namespace zentor
