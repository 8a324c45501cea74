#pragma once
// Type definitions reach the symbol table as strings of leaf bytes: a loader begins a
// definition, hands its bytes over one at a time and ends it. The TypeDescriptionState
// of the current symbol context parses the bytes with a table-driven pushdown machine,
// collects what they say and, when the definition ends, fills the definition's slot of
// the type directory and writes the type records and list elements that hang off it.
// The loaders (through the loader library) write; the type names, symbol objects and
// the expression parser read what was written.

#include <cstdint>
#include <string>
#include <vector>

#include "symbols/symbol_context.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

#include "support/rw_cstring.h"

namespace zentor {

class LoaderState;
class PageCache;

// "Type definition record with unrecognizable format." (WARNING): a numeric leaf of
// an unknown form; the definition ends in the error state and the load goes on.
inline constexpr uint32_t kMsgUnrecognizableTypeDefinition = 336;

// Leaf codes of the type-definition byte strings.
enum TypeLeaf : uint8_t {
  kLeafCheckFirst = 0x5b,      // 0x5b..0x5e: check byte closing a procedure definition
  kLeafCheckLast = 0x5e,
  kLeafVoid = 0x5a,
  kLeafNear = 0x5f,            // pointer kinds / calling conventions
  kLeafFar = 0x60,
  kLeafConventionA = 0x63,     // further calling conventions of loader format 20
  kLeafConventionB = 0x64,
  kLeafSelector = 0x65,
  kLeafFile = 0x67,
  kLeafPacked = 0x68,
  kLeafNotPacked = 0x69,
  kLeafSet = 0x6a,
  kLeafBoolean = 0x6c,
  kLeafCharacter = 0x6f,
  kLeafInteger = 0x70,
  kLeafConst = 0x71,
  kLeafLabel = 0x72,
  kLeafNearReference = 0x73,
  kLeafFarReference = 0x74,
  kLeafProcedure = 0x75,
  kLeafParameter = 0x76,
  kLeafArray = 0x78,
  kLeafStructure = 0x79,
  kLeafPointer = 0x7a,
  kLeafScalar = 0x7b,
  kLeafUnsigned = 0x7c,
  kLeafSigned = 0x7d,
  kLeafReal = 0x7e,
  kLeafList = 0x7f,
  kLeafNone = 0x80,            // no index, no name, the number 0, the null type
  kLeafNoIndex = 0x81,
  kLeafName = 0x82,
  kLeafIndex = 0x83,
  kLeafUnsigned2 = 0x85,
  kLeafUnsigned4 = 0x86,
  kLeafSigned1 = 0x88,
  kLeafSigned2 = 0x89,
  kLeafSigned4 = 0x8a,
  kLeafUnsigned3 = 0x8c,
  kLeafClass = 0x8d,
  kLeafConventionC = 0x95,
  kLeafConventionD = 0x96,
  kLeafConventionE = 0x99,
  kLeafNearPointer = 0x9a,     // loader format 20: 32-bit pointer
  kLeafShortPointer = 0x9b,    // loader format 20: 16-bit offset
  kLeafBitField = 0x9d,
  kLeafVolatile = 0x9e,
  kLeafQualified = 0x9f,
  kLeafComplex = 0xa0,
};

// Loader formats the library tells apart.
inline constexpr uint32_t kLoaderFormat19 = 19;
inline constexpr uint32_t kLoaderFormat20 = 20;

// The states of the definition parser. Reading states take bytes; action states run
// once, right after the sub-parse that precedes them has taken its last byte, and only
// move collected fields.
enum TypeParserState : uint32_t {
  kParseStart = 0,
  kParseError = 1,
  kParseDone = 2,
  kParseNumeric = 3,
  kParseNumericBytes = 4,
  kParseIndex = 5,
  kParseIndexBody = 6,
  kParseIndexLow = 7,
  kParseName = 8,
  kParseNameLength = 9,
  kParseNameChars = 10,
  kParseValue = 11,
  kParsePacking = 12,
  kParseLabelMark = 13,
  kParseLabelKind = 14,
  kParseProcedureMark = 15,
  kParseProcedureConvention = 16,
  kParseProcedureCheck = 17,
  kParseArrayTail = 18,
  kParseAggregateForm = 19,
  kParseUnionMark1 = 20,
  kParseUnionMark2 = 21,
  kParseUnionGroup = 22,
  kParseScalarSubKind = 23,
  kParseScalarForm = 24,
  kParseSecondSubKind = 25,
  kParseBoundPart = 26,
  kParseListValue = 27,
  kStoreReferenced = 28,
  kStoreQualifierTarget = 29,
  kStoreQualifierValue = 30,
  kStoreFilePacking = 31,
  kStoreResult = 32,
  kStoreSizeBits = 33,
  kStoreArrayElement = 34,
  kStoreArrayIndex = 35,
  kStoreArrayPacking = 36,
  kStoreArrayNumber = 37,
  kStoreMemberCount = 38,
  kStoreMemberTypeList = 39,
  kStoreMemberNameList = 40,
  kStoreAggregatePacking = 41,
  kStoreGroupCount = 42,
  kStoreGroupA = 43,
  kStoreGroupB = 44,
  kStoreEnumeratorList = 45,
  kStoreLowerBound = 46,
  kStoreUpperBound = 47,
  kStoreListElement = 48,
  kStoreBitPosition = 49,
  kParserStateCount = 50,
};

// The name of a parser state ("error", "numeric", "store lower bound", ...); "?" for
// a number that is no state.
const char* TypeParserStateName(uint32_t state);
bool IsTypeParserActionState(uint32_t state);

// The parser of type definitions and what it has collected of the definition begun
// last: the shared type-description part of a symbol context. The loader library's
// defining operations drive it; everything it writes goes through the context's loader
// state and page cache.
class TypeDescriptionState : public SharedContextPart {
 public:
  // The longest type name kept; a longer name read from a definition is cut to it.
  static constexpr uint32_t kMaxTypeName = 254;
  // The parser stack never needs more than a handful of entries; a deeper stack can
  // only come from a definition that nests without end and ends in the error state.
  static constexpr uint32_t kMaxStackDepth = 64;

