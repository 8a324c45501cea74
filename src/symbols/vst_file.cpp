#include "symbols/vst_file.h"

#include "symbols/page_cache.h"
#include "symbols/symbol_records.h"

#include "core/dv_error.h"
#include "core/value_bytes.h"
#include "support/rw_tval_vector.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace zentor {
namespace {

using value_bytes::LoadU16;
using value_bytes::LoadU32;
using value_bytes::StoreU16;
using value_bytes::StoreU32;

[[noreturn]] void RaiseAnomaly(uint32_t number, uint32_t severity = kSeverityInternal) {
  throw DVError(number, severity);
}

// Offsets of the parts of a flat address.
constexpr uint32_t kFlatClassWord = 0;
constexpr uint32_t kFlatUnused = 4;
constexpr uint32_t kFlatNullMark = 6;
constexpr uint32_t kFlatAddressClass = 8;
constexpr uint32_t kFlatAddressKind = 12;
constexpr uint32_t kFlatReserved1 = 14;
constexpr uint32_t kFlatReserved2 = 16;
constexpr uint32_t kFlatOffset = 20;
constexpr uint32_t kFlatLine = 24;
constexpr uint32_t kFlatLineValid = 26;

RWCString::caseCompare CaseRule(uint32_t caseWord) {
  return caseWord == 1 ? RWCString::ignoreCase : RWCString::exact;
}

bool SameText(const RWCString& a, const RWCString& b, bool ignoreCase) {
  return a.length() == b.length() && a.compareTo(b, ignoreCase ? RWCString::ignoreCase : RWCString::exact) == 0;
}

}  // namespace

// ---- PagePin ----

PagePin::PagePin(PageCache& cache, RecordHandle handle) {
  cache.LockPage(handle);
  m_cache = &cache;
  m_page = handle.PageAddress();
}

PagePin& PagePin::operator=(PagePin&& other) noexcept {
  if (this != &other) {
    Release();
    m_cache = other.m_cache;
    m_page = other.m_page;
    m_slot = other.m_slot;
    other.m_cache = nullptr;
    other.m_page = RecordHandle();
    other.m_slot = PageBufferSlot();
  }
  return *this;
}

void PagePin::MoveTo(PageCache& cache, RecordHandle handle) {
  // The new pin is taken first, so moving along a chain never leaves a gap in which
  // neither page is held.
  cache.LockPage(handle);
  Release();
  m_cache = &cache;
  m_page = handle.PageAddress();
}

void PagePin::ReleaseThroughCache() noexcept { m_cache->ReleasePinQuietly(m_page); }

// ---- RecordView ----

RecordView& RecordView::operator=(RecordView&& other) noexcept {
  if (this != &other) {
    m_pin = std::move(other.m_pin);
    m_bytes = other.m_bytes;
    m_length = other.m_length;
    m_handle = other.m_handle;
    m_writable = other.m_writable;
    other.m_bytes = nullptr;
    other.m_length = 0;
    other.m_handle = RecordHandle();
    other.m_writable = false;
  }
  return *this;
}

RecordView RecordView::Open(PageCache& cache, RecordHandle handle, uint32_t length, RecordAccess access,
                            uint32_t errorNumber) {
  // Without a buffer named, the page is found as any pin finds it.
  uint16_t buffer = PageCache::kNoBuffer;
  return OpenOnPinnedPage(cache, handle, length, buffer, access, errorNumber);
}

RecordView RecordView::OpenOnPinnedPage(PageCache& cache, RecordHandle handle, uint32_t length, uint16_t& buffer,
                                        RecordAccess access, uint32_t errorNumber) {
  if (!cache.IsInFile(handle) || length == 0 || length > kVstPageSize - handle.PageOffset()) {
    RaiseAnomaly(errorNumber);
  }
  const bool write = access == RecordAccess::Write;
  RecordView view;
  view.m_bytes = cache.PinPinnedPage(handle, buffer, &buffer, write);
  view.m_pin.Adopt(cache, handle, cache.SlotOf(buffer));
  view.m_length = length;
  view.m_handle = handle;
  view.m_writable = write;
  return view;
}

void RecordView::RaiseOutsideView() { ZENTOR_INTERNAL_ERROR(); }

OrdinalValue RecordView::OrdinalAt(uint32_t offset) const { return value_bytes::LoadOrdinal(Checked(offset, 8)); }
AddressDescriptor RecordView::AddressAt(uint32_t offset) const {
  return LoadFlatAddress(Checked(offset, kFlatAddressSize));
}

