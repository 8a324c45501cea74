#include "symbols/type_translation.h"

#include "symbols/loader_library.h"
#include "symbols/page_cache.h"

#include "core/dv_error.h"

#include <iterator>

namespace zentor {

// The definition parser. Each state of the machine is a row of the state table below:
// its number, name, whether it is an action state, and its handler. A handler gets the
// byte and answers what it did with it:
//   Wait    the byte is taken; the (possibly new) state waits for the next one;
//   Again   the byte is not taken; the new state reads it;
//   Return  the byte is taken and the sub-parse is complete: the stack is popped.
// A popped entry whose run-now flag is set is an action state: it runs at once, moves
// collected fields and returns (or sets up the next reading state and waits); any
// other popped state waits for the next byte. Sub-parses are entered by pushing what
// follows them, innermost last.
struct TypeParser {
  using Self = TypeDescriptionState;
  enum class Step : uint8_t { Wait, Again, Return };

  // What a step works on. The parser's own parts are named one by one: the state
  // object is polymorphic, and a checked build verifies its dynamic type at every
  // member reached through it, which every byte did several times over.
  struct Env {
    Env(Self& state, LoaderState& loader, PageCache& cache)
        : m_state(state), m_fields(state.m_fields), m_stack(state.m_stack), m_current(state.m_state),
          m_loader(loader), m_cache(cache), m_typeRecords(loader.Writer(kTypeRecordChain)),
          m_namePool(loader.NamePool()), m_typeBase(loader.ModuleTypeBase()), m_format(loader.LoaderFormat()) {}
    Self& m_state;
    Self::Collected& m_fields;
    Self::ParserStack& m_stack;
    uint32_t& m_current;
    LoaderState& m_loader;
    PageCache& m_cache;
    // The loader's parts and settings the steps use; none changes while bytes are fed.
    RecordChainWriter& m_typeRecords;
    RecordChainWriter& m_namePool;
    uint32_t m_typeBase;
    uint32_t m_format;
  };
  using Handler = Step (*)(Env&, uint8_t);
  struct Row {
    uint32_t m_state;
    const char* m_name;
    bool m_action;
    Handler m_handler;
  };

  // A byte moves the machine through a few states at most; more can only be a fault
  // of the table.
  static constexpr uint32_t kMaxStepsPerByte = 64;

  static Self::Collected& Fields(Env& env) { return env.m_fields; }
  static void Push(Env& env, uint32_t state, bool runNow) {
    env.m_stack.push_back(Self::StackEntry{state, runNow ? 1u : 0u});
  }
  static Step Goto(Env& env, uint32_t state, Step step = Step::Wait) {
    env.m_current = state;
    return step;
  }
  static Step Fail(Env& env) { return Goto(env, kParseError); }
  static uint32_t Format(Env& env) { return env.m_format; }

  static uint32_t ValueWord(const Self::Collected& fields) {
    switch (fields.m_valueKind) {
      case 0:
        return fields.m_valueText.empty() ? 0u : static_cast<uint8_t>(fields.m_valueText[0]);
      case 1:
        return fields.m_lastTypeIndex;
      default:
        return fields.m_numericValue;
    }
  }
  static uint32_t ValueHigh(const Self::Collected& fields) {
    return fields.m_valueKind == 2 ? fields.m_numericHigh : 0u;
  }

  // ---- reading states

  static Step Start(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_leadingLeaf = byte;
    switch (byte) {
      case kLeafVoid:
      case kLeafParameter:
      case kLeafPointer:
        Push(env, kParseDone, false);
        Push(env, kStoreReferenced, true);
        return Goto(env, kParseIndex);
      case kLeafSelector:
      case kLeafNone:
      case kLeafComplex:
        return Goto(env, kParseDone);
      case kLeafFile:
        Push(env, kParseDone, false);
        Push(env, kStoreFilePacking, true);
        Push(env, kParsePacking, false);
        Push(env, kParseName, false);
        return Goto(env, kParseIndex);
      case kLeafConst:
      case kLeafVolatile:
      case kLeafQualified:
        Push(env, kParseDone, false);
        Push(env, kStoreQualifierValue, true);
        Push(env, kParseValue, false);
        Push(env, kStoreQualifierTarget, true);
        return Goto(env, kParseIndex);
      case kLeafLabel:
        return Goto(env, kParseLabelMark);
      case kLeafProcedure:
        return Goto(env, kParseProcedureMark);
      case kLeafArray:
        f.m_arrayPacking = kLeafNotPacked;
        Push(env, kParseArrayTail, false);
        Push(env, kStoreArrayIndex, true);
        Push(env, kParseIndex, false);
        Push(env, kStoreArrayElement, true);
        Push(env, kParseIndex, false);
        Push(env, kStoreSizeBits, true);
        return Goto(env, kParseNumeric);
      case kLeafStructure:
      case kLeafClass:
        f.m_structureForm = 1;
        Push(env, kParseAggregateForm, false);
        Push(env, kStoreMemberTypeList, true);
        Push(env, kParseIndex, false);
        Push(env, kStoreMemberCount, true);
        Push(env, kParseNumeric, false);
        Push(env, kStoreSizeBits, true);
        return Goto(env, kParseNumeric);
      case kLeafScalar:
        Push(env, kParseScalarSubKind, false);
        Push(env, kStoreSizeBits, true);
        return Goto(env, kParseNumeric);
      case kLeafList:
        f.m_listOpen = 1;
        return Goto(env, kParseListValue);
      case kLeafNearPointer:
      case kLeafShortPointer:
        Push(env, kParseDone, false);
        Push(env, kParseName, false);
        Push(env, kStoreReferenced, true);
        return Goto(env, kParseIndex);
      case kLeafBitField:
        // Bit count, a second number the loaders write as 0 (any numeric leaf is
        // taken), bit position.
        Push(env, kParseDone, false);
        Push(env, kStoreBitPosition, true);
        Push(env, kParseNumeric, false);
        Push(env, kParseNumeric, false);
        Push(env, kStoreSizeBits, true);
        return Goto(env, kParseNumeric);
      default:
        return Fail(env);
    }
  }

  // The error and done states take every further byte and do nothing with it.
  static Step Idle(Env&, uint8_t) { return Step::Wait; }

