#pragma once
// The operators of the command language and of C expressions, applied to values on
// the ValueStack. The parsers compile an operator into code that pushes the operands
// and a numeric operator code and then calls one of the routines below. Each routine
// brings references to values (reading target memory where needed), chooses a
// working kind for the pair of operand kinds from the promotion table, converts both
// operands to it, computes, converts the result to the table's result kind and pushes
// it. Addresses, 64-bit ordinals, 80-bit reals and strings take part with their own
// rules: C pointer arithmetic by whole elements, signed-looking 64-bit comparisons,
// software IEEE arithmetic, concatenation.

#include <cstdint>

namespace zentor {

// Operator codes, pushed as "ord2" before the right operand.
enum OperatorCode : uint16_t {
  kOpAdd = 0,  // unary: plus
  kOpSubtract = 1,  // unary: minus
  kOpMultiply = 2,  // unary: logical not
  kOpDivide = 3,
  kOpRemainder = 4,
  kOpLessEqual = 5,  // unary: bitwise complement
  kOpLess = 6,       // increment routine: increment
  kOpGreater = 7,    // increment routine: decrement
  kOpGreaterEqual = 8,
  kOpNotEqual = 9,
  kOpEqual = 10,
  kOpExclusiveOr = 11,
  kOpInclusiveOr = 12,
  kOpAnd = 13,
  kOpReserved = 14,  // never produced: an internal error
  kOpUnknown = 15,
  kOpLogicalOr = 16,
  kOpLogicalAnd = 17,
  kOpShiftRight = 18,
  kOpShiftLeft = 19,
};
inline constexpr uint16_t kOpUnaryPlus = 0;
inline constexpr uint16_t kOpUnaryMinus = 1;
inline constexpr uint16_t kOpLogicalNot = 2;
inline constexpr uint16_t kOpComplement = 5;
inline constexpr uint16_t kOpIncrement = 6;
inline constexpr uint16_t kOpDecrement = 7;

// Messages of the operators.
inline constexpr uint32_t kInvalidExtendedIntegerOperation = 132;
inline constexpr uint32_t kInvalidOrdinalOperation = 133;
inline constexpr uint32_t kRealComparisonUnordered = 134;
inline constexpr uint32_t kInvalidTypeForArithmetic = 136;
inline constexpr uint32_t kInvalidBooleanOperation = 137;
inline constexpr uint32_t kInvalidStringOperation = 139;
inline constexpr uint32_t kUnknownOperation = 142;
inline constexpr uint32_t kDivideByZero = 143;
inline constexpr uint32_t kAddressesNotComparable = 150;

// The promotion table: for operand kinds a, b in 1..29 the working kind W and the
// result kind R; W = kInvalidPromotion refuses the pair.
inline constexpr uint16_t kInvalidPromotion = 0xFFFF;
inline constexpr uint16_t kLastOperandKind = 29;
inline constexpr uint32_t kPromotionEntryCount = 435;
struct PromotionEntry {
  uint16_t working;
  uint16_t result;
};
// In either order; a kind of 0 or above 29 gives the refused entry.
PromotionEntry LookupPromotion(uint16_t a, uint16_t b);

// Binary operator: stack ... A, code, B -> ... result.
void OperatorExecutor();
// Unary operator: stack ... code, A -> ... result (codes 0, 1, 2, 5).
void ExecuteUnaryOperator();
// Increment and decrement: stack ... A, code (6 or 7) -> ... result.
void ExecuteIncrementOperator();
// A target address from integer parts (a 16-bit component behind a marker and one
// part, a null item and two parts, or three parts) -> a location.
void BuildAddressFromParts();

// A reference operand (kind 25) becomes what it refers to: the pointee's location for
// a pointer, else the value read from the target in the location's type. Other kinds
// stay. `buffer` holds at least 1024 bytes.
void FetchOperand(uint16_t* kind, uint8_t* buffer);
// 136 for a kind of 0 or above 29.
void CheckOperandKind(uint16_t kind);
// The table entry of the pair; 140 when the pair is refused or its working kind is not
// one the executor computes in.
PromotionEntry PromoteOperandKinds(uint16_t a, uint16_t b);

}  // namespace zentor
