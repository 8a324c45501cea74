#include "core/soft_float.h"
#include "core/value_bytes.h"

#include <vector>

namespace zentor {

uint32_t SignificantDigits = 19;

namespace {

uint32_t g_roundingMode = kRoundToNearest;
uint32_t g_precision = 64;
uint32_t g_statusFlags = 0;

constexpr uint64_t kIntegerBit = 0x8000000000000000ull;
constexpr uint64_t kQuietBit = 0x4000000000000000ull;
constexpr uint32_t kMaxDigits = 19;

void Flag(uint32_t flags) { g_statusFlags |= flags; }

// Precision and exponent range of a rounding target. Values below the smallest normal
// exponent keep only the bits the format's denormals have room for.
struct RoundTarget {
  int32_t m_precision;       // significant bits of a normal value
  int32_t m_formatBits;      // significand bits of the stored format
  int32_t m_maxExponent;     // largest exponent of a finite value
  int32_t m_minNormalExponent;
};

RoundTarget TargetOf(FloatFormat format) {
  switch (format) {
    case FloatFormat::Single: return RoundTarget{24, 24, 127, -126};
    case FloatFormat::Double: return RoundTarget{53, 53, 1023, -1022};
    case FloatFormat::Extended: return RoundTarget{64, 64, 16383, -16382};
    case FloatFormat::Working: break;
  }
  return RoundTarget{static_cast<int32_t>(g_precision), 64, 16383, -16382};
}

FloatUnpacked MakeValue(uint32_t sign, int32_t exponent, uint64_t mantissa) {
  FloatUnpacked value;
  value.m_sign = sign;
  value.m_exponent = exponent;
  value.SetMantissa(mantissa);
  return value;
}

FloatUnpacked SignedZero(uint32_t sign) { return MakeValue(sign, 0, 0); }
FloatUnpacked Infinity(uint32_t sign) { return MakeValue(sign, kFloatSpecialExponent, kIntegerBit); }
FloatUnpacked DefaultNaN() { return MakeValue(0, kFloatSpecialExponent, kDefaultNaNMantissa); }

FloatUnpacked InvalidOperation() {
  Flag(kFloatInvalid | kFloatNaNProduced);
  return DefaultNaN();
}

// A finite non-zero operand with its mantissa brought back into normal form, so that
// a hand-built value with a clear integer bit still computes correctly.
FloatUnpacked Normalised(const FloatUnpacked& value) {
  if (value.m_exponent == kFloatSpecialExponent) {
    return value;
  }
  uint64_t mantissa = value.Mantissa();
  if (mantissa == 0) {
    return SignedZero(value.m_sign & 1u);
  }
  // Exponents far outside every format round the same as at these limits; clamping
  // them keeps exponent sums and shift counts small.
  constexpr int32_t kExponentLimit = 1 << 20;
  int32_t exponent = value.m_exponent;
  if (exponent > kExponentLimit) {
    exponent = kExponentLimit;
  } else if (exponent < -kExponentLimit) {
    exponent = -kExponentLimit;
  }
  while ((mantissa & kIntegerBit) == 0) {
    mantissa <<= 1;
    --exponent;
  }
  return MakeValue(value.m_sign & 1u, exponent, mantissa);
}

// The result of an overflow in the current rounding mode: infinity, or the largest
// finite value of the target when the mode rounds toward it.
FloatUnpacked OverflowResult(uint32_t sign, const RoundTarget& target) {
  Flag(kFloatOverflow | kFloatInexact);
  const FloatUnpacked largest =
      MakeValue(sign, target.m_maxExponent, ~0ull << (64 - target.m_precision));
  switch (g_roundingMode) {
    case kRoundDownward: return sign != 0 ? Infinity(sign) : largest;
    case kRoundUpward: return sign != 0 ? largest : Infinity(sign);
    case kRoundTowardZero: return largest;
    default: return Infinity(sign);
  }
}

bool RoundsAwayFromZero(uint32_t sign, bool roundBit, bool sticky, bool lowestKeptOdd) {
  switch (g_roundingMode) {
    case kRoundDownward: return sign != 0 && (roundBit || sticky);
    case kRoundUpward: return sign == 0 && (roundBit || sticky);
    case kRoundTowardZero: return false;
    default: return roundBit && (sticky || lowestKeptOdd);
  }
}

// Rounds sign * (mantissa + extension / 2^64) * 2^(exponent - 63) into the target.
// The mantissa has its top bit set; the lowest bit of the extension may be a sticky
// bit standing for everything below it. The result is normalised, zero or an
// overflow result.
FloatUnpacked Round(uint32_t sign, int32_t exponent, uint64_t mantissa, uint64_t extension,
                    const RoundTarget& target) {
  if (exponent > target.m_maxExponent) {
    return OverflowResult(sign, target);
  }
  int64_t kept = target.m_precision;
  if (exponent < target.m_minNormalExponent) {
    const int64_t room = static_cast<int64_t>(target.m_formatBits) -
                         (static_cast<int64_t>(target.m_minNormalExponent) - exponent);
    if (room < kept) {
      kept = room;
    }
  }
  if (kept <= 0) {
    // Below the smallest denormal: zero, or the smallest denormal when the rounding
    // goes that way (to nearest only from above half of it).
    const bool roundBit = kept == 0;
    const bool sticky = kept == 0 ? ((mantissa << 1) != 0 || extension != 0) : true;
    Flag(kFloatInexact | kFloatUnderflow);
    if (RoundsAwayFromZero(sign, roundBit, sticky, false)) {
      return MakeValue(sign, target.m_minNormalExponent - (target.m_formatBits - 1), kIntegerBit);
    }
    return SignedZero(sign);
  }
  const int drop = 64 - static_cast<int>(kept);
  bool roundBit;
  bool sticky;
  uint64_t keptBits;
  bool lowestKeptOdd;
  if (drop == 0) {
    roundBit = (extension >> 63) != 0;
    sticky = (extension << 1) != 0;
    keptBits = mantissa;
    lowestKeptOdd = (mantissa & 1u) != 0;
  } else {
    roundBit = ((mantissa >> (drop - 1)) & 1u) != 0;
    const uint64_t belowRound = drop > 1 ? (mantissa & ((1ull << (drop - 1)) - 1u)) : 0u;
    sticky = belowRound != 0 || extension != 0;
    keptBits = mantissa & ~((1ull << drop) - 1u);
    lowestKeptOdd = ((mantissa >> drop) & 1u) != 0;
  }
  if (roundBit || sticky) {
    Flag(kFloatInexact);
  }
  if (RoundsAwayFromZero(sign, roundBit, sticky, lowestKeptOdd)) {
    keptBits += 1ull << drop;
    if (keptBits == 0) {
      // All kept bits were ones: the value becomes the next power of two.
      keptBits = kIntegerBit;
      ++exponent;
      if (exponent > target.m_maxExponent) {
        return OverflowResult(sign, target);
      }
    }
  }
  if (exponent < target.m_minNormalExponent) {
    Flag(kFloatUnderflow);
  }
  return MakeValue(sign, exponent, keptBits);
}

FloatUnpacked RoundWorking(uint32_t sign, int32_t exponent, uint64_t mantissa, uint64_t extension) {
  return Round(sign, exponent, mantissa, extension, TargetOf(FloatFormat::Working));
}

// NaN operands: a signalling one raises invalid; the result is the second operand when
// both are NaNs and the second is signalling, otherwise the first NaN, made quiet.
bool PropagateNaN(const FloatUnpacked& a, const FloatUnpacked& b, FloatUnpacked& result) {
  const bool nanA = a.IsNaN();
  const bool nanB = b.IsNaN();
  if (!nanA && !nanB) {
    return false;
  }
  if (a.IsSignalingNaN() || b.IsSignalingNaN()) {
    Flag(kFloatInvalid);
  }
  const FloatUnpacked& chosen = (nanA && nanB && b.IsSignalingNaN()) ? b : (nanA ? a : b);
  result = MakeValue(chosen.m_sign & 1u, kFloatSpecialExponent, chosen.Mantissa() | kQuietBit);
  Flag(kFloatNaNProduced);
  return true;
}

// A 128-bit unsigned number for the exact sums and products.
struct Wide128 {
  uint64_t m_high;
  uint64_t m_low;
};

// Shifts right by count bits; bits shifted out are ORed into the lowest bit.
Wide128 ShiftRightJamming(Wide128 value, int32_t count) {
  if (count <= 0) {
    return value;
  }
  if (count < 64) {
    const bool lost = (value.m_low << (64 - count)) != 0;
    return Wide128{value.m_high >> count,
                   (value.m_high << (64 - count)) | (value.m_low >> count) | (lost ? 1u : 0u)};
  }
  if (count == 64) {
    return Wide128{0, value.m_high | (value.m_low != 0 ? 1u : 0u)};
  }
  if (count < 128) {
    const bool lost = (value.m_high << (128 - count)) != 0 || value.m_low != 0;
    return Wide128{0, (value.m_high >> (count - 64)) | (lost ? 1u : 0u)};
  }
  return Wide128{0, (value.m_high | value.m_low) != 0 ? 1u : 0u};
}

// value must not be 0.
int CountLeadingZeros64(uint64_t value) { return __builtin_clzll(value); }

Wide128 ShiftLeft(Wide128 value, int count) {
  if (count <= 0) {
    return value;
  }
  if (count >= 64) {
    return Wide128{value.m_low << (count - 64), 0};
  }
  return Wide128{(value.m_high << count) | (value.m_low >> (64 - count)), value.m_low << count};
}

// The exact product of two 64-bit words from 32-bit partial products.
Wide128 Multiply64(uint64_t a, uint64_t b) {
  const uint64_t aLow = a & 0xFFFFFFFFu;
  const uint64_t aHigh = a >> 32;
  const uint64_t bLow = b & 0xFFFFFFFFu;
  const uint64_t bHigh = b >> 32;
  const uint64_t lowLow = aLow * bLow;
  const uint64_t lowHigh = aLow * bHigh;
  const uint64_t highLow = aHigh * bLow;
  const uint64_t highHigh = aHigh * bHigh;
  const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
  return Wide128{highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
                 (middle << 32) | (lowLow & 0xFFFFFFFFu)};
}

// a + b with b's sign given (subtraction passes it flipped).
FloatUnpacked AddWithSign(const FloatUnpacked& aIn, const FloatUnpacked& bIn, uint32_t signB) {
  FloatUnpacked nanResult;
  if (PropagateNaN(aIn, bIn, nanResult)) {
    return nanResult;
  }
  const FloatUnpacked a = Normalised(aIn);
  FloatUnpacked b = Normalised(bIn);
  b.m_sign = signB & 1u;
  const uint32_t cancelledSign = g_roundingMode == kRoundDownward ? 1u : 0u;

  if (a.IsInfinity() || b.IsInfinity()) {
    if (a.IsInfinity() && b.IsInfinity() && a.m_sign != b.m_sign) {
      return InvalidOperation();
    }
    return a.IsInfinity() ? a : b;
  }
  if (a.IsZero() || b.IsZero()) {
    if (a.IsZero() && b.IsZero()) {
      return a.m_sign == b.m_sign ? a : SignedZero(cancelledSign);
    }
    const FloatUnpacked& other = a.IsZero() ? b : a;
    return RoundWorking(other.m_sign, other.m_exponent, other.Mantissa(), 0);
  }

  // x is the operand of larger magnitude; the result takes its sign.
  const uint64_t mantissaA = a.Mantissa();
  const uint64_t mantissaB = b.Mantissa();
  const bool aIsLarger = a.m_exponent > b.m_exponent ||
                         (a.m_exponent == b.m_exponent && mantissaA >= mantissaB);
  const FloatUnpacked& x = aIsLarger ? a : b;
  const FloatUnpacked& y = aIsLarger ? b : a;
  const uint64_t mantissaX = aIsLarger ? mantissaA : mantissaB;
  const uint64_t mantissaY = aIsLarger ? mantissaB : mantissaA;
  if (x.m_sign != y.m_sign && x.m_exponent == y.m_exponent && mantissaX == mantissaY) {
    return SignedZero(cancelledSign);
  }

  // The smaller operand is aligned over 128 bits with a sticky lowest bit: the jammed
  // bit keeps the computed sum on the same side of every rounding boundary as the
  // exact one.
  const Wide128 large{mantissaX, 0};
  const Wide128 small = ShiftRightJamming(Wide128{mantissaY, 0}, x.m_exponent - y.m_exponent);
  int32_t exponent = x.m_exponent;
  Wide128 result;
  if (x.m_sign == y.m_sign) {
    result.m_low = small.m_low;  // the larger operand has no bits below 64
    result.m_high = large.m_high + small.m_high;
    if (result.m_high < large.m_high) {
      // Carry out of bit 63: one place right, the carry becomes the integer bit.
      result = ShiftRightJamming(result, 1);
      result.m_high |= kIntegerBit;
      ++exponent;
    }
  } else {
    result.m_low = 0u - small.m_low;
    const uint64_t borrow = small.m_low != 0 ? 1u : 0u;
    result.m_high = large.m_high - small.m_high - borrow;
    const int shift = result.m_high != 0 ? CountLeadingZeros64(result.m_high)
                                         : 64 + CountLeadingZeros64(result.m_low);
    result = ShiftLeft(result, shift);
    exponent -= shift;
  }
  return RoundWorking(x.m_sign, exponent, result.m_high, result.m_low);
}

}  // namespace

uint64_t FloatUnpacked::Mantissa() const {
  return (static_cast<uint64_t>(m_words[0] & 0xFFFFu) << 48) |
         (static_cast<uint64_t>(m_words[1] & 0xFFFFu) << 32) |
         (static_cast<uint64_t>(m_words[2] & 0xFFFFu) << 16) | static_cast<uint64_t>(m_words[3] & 0xFFFFu);
}

void FloatUnpacked::SetMantissa(uint64_t mantissa) {
  m_words[0] = static_cast<uint32_t>(mantissa >> 48) & 0xFFFFu;
  m_words[1] = static_cast<uint32_t>(mantissa >> 32) & 0xFFFFu;
  m_words[2] = static_cast<uint32_t>(mantissa >> 16) & 0xFFFFu;
  m_words[3] = static_cast<uint32_t>(mantissa) & 0xFFFFu;
}

bool FloatUnpacked::IsZero() const { return m_exponent != kFloatSpecialExponent && Mantissa() == 0; }

bool FloatUnpacked::IsInfinity() const {
  return m_exponent == kFloatSpecialExponent && (Mantissa() & ~kIntegerBit) == 0;
}

bool FloatUnpacked::IsNaN() const {
  return m_exponent == kFloatSpecialExponent && (Mantissa() & ~kIntegerBit) != 0;
}

bool FloatUnpacked::IsSignalingNaN() const { return IsNaN() && (Mantissa() & kQuietBit) == 0; }

void SetFloatRoundingMode(uint32_t mode) { g_roundingMode = mode <= kRoundTowardZero ? mode : kRoundToNearest; }
uint32_t FloatRoundingMode() { return g_roundingMode; }

void SetFloatPrecision(uint32_t bits) {
  if (bits >= 1 && bits <= 64) {
    g_precision = bits;
  }
}
uint32_t FloatPrecision() { return g_precision; }
uint32_t FloatStatusFlags() { return g_statusFlags; }
void ClearFloatStatusFlags() { g_statusFlags = 0; }

void MakeZero(FloatUnpacked& value) { value = SignedZero(0); }

// ---------------------------------------------------------------------------------
// Unpacking and packing.

namespace {

// Single and double: fraction bits under the explicit integer bit.
FloatUnpacked UnpackBinary(uint32_t sign, uint32_t field, uint64_t fraction, int fractionBits,
                           uint32_t allOnes, int32_t bias) {
  const uint64_t placed = fraction << (63 - fractionBits);
  if (field == allOnes) {
    return MakeValue(sign, kFloatSpecialExponent, kIntegerBit | placed);
  }
  if (field == 0) {
    if (fraction == 0) {
      return SignedZero(sign);
    }
    return Normalised(MakeValue(sign, 1 - bias, placed));
  }
  return MakeValue(sign, static_cast<int32_t>(field) - bias, kIntegerBit | placed);
}

// Rounds a finite value into a stored format and returns the bits of its significand
// field and exponent field; infinities from an overflow come back as such.
struct StoredParts {
  uint32_t m_sign;
  uint32_t m_field;
  uint64_t m_significand;  // for single/double: the fraction; extended: all 64 bits
};

StoredParts EncodeFinite(const FloatUnpacked& value, FloatFormat format, int fractionBits,
                         int32_t bias, uint32_t allOnes) {
  const FloatUnpacked input = Normalised(value);
  const uint32_t sign = input.m_sign;
  if (input.IsZero()) {
    return StoredParts{sign, 0, 0};
  }
  const RoundTarget target = TargetOf(format);
  const FloatUnpacked rounded = Round(sign, input.m_exponent, input.Mantissa(), 0, target);
  if (rounded.IsInfinity()) {
    return StoredParts{sign, allOnes, 0};
  }
  if (rounded.IsZero()) {
    return StoredParts{sign, 0, 0};
  }
  const uint64_t mantissa = rounded.Mantissa();
  const bool explicitInteger = format == FloatFormat::Extended;
  if (rounded.m_exponent >= target.m_minNormalExponent) {
    const uint64_t significand =
        explicitInteger ? mantissa : (mantissa & ~kIntegerBit) >> (63 - fractionBits);
    return StoredParts{sign, static_cast<uint32_t>(rounded.m_exponent + bias), significand};
  }
  // Denormal: the rounding left only bits that survive this shift.
  const int32_t shift = target.m_minNormalExponent - rounded.m_exponent;
  const uint64_t significand = explicitInteger ? mantissa >> shift : mantissa >> (63 - fractionBits + shift);
  return StoredParts{sign, 0, significand};
}

StoredParts EncodeSpecial(const FloatUnpacked& value, int fractionBits, uint32_t allOnes,
                          bool explicitInteger) {
  const uint64_t mantissa = value.Mantissa();
  uint64_t fraction = (mantissa & ~kIntegerBit) >> (63 - fractionBits);
  const bool isNaN = (mantissa & ~kIntegerBit) != 0;
  if (isNaN && fraction == 0) {
    fraction = 1;  // keep a NaN from turning into an infinity
  }
  return StoredParts{value.m_sign & 1u, allOnes, explicitInteger ? (kIntegerBit | fraction) : fraction};
}

StoredParts Encode(const FloatUnpacked& value, FloatFormat format, int fractionBits, int32_t bias,
                   uint32_t allOnes) {
  if (value.m_exponent == kFloatSpecialExponent) {
    return EncodeSpecial(value, fractionBits, allOnes, format == FloatFormat::Extended);
  }
  return EncodeFinite(value, format, fractionBits, bias, allOnes);
}

}  // namespace

FloatUnpacked UnpackSingle(const uint8_t* bytes) {
  const uint32_t bits = value_bytes::LoadU32(bytes);
  return UnpackBinary(bits >> 31, (bits >> 23) & 0xFFu, bits & 0x7FFFFFu, 23, 0xFFu, 127);
}

FloatUnpacked UnpackDouble(const uint8_t* bytes) {
  const uint64_t bits = value_bytes::LoadU64(bytes);
  return UnpackBinary(static_cast<uint32_t>(bits >> 63), static_cast<uint32_t>(bits >> 52) & 0x7FFu,
                      bits & 0xFFFFFFFFFFFFFull, 52, 0x7FFu, 1023);
}

FloatUnpacked UnpackExtended(const uint8_t* bytes) {
  const uint64_t significand = value_bytes::LoadU64(bytes);
  const uint32_t top = value_bytes::LoadU16(bytes + 8);
  const uint32_t sign = top >> 15;
  const uint32_t field = top & 0x7FFFu;
  if (field == 0x7FFFu) {
    return MakeValue(sign, kFloatSpecialExponent, significand | kIntegerBit);
  }
  if (field == 0) {
    if (significand == 0) {
      return SignedZero(sign);
    }
    return Normalised(MakeValue(sign, 1 - 16383, significand));
  }
  // The integer bit is taken as set whatever the stored bit says.
  return MakeValue(sign, static_cast<int32_t>(field) - 16383, significand | kIntegerBit);
}

FloatUnpacked UnpackInteger(int32_t value) {
  if (value == 0) {
    return SignedZero(0);
  }
  const uint32_t sign = value < 0 ? 1u : 0u;
  const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  int32_t position = 31;
  while ((magnitude >> position) == 0) {
    --position;
  }
  return MakeValue(sign, position, static_cast<uint64_t>(magnitude) << (63 - position));
}

void PackSingle(const FloatUnpacked& value, uint8_t* bytes) {
  const StoredParts parts = Encode(value, FloatFormat::Single, 23, 127, 0xFFu);
  const uint32_t bits = (parts.m_sign << 31) | (parts.m_field << 23) |
                        static_cast<uint32_t>(parts.m_significand & 0x7FFFFFu);
  value_bytes::StoreU32(bytes, bits);
}

void PackDouble(const FloatUnpacked& value, uint8_t* bytes) {
  const StoredParts parts = Encode(value, FloatFormat::Double, 52, 1023, 0x7FFu);
  const uint64_t bits = (static_cast<uint64_t>(parts.m_sign) << 63) |
                        (static_cast<uint64_t>(parts.m_field) << 52) |
                        (parts.m_significand & 0xFFFFFFFFFFFFFull);
  value_bytes::StoreU64(bytes, bits);
}

void PackExtended(const FloatUnpacked& value, uint8_t* bytes) {
  const StoredParts parts = Encode(value, FloatFormat::Extended, 63, 16383, 0x7FFFu);
  value_bytes::StoreU64(bytes, parts.m_significand);
  value_bytes::StoreU16(bytes + 8, static_cast<uint16_t>((parts.m_sign << 15) | parts.m_field));
}

int32_t PackInteger(const FloatUnpacked& valueIn) {
  const FloatUnpacked value = Normalised(valueIn);
  const uint32_t sign = value.m_sign;
  const int32_t saturated = sign != 0 ? INT32_MIN : INT32_MAX;
  if (value.IsZero()) {
    return 0;
  }
  if (value.m_exponent >= 31) {
    const bool exactMinimum = sign != 0 && value.m_exponent == 31 && value.Mantissa() == kIntegerBit;
    if (!exactMinimum) {
      Flag(kFloatInvalid);
    }
    return saturated;
  }
  const uint64_t mantissa = value.Mantissa();
  uint64_t integerPart;
  bool roundBit;
  bool sticky;
  if (value.m_exponent < 0) {
    integerPart = 0;
    roundBit = value.m_exponent == -1;
    sticky = value.m_exponent == -1 ? (mantissa << 1) != 0 : true;
  } else {
    const int shift = 63 - value.m_exponent;  // 33 .. 63
    integerPart = mantissa >> shift;
    roundBit = ((mantissa >> (shift - 1)) & 1u) != 0;
    sticky = (mantissa & ((1ull << (shift - 1)) - 1u)) != 0;
  }
  if (roundBit || sticky) {
    Flag(kFloatInexact);
  }
  if (RoundsAwayFromZero(sign, roundBit, sticky, (integerPart & 1u) != 0)) {
    ++integerPart;
  }
  // A rounding that carries to 2^31 no longer fits a positive 32-bit value.
  const uint64_t limit = sign != 0 ? 0x80000000ull : 0x7FFFFFFFull;
  if (integerPart > limit) {
    Flag(kFloatInvalid);
    return saturated;
  }
  return sign != 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(integerPart))
                   : static_cast<int32_t>(integerPart);
}

