#include "core/operator_executor.h"

#include <cstring>

#include "core/address_descriptor.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/real_temp_ring.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/unsigned_int64.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint32_t kBufferSize = ValueStack::kMaxItemSize;
constexpr uint32_t kStringTooLong = 205;
constexpr uint32_t kNoMessage = 0;

[[noreturn]] void Raise(uint32_t number) { throw DVError(number, kSeverityError, kDisplayByFocus); }

bool IsWorkingKind(uint16_t kind) {
  switch (kind) {
    case kKindNone:  // an address with an integer
    case kKindBool1:
    case kKindOrd4:
    case kKindOrd8:
    case kKindOrd16:
    case kKindInt4:
    case kKindInt8:
    case kKindReal10:
    case kKindNString:
    case kKindTypedLocation:
    case kKindOrdinal:
      return true;
    default:
      return false;
  }
}

bool IsRelational(uint16_t code) { return code >= kOpLessEqual && code <= kOpEqual; }
bool IsLogical(uint16_t code) { return code == kOpLogicalOr || code == kOpLogicalAnd; }

// Whether an ordering (negative: A before B, 0 equal, positive: A after B) satisfies a
// relational code.
bool Satisfies(uint16_t code, int order) {
  switch (code) {
    case kOpLessEqual:
      return order <= 0;
    case kOpLess:
      return order < 0;
    case kOpGreater:
      return order > 0;
    case kOpGreaterEqual:
      return order >= 0;
    case kOpNotEqual:
      return order != 0;
    default:  // kOpEqual
      return order == 0;
  }
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (a == b ? 0 : 1);
}

void StoreTruth(uint8_t* out, bool truth) { out[0] = truth ? 1 : 0; }

// The bitwise operators mean the same for every integer kind. Answers whether `code`
// is one of them; `result` is set only then.
template <typename T>
bool ApplyBitwise(uint16_t code, const T& x, const T& y, T* result) {
  switch (code) {
    case kOpExclusiveOr:
      *result = static_cast<T>(x ^ y);
      return true;
    case kOpInclusiveOr:
      *result = static_cast<T>(x | y);
      return true;
    case kOpAnd:
      *result = static_cast<T>(x & y);
      return true;
    default:
      return false;
  }
}

// "||" and "&&" give a truth whatever the integer kind of their operands. Answers
// whether `code` is one of them.
template <typename T>
bool ApplyLogical(uint16_t code, T x, T y, uint8_t* out) {
  if (code == kOpLogicalOr) {
    StoreTruth(out, x != 0 || y != 0);
    return true;
  }
  if (code == kOpLogicalAnd) {
    StoreTruth(out, x != 0 && y != 0);
    return true;
  }
  return false;
}

// A computation: the message it raises (0 none), and the kinds when the operation
// changes them (relational results are "bool1", address arithmetic a location or
// a distance).
struct Outcome {
  uint32_t message = kNoMessage;
  uint16_t working;
  uint16_t result;
};

// ---- "bool1" --------------------------------------------------------------------------

uint32_t BooleanBinary(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  if (ApplyBitwise(code, a[0], b[0], &out[0]) || ApplyLogical(code, a[0], b[0], out)) return kNoMessage;
  if (IsRelational(code)) {
    StoreTruth(out, Satisfies(code, Order(a[0], b[0])));
    return kNoMessage;
  }
  return kInvalidBooleanOperation;
}

// ---- "ord4" and "int4" ----------------------------------------------------------------