void RecordView::CopyOut(uint32_t offset, uint32_t count, void* destination) const {
  if (count != 0) std::memcpy(destination, Checked(offset, count), count);
}

void RecordView::SetOrdinal(uint32_t offset, const UnsignedInt64& value) {
  value_bytes::StoreOrdinal(CheckedForWrite(offset, 8), value);
}
void RecordView::SetAddress(uint32_t offset, const AddressDescriptor& address) {
  StoreFlatAddress(CheckedForWrite(offset, kFlatAddressSize), address);
}
void RecordView::CopyIn(uint32_t offset, uint32_t count, const void* source) {
  if (count != 0) std::memcpy(CheckedForWrite(offset, count), source, count);
}
void RecordView::Fill(uint32_t offset, uint32_t count, uint8_t value) {
  if (count != 0) std::memset(CheckedForWrite(offset, count), value, count);
}

AddressDescriptor LoadFlatAddress(const uint8_t* bytes) {
  TargetAddressRecord record;
  record.m_unused = LoadU16(bytes + kFlatUnused);
  record.m_nullMark = LoadU16(bytes + kFlatNullMark);
  record.m_addressClass = LoadU32(bytes + kFlatAddressClass);
  record.m_addressKind = LoadU16(bytes + kFlatAddressKind);
  record.m_reserved1 = LoadU16(bytes + kFlatReserved1);
  record.m_reserved2 = LoadU32(bytes + kFlatReserved2);
  record.m_offset = LoadU32(bytes + kFlatOffset);
  AddressDescriptor address(record);
  address.SetLine(OptionalLine::FromRaw(LoadU16(bytes + kFlatLine), LoadU16(bytes + kFlatLineValid)));
  return address;
}

void StoreFlatAddress(uint8_t* bytes, const AddressDescriptor& address) {
  const TargetAddressRecord& record = address.Record();
  // The first word stands where an in-memory descriptor keeps its class pointer; the
  // file keeps it zero.
  StoreU32(bytes + kFlatClassWord, 0);
  StoreU16(bytes + kFlatUnused, record.m_unused);
  StoreU16(bytes + kFlatNullMark, record.m_nullMark);
  StoreU32(bytes + kFlatAddressClass, record.m_addressClass);
  StoreU16(bytes + kFlatAddressKind, record.m_addressKind);
  StoreU16(bytes + kFlatReserved1, record.m_reserved1);
  StoreU32(bytes + kFlatReserved2, record.m_reserved2);
  StoreU32(bytes + kFlatOffset, record.m_offset);
  StoreU16(bytes + kFlatLine, address.Line().RawLine());
  StoreU16(bytes + kFlatLineValid, address.Line().RawValid());
}

// ---- RecordChainWriter ----

void RecordChainWriter::RepinCurrentPage(PageCache& cache) {
  cache.GetPageForRead(m_currentPage);
  cache.LockPage(m_currentPage);
  cache.GetPageForWrite(m_currentPage);
  m_pinned = 1;
}

void RecordChainWriter::NewPage(PageCache& cache) {
  const RecordHandle oldPage = m_currentPage;
  // The old page must stay resident while the new one is appended: its next-page word
  // is written afterwards.
  if (!oldPage.IsNone() && m_pinned == 0) RepinCurrentPage(cache);
  RecordHandle newPage;
  uint8_t* bytes = cache.AppendPage(true, &newPage);
  StoreU32(bytes + kRecordPageNextLink, RecordHandle::kNone);
  StoreU32(bytes + kRecordPagePreviousLink, oldPage.Value());
  if (oldPage.IsNone()) {
    m_firstPage = newPage;
  } else {
    StoreU32(cache.GetPageForWrite(oldPage) + kRecordPageNextLink, newPage.Value());
    cache.UnlockPage(oldPage);
  }
  m_currentPage = newPage;
  m_pinned = 1;
  m_counter = 0;
  m_writeOffset = static_cast<uint16_t>(kRecordPageHeaderSize);
  // No record is reserved on the new page yet: a continued chain must not take a word
  // of the old page's offset on this page for its end mark.
  m_lastRecordOffset = 0;
}

