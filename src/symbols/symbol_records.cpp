#include "symbols/symbol_records.h"

#include "symbols/page_cache.h"

#include "core/dv_error.h"
#include "core/value_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zentor {
namespace {

using value_bytes::StoreU32;

// The slots of a new type directory page: name and reference none, the rest zeros. A
// page is laid down from this whole (the primitive types alone take 241 pages a load).
constexpr std::array<uint8_t, kTypeEntriesPerPage * TypeEntryLayout::kLength> NewDirectorySlots() {
  std::array<uint8_t, kTypeEntriesPerPage * TypeEntryLayout::kLength> slots{};
  for (uint32_t slot = 0; slot < kTypeEntriesPerPage; ++slot) {
    for (uint32_t byte = 0; byte < 4; ++byte) {
      const auto value = static_cast<uint8_t>(RecordHandle::kNone >> (8 * byte));
      slots[slot * TypeEntryLayout::kLength + TypeEntryLayout::kName + byte] = value;
      slots[slot * TypeEntryLayout::kLength + TypeEntryLayout::kReference + byte] = value;
    }
  }
  return slots;
}
constexpr auto kNewDirectorySlots = NewDirectorySlots();

// How the two chain walks treat each record type. The symbol walk reads the global and
// module symbol chains, the type-list walk the list elements of the type-record chain.
constexpr ChainRecordKind kChainRecordKinds[] = {
    {kBlockRecordType, "BlockRecord", BlockRecordLayout::kSize, WalkAction::Return,  //
     "ListNameElement", ListNameElementLayout::kSize, WalkAction::Return},
    {kProcedureRecordType, "ProcedureRecord", ProcedureRecordLayout::kSize, WalkAction::Return,  //
     "ListIndexElement", ListIndexElementLayout::kSize, WalkAction::Return},
    {kSymbolRecordType, "SymbolRecord", SymbolRecordLayout::kSize, WalkAction::Return,  //
     "ListNumberElement", ListNumberElementLayout::kSize, WalkAction::Return},
    {kScopeEndRecordType, "ScopeEndRecord", kBareRecordSize, WalkAction::Return,  //
     "ListMarkElement", kBareRecordSize, WalkAction::Return},
    {kEndRecordType, "EndRecord", kBareRecordSize, WalkAction::End,  //
     "ListEndElement", kBareRecordSize, WalkAction::End},
    {kListEndRecordType, "ListEndRecord", kBareRecordSize, WalkAction::End,  //
     "ListEndRecord", kBareRecordSize, WalkAction::Invalid},
    {kPageEndRecordType, "PageEndRecord", kBareRecordSize, WalkAction::NextPage,  //
     "PageEndRecord", kBareRecordSize, WalkAction::NextPage},
};

constexpr TypeCategoryInfo kTypeCategories[] = {
    {kTypePrimitive, "primitive", TypeReferenceKind::PrimitivePointer},
    {kTypeSubrange, "subrange", TypeReferenceKind::SubrangeRecord},
    {kTypeStructure, "structure", TypeReferenceKind::AggregateRecord},
    {kTypeEnumeration, "enumeration", TypeReferenceKind::EnumerationRecord},
    {kTypeSet, "set", TypeReferenceKind::None},
    {kTypeQualified, "qualified", TypeReferenceKind::QualifierRecord},
    {kTypeProcedure, "procedure", TypeReferenceKind::TypeIndex},
    {kTypeParameter, "parameter", TypeReferenceKind::None},
    {kTypeList, "list", TypeReferenceKind::ListElement},
    {kTypeArray, "array", TypeReferenceKind::ArrayRecord},
    {kTypeLabel, "label", TypeReferenceKind::None},
    {kTypeUndefined, "undefined", TypeReferenceKind::None},
    {kTypeNull, "null", TypeReferenceKind::None},
    {kTypePointer, "pointer", TypeReferenceKind::TypeIndex},
    {kTypeFile, "file", TypeReferenceKind::None},
    {kTypeSelector, "selector", TypeReferenceKind::None},
    {kTypeUnion, "union", TypeReferenceKind::AggregateRecord},
    {kTypeBitField, "bitfield", TypeReferenceKind::None},
    {kTypeRegister, "register", TypeReferenceKind::None},
    {kTypeVoid, "void", TypeReferenceKind::TypeIndex},
    {kTypeClass, "class", TypeReferenceKind::AggregateRecord},
    {kTypeTypedefName, "typedef", TypeReferenceKind::TypeIndex},
};

[[noreturn]] void RaiseAnomaly(uint32_t number) { throw DVError(number, kSeverityInternal); }

// A record of a record page at `handle` of `length` bytes: it must lie in the page's
// record area (after the link words).
RecordView OpenPageRecord(PageCache& cache, RecordHandle handle, uint32_t length, RecordAccess access,
                          uint32_t failure) {
  if (!handle.IsNone() && handle.PageOffset() < kRecordPageHeaderSize) RaiseAnomaly(failure);
  return RecordView::Open(cache, handle, length, access, failure);
}

// A symbol-chain record whose type word must be `type`.
RecordView OpenSymbolRecord(PageCache& cache, RecordHandle handle, uint32_t length, uint32_t type,
                            RecordAccess access) {
  RecordView view = OpenPageRecord(cache, handle, length, access, kMsgSymbolAnomaly);
  if (view.U32At(0) != type) RaiseAnomaly(kMsgSymbolAnomaly);
  return view;
}

// A new record on a chain: all zeros, then the type word.
RecordView AppendTypedRecord(PageCache& cache, RecordChainWriter& writer, uint32_t length, uint32_t type) {
  RecordView view = writer.Reserve(cache, length);
  view.Fill(0, length, 0);
  view.SetU32(0, type);
  return view;
}

RecordView AppendFixedRecord(PageCache& cache, RecordChainWriter& writer, uint32_t length) {
  RecordView view = writer.Reserve(cache, length);
  view.Fill(0, length, 0);
  return view;
}

void RaiseStatus(DVErrorCode code) {
  // Raised whatever the severity: the caller cannot go on without the page.
  if (!code.IsOkay()) throw DVError(code);
}

}  // namespace

