#pragma once
// The virtual symbol table file: 512-byte pages of a temporary file, reached only
// through a PageCache. Everything in it is addressed by a RecordHandle (a byte offset).
// Loaders append records to chains of linked record pages with a RecordChainWriter and
// store names in unlinked name pages; lookups walk the chains with a RecordRef and name
// symbols by SymbolKey. Record bytes are never cast to structs: a RecordView is a
// bounds-checked window onto one record of a pinned page, read and written through
// little-endian accessors.

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "core/value_bytes.h"
#include "support/rw_cstring.h"

#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <utility>

namespace zentor {

class PageCache;

inline constexpr uint32_t kVstPageSize = 512;
inline constexpr uint32_t kVstPageShift = 9;
inline constexpr uint32_t kVstPageOffsetMask = 0x1FF;
// Record pages begin with the next-page and previous-page words.
inline constexpr uint32_t kRecordPageNextLink = 0;
inline constexpr uint32_t kRecordPagePreviousLink = 4;
inline constexpr uint32_t kRecordPageHeaderSize = 8;
inline constexpr uint32_t kRecordAreaSize = kVstPageSize - kRecordPageHeaderSize;  // 504
// Every record page keeps this much room free for the page-end record.
inline constexpr uint32_t kPageEndReserve = 4;
inline constexpr uint32_t kLargestRecord = kVstPageSize - kRecordPageHeaderSize - kPageEndReserve;  // 500
// A name and its NUL must fit one name page.
inline constexpr uint32_t kLongestName = kVstPageSize - 1;  // 511

// Message numbers of the symbol-table file.
inline constexpr uint32_t kMsgSymbolAnomaly = 301;       // symbol chain walk
inline constexpr uint32_t kMsgInvalidTypeRecord = 302;   // type chain walk

// A byte offset in the symbol-table file: of a record, a name or a page.
class RecordHandle {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  constexpr RecordHandle() = default;
  constexpr explicit RecordHandle(uint32_t value) : m_value(value) {}

  constexpr uint32_t Value() const { return m_value; }
  constexpr bool IsNone() const { return m_value == kNone; }
  constexpr uint32_t PageNumber() const { return m_value >> kVstPageShift; }
  constexpr uint32_t PageOffset() const { return m_value & kVstPageOffsetMask; }
  // The handle of the start of the page this handle lies in.
  constexpr RecordHandle PageAddress() const { return RecordHandle(m_value & ~kVstPageOffsetMask); }

  constexpr bool operator==(const RecordHandle& other) const { return m_value == other.m_value; }
  constexpr bool operator!=(const RecordHandle& other) const { return m_value != other.m_value; }
  constexpr bool operator==(uint32_t word) const { return m_value == word; }
  constexpr bool operator!=(uint32_t word) const { return m_value != word; }

 private:
  uint32_t m_value = kNone;
};

// Where a cache keeps the pin count of a buffer and the number of the page it holds:
// a pin taken through a known buffer is released there without finding the page.
struct PageBufferSlot {
  uint16_t* m_pinCount = nullptr;
  const uint32_t* m_pageNumber = nullptr;
};

// Holds one pin on a page so that the cache cannot give its buffer to another page.
// Taking another page or going away releases the pin. The cache must outlive the pin.
class PagePin {
 public:
  PagePin() = default;
  // Pins the page of `handle`, which must be resident (see PageCache::LockPage).
  PagePin(PageCache& cache, RecordHandle handle);
  ~PagePin() { Release(); }
  PagePin(const PagePin&) = delete;
  PagePin& operator=(const PagePin&) = delete;
  PagePin(PagePin&& other) noexcept
      : m_cache(other.m_cache), m_page(other.m_page), m_slot(other.m_slot) {
    other.m_cache = nullptr;
    other.m_page = RecordHandle();
    other.m_slot = PageBufferSlot();
  }
  PagePin& operator=(PagePin&& other) noexcept;

  // Releases the held pin (if any), then pins the page of `handle`.
  void MoveTo(PageCache& cache, RecordHandle handle);
  // Releases the held pin (if any) and takes over the pin the caller just put on the
  // page of `handle`, through the buffer `slot` when the caller knows it.
  void Adopt(PageCache& cache, RecordHandle handle, PageBufferSlot slot = PageBufferSlot()) {
    Release();
    m_cache = &cache;
    m_page = handle.PageAddress();
    m_slot = slot;
  }
  // Every record view of a load releases a pin: the buffer's count is taken down in
  // place while the buffer still holds the page (a pinned page keeps its buffer).
  void Release() {
    if (m_cache == nullptr) return;
    if (m_slot.m_pinCount != nullptr && *m_slot.m_pageNumber == m_page.PageNumber()) {
      if (*m_slot.m_pinCount > 0) --*m_slot.m_pinCount;
    } else {
      ReleaseThroughCache();
    }
    m_cache = nullptr;
    m_page = RecordHandle();
    m_slot = PageBufferSlot();
  }
  RecordHandle Page() const { return m_page; }
  bool IsHeld() const { return m_cache != nullptr; }

