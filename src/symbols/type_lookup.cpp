#include "symbols/type_lookup.h"

#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_index.h"
#include "symbols/type_translation.h"

#include "core/token_record.h"
#include "core/value_stack.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"

namespace zentor {
namespace {

// The debugger type code of each primitive code.
constexpr uint16_t kSymbolTypeCodeMap[kLargestPrimitiveCode + 1] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
    15, 16, 17, 18, 19, 20, 21, 34, 35, 36, 37, 38, 39, 19,
};

// Type keyword codes that a cast takes: the primitive ones, and the three tagged
// kinds.
bool IsPrimitiveKeyword(uint16_t code) {
  return (code >= 9 && code <= 12) || (code >= 16 && code <= 19) || (code >= 24 && code <= 26) || code == 106;
}

[[noreturn]] void RaiseInvalidType() { throw DVError(kMsgInvalidType, kSeverityError, kDisplayByFocus); }

// Makes a pointer entry: under loader format 20 a pointer scalar refers to its
// pointee itself; under other formats it refers to a pointer entry (category 13)
// that refers to the pointee, made just before it.
uint32_t MakePointerEntry(LoaderState& loader, PageCache& cache, uint32_t pointee) {
  TypeDirectory& types = loader.Types();
  uint32_t reference = pointee;
  if (loader.LoaderFormat() != kLoaderFormat20) {
    reference = types.NewSlot(cache);
    TypeEntryView middle = types.GetTypeEntryRaw(cache, reference, RecordAccess::Write);
    middle.SetCategory(kTypePointer);
    middle.SetReference(pointee);
  }
  const uint32_t index = types.NewSlot(cache);
  TypeEntryView pointer = types.GetTypeEntryRaw(cache, index, RecordAccess::Write);
  pointer.SetCategory(kTypePrimitive);
  pointer.SetSize(4);
  pointer.SetPrimitiveCode(22);
  pointer.SetReference(reference);
  return index;
}

// The pair the next pointer request uses: a pointer type whose pointee the request
// sets, and a pointer to that pointer. They are made once per loaded program, after
// its types, and reused by every cast (each request points the first at its type).
void RecordTypeIndexPair() {
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr || loader->ProgramLoaded() == 0) return;
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  if (loader->PointerScaffold(0) == 0) {
    const uint32_t first = MakePointerEntry(*loader, cache, RecordHandle::kNone);
    const uint32_t second = MakePointerEntry(*loader, cache, first);
    loader->Types().ReleasePin(cache);
    loader->SetPointerScaffold(first, second);
  }
  // The named index's entry refers to the first level, through one more entry
  // unless pointers refer to their pointees directly.
  const uint32_t named = loader->PointerScaffold(1);
  uint32_t referenced = GetTypeEntryRaw(named).Reference();
  if (loader->LoaderFormat() != kLoaderFormat20) referenced = GetTypeEntryRaw(referenced).Reference();
  SetTypeIndexPair(referenced, named);
}

}  // namespace

TypeLookupState& CurrentTypeLookupState() { return GetCurrentSymbolContext()->Location().TypeLookup(); }

void BeginTypeNameLookup() {
  TypeLookupState& state = CurrentTypeLookupState();
  state.m_lookupFlag = 1;
  state.m_pointerState = 0;
  state.m_takenFlag = 0;
}

void ResetExpressionLexState() {
  TypeLookupState& state = CurrentTypeLookupState();
  state.m_lookupFlag = 0;
  state.m_pointerState = 0;
  state.m_typeHandle = 0;
  state.m_typeKind = kTypeKindAfterReset;
  state.m_typeCode = 0;
}

void SetTypeIndexPair(uint32_t referencedIndex, uint32_t namedIndex) {
  TypeLookupState& state = CurrentTypeLookupState();
  state.m_referencedIndex = referencedIndex;
  state.m_namedIndex = namedIndex;
}

uint16_t TakeTypeFoundFlag() {
  TypeLookupState& state = CurrentTypeLookupState();
  const uint16_t taken = state.m_takenFlag;
  state.m_takenFlag = 0;
  return taken;
}

bool IsCurrentTokenTypedef() { return IsTypedefName(RWCString(CurrentToken().text)) != nullptr; }

