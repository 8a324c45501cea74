#pragma once
// The CodeView loader's type translation. Every type of a symbol file becomes a type
// description of the symbol table: a string of code bytes that the loader library
// parses (type_translation.h). First come 4096 descriptions for the CodeView primitive
// indices, taken from a fixed map of primitive classes; then one description for each
// record of the file's global type table, translated leaf by leaf; then the lists
// (member names and types, enumerators, arguments) the translation opened, which take
// the indices after the last global type. The CodeView loader and its symbol readers
// use the index map here to turn a CodeView type index t into the table index t + 1.
//
// Everything read from the file is bounds-checked: a record too short for its leaf, a
// reference to a type the file does not have, a list the description format cannot
// address or a gap that would need an absurd number of filler members ends the pass
// with the inconsistent-file status.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/value_bytes.h"

namespace zentor {

class LoaderInputFile;

// Messages of the type translation.
inline constexpr uint32_t kMsgInvalidTypedefIndex = 2053;      // "Invalid Typedef Directory index."
inline constexpr uint32_t kMsgInvalidModuleMapIndex = 2054;    // "Invalid index in Module_Map."
inline constexpr uint32_t kMsgExpectedArgumentList = 2063;     // "Expected Argument List typedef."
inline constexpr uint32_t kMsgExpectedEnumerate = 2064;        // "Expected Enumerate typedef."
inline constexpr uint32_t kMsgExpectedFieldList = 2065;        // "Expected Field List typedef."
inline constexpr uint32_t kMsgExpectedMember = 2066;           // "Expected Member typedef."

// CodeView type indices: below 0x1000 the primitives, from 0x1000 the global types.
inline constexpr uint32_t kCvPrimitiveCount = 0x1000;
inline constexpr uint32_t kCvFirstGlobalType = 0x1000;
// The description format addresses table indices in 15 bits.
inline constexpr uint32_t kCvHighestTableIndex = 0x7FFF;
// Indices of the global type table are 16 bits wide.
inline constexpr uint32_t kCvMostGlobalTypes = 0x10000 - kCvFirstGlobalType;
inline constexpr uint32_t kCvPrimitiveClassCount = 55;
inline constexpr uint32_t kCvClassDescriptionBytes = 7;
// Unrecognised leaves written as the null type before the file counts as corrupted.
inline constexpr uint32_t kCvTolerableUnknownLeaves = 15;
// The most bytes of holes between members that one field list may have filled with
// unnamed members (each member a list element or two: a damaged offset must not make
// millions of them).
inline constexpr uint32_t kCvLargestMemberGap = 0x10000;
// The loader library keeps at most this many groups of a union.
inline constexpr uint32_t kCvMostUnionGroups = 127;

// Status of the readers: what the CodeView loader returns for a damaged file.
inline constexpr uint32_t kCvStatusOkay = 0;
inline constexpr uint32_t kCvStatusInconsistent = 8;

// Leaves of type records and of the fields inside field lists.
enum CvLeaf : uint16_t {
  kCvLeafModifier = 0x0001,
  kCvLeafPointer = 0x0002,
  kCvLeafArray = 0x0003,
  kCvLeafClass = 0x0004,
  kCvLeafStructure = 0x0005,
  kCvLeafUnion = 0x0006,
  kCvLeafEnum = 0x0007,
  kCvLeafProcedure = 0x0008,
  kCvLeafMemberFunction = 0x0009,
  kCvLeafVtShape = 0x000A,
  kCvLeafCobol0 = 0x000B,
  kCvLeafCobol1 = 0x000C,
  kCvLeafBasicArray = 0x000D,
  kCvLeafLabel = 0x000E,
  kCvLeafNull = 0x000F,
  kCvLeafNotTranslated = 0x0010,
  kCvLeafDimArray = 0x0011,
  kCvLeafVftPath = 0x0012,
  kCvLeafPrecompiled = 0x0013,
  kCvLeafEndPrecompiled = 0x0014,
  kCvLeafOem = 0x0015,
  kCvLeafTypeServer = 0x0016,
  kCvLeafArgList = 0x0201,
  kCvLeafDefaultArgument = 0x0202,
  kCvLeafFieldList = 0x0204,
  kCvLeafDerived = 0x0205,
  kCvLeafBitField = 0x0206,
  kCvLeafMethodList = 0x0207,
  kCvLeafBaseClass = 0x0400,
  kCvLeafVirtualBaseClass = 0x0401,
  kCvLeafIndirectVirtualBaseClass = 0x0402,
  kCvLeafEnumerate = 0x0403,
  kCvLeafFriendFunction = 0x0404,
  kCvLeafIndex = 0x0405,
  kCvLeafMember = 0x0406,
  kCvLeafStaticMember = 0x0407,
  kCvLeafMethod = 0x0408,
  kCvLeafNestedType = 0x0409,
  kCvLeafVirtualFunctionTable = 0x040A,
  kCvLeafFriendClass = 0x040B,
  kCvLeafOneMethod = 0x040C,
  kCvLeafVirtualFunctionOffset = 0x040D,
  // Numeric leaves: a value that does not fit below 0x8000 follows one of these.
  kCvLeafChar = 0x8000,
  kCvLeafShort = 0x8001,
  kCvLeafUShort = 0x8002,
  kCvLeafLong = 0x8003,
  kCvLeafULong = 0x8004,
};

// Raised inside the readers when something read from the file does not fit (a length,
// a count, an offset, an index); the reader that catches it returns the
// inconsistent-file status. It never leaves the CodeView loader.
struct CvFormatFault {};
[[noreturn]] void RaiseCvFormatFault();

// A bounds-checked reader over bytes taken from the file: every read that would go
// past the end raises CvFormatFault.
class CvByteCursor {
 public:
  CvByteCursor() = default;
  explicit CvByteCursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

  uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
  uint32_t Position() const { return m_position; }
  uint32_t Remaining() const { return Size() - m_position; }
  bool AtEnd() const { return m_position >= Size(); }
  // Moves to an offset inside the bytes (the end itself is allowed). The reads are
  // inline: a load takes several from every record of the file.
  void Seek(uint64_t position) {
    if (position > Size()) RaiseCvFormatFault();
    m_position = static_cast<uint32_t>(position);
  }
  uint8_t U8() {
    Require(1);
    return m_bytes[m_position++];
  }
  uint16_t U16() {
    Require(2);
    const uint16_t value = value_bytes::LoadU16(m_bytes.data() + m_position);
    m_position += 2;
    return value;
  }
  uint32_t U32() {
    Require(4);
    const uint32_t value = value_bytes::LoadU32(m_bytes.data() + m_position);
    m_position += 4;
    return value;
  }
  uint8_t Peek() const {
    Require(1);
    return m_bytes[m_position];
  }
  void Skip(uint64_t count) {
    Require(count);
    m_position += static_cast<uint32_t>(count);
  }
  std::span<const uint8_t> Bytes(uint64_t count) {
    Require(count);
    const std::span<const uint8_t> bytes = m_bytes.subspan(m_position, static_cast<size_t>(count));
    m_position += static_cast<uint32_t>(count);
    return bytes;
  }
  // A name: a length byte and that many characters.
  std::string_view Name() {
    const uint8_t length = U8();
    const std::span<const uint8_t> characters = Bytes(length);
    return std::string_view(reinterpret_cast<const char*>(characters.data()), characters.size());
  }
  // A numeric leaf: a value below 0x8000 stands for itself; 0x8000 a signed byte,
  // 0x8001 a signed and 0x8002 an unsigned 16-bit value, 0x8003 a signed and 0x8004 an
  // unsigned 32-bit value follow. Any other leaf is a fault.
  int64_t Numeric();

 private:
  void Require(uint64_t count) const {
    if (count > Remaining()) RaiseCvFormatFault();
  }

  std::span<const uint8_t> m_bytes;
  uint32_t m_position = 0;
};

// ---- the primitive map

// One row of the fixed map: a primitive CodeView index and its class.
struct CvPrimitiveRow {
  uint16_t m_index;
  uint8_t m_class;
};

// The description of a primitive class: a length and up to 7 code bytes.
struct CvClassDescription {
  uint8_t m_length;
  std::array<uint8_t, kCvClassDescriptionBytes> m_codes;
  bool operator==(const CvClassDescription&) const = default;
};

// The fixed tables (the data lives in cv_primitive_map.cpp): 189 rows of the map and
// the 55 class descriptions before the map patches their type references.
std::span<const CvPrimitiveRow> CvPrimitiveRows();
std::span<const CvClassDescription> CvClassDescriptions();

// The class of every primitive CodeView index and the description of every class.
// Filling the map also points the pointer classes 23..54 at the primitive of the class
// they refer to: each direct primitive of class k (7..22) sets the reference of classes
// 16 + k and 32 + k to its table index, so the last such row wins.
class CvPrimitiveMap {
 public:
  CvPrimitiveMap();
  // Fills from rows (the fixed rows normally); a row whose index is not a primitive is
  // reported as warning 2054 and left out.
  void Fill(std::span<const CvPrimitiveRow> rows);
  uint8_t ClassOf(uint32_t index) const { return index < kCvPrimitiveCount ? m_classes[index] : 0; }
  std::span<const uint8_t> ClassDescription(uint32_t primitiveClass) const;
  std::span<const uint8_t> DescriptionOf(uint32_t index) const { return ClassDescription(ClassOf(index)); }
  bool operator==(const CvPrimitiveMap&) const = default;