FloatUnpacked RoundToFormat(const FloatUnpacked& value, FloatFormat format) {
  const FloatUnpacked input = Normalised(value);
  if (input.m_exponent == kFloatSpecialExponent || input.IsZero()) {
    return input;
  }
  return Round(input.m_sign, input.m_exponent, input.Mantissa(), 0, TargetOf(format));
}

// ---------------------------------------------------------------------------------
// Arithmetic.

FloatUnpacked FloatAdd(const FloatUnpacked& a, const FloatUnpacked& b) { return AddWithSign(a, b, b.m_sign); }

FloatUnpacked FloatSubtract(const FloatUnpacked& a, const FloatUnpacked& b) {
  return AddWithSign(a, b, b.m_sign ^ 1u);
}

FloatUnpacked FloatMultiply(const FloatUnpacked& aIn, const FloatUnpacked& bIn) {
  FloatUnpacked nanResult;
  if (PropagateNaN(aIn, bIn, nanResult)) {
    return nanResult;
  }
  const FloatUnpacked a = Normalised(aIn);
  const FloatUnpacked b = Normalised(bIn);
  const uint32_t sign = a.m_sign ^ b.m_sign;
  if (a.IsInfinity() || b.IsInfinity()) {
    if (a.IsZero() || b.IsZero()) {
      return InvalidOperation();
    }
    return Infinity(sign);
  }
  if (a.IsZero() || b.IsZero()) {
    return SignedZero(sign);
  }
  // The product of two mantissas in [1, 2) lies in [1, 4): at most one bit to normalise.
  Wide128 product = Multiply64(a.Mantissa(), b.Mantissa());
  int32_t exponent = a.m_exponent + b.m_exponent;
  if ((product.m_high & kIntegerBit) != 0) {
    ++exponent;
  } else {
    product = ShiftLeft(product, 1);
  }
  return RoundWorking(sign, exponent, product.m_high, product.m_low);
}

