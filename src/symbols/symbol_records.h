#pragma once
// What lies in the pages of the symbol-table file: the record kinds of the symbol
// chains and of the type-record chain, their byte layouts, the 30-byte TypeEntry slots
// of the type directory and the TypeDirectory that hands them out. Layouts are offset
// tables; records are read and written through typed views over a RecordView, never as
// structs. The loader library writes these records, the lookups, symbol objects and
// type-name code read them.

#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/memory_file.h"
#include "core/unsigned_int64.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace zentor {

inline constexpr uint32_t kMsgNonExistentType = 327;

// Record types of the chains (the first word of every record a walk meets).
enum ChainRecordType : uint32_t {
  kBlockRecordType = 0,
  kProcedureRecordType = 1,
  kSymbolRecordType = 2,
  kScopeEndRecordType = 3,
  kEndRecordType = 4,
  kListEndRecordType = 5,
  kPageEndRecordType = 99,
  // Elements of lists on the type-record chain.
  kListNameElementType = 0,
  kListIndexElementType = 1,
  kListNumberElementType = 2,
  kListMarkElementType = 3,
  kListEndElementType = 4,
};

// What a chain walk does on meeting a record type.
enum class WalkAction : uint8_t {
  Return,    // hand out the record and step past it
  End,       // the walk ends here; the cursor stays on the record
  NextPage,  // continue at the start of the next linked page
  Invalid,   // this walk does not know the type
};

// One row of the record-kind table: how the symbol walk and the type-list walk treat a
// record type, and how long the record is for each.
struct ChainRecordKind {
  uint32_t m_type;
  const char* m_symbolName;
  uint32_t m_symbolSize;
  WalkAction m_symbolAction;
  const char* m_typeName;
  uint32_t m_typeSize;
  WalkAction m_typeAction;
};

// The row of a record type; null for a type neither walk knows.
const ChainRecordKind* FindChainRecordKind(uint32_t type);

// Byte layouts. Offsets are from the start of the record; kSize is its length.
struct BlockRecordLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kEnclosing = 4;
  static constexpr uint32_t kStart = 8;
  static constexpr uint32_t kLength = 36;
  static constexpr uint32_t kSize = 44;
};
struct ProcedureRecordLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kEnclosing = 4;
  static constexpr uint32_t kEntry = 8;
  static constexpr uint32_t kLength = 36;
  static constexpr uint32_t kTypeIndex = 44;
  static constexpr uint32_t kSecondValue = 48;
  static constexpr uint32_t kName = 56;
  static constexpr uint32_t kAttribute = 68;
  static constexpr uint32_t kSize = 70;
};
// The code a block or procedure record covers: its start (the procedure's entry) and
// length. False, with both left alone, for a record of any other type.
bool ReadScopeExtent(const RecordView& view, AddressDescriptor& start, OrdinalValue& length);

