#pragma once
// The page cache is the only way to the symbol-table file: it owns the file, keeps 121
// of its 512-byte pages in memory, finds a page by hashing its number, gives the buffer
// of the least recently used unpinned page to a page that is needed, and writes a
// changed page back only when its buffer is taken. Loaders append and fill pages
// through it, lookups read records and names through it. Each symbol context shares one
// reference-counted cache.

#include "symbols/vst_file.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zentor {

// Message numbers of the page cache.
inline constexpr uint32_t kMsgBufferHeaderCorrupt = 306;
inline constexpr uint32_t kMsgSeekBeyondVstEnd = 307;
inline constexpr uint32_t kMsgNoFreeBuffer = 308;
inline constexpr uint32_t kMsgVstReadError = 309;
inline constexpr uint32_t kMsgVstSeekError = 310;
inline constexpr uint32_t kMsgVstWriteError = 311;
inline constexpr uint32_t kMsgCannotCreateTempFile = 115;

// Where the cache's pages live. The cache only ever reads and writes whole pages at
// page offsets; each call answers whether it succeeded.
class PageFile {
 public:
  virtual ~PageFile() = default;
  virtual bool SeekTo(uint32_t offset) = 0;
  virtual bool ReadBytes(uint8_t* buffer, uint32_t count) = 0;
  virtual bool WriteBytes(const uint8_t* bytes, uint32_t count) = 0;
};

// A new temporary file "$DBT..." in the temporary directory, opened for reading and
// writing. The file is removed when the object goes, and at the latest when the
// program exits. Creation failure raises 115 (ERROR) with the system's error and the
// name tried: the symbols cannot be loaded, but the debugger goes on.
std::unique_ptr<PageFile> CreateTemporaryPageFile();
// The names of the temporary page files now open (tests check that none is left).
uint32_t OpenTemporaryPageFileCount();
std::string TemporaryPageFileName(const PageFile& file);

class PageCache {
 public:
  static constexpr uint32_t kBufferCount = 121;
  static constexpr uint32_t kBucketCount = 509;
  static constexpr uint32_t kSignature = 0x65676150;  // "Page" in memory order
  static constexpr uint32_t kNoPage = 0xFFFFFFFFu;
  // Slots of the recent-page hints (pages whose numbers differ by a multiple share one).
  static constexpr uint32_t kRecentSlots = 16;
  // No buffer (a holder that does not know its page's buffer).
  static constexpr uint16_t kNoBuffer = 0xFFFF;

  // A cache over a new temporary file.
  PageCache();
  // A cache over the given page store (tests use stores that fail on purpose).
  explicit PageCache(std::unique_ptr<PageFile> file);
  ~PageCache();
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

  // Reference count kept by the symbol contexts that share the cache; a new cache
  // starts at 0 and the context that creates it adds the first reference. The owner
  // deletes the cache when DropReference answers 0.
  uint32_t AddReference() { return ++m_referenceCount; }
  uint32_t DropReference() { return m_referenceCount == 0 ? 0 : --m_referenceCount; }
  uint32_t ReferenceCount() const { return m_referenceCount; }

  // Appends a page: `handle` receives its offset (the old file length) and the length
  // grows by 512. The page's buffer is marked changed, pinned once when `pin` is true,
  // and its 512 bytes are returned, not cleared. When no buffer can be had (308, or a
  // failed write-back) the file does not grow.
  uint8_t* AppendPage(bool pin, RecordHandle* handle);
  // The byte of `handle` in its page, read in on a miss; the page becomes the most
  // recently used. No pin, no change mark. Valid until the page's buffer is taken.
  uint8_t* GetPageForRead(RecordHandle handle);
  // The same for a resident page (310 when it is not), which is marked changed.
  uint8_t* GetPageForWrite(RecordHandle handle);
  // The same, trying the buffer `*hint` first; `*hint` receives the page's buffer.
  uint8_t* GetPageForWrite(RecordHandle handle, uint16_t* hint) {
    if (PageBuffer* page = HintedBuffer(*hint, handle)) {
      page->m_changed = 1;
      return page->m_data + handle.PageOffset();
    }
    *hint = FindBufferForWrite(handle);
    return GetPageForWrite(handle);
  }
  // Adds a pin to a resident page (310 when it is not).
  uint8_t* LockPage(RecordHandle handle);
  // Takes a pin off a resident page (a page without pins stays at 0). None, or a page
  // that is not resident, does nothing and answers null.
  uint8_t* UnlockPage(RecordHandle handle);
  // GetPageForRead, LockPage and, for a write, GetPageForWrite in one: what a record
  // view does to the page of its record.
  uint8_t* PinPage(RecordHandle handle, bool write);
  // The same, also telling which buffer holds the page: a holder that keeps the
  // buffer pins and releases by it without finding the page again.
  uint8_t* PinPage(RecordHandle handle, bool write, uint16_t* buffer);
  // PinPage for a page its caller holds pinned already and whose buffer it was told
  // (`hint`); another buffer, or none, is looked up as PinPage does. `buffer` receives
  // the buffer that holds the page. A write marks the page changed.
  uint8_t* PinPinnedPage(RecordHandle handle, uint16_t hint, uint16_t* buffer, bool write = true) {
    // A record writer pins each record of its pinned current page: the buffer it names
    // answers without a lookup, with the same checks, recency and change mark.
    PageBuffer* page = HintedBuffer(hint, handle);
    if (page != nullptr && page->m_pinCount != 0 && page->m_pinCount != 0xFFFF) {
      if (m_lruNext[kLruHead] != hint) MoveToFront(hint);
      ++page->m_pinCount;
      if (write) page->m_changed = 1;
      *buffer = hint;
      return page->m_data + handle.PageOffset();
    }
    return PinPage(handle, write, buffer);
  }
  // Where a buffer keeps its pin count and page number (no slot for kNoBuffer).
  PageBufferSlot SlotOf(uint16_t buffer) {
    if (buffer >= kBufferCount) return PageBufferSlot();
    return PageBufferSlot{&m_buffers[buffer].m_pinCount, &m_buffers[buffer].m_pageNumber};
  }
  static uint32_t PageNumber(RecordHandle handle) { return handle.Value() >> kVstPageShift; }

