#include "symbols/page_cache.h"

#include "core/dv_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/binary_file.h"
#include "platform/file_system.h"

namespace zentor {
namespace {

constexpr const char* kTemporaryPrefix = "$DBT";
// The last page that can be appended must end below the "none" handle.
constexpr uint32_t kLargestFileLength = 0xFFFFFE00u;

[[noreturn]] void RaiseVstError(uint32_t number, uint32_t severity) { throw DVError(number, severity); }

class TemporaryPageFile;

// The temporary page files that are open. The registry outlives ordinary objects
// (it is made when the first file is), so at exit it removes any file whose cache was
// never destroyed; a file that goes away first takes itself out.
struct LiveTemporaryFiles {
  ~LiveTemporaryFiles();
  std::set<TemporaryPageFile*> m_files;
};
bool g_liveFilesGone = false;

// Where the symbol-table operations that take no cache find theirs.
PageCacheProvider g_currentProvider = nullptr;

LiveTemporaryFiles& LiveFiles() {
  static LiveTemporaryFiles files;
  return files;
}

// The platform may keep only part of the prefix (Windows keeps three characters); the
// file is then renamed so that its name begins with the whole prefix.
std::string WithWholePrefix(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string prefix(kTemporaryPrefix);
  const std::string base = path.substr(baseStart);
  if (base.compare(0, prefix.size(), prefix) == 0) return path;
  size_t kept = 0;
  while (kept < prefix.size() && kept < base.size() && base[kept] == prefix[kept]) ++kept;
  const std::string renamed = path.substr(0, baseStart) + prefix + base.substr(kept);
  if (!platform::RenameFile(path, renamed)) return path;
  return renamed;
}

// Blocks of pages a temporary file keeps in memory. A load makes a new symbol-table
// file each time and lets the old one go; the blocks of the old one are kept here and
// handed to the next, so a load does not first fault in fresh memory for its pages.
class MemoryBlockPool {
 public:
  static constexpr uint32_t kPagesPerBlock = 128;  // 64 KiB
  static constexpr uint32_t kBlockBytes = kPagesPerBlock * kVstPageSize;
  // At most this many free blocks are kept (what one file keeps in memory).
  static constexpr uint32_t kKeptBlocks = 512;

  uint8_t* Take() {
    if (m_free.empty()) return new uint8_t[kBlockBytes];
    uint8_t* block = m_free.back();
    m_free.pop_back();
    return block;
  }
  void Give(uint8_t* block) {
    if (m_free.size() >= kKeptBlocks) {
      delete[] block;
      return;
    }
    m_free.push_back(block);
  }

 private:
  std::vector<uint8_t*> m_free;
};

// Made on first use and never destroyed: a file may go while the program exits.
MemoryBlockPool& MemoryBlocks() {
  static MemoryBlockPool* pool = new MemoryBlockPool();
  return *pool;
}

// The cache hands its file one page at a time, and a load appends page after page and
// rarely reads one back: the file keeps the pages of its first 32 MiB in memory (a
// large program's tables fit), and only what lies beyond reaches the operating
// system. Bytes written or read other than as one whole page at a page offset take the
// pages they touch out of memory into the file first, so the file is what it would
// have been.
//
// Beyond the pages in memory each page as a seek and a write of its own made the
// system calls the larger part of a load. Pages leave the cache nearly in the order
// they were appended (a chain's page is let go when its successor is full, so
// neighbours often come swapped), so the file gathers whole pages into a window of
// neighbouring page numbers and hands each run of neighbours it holds to the operating
// system in one write when a page beyond the window comes, or a read or write it
// cannot serve from the window needs the file as it is. A page read while it is in the
// window is answered from there. A run the system refused stays in the window, so no
// page is lost; the read or write that needed it fails.
class TemporaryPageFile final : public PageFile {
 public:
  static constexpr uint32_t kWindowPages = 1024;
  // Where a new window begins: this many pages before the page that opens it, so that
  // the neighbours that come just after it still fall inside.
  static constexpr uint32_t kWindowLead = 16;
  // Pages below this number are kept in memory.
  static constexpr uint32_t kMemoryPages = 65536;