// Reserving a record:
// 1. A writer without a pin re-pins its current page (a chain continued by a later
//    load) and steps back over a list-end record that ends it; without a page it
//    starts one.
// 2. A record that would not leave room for the page-end record goes to a new page,
//    after a page-end record.
// 3. The record's bytes are handed out as a writable view.
RecordView RecordChainWriter::Reserve(PageCache& cache, uint32_t length) {
  if (length < kBareRecordSize || length > kLargestRecord) ZENTOR_INTERNAL_ERROR();
  if (m_pinned == 0) {
    if (m_currentPage.IsNone()) {
      NewPage(cache);
    } else {
      RepinCurrentPage(cache);
      const uint8_t* page = cache.GetPageForRead(m_currentPage);
      if (m_lastRecordOffset >= kRecordPageHeaderSize && m_lastRecordOffset + kBareRecordSize <= kVstPageSize &&
          LoadU32(page + m_lastRecordOffset) == kListEndRecordType) {
        m_writeOffset = m_lastRecordOffset;
      }
    }
  }
  if (m_writeOffset < kRecordPageHeaderSize || m_writeOffset + kPageEndReserve > kVstPageSize) ZENTOR_INTERNAL_ERROR();
  if (m_writeOffset + length + kPageEndReserve > kVstPageSize) {
    StoreU32(cache.GetPageForWrite(m_currentPage) + m_writeOffset, kPageEndRecordType);
    NewPage(cache);
  }
  m_lastRecordOffset = m_writeOffset;
  m_writeOffset = static_cast<uint16_t>(m_writeOffset + length);
  return RecordView::OpenOnPinnedPage(cache, RecordHandle(m_currentPage.Value() + m_lastRecordOffset), length,
                                      m_buffer);
}

void RecordChainWriter::ReleasePin(PageCache& cache) {
  if (m_pinned != 0 && !m_currentPage.IsNone()) cache.UnlockPage(m_currentPage);
  m_pinned = 0;
}

// ---- Name pool ----

RecordHandle StoreName(PageCache& cache, RecordChainWriter& pool, const RWCString& name) {
  return StoreNameText(cache, pool, std::string_view(name.data(), name.length()));
}

RecordHandle StoreNameText(PageCache& cache, RecordChainWriter& pool, std::string_view name) {
  const uint32_t length = static_cast<uint32_t>(std::min<size_t>(name.size(), UINT32_MAX));
  if (length == 0) return RecordHandle();
  // A name that does not fit one page with its NUL, or that holds a NUL of its own,
  // could not be read back as given.
  if (length > kLongestName || std::memchr(name.data(), '\0', length) != nullptr) {
    RaiseAnomaly(kMsgSymbolAnomaly, kSeverityError);
  }
  if (pool.m_pinned == 0) {
    if (pool.m_currentPage.IsNone()) {
      RecordHandle page;
      cache.AppendPage(true, &page);
      pool.m_firstPage = page;
      pool.m_currentPage = page;
      pool.m_counter = 0;
      pool.m_pinned = 1;
    } else {
      pool.RepinCurrentPage(cache);
    }
  }
  if (pool.m_counter + length + 1 > kVstPageSize) {
    // Name pages are not linked: the new page simply becomes the current one.
    const RecordHandle oldPage = pool.m_currentPage;
    RecordHandle page;
    cache.AppendPage(true, &page);
    cache.UnlockPage(oldPage);
    pool.m_currentPage = page;
    pool.m_counter = 0;
  }
  const RecordHandle handle(pool.m_currentPage.Value() + pool.m_counter);
  uint8_t* bytes = cache.GetPageForWrite(handle, &pool.m_buffer);
  std::memcpy(bytes, name.data(), length);
  bytes[length] = 0;
  pool.m_counter = static_cast<uint16_t>(pool.m_counter + length + 1);
  return handle;
}

RWCString NameAt(PageCache& cache, RecordHandle handle) {
  if (handle.IsNone()) return RWCString();
  if (!cache.IsInFile(handle)) RaiseAnomaly(kMsgSymbolAnomaly);
  const uint8_t* bytes = cache.GetPageForRead(handle);
  const uint32_t room = kVstPageSize - handle.PageOffset();
  const void* end = std::memchr(bytes, '\0', room);
  if (end == nullptr) RaiseAnomaly(kMsgSymbolAnomaly);
  const uint32_t length = static_cast<uint32_t>(static_cast<const uint8_t*>(end) - bytes);
  return RWCString(reinterpret_cast<const char*>(bytes), length);
}

// ---- NameKey and SymbolKey ----

NameKey::NameKey(const RWCString& text, uint32_t caseWord)
    : m_text(text), m_hash(text.length() == 0 ? 0 : text.hash(CaseRule(caseWord))), m_caseWord(caseWord) {}