const ChainRecordKind* FindChainRecordKind(uint32_t type) {
  for (const ChainRecordKind& kind : kChainRecordKinds) {
    if (kind.m_type == type) return &kind;
  }
  return nullptr;
}

const TypeCategoryInfo* FindTypeCategory(uint32_t category) {
  for (const TypeCategoryInfo& info : kTypeCategories) {
    if (info.m_category == category) return &info;
  }
  return nullptr;
}

AddressExtent AddressExtent::ReadFrom(const RecordView& view, uint32_t offset) {
  AddressExtent extent;
  extent.m_address = view.AddressAt(offset + AddressExtentLayout::kAddress);
  extent.m_ordinal = view.OrdinalAt(offset + AddressExtentLayout::kOrdinal);
  extent.m_flags = view.U8At(offset + AddressExtentLayout::kFlags);
  return extent;
}

void AddressExtent::WriteTo(RecordView& view, uint32_t offset) const {
  view.SetAddress(offset + AddressExtentLayout::kAddress, m_address);
  view.SetOrdinal(offset + AddressExtentLayout::kOrdinal, m_ordinal);
  view.SetU8(offset + AddressExtentLayout::kFlags, m_flags);
}

BlockRecordView BlockRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return BlockRecordView(OpenSymbolRecord(cache, handle, BlockRecordLayout::kSize, kBlockRecordType, access));
}
BlockRecordView BlockRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return BlockRecordView(AppendTypedRecord(cache, writer, BlockRecordLayout::kSize, kBlockRecordType));
}

ProcedureRecordView ProcedureRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return ProcedureRecordView(
      OpenSymbolRecord(cache, handle, ProcedureRecordLayout::kSize, kProcedureRecordType, access));
}
ProcedureRecordView ProcedureRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return ProcedureRecordView(AppendTypedRecord(cache, writer, ProcedureRecordLayout::kSize, kProcedureRecordType));
}

SymbolRecordView SymbolRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return SymbolRecordView(OpenSymbolRecord(cache, handle, SymbolRecordLayout::kSize, kSymbolRecordType, access));
}
SymbolRecordView SymbolRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return SymbolRecordView(AppendTypedRecord(cache, writer, SymbolRecordLayout::kSize, kSymbolRecordType));
}

RecordHandle AppendBareRecord(PageCache& cache, RecordChainWriter& writer, uint32_t type) {
  return AppendTypedRecord(cache, writer, kBareRecordSize, type).Handle();
}

QualifierTypeRecordView QualifierTypeRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return QualifierTypeRecordView(
      OpenPageRecord(cache, handle, QualifierTypeRecordLayout::kSize, access, kMsgInvalidTypeRecord));
}
QualifierTypeRecordView QualifierTypeRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return QualifierTypeRecordView(AppendFixedRecord(cache, writer, QualifierTypeRecordLayout::kSize));
}

