#pragma once
// What the symbol tables know about a type named in a C expression: the state of the
// type-name consultation that the expression scanner and the code of a cast leave in
// the current location (TypeLookupState), the routines that set and read it, the
// type-directory searches by name and by primitive code, and the pointer types that a
// cast such as (T *)p asks for. Also the two small rules by which symbol Parts turn a
// TypeEntry into one of the debugger's own value types.

#include <cstdint>

#include "symbols/symbol_records.h"

#include "support/rw_cstring.h"

namespace zentor {

inline constexpr uint32_t kMsgNameUndefinedOrIncorrectType = 31;
inline constexpr uint32_t kMsgInvalidType = 159;

// Type kinds of the state: a primitive named by a type keyword, and the three tagged
// kinds (struct, enum, union) of keywords 32, 40 and 42.
inline constexpr uint32_t kTypeKindPrimitive = 0;
inline constexpr uint32_t kTypeKindAfterReset = 11;
// The debugger type code of a pointer made here.
inline constexpr uint32_t kPointerTypeCode = 34;

struct TypeLookupState {
  // 1 while the scanner looks a name up as a type name.
  uint16_t m_lookupFlag = 0;
  // 0: no pointer type made yet for the current type; 1: one has been made.
  uint16_t m_pointerState = 0;
  // Set when a pending cast was applied to a pushed symbol value.
  uint16_t m_takenFlag = 0;
  // The type found or made, as a type index.
  uint32_t m_typeHandle = 0;
  uint32_t m_typeKind = kTypeKindAfterReset;
  uint32_t m_typeCode = 0;
  // The pointer types a pointer request turns the recorded type into: the first level
  // (referenced) and the second (named).
  uint32_t m_referencedIndex = 0;
  uint32_t m_namedIndex = 0;
};

// The state of the current symbol context's location.
TypeLookupState& CurrentTypeLookupState();

// Lookup flag 1, pointer state 0, taken flag 0.
void BeginTypeNameLookup();
// Lookup flag 0, pointer state 0, type handle 0, kind 11, type code 0.
void ResetExpressionLexState();
void SetTypeIndexPair(uint32_t referencedIndex, uint32_t namedIndex);
// The taken flag, which is cleared.
uint16_t TakeTypeFoundFlag();
// Whether the current token's text names a type of the loaded program.
bool IsCurrentTokenTypedef();

// Routines of generated code (no arguments; they work on the current context and the
// value stack).
// Pops a type keyword code and records its kind and type code; 159 for a code that
// is no castable type.
void CastToKeywordType();
// The current token as a typedef name (category 55) / a name of the recorded kind.
void LookUpTypedefName();
void LookUpTaggedType();
// Turns the recorded type into a pointer to it: the first request into a pointer to
// the type, a second into a pointer to that pointer. 31 when no type is recorded.
void MakePointerType();

// Type-directory searches (indices 1 through the type count, first match wins). The
// named search leaves its result in the state: for a typedef name the type it stands
// for, else the index found. 159 when nothing matches.
void FindNamedType(uint32_t category);
uint32_t FindBaseTypeIndex(uint16_t primitiveCode);

// The debugger type code of a value of primitive code 0..28: 0..21 themselves, the
// address codes 22..27 the target address types 34..39, 28 (complex) real4.
uint16_t SymbolTypeCodeMap(uint16_t primitiveCode);
// True for a primitive code 22..26 (the usable pointer and selector codes).
bool IsPointerLikeKind(const TypeEntryView& entry);
bool IsPointerLikeCode(uint16_t primitiveCode);

}  // namespace zentor