  TemporaryPageFile() : m_held(kWindowPages, false) {}
  ~TemporaryPageFile() override {
    Discard();
    if (!g_liveFilesGone) LiveFiles().m_files.erase(this);
  }

  // Creates the file, kept open from its creation on; its name begins with the whole
  // prefix.
  bool Create() {
    if (!m_file.CreateTemporary(kTemporaryPrefix)) return false;
    m_path = WithWholePrefix(m_file.Path());
    m_filePosition = 0;
    LiveFiles().m_files.insert(this);
    return true;
  }
  // Closes and removes the file (the pages of the window die with it); later calls
  // fail.
  void Discard() {
    if (m_discarded) return;
    m_discarded = true;
    std::fill(m_held.begin(), m_held.end(), false);
    m_heldCount = 0;
    for (uint8_t* block : m_memoryBlocks) {
      if (block != nullptr) MemoryBlocks().Give(block);
    }
    m_memoryBlocks.clear();
    m_inMemory.clear();
    m_file.Close();
    platform::RemoveFile(m_path);
  }
  const std::string& Path() const { return m_path; }

  bool SeekTo(uint32_t offset) override {
    if (!m_file.IsOpen()) return false;
    m_position = offset;
    return true;
  }

  bool ReadBytes(uint8_t* buffer, uint32_t count) override {
    if (!m_file.IsOpen()) return false;
    if (const uint8_t* kept = MemoryPage(count)) {
      std::memcpy(buffer, kept, count);
      m_position += count;
      return true;
    }
    if (!SpillMemory(count)) return false;
    if (const uint8_t* held = HeldPage(count)) {
      std::memcpy(buffer, held, count);
      m_position += count;
      return true;
    }
    // Bytes of a page the window holds that are not that whole page: the window's
    // pages go to the file first.
    if (Overlaps(count) && !WriteWindow()) return false;
    return Transfer(buffer, nullptr, count);
  }

  bool WriteBytes(const uint8_t* bytes, uint32_t count) override {
    if (!m_file.IsOpen()) return false;
    if (count == kVstPageSize && m_position % kVstPageSize == 0 && m_position / kVstPageSize < kMemoryPages) {
      const uint32_t page = m_position / kVstPageSize;
      // A page the window holds goes to the file first, so the two never disagree.
      if (m_heldCount > 0 && page >= m_windowStart && page - m_windowStart < kWindowPages &&
          m_held[page - m_windowStart] && !WriteWindow()) {
        return false;
      }
      const uint32_t blockIndex = page / MemoryBlockPool::kPagesPerBlock;
      if (blockIndex >= m_memoryBlocks.size()) m_memoryBlocks.resize(blockIndex + 1, nullptr);
      if (m_memoryBlocks[blockIndex] == nullptr) m_memoryBlocks[blockIndex] = MemoryBlocks().Take();
      // The marks grow a block at a time: a load appends page after page.
      if (page >= m_inMemory.size()) m_inMemory.resize((blockIndex + 1) * MemoryBlockPool::kPagesPerBlock, false);
      std::memcpy(m_memoryBlocks[blockIndex] + (page % MemoryBlockPool::kPagesPerBlock) * kVstPageSize, bytes, count);
      m_inMemory[page] = true;
      m_position += count;
      return true;
    }
    if (!SpillMemory(count)) return false;
    if (count == kVstPageSize && m_position % kVstPageSize == 0) {
      const uint32_t page = m_position / kVstPageSize;
      if (m_heldCount > 0 && page >= m_windowStart + kWindowPages) {
        if (!WriteWindow()) return false;
      }
      if (m_heldCount == 0) m_windowStart = page > kWindowLead ? page - kWindowLead : 0;
      if (m_window == nullptr) m_window.reset(new uint8_t[kWindowPages * kVstPageSize]);
      if (page >= m_windowStart) {
        const uint32_t slot = page - m_windowStart;
        std::memcpy(m_window.get() + slot * kVstPageSize, bytes, count);
        if (!m_held[slot]) {
          m_held[slot] = true;
          ++m_heldCount;
        }
        m_position += count;
        return true;
      }
      // A page before the window (one that stayed long in the cache) goes on its own.
    } else if (Overlaps(count) && !WriteWindow()) {
      return false;
    }
    return Transfer(nullptr, bytes, count);
  }

