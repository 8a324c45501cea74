#include "symbols/cv_types.h"

#include <string>

#include "symbols/loader_buffers.h"
#include "symbols/loader_library.h"
#include "symbols/type_translation.h"

#include "console/output_writer.h"
#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// Description codes written by the translation (the loader library's leaf bytes).
constexpr uint8_t kCodeNull = 0x80;
constexpr uint8_t kCodeName = 0x82;
constexpr uint8_t kCodeReference = 0x83;
constexpr uint8_t kCodeNumber2 = 0x85;
constexpr uint8_t kCodeNumber4 = 0x86;
constexpr uint8_t kCodeList = 0x7F;
constexpr uint8_t kCodeParameter = 0x76;
constexpr uint8_t kCodeArray = 0x78;
constexpr uint8_t kCodeStructure = 0x79;
constexpr uint8_t kCodeClass = 0x8D;
constexpr uint8_t kCodeScalar = 0x7B;
constexpr uint8_t kCodeSigned = 0x7D;
constexpr uint8_t kCodeNotPacked = 0x69;
constexpr uint8_t kCodeProcedure = 0x75;
constexpr uint8_t kCodeProcedureEnd = 0x5B;
constexpr uint8_t kCodeLabel = 0x72;
// Call and label codes: near, far.
constexpr uint8_t kCodeNearCall = 0x60;
constexpr uint8_t kCodeFarCall = 0x5F;
constexpr uint8_t kCodeConst = 0x71;
constexpr uint8_t kCodeVolatile = 0x9E;
constexpr uint8_t kCodeQualified = 0x9F;
constexpr uint8_t kCodePointer = 0x9A;
constexpr uint8_t kCodeBitField = 0x9D;

// Nesting of modifiers and enumerations followed to find a size; deeper is a loop.
constexpr uint32_t kDeepestSizeChain = 32;
// How often the GUI gets a turn while types are read and translated.
constexpr uint32_t kPumpEveryTypes = 50;
// The bytes a list is given room for when it is opened (a leading byte and a few
// member references).
constexpr size_t kListBytesAtOpen = 32;

// Filler members of a gap between two members: the type and its size.
struct Filler {
  uint32_t m_size;
  uint32_t m_cvType;
};
constexpr Filler kFillers[] = {{4, 0x0074}, {2, 0x0072}, {1, 0x0010}};

// Calling conventions of procedure types and the code each becomes. Conventions the
// library has no code of its own for (Pascal 2 and 3, system 9 and 10, MIPS 12,
// generic 13) are called like C of the same distance; any other is taken as near.
struct ConventionCode {
  uint8_t m_convention;
  uint8_t m_code;
};
constexpr ConventionCode kConventionCodes[] = {
    {0, kCodeNearCall}, {1, kCodeFarCall}, {2, kCodeNearCall}, {3, kCodeFarCall},  {4, 0x95},
    {5, 0x96},          {7, kCodeNearCall}, {8, kCodeFarCall}, {9, kCodeNearCall}, {10, kCodeFarCall},
    {11, kCodeNearCall}, {12, kCodeNearCall}, {13, kCodeNearCall},
};

// Leaves this loader knows and writes as the null type (the lists among them are read
// through the types that refer to them).
constexpr uint16_t kNullLeaves[] = {
    kCvLeafVtShape,    kCvLeafCobol0,        kCvLeafCobol1,   kCvLeafBasicArray,    kCvLeafNull,
    kCvLeafNotTranslated, kCvLeafDimArray,   kCvLeafVftPath,  kCvLeafPrecompiled,   kCvLeafEndPrecompiled,
    kCvLeafOem,        kCvLeafTypeServer,    kCvLeafArgList,  kCvLeafDefaultArgument, kCvLeafFieldList,
    kCvLeafDerived,    kCvLeafMethodList,
};

bool IsNullLeaf(uint16_t leaf) {
  for (uint16_t known : kNullLeaves) {
    if (known == leaf) return true;
  }
  return false;
}

uint32_t Little32(std::span<const uint8_t> bytes, uint32_t at) {
  return value_bytes::LoadU32(bytes.data() + at);
}

// A size in bytes read from a numeric leaf: never negative, and its size in bits must
// fit 32 bits.
uint32_t ByteSize(int64_t size) {
  if (size < 0 || size > 0x1FFFFFFF) RaiseCvFormatFault();
  return static_cast<uint32_t>(size);
}

int64_t Bits(int64_t size) { return static_cast<int64_t>(ByteSize(size)) * 8; }

[[noreturn]] void RaiseTypeMessage(uint32_t message) { throw DVError(message, kSeverityInternal); }

// What entering the primitive descriptions of a map made of the type directory, by
// loader format and the slots the directory held before: the slots they filled. Every
// load of a file enters the same 4096 descriptions first, after the same slots, so
// after the first load they are laid down from here. Made on first use and never
// destroyed.
struct PrimitiveTypesCopy {
  CvPrimitiveMap m_map;
  uint32_t m_format = 0;
  std::vector<uint8_t> m_slotsBefore;
  std::vector<uint8_t> m_slots;
};