FloatUnpacked FloatDivide(const FloatUnpacked& aIn, const FloatUnpacked& bIn) {
  FloatUnpacked nanResult;
  if (PropagateNaN(aIn, bIn, nanResult)) {
    return nanResult;
  }
  const FloatUnpacked a = Normalised(aIn);
  const FloatUnpacked b = Normalised(bIn);
  const uint32_t sign = a.m_sign ^ b.m_sign;
  if ((a.IsInfinity() && b.IsInfinity()) || (a.IsZero() && b.IsZero())) {
    return InvalidOperation();
  }
  if (a.IsInfinity()) {
    return Infinity(sign);
  }
  if (b.IsInfinity() || a.IsZero()) {
    return SignedZero(sign);
  }
  if (b.IsZero()) {
    Flag(kFloatDivisionByZero);
    return Infinity(sign);
  }
  const uint64_t divisor = b.Mantissa();
  // The remainder is a 65-bit number: remainderTop is its bit 64.
  uint64_t remainder = a.Mantissa();
  bool remainderTop = false;
  int32_t exponent = a.m_exponent - b.m_exponent;
  if (remainder < divisor) {
    // Pre-align so that the first quotient bit is 1.
    remainderTop = (remainder & kIntegerBit) != 0;
    remainder <<= 1;
    --exponent;
  }
  // 64 quotient bits, then one more as the rounding bit; the rest is sticky.
  uint64_t quotient = 0;
  bool roundBit = false;
  for (int i = 0; i < 65; ++i) {
    const bool bit = remainderTop || remainder >= divisor;
    if (bit) {
      remainder -= divisor;
      remainderTop = false;
    }
    if (i < 64) {
      quotient = (quotient << 1) | (bit ? 1u : 0u);
    } else {
      roundBit = bit;
    }
    remainderTop = (remainder & kIntegerBit) != 0;
    remainder <<= 1;
  }
  const bool sticky = remainder != 0 || remainderTop;
  const uint64_t extension = (roundBit ? kIntegerBit : 0u) | (sticky ? 1u : 0u);
  return RoundWorking(sign, exponent, quotient, extension);
}

