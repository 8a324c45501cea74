#include "core/memory_file.h"

#include "core/dv_error.h"
#include "core/message_table.h"

#include "support/mem_pool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace zentor {
namespace {

constexpr uint32_t kPoolInitialBlocks = 1;
constexpr uint64_t kLargestOffset = 0xFFFFFFFFull;

DVErrorCode ReadPastEnd() { return DVErrorCode(kMsgReadPastEndOfMemoryFile, kSeverityInternal); }
DVErrorCode RequestTooLarge() { return DVErrorCode(kMsgAllocationTooLarge, kSeveritySevere); }
DVErrorCode MemoryFull() { return DVErrorCode(kMsgDynamicMemoryFull, kSeveritySevere); }

}  // namespace

MemoryFile::MemoryFile()
    : m_pool(MemPool::CreateFixed(kPageSize, kPoolInitialBlocks, kMemPoolDefaultFlags)) {
  m_pages.reserve(kPageVectorStep);
}

MemoryFile::~MemoryFile() {
  // Destroying the pool gives back every page at once.
  if (m_pool != nullptr) MemPool::Destroy(m_pool);
}

uint8_t* MemoryFile::AppendPage() {
  if (m_pool == nullptr) return nullptr;
  auto* page = static_cast<uint8_t*>(MemPool::AllocFixed(m_pool));
  if (page == nullptr) return nullptr;
  // Only the page-pointer vector ever moves, and it grows by a fixed step.
  if (m_pages.size() == m_pages.capacity()) m_pages.reserve(m_pages.capacity() + kPageVectorStep);
  m_pages.push_back(page);
  return page;
}

DVErrorCode MemoryFile::ReadAcrossPages(uint64_t n, void* buffer) {
  // The byte count is computed in 64 bits: a product that wrapped to a small number
  // would otherwise read less than asked and report success.
  if (n > m_size - m_position) return ReadPastEnd();
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t pageIndex = m_position >> kPageShift;
  uint32_t offset = m_position & kPageOffsetMask;
  while (n > 0) {
    uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(kPageSize - offset, n));
    std::memcpy(out, m_pages[pageIndex] + offset, chunk);
    out += chunk;
    m_position += chunk;
    n -= chunk;
    ++pageIndex;
    offset = 0;
  }
  return DVErrorCode();
}

DVErrorCode MemoryFile::WriteAcrossPages(uint64_t n, const void* buffer) {
  // A file's offsets are 32-bit: a write that would end beyond them cannot be kept.
  if (n > kLargestOffset - m_position) return RequestTooLarge();
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint32_t pageIndex = m_position >> kPageShift;
  uint32_t offset = m_position & kPageOffsetMask;
  while (n > 0) {
    uint8_t* page = pageIndex < m_pages.size() ? m_pages[pageIndex] : AppendPage();
    if (page == nullptr) return MemoryFull();
    uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(kPageSize - offset, n));
    std::memcpy(page + offset, in, chunk);
    in += chunk;
    m_position += chunk;
    if (m_position > m_size) m_size = m_position;
    n -= chunk;
    ++pageIndex;
    offset = 0;
  }
  return DVErrorCode();
}

void MemoryFile::SizeAndPosition(uint32_t* size, uint32_t* position) const {
  if (size != nullptr) *size = m_size;
  if (position != nullptr) *position = m_position;
}

// 1. The byte count is item size times count (in 64 bits, so it cannot wrap).
// 2. Whole pages are copied while more than a page remains and every step succeeds.
// 3. The remainder is copied last. A read that fails stops the copy after the chunks
//    already copied; its status (182) is the result.
DVErrorCode MemoryFile::CopyTo(MemoryFile& destination, uint32_t itemSize, uint32_t count) {
  uint64_t n = static_cast<uint64_t>(itemSize) * count;
  uint8_t scratch[kPageSize];
  DVErrorCode status;
  while (n > kPageSize && status.IsOkay()) {
    status = Read(1, kPageSize, scratch);
    if (status.IsOkay()) {
      DVErrorCode written = destination.Write(1, kPageSize, scratch);
      if (!written.IsOkay()) return written;
    }
    n -= kPageSize;
  }
  if (n > 0 && status.IsOkay()) {
    uint32_t rest = static_cast<uint32_t>(n);
    status = Read(1, rest, scratch);
    if (status.IsOkay()) {
      DVErrorCode written = destination.Write(1, rest, scratch);
      if (!written.IsOkay()) return written;
    }
  }
  return status;
}

void MemoryFile::Truncate() {
  KeepPages((static_cast<uint64_t>(m_position) + kPageSize - 1) >> kPageShift);
  m_size = m_position;
}

void MemoryFile::Clear() {
  KeepPages(1);
  m_size = 0;
  m_position = 0;
}

void MemoryFile::KeepPages(uint64_t count) {
  while (m_pages.size() > count) {
    MemPool::FreeFixed(m_pages.back());
    m_pages.pop_back();
  }
}

// -- Handle table --------------------------------------------------------------------