std::vector<PrimitiveTypesCopy>& PrimitiveTypesCopies() {
  static auto* copies = new std::vector<PrimitiveTypesCopy>();
  return *copies;
}

// A copy is taken, and used, only after a directory of at most this many slots.
constexpr uint32_t kMostSlotsBeforeCopy = 64;
// A few maps at most: the fixed one, and in tests one or two others.
constexpr size_t kMostPrimitiveCopies = 4;

// The loader's sink: the record builder enters each description through the library.
class LoaderLibrarySink : public CvDescriptionSink {
 public:
  void Define(std::span<const uint8_t> description) override {
    ByteWriter& bytes = m_builder.Bytes();
    bytes.Clear();
    // Sized once, so that a long list does not grow the writer step by step.
    if (bytes.Capacity() < description.size()) bytes.Resize(static_cast<uint32_t>(description.size()));
    bytes.AppendBytes(description.data(), static_cast<uint32_t>(description.size()));
    m_builder.Write();
  }
  void DefineNulls(uint32_t count) override { DefineNullTypes(count); }
  bool RestorePrimitives(const CvPrimitiveMap& map) override {
    const CurrentLoadParts load = CurrentLoad();
    TypeDirectory& types = load.m_loader.Types();
    if (types.TypeCount() > kMostSlotsBeforeCopy) return false;
    const std::vector<uint8_t> before = types.CopySlots(load.m_cache, 1, types.TypeCount());
    for (const PrimitiveTypesCopy& copy : PrimitiveTypesCopies()) {
      if (copy.m_format == load.m_loader.LoaderFormat() && copy.m_slotsBefore == before && copy.m_map == map) {
        types.AppendSlots(load.m_cache, copy.m_slots);
        return true;
      }
    }
    return false;
  }
  void StartPrimitives() override {
    const CurrentLoadParts load = CurrentLoad();
    TypeDirectory& types = load.m_loader.Types();
    m_typesBefore = types.TypeCount();
    m_pagesBefore = types.PageCount();
    m_lengthBefore = load.m_cache.FileLength();
  }
  // A copy is kept only of descriptions that wrote nothing but the directory's slots
  // (no type record, no name).
  void KeepPrimitives(const CvPrimitiveMap& map) override {
    const CurrentLoadParts load = CurrentLoad();
    TypeDirectory& types = load.m_loader.Types();
    if (m_typesBefore > kMostSlotsBeforeCopy || types.TypeCount() != m_typesBefore + kCvPrimitiveCount ||
        load.m_cache.FileLength() - m_lengthBefore != (types.PageCount() - m_pagesBefore) * kVstPageSize) {
      return;
    }
    std::vector<PrimitiveTypesCopy>& copies = PrimitiveTypesCopies();
    if (copies.size() >= kMostPrimitiveCopies) copies.erase(copies.begin());
    copies.push_back(PrimitiveTypesCopy{map, load.m_loader.LoaderFormat(),
                                        types.CopySlots(load.m_cache, 1, m_typesBefore),
                                        types.CopySlots(load.m_cache, m_typesBefore + 1, kCvPrimitiveCount)});
  }
  void Pump() override { PumpWhileBusy(); }

 private:
  TypeDescriptionBuilder m_builder;
  uint32_t m_typesBefore = 0;
  uint32_t m_pagesBefore = 0;
  uint32_t m_lengthBefore = 0;
};

}  // namespace

void RaiseCvFormatFault() { throw CvFormatFault{}; }

// ---- CvByteCursor

int64_t CvByteCursor::Numeric() {
  const uint16_t leaf = U16();
  if (leaf < kCvLeafChar) return leaf;
  switch (leaf) {
    case kCvLeafChar:
      return static_cast<int8_t>(U8());
    case kCvLeafShort:
      return static_cast<int16_t>(U16());
    case kCvLeafUShort:
      return U16();
    case kCvLeafLong:
      return static_cast<int32_t>(U32());
    case kCvLeafULong:
      return U32();
    default:
      RaiseCvFormatFault();
  }
}

// ---- the primitive map

CvPrimitiveMap::CvPrimitiveMap() {
  const std::span<const CvClassDescription> fixed = CvClassDescriptions();
  for (uint32_t i = 0; i < kCvPrimitiveClassCount; ++i) m_descriptions[i] = fixed[i];
}