FloatUnpacked FloatNegate(const FloatUnpacked& a) {
  FloatUnpacked result = a;
  result.m_sign = (a.m_sign & 1u) ^ 1u;
  return result;
}

int FloatCompare(const FloatUnpacked& aIn, const FloatUnpacked& bIn) {
  if (aIn.IsNaN() || bIn.IsNaN()) {
    return kFloatUnordered;
  }
  const FloatUnpacked a = Normalised(aIn);
  const FloatUnpacked b = Normalised(bIn);
  if (a.IsZero() && b.IsZero()) {
    return kFloatEqual;
  }
  if (a.IsZero()) {
    return b.m_sign != 0 ? kFloatGreater : kFloatLess;
  }
  if (b.IsZero()) {
    return a.m_sign != 0 ? kFloatLess : kFloatGreater;
  }
  if (a.m_sign != b.m_sign) {
    return a.m_sign != 0 ? kFloatLess : kFloatGreater;
  }
  int magnitudeOrder = 0;
  if (a.m_exponent != b.m_exponent) {
    magnitudeOrder = a.m_exponent < b.m_exponent ? -1 : 1;
  } else if (a.Mantissa() != b.Mantissa()) {
    magnitudeOrder = a.Mantissa() < b.Mantissa() ? -1 : 1;
  }
  if (magnitudeOrder == 0) {
    return kFloatEqual;
  }
  if (a.m_sign != 0) {
    magnitudeOrder = -magnitudeOrder;
  }
  return magnitudeOrder < 0 ? kFloatLess : kFloatGreater;
}