ArrayTypeRecordView ArrayTypeRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return ArrayTypeRecordView(OpenPageRecord(cache, handle, ArrayTypeRecordLayout::kSize, access, kMsgInvalidTypeRecord));
}
ArrayTypeRecordView ArrayTypeRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return ArrayTypeRecordView(AppendFixedRecord(cache, writer, ArrayTypeRecordLayout::kSize));
}

AggregateTypeRecordView AggregateTypeRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return AggregateTypeRecordView(
      OpenPageRecord(cache, handle, AggregateTypeRecordLayout::kSize, access, kMsgInvalidTypeRecord));
}
AggregateTypeRecordView AggregateTypeRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return AggregateTypeRecordView(AppendFixedRecord(cache, writer, AggregateTypeRecordLayout::kSize));
}

EnumerationTypeRecordView EnumerationTypeRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return EnumerationTypeRecordView(
      OpenPageRecord(cache, handle, EnumerationTypeRecordLayout::kSize, access, kMsgInvalidTypeRecord));
}
EnumerationTypeRecordView EnumerationTypeRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return EnumerationTypeRecordView(AppendFixedRecord(cache, writer, EnumerationTypeRecordLayout::kSize));
}

SubrangeTypeRecordView SubrangeTypeRecordView::At(PageCache& cache, RecordHandle handle, RecordAccess access) {
  return SubrangeTypeRecordView(
      OpenPageRecord(cache, handle, SubrangeTypeRecordLayout::kSize, access, kMsgInvalidTypeRecord));
}
SubrangeTypeRecordView SubrangeTypeRecordView::Append(PageCache& cache, RecordChainWriter& writer) {
  return SubrangeTypeRecordView(AppendFixedRecord(cache, writer, SubrangeTypeRecordLayout::kSize));
}

OrdinalValue SubrangeTypeRecordView::Lower() const {
  return OrdinalValue(UnsignedInt64::FromWords(m_view.U32At(SubrangeTypeRecordLayout::kLowerLow),
                                               m_view.U32At(SubrangeTypeRecordLayout::kLowerHigh)));
}
OrdinalValue SubrangeTypeRecordView::Upper() const {
  return OrdinalValue(UnsignedInt64::FromWords(m_view.U32At(SubrangeTypeRecordLayout::kUpperLow),
                                               m_view.U32At(SubrangeTypeRecordLayout::kUpperHigh)));
}
void SubrangeTypeRecordView::SetLower(const UnsignedInt64& bound) {
  m_view.SetU32(SubrangeTypeRecordLayout::kLowerLow, bound.Low());
  m_view.SetU32(SubrangeTypeRecordLayout::kLowerHigh, bound.High());
}
void SubrangeTypeRecordView::SetUpper(const UnsignedInt64& bound) {
  m_view.SetU32(SubrangeTypeRecordLayout::kUpperLow, bound.Low());
  m_view.SetU32(SubrangeTypeRecordLayout::kUpperHigh, bound.High());
}

RecordHandle AppendListNameElement(PageCache& cache, RecordChainWriter& writer, const SymbolKey& name) {
  RecordView view = AppendTypedRecord(cache, writer, ListNameElementLayout::kSize, kListNameElementType);
  name.WriteTo(view, ListNameElementLayout::kName);
  return view.Handle();
}

RecordHandle AppendListIndexElement(PageCache& cache, RecordChainWriter& writer, uint32_t typeIndex) {
  RecordView view = AppendTypedRecord(cache, writer, ListIndexElementLayout::kSize, kListIndexElementType);
  view.SetU32(ListIndexElementLayout::kTypeIndex, typeIndex);
  return view.Handle();
}

RecordHandle AppendListNumberElement(PageCache& cache, RecordChainWriter& writer, const UnsignedInt64& value) {
  RecordView view = AppendTypedRecord(cache, writer, ListNumberElementLayout::kSize, kListNumberElementType);
  view.SetU32(ListNumberElementLayout::kLow, value.Low());
  view.SetU32(ListNumberElementLayout::kHigh, value.High());
  return view.Handle();
}

// ---- TypeDirectory ----