void CvPrimitiveMap::Fill(std::span<const CvPrimitiveRow> rows) {
  constexpr uint32_t kFirstPointerClass = 7;
  constexpr uint32_t kLastPointerClass = 22;
  m_classes.fill(0);
  const std::span<const CvClassDescription> fixed = CvClassDescriptions();
  for (uint32_t i = 0; i < kCvPrimitiveClassCount; ++i) m_descriptions[i] = fixed[i];
  for (const CvPrimitiveRow& row : rows) {
    if (row.m_index >= kCvPrimitiveCount) {
      DVError(kMsgInvalidModuleMapIndex, kSeverityWarning).Report();
      continue;
    }
    const uint8_t primitiveClass = row.m_class < kCvPrimitiveClassCount ? row.m_class : 0;
    m_classes[row.m_index] = primitiveClass;
    // A direct primitive (mode 0) is what the pointer classes of its class point at;
    // the reference is one byte of the description, so only indices below 0x7F fit.
    const bool direct = (row.m_index >> 8) == 0;
    const uint32_t tableIndex = row.m_index + 1u;
    if (direct && primitiveClass >= kFirstPointerClass && primitiveClass <= kLastPointerClass && tableIndex < 0x80) {
      m_descriptions[16 + primitiveClass].m_codes[2] = static_cast<uint8_t>(tableIndex);
      m_descriptions[32 + primitiveClass].m_codes[2] = static_cast<uint8_t>(tableIndex);
    }
  }
}

std::span<const uint8_t> CvPrimitiveMap::ClassDescription(uint32_t primitiveClass) const {
  const CvClassDescription& description = m_descriptions[primitiveClass < kCvPrimitiveClassCount ? primitiveClass : 0];
  return std::span<const uint8_t>(description.m_codes.data(), description.m_length);
}

uint32_t CvPrimitiveSize(uint32_t index) {
  const uint32_t mode = (index >> 8) & 7;
  const uint32_t type = (index >> 4) & 0xF;
  const uint32_t size = index & 7;
  if (mode != 0) return mode == 6 ? 8 : 4;
  switch (type) {
    case 0:
      return size == 4 ? 8 : 0;
    case 1:
    case 2:
    case 3:
      return size == 0 ? 1 : size == 1 ? 2 : size == 3 ? 8 : 4;
    case 4:
    case 5:
      return size == 1 ? 8 : size == 2 ? 10 : size == 3 ? 16 : size == 4 ? 6 : 4;
    case 6:
      return size == 1 ? 1 : 4;
    case 7:
      return size == 0 ? 1 : size <= 3 ? 2 : size >= 6 ? 8 : 4;
    default:
      return 4;
  }
}

// ---- description bytes

void AppendCvNumber(std::vector<uint8_t>& out, int64_t value) {
  if (value >= 0 && value <= 127) {
    out.push_back(static_cast<uint8_t>(value));
    return;
  }
  if (value >= 128 && value <= 0xFFFF) {
    uint8_t bytes[2];
    value_bytes::StoreU16(bytes, static_cast<uint16_t>(value));
    out.push_back(kCodeNumber2);
    out.insert(out.end(), bytes, bytes + 2);
    return;
  }
  uint8_t bytes[4];
  value_bytes::StoreU32(bytes, static_cast<uint32_t>(static_cast<uint64_t>(value)));
  out.push_back(kCodeNumber4);
  out.insert(out.end(), bytes, bytes + 4);
}

void AppendCvTypeReference(std::vector<uint8_t>& out, uint32_t tableIndex) {
  if (tableIndex > kCvHighestTableIndex) ZENTOR_INTERNAL_ERROR();
  out.push_back(kCodeReference);
  if (tableIndex >= 0x80) {
    out.push_back(static_cast<uint8_t>((tableIndex >> 8) | 0x80));
    out.push_back(static_cast<uint8_t>(tableIndex & 0xFF));
  } else {
    out.push_back(static_cast<uint8_t>(tableIndex));
  }
}