// ---------------------------------------------------------------------------------
// Exact decimal conversion.

namespace {

// An unsigned integer of any size in 32-bit limbs, least significant first, with no
// zero limb at the top. Only what the two decimal conversions need.
class WideInteger {
 public:
  explicit WideInteger(uint64_t value = 0) {
    if (value != 0) {
      m_limbs.push_back(static_cast<uint32_t>(value));
      if ((value >> 32) != 0) {
        m_limbs.push_back(static_cast<uint32_t>(value >> 32));
      }
    }
  }

  bool IsZero() const { return m_limbs.empty(); }

  int64_t BitLength() const {
    if (m_limbs.empty()) {
      return 0;
    }
    uint32_t top = m_limbs.back();
    int64_t bits = static_cast<int64_t>(m_limbs.size() - 1) * 32;
    while (top != 0) {
      ++bits;
      top >>= 1;
    }
    return bits;
  }

  bool BitAt(int64_t position) const {
    if (position < 0) {
      return false;
    }
    const size_t limb = static_cast<size_t>(position / 32);
    return limb < m_limbs.size() && ((m_limbs[limb] >> (position % 32)) & 1u) != 0;
  }

  // The 64 bits whose highest is bit (top - 1); positions below 0 read as 0.
  uint64_t Bits64Below(int64_t top) const {
    uint64_t bits = 0;
    for (int64_t i = 1; i <= 64; ++i) {
      bits = (bits << 1) | (BitAt(top - i) ? 1u : 0u);
    }
    return bits;
  }

