#pragma once
// Blocks of one size for the small objects a load makes by the ten thousand and a new
// load deletes again (a module's line entries and procedure ranges): a block given
// back goes on a free list and is handed out again without the allocator. Blocks are
// carved from chunks that are never returned, so the memory kept is the most ever in
// use at once, and a block may be given back at any time, even while the program
// exits. Like the rest of the symbol tables, one thread uses it at a time.
//
// Under AddressSanitizer the objects come from the allocator itself, so that a use
// after delete is still caught; the recycler is then used only by its own tests.

#include <cstddef>
#include <cstdint>
#include <new>

namespace zentor {

class BlockRecycler {
 public:
  static constexpr uint32_t kBlocksPerChunk = 256;

  // Blocks of at least `blockSize` bytes, aligned for any object.
  explicit BlockRecycler(size_t blockSize);
  ~BlockRecycler();
  BlockRecycler(const BlockRecycler&) = delete;
  BlockRecycler& operator=(const BlockRecycler&) = delete;

  // A free block, from a new chunk when none is free (std::bad_alloc when that fails).
  void* Take();
  // Gives back a block this recycler handed out.
  void Give(void* block) noexcept;

  size_t BlockSize() const { return m_blockSize; }
  // Blocks on the free list, and chunks made so far.
  uint32_t FreeCount() const { return m_freeCount; }
  uint32_t ChunkCount() const { return m_chunkCount; }

 private:
  struct FreeBlock {
    FreeBlock* m_next;
  };
  struct Chunk {
    Chunk* m_next;
  };

  size_t m_blockSize;
  FreeBlock* m_free = nullptr;
  Chunk* m_chunks = nullptr;
  uint32_t m_freeCount = 0;
  uint32_t m_chunkCount = 0;
};

#if defined(__SANITIZE_ADDRESS__)
#define ZENTOR_RECYCLE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZENTOR_RECYCLE_BLOCKS 0
#endif
#endif
#ifndef ZENTOR_RECYCLE_BLOCKS
#define ZENTOR_RECYCLE_BLOCKS 1
#endif

// The recycler of the objects of type T. It is made on first use and never destroyed:
// objects held by static owners are deleted during exit, after ordinary statics went.
template <typename T>
BlockRecycler& RecyclerFor() {
  static BlockRecycler* recycler = new BlockRecycler(sizeof(T));
  return *recycler;
}

// Class-level allocation of T through its recycler; a request of another size (a
// derived class) goes to the allocator.
template <typename T>
void* NewRecycled(size_t size) {
  if (ZENTOR_RECYCLE_BLOCKS == 0 || size != sizeof(T)) return ::operator new(size);
  return RecyclerFor<T>().Take();
}

template <typename T>
void DeleteRecycled(void* block, size_t size) noexcept {
  if (block == nullptr) return;
  if (ZENTOR_RECYCLE_BLOCKS == 0 || size != sizeof(T)) {
    ::operator delete(block);
    return;
  }
  RecyclerFor<T>().Give(block);
}

}  // namespace zentor