 private:
  std::array<uint8_t, kCvPrimitiveCount> m_classes{};
  std::array<CvClassDescription, kCvPrimitiveClassCount> m_descriptions{};
};

// Size in bytes of a primitive, from the mode, type and size bits of its index.
uint32_t CvPrimitiveSize(uint32_t index);

// ---- description bytes

// A number: 0..127 as itself, up to 65535 after 0x85, anything else (negative too) as
// its low 32 bits after 0x86; little-endian.
void AppendCvNumber(std::vector<uint8_t>& out, int64_t value);
// A reference to a table index (at most 0x7FFF): 0x83 and one byte below 128, or two
// bytes of which the first has bit 7 set.
void AppendCvTypeReference(std::vector<uint8_t>& out, uint32_t tableIndex);
// A name: 0x82, the length and the characters (at most 255).
void AppendCvName(std::vector<uint8_t>& out, std::string_view name);

// Where finished descriptions go: in the debugger the loader library, in tests a
// recorder.
class CvDescriptionSink {
 public:
  virtual ~CvDescriptionSink() = default;
  virtual void Define(std::span<const uint8_t> description) = 0;
  // `count` null descriptions in a row (most of the primitive indices).
  virtual void DefineNulls(uint32_t count) {
    static constexpr uint8_t kNull[] = {0x80};
    for (uint32_t i = 0; i < count; ++i) Define(kNull);
  }
  // A chance to let the GUI run (every 50 types).
  virtual void Pump() {}
  // The primitive descriptions of `map` entered at once from a copy of what entering
  // them made before; false when the sink holds no such copy (they are then defined
  // one by one, and KeepPrimitives follows).
  virtual bool RestorePrimitives(const CvPrimitiveMap& map) {
    (void)map;
    return false;
  }
  // Called before and after the primitive descriptions of `map` were defined one by
  // one.
  virtual void StartPrimitives() {}
  virtual void KeepPrimitives(const CvPrimitiveMap& map) { (void)map; }
};

// The sink of the loader: the type-description record builder, which enters every
// description through the loader library.
std::unique_ptr<CvDescriptionSink> MakeLoaderLibrarySink();

// ---- the types of one file

// The global types of one symbol file and their translation. Made once per loader;
// the counters of unrecognised leaves and base classes start again with every load.
class CodeViewTypes {
 public:
  CodeViewTypes();

  // Forgets the types of an earlier load and restarts the counters.
  void StartLoad();
  // Fills the primitive map (from the fixed rows unless given others).
  void FillPrimitiveMap();
  void FillPrimitiveMap(std::span<const CvPrimitiveRow> rows);
  const CvPrimitiveMap& Primitives() const { return m_primitives; }

  // The 4096 primitive descriptions, in index order.
  void WritePrimitiveTypes(CvDescriptionSink& sink) const;

  // Takes the global type table from its subsection bytes: signature 1, the type
  // count, one offset per type (counted from the end of the offsets), then each record
  // (u16 length, leaf, body). A status: 0, or 8 when a field does not fit.
  uint32_t ReadGlobalTypes(std::vector<uint8_t> subsection, CvDescriptionSink* pump = nullptr);
  // Translates the global types in index order, then writes the lists they opened. A
  // type that cannot be translated (a calling convention or leaf it does not know, a
  // reference past the table) becomes the null type for its index, with what it began
  // taken back, and the pass goes on with the next type; the status is then 8, so
  // that the load still says that part of the file was not understood. The messages
  // 2063-2066 are raised for a reference to a record of the wrong kind.
  uint32_t TranslateGlobalTypes(CvDescriptionSink& sink);

  // The number of global types of the file (0 before they were read).
  uint32_t GlobalTypeCount() const { return m_typeCount; }
  // The table index of a CodeView index: t + 1 for a primitive, and for a global type
  // t + 1 after the enumeration lists written ahead of the global types; false for an
  // index the file has no type for or the description format cannot address.
  bool TableIndexOf(uint32_t cvIndex, uint32_t& tableIndex) const;
  // Size in bytes of a type (primitives by their bits, compound types by their leaf).
  // A reference the file cannot resolve raises CvFormatFault.
  uint32_t SizeOf(uint32_t cvIndex) const;

  uint32_t UnknownLeafCount() const { return m_unknownLeaves; }
  // The lists the last translation wrote after the global types.
  uint32_t ListCount() const { return m_listCount; }
  // The enumeration lists the last translation wrote ahead of the global types.
  uint32_t ListsAhead() const { return m_listsAhead; }

