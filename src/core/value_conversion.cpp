#include "core/value_conversion.h"

#include <cstring>

#include "core/address_descriptor.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/real_temp_ring.h"
#include "core/soft_float.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint32_t kStringTooLong = 205;
constexpr uint32_t kMaxLStringLength = 254;
constexpr uint32_t kInvalidAddressOperation = 2003;

[[noreturn]] void Raise(uint32_t number) { throw DVError(number, kSeverityError, kDisplayByFocus); }

bool IsSignedIntegerKind(uint32_t kind) { return kind >= kKindInt1 && kind <= kKindInt8; }

uint32_t IntegerSize(uint32_t kind) { return GetValueKindSize(kind); }

// ---- 128-bit magnitudes for the integer <-> real conversions -----------------------

struct Wide128 {
  uint64_t low = 0;
  uint64_t high = 0;
};

Wide128 LoadWide(const uint8_t* wide) { return Wide128{LoadU64(wide), LoadU64(wide + 8)}; }

void StoreWide(uint8_t* wide, const Wide128& value) {
  StoreU64(wide, value.low);
  StoreU64(wide + 8, value.high);
}

Wide128 Negate(const Wide128& value) {
  Wide128 result{~value.low, ~value.high};
  result.low += 1;
  if (result.low == 0) result.high += 1;
  return result;
}

int TopBit(const Wide128& value) {
  for (int bit = 63; bit >= 0; --bit) {
    if ((value.high >> bit) & 1u) return bit + 64;
  }
  for (int bit = 63; bit >= 0; --bit) {
    if ((value.low >> bit) & 1u) return bit;
  }
  return -1;
}

// Bits [shift, shift + 64) of the value, and whether the bits below them are all
// zero, and the highest of them (the guard bit).
struct Shifted {
  uint64_t kept = 0;
  bool guard = false;
  bool sticky = false;
};

Shifted ShiftRightKeeping(const Wide128& value, uint32_t shift) {
  Shifted result;
  if (shift == 0) {
    result.kept = value.low;
    return result;
  }
  if (shift < 64) {
    result.kept = (value.low >> shift) | (value.high << (64 - shift));
    result.guard = ((value.low >> (shift - 1)) & 1u) != 0;
    result.sticky = (value.low & ((uint64_t{1} << (shift - 1)) - 1)) != 0;
  } else if (shift == 64) {
    result.kept = value.high;
    result.guard = (value.low >> 63) != 0;
    result.sticky = (value.low & ~(uint64_t{1} << 63)) != 0;
  } else {
    const uint32_t s = shift - 64;  // 1..63
    result.kept = value.high >> s;
    result.guard = ((value.high >> (s - 1)) & 1u) != 0;
    result.sticky = value.low != 0 || (value.high & ((uint64_t{1} << (s - 1)) - 1)) != 0;
  }
  return result;
}

// Whether a dropped fraction makes the magnitude go up, by the package's mode.
bool RoundsUp(bool negative, bool odd, bool guard, bool sticky) {
  if (!guard && !sticky) return false;
  switch (FloatRoundingMode()) {
    case kRoundDownward:
      return negative;
    case kRoundUpward:
      return !negative;
    case kRoundTowardZero:
      return false;
    default:
      return guard && (sticky || odd);
  }
}

void StoreExtended(uint8_t* real10, bool negative, uint32_t biasedExponent, uint64_t mantissa) {
  StoreU64(real10, mantissa);
  StoreU16(real10 + 8, static_cast<uint16_t>((negative ? 0x8000u : 0u) | (biasedExponent & 0x7FFFu)));
}