// Division and remainder by zero give 0 and a warning; the most negative value
// divided by -1 wraps to itself and leaves remainder 0 instead of trapping.
uint32_t Binary32(uint16_t code, bool isSigned, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  const uint32_t ua = LoadU32(a);
  const uint32_t ub = LoadU32(b);
  const auto sa = static_cast<int32_t>(ua);
  const auto sb = static_cast<int32_t>(ub);
  if (ApplyLogical(code, ua, ub, out)) return kNoMessage;
  uint32_t result = 0;
  if (ApplyBitwise(code, ua, ub, &result)) {
    StoreU32(out, result);
    return kNoMessage;
  }
  switch (code) {
    case kOpAdd:
      result = ua + ub;
      break;
    case kOpSubtract:
      result = ua - ub;
      break;
    case kOpMultiply:
      result = ua * ub;
      break;
    case kOpDivide:
    case kOpRemainder: {
      if (ub == 0) {
        StoreU32(out, 0);
        return kDivideByZero;
      }
      const bool divide = code == kOpDivide;
      if (!isSigned) {
        result = divide ? ua / ub : ua % ub;
      } else if (sb == -1) {
        result = divide ? 0u - ua : 0u;
      } else {
        result = static_cast<uint32_t>(divide ? sa / sb : sa % sb);
      }
      break;
    }
    case kOpShiftRight:
      result = ua >> (ub & 31u);  // logical, also for "int4"
      break;
    case kOpShiftLeft:
      result = ua << (ub & 31u);
      break;
    default:
      StoreTruth(out, Satisfies(code, isSigned ? Order(sa, sb) : Order(ua, ub)));
      return kNoMessage;
  }
  StoreU32(out, result);
  return kNoMessage;
}

// ---- "ord8" and "int8" ----------------------------------------------------------------

// The less/greater codes swapped when exactly one operand has its top bit set: with
// that swap an unsigned comparison orders two's-complement values, so "ord8" and
// "int8" both compare as signed values.
uint16_t SignSwapped(uint16_t code) {
  struct SignSwap {
    uint16_t code;
    uint16_t swapped;
  };
  static constexpr SignSwap kSignSwapTable[] = {{7, 6}, {8, 5}, {6, 7}, {5, 8}};
  for (const SignSwap& row : kSignSwapTable) {
    if (row.code == code) return row.swapped;
  }
  return code;
}

uint32_t Binary64(uint16_t code, uint16_t working, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  const uint64_t ua = LoadU64(a);
  const uint64_t ub = LoadU64(b);
  if (ApplyLogical(code, ua, ub, out)) return kNoMessage;
  uint64_t bits = 0;
  if (ApplyBitwise(code, ua, ub, &bits)) {
    StoreU64(out, bits);
    return kNoMessage;
  }
  switch (code) {
    case kOpAdd:
      StoreU64(out, ua + ub);
      return kNoMessage;
    case kOpSubtract:
      StoreU64(out, ua + (~ub + 1));
      return kNoMessage;
    case kOpMultiply:
    case kOpDivide:
    case kOpRemainder:
    case kOpShiftRight:
    case kOpShiftLeft:
      return working == kKindOrd8 ? kInvalidOrdinalOperation : kInvalidExtendedIntegerOperation;
    case kOpNotEqual:
    case kOpEqual:
      StoreTruth(out, Satisfies(code, ua == ub ? 0 : 1));
      return kNoMessage;
    default: {  // CompareWide
      const bool signsDiffer = ((ua ^ ub) >> 63) != 0;
      const uint16_t effective = signsDiffer ? SignSwapped(code) : code;
      StoreTruth(out, Satisfies(effective, Order(ua, ub)));
      return kNoMessage;
    }
  }
}

// ---- "ord16" --------------------------------------------------------------------------

uint32_t Binary128(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  switch (code) {
    case kOpExclusiveOr:
    case kOpInclusiveOr:
    case kOpAnd:
      for (uint32_t i = 0; i < 16; ++i) {
        out[i] = code == kOpExclusiveOr ? a[i] ^ b[i] : (code == kOpInclusiveOr ? a[i] | b[i] : a[i] & b[i]);
      }
      return kNoMessage;
    case kOpLogicalOr:
      StoreTruth(out, !IsAllZero(a, 16) || !IsAllZero(b, 16));
      return kNoMessage;
    case kOpLogicalAnd:
      StoreTruth(out, !IsAllZero(a, 16) && !IsAllZero(b, 16));
      return kNoMessage;
    case kOpNotEqual:
    case kOpEqual:
      StoreTruth(out, Satisfies(code, std::memcmp(a, b, 16) == 0 ? 0 : 1));
      return kNoMessage;
    default:
      return kInvalidOrdinalOperation;
  }
}

// ---- "real10" -------------------------------------------------------------------------