  // A numeric leaf: a byte below 0x80 is the value, 0x80 is 0, the prefix leaves
  // announce 1 to 4 value bytes, little-endian, signed forms sign-extended (the high
  // word is 1 for a negative value). An unknown prefix is reported as a warning and
  // ends the definition in the error state.
  static Step Numeric(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_numericLeaf = byte;
    f.m_numericValue = 0;
    f.m_numericHigh = 0;
    f.m_numericSigned = 0;
    f.m_numericLength = 0;
    f.m_byteCounter = 0;
    if (byte < kLeafNone) {
      f.m_numericValue = byte;
      return Step::Return;
    }
    switch (byte) {
      case kLeafNone:
        return Step::Return;
      case kLeafUnsigned2:
        f.m_numericLength = 2;
        break;
      case kLeafUnsigned4:
        f.m_numericLength = 4;
        break;
      case kLeafSigned1:
        f.m_numericLength = 1;
        f.m_numericSigned = 1;
        break;
      case kLeafSigned2:
        f.m_numericLength = 2;
        f.m_numericSigned = 1;
        break;
      case kLeafSigned4:
        f.m_numericLength = 4;
        f.m_numericSigned = 1;
        break;
      case kLeafUnsigned3:
        f.m_numericLength = 3;
        break;
      default: {
        DVError warning(kMsgUnrecognizableTypeDefinition, kSeverityWarning);
        ThrowIfError(warning);
        return Fail(env);
      }
    }
    return Goto(env, kParseNumericBytes);
  }

  static Step NumericBytes(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_numericValue |= static_cast<uint32_t>(byte) << (8 * f.m_byteCounter);
    if (++f.m_byteCounter < f.m_numericLength) return Step::Wait;
    if (f.m_numericSigned != 0 && f.m_numericLength < 4) {
      const uint32_t signBit = 1u << (8 * f.m_numericLength - 1);
      if ((f.m_numericValue & signBit) != 0) f.m_numericValue |= ~((signBit << 1) - 1);
    }
    if (f.m_numericSigned != 0 && (f.m_numericValue & 0x80000000u) != 0) f.m_numericHigh = 1;
    return Step::Return;
  }

  // A type index: 0x83 and one byte below 0x80, or two bytes of which the first has
  // bit 7 set; the module type base is added. 0x80 and 0x81 stand for no index (0).
  static Step Index(Env& env, uint8_t byte) {
    if (byte == kLeafIndex) return Goto(env, kParseIndexBody);
    if (byte == kLeafNone || byte == kLeafNoIndex) {
      Fields(env).m_lastTypeIndex = 0;
      return Step::Return;
    }
    return Fail(env);
  }

  static Step IndexBody(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (byte < 0x80) {
      f.m_lastTypeIndex = byte + env.m_typeBase;
      return Step::Return;
    }
    f.m_indexFirstByte = byte;
    return Goto(env, kParseIndexLow);
  }

  static Step IndexLow(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_lastTypeIndex = ((static_cast<uint32_t>(f.m_indexFirstByte & 0x7f) << 8) | byte) + env.m_typeBase;
    return Step::Return;
  }

  // The definition's name: 0x82, a length byte and the characters. 0x80 (no name)
  // ends the definition: nothing after it is read.
  static Step Name(Env& env, uint8_t byte) {
    if (byte == kLeafName) {
      Fields(env).m_nameIsValue = false;
      return Goto(env, kParseNameLength);
    }
    if (byte == kLeafNone) {
      env.m_stack.clear();
      return Goto(env, kParseDone);
    }
    return Fail(env);
  }

  static Step NameLength(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_nameLength = byte;
    f.m_nameRead = 0;
    f.m_nameStopped = false;
    if (f.m_nameIsValue) {
      f.m_valueText.clear();
    } else {
      f.m_name.clear();
      f.m_definitionNameRead = true;
    }
    if (byte == 0) return Step::Return;
    return Goto(env, kParseNameChars);
  }

  // At most 254 characters are kept, and nothing after a NUL (a stored name is
  // NUL-terminated); the rest of the name's bytes are still taken.
  static Step NameChars(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    std::string& text = f.m_nameIsValue ? f.m_valueText : f.m_name;
    if (byte == 0) f.m_nameStopped = true;
    if (!f.m_nameStopped && text.size() < Self::kMaxTypeName) text.push_back(static_cast<char>(byte));
    ++f.m_nameRead;
    return f.m_nameRead >= f.m_nameLength ? Step::Return : Step::Wait;
  }

  // A value leaf: a name (its first character is its value), a type index, or a
  // number.
  static Step Value(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    f.m_valueLeaf = byte;
    if (byte == kLeafName) {
      f.m_valueKind = 0;
      f.m_nameIsValue = true;
      return Goto(env, kParseNameLength);
    }
    if (byte == kLeafIndex) {
      f.m_valueKind = 1;
      return Goto(env, kParseIndexBody);
    }
    f.m_valueKind = 2;
    return Goto(env, kParseNumeric, Step::Again);
  }

  static Step Packing(Env& env, uint8_t byte) {
    if (byte != kLeafPacked && byte != kLeafNotPacked) return Fail(env);
    Fields(env).m_lastPacking = byte;
    return Step::Return;
  }

  static bool IsPointerKind(uint8_t byte) {
    return byte == kLeafNear || byte == kLeafFar || byte == kLeafNearReference || byte == kLeafFarReference;
  }

  static Step LabelMark(Env& env, uint8_t byte) {
    return byte == kLeafNone ? Goto(env, kParseLabelKind) : Fail(env);
  }

  static Step LabelKind(Env& env, uint8_t byte) {
    if (!IsPointerKind(byte)) return Fail(env);
    Fields(env).m_pointerKind = byte;
    return Goto(env, kParseDone);
  }

  // 0x75 0x80, result type index, calling convention, parameter count, parameter
  // list index, check byte.
  static Step ProcedureMark(Env& env, uint8_t byte) {
    if (byte != kLeafNone) return Fail(env);
    Push(env, kParseProcedureCheck, false);
    Push(env, kParseIndex, false);
    Push(env, kParseNumeric, false);
    Push(env, kParseProcedureConvention, false);
    Push(env, kStoreResult, true);
    return Goto(env, kParseIndex);
  }

