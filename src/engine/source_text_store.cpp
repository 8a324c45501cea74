#include "engine/source_text_store.h"

#include "core/checked_alloc.h"

namespace zentor {

SourceTextStore::SourceTextStore(MemPool* pool) : m_pool(pool) {
  m_textBlocks[0] = static_cast<TextBlock*>(CheckedAlloc(kBlockSize, m_pool));
}

void SourceTextStore::Rewind() {
  m_textBlockIndex = 0;
  m_textFill = 0;
}

// A line starts in a new block when the room left cannot hold the longest line, so
// no text ever crosses the end of its block.
bool SourceTextStore::EnsureRoomForLine() {
  if (kBlockSize - m_textFill >= kLongestLine) return true;
  return NextTextBlock() == 0;
}

char* SourceTextStore::Cursor() const { return m_textBlocks[static_cast<size_t>(m_textBlockIndex)]->text + m_textFill; }

void SourceTextStore::Commit(int32_t length) { m_textFill += length + 1; }

int32_t SourceTextStore::NextTextBlock() {
  if (m_textBlockIndex >= kLastBlock) return -1;
  const size_t next = static_cast<size_t>(m_textBlockIndex) + 1;
  if (m_textBlocks[next] == nullptr) m_textBlocks[next] = static_cast<TextBlock*>(CheckedAlloc(kBlockSize, m_pool));
  m_textFill = 0;
  ++m_textBlockIndex;
  return 0;
}

void SourceTextStore::FreeTextBlocksAbove(int32_t block) {
  for (int32_t i = block + 1; i <= kLastBlock; ++i) {
    if (i < 0) continue;
    TextBlock*& entry = m_textBlocks[static_cast<size_t>(i)];
    if (entry != nullptr) {
      CheckedFree(entry);
      entry = nullptr;
    }
  }
}

int32_t SourceTextStore::AllocatedBlocks() const {
  int32_t count = 0;
  for (const TextBlock* block : m_textBlocks) count += block != nullptr ? 1 : 0;
  return count;
}

}  // namespace zentor