// The 16-byte intermediate as an 80-bit real. Up to 64 significant bits are exact.
// Wider magnitudes are rounded to 64 bits: in the package's mode when the result stays
// extended, otherwise to odd (the dropped bits leave a 1 in the last place), so that
// the later rounding to 24 or 53 bits is the correct rounding of the whole value.
void IntegerToExtended(const uint8_t* wide, bool isSigned, bool finalRounding, uint8_t* real10) {
  Wide128 magnitude = LoadWide(wide);
  const bool negative = isSigned && (magnitude.high >> 63) != 0;
  if (negative) magnitude = Negate(magnitude);
  const int top = TopBit(magnitude);
  if (top < 0) {
    StoreExtended(real10, false, 0, 0);
    return;
  }
  uint32_t exponent = static_cast<uint32_t>(top);
  uint64_t mantissa = 0;
  if (top <= 63) {
    mantissa = magnitude.low << (63 - top);
  } else {
    const Shifted shifted = ShiftRightKeeping(magnitude, static_cast<uint32_t>(top - 63));
    mantissa = shifted.kept;
    if (!finalRounding) {
      if (shifted.guard || shifted.sticky) mantissa |= 1u;
    } else if (RoundsUp(negative, (mantissa & 1u) != 0, shifted.guard, shifted.sticky)) {
      ++mantissa;
      if (mantissa == 0) {
        mantissa = uint64_t{1} << 63;
        ++exponent;
      }
    }
  }
  StoreExtended(real10, negative, exponent + 16383u, mantissa);
}

// The 80-bit real rounded to an integer in the package's mode and saturated at the
// range of an integer of `size` bytes (signed or not), as a 16-byte intermediate.
void ExtendedToInteger(const uint8_t* real10, uint32_t size, bool isSigned, uint8_t* wide) {
  const uint64_t mantissa = LoadU64(real10);
  const uint16_t signExponent = LoadU16(real10 + 8);
  const bool negative = (signExponent & 0x8000u) != 0;
  const uint32_t biased = signExponent & 0x7FFFu;

  const uint32_t bits = size * 8;
  // Largest magnitudes of the destination: 2^(bits-1) - 1 (signed positive),
  // 2^(bits-1) (signed negative), 2^bits - 1 (unsigned).
  Wide128 largest;
  const uint32_t valueBits = isSigned ? bits - 1 : bits;
  if (valueBits >= 128) {
    largest = Wide128{~uint64_t{0}, ~uint64_t{0}};
  } else if (valueBits >= 64) {
    largest = Wide128{~uint64_t{0}, (uint64_t{1} << (valueBits - 64)) - 1};
  } else {
    largest = Wide128{(uint64_t{1} << valueBits) - 1, 0};
  }
  Wide128 smallest = largest;  // magnitude of the most negative value
  if (isSigned) {
    smallest.low += 1;
    if (smallest.low == 0) smallest.high += 1;
  }

  auto saturate = [&](bool toNegative) {
    if (toNegative && !isSigned) {
      StoreWide(wide, Wide128{});
    } else if (toNegative) {
      StoreWide(wide, Negate(smallest));
    } else {
      StoreWide(wide, largest);
    }
  };

  if (biased == 0x7FFF) {  // infinity or NaN: by its sign
    saturate(negative);
    return;
  }
  // value = mantissa * 2^(exponent - 63), exponent unbiased (denormals: -16382).
  const int32_t exponent = (biased == 0 ? 1 : static_cast<int32_t>(biased)) - 16383;
  Wide128 magnitude;
  if (mantissa == 0) {
    magnitude = Wide128{};
  } else if (exponent >= 127) {
    saturate(negative);
    return;
  } else if (exponent >= 63) {
    const uint32_t shift = static_cast<uint32_t>(exponent - 63);
    magnitude = shift == 0 ? Wide128{mantissa, 0}
                           : Wide128{mantissa << shift, mantissa >> (64 - shift)};
  } else {
    const int32_t shift = 63 - exponent;  // 1 and more
    Shifted shifted;
    if (shift > 64) {
      shifted.kept = 0;
      shifted.guard = false;
      shifted.sticky = true;
    } else {
      shifted = ShiftRightKeeping(Wide128{mantissa, 0}, static_cast<uint32_t>(shift));
      if (shift == 64) {
        shifted.kept = 0;
        shifted.guard = (mantissa >> 63) != 0;
        shifted.sticky = (mantissa & ~(uint64_t{1} << 63)) != 0;
      }
    }
    magnitude = Wide128{shifted.kept, 0};
    if (RoundsUp(negative, (shifted.kept & 1u) != 0, shifted.guard, shifted.sticky)) magnitude.low += 1;
  }
  const Wide128& limit = negative ? smallest : largest;
  const bool beyond = negative && !isSigned ? (magnitude.low != 0 || magnitude.high != 0)
                                            : (magnitude.high > limit.high ||
                                               (magnitude.high == limit.high && magnitude.low > limit.low));
  if (beyond) {
    saturate(negative);
    return;
  }
  StoreWide(wide, negative ? Negate(magnitude) : magnitude);
}