struct SymbolRecordLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kTypeIndex = 4;
  static constexpr uint32_t kName = 8;
  static constexpr uint32_t kLocation = 20;  // AddressExtent
  static constexpr uint32_t kPendingModule = 57;
  static constexpr uint32_t kSize = 61;
  // Bit 31 of the type index: not yet translated (deferred module).
  static constexpr uint32_t kUntranslatedBit = 0x80000000u;
};
struct AddressExtentLayout {
  static constexpr uint32_t kAddress = 0;
  static constexpr uint32_t kOrdinal = 28;
  static constexpr uint32_t kFlags = 36;
  static constexpr uint32_t kSize = 37;
};
inline constexpr uint32_t kBareRecordSize = 4;  // scope end, end, list end, page end
struct TypeEntryLayout {
  static constexpr uint32_t kCategory = 0;
  static constexpr uint32_t kSize = 4;
  static constexpr uint32_t kPrimitiveCode = 8;
  static constexpr uint32_t kName = 10;
  static constexpr uint32_t kReference = 22;
  static constexpr uint32_t kQualifier = 26;
  static constexpr uint32_t kLength = 30;
};
struct QualifierTypeRecordLayout {
  static constexpr uint32_t kTarget = 0;
  static constexpr uint32_t kLeafValue = 4;
  static constexpr uint32_t kLeafCode = 8;
  static constexpr uint32_t kHighWord = 10;
  static constexpr uint32_t kQualifierCode = 14;
  static constexpr uint32_t kReserved = 16;
  static constexpr uint32_t kSize = 18;
};
struct ArrayTypeRecordLayout {
  static constexpr uint32_t kElementType = 0;
  static constexpr uint32_t kIndexType = 4;
  static constexpr uint32_t kPacked = 8;
  static constexpr uint32_t kTrailingNumber = 10;
  static constexpr uint32_t kSize = 12;
};
struct AggregateTypeRecordLayout {
  // Structures and classes: the member-name and member-type list type indices;
  // unions: the handles of the first elements of the second and first index lists.
  static constexpr uint32_t kFirstList = 0;
  static constexpr uint32_t kSecondList = 4;
  static constexpr uint32_t kPacked = 8;
  static constexpr uint32_t kReserved = 10;
  static constexpr uint32_t kSize = 12;
};
struct EnumerationTypeRecordLayout {
  static constexpr uint32_t kEnumeratorList = 0;
  static constexpr uint32_t kLastTypeIndex = 4;
  static constexpr uint32_t kSize = 8;
};
struct SubrangeTypeRecordLayout {
  static constexpr uint32_t kBoundKind = 0;
  static constexpr uint32_t kLowerLow = 4;
  static constexpr uint32_t kUpperLow = 8;
  static constexpr uint32_t kLowerHigh = 12;
  static constexpr uint32_t kUpperHigh = 16;
  static constexpr uint32_t kSize = 20;
};
struct ListNameElementLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kName = 4;
  static constexpr uint32_t kSize = 16;
};
struct ListIndexElementLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kTypeIndex = 4;
  static constexpr uint32_t kSize = 8;
};
struct ListNumberElementLayout {
  static constexpr uint32_t kType = 0;
  static constexpr uint32_t kLow = 4;
  static constexpr uint32_t kHigh = 8;
  static constexpr uint32_t kSize = 12;
};

// Type directory pages hold 17 entries of 30 bytes from byte 0.
inline constexpr uint32_t kTypeEntriesPerPage = 17;

// Bits of the location flag byte.
inline constexpr uint8_t kLocationStackRelative = 0x01;
inline constexpr uint8_t kLocationArgumentBlock = 0x02;
inline constexpr uint8_t kLocationRegister = 0x04;
inline constexpr uint8_t kLocationResolved = 0x08;

// A symbol's location: an address, a length or frame offset, and the flag byte.
struct AddressExtent {
  AddressDescriptor m_address;
  OrdinalValue m_ordinal;
  uint8_t m_flags = 0;

  static AddressExtent ReadFrom(const RecordView& view, uint32_t offset);
  void WriteTo(RecordView& view, uint32_t offset) const;
};

// TypeCategory: the first word of a TypeEntry.
enum TypeCategory : uint32_t {
  kTypePrimitive = 0,
  kTypeSubrange = 1,
  kTypeStructure = 2,
  kTypeEnumeration = 3,
  kTypeSet = 4,
  kTypeQualified = 5,
  kTypeProcedure = 6,
  kTypeParameter = 7,
  kTypeList = 8,
  kTypeArray = 9,
  kTypeLabel = 10,
  kTypeUndefined = 11,
  kTypeNull = 12,
  kTypePointer = 13,
  kTypeFile = 14,
  kTypeSelector = 15,
  kTypeUnion = 16,
  kTypeBitField = 17,
  kTypeRegister = 18,
  kTypeVoid = 19,
  kTypeClass = 20,
  kTypeTypedefName = 55,
};

// What the reference word of an entry holds, by category.
enum class TypeReferenceKind : uint8_t {
  None,              // stays -1
  TypeIndex,         // another type index
  QualifierRecord,   // handle of a QualifierTypeRecord
  SubrangeRecord,    // handle of a SubrangeTypeRecord
  AggregateRecord,   // handle of an AggregateTypeRecord
  EnumerationRecord, // handle of an EnumerationTypeRecord
  ArrayRecord,       // handle of an ArrayTypeRecord
  ListElement,       // handle of the first list element
  PrimitivePointer,  // a type index for the pointer codes 22..27, else -1
};