void AppendCvName(std::vector<uint8_t>& out, std::string_view name) {
  if (name.size() > 0xFF) ZENTOR_INTERNAL_ERROR();
  out.push_back(kCodeName);
  out.push_back(static_cast<uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}

std::unique_ptr<CvDescriptionSink> MakeLoaderLibrarySink() { return std::make_unique<LoaderLibrarySink>(); }

// ---- CodeViewTypes

CodeViewTypes::CodeViewTypes() { FillPrimitiveMap(); }

void CodeViewTypes::StartLoad() {
  ReleasePass();
  m_records.clear();
  m_bytes.clear();
  m_typeCount = 0;
  m_listCount = 0;
  m_listsAhead = 0;
  m_unknownLeaves = 0;
  m_baseClasses = 0;
}

// The fixed rows give the same map to every loader: it is filled once (the fixed rows
// are all primitives, so the fill reports nothing) and copied from then on.
void CodeViewTypes::FillPrimitiveMap() {
  static const CvPrimitiveMap* const fixed = [] {
    auto* map = new CvPrimitiveMap();
    map->Fill(CvPrimitiveRows());
    return map;
  }();
  m_primitives = *fixed;
}

void CodeViewTypes::FillPrimitiveMap(std::span<const CvPrimitiveRow> rows) { m_primitives.Fill(rows); }

// Runs of null descriptions go to the sink as one call each.
void CodeViewTypes::WritePrimitiveTypes(CvDescriptionSink& sink) const {
  if (sink.RestorePrimitives(m_primitives)) return;
  sink.StartPrimitives();
  uint32_t nulls = 0;
  for (uint32_t index = 0; index < kCvPrimitiveCount; ++index) {
    const std::span<const uint8_t> description = m_primitives.DescriptionOf(index);
    if (description.size() == 1 && description[0] == kCodeNull) {
      ++nulls;
      continue;
    }
    sink.DefineNulls(nulls);
    nulls = 0;
    sink.Define(description);
  }
  sink.DefineNulls(nulls);
  sink.KeepPrimitives(m_primitives);
}

uint32_t CodeViewTypes::ReadGlobalTypes(std::vector<uint8_t> subsection, CvDescriptionSink* pump) {
  ReleasePass();
  m_records.clear();
  m_typeCount = 0;
  m_listsAhead = 0;
  m_bytes = std::move(subsection);
  try {
    CvByteCursor cursor(m_bytes);
    if (cursor.U32() != 1) RaiseCvFormatFault();
    const uint32_t count = cursor.U32();
    if (count > kCvMostGlobalTypes) RaiseCvFormatFault();
    const std::span<const uint8_t> offsets = cursor.Bytes(static_cast<uint64_t>(count) * 4);
    const uint64_t recordsStart = cursor.Position();
    m_records.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      cursor.Seek(recordsStart + Little32(offsets, i * 4));
      const uint16_t length = cursor.U16();
      // A record holds at least its leaf.
      if (length < 2) RaiseCvFormatFault();
      m_records.push_back(cursor.Bytes(length));
      if (pump != nullptr && (i + 1) % kPumpEveryTypes == 0) pump->Pump();
    }
  } catch (const CvFormatFault&) {
    m_records.clear();
    m_bytes.clear();
    return kCvStatusInconsistent;
  }
  m_typeCount = static_cast<uint32_t>(m_records.size());
  m_fieldListCache.assign(m_typeCount, MemberLists{});
  m_enumerationCache.assign(m_typeCount, EnumerationLists{});
  m_argumentCache.assign(m_typeCount, 0);
  m_unionCache.assign(m_typeCount, 0);
  return kCvStatusOkay;
}

// The pass:
// 1. The lists of the enumerations are made and written first, so the enumerations
//    that name them are taken as enumerations.
// 2. Each global type in index order becomes one description (the GUI gets a turn
//    every 50 types).
// 3. A type that cannot be translated becomes the null type: what its translation
//    began (lists, caches) is taken back and the next type is translated; the pass
//    then says 8.
// 4. The other lists follow in the order they were opened; then the caches go.
uint32_t CodeViewTypes::TranslateGlobalTypes(CvDescriptionSink& sink) {
  static constexpr uint8_t kNullDescription[] = {kCodeNull};
  uint32_t status = kCvStatusOkay;
  ReadEnumerationsAhead();
  for (const std::vector<uint8_t>& list : m_ahead) sink.Define(list);
  std::vector<uint8_t> description;
  for (uint32_t i = 0; i < m_typeCount; ++i) {
    if (i > 0 && i % kPumpEveryTypes == 0) sink.Pump();
    description.clear();
    const TranslationMark mark = Mark();
    try {
      Translate(kCvFirstGlobalType + i, description);
    } catch (const CvFormatFault&) {
      UndoTo(mark);
      description.assign(std::begin(kNullDescription), std::end(kNullDescription));
      status = kCvStatusInconsistent;
    }
    m_cacheJournal.clear();
    sink.Define(description);
  }
  m_listCount = static_cast<uint32_t>(m_pending.size());
  for (uint32_t list = 0; list < m_listCount; ++list) {
    if (list > 0 && list % kPumpEveryTypes == 0) sink.Pump();
    sink.Define(m_pending[list]);
  }
  ReleasePass();
  // The records were needed only for the translation; the count stays for the index
  // checks of the symbol readers.
  m_records.clear();
  m_bytes.clear();
  m_bytes.shrink_to_fit();
  return status;
}

CodeViewTypes::TranslationMark CodeViewTypes::Mark() const {
  return TranslationMark{m_pending.size(), m_unionMembers.size(), m_cacheJournal.size(), m_baseClasses};
}

void CodeViewTypes::UndoTo(const TranslationMark& mark) {
  m_pending.resize(mark.m_lists);
  m_unionMembers.resize(mark.m_unionMembers);
  for (size_t i = mark.m_journal; i < m_cacheJournal.size(); ++i) {
    const uint32_t slot = m_cacheJournal[i].m_slot;
    switch (m_cacheJournal[i].m_kind) {
      case 0:
        m_fieldListCache[slot] = MemberLists{};
        break;
      case 1:
        m_enumerationCache[slot] = EnumerationLists{};
        break;
      case 2:
        m_argumentCache[slot] = 0;
        break;
      default:
        m_unionCache[slot] = 0;
        break;
    }
  }
  m_cacheJournal.resize(mark.m_journal);
  m_baseClasses = mark.m_baseClasses;
}