// ---- reals through the real temporaries -------------------------------------------

bool IsRealKind(uint32_t kind) { return kind >= kKindReal4 && kind <= kKindReal10; }

void PushReal(uint32_t kind, const uint8_t* bytes) {
  switch (kind) {
    case kKindReal4:
      RealTempRing::PushReal4(bytes);
      break;
    case kKindReal8:
      RealTempRing::PushReal8(bytes);
      break;
    default:
      RealTempRing::PushReal10(bytes);
      break;
  }
}

void PopReal(uint32_t kind, uint8_t* bytes) {
  switch (kind) {
    case kKindReal4:
      RealTempRing::PopReal4(bytes);
      break;
    case kKindReal8:
      RealTempRing::PopReal8(bytes);
      break;
    default:
      RealTempRing::PopReal10(bytes);
      break;
  }
}

// ---- truth of integer, real and boolean values --------------------------------------

bool IntegerTruth(uint32_t kind, const uint8_t* source) {
  uint8_t wide[16];
  WidenToOrd16(static_cast<uint16_t>(kind), source, wide);
  return !IsAllZero(wide, 16);
}

bool BooleanTruth(uint32_t kind, const uint8_t* source) {
  switch (kind) {
    case kKindBool1:
      return source[0] != 0;
    case kKindBool2:
      return LoadU16(source) != 0;
    case kKindBool4:
      return LoadU32(source) != 0;
    default:
      return !IsAllZero(source, 8);
  }
}

void StoreTruth(uint32_t destinationKind, bool truth, uint8_t* destination) {
  const uint32_t size = GetValueKindSize(destinationKind);
  std::memset(destination, 0, size);
  destination[0] = truth ? 1 : 0;
}

bool IsBooleanKind(uint32_t kind) { return kind >= kKindBool1 && kind <= kKindBool8; }

// ---- text ---------------------------------------------------------------------------

uint32_t BoundedNStringLength(const uint8_t* text) {
  uint32_t length = 0;
  while (length < kValueBufferSize - 1 && text[length] != 0) ++length;
  return length;
}

// ---- addresses ----------------------------------------------------------------------

// Addresses of target types are made by the target from their offset; only the
// target's memory address type can be made that way.
void RequirePointerType(uint32_t kind) {
  if (DVPTypeInfo::FromCode(static_cast<int32_t>(kind)).TargetTypeId() != kTargetTypePointer) {
    Raise(kInvalidTypeConversion);
  }
}

AddressDescriptor AddressOfValue(uint32_t kind, const uint8_t* source) {
  if (kind == kKindTypedLocation) return TypedLocation::ReadImage(source).Address();
  RequirePointerType(kind);
  const uint32_t offset = LoadU32(source);
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(static_cast<int32_t>(kind)), &offset);
}

void StoreAddress(uint32_t destinationKind, const AddressDescriptor& address, uint8_t* destination) {
  if (destinationKind == kKindTypedLocation) {
    TypedLocation(address).WriteImage(destination);
    return;
  }
  address.CheckClass(DVPTypeInfo::FromCode(static_cast<int32_t>(destinationKind)).TargetTypeId());
  StoreU32(destination, address.Offset());
}

// ---- the converters -------------------------------------------------------------------

void ConvertIntegerToInteger(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  uint8_t wide[16];
  WidenToOrd16(static_cast<uint16_t>(sourceKind), source, wide);
  NarrowFromOrd16(static_cast<uint16_t>(destinationKind), destination, wide);
}

// Integer to real, real to real and real to integer: through an 80-bit real.
void ConvertThroughReal10(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                          uint8_t* destination) {
  if (sourceKind == kKindPacked || destinationKind == kKindPacked) Raise(kInvalidRealOperation);
  uint8_t real10[10];
  if (IsRealKind(sourceKind)) {
    LoadAsReal10(static_cast<uint16_t>(sourceKind), source, real10);
  } else {
    uint8_t wide[16];
    WidenToOrd16(static_cast<uint16_t>(sourceKind), source, wide);
    IntegerToExtended(wide, IsSignedIntegerKind(sourceKind), destinationKind == kKindReal10, real10);
  }
  StoreFromReal10(static_cast<uint16_t>(destinationKind), destination, real10);
}