void CastToKeywordType() {
  const uint16_t code = ValueStack::PopOrd2();
  TypeLookupState& state = CurrentTypeLookupState();
  if (IsPrimitiveKeyword(code)) {
    state.m_typeKind = kTypeKindPrimitive;
  } else if (code == 32) {
    state.m_typeKind = kTypeStructure;
  } else if (code == 40) {
    state.m_typeKind = kTypeEnumeration;
  } else if (code == 42) {
    state.m_typeKind = kTypeUnion;
  } else {
    RaiseInvalidType();
  }
  state.m_typeCode = SymbolTypeCodeToDVPTypeCode(code);
  if (state.m_typeKind == kTypeKindPrimitive) RecordTypeIndexPair();
}

void LookUpTypedefName() { FindNamedType(kTypeTypedefName); }

void LookUpTaggedType() { FindNamedType(CurrentTypeLookupState().m_typeKind); }

// A pointer request:
// 1. The first: the recorded pair must exist (31 otherwise). Its first level is made
//    to point at the type (for a primitive, the directory's entry of its code) and
//    becomes the type.
// 2. The second: the pair's second level, a pointer to the first.
// 3. Any other state starts again.
void MakePointerType() {
  TypeLookupState& state = CurrentTypeLookupState();
  if (state.m_pointerState == 0) {
    if (state.m_referencedIndex == 0 || state.m_namedIndex == 0) {
      throw DVError(kMsgNameUndefinedOrIncorrectType, kSeverityError, kDisplayByFocus);
    }
    const uint32_t target =
        state.m_typeKind == kTypeKindPrimitive ? FindBaseTypeIndex(static_cast<uint16_t>(state.m_typeCode))
                                               : state.m_typeHandle;
    const bool format20 = LoaderFormat() == kLoaderFormat20;
    SetTypeReference(0, 0, format20 ? state.m_referencedIndex : state.m_referencedIndex - 1, target - 1);
    state.m_typeHandle = state.m_referencedIndex;
    state.m_typeCode = kPointerTypeCode;
    state.m_pointerState = 1;
    return;
  }
  if (state.m_pointerState == 1) {
    state.m_typeHandle = state.m_namedIndex;
    state.m_typeCode = kPointerTypeCode;
    return;
  }
  state.m_pointerState = 0;
}

// The first entry of the category named by the current token. A typedef name
// records the type it stands for: its index, kind and code; any other records the
// index found.
void FindNamedType(uint32_t category) {
  const RWCString name(CurrentToken().text);
  const NameKey key(name, 0);
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  for (const uint32_t index : SymbolIndexes::TypeIndicesNamed(name)) {
    uint32_t reference = 0;
    {
      const TypeEntryView entry = GetTypeEntryRaw(index);
      if (entry.Category() != category || !entry.Name().Matches(cache, key)) continue;
      reference = entry.Reference();
    }
    TypeLookupState& state = CurrentTypeLookupState();
    if (category == kTypeTypedefName) {
      if (reference == 0 || reference > TypeCount()) RaiseInvalidType();
      const TypeEntryView named = GetTypeEntry(reference);
      state.m_typeHandle = reference;
      state.m_typeKind = named.Category();
      state.m_typeCode = named.PrimitiveCode();
    } else {
      state.m_typeHandle = index;
    }
    RecordTypeIndexPair();
    return;
  }
  RaiseInvalidType();
}

uint32_t FindBaseTypeIndex(uint16_t primitiveCode) {
  const uint32_t count = TypeCount();
  for (uint32_t index = 1; index <= count; ++index) {
    const TypeEntryView entry = GetTypeEntryRaw(index);
    if (entry.Category() == kTypePrimitive && entry.PrimitiveCode() == primitiveCode) return index;
  }
  RaiseInvalidType();
}

uint16_t SymbolTypeCodeMap(uint16_t primitiveCode) {
  if (primitiveCode > kLargestPrimitiveCode) ZENTOR_INTERNAL_ERROR();
  return kSymbolTypeCodeMap[primitiveCode];
}

bool IsPointerLikeCode(uint16_t primitiveCode) { return primitiveCode >= 22 && primitiveCode <= 26; }

bool IsPointerLikeKind(const TypeEntryView& entry) { return IsPointerLikeCode(entry.PrimitiveCode()); }

}  // namespace zentor