 private:
  bool InMemory(uint32_t page) const { return page < m_inMemory.size() && m_inMemory[page]; }

  // The memory copy of the page at the position, when `count` bytes there are exactly
  // a page kept in memory.
  const uint8_t* MemoryPage(uint32_t count) const {
    if (count != kVstPageSize || m_position % kVstPageSize != 0) return nullptr;
    const uint32_t page = m_position / kVstPageSize;
    if (!InMemory(page)) return nullptr;
    return m_memoryBlocks[page / MemoryBlockPool::kPagesPerBlock] +
           (page % MemoryBlockPool::kPagesPerBlock) * kVstPageSize;
  }

  // The pages kept in memory that `count` bytes at the position touch go to the file
  // (and leave memory): bytes that are not one whole page are read or written there.
  bool SpillMemory(uint32_t count) {
    if (m_inMemory.empty() || count == 0) return true;
    const uint64_t first = m_position / kVstPageSize;
    const uint64_t last = (static_cast<uint64_t>(m_position) + count - 1) / kVstPageSize;
    for (uint64_t page = first; page <= last && page < m_inMemory.size(); ++page) {
      if (!m_inMemory[page]) continue;
      const uint8_t* bytes = m_memoryBlocks[page / MemoryBlockPool::kPagesPerBlock] +
                             (page % MemoryBlockPool::kPagesPerBlock) * kVstPageSize;
      if (!PlaceFile(page * kVstPageSize) || m_file.Write(bytes, kVstPageSize) != kVstPageSize) {
        m_filePosition = -1;
        return false;
      }
      m_filePosition = static_cast<int64_t>((page + 1) * kVstPageSize);
      m_inMemory[page] = false;
    }
    return true;
  }

  // The window's copy of the page at the position, when `count` bytes there are
  // exactly a page the window holds.
  const uint8_t* HeldPage(uint32_t count) const {
    if (m_heldCount == 0 || count != kVstPageSize || m_position % kVstPageSize != 0) return nullptr;
    const uint32_t page = m_position / kVstPageSize;
    if (page < m_windowStart || page - m_windowStart >= kWindowPages || !m_held[page - m_windowStart]) return nullptr;
    return m_window.get() + (page - m_windowStart) * kVstPageSize;
  }

  // Whether `count` bytes at the position touch a page the window holds.
  bool Overlaps(uint32_t count) const {
    if (m_heldCount == 0 || count == 0) return false;
    const uint64_t first = m_position / kVstPageSize;
    const uint64_t last = (static_cast<uint64_t>(m_position) + count - 1) / kVstPageSize;
    for (uint64_t page = std::max<uint64_t>(first, m_windowStart);
         page <= last && page < static_cast<uint64_t>(m_windowStart) + kWindowPages; ++page) {
      if (m_held[page - m_windowStart]) return true;
    }
    return false;
  }

  // Reads or writes `count` bytes at the position in the file itself.
  bool Transfer(uint8_t* readInto, const uint8_t* writeFrom, uint32_t count) {
    const size_t done = !PlaceFile(m_position)   ? 0
                        : writeFrom != nullptr ? m_file.Write(writeFrom, count)
                                               : m_file.Read(readInto, count);
    if (done != count) {
      m_filePosition = -1;
      return false;
    }
    m_filePosition = static_cast<int64_t>(m_position) + count;
    m_position += count;
    return true;
  }