void ConvertIntegerToChar(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                          uint8_t* destination) {
  if (destinationKind != kKindChar) Raise(kInvalidTypeConversion);
  destination[0] = source[0];  // the low byte of the little-endian value
}

void ConvertIntegerToBoolean(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  if (!IsBooleanKind(destinationKind)) Raise(kInvalidTypeConversion);
  StoreTruth(destinationKind, IntegerTruth(sourceKind, source), destination);
}

void ConvertIntegerToAddress(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  if (destinationKind != kKindTypedLocation) RequirePointerType(destinationKind);
  uint8_t wide[16];
  WidenToOrd16(static_cast<uint16_t>(sourceKind), source, wide);
  const AddressDescriptor address(LoadOrdinal(wide), 0, AddressDescriptor::Null());
  StoreAddress(destinationKind, address, destination);
}

void ConvertRealToBoolean(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                          uint8_t* destination) {
  if (!IsBooleanKind(destinationKind)) Raise(kInvalidTypeConversion);
  uint8_t real10[10];
  LoadAsReal10(static_cast<uint16_t>(sourceKind), source, real10);
  RealTempRing::PushReal10(real10);
  RealTempRing::PushZero();
  // Only "equal to zero" is false; an unordered value (a NaN) counts as true.
  const bool truth = RealTempRing::CompareTop2() != RealTempRing::kConditionEqual;
  StoreTruth(destinationKind, truth, destination);
}

void ConvertCharToInteger(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                          uint8_t* destination) {
  if (sourceKind != kKindChar) Raise(kInvalidTypeConversion);
  uint8_t wide[16] = {};
  wide[0] = source[0];
  NarrowFromOrd16(static_cast<uint16_t>(destinationKind), destination, wide);
}

// An "lstring" destination is written from its last character to its first and then
// its length byte, so that an "nstring" can become an "lstring" in the same buffer.
void ConvertTextToText(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                       uint8_t* destination) {
  const uint8_t* characters = source;
  uint32_t length = 1;
  if (sourceKind == kKindNString) {
    length = BoundedNStringLength(source);
  } else if (sourceKind == kKindLString) {
    length = source[0];
    characters = source + 1;
  }
  switch (destinationKind) {
    case kKindChar:
      destination[0] = length != 0 ? characters[0] : 0;
      break;
    case kKindNString:
      std::memmove(destination, characters, length);
      destination[length] = 0;
      break;
    default:  // kKindLString
      if (length > kMaxLStringLength) Raise(kStringTooLong);
      std::memmove(destination + 1, characters, length);
      destination[0] = static_cast<uint8_t>(length);
      break;
  }
}

void ConvertBooleanToInteger(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  uint8_t wide[16] = {};
  wide[0] = BooleanTruth(sourceKind, source) ? 1 : 0;
  NarrowFromOrd16(static_cast<uint16_t>(destinationKind), destination, wide);
}

void ConvertBooleanToBoolean(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  StoreTruth(destinationKind, BooleanTruth(sourceKind, source), destination);
}

void ConvertAddressToAddress(uint32_t sourceKind, const uint8_t* source, uint32_t destinationKind,
                             uint8_t* destination) {
  StoreAddress(destinationKind, AddressOfValue(sourceKind, source), destination);
}

void RefuseConversion(uint32_t, const uint8_t*, uint32_t, uint8_t*) { Raise(kInvalidTypeConversion); }

using Converter = void (*)(uint32_t, const uint8_t*, uint32_t, uint8_t*);

// Converter by source class (row) and destination class (column).
constexpr Converter kConverters[5][5] = {
    {ConvertIntegerToInteger, ConvertThroughReal10, ConvertIntegerToChar, ConvertIntegerToBoolean,
     ConvertIntegerToAddress},
    {ConvertThroughReal10, ConvertThroughReal10, RefuseConversion, ConvertRealToBoolean, RefuseConversion},
    {ConvertCharToInteger, RefuseConversion, ConvertTextToText, RefuseConversion, RefuseConversion},
    {ConvertBooleanToInteger, RefuseConversion, RefuseConversion, ConvertBooleanToBoolean, RefuseConversion},
    {RefuseConversion, RefuseConversion, RefuseConversion, RefuseConversion, ConvertAddressToAddress},
};