struct TypeCategoryInfo {
  uint32_t m_category;
  const char* m_name;
  TypeReferenceKind m_reference;
};
// The row of a category; null for a value that is no category.
const TypeCategoryInfo* FindTypeCategory(uint32_t category);

// Primitive codes of TypeEntry offset 8 run from 0 to 28 (0 for non-primitive types).
inline constexpr uint16_t kLargestPrimitiveCode = 28;

// A typed view of a BlockRecord.
class BlockRecordView {
 public:
  explicit BlockRecordView(RecordView view) : m_view(std::move(view)) {}
  // The record at `handle`; a record of another type raises 301.
  static BlockRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  // Reserves a new record on a chain and writes its type word.
  static BlockRecordView Append(PageCache& cache, RecordChainWriter& writer);

  RecordHandle Handle() const { return m_view.Handle(); }
  RecordHandle Enclosing() const { return m_view.HandleAt(BlockRecordLayout::kEnclosing); }
  AddressDescriptor Start() const { return m_view.AddressAt(BlockRecordLayout::kStart); }
  OrdinalValue Length() const { return m_view.OrdinalAt(BlockRecordLayout::kLength); }
  void SetEnclosing(RecordHandle handle) { m_view.SetHandle(BlockRecordLayout::kEnclosing, handle); }
  void SetStart(const AddressDescriptor& start) { m_view.SetAddress(BlockRecordLayout::kStart, start); }
  void SetLength(const UnsignedInt64& length) { m_view.SetOrdinal(BlockRecordLayout::kLength, length); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class ProcedureRecordView {
 public:
  explicit ProcedureRecordView(RecordView view) : m_view(std::move(view)) {}
  static ProcedureRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static ProcedureRecordView Append(PageCache& cache, RecordChainWriter& writer);

  RecordHandle Handle() const { return m_view.Handle(); }
  RecordHandle Enclosing() const { return m_view.HandleAt(ProcedureRecordLayout::kEnclosing); }
  AddressDescriptor Entry() const { return m_view.AddressAt(ProcedureRecordLayout::kEntry); }
  OrdinalValue Length() const { return m_view.OrdinalAt(ProcedureRecordLayout::kLength); }
  uint32_t TypeIndex() const { return m_view.U32At(ProcedureRecordLayout::kTypeIndex); }
  OrdinalValue SecondValue() const { return m_view.OrdinalAt(ProcedureRecordLayout::kSecondValue); }
  SymbolKey Name() const { return SymbolKey::ReadFrom(m_view, ProcedureRecordLayout::kName); }
  uint16_t Attribute() const { return m_view.U16At(ProcedureRecordLayout::kAttribute); }
  void SetEnclosing(RecordHandle handle) { m_view.SetHandle(ProcedureRecordLayout::kEnclosing, handle); }
  void SetEntry(const AddressDescriptor& entry) { m_view.SetAddress(ProcedureRecordLayout::kEntry, entry); }
  void SetLength(const UnsignedInt64& length) { m_view.SetOrdinal(ProcedureRecordLayout::kLength, length); }
  void SetTypeIndex(uint32_t index) { m_view.SetU32(ProcedureRecordLayout::kTypeIndex, index); }
  void SetSecondValue(const UnsignedInt64& value) { m_view.SetOrdinal(ProcedureRecordLayout::kSecondValue, value); }
  void SetName(const SymbolKey& key) { key.WriteTo(m_view, ProcedureRecordLayout::kName); }
  // The loader's attribute byte, zero-extended.
  void SetAttribute(uint8_t attribute) { m_view.SetU16(ProcedureRecordLayout::kAttribute, attribute); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class SymbolRecordView {
 public:
  explicit SymbolRecordView(RecordView view) : m_view(std::move(view)) {}
  static SymbolRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static SymbolRecordView Append(PageCache& cache, RecordChainWriter& writer);

  RecordHandle Handle() const { return m_view.Handle(); }
  // The stored word, bit 31 included.
  uint32_t RawTypeIndex() const { return m_view.U32At(SymbolRecordLayout::kTypeIndex); }
  // The type index with the not-yet-translated bit masked off.
  uint32_t TypeIndex() const { return RawTypeIndex() & ~SymbolRecordLayout::kUntranslatedBit; }
  bool IsUntranslated() const { return (RawTypeIndex() & SymbolRecordLayout::kUntranslatedBit) != 0; }
  SymbolKey Name() const { return SymbolKey::ReadFrom(m_view, SymbolRecordLayout::kName); }
  AddressExtent Location() const { return AddressExtent::ReadFrom(m_view, SymbolRecordLayout::kLocation); }
  // The 1-based id of the module descriptor whose symbols are still to be loaded, 0
  // when none.
  uint32_t PendingModule() const { return m_view.U32At(SymbolRecordLayout::kPendingModule); }
  void SetRawTypeIndex(uint32_t word) { m_view.SetU32(SymbolRecordLayout::kTypeIndex, word); }
  void SetName(const SymbolKey& key) { key.WriteTo(m_view, SymbolRecordLayout::kName); }
  void SetLocation(const AddressExtent& location) { location.WriteTo(m_view, SymbolRecordLayout::kLocation); }
  void SetPendingModule(uint32_t moduleId) { m_view.SetU32(SymbolRecordLayout::kPendingModule, moduleId); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

// Writes a bare record (scope end, end, list end) on a chain; returns its handle.
RecordHandle AppendBareRecord(PageCache& cache, RecordChainWriter& writer, uint32_t type);

// A typed view of one 30-byte TypeEntry slot.
class TypeEntryView {
 public:
  TypeEntryView() = default;
  explicit TypeEntryView(RecordView view) : m_view(std::move(view)) {}

  bool IsNull() const { return m_view.IsNull(); }
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t Category() const { return m_view.U32At(TypeEntryLayout::kCategory); }
  uint32_t Size() const { return m_view.U32At(TypeEntryLayout::kSize); }
  uint16_t PrimitiveCode() const { return m_view.U16At(TypeEntryLayout::kPrimitiveCode); }
  SymbolKey Name() const { return SymbolKey::ReadFrom(m_view, TypeEntryLayout::kName); }
  uint32_t Reference() const { return m_view.U32At(TypeEntryLayout::kReference); }
  uint32_t Qualifier() const { return m_view.U32At(TypeEntryLayout::kQualifier); }
  void SetCategory(uint32_t category) { m_view.SetU32(TypeEntryLayout::kCategory, category); }
  void SetSize(uint32_t size) { m_view.SetU32(TypeEntryLayout::kSize, size); }
  void SetPrimitiveCode(uint16_t code) { m_view.SetU16(TypeEntryLayout::kPrimitiveCode, code); }
  void SetName(const SymbolKey& key) { key.WriteTo(m_view, TypeEntryLayout::kName); }
  void SetReference(uint32_t reference) { m_view.SetU32(TypeEntryLayout::kReference, reference); }
  void SetQualifier(uint32_t qualifier) { m_view.SetU32(TypeEntryLayout::kQualifier, qualifier); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

// Views of the fixed type records that hang off a TypeEntry (they have no type word;
// `At` checks only that the record lies inside a record page's record area, raising
// 302 otherwise).
class QualifierTypeRecordView {
 public:
  explicit QualifierTypeRecordView(RecordView view) : m_view(std::move(view)) {}
  static QualifierTypeRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static QualifierTypeRecordView Append(PageCache& cache, RecordChainWriter& writer);
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t Target() const { return m_view.U32At(QualifierTypeRecordLayout::kTarget); }
  uint32_t LeafValue() const { return m_view.U32At(QualifierTypeRecordLayout::kLeafValue); }
  uint16_t LeafCode() const { return m_view.U16At(QualifierTypeRecordLayout::kLeafCode); }
  uint32_t HighWord() const { return m_view.U32At(QualifierTypeRecordLayout::kHighWord); }
  uint16_t QualifierCode() const { return m_view.U16At(QualifierTypeRecordLayout::kQualifierCode); }
  void SetTarget(uint32_t index) { m_view.SetU32(QualifierTypeRecordLayout::kTarget, index); }
  void SetLeafValue(uint32_t value) { m_view.SetU32(QualifierTypeRecordLayout::kLeafValue, value); }
  void SetLeafCode(uint8_t code) { m_view.SetU16(QualifierTypeRecordLayout::kLeafCode, code); }
  void SetHighWord(uint32_t word) { m_view.SetU32(QualifierTypeRecordLayout::kHighWord, word); }
  void SetQualifierCode(uint16_t code) { m_view.SetU16(QualifierTypeRecordLayout::kQualifierCode, code); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class ArrayTypeRecordView {
 public:
  explicit ArrayTypeRecordView(RecordView view) : m_view(std::move(view)) {}
  static ArrayTypeRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static ArrayTypeRecordView Append(PageCache& cache, RecordChainWriter& writer);
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t ElementType() const { return m_view.U32At(ArrayTypeRecordLayout::kElementType); }
  uint32_t IndexType() const { return m_view.U32At(ArrayTypeRecordLayout::kIndexType); }
  uint16_t Packed() const { return m_view.U16At(ArrayTypeRecordLayout::kPacked); }
  uint16_t TrailingNumber() const { return m_view.U16At(ArrayTypeRecordLayout::kTrailingNumber); }
  void SetElementType(uint32_t index) { m_view.SetU32(ArrayTypeRecordLayout::kElementType, index); }
  void SetIndexType(uint32_t index) { m_view.SetU32(ArrayTypeRecordLayout::kIndexType, index); }
  void SetPacked(uint16_t packed) { m_view.SetU16(ArrayTypeRecordLayout::kPacked, packed); }
  void SetTrailingNumber(uint16_t number) { m_view.SetU16(ArrayTypeRecordLayout::kTrailingNumber, number); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class AggregateTypeRecordView {
 public:
  explicit AggregateTypeRecordView(RecordView view) : m_view(std::move(view)) {}
  static AggregateTypeRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static AggregateTypeRecordView Append(PageCache& cache, RecordChainWriter& writer);
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t FirstList() const { return m_view.U32At(AggregateTypeRecordLayout::kFirstList); }
  uint32_t SecondList() const { return m_view.U32At(AggregateTypeRecordLayout::kSecondList); }
  uint16_t Packed() const { return m_view.U16At(AggregateTypeRecordLayout::kPacked); }
  void SetFirstList(uint32_t word) { m_view.SetU32(AggregateTypeRecordLayout::kFirstList, word); }
  void SetSecondList(uint32_t word) { m_view.SetU32(AggregateTypeRecordLayout::kSecondList, word); }
  void SetPacked(uint16_t packed) { m_view.SetU16(AggregateTypeRecordLayout::kPacked, packed); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class EnumerationTypeRecordView {
 public:
  explicit EnumerationTypeRecordView(RecordView view) : m_view(std::move(view)) {}
  static EnumerationTypeRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static EnumerationTypeRecordView Append(PageCache& cache, RecordChainWriter& writer);
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t EnumeratorList() const { return m_view.U32At(EnumerationTypeRecordLayout::kEnumeratorList); }
  uint32_t LastTypeIndex() const { return m_view.U32At(EnumerationTypeRecordLayout::kLastTypeIndex); }
  void SetEnumeratorList(uint32_t index) { m_view.SetU32(EnumerationTypeRecordLayout::kEnumeratorList, index); }
  void SetLastTypeIndex(uint32_t index) { m_view.SetU32(EnumerationTypeRecordLayout::kLastTypeIndex, index); }
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

class SubrangeTypeRecordView {
 public:
  explicit SubrangeTypeRecordView(RecordView view) : m_view(std::move(view)) {}
  static SubrangeTypeRecordView At(PageCache& cache, RecordHandle handle, RecordAccess access = RecordAccess::Read);
  static SubrangeTypeRecordView Append(PageCache& cache, RecordChainWriter& writer);
  RecordHandle Handle() const { return m_view.Handle(); }
  uint32_t BoundKind() const { return m_view.U32At(SubrangeTypeRecordLayout::kBoundKind); }
  OrdinalValue Lower() const;
  OrdinalValue Upper() const;
  void SetBoundKind(uint32_t kind) { m_view.SetU32(SubrangeTypeRecordLayout::kBoundKind, kind); }
  void SetLower(const UnsignedInt64& bound);
  void SetUpper(const UnsignedInt64& bound);
  const RecordView& View() const { return m_view; }

 private:
  RecordView m_view;
};

// List elements are written with their type word and read by the type-list walk.
RecordHandle AppendListNameElement(PageCache& cache, RecordChainWriter& writer, const SymbolKey& name);
RecordHandle AppendListIndexElement(PageCache& cache, RecordChainWriter& writer, uint32_t typeIndex);
RecordHandle AppendListNumberElement(PageCache& cache, RecordChainWriter& writer, const UnsignedInt64& value);

// The type directory: TypeEntry slots numbered from 1 over the whole program, 17 to a
// directory page, with the pages' offsets kept in order in a memory file. Lookups go
// through GetTypeEntryRaw (the slot itself) and GetTypeEntry (after following
// qualified and aliased types).
class TypeDirectory {
 public:
  TypeDirectory() = default;
  TypeDirectory(const TypeDirectory&) = delete;
  TypeDirectory& operator=(const TypeDirectory&) = delete;

  // Number of type indices defined so far.
  uint32_t TypeCount() const { return m_typeCount; }
  uint32_t PageCount() const { return m_pageList.Size() / 4; }
  // The file offset of directory page `ordinal` (the failing status of the page list
  // is raised: 183 past its end).
  RecordHandle PageAt(uint32_t ordinal);

  // Creates the next slot (category 11 "not yet defined" unless another is given, size
  // 0, code 0, no name, reference -1, qualifier 0) and returns its index. The
  // directory's current page is pinned while slots are being added.
  uint32_t NewSlot(PageCache& cache, uint32_t category = kTypeUndefined);
  // `count` slots of category 12 (the null type), as NewSlot makes them; the index of
  // the last (the type count when `count` is 0). A page begun here gets its null
  // slots written in one pass (a load's primitive types are mostly null).
  uint32_t NewNullSlots(PageCache& cache, uint32_t count);
  // Releases the pin on the current directory page (end of a load).
  void ReleasePin(PageCache& cache);
  // The bytes of the `count` slots from index `first` on, one after another (a slot
  // holds no file position, so the bytes can be laid down again in another file).
  std::vector<uint8_t> CopySlots(PageCache& cache, uint32_t first, uint32_t count);
  // Appends one slot for each TypeEntryLayout::kLength bytes of `slots` (bytes that
  // CopySlots answered), page by page, and leaves the pages and pins as making the
  // slots one by one leaves them. An internal-consistency error, with nothing
  // appended, for bytes that are not whole slots or more slots than indices are left.
  void AppendSlots(PageCache& cache, std::span<const uint8_t> slots);
  // The directory's writer: its first-record flag belongs to the loader library.
  RecordChainWriter& Writer() { return m_writer; }

  // The slot of `index` itself. An index with bit 31 set is read as 1; an index above
  // the type count raises 327; index 0 fails in the page list (183).
  TypeEntryView GetTypeEntryRaw(PageCache& cache, uint32_t index, RecordAccess access = RecordAccess::Read);
  // The slot after following qualified types (category 5): each entry met receives
  // the qualifier in force when it is reached (1 const, 2 volatile; code 3 keeps the
  // current one). A chain of qualified types that comes back on itself raises 302.
  TypeEntryView GetTypeEntry(PageCache& cache, uint32_t index);

 private:
  // Appends a directory page (every slot with no name and reference -1), makes it the
  // current one, pinned, and answers its bytes.
  uint8_t* AppendPage(PageCache& cache);
  // Gives the next slot a page: a new one when there is none or the last is full, else
  // the last one, pinned and marked written.
  void MakeRoomForSlot(PageCache& cache);

  MemoryFile m_pageList;
  // The page the list ends with (none until a page was listed).
  RecordHandle m_lastPage;
  uint32_t m_typeCount = 0;
  // The counter of the writer is the number of slots used in the current page.
  RecordChainWriter m_writer;
};

}  // namespace zentor