  // Format 20 knows further conventions, and there any other byte in this place is
  // passed over.
  static Step ProcedureConvention(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (IsPointerKind(byte)) {
      f.m_convention = byte;
      return Step::Return;
    }
    if (Format(env) != kLoaderFormat20) return Fail(env);
    if (byte == kLeafConventionA || byte == kLeafConventionB || byte == kLeafConventionC ||
        byte == kLeafConventionD || byte == kLeafConventionE) {
      f.m_convention = byte;
    }
    return Step::Return;
  }

  static Step ProcedureCheck(Env& env, uint8_t byte) {
    if (byte < kLeafCheckFirst || byte > kLeafCheckLast) return Fail(env);
    Fields(env).m_checkByte = byte;
    return Goto(env, kParseDone);
  }

  // After an array's index type: a name and a packing leaf, or a number that ends the
  // definition.
  static Step ArrayTail(Env& env, uint8_t byte) {
    Push(env, kParseDone, false);
    if (byte == kLeafName) {
      Push(env, kStoreArrayPacking, true);
      Push(env, kParsePacking, false);
      return Goto(env, kParseName, Step::Again);
    }
    Push(env, kStoreArrayNumber, true);
    return Goto(env, kParseNumeric, Step::Again);
  }

  // After the member-type list: 0x83 and the member-name list, a name and a packing
  // leaf (a structure or class); or 0x80, a name, a packing leaf, the group count, two
  // 0x80 and the groups (a union).
  static Step AggregateForm(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (byte == kLeafIndex) {
      Push(env, kParseDone, false);
      Push(env, kStoreAggregatePacking, true);
      Push(env, kParsePacking, false);
      Push(env, kParseName, false);
      Push(env, kStoreMemberNameList, true);
      return Goto(env, kParseIndexBody);
    }
    if (byte == kLeafNone) {
      f.m_unionForm = 1;
      f.m_structureForm = 0;
      Push(env, kParseUnionMark1, false);
      Push(env, kStoreGroupCount, true);
      Push(env, kParseNumeric, false);
      Push(env, kStoreAggregatePacking, true);
      Push(env, kParsePacking, false);
      return Goto(env, kParseName);
    }
    return Fail(env);
  }

  static Step UnionMark1(Env& env, uint8_t byte) {
    return byte == kLeafNone ? Goto(env, kParseUnionMark2) : Fail(env);
  }

  static Step UnionMark2(Env& env, uint8_t byte) {
    if (byte != kLeafNone) return Fail(env);
    return Goto(env, Fields(env).m_memberCount == 0 ? kParseDone : kParseUnionGroup);
  }

  // One group: the byte 1, type index A, type index B.
  static Step UnionGroup(Env& env, uint8_t byte) {
    if (byte != 1) return Fail(env);
    Push(env, kStoreGroupB, true);
    Push(env, kParseIndex, false);
    Push(env, kStoreGroupA, true);
    return Goto(env, kParseIndex);
  }

  // The scalar's sub-kind: unsigned, signed or real (then the form), a reference
  // scalar (type index and name), or under format 19 0x80, a bit field.
  static Step ScalarSubKind(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (byte == kLeafUnsigned || byte == kLeafSigned || byte == kLeafReal) {
      f.m_subKind = byte;
      f.m_subKindSeen = 1;
      return Goto(env, kParseScalarForm);
    }
    if (byte == kLeafIndex) {
      f.m_subKind = byte;
      f.m_subKindSeen = 1;
      f.m_referenceScalar = 1;
      Push(env, kParseDone, false);
      Push(env, kParseName, false);
      Push(env, kStoreReferenced, true);
      return Goto(env, kParseIndexBody);
    }
    if (byte == kLeafNone && Format(env) == kLoaderFormat19) {
      f.m_subKind = byte;
      f.m_subKindSeen = 1;
      f.m_format19BitField = 1;
      return Goto(env, kParseScalarForm);
    }
    return Fail(env);
  }

  // 0x6a: a set (name, packing leaf, base type); 0x80: the second sub-kind follows;
  // a name, then the second sub-kind.
  static Step ScalarForm(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (byte == kLeafSet) {
      f.m_setSeen = 1;
      Push(env, kParseDone, false);
      Push(env, kParseIndex, false);
      Push(env, kParsePacking, false);
      return Goto(env, kParseName);
    }
    if (byte == kLeafNone) return Goto(env, kParseSecondSubKind);
    if (byte == kLeafName) {
      Push(env, kParseSecondSubKind, false);
      return Goto(env, kParseName, Step::Again);
    }
    return Fail(env);
  }

  static Step SecondSubKind(Env& env, uint8_t byte) {
    Self::Collected& f = Fields(env);
    if (byte == kLeafBoolean || byte == kLeafCharacter || byte == kLeafInteger || byte == kLeafReal) {
      f.m_secondSubKind = byte;
      return Goto(env, kParseBoundPart);
    }
    if (byte == kLeafIndex) {
      f.m_secondSubKind = byte;
      Push(env, kParseBoundPart, false);
      Push(env, kStoreEnumeratorList, true);
      return Goto(env, kParseIndexBody);
    }
    return Fail(env);
  }

  static Step BoundPart(Env& env, uint8_t byte) {
    if (byte == kLeafNone) return Goto(env, kParseDone);
    Fields(env).m_boundPart = 1;
    Push(env, kParseDone, false);
    Push(env, kStoreUpperBound, true);
    Push(env, kParseValue, false);
    Push(env, kStoreLowerBound, true);
    return Goto(env, kParseValue, Step::Again);
  }

  static Step ListValue(Env& env, uint8_t) {
    Push(env, kParseListValue, false);
    Push(env, kStoreListElement, true);
    return Goto(env, kParseValue, Step::Again);
  }

  // ---- action states