uint32_t NormalizedKind(uint32_t kind) {
  if (kind == kKindCode1) return kKindOrd4;
  if (kind == kKindOffset) return kKindLString;
  return kind;
}

}  // namespace

uint32_t GetConversionClass(uint32_t kind) {
  if ((kind >= kKindOrd1 && kind <= kKindInt8) || kind == kKindOrdinal) return kConversionInteger;
  if (kind == kKindPacked || IsRealKind(kind)) return kConversionReal;
  if (kind == kKindChar || kind == kKindNString || kind == kKindLString) return kConversionText;
  if (IsBooleanKind(kind)) return kConversionBoolean;
  if (kind == kKindTypedLocation || IsTargetAddressKind(kind)) return kConversionAddress;
  Raise(kInvalidTypeConversion);
}

bool IsAllZero(const uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

void CopySameKind(uint16_t kind, const void* source, void* destination) {
  if (source == destination) return;
  const auto* from = static_cast<const uint8_t*>(source);
  uint32_t size = GetValueKindSize(kind);
  if (kind == kKindNString) size = BoundedNStringLength(from) + 1;
  if (kind == kKindLString) size = static_cast<uint32_t>(from[0]) + 1;
  std::memmove(destination, source, size);
  if (kind == kKindNString) static_cast<uint8_t*>(destination)[size - 1] = 0;
}

void WidenToOrd16(uint16_t kind, const void* source, uint8_t* wide) {
  const auto* from = static_cast<const uint8_t*>(source);
  uint32_t size = IntegerSize(kind);
  if (size > 16) size = 16;
  const bool negative = IsSignedIntegerKind(kind) && size != 0 && (from[size - 1] & 0x80u) != 0;
  uint8_t extended[16];
  std::memset(extended, negative ? 0xFF : 0x00, sizeof extended);
  std::memcpy(extended, from, size);
  std::memcpy(wide, extended, sizeof extended);
}

void NarrowFromOrd16(uint16_t kind, void* destination, const uint8_t* wide) {
  uint32_t size = IntegerSize(kind);
  if (size > 16) size = 16;
  std::memmove(destination, wide, size);
}

void LoadAsReal10(uint16_t kind, const void* source, uint8_t* real10) {
  const auto* from = static_cast<const uint8_t*>(source);
  if (kind == kKindPacked) Raise(kInvalidRealOperation);
  if (IsRealKind(kind)) {
    PushReal(kind, from);
    RealTempRing::PopReal10(real10);  // exact: every real fits the extended form
    return;
  }
  if (GetConversionClass(kind) != kConversionInteger) Raise(kInvalidTypeConversion);
  uint8_t wide[16];
  WidenToOrd16(kind, from, wide);
  IntegerToExtended(wide, IsSignedIntegerKind(kind), true, real10);
}

void StoreFromReal10(uint16_t kind, void* destination, const uint8_t* real10) {
  auto* to = static_cast<uint8_t*>(destination);
  if (kind == kKindPacked) Raise(kInvalidRealOperation);
  if (IsRealKind(kind)) {
    RealTempRing::PushReal10(real10);
    PopReal(kind, to);
    return;
  }
  if (GetConversionClass(kind) != kConversionInteger) Raise(kInvalidTypeConversion);
  uint8_t wide[16];
  ExtendedToInteger(real10, IntegerSize(kind), IsSignedIntegerKind(kind), wide);
  NarrowFromOrd16(kind, to, wide);
}

// 1. Normalise the source: code 1 reads as "ord4", the offset type as "lstring"; a
//    reference (PointerLocation) is followed or read from the target; a symbol value
//    is its location; an inactive symbol is an "ord1" 0.
// 2. Normalise the destination the same way.
// 3. Both kinds need a conversion class (140 otherwise); equal kinds copy, other pairs
//    go to the converter of their classes.
namespace {

// Byte size of the integer kinds of at most 64 bits (ord1 .. int8 without the 10-,
// 12- and 16-byte ones); 0 for every other kind.
uint32_t SmallIntegerSize(uint32_t kind) {
  static constexpr uint8_t kSizes[] = {1, 2, 4, 8, 0, 0, 0, 1, 2, 4, 8};
  return kind >= kKindOrd1 && kind <= kKindInt8 ? kSizes[kind - kKindOrd1] : 0;
}

// The integer conversions loops run most (a literal to int4, a result back to its
// variable's kind): the same as widening to 16 bytes and narrowing, in one 64-bit word.
bool ConvertSmallInteger(const uint8_t* from, uint32_t sourceKind, uint8_t* to, uint32_t destinationKind) {
  const uint32_t sourceSize = SmallIntegerSize(sourceKind);
  const uint32_t destinationSize = SmallIntegerSize(destinationKind);
  if (sourceSize == 0 || destinationSize == 0) return false;
  if (sourceKind == destinationKind && from == to) return true;  // already in place
  const bool isSigned = IsSignedIntegerKind(sourceKind);
  uint64_t value = 0;
  switch (sourceSize) {
    case 1: value = isSigned ? static_cast<uint64_t>(static_cast<int8_t>(from[0])) : from[0]; break;
    case 2: value = isSigned ? static_cast<uint64_t>(static_cast<int16_t>(LoadU16(from))) : LoadU16(from); break;
    case 4: value = isSigned ? static_cast<uint64_t>(static_cast<int32_t>(LoadU32(from))) : LoadU32(from); break;
    default: value = LoadU64(from); break;
  }
  switch (destinationSize) {
    case 1: to[0] = static_cast<uint8_t>(value); break;
    case 2: StoreU16(to, static_cast<uint16_t>(value)); break;
    case 4: StoreU32(to, static_cast<uint32_t>(value)); break;
    default: StoreU64(to, value); break;
  }
  return true;
}

// Every conversion but those of the small integers; apart, so the frequent ones pay
// for none of its frame.
[[gnu::noinline]] void ConvertAnyValue(const void* source, uint16_t sourceKind, void* destination,
                                       uint16_t destinationKind) {
  const auto* from = static_cast<const uint8_t*>(source);
  uint8_t work[kValueBufferSize];
  uint32_t kind = NormalizedKind(sourceKind);

  if (kind == kKindPointerLocation) {
    const PointerLocation reference = PointerLocation::ReadImage(from);
    const TypedLocation& location = reference.Location();
    if (location.IsPointer()) {
      reference.Dereference().WriteImage(work);
      kind = kKindTypedLocation;
    } else {
      kind = NormalizedKind(static_cast<uint32_t>(location.Type().Code()));
      if (kind == kKindTypedLocation) ZENTOR_INTERNAL_ERROR();
      GetConversionClass(kind);  // refuse kinds without a value before reading the target
      TargetMemory::ReadLocationValue(work, sizeof work, location);
    }
    from = work;
  } else if (kind == kKindSymbolValue) {
    kind = kKindTypedLocation;  // its leading bytes are the symbol's location
  } else if (kind == kKindInactiveSymbol) {
    work[0] = 0;
    from = work;
    kind = kKindOrd1;
  }

  const uint32_t target = NormalizedKind(destinationKind);
  const uint32_t sourceClass = GetConversionClass(kind);
  const uint32_t destinationClass = GetConversionClass(target);
  auto* to = static_cast<uint8_t*>(destination);
  if (kind == target) {
    CopySameKind(static_cast<uint16_t>(kind), from, to);
    return;
  }
  // Converters read the whole source before they write, except the text converter,
  // which copies with memmove; a work copy keeps the rest safe when the buffers meet.
  if (from == to && sourceClass != kConversionText) {
    std::memcpy(work, from, GetValueKindSize(kind) > sizeof work ? sizeof work : GetValueKindSize(kind));
    from = work;
  }
  kConverters[sourceClass][destinationClass](kind, from, target, to);
}

}  // namespace

void ConvertValue(const void* source, uint16_t sourceKind, void* destination, uint16_t destinationKind) {
  if (ConvertSmallInteger(static_cast<const uint8_t*>(source), sourceKind, static_cast<uint8_t*>(destination),
                          destinationKind)) {
    return;
  }
  ConvertAnyValue(source, sourceKind, destination, destinationKind);
}

}  // namespace zentor