 private:
  void ReleaseThroughCache() noexcept;

  PageCache* m_cache = nullptr;
  RecordHandle m_page;
  PageBufferSlot m_slot;
};

// Whether a RecordView may change the bytes it shows.
enum class RecordAccess { Read, Write };

// A window of `length` bytes onto one record (or name, or page) of the file. While the
// view lives its page stays pinned, so the bytes stay where they are. Every accessor
// checks its offset against the view's length; a field outside the record is a fault
// of the calling code (internal-consistency error), never a read of a neighbour.
// A writable view marks its page changed when it is opened.
class RecordView {
 public:
  RecordView() = default;  // no record (the end of a walk)
  RecordView(RecordView&& other) noexcept
      : m_pin(std::move(other.m_pin)),
        m_bytes(other.m_bytes),
        m_length(other.m_length),
        m_handle(other.m_handle),
        m_writable(other.m_writable) {
    other.m_bytes = nullptr;
    other.m_length = 0;
    other.m_handle = RecordHandle();
    other.m_writable = false;
  }
  RecordView& operator=(RecordView&& other) noexcept;

  // The record at `handle`: the page is read in and pinned. A record that would run
  // past the end of its page raises `errorNumber` (INTERNAL ERROR): such a handle can
  // only come from a damaged file or chain.
  static RecordView Open(PageCache& cache, RecordHandle handle, uint32_t length, RecordAccess access,
                         uint32_t errorNumber = kMsgSymbolAnomaly);
  // A view of a record on a page the caller holds pinned, whose buffer it names in
  // `buffer` (and is told again there): what a chain writer hands out, and what the
  // type directory gives of its current page.
  static RecordView OpenOnPinnedPage(PageCache& cache, RecordHandle handle, uint32_t length, uint16_t& buffer,
                                     RecordAccess access = RecordAccess::Write,
                                     uint32_t errorNumber = kMsgSymbolAnomaly);

  bool IsNull() const { return m_bytes == nullptr; }
  explicit operator bool() const { return m_bytes != nullptr; }
  RecordHandle Handle() const { return m_handle; }
  uint32_t Length() const { return m_length; }
  bool IsWritable() const { return m_writable; }

  // The small reads and writes are inline: a load writes several per record, a lookup
  // reads several per record it passes.
  uint8_t U8At(uint32_t offset) const { return *Checked(offset, 1); }
  uint16_t U16At(uint32_t offset) const { return value_bytes::LoadU16(Checked(offset, 2)); }
  uint32_t U32At(uint32_t offset) const { return value_bytes::LoadU32(Checked(offset, 4)); }
  RecordHandle HandleAt(uint32_t offset) const { return RecordHandle(U32At(offset)); }
  OrdinalValue OrdinalAt(uint32_t offset) const;
  // A 28-byte flat address: a zero word, the 20-byte target address record, the
  // 4-byte optional line.
  AddressDescriptor AddressAt(uint32_t offset) const;
  // Copies `count` bytes from `offset`.
  void CopyOut(uint32_t offset, uint32_t count, void* destination) const;

  void SetU8(uint32_t offset, uint8_t value) { *CheckedForWrite(offset, 1) = value; }
  void SetU16(uint32_t offset, uint16_t value) { value_bytes::StoreU16(CheckedForWrite(offset, 2), value); }
  void SetU32(uint32_t offset, uint32_t value) { value_bytes::StoreU32(CheckedForWrite(offset, 4), value); }
  void SetHandle(uint32_t offset, RecordHandle handle) { SetU32(offset, handle.Value()); }
  void SetOrdinal(uint32_t offset, const UnsignedInt64& value);
  void SetAddress(uint32_t offset, const AddressDescriptor& address);
  void CopyIn(uint32_t offset, uint32_t count, const void* source);
  void Fill(uint32_t offset, uint32_t count, uint8_t value);

 private:
  // Checks that `count` bytes at `offset` lie inside the view (and, for a write, that
  // the view is writable); returns the address of the first.
  const uint8_t* Checked(uint32_t offset, uint32_t count) const {
    if (m_bytes == nullptr || offset > m_length || count > m_length - offset) RaiseOutsideView();
    return m_bytes + offset;
  }
  uint8_t* CheckedForWrite(uint32_t offset, uint32_t count) {
    Checked(offset, count);
    if (!m_writable) RaiseOutsideView();
    return m_bytes + offset;
  }
  // The internal-consistency error of a use outside the view.
  [[noreturn]] static void RaiseOutsideView();