 private:
  // Table indices of the lists made for a field list (0: not made yet).
  struct MemberLists {
    uint32_t m_types = 0;
    uint32_t m_names = 0;
  };
  struct EnumerationLists {
    uint32_t m_names = 0;
    uint32_t m_values = 0;
  };

  std::span<const uint8_t> RecordOf(uint32_t cvIndex) const;
  uint32_t SizeOf(uint32_t cvIndex, uint32_t depth) const;
  // The record of a global type that must be a list of the given leaf; raises the
  // message when it is another record (or a primitive).
  CvByteCursor ListRecord(uint32_t cvIndex, uint16_t leaf, uint32_t message) const;

  void Translate(uint32_t cvIndex, std::vector<uint8_t>& out);
  void TranslateAggregate(uint16_t leaf, CvByteCursor& record, std::vector<uint8_t>& out);
  void TranslateUnion(CvByteCursor& record, std::vector<uint8_t>& out);
  void TranslateEnumeration(CvByteCursor& record, std::vector<uint8_t>& out);
  void TranslateProcedure(uint16_t leaf, CvByteCursor& record, std::vector<uint8_t>& out);
  void TranslateUnknown(std::vector<uint8_t>& out);

  void AppendReference(std::vector<uint8_t>& out, uint32_t cvIndex) const;
  // Opens a list (or a parameter record) whose description begins with `leading`;
  // its table index. The lists take the indices after the last global type, in the
  // order they are opened; while the enumerations are read ahead, the indices right
  // after the primitives.
  uint32_t OpenList(uint8_t leading);
  // Makes the names and values lists of every enumeration before the global types, so
  // that each list is defined before the enumeration that names it (the library
  // takes an enumeration whose names list is not yet defined for a subrange).
  void ReadEnumerationsAhead();
  std::vector<uint8_t>& List(uint32_t tableIndex);

  MemberLists FieldLists(uint32_t fieldList);
  EnumerationLists EnumeratorLists(uint32_t fieldList);
  uint32_t ArgumentList(uint32_t argList);
  const std::vector<MemberLists>& UnionMembers(uint32_t fieldList);
  // Reads the field of a field list whose leaf was just read into the lists;
  // position is the byte offset the members have reached.
  void ReadField(CvByteCursor& record, uint16_t leaf, const MemberLists& lists, int64_t& position);
  void AppendMember(const MemberLists& lists, std::string_view name, uint32_t cvType, int64_t offset,
                    int64_t& position);
  void SkipPadding(CvByteCursor& record) const;

  // The cache position of a global type; 2053 for an index outside the cache.
  uint32_t CacheSlot(uint32_t cvIndex) const;
  // Drops the lists and caches of a translation pass.
  void ReleasePass();
  // What a type's translation may take back: the lists it opened, the caches it
  // filled and the base classes it counted. A translation that fails is undone to its
  // mark, so a type after it finds nothing half made.
  struct TranslationMark {
    size_t m_lists = 0;
    size_t m_unionMembers = 0;
    size_t m_journal = 0;
    uint32_t m_baseClasses = 0;
  };
  TranslationMark Mark() const;
  void UndoTo(const TranslationMark& mark);
  // Notes a cache slot filled by the type being translated (kind: 0 field lists, 1
  // enumerations, 2 arguments, 3 unions).
  void Journal(uint8_t kind, uint32_t slot) { m_cacheJournal.push_back({kind, slot}); }

  CvPrimitiveMap m_primitives;
  std::vector<uint8_t> m_bytes;
  std::vector<std::span<const uint8_t>> m_records;
  uint32_t m_typeCount = 0;
  // Per global type: the lists made for it as a field list, an enumerator list, an
  // argument list (table indices, 0: none yet) or the members of a union (1 + the
  // position in m_unionMembers, 0: none yet).
  std::vector<MemberLists> m_fieldListCache;
  std::vector<EnumerationLists> m_enumerationCache;
  std::vector<uint32_t> m_argumentCache;
  std::vector<uint32_t> m_unionCache;
  std::vector<std::vector<MemberLists>> m_unionMembers;
  // The descriptions of the lists, in the order they were opened: those written ahead
  // of the global types, and those written after them.
  std::vector<std::vector<uint8_t>> m_ahead;
  std::vector<std::vector<uint8_t>> m_pending;
  bool m_openingAhead = false;
  // Kept after the pass, for the table indices the symbol readers ask for.
  uint32_t m_listsAhead = 0;
  struct CacheEntry {
    uint8_t m_kind;
    uint32_t m_slot;
  };
  std::vector<CacheEntry> m_cacheJournal;
  uint32_t m_listCount = 0;
  // What is left of kCvLargestMemberGap for the field list being read.
  uint32_t m_gapBudget = 0;
  uint32_t m_unknownLeaves = 0;
  uint32_t m_baseClasses = 0;
};

}  // namespace zentor