RecordHandle TypeDirectory::PageAt(uint32_t ordinal) {
  // A load asks mostly for the slot it has just begun, on the last page.
  if (!m_lastPage.IsNone() && ordinal + 1 == PageCount()) return m_lastPage;
  // Ordinals come from type indices below 2^31, so ordinal * 4 fits 32 bits.
  RaiseStatus(m_pageList.Seek(ordinal * 4));
  uint8_t word[4];
  RaiseStatus(m_pageList.Read(4, 1, word));
  return RecordHandle(value_bytes::LoadU32(word));
}

uint32_t TypeDirectory::NewSlot(PageCache& cache, uint32_t category) {
  // Indices with bit 31 set are read as index 1, so no slot may get one.
  if (m_typeCount >= SymbolRecordLayout::kUntranslatedBit - 1) ZENTOR_INTERNAL_ERROR();
  MakeRoomForSlot(cache);
  const RecordHandle slot(m_writer.CurrentPage().Value() + m_writer.Counter() * TypeEntryLayout::kLength);
  TypeEntryView entry(RecordView::OpenOnPinnedPage(cache, slot, TypeEntryLayout::kLength, m_writer.BufferHint(),
                                                   RecordAccess::Write, kMsgInvalidTypeRecord));
  entry.SetCategory(category);
  entry.SetSize(0);
  entry.SetPrimitiveCode(0);
  entry.SetReference(RecordHandle::kNone);
  m_writer.SetCounter(static_cast<uint16_t>(m_writer.Counter() + 1));
  return ++m_typeCount;
}

void TypeDirectory::MakeRoomForSlot(PageCache& cache) {
  if (m_writer.CurrentPage().IsNone() || m_writer.Counter() >= kTypeEntriesPerPage) {
    AppendPage(cache);
  } else if (!m_writer.IsPinned()) {
    cache.GetPageForRead(m_writer.CurrentPage());
    cache.LockPage(m_writer.CurrentPage());
    cache.GetPageForWrite(m_writer.CurrentPage());
    m_writer.SetPinned(true);
  }
}

uint8_t* TypeDirectory::AppendPage(PageCache& cache) {
  const RecordHandle oldPage = m_writer.CurrentPage();
  const bool oldPinned = m_writer.IsPinned();
  RecordHandle page;
  uint8_t* bytes = cache.AppendPage(true, &page);
  std::memcpy(bytes, kNewDirectorySlots.data(), kNewDirectorySlots.size());
  uint8_t word[4];
  StoreU32(word, page.Value());
  m_lastPage = RecordHandle();
  RaiseStatus(m_pageList.Seek(m_pageList.Size()));
  RaiseStatus(m_pageList.Write(4, 1, word));
  m_lastPage = page;
  if (oldPinned && !oldPage.IsNone()) cache.UnlockPage(oldPage);
  m_writer.SetPages(m_writer.FirstPage().IsNone() ? page : m_writer.FirstPage(), page);
  m_writer.SetPinned(true);
  m_writer.SetCounter(0);
  return bytes;
}

// A page begun here is new, zeroed apart from the name and reference words, pinned
// and marked changed: its slots become null slots by their category word alone.
// Slots of a page begun before, and the slots near the highest index, go one by one.
uint32_t TypeDirectory::NewNullSlots(PageCache& cache, uint32_t count) {
  uint32_t last = m_typeCount;
  while (count > 0) {
    const bool pageFull = m_writer.CurrentPage().IsNone() || m_writer.Counter() >= kTypeEntriesPerPage;
    if (!pageFull || m_typeCount + kTypeEntriesPerPage >= SymbolRecordLayout::kUntranslatedBit - 1) {
      last = NewSlot(cache, kTypeNull);
      --count;
      continue;
    }
    uint8_t* bytes = AppendPage(cache);
    const uint32_t slots = count < kTypeEntriesPerPage ? count : kTypeEntriesPerPage;
    for (uint32_t slot = 0; slot < slots; ++slot) {
      StoreU32(bytes + slot * TypeEntryLayout::kLength + TypeEntryLayout::kCategory, kTypeNull);
    }
    m_writer.SetCounter(static_cast<uint16_t>(slots));
    m_typeCount += slots;
    last = m_typeCount;
    count -= slots;
  }
  return last;
}

void TypeDirectory::ReleasePin(PageCache& cache) { m_writer.ReleasePin(cache); }