  PagePin m_pin;
  uint8_t* m_bytes = nullptr;
  uint32_t m_length = 0;
  RecordHandle m_handle;
  bool m_writable = false;
};

inline constexpr uint32_t kFlatAddressSize = 28;
// The flat address form on raw bytes (used by the views and by tests of the layouts).
AddressDescriptor LoadFlatAddress(const uint8_t* bytes);
void StoreFlatAddress(uint8_t* bytes, const AddressDescriptor& address);

// The writing state of one chain of record pages (or of the name pool, or of the type
// directory, which use the counter as their own offset or slot index).
class RecordChainWriter {
 public:
  RecordChainWriter() = default;

  // Reserves `length` bytes (4..500) for one record on the chain and returns them as a
  // writable view. A record never straddles two pages: when it would not leave 4 bytes
  // behind it, a page-end record is written and a new linked page started. A writer
  // that continues a chain after its pin was released overwrites a list-end record
  // that ends the chain.
  RecordView Reserve(PageCache& cache, uint32_t length);
  // Appends a new record page, links it behind the current one and makes it current.
  void NewPage(PageCache& cache);
  // Releases the pin on the current page (end of a load); a later Reserve re-pins.
  void ReleasePin(PageCache& cache);

  uint16_t Counter() const { return m_counter; }
  void SetCounter(uint16_t counter) { m_counter = counter; }
  RecordHandle FirstPage() const { return m_firstPage; }
  RecordHandle CurrentPage() const { return m_currentPage; }
  void SetPages(RecordHandle first, RecordHandle current) {
    m_firstPage = first;
    m_currentPage = current;
  }
  uint16_t WriteOffset() const { return m_writeOffset; }
  uint16_t LastRecordOffset() const { return m_lastRecordOffset; }
  bool IsPinned() const { return m_pinned != 0; }
  void SetPinned(bool pinned) { m_pinned = pinned ? 1 : 0; }
  uint32_t FirstRecordFlag() const { return m_firstRecordFlag; }
  void SetFirstRecordFlag(uint32_t flag) { m_firstRecordFlag = flag; }
  // The buffer that held the current page when last seen, for OpenOnPinnedPage.
  uint16_t& BufferHint() { return m_buffer; }

 private:
  friend RecordHandle StoreNameText(PageCache& cache, RecordChainWriter& pool, std::string_view name);

  // Reads the current page back in and pins it for writing.
  void RepinCurrentPage(PageCache& cache);

  uint16_t m_counter = 0;
  RecordHandle m_firstPage;
  RecordHandle m_currentPage;
  uint16_t m_writeOffset = 0;
  uint16_t m_lastRecordOffset = 0;
  uint32_t m_pinned = 0;
  uint32_t m_firstRecordFlag = 0;
  // The buffer that held the current page when last seen (a hint, checked each use).
  uint16_t m_buffer = 0xFFFF;
};

// Stores a name in the name pool written by `pool` and returns the handle of its first
// character; an empty name stores nothing and yields none. Names are not shared. A name
// longer than 511 characters does not fit a page with its NUL and is refused (message
// 301, ERROR) rather than cut, so that a stored name is always the name given.
RecordHandle StoreName(PageCache& cache, RecordChainWriter& pool, const RWCString& name);
RecordHandle StoreNameText(PageCache& cache, RecordChainWriter& pool, std::string_view name);
// The name stored at `handle`: "" for none. A handle that names no NUL-terminated text
// inside its page raises 301.
RWCString NameAt(PageCache& cache, RecordHandle handle);

// A name text to look for, with its hash and case rule (0 exact, 1 without regard to
// case); what lookups compare stored SymbolKeys with.
class NameKey {
 public:
  NameKey() = default;
  NameKey(const RWCString& text, uint32_t caseWord);

  const RWCString& Text() const { return m_text; }
  uint32_t Hash() const { return m_hash; }
  uint32_t CaseWord() const { return m_caseWord; }

 private:
  RWCString m_text;
  uint32_t m_hash = 0;
  uint32_t m_caseWord = 0;
};

// How a record names a symbol: the handle of the name in the name pool, the name's hash
// under the key's case rule (0 for no name) and the case word. Twelve bytes in a record.
class SymbolKey {
 public:
  static constexpr uint32_t kStoredSize = 12;