  // Moves the operating system's file to `offset` unless it stands there.
  bool PlaceFile(uint64_t offset) {
    if (m_filePosition == static_cast<int64_t>(offset)) return true;
    if (m_file.Seek(static_cast<int64_t>(offset), platform::SeekOrigin::Begin) == static_cast<int64_t>(offset)) {
      m_filePosition = static_cast<int64_t>(offset);
      return true;
    }
    m_filePosition = -1;
    return false;
  }

  // Writes every run of neighbouring pages the window holds; the pages written leave
  // it. A run the system refuses stays, and so do the runs after it.
  bool WriteWindow() {
    uint32_t slot = 0;
    while (m_heldCount > 0 && slot < kWindowPages) {
      if (!m_held[slot]) {
        ++slot;
        continue;
      }
      uint32_t end = slot;
      while (end < kWindowPages && m_held[end]) ++end;
      const uint64_t offset = (static_cast<uint64_t>(m_windowStart) + slot) * kVstPageSize;
      const uint32_t bytes = (end - slot) * kVstPageSize;
      if (!PlaceFile(offset) || m_file.Write(m_window.get() + slot * kVstPageSize, bytes) != bytes) {
        m_filePosition = -1;
        return false;
      }
      m_filePosition = static_cast<int64_t>(offset + bytes);
      for (uint32_t i = slot; i < end; ++i) m_held[i] = false;
      m_heldCount -= end - slot;
      slot = end;
    }
    return true;
  }

  std::string m_path;
  platform::BinaryFile m_file;
  bool m_discarded = false;
  // Where the next read or write begins, and where the operating system's file stands
  // (-1 when not known, after a failure).
  uint32_t m_position = 0;
  int64_t m_filePosition = -1;
  // The window: the pages from m_windowStart on that are written here and not yet in
  // the file, marked in m_held.
  std::unique_ptr<uint8_t[]> m_window;
  std::vector<bool> m_held;
  uint32_t m_heldCount = 0;
  uint32_t m_windowStart = 0;
  // The pages kept in memory: blocks of MemoryBlockPool::kPagesPerBlock pages (null
  // for a block none of whose pages came), and per page whether its block holds it.
  std::vector<uint8_t*> m_memoryBlocks;
  std::vector<bool> m_inMemory;
};

LiveTemporaryFiles::~LiveTemporaryFiles() {
  for (TemporaryPageFile* file : m_files) file->Discard();
  m_files.clear();
  g_liveFilesGone = true;
}

}  // namespace


std::unique_ptr<PageFile> CreateTemporaryPageFile() {
  errno = 0;
  auto file = std::make_unique<TemporaryPageFile>();
  if (file->Create()) return file;
  DVError error(kMsgCannotCreateTempFile, kSeverityError);
  error.SetArg(0, static_cast<int32_t>(errno));
  error.SetArg(1, (platform::TemporaryDirectory() + "/" + kTemporaryPrefix).c_str());
  throw error;
}

uint32_t OpenTemporaryPageFileCount() {
  return g_liveFilesGone ? 0 : static_cast<uint32_t>(LiveFiles().m_files.size());
}

std::string TemporaryPageFileName(const PageFile& file) {
  const auto* temporary = dynamic_cast<const TemporaryPageFile*>(&file);
  return temporary == nullptr ? std::string() : temporary->Path();
}

PageCache::PageCache() : PageCache(CreateTemporaryPageFile()) {}

PageCache::PageCache(std::unique_ptr<PageFile> file) : m_file(std::move(file)) {
  if (m_file == nullptr) ZENTOR_INTERNAL_ERROR();
  Initialise();
}

PageCache::~PageCache() {
  std::unique_ptr<PageBuffer[]>* spare = SpareBuffers();
  for (uint32_t set = 0; set < kSpareBufferSets; ++set) {
    if (spare[set] != nullptr) continue;
    spare[set] = std::move(m_buffers);
    return;
  }
}

std::unique_ptr<PageCache::PageBuffer[]>* PageCache::SpareBuffers() {
  // Made on first use and never destroyed: a cache may go while the program exits.
  static auto* spare = new std::unique_ptr<PageBuffer[]>[kSpareBufferSets]();
  return spare;
}

namespace {

// The lists of a new cache, laid once: every load sets up a cache, which copies them.
struct NewCacheLists {
  uint16_t m_lruNext[PageCache::kBufferCount + 1];
  uint16_t m_lruPrevious[PageCache::kBufferCount + 1];
  uint16_t m_hashNext[PageCache::kBufferCount + PageCache::kBucketCount];
  uint16_t m_hashPrevious[PageCache::kBufferCount + PageCache::kBucketCount];