  static Step StoreReferenced(Env& env, uint8_t) {
    Fields(env).m_referencedIndex = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreQualifierTarget(Env& env, uint8_t) {
    Fields(env).m_qualifierTarget = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreQualifierValue(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    f.m_trailingLeaf = f.m_valueLeaf;
    f.m_trailingValue = ValueWord(f);
    f.m_trailingHigh = ValueHigh(f);
    return Step::Return;
  }
  static Step StoreFilePacking(Env& env, uint8_t) {
    Fields(env).m_filePacking = Fields(env).m_lastPacking;
    return Step::Return;
  }
  static Step StoreResult(Env& env, uint8_t) {
    Fields(env).m_resultIndex = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreSizeBits(Env& env, uint8_t) {
    Fields(env).m_sizeBits = Fields(env).m_numericValue;
    return Step::Return;
  }
  static Step StoreArrayElement(Env& env, uint8_t) {
    Fields(env).m_arrayElement = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreArrayIndex(Env& env, uint8_t) {
    Fields(env).m_arrayIndex = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreArrayPacking(Env& env, uint8_t) {
    Fields(env).m_arrayPacking = Fields(env).m_lastPacking;
    return Step::Return;
  }
  static Step StoreArrayNumber(Env& env, uint8_t) {
    Fields(env).m_arrayNumber = static_cast<uint16_t>(Fields(env).m_numericValue);
    return Step::Return;
  }
  static Step StoreMemberCount(Env& env, uint8_t) {
    Fields(env).m_memberCount = Fields(env).m_numericValue;
    return Step::Return;
  }
  static Step StoreMemberTypeList(Env& env, uint8_t) {
    Fields(env).m_memberTypeList = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreMemberNameList(Env& env, uint8_t) {
    Fields(env).m_memberNameList = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreAggregatePacking(Env& env, uint8_t) {
    Fields(env).m_aggregatePacking = Fields(env).m_lastPacking;
    return Step::Return;
  }
  static Step StoreGroupCount(Env& env, uint8_t) {
    Fields(env).m_memberCount = Fields(env).m_numericValue;
    return Step::Return;
  }
  // Index A goes to the type-record chain at once; the first one's handle names the
  // list of A indices.
  static Step StoreGroupA(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    const RecordHandle element =
        AppendListIndexElement(env.m_cache, env.m_typeRecords, f.m_lastTypeIndex);
    if (f.m_firstA.IsNone()) f.m_firstA = element;
    return Step::Return;
  }
  // Index B is collected; its list is written when the definition ends, after the A
  // list. After the last group the definition is complete.
  static Step StoreGroupB(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    f.m_groupB.push_back(f.m_lastTypeIndex);
    ++f.m_groupsRead;
    return Goto(env, f.m_groupsRead < f.m_memberCount ? kParseUnionGroup : kParseDone);
  }
  static Step StoreEnumeratorList(Env& env, uint8_t) {
    Fields(env).m_enumeratorList = Fields(env).m_lastTypeIndex;
    return Step::Return;
  }
  static Step StoreLowerBound(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    f.m_lowerBound = ValueWord(f);
    f.m_lowerBoundLeaf = f.m_valueLeaf;
    f.m_lowerBoundHigh = ValueHigh(f);
    return Step::Return;
  }
  static Step StoreUpperBound(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    f.m_upperBound = ValueWord(f);
    f.m_upperBoundHigh = ValueHigh(f);
    return Step::Return;
  }
  // Each value of a list becomes one element: a name, a type index or a number.
  static Step StoreListElement(Env& env, uint8_t) {
    Self::Collected& f = Fields(env);
    RecordChainWriter& records = env.m_typeRecords;
    RecordHandle element;
    switch (f.m_valueKind) {
      case 0: {
        // The text holds no NUL (a name's characters stop at one).
        const SymbolKey key = SymbolKey::Store(env.m_cache, env.m_namePool, f.m_valueText, 0);
        element = AppendListNameElement(env.m_cache, records, key);
        break;
      }
      case 1:
        element = AppendListIndexElement(env.m_cache, records, f.m_lastTypeIndex);
        break;
      default:
        element = AppendListNumberElement(env.m_cache, records, UnsignedInt64::FromWords(f.m_numericValue, f.m_numericHigh));
        break;
    }
    if (f.m_firstElement.IsNone()) f.m_firstElement = element;
    return Step::Return;
  }
  static Step StoreBitPosition(Env& env, uint8_t) {
    Fields(env).m_bitPosition = Fields(env).m_numericValue;
    return Step::Return;
  }

  static constexpr Row kRows[kParserStateCount] = {
      {kParseStart, "start", false, &Start},
      {kParseError, "error", false, &Idle},
      {kParseDone, "done", false, &Idle},
      {kParseNumeric, "numeric", false, &Numeric},
      {kParseNumericBytes, "numeric bytes", false, &NumericBytes},
      {kParseIndex, "type index", false, &Index},
      {kParseIndexBody, "type index body", false, &IndexBody},
      {kParseIndexLow, "type index low byte", false, &IndexLow},
      {kParseName, "name", false, &Name},
      {kParseNameLength, "name length", false, &NameLength},
      {kParseNameChars, "name characters", false, &NameChars},
      {kParseValue, "value", false, &Value},
      {kParsePacking, "packing", false, &Packing},
      {kParseLabelMark, "label mark", false, &LabelMark},
      {kParseLabelKind, "label kind", false, &LabelKind},
      {kParseProcedureMark, "procedure mark", false, &ProcedureMark},
      {kParseProcedureConvention, "calling convention", false, &ProcedureConvention},
      {kParseProcedureCheck, "procedure check", false, &ProcedureCheck},
      {kParseArrayTail, "array tail", false, &ArrayTail},
      {kParseAggregateForm, "aggregate form", false, &AggregateForm},
      {kParseUnionMark1, "union mark 1", false, &UnionMark1},
      {kParseUnionMark2, "union mark 2", false, &UnionMark2},
      {kParseUnionGroup, "union group", false, &UnionGroup},
      {kParseScalarSubKind, "scalar sub-kind", false, &ScalarSubKind},
      {kParseScalarForm, "scalar form", false, &ScalarForm},
      {kParseSecondSubKind, "second sub-kind", false, &SecondSubKind},
      {kParseBoundPart, "bound part", false, &BoundPart},
      {kParseListValue, "list value", false, &ListValue},
      {kStoreReferenced, "store referenced index", true, &StoreReferenced},
      {kStoreQualifierTarget, "store qualifier target", true, &StoreQualifierTarget},
      {kStoreQualifierValue, "store qualifier value", true, &StoreQualifierValue},
      {kStoreFilePacking, "store file packing", true, &StoreFilePacking},
      {kStoreResult, "store result type", true, &StoreResult},
      {kStoreSizeBits, "store size in bits", true, &StoreSizeBits},
      {kStoreArrayElement, "store array element type", true, &StoreArrayElement},
      {kStoreArrayIndex, "store array index type", true, &StoreArrayIndex},
      {kStoreArrayPacking, "store array packing", true, &StoreArrayPacking},
      {kStoreArrayNumber, "store array number", true, &StoreArrayNumber},
      {kStoreMemberCount, "store member count", true, &StoreMemberCount},
      {kStoreMemberTypeList, "store member-type list", true, &StoreMemberTypeList},
      {kStoreMemberNameList, "store member-name list", true, &StoreMemberNameList},
      {kStoreAggregatePacking, "store aggregate packing", true, &StoreAggregatePacking},
      {kStoreGroupCount, "store group count", true, &StoreGroupCount},
      {kStoreGroupA, "store group index A", true, &StoreGroupA},
      {kStoreGroupB, "store group index B", true, &StoreGroupB},
      {kStoreEnumeratorList, "store enumerator list", true, &StoreEnumeratorList},
      {kStoreLowerBound, "store lower bound", true, &StoreLowerBound},
      {kStoreUpperBound, "store upper bound", true, &StoreUpperBound},
      {kStoreListElement, "store list element", true, &StoreListElement},
      {kStoreBitPosition, "store bit position", true, &StoreBitPosition},
  };

  static constexpr bool RowsInStateOrder() {
    for (uint32_t i = 0; i < kParserStateCount; ++i) {
      if (kRows[i].m_state != i) return false;
    }
    return true;
  }

  // One byte through the machine: a reading state takes it (perhaps after handing it
  // on to the states it enters); after a completed sub-parse the stack is popped, its
  // action states run, and the first reading state popped waits for the next byte.
  static void Feed(Env& env, uint8_t byte) {
    Self::ParserStack& stack = env.m_stack;
    uint32_t& current = env.m_current;
    for (uint32_t steps = 0;; ++steps) {
      if (steps >= kMaxStepsPerByte || current >= kParserStateCount || stack.size() > Self::kMaxStackDepth) {
        stack.clear();
        current = kParseError;
        return;
      }
      const Row& row = kRows[current];
      if (row.m_action) ZENTOR_INTERNAL_ERROR();
      const Step step = row.m_handler(env, byte);
      if (step == Step::Wait) return;
      if (step == Step::Again) continue;
      // The sub-parse is complete and the byte taken.
      for (;;) {
        if (++steps >= kMaxStepsPerByte) break;
        if (stack.empty()) {
          current = kParseDone;
          return;
        }
        const Self::StackEntry entry = stack.back();
        stack.pop_back();
        current = entry.m_state;
        if (entry.m_runNow == 0) return;
        if (entry.m_state >= kParserStateCount || !kRows[entry.m_state].m_action) ZENTOR_INTERNAL_ERROR();
        const Step action = kRows[entry.m_state].m_handler(env, byte);
        if (action == Step::Wait) return;
        // An action has no byte left to hand on.
        if (action == Step::Again) ZENTOR_INTERNAL_ERROR();
      }
    }
  }

  static void Complete(Env& env);
};

static_assert(TypeParser::RowsInStateOrder(), "the parser's state table is out of order");

const char* TypeParserStateName(uint32_t state) {
  return state < kParserStateCount ? TypeParser::kRows[state].m_name : "?";
}

bool IsTypeParserActionState(uint32_t state) { return state < kParserStateCount && TypeParser::kRows[state].m_action; }

namespace {

// The primitive code of a scalar by its size in bits and sub-kinds; the first row that
// matches decides (0 in a sub-kind column matches any).
struct PrimitiveCodeRule {
  uint32_t m_bits;
  uint8_t m_subKind;
  uint8_t m_secondSubKind;
  uint16_t m_code;
};
constexpr PrimitiveCodeRule kPrimitiveCodeRules[] = {
    {8, kLeafUnsigned, kLeafBoolean, 2},     // bool1
    {8, kLeafUnsigned, kLeafCharacter, 8},   // ord1
    {8, kLeafSigned, kLeafCharacter, 6},     // char
    {8, kLeafSigned, 0, 15},                 // int1
    {8, 0, 0, 6},                            // char
    {16, kLeafSigned, 0, 16},                // int2
    {16, 0, 0, 9},                           // ord2
    {32, kLeafSigned, 0, 17},                // int4
    {32, kLeafReal, 0, 19},                  // real4
    {32, 0, 0, 10},                          // ord4
    {48, kLeafIndex, 0, 23},                 // selector
    {64, kLeafIndex, 0, 24},                 // pointer
    {64, 0, kLeafReal, 28},                  // complex
    {64, kLeafUnsigned, 0, 11},              // ord8
    {64, kLeafSigned, 0, 18},                // int8
    {64, 0, 0, 20},                          // real8
    {80, 0, 0, 21},                          // real10
    {96, 0, 0, 13},                          // ord12
    {128, 0, 0, 14},                         // ord16
};

uint16_t PrimitiveCodeBySize(uint32_t bits, uint8_t subKind, uint8_t secondSubKind) {
  for (const PrimitiveCodeRule& rule : kPrimitiveCodeRules) {
    if (rule.m_bits != bits) continue;
    if (rule.m_subKind != 0 && rule.m_subKind != subKind) continue;
    if (rule.m_secondSubKind != 0 && rule.m_secondSubKind != secondSubKind) continue;
    return rule.m_code;
  }
  return 0;
}

// Reference scalars whose referenced type is already defined take their code from its
// category; code 25 refers to what the referenced pointer refers to.
struct ReferenceCodeRule {
  uint32_t m_bits;
  uint32_t m_category;  // kAnyCategory: any
  uint16_t m_code;
  bool m_throughReferenced;
};
constexpr uint32_t kAnyCategory = 0xFFFFFFFFu;
constexpr ReferenceCodeRule kReferenceCodeRules[] = {
    {16, kTypeSelector, 27, false}, {16, kTypePointer, 25, true}, {32, kTypePointer, 22, false},
    {32, kTypeVoid, 26, false},     {48, kAnyCategory, 23, false}, {64, kAnyCategory, 24, false},
};

uint16_t BitFieldCode(uint32_t bits) { return bits <= 8 ? 8 : bits <= 16 ? 9 : 10; }

// A bound as a signed number: the high word marks a negative value.
int64_t BoundValue(uint32_t low, uint32_t high) {
  return high != 0 ? static_cast<int64_t>(static_cast<int32_t>(low)) : static_cast<int64_t>(low);
}

// What the completion writes into the slot.
struct EntryValues {
  uint32_t m_category = kTypeUndefined;
  uint32_t m_size = 0;
  uint16_t m_code = 0;
  uint32_t m_reference = RecordHandle::kNone;
};

}  // namespace

// Completing the slot:
// 1. An open list is closed.
// 2. A definition that ended in the error state before a scalar sub-kind was read is
//    a label.
// 3. Otherwise the leading leaf decides the category, size, primitive code and
//    reference, writing the type record that the category needs.
// 4. A name read in the definition names the entry and joins the typedef names.
// Only types defined earlier (indices below this definition's) are looked at.
void TypeParser::Complete(Env& env) {
  Self::Collected& f = Fields(env);
  PageCache& cache = env.m_cache;
  LoaderState& loader = env.m_loader;
  TypeDirectory& types = loader.Types();
  RecordChainWriter& records = loader.Writer(kTypeRecordChain);
  const uint32_t self = env.m_state.m_definitionIndex;
  const uint32_t format = loader.LoaderFormat();
  auto definedEarlier = [self](uint32_t index) { return index != 0 && index < self; };
  auto categoryOf = [&](uint32_t index) { return types.GetTypeEntryRaw(cache, index).Category(); };

  if (f.m_listOpen != 0) {
    const RecordHandle end = AppendBareRecord(cache, records, kListEndElementType);
    if (f.m_firstElement.IsNone()) f.m_firstElement = end;
  }

  EntryValues values;
  const bool failed = env.m_state.m_state == kParseError;
  const uint32_t bits = f.m_sizeBits;
  const uint32_t wholeBytes = bits >> 3;
  const uint32_t aggregateSize = bits % 8 == 0 ? wholeBytes : 0;
  if (failed && f.m_subKindSeen == 0) {
    values.m_category = kTypeLabel;
  } else {
    switch (f.m_leadingLeaf) {
      case kLeafVoid:
        values.m_category = kTypeVoid;
        values.m_reference = f.m_referencedIndex;
        break;
      case kLeafSelector:
        values.m_category = kTypeSelector;
        break;
      case kLeafFile:
        values.m_category = kTypeFile;
        break;
      case kLeafConst:
      case kLeafVolatile:
      case kLeafQualified: {
        QualifierTypeRecordView record = QualifierTypeRecordView::Append(cache, records);
        record.SetTarget(f.m_qualifierTarget);
        record.SetLeafValue(f.m_trailingValue);
        record.SetLeafCode(f.m_trailingLeaf);
        record.SetHighWord(f.m_trailingHigh);
        record.SetQualifierCode(f.m_leadingLeaf == kLeafConst ? 1 : f.m_leadingLeaf == kLeafVolatile ? 2 : 3);
        values.m_category = kTypeQualified;
        values.m_reference = record.Handle().Value();
        break;
      }
      case kLeafLabel:
        values.m_category = kTypeLabel;
        break;
      case kLeafProcedure:
        values.m_category = kTypeProcedure;
        values.m_reference = f.m_resultIndex;
        break;
      case kLeafParameter:
        values.m_category = kTypeParameter;
        break;
      case kLeafArray: {
        uint32_t size = aggregateSize;
        // An array of unknown size over a subrange: element size times element count.
        if (size == 0 && definedEarlier(f.m_arrayIndex) && categoryOf(f.m_arrayIndex) == kTypeSubrange &&
            definedEarlier(f.m_arrayElement)) {
          const RecordHandle bounds(types.GetTypeEntryRaw(cache, f.m_arrayIndex).Reference());
          const SubrangeTypeRecordView range = SubrangeTypeRecordView::At(cache, bounds);
          const int64_t count = BoundValue(range.Upper().Low(), range.Upper().High()) -
                                BoundValue(range.Lower().Low(), range.Lower().High()) + 1;
          const uint64_t element = types.GetTypeEntry(cache, f.m_arrayElement).Size();
          const uint64_t bytes = count > 0 ? element * static_cast<uint64_t>(count) : 0;
          // Only sizes whose bit count fits the state's 32-bit word are taken.
          if (count > 0 && count < (int64_t{1} << 32) && bytes <= 0x1FFFFFFFu) {
            f.m_sizeBits = static_cast<uint32_t>(bytes * 8);
            size = static_cast<uint32_t>(bytes);
          }
        }
        ArrayTypeRecordView record = ArrayTypeRecordView::Append(cache, records);
        record.SetElementType(f.m_arrayElement);
        record.SetIndexType(f.m_arrayIndex);
        record.SetPacked(f.m_arrayPacking == kLeafPacked ? 1 : 0);
        record.SetTrailingNumber(f.m_arrayNumber);
        values.m_category = kTypeArray;
        values.m_size = size;
        values.m_reference = record.Handle().Value();
        break;
      }
      case kLeafStructure:
      case kLeafClass: {
        uint32_t first = f.m_memberNameList;
        uint32_t second = f.m_memberTypeList;
        if (f.m_unionForm != 0) {
          // The A list ends; the B list follows with its own end.
          const RecordHandle endA = AppendBareRecord(cache, records, kListEndElementType);
          if (f.m_firstA.IsNone()) f.m_firstA = endA;
          RecordHandle firstB;
          for (uint32_t index : f.m_groupB) {
            const RecordHandle element = AppendListIndexElement(cache, records, index);
            if (firstB.IsNone()) firstB = element;
          }
          const RecordHandle endB = AppendBareRecord(cache, records, kListEndElementType);
          if (firstB.IsNone()) firstB = endB;
          first = firstB.Value();
          second = f.m_firstA.Value();
        }
        AggregateTypeRecordView record = AggregateTypeRecordView::Append(cache, records);
        record.SetFirstList(first);
        record.SetSecondList(second);
        record.SetPacked(f.m_aggregatePacking == kLeafPacked ? 1 : 0);
        values.m_category =
            f.m_unionForm != 0 ? kTypeUnion : f.m_leadingLeaf == kLeafClass ? kTypeClass : kTypeStructure;
        values.m_size = aggregateSize;
        values.m_reference = record.Handle().Value();
        break;
      }
      case kLeafPointer:
        values.m_category = kTypePointer;
        values.m_reference = f.m_referencedIndex;
        break;
      case kLeafScalar: {
        const bool bitField = bits % 8 != 0 || (format == kLoaderFormat19 && f.m_format19BitField != 0);
        uint16_t code = PrimitiveCodeBySize(bits, f.m_subKind, f.m_secondSubKind);
        values.m_category = kTypePrimitive;
        values.m_size = wholeBytes;
        if (bits == 80 && format == kLoaderFormat19) values.m_size = 16;
        if (bitField) {
          values.m_category = kTypeBitField;
          values.m_size = ((bits & 0xFFFF) << 16) + wholeBytes;
          if (code == 0) code = BitFieldCode(bits);
        }
        if (f.m_referenceScalar != 0 && definedEarlier(f.m_referencedIndex)) {
          const TypeEntryView referenced = types.GetTypeEntryRaw(cache, f.m_referencedIndex);
          for (const ReferenceCodeRule& rule : kReferenceCodeRules) {
            if (rule.m_bits != bits) continue;
            if (rule.m_category != kAnyCategory && rule.m_category != referenced.Category()) continue;
            code = rule.m_code;
            values.m_reference = rule.m_throughReferenced ? referenced.Reference() : f.m_referencedIndex;
            break;
          }
        }
        values.m_code = code;
        if (f.m_setSeen != 0) {
          values.m_category = kTypeSet;
          values.m_reference = RecordHandle::kNone;
        } else if (f.m_boundPart != 0) {
          const bool enumeration = f.m_secondSubKind == kLeafIndex && definedEarlier(f.m_enumeratorList) &&
                                   categoryOf(f.m_enumeratorList) == kTypeList;
          if (enumeration) {
            EnumerationTypeRecordView record = EnumerationTypeRecordView::Append(cache, records);
            record.SetEnumeratorList(f.m_enumeratorList);
            record.SetLastTypeIndex(f.m_lastTypeIndex);
            values.m_category = kTypeEnumeration;
            values.m_reference = record.Handle().Value();
          } else {
            uint32_t kind = f.m_lowerBoundLeaf == kLeafName ? 23 : f.m_lowerBoundLeaf == kLeafIndex ? 0 : 17;
            uint32_t lower = f.m_lowerBound;
            uint32_t lowerHigh = f.m_lowerBoundHigh;
            // A bound given as a qualified type takes the qualifier's trailing value.
            if (f.m_lowerBoundLeaf == kLeafIndex && definedEarlier(f.m_lowerBound) &&
                categoryOf(f.m_lowerBound) == kTypeQualified) {
              const RecordHandle qualifier(types.GetTypeEntryRaw(cache, f.m_lowerBound).Reference());
              const QualifierTypeRecordView bound = QualifierTypeRecordView::At(cache, qualifier);
              lower = bound.LeafValue();
              lowerHigh = bound.HighWord();
              kind = bound.LeafCode() == kLeafName ? 23 : bound.LeafCode() == kLeafIndex ? 0 : 17;
            }
            SubrangeTypeRecordView record = SubrangeTypeRecordView::Append(cache, records);
            record.SetBoundKind(kind);
            record.SetLower(UnsignedInt64::FromWords(lower, lowerHigh));
            record.SetUpper(UnsignedInt64::FromWords(f.m_upperBound, f.m_upperBoundHigh));
            values.m_category = kTypeSubrange;
            values.m_reference = record.Handle().Value();
          }
        }
        break;
      }
      case kLeafList:
        values.m_category = kTypeList;
        values.m_reference = f.m_firstElement.Value();
        break;
      case kLeafNone:
        values.m_category = kTypeNull;
        break;
      case kLeafNearPointer:
      case kLeafShortPointer:
        if (format == kLoaderFormat20) {
          values.m_category = kTypePrimitive;
          values.m_code = f.m_leadingLeaf == kLeafNearPointer ? 22 : 25;
          values.m_size = f.m_leadingLeaf == kLeafNearPointer ? 4 : 2;
          values.m_reference = f.m_referencedIndex;
        }
        break;
      case kLeafBitField:
        values.m_category = kTypeBitField;
        values.m_size = ((bits & 0xFFFF) << 16) + (f.m_bitPosition & 0xFF);
        values.m_code = BitFieldCode(bits);
        break;
      case kLeafComplex:
        values.m_category = kTypePrimitive;
        values.m_size = 8;
        values.m_code = 28;
        break;
      default:
        break;
    }
  }

  SymbolKey name;
  const bool named = f.m_definitionNameRead && !f.m_name.empty();
  if (named) name = SymbolKey::Store(cache, loader.NamePool(), NameKey(RWCString(f.m_name.c_str()), 0));
  TypeEntryView entry = types.GetTypeEntryRaw(cache, self, RecordAccess::Write);
  entry.SetCategory(values.m_category);
  entry.SetSize(values.m_size);
  entry.SetPrimitiveCode(values.m_code);
  entry.SetReference(values.m_reference);
  if (named) {
    entry.SetName(name);
    loader.AddTypedefNameText(RWCString(f.m_name.c_str()));
  }
}

// ---- TypeDescriptionState

void TypeDescriptionState::ParserStack::push_back(const StackEntry& entry) {
  // More than the checked depth and one step's pushes is a fault of the state table.
  if (m_size >= kCapacity) ZENTOR_INTERNAL_ERROR();
  m_entries[m_size++] = entry;
}

TypeDescriptionState::TypeDescriptionState() = default;
TypeDescriptionState::~TypeDescriptionState() = default;

void TypeDescriptionState::ResetForDefinition() {
  // The texts and the group list keep their storage from one definition to the next.
  std::string valueText = std::move(m_fields.m_valueText);
  std::string name = std::move(m_fields.m_name);
  std::vector<uint32_t> groupB = std::move(m_fields.m_groupB);
  m_fields = Collected();
  valueText.clear();
  name.clear();
  groupB.clear();
  m_fields.m_valueText = std::move(valueText);
  m_fields.m_name = std::move(name);
  m_fields.m_groupB = std::move(groupB);
  m_stack.clear();
}

uint32_t TypeDescriptionState::DefineNullType(LoaderState& loader, PageCache& cache) {
  return loader.Types().NewSlot(cache, kTypeNull);
}

uint32_t TypeDescriptionState::BeginTypeDefinition(LoaderState& loader, PageCache& cache) {
  m_definitionOpen = false;
  ResetForDefinition();
  m_definitionIndex = loader.Types().NewSlot(cache);
  m_state = kParseStart;
  // A completed definition ends in the done state.
  m_stack.push_back(StackEntry{kParseDone, 0});
  m_definitionOpen = true;
  return m_definitionIndex;
}

void TypeDescriptionState::TypeDefinitionByte(LoaderState& loader, PageCache& cache, uint8_t byte) {
  TypeDefinitionBytes(loader, cache, &byte, 1);
}

void TypeDescriptionState::TypeDefinitionBytes(LoaderState& loader, PageCache& cache, const uint8_t* bytes,
                                               uint32_t count) {
  if (count == 0) return;
  // Only the beginning and the end of a definition open and close it: one check
  // holds for the whole run.
  if (!m_definitionOpen) ZENTOR_INTERNAL_ERROR();
  TypeParser::Env env{*this, loader, cache};
  for (uint32_t i = 0; i < count; ++i) TypeParser::Feed(env, bytes[i]);
}

void TypeDescriptionState::EndTypeDefinition(LoaderState& loader, PageCache& cache) {
  if (!m_definitionOpen) ZENTOR_INTERNAL_ERROR();
  // The definition is over whatever the completion meets.
  m_definitionOpen = false;
  TypeParser::Env env{*this, loader, cache};
  TypeParser::Complete(env);
  m_state = kParseDone;
  m_stack.clear();
}

// ---- the current context's operations

namespace {

PageCache& ContextCache() { return GetCurrentSymbolContext()->Cache(); }

// The current context's parts for a type entry point; a context without the library's
// type-description state is an internal-consistency error.
CurrentLoadParts TypeLoad() {
  const CurrentLoadParts load = CurrentLoad();
  if (load.m_types == nullptr) ZENTOR_INTERNAL_ERROR();
  return load;
}

// The handle of element n (from 1) among the index elements of the list at `start`;
// none when the list has fewer. The walk stops at the list's end and after as many
// steps as the file has room for elements.
RecordHandle NthIndexElement(PageCache& cache, RecordHandle start, uint32_t n) {
  if (n == 0 || start.IsNone()) return RecordHandle();
  RecordRef cursor;
  cursor.Init(start);
  const uint32_t stepLimit = cache.FileLength() / kBareRecordSize + 1;
  uint32_t seen = 0;
  for (uint32_t steps = 0; steps < stepLimit; ++steps) {
    const RecordView element = cursor.NextTypeRecord(cache);
    if (element.IsNull()) break;
    if (element.U32At(0) != kListIndexElementType) continue;
    if (++seen == n) return element.Handle();
  }
  return RecordHandle();
}

void SetIndexElement(PageCache& cache, RecordHandle element, uint32_t value) {
  RecordView view =
      RecordView::Open(cache, element, ListIndexElementLayout::kSize, RecordAccess::Write, kMsgInvalidTypeRecord);
  if (view.U32At(ListIndexElementLayout::kType) != kListIndexElementType) ZENTOR_INTERNAL_ERROR();
  view.SetU32(ListIndexElementLayout::kTypeIndex, value);
}

}  // namespace

uint32_t DefineNullType() {
  const CurrentLoadParts load = TypeLoad();
  return load.m_types->DefineNullType(load.m_loader, load.m_cache);
}

void DefineNullTypes(uint32_t count) {
  if (count == 0) return;
  const CurrentLoadParts load = TypeLoad();
  load.m_loader.Types().NewNullSlots(load.m_cache, count);
}

uint32_t BeginTypeDefinition() {
  const CurrentLoadParts load = TypeLoad();
  return load.m_types->BeginTypeDefinition(load.m_loader, load.m_cache);
}

void TypeDefinitionByte(uint8_t byte) {
  const CurrentLoadParts load = TypeLoad();
  load.m_types->TypeDefinitionByte(load.m_loader, load.m_cache, byte);
}

void TypeDefinitionBytes(const uint8_t* bytes, uint32_t count) {
  if (count == 0) return;
  const CurrentLoadParts load = TypeLoad();
  load.m_types->TypeDefinitionBytes(load.m_loader, load.m_cache, bytes, count);
}

void EndTypeDefinition() {
  const CurrentLoadParts load = TypeLoad();
  load.m_types->EndTypeDefinition(load.m_loader, load.m_cache);
}

int32_t SetTypeReference(uint32_t patchFlag, uint32_t element, uint32_t typeIndex, uint32_t newIndex) {
  return SetTypeReference(CurrentLoaderState(), ContextCache(), patchFlag, element, typeIndex, newIndex);
}

int32_t SetTypeReference(LoaderState& loader, PageCache& cache, uint32_t patchFlag, uint32_t element,
                         uint32_t typeIndex, uint32_t newIndex) {
  TypeDirectory& types = loader.Types();
  const uint32_t value = newIndex + 1;
  if (patchFlag == 0) {
    types.GetTypeEntryRaw(cache, typeIndex, RecordAccess::Write).SetReference(value);
    return 0;
  }
  // The entry's page stays pinned while its records are patched.
  const TypeEntryView entry = types.GetTypeEntryRaw(cache, typeIndex);
  const RecordHandle reference(entry.Reference());
  switch (entry.Category()) {
    case kTypeList: {
      const RecordHandle target = NthIndexElement(cache, reference, element);
      if (target.IsNone()) return -1;
      SetIndexElement(cache, target, value);
      return 0;
    }
    case kTypeUnion: {
      if (element == 0 || reference.IsNone()) return -1;
      const RecordHandle groups(AggregateTypeRecordView::At(cache, reference).SecondList());
      for (uint32_t n = 1; n <= element; ++n) {
        const RecordHandle group = NthIndexElement(cache, groups, n);
        if (group.IsNone()) return -1;
        const RecordView view =
            RecordView::Open(cache, group, ListIndexElementLayout::kSize, RecordAccess::Read, kMsgInvalidTypeRecord);
        const uint32_t list = view.U32At(ListIndexElementLayout::kTypeIndex);
        // Each group must name a list already defined.
        if (list == 0 || list > types.TypeCount()) return -1;
        const TypeEntryView listEntry = types.GetTypeEntryRaw(cache, list);
        if (listEntry.Category() != kTypeList) return -1;
        if (n < element) continue;
        const RecordHandle first = NthIndexElement(cache, RecordHandle(listEntry.Reference()), 1);
        if (first.IsNone() || first != RecordHandle(listEntry.Reference())) return -1;
        SetIndexElement(cache, first, value);
        return 0;
      }
      return -1;
    }
    case kTypeArray: {
      if (reference.IsNone()) return -1;
      ArrayTypeRecordView::At(cache, reference, RecordAccess::Write).SetElementType(value);
      return 0;
    }
    default:
      return -1;
  }
}

}  // namespace zentor