bool CodeViewTypes::TableIndexOf(uint32_t cvIndex, uint32_t& tableIndex) const {
  uint64_t index = static_cast<uint64_t>(cvIndex) + 1;
  if (cvIndex >= kCvPrimitiveCount) {
    if (cvIndex - kCvFirstGlobalType >= m_typeCount) return false;
    index += m_listsAhead;
  }
  if (index > kCvHighestTableIndex) return false;
  tableIndex = static_cast<uint32_t>(index);
  return true;
}

std::span<const uint8_t> CodeViewTypes::RecordOf(uint32_t cvIndex) const {
  if (cvIndex < kCvFirstGlobalType || cvIndex - kCvFirstGlobalType >= m_records.size()) RaiseCvFormatFault();
  return m_records[cvIndex - kCvFirstGlobalType];
}

uint32_t CodeViewTypes::SizeOf(uint32_t cvIndex) const { return SizeOf(cvIndex, 0); }

uint32_t CodeViewTypes::SizeOf(uint32_t cvIndex, uint32_t depth) const {
  if (depth > kDeepestSizeChain) RaiseCvFormatFault();
  if (cvIndex < kCvPrimitiveCount) return CvPrimitiveSize(cvIndex);
  CvByteCursor record(RecordOf(cvIndex));
  switch (record.U16()) {
    case kCvLeafModifier:
    case kCvLeafEnum:
      record.Skip(2);
      return SizeOf(record.U16(), depth + 1);
    case kCvLeafCobol0:
      return SizeOf(record.U16(), depth + 1);
    case kCvLeafPointer:
      return 4;
    case kCvLeafArray:
      record.Skip(4);
      return ByteSize(record.Numeric());
    case kCvLeafClass:
    case kCvLeafStructure:
      record.Skip(10);
      return ByteSize(record.Numeric());
    case kCvLeafUnion:
      record.Skip(6);
      return ByteSize(record.Numeric());
    case kCvLeafLabel:
      return 1;
    default:
      return 0;
  }
}

CvByteCursor CodeViewTypes::ListRecord(uint32_t cvIndex, uint16_t leaf, uint32_t message) const {
  // A primitive is no list; an index past the table is a damaged reference.
  if (cvIndex < kCvFirstGlobalType) RaiseTypeMessage(message);
  CvByteCursor record(RecordOf(cvIndex));
  if (record.U16() != leaf) RaiseTypeMessage(message);
  return record;
}

uint32_t CodeViewTypes::CacheSlot(uint32_t cvIndex) const {
  if (cvIndex < kCvFirstGlobalType || cvIndex - kCvFirstGlobalType >= m_fieldListCache.size()) {
    throw DVError(kMsgInvalidTypedefIndex, kSeverityInternal);
  }
  return cvIndex - kCvFirstGlobalType;
}

void CodeViewTypes::ReleasePass() {
  m_ahead.clear();
  m_ahead.shrink_to_fit();
  m_pending.clear();
  m_pending.shrink_to_fit();
  m_fieldListCache.clear();
  m_enumerationCache.clear();
  m_argumentCache.clear();
  m_unionCache.clear();
  m_unionMembers.clear();
  m_cacheJournal.clear();
}

void CodeViewTypes::AppendReference(std::vector<uint8_t>& out, uint32_t cvIndex) const {
  uint32_t tableIndex = 0;
  if (!TableIndexOf(cvIndex, tableIndex)) RaiseCvFormatFault();
  AppendCvTypeReference(out, tableIndex);
}

uint32_t CodeViewTypes::OpenList(uint8_t leading) {
  std::vector<std::vector<uint8_t>>& lists = m_openingAhead ? m_ahead : m_pending;
  const uint64_t before = m_openingAhead ? 0 : static_cast<uint64_t>(m_listsAhead) + m_typeCount;
  const uint64_t tableIndex = kCvFirstGlobalType + before + lists.size() + 1;
  // A list the descriptions cannot refer to would leave its users dangling.
  if (tableIndex > kCvHighestTableIndex) RaiseCvFormatFault();
  // Room for a list of a few members at once, rather than growing it byte by byte.
  std::vector<uint8_t>& list = lists.emplace_back();
  list.reserve(kListBytesAtOpen);
  list.push_back(leading);
  return static_cast<uint32_t>(tableIndex);
}

std::vector<uint8_t>& CodeViewTypes::List(uint32_t tableIndex) {
  const uint32_t firstAhead = kCvFirstGlobalType + 1;
  if (tableIndex >= firstAhead && tableIndex - firstAhead < m_ahead.size()) return m_ahead[tableIndex - firstAhead];
  const uint32_t first = kCvFirstGlobalType + m_listsAhead + m_typeCount + 1;
  if (tableIndex < first || tableIndex - first >= m_pending.size()) ZENTOR_INTERNAL_ERROR();
  return m_pending[tableIndex - first];
}