  bool AnyBitBelow(int64_t position) const {
    if (position <= 0) {
      return false;
    }
    const size_t fullLimbs = static_cast<size_t>(position / 32);
    for (size_t i = 0; i < fullLimbs && i < m_limbs.size(); ++i) {
      if (m_limbs[i] != 0) {
        return true;
      }
    }
    const int rest = static_cast<int>(position % 32);
    return rest != 0 && fullLimbs < m_limbs.size() && (m_limbs[fullLimbs] & ((1u << rest) - 1u)) != 0;
  }

  void MultiplySmall(uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& limb : m_limbs) {
      const uint64_t product = static_cast<uint64_t>(limb) * factor + carry;
      limb = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      m_limbs.push_back(static_cast<uint32_t>(carry));
    }
    Trim();
  }

  void MultiplyPow5(int64_t count) {
    constexpr uint32_t kPow5_13 = 1220703125u;  // 5^13, the largest power in one limb
    for (; count >= 13; count -= 13) {
      MultiplySmall(kPow5_13);
    }
    uint32_t rest = 1;
    for (; count > 0; --count) {
      rest *= 5;
    }
    MultiplySmall(rest);
  }

  void MultiplyPow10(int64_t count) {
    MultiplyPow5(count);
    ShiftLeft(count);
  }

  void ShiftLeft(int64_t count) {
    if (m_limbs.empty() || count <= 0) {
      return;
    }
    const size_t limbShift = static_cast<size_t>(count / 32);
    const int bitShift = static_cast<int>(count % 32);
    if (bitShift != 0) {
      uint32_t carry = 0;
      for (uint32_t& limb : m_limbs) {
        const uint32_t next = limb >> (32 - bitShift);
        limb = (limb << bitShift) | carry;
        carry = next;
      }
      if (carry != 0) {
        m_limbs.push_back(carry);
      }
    }
    m_limbs.insert(m_limbs.begin(), limbShift, 0u);
  }

  void ShiftRightOne() {
    for (size_t i = 0; i < m_limbs.size(); ++i) {
      const uint32_t high = i + 1 < m_limbs.size() ? m_limbs[i + 1] : 0u;
      m_limbs[i] = (m_limbs[i] >> 1) | (high << 31);
    }
    Trim();
  }

  void SetBit(int64_t position) {
    const size_t limb = static_cast<size_t>(position / 32);
    if (limb >= m_limbs.size()) {
      m_limbs.resize(limb + 1, 0u);
    }
    m_limbs[limb] |= 1u << (position % 32);
  }

  static int Compare(const WideInteger& a, const WideInteger& b) {
    if (a.m_limbs.size() != b.m_limbs.size()) {
      return a.m_limbs.size() < b.m_limbs.size() ? -1 : 1;
    }
    for (size_t i = a.m_limbs.size(); i-- > 0;) {
      if (a.m_limbs[i] != b.m_limbs[i]) {
        return a.m_limbs[i] < b.m_limbs[i] ? -1 : 1;
      }
    }
    return 0;
  }

  // this -= other; requires this >= other.
  void Subtract(const WideInteger& other) {
    int64_t borrow = 0;
    for (size_t i = 0; i < m_limbs.size(); ++i) {
      const int64_t difference = static_cast<int64_t>(m_limbs[i]) -
                                 (i < other.m_limbs.size() ? other.m_limbs[i] : 0u) - borrow;
      borrow = difference < 0 ? 1 : 0;
      m_limbs[i] = static_cast<uint32_t>(difference);
    }
    Trim();
  }

  // Replaces this by the remainder of this / divisor and returns the quotient.
  WideInteger DivideBy(const WideInteger& divisor) {
    WideInteger quotient;
    const int64_t quotientBits = BitLength() - divisor.BitLength() + 1;
    if (quotientBits <= 0) {
      return quotient;
    }
    WideInteger shifted = divisor;
    shifted.ShiftLeft(quotientBits - 1);
    for (int64_t bit = quotientBits - 1; bit >= 0; --bit) {
      if (Compare(*this, shifted) >= 0) {
        Subtract(shifted);
        quotient.SetBit(bit);
      }
      shifted.ShiftRightOne();
    }
    return quotient;
  }

  // The value when it fits 64 bits.
  uint64_t Low64() const {
    uint64_t value = 0;
    if (!m_limbs.empty()) {
      value = m_limbs[0];
    }
    if (m_limbs.size() > 1) {
      value |= static_cast<uint64_t>(m_limbs[1]) << 32;
    }
    return value;
  }

 private:
  void Trim() {
    while (!m_limbs.empty() && m_limbs.back() == 0) {
      m_limbs.pop_back();
    }
  }

  std::vector<uint32_t> m_limbs;
};

uint32_t DigitCount() {
  if (SignificantDigits < 1) {
    return 1;
  }
  return SignificantDigits > kMaxDigits ? kMaxDigits : SignificantDigits;
}

uint64_t PowerOf10(uint32_t exponent) {
  uint64_t value = 1;
  for (uint32_t i = 0; i < exponent; ++i) {
    value *= 10;
  }
  return value;
}

// Rounds sign * integer * 2^scale into the target, with sticky standing for a
// non-zero rest below the integer.
FloatUnpacked RoundWideInteger(uint32_t sign, const WideInteger& integer, int64_t scale, bool sticky,
                               const RoundTarget& target) {
  const int64_t bits = integer.BitLength();
  const int64_t exponent = bits - 1 + scale;
  const uint64_t mantissa = integer.Bits64Below(bits);
  uint64_t extension = integer.Bits64Below(bits - 64);
  if (sticky || integer.AnyBitBelow(bits - 128)) {
    extension |= 1u;
  }
  // Exponents far outside the range are clamped: they overflow or underflow the same.
  const int64_t limit = 100000;
  const int32_t clamped = static_cast<int32_t>(exponent > limit ? limit : (exponent < -limit ? -limit : exponent));
  return Round(sign, clamped, mantissa, extension, target);
}