uint32_t BinaryReal(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  void (*operation)() = nullptr;
  switch (code) {
    case kOpAdd:
      operation = RealTempRing::Add;
      break;
    case kOpSubtract:
      operation = RealTempRing::Subtract;
      break;
    case kOpMultiply:
      operation = RealTempRing::Multiply;
      break;
    case kOpDivide:
      operation = RealTempRing::Divide;
      break;
    default:
      break;
  }
  if (operation != nullptr) {
    RealTempRing::PushReal10Pair(a, b);
    operation();
    RealTempRing::PopReal10(out);
    return kNoMessage;
  }
  if (!IsRelational(code)) return kInvalidRealOperation;
  // B first, so that the ring compares the top (A) with B.
  RealTempRing::PushReal10Pair(b, a);
  const uint32_t condition = RealTempRing::CompareTop2();
  if (condition == RealTempRing::kConditionUnordered) return kRealComparisonUnordered;
  int order = 1;
  if (condition == RealTempRing::kConditionLess) order = -1;
  if (condition == RealTempRing::kConditionEqual) order = 0;
  StoreTruth(out, Satisfies(code, order));
  return kNoMessage;
}

// ---- "nstring" ------------------------------------------------------------------------

uint32_t StringLength(const uint8_t* text) {
  uint32_t length = 0;
  while (length < kBufferSize - 1 && text[length] != 0) ++length;
  return length;
}

uint32_t BinaryString(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  if (code == kOpAdd) {
    const uint32_t lengthA = StringLength(a);
    const uint32_t lengthB = StringLength(b);
    if (lengthA + lengthB >= kBufferSize) return kStringTooLong;
    std::memcpy(out, a, lengthA);
    std::memcpy(out + lengthA, b, lengthB);
    out[lengthA + lengthB] = 0;
    return kNoMessage;
  }
  if (!IsRelational(code)) return kInvalidStringOperation;
  uint32_t i = 0;
  while (a[i] == b[i] && a[i] != 0 && i < kBufferSize - 1) ++i;
  StoreTruth(out, Satisfies(code, Order(a[i], b[i])));
  return kNoMessage;
}

// ---- locations and ordinals -----------------------------------------------------------

void OffsetLocation(const uint8_t* location, const uint8_t* elements, uint8_t* out, uint16_t code) {
  TypedLocation moved = TypedLocation::ReadImage(location);
  const OrdinalValue count = LoadOrdinal(elements);
  if (code == kOpAdd) {
    moved += count;
  } else if (code == kOpSubtract) {
    moved -= count;
  } else {
    ZENTOR_INTERNAL_ERROR();
  }
  moved.WriteImage(out);
}

uint32_t CompareAddresses(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  const AddressDescriptor x = TypedLocation::ReadImage(a).Address();
  const AddressDescriptor y = TypedLocation::ReadImage(b).Address();
  const uint32_t relation = x.CompareWith(y);
  if (relation == kAddressNotComparable) return kAddressesNotComparable;
  StoreTruth(out, Satisfies(code, relation == kAddressLess ? -1 : (relation == kAddressEqual ? 0 : 1)));
  return kNoMessage;
}

uint32_t BinaryOrdinal(uint16_t code, const uint8_t* a, const uint8_t* b, uint8_t* out) {
  const OrdinalValue x = LoadOrdinal(a);
  const OrdinalValue y = LoadOrdinal(b);
  OrdinalValue bits;
  if (ApplyBitwise(code, x, y, &bits)) {
    StoreOrdinal(out, bits);
    return kNoMessage;
  }
  switch (code) {
    case kOpAdd:
      StoreOrdinal(out, x + y);
      return kNoMessage;
    case kOpSubtract:
      StoreOrdinal(out, x - y);
      return kNoMessage;
    case kOpMultiply:
      StoreOrdinal(out, x * y);
      return kNoMessage;
    case kOpDivide:  // a zero divisor raises the internal error of the 64-bit division
      StoreOrdinal(out, x / y);
      return kNoMessage;
    case kOpRemainder:
      StoreOrdinal(out, x % y);
      return kNoMessage;
    default:
      if (IsRelational(code)) {
        StoreTruth(out, Satisfies(code, x < y ? -1 : (x == y ? 0 : 1)));
        return kNoMessage;
      }
      return kInvalidPointerOperation;
  }
}