  NewCacheLists() {
    // Every hash list is empty: each node is alone on its own circle.
    for (uint16_t node = 0; node < PageCache::kBufferCount + PageCache::kBucketCount; ++node) {
      m_hashNext[node] = node;
      m_hashPrevious[node] = node;
    }
    constexpr uint16_t kLruHead = PageCache::kBufferCount;
    m_lruNext[kLruHead] = kLruHead;
    m_lruPrevious[kLruHead] = kLruHead;
    // Each buffer goes to the front in turn, so buffer 0 ends at the least recently
    // used end and buffers are first taken in the order 0, 1, 2, ...
    for (uint16_t buffer = 0; buffer < PageCache::kBufferCount; ++buffer) {
      const uint16_t first = m_lruNext[kLruHead];
      m_lruNext[buffer] = first;
      m_lruPrevious[buffer] = kLruHead;
      m_lruPrevious[first] = buffer;
      m_lruNext[kLruHead] = buffer;
    }
  }
};

const NewCacheLists& NewLists() {
  static const NewCacheLists lists;
  return lists;
}

}  // namespace

void PageCache::Initialise() {
  std::unique_ptr<PageBuffer[]>* spare = SpareBuffers();
  for (uint32_t set = 0; set < kSpareBufferSets && m_buffers == nullptr; ++set) m_buffers = std::move(spare[set]);
  if (m_buffers != nullptr) {
    // A page's bytes are only ever seen after AppendPage cleared them or ReadPage
    // filled them (a failed read forgets the page): the old bytes can stay, the
    // headers start as a new buffer's.
    for (uint16_t buffer = 0; buffer < kBufferCount; ++buffer) {
      PageBuffer& page = m_buffers[buffer];
      page.m_signature = kSignature;
      page.m_pinCount = 0;
      page.m_changed = 0;
      page.m_pageNumber = kNoPage;
    }
  } else {
    m_buffers = std::make_unique<PageBuffer[]>(kBufferCount);
  }
  const NewCacheLists& lists = NewLists();
  std::memcpy(m_lruNext, lists.m_lruNext, sizeof m_lruNext);
  std::memcpy(m_lruPrevious, lists.m_lruPrevious, sizeof m_lruPrevious);
  std::memcpy(m_hashNext, lists.m_hashNext, sizeof m_hashNext);
  std::memcpy(m_hashPrevious, lists.m_hashPrevious, sizeof m_hashPrevious);
  std::fill(std::begin(m_recent), std::end(m_recent), kNoBuffer);
}

void PageCache::CheckHandleInFile(RecordHandle handle, int line) const {
  if (handle.IsNone() || handle.Value() >= m_fileLength) RaiseInternalError(__FILE__, line);
}

uint16_t PageCache::FindResident(uint32_t pageNumber) const {
  const uint16_t bucket = static_cast<uint16_t>(kFirstBucketNode + pageNumber % kBucketCount);
  for (uint16_t node = m_hashNext[bucket]; node != bucket; node = m_hashNext[node]) {
    if (m_buffers[node].m_pageNumber == pageNumber) return node;
  }
  return kNoBuffer;
}

uint16_t PageCache::FindRecent(uint32_t pageNumber) {
  uint16_t& slot = m_recent[pageNumber % kRecentSlots];
  if (slot != kNoBuffer && m_buffers[slot].m_pageNumber == pageNumber) return slot;
  const uint16_t buffer = FindResident(pageNumber);
  if (buffer != kNoBuffer) slot = buffer;
  return buffer;
}

uint16_t PageCache::FindBuffer(RecordHandle handle) {
  if (handle.IsNone() || handle.Value() >= m_fileLength) RaiseVstError(kMsgSeekBeyondVstEnd, kSeverityInternal);
  const uint16_t buffer = FindRecent(PageNumber(handle));
  if (buffer == kNoBuffer) return kNoBuffer;
  if (m_buffers[buffer].m_signature != kSignature) RaiseVstError(kMsgBufferHeaderCorrupt, kSeverityInternal);
  return buffer;
}

uint16_t PageCache::TakeFreeBuffer() {
  uint16_t buffer = m_lruPrevious[kLruHead];
  while (buffer != kLruHead && m_buffers[buffer].m_pinCount != 0) buffer = m_lruPrevious[buffer];
  if (buffer == kLruHead) RaiseVstError(kMsgNoFreeBuffer, kSeverityError);
  // A failed write-back leaves the buffer holding its page, still changed: nothing is
  // lost and the lists are as they were.
  if (m_buffers[buffer].m_changed != 0) WritePage(buffer);
  return buffer;
}

void PageCache::HashUnlink(uint16_t buffer) {
  const uint16_t next = m_hashNext[buffer];
  const uint16_t previous = m_hashPrevious[buffer];
  m_hashNext[previous] = next;
  m_hashPrevious[next] = previous;
  m_hashNext[buffer] = buffer;
  m_hashPrevious[buffer] = buffer;
}

void PageCache::HashInsert(uint16_t buffer) {
  HashUnlink(buffer);
  const uint16_t bucket = static_cast<uint16_t>(kFirstBucketNode + m_buffers[buffer].m_pageNumber % kBucketCount);
  const uint16_t first = m_hashNext[bucket];
  m_hashNext[buffer] = first;
  m_hashPrevious[buffer] = bucket;
  m_hashPrevious[first] = buffer;
  m_hashNext[bucket] = buffer;
}

void PageCache::MoveToFront(uint16_t buffer) {
  if (m_lruNext[kLruHead] == buffer) return;
  m_lruNext[m_lruPrevious[buffer]] = m_lruNext[buffer];
  m_lruPrevious[m_lruNext[buffer]] = m_lruPrevious[buffer];
  const uint16_t first = m_lruNext[kLruHead];
  m_lruNext[buffer] = first;
  m_lruPrevious[buffer] = kLruHead;
  m_lruPrevious[first] = buffer;
  m_lruNext[kLruHead] = buffer;
}

void PageCache::ReadPage(uint16_t buffer) {
  PageBuffer& page = m_buffers[buffer];
  if (!m_file->SeekTo(page.m_pageNumber << kVstPageShift)) RaiseVstError(kMsgVstSeekError, kSeverityError);
  ++m_fileReads;
  if (!m_file->ReadBytes(page.m_data, kVstPageSize)) RaiseVstError(kMsgVstReadError, kSeverityError);
}

void PageCache::WritePage(uint16_t buffer) {
  PageBuffer& page = m_buffers[buffer];
  if (!m_file->SeekTo(page.m_pageNumber << kVstPageShift)) RaiseVstError(kMsgVstSeekError, kSeverityError);
  ++m_fileWrites;
  if (!m_file->WriteBytes(page.m_data, kVstPageSize)) RaiseVstError(kMsgVstWriteError, kSeverityError);
  page.m_changed = 0;
}

void PageCache::ForgetPage(uint16_t buffer) {
  // The buffer's bytes are not the page's: it must never be found as that page.
  HashUnlink(buffer);
  m_buffers[buffer].m_pageNumber = kNoPage;
  m_buffers[buffer].m_changed = 0;
}

uint8_t* PageCache::AppendPage(bool pin, RecordHandle* handle) {
  if (m_fileLength >= kLargestFileLength) RaiseVstError(kMsgVstWriteError, kSeverityError);
  // The buffer is found before the file grows, so a failure leaves no page behind
  // that no buffer holds and the file never received.
  const uint16_t buffer = TakeFreeBuffer();
  PageBuffer& page = m_buffers[buffer];
  *handle = RecordHandle(m_fileLength);
  page.m_pageNumber = m_fileLength >> kVstPageShift;
  m_fileLength += kVstPageSize;
  if (pin) ++page.m_pinCount;
  page.m_changed = 1;
  // A new page starts as zeros rather than the bytes of the page the buffer held.
  std::memset(page.m_data, 0, kVstPageSize);
  HashInsert(buffer);
  MoveToFront(buffer);
  return page.m_data;
}

uint16_t PageCache::BufferForRead(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) {
    buffer = TakeFreeBuffer();
    m_buffers[buffer].m_pageNumber = PageNumber(handle);
    HashInsert(buffer);
    try {
      ReadPage(buffer);
    } catch (...) {
      ForgetPage(buffer);
      throw;
    }
  }
  MoveToFront(buffer);
  return buffer;
}