bool IsWhiteSpace(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

char Upper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

// "INF", "NAN" or "NAN(" hex digits ")", letters in either case, with nothing after.
bool ParseSpecialForm(const char* p, uint32_t sign, FloatUnpacked& value) {
  if (Upper(p[0]) == 'I' && Upper(p[1]) == 'N' && Upper(p[2]) == 'F' && p[3] == '\0') {
    value = Infinity(sign);
    return true;
  }
  if (!(Upper(p[0]) == 'N' && Upper(p[1]) == 'A' && Upper(p[2]) == 'N')) {
    return false;
  }
  p += 3;
  if (*p == '\0') {
    value = MakeValue(sign, kFloatSpecialExponent, ~0ull);
    return true;
  }
  if (*p != '(') {
    return false;
  }
  ++p;
  uint64_t mantissa = 0;
  uint32_t nibble = 0;
  for (; *p != ')'; ++p, ++nibble) {
    const char ch = Upper(*p);
    uint32_t digit;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<uint32_t>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      digit = static_cast<uint32_t>(ch - 'A' + 10);
    } else {
      return false;  // not a hex digit, or the text ended without ')'
    }
    // Sixteen nibbles fit; a seventeenth goes round to the first.
    const int shift = 60 - 4 * static_cast<int>(nibble % 16);
    mantissa = (mantissa & ~(0xFull << shift)) | (static_cast<uint64_t>(digit) << shift);
  }
  if (p[1] != '\0') {
    return false;
  }
  if (mantissa == 0) {
    mantissa = 0x4000000000000000ull;
  }
  value = MakeValue(sign, kFloatSpecialExponent, mantissa | kIntegerBit);
  return true;
}

}  // namespace

int TextToValue(const char* text, FloatUnpacked& value) { return TextToValue(text, value, FloatFormat::Working); }

// 1. White space and a sign.
// 2. Digits and one point: leading zeros only move the decimal exponent; at most D
//    significant digits are kept, the first dropped one rounds them (5 and up).
// 3. An exponent (then the text ends) or white space and anything (or the end).
// 4. The kept digits times the power of ten are converted exactly: multiplied out for
//    a positive power, divided with enough quotient bits and a sticky remainder for a
//    negative one, and rounded once into the target.
// 5. Otherwise the special forms, otherwise failure with +0.
int TextToValue(const char* text, FloatUnpacked& value, FloatFormat format) {
  ClearFloatStatusFlags();
  MakeZero(value);
  if (text == nullptr) {
    return 0;
  }
  const char* p = text;
  while (IsWhiteSpace(*p)) {
    ++p;
  }
  uint32_t sign = 0;
  if (*p == '+' || *p == '-') {
    sign = *p == '-' ? 1u : 0u;
    ++p;
  }
  const char* const afterSign = p;

  const uint32_t maxDigits = DigitCount();
  uint64_t digits = 0;
  uint32_t keptCount = 0;
  int64_t decimalExponent = 0;
  bool sawDigit = false;
  bool sawPoint = false;
  int firstDropped = -1;
  bool droppedNonZero = false;
  for (;; ++p) {
    const char ch = *p;
    if (ch == '.') {
      if (sawPoint) {
        break;
      }
      sawPoint = true;
      continue;
    }
    if (ch < '0' || ch > '9') {
      break;
    }
    sawDigit = true;
    const int digit = ch - '0';
    if (keptCount == 0 && digit == 0) {
      if (sawPoint && decimalExponent > -1000000) {
        --decimalExponent;
      }
      continue;
    }
    if (keptCount < maxDigits) {
      digits = digits * 10 + static_cast<uint64_t>(digit);
      ++keptCount;
      if (sawPoint) {
        --decimalExponent;
      }
    } else {
      if (firstDropped < 0) {
        firstDropped = digit;
      }
      droppedNonZero = droppedNonZero || digit != 0;
      if (!sawPoint && decimalExponent < 1000000) {
        ++decimalExponent;
      }
    }
  }

  bool isNumber = sawDigit || sawPoint;
  if (isNumber) {
    if (*p == 'E' || *p == 'e') {
      ++p;
      bool negativeExponent = false;
      if (*p == '+' || *p == '-') {
        negativeExponent = *p == '-';
        ++p;
      }
      if (*p < '0' || *p > '9') {
        isNumber = false;
      }
      int64_t exponentValue = 0;
      for (; *p >= '0' && *p <= '9'; ++p) {
        if (exponentValue <= 5000) {
          exponentValue = exponentValue * 10 + (*p - '0');
        }
      }
      if (exponentValue > 5000) {
        exponentValue = 5000;
      }
      if (*p != '\0') {
        isNumber = false;
      }
      decimalExponent += negativeExponent ? -exponentValue : exponentValue;
    } else if (*p != '\0' && !IsWhiteSpace(*p)) {
      isNumber = false;
    }
  }
  if (!isNumber) {
    if (ParseSpecialForm(afterSign, sign, value)) {
      return 1;
    }
    ClearFloatStatusFlags();
    MakeZero(value);
    return 0;
  }

  if (keptCount == 0) {
    value = SignedZero(sign);
    return 1;
  }
  if (droppedNonZero) {
    Flag(kFloatInexact);
  }
  if (firstDropped >= 5) {
    ++digits;
    if (digits == PowerOf10(keptCount)) {
      digits /= 10;
      ++decimalExponent;
    }
  }
  // Beyond +-5000 every value of at most 19 digits overflows or underflows every format.
  if (decimalExponent > 5000) {
    decimalExponent = 5000;
  } else if (decimalExponent < -5000) {
    decimalExponent = -5000;
  }

  const RoundTarget target = TargetOf(format);
  WideInteger number(digits);
  if (decimalExponent >= 0) {
    number.MultiplyPow5(decimalExponent);
    value = RoundWideInteger(sign, number, decimalExponent, false, target);
    return 1;
  }
  // digits / 10^k = (digits * 2^s / 5^k) * 2^(-s-k), with s giving at least 66
  // quotient bits.
  const int64_t k = -decimalExponent;
  WideInteger divisor(1);
  divisor.MultiplyPow5(k);
  int64_t s = divisor.BitLength() - number.BitLength() + 66;
  if (s < 0) {
    s = 0;
  }
  number.ShiftLeft(s);
  const WideInteger quotient = number.DivideBy(divisor);
  value = RoundWideInteger(sign, quotient, -s - k, !number.IsZero(), target);
  return 1;
}