SymbolKey SymbolKey::Store(PageCache& cache, RecordChainWriter& pool, const NameKey& key) {
  const RecordHandle name = StoreName(cache, pool, key.Text());
  return SymbolKey(name, name.IsNone() ? 0 : key.Hash(), key.CaseWord());
}

SymbolKey SymbolKey::Store(PageCache& cache, RecordChainWriter& pool, std::string_view text, uint32_t caseWord) {
  const RecordHandle name = StoreNameText(cache, pool, text);
  if (name.IsNone()) return SymbolKey(name, 0, caseWord);
  return SymbolKey(name, RWCString::hashOf(text.data(), static_cast<uint32_t>(text.size()), CaseRule(caseWord)),
                   caseWord);
}

RWCString SymbolKey::NameText(PageCache& cache) const { return NameAt(cache, m_name); }
RWCString SymbolKey::NameText() const { return m_name.IsNone() ? RWCString() : NameAt(CurrentPageCache(), m_name); }

bool SymbolKey::Equals(PageCache& cache, const SymbolKey& other) const {
  if (m_caseWord == other.m_caseWord && m_hash != other.m_hash) return false;
  if (m_name == other.m_name) return true;
  if (m_name.IsNone() || other.m_name.IsNone()) return false;
  return SameText(NameText(cache), other.NameText(cache), m_caseWord == 1 || other.m_caseWord == 1);
}

bool SymbolKey::operator==(const SymbolKey& other) const {
  // Keys that decide without reading a name need no cache.
  if (m_caseWord == other.m_caseWord && m_hash != other.m_hash) return false;
  if (m_name == other.m_name) return true;
  if (m_name.IsNone() || other.m_name.IsNone()) return false;
  return Equals(CurrentPageCache(), other);
}

bool SymbolKey::Matches(PageCache& cache, const NameKey& key) const {
  if (key.Text().length() == 0) return m_name.IsNone();
  if (m_name.IsNone()) return false;
  if (m_caseWord == key.CaseWord() && m_hash != key.Hash()) return false;
  return SameText(NameText(cache), key.Text(), m_caseWord == 1 || key.CaseWord() == 1);
}

bool SymbolKey::Matches(const NameKey& key) const {
  if (key.Text().length() == 0) return m_name.IsNone();
  if (m_name.IsNone()) return false;
  if (m_caseWord == key.CaseWord() && m_hash != key.Hash()) return false;
  return Matches(CurrentPageCache(), key);
}

SymbolKey SymbolKey::ReadFrom(const RecordView& view, uint32_t offset) {
  return SymbolKey(view.HandleAt(offset), view.U32At(offset + 4), view.U32At(offset + 8));
}

void SymbolKey::WriteTo(RecordView& view, uint32_t offset) const {
  view.SetHandle(offset, m_name);
  view.SetU32(offset + 4, m_hash);
  view.SetU32(offset + 8, m_caseWord);
}

// ---- RecordRef ----

void RecordRef::Init(RecordHandle handle, uint32_t elementSize) {
  m_recType = 0;
  m_addr = RecordHandle::kNone;
  m_pageOrdinal = 0;
  m_elementSize = elementSize;
  if (handle.IsNone()) {
    m_pageAddr = RecordHandle::kNone;
    m_recIdx = 0;
    return;
  }
  m_pageAddr = handle.PageAddress().Value();
  // A handle at the start of a page stands for the page's first record. Offsets 1..7
  // lie in the link words; the index they give fails the bounds check of the walk.
  m_recIdx = handle.PageOffset() == 0 ? 0 : static_cast<uint16_t>(handle.PageOffset() - kRecordPageHeaderSize);
}