// An enumeration whose lists cannot be made here is left as it is: its own
// translation meets the same fault in its place and handles it there.
void CodeViewTypes::ReadEnumerationsAhead() {
  m_openingAhead = true;
  for (uint32_t i = 0; i < m_typeCount; ++i) {
    CvByteCursor record(m_records[i]);
    if (record.Remaining() < 8 || record.U16() != kCvLeafEnum) continue;
    record.Skip(4);
    const uint16_t fieldList = record.U16();
    if (fieldList == 0) continue;
    const size_t lists = m_ahead.size();
    try {
      EnumeratorLists(fieldList);
    } catch (const CvFormatFault&) {
      m_ahead.resize(lists);
    } catch (const DVError&) {
      m_ahead.resize(lists);
    }
  }
  m_openingAhead = false;
  m_cacheJournal.clear();
  m_listsAhead = static_cast<uint32_t>(m_ahead.size());
}

void CodeViewTypes::Translate(uint32_t cvIndex, std::vector<uint8_t>& out) {
  CvByteCursor record(RecordOf(cvIndex));
  const uint16_t leaf = record.U16();
  switch (leaf) {
    case kCvLeafModifier: {
      const uint16_t attribute = record.U16();
      const uint16_t modified = record.U16();
      out.push_back((attribute & 1) != 0 ? kCodeConst : (attribute & 2) != 0 ? kCodeVolatile : kCodeQualified);
      AppendReference(out, modified);
      return;
    }
    case kCvLeafPointer: {
      const uint16_t attribute = record.U16();
      const uint16_t pointee = record.U16();
      const uint32_t mode = (attribute >> 5) & 7;
      const uint32_t pointerType = attribute & 0x1F;
      const bool plain = pointerType == 0 || pointerType == 1 || pointerType == 10 || pointerType == 11;
      if (mode < 2 && plain) {
        out.push_back(kCodePointer);
        AppendReference(out, pointee);
      }
      out.push_back(kCodeNull);
      return;
    }
    case kCvLeafArray: {
      const uint16_t element = record.U16();
      const uint16_t index = record.U16();
      const int64_t size = record.Numeric();
      out.push_back(kCodeArray);
      AppendCvNumber(out, Bits(size));
      AppendReference(out, element);
      AppendReference(out, index);
      return;
    }
    case kCvLeafClass:
    case kCvLeafStructure:
      TranslateAggregate(leaf, record, out);
      return;
    case kCvLeafUnion:
      TranslateUnion(record, out);
      return;
    case kCvLeafEnum:
      TranslateEnumeration(record, out);
      return;
    case kCvLeafProcedure:
    case kCvLeafMemberFunction:
      TranslateProcedure(leaf, record, out);
      return;
    case kCvLeafLabel: {
      const uint16_t mode = record.U16();
      if (mode != 0 && mode != 4) RaiseCvFormatFault();
      out.push_back(kCodeLabel);
      out.push_back(kCodeNull);
      out.push_back(mode == 0 ? kCodeNearCall : kCodeFarCall);
      return;
    }
    case kCvLeafBitField: {
      const uint8_t length = record.U8();
      const uint8_t position = record.U8();
      record.Skip(2);
      out.push_back(kCodeBitField);
      AppendCvNumber(out, length);
      AppendCvNumber(out, 0);
      AppendCvNumber(out, position);
      return;
    }
    default:
      if (IsNullLeaf(leaf)) {
        out.push_back(kCodeNull);
      } else {
        TranslateUnknown(out);
      }
      return;
  }
}

void CodeViewTypes::TranslateAggregate(uint16_t leaf, CvByteCursor& record, std::vector<uint8_t>& out) {
  const uint16_t memberCount = record.U16();
  const uint16_t fieldList = record.U16();
  record.Skip(6);
  const int64_t size = record.Numeric();
  const std::string_view name = record.Name();
  // Field list 0: a forward reference, whose definition is another record.
  if (fieldList == 0) {
    out.push_back(kCodeNull);
    return;
  }
  const int64_t bits = Bits(size);
  const MemberLists lists = FieldLists(fieldList);
  out.push_back(leaf == kCvLeafClass ? kCodeClass : kCodeStructure);
  AppendCvNumber(out, bits);
  AppendCvNumber(out, memberCount);
  AppendCvTypeReference(out, lists.m_types);
  AppendCvTypeReference(out, lists.m_names);
  AppendCvName(out, name);
}