  SymbolKey() = default;  // no name
  SymbolKey(RecordHandle name, uint32_t hash, uint32_t caseWord) : m_name(name), m_hash(hash), m_caseWord(caseWord) {}
  // Stores the key's text in the name pool; the hash is kept only when a name was
  // stored (an empty text gives hash 0).
  static SymbolKey Store(PageCache& cache, RecordChainWriter& pool, const NameKey& key);
  // The same for a text and a case word, without making a string of it first (what
  // a load does per symbol).
  static SymbolKey Store(PageCache& cache, RecordChainWriter& pool, std::string_view text, uint32_t caseWord);

  RecordHandle NameHandle() const { return m_name; }
  uint32_t Hash() const { return m_hash; }
  uint32_t CaseWord() const { return m_caseWord; }

  // The name read from the name pool ("" for none).
  RWCString NameText(PageCache& cache) const;
  RWCString NameText() const;

  // Keys with equal case words and different hashes never match; keys naming the same
  // stored name match; otherwise the texts decide, without regard to case when either
  // key says so. The forms without a cache use the current symbol context's cache.
  bool Equals(PageCache& cache, const SymbolKey& other) const;
  bool operator==(const SymbolKey& other) const;
  bool operator!=(const SymbolKey& other) const { return !(*this == other); }
  // An empty text matches exactly a key without name, and a key without name matches
  // no other text; then as above.
  bool Matches(PageCache& cache, const NameKey& key) const;
  bool Matches(const NameKey& key) const;

  static SymbolKey ReadFrom(const RecordView& view, uint32_t offset);
  void WriteTo(RecordView& view, uint32_t offset) const;

 private:
  RecordHandle m_name;
  uint32_t m_hash = 0;
  uint32_t m_caseWord = 0;
};

// A cursor over a record chain. It holds no pin between steps: each step reads its page
// through the cache and pins it while the record it returns is in use (the view).
class RecordRef {
 public:
  RecordRef() = default;  // off the chain

  // Positions the cursor at the record at `handle`; a handle at the very start of a
  // page means the page's first record; none leaves the cursor off the chain.
  void Init(RecordHandle handle, uint32_t elementSize = 0);

  // The record under the cursor (symbol chains: block, procedure, symbol, scope end),
  // and the cursor moves past it; a null view at the end of the chain (end and
  // list-end records, or a last page's page-end record). Unknown record types, records
  // that do not fit their page, bad page links and chains that loop raise 301.
  RecordView NextSymbolRecord(PageCache& cache);
  RecordView NextSymbolRecord();
  // The same for list elements of the type-record chain (name, index, number
  // elements); a list-end element ends the walk; failures raise 302.
  RecordView NextTypeRecord(PageCache& cache);
  RecordView NextTypeRecord();

  // Places the cursor on element n of a chain of fixed-size elements, walking page
  // links from the page it is on. 0 on success; -1 (cursor unchanged) when the element
  // size is 0 or above a page's record area, n is negative, the cursor is off the
  // chain or a link ends before the element's page.
  int32_t SeekElement(PageCache& cache, int32_t n);
  int32_t SeekElement(int32_t n);

  uint32_t RecType() const { return m_recType; }
  uint16_t RecIdx() const { return m_recIdx; }
  uint32_t PageAddr() const { return m_pageAddr; }
  uint32_t ElementSize() const { return m_elementSize; }
  uint32_t PageOrdinal() const { return m_pageOrdinal; }
  RecordHandle Addr() const { return RecordHandle(m_addr); }
  bool IsOffChain() const { return m_pageAddr == RecordHandle::kNone; }

 private:
  RecordView NextRecord(PageCache& cache, bool symbolWalk);

  uint32_t m_recType = 0;
  uint16_t m_recIdx = 0;
  uint32_t m_pageAddr = RecordHandle::kNone;
  uint32_t m_elementSize = 0;
  uint32_t m_pageOrdinal = 0;
  uint32_t m_addr = RecordHandle::kNone;
};

// A walk over one chain from a record on: symbol records (a symbol chain) or list
// elements (a list on the type-record chain). Every step takes at least 4 bytes of
// the file, so a walk of more steps than the file has such pieces can only be a
// damaged chain going round: it raises 301 (symbol walk) or 302 (list walk) instead
// of running on.
class ChainWalk {
 public:
  enum class Kind { Symbols, ListElements };
  ChainWalk(PageCache& cache, RecordHandle first, Kind kind = Kind::Symbols);

  // The next record (null at the end of the chain).
  RecordView Next();
  const RecordRef& Cursor() const { return m_cursor; }

 private:
  PageCache& m_cache;
  RecordRef m_cursor;
  Kind m_kind;
  uint32_t m_steps = 0;
  uint32_t m_limit;
};

// "rec_type <t>, rec_idx <i>, page_addr <p>, addr <a>" in hexadecimal without prefix;
// the stream is left in hexadecimal.
std::ostream& operator<<(std::ostream& stream, const RecordRef& ref);

}  // namespace zentor