  TypeDescriptionState();
  ~TypeDescriptionState() override;
  TypeDescriptionState* AsTypeDescriptionState() override { return this; }

  // The defining operations on explicit parts (the free functions below use the
  // current symbol context's).
  // A new slot of category 12 (the definition of the single byte 0x80).
  uint32_t DefineNullType(LoaderState& loader, PageCache& cache);
  // A new slot (category 11 until the definition ends) and a parser at its start.
  uint32_t BeginTypeDefinition(LoaderState& loader, PageCache& cache);
  // One byte of the definition begun last.
  void TypeDefinitionByte(LoaderState& loader, PageCache& cache, uint8_t byte);
  // The same for each of `count` bytes in turn.
  void TypeDefinitionBytes(LoaderState& loader, PageCache& cache, const uint8_t* bytes, uint32_t count);
  // Completes the slot from what was read.
  void EndTypeDefinition(LoaderState& loader, PageCache& cache);

  // Observations of the parser (diagnostics and tests).
  uint32_t ParserState() const { return m_state; }
  bool InErrorState() const { return m_state == kParseError; }
  bool DefinitionOpen() const { return m_definitionOpen; }
  // The index of the slot of the definition begun last (0 before any).
  uint32_t DefinitionIndex() const { return m_definitionIndex; }

 private:
  // The parser's handlers and its table of states live with the implementation.
  friend struct TypeParser;

  struct StackEntry {
    uint32_t m_state;
    uint32_t m_runNow;
  };
  // The parser's stack, in place: the depth is checked before each step, and one step
  // pushes at most kMostPushesPerStep entries, so it never holds more than the sum.
  class ParserStack {
   public:
    static constexpr uint32_t kMostPushesPerStep = 8;
    static constexpr uint32_t kCapacity = kMaxStackDepth + 1 + kMostPushesPerStep;
    void push_back(const StackEntry& entry);
    const StackEntry& back() const { return m_entries[m_size - 1]; }
    void pop_back() { --m_size; }
    bool empty() const { return m_size == 0; }
    uint32_t size() const { return m_size; }
    void clear() { m_size = 0; }