std::vector<uint8_t> TypeDirectory::CopySlots(PageCache& cache, uint32_t first, uint32_t count) {
  std::vector<uint8_t> slots(static_cast<size_t>(count) * TypeEntryLayout::kLength);
  for (uint32_t i = 0; i < count; ++i) {
    const RecordHandle slot = GetTypeEntryRaw(cache, first + i).Handle();
    std::memcpy(slots.data() + static_cast<size_t>(i) * TypeEntryLayout::kLength, cache.GetPageForRead(slot),
                TypeEntryLayout::kLength);
  }
  return slots;
}

void TypeDirectory::AppendSlots(PageCache& cache, std::span<const uint8_t> slots) {
  if (slots.size() % TypeEntryLayout::kLength != 0 ||
      slots.size() / TypeEntryLayout::kLength > SymbolRecordLayout::kUntranslatedBit - 1 - m_typeCount) {
    ZENTOR_INTERNAL_ERROR();
  }
  const uint8_t* from = slots.data();
  uint32_t count = static_cast<uint32_t>(slots.size() / TypeEntryLayout::kLength);
  while (count > 0) {
    MakeRoomForSlot(cache);
    uint8_t* const page = cache.GetPageForWrite(m_writer.CurrentPage());
    const uint32_t used = m_writer.Counter();
    const uint32_t taken = std::min(count, kTypeEntriesPerPage - used);
    std::memcpy(page + used * TypeEntryLayout::kLength, from, taken * TypeEntryLayout::kLength);
    m_writer.SetCounter(static_cast<uint16_t>(used + taken));
    m_typeCount += taken;
    from += taken * TypeEntryLayout::kLength;
    count -= taken;
  }
}

TypeEntryView TypeDirectory::GetTypeEntryRaw(PageCache& cache, uint32_t index, RecordAccess access) {
  if ((index & SymbolRecordLayout::kUntranslatedBit) != 0) index = 1;
  if (index > m_typeCount) RaiseAnomaly(kMsgNonExistentType);
  // Index 0 gives an ordinal far past the page list, whose read then fails.
  const uint32_t ordinal = (index - 1) / kTypeEntriesPerPage;
  const RecordHandle page = PageAt(ordinal);
  if (page.PageOffset() != 0) RaiseAnomaly(kMsgInvalidTypeRecord);
  const RecordHandle slot(page.Value() + ((index - 1) % kTypeEntriesPerPage) * TypeEntryLayout::kLength);
  if (page == m_writer.CurrentPage() && m_writer.IsPinned()) {
    return TypeEntryView(RecordView::OpenOnPinnedPage(cache, slot, TypeEntryLayout::kLength, m_writer.BufferHint(),
                                                      access, kMsgInvalidTypeRecord));
  }
  return TypeEntryView(RecordView::Open(cache, slot, TypeEntryLayout::kLength, access, kMsgInvalidTypeRecord));
}

// Following qualified types:
// 1. Look the entry up and give it the qualifier in force.
// 2. Any category but 5 is the answer; so is a category-5 entry whose record carries a
//    qualifier code outside 1..3.
// 3. Codes 1 and 2 become the qualifier in force, code 3 keeps it; go on with the
//    record's target. More steps than there are types can only be a loop.
TypeEntryView TypeDirectory::GetTypeEntry(PageCache& cache, uint32_t index) {
  uint32_t qualifier = 0;
  uint32_t current = index;
  for (uint32_t followed = 0;; ++followed) {
    if (followed > m_typeCount) RaiseAnomaly(kMsgInvalidTypeRecord);
    TypeEntryView entry = GetTypeEntryRaw(cache, current);
    if (entry.Qualifier() != qualifier) {
      entry = GetTypeEntryRaw(cache, current, RecordAccess::Write);
      entry.SetQualifier(qualifier);
    }
    if (entry.Category() != kTypeQualified) return entry;
    const QualifierTypeRecordView record = QualifierTypeRecordView::At(cache, RecordHandle(entry.Reference()));
    const uint16_t code = record.QualifierCode();
    if (code < 1 || code > 3) return entry;
    if (code != 3) qualifier = code;
    current = record.Target();
  }
}

bool ReadScopeExtent(const RecordView& view, AddressDescriptor& start, OrdinalValue& length) {
  switch (view.U32At(0)) {
    case kBlockRecordType:
      start = view.AddressAt(BlockRecordLayout::kStart);
      length = view.OrdinalAt(BlockRecordLayout::kLength);
      return true;
    case kProcedureRecordType:
      start = view.AddressAt(ProcedureRecordLayout::kEntry);
      length = view.OrdinalAt(ProcedureRecordLayout::kLength);
      return true;
    default:
      return false;
  }
}

}  // namespace zentor