// A union is written in the library's group form: one group per member, each naming a
// one-member types list and a one-member names list. The group count written is the
// number of groups that follow, which the library reads them by.
void CodeViewTypes::TranslateUnion(CvByteCursor& record, std::vector<uint8_t>& out) {
  record.U16();  // member count: the groups are counted as they are written
  const uint16_t fieldList = record.U16();
  record.Skip(2);
  const int64_t size = record.Numeric();
  const std::string_view name = record.Name();
  if (fieldList == 0) {
    out.push_back(kCodeNull);
    return;
  }
  const int64_t bits = Bits(size);
  const std::vector<MemberLists> members = UnionMembers(fieldList);
  if (members.size() > kCvMostUnionGroups) RaiseCvFormatFault();
  out.push_back(kCodeStructure);
  AppendCvNumber(out, bits);
  AppendCvNumber(out, 0);
  out.push_back(kCodeNull);
  out.push_back(kCodeNull);
  AppendCvName(out, name);
  out.push_back(kCodeNotPacked);
  AppendCvNumber(out, static_cast<int64_t>(members.size()));
  out.push_back(kCodeNull);
  out.push_back(kCodeNull);
  for (const MemberLists& member : members) {
    AppendCvNumber(out, 1);
    AppendCvTypeReference(out, member.m_types);
    AppendCvTypeReference(out, member.m_names);
  }
}

void CodeViewTypes::TranslateEnumeration(CvByteCursor& record, std::vector<uint8_t>& out) {
  record.U16();  // enumerator count
  const uint16_t underlying = record.U16();
  const uint16_t fieldList = record.U16();
  record.Skip(2);
  const std::string_view name = record.Name();
  const uint32_t size = SizeOf(underlying);
  // Field list 0: an enumeration declared but defined elsewhere.
  if (fieldList == 0) {
    out.push_back(kCodeNull);
    return;
  }
  const EnumerationLists lists = EnumeratorLists(fieldList);
  out.push_back(kCodeScalar);
  AppendCvNumber(out, static_cast<int64_t>(size) * 8);
  out.push_back(kCodeSigned);
  AppendCvName(out, name);
  AppendCvTypeReference(out, lists.m_names);
  AppendCvTypeReference(out, lists.m_values);
  out.push_back(kCodeNull);
}

void CodeViewTypes::TranslateProcedure(uint16_t leaf, CvByteCursor& record, std::vector<uint8_t>& out) {
  const uint16_t result = record.U16();
  if (leaf == kCvLeafMemberFunction) record.Skip(4);
  const uint8_t convention = record.U8();
  record.Skip(1);
  const uint16_t parameterCount = record.U16();
  const uint16_t argumentList = record.U16();
  uint8_t code = kCodeNearCall;
  for (const ConventionCode& row : kConventionCodes) {
    if (row.m_convention == convention) code = row.m_code;
  }
  std::vector<uint8_t> resultReference;
  AppendReference(resultReference, result);
  const uint32_t arguments = ArgumentList(argumentList);
  out.push_back(kCodeProcedure);
  out.push_back(kCodeNull);
  out.insert(out.end(), resultReference.begin(), resultReference.end());
  out.push_back(code);
  AppendCvNumber(out, parameterCount);
  AppendCvTypeReference(out, arguments);
  out.push_back(kCodeProcedureEnd);
}

// The first fifteen leaves nobody knows are taken as types of no interest; more of
// them say the type table is not what this loader can read.
void CodeViewTypes::TranslateUnknown(std::vector<uint8_t>& out) {
  ++m_unknownLeaves;
  if (m_unknownLeaves > kCvTolerableUnknownLeaves) {
    // Said once; every further unknown leaf is refused the same way.
    if (m_unknownLeaves == kCvTolerableUnknownLeaves + 1) {
      OutputWriter::Printf("Symbol file contains corrupted typedef records\n");
    }
    RaiseCvFormatFault();
  }
  out.push_back(kCodeNull);
}

CodeViewTypes::MemberLists CodeViewTypes::FieldLists(uint32_t fieldList) {
  CvByteCursor record = ListRecord(fieldList, kCvLeafFieldList, kMsgExpectedFieldList);
  const uint32_t slot = CacheSlot(fieldList);
  if (m_fieldListCache[slot].m_types != 0) return m_fieldListCache[slot];
  MemberLists lists;
  lists.m_names = OpenList(kCodeList);
  lists.m_types = OpenList(kCodeList);
  int64_t position = 0;
  m_gapBudget = kCvLargestMemberGap;
  while (!record.AtEnd()) {
    const uint16_t leaf = record.U16();
    ReadField(record, leaf, lists, position);
    SkipPadding(record);
  }
  m_fieldListCache[slot] = lists;
  Journal(0, slot);
  return lists;
}

CodeViewTypes::EnumerationLists CodeViewTypes::EnumeratorLists(uint32_t fieldList) {
  CvByteCursor record = ListRecord(fieldList, kCvLeafFieldList, kMsgExpectedFieldList);
  const uint32_t slot = CacheSlot(fieldList);
  if (m_enumerationCache[slot].m_names != 0) return m_enumerationCache[slot];
  EnumerationLists lists;
  lists.m_names = OpenList(kCodeList);
  lists.m_values = OpenList(kCodeList);
  while (!record.AtEnd()) {
    if (record.U16() != kCvLeafEnumerate) RaiseTypeMessage(kMsgExpectedEnumerate);
    record.Skip(2);
    const int64_t value = record.Numeric();
    const std::string_view name = record.Name();
    AppendCvNumber(List(lists.m_values), value);
    AppendCvName(List(lists.m_names), name);
    SkipPadding(record);
  }
  m_enumerationCache[slot] = lists;
  Journal(1, slot);
  return lists;
}