// Comparisons of locations: two symbols are not compared; an integer beside a location
// becomes an address first.
void PrepareAddressComparison(Outcome& outcome, uint16_t fetchedA, uint16_t fetchedB, uint16_t& kindA,
                              uint8_t* a, uint16_t& kindB, uint8_t* b) {
  if (fetchedA == kKindSymbolValue && fetchedB == kKindSymbolValue) Raise(kInvalidTypeConversion);
  if (outcome.working == kKindNone) {
    if (kindA == kKindOrdinal) {
      ConvertValue(a, kindA, a, kKindTypedLocation);
      kindA = kKindTypedLocation;
    } else {
      ConvertValue(b, kindB, b, kKindTypedLocation);
      kindB = kKindTypedLocation;
    }
    outcome.working = kKindTypedLocation;
  }
}

// Binary operation in the working kind. The operands are converted already (for an
// address with an integer: the location as kind 27, the integer as kind 28).
Outcome ComputeBinary(uint16_t code, PromotionEntry promotion, uint16_t fetchedA, uint16_t fetchedB,
                      uint16_t kindA, uint8_t* a, uint16_t kindB, uint8_t* b, uint8_t* out) {
  Outcome outcome{kNoMessage, promotion.working, promotion.result};
  if (code == kOpReserved) ZENTOR_INTERNAL_ERROR();
  if (code == kOpUnknown || code > kOpShiftLeft) Raise(kUnknownOperation);

  if (IsRelational(code) && (outcome.working == kKindNone || outcome.working == kKindTypedLocation)) {
    PrepareAddressComparison(outcome, fetchedA, fetchedB, kindA, a, kindB, b);
  }

  switch (outcome.working) {
    case kKindNone:
      if (code == kOpAdd) {
        const bool locationFirst = kindA == kKindTypedLocation;
        OffsetLocation(locationFirst ? a : b, locationFirst ? b : a, out, kOpAdd);
        outcome.working = outcome.result = kKindTypedLocation;
      } else if (code == kOpSubtract && kindA == kKindTypedLocation) {
        OffsetLocation(a, b, out, kOpSubtract);
        outcome.working = outcome.result = kKindTypedLocation;
      } else {
        outcome.message = kInvalidPointerOperation;
      }
      break;
    case kKindBool1:
      outcome.message = BooleanBinary(code, a, b, out);
      break;
    case kKindOrd4:
    case kKindInt4:
      outcome.message = Binary32(code, outcome.working == kKindInt4, a, b, out);
      break;
    case kKindOrd8:
    case kKindInt8:
      outcome.message = Binary64(code, outcome.working, a, b, out);
      break;
    case kKindOrd16:
      outcome.message = Binary128(code, a, b, out);
      break;
    case kKindReal10:
      outcome.message = BinaryReal(code, a, b, out);
      break;
    case kKindNString:
      outcome.message = BinaryString(code, a, b, out);
      break;
    case kKindTypedLocation:
      if (IsRelational(code)) {
        outcome.message = CompareAddresses(code, a, b, out);
      } else if (code == kOpSubtract) {
        const OrdinalValue distance = TypedLocation::ReadImage(a) - TypedLocation::ReadImage(b);
        StoreOrdinal(out, distance);
        outcome.working = outcome.result = kKindOrdinal;
      } else {
        outcome.message = kInvalidPointerOperation;
      }
      break;
    case kKindOrdinal:
      outcome.message = BinaryOrdinal(code, a, b, out);
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  if (IsRelational(code) || IsLogical(code)) outcome.working = outcome.result = kKindBool1;
  return outcome;
}

// Raises the outcome's message: a division by zero is a warning that is reported while
// the operation goes on with its result 0.
void RaiseOutcome(const Outcome& outcome) {
  if (outcome.message == kNoMessage) return;
  if (outcome.message == kDivideByZero) {
    ThrowIfError(DVError(kDivideByZero, kSeverityWarning, kDisplayByFocus));
    return;
  }
  Raise(outcome.message);
}

void PushResult(const Outcome& outcome, uint8_t* out) {
  if (outcome.result != outcome.working) ConvertValue(out, outcome.working, out, outcome.result);
  ValueStack::Push(outcome.result, out);
}

// Pops the top item with its kind and brings a reference to its value.
uint16_t PopOperand(uint8_t* buffer) {
  uint16_t kind = ValueStack::TopKind();
  ValueStack::Pop(buffer);
  FetchOperand(&kind, buffer);
  return kind;
}

// ---- unary operators --------------------------------------------------------------------

Outcome ComputeUnary(uint16_t code, PromotionEntry promotion, const uint8_t* a, uint8_t* out) {
  Outcome outcome{kNoMessage, promotion.working, promotion.result};
  const uint16_t working = promotion.working;
  if (code != kOpUnaryPlus && code != kOpUnaryMinus && code != kOpLogicalNot && code != kOpComplement) {
    Raise(kUnknownOperation);
  }
  switch (working) {
    case kKindNone:
    case kKindTypedLocation:
    case kKindOrdinal:
      outcome.message = kInvalidPointerOperation;
      break;
    case kKindBool1:
      if (code == kOpLogicalNot) {
        StoreTruth(out, a[0] == 0);
      } else {
        outcome.message = kInvalidBooleanOperation;
      }
      break;
    case kKindOrd4:
    case kKindInt4: {
      const uint32_t value = LoadU32(a);
      if (code == kOpUnaryPlus) {
        StoreU32(out, value);
      } else if (code == kOpUnaryMinus) {
        StoreU32(out, 0u - value);
        outcome.result = kKindInt4;
      } else if (code == kOpLogicalNot) {
        StoreTruth(out, value == 0);
      } else {
        StoreU32(out, ~value);
      }
      break;
    }
    case kKindOrd8:
    case kKindInt8: {
      const uint64_t value = LoadU64(a);
      if (code == kOpUnaryPlus) {
        StoreU64(out, value);
      } else if (code == kOpUnaryMinus) {
        StoreU64(out, ~value + 1);
        outcome.result = kKindInt8;
      } else if (code == kOpLogicalNot) {
        StoreTruth(out, value == 0);
      } else {
        StoreU64(out, ~value);
      }
      break;
    }
    case kKindOrd16:
      if (code == kOpLogicalNot) {
        StoreTruth(out, IsAllZero(a, 16));
      } else if (code == kOpComplement) {
        for (uint32_t i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>(~a[i]);
      } else {
        outcome.message = kInvalidOrdinalOperation;
      }
      break;
    case kKindReal10:
      if (code == kOpUnaryPlus) {
        std::memcpy(out, a, 10);
      } else if (code == kOpUnaryMinus) {
        RealTempRing::PushReal10(a);
        RealTempRing::NegateTop();
        RealTempRing::PopReal10(out);
      } else {
        outcome.message = kInvalidRealOperation;
      }
      break;
    case kKindNString:
      outcome.message = kInvalidStringOperation;
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  if (code == kOpLogicalNot) outcome.working = outcome.result = kKindBool1;
  return outcome;
}

}  // namespace

void CheckOperandKind(uint16_t kind) {
  if (kind == 0 || kind > kLastOperandKind) Raise(kInvalidTypeForArithmetic);
}

PromotionEntry PromoteOperandKinds(uint16_t a, uint16_t b) {
  const PromotionEntry entry = LookupPromotion(a, b);
  if (!IsWorkingKind(entry.working)) Raise(kInvalidTypeConversion);
  return entry;
}

void FetchOperand(uint16_t* kind, uint8_t* buffer) {
  if (*kind != kKindPointerLocation) return;
  const PointerLocation reference = PointerLocation::ReadImage(buffer);
  const TypedLocation& location = reference.Location();
  if (location.IsPointer()) {
    reference.Dereference().WriteImage(buffer);
    *kind = kKindTypedLocation;
    return;
  }
  const auto type = static_cast<uint16_t>(location.Type().Code());
  // The stack's own item kinds are images of the debugger's records, never values
  // that lie in target memory; types that are no operand are refused before reading.
  if (type >= kKindPointerLocation && type <= kKindMarker) Raise(kInvalidTypeConversion);
  CheckOperandKind(type);
  TargetMemory::ReadLocationValue(buffer, kBufferSize, location);
  *kind = type;
}

// 1. Pop B, the operator code and A; references become values.
// 2. The pair's working kind W and result kind R come from the promotion table; both
//    operands are converted to W (for an address with an integer: the location to a
//    location, the integer to an OrdinalValue).
// 3. Compute; a message is raised after the operands are gone (a division by zero only
//    warns and yields 0).
// 4. The result, converted from W to R, is pushed as R.
void OperatorExecutor() {
  uint8_t a[kBufferSize];
  uint8_t b[kBufferSize];
  uint8_t out[kBufferSize];
  uint16_t kindB = PopOperand(b);
  const uint16_t code = ValueStack::PopOrd2();
  uint16_t kindA = PopOperand(a);
  CheckOperandKind(kindA);
  CheckOperandKind(kindB);
  const PromotionEntry promotion = PromoteOperandKinds(kindA, kindB);
  const uint16_t fetchedA = kindA;
  const uint16_t fetchedB = kindB;
  if (promotion.working == kKindNone) {
    // A symbol or location stays a location; the other operand becomes an OrdinalValue.
    auto toAddressOperand = [](uint16_t& kind, uint8_t* bytes) {
      const uint16_t target =
          kind == kKindSymbolValue || kind == kKindTypedLocation ? kKindTypedLocation : kKindOrdinal;
      ConvertValue(bytes, kind, bytes, target);
      kind = target;
    };
    toAddressOperand(kindA, a);
    toAddressOperand(kindB, b);
  } else {
    ConvertValue(a, kindA, a, promotion.working);
    ConvertValue(b, kindB, b, promotion.working);
    kindA = kindB = promotion.working;
  }
  std::memset(out, 0, 16);
  const Outcome outcome = ComputeBinary(code, promotion, fetchedA, fetchedB, kindA, a, kindB, b, out);
  RaiseOutcome(outcome);
  PushResult(outcome, out);
}

void ExecuteUnaryOperator() {
  uint8_t a[kBufferSize];
  uint8_t out[kBufferSize];
  const uint16_t kindA = PopOperand(a);
  const uint16_t code = ValueStack::PopOrd2();
  CheckOperandKind(kindA);
  const PromotionEntry promotion = PromoteOperandKinds(kindA, kindA);
  ConvertValue(a, kindA, a, promotion.working);
  std::memset(out, 0, 16);
  const Outcome outcome = ComputeUnary(code, promotion, a, out);
  RaiseOutcome(outcome);
  PushResult(outcome, out);
}

// A "char" steps modulo 256 and stays a "char"; anything else is A + 1 or A - 1
// through the binary operator, with A pushed back first.
void ExecuteIncrementOperator() {
  uint8_t a[kBufferSize];
  const uint16_t code = ValueStack::PopOrd2();
  const uint16_t kindA = PopOperand(a);
  CheckOperandKind(kindA);
  if (code != kOpIncrement && code != kOpDecrement) Raise(kUnknownOperation);
  if (kindA == kKindChar) {
    const uint8_t stepped = static_cast<uint8_t>(code == kOpIncrement ? a[0] + 1 : a[0] - 1);
    ValueStack::Push(kKindChar, &stepped);
    return;
  }
  ValueStack::Push(kindA, a);
  uint8_t operation[2];
  StoreU16(operation, code == kOpIncrement ? kOpAdd : kOpSubtract);
  ValueStack::Push(kKindOrd2, operation);
  const uint8_t one = 1;
  ValueStack::Push(kKindOrd1, &one);
  OperatorExecutor();
}

// 1. The parts lie on the stack with the first part on top: one part with a 16-bit
//    component below a marker, two parts above a null item, or three parts.
// 2. Each part becomes a 64-bit value; the target makes the address (this target
//    accepts one part only and answers the others with 2003).
void BuildAddressFromParts() {
  AddressSpecification specification;
  specification.m_addressKind = 0;
  specification.m_base = AddressDescriptor::Null().Record();
  specification.m_component = 0xFFFFFFFFu;
  uint32_t parts = 3;
  if (ValueStack::TopKind() == kKindMarker) {
    ValueStack::Drop();
    specification.m_component = ValueStack::PopOrd2();
    parts = 1;
  } else if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    parts = 2;
  }
  specification.m_form = parts;
  for (uint32_t i = 0; i < parts; ++i) {
    uint8_t buffer[kBufferSize];
    uint16_t kind = PopOperand(buffer);
    ConvertValue(buffer, kind, buffer, kKindOrdinal);
    specification.m_components[i] = LoadU64(buffer);
  }
  ValueStack::PushLocation(TypedLocation(AddressDescriptor(specification)));
}

}  // namespace zentor
