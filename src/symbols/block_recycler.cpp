#include "symbols/block_recycler.h"

#include <algorithm>
#include <cstdlib>

namespace zentor {
namespace {

constexpr size_t kRecyclerAlignment = alignof(std::max_align_t);

size_t RecyclerBlockSize(size_t size) {
  const size_t atLeast = std::max(size, sizeof(void*));
  return (atLeast + kRecyclerAlignment - 1) / kRecyclerAlignment * kRecyclerAlignment;
}

}  // namespace

BlockRecycler::BlockRecycler(size_t blockSize) : m_blockSize(RecyclerBlockSize(blockSize)) {}

BlockRecycler::~BlockRecycler() {
  while (m_chunks != nullptr) {
    Chunk* next = m_chunks->m_next;
    ::operator delete(m_chunks);
    m_chunks = next;
  }
}

void* BlockRecycler::Take() {
  if (m_free == nullptr) {
    // The chunk's header takes the room of one block, so every block stays aligned.
    auto* chunk = static_cast<Chunk*>(::operator new(m_blockSize * (kBlocksPerChunk + 1)));
    chunk->m_next = m_chunks;
    m_chunks = chunk;
    ++m_chunkCount;
    auto* first = reinterpret_cast<uint8_t*>(chunk) + m_blockSize;
    // Handed out from the chunk's start on, so neighbouring objects lie together.
    for (uint32_t i = kBlocksPerChunk; i-- > 0;) Give(first + i * m_blockSize);
  }
  FreeBlock* block = m_free;
  m_free = block->m_next;
  --m_freeCount;
  return block;
}

void BlockRecycler::Give(void* block) noexcept {
  auto* free = static_cast<FreeBlock*>(block);
  free->m_next = m_free;
  m_free = free;
  ++m_freeCount;
}

}  // namespace zentor