uint8_t* PageCache::GetPageForRead(RecordHandle handle) {
  return m_buffers[BufferForRead(handle)].m_data + handle.PageOffset();
}

uint8_t* PageCache::PinPage(RecordHandle handle, bool write) {
  uint16_t buffer = kNoBuffer;
  return PinPage(handle, write, &buffer);
}

uint8_t* PageCache::PinPage(RecordHandle handle, bool write, uint16_t* buffer) {
  *buffer = BufferForRead(handle);
  PageBuffer& page = m_buffers[*buffer];
  if (page.m_pinCount == 0xFFFF) ZENTOR_INTERNAL_ERROR();
  ++page.m_pinCount;
  if (write) page.m_changed = 1;
  return page.m_data + handle.PageOffset();
}

uint8_t* PageCache::GetPageForWrite(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) RaiseVstError(kMsgVstSeekError, kSeverityError);
  m_buffers[buffer].m_changed = 1;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

uint16_t PageCache::FindBufferForWrite(RecordHandle handle) {
  if (handle.IsNone() || handle.Value() >= m_fileLength) return kNoBuffer;
  return FindRecent(PageNumber(handle));
}

uint8_t* PageCache::LockPage(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) RaiseVstError(kMsgVstSeekError, kSeverityError);
  if (m_buffers[buffer].m_pinCount == 0xFFFF) ZENTOR_INTERNAL_ERROR();
  ++m_buffers[buffer].m_pinCount;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