namespace {

// A handle is the slot index + 1 in its low 20 bits and the slot's use count in the
// high 12, so a handle kept after its file was destroyed names no live file even when
// the slot has been used again since.
constexpr uint32_t kSlotBits = 20;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr uint32_t kUseMask = 0xFFFu;

struct HandleSlot {
  std::unique_ptr<MemoryFile> file;
  uint32_t uses = 0;
};

// Files destroyed while small are kept, emptied, for the next ones made: a command
// makes and destroys several (its code, its copies, the parser's state), and a new
// file's pool costs the carving of its descriptors and first page every time. The
// store is bounded in files and in what each holds.
constexpr std::size_t kSpareFiles = 8;
constexpr uint32_t kLargestSparePages = 4;

struct HandleTable {
  std::vector<HandleSlot> slots;
  std::vector<uint32_t> freeSlots;
  uint32_t live = 0;
  std::vector<std::unique_ptr<MemoryFile>> spare;
};

// Never destroyed: objects with static storage (the watch slots' expressions among
// them) release their memory files at the program's end, after a table destroyed in
// its turn would already be gone.
HandleTable& Table() {
  static HandleTable* const table = new HandleTable;
  return *table;
}

MemoryFile* FindFile(MemoryFileHandle handle) {
  if (handle == kNullMemoryFile) return nullptr;
  uint32_t index = (handle & kSlotMask) - 1;
  HandleTable& table = Table();
  if ((handle & kSlotMask) == 0 || index >= table.slots.size()) return nullptr;
  HandleSlot& slot = table.slots[index];
  if (slot.file == nullptr || (handle >> kSlotBits) != slot.uses) return nullptr;
  return slot.file.get();
}

}  // namespace

MemoryFile& MemoryFileOf(MemoryFileHandle handle) {
  MemoryFile* file = FindFile(handle);
  if (file == nullptr) ZENTOR_INTERNAL_ERROR();
  return *file;
}

uint32_t LiveMemoryFileCount() { return Table().live; }

namespace memory_file_detail {
uint32_t g_destroyedFiles = 0;
}  // namespace memory_file_detail

DVErrorCode CreateMemoryFile(int32_t, int32_t, MemoryFileHandle* handle) {
  if (handle == nullptr) ZENTOR_INTERNAL_ERROR();
  HandleTable& table = Table();
  uint32_t index;
  if (!table.freeSlots.empty()) {
    index = table.freeSlots.back();
  } else {
    if (table.slots.size() >= kSlotMask) ZENTOR_INTERNAL_ERROR();
    index = static_cast<uint32_t>(table.slots.size());
  }
  std::unique_ptr<MemoryFile> file;
  if (!table.spare.empty()) {
    file = std::move(table.spare.back());
    table.spare.pop_back();
  } else {
    file.reset(new (std::nothrow) MemoryFile());
    if (file == nullptr) ZENTOR_INTERNAL_ERROR();
  }
  if (index == table.slots.size()) {
    table.slots.emplace_back();
  } else {
    table.freeSlots.pop_back();
  }
  HandleSlot& slot = table.slots[index];
  // Use counts run 1..4095, so no handle of a live file is ever 0.
  slot.uses = (slot.uses % kUseMask) + 1;
  slot.file = std::move(file);
  ++table.live;
  *handle = (slot.uses << kSlotBits) | (index + 1);
  return DVErrorCode();
}

DVErrorCode DestroyMemoryFile(MemoryFileHandle handle) {
  MemoryFileOf(handle);
  HandleTable& table = Table();
  uint32_t index = (handle & kSlotMask) - 1;
  std::unique_ptr<MemoryFile>& file = table.slots[index].file;
  if (table.spare.size() < kSpareFiles && file->PageCount() <= kLargestSparePages) {
    file->Clear();
    if (table.spare.capacity() == 0) table.spare.reserve(kSpareFiles);
    table.spare.push_back(std::move(file));
  } else {
    file.reset();
  }
  table.freeSlots.push_back(index);
  --table.live;
  ++memory_file_detail::g_destroyedFiles;
  return DVErrorCode();
}

DVErrorCode ReadMemoryFile(MemoryFileHandle handle, uint32_t itemSize, uint32_t count, void* buffer) {
  return MemoryFileOf(handle).Read(itemSize, count, buffer);
}

DVErrorCode WriteMemoryFile(MemoryFileHandle handle, uint32_t itemSize, uint32_t count, const void* buffer) {
  return MemoryFileOf(handle).Write(itemSize, count, buffer);
}

DVErrorCode SeekMemoryFile(MemoryFileHandle handle, uint32_t position) {
  return MemoryFileOf(handle).Seek(position);
}

DVErrorCode ReadBackMemoryFile(MemoryFileHandle handle, uint32_t n, void* buffer) {
  return MemoryFileOf(handle).ReadBack(n, buffer);
}

DVErrorCode CopyMemoryFile(MemoryFileHandle source, uint32_t itemSize, uint32_t count,
                           MemoryFileHandle destination) {
  MemoryFile& from = MemoryFileOf(source);
  MemoryFile& to = MemoryFileOf(destination);
  return from.CopyTo(to, itemSize, count);
}

DVErrorCode FlushMemoryFile(MemoryFileHandle) { return DVErrorCode(); }

DVErrorCode GetMemoryFileSizeAndPosition(MemoryFileHandle handle, uint32_t* size, uint32_t* position) {
  MemoryFileOf(handle).SizeAndPosition(size, position);
  return DVErrorCode();
}

DVErrorCode TruncateMemoryFile(MemoryFileHandle handle) {
  MemoryFileOf(handle).Truncate();
  return DVErrorCode();
}

}  // namespace zentor