namespace {

// floor(e * log10(2)) for the binary exponents of the working form (may be one low
// near a power of ten; the caller corrects it).
int64_t EstimateDecimalExponent(int32_t binaryExponent) {
  const int64_t product = static_cast<int64_t>(binaryExponent) * 1292913986LL;
  return product >= 0 ? product >> 32 : -((-product + 0xFFFFFFFFLL) >> 32);
}

// D significant digits of a finite non-zero value, rounded in the current mode.
// Returns the digits as an integer in [10^(D-1), 10^D) and the decimal exponent.
uint64_t DecimalDigits(const FloatUnpacked& value, uint32_t digitCount, int64_t& decimalExponent) {
  const uint64_t lowest = PowerOf10(digitCount - 1);
  const uint64_t limit = PowerOf10(digitCount);
  const int64_t binaryScale = static_cast<int64_t>(value.m_exponent) - 63;
  int64_t k = EstimateDecimalExponent(value.m_exponent);
  uint64_t digits = 0;
  WideInteger remainder;
  WideInteger divisor;
  for (int attempt = 0; attempt < 4; ++attempt) {
    // digits = floor(value * 10^(D-1-k)) exactly.
    const int64_t t = static_cast<int64_t>(digitCount) - 1 - k;
    remainder = WideInteger(value.Mantissa());
    divisor = WideInteger(1);
    if (binaryScale >= 0) {
      remainder.ShiftLeft(binaryScale);
    } else {
      divisor.ShiftLeft(-binaryScale);
    }
    if (t >= 0) {
      remainder.MultiplyPow10(t);
    } else {
      divisor.MultiplyPow10(-t);
    }
    const WideInteger quotient = remainder.DivideBy(divisor);
    if (quotient.BitLength() > 64 || quotient.Low64() >= limit) {
      ++k;
      continue;
    }
    if (quotient.Low64() < lowest) {
      --k;
      continue;
    }
    digits = quotient.Low64();
    break;
  }
  // The next digit and whether anything after it is non-zero.
  remainder.MultiplySmall(10);
  const uint64_t nextDigit = remainder.DivideBy(divisor).Low64();
  const bool sticky = !remainder.IsZero();
  if (nextDigit != 0 || sticky) {
    Flag(kFloatInexact);
  }
  bool up;
  switch (g_roundingMode) {
    case kRoundDownward: up = value.m_sign != 0 && (nextDigit != 0 || sticky); break;
    case kRoundUpward: up = value.m_sign == 0 && (nextDigit != 0 || sticky); break;
    case kRoundTowardZero: up = false; break;
    default: up = nextDigit > 5 || (nextDigit == 5 && (sticky || (digits & 1u) != 0)); break;
  }
  if (up) {
    ++digits;
    if (digits == limit) {
      digits = lowest;
      ++k;
    }
  }
  decimalExponent = k;
  return digits;
}

}  // namespace

std::size_t ValueToText(const FloatUnpacked& valueIn, char* buffer, std::size_t capacity) {
  // Longest form: sign, 19 digits and a point, "E", sign, five digits = 28 characters.
  char text[40];
  std::size_t length = 0;
  auto put = [&](char ch) {
    if (length < sizeof(text) - 1) {
      text[length++] = ch;
    }
  };
  auto putText = [&](const char* s) {
    for (; *s != '\0'; ++s) {
      put(*s);
    }
  };
  FloatUnpacked value = Normalised(valueIn);
  if (!value.IsZero() && value.m_exponent != kFloatSpecialExponent &&
      (value.m_exponent > kFloatMaxExponent || value.m_exponent < kFloatMinExponent - 64)) {
    // Only a hand-built value lies outside the extended range: show what it becomes
    // there (an infinity, a denormal or zero) rather than develop thousands of digits.
    value = RoundToFormat(value, FloatFormat::Extended);
  }
  const uint32_t digitCount = DigitCount();
  put(value.m_sign != 0 ? '-' : '+');
  if (value.IsInfinity()) {
    putText("INF");
  } else if (value.IsNaN()) {
    const uint64_t mantissa = value.Mantissa();
    if (mantissa == ~0ull) {
      putText("NAN");
    } else {
      putText("NAN(");
      static const char kHex[] = "0123456789ABCDEF";
      for (int i = 0; i < 16; ++i) {
        uint32_t nibble = static_cast<uint32_t>(mantissa >> (60 - 4 * i)) & 0xFu;
        if (i == 0) {
          nibble &= 0x7u;  // without the integer bit
        }
        put(kHex[nibble]);
      }
      put(')');
    }
  } else {
    uint64_t digits = 0;
    int64_t decimalExponent = 0;
    if (!value.IsZero()) {
      digits = DecimalDigits(value, digitCount, decimalExponent);
    }
    char digitText[kMaxDigits];
    for (uint32_t i = digitCount; i-- > 0;) {
      digitText[i] = static_cast<char>('0' + digits % 10);
      digits /= 10;
    }
    put(digitText[0]);
    put('.');
    for (uint32_t i = 1; i < digitCount; ++i) {
      put(digitText[i]);
    }
    put('E');
    put(decimalExponent < 0 ? '-' : '+');
    uint64_t magnitude = static_cast<uint64_t>(decimalExponent < 0 ? -decimalExponent : decimalExponent);
    char exponentText[5];
    for (int i = 5; i-- > 0;) {
      exponentText[i] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    }
    for (char ch : exponentText) {
      put(ch);
    }
  }
  text[length] = '\0';
  if (buffer == nullptr || capacity == 0) {
    return 0;
  }
  const std::size_t written = length < capacity ? length : capacity - 1;
  for (std::size_t i = 0; i < written; ++i) {
    buffer[i] = text[i];
  }
  buffer[written] = '\0';
  return written;
}

}  // namespace zentor