uint8_t* PageCache::UnlockPage(RecordHandle handle) {
  if (handle.IsNone()) return nullptr;
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) return nullptr;
  if (m_buffers[buffer].m_pinCount > 0) --m_buffers[buffer].m_pinCount;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

void PageCache::ReleasePinQuietly(RecordHandle handle) noexcept {
  if (!IsInFile(handle)) return;
  const uint16_t buffer = FindRecent(PageNumber(handle));
  if (buffer != kNoBuffer && m_buffers[buffer].m_pinCount > 0) --m_buffers[buffer].m_pinCount;
}

bool PageCache::IsResident(uint32_t pageNumber) const { return FindResident(pageNumber) != kNoBuffer; }

uint32_t PageCache::PinCount(uint32_t pageNumber) const {
  const uint16_t buffer = FindResident(pageNumber);
  return buffer == kNoBuffer ? 0 : m_buffers[buffer].m_pinCount;
}

bool PageCache::IsChanged(uint32_t pageNumber) const {
  const uint16_t buffer = FindResident(pageNumber);
  return buffer != kNoBuffer && m_buffers[buffer].m_changed != 0;
}

void SetCurrentPageCacheProvider(PageCacheProvider provider) { g_currentProvider = provider; }

PageCacheProvider CurrentPageCacheProvider() { return g_currentProvider; }

PageCache& CurrentPageCache() {
  PageCache* cache = g_currentProvider == nullptr ? nullptr : g_currentProvider();
  if (cache == nullptr) ZENTOR_INTERNAL_ERROR();
  return *cache;
}

}  // namespace zentor