// One walk step:
// 1. A cursor off the chain answers null at once.
// 2. The type word under the cursor decides (the record-kind table): a record is
//    returned and stepped over, an end record ends the walk with the cursor left on
//    it, a page-end record moves the cursor to the next linked page.
// 3. Every position and link taken from a page is checked before it is used, and a
//    walk that meets more pages than the file holds has gone round a loop.
RecordView RecordRef::NextRecord(PageCache& cache, bool symbolWalk) {
  const uint32_t failure = symbolWalk ? kMsgSymbolAnomaly : kMsgInvalidTypeRecord;
  while (m_pageAddr != RecordHandle::kNone) {
    const RecordHandle page(m_pageAddr);
    if (!cache.IsInFile(page) || page.PageOffset() != 0) RaiseAnomaly(failure);
    const uint32_t start = kRecordPageHeaderSize + m_recIdx;
    if (start + kBareRecordSize > kVstPageSize) RaiseAnomaly(failure);
    const uint8_t* bytes = cache.GetPageForRead(page);
    m_recType = LoadU32(bytes + start);
    if (symbolWalk) m_addr = page.Value() + start;
    const ChainRecordKind* kind = FindChainRecordKind(m_recType);
    const WalkAction action = kind == nullptr ? WalkAction::Invalid : symbolWalk ? kind->m_symbolAction : kind->m_typeAction;
    switch (action) {
      case WalkAction::Return: {
        const uint32_t size = symbolWalk ? kind->m_symbolSize : kind->m_typeSize;
        if (start + size > kVstPageSize) RaiseAnomaly(failure);
        RecordView view = RecordView::Open(cache, RecordHandle(page.Value() + start), size, RecordAccess::Read, failure);
        m_recIdx = static_cast<uint16_t>(m_recIdx + size);
        return view;
      }
      case WalkAction::End:
        return RecordView();
      case WalkAction::NextPage: {
        const uint32_t next = LoadU32(bytes + kRecordPageNextLink);
        m_pageAddr = next;
        m_recIdx = 0;
        ++m_pageOrdinal;
        if (next != RecordHandle::kNone && m_pageOrdinal > cache.PageCountInFile()) RaiseAnomaly(failure);
        break;
      }
      case WalkAction::Invalid:
        RaiseAnomaly(failure);
    }
  }
  return RecordView();
}

RecordView RecordRef::NextSymbolRecord(PageCache& cache) { return NextRecord(cache, true); }
RecordView RecordRef::NextSymbolRecord() { return IsOffChain() ? RecordView() : NextRecord(CurrentPageCache(), true); }
RecordView RecordRef::NextTypeRecord(PageCache& cache) { return NextRecord(cache, false); }
RecordView RecordRef::NextTypeRecord() { return IsOffChain() ? RecordView() : NextRecord(CurrentPageCache(), false); }

int32_t RecordRef::SeekElement(PageCache& cache, int32_t n) {
  if (m_elementSize < 1 || m_elementSize > kRecordAreaSize || n < 0 || IsOffChain()) return -1;
  const uint32_t perPage = kRecordAreaSize / m_elementSize;
  const uint32_t element = static_cast<uint32_t>(n);
  const uint32_t targetOrdinal = element / perPage;
  uint32_t page = m_pageAddr;
  uint32_t ordinal = m_pageOrdinal;
  uint32_t steps = 0;
  while (ordinal != targetOrdinal) {
    const RecordHandle current(page);
    if (!cache.IsInFile(current) || current.PageOffset() != 0) RaiseAnomaly(kMsgSymbolAnomaly);
    const uint8_t* bytes = cache.GetPageForRead(current);
    const bool forward = ordinal < targetOrdinal;
    const uint32_t link = LoadU32(bytes + (forward ? kRecordPageNextLink : kRecordPagePreviousLink));
    if (link == RecordHandle::kNone) return -1;
    if (++steps > cache.PageCountInFile()) RaiseAnomaly(kMsgSymbolAnomaly);
    page = link;
    ordinal = forward ? ordinal + 1 : ordinal - 1;
  }
  m_pageAddr = page;
  m_pageOrdinal = ordinal;
  m_recIdx = static_cast<uint16_t>((element % perPage) * m_elementSize);
  return 0;
}

int32_t RecordRef::SeekElement(int32_t n) { return SeekElement(CurrentPageCache(), n); }

std::ostream& operator<<(std::ostream& stream, const RecordRef& ref) {
  stream << std::hex << "rec_type " << ref.RecType() << ", rec_idx " << ref.RecIdx() << ", page_addr "
         << ref.PageAddr() << ", addr " << ref.Addr().Value();
  return stream;
}

// Lookups keep lists of keys by value.
template class RWTValVector<SymbolKey>;
template class RWTValOrderedVector<SymbolKey>;

// ---- ChainWalk ----

ChainWalk::ChainWalk(PageCache& cache, RecordHandle first, Kind kind)
    : m_cache(cache), m_kind(kind), m_limit(cache.FileLength() / kBareRecordSize + 1) {
  m_cursor.Init(first);
}

RecordView ChainWalk::Next() {
  const bool symbols = m_kind == Kind::Symbols;
  if (++m_steps > m_limit) {
    throw DVError(symbols ? kMsgSymbolAnomaly : kMsgInvalidTypeRecord, kSeverityInternal, kDisplayByFocus);
  }
  return symbols ? m_cursor.NextSymbolRecord(m_cache) : m_cursor.NextTypeRecord(m_cache);
}

}  // namespace zentor