  // The offset at which the next appended page begins.
  uint32_t FileLength() const { return m_fileLength; }
  uint32_t PageCountInFile() const { return m_fileLength >> kVstPageShift; }
  // True when `handle` lies inside the file (handles read from pages are checked with
  // this before they are followed).
  bool IsInFile(RecordHandle handle) const { return !handle.IsNone() && handle.Value() < m_fileLength; }

  // Observations for tests and the dump: whether a page is resident, its pins, its
  // change mark, and the number of page reads and writes done on the file.
  bool IsResident(uint32_t pageNumber) const;
  uint32_t PinCount(uint32_t pageNumber) const;
  bool IsChanged(uint32_t pageNumber) const;
  uint32_t FileReads() const { return m_fileReads; }
  uint32_t FileWrites() const { return m_fileWrites; }

 private:
  friend class PagePin;

  struct PageBuffer {
    uint32_t m_signature = kSignature;
    uint16_t m_pinCount = 0;
    uint16_t m_changed = 0;
    uint32_t m_pageNumber = kNoPage;
    uint8_t m_data[kVstPageSize] = {};
  };

  // Buffers and hash buckets are nodes of circular doubly linked lists kept as index
  // arrays: node i < 121 is buffer i; the LRU list's head is node 121; the hash lists'
  // nodes are the buffers and the bucket heads 121.. 121 + 508.
  static constexpr uint16_t kLruHead = kBufferCount;
  static constexpr uint16_t kFirstBucketNode = kBufferCount;

  void Initialise();
  // The buffers of the last caches that went, kept for the next ones: a load makes a
  // new cache each time, and 121 cleared pages from the allocator cost more than
  // setting the headers of buffers whose bytes no page shows before it fills them.
  // A load makes its cache while the context it replaces still holds one, so two
  // sets are kept.
  static constexpr uint32_t kSpareBufferSets = 2;
  static std::unique_ptr<PageBuffer[]>* SpareBuffers();
  void CheckHandleInFile(RecordHandle handle, int line) const;
  // The buffer `hint` names when it still holds the page of `handle` (a handle in the
  // file), else null: a caller's memory of a buffer is only ever a hint.
  PageBuffer* HintedBuffer(uint16_t hint, RecordHandle handle) {
    if (hint >= kBufferCount || handle.IsNone() || handle.Value() >= m_fileLength) return nullptr;
    PageBuffer& page = m_buffers[hint];
    return page.m_pageNumber == PageNumber(handle) && page.m_signature == kSignature ? &page : nullptr;
  }
  uint16_t FindBuffer(RecordHandle handle);
  // The buffer of a resident page about to be written (kNoBuffer when it is not
  // resident; the write then raises).
  uint16_t FindBufferForWrite(RecordHandle handle);
  // The buffer of a page, read in on a miss, moved to the front.
  uint16_t BufferForRead(RecordHandle handle);
  uint16_t FindResident(uint32_t pageNumber) const;
  // FindResident through the recent-page slots, which it keeps.
  uint16_t FindRecent(uint32_t pageNumber);
  uint16_t TakeFreeBuffer();
  void HashInsert(uint16_t buffer);
  void HashUnlink(uint16_t buffer);
  void MoveToFront(uint16_t buffer);
  void ReadPage(uint16_t buffer);
  void WritePage(uint16_t buffer);
  // Releases one pin of a page without raising (pin holders going away).
  void ReleasePinQuietly(RecordHandle handle) noexcept;
  void ForgetPage(uint16_t buffer);

  uint32_t m_referenceCount = 0;
  uint16_t m_lruNext[kBufferCount + 1];
  uint16_t m_lruPrevious[kBufferCount + 1];
  uint16_t m_hashNext[kBufferCount + kBucketCount];
  uint16_t m_hashPrevious[kBufferCount + kBucketCount];
  std::unique_ptr<PageBuffer[]> m_buffers;
  std::unique_ptr<PageFile> m_file;
  uint32_t m_fileLength = 0;
  // Where pages were last found, by page number modulo kRecentSlots: a load writes a
  // record and its name on pages of different chains in turn, and each write finds its
  // page here without walking a hash list. A slot is only a hint, taken when the
  // buffer it names still holds the page.
  uint16_t m_recent[kRecentSlots] = {};
  uint32_t m_fileReads = 0;
  uint32_t m_fileWrites = 0;
};

// The cache of the current symbol context. The symbol-context code installs the
// function that finds it; every operation of the symbol tables that takes no cache
// works on this one. No provider, or a provider that answers null, is an
// internal-consistency error.
using PageCacheProvider = PageCache* (*)();
void SetCurrentPageCacheProvider(PageCacheProvider provider);
PageCacheProvider CurrentPageCacheProvider();
PageCache& CurrentPageCache();

}  // namespace zentor