uint32_t CodeViewTypes::ArgumentList(uint32_t argList) {
  CvByteCursor record = ListRecord(argList, kCvLeafArgList, kMsgExpectedArgumentList);
  const uint32_t slot = CacheSlot(argList);
  if (m_argumentCache[slot] != 0) return m_argumentCache[slot];
  const uint32_t list = OpenList(kCodeList);
  const uint16_t count = record.U16();
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t argument = record.U16();
    const uint32_t parameter = OpenList(kCodeParameter);
    AppendReference(List(parameter), argument);
    AppendCvTypeReference(List(list), parameter);
  }
  m_argumentCache[slot] = list;
  Journal(2, slot);
  return list;
}

const std::vector<CodeViewTypes::MemberLists>& CodeViewTypes::UnionMembers(uint32_t fieldList) {
  CvByteCursor record = ListRecord(fieldList, kCvLeafFieldList, kMsgExpectedFieldList);
  const uint32_t slot = CacheSlot(fieldList);
  if (m_unionCache[slot] != 0) return m_unionMembers[m_unionCache[slot] - 1];
  std::vector<MemberLists> members;
  m_gapBudget = kCvLargestMemberGap;
  while (!record.AtEnd()) {
    const uint16_t leaf = record.U16();
    // Each member is a field list of its own; fields that are no member add nothing.
    MemberLists lists;
    if (leaf == kCvLeafMember || leaf == kCvLeafBaseClass) {
      // More groups than the library keeps: refused before more lists are made.
      if (members.size() >= kCvMostUnionGroups) RaiseCvFormatFault();
      lists.m_names = OpenList(kCodeList);
      lists.m_types = OpenList(kCodeList);
      members.push_back(lists);
    }
    int64_t position = 0;
    ReadField(record, leaf, lists, position);
    SkipPadding(record);
  }
  m_unionMembers.push_back(std::move(members));
  m_unionCache[slot] = static_cast<uint32_t>(m_unionMembers.size());
  Journal(3, slot);
  return m_unionMembers.back();
}

void CodeViewTypes::ReadField(CvByteCursor& record, uint16_t leaf, const MemberLists& lists, int64_t& position) {
  switch (leaf) {
    case kCvLeafMember: {
      const uint16_t type = record.U16();
      record.Skip(2);
      const int64_t offset = record.Numeric();
      const std::string_view name = record.Name();
      AppendMember(lists, name, type, offset, position);
      return;
    }
    case kCvLeafBaseClass: {
      const uint16_t type = record.U16();
      record.Skip(2);
      const int64_t offset = record.Numeric();
      const std::string name = "*BC" + std::to_string(++m_baseClasses);
      AppendMember(lists, name, type, offset, position);
      return;
    }
    case kCvLeafVirtualBaseClass:
    case kCvLeafIndirectVirtualBaseClass:
      record.Skip(6);
      record.Numeric();
      record.Numeric();
      return;
    case kCvLeafFriendFunction:
    case kCvLeafNestedType:
      record.Skip(2);
      record.Name();
      return;
    case kCvLeafStaticMember:
    case kCvLeafMethod:
      record.Skip(4);
      record.Name();
      return;
    case kCvLeafOneMethod:
      record.Skip(8);
      record.Name();
      return;
    case kCvLeafIndex:
    case kCvLeafVirtualFunctionTable:
    case kCvLeafFriendClass:
      record.Skip(2);
      return;
    case kCvLeafVirtualFunctionOffset:
      record.Skip(6);
      return;
    default:
      RaiseTypeMessage(kMsgExpectedMember);
  }
}

// A member after a hole gets unnamed members before it that fill the hole, widest
// first; then its name and type; the position moves past it. The holes of one field
// list together may not exceed the budget.
void CodeViewTypes::AppendMember(const MemberLists& lists, std::string_view name, uint32_t cvType, int64_t offset,
                                 int64_t& position) {
  if (offset > position) {
    const int64_t gap = offset - position;
    if (gap > m_gapBudget) RaiseCvFormatFault();
    m_gapBudget -= static_cast<uint32_t>(gap);
    uint32_t left = static_cast<uint32_t>(gap);
    while (left > 0) {
      for (const Filler& filler : kFillers) {
        if (left < filler.m_size) continue;
        AppendCvName(List(lists.m_names), {});
        AppendReference(List(lists.m_types), filler.m_cvType);
        left -= filler.m_size;
        break;
      }
    }
  }
  AppendReference(List(lists.m_types), cvType);
  AppendCvName(List(lists.m_names), name);
  position = offset + SizeOf(cvType);
}

void CodeViewTypes::SkipPadding(CvByteCursor& record) const {
  if (record.AtEnd()) return;
  const uint8_t next = record.Peek();
  if (next > 0xF0) record.Skip(next & 0x0F);
}

}  // namespace zentor