   private:
    StackEntry m_entries[kCapacity];
    uint32_t m_size = 0;
  };
  // Everything one definition collects; reset when a definition begins, so nothing of
  // a definition leaks into the next one.
  struct Collected {
    uint8_t m_leadingLeaf = 0;
    uint32_t m_subKindSeen = 0;
    // Numeric leaf being read.
    uint8_t m_numericLeaf = 0;
    uint32_t m_numericValue = 0;
    uint32_t m_numericLength = 0;
    uint32_t m_numericSigned = 0;
    uint32_t m_numericHigh = 0;
    uint32_t m_byteCounter = 0;
    // Type index being read and the last one read (module type base added).
    uint8_t m_indexFirstByte = 0;
    uint32_t m_lastTypeIndex = 0;
    // The last value leaf: its code and kind (0 name, 1 type index, 2 number).
    uint8_t m_valueLeaf = 0;
    uint8_t m_valueKind = 0;
    std::string m_valueText;
    // Name being read: into the definition's name or the value's text.
    bool m_nameIsValue = false;
    uint32_t m_nameLength = 0;
    uint32_t m_nameRead = 0;
    bool m_nameStopped = false;
    bool m_definitionNameRead = false;
    std::string m_name;
    uint8_t m_lastPacking = 0;
    // Scalars.
    uint32_t m_sizeBits = 0;
    uint32_t m_referenceScalar = 0;
    uint8_t m_subKind = 0;
    uint8_t m_secondSubKind = 0;
    uint32_t m_enumeratorList = 0;
    uint32_t m_boundPart = 0;
    uint32_t m_lowerBound = 0;
    uint8_t m_lowerBoundLeaf = 0;
    uint32_t m_lowerBoundHigh = 0;
    uint32_t m_upperBound = 0;
    uint32_t m_upperBoundHigh = 0;
    uint32_t m_setSeen = 0;
    uint32_t m_format19BitField = 0;
    uint32_t m_bitPosition = 0;
    // Pointers, void, parameters, format-20 leaves.
    uint8_t m_pointerKind = 0;
    uint32_t m_referencedIndex = 0;
    // Qualified types.
    uint32_t m_qualifierTarget = 0;
    uint8_t m_trailingLeaf = 0;
    uint32_t m_trailingValue = 0;
    uint32_t m_trailingHigh = 0;
    // Files and procedures.
    uint8_t m_filePacking = 0;
    uint32_t m_resultIndex = 0;
    uint8_t m_convention = 0;
    uint8_t m_checkByte = 0;
    // Arrays.
    uint32_t m_arrayElement = 0;
    uint32_t m_arrayIndex = 0;
    uint8_t m_arrayPacking = kLeafNotPacked;
    uint16_t m_arrayNumber = 0;
    // Aggregates; the union form's index lists.
    uint32_t m_memberCount = 0;
    uint32_t m_memberTypeList = 0;
    uint32_t m_memberNameList = 0;
    uint8_t m_aggregatePacking = 0;
    uint8_t m_structureForm = 0;
    uint32_t m_unionForm = 0;
    uint32_t m_groupsRead = 0;
    RecordHandle m_firstA;
    std::vector<uint32_t> m_groupB;
    // Lists.
    uint32_t m_listOpen = 0;
    RecordHandle m_firstElement;
  };

  void ResetForDefinition();

  uint32_t m_state = kParseDone;
  ParserStack m_stack;
  bool m_definitionOpen = false;
  uint32_t m_definitionIndex = 0;
  Collected m_fields;
};

// The defining operations on the current symbol context (the loaders' calling order:
// a definition of the single byte 0x80 is DefineNullType; any other is
// BeginTypeDefinition, TypeDefinitionByte for each byte, EndTypeDefinition).
uint32_t DefineNullType();
// DefineNullType `count` times: the current context's state is looked up once.
void DefineNullTypes(uint32_t count);
uint32_t BeginTypeDefinition();
void TypeDefinitionByte(uint8_t byte);
// The same for a run of bytes: the current context's state is looked up once.
void TypeDefinitionBytes(const uint8_t* bytes, uint32_t count);
void EndTypeDefinition();

// Patches a type reference to point at `newIndex` + 1. With `patchFlag` 0 the entry of
// `typeIndex` gets it as its reference word. Otherwise by the entry's category: a list
// (8) its `element`-th index element (counted from 1); a union (16) the first element
// of the list named by the `element`-th element of its first-group list (each element
// met on the way must name a list); an array (9) its element type. Answers 0, or -1
// when the category takes no patch or the element is not there (nothing changes).
int32_t SetTypeReference(uint32_t patchFlag, uint32_t element, uint32_t typeIndex, uint32_t newIndex);
int32_t SetTypeReference(LoaderState& loader, PageCache& cache, uint32_t patchFlag, uint32_t element,
                         uint32_t typeIndex, uint32_t newIndex);

}  // namespace zentor
